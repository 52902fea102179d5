// For tests only: the scripted user of the headless backend. A script answers a dialog of
// the text resource file or a context menu the way a person would on the desktop; the
// desktop itself never plays scripts.
#pragma once
#include <string>
#include <vector>

#include "platform/window.h"

namespace orb {

// One step of a scripted user: set a control's text or value (the dialog hears a change
// notification), tick a box, choose a list entry, double-click it, move a slider, or press
// a button.
struct DialogStep {
    enum Kind { SetText, SetValue, SetCheck, Select, Press, DoubleClick } kind = Press;
    int id = 0;
    std::string text;
    int value = 0;
};
// The next modal dialog of that template plays these steps; without a script a dialog is
// cancelled (IDCANCEL pressed). Scripts are used once each, in order. A template the text
// resource file lacks cannot be scripted (false).
bool ScriptDialog(const std::string& templateName, std::vector<DialogStep> steps);
void ClearDialogScripts();
// Templates of the dialogs opened since the last call, in order.
std::vector<std::string> TakeShownDialogs();

// The next choices of headless context menus, in order (0 dismisses the menu).
void ScriptMenuChoices(std::vector<int> choices);
// Items of the menus shown by TrackPopupMenu since the last call (flattened, submenus in place).
std::vector<std::vector<MenuItem>> TakeShownMenus();

// The next answers of headless file and folder choosers, in order (empty: cancelled).
void ScriptChooserAnswers(std::vector<std::string> paths);
// What each chooser was asked since the last call: its title.
std::vector<std::string> TakeShownChoosers();

}  // namespace orb
