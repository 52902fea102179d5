// The vector paths of the sampler give the reference's bytes: over hand-made maps full of
// border, out-of-picture and last-pixel entries, and through the whole update for every
// lens, layout, odd size, bit depth and colour setting.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "dewarp_fixture.h"

namespace {

using dwtest::Dib;
using orb::SamplerPath;

std::vector<SamplerPath> VectorPaths() {
    std::vector<SamplerPath> paths;
    for (SamplerPath p : {SamplerPath::kSse41, SamplerPath::kAvx2})
        if (orb::SamplerPathRuns(p)) paths.push_back(p);
    return paths;
}

// Puts the process-wide path back when a test ends.
struct PathGuard {
    ~PathGuard() { orb::SetSamplerPath(orb::BestSamplerPath()); }
};

// A picture in a block of exactly its own bytes, so that a read past it is caught by the
// address sanitizer.
struct RawPicture {
    int w, h, bpp, stride;
    std::unique_ptr<uint8_t[]> bits;
    RawPicture(int width, int height, int bytesPerPixel, std::mt19937& rng)
        : w(width), h(height), bpp(bytesPerPixel), stride(((width * bytesPerPixel + 3) / 4) * 4),
          bits(new uint8_t[size_t(stride) * height]) {
        for (int i = 0; i < stride * height; ++i) bits[i] = uint8_t(rng());
        // Some flat white and black so that the extreme levels appear.
        for (int x = 0; x < std::min(w, 3) * bpp; ++x) bits[x] = 255, bits[size_t(stride) * (h - 1) + x] = 0;
    }
};

// A map entry picked to hit every case of the sampler: inside, each side of the one-pixel
// border, just outside it, far outside, the black marker, and the picture's last pixels.
orb::MapCoord Entry(std::mt19937& rng, int w, int h) {
    const int kind = int(rng() % 12);
    auto any = [&](int n) { return int(rng() % unsigned(n + 4)) - 2; };
    switch (kind) {
        case 0: return {int16_t(-1), int16_t(any(h))};
        case 1: return {int16_t(w - 1), int16_t(any(h))};
        case 2: return {int16_t(any(w)), int16_t(-1)};
        case 3: return {int16_t(any(w)), int16_t(h - 1)};
        case 4: return {int16_t(w - 2), int16_t(0)};  // its 8-byte load would end past the picture
        case 5: return {int16_t(rng() % 2 ? -2 : w), int16_t(any(h))};
        case 6: return orb::kBlackEntry;
        case 7: return {int16_t(rng()), int16_t(rng())};
        default: return {int16_t(rng() % unsigned(std::max(1, w - 1))), int16_t(rng() % unsigned(std::max(1, h - 1)))};
    }
}

TEST(SamplerPaths, HandMadeMapsGiveTheReferenceBytes) {
    PathGuard guard;
    const auto paths = VectorPaths();
    if (paths.empty()) GTEST_SKIP() << "this processor has no vector path";
    std::mt19937 rng(2024);
    orb::ColourTables ct;
    orb::BuildColourTables(30, -20, 10, -40, 77, ct);
    // 701 x 523 is over a megabyte: the kernels fetch the source of later rows ahead there.
    const int sizes[][2] = {{1, 1}, {2, 2}, {3, 2}, {2, 5}, {5, 7}, {17, 13}, {64, 48}, {641, 479}, {701, 523}, {1, 9}, {9, 1}};
    for (const auto& size : sizes)
        for (int srcBpp : {3, 4})
            for (int dstBpp : {3, 4})
                for (int colour : {0, 1}) {
                    RawPicture src(size[0], size[1], srcBpp, rng);
                    // A 41 x 23 map sampled in a rectangle with odd edges and widths.
                    const int mw = 41, mh = 23;
                    std::vector<orb::MapCoord> coords(mw * mh);
                    std::vector<orb::MapFrac> fracs(mw * mh);
                    for (int i = 0; i < mw * mh; ++i) {
                        coords[i] = Entry(rng, src.w, src.h);
                        fracs[i] = {uint8_t(rng() % 4 == 0 ? 0 : rng()), uint8_t(rng() % 4 == 0 ? 255 : rng())};
                    }
                    const int dstStride = ((mw * dstBpp + 3) / 4) * 4;
                    std::vector<uint8_t> reference(size_t(dstStride) * mh);
                    for (size_t i = 0; i < reference.size(); ++i) reference[i] = uint8_t(i * 7);
                    std::vector<uint8_t> vectored = reference;
                    ct.on = colour;
                    auto run = [&](SamplerPath p, std::vector<uint8_t>& dst) {
                        orb::SampleTarget t{src.bits.get(), src.stride, src.w, src.h, srcBpp, dst.data(), dstStride, dstBpp, &ct};
                        for (int span : {1, 3, 7, 8, 9, 16, 31, 40}) {
                            const int x0 = (span * 5) % (mw - span + 1), row = span % 5;
                            orb::SampleRowsWith(p, t, coords.data(), fracs.data(), mw, x0, row * 4, span, 4);
                        }
                        orb::SampleRowsWith(p, t, coords.data(), fracs.data(), mw, 0, 20, mw, 3);
                    };
                    run(SamplerPath::kScalar, reference);
                    for (SamplerPath p : paths) {
                        std::vector<uint8_t> out = vectored;
                        run(p, out);
                        ASSERT_EQ(out, reference) << "path " << int(p) << " source " << src.w << "x" << src.h << " depths "
                                                  << srcBpp << "/" << dstBpp << " colour " << colour;
                    }
                }
}

// A view of a lens and layout, its source picture turned to 32 bits when asked.
struct Case {
    int lensType, mode, w, h, srcBits, dstBits;
    bool colour, flips;
};

std::vector<uint8_t> Render(const Case& c, SamplerPath path) {
    orbtools::SceneLens lens;
    lens.lensType = c.lensType >= 2 && c.lensType <= 9 ? c.lensType : orb::kLensFisheye;
    lens.width = 203, lens.height = 151, lens.centerX = 101, lens.centerY = 75, lens.firstRadius = 73;
    lens.secondRadius = 20;
    dwtest::SceneView v(lens, c.w, c.h, c.mode, c.dstBits);
    CameraRecord& r = v.view->record;
    r.lensType = c.lensType;
    r.showMode180 = c.mode % 7;
    r.flipHorizontal = r.flipVertical = c.flips;
    if (c.colour) {
        r.colourBalanceOn = 1;
        r.colourShift[0] = 40, r.colourShift[1] = -30, r.colourShift[2] = 15, r.colourShift[3] = 20, r.colourShift[4] = -10;
    }
    if (c.srcBits == 32) {
        HDIB wide = nullptr;
        {
            orb::DibLock s(v.src.h);
            wide = orb::CreateDIB(s.width(), s.height(), 32);
            orb::DibLock w(wide);
            for (int y = 0; y < s.height(); ++y)
                for (int x = 0; x < s.width(); ++x) {
                    std::memcpy(w.rowFromTop(y) + x * 4, s.rowFromTop(y) + x * 3, 3);
                    w.rowFromTop(y)[x * 4 + 3] = uint8_t(x + y);
                }
        }
        v.src.reset(wide);
        orb::AttachPictures(*v.view, v.src.h, v.dst.h);
    }
    {
        orb::DibLock d(v.dst.h);
        for (int i = 0; i < d.rowBytes() * c.h; ++i) d.bits()[i] = uint8_t(i * 13);
    }
    orb::SetSamplerPath(path);
    v.update();
    orb::UpdatePanorama(*v.view);
    orb::DibLock d(v.dst.h);
    return std::vector<uint8_t>(d.bits(), d.bits() + d.rowBytes() * c.h);
}

TEST(SamplerPaths, EveryLensLayoutDepthAndColourGivesTheReferenceBytes) {
    PathGuard guard;
    const auto paths = VectorPaths();
    if (paths.empty()) GTEST_SKIP() << "this processor has no vector path";
    int compared = 0;
    for (int type = 0; type <= 11; ++type)
        for (int mode = 0; mode <= 10; ++mode) {
            if ((type == orb::kLens180 || type == orb::kLens90) && mode > 6) continue;
            const int k = type * 11 + mode;  // vary the other settings from case to case
            const Case c{type, mode, k % 2 ? 97 : 64, k % 3 ? 61 : 48, k % 4 == 1 ? 32 : 24, k % 5 == 2 ? 32 : 24,
                         k % 3 == 0, k % 7 == 3};
            const std::vector<uint8_t> reference = Render(c, SamplerPath::kScalar);
            for (SamplerPath p : paths) {
                ASSERT_EQ(Render(c, p), reference) << "path " << int(p) << " lens " << type << " mode " << mode;
                ++compared;
            }
        }
    EXPECT_GT(compared, 100);
    // Both depths on both sides, colour on and off, one layout of each family.
    for (int type : {orb::kLensFisheye, orb::kLensConvexMirror, orb::kLens180, orb::kLensNormal})
        for (int srcBits : {24, 32})
            for (int dstBits : {24, 32})
                for (bool colour : {false, true}) {
                    const Case c{type, type == orb::kLens180 ? 2 : 9, 131, 77, srcBits, dstBits, colour, false};
                    const std::vector<uint8_t> reference = Render(c, SamplerPath::kScalar);
                    for (SamplerPath p : paths) ASSERT_EQ(Render(c, p), reference) << "lens " << type << " " << srcBits;
                }
}

TEST(SamplerPaths, ChoiceFallsBackToWhatTheProcessorRuns) {
    PathGuard guard;
    EXPECT_TRUE(orb::SamplerPathRuns(SamplerPath::kScalar));
    EXPECT_TRUE(orb::SamplerPathRuns(orb::BestSamplerPath()));
    orb::SetSamplerPath(SamplerPath::kScalar);
    EXPECT_EQ(orb::CurrentSamplerPath(), SamplerPath::kScalar);
    orb::SetSamplerPath(SamplerPath::kAvx2);
    EXPECT_TRUE(orb::SamplerPathRuns(orb::CurrentSamplerPath()));
    EXPECT_EQ(orb::CurrentSamplerPath() == SamplerPath::kAvx2, orb::SamplerPathRuns(SamplerPath::kAvx2));
}

}  // namespace
