#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "config/settings.h"
#include "ui/panoview.h"
#include "platform/texts.h"
#include "platform/largefile.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/window.h"
#include "platform/window_script.h"
#include "record/backup.h"
#include "record/player.h"
#include "record/recorder.h"
#include "record/recording_file.h"
#include "record/backup_fixture.h"
#include "support/test_support.h"

using namespace orb;
using orbtest::ReadFile;
using orbtest::WriteFile;

using backuptest::BackupWorld;
using backuptest::Exists;
using backuptest::Pattern;

TEST(Backup, CopiesInMillionByteChunksWithARunningCount) {
    BackupWorld w;
    for (size_t size : {size_t{0}, size_t{1000000}, size_t{1000001}, size_t{2500000}}) {
        SCOPED_TRACE(size);
        const auto bytes = Pattern(size, static_cast<int>(size % 251));
        WriteFile(w.disk + "a.P360", bytes);
        BackupJob job;
        std::vector<std::string> counts;
        job.onBytes = [&](const std::string& c) { counts.push_back(c); };
        ASSERT_EQ(CopyRecordingFile(job, w.disk + "a.P360", w.backup + "a.P360"), 1);
        EXPECT_EQ(ReadFile(w.backup + "a.P360"), bytes);
        std::vector<std::string> expected;
        if (size == 0) expected = {"0"};
        if (size == 1000000) expected = {"1000000"};  // one final chunk
        if (size == 1000001) expected = {"1000000", "1000001"};
        if (size == 2500000) expected = {"1000000", "2000000", "2500000"};
        EXPECT_EQ(counts, expected);
    }
    BackupJob job;
    EXPECT_EQ(CopyRecordingFile(job, w.disk + "missing.P360", w.backup + "m.P360"), 0);
    EXPECT_EQ(job.lastResult, CopyResult::SourceMissing);
    EXPECT_EQ(CopyRecordingFile(job, w.disk + "a.P360", w.home.path("nowhere/x/a.P360")), 0);
    EXPECT_EQ(job.lastResult, CopyResult::TargetFailed);

    EXPECT_EQ(BackupListText("201105141300Lobby.P360"), "2011/05/14 13:00 -- Lobby");
    EXPECT_EQ(BackupListText("201105141300a.b.P360"), "2011/05/14 13:00 -- a.b");
}

TEST(Backup, FiveGigabyteRecordingCopiesWithSixtyFourBitCounts) {
    BackupWorld w;
    const int64_t size = 5000000123;
    {
        FILE* f = std::fopen((w.disk + "big.P360").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(ftruncate(fileno(f), size), 0);  // sparse: reads as zeros
        std::fclose(f);
    }
    BackupJob job;
    std::string last;
    int64_t written = 0;
    // Zero chunks become holes in the target, so the test needs no 5 GB of disk.
    job.write = [&](const void*, size_t n, FILE* stream) -> size_t {
        written += static_cast<int64_t>(n);
        if (vastio::fseeki64(stream, static_cast<int64_t>(n) - 1, SEEK_CUR) != 0) return 0;
        const char zero = 0;
        return vastio::fwrite(&zero, 1, 1, stream) == 1 ? n : 0;
    };
    job.onBytes = [&](const std::string& c) { last = c; };
    ASSERT_EQ(CopyRecordingFile(job, w.disk + "big.P360", w.backup + "big.P360"), 1);
    EXPECT_EQ(last, "5000000123");
    EXPECT_EQ(written, size);
    struct stat st{};
    ASSERT_EQ(::stat((w.backup + "big.P360").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, size);
}

TEST(Backup, FullDiskLeavesEverySourceInPlace) {
    BackupWorld w;
    std::vector<std::string> sources;
    for (int i = 0; i < 3; ++i) {
        const std::string name = w.disk + "20110514130" + std::to_string(i) + "Cam.P360";
        WriteFile(name, Pattern(1500000, i));
        sources.push_back(name);
    }
    BackupJob job;
    job.folder = w.backup;
    job.move = true;
    // The backup disk holds 2,000,000 bytes: the second file does not fit.
    int64_t room = 2000000;
    job.write = [&](const void* data, size_t n, FILE* stream) -> size_t {
        const size_t fits = static_cast<size_t>(std::min<int64_t>(room, static_cast<int64_t>(n)));
        const size_t done = vastio::fwrite(data, 1, fits, stream);
        room -= static_cast<int64_t>(done);
        if (done < n) errno = ENOSPC;
        return done;
    };
    std::vector<std::string> files;
    job.onFile = [&](int percent, const std::string& name) { files.push_back(std::to_string(percent) + " " + name); };
    EXPECT_EQ(CopyRecordings(job, sources), 1);
    EXPECT_EQ(job.lastResult, CopyResult::DiskFull);
    EXPECT_EQ(job.lastName, "201105141301Cam.P360");
    EXPECT_EQ(files, (std::vector<std::string>{"0 201105141300Cam.P360", "33 201105141301Cam.P360"}));
    // The first was copied whole and moved; the one that did not fit and the rest stay.
    EXPECT_FALSE(Exists(sources[0]));
    EXPECT_EQ(ReadFile(w.backup + "201105141300Cam.P360"), Pattern(1500000, 0));
    EXPECT_EQ(ReadFile(sources[1]), Pattern(1500000, 1));
    EXPECT_EQ(ReadFile(sources[2]), Pattern(1500000, 2));
    EXPECT_FALSE(Exists(w.backup + "201105141302Cam.P360"));

    // A writer that claims success but leaves the target short is caught by the check.
    BackupJob liar;
    liar.folder = w.backup;
    liar.move = true;
    liar.write = [](const void* data, size_t n, FILE* stream) -> size_t {
        vastio::fwrite(data, 1, n / 2, stream);
        return n;
    };
    EXPECT_EQ(CopyRecordings(liar, {sources[1]}), 0);
    EXPECT_EQ(liar.lastResult, CopyResult::Incomplete);
    EXPECT_TRUE(Exists(sources[1]));
}

TEST(Backup, StopDuringTheThirdFileLetsItFinish) {
    BackupWorld w;
    std::vector<std::string> sources;
    for (int i = 0; i < 5; ++i) {
        sources.push_back(w.disk + "20110514130" + std::to_string(i) + "C.P360");
        WriteFile(sources.back(), Pattern(1000 + i, i));
    }
    BackupJob job;
    job.folder = w.backup;
    int file = 0;
    job.onFile = [&](int, const std::string&) {
        if (++file == 3) job.stop = 1;  // pressed while the third file copies
    };
    EXPECT_EQ(CopyRecordings(job, sources), 3);
    EXPECT_EQ(job.stop.load(), 0);  // cleared again
    EXPECT_EQ(ListBackupFolder(w.backup),
              (std::vector<std::string>{"201105141300C.P360", "201105141301C.P360", "201105141302C.P360"}));
    for (const auto& s : sources) EXPECT_TRUE(Exists(s));  // copy, not move

    // A recording the recorder holds open is copied but never moved away.
    DvrContext writer;
    CameraRecord rec{};
    const std::string open = w.disk + "201105141400Open.P360";
    ASSERT_EQ(CreateRecording(writer, open, rec, SystemTime{2011, 5, 0, 14, 14, 0, 0, 0}), 1);
    BackupJob move;
    move.folder = w.backup;
    move.move = true;
    EXPECT_EQ(CopyRecordings(move, {open}), 1);
    EXPECT_EQ(move.kept, 1);
    EXPECT_TRUE(Exists(open));
    EXPECT_TRUE(Exists(w.backup + "201105141400Open.P360"));
    CloseRecording(writer);
}

TEST(Backup, AFolderNameWithLineBreaksCannotRewriteTheSettings) {
    BackupWorld w;
    WriteSetting("DVR", "NAS", "0");
    const std::string before = orbtest::ReadText(SettingsPath());
    // A folder a chooser could return: its name carries new sections that would turn the
    // network-storage command on at the next start.
    const std::string hostile = w.home.path("x\n[DVR]\nNAS=1\nNASLaunch=1\nNASConfig=touch PWNED\n") + "/";
    EXPECT_FALSE(StoreBackupFolder(hostile));
    EXPECT_EQ(orbtest::ReadText(SettingsPath()), before);
    EXPECT_EQ(ReadSettingInt("DVR", "NAS", "0"), 0);
    EXPECT_EQ(ReadSetting("DVR", "NASConfig", "", 500), "");
    EXPECT_TRUE(StoreBackupFolder(w.backup));
    EXPECT_EQ(BackupFolderSetting(), w.backup);
}
