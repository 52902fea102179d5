#include "host/startup.h"

#include "config/camera_record.h"
#include "config/config_file.h"
#include "config/nas_settings.h"
#include "config/settings.h"
#include "host/library_state.h"
#include "host/texts.h"
#include "orbiscope.h"
#include "record/recorder.h"

namespace orb {

void Initialise() {
    g_lib.systemDriveRoot = SystemDriveText();
    BuildDefaultRecord();
    StartRecorder();
    LoadLanguageResource();
    if (!LanguageLoaded()) return;
    ReadStartupOptions();
    ReadNasSettings();
}

void OnProcessAttach() {
    ReadUserFile();
    Initialise();
}

void OnProcessDetach() { UnloadLanguage(); }

}  // namespace orb

extern "C" void OrbiscopeInit(void) { orb::Initialise(); }
