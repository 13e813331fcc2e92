// The main window and the pump around it: the inactive pause, the window procedure's rows, the
// window-mode switch, the mouse and the window scale; and the millisecond wait across the
// clock's wrap.
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "engine/base/sjis.h"
#include "engine/core/engine_core_support.h"
#include "engine/core/engine_lock.h"
#include "engine/core/engine_system.h"
#include "engine/core/window.h"
#include "engine/font/font.h"
#include "engine/graphics/color_format.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/movie.h"
#include "engine/pending/pending_calls.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"
#include "platform/testing.h"
#include "platform/win/messages.h"
#include "platform/win/time.h"
#include "platform/win/window.h"
#include "tests/platform/movie_files.h"

using namespace tessra_test;
using namespace tessra::sjis_literals;
using tessra::GetSystemStateBlock;

namespace {

class WindowTest : public EngineFixture {
protected:
    void StartWindowed(double scale = 1.0) {
        ChangeWindowMode(1);
        SetWindowScale(scale);
        ASSERT_EQ(StartEngine(), 0);
    }
    void TearDown() override {
        if (GetEngineWindow() != nullptr) ShutdownEngine();
        EngineFixture::TearDown();
    }
};

// Gives focus back from another thread after `delayMs`, noting when it did.
std::thread RefocusLater(std::atomic<bool>& refocused, int delayMs) {
    return std::thread([&refocused, delayMs] {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        refocused = true;
        plat::testing::InjectFocusGain();
    });
}

TEST_F(WindowTest, InactivePauseHoldsUntilReactivated) {
    StartWindowed();
    const int keyboardTaken =
        plat::testing::InputAcquisitions(plat::testing::InputDeviceKind::kKeyboard);
    plat::testing::LoseAllSurfaces();
    plat::testing::InjectFocusLoss();
    std::atomic<bool> refocused{false};
    std::thread t = RefocusLater(refocused, 150);
    EXPECT_EQ(ProcessMessage(), 0);
    EXPECT_TRUE(refocused.load());  // it did not return while inactive
    t.join();
    EXPECT_EQ(GetSystemStateBlock()->run.active.load(), 1);
    // Coming back restored surfaces and took the input devices again (the movies:
    // MoviesPauseWhileTheWindowIsInactive; a window has no Direct3D textures to restore, their
    // restore is tested with the back-end).
    EXPECT_EQ(tessra::GetScreenState().back->IsLost(), plat::DD_OK);
    EXPECT_EQ(tessra::GetScreenState().primary->IsLost(), plat::DD_OK);
    EXPECT_GT(plat::testing::InputAcquisitions(plat::testing::InputDeviceKind::kKeyboard),
              keyboardTaken);
}

// Gives focus back only if `done` is not set within a generous bound: it rescues a pump that
// hangs, without betting on how fast a loaded machine pumps.
std::thread RescueUnlessDone(std::atomic<bool>& refocused, std::mutex& m,
                             std::condition_variable& cv, const bool& done) {
    return std::thread([&refocused, &m, &cv, &done] {
        std::unique_lock<std::mutex> lock(m);
        if (cv.wait_for(lock, std::chrono::seconds(30), [&done] { return done; })) return;
        refocused = true;
        plat::testing::InjectFocusGain();
    });
}

TEST_F(WindowTest, RunWhenInactiveDoesNotPause) {
    StartWindowed();
    SetRunWhenInactive(1);
    plat::testing::InjectFocusLoss();
    std::atomic<bool> refocused{false};
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread t = RescueUnlessDone(refocused, m, cv, done);
    EXPECT_EQ(ProcessMessage(), 0);
    EXPECT_EQ(ProcessMessage(), 0);
    {
        std::lock_guard<std::mutex> lock(m);
        done = true;
    }
    cv.notify_all();
    t.join();
    EXPECT_FALSE(refocused.load());
}

TEST_F(WindowTest, MoviesPauseWhileTheWindowIsInactive) {
    StartWindowed();
    SetRunWhenInactive(1);
    const std::string path = (dir_ / "clip.mkv").string();
    ASSERT_TRUE(movie_files::WriteMovie(path, movie_files::MovieSpec{}));
    const int graph = LoadGraphFile(path.c_str());
    ASSERT_GT(graph, 0);
    const auto playing = [graph] {
        return tessra::GetMovieRecord(tessra::GetGraphRecord(graph)->movie)->playing;
    };
    tessra::PlayGraphMovie(graph);
    plat::testing::InjectFocusLoss();
    EXPECT_EQ(ProcessMessage(), 0);
    EXPECT_EQ(playing(), 0);
    plat::testing::InjectFocusGain();
    EXPECT_EQ(ProcessMessage(), 0);
    EXPECT_EQ(playing(), 1);
}

TEST_F(WindowTest, ScreenSaverCommandIsAnswered) {
    StartWindowed();
    EXPECT_EQ(plat::SendMessageA(GetEngineWindow(), plat::WM_SYSCOMMAND, plat::SC_SCREENSAVE, 0),
              1);
}

TEST_F(WindowTest, AltEnterAndMaximiseDoNothing) {
    StartWindowed();
    plat::SendMessageA(GetEngineWindow(), plat::WM_SYSCHAR, '\r', 0);
    plat::SendMessageA(GetEngineWindow(), plat::WM_SIZE, plat::SIZE_MAXIMIZED, 0);
    EXPECT_EQ(GetSystemStateBlock()->run.switchRequest, 0);
}

// The window's outer rectangle and what its frame adds around the client area.
struct WindowFrame {
    plat::RECT outer;
    plat::RECT client;
    int frameW, frameH;
};
WindowFrame MeasureFrame(plat::HWND w) {
    WindowFrame f{};
    plat::GetWindowRect(w, &f.outer);
    plat::GetClientRect(w, &f.client);
    f.frameW = (f.outer.right - f.outer.left) - f.client.right;
    f.frameH = (f.outer.bottom - f.outer.top) - f.client.bottom;
    return f;
}

TEST_F(WindowTest, CornerDragKeepsAspectAndScaleFollowsWidth) {
    StartWindowed();
    plat::HWND w = GetEngineWindow();
    const auto [outer, client, frameW, frameH] = MeasureFrame(w);
    // Drag the bottom-right corner: wider by 640, taller by only 120.
    plat::RECT r{outer.left, outer.top, outer.right + 640, outer.bottom + 120};
    plat::SendMessageA(w, plat::WM_SIZING, 8, reinterpret_cast<plat::LPARAM>(&r));
    const int cw = r.right - r.left - frameW;
    const int ch = r.bottom - r.top - frameH;
    EXPECT_EQ(cw * 3, ch * 4);  // 640 x 480's aspect
    EXPECT_EQ(cw, 640 + 640);   // the height, which grew less, followed the width
    EXPECT_DOUBLE_EQ(GetSystemStateBlock()->settings.windowScale, cw / 640.0);
}

// Every edge and corner: the client keeps 640 x 480's aspect, the sides opposite the dragged
// ones stay put, and the window scale follows the new client width.
TEST_F(WindowTest, EveryDraggedEdgeKeepsAspectAndSetsScale) {
    struct Drag {
        plat::WPARAM edge;
        int dl, dt, dr, db;  // how far the user moved each side
        int cw, ch;          // the client size that results
    };
    // clang-format off
    const Drag drags[] = {
        {1, -160, 0, 0, 0,    800, 600},   // left: the height follows
        {2, 0, 0, 160, 0,     800, 600},   // right: the height follows
        {3, 0, -120, 0, 0,    800, 600},   // top: the width follows
        {6, 0, 0, 0, 120,     800, 600},   // bottom: the width follows
        {4, -640, -120, 0, 0, 1280, 960},  // top-left: the height grew less, so it follows
        {5, 0, -240, 160, 0,  960, 720},   // top-right: the width grew less, so it follows
        {7, -160, 0, 0, 240,  960, 720},   // bottom-left: the width follows
        {8, 0, 0, 640, 120,   1280, 960},  // bottom-right: the height follows
    };
    // clang-format on
    StartWindowed();
    plat::HWND w = GetEngineWindow();
    const auto [outer, client, frameW, frameH] = MeasureFrame(w);
    ASSERT_EQ(client.right, 640);
    ASSERT_EQ(client.bottom, 480);
    for (const Drag& d : drags) {
        SCOPED_TRACE(d.edge);
        GetSystemStateBlock()->settings.windowScale = 1.0;
        plat::RECT r{outer.left + d.dl, outer.top + d.dt, outer.right + d.dr, outer.bottom + d.db};
        plat::SendMessageA(w, plat::WM_SIZING, d.edge, reinterpret_cast<plat::LPARAM>(&r));
        EXPECT_EQ(r.right - r.left - frameW, d.cw);
        EXPECT_EQ(r.bottom - r.top - frameH, d.ch);
        const bool leftSide = d.edge == 1 || d.edge == 4 || d.edge == 7;
        const bool topSide = d.edge == 3 || d.edge == 4 || d.edge == 5;
        // The side opposite the one dragged is the anchor.
        if (leftSide)
            EXPECT_EQ(r.right, outer.right);
        else
            EXPECT_EQ(r.left, outer.left);
        if (topSide)
            EXPECT_EQ(r.bottom, outer.bottom);
        else
            EXPECT_EQ(r.top, outer.top);
        EXPECT_DOUBLE_EQ(GetSystemStateBlock()->settings.windowScale, d.cw / 640.0);
    }
}

TEST_F(WindowTest, MousePositionScalesAndClamps) {
    plat::testing::SetVirtualDesktop(3000, 2000, 32);
    StartWindowed(2.0);
    const tessra::EngineRuntimeState& run = GetSystemStateBlock()->run;
    plat::SetCursorPos(run.clientLeft + 200, run.clientTop + 101);
    int x = -1, y = -1;
    GetMousePosition(&x, &y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 50);

    SetMousePosition(-5, 10000);
    plat::POINT p{};
    plat::GetCursorPos(&p);
    EXPECT_EQ(p.x, run.clientLeft);
    EXPECT_EQ(p.y, run.clientTop + 480 * 2);
    GetMousePosition(&x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 480);  // a set position reads back as given
}

// A window taller than the desktop would put its client area above the top: the whole window
// moves so that the client area starts at the desktop's origin.
TEST_F(WindowTest, ClientAreaOffTheDesktopMovesToItsOrigin) {
    plat::testing::SetVirtualDesktop(2000, 600, 32);
    StartWindowed(2.0);
    const tessra::EngineRuntimeState& run = GetSystemStateBlock()->run;
    EXPECT_EQ(run.clientLeft, 0);
    EXPECT_EQ(run.clientTop, 0);
    EXPECT_EQ(run.clientRight, 1280);
    EXPECT_EQ(run.clientBottom, 960);
    plat::POINT origin{0, 0};
    plat::ClientToScreen(GetEngineWindow(), &origin);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
}

TEST_F(WindowTest, WindowScaleReadsOneWhenNotPositiveOrFullScreen) {
    ChangeWindowMode(1);
    SetWindowScale(0.0);
    EXPECT_DOUBLE_EQ(tessra::GetWindowScale(), 1.0);
    SetWindowScale(-3.0);
    EXPECT_DOUBLE_EQ(tessra::GetWindowScale(), 1.0);
    SetWindowScale(2.5);
    EXPECT_DOUBLE_EQ(tessra::GetWindowScale(), 2.5);
    ChangeWindowMode(0);
    EXPECT_DOUBLE_EQ(tessra::GetWindowScale(), 1.0);
}

TEST_F(WindowTest, ModeSwitchWithoutDisplayChangeIsBounded) {
    StartWindowed();
    EXPECT_EQ(ChangeWindowMode(0), 0);
    EXPECT_EQ(tessra::IsWindowedMode(), 0);
    EXPECT_EQ(static_cast<uint32_t>(plat::GetWindowLongA(GetEngineWindow(), plat::GWL_STYLE)) &
                  ~plat::WS_VISIBLE,
              plat::WS_POPUP);
    // The screens followed: full screen at the mode asked.
    EXPECT_EQ(tessra::GetWindowModeFlag(), 0);
    EXPECT_EQ(tessra::IsDisplayModeChanged(), 1);
    // The wait ended by its bound, once: the log says so rather than a wall-clock figure.
    const std::string log = ReadLog();
    const std::string gaveUp = "画面モード変更の通知が来ないので続行します"_sjis;
    const size_t at = log.find(gaveUp);
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos) {
        EXPECT_EQ(log.find(gaveUp, at + 1), std::string::npos);
    }
    EXPECT_EQ(GetSystemStateBlock()->run.modeChange, 0);
}

TEST_F(WindowTest, DisplayChangeTheEngineCannotFollowClosesTheWindow) {
    StartWindowed();
    plat::testing::InjectDisplayChange(1280, 1024, 24);
    ASSERT_TRUE(WaitFor([] { return ProcessMessage() == -1; }));
    EXPECT_NE(ReadLog().find("またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか"
                             "終了します\r\n"_sjis),
              std::string::npos);
}

TEST_F(WindowTest, TitleSetAfterStartReachesTheWindow) {
    StartWindowed();
    SetWindowTitle("after");
    char title[32] = {};
    plat::GetWindowTextA(GetEngineWindow(), title, sizeof title);
    EXPECT_STREQ(title, "after");
    SetWindowTitle(nullptr);  // an absent title is an empty one
    plat::GetWindowTextA(GetEngineWindow(), title, sizeof title);
    EXPECT_STREQ(title, "");
}

TEST_F(WindowTest, DefaultTitleIsTessra) {
    StartWindowed();
    char title[32] = {};
    plat::GetWindowTextA(GetEngineWindow(), title, sizeof title);
    EXPECT_STREQ(title, "Tessra");
}

// Wait and clock: no window, so the pump returns at once and the fake clock moves only by
// the wait's own 1 ms sleeps.
TEST(WaitMillisecondsTest, WaitsAcrossTheClockWrap) {
    plat::testing::Reset();
    plat::testing::SetFakeClock(0xFFFFFFF0u);
    const uint32_t start = plat::timeGetTime();
    EXPECT_EQ(::WaitMilliseconds(40), 0);
    const uint32_t waited = plat::timeGetTime() - start;
    EXPECT_GE(waited, 40u);
    EXPECT_LT(waited, 45u);
}

TEST(WaitMillisecondsTest, ZeroAndNegativeReturnAtOnce) {
    plat::testing::Reset();
    plat::testing::SetFakeClock(1000);
    EXPECT_EQ(::WaitMilliseconds(0), 0);
    EXPECT_EQ(::WaitMilliseconds(-5), 0);
    EXPECT_EQ(plat::timeGetTime(), 1000u);
}

TEST(MicrosecondCountTest, FollowsTheMillisecondClockWithoutACounter) {
    plat::testing::Reset();
    plat::testing::SetFakeClock(1234);
    GetSystemStateBlock()->run.performanceCounter = 0;
    EXPECT_EQ(tessra::GetMicrosecondCount(0), 1234000u);
}

TEST(LocalDateTimeTest, GivesSixFieldsWithoutTheWeekday) {
    plat::testing::Reset();
    plat::testing::SetFakeLocalTime(2026, 12, 10, 9, 5, 30);
    int six[6] = {};
    EXPECT_EQ(GetLocalDateTime(six), 0);
    EXPECT_EQ(six[0], 2026);
    EXPECT_EQ(six[1], 12);
    EXPECT_EQ(six[2], 10);
    EXPECT_EQ(six[3], 9);
    EXPECT_EQ(six[4], 5);
    EXPECT_EQ(six[5], 30);
}

// The default-font setters of the public layer store the setting and make the default font from
// it at once, with the lock free afterwards.
TEST(DefaultFontForwardTest, SettersMakeTheDefaultFont) {
    plat::testing::Reset();
    tessra::GetScreenState().noDirectDraw = 1;  // fonts need no DirectDraw object then
    EXPECT_EQ(SetDefaultFontFace("x", 1), 0);
    EXPECT_EQ(tessra::InspectEngineLock().locked, 0u);
    EXPECT_EQ(SetDefaultFontSize(20), 0);
    EXPECT_EQ(SetDefaultFontThickness(3), 0);
    EXPECT_EQ(SetDefaultFontType(1), 0);
    const int font = tessra::QueryDefaultFontHandle();
    char name[tessra::kFontNameBytes] = {};
    int size = 0, thickness = 0;
    ASSERT_EQ(tessra::GetFontHandleInfo(name, &size, &thickness, font), 0);
    EXPECT_STREQ(name, "x");
    EXPECT_EQ(size, 20);
    EXPECT_EQ(thickness, 3);
    EXPECT_EQ(tessra::GetFontRecord(font)->type, 1);
    EXPECT_EQ(tessra::ReleaseFontHandle(font), 0);
    tessra::ResetFontDefaults();
    tessra::GetScreenState().noDirectDraw = 0;
}

// The drawing calls of the public layer reach the real front end: before graphics start a bad
// graph is refused, the software draws have no screen, the clip and rectangle calls work on the
// draw state; the lock is free after each.
TEST(DrawForwardTest, DrawingCallsGiveTheFrontEndsResults) {
    EXPECT_EQ(PutGraph(1, 2, 3, 1), -1);
    EXPECT_EQ(tessra::InspectEngineLock().locked, 0u);
    EXPECT_EQ(DrawRectangle(0, 0, 4, 4, 7, 1), -1);
    EXPECT_EQ(tessra::InspectEngineLock().locked, 0u);
    const tessra::Rect keptArea = tessra::DrawState.DrawArea;
    const int keptTarget = tessra::DrawState.drawTarget;
    tessra::DrawState.drawTarget = tessra::kBackScreen;
    EXPECT_EQ(SetDrawClipRect(8, 6, 2, 1), 0);
    EXPECT_EQ(tessra::DrawState.DrawArea.left, 2);
    EXPECT_EQ(tessra::DrawState.DrawArea.top, 1);
    EXPECT_EQ(tessra::DrawState.DrawArea.right, 8);
    EXPECT_EQ(tessra::DrawState.DrawArea.bottom, 6);
    tessra::DrawState.DrawArea = keptArea;
    tessra::DrawState.drawTarget = keptTarget;
    tessra::Rect r{-3, 1, 9, 1}, b{0, 0, 2, 2};
    EXPECT_EQ(ClipRectEntry(&r, &b), 0);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 2);
    EXPECT_EQ(r.top, 1);
    EXPECT_EQ(r.bottom, 1);
    EXPECT_EQ(tessra::InspectEngineLock().locked, 0u);
}

// The screen calls of the public layer give the screens' own results, with the lock free.
TEST(ScreenForwardTest, PresentAndModeGiveTheScreensResults) {
    plat::testing::Reset();
    EXPECT_EQ(PresentFrame(), -1);  // no DirectDraw object yet
    EXPECT_EQ(tessra::InspectEngineLock().locked, 0u);
    // Before start-up a mode is only recorded.
    EXPECT_EQ(SetScreenMode(800, 600, 32, 60), 0);
    int w = 0, h = 0;
    EXPECT_EQ(GetScreenDimensions(&w, &h), 0);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    EXPECT_EQ(SetScreenMode(640, 480, 24, -1), -1);
    EXPECT_EQ(SetScreenMode(0, 480, 16, -1), -1);
    EXPECT_EQ(tessra::InspectEngineLock().locked, 0u);
}

TEST(LocklessEntryTest, ColorFormatEntryMatchesItsTarget) {
    tessra::ColorFormat a{}, b{};
    EXPECT_EQ(BuildColorFormatEntry(&a, 16, 0xF800, 0x07E0, 0x001F, 0),
              tessra::BuildColorFormatFromMasks(&b, 16, 0xF800, 0x07E0, 0x001F, 0));
    EXPECT_EQ(tessra::ColorFormatsEqual(&a, &b), 1);
    EXPECT_EQ(WaitMillisecondsEntry(0), 0);
}

}  // namespace

namespace {

std::atomic<int> g_userProcCalls{0};

plat::LRESULT UserProc(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                       plat::LPARAM lParam) {
    if (message == plat::WM_USER + 7) {
        ++g_userProcCalls;
        return 77;
    }
    return plat::DefWindowProcA(window, message, wParam, lParam);
}

class UserWindowTest : public EngineFixture {};

// A program's own window: the engine's procedure goes in front, the program's answer stands,
// and shut-down puts the program's procedure back.
TEST_F(UserWindowTest, ChainsToTheProgramsProcedureAndGivesItBack) {
    plat::WNDCLASSA wc{};
    wc.lpfnWndProc = UserProc;
    wc.lpszClassName = "UserWindowTestClass";
    ASSERT_NE(plat::RegisterClassA(&wc), 0);
    plat::HWND mine = plat::CreateWindowExA(0, "UserWindowTestClass", "mine", plat::WS_CAPTION, 0,
                                            0, 320, 240, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(mine, nullptr);
    tessra::EngineSettings& set = GetSystemStateBlock()->settings;
    set.userWindow = 1;
    set.userWindowHandle = mine;
    ASSERT_EQ(StartEngine(), 0);
    EXPECT_EQ(GetEngineWindow(), mine);
    EXPECT_EQ(plat::GetWindowLongPtrA(mine, plat::GWLP_WNDPROC),
              reinterpret_cast<plat::LONG_PTR>(tessra::HandleMainWindowMessage));
    EXPECT_EQ(plat::SendMessageA(mine, plat::WM_USER + 7, 0, 0), 77);
    EXPECT_EQ(g_userProcCalls.load(), 1);
    EXPECT_EQ(ShutdownEngine(), 0);
    EXPECT_EQ(plat::GetWindowLongPtrA(mine, plat::GWLP_WNDPROC),
              reinterpret_cast<plat::LONG_PTR>(UserProc));
    EXPECT_TRUE(plat::IsWindow(mine));  // the program's window is the program's to destroy
    plat::DestroyWindow(mine);
    unlink(plat::testing::InstanceLockPath("UserWindowTestClass").c_str());
}

}  // namespace
