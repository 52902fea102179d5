#include "ui/recording_settings_dialog.h"

#include "config/library_state.h"
#include "config/settings.h"
#include "orbiscope.h"
#include "platform/window.h"
#include "record/recorder.h"
#include "ui/nas_dialog.h"

namespace orb {

namespace {

constexpr int kRecOff = 1801, kRecOn = 1803, kRecNas = 1804, kRecMotionBlock = 1805, kRecSkipSystem = 1806,
              kRecProtect = 363;

// The motion block box and the network storage button only while recording is on.
void RecordingEnabling(HWND d) {
    const bool on = IsDlgButtonChecked(d, kRecOn);
    EnableDlgItem(d, kRecMotionBlock, on);
    EnableDlgItem(d, kRecNas, on);
}

LRESULT RecordingSettingsProc(HWND d, uint32_t msg, WPARAM w, LPARAM) {
    if (msg == WM_INITDIALOG) {
        CheckDlgButton(d, kRecOn, g_lib.recording != 0);
        CheckDlgButton(d, kRecOff, g_lib.recording == 0);
        CheckDlgButton(d, kRecMotionBlock, gfMotionBlock != 0);
        CheckDlgButton(d, kRecSkipSystem, g_recorderSwitches.skipSystemDisk != 0);
        CheckDlgButton(d, kRecProtect, g_lib.protect != 0);
        RecordingEnabling(d);
        return 0;
    }
    if (msg != WM_COMMAND || HiWord(w) != BN_CLICKED) return 0;
    switch (LoWord(w)) {
    case kRecOff:
    case kRecOn:
        RecordingEnabling(d);
        return 1;
    case kRecNas:
        RunAdvanceDialog(d);
        return 1;
    case IDOK:
        g_lib.recording = IsDlgButtonChecked(d, kRecOff) ? 0 : 1;
        gfMotionBlock = IsDlgButtonChecked(d, kRecMotionBlock) ? 1 : 0;
        g_recorderSwitches.skipSystemDisk = IsDlgButtonChecked(d, kRecSkipSystem) ? 1 : 0;
        g_lib.protect = IsDlgButtonChecked(d, kRecProtect) ? 1 : 0;
        WriteSettingInt(CurrentCallerSection(), "DVR", g_lib.recording);
        WriteSettingInt(CurrentCallerSection(), "MotionBlock", gfMotionBlock);
        WriteSettingInt("SCCTV", "SkipSystemDisk", g_recorderSwitches.skipSystemDisk);
        WriteSettingFlag("DVR", "Protected", g_lib.protect != 0);
        EndDialog(d, 1);
        return 1;
    case IDCANCEL:
        EndDialog(d, 0);
        return 1;
    default:
        return 0;
    }
}

}  // namespace

int RunRecordingSettingsDialog(void* owner) {
    return DialogBox("DVR", static_cast<HWND>(owner), RecordingSettingsProc, 0) == 1 ? 1 : 0;
}

}  // namespace orb

extern "C" int32_t DVRConfigure(void* parentWindow) { return orb::RunRecordingSettingsDialog(parentWindow); }
