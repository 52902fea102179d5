// Cutting JPEG pictures out of camera answers, in place in the receive buffer: multipart
// push streams, and single-picture answers framed by their Content-Length, by chunks or by
// the camera closing the connection.
//
// A picture ends where it really ends: at the part's Content-Length when that lands on the
// picture's end-of-image marker, else at the end-of-image marker found by walking its
// segments (a thumbnail inside it does not end it). Only a picture whose segments cannot
// be walked is cut at the stream's delimiter, and the decoder is left to judge it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "camera/http_answer.h"
#include "camera/jpeg_extent.h"

namespace orb {

enum class DelimiterKind { Text, Bytes, StartOfImage };

struct Delimiter {
    DelimiterKind kind = DelimiterKind::Text;
    std::string bytes;      // text or byte pattern (at most 99 bytes)
    int compareLength = 0;  // bytes compared
};

// The frame delimiter of a push-stream model (models 400-402 take theirs from the answer).
Delimiter DelimiterFor(int32_t model);
bool DelimiterFromAnswer(int32_t model);

// FF D8 FF at p and 00 at p+4 (p+3 is the marker, not tested). Needs 5 bytes at p.
inline bool IsStartOfImage(const uint8_t* p) { return p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF && p[4] == 0x00; }

// A picture cut out of the buffer. cut: it is known to be incomplete (its end never came).
struct CutPicture {
    long start = -1;
    long length = 0;
    bool cut = false;
};

// The push-stream cutter of one connection.
struct PushCutter {
    Delimiter model;             // the model's delimiter
    std::string answerBoundary;  // "--name" from the answer's Content-Type, or ""
    std::string delimiter;       // the text delimiter in force, once one was seen
    long scan = 0;               // where the next part begins
    long soiFrom = 0;            // where the search for its start of image resumes
    long start = -1;             // first byte of the picture in progress
    long end = -1;               // its end by the part's Content-Length
    bool fallback = false;       // its segments cannot be walked: it ends at a delimiter
    long searched = 0;           // where that delimiter search resumes
    JpegWalk walk;
};

// A cutter for the model. The answer's boundary serves when the model's delimiter does
// not occur in the stream (and always for the models that take theirs from the answer).
PushCutter MakePushCutter(int32_t model, const std::string& answerBoundary);
// The next picture in buffer[0, fill): true with the picture when one is complete, or,
// once the stream has `closed`, the picture in progress marked cut.
bool NextPicture(PushCutter& c, const uint8_t* buffer, long fill, bool closed, CutPicture& out);
// Bytes before this position are no longer needed.
long CutterKeepFrom(const PushCutter& c);
// Moves the bytes from `keep` on to the buffer's start and tells the cutter.
void CompactStream(PushCutter& c, uint8_t* buffer, int32_t& fill, long keep);

// One receive into the given place, at most the given count: the count, 0 when the camera
// closed, negative on error or stop.
using ReadOnce = std::function<long(uint8_t* into, size_t max)>;

// Reads until the answer's head is complete. The head stays at the buffer's start and
// `fill` counts every byte read. An answer that does not start with a status line has no
// head (length 0). Result: 1, 0 when the camera closed first, negative on error.
int ReadAnswerHead(uint8_t* buffer, size_t capacity, long& fill, const ReadOnce& read, AnswerHead& head);

// A single-picture answer (the polling loops): the head, then the body by its
// Content-Length, by its chunks, or until the camera closes or the picture's end arrives
// (a server that keeps the connection open). `abort` is asked after each read.
struct AnswerPicture {
    long start = -1;
    long length = 0;
    bool cut = false;  // the answer ended before its picture did
    int status = 0;    // the answer's status code, 0 without a status line
};
AnswerPicture ReadAnswerPicture(uint8_t* buffer, size_t capacity, const ReadOnce& read,
                                const std::function<bool()>& abort);

// Size bounds of a decoded picture: 100..32000 each way, or the exact sizes some polling
// models deliver.
bool AcceptPictureSize(int32_t model, bool lengthPolling, int width, int height);

}  // namespace orb
