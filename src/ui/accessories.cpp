// The tray icon, the shared tool tip, the bitmap push button, and the class table of the
// small windows.
#include "ui/accessories.h"

#include <algorithm>
#include <codecvt>
#include <locale>
#include <map>

#include "config/root_password.h"
#include "config/settings.h"
#include "ui/alignment.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/texts.h"
#include "platform/dib.h"
#include "ui/curve_window.h"
#include "ui/main_window.h"

namespace orb {

TrayState& TheTray() {
    static auto* v = new TrayState;
    return *v;
}
constinit TipState g_tip;

// The desktop's status icon (gtk_tray.cpp): true when one is embedded in a tray; `onLost` runs
// when that tray goes away later.
bool ShowDesktopTrayIcon(const std::string& tip, void (*onMenu)(), void (*onLost)());
void HideDesktopTrayIcon();

namespace {

constexpr int kTipBorder = 1;
constexpr uintptr_t kStandInTimer = 1;
constexpr int kStandInSettleMs = 700;
constexpr int kTipDefaultMs = 5000;
std::map<HWND, BitmapButtonDesc>& BitmapButtons() {
    static auto* v = new std::map<HWND, BitmapButtonDesc>;
    return *v;
}

bool Allowed(HWND owner) { return !g_lib.protect || ProtectedActionAllowed(owner); }

std::string Utf8(const std::wstring& w) {
    std::string out;
    for (wchar_t c : w) {
        const uint32_t u = static_cast<uint32_t>(c);
        if (u < 0x80) out += static_cast<char>(u);
        else if (u < 0x800) out += static_cast<char>(0xC0 | (u >> 6)), out += static_cast<char>(0x80 | (u & 0x3F));
        else if (u < 0x10000)
            out += static_cast<char>(0xE0 | (u >> 12)), out += static_cast<char>(0x80 | ((u >> 6) & 0x3F)),
                out += static_cast<char>(0x80 | (u & 0x3F));
        else out += '?';
    }
    return out;
}

void TrayMenu() {
    HWND owner = TheTray().owner;
    if (!owner) return;
    SetFocus(owner);  // the owner comes to the foreground first
    HMENU menu = CreatePopupMenu();
    AppendMenu(menu, 0, kCmdFromBackground, Text(kCmdFromBackground));
    AppendMenu(menu, MF_SEPARATOR, 0, {});
    AppendMenu(menu, 0, kCmdPlayer, Text(912));
    AppendMenu(menu, MF_SEPARATOR, 0, {});
    AppendMenu(menu, 0, kCmdClose, Text(kCmdClose));
    int x = 0, y = 0;
    GetCursorPos(x, y);
    const int chosen = TrackPopupMenu(menu, owner, x, y);
    DestroyMenu(menu);
    if (chosen) SendMessage(owner, WM_COMMAND, static_cast<WPARAM>(chosen), 0);
}

// Without a tray (or when the tray goes away) the main window stays on the desktop, minimised
// under a title that says so, so the person can always bring the system back.
void ShowTrayStandIn() {
    TheTray().desktopIcon = false;
    if (!g_ui.main) return;
    TheTray().standIn = true;
    SetWindowText(g_ui.main, TheTray().tip + " (background)");
    ShowWindow(g_ui.main, SW_SHOWMINIMIZED);
}

void TrayCommand(HWND owner, int cmd) {
    switch (cmd) {
    case kCmdClose:
        if (!Allowed(owner)) return;
        RemoveTrayIcon();
        if (g_ui.views[0]) SendMessage(g_ui.views[0], WM_COMMAND, kCmdClose, 0);
        return;
    case kCmdPlayer:
        if (!Allowed(owner)) return;
        if (IsWindow(g_ui.recordingWindow)) SendMessage(g_ui.recordingWindow, WM_COMMAND, kCmdClose, 0);
        else if (g_ui.main) SendMessage(g_ui.main, WM_COMMAND, kCmdPlayer, 0);
        return;
    case kCmdFromBackground:
        if (g_lib.callerId != 0 || !Allowed(owner)) return;
        RemoveTrayIcon();
        if (g_ui.main) ShowWindow(g_ui.main, SW_SHOW);
        WriteSetting("Panorama", "Background", "0");
        return;
    default: return;
    }
}

void PaintTip(HWND h) {
    Canvas c = BeginPaint(h);
    const Rect all = GetClientRect(h);
    FillRect(c, all, Rgb(255, 255, 255));
    FrameRect(c, {0, 0, all.right - 1, all.bottom - 1}, Rgb(0, 0, 0));
    FillRect(c, {all.right - 1, 1, all.right, all.bottom}, Rgb(128, 128, 128));
    FillRect(c, {1, all.bottom - 1, all.right, all.bottom}, Rgb(128, 128, 128));
    DrawText(c, kTipBorder, kTipBorder, Utf8(g_tip.text), Rgb(0, 0, 0));
    EndPaint(h);
}

BitmapButtonDesc* Button(HWND h) {
    const auto it = BitmapButtons().find(h);
    return it == BitmapButtons().end() ? nullptr : &it->second;
}

void PaintButton(HWND h) {
    Canvas c = BeginPaint(h);
    const BitmapButtonDesc* b = Button(h);
    if (b && b->bitmap) {
        const int index = ButtonPictureIndex(h);
        DibLock src(b->bitmap);
        DibLock dst(c.picture);
        const int bpp = src.bitCount() / 8;
        for (int y = 0; y < std::min(b->height, c.height); ++y) {
            const uint8_t* s = src.rowFromTop(index * b->height + y);
            uint8_t* d = dst.rowFromTop(y);
            for (int x = 0; x < std::min(b->width, c.width); ++x) std::copy_n(s + x * bpp, 3, d + x * 3);
        }
    }
    EndPaint(h);
}

}  // namespace

// ---- Tray icon ----

int CreateTrayIcon() {
    if (!IsClassRegistered(kTrayClass)) RegisterWindowClass({kTrayClass, TrayProc, 0, kWindowDataBytes});
    if (!TheTray().owner) {
        HWND owner = CreateWindow(kTrayClass, "", 0, 0, 0, 0, 0, nullptr, 0, nullptr);
        if (!owner) return 0;
    }
    TheTray().iconId = 1;
    TheTray().callbackMessage = kMsgTrayCallback;
    TheTray().tip = "Orbiscope 360/180";
    TheTray().added = true;
    TheTray().desktopIcon =
        CurrentBackend() == Backend::Desktop && ShowDesktopTrayIcon(TheTray().tip, TrayMenu, ShowTrayStandIn);
    if (CurrentBackend() == Backend::Desktop && !TheTray().desktopIcon) {
        HideDesktopTrayIcon();
        ShowTrayStandIn();
    }
    return 1;
}

void RemoveTrayIcon() {
    if (TheTray().desktopIcon) HideDesktopTrayIcon();
    if (TheTray().standIn && g_ui.main) SetWindowText(g_ui.main, Text(1009));
    TheTray().added = false;
    TheTray().desktopIcon = false;
    TheTray().standIn = false;
}

void TrayStandInRestored() {
    if (!TheTray().added || !TheTray().standIn || !g_ui.main || IsIconic(g_ui.main)) return;
    // The window manager may show the window for a moment on its way to minimised; only a
    // window that stays restored was brought back by the person.
    if (TheTray().owner) SetTimer(TheTray().owner, kStandInTimer, kStandInSettleMs);
}

static void LeaveStandIn() {
    if (!TheTray().added || !TheTray().standIn || !g_ui.main || IsIconic(g_ui.main) || !IsWindowVisible(g_ui.main)) return;
    if (!Allowed(g_ui.main)) {
        ShowWindow(g_ui.main, SW_MINIMIZE);
        return;
    }
    RemoveTrayIcon();
    WriteSetting("Panorama", "Background", "0");
}

LRESULT TrayProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_CREATE: TheTray().owner = h; return 0;
    case kMsgTrayCallback:
        if (static_cast<uint32_t>(l) == WM_RBUTTONDOWN) TrayMenu();
        return 0;
    case WM_COMMAND: TrayCommand(h, static_cast<int>(LoWord(w))); return 0;
    case WM_TIMER:
        if (w == kStandInTimer) {
            KillTimer(h, kStandInTimer);
            LeaveStandIn();
        }
        return 0;
    case WM_DESTROY:
        if (TheTray().owner == h) {
            RemoveTrayIcon();
            TheTray().owner = nullptr;
        }
        return 0;
    default: return DefWindowProc(h, msg, w, l);
    }
}

// ---- Tool tip ----

void SetTipsOn(bool on) {
    g_tip.off = !on;
    if (!on) HideTip();
}

void HideTip() {
    if (IsWindow(g_tip.window)) DestroyWindow(g_tip.window);
    g_tip.window = nullptr;
}

HWND ShowTip(HWND owner, int sx, int sy, const std::wstring& text, int tipId, int timeoutMs) {
    if (g_tip.off) {
        HideTip();
        return nullptr;
    }
    if (timeoutMs == 0) timeoutMs = kTipDefaultMs;
    if (text.empty() || text.size() >= 100) return nullptr;
    int lines = 1, longest = 0, current = 0;
    for (wchar_t c : text) {
        if (c == L'\n') ++lines, current = 0;
        else longest = std::max(longest, ++current);
    }
    const int w = longest * kFontWidth + 2 * kTipBorder, h = lines * kFontHeight + 2 * kTipBorder;
    const Rect s = ScreenRect();
    int x = std::max(0, sx), y = std::max(0, sy);
    if (x + w > s.right) x = std::max(0, s.right - w);
    if (y + h > s.bottom) y = std::max(0, s.bottom - h);
    if (IsWindow(g_tip.window) && g_tip.owner == owner) {
        const uintptr_t old = g_tip.timer;
        KillTimer(g_tip.window, old);
        g_tip.timer = old + 1;
        SetTimer(g_tip.window, g_tip.timer, timeoutMs);
        if (!(tipId != 0 && tipId == g_tip.tipId)) {
            g_tip.tipId = tipId;
            g_tip.text = text;
            g_tip.width = w, g_tip.height = h;
            MoveWindow(g_tip.window, x, y, w, h, true);
        }
        InvalidateRect(g_tip.window);
        return g_tip.window;
    }
    HideTip();
    if (!IsClassRegistered(kTipClass)) RegisterWindowClass({kTipClass, TipProc, 0, 0});
    HWND focus = GetFocus();
    g_tip.owner = owner;
    g_tip.text = text;
    g_tip.tipId = tipId;
    g_tip.width = w, g_tip.height = h;
    g_tip.window = CreateWindow(kTipClass, "", WS_POPUP | WS_BORDER | WS_VISIBLE | WS_EX_TOPMOST, x, y, w, h, nullptr, 0, nullptr);
    if (!g_tip.window) return nullptr;
    ++g_tip.timer;
    SetTimer(g_tip.window, g_tip.timer, timeoutMs);
    if (focus) SetFocus(focus);  // the owner's window keeps the focus
    return g_tip.window;
}

LRESULT TipProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_NCHITTEST: return HTTRANSPARENT;
    case WM_PAINT: PaintTip(h); return 0;
    case WM_KEYDOWN:
    case WM_TIMER:
    case 0x0104:  // a system key
        DestroyWindow(h);
        return 0;
    case WM_DESTROY:
        if (g_tip.window == h) g_tip.window = nullptr;
        return 0;
    default: return DefWindowProc(h, msg, w, l);
    }
}

// ---- Bitmap button ----

const BitmapButtonDesc* ButtonState(HWND button) { return Button(button); }

int ButtonPictureIndex(HWND h) {
    const BitmapButtonDesc* b = Button(h);
    if (!b) return 0;
    if (!IsWindowEnabled(h)) return 3;
    if (b->pressed) return b->over ? 2 : 0;
    return b->over ? 1 : 0;
}

LRESULT ButtonProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    BitmapButtonDesc* b = Button(h);
    switch (msg) {
    case WM_CREATE: {
        const auto* cs = reinterpret_cast<const CreateStruct*>(l);
        const auto* desc = static_cast<const BitmapButtonDesc*>(cs->createParam);
        if (!desc) return -1;
        BitmapButtonDesc& s = BitmapButtons()[h] = *desc;
        s.button = h;
        s.pressed = s.entered = s.over = 0;
        if (s.bitmap) {
            DibLock pic(s.bitmap);
            s.width = pic.width();
            s.height = pic.height() / 4;
        }
        MoveWindow(h, cs->x, cs->y, s.width, s.height, false);
        return 0;
    }
    case WM_MOUSEMOVE: {
        if (!b) return 0;
        const bool inside = GetClientRect(h).contains(PointX(l), PointY(l));
        if (!b->entered && inside) {
            // The mouse enters: follow it and name the button in a tip.
            SetCapture(h);
            b->entered = 1;
            int x = 0, y = 0;
            ClientToTop(h, x, y);
            HWND top = h;
            while (GetParent(top)) top = GetParent(top);
            const Rect t = GetWindowRect(top);
            const std::string title = GetWindowText(h);
            ShowTip(h, t.left + x, t.top + y + GetClientRect(h).height(), std::wstring(title.begin(), title.end()),
                    GetDlgCtrlID(GetParent(h)), 0);
        }
        const int over = inside ? 1 : 0;
        if (!inside && !b->pressed && b->entered) {
            if (GetCapture() == h) ReleaseCapture();
            b->entered = 0;
        }
        if (over != b->over) {
            b->over = over;
            InvalidateRect(h);
        }
        return 0;
    }
    case WM_LBUTTONDOWN:
        if (!b) return 0;
        b->pressed = b->over = 1;
        InvalidateRect(h);
        SetCapture(h);
        return 0;
    case WM_LBUTTONUP: {
        if (!b) return 0;
        if (GetCapture() == h) ReleaseCapture();
        b->pressed = 0;
        InvalidateRect(h);
        if (b->entered && b->over)
            PostMessage(b->target, WM_COMMAND, static_cast<WPARAM>(GetDlgCtrlID(h)), reinterpret_cast<LPARAM>(h));
        b->entered = b->over = 0;
        return 0;
    }
    case WM_PAINT: PaintButton(h); return 0;
    case WM_DESTROY:
        if (b) {
            DestroyDIB(b->bitmap);
            BitmapButtons().erase(h);
        }
        return 0;
    default: return DefWindowProc(h, msg, w, l);
    }
}

// ---- Class table and commands ----

WndProc AccessoryProc(const std::string& name) {
    if (name == kToolBarClass) return ToolBarProc;
    if (name == kTrayClass) return TrayProc;
    if (name == kTipClass) return TipProc;
    if (name == kButtonClass) return ButtonProc;
    if (name == kCurveClass) return CurveWndProc;
    return nullptr;
}

bool AccessoryCommand(PanoView* view, HWND, int command) {
    if (command == kCmdToBackground) return CreateTrayIcon(), true;
    if (command == kCmdAlign && view) return RunAlignment(view), true;
    return false;
}

}  // namespace orb
