#include "camera/http_answer.h"
#include "platform/text_case.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace orb {

namespace {

bool Blank(uint8_t c) { return c == ' ' || c == '\t'; }

int HexDigit(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

long FindHeadEnd(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size;) {
        const void* hit = std::memchr(data + i, '\n', size - i);
        if (!hit) return -1;
        const size_t lf = static_cast<const uint8_t*>(hit) - data;
        // An empty line: LF LF or LF CR LF.
        if (lf + 1 < size && data[lf + 1] == '\n') return static_cast<long>(lf + 2);
        if (lf + 2 < size && data[lf + 1] == '\r' && data[lf + 2] == '\n') return static_cast<long>(lf + 3);
        i = lf + 1;
    }
    return -1;
}

bool FindHeader(const uint8_t* data, size_t size, const char* name, std::string& value) {
    const size_t nameLength = std::strlen(name);
    size_t line = 0;
    while (line < size) {
        const void* hit = std::memchr(data + line, '\n', size - line);
        const size_t end = hit ? static_cast<size_t>(static_cast<const uint8_t*>(hit) - data) : size;
        size_t p = line;
        while (p < end && Blank(data[p])) ++p;
        if (end - p > nameLength && SameTextCaseBlind(std::string_view(reinterpret_cast<const char*>(data + p), nameLength), std::string_view(name, nameLength))) {
            size_t q = p + nameLength;
            while (q < end && Blank(data[q])) ++q;
            if (q < end && data[q] == ':') {
                ++q;
                size_t e = end;
                while (q < e && Blank(data[q])) ++q;
                while (e > q && (Blank(data[e - 1]) || data[e - 1] == '\r')) --e;
                value.assign(reinterpret_cast<const char*>(data) + q, e - q);
                return true;
            }
        }
        line = end + 1;
    }
    return false;
}

long ContentLengthIn(const uint8_t* data, size_t size) {
    std::string v;
    if (!FindHeader(data, size, "Content-Length", v) || v.empty()) return -1;
    long n = 0;
    for (char c : v) {
        if (c < '0' || c > '9') break;
        if (n > 100000000) return -1;  // no picture is that large
        n = n * 10 + (c - '0');
    }
    return v[0] >= '0' && v[0] <= '9' ? n : -1;
}

std::string BoundaryOf(const std::string& contentType) {
    const std::string lower = LowerCase(contentType);
    size_t at = lower.find("boundary");
    if (at == std::string::npos) return "";
    at += 8;
    while (at < lower.size() && Blank(static_cast<uint8_t>(lower[at]))) ++at;
    if (at >= lower.size() || lower[at] != '=') return "";
    ++at;
    while (at < lower.size() && Blank(static_cast<uint8_t>(lower[at]))) ++at;
    std::string b;
    if (at < contentType.size() && contentType[at] == '"') {
        const size_t close = contentType.find('"', at + 1);
        b = contentType.substr(at + 1, close == std::string::npos ? std::string::npos : close - at - 1);
    } else {
        const size_t end = contentType.find_first_of("; \t\r\n", at);
        b = contentType.substr(at, end == std::string::npos ? std::string::npos : end - at);
    }
    if (b.empty() || b.size() > 97) return "";
    // Servers that declare the boundary with its dashes write it that way in the stream;
    // the delimiter without extra dashes is still found inside one written with them.
    return b.compare(0, 2, "--") == 0 ? b : "--" + b;
}

AnswerHead ParseAnswerHead(const uint8_t* data, size_t size) {
    AnswerHead h;
    h.length = static_cast<long>(size);
    if (size >= 12 && std::memcmp(data, "HTTP/", 5) == 0) {
        const uint8_t* sp = static_cast<const uint8_t*>(std::memchr(data, ' ', std::min<size_t>(size, 16)));
        if (sp && sp + 4 <= data + size && std::isdigit(sp[1]) && std::isdigit(sp[2]) && std::isdigit(sp[3]))
            h.status = (sp[1] - '0') * 100 + (sp[2] - '0') * 10 + (sp[3] - '0');
    }
    h.contentLength = ContentLengthIn(data, size);
    std::string v;
    if (FindHeader(data, size, "Transfer-Encoding", v)) {
        h.chunked = LowerCase(v).find("chunked") != std::string::npos;
        if (h.chunked) h.contentLength = -1;  // the chunks frame the body
    }
    if (FindHeader(data, size, "Content-Type", v)) h.boundary = BoundaryOf(v);
    return h;
}

size_t Dechunk(ChunkDecoder& d, const uint8_t* in, size_t n, uint8_t* out, size_t room, size_t* used) {
    using S = ChunkDecoder::State;
    size_t i = 0, written = 0;
    while (i < n && d.state != S::Done && d.state != S::Error) {
        const uint8_t c = in[i];
        switch (d.state) {
        case S::Size: {
            const int h = HexDigit(c);
            if (h >= 0) {
                if (++d.digits > 15) {
                    d.state = S::Error;
                    break;
                }
                d.remaining = d.remaining * 16 + static_cast<uint64_t>(h);
            } else if (c == '\n') {
                if (d.digits == 0) {
                    d.state = S::Error;
                    break;
                }
                d.state = d.remaining ? S::Data : S::Trailer;
            } else if (c == ';' || Blank(c)) {
                d.state = S::Extension;
            } else if (c != '\r') {
                d.state = S::Error;
                break;
            }
            ++i;
            break;
        }
        case S::Extension:
            if (c == '\n') d.state = d.digits == 0 ? S::Error : d.remaining ? S::Data : S::Trailer;
            ++i;
            break;
        case S::Data: {
            const size_t take = static_cast<size_t>(std::min<uint64_t>(d.remaining, std::min(n - i, room - written)));
            if (take == 0) {  // no room left
                if (used) *used = i;
                return written;
            }
            std::memmove(out + written, in + i, take);
            written += take;
            i += take;
            d.remaining -= take;
            if (d.remaining == 0) d.state = S::DataEnd;
            break;
        }
        case S::DataEnd:  // the CR LF after a chunk's payload
            if (c == '\n') {
                d.state = S::Size;
                d.digits = 0;
            } else if (c != '\r') {
                d.state = S::Error;
                break;
            }
            ++i;
            break;
        case S::Trailer:  // start of a trailer line: an empty one ends the body
            if (c == '\n') d.state = S::Done;
            else if (c != '\r') d.state = S::TrailerLine;
            ++i;
            break;
        case S::TrailerLine:
            if (c == '\n') d.state = S::Trailer;
            ++i;
            break;
        default: break;
        }
    }
    if (used) *used = i;
    return written;
}

}  // namespace orb
