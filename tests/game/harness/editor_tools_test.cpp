// The stage editor's pens, panels, slots and confirmation box, driven through the harness by a
// scripted mouse in a temporary run folder.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include "game/core/config.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/sound_cue.h"
#include "game/frontend/editor.h"
#include "game/play/stage.h"
#include "platform/testing.h"
#include "tests/game/harness/editor_support.h"

namespace velmora {
namespace {

using velmora_test::EditorScript;
using velmora_test::EditorSettings;
using velmora_test::Frame;
using velmora_test::GameHarness;

// Palette buttons by tool.
constexpr int kHeaderX = 16, kNewX = 48, kLoadX = 80, kSaveX = 112, kAreaMapX = 144, kQuitX = 176,
              kScrollX = 240, kTileX = 272, kFlagX = 336, kObjectX = 368, kStartX = 400,
              kUndoX = 624;

int32_t CellAt(int cx, int cy) {
    return GetCell(cx, cy);
}
int ObjectOf(int32_t cell) {
    return (cell >> kCellObjectShift) & 0xff;
}
int VariantOf(int32_t cell) {
    return (cell >> kCellVariantShift) & 0x7f;
}
int TileOf(int32_t cell) {
    return (cell >> kCellTileShift) & 0xff;
}

// Where area node i of the area map is clicked.
void NodeAt(int i, int* x, int* y) {
    int32_t dx = 0, dy = 0;
    PolarOffset(&dx, &dy, i * 18000 - 45000, 160);
    *x = 224 + dx + 16;
    *y = 224 + dy + 16;
}

// A row of the slot list, on the current page.
int RowY(int row) {
    return 72 + 24 * row + 8;
}

std::vector<int32_t> StageWords() {
    const StageRecord& s = GetStageRecord();
    return std::vector<int32_t>(s.words, s.words + kStageRecordWords);
}

void RunScript(EditorScript& s) {
    GameHarness h(EditorSettings());
    ASSERT_EQ(h.Start(), 0);
    h.Run(std::ref(s));
    EXPECT_TRUE(s.Done());
}

struct VariantCase {
    int index;
    std::vector<std::pair<int, int>> clicks;  // on the object pen's panel
    int want;
};

TEST(EditorTools, TheObjectPenEditsEachVariantLayoutAndPaintsIt) {
    // clang-format off
    const VariantCase cases[] = {
        {1, {{176, 192}, {176, 192}, {176, 224}, {40, 72}}, 2 | 1 << 4 | 64},  // head, body, flag
        {10, {{48, 192}, {48, 224}}, 11 | 3 << 4},                            // both wrap down
        {3, {{84, 224}}, 5},                                                  // colour button 5
        {4, {}, 8},                                                           // raised to 8
        {4, {{124, 200}}, 10},                                                // button 2 is 10
        {6, {{40, 72}}, 64},
        {7, {{48, 192}, {40, 72}}, 10 | 64},                                  // item wraps to 10
        {9, {{176, 168}, {164, 200}}, 3 << 3 | 1},                            // kind 1, number 3
        {11, {{124, 224}, {40, 72}}, 6 | 64},
        {31, {{48, 192}, {48, 192}}, 64 | 62},                                // icon 32 - 2 wraps
        {2, {{176, 192}, {40, 72}}, 0},                                       // no variant
    };
    // clang-format on
    EditorScript s;
    s.Click(kObjectX, 16);
    int cx = 10;
    for (const VariantCase& c : cases) {
        s.Do([c](Frame&) {
            SetGameVar(39, c.index);
            SetGameVar(45, 0);
        });
        for (const auto& [x, y] : c.clicks) s.Click(x, y);
        s.Click(cx * 32, 3 * 32);
        s.Do([c, cx](Frame&) {
            const int32_t cell = CellAt(cx, 3);
            EXPECT_EQ(ObjectOf(cell), c.index) << "index " << c.index;
            EXPECT_EQ(VariantOf(cell), c.want) << "index " << c.index;
            EXPECT_TRUE(cell & static_cast<int32_t>(kCellSpawn)) << "index " << c.index;
        });
        cx = cx == 19 ? 10 : cx + 1;
    }
    // The index wraps both ways and a step clears the variant.
    s.Do([](Frame&) {
        SetGameVar(39, 0);
        SetGameVar(45, 5);
    });
    s.Click(48, 128).Do([](Frame&) {
        EXPECT_EQ(GetGameVar(39), 31);
        EXPECT_EQ(GetGameVar(45), 64 | 32);  // the collection icon keeps its flag
    });
    s.Click(176, 128).Do([](Frame&) { EXPECT_EQ(GetGameVar(39), 0); });
    RunScript(s);
}

TEST(EditorTools, ScrollingSnapsOnReleaseAndTheArrowKeysMoveByCells) {
    EditorScript s;
    s.Click(kScrollX, 16).Drag({{400, 200}, {380, 190}, {350, 150}});
    s.Do([](Frame&) {
        EXPECT_EQ(GetGameVar(kGameVarCameraX), 32);  // 50 cut to whole cells
        EXPECT_EQ(GetGameVar(kGameVarCameraY), 32);
    });
    s.Move(400, 200).Down().Move(380, 190).Do([](Frame&) {
        EXPECT_EQ(GetGameVar(kGameVarCameraX), 32 + 20);  // between cells while held
        EXPECT_EQ(GetGameVar(kGameVarCameraY), 32 + 10);
    });
    s.Up().Tap(kButtonRight).Wait(1).Tap(kButtonDown).Wait(1).Do([](Frame&) {
        EXPECT_EQ(GetGameVar(kGameVarCameraX), 32 + 32);
        EXPECT_EQ(GetGameVar(kGameVarCameraY), 32 + 32);
    });
    RunScript(s);
}

TEST(EditorTools, TheStartPenMovesAStartAndIgnoresCellsOutsideTheArea) {
    EditorScript s;
    s.Click(kStartX, 16).Do([](Frame&) { EXPECT_EQ(GetGameVar(35), 0); });
    s.Click(kStartX, 16).Do([](Frame&) { EXPECT_EQ(GetGameVar(35), 1); });  // second click
    s.Click(12 * 32, 5 * 32).Do([](Frame&) {
        EXPECT_EQ(GetAreaWord(9), 12 << 16 | 5);
        EXPECT_EQ(ObjectOf(CellAt(12, 5)), 1);
        EXPECT_EQ(VariantOf(CellAt(12, 5)), 2);
    });
    s.Click(14 * 32, 7 * 32).Do([](Frame&) {
        EXPECT_EQ(GetAreaWord(9), 14 << 16 | 7);
        EXPECT_EQ(ObjectOf(CellAt(12, 5)), 0);  // the old place is cleared
        EXPECT_EQ(ObjectOf(CellAt(14, 7)), 1);
    });
    // Left of the area (negative cells) and below it: nothing is recorded.
    s.Do([](Frame&) { SetGameVar(kGameVarCameraX, -320); });
    s.Click(100, 200).Do([](Frame&) {
        EXPECT_EQ(GetAreaWord(9), 14 << 16 | 7);
        SetGameVar(kGameVarCameraX, 0);
        SetGameVar(kGameVarCameraY, 320);
    });
    s.Click(100, 300).Do([](Frame&) { EXPECT_EQ(GetAreaWord(9), 14 << 16 | 7); });
    RunScript(s);
}

TEST(EditorTools, AClickActsOnTheButtonUnderTheMouseNowNotOnTheLastHover) {
    EditorScript s;
    s.Click(kTileX, 16).Click(400, 300, 3).Do([](Frame&) { SetGameVar(36, 7); });
    s.Click(12 * 32, 6 * 32);
    // Hover the undo button, then leave it and press in one frame: the pen paints, nothing is
    // undone.
    s.Move(kUndoX, 16).Wait(1).Do([](Frame& f) {
        EXPECT_EQ(GetGameVar(32), 30);
        f.InjectMouseMotion(13 * 32, 6 * 32);
        f.InjectMouseButton(1, true);
    });
    s.Up().Do([](Frame&) {
        EXPECT_EQ(TileOf(CellAt(12, 6)), 7);
        EXPECT_EQ(TileOf(CellAt(13, 6)), 7);
    });
    // Undo takes back the last change and a second click gives it back.
    s.Click(kUndoX, 16).Do([](Frame&) {
        EXPECT_EQ(TileOf(CellAt(12, 6)), 7);
        EXPECT_EQ(TileOf(CellAt(13, 6)), 0);
    });
    s.Click(kUndoX, 16).Do([](Frame&) { EXPECT_EQ(TileOf(CellAt(13, 6)), 7); });
    RunScript(s);
}

TEST(EditorTools, TheFlagPenSetsAndClearsTheBlockingFlags) {
    EditorScript s;
    s.Click(kFlagX, 16).Click(512 + 16, 16).Click(544 + 16, 16);  // bits 1 and 2
    s.Click(12 * 32, 6 * 32).Do([](Frame&) { EXPECT_EQ(CellAt(12, 6) & 14, 4 | 2); });
    s.Click(480 + 16, 16).Click(12 * 32, 6 * 32).Do([](Frame&) {
        EXPECT_EQ(GetGameVar(43), 0);
        EXPECT_EQ(CellAt(12, 6) & 14, 0);
    });
    RunScript(s);
}

TEST(EditorTools, TheAreaMapEditsTitleClockLimitsAndMusicWithinTheirRanges) {
    EditorScript s;
    s.Click(kAreaMapX, 16).Click(80, 45).Do([](Frame&) { EXPECT_EQ(GetGameVar(40), 8); });
    s.Click(14, 76).Click(34, 76).Do([](Frame&) {
        EXPECT_EQ(GetStageWord(15), 1);
        EXPECT_EQ(GetStageWord(16), 2);
        EXPECT_EQ(GetStageWord(17), 0);
    });
    for (int i = 0; i < 11; ++i) s.Click(14, 76);
    s.Do([](Frame&) {
        EXPECT_EQ(GetStageWord(26), 1);  // the twelfth
        for (int n = 15; n <= 26; ++n) EXPECT_GE(GetStageWord(n), 1);
    });
    s.Click(174, 116).Do([](Frame&) { EXPECT_EQ(GetStageWord(26), 0); });
    s.Click(80, 45).Do([](Frame&) { EXPECT_EQ(GetGameVar(40), 0); });
    // Clock: below 0 gives 11, above 11 gives 0.
    s.Click(310, 64).Do([](Frame&) { EXPECT_EQ(GetStageWord(28), 11); });
    s.Click(358, 64).Do([](Frame&) { EXPECT_EQ(GetStageWord(28), 0); });
    // Time limit and enemy level stop at 0 and 99.
    s.Click(310, 424).Click(310, 456).Do([](Frame&) {
        EXPECT_EQ(GetStageWord(27), 0);
        EXPECT_EQ(GetStageWord(29), 0);
        SetStageWord(27, 99);
        SetStageWord(29, 98);
    });
    s.Click(362, 424).Click(362, 456).Click(362, 456).Do([](Frame&) {
        EXPECT_EQ(GetStageWord(27), 99);
        EXPECT_EQ(GetStageWord(29), 99);
        SetAreaWord(7, 11);
        SetAreaWord(4, 7);
    });
    // Music steps over 0..31 like the time speed and the enemy rate; the weather over its eight.
    s.Click(520, 162).Click(520, 66).Do([](Frame&) {
        EXPECT_EQ(GetAreaWord(7), 12);
        EXPECT_EQ(GetAreaWord(4), 0);
        SetAreaWord(7, 31);
    });
    s.Click(520, 162).Do([](Frame&) { EXPECT_EQ(GetAreaWord(7), 0); });
    RunScript(s);
}

TEST(EditorTools, TheSizeButtonsResizeWithinLimitsAndOnlyAnAreaThatExists) {
    EditorScript s;
    // Bottom row: narrower, wider, lower, higher.
    s.Click(297, 473).Click(297, 473).Click(407, 473).Do([](Frame&) {
        int w = 0, h = 0;
        GetAreaSize(&w, &h);
        EXPECT_EQ(w, 23);
        EXPECT_EQ(h, 17);
    });
    s.Click(251, 473).Click(251, 473).Click(251, 473).Click(361, 473).Click(361, 473);
    s.Do([](Frame&) {
        int w = 0, h = 0;
        GetAreaSize(&w, &h);
        EXPECT_EQ(w, 21);  // no narrower than 21, no lower than 16
        EXPECT_EQ(h, 16);
        SelectArea(4);  // absent
        SetGameVar(38, 4);
    });
    s.Click(297, 473).Click(407, 473).Do([](Frame&) {
        EXPECT_EQ(GetAreaWordOf(4, 0), 0);
        EXPECT_EQ(GetStageWord(3 + 4), 0);
    });
    RunScript(s);
}

TEST(EditorTools, ATitleCharacterOutsideTheLettersEndsTheTitle) {
    EditorScript s;
    s.Do([](Frame&) {
        SetStageWord(15, 1);
        SetStageWord(16, 40);  // not a letter: the title is "A"
        SetStageWord(17, 2);
    });
    s.Click(kAreaMapX, 16).Click(80, 45).Click(34, 76).Do([](Frame&) {
        EXPECT_EQ(GetStageWord(16), 2);  // appended after "A"
        EXPECT_EQ(GetStageWord(17), 0);  // and what lay behind is gone
    });
    RunScript(s);
}

TEST(EditorTools, AreaCommandsGoThroughTheBoxAndAreOfferedOnlyWhereTheyMeanSomething) {
    int x2 = 0, y2 = 0, x0 = 0, y0 = 0, x3 = 0, y3 = 0;
    NodeAt(2, &x2, &y2);
    NodeAt(0, &x0, &y0);
    NodeAt(3, &x3, &y3);
    EditorScript s;
    s.Click(kAreaMapX, 16);
    // Area 0: no DELETE. Area 2 is absent: neither DELETE nor COPYMAP.
    s.Click(60, 428).Do([](Frame&) { EXPECT_EQ(GetGameVar(40), 0); });
    s.Click(x2, y2).Do([](Frame&) { EXPECT_EQ(GetCurrentArea(), 2); });
    s.Click(60, 428).Click(60, 448).Do([](Frame&) { EXPECT_EQ(GetGameVar(40), 0); });
    // NEWMAP, answered NON, then YES: area 2 made, the tool put down.
    s.Click(60, 408).Do([](Frame&) { EXPECT_EQ(GetGameVar(40), 1); });
    s.Click(128 + 34 + 96 + 16, 400 + 38).Do([](Frame&) {
        EXPECT_EQ(GetGameVar(40), 0);
        EXPECT_EQ(GetAreaWordOf(2, 0), 0);
    });
    s.Click(60, 408).Click(128 + 34 + 16, 400 + 38).Do([](Frame&) {
        EXPECT_EQ(GetAreaWordOf(2, 0), 21);
        EXPECT_NE(GetStageWord(3 + 2), 0);
        EXPECT_EQ(GetGameVar(33), 0);
    });
    // DELETE through the box: the area goes and its size with it.
    s.Click(kAreaMapX, 16).Click(60, 428).Do([](Frame&) { EXPECT_EQ(GetGameVar(40), 3); });
    s.Click(128 + 34 + 16, 400 + 38).Do([](Frame&) {
        EXPECT_EQ(GetGameVar(40), 0);
        EXPECT_EQ(GetStageWord(3 + 2), 0);
        int w = -1;
        GetAreaSize(&w, nullptr);
        EXPECT_EQ(w, 0);
    });
    // COPYMAP from area 0 onto area 3.
    s.Click(x0, y0).Do([](Frame&) { SetAreaWord(40, 0x1234); });
    s.Click(60, 448).Do([](Frame&) { EXPECT_EQ(GetGameVar(40), 5); });
    s.Click(x3, y3).Do([](Frame&) {
        EXPECT_EQ(GetGameVar(40), 6);
        EXPECT_EQ(GetGameVar(45), 3);
    });
    s.Click(128 + 34 + 16, 400 + 38).Do([](Frame&) {
        EXPECT_EQ(GetGameVar(40), 0);
        EXPECT_EQ(GetAreaWordOf(3, 40), 0x1234);
        EXPECT_EQ(GetAreaWordOf(3, 0), 21);
    });
    RunScript(s);
}

TEST(EditorTools, SlotsNeedTwoClicksNewAsksBeforeOverwritingAndLoadRestoresEveryWord) {
    std::vector<int32_t> saved;
    EditorScript s;
    // Slot 5 on screen is file 4. The first click selects, the second makes the file.
    s.Click(kNewX, 16).Click(100, RowY(4)).Do([](Frame&) {
        EXPECT_EQ(GetGameVar(44), 4);
        EXPECT_FALSE(std::filesystem::exists("userdata/usermd04.dat"));
    });
    s.Click(100, RowY(4)).Do([](Frame&) {
        ASSERT_TRUE(std::filesystem::exists("userdata/usermd04.dat"));
        EXPECT_EQ(UserStageSlotTable[0][4], 5);
        EXPECT_EQ(UserStageSlotTable[6][4], 1);  // only area 0
        EXPECT_EQ(UserStageSlotTable[2][4], 261210);
        EXPECT_EQ(UserStageSlotTable[3][4],
                  static_cast<int32_t>(std::filesystem::file_size("userdata/usermd04.dat")));
        int w = 0, h = 0;
        GetAreaSize(&w, &h);
        EXPECT_EQ(w, 21);
        EXPECT_EQ(h, 16);
        EXPECT_EQ(ReadUserStageHeader(4), 128);
        for (int a = 1; a < kStageAreaCount; ++a) EXPECT_EQ(GetUserStageHeaderWord(3 + a), 0);
    });
    // Edits, then new again on the existing file: the box asks; NON keeps both.
    s.Do([](Frame&) { SetStageWord(27, 42); });
    s.Click(100, RowY(4)).Do([](Frame&) { EXPECT_EQ(GetGameVar(40), 1); });
    s.Click(360 + 34 + 96 + 16, 200 + 38).Do([](Frame&) {
        EXPECT_EQ(GetGameVar(40), 0);
        EXPECT_EQ(GetStageWord(27), 42);
    });
    // Save into slot 6 (file 5), change everything, load it back through the box.
    s.Click(kSaveX, 16).Click(100, RowY(5)).Click(100, RowY(5)).Do([&](Frame&) {
        EXPECT_EQ(UserStageSlotTable[0][5], 6);
        saved = StageWords();
    });
    s.Do([](Frame&) {
        SetStageWord(27, 1);
        SetCell(3, 3, 0x1c0);
    });
    s.Click(kLoadX, 16).Click(100, RowY(5)).Do([](Frame&) { EXPECT_EQ(GetGameVar(40), 1); });
    s.Click(360 + 34 + 16, 200 + 38).Do([&](Frame&) {
        const std::vector<int32_t> now = StageWords();
        // The file's date and length words aside, every word is as saved.
        for (int i = 0; i < kStageRecordWords; ++i)
            if (i != 30 && i != 31) {
                ASSERT_EQ(now[i], saved[i]) << "word " << i;
            }
    });
    RunScript(s);
}

// A save that cannot be written says so with the warning sound instead of the sound of success,
// and the slot stays empty; once the folder can be made the same click saves.
TEST(EditorTools, AFailedSaveWarnsAndLeavesTheSlotEmpty) {
    bool warned = false, cheered = false, savedLater = false;
    EditorScript s;
    s.Do([](Frame&) {
        std::filesystem::remove_all("userdata");
        std::FILE* f = std::fopen("userdata", "wb");  // a file where the folder should be
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    });
    s.Click(kSaveX, 16).Click(100, RowY(2)).Move(100, RowY(2)).Down().Do([&](Frame&) {
        warned = IsSePlaying(2);
        cheered = IsSePlaying(3);
        EXPECT_EQ(UserStageSlotTable[0][2], 0);
    });
    s.Up().Wait(30).Do([](Frame&) { std::filesystem::remove("userdata"); });
    s.Down().Do([&](Frame&) {
        savedLater = IsSePlaying(3) && UserStageSlotTable[0][2] == 3 &&
                     std::filesystem::exists("userdata/usermd02.dat");
    });
    s.Up();
    RunScript(s);
    EXPECT_TRUE(warned);
    EXPECT_FALSE(cheered);
    EXPECT_TRUE(savedLater);
}

TEST(EditorTools, QuittingThroughTheBoxLeavesForTheTitleWithThePointerHidden) {
    GameHarness h(EditorSettings());
    ASSERT_EQ(h.Start(), 0);
    bool shownInEditor = false;
    bool hiddenAfter = false;
    EditorScript s;
    s.Do([&](Frame&) { shownInEditor = plat::testing::CursorShown(); });
    // NON: the tool is put down and nothing is asked of the play loop.
    s.Click(kQuitX, 16).Click(160 + 34 + 96 + 16, 80 + 38).Do([](Frame&) {
        EXPECT_EQ(GetGameVar(33), 0);
        EXPECT_EQ(GetGameVar(40), 0);
        EXPECT_EQ(GetGameVar(kGameVarSceneRequest), 0);
    });
    s.Click(kQuitX, 16).Click(160 + 34 + 16, 80 + 38).Do([](Frame&) {
        EXPECT_EQ(GetGameVar(kGameVarSceneRequest), kRequestScene);
        EXPECT_EQ(GetConfigVar(kCfgRunFlags), kSceneTitle);
    });
    s.Do([&](Frame&) { hiddenAfter = !plat::testing::CursorShown(); });
    h.Run(std::ref(s));
    EXPECT_TRUE(s.Done());
    EXPECT_TRUE(shownInEditor);
    EXPECT_TRUE(hiddenAfter);
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// Paints the border of the 21 x 16 room with the selected pen, scrolling with the arrow keys
// so that every row lies between the palette and the status line.
void PaintBorder(EditorScript& s) {
    auto x = [](int c) { return c == 20 ? 639 : 32 * c; };
    s.Tap(kButtonUp).Wait(1).Tap(kButtonUp).Wait(1);  // camera y -64: rows 0..12 reachable
    std::vector<std::pair<int, int>> top, left, right;
    for (int c = 0; c <= 20; ++c) top.push_back({x(c), 64});
    for (int r = 0; r <= 12; ++r) left.push_back({0, 32 * r + 64});
    for (int r = 0; r <= 12; ++r) right.push_back({639, 32 * r + 64});
    s.Drag(top).Drag(left).Drag(right);
    for (int i = 0; i < 4; ++i) s.Tap(kButtonDown).Wait(1);  // camera y +64: rows 4..15
    std::vector<std::pair<int, int>> bottom, left2, right2;
    for (int c = 0; c <= 20; ++c) bottom.push_back({x(c), 15 * 32 - 64});
    for (int r = 4; r <= 15; ++r) left2.push_back({0, 32 * r - 64});
    for (int r = 4; r <= 15; ++r) right2.push_back({639, 32 * r - 64});
    s.Drag(bottom).Drag(left2).Drag(right2);
    s.Tap(kButtonUp).Wait(1).Tap(kButtonUp).Wait(1);  // back to 0
}

std::vector<int32_t> g_savedSession;

TEST(EditorSession, AScriptedSessionWallsARoomSavesItAndASecondSessionLoadsItBack) {
    const std::filesystem::path keep =
        std::filesystem::path(::testing::TempDir()) / "editor_session_usermd04.dat";
    {
        EditorScript s;
        s.Click(kTileX, 16).Click(40, 200).Click(400, 300, 3);  // stone, panel away
        s.Do([](Frame&) { EXPECT_EQ(GetGameVar(36), 32); });
        PaintBorder(s);
        s.Click(kFlagX, 16).Click(528, 16).Click(560, 16).Click(592, 16);
        PaintBorder(s);
        // The start in the room, an exit in the wall leading to area 2.
        s.Click(kStartX, 16).Click(3 * 32, 4 * 32);
        s.Click(400, 300, 3).Click(64 + 8, 56).Click(400, 300, 3);
        s.Tap(kButtonUp).Wait(1).Tap(kButtonUp).Wait(1).Click(10 * 32, 64);
        s.Tap(kButtonDown).Wait(1).Tap(kButtonDown).Wait(1);
        s.Click(kAreaMapX, 16).Click(520, 214).Click(520, 214);  // exit 1 to area 3
        s.Click(80, 45).Click(14, 76).Click(34, 76).Click(80, 45);
        s.Click(kSaveX, 16).Click(100, RowY(4)).Click(100, RowY(4));
        s.Do([&](Frame&) {
            EXPECT_EQ(UserStageSlotTable[0][4], 5);
            g_savedSession = StageWords();
            std::filesystem::copy_file("userdata/usermd04.dat", keep,
                                       std::filesystem::copy_options::overwrite_existing);
            for (int c = 0; c <= 20; ++c) {
                EXPECT_EQ(TileOf(GetCell(c, 0)), 32) << c;
                EXPECT_EQ(GetCell(c, 15) & 14, 14) << c;
            }
            for (int r = 0; r <= 15; ++r) {
                EXPECT_EQ(TileOf(GetCell(0, r)), 32) << r;
                EXPECT_EQ(GetCell(20, r) & 14, 14) << r;
            }
            EXPECT_EQ(GetAreaWord(8), 3 << 16 | 4);
            EXPECT_EQ(ObjectOf(GetCell(10, 0)), 2);  // the exit mark
            EXPECT_EQ(GetAreaWord(16), 2);
            EXPECT_EQ(GetStageWord(15), 1);
            EXPECT_EQ(GetStageWord(16), 2);
            EXPECT_EQ(GetStageWord(17), 0);
        });
        s.Click(kQuitX, 16).Click(160 + 34 + 16, 80 + 38).Wait(40);
        GameHarness h(EditorSettings());
        ASSERT_EQ(h.Start(), 0);
        const int32_t code = h.Run(std::ref(s));
        EXPECT_TRUE(s.Done());
        EXPECT_EQ(code, -1);  // stopped on the title after leaving the editor
    }
    ASSERT_FALSE(g_savedSession.empty());
    {
        EditorScript s;
        s.Do([&](Frame&) {
            std::filesystem::create_directories("userdata");
            std::filesystem::copy_file(keep, "userdata/usermd04.dat");
        });
        s.Click(kLoadX, 16).Click(100, RowY(4)).Click(100, RowY(4)).Do([](Frame&) {
            EXPECT_EQ(GetGameVar(40), 0);  // nothing unsaved: no box
            const std::vector<int32_t> now = StageWords();
            for (int i = 0; i < kStageRecordWords; ++i)
                if (i != 30 && i != 31) {
                    ASSERT_EQ(now[i], g_savedSession[i]) << "word " << i;
                }
        });
        RunScript(s);
    }
}

}  // namespace
}  // namespace velmora
