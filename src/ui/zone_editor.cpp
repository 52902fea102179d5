#include "ui/zone_editor.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "ui/panoview.h"
#include "platform/dib.h"

namespace orb {

namespace {

void FreeCopies(ZoneEditor& e) {
    if (e.source) DestroyDIB(e.source);
    if (e.preview) DestroyDIB(e.preview);
    e.source = e.preview = nullptr;
}

}  // namespace

uint32_t ZoneStyleFromButtons(bool on, bool brighten, int strengthButton) {
    uint32_t style = (on ? kZoneOn : 0) | (brighten ? kZoneBrighten : 0);
    switch (strengthButton) {
        case kZoneStrength2: style |= 4; break;
        case kZoneStrength4: style |= 8; break;
        case kZoneStrength8: style |= 12; break;
        default: break;  // full black or white
    }
    return style;
}

ZoneButtons ZoneButtonsFromStyle(uint32_t style) {
    static constexpr int kStrength[4] = {kZoneStrengthFull, kZoneStrength2, kZoneStrength4, kZoneStrength8};
    return {(style & kZoneOn) ? kZoneOnButton : kZoneOffButton,
            (style & kZoneBrighten) ? kZoneBrightenButton : kZoneDarken, kStrength[(style >> 2) & 3]};
}

bool OpenZoneEditor(ZoneEditor& e, PanoView& view, HDIB picture, int screenWidth, int screenHeight) {
    FreeCopies(e);
    e = ZoneEditor{};
    int width = 0, height = 0;
    {
        DibLock lock(picture);
        if (!lock || lock.bitCount() != 24 || lock.width() <= 0 || lock.height() <= 0) return false;
        width = lock.width();
        height = lock.height();
    }
    e.source = DuplicateDIB(picture);
    e.preview = DuplicateDIB(picture);
    if (!e.source || !e.preview) {
        FreeCopies(e);
        return false;
    }
    {
        std::lock_guard lock(view.motionZones.guard);
        e.context.cells = view.motionZones.zones.cells;
    }
    SetZoneGeometry(e.context, view.record.zoneStyle, width, height);
    e.screenWidth = screenWidth;
    e.screenHeight = screenHeight;
    e.open = true;
    RenderZonePreview(e);
    return true;
}

void ZoneEditorButtonDown(ZoneEditor& e, int x, int y, bool left) {
    if (e.open) BeginBand(e.band, x, y, left);
}

bool ZoneEditorMouseMove(ZoneEditor& e, int x, int y) { return MoveBand(e.band, x, y); }

void ZoneEditorButtonUp(ZoneEditor& e, int x, int y) {
    if (!e.band.active) return;
    MoveBand(e.band, x, y);
    e.band.active = false;
    ApplyZoneBand(e, e.band.x1, e.band.y1, e.band.x2, e.band.y2, static_cast<uint8_t>(e.band.value));
}

void ApplyZoneBand(ZoneEditor& e, int x1, int y1, int x2, int y2, uint8_t value) {
    if (!e.open || e.screenWidth <= 0 || e.screenHeight <= 0) return;
    auto cell = [](int v, int size) {
        return std::clamp(static_cast<int>(static_cast<int64_t>(v) * kZoneGrid / size), 0, kZoneGrid - 1);
    };
    const int ca = cell(x1, e.screenWidth), cb = cell(x2, e.screenWidth);
    const int ra = cell(y1, e.screenHeight), rb = cell(y2, e.screenHeight);
    for (int r = std::min(ra, rb); r <= std::max(ra, rb); ++r)
        for (int c = std::min(ca, cb); c <= std::max(ca, cb); ++c) e.context.cells[r * kZoneGrid + c] = value ? 1 : 0;
    RenderZonePreview(e);
}

void SetZoneEditorStyle(ZoneEditor& e, uint32_t style) {
    e.context.style = style;
    RenderZonePreview(e);
}

void RenderZonePreview(ZoneEditor& e) {
    if (!e.source || !e.preview) return;
    {
        DibLock src(e.source);
        DibLock dst(e.preview);
        if (!src || !dst) return;
        const size_t bytes = static_cast<size_t>(src.rowBytes()) * src.height();
        if (static_cast<size_t>(dst.rowBytes()) * dst.height() != bytes) return;
        std::memcpy(dst.bits(), src.bits(), bytes);
    }
    ApplyZones(e.context, e.preview);
}

void CloseZoneEditor(ZoneEditor& e, PanoView& view) {
    if (e.open) {
        std::lock_guard lock(view.motionZones.guard);
        ZoneContext& z = view.motionZones.zones;
        z.cells = e.context.cells;
        z.style = e.context.style;
        std::atomic_ref<uint32_t>(view.record.zoneStyle).store(e.context.style);
        PackZoneCells(e.context, view.record);
    }
    FreeCopies(e);
    e = ZoneEditor{};
}

}  // namespace orb
