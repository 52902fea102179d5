#include "platform/text_case.h"

namespace orb {

namespace {

char Small(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool SameTextCaseBlind(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Small(a[i]) != Small(b[i])) return false;
    return true;
}

bool EndsWithCaseBlind(std::string_view text, std::string_view tail) {
    return text.size() > tail.size() && SameTextCaseBlind(text.substr(text.size() - tail.size()), tail);
}

std::string LowerCase(std::string text) {
    for (char& c : text) c = Small(c);
    return text;
}

}  // namespace orb
