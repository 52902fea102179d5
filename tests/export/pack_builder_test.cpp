#include "export/pack_builder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "config/camera_record.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "platform/msgbox.h"
#include "export/export_files.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/spawn.h"
#include "platform/window.h"
#include "record/recording_file.h"
#include "support/test_support.h"

namespace {

using namespace orb;
namespace fs = std::filesystem;

bool Exists(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0;
}

bool HaveZipTools() { return !FindProgram("zip").empty() && !FindProgram("unzip").empty(); }

std::string Bytes(size_t n) {
    std::string s(n, 0);
    uint32_t x = 12345;
    for (char& c : s) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    return s;
}

struct Pack : ::testing::Test {
    orbtest::TempHome home;
    std::string media;  // a folder outside the library's
    void SetUp() override {
        TakeMessages();
        orbtest::WriteText(home.path("Halo360Web_003906.r"),
                           "[Texts]\n2050=%sPackage\n2052=By %s with %s; %s %s\n2054=built\n2055=failed\n");
        LoadLanguageResource();
        media = home.path("media");
        fs::create_directories(media);
        // The stand-in player records its arguments, its folder's files and its home.
        const std::string player = home.path("orbiscope-player");
        orbtest::WriteText(player,
                           "#!/bin/sh\n"
                           "out=$PACK_TEST_RECORD\n"
                           "for a in \"$@\"; do echo \"arg:$a\"; done > \"$out\"\n"
                           "echo \"home:$ORBISCOPE_HOME\" >> \"$out\"\n"
                           "ls \"$(dirname \"$1\")\" | sed 's/^/file:/' >> \"$out\"\n"
                           "cp \"$1\" \"$out.media\"\n"
                           "exit 0\n");
        ::chmod(player.c_str(), 0755);
    }
    void TearDown() override {
        UnloadLanguage();
        TakeMessages();
        unsetenv("PACK_TEST_RECORD");
        unsetenv("TMPDIR");
    }
};

TEST(PackNames, DerivedFromTheOutputPath) {
    PackNames n = DerivePackNames("/out/dir/clip.exe");
    EXPECT_EQ(n.archive, "/out/dir/clip.zip");
    EXPECT_EQ(n.baseName, "clip");
    EXPECT_EQ(n.program, "/out/dir/clip.exe");
    n = DerivePackNames("/out/dir/clip");
    EXPECT_EQ(n.archive, "/out/dir/clip.zip");
    EXPECT_EQ(n.baseName, "clip");
    EXPECT_EQ(n.program, "/out/dir/clip.exe");
    n = DerivePackNames("/out/d.v2/clip");  // a dot in a folder is no extension
    EXPECT_EQ(n.archive, "/out/d.v2/clip.zip");
    n = DerivePackNames("C:\\out\\a.b.exe");
    EXPECT_EQ(n.archive, "C:\\out\\a.b.zip");
    EXPECT_EQ(n.baseName, "a.b");
}

TEST_F(Pack, EntriesCopiesAndErrors) {
    PackList list;
    // Same name, any case: listed as it stands, never removed.
    EXPECT_EQ(AddPackEntry(list, "rec.P360", "REC.p360"), 1);
    ASSERT_EQ(list.entries.size(), 1u);
    EXPECT_FALSE(list.entries[0].removeAfter);

    // Copied into the library's folder (more than one 30000-byte chunk) and marked.
    const std::string content = Bytes(75001);
    orbtest::WriteText(media + "/cam1.P360", content);
    EXPECT_EQ(AddPackEntry(list, media + "/cam1.P360", "cam1.P360"), 1);
    EXPECT_TRUE(list.entries[1].removeAfter);
    EXPECT_EQ(orbtest::ReadText(home.path("cam1.P360")), content);
    // Already there: kept, not marked.
    EXPECT_EQ(AddPackEntry(list, media + "/cam1.P360", "cam1.P360"), 1);
    EXPECT_FALSE(list.entries[2].removeAfter);

    // A missing source: counted, the partial target listed for removal.
    EXPECT_EQ(AddPackEntry(list, media + "/gone.P360", "gone.P360"), 0);
    EXPECT_EQ(list.copyErrors, 1);
    EXPECT_TRUE(list.entries[3].removeAfter);
    EXPECT_EQ(list.entries[3].path, "gone.P360");
}

TEST_F(Pack, BuiltPackageUnpacksAndStartsThePlayer) {
    if (!HaveZipTools()) GTEST_SKIP() << "zip and unzip are not installed; the package cannot be built";
    const std::string recording = Bytes(123457);
    orbtest::WriteText(media + "/CAM01_2026-12-06_09.P360", recording);
    const std::string outDir = home.path("out");
    fs::create_directories(outDir);
    std::vector<std::pair<int, std::string>> steps;
    PackOptions o;
    o.progress = [&](int percent, const std::string& step) { steps.emplace_back(percent, step); };
    ASSERT_EQ(BuildRecordingPack(nullptr, media + "/CAM01_2026-12-06_09.P360", outDir + "/clip.exe", o), 1);
    auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "built");
    EXPECT_EQ(shown[0].caption, "OK");
    ASSERT_GE(steps.size(), 4u);
    EXPECT_EQ(steps.front().first, 0);
    EXPECT_EQ(steps.back().first, 100);
    for (size_t i = 1; i < steps.size(); ++i) EXPECT_LE(steps[i - 1].first, steps[i].first);

    // The file list, and what the clean-up left.
    ASSERT_EQ(g_packList.entries.size(), 7u);
    EXPECT_EQ(g_packList.entries[0].path, home.path("orbiscope-player"));
    EXPECT_EQ(g_packList.entries[3].path, "CAM01_2026-12-06_09.P360");
    EXPECT_TRUE(g_packList.entries[3].removeAfter);
    EXPECT_EQ(g_packList.entries[4].path, "RecVault.dvr");
    EXPECT_EQ(g_packList.entries[5].path, "liborbiscope.so");
    EXPECT_EQ(g_packList.entries[6].path, outDir + "/clip.zip");
    EXPECT_FALSE(Exists(home.path("CAM01_2026-12-06_09.P360")));
    EXPECT_FALSE(Exists(home.path("RecVault.dvr")));
    EXPECT_FALSE(Exists(outDir + "/clip.zip"));
    EXPECT_TRUE(Exists(home.path("Halo360Web_003906.r")));
    EXPECT_TRUE(Exists(home.path("orbiscope-player")));

    const std::string program = outDir + "/clip.exe";
    const std::string bytes = orbtest::ReadText(program);
    EXPECT_EQ(bytes.rfind("#!/bin/sh\n", 0), 0u);
    EXPECT_NE(bytes.find("# Orbiscope Package\n"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(program.c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IXUSR, 0u);
    std::printf("package size: %lld bytes for a %zu-byte recording\n", static_cast<long long>(st.st_size),
                recording.size());

    // Moved to another folder and run there: unpacks into a fresh temporary folder.
    const std::string runDir = home.path("elsewhere"), tmp = home.path("tmp");
    fs::create_directories(runDir);
    fs::create_directories(tmp);
    fs::copy_file(program, runDir + "/clip.exe");
    ::chmod((runDir + "/clip.exe").c_str(), 0755);
    const std::string record = home.path("player-saw.txt");
    setenv("PACK_TEST_RECORD", record.c_str(), 1);
    setenv("TMPDIR", tmp.c_str(), 1);
    const SpawnResult run = RunProgram({runDir + "/clip.exe"}, true, 60000);
    ASSERT_TRUE(run.succeeded()) << static_cast<int>(run.status) << " " << run.exitCode;
    const std::string saw = orbtest::ReadText(record);
    const size_t argAt = saw.find("arg:" + tmp + "/RecVault.");
    ASSERT_NE(argAt, std::string::npos) << saw;
    EXPECT_NE(saw.find("/CAM01_2026-12-06_09.P360\nhome:" + tmp + "/RecVault."), std::string::npos) << saw;
    for (const char* f : {"file:CAM01_2026-12-06_09.P360\n", "file:Halo360Web_003906.r\n", "file:RecVault.dvr\n",
                          "file:orbiscope-player\n"})
        EXPECT_NE(saw.find(f), std::string::npos) << f << " in " << saw;
    EXPECT_EQ(saw.find("file:clip"), std::string::npos);
    EXPECT_EQ(orbtest::ReadText(record + ".media"), recording);
    EXPECT_TRUE(fs::is_empty(tmp)) << "the temporary folder is removed when the player ends";

    // A truncated package says so and exits non-zero, unpacking nothing.
    const std::string cut = runDir + "/cut.exe";
    orbtest::WriteText(cut, bytes.substr(0, bytes.size() - 1000));
    ::chmod(cut.c_str(), 0755);
    std::remove(record.c_str());
    const int rc = orbtest::Run("\"" + cut + "\" 2> \"" + home.path("err.txt") + "\"");
    EXPECT_EQ(rc, 3);
    EXPECT_NE(orbtest::ReadText(home.path("err.txt")).find("truncated"), std::string::npos);
    EXPECT_FALSE(Exists(record));
    EXPECT_TRUE(fs::is_empty(tmp));

    // A damaged archive of the right length is caught by unzip.
    std::string damaged = bytes;
    for (size_t i = damaged.size() - 600; i < damaged.size() - 100; ++i) damaged[i] = 'x';
    orbtest::WriteText(cut, damaged);
    EXPECT_NE(orbtest::Run("\"" + cut + "\" 2> \"" + home.path("err.txt") + "\""), 0);
    EXPECT_NE(orbtest::ReadText(home.path("err.txt")).find("damaged"), std::string::npos);
    EXPECT_FALSE(Exists(record));
}

TEST_F(Pack, SnapshotPackRecordingInLibraryFolderAndFailures) {
    if (!HaveZipTools()) GTEST_SKIP() << "zip and unzip are not installed; the package cannot be built";
    // A snapshot already in the library's folder is packed as it stands and survives.
    orbtest::WriteText(home.path("shot.360"), Bytes(5000));
    ASSERT_EQ(BuildSnapshotPack(nullptr, home.path("shot.360"), home.path("snap"), {}), 1);
    EXPECT_TRUE(Exists(home.path("shot.360")));
    EXPECT_FALSE(g_packList.entries[3].removeAfter);
    EXPECT_EQ(g_packList.entries[4].path, "SnapView.snap");
    EXPECT_TRUE(Exists(home.path("snap.exe")));
    EXPECT_FALSE(Exists(home.path("SnapView.snap")));
    const std::string record = home.path("saw.txt");
    setenv("PACK_TEST_RECORD", record.c_str(), 1);
    const std::string tmp = home.path("tmp");
    fs::create_directories(tmp);
    setenv("TMPDIR", tmp.c_str(), 1);
    ASSERT_TRUE(RunProgram({home.path("snap.exe")}, true, 60000).succeeded());
    EXPECT_NE(orbtest::ReadText(record).find("/shot.360\n"), std::string::npos);
    EXPECT_EQ(orbtest::ReadText(record + ".media"), Bytes(5000));
    TakeMessages();

    // A stale stub name and an existing output are removed first.
    orbtest::WriteText(home.path("_snap.exe"), "old");
    orbtest::WriteText(home.path("snap.exe"), "old");
    // No zip tool: no archive, the build fails with 2055, nothing is left behind.
    PackOptions noZip;
    noZip.zipProgram = "orbiscope-no-such-zip";
    EXPECT_EQ(BuildSnapshotPack(nullptr, home.path("shot.360"), home.path("snap.exe"), noZip), 0);
    EXPECT_FALSE(Exists(home.path("_snap.exe")));
    EXPECT_FALSE(Exists(home.path("snap.exe")));
    EXPECT_FALSE(Exists(home.path("SnapView.snap")));
    auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "failed");
    EXPECT_EQ(shown[0].flags, kMbOk | kMbIconError);

    // An output folder that cannot be written: the build fails the same way.
    EXPECT_EQ(BuildRecordingPack(nullptr, home.path("shot.360"), home.path("no/dir/x.exe"), {}), 0);
    shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "failed");

    // Cancelled save dialog: nothing happens.
    EXPECT_EQ(BuildRecordingPack(nullptr, home.path("shot.360"), "", {}), 0);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST(PackStub, QuotesNamesAndCarriesTexts) {
    SelfExtractor sfx;
    sfx.player = "it's player";
    sfx.marker = "RecVault.dvr";
    sfx.title = "T";
    sfx.intro = "line one\nline two";
    sfx.website = "https://w/";
    const std::string stub = SelfExtractorStub(sfx);
    EXPECT_EQ(stub.rfind("#!/bin/sh\n# T\n# line one\n# line two\n# https://w/\n", 0), 0u);
    EXPECT_NE(stub.find("player='it'\\''s player'\n"), std::string::npos);
    EXPECT_NE(stub.find("expected=0000000000000000\n"), std::string::npos);
    EXPECT_EQ(FillText("%s-%s %% %d %s", {"a", "b"}), "a-b % %d ");
}

}  // namespace

namespace {

TEST(ExportCamera, ChosenSlotsCopiedInListOrder) {
    orbtest::TempHome home;
    orb::TakeMessages();
    std::vector<uint8_t> config;
    for (uint8_t i = 0; i < 3; ++i) {
        std::vector<uint8_t> slot(orb::kSlotSize, static_cast<uint8_t>(0x40 + i));
        std::memset(slot.data() + 720, 0, 440);
        slot[720] = static_cast<uint8_t>('A' + i);
        config.insert(config.end(), slot.begin(), slot.end());
    }
    orbtest::WriteFile(home.path("Config.ure"), config);
    orb::ExportCameraDialog d = orb::OpenExportCameraDialog(nullptr);
    ASSERT_EQ(d.locations, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(orb::ExportCameraBuild(nullptr, d, home.path("none.ure")), 0);  // nothing chosen
    orb::ExportCameraToggle(d, 2);
    orb::ExportCameraToggle(d, 0);
    orb::ExportCameraToggle(d, 1);
    orb::ExportCameraToggle(d, 1);
    orb::ExportCameraToggle(d, 9);
    EXPECT_EQ(orb::ExportCameraBuild(nullptr, d, home.path("two.ure")), 1);
    std::vector<uint8_t> expected = config;
    expected.erase(expected.begin() + orb::kSlotSize, expected.begin() + 2 * orb::kSlotSize);
    EXPECT_EQ(orbtest::ReadFile(home.path("two.ure")), expected);
    orb::TakeMessages();

    // The same through the modeless dialog of CreatePackDlg: items chosen in its list, then
    // the host's BuildPackInfo; OK closes it and keeps the choice.
    orbtest::WriteFile(home.path(orb::kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
    ASSERT_TRUE(orb::LoadLanguageResource());
    auto* dlg = static_cast<orb::HWND>(CreatePackDlg(nullptr, 0));
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(orb::IsWindowVisible(dlg));
    EXPECT_EQ(orb::ListCount(dlg, 1000), 3);
    EXPECT_EQ(orb::ListGetText(dlg, 1000, 1), "B");
    orb::ListSetItemSelected(dlg, 1000, 2, true);
    orb::ListSetItemSelected(dlg, 1000, 0, true);
    orb::SendMessage(dlg, orb::WM_COMMAND, orb::MakeWParam(1000, orb::LBN_SELCHANGE), 0);
    orb::SendMessage(dlg, orb::WM_COMMAND, orb::MakeWParam(orb::IDOK, orb::BN_CLICKED), 0);
    EXPECT_FALSE(orb::IsWindow(dlg));
    EXPECT_EQ(BuildPackInfo(nullptr, home.path("dialog.ure").c_str()), 1);
    EXPECT_EQ(orbtest::ReadFile(home.path("dialog.ure")), expected);
    orb::ResetWindowing();
    orb::UnloadLanguage();
}

}  // namespace

// The real stand-alone player in a real package: unpacked elsewhere, it plays every frame of
// the packed recording through the record stored in the file (headless).
TEST(PackWithPlayer, PackageOfARecordingPlaysOnItsOwn) {
    if (!HaveZipTools()) GTEST_SKIP() << "zip and unzip are not installed; the package cannot be built";
    orbtest::TempHome home;
    orbtest::WriteFile(home.path(kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
    LoadLanguageResource();
    TakeMessages();
    const std::string media = home.path("media");
    fs::create_directories(media);
    // A recording of twelve pictures of the test scene through a fisheye.
    const std::string recording = media + "/CAM07_2026-12-06_10.P360";
    {
        CameraRecord record{};
        FillDefaultPresets(record);
        record.lensType = kLensFisheye;
        record.sourceWidth = 320, record.sourceHeight = 240;
        record.centerX = 160, record.centerY = 120, record.firstRadius = 116;
        HDIB pic = CreateDIB(320, 240, 24);
        std::vector<uint8_t> jpeg;
        ASSERT_TRUE(JpegEncodeMemory(pic, 80, jpeg));
        DestroyDIB(pic);
        DvrContext dvr;
        SystemTime t{2026, 12, 0, 6, 10, 0, 0, 0};
        ASSERT_EQ(CreateRecording(dvr, recording, record, t), 1);
        for (int i = 0; i < 12; ++i) {
            t.milliseconds = static_cast<uint16_t>(i * 80);
            ASSERT_EQ(AppendFrame(dvr, jpeg.data(), static_cast<int32_t>(jpeg.size()), t), 1);
        }
        CloseRecording(dvr);
    }
    PackOptions o;
    o.player = std::string(ORB_BINARY_DIR) + "/orbiscope-player";
    // The library's folder holds the shipped library, which the player loads.
    fs::copy_file(std::string(ORB_BINARY_DIR) + "/liborbiscope.so", home.path("liborbiscope.so"));
    const std::string program = home.path("clip.exe");
    ASSERT_EQ(BuildRecordingPack(nullptr, recording, program, o), 1);
    TakeMessages();
    const std::string runDir = home.path("elsewhere");
    fs::create_directories(runDir);
    fs::copy_file(program, runDir + "/clip.exe");
    ::chmod((runDir + "/clip.exe").c_str(), 0755);
    const std::string log = home.path("played.txt");
    const int rc = orbtest::Run("cd \"" + runDir + "\" && ORBISCOPE_HEADLESS=1 TMPDIR=\"" + runDir +
                                "\" ./clip.exe --out \"" + runDir + "\" > \"" + log + "\" 2>&1");
    const std::string said = orbtest::ReadText(log);
    EXPECT_EQ(rc, 0) << said;
    EXPECT_NE(said.find("played 12 of 12 frames"), std::string::npos) << said;
    EXPECT_TRUE(Exists(runDir + "/CAM07_2026-12-06_10-last.jpg")) << said;
    UnloadLanguage();
}

TEST_F(Pack, AQuotedFileNameRunsNoCommandAndThePackageCarriesNoPassword) {
    if (!HaveZipTools()) GTEST_SKIP() << "zip and unzip are not installed; the package cannot be built";
    // A recording whose name closes the quoted word and hands zip a test command: joined
    // into one text and split again, it ran "id" into a file named PWNED.
    const std::string hostile = "201105141300Lobby\" -T -TT \"id>PWNED;true\" \"z.P360";
    const std::string source = media + "/" + hostile;
    CameraRecord r{};
    std::strcpy(r.account, "YWRtaW4=");
    std::strcpy(r.password, "c2VjcmV0");
    std::strcpy(r.location, "Lobby");
    DvrContext rec;
    ASSERT_EQ(CreateRecording(rec, source, r, SystemTime{2011, 5, 6, 14, 13, 0, 0, 0}), 1);
    const uint8_t jpeg[4] = {0xFF, 0xD8, 0xFF, 0xD9};
    ASSERT_EQ(AppendFrame(rec, jpeg, 4, SystemTime{2011, 5, 6, 14, 13, 0, 1, 0}), 1);
    CloseRecording(rec);
    const std::string before = orbtest::ReadText(source);

    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    const std::string outDir = home.path("out");
    fs::create_directories(outDir);
    ASSERT_EQ(BuildRecordingPack(nullptr, source, outDir + "/clip.exe", {}), 1);
    TakeMessages();
    for (const std::string& where : {std::string(cwd), home.dir, outDir, media})
        EXPECT_FALSE(Exists(where + "/PWNED")) << where;
    // The package holds the recording under a plain name, and without the credentials.
    const std::string unpacked = home.path("unpacked");
    ASSERT_EQ(orbtest::Run("unzip -qq -o \"" + outDir + "/clip.exe\" -d \"" + unpacked + "\" 2>/dev/null"), 0);
    const std::string plain = "201105141300Lobby_ -T -TT _id_PWNED;true_ _z.P360";
    EXPECT_EQ(orbtest::ReadText(unpacked + "/RecVault.dvr"), plain);
    const std::string packed = orbtest::ReadText(unpacked + "/" + plain);
    ASSERT_EQ(packed.size(), before.size());
    CameraRecord inside{};
    std::memcpy(&inside, packed.data() + 44, sizeof inside);
    EXPECT_EQ(std::string(inside.account, sizeof inside.account), std::string(sizeof inside.account, '\0'));
    EXPECT_EQ(std::string(inside.password, sizeof inside.password), std::string(sizeof inside.password, '\0'));
    EXPECT_STREQ(inside.location, "Lobby");  // the rest of the record travels
    EXPECT_EQ(packed.substr(44 + sizeof inside), before.substr(44 + sizeof inside));
    // The user's own recording keeps its credentials.
    EXPECT_EQ(orbtest::ReadText(source), before);

    // A snapshot already in the library's folder is left alone; the packed copy is blanked.
    std::string shot = Bytes(5000) + std::string("Orbiscope", 9);
    shot.append(reinterpret_cast<const char*>(&r), sizeof r);
    orbtest::WriteText(home.path("shot.360"), shot);
    ASSERT_EQ(BuildSnapshotPack(nullptr, home.path("shot.360"), outDir + "/snap.exe", {}), 1);
    TakeMessages();
    EXPECT_EQ(orbtest::ReadText(home.path("shot.360")), shot);
    ASSERT_EQ(orbtest::Run("unzip -qq -o \"" + outDir + "/snap.exe\" -d \"" + unpacked + "\" 2>/dev/null"), 0);
    const std::string packedShot = orbtest::ReadText(unpacked + "/shot.360");
    ASSERT_EQ(packedShot.size(), shot.size());
    std::memcpy(&inside, packedShot.data() + packedShot.size() - sizeof inside, sizeof inside);
    EXPECT_EQ(inside.account[0], 0);
    EXPECT_EQ(inside.password[0], 0);
    EXPECT_STREQ(inside.location, "Lobby");
    for (const auto& e : fs::directory_iterator(home.dir))
        EXPECT_EQ(e.path().filename().string().rfind(".pack-", 0), std::string::npos) << "staging left behind";
}
