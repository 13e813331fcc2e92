// Windows and their messages: creation, the close path, activation, keys and text.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/win/messages.h"
#include "platform/win/process.h"
#include "platform/win/thread.h"
#include "platform/win/window.h"

namespace plat {
namespace {

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> g_seen;

HINSTANCE GetModuleHandleForTest() {
    return GetModuleHandleA(nullptr);
}

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_seen.push_back(Seen{window, message, wParam, lParam});
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Reset();
        testing::UsePrivateInstanceLockKey();
        g_seen.clear();
        WNDCLASSA c{};
        c.style = CS_HREDRAW | CS_VREDRAW;
        c.lpfnWndProc = RecordingProc;
        c.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW));
        c.lpszClassName = "TestClass";
        ASSERT_NE(RegisterClassA(&c), 0);
    }
    void TearDown() override {
        if (IsWindow(window_)) DestroyWindow(window_);
        UnregisterClassA("TestClass", nullptr);
    }
    HWND Make(DWORD style = 0x80CA0000u, DWORD exStyle = 0x300) {
        RECT r{0, 0, 320, 240};
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
        window_ = CreateWindowExA(exStyle, "TestClass", "title", style, 100, 50, r.right - r.left,
                                  r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
        return window_;
    }
    // Dispatches everything queued; returns the messages taken, in order.
    std::vector<UINT> Pump() {
        std::vector<UINT> taken;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            taken.push_back(msg.message);
            if (msg.message == WM_QUIT) break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return taken;
    }
    bool Saw(UINT message) const {
        for (const Seen& s : g_seen) {
            if (s.message == message) return true;
        }
        return false;
    }
    HWND window_ = nullptr;
};

TEST_F(WindowTest, CreationSendsCreateSizeAndMoveWithTheClientGeometry) {
    ASSERT_NE(Make(), nullptr);
    ASSERT_GE(g_seen.size(), 3u);
    EXPECT_EQ(g_seen[0].message, WM_CREATE);
    EXPECT_EQ(g_seen[1].message, WM_SIZE);
    EXPECT_EQ(g_seen[1].lParam, MAKELPARAM(320, 240));
    EXPECT_EQ(g_seen[2].message, WM_MOVE);
    RECT client;
    ASSERT_TRUE(GetClientRect(window_, &client));
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 240);
    POINT origin{0, 0};
    ClientToScreen(window_, &origin);
    EXPECT_EQ(g_seen[2].lParam, MAKELPARAM(origin.x, origin.y));
}

TEST_F(WindowTest, InjectedCloseDestroysThroughTheDefaultProcedureAndQuits) {
    ASSERT_NE(Make(), nullptr);
    ShowWindow(window_, SW_SHOW);
    testing::InjectClose(window_);
    std::vector<UINT> taken = Pump();
    EXPECT_TRUE(Saw(WM_CLOSE));
    EXPECT_TRUE(Saw(WM_DESTROY));
    EXPECT_FALSE(IsWindow(window_));
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(taken.back(), static_cast<UINT>(WM_QUIT));
}

TEST_F(WindowTest, InjectedDeactivationDeliversBothActivationMessagesAndReactivationToo) {
    ASSERT_NE(Make(), nullptr);
    ShowWindow(window_, SW_SHOW);
    Pump();
    g_seen.clear();
    testing::InjectFocusLoss(window_);
    Pump();
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].message, WM_ACTIVATE);
    EXPECT_EQ(LOWORD(g_seen[0].wParam), WA_INACTIVE);
    EXPECT_EQ(g_seen[1].message, WM_ACTIVATEAPP);
    EXPECT_EQ(g_seen[1].wParam, 0u);

    g_seen.clear();
    testing::InjectFocusGain(window_);
    Pump();
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].message, WM_ACTIVATEAPP);
    EXPECT_EQ(g_seen[0].wParam, 1u);
    EXPECT_EQ(g_seen[1].message, WM_ACTIVATE);
    EXPECT_EQ(LOWORD(g_seen[1].wParam), WA_ACTIVE);
}

TEST_F(WindowTest, NothingDeactivatesAHeadlessWindowByItself) {
    ASSERT_NE(Make(), nullptr);
    ShowWindow(window_, SW_SHOW);
    ShowWindow(window_, SW_HIDE);
    ShowWindow(window_, SW_SHOW);
    SetWindowPos(window_, HWND_TOPMOST(), 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    Pump();
    EXPECT_FALSE(Saw(WM_ACTIVATEAPP));
    EXPECT_EQ(GetActiveWindow(), window_);
}

TEST_F(WindowTest, KeyPressArrivesAsKeyDownWithItsVirtualKeyAndIsKeptInTheKeyState) {
    ASSERT_NE(Make(), nullptr);
    struct Case {
        int scancode;
        UINT vk;
    };
    const Case cases[] = {{SDL_SCANCODE_Z, 'Z'},        {SDL_SCANCODE_RETURN, VK_RETURN},
                          {SDL_SCANCODE_LEFT, VK_LEFT}, {SDL_SCANCODE_LSHIFT, VK_SHIFT},
                          {SDL_SCANCODE_F5, VK_F5},     {SDL_SCANCODE_KP_8, VK_NUMPAD0 + 8}};
    for (const Case& c : cases) {
        g_seen.clear();
        testing::InjectKeyDown(c.scancode);
        Pump();
        BYTE keys[256];
        ASSERT_TRUE(GetKeyboardState(keys));
        EXPECT_NE(keys[c.vk] & 0x80, 0) << c.scancode;
        testing::InjectKeyUp(c.scancode);
        Pump();
        ASSERT_GE(g_seen.size(), 2u) << c.scancode;
        EXPECT_EQ(g_seen.front().message, WM_KEYDOWN) << c.scancode;
        EXPECT_EQ(g_seen.front().wParam, c.vk) << c.scancode;
        EXPECT_EQ(g_seen.back().message, WM_KEYUP) << c.scancode;
        GetKeyboardState(keys);
        EXPECT_EQ(keys[c.vk] & 0x80, 0) << c.scancode;
    }
}

TEST_F(WindowTest, ReturnAlsoGivesItsCharacterAndAltReturnGivesASystemCharacter) {
    ASSERT_NE(Make(), nullptr);
    testing::InjectKeyDown(SDL_SCANCODE_RETURN);
    testing::InjectKeyUp(SDL_SCANCODE_RETURN);
    Pump();
    ASSERT_TRUE(Saw(WM_CHAR));
    g_seen.clear();
    testing::InjectKeyDown(SDL_SCANCODE_LALT);
    testing::InjectKeyDown(SDL_SCANCODE_RETURN);
    Pump();
    bool sysChar = false;
    for (const Seen& s : g_seen) sysChar |= s.message == WM_SYSCHAR && s.wParam == '\r';
    EXPECT_TRUE(sysChar);
    EXPECT_FALSE(Saw(WM_CHAR));
}

TEST_F(WindowTest, EditingKeysGiveTheirCharactersAlsoWhenRepeated) {
    ASSERT_NE(Make(), nullptr);
    struct Case {
        int scancode;
        WPARAM character;
    };
    const Case cases[] = {{SDL_SCANCODE_BACKSPACE, 8},
                          {SDL_SCANCODE_TAB, 9},
                          {SDL_SCANCODE_RETURN, 13},
                          {SDL_SCANCODE_KP_ENTER, 13},
                          {SDL_SCANCODE_ESCAPE, 27}};
    for (const Case& c : cases) {
        g_seen.clear();
        testing::InjectKeyDown(c.scancode);
        testing::InjectKeyDown(c.scancode, true);
        testing::InjectKeyUp(c.scancode);
        Pump();
        std::vector<WPARAM> chars;
        for (const Seen& s : g_seen) {
            if (s.message == WM_CHAR) chars.push_back(s.wParam);
        }
        EXPECT_EQ(chars, (std::vector<WPARAM>{c.character, c.character})) << c.scancode;
    }
    // Other keys make no character of their own.
    g_seen.clear();
    testing::InjectKeyDown(SDL_SCANCODE_LEFT);
    testing::InjectKeyDown(SDL_SCANCODE_DELETE);
    Pump();
    EXPECT_FALSE(Saw(WM_CHAR));
}

TEST_F(WindowTest, TypedTextArrivesAsOneCharacterMessagePerShiftJisByte) {
    ASSERT_NE(Make(), nullptr);
    // Half-width katakana is one byte; a kanji is a lead and a trail byte.
    testing::InjectTextInput("ｱ亜b");
    Pump();
    std::vector<WPARAM> chars;
    for (const Seen& s : g_seen) {
        if (s.message == WM_CHAR) chars.push_back(s.wParam);
    }
    EXPECT_EQ(chars, (std::vector<WPARAM>{0xB1, 0x88, 0x9F, 'b'}));
}

TEST_F(WindowTest, MouseMotionGivesClientCoordinatesAndMovesTheCursor) {
    ASSERT_NE(Make(), nullptr);
    testing::InjectMouseMotion(window_, 12, 34);
    testing::InjectMouseButton(window_, 1, true, 12, 34);
    Pump();
    LPARAM moved = 0;
    bool setCursor = false;
    bool down = false;
    for (const Seen& s : g_seen) {
        if (s.message == WM_MOUSEMOVE) moved = s.lParam;
        setCursor |= s.message == WM_SETCURSOR;
        down |= s.message == WM_LBUTTONDOWN && (s.wParam & MK_LBUTTON) != 0;
    }
    EXPECT_EQ(moved, MAKELPARAM(12, 34));
    EXPECT_TRUE(setCursor);
    EXPECT_TRUE(down);
    POINT origin{0, 0};
    ClientToScreen(window_, &origin);
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, origin.x + 12);
    EXPECT_EQ(cursor.y, origin.y + 34);
}

TEST_F(WindowTest, DisplayChangeTellsTheNewDepthAndSize) {
    ASSERT_NE(Make(), nullptr);
    testing::InjectDisplayChange(1280, 1024, 16);
    Pump();
    bool told = false;
    for (const Seen& s : g_seen) {
        if (s.message != WM_DISPLAYCHANGE) continue;
        told = true;
        EXPECT_EQ(s.wParam, 16u);
        EXPECT_EQ(s.lParam, MAKELPARAM(1280, 1024));
    }
    EXPECT_TRUE(told);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    EXPECT_EQ(GetDeviceCaps(nullptr, BITSPIXEL), 16);
}

TEST_F(WindowTest, SettingAVirtualDesktopOrPumpingTellsNoWindowOfAChange) {
    ASSERT_NE(Make(), nullptr);
    Pump();
    testing::SetVirtualDesktop(800, 600, 32);
    for (int i = 0; i < 3; ++i) {
        Pump();
        SDL_Delay(250);  // past the layer's periodic look at the desktop
    }
    EXPECT_FALSE(Saw(WM_DISPLAYCHANGE));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
}

TEST_F(WindowTest, PaintIsAskedOnceAfterShowingAndNotAgainOnceValidated) {
    ASSERT_NE(Make(), nullptr);
    ShowWindow(window_, SW_SHOW);
    Pump();
    int paints = 0;
    for (const Seen& s : g_seen) paints += s.message == WM_PAINT;
    EXPECT_EQ(paints, 1);
    g_seen.clear();
    Pump();
    EXPECT_FALSE(Saw(WM_PAINT));
    InvalidateRect(window_, nullptr, FALSE);
    UpdateWindow(window_);
    EXPECT_TRUE(Saw(WM_PAINT));
}

TEST_F(WindowTest, MovingAndSizingSendMoveAndSizeOnlyForWhatChanged) {
    ASSERT_NE(Make(), nullptr);
    RECT outer;
    GetWindowRect(window_, &outer);
    g_seen.clear();
    MoveWindow(window_, outer.left + 10, outer.top, outer.right - outer.left,
               outer.bottom - outer.top, TRUE);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, WM_MOVE);
    g_seen.clear();
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left + 20, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, WM_SIZE);
    EXPECT_EQ(g_seen[0].lParam, MAKELPARAM(340, 240));
    g_seen.clear();
    SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_TRUE(g_seen.empty());
    // Shown and painted, a move asks for no painting but a new size does.
    ShowWindow(window_, SW_SHOW);
    Pump();
    g_seen.clear();
    MoveWindow(window_, outer.left, outer.top + 5, outer.right - outer.left + 20,
               outer.bottom - outer.top, TRUE);
    Pump();
    EXPECT_FALSE(Saw(WM_PAINT));
    MoveWindow(window_, outer.left, outer.top + 5, outer.right - outer.left,
               outer.bottom - outer.top, TRUE);
    Pump();
    EXPECT_TRUE(Saw(WM_PAINT));
}

TEST_F(WindowTest, PopupStyleIsFullScreenDesktopAndCaptionStyleIsBordered) {
    ASSERT_NE(Make(0x80000000u, 0x8), nullptr);
    ShowWindow(window_, SW_SHOW);
    SDL_Window* sdl = GetSdlWindow(window_);
    ASSERT_NE(sdl, nullptr);
    EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP,
              static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP));
    RECT client;
    GetClientRect(window_, &client);
    EXPECT_EQ(client.right, 320);  // the layer keeps the size asked for

    SetWindowLongA(window_, GWL_STYLE, static_cast<LONG>(0x80CA0000u));
    SetWindowLongA(window_, GWL_EXSTYLE, 0x300);
    SetWindowPos(window_, HWND_NOTOPMOST(), 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_BORDERLESS, 0u);
    EXPECT_EQ(GetWindowLongA(window_, GWL_STYLE), static_cast<LONG>(0x80CA0000u | WS_VISIBLE));
}

TEST_F(WindowTest, AdjustedRectangleHasTheAskedClientInside) {
    const DWORD styles[][2] = {{0x80CA0000u, 0x300}, {0x80080000u, 0x300}, {0x80080000u, 0},
                               {0x80CA0000u, 0x80},  {0x80C80000u, 0x100}, {0x80000000u, 0x8}};
    for (const auto& style : styles) {
        RECT r{0, 0, 640, 480};
        AdjustWindowRectEx(&r, style[0], FALSE, style[1]);
        HWND w = CreateWindowExA(style[1], "TestClass", "", style[0], 5, 7, r.right - r.left,
                                 r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(w, nullptr);
        RECT client;
        GetClientRect(w, &client);
        EXPECT_EQ(client.right, 640) << std::hex << style[0];
        EXPECT_EQ(client.bottom, 480) << std::hex << style[0];
        POINT origin{0, 0};
        ClientToScreen(w, &origin);
        EXPECT_EQ(origin.x, 5 - r.left) << std::hex << style[0];
        EXPECT_EQ(origin.y, 7 - r.top) << std::hex << style[0];
        DestroyWindow(w);
    }
}

TEST_F(WindowTest, ClassTableRefusesASecondRegistrationAndUnregistersOnlyWithoutWindows) {
    WNDCLASSA c{};
    c.lpfnWndProc = RecordingProc;
    c.lpszClassName = "testclass";  // names compare without regard to case
    EXPECT_EQ(RegisterClassA(&c), 0);
    ASSERT_NE(Make(), nullptr);
    EXPECT_FALSE(UnregisterClassA("TestClass", nullptr));
    DestroyWindow(window_);
    EXPECT_TRUE(UnregisterClassA("TestClass", nullptr));
    EXPECT_FALSE(UnregisterClassA("TestClass", nullptr));
    EXPECT_NE(RegisterClassA(&c), 0);
}

TEST_F(WindowTest, ForcedFailuresRefuseRegistrationAndCreation) {
    testing::FailClassRegistrations(1);
    WNDCLASSA c{};
    c.lpfnWndProc = RecordingProc;
    c.lpszClassName = "Other";
    EXPECT_EQ(RegisterClassA(&c), 0);
    EXPECT_NE(RegisterClassA(&c), 0);
    testing::FailWindowCreations(1);
    EXPECT_EQ(Make(), nullptr);
    EXPECT_TRUE(g_seen.empty());
    EXPECT_NE(Make(), nullptr);
    EXPECT_EQ(
        CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
        nullptr);
}

TEST_F(WindowTest, ADestroyedWindowIsRefusedEverywhere) {
    ASSERT_NE(Make(), nullptr);
    HWND old = window_;
    PostMessageA(old, WM_USER, 1, 2);
    ASSERT_TRUE(DestroyWindow(old));
    EXPECT_FALSE(DestroyWindow(old));
    EXPECT_FALSE(IsWindow(old));
    EXPECT_FALSE(PostMessageA(old, WM_USER, 0, 0));
    RECT r;
    EXPECT_FALSE(GetWindowRect(old, &r));
    EXPECT_FALSE(SetWindowTextA(old, "x"));
    g_seen.clear();
    Pump();
    EXPECT_FALSE(Saw(WM_USER));  // its queued messages went with it
    // A new window never takes the old handle.
    EXPECT_NE(Make(), old);
}

TEST_F(WindowTest, CreateAnsweringMinusOneFailsTheCreation) {
    WNDCLASSA c{};
    c.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_CREATE) return -1;
        return DefWindowProcA(w, m, wp, lp);
    };
    c.lpszClassName = "Refusing";
    ASSERT_NE(RegisterClassA(&c), 0);
    EXPECT_EQ(
        CreateWindowExA(0, "Refusing", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_TRUE(UnregisterClassA("Refusing", nullptr));
}

TEST_F(WindowTest, TitleIsKeptInShiftJisAndShownInUtf8) {
    ASSERT_NE(Make(), nullptr);
    const char sjis[] = "\x83\x65\x83\x58\x83\x67";  // テスト
    ASSERT_TRUE(SetWindowTextA(window_, sjis));
    char back[32];
    EXPECT_EQ(GetWindowTextA(window_, back, sizeof back), 6);
    EXPECT_STREQ(back, sjis);
    EXPECT_STREQ(SDL_GetWindowTitle(GetSdlWindow(window_)), "テスト");
}

TEST_F(WindowTest, InterruptAsksEveryWindowToCloseOrWithNoneQuits) {
    ASSERT_NE(Make(), nullptr);
    SDL_Event quit;
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    std::vector<UINT> taken = Pump();
    EXPECT_TRUE(Saw(WM_CLOSE));
    EXPECT_FALSE(IsWindow(window_));
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(taken.back(), static_cast<UINT>(WM_QUIT));  // posted by the procedure's WM_DESTROY
    SDL_PushEvent(&quit);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, ThreadMessagesOnly(), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);  // the interrupt's own, with no window left
}

TEST_F(WindowTest, ChangesFromAnotherThreadReachSdlAtTheMainThreadsNextPump) {
    ASSERT_NE(Make(), nullptr);
    g_seen.clear();
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* w) -> DWORD {
            SetWindowTextA(static_cast<HWND>(w), "other");
            SetWindowPos(static_cast<HWND>(w), nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
            return 0;
        },
        window_, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);
    SDL_Window* sdl = GetSdlWindow(window_);
    EXPECT_STRNE(SDL_GetWindowTitle(sdl), "other");
    EXPECT_TRUE(g_seen.empty());
    Pump();
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), "other");
    RECT client;
    GetClientRect(window_, &client);
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(sdl, &w, &h);
    EXPECT_EQ(w, client.right);
    EXPECT_EQ(h, client.bottom);
    // The size change was posted to the owner, not run on the other thread.
    EXPECT_TRUE(Saw(WM_SIZE));
}

TEST_F(WindowTest, CloseMessagesFromTheSystemMenuAndAltF4ReachTheWindow) {
    ASSERT_NE(Make(), nullptr);
    PostMessageA(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_TRUE(Saw(WM_CLOSE));
    EXPECT_FALSE(IsWindow(window_));
}

TEST_F(WindowTest, CursorShowsWhileTheCountIsNotNegativeAndACursorIsSet) {
    EXPECT_TRUE(testing::CursorShown());
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_FALSE(testing::CursorShown());
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_TRUE(testing::CursorShown());
    HCURSOR arrow = SetCursor(nullptr);
    EXPECT_FALSE(testing::CursorShown());
    SetCursor(arrow);
    EXPECT_TRUE(testing::CursorShown());
    ASSERT_TRUE(SetCursorPos(-5, 10000));
    POINT p;
    GetCursorPos(&p);
    EXPECT_EQ(p.x, -5);
    EXPECT_EQ(p.y, 10000);
}

TEST_F(WindowTest, IconIsTheDefaultWhenItsFileIsAbsentAndSetsTheClassIcon) {
    ASSERT_NE(Make(), nullptr);
    HICON icon = LoadIconA(GetModuleHandleForTest(), MAKEINTRESOURCEA(101));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon, LoadIconA(nullptr, MAKEINTRESOURCEA(IDI_APPLICATION)));
    SetClassLongPtrA(window_, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
    EXPECT_EQ(SetClassLongPtrA(window_, GCLP_HICON, 0), reinterpret_cast<uintptr_t>(icon));
}

TEST_F(WindowTest, IconComesFromItsImageFileWhenPresent) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) /
        (std::string("win_icon_") + info->name() + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormat(0, 16, 16, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(SDL_SaveBMP(picture, "icon101.bmp"), 0);
    SDL_FreeSurface(picture);
    HICON fromFile = LoadIconA(GetModuleHandleForTest(), MAKEINTRESOURCEA(101));
    HICON fallback = LoadIconA(nullptr, MAKEINTRESOURCEA(IDI_APPLICATION));
    std::filesystem::current_path(old);
    std::filesystem::remove_all(dir);
    EXPECT_NE(fromFile, nullptr);
    EXPECT_NE(fromFile, fallback);
}

TEST_F(WindowTest, StyleWordWithVisibleShowsAHiddenWindow) {
    ASSERT_NE(Make(), nullptr);
    EXPECT_FALSE(IsWindowVisible(window_));
    SetWindowLongA(window_, GWL_STYLE, static_cast<LONG>(0x80CA0000u | WS_VISIBLE));
    EXPECT_TRUE(IsWindowVisible(window_));
    SetWindowLongA(window_, GWL_STYLE, static_cast<LONG>(0x80000000u));
    EXPECT_TRUE(IsWindowVisible(window_));
}

TEST_F(WindowTest, DesktopDepthOfTheDummyDisplayReadsAsBytesPerPixelTimesEight) {
    ASSERT_NE(Make(), nullptr);
    SDL_DisplayMode mode;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &mode), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), mode.w);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), mode.h);
    EXPECT_EQ(GetDeviceCaps(nullptr, BITSPIXEL), SDL_BYTESPERPIXEL(mode.format) * 8);
    EXPECT_EQ(GetDeviceCaps(nullptr, PLANES), 1);
    EXPECT_GT(GetDeviceCaps(nullptr, VREFRESH), 0);
    EXPECT_FALSE(HasDisplay());
}

}  // namespace
}  // namespace plat
