// Where the system keeps its files. Every path is absolute; nothing depends on the
// current directory.
#pragma once
#include <string>

namespace orb {

// The "Windows folder", home of the settings file: $ORBISCOPE_SYSTEM_DIR, else
// $XDG_CONFIG_HOME/orbiscope, else ~/.config/orbiscope (the account's home when HOME is
// unset, never a shared folder such as /tmp).
std::string SystemDir();
// The user's home: $HOME, else the account's home folder; empty when neither is known.
std::string HomeDir();
// The library's folder (Config.ure, User.dat, the text resource file): $ORBISCOPE_HOME,
// else the folder of the loaded library.
std::string LibraryDir();
// A file in one of those folders.
std::string SystemFile(const std::string& name);
std::string LibraryFile(const std::string& name);
// Creates a folder and its parents, private to the user; true when it exists afterwards.
bool MakeDirs(const std::string& path);
// Joins with exactly one "/" between the parts.
std::string JoinPath(const std::string& dir, const std::string& name);
// Stored or typed paths may use "\" as well as "/".
std::string NormaliseSeparators(std::string path);

}  // namespace orb
