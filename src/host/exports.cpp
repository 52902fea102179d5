// Small host-facing switches of the library state.
#include <cstdlib>
#include <cstring>

#include "config/camera_record.h"
#include "config/config_file.h"
#include "config/settings.h"
#include "config/library_state.h"
#include "host/startup.h"
#include "orbiscope.h"
#include "platform/paths.h"
#include "ui/panoview.h"


extern "C" {

int32_t SetCallerID(int32_t callerId) {
    orb::g_lib.callerId = callerId;
    return callerId;
}

int32_t SetCallID(int32_t callerId) {
    orb::g_lib.callerId = callerId;
    const std::string time = orb::ReadSetting(orb::CurrentCallerSection(), "ShowTime", "", 50);
    orb::ReadDisplayOptions();
    return time.empty() ? 0 : orb::g_lib.showTime;
}

int32_t OrbiscopeSetDVR(int32_t writeFlag, int32_t value) {
    const int32_t previous = orb::g_lib.recording;
    if (writeFlag) {
        orb::g_lib.recording = value;
        orb::WriteSettingFlag("CCTV", "DVR", value != 0);
    }
    return previous;
}

int32_t EnableDVRRecording(int32_t flag) {
    orb::g_lib.recording = flag;
    return flag;
}

int32_t EnableMotionBlock(int32_t flag) {
    gfMotionBlock = flag;
    return flag;
}

int32_t SetPackFlag(int32_t flag) {
    orb::g_lib.packFlag = flag;
    return flag;
}

const char* PanoGetSystemDrive(void) {
    orb::g_lib.systemDriveText = orb::SystemDriveText();
    return orb::g_lib.systemDriveText.c_str();
}

const char* OrbiscopeLibraryFolder(void) {
    static std::string folder;  // kept for the caller until the next call
    folder = orb::LibraryDir();
    return folder.c_str();
}

void UsingWinINet(void) {}

int32_t SaveCameraConfigure(PanoView* view) { return orb::SaveRecord(view); }

}
