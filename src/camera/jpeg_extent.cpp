#include "camera/jpeg_extent.h"

#include <cstring>

namespace orb {

namespace {

bool Standalone(uint8_t m) { return m == 0x01 || (m >= 0xD0 && m <= 0xD7); }

// Entropy-coded data ends at the first FF that is neither stuffing (FF 00), a restart
// marker nor fill (FF FF): the position of that marker, or -1 when the bytes run out.
long ScanEnd(const uint8_t* p, long from, long n) {
    for (long i = from; i < n;) {
        const void* hit = std::memchr(p + i, 0xFF, static_cast<size_t>(n - i));
        if (!hit) return -1;
        i = static_cast<const uint8_t*>(hit) - p;
        if (i + 1 >= n) return -1;
        const uint8_t m = p[i + 1];
        if (m == 0x00 || (m >= 0xD0 && m <= 0xD7) || m == 0xFF) {
            i += m == 0xFF ? 1 : 2;
            continue;
        }
        return i;
    }
    return -1;
}

}  // namespace

JpegEnd WalkJpeg(JpegWalk& w, const uint8_t* p, size_t size, long* length) {
    const long n = static_cast<long>(size);
    for (;;) {
        if (w.inScan) {
            const long end = ScanEnd(p, w.pos, n);
            if (end < 0) {
                // Resume one byte back: a lone FF at the end may start a marker.
                w.pos = n > w.pos ? n - 1 : w.pos;
                return JpegEnd::Incomplete;
            }
            w.pos = end;
            w.inScan = false;
        }
        if (w.pos + 1 >= n) return JpegEnd::Incomplete;
        if (p[w.pos] != 0xFF) {
            *length = w.pos;
            return JpegEnd::Broken;
        }
        const uint8_t m = p[w.pos + 1];
        if (m == 0xFF) {  // fill byte before a marker
            ++w.pos;
            continue;
        }
        if (m == 0xD9) {
            *length = w.pos + 2;
            return JpegEnd::Complete;
        }
        if (m == 0xD8) {
            *length = w.pos;
            return JpegEnd::NewPicture;
        }
        if (Standalone(m)) {
            w.pos += 2;
            continue;
        }
        if (w.pos + 3 >= n) return JpegEnd::Incomplete;
        const long segment = (static_cast<long>(p[w.pos + 2]) << 8) | p[w.pos + 3];
        if (segment < 2) {
            *length = w.pos;
            return JpegEnd::Broken;
        }
        w.pos += 2 + segment;
        if (m == 0xDA) w.inScan = true;
    }
}

bool JpegEndsWhole(const uint8_t* p, size_t n) {
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8) return false;
    while (n > 2 && (p[n - 1] == '\r' || p[n - 1] == '\n' || p[n - 1] == ' ' || p[n - 1] == 0)) --n;
    return p[n - 2] == 0xFF && p[n - 1] == 0xD9;
}

}  // namespace orb
