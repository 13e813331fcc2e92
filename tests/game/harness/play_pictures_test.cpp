// Pictures of the play field from the real game: the first built-in stage set up by hand in the
// running game, drawn frame by frame through the draw list and presented. Each case writes its
// picture as a PNG into the build's test-output folder for people to look at, and checks the
// few things about it a player would notice at once.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/sprite_ids.h"
#include "game/frontend/windows.h"
#include "game/play/combat.h"
#include "game/play/hud.h"
#include "game/play/large_enemies.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"
#include "platform/testing.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/harness/pictures.h"

namespace velmora {
namespace {

using velmora_test::GameHarness;
using velmora_test::HarnessSettings;
using velmora_test::WritePicture;

// The first built-in stage in play, set up by hand: master, map, player 0 at its entry and the
// stage objects of area 0.
struct PlayScene {
    int master = -1, map = -1, player = -1;
    int32_t entryX = 0, entryY = 0;

    void Build(uint32_t sky, int stage = 0, int area = 0) {
        ResetAllObjects();
        ASSERT_EQ(LoadBuiltInStage(stage), 0);
        ASSERT_EQ(SelectArea(area), area);
        master = SpawnObject(0, 0, 24, 0, 0x20000001);
        ASSERT_GT(master, 0);
        SetFieldBits(kPropFlags, master, kFlagKeep);
        SetMasterObject(master);
        SetConfigVar(33, GetConfigVar(33) | 0x10);
        SetGameVar(kGameVarPhase, 5);
        SetGameVar(kGameVarSky, static_cast<int32_t>(sky));
        SetGameVar(120, 300 * 60);
        SetGameVar(113, 800 * 2 + 100);
        SetGameVar(96, 12345);
        SetGameVar(kGameVarIconsOwned, -1);  // no item-get notice over the pictures
        SetGameVar(100, 3);
        SetGameVar(104, 100000);
        SetGameVar(80, 2);
        SetGameVar(84, 1);
        SetGameVar(88, 1);
        map = SpawnObject(0, 0, 5, 7, 0x20000002);
        SetFieldBits(kPropFlags, map, kFlagKeep);
        SetGameVar(121, map);
        const int32_t entry = GetAreaWord(8);
        entryX = (entry >> 16) * 32;
        entryY = (entry & 0xffff) * 32;
        player = SpawnPlayer(entryX, entryY, 0, 0);
        ASSERT_GT(player, 0);
        for (int n : {54, 55, 102, 103}) SetField(n, player, 80);
        int w = 0, h = 0;
        GetAreaSize(&w, &h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int32_t cell = GetCell(x, y);
                if (!(cell & static_cast<int32_t>(kCellSpawn))) continue;
                const int o = SpawnStageObject(
                    32 * x, 32 * y, 9, StageTypeOfEditorIndex((cell >> kCellObjectShift) & 0xff));
                if (o > 0) SetField(kPropVariant, o, (cell >> kCellVariantShift) & 0x7f);
            }
        }
    }
};

// Runs the game to its title, swaps the title for the scene made by `build`, then lets the play
// loop run it for `frames` frames (`each` runs at the top of every one of them) and returns the
// picture presented last.
plat::testing::PresentedPicture Play(GameHarness& h, const std::function<void()>& build, int frames,
                                     const std::function<void(int)>& each = {},
                                     std::vector<DrawRecord>* drawn = nullptr) {
    plat::testing::PresentedPicture pic;
    int start = -1;
    h.Run([&](velmora_test::Frame& f) {
        if (start < 0 && f.scene == 1) {
            CloseAllWindows();
            build();
            start = f.scene;
        }
        if (start < 0) return;
        const int n = f.scene - start;
        if (n == frames + 1) {
            pic = plat::testing::LastPresentedPicture();
            // The records the picture was drawn from, as the top of the next frame sees them.
            if (drawn)
                for (int r = kDrawListHeads; r < GetDrawRecordCount(); ++r)
                    drawn->push_back(GetDrawRecord(r));
            f.Stop();
            return;
        }
        if (each) each(n);
    });
    return pic;
}

HarnessSettings Window(int row) {
    HarnessSettings s;
    s.windowSize = row;
    return s;
}

// Distinct colours in a rectangle of the picture: a plain fill has one or two.
int Colours(const plat::testing::PresentedPicture& p, int x0, int y0, int x1, int y1) {
    std::vector<uint32_t> seen;
    for (int y = std::max(y0, 0); y < std::min(y1, p.height); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, p.width); ++x) {
            const uint32_t c = p.rgb[static_cast<size_t>(y) * p.width + x];
            if (std::find(seen.begin(), seen.end(), c) == seen.end()) seen.push_back(c);
            if (seen.size() > 64) return 65;
        }
    return static_cast<int>(seen.size());
}

// Records of the picture's frame that drew a sprite in first..last (not a text or a fill) with
// their position inside the picture.
int SpritesInPicture(const std::vector<DrawRecord>& drawn,
                     const plat::testing::PresentedPicture& pic, int32_t first, int32_t last) {
    int n = 0;
    for (const DrawRecord& d : drawn) {
        const int32_t kind = d.w[kDrawKind], sprite = d.w[kDrawSprite] & kSpriteIdMask;
        if (kind == 33 || kind == 6 || kind == 7 || sprite < first || sprite > last) continue;
        if (d.w[kDrawX] >= 0 && d.w[kDrawX] < pic.width && d.w[kDrawY] >= 0 &&
            d.w[kDrawY] < pic.height)
            n += 1;
    }
    return n;
}

void StageAtFrame120(int row, int width, int height, const char* name) {
    GameHarness h(Window(row));
    ASSERT_EQ(h.Start(), 0);
    PlayScene s;
    const auto pic = Play(
        h, [&] { s.Build(0xffffffffu); }, 120);
    ASSERT_EQ(pic.width, width);
    ASSERT_EQ(pic.height, height);
    EXPECT_TRUE(WritePicture(pic, name));
    // The map fills the screen with detail, and the HUD's panel and clock are there.
    EXPECT_GT(Colours(pic, 0, 0, width, height / 2), 32);
    EXPECT_GT(Colours(pic, 0, height - 32, 96, height), 8) << "the clock";
    EXPECT_GT(Colours(pic, width / 2 + 28, height - 48, width / 2 + 154, height - 16), 8)
        << "the panel";
}

TEST(PlayPictures, FirstStageAt320x240) {
    StageAtFrame120(0, 320, 240, "play_stage1_320x240.png");
}

TEST(PlayPictures, FirstStageAt640x480) {
    StageAtFrame120(1, 640, 480, "play_stage1_640x480.png");
}

TEST(PlayPictures, FirstStageAt1920x1080) {
    StageAtFrame120(6, 1920, 1080, "play_stage1_1920x1080.png");
}

TEST(PlayPictures, HudUnderTenSeconds) {
    GameHarness h(Window(1));
    ASSERT_EQ(h.Start(), 0);
    PlayScene s;
    const auto pic = Play(
        h,
        [&] {
            s.Build(0xffffffffu);
            SetGameVar(110, 12);
            SetGameVar(118, static_cast<int32_t>((1u << 24) | (1u << 26)));
            SetGameVar(113, 800 * 5 + 780);  // the clock rolling
        },
        3,
        [](int) {
            SetGameVar(120, 9 * 60 + 30);
            SetGameVar(111, 60);
            SetGameVar(kGameVarAge, 0);  // a frame of the red blink
        });
    EXPECT_TRUE(WritePicture(pic, "play_hud_under_10s.png"));
    int red = 0;
    for (int y = 440; y < 460; ++y)
        for (int x = 299; x < 341; ++x) {
            const uint32_t c = pic.rgb[static_cast<size_t>(y) * pic.width + x];
            if (((c >> 16) & 0xff) > 160 && ((c >> 8) & 0xff) < 80 && (c & 0xff) < 80) ++red;
        }
    EXPECT_GT(red, 20) << "the time blinks red";
}

TEST(PlayPictures, CaughtWalkerAndBuriedLeaf) {
    GameHarness h(Window(1));
    ASSERT_EQ(h.Start(), 0);
    PlayScene s;
    std::vector<DrawRecord> drawn;
    const auto pic = Play(
        h,
        [&] {
            s.Build(0xffffffffu);
            // Beside the player: a walker in a hole about to climb out, a buried leaf, and a fat
            // and a metal walker.
            const int32_t cx = s.entryX + 64, cy = s.entryY;
            OrCellAtPixel(cx, cy, kCellHole);
            const int caught = SpawnStageObject(cx, cy, 9, 8);
            SetField(kPropVariant, caught, 0x10);
            SetFieldBits(kPropFlags, caught, 0x800);
            SetField(28, caught, 40);
            SpawnStageObject(cx + 64, cy, 9, 6);
            SetField(kPropVariant, SpawnStageObject(cx, cy + 64, 9, 8), 0x30);
            SetField(kPropVariant, SpawnStageObject(cx + 64, cy + 64, 9, 8), 0x20);
        },
        30, {}, &drawn);
    EXPECT_TRUE(WritePicture(pic, "play_caught_and_buried.png"));
    EXPECT_GE(SpritesInPicture(drawn, pic, sprite::kHole, sprite::kHole + 3), 1)
        << "the hole the walker is caught in";
    EXPECT_GE(SpritesInPicture(drawn, pic, sprite::kMound, sprite::kMound), 1)
        << "the mound of the buried leaf";
    EXPECT_GE(SpritesInPicture(drawn, pic, sprite::kLeafBody, sprite::kLeafBody + 21), 3)
        << "the walkers";
}

TEST(PlayPictures, NightWithFog) {
    GameHarness h(Window(1));
    ASSERT_EQ(h.Start(), 0);
    PlayScene s;
    const auto pic = Play(
        h,
        [&] {
            s.Build(0x3f3fffffu);
            SetConfigVar(21, 2);
            SetGameVar(113, 800 * 11 + 10);
        },
        60);
    EXPECT_TRUE(WritePicture(pic, "play_night_fog.png"));
    EXPECT_GT(Colours(pic, 0, 0, 640, 240), 16) << "the map still reads at night";
}

TEST(PlayPictures, Tally) {
    GameHarness h(Window(1));
    ASSERT_EQ(h.Start(), 0);
    PlayScene s;
    std::vector<DrawRecord> drawn;
    const auto pic = Play(
        h,
        [&] {
            s.Build(0xffffffffu);
            FreeAllClassObjects();
            SetGameVar(109, 37);
        },
        150,
        [](int n) {
            SetGameVar(kGameVarPhase, 11);
            SetGameVar(kGameVarPhaseTime, n);
        },
        &drawn);
    EXPECT_TRUE(WritePicture(pic, "play_tally.png"));
    EXPECT_EQ(SpritesInPicture(drawn, pic, sprite::kWindow, sprite::kWindow), 1) << "the panel";
    for (int32_t label = sprite::kTallyLabel; label <= sprite::kTallyLabel + 3; ++label)
        EXPECT_EQ(SpritesInPicture(drawn, pic, label, label), 1) << label;
}

TEST(PlayPictures, EveryStageObject) {
    GameHarness h(Window(1));
    ASSERT_EQ(h.Start(), 0);
    PlayScene s;
    std::vector<DrawRecord> drawn;
    const auto pic = Play(
        h,
        [&] {
            s.Build(0xffffffffu);
            FreeClassObjects(3);
            // Two rows of stage objects by type and variant, below the player.
            struct Item {
                int type, variant;
            } items[] = {{1, 0}, {4, 1}, {4, 9},     {5, 0},  {6, 0},  {7, 5},  {7, 10}, {4, 6},
                         {8, 2}, {9, 0}, {11, 0x13}, {13, 0}, {12, 1}, {10, 0}, {14, 0}};
            int k = 0;
            for (const Item& it : items) {
                const int32_t x = 64 + 72 * (k % 8), y = k < 8 ? 200 : 320;
                const int o = SpawnStageObject(x, y, 9, it.type);
                if (o > 0) {
                    SetField(kPropVariant, o, it.variant);
                    if (it.type == 5) SetField(47, o, 12);
                    if (it.type == 10) {
                        SetPosition3(x, y, 120, o);
                        SetField(26, o, 1);
                        SetField(47, o, 110);
                    }
                    if (it.type == 14) {
                        SetPosition3(x + 40, y + 40, -20, o);
                        for (int n : {38, 40}) SetField(n, o, 36000);
                        for (int n : {39, 41}) SetField(n, o, 48000);
                    }
                }
                ++k;
            }
            SetGameVar(122, 0);
            SetGameVar(123, 40);
        },
        20,
        [](int) {
            SetGameVar(122, 0);
            SetGameVar(123, 40);
        },
        &drawn);
    EXPECT_TRUE(WritePicture(pic, "play_stage_objects.png"));
    // The objects of the rows, each by a sprite of its own.
    const struct {
        int32_t first, last;
        const char* what;
    } shown[] = {
        {sprite::kGenerator, sprite::kGenerator + 2, "generator"},
        {sprite::kBreakWall, sprite::kBreakWall, "breakable wall"},
        {sprite::kSaucer, sprite::kSaucer, "saucer"},
        {sprite::kBeam, sprite::kBeam, "its beam"},
        {sprite::kColorGate, sprite::kColorGate + 15, "colour gates"},
        {sprite::kSwitchGateShut, sprite::kSwitchGateShut, "switch gate"},
        {sprite::kCandle, sprite::kCandle, "candle"},
        {sprite::kKanameStone, sprite::kKanameStone, "stone"},
        {sprite::kBigLeaf, sprite::kBigLeaf + 3, "big leaf"},
        {sprite::kDoll, sprite::kDoll, "doll"},
        {sprite::kMound, sprite::kMound, "mound"},
    };
    for (const auto& o : shown)
        EXPECT_GE(SpritesInPicture(drawn, pic, o.first, o.last), 1) << o.what;
}

// The large enemies' routines run here by hand until the class routine that dispatches stage
// objects is installed; then the walk runs them.
void RunLargeEnemies() {
    if (ClassRoutineTable[3]) return;
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s) {
        const int32_t kind = GetField(kPropKind, s);
        if (GetField(kPropFlags, s) & kFlagDead) continue;
        if (kind == 0x3000000a) UpdateUfoLeaf(s);
        if (kind == 0x3000000c) UpdateBigOneLeaf(s);
        if (kind == 0x3000000e) UpdateBoss(s);
    }
}

int FindKind(int32_t kind) {
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
        if (GetField(kPropKind, s) == kind) return s;
    return -1;
}

// The last stage's arena with its boss set to `state` at frame `t` of it, played for `frames`;
// `setUp` runs once the scene is built.
plat::testing::PresentedPicture BossArena(int frames, const std::function<void(int boss)>& setUp,
                                          const std::function<void(int boss, int n)>& each = {}) {
    GameHarness h(Window(1));
    EXPECT_EQ(h.Start(), 0);
    PlayScene s;
    int boss = -1;
    return Play(
        h,
        [&] {
            s.Build(0xffffffffu, 4, 1);
            boss = FindKind(0x3000000e);
            // Players stay in play while the picture is made.
            SetGameVar(100, 9);
            if (boss > 0) setUp(boss);
        },
        frames,
        [&](int n) {
            SetField(kPropGuardTimer, s.player, 2);
            if (each && boss > 0) each(boss, n);
            RunLargeEnemies();
        });
}

TEST(PlayPictures, BossEntersItsArena) {
    const auto pic = BossArena(235, [](int) {});
    EXPECT_TRUE(WritePicture(pic, "boss_entry.png"));
    EXPECT_GT(Colours(pic, 200, 100, 440, 300), 16) << "the boss come down";
}

TEST(PlayPictures, BossRaisesAHandBeforeItsSlam) {
    const auto pic = BossArena(
        70,
        [](int b) {
            SetField(kPropAge, b, 100);
            SetField(kPropEnemyState, b, 7);
            SetField(kPropHp, b, 100000);
            SetField(45, b, 0);
            SetPosition3(320, 64, -30, b);
        },
        [](int b, int n) {
            if (n == 1) SetField(32, b, 9);
        });
    EXPECT_TRUE(WritePicture(pic, "boss_slam_warning.png"));
}

TEST(PlayPictures, BossMarksTheRingsOfItsStamp) {
    const auto pic = BossArena(70, [](int b) {
        SetField(kPropAge, b, 100);
        SetField(kPropEnemyState, b, 4);
        SetField(kPropEnemyStateTime, b, 0);
        SetField(kPropHp, b, 160000);
        SetPosition3(320, 160, -120, b);
    });
    EXPECT_TRUE(WritePicture(pic, "boss_stamp_warning.png"));
}

TEST(PlayPictures, BossPhaseChange) {
    const auto pic = BossArena(130, [](int b) {
        SetField(kPropAge, b, 100);
        SetField(kPropEnemyState, b, 18);
        SetField(kPropHp, b, 40000);
        SetPosition3(320, 64, -30, b);
    });
    EXPECT_TRUE(WritePicture(pic, "boss_phase_change.png"));
}

TEST(PlayPictures, BossSecondFormWithSatellitesAndSparks) {
    const auto pic = BossArena(110, [](int b) {
        SetField(kPropAge, b, 100);
        SetField(kPropEnemyState, b, 20);
        SetPosition3(320, 80, 0, b);
    });
    EXPECT_TRUE(WritePicture(pic, "boss_second_form.png"));
    EXPECT_GT(Colours(pic, 100, 0, 540, 300), 32) << "satellites and sparks";
}

TEST(PlayPictures, UfoBeamAndBigLeafHop) {
    GameHarness h(Window(1));
    ASSERT_EQ(h.Start(), 0);
    PlayScene s;
    int ufo = -1, leaf = -1;
    const auto pic = Play(
        h,
        [&] {
            s.Build(0xffffffffu);
            ufo = SpawnStageObject(s.entryX + 128, s.entryY + 224, 9, 10);
            SetPosition3(s.entryX + 128, s.entryY + 224, 120, ufo);
            SetField(kPropEnemyState, ufo, 1);
            leaf = SpawnStageObject(s.entryX + 352, s.entryY + 224, 9, 12);
            SetField(kPropVariant, leaf, 1);
            SetObjectHp(leaf, 20000);
            // Standing until its hop at frame 110 of the run, pictured in the air.
            SetField(kPropAge, leaf, -110);
            SetField(28, leaf, 100);
        },
        120,
        [&](int) {
            SetField(kPropGuardTimer, s.player, 2);
            RunLargeEnemies();
        });
    EXPECT_TRUE(WritePicture(pic, "ufo_beam_big_leaf.png"));
}

}  // namespace
}  // namespace velmora
