// The windows of the snapshot viewer and the panoramic photo viewer: a view window that
// shows the dewarped picture (wheel, keys and context menu as on live views), the snapshot
// list box, the menus "Snap" and "Picture", and the placement "SnapPos".
#include "ui/picture_viewers.h"

#include <algorithm>
#include <cstring>

#include "camera/frame_pipeline.h"
#include "config/settings.h"
#include "ui/alignment.h"
#include "ui/panoview.h"
#include "platform/texts.h"
#include "platform/dib.h"
#include "platform/msgbox.h"
#include "ui/photo_viewer.h"
#include "ui/snapshot_viewer.h"
#include "ui/player_window.h"
#include "ui/ui_state.h"

namespace orb {

namespace {

constexpr const char* kSnapViewClass = "Orbiscope Snapshot View";
constexpr const char* kSnapListClass = "Orbiscope Snapshot List";
constexpr int kListHeight = 22;
constexpr int kSnapListMenuBase = 31000;

HWND g_snapView = nullptr, g_snapList = nullptr;
WndProc g_snapFrameProc = nullptr, g_photoFrameProc = nullptr;

// ---- Placement (the player's rules) ----

WindowPos ViewerPlacement() {
    const Rect s = ScreenRect();
    WindowPos pos;
    const bool fits = ReadWindowPos("SnapPos", pos, s.width(), s.height()) && pos.left >= -1 &&
                      pos.left <= s.width() - 30 && pos.top >= -1 && pos.top <= s.height() - 30 && pos.width >= 400 &&
                      pos.height >= 350 && pos.width <= s.width() && pos.height <= s.height();
    if (fits) return pos;
    pos.width = s.width() * 3 / 4;
    pos.height = s.height() * 4 / 5;
    pos.left = pos.width / 10;
    pos.top = s.height() / 10;
    pos.maximised = 0;
    return pos;
}

void SaveViewerPlacement(HWND frame) {
    if (!IsWindow(frame) || IsIconic(frame)) return;
    const Rect r = GetWindowRect(frame);
    WriteWindowPos("SnapPos", {r.left, r.top, r.width(), r.height(), IsZoomed(frame) ? 1 : 0});
}

void PlaceViewer(HWND frame) {
    const WindowPos pos = ViewerPlacement();
    MoveWindow(frame, pos.left, pos.top, pos.width, pos.height, true);
    if (pos.maximised) ShowWindow(frame, SW_SHOWMAXIMIZED);
}

// ---- A view window showing a stored picture ----

// The view's picture again at the window's size (the maps follow the size).
void Represent(PanoView* v, HWND window) {
    if (!v || !window) return;
    v->ui.window = window;
    const Rect c = GetClientRect(window);
    v->ui.clientWidth = (c.width() + 1) & ~1;
    v->ui.clientHeight = (c.height() + 1) & ~1;
    {
        std::lock_guard lock(v->ui.viewMutex);
        if (v->frames.current) ShowPicture(*v, v->frames.current);
    }
    InvalidateRect(window);
}

void PaintStored(HWND h, PanoView* v, const std::string& time) {
    Canvas c = BeginPaint(h, 32);  // the view's picture is 32-bit
    if (v && v->frames.output) PaintView(v, c);
    else FillRect(c, GetClientRect(h), Rgb(0, 0, 0));
    if (v && !time.empty()) DrawText(c, 8, c.height - 20, time, Rgb(255, 255, 255));
    EndPaint(h);
}

// Wheel, keys and view commands steer a stored picture's view as a live one.
bool SteerStored(HWND h, PanoView* v, uint32_t msg, WPARAM w, LPARAM l) {
    if (!v || !v->frames.current) return false;
    if (msg == WM_MOUSEWHEEL && Hooks().zoom) {
        Hooks().zoom(v, v->ui.currentPane, WheelDelta(w) > 0);
    } else if (msg == WM_KEYDOWN) {
        const uint32_t k = static_cast<uint32_t>(w) & 0xFFFF;
        if (k >= 37 && k <= 40 && Hooks().move) {
            static constexpr int kMoves[] = {1110, 1113, 1112, 1111};
            Hooks().move(v, v->ui.currentPane, kMoves[k - 37]);
        } else if ((k == '+' || k == 107 || k == '=' || k == '-' || k == 109) && Hooks().zoom) {
            Hooks().zoom(v, v->ui.currentPane, k != '-' && k != 109);
        } else {
            return false;
        }
    } else if (msg == WM_LBUTTONDOWN) {
        SetFocus(h);
        if (Hooks().paneAt) v->ui.currentPane = Hooks().paneAt(v, PointX(l), PointY(l));
        return true;
    } else {
        return false;
    }
    Represent(v, h);
    return true;
}

// The view-mode commands a live view offers for the record (0 = separator).
std::vector<int> ModeItems(const PanoView* v) {
    if (!v) return {};
    const int type = v->record.lensType;
    if (type == 1 || type == 10) return {};
    if (type == 8 || type == 9) return {2670, 2664, 2665, 2655, 2666, 2667, 2669};
    return {2657, 2658, 2659, 0, 2661, 2662, 2671, 2672, 0, 2673, 2656, 931, 2668};
}

int StoredContextMenu(HWND h, PanoView* v, LPARAM l) {
    HMENU menu = CreatePopupMenu();
    AppendMenu(menu, 0, 909, Text(938));
    AppendMenu(menu, 0, 2020, "Zoom in");
    AppendMenu(menu, 0, 2021, "Zoom out");
    const auto items = ModeItems(v);
    if (!items.empty()) AppendMenu(menu, MF_SEPARATOR, 0, {});
    for (int id : items) id ? AppendMenu(menu, 0, id, Text(id)) : AppendMenu(menu, MF_SEPARATOR, 0, {});
    const int chosen = TrackPopupMenu(menu, h, PointX(l), PointY(l));
    DestroyMenu(menu);
    return chosen;
}

// Alignment on a stored picture's record: kept (and handed to `keep`) when confirmed, the
// record as it was otherwise.
void AlignStored(PanoView* v, HWND window, bool (*keep)(PanoView*)) {
    if (!v) return;
    const CameraRecord before = v->record;
    if (RunAlignment(v) > 0) {
        if (keep) keep(v);
    } else {
        v->record = before;
    }
    std::lock_guard lock(v->ui.viewMutex);
    DestroyDIB(v->frames.output);  // the maps are built again from the record
    v->frames.output = nullptr;
    if (v->frames.current) ShowPicture(*v, v->frames.current);
    if (window) InvalidateRect(window);
}

bool ViewModeCommand(PanoView* v, HWND window, int command) {
    if (!v) return false;
    if (command == 2020 || command == 2021) {
        if (Hooks().zoom) Hooks().zoom(v, v->ui.currentPane, command == 2020);
    } else if (Hooks().command) {
        Hooks().command(v, window, command);
    }
    Represent(v, window);
    return true;
}

// ---- The snapshot viewer ----

void LayoutSnap(HWND frame) {
    const Rect c = GetClientRect(frame);
    if (g_snapList) MoveWindow(g_snapList, 0, 0, c.width(), kListHeight, true);
    if (g_snapView) MoveWindow(g_snapView, 0, kListHeight, c.width(), std::max(c.height() - kListHeight, 16), true);
}

bool WriteBack(PanoView* v) { return WriteBackTrailer(v->snapshot.picturePath, v->record) == 1; }

LRESULT SnapViewProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    PanoView* v = g_snapViewer.view.get();
    switch (msg) {
    case WM_PAINT: PaintStored(h, v, g_snapViewer.timeText); return 0;
    case WM_SIZE: Represent(v, h); return 0;
    case WM_RBUTTONUP:
        if (const int chosen = StoredContextMenu(h, v, l); chosen && g_snapViewer.frame)
            PostMessage(g_snapViewer.frame, WM_COMMAND, static_cast<WPARAM>(chosen), 0);
        return 0;
    default:
        if (SteerStored(h, v, msg, w, l)) return 0;
        return DefWindowProc(h, msg, w, l);
    }
}

LRESULT SnapListProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    SnapshotViewer& v = g_snapViewer;
    if (msg == WM_PAINT) {
        Canvas c = BeginPaint(h);
        FillRect(c, GetClientRect(h), Rgb(212, 212, 212));
        const Rect box{2, 2, std::max(c.width - 2, 4), c.height - 2};
        FillRect(c, box, Rgb(255, 255, 255));
        FrameRect(c, box, Rgb(120, 120, 120));
        if (v.selected >= 0 && v.selected < static_cast<int>(v.listTexts.size()))
            DrawText(c, 8, 5, v.listTexts[v.selected], Rgb(0, 0, 0));
        for (int i = 0; i < 5; ++i) FillRect(c, {box.right - 16 + i, 8 + i, box.right - 6 - i, 9 + i}, Rgb(40, 40, 40));
        EndPaint(h);
        return 0;
    }
    if (msg == WM_LBUTTONUP) {
        HMENU menu = CreatePopupMenu();
        for (size_t i = 0; i < v.listTexts.size(); ++i)
            AppendMenu(menu, static_cast<int>(i) == v.selected ? MF_CHECKED : 0, kSnapListMenuBase + static_cast<int>(i),
                       v.listTexts[i]);
        const int chosen = TrackPopupMenu(menu, h, 0, kListHeight);
        DestroyMenu(menu);
        const int item = chosen - kSnapListMenuBase;
        if (chosen && item >= 0 && item < static_cast<int>(v.listTexts.size())) {
            v.selected = item;
            InvalidateRect(h);
            SnapshotCommand(v, 936);
        }
        return 0;
    }
    return DefWindowProc(h, msg, w, l);
}

LRESULT SnapFrameWindowProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_SIZE: LayoutSnap(h); return 0;
    case WM_SYSCOMMAND:
        if ((w & 0xFFF0) == SC_CLOSE) {
            SnapshotCommand(g_snapViewer, 907);
            return 0;
        }
        break;
    case WM_COMMAND: {
        const int command = static_cast<int>(LoWord(w));
        PanoView* v = g_snapViewer.view.get();
        if (command == 909) return AlignStored(v, g_snapView, WriteBack), 0;
        if (command == 2020 || command == 2021 || (command >= 2202 && command <= 2207) ||
            (command >= 2655 && command <= 2673) || command == 2305 || command == 931)
            return ViewModeCommand(v, g_snapView, command), 0;
        break;
    }
    case WM_INITMENUPOPUP:
        EnableMenuItem(reinterpret_cast<HMENU>(w), 2057, !g_snapViewer.commandPackDisabled);
        return 0;
    case WM_DESTROY:
        SaveViewerPlacement(h);
        g_snapView = g_snapList = nullptr;
        break;
    default: break;
    }
    return CallWindowProc(g_snapFrameProc ? g_snapFrameProc : DefWindowProc, h, msg, w, l);
}

HWND Child(const char* cls, WndProc proc, HWND parent, int id) {
    if (!IsClassRegistered(cls)) RegisterWindowClass({cls, proc, 0, kWindowDataBytes});
    HWND h = CreateWindow(cls, "", WS_CHILD | WS_VISIBLE, 0, 0, 16, 16, parent, id, nullptr);
    if (h) SetWindowProc(h, proc);
    return h;
}

}  // namespace

void BuildSnapshotWindows(SnapshotViewer& v) {
    HWND frame = v.frame;
    g_snapFrameProc = SetWindowProc(frame, SnapFrameWindowProc);
    if (g_snapFrameProc == SnapFrameWindowProc) g_snapFrameProc = SnapFrameProc;
    if (HMENU menu = LoadMenu("Snap")) SetMenu(frame, menu);
    g_snapList = Child(kSnapListClass, SnapListProc, frame, 1);
    g_snapView = Child(kSnapViewClass, SnapViewProc, frame, 0);
    PlaceViewer(frame);
    LayoutSnap(frame);
    if (v.view) Represent(v.view.get(), g_snapView);
}

void SnapshotViewerChanged(SnapshotViewer&) {
    // Called with the view's picture lock held: only ask for repaints.
    if (g_snapView) InvalidateRect(g_snapView);
    if (g_snapList) InvalidateRect(g_snapList);
}

namespace {

// ---- The photo viewer ----

PanoView* PhotoViewOf(HWND h) {
    for (auto& v : g_photoViewer.views)
        if (v && v->ui.window == h) return v.get();
    return nullptr;
}

void LayoutPhotos(HWND frame) {
    const Rect c = GetClientRect(frame);
    auto& views = g_photoViewer.views;
    const int n = static_cast<int>(views.size());
    if (n == 0) return;
    // Side by side in as square a grid as the count allows.
    int cols = 1;
    while (cols * cols < n) ++cols;
    const int rows = (n + cols - 1) / cols;
    const int w = std::max(c.width() / cols, 16), h = std::max(c.height() / rows, 16);
    for (int i = 0; i < n; ++i) {
        HWND child = views[i]->ui.window;
        if (!child) continue;
        MoveWindow(child, (i % cols) * w, (i / cols) * h, w, h, true);
        Represent(views[i].get(), child);
    }
}

bool SavePhotoTrailer(PanoView* v) { return AppendOrReplaceTrailer(v->snapshot.picturePath, v->record) == 1; }

LRESULT PhotoChildProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    PanoView* v = PhotoViewOf(h);
    switch (msg) {
    case WM_PAINT: PaintStored(h, v, {}); return 0;
    case WM_SIZE: Represent(v, h); return 0;
    case WM_RBUTTONUP:
        if (const int chosen = StoredContextMenu(h, v, l)) {
            if (chosen == 909) AlignStored(v, h, nullptr);
            else ViewModeCommand(v, h, chosen);
        }
        return 0;
    default:
        if (SteerStored(h, v, msg, w, l)) return 0;
        return DefWindowProc(h, msg, w, l);
    }
}

PanoView* CurrentPhoto() {
    auto& views = g_photoViewer.views;
    HWND focus = GetFocus();
    for (auto& v : views)
        if (v && v->ui.window == focus) return v.get();
    return views.empty() ? nullptr : views.back().get();
}

LRESULT PhotoFrameProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_SIZE: LayoutPhotos(h); return 0;
    case WM_SYSCOMMAND:
        if ((w & 0xFFF0) == SC_CLOSE) {
            SaveViewerPlacement(h);
            ClosePhotoViewer();
            return 0;
        }
        break;
    case WM_COMMAND: {
        const int command = static_cast<int>(LoWord(w));
        PanoView* v = CurrentPhoto();
        if (command == 907) {
            SaveViewerPlacement(h);
            ClosePhotoViewer();
            return 0;
        }
        if (command == 2064 && v) {
            const bool ok = SavePhotoTrailer(v);
            MessageBox(h, ok ? "Save Panoramic Properties OK !" : "Save Panoramic Properties Fail !!!", "", kMbOk);
            return 0;
        }
        if (command == 909) return AlignStored(v, v ? v->ui.window.load() : nullptr, nullptr), 0;
        if (v) ViewModeCommand(v, v->ui.window, command);
        return 0;
    }
    default: break;
    }
    return CallWindowProc(g_photoFrameProc ? g_photoFrameProc : DefWindowProc, h, msg, w, l);
}

}  // namespace

void PhotoViewerChanged(PhotoViewer& pv) {
    HWND frame = pv.frame;
    if (!frame) return;
    if (GetWindowProc(frame) != PhotoFrameProc) {
        g_photoFrameProc = SetWindowProc(frame, PhotoFrameProc);
        if (HMENU menu = LoadMenu("Picture")) SetMenu(frame, menu);
        PlaceViewer(frame);
    }
    for (auto& v : pv.views)
        if (v && v->ui.window && GetWindowProc(v->ui.window) != PhotoChildProc) SetWindowProc(v->ui.window, PhotoChildProc);
    LayoutPhotos(frame);
}

HWND SnapshotViewWindow() { return g_snapView; }

}  // namespace orb
