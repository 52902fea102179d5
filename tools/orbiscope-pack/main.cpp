// Builds a self-extracting package from the command line, printing the progress lines a
// desktop would show while packing. A host of the shipped library: it uses its exports only.
//   orbiscope-pack [--snapshot] [--player NAME] FILE OUTPUT
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "orbiscope.h"
#include "orbiscope_host.h"

int main(int argc, char** argv) {
    bool snapshot = false;
    const char* player = nullptr;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        if (std::strcmp(argv[i], "--snapshot") == 0) {
            snapshot = true;
        } else if (std::strcmp(argv[i], "--player") == 0 && i + 1 < argc) {
            player = argv[++i];
        } else {
            break;
        }
    }
    if (argc - i != 2) {
        std::fprintf(stderr, "usage: %s [--snapshot] [--player NAME] FILE OUTPUT\n", argv[0]);
        return 2;
    }
    // The library resolves relative names against its own folder; the user meant ours.
    const std::string file = std::filesystem::absolute(argv[i]).string();
    const std::string output = std::filesystem::absolute(argv[i + 1]).string();
    const int ok = OrbiscopeBuildPack(
        file.c_str(), output.c_str(), snapshot ? 1 : 0, player,
        [](int32_t percent, const char* step, void*) { std::printf("[%3d%%] %s\n", percent, step); }, nullptr);
    char message[1024];
    while (OrbiscopeTakeMessage(message, sizeof message)) std::printf("%s\n", message);
    return ok ? 0 : 1;
}
