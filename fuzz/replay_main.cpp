// Runs a fuzz entry point over every file of a corpus folder (the regression run inside
// the normal test suite). Exit status 0 when every input was taken without a crash.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    size_t runs = 0;
    for (int a = 1; a < argc; ++a) {
        std::error_code ec;
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(argv[a], ec)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(argv[a], ec))
                if (e.is_regular_file()) files.push_back(e.path());
        } else {
            files.emplace_back(argv[a]);
        }
        for (const auto& f : files) {
            std::ifstream in(f, std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++runs;
        }
    }
    LLVMFuzzerTestOneInput(nullptr, 0);
    std::printf("%zu inputs replayed\n", runs);
    return 0;
}
