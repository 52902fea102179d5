#include "common/room_textures.h"

#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <numbers>

namespace orbtools {
namespace {

// Detail of the wall pictures: fine enough for a 2592-pixel-wide camera a few metres away.
constexpr double kPixelsPerMetre = 200.0;
constexpr const char* kFont = "DejaVu Sans";

struct Colour {
    double r, g, b;
};
constexpr Colour kWall{0.91, 0.87, 0.78}, kSkirting{0.36, 0.26, 0.18}, kFrameWhite{0.96, 0.96, 0.94},
    kWood{0.45, 0.28, 0.16}, kLightWood{0.78, 0.62, 0.42};

void Fill(cairo_t* c, Colour k, double x, double y, double w, double h) {
    cairo_set_source_rgb(c, k.r, k.g, k.b);
    cairo_rectangle(c, x, y, w, h);
    cairo_fill(c);
}

// Text centred on (x, y), scaled down to fit `maxWidth` when given.
void Text(cairo_t* c, const char* text, double x, double y, double size, Colour k, bool bold = true,
          double maxWidth = 0) {
    cairo_select_font_face(c, kFont, CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(c, size);
    cairo_text_extents_t e;
    cairo_text_extents(c, text, &e);
    if (maxWidth > 0 && e.width > maxWidth) {
        cairo_set_font_size(c, size * maxWidth / e.width);
        cairo_text_extents(c, text, &e);
    }
    cairo_set_source_rgb(c, k.r, k.g, k.b);
    cairo_move_to(c, x - e.width / 2 - e.x_bearing, y - e.height / 2 - e.y_bearing);
    cairo_show_text(c, text);
}

void Skirting(cairo_t* c, double width) { Fill(c, kSkirting, 0, room::kHeight - 0.1, width, 0.1); }

// A window onto the street: sky, the houses across the road, a tree; white frame and bars.
void Window(cairo_t* c, double x, double y, double w, double h, int seed) {
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgb(sky, 0, 0.50, 0.70, 0.93);
    cairo_pattern_add_color_stop_rgb(sky, 1, 0.86, 0.92, 0.98);
    cairo_set_source(c, sky);
    cairo_rectangle(c, x, y, w, h);
    cairo_fill(c);
    cairo_pattern_destroy(sky);
    cairo_save(c);
    cairo_rectangle(c, x, y, w, h);
    cairo_clip(c);
    // Houses: blocks of different heights with rows of windows.
    double at = x - 0.1 * seed;
    for (int i = 0; at < x + w; ++i) {
        const double bw = 0.45 + 0.15 * ((i * 7 + seed) % 3), bh = 0.45 + 0.12 * ((i * 5 + seed * 3) % 4);
        const Colour k = i % 2 ? Colour{0.62, 0.55, 0.52} : Colour{0.72, 0.66, 0.58};
        Fill(c, k, at, y + h - bh, bw, bh);
        for (double wy = y + h - bh + 0.08; wy < y + h - 0.12; wy += 0.16)
            for (double wx = at + 0.07; wx < at + bw - 0.1; wx += 0.14) Fill(c, {0.35, 0.42, 0.52}, wx, wy, 0.07, 0.08);
        at += bw + 0.03;
    }
    // A tree in front.
    const double tx = x + w * (seed % 2 ? 0.72 : 0.3);
    Fill(c, {0.38, 0.26, 0.16}, tx - 0.03, y + h - 0.45, 0.06, 0.45);
    cairo_set_source_rgb(c, 0.25, 0.52, 0.22);
    cairo_arc(c, tx, y + h - 0.55, 0.28, 0, 2 * std::numbers::pi);
    cairo_fill(c);
    cairo_restore(c);
    cairo_set_source_rgb(c, kFrameWhite.r, kFrameWhite.g, kFrameWhite.b);
    cairo_set_line_width(c, 0.07);
    cairo_rectangle(c, x, y, w, h);
    cairo_move_to(c, x + w / 2, y);
    cairo_line_to(c, x + w / 2, y + h);
    cairo_move_to(c, x, y + h * 0.4);
    cairo_line_to(c, x + w, y + h * 0.4);
    cairo_stroke(c);
    Fill(c, kFrameWhite, x - 0.08, y + h, w + 0.16, 0.05);  // the sill
}

// The door leaf as seen from the room, hinge on the right: panels, handle, kick plate.
void DoorLeaf(cairo_t* c, double x, double y) {
    const double w = room::kDoorEast - room::kDoorWest, h = room::kDoorHeight;
    Fill(c, kWood, x, y, w, h);
    cairo_set_source_rgb(c, 0.33, 0.20, 0.11);
    cairo_set_line_width(c, 0.025);
    cairo_rectangle(c, x + 0.12, y + 0.12, w - 0.24, 0.78);
    cairo_rectangle(c, x + 0.12, y + 1.05, w - 0.24, 0.75);
    cairo_stroke(c);
    Fill(c, {0.80, 0.66, 0.30}, x + 0.06, y + 1.0, 0.07, 0.05);
    Fill(c, {0.62, 0.63, 0.65}, x + 0.02, y + h - 0.2, w - 0.04, 0.16);
}

void SouthWall(cairo_t* c) {
    const double w = room::kEast - room::kWest;
    Fill(c, kWall, 0, 0, w, room::kHeight);
    Skirting(c, w);
    // Seen from the room, east is on the left: u = kEast - x.
    const double doorU = room::kEast - room::kDoorEast, doorV = room::kHeight - room::kDoorHeight;
    Fill(c, kFrameWhite, doorU - 0.07, doorV - 0.07, room::kDoorEast - room::kDoorWest + 0.14, room::kDoorHeight + 0.07);
    DoorLeaf(c, doorU, doorV);
    Fill(c, {0.10, 0.55, 0.25}, doorU + 0.2, doorV - 0.32, 0.55, 0.2);
    Text(c, "EXIT", doorU + 0.475, doorV - 0.22, 0.13, {1, 1, 1});
    // The notice board.
    Fill(c, {0.70, 0.53, 0.33}, 0.6, 1.0, 1.6, 0.9);
    const Colour notes[] = {{1, 1, 0.7}, {0.8, 0.93, 1}, {1, 0.85, 0.85}, {0.9, 1, 0.85}, {1, 1, 1}};
    for (int i = 0; i < 5; ++i) Fill(c, notes[i], 0.7 + i * 0.29, 1.1 + (i % 2) * 0.3, 0.22, 0.3);
    // Posters under the sign.
    Fill(c, {0.93, 0.55, 0.15}, 6.3, 1.3, 1.2, 1.1);
    Text(c, "FRESH", 6.9, 1.62, 0.24, {1, 1, 1});
    Text(c, "FRUIT", 6.9, 1.98, 0.24, {1, 1, 1});
    Fill(c, {0.16, 0.35, 0.62}, 7.9, 1.3, 1.1, 1.1);
    Text(c, "OPEN", 8.45, 1.62, 0.24, {1, 1, 1});
    Text(c, "8 - 20", 8.45, 1.98, 0.2, {1, 0.9, 0.4});
    // The sign is drawn by the sign board's own picture on top (kept apart for the tests).
}

void SignBoard(cairo_t* c) {
    const double w = room::kSignEast - room::kSignWest, h = room::kSignTop - room::kSignBottom;
    Fill(c, {0.11, 0.36, 0.22}, 0, 0, w, h);
    cairo_set_source_rgb(c, 0.85, 0.70, 0.30);
    cairo_set_line_width(c, 0.03);
    cairo_rectangle(c, 0.04, 0.04, w - 0.08, h - 0.08);
    cairo_stroke(c);
    Text(c, room::kSignText, w / 2, h / 2, 0.4, {0.98, 0.95, 0.85}, true, w - 0.3);
}

void NorthWall(cairo_t* c) {
    const double w = room::kEast - room::kWest;
    Fill(c, kWall, 0, 0, w, room::kHeight);
    Skirting(c, w);
    Window(c, 1.5, 0.6, 2.0, 1.5, 1);
    Window(c, 6.5, 0.6, 2.0, 1.5, 2);
    Fill(c, {0.75, 0.18, 0.17}, 3.9, 1.15, 2.2, 0.5);
    Text(c, "WELCOME", 5.0, 1.4, 0.3, {1, 1, 1});
    Fill(c, {0.25, 0.25, 0.27}, 4.9, 0.55, 0.2, 0.18);  // the 180-degree camera's housing
}

void EastWall(cairo_t* c) {
    const double w = room::kNorth - room::kSouth;
    Fill(c, kWall, 0, 0, w, room::kHeight);
    Skirting(c, w);
    Window(c, 2.7, 0.6, 1.8, 1.5, 3);
    Fill(c, {0.15, 0.17, 0.16}, 0.9, 0.45, 1.6, 0.8);
    Fill(c, kLightWood, 0.86, 1.25, 1.68, 0.04);
    Text(c, "TODAY", 1.7, 0.62, 0.16, {1, 1, 1});
    Text(c, "COFFEE  2.50", 1.7, 0.86, 0.12, {0.95, 0.95, 0.8}, false);
    Text(c, "BREAD  1.80", 1.7, 1.06, 0.12, {0.95, 0.95, 0.8}, false);
    Window(c, 5.2, 0.6, 1.3, 1.5, 4);
}

void WestWall(cairo_t* c) {
    const double w = room::kNorth - room::kSouth;
    Fill(c, kWall, 0, 0, w, room::kHeight);
    Skirting(c, w);
    Fill(c, {0.55, 0.20, 0.45}, 2.0, 0.3, 3.0, 0.5);
    Text(c, "GROCERIES", 3.5, 0.55, 0.3, {1, 1, 1});
}

// The shelves' front: five boards full of packets, tins and bottles.
void ShelfFront(cairo_t* c) {
    const double w = 5.0, h = 2.0;
    Fill(c, {0.30, 0.24, 0.19}, 0, 0, w, h);
    constexpr std::array<Colour, 8> kGoods = {{{0.85, 0.15, 0.15}, {0.95, 0.75, 0.1}, {0.15, 0.5, 0.85},
                                              {0.2, 0.65, 0.3}, {0.95, 0.95, 0.92}, {0.9, 0.45, 0.1},
                                              {0.55, 0.25, 0.65}, {0.35, 0.75, 0.85}}};
    uint32_t seed = 20261;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    const double boards[] = {1.9, 1.45, 1.0, 0.55, 0.1};
    for (int s = 0; s < 4; ++s) {
        const double bottom = boards[s], top = boards[s + 1] + 0.04;
        for (double x = 0.08; x < w - 0.1;) {
            const double gw = 0.1 + 0.04 * (next() % 5), gh = std::min(bottom - top - 0.03, 0.16 + 0.04 * (next() % 5));
            if (x + gw > w - 0.08) break;
            const Colour k = kGoods[next() % kGoods.size()];
            Fill(c, k, x, bottom - gh, gw, gh);
            Fill(c, {k.r * 0.7, k.g * 0.7, k.b * 0.7}, x, bottom - gh * 0.6, gw, gh * 0.15);  // the label
            x += gw + 0.015;
        }
    }
    for (double b : boards) Fill(c, kLightWood, 0, b, w, 0.04);
    Fill(c, kLightWood, 0, 0, 0.06, h);
    Fill(c, kLightWood, w - 0.06, 0, 0.06, h);
    Fill(c, kLightWood, 2.47, 0, 0.06, h);
}

void ClockFace(cairo_t* c) {
    const double r = room::kClockRadius, face = r - 0.04;
    Fill(c, kWall, 0, 0, 2 * r, 2 * r);
    cairo_translate(c, r, r);
    cairo_set_source_rgb(c, 0.98, 0.98, 0.96);
    cairo_arc(c, 0, 0, face, 0, 2 * std::numbers::pi);
    cairo_fill(c);
    cairo_set_source_rgb(c, 0.1, 0.1, 0.1);
    for (int i = 0; i < 60; ++i) {
        const double a = i * std::numbers::pi / 30, inner = i % 5 ? face - 0.035 : face - 0.08;
        cairo_set_line_width(c, i % 5 ? 0.007 : 0.022);
        cairo_move_to(c, inner * std::sin(a), -inner * std::cos(a));
        cairo_line_to(c, (face - 0.01) * std::sin(a), -(face - 0.01) * std::cos(a));
        cairo_stroke(c);
    }
    for (int hour = 1; hour <= 12; ++hour) {
        const double a = hour * std::numbers::pi / 6, at = face - 0.14;
        char label[4];
        std::snprintf(label, sizeof label, "%d", hour);
        Text(c, label, at * std::sin(a), -at * std::cos(a), 0.075, {0.1, 0.1, 0.1});
    }
}

struct Drawn {
    Surface surface;
    double width, height;
    void (*draw)(cairo_t*);
};
constexpr Drawn kDrawn[] = {
    {Surface::SouthWall, room::kEast - room::kWest, room::kHeight, SouthWall},
    {Surface::NorthWall, room::kEast - room::kWest, room::kHeight, NorthWall},
    {Surface::EastWall, room::kNorth - room::kSouth, room::kHeight, EastWall},
    {Surface::WestWall, room::kNorth - room::kSouth, room::kHeight, WestWall},
    {Surface::ShelfFront, 5.0, 2.0, ShelfFront},
    {Surface::Door, room::kDoorEast - room::kDoorWest, room::kDoorHeight, [](cairo_t* c) { DoorLeaf(c, 0, 0); }},
    {Surface::ClockFace, 2 * room::kClockRadius, 2 * room::kClockRadius, ClockFace},
    {Surface::SignBoard, room::kSignEast - room::kSignWest, room::kSignTop - room::kSignBottom, SignBoard},
};

Texture Draw(const Drawn& d) {
    Texture t;
    t.widthMetres = d.width;
    t.heightMetres = d.height;
    t.pixelsPerMetre = kPixelsPerMetre;
    const int w = static_cast<int>(std::lround(d.width * kPixelsPerMetre));
    const int h = static_cast<int>(std::lround(d.height * kPixelsPerMetre));
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* c = cairo_create(s);
    cairo_scale(c, kPixelsPerMetre, kPixelsPerMetre);
    d.draw(c);
    cairo_destroy(c);
    cairo_surface_flush(s);
    Texture::Level level{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)};
    const uint8_t* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t px;
            std::memcpy(&px, data + static_cast<size_t>(y) * stride + 4 * x, 4);
            uint8_t* o = &level.rgb[(static_cast<size_t>(y) * w + x) * 3];
            o[0] = static_cast<uint8_t>(px >> 16), o[1] = static_cast<uint8_t>(px >> 8), o[2] = static_cast<uint8_t>(px);
        }
    cairo_surface_destroy(s);
    t.levels.push_back(std::move(level));
    // Halved copies, each pixel the mean of four.
    while (t.levels.back().width > 8 && t.levels.back().height > 8) {
        const Texture::Level& a = t.levels.back();
        Texture::Level b{a.width / 2, a.height / 2, {}};
        b.rgb.resize(static_cast<size_t>(b.width) * b.height * 3);
        for (int y = 0; y < b.height; ++y)
            for (int x = 0; x < b.width; ++x)
                for (int k = 0; k < 3; ++k) {
                    auto at = [&](int yy, int xx) { return a.rgb[(static_cast<size_t>(yy) * a.width + xx) * 3 + k]; };
                    b.rgb[(static_cast<size_t>(y) * b.width + x) * 3 + k] = static_cast<uint8_t>(
                        (at(2 * y, 2 * x) + at(2 * y, 2 * x + 1) + at(2 * y + 1, 2 * x) + at(2 * y + 1, 2 * x + 1) + 2) / 4);
                }
        t.levels.push_back(std::move(b));
    }
    return t;
}

}  // namespace

const Texture& SurfaceTexture(Surface surface) {
    static std::once_flag once[static_cast<int>(Surface::kCount)];
    static Texture textures[static_cast<int>(Surface::kCount)];
    const int i = static_cast<int>(surface);
    std::call_once(once[i], [&] {
        for (const Drawn& d : kDrawn)
            if (d.surface == surface) textures[i] = Draw(d);
    });
    return textures[i];
}

Rgb SampleTexture(const Texture& t, double u, double v, double footprint) {
    const double texels = footprint * t.pixelsPerMetre;
    int level = texels > 1 ? static_cast<int>(std::log2(texels)) : 0;
    level = std::clamp(level, 0, static_cast<int>(t.levels.size()) - 1);
    const Texture::Level& l = t.levels[static_cast<size_t>(level)];
    const double sx = u / t.widthMetres * l.width - 0.5, sy = v / t.heightMetres * l.height - 0.5;
    const int x0 = static_cast<int>(std::floor(sx)), y0 = static_cast<int>(std::floor(sy));
    const double fx = sx - x0, fy = sy - y0;
    auto at = [&](int x, int y, int k) {
        x = std::clamp(x, 0, l.width - 1);
        y = std::clamp(y, 0, l.height - 1);
        return static_cast<double>(l.rgb[(static_cast<size_t>(y) * l.width + x) * 3 + k]);
    };
    double c[3];
    for (int k = 0; k < 3; ++k)
        c[k] = (at(x0, y0, k) * (1 - fx) + at(x0 + 1, y0, k) * fx) * (1 - fy) +
               (at(x0, y0 + 1, k) * (1 - fx) + at(x0 + 1, y0 + 1, k) * fx) * fy;
    return {c[0], c[1], c[2]};
}

}  // namespace orbtools
