// Mouse, keyboard and cursors: capture, focus, the cursor shape and position, and input
// injected the way the desktop delivers it.
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

HWND SetCapture(HWND hwnd) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    HWND old = g_capture;
    g_capture = Find(hwnd) ? hwnd : nullptr;
    return old;
}

bool ReleaseCapture() {
    HWND old;
    {
        auto& t = Tables();
        std::lock_guard lock(t.lock);
        old = g_capture;
        g_capture = nullptr;
    }
    if (old) SendMessage(old, WM_CAPTURECHANGED);
    return true;
}

HWND GetCapture() {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    return Find(g_capture) ? g_capture : nullptr;
}

int SetCursor(int cursor) {
    const int old = g_cursor;
    g_cursor = cursor;
    return old;
}
int GetCursor() { return g_cursor; }

HWND SetFocus(HWND hwnd) {
    HWND old = g_focus;
    g_focus = IsWindow(hwnd) ? hwnd : nullptr;
    if (g_focus) {
        if (DesktopBackend* d = Desktop(); d && IsDesktopThread()) d->FocusChanged(g_focus);
        SendMessage(g_focus, WM_SETFOCUS, reinterpret_cast<WPARAM>(old));
    }
    return old;
}

HWND GetFocus() { return IsWindow(g_focus) ? g_focus : nullptr; }

void GetCursorPos(int& x, int& y) {
    x = g_cursorX;
    y = g_cursorY;
}

LRESULT InjectMouse(HWND topLevel, uint32_t msg, int x, int y, WPARAM keys, int wheelDelta) {
    const Rect wr = GetWindowRect(topLevel);
    g_cursorX = wr.left + x;
    g_cursorY = wr.top + y;
    if (msg == WM_MOUSEWHEEL) {
        HWND target = GetFocus() ? GetFocus() : ChildWindowFromPoint(topLevel, x, y);
        return SendMessage(target ? target : topLevel, msg, MakeWParam(static_cast<uint32_t>(keys), static_cast<uint16_t>(wheelDelta)),
                           MakePoint(g_cursorX, g_cursorY));
    }
    HWND target = GetCapture();
    if (!target) {
        target = ChildWindowFromPoint(topLevel, x, y);
        // A window that reports itself transparent lets the one below take the mouse:
        // here the parent beneath is what is left.
        while (target && target != topLevel && SendMessage(target, WM_NCHITTEST, 0, MakePoint(g_cursorX, g_cursorY)) == HTTRANSPARENT)
            target = GetParent(target);
    }
    if (!target) return 0;
    int ox, oy;
    ClientToTop(target, ox, oy);
    if (msg == WM_MOUSEMOVE || msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) SendMessage(target, WM_SETCURSOR, 0, 0);
    return SendMessage(target, msg, keys, MakePoint(x - ox, y - oy));
}

LRESULT InjectKey(uint32_t msg, uint32_t keyCode, uint32_t modifiers) {
    HWND target = GetFocus();
    return target ? DeliverKey(target, msg, keyCode, modifiers) : 0;
}

}  // namespace orb
