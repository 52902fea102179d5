// The snapshot trailer reader and the snapshot viewer's open on arbitrary file bytes: the
// trailer is read from the file and from memory, write-back and replace run on a copy, and
// a file whose trailer reads has its picture decoded as the viewer would.
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "config/camera_record.h"
#include "fuzz_support.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "record/snapshot.h"
#include "record/still_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = orbfuzz::Home() + "/input.360";
    orbfuzz::WriteInput(path, data, size);
    CameraRecord fromFile{}, fromMemory{};
    const int read = orb::ReadTrailer(path, fromFile);
    const bool parsed = orb::ParseTrailer(std::span<const uint8_t>(data, size), fromMemory);
    if ((read == 1) != parsed) __builtin_trap();
    if (parsed && std::memcmp(&fromFile, &fromMemory, sizeof fromFile) != 0) __builtin_trap();
    if (read == 1) {
        HDIB picture = orb::JpegLoadFile(path.c_str());
        orb::DestroyDIB(picture);
        picture = orb::LoadStillPicture(path);
        orb::DestroyDIB(picture);
        fromFile.firstRadius ^= 1;
        if (orb::WriteBackTrailer(path, fromFile) != 1) __builtin_trap();
    }
    // Replacing never grows a file that has a trailer; appending grows it by the trailer.
    if (orb::AppendOrReplaceTrailer(path, fromMemory) == 1) {
        CameraRecord again{};
        if (orb::ReadTrailer(path, again) != 1) __builtin_trap();
    }
    return 0;
}
