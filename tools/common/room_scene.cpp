#include "common/room_scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "common/room_textures.h"

namespace orbtools {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = std::numbers::pi;
const Vec3 kLight = Unit({0.25, 0.35, 1.0});

// ---- The walk: in from the passage behind the door, round the middle of the room, out ----
constexpr double kWalkSpeed = 1.7;   // metres per second
constexpr double kStride = 1.3;      // metres per stride (two steps)
constexpr double kWalkStart[2] = {0.4, 1.2};
constexpr double kDoorOpens = 0.9, kDoorShuts = 9.6, kDoorSwing = 0.8, kDoorWide = 80.0;
constexpr Vec3 kPathPoints[] = {{3.6, -4.3}, {1.72, -4.0}, {1.72, -2.7}, {0.0, -1.6}, {-1.2, 0.0},
                                {0.5, 0.7},  {1.6, -1.0},  {1.72, -2.7}, {1.72, -4.0}, {3.6, -4.3}};

// The path as a smooth curve sampled finely, with the distance walked at each sample.
struct Path {
    std::vector<Vec3> points;
    std::vector<double> distance;
    Path() {
        constexpr int n = static_cast<int>(std::size(kPathPoints)), steps = 200;
        auto at = [&](int i) { return kPathPoints[std::clamp(i, 0, n - 1)]; };
        for (int i = 0; i + 1 < n; ++i)
            for (int k = 0; k < steps; ++k) {
                // Catmull-Rom through the points: round corners, straight runs stay straight.
                const double t = static_cast<double>(k) / steps, t2 = t * t, t3 = t2 * t;
                const Vec3 p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
                const Vec3 p = (p1 * 2.0 + (p2 - p0) * t + (p0 * 2.0 - p1 * 5.0 + p2 * 4.0 - p3) * t2 +
                                (p1 * 3.0 - p0 - p2 * 3.0 + p3) * t3) * 0.5;
                points.push_back(p);
            }
        points.push_back(at(n - 1));
        distance.assign(points.size(), 0.0);
        for (size_t i = 1; i < points.size(); ++i) distance[i] = distance[i - 1] + Length(points[i] - points[i - 1]);
    }
    double Total() const { return distance.back(); }
    // The place and the walking direction after walking s metres.
    void At(double s, Vec3& p, Vec3& heading) const {
        const size_t i = std::min<size_t>(std::upper_bound(distance.begin(), distance.end(), s) - distance.begin(),
                                          points.size() - 1);
        const size_t a = i > 0 ? i - 1 : 0, b = std::max<size_t>(i, 1);
        const double span = distance[b] - distance[a];
        const double f = span > 0 ? std::clamp((s - distance[a]) / span, 0.0, 1.0) : 0.0;
        p = points[a] + (points[b] - points[a]) * f;
        heading = Unit(points[b] - points[a]);
    }
};

const Path& WalkPath() {
    static const Path path;
    return path;
}

double SmoothStep(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3 - 2 * x);
}

// ---- Intersections ----
struct Hit {
    double t = kInf;
    Vec3 normal;
    Rgb colour;
    bool shade = true;  // lit by the ceiling light; false for pictures (walls, face)
};

void Keep(Hit& best, double t, Vec3 normal, Rgb colour, bool shade = true) {
    if (t > 1e-6 && t < best.t) best = {t, normal, colour, shade};
}

// An axis-aligned box: the entry distance and the face's outward normal.
bool BoxEntry(Vec3 o, Vec3 d, Vec3 lo, Vec3 hi, double& t, Vec3& normal) {
    double t0 = -kInf, t1 = kInf;
    int axis = -1;
    double sign = 0;
    const double os[3] = {o.x, o.y, o.z}, ds[3] = {d.x, d.y, d.z}, l[3] = {lo.x, lo.y, lo.z}, h[3] = {hi.x, hi.y, hi.z};
    for (int k = 0; k < 3; ++k) {
        if (std::fabs(ds[k]) < 1e-12) {
            if (os[k] < l[k] || os[k] > h[k]) return false;
            continue;
        }
        double a = (l[k] - os[k]) / ds[k], b = (h[k] - os[k]) / ds[k];
        double s = -1;
        if (a > b) std::swap(a, b), s = 1;
        if (a > t0) t0 = a, axis = k, sign = s;
        t1 = std::min(t1, b);
    }
    if (t0 > t1 || t0 <= 1e-6 || axis < 0) return false;
    t = t0;
    normal = {};
    (axis == 0 ? normal.x : axis == 1 ? normal.y : normal.z) = sign;
    return true;
}

// A vertical cylinder with its top cap.
bool Cylinder(Vec3 o, Vec3 d, double cx, double cy, double r, double z0, double z1, double& t, Vec3& normal) {
    t = kInf;
    const double ox = o.x - cx, oy = o.y - cy;
    const double a = d.x * d.x + d.y * d.y, b = 2 * (ox * d.x + oy * d.y), c = ox * ox + oy * oy - r * r;
    if (a > 1e-12) {
        const double disc = b * b - 4 * a * c;
        if (disc >= 0) {
            const double s = (-b - std::sqrt(disc)) / (2 * a);
            const double z = o.z + s * d.z;
            if (s > 1e-6 && z >= z0 && z <= z1) t = s, normal = {(ox + s * d.x) / r, (oy + s * d.y) / r, 0};
        }
    }
    if (d.z < 0) {
        const double s = (z1 - o.z) / d.z;
        const double x = ox + s * d.x, y = oy + s * d.y;
        if (s > 1e-6 && s < t && x * x + y * y <= r * r) t = s, normal = {0, 0, 1};
    }
    return t < kInf;
}

bool Sphere(Vec3 o, Vec3 d, Vec3 c, double r, double& t, Vec3& normal) {
    const Vec3 oc = o - c;
    const double b = Dot(oc, d), k = Dot(oc, oc) - r * r, disc = b * b - k;
    if (disc < 0) return false;
    t = -b - std::sqrt(disc);
    if (t <= 1e-6) return false;
    normal = (oc + d * t) * (1.0 / r);
    return true;
}

Rgb Scaled(Rgb c, double k) { return {c.r * k, c.g * k, c.b * k}; }
Rgb Of(double r, double g, double b) { return {r * 255, g * 255, b * 255}; }

struct Look {
    Rgb shirt, trousers, hair, skin;
};
const Look kLooks[2] = {{Of(0.75, 0.18, 0.15), Of(0.18, 0.24, 0.36), Of(0.25, 0.15, 0.08), Of(0.87, 0.68, 0.55)},
                        {Of(0.95, 0.75, 0.15), Of(0.30, 0.30, 0.33), Of(0.10, 0.08, 0.06), Of(0.62, 0.45, 0.33)}};

void TraceWalker(const Walker& w, Vec3 o, Vec3 d, Hit& best) {
    double t;
    Vec3 n;
    // The bounding cylinder first: most rays miss a person.
    if (!Cylinder(o, d, w.feet.x, w.feet.y, 0.34, 0.0, 1.72, t, n) && !(o.z < 1.72 && Hypot(o.x - w.feet.x, o.y - w.feet.y) < 0.34))
        return;
    const Look& look = kLooks[w.look % 2];
    const Vec3 side{w.heading.y, -w.heading.x, 0};
    const double swing = std::sin(w.gait);
    for (int k = -1; k <= 1; k += 2) {
        const Vec3 leg = w.feet + side * (0.1 * k) + w.heading * (0.2 * swing * k);
        if (Cylinder(o, d, leg.x, leg.y, 0.075, 0.0, 0.88, t, n) && t < best.t) {
            const double z = o.z + t * d.z;
            Keep(best, t, n, z < 0.08 ? Of(0.12, 0.10, 0.10) : look.trousers);
        }
        const Vec3 arm = w.feet + side * (0.255 * k) - w.heading * (0.16 * swing * k);
        if (Cylinder(o, d, arm.x, arm.y, 0.055, 0.8, 1.42, t, n) && t < best.t) {
            const double z = o.z + t * d.z;
            Keep(best, t, n, z < 0.9 ? look.skin : Scaled(look.shirt, 0.9));
        }
    }
    if (Cylinder(o, d, w.feet.x, w.feet.y, 0.2, 0.86, 1.45, t, n)) Keep(best, t, n, look.shirt);
    if (Cylinder(o, d, w.feet.x, w.feet.y, 0.055, 1.4, 1.5, t, n)) Keep(best, t, n, look.skin);
    const Vec3 head = w.feet + Vec3{0, 0, 1.585};
    if (Sphere(o, d, head, 0.115, t, n) && t < best.t) {
        // Hair on top and at the back; the face looks where the person walks.
        const bool hair = n.z > 0.35 || (Dot(n, w.heading) < -0.2 && n.z > -0.3);
        Keep(best, t, n, hair ? look.hair : look.skin);
    }
}

// ---- Surfaces ----
Rgb FloorColour(const RoomState& s, double x, double y, double footprint) {
    constexpr double tile = 0.5, grout = 0.012;
    const int ix = static_cast<int>(std::floor(x / tile)), iy = static_cast<int>(std::floor(y / tile));
    Rgb c = ((ix + iy) & 1) ? Of(0.60, 0.62, 0.64) : Of(0.86, 0.82, 0.74);
    auto cover = [&](double v) {
        const double dist = std::fabs(v / tile - std::round(v / tile)) * tile;
        if (footprint < grout) return dist < grout / 2 ? 1.0 : 0.0;
        return dist < footprint / 2 ? grout / footprint : 0.0;
    };
    const double g = std::min(1.0, cover(x) + cover(y));
    const Rgb groutColour = Of(0.42, 0.40, 0.38);
    c = {c.r + (groutColour.r - c.r) * g, c.g + (groutColour.g - c.g) * g, c.b + (groutColour.b - c.b) * g};
    // Darker along the walls, and under each person a soft shadow.
    const double wall = std::min({x - room::kWest, room::kEast - x, y - room::kSouth, room::kNorth - y});
    double k = 0.86 + 0.14 * std::min(1.0, std::max(0.0, wall) / 0.35);
    for (const Walker& w : s.walkers) {
        const double d2 = (x - w.feet.x) * (x - w.feet.x) + (y - w.feet.y) * (y - w.feet.y);
        k *= 1 - 0.45 * std::exp(-d2 / (2 * 0.22 * 0.22));
    }
    return Scaled(c, k);
}

Rgb CeilingColour(double x, double y) {
    const bool panel = std::fabs(std::fmod(std::fabs(x) + 1.25, 2.5) - 1.25) < 0.6 && std::fabs(y) < 2.2 &&
                       std::fabs(std::fmod(std::fabs(y) + 1.1, 2.2) - 1.1) < 0.45;
    return panel ? Of(1.0, 1.0, 0.97) : Of(0.90, 0.90, 0.88);
}

// The clock: its face picture with the hour, minute and second hands drawn over it.
Rgb ClockColour(const RoomState& s, double x, double z, double footprint) {
    // Seen from the room the clock's right is the west.
    const double cu = room::kClockX - x, cv = z - room::kClockZ;
    const double r = Hypot(cu, cv);
    if (r > room::kClockRadius - 0.04) return r > room::kClockRadius - 0.015 ? Of(0.55, 0.55, 0.57) : Of(0.12, 0.12, 0.13);
    struct Hand {
        double angle, length, tail, width;
        Rgb colour;
    };
    const double second = s.clockSecond;
    const Hand hands[] = {{(10 + 10 / 60.0) * 30, 0.2, 0.04, 0.032, Of(0.08, 0.08, 0.08)},
                          {(10 + second / 60.0) * 6, 0.31, 0.05, 0.024, Of(0.08, 0.08, 0.08)},
                          {second * 6, 0.36, 0.09, 0.035, Of(0.75, 0.06, 0.06)}};
    // The second hand carries a disc near its tip, as station clocks have: bold enough to
    // be seen ticking from across the room.
    const double sa = second * 6 * kPi / 180;
    if (Hypot(cu - 0.27 * std::sin(sa), cv - 0.27 * std::cos(sa)) <= 0.065) return hands[2].colour;
    for (int i = 2; i >= 0; --i) {
        const Hand& h = hands[i];
        const double a = h.angle * kPi / 180;
        const double along = cu * std::sin(a) + cv * std::cos(a), across = cu * std::cos(a) - cv * std::sin(a);
        if (along >= -h.tail && along <= h.length && std::fabs(across) <= h.width / 2) return h.colour;
    }
    if (r < 0.028) return Of(0.80, 0.10, 0.10);
    return SampleTexture(SurfaceTexture(Surface::ClockFace), room::kClockRadius + cu, room::kClockRadius - cv, footprint);
}

// What is seen through the open door: the passage behind it, dimmer than the room.
Rgb PassageColour(const RoomState& s, Vec3 o, Vec3 d) {
    double t = kInf;
    int face = -1;
    const double lo[3] = {0.6, -5.0, 0.0}, hi[3] = {5.0, room::kSouth, 2.6}, os[3] = {o.x, o.y, o.z}, ds[3] = {d.x, d.y, d.z};
    for (int k = 0; k < 3; ++k) {
        if (std::fabs(ds[k]) < 1e-12 || (k == 1 && ds[k] > 0)) continue;
        const double s2 = ((ds[k] > 0 ? hi[k] : lo[k]) - os[k]) / ds[k];
        if (s2 > 0 && s2 < t) t = s2, face = k;
    }
    Rgb c = face == 2 ? (d.z < 0 ? Of(0.36, 0.34, 0.32) : Of(0.50, 0.50, 0.50)) : Of(0.42, 0.44, 0.48);
    if (face == 2 && d.z < 0) {
        const Vec3 p = o + d * t;
        for (const Walker& w : s.walkers) {
            const double d2 = (p.x - w.feet.x) * (p.x - w.feet.x) + (p.y - w.feet.y) * (p.y - w.feet.y);
            c = Scaled(c, 1 - 0.45 * std::exp(-d2 / (2 * 0.22 * 0.22)));
        }
    }
    return c;
}

bool InRect(double x, double z, double x0, double x1, double z0, double z1) { return x >= x0 && x <= x1 && z >= z0 && z <= z1; }

constexpr Vec3 kShelfLow{-5.0, -2.5, 0.0}, kShelfHigh{-4.55, 2.5, 2.0};
constexpr Vec3 kCounterLow{2.7, 0.9, 0.0}, kCounterHigh{3.5, 2.7, 1.0};
constexpr Vec3 kTillLow{3.0, 1.6, 1.0}, kTillHigh{3.35, 1.95, 1.25};

}  // namespace

RoomState StillRoom() { return {}; }

RoomState RoomStateAt(const RoomMoment& m) {
    RoomState s;
    double t = std::fmod(m.seconds, room::kLoopSeconds);
    if (t < 0) t += room::kLoopSeconds;
    s.clockSecond = (30 + static_cast<int>(std::floor(t))) % 60;
    if (m.door)
        s.doorDegrees = kDoorWide * (SmoothStep((t - kDoorOpens) / kDoorSwing) - SmoothStep((t - kDoorShuts) / kDoorSwing));
    if (m.walkers)
        for (int i = 0; i < 2; ++i) {
            const double walked = (t - kWalkStart[i]) * kWalkSpeed;
            if (walked < 0 || walked > WalkPath().Total()) continue;
            Walker w;
            WalkPath().At(walked, w.feet, w.heading);
            w.gait = walked * 2 * kPi / kStride;
            w.look = i;
            s.walkers.push_back(w);
        }
    return s;
}

std::vector<RoomBox> MovingParts(const RoomState& s) {
    std::vector<RoomBox> parts;
    const double r = room::kClockRadius;
    parts.push_back({{room::kClockX - r, room::kSouth, room::kClockZ - r}, {room::kClockX + r, room::kSouth, room::kClockZ + r}});
    if (s.doorDegrees > 0)
        parts.push_back({{room::kDoorWest - 0.05, room::kSouth - (room::kDoorEast - room::kDoorWest) - 0.05, 0.0},
                         {room::kDoorEast + 0.05, room::kSouth + 0.05, room::kDoorHeight + 0.05}});
    // A person, and the shadow on the floor round their feet.
    for (const Walker& w : s.walkers) {
        parts.push_back({{w.feet.x - 0.36, w.feet.y - 0.36, 0.0}, {w.feet.x + 0.36, w.feet.y + 0.36, 1.72}});
        parts.push_back({{w.feet.x - 0.62, w.feet.y - 0.62, 0.0}, {w.feet.x + 0.62, w.feet.y + 0.62, 0.0}});
    }
    return parts;
}

Rgb TraceRoom(const RoomState& s, Vec3 o, Vec3 d, double spread, bool* changing) {
    bool moved = false;
    // The room's own surfaces: where the ray leaves the box of the room.
    double tRoom = kInf;
    int axis = 0;
    {
        const double os[3] = {o.x, o.y, o.z}, ds[3] = {d.x, d.y, d.z};
        const double lo[3] = {room::kWest, room::kSouth, 0.0}, hi[3] = {room::kEast, room::kNorth, room::kHeight};
        for (int k = 0; k < 3; ++k) {
            if (std::fabs(ds[k]) < 1e-12) continue;
            const double t = ((ds[k] > 0 ? hi[k] : lo[k]) - os[k]) / ds[k];
            if (t > 0 && t < tRoom) tRoom = t, axis = k;
        }
    }
    Hit best;
    const Vec3 p = o + d * tRoom;
    const double cosine = std::fabs(axis == 0 ? d.x : axis == 1 ? d.y : d.z);
    const double footprint = spread * tRoom / std::max(0.2, cosine);
    bool doorway = false;
    if (axis == 2) {
        best = {tRoom, {0, 0, d.z > 0 ? -1.0 : 1.0}, d.z > 0 ? CeilingColour(p.x, p.y) : FloorColour(s, p.x, p.y, footprint), false};
        for (const Walker& w : s.walkers) moved = moved || Hypot(p.x - w.feet.x, p.y - w.feet.y) < 0.65;
    } else if (axis == 1 && d.y < 0) {
        Rgb c;
        if (InRect(p.x, p.z, room::kDoorWest, room::kDoorEast, 0.0, room::kDoorHeight) && s.doorDegrees > 0) {
            doorway = true;
        } else if (Hypot(p.x - room::kClockX, p.z - room::kClockZ) <= room::kClockRadius) {
            c = ClockColour(s, p.x, p.z, footprint);
            moved = true;
        } else if (InRect(p.x, p.z, room::kSignWest, room::kSignEast, room::kSignBottom, room::kSignTop)) {
            c = SampleTexture(SurfaceTexture(Surface::SignBoard), room::kSignEast - p.x, room::kSignTop - p.z, footprint);
        } else {
            c = SampleTexture(SurfaceTexture(Surface::SouthWall), room::kEast - p.x, room::kHeight - p.z, footprint);
        }
        best = {tRoom, {0, 1, 0}, c, false};
        if (doorway) best.t = kInf;
    } else if (axis == 1) {
        best = {tRoom, {0, -1, 0}, SampleTexture(SurfaceTexture(Surface::NorthWall), p.x - room::kWest, room::kHeight - p.z, footprint), false};
    } else if (d.x > 0) {
        best = {tRoom, {-1, 0, 0}, SampleTexture(SurfaceTexture(Surface::EastWall), room::kNorth - p.y, room::kHeight - p.z, footprint), false};
    } else {
        best = {tRoom, {1, 0, 0}, SampleTexture(SurfaceTexture(Surface::WestWall), p.y - room::kSouth, room::kHeight - p.z, footprint), false};
    }
    if (!doorway) {
        // Walls get a little darker towards the floor.
        if (axis != 2) best.colour = Scaled(best.colour, 0.84 + 0.16 * std::clamp(p.z / 2.0, 0.0, 1.0));
    }
    // Furniture.
    double t;
    Vec3 n;
    if (BoxEntry(o, d, kShelfLow, kShelfHigh, t, n) && t < best.t) {
        const Vec3 q = o + d * t;
        const Rgb wood = Of(0.78, 0.62, 0.42);
        Keep(best, t, n, n.x > 0.5 ? SampleTexture(SurfaceTexture(Surface::ShelfFront), q.y - kShelfLow.y, kShelfHigh.z - q.z, spread * t) : wood,
             n.x <= 0.5);
    }
    if (BoxEntry(o, d, kCounterLow, kCounterHigh, t, n)) {
        const double z = (o + d * t).z;
        Keep(best, t, n, n.z > 0.5 ? Of(0.80, 0.80, 0.78) : (z > 0.8 && z < 0.88 ? Of(0.75, 0.20, 0.15) : Of(0.55, 0.38, 0.25)));
    }
    if (BoxEntry(o, d, kTillLow, kTillHigh, t, n)) Keep(best, t, n, n.z > 0.5 ? Of(0.35, 0.36, 0.40) : Of(0.20, 0.20, 0.22));
    // The open door's leaf, turned out into the passage about its hinge on the west side.
    if (s.doorDegrees > 0) {
        const double a = s.doorDegrees * kPi / 180, width = room::kDoorEast - room::kDoorWest;
        const Vec3 hinge{room::kDoorWest, room::kSouth - 0.02, 0}, along{std::cos(a), -std::sin(a), 0}, normal{std::sin(a), std::cos(a), 0};
        const double dn = Dot(d, normal);
        if (std::fabs(dn) > 1e-9) {
            const double tl = Dot(hinge - o, normal) / dn;
            const Vec3 q = o + d * tl;
            const double u = Dot(q - hinge, along);
            if (tl > 1e-6 && tl < best.t && u >= 0 && u <= width && q.z >= 0 && q.z <= room::kDoorHeight) {
                // Seen from the room the hinge is on the right.
                const Rgb leaf = dn < 0 ? SampleTexture(SurfaceTexture(Surface::Door), width - u, room::kDoorHeight - q.z, spread * tl)
                                        : Of(0.40, 0.25, 0.15);
                Keep(best, tl, dn < 0 ? normal : normal * -1.0, leaf);
                moved = true;
            }
        }
    }
    const double before = best.t;
    for (const Walker& w : s.walkers) TraceWalker(w, o, d, best);
    moved = moved || doorway || best.t != before;
    if (changing) *changing = moved;
    if (doorway && best.t == kInf) return PassageColour(s, o, d);
    if (best.shade) {
        const double k = 0.58 + 0.42 * std::max(0.0, Dot(best.normal, kLight));
        best.colour = Scaled(best.colour, k);
    }
    return best.colour;
}

bool IsRoomColour(uint8_t r, uint8_t g, uint8_t b) {
    // The wall (lit from 84 to 100 per cent), the two tiles (from 86 per cent by the walls).
    const Rgb kBases[] = {Of(0.91, 0.87, 0.78), Of(0.86, 0.82, 0.74), Of(0.60, 0.62, 0.64)};
    for (const Rgb& c : kBases)
        for (double k = 0.84; k <= 1.0; k += 0.04)
            if (std::fabs(r - c.r * k) < 18 && std::fabs(g - c.g * k) < 18 && std::fabs(b - c.b * k) < 18) return true;
    return false;
}

std::vector<uint8_t> SignBoardPicture(double pixelsPerMetre, int& width, int& height) {
    const Texture& t = SurfaceTexture(Surface::SignBoard);
    width = static_cast<int>(std::lround(t.widthMetres * pixelsPerMetre));
    height = static_cast<int>(std::lround(t.heightMetres * pixelsPerMetre));
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb c = SampleTexture(t, (x + 0.5) / pixelsPerMetre, (y + 0.5) / pixelsPerMetre, 1.0 / pixelsPerMetre);
            uint8_t* o = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            o[0] = static_cast<uint8_t>(std::lround(c.r)), o[1] = static_cast<uint8_t>(std::lround(c.g)),
            o[2] = static_cast<uint8_t>(std::lround(c.b));
        }
    return rgb;
}

}  // namespace orbtools
