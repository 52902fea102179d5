// The window layer: window classes with procedures and 12 bytes of window data, messages
// and per-thread queues, timers, painting into pictures, mouse capture, cursors, menus and
// dialogs described in the text resource file. Two backends share all of this: headless
// (tests drive it; input, dialogs and menus are scripted) and the desktop (GTK 3), chosen at
// run time by whether a display is present.
//
// A window handle is an id, never a pointer: a handle of a destroyed window is simply
// unknown, so late messages to it do nothing.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "orbiscope.h"

struct OrbWindow;  // never defined: handles are ids
struct OrbMenu;

namespace orb {

using HWND = OrbWindow*;
using HMENU = OrbMenu*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using WndProc = LRESULT (*)(HWND, uint32_t, WPARAM, LPARAM);

// Messages (the classic numbers, so hosts and the command tables read the same).
enum : uint32_t {
    WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_MOVE = 0x0003, WM_SIZE = 0x0005,
    WM_SETFOCUS = 0x0007, WM_PAINT = 0x000F, WM_CLOSE = 0x0010, WM_QUIT = 0x0012,
    WM_SHOWWINDOW = 0x0018, WM_SETCURSOR = 0x0020, WM_GETMINMAXINFO = 0x0024,
    WM_NCHITTEST = 0x0084, WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101, WM_CHAR = 0x0102,
    WM_INITDIALOG = 0x0110, WM_COMMAND = 0x0111, WM_SYSCOMMAND = 0x0112, WM_TIMER = 0x0113,
    WM_HSCROLL = 0x0114, WM_VSCROLL = 0x0115,
    WM_INITMENUPOPUP = 0x0117, WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202, WM_LBUTTONDBLCLK = 0x0203, WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205, WM_MOUSEWHEEL = 0x020A, WM_CAPTURECHANGED = 0x0215,
    WM_USER = 0x0400,
};
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr LRESULT HTTRANSPARENT = -1, HTCLIENT = 1;
constexpr int kWheelDelta = 120;
// Key state bits of mouse messages' first parameter.
constexpr WPARAM MK_LBUTTON = 0x1, MK_RBUTTON = 0x2, MK_SHIFT = 0x4, MK_CONTROL = 0x8;
// Button ids of dialogs.
constexpr int IDOK = 1, IDCANCEL = 2;
// Notification code in the high word of WM_COMMAND when a control's value changes.
constexpr int kNotifyChanged = 0x0300;
// Notification codes of WM_COMMAND: a button clicked, an edit's text changed, a list's or
// combo's selection changed, a list item double-clicked (or activated with Enter).
constexpr int BN_CLICKED = 0, EN_CHANGE = kNotifyChanged, LBN_SELCHANGE = 1, LBN_DBLCLK = 2, CBN_SELCHANGE = 1;
// Slider requests in the low word of WM_HSCROLL (the position in the high word, the slider
// control as second parameter).
constexpr int TB_THUMBTRACK = 5, TB_ENDTRACK = 8;

// Window styles.
constexpr uint32_t WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000, WS_POPUP = 0x80000000,
                   WS_CLIPSIBLINGS = 0x04000000, WS_CLIPCHILDREN = 0x02000000,
                   WS_BORDER = 0x00800000, WS_SYSMENU = 0x00080000, WS_OVERLAPPEDWINDOW = 0x00CF0000,
                   WS_MAXIMIZE = 0x01000000, WS_EX_TOPMOST = 0x00000008;
// Class styles.
constexpr uint32_t CS_VREDRAW = 0x1, CS_HREDRAW = 0x2, CS_DBLCLKS = 0x8;
// Show commands.
constexpr int SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3, SW_SHOW = 5,
              SW_MINIMIZE = 6, SW_RESTORE = 9;
// Full screen is a top-level state of its own on the desktop (no frame, whole monitor).
bool SetFullScreen(HWND hwnd, bool on);
bool IsFullScreen(HWND hwnd);
// The owner of a top-level window: the desktop keeps it above its owner.
bool SetOwner(HWND hwnd, HWND owner);
HWND GetOwner(HWND hwnd);
// WM_SIZE kinds.
constexpr WPARAM SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2;
// Standard cursors.
constexpr int IDC_ARROW = 32512, IDC_SIZEWE = 32644, IDC_SIZENS = 32645, IDC_SIZEALL = 32646, IDC_HAND = 32649;

constexpr int kWindowDataBytes = 12;

inline uint32_t LoWord(uintptr_t v) { return static_cast<uint32_t>(v & 0xFFFF); }
inline uint32_t HiWord(uintptr_t v) { return static_cast<uint32_t>((v >> 16) & 0xFFFF); }
inline WPARAM MakeWParam(uint32_t lo, uint32_t hi) { return (lo & 0xFFFF) | ((hi & 0xFFFF) << 16); }
// Mouse positions travel as two signed 16-bit halves.
inline LPARAM MakePoint(int x, int y) {
    return static_cast<LPARAM>((static_cast<uint32_t>(x) & 0xFFFF) | ((static_cast<uint32_t>(y) & 0xFFFF) << 16));
}
inline int PointX(LPARAM l) { return static_cast<int16_t>(l & 0xFFFF); }
inline int PointY(LPARAM l) { return static_cast<int16_t>((l >> 16) & 0xFFFF); }
// Wheel messages carry the signed delta in the high word of the first parameter.
inline int WheelDelta(WPARAM w) { return static_cast<int16_t>((w >> 16) & 0xFFFF); }

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const Rect&) const = default;
};

struct MinMaxInfo {
    int minTrackWidth = 0, minTrackHeight = 0;
};

// Creation parameters as the procedure sees them in WM_CREATE (second parameter).
struct CreateStruct {
    void* createParam = nullptr;
    int x = 0, y = 0, width = 0, height = 0;
    uint32_t style = 0;
    int id = 0;
};

struct Message {
    HWND hwnd = nullptr;
    uint32_t message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// ---- Backend ----
enum class Backend { Headless, Desktop };
// Chooses the desktop backend when a display is present (and ORBISCOPE_HEADLESS is not set)
// and it starts; otherwise headless. Idempotent.
Backend InitWindowing();
// Forces a backend (tests force headless); the desktop one only if it can start.
Backend SetBackend(Backend wanted);
Backend CurrentBackend();
// The default warning sound of the desktop; headless it is only counted.
void MessageBeep();
int BeepCount();

// ---- Timers' time source ----
// Milliseconds of a steady clock. Tests install a manual clock and step it.
struct TimerClock {
    virtual ~TimerClock() = default;
    virtual int64_t NowMs() = 0;
};
// Null restores the steady clock.
void SetTimerClock(TimerClock* clock);
int64_t TimerNowMs();
// A clock that only moves when told to.
struct ManualClock : TimerClock {
    int64_t now = 0;
    int64_t NowMs() override { return now; }
};

// ---- Classes and windows ----
struct WindowClass {
    std::string name;
    WndProc proc = nullptr;
    uint32_t style = 0;
    int windowDataBytes = kWindowDataBytes;
    int cursor = IDC_ARROW;
};
// False when the name is taken or the class is incomplete.
bool RegisterWindowClass(const WindowClass& cls);
bool IsClassRegistered(const std::string& name);
std::vector<std::string> RegisteredClasses();  // in registration order
void UnregisterAllClasses();

// Sends WM_CREATE (with a CreateStruct); a result of -1 fails the creation and destroys
// the window. Children are positioned in their parent's client coordinates; the id is the
// control identifier of a child.
HWND CreateWindow(const std::string& className, const std::string& title, uint32_t style, int x, int y, int width,
                  int height, HWND parent, int id, void* createParam);
// Destroys the children first; each window gets WM_DESTROY once.
bool DestroyWindow(HWND hwnd);
bool IsWindow(HWND hwnd);
std::string GetClassName(HWND hwnd);
std::string GetWindowText(HWND hwnd);
bool SetWindowText(HWND hwnd, const std::string& text);
uint32_t GetWindowStyle(HWND hwnd);
HWND GetParent(HWND hwnd);
std::vector<HWND> GetChildren(HWND hwnd);
int GetDlgCtrlID(HWND hwnd);
HWND GetDlgItem(HWND parent, int id);
// The deepest visible child (or the window itself) under a point in its client coordinates.
HWND ChildWindowFromPoint(HWND parent, int x, int y);
// Every top-level window alive, in creation order.
std::vector<HWND> TopLevelWindows();

bool ShowWindow(HWND hwnd, int command);
bool IsWindowVisible(HWND hwnd);
bool IsIconic(HWND hwnd);
bool IsZoomed(HWND hwnd);
bool EnableWindow(HWND hwnd, bool enable);
bool IsWindowEnabled(HWND hwnd);
// Position in the parent's client coordinates (screen for top-level windows).
bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint = true);
Rect GetWindowRect(HWND hwnd);
// Client rectangle: left and top are 0.
Rect GetClientRect(HWND hwnd);
// The primary screen's size (desktop: the real monitor; headless: settable).
Rect ScreenRect();
void SetHeadlessScreen(int width, int height);

// The 12 bytes of window data, as three 32-bit words at offsets 0, 4 and 8.
int32_t GetWindowLong(HWND hwnd, int offset);
int32_t SetWindowLong(HWND hwnd, int offset, int32_t value);  // returns the previous value
// Subclassing: replaces the window's procedure and returns the previous one.
WndProc SetWindowProc(HWND hwnd, WndProc proc);
WndProc GetWindowProc(HWND hwnd);
LRESULT CallWindowProc(WndProc proc, HWND hwnd, uint32_t msg, WPARAM w, LPARAM l);
LRESULT DefWindowProc(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l);

// ---- Messages ----
// Runs the procedure at once on the window's own thread; from another thread the message
// is queued to the window's thread and the caller waits (pumping its own queue meanwhile)
// until it has been handled or the window is gone.
LRESULT SendMessage(HWND hwnd, uint32_t msg, WPARAM w = 0, LPARAM l = 0);
// Queues to the window's thread. False for an unknown window.
bool PostMessage(HWND hwnd, uint32_t msg, WPARAM w = 0, LPARAM l = 0);
void PostQuitMessage(int exitCode);
// Waits for the next message of this thread (timers and paints included); false on WM_QUIT.
bool GetMessage(Message& msg);
// The next message if there is one (removing it when remove is set).
bool PeekMessage(Message& msg, bool remove = true);
LRESULT DispatchMessage(const Message& msg);
// Handles every message that is ready now (due timers and paints included); the count.
// Capture threads call this too, to serve their own windows.
int PumpMessages();
// Runs GetMessage/DispatchMessage until WM_QUIT; returns its exit code.
int RunMessageLoop();

// ---- Timers ----
// A repeating timer: WM_TIMER with the id as first parameter, at most one pending at a time.
bool SetTimer(HWND hwnd, uintptr_t id, int intervalMs);
bool KillTimer(HWND hwnd, uintptr_t id);
bool HasTimer(HWND hwnd, uintptr_t id);

// ---- Painting ----
// A surface to draw on: the window's own picture (24-bit, or 32-bit where the paint asks for
// it, its client size).
struct Canvas {
    HDIB picture = nullptr;
    int width = 0, height = 0;
};
constexpr uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b) { return r | (g << 8) | (b << 16); }
// Marks the window for repaint; WM_PAINT comes when the queue is otherwise empty. Any
// thread may call this.
bool InvalidateRect(HWND hwnd);
// Sends WM_PAINT now if the window is marked.
bool UpdateWindow(HWND hwnd);
// Inside WM_PAINT: the window's surface (clears the mark). A window that shows 32-bit pictures
// (the views) paints on a 32-bit surface: its picture is copied in, and out to the desktop,
// row by row as it is, with no conversion of each pixel.
Canvas BeginPaint(HWND hwnd, int bits = 24);
void EndPaint(HWND hwnd);
void FillRect(const Canvas& c, const Rect& r, uint32_t colour);
void FrameRect(const Canvas& c, const Rect& r, uint32_t colour, int thickness = 1);
// Text in the built-in 6 x 12 font; returns the width drawn. Newlines start a new line.
int DrawText(const Canvas& c, int x, int y, const std::string& text, uint32_t colour);
constexpr int kFontWidth = 6, kFontHeight = 12;
// Stretches a 24- or 32-bit picture (nearest pixel) into a rectangle of the surface; the
// fourth byte of a 32-bit surface is left as it is.
bool StretchPicture(const Canvas& c, const Rect& dst, HDIB source);
// The window as it looks: its surface with its visible children drawn over it (24-bit
// whatever its surfaces are, client size); the caller frees it.
HDIB CaptureWindowPicture(HWND hwnd);
// The same picture kept for the desktop in 32-bit pixels (blue, green, red, 0), rows from
// the top, so that it can be shown as it is. An update recomposes only where a window was
// painted since the last one; a window moved, resized, shown or hidden recomposes it all.
struct WindowPicture {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    struct Seen {
        uint32_t id;
        Rect at;  // in the picture
        uint64_t painted;
        bool operator==(const Seen&) const = default;
    };
    std::vector<Seen> seen;
};
// Brings the picture up to date with the window; returns the rectangle that changed (empty
// when nothing did).
Rect UpdateWindowPicture(HWND hwnd, WindowPicture& picture);

// ---- Mouse, keyboard and cursors ----
HWND SetCapture(HWND hwnd);  // returns the previous capture
bool ReleaseCapture();
HWND GetCapture();
int SetCursor(int cursor);  // returns the previous one
int GetCursor();
HWND SetFocus(HWND hwnd);
HWND GetFocus();
// Where the mouse is, in screen coordinates (the input drivers set it).
void GetCursorPos(int& x, int& y);
// Input as the desktop delivers it: a mouse message at a point of a top-level window's
// client area goes to the capture window or the deepest child under it (coordinates
// converted to that window's client area); keys go to the focus window, after its
// accelerators (modifiers: MK_SHIFT, MK_CONTROL, 0x20 for Alt; see accelerators.h).
LRESULT InjectMouse(HWND topLevel, uint32_t msg, int x, int y, WPARAM keys = 0, int wheelDelta = 0);
LRESULT InjectKey(uint32_t msg, uint32_t keyCode, uint32_t modifiers = 0);
// A window's top-left corner in the coordinates of its top-level window's client area.
void ClientToTop(HWND hwnd, int& x, int& y);

// ---- Menus ----
constexpr uint32_t MF_ENABLED = 0, MF_GRAYED = 0x1, MF_CHECKED = 0x8, MF_POPUP = 0x10, MF_SEPARATOR = 0x800;
struct MenuItem {
    int id = 0;  // 0 for separators and submenus
    std::string text;
    uint32_t flags = 0;
    HMENU submenu = nullptr;
};
HMENU CreatePopupMenu();
// From the text resource file's [Menu NAME] section; null when absent.
HMENU LoadMenu(const std::string& name);
bool DestroyMenu(HMENU menu);  // with its submenus
bool AppendMenu(HMENU menu, uint32_t flags, int id, const std::string& text, HMENU submenu = nullptr);
// The previous state, or -1 when the item is absent (found in submenus too).
int CheckMenuItem(HMENU menu, int id, bool checked);
int EnableMenuItem(HMENU menu, int id, bool enabled);
int GetMenuState(HMENU menu, int id);
std::vector<MenuItem> GetMenuItems(HMENU menu);
bool SetMenu(HWND hwnd, HMENU menu);
HMENU GetMenu(HWND hwnd);
// Shows a context menu at the pointer and returns the command chosen (0 when dismissed);
// the owner gets WM_INITMENUPOPUP first. x and y are where the owner was clicked.
int TrackPopupMenu(HMENU menu, HWND owner, int x, int y);

// ---- Dialogs ----
enum class ControlKind {
    Static, Button, DefButton, Edit, Check, Radio, List, Combo, Spin, Group, Picture,
    Password, MultiList, Slider, Progress
};
struct ControlTemplate {
    int id = 0;
    ControlKind kind = ControlKind::Static;
    std::string text;
    int x = 0, y = 0, width = 0, height = 0;
    std::string className;  // for Picture controls: the window class to create
};
struct DialogTemplate {
    std::string name, caption;
    int width = 0, height = 0;
    std::vector<ControlTemplate> controls;
};
// From the text resource file's [Dialog NAME] section.
bool LoadDialogTemplate(const std::string& name, DialogTemplate& out);
bool ParseDialogTemplate(const std::string& name, const std::vector<std::string>& lines, DialogTemplate& out);
struct AcceleratorTable;
// KEYS, when given, add each item's key after a tab in its text ("Pause\tCtrl+P").
bool ParseMenuLines(const std::vector<std::string>& lines, HMENU menu, const AcceleratorTable* keys = nullptr);

using DialogProc = LRESULT (*)(HWND, uint32_t, WPARAM, LPARAM);
// Modal: WM_INITDIALOG (second parameter = param), then runs until EndDialog; the result of
// EndDialog, or -1 when the template is missing. On the desktop a nested loop runs while the
// person uses the dialog; headless, the dialog plays what a test scripted for it (or is
// cancelled).
intptr_t DialogBox(const std::string& templateName, HWND owner, DialogProc proc, LPARAM param);
// Modeless: the dialog window, or null.
HWND CreateDialog(const std::string& templateName, HWND owner, DialogProc proc, LPARAM param);
bool EndDialog(HWND dialog, intptr_t result);
// Adds the controls of a further template (a page) to a dialog, shifted by (dx, dy); the
// number made. Scripts of the dialog reach them like its own controls.
int AddDialogControls(HWND dialog, const DialogTemplate& page, int dx, int dy);

// Controls.
std::string GetDlgItemText(HWND dialog, int id);
bool SetDlgItemText(HWND dialog, int id, const std::string& text);
int GetDlgItemInt(HWND dialog, int id);
bool SetDlgItemInt(HWND dialog, int id, int value);
bool CheckDlgButton(HWND dialog, int id, bool checked);
bool IsDlgButtonChecked(HWND dialog, int id);
// Lists and combos.
int ListAddString(HWND dialog, int id, const std::string& text);
int ListGetSelection(HWND dialog, int id);  // -1 for none
bool ListSetSelection(HWND dialog, int id, int index);
int ListCount(HWND dialog, int id);
bool ListReset(HWND dialog, int id);  // removes every item
std::string ListGetText(HWND dialog, int id, int index);
bool ListDeleteString(HWND dialog, int id, int index);
// Lists of several choices: every item chosen or not; the caret is ListGetSelection's.
bool ListSetItemSelected(HWND dialog, int id, int index, bool selected);
std::vector<int> ListGetSelectedItems(HWND dialog, int id);
// Spin controls: range and position (the value is also the control's int).
bool SpinSetRange(HWND dialog, int id, int low, int high);
int SpinGetPos(HWND dialog, int id);
bool SpinSetPos(HWND dialog, int id, int pos);
// Sliders and progress bars share range and position with spins.
inline bool SliderSetRange(HWND dialog, int id, int low, int high) { return SpinSetRange(dialog, id, low, high); }
inline int SliderGetPos(HWND dialog, int id) { return SpinGetPos(dialog, id); }
inline bool SliderSetPos(HWND dialog, int id, int pos) { return SpinSetPos(dialog, id, pos); }
inline bool ProgressSetPos(HWND dialog, int id, int pos) { return SpinSetPos(dialog, id, pos); }
// The most characters an edit field takes (0: no limit).
bool SetEditLimit(HWND dialog, int id, int characters);
// Shows or hides, enables or disables one control.
bool ShowDlgItem(HWND dialog, int id, bool show);
bool EnableDlgItem(HWND dialog, int id, bool enable);

// Lookups of resources that are not in the text resource file (a dialog template, a control
// id of an open dialog, a menu), each as "what: name", since the last call. Tests fail on any.
std::vector<std::string> TakeResourceMisses();

// Drops every window, timer, queue and script (tests start clean).
void ResetWindowing();

}  // namespace orb
