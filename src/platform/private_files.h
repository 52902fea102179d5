// Files and folders the library creates hold recordings, passwords and commands: they are
// private to the user (0600, folders 0700) unless the user's umask shares with the group
// (a umask that leaves group write open, 002 or 007), when the group gets what the umask
// allows. Others never get anything. Every descriptor is opened close-on-exec, so no
// program started meanwhile inherits it.
#pragma once
#include <sys/types.h>

#include <cstdio>

namespace orb {

// The process's umask, read without changing it.
mode_t CurrentUmask();
mode_t PrivateFileMode();
mode_t PrivateDirMode();

// fopen with the same mode letters ("r", "w", "a", "+", "b", "x"), close-on-exec, and a
// created file made with PrivateFileMode.
FILE* OpenFile(const char* path, const char* mode);

// mkdir with PrivateDirMode; true when the folder was made or already exists.
bool MakePrivateDir(const char* path);

}  // namespace orb
