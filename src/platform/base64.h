// Base64 over NUL-terminated 8-bit text, standard alphabet with "=" padding.
#pragma once
#include <string>
#include <string_view>

namespace orb {

// At most 99 source characters are encoded (the rest is ignored).
std::string Base64Encode(std::string_view text);
// At most 100 source characters are decoded; characters outside the alphabet count as
// zero bits; a trailing incomplete group is ignored; the result stops at a decoded NUL.
std::string Base64Decode(std::string_view text);

}  // namespace orb
