// Shared state of the window layer's source files (not for other modules).
#pragma once
#include <array>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/accelerators.h"
#include "platform/window.h"

namespace orb {

struct DesktopBackend;

// What a dialog control holds.
struct ControlState {
    ControlKind kind = ControlKind::Static;
    int value = 0;
    bool checked = false;
    std::vector<std::string> items;
    std::vector<bool> chosen;  // lists of several choices
    int selection = -1;
    int low = 0, high = 100;
    int limit = 0;  // edit fields: most characters, 0 for any
};

struct WindowData {
    uint32_t id = 0;
    std::string className, title;
    uint32_t style = 0, classStyle = 0;
    WndProc proc = nullptr;
    int cursor = IDC_ARROW;
    int dataBytes = kWindowDataBytes;
    std::array<int32_t, 3> data{};
    Rect rect;
    uint32_t parent = 0;
    std::vector<uint32_t> children;
    int ctrlId = 0;
    bool visible = false, enabled = true, minimised = false, maximised = false, fullScreen = false;
    uint32_t owner = 0;
    bool destroying = false, destroyed = false, dirty = false;
    std::thread::id thread;
    HDIB surface = nullptr;
    uint64_t painted = 0;  // counts paints of the surface, so that the desktop copies only what changed
    HMENU menu = nullptr;
    std::vector<Accelerator> accelerators;
    // Dialogs and their controls.
    bool isDialog = false, ended = false, modal = false;
    intptr_t result = 0;
    DialogProc dialogProc = nullptr;
    LPARAM dialogParam = 0;
    ControlState control;
};

struct ThreadQueue {
    std::mutex m;
    std::condition_variable cv;
    std::deque<Message> posted;
    std::deque<uint64_t> sent;
    bool quit = false;
    int exitCode = 0;
};

struct WindowTables {
    std::mutex lock;  // windows, classes, timers, menus
    std::map<uint32_t, WindowData> windows;
    std::vector<uint32_t> topLevel;
    std::vector<WindowClass> classes;
    uint32_t nextId = 0x100;
    std::mutex queuesLock;
    std::map<std::thread::id, std::shared_ptr<ThreadQueue>> queues;
};

WindowTables& Tables();
std::shared_ptr<ThreadQueue> QueueOf(std::thread::id thread);
HWND ToHandle(uint32_t id);
uint32_t ToId(HWND h);
// Caller holds Tables().lock.
WindowData* Find(HWND h);
void UnregisterAllClassesLocked();
DesktopBackend* Desktop();
// True on the thread that runs the desktop toolkit.
bool IsDesktopThread();
// Tells the desktop that a control's state (text, value, items, check, enabled, shown)
// changed; any thread.
void NotifyControl(HWND control);
// Records a lookup of something the text resource file lacks.
void RecordResourceMiss(const std::string& what);
// The next headless chooser answer, if a test scripted one (window_dialogs.cpp).
bool NextScriptedChooserAnswer(const std::string& title, std::string& answer);
// Headless menus: the next scripted choice (window.cpp).
int NextScriptedMenuChoice();

// Shared by the window layer's files: the top-level window of a window, waking a thread's
// queue, the input state (guarded by Tables().lock) and the menus' reset (lock held).
HWND TopOf(HWND h);
void NotifyQueue(std::thread::id thread);
extern HWND g_capture, g_focus;
extern int g_cursor;
extern int g_cursorX, g_cursorY;
void ResetMenusLocked();

// A window's timer; the timers are guarded by Tables().lock.
struct Timer {
    uint32_t window;
    uintptr_t id;
    int interval;
    int64_t due;
};
extern std::vector<Timer> g_timers;

// Looks a window up under the tables' lock; returns def from the caller when it is gone.
#define WITH_WINDOW(h, def)            \
    auto& t = Tables();                \
    std::lock_guard lock(t.lock);      \
    WindowData* w = Find(h);           \
    if (!w) return def;

}  // namespace orb
