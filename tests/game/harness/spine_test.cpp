// Start-up, scene set-up, the play loop and frame pacing, run whole through the harness.
#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "engine/base/memory.h"
#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/main_loop.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/screen_state.h"
#include "game/core/startup.h"
#include "game/frontend/windows.h"
#include "platform/testing.h"
#include "platform/win/message_box.h"
#include "tests/game/harness/game_harness.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using velmora_test::Frame;
using velmora_test::GameHarness;
using velmora_test::HarnessSettings;

std::string LastBoxText() {
    const auto boxes = plat::testing::ShownMessageBoxes();
    return boxes.empty() ? std::string() : boxes.back().text;
}

// Replaces the run folder's dat link with a folder of links, one file changed by `change`.
void ChangeDataFile(const GameHarness& h, const std::string& name,
                    const std::function<void(const fs::path&)>& change) {
    const fs::path dat = h.Dir() / "dat";
    const fs::path source = fs::read_symlink(dat);
    fs::remove(dat);
    fs::create_directory(dat);
    for (const auto& entry : fs::directory_iterator(source))
        fs::create_symlink(entry.path(), dat / entry.path().filename());
    fs::remove(dat / name);
    if (change) change(source / name);
}

TEST(Spine, DataFileMissingOrOfAnotherSizeEndsStartUpWithBox57) {
    for (int variant = 0; variant < 2; ++variant) {
        GameHarness h;
        ChangeDataFile(h, "velm1.dat", [&](const fs::path& original) {
            if (variant == 0) return;  // missing
            fs::copy_file(original, h.Dir() / "dat" / "velm1.dat");
            std::ofstream(h.Dir() / "dat" / "velm1.dat", std::ios::app) << 'x';  // one too long
        });
        EXPECT_EQ(h.Start(), -1) << variant;
        EXPECT_EQ(LastBoxText(), "Error:0057") << variant;
        EXPECT_EQ(GetEngineWindow(), nullptr);
    }
}

TEST(Spine, DecliningTheSettingsFileEndsStartUpWithBox23) {
    HarnessSettings s;
    s.writeSettings = false;
    GameHarness h(s);
    plat::testing::PushMessageBoxAnswer(plat::IDNO);
    EXPECT_EQ(h.Start(), -1);
    EXPECT_EQ(LastBoxText(), "Error:0023");
}

TEST(Spine, AnEngineThatCannotStartEndsStartUpWithBox126) {
    GameHarness h;
    plat::testing::FailWindowCreations(8);
    EXPECT_EQ(h.Start(), -1);
    EXPECT_EQ(LastBoxText(), "Error:0126");
    const auto boxes = plat::testing::ShownMessageBoxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().type, plat::MB_OK | plat::MB_TOPMOST);
}

TEST(Spine, ScreenSetUpFollowsModeSizeAndDesktop) {
    struct Case {
        int mode, size, depthWord, desktopW, desktopH;
        int width, height, depth;
    };
    const Case cases[] = {
        {2, 1, 0, 1920, 1080, 640, 480, 32},
        {2, 0, 1, 1920, 1080, 320, 240, 16},
        {2, 6, 0, 1920, 1080, 1920, 1080, 32},
        {2, 7, 0, 1600, 1200, 1600, 1200, 32},  // too big for the desktop: full screen at its size
        {2, 7, 0, 1920, 1080, 1920, 1080, 32},
        {1, 3, 0, 1280, 1024, 1280, 1024, 32},
        {0, 5, 1, 1920, 1080, 640, 480, 16},
        {-3, 5, 0, 1920, 1080, 640, 480, 32},
        // A window size outside the table is the plain 640 x 480.
        {2, 8, 0, 1920, 1080, 640, 480, 32},
        {2, -1, 0, 1920, 1080, 640, 480, 32},
    };
    for (const Case& c : cases) {
        plat::testing::SetVirtualDesktop(c.desktopW, c.desktopH, 32);
        SetConfigVar(kCfgScreenMode, c.mode);
        SetConfigVar(kCfgWindowSize, c.size);
        SetConfigVar(kCfgColorDepth, c.depthWord);
        SetUpScreen();
        int w = 0, h = 0;
        GetScreenExtent(&w, &h);
        EXPECT_EQ(w, c.width) << c.mode << " " << c.size;
        EXPECT_EQ(h, c.height) << c.mode << " " << c.size;
        EXPECT_EQ(GetScreenDepth(), c.depth) << c.mode << " " << c.size;
    }
}

TEST(Spine, ARequestIsTakenOnlyAfterTheLeadInAndEndsTheSceneAtTheNextFrame) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    struct Case {
        int32_t request;
        int32_t next;
    };
    const Case cases[] = {
        {kRequestNewGame, kSceneNewGame}, {kRequestTitle, kSceneTitle},
        {kRequestEditor, kSceneEditor},   {kRequestScene, kSceneCollection},
        {kRequestRestart, kSceneRestart}, {kRequestDemo, kSceneDemo},
    };
    for (const Case& c : cases) {
        int lastFrame = -1;
        const int32_t result = h.RunScene(kSceneTitle, [&](Frame& f) {
            lastFrame = f.scene;
            if (f.scene == 10) SetGameVar(kGameVarSceneRequest, c.request);
            // Settings word 33 as it stands when the request is taken names the next scene.
            if (f.scene == 20) SetConfigVar(kCfgRunFlags, kSceneCollection);
            if (f.scene > 40) f.Stop();
        });
        EXPECT_EQ(result, c.next) << c.request;
        EXPECT_EQ(lastFrame, 33) << c.request;  // taken in frame 32, left at the top of 33
    }
}

TEST(Spine, WithoutARequestTheSceneRunsOn) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    int lastFrame = -1;
    const int32_t result = h.RunScene(kSceneTitle, [&](Frame& f) {
        lastFrame = f.scene;
        if (f.scene == 50) f.Stop();
    });
    EXPECT_EQ(result, kSceneQuit);
    EXPECT_EQ(lastFrame, 50);
}

TEST(Spine, SixtyFramesTakeOneSecondIn16And17MillisecondSteps) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    std::vector<uint32_t> times;
    h.RunScene(kSceneTitle, [&](Frame& f) {
        if (f.scene >= 33) times.push_back(GetTimeMs());
        // Each frame's work takes a millisecond; the frame waits out the rest of its time.
        plat::testing::AdvanceFakeClock(1);
        if (f.scene == 33 + 120) f.Stop();
    });
    ASSERT_GE(times.size(), 121u);
    EXPECT_EQ(times[60] - times[0], 1000u);
    EXPECT_EQ(times[120] - times[60], 1000u);
    for (int i = 0; i < 6; ++i) {
        const uint32_t step = times[i + 1] - times[i];
        EXPECT_TRUE(step == 16 || step == 17) << step;
    }
    // One 16 in every three frames.
    int sixteens = 0;
    for (int i = 0; i < 60; ++i) sixteens += times[i + 1] - times[i] == 16;
    EXPECT_EQ(sixteens, 20);
}

// The times at the top of frames 33.. of the title scene, each frame's work taking
// work(scene frame) ms and each present `presentCost` ms of the fake clock.
std::vector<uint32_t> FrameTimes(GameHarness& h, int frames, uint32_t presentCost,
                                 const std::function<uint32_t(int)>& work) {
    plat::testing::SetPresentCost(presentCost * 1000);
    std::vector<uint32_t> times;
    h.RunScene(kSceneTitle, [&](Frame& f) {
        if (f.scene >= 33) times.push_back(GetTimeMs());
        plat::testing::AdvanceFakeClock(work(f.scene));
        if (f.scene == 33 + frames) f.Stop();
    });
    return times;
}

TEST(Spine, APresentThatCosts4MsStillGives60FramesASecond) {
    // The pacing's deadline runs on from the last deadline, so the present's time falls inside
    // the frame's instead of being added to it (that gave 21-22 ms frames, 46 a second).
    struct Case {
        const char* name;
        int screenMode;
        int pacing;
        int frameSkip;
    };
    const Case cases[] = {
        {"timer, window", 2, 1, 0},
        {"timer, full screen", 0, 1, 0},
        {"timer, frame skip", 2, 1, 1},
        {"vertical sync, window", 2, 0, 0},
    };
    for (const Case& c : cases) {
        HarnessSettings s;
        s.screenMode = c.screenMode;
        s.pacing = c.pacing;
        s.frameSkip = c.frameSkip;
        GameHarness h(s);
        ASSERT_EQ(h.Start(), 0) << c.name;
        const uint64_t presentsBefore = plat::testing::PresentCount();
        const auto times = FrameTimes(h, 120, 4, [](int) { return 1u; });
        ASSERT_GE(times.size(), 121u) << c.name;
        for (int w : {0, 60}) {
            const uint32_t span = times[w + 60] - times[w];
            // The retrace comes every 16.667 ms: whole milliseconds land a little either side.
            if (c.pacing == 1)
                EXPECT_EQ(span, 1000u) << c.name << " from " << w;
            else
                EXPECT_NEAR(span, 1000u, 1) << c.name << " from " << w;
        }
        // Even frames alone: with frame skipping only every second frame pays for a present.
        for (size_t i = 2; i < times.size(); i += 2)
            EXPECT_LE(times[i] - times[i - 2], 35u) << c.name << " frame " << i;
        EXPECT_GE(plat::testing::PresentCount() - presentsBefore, c.frameSkip ? 60u : 120u)
            << c.name;
    }
}

TEST(Spine, TimerPacingCatchesUpALateFrameAndStartsAgainAfterAStall) {
    {
        // Frame 10 of the span runs 25 ms with its present (8-9 ms late): it is shown at once
        // and the next frame is shorter by as much, so the 60-frame span stays a second.
        GameHarness h;
        ASSERT_EQ(h.Start(), 0);
        const auto times = FrameTimes(h, 120, 4, [](int scene) { return scene == 43 ? 21u : 1u; });
        ASSERT_GE(times.size(), 121u);
        EXPECT_EQ(times[11] - times[10], 25u);
        EXPECT_LE(times[12] - times[11], 9u);
        EXPECT_EQ(times[60] - times[0], 1000u);
        EXPECT_EQ(times[120] - times[60], 1000u);
    }
    {
        // A stall of 100 ms is more than a frame behind: the schedule starts again from its end
        // instead of rushing unslept frames to make the time up.
        GameHarness h;
        ASSERT_EQ(h.Start(), 0);
        const auto times = FrameTimes(h, 60, 4, [](int scene) { return scene == 43 ? 101u : 1u; });
        ASSERT_GE(times.size(), 61u);
        EXPECT_EQ(times[11] - times[10], 105u);
        for (size_t i = 12; i < times.size(); ++i) {
            const uint32_t step = times[i] - times[i - 1];
            EXPECT_TRUE(step == 16 || step == 17) << i << ": " << step;
        }
    }
}

TEST(Spine, AFrameThatOverranItsTimeIsShownWithoutSleeping) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    std::vector<uint32_t> times;
    h.RunScene(kSceneTitle, [&](Frame& f) {
        if (f.scene >= 40) times.push_back(GetTimeMs());
        plat::testing::AdvanceFakeClock(f.scene >= 40 ? 30 : 1);
        if (f.scene == 45) f.Stop();
    });
    ASSERT_GE(times.size(), 5u);
    for (size_t i = 1; i < 5; ++i) EXPECT_EQ(times[i] - times[i - 1], 30u) << i;
}

TEST(Spine, FrameSkippingAlternatesDrawnAndSkippedFromTheTimerReset) {
    HarnessSettings s;
    s.frameSkip = 1;
    GameHarness h(s);
    ASSERT_EQ(h.Start(), 0);
    std::vector<uint64_t> presents;
    h.RunScene(kSceneTitle, [&](Frame& f) {
        if (f.scene >= 32) presents.push_back(plat::testing::PresentCount());
        if (f.scene == 42) f.Stop();
    });
    ASSERT_GE(presents.size(), 10u);
    for (size_t i = 0; i + 1 < 10; ++i)
        EXPECT_EQ(presents[i + 1] - presents[i], i % 2 == 0 ? 1u : 0u) << i;
}

TEST(Spine, MeasuredRateSurvivesAClockThatDoesNotMove) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    ResetFrameTimer();
    int32_t rate = 0;
    for (int i = 0; i < 60; ++i) rate = MeasureFrameRate();
    EXPECT_EQ(rate, 6000000);  // 60 frames in the 1 ms that stands in for no time at all
    plat::testing::AdvanceFakeClock(1000);
    for (int i = 0; i < 60; ++i) rate = MeasureFrameRate();
    EXPECT_EQ(rate, 6000);
}

TEST(Spine, QuitBoxNoContinues) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    // Escape, then right to "NON" and Return: the same scene goes on.
    int boxFrames = 0;
    int after = -1;
    int32_t result = h.RunScene(kSceneTitle, [&](Frame& f) {
        if (f.inQuitBox) {
            boxFrames += 1;
            if (boxFrames == 1) {
                f.KeyUp(SDL_SCANCODE_ESCAPE);
                f.Tap(kButtonRight);
            }
            if (boxFrames == 3) f.KeyDown(SDL_SCANCODE_RETURN);
            return;
        }
        if (f.scene == 40) f.KeyDown(SDL_SCANCODE_ESCAPE);
        if (boxFrames > 0 && after < 0) {
            after = f.scene;
            f.KeyUp(SDL_SCANCODE_RETURN);
        }
        if (f.scene == 45) f.Stop();
    });
    EXPECT_EQ(boxFrames, 3);
    EXPECT_EQ(after, 41);
    EXPECT_EQ(result, kSceneQuit);  // ended by the stop, not by the box
}

TEST(Spine, QuitBoxYesQuits) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    // Escape, then Return on "YES": the game quits.
    int boxFrames = 0;
    int lastScene = -1;
    const int32_t result = h.RunScene(kSceneTitle, [&](Frame& f) {
        if (f.inQuitBox) {
            boxFrames += 1;
            if (boxFrames == 2) f.KeyDown(SDL_SCANCODE_RETURN);
            return;
        }
        lastScene = f.scene;
        if (f.scene == 40) f.KeyDown(SDL_SCANCODE_ESCAPE);
        if (f.scene == 60) f.Stop();
    });
    EXPECT_EQ(result, kSceneQuit);
    EXPECT_EQ(boxFrames, 2);
    EXPECT_EQ(lastScene, 40);
    // Nothing the game or the engine allocated outlives the shut-down.
    h.Shutdown();
    EXPECT_EQ(tessra::GetAllocStats().count, 0);
}

}  // namespace
}  // namespace velmora
