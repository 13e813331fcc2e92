// Pads: a virtual pad's stick, buttons and hat in the joystick state and the word, the dead
// zone, no ninth pad, directions of one pad against pad and keyboard together, and the
// joystick calls' 0..65535 positions without DirectInput.
#include <SDL.h>
#include <gtest/gtest.h>

#include <climits>

#include "engine/input/input.h"
#include "engine/input/input_test_support.h"
#include "platform/dinput/dinput.h"

namespace input_test {
namespace {

using namespace plat;
namespace pt = plat::testing;

class PadsTest : public InputFixture {
protected:
    const DIJOYSTATE& Joystick(int index) { return tessra::GetInputState().pads[index].joystick; }
};

TEST_F(PadsTest, ControllerStickButtonsAndDpadThroughItsMapping) {
    pt::AddVirtualPads(1, pt::kVirtualPadController);
    Start();
    ASSERT_EQ(GetPadCount(), 1);
    EXPECT_EQ(CountInLog("デバイスの登録名:Virtual controller"), 1);
    EXPECT_EQ(CountInLog("ジョイパッドの追加は正常に終了しました\n"), 1);
    EXPECT_EQ(GetPadInput(1), 0);

    pt::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_LEFTX, 32767);
    pt::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_LEFTY, -32768);
    pt::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_RIGHTX, -32768);
    pt::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_RIGHTY, 32767);
    pt::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
    pt::SetVirtualPadButton(0, SDL_CONTROLLER_BUTTON_A, true);
    pt::SetVirtualPadButton(0, SDL_CONTROLLER_BUTTON_Y, true);
    pt::SetVirtualPadButton(0, SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    Settle();
    // Right and up, buttons 0 and 3, and the D-pad's left as button 13.
    EXPECT_EQ(GetPadInput(1), 0x4 | 0x8 | 0x10 | 0x80 | (1 << (4 + 13)));
    const DIJOYSTATE& j = Joystick(0);
    EXPECT_EQ(j.lX, 1000);
    EXPECT_EQ(j.lY, -1000);
    EXPECT_EQ(j.lZ, -1000);   // right stick X
    EXPECT_EQ(j.lRz, 1000);   // right stick Y
    EXPECT_EQ(j.lRy, 65535);  // right trigger, on the default range
    EXPECT_EQ(j.rgdwPOV[0], 27000u);
    EXPECT_EQ(j.rgbButtons[0], 0x80);
    EXPECT_EQ(j.rgbButtons[1], 0);
    EXPECT_EQ(j.rgbButtons[3], 0x80);
}

TEST_F(PadsTest, PlainJoystickThroughItsAxesHatAndButtons) {
    pt::AddVirtualPads(1, 0);
    Start();
    ASSERT_EQ(GetPadCount(), 1);
    pt::SetVirtualPadAxis(0, 0, -32768);
    pt::SetVirtualPadAxis(0, 1, 32767);
    pt::SetVirtualPadAxis(0, 2, 32767);
    pt::SetVirtualPadAxis(0, 5, -32768);
    pt::SetVirtualPadHat(0, 0, SDL_HAT_RIGHTDOWN);
    pt::SetVirtualPadButton(0, 23, true);
    pt::SetVirtualPadButton(0, 31, true);
    Settle();
    // Button 31 is in the state but beyond the word's 24 buttons.
    EXPECT_EQ(GetPadInput(1), 0x2 | 0x1 | (1 << (4 + 23)));
    const DIJOYSTATE& j = Joystick(0);
    EXPECT_EQ(j.lX, -1000);
    EXPECT_EQ(j.lY, 1000);
    EXPECT_EQ(j.lZ, 1000);
    EXPECT_EQ(j.lRz, -1000);
    EXPECT_EQ(j.rgdwPOV[0], 13500u);
    EXPECT_EQ(j.rgbButtons[31], 0x80);
    pt::SetVirtualPadHat(0, 0, SDL_HAT_CENTERED);
    Settle();
    EXPECT_EQ(GetPadInput(1), 0x2 | 0x1 | (1 << (4 + 23)));
    EXPECT_EQ(Joystick(0).rgdwPOV[0], 0xFFFFFFFFu);
}

// A quarter of the stick's travel each side of the centre reads 0; beyond it the rest of the
// travel spreads over the whole range.
TEST_F(PadsTest, DeadZone) {
    pt::AddVirtualPads(1, pt::kVirtualPadController);
    Start();
    const struct {
        int raw;
        int lX;
        int bits;
    } kCases[] = {
        {0, 0, 0},        {8191, 0, 0},      {-8192, 0, 0},      {8300, 4, 0x4},
        {-8300, -4, 0x2}, {20479, 500, 0x4}, {32767, 1000, 0x4}, {-32768, -1000, 0x2},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.raw);
        pt::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_LEFTX, c.raw);
        Settle();
        EXPECT_EQ(GetPadInput(1), c.bits);
        EXPECT_EQ(Joystick(0).lX, c.lX);
    }
}

TEST_F(PadsTest, TheNinthPadIsNeverReached) {
    pt::AddVirtualPads(9, pt::kVirtualPadController);
    Start();
    EXPECT_EQ(GetPadCount(), 8);
    EXPECT_EQ(CountInLog("入力装置を見つけました\n"), 8);
    EXPECT_EQ(CountInLog("ジョイパッドの追加は正常に終了しました\n"), 8);
    EXPECT_EQ(pt::LiveInputObjects().devices, 8 + 2);
    pt::SetVirtualPadButton(7, SDL_CONTROLLER_BUTTON_B, true);
    pt::SetVirtualPadButton(8, SDL_CONTROLLER_BUTTON_B, true);
    Settle();
    EXPECT_EQ(GetPadInput(8), 0x20);
    EXPECT_EQ(GetPadInput(9), 0);
}

TEST_F(PadsTest, OppositeDirectionsOnlyFromPadAndKeyboardTogether) {
    pt::AddVirtualPads(2, pt::kVirtualPadController);
    Start();
    pt::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_LEFTX, -32768);
    pt::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_LEFTY, -32768);
    Press(SDL_SCANCODE_RIGHT);
    Press(SDL_SCANCODE_DOWN);
    EXPECT_EQ(GetPadInput(1), 0x2 | 0x8);
    EXPECT_EQ(GetPadInput(0x1000), 0x4 | 0x1);
    EXPECT_EQ(GetPadInput(0x1001), 0xF);
    // Pad 2 alone, and a keyboard id beyond the pads, read no pad.
    EXPECT_EQ(GetPadInput(2), 0);
    EXPECT_EQ(GetPadInput(0x1003), 0x4 | 0x1);
    EXPECT_EQ(GetPadInput(3), 0);
}

TEST_F(PadsTest, PadIndexesOutsideTheRecordsAreRefused) {
    pt::AddVirtualPads(1, pt::kVirtualPadController);
    Start();
    for (int index : {-1, -2, INT_MIN, 8, 9, INT_MAX}) {
        EXPECT_EQ(Locked([&] { return tessra::PollJoypad(index); }), -1) << index;
    }
    EXPECT_EQ(Locked([&] { return tessra::PollJoypad(0); }), 0);
    EXPECT_EQ(Locked([&] { return tessra::PollJoypad(7); }), 0);
}

TEST_F(PadsTest, ALostPadKeepsItsLastStateAndTheOthersGoOn) {
    pt::AddVirtualPads(2, pt::kVirtualPadController);
    Start();
    pt::SetVirtualPadButton(0, SDL_CONTROLLER_BUTTON_A, true);
    pt::SetVirtualPadButton(1, SDL_CONTROLLER_BUTTON_X, true);
    Settle();
    EXPECT_EQ(GetPadInput(1), 0x10);
    pt::UnplugVirtualPad(0);
    Settle();
    EXPECT_EQ(GetPadInput(1), 0x10);
    EXPECT_EQ(GetPadInput(2), 0x40);
}

// Without DirectInput the joystick calls give 0..65535 and the engine's own dead band and
// scale turn them into -1000..1000.
TEST_F(PadsTest, JoystickPositionsWithoutDirectInput) {
    pt::AddVirtualPads(1, pt::kVirtualPadController);
    Start(true);
    ASSERT_EQ(GetPadCount(), 1);
    EXPECT_EQ(CountInLog("パッドの数は 1 個です\n"), 1);
    EXPECT_EQ(tessra::GetInputState().pads[0].fourAxis, 1);
    const struct {
        unsigned position;
        int value;
    } kCases[] = {
        {0, -1000}, {1, -999},  {24575, 0},   {24576, 0},   {32767, 0},   {32768, 0},    {40960, 0},
        {40961, 0}, {41000, 1}, {53248, 500}, {65534, 999}, {65535, 999}, {12288, -500},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.position);
        const int sdl = static_cast<int>(c.position) - 32768;
        pt::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_LEFTX, sdl);
        pt::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_RIGHTX, sdl);
        pt::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_RIGHTY, sdl);
        Settle();
        JOYINFOEX info{};
        info.dwSize = sizeof info;
        info.dwFlags = JOY_RETURNALL;
        ASSERT_EQ(joyGetPosEx(0, &info), JOYERR_NOERROR);
        EXPECT_EQ(info.dwXpos, c.position);
        GetPadInput(1);
        const DIJOYSTATE& j = tessra::GetInputState().pads[0].joystick;
        EXPECT_EQ(j.lX, c.value);
        EXPECT_EQ(j.lZ, c.value);
        EXPECT_EQ(j.lRz, c.value);
    }
    pt::SetVirtualPadButton(0, SDL_CONTROLLER_BUTTON_B, true);
    Settle();
    EXPECT_EQ(GetPadInput(1) & 0x20, 0x20);
}

TEST_F(PadsTest, JoystickCallsOnNoPadAndBadArguments) {
    Start(true);
    EXPECT_EQ(GetPadCount(), 0);
    EXPECT_EQ(tessra::GetInputState().object, tessra::NoDirectInputMark());
    JOYCAPSA caps{};
    EXPECT_EQ(joyGetDevCapsA(0, &caps, sizeof caps), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(joyGetDevCapsA(0, &caps, 12), JOYERR_PARMS);
    JOYINFOEX info{};
    EXPECT_EQ(joyGetPosEx(0, &info), JOYERR_PARMS);  // no size
    info.dwSize = sizeof info;
    EXPECT_EQ(joyGetPosEx(0, &info), MMSYSERR_BADDEVICEID);
    Locked([] { return tessra::ShutdownInput(); });
    EXPECT_EQ(CountInLog("入力関連の終了処理... 完了\n"), 1);
    EXPECT_EQ(CountInLog("DirectInput 関連の終了処理"), 0);
}

}  // namespace
}  // namespace input_test
