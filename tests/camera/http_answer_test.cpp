#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "camera/http_answer.h"
#include "camera/jpeg_extent.h"
#include "common/fake_camera.h"

using namespace orb;

namespace {

const uint8_t* U(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// Decodes a chunked body fed in pieces of `step` bytes, in place as the answer reader does.
std::string DechunkInPieces(const std::string& body, size_t step, ChunkDecoder::State* state = nullptr) {
    std::string buffer = body;
    ChunkDecoder d;
    size_t out = 0;
    for (size_t at = 0; at < body.size(); at += step) {
        const size_t n = std::min(step, body.size() - at);
        size_t used = 0;
        // Input at `at`, output at `out` <= at: the same block, as in the receive buffer.
        out += Dechunk(d, reinterpret_cast<uint8_t*>(buffer.data()) + at, n, reinterpret_cast<uint8_t*>(buffer.data()) + out,
                       buffer.size() - out, &used);
        if (d.state != ChunkDecoder::State::Error) EXPECT_EQ(used, n);
    }
    if (state) *state = d.state;
    return buffer.substr(0, out);
}

}  // namespace

TEST(HttpAnswer, HeadsAsServersWriteThem) {
    EXPECT_EQ(FindHeadEnd(U("HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody"), 29), 25);
    EXPECT_EQ(FindHeadEnd(U("HTTP/1.0 200 OK\nA: b\n\nbody"), 26), 22);
    EXPECT_EQ(FindHeadEnd(U("HTTP/1.0 200 OK\r\nA: b\r\n"), 23), -1);
    std::string v;
    const std::string head = "HTTP/1.1 200 OK\r\ncontent-TYPE:multipart/x-mixed-replace; boundary=\"--frame\"\r\n"
                             "Content-Length :  1234 \r\ntransfer-encoding: Chunked\r\n\r\n";
    ASSERT_TRUE(FindHeader(U(head), head.size(), "Content-Type", v));
    EXPECT_EQ(v, "multipart/x-mixed-replace; boundary=\"--frame\"");
    EXPECT_FALSE(FindHeader(U(head), head.size(), "Content", v));
    const AnswerHead h = ParseAnswerHead(U(head), head.size());
    EXPECT_EQ(h.status, 200);
    EXPECT_TRUE(h.chunked);
    EXPECT_EQ(h.contentLength, -1);  // chunks frame the body, not the length
    EXPECT_EQ(h.boundary, "--frame");
    EXPECT_EQ(ContentLengthIn(U(head), head.size()), 1234);
    EXPECT_EQ(ParseAnswerHead(U("HTTP/1.0 401 Unauthorized\r\n\r\n"), 30).status, 401);
    // Boundaries: with or without dashes, quoted, any case of the parameter name.
    EXPECT_EQ(BoundaryOf("multipart/x-mixed-replace;boundary=ffmpeg"), "--ffmpeg");
    EXPECT_EQ(BoundaryOf("multipart/x-mixed-replace; Boundary = --myboundary; charset=x"), "--myboundary");
    EXPECT_EQ(BoundaryOf("image/jpeg"), "");
    EXPECT_EQ(BoundaryOf("multipart/x-mixed-replace;boundary="), "");
}

TEST(HttpAnswer, ChunkedBodiesInEverySplit) {
    const std::string body = "5\r\nhello\r\n1;name=x\r\n \r\nA\r\n0123456789\r\n0\r\nX-Trailer: 1\r\n\r\n";
    for (size_t step : {1ul, 2ul, 3ul, 7ul, 100ul}) {
        ChunkDecoder::State state;
        EXPECT_EQ(DechunkInPieces(body, step, &state), "hello 0123456789") << step;
        EXPECT_EQ(state, ChunkDecoder::State::Done);
    }
    // Line ends without CR are taken too; a size line that is no number is an error.
    ChunkDecoder::State state;
    EXPECT_EQ(DechunkInPieces("3\nabc\n0\n\n", 1, &state), "abc");
    EXPECT_EQ(state, ChunkDecoder::State::Done);
    DechunkInPieces("zz\r\nabc", 2, &state);
    EXPECT_EQ(state, ChunkDecoder::State::Error);
    DechunkInPieces("\r\n\r\n", 1, &state);
    EXPECT_EQ(state, ChunkDecoder::State::Error);
    // No room: the rest stays unused for later.
    ChunkDecoder d;
    uint8_t out[4];
    size_t used = 0;
    const std::string b = "8\r\n12345678\r\n";
    EXPECT_EQ(Dechunk(d, U(b), b.size(), out, sizeof out, &used), 4u);
    EXPECT_EQ(used, 7u);
}

TEST(JpegExtent, EndsFoundPastThumbnails) {
    const auto exif = orbtools::ExifJpeg(320, 240, 1);
    // The thumbnail's own markers lie inside: the walk steps over them to the real end.
    JpegWalk w;
    long length = 0;
    ASSERT_EQ(WalkJpeg(w, exif.data(), exif.size(), &length), JpegEnd::Complete);
    EXPECT_EQ(length, static_cast<long>(exif.size()));
    // Byte by byte, resuming where it stopped.
    JpegWalk step;
    JpegEnd e = JpegEnd::Incomplete;
    size_t n = 0;
    while (e == JpegEnd::Incomplete && n < exif.size()) e = WalkJpeg(step, exif.data(), ++n, &length);
    EXPECT_EQ(e, JpegEnd::Complete);
    EXPECT_EQ(n, exif.size());
    // A picture cut short by the next one's start; bytes that are no segments.
    std::vector<uint8_t> two(exif.begin(), exif.begin() + static_cast<long>(exif.size() / 2));
    two.insert(two.end(), exif.begin(), exif.end());
    JpegWalk w2;
    EXPECT_EQ(WalkJpeg(w2, two.data(), two.size(), &length), JpegEnd::NewPicture);
    EXPECT_EQ(length, static_cast<long>(exif.size() / 2));
    const uint8_t junk[] = {0xFF, 0xD8, 'x', 'y', 'z', 0};
    JpegWalk w3;
    EXPECT_EQ(WalkJpeg(w3, junk, sizeof junk, &length), JpegEnd::Broken);
    // Whole: the end marker last, blanks after it allowed.
    EXPECT_TRUE(JpegEndsWhole(exif.data(), exif.size()));
    std::vector<uint8_t> trailing = exif;
    trailing.push_back('\r'), trailing.push_back('\n');
    EXPECT_TRUE(JpegEndsWhole(trailing.data(), trailing.size()));
    EXPECT_FALSE(JpegEndsWhole(exif.data(), exif.size() - 1));
}
