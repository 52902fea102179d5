// The host's commands for the library's own windows around recordings and pictures: the
// player and its recordings list, the snapshot and photo viewers, backup, packages, web
// pages, the root password and the recording settings. Each opens its window on the
// desktop and returns when the person has closed it.
#include "orbiscope/desktop_tools.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "orbiscope.h"
#include "orbiscope_host.h"

namespace orbhost {

namespace {

// Serves the window until the person closes it.
int WhileOpen(void* window) {
    while (window && OrbiscopeIsWindow(window)) {
        OrbiscopePumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

int NeedsDesktop(const std::string& command) {
    std::fprintf(stderr, "orbiscope %s: needs a desktop (no display found)\n", command.c_str());
    return 1;
}

}  // namespace

bool IsDesktopTool(const std::string& command) {
    for (const char* c : {"player", "recordings", "snapshot", "picture", "backup", "backup-play", "pack", "web",
                          "password", "recording-settings"})
        if (command == c) return true;
    return false;
}

int RunDesktopTool(const std::string& command, int argc, char** argv) {
    if (!OrbiscopeHasDisplay()) return NeedsDesktop(command);
    const char* file = argc > 2 ? argv[2] : nullptr;
    if (command == "player") {
        PlayDVR(nullptr, file);  // plays until the player is closed
        return 0;
    }
    if (command == "recordings") return WhileOpen(DVRManagement(nullptr));
    if (command == "snapshot") return WhileOpen(OpenSnapshot(nullptr, file));
    if (command == "picture") {
        int shown = 0;
        if (argc <= 2) shown = ProcessPanoramicImage(nullptr);
        for (int i = 2; i < argc; ++i) shown += AppendPanoramicImage(nullptr, argv[i], nullptr, 0) ? 1 : 0;
        if (!shown) return std::fprintf(stderr, "orbiscope picture: no picture could be shown\n"), 1;
        return WhileOpen(OrbiscopePhotoViewerWindow());
    }
    if (command == "backup") return Backup(nullptr) ? 0 : 1;
    if (command == "backup-play") return BackupPlay(nullptr) ? 0 : 1;
    if (command == "pack") {
        // The cameras chosen in the export dialog go into FILE, in the camera file's format.
        WhileOpen(CreatePackDlg(nullptr, 0));
        return file ? (BuildPackInfo(nullptr, file) == 1 ? 0 : 1) : 0;
    }
    if (command == "web") return GenerateWebPage(nullptr) ? 0 : 1;
    if (command == "password") return SetRootPassword(nullptr) ? 0 : 1;
    if (command == "recording-settings") return DVRConfigure(nullptr) ? 0 : 1;
    return 2;
}

}  // namespace orbhost
