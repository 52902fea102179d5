#include "camera/picture_scale.h"

#include "analysis/motion_view.h"
#include "camera/camera_view.h"
#include "config/library_state.h"
#include "config/settings.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"

namespace orb {

int32_t ViewDecodeScale(CameraView& view) {
    int32_t on = view.frames.scaledDecode.load(std::memory_order_relaxed);
    if (on < 0) {
        // Read once per view: the settings file is not read for every picture.
        on = ReadSettingInt(kScaledDecodeSection, kScaledDecodeKey, "1") != 0 ? 1 : 0;
        view.frames.scaledDecode.store(on, std::memory_order_relaxed);
    }
    return on ? view.dewarp.wantedScale.load(std::memory_order_relaxed) : 1;
}

void SetViewScaledDecode(CameraView& view, bool on) { view.frames.scaledDecode.store(on ? 1 : 0); }

namespace {

// The current picture's bytes decoded again at a reduction, zones on; 0 when they do not
// decode to the camera picture's size.
HDIB DecodeCurrentAgain(CameraView& view, int32_t scale, int32_t& used) {
    const FrameState& f = view.frames;
    if (f.currentJpeg.empty()) return nullptr;
    const ScaledPicture p = JpegDecodeScaled(f.currentJpeg.data(), f.currentJpeg.size(), PictureBudget(), scale);
    if (p.picture && (p.width != f.currentW || p.height != f.currentH)) {
        DestroyDIB(p.picture);
        return nullptr;
    }
    // The zones as the pipeline puts them on the pictures it shows.
    if (p.picture && g_lib.callerId >= 0 && g_lib.callerId <= 2) ApplyViewZones(view, p.picture, p.scale);
    used = p.scale;
    return p.picture;
}

}  // namespace

HDIB FullCurrentPicture(CameraView& view) {
    FrameState& f = view.frames;
    if (!f.current) return nullptr;
    if (f.currentScale <= 1) return DuplicateDIB(f.current);
    int32_t used = 0;
    HDIB full = DecodeCurrentAgain(view, 1, used);
    // Bytes that no longer decode (they always should): the picture as it is shown.
    return full ? full : DuplicateDIB(f.current);
}

bool SharpenCurrentPicture(CameraView& view) {
    FrameState& f = view.frames;
    if (!f.current || f.currentScale <= 1) return false;
    const int32_t wanted = ViewDecodeScale(view);
    if (wanted >= f.currentScale) return false;
    int32_t used = 0;
    HDIB sharper = DecodeCurrentAgain(view, wanted, used);
    if (!sharper) return false;
    if (used >= f.currentScale) {
        DestroyDIB(sharper);
        return false;
    }
    DestroyDIB(f.current);
    f.current = sharper;
    f.currentScale = used;
    if (used == 1) f.currentJpeg.clear();
    return true;
}

}  // namespace orb
