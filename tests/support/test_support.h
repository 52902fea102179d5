// Helpers shared by the tests: a private temporary folder that serves as the system and
// library folders, and file helpers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace orbtest {

// Creates a fresh folder and points ORBISCOPE_SYSTEM_DIR and ORBISCOPE_HOME at it; removes
// it again on destruction.
struct TempHome {
    std::string dir;
    TempHome();
    ~TempHome();
    std::string path(const std::string& name) const { return dir + "/" + name; }
};

std::vector<uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);
// Runs a command line through the shell; returns its exit status.
int Run(const std::string& command);
// Path of a file in the source tree.
std::string SourcePath(const std::string& relative);
// Entries of a folder, "." and ".." aside (the process's threads in /proc/self/task, its
// open descriptors in /proc/self/fd).
int CountEntries(const char* folder);

}  // namespace orbtest
