// Pictures: packed device-independent bitmaps in movable blocks.
#pragma once
#include <cstddef>
#include <cstdint>

#include "orbiscope.h"

// A movable memory block. An HDIB is nothing more than one of these; it holds a packed
// bitmap: a 40-byte header, (for 8 bits or less) a colour table, then rows bottom-up.
struct OrbDib {
    size_t size;
    int32_t lockCount;
    uint8_t* data;
};

namespace orb {

constexpr int kBitmapHeaderSize = 40;

// Fixed offsets of the 40-byte bitmap header (little-endian).
struct BitmapHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(BitmapHeader) == 40);

// The movable block primitives.
HDIB GlobalAlloc(size_t size, bool zeroed = true);
uint8_t* GlobalLock(HDIB h);
void GlobalUnlock(HDIB h);
void GlobalFree(HDIB h);
size_t GlobalSize(HDIB h);

// Row length in bytes of a picture, padded to 4 bytes.
inline int DibRowBytes(int width, int bitCount) { return ((width * bitCount + 31) / 32) * 4; }

// The picture library contract. Pixels of a new picture are zeroed.
HDIB CreateDIB(int width, int height, int bitCount);
void DestroyDIB(HDIB h);
HDIB DuplicateDIB(HDIB h, int flag = 1);
HDIB Duplicate24BitsDIB(HDIB h);
int GetDIBBitCount(HDIB h);
uint8_t* FindDIBBits(uint8_t* packed);
int DIBWidth(const uint8_t* packed);
int DIBHeight(const uint8_t* packed);
// Scaled copy (bilinear); the source is unchanged. 0 when the size is not positive.
HDIB ZoomDIBEx(HDIB h, int newWidth, int newHeight);

// Locked view of a picture for code that works on its rows; unlocks on scope exit.
struct DibLock {
    HDIB handle = nullptr;
    uint8_t* packed = nullptr;
    explicit DibLock(HDIB h) : handle(h), packed(h ? GlobalLock(h) : nullptr) {}
    ~DibLock() { if (packed) GlobalUnlock(handle); }
    DibLock(const DibLock&) = delete;
    DibLock& operator=(const DibLock&) = delete;
    explicit operator bool() const { return packed != nullptr; }
    int width() const { return DIBWidth(packed); }
    int height() const { return DIBHeight(packed); }
    int bitCount() const;
    int rowBytes() const { return DibRowBytes(width(), bitCount()); }
    uint8_t* bits() const { return FindDIBBits(packed); }
    // Row y counted from the top of the picture.
    uint8_t* rowFromTop(int y) const { return bits() + static_cast<size_t>(height() - 1 - y) * rowBytes(); }
};

}  // namespace orb
