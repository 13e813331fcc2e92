#include "game/play/game_flow.h"

#include <gtest/gtest.h>

#include <vector>

#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/sound_cue.h"
#include "game/core/tween.h"
#include "game/play/combat.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace velmora {
namespace {

// A stage in memory: areas 0..2 of 30 by 20 cells, entries at (2 + k, 3), area 0's exit 0
// leading to area 1 entry 0, exit 1 to area 12 (the stage's end).
void MakeStage() {
    NewStage(-1);
    for (int a = 0; a < 3; ++a) {
        NewStage(a);
        ResizeArea(9, 4);
        for (int k = 0; k < 8; ++k) SetAreaWord(kAreaWordEntries + k, ((2 + k) << 16) | 3);
    }
    SelectArea(0);
    SetAreaWord(kAreaWordExits + 0, 1);
    SetAreaWord(kAreaWordExits + 1, 0);
    SetAreaWord(kAreaWordExits + 2, 12);
    SetAreaWord(kAreaWordExits + 3, 0);
    SetStageWord(kStageWordTimeLimit, 2);  // 1200 frames
    SetStageWord(kStageWordClockStart, 1);
}

class GameFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAllObjects();
        ResetConfig();
        for (int i = 0; i < 5; ++i) UpdateSound();
        for (int p = 0; p < kPlayerCount; ++p) g_playerSlots[p] = 0;
        SetConfigVar(kCfgDifficulty, 1);
        MakeStage();
    }
    int NewGame(int c = 0) {
        SetConfigVar(kCfgCharacter, c);
        const int master = StartNewGame();
        EXPECT_GT(master, 0);
        return master;
    }
    static void Flow(int frames = 1) {
        for (int f = 0; f < frames; ++f) UpdateGameFlow();
    }
    static bool SePlayed(int n) { return GetSoundTable().seCooldown[n] > 0; }
    static void ClearSe() {
        for (int i = 0; i < 5; ++i) UpdateSound();
    }
};

TEST_F(GameFlowTest, NewGameByCharacter) {
    struct Case {
        int c;
        int32_t lives, nextLife;
    };
    for (const Case& c : {Case{0, 3, 100000}, Case{1, 3, 100000}, Case{3, 9, 1000}}) {
        SetUp();
        const int master = NewGame(c.c);
        EXPECT_EQ(GetMasterObject(), master);
        EXPECT_EQ(GetField(kPropKind, master), kMasterKind);
        EXPECT_TRUE(static_cast<uint32_t>(GetField(kPropFlags, master)) & kFlagKeep);
        EXPECT_EQ(GetGameVar(100), c.lives);
        EXPECT_EQ(GetGameVar(104), c.nextLife);
        EXPECT_EQ(GetGameVar(92), 1);
        const int pl = GetPlayerSlot(0);
        EXPECT_EQ(GetField(kPropKind, pl), 0x20000008 + c.c);
        for (int n : {kPropHp, kPropMaxHp, kPropShownHp, kPropShownMaxHp})
            EXPECT_EQ(GetField(n, pl), 10);
        EXPECT_EQ(GetField(kPropKind, GetMapObject()), kMapObjectKind);
        EXPECT_EQ(GetGameVar(121), GetMapObject());
        EXPECT_EQ(GetGameVar(26), kPhaseStageStart);
    }
}

TEST_F(GameFlowTest, StoredStatisticsAreCheckedOnLoad) {
    // Stage slot 2: words group + 4 + p.
    SetConfigVar(36, 2);
    SetConfigVar(64 + 4, 5);    // shot level
    SetConfigVar(80 + 4, 99);   // range: too high
    SetConfigVar(112 + 4, -3);  // armour: negative
    SetConfigVar(96 + 4, 0);    // hit-point level 0 would give 0 hit points
    NewGame();
    EXPECT_EQ(GetGameVar(80), 5);
    EXPECT_EQ(GetGameVar(84), 8);
    EXPECT_EQ(GetGameVar(88), 0);
    EXPECT_EQ(GetGameVar(92), 1);
    EXPECT_EQ(GetPlayerField(0, kPropMaxHp), 10);
    SetConfigVar(96 + 4, 14);
    LoadPlayerStats(2);
    EXPECT_EQ(GetGameVar(92), 10);
    EXPECT_EQ(GetPlayerField(0, kPropHp), 100);
    // Saving never lowers a stored statistic, and a stored word above 8 counts as 0.
    SetGameVar(80, 3);
    SetGameVar(84, 2);
    SavePlayerStats(2);
    EXPECT_EQ(GetConfigVar(64 + 4), 5);
    EXPECT_EQ(GetConfigVar(80 + 4), 2);
    LoadPlayerStats(0);
    LoadPlayerStats(5);  // no slot: nothing
    EXPECT_EQ(GetGameVar(80), 3);
}

TEST_F(GameFlowTest, AreaStartPlacesPlayersAndCompanionsAndShowsTheBanner) {
    NewGame();
    SetGameVar(76, 2);
    StartArea(0, 3);
    int32_t x, y;
    GetPlayerPosition(0, &x, &y);
    EXPECT_EQ(x, 5 * 32);
    EXPECT_EQ(y, 3 * 32);
    EXPECT_EQ(GetPlayerField(0, kPropCursorX), 5 * 32);
    EXPECT_EQ(CountObjectsOfKind(0x2000000d), 2);
    EXPECT_EQ(GetGameVar(110), 1);
    // The banner: a band, three title sprites, the stage name and the difficulty.
    EXPECT_EQ(CountObjectsOfKind(0x50000001), 1);
    int sprites = 0;
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s) {
        if (GetField(kPropKind, s) != 0x60000000) continue;
        ++sprites;
        EXPECT_TRUE(static_cast<uint32_t>(GetField(kPropFlags, s)) & kFlagScreenFixed);
    }
    EXPECT_EQ(sprites, 5);
    EXPECT_EQ(static_cast<uint32_t>(GetGameVar(118)) & 0xfff000u, 0x1000u);
}

TEST_F(GameFlowTest, EntriesAreClampedAndAnOutsideEntryFallsBackToTheFirst) {
    NewGame();
    struct Case {
        int entry;
        int32_t x;
    };
    SelectArea(1);
    SetAreaWord(kAreaWordEntries + 7, (200 << 16) | 3);  // outside the area
    for (const Case& c : {Case{-4, 2}, Case{9, 9}, Case{7, 2}, Case{1, 3}}) {
        StartArea(c.entry == 7 ? 1 : 0, c.entry);
        EXPECT_EQ(GetPlayerField(0, kPropX), c.x * 32) << c.entry;
    }
}

TEST_F(GameFlowTest, LevelOnRevisitsAndNewAreas) {
    NewGame();
    SetGameVar(65, 5);
    StartArea(0, 0);
    EXPECT_EQ(GetGameVar(65), 5);  // the first visit to area 0: the banner, no change
    StartArea(1, 0);
    EXPECT_EQ(GetGameVar(65), 4);
    StartArea(0, 0);
    EXPECT_EQ(GetGameVar(65), 6);
    SetGameVar(65, 31);
    StartArea(1, 0);
    EXPECT_EQ(GetGameVar(65), 32);
    SetGameVar(65, 0);
    StartArea(2, 0);
    EXPECT_EQ(GetGameVar(65), 0);
}

TEST_F(GameFlowTest, WeatherGoesToTheLiveMapObjectOnly) {
    NewGame();
    SelectArea(1);
    SetAreaWord(kAreaWordWeather, 2);
    StartArea(1, 0);
    const int map = GetMapObject();
    EXPECT_EQ(GetField(26, map), 3);
    EXPECT_EQ(GetGameVar(112), 2);
    StopWeatherEffect();
    EXPECT_EQ(GetField(26, map), 0);
    // The map object dies and its slot goes to something else: that is left alone.
    ReleaseSlot(map);
    int other = -1;
    for (int n = 0; n < kPoolSlots && other != map; ++n)
        other = SpawnObject(0, 0, 9, 5, 0x30000008);
    ASSERT_EQ(other, map);
    SetFieldBits(kPropFlags, other, kFlagKeep);
    StartArea(1, 0);
    EXPECT_EQ(GetField(26, other), 0);
    EXPECT_EQ(GetGameVar(121), 0);
    EXPECT_EQ(GetMapObject(), 0);
}

TEST_F(GameFlowTest, StageStartTakesTimeLevelAndAFreshPlainHitFlag) {
    NewGame();
    SetGameVar(25, static_cast<int32_t>(kMasterPlainHit | kFlagKeep));
    SetStageWord(kStageWordLevel, 7);
    StartStage(0);
    EXPECT_FALSE(static_cast<uint32_t>(GetGameVar(25)) & kMasterPlainHit);
    EXPECT_EQ(GetGameVar(120), 1200);
    EXPECT_EQ(GetGameVar(65), 7);
    EXPECT_EQ(GetGameVar(113), 800);
    EXPECT_EQ(GetConfigVar(40), 0);
    // Easy doubles the time when the stage starts at its first area.
    SetGameVar(64, 0);
    StartStage(0);
    EXPECT_EQ(GetGameVar(120), 2400);
    // A checkpoint in an area this stage lacks starts in area 0, with the time not doubled.
    SetConfigVar(41, 7);
    SetGameVar(64, 1);
    StartStage(0);
    EXPECT_EQ(GetCurrentArea(), 0);
    SetConfigVar(41, 2);
    StartStage(0);
    EXPECT_EQ(GetCurrentArea(), 2);
}

TEST_F(GameFlowTest, CountdownBeepsAndTimeOver) {
    NewGame();
    SetGameVar(26, kPhasePlay);
    SetGameVar(120, 601);
    std::vector<int32_t> beeps;
    for (int f = 0; f < 601; ++f) {
        ClearSe();
        Flow();
        if (SePlayed(14)) beeps.push_back(GetGameVar(120));
    }
    std::vector<int32_t> want;
    for (int32_t t = 540; t >= 0; t -= 60) want.push_back(t);
    EXPECT_EQ(beeps, want);
    EXPECT_EQ(GetGameVar(26), kPhaseTimeOver);
    EXPECT_EQ(GetGameVar(27), 0);
    // Time over rains leaf bombs on the player and awards the time-up icon.
    Flow();
    EXPECT_EQ(CountObjectsOfKind(0x30000008), 1);
    EXPECT_TRUE(static_cast<uint32_t>(GetGameVar(68)) & (1u << 13));
}

// Time over drops a leaf bomb on each frame of it that is a multiple of the gap: 30 frames in its
// first five seconds, a frame less every five seconds after that, never under 12 (from its 90th
// second on).
TEST_F(GameFlowTest, TimeOverRainQuickensEveryFiveSeconds) {
    NewGame();
    struct Case {
        int32_t from, to;
        std::vector<int32_t> drops;
    };
    const Case cases[] = {
        {0, 100, {0, 30, 60, 90}},
        {280, 340, {319}},  // 300 is no multiple of the new gap of 29
        {600, 650, {616, 644}},
        {5390, 5450, {5395, 5400, 5412, 5424, 5436, 5448}},
        {9000, 9030, {9000, 9012, 9024}},
    };
    for (const Case& c : cases) {
        std::vector<int32_t> drops;
        for (int32_t t = c.from; t < c.to; ++t) {
            SetGameVar(26, kPhaseTimeOver);
            SetGameVar(27, t);
            const int before = CountObjectsOfKind(0x30000008);
            Flow();
            if (CountObjectsOfKind(0x30000008) > before) drops.push_back(t);
        }
        EXPECT_EQ(drops, c.drops) << c.from;
        FreeAllClassObjects();
    }
}

TEST_F(GameFlowTest, ClockStopsAtTheNextMarkAfterPlay) {
    NewGame();
    struct Case {
        int32_t phase, start, frames, end;
    };
    const Case cases[] = {
        {kPhasePlay, 790, 30, 820},
        {kPhaseLifeLost, 790, 30, 800},  // within the last 31 frames: on to the mark
        {kPhaseLifeLost, 760, 30, 760},  // too far: stands
        {kPhaseLifeLost, 767, 40, 767},
        {kPhaseLifeLost, 768, 40, 768},  // the 32nd frame before the mark still stands
        {kPhaseLifeLost, 769, 40, 800},  // the 31st runs on, and stops at the mark
        {kPhaseTally, 9599, 5, 9600},
    };
    for (const Case& c : cases) {
        SetGameVar(26, c.phase);
        SetGameVar(27, 500);
        SetGameVar(113, c.start);
        for (int f = 0; f < c.frames; ++f) {
            SetGameVar(26, c.phase);
            SetGameVar(27, 500);
            Flow();
        }
        EXPECT_EQ(GetGameVar(113), c.end) << c.phase << " " << c.start;
    }
}

TEST_F(GameFlowTest, IrisOpensOverFortyOneFrames) {
    NewGame();
    Flow();  // stage start
    EXPECT_EQ(GetGameVar(26), kPhaseIrisOpen);
    int l, t, r, b;
    GetLayerClipRect(5, &l, &t, &r, &b);
    EXPECT_EQ(r - l, 1);
    int frames = 0;
    while (GetGameVar(26) == kPhaseIrisOpen && frames < 100) {
        Flow();
        ++frames;
    }
    EXPECT_EQ(frames, 42);  // t = 0 .. 41
    GetLayerClipRect(5, &l, &t, &r, &b);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(r, 640);
    EXPECT_EQ(GetGameVar(26), kPhasePlay);
}

TEST_F(GameFlowTest, AnExitThatEndsTheStageWinsOverTheIris) {
    NewGame();
    Flow(50);
    ASSERT_EQ(GetGameVar(26), kPhasePlay);
    SetGameVar(26, kPhaseExit);
    SetGameVar(27, 0);
    SetGameVar(30, 1);  // exit 1 leads to area 12
    for (int f = 0; f < 42; ++f) Flow();
    EXPECT_EQ(GetGameVar(26), kPhaseTally);
    Flow(5);
    EXPECT_EQ(GetGameVar(26), kPhaseTally);
    // Exit 0 leads to area 1 and the iris opens again.
    SetGameVar(26, kPhaseExit);
    SetGameVar(27, 0);
    SetGameVar(30, 0);
    for (int f = 0; f < 42; ++f) Flow();
    EXPECT_EQ(GetGameVar(26), kPhaseIrisOpen);
    EXPECT_EQ(GetCurrentArea(), 1);
    // Negative and unused targets end the stage too.
    for (int32_t target : {-1, 7}) {
        SelectArea(1);
        SetAreaWord(kAreaWordExits, target);
        SetGameVar(26, kPhaseExit);
        SetGameVar(27, 0);
        SetGameVar(30, 0);
        for (int f = 0; f < 42; ++f) Flow();
        EXPECT_EQ(GetGameVar(26), kPhaseTally) << target;
    }
}

TEST_F(GameFlowTest, TallyBonusesAndWhereTheRunGoesNext) {
    struct Case {
        int32_t difficulty, lives, counter;
        bool plainHit;
        int32_t stage, runFlags, next;
        int32_t score;
    };
    const Case cases[] = {
        {1, 2, 0, false, 0, 0, kPhaseContinue, 25 * 300 + 2 * 500 + 1000},
        {0, 2, 0, false, 0, 0, kPhaseContinue, 25 * 100 + 2 * 500 + 1000},
        {1, 3, 7, true, 4, 0, kPhaseResult, 25 * 300 + 3 * 500 + 70},
        {1, 1, 0, false, 2, kRunStageChosen, kPhaseEnding, 25 * 300 + 500 + 1000},
    };
    for (const Case& c : cases) {
        SetUp();
        NewGame();
        SetConfigVar(kCfgRunFlags, GetConfigVar(kCfgRunFlags) | c.runFlags);
        SetGameVar(64, c.difficulty);
        SetGameVar(100, c.lives);
        SetGameVar(109, c.counter);
        SetGameVar(116, c.stage);
        SetGameVar(120, 25 * 60 + 59);
        if (c.plainHit) SetFieldBits(kPropFlags, GetMasterObject(), kMasterPlainHit);
        SetGameVar(26, kPhaseTally);
        SetGameVar(27, 0);
        int bonusSounds = 0;
        for (int f = 0; f < 481; ++f) {
            ClearSe();
            Flow();
            if (SePlayed(13)) ++bonusSounds;
        }
        EXPECT_EQ(GetGameVar(96), c.score) << c.difficulty << " " << c.stage;
        EXPECT_EQ(bonusSounds, 3 + (c.plainHit ? 0 : 1) - (c.counter ? 0 : 1));
        EXPECT_EQ(GetGameVar(26), c.next);
    }
}

TEST_F(GameFlowTest, ExtraLivesByCharacter) {
    NewGame(3);
    SetGameVar(100, 8);
    AddScore(0, 2500);
    Flow();
    EXPECT_EQ(GetGameVar(100), 9);
    EXPECT_EQ(GetGameVar(104), 2000);
    Flow();
    EXPECT_EQ(GetGameVar(100), 9);  // at 9 the step still moves on
    EXPECT_EQ(GetGameVar(104), 3000);
    EXPECT_TRUE(SePlayed(18));
}

TEST_F(GameFlowTest, AllOutEndsTheRun) {
    NewGame();
    SetGameVar(26, kPhasePlay);
    SetGameVar(120, 5000);
    SetGameVar(100, 0);
    Flow();
    EXPECT_EQ(GetGameVar(26), kPhaseAllOut);
    Flow(60);
    EXPECT_EQ(CountObjectsOfKind(0x60000000), 0);
    Flow();  // t = 60
    EXPECT_EQ(CountObjectsOfKind(0x60000000), 3);
    Flow(339);
    EXPECT_EQ(GetGameVar(kGameVarSceneRequest), 0);
    Flow();  // t = 400
    EXPECT_EQ(GetGameVar(kGameVarSceneRequest), kRequestTitle);
}

TEST_F(GameFlowTest, ResultAndContinuePhasesOpenTheirWindows) {
    NewGame();
    SetConfigVar(41, 2);
    SetGameVar(26, kPhaseContinue);
    SetGameVar(27, 0);
    Flow();
    EXPECT_TRUE(IsPaused());
    SetPaused(false);
    SetGameVar(26, kPhaseResult);
    SetGameVar(116, 0);
    const int32_t stageWord = GetConfigVar(36);
    Flow();
    EXPECT_EQ(GetGameVar(116), 1);
    EXPECT_EQ(GetConfigVar(36), stageWord + 1);
    EXPECT_EQ(GetGameVar(76), 1);  // a companion after the first stage
    EXPECT_EQ(GetConfigVar(41), 0);
    EXPECT_FALSE(GetConfigVar(kCfgRunFlags) & kRunInPlay);
    EXPECT_TRUE(IsPaused());
    // Nobody left: straight to the ending.
    SetGameVar(100, 0);
    SetGameVar(26, kPhaseResult);
    SetGameVar(27, 3);
    Flow();
    EXPECT_EQ(GetGameVar(26), kPhaseEnding);
    EXPECT_TRUE(GetConfigVar(kCfgRunFlags) & kRunResume);
}

TEST_F(GameFlowTest, WeatherEffectsByKind) {
    NewGame();
    struct Case {
        int32_t effect;
        int32_t age;
        int sprites;  // made in that frame
    };
    const Case cases[] = {
        {1, 0, 10},              // a screen's worth at first (640 x 480 / 30720)
        {1, 2, 0},  {1, 60, 1},  // then one a second
        {2, 5, 8},               // four drops and four splashes a frame
        {3, 1, 10}, {3, 7, 4},  {0, 0, 0},
    };
    const int map = GetMapObject();
    for (const Case& c : cases) {
        ResetTweens();
        for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
            if (GetField(kPropKind, s) == 0x60000000) ReleaseSlot(s);
        SetField(26, map, c.effect);
        SetField(kPropAge, map, c.age);
        UpdateMapObject(map);
        EXPECT_EQ(CountObjectsOfKind(0x60000000), c.sprites) << c.effect << " " << c.age;
    }
}

TEST_F(GameFlowTest, SkyFollowsWeatherAndClock) {
    NewGame();
    struct Case {
        int32_t weather, override, clock;
        int32_t index;
    };
    const Case cases[] =
        {
            {0, -1, 0, 0},    {0, -1, 1600 * 4, 4}, {0, -1, 1600 * 7, 1}, {1, -1, 0, 1},
            {3, -1, 5000, 0}, {5, -1, 0, 3},        {6, -1, 0, 7},        {7, -1, 0, 6},
            {0, 6, 0, 7},  // a one-frame override wins over the weather
        };
    for (const Case& c : cases) {
        SetGameVar(26, kPhasePlay);
        SetGameVar(112, c.weather);
        SetGameVar(115, c.override);
        SetGameVar(113, c.clock);
        Flow();
        EXPECT_EQ(GetGameVar(114), c.index) << c.weather << " " << c.clock;
        EXPECT_EQ(GetGameVar(115), -1);
    }
    // The colour eases a step a frame toward the table, and jumps at a stage's first frame.
    SetGameVar(112, 6);  // black
    SetGameVar(23, static_cast<int32_t>(0x0a0b0cffu));
    Flow();
    EXPECT_EQ(static_cast<uint32_t>(GetGameVar(23)), 0x090a0bffu);
    SetGameVar(26, kPhaseStageStart);
    SetGameVar(27, 0);
    SetGameVar(112, 6);
    SetGameVar(23, static_cast<int32_t>(0x0a0b0cffu));
    Flow();
    EXPECT_EQ(static_cast<uint32_t>(GetGameVar(23)), kSkyColors[7]);
}

TEST_F(GameFlowTest, EveningSoundsAtTheirHours) {
    NewGame();
    SetField(kPropAge, GetMasterObject(), 100);
    struct Case {
        int32_t clock, weather;
        int se;
        bool played;
    };
    const Case cases[] = {
        {3200, 0, 22, true}, {3200, 3, 22, false}, {3201, 0, 22, false}, {3200, 4, 22, true}};
    for (const Case& c : cases) {
        ClearSe();
        SetGameVar(26, kPhasePlay);
        SetGameVar(27, 10);
        SetGameVar(113, c.clock);
        SetGameVar(112, c.weather);
        Flow();
        EXPECT_EQ(SePlayed(c.se), c.played) << c.clock << " " << c.weather;
    }
    // The evening event: marked at 6400, its sound at 6430 once marked.
    SetGameVar(26, kPhasePlay);
    SetGameVar(120, 5000);
    SetGameVar(112, 0);
    SetGameVar(113, 6400);
    Flow();
    EXPECT_TRUE(static_cast<uint32_t>(GetGameVar(118)) & 0x40000000u);
    ClearSe();
    SetGameVar(113, 6430);
    Flow();
    EXPECT_TRUE(SePlayed(21));
}

TEST_F(GameFlowTest, EndingAwardsItsIconByRun) {
    struct Case {
        int32_t difficulty, starts, runs;
        int icon;
    };
    const Case cases[] = {{0, 0, 0, 6}, {1, 0, 0, 14}, {1, 3, 0, 6}, {2, 0, 40, 21}};
    for (const Case& c : cases) {
        SetUp();
        NewGame();
        SetConfigVar(kCfgNewGameCount, c.starts);
        SetGameVar(64, c.difficulty);
        SetGameVar(70, c.runs);
        SetGameVar(116, 5);
        SetGameVar(26, kPhaseEnding);
        SetGameVar(27, 0);
        Flow(360);
        EXPECT_EQ(GetConfigVar(55), 0);
        Flow();  // t = 360
        EXPECT_EQ(GetConfigVar(55), 1 << c.icon) << c.difficulty << " " << c.runs;
        EXPECT_EQ(GetConfigVar(42), c.difficulty);
        EXPECT_EQ(GetGameVar(67), c.icon + 32 + 1);  // its notice is raised
        Flow(40);
        EXPECT_EQ(GetGameVar(kGameVarSceneRequest), kRequestTitle);
    }
}

}  // namespace
}  // namespace velmora
