// Keyboard accelerators: a table of keys (with Ctrl, Shift, Alt) and the commands they give,
// read from the text resource file's [Accelerators NAME] section, one entry a line:
//   KEY <keys> <command>     keys written like Ctrl+B, Ctrl+Shift+Z, F11
// A window with a table takes a matching key down for itself or any of its children as
// WM_COMMAND (command, 1) before the focus window sees the key.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

namespace orb {

// Modifier bits, the same as the mouse messages' key state.
constexpr uint32_t kKeyShift = MK_SHIFT, kKeyCtrl = MK_CONTROL, kKeyAlt = 0x20;

struct Accelerator {
    uint32_t key = 0;        // 'A'-'Z', '0'-'9', or the desktop's key value (F1 = 0xFFBE)
    uint32_t modifiers = 0;  // kKeyShift | kKeyCtrl | kKeyAlt
    int command = 0;
};

struct AcceleratorTable {
    std::vector<Accelerator> keys;
};

// "Ctrl+B" -> key 'B' and kKeyCtrl; false for a name it does not know.
bool ParseKeyName(const std::string& name, uint32_t& key, uint32_t& modifiers);
// The key as a person reads it: "Ctrl+B", "F11".
std::string KeyName(uint32_t key, uint32_t modifiers);
// A section's lines into a table; false with a message naming the bad line.
bool ParseAccelerators(const std::vector<std::string>& lines, AcceleratorTable& table, std::string& error);
// The [Accelerators NAME] section of the text resource file; empty when absent or bad (a bad
// section is also recorded as a resource miss and logged).
AcceleratorTable LoadAccelerators(const std::string& name);
// The command of a key, 0 when the table has none.
int FindAccelerator(const AcceleratorTable& table, uint32_t key, uint32_t modifiers);
// The key that gives a command (first in the table), empty when none does.
std::string AcceleratorLabel(const AcceleratorTable& table, int command);

// Gives a window its accelerators (an empty table removes them).
bool SetAccelerators(HWND hwnd, const AcceleratorTable& table);
// A key as the desktop delivers it to TARGET: a key down that an accelerator of the target or
// one of its parents matches becomes that window's WM_COMMAND; anything else goes to the target.
LRESULT DeliverKey(HWND target, uint32_t msg, uint32_t keyCode, uint32_t modifiers);

}  // namespace orb
