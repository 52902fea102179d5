#include "platform/accelerators.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "platform/debug_log.h"
#include "platform/texts.h"
#include "platform/window_internal.h"

namespace orb {

namespace {

constexpr uint32_t kKeyF1 = 0xFFBE;

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool ParseKey(const std::string& part, uint32_t& key) {
    if (part.size() == 1 && std::isalnum(static_cast<unsigned char>(part[0]))) {
        key = static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(part[0])));
        return true;
    }
    if (part.size() >= 2 && part.size() <= 3 && part[0] == 'F') {
        const int n = std::atoi(part.c_str() + 1);
        if (n < 1 || n > 12 || !std::isdigit(static_cast<unsigned char>(part[1]))) return false;
        key = kKeyF1 + static_cast<uint32_t>(n - 1);
        return true;
    }
    return false;
}

}  // namespace

bool ParseKeyName(const std::string& name, uint32_t& key, uint32_t& modifiers) {
    modifiers = 0;
    std::string rest = Upper(name);
    for (;;) {
        const size_t plus = rest.find('+');
        if (plus == std::string::npos || plus + 1 == rest.size()) break;
        const std::string mod = rest.substr(0, plus);
        if (mod == "CTRL") modifiers |= kKeyCtrl;
        else if (mod == "SHIFT") modifiers |= kKeyShift;
        else if (mod == "ALT") modifiers |= kKeyAlt;
        else return false;
        rest = rest.substr(plus + 1);
    }
    return ParseKey(rest, key);
}

std::string KeyName(uint32_t key, uint32_t modifiers) {
    std::string s;
    if (modifiers & kKeyCtrl) s += "Ctrl+";
    if (modifiers & kKeyShift) s += "Shift+";
    if (modifiers & kKeyAlt) s += "Alt+";
    if (key >= kKeyF1 && key < kKeyF1 + 12) return s + "F" + std::to_string(key - kKeyF1 + 1);
    return s + static_cast<char>(key);
}

bool ParseAccelerators(const std::vector<std::string>& lines, AcceleratorTable& table, std::string& error) {
    AcceleratorTable out;
    for (const std::string& line : lines) {
        std::istringstream in(line);
        std::string word, keys, command, extra;
        if (!(in >> word)) continue;
        Accelerator a;
        const bool ok = word == "KEY" && (in >> keys >> command) && !(in >> extra) &&
                        ParseKeyName(keys, a.key, a.modifiers) &&
                        command.find_first_not_of("0123456789") == std::string::npos && command.size() <= 6;
        a.command = ok ? std::atoi(command.c_str()) : 0;
        if (!ok || a.command <= 0) {
            error = "bad accelerator line \"" + line + "\" (expected KEY <keys like Ctrl+B> <command>)";
            return false;
        }
        if (FindAccelerator(out, a.key, a.modifiers)) {
            error = "the key " + KeyName(a.key, a.modifiers) + " is given twice";
            return false;
        }
        out.keys.push_back(a);
    }
    table = std::move(out);
    return true;
}

AcceleratorTable LoadAccelerators(const std::string& name) {
    AcceleratorTable table;
    const auto lines = ResourceSection("Accelerators " + name);
    std::string error;
    if (lines.empty()) {
        RecordResourceMiss("Accelerators " + name);
    } else if (!ParseAccelerators(lines, table, error)) {
        RecordResourceMiss("Accelerators " + name);
        DebugLog("Accelerators %s: %s", name.c_str(), error.c_str());
    }
    return table;
}

int FindAccelerator(const AcceleratorTable& table, uint32_t key, uint32_t modifiers) {
    for (const Accelerator& a : table.keys)
        if (a.key == key && a.modifiers == modifiers) return a.command;
    return 0;
}

std::string AcceleratorLabel(const AcceleratorTable& table, int command) {
    for (const Accelerator& a : table.keys)
        if (a.command == command) return KeyName(a.key, a.modifiers);
    return {};
}

bool SetAccelerators(HWND hwnd, const AcceleratorTable& table) {
    WITH_WINDOW(hwnd, false)
    w->accelerators = table.keys;
    return true;
}

LRESULT DeliverKey(HWND target, uint32_t msg, uint32_t keyCode, uint32_t modifiers) {
    if (msg == WM_KEYDOWN) {
        HWND owner = nullptr;
        int command = 0;
        {
            auto& t = Tables();
            std::lock_guard lock(t.lock);
            for (const WindowData* w = Find(target); w && !command; w = w->parent ? Find(ToHandle(w->parent)) : nullptr) {
                for (const Accelerator& a : w->accelerators)
                    if (a.key == keyCode && a.modifiers == modifiers) command = a.command;
                if (command) owner = ToHandle(w->id);
            }
        }
        if (command) return SendMessage(owner, WM_COMMAND, MakeWParam(static_cast<uint32_t>(command), 1), 0), 1;
    }
    return target ? SendMessage(target, msg, keyCode, 0) : 0;
}

}  // namespace orb
