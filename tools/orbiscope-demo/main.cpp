// The demo host. For now it runs the codec end to end: a synthetic picture is encoded to a
// JPEG file, decoded again through the library, and its size and pixel checksum printed.
#include <cstdio>
#include <cstdint>
#include <string>

#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
    const std::string outDir = argc > 1 ? argv[1] : "out";
    orb::MakeDirs(outDir);
    const int w = 640, h = 480;
    HDIB pic = orb::CreateDIB(w, h, 24);
    {
        orb::DibLock lock(pic);
        for (int y = 0; y < h; ++y) {
            uint8_t* row = lock.rowFromTop(y);
            for (int x = 0; x < w; ++x) {
                row[x * 3 + 0] = static_cast<uint8_t>(x * 255 / w);
                row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / h);
                row[x * 3 + 2] = static_cast<uint8_t>(((x / 40) + (y / 40)) % 2 ? 220 : 30);
            }
        }
    }
    const std::string path = orb::JoinPath(outDir, "demo.jpg");
    if (!orb::JpegEncodeFile(pic, path.c_str())) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    orb::DestroyDIB(pic);
    HDIB back = LoadJpeg(path.c_str());
    if (!back) {
        std::fprintf(stderr, "cannot decode %s\n", path.c_str());
        return 1;
    }
    orb::DibLock lock(back);
    uint64_t sum = 0;
    for (int y = 0; y < lock.height(); ++y) {
        const uint8_t* row = lock.rowFromTop(y);
        for (int i = 0; i < lock.width() * 3; ++i) sum = sum * 31 + row[i];
    }
    std::printf("%s: %d x %d, pixel checksum %016llx\n", path.c_str(), lock.width(), lock.height(),
                static_cast<unsigned long long>(sum));
    return 0;
}
