#include "platform/spawn.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

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

}  // namespace
