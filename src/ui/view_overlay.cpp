#include "ui/view_overlay.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sstream>

#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/clock.h"

namespace orb {

namespace {

int IndexOf(int line) { return line - kFirstStatusLine; }

// One status line: each of its text lines over an opaque band, or plain for a warning.
void DrawStatus(const Canvas& c, int line, const std::string& text) {
    int y = (line + 2) * kStatusLineHeight;
    std::istringstream lines(text);
    for (std::string part; std::getline(lines, part); y += kFontHeight + 2) {
        if (part.empty()) continue;
        const int w = static_cast<int>(part.size()) * kFontWidth;
        if (IsWarningLine(line)) {
            DrawText(c, kStatusX, y, part, kWarningColour);
        } else {
            FillRect(c, {kStatusX - 2, y - 2, kStatusX + w + 2, y + kFontHeight + 2}, kStatusBackground);
            DrawText(c, kStatusX, y, part, kStatusColour);
        }
    }
}

// A text on a dark band, so it reads over any picture.
void DrawLabel(const Canvas& c, int x, int y, const std::string& text) {
    const int w = static_cast<int>(text.size()) * kFontWidth;
    FillRect(c, {x - 3, y - 2, x + w + 3, y + kFontHeight + 2}, Rgb(0, 0, 0));
    DrawText(c, x, y, text, Rgb(255, 255, 255));
}

}  // namespace

bool IsWarningLine(int line) { return line < 0; }

void PaintViewOverlay(PanoView& view, const Canvas& c) {
    std::array<std::string, kViewStatusLines> lines;
    {
        std::lock_guard lock(view.ui.statusMutex);
        lines = view.ui.statusLines;
    }
    const int bottom = c.height - kFontHeight - 6;
    if (g_lib.showLocation) {
        const std::string location(view.record.location, strnlen(view.record.location, sizeof view.record.location));
        if (!location.empty()) DrawLabel(c, kStatusX, bottom, location);
    }
    if (g_lib.showTime && view.ui.hasPicture) {
        const SystemTime t = LocalNow();
        char text[32];
        std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                      t.second);
        DrawLabel(c, c.width - static_cast<int>(std::strlen(text)) * kFontWidth - kStatusX, bottom, text);
    }
    for (int line = kFirstStatusLine; line <= kLastStatusLine; ++line)
        if (!lines[static_cast<size_t>(IndexOf(line))].empty()) DrawStatus(c, line, lines[static_cast<size_t>(IndexOf(line))]);
}

}  // namespace orb
