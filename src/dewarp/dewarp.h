// The dewarping engine of a view: lens constants, lookup tables, the coordinate and
// fraction maps from output pixel to source pixel, and the per-picture sampler.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "dewarp/colour_balance.h"
#include "config/camera_record.h"
#include "config/view_core.h"
#include "dewarp/halfsphere.h"

namespace orb {

// One map entry: source column, then source row counted from the top of the picture.
struct MapCoord {
    int16_t x, y;
};
// Fractions of the entry, in 1/256 pixel.
struct MapFrac {
    uint8_t fx, fy;
};
// An entry that the sampler always turns into black.
constexpr MapCoord kBlackEntry{-32768, -32768};

// A ray-curve table entry: radius in 1/64 pixel and the step to the next entry.
struct CurveEntry {
    int32_t value, step;
};

constexpr int kTableSize = 4097;

// Tables and constants of one view, rebuilt by RebuildPanorama.
struct DewarpEngine {
    double rotation[9] = {};
    int32_t rotationFixed[9] = {};
    int32_t quarterTurn = 0, halfTurn = 0;  // azimuth units (1/64 pixel of radius)
    std::array<int32_t, kTableSize> atanTable{}, hypTable{}, sineTable{}, cosineTable{};
    std::vector<CurveEntry> curve1, curve2;  // reference-frame radius, picture rows
    int32_t srcW128 = 0, srcH128 = 0;
    std::vector<int32_t> cos1, sin1, cos2, sin2;  // panorama tables
    int32_t pixelsPer180 = 0, pixelsPer360 = 0;
    int32_t constantsStale = 1;
    HalfSphereModel half;  // 180/90 lenses
};

// A rectangle of the view, rows counted from the top.
struct Cell {
    int32_t x = 0, y = 0, w = 0, h = 0;
};

// The parts of a view whose maps are measured for the reduction they allow: the six
// virtual windows, the panorama strips and the resized picture.
constexpr int kDensitySlots = 8;
constexpr int kStripSlot = 6;
constexpr int kResizeSlot = 7;
constexpr int kMaxReduction = 8;  // pictures are decoded at 1/1, 1/2, 1/4 or 1/8

struct DewarpState {
    std::unique_ptr<DewarpEngine> engine;
    std::vector<MapCoord> coordMap;  // W x H entries, rows bottom-up like the picture
    std::vector<MapFrac> fracMap;
    // Layout sizes, set by SetViewSize.
    int32_t W = 0, H = 0, cellW = 0, cellH = 0, stripW = 0, stripH = 0, lowerH = 0, thirdW = 0;
    // Virtual windows: working pan, tilt and view angle (degrees), valid once accepted.
    std::array<double, 6> pan{}, tilt{}, zoom{};
    std::array<int32_t, 6> working{};
    std::array<int32_t, 6> dirty{};
    // The pictures attached for the next update. The source may be a reduced decode: 1 in
    // `sourceScale` (2, 4 or 8) of a camera picture of fullW x fullH. srcW x srcH is the
    // camera picture the maps are worked out on; they are stored for the reduction of the
    // picture they sample (mapScale).
    HDIB source = nullptr;
    HDIB destination = nullptr;
    int32_t sourceScale = 1, fullW = 0, fullH = 0;
    int32_t srcW = 0, srcH = 0;
    int32_t lastW = 0, lastH = 0;
    int32_t mapScale = 1, lastScale = 1;
    // Source pixels per output pixel where each slot's lens is densest, in 1/100 (0: not
    // measured, or nothing of the picture shows there), and the reduction they allow.
    std::array<int32_t, kDensitySlots> density{};
    std::atomic<int32_t> wantedScale{1};  // read before a decode, from any thread
    int32_t pendingRebuild = 0;
    int32_t effH = 0, effV = 0;  // strip flips of the last picture
    int32_t busy = 0;
    int32_t rebuildGuard = 0;
    int32_t renderNow = 0;
    // Mouse positions in client coordinates, kept by the window code for dragging.
    int32_t mouseX = 0, mouseY = 0, prevMouseX = 0, prevMouseY = 0;
    ColourTables colour;
};

// The part of a view the dewarping works on: the shared core and the dewarp state.
struct DewarpView : ViewCore {
    DewarpState dewarp;
};

// ---- Lens fields and constants ----
// Replaces bad lens and alignment values with their fall-backs (no message).
void ValidateLensFields(CameraRecord& r);
// True when the ray-curve coefficients are valid; otherwise they become the identity.
bool CheckRayCurve(CameraRecord& r);
// Derives pixelsPer180/360 and the tilt limits; false when the lens has no model or the
// values cannot make one (zero radius, zero reference frame).
bool DeriveConstants(CameraRecord& r, DewarpEngine& e);
// A ray-curve table of n + 1 entries.
std::vector<CurveEntry> BuildCurveTable(const CameraRecord& r, int n);
// Lens-dependent inversions of the user flips.
void StripFlips(int32_t lensType, int32_t& effH, int32_t& effV);
void ViewFlips(int32_t lensType, int32_t& effH, int32_t& effV);
// Lens types outside 0..11 are shown as they are, like a normal camera.
int32_t EffectiveLensType(int32_t lensType);

// ---- Layout and maps ----
// Runs body(first, end) over the rows 0..rows of a map build; a large build (pixels) is
// split between two threads, each on its own rows, so a drag stays smooth.
void BuildRows(int32_t rows, int64_t pixels, const std::function<void(int32_t, int32_t)>& body);
// Sets the layout sizes of a view of w x h and allocates its maps (all entries black).
void SetViewSize(DewarpView& view, int32_t w, int32_t h);
// Attaches the source picture and the destination picture of the next update.
void AttachPictures(DewarpView& view, HDIB source, HDIB destination);
// The same with a source that is 1/scale of a camera picture of fullW x fullH (scale 1:
// the picture as it is).
void AttachScaledPicture(DewarpView& view, HDIB source, HDIB destination, int32_t scale, int32_t fullW, int32_t fullH);
// Windows of the current mode in build order, and the cell of window k.
std::vector<int> WindowsOfMode(const DewarpView& view);
Cell WindowCell(const DewarpView& view, int k);
// Fits a window's view angle to the tilt range (3.5-degree steps, at most 100).
double FitZoom(const CameraRecord& r, double zoom, const Cell& cell);
// Builds the map cells of window k (virtual window or 180/90 hand-off).
void RebuildWindow(DewarpView& view, int k);
// The strip maps and the resize map.
void BuildStripMap(DewarpView& view, int32_t effH, int32_t effV);
void BuildHalfStrips(DewarpView& view, int32_t effH, int32_t effV);
void BuildResizeMap(DewarpView& view, const Cell& cell);
// Fills a rectangle of the maps with black entries.
void ClearCell(DewarpView& view, const Cell& cell);
// 180/90 lens family: builds window k of the current mode (crop, band or perspective).
void BuildHalfSphereWindow(DewarpView& view, int k, const Cell& cell);

// Builds the engine tables and marks every map for rebuilding (RebuildPanorama).
void RebuildPanorama(DewarpView& view);
// The per-picture work (UpdatePanorama): 0 without pictures, the busy flag when busy.
int32_t UpdatePanorama(DewarpView& view);

// ---- Reduced pictures ----
// After a map cell was built on the full camera picture: measures where its lens is
// densest into the slot's density, updates the view's wanted scale, and stores the cell's
// entries for the reduction of the attached picture.
void FinishMapCell(DewarpView& view, const Cell& cell, int slot);
// Source pixels per output pixel where the cell's lens is densest (the 98th percentile of
// the cell's local densities, in 1/100), 0 when no part of the picture shows there.
int32_t MeasureCellDensity(const DewarpState& d, const Cell& cell);
// The slots of the view's current mode.
std::vector<int> DensitySlotsOfMode(const DewarpView& view);
// The smallest picture (largest reduction of 1, 2, 4, 8) that still gives every measured
// slot of the current mode at least one source pixel per output pixel where its lens is
// densest; 1 until the maps were measured.
int32_t MapDecodeScale(const DewarpView& view);
// The density that decides MapDecodeScale: the lowest of the current mode's measured
// slots (1/100), for the view's figures.
int32_t MapDensity(const DewarpView& view);
// A map position of the full picture (1/256 pixel) as a position of its 1/scale
// reduction, whose pixel i covers full pixels scale*i .. scale*i + scale - 1.
inline int64_t ReducedPosition(int64_t fullPos, int32_t scale) {
    return scale <= 1 ? fullPos : ((fullPos + 128) / scale) - 128 - (((fullPos + 128) % scale) < 0 ? 1 : 0);
}

// ---- Sampling ----
// Samples a rectangle of the view from the attached source into the destination.
void RenderCell(DewarpView& view, const Cell& cell);
void RenderWindow(DewarpView& view, int k);
// The sampler itself, over raw pictures (rows bottom-up): used by the update and by the
// benchmarks. Source 3 or 4 bytes a pixel, destination likewise.
struct SampleTarget {
    const uint8_t* src;
    int32_t srcStride, srcW, srcH, srcBpp;
    uint8_t* dst;
    int32_t dstStride, dstBpp;
    const ColourTables* colour;  // null or off: no balance
};
void SampleRows(const SampleTarget& t, const MapCoord* coords, const MapFrac* fracs, int32_t mapStride, int32_t x0,
                int32_t rowBottom0, int32_t w, int32_t h);
// The sampler's code paths: the plain reference, and vector code for processors that have
// SSE4.1 or AVX2. All give the same bytes; the best one the processor runs is the default.
enum class SamplerPath { kScalar, kSse41, kAvx2 };
SamplerPath BestSamplerPath();
bool SamplerPathRuns(SamplerPath path);
// Chooses the path of every later SampleRows (one the processor lacks falls back to the
// next slower one); for tests and benchmarks.
void SetSamplerPath(SamplerPath path);
SamplerPath CurrentSamplerPath();
void SampleRowsWith(SamplerPath path, const SampleTarget& t, const MapCoord* coords, const MapFrac* fracs,
                    int32_t mapStride, int32_t x0, int32_t rowBottom0, int32_t w, int32_t h);

// Process-wide 256 x 256 products, built at start.
const int32_t* MultiplyTable();

}  // namespace orb
