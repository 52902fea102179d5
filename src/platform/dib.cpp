#include "platform/dib.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace orb {

namespace {

BitmapHeader ReadHeader(const uint8_t* packed) {
    BitmapHeader h;
    std::memcpy(&h, packed, sizeof h);
    return h;
}

int ColourTableEntries(const BitmapHeader& h) {
    if (h.biBitCount > 8) return 0;
    return h.biClrUsed ? static_cast<int>(h.biClrUsed) : (1 << h.biBitCount);
}

}  // namespace

HDIB GlobalAlloc(size_t size, bool zeroed) {
    auto* block = new (std::nothrow) OrbDib{size, 0, nullptr};
    if (!block) return nullptr;
    block->data = static_cast<uint8_t*>(zeroed ? std::calloc(size ? size : 1, 1) : std::malloc(size ? size : 1));
    if (!block->data) {
        delete block;
        return nullptr;
    }
    return block;
}

uint8_t* GlobalLock(HDIB h) {
    if (!h) return nullptr;
    ++h->lockCount;
    return h->data;
}

void GlobalUnlock(HDIB h) {
    if (h && h->lockCount > 0) --h->lockCount;
}

void GlobalFree(HDIB h) {
    if (!h) return;
    std::free(h->data);
    delete h;
}

size_t GlobalSize(HDIB h) { return h ? h->size : 0; }

HDIB CreateDIB(int width, int height, int bitCount) {
    if (width <= 0 || height <= 0 || (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32))
        return nullptr;
    const size_t row = static_cast<size_t>(DibRowBytes(width, bitCount));
    const size_t palette = bitCount <= 8 ? (size_t{1} << bitCount) * 4 : 0;
    const size_t image = row * static_cast<size_t>(height);
    HDIB h = GlobalAlloc(kBitmapHeaderSize + palette + image);
    if (!h) return nullptr;
    BitmapHeader hdr{};
    hdr.biSize = kBitmapHeaderSize;
    hdr.biWidth = width;
    hdr.biHeight = height;
    hdr.biPlanes = 1;
    hdr.biBitCount = static_cast<uint16_t>(bitCount);
    hdr.biSizeImage = static_cast<uint32_t>(std::min<size_t>(image, UINT32_MAX));
    std::memcpy(h->data, &hdr, sizeof hdr);
    if (palette) {  // grey ramp
        const int n = 1 << bitCount;
        for (int i = 0; i < n; ++i) {
            const uint8_t v = static_cast<uint8_t>(i * 255 / (n - 1));
            uint8_t* e = h->data + kBitmapHeaderSize + i * 4;
            e[0] = e[1] = e[2] = v;
        }
    }
    return h;
}

void DestroyDIB(HDIB h) { GlobalFree(h); }

HDIB DuplicateDIB(HDIB h, int /*flag*/) {
    if (!h) return nullptr;
    HDIB copy = GlobalAlloc(h->size, false);
    if (!copy) return nullptr;
    std::memcpy(copy->data, h->data, h->size);
    return copy;
}

int GetDIBBitCount(HDIB h) {
    if (!h || h->size < kBitmapHeaderSize) return 0;
    return ReadHeader(h->data).biBitCount;
}

int DibLock::bitCount() const { return ReadHeader(packed).biBitCount; }

uint8_t* FindDIBBits(uint8_t* packed) {
    const BitmapHeader h = ReadHeader(packed);
    return packed + h.biSize + ColourTableEntries(h) * 4;
}

int DIBWidth(const uint8_t* packed) { return ReadHeader(packed).biWidth; }

int DIBHeight(const uint8_t* packed) {
    const int h = ReadHeader(packed).biHeight;
    return h < 0 ? -h : h;
}

HDIB Duplicate24BitsDIB(HDIB src) {
    DibLock in(src);
    if (!in) return nullptr;
    const int bits = in.bitCount();
    if (bits == 24) return DuplicateDIB(src, 1);
    const int w = in.width(), hgt = in.height();
    HDIB dst = CreateDIB(w, hgt, 24);
    if (!dst) return nullptr;
    DibLock out(dst);
    const BitmapHeader hdr = ReadHeader(in.packed);
    const uint8_t* palette = in.packed + hdr.biSize;
    const int entries = ColourTableEntries(hdr);
    const int srcRow = in.rowBytes(), dstRow = out.rowBytes();
    const bool topDown = hdr.biHeight < 0;
    for (int y = 0; y < hgt; ++y) {
        // Output rows are always bottom-up; a top-down source is flipped.
        const uint8_t* s = in.bits() + static_cast<size_t>(topDown ? hgt - 1 - y : y) * srcRow;
        uint8_t* d = out.bits() + static_cast<size_t>(y) * dstRow;
        for (int x = 0; x < w; ++x) {
            uint8_t* p = d + x * 3;
            if (bits == 32) {
                std::memcpy(p, s + x * 4, 3);
            } else if (bits == 16) {  // 5-5-5
                const unsigned v = s[x * 2] | (s[x * 2 + 1] << 8);
                p[0] = static_cast<uint8_t>((v & 31) * 255 / 31);
                p[1] = static_cast<uint8_t>(((v >> 5) & 31) * 255 / 31);
                p[2] = static_cast<uint8_t>(((v >> 10) & 31) * 255 / 31);
            } else if (bits <= 8) {
                const int perByte = 8 / bits;
                const int shift = (perByte - 1 - x % perByte) * bits;
                const int index = (s[x / perByte] >> shift) & ((1 << bits) - 1);
                if (index < entries) std::memcpy(p, palette + index * 4, 3);
            }
        }
    }
    return dst;
}

namespace {

HDIB ZoomPicture(HDIB src, int newWidth, int newHeight) {
    DibLock in(src);
    if (!in) return nullptr;
    const int bpp = in.bitCount() / 8;
    HDIB dst = CreateDIB(newWidth, newHeight, bpp * 8);
    if (!dst) return nullptr;
    DibLock out(dst);
    const int sw = in.width(), sh = in.height();
    const int srcRow = in.rowBytes(), dstRow = out.rowBytes();
    for (int y = 0; y < newHeight; ++y) {
        // Sample centres map onto source centres; 16.16 fixed point.
        const int64_t fy = std::max<int64_t>(0, ((2 * y + 1) * int64_t{sh} * 65536 / newHeight - 65536) / 2);
        const int y0 = std::min<int>(static_cast<int>(fy >> 16), sh - 1);
        const int y1 = std::min(y0 + 1, sh - 1);
        const int wy = static_cast<int>((fy >> 8) & 255);
        const uint8_t* r0 = in.bits() + static_cast<size_t>(y0) * srcRow;
        const uint8_t* r1 = in.bits() + static_cast<size_t>(y1) * srcRow;
        uint8_t* d = out.bits() + static_cast<size_t>(y) * dstRow;
        for (int x = 0; x < newWidth; ++x) {
            const int64_t fx = std::max<int64_t>(0, ((2 * x + 1) * int64_t{sw} * 65536 / newWidth - 65536) / 2);
            const int x0 = std::min<int>(static_cast<int>(fx >> 16), sw - 1);
            const int x1 = std::min(x0 + 1, sw - 1);
            const int wx = static_cast<int>((fx >> 8) & 255);
            for (int c = 0; c < bpp; ++c) {
                const int top = r0[x0 * bpp + c] * (256 - wx) + r0[x1 * bpp + c] * wx;
                const int bot = r1[x0 * bpp + c] * (256 - wx) + r1[x1 * bpp + c] * wx;
                d[x * bpp + c] = static_cast<uint8_t>((top * (256 - wy) + bot * wy + 32768) >> 16);
            }
        }
    }
    return dst;
}

}  // namespace

HDIB ZoomDIBEx(HDIB src, int newWidth, int newHeight) {
    if (!src || newWidth <= 0 || newHeight <= 0) return nullptr;
    const int bits = GetDIBBitCount(src);
    if (bits == 24 || bits == 32) return ZoomPicture(src, newWidth, newHeight);
    HDIB src24 = Duplicate24BitsDIB(src);
    HDIB dst = src24 ? ZoomPicture(src24, newWidth, newHeight) : nullptr;
    GlobalFree(src24);
    return dst;
}

}  // namespace orb

// The host's side of the movable blocks, for pictures the library hands out.
extern "C" {

void* OrbiscopeLockPicture(HDIB picture) { return orb::GlobalLock(picture); }

void OrbiscopeUnlockPicture(HDIB picture) { orb::GlobalUnlock(picture); }

uint32_t OrbiscopePictureSize(HDIB picture) { return static_cast<uint32_t>(orb::GlobalSize(picture)); }

void OrbiscopeFreePicture(HDIB picture) { orb::GlobalFree(picture); }

}
