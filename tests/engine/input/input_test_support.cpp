#include "engine/input/input_test_support.h"

#include "engine/base/sjis.h"
#include "platform/win/time.h"

namespace input_test {

void InputFixture::SetUp() {
    EngineFixture::SetUp();
}

void InputFixture::TearDown() {
    // Shut-down's bounded waits count real time.
    plat::testing::UseRealClock();
    if (GetEngineWindow() != nullptr) ShutdownEngine();
    EngineFixture::TearDown();
}

void InputFixture::Start(bool withoutDirectInput) {
    if (withoutDirectInput) {
        plat::testing::FailInputStep(plat::testing::InputStep::kObject7,
                                     plat::testing::InputDeviceKind::kAny, 1);
        plat::testing::FailInputStep(plat::testing::InputStep::kObject8,
                                     plat::testing::InputDeviceKind::kAny, 1);
    }
    ChangeWindowMode(1);
    ASSERT_EQ(StartEngine(), 0);
    // Start-up measures the real clocks; after it, time moves only when a test moves it (the
    // message thread's sleeps are real ones).
    plat::testing::SetSleepAdvancesFakeClock(false);
    plat::testing::SetFakeClock(100000);
    Settle();
}

void InputFixture::Settle() {
    ProcessMessage();
    plat::testing::AdvanceFakeClock(1);
}

void InputFixture::Press(int sdlScancode) {
    plat::testing::InjectKeyDown(sdlScancode);
    Settle();
}

void InputFixture::Lift(int sdlScancode) {
    plat::testing::InjectKeyUp(sdlScancode);
    Settle();
}

int InputFixture::CountInLog(const std::string& utf8Text) const {
    const std::string log = ReadLog();
    // The log ends its lines with CR LF.
    std::string text;
    for (char c : std::string(tessra::SjisText(utf8Text))) {
        if (c == '\n') text += '\r';
        text += c;
    }
    int count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++count;
    return count;
}

std::string ModeName(Mode mode) {
    return mode == Mode::kDirectInput ? "DirectInput" : "WithoutDirectInput";
}

}  // namespace input_test
