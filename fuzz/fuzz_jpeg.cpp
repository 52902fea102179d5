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
    return 0;
}
