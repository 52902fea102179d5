// Comparing names the way the file systems and protocols we meet do: ASCII letters without
// regard to case (section and key names, HTTP header names, file extensions, folder names
// found under any spelling). Bytes above 127 compare as they are.
#pragma once
#include <string>
#include <string_view>

namespace orb {

// True when a and b have the same length and the same letters, case aside.
bool SameTextCaseBlind(std::string_view a, std::string_view b);

// True when text is longer than tail and ends with it, case aside.
bool EndsWithCaseBlind(std::string_view text, std::string_view tail);

// The text with ASCII capitals made small.
std::string LowerCase(std::string text);

}  // namespace orb
