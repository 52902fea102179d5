#include <gtest/gtest.h>

#include <string>

#include "platform/base64.h"
#include "orbiscope.h"

using namespace orb;

TEST(Base64, EncodesEveryLengthWithPadding) {
    const char* plain[] = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};
    const char* coded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    char buf[200];
    for (int i = 0; i < 7; ++i) {
        EXPECT_STREQ(EncodeBase64(plain[i], buf), coded[i]);
        EXPECT_STREQ(DecodeBase64(coded[i], buf), plain[i]);
    }
    EXPECT_STREQ(EncodeBase64("admin:1234", buf), "YWRtaW46MTIzNA==");
    // High bytes are taken unsigned.
    EXPECT_EQ(Base64Encode("\xff\xfe"), "//4=");
    EXPECT_EQ(Base64Decode("//4="), "\xff\xfe");
}

TEST(Base64, DecoderRulesAndLimits) {
    // The last two characters of a six-character text form an incomplete group.
    EXPECT_EQ(Base64Decode("Zm9vYg"), "foo");
    // Characters outside the alphabet are zero bits, not a failure: "Zm9*" -> "fo" + 0x3d&~...
    const std::string odd = Base64Decode("Zm*v");
    ASSERT_EQ(odd.size(), 3u);
    EXPECT_EQ(odd[0], 'f');
    EXPECT_EQ(static_cast<unsigned char>(odd[1]), 0x60);  // 'm'=38 then zero: 100110 000000 -> 0x60 0x2f
    // A decoded NUL ends the text.
    EXPECT_EQ(Base64Decode("AGFi"), "");
    EXPECT_EQ(Base64Decode("YQBi"), "a");
    EXPECT_EQ(Base64Decode("=="), "");
    // At most 99 characters are encoded and 100 decoded.
    const std::string longText(150, 'a');
    const std::string enc = Base64Encode(longText);
    EXPECT_EQ(enc.size(), 132u);
    EXPECT_EQ(Base64Decode(enc), std::string(75, 'a'));
    EXPECT_EQ(Base64Decode(Base64Encode(std::string(99, 'b'))).size(), 75u);
}
