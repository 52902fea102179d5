#include "platform/spawn.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "config/camera_record.h"
#include "platform/private_files.h"
#include "platform/socket.h"
#include "record/recording_file.h"
#include "support/test_support.h"

namespace {

using orb::SpawnStatus;

void WriteScript(const std::string& path, const std::string& body) {
    orbtest::WriteText(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
}

TEST(Spawn, SplitsWordsAndQuotesWithoutExpanding) {
    using V = std::vector<std::string>;
    EXPECT_EQ(orb::SplitCommandLine(""), V{});
    EXPECT_EQ(orb::SplitCommandLine("   \t "), V{});
    EXPECT_EQ(orb::SplitCommandLine("zip -9  -q"), (V{"zip", "-9", "-q"}));
    EXPECT_EQ(orb::SplitCommandLine("zip \"/a b/c.zip\" \"x\" "), (V{"zip", "/a b/c.zip", "x"}));
    // Quotes join with neighbouring text; an empty pair is an empty word.
    EXPECT_EQ(orb::SplitCommandLine("a\"b c\"d \"\""), (V{"ab cd", ""}));
    // Nothing a shell would expand is special.
    EXPECT_EQ(orb::SplitCommandLine("echo $HOME `x` *;|&"), (V{"echo", "$HOME", "`x`", "*;|&"}));
    // An unclosed quote runs to the end.
    EXPECT_EQ(orb::SplitCommandLine("a \"b c"), (V{"a", "b c"}));
}

TEST(Spawn, RunsWaitsReportsExitAndMissingPrograms) {
    orbtest::TempHome home;
    const std::string script = home.path("record.sh");
    const std::string out = home.path("args.txt");
    WriteScript(script, "for a in \"$@\"; do printf '[%s]' \"$a\"; done > \"" + out + "\"\necho noise\nexit 3\n");

    // Arguments arrive exactly as split: blanks kept inside quotes, "$HOME" unexpanded.
    const orb::SpawnResult r = orb::RunCommandLine("\"" + script + "\" \"a b\" $HOME ';'", true, 10000);
    EXPECT_EQ(r.status, SpawnStatus::kExited);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(r.ran());
    EXPECT_FALSE(r.succeeded());
    // Single quotes are plain text too.
    EXPECT_EQ(orbtest::ReadText(out), "[a b][$HOME][';']");

    const orb::SpawnResult missing = orb::RunCommandLine("/no/such/program -x", true, 10000);
    EXPECT_EQ(missing.status, SpawnStatus::kNotStarted);
    EXPECT_FALSE(missing.ran());
    EXPECT_EQ(orb::RunCommandLine("orbiscope-no-such-program-anywhere", true, 10000).status,
              SpawnStatus::kNotStarted);
    EXPECT_EQ(orb::RunCommandLine("", true, 10000).status, SpawnStatus::kNotStarted);
    EXPECT_EQ(orb::RunCommandLine("  \"\" ", true, 10000).status, SpawnStatus::kNotStarted);

    // A program that outlives its bounded wait is stopped.
    WriteScript(home.path("slow.sh"), "exec sleep 30\n");
    EXPECT_EQ(orb::RunProgram({home.path("slow.sh")}, true, 50).status, SpawnStatus::kTimedOut);

    // Without waiting, the start alone counts.
    EXPECT_TRUE(orb::RunProgram({"true"}, true, orb::kNoWait).ran());
}

TEST(Spawn, FindsProgramsAndViewers) {
    orbtest::TempHome home;
    EXPECT_FALSE(orb::FindProgram("sh").empty());
    EXPECT_TRUE(orb::FindProgram("").empty());
    EXPECT_TRUE(orb::FindProgram("/etc/passwd").empty());  // not executable
    orbtest::WriteText(home.path("plain.txt"), "x");
    EXPECT_TRUE(orb::FindProgram(home.path("plain.txt")).empty());

    const char* oldPath = std::getenv("PATH");
    const std::string savedPath = oldPath ? oldPath : "";
    WriteScript(home.path("myview"), "exit 0\n");
    setenv("PATH", (home.dir + ":/usr/bin:/bin").c_str(), 1);
    setenv("VISUAL", "myview --read-only", 1);
    setenv("EDITOR", "vi", 1);
    EXPECT_EQ(orb::TextViewerCommand("/f.txt"), (std::vector<std::string>{"myview", "--read-only", "/f.txt"}));
    // A VISUAL that is not installed gives way to EDITOR, then to xdg-open.
    setenv("VISUAL", "no-such-viewer", 1);
    setenv("EDITOR", "myview", 1);
    EXPECT_EQ(orb::TextViewerCommand("/f.txt"), (std::vector<std::string>{"myview", "/f.txt"}));
    unsetenv("VISUAL");
    unsetenv("EDITOR");
    setenv("PATH", home.dir.c_str(), 1);
    EXPECT_TRUE(orb::TextViewerCommand("/f.txt").empty());
    EXPECT_TRUE(orb::ShellOpenCommand("/f.html").empty());
    WriteScript(home.path("xdg-open"), "exit 0\n");
    EXPECT_EQ(orb::ShellOpenCommand("/f.html"), (std::vector<std::string>{home.path("xdg-open"), "/f.html"}));
    EXPECT_EQ(orb::TextViewerCommand("/f.txt"), (std::vector<std::string>{home.path("xdg-open"), "/f.txt"}));
    setenv("PATH", savedPath.c_str(), 1);
}

// The descriptors a started program holds, as "ls -l /proc/self/fd" shows them, without
// the lister's own handle on that folder.
std::vector<std::string> DescriptorsOfAStartedProgram(const std::string& listing) {
    const orb::SpawnResult r =
        orb::RunProgram({"/bin/sh", "-c", "exec ls -l /proc/self/fd > \"$0\"", listing}, true, 20000);
    EXPECT_TRUE(r.succeeded());
    std::vector<std::string> fds;
    std::istringstream lines(orbtest::ReadText(listing));
    for (std::string line; std::getline(lines, line);) {
        const size_t arrow = line.find(" -> ");
        if (arrow == std::string::npos) continue;
        const std::string target = line.substr(arrow + 4);
        const std::string head = line.substr(0, arrow);
        const std::string fd = head.substr(head.find_last_of(' ') + 1);
        if (target.size() > 3 && target.compare(target.size() - 3, 3, "/fd") == 0) continue;
        fds.push_back(fd + " " + target);
    }
    return fds;
}

TEST(Spawn, StartedProgramsHoldOnlyTheirStandardStreams) {
    orbtest::TempHome home;
    // What the library holds open while the user starts a program: a recording being
    // written, a camera socket, a picture file; and a descriptor the host left inheritable.
    orb::DvrContext dvr;
    CameraRecord record{};
    ASSERT_EQ(orb::CreateRecording(dvr, home.path("201105141300Lobby.P360"), record, SystemTime{2011, 5, 6, 14, 13, 0, 0, 0}), 1);
    orb::Socket camera = orb::CreateTcpSocket();
    ASSERT_TRUE(camera.Valid());
    FILE* picture = orb::OpenFile(home.path("picture.jpg").c_str(), "wb+");
    ASSERT_NE(picture, nullptr);
    const int hostFd = ::open(home.path("host.txt").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(hostFd, 0);
    // Each of ours is close-on-exec in the first place.
    for (const int fd : {::fileno(dvr.stream), camera.Fd(), ::fileno(picture)})
        EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << fd;

    const std::vector<std::string> held = DescriptorsOfAStartedProgram(home.path("fds.txt"));
    std::vector<std::string> numbers;
    for (const std::string& entry : held) numbers.push_back(entry.substr(0, entry.find(' ')));
    EXPECT_EQ(numbers, (std::vector<std::string>{"0", "1", "2"}));
    // None of them is one of ours: only the listing the program was told to write.
    for (const std::string& entry : held) {
        if (entry.find(home.dir) != std::string::npos) {
            EXPECT_NE(entry.find("fds.txt"), std::string::npos) << entry;
        }
    }

    ::close(hostFd);
    std::fclose(picture);
    orb::CloseRecording(dvr);
}

}  // namespace
