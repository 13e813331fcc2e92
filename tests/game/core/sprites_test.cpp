#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "game/core/draw_list.h"
#include "game/core/engine_standin.h"
#include "game/core/prop_table.h"
#include "game/core/sprite_ids.h"
#include "game/core/sprite_layout.h"

namespace velmora {
namespace {

class SpritesTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::Reset();
        standin::SetGraphRoot(GAME_RUN_DIR);
    }
    void Load() {
        std::string error;
        ASSERT_TRUE(LoadSprites(nullptr, nullptr, &error)) << error;
    }
    // Where a sprite was cut: sheet number and rectangle, from the stand-in's graphs.
    static SpriteCut CutOf(int32_t id) {
        const standin::Graph* g = standin::FindGraph(GetSpriteHandle(id));
        if (!g || g->parent == 0) return SpriteCut{id, -1, 0, 0, 0, 0};
        const int sheet = g->parent - 1;  // the sheets are the first five graphs
        return SpriteCut{id, sheet, g->x, g->y, g->width, g->height};
    }
    static void ExpectCut(const SpriteCut& want) {
        const SpriteCut got = CutOf(want.id);
        EXPECT_EQ((std::vector<int>{got.sheet, got.x, got.y, got.w, got.h}),
                  (std::vector<int>{want.sheet, want.x, want.y, want.w, want.h}))
            << "sprite " << want.id;
    }
};

TEST_F(SpritesTest, SheetsAreLoadedInOrderAtTheirSizes) {
    Load();
    for (int i = 0; i < kSpriteSheetCount; ++i) {
        const standin::Graph* g = standin::FindGraph(i + 1);
        ASSERT_NE(g, nullptr);
        char name[40];
        std::snprintf(name, sizeof(name), "dat\\velm2\\velm2%02d.png", i);
        EXPECT_EQ(g->name, name);
        EXPECT_EQ(g->width, kSpriteSheetSize[i].width) << name;
        EXPECT_EQ(g->height, kSpriteSheetSize[i].height) << name;
    }
    EXPECT_GE(kSpriteSheetSize[0].width, 1024);
    EXPECT_GE(kSpriteSheetSize[0].height, 1024);
    EXPECT_GE(kSpriteSheetSize[1].width, 640);
    EXPECT_GE(kSpriteSheetSize[1].height, 768);
    EXPECT_GE(kSpriteSheetSize[2].width, 480);
    EXPECT_GE(kSpriteSheetSize[2].height, 872);
    EXPECT_EQ(standin::DrawLog().front(), "SetTransparentColor 0 255 0");
}

TEST_F(SpritesTest, FontAndGridsCutTheirFixedRectangles) {
    Load();
    // The font: byte c is sprite 480 + c, 14 x 14 at (16c + 1, 16r + 1).
    ExpectCut({480 + 'A', 0, 16 * 1 + 1, 16 * 2 + 1, 14, 14});
    ExpectCut({480 + '0', 0, 16 * 0 + 1, 16 * 1 + 1, 14, 14});
    ExpectCut({480 + 0xB1, 0, 16 * 1 + 1, 16 * 5 + 1, 14, 14});
    ExpectCut({480 + 0xDF, 0, 16 * 15 + 1, 16 * 7 + 1, 14, 14});
    // Each grid's first, a middle and its last cell.
    ExpectCut({3584, 0, 512, 0, 32, 32});
    ExpectCut({3584 + 17, 0, 544, 32, 32, 32});
    ExpectCut({3584 + 463, 0, 992, 896, 32, 32});
    ExpectCut({1024, 1, 256, 0, 32, 48});
    ExpectCut({1024 + 95, 1, 480, 528, 32, 48});
    ExpectCut({1120 + 9, 1, 304, 624, 48, 48});
    ExpectCut({1536, 0, 1, 513, 30, 30});
    ExpectCut({1536 + 32 * 2 + 4 * 3 + 1, 0, 32 * 13 + 1, 64 + 513, 30, 30});
    ExpectCut({2047, 0, 32 * 31 + 1, 32 * 15 + 513, 30, 30});
    ExpectCut({2216, 1, 1, 383, 30, 30});
    ExpectCut({2216 + 24 + 8 + 2, 1, 65, 96 + 32 + 383, 30, 30});
    ExpectCut({2287, 1, 225, 192 + 64 + 383, 30, 30});
    // The rows with places of their own.
    ExpectCut({sprite::kRateMark, 0, 104, 0, 24, 16});
    ExpectCut({sprite::kWhite, 0, 36, 4, 8, 8});
    ExpectCut({sprite::kWindow, 2, 1, 513, 478, 358});
    // Every id not cut otherwise is the blank 8 x 8 at (4, 4), and 8191 is screen-sized.
    ExpectCut({7000, 0, 4, 4, 8, 8});
    const standin::Graph* copy = standin::FindGraph(GetSpriteHandle(8191));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->name, "blank");
    EXPECT_EQ(copy->width, 640);
    EXPECT_EQ(copy->height, 480);
    // The animated grid loops in fours with period 4.
    EXPECT_EQ(GetSpriteNext(1536 + 2), 1536 + 3);
    EXPECT_EQ(GetSpriteNext(1536 + 3), 1536);
    EXPECT_EQ(GetSpritePeriod(1536 + 40), 4);
    EXPECT_EQ(GetSpritePeriod(600), 0x1fffffff);
}

TEST_F(SpritesTest, EveryDefinitionRowLiesInsideItsSheetAndCutsWhatItSays) {
    Load();
    const int32_t(*rows)[6] = GetSpriteDefinitionTable();
    int count = 0;
    std::set<int32_t> ids;
    for (int i = 0; i < kSpriteDefinitionRows && rows[i][0] >= 0; ++i, ++count) {
        const SpriteCut c = DefinitionCut(rows[i]);
        ASSERT_LT(c.sheet, kSpriteSheetCount) << "row " << i;
        EXPECT_GE(c.x, 0) << c.id;
        EXPECT_GE(c.y, 0) << c.id;
        EXPECT_GE(c.w, 1) << c.id;
        EXPECT_GE(c.h, 1) << c.id;
        EXPECT_LE(c.x + c.w, kSpriteSheetSize[c.sheet].width) << c.id;
        EXPECT_LE(c.y + c.h, kSpriteSheetSize[c.sheet].height) << c.id;
        EXPECT_TRUE(ids.insert(c.id).second) << "sprite " << c.id << " defined twice";
        ExpectCut(c);
    }
    EXPECT_LT(count, kSpriteDefinitionRows);  // the end row fits
    EXPECT_LT(rows[count][0], 0);
}

TEST_F(SpritesTest, EveryNamedSpriteHasAPictureOfItsOwn) {
    namespace s = sprite;
    const std::vector<std::pair<int32_t, int>> named = {{s::kRateMark, 1},
                                                        {s::kWhite, 1},
                                                        {s::kWindow, 1},
                                                        {s::kLifeBar, 1},
                                                        {s::kTab, 8},
                                                        {s::kTitleItem, 8},
                                                        {s::kChecker, 4},
                                                        {s::kEditorGrid, 1},
                                                        {s::kEditorBackdrop, 1},
                                                        {s::kEditorCursor, 2},
                                                        {s::kStartMode, 4},
                                                        {s::kEditorFlag, 4},
                                                        {s::kHurtIcon, 1},
                                                        {s::kFlagButtonA, 1},
                                                        {s::kFlame, 1},
                                                        {s::kChainLabel, 1},
                                                        {s::kFlagButtonB, 1},
                                                        {s::kBackdropLeaf, 1},
                                                        {s::kPanelCorner, 1},
                                                        {s::kPanelEdgeH, 1},
                                                        {s::kPanelEdgeV, 1},
                                                        {s::kPanelTitle, 1},
                                                        {s::kLogo, 1},
                                                        {s::kFlagButtonC, 1},
                                                        {s::kWarningA, 1},
                                                        {s::kCurtain, 1},
                                                        {s::kTitleStrip, 1},
                                                        {s::kTallyLabel, 4},
                                                        {s::kWarningB, 1},
                                                        {s::kNoise, 7},
                                                        {s::kPicture, 16},
                                                        {s::kDifficulty, 3},
                                                        {s::kKeyIcon, 1},
                                                        {s::kMinus, 1},
                                                        {s::kDigit, 10},
                                                        {s::kArrowLeft, 3},
                                                        {s::kTitleGlyph + 1, 26},
                                                        {s::kSmallDigit, 10},
                                                        {s::kLargeDigit, 10},
                                                        {s::kStageBadge, 9},
                                                        {s::kStageBannerL, 1},
                                                        {s::kStageBannerR, 1},
                                                        {s::kClearBanner, 3},
                                                        {s::kClockPhase, 12},
                                                        {s::kStageName, 5},
                                                        {s::kSpark, 8},
                                                        {s::kStar, 8},
                                                        {s::kBlast, 1},
                                                        {s::kBlastA, 8},
                                                        {s::kBlastB, 8},
                                                        {s::kCloud, 1},
                                                        {s::kRain, 1},
                                                        {s::kSplash, 4},
                                                        {s::kPlayer, 96},
                                                        {s::kCompanion, 32},
                                                        {s::kSpirit, 1},
                                                        {s::kCompanionHead, 4},
                                                        {s::kShot, 4},
                                                        {s::kBlink, 1},
                                                        {s::kDigCursor, 4},
                                                        {s::kHole, 4},
                                                        {s::kPortrait, 16},
                                                        {s::kFieldItem, 32},
                                                        {s::kIcon, 32},
                                                        {s::kAnimated, 512},
                                                        {s::kLegsA, 4},
                                                        {s::kLegsB, 4},
                                                        {s::kLeafBody, 22},
                                                        {s::kSaucerBig, 1},
                                                        {s::kKabochaFace, 72},
                                                        {s::kGenerator, 3},
                                                        {s::kBreakWall, 1},
                                                        {s::kGeneratorBroken, 1},
                                                        {s::kSaucer, 1},
                                                        {s::kBeam, 1},
                                                        {s::kColorGate, 16},
                                                        {s::kSwitchGateOpen, 1},
                                                        {s::kSwitchGateShut, 1},
                                                        {s::kCandle, 1},
                                                        {s::kLeafKing, 1},
                                                        {s::kBigLeaf, 4},
                                                        {s::kKanameStone, 1},
                                                        {s::kBossPart, 8},
                                                        {s::kBigLeafSingle, 1},
                                                        {s::kEdgeShade, 32},
                                                        {s::kProp, 128},
                                                        {s::kTile, 464},
                                                        {s::kShadow, 19}};
    Load();
    const int blank = GetSpriteHandle(7000);
    const standin::Graph* blankGraph = standin::FindGraph(blank);
    ASSERT_NE(blankGraph, nullptr);
    for (auto [first, n] : named) {
        for (int32_t id = first; id < first + n; ++id) {
            const SpriteCut c = CutOf(id);
            EXPECT_FALSE(c.sheet == 0 && c.x == 4 && c.y == 4 && c.w == 8 && c.h == 8)
                << "sprite " << id << " has only the default picture";
        }
    }
    for (int k = 0; k < 8; ++k) EXPECT_NE(CutOf(s::kHeldForm + 16 * k).x, 4) << k;
}

TEST_F(SpritesTest, AMissingSheetStopsLoadingAndNamesTheFile) {
    standin::MarkGraphMissing("dat\\velm2\\velm203.png");
    std::string error;
    int ticks = 0;
    static int* tickCount;
    tickCount = &ticks;
    EXPECT_FALSE(LoadSprites([] { ++*tickCount; }, nullptr, &error));
    EXPECT_NE(error.find("dat\\velm2\\velm203.png"), std::string::npos) << error;
    EXPECT_EQ(ticks, 3);  // one tick after each sheet that loaded
}

TEST_F(SpritesTest, LoadingTicksBetweenStepsAndFinishesOnce) {
    static int ticks, finishes;
    ticks = finishes = 0;
    std::string error;
    ASSERT_TRUE(LoadSprites([] { ++ticks; }, [] { ++finishes; }, &error));
    EXPECT_GE(ticks, 10);
    EXPECT_EQ(finishes, 1);
    // The warm-up draws every sheet and the screen copy at brightness 0, then clears.
    const auto& log = standin::DrawLog();
    auto at = std::find(log.begin(), log.end(), "SetDrawBrightness 0 0 0");
    ASSERT_NE(at, log.end());
    EXPECT_EQ(std::count_if(at, log.end(),
                            [](const std::string& l) { return l.rfind("PutGraph 0 0", 0) == 0; }),
              6);
    EXPECT_EQ(log.back(), "SetDrawBrightness 255 255 255");
    EXPECT_EQ(log[log.size() - 2], "EraseDrawTarget");
}

TEST_F(SpritesTest, AnimationRowsWithABadPeriodOrIdAreLeftOut) {
    Load();
    const int32_t rows[][3] = {{700, 701, 0}, {702, 703, -5}, {9000, 1, 4}, {704, 9000, 4},
                               {705, 706, 6}, {-1, 0, 0},     {707, 708, 2}};
    ApplyAnimationTable(rows, 7);
    EXPECT_EQ(GetSpritePeriod(700), 0x1fffffff);
    EXPECT_EQ(GetSpriteNext(702), 702);
    EXPECT_EQ(GetSpriteNext(704), 704);
    EXPECT_EQ(GetSpriteNext(705), 706);
    EXPECT_EQ(GetSpritePeriod(705), 6);
    EXPECT_EQ(GetSpritePeriod(707), 0x1fffffff);  // after the end row
    EXPECT_EQ(AnimateSprite(700, 12), 700);
    // Every row of the game's own table has a usable period.
    const int32_t(*anim)[3] = GetSpriteAnimationTable();
    for (int i = 0; i < kSpriteAnimationRows && anim[i][0] >= 0; ++i) EXPECT_GE(anim[i][2], 1);
}

// Snapshots go to userdata\ under the working folder: each case runs in a fresh one.
class SnapshotTest : public SpritesTest {
protected:
    void SetUp() override {
        SpritesTest::SetUp();
        const char* base = std::getenv("TEST_TMPDIR");
        dir_ = std::string(base ? base : "/tmp") + "/snapshot-" + std::to_string(::getpid());
        std::system(("rm -rf '" + dir_ + "' && mkdir -p '" + dir_ + "'").c_str());
        ASSERT_EQ(::chdir(dir_.c_str()), 0);
        standin::SetDate(2024, 6, 15);
    }
    void TearDown() override {
        ASSERT_EQ(::chdir("/"), 0);
        std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    std::string dir_;
};

TEST_F(SnapshotTest, MakesTheFolderAndTakesTheFirstFreeNameOfTheDay) {
    ASSERT_TRUE(SaveSnapshot());
    struct stat st;
    EXPECT_EQ(::stat("userdata", &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(standin::DrawLog().back(), "SaveScreenToBmp 0 0 640 480 userdata\\velmss0615000.bmp");
    std::system("touch userdata/velmss0615000.bmp userdata/velmss0615001.bmp");
    ASSERT_TRUE(SaveSnapshot());
    EXPECT_EQ(standin::DrawLog().back(), "SaveScreenToBmp 0 0 640 480 userdata\\velmss0615002.bmp");
}

TEST_F(SnapshotTest, AFailedSaveIsReported) {
    standin::SetSaveScreenResult(-1);
    EXPECT_FALSE(SaveSnapshot());
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

TEST(PropTableTest, NamedRowsAndEveryPropInUseHasItsOwnPicture) {
    const PropEntry* t = GetPropTable();
    struct Row {
        int i;
        PropEntry e;
    };
    for (const Row& r : std::vector<Row>{{1, {3173, 0, -16, 1}},
                                         {2, {3158, 0, 0, 1}},
                                         {8, {3143, 0, -16, 5}},
                                         {10, {3153, 0, -16, 2}},
                                         {12, {3142, 0, -32, 7683}},
                                         {13, {3160, 0, -4, 3}},
                                         {16, {3144, 0, 0, 0}},
                                         {32, {3161, 0, -8, 6}},
                                         {58, {3209, 0, -16, 7695}},
                                         {67, {3231, 0, 0, 7680}},
                                         {80, {3213, 0, -24, 0}}}) {
        EXPECT_EQ((std::vector<int32_t>{t[r.i].sprite, t[r.i].dx, t[r.i].dy, t[r.i].shadow}),
                  (std::vector<int32_t>{r.e.sprite, r.e.dx, r.e.dy, r.e.shadow}))
            << "entry " << r.i;
    }
    std::set<int32_t> defined;
    const int32_t(*rows)[6] = GetSpriteDefinitionTable();
    for (int i = 0; i < kSpriteDefinitionRows && rows[i][0] >= 0; ++i)
        defined.insert(DefinitionCut(rows[i]).id);
    int inUse = 0;
    std::set<int32_t> sprites;
    for (int i = 0; i < kPropEntries; ++i) {
        if (t[i].sprite == 0) continue;
        ++inUse;
        EXPECT_GE(t[i].sprite, kFirstPropSprite) << i;
        EXPECT_LT(t[i].sprite, kFirstPropSprite + kPropSprites) << i;
        EXPECT_TRUE(defined.count(t[i].sprite)) << "entry " << i;
        EXPECT_TRUE(sprites.insert(t[i].sprite).second) << "entry " << i;
    }
    EXPECT_EQ(inUse, 109);
}

}  // namespace
}  // namespace velmora
