// The window layer's core: windows, messages, timers, painting, input and menus. Dialogs
// are in window_dialogs.cpp, the desktop backend in window_gtk.cpp.
#include "platform/window.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <pthread.h>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/dib.h"
#include "platform/window_backend.h"
#include "platform/window_internal.h"
#include "platform/window_script.h"

namespace orb {

namespace {

struct SteadyClock : TimerClock {
    int64_t NowMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};
constinit SteadyClock g_steadyClock;
std::atomic<TimerClock*> g_clock{&g_steadyClock};

}  // namespace

WindowTables& Tables() {
    static WindowTables t;
    return t;
}

std::shared_ptr<ThreadQueue> QueueOf(std::thread::id thread) {
    auto& t = Tables();
    std::lock_guard lock(t.queuesLock);
    auto& q = t.queues[thread];
    if (!q) q = std::make_shared<ThreadQueue>();
    return q;
}

HWND ToHandle(uint32_t id) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(id)); }
uint32_t ToId(HWND h) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)); }

// Caller holds the lock.
WindowData* Find(HWND h) {
    auto& t = Tables();
    const auto it = t.windows.find(ToId(h));
    return it == t.windows.end() || it->second.destroyed ? nullptr : &it->second;
}

HWND g_capture = nullptr, g_focus = nullptr;
int g_cursor = IDC_ARROW;
int g_cursorX = 0, g_cursorY = 0;

HWND TopOf(HWND h) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    WindowData* w = Find(h);
    while (w && w->parent) {
        WindowData* p = Find(ToHandle(w->parent));
        if (!p) break;
        h = ToHandle(w->parent);
        w = p;
    }
    return w ? h : nullptr;
}

void NotifyQueue(std::thread::id thread) {
    auto q = QueueOf(thread);
    std::lock_guard lock(q->m);
    q->cv.notify_all();
}


constinit std::vector<Timer> g_timers;

namespace {

Rect g_headlessScreen{0, 0, 1920, 1080};
Backend g_backend = Backend::Headless;
bool g_backendChosen = false;
DesktopBackend* g_desktop = nullptr;
// The thread that started the desktop backend: the only one that may run the toolkit's loop
// (capture threads pump their own queues, never the toolkit's).
constinit std::atomic<pthread_t> g_desktopThread{0};

}  // namespace

// ---- Backend ----

Backend InitWindowing() {
    if (g_backendChosen) return g_backend;
    const char* forced = std::getenv("ORBISCOPE_HEADLESS");
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    return SetBackend(display && !(forced && *forced && *forced != '0') ? Backend::Desktop : Backend::Headless);
}

Backend SetBackend(Backend wanted) {
    g_backendChosen = true;
    if (wanted == Backend::Desktop) {
        if (!g_desktop) {
            g_desktop = StartDesktopBackend();
            if (g_desktop) g_desktopThread = pthread_self();
        }
        g_backend = g_desktop ? Backend::Desktop : Backend::Headless;
    } else {
        g_backend = Backend::Headless;
    }
    return g_backend;
}

Backend CurrentBackend() { return g_backend; }

namespace {
std::atomic<int> g_beepCount{0};
}

void MessageBeep() {
    ++g_beepCount;
    if (g_desktop) g_desktop->Beep();
}

int BeepCount() { return g_beepCount.load(); }

DesktopBackend* Desktop() { return g_backend == Backend::Desktop ? g_desktop : nullptr; }

void SetTimerClock(TimerClock* clock) { g_clock = clock ? clock : &g_steadyClock; }
int64_t TimerNowMs() { return g_clock.load()->NowMs(); }

// ---- Classes ----

bool RegisterWindowClass(const WindowClass& cls) {
    if (cls.name.empty() || !cls.proc || cls.windowDataBytes < 0 || cls.windowDataBytes > kWindowDataBytes)
        return false;
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    for (const auto& c : t.classes)
        if (c.name == cls.name) return false;
    t.classes.push_back(cls);
    return true;
}

bool IsClassRegistered(const std::string& name) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    return std::any_of(t.classes.begin(), t.classes.end(), [&](const auto& c) { return c.name == name; });
}

std::vector<std::string> RegisteredClasses() {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    std::vector<std::string> out;
    for (const auto& c : t.classes)
        if (c.name.empty() || c.name[0] != '#') out.push_back(c.name);
    return out;
}

void UnregisterAllClasses() {
    std::lock_guard lock(Tables().lock);
    UnregisterAllClassesLocked();
}

// ---- Windows ----

HWND CreateWindow(const std::string& className, const std::string& title, uint32_t style, int x, int y, int width,
                  int height, HWND parent, int id, void* createParam) {
    auto& t = Tables();
    uint32_t newId;
    {
        std::lock_guard lock(t.lock);
        const auto cls = std::find_if(t.classes.begin(), t.classes.end(), [&](const auto& c) { return c.name == className; });
        if (cls == t.classes.end()) return nullptr;
        if (parent && !Find(parent)) return nullptr;
        newId = t.nextId++;
        WindowData w;
        w.id = newId;
        w.className = className;
        w.title = title;
        w.style = style;
        w.classStyle = cls->style;
        w.proc = cls->proc;
        w.cursor = cls->cursor;
        w.dataBytes = cls->windowDataBytes;
        w.rect = {x, y, x + std::max(0, width), y + std::max(0, height)};
        w.parent = parent ? ToId(parent) : 0;
        w.ctrlId = id;
        w.visible = (style & WS_VISIBLE) != 0;
        w.maximised = (style & WS_MAXIMIZE) != 0;
        w.thread = std::this_thread::get_id();
        t.windows[newId] = std::move(w);
        if (parent) Find(parent)->children.push_back(newId);
        else t.topLevel.push_back(newId);
    }
    HWND h = ToHandle(newId);
    if (DesktopBackend* d = Desktop()) {
        if (!parent) d->WindowCreated(h);
        else if (!GetParent(parent)) d->ChildrenChanged(parent);
    }
    CreateStruct cs{createParam, x, y, width, height, style, id};
    if (SendMessage(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(h);
        return nullptr;
    }
    if (!IsWindow(h)) return nullptr;
    SendMessage(h, WM_SIZE, SIZE_RESTORED, MakePoint(std::max(0, width), std::max(0, height)));
    if (style & WS_VISIBLE) {
        if (!parent)
            if (DesktopBackend* d = Desktop()) d->WindowShown(h, true);
        InvalidateRect(h);
    }
    return h;
}

bool DestroyWindow(HWND hwnd) {
    auto& t = Tables();
    std::vector<uint32_t> children;
    uint32_t parent = 0;
    {
        std::lock_guard lock(t.lock);
        WindowData* w = Find(hwnd);
        if (!w || w->destroying) return false;
        w->destroying = true;
        children = w->children;
        parent = w->parent;
    }
    SendMessage(hwnd, WM_DESTROY);
    for (uint32_t c : children) DestroyWindow(ToHandle(c));
    HDIB surface = nullptr;
    HMENU menu = nullptr;
    {
        std::lock_guard lock(t.lock);
        WindowData* w = Find(hwnd);
        if (w) {
            surface = w->surface;
            menu = w->menu;
            w->destroyed = true;
        }
        std::erase_if(g_timers, [&](const Timer& tm) { return tm.window == ToId(hwnd); });
        if (parent)
            if (WindowData* p = Find(ToHandle(parent))) std::erase(p->children, ToId(hwnd));
        std::erase(t.topLevel, ToId(hwnd));
        t.windows.erase(ToId(hwnd));
        if (g_capture == hwnd) g_capture = nullptr;
        if (g_focus == hwnd) g_focus = nullptr;
    }
    if (surface) DestroyDIB(surface);
    if (menu) DestroyMenu(menu);
    if (DesktopBackend* d = Desktop()) {
        if (!parent) d->WindowDestroyed(hwnd);
        else if (IsWindow(ToHandle(parent)) && !GetParent(ToHandle(parent))) d->ChildrenChanged(ToHandle(parent));
    }
    // Wake senders waiting on this window.
    {
        std::lock_guard lock(t.queuesLock);
        for (auto& [id, q] : t.queues) {
            std::lock_guard ql(q->m);
            q->cv.notify_all();
        }
    }
    return true;
}

bool IsWindow(HWND hwnd) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    return Find(hwnd) != nullptr;
}

std::string GetClassName(HWND hwnd) { WITH_WINDOW(hwnd, {}) return w->className; }
std::string GetWindowText(HWND hwnd) { WITH_WINDOW(hwnd, {}) return w->title; }
uint32_t GetWindowStyle(HWND hwnd) { WITH_WINDOW(hwnd, 0) return w->style; }
HWND GetParent(HWND hwnd) { WITH_WINDOW(hwnd, nullptr) return w->parent ? ToHandle(w->parent) : nullptr; }
int GetDlgCtrlID(HWND hwnd) { WITH_WINDOW(hwnd, 0) return w->ctrlId; }
bool IsWindowVisible(HWND hwnd) { WITH_WINDOW(hwnd, false) return w->visible; }
bool IsIconic(HWND hwnd) { WITH_WINDOW(hwnd, false) return w->minimised; }
bool IsZoomed(HWND hwnd) { WITH_WINDOW(hwnd, false) return w->maximised; }
bool IsWindowEnabled(HWND hwnd) { WITH_WINDOW(hwnd, false) return w->enabled; }
Rect GetWindowRect(HWND hwnd) { WITH_WINDOW(hwnd, {}) return w->rect; }
Rect GetClientRect(HWND hwnd) { WITH_WINDOW(hwnd, {}) return {0, 0, w->rect.width(), w->rect.height()}; }
WndProc GetWindowProc(HWND hwnd) { WITH_WINDOW(hwnd, nullptr) return w->proc; }
HMENU GetMenu(HWND hwnd) { WITH_WINDOW(hwnd, nullptr) return w->menu; }

bool SetWindowText(HWND hwnd, const std::string& text) {
    {
        WITH_WINDOW(hwnd, false)
        w->title = text;
        if (w->parent) {
            NotifyControl(hwnd);
            return true;
        }
    }
    if (DesktopBackend* d = Desktop()) d->TitleChanged(hwnd, text);
    return true;
}

std::vector<HWND> GetChildren(HWND hwnd) {
    WITH_WINDOW(hwnd, {})
    std::vector<HWND> out;
    for (uint32_t c : w->children) out.push_back(ToHandle(c));
    return out;
}

HWND GetDlgItem(HWND parent, int id) {
    WITH_WINDOW(parent, nullptr)
    for (uint32_t c : w->children)
        if (WindowData* cw = Find(ToHandle(c)); cw && cw->ctrlId == id) return ToHandle(c);
    return nullptr;
}

std::vector<HWND> TopLevelWindows() {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    std::vector<HWND> out;
    for (uint32_t id : t.topLevel) out.push_back(ToHandle(id));
    return out;
}

HWND ChildWindowFromPoint(HWND parent, int x, int y) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    HWND h = parent;
    WindowData* w = Find(h);
    if (!w) return nullptr;
    for (;;) {
        HWND next = nullptr;
        // Later children lie on top.
        for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
            WindowData* c = Find(ToHandle(*it));
            if (c && c->visible && c->rect.contains(x, y)) {
                next = ToHandle(*it);
                x -= c->rect.left;
                y -= c->rect.top;
                w = c;
                break;
            }
        }
        if (!next) return h;
        h = next;
    }
}

void ClientToTop(HWND hwnd, int& x, int& y) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    x = y = 0;
    for (WindowData* w = Find(hwnd); w && w->parent; w = Find(ToHandle(w->parent))) {
        x += w->rect.left;
        y += w->rect.top;
    }
}

bool ShowWindow(HWND hwnd, int command) {
    bool wasVisible, top;
    {
        WITH_WINDOW(hwnd, false)
        wasVisible = w->visible;
        top = w->parent == 0;
        w->visible = command != SW_HIDE;
        if (command == SW_SHOWMINIMIZED || command == SW_MINIMIZE) w->minimised = true;
        if (command == SW_SHOWMAXIMIZED) w->maximised = true, w->minimised = false;
        if (command == SW_RESTORE || command == SW_SHOWNORMAL) w->maximised = w->minimised = false;
    }
    if (top) {
        if (DesktopBackend* d = Desktop()) {
            d->WindowShown(hwnd, command != SW_HIDE);
            d->StateChanged(hwnd);
        }
    } else {
        NotifyControl(hwnd);
    }
    if (command == SW_SHOWMAXIMIZED && top) {
        const Rect s = ScreenRect();
        MoveWindow(hwnd, s.left, s.top, s.width(), s.height(), true);
        SendMessage(hwnd, WM_SIZE, SIZE_MAXIMIZED, MakePoint(s.width(), s.height()));
    } else if (command == SW_MINIMIZE || command == SW_SHOWMINIMIZED) {
        SendMessage(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
    }
    if (command != SW_HIDE) InvalidateRect(hwnd);
    return wasVisible;
}

bool EnableWindow(HWND hwnd, bool enable) {
    bool was;
    {
        WITH_WINDOW(hwnd, false)
        was = !w->enabled;
        w->enabled = enable;
    }
    NotifyControl(hwnd);
    return was;
}

bool SetFullScreen(HWND hwnd, bool on) {
    {
        WITH_WINDOW(hwnd, false)
        if (w->parent) return false;
        w->fullScreen = on;
    }
    if (DesktopBackend* d = Desktop()) d->StateChanged(hwnd);
    return true;
}

bool IsFullScreen(HWND hwnd) { WITH_WINDOW(hwnd, false) return w->fullScreen; }

bool SetOwner(HWND hwnd, HWND owner) {
    {
        WITH_WINDOW(hwnd, false)
        w->owner = owner && Find(owner) ? ToId(owner) : 0;
    }
    if (DesktopBackend* d = Desktop()) d->StateChanged(hwnd);
    return true;
}

HWND GetOwner(HWND hwnd) { WITH_WINDOW(hwnd, nullptr) return w->owner ? ToHandle(w->owner) : nullptr; }

bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint) {
    bool moved, sized, top;
    Rect r{x, y, x + std::max(0, width), y + std::max(0, height)};
    {
        WITH_WINDOW(hwnd, false)
        moved = w->rect.left != r.left || w->rect.top != r.top;
        sized = w->rect.width() != r.width() || w->rect.height() != r.height();
        w->rect = r;
        top = w->parent == 0;
    }
    if (top)
        if (DesktopBackend* d = Desktop()) d->WindowMoved(hwnd, r);
    if (moved) SendMessage(hwnd, WM_MOVE, 0, MakePoint(x, y));
    if (sized) SendMessage(hwnd, WM_SIZE, IsZoomed(hwnd) ? SIZE_MAXIMIZED : SIZE_RESTORED, MakePoint(r.width(), r.height()));
    if (repaint) InvalidateRect(top ? hwnd : GetParent(hwnd) ? GetParent(hwnd) : hwnd), InvalidateRect(hwnd);
    return true;
}

Rect ScreenRect() {
    if (DesktopBackend* d = Desktop()) return d->Screen();
    return g_headlessScreen;
}

void SetHeadlessScreen(int width, int height) { g_headlessScreen = {0, 0, width, height}; }

int32_t GetWindowLong(HWND hwnd, int offset) {
    WITH_WINDOW(hwnd, 0)
    if (offset < 0 || offset % 4 || offset + 4 > w->dataBytes) return 0;
    return w->data[offset / 4];
}

int32_t SetWindowLong(HWND hwnd, int offset, int32_t value) {
    WITH_WINDOW(hwnd, 0)
    if (offset < 0 || offset % 4 || offset + 4 > w->dataBytes) return 0;
    const int32_t old = w->data[offset / 4];
    w->data[offset / 4] = value;
    return old;
}

WndProc SetWindowProc(HWND hwnd, WndProc proc) {
    WITH_WINDOW(hwnd, nullptr)
    if (!proc) return nullptr;
    const WndProc old = w->proc;
    w->proc = proc;
    return old;
}

LRESULT CallWindowProc(WndProc proc, HWND hwnd, uint32_t msg, WPARAM wp, LPARAM lp) {
    return proc ? proc(hwnd, msg, wp, lp) : DefWindowProc(hwnd, msg, wp, lp);
}

LRESULT DefWindowProc(HWND hwnd, uint32_t msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_PAINT:
        BeginPaint(hwnd);
        EndPaint(hwnd);
        return 0;
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_MOUSEWHEEL:
        // Unhandled wheels go up to the parent.
        if (HWND p = GetParent(hwnd)) return SendMessage(p, msg, wp, lp);
        return 0;
    case WM_SETCURSOR: {
        int cursor = IDC_ARROW;
        {
            WITH_WINDOW(hwnd, 0)
            cursor = w->cursor;
        }
        SetCursor(cursor);
        return 1;
    }
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == SC_CLOSE) SendMessage(hwnd, WM_CLOSE);
        return 0;
    default:
        return 0;
    }
}

// ---- Messages ----

namespace {

struct SentCall {
    Message msg;
    LRESULT result = 0;
    bool done = false;
};
std::mutex g_sentLock;
std::condition_variable& SentDone() {
    static auto* v = new std::condition_variable;
    return *v;
}
std::map<uint64_t, std::shared_ptr<SentCall>>& SentCalls() {
    static auto* v = new std::map<uint64_t, std::shared_ptr<SentCall>>;
    return *v;
}
uint64_t g_nextSent = 1;
constexpr uint32_t kSentMessage = 0x7FFF0001;

LRESULT Invoke(HWND hwnd, uint32_t msg, WPARAM wp, LPARAM lp) {
    WndProc proc;
    {
        auto& t = Tables();
        std::lock_guard lock(t.lock);
        WindowData* w = Find(hwnd);
        if (!w) return 0;
        proc = w->proc;
    }
    return proc(hwnd, msg, wp, lp);
}

void RunSent(uint64_t key) {
    std::shared_ptr<SentCall> call;
    {
        std::lock_guard lock(g_sentLock);
        const auto it = SentCalls().find(key);
        if (it == SentCalls().end()) return;
        call = it->second;
    }
    const LRESULT r = Invoke(call->msg.hwnd, call->msg.message, call->msg.wParam, call->msg.lParam);
    std::lock_guard lock(g_sentLock);
    call->result = r;
    call->done = true;
    SentDone().notify_all();
}

}  // namespace

LRESULT SendMessage(HWND hwnd, uint32_t msg, WPARAM wp, LPARAM lp) {
    std::thread::id owner;
    {
        auto& t = Tables();
        std::lock_guard lock(t.lock);
        WindowData* w = Find(hwnd);
        if (!w) return 0;
        owner = w->thread;
    }
    if (owner == std::this_thread::get_id()) return Invoke(hwnd, msg, wp, lp);
    auto call = std::make_shared<SentCall>();
    call->msg = {hwnd, msg, wp, lp};
    uint64_t key;
    {
        std::lock_guard lock(g_sentLock);
        key = g_nextSent++;
        SentCalls()[key] = call;
    }
    {
        auto q = QueueOf(owner);
        std::lock_guard lock(q->m);
        q->sent.push_back(key);
        q->cv.notify_all();
    }
    LRESULT result = 0;
    for (;;) {
        {
            std::unique_lock lock(g_sentLock);
            if (SentDone().wait_for(lock, std::chrono::milliseconds(20), [&] { return call->done; })) {
                result = call->result;
                break;
            }
        }
        if (!IsWindow(hwnd)) break;
        PumpMessages();
    }
    std::lock_guard lock(g_sentLock);
    SentCalls().erase(key);
    return result;
}

bool PostMessage(HWND hwnd, uint32_t msg, WPARAM wp, LPARAM lp) {
    std::thread::id owner;
    {
        auto& t = Tables();
        std::lock_guard lock(t.lock);
        WindowData* w = Find(hwnd);
        if (!w) return false;
        owner = w->thread;
    }
    auto q = QueueOf(owner);
    std::lock_guard lock(q->m);
    q->posted.push_back({hwnd, msg, wp, lp});
    q->cv.notify_all();
    return true;
}

void PostQuitMessage(int exitCode) {
    auto q = QueueOf(std::this_thread::get_id());
    std::lock_guard lock(q->m);
    q->quit = true;
    q->exitCode = exitCode;
    q->cv.notify_all();
}

namespace {

// The next message for this thread: sent calls are run on the spot; then posted messages,
// paints and due timers, in that order.
bool NextMessage(Message& out, bool remove, bool& quit) {
    const auto self = std::this_thread::get_id();
    auto q = QueueOf(self);
    for (;;) {
        uint64_t sentKey = 0;
        {
            std::lock_guard lock(q->m);
            if (!q->sent.empty()) {
                sentKey = q->sent.front();
                q->sent.pop_front();
            }
        }
        if (!sentKey) break;
        RunSent(sentKey);
    }
    {
        std::lock_guard lock(q->m);
        if (!q->posted.empty()) {
            out = q->posted.front();
            if (remove) q->posted.pop_front();
            return true;
        }
        if (q->quit) {
            out = {nullptr, WM_QUIT, static_cast<WPARAM>(q->exitCode), 0};
            if (remove) q->quit = false;
            quit = true;
            return true;
        }
    }
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    for (auto& [id, w] : t.windows)
        if (!w.destroyed && w.dirty && w.thread == self) {
            out = {ToHandle(id), WM_PAINT, 0, 0};
            return true;
        }
    const int64_t now = TimerNowMs();
    for (auto& tm : g_timers) {
        WindowData* w = Find(ToHandle(tm.window));
        if (!w || w->thread != self || now < tm.due) continue;
        out = {ToHandle(tm.window), WM_TIMER, tm.id, 0};
        if (remove) tm.due = now + tm.interval;
        return true;
    }
    return false;
}

int64_t NextTimerDue() {
    const auto self = std::this_thread::get_id();
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    int64_t due = INT64_MAX;
    for (auto& tm : g_timers) {
        WindowData* w = Find(ToHandle(tm.window));
        if (w && w->thread == self) due = std::min(due, tm.due);
    }
    return due;
}

}  // namespace

bool IsDesktopThread() { return Desktop() && pthread_equal(pthread_self(), g_desktopThread.load()) != 0; }

namespace {
std::mutex g_changedLock;
constinit std::vector<HWND> g_changedControls;

// Controls whose state changed since the last turn follow on the desktop thread.
void PumpDesktop() {
    std::vector<HWND> changed;
    {
        std::lock_guard lock(g_changedLock);
        changed.swap(g_changedControls);
    }
    DesktopBackend* d = Desktop();
    for (HWND c : changed) d->ControlChanged(c);
    d->Pump();
}
}  // namespace

void NotifyControl(HWND control) {
    if (!Desktop() || !control) return;
    std::lock_guard lock(g_changedLock);
    if (std::find(g_changedControls.begin(), g_changedControls.end(), control) == g_changedControls.end())
        g_changedControls.push_back(control);
}

bool PeekMessage(Message& msg, bool remove) {
    if (IsDesktopThread()) PumpDesktop();
    bool quit = false;
    return NextMessage(msg, remove, quit);
}

bool GetMessage(Message& msg) {
    auto q = QueueOf(std::this_thread::get_id());
    for (;;) {
        if (IsDesktopThread()) PumpDesktop();
        bool quit = false;
        if (NextMessage(msg, true, quit)) return !quit;
        const int64_t due = NextTimerDue();
        const int64_t now = TimerNowMs();
        int64_t waitMs = IsDesktopThread() ? 10 : 50;
        if (due != INT64_MAX) waitMs = std::clamp<int64_t>(due - now, 0, waitMs);
        std::unique_lock lock(q->m);
        q->cv.wait_for(lock, std::chrono::milliseconds(waitMs),
                       [&] { return !q->posted.empty() || !q->sent.empty() || q->quit; });
    }
}

LRESULT DispatchMessage(const Message& msg) {
    if (!msg.hwnd) return 0;
    const LRESULT r = Invoke(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    if (msg.message == WM_PAINT) {
        HWND top = nullptr;
        {
            auto& t = Tables();
            std::lock_guard lock(t.lock);
            // A procedure that ignored the paint must not be asked again and again.
            if (WindowData* w = Find(msg.hwnd)) w->dirty = false;
        }
        top = TopOf(msg.hwnd);
        if (top)
            if (DesktopBackend* d = Desktop()) d->PictureChanged(top);
    }
    return r;
}

int PumpMessages() {
    int count = 0;
    Message m;
    // Bounded in count and in time, so that procedures that keep posting or repainting (busy
    // cameras on a slow machine) cannot hold the caller forever.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    while (count < 100000 && (count == 0 || std::chrono::steady_clock::now() < until) && PeekMessage(m, true)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        DispatchMessage(m);
        ++count;
    }
    return count;
}

int RunMessageLoop() {
    Message m;
    while (GetMessage(m)) DispatchMessage(m);
    return static_cast<int>(m.wParam);
}

void ResetWindowing() {
    for (HWND h : TopLevelWindows()) DestroyWindow(h);
    auto& t = Tables();
    {
        std::lock_guard lock(t.lock);
        g_timers.clear();
        ResetMenusLocked();
        g_capture = g_focus = nullptr;
        g_cursor = IDC_ARROW;
        UnregisterAllClassesLocked();
    }
    {
        std::lock_guard lock(t.queuesLock);
        for (auto& [id, q] : t.queues) {
            std::lock_guard ql(q->m);
            q->posted.clear();
            q->quit = false;
        }
    }
    ClearDialogScripts();
    TakeShownDialogs();
    SetTimerClock(nullptr);
}

void UnregisterAllClassesLocked() {
    std::erase_if(Tables().classes, [](const auto& c) { return c.name.empty() || c.name[0] != '#'; });
}

}  // namespace orb
