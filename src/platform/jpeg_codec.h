// The codec layer between JPEG bytes and 24-bit pictures. Every operation works on a
// decompressor or compressor of its own, which the library keeps apart by itself: decodes
// on the capture threads run side by side, without a process-wide lock.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "orbiscope.h"

namespace orb {

// Pictures smaller or larger than these are refused.
constexpr int kJpegMinSideMemory = 100;
constexpr int kJpegMinSideFile = 50;
constexpr int kJpegMaxSide = 16384;

// The size test of the decoders: each side within minSide..16384.
inline bool JpegSideAccepted(int width, int height, int minSide) {
    return width >= minSide && height >= minSide && width <= kJpegMaxSide && height <= kJpegMaxSide;
}

// The picture budget: the most pixels (width x height) a decode accepts. A larger picture
// is refused from its header, before anything is allocated; the library's own working
// memory for a picture is bounded by the budget too. Generous for real cameras.
constexpr int64_t kDefaultPictureBudget = 64LL * 1000 * 1000;
void SetPictureBudget(int64_t pixels);  // 0 or less: the default
int64_t PictureBudget();

enum class DecodeStatus { Ok, Unreadable, OverBudget };
// Decodes a JPEG held in memory into a new 24-bit picture, or 0, refusing pictures above
// maxPixels from the header alone (status OverBudget; width and height are those the
// header declares).
HDIB JpegDecodeWithin(const uint8_t* data, size_t size, int64_t maxPixels, DecodeStatus* status, int* width,
                      int* height);

// Reduced decodes: the library's scaled inverse transform gives 1/2, 1/4 or 1/8 of the
// picture's width and height for a fraction of the work (at 1/8 each pixel is the mean of
// one 8 x 8 block). A reduction is only used where it divides both sides, so that every
// reduced pixel stands for whole pixels of the picture and the reduced size is exact.
constexpr int kDecodeScales[] = {1, 2, 4, 8};
constexpr int kMaxDecodeScale = 8;
// The largest reduction of 1, 2, 4 or 8 up to `wanted` that divides width and height.
int UsableDecodeScale(int width, int height, int wanted);
// A decoded picture and what it stands for: the picture (width/scale x height/scale
// pixels) of a camera picture of width x height.
struct ScaledPicture {
    HDIB picture = nullptr;
    int32_t width = 0, height = 0;  // the picture as the camera sent it
    int32_t scale = 1;              // the reduction the decode used
};
// Decodes at the largest usable reduction up to `wanted` (size checks and the budget apply
// to the full picture); picture 0 on failure, with status and the declared size as above.
ScaledPicture JpegDecodeScaled(const uint8_t* data, size_t size, int64_t maxPixels, int wanted,
                               DecodeStatus* status = nullptr);
// The same within the process-wide budget.
HDIB JpegDecodeBuffer(const uint8_t* data, size_t size);
// 1 if the parameters of the JPEG in the buffer can be read.
int JpegProbe(const uint8_t* data, size_t size);
// Decodes a JPEG file (side bound 50, not 100; within the budget); remembers the path as
// the last snapshot.
HDIB JpegLoadFile(const char* path);
// Writes a 24-bit picture as a JFIF file, quality 75, 2x2 chroma subsampling.
int JpegEncodeFile(HDIB picture, const char* path);
// The same into memory, at a chosen quality.
bool JpegEncodeMemory(HDIB picture, int quality, std::vector<uint8_t>& out);

// Width and height from the header only.
bool JpegReadSize(const uint8_t* data, size_t size, int* width, int* height);

// The path of the last snapshot file read or written.
std::string LastSnapshotPath();
void SetLastSnapshotPath(const std::string& path);

// Number of operations that entered the library (for tests of what reaches it).
int64_t JpegOperationCount();

}  // namespace orb
