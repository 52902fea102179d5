// The host additions: the window layer, the views' figures, settings and recordings as a
// host on this platform reaches them (declared in orbiscope_host.h).
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "config/settings.h"
#include "ui/panoview.h"
#include "orbiscope_host.h"
#include "ui/photo_viewer.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/window.h"
#include "record/recording_source.h"
#include "ui/main_window.h"

static_assert(sizeof(OrbViewFigures) == 4 + 4 + 8 * ORB_STAGE_COUNT + 8 * 4 + 128 + 4 * 6, "OrbViewFigures layout");
static_assert(ORB_STAGE_COUNT == orb::kStageCount);
static_assert(ORB_WM_COMMAND == orb::WM_COMMAND && ORB_WM_CLOSE == orb::WM_CLOSE &&
              ORB_WM_KEYDOWN == orb::WM_KEYDOWN && ORB_WM_LBUTTONDOWN == orb::WM_LBUTTONDOWN);

extern "C" {

int32_t OrbiscopePumpMessages(void) { return orb::PumpMessages(); }

int32_t OrbiscopeIsWindow(void* window) { return orb::IsWindow(static_cast<orb::HWND>(window)) ? 1 : 0; }

intptr_t OrbiscopeSendMessage(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    const auto w = static_cast<orb::HWND>(window);
    return orb::IsWindow(w) ? orb::SendMessage(w, message, wParam, lParam) : 0;
}

int32_t OrbiscopeDestroyWindow(void* window) { return orb::DestroyWindow(static_cast<orb::HWND>(window)) ? 1 : 0; }

void* OrbiscopePhotoViewerWindow(void) {
    const auto w = orb::g_photoViewer.frame;
    return orb::IsWindow(w) ? w : nullptr;
}

int32_t OrbiscopeHasDisplay(void) { return orb::InitWindowing() == orb::Backend::Desktop ? 1 : 0; }

HDIB OrbiscopeWindowPicture(void* window) {
    const auto w = static_cast<orb::HWND>(window);
    return orb::IsWindow(w) ? orb::CaptureWindowPicture(w) : nullptr;
}

int32_t OrbiscopeSavePictureJpeg(HDIB picture, const char* path) {
    return picture && path && orb::JpegEncodeFile(picture, path) == 1 ? 1 : 0;
}

void* OrbiscopeViewWindow(int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(orb::g_ui.views.size())) return nullptr;
    orb::HWND w = orb::g_ui.views[static_cast<size_t>(index)];
    return orb::IsWindow(w) ? w : nullptr;
}

PanoView* OrbiscopeViewOf(void* viewWindow) {
    const auto w = static_cast<orb::HWND>(viewWindow);
    return orb::IsWindow(w) ? orb::ViewOf(w) : nullptr;
}

CameraRecord* OrbiscopeViewRecord(PanoView* view) { return view ? &view->record : nullptr; }

int32_t OrbiscopeViewPosition(PanoView* view, int32_t window, double* pan, double* tilt, double* zoom) {
    if (!view || window < 0 || window >= 6) return 0;
    std::lock_guard lock(view->ui.viewMutex);
    const ViewPreset& p = view->record.presets360[window];
    if (pan) *pan = p.pan;
    if (tilt) *tilt = p.tilt;
    if (zoom) *zoom = p.zoom;
    return 1;
}

int32_t OrbiscopeViewFigures(PanoView* view, OrbViewFigures* out) {
    if (!view || !out) return 0;
    *out = OrbViewFigures{};
    out->picturesShown = view->frames.pictures.load();
    out->picturesRecorded = view->frames.recorded.load();
    const orb::StageFigures& st = view->frames.stages;
    for (int k = 0; k < orb::kStageCount; ++k) out->stageCpuNs[k] = st.cpu[k].load();
    out->decodeWallNs = st.decodeWall.load();
    out->latencySumNs = st.latencySum.load();
    out->latencyMaxNs = st.latencyMax.load();
    out->latencyCount = st.latencyCount.load();
    const orb::FrameState& f = view->frames;
    out->decodeScale = f.shownScale.load();
    out->decodedWidth = f.decodedW.load();
    out->decodedHeight = f.decodedH.load();
    out->density = f.density.load();
    out->pictureWidth = f.pictureW.load();
    out->pictureHeight = f.pictureH.load();
    std::lock_guard lock(view->ui.statusMutex);
    const size_t n = std::min(view->ui.status.size(), sizeof out->status - 1);
    std::memcpy(out->status, view->ui.status.data(), n);
    return 1;
}

int32_t OrbiscopeViewPaints(PanoView* view, int32_t* paints, int64_t* longestGapNs, int32_t reset) {
    if (!view) return 0;
    if (paints) *paints = view->ui.paints.load();
    if (longestGapNs) *longestGapNs = view->ui.longestPaintGapNs.load();
    if (reset) orb::ResetPaintCount(view->ui);
    return 1;
}

int32_t OrbiscopeWriteSetting(const char* section, const char* key, const char* value) {
    if (!section || !key || !value) return 0;
    return orb::WriteSetting(section, key, value) ? 1 : 0;
}

int32_t OrbiscopeRecordingFrames(const char* path, int32_t* decodable) {
    if (!path) return -1;
    std::unique_ptr<orb::RecordingSource> reader;
    if (orb::OpenRecordingSource(path, reader, nullptr) != orb::OpenResult::Ok) return -1;
    const int32_t n = reader->FrameCount(true);
    if (decodable) {
        *decodable = 0;
        for (int32_t i = 0; i < n; ++i) {
            HDIB picture = nullptr;
            SystemTime time{};
            if (reader->Fetch(i, 1, picture, time, true) == orb::FrameFetch::Ready) ++*decodable;
            orb::GlobalFree(picture);
        }
    }
    return n;
}

}
