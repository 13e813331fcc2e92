#include "game/core/game_vars.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <random>
#include <vector>

#include "game/core/fresh_process.h"
#include "game/core/object_pool.h"

namespace velmora {
namespace {

class GameVarsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAllObjects(); }

    // A live object of class 2 linked into the list, as a spawner would make it.
    static int MakeObject() {
        const int s = AllocSlot();
        SetField(kPropKind, s, 0x20000005);
        InsertObjectBefore(kFirstClassMarker + 2, s);
        return s;
    }
};

TEST_F(GameVarsTest, GameVariablesAreTheMasterObjectsProperties) {
    const int master = MakeObject();
    SetMasterObject(master);
    EXPECT_EQ(SetGameVar(40, 7), 7);
    EXPECT_EQ(GetField(40, master), 7);
    EXPECT_EQ(AddGameVar(40, 5), 12);
    EXPECT_EQ(IncGameVar(40), 13);
    EXPECT_EQ(DecGameVar(40), 12);
    EXPECT_EQ(IncGameVarUpTo(40, 13), 13);
    EXPECT_EQ(IncGameVarUpTo(40, 13), 13);
    SetGameVar(41, 0);
    EXPECT_EQ(DecGameVar(41), 0);
    // Numbers outside the row store nothing and read 0.
    SetGameVar(128, 5);
    SetGameVar(-1, 5);
    EXPECT_EQ(GetGameVar(128), 0);
    EXPECT_EQ(GetGameVar(-1), 0);
}

TEST_F(GameVarsTest, ResetPointsTheGameVariablesAwayFromAnyObject) {
    const int master = MakeObject();
    SetMasterObject(master);
    SetGameVar(0, 0x20000001);
    SetGameVar(50, 99);

    ResetAllObjects();
    EXPECT_EQ(GetGameVar(0), 0);
    EXPECT_EQ(GetGameVar(50), 0);
    // The next object to take the old master's slot is not what the variables read or write.
    int reused = -1;
    while (reused != master) reused = MakeObject();
    SetGameVar(50, 4);
    EXPECT_EQ(GetField(50, master), 0);
    EXPECT_EQ(GetGameVar(0), 0);
    // And the scratch row is zeroed by the next reset too.
    ResetAllObjects();
    EXPECT_EQ(GetGameVar(50), 0);
}

TEST_F(GameVarsTest, AddScoreClampsAndIgnoresOtherPlayers) {
    struct Case {
        int player;
        int32_t start, add, expected;
    };
    for (const Case& c : std::vector<Case>{{0, 0, 100, 100},
                                           {1, 50, -80, 0},
                                           {2, 9999990, 100, kMaxScore},
                                           {3, 0, INT32_MIN, 0},
                                           {3, kMaxScore, INT32_MAX, kMaxScore}}) {
        SetGameVar(kGameVarScore0 + c.player, c.start);
        AddScore(c.player, c.add);
        EXPECT_EQ(GetGameVar(kGameVarScore0 + c.player), c.expected) << c.player << " " << c.add;
    }
    SetGameVar(kGameVarScore0 + 4, 0);
    AddScore(4, 10);
    AddScore(-1, 10);
    EXPECT_EQ(GetGameVar(kGameVarScore0 + 4), 0);
}

TEST_F(GameVarsTest, IconsBelow32RaiseTheNoticeOnlyWhenFirstOwned) {
    AwardIcon(5);
    EXPECT_EQ(GetGameVar(kGameVarItemNotice), 6);
    EXPECT_EQ(GetGameVar(kGameVarIconsOwned), 1 << 5);
    SetGameVar(kGameVarItemNotice, 0);
    AwardIcon(5);
    EXPECT_EQ(GetGameVar(kGameVarItemNotice), 0);

    AwardIcon(31);
    EXPECT_EQ(static_cast<uint32_t>(GetGameVar(kGameVarIconsOwned)), 0x80000020u);

    AwardIcon(40);
    EXPECT_EQ(GetGameVar(kGameVarItemNotice), 41);
    SetGameVar(kGameVarItemNotice, 0);
    AwardIcon(40);
    EXPECT_EQ(GetGameVar(kGameVarItemNotice), 41);

    SetGameVar(kGameVarItemNotice, 0);
    AwardIcon(64);
    AwardIcon(-1);
    EXPECT_EQ(GetGameVar(kGameVarItemNotice), 0);
}

TEST(GameRandomTest, RandomFollowsXorshift128FromThePublishedSeeds) {
    ExpectAtProgramStart([] {
        const uint32_t expected[] = {3701687786u, 458299110u, 2500872618u, 3633119408u, 516391518u};
        bool ok = SameAtStart("Random(0)", Random(0), 0);  // does not advance
        for (uint32_t w : expected)
            ok = SameAtStart("Random(INT32_MAX)", Random(INT32_MAX), w % 0x80000000u) && ok;
        return ok;
    });
}

TEST(GameRandomTest, SecondGeneratorRunsOnItsOwnState) {
    ExpectAtProgramStart([] {
        bool ok = SameAtStart("Random(1000)", Random(1000), 3701687786u % 1001);
        ok = SameAtStart("first NextXorshift", NextXorshift(), 3701687786u) && ok;
        ok = SameAtStart("second NextXorshift", NextXorshift(), 458299110u) && ok;
        SeedSecondRandom(5);
        if (NextXorshift() == 2500872618u) {
            std::fputs("seeding the second generator changed nothing\n", stderr);
            ok = false;
        }
        ok = SameAtStart("Random after the second", Random(INT32_MAX), 458299110u % 0x80000000u) &&
             ok;
        return ok;
    });
}

TEST(GameRandomTest, RandomStaysInRangeAndRefusesEmptyRanges) {
    for (int i = 0; i < 200; ++i) {
        const int32_t r = Random(1);
        EXPECT_TRUE(r == 0 || r == 1);
        const int32_t d = Random(5);
        EXPECT_GE(d, 0);
        EXPECT_LE(d, 5);
    }
    // -1 would divide by zero; nothing below 0 is a range.
    EXPECT_EQ(Random(-1), 0);
    EXPECT_EQ(Random(-100), 0);
    EXPECT_EQ(Random(INT32_MIN), 0);
}

TEST(GameRandomTest, LcgStepsAndReturnsTheLow16Bits) {
    SeedLcg(1);
    for (int32_t v : {33322, 27551, 30832, 39789, 38694}) EXPECT_EQ(NextLcg(), v);
}

TEST(ScrambleBufferTest, KeystreamStartsFromItsSeed) {
    const std::array<uint8_t, 8> zeros{};
    std::array<uint8_t, 8> out{};
    ScrambleBuffer(zeros.data(), out.data(), 0, out.size());
    EXPECT_EQ(out, (std::array<uint8_t, 8>{206, 115, 180, 97, 10, 255, 80, 205}));
}

TEST(ScrambleBufferTest, TwiceGivesTheInputBackAndStretchesStandAlone) {
    std::vector<uint8_t> plain(300);
    std::iota(plain.begin(), plain.end(), uint8_t{7});
    std::vector<uint8_t> scrambled(plain.size()), back(plain.size());
    ScrambleBuffer(plain.data(), scrambled.data(), 0, plain.size());
    EXPECT_NE(scrambled, plain);
    ScrambleBuffer(scrambled.data(), back.data(), 0, plain.size());
    EXPECT_EQ(back, plain);

    // A stretch from its offset matches the same bytes of the whole, also in place.
    std::vector<uint8_t> part(100);
    ScrambleBuffer(plain.data(), part.data(), 150, part.size());
    EXPECT_TRUE(std::equal(part.begin(), part.end(), scrambled.begin() + 150));
    std::vector<uint8_t> inPlace = scrambled;
    ScrambleBuffer(inPlace.data(), inPlace.data(), 0, inPlace.size());
    EXPECT_EQ(inPlace, plain);
}

TEST(AngleTest, VectorAngleTable) {
    struct Case {
        int32_t x1, y1, x2, y2, expected;
    };
    for (const Case& c : std::vector<Case>{{0, 0, 5, 0, 0},
                                           {0, 0, 0, 5, 54000},
                                           {0, 0, -5, 0, 108000},
                                           {0, 0, 0, -5, 162000},
                                           {3, 3, 3, 3, 54000},
                                           {0, 0, 1, 1, 27000},
                                           {0, 0, 1, -1, 189000},
                                           {0, 0, -1, 1, 81000},
                                           {0, 0, -1, -1, 135000},
                                           {10, 20, 13, 24, 31878},
                                           {0, 0, -7, 2, 98432},
                                           {0, 0, 100, -1, 215657}}) {
        EXPECT_EQ(VectorAngle(c.x1, c.y1, c.x2, c.y2), c.expected)
            << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2;
    }
}

TEST(AngleTest, TurnTowardTable) {
    struct Case {
        int32_t a, target, n, expected;
    };
    for (const Case& c : std::vector<Case>{
             {0, 100, 10, 10},    // toward
             {0, 100, 500, 100},  // stops on the target
             {100, 0, 30, 70},
             {50, 50, 9, 50},
             {10, 200000, 5, 5},  // the short way crosses the wrap: away numerically
             {5, 200000, 10, 215995},
             {215990, 5, 20, 10},       // normalised only at the end, so it passes 5
             {-10, 215980, 5, 215985},  // a is normalised first
             {0, 100, 0, 0},
             {0, 100, -3, 0},
         }) {
        EXPECT_EQ(TurnToward(c.a, c.target, c.n), c.expected)
            << c.a << " -> " << c.target << " by " << c.n;
    }
}

// The rule one unit step at a time, as the folded form must reproduce it.
int32_t TurnTowardStepwise(int32_t a, int32_t target, int32_t n) {
    int64_t cur = NormaliseAngle(a);
    for (int32_t i = 0; i < n; ++i) {
        const int64_t d = static_cast<int64_t>(target) - cur;
        if (d >= 108000 || d <= -108000)
            cur += d < 0 ? 1 : -1;
        else if (d != 0)
            cur += d < 0 ? -1 : 1;
    }
    return static_cast<int32_t>(((cur % 216000) + 216000) % 216000);
}

TEST(AngleTest, TurnTowardEqualsTheStepwiseRule) {
    std::mt19937 gen(240101);
    std::uniform_int_distribution<int32_t> angle(-700000, 700000);
    std::uniform_int_distribution<int32_t> steps(0, 216000);
    for (int i = 0; i < 300; ++i) {
        const int32_t a = angle(gen), target = angle(gen);
        const int32_t n = i % 10 == 0 ? 216000 : steps(gen);
        ASSERT_EQ(TurnToward(a, target, n), TurnTowardStepwise(a, target, n))
            << a << " -> " << target << " by " << n;
    }
}

TEST(AngleTest, NormaliseAndMirror) {
    EXPECT_EQ(NormaliseAngle(-216000), 0);
    EXPECT_EQ(NormaliseAngle(-1), 215999);
    EXPECT_EQ(NormaliseAngle(216001), 1);
    EXPECT_EQ(NormaliseAngle(-500000), 148000);
    EXPECT_EQ(MirrorAngle(0), 108000);
    EXPECT_EQ(MirrorAngle(54000), 54000);
    EXPECT_EQ(MirrorAngle(27000), 81000);
    EXPECT_EQ(MirrorAngle(162000), 162000);
    EXPECT_EQ(MirrorAngle(189000), 135000);
}

TEST(AngleTest, PolarOffsetHoldsTheAngleInSinglePrecision) {
    struct Case {
        int32_t a, r, x, y;
    };
    for (const Case& c : std::vector<Case>{{0, 100, 100, 0},
                                           {54000, 100, 0, 99},  // sin just under 1
                                           {27000, 100, 70, 70},
                                           {108000, 100, -99, 0},
                                           {36000, 1000, 499, 866}}) {
        int32_t x = -1, y = -1;
        PolarOffset(&x, &y, c.a, c.r);
        EXPECT_EQ(x, c.x) << c.a;
        EXPECT_EQ(y, c.y) << c.a;
        AddPolarOffset(&x, &y, c.a, c.r);
        EXPECT_EQ(x, 2 * c.x);
        EXPECT_EQ(y, 2 * c.y);
    }
}

TEST(MathTest, DistanceAndLogarithms) {
    EXPECT_EQ(DistanceSq(1, 2, 4, 6), 25);
    EXPECT_EQ(DistanceSq(-3, 0, 0, 4), 25);
    EXPECT_EQ(DistanceSq(0, 0, 65536, 0), 0);  // 32-bit arithmetic wraps

    struct Case {
        int32_t v, expected;
    };
    for (const Case& c : std::vector<Case>{{1, 0},
                                           {2, 1},
                                           {3, -1},
                                           {256, 8},
                                           {1 << 30, 30},
                                           {(1 << 30) + 1, -1},  // used to loop for ever
                                           {INT32_MAX, -1},
                                           {0, -1},
                                           {-8, -1},
                                           {INT32_MIN, -1}}) {
        EXPECT_EQ(ExactLog2(c.v), c.expected) << c.v;
    }
    EXPECT_EQ(ExactLog(3, 81), 4);
    EXPECT_EQ(ExactLog(3, 1), 0);
    EXPECT_EQ(ExactLog(3, 80), -1);
    EXPECT_EQ(ExactLog(2, 1 << 16), -1);  // k must be below 16
    EXPECT_EQ(ExactLog(-2, -8), 3);
    EXPECT_EQ(ExactLog(100000, 7), -1);
}

TEST(MathTest, RectsBitsAndWaves) {
    EXPECT_TRUE(RectsOverlap(0, 0, 10, 10, 9, 9, 5, 5));
    EXPECT_FALSE(RectsOverlap(0, 0, 10, 10, 10, 0, 5, 5));   // touching edges only
    EXPECT_FALSE(RectsOverlap(0, 0, 0, 10, -5, 0, 10, 10));  // no area
    EXPECT_TRUE(TestBit(0x80000000u, 31));
    EXPECT_FALSE(TestBit(0x80000000u, 30));
    EXPECT_FALSE(TestBit(0xffffffffu, 32));
    EXPECT_FALSE(TestBit(0xffffffffu, -1));
    EXPECT_EQ(WaveTable32(7), 11);
    EXPECT_EQ(WaveTable32(15), 3);
    EXPECT_EQ(WaveTable32(16), 0);
    EXPECT_EQ(WaveTable32(23), -11);
    EXPECT_EQ(WaveTable32(32 + 2), 5);
    EXPECT_EQ(WaveTable16(3), 3);
    EXPECT_EQ(WaveTable16(12), -3);
    EXPECT_EQ(WaveTable16(-1), 0);
}

TEST(ActiveAreaTest, EdgesAreInside) {
    SetActiveArea(-32, -32, 704, 544);
    EXPECT_FALSE(IsOutsideActiveArea(-32, -32));
    EXPECT_FALSE(IsOutsideActiveArea(704, 544));
    EXPECT_TRUE(IsOutsideActiveArea(-33, 0));
    EXPECT_TRUE(IsOutsideActiveArea(705, 0));
    EXPECT_TRUE(IsOutsideActiveArea(0, -33));
    EXPECT_TRUE(IsOutsideActiveArea(0, 545));
}

}  // namespace
}  // namespace velmora
