// The open-file, save-file and folder choosers. On the desktop they are the toolkit's file
// choosers; headless they take what a test scripted (window_script.h), else they cancel.
#pragma once
#include <string>
#include <vector>

#include "platform/window.h"

namespace orb {

struct FileFilter {
    std::string description;
    std::string patterns;  // "*.jpg;*.jpeg": ";" between patterns, any letter case matches
};

struct FileRequest {
    bool save = false;
    std::string title;
    std::string initialFolder;
    std::string initialName;       // save: the proposed name
    std::string defaultExtension;  // save: added when the name has none ("exe", no dot)
    std::vector<FileFilter> filters;
};

// The path chosen, or empty when the person cancelled.
std::string ChooseFile(HWND owner, const FileRequest& request);
// A folder, or empty when cancelled.
std::string ChooseFolder(HWND owner, const std::string& title, const std::string& initialFolder = {});

}  // namespace orb
