// The motion-event hook dialog ("Event"), opened by a left click with Ctrl and Shift held on a
// view: the camera's name, the user library and function (32 characters each) and the on/off
// box. OK loads the function (a failure shows why and the dialog stays); Cancel reloads the
// stored one.
#include <cstring>
#include <string>

#include "analysis/motion_view.h"
#include "ui/panoview.h"
#include "platform/texts.h"
#include "ui/composition.h"
#include "platform/msgbox.h"
#include "platform/window.h"
#include "ui/editor_windows.h"

namespace orb {

namespace {

constexpr int kCameraName = 1811, kOnBox = 1812, kLibrary = 1814, kFunction = 1816;
constexpr int kNameLimit = 31;  // 32 bytes with the terminating zero
constexpr int kEventDialogCommand = -1;

std::string Field(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

LRESULT EventProc(HWND d, uint32_t msg, WPARAM w, LPARAM l) {
    static PanoView* view = nullptr;  // one modal dialog at a time
    if (msg == WM_INITDIALOG) {
        view = reinterpret_cast<PanoView*>(l);
        const CameraRecord& r = view->record;
        SetDlgItemText(d, kCameraName, Field(r.name, sizeof r.name));
        SetEditLimit(d, kLibrary, kNameLimit);
        SetEditLimit(d, kFunction, kNameLimit);
        SetDlgItemText(d, kLibrary, Field(r.hookLibrary, sizeof r.hookLibrary));
        SetDlgItemText(d, kFunction, Field(r.hookFunction, sizeof r.hookFunction));
        CheckDlgButton(d, kOnBox, r.hookOn != 0);
        return 0;
    }
    if (msg != WM_COMMAND || HiWord(w) != BN_CLICKED || !view) return 0;
    if (LoWord(w) == IDOK) {
        const int text = EventDialogOk(*view, IsDlgButtonChecked(d, kOnBox), GetDlgItemText(d, kLibrary).c_str(),
                                       GetDlgItemText(d, kFunction).c_str());
        if (text) MessageBox(d, Text(text), "", kMbOk | kMbIconError);
        else EndDialog(d, IDOK);
        return 1;
    }
    if (LoWord(w) == IDCANCEL) {
        EventDialogCancel(*view);
        EndDialog(d, IDCANCEL);
        return 1;
    }
    return 0;
}

bool EventCommand(PanoView* view, HWND window, int command) {
    if (command != kEventDialogCommand || !view) return false;
    DialogBox("Event", window, EventProc, reinterpret_cast<LPARAM>(view));
    return true;
}

}  // namespace

void InstallEventDialog() { AddViewCommandHandler(EventCommand); }

}  // namespace orb
