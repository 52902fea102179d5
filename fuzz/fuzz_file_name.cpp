// File names made from outside text: whatever the text, the name is one plain component
// that stays inside its folder, and HTML-escaped text holds no markup.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "export/web_page.h"
#include "platform/safe_names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const size_t limit = size ? 1 + data[0] % 300 : 255;
    for (const std::string& name : {orb::SafeFileName(text), orb::SafeFileName(text, limit), orb::SafeNamePart(text)}) {
        if (name.size() > orb::kNameComponentMax) __builtin_trap();
        for (const char c : name) {
            const unsigned char u = static_cast<unsigned char>(c);
            if (u < 0x20 || u == 0x7F || std::strchr("/\\\"'`*?[]<>|:", c)) __builtin_trap();
        }
        if (name.find("..") != std::string::npos) __builtin_trap();
    }
    const std::string whole = orb::SafeFileName(text, limit);
    if (whole.empty() || whole.size() > limit || whole[0] == '.' || whole[0] == '-') __builtin_trap();
    if (!orb::PathInside("/srv/recordings", "/srv/recordings/" + whole)) __builtin_trap();
    const std::string html = orb::HtmlEscape(std::string(text));
    if (html.find_first_of("<>\"'") != std::string::npos) __builtin_trap();
    return 0;
}
