#include "camera/stream_parser.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace orb {

namespace {

bool In(int32_t model, std::initializer_list<int32_t> list) {
    return std::find(list.begin(), list.end(), model) != list.end();
}

Delimiter Text(const char* t) { return {DelimiterKind::Text, t, static_cast<int>(std::strlen(t))}; }

// Searches [from, last] for a delimiter whose first byte is found with memchr.
long FindPattern(const uint8_t* buffer, long from, long last, const uint8_t* pattern, size_t length) {
    if (length == 0) return -1;
    const uint8_t first = pattern[0];
    for (long p = from; p <= last;) {
        const void* hit = std::memchr(buffer + p, first, static_cast<size_t>(last - p + 1));
        if (!hit) return -1;
        p = static_cast<const uint8_t*>(hit) - buffer;
        if (std::memcmp(buffer + p, pattern, length) == 0) return p;
        ++p;
    }
    return -1;
}

}  // namespace

bool DelimiterFromAnswer(int32_t model) { return In(model, {400, 401, 402}); }

Delimiter DelimiterFor(int32_t model) {
    if (In(model, {22, 26, 67, 68})) return Text("--MOBOTIX_Fast_Serverpush");
    if (In(model, {36, 37, 38, 39, 41})) return Text("--ImageSeparator");
    if (In(model, {250, 253})) return Text("---nessy2jpegboundary");
    if (In(model, {62, 110, 111})) return {DelimiterKind::Bytes, std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10), 5};
    if (In(model, {35, 55, 63, 64, 65, 66, 69, 70, 71, 130, 131, 132, 133, 155, 198, 199, 220, 221, 222, 223, 280, 300,
                   301, 370, 371}))
        return {DelimiterKind::StartOfImage, {}, 5};
    return Text("--myboundary");
}

Delimiter DelimiterFromHeader(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    size_t at = text.find("boundary=");
    if (at == std::string::npos) at = 0;
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos) end = text.size();
    std::string d = text.substr(at, std::min<size_t>(end - at, 99));
    if (d.empty()) d = "--myboundary";  // an empty answer line can be no delimiter
    return {DelimiterKind::Text, d, static_cast<int>(d.size())};
}

long SearchPass(const uint8_t* buffer, int32_t fillBefore, int32_t fillAfter, const Delimiter& d) {
    if (fillBefore < kSearchFrom || fillAfter <= fillBefore) return -1;
    long found = -1;
    if (d.kind == DelimiterKind::StartOfImage) {
        const long last = static_cast<long>(fillAfter) - 5;
        for (long p = fillBefore; p <= last; ++p) {
            const void* hit = std::memchr(buffer + p, 0xFF, static_cast<size_t>(last - p + 1));
            if (!hit) break;
            p = static_cast<const uint8_t*>(hit) - buffer;
            if (IsStartOfImage(buffer + p)) {
                found = p;
                break;
            }
        }
    } else {
        const size_t length = std::min<size_t>(static_cast<size_t>(std::max(d.compareLength, 0)), d.bytes.size());
        const long last = static_cast<long>(fillAfter) - std::max<long>(static_cast<long>(length), 4);
        found = FindPattern(buffer, fillBefore, last, reinterpret_cast<const uint8_t*>(d.bytes.data()), length);
    }
    // The delimiter that opens the buffer does not end a picture.
    return found > kOpeningDelimiter ? found : -1;
}

long PictureStart(const uint8_t* buffer, long delimiter) {
    for (long s = 0; delimiter - s >= kMinPicture; ++s) {
        const void* hit = std::memchr(buffer + s, 0xFF, static_cast<size_t>(delimiter - kMinPicture - s + 1));
        if (!hit) return -1;
        s = static_cast<const uint8_t*>(hit) - buffer;
        if (delimiter - s < kMinPicture) return -1;
        if (buffer[s + 1] == 0xD8 && buffer[s + 2] == 0xFF) return s;
    }
    return -1;
}

void CompactBuffer(uint8_t* buffer, int32_t& fill, long delimiter) {
    if (delimiter <= 0 || delimiter > fill) return;
    std::memmove(buffer, buffer + delimiter, static_cast<size_t>(fill - delimiter));
    fill -= static_cast<int32_t>(delimiter);
}

namespace {

long FindSoi3(const uint8_t* buffer, long from, long end) {
    for (long p = from; p + 3 <= end; ++p)
        if (buffer[p] == 0xFF && buffer[p + 1] == 0xD8 && buffer[p + 2] == 0xFF) return p;
    return -1;
}

}  // namespace

AnswerPicture CutLengthFramed(uint8_t* buffer, size_t capacity, const ReadOnce& read, const std::function<bool()>& abort) {
    AnswerPicture none;
    if (capacity < 4096) return none;
    long fill = read(buffer, 2048);
    if (fill <= 0) return none;
    buffer[fill] = 0;
    const char* text = reinterpret_cast<const char*>(buffer);
    const char* header = std::strstr(text, "Content-length: ");
    if (!header) header = std::strstr(text, "Content-Length: ");
    if (!header) return none;
    const long length = std::atol(header + 16);
    const long start = FindSoi3(buffer, header - text, fill);
    if (start < 0 || length <= 0 || static_cast<size_t>(start) + static_cast<size_t>(length) > capacity - 1) return none;
    while (fill - start < length) {
        const long room = std::min<long>(2048, static_cast<long>(capacity) - 1 - fill);
        const long n = room > 0 ? read(buffer + fill, static_cast<size_t>(room)) : 0;
        if (n <= 0) {
            // The camera ended the answer early: a long enough one still counts.
            if (fill > 1000) return {start, std::min(length, fill - start)};
            return none;
        }
        fill += n;
        if (abort && abort()) return none;
    }
    return {start, length};
}

AnswerPicture CutCloseFramed(int32_t model, uint8_t* buffer, size_t capacity, const ReadOnce& read,
                             const std::function<bool()>& abort) {
    AnswerPicture none;
    if (capacity < 4096) return none;
    long fill = read(buffer, 2048);
    if (fill <= 0) return none;
    if (model == 340 && fill < 500) {  // the first read held only the headers
        fill = read(buffer, 2048);
        if (fill <= 0) return none;
    }
    buffer[fill] = 0;
    const long start = FindSoi3(buffer, 0, fill);
    if (start < 0) return none;
    for (;;) {
        const long room = std::min<long>(2048, static_cast<long>(capacity) - 1 - fill);
        const long n = room > 0 ? read(buffer + fill, static_cast<size_t>(room)) : 0;
        if (n <= 0) break;
        fill += n;
        if (abort && abort()) return none;
    }
    if (fill > 3000) return {start, fill - start};
    return none;
}

bool AcceptPictureSize(int32_t model, bool lengthPolling, int w, int h) {
    if (lengthPolling) {
        auto is = [](int v, std::initializer_list<int> l) { return std::find(l.begin(), l.end(), v) != l.end(); };
        switch (model) {
        case 16: return is(w, {1280, 640}) && is(h, {1024, 480, 960});
        case 17: return is(w, {1600, 800}) && is(h, {1200, 600});
        case 18: return is(w, {2048, 1024}) && is(h, {1536, 768});
        case 19:
        case 90: return is(w, {720, 640}) && h == 480;
        case 20: return is(w, {1280, 1376}) && is(h, {1024, 1032, 960});
        case 61: return is(w, {2560, 640}) && is(h, {1920, 480, 960});
        default: break;
        }
    }
    return w >= 100 && w <= 32000 && h >= 100 && h <= 32000;
}

}  // namespace orb
