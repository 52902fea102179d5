// The local root password (bytes 68-79 of the user block) and its two dialogs.
#pragma once
#include <string>

namespace orb {

constexpr int kRootPasswordOffset = 68;
constexpr int kRootPasswordBytes = 12;  // at most 11 characters and the NUL
constexpr int kPasswordFieldLimit = 10;

std::string StoredRootPassword();
void StoreRootPassword(const std::string& password);

// OK of the set dialog: true when the password was changed (the dialog closes); false when
// a message was shown and the dialog stays open.
bool SubmitSetPassword(void* owner, const std::string& oldPassword, const std::string& newPassword,
                       const std::string& confirmation, bool protect);
// OK of the check dialog: true when the entry matches exactly.
bool SubmitCheckPassword(void* owner, const std::string& entry);

// The dialogs: "Root" (result 0 whichever way it closes) and "Check" (1 or 0).
int RunSetRootPasswordDialog(void* owner);
int RunCheckPasswordDialog(void* owner);
// The guard of protected actions: true when the action may go on.
bool ProtectedActionAllowed(void* owner);

}  // namespace orb
