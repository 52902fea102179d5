// The codec layer between JPEG bytes and 24-bit pictures. One process-wide lock keeps
// every operation that enters the JPEG library apart.
#pragma once
#include <cstdint>
#include <mutex>
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
// header declares). The codec lock is taken for the decode only and waited for as long as
// the decode before it takes: a picture is never given up because another one was slow.
HDIB JpegDecodeWithin(const uint8_t* data, size_t size, int64_t maxPixels, DecodeStatus* status, int* width,
                      int* height);
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

// Width and height from the header only (no lock needed: no state is shared).
bool JpegReadSize(const uint8_t* data, size_t size, int* width, int* height);

// The path of the last snapshot file read or written.
std::string LastSnapshotPath();
void SetLastSnapshotPath(const std::string& path);

// Number of operations that entered the library (for tests of the lock).
int64_t JpegOperationCount();

}  // namespace orb
