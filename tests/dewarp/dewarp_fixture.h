// A view wired to a rendered scene, for the dewarping tests.
#pragma once
#include <memory>

#include "common/scene_renderer.h"
#include "dewarp/dewarp.h"
#include "ui/panoview.h"
#include "platform/dib.h"

namespace dwtest {

struct Dib {
    HDIB h = nullptr;
    explicit Dib(HDIB handle = nullptr) : h(handle) {}
    ~Dib() { if (h) orb::DestroyDIB(h); }
    Dib(const Dib&) = delete;
    void reset(HDIB n) { if (h) orb::DestroyDIB(h); h = n; }
};

struct SceneView {
    std::unique_ptr<PanoView> view = std::make_unique<PanoView>();
    Dib src, dst;
    orbtools::SceneLens lens;

    SceneView(const orbtools::SceneLens& l, int w, int h, int mode360, int bits = 24) : lens(l) {
        orb::FillDefaultPresets(view->record);
        view->record.effectiveAngle = 60.0;
        view->record.tiltMin = -90.0;
        view->record.perspectiveDistance = 10.0;
        src.reset(orbtools::RenderScene(l, &view->record));
        view->record.showMode360 = mode360;
        dst.reset(orb::CreateDIB(w, h, bits));
        orb::SetViewSize(*view, w, h);
        orb::AttachPictures(*view, src.h, dst.h);
    }
    int update() {
        orb::RebuildPanorama(*view);
        return orb::UpdatePanorama(*view);
    }
    orb::DewarpState& d() { return view->dewarp; }
    // Output pixel at column x, row y from the top of the view.
    orbtools::Bgr at(int x, int y) const {
        orb::DibLock l(dst.h);
        const uint8_t* p = l.rowFromTop(y) + x * (l.bitCount() / 8);
        return {p[0], p[1], p[2]};
    }
    int bandAt(int x, int y) const { return orbtools::BandOfColour(at(x, y)); }
    // Map entry for column x, row y from the top.
    orb::MapCoord coord(int x, int y) { return d().coordMap[size_t(d().H - 1 - y) * d().W + x]; }
    orb::MapFrac frac(int x, int y) { return d().fracMap[size_t(d().H - 1 - y) * d().W + x]; }
};

}  // namespace dwtest
