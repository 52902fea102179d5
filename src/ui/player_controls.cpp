// The player's bottom bar: its bitmap buttons (pictures drawn here, four states stacked) and
// the position bar, a track bar that reports drags to the frame as scroll requests.
#include <algorithm>
#include <cmath>

#include "platform/texts.h"
#include "platform/dib.h"
#include "record/player.h"
#include "ui/accessories.h"
#include "ui/player_controls.h"
#include "ui/player_window.h"

namespace orb {

namespace {

// Is (u, v) of the unit square inside the glyph?
bool Triangle(double u, double v, double x0, double x1, bool right) {
    if (u < x0 || u > x1) return false;
    const double t = right ? (u - x0) / (x1 - x0) : (x1 - u) / (x1 - x0);
    return std::abs(v - 0.5) <= 0.5 * (1.0 - t);
}

bool Inside(PlayerGlyph g, double u, double v) {
    switch (g) {
    case PlayerGlyph::Play: return Triangle(u, v, 0.15, 0.9, true);
    case PlayerGlyph::Pause: return (u > 0.15 && u < 0.4) || (u > 0.6 && u < 0.85);
    case PlayerGlyph::Backward: return Triangle(u, v, 0.0, 0.5, false) || Triangle(u, v, 0.5, 1.0, false);
    case PlayerGlyph::Previous: return (u < 0.2) || Triangle(u, v, 0.25, 1.0, false);
    case PlayerGlyph::Next: return (u > 0.8) || Triangle(u, v, 0.0, 0.75, true);
    case PlayerGlyph::Forward: return Triangle(u, v, 0.0, 0.5, true) || Triangle(u, v, 0.5, 1.0, true);
    case PlayerGlyph::Playlist: {
        const double band = std::fmod(v * 3.0, 1.0);
        return band > 0.25 && band < 0.75;
    }
    case PlayerGlyph::Snap: {
        const double d = std::hypot(u - 0.5, v - 0.55);
        const bool body = v > 0.2 && (d > 0.25 || d < 0.12);
        return body || (v > 0.05 && v <= 0.2 && u > 0.3 && u < 0.7);
    }
    case PlayerGlyph::Stop: return u > 0.1 && u < 0.9 && v > 0.1 && v < 0.9;
    case PlayerGlyph::Speed: {
        const double d = std::hypot(u - 0.5, v - 0.5);
        const bool ring = d > 0.38 && d < 0.5;
        const bool hands = (std::abs(u - 0.5) < 0.06 && v > 0.15 && v < 0.55) || (std::abs(v - 0.5) < 0.06 && u > 0.45 && u < 0.78);
        return ring || hands;
    }
    }
    return false;
}

void Put(DibLock& l, int x, int y, uint32_t c) {
    uint8_t* p = l.rowFromTop(y) + x * 3;
    p[0] = (c >> 16) & 0xFF, p[1] = (c >> 8) & 0xFF, p[2] = c & 0xFF;
}

constexpr uint32_t kBarColour = Rgb(212, 212, 212);

}  // namespace

HDIB MakePlayerButtonPicture(PlayerGlyph glyph, int size) {
    HDIB h = CreateDIB(size, size * 4, 24);
    if (!h) return nullptr;
    DibLock l(h);
    // Normal, mouse over, pressed, disabled.
    static constexpr uint32_t kFace[4] = {Rgb(236, 236, 236), Rgb(250, 250, 255), Rgb(190, 200, 220), Rgb(228, 228, 228)};
    static constexpr uint32_t kInk[4] = {Rgb(30, 30, 30), Rgb(20, 70, 180), Rgb(10, 40, 120), Rgb(160, 160, 160)};
    const int margin = std::max(3, size / 5);
    for (int state = 0; state < 4; ++state)
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const bool edge = x == 0 || y == 0 || x == size - 1 || y == size - 1;
                const int shift = state == 2 ? 1 : 0;
                const double u = (x - margin - shift + 0.5) / (size - 2 * margin);
                const double v = (y - margin - shift + 0.5) / (size - 2 * margin);
                uint32_t c = kFace[state];
                if (edge) c = Rgb(120, 120, 120);
                else if (u >= 0 && u < 1 && v >= 0 && v < 1 && Inside(glyph, u, v)) c = kInk[state];
                Put(l, x, state * size + y, c);
            }
    return h;
}

// ---- The bar under the view ----

LRESULT PlayerBarProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    if (msg == WM_PAINT) {
        Canvas c = BeginPaint(h);
        FillRect(c, GetClientRect(h), kBarColour);
        FillRect(c, {0, 0, c.width, 1}, Rgb(150, 150, 150));
        EndPaint(h);
        return 0;
    }
    if (msg == WM_COMMAND || msg == WM_HSCROLL) {
        // What the buttons and the position bar say goes to the frame.
        HWND frame = GetParent(h);
        return frame ? SendMessage(frame, msg, w, l) : 0;
    }
    return DefWindowProc(h, msg, w, l);
}

// ---- The position bar ----

namespace {

constexpr int kTrackInset = 6;

int PositionAt(HWND bar, int x) {
    const PlayerState& p = ThePlayer();
    const int span = std::max(GetClientRect(bar).width() - 2 * kTrackInset, 1);
    const int range = std::max(p.barMax - p.barMin, 0);
    const int pos = p.barMin + static_cast<int>(std::lround(static_cast<double>(x - kTrackInset) * range / span));
    return std::clamp(pos, p.barMin, std::max(p.barMin, p.barMax));
}

int ThumbX(HWND bar) {
    const PlayerState& p = ThePlayer();
    const int span = std::max(GetClientRect(bar).width() - 2 * kTrackInset, 1);
    const int range = p.barMax - p.barMin;
    if (range <= 0) return kTrackInset;
    return kTrackInset + static_cast<int>(static_cast<int64_t>(std::clamp(p.barPos, p.barMin, p.barMax) - p.barMin) * span / range);
}

void Report(HWND bar, int request, int pos) {
    if (HWND parent = GetParent(bar))
        SendMessage(parent, WM_HSCROLL, MakeWParam(static_cast<uint32_t>(request), static_cast<uint32_t>(pos)),
                    reinterpret_cast<LPARAM>(bar));
    InvalidateRect(bar);
}

bool g_dragging = false;

}  // namespace

LRESULT PositionBarProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_PAINT: {
        Canvas c = BeginPaint(h);
        FillRect(c, GetClientRect(h), kBarColour);
        const int mid = c.height / 2;
        FillRect(c, {kTrackInset, mid - 2, c.width - kTrackInset, mid + 2}, Rgb(120, 120, 120));
        const int x = ThumbX(h);
        FillRect(c, {x - 5, 2, x + 5, c.height - 2}, g_dragging ? Rgb(20, 70, 180) : Rgb(60, 110, 200));
        FrameRect(c, {x - 5, 2, x + 5, c.height - 2}, Rgb(30, 30, 30));
        EndPaint(h);
        return 0;
    }
    case WM_LBUTTONDOWN:
        SetCapture(h);
        g_dragging = true;
        Report(h, TB_THUMBTRACK, PositionAt(h, PointX(l)));
        return 0;
    case WM_MOUSEMOVE:
        if (g_dragging && GetCapture() == h) Report(h, TB_THUMBTRACK, PositionAt(h, PointX(l)));
        return 0;
    case WM_LBUTTONUP:
        if (!g_dragging) return 0;
        g_dragging = false;
        if (GetCapture() == h) ReleaseCapture();
        Report(h, TB_ENDTRACK, PositionAt(h, PointX(l)));
        return 0;
    case WM_CAPTURECHANGED:
        g_dragging = false;
        return 0;
    default:
        return DefWindowProc(h, msg, w, l);
    }
}

// ---- The buttons ----

const std::vector<PlayerButton>& PlayerButtons() {
    static const std::vector<PlayerButton> buttons = {
        {PlayerGlyph::Play, 3, 1, 1701, 2700},      {PlayerGlyph::Pause, 3, 1, 1606, 2701},
        {PlayerGlyph::Backward, 32, 3, 1605, 2702}, {PlayerGlyph::Previous, 57, 5, 1602, 2703},
        {PlayerGlyph::Next, 91, 5, 1601, 2704},     {PlayerGlyph::Forward, 125, 3, 1604, 2705},
        {PlayerGlyph::Playlist, 150, 5, 1603, 2706}, {PlayerGlyph::Snap, 185, 5, 920, 2707},
        {PlayerGlyph::Stop, 220, 5, 907, 2708},     {PlayerGlyph::Speed, 255, 3, 2709, 2709},
    };
    return buttons;
}

HWND CreatePlayerButton(HWND bar, const PlayerButton& b) {
    if (!IsClassRegistered(kButtonClass)) RegisterWindowClass({kButtonClass, ButtonProc, 0, kWindowDataBytes});
    // Buttons fill the bar's height less twice their offset from its top.
    const int size = kBottomBarHeight - 2 * b.y;
    BitmapButtonDesc desc;
    desc.target = bar;
    desc.bitmap = MakePlayerButtonPicture(b.glyph, size);
    HWND button = CreateWindow(kButtonClass, Text(b.tip), WS_CHILD | WS_VISIBLE, b.x, b.y, size, size, bar, b.command, &desc);
    if (!button) DestroyDIB(desc.bitmap);
    return button;
}

}  // namespace orb
