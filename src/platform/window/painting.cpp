// Painting: invalidation, the paint canvas, rectangles, the built-in 6x12 font, pictures
// stretched into a window, and a window captured as a picture.
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

namespace {

const uint8_t kFont[95][12] = {
#include "platform/font6x12.inc"
};

// Bytes a pixel of a surface: 3 or 4, 0 for anything a surface cannot be.
int SurfaceBytes(const DibLock& l) { return l && (l.bitCount() == 24 || l.bitCount() == 32) ? l.bitCount() / 8 : 0; }

void PutColour(uint8_t* p, uint32_t colour) {
    p[0] = (colour >> 16) & 0xFF;
    p[1] = (colour >> 8) & 0xFF;
    p[2] = colour & 0xFF;
}

}  // namespace

bool InvalidateRect(HWND hwnd) {
    std::thread::id owner;
    {
        WITH_WINDOW(hwnd, false)
        w->dirty = true;
        owner = w->thread;
    }
    NotifyQueue(owner);
    return true;
}

bool UpdateWindow(HWND hwnd) {
    bool dirty;
    {
        WITH_WINDOW(hwnd, false)
        dirty = w->dirty;
    }
    if (dirty) DispatchMessage({hwnd, WM_PAINT, 0, 0});
    return true;
}

Canvas BeginPaint(HWND hwnd, int bits) {
    WITH_WINDOW(hwnd, {})
    if (bits != 32) bits = 24;
    w->dirty = false;
    ++w->painted;
    const int cw = std::max(1, w->rect.width()), ch = std::max(1, w->rect.height());
    if (w->surface) {
        bool same;
        {
            DibLock l(w->surface);
            same = l.width() == cw && l.height() == ch && l.bitCount() == bits;
        }
        if (!same) {
            DestroyDIB(w->surface);
            w->surface = nullptr;
        }
    }
    if (!w->surface) w->surface = CreateDIB(cw, ch, bits);
    return {w->surface, cw, ch};
}

void EndPaint(HWND hwnd) {
    WITH_WINDOW(hwnd, )
    ++w->painted;  // a picture composed while the paint was under way is taken again
}

void FillRect(const Canvas& c, const Rect& r, uint32_t colour) {
    DibLock l(c.picture);
    const int bpp = SurfaceBytes(l);
    if (!bpp) return;
    const int x0 = std::max(0, r.left), x1 = std::min(l.width(), r.right);
    const int y0 = std::max(0, r.top), y1 = std::min(l.height(), r.bottom);
    for (int y = y0; y < y1; ++y) {
        uint8_t* p = l.rowFromTop(y) + x0 * bpp;
        for (int x = x0; x < x1; ++x, p += bpp) PutColour(p, colour);
    }
}

void FrameRect(const Canvas& c, const Rect& r, uint32_t colour, int k) {
    FillRect(c, {r.left, r.top, r.right, r.top + k}, colour);
    FillRect(c, {r.left, r.bottom - k, r.right, r.bottom}, colour);
    FillRect(c, {r.left, r.top, r.left + k, r.bottom}, colour);
    FillRect(c, {r.right - k, r.top, r.right, r.bottom}, colour);
}

int DrawText(const Canvas& c, int x, int y, const std::string& text, uint32_t colour) {
    DibLock l(c.picture);
    const int bpp = SurfaceBytes(l);
    if (!bpp) return 0;
    int cx = x, cy = y, widest = 0;
    for (const char ch : text) {
        if (ch == '\n') {
            cx = x;
            cy += kFontHeight;
            continue;
        }
        const unsigned code = static_cast<unsigned char>(ch);
        const uint8_t* glyph = kFont[(code >= 32 && code < 127 ? code : '?') - 32];
        for (int gy = 0; gy < kFontHeight; ++gy) {
            const int py = cy + gy;
            if (py < 0 || py >= l.height()) continue;
            for (int gx = 0; gx < kFontWidth; ++gx) {
                const int px = cx + gx;
                if (px < 0 || px >= l.width() || !(glyph[gy] & (1 << (kFontWidth - 1 - gx)))) continue;
                PutColour(l.rowFromTop(py) + px * bpp, colour);
            }
        }
        cx += kFontWidth;
        widest = std::max(widest, cx - x);
    }
    return widest;
}

bool StretchPicture(const Canvas& c, const Rect& dst, HDIB source) {
    DibLock d(c.picture), s(source);
    const int dbpp = SurfaceBytes(d), bpp = SurfaceBytes(s);
    if (!dbpp || !bpp) return false;
    const int sw = s.width(), sh = std::abs(s.height());
    if (sw <= 0 || sh <= 0 || dst.width() <= 0 || dst.height() <= 0) return false;
    const int x0 = std::max(0, dst.left), x1 = std::min(d.width(), dst.right);
    const int y0 = std::max(0, dst.top), y1 = std::min(d.height(), dst.bottom);
    if (x1 <= x0) return true;
    // A picture of the rectangle's own width and the surface's depth (a view painted at its
    // size) is copied row by row; otherwise each column's source is worked out once, not
    // once a row.
    const bool sameWidth = sw == dst.width() && bpp == dbpp;
    std::vector<int> from;
    if (!sameWidth) {
        from.resize(size_t(x1 - x0));
        for (int x = x0; x < x1; ++x) from[size_t(x - x0)] = int(int64_t(x - dst.left) * sw / dst.width()) * bpp;
    }
    for (int y = y0; y < y1; ++y) {
        const int sy = static_cast<int>(static_cast<int64_t>(y - dst.top) * sh / dst.height());
        const uint8_t* srow = s.rowFromTop(sy);
        uint8_t* p = d.rowFromTop(y) + x0 * dbpp;
        if (sameWidth) {
            std::memcpy(p, srow + (x0 - dst.left) * bpp, size_t(x1 - x0) * size_t(bpp));
            continue;
        }
        for (int x = 0; x < x1 - x0; ++x, p += dbpp) std::memcpy(p, srow + from[size_t(x)], 3);
    }
    return true;
}

namespace {

void Compose(const DibLock& out, uint32_t id, int ox, int oy) {
    auto& t = Tables();
    WindowData* w = Find(ToHandle(id));
    if (!w) return;
    const int cw = w->rect.width(), ch = w->rect.height();
    if (w->surface) {
        DibLock s(w->surface);
        const int n = std::min(cw, s.width()), bpp = SurfaceBytes(s);
        for (int y = 0; bpp && y < std::min(ch, s.height()); ++y) {
            const int py = oy + y;
            if (py < 0 || py >= out.height()) continue;
            const int x0 = std::max(0, -ox), x1 = std::min(n, out.width() - ox);
            uint8_t* to = out.rowFromTop(py) + (ox + x0) * 3;
            const uint8_t* from = s.rowFromTop(y) + x0 * bpp;
            if (x1 <= x0) continue;
            if (bpp == 3) std::memcpy(to, from, size_t(x1 - x0) * 3);
            else
                for (int x = x0; x < x1; ++x, to += 3, from += 4) std::memcpy(to, from, 3);
        }
    }
    (void)t;
    for (uint32_t c : w->children) {
        WindowData* cwd = Find(ToHandle(c));
        if (cwd && cwd->visible) Compose(out, c, ox + cwd->rect.left, oy + cwd->rect.top);
    }
}

}  // namespace

HDIB CaptureWindowPicture(HWND hwnd) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    WindowData* w = Find(hwnd);
    if (!w) return nullptr;
    HDIB out = CreateDIB(std::max(1, w->rect.width()), std::max(1, w->rect.height()), 24);
    {
        DibLock l(out);
        Compose(l, ToId(hwnd), 0, 0);
    }
    return out;
}

}  // namespace orb
