// Builds a self-extracting package from the command line, printing the progress lines a
// desktop would show while packing.
//   orbiscope-pack [--snapshot] [--player NAME] FILE OUTPUT
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "export/pack_builder.h"
#include "host/texts.h"
#include "platform/msgbox.h"

int main(int argc, char** argv) {
    bool snapshot = false;
    orb::PackOptions options;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        if (std::strcmp(argv[i], "--snapshot") == 0) {
            snapshot = true;
        } else if (std::strcmp(argv[i], "--player") == 0 && i + 1 < argc) {
            options.player = argv[++i];
        } else {
            break;
        }
    }
    if (argc - i != 2) {
        std::fprintf(stderr, "usage: %s [--snapshot] [--player NAME] FILE OUTPUT\n", argv[0]);
        return 2;
    }
    orb::LoadLanguageResource();
    options.progress = [](int percent, const std::string& step) { std::printf("[%3d%%] %s\n", percent, step.c_str()); };
    // The library resolves relative names against its own folder; the user meant ours.
    const std::string file = std::filesystem::absolute(argv[i]).string();
    const std::string output = std::filesystem::absolute(argv[i + 1]).string();
    const int ok = snapshot ? orb::BuildSnapshotPack(nullptr, file, output, options)
                            : orb::BuildRecordingPack(nullptr, file, output, options);
    for (const orb::ShownMessage& m : orb::TakeMessages()) std::printf("%s\n", m.text.c_str());
    return ok ? 0 : 1;
}
