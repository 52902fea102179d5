// Where the system keeps its files. Every path is absolute; nothing depends on the
// current directory.
#pragma once
#include <string>

namespace orb {

// The "Windows folder", home of the settings file: $ORBISCOPE_SYSTEM_DIR, else
// $XDG_CONFIG_HOME/orbiscope, else ~/.config/orbiscope.
std::string SystemDir();
// The library's folder (Config.ure, User.dat, the text resource file): $ORBISCOPE_HOME,
// else the folder of the loaded library.
std::string LibraryDir();
// This user's own data folder for the system: $XDG_DATA_HOME/orbiscope, else
// ~/.local/share/orbiscope ("" without either).
std::string UserDataDir();
// A file in one of those folders.
std::string SystemFile(const std::string& name);
std::string LibraryFile(const std::string& name);
// Creates a folder and its parents; true when it exists afterwards.
bool MakeDirs(const std::string& path);
// Joins with exactly one "/" between the parts.
std::string JoinPath(const std::string& dir, const std::string& name);
// Stored or typed paths may use "\" as well as "/".
std::string NormaliseSeparators(std::string path);

}  // namespace orb
