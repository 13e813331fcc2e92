// The GDI stand-in: DIB copies to a window (the window-mode present), BitBlt between
// surfaces, and display-settings changes.
#include <gtest/gtest.h>

#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/gdi/gdi.h"
#include "platform/testing.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"

namespace plat {
namespace {

LRESULT PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

class GdiTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Reset();
        testing::UsePrivateInstanceLockKey();
        testing::SetVirtualDesktop(1024, 768, 32, 60);
        WNDCLASSA c{};
        c.lpfnWndProc = PlainProc;
        c.lpszClassName = "GdiTestClass";
        ASSERT_NE(RegisterClassA(&c), 0);
        // A popup window: its client area is its whole 320 x 240.
        window_ = CreateWindowExA(0, "GdiTestClass", "gdi", WS_POPUP, 0, 0, 320, 240, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        if (IsWindow(window_)) DestroyWindow(window_);
        UnregisterClassA("GdiTestClass", nullptr);
    }

    // An 8 x 6 32-bit bit-field DIB whose pixel (x, y) of the picture is 0x0000yx + 0x010101 * 16.
    struct Dib {
        BitmapInfo info{};
        std::vector<uint32_t> bits;
    };
    static uint32_t PixelAt(int x, int y) { return 0x101010u + static_cast<uint32_t>(y * 16 + x); }
    static Dib MakeDib(bool topDown) {
        Dib d;
        d.info.header.size = 40;
        d.info.header.width = 8;
        d.info.header.height = topDown ? -6 : 6;
        d.info.header.planes = 1;
        d.info.header.bitCount = 32;
        d.info.header.compression = BI_BITFIELDS;
        SetDibMasks(&d.info, 0xFF0000, 0xFF00, 0xFF);
        d.bits.resize(8 * 6);
        for (int y = 0; y < 6; ++y) {
            const int stored = topDown ? y : 5 - y;
            for (int x = 0; x < 8; ++x) d.bits[stored * 8 + x] = PixelAt(x, y);
        }
        return d;
    }

    HWND window_ = nullptr;
};

TEST_F(GdiTest, DibSubRectangleLandsWhereAsked) {
    for (bool topDown : {true, false}) {
        testing::Reset();
        testing::SetVirtualDesktop(1024, 768, 32, 60);
        const Dib dib = MakeDib(topDown);
        HDC dc = GetDC(window_);
        ASSERT_NE(dc, nullptr);
        // The 3 x 2 rectangle at (2, 1) of the picture to (100, 50) of the client area.
        EXPECT_EQ(SetDIBitsToDevice(dc, 100, 50, 3, 2, 2, 1, 0, 6, dib.bits.data(), &dib.info,
                                    DIB_RGB_COLORS),
                  2);
        ReleaseDC(window_, dc);
        EXPECT_EQ(testing::PresentCount(), 1u);
        const testing::PresentedPicture shown = testing::LastPresentedPicture();
        ASSERT_EQ(shown.width, 320);
        ASSERT_EQ(shown.height, 240);
        for (int y = 49; y <= 52; ++y) {
            for (int x = 99; x <= 103; ++x) {
                const bool inside = x >= 100 && x < 103 && y >= 50 && y < 52;
                const uint32_t want = inside ? PixelAt(x - 100 + 2, y - 50 + 1) : 0u;
                EXPECT_EQ(shown.rgb[y * 320 + x], want)
                    << (topDown ? "top-down " : "bottom-up ") << x << "," << y;
            }
        }
    }
}

TEST_F(GdiTest, StretchDibScalesMirrorsAndClips) {
    const Dib dib = MakeDib(true);
    HDC dc = GetDC(window_);
    // The whole picture doubled at the client's bottom-right corner: only what fits is drawn.
    EXPECT_EQ(StretchDIBits(dc, 310, 230, 16, 12, 0, 0, 8, 6, dib.bits.data(), &dib.info,
                            DIB_RGB_COLORS, SRCCOPY),
              6);
    testing::PresentedPicture shown = testing::LastPresentedPicture();
    EXPECT_EQ(shown.rgb[230 * 320 + 310], PixelAt(0, 0));
    EXPECT_EQ(shown.rgb[231 * 320 + 311], PixelAt(0, 0));
    EXPECT_EQ(shown.rgb[232 * 320 + 312], PixelAt(1, 1));
    EXPECT_EQ(shown.rgb[239 * 320 + 319], PixelAt(4, 4));
    // Mirrored left to right at 1:1.
    EXPECT_EQ(StretchDIBits(dc, 0, 0, -8, 6, 0, 0, 8, 6, dib.bits.data(), &dib.info, DIB_RGB_COLORS,
                            SRCCOPY),
              6);
    shown = testing::LastPresentedPicture();
    EXPECT_EQ(shown.rgb[0], PixelAt(7, 0));
    EXPECT_EQ(shown.rgb[7], PixelAt(0, 0));
    EXPECT_EQ(
        StretchDIBits(dc, 0, 0, 8, 6, 0, 0, 8, 6, dib.bits.data(), &dib.info, DIB_RGB_COLORS, 0),
        0);
    EXPECT_EQ(testing::PresentCount(), 2u);
}

TEST_F(GdiTest, SixteenBitDibReachesTheWindowAsFullColour) {
    BitmapInfo info{};
    info.header = BitmapInfoHeader{40, 2, -1, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0};
    SetDibMasks(&info, 0xF800, 0x7E0, 0x1F);
    const uint16_t px[2] = {0xF800, 0xFFFF};
    HDC dc = GetDC(window_);
    EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 2, 1, 0, 0, 0, 1, px, &info, DIB_RGB_COLORS), 1);
    const testing::PresentedPicture shown = testing::LastPresentedPicture();
    EXPECT_EQ(shown.rgb[0], 0xFF0000u);
    EXPECT_EQ(shown.rgb[1], 0xFFFFFFu);
}

TEST_F(GdiTest, BitBltConvertsBetweenSurfaceFormats) {
    DirectDraw* dd = nullptr;
    ASSERT_EQ(CreateDirectDraw7(&dd), DD_OK);
    ASSERT_EQ(dd->Initialize(nullptr), DD_OK);
    auto make = [&](const DDPixelFormat& f) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = 4;
        d.dwHeight = 4;
        d.ddpfPixelFormat = f;
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        DirectDrawSurface* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
        return s;
    };
    DirectDrawSurface* from = make(kPixelFormat565);
    DirectDrawSurface* to = make(kPixelFormatXrgb32);
    WritePixelBytes(from->Bits() + from->Pitch() + 2, 2, 0xF800);  // (1, 1) red
    HDC src = nullptr, dst = nullptr;
    ASSERT_EQ(from->GetDC(&src), DD_OK);
    ASSERT_EQ(to->GetDC(&dst), DD_OK);
    HDC second = nullptr;
    EXPECT_EQ(to->GetDC(&second), DDERR_DCALREADYCREATED);
    EXPECT_EQ(second, nullptr);
    // (1, 1) of the source goes to (2, 3) of the destination; the copy is clipped to it.
    EXPECT_EQ(BitBlt(dst, 1, 2, 4, 4, src, 0, 0, SRCCOPY), TRUE);
    EXPECT_TRUE(GdiFlush());
    EXPECT_EQ(from->ReleaseDC(src), DD_OK);
    EXPECT_EQ(to->ReleaseDC(dst), DD_OK);
    EXPECT_EQ(ReadPixelBytes(to->Bits() + 3 * to->Pitch() + 2 * 4, 4), 0xFF0000u);
    EXPECT_EQ(ReadPixelBytes(to->Bits() + 2 * to->Pitch() + 1 * 4, 4), 0u);
    // A released context no longer names the surface.
    EXPECT_EQ(BitBlt(dst, 0, 0, 1, 1, src, 0, 0, SRCCOPY), FALSE);
    from->Release();
    to->Release();
    dd->Release();
}

TEST_F(GdiTest, DisplaySettingsUseTheModeTable) {
    testing::RefuseDisplayMode(800, 600, 16, testing::ModeRefusal::WithRefresh);
    DEVMODEA m{};
    m.dmSize = sizeof m;
    m.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    m.dmPelsWidth = 800;
    m.dmPelsHeight = 600;
    m.dmBitsPerPel = 16;
    m.dmDisplayFrequency = 60;
    EXPECT_EQ(ChangeDisplaySettingsA(&m, 0), DISP_CHANGE_BADMODE);
    EXPECT_FALSE(testing::DisplaySettingsMode(nullptr, nullptr, nullptr, nullptr));
    m.dmFields &= ~DM_DISPLAYFREQUENCY;
    EXPECT_EQ(ChangeDisplaySettingsA(&m, 0), DISP_CHANGE_SUCCESSFUL);
    int w = 0, h = 0, bits = 0, refresh = -1;
    EXPECT_TRUE(testing::DisplaySettingsMode(&w, &h, &bits, &refresh));
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(refresh, 0);
    m.dmPelsWidth = 801;
    EXPECT_EQ(ChangeDisplaySettingsA(&m, 0), DISP_CHANGE_BADMODE);
    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    EXPECT_FALSE(testing::DisplaySettingsMode(nullptr, nullptr, nullptr, nullptr));
    // The desktop's depth as GDI reports it, which tests may set.
    EXPECT_EQ(GetDeviceCaps(GetDC(window_), BITSPIXEL), 32);
    testing::SetVirtualDesktop(1024, 768, 16, 60);
    EXPECT_EQ(GetDeviceCaps(GetDC(window_), BITSPIXEL), 16);
    EXPECT_EQ(GetDeviceCaps(GetDC(window_), VREFRESH), 60);
}

}  // namespace
}  // namespace plat
