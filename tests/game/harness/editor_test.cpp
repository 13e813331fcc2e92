// The stage editor run whole through the harness, driven by a scripted mouse.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/frontend/editor.h"
#include "game/play/draw.h"
#include "game/play/stage.h"
#include "platform/testing.h"
#include "tests/game/harness/editor_support.h"

namespace velmora {
namespace {

using velmora_test::EditorScript;
using velmora_test::EditorSettings;
using velmora_test::Frame;
using velmora_test::GameHarness;

constexpr int kTool = 33;

int32_t TileOf(int cx, int cy) {
    return (GetCell(cx, cy) >> kCellTileShift) & 0xff;
}

// Centre of cell (cx, cy) on screen while the camera stands at 0, 0.
int At(int c) {
    return c * 32;
}

TEST(EditorRun, OpensOnAreaZeroMadeAndCentredWithThePointerShown) {
    GameHarness h(EditorSettings());
    ASSERT_EQ(h.Start(), 0);
    EditorScript s;
    s.Do([](Frame&) {
        EXPECT_EQ(GetField(kPropKind, GetMasterObject()), kEditorMasterKind);
        int w = 0, hh = 0;
        GetAreaSize(&w, &hh);
        EXPECT_EQ(w, 21);
        EXPECT_EQ(hh, 16);
        EXPECT_EQ(GetCurrentArea(), 0);
        EXPECT_EQ(GetGameVar(kGameVarCameraX), 0);  // (21 * 32 - 32 - 640) / 2 rounds to 0
        EXPECT_EQ(GetGameVar(kGameVarCameraY), 0);
        EXPECT_EQ(CountObjectsOfKind(kPaletteButtonKind), 19);
    });
    h.Run(std::ref(s));
    EXPECT_TRUE(s.Done());
}

TEST(EditorRun, TheMouseReadsThePixelUnderThePointerAndClampsToTheScreen) {
    GameHarness h(EditorSettings());
    ASSERT_EQ(h.Start(), 0);
    struct Case {
        int x, y, wantX, wantY;
    };
    // clang-format off
    const Case cases[] = {
        {100, 200, 100, 200}, {0, 0, 0, 0}, {639, 479, 639, 479}, {5, 470, 5, 470},
    };
    // clang-format on
    EditorScript s;
    for (const Case& c : cases) {
        s.Move(c.x, c.y).Do([c](Frame&) {
            int x = -1, y = -1;
            GetEditorMouse(&x, &y);
            EXPECT_EQ(x, c.wantX) << c.x << "," << c.y;
            EXPECT_EQ(y, c.wantY) << c.x << "," << c.y;
        });
    }
    s.Down().Do([](Frame&) { EXPECT_EQ(GetEditorMouse(nullptr, nullptr) & 1, 1); });
    s.Up().Down(3).Do([](Frame&) { EXPECT_EQ(GetEditorMouse(nullptr, nullptr) & 3, 2); });
    s.Up(3);
    h.Run(std::ref(s));
    EXPECT_TRUE(s.Done());
}

TEST(EditorRun, APaletteClickSelectsItsToolAndPaintsNothingUnderIt) {
    GameHarness h(EditorSettings());
    ASSERT_EQ(h.Start(), 0);
    EditorScript s;
    s.Do([](Frame&) { SetGameVar(36, 5); });  // tile 5 of page 0
    // The tile pen's button; then the same spot again with the pen selected: both in the palette
    // row, so neither paints the cells below them.
    s.Click(272, 16).Do([](Frame&) { EXPECT_EQ(GetGameVar(kTool), 23); });
    s.Click(272, 16).Click(272, 40);
    s.Do([](Frame&) {
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 21; ++x) EXPECT_EQ(TileOf(x, y), 0) << x << "," << y;
    });
    h.Run(std::ref(s));
    EXPECT_TRUE(s.Done());
}

TEST(EditorRun, TheTilePenPaintsWhileHeldButNeverInTheDeadZones) {
    GameHarness h(EditorSettings());
    ASSERT_EQ(h.Start(), 0);
    EditorScript s;
    s.Click(272, 16);                   // tile pen, panel shown
    s.Click(32 + 32 * 3, 64 + 32 * 2);  // tile 19 of the panel's grid
    s.Do([](Frame&) { EXPECT_EQ(GetGameVar(36), 19); });
    s.Drag({{At(12), At(5)}, {At(13), At(5)}, {At(14), At(6)}});
    // The top 48 rows and the bottom 24 never edit, nor the panel.
    s.Click(At(15), 47).Click(At(15), 480 - 23).Click(At(5), At(5));
    s.Do([](Frame&) {
        EXPECT_EQ(TileOf(12, 5), 19);
        EXPECT_EQ(TileOf(13, 5), 19);
        EXPECT_EQ(TileOf(14, 6), 19);
        EXPECT_EQ(TileOf(15, 1), 0);
        EXPECT_EQ(TileOf(15, 14), 0);
        EXPECT_EQ(TileOf(15, 15), 0);
        EXPECT_EQ(TileOf(5, 5), 0);
    });
    h.Run(std::ref(s));
    EXPECT_TRUE(s.Done());
}

// The grid's lines lie on the cell edges and reach every side of the map view, whichever way
// the camera stands off the area.
TEST(EditorRun, TheGridCoversTheWholeViewWithItsLinesOnTheCellEdges) {
    GameHarness h(EditorSettings());
    ASSERT_EQ(h.Start(), 0);
    struct Camera {
        int x, y;
    };
    // clang-format off
    const Camera cameras[] = {{0, 0}, {-96, -64}, {-160, -224}, {96, 160}, {-32, 32}};
    // clang-format on
    auto white = [](const plat::testing::PresentedPicture& pic, int x, int y) {
        const uint32_t c = pic.rgb[static_cast<size_t>(y) * pic.width + x];
        return (c >> 16 & 0xff) >= 0xf0 && (c >> 8 & 0xff) >= 0xf0 && (c & 0xff) >= 0xf0;
    };
    EditorScript s;
    s.Move(300, 470);  // over the status line: no cursor cell
    for (const Camera c : cameras) {
        s.Do([c](Frame&) {
            SetGameVar(kGameVarCameraX, c.x);
            SetGameVar(kGameVarCameraY, c.y);
        });
        s.Wait(2).Do([c, white](Frame&) {
            const auto pic = plat::testing::LastPresentedPicture();
            ASSERT_EQ(pic.width, 640);
            ASSERT_EQ(pic.height, 480);
            // A cell's edges are 16 pixels either side of its centre, world 32 x cell.
            for (int x = 0; x < 640; ++x) {
                if (((x + c.x) % 32 + 32) % 32 != 16) continue;
                for (const int y : {60, 300, 460})
                    EXPECT_TRUE(white(pic, x, y))
                        << "column " << x << " at " << y << ", camera " << c.x << "," << c.y;
            }
            for (int y = 40; y < 464; ++y) {
                if (((y + c.y) % 32 + 32) % 32 != 16) continue;
                for (const int x : {120, 320, 630})
                    EXPECT_TRUE(white(pic, x, y))
                        << "row " << y << " at " << x << ", camera " << c.x << "," << c.y;
            }
        });
    }
    h.Run(std::ref(s));
    EXPECT_TRUE(s.Done());
}

// Under the flag pen each set of blocking flags looks different, and so does each start or exit
// mark with its number: a cell's picture tells what it holds.
TEST(EditorRun, EachFlagSetAndEachNumberedMarkLooksDifferentOnTheMap) {
    GameHarness h(EditorSettings());
    ASSERT_EQ(h.Start(), 0);
    // clang-format off
    const int32_t cells[] = {
        0,                                             // bare ground
        2, 4, 8, 2 | 4, 2 | 8, 4 | 8, 2 | 4 | 8,       // the flags alone and together
        1 << kCellObjectShift | 1 << 24,               // start 1, 2 and 3
        1 << kCellObjectShift | 2 << 24,
        1 << kCellObjectShift | 3 << 24,
        2 << kCellObjectShift | 1 << 24,               // another mode's mark, number 1
    };
    // clang-format on
    constexpr int n = sizeof cells / sizeof cells[0];
    EditorScript s;
    s.Click(336, 16).Move(300, 470);  // the flag pen; the mouse off the map
    s.Do([&](Frame&) {
        for (int i = 0; i < n; ++i) SetCell(2 + i, 6, cells[i]);
    });
    s.Wait(2).Do([&](Frame&) {
        const auto pic = plat::testing::LastPresentedPicture();
        ASSERT_EQ(pic.width, 640);
        // The inside of each cell, grid lines left out.
        auto block = [&](int i) {
            std::vector<uint32_t> b;
            const int x0 = 32 * (2 + i) - 15, y0 = 32 * 6 - 15;
            for (int y = y0; y < y0 + 31; ++y)
                for (int x = x0; x < x0 + 31; ++x) b.push_back(pic.rgb[y * pic.width + x]);
            return b;
        };
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j)
                EXPECT_NE(block(i), block(j)) << "cells " << cells[i] << " and " << cells[j];
    });
    h.Run(std::ref(s));
    EXPECT_TRUE(s.Done());
}

// The object pen's name sits on its own strip, drawn over the panel's black.
TEST(EditorRun, TheObjectPenNameStripShowsOnItsPanel) {
    GameHarness h(EditorSettings());
    ASSERT_EQ(h.Start(), 0);
    EditorScript s;
    s.Click(368, 16).Move(400, 300).Wait(2).Do([](Frame&) {
        const auto pic = plat::testing::LastPresentedPicture();
        ASSERT_EQ(pic.width, 640);
        // Right of the longest name, inside the strip (24, 40)-(200, 56); below it the panel.
        const uint32_t strip = pic.rgb[48 * pic.width + 196];
        const uint32_t panel = pic.rgb[80 * pic.width + 196];
        EXPECT_GT(strip & 0xff, 0x60u) << std::hex << strip;
        EXPECT_GT(strip >> 16 & 0xff, 0x30u) << std::hex << strip;
        EXPECT_LT(panel & 0xff, 0x10u) << std::hex << panel;
    });
    h.Run(std::ref(s));
    EXPECT_TRUE(s.Done());
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// The stage operations the editor leans on, in the harness's run folder.
class EditorStageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(h_.Start(), 0); }
    GameHarness h_{EditorSettings()};
};

TEST_F(EditorStageTest, ASaveMakesTheFolderAndAFailedSaveKeepsTheOldStage) {
    std::filesystem::remove_all("userdata");
    NewStage(-1);
    NewStage(0);
    SetStageWord(kStageWordTitle, 1);
    ASSERT_GT(SaveUserStage(5), 0);
    ASSERT_TRUE(std::filesystem::exists("userdata/usermd05.dat"));
    const auto before = std::filesystem::file_size("userdata/usermd05.dat");

    // The temporary file cannot be made: the save fails and the slot keeps its stage.
    std::filesystem::create_directory("userdata/usermd05.dat.new");
    SetStageWord(kStageWordTitle, 2);
    EXPECT_EQ(SaveUserStage(5), -1);
    std::filesystem::remove("userdata/usermd05.dat.new");
    EXPECT_EQ(std::filesystem::file_size("userdata/usermd05.dat"), before);
    ASSERT_EQ(LoadUserStage(5), 0);
    EXPECT_EQ(GetStageWord(kStageWordTitle), 1);
}

TEST_F(EditorStageTest, AHeaderReadReportsTheBytesReadAndForgetsTheLastFile) {
    std::filesystem::create_directories("userdata");
    NewStage(-1);
    NewStage(0);
    ASSERT_GT(SaveUserStage(7), 0);
    ASSERT_EQ(ReadUserStageHeader(7), 128);
    EXPECT_NE(GetUserStageHeaderWord(kStageWordAreaOffsets), 0);
    {
        std::FILE* f = std::fopen("userdata/usermd08.dat", "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite("abcdefghij", 1, 10, f);
        std::fclose(f);
    }
    EXPECT_EQ(ReadUserStageHeader(8), 10);
    EXPECT_EQ(GetUserStageHeaderWord(kStageWordAreaOffsets), 0);
    EXPECT_EQ(ReadUserStageHeader(9), -1);
    // A short file is an empty slot in the list.
    ScanStageSlots(0);
    EXPECT_EQ(UserStageSlotTable[0][7], 8);
    EXPECT_EQ(UserStageSlotTable[0][8], 0);
    EXPECT_EQ(UserStageSlotTable[0][9], 0);
}

TEST_F(EditorStageTest, DeletingTheCurrentAreaForgetsItsSizeAndAnAbsentAreaCannotBeResized) {
    NewStage(-1);
    NewStage(0);
    NewStage(3);  // area 3 is current
    ClearArea(3);
    int w = -1, h = -1;
    GetAreaSize(&w, &h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    SetCell(2, 2, 0x40);  // a stroke into the deleted area goes nowhere
    EXPECT_EQ(GetAreaWordOf(3, kAreaHeaderWords + 2 + 2 * 21), 0);

    ResizeArea(1, 1);
    EXPECT_EQ(GetAreaWordOf(3, kAreaWordWidth), 0);
    EXPECT_EQ(GetStageWord(kStageWordAreaOffsets + 3), 0);
    SelectArea(0);
    ResizeArea(1, 0);
    EXPECT_EQ(GetAreaWordOf(0, kAreaWordWidth), 22);
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// Full screen shows the 640 x 480 picture scaled with bars on the desktop: the mouse still
// reads the picture's pixel under the pointer.
TEST(EditorRun, FullScreenTheMouseReadsThePicturePixelUnderThePointer) {
    velmora_test::HarnessSettings settings = EditorSettings();
    settings.screenMode = 0;  // a 640 x 480 display mode shown on the 1920 x 1080 desktop
    GameHarness h(settings);
    ASSERT_EQ(h.Start(), 0);
    EditorScript s;
    SDL_Window* window = nullptr;
    int ow = 0, oh = 0;
    s.Do([&](Frame&) {
        for (uint32_t id = 1; id < 16 && window == nullptr; ++id) {
            SDL_Window* w = SDL_GetWindowFromID(id);
            if (w && (SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN_DESKTOP) ==
                         SDL_WINDOW_FULLSCREEN_DESKTOP)
                window = w;
        }
        ASSERT_NE(window, nullptr);
        SDL_GetWindowSize(window, &ow, &oh);
    });
    struct Case {
        int x, y;
    };
    for (const Case c : {Case{100, 200}, Case{0, 0}, Case{639, 479}, Case{320, 17}}) {
        // Where the presenter puts picture pixel (x, y): the largest whole scale that fits,
        // centred.
        s.Do([&, c](Frame& f) {
            const int scale = std::max(1, std::min(ow / 640, oh / 480));
            const int bx = (ow - 640 * scale) / 2, by = (oh - 480 * scale) / 2;
            f.InjectMouseMotion(bx + c.x * scale + scale / 2, by + c.y * scale + scale / 2);
        });
        s.Do([c](Frame&) {
            int x = -1, y = -1;
            GetEditorMouse(&x, &y);
            EXPECT_EQ(x, c.x);
            EXPECT_EQ(y, c.y);
        });
    }
    // A point on the bars reads as the nearest edge of the picture.
    s.Do([](Frame& f) { f.InjectMouseMotion(0, 0); }).Do([](Frame&) {
        int x = -1, y = -1;
        GetEditorMouse(&x, &y);
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, 0);
    });
    h.Run(std::ref(s));
    EXPECT_TRUE(s.Done());
}

}  // namespace
}  // namespace velmora
