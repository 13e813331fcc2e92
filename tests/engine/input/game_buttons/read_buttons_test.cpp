// The game's button word, read through the engine itself under the dummy drivers: a key and a
// pad's stick arrive as the game's buttons.
#include <SDL.h>
#include <gtest/gtest.h>

#include "engine/core/engine_core_support.h"
#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/input.h"
#include "platform/testing.h"

namespace {

class GameButtonsTest : public tessra_test::EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        velmora::ResetConfig();
    }
    void TearDown() override {
        plat::testing::UseRealClock();
        if (GetEngineWindow() != nullptr) ShutdownEngine();
        EngineFixture::TearDown();
    }
    void Settle() {
        ProcessMessage();
        plat::testing::AdvanceFakeClock(1);
    }
};

TEST_F(GameButtonsTest, InjectedZIsShotAndAPadStickIsADirection) {
    plat::testing::AddVirtualPads(1, plat::testing::kVirtualPadController);
    ChangeWindowMode(1);
    ASSERT_EQ(StartEngine(), 0);
    plat::testing::SetSleepAdvancesFakeClock(false);
    plat::testing::SetFakeClock(5000);
    Settle();
    EXPECT_EQ(velmora::ReadButtons(), 0u);

    plat::testing::InjectKeyDown(SDL_SCANCODE_Z);
    Settle();
    EXPECT_EQ(velmora::ReadButtons(), velmora::kButtonShot);
    plat::testing::InjectKeyUp(SDL_SCANCODE_Z);
    Settle();
    EXPECT_EQ(velmora::ReadButtons(), 0u);

    plat::testing::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_LEFTX, -32768);
    plat::testing::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_LEFTY, 32767);
    Settle();
    EXPECT_EQ(velmora::ReadButtons(), velmora::kButtonLeft | velmora::kButtonDown);
}

}  // namespace
