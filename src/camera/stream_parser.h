// Cutting JPEG pictures out of camera answers, in place in the receive buffer: multipart
// push streams by their frame delimiter, and single-picture answers framed by their
// Content-Length or by the camera closing the connection.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

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
// From an answer's header: "boundary=..." up to CR, LF or NUL, else the first line.
Delimiter DelimiterFromHeader(const uint8_t* data, size_t size);

// FF D8 FF at p and 00 at p+4 (p+3 is the marker, not tested). Needs 5 bytes at p.
inline bool IsStartOfImage(const uint8_t* p) { return p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF && p[4] == 0x00; }

// Threshold of the search: no search while the buffer held fewer bytes before the pass,
// and a delimiter this near the start (the one that opens the buffer) does not count.
constexpr int32_t kSearchFrom = 1000;
constexpr int32_t kOpeningDelimiter = 1500;
constexpr int32_t kMinPicture = 500;

// One pass of the push-stream search over the bytes [fillBefore, fillAfter) that the pass
// received: the position of a counting delimiter, or -1.
long SearchPass(const uint8_t* buffer, int32_t fillBefore, int32_t fillAfter, const Delimiter& d);
// The first FF D8 FF at least 500 bytes before the delimiter; -1 when there is none.
long PictureStart(const uint8_t* buffer, long delimiter);
// Moves the bytes from the delimiter on to the start of the buffer.
void CompactBuffer(uint8_t* buffer, int32_t& fill, long delimiter);

// A single-picture answer, read with `read` (one receive into the given place, at most the
// given count: the count, 0 when the camera closed, negative on error) until complete;
// `abort` is asked after each read (watchdog or stop). The buffer holds `capacity` bytes.
using ReadOnce = std::function<long(uint8_t* into, size_t max)>;
struct AnswerPicture {
    long start = -1;
    long length = 0;
};
AnswerPicture CutLengthFramed(uint8_t* buffer, size_t capacity, const ReadOnce& read, const std::function<bool()>& abort);
AnswerPicture CutCloseFramed(int32_t model, uint8_t* buffer, size_t capacity, const ReadOnce& read,
                             const std::function<bool()>& abort);

// Size bounds of a decoded picture: 100..32000 each way, or the exact sizes some polling
// models deliver.
bool AcceptPictureSize(int32_t model, bool lengthPolling, int width, int height);

}  // namespace orb
