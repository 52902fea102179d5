// The "Advance" dialog on the window layer: its controls show an AdvanceDialog state and
// the person's clicks go to that state's logic (nas_settings.cpp).
#include "ui/nas_dialog.h"

#include "config/nas_settings.h"
#include "platform/choosers.h"
#include "platform/window.h"

namespace orb {

namespace {

bool Clicked(WPARAM w, int id) { return LoWord(w) == static_cast<uint32_t>(id) && HiWord(w) == BN_CLICKED; }

// Posted to the dialog when the command of its Run button has ended (the result's status and
// exit code in the parameters).
constexpr uint32_t kMsgRunEnded = WM_USER + 0x156;

void ShowEnabling(HWND d, const AdvanceDialog& s) {
    using namespace advance;
    for (int id : {kBrowse, kCommand, kFolder, kRun, kLaunch}) EnableDlgItem(d, id, AdvanceControlEnabled(s, id));
}

// The state as the controls hold it now.
void ReadControls(HWND d, AdvanceDialog& s) {
    using namespace advance;
    s.inUse = IsDlgButtonChecked(d, kOn);
    s.command = GetDlgItemText(d, kCommand);
    s.launch = IsDlgButtonChecked(d, kLaunch);
}

LRESULT AdvanceProc(HWND d, uint32_t msg, WPARAM w, LPARAM l) {
    using namespace advance;
    // One settings dialog is open at a time; its state lives in the caller's frame.
    static AdvanceDialog* current = nullptr;
    if (msg == WM_INITDIALOG) {
        current = reinterpret_cast<AdvanceDialog*>(l);
        SetEditLimit(d, kCommand, 499);
        SetDlgItemText(d, kCommand, current->command);
        SetDlgItemText(d, kFolder, current->folder);
        CheckDlgButton(d, kOn, current->inUse);
        CheckDlgButton(d, kOff, !current->inUse);
        CheckDlgButton(d, kLaunch, current->launch);
        ShowEnabling(d, *current);
        return 0;
    }
    if (msg == kMsgRunEnded && current) {
        // What became of the command is told now, on this thread; Run may be pressed again.
        SpawnResult r;
        r.status = static_cast<SpawnStatus>(w);
        r.exitCode = static_cast<int>(l);
        AdvanceRunEnded(d, *current, r);
        ShowEnabling(d, *current);
        return 1;
    }
    if (msg != WM_COMMAND || !current) return 0;
    const int id = static_cast<int>(LoWord(w));
    ReadControls(d, *current);
    if (id == kCommand || Clicked(w, kOn) || Clicked(w, kOff)) {
        ShowEnabling(d, *current);
        if (AdvanceRunning()) EnableDlgItem(d, kRun, false);
        return 1;
    }
    if (Clicked(w, kBrowse)) {
        AdvanceChooseFolder(*current, ChooseFolder(d, AdvanceBrowseTitle(), current->folder));
        SetDlgItemText(d, kFolder, current->folder);
        return 1;
    }
    if (Clicked(w, kRun)) {
        // The command runs while the dialog (and every view) goes on; Run waits for its end.
        if (StartAdvanceRun(*current, [d](SpawnResult r) {
                PostMessage(d, kMsgRunEnded, static_cast<WPARAM>(r.status), static_cast<LPARAM>(r.exitCode));
            }))
            EnableDlgItem(d, kRun, false);
        return 1;
    }
    if (Clicked(w, IDOK)) {
        EndDialog(d, AdvanceOk(d, *current));
        current = nullptr;
        return 1;
    }
    if (Clicked(w, IDCANCEL)) {
        EndDialog(d, AdvanceCancel());
        current = nullptr;
        return 1;
    }
    return 0;
}

}  // namespace

int RunAdvanceDialog(void* owner) {
    AdvanceDialog s = OpenAdvanceDialog();
    const intptr_t r = DialogBox("Advance", static_cast<HWND>(owner), AdvanceProc, reinterpret_cast<LPARAM>(&s));
    return r == 1 ? 1 : 0;
}

}  // namespace orb
