#include "config/root_password.h"


#include <algorithm>
#include <cstring>

#include "config/config_file.h"
#include "config/settings.h"
#include "config/library_state.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "platform/msgbox.h"
#include "platform/text_case.h"
#include "platform/window.h"

namespace orb {

namespace {
constexpr int kOldField = 3400, kNewField = 3401, kConfirmField = 3402, kProtectBox = 363;

std::string Cut(const std::string& s, size_t n) { return s.substr(0, std::min(s.size(), n)); }
}  // namespace

std::string StoredRootPassword() {
    const char* p = reinterpret_cast<const char*>(g_userBlock.data() + kRootPasswordOffset);
    return std::string(p, strnlen(p, kRootPasswordBytes - 1));
}

void StoreRootPassword(const std::string& password) {
    std::memset(g_userBlock.data() + kRootPasswordOffset, 0, kRootPasswordBytes);
    const std::string p = Cut(password, kRootPasswordBytes - 1);
    std::memcpy(g_userBlock.data() + kRootPasswordOffset, p.data(), p.size());
}

bool SubmitSetPassword(void* owner, const std::string& oldPassword, const std::string& newPassword,
                       const std::string& confirmation, bool protect) {
    const std::string oldText = Cut(oldPassword, 11), newText = Cut(newPassword, 11), confirm = Cut(confirmation, 11);
    const bool oldOk = SameTextCaseBlind(oldText, StoredRootPassword());
    if (oldOk && SameTextCaseBlind(newText, confirm)) {
        StoreRootPassword(newText);
        WriteUserFile();
        g_lib.protect = protect ? 1 : 0;
        WriteSettingFlag("DVR", "Protected", protect);
        return true;
    }
    MessageBox(owner, Text(oldOk ? 2401 : 2400), "", kMbOk | kMbIconError);
    return false;
}

bool SubmitCheckPassword(void* owner, const std::string& entry) {
    if (Cut(entry, 11) == StoredRootPassword()) return true;
    MessageBox(owner, Text(2400), "", kMbOk | kMbIconError);
    return false;
}

namespace {

bool Pressed(WPARAM w, int id) { return LoWord(w) == static_cast<uint32_t>(id) && HiWord(w) == BN_CLICKED; }

LRESULT SetPasswordProc(HWND d, uint32_t msg, WPARAM w, LPARAM) {
    if (msg == WM_INITDIALOG) {
        for (int id : {kOldField, kNewField, kConfirmField}) SetEditLimit(d, id, kPasswordFieldLimit);
        CheckDlgButton(d, kProtectBox, g_lib.protect != 0);
        SetFocus(GetDlgItem(d, kOldField));
        return 0;
    }
    if (msg != WM_COMMAND) return 0;
    if (Pressed(w, IDOK)) {
        // A wrong entry keeps the dialog open after its message.
        if (SubmitSetPassword(d, GetDlgItemText(d, kOldField), GetDlgItemText(d, kNewField),
                              GetDlgItemText(d, kConfirmField), IsDlgButtonChecked(d, kProtectBox)))
            EndDialog(d, 0);
        return 1;
    }
    if (Pressed(w, IDCANCEL)) {
        EndDialog(d, 0);
        return 1;
    }
    return 0;
}

LRESULT CheckPasswordProc(HWND d, uint32_t msg, WPARAM w, LPARAM) {
    if (msg == WM_INITDIALOG) {
        SetEditLimit(d, kOldField, kPasswordFieldLimit);
        SetFocus(GetDlgItem(d, kOldField));
        return 0;
    }
    if (msg != WM_COMMAND) return 0;
    if (Pressed(w, IDOK)) {
        if (SubmitCheckPassword(d, GetDlgItemText(d, kOldField))) EndDialog(d, 1);
        return 1;
    }
    if (Pressed(w, IDCANCEL)) {
        EndDialog(d, 0);
        return 1;
    }
    return 0;
}

}  // namespace

int RunSetRootPasswordDialog(void* owner) {
    const intptr_t r = DialogBox("Root", static_cast<HWND>(owner), SetPasswordProc, 0);
    return r < 0 ? 0 : static_cast<int>(r);
}

int RunCheckPasswordDialog(void* owner) {
    if (StoredRootPassword().empty()) return 1;
    return DialogBox("Check", static_cast<HWND>(owner), CheckPasswordProc, 0) == 1 ? 1 : 0;
}

bool ProtectedActionAllowed(void* owner) { return !g_lib.protect || RunCheckPasswordDialog(owner) == 1; }

}  // namespace orb

extern "C" {

int32_t SetRootPassword(void* ownerWindow) { return orb::RunSetRootPasswordDialog(ownerWindow); }
int32_t CheckPassword(void* ownerWindow) { return orb::RunCheckPasswordDialog(ownerWindow); }

}
