// The small windows around the views: the floating tool bar, the tray icon, the shared tool
// tip and the bitmap push button (the curve window is in curve_window.h).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

struct PanoView;

namespace orb {

// The procedure of one of these classes, or null for other names.
WndProc AccessoryProc(const std::string& className);
LRESULT ToolBarProc(HWND, uint32_t, WPARAM, LPARAM);
LRESULT TrayProc(HWND, uint32_t, WPARAM, LPARAM);
LRESULT TipProc(HWND, uint32_t, WPARAM, LPARAM);
LRESULT ButtonProc(HWND, uint32_t, WPARAM, LPARAM);

// ---- Floating tool bar ----
constexpr const char* kToolBarClass = "Orbiscope Transparent";
constexpr uint32_t kMsgMouseOverView = 1274;  // second parameter: the view window
constexpr uintptr_t kToolBarTimer = 100;
constexpr int kToolBarHideMs = 5000;
constexpr int kCameraMenuBase = 28000;
constexpr uint32_t kToolBarKey = 0xFFFFFF;  // white is transparent

struct ToolBarState {
    HWND window = nullptr, owner = nullptr;
    std::vector<int> buttons;  // kinds 0..4, in order
    int width = 0;
    HWND target = nullptr;
    int lastX = -100000, lastY = -100000;
    int64_t lastMoveMs = 0;
    int pressed = -1;
    bool menuOpen = false;
    bool frozen = false;  // set while a dialog is open
    HDIB picture = nullptr;  // the "TOOLBAR" pictures, 32 x 32 side by side
    uint32_t colourKey = 0;  // the transparent colour once the window is layered
};
extern ToolBarState g_toolBar;

// The button kinds for the current camera table and view count.
std::vector<int> ToolBarButtons();
HWND CreateToolBar(HWND mainWindow);
void PlaceToolBar(bool show);
// The "TOOLBAR" pictures (null to simulate a missing resource in tests).
HDIB MakeToolBarPicture();
void SetToolBarPictureMissing(bool missing);
// The showing-mode items of a view's image type (the tool bar's view menu); the current
// mode's item is checked and greyed. With extras, also the cruise, reset and 180/90
// panorama-style items that the context menu adds.
void AppendShowModeItems(HMENU menu, const PanoView* view, bool extras);
// The showing-mode command of the view's current mode, or 0.
int ShowModeCommand(const PanoView* view);

// ---- Tray icon ----
constexpr const char* kTrayClass = "Orbiscope SysTray";
constexpr uint32_t kMsgTrayCallback = 1025;
struct TrayState {
    HWND owner = nullptr;
    int32_t iconId = 1;
    uint32_t callbackMessage = kMsgTrayCallback;
    std::string tip = "Orbiscope 360/180";
    bool added = false;
    bool desktopIcon = false;  // a real status icon is embedded in a tray
    bool standIn = false;      // no tray: the main window waits minimised in its place
};
TrayState& TheTray();
int CreateTrayIcon();
void RemoveTrayIcon();
// The person restored the minimised main window that stood in for a missing tray: the system
// leaves the background as with the tray's "show the window".
void TrayStandInRestored();

// ---- Tool tip ----
constexpr const char* kTipClass = "Quill ToolTip Class";
struct TipState {
    HWND window = nullptr, owner = nullptr;
    std::wstring text;
    int width = 0, height = 0;
    uintptr_t timer = 0;  // increasing timer number
    int tipId = 0;
    bool off = false;
};
extern TipState g_tip;
HWND ShowTip(HWND owner, int screenX, int screenY, const std::wstring& text, int tipId, int timeoutMs);
void HideTip();
void SetTipsOn(bool on);

// ---- Bitmap push button ----
constexpr const char* kButtonClass = "Quill Orbiscope Button";
// The creation parameter of a button: who hears its command and its four stacked pictures
// (normal, mouse over, pressed, disabled). The button takes the bitmap over.
struct BitmapButtonDesc {
    HWND button = nullptr, target = nullptr;
    int32_t pressed = 0, entered = 0, over = 0;
    HDIB bitmap = nullptr;
    int32_t width = 0, height = 0;
};
// The state of a button window, or null.
const BitmapButtonDesc* ButtonState(HWND button);
// The picture (0..3) the button shows now.
int ButtonPictureIndex(HWND button);

// Commands of the view that these windows serve (914 the tray, 938 the alignment); true
// when handled. For the command hook of the view window.
bool AccessoryCommand(PanoView* view, HWND window, int command);

}  // namespace orb
