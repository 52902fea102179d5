#include "platform/text_case.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/byte_order.h"

using orb::EndsWithCaseBlind;
using orb::LowerCase;
using orb::SameTextCaseBlind;

TEST(TextCase, LettersMatchWhateverTheirCase) {
    EXPECT_TRUE(SameTextCaseBlind("Content-Length", "content-LENGTH"));
    EXPECT_TRUE(SameTextCaseBlind("", ""));
    EXPECT_FALSE(SameTextCaseBlind("RECVAULT", "RECVAULT2"));
    EXPECT_FALSE(SameTextCaseBlind("a-b", "a_b"));
    // Only ASCII letters fold: '@' and '`' sit next to 'A' and 'a' but are not letters.
    EXPECT_FALSE(SameTextCaseBlind("@", "`"));
    EXPECT_FALSE(SameTextCaseBlind("[", "{"));
    // UTF-8 bytes compare as they are.
    EXPECT_TRUE(SameTextCaseBlind("K\xc3\xa4se", "k\xc3\xa4SE"));
    EXPECT_FALSE(SameTextCaseBlind("\xc3\xa4", "\xc3\x84"));
}

TEST(TextCase, EndingsNeedAStemBeforeThem) {
    EXPECT_TRUE(EndsWithCaseBlind("201105141300Lobby.p360", ".P360"));
    EXPECT_TRUE(EndsWithCaseBlind("x.360", ".360"));
    EXPECT_FALSE(EndsWithCaseBlind(".360", ".360"));
    EXPECT_FALSE(EndsWithCaseBlind("x.P360", ".360x"));
    EXPECT_FALSE(EndsWithCaseBlind("360", ".360"));
}

TEST(TextCase, LowerCaseFoldsOnlyCapitals) {
    EXPECT_EQ(LowerCase("Multipart/X-Mixed-Replace; Boundary=AbC"), "multipart/x-mixed-replace; boundary=abc");
    EXPECT_EQ(LowerCase("\xc3\x84@[Z]"), "\xc3\x84@[z]");
}

TEST(ByteOrder, ReadsAndWritesLeastSignificantByteFirst) {
    const uint8_t bytes[] = {0x78, 0x56, 0x34, 0x12, 0xfe, 0xff, 0xff, 0xff};
    EXPECT_EQ(orb::ReadLe16(bytes), 0x5678u);
    EXPECT_EQ(orb::ReadLe32(bytes), 0x12345678u);
    EXPECT_EQ(static_cast<int32_t>(orb::ReadLe32(bytes + 4)), -2);
    std::vector<uint8_t> out;
    orb::AppendLe32(out, 0x12345678u);
    orb::AppendLe32(out, static_cast<uint32_t>(-2));
    EXPECT_EQ(out, std::vector<uint8_t>(bytes, bytes + 8));
}
