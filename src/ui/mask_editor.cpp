#include "ui/mask_editor.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "ui/panoview.h"
#include "platform/dib.h"
#include "platform/paths.h"
#include "platform/private_files.h"

namespace orb {

namespace {

std::atomic<int32_t> g_maskEditorOpen{0};

void FreeCopies(MaskEditor& e) {
    if (e.source) DestroyDIB(e.source);
    if (e.preview) DestroyDIB(e.preview);
    e.source = e.preview = nullptr;
}

constexpr size_t kWritePiece = 3000;

}  // namespace

bool MaskEditorIsOpen() { return g_maskEditorOpen.load() != 0; }

bool OpenMaskEditor(MaskEditor& e, PanoView& view, HDIB picture, int screenWidth, int screenHeight) {
    CloseMaskEditor(e);
    MotionState* detector = view.motionZones.detector.get();
    if (!detector || !picture) return false;
    {
        DibLock lock(picture);
        if (!lock || lock.bitCount() != 24 || lock.width() <= 0 || lock.height() <= 0) return false;
        e.width = lock.width();
        e.height = lock.height();
    }
    e.source = DuplicateDIB(picture);
    e.preview = DuplicateDIB(picture);
    if (!e.source || !e.preview) {
        FreeCopies(e);
        e = MaskEditor{};
        return false;
    }
    int32_t& s = view.record.motionSensitivity;
    if (s < kMinMaskSensitivity || s > kMaxMaskSensitivity) s = kDefaultSensitivity;
    e.sensitivity = s;
    e.bw = BlockCount(e.width);
    e.bh = BlockCount(e.height);
    try {
        e.mask.assign(static_cast<size_t>(e.bw) * e.bh, 0);
    } catch (const std::bad_alloc&) {
        FreeCopies(e);
        e = MaskEditor{};
        return false;
    }
    // A mask made for another picture size has another grid: the editor starts clear then.
    if (auto mask = CurrentMotionMask(*detector); mask && mask->header.bw == e.bw && mask->header.bh == e.bh) {
        std::copy_n(mask->bytes.begin(), e.mask.size(), e.mask.begin());
        RenderMaskPreview(e);
    }
    e.screenWidth = screenWidth;
    e.screenHeight = screenHeight;
    e.open = true;
    g_maskEditorOpen.store(1);
    return true;
}

void MaskEditorButtonDown(MaskEditor& e, int x, int y, bool left) {
    if (e.open) BeginBand(e.band, x, y, left);
}

bool MaskEditorMouseMove(MaskEditor& e, int x, int y) { return MoveBand(e.band, x, y); }

void MaskEditorButtonUp(MaskEditor& e, int x, int y) {
    if (!e.band.active) return;
    MoveBand(e.band, x, y);
    e.band.active = false;
    ApplyMaskBand(e, e.band.x1, e.band.y1, e.band.x2, e.band.y2, static_cast<uint8_t>(e.band.value));
}

void ApplyMaskBand(MaskEditor& e, int x1, int y1, int x2, int y2, uint8_t value) {
    if (!e.open || e.mask.empty()) return;
    const int px1 = MulDivRound(x1, e.width, e.screenWidth), px2 = MulDivRound(x2, e.width, e.screenWidth);
    const int py1 = MulDivRound(y1, e.height, e.screenHeight), py2 = MulDivRound(y2, e.height, e.screenHeight);
    // A band reaches into a block it touches nearly: 4 pixels to the left, 3 to the right.
    const int c0 = std::max(0, std::min(px1, px2) - 4) >> 3;
    const int c1 = std::min((std::max(px1, px2) + 3) >> 3, e.bw - 1);
    const int r0 = std::max(0, std::min(py1, py2) - 4) >> 3;
    const int r1 = std::min((std::max(py1, py2) + 3) >> 3, e.bh - 1);
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) e.mask[static_cast<size_t>(r) * e.bw + c] = value;
    RenderMaskPreview(e);
}

void ClearMask(MaskEditor& e) {
    std::fill(e.mask.begin(), e.mask.end(), 0);
    RenderMaskPreview(e);
}

void InvertMask(MaskEditor& e) {
    for (auto& b : e.mask) b = b ? 0 : 1;
    RenderMaskPreview(e);
}

void SetMaskSensitivity(MaskEditor& e, int value) {
    e.sensitivity = std::clamp(value, kMinMaskSensitivity, kMaxMaskSensitivity);
}

void ResetMaskSensitivity(MaskEditor& e) { e.sensitivity = kDefaultSensitivity; }

void RenderMaskPreview(MaskEditor& e) {
    if (!e.source || !e.preview || e.mask.empty()) return;
    DibLock src(e.source);
    DibLock dst(e.preview);
    if (!src || !dst || dst.width() != e.width || dst.height() != e.height) return;
    const int stride = src.rowBytes();
    const uint8_t* from = src.bits();
    uint8_t* to = dst.bits();
    for (int y = 0; y < e.height; ++y) {
        // Memory row y lies in band y / 8 from the bottom; the mask counts bands from the top,
        // exactly as the detector reads it.
        const uint8_t* maskRow = &e.mask[static_cast<size_t>(e.bh - 1 - (y >> 3)) * e.bw];
        const uint8_t* s = from + static_cast<size_t>(y) * stride;
        uint8_t* d = to + static_cast<size_t>(y) * stride;
        for (int x = 0; x < e.width; ++x, s += 3, d += 3) {
            if (maskRow[x >> 3]) {
                d[0] = s[0] >> 1;
                d[1] = s[1] >> 1;
                d[2] = static_cast<uint8_t>((s[2] >> 1) + 128);
            } else {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        }
    }
}

bool SaveMotionMask(MaskEditor& e, PanoView& view) {
    MotionState* detector = view.motionZones.detector.get();
    const std::string path = MaskFilePath(view.record);
    if (std::none_of(e.mask.begin(), e.mask.end(), [](uint8_t b) { return b != 0; })) {
        if (!path.empty()) std::remove(path.c_str());
        if (detector) ReplaceMotionMask(*detector, nullptr);
        return true;
    }
    if (path.empty()) return false;
    MakeDirs(JoinPath(LibraryDir(), "Temp"));
    const MaskHeader header{view.record.modelIndex, e.width, e.height, e.bw, e.bh};
    const std::vector<uint8_t> bytes = EncodeMaskFile(header, e.mask);
    FILE* f = OpenFile(path.c_str(), "wb+");
    if (!f) return false;
    bool ok = true;
    for (size_t at = 0; ok && at < bytes.size(); at += kWritePiece) {
        const size_t n = std::min(kWritePiece, bytes.size() - at);
        ok = std::fwrite(bytes.data() + at, 1, n, f) == n;
    }
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) return false;
    if (detector) {
        auto mask = std::make_shared<MotionMask>();
        mask->header = header;
        mask->bytes.assign(static_cast<size_t>(e.bw + 2) * (e.bh + 2), 0);
        std::copy(e.mask.begin(), e.mask.end(), mask->bytes.begin());
        ReplaceMotionMask(*detector, std::move(mask));
    }
    return true;
}

bool MaskEditorOk(MaskEditor& e, PanoView& view) {
    if (!e.open) return false;
    std::atomic_ref<int32_t>(view.record.motionSensitivity).store(e.sensitivity);
    const bool saved = SaveMotionMask(e, view);
    CloseMaskEditor(e);
    return saved;
}

void CloseMaskEditor(MaskEditor& e) {
    const bool wasOpen = e.open;
    FreeCopies(e);
    e = MaskEditor{};
    if (wasOpen) g_maskEditorOpen.store(0);
}

}  // namespace orb
