#include "engine/screen/soft_tables.h"

#include <gtest/gtest.h>

namespace tessra {
namespace {

TEST(SoftTables, BlendTablesByFormula) {
    BuildSoftBlendTables();
    EXPECT_EQ(BlendDiffTable[255][0], -255);
    EXPECT_EQ(BlendDiffTable[255][510], 255);
    EXPECT_EQ(BlendDiffTable[128][254], 0);
    EXPECT_EQ(BlendDiffTable[128][0], -128);
    EXPECT_EQ(BlendDiffTable[100][253], 0);  // -200 / 255 truncates toward zero
    EXPECT_EQ(BlendDiffTable[200][0], -200);
    for (int p = 0; p < 256; ++p) ASSERT_EQ(BlendDiffTable[p][511], 0);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(MulDiv255Table[255][i], i);
        ASSERT_EQ(MulDiv255Table[0][i], 0);
    }
    EXPECT_EQ(MulDiv255Table[128][255], 128);
    EXPECT_EQ(MulDiv255Table[128][100], 50);
    for (int j = 0; j < 64; ++j) {
        for (int i = 0; i < 64; ++i) {
            ASSERT_EQ(Blend6BitTable[63][j][i], j);
            ASSERT_EQ(Blend6BitTable[0][j][i], i);
        }
    }
    EXPECT_EQ(Blend6BitTable[32][63][0], 32);
    EXPECT_EQ(Blend6BitTable[31][10][20], (10 * 31 + 20 * 32) / 63);
}

TEST(SoftTables, ClampRamp) {
    BuildClampRampTable(-1, 0, 255);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(BlendGraphRamp[i], 255);
    BuildClampRampTable(-1, 255, 0);
    for (int i = 0; i < 255; ++i) ASSERT_EQ(BlendGraphRamp[i], 0);
    EXPECT_EQ(BlendGraphRamp[255], 1);
    BuildClampRampTable(-1, 128, 127);  // d = 128: base = 256 - (768 * 128) / 256 = -128
    EXPECT_EQ(BlendGraphRamp[0], 0);
    EXPECT_EQ(BlendGraphRamp[64], 0);
    EXPECT_EQ(BlendGraphRamp[100], 72);
    EXPECT_EQ(BlendGraphRamp[200], 255);
    // A range below 0 would divide by zero; it is held to 0.
    BuildClampRampTable(-1, 255, -1);
    EXPECT_EQ(BlendGraphRamp[255], 1);
}

}  // namespace
}  // namespace tessra
