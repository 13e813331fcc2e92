// Keys by DirectInput code in both modes, the two sections of the key table, the keyboard's
// share of a pad word, the mouse buttons, and the public calls' forwarding.
#include <SDL.h>
#include <gtest/gtest.h>

#include <climits>

#include "engine/core/engine_lock.h"
#include "engine/input/input_test_support.h"
#include "platform/dinput/dinput.h"

namespace input_test {
namespace {

using namespace plat;

class KeyboardTest : public InputFixture, public ::testing::WithParamInterface<Mode> {
protected:
    void StartInMode() { Start(GetParam() == Mode::kWithoutDirectInput); }
    bool Direct() const { return GetParam() == Mode::kDirectInput; }
};

struct KeyCase {
    int sdl;
    int dik;          // the key's own code
    int alsoDirect;   // another code down with DirectInput (0: none)
    int alsoWithout;  // another code down without it (0: none)
};

// Return is in both sections: without DirectInput it sets the numpad Enter's code too; the
// numpad keys keep their codes whatever Num Lock says.
const KeyCase kKeys[] = {
    {SDL_SCANCODE_Z, DIK_Z, 0, 0},
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE, 0, 0},
    {SDL_SCANCODE_RETURN, DIK_RETURN, 0, DIK_NUMPADENTER},
    {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER, DIK_RETURN, DIK_RETURN},
    {SDL_SCANCODE_LEFT, DIK_LEFT, 0, 0},
    {SDL_SCANCODE_KP_2, DIK_NUMPAD2, 0, 0},
    {SDL_SCANCODE_SPACE, DIK_SPACE, 0, 0},
    {SDL_SCANCODE_LSHIFT, DIK_LSHIFT, 0, 0},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL, 0, 0},
    {SDL_SCANCODE_F12, DIK_F12, 0, 0},
    {SDL_SCANCODE_PAUSE, DIK_PAUSE, 0, 0},
    {SDL_SCANCODE_HOME, DIK_HOME, 0, 0},
};

TEST_P(KeyboardTest, KeysReadByTheirDirectInputCodes) {
    StartInMode();
    for (const KeyCase& k : kKeys) {
        SCOPED_TRACE(k.dik);
        const int also = Direct() ? k.alsoDirect : k.alsoWithout;
        EXPECT_EQ(IsKeyDown(k.dik), 0);
        Press(k.sdl);
        EXPECT_EQ(IsKeyDown(k.dik), 1);
        if (also != 0) {
            EXPECT_EQ(IsKeyDown(also), 1);
        }
        for (int code = 0; code < 256; ++code) {
            if (code != k.dik && code != also) {
                EXPECT_EQ(IsKeyDown(code), 0) << code;
            }
        }
        Lift(k.sdl);
        EXPECT_EQ(IsKeyDown(k.dik), 0);
    }
}

TEST_P(KeyboardTest, NumpadCodesDoNotFollowNumLock) {
    StartInMode();
    Press(SDL_SCANCODE_NUMLOCKCLEAR);
    Lift(SDL_SCANCODE_NUMLOCKCLEAR);
    Press(SDL_SCANCODE_KP_8);
    EXPECT_EQ(IsKeyDown(DIK_NUMPAD8), 1);
    EXPECT_EQ(IsKeyDown(DIK_UP), 0);
    EXPECT_EQ(GetPadInput(0x1000), 0x8);
}

// The first section overrides DirectInput's bytes with the keyboard state's; the second keeps
// them. The semicolon key's desktop key stands at DIK_COLON in that table.
TEST_P(KeyboardTest, TableSectionsDecideWhichStateAKeyReads) {
    StartInMode();
    Press(SDL_SCANCODE_SEMICOLON);
    EXPECT_EQ(IsKeyDown(DIK_SEMICOLON), 0);
    EXPECT_EQ(IsKeyDown(DIK_COLON), 1);
    Lift(SDL_SCANCODE_SEMICOLON);
    // The apostrophe key is in no row: only DirectInput knows it.
    Press(SDL_SCANCODE_APOSTROPHE);
    EXPECT_EQ(IsKeyDown(DIK_APOSTROPHE), Direct() ? 1 : 0);
}

TEST_P(KeyboardTest, CodesOutsideTheStateAreNeverDown) {
    StartInMode();
    Press(SDL_SCANCODE_A);
    for (int code : {-1, 256, 257, INT_MAX, INT_MIN}) EXPECT_EQ(IsKeyDown(code), 0) << code;
    EXPECT_EQ(IsKeyDown(DIK_A), 1);
}

struct MapCase {
    int sdl;
    int bit;
};

TEST_P(KeyboardTest, KeyboardMappingOfThePadWord) {
    StartInMode();
    const MapCase kMap[] = {
        {SDL_SCANCODE_KP_2, 0x1}, {SDL_SCANCODE_DOWN, 0x1},      {SDL_SCANCODE_KP_4, 0x2},
        {SDL_SCANCODE_LEFT, 0x2}, {SDL_SCANCODE_KP_6, 0x4},      {SDL_SCANCODE_RIGHT, 0x4},
        {SDL_SCANCODE_KP_8, 0x8}, {SDL_SCANCODE_UP, 0x8},        {SDL_SCANCODE_Z, 0x10},
        {SDL_SCANCODE_X, 0x20},   {SDL_SCANCODE_C, 0x40},        {SDL_SCANCODE_A, 0x80},
        {SDL_SCANCODE_S, 0x100},  {SDL_SCANCODE_D, 0x200},       {SDL_SCANCODE_Q, 0x400},
        {SDL_SCANCODE_W, 0x800},  {SDL_SCANCODE_ESCAPE, 0x1000}, {SDL_SCANCODE_SPACE, 0x2000},
        {SDL_SCANCODE_V, 0},      {SDL_SCANCODE_RETURN, 0},
    };
    for (const MapCase& m : kMap) {
        SCOPED_TRACE(m.sdl);
        Press(m.sdl);
        EXPECT_EQ(GetPadInput(0x1000), m.bit);
        EXPECT_EQ(GetPadInput(0x1001), m.bit);  // no pad
        EXPECT_EQ(GetPadInput(0), 0);
        EXPECT_EQ(GetPadInput(1), 0);
        Lift(m.sdl);
    }
    // Held together, opposite directions both show.
    Press(SDL_SCANCODE_LEFT);
    Press(SDL_SCANCODE_KP_6);
    EXPECT_EQ(GetPadInput(0x1000), 0x6);
}

TEST_P(KeyboardTest, MouseButtons) {
    StartInMode();
    const HWND window = GetEngineWindow();
    // SDL's left, middle, right and side buttons; without DirectInput only the first three.
    const struct {
        int sdl;
        int bit;
        bool both;
    } kButtons[] = {{1, 1, true}, {3, 2, true}, {2, 4, true}, {4, 8, false}, {5, 0x10, false}};
    for (const auto& b : kButtons) {
        SCOPED_TRACE(b.sdl);
        plat::testing::InjectMouseButton(window, b.sdl, true, 5, 5);
        Settle();
        EXPECT_EQ(GetMouseButtons(), Direct() || b.both ? b.bit : 0);
        plat::testing::InjectMouseButton(window, b.sdl, false, 5, 5);
        Settle();
        EXPECT_EQ(GetMouseButtons(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, KeyboardTest,
                         ::testing::Values(Mode::kDirectInput, Mode::kWithoutDirectInput),
                         [](const auto& info) { return ModeName(info.param); });

class PublicInputTest : public InputFixture {};

// Each public call gives its body's answer and leaves the engine lock out of this thread's
// hands (the message thread may hold it for its own pump passes).
bool LockFreeHere() {
    const tessra::EngineLockView lock = tessra::InspectEngineLock();
    return lock.locked == 0 || lock.owner != tessra::EngineLockThreadId();
}

TEST_F(PublicInputTest, CallsAnswerUnderTheLockAndFreeIt) {
    plat::testing::AddVirtualPads(2, plat::testing::kVirtualPadController);
    Start();
    Press(SDL_SCANCODE_Z);
    plat::testing::InjectMouseButton(GetEngineWindow(), 3, true, 1, 1);
    Settle();
    EXPECT_EQ(IsKeyDown(DIK_Z), 1);
    EXPECT_TRUE(LockFreeHere());
    EXPECT_EQ(GetPadCount(), 2);
    EXPECT_TRUE(LockFreeHere());
    EXPECT_EQ(GetPadInput(0x1001), 0x10);
    EXPECT_TRUE(LockFreeHere());
    EXPECT_EQ(GetMouseButtons(), 2);
    EXPECT_TRUE(LockFreeHere());
}

}  // namespace
}  // namespace input_test
