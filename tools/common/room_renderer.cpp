#include "common/room_renderer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <numbers>
#include <thread>

#include <unistd.h>

#include "config/camera_record.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"

namespace orbtools {
namespace {

namespace fs = std::filesystem;
constexpr double kDeg = std::numbers::pi / 180.0;
// Raised whenever the scene changes, so that cached loops of an older scene are not used.
constexpr int kSceneVersion = 1;

enum class Family { Fisheye, Ring, HalfSphere, Plain };

Family FamilyOf(int32_t type) {
    if (type == orb::kLensFisheye) return Family::Fisheye;
    if (type >= orb::kLensConcaveMirror && type <= orb::kLensAnnularFisheye) return Family::Ring;
    if (type == orb::kLens180 || type == orb::kLens90) return Family::HalfSphere;
    return Family::Plain;
}

// A mirror shows the room the other way round; the library turns its panorama back.
bool Mirrored(int32_t type) { return type == orb::kLensConvexMirror || type == orb::kLensPal; }

// The ring lenses: radius r(e) = r0 - e (r1 - r2) / effectiveAngle, r0 from the upper tilt limit.
struct RingModel {
    double r0, slope, inner, outer;
};
RingModel RingOf(const SceneLens& l) {
    const double eff = l.effectiveAngle > 0 ? l.effectiveAngle : 70.0;
    const double span = l.firstRadius - l.secondRadius, tiltMax = l.halfFov - 90.0;
    return {l.firstRadius - span * tiltMax / eff, span / eff, static_cast<double>(l.secondRadius),
            static_cast<double>(l.firstRadius)};
}

}  // namespace

RoomPose RoomPoseOf(const SceneLens& lens) {
    if (FamilyOf(lens.lensType) == Family::Fisheye || FamilyOf(lens.lensType) == Family::Ring)
        return {{0.0, 0.0, 2.6}, {0, 0, -1}, {1, 0, 0}, {0, -1, 0}};
    return {{0.0, room::kNorth - 0.05, 2.35}, {0, -1, 0}, {-1, 0, 0}, {0, 0, -1}};
}

double LensPixelAngle(const SceneLens& l) {
    switch (FamilyOf(l.lensType)) {
    case Family::Fisheye:
    case Family::HalfSphere: return l.halfFov / std::max(1, l.firstRadius) * kDeg;
    case Family::Ring: return 1.0 / std::max(1e-9, RingOf(l).slope) * kDeg;
    case Family::Plain: return 2.0 / std::max(1, l.width);
    }
    return 0;
}

bool LensPointOf(const SceneLens& l, const RoomPose& pose, Vec3 dir, double& x, double& y) {
    const double a = Dot(dir, pose.axis), px = Dot(dir, pose.right), py = Dot(dir, pose.down);
    const double rho = Hypot(px, py);
    const double ux = rho > 1e-12 ? px / rho : 0, uy = rho > 1e-12 ? py / rho : 0;
    double r = 0;
    bool inside = true;
    switch (FamilyOf(l.lensType)) {
    case Family::Fisheye: {
        const double e = std::asin(std::clamp(a, -1.0, 1.0)) / kDeg;  // elevation towards the axis
        r = l.firstRadius * (90.0 - e) / l.halfFov;
        inside = r <= l.firstRadius;
        break;
    }
    case Family::Ring: {
        const RingModel m = RingOf(l);
        const double e = std::asin(std::clamp(a, -1.0, 1.0)) / kDeg;
        r = m.r0 - e * m.slope;
        inside = r >= m.inner && r <= m.outer;
        break;
    }
    case Family::HalfSphere: {
        const double theta = std::acos(std::clamp(a, -1.0, 1.0)) / kDeg;  // from the axis
        r = l.firstRadius * theta / l.halfFov;
        inside = r <= l.firstRadius;
        break;
    }
    case Family::Plain: {
        const double f = l.width / 2.0;  // 90 degrees across
        if (a <= 1e-9) return false;
        x = l.centerX + f * px / a;
        y = l.centerY + f * py / a;
        return x >= -0.5 && y >= -0.5 && x < l.width - 0.5 && y < l.height - 0.5;
    }
    }
    x = l.centerX + r * ux * (Mirrored(l.lensType) ? -1 : 1);
    y = l.centerY + r * uy;
    return inside;
}

bool LensRayOf(const SceneLens& l, const RoomPose& pose, double x, double y, Vec3& dir) {
    double dx = x - l.centerX, dy = y - l.centerY;
    if (Mirrored(l.lensType)) dx = -dx;
    const double r = Hypot(dx, dy);
    const double ux = r > 1e-12 ? dx / r : 0, uy = r > 1e-12 ? dy / r : 0;
    double along, across;  // cosine towards the axis, sine across it
    switch (FamilyOf(l.lensType)) {
    case Family::Fisheye: {
        if (r > l.firstRadius || l.firstRadius <= 0) return false;
        const double e = (90.0 - r * l.halfFov / l.firstRadius) * kDeg;
        along = std::sin(e), across = std::cos(e);
        break;
    }
    case Family::Ring: {
        const RingModel m = RingOf(l);
        if (r < m.inner || r > m.outer || m.slope <= 0) return false;
        const double e = (m.r0 - r) / m.slope * kDeg;
        along = std::sin(e), across = std::cos(e);
        break;
    }
    case Family::HalfSphere: {
        if (r > l.firstRadius || l.firstRadius <= 0) return false;
        const double theta = r * l.halfFov / l.firstRadius * kDeg;
        along = std::cos(theta), across = std::sin(theta);
        break;
    }
    case Family::Plain: {
        const double f = l.width / 2.0;
        dir = Unit(pose.axis + pose.right * (dx / f) + pose.down * (dy / f));
        return true;
    }
    }
    dir = Unit(pose.axis * along + (pose.right * ux + pose.down * uy) * across);
    return true;
}

PixelRect LensRectOf(const SceneLens& l, const RoomPose& pose, const RoomBox& box) {
    double x0 = 1e18, y0 = 1e18, x1 = -1e18, y1 = -1e18;
    constexpr int n = 6;
    for (int i = 0; i <= n; ++i)
        for (int j = 0; j <= n; ++j)
            for (int k = 0; k <= n; ++k) {
                const Vec3 p{box.low.x + (box.high.x - box.low.x) * i / n, box.low.y + (box.high.y - box.low.y) * j / n,
                             box.low.z + (box.high.z - box.low.z) * k / n};
                const Vec3 d = p - pose.position;
                if (Length(d) < 1e-9) continue;
                double x, y;
                // Points beyond the lens still give a place where its model reaches: the
                // rectangle then covers every part that is inside.
                if (!LensPointOf(l, pose, Unit(d), x, y) && FamilyOf(l.lensType) == Family::Plain) return {0, 0, l.width, l.height};
                if (!std::isfinite(x) || !std::isfinite(y)) return {0, 0, l.width, l.height};
                x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
    PixelRect r;
    r.x0 = std::clamp(static_cast<int>(std::floor(x0)) - 4, 0, l.width);
    r.y0 = std::clamp(static_cast<int>(std::floor(y0)) - 4, 0, l.height);
    r.x1 = std::clamp(static_cast<int>(std::ceil(x1)) + 5, 0, l.width);
    r.y1 = std::clamp(static_cast<int>(std::ceil(y1)) + 5, 0, l.height);
    if (r.x0 >= r.x1 || r.y0 >= r.y1) return {};
    return r;
}

namespace {

// Renders a rectangle of the picture into top-down B G R rows (`stride` bytes each); four
// samples a pixel. Samples outside the lens are black, so its rim is smooth.
void RenderPixel(const SceneLens& l, const RoomPose& pose, const RoomState& s, double spread, int x, int y, uint8_t* px) {
    constexpr double kOffsets[4][2] = {{-0.25, -0.25}, {0.25, -0.25}, {-0.25, 0.25}, {0.25, 0.25}};
    double r = 0, g = 0, b = 0;
    for (const auto& o : kOffsets) {
        Vec3 d;
        if (!LensRayOf(l, pose, x + o[0], y + o[1], d)) continue;
        const Rgb c = TraceRoom(s, pose.position, d, spread);
        r += c.r, g += c.g, b += c.b;
    }
    px[0] = static_cast<uint8_t>(std::clamp(std::lround(b / 4), 0L, 255L));
    px[1] = static_cast<uint8_t>(std::clamp(std::lround(g / 4), 0L, 255L));
    px[2] = static_cast<uint8_t>(std::clamp(std::lround(r / 4), 0L, 255L));
}

void RenderRect(const SceneLens& l, const RoomPose& pose, const RoomState& s, const PixelRect& rect, uint8_t* bgr,
                size_t stride) {
    const double spread = LensPixelAngle(l) / 2;
    for (int y = rect.y0; y < rect.y1; ++y)
        for (int x = rect.x0; x < rect.x1; ++x) RenderPixel(l, pose, s, spread, x, y, bgr + y * stride + 3 * x);
}

// Over the still room: a first ray through each pixel's centre finds where anything that
// moves can show; those pixels and their neighbours are rendered in full, the others keep
// the still room's colour.
void RenderChanges(const SceneLens& l, const RoomPose& pose, const RoomState& s, const PixelRect& rect, uint8_t* bgr,
                   size_t stride) {
    const int w = rect.x1 - rect.x0, h = rect.y1 - rect.y0;
    std::vector<uint8_t> hit(static_cast<size_t>(w + 2) * (h + 2), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Vec3 d;
            bool changing = false;
            if (LensRayOf(l, pose, rect.x0 + x, rect.y0 + y, d)) TraceRoom(s, pose.position, d, 0, &changing);
            hit[static_cast<size_t>(y + 1) * (w + 2) + x + 1] = changing;
        }
    const double spread = LensPixelAngle(l) / 2;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool near = false;
            for (int dy = 0; dy <= 2 && !near; ++dy)
                for (int dx = 0; dx <= 2 && !near; ++dx) near = hit[static_cast<size_t>(y + dy) * (w + 2) + x + dx];
            if (near) RenderPixel(l, pose, s, spread, rect.x0 + x, rect.y0 + y, bgr + (rect.y0 + y) * stride + 3 * (rect.x0 + x));
        }
}

// Runs work(i) for i in [0, n) on the machine's cores.
template <typename F>
void InParallel(int n, F work) {
    const int threads = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 8);
    std::atomic<int> next{0};
    auto loop = [&] {
        for (int i; (i = next++) < n;) work(i);
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < std::min(threads, n); ++t) pool.emplace_back(loop);
    loop();
    for (auto& t : pool) t.join();
}

struct Canvas {
    int width, height;
    std::vector<uint8_t> bgr;  // top-down rows of 3 bytes a pixel
    size_t Stride() const { return static_cast<size_t>(width) * 3; }
};

// The room without anything that moves, in bands across the cores.
Canvas Background(const SceneLens& l, const RoomPose& pose) {
    Canvas c{l.width, l.height, std::vector<uint8_t>(static_cast<size_t>(l.width) * l.height * 3)};
    const RoomState still = StillRoom();
    constexpr int kBand = 16;
    InParallel((l.height + kBand - 1) / kBand, [&](int band) {
        const PixelRect r{0, band * kBand, l.width, std::min(l.height, (band + 1) * kBand)};
        RenderRect(l, pose, still, r, c.bgr.data(), c.Stride());
    });
    return c;
}

// Over the background, what moves at that moment.
void RenderMoving(const SceneLens& l, const RoomPose& pose, const RoomState& s, Canvas& c) {
    for (const RoomBox& box : MovingParts(s)) {
        const PixelRect r = LensRectOf(l, pose, box);
        if (r.x0 < r.x1) RenderChanges(l, pose, s, r, c.bgr.data(), c.Stride());
    }
}

HDIB ToPicture(const Canvas& c) {
    HDIB h = orb::CreateDIB(c.width, c.height, 24);
    if (!h) return nullptr;
    orb::DibLock lock(h);
    for (int y = 0; y < c.height; ++y) std::copy_n(&c.bgr[y * c.Stride()], c.Stride(), lock.rowFromTop(y));
    return h;
}

std::vector<uint8_t> ToJpeg(const Canvas& c) {
    std::vector<uint8_t> jpeg;
    HDIB h = ToPicture(c);
    if (h) orb::JpegEncodeMemory(h, 80, jpeg);
    orb::DestroyDIB(h);
    return jpeg;
}

// The background of a lens is the same for every loop and moment: kept for the process.
const Canvas& CachedBackground(const SceneLens& l, const RoomPose& pose) {
    static std::mutex lock;
    static std::vector<std::pair<std::string, std::shared_ptr<Canvas>>> kept;
    char key[256];
    std::snprintf(key, sizeof key, "%d %d %d %d %d %d %d %.9g %.9g", l.lensType, l.width, l.height, l.centerX, l.centerY,
                  l.firstRadius, l.secondRadius, l.halfFov, l.effectiveAngle);
    std::lock_guard g(lock);
    for (auto& [k, c] : kept)
        if (k == key) return *c;
    if (kept.size() >= 8) kept.erase(kept.begin());
    kept.emplace_back(key, std::make_shared<Canvas>(Background(l, pose)));
    return *kept.back().second;
}

std::string LensName(int32_t type) {
    switch (type) {
    case orb::kLensFisheye: return "fisheye";
    case orb::kLensConvexMirror: return "mirror";
    case orb::kLensAnnularFisheye: return "annular";
    case orb::kLens180: return "180";
    case orb::kLens90: return "90";
    default: return "lens" + std::to_string(type);
    }
}

std::vector<uint8_t> ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
    // A name of its own: programs that share a cache may write the same loop at once.
    static std::atomic<int> written{0};
    const fs::path part = p.string() + "." + std::to_string(getpid()) + "-" + std::to_string(written++) + ".part";
    {
        std::ofstream out(part, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) return false;
    }
    std::error_code ec;
    fs::rename(part, p, ec);
    return !ec;
}

}  // namespace

HDIB RenderRoom(const SceneLens& l, const RoomState& s) {
    const RoomPose pose = RoomPoseOf(l);
    Canvas c = CachedBackground(l, pose);
    RenderMoving(l, pose, s, c);
    return ToPicture(c);
}

RoomMoment RoomLoopMoment(const RoomLoop& loop, int frame) {
    const int frames = std::max(1, loop.frames);
    return {room::kLoopSeconds * frame / frames, loop.walkers, loop.door};
}

std::string RoomLoopFolder(const SceneLens& l, const RoomLoop& loop) {
    // The lens geometry goes into the name: another radius is another loop.
    char name[160];
    std::snprintf(name, sizeof name, "%dx%d/v%d-%s-c%d,%d-r%d,%d-f%.6g-e%.6g-%d%s", l.width, l.height, kSceneVersion,
                  LensName(l.lensType).c_str(), l.centerX, l.centerY, l.firstRadius, l.secondRadius, l.halfFov,
                  l.effectiveAngle, std::max(1, loop.frames), loop.walkers && loop.door ? "" : loop.walkers ? "-shut" : loop.door ? "-empty" : "-still");
    return (fs::path(loop.cacheFolder) / name).string();
}

std::vector<std::vector<uint8_t>> RenderRoomLoop(const SceneLens& l, const RoomLoop& loop) {
    const int frames = std::max(1, loop.frames);
    std::vector<std::vector<uint8_t>> out(static_cast<size_t>(frames));
    fs::path folder;
    if (!loop.cacheFolder.empty()) {
        folder = RoomLoopFolder(l, loop);
        bool all = true;
        for (int i = 0; i < frames && all; ++i) {
            char file[32];
            std::snprintf(file, sizeof file, "%04d.jpg", i);
            out[static_cast<size_t>(i)] = ReadFile(folder / file);
            all = out[static_cast<size_t>(i)].size() > 4;
        }
        if (all) return out;
    }
    const RoomPose pose = RoomPoseOf(l);
    const Canvas& background = CachedBackground(l, pose);
    InParallel(frames, [&](int i) {
        Canvas c = background;
        RenderMoving(l, pose, RoomStateAt(RoomLoopMoment(loop, i)), c);
        out[static_cast<size_t>(i)] = ToJpeg(c);
    });
    if (!folder.empty()) {
        std::error_code ec;
        fs::create_directories(folder, ec);
        for (int i = 0; i < frames && !ec; ++i) {
            char file[32];
            std::snprintf(file, sizeof file, "%04d.jpg", i);
            if (!WriteFile(folder / file, out[static_cast<size_t>(i)])) break;
        }
    }
    return out;
}

}  // namespace orbtools
