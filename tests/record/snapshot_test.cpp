#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

#include "config/camera_record.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/clock.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/window.h"
#include "record/recorder.h"
#include "record/snapshot.h"
#include "ui/snapshot_viewer.h"
#include "support/test_support.h"

using namespace orb;
using orbtest::ReadFile;
using orbtest::WriteFile;

namespace {

HDIB Gradient(int w, int h) {
    HDIB pic = CreateDIB(w, h, 24);
    DibLock l(pic);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = l.rowFromTop(y) + x * 3;
            p[0] = static_cast<uint8_t>(x * 255 / w);
            p[1] = static_cast<uint8_t>(y * 255 / h);
            p[2] = 90;
        }
    return pic;
}

struct SnapWorld {
    orbtest::TempHome home;
    SnapWorld() {
        SetBackend(Backend::Headless);
        ResetWindowing();
        g_lib.systemDriveRoot = home.dir + "/";
        MakeDirs(home.dir + "/RECVAULT");
        SetLocalClock([] { return SystemTime{2011, 5, 6, 14, 13, 2, 3, 250}; });
        TakeMessages();
    }
    ~SnapWorld() {
        CloseSnapshotViewer();
        ResetWindowing();
        SetLocalClock({});
        g_lib.systemDriveRoot.clear();
    }
    static std::unique_ptr<PanoView> LiveView(int w = 320, int h = 240) {
        auto v = std::make_unique<PanoView>();
        v->record.lensType = kLensFisheye;
        v->record.sourceWidth = w;
        v->record.sourceHeight = h;
        v->record.firstRadius = 110;
        v->record.centerX = w / 2;
        v->record.centerY = h / 2;
        std::strcpy(v->record.location, "Lobby");
        v->frames.current = Gradient(w, h);
        return v;
    }
};

std::vector<uint8_t> RecordBytes(const CameraRecord& r) {
    const auto* p = reinterpret_cast<const uint8_t*>(&r);
    return {p, p + sizeof r};
}

}  // namespace

TEST(Snapshot, FileIsTheJpegFollowedByMagicAndRecord) {
    SnapWorld w;
    auto src = SnapWorld::LiveView();
    src->record.snapshotTime = SystemTime{2011, 5, 6, 14, 13, 2, 3, 0};
    const std::string path = w.home.path("one.360");
    PanoView viewer;
    ASSERT_EQ(WriteSnapshot(&viewer, *src, path), 1);
    EXPECT_EQ(viewer.snapshot.picturePath, path);
    EXPECT_EQ(LastSnapshotPath(), path);

    const std::string plain = w.home.path("plain.jpg");
    ASSERT_EQ(JpegEncodeFile(src->frames.current, plain.c_str()), 1);
    const auto jpeg = ReadFile(plain);
    const auto file = ReadFile(path);
    ASSERT_EQ(file.size(), jpeg.size() + 2993);
    EXPECT_TRUE(std::equal(jpeg.begin(), jpeg.end(), file.begin()));
    const uint8_t magic[9] = {0x4F, 0x72, 0x62, 0x69, 0x73, 0x63, 0x6F, 0x70, 0x65};  // "Orbiscope"
    EXPECT_EQ(0, std::memcmp(&file[jpeg.size()], magic, 9));
    EXPECT_EQ(std::vector<uint8_t>(file.end() - 2984, file.end()), RecordBytes(src->record));
    // The snapshot time at record offset 2952: year 2011 = 0x07DB, month 5, weekday 6, day 14.
    const uint8_t time[8] = {0xDB, 0x07, 5, 0, 6, 0, 14, 0};
    EXPECT_EQ(0, std::memcmp(&file[jpeg.size() + 9 + 2952], time, 8));
    // Location text at record offset 720.
    EXPECT_EQ(0, std::memcmp(&file[jpeg.size() + 9 + 720], "Lobby\0", 6));

    CameraRecord back{};
    ASSERT_EQ(ReadTrailer(path, back), 1);
    EXPECT_EQ(RecordBytes(back), RecordBytes(src->record));
    // A JPEG decoder stops at the end of the picture and ignores the trailer.
    HDIB decoded = JpegLoadFile(path.c_str());
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(DIBWidth(GlobalLock(decoded)), 320);
    GlobalUnlock(decoded);
    DestroyDIB(decoded);

    // No picture, or a path that cannot be written: 0 and no file left behind.
    PanoView empty;
    EXPECT_EQ(WriteSnapshot(nullptr, empty, w.home.path("none.360")), 0);
    struct stat st{};
    EXPECT_NE(::stat(w.home.path("none.360").c_str(), &st), 0);
    EXPECT_EQ(WriteSnapshot(nullptr, *src, path + "/x.360"), 0);  // under a file
    EXPECT_NE(::stat((path + "/x.360").c_str(), &st), 0);
    // A folder that does not exist yet (no recording made it) is created.
    EXPECT_EQ(WriteSnapshot(nullptr, *src, w.home.path("missing/dir/x.360")), 1);
    EXPECT_EQ(ReadFile(w.home.path("missing/dir/x.360")), file);
}

TEST(Snapshot, TrailerReaderRefusesWhatIsNotATrailer) {
    SnapWorld w;
    CameraRecord r{};
    std::strcpy(r.name, "cam");
    std::vector<uint8_t> body(500, 0x11);
    std::vector<uint8_t> file = body;
    file.insert(file.end(), {'O', 'r', 'b', 'i', 's', 'c', 'o', 'p', 'e'});
    const auto rec = RecordBytes(r);
    file.insert(file.end(), rec.begin(), rec.end());
    CameraRecord out{};
    EXPECT_TRUE(ParseTrailer(file, out));
    EXPECT_STREQ(out.name, "cam");

    // Upper-case magic is the recordings' word, not a snapshot.
    auto upper = file;
    std::memcpy(&upper[500], "ORBISCOPE", 9);
    EXPECT_FALSE(ParseTrailer(upper, out));
    WriteFile(w.home.path("upper.360"), upper);
    EXPECT_EQ(ReadTrailer(w.home.path("upper.360"), out), 0);
    // Truncated by one byte: the magic is no longer at size - 2993.
    auto cut = std::vector<uint8_t>(file.begin(), file.end() - 1);
    EXPECT_FALSE(ParseTrailer(cut, out));
    WriteFile(w.home.path("cut.360"), cut);
    EXPECT_EQ(ReadTrailer(w.home.path("cut.360"), out), 0);
    // A bare trailer with no picture is still a trailer; anything shorter has none.
    std::vector<uint8_t> bare(file.begin() + 500, file.end());
    EXPECT_TRUE(ParseTrailer(bare, out));
    std::vector<uint8_t> shortFile(bare.begin() + 1, bare.end());
    EXPECT_FALSE(ParseTrailer(shortFile, out));
    WriteFile(w.home.path("short.360"), shortFile);
    EXPECT_EQ(ReadTrailer(w.home.path("short.360"), out), 0);
    EXPECT_FALSE(ParseTrailer({}, out));
    EXPECT_EQ(ReadTrailer(w.home.path("nothing.360"), out), 0);

    // Append twice: the second replaces the first.
    const std::string pic = w.home.path("pic.bmp");
    WriteFile(pic, body);
    EXPECT_EQ(AppendOrReplaceTrailer(pic, r), 1);
    EXPECT_EQ(ReadFile(pic), file);
    std::strcpy(r.name, "changed");
    EXPECT_EQ(AppendOrReplaceTrailer(pic, r), 1);
    const auto twice = ReadFile(pic);
    ASSERT_EQ(twice.size(), body.size() + 2993);
    ASSERT_EQ(ReadTrailer(pic, out), 1);
    EXPECT_STREQ(out.name, "changed");

    // Write back replaces only the record; a file that lost its trailer stays unchanged.
    std::strcpy(r.name, "aligned");
    EXPECT_EQ(WriteBackTrailer(pic, r), 1);
    ASSERT_EQ(ReadTrailer(pic, out), 1);
    EXPECT_STREQ(out.name, "aligned");
    EXPECT_EQ(ReadFile(pic).size(), twice.size());
    WriteFile(w.home.path("lost.jpg"), body);
    EXPECT_EQ(WriteBackTrailer(w.home.path("lost.jpg"), r), 0);
    EXPECT_EQ(ReadFile(w.home.path("lost.jpg")), body);
}

TEST(Snapshot, ListTextAndNames) {
    SnapWorld w;
    EXPECT_EQ(SnapshotFileName(SystemTime{2011, 5, 6, 14, 13, 2, 3, 0}, 3, "Lobby"),
              w.home.dir + "/RECVAULT/201105141302033Lobby.360");
    EXPECT_EQ(SnapshotListText("201105141302033Lobby"), "2011/05/14 13:02:03 3 Lobby");
    EXPECT_EQ(SnapshotNameFromListText("2011/05/14 13:02:03 3 Lobby"), "201105141302033Lobby.360");
    EXPECT_EQ(SnapshotNameFromListText(SnapshotListText("201105141302031")), "201105141302031.360");
    // The location is cut to 79 characters.
    const std::string longName(100, 'x');
    const auto name = SnapshotFileName(SystemTime{2011, 5, 6, 14, 13, 2, 3, 0}, 0, longName.c_str());
    EXPECT_EQ(name, w.home.dir + "/RECVAULT/201105141302030" + std::string(79, 'x') + ".360");
}

TEST(Snapshot, SnapshotOfAViewOpensAgainWithItsLensSettings) {
    SnapWorld w;
    auto src = SnapWorld::LiveView(400, 300);
    src->viewIndex = 2;
    HWND frame = static_cast<HWND>(Snapshot(nullptr, src.get()));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(GetSnapshotWnd(), frame);
    EXPECT_EQ(GetClassName(frame), kSnapshotFrameClass);
    EXPECT_EQ(src->ui.paused.load(), 0);  // the capture runs again
    const std::string path = w.home.dir + "/RECVAULT/201105141302032Lobby.360";
    ASSERT_EQ(g_snapViewer.view->snapshot.picturePath, path);
    EXPECT_EQ(g_snapViewer.timeText, "2011/05/14 13:02:03");
    ASSERT_EQ(g_snapViewer.listTexts.size(), 1u);
    EXPECT_EQ(g_snapViewer.listTexts[0], "2011/05/14 13:02:03 2 Lobby");
    const auto firstRecord = RecordBytes(g_snapViewer.view->record);
    ASSERT_NE(g_snapViewer.view->frames.output, nullptr);
    const int outW = g_snapViewer.view->dewarp.W, outH = g_snapViewer.view->dewarp.H;

    // A second snapshot within the same second overwrites the first.
    ASSERT_NE(Snapshot(nullptr, src.get()), nullptr);
    EXPECT_EQ(ListSnapshots().size(), 1u);

    // Opening the file again (no path: the newest stored snapshot) reproduces the views.
    CloseSnapshotViewer();
    EXPECT_EQ(GetSnapshotWnd(), nullptr);
    ASSERT_NE(OpenSnapshot(nullptr, nullptr), nullptr);
    ASSERT_NE(g_snapViewer.view->frames.current, nullptr);
    EXPECT_EQ(g_snapViewer.view->frames.currentW, 400);
    EXPECT_EQ(RecordBytes(g_snapViewer.view->record), firstRecord);
    EXPECT_EQ(g_snapViewer.view->record.firstRadius, 110);
    EXPECT_EQ(g_snapViewer.view->dewarp.W, outW);
    EXPECT_EQ(g_snapViewer.view->dewarp.H, outH);
    EXPECT_EQ(g_snapViewer.view->snapshot.picturePath, path);
    EXPECT_TRUE(TakeMessages().empty());

    // Changed lens settings saved into the file (command 2064) come back on the next open.
    g_snapViewer.view->record.firstRadius = 99;
    SnapshotCommand(g_snapViewer, 2064);
    auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Save Panoramic Properties OK !");
    ASSERT_NE(OpenSnapshot(nullptr, path.c_str()), nullptr);
    EXPECT_EQ(g_snapViewer.view->record.firstRadius, 99);
    EXPECT_EQ(ListSnapshots().size(), 1u);

    // The close command, sent to the frame, ends the viewer.
    HWND last = static_cast<HWND>(GetSnapshotWnd());
    EXPECT_FALSE(IsWindow(frame));  // the first viewer closed when the next one opened
    SendMessage(last, WM_COMMAND, 907, 0);
    EXPECT_EQ(GetSnapshotWnd(), nullptr);
    EXPECT_FALSE(IsWindow(last));

    // Nothing happens for a missing view, one without picture, or one asked to stop.
    EXPECT_EQ(Snapshot(nullptr, nullptr), nullptr);
    PanoView empty;
    EXPECT_EQ(Snapshot(nullptr, &empty), nullptr);
    src->ui.closing = 1;
    EXPECT_EQ(Snapshot(nullptr, src.get()), nullptr);
}

TEST(Snapshot, PlainJpegAndBadPictures) {
    SnapWorld w;
    ASSERT_NE(OpenSnapshot(nullptr, nullptr), nullptr);  // an empty list opens nothing
    EXPECT_EQ(g_snapViewer.view->frames.current, nullptr);
    // An ordinary JPEG is not opened, silently.
    HDIB pic = Gradient(200, 150);
    const std::string plain = w.home.path("plain.jpg");
    ASSERT_EQ(JpegEncodeFile(pic, plain.c_str()), 1);
    DestroyDIB(pic);
    EXPECT_EQ(OpenSnapshotFile(g_snapViewer, plain), 0);
    EXPECT_EQ(g_snapViewer.view->frames.current, nullptr);
    EXPECT_TRUE(TakeMessages().empty());
    // A trailer after a picture that does not decode: "Bad Snapshot File !!!".
    std::vector<uint8_t> junk(300, 0x42);
    WriteFile(w.home.path("bad.360"), junk);
    CameraRecord r{};
    ASSERT_EQ(AppendOrReplaceTrailer(w.home.path("bad.360"), r), 1);
    EXPECT_EQ(OpenSnapshotFile(g_snapViewer, w.home.path("bad.360")), 0);
    auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Bad Snapshot File !!!");
    // Without a picture the pack commands beep; the save command reports its failure.
    SnapshotCommand(g_snapViewer, 920);
    EXPECT_EQ(g_snapViewer.beeps, 1);
    SnapshotCommand(g_snapViewer, 2064);
    shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Save Panoramic Properties Fail !!!");
    EXPECT_EQ(PictureAppendCCTVData(nullptr), 0);
    EXPECT_EQ(SnapPack(nullptr), 0);
}

TEST(Snapshot, ACameraLocationCannotLeadTheSnapshotOutOfItsFolder) {
    SnapWorld w;
    auto src = SnapWorld::LiveView();
    src->viewIndex = 1;
    // The camera's location text is the attacker's: a traversal, and a quoted word that
    // once reached a command line.
    for (const char* location : {"/../../escaped", "..", "Lobby\" -T -TT \"id>PWNED;true\" \"z"}) {
        SCOPED_TRACE(location);
        std::memset(src->record.location, 0, sizeof src->record.location);
        std::strcpy(src->record.location, location);
        ASSERT_NE(Snapshot(nullptr, src.get()), nullptr);
        const std::string path = g_snapViewer.view->snapshot.picturePath;
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(path.rfind(w.home.dir + "/RECVAULT/20110514130203", 0), 0u) << path;
        EXPECT_EQ(path.find('/', (w.home.dir + "/RECVAULT/").size()), std::string::npos) << path;
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0);
        CloseSnapshotViewer();
    }
    EXPECT_EQ(ListSnapshots().size(), 3u);
    struct stat st {};
    EXPECT_NE(::stat((w.home.dir + "/escaped.360").c_str(), &st), 0);
    EXPECT_NE(::stat("/escaped.360", &st), 0);
    EXPECT_EQ(SnapshotFileName(SystemTime{2011, 5, 6, 14, 13, 2, 3, 0}, 1, "/../../escaped"),
              w.home.dir + "/RECVAULT/201105141302031_.__.__escaped.360");
}

TEST(Snapshot, TheRecordersFolderIsFoundUnderAnySpelling) {
    orbtest::TempHome home;
    // No folder yet: the recorder's own spelling, created later by whoever writes first.
    EXPECT_EQ(RecordingFolderOf(home.dir), home.dir + "/RECVAULT/");
    EXPECT_EQ(RecordingFolderOf(home.dir + "/"), home.dir + "/RECVAULT/");
    MakeDirs(home.dir + "/RecVault");
    EXPECT_EQ(RecordingFolderOf(home.dir), home.dir + "/RecVault/");
    // Snapshots go beside the recordings, into the same folder whatever its spelling.
    g_lib.systemDriveRoot = home.dir + "/";
    EXPECT_EQ(SnapshotFolder(), home.dir + "/RecVault/");
    g_lib.systemDriveRoot.clear();
}
