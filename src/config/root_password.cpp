#include "config/root_password.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

#include "config/config_file.h"
#include "config/settings.h"
#include "host/dialog_script.h"
#include "host/library_state.h"
#include "host/texts.h"
#include "orbiscope.h"
#include "platform/msgbox.h"

namespace orb {

namespace {
constexpr int kOldField = 3400, kNewField = 3401, kConfirmField = 3402, kProtectBox = 363;
// A user who keeps pressing OK on a wrong entry still ends the dialog some time.
constexpr int kMaxRounds = 1000;

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
    const bool oldOk = strcasecmp(oldText.c_str(), StoredRootPassword().c_str()) == 0;
    if (oldOk && strcasecmp(newText.c_str(), confirm.c_str()) == 0) {
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

int RunSetRootPasswordDialog(void* owner) {
    DialogValues v;
    for (int id : {kOldField, kNewField, kConfirmField}) {
        v.text[id] = "";
        v.limit[id] = kPasswordFieldLimit;
    }
    v.checked[kProtectBox] = g_lib.protect ? 1 : 0;
    for (int round = 0; round < kMaxRounds; ++round) {
        if (AskDialog(owner, "Root", v) != 1) return 0;
        if (SubmitSetPassword(owner, v.text[kOldField], v.text[kNewField], v.text[kConfirmField],
                              v.checked[kProtectBox] != 0))
            return 0;
    }
    return 0;
}

int RunCheckPasswordDialog(void* owner) {
    if (StoredRootPassword().empty()) return 1;
    DialogValues v;
    v.text[kOldField] = "";
    v.limit[kOldField] = kPasswordFieldLimit;
    for (int round = 0; round < kMaxRounds; ++round) {
        if (AskDialog(owner, "Check", v) != 1) return 0;
        if (SubmitCheckPassword(owner, v.text[kOldField])) return 1;
    }
    return 0;
}

bool ProtectedActionAllowed(void* owner) { return !g_lib.protect || RunCheckPasswordDialog(owner) == 1; }

}  // namespace orb

extern "C" {

int32_t SetRootPassword(void* ownerWindow) { return orb::RunSetRootPasswordDialog(ownerWindow); }
int32_t CheckPassword(void* ownerWindow) { return orb::RunCheckPasswordDialog(ownerWindow); }

}
