// JPEG decoding through the codec layer on arbitrary bytes.
#include <cstdint>

#include "platform/dib.h"
#include "platform/jpeg_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    orb::JpegProbe(data, size);
    HDIB pic = DecodeFromJPEGBuffer(data, static_cast<int32_t>(size));
    if (pic) {
        orb::DibLock lock(pic);
        volatile uint8_t sink = lock.bits()[0];
        (void)sink;
    }
    orb::DestroyDIB(pic);
    // The reduced decodes a small view asks for: every row of the smaller picture written.
    for (int scale : {2, 8}) {
        const orb::ScaledPicture p = orb::JpegDecodeScaled(data, size, orb::PictureBudget(), scale);
        if (p.picture) {
            orb::DibLock lock(p.picture);
            volatile uint8_t sink = lock.rowFromTop(lock.height() - 1)[lock.rowBytes() - 1];
            (void)sink;
        }
        orb::DestroyDIB(p.picture);
    }
    return 0;
}
