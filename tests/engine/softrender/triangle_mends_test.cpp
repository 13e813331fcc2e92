// Textured triangles where a careless walk would go wrong: a subtract of nothing, a blend image
// smaller than the source, coordinates past the fixed-point range, the write rectangle.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/screen/soft_tables.h"
#include "engine/softrender/soft_render.h"
#include "soft_reference.h"

namespace {

using namespace softtest;

// Images made by the tests start black.
void Clear(Image& img) {
    std::memset(img.m.pixels, 0, size_t(img.m.pitch) * img.m.height);
}

class TriangleMends : public ::testing::Test {
protected:
    void SetUp() override {
        tessra::BuildSoftBlendTables();
        SetTestRamp();
        Apply(State::Of(0, 0));
    }
};

TEST_F(TriangleMends, PalettedSubtractAtZeroChangesNoByte) {
    std::mt19937 rng(3);
    for (int kind = 0; kind < 2; ++kind)
        for (int tr = 0; tr < 2; ++tr) {
            Image src(kind, 12, 12, 1);
            FillNoise(src, rng);
            Image img(kind, 16, 16);
            FillNoise(img, rng);
            const auto before = img.Bytes();
            Apply(State::Of(3, 0));
            const int corners[8] = {0, 0, 16, 0, 0, 16, 16, 16};
            tessra::MemImgDrawQuad(&img.m, &src.m, corners, tr, nullptr);
            EXPECT_EQ(img.Bytes(), before) << "kind " << kind << " transparent " << tr;
        }
}

TEST_F(TriangleMends, SmallBlendImageLimitsTheDrawToWhatItCovers) {
    for (int kind = 0; kind < 2; ++kind) {
        Image src(kind, 10, 10);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) src.Set(x, y, kind == 0 ? 0xFFFF : 0x00FFFFFF);
        Image blend(2, 5, 4);
        std::memset(blend.m.pixels, 255, size_t(blend.m.pitch) * 4);
        Image got(kind, 12, 12), want(kind, 12, 12);
        Clear(got);
        Clear(want);
        const int corners[8] = {0, 0, 10, 0, 0, 10, 10, 10};
        State st = State::Of(0, 0);
        Apply(st);
        tessra::MemImgDrawQuad(&got.m, &src.m, corners, 0, &blend.m);
        RefQuad(want, src, corners, 0, &blend, st);
        EXPECT_EQ(got.Bytes(), want.Bytes());
        int drawn = 0;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x) {
                const bool covered = x < 5 && y < 4;
                drawn += got.Get(x, y) != 0;
                EXPECT_EQ(got.Get(x, y) != 0, covered) << kind << ": " << x << ", " << y;
            }
        EXPECT_EQ(drawn, 20);
    }
}

TEST_F(TriangleMends, CoordinatesPastTheFixedPointRangeAreRefused) {
    Image src(1, 16, 16);
    std::mt19937 rng(8);
    FillNoise(src, rng);
    // Each triangle would cover the whole image if it were drawn.
    const int refused[][12] = {
        {-10000, -10, 0, 0, 100, -10, 15, 0, 0, 10000, 0, 15},
        {-10, -10, 0, 0, 10000, 0, 15, 0, 0, 100, 0, 15},
        {-10, -10, 0, 0, 100, -10, 9000, 0, -10, 100, 0, 15},
        {-10, -10, 0, 0, 100, -10, 15, 0, -10, 100, 0, -8193},
        {-10, -10, 0, 0, 100, -10, 15, 0, -10, 8192, 0, 15},
    };
    for (const auto& v : refused) {
        Image img(1, 32, 32);
        Clear(img);
        tessra::MemImgDrawTriangle(&img.m, &src.m, v, 0, nullptr, 0);
        EXPECT_EQ(img.Bytes(), std::vector<uint8_t>(img.Bytes().size(), 0));
    }
    const int quad[8] = {-10000, -10000, 10000, -10000, -10000, 10000, 10000, 10000};
    Image img(1, 32, 32);
    Clear(img);
    tessra::MemImgDrawQuad(&img.m, &src.m, quad, 0, nullptr);
    EXPECT_EQ(img.Bytes(), std::vector<uint8_t>(img.Bytes().size(), 0));

    // At the ends of the range the triangle is drawn, and exactly as the reference walks it.
    const int edge[][12] = {
        {-8192, -8192, 0, 0, 8191, 20, 15, 0, 5, 8191, 0, 15},
        {8191, -8192, 15, 0, -8192, 8191, 0, 15, 20, 30, 8, 8},
        {3, 2, -8192, 0, 30, 5, 8191, 0, 4, 28, 0, 15},
    };
    for (const auto& v : edge) {
        Image got(1, 32, 32), want(1, 32, 32);
        Clear(got);
        Clear(want);
        tessra::MemImgDrawTriangle(&got.m, &src.m, v, 0, nullptr, 0);
        RefTriangle(want, src, v, 0, nullptr, State::Of(0, 0));
        EXPECT_EQ(got.Bytes(), want.Bytes());
    }
    Image got(1, 32, 32);
    Clear(got);
    tessra::MemImgDrawTriangle(&got.m, &src.m, edge[0], 0, nullptr, 0);
    EXPECT_NE(got.Bytes(), std::vector<uint8_t>(got.Bytes().size(), 0));
}

TEST_F(TriangleMends, WriteRectangleIsTheVerticesWholePixelBox) {
    const struct {
        int v[12];
        tessra::Rect want;
    } rows[] = {
        {{0, 0, 0, 0, 10, 0, 10, 0, 0, 10, 0, 10}, {0, 0, 11, 11}},
        {{-3, -1, 0, 0, 5, 7, 0, 0, 2, -9, 0, 0}, {-2, -8, 6, 8}},
        {{7, 7, 0, 0, 7, 7, 0, 0, 7, 7, 0, 0}, {7, 7, 8, 8}},
    };
    for (const auto& r : rows) {
        tessra::Rect got;
        EXPECT_EQ(tessra::TriangleWriteRect(r.v, &got), 0);
        EXPECT_EQ(got.left, r.want.left);
        EXPECT_EQ(got.top, r.want.top);
        EXPECT_EQ(got.right, r.want.right);
        EXPECT_EQ(got.bottom, r.want.bottom);
    }
}

}  // namespace
