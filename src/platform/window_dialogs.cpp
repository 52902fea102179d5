// Dialogs and menus described in the text resource file, and the scripted user that
// answers dialogs headless.
#include <algorithm>
#include <chrono>
#include <thread>
#include <cstdlib>
#include <deque>
#include <map>
#include <sstream>
#include <utility>

#include "platform/texts.h"
#include "platform/choosers.h"
#include "platform/window.h"
#include "platform/window_backend.h"
#include "platform/window_internal.h"
#include "platform/window_script.h"

namespace orb {

namespace {

constexpr const char* kDialogClass = "#dialog";
constexpr const char* kControlClass = "#control";

std::mutex g_scriptLock;
std::map<std::string, std::deque<std::vector<DialogStep>>>& DialogScripts() {
    static auto* v = new std::map<std::string, std::deque<std::vector<DialogStep>>>;
    return *v;
}
constinit std::vector<std::string> g_shownDialogs;
std::deque<std::string>& ChooserAnswers() {
    static auto* v = new std::deque<std::string>;
    return *v;
}
constinit std::vector<std::string> g_shownChoosers;
constinit std::vector<std::string> g_misses;

std::string Trim(const std::string& s) {
    const auto a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// Words of a line; "double quoted" words may hold spaces.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        std::string w;
        if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"') w += line[i++];
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') w += line[i++];
        }
        out.push_back(w);
    }
    return out;
}

// "#N" names numbered text N.
std::string ResolveText(const std::string& s) {
    if (s.size() > 1 && s[0] == '#' && std::all_of(s.begin() + 1, s.end(), ::isdigit)) return Text(std::atoi(s.c_str() + 1));
    return s;
}

bool KindOf(const std::string& word, ControlKind& kind) {
    static const std::map<std::string, ControlKind> kinds = {
        {"static", ControlKind::Static}, {"button", ControlKind::Button}, {"defbutton", ControlKind::DefButton},
        {"edit", ControlKind::Edit},     {"check", ControlKind::Check},   {"radio", ControlKind::Radio},
        {"list", ControlKind::List},     {"combo", ControlKind::Combo},   {"spin", ControlKind::Spin},
        {"group", ControlKind::Group},   {"picture", ControlKind::Picture}, {"password", ControlKind::Password},
        {"multilist", ControlKind::MultiList}, {"slider", ControlKind::Slider}, {"progress", ControlKind::Progress}};
    const auto it = kinds.find(word);
    if (it == kinds.end()) return false;
    kind = it->second;
    return true;
}

LRESULT ControlProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    if (msg == WM_PAINT) {
        Canvas c = BeginPaint(h);
        FillRect(c, GetClientRect(h), Rgb(236, 236, 236));
        DrawText(c, 2, 1, GetWindowText(h), Rgb(0, 0, 0));
        EndPaint(h);
        return 0;
    }
    return DefWindowProc(h, msg, w, l);
}

LRESULT DialogWindowProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    DialogProc proc = nullptr;
    {
        std::lock_guard lock(Tables().lock);
        if (WindowData* d = Find(h)) proc = d->dialogProc;
    }
    const LRESULT handled = proc ? proc(h, msg, w, l) : 0;
    if (!handled && msg == WM_COMMAND && (LoWord(w) == IDOK || LoWord(w) == IDCANCEL) && HiWord(w) == 0)
        EndDialog(h, LoWord(w));
    if (!handled && msg == WM_SYSCOMMAND && (w & 0xFFF0) == SC_CLOSE) SendMessage(h, WM_CLOSE);
    if (!handled && msg == WM_CLOSE) EndDialog(h, IDCANCEL);
    if (msg == WM_PAINT) {
        Canvas c = BeginPaint(h);
        FillRect(c, GetClientRect(h), Rgb(236, 236, 236));
        EndPaint(h);
    }
    return handled;
}

void EnsureClasses() {
    if (!IsClassRegistered(kDialogClass)) RegisterWindowClass({kDialogClass, DialogWindowProc, 0, kWindowDataBytes});
    if (!IsClassRegistered(kControlClass)) RegisterWindowClass({kControlClass, ControlProc, 0, kWindowDataBytes});
}

// Caller holds no lock. Runs f on the control's state under the lock.
// A control id the open dialog lacks is a resource miss.
HWND Control(HWND dialog, int id) {
    HWND c = GetDlgItem(dialog, id);
    if (!c && IsWindow(dialog)) RecordResourceMiss("control: " + std::to_string(id) + " of " + GetWindowText(dialog));
    return c;
}

template <class F>
auto WithControl(HWND dialog, int id, F f, decltype(f(std::declval<WindowData&>())) def) {
    HWND c = Control(dialog, id);
    decltype(def) r = def;
    {
        std::lock_guard lock(Tables().lock);
        WindowData* w = Find(c);
        if (!w) return def;
        r = f(*w);
    }
    NotifyControl(c);
    return r;
}


HWND BuildDialog(const DialogTemplate& t, HWND owner, DialogProc proc, LPARAM param) {
    EnsureClasses();
    const Rect s = ScreenRect();
    HWND dlg = CreateWindow(kDialogClass, ResolveText(t.caption), WS_POPUP | WS_BORDER | WS_SYSMENU,
                            (s.width() - t.width) / 2, (s.height() - t.height) / 2, t.width, t.height, nullptr, 0, nullptr);
    if (!dlg) return nullptr;
    {
        std::lock_guard lock(Tables().lock);
        WindowData* d = Find(dlg);
        d->isDialog = true;
        d->dialogProc = proc;
        d->dialogParam = param;
    }
    // A dialog asked for by a child window (a view) belongs to that child's top-level window.
    for (HWND up = owner ? GetParent(owner) : nullptr; up; up = GetParent(up)) owner = up;
    if (owner) SetOwner(dlg, owner);
    AddDialogControls(dlg, t, 0, 0);
    return dlg;
}

bool Ended(HWND dlg, intptr_t& result) {
    std::lock_guard lock(Tables().lock);
    WindowData* d = Find(dlg);
    if (!d) return true;
    result = d->result;
    return d->ended;
}

void Notify(HWND dlg, int id, int code) {
    SendMessage(dlg, WM_COMMAND, MakeWParam(id, code), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

void PlayStep(HWND dlg, const DialogStep& s) {
    switch (s.kind) {
    case DialogStep::SetText:
        SetDlgItemText(dlg, s.id, s.text);
        Notify(dlg, s.id, kNotifyChanged);
        break;
    case DialogStep::SetValue: {
        const ControlKind k = WithControl(dlg, s.id, [](WindowData& w) { return w.control.kind; }, ControlKind::Static);
        if (k == ControlKind::Slider) {
            SpinSetPos(dlg, s.id, s.value);
            SendMessage(dlg, WM_HSCROLL, MakeWParam(TB_THUMBTRACK, SpinGetPos(dlg, s.id)),
                        reinterpret_cast<LPARAM>(GetDlgItem(dlg, s.id)));
            break;
        }
        if (k == ControlKind::Spin) SpinSetPos(dlg, s.id, s.value);
        else SetDlgItemInt(dlg, s.id, s.value);
        Notify(dlg, s.id, kNotifyChanged);
        break;
    }
    case DialogStep::SetCheck:
        CheckDlgButton(dlg, s.id, s.value != 0);
        Notify(dlg, s.id, 0);
        break;
    case DialogStep::Select:
        ListSetSelection(dlg, s.id, s.value);
        Notify(dlg, s.id, LBN_SELCHANGE);
        break;
    case DialogStep::DoubleClick:
        ListSetSelection(dlg, s.id, s.value);
        Notify(dlg, s.id, LBN_SELCHANGE);
        Notify(dlg, s.id, LBN_DBLCLK);
        break;
    case DialogStep::Press:
        Notify(dlg, s.id, BN_CLICKED);
        break;
    }
}

}  // namespace

int AddDialogControls(HWND dlg, const DialogTemplate& t, int dx, int dy) {
    EnsureClasses();
    int made = 0;
    for (const auto& c : t.controls) {
        const bool picture = c.kind == ControlKind::Picture && IsClassRegistered(c.className);
        // A hidden companion list (zero size) holds data only.
        const uint32_t shown = c.width > 0 && c.height > 0 ? WS_VISIBLE : 0;
        HWND ch = CreateWindow(picture ? c.className : kControlClass, ResolveText(c.text), WS_CHILD | shown, c.x + dx,
                               c.y + dy, c.width, c.height, dlg, c.id, nullptr);
        if (!ch) continue;
        ++made;
        std::lock_guard lock(Tables().lock);
        WindowData* w = Find(ch);
        w->control.kind = c.kind;
        w->control.value = std::atoi(w->title.c_str());
    }
    if (!GetParent(dlg))
        if (DesktopBackend* d = Desktop()) d->ChildrenChanged(dlg);
    return made;
}

bool ParseDialogTemplate(const std::string& name, const std::vector<std::string>& lines, DialogTemplate& out) {
    DialogTemplate t;
    t.name = name;
    for (const auto& raw : lines) {
        const auto w = Words(Trim(raw));
        if (w.empty()) continue;
        if (w[0] == "CAPTION" && w.size() >= 2) {
            t.caption = w[1];
        } else if (w[0] == "SIZE" && w.size() >= 3) {
            t.width = std::atoi(w[1].c_str());
            t.height = std::atoi(w[2].c_str());
        } else if (w[0] == "CONTROL" && w.size() >= 8) {
            ControlTemplate c;
            c.id = std::atoi(w[1].c_str());
            if (!KindOf(w[2], c.kind)) return false;
            c.text = w[3];
            c.x = std::atoi(w[4].c_str());
            c.y = std::atoi(w[5].c_str());
            c.width = std::atoi(w[6].c_str());
            c.height = std::atoi(w[7].c_str());
            if (w.size() >= 9) c.className = w[8];
            t.controls.push_back(c);
        } else {
            return false;
        }
    }
    if (t.width <= 0 || t.height <= 0) return false;
    out = std::move(t);
    return true;
}

bool LoadDialogTemplate(const std::string& name, DialogTemplate& out) {
    const auto lines = ResourceSection("Dialog " + name);
    return !lines.empty() && ParseDialogTemplate(name, lines, out);
}

bool ParseMenuLines(const std::vector<std::string>& lines, HMENU menu, const AcceleratorTable* keys) {
    std::vector<HMENU> stack{menu};
    for (const auto& raw : lines) {
        const auto w = Words(Trim(raw));
        if (w.empty()) continue;
        if (w[0] == "ITEM" && w.size() >= 2) {
            const int id = std::atoi(w[1].c_str());
            std::string text = w.size() >= 3 ? ResolveText(w[2]) : Text(id);
            if (const std::string key = keys ? AcceleratorLabel(*keys, id) : ""; !key.empty()) text += "\t" + key;
            AppendMenu(stack.back(), MF_ENABLED, id, text);
        } else if (w[0] == "SEPARATOR") {
            AppendMenu(stack.back(), MF_SEPARATOR, 0, {});
        } else if (w[0] == "POPUP" && w.size() >= 2) {
            HMENU sub = CreatePopupMenu();
            AppendMenu(stack.back(), MF_POPUP, 0, ResolveText(w[1]), sub);
            stack.push_back(sub);
        } else if (w[0] == "END" && stack.size() > 1) {
            stack.pop_back();
        } else {
            return false;
        }
    }
    return stack.size() == 1;
}

HMENU LoadMenu(const std::string& name) {
    const auto lines = ResourceSection("Menu " + name);
    if (lines.empty()) return nullptr;
    HMENU m = CreatePopupMenu();
    // Items that a key of the menu's accelerators also gives show that key after a tab.
    AcceleratorTable keys;
    if (!ResourceSection("Accelerators " + name).empty()) keys = LoadAccelerators(name);
    if (!ParseMenuLines(lines, m, &keys)) {
        DestroyMenu(m);
        return nullptr;
    }
    return m;
}

namespace {

// The desktop's nested loop: messages (and the toolkit's events) run until the dialog ends.
intptr_t RunModalOnDesktop(HWND dlg) {
    ShowWindow(dlg, SW_SHOW);
    intptr_t result = IDCANCEL;
    Message m;
    // Peeking (which also runs the toolkit's events) rather than waiting for a message: the
    // dialog may end inside a toolkit event, with no message of the layer to follow.
    while (!Ended(dlg, result)) {
        if (!PeekMessage(m, true)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            continue;
        }
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));  // the outer loop ends too
            EndDialog(dlg, IDCANCEL);
            break;
        }
        DispatchMessage(m);
    }
    Ended(dlg, result);
    return result;
}

intptr_t PlayScript(HWND dlg, const std::string& templateName) {
    std::vector<DialogStep> steps;
    {
        std::lock_guard lock(g_scriptLock);
        auto& q = DialogScripts()[templateName];
        if (!q.empty()) {
            steps = std::move(q.front());
            q.pop_front();
        }
    }
    intptr_t result = IDCANCEL;
    for (const auto& s : steps) {
        if (Ended(dlg, result)) break;
        PlayStep(dlg, s);
        PumpMessages();
    }
    // A scripted user who stops before the end cancels.
    if (!Ended(dlg, result)) Notify(dlg, IDCANCEL, 0);
    if (!Ended(dlg, result)) EndDialog(dlg, IDCANCEL);
    Ended(dlg, result);
    return result;
}

bool LoadOrMiss(const std::string& name, DialogTemplate& t) {
    if (LoadDialogTemplate(name, t)) return true;
    RecordResourceMiss("dialog: " + name);
    return false;
}

}  // namespace

intptr_t DialogBox(const std::string& templateName, HWND owner, DialogProc proc, LPARAM param) {
    DialogTemplate t;
    if (!LoadOrMiss(templateName, t)) return -1;
    HWND dlg = BuildDialog(t, owner, proc, param);
    if (!dlg) return -1;
    {
        std::lock_guard lock(Tables().lock);
        Find(dlg)->modal = true;
    }
    {
        std::lock_guard lock(g_scriptLock);
        g_shownDialogs.push_back(templateName);
    }
    const bool wasEnabled = owner && IsWindowEnabled(owner);
    if (owner) EnableWindow(owner, false);
    intptr_t result = IDCANCEL;
    // A dialog whose initialisation fails (-1) does not open.
    if (SendMessage(dlg, WM_INITDIALOG, 0, param) == -1) result = -1;
    else if (Desktop() && IsDesktopThread()) result = RunModalOnDesktop(dlg);
    else result = PlayScript(dlg, templateName);
    DestroyWindow(dlg);
    if (owner && wasEnabled) EnableWindow(owner, true);
    return result;
}

HWND CreateDialog(const std::string& templateName, HWND owner, DialogProc proc, LPARAM param) {
    DialogTemplate t;
    if (!LoadOrMiss(templateName, t)) return nullptr;
    HWND dlg = BuildDialog(t, owner, proc, param);
    if (!dlg) return nullptr;
    {
        std::lock_guard lock(g_scriptLock);
        g_shownDialogs.push_back(templateName);
    }
    SendMessage(dlg, WM_INITDIALOG, 0, param);
    ShowWindow(dlg, SW_SHOW);
    return dlg;
}

bool EndDialog(HWND dialog, intptr_t result) {
    std::lock_guard lock(Tables().lock);
    WindowData* d = Find(dialog);
    if (!d || !d->isDialog) return false;
    d->ended = true;
    d->result = result;
    return true;
}

bool ScriptDialog(const std::string& templateName, std::vector<DialogStep> steps) {
    DialogTemplate t;
    if (!LoadDialogTemplate(templateName, t)) return false;
    std::lock_guard lock(g_scriptLock);
    DialogScripts()[templateName].push_back(std::move(steps));
    return true;
}

void ClearDialogScripts() {
    std::lock_guard lock(g_scriptLock);
    DialogScripts().clear();
    ChooserAnswers().clear();
}

std::vector<std::string> TakeShownDialogs() {
    std::lock_guard lock(g_scriptLock);
    return std::exchange(g_shownDialogs, {});
}

void ScriptChooserAnswers(std::vector<std::string> paths) {
    std::lock_guard lock(g_scriptLock);
    ChooserAnswers().assign(paths.begin(), paths.end());
}

std::vector<std::string> TakeShownChoosers() {
    std::lock_guard lock(g_scriptLock);
    return std::exchange(g_shownChoosers, {});
}

bool NextScriptedChooserAnswer(const std::string& title, std::string& answer) {
    std::lock_guard lock(g_scriptLock);
    g_shownChoosers.push_back(title);
    if (ChooserAnswers().empty()) return false;
    answer = ChooserAnswers().front();
    ChooserAnswers().pop_front();
    return true;
}

std::string ChooseFile(HWND owner, const FileRequest& request) {
    if (DesktopBackend* d = Desktop(); d && IsDesktopThread()) {
        {
            std::lock_guard lock(g_scriptLock);
            g_shownChoosers.push_back(request.title);
        }
        return d->ChooseFile(owner, request);
    }
    std::string answer;
    NextScriptedChooserAnswer(request.title, answer);
    return answer;
}

std::string ChooseFolder(HWND owner, const std::string& title, const std::string& initialFolder) {
    if (DesktopBackend* d = Desktop(); d && IsDesktopThread()) {
        {
            std::lock_guard lock(g_scriptLock);
            g_shownChoosers.push_back(title);
        }
        return d->ChooseFolder(owner, title, initialFolder);
    }
    std::string answer;
    NextScriptedChooserAnswer(title, answer);
    return answer;
}

void RecordResourceMiss(const std::string& what) {
    std::lock_guard lock(g_scriptLock);
    g_misses.push_back(what);
}

std::vector<std::string> TakeResourceMisses() {
    std::lock_guard lock(g_scriptLock);
    return std::exchange(g_misses, {});
}

std::string GetDlgItemText(HWND dialog, int id) { return GetWindowText(Control(dialog, id)); }

bool SetDlgItemText(HWND dialog, int id, const std::string& text) {
    HWND c = Control(dialog, id);
    if (!c) return false;
    SetWindowText(c, text);
    WithControl(dialog, id, [&](WindowData& w) {
        if (w.control.limit > 0 && static_cast<int>(w.title.size()) > w.control.limit) w.title.resize(w.control.limit);
        return w.control.value = std::atoi(w.title.c_str());
    }, 0);
    InvalidateRect(c);
    return true;
}

int GetDlgItemInt(HWND dialog, int id) {
    HWND c = Control(dialog, id);
    std::lock_guard lock(Tables().lock);
    WindowData* w = Find(c);
    return w ? w->control.value : 0;
}

bool SetDlgItemInt(HWND dialog, int id, int value) { return SetDlgItemText(dialog, id, std::to_string(value)); }

bool CheckDlgButton(HWND dialog, int id, bool checked) {
    return WithControl(dialog, id, [&](WindowData& w) { return w.control.checked = checked, true; }, false);
}

bool IsDlgButtonChecked(HWND dialog, int id) {
    HWND c = Control(dialog, id);
    std::lock_guard lock(Tables().lock);
    WindowData* w = Find(c);
    return w && w->control.checked;
}

int ListAddString(HWND dialog, int id, const std::string& text) {
    return WithControl(dialog, id, [&](WindowData& w) {
        w.control.items.push_back(text);
        w.control.chosen.push_back(false);
        return static_cast<int>(w.control.items.size()) - 1;
    }, -1);
}

int ListGetSelection(HWND dialog, int id) {
    HWND c = Control(dialog, id);
    std::lock_guard lock(Tables().lock);
    WindowData* w = Find(c);
    return w ? w->control.selection : -1;
}

bool ListSetSelection(HWND dialog, int id, int index) {
    return WithControl(dialog, id, [&](WindowData& w) {
        if (index < -1 || index >= static_cast<int>(w.control.items.size())) return false;
        w.control.selection = index;
        // A list of one choice has just that one chosen.
        if (w.control.kind != ControlKind::MultiList) std::fill(w.control.chosen.begin(), w.control.chosen.end(), false);
        if (index >= 0) w.control.chosen[index] = true;
        if (w.control.kind == ControlKind::Combo) w.title = index >= 0 ? w.control.items[index] : std::string{};
        return true;
    }, false);
}

int ListCount(HWND dialog, int id) {
    HWND c = Control(dialog, id);
    std::lock_guard lock(Tables().lock);
    WindowData* w = Find(c);
    return w ? static_cast<int>(w->control.items.size()) : 0;
}

bool ListReset(HWND dialog, int id) {
    return WithControl(dialog, id, [](WindowData& w) {
        w.control.items.clear();
        w.control.chosen.clear();
        w.control.selection = -1;
        return true;
    }, false);
}

std::string ListGetText(HWND dialog, int id, int index) {
    HWND c = Control(dialog, id);
    std::lock_guard lock(Tables().lock);
    WindowData* w = Find(c);
    if (!w || index < 0 || index >= static_cast<int>(w->control.items.size())) return {};
    return w->control.items[index];
}

bool ListDeleteString(HWND dialog, int id, int index) {
    return WithControl(dialog, id, [&](WindowData& w) {
        auto& c = w.control;
        if (index < 0 || index >= static_cast<int>(c.items.size())) return false;
        c.items.erase(c.items.begin() + index);
        c.chosen.erase(c.chosen.begin() + index);
        if (c.selection == index) c.selection = -1;
        else if (c.selection > index) --c.selection;
        return true;
    }, false);
}

bool ListSetItemSelected(HWND dialog, int id, int index, bool selected) {
    return WithControl(dialog, id, [&](WindowData& w) {
        auto& c = w.control;
        if (index < 0 || index >= static_cast<int>(c.items.size())) return false;
        if (c.kind != ControlKind::MultiList && selected) std::fill(c.chosen.begin(), c.chosen.end(), false);
        c.chosen[index] = selected;
        if (selected) c.selection = index;
        else if (c.selection == index && c.kind != ControlKind::MultiList) c.selection = -1;
        return true;
    }, false);
}

std::vector<int> ListGetSelectedItems(HWND dialog, int id) {
    HWND c = Control(dialog, id);
    std::lock_guard lock(Tables().lock);
    WindowData* w = Find(c);
    std::vector<int> out;
    if (!w) return out;
    for (size_t i = 0; i < w->control.chosen.size(); ++i)
        if (w->control.chosen[i]) out.push_back(static_cast<int>(i));
    return out;
}

bool SpinSetRange(HWND dialog, int id, int low, int high) {
    return WithControl(dialog, id, [&](WindowData& w) {
        w.control.low = std::min(low, high);
        w.control.high = std::max(low, high);
        w.control.value = std::clamp(w.control.value, w.control.low, w.control.high);
        return true;
    }, false);
}

int SpinGetPos(HWND dialog, int id) { return GetDlgItemInt(dialog, id); }

bool SpinSetPos(HWND dialog, int id, int pos) {
    return WithControl(dialog, id, [&](WindowData& w) {
        w.control.value = std::clamp(pos, w.control.low, w.control.high);
        w.title = std::to_string(w.control.value);
        return true;
    }, false);
}

bool SetEditLimit(HWND dialog, int id, int characters) {
    return WithControl(dialog, id, [&](WindowData& w) {
        w.control.limit = std::max(0, characters);
        if (w.control.limit > 0 && static_cast<int>(w.title.size()) > w.control.limit) w.title.resize(w.control.limit);
        return true;
    }, false);
}

bool ShowDlgItem(HWND dialog, int id, bool show) {
    HWND c = Control(dialog, id);
    if (!c) return false;
    ShowWindow(c, show ? SW_SHOW : SW_HIDE);
    return true;
}

bool EnableDlgItem(HWND dialog, int id, bool enable) {
    HWND c = Control(dialog, id);
    if (!c) return false;
    EnableWindow(c, enable);
    return true;
}

}  // namespace orb
