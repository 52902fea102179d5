// Modal dialogs whose window part lives in the window layer. The logic of each dialog
// fills a set of control values, asks for the user's answer and acts on it; the window
// layer (or a test script) installs the answerer that shows the template and returns the
// values as the user left them.
#pragma once
#include <functional>
#include <map>
#include <string>

namespace orb {

struct DialogValues {
    std::map<int, std::string> text;  // edit fields by control id
    std::map<int, int> checked;       // check boxes and radio buttons
    std::map<int, int> enabled;       // controls the logic enables (1) or disables (0)
    std::map<int, int> limit;         // edit field length limits
};

// Shows template `name` with `values`; returns true for OK (values updated), false for
// Cancel. `values` is shown again as long as the logic keeps the dialog open.
using DialogAnswerer = std::function<bool(void* owner, const std::string& name, DialogValues& values)>;
void SetDialogAnswerer(DialogAnswerer answerer);
bool HaveDialogAnswerer();
// 1 OK, 0 Cancel, -1 when no dialog can be shown at all.
int AskDialog(void* owner, const std::string& name, DialogValues& values);

}  // namespace orb
