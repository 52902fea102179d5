// INI files with the lookup, default and cut-off rules of private-profile functions:
// case-blind section and key names, values trimmed (and unquoted), results cut to the
// caller's buffer, writes that create the file and keep every other line. Nothing is
// cached: every call reads the file.
#pragma once
#include <cstddef>
#include <string>

namespace orb {

// Copies the value (or the default when the section, key or file is missing) into buf,
// cut to size-1 characters and NUL-terminated; returns the number of characters copied.
size_t GetPrivateProfileString(const char* section, const char* key, const char* def, char* buf, size_t size,
                               const std::string& path);
// The value's leading decimal number (atoi rules), or def when the key is missing.
int GetPrivateProfileInt(const char* section, const char* key, int def, const std::string& path);
// Writes key=value into section, creating the file and section as needed. A null value
// removes the key; a null key removes the section. The file is replaced atomically.
// Nothing is written (false) when a text would break out of its line (a line break in
// any of them, "]" in the section, "=" in the key, or a key that starts like a section
// or a comment): a value can never add sections or keys.
bool ProfileTextAllowed(const char* section, const char* key, const char* value);
bool WritePrivateProfileString(const char* section, const char* key, const char* value, const std::string& path);

// Convenience: the value cut to a buffer of bufSize characters (so at most bufSize-1).
std::string ProfileString(const char* section, const char* key, const char* def, size_t bufSize,
                          const std::string& path);

}  // namespace orb
