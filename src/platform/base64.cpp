#include "platform/base64.h"

#include <algorithm>
#include <cstring>

#include "orbiscope.h"

namespace orb {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int SixBits(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return 0;
}
}  // namespace

std::string Base64Encode(std::string_view text) {
    text = text.substr(0, std::min<size_t>(text.size(), 99));
    if (const size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    std::string out;
    out.reserve((text.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= text.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(text[i]) << 16) | (static_cast<unsigned char>(text[i + 1]) << 8) |
                           static_cast<unsigned char>(text[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    const size_t rest = text.size() - i;
    if (rest == 1) {
        const unsigned v = static_cast<unsigned char>(text[i]) << 16;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (rest == 2) {
        const unsigned v = (static_cast<unsigned char>(text[i]) << 16) | (static_cast<unsigned char>(text[i + 1]) << 8);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

std::string Base64Decode(std::string_view text) {
    if (const size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    text = text.substr(0, std::min<size_t>(text.size(), 100));
    if (text.empty()) return {};
    int pads = 0;
    for (size_t k = text.size() >= 2 ? text.size() - 2 : 0; k < text.size(); ++k)
        if (text[k] == '=') ++pads;
    std::string out;
    for (size_t i = 0; i + 4 <= text.size(); i += 4) {
        const unsigned v = (SixBits(text[i]) << 18) | (SixBits(text[i + 1]) << 12) | (SixBits(text[i + 2]) << 6) |
                           SixBits(text[i + 3]);
        out += static_cast<char>((v >> 16) & 255);
        out += static_cast<char>((v >> 8) & 255);
        out += static_cast<char>(v & 255);
    }
    const long length = static_cast<long>(text.size() / 4 * 3) - pads;
    out.resize(length > 0 ? static_cast<size_t>(length) : 0);
    if (const size_t nul = out.find('\0'); nul != std::string::npos) out.resize(nul);
    return out;
}

}  // namespace orb

extern "C" {

char* EncodeBase64(const char* source, char* destination) {
    if (!destination) return destination;
    const std::string out = orb::Base64Encode(source ? source : "");
    std::memcpy(destination, out.c_str(), out.size() + 1);
    return destination;
}

char* DecodeBase64(const char* source, char* destination) {
    if (!destination) return destination;
    const std::string out = orb::Base64Decode(source ? source : "");
    std::memcpy(destination, out.c_str(), out.size() + 1);
    return destination;
}

}
