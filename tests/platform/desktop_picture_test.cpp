// The desktop's 32-bit picture of a window stays the 24-bit composition pixel for pixel while
// windows paint, move, hide and resize, and only what was painted is composed again; windows
// on 32-bit surfaces (the views) draw and show the same as on 24-bit ones.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/dib.h"
#include "platform/window.h"

using namespace orb;

namespace {

uint32_t g_fill[4] = {};

// Each window paints noise of its own seed, so that every byte of the picture tells where it
// came from; the second window paints on a 32-bit surface, its fourth bytes noise too.
LRESULT Noisy(HWND h, uint32_t m, WPARAM w, LPARAM l) {
    if (m == WM_PAINT) {
        const int which = GetDlgCtrlID(h);
        Canvas c = BeginPaint(h, which == 2 ? 32 : 24);
        std::mt19937 rng(g_fill[which & 3] * 31 + uint32_t(which));
        DibLock d(c.picture);
        for (int y = 0; y < d.height(); ++y)
            for (int x = 0; x < d.width() * d.bitCount() / 8; ++x) d.rowFromTop(y)[x] = uint8_t(rng());
        EndPaint(h);
        return 0;
    }
    return DefWindowProc(h, m, w, l);
}

struct WindowPictures : ::testing::Test {
    void SetUp() override {
        SetBackend(Backend::Headless);
        ResetWindowing();
        ASSERT_TRUE(RegisterWindowClass({"Noisy", Noisy}));
    }
    void TearDown() override { ResetWindowing(); }
};

// The picture must equal the 24-bit capture; the desktop takes no notice of the fourth byte.
void ExpectSameAsCapture(HWND top, const WindowPicture& p) {
    HDIB shot = CaptureWindowPicture(top);
    int wrong = 0;
    {
        DibLock l(shot);
        ASSERT_EQ(p.width, l.width());
        ASSERT_EQ(p.height, l.height());
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const uint8_t* s = l.rowFromTop(y) + 3 * x;
                wrong += (p.pixels[size_t(y) * p.width + x] & 0xFFFFFF) != (s[0] | (s[1] << 8) | (uint32_t(s[2]) << 16));
            }
    }
    DestroyDIB(shot);
    EXPECT_EQ(wrong, 0);
}

TEST_F(WindowPictures, FollowPaintsMovesAndHiding) {
    // Odd widths, so that rows end at every offset of the four-pixel conversion.
    HWND top = CreateWindow("Noisy", "", WS_POPUP | WS_VISIBLE, 0, 0, 101, 67, nullptr, 0, nullptr);
    HWND a = CreateWindow("Noisy", "", WS_CHILD | WS_VISIBLE, 3, 5, 37, 23, top, 1, nullptr);
    HWND b = CreateWindow("Noisy", "", WS_CHILD | WS_VISIBLE, 30, 20, 50, 41, top, 2, nullptr);
    HWND c = CreateWindow("Noisy", "", WS_CHILD | WS_VISIBLE, 90, 60, 30, 30, top, 3, nullptr);  // past the corner
    PumpMessages();
    WindowPicture p;
    EXPECT_EQ(UpdateWindowPicture(top, p), (Rect{0, 0, 101, 67}));
    ExpectSameAsCapture(top, p);

    // Nothing painted: nothing composed.
    EXPECT_EQ(UpdateWindowPicture(top, p), Rect{});

    // One window painted: only its rectangle, and the window over it still on top.
    g_fill[1] = 5;
    InvalidateRect(a);
    PumpMessages();
    EXPECT_EQ(UpdateWindowPicture(top, p), (Rect{3, 5, 40, 28}));
    ExpectSameAsCapture(top, p);

    // Two painted: the rectangle around both; clipped to the picture.
    g_fill[2] = 9, g_fill[3] = 4;
    InvalidateRect(b);
    InvalidateRect(c);
    PumpMessages();
    EXPECT_EQ(UpdateWindowPicture(top, p), (Rect{30, 20, 101, 67}));
    ExpectSameAsCapture(top, p);

    // Moved, hidden, shown again, the whole window resized: all of it again.
    MoveWindow(a, 10, 2, 37, 23);
    PumpMessages();
    EXPECT_EQ(UpdateWindowPicture(top, p), (Rect{0, 0, 101, 67}));
    ExpectSameAsCapture(top, p);
    ShowWindow(b, SW_HIDE);
    PumpMessages();
    EXPECT_EQ(UpdateWindowPicture(top, p), (Rect{0, 0, 101, 67}));
    ExpectSameAsCapture(top, p);
    ShowWindow(b, SW_SHOW);
    PumpMessages();
    UpdateWindowPicture(top, p);
    ExpectSameAsCapture(top, p);
    MoveWindow(top, 0, 0, 64, 33);
    PumpMessages();
    EXPECT_EQ(UpdateWindowPicture(top, p), (Rect{0, 0, 64, 33}));
    ExpectSameAsCapture(top, p);

    // A paint that has begun but not ended is composed again once it ends.
    g_fill[1] = 11;
    Canvas canvas = BeginPaint(a);
    UpdateWindowPicture(top, p);
    FillRect(canvas, {0, 0, 37, 23}, Rgb(1, 2, 3));
    EndPaint(a);
    EXPECT_EQ(UpdateWindowPicture(top, p), (Rect{10, 2, 47, 25}));
    ExpectSameAsCapture(top, p);
    (void)c;
}

// What a view paints: its picture stretched or copied in, a band and a text over it.
void PaintLikeAView(const Canvas& c, HDIB picture) {
    StretchPicture(c, {0, 0, c.width, c.height}, picture);
    FillRect(c, {4, 30, 60, 46}, Rgb(0, 0, 0));
    FrameRect(c, {2, 2, c.width - 2, c.height - 2}, Rgb(200, 30, 9), 2);
    DrawText(c, 6, 32, "12:34:56", Rgb(255, 255, 255));
}

HDIB NoisePicture(int w, int h, int bits, uint32_t seed) {
    HDIB pic = CreateDIB(w, h, bits);
    DibLock l(pic);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * bits / 8; ++x) l.rowFromTop(y)[x] = uint8_t(rng());
    return pic;
}

// The same pictures and drawing on a 24-bit and on a 32-bit surface give the same window,
// whether the picture has the surface's size (copied row by row) or not (stretched).
TEST_F(WindowPictures, ThirtyTwoBitSurfacesShowWhatTwentyFourBitOnesShow) {
    for (int bits : {24, 32})
        for (int pw : {77, 40}) {
            HDIB picture = NoisePicture(pw, 53, bits, uint32_t(bits + pw));
            HDIB shots[2] = {};
            for (int surface : {24, 32}) {
                ResetWindowing();
                RegisterWindowClass({"Plain", DefWindowProc});
                HWND top = CreateWindow("Plain", "", WS_POPUP | WS_VISIBLE, 0, 0, 77, 53, nullptr, 0, nullptr);
                Canvas c = BeginPaint(top, surface);
                {
                    DibLock l(c.picture);
                    ASSERT_EQ(l.bitCount(), surface);
                }
                PaintLikeAView(c, picture);
                EndPaint(top);
                WindowPicture p;
                UpdateWindowPicture(top, p);
                ExpectSameAsCapture(top, p);
                shots[surface == 32] = CaptureWindowPicture(top);
            }
            {
                DibLock a(shots[0]), b(shots[1]);
                ASSERT_EQ(a.rowBytes(), b.rowBytes());
                EXPECT_EQ(0, std::memcmp(a.bits(), b.bits(), size_t(a.rowBytes()) * a.height())) << bits << " " << pw;
            }
            DestroyDIB(shots[0]);
            DestroyDIB(shots[1]);
            DestroyDIB(picture);
        }
}

}  // namespace
