#include "platform/safe_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

using orb::PathInside;
using orb::SafeFileName;
using orb::SafeNamePart;

TEST(SafeNames, HostileTextsBecomeOnePlainName) {
    // Separators of both kinds, traversal, quotes, shell and pattern characters.
    EXPECT_EQ(SafeFileName("/../../escaped"), "_.__.__escaped");
    EXPECT_EQ(SafeNamePart("/../../escaped"), "_.__.__escaped");
    EXPECT_EQ(SafeFileName("..\\..\\win"), "___.__win");
    EXPECT_EQ(SafeFileName(".."), "__");
    EXPECT_EQ(SafeFileName("."), "_");
    EXPECT_EQ(SafeFileName("a..b"), "a._b");
    EXPECT_EQ(SafeFileName("...."), "__._");
    EXPECT_EQ(SafeFileName("Lobby\" -T -TT \"id>PWNED;true\" \"z.P360"), "Lobby_ -T -TT _id_PWNED;true_ _z.P360");
    EXPECT_EQ(SafeFileName("it's `x` *?[a]|<b>:c"), "it_s _x_ ___a___b__c");
    EXPECT_EQ(SafeFileName(std::string("line\nbreak\rtab\t\x7f" "end")), "line_break_tab__end");
    EXPECT_EQ(SafeFileName(std::string("nul\0in", 6)), "nul_in");
    // Never hidden, never an option, never empty.
    EXPECT_EQ(SafeFileName(".hidden"), "_hidden");
    EXPECT_EQ(SafeFileName("-rf"), "_rf");
    EXPECT_EQ(SafeFileName(""), "_");
    EXPECT_EQ(SafeNamePart(""), "");
    EXPECT_EQ(SafeNamePart("-part"), "-part");  // inside a name a dash is harmless
    // Ordinary names and UTF-8 stay as they are.
    EXPECT_EQ(SafeFileName("201105141300Lobby.P360"), "201105141300Lobby.P360");
    EXPECT_EQ(SafeFileName("Entr\xC3\xA9" "e Nord"), "Entr\xC3\xA9" "e Nord");
    // Cut to the length asked, never inside a UTF-8 sequence.
    EXPECT_EQ(SafeFileName(std::string(400, 'x')).size(), orb::kNameComponentMax);
    EXPECT_EQ(SafeNamePart("ab\xC3\xA9", 3), "ab");
    EXPECT_EQ(SafeNamePart("ab\xE2\x82\xAC" "c", 4), "ab");
    EXPECT_EQ(SafeNamePart("ab\xE2\x82\xAC" "c", 5), "ab\xE2\x82\xAC");
}

TEST(SafeNames, PathsStayInsideTheirFolder) {
    orbtest::TempHome home;
    const std::string folder = home.path("RECVAULT");
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(PathInside(folder, folder + "/a.360"));
    EXPECT_TRUE(PathInside(folder + "/", folder + "/sub/../a.360"));
    EXPECT_FALSE(PathInside(folder, folder));
    EXPECT_FALSE(PathInside(folder, folder + "/"));
    EXPECT_FALSE(PathInside(folder, folder + "/../escaped.360"));
    EXPECT_FALSE(PathInside(folder, folder + "/x/../../escaped.360"));
    EXPECT_FALSE(PathInside(folder, folder + "X/a.360"));  // a sibling with a longer name
    EXPECT_FALSE(PathInside(folder, "/etc/passwd"));
    EXPECT_FALSE(PathInside("", folder + "/a"));
    // A link inside the folder that leads out of it does not count as inside.
    std::filesystem::create_directory_symlink("/", folder + "/out");
    EXPECT_FALSE(PathInside(folder, folder + "/out/etc/passwd"));
    // Whatever the sanitiser makes of a text stays inside.
    for (const char* text : {"/../../escaped", "..", ".", "a/../../b", "\\..\\..", ""})
        EXPECT_TRUE(PathInside(folder, folder + "/" + SafeFileName(text))) << text;
}
