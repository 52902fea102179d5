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
#include "platform/base64.h"

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

// Feeds a stream to the push-stream cutter in reads of the given sizes, the way the
// receive loop does (every complete picture cut after each read, the buffer compacted),
// collecting the cut pictures; the stream's end delivers what is left.
std::vector<std::string> CutStream(const std::string& stream, int32_t model, const std::string& answerBoundary,
                                   const std::vector<size_t>& chunks, std::vector<bool>* cuts = nullptr) {
    std::vector<uint8_t> buffer(kReceiveBufferSize + 1);
    int32_t fill = 0;
    std::vector<std::string> pictures;
    PushCutter c = MakePushCutter(model, answerBoundary);
    size_t at = 0, k = 0;
    for (;;) {
        const bool closed = at >= stream.size();
        CutPicture p;
        bool any = false;
        while (NextPicture(c, buffer.data(), fill, closed, p)) {
            pictures.emplace_back(reinterpret_cast<const char*>(buffer.data()) + p.start, p.length);
            if (cuts) cuts->push_back(p.cut);
            any = true;
        }
        if (any) CompactStream(c, buffer.data(), fill, CutterKeepFrom(c));
        if (closed) break;
        const size_t n = std::min({chunks[k++ % chunks.size()], size_t{2048}, stream.size() - at});
        std::memcpy(buffer.data() + fill, stream.data() + at, n);
        fill += static_cast<int32_t>(n);
        at += n;
    }
    return pictures;
}

// A real picture of the given size class, different for each n.
std::string RealJpeg(int n) {
    const auto bytes = orbtools::TinyJpeg(n);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(StreamParser, PushStreamCutInEverySplit) {
    const Delimiter d = DelimiterFor(2);
    ASSERT_EQ(d.bytes, "--myboundary");
    std::string stream;
    std::vector<std::string> jpegs;
    for (int i = 0; i < 6; ++i) {
        jpegs.push_back(FakeJpeg(5000 + 777 * i, static_cast<char>('a' + i)));
        stream += Part("--myboundary", jpegs.back());
    }
    const std::vector<std::vector<size_t>> splits = {{1}, {2048}, {3, 1000, 17}, {4096}, {13}};
    for (int32_t model : {2, 35, 62, 400}) {
        for (const auto& split : splits) {
            // Every picture exactly, the last one too (its part length ends it).
            const auto pics = CutStream(stream, model, "--myboundary", split);
            EXPECT_EQ(pics, jpegs) << model << " " << split[0];
        }
    }
}

TEST(StreamParser, PicturesEndWhereTheyEnd) {
    // Without part lengths, a picture ends at its end-of-image marker, found past the
    // thumbnail in its EXIF segment; tiny pictures several to a read all come through.
    const auto exif = orbtools::ExifJpeg(320, 240, 3);
    const std::string big(exif.begin(), exif.end());
    std::vector<std::string> want = {big, RealJpeg(1), RealJpeg(2), RealJpeg(3), big};
    ASSERT_LT(RealJpeg(1).size(), 400u);
    std::string noLength, bare;
    for (const std::string& j : want) {
        noLength += "--myboundary\r\nContent-Type: image/jpeg\r\n\r\n" + j + "\r\n";
        bare += j;
    }
    for (int32_t model : {2, 35, 62, 400}) {
        EXPECT_EQ(CutStream(noLength, model, "--myboundary", {2048}), want) << model;
        EXPECT_EQ(CutStream(bare, model, "", {700, 1}), want) << model;
    }
    // The literal start-of-image test fails on this picture (its EXIF segment is longer than
    // 255 bytes) and passes on its thumbnail: the picture is still cut from its own start.
    ASSERT_FALSE(IsStartOfImage(exif.data()));
    // A picture cut short by the next one's start, or by the stream's end, is marked cut.
    const std::string half = big.substr(0, big.size() / 2);
    std::vector<bool> cuts;
    const auto pics = CutStream(half + RealJpeg(5) + half, 35, "", {512}, &cuts);
    ASSERT_EQ(pics.size(), 3u);
    EXPECT_EQ(cuts, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(pics[1], RealJpeg(5));
    // A part length that does not land on the end marker is not trusted.
    const std::string lying = "--myboundary\r\nContent-Length: 100\r\n\r\n" + RealJpeg(7) + "\r\n";
    EXPECT_EQ(CutStream(lying + lying, 2, "", {64}), (std::vector<std::string>{RealJpeg(7), RealJpeg(7)}));
    // Bytes that are no segment structure: cut at the next delimiter, as the model knows it or
    // as the answer declared it when the model's does not occur.
    const std::string odd = FakeJpeg(3000, 'x').substr(0, 20) + std::string(3000, 'x');
    for (const std::string& b : {std::string("--myboundary"), std::string("--ffmpeg")}) {
        const std::string s = b + "\r\n\r\n" + odd + "\r\n" + b + "\r\n\r\n" + odd + "\r\n" + b + "\r\n";
        const auto cut = CutStream(s, 2, "--ffmpeg", {1000});
        ASSERT_EQ(cut.size(), 2u) << b;
        EXPECT_EQ(cut[0], odd + "\r\n");
    }
}

TEST(StreamParser, DelimitersOfTheModels) {
    EXPECT_EQ(DelimiterFor(22).bytes, "--MOBOTIX_Fast_Serverpush");
    EXPECT_EQ(DelimiterFor(36).bytes, "--ImageSeparator");
    EXPECT_EQ(DelimiterFor(250).bytes, "---nessy2jpegboundary");
    EXPECT_EQ(DelimiterFor(35).kind, DelimiterKind::StartOfImage);
    const Delimiter jfif = DelimiterFor(62);
    EXPECT_EQ(jfif.kind, DelimiterKind::Bytes);
    EXPECT_EQ(jfif.compareLength, 5);
    // Start of image: FF D8 FF ?? 00.
    const uint8_t mark[] = {0xFF, 0xD8, 0xFF, 0xDB, 0x00};
    EXPECT_TRUE(IsStartOfImage(mark));
    // The models that take their delimiter from the answer: its boundary, else bare pictures.
    EXPECT_TRUE(DelimiterFromAnswer(401));
    EXPECT_EQ(MakePushCutter(400, "--abc").model.bytes, "--abc");
    EXPECT_EQ(MakePushCutter(400, "").model.kind, DelimiterKind::StartOfImage);
    EXPECT_EQ(MakePushCutter(2, "--abc").model.bytes, "--myboundary");
}

TEST(StreamParser, SinglePictureAnswers) {
    std::vector<uint8_t> buf(kReceiveBufferSize + 1);
    auto reader = [](const std::string& answer, size_t chunk) {
        auto at = std::make_shared<size_t>(0);
        return ReadOnce([answer, chunk, at](uint8_t* into, size_t max) -> long {
            const size_t n = std::min({chunk, max, answer.size() - *at});
            std::memcpy(into, answer.data() + *at, n);
            *at += n;
            return static_cast<long>(n);
        });
    };
    auto picture = [&](const AnswerPicture& a) {
        return a.start < 0 ? std::string("none") : std::string(reinterpret_cast<char*>(buf.data()) + a.start, a.length);
    };
    const std::string jpeg = FakeJpeg(9000, 'q');
    const std::string tiny = RealJpeg(4);
    // Headers split anywhere, in any case, with or without blanks; the body by its length,
    // its chunks, or the camera closing; trailing bytes are not part of the picture.
    const std::string answers[] = {
        "HTTP/1.0 200 OK\r\nContent-Length: 9000\r\n\r\n" + jpeg + "trailing",
        "HTTP/1.1 200 OK\r\ncontent-length:9000\r\n\r\n" + jpeg,
        "HTTP/1.1 200 OK\nCONTENT-LENGTH :  9000\n\n" + jpeg,
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1f4\r\n" + jpeg.substr(0, 500) + "\r\n" +
            "2134;ext=1\r\n" + jpeg.substr(500) + "\r\n0\r\n\r\n",
        "HTTP/1.0 200 OK\r\n\r\n" + jpeg,
    };
    for (const std::string& answer : answers)
        for (size_t chunk : {1ul, 100ul, 2048ul}) {
            const AnswerPicture a = ReadAnswerPicture(buf.data(), buf.size(), reader(answer, chunk), {});
            EXPECT_EQ(picture(a), jpeg) << answer.substr(0, 40) << " " << chunk;
            EXPECT_FALSE(a.cut);
            EXPECT_EQ(a.status, 200);
        }
    // Tiny pictures count; a camera that closes before the picture's end gives a cut one.
    EXPECT_EQ(picture(ReadAnswerPicture(buf.data(), buf.size(), reader("HTTP/1.0 200 OK\r\n\r\n" + tiny, 64), {})), tiny);
    const AnswerPicture early =
        ReadAnswerPicture(buf.data(), buf.size(), reader(answers[0].substr(0, 900), 300), {});
    EXPECT_TRUE(early.cut);
    // A server that keeps the connection open without a length: the picture's end ends it.
    auto endless = [&](const std::string& answer) {
        auto at = std::make_shared<size_t>(0);
        return ReadOnce([answer, at](uint8_t* into, size_t max) -> long {
            if (*at >= answer.size()) ADD_FAILURE() << "read past the picture's end";
            const size_t n = std::min({size_t{333}, max, answer.size() - *at});
            std::memcpy(into, answer.data() + *at, n);
            *at += n;
            return n ? static_cast<long>(n) : -1;
        });
    };
    const auto exif = orbtools::ExifJpeg(320, 240, 2);
    const std::string real(exif.begin(), exif.end());
    EXPECT_EQ(picture(ReadAnswerPicture(buf.data(), buf.size(), endless("HTTP/1.1 200 OK\r\n\r\n" + real), {})), real);
    // Errors, a length larger than the buffer, no picture at all.
    const AnswerPicture refused = ReadAnswerPicture(buf.data(), buf.size(), reader("HTTP/1.0 401 Unauthorized\r\n\r\n", 9), {});
    EXPECT_LT(refused.start, 0);
    EXPECT_EQ(refused.status, 401);
    EXPECT_LT(ReadAnswerPicture(buf.data(), buf.size(), reader("HTTP/1.0 200 OK\r\nContent-Length: 99999999\r\n\r\n" + jpeg, 2048), {}).start, 0);
    EXPECT_LT(ReadAnswerPicture(buf.data(), buf.size(), reader("HTTP/1.0 200 OK\r\n\r\nnothing here", 2048), {}).start, 0);
    // An abort ends the wait without a picture.
    EXPECT_LT(ReadAnswerPicture(buf.data(), buf.size(), reader(answers[0], 100), [] { return true; }).start, 0);
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
