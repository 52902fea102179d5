// Where the system keeps its files. Every path is absolute; nothing depends on the
// current directory.
#pragma once
#include <string>
#include <vector>

namespace orb {

// The user's configuration folder: $XDG_CONFIG_HOME/orbiscope, else ~/.config/orbiscope.
std::string UserConfigDir();
// The user's data folder: $XDG_DATA_HOME/orbiscope, else ~/.local/share/orbiscope.
std::string UserDataDir();
// The user's pictures folder (XDG_PICTURES_DIR of user-dirs.dirs), else ~/Pictures.
std::string UserPicturesDir();
// The "Windows folder", home of the settings file: $ORBISCOPE_SYSTEM_DIR, else the user's
// configuration folder.
std::string SystemDir();
// The folder of the loaded library, or of the program it is linked into.
std::string ModuleDir();
// The library's folder (Config.ure, User.dat and the other files the library writes):
// $ORBISCOPE_HOME; else the module's folder when it is writable and already holds
// Config.ure or User.dat (a private copy kept beside the library); else the user's
// configuration folder, created when missing. Installed, the module's folder is read-only.
// The user's home: $HOME, else the account's home folder; empty when neither is known.
std::string HomeDir();
std::string LibraryDir();
// A file in one of those folders.
std::string SystemFile(const std::string& name);
std::string LibraryFile(const std::string& name);
// A file the library ships (the text resource file): the library's folder, beside the
// module, the data folder of the installed tree the module sits in, then the system's data
// folders. With $ORBISCOPE_HOME set only that folder and the module's own installed tree
// count. The library-folder path when none has it.
std::string DataFile(const std::string& name);
// The data folders DataFile looks in after the library's folder, in order.
std::vector<std::string> DataDirs();
// Creates a folder and its parents, private to the user; true when it exists afterwards.
bool MakeDirs(const std::string& path);
// Joins with exactly one "/" between the parts.
std::string JoinPath(const std::string& dir, const std::string& name);
// Stored or typed paths may use "\" as well as "/".
std::string NormaliseSeparators(std::string path);

// The folder above RECVAULT for snapshots ("the system drive"), ending in "/": the user's
// pictures folder on a desktop, else the parent of $ORBISCOPE_SYSTEM_DIR.
std::string SystemDriveText();

// True when something exists at path; IsRegularFile only for a regular file.
bool FileExists(const std::string& path);
bool IsRegularFile(const std::string& path);

}  // namespace orb
