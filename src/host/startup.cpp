#include "host/startup.h"

#include "config/camera_record.h"
#include "config/config_file.h"
#include "config/nas_settings.h"
#include "config/settings.h"
#include "dewarp/navigation.h"
#include "config/library_state.h"
#include "ui/run_orbiscope.h"
#include "platform/texts.h"
#include "ui/composition.h"
#include "orbiscope.h"
#include "platform/debug_log.h"
#include "platform/paths.h"
#include "platform/window_icon.h"
#include "record/recorder.h"

namespace orb {

void Initialise() {
    g_lib.systemDriveRoot = SystemDriveText();
    BuildDefaultRecord();
    StartRecorder();
    InstallSubsystemHooks();
    // Run again, the start-up reloads the module (or finds it gone).
    UnloadLanguage();
    LoadLanguageResource();
    DebugLog("library folder %s, settings %s, snapshots under %s", LibraryDir().c_str(),
             SystemFile("orbiscfg.ini").c_str(), g_lib.systemDriveRoot.c_str());
    DebugLog("text resource file %s: %s", DataFile(kLanguageFile).c_str(), LanguageLoaded() ? "loaded" : "missing");
    // Without the language module no window class is registered and no window opens.
    if (!LanguageLoaded()) return;
    ReadStartupOptions();
    ReadNasSettings();
    g_lib.mouseInvert = ReadMouseInvert();
    RegisterLibraryClasses();
    SetProductWindowIcon();
}

void OnProcessAttach() {
    ReadUserFile();
    Initialise();
}

void OnProcessDetach() { UnloadLanguage(); }

}  // namespace orb

extern "C" void OrbiscopeInit(void) { orb::Initialise(); }
