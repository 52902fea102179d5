#include "camera/stream_parser.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace orb {

namespace {

bool In(int32_t model, std::initializer_list<int32_t> list) {
    return std::find(list.begin(), list.end(), model) != list.end();
}

Delimiter Text(const char* t) { return {DelimiterKind::Text, t, static_cast<int>(std::strlen(t))}; }

constexpr long kPartHeadMax = 4096;  // part headers longer than this are junk
constexpr long kHeadMax = 16384;     // so is an answer head

// The first position in [from, fill) where the model's delimiter matches (text kinds:
// FF D8 FF, the start that the picture cut at a text delimiter begins with).
long FindModelStart(const Delimiter& d, const uint8_t* b, long from, long fill) {
    const bool soi = d.kind == DelimiterKind::StartOfImage;
    const bool pattern = d.kind == DelimiterKind::Bytes;
    const long need = soi ? 5 : pattern ? std::max<long>(d.compareLength, 3) : 3;
    for (long p = from; p + need <= fill;) {
        const void* hit = std::memchr(b + p, 0xFF, static_cast<size_t>(fill - need + 1 - p));
        if (!hit) return -1;
        p = static_cast<const uint8_t*>(hit) - b;
        const bool match = soi       ? IsStartOfImage(b + p)
                           : pattern ? std::memcmp(b + p, d.bytes.data(), static_cast<size_t>(d.compareLength)) == 0
                                     : b[p + 1] == 0xD8 && b[p + 2] == 0xFF;
        if (match) return p;
        ++p;
    }
    return -1;
}

// A picture starts at FF D8 FF whatever the model: the start-of-image test's 00 after the
// first marker fails for a picture that opens with a long EXIF segment (and would find its
// thumbnail instead), and a JFIF pattern misses every picture without JFIF.
long FindStart(const uint8_t* b, long from, long fill) { return FindModelStart(Delimiter{}, b, from, fill); }

long FindText(const uint8_t* b, long from, long fill, const std::string& t) {
    if (t.empty() || fill - from < static_cast<long>(t.size())) return -1;
    const void* hit = memmem(b + from, static_cast<size_t>(fill - from), t.data(), t.size());
    return hit ? static_cast<const uint8_t*>(hit) - b : -1;
}

// The Content-Length of the part whose headers end right before the picture at s.
long PartLength(const uint8_t* b, long scan, long s) {
    const bool blankLine = s - scan >= 2 && b[s - 1] == '\n' &&
                           (b[s - 2] == '\n' || (s - scan >= 3 && b[s - 2] == '\r' && b[s - 3] == '\n'));
    if (!blankLine) return -1;
    const long from = std::max(scan, s - kPartHeadMax);
    return ContentLengthIn(b + from, static_cast<size_t>(s - from));
}

// The next delimiter after the picture's start, for a picture that cannot be walked.
long FindDelimiter(PushCutter& c, const uint8_t* b, long fill) {
    if (c.model.kind != DelimiterKind::Text) return FindModelStart(c.model, b, c.searched, fill);
    if (!c.delimiter.empty()) return FindText(b, c.searched, fill, c.delimiter);
    // The model's own delimiter, or the answer's where the model's does not occur.
    const long own = FindText(b, c.searched, fill, c.model.bytes);
    const long answer = FindText(b, c.searched, fill, c.answerBoundary);
    if (own < 0 && answer < 0) return -1;
    const bool useOwn = own >= 0 && (answer < 0 || own <= answer);
    c.delimiter = useOwn ? c.model.bytes : c.answerBoundary;
    return useOwn ? own : answer;
}

void Finish(PushCutter& c, CutPicture& out, long start, long length, bool cut) {
    out = {start, length, cut};
    c.scan = c.soiFrom = start + length;
    c.start = c.end = -1;
    c.fallback = false;
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

PushCutter MakePushCutter(int32_t model, const std::string& answerBoundary) {
    PushCutter c;
    c.answerBoundary = answerBoundary.substr(0, 99);
    c.model = DelimiterFor(model);
    if (DelimiterFromAnswer(model)) {
        // Without a boundary in the answer, pictures follow each other bare.
        c.model = c.answerBoundary.empty() ? Delimiter{DelimiterKind::StartOfImage, {}, 5}
                                           : Delimiter{DelimiterKind::Text, c.answerBoundary,
                                                       static_cast<int>(c.answerBoundary.size())};
    }
    return c;
}

bool NextPicture(PushCutter& c, const uint8_t* b, long fill, bool closed, CutPicture& out) {
    if (c.start < 0) {
        const long s = FindStart(b, c.soiFrom, fill);
        if (s < 0) {
            c.soiFrom = std::max(c.soiFrom, fill - 9);  // a start may straddle this read
            return false;
        }
        c.start = s;
        c.walk = JpegWalk{};
        c.fallback = false;
        const long length = PartLength(b, c.scan, s);
        c.end = length > 0 && length <= 1000000 ? s + length : -1;
    }
    const long s = c.start;
    if (c.end >= 0) {
        if (fill < c.end) {
            if (!closed) return false;
            Finish(c, out, s, fill - s, true);
            return true;
        }
        if (JpegEndsWhole(b + s, static_cast<size_t>(c.end - s))) {
            Finish(c, out, s, c.end - s, false);
            return true;
        }
        c.end = -1;  // the length does not land on the picture's end: walk it instead
    }
    if (!c.fallback) {
        long length = 0;
        switch (WalkJpeg(c.walk, b + s, static_cast<size_t>(fill - s), &length)) {
        case JpegEnd::Complete: Finish(c, out, s, length, false); return true;
        case JpegEnd::NewPicture: Finish(c, out, s, length, true); return true;
        case JpegEnd::Incomplete:
            if (!closed) return false;
            Finish(c, out, s, fill - s, true);
            return true;
        case JpegEnd::Broken:
            c.fallback = true;
            c.searched = s + 2;
            break;
        }
    }
    const long d = FindDelimiter(c, b, fill);
    if (d < 0) {
        c.searched = std::max(c.searched, fill - 100);
        if (!closed) return false;
        Finish(c, out, s, fill - s, !JpegEndsWhole(b + s, static_cast<size_t>(fill - s)));
        return true;
    }
    Finish(c, out, s, d - s, false);
    return true;
}

long CutterKeepFrom(const PushCutter& c) {
    if (c.start >= 0) return c.start;
    return std::max(c.scan, c.soiFrom - kPartHeadMax);
}

void CompactStream(PushCutter& c, uint8_t* buffer, int32_t& fill, long keep) {
    if (keep <= 0 || keep > fill) return;
    std::memmove(buffer, buffer + keep, static_cast<size_t>(fill - keep));
    fill -= static_cast<int32_t>(keep);
    auto shift = [keep](long& v) { v = std::max<long>(v - keep, v < 0 ? v : 0); };
    shift(c.scan);
    shift(c.soiFrom);
    shift(c.searched);
    if (c.start >= 0) c.start -= keep;
    if (c.end >= 0) c.end -= keep;
}

int ReadAnswerHead(uint8_t* buffer, size_t capacity, long& fill, const ReadOnce& read, AnswerHead& head) {
    head = AnswerHead{};
    head.length = 0;
    fill = 0;
    const long limit = std::min<long>(kHeadMax, static_cast<long>(capacity) - 1);
    for (;;) {
        const long n = read(buffer + fill, static_cast<size_t>(std::min<long>(2048, limit - fill)));
        if (n <= 0) return n == 0 ? 0 : -1;
        fill += n;
        // No status line: there is no head, everything is body.
        if (fill >= 5 && std::memcmp(buffer, "HTTP/", 5) != 0) return 1;
        const long end = FindHeadEnd(buffer, static_cast<size_t>(fill));
        if (end > 0) {
            head = ParseAnswerHead(buffer, static_cast<size_t>(end));
            return 1;
        }
        if (fill >= limit) return 1;  // no end in sight: take it all as body
    }
}

AnswerPicture ReadAnswerPicture(uint8_t* buffer, size_t capacity, const ReadOnce& read,
                                const std::function<bool()>& abort) {
    AnswerPicture none;
    if (capacity < 4096) return none;
    long fill = 0;
    AnswerHead head;
    if (ReadAnswerHead(buffer, capacity, fill, read, head) <= 0) return none;
    none.status = head.status;
    if (head.status >= 300) return none;
    const long body = head.length;
    const long room = static_cast<long>(capacity) - 1;
    long end = fill;  // end of the body bytes in the buffer
    bool closed = false;
    auto readMore = [&](uint8_t* into, long max) {
        const long n = max > 0 ? read(into, static_cast<size_t>(std::min<long>(2048, max))) : 0;
        if (n <= 0) closed = true;
        return std::max<long>(n, 0);
    };
    if (head.chunked) {
        // De-chunked in place: the payload moves toward the front over the chunk lines.
        ChunkDecoder d;
        long raw = body;
        size_t used = 0;
        end = body + static_cast<long>(Dechunk(d, buffer + raw, static_cast<size_t>(fill - raw), buffer + body,
                                               static_cast<size_t>(room - body), &used));
        raw += static_cast<long>(used);
        while (d.state != ChunkDecoder::State::Done && d.state != ChunkDecoder::State::Error && !closed) {
            // What is not decoded yet (part of a chunk line) moves up behind the payload.
            std::memmove(buffer + end, buffer + raw, static_cast<size_t>(fill - raw));
            fill = end + (fill - raw);
            raw = end;
            fill += readMore(buffer + fill, room - fill);
            if (abort && abort()) return none;
            end += static_cast<long>(Dechunk(d, buffer + raw, static_cast<size_t>(fill - raw), buffer + end,
                                             static_cast<size_t>(room - end), &used));
            raw += static_cast<long>(used);
        }
        closed = closed || d.state != ChunkDecoder::State::Done;
    } else if (head.contentLength >= 0) {
        if (body + head.contentLength > room) return none;  // larger than any buffer
        while (fill < body + head.contentLength && !closed) {
            fill += readMore(buffer + fill, body + head.contentLength - fill);
            if (abort && abort()) return none;
        }
        end = std::min(fill, body + head.contentLength);
        closed = fill < body + head.contentLength;
    }
    // Framed by the connection's end, or by the picture's own end (a server that keeps the
    // connection open after it).
    const bool framed = head.chunked || head.contentLength >= 0;
    long s = -1, length = 0;
    JpegWalk walk;
    bool walkable = true;
    for (;;) {
        if (s < 0) s = FindStart(buffer, body, end);
        if (s >= 0 && walkable) {
            const JpegEnd e = WalkJpeg(walk, buffer + s, static_cast<size_t>(end - s), &length);
            if (e == JpegEnd::Complete) return {s, length, false, head.status};
            walkable = e == JpegEnd::Incomplete;  // else the answer's end frames it
        }
        if (closed || framed) break;
        end = fill += readMore(buffer + fill, room - fill);
        if (abort && abort()) return none;
    }
    if (s < 0) return none;
    const long n = end - s;
    return {s, n, !JpegEndsWhole(buffer + s, static_cast<size_t>(n)), head.status};
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
