// The screens: start in window and full screen, mode fallbacks, every present path and its
// count, vertical-blank pacing, screen colours and BMP screenshots, headless on a fake clock.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/base/memory.h"
#include "engine/font/font.h"
#include "engine/graphics/draw_front.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/image_data.h"
#include "engine/screen/memimg.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_internal.h"
#include "engine/screen/screen_state.h"
#include "platform/ddraw/ddraw.h"
#include "platform/testing.h"
#include "platform/win/time.h"
#include "platform/win/window.h"

namespace {

using tessra::GetScreenState;

plat::LRESULT PlainProc(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                        plat::LPARAM lParam) {
    return plat::DefWindowProcA(window, message, wParam, lParam);
}

class ScreensTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::testing::Reset();
        plat::testing::UsePrivateInstanceLockKey();
        plat::testing::SetVirtualDesktop(1280, 1024, 32, 60);
        plat::testing::SetFakeClock(5000);
        plat::testing::SetRetracePollAdvance(500);
        tessra::ResetScreenStateForTests();
        tessra::DrawState.drawTarget = tessra::kBackScreen;
        tessra::DrawState.DrawArea = {0, 0, 640, 480};
        plat::WNDCLASSA c{};
        c.lpfnWndProc = PlainProc;
        c.lpszClassName = "ScreensTestClass";
        ASSERT_NE(plat::RegisterClassA(&c), 0);
        window_ = plat::CreateWindowExA(0, "ScreensTestClass", "screens", plat::WS_POPUP, 0, 0, 640,
                                        480, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        tessra::GetGraphicsCoreState().window = window_;
        dir_ =
            std::filesystem::path(::testing::TempDir()) / ("screens_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        tessra::ShutdownDirectDraw();
        tessra::GetGraphicsCoreState().window = nullptr;
        if (plat::IsWindow(window_)) plat::DestroyWindow(window_);
        plat::UnregisterClassA("ScreensTestClass", nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    // Records the mode and the window flag, then starts the device.
    int Start(int windowed, int width, int height, int bits) {
        tessra::SwitchWindowModeScreen(windowed ? 0 : 1);
        EXPECT_EQ(tessra::ChangeResolution(width, height, bits, -1), 0);
        const int r = tessra::InitDirectDraw();
        // The graphics core starts with the front screen selected; draw on the back one.
        if (r == 0) {
            EXPECT_EQ(tessra::SetDrawTargetAndArea(tessra::kBackScreen), 0);
        }
        return r;
    }
    std::string Path(const char* name) const { return (dir_ / name).string(); }
    plat::HWND window_ = nullptr;
    std::filesystem::path dir_;
};

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

struct StartCase {
    const char* name;
    int windowed, bits, desktopBits;
    uint32_t memImgScreens, workingBits, displayBits, backInSurface;
};

class ScreensStartTest : public ScreensTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(ScreensStartTest, BuildsTheScreensForTheMode) {
    const StartCase c = GetParam();
    plat::testing::SetVirtualDesktop(1280, 1024, c.desktopBits, 60);
    ASSERT_EQ(Start(c.windowed, 640, 480, c.bits), 0);
    const tessra::ScreenStateRecord& s = GetScreenState();
    EXPECT_EQ(s.initialized, 1u);
    EXPECT_NE(tessra::GetDirectDrawObject(), nullptr);
    EXPECT_EQ(s.memImgScreens, c.memImgScreens);
    EXPECT_EQ(s.workingColorBits, c.workingBits);
    EXPECT_EQ(tessra::GetScreenBitDepth(), static_cast<int>(c.workingBits));
    EXPECT_EQ(s.displayColorBits, c.displayBits);
    EXPECT_EQ(s.backImageInSurface, c.backInSurface);
    EXPECT_NE(s.primary, nullptr);
    if (c.memImgScreens) {
        EXPECT_TRUE(tessra::IsMemImgValid(&s.frontImage));
        EXPECT_TRUE(tessra::IsMemImgValid(&s.backImage));
        EXPECT_TRUE(tessra::IsMemImgValid(&s.zImage));
        EXPECT_EQ(s.work1, nullptr);
        EXPECT_EQ(s.modeChanged, 0u);
    } else {
        EXPECT_NE(s.back, nullptr);
        EXPECT_NE(s.zBuffer, nullptr);
        EXPECT_NE(s.work1, nullptr);
        EXPECT_NE(s.work2, nullptr);
        EXPECT_EQ(s.modeChanged, 1u);
        EXPECT_TRUE(plat::testing::PresenterFullScreen());
    }
    int w = 0, h = 0;
    tessra::ReadScreenSize(&w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    // The measurement on the retrace clock found a frame of 16 or 17 ms.
    EXPECT_GE(s.frameTime, 16);
    EXPECT_LE(s.frameTime, 17);
    EXPECT_EQ(s.vblankThreshold, (s.frameTime * 2 - 4) / 3);
    // Graphs see the screens as they are.
    EXPECT_EQ(tessra::GetImageDataContext().workingColorBits, static_cast<int32_t>(c.workingBits));
    EXPECT_EQ(tessra::ShutdownDirectDraw(), 0);
    EXPECT_EQ(tessra::GetDirectDrawObject(), nullptr);
    EXPECT_EQ(s.initialized, 0u);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Modes, ScreensStartTest, ::testing::Values(
    StartCase{"Window32On32", 1, 32, 32, 1, 32, 32, 1},
    StartCase{"Window16On32", 1, 16, 32, 1, 16, 32, 0},
    StartCase{"Window16On16", 1, 16, 16, 1, 16, 16, 1},
    StartCase{"FullScreen16", 0, 16, 32, 0, 16, 16, 0},
    StartCase{"FullScreen32", 0, 32, 32, 0, 32, 32, 0}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(ScreensTest, BeforeAnyModeTheScreenReads640By480At16Bits) {
    int w = 0, h = 0;
    EXPECT_EQ(tessra::ReadScreenSize(&w, &h), 0);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(tessra::ReadScreenSize(nullptr, nullptr), 0);
    EXPECT_EQ(tessra::GetScreenBitDepth(), 16);
    EXPECT_EQ(tessra::PresentBackBuffer(), -1);
    EXPECT_EQ(tessra::WaitVerticalBlanks(1), -1);
}

TEST_F(ScreensTest, ChangeResolutionRefusesBadSizesAndDepthsWithoutTouchingTheScreen) {
    ASSERT_EQ(Start(0, 800, 600, 32), 0);
    const uint64_t before = GetScreenState().lastModeChange;
    for (auto [w, h, b] : {std::tuple{0, 480, 16}, {640, 0, 16}, {640, 480, 24}, {640, 480, 15}})
        EXPECT_EQ(tessra::ChangeResolution(w, h, b, -1), -1);
    EXPECT_EQ(GetScreenState().lastModeChange, before);
    EXPECT_EQ(GetScreenState().width, 800u);
    // The unchanged mode without force returns at once.
    EXPECT_EQ(tessra::ChangeScreenMode(-1, -1, -1, 0, -1), 0);
    EXPECT_EQ(GetScreenState().lastModeChange, before);
}

TEST_F(ScreensTest, RefusedModeFallsBackTo640By480At16) {
    ASSERT_EQ(Start(0, 1024, 768, 32), 0);
    // Neither the asked mode nor the old one can be set any more.
    plat::testing::RefuseDisplayMode(800, 600, 32, plat::testing::ModeRefusal::Always);
    plat::testing::RefuseDisplayMode(1024, 768, 32, plat::testing::ModeRefusal::Always);
    EXPECT_EQ(tessra::ChangeResolution(800, 600, 32, -1), -2);
    const tessra::ScreenStateRecord& s = GetScreenState();
    EXPECT_EQ(s.width, 640u);
    EXPECT_EQ(s.height, 480u);
    EXPECT_EQ(s.colorBits, 16u);
    EXPECT_EQ(s.refreshRate, 0u);
    EXPECT_EQ(static_cast<plat::DirectDraw*>(tessra::GetDirectDrawObject())->DisplayWidth(), 640);
    EXPECT_EQ(s.workingColorBits, 16u);
    EXPECT_NE(s.back, nullptr);
}

TEST_F(ScreensTest, RefusedOldModeKeepsTheOldModeWithResultZero) {
    ASSERT_EQ(Start(0, 1024, 768, 32), 0);
    plat::testing::RefuseDisplayMode(800, 600, 32, plat::testing::ModeRefusal::Always);
    EXPECT_EQ(tessra::ChangeScreenMode(800, 600, 32, 0, -1), 0);
    EXPECT_EQ(GetScreenState().width, 1024u);
    EXPECT_EQ(tessra::ChangeResolution(800, 600, 32, -1), -1);
}

TEST_F(ScreensTest, TheDefaultFontKeepsItsSizeAndThicknessOverAModeChange) {
    ASSERT_EQ(Start(0, 1024, 768, 32), 0);
    tessra::StoreDefaultFontSize(20);
    tessra::StoreDefaultFontThickness(3);
    ASSERT_EQ(tessra::IsFontHandleValid(tessra::QueryDefaultFontHandle()), 1);
    EXPECT_EQ(tessra::ChangeScreenMode(800, 600, 32, 0, -1), 0);
    char name[tessra::kFontNameBytes] = {};
    int size = 0, thickness = 0;
    ASSERT_EQ(tessra::GetFontHandleInfo(name, &size, &thickness, tessra::QueryDefaultFontHandle()),
              0);
    EXPECT_EQ(size, 20);
    EXPECT_EQ(thickness, 3);
    tessra::ResetFontDefaults();
}

TEST_F(ScreensTest, ModeRefusedWithItsRefreshRateIsSetWithout) {
    ASSERT_EQ(Start(0, 1024, 768, 32), 0);
    plat::testing::RefuseDisplayMode(800, 600, 32, plat::testing::ModeRefusal::WithRefresh);
    EXPECT_EQ(tessra::ChangeScreenMode(800, 600, 32, 0, 60), 0);
    EXPECT_EQ(GetScreenState().width, 800u);
    EXPECT_EQ(GetScreenState().refreshRate, 0u);
}

TEST_F(ScreensTest, SecondModeChangeWithinTwoSecondsSettlesUntil2060MsAfterTheFirst) {
    ASSERT_EQ(Start(0, 1024, 768, 32), 0);
    const uint32_t first = GetScreenState().lastModeChange;
    const uint32_t now = plat::timeGetTime();
    ASSERT_LT(now - first, 2000u);
    tessra::ChangeScreenMode(800, 600, 32, 0, -1);
    EXPECT_EQ(GetScreenState().lastModeChange, first + 2060);
    plat::testing::AdvanceFakeClock(5000);
    const uint32_t later = plat::timeGetTime();
    tessra::ChangeScreenMode(1024, 768, 32, 0, -1);
    EXPECT_EQ(GetScreenState().lastModeChange, later + 60);
}

TEST_F(ScreensTest, SwitchingWindowModeAtRunTimeKeepsTheSize) {
    ASSERT_EQ(Start(1, 640, 480, 32), 0);
    EXPECT_EQ(GetScreenState().memImgScreens, 1u);
    EXPECT_EQ(tessra::SwitchWindowModeScreen(1), 0);
    EXPECT_EQ(tessra::GetWindowModeFlag(), 0);
    EXPECT_EQ(GetScreenState().memImgScreens, 0u);
    EXPECT_EQ(GetScreenState().modeChanged, 1u);
    EXPECT_EQ(tessra::SwitchWindowModeScreen(0), 0);
    EXPECT_EQ(GetScreenState().memImgScreens, 1u);
    EXPECT_EQ(GetScreenState().modeChanged, 0u);
    EXPECT_EQ(GetScreenState().width, 640u);
}

// Every present path adds 1 to the frame counter exactly once.
TEST_F(ScreensTest, EveryPresentPathCountsOneFrame) {
    struct PathCase {
        const char* name;
        int windowed, bits, desktopBits, gdiMode, target, vsync;
        bool reachesDisplay;
    };
    const PathCase cases[] = {
        {"window, image in the back surface", 1, 32, 32, 0, -2, 0, true},
        {"window, image converted", 1, 16, 32, 0, -2, 0, true},
        {"window, vsync", 1, 32, 32, 0, -2, 1, true},
        {"full screen flip", 0, 16, 32, 0, -2, 0, true},
        {"full screen flip, vsync", 0, 32, 32, 0, -2, 1, true},
        {"full screen GDI surface", 0, 16, 32, 1, -2, 0, true},
        {"front screen, vsync", 0, 16, 32, 0, -4, 1, false},
        {"front screen in a window", 1, 16, 32, 0, -4, 0, false},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.name);
        tessra::ResetScreenStateForTests();
        plat::testing::SetVirtualDesktop(1280, 1024, c.desktopBits, 60);
        ASSERT_EQ(Start(c.windowed, 640, 480, c.bits), 0);
        GetScreenState().gdiSurfaceMode = static_cast<uint32_t>(c.gdiMode);
        tessra::StoreVsyncWaitFlag(c.vsync);
        tessra::DrawState.drawTarget = c.target;
        const uint64_t frames = tessra::GetFlipCount();
        const uint64_t shown = plat::testing::PresentCount();
        EXPECT_EQ(tessra::PresentBackBuffer(), 0);
        EXPECT_EQ(tessra::GetFlipCount(), frames + 1);
        EXPECT_EQ(plat::testing::PresentCount() > shown, c.reachesDisplay);
        tessra::DrawState.drawTarget = tessra::kBackScreen;
        tessra::ShutdownDirectDraw();
    }
}

TEST_F(ScreensTest, SoftwareModePresentsThroughGdiAndCounts) {
    GetScreenState().noDirectDraw = 1;
    ASSERT_EQ(Start(0, 640, 480, 16), 0);
    const tessra::ScreenStateRecord& s = GetScreenState();
    EXPECT_EQ(s.windowMode, 1u);  // always windowed without DirectDraw
    EXPECT_EQ(s.memImgScreens, 1u);
    EXPECT_EQ(s.measuredRefresh, 60);
    tessra::FillMemImgRect(&GetScreenState().backImage, nullptr, 0xF800);  // red
    const uint64_t shown = plat::testing::PresentCount();
    EXPECT_EQ(tessra::BlitBackBufferToWindow(), 0);
    EXPECT_EQ(tessra::GetFlipCount(), 1u);
    EXPECT_GT(plat::testing::PresentCount(), shown);
    const plat::testing::PresentedPicture p = plat::testing::LastPresentedPicture();
    ASSERT_GE(p.width, 640);
    EXPECT_EQ(p.rgb[0] & 0xF8F8F8, 0xF80000u);
}

TEST_F(ScreensTest, WindowPresentShowsWhatTheBackScreenHolds) {
    for (int bits : {16, 32}) {
        SCOPED_TRACE(bits);
        tessra::ResetScreenStateForTests();
        ASSERT_EQ(Start(1, 640, 480, bits), 0);
        tessra::MEMIMG& back = GetScreenState().backImage;
        tessra::FillMemImgRect(&back, nullptr, tessra::MakeScreenColor(0, 0, 255));
        const tessra::Rect corner = {10, 20, 11, 21};
        tessra::FillMemImgRect(&back, &corner, tessra::MakeScreenColor(255, 255, 0));
        ASSERT_EQ(tessra::PresentBackBuffer(), 0);
        const plat::testing::PresentedPicture p = plat::testing::LastPresentedPicture();
        ASSERT_EQ(p.width, 640);
        ASSERT_EQ(p.height, 480);
        EXPECT_EQ(p.rgb[0] & 0xF8F8F8, 0x0000F8u);
        EXPECT_EQ(p.rgb[20 * 640 + 10] & 0xF8F8F8, 0xF8F800u);
        // Twice: the back image still draws into the relocked surface.
        tessra::FillMemImgRect(&GetScreenState().backImage, nullptr, 0);
        ASSERT_EQ(tessra::PresentBackBuffer(), 0);
        EXPECT_EQ(plat::testing::LastPresentedPicture().rgb[20 * 640 + 10], 0u);
        EXPECT_EQ(GetScreenState().readBack, 1u);
        tessra::ShutdownDirectDraw();
    }
}

TEST_F(ScreensTest, FullScreenFlipShowsTheBackBuffer) {
    ASSERT_EQ(Start(0, 640, 480, 32), 0);
    plat::DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x00336699;
    GetScreenState().back->Blt(nullptr, nullptr, nullptr, plat::DDBLT_COLORFILL, &fx);
    ASSERT_EQ(tessra::PresentBackBuffer(), 0);
    const plat::testing::PresentedPicture p = plat::testing::LastPresentedPicture();
    ASSERT_EQ(p.width, 640);
    EXPECT_EQ(p.rgb[479 * 640 + 639], 0x336699u);
}

TEST_F(ScreensTest, VsyncPacedPresentLandsInTheNextVirtualBlank) {
    ASSERT_EQ(Start(1, 640, 480, 32), 0);
    tessra::StoreVsyncWaitFlag(1);
    constexpr uint64_t kPeriod = plat::kRetracePeriodMicroseconds;
    // Start early in a frame, well before its blank.
    const uint64_t now = plat::RetraceClockMicroseconds();
    plat::testing::AdvanceFakeClockMicroseconds(kPeriod - now % kPeriod + 1000);
    GetScreenState().lastVerticalBlank = plat::timeGetTime();
    const uint64_t frame = plat::RetraceClockMicroseconds() / kPeriod;
    ASSERT_EQ(tessra::PresentBackBuffer(), 0);
    const uint64_t after = plat::RetraceClockMicroseconds();
    EXPECT_EQ(after / kPeriod, frame);  // the same frame's blank, not a later one
    EXPECT_GE(after % kPeriod, kPeriod * 32 / 35);
}

TEST_F(ScreensTest, WaitVerticalBlanksCountsOnlyBlanksThatBeginAfterTheCall) {
    ASSERT_EQ(Start(1, 640, 480, 32), 0);
    constexpr uint64_t kPeriod = plat::kRetracePeriodMicroseconds;
    const uint64_t blankStart = kPeriod * 32 / 35;
    // Inside a blank: a count of 0 returns at once; a negative count too.
    uint64_t now = plat::RetraceClockMicroseconds();
    plat::testing::AdvanceFakeClockMicroseconds(kPeriod - now % kPeriod + blankStart + 100);
    now = plat::RetraceClockMicroseconds();
    EXPECT_EQ(tessra::WaitVerticalBlanks(0), 0);
    EXPECT_EQ(tessra::WaitVerticalBlanks(-3), 0);
    EXPECT_LT(plat::RetraceClockMicroseconds() - now, 1200u);
    // From inside a blank, 2 blanks end at the start of the second blank after this one.
    const uint64_t frame = plat::RetraceClockMicroseconds() / kPeriod;
    EXPECT_EQ(tessra::WaitVerticalBlanks(2), 0);
    const uint64_t after = plat::RetraceClockMicroseconds();
    EXPECT_EQ(after / kPeriod, frame + 2);
    EXPECT_GE(after % kPeriod, blankStart);
}

TEST_F(ScreensTest, ScreenColorsPackAndSplit) {
    ASSERT_EQ(Start(0, 640, 480, 32), 0);
    EXPECT_EQ(tessra::MakeScreenColor(0x12, 0x34, 0x56), 0xFF123456u);
    int r = 0, g = 0, b = 0;
    EXPECT_EQ(tessra::SplitScreenColor(0x00FF8000, &r, &g, &b), 0);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 128);
    EXPECT_EQ(b, 0);
    tessra::ShutdownDirectDraw();
    tessra::ResetScreenStateForTests();
    ASSERT_EQ(Start(1, 640, 480, 16), 0);
    EXPECT_EQ(tessra::MakeScreenColor(255, 255, 255), 0xFFFFu);
    EXPECT_EQ(tessra::MakeScreenColor(255, 0, 0), 0xF800u);
    EXPECT_EQ(tessra::SplitScreenColor(0x07E0, &r, &g, &b), 0);
    EXPECT_EQ(g, 255);
    EXPECT_EQ(r, 0);
}

TEST_F(ScreensTest, EightBitColorsTakeTheFirstNearestPaletteEntry) {
    tessra::ScreenStateRecord& s = GetScreenState();
    s.displayColorBits = 8;
    for (auto& e : s.paletteEntries) e = {200, 200, 200, 0};
    s.paletteEntries[7] = {10, 20, 30, 0};
    s.paletteEntries[9] = {10, 20, 30, 0};
    EXPECT_EQ(tessra::MakeScreenColor(11, 20, 30), 7u);
    int r = 0, g = 0, b = 0;
    EXPECT_EQ(tessra::SplitScreenColor(9, &r, &g, &b), 0);
    EXPECT_EQ(r, 10);
    EXPECT_EQ(tessra::SplitScreenColor(256, &r, &g, &b), -1);
}

TEST(RefreshRateTest, DerivedFromTheMeanFrameAndUnknownWhenTheClockStood) {
    EXPECT_EQ(tessra::DeriveRefreshRate(16667u * 20, 20), 60);
    EXPECT_EQ(tessra::DeriveRefreshRate(13333u * 4, 4), 75);
    EXPECT_EQ(tessra::DeriveRefreshRate(0, 20), -1);
    EXPECT_EQ(tessra::DeriveRefreshRate(19, 20), -1);
    EXPECT_EQ(tessra::DeriveRefreshRate(100, 0), -1);
}

TEST_F(ScreensTest, FailedScreensAfterARunTimeModeChangeFallBackToASmallWindow) {
    ASSERT_EQ(Start(0, 800, 600, 32), 0);
    tessra::g_screenFailZBufferCreation = 1;
    EXPECT_EQ(tessra::ChangeResolution(1024, 768, 32, -1), -2);
    const tessra::ScreenStateRecord& s = GetScreenState();
    EXPECT_EQ(s.windowMode, 1u);
    EXPECT_EQ(s.width, 640u);
    EXPECT_EQ(s.height, 480u);
    EXPECT_EQ(s.workingColorBits, 16u);
    EXPECT_EQ(s.memImgScreens, 1u);
    EXPECT_EQ(tessra::GetGraphicsCoreState().started, 1);
    EXPECT_EQ(tessra::PresentBackBuffer(), 0);
}

// --- Screenshots ---------------------------------------------------------------------------

TEST_F(ScreensTest, ScreenshotOfAFilledBackScreenMatchesItsBytes) {
    ASSERT_EQ(Start(1, 640, 480, 32), 0);
    tessra::MEMIMG& back = GetScreenState().backImage;
    tessra::FillMemImgRect(&back, nullptr, 0x00102030);
    const tessra::Rect bottomLeft = {0, 479, 1, 480};
    tessra::FillMemImgRect(&back, &bottomLeft, 0x00AABBCC);
    const std::string path = Path("shot.bmp");
    ASSERT_EQ(tessra::WriteScreenRectToBmp(0, 0, 640, 480, path.c_str()), 0);
    const std::vector<uint8_t> f = ReadFile(path);
    ASSERT_EQ(f.size(), 921654u);
    // clang-format off
    const struct { size_t at; uint32_t value; int bytes; } fields[] = {
        {0, 'B' | ('M' << 8), 2}, {2, 921654, 4}, {6, 0, 4}, {10, 54, 4}, {14, 40, 4},
        {18, 640, 4}, {22, 480, 4}, {26, 1, 2}, {28, 24, 2}, {30, 0, 4}, {34, 0, 4},
        {38, 0, 4}, {42, 0, 4}, {46, 0, 4}, {50, 0, 4},
    };
    // clang-format on
    for (const auto& field : fields) {
        const uint32_t v =
            field.bytes == 2 ? (f[field.at] | (f[field.at + 1] << 8)) : U32(f, field.at);
        EXPECT_EQ(v, field.value) << "offset " << field.at;
    }
    // The first stored row is the screen's last: its first pixel is the marked one.
    EXPECT_EQ(f[54], 0xCC);
    EXPECT_EQ(f[55], 0xBB);
    EXPECT_EQ(f[56], 0xAA);
    EXPECT_EQ(f[57], 0x30);
    EXPECT_EQ(f[58], 0x20);
    EXPECT_EQ(f[59], 0x10);
}

TEST_F(ScreensTest, ScreenshotRectanglesClipAndReplaceTheFile) {
    ASSERT_EQ(Start(1, 640, 480, 16), 0);
    tessra::MEMIMG& back = GetScreenState().backImage;
    tessra::FillMemImgRect(&back, nullptr, 0x0000);
    const tessra::Rect spot = {5, 7, 6, 8};
    tessra::FillMemImgRect(&back, &spot, 0xFFFF);
    const std::string path = Path("spot.bmp");
    { std::ofstream(path) << "an older, longer file that is replaced"; }
    // One pixel wide: 3 pixel bytes and 1 zero byte per row; 565 white keeps its low bits 0.
    ASSERT_EQ(tessra::WriteScreenRectToBmp(5, 7, 6, 9, path.c_str()), 0);
    const std::vector<uint8_t> f = ReadFile(path);
    ASSERT_EQ(f.size(), 54u + 2 * 4);
    EXPECT_EQ(U32(f, 18), 1u);
    EXPECT_EQ(U32(f, 22), 2u);
    const std::vector<uint8_t> rows(f.begin() + 54, f.end());
    EXPECT_EQ(rows, (std::vector<uint8_t>{0, 0, 0, 0, 0xF8, 0xFC, 0xF8, 0}));
    // Outside the draw area, or empty after clipping: -1 and no file.
    const std::string none = Path("none.bmp");
    EXPECT_EQ(tessra::WriteScreenRectToBmp(700, 10, 800, 20, none.c_str()), -1);
    EXPECT_EQ(tessra::WriteScreenRectToBmp(10, 10, 10, 20, none.c_str()), -1);
    EXPECT_FALSE(std::filesystem::exists(none));
}

TEST_F(ScreensTest, ScreenshotOfASurfaceReadsTheRectangle) {
    for (bool video : {false, true}) {
        SCOPED_TRACE(video);
        tessra::ResetScreenStateForTests();
        plat::testing::SetSurfacesInVideoMemory(video);
        ASSERT_EQ(Start(0, 640, 480, 16), 0);
        plat::DirectDrawSurface* back = GetScreenState().back;
        plat::DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = 0x001F;  // blue
        back->Blt(nullptr, nullptr, nullptr, plat::DDBLT_COLORFILL, &fx);
        fx.dwFillColor = 0xF800;  // red
        const plat::RECT spot = {100, 50, 101, 51};
        back->Blt(&spot, nullptr, nullptr, plat::DDBLT_COLORFILL, &fx);
        const std::string path = Path("surface.bmp");
        ASSERT_EQ(tessra::WriteScreenRectToBmp(100, 50, 102, 51, path.c_str()), 0);
        const std::vector<uint8_t> f = ReadFile(path);
        ASSERT_EQ(f.size(), 54u + 8);
        EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54, f.end()),
                  (std::vector<uint8_t>{0, 0, 0xF8, 0xF8, 0, 0, 0, 0}));
        tessra::ShutdownDirectDraw();
    }
}

// A 16-bit graph as target while the screens work at 32 bits: the file follows the source's own
// format.
TEST_F(ScreensTest, ScreenshotOfASixteenBitTargetOnAThirtyTwoBitScreen) {
    ASSERT_EQ(Start(1, 640, 480, 32), 0);
    tessra::MEMIMG graph{};
    ASSERT_EQ(tessra::CreateScreenMemImg(&graph, 4, 2, tessra::kMemImgKind565, 16), 0);
    tessra::FillMemImgRect(&graph, nullptr, 0xFFFF);
    GetScreenState().targetImage = &graph;
    tessra::DrawState.DrawArea = {0, 0, 4, 2};
    const std::string path = Path("graph.bmp");
    ASSERT_EQ(tessra::WriteScreenRectToBmp(0, 0, 4, 2, path.c_str()), 0);
    const std::vector<uint8_t> f = ReadFile(path);
    ASSERT_EQ(f.size(), 54u + 2 * 12);
    for (size_t i = 54; i < f.size(); i += 3) {
        EXPECT_EQ(f[i], 0xF8);
        EXPECT_EQ(f[i + 1], 0xFC);
        EXPECT_EQ(f[i + 2], 0xF8);
    }
    GetScreenState().targetImage = nullptr;
    tessra::ReleaseMemImg(&graph);
}

TEST_F(ScreensTest, ScreenshotFailuresReturnMinusOneAndLeaveNoFile) {
    ASSERT_EQ(Start(1, 640, 480, 32), 0);
    const std::string path = Path("failed.bmp");
    for (int nth : {1, 2}) {
        tessra::g_allocFailCountdown = nth;
        EXPECT_EQ(tessra::WriteScreenRectToBmp(0, 0, 64, 64, path.c_str()), -1);
        tessra::g_allocFailCountdown = 0;
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    const std::string noFolder = Path("missing/folder.bmp");
    EXPECT_EQ(tessra::WriteScreenRectToBmp(0, 0, 64, 64, noFolder.c_str()), -1);
    EXPECT_EQ(tessra::CheckAllocations(), 0);
}

TEST_F(ScreensTest, ScreenshotThatCannotBeWrittenWholeIsRemoved) {
    ASSERT_EQ(Start(1, 640, 480, 32), 0);
    const std::string path = Path("short.bmp");
    // Files may not grow past 4 KB: the pixel rows cannot be written.
    auto writeLimited = [&path] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = 4096;
        setrlimit(RLIMIT_FSIZE, &limit);
        const int r = tessra::WriteScreenRectToBmp(0, 0, 640, 480, path.c_str());
        std::exit(r == -1 && !std::filesystem::exists(path) ? 0 : 1);
    };
    EXPECT_EXIT(writeLimited(), ::testing::ExitedWithCode(0), "");
}

}  // namespace

namespace {

// Drawing on the front screen in a window: the drawn rectangle is written to the display, and
// after a present the front image is read back from the display before the next draw.
TEST_F(ScreensTest, FrontScreenWritesBackItsRectangleAndReadsBackAfterAPresent) {
    for (int bits : {16, 32}) {
        SCOPED_TRACE(bits);
        tessra::ResetScreenStateForTests();
        ASSERT_EQ(Start(1, 640, 480, bits), 0);
        tessra::ScreenStateRecord& s = GetScreenState();
        const uint32_t green = tessra::MakeScreenColor(0, 255, 0);
        const tessra::Rect spot = {30, 40, 34, 42};
        tessra::FillMemImgRect(&s.frontImage, &spot, green);
        const uint64_t shown = plat::testing::PresentCount();
        EXPECT_EQ(tessra::DrawSoftScreenToWindow(30, 40, 34, 42), 0);
        EXPECT_GT(plat::testing::PresentCount(), shown);
        plat::testing::PresentedPicture p = plat::testing::LastPresentedPicture();
        ASSERT_EQ(p.width, 640);
        EXPECT_EQ(p.rgb[40 * 640 + 30] & 0xF8F8F8, 0x00F800u);
        EXPECT_EQ(p.rgb[41 * 640 + 33] & 0xF8F8F8, 0x00F800u);
        EXPECT_EQ(p.rgb[42 * 640 + 30], 0u);
        EXPECT_EQ(p.rgb[40 * 640 + 34], 0u);
        // Clipped to the screen; an empty rectangle does nothing.
        EXPECT_EQ(tessra::DrawSoftScreenToWindow(-10, -10, 0, 5), 0);
        EXPECT_EQ(tessra::DrawSoftScreenToWindow(630, 470, 700, 500), 0);

        // A present puts the back screen on the display; the front image follows on demand.
        tessra::FillMemImgRect(&s.backImage, nullptr, tessra::MakeScreenColor(255, 0, 0));
        ASSERT_EQ(tessra::PresentBackBuffer(), 0);
        EXPECT_EQ(s.readBack, 1u);
        const uint32_t before = *reinterpret_cast<const uint16_t*>(s.frontImage.pixels);
        EXPECT_EQ(before, 0u);
        EXPECT_EQ(tessra::ReadScreenPixels(), 0);
        EXPECT_EQ(s.readBack, 0u);
        const uint8_t* row = s.frontImage.pixels + 100 * s.frontImage.pitch;
        const uint32_t pixel = bits == 16 ? *reinterpret_cast<const uint16_t*>(row + 2 * 7)
                                          : *reinterpret_cast<const uint32_t*>(row + 4 * 7);
        EXPECT_EQ(pixel & (bits == 16 ? 0xFFFFu : 0xFFFFFFu), bits == 16 ? 0xF800u : 0xFF0000u);
        tessra::ShutdownDirectDraw();
    }
}

}  // namespace
