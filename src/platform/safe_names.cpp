#include "platform/safe_names.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace orb {

namespace {

bool Replaced(unsigned char c) {
    if (c < 0x20 || c == 0x7F) return true;
    switch (c) {
        case '/': case '\\': case '"': case '\'': case '`':
        case '*': case '?': case '[': case ']': case '<': case '>': case '|': case ':':
            return true;
        default:
            return false;
    }
}

std::string Clean(std::string_view text, size_t maxBytes) {
    if (maxBytes == 0) maxBytes = 1;
    std::string out;
    out.reserve(std::min(text.size(), maxBytes));
    for (const char ch : text) {
        if (out.size() >= maxBytes) break;
        const unsigned char c = static_cast<unsigned char>(ch);
        // A run of dots never survives whole: ".." becomes "._".
        if (c == '.' && !out.empty() && out.back() == '.') {
            out += '_';
            continue;
        }
        out += Replaced(c) ? '_' : ch;
    }
    // A cut may split a UTF-8 sequence: drop its incomplete tail.
    size_t end = out.size();
    size_t lead = end;
    while (lead > 0 && (static_cast<unsigned char>(out[lead - 1]) & 0xC0) == 0x80) --lead;
    if (lead > 0 && static_cast<unsigned char>(out[lead - 1]) >= 0xC0) {
        const unsigned char first = static_cast<unsigned char>(out[lead - 1]);
        const size_t need = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : 2;
        if (end - (lead - 1) < need) out.resize(lead - 1);
    }
    return out;
}

std::filesystem::path Normal(const std::string& p) {
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::path(p).lexically_normal();
    std::filesystem::path real = std::filesystem::weakly_canonical(abs, ec);
    return (ec ? abs : real).lexically_normal();
}

}  // namespace

std::string SafeNamePart(std::string_view text, size_t maxBytes) { return Clean(text, maxBytes); }

std::string SafeFileName(std::string_view text, size_t maxBytes) {
    std::string out = Clean(text, maxBytes);
    if (out.empty()) return "_";
    if (out[0] == '.' || out[0] == '-') out[0] = '_';
    return out;
}

bool PathInside(const std::string& folder, const std::string& path) {
    if (folder.empty() || path.empty()) return false;
    std::filesystem::path f = Normal(folder), p = Normal(path);
    if (f.has_parent_path() && f.filename().empty()) f = f.parent_path();  // "dir/" is "dir"
    if (p.has_parent_path() && p.filename().empty()) p = p.parent_path();
    auto fi = f.begin(), pi = p.begin();
    for (; fi != f.end(); ++fi, ++pi)
        if (pi == p.end() || *fi != *pi) return false;
    return pi != p.end();
}

}  // namespace orb
