// File work shared by the pack builder and the web page generator.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace orb {

constexpr size_t kCopyChunk = 30000;

// Copies source to an already opened target in chunks of 30000 bytes; false on the first
// failed read or write.
bool CopyInto(const std::string& source, std::FILE* target);
// Creates target ("wb+") and copies source into it.
bool CopyFileTo(const std::string& source, const std::string& target);

// Zeroes the camera's account and password in a recording (the record in its header) or a
// snapshot (the record in its trailer): 1 done, 0 neither kind of file, -1 on failure.
// Only ever used on a copy.
int BlankCredentials(const std::string& path);

long long FileSizeOf(const std::string& path);  // -1 when absent

// The last path component (after the last "/" or "\").
std::string LastComponent(const std::string& path);
// Everything before the last component (ending in its separator), or empty.
std::string FolderOf(const std::string& path);

// A text of the language module with each "%s" replaced by the next argument (a missing
// argument leaves nothing); "%%" gives "%". Resource texts never reach printf.
std::string FillText(const std::string& text, const std::vector<std::string>& args);

}  // namespace orb
