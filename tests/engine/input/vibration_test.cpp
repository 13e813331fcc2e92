// Pad vibration as the force-feedback calls it makes: on a haptic device, on rumble motors or
// only noted; power 5000 against 5001, an endless vibration, the time limit across the clock's
// wrap, deactivation and activation, and a pad whose effects cannot be made.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/input/input.h"
#include "engine/input/input_test_support.h"
#include "platform/dinput/dinput.h"

namespace input_test {
namespace {

namespace pt = plat::testing;
using Calls = std::vector<std::string>;

class VibrationTest : public InputFixture {
protected:
    // One pad of these traits, started, with the calls of its set-up taken.
    Calls StartWithPad(unsigned traits) {
        pt::AddVirtualPads(1, pt::kVirtualPadController | traits);
        Start();
        EXPECT_EQ(GetPadCount(), 1);
        return pt::TakeForceFeedbackCalls();
    }
};

TEST_F(VibrationTest, HapticDevicePlaysTheConstantAloneUpTo5000AndAddsTheSineAbove) {
    EXPECT_EQ(StartWithPad(pt::kVirtualPadHaptic),
              (Calls{"haptic pad 0 new sine 10000", "haptic pad 0 new constant 10000"}));
    EXPECT_EQ(Locked([&] { return tessra::StartPadVibration(1, 5000, -1); }), 0);
    EXPECT_EQ(pt::TakeForceFeedbackCalls(), (Calls{"haptic pad 0 run constant"}));
    EXPECT_EQ(Locked([&] { return tessra::StopPadVibration(1); }), 0);
    EXPECT_EQ(pt::TakeForceFeedbackCalls(), (Calls{"haptic pad 0 stop constant"}));
    EXPECT_EQ(Locked([&] { return tessra::StartPadVibration(1, 5001, -1); }), 0);
    EXPECT_EQ(pt::TakeForceFeedbackCalls(),
              (Calls{"haptic pad 0 run constant", "haptic pad 0 run sine"}));
    // Shut-down lets the pad go, which silences its effects, then releases them.
    Locked([] { return tessra::ShutdownInput(); });
    EXPECT_EQ(pt::TakeForceFeedbackCalls(),
              (Calls{"haptic pad 0 stop sine", "haptic pad 0 stop constant",
                     "haptic pad 0 destroy constant", "haptic pad 0 destroy sine"}));
    EXPECT_EQ(pt::LiveInputObjects().effects, 0);
}

TEST_F(VibrationTest, RumbleStandsInForBothEffects) {
    EXPECT_EQ(StartWithPad(pt::kVirtualPadRumble), Calls{});
    Locked([&] { return tessra::StartPadVibration(1, 5000, -1); });
    EXPECT_EQ(pt::TakeForceFeedbackCalls(), (Calls{"rumble pad 0 low 65535 high 0"}));
    Locked([&] { return tessra::StopPadVibration(1); });
    EXPECT_EQ(pt::TakeForceFeedbackCalls(), (Calls{"rumble pad 0 low 0 high 0"}));
    Locked([&] { return tessra::StartPadVibration(1, 5001, -1); });
    EXPECT_EQ(pt::TakeForceFeedbackCalls(),
              (Calls{"rumble pad 0 low 65535 high 0", "rumble pad 0 low 65535 high 65535"}));
    Locked([&] { return tessra::StopPadVibration(1); });
    EXPECT_EQ(pt::TakeForceFeedbackCalls(),
              (Calls{"rumble pad 0 low 0 high 65535", "rumble pad 0 low 0 high 0"}));
}

TEST_F(VibrationTest, APadWithNeitherOnlyNotesItsEffects) {
    EXPECT_EQ(StartWithPad(0), Calls{});
    Locked([&] { return tessra::StartPadVibration(1, 10000, -1); });
    EXPECT_EQ(pt::TakeForceFeedbackCalls(),
              (Calls{"effect pad 0 start constant", "effect pad 0 start sine"}));
}

TEST_F(VibrationTest, ANegativeLimitRunsUntilStopped) {
    StartWithPad(pt::kVirtualPadHaptic);
    Locked([&] { return tessra::StartPadVibration(1, 3000, -1); });
    pt::TakeForceFeedbackCalls();
    for (int i = 0; i < 5; ++i) {
        pt::AdvanceFakeClock(100000);
        Settle();
    }
    EXPECT_EQ(pt::TakeForceFeedbackCalls(), Calls{});
    EXPECT_EQ(tessra::GetInputState().pads[0].vibrationOn, 1);
    Locked([&] { return tessra::StopPadVibration(1); });
    EXPECT_EQ(pt::TakeForceFeedbackCalls(), (Calls{"haptic pad 0 stop constant"}));
    EXPECT_EQ(tessra::GetInputState().pads[0].vibrationPower, 10000);
}

// The wrap of the millisecond clock counts nothing for that step; the limit is reached after.
TEST_F(VibrationTest, TheTimeLimitCountsOnAcrossTheClocksWrap) {
    StartWithPad(pt::kVirtualPadHaptic);
    pt::SetFakeClock(0xFFFFFFF0u);
    Locked([&] { return tessra::StartPadVibration(1, 3000, 100); });
    pt::TakeForceFeedbackCalls();
    const tessra::PadState& pad = tessra::GetInputState().pads[0];
    const struct {
        uint32_t advance;
        int elapsed;
    } kSteps[] = {{10, 10}, {10, 10}, {89, 99}};
    for (const auto& step : kSteps) {
        pt::AdvanceFakeClock(step.advance);
        Locked([&] { return tessra::UpdateVibrationTimers(); });
        EXPECT_EQ(pad.vibrationElapsed, step.elapsed);
        EXPECT_EQ(pad.vibrationOn, 1);
    }
    EXPECT_EQ(pt::TakeForceFeedbackCalls(), Calls{});
    pt::AdvanceFakeClock(1);
    Locked([&] { return tessra::UpdateVibrationTimers(); });
    EXPECT_EQ(pad.vibrationOn, 0);
    EXPECT_EQ(pt::TakeForceFeedbackCalls(), (Calls{"haptic pad 0 stop constant"}));
}

TEST_F(VibrationTest, LeavingTheWindowStopsTheEffectsAndComingBackStartsThem) {
    StartWithPad(pt::kVirtualPadHaptic);
    Locked([&] { return tessra::StartPadVibration(1, 8000, -1); });
    pt::TakeForceFeedbackCalls();
    pt::InjectFocusLoss();
    pt::InjectFocusGain();
    Settle();
    EXPECT_EQ(pt::TakeForceFeedbackCalls(),
              (Calls{"haptic pad 0 stop constant", "haptic pad 0 stop sine",
                     "haptic pad 0 run constant", "haptic pad 0 run sine"}));
    EXPECT_EQ(tessra::GetInputState().pads[0].vibrationOn, 1);
}

TEST_F(VibrationTest, APadWhoseEffectsCannotBeMadeIsAPlainPad) {
    pt::FailInputStep(pt::InputStep::kCreateEffect, pt::InputDeviceKind::kPad, 2);
    EXPECT_EQ(StartWithPad(pt::kVirtualPadHaptic), Calls{});
    EXPECT_EQ(CountInLog("周期的エフェクトの作成に失敗しました。\n"), 1);
    EXPECT_EQ(pt::LiveInputObjects().effects, 0);
    EXPECT_EQ(Locked([&] { return tessra::StartPadVibration(1, 10000, -1); }), -1);
    EXPECT_EQ(Locked([&] { return tessra::StopPadVibration(1); }), 0);
    EXPECT_EQ(pt::TakeForceFeedbackCalls(), Calls{});
    pt::SetVirtualPadButton(0, SDL_CONTROLLER_BUTTON_A, true);
    Settle();
    EXPECT_EQ(GetPadInput(1), 0x10);
}

TEST_F(VibrationTest, NothingVibratesWithoutDirectInput) {
    pt::AddVirtualPads(1, pt::kVirtualPadController | pt::kVirtualPadRumble);
    Start(true);
    EXPECT_EQ(Locked([&] { return tessra::StartPadVibration(1, 10000, -1); }), -1);
    EXPECT_EQ(Locked([&] { return tessra::ApplyJoypadVibration(); }), 0);
    EXPECT_EQ(pt::TakeForceFeedbackCalls(), Calls{});
}

}  // namespace
}  // namespace input_test
