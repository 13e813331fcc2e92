// Input start-up: DirectInput 7, then 8, then none, with their log lines; a second start; the
// fatal texts; the lazy start after shut-down and none after a close request; and the mended
// faults of start-up and of a pad whose event is refused.
#include <SDL.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "engine/core/engine_system.h"
#include "engine/input/input.h"
#include "engine/input/input_test_support.h"
#include "platform/dinput/dinput.h"
#include "platform/win/messages.h"
#include "platform/win/thread.h"

namespace input_test {
namespace {

using namespace plat;
using plat::testing::FailInputStep;
using plat::testing::InputDeviceKind;
using plat::testing::InputStep;

class InitTest : public InputFixture {};

struct ObjectCase {
    const char* name;
    InputStep fail[2];
    int failCount;
    const char* expected[4];  // log texts, each present
    const char* absent;       // a log text that must not appear
};

const ObjectCase kObjectCases[] = {
    {"Version7",
     {},
     0,
     {"DirectInput7 の取得中... 成功\n", "引き続き初期化処理... 初期化成功\n",
      "DirectInput 関連の初期化は正常に終了しました\n", nullptr},
     "DirectInput8"},
    {"Version8AfterNo7",
     {InputStep::kObject7},
     1,
     {"取得に失敗。\n", "エラーコード 0x80040154\n", "DirectInput8 の取得を試みます...成功\n",
      "DirectInput 関連の初期化は正常に終了しました\n"},
     "DirectInput を使用しません。"},
    {"Version8After7FailsToInitialise",
     {InputStep::kInitialize},
     1,
     {"初期化に失敗。DirectInput8 の取得を試みます...成功\n",
      "DirectInput 関連の初期化は正常に終了しました\n", nullptr, nullptr},
     "DirectInput を使用しません。"},
    {"Neither",
     {InputStep::kObject7, InputStep::kObject8},
     2,
     {"DirectInput8 の取得を試みます...取得に失敗。DirectInput を使用しません。\n",
      "パッドの数は 0 個です\n", "入力関連の初期化をしました\n", nullptr},
     "マウスデバイスの初期化"},
};

TEST_F(InitTest, DirectInput7ThenDirectInput8ThenNone) {
    for (const ObjectCase& c : kObjectCases) {
        SCOPED_TRACE(c.name);
        for (int i = 0; i < c.failCount; ++i) FailInputStep(c.fail[i], InputDeviceKind::kAny, 1);
        tessra::GetInputState().noDirectInput = 0;
        ASSERT_EQ(StartEngine(), 0);
        for (const char* text : c.expected) {
            if (text != nullptr) {
                EXPECT_EQ(CountInLog(text), 1) << text;
            }
        }
        EXPECT_EQ(CountInLog(c.absent), 0);
        const bool none = c.failCount == 2;
        const tessra::InputState& s = tessra::GetInputState();
        EXPECT_EQ(s.noDirectInput, none ? 1 : 0);
        EXPECT_EQ(s.directInput8, c.failCount == 1 ? 1 : 0);
        EXPECT_EQ(plat::testing::LiveInputObjects().objects, none ? 0 : 1);
        ShutdownEngine();
        EXPECT_EQ(CountInLog(none ? "入力関連の終了処理... 完了\n"
                                  : "DirectInput 関連の終了処理... 完了\n"),
                  1);
        EXPECT_EQ(plat::testing::LiveInputObjects().objects, 0);
        EXPECT_EQ(plat::testing::LiveInputObjects().devices, 0);
        std::remove("Log.txt");
    }
}

TEST_F(InitTest, ASecondStartChangesNothing) {
    plat::testing::AddVirtualPads(
        1, plat::testing::kVirtualPadController | plat::testing::kVirtualPadRumble);
    Start();
    const tessra::InputState before = tessra::GetInputState();
    const auto live = plat::testing::LiveInputObjects();
    EXPECT_EQ(Locked([&] { return tessra::InitInput(); }), 0);
    EXPECT_EQ(std::memcmp(&before, &tessra::GetInputState(), sizeof before), 0);
    EXPECT_EQ(plat::testing::LiveInputObjects().devices, live.devices);
    EXPECT_EQ(plat::testing::LiveInputObjects().effects, live.effects);
    EXPECT_EQ(CountInLog("DirectInput関係初期化処理\n"), 1);
}

struct FatalCase {
    const char* name;
    InputStep step;
    InputDeviceKind kind;
    int count;
    const char* text;
};

void PrintTo(const FatalCase& c, std::ostream* os) {
    *os << c.name;
}

class FatalTest : public InputFixture, public ::testing::WithParamInterface<FatalCase> {};

// Each refusal ends the program with -1 and its text in the log.
TEST_P(FatalTest, EndsTheProgramWithItsText) {
    const FatalCase& c = GetParam();
    EXPECT_EXIT(
        {
            FailInputStep(c.step, c.kind, c.count);
            ChangeWindowMode(1);
            StartEngine();
            std::exit(0);
        },
        ::testing::ExitedWithCode(255), "");
    EXPECT_EQ(CountInLog(c.text), 1) << ReadLog();
    EXPECT_EQ(CountInLog("DirectInput 関連の初期化は正常に終了しました"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FatalTest,
    ::testing::Values(
        FatalCase{"MouseNotCreated", InputStep::kCreateDevice, InputDeviceKind::kMouse, 1,
                  "マウスデバイスの取得に失敗しました\n"},
        FatalCase{"MouseFormatRefused", InputStep::kDataFormat, InputDeviceKind::kMouse, 1,
                  "マウスデバイスのデータ形式の設定に失敗しました\n"},
        FatalCase{"MouseLevelRefused", InputStep::kCooperativeLevel, InputDeviceKind::kMouse, 1,
                  "マウスデバイスの協調レベルの設定に失敗しました\n"},
        FatalCase{"KeyboardNotCreated", InputStep::kCreateDevice, InputDeviceKind::kKeyboard, 1,
                  "キーボードデバイスの取得に失敗しました\n"},
        FatalCase{"KeyboardNotAcquiredTwice", InputStep::kAcquire, InputDeviceKind::kKeyboard, 2,
                  "キーボードデバイスの取得に失敗しました\n"},
        FatalCase{"KeyboardFormatRefused", InputStep::kDataFormat, InputDeviceKind::kKeyboard, 1,
                  "キーボードデバイスのデータ形式の設定に失敗しました\n"},
        FatalCase{"KeyboardLevelRefused", InputStep::kCooperativeLevel, InputDeviceKind::kKeyboard,
                  1, "キーボードデバイスの協調レベルの設定に失敗しました\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InitTest, OneRefusedAcquireIsRetried) {
    FailInputStep(InputStep::kAcquire, InputDeviceKind::kKeyboard, 1);
    Start();
    EXPECT_EQ(CountInLog("DirectInput 関連の初期化は正常に終了しました\n"), 1);
}

TEST_F(InitTest, RefusedBufferSizeIsLoggedAndStartUpGoesOn) {
    FailInputStep(InputStep::kProperty, InputDeviceKind::kKeyboard, 1);
    Start();
    EXPECT_EQ(CountInLog("キーボードのプロパティ設定に失敗しました\n"), 1);
    EXPECT_EQ(CountInLog("DirectInput 関連の初期化は正常に終了しました\n"), 1);
}

// After a display change shuts input down, each query starts it again and answers 0 on that
// call; the next call answers.
TEST_F(InitTest, QueriesStartInputAgainAndAnswerZeroOnThatCall) {
    plat::testing::AddVirtualPads(1, plat::testing::kVirtualPadController);
    Start();
    Press(SDL_SCANCODE_Z);
    struct Query {
        const char* name;
        int (*call)();
        int answer;
    };
    const Query kQueries[] = {
        {"IsKeyDown", [] { return IsKeyDown(DIK_Z); }, 1},
        {"GetPadCount", [] { return GetPadCount(); }, 1},
        {"GetPadInput", [] { return GetPadInput(0x1001); }, 0x10},
    };
    int starts = 1;
    for (const Query& q : kQueries) {
        SCOPED_TRACE(q.name);
        Locked([] { return tessra::ShutdownInput(); });
        EXPECT_EQ(plat::testing::LiveInputObjects().objects, 0);
        EXPECT_EQ(q.call(), 0);
        EXPECT_EQ(CountInLog("DirectInput関係初期化処理\n"), ++starts);
        Settle();
        // The key is still held: a fresh keyboard device learns it from the kept state.
        plat::testing::InjectKeyDown(SDL_SCANCODE_Z);
        Settle();
        EXPECT_EQ(q.call(), q.answer);
    }
}

// Mended: the call that starts input answers 0 even when the keyboard's event cannot be
// attached (start-up then answers 1), so no key, pad or direction is reported by it.
TEST_F(InitTest, TheStartingCallAnswersZeroWhenTheKeyboardEventIsRefused) {
    Start();
    Press(SDL_SCANCODE_Z);
    struct Query {
        const char* name;
        int (*call)();
    };
    const Query kQueries[] = {
        {"IsKeyDown(Z)", [] { return IsKeyDown(DIK_Z); }},
        {"GetPadCount", [] { return GetPadCount(); }},
        {"GetPadInput(0x1000)", [] { return GetPadInput(0x1000); }},
    };
    for (const Query& q : kQueries) {
        SCOPED_TRACE(q.name);
        Locked([] { return tessra::ShutdownInput(); });
        FailInputStep(InputStep::kEventNotification, InputDeviceKind::kKeyboard, 1);
        EXPECT_EQ(q.call(), 0);
    }
}

// Mended: the refused keyboard event is closed, not left open and forgotten.
TEST_F(InitTest, ARefusedKeyboardEventIsClosed) {
    Start();
    Locked([] { return tessra::ShutdownInput(); });
    FailInputStep(InputStep::kEventNotification, InputDeviceKind::kKeyboard, 1);
    EXPECT_EQ(Locked([&] { return tessra::InitInput(); }), 1);
    EXPECT_EQ(CountInLog("キーボードイベントのセットアップが失敗しました\n"), 1);
    const HANDLE offered = plat::testing::LastOfferedInputEvent(InputDeviceKind::kKeyboard);
    ASSERT_NE(offered, nullptr);
    EXPECT_EQ(CloseHandle(offered), FALSE);  // already closed
    EXPECT_EQ(tessra::GetInputState().keyboardEvent, nullptr);
    // The keyboard still works: its first read takes it.
    plat::testing::InjectKeyDown(SDL_SCANCODE_X);
    Settle();
    EXPECT_EQ(IsKeyDown(DIK_X), 1);
}

// Mended: a pad whose event is refused is not added, and nothing of it stays behind.
TEST_F(InitTest, APadWhoseEventIsRefusedLeavesNothingBehind) {
    plat::testing::AddVirtualPads(
        1, plat::testing::kVirtualPadController | plat::testing::kVirtualPadRumble);
    FailInputStep(InputStep::kEventNotification, InputDeviceKind::kPad, 1);
    Start();
    EXPECT_EQ(CountInLog("ジョイパッドイベントのセットアップが失敗しました\n"), 1);
    EXPECT_EQ(GetPadCount(), 0);
    const auto live = plat::testing::LiveInputObjects();
    EXPECT_EQ(live.devices, 2);  // mouse and keyboard
    EXPECT_EQ(live.effects, 0);
    const tessra::PadState zero{};
    EXPECT_EQ(std::memcmp(&tessra::GetInputState().pads[0], &zero, sizeof zero), 0);
    const HANDLE offered = plat::testing::LastOfferedInputEvent(InputDeviceKind::kPad);
    ASSERT_NE(offered, nullptr);
    EXPECT_EQ(CloseHandle(offered), FALSE);
}

// After a close request, shut-down input stays down: keys come from the keyboard state through
// both table sections, and no pad is read.
TEST_F(InitTest, NoRestartAfterACloseRequest) {
    plat::testing::AddVirtualPads(1, plat::testing::kVirtualPadController);
    Start();
    plat::testing::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_LEFTX, 32767);
    Settle();
    EXPECT_EQ(GetPadInput(0x1001), 0x4);
    tessra::GetSystemStateBlock()->run.closeRequested = 1;
    Locked([] { return tessra::ShutdownInput(); });
    Press(SDL_SCANCODE_KP_ENTER);
    EXPECT_EQ(IsKeyDown(DIK_NUMPADENTER), 1);
    EXPECT_EQ(IsKeyDown(DIK_RETURN), 1);
    EXPECT_EQ(plat::testing::LiveInputObjects().objects, 0);
    EXPECT_EQ(CountInLog("DirectInput関係初期化処理\n"), 1);
    Press(SDL_SCANCODE_Z);
    EXPECT_EQ(GetPadInput(0x1001), 0x10);
    EXPECT_EQ(GetPadInput(1), 0);
    EXPECT_EQ(GetPadCount(), 1);  // the count outlives shut-down
    // The close was only pretended: shut-down would wait for its message.
    tessra::GetSystemStateBlock()->run.closeRequested = 0;
}

TEST_F(InitTest, StateFlagsFollowTheirMessages) {
    Start();
    const HWND window = GetEngineWindow();
    PostMessageA(window, 0x46F, 1, 0);
    PostMessageA(window, 0x470, 1, 0);
    Settle();
    EXPECT_EQ(tessra::GetInputState().flag1, 1);
    EXPECT_EQ(tessra::GetInputState().flag2, 1);
    PostMessageA(window, 0x46F, 0, 0);
    Settle();
    EXPECT_EQ(tessra::GetInputState().flag1, 0);
    EXPECT_EQ(tessra::GetInputState().flag2, 1);
}

}  // namespace
}  // namespace input_test
