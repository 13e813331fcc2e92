// Pictures of the stage editor, driven by the scripted mouse: the tile panel, a painted map, the
// object pen, the area map, the slot list and the confirmation box, written for people to look
// at, and the busiest frame's draw-list records at 1920 x 1080.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/play/stage.h"
#include "tests/game/harness/editor_support.h"
#include "tests/game/harness/pictures.h"

namespace velmora {
namespace {

using velmora_test::EditorScript;
using velmora_test::EditorSettings;
using velmora_test::Frame;
using velmora_test::GameHarness;
using velmora_test::HarnessSettings;
using velmora_test::WritePicture;

// A walled room with a floor of two kinds, some props and stage objects, made as the pens would.
void BuildRoom() {
    int w = 0, h = 0;
    GetAreaSize(&w, &h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool wall = x == 0 || y == 0 || x == w - 1 || y == h - 1;
            int32_t cell = (wall                  ? 96 + (x + y) % 4
                            : (x / 4 + y / 4) % 2 ? 1
                                                  : 0)
                           << kCellTileShift;
            if (wall)
                cell |= 2 | 4 | 8;
            else if ((x * 7 + y * 3) % 11 == 0)
                cell |= (16 + (x + y) % 12) << kCellObjectShift;
            SetCell(x, y, cell);
        }
    }
    SetCell(5, 5, (1 << kCellTileShift) | (5 << kCellObjectShift) | kCellSpawn | (3 << 24));
    SetCell(9, 7, (1 << kCellTileShift) | (8 << kCellObjectShift) | kCellSpawn);
    SetCell(14, 9, (1 << kCellTileShift) | (3 << kCellObjectShift) | kCellSpawn | (2 << 24));
    SetCell(3, 3, (1 << kCellTileShift) | (1 << kCellObjectShift) | (1 << 24));
}

// Records of the list drawn last, the largest seen, kept by a frame script.
struct RecordWatch {
    int most = 0;
    void Look() { most = std::max(most, GetDrawRecordCount()); }
};

TEST(EditorPictures, EveryPanelReadsAtAGlance) {
    GameHarness h(EditorSettings());
    ASSERT_EQ(h.Start(), 0);
    RecordWatch records;
    auto snap = [](const char* name) {
        return [name](Frame&) {
            const auto pic = plat::testing::LastPresentedPicture();
            EXPECT_EQ(pic.width, 640);
            EXPECT_TRUE(WritePicture(pic, name));
        };
    };
    EditorScript s;
    s.Do([](Frame&) { BuildRoom(); });
    s.Click(272, 16).Click(32 + 32 * 2, 64 + 32 * 1).Move(400, 200).Wait(3);
    s.Do(snap("editor_tile_panel.png"));
    s.Click(400, 200, 3).Drag({{352, 288}, {384, 288}, {416, 288}}).Move(448, 320).Wait(3);
    s.Do(snap("editor_painted_map.png"));
    s.Click(368, 16).Click(176, 128).Click(176, 128).Click(176, 128).Click(176, 128);
    s.Click(176, 128).Move(400, 250).Wait(3);
    s.Do(snap("editor_object_pen.png"));
    s.Click(144, 16).Move(300, 300).Wait(3);
    s.Do(snap("editor_area_map.png"));
    s.Click(60, 408).Move(170, 438).Wait(3);
    s.Do(snap("editor_confirm_box.png"));
    s.Click(260, 438).Click(112, 16).Click(100, 72 + 24 * 4 + 8).Move(200, 200).Wait(3);
    s.Do(snap("editor_slot_list.png"));
    h.Run([&](Frame& f) {
        records.Look();
        s(f);
    });
    EXPECT_TRUE(s.Done());
    EXPECT_LT(records.most, kDrawRecords);
}

// On a larger window the new area stands in the middle of the view, the grid on its cells, and
// the panels keep their places at the top left.
TEST(EditorPictures, ALargerWindowCentresTheArea) {
    HarnessSettings settings = EditorSettings();
    settings.windowSize = 3;  // 1024 x 768
    GameHarness h(settings);
    ASSERT_EQ(h.Start(), 0);
    EditorScript s;
    s.Do([](Frame&) { BuildRoom(); }).Move(1000, 760).Wait(2);
    s.Do([](Frame&) {
        const auto pic = plat::testing::LastPresentedPicture();
        ASSERT_EQ(pic.width, 1024);
        EXPECT_TRUE(WritePicture(pic, "editor_centred_1024x768.png"));
        // The room's 21 x 16 cells span 672 x 512 pixels around the middle of the view.
        const int left = -16 - GetGameVar(kGameVarCameraX), top = -16 - GetGameVar(kGameVarCameraY);
        EXPECT_LE(std::abs(left + 672 / 2 - 1024 / 2), 16);
        EXPECT_LE(std::abs(top + 512 / 2 - 768 / 2), 16);
    });
    s.Click(272, 16).Move(700, 400).Wait(3).Do([](Frame&) {
        EXPECT_TRUE(
            WritePicture(plat::testing::LastPresentedPicture(), "editor_tiles_1024x768.png"));
    });
    s.Click(144, 16).Move(700, 400).Wait(3).Do([](Frame&) {
        EXPECT_TRUE(
            WritePicture(plat::testing::LastPresentedPicture(), "editor_area_map_1024x768.png"));
    });
    h.Run(std::ref(s));
    EXPECT_TRUE(s.Done());
}

// A dense map on a screen of 1920 x 1080: an area of 64 x 63 cells, walled, a stage object in
// every fourth cell and a prop in half the others, seen under every pen and panel.
TEST(EditorPictures, TheBusiestFrameAt1920x1080FitsTheDrawList) {
    HarnessSettings settings = EditorSettings();
    settings.windowSize = 6;  // 1920 x 1080
    GameHarness h(settings);
    ASSERT_EQ(h.Start(), 0);
    RecordWatch records;
    EditorScript s;
    s.Do([](Frame&) {
        // Grown by the resize buttons' own operation to 64 x 63 (4032 cells).
        ResizeArea(64 - 21, 63 - 16);
        int w = 0, h = 0;
        GetAreaSize(&w, &h);
        ASSERT_EQ(w * h, 64 * 63);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool wall = x == 0 || y == 0 || x == w - 1 || y == h - 1;
                int32_t cell = ((x + y) % 64) << kCellTileShift;
                if (wall)
                    cell |= 2 | 4 | 8;
                else if ((x + 2 * y) % 4 == 0)
                    cell |= ((1 + (x + y) % 12) << kCellObjectShift) | kCellSpawn |
                            (((x * 3 + y) % 64) << 24);
                else if ((x + y) % 2 == 0)
                    cell |= (16 + (x * 5 + y) % 128) << kCellObjectShift;
                SetCell(x, y, cell);
            }
        SetGameVar(kGameVarCameraX, 0);
        SetGameVar(kGameVarCameraY, 0);
    });
    for (const int tool : {272, 304, 336, 368, 400, 144, 112, 16}) {
        s.Click(tool, 16).Move(900, 500).Wait(3);
    }
    s.Click(368, 16).Move(900, 500).Wait(3);
    s.Do([](Frame&) {
        const auto pic = plat::testing::LastPresentedPicture();
        EXPECT_EQ(pic.width, 1920);
        EXPECT_TRUE(WritePicture(pic, "editor_busiest_1920x1080.png"));
    });
    h.Run([&](Frame& f) {
        records.Look();
        s(f);
    });
    EXPECT_TRUE(s.Done());
    std::printf("busiest editor frame at 1920 x 1080: %d draw records\n", records.most);
    EXPECT_LT(records.most, kDrawRecords);
}

}  // namespace
}  // namespace velmora
