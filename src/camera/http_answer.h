// The head of a camera's HTTP answer, read the way servers really write it: header names
// in any case, with or without a blank after the colon, lines ended by CR LF or LF alone;
// and the de-chunking of a body sent with chunked transfer encoding.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace orb {

// The end of the head (the first byte after its empty line), or -1 while it is incomplete.
long FindHeadEnd(const uint8_t* data, size_t size);

// The value of the first header line named `name` (case-blind) in [data, data+size), blanks
// around it trimmed; false when no line has that name.
bool FindHeader(const uint8_t* data, size_t size, const char* name, std::string& value);

// What the capture needs from an answer's head.
struct AnswerHead {
    int status = 0;              // from "HTTP/1.x NNN", 0 when the head has no status line
    long length = 0;             // bytes of the head, empty line included
    long contentLength = -1;     // -1 when absent or unusable
    bool chunked = false;        // Transfer-Encoding: chunked
    std::string boundary;        // multipart boundary as the stream writes it ("--name"), or ""
};
// Parses a complete head of `size` bytes (as FindHeadEnd measured it).
AnswerHead ParseAnswerHead(const uint8_t* data, size_t size);

// The multipart delimiter of a Content-Type value ("--" + boundary parameter, quotes
// removed; a boundary declared with its two dashes is taken as it is), or "".
std::string BoundaryOf(const std::string& contentType);

// The Content-Length among the header lines in [data, data+size), or -1.
long ContentLengthIn(const uint8_t* data, size_t size);

// A chunked body's decoder; it keeps its place between reads.
struct ChunkDecoder {
    enum class State { Size, Extension, Data, DataEnd, Trailer, TrailerLine, Done, Error };
    State state = State::Size;
    uint64_t remaining = 0;  // payload bytes left in the current chunk
    int digits = 0;
    bool sawCr = false;
};
// Decodes `n` bytes of chunked body from `in`, writing payload to `out` (at most `room`
// bytes; `out` may be `in` itself or lie before it: payload only ever moves toward the
// front). Returns the payload bytes written; `*used` = input bytes consumed.
size_t Dechunk(ChunkDecoder& d, const uint8_t* in, size_t n, uint8_t* out, size_t room, size_t* used);

}  // namespace orb
