// The player frame and its view: creation with its placement, the layout of the playlist
// box, the view and the bottom bar, the frame's commands and menus, the view's painting,
// wheel, keys and context menu, and the hooks that let the play loop drive the windows.
#include "ui/player_window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "analysis/motion_view.h"
#include "camera/frame_pipeline.h"
#include "camera/picture_scale.h"
#include "config/settings.h"
#include "export/pack_builder.h"
#include "record/recording_source.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/texts.h"
#include "platform/dib.h"
#include "platform/msgbox.h"
#include "record/backup.h"
#include "record/player.h"
#include "record/recorder.h"
#include "ui/player_controls.h"
#include "ui/ui_state.h"

namespace orb {

void ShowManagementDialog(PlayerState& p);
void ShowPlaybackDialog(PlayerState& p);
void TogglePlaybackDialog();
HWND PlaybackDialogWindow();
std::string ChosenBackupPath();
void HideManagementDialog(PlayerState& p);
void SyncManagementDialog(PlayerState& p);

namespace {

PlayerWindows g_win;
bool g_closing = false;
// The view the player's pictures are dewarped and painted in; the play logic's own view
// holds the recording and hands over its record when a recording opens.
std::unique_ptr<PanoView> g_view;
constexpr int kPlaylistMenuBase = 30000;
constexpr int kSpeedItems[5] = {2750, 2751, 111, 2760, 2761};

PanoView* PlayerView() { return g_view.get(); }

// ---- Placement ----

WindowPos DefaultPlacement(const Rect& s) {
    WindowPos pos;
    pos.width = s.width() * 3 / 4;
    pos.height = s.height() * 4 / 5;
    pos.left = pos.width / 10;
    pos.top = s.height() / 10;
    return pos;
}

WindowPos FramePlacement() {
    const Rect s = ScreenRect();
    WindowPos pos;
    const bool fits = ReadWindowPos("DVRPos", pos, s.width(), s.height()) && pos.left >= -1 &&
                      pos.left <= s.width() - 30 && pos.top >= -1 && pos.top <= s.height() - 30 && pos.width >= 400 &&
                      pos.height >= 350 && pos.width <= s.width() && pos.height <= s.height();
    return fits ? pos : DefaultPlacement(s);
}

void SavePlacement(HWND frame) {
    if (!IsWindow(frame) || IsIconic(frame)) return;
    const Rect r = GetWindowRect(frame);
    WriteWindowPos("DVRPos", {r.left, r.top, r.width(), r.height(), IsZoomed(frame) ? 1 : 0});
}

// ---- Layout and state shown ----

void LayoutFrame(HWND frame) {
    const Rect c = GetClientRect(frame);
    const int viewHeight = std::max(c.height() - kPlaylistHeight - kBottomBarHeight, 16);
    if (g_win.playlist) MoveWindow(g_win.playlist, 0, 0, c.width(), kPlaylistHeight, true);
    if (g_win.view) MoveWindow(g_win.view, 0, kPlaylistHeight, c.width(), viewHeight, true);
    if (g_win.bar) MoveWindow(g_win.bar, 0, kPlaylistHeight + viewHeight, c.width(), kBottomBarHeight, true);
    if (g_win.position)
        MoveWindow(g_win.position, kPositionBarX, 3, std::max((c.width() & ~3) - kPositionBarX, 40), 24, true);
    InvalidateRect(frame);
}

// Play and Pause share a place: the one that applies is shown.
void SyncWindows() {
    const PlayerState& p = ThePlayer();
    if (!p.frameOpen) return;
    if (g_win.play && IsWindowVisible(g_win.play) != p.paused) ShowWindow(g_win.play, p.paused ? SW_SHOW : SW_HIDE);
    if (g_win.pause && IsWindowVisible(g_win.pause) == p.paused) ShowWindow(g_win.pause, p.paused ? SW_HIDE : SW_SHOW);
    static int lastPos = -1, lastMax = -1;
    if (g_win.position && (p.barPos != lastPos || p.barMax != lastMax)) {
        lastPos = p.barPos, lastMax = p.barMax;
        InvalidateRect(g_win.position);
    }
}

void RepaintView() {
    if (PanoView* v = PlayerView(); v && v->frames.current) {
        std::lock_guard lock(v->ui.viewMutex);
        ShowPicture(*v, v->frames.current);
    }
    if (g_win.view) InvalidateRect(g_win.view);
}

// ---- Hooks of the play logic ----

// The player's views paint into the player view window (the logic's status lines too).
void BindView(PanoView* v) {
    if (RecordView* logic = ThePlayer().view.get()) logic->ui.window = g_win.view;
    if (!g_win.view || v->ui.window == g_win.view) return;
    v->ui.window = g_win.view;
    const Rect c = GetClientRect(g_win.view);
    v->ui.clientWidth = (c.width() + 1) & ~1;
    v->ui.clientHeight = (c.height() + 1) & ~1;
}

void Present(RecordView* logic, HDIB picture) {
    PanoView* v = PlayerView();
    if (!v) return;
    BindView(v);
    {
        std::lock_guard lock(logic->ui.viewMutex);
        logic->ui.status.clear();  // a picture shown ends an earlier complaint
    }
    {
        std::lock_guard lock(v->ui.viewMutex);
        FrameState& f = v->frames;
        DestroyDIB(f.previous);
        f.previous = nullptr;
        DestroyDIB(f.current);
        f.current = DuplicateDIB(picture);
        if (!f.current) return;
        // The picture may be decoded at the view's reduction: it keeps the frame's bytes, for a
        // snapshot of the whole frame or a view zoomed in on it.
        PlayerState& p = ThePlayer();
        const DvrContext* dvr = PlayerDvr(p);
        f.currentJpeg.clear();
        f.currentScale = 1;
        if (picture == p.picture && p.pictureScale > 1 && dvr && dvr->source && !dvr->source->fetchedJpeg.empty()) {
            f.currentJpeg = dvr->source->fetchedJpeg;
            f.currentScale = p.pictureScale;
            f.currentW = p.width;
            f.currentH = p.height;
        } else {
            DibLock l(f.current);  // the picture as it is
            f.currentW = l.width();
            f.currentH = l.height();
        }
        ShowPicture(*v, f.current);
        v->ui.hasPicture = 1;
    }
    if (g_win.view) UpdateWindow(g_win.view);
    SyncWindows();
}

void ResetView(RecordView* logic, int, int) {
    PanoView* v = PlayerView();
    if (!v) return;
    // The next picture rebuilds the maps from the recording's own lens settings.
    BindView(v);
    ReleaseFrames(*v);
    v->record = logic->record;
    v->ui.hasPicture = 0;
    if (g_win.view) InvalidateRect(g_win.view);
    if (g_win.playlist) InvalidateRect(g_win.playlist);
    SyncManagementDialog(ThePlayer());
}

void Pump() {
    PumpMessages();
    // The host is ending its loop: the player closes so that its own loop ends too.
    Message m;
    if (PeekMessage(m, false) && m.message == WM_QUIT) {
        PlayerCommand(ThePlayer(), 907);
        return;
    }
    SyncWindows();
}

HWND CreateFrame(void* parent);

void DestroyFrame(void* frame) {
    HWND h = static_cast<HWND>(frame);
    if (g_closing || !IsWindow(h)) return;
    DestroyWindow(h);
}

// ---- Menus ----

void ApplyFrameMenuState(HMENU menu) {
    const PlayerState& p = ThePlayer();
    CheckMenuItem(menu, 1080, g_lib.mouseInvert != 0);
    CheckMenuItem(menu, 1900, g_lib.showTime != 0);
    CheckMenuItem(menu, 1901, g_lib.showLocation != 0);
    EnableMenuItem(menu, 1701, p.paused);
    EnableMenuItem(menu, 1606, !p.paused);
    EnableMenuItem(menu, 1603, !p.managementOpen);
    EnableMenuItem(menu, 2026, !p.packDisabled);
    for (int s = 0; s < 5; ++s) {
        CheckMenuItem(menu, kSpeedItems[s], s == g_lib.speed);
        EnableMenuItem(menu, kSpeedItems[s], s != g_lib.speed);
    }
}

void SpeedMenu(HWND frame) {
    HMENU menu = CreatePopupMenu();
    for (int s = 0; s < 5; ++s)
        AppendMenu(menu, s == g_lib.speed ? MF_CHECKED | MF_GRAYED : 0, kSpeedItems[s], Text(kSpeedItems[s]));
    int x = 0, y = 0;
    GetCursorPos(x, y);
    const int chosen = TrackPopupMenu(menu, frame, x, y);
    DestroyMenu(menu);
    if (chosen) PlayerCommand(ThePlayer(), chosen);
}

// The view-mode commands a live view offers for its record (0 = separator).
std::vector<int> ViewModeItems(const PanoView* v) {
    if (!v) return {};
    const int type = v->record.lensType;
    if (type == 1 || type == 10) return {};
    if (type == 8 || type == 9) return {2670, 2664, 2665, 2655, 2666, 2667, 2669};
    if (v->record.showMode360 == kShow360QuadStill) return {2657, 2658, 0, 2661, 2662, 2671, 2672, 0, 2673, 2656, 931};
    return {2657, 2658, 2659, 0, 2661, 2662, 2671, 2672, 0, 2673, 2656, 931, 2668};
}

void ContextMenu(HWND viewWindow, int x, int y) {
    const PlayerState& p = ThePlayer();
    HMENU menu = CreatePopupMenu();
    AppendMenu(menu, p.managementOpen ? MF_GRAYED : 0, 1603, Text(1603));
    AppendMenu(menu, MF_SEPARATOR, 0, {});
    AppendMenu(menu, p.paused ? 0 : MF_GRAYED, 1701, Text(1701));
    AppendMenu(menu, p.paused ? MF_GRAYED : 0, 1606, Text(1606));
    PanoView* v = PlayerView();
    if (v && v->frames.current) {
        AppendMenu(menu, MF_SEPARATOR, 0, {});
        AppendMenu(menu, 0, 920, Text(2100));
        AppendMenu(menu, MF_SEPARATOR, 0, {});
    }
    for (int id : ViewModeItems(v)) id ? AppendMenu(menu, 0, id, Text(id)) : AppendMenu(menu, MF_SEPARATOR, 0, {});
    const int chosen = TrackPopupMenu(menu, viewWindow, x, y);
    DestroyMenu(menu);
    if (chosen && g_win.frame) PostMessage(g_win.frame, WM_COMMAND, static_cast<WPARAM>(chosen), 0);
}

void PlaylistMenu(HWND box) {
    PlayerState& p = ThePlayer();
    HMENU menu = CreatePopupMenu();
    for (size_t i = 0; i < p.playlist.size(); ++i)
        AppendMenu(menu, static_cast<int>(i) == p.selected ? MF_CHECKED : 0, kPlaylistMenuBase + static_cast<int>(i),
                   PlayerNodeText(p, p.playlist[i]));
    const int chosen = TrackPopupMenu(menu, box, 0, kPlaylistHeight);
    DestroyMenu(menu);
    const int item = chosen - kPlaylistMenuBase;
    if (chosen && item >= 0 && item < static_cast<int>(p.playlist.size()) && p.frameOpen) {
        p.selected = item;
        InvalidateRect(box);
        OpenRecordingFromList(p, PlayerNodePath(p, p.playlist[item]));
    }
}

// ---- Commands of the frame ----

void PackSelected(PlayerState& p, HWND frame) {
    std::string path = p.backupPlay ? ChosenBackupPath() : std::string();
    if (path.empty()) {
        if (p.selected < 0 || p.selected >= static_cast<int>(p.playlist.size())) return;
        path = PlayerNodePath(p, p.playlist[p.selected]);
    }
    const std::string chosen = ChoosePackPath(frame);
    if (!chosen.empty()) BuildRecordingPack(frame, path, chosen);
}

void ViewCommand(PanoView* v, int command) {
    if (!v) return;
    if ((command == 2020 || command == 2021) && Hooks().zoom) {
        Hooks().zoom(v, v->ui.currentPane, command == 2020);
    } else if (command >= 2022 && command <= 2025 && Hooks().move) {
        static constexpr int kMoves[] = {1110, 1112, 1113, 1111};
        Hooks().move(v, v->ui.currentPane, kMoves[command - 2022]);
    } else if (Hooks().command) {
        Hooks().command(v, g_win.view, command);
    }
    RepaintView();
}

void FrameCommand(HWND frame, int command) {
    PlayerState& p = ThePlayer();
    switch (command) {
    case 2709: SpeedMenu(frame); break;
    case 2026:
        if (p.packDisabled) break;
        if (!p.managementOpen && !p.backupPlay) OpenManagement(p, nullptr, false);
        else PackSelected(p, frame);
        break;
    case 920:
        if (PlayerView() && PlayerView()->frames.current) Snapshot(frame, PlayerView());
        break;
    case 1900:
    case 1901:
        PlayerCommand(p, command);
        if (g_win.view) InvalidateRect(g_win.view);
        break;
    case 1603:
        // Under backup play the backup folder's list stands in for the recordings dialog.
        if (p.backupPlay) TogglePlaybackDialog();
        else PlayerCommand(p, command);
        break;
    case 907:
        if (HWND d = PlaybackDialogWindow()) DestroyWindow(d);
        PlayerCommand(p, command);
        break;
    case 1701: case 1606: case 1601: case 1602: case 1604: case 1605: case 1080:
    case 2750: case 2751: case 111: case 2760: case 2761:
        PlayerCommand(p, command);
        break;
    default:
        if (command == 909 || (command >= 2020 && command <= 2025) || (command >= 2655 && command <= 2673) || command == 931)
            ViewCommand(PlayerView(), command);
        break;
    }
    SyncWindows();
}

void FrameScroll(int request, int pos) {
    PlayerState& p = ThePlayer();
    static constexpr ScrollRequest kOf[] = {ScrollRequest::LineLeft, ScrollRequest::LineRight, ScrollRequest::PageLeft,
                                            ScrollRequest::PageRight, ScrollRequest::Thumb,    ScrollRequest::Thumb,
                                            ScrollRequest::Top,      ScrollRequest::Bottom};
    if (request < 0 || request > 7) return;  // the end of a drag changes nothing
    PlayerScroll(p, kOf[request], pos);
    SyncWindows();
}

LRESULT FrameProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_SIZE: LayoutFrame(h); return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MinMaxInfo*>(l);
        info->minTrackWidth = 400;
        info->minTrackHeight = 350;
        return 0;
    }
    case WM_COMMAND: FrameCommand(h, static_cast<int>(LoWord(w))); return 0;
    case WM_HSCROLL: FrameScroll(static_cast<int>(LoWord(w)), static_cast<int>(HiWord(w))); return 0;
    case WM_INITMENUPOPUP: ApplyFrameMenuState(reinterpret_cast<HMENU>(w)); return 0;
    case WM_KEYDOWN: if (g_win.view) return SendMessage(g_win.view, msg, w, l); return 0;
    case WM_SYSCOMMAND:
        if ((w & 0xFFF0) == SC_CLOSE) {
            PlayerCommand(ThePlayer(), 907);
            return 0;
        }
        return DefWindowProc(h, msg, w, l);
    case WM_DESTROY: {
        SavePlacement(h);
        if (HMENU m = GetMenu(h)) {
            SetMenu(h, nullptr);
            DestroyMenu(m);
        }
        if (HWND d = PlaybackDialogWindow()) DestroyWindow(d);
        g_closing = true;
        if (ThePlayer().frameOpen && ThePlayer().frame == h) ClosePlayerFrame(ThePlayer());
        g_closing = false;
        g_win = {};
        if (g_view) ReleaseFrames(*g_view);
        g_view.reset();
        return 0;
    }
    default: return DefWindowProc(h, msg, w, l);
    }
}

// ---- The view ----

void PaintPlayerView(HWND h) {
    PanoView* v = PlayerView();
    Canvas c = BeginPaint(h, 32);  // like a live view's: the picture is copied as it is
    if (v && v->ui.hasPicture && Hooks().paint) Hooks().paint(v, c);
    else FillRect(c, GetClientRect(h), Rgb(0, 0, 0));
    if (v) {
        std::string status;
        if (RecordView* logic = ThePlayer().view.get()) {
            std::lock_guard lock(logic->ui.viewMutex);
            status = logic->ui.status;
        }
        const std::string& time = ThePlayer().timeText;
        if (g_lib.showTime && !time.empty() && v->ui.hasPicture) DrawText(c, 8, c.height - 20, time, Rgb(255, 255, 255));
        if (g_lib.showLocation && v->ui.hasPicture) {
            const std::string place(v->record.location, strnlen(v->record.location, sizeof v->record.location));
            if (!place.empty()) DrawText(c, 8, c.height - 36, place, Rgb(255, 255, 0));
        }
        if (!status.empty()) {
            const int width = static_cast<int>(status.size()) * kFontWidth + 4;
            FillRect(c, {8, 14, 12 + width, 30}, Rgb(200, 0, 0));
            DrawText(c, 10, 16, status, Rgb(255, 255, 0));
        }
    }
    EndPaint(h);
}

uint32_t SteerOfKey(uint32_t key) {
    switch (key) {
    case 37: return 1110;
    case 38: return 1113;
    case 39: return 1112;
    case 40: return 1111;
    case '+': case '=': case 107: case 187: return 1100;
    case '-': case 109: case 189: return 1101;
    default: return 0;
    }
}

void SteerView(uint32_t key) {
    PanoView* v = PlayerView();
    const uint32_t action = SteerOfKey(key & 0xFFFF);
    if (!v || !action || !v->ui.hasPicture) return;
    if (action == 1100 || action == 1101) {
        if (Hooks().zoom) Hooks().zoom(v, v->ui.currentPane, action == 1100);
    } else if (Hooks().move) {
        Hooks().move(v, v->ui.currentPane, static_cast<int>(action));
    }
    RepaintView();
}

void WheelOnPlayerView(HWND h, WPARAM w, LPARAM l) {
    PanoView* v = PlayerView();
    if (!v || !v->ui.hasPicture || !Hooks().zoom) return;
    int ox = 0, oy = 0;
    ClientToTop(h, ox, oy);
    const Rect top = GetWindowRect(g_win.frame);
    const int x = PointX(l) - top.left - ox, y = PointY(l) - top.top - oy;
    if (Hooks().paneAt) v->ui.currentPane = Hooks().paneAt(v, x, y);
    Hooks().zoom(v, v->ui.currentPane, WheelDelta(w) > 0);
    RepaintView();
}

LRESULT PlayerViewProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_PAINT: PaintPlayerView(h); return 0;
    case WM_SIZE:
        if (PanoView* v = PlayerView()) {
            v->ui.clientWidth = (static_cast<int>(LoWord(l)) + 1) & ~1;
            v->ui.clientHeight = (static_cast<int>(HiWord(l)) + 1) & ~1;
            RepaintView();
        }
        return 0;
    case WM_LBUTTONDOWN:
        SetFocus(h);
        if (PanoView* v = PlayerView(); v && Hooks().paneAt) v->ui.currentPane = Hooks().paneAt(v, PointX(l), PointY(l));
        return 0;
    case WM_KEYDOWN: SteerView(static_cast<uint32_t>(w)); return 0;
    case WM_MOUSEWHEEL: WheelOnPlayerView(h, w, l); return 0;
    case WM_RBUTTONUP: ContextMenu(h, PointX(l), PointY(l)); return 0;
    default: return DefWindowProc(h, msg, w, l);
    }
}

// ---- The playlist box ----

LRESULT PlaylistProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    if (msg == WM_PAINT) {
        const PlayerState& p = ThePlayer();
        Canvas c = BeginPaint(h);
        FillRect(c, GetClientRect(h), Rgb(212, 212, 212));
        const Rect box{2, 2, std::max(c.width - 2, 4), c.height - 2};
        FillRect(c, box, Rgb(255, 255, 255));
        FrameRect(c, box, Rgb(120, 120, 120));
        std::string text;
        if (p.backupPlay && !p.openPath.empty())
            text = BackupListText(p.openPath.substr(p.openPath.find_last_of('/') + 1));  // a backup plays
        else if (p.selected >= 0 && p.selected < static_cast<int>(p.playlist.size()))
            text = PlayerNodeText(p, p.playlist[p.selected]);
        DrawText(c, 8, 5, text, Rgb(0, 0, 0));
        // The drop-down arrow.
        for (int i = 0; i < 5; ++i) FillRect(c, {box.right - 16 + i, 8 + i, box.right - 6 - i, 9 + i}, Rgb(40, 40, 40));
        EndPaint(h);
        return 0;
    }
    if (msg == WM_LBUTTONUP) {
        PlaylistMenu(h);
        return 0;
    }
    return DefWindowProc(h, msg, w, l);
}

void EnsureClass(const char* name, WndProc proc) {
    if (!IsClassRegistered(name)) RegisterWindowClass({name, proc, 0, kWindowDataBytes});
}

HWND CreateChild(const char* cls, WndProc proc, HWND parent, int id) {
    EnsureClass(cls, proc);
    HWND h = CreateWindow(cls, "", WS_CHILD | WS_VISIBLE, 0, 0, 16, 16, parent, id, nullptr);
    // The class may be registered already with the plain procedure: the window is ours.
    if (h) SetWindowProc(h, proc);
    return h;
}

HWND CreateFrame(void* parent) {
    InitWindowing();
    EnsureClass(kPlayerFrameClass, FrameProc);
    const WindowPos pos = FramePlacement();
    HWND frame = CreateWindow(kPlayerFrameClass, Text(912), WS_OVERLAPPEDWINDOW, pos.left, pos.top, pos.width,
                              pos.height, nullptr, 0, nullptr);
    if (!frame) return nullptr;
    SetWindowProc(frame, FrameProc);
    HWND owner = static_cast<HWND>(parent);
    while (owner && GetParent(owner)) owner = GetParent(owner);
    if (owner) SetOwner(frame, owner);
    g_win = {};
    g_win.frame = frame;
    g_view = std::make_unique<PanoView>();
    g_view->ui.kind = kViewKindPlayback;
    if (HMENU menu = LoadMenu("DVR")) SetMenu(frame, menu);
    g_win.playlist = CreateChild(kPlaylistClass, PlaylistProc, frame, 0);
    g_win.view = CreateChild(kPlayerViewClass, PlayerViewProc, frame, 0);
    g_win.bar = CreateChild(kPlayerBarClass, PlayerBarProc, frame, 0);
    g_win.position = CreateChild(kPositionBarClass, PositionBarProc, g_win.bar, kPositionBarId);
    for (const PlayerButton& b : PlayerButtons()) {
        HWND button = CreatePlayerButton(g_win.bar, b);
        if (b.command == 1701) g_win.play = button;
        if (b.command == 1606) g_win.pause = button;
    }
    if (g_win.play) ShowWindow(g_win.play, SW_HIDE);
    LayoutFrame(frame);
    ShowWindow(frame, pos.maximised ? SW_SHOWMAXIMIZED : SW_SHOW);
    return frame;
}

}  // namespace

const PlayerWindows& ThePlayerWindows() { return g_win; }
PlayerWindows& MutablePlayerWindows() { return g_win; }

void InstallPlayerWindow(PlayerState& p) {
    p.createFrame = [](void* parent) -> void* { return CreateFrame(parent); };
    p.destroyFrame = DestroyFrame;
    p.pumpMessages = Pump;
    p.resetView = ResetView;
    p.applyZones = [](RecordView* v, HDIB pic, int scale) { ApplyViewZones(*v, pic, scale); };
    p.decodeScale = [] { return PlayerView() ? ViewDecodeScale(*PlayerView()) : 1; };
    p.present = Present;
    p.showManagement = ShowManagementDialog;
    p.hideManagement = HideManagementDialog;
    p.showPlayback = ShowPlaybackDialog;
}

}  // namespace orb
