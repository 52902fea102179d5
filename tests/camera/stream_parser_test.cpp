#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "camera/catalogue.h"
#include "camera/http.h"
#include "camera/stream_parser.h"
#include "common/fake_camera.h"
#include "config/camera_record.h"
#include "camera/base64.h"

using namespace orb;

namespace {

// A fake JPEG of n bytes: a real start of image, then filler without FF bytes.
std::string FakeJpeg(size_t n, char fill) {
    std::string j("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10);
    j.resize(n - 2, fill);
    j += "\xFF\xD9";
    return j;
}

std::string Part(const std::string& boundary, const std::string& jpeg) {
    return boundary + "\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(jpeg.size()) + "\r\n\r\n" + jpeg +
           "\r\n";
}

// Feeds a stream to the push-stream cutter in chunks of the given sizes (as the receive
// loop does: a search per pass of at least 4096 bytes), collecting the cut pictures.
std::vector<std::string> CutStream(const std::string& stream, const Delimiter& d, const std::vector<size_t>& chunks) {
    std::vector<uint8_t> buffer(kReceiveBufferSize + 1);
    int32_t fill = 0;
    std::vector<std::string> pictures;
    size_t at = 0, k = 0;
    while (at < stream.size()) {
        const int32_t before = fill;
        size_t pass = 0;
        while (pass < 4096 && at < stream.size()) {  // receive-at-least 4096
            const size_t n = std::min({chunks[k++ % chunks.size()], size_t{2048}, stream.size() - at});
            std::memcpy(buffer.data() + fill, stream.data() + at, n);
            fill += static_cast<int32_t>(n);
            at += n;
            pass += n;
        }
        const long delim = SearchPass(buffer.data(), before, fill, d);
        if (delim < 0) continue;
        const long start = PictureStart(buffer.data(), delim);
        if (start >= 0) pictures.emplace_back(reinterpret_cast<const char*>(buffer.data()) + start, delim - start);
        CompactBuffer(buffer.data(), fill, delim);
    }
    return pictures;
}

}  // namespace

TEST(StreamParser, PushStreamCutInEverySplit) {
    const Delimiter d = DelimiterFor(2);
    ASSERT_EQ(d.bytes, "--myboundary");
    std::string stream = "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace;boundary=myboundary\r\n\r\n";
    std::vector<std::string> jpegs;
    for (int i = 0; i < 6; ++i) {
        jpegs.push_back(FakeJpeg(5000 + 777 * i, static_cast<char>('a' + i)));
        stream += Part("--myboundary", jpegs.back());
    }
    stream += "--myboundary\r\n";  // the delimiter that ends the last picture
    std::mt19937 rng(7);
    const std::vector<std::vector<size_t>> splits = {{1}, {2048}, {3, 1000, 17}, {4096}, {13}};
    for (const auto& split : splits) {
        const auto pics = CutStream(stream, d, split);
        // Each picture is cut whole, from its start of image to its delimiter (the CR LF and
        // part headers before the next boundary stay on it: a decoder stops at the end marker).
        ASSERT_GE(pics.size(), 4u) << split[0];
        for (size_t i = 0; i < pics.size(); ++i) {
            const std::string& p = pics[i];
            ASSERT_EQ(p.compare(0, 3, "\xFF\xD8\xFF"), 0);
            const size_t k = static_cast<size_t>(p[20] - 'a');
            ASSERT_LT(k, jpegs.size());
            EXPECT_EQ(p.substr(0, jpegs[k].size()), jpegs[k]);
        }
    }
}

TEST(StreamParser, SearchRulesAndEdgeCases) {
    std::vector<uint8_t> buf(20000, 'x');
    const Delimiter d = DelimiterFor(27);
    std::memcpy(buf.data() + 1400, "--myboundary", 12);
    // A buffer that held fewer than 1000 bytes before the pass is not searched.
    EXPECT_EQ(SearchPass(buf.data(), 999, 5000, d), -1);
    // The delimiter 1500 bytes or less from the start does not count.
    EXPECT_EQ(SearchPass(buf.data(), 1000, 5000, d), -1);
    std::memcpy(buf.data() + 1400, "xxxxxxxxxxxx", 12);
    std::memcpy(buf.data() + 3000, "--myboundary", 12);
    EXPECT_EQ(SearchPass(buf.data(), 1000, 5000, d), 3000);
    // A delimiter that does not fit in the pass is not found.
    EXPECT_EQ(SearchPass(buf.data(), 1000, 3011, d), -1);
    // Start of image: FF D8 FF ?? 00.
    const Delimiter soi = DelimiterFor(35);
    ASSERT_EQ(soi.kind, DelimiterKind::StartOfImage);
    const uint8_t mark[] = {0xFF, 0xD8, 0xFF, 0xDB, 0x00};
    std::memcpy(buf.data() + 4000, mark, 5);
    EXPECT_EQ(SearchPass(buf.data(), 3500, 4005, soi), 4000);
    EXPECT_EQ(SearchPass(buf.data(), 3500, 4004, soi), -1);
    // The byte pattern compares its first five bytes only: any APP0 that begins FF D8 FF E0 00.
    const Delimiter jfif = DelimiterFor(62);
    const uint8_t app0[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x11, 'E', 'x', 'i', 'f'};
    std::memcpy(buf.data() + 6000, app0, sizeof app0);
    EXPECT_EQ(SearchPass(buf.data(), 5000, 9000, jfif), 6000);
    // A picture whose start lies less than 500 bytes before the delimiter is skipped.
    std::vector<uint8_t> b2(4000, 'y');
    b2[10] = 0xFF, b2[11] = 0xD8, b2[12] = 0xFF;
    EXPECT_EQ(PictureStart(b2.data(), 3000), 10);
    EXPECT_EQ(PictureStart(b2.data(), 509), -1);
    EXPECT_EQ(PictureStart(b2.data(), 510), 10);
    // Compacting keeps the bytes from the delimiter on.
    int32_t fill = 4000;
    b2[3000] = 'D';
    CompactBuffer(b2.data(), fill, 3000);
    EXPECT_EQ(fill, 1000);
    EXPECT_EQ(b2[0], 'D');
    // Delimiters from the answer.
    const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=abc\r\n\r\n";
    EXPECT_EQ(DelimiterFromHeader(reinterpret_cast<const uint8_t*>(head.data()), head.size()).bytes, "boundary=abc");
    const std::string plain = "HTTP/1.0 200 OK\r\n\r\n";
    EXPECT_EQ(DelimiterFromHeader(reinterpret_cast<const uint8_t*>(plain.data()), plain.size()).bytes, "HTTP/1.0 200 OK");
}

TEST(StreamParser, SinglePictureAnswers) {
    std::vector<uint8_t> buf(kReceiveBufferSize + 1);
    auto reader = [](const std::string& answer, size_t chunk) {
        auto at = std::make_shared<size_t>(0);
        return [answer, chunk, at](uint8_t* into, size_t max) -> long {
            const size_t n = std::min({chunk, max, answer.size() - *at});
            std::memcpy(into, answer.data() + *at, n);
            *at += n;
            return static_cast<long>(n);
        };
    };
    const std::string jpeg = FakeJpeg(9000, 'q');
    const std::string withLength = "HTTP/1.0 200 OK\r\nContent-Length: 9000\r\n\r\n" + jpeg + "trailing";
    for (size_t chunk : {100ul, 2048ul}) {  // the header must come in the first read
        const AnswerPicture a = CutLengthFramed(buf.data(), buf.size(), reader(withLength, chunk), {});
        ASSERT_GE(a.start, 0) << chunk;
        EXPECT_EQ(a.length, 9000);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buf.data()) + a.start, 9000), jpeg);
    }
    // Lower-case header name too; no header or no picture: nothing.
    EXPECT_GE(CutLengthFramed(buf.data(), buf.size(), reader("HTTP/1.0 200 OK\r\nContent-length: 9000\r\n\r\n" + jpeg, 512), {}).start, 0);
    EXPECT_LT(CutLengthFramed(buf.data(), buf.size(), reader("HTTP/1.0 200 OK\r\n\r\n" + jpeg, 512), {}).start, 0);
    // A camera that closes after 900 bytes in all gives no picture; after more than 1000 it does.
    EXPECT_LT(CutLengthFramed(buf.data(), buf.size(), reader(withLength.substr(0, 900), 300), {}).start, 0);
    EXPECT_GE(CutLengthFramed(buf.data(), buf.size(), reader(withLength.substr(0, 1200), 300), {}).start, 0);
    // A length larger than the buffer is refused, not read.
    EXPECT_LT(CutLengthFramed(buf.data(), buf.size(), reader("HTTP/1.0 200 OK\r\nContent-Length: 99999999\r\n\r\n" + jpeg, 2048), {}).start, 0);
    // Close-framed: the whole rest of the answer; exactly 3000 bytes is no picture.
    const std::string closeAnswer = "HTTP/1.0 200 OK\r\n\r\n" + jpeg;
    const AnswerPicture c = CutCloseFramed(49, buf.data(), buf.size(), reader(closeAnswer, 700), {});
    ASSERT_GE(c.start, 0);
    EXPECT_EQ(c.length, 9000);
    const std::string exact = "HTTP/1.0 200 OK\r\n\r\n" + FakeJpeg(3000 - 19, 'z');
    ASSERT_EQ(exact.size(), 3000u);
    EXPECT_LT(CutCloseFramed(49, buf.data(), buf.size(), reader(exact, 700), {}).start, 0);
    // Size bounds.
    EXPECT_TRUE(AcceptPictureSize(2, false, 100, 32000));
    EXPECT_FALSE(AcceptPictureSize(2, false, 99, 480));
    EXPECT_TRUE(AcceptPictureSize(16, true, 640, 480));
    EXPECT_FALSE(AcceptPictureSize(16, true, 800, 600));
    EXPECT_TRUE(AcceptPictureSize(16, false, 800, 600));
}

TEST(Catalogue, RequestsOfTheModels) {
    CameraRecord r{};
    SetText(r.address, "127.0.0.1");
    r.httpPort = 8080;
    SetText(r.account, Base64Encode("admin").c_str());
    SetText(r.password, Base64Encode("1234").c_str());
    r.modelIndex = 2;
    std::string t;
    ASSERT_TRUE(GetRequestTemplate(r, t));
    EXPECT_EQ(CompleteRequest(r, t),
              "GET /axis-cgi/mjpg/video.cgi?resolution=640x480 HTTP/1.1\r\nUser-Agent: CamClient\r\nConnection: "
              "Keep-Alive\r\nCache-Control: no-cache\r\nAuthorization: Basic YWRtaW46MTIzNA==\r\n\r\n");
    // No account: the authorization line goes, the header block still ends with an empty line.
    CameraRecord anon = r;
    anon.account[0] = 0;
    r.modelIndex = 16;
    anon.modelIndex = 16;
    ASSERT_TRUE(GetRequestTemplate(anon, t));
    EXPECT_EQ(FormatPollRequest(CompleteRequest(anon, t), 123456, "127.0.0.1"),
              "GET /cgi-usr/image?ignore=0.123456 HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: Keep-Alive\r\n\r\n");
    // Polling loops: an account without a password counts as none; the stream loop sends it.
    CameraRecord noPass = r;
    noPass.password[0] = 0;
    EXPECT_EQ(CompleteRequest(noPass, t).find("Authorization"), std::string::npos);
    noPass.modelIndex = 2;
    ASSERT_TRUE(GetRequestTemplate(noPass, t));
    EXPECT_NE(CompleteRequest(noPass, t).find("Authorization: Basic " + Base64Encode("admin:") + "\r\n\r\n"), std::string::npos);
    // Model 53 puts single percent signs on the wire; 22 fills its host once.
    r.modelIndex = 53;
    ASSERT_TRUE(GetRequestTemplate(r, t));
    const std::string m53 = FormatPollRequest(CompleteRequest(r, t), 100001, "127.0.0.1");
    EXPECT_NE(m53.find("x1=100%&y1=100%&"), std::string::npos);
    EXPECT_NE(m53.find("Serial=100001\r\n"), std::string::npos);
    r.modelIndex = 22;
    ASSERT_TRUE(GetRequestTemplate(r, t));
    EXPECT_NE(CompleteRequest(r, t).find("Host: 127.0.0.1\r\n"), std::string::npos);
    // Binary login: account at 0, password at 64; the stream goes to port 6002.
    r.modelIndex = 110;
    const auto login = BuildLoginRecord(r);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(login.data())), "admin");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(login.data() + 64)), "1234");
    EXPECT_EQ(StreamPort(r), 6002);
    EXPECT_FALSE(GetRequestTemplate(CameraRecord{}, t) && false);
    // The polling generator: 100000..132767 from the stated recurrence.
    PollRandom rnd{0};
    EXPECT_EQ(rnd.Next(), 38);  // (0 * 214013 + 2531011) >> 16 & 0x7FFF
    PollRandom rnd2{1};
    const int32_t n = rnd2.NextNumber();
    EXPECT_GE(n, 100000);
    EXPECT_LE(n, 132767);
    EXPECT_EQ(CaptureLoopFor(340), kClosePollLoop);
    EXPECT_EQ(CaptureLoopFor(18), kLengthPollLoop);
    EXPECT_EQ(CaptureLoopFor(400), kStreamLoop);
    // Credential header tail of the set-up and pan/tilt/zoom commands.
    EXPECT_EQ(CredentialHeaderTail(r), "YWRtaW46MTIzNA==\r\n\r\n");
    CameraRecord accountOnly = r;
    accountOnly.password[0] = 0;
    EXPECT_EQ(CredentialHeaderTail(accountOnly), "\r\n\r\n");
}
