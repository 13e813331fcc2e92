#include "game/core/input.h"

#include <gtest/gtest.h>

#include "game/core/config.h"
#include "game/core/engine_standin.h"

namespace velmora {
namespace {

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::Reset();
        ResetConfig();
        ClearButtonState();
    }
};

TEST_F(ButtonTest, HeldAcrossTwoFramesIsPressedOnlyInTheFirst) {
    standin::SetPadInput(0x1001, 0x10);
    PollButtons();
    EXPECT_TRUE(IsButtonPressed(kButtonShot));
    EXPECT_TRUE(IsButtonHeld(kButtonShot));
    PollButtons();
    EXPECT_FALSE(IsButtonPressed(kButtonShot));
    EXPECT_TRUE(IsButtonHeld(kButtonShot));
    standin::SetPadInput(0x1001, 0);
    PollButtons();
    EXPECT_FALSE(IsButtonHeld(kButtonShot));
}

TEST_F(ButtonTest, PressedLooksAtTheWholeMask) {
    // Held SHOT and a new MENU: the mask as a whole was not clear before, so no press.
    standin::SetPadInput(0x1001, 0x10);
    PollButtons();
    standin::SetPadInput(0x1001, 0x10 | 0x80);
    PollButtons();
    EXPECT_TRUE(IsButtonPressed(kButtonMenu));
    EXPECT_FALSE(IsButtonPressed(kButtonShot | kButtonMenu));
}

TEST_F(ButtonTest, DefaultAssignment) {
    struct Case {
        uint32_t raw;
        ButtonWord expected;
    };
    const Case cases[] = {
        {0x1, kButtonDown},
        {0x2, kButtonLeft},
        {0x4, kButtonRight},
        {0x8, kButtonUp},
        {0x10, kButtonShot},
        {0x20, kButtonSubAction},
        {0x40, kButtonDirection},
        {0x80, kButtonMenu},
        {0x100, 0},
        {0x200, 0},
        {0xFF00, 0},
        {0x11, kButtonDown | kButtonShot},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MapButtons(c.raw), c.expected) << "raw " << c.raw;
    }
    // Nothing the pads report reaches SNAPSHOT or the four spare buttons by default.
    const ButtonWord all = MapButtons(0x3FFFFFFF);
    EXPECT_EQ(
        all & (kButtonSnapshot | kButtonExtra10 | kButtonExtra11 | kButtonExtra12 | kButtonExtra13),
        0u);
}

TEST_F(ButtonTest, TwoRawBitsOnOneButtonAndOneBitOnTwo) {
    SetConfigVar(5, 0x10 | 0x400);  // SHOT from either bit
    EXPECT_EQ(MapButtons(0x10), kButtonShot);
    EXPECT_EQ(MapButtons(0x400), kButtonShot);
    SetConfigVar(9, 0x400);   // the same bit also gives SNAPSHOT
    SetConfigVar(11, 0x400);  // and the button at 0x1000
    EXPECT_EQ(MapButtons(0x400), kButtonShot | kButtonSnapshot | kButtonExtra11);
}

TEST_F(ButtonTest, PadsAndKeyboardMerge) {
    standin::SetPadInput(0x1001, 0x1);
    standin::SetPadInput(3, 0x20);
    standin::SetPadInput(4, 0x8);
    standin::SetPadInput(1, 0x10);  // pad 1 alone is not read: it comes with the keyboard
    EXPECT_EQ(ReadPads(), 0x29u);
    EXPECT_EQ(ReadButtons(), kButtonDown | kButtonSubAction | kButtonUp);
}

}  // namespace
}  // namespace velmora
