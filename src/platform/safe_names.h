// File names made from text that came from outside: a camera's location, a record's names,
// a name typed or chosen in a dialog. One function makes every such text a single harmless
// name component, and one check keeps a built path inside the folder it was meant for.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace orb {

// The longest name component a file system takes.
constexpr size_t kNameComponentMax = 255;

// One name component made from the text: path separators, "..", quotes, control characters
// and the characters that other programs treat as patterns are replaced by "_"; a leading
// "." or "-" is replaced too, so the name is never hidden, never "." or "..", and never read
// as an option. Bytes above 127 (UTF-8 text) are kept. Cut to maxBytes (at least 1); never
// empty.
std::string SafeFileName(std::string_view text, size_t maxBytes = kNameComponentMax);

// The same for a piece inside a name (after a time stamp, before an extension): as above but
// an empty text stays empty and a leading "." or "-" is allowed, since the piece never
// starts the name.
std::string SafeNamePart(std::string_view text, size_t maxBytes = kNameComponentMax);

// True when path, once "." and ".." are resolved (and symbolic links of the part that
// exists), lies inside folder and is not the folder itself.
bool PathInside(const std::string& folder, const std::string& path);

}  // namespace orb
