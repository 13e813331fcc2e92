#include "game/play/draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "draw_support.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/prop_table.h"
#include "game/core/sprite_ids.h"
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

// A fresh pool and stage, the draw routines in, a 640 x 480 screen and the camera at the origin.
class DrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_draw::SetUpDrawScene(0xffffffffu);
        SelectArea(0);
        SetActiveArea(-64, -64, 704, 544);
        ResetDrawList();
    }

    // An object drawn as the walk would draw it.
    static void Draw(int slot) {
        const int before = GetCurrentObject();
        SetCurrentObject(slot);
        DrawObject(GetField(kPropDrawWord, slot));
        SetCurrentObject(before);
    }

    static int Object(int32_t x, int32_t y, int32_t layer, int32_t draw) {
        const int s = SpawnObject(x, y, layer, draw, 0x30000001);
        EXPECT_GT(s, 0);
        SetField(kPropDrawWord, s, draw);
        return s;
    }

    static void SetCellWord(int x, int y, int32_t v) { SetCell(x, y, v); }
};

TEST_F(DrawTest, KindsWithoutARoutineDrawNothing) {
    for (int32_t kind : {1, 9, 10, 13, 20, 32, 34, 47, 96, 127}) {
        ResetDrawList();
        const int s = Object(100, 100, 9, kind);
        Draw(s);
        EXPECT_TRUE(QueuedRecords().empty()) << kind;
        FreeObject(s);
    }
}

TEST_F(DrawTest, TheWalkSkipsHiddenObjectsAndDrawKindZero) {
    ObjectWalkHooks hooks = DefaultObjectWalkHooks();
    hooks.drawObject = &DrawObject;
    SetObjectWalkHooks(hooks);
    const int shown = SpawnSprite(10, 20, 9, 600);
    const int hidden = SpawnSprite(30, 40, 9, 601);
    SetFieldBits(kPropFlags, hidden, kFlagNotDrawn);
    const int none = SpawnSprite(50, 60, 9, 0);
    ASSERT_GT(none, 0);
    UpdateObjects();
    const auto all = QueuedRecords();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].sprite(), 600);
    SetObjectWalkHooks(DefaultObjectWalkHooks());
    (void)shown;
}

TEST_F(DrawTest, SpriteObjectsQueueTheirWordAtTheirScreenPlace) {
    SetCameraOrigin(100, 50);
    const int s = Object(300, 200, 12, 0x2000000 | 700);
    SetField(kPropScale, s, 1500);
    SetField(kPropAngle, s, 54000);
    SetField(kPropColor, s, static_cast<int32_t>(0x80ff80c0u));
    SetPosition3(300, 200, 90, s);
    Draw(s);
    auto q = QueuedRecords();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].layer, 12);
    EXPECT_TRUE(q[0].additive);
    EXPECT_EQ(q[0].x(), 200);
    EXPECT_EQ(q[0].y(), 150);
    EXPECT_EQ(q[0].r.w[kDrawScale], 1500);
    EXPECT_EQ(q[0].r.w[kDrawAngle], 54000);
    EXPECT_EQ(q[0].colour(), 0x80ff80c0u);
    EXPECT_EQ(q[0].depth(), kNoDepth);
    // z as the depth key, taken through the camera like a y.
    ResetDrawList();
    SetFieldBits(kPropFlags, s, kFlagDepthFromZ);
    Draw(s);
    EXPECT_EQ(QueuedRecords().at(0).depth(), 90 - 50);
    // Fixed to the screen: no camera.
    ResetDrawList();
    SetFieldBits(kPropFlags, s, kFlagScreenFixed);
    Draw(s);
    EXPECT_EQ(QueuedRecords().at(0).x(), 300);
}

TEST_F(DrawTest, RectTextAndNumberKindsChangeTheRecord) {
    const int rect = Object(10, 20, 3, kDrawKindRect);
    SetField(21, rect, 110);
    SetField(22, rect, 120);
    Draw(rect);
    auto q = QueuedRecords();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].kind(), 6);
    EXPECT_EQ(q[0].r.w[kDrawX2], 110);
    EXPECT_EQ(q[0].r.w[kDrawY2], 120);

    struct Case {
        int32_t kind;
        int expectKind, expectSprite, expectAngle;
        int32_t value, digits, pad;
    } cases[] = {
        {kDrawKindSpriteText, 33, 41, 0, 0, 0, 0},
        {kDrawKindFontText, 33, 41, 1, 0, 0, 0},
        {kDrawKindNumber, 34, 1, 528, 1234, 5, 0},
        {kDrawKindPaddedNumber, 34, 1, 528, 1234, 5, 1},
    };
    for (const Case& c : cases) {
        ResetDrawList();
        const int s = Object(10, 20, 3, c.kind);
        SetField(64, s, c.kind <= kDrawKindFontText ? 40 : 1234);
        SetField(65, s, 5);
        Draw(s);
        q = QueuedRecords();
        ASSERT_EQ(q.size(), 1u) << c.kind;
        EXPECT_EQ(q[0].kind(), c.expectKind) << c.kind;
        EXPECT_EQ(q[0].r.w[kDrawSprite], c.expectSprite) << c.kind;
        EXPECT_EQ(q[0].r.w[kDrawAngle], c.expectAngle) << c.kind;
        if (c.kind >= kDrawKindNumber) {
            EXPECT_EQ(q[0].r.w[kDrawValue], c.value);
            EXPECT_EQ(q[0].r.w[kDrawX2], c.digits);
            EXPECT_EQ(q[0].r.w[kDrawY2], c.pad);
        }
    }
}

TEST_F(DrawTest, ObjectTintFollowsTheSkyAndFlashesAndShakesWhileHit) {
    SetGameVar(kGameVarSky, static_cast<int32_t>(0x203040ffu));
    const int s = Object(0, 0, 9, 600);
    SetCurrentObject(s);
    int32_t x = 50, y = 60;
    EXPECT_EQ(GetObjectTint(&x, &y), 0x8090a0ffu);
    EXPECT_EQ(x, 50);
    SetField(57, s, 10);
    for (int age : {0, 3, 4, 7, 8, 13}) {
        SetField(kPropAge, s, age);
        x = 50;
        const uint32_t c = GetObjectTint(&x, &y);
        EXPECT_EQ(c, (age % 8) < 4 ? 0x800000ffu : 0x8090a0ffu) << age;
        EXPECT_EQ(x, 50 + (age * 5) % 3 - 1) << age;
    }
}

// ---- The tile map ----

class TileMapTest : public DrawTest {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        map_ = Object(0, 0, 5, kDrawKindTileMap);
    }
    void DrawMap() {
        ResetDrawList();
        Draw(map_);
    }
    static int32_t Tile(int n) { return n << kCellTileShift; }
    int map_ = 0;
};

TEST_F(TileMapTest, AnimatedTilesStepEveryEightFramesOfTheMasterAge) {
    SetCellWord(3, 2, Tile(200));
    SetCellWord(4, 2, Tile(55));
    for (auto [age, frame] : {std::pair{0, 0}, {7, 0}, {8, 1}, {31, 3}, {32, 0}}) {
        SetGameVar(kGameVarAge, age);
        DrawMap();
        const auto a = WithSprite(sprite::kTile + 200 + 64 * frame);
        ASSERT_EQ(a.size(), 1u) << age;
        EXPECT_EQ(a[0].layer, 5);
        EXPECT_EQ(a[0].x(), 3 * 32 - 16);
        EXPECT_EQ(a[0].y(), 2 * 32 - 16);
        EXPECT_EQ(WithSprite(sprite::kTile + 55).size(), 1u) << "still tiles never animate";
    }
}

TEST_F(TileMapTest, EdgesShadeByTheOutsideNeighboursAndTheCheckerFillsTheOutside) {
    DrawMap();
    auto shadeAt = [](int x, int y) {
        return Where([&](const Queued& q) {
            return q.layer == 22 && q.x() == x && q.y() == y && q.sprite() >= sprite::kEdgeShade &&
                   q.sprite() < sprite::kEdgeShade + 32;
        });
    };
    // Cell (cx, cy) has checker parity p from the walk: column parity + 2 * row parity, counted
    // from the first column (cx = -2) and row (cy = -1) at an even start.
    auto parity = [](int cx, int cy) { return ((cx + 2) & 1) + 2 * ((cy + 1) & 1); };
    struct Case {
        int cx, cy, e;
    } cases[] = {{0, 0, 0},  {5, 0, 1},  {20, 0, 2}, {0, 5, 3},
                 {20, 5, 5}, {0, 15, 6}, {5, 15, 7}, {20, 15, 8}};
    for (const Case& c : cases) {
        const auto s = shadeAt(c.cx * 32 - 16, c.cy * 32 - 16);
        ASSERT_EQ(s.size(), 1u) << c.cx << "," << c.cy;
        const int e = c.e;
        EXPECT_EQ(s[0].sprite(),
                  sprite::kEdgeShade + e - (e >= 5 ? 1 : 0) + parity(c.cx, c.cy) * 8);
        EXPECT_EQ(s[0].colour(), 0x404080ffu);
    }
    EXPECT_TRUE(shadeAt(5 * 32 - 16, 5 * 32 - 16).empty()) << "an inner cell has no shade";
    const auto out = Where([](const Queued& q) { return q.x() == -48 && q.y() == -48; });
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].sprite(), sprite::kChecker + parity(-1, -1));
    EXPECT_EQ(out[0].layer, 22);
}

TEST_F(TileMapTest, HolesPropsAndShadowsTakeTheSkyColour) {
    SetGameVar(kGameVarSky, static_cast<int32_t>(0x406080ffu));
    SetCellWord(1, 1, Tile(3) | static_cast<int32_t>(kCellHole));
    SetCellWord(2, 2, Tile(3) | ((16 + 1) << kCellObjectShift));
    SetCellWord(3, 3, Tile(3) | ((16 + 1) << kCellObjectShift) | static_cast<int32_t>(kCellSpawn));
    DrawMap();
    const auto hole = WithSprite(sprite::kHole);
    ASSERT_EQ(hole.size(), 1u);
    EXPECT_EQ(hole[0].layer, 6);
    EXPECT_EQ(hole[0].x(), 32 - 16 + 1);
    EXPECT_EQ(hole[0].y(), 32 - 16 + 1);
    EXPECT_EQ(hole[0].colour(), 0x90b0d0ffu) << "the sky's colour lifted, to read at night";
    const auto prop = WithSprite(3173);
    ASSERT_EQ(prop.size(), 1u) << "the spawn cell shows no prop";
    EXPECT_EQ(prop[0].layer, 9);
    EXPECT_EQ(prop[0].x(), 64);
    EXPECT_EQ(prop[0].y(), 64 - 16);
    EXPECT_EQ(prop[0].depth(), 64 + 32);
    EXPECT_EQ(prop[0].colour(), 0x406080ffu);
    const auto shadow = Where([](const Queued& q) { return q.layer == 8 && q.kind() == 6; });
    ASSERT_EQ(shadow.size(), 1u);
    EXPECT_EQ(shadow[0].x(), 48);
    EXPECT_EQ(shadow[0].y(), 60);
    EXPECT_EQ(shadow[0].r.w[kDrawX2], 80);
    EXPECT_EQ(shadow[0].r.w[kDrawY2], 92);
    EXPECT_EQ(shadow[0].colour(), 0x10003080u);
}

TEST_F(TileMapTest, TheMapWalksAroundANegativeCamera) {
    // A narrow area centred on a wide screen: the camera sits left of and above the origin.
    SetCameraOrigin(-40, -24);
    SetCellWord(0, 0, Tile(7));
    DrawMap();
    const auto t = WithSprite(sprite::kTile + 7);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].x(), 40 - 16);
    EXPECT_EQ(t[0].y(), 24 - 16);
    // The cell left of the area is outside and drawn as checker right beside it.
    EXPECT_EQ(Where([](const Queued& q) {
                  return q.x() == 40 - 48 && q.y() == 24 - 16 && q.sprite() >= sprite::kChecker &&
                         q.sprite() < sprite::kChecker + 4;
              }).size(),
              1u);
    // Every tile lies on the 32-pixel grid of the origin, and the screen is covered.
    int minX = 1 << 20, maxX = -(1 << 20);
    for (const Queued& q : OnLayer(22)) {
        EXPECT_EQ(((q.x() - 24) % 32 + 32) % 32, 0);
        minX = std::min(minX, q.x());
        maxX = std::max(maxX, q.x());
    }
    EXPECT_LE(minX, 0);
    EXPECT_GE(maxX + 32, 640);
}

TEST_F(TileMapTest, FogByTheSkyLevelAndWeather) {
    struct Case {
        uint32_t sky;
        int level, weather;
        int alpha;  // 0: none
    } cases[] = {
        {0x000000ffu, 1, 0, 80},  {0xffffffffu, 1, 0, 0},   {0x000000ffu, 2, 0, 64},
        {0x000000ffu, 3, 0, 48},  {0x000000ffu, 1, 4, 120}, {0x808080ffu, 1, 0, 80},
        {0xc0c0c0ffu, 1, 0, 40},  {0xe0e0e0ffu, 1, 0, 0},   {0x000000ffu, 9, 0, 48},
        {0x000000ffu, -4, 0, 80},
    };
    for (const Case& c : cases) {
        SetGameVar(kGameVarSky, static_cast<int32_t>(c.sky));
        SetConfigVar(21, c.level);
        SetGameVar(112, c.weather);
        DrawMap();
        const auto fog = WithSprite(sprite::kCloud);
        if (c.alpha == 0) {
            EXPECT_TRUE(fog.empty()) << std::hex << c.sky;
            continue;
        }
        ASSERT_FALSE(fog.empty()) << std::hex << c.sky;
        const int level = std::clamp(c.level, 1, 3);
        // One sheet per level, each at its own offset and each covering the whole screen.
        std::map<std::pair<int, int>, std::pair<int, int>> sheets;  // offset -> (min x, max x)
        for (const Queued& q : fog) {
            EXPECT_EQ(q.layer, 21);
            EXPECT_EQ(q.colour(), (c.sky & 0xffffff00u) | static_cast<uint32_t>(c.alpha));
            EXPECT_LE(q.x(), 0 + 640);
            EXPECT_GT(q.x(), -256);
            EXPECT_GT(q.y(), -256);
            auto [it, fresh] = sheets.try_emplace({(q.x() + 1024) % 256, (q.y() + 1024) % 256},
                                                  std::pair{q.x(), q.x()});
            it->second.first = std::min(it->second.first, q.x());
            it->second.second = std::max(it->second.second, q.x());
        }
        EXPECT_EQ(sheets.size(), static_cast<size_t>(level)) << c.level;
        for (const auto& [offset, span] : sheets) {
            EXPECT_LE(span.first, 0);
            EXPECT_GE(span.second + 256, 640);
        }
    }
}

TEST_F(TileMapTest, FogCoversTheScreenWhereverTheCameraIs) {
    SetGameVar(kGameVarSky, static_cast<int32_t>(0x000000ffu));
    SetConfigVar(21, 3);
    for (auto [cx, cy, age] :
         {std::tuple{-700, -500, 0}, {-40, -24, 999}, {3000, 2000, 77}, {0, 0, -300}}) {
        SetCameraOrigin(cx, cy);
        SetGameVar(kGameVarAge, age);
        DrawMap();
        const auto fog = WithSprite(sprite::kCloud);
        ASSERT_FALSE(fog.empty());
        int minX = 1 << 20, minY = 1 << 20;
        for (const Queued& q : fog) {
            EXPECT_GT(q.x(), -256) << cx << "," << cy;
            EXPECT_GT(q.y(), -256) << cx << "," << cy;
            minX = std::min(minX, q.x());
            minY = std::min(minY, q.y());
        }
        EXPECT_LE(minX, 0) << cx << "," << cy << " leaves a gap on the left";
        EXPECT_LE(minY, 0) << cx << "," << cy << " leaves a gap at the top";
    }
}

TEST_F(TileMapTest, TheMapIsNotDrawnFromPhaseNineOn) {
    SetGameVar(kGameVarPhase, 9);
    DrawMap();
    EXPECT_TRUE(QueuedRecords().empty());
}

TEST_F(TileMapTest, TheEditorSeesIndicesAndObjectsInsteadOfFog) {
    const int master = SpawnObject(0, 0, 24, 0, kEditorMasterKind);
    SetMasterObject(master);
    SetGameVar(kGameVarPhase, 5);
    SetGameVar(kGameVarSky, static_cast<int32_t>(0x000000ffu));  // would fog the play view
    const int32_t gate =
        (3 << kCellObjectShift) | static_cast<int32_t>(kCellSpawn) | (2 << kCellVariantShift);
    SetCellWord(2, 2, Tile(1) | gate);
    SetCellWord(4, 2, Tile(1) | ((16 + 1) << kCellObjectShift));
    SetCellWord(6, 2,
                Tile(1) | (5 << kCellObjectShift) | (7 << kCellVariantShift) |
                    static_cast<int32_t>(kCellBlockHigh));
    SetGameVar(33, 25);
    DrawMap();
    EXPECT_TRUE(WithSprite(sprite::kCloud).empty()) << "no fog";
    // The spawn cell: its stage object (a colour gate of variant 2), the index, an outline.
    EXPECT_EQ(WithSprite(sprite::kColorGate + 2).size(), 1u);
    const auto index =
        Where([](const Queued& q) { return q.kind() == 34 && q.x() == 48 && q.y() == 48; });
    ASSERT_EQ(index.size(), 1u);
    EXPECT_EQ(index[0].r.w[kDrawValue], 3);
    EXPECT_EQ(index[0].r.w[kDrawY2], 1);
    const auto outline = Where([](const Queued& q) { return q.kind() == 7 && q.x() == 48; });
    ASSERT_EQ(outline.size(), 1u);
    EXPECT_EQ(outline[0].colour(), 0xff7f7fffu);
    // The prop cell shows its prop and shadow; the small index its marker and variant.
    EXPECT_EQ(WithSprite(3173).size(), 1u);
    EXPECT_EQ(WithSprite(178 + 5).size(), 1u);
    EXPECT_EQ(
        Where([](const Queued& q) { return q.kind() == 34 && q.r.w[kDrawValue] == 7; }).size(), 1u);
    // Attribute view: the blocking bit's mark.
    EXPECT_EQ(WithSprite(187).size(), 1u);
    // Mode 23 hides the objects and fades the props.
    SetGameVar(33, 23);
    DrawMap();
    EXPECT_TRUE(WithSprite(sprite::kColorGate + 2).empty());
    EXPECT_EQ(WithSprite(3173).at(0).colour() & 0xff, 255u - 192u);
    EXPECT_TRUE(WithSprite(187).empty());
}

TEST_F(DrawTest, PropTableLookupsStayInsideTheTable) {
    int32_t dx = 1, dy = 1, shadow = 1;
    EXPECT_EQ(GetProp(&dx, &dy, &shadow, 12), 3142);
    EXPECT_EQ(dy, -32);
    EXPECT_EQ(shadow, 7683);
    for (int i : {-1, 256, 100000}) {
        EXPECT_EQ(GetProp(&dx, &dy, &shadow, i), 0) << i;
        EXPECT_EQ(DrawProp(0, 0, i), -1) << i;
        DrawPropShadow(0, 0, i);
    }
    EXPECT_TRUE(QueuedRecords().empty());
}

TEST_F(DrawTest, PropShadowsByKind) {
    // Entry 12 casts sprite 7683 (any other value: that sprite 12 below the centre).
    DrawPropShadow(100, 100, 12);
    auto s = OnLayer(8);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].sprite(), 7683);
    EXPECT_EQ(s[0].y(), 112);
    ResetDrawList();
    DrawPropShadow(100, 100, 32);  // kind 6
    s = OnLayer(8);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].sprite(), 7686);
    EXPECT_EQ(s[0].y(), 124);
    ResetDrawList();
    DrawPropShadow(100, 100, 10);  // kind 2: a wide rectangle
    s = OnLayer(8);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].x(), 52);
    EXPECT_EQ(s[0].r.w[kDrawX2], 148);
    ResetDrawList();
    DrawPropShadow(100, 100, 16);  // kind 0: none
    EXPECT_TRUE(QueuedRecords().empty());
}

// ---- Players ----

class PlayerDrawTest : public DrawTest {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        player_ = Object(200, 160, 9, kDrawKindCharacter0);
        g_playerSlots[0] = player_;
        SetField(kPropAge, player_, 100);
        SetField(kPropAngle, player_, 6);  // facing down
    }
    void DrawPlayer() {
        ResetDrawList();
        Draw(player_);
    }
    int player_ = 0;
};

TEST_F(PlayerDrawTest, BodyOverItsShadowWithWalkFramesByFacing) {
    struct Case {
        int facing, walk;
        int32_t sprite;
    } cases[] = {{6, 0, 1024 + 8}, {6, 6, 1024 + 9},        {0, 18, 1024 + 3},
                 {23, 0, 1024},    {12, 12, 1024 + 16 + 2}, {18, 0, 1024 + 24}};
    for (const Case& c : cases) {
        SetField(kPropAngle, player_, c.facing);
        SetField(27, player_, c.walk);
        DrawPlayer();
        const auto body = OnLayer(9);
        ASSERT_EQ(body.size(), 1u);
        EXPECT_EQ(body[0].sprite(), c.sprite) << c.facing << " " << c.walk;
        EXPECT_EQ(body[0].x(), 200);
        EXPECT_EQ(body[0].y(), 160 - 4);
        EXPECT_EQ(body[0].depth(), 160 + 32);
        const auto shadow = OnLayer(8);
        ASSERT_EQ(shadow.size(), 1u);
        EXPECT_EQ(shadow[0].sprite(), sprite::kShadow);
        EXPECT_EQ(shadow[0].y(), 176);
        EXPECT_EQ(shadow[0].colour(), 0x10003080u);
    }
    // Fading in at the start, blinking blue while guarded.
    SetField(kPropAge, player_, 3);
    DrawPlayer();
    EXPECT_EQ(OnLayer(9).at(0).colour(), 0xffffff18u);
    SetField(kPropAge, player_, 64);
    SetField(58, player_, 10);
    DrawPlayer();
    EXPECT_EQ(OnLayer(9).at(0).colour(), 0x7f7fffffu);
}

TEST_F(PlayerDrawTest, TheDigCursorByState) {
    SetField(99, player_, 1);
    SetField(97, player_, 192);
    SetField(98, player_, 192);
    struct Case {
        int action, timer, warn, age;
        int32_t sprite;  // 0: none
        uint32_t colour;
    } cases[] = {
        {0, 0, 0, 12, 1285 + 2, 0xffffffffu}, {0, 0, 1, 12, 1285 + 2, 0xff3f3fffu},
        {0, 0, 1, 14, 1285 + 2, 0xffffffffu}, {2, 12, 0, 0, 1292, 0xffffffffu},
        {2, 4, 0, 0, 1290, 0xffffffffu},      {3, 12, 0, 0, 1288, 0xffffffffu},
        {3, 1, 0, 0, 1291, 0xffffffffu},      {1, 5, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SetField(26, player_, c.action);
        SetField(28, player_, c.timer);
        SetField(96, player_, c.warn);
        SetField(kPropAge, player_, c.age);
        DrawPlayer();
        const auto cur = OnLayer(7);
        if (c.sprite == 0) {
            EXPECT_TRUE(cur.empty());
            continue;
        }
        ASSERT_EQ(cur.size(), 1u) << c.action << " " << c.timer;
        EXPECT_EQ(cur[0].sprite(), c.sprite) << c.action << " " << c.timer;
        EXPECT_EQ(cur[0].colour(), c.colour);
        EXPECT_EQ(cur[0].x(), 192);
    }
    // No cursor out of play, while moving, or facing a blocked cell.
    SetField(26, player_, 0);
    SetField(28, player_, 0);
    SetGameVar(kGameVarPhase, 2);
    DrawPlayer();
    EXPECT_TRUE(OnLayer(7).empty());
    SetGameVar(kGameVarPhase, 5);
    SetField(99, player_, 0);
    DrawPlayer();
    EXPECT_TRUE(OnLayer(7).empty());
    SetField(99, player_, 1);
    OrCellAtPixel(200, 160 + 8 + 32, kCellBlockGround);
    DrawPlayer();
    EXPECT_TRUE(OnLayer(7).empty());
}

TEST_F(PlayerDrawTest, DownPlayersRiseAsASpiritAndHeldOnesAreNotDrawn) {
    SetField(57, player_, 100);
    DrawPlayer();
    auto q = QueuedRecords();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].sprite(), sprite::kSpirit);
    EXPECT_EQ(q[0].y(), 160 - 16 - 20);
    EXPECT_EQ(q[0].colour(), 0xffffffd7u);
    SetField(57, player_, 400);  // longer than the rise: the alpha stays a channel
    DrawPlayer();
    EXPECT_EQ(QueuedRecords().at(0).colour() & 0xff, 255u);
    SetField(57, player_, 0);
    SetField(26, player_, 4);
    DrawPlayer();
    EXPECT_TRUE(QueuedRecords().empty());
    SetField(26, player_, 0);
    SetGameVar(kGameVarPhase, 8);
    DrawPlayer();
    EXPECT_TRUE(QueuedRecords().empty());
}

TEST_F(PlayerDrawTest, InvincibilityShowsTheIconAndTheCurtain) {
    SetField(101, player_, 500);
    SetField(kPropAge, player_, 64);
    DrawPlayer();
    const auto icon = WithSprite(sprite::kIconOnHead);
    ASSERT_EQ(icon.size(), 1u);
    EXPECT_EQ(icon[0].colour(), 0xff00ffffu);
    const auto curtain = WithSprite(sprite::kCurtain);
    ASSERT_FALSE(curtain.empty());
    for (const Queued& q : curtain) {
        EXPECT_EQ(q.layer, 20);
        EXPECT_EQ(q.colour(), 0xff00ffffu);
    }
    // In its last 120 frames the icon blinks, and the curtain fades.
    SetField(101, player_, 20);
    DrawPlayer();
    EXPECT_TRUE(WithSprite(sprite::kIconOnHead).empty());
    EXPECT_EQ(WithSprite(sprite::kCurtain).at(0).colour() & 0xff, 80u);
}

TEST_F(DrawTest, CompanionsAndShots) {
    const int c = Object(100, 100, 9, kDrawKindCharacter3);
    SetField(kPropAge, c, 100);
    SetField(kPropAngle, c, 0);
    SetField(27, c, 16);
    Draw(c);
    const auto body = OnLayer(9);
    ASSERT_EQ(body.size(), 2u);
    EXPECT_EQ(WithSprite(sprite::kCompanion + 2).size(), 1u);
    EXPECT_EQ(WithSprite(sprite::kCompanionHead + 2).at(0).depth(), 100 + 33);
    ResetDrawList();
    const int shot = Object(50, 60, 8, kDrawKindPlayerShot);
    SetField(26, shot, 1);
    SetField(kPropScale, shot, 1000);
    SetField(kPropAngle, shot, 27000);
    Draw(shot);
    const auto s = WithSprite(sprite::kShot + 1);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].layer, 10);
    EXPECT_EQ(s[0].colour(), 0xffffffc0u);
    const auto sh = OnLayer(8);
    ASSERT_EQ(sh.size(), 1u);
    EXPECT_EQ(sh[0].sprite(), sprite::kShot);
    EXPECT_EQ(sh[0].y(), 76);
    EXPECT_EQ(sh[0].colour(), 0x10003040u);
}

}  // namespace
}  // namespace velmora
