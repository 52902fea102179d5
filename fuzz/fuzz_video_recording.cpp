// The video recording reader on arbitrary file bytes: opened through the one reading seam,
// counted, and its first frames decoded (FFmpeg's demuxer and decoders under it).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/dib.h"
#include "record/recording_source.h"
#include "record/video_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string path = [] {
        char name[] = "/tmp/orbfuzz.XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        return std::string(name);
    }();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    // Every input is taken as a video file, whatever its first bytes.
    static const uint8_t kEbml[4] = {0x1A, 0x45, 0xDF, 0xA3};
    if (size < 4 || data[0] != 0x1A) std::fwrite(kEbml, 1, 4, f);
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
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
