// Where a JPEG picture held in a byte stream ends: found by walking its segments, so that
// the markers of an embedded thumbnail (inside its APP1 segment) are stepped over, and the
// entropy-coded data is searched only for real markers.
#pragma once
#include <cstddef>
#include <cstdint>

namespace orb {

// The place a walk has reached; a walk resumes there when more bytes arrive.
struct JpegWalk {
    long pos = 2;         // just past the start of image
    bool inScan = false;  // inside entropy-coded data
};

enum class JpegEnd {
    Incomplete,  // the end is not in the bytes yet
    Complete,    // *length = bytes up to and including the end of image
    NewPicture,  // a new start of image at *length before this picture ended: it was cut short
    Broken,      // the bytes are no segment structure at *length
};

// Walks the picture whose start of image (FF D8) is at p[0], over the n bytes present.
JpegEnd WalkJpeg(JpegWalk& walk, const uint8_t* p, size_t n, long* length);

// The picture ends with its end-of-image marker FF D9 (blanks, CR, LF and NUL after it are
// allowed): a picture cut short does not.
bool JpegEndsWhole(const uint8_t* p, size_t n);

}  // namespace orb
