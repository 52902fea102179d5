// Builds a self-extracting package from the command line, printing the progress lines a
// desktop would show while packing. A host of the shipped library: it uses its exports only.
//   orbiscope-pack [--snapshot] [--player NAME] FILE OUTPUT
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "common/program_info.h"
#include "orbiscope.h"
#include "orbiscope_host.h"

namespace {

int Usage(const char* program, FILE* out) {
    std::fprintf(out,
                 "usage: %s [--snapshot] [--player NAME] FILE OUTPUT\n"
                 "Packs a recording (or, with --snapshot, a snapshot file) with the stand-alone player\n"
                 "into OUTPUT, a program that unpacks itself into a folder and plays it.\n"
                 "  --snapshot     FILE is a snapshot (.360)\n"
                 "  --player NAME  the player to pack (default: orbiscope-player beside the library or\n"
                 "                 on the PATH)\n"
                 "  --help         this text\n"
                 "  --version      the program's version\n",
                 program);
    return out == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (orbtools::AnswerVersion(argc, argv, "orbiscope-pack")) return 0;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
        return Usage("orbiscope-pack", stdout);
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
    if (argc - i != 2) return Usage(argv[0], stderr);
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
