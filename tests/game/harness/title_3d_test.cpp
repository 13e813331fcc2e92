// The game in a 640 x 480 full-screen mode draws through the Direct3D device: the title it
// presents there looks as the window-mode title does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "engine/d3d/d3d.h"
#include "engine/graphics/graph_table.h"
#include "engine/tessra.h"
#include "platform/testing.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/harness/pictures.h"

namespace velmora {
namespace {

using velmora_test::Frame;
using velmora_test::GameHarness;
using velmora_test::HarnessSettings;

struct TitleRun {
    plat::testing::PresentedPicture picture;
    bool device = false;     // a Direct3D device stood while the title ran
    int textureGraphs = -1;  // of the graphs alive at the title: those held in textures
    int graphs = 0;
};

// The title as presented at its 120th frame, the fade-in long done.
TitleRun RunTitle(int screenMode) {
    HarnessSettings s;
    s.screenMode = screenMode;  // 0: the 640 x 480 full-screen mode; 2: a 640 x 480 window
    s.windowSize = 1;
    GameHarness h(s);
    TitleRun run;
    if (h.Start() != 0) return run;
    h.Run([&](Frame& f) {
        if (f.scene != 120) return;
        run.picture = plat::testing::LastPresentedPicture();
        run.device = tessra::GetDirect3DDevice() != nullptr;
        run.textureGraphs = 0;
        const tessra::GraphTable& table = tessra::GetGraphTable();
        for (int32_t slot = 0; slot < table.topSlot; ++slot) {
            const tessra::GraphRecord* g = table.records[slot];
            if (g == nullptr) continue;
            ++run.graphs;
            run.textureGraphs += g->format.texture != 0;
        }
        f.Stop();
    });
    return run;
}

TEST(Title3D, FullScreenDrawsTheTitleThroughTheDeviceAsTheWindowDoes) {
    const TitleRun full = RunTitle(0);
    const TitleRun window = RunTitle(2);
    ASSERT_EQ(full.picture.width, 640);
    ASSERT_EQ(full.picture.height, 480);
    ASSERT_EQ(window.picture.width, 640);
    ASSERT_EQ(window.picture.height, 480);
    EXPECT_TRUE(velmora_test::WritePicture(full.picture, "title_3d_on.png"));
    EXPECT_TRUE(velmora_test::WritePicture(window.picture, "title_3d_off.png"));

    EXPECT_TRUE(full.device);
    EXPECT_FALSE(window.device);
    ASSERT_GT(full.graphs, 0);
    EXPECT_EQ(full.textureGraphs, full.graphs) << "every graph of the title is a texture graph";
    EXPECT_EQ(window.textureGraphs, 0);

    // Away from the turning corner ornament and the scaled logo's edge, where the device may
    // land a pixel apart, the two pictures agree to within a few steps a channel.
    int worst = 0, worstX = 0, worstY = 0;
    for (int y = 0; y < 340; ++y)
        for (int x = 0; x < 520; ++x) {
            const uint32_t a = full.picture.rgb[static_cast<size_t>(y) * 640 + x];
            const uint32_t b = window.picture.rgb[static_cast<size_t>(y) * 640 + x];
            for (int shift = 0; shift < 24; shift += 8) {
                const int d = std::abs(static_cast<int>((a >> shift) & 0xff) -
                                       static_cast<int>((b >> shift) & 0xff));
                if (d > worst) worst = d, worstX = x, worstY = y;
            }
        }
    EXPECT_LE(worst, 8) << "at (" << worstX << ", " << worstY << ")";
}

}  // namespace
}  // namespace velmora
