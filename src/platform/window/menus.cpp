// Menus: popup menus and their items, window menus, and the popup menu run on the desktop
// or answered by a test's script headless.
#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/dib.h"
#include "platform/window.h"
#include "platform/window_backend.h"
#include "platform/window_internal.h"
#include "platform/window_script.h"

namespace orb {

namespace {

struct Menu {
    std::vector<MenuItem> items;
};

std::map<uint32_t, Menu>& MenuTable() {
    static auto* v = new std::map<uint32_t, Menu>;
    return *v;
}
uint32_t g_nextMenu = 1;
std::deque<int>& MenuChoices() {
    static auto* v = new std::deque<int>;
    return *v;
}
constinit std::vector<std::vector<MenuItem>> g_shownMenus;

Menu* FindMenu(HMENU m) {
    const auto it = MenuTable().find(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(m)));
    return it == MenuTable().end() ? nullptr : &it->second;
}

MenuItem* FindItem(HMENU m, int id) {
    Menu* menu = FindMenu(m);
    if (!menu) return nullptr;
    for (auto& item : menu->items) {
        if (item.id == id && !(item.flags & (MF_POPUP | MF_SEPARATOR))) return &item;
        if (item.submenu)
            if (MenuItem* inner = FindItem(item.submenu, id)) return inner;
    }
    return nullptr;
}

void Flatten(HMENU m, std::vector<MenuItem>& out) {
    Menu* menu = FindMenu(m);
    if (!menu) return;
    for (const auto& item : menu->items) {
        out.push_back(item);
        if (item.submenu) Flatten(item.submenu, out);
    }
}

}  // namespace

HMENU CreatePopupMenu() {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    const uint32_t id = g_nextMenu++;
    MenuTable()[id] = {};
    return reinterpret_cast<HMENU>(static_cast<uintptr_t>(id));
}

bool DestroyMenu(HMENU menu) {
    std::vector<HMENU> subs;
    {
        auto& t = Tables();
        std::lock_guard lock(t.lock);
        Menu* m = FindMenu(menu);
        if (!m) return false;
        for (auto& item : m->items)
            if (item.submenu) subs.push_back(item.submenu);
        MenuTable().erase(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(menu)));
    }
    for (HMENU s : subs) DestroyMenu(s);
    return true;
}

bool AppendMenu(HMENU menu, uint32_t flags, int id, const std::string& text, HMENU submenu) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    Menu* m = FindMenu(menu);
    if (!m) return false;
    m->items.push_back({(flags & (MF_POPUP | MF_SEPARATOR)) ? 0 : id, text, flags, submenu});
    return true;
}

int CheckMenuItem(HMENU menu, int id, bool checked) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    MenuItem* item = FindItem(menu, id);
    if (!item) return -1;
    const int old = static_cast<int>(item->flags & MF_CHECKED);
    item->flags = checked ? item->flags | MF_CHECKED : item->flags & ~MF_CHECKED;
    return old;
}

int EnableMenuItem(HMENU menu, int id, bool enabled) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    MenuItem* item = FindItem(menu, id);
    if (!item) return -1;
    const int old = static_cast<int>(item->flags & MF_GRAYED);
    item->flags = enabled ? item->flags & ~MF_GRAYED : item->flags | MF_GRAYED;
    return old;
}

int GetMenuState(HMENU menu, int id) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    MenuItem* item = FindItem(menu, id);
    return item ? static_cast<int>(item->flags) : -1;
}

std::vector<MenuItem> GetMenuItems(HMENU menu) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    Menu* m = FindMenu(menu);
    return m ? m->items : std::vector<MenuItem>{};
}

bool SetMenu(HWND hwnd, HMENU menu) {
    {
        WITH_WINDOW(hwnd, false)
        w->menu = menu;
        if (w->parent) return true;
    }
    if (DesktopBackend* d = Desktop()) d->MenuChanged(hwnd);
    return true;
}

int NextScriptedMenuChoice() {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    if (MenuChoices().empty()) return 0;
    const int choice = MenuChoices().front();
    MenuChoices().pop_front();
    return choice;
}

int TrackPopupMenu(HMENU menu, HWND owner, int x, int y) {
    SendMessage(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    std::vector<MenuItem> flat;
    {
        auto& t = Tables();
        std::lock_guard lock(t.lock);
        if (!FindMenu(menu)) return 0;
        Flatten(menu, flat);
        g_shownMenus.push_back(flat);
    }
    DesktopBackend* d = Desktop();
    const int choice = d && IsDesktopThread() ? d->TrackPopup(menu, owner) : NextScriptedMenuChoice();
    // A greyed or absent item cannot be chosen.
    const bool valid = std::any_of(flat.begin(), flat.end(), [&](const MenuItem& i) {
        return i.id == choice && choice != 0 && !(i.flags & (MF_GRAYED | MF_SEPARATOR | MF_POPUP));
    });
    return valid ? choice : 0;
}

void ScriptMenuChoices(std::vector<int> choices) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    MenuChoices().assign(choices.begin(), choices.end());
}

std::vector<std::vector<MenuItem>> TakeShownMenus() {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    return std::exchange(g_shownMenus, {});
}

void ResetMenusLocked() {
    MenuTable().clear();
    MenuChoices().clear();
    g_shownMenus.clear();
}

}  // namespace orb
