// The recording file reader (and the reopen for appending) on arbitrary file bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "record/recording_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string path = [] {
        char name[] = "/tmp/orbfuzz.XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        return std::string(name);
    }();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    orb::DvrContext r;
    CameraRecord rec;
    if (orb::OpenRecordingForRead(r, path, &rec) == orb::OpenResult::Ok) {
        const int32_t count = orb::ReadFrameCount(r);
        for (int32_t n = 0; n < count && n < 64; ++n) orb::ReadFrame(r, n);
        orb::ReadFrame(r, count > 0 ? count - 1 : 0);
    }
    orb::CloseRecording(r);
    orb::DvrContext w;
    if (orb::ReopenRecording(w, path) == 1) {
        const uint8_t pic[4] = {0xFF, 0xD8, 0xFF, 0xD9};
        orb::AppendFrame(w, pic, 4, SystemTime{});
    }
    return 0;
}
