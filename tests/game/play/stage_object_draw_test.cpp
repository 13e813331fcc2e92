#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "draw_support.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/sprite_ids.h"
#include "game/play/draw.h"
#include "game/play/large_enemies.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace velmora {
namespace {

using testing_draw::OnLayer;
using testing_draw::Queued;
using testing_draw::QueuedRecords;
using testing_draw::Where;
using testing_draw::WithSprite;

constexpr int kW = 640, kH = 480;

// Stage objects set up by hand, drawn as the walk draws them.
class StageObjectDrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_draw::SetUpDrawScene(0x9f9f9fffu);
        SetActiveArea(-32, -32, kW + 64, kH + 64);
        ResetDrawList();
    }
    // A stage object of type t at (x, y) on layer 9.
    static int Make(int type, int variant, int32_t x = 200, int32_t y = 160) {
        const int s = SpawnObject(x, y, 9, 32 + type, 0x30000000 | type);
        EXPECT_GT(s, 0);
        SetField(kPropDrawWord, s, 32 + type);
        SetField(kPropVariant, s, variant);
        SetField(kPropAge, s, 200);
        SetField(54, s, 100);
        SetField(55, s, 100);
        return s;
    }
    static void Draw(int slot) {
        ResetDrawList();
        const int before = GetCurrentObject();
        SetCurrentObject(slot);
        DrawObject(GetField(kPropDrawWord, slot));
        SetCurrentObject(before);
    }
    static bool Has(int32_t sprite) { return !WithSprite(sprite).empty(); }
    static uint32_t Tint() { return 0xffffffffu; }  // 0x9f9f9f + 96 on each channel
};

TEST_F(StageObjectDrawTest, ASampleOfEachType) {
    struct Case {
        int type, variant;
        int32_t sprite;  // a sprite the picture must hold
        int layer;
    } cases[] = {
        {1, 0, sprite::kGenerator, 9},      {4, 2, sprite::kColorGate + 2, 9},
        {4, 9, sprite::kSwitchGateShut, 9}, {5, 0, sprite::kCandle, 9},
        {6, 0, sprite::kLeafBody + 1, 9},   {7, 3, sprite::kFieldItem + 3, 9},
        {7, 10, sprite::kDoll, 9},          {8, 0, sprite::kLeafBody + 9, 9},
        {9, 0, sprite::kBreakWall, 9},      {10, 0, sprite::kSaucer, 9},
        {10, 12, sprite::kSaucerBig, 9},    {11, 0, sprite::kKabochaFace, 9},
        {12, 1, sprite::kBigLeaf, 9},       {12, 3, sprite::kBigLeafSingle, 9},
        {13, 0, sprite::kKanameStone, 9},   {14, 0, sprite::kBossPart, 9},
    };
    for (const Case& c : cases) {
        const int s = Make(c.type, c.variant);
        Draw(s);
        const auto found = WithSprite(c.sprite);
        ASSERT_FALSE(found.empty()) << c.type << "/" << c.variant;
        EXPECT_EQ(found[0].layer, c.layer) << c.type;
        EXPECT_NE(found[0].depth(), kNoDepth) << c.type;
        EXPECT_GE(found[0].depth(), 160) << c.type;
        // Every picture casts its shadow one layer down; a buried leaf's lies on the ground.
        EXPECT_FALSE(OnLayer(c.type == 6 ? 6 : 8).empty()) << c.type;
        FreeObject(s);
    }
}

TEST_F(StageObjectDrawTest, NothingOutsideTheActiveArea) {
    for (int type = 1; type <= 14; ++type) {
        const int s = Make(type, 1, 2000, 2000);
        Draw(s);
        EXPECT_TRUE(QueuedRecords().empty()) << type;
        FreeObject(s);
    }
}

TEST_F(StageObjectDrawTest, GeneratorShowsItsBroodAndItsRuin) {
    const int s = Make(1, 0);
    struct Case {
        int timer, hp;
        int32_t top;  // 0: none
    } cases[] = {{60, 100, 0},
                 {39, 100, sprite::kGenerator + 1},
                 {30, 100, sprite::kGenerator + 2},
                 {10, 100, sprite::kLeafBody + ((200 / 8) & 3)},
                 {10, 0, 0}};
    for (const Case& c : cases) {
        SetField(28, s, c.timer);
        SetField(54, s, c.hp);
        Draw(s);
        EXPECT_EQ(Has(sprite::kGeneratorBroken), c.hp < 1);
        EXPECT_EQ(OnLayer(9).size(), c.hp < 1 ? 1u : c.top ? 2u : 1u) << c.timer;
        if (c.top) {
            EXPECT_TRUE(Has(c.top)) << c.timer;
        }
    }
}

TEST_F(StageObjectDrawTest, TheGuardsLifeBar) {
    auto bar = [] { return Where([](const Queued& q) { return q.layer == 24 && q.kind() == 6; }); };
    // Variant 1 (the area guard) shows its life at the bottom of the screen.
    const int g = Make(3, 1);
    SetField(54, g, 30);
    SetField(55, g, 120);
    SetField(kPropAge, g, 10);
    Draw(g);
    auto b = bar();
    ASSERT_EQ(b.size(), 2u);
    const Queued& frame = b[0].colour() == 0x802020c0u ? b[0] : b[1];
    const Queued& fill = b[0].colour() == 0x802020c0u ? b[1] : b[0];
    EXPECT_EQ(frame.x(), kW / 2 - 40 - 2);
    EXPECT_EQ(fill.colour(), 0xffc080ffu);
    EXPECT_EQ(fill.r.w[kDrawX2] - fill.x(), 80 * 30 / 120);
    // Grown to its full half-width.
    SetField(kPropAge, g, 500);
    Draw(g);
    EXPECT_EQ(bar().size(), 2u);
    // A guard with no members yet: the frame without a fill (and no division by zero).
    SetField(55, g, 0);
    Draw(g);
    b = bar();
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].colour(), 0x802020c0u);
    // The event controls made for plain cells (indices 4 and 5 keep variant 0) show no bar.
    for (int variant : {0, 2, 4}) {
        const int e = Make(3, variant);
        SetField(26, e, 4);
        Draw(e);
        EXPECT_TRUE(bar().empty()) << variant;
        FreeObject(e);
    }
}

TEST_F(StageObjectDrawTest, EventMarkersAndBackgrounds) {
    const int hole = Make(3, 5);
    Draw(hole);
    EXPECT_TRUE(Has(sprite::kHole));
    EXPECT_EQ(Where([](const Queued& q) {
                  return q.additive && q.sprite() >= 897 && q.sprite() <= 899;
              }).size(),
              16u);
    SetFieldBits(kPropFlags, hole, kFlagHeld);
    SetField(kPropColor, hole, static_cast<int32_t>(0x123456ffu));
    Draw(hole);
    ASSERT_EQ(QueuedRecords().size(), 1u);
    EXPECT_EQ(QueuedRecords()[0].colour(), 0x123456ffu);
    // The background sheets: the fog level plus one, the last one opaque.
    const int sky = Make(3, 3);
    for (int level : {1, 3, 12}) {
        SetConfigVar(21, level);
        Draw(sky);
        const auto sheets = OnLayer(1);
        ASSERT_FALSE(sheets.empty());
        int opaque = 0;
        for (const Queued& q : sheets) {
            EXPECT_EQ(q.sprite(), sprite::kCloud);
            if ((q.colour() & 0xff) == 255) {
                ++opaque;
            } else {
                EXPECT_EQ(q.colour() & 0xff, 80u);
            }
        }
        EXPECT_GT(opaque, 0);
        EXPECT_LT(static_cast<int>(sheets.size()), 4 * 3 * 4 + 1) << "at most four sheets";
    }
}

TEST_F(StageObjectDrawTest, GatesFollowTheirSwitches) {
    const int sw = Make(4, 10);
    Draw(sw);
    EXPECT_TRUE(Has(sprite::kSwitchGateShut));
    SetGameVar(119, 1 << (16 + 2));
    Draw(sw);
    EXPECT_TRUE(Has(sprite::kSwitchGateOpen));
    EXPECT_EQ(OnLayer(6).size() + OnLayer(9).size(), 1u);
    // A variant past 15 is read as its low four bits, as the gate's routine reads it.
    SetField(kPropVariant, sw, 10 + 112);
    Draw(sw);
    EXPECT_TRUE(Has(sprite::kSwitchGateOpen));
    SetField(kPropVariant, sw, 127);
    SetGameVar(119, 0);
    Draw(sw);
    EXPECT_TRUE(Has(sprite::kSwitchGateShut));
    EXPECT_TRUE(Where([](const Queued& q) {
                    return q.sprite() > sprite::kSwitchGateShut &&
                           q.sprite() < sprite::kSwitchGateShut + 200;
                }).empty());
    // Colour gates lie open, 8 further on and flat on layer 6, when their key bit is set.
    const int cg = Make(4, 1);
    SetGameVar(118, 1 << 25);
    Draw(cg);
    const auto open = WithSprite(sprite::kColorGate + 9);
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].layer, 6);
}

TEST_F(StageObjectDrawTest, TheCandleFlameStaysAColour) {
    const int c = Make(5, 0);
    for (int flame : {1, 10, 40, 1000}) {
        for (int age : {0, 3, 7, 10, 19}) {
            SetField(47, c, flame);
            SetField(kPropAge, c, age);
            Draw(c);
            const auto f = Where([](const Queued& q) { return q.layer == 20; });
            ASSERT_EQ(f.size(), 1u);
            EXPECT_TRUE(f[0].additive);
            EXPECT_EQ(f[0].sprite(), sprite::kFlame);
            EXPECT_EQ(f[0].colour() >> 8, 0xffffffu) << flame << " " << age;
            const double a = 8.0 * flame + 40.0 * std::sin(age * 3.14159265358979 / 13);
            EXPECT_NEAR(static_cast<double>(f[0].colour() & 0xff), std::clamp(a, 0.0, 255.0), 1.0);
        }
    }
    SetField(47, c, 0);
    Draw(c);
    EXPECT_TRUE(Where([](const Queued& q) { return q.layer == 20; }).empty());
}

TEST_F(StageObjectDrawTest, CaughtWalkersSinkAndBlinkBeforeClimbingOut) {
    const int w = Make(8, 0x25);  // kind 5, red
    SetFieldBits(kPropFlags, w, kFlagHeld);
    SetField(28, w, 200);
    SetField(kPropAge, w, 4);
    Draw(w);
    const auto held = WithSprite(sprite::kHeldForm + 0x20);
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(held[0].r.w[kDrawScale], 500);
    EXPECT_EQ(held[0].colour(), 0xc0c0c0ffu);
    EXPECT_FALSE(Has(sprite::kBlink));
    SetField(28, w, 30);
    Draw(w);
    EXPECT_TRUE(Has(sprite::kBlink));
    SetField(kPropAge, w, 8);
    Draw(w);
    EXPECT_FALSE(Has(sprite::kBlink)) << "blinking";
}

TEST_F(StageObjectDrawTest, WalkerColoursTellApart) {
    // Plain, red, metal and fat leaves of one kind: red glows red, metal is grey and glints,
    // fat is bigger.
    struct Seen {
        int32_t sprite;
        int32_t scale;
        bool redGlow, glint;
    } seen[4];
    for (int colour = 0; colour < 4; ++colour) {
        const int w = Make(8, colour << 4);
        Draw(w);
        const auto head =
            Where([](const Queued& q) { return !q.additive && q.depth() == 160 + 32; });
        ASSERT_EQ(head.size(), 1u) << colour;
        const auto glow =
            Where([&](const Queued& q) { return q.additive && q.sprite() == head[0].sprite(); });
        seen[colour] = {head[0].sprite(), head[0].r.w[kDrawScale],
                        glow.size() == 1 && (glow[0].colour() >> 24) == 0xff &&
                            ((glow[0].colour() >> 16) & 0xff) < 0x40,
                        Has(sprite::kSparkle)};
        FreeObject(w);
    }
    EXPECT_FALSE(seen[0].redGlow);
    EXPECT_TRUE(seen[1].redGlow);
    EXPECT_EQ(seen[2].sprite, sprite::kHeldForm + 2 * 16) << "steel";
    EXPECT_TRUE(seen[2].glint);
    EXPECT_FALSE(seen[0].glint);
    EXPECT_GT(seen[3].scale, seen[0].scale);
    // Kinds tell apart by their heads.
    std::vector<int32_t> heads;
    for (int kind : {0, 1, 2, 3, 4, 5, 6}) {
        const int w = Make(8, kind);
        Draw(w);
        const auto head =
            Where([](const Queued& q) { return q.layer == 9 && q.r.w[kDrawDepth] == 160 + 32; });
        ASSERT_EQ(head.size(), 1u) << kind;
        heads.push_back(head[0].sprite() & ~3);
        FreeObject(w);
    }
    std::sort(heads.begin(), heads.end());
    EXPECT_EQ(std::unique(heads.begin(), heads.end()), heads.end());
    // Bit 6 draws the figure white.
    const int w = Make(8, 0x40 | 0x10);
    Draw(w);
    for (const Queued& q : OnLayer(9)) EXPECT_EQ(q.colour(), 0xffffffffu);
}

TEST_F(StageObjectDrawTest, BuriedLeavesShowOnlyTheirTopInTheGround) {
    const int b = Make(6, 1);
    Draw(b);
    const auto top = WithSprite(sprite::kLeafBody + 4);
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0].layer, 9);
    EXPECT_LT(top[0].r.w[kDrawScale], 1000);
    const auto mound = WithSprite(sprite::kMound);
    ASSERT_EQ(mound.size(), 1u);
    EXPECT_GT(mound[0].depth(), top[0].depth()) << "the mound covers the leaf";
    EXPECT_GT(mound[0].y(), top[0].y());
    const auto shadow = OnLayer(6);
    ASSERT_EQ(shadow.size(), 1u);
    EXPECT_EQ(shadow[0].sprite(), sprite::kShadow + 2);
}

TEST_F(StageObjectDrawTest, KabochaFacesStayInsideTheirSets) {
    const int k = Make(11, 0);
    for (int variant : {0, 0x10, 0x20, 0x30, 0x40, 0x70, 0x7f}) {
        for (int facing : {0, 9000 * 5, 9000 * 23, -9000, 9000 * 30}) {
            SetField(kPropVariant, k, variant);
            SetField(kPropAngle, k, facing);
            Draw(k);
            const auto face = Where([](const Queued& q) {
                return q.sprite() >= sprite::kKabochaFace &&
                       q.sprite() < sprite::kKabochaFace + 100;
            });
            ASSERT_EQ(face.size(), 1u);
            EXPECT_LT(face[0].sprite(), sprite::kKabochaFace + 72) << variant << " " << facing;
        }
    }
}

TEST_F(StageObjectDrawTest, TheUfoBeamsAndCarriesTheCaughtPlayer) {
    const int u = Make(10, 0);
    SetPosition3(200, 300, 120, u);
    SetField(26, u, 1);
    SetField(47, u, 100);
    Draw(u);
    EXPECT_EQ(WithSprite(sprite::kBeam).size(), 3u);  // every 32 px down its 100
    EXPECT_FALSE(Has(sprite::kPlayer + 8));
    EXPECT_EQ(WithSprite(sprite::kSaucer).at(0).layer, 17) << "high up it flies over everything";
    const int p = SpawnObject(200, 300, 9, 8, 0x20000008);
    g_playerSlots[0] = p;
    SetGameVar(100, 1);
    SetField(26, p, 4);
    Draw(u);
    EXPECT_TRUE(Has(sprite::kPlayer + 8));
    // Caught in a hole it rocks and blinks.
    SetField(26, u, 3);
    SetPosition3(200, 300, 0, u);
    SetField(kPropAge, u, 10);
    Draw(u);
    EXPECT_NE(WithSprite(sprite::kSaucer).at(0).r.w[kDrawAngle], 0);
    EXPECT_EQ(WithSprite(sprite::kSaucer).at(0).layer, 9);
    EXPECT_TRUE(Has(sprite::kBlink));
}

TEST_F(StageObjectDrawTest, TheBossPosesByItsAngles) {
    const int b = Make(14, 0);
    SetPosition3(320, 200, -40, b);
    auto armEnds = [] {
        std::vector<std::pair<int, int>> out;
        for (const Queued& q : QueuedRecords())
            if (q.sprite() >= sprite::kBossPart + 2 && q.sprite() <= sprite::kBossPart + 6)
                out.push_back({q.x(), q.y()});
        return out;
    };
    SetField(38, b, 36000);
    SetField(39, b, 48000);
    SetField(40, b, 36000);
    SetField(41, b, 48000);
    Draw(b);
    const auto relaxed = armEnds();
    // Two segments of four pieces to each arm.
    ASSERT_EQ(relaxed.size(), 16u);
    // Bending the right arm's elbow (a slam winding up) moves the four pieces past it only.
    SetField(41, b, -60000);
    Draw(b);
    const auto raised = armEnds();
    ASSERT_EQ(raised.size(), 16u);
    int moved = 0;
    for (size_t i = 0; i < 16; ++i) moved += raised[i] != relaxed[i];
    EXPECT_EQ(moved, 4);
    EXPECT_EQ(WithSprite(sprite::kBossPart + 7).size(), 2u) << "a hand at each arm's end";
    // Shouting lights the head; the second form darkens the sky.
    SetField(42, b, 16);
    Draw(b);
    EXPECT_EQ(Where([](const Queued& q) {
                  return q.additive && q.sprite() == sprite::kBossPart + 1;
              }).size(),
              1u);
    SetField(26, b, 19);
    const int live = GetLiveObjectCount();
    Draw(b);
    EXPECT_FALSE(OnLayer(7).empty()) << "the field dims";
    // Its orbit sparks are draw records behind or before it, never objects of the pool.
    const auto sparks = Where([](const Queued& q) {
        return q.additive && q.sprite() >= sprite::kSpark && q.sprite() < sprite::kSpark + 8;
    });
    EXPECT_EQ(sparks.size(), 24u);
    for (const Queued& q : sparks)
        EXPECT_TRUE(q.layer == kBossOrbitBehind || q.layer == kBossOrbitFront) << q.layer;
    EXPECT_EQ(GetLiveObjectCount(), live);
}

TEST_F(StageObjectDrawTest, TheStampMarksTheRingsItSetsOffBeforeItLands) {
    const int b = Make(14, 0);
    SetPosition3(320, 200, -40, b);
    SetField(kPropEnemyState, b, 4);
    SetField(kPropAge, b, 200);  // off the centre mark's blink
    auto marks = [] { return WithSprite(sprite::kTargetMark); };
    SetField(kPropEnemyStateTime, b, 20);
    Draw(b);
    EXPECT_TRUE(marks().empty()) << "early in the rise only the shadow shows where it lands";
    SetField(kPropEnemyStateTime, b, 60);
    Draw(b);
    const auto ring = marks();
    ASSERT_EQ(ring.size(), 6u + 7u + 8u + 9u);
    double cx = 0, cy = 0;
    for (const Queued& q : ring) {
        cx += q.x();
        cy += q.y();
    }
    cx /= ring.size();
    cy /= ring.size();
    int perRadius[4] = {};
    for (const Queued& q : ring) {
        const double d = std::hypot(q.x() - cx, q.y() - cy);
        const int r = static_cast<int>(std::lround((d - 96) / 32));
        ASSERT_TRUE(r >= 0 && r < 4) << d;
        EXPECT_NEAR(d, StampRingRadius(r), 2.0);
        ++perRadius[r];
    }
    for (int r = 0; r < 4; ++r) EXPECT_EQ(perRadius[r], kStampRingCounts[r]) << r;
    // Once it has come down the marks are gone.
    SetField(kPropEnemyStateTime, b, kStampRiseFrames);
    Draw(b);
    EXPECT_TRUE(marks().empty());
}

TEST_F(StageObjectDrawTest, DrawStageObjectAtLeavesTheEmptySlotAsItWas) {
    int32_t before[kPoolProperties];
    for (int n = 0; n < kPoolProperties; ++n) before[n] = GetField(n, kNoObject);
    const int current = Make(9, 0);
    SetCurrentObject(current);
    SetCameraOrigin(64, 32);
    SetGameVar(kGameVarAge, 77);
    DrawStageObjectAt(100, 120, 9, 2, 4);
    const auto gate = WithSprite(sprite::kColorGate + 2);
    ASSERT_EQ(gate.size(), 1u);
    EXPECT_EQ(gate[0].x(), 100);
    EXPECT_EQ(gate[0].y(), 120 - 8);
    for (int n = 0; n < kPoolProperties; ++n) EXPECT_EQ(GetField(n, kNoObject), before[n]) << n;
    EXPECT_EQ(GetCurrentObject(), current);
    ResetDrawList();
    DrawStageObjectAt(100, 120, 9, 0, 0);
    DrawStageObjectAt(100, 120, 9, 0, 200);
    EXPECT_TRUE(QueuedRecords().empty());
}

}  // namespace
}  // namespace velmora
