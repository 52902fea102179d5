// The window's picture for the desktop, in the 32-bit pixels a desktop surface takes as they
// are. Only the rectangles of windows painted since the last update are composed again, so a
// view that shows a new picture does not make its neighbours be copied and converted too;
// 32-bit surfaces (the views') are copied row by row as they are.
#include <algorithm>
#include <cstring>
#include <mutex>

#include <immintrin.h>

#include "platform/dib.h"
#include "platform/window.h"
#include "platform/window_internal.h"

namespace orb {
namespace {

void Convert24Plain(const uint8_t* src, uint32_t* dst, int n) {
    for (int x = 0; x < n; ++x, src += 3) dst[x] = src[0] | (src[1] << 8) | (uint32_t(src[2]) << 16);
}

// Four pixels a shuffle; a load of 16 bytes never passes the last pixel's bytes.
__attribute__((target("ssse3"))) void Convert24Ssse3(const uint8_t* src, uint32_t* dst, int n) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    int x = 0;
    for (; x + 6 <= n; x += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x),
                         _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * x)), spread));
    Convert24Plain(src + 3 * x, dst + x, n - x);
}

void Convert24(const uint8_t* src, uint32_t* dst, int n) {
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) Convert24Ssse3(src, dst, n);
    else Convert24Plain(src, dst, n);
}

Rect Intersect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    return r.left < r.right && r.top < r.bottom ? r : Rect{};
}

Rect Union(const Rect& a, const Rect& b) {
    if (b.left >= b.right || b.top >= b.bottom) return a;
    if (a.left >= a.right || a.top >= a.bottom) return b;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// The windows as they are drawn, in drawing order: the window, then its visible children
// over it (each one's own children over it), with the area its surface covers.
void Walk(uint32_t id, int ox, int oy, std::vector<WindowPicture::Seen>& out) {
    WindowData* w = Find(ToHandle(id));
    if (!w) return;
    int sw = 0, sh = 0;
    if (w->surface) {
        DibLock s(w->surface);
        sw = std::min(w->rect.width(), s.width());
        sh = std::min(w->rect.height(), s.height());
    }
    out.push_back({id, Rect{ox, oy, ox + std::max(0, sw), oy + std::max(0, sh)}, w->painted});
    for (uint32_t c : w->children) {
        WindowData* cwd = Find(ToHandle(c));
        if (cwd && cwd->visible) Walk(c, ox + cwd->rect.left, oy + cwd->rect.top, out);
    }
}

// Composes the part `clip` of the picture again: black, then every surface in order.
void Compose(WindowPicture& p, const Rect& clip) {
    for (int y = clip.top; y < clip.bottom; ++y)
        std::fill_n(p.pixels.data() + size_t(y) * p.width + clip.left, clip.right - clip.left, 0u);
    for (const WindowPicture::Seen& s : p.seen) {
        const Rect r = Intersect(s.at, clip);
        if (r.left >= r.right) continue;
        WindowData* w = Find(ToHandle(s.id));
        if (!w || !w->surface) continue;
        DibLock l(w->surface);
        const bool wide = l.bitCount() == 32;
        if (!wide && l.bitCount() != 24) continue;
        for (int y = r.top; y < r.bottom; ++y) {
            const uint8_t* from = l.rowFromTop(y - s.at.top) + (wide ? 4 : 3) * (r.left - s.at.left);
            uint32_t* to = p.pixels.data() + size_t(y) * p.width + r.left;
            if (wide) std::memcpy(to, from, size_t(r.right - r.left) * 4);
            else Convert24(from, to, r.right - r.left);
        }
    }
}

}  // namespace

Rect UpdateWindowPicture(HWND hwnd, WindowPicture& p) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    WindowData* w = Find(hwnd);
    if (!w) return {};
    const int width = std::max(1, w->rect.width()), height = std::max(1, w->rect.height());
    std::vector<WindowPicture::Seen> now;
    Walk(ToId(hwnd), 0, 0, now);
    const Rect all{0, 0, width, height};
    Rect changed;
    if (width != p.width || height != p.height) {
        p.width = width, p.height = height;
        p.pixels.assign(size_t(width) * height, 0);
        changed = all;
    } else if (now.size() != p.seen.size()) {
        changed = all;
    } else {
        for (size_t i = 0; i < now.size() && changed != all; ++i) {
            const WindowPicture::Seen &a = now[i], &b = p.seen[i];
            if (a.id != b.id || a.at != b.at) changed = all;  // moved, resized, or another window
            else if (a.painted != b.painted) changed = Union(changed, a.at);
        }
    }
    p.seen = std::move(now);
    changed = Intersect(changed, all);
    if (changed.left < changed.right) Compose(p, changed);
    return changed;
}

}  // namespace orb
