// The screens over play: the item-get notice, the bonus roulette, the result talk and the
// collection, run through the harness.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/tessra.h"

#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/sound_cue.h"
#include "game/core/sprite_ids.h"
#include "game/frontend/play_windows.h"
#include "game/frontend/windows.h"
#include "game/play/game_flow.h"
#include "game/play/message_store.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "platform/testing.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/harness/pictures.h"

namespace velmora {
namespace {

using velmora_test::Frame;
using velmora_test::GameHarness;
using velmora_test::RunInPlay;

// The last drawn frame's records, as the script sees them at the top of a frame.
std::vector<DrawRecord> DrawnRecords() {
    std::vector<DrawRecord> out;
    for (int r = kDrawListHeads; r < GetDrawRecordCount(); ++r) out.push_back(GetDrawRecord(r));
    return out;
}

bool HasText(const std::vector<DrawRecord>& records, int textId) {
    for (const DrawRecord& d : records)
        if (d.w[kDrawKind] == 33 && d.w[kDrawAngle] == 0 && d.w[kDrawSprite] == textId + 1)
            return true;
    return false;
}

int CountSprite(const std::vector<DrawRecord>& records, int32_t sprite) {
    int n = 0;
    for (const DrawRecord& d : records)
        if (d.w[kDrawKind] != 33 && d.w[kDrawKind] != 6 && d.w[kDrawKind] != 7 &&
            (d.w[kDrawSprite] & kSpriteIdMask) == sprite)
            n += 1;
    return n;
}

bool HasRectangle(const std::vector<DrawRecord>& records, int x1, int y1, int x2, int y2,
                  uint32_t colour) {
    for (const DrawRecord& d : records)
        if ((d.w[kDrawKind] == 6 || d.w[kDrawKind] == 7) && d.w[kDrawX] == x1 &&
            d.w[kDrawY] == y1 && d.w[kDrawX2] == x2 && d.w[kDrawY2] == y2 &&
            static_cast<uint32_t>(d.w[kDrawColor]) == colour)
            return true;
    return false;
}

bool IsLive(int slot, int32_t serial) {
    return slot > 0 && GetField(kPropKind, slot) != 0 && GetField(kPropSerial, slot) == serial;
}

// ---- Item-get notice ----

TEST(ItemGetPictures, TableOfIcons) {
    const struct {
        int32_t icon, sprite;
    } cases[] = {{0, 1408}, {1, 1410}, {2, -1},   {3, 1416},  {4, 2288},  {5, 1414},
                 {6, 1409}, {7, 1413}, {8, 1411}, {9, -1},    {10, 1412}, {11, -1},
                 {16, -1},  {28, -1},  {31, -1},  {32, 1440}, {63, 1471}, {64, -1}};
    for (const auto& c : cases) EXPECT_EQ(ItemGetPictureSprite(c.icon), c.sprite) << c.icon;
}

struct NoticeCase {
    int icon;
    int shotAge;   // the window's age at which SHOT is tapped
    int closeAge;  // the age at which it starts closing
    bool named;    // caption and picture shown
};

// Notices raised one after another in one stage: SHOT counts only from age 21, age 300 closes a
// notice left alone, closing takes 16 frames and then play resumes; an icon past the 64 has its box
// and message but neither caption nor picture.
TEST(ItemGet, ShotFromAge21OrAge300ThenSixteenFramesToResume) {
    const NoticeCase cases[] = {{5, 10, 300, true},
                                {5, 20, 300, true},
                                {5, 21, 21, true},
                                {40, 60, 60, true},
                                {70, 25, 25, false}};
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    size_t i = 0;
    int w = -1;
    int32_t serial = 0, closeAge = -1;
    int64_t closingFrom = -1, goneAt = -1;
    std::vector<int32_t> closeAges, closingFrames, resumeFrames;
    std::vector<bool> captions, pictures, boxes;
    RunInPlay(h, [&](Frame& f, int64_t t) {
        if (i >= std::size(cases)) {
            f.Stop();
            return;
        }
        const NoticeCase& c = cases[i];
        if (w < 0) {
            if (t < 10 || IsPaused()) return;
            SetGameVar(kGameVarItemNotice, c.icon + 1);
            w = 0;
            return;
        }
        if (w == 0) {
            w = GetCurrentWindow();
            serial = GetField(kPropSerial, w);
            ASSERT_EQ(GetField(kPropKind, w) & 0xffff, kWindowItemGet);
        }
        if (IsLive(w, serial)) {
            const int32_t age = GetField(kPropAge, w);
            if (age == c.shotAge) f.Tap(kButtonShot);
            if (closeAge < 0 && GetField(kPropItemClosing, w) == 1) {
                closeAge = age - 1;
                closingFrom = f.total - 1;
            }
            if (age == 22) {
                const std::vector<DrawRecord> drawn = DrawnRecords();
                captions.push_back(HasText(drawn, c.icon < 32 ? 232 + c.icon : 187));
                pictures.push_back(CountSprite(drawn, ItemGetPictureSprite(c.icon)) > 0);
                // At age 21 the box is fully grown: 116 + 20 either side, 8 n + 6 above and below.
                const int n = GetField(kPropWinLines, w);
                boxes.push_back(HasRectangle(drawn, 320 - 116, 240 - (8 * n + 6), 320 + 116 + 40,
                                             240 + (8 * n + 6), 0x3F1F0FCFu));
            }
            return;
        }
        if (goneAt < 0) {
            goneAt = f.total;
            closingFrames.push_back(static_cast<int32_t>(goneAt - 1 - closingFrom));
        }
        if (IsPaused() && f.total < goneAt + 5) return;
        closeAges.push_back(closeAge);
        resumeFrames.push_back(static_cast<int32_t>(f.total - goneAt));
        closeAge = -1;
        goneAt = -1;
        w = -1;
        i += 1;
    });
    ASSERT_EQ(closeAges.size(), std::size(cases));
    for (size_t k = 0; k < std::size(cases); ++k) {
        EXPECT_EQ(closeAges[k], cases[k].closeAge) << k;
        EXPECT_EQ(closingFrames[k], 16) << k;
        EXPECT_EQ(resumeFrames[k], 1) << k;  // the play loop takes the resume the next frame
        EXPECT_EQ(captions[k], cases[k].named) << k;
        EXPECT_EQ(pictures[k], cases[k].named) << k;
        EXPECT_TRUE(boxes[k]) << k;
    }
}

// ---- Bonus roulette ----

// Sends the run into the bonus phase as the tally does, with the difficulty given.
void EnterBonusPhase(int32_t difficulty) {
    SetGameVar(64, difficulty);
    SetGameVar(kGameVarPhase, kPhaseContinue);
    SetGameVar(kGameVarPhaseTime, 0);
}

int FindWindowOfKind(int kind) {
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
        if (GetField(kPropKind, s) == (kWindowClass | kind)) return s;
    return -1;
}

std::vector<int32_t> SortedSlots(int w) {
    std::vector<int32_t> v;
    for (int i = 0; i < kRouletteSlots; ++i) v.push_back(GetField(kPropRouletteSlots + i, w));
    std::sort(v.begin(), v.end());
    return v;
}

// The wheel by difficulty: six misses that are "SUKA" on easy, one of them "POISON" on normal and
// all "POISON" on hard; the other six the same at every difficulty, with the collection icon of
// the stages cleared so far (none: icon 34).
TEST(Roulette, WheelByDifficulty) {
    const struct {
        int32_t difficulty;
        std::vector<int32_t> slots;
    } cases[] = {{0, {0, 1, 2, 3, 7, 9, 9, 9, 9, 9, 9, 34}},
                 {1, {0, 1, 2, 3, 4, 7, 9, 9, 9, 9, 9, 34}},
                 {2, {0, 1, 2, 3, 4, 4, 4, 4, 4, 4, 7, 34}}};
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    size_t i = 0;
    int w = -1;
    std::vector<std::vector<int32_t>> seen;
    RunInPlay(h, [&](Frame& f, int64_t t) {
        if (t < 10) return;
        if (i >= std::size(cases)) {
            f.Stop();
            return;
        }
        if (w < 0) {
            // Each wheel is built in the window's first frame.
            SetGameVar(64, cases[i].difficulty);
            w = OpenMenuWindow(0, 0, 0, 0, 0, kWindowRoulette);
            return;
        }
        if (GetField(kPropAge, w) == 1) {
            seen.push_back(SortedSlots(w));
            SetFieldBits(kPropFlags, w, kFlagDead);
            w = -1;
            i += 1;
        }
    });
    ASSERT_EQ(seen.size(), std::size(cases));
    for (size_t k = 0; k < seen.size(); ++k) EXPECT_EQ(seen[k], cases[k].slots) << k;
}

// The pointer starts at any of 13 values 0..12 (12 pointing at slot 0 as 0 does), from the
// engine's random numbers.
TEST(Roulette, StartTakesThirteenValues) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    std::set<int32_t> starts;
    RunInPlay(h, [&](Frame& f, int64_t t) {
        if (t < 10) return;
        for (uint32_t seed = 1; seed <= 300; ++seed) {
            SeedEngineRandom(seed);
            const int w = OpenMenuWindow(0, 0, 0, 0, 0, kWindowRoulette);
            ASSERT_GE(w, 0);
            ResetDrawList();
            UpdateRouletteWindow(w);
            starts.insert(GetField(kPropWinValue, w));
            CloseWindow(w);
            FreeObject(w);
        }
        ResetDrawList();
        f.Stop();
    });
    EXPECT_EQ(starts.size(), 13u);
    EXPECT_EQ(*starts.begin(), 0);
    EXPECT_EQ(*starts.rbegin(), 12);
}

struct RewardCase {
    const char* name;
    int32_t value;
    std::vector<std::pair<int, int32_t>> vars;  // game variables set before
    int32_t maxHp;                              // player 0's maximum life before
    uint32_t owned;                             // settings word 55 before
    bool playback;
    std::vector<std::pair<int, int32_t>> varsAfter;
    int32_t maxHpAfter;
    int32_t points;
    uint32_t ownedAfter;
    int se;
};

class RouletteReward : public ::testing::TestWithParam<RewardCase> {};

TEST_P(RouletteReward, Table) {
    const RewardCase& c = GetParam();
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    int32_t score = 0, hp = 0, shownHp = 0;
    bool sounded = false;
    RunInPlay(h, [&](Frame& f, int64_t t) {
        if (t < 10) return;
        for (auto [n, v] : c.vars) SetGameVar(n, v);
        SetPlayerField(0, kPropMaxHp, c.maxHp);
        SetPlayerField(0, kPropHp, c.maxHp);
        SetConfigVar(kCfgCollection, static_cast<int32_t>(c.owned));
        const int32_t flags = GetConfigVar(kCfgRunFlags);
        if (c.playback) SetConfigVar(kCfgRunFlags, flags | kRunPlayback);
        StopAllSe();
        const int32_t before = GetGameVar(kGameVarScore0);
        ApplyRouletteReward(0, c.value);
        score = GetGameVar(kGameVarScore0) - before;
        hp = GetPlayerField(0, kPropHp);
        shownHp = GetPlayerField(0, kPropShownHp);
        sounded = IsSePlaying(c.se);
        SetConfigVar(kCfgRunFlags, flags);
        for (auto [n, v] : c.varsAfter) EXPECT_EQ(GetGameVar(n), v) << "variable " << n;
        EXPECT_EQ(GetPlayerField(0, kPropMaxHp), c.maxHpAfter);
        EXPECT_EQ(static_cast<uint32_t>(GetConfigVar(kCfgCollection)), c.ownedAfter);
        f.Stop();
    });
    EXPECT_EQ(score, c.points);
    EXPECT_TRUE(sounded);
    if (c.value == 2) {
        EXPECT_EQ(hp, c.maxHpAfter);
    }
    if (c.value == 4) {
        EXPECT_LT(hp, c.maxHp);
        EXPECT_EQ(shownHp, hp);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rows, RouletteReward, ::testing::Values(
    RewardCase{"AttackUp", 0, {{80, 3}}, 50, 0, false, {{80, 4}}, 50, 0, 0, 27},
    RewardCase{"AttackAtCap", 0, {{80, 8}}, 50, 0, false, {{80, 8}}, 50, 1000, 0, 27},
    RewardCase{"RangeAtCap", 1, {{84, 8}}, 50, 0, false, {{84, 8}}, 50, 1000, 0, 27},
    RewardCase{"LifeMaxUp", 2, {{92, 1}}, 60, 0, false, {{92, 2}}, 70, 0, 0, 27},
    RewardCase{"LifeMaxUpToHundred", 2, {{92, 1}}, 90, 0, false, {{92, 2}}, 100, 0, 0, 27},
    RewardCase{"LifeMaxUpAt95", 2, {{92, 4}}, 95, 0, false, {{92, 4}}, 100, 10000, 0, 27},
    RewardCase{"GuardAtCap", 3, {{88, 8}}, 50, 0, false, {{88, 8}}, 50, 500, 0, 27},
    RewardCase{"Poison", 4, {{88, 0}}, 100, 0, false, {}, 100, 3000, 0, 10},
    RewardCase{"LifeExtend", 7, {{100, 3}}, 50, 0, false, {{100, 4}}, 50, 0, 0, 18},
    RewardCase{"LifeExtendAtNine", 7, {{100, 9}}, 50, 0, false, {{100, 9}}, 50, 3000, 0, 18},
    RewardCase{"Suka", 9, {}, 50, 0, false, {}, 50, 0, 0, 9},
    RewardCase{"OtherValue", 5, {}, 50, 0, false, {}, 50, 0, 0, 9},
    RewardCase{"NewIcon", 34, {}, 50, 0x1, false, {}, 50, 0, 0x5, 4},
    RewardCase{"OwnedIcon", 34, {}, 50, 0x4, false, {}, 50, 0, 0x4, 4},
    RewardCase{"HighIcon", 61, {}, 50, 0, false, {}, 50, 0, 0x20000000, 4},
    RewardCase{"IconOnPlayback", 35, {}, 50, 0, true, {}, 50, 0, 0, 4}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// The game's own bonus phase: the roulette spins from age 30, stops by itself at age 600 on the
// slot then pointed at and rewards it, shows it to state 120, then, with no other player, sets
// the result phase; the HUD is drawn once a frame (the walk draws it while the phase runs).
TEST(Roulette, StopsAtSixHundredAndHandsOverToTheResult) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    int w = -1;
    int32_t serial = 0, stopAge = -1, pointedValue = -1, valueAtStop = -1;
    int32_t phaseAfter = -1, resultKind = -1;
    int hudPanels = -1;
    int64_t stopFrame = -1, goneFrame = -1;
    bool moved = false;
    // The spin: ages at which the pointer moved from age 29 to 130, and by how much.
    std::vector<int32_t> stepAges, steps;
    int32_t lastValue = 0;
    RunInPlay(h, [&](Frame& f, int64_t t) {
        if (t == 10) EnterBonusPhase(1);
        if (t <= 10) return;
        if (w < 0) {
            w = FindWindowOfKind(kWindowRoulette);
            if (w > 0) serial = GetField(kPropSerial, w);
            return;
        }
        if (IsLive(w, serial)) {
            const int32_t age = GetField(kPropAge, w);
            const int32_t s = GetField(kPropRouletteState, w);
            if (age == 29) valueAtStop = GetField(kPropWinValue, w);
            if (age >= 29 && age <= 130) {
                const int32_t v = GetField(kPropWinValue, w);
                if (age > 29 && v != lastValue) {
                    stepAges.push_back(age);
                    steps.push_back(v - lastValue);
                }
                lastValue = v;
            }
            if (age == 100) {
                moved = GetField(kPropWinValue, w) != valueAtStop;
                hudPanels = CountSprite(DrawnRecords(), sprite::kHudPanel);
            }
            if (stopAge < 0 && s == 2) {
                stopAge = age - 1;
                stopFrame = f.total;
                const int32_t v = GetField(kPropWinValue, w);
                pointedValue = GetField(kPropRouletteSlots + v % kRouletteSlots, w);
            }
            return;
        }
        if (goneFrame < 0) {
            goneFrame = f.total;
            phaseAfter = GetGameVar(kGameVarPhase);
        }
        const int result = FindWindowOfKind(kWindowResult);
        if (result > 0) {
            resultKind = GetField(kPropWinValue, result);
            f.Stop();
        }
        if (f.total > goneFrame + 10) f.Stop();
    });
    EXPECT_TRUE(moved);
    // It moves on seven values every fourth frame from age 30 on.
    ASSERT_FALSE(stepAges.empty());
    EXPECT_GE(stepAges.front(), 30);
    EXPECT_LE(stepAges.front(), 34);
    EXPECT_EQ(steps, std::vector<int32_t>(steps.size(), 7));
    std::vector<int32_t> gaps;
    for (size_t k = 1; k < stepAges.size(); ++k) gaps.push_back(stepAges[k] - stepAges[k - 1]);
    EXPECT_EQ(gaps, std::vector<int32_t>(gaps.size(), 4));
    EXPECT_GE(stepAges.back(), 127);
    EXPECT_EQ(stopAge, 600);
    EXPECT_GE(pointedValue, 0);
    // Shown from state 2 to 120, then three absent players are passed in a frame each.
    EXPECT_EQ(goneFrame - stopFrame, 119 + 4);
    EXPECT_EQ(phaseAfter, kPhaseResult);
    EXPECT_EQ(resultKind, 0);
    EXPECT_EQ(hudPanels, 1);
}

TEST(Roulette, NoPlayerTakingPartGoesToTheResultPhaseInFiveFrames) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    int w = -1;
    int32_t serial = 0;
    std::vector<int32_t> players;
    int64_t openFrame = -1, goneFrame = -1;
    int32_t phase = -1;
    bool wheelDrawn = false;
    RunInPlay(h, [&](Frame& f, int64_t t) {
        if (t == 10) {
            EnterBonusPhase(1);
            SetGameVar(100, 0);  // player 0 has no lives left
        }
        if (t <= 10) return;
        if (w < 0) {
            w = FindWindowOfKind(kWindowRoulette);
            if (w < 0) return;
            serial = GetField(kPropSerial, w);
            openFrame = f.total;
        }
        if (CountSprite(DrawnRecords(), sprite::kPointer) > 0 &&
            CountSprite(DrawnRecords(), sprite::kFieldItem + 9) > 0)
            wheelDrawn = true;
        if (IsLive(w, serial)) {
            players.push_back(GetField(kPropRoulettePlayer, w));
            return;
        }
        goneFrame = f.total;
        phase = GetGameVar(kGameVarPhase);
        f.Stop();
    });
    EXPECT_EQ(players, (std::vector<int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(goneFrame - openFrame, 5);
    // The result phase the roulette set found no player with lives and went on to the ending.
    EXPECT_EQ(phase, kPhaseEnding);
    EXPECT_FALSE(wheelDrawn);
}

// ---- Result ----

int CountPages(int message) {
    int pages = 0, shown = ParseMessage(message, 0);
    while (shown > 0 && pages < 100) {
        pages += 1;
        const int n = ParseMessage(message, shown);
        if (n < 1) break;
        shown += n;
    }
    return pages;
}

// After stages 0..3 a page stays until SHOT (from age 30); the last page's SHOT starts the next
// stage. After the fifth stage (and for a kind beyond it, kept to the fifth) the pages turn by
// themselves after 60 n + 60 frames, 3 fewer for each SHOT, and the last leads to the ending.
class Result : public ::testing::TestWithParam<int> {};

TEST_P(Result, PagesTurnBySHOTOrByThemselvesForTheEnding) {
    const int k = GetParam();
    const int kind = std::min(k, 4);
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    int w = -1;
    int32_t serial = 0, lastShown = -1, pageLines = 0, firstShown = -1;
    int64_t pageFrom = -1;
    int pages = 0, shots = 0;
    bool early = false, wrongLength = false;
    int32_t phaseAfter = -1, storedKind = -1;
    RunInPlay(h, [&](Frame& f, int64_t t) {
        if (t == 10) {
            // As the result phase opens it.
            w = OpenResultWindow(k);
            serial = GetField(kPropSerial, w);
            storedKind = GetField(kPropWinValue, w);
            SetPaused(true);
            SetConfigVar(kCfgRunFlags, GetConfigVar(kCfgRunFlags) & ~kRunInPlay);
        }
        if (t <= 10) return;
        if (!IsLive(w, serial)) {
            phaseAfter = GetGameVar(kGameVarPhase);
            f.Stop();
            return;
        }
        const int32_t age = GetField(kPropAge, w);
        const int32_t shown = GetField(kPropResultShown, w);
        if (age == 1) firstShown = shown;
        if (shown != lastShown) {
            if (pages > 0 && kind == 4) {
                // The page's timer counts a frame each and 3 for each SHOT; it turns the page
                // once past 60 n + 59 (the first page's count began a frame earlier).
                const int64_t count = f.total - pageFrom + 3 * shots + (pages == 1 ? 1 : 0);
                if (count < 60 * pageLines + 60 || count > 60 * pageLines + 63) wrongLength = true;
            }
            pages += 1;
            lastShown = shown;
            pageLines = GetField(kPropWinLines, w);
            pageFrom = f.total;
            shots = 0;
        }
        if (age == 20) f.Tap(kButtonShot);  // too early for either kind
        if (age == 22 && shown != firstShown) early = true;
        const int64_t onPage = f.total - pageFrom;
        if (kind < 4 && age > 40 && onPage % 20 == 8) f.Tap(kButtonShot);
        // Pages after the first are hurried along by a SHOT every other frame.
        if (kind == 4 && age > 40 && pages > 1 && onPage % 2 == 0) {
            f.Tap(kButtonShot);
            shots += 1;
        }
    });
    EXPECT_EQ(storedKind, kind) << k;
    EXPECT_FALSE(early) << k;
    EXPECT_FALSE(wrongLength) << k;
    EXPECT_EQ(pages, CountPages(64 + kind)) << k;
    EXPECT_EQ(phaseAfter, kind == 4 ? kPhaseEnding : kPhaseStageStart) << k;
}

// A stage's result, and a kind past the last stage, which is taken as the ending's.
INSTANTIATE_TEST_SUITE_P(Kinds, Result, ::testing::Values(1, 9));

TEST(ResultPortraits, OnlyTheTenPortraits) {
    EXPECT_EQ(ResultPortraitSprite(0), sprite::kPortrait);
    EXPECT_EQ(ResultPortraitSprite(9), sprite::kPortrait + 9);
    EXPECT_EQ(ResultPortraitSprite(10), -1);
    EXPECT_EQ(ResultPortraitSprite(-1), -1);
    EXPECT_EQ(ResultPortraitSprite(0x7fffffff), -1);
}

// ---- Collection ----

// The icons owned when the screen opened, in two rows of 16, and cancel back to the title.
TEST(Collection, ShowsOwnedIconsAndCancelGoesToTheTitle) {
    velmora_test::HarnessSettings settings;
    settings.words = {{kCfgCollection, static_cast<int32_t>(0x80010005u)}};
    GameHarness h(settings);
    ASSERT_EQ(h.Start(), 0);
    std::vector<DrawRecord> drawn;
    const int32_t result = h.RunScene(kSceneCollection, [&](Frame& f) {
        if (f.scene == 5) {
            drawn = DrawnRecords();
            SetConfigVar(kCfgCollection, -1);  // later gains show on the next visit
        }
        if (f.scene == 40) f.Tap(kButtonSubAction);
        if (f.scene > 200) f.Stop();
    });
    EXPECT_EQ(result, kSceneTitle);
    std::vector<std::pair<int, int>> icons;
    for (const DrawRecord& d : drawn) {
        const int32_t id = d.w[kDrawSprite] & kSpriteIdMask;
        if (d.w[kDrawKind] != 33 && id >= sprite::kIcon && id < sprite::kIcon + 32)
            icons.push_back({id - sprite::kIcon, d.w[kDrawX] * 1000 + d.w[kDrawY]});
    }
    std::sort(icons.begin(), icons.end());
    EXPECT_EQ(icons, (std::vector<std::pair<int, int>>{{0, 48 * 1000 + 368},
                                                       {2, 120 * 1000 + 368},
                                                       {16, 48 * 1000 + 416},
                                                       {31, 588 * 1000 + 416}}));
    EXPECT_TRUE(HasText(drawn, 187));
}

// ---- Pictures ----

// The four screens as a player meets them in the first stage at 640 x 480, written to the
// build's test-output folder for people to look at. Each picture is taken while its window is
// open, shows a drawn screen (not a plain fill) and differs from the picture before it.
TEST(PlayWindowPictures, ItemGetRouletteResultAndCollection) {
    struct Shot {
        std::string name;
        bool written, windowOpen, drawn, changed;
    };
    std::vector<Shot> shots;
    plat::testing::PresentedPicture last;
    auto shoot = [&](const char* name, int kind) {
        const plat::testing::PresentedPicture pic = plat::testing::LastPresentedPicture();
        std::vector<uint32_t> colours;
        for (int y = pic.height / 4; y < pic.height * 3 / 4 && colours.size() <= 16; ++y)
            for (int x = pic.width / 4; x < pic.width * 3 / 4; ++x) {
                const uint32_t c = pic.rgb[static_cast<size_t>(y) * pic.width + x];
                if (std::find(colours.begin(), colours.end(), c) == colours.end())
                    colours.push_back(c);
            }
        shots.push_back({name, velmora_test::WritePicture(pic, name), FindWindowOfKind(kind) > 0,
                         colours.size() > 16, pic.rgb != last.rgb});
        last = pic;
    };
    {
        GameHarness h;
        ASSERT_EQ(h.Start(), 0);
        int step = 0, w = -1;
        int64_t from = -1;
        RunInPlay(h, [&](Frame& f, int64_t t) {
            if (t == 20) {
                SetGameVar(kGameVarItemNotice, 6);  // the banana
                from = f.total;
            }
            if (step == 0 && from >= 0 && f.total == from + 40) {
                shoot("item_get.png", kWindowItemGet);
                w = GetCurrentWindow();
                f.Tap(kButtonShot);
                step = 1;
            }
            if (step == 1 && !IsPaused() && t > 100) {
                SetGameVar(116, 1);  // after the second stage: the talk of message 65
                EnterBonusPhase(1);
                step = 2;
                from = f.total;
            }
            if (step == 2 && f.total == from + 80) shoot("roulette_spin.png", kWindowRoulette);
            if (step == 2 && f.total == from + 90) f.Tap(kButtonShot);
            if (step == 2 && f.total == from + 100) shoot("roulette_stop.png", kWindowRoulette);
            if (step == 2 && (w = FindWindowOfKind(kWindowResult)) > 0) {
                step = 3;
                from = f.total;
            }
            if (step == 3 && f.total == from + 90) shoot("result.png", kWindowResult);
            if (step == 3 && f.total == from + 95) f.Tap(kButtonShot);
            if (step == 3 && f.total == from + 110) {
                shoot("result_page2.png", kWindowResult);
                f.Stop();
            }
        });
    }
    velmora_test::HarnessSettings settings;
    settings.words = {{kCfgCollection, static_cast<int32_t>(0x2001000Fu)}};
    GameHarness collection(settings);
    ASSERT_EQ(collection.Start(), 0);
    collection.RunScene(kSceneCollection, [&](Frame& f) {
        if (f.scene == 40) {
            shoot("collection.png", kWindowCollection);
            f.Stop();
        }
    });
    const std::vector<std::string> names = {"item_get.png",      "roulette_spin.png",
                                            "roulette_stop.png", "result.png",
                                            "result_page2.png",  "collection.png"};
    ASSERT_EQ(shots.size(), names.size());
    for (size_t k = 0; k < shots.size(); ++k) {
        const Shot& s = shots[k];
        EXPECT_EQ(s.name, names[k]);
        EXPECT_TRUE(s.written) << s.name;
        EXPECT_TRUE(s.windowOpen) << s.name;
        EXPECT_TRUE(s.drawn) << s.name;
        EXPECT_TRUE(s.changed) << s.name;
    }
}

}  // namespace
}  // namespace velmora
