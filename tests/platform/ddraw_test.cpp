// The DirectDraw stand-in: surfaces, blits, locks, flips, lost surfaces, display modes, the
// retrace clock and what reaches the presenter.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/ddraw/display.h"
#include "platform/testing.h"
#include "platform/win/messages.h"
#include "platform/win/process.h"
#include "platform/win/time.h"
#include "platform/win/window.h"

namespace plat {
namespace {

LRESULT PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

class DDrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Reset();
        testing::UsePrivateInstanceLockKey();
        testing::SetVirtualDesktop(1024, 768, 32, 60);
        WNDCLASSA c{};
        c.lpfnWndProc = PlainProc;
        c.lpszClassName = "DDrawTestClass";
        ASSERT_NE(RegisterClassA(&c), 0);
        ASSERT_EQ(CreateDirectDraw7(&dd_), DD_OK);
        ASSERT_EQ(dd_->Initialize(nullptr), DD_OK);
    }
    void TearDown() override {
        for (DirectDrawSurface* s : surfaces_) s->Release();
        if (dd_ != nullptr) dd_->Release();
        if (IsWindow(window_)) DestroyWindow(window_);
        UnregisterClassA("DDrawTestClass", nullptr);
    }
    HWND MakeWindow(DWORD style) {
        window_ = CreateWindowExA(0, "DDrawTestClass", "dd", style, 100, 50, 320, 240, nullptr,
                                  nullptr, nullptr, nullptr);
        return window_;
    }
    // Full screen at the given mode, with a flip chain of one back buffer.
    void FullScreen(DWORD width, DWORD height, DWORD bits) {
        ASSERT_NE(MakeWindow(WS_POPUP), nullptr);
        ASSERT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
        ASSERT_EQ(dd_->SetDisplayMode(width, height, bits, 0, 0), DD_OK);
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        d.dwBackBufferCount = 1;
        ASSERT_EQ(dd_->CreateSurface(&d, &front_, nullptr), DD_OK);
        surfaces_.push_back(front_);
        DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
        ASSERT_EQ(front_->GetAttachedSurface(&caps, &back_), DD_OK);
        surfaces_.push_back(back_);
    }
    DirectDrawSurface* Plain(int width, int height, const DDPixelFormat& format,
                             DWORD caps = DDSCAPS_OFFSCREENPLAIN) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = static_cast<DWORD>(width);
        d.dwHeight = static_cast<DWORD>(height);
        d.ddpfPixelFormat = format;
        d.ddsCaps.dwCaps = caps;
        DirectDrawSurface* s = nullptr;
        EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DD_OK);
        if (s != nullptr) surfaces_.push_back(s);
        return s;
    }
    static uint32_t At(const DirectDrawSurface* s, int x, int y) {
        return ReadPixelBytes(
            s->Bits() + static_cast<int64_t>(y) * s->Pitch() + x * s->BytesPerPixel(),
            s->BytesPerPixel());
    }
    static void Put(DirectDrawSurface* s, int x, int y, uint32_t v) {
        WritePixelBytes(s->Bits() + static_cast<int64_t>(y) * s->Pitch() + x * s->BytesPerPixel(),
                        s->BytesPerPixel(), v);
    }
    static HRESULT Fill(DirectDrawSurface* s, const RECT* r, uint32_t v) {
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = v;
        return s->Blt(const_cast<RECT*>(r), nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }

    DirectDraw* dd_ = nullptr;
    HWND window_ = nullptr;
    DirectDrawSurface* front_ = nullptr;
    DirectDrawSurface* back_ = nullptr;
    std::vector<DirectDrawSurface*> surfaces_;
};

// --- Flip and the retrace clock ------------------------------------------------------------------

TEST_F(DDrawTest, FlipSwapsBuffersAfterWaitingForTheNextBlank) {
    testing::SetFakeClock(0);
    FullScreen(640, 480, 16);
    ASSERT_EQ(Fill(back_, nullptr, 0xF800), DD_OK);   // red in the back buffer
    ASSERT_EQ(Fill(front_, nullptr, 0x001F), DD_OK);  // blue on show
    uint8_t* frontBits = front_->Bits();
    uint8_t* backBits = back_->Bits();
    const uint64_t before = testing::PresentCount();

    // 480 visible lines of 525: the blank starts 16667 * 480 / 525 us into the period.
    ASSERT_EQ(front_->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(GetMicrosecondClock(), 15238u);
    BOOL inBlank = FALSE;
    ASSERT_EQ(dd_->GetVerticalBlankStatus(&inBlank), DD_OK);
    EXPECT_TRUE(inBlank);
    EXPECT_EQ(front_->Bits(), backBits);
    EXPECT_EQ(back_->Bits(), frontBits);
    EXPECT_EQ(At(front_, 5, 5), 0xF800u);
    EXPECT_EQ(At(back_, 5, 5), 0x001Fu);
    EXPECT_EQ(testing::PresentCount(), before + 1);
    testing::PresentedPicture shown = testing::LastPresentedPicture();
    ASSERT_EQ(shown.width, 640);
    ASSERT_EQ(shown.height, 480);
    EXPECT_EQ(shown.rgb[0], 0xFF0000u);

    // A flip asked for during a blank waits for the next period's blank.
    ASSERT_EQ(front_->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(GetMicrosecondClock(), 15238u + kRetracePeriodMicroseconds);
    EXPECT_EQ(At(front_, 0, 0), 0x001Fu);
    // Without vertical sync the flip does not wait.
    ASSERT_EQ(front_->Flip(nullptr, DDFLIP_WAIT | DDFLIP_NOVSYNC), DD_OK);
    EXPECT_EQ(GetMicrosecondClock(), 15238u + kRetracePeriodMicroseconds);
    EXPECT_EQ(testing::PresentCount(), before + 3);
}

TEST_F(DDrawTest, FlipRefusesAChainWithALockedMember) {
    FullScreen(640, 480, 32);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(back_->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    uint8_t* locked = static_cast<uint8_t*>(d.lpSurface);
    EXPECT_EQ(front_->Flip(nullptr, DDFLIP_NOVSYNC), DDERR_SURFACEBUSY);
    // The locked pointer still names the back buffer's memory.
    EXPECT_EQ(back_->Bits(), locked);
    ASSERT_EQ(back_->Unlock(nullptr), DD_OK);
    EXPECT_EQ(front_->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
    EXPECT_EQ(back_->Flip(nullptr, DDFLIP_NOVSYNC), DDERR_NOTFLIPPABLE);
}

TEST_F(DDrawTest, ScanLineWrapsEachPeriodAndReportsTheBlank) {
    testing::SetFakeClock(0);
    FullScreen(640, 480, 32);
    struct Case {
        uint64_t phase;
        DWORD line;
        HRESULT result;
    } cases[] = {
        {0, 0, DD_OK},
        {8333, 262, DD_OK},
        {15237, 479, DD_OK},
        {15238, 479, DDERR_VERTICALBLANKINPROGRESS},
        {16666, 524, DDERR_VERTICALBLANKINPROGRESS},
        {16667, 0, DD_OK},  // the next period
        {16667 * 3 + 8333, 262, DD_OK},
    };
    uint64_t now = 0;
    for (const Case& c : cases) {
        testing::AdvanceFakeClockMicroseconds(c.phase - now);
        now = c.phase;
        DWORD line = 9999;
        EXPECT_EQ(dd_->GetScanLine(&line), c.result) << c.phase;
        EXPECT_EQ(line, c.line) << c.phase;
    }
}

TEST_F(DDrawTest, WaitForVerticalBlankEndsAtTheBlanksEdges) {
    testing::SetFakeClock(0);
    FullScreen(640, 480, 32);
    testing::AdvanceFakeClockMicroseconds(100);
    ASSERT_EQ(dd_->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
    EXPECT_EQ(GetMicrosecondClock(), 15238u);
    ASSERT_EQ(dd_->WaitForVerticalBlank(DDWAITVB_BLOCKEND, nullptr), DD_OK);
    EXPECT_EQ(GetMicrosecondClock(), 16667u);
}

// A caller that polls the retrace under a fake clock that moves only when told must still see
// time pass, or a measured frame takes 0 us.
TEST_F(DDrawTest, PollAdvanceLetsAPollingLoopMeasureAFrame) {
    testing::SetFakeClock(0);
    FullScreen(640, 480, 32);
    testing::SetRetracePollAdvance(50);
    BOOL inBlank = FALSE;
    int polls = 0;
    do {
        dd_->GetVerticalBlankStatus(&inBlank);
    } while (!inBlank && ++polls < 100000);
    const uint64_t firstBlank = GetMicrosecondClock();
    do {
        dd_->GetVerticalBlankStatus(&inBlank);
    } while (inBlank && ++polls < 100000);
    do {
        dd_->GetVerticalBlankStatus(&inBlank);
    } while (!inBlank && ++polls < 100000);
    ASSERT_LT(polls, 100000);
    const uint64_t frame = GetMicrosecondClock() - firstBlank;
    EXPECT_GE(frame, kRetracePeriodMicroseconds - 50);
    EXPECT_LE(frame, kRetracePeriodMicroseconds + 50);
}

// --- Blits ---------------------------------------------------------------------------------------

TEST_F(DDrawTest, KeyedBltFastLeavesKeyPixelsUntouched) {
    DirectDrawSurface* src = Plain(4, 2, kPixelFormat565);
    DirectDrawSurface* dst = Plain(6, 3, kPixelFormat565);
    const uint32_t key = 0x07E0;
    const uint32_t row[4] = {key, 0x1111, key, 0x2222};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) Put(src, x, y, row[x]);
    }
    ASSERT_EQ(Fill(dst, nullptr, 0x7777), DD_OK);
    EXPECT_EQ(dst->BltFast(1, 1, src, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
    DDCOLORKEY k{key, key};
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &k), DD_OK);
    ASSERT_EQ(dst->BltFast(1, 1, src, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    const uint32_t want[4] = {0x7777, 0x1111, 0x7777, 0x2222};
    for (int y = 1; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) EXPECT_EQ(At(dst, x + 1, y), want[x]) << x << "," << y;
    }
    EXPECT_EQ(At(dst, 0, 1), 0x7777u);
    EXPECT_EQ(At(dst, 5, 1), 0x7777u);
    EXPECT_EQ(At(dst, 1, 0), 0x7777u);
    // Without the key every pixel goes.
    ASSERT_EQ(dst->BltFast(1, 1, src, nullptr, DDBLTFAST_NOCOLORKEY), DD_OK);
    EXPECT_EQ(At(dst, 1, 1), key);
}

TEST_F(DDrawTest, KeyedBltFastOfLongRowsMatchesPixelByPixel) {
    for (const DDPixelFormat& format : {kPixelFormat565, kPixelFormatXrgb32}) {
        DirectDrawSurface* src = Plain(37, 3, format);
        DirectDrawSurface* dst = Plain(40, 3, format);
        const uint32_t key = format.rgbBitCount == 16 ? 0xF81Fu : 0xFF00FFu;
        uint32_t seed = 12345;
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 37; ++x) {
                seed = seed * 1103515245u + 12345u;
                Put(src, x, y, (seed >> 16) % 3 == 0 ? key : (seed >> 8) & 0xFFFF);
            }
            for (int x = 0; x < 40; ++x) Put(dst, x, y, 0x1357);
        }
        DDCOLORKEY k{key, key};
        ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &k), DD_OK);
        ASSERT_EQ(dst->BltFast(2, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 40; ++x) {
                const bool covered = x >= 2 && x < 39;
                const uint32_t s = covered ? At(src, x - 2, y) : key;
                EXPECT_EQ(At(dst, x, y), s == key ? 0x1357u : s) << format.rgbBitCount << " " << x;
            }
        }
    }
}

TEST_F(DDrawTest, BltFastRefusesRectanglesOutsideEitherSurface) {
    DirectDrawSurface* src = Plain(4, 4, kPixelFormatXrgb32);
    DirectDrawSurface* dst = Plain(8, 8, kPixelFormatXrgb32);
    struct Case {
        DWORD x, y;
        RECT source;
        HRESULT result;
    } cases[] = {
        {0, 0, {0, 0, 4, 4}, DD_OK},
        {4, 4, {0, 0, 4, 4}, DD_OK},
        {5, 4, {0, 0, 4, 4}, DDERR_INVALIDRECT},  // past the destination's right edge
        {4, 5, {0, 0, 4, 4}, DDERR_INVALIDRECT},
        {0, 0, {0, 0, 5, 4}, DDERR_INVALIDRECT},  // past the source
        {0, 0, {-1, 0, 3, 4}, DDERR_INVALIDRECT},
        {0, 0, {2, 2, 2, 3}, DDERR_INVALIDRECT},  // empty
        {0xFFFFFFFF, 0, {0, 0, 1, 1}, DDERR_INVALIDRECT},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dst->BltFast(c.x, c.y, src, &c.source, 0), c.result) << c.x << "," << c.y;
    }
    DirectDrawSurface* other = Plain(4, 4, kPixelFormat565);
    EXPECT_EQ(dst->BltFast(0, 0, other, nullptr, 0), DDERR_INVALIDPIXELFORMAT);
}

TEST_F(DDrawTest, StretchedBltByTwoAndByHalf) {
    DirectDrawSurface* small = Plain(2, 2, kPixelFormatXrgb32);
    DirectDrawSurface* big = Plain(4, 4, kPixelFormatXrgb32);
    const uint32_t quad[2][2] = {{0x000001, 0x000002}, {0x000003, 0x000004}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) Put(small, x, y, quad[y][x]);
    }
    ASSERT_EQ(big->Blt(nullptr, small, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) EXPECT_EQ(At(big, x, y), quad[y / 2][x / 2]) << x << "," << y;
    }
    // By a half: every other pixel and row, from the first.
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) Put(big, x, y, static_cast<uint32_t>(y * 16 + x));
    }
    ASSERT_EQ(small->Blt(nullptr, big, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(At(small, 0, 0), 0x00u);
    EXPECT_EQ(At(small, 1, 0), 0x02u);
    EXPECT_EQ(At(small, 0, 1), 0x20u);
    EXPECT_EQ(At(small, 1, 1), 0x22u);
}

TEST_F(DDrawTest, BltClipsToTheDestinationAndKeepsTheScale) {
    DirectDrawSurface* src = Plain(2, 2, kPixelFormatXrgb32);
    DirectDrawSurface* dst = Plain(3, 3, kPixelFormatXrgb32);
    const uint32_t quad[2][2] = {{1, 2}, {3, 4}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) Put(src, x, y, quad[y][x]);
    }
    ASSERT_EQ(Fill(dst, nullptr, 9), DD_OK);
    // Doubled into (-1, -1, 3, 3): the destination shows the doubled picture shifted by one.
    const RECT d{-1, -1, 3, 3};
    ASSERT_EQ(dst->Blt(&d, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    const uint32_t want[3][3] = {{1, 2, 2}, {3, 4, 4}, {3, 4, 4}};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(At(dst, x, y), want[y][x]) << x << "," << y;
    }
    const RECT bad{0, 0, 3, 2};
    EXPECT_EQ(dst->Blt(nullptr, src, &bad, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
}

TEST_F(DDrawTest, ColourAndDepthFill) {
    DirectDrawSurface* s = Plain(4, 3, kPixelFormat565);
    ASSERT_EQ(Fill(s, nullptr, 0x1234), DD_OK);
    const RECT r{2, 1, 9, 9};  // clipped to the surface
    ASSERT_EQ(Fill(s, &r, 0xF800), DD_OK);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(At(s, x, y), (x >= 2 && y >= 1) ? 0xF800u : 0x1234u) << x << "," << y;
        }
    }
    DirectDrawSurface* z = Plain(4, 3, kPixelFormatZ16, DDSCAPS_ZBUFFER);
    ASSERT_NE(z, nullptr);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillDepth = 0xFFFF;
    ASSERT_EQ(z->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(At(z, 0, 0), 0xFFFFu);
    EXPECT_EQ(At(z, 3, 2), 0xFFFFu);
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL, &fx), DDERR_INVALIDPARAMS);
    EXPECT_EQ(z->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDPARAMS);
    // A depth surface attaches to a surface of its size, once.
    EXPECT_EQ(s->AddAttachedSurface(z), DD_OK);
    EXPECT_EQ(s->AddAttachedSurface(z), DDERR_SURFACEALREADYATTACHED);
    DDSCAPS2 caps{DDSCAPS_ZBUFFER, 0, 0, 0};
    DirectDrawSurface* found = nullptr;
    ASSERT_EQ(s->GetAttachedSurface(&caps, &found), DD_OK);
    EXPECT_EQ(found, z);
    found->Release();
    EXPECT_EQ(s->DeleteAttachedSurface(0, z), DD_OK);
    EXPECT_EQ(s->DeleteAttachedSurface(0, z), DDERR_SURFACENOTATTACHED);
}

// --- Locks ---------------------------------------------------------------------------------------

TEST_F(DDrawTest, LockGivesTheRectanglesFirstPixelAndRefusesASecondLock) {
    DirectDrawSurface* s = Plain(10, 8, kPixelFormat565);
    const RECT r{3, 2, 7, 5};
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(s->Lock(&r, &d, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), DD_OK);
    EXPECT_EQ(d.lpSurface, s->Bits() + 2 * s->Pitch() + 3 * 2);
    EXPECT_EQ(d.lPitch, s->Pitch());
    EXPECT_GE(d.lPitch, 20);
    EXPECT_EQ(d.dwWidth, 10u);
    EXPECT_EQ(d.ddpfPixelFormat.rgbBitCount, 16u);
    DDSURFACEDESC2 again{};
    again.dwSize = sizeof again;
    EXPECT_EQ(s->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(again.lpSurface, nullptr);
    // Nor does a locked surface blit or give a device context.
    HDC dc = nullptr;
    EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACEBUSY);
    EXPECT_EQ(Fill(s, nullptr, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);

    const RECT outside{8, 6, 11, 8};
    EXPECT_EQ(s->Lock(&outside, &d, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);
    testing::FailSurfaceLocks(1);
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_GENERIC);
    EXPECT_EQ(d.lpSurface, nullptr);
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(d.lpSurface, s->Bits());
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
}

// --- Lost surfaces -------------------------------------------------------------------------------

TEST_F(DDrawTest, LostSurfaceRefusesUseUntilRestoredWithZeroedPixels) {
    DirectDrawSurface* s = Plain(4, 4, kPixelFormatXrgb32);
    DirectDrawSurface* other = Plain(4, 4, kPixelFormatXrgb32);
    ASSERT_EQ(Fill(s, nullptr, 0xABCDEF), DD_OK);
    EXPECT_EQ(s->IsLost(), DD_OK);
    testing::LoseAllSurfaces();
    EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.lpSurface = s->Bits();
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(d.lpSurface, nullptr);
    EXPECT_EQ(Fill(s, nullptr, 1), DDERR_SURFACELOST);
    EXPECT_EQ(other->Restore(), DD_OK);
    EXPECT_EQ(other->BltFast(0, 0, s, nullptr, 0), DDERR_SURFACELOST);
    HDC dc = nullptr;
    EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACELOST);
    ASSERT_EQ(s->Restore(), DD_OK);
    EXPECT_EQ(s->IsLost(), DD_OK);
    EXPECT_EQ(At(s, 2, 2), 0u);
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
}

TEST_F(DDrawTest, FocusLossLosesOnlyFullScreenSurfaces) {
    FullScreen(640, 480, 16);
    DirectDraw* windowed = nullptr;
    ASSERT_EQ(CreateDirectDraw7(&windowed), DD_OK);
    ASSERT_EQ(windowed->Initialize(nullptr), DD_OK);
    ASSERT_EQ(windowed->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = 8;
    d.dwHeight = 8;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    DirectDrawSurface* kept = nullptr;
    ASSERT_EQ(windowed->CreateSurface(&d, &kept, nullptr), DD_OK);

    testing::InjectFocusGain(window_);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    testing::InjectFocusLoss(window_);
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    EXPECT_EQ(front_->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(back_->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(kept->IsLost(), DD_OK);
    // Restoring the front brings back the whole chain.
    EXPECT_EQ(front_->Restore(), DD_OK);
    EXPECT_EQ(back_->IsLost(), DD_OK);
    kept->Release();
    windowed->Release();
}

// --- Objects and modes ---------------------------------------------------------------------------

TEST_F(DDrawTest, CreationFailsOnceOrAlwaysWhenTold) {
    DirectDraw* dd = nullptr;
    testing::FailDirectDrawCreations(1);
    EXPECT_EQ(CreateDirectDraw7(&dd), DDERR_GENERIC);
    EXPECT_EQ(dd, nullptr);
    ASSERT_EQ(CreateDirectDraw7(&dd), DD_OK);
    EXPECT_EQ(dd->Initialize(nullptr), DD_OK);
    EXPECT_EQ(dd->Initialize(nullptr), DDERR_ALREADYINITIALIZED);
    dd->Release();
    testing::FailDirectDrawCreations(-1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(CreateDirectDraw7(&dd), DDERR_GENERIC);
}

TEST_F(DDrawTest, DisplayModesComeFromTheTableAndTestsCanRefuseThem) {
    ASSERT_NE(MakeWindow(WS_POPUP), nullptr);
    EXPECT_EQ(dd_->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
    ASSERT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
    EXPECT_TRUE(testing::PresenterFullScreen());
    testing::RefuseDisplayMode(800, 600, 32, testing::ModeRefusal::WithRefresh);
    testing::RefuseDisplayMode(1280, 1024, 16, testing::ModeRefusal::Always);
    struct Case {
        DWORD w, h, bits, refresh;
        HRESULT result;
    } cases[] = {
        {320, 240, 16, 0, DD_OK},
        {640, 480, 32, 60, DD_OK},
        {1920, 1200, 16, 0, DD_OK},
        {1024, 768, 32, 0, DD_OK},  // the desktop's
        {1024, 768, 32, 60, DD_OK},
        {641, 480, 16, 0, DDERR_INVALIDMODE},
        {640, 480, 24, 0, DDERR_INVALIDMODE},
        {640, 480, 8, 0, DDERR_INVALIDMODE},
        {640, 480, 16, 75, DDERR_INVALIDMODE},
        {800, 600, 32, 60, DDERR_INVALIDMODE},
        {800, 600, 32, 0, DD_OK},
        {800, 600, 16, 60, DD_OK},
        {1280, 1024, 16, 0, DDERR_INVALIDMODE},
        {1280, 1024, 16, 60, DDERR_INVALIDMODE},
        {1280, 1024, 32, 0, DD_OK},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dd_->SetDisplayMode(c.w, c.h, c.bits, c.refresh, 0), c.result)
            << c.w << "x" << c.h << "x" << c.bits << "@" << c.refresh;
    }
    // The last mode set is in force; a refused one changes nothing.
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(dd_->GetDisplayMode(&d), DD_OK);
    EXPECT_EQ(d.dwWidth, 1280u);
    EXPECT_EQ(d.dwHeight, 1024u);
    EXPECT_EQ(d.ddpfPixelFormat.rgbBitCount, 32u);
    ASSERT_EQ(dd_->RestoreDisplayMode(), DD_OK);
    ASSERT_EQ(dd_->GetDisplayMode(&d), DD_OK);
    EXPECT_EQ(d.dwWidth, 1024u);
    EXPECT_EQ(d.dwHeight, 768u);
    EXPECT_EQ(d.dwRefreshRate, 60u);
    ASSERT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_NORMAL), DD_OK);
    EXPECT_FALSE(testing::PresenterFullScreen());
}

TEST_F(DDrawTest, CooperativeLevelsAndCapabilities) {
    ASSERT_NE(MakeWindow(WS_POPUP), nullptr);
    EXPECT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_NORMAL | DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE),
              DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_NORMAL | DDSCL_MULTITHREADED), DD_OK);
    EXPECT_EQ(dd_->CooperativeFlags(), DDSCL_NORMAL | DDSCL_MULTITHREADED);
    // A flip chain needs the exclusive level.
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    d.dwBackBufferCount = 1;
    DirectDrawSurface* s = nullptr;
    EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DDERR_NOEXCLUSIVEMODE);
    // No overlays.
    DDCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(dd_->GetCaps(&caps, nullptr), DD_OK);
    EXPECT_EQ(caps.dwSize, 380u);
    EXPECT_EQ(caps.dwCaps & DDCAPS_OVERLAY, 0u);
    EXPECT_EQ(caps.dwMaxVisibleOverlays, 0u);
    d = DDSURFACEDESC2{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = d.dwHeight = 16;
    d.ddsCaps.dwCaps = DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY;
    d.ddpfPixelFormat = kPixelFormat565;
    EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DDERR_NOOVERLAYHW);
    // Surfaces are system memory unless a test says otherwise.
    DirectDrawSurface* plain = Plain(16, 16, kPixelFormat565);
    DDSCAPS2 got{};
    plain->GetCaps(&got);
    EXPECT_NE(got.dwCaps & DDSCAPS_SYSTEMMEMORY, 0u);
    testing::SetSurfacesInVideoMemory(true);
    DirectDrawSurface* video = Plain(16, 16, kPixelFormat565);
    video->GetCaps(&got);
    EXPECT_NE(got.dwCaps & DDSCAPS_VIDEOMEMORY, 0u);
    DWORD total = 0, free = 0;
    ASSERT_EQ(dd_->GetAvailableVidMem(&got, &total, &free), DD_OK);
    EXPECT_EQ(total - free, static_cast<DWORD>(video->Pitch() * 16));
    DDDEVICEIDENTIFIER2 id;
    ASSERT_EQ(dd_->GetDeviceIdentifier(&id, 0), DD_OK);
    EXPECT_GT(std::strlen(id.szDriver), 0u);
}

// --- What the presenter sees ---------------------------------------------------------------------

TEST_F(DDrawTest, WindowModePrimaryShowsTheClientArea) {
    ASSERT_NE(MakeWindow(WS_OVERLAPPEDWINDOW), nullptr);
    ASSERT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_NORMAL), DD_OK);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    DirectDrawSurface* primary = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&d, &primary, nullptr), DD_OK);
    surfaces_.push_back(primary);
    EXPECT_EQ(primary->Width(), 1024);  // the desktop
    EXPECT_EQ(primary->Height(), 768);
    RECT client{};
    GetClientRect(window_, &client);
    POINT origin{0, 0};
    ClientToScreen(window_, &origin);
    // One pixel at the client's top-left corner, one just outside it.
    const RECT corner{origin.x, origin.y, origin.x + 1, origin.y + 1};
    ASSERT_EQ(Fill(primary, &corner, 0x00FF00), DD_OK);
    const RECT outside{origin.x - 1, origin.y, origin.x, origin.y + 1};
    ASSERT_EQ(Fill(primary, &outside, 0xFFFFFF), DD_OK);
    testing::PresentedPicture shown = testing::LastPresentedPicture();
    ASSERT_EQ(shown.width, client.right);
    ASSERT_EQ(shown.height, client.bottom);
    EXPECT_EQ(shown.rgb[0], 0x00FF00u);
    EXPECT_EQ(shown.rgb[1], 0u);

    // A written lock presents at its unlock, a read-only one does not.
    const uint64_t count = testing::PresentCount();
    ASSERT_EQ(primary->Lock(nullptr, &d, DDLOCK_READONLY, nullptr), DD_OK);
    ASSERT_EQ(primary->Unlock(nullptr), DD_OK);
    EXPECT_EQ(testing::PresentCount(), count);
    ASSERT_EQ(primary->Lock(nullptr, &d, DDLOCK_WRITEONLY, nullptr), DD_OK);
    ASSERT_EQ(primary->Unlock(nullptr), DD_OK);
    EXPECT_EQ(testing::PresentCount(), count + 1);
    // Blits into other surfaces do not present.
    DirectDrawSurface* plain = Plain(4, 4, kPixelFormatXrgb32);
    ASSERT_EQ(Fill(plain, nullptr, 1), DD_OK);
    EXPECT_EQ(testing::PresentCount(), count + 1);
}

TEST_F(DDrawTest, PictureFitsTheOutputWithSharpScaling) {
    struct Case {
        int pw, ph, ow, oh;
        detail::FitRect want;
    } cases[] = {
        {640, 480, 1920, 1080, {320, 60, 1280, 960}},   // integer scale 2
        {320, 240, 1920, 1080, {320, 60, 1280, 960}},   // 4
        {800, 600, 1280, 1024, {240, 212, 800, 600}},   // 1, bars all round
        {1920, 1200, 1920, 1080, {96, 0, 1728, 1080}},  // smaller: aspect kept
        {1600, 1200, 1280, 1024, {0, 32, 1280, 960}},
        {640, 480, 640, 480, {0, 0, 640, 480}},
        {640, 480, 0, 0, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const detail::FitRect got = detail::FitPictureToOutput(c.pw, c.ph, c.ow, c.oh);
        EXPECT_EQ(got.x, c.want.x) << c.pw << " in " << c.ow;
        EXPECT_EQ(got.y, c.want.y) << c.pw << " in " << c.ow;
        EXPECT_EQ(got.width, c.want.width) << c.pw << " in " << c.ow;
        EXPECT_EQ(got.height, c.want.height) << c.pw << " in " << c.ow;
    }
}

// A picture of pw x ph with every pixel different enough to tell rows and columns apart.
std::vector<uint8_t> TestPicture(int pw, int ph, int bpp, uint32_t seed) {
    std::vector<uint8_t> picture(static_cast<size_t>(pw) * ph * bpp);
    for (size_t i = 0; i < picture.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        picture[i] = static_cast<uint8_t>(seed >> 24);
    }
    return picture;
}

// The output as the sharp scaling defines it: black bars, and in the fit each pixel the picture
// pixel under its centre, widened to 8 bits a channel.
std::vector<uint32_t> ExpectedOutput(const std::vector<uint8_t>& picture, int pw, int ph,
                                     const DDPixelFormat& format, int ow, int oh) {
    std::vector<uint32_t> out(static_cast<size_t>(ow) * oh, 0);
    const detail::FitRect fit = detail::FitPictureToOutput(pw, ph, ow, oh);
    const int bpp = static_cast<int>(format.rgbBitCount / 8);
    const ChannelMask r = DescribeChannel(format.redMask);
    const ChannelMask g = DescribeChannel(format.greenMask);
    const ChannelMask b = DescribeChannel(format.blueMask);
    for (int y = 0; y < fit.height; ++y) {
        for (int x = 0; x < fit.width; ++x) {
            const int sx = static_cast<int>((x + 0.5) * pw / fit.width);
            const int sy = static_cast<int>((y + 0.5) * ph / fit.height);
            const uint32_t v =
                ReadPixelBytes(picture.data() + (static_cast<size_t>(sy) * pw + sx) * bpp, bpp);
            out[static_cast<size_t>(fit.y + y) * ow + fit.x + x] =
                (ChannelTo8(v, r) << 16) | (ChannelTo8(v, g) << 8) | ChannelTo8(v, b);
        }
    }
    return out;
}

// Pixels of an output (pitch of ow + 3 pixels, as a surface's rows may be padded) without the
// padding, top byte dropped.
std::vector<uint32_t> OutputPixels(const std::vector<uint32_t>& out, int ow, int oh) {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < oh; ++y)
        for (int x = 0; x < ow; ++x)
            pixels.push_back(out[static_cast<size_t>(y) * (ow + 3) + x] & 0xFFFFFF);
    return pixels;
}

TEST_F(DDrawTest, ScaledOutputIsTheNearestPixelAtEachCentreOverBlackBars) {
    struct Case {
        int pw, ph;
        DDPixelFormat format;
        int ow, oh;
    } cases[] = {
        {64, 48, kPixelFormatXrgb32, 64, 48},      // a window: row copies
        {64, 48, kPixelFormatXrgb32, 192, 108},    // scale 2, bars all round
        {64, 48, kPixelFormat565, 192, 108},       // 16-bit widened
        {32, 24, kPixelFormat555, 100, 79},        // 3, uneven bars
        {192, 120, kPixelFormatXrgb32, 192, 108},  // smaller, aspect kept (1920x1200 on 1080)
        {192, 120, kPixelFormat565, 128, 102},
    };
    for (const Case& c : cases) {
        const int bpp = static_cast<int>(c.format.rgbBitCount / 8);
        const std::vector<uint8_t> picture = TestPicture(c.pw, c.ph, bpp, 7);
        std::vector<uint32_t> out(static_cast<size_t>(c.ow + 3) * c.oh, 0xABABABAB);
        detail::ScaledOutput state;
        const auto written = detail::UpdateScaledOutput(
            state, picture.data(), c.pw, c.ph, c.pw * bpp, c.format,
            reinterpret_cast<uint8_t*>(out.data()), c.ow, c.oh, (c.ow + 3) * 4, false);
        ASSERT_EQ(written.size(), 1u) << c.pw << " in " << c.ow;
        EXPECT_EQ(written[0].width, c.ow);
        EXPECT_EQ(written[0].height, c.oh);
        EXPECT_TRUE(OutputPixels(out, c.ow, c.oh) ==
                    ExpectedOutput(picture, c.pw, c.ph, c.format, c.ow, c.oh))
            << c.pw << "x" << c.ph << " " << bpp * 8 << " bits in " << c.ow << "x" << c.oh;
    }
}

TEST_F(DDrawTest, ScaledOutputSendsOnlyTheRowsThatChanged) {
    const int pw = 640, ph = 480, ow = 1920, oh = 1080;  // scale 2 at (320, 60)
    std::vector<uint8_t> picture = TestPicture(pw, ph, 4, 11);
    std::vector<uint32_t> out(static_cast<size_t>(ow + 3) * oh, 0);
    detail::ScaledOutput state;
    auto update = [&](bool whole) {
        return detail::UpdateScaledOutput(state, picture.data(), pw, ph, pw * 4, kPixelFormatXrgb32,
                                          reinterpret_cast<uint8_t*>(out.data()), ow, oh,
                                          (ow + 3) * 4, whole);
    };
    auto rects = [](const std::vector<detail::FitRect>& written) {
        std::vector<std::vector<int>> list;
        for (const auto& r : written) list.push_back({r.x, r.y, r.width, r.height});
        return list;
    };
    update(false);
    EXPECT_TRUE(update(false).empty());  // nothing changed: nothing sent
    // Rows 100, 101 and 300 change: two bands of the output, and the rest still right.
    for (int y : {100, 101, 300}) picture[static_cast<size_t>(y) * pw * 4 + 8] ^= 0xFF;
    EXPECT_EQ(rects(update(false)),
              (std::vector<std::vector<int>>{{320, 260, 1280, 4}, {320, 660, 1280, 2}}));
    EXPECT_TRUE(OutputPixels(out, ow, oh) ==
                ExpectedOutput(picture, pw, ph, kPixelFormatXrgb32, ow, oh));
    // Many scattered rows go as their bounding box.
    for (int y = 10; y < 400; y += 20) picture[static_cast<size_t>(y) * pw * 4] ^= 0xFF;
    EXPECT_EQ(rects(update(false)), (std::vector<std::vector<int>>{{320, 60, 1280, 960}}));
    // A whole update (the window was uncovered) sends everything, bars too.
    out.assign(out.size(), 0x12345678);
    EXPECT_EQ(rects(update(true)), (std::vector<std::vector<int>>{{0, 0, ow, oh}}));
    EXPECT_TRUE(OutputPixels(out, ow, oh) ==
                ExpectedOutput(picture, pw, ph, kPixelFormatXrgb32, ow, oh));
}

}  // namespace
}  // namespace plat
