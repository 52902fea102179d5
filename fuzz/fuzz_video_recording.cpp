// The video recording reader on arbitrary file bytes: opened through the one reading seam,
// counted, and its first frames decoded (FFmpeg's demuxer and decoders under it).
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "platform/dib.h"
#include "record/recording_source.h"
#include "record/video_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = orbfuzz::Home() + "/input";
    // Every input is taken as a video file, whatever its first bytes.
    static const uint8_t kEbml[4] = {0x1A, 0x45, 0xDF, 0xA3};
    std::string bytes;
    if (size < 4 || data[0] != 0x1A) bytes.assign(reinterpret_cast<const char*>(kEbml), 4);
    bytes.append(reinterpret_cast<const char*>(data), size);
    orbfuzz::WriteInput(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    orb::VideoFileEnded(path);
    std::unique_ptr<orb::RecordingSource> source;
    CameraRecord record;
    if (orb::OpenRecordingSource(path, source, &record) == orb::OpenResult::Ok) {
        const int32_t count = source->FrameCount(true);
        for (int32_t n = 0; n < count && n < 12; ++n) {
            HDIB pic = nullptr;
            SystemTime t{};
            source->Fetch(n, 1, pic, t, true);
            orb::DestroyDIB(pic);
        }
        HDIB pic = nullptr;
        SystemTime t{};
        source->Fetch(count - 1, -1, pic, t, true);
        orb::DestroyDIB(pic);
    }
    return 0;
}
