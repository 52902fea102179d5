#include <gtest/gtest.h>

#include <cstring>

#include "platform/dib.h"
#include "platform/largefile.h"
#include "support/test_support.h"

using namespace orb;

TEST(Dib, HeaderAndRowLayout) {
    HDIB h = CreateDIB(5, 3, 24);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h), 40u + 16u * 3u);  // 15 bytes padded to 16
    const uint8_t* p = GlobalLock(h);
    const uint8_t expected[16] = {40, 0, 0, 0, 5, 0, 0, 0, 3, 0, 0, 0, 1, 0, 24, 0};
    EXPECT_EQ(std::memcmp(p, expected, 16), 0);
    EXPECT_EQ(FindDIBBits(const_cast<uint8_t*>(p)), p + 40);
    EXPECT_EQ(DIBWidth(p), 5);
    EXPECT_EQ(DIBHeight(p), 3);
    GlobalUnlock(h);
    EXPECT_EQ(GetDIBBitCount(h), 24);
    HDIB h32 = CreateDIB(5, 3, 32);
    EXPECT_EQ(GlobalSize(h32), 40u + 20u * 3u);
    EXPECT_EQ(CreateDIB(0, 3, 24), nullptr);
    EXPECT_EQ(CreateDIB(3, -1, 24), nullptr);
    DestroyDIB(h);
    DestroyDIB(h32);
}

TEST(Dib, DuplicateConvertAndZoom) {
    HDIB h = CreateDIB(4, 2, 32);
    {
        DibLock l(h);
        // Bottom row stored first: the top-left pixel lives in the second stored row.
        uint8_t* top = l.rowFromTop(0);
        EXPECT_EQ(top, l.bits() + 16);
        top[0] = 10, top[1] = 20, top[2] = 30, top[3] = 99;
    }
    HDIB c = Duplicate24BitsDIB(h);
    ASSERT_NE(c, nullptr);
    {
        DibLock l(c);
        EXPECT_EQ(l.bitCount(), 24);
        EXPECT_EQ(l.rowFromTop(0)[0], 10);
        EXPECT_EQ(l.rowFromTop(0)[1], 20);
        EXPECT_EQ(l.rowFromTop(0)[2], 30);
        EXPECT_EQ(l.rowFromTop(0)[3], 0);
    }
    HDIB d = DuplicateDIB(c, 1);
    ASSERT_NE(d, nullptr);
    EXPECT_NE(d->data, c->data);
    EXPECT_EQ(std::memcmp(d->data, c->data, c->size), 0);
    // A uniform picture scales to the same uniform level.
    HDIB u = CreateDIB(7, 5, 24);
    {
        DibLock l(u);
        std::memset(l.bits(), 77, l.rowBytes() * 5);
    }
    HDIB z = ZoomDIBEx(u, 13, 3);
    ASSERT_NE(z, nullptr);
    {
        DibLock l(z);
        EXPECT_EQ(l.width(), 13);
        EXPECT_EQ(l.height(), 3);
        for (int y = 0; y < 3; ++y)
            for (int i = 0; i < 13 * 3; ++i) ASSERT_EQ(l.rowFromTop(y)[i], 77);
    }
    EXPECT_EQ(ZoomDIBEx(u, 0, 3), nullptr);
    for (HDIB x : {h, c, d, u, z}) DestroyDIB(x);
}

TEST(LargeFile, SeeksAndTellsPastFourGigabytes) {
    orbtest::TempHome home;
    const std::string path = home.path("big.bin");
    vastio::File f(path.c_str(), "wb+x");
    ASSERT_TRUE(f);
    const int64_t far = (int64_t{5} << 30) + 123;  // sparse: nothing is written before it
    ASSERT_EQ(vastio::fseeki64(f.f, far, 0), 0);
    const char tail[] = "tail";
    ASSERT_EQ(vastio::fwrite(tail, 1, 4, f.f), 4u);
    EXPECT_EQ(vastio::ftelli64(f.f), far + 4);
    ASSERT_EQ(vastio::fseeki64(f.f, 0, 2), 0);
    EXPECT_EQ(vastio::ftelli64(f.f), far + 4);
    ASSERT_EQ(vastio::fseeki64(f.f, -4, 1), 0);
    char back[4] = {};
    EXPECT_EQ(vastio::fread(back, 1, 4, f.f), 4u);
    EXPECT_EQ(std::memcmp(back, tail, 4), 0);
    EXPECT_EQ(f.close(), 0);
    // Creating again with the exclusive mode never truncates the existing file.
    vastio::File again(path.c_str(), "wb+x");
    EXPECT_FALSE(again);
    vastio::File reopen(path.c_str(), "rb+");
    ASSERT_TRUE(reopen);
    EXPECT_EQ(vastio::fseeki64(reopen.f, 0, 2), 0);
    EXPECT_EQ(vastio::ftelli64(reopen.f), far + 4);
    EXPECT_EQ(vastio::fseek(reopen.f, 0, 3), -1);
}
