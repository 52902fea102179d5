// The dewarped room judged by what it means: in the panorama of every lens the door's edges
// are vertical, the clock is round and the name sign reads where the room puts it. The lens
// pictures come from the simulated cameras' own projection of the room (room_renderer.h),
// the panoramas from the library; the expected places from the room's geometry and the
// panorama layouts, independently of the library's maps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "common/room_renderer.h"
#include "common/simulated_cameras.h"
#include "config/camera_record.h"
#include "orbiscope_host.h"
#include "platform/dib.h"

namespace {

using orbtools::Vec3;
namespace room = orbtools::room;
constexpr double kPi = std::numbers::pi, kDeg = kPi / 180;
constexpr int kWidth = 960, kHeight = 720;  // the lens pictures
constexpr double kPixelsPerDegree = 6.0;    // of the panoramas asked for

struct Image {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;  // rows from the top
    const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * w + x) * 3]; }
    double luma(int x, int y) const { return (at(x, y)[0] + at(x, y)[1] + at(x, y)[2]) / 3.0; }
};

Image FromPicture(HDIB h, int firstRow = 0, int rows = -1) {
    orb::DibLock l(h);
    Image im;
    im.w = l.width();
    im.h = rows < 0 ? l.height() - firstRow : rows;
    im.rgb.resize(static_cast<size_t>(im.w) * im.h * 3);
    for (int y = 0; y < im.h; ++y) {
        const uint8_t* src = l.rowFromTop(firstRow + y);
        for (int x = 0; x < im.w; ++x)
            for (int k = 0; k < 3; ++k) im.rgb[(static_cast<size_t>(y) * im.w + x) * 3 + k] = src[3 * x + 2 - k];
    }
    return im;
}

// The panorama a lens is judged in and its geometry: for the 360-degree lenses the strip at
// the bottom of a window-over-strip view (columns one turn of azimuth, rows the lens radius
// from the inner to the outer one, bottom up); for the 180/90 family the whole panorama, one
// window (columns longitude, rows latitude, both even in angle).
struct Panorama {
    orbtools::SceneLens lens;
    orbtools::RoomPose pose;
    CameraRecord record{};
    bool half = false, mirrored = false;
    int viewW = 0, viewH = 0, rows = 0, top = 0;  // the strip: `rows` rows from row `top`
    double rIn = 0, dr = 0;                        // 360: radius of the strip's bottom row, per row
    double lamMin = 0, lamMax = 0, phiMin = 0, phiMax = 0;
    double perDegreeX = 0, perDegreeY = 0;

    // Where a point of the room shows (column, row from the panorama's top).
    bool PointOf(Vec3 p, double& c, double& i) const {
        const Vec3 d = orbtools::Unit(p - pose.position);
        if (half) {
            const double X = Dot(d, pose.right), Y = Dot(d, pose.down), Z = Dot(d, pose.axis);
            const double lam = std::atan2(X, Z) / kDeg, phi = std::asin(std::clamp(Y, -1.0, 1.0)) / kDeg;
            c = (lam - lamMin) / (lamMax - lamMin) * (viewW - 1);
            i = (phi - phiMin) / (phiMax - phiMin) * (rows - 1);
            return true;
        }
        double x, y;
        orbtools::LensPointOf(lens, pose, d, x, y);
        const double dx = x - lens.centerX, dy = y - lens.centerY, r = std::hypot(dx, dy);
        double j = (std::atan2(-dx, dy) + kPi) * viewW / (2 * kPi);
        j = std::fmod(j + viewW, viewW);
        c = mirrored ? viewW - 1 - j : j;
        i = rows - 1 - (r - rIn) / dr;
        return true;
    }
    // The direction the panorama's pixel shows, by the lens model of the simulated camera.
    bool RayOf(double c, double i, Vec3& d) const {
        if (half) {
            const double lam = (lamMin + (lamMax - lamMin) * c / (viewW - 1)) * kDeg;
            const double phi = (phiMin + (phiMax - phiMin) * i / (rows - 1)) * kDeg;
            d = pose.right * (std::sin(lam) * std::cos(phi)) + pose.down * std::sin(phi) +
                pose.axis * (std::cos(lam) * std::cos(phi));
            return true;
        }
        const double j = mirrored ? viewW - 1 - c : c, theta = -kPi + j * 2 * kPi / viewW;
        const double r = rIn + (rows - 1 - i) * dr;
        return orbtools::LensRayOf(lens, pose, lens.centerX - std::sin(theta) * r, lens.centerY + std::cos(theta) * r, d);
    }
};

Panorama PanoramaOf(orbtools::SimulatedLens kind) {
    Panorama p;
    orbtools::RoomLoop one;
    const orbtools::SimulatedCamera cam = orbtools::MakeSimulatedCamera(kind, kWidth, kHeight, one);
    p.lens = cam.lens;
    p.pose = orbtools::RoomPoseOf(p.lens);
    p.record = cam.record;
    p.half = p.lens.lensType == orb::kLens180 || p.lens.lensType == orb::kLens90;
    p.mirrored = p.lens.lensType == orb::kLensConvexMirror;
    if (p.half) {
        // The equidistant model's longitudes and latitudes, cut by the lens's field and the
        // record's vertical span.
        const bool ninety = p.lens.lensType == orb::kLens90;
        const double span = ninety ? p.record.lensSpan90 : p.record.lensSpan180;
        const double vspan = ninety ? p.record.verticalSpan90 : p.record.verticalSpan180;
        p.lamMax = std::min({span / 2, 90.0, p.lens.halfFov});
        p.phiMax = std::min({90.0, p.lens.halfFov, vspan / 2});
        p.lamMin = -p.lamMax, p.phiMin = -p.phiMax;
        p.viewW = static_cast<int>(std::lround((p.lamMax - p.lamMin) * kPixelsPerDegree)) + 1;
        p.viewH = p.rows = static_cast<int>(std::lround((p.phiMax - p.phiMin) * kPixelsPerDegree)) + 1;
        p.record.showMode180 = 1;
        p.perDegreeX = (p.viewW - 1) / (p.lamMax - p.lamMin);
        p.perDegreeY = (p.rows - 1) / (p.phiMax - p.phiMin);
        return p;
    }
    // The strip's radii in 1/256 pixel, the step truncated as the strip layout has it.
    const int64_t out256 = static_cast<int64_t>(p.lens.firstRadius) * 256;
    const int64_t in256 = p.lens.lensType == orb::kLensFisheye ? out256 / 10 : static_cast<int64_t>(p.lens.secondRadius) * 256;
    const double rOut = p.lens.firstRadius;
    p.rIn = in256 / 256.0;
    // Rows enough for the same detail across and up: the elevations of the strip's ends.
    auto elevation = [&](double r) {
        Vec3 d;
        orbtools::LensRayOf(p.lens, p.pose, p.lens.centerX, p.lens.centerY - r, d);
        return std::asin(Dot(d, p.pose.axis)) / kDeg;
    };
    const double span = elevation(p.rIn + 1e-6) - elevation(rOut - 1e-6);
    p.viewW = 360 * static_cast<int>(kPixelsPerDegree);
    p.rows = static_cast<int>(std::lround(span * kPixelsPerDegree)) + 1;
    p.viewH = 3 * p.rows;
    p.top = p.viewH - p.rows;
    p.dr = static_cast<double>((out256 - in256) / (p.rows - 1)) / 256.0;
    p.record.showMode360 = orb::kShow360WindowStrip;
    p.perDegreeX = p.viewW / 360.0;
    p.perDegreeY = (p.rows - 1) / span;
    return p;
}

// The library's panorama of the still room through the lens, with the record given.
Image Dewarped(const Panorama& p, const CameraRecord& record) {
    HDIB source = orbtools::RenderRoom(p.lens, orbtools::StillRoom());
    HDIB view = OrbiscopeDewarpPicture(&record, source, p.viewW, p.viewH);
    orb::DestroyDIB(source);
    if (!view) return {};
    Image im = FromPicture(view, p.top, p.rows);
    orb::DestroyDIB(view);
    return im;
}

// The door's edges: per row over the door's height, where the white frame meets the dark
// leaf (to a fraction of a pixel). The largest distance of a row's edge from the edge's mean
// column, for each of the two edges, and the means.
struct Edges {
    int rows = 0;
    double spread[2] = {1e9, 1e9}, mean[2] = {0, 0}, expected[2] = {0, 0};
};

Edges DoorEdges(const Panorama& p, const Image& im) {
    Edges e;
    const double xs[2] = {room::kDoorEast, room::kDoorWest};  // the strip shows the east edge first
    std::vector<double> found[2];
    for (int k = 0; k < 2; ++k) {
        double c0, i0, c1, i1;
        p.PointOf({xs[k], room::kSouth, 1.9}, c0, i0);
        p.PointOf({xs[k], room::kSouth, 0.35}, c1, i1);
        e.expected[k] = (c0 + c1) / 2;
        for (int i = static_cast<int>(std::ceil(std::min(i0, i1))); i <= static_cast<int>(std::max(i0, i1)); ++i) {
            double z = 0, cc, ii;
            // The height of this row on the edge: skip the handle's rows.
            for (double zz = 0.35; zz <= 1.9; zz += 0.01)
                if (p.PointOf({xs[k], room::kSouth, zz}, cc, ii), std::fabs(ii - i) < 0.6) z = zz;
            if (z > 0.9 && z < 1.2) continue;
            const int from = static_cast<int>(e.expected[k]) - 6, to = static_cast<int>(e.expected[k]) + 6;
            if (from < 0 || to + 1 >= im.w || i < 0 || i >= im.h) continue;
            double lo = 255, hi = 0;
            for (int c = from; c <= to; ++c) lo = std::min(lo, im.luma(c, i)), hi = std::max(hi, im.luma(c, i));
            const double mid = (lo + hi) / 2;
            for (int c = from; c < to; ++c) {
                const double a = im.luma(c, i), b = im.luma(c + 1, i);
                const bool crossing = k == 0 ? (a >= mid && b < mid) : (a < mid && b >= mid);
                if (crossing && hi - lo > 60) {
                    found[k].push_back(c + (a - mid) / (a - b));
                    break;
                }
            }
        }
    }
    e.rows = static_cast<int>(std::min(found[0].size(), found[1].size()));
    for (int k = 0; k < 2; ++k) {
        if (found[k].empty()) continue;
        double sum = 0;
        for (double v : found[k]) sum += v;
        e.mean[k] = sum / found[k].size();
        e.spread[k] = 0;
        for (double v : found[k]) e.spread[k] = std::max(e.spread[k], std::fabs(v - e.mean[k]));
    }
    return e;
}

// The clock's extent across and up, in degrees, from the second moments of what is not
// wall around it (a disc of radius R has a variance R²/4 along each axis).
struct Clock {
    double across = 0, up = 0, expected = 0;
};

Clock ClockExtent(const Panorama& p, const Image& im) {
    double cx, cy, ex, ey;
    p.PointOf({room::kClockX, room::kSouth, room::kClockZ}, cx, cy);
    p.PointOf({room::kClockX, room::kSouth, room::kClockZ + room::kClockRadius}, ex, ey);
    const double radius = std::fabs(cy - ey), box = radius * 1.2;
    // The box round the clock, cut by the panorama's edges (the fisheye's clock reaches
    // close to the strip's top).
    const int x0 = std::max(0, static_cast<int>(cx - box)), x1 = std::min(im.w - 1, static_cast<int>(cx + box));
    const int y0 = std::max(0, static_cast<int>(cy - box)), y1 = std::min(im.h - 1, static_cast<int>(cy + box));
    Clock out;
    out.expected = radius / p.perDegreeY;
    if (x1 - x0 < radius || y1 - y0 < radius) return out;
    // The wall's colour: the median of the box's border.
    std::vector<int> border[3];
    for (int x = x0; x <= x1; ++x)
        for (int y : {y0, y1})
            for (int k = 0; k < 3; ++k) border[k].push_back(im.at(x, y)[k]);
    int wall[3];
    for (int k = 0; k < 3; ++k) {
        std::nth_element(border[k].begin(), border[k].begin() + border[k].size() / 2, border[k].end());
        wall[k] = border[k][border[k].size() / 2];
    }
    double n = 0, sx = 0, sy = 0, sxx = 0, syy = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const uint8_t* c = im.at(x, y);
            if (std::abs(c[0] - wall[0]) + std::abs(c[1] - wall[1]) + std::abs(c[2] - wall[2]) < 40) continue;
            n += 1, sx += x, sy += y, sxx += static_cast<double>(x) * x, syy += static_cast<double>(y) * y;
        }
    if (n < 10) return out;
    const double vx = sxx / n - (sx / n) * (sx / n), vy = syy / n - (sy / n) * (sy / n);
    out.across = 2 * std::sqrt(vx) / p.perDegreeX;
    out.up = 2 * std::sqrt(vy) / p.perDegreeY;
    return out;
}

// The sign: the panorama that the room and the lens model give around the sign, found in the
// library's panorama by normalised cross-correlation. The best offset and its score.
struct Match {
    int dx = 99, dy = 99;
    double score = -1;
};

Match FindSign(const Panorama& p, const Image& im) {
    double c0 = 1e9, c1 = -1e9, i0 = 1e9, i1 = -1e9;
    for (double x : {room::kSignWest, (room::kSignWest + room::kSignEast) / 2, room::kSignEast})
        for (double z : {room::kSignBottom, room::kSignTop}) {
            double c, i;
            p.PointOf({x, room::kSouth, z}, c, i);
            c0 = std::min(c0, c), c1 = std::max(c1, c), i0 = std::min(i0, i), i1 = std::max(i1, i);
        }
    const int x0 = static_cast<int>(c0) - 2, x1 = static_cast<int>(c1) + 2, y0 = static_cast<int>(i0) - 2,
              y1 = static_cast<int>(i1) + 2;
    const int tw = x1 - x0 + 1, th = y1 - y0 + 1;
    std::vector<double> tpl(static_cast<size_t>(tw) * th);
    const orbtools::RoomState still = orbtools::StillRoom();
    double mean = 0;
    for (int y = 0; y < th; ++y)
        for (int x = 0; x < tw; ++x) {
            Vec3 d;
            double v = 0;
            if (p.RayOf(x0 + x, y0 + y, d)) {
                const orbtools::Rgb c = orbtools::TraceRoom(still, p.pose.position, d, 0.5 * kDeg / kPixelsPerDegree);
                v = (c.r + c.g + c.b) / 3;
            }
            tpl[static_cast<size_t>(y) * tw + x] = v;
            mean += v;
        }
    mean /= tpl.size();
    double tnorm = 0;
    for (double& v : tpl) v -= mean, tnorm += v * v;
    Match best;
    constexpr int kSearch = 10;
    for (int dy = -kSearch; dy <= kSearch; ++dy)
        for (int dx = -kSearch; dx <= kSearch; ++dx) {
            if (x0 + dx < 0 || y0 + dy < 0 || x1 + dx >= im.w || y1 + dy >= im.h) continue;
            double m = 0;
            for (int y = 0; y < th; ++y)
                for (int x = 0; x < tw; ++x) m += im.luma(x0 + dx + x, y0 + dy + y);
            m /= tpl.size();
            double dot = 0, inorm = 0;
            for (int y = 0; y < th; ++y)
                for (int x = 0; x < tw; ++x) {
                    const double v = im.luma(x0 + dx + x, y0 + dy + y) - m;
                    dot += v * tpl[static_cast<size_t>(y) * tw + x];
                    inorm += v * v;
                }
            const double score = dot / std::sqrt(tnorm * inorm + 1e-9);
            if (score > best.score) best = {dx, dy, score};
        }
    return best;
}

struct Verdict {
    bool vertical = false, round = false, sign = false;
    std::string said;
};

Verdict Judge(const Panorama& p, const CameraRecord& record) {
    const Image im = Dewarped(p, record);
    Verdict v;
    if (im.w == 0) {
        v.said = "no panorama";
        return v;
    }
    const Edges e = DoorEdges(p, im);
    const Clock c = ClockExtent(p, im);
    const Match m = FindSign(p, im);
    v.vertical = e.rows > 40 && e.spread[0] <= 1.0 && e.spread[1] <= 1.0 && std::fabs(e.mean[0] - e.expected[0]) < 2 &&
                 std::fabs(e.mean[1] - e.expected[1]) < 2;
    v.round = c.up > 0 && std::fabs(c.across / c.up - 1) < 0.02 && std::fabs(c.up / c.expected - 1) < 0.05;
    v.sign = std::abs(m.dx) <= 1 && std::abs(m.dy) <= 1 && m.score > 0.85;
    char line[400];
    std::snprintf(line, sizeof line,
                  "door: %d rows, edges %.2f and %.2f px off straight, at %.1f and %.1f (room: %.1f and %.1f); "
                  "clock %.2f x %.2f degrees (room: %.2f); sign at (%d, %d), score %.3f",
                  e.rows, e.spread[0], e.spread[1], e.mean[0], e.mean[1], e.expected[0], e.expected[1], 2 * c.across,
                  2 * c.up, 2 * c.expected, m.dx, m.dy, m.score);
    v.said = line;
    return v;
}

class RoomGeometry : public testing::TestWithParam<orbtools::SimulatedLens> {};

TEST_P(RoomGeometry, StraightDoorRoundClockReadableSignAndAWrongRadiusFails) {
    const Panorama p = PanoramaOf(GetParam());
    const Verdict right = Judge(p, p.record);
    EXPECT_TRUE(right.vertical) << right.said;
    EXPECT_TRUE(right.round) << right.said;
    EXPECT_TRUE(right.sign) << right.said;
    // The same picture through a record whose lens radius is 6% too large.
    CameraRecord wrong = p.record;
    wrong.firstRadius = static_cast<int32_t>(std::lround(p.record.firstRadius * 1.06));
    const Verdict bad = Judge(p, wrong);
    EXPECT_FALSE(bad.round && bad.sign) << bad.said;
}

std::string LensName(const testing::TestParamInfo<orbtools::SimulatedLens>& i) {
    constexpr const char* kNames[] = {"Fisheye", "Mirror", "Annular", "HalfSphere", "Ninety"};
    return kNames[static_cast<int>(i.param)];
}

INSTANTIATE_TEST_SUITE_P(Lenses, RoomGeometry,
                         testing::Values(orbtools::SimulatedLens::Fisheye, orbtools::SimulatedLens::Mirror,
                                         orbtools::SimulatedLens::Annular, orbtools::SimulatedLens::HalfSphere,
                                         orbtools::SimulatedLens::Ninety),
                         LensName);

}  // namespace
