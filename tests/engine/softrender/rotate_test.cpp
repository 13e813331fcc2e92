// The rotated and scaled blit: the identity, the quarter and half turns, the mirror, the
// refusals, any angle against the exact inverse map, and every loop against the reference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "engine/screen/soft_tables.h"
#include "engine/softrender/soft_render.h"
#include "soft_reference.h"

namespace {

using namespace softtest;
using tessra::MemImgRotateBlit;

constexpr uint32_t kBack = 0xC0DE;  // blue 30: no numbered texel has it

class Rotate : public ::testing::Test {
protected:
    void SetUp() override {
        tessra::BuildSoftBlendTables();
        SetTestRamp();
        Apply(State::Of(0, 0));
    }
};

// The texel a numbered pixel shows, or false when it is not a texel.
bool TexelOf(uint32_t v, int* tx, int* ty) {
    if ((v & 31) != 1) return false;
    *tx = int(v >> 11);
    *ty = int((v >> 5) & 63);
    return true;
}

TEST_F(Rotate, AngleZeroAtScaleOneIsAPlainCopyUnderEachRule) {
    std::mt19937 rng(11);
    for (int kind = 0; kind < 2; ++kind)
        for (int srcKind = 0; srcKind < 3; ++srcKind)
            for (int mode = 0; mode < 5; ++mode)
                for (int p : {0, 100, 255})
                    for (int blend = 0; blend < 2; ++blend)
                        for (int tr = 0; tr < 2; ++tr) {
                            Image src(kind, 9, 6, srcKind == 0, srcKind == 2, 0,
                                      kind ? 0x5A5A5A5Au : 0x5A5Au);
                            if (srcKind == 0) src.m.transColor = 7;
                            FillNoise(src, rng);
                            Image bl(2, 9, 6);
                            FillBytes(bl, rng);
                            Image got(kind, 20, 16), want(kind, 20, 16);
                            FillNoise(got, rng);
                            std::memcpy(want.m.pixels, got.m.pixels,
                                        size_t(got.m.pitch) * got.m.height);
                            State st = State::Of(mode, p);
                            st.bright[1] = 200;  // tinted green, white elsewhere
                            Apply(st);
                            MemImgRotateBlit(&got.m, &src.m, 10, 7, 0.0f, 1.0f, tr, 0,
                                             blend ? &bl.m : nullptr);
                            // The image's top-left texel on (10 - 9 / 2, 7 - 6 / 2).
                            uint32_t pal[256] = {};
                            for (int i = 0; i < 256 && srcKind == 0; ++i)
                                std::memcpy(&pal[i], src.m.palette + i * (kind ? 4 : 2),
                                            kind ? 4 : 2);
                            for (int ty = 0; ty < 6; ++ty)
                                for (int tx = 0; tx < 9; ++tx) {
                                    SourcePixel sp{src.Get(tx, ty), srcKind == 0, srcKind == 2,
                                                   src.m.transColor};
                                    const int w =
                                        blend ? tessra::BlendGraphRamp[bl.m.pixels[ty * bl.m.pitch +
                                                                                   tx]]
                                              : -1;
                                    want.Set(6 + tx, 4 + ty,
                                             RefTexel(kind, sp, pal, tr, w,
                                                      want.Get(6 + tx, 4 + ty), st));
                                }
                            ASSERT_EQ(FirstDifference(got, want), "")
                                << "kind " << kind << " source " << srcKind << " mode " << mode
                                << " p " << p << " blend " << blend << " transparent " << tr;
                        }
}

TEST_F(Rotate, QuarterTurnIsExactAndClockwise) {
    Image src(0, 8, 6);
    NumberTexels(src);
    Image img(0, 32, 32);
    FillWith(img, kBack);
    MemImgRotateBlit(&img.m, &src.m, 16, 16, float(M_PI / 2), 1.0f, 0, 0, nullptr);
    int drawn = 0;
    for (int py = 0; py < 32; ++py)
        for (int px = 0; px < 32; ++px) {
            const int ox = px - 16, oy = py - 16;
            const int tx = 4 + oy, ty = 3 - ox;  // (W/2 + oy, H/2 - ox)
            const bool inside = tx >= 0 && tx < 8 && ty >= 0 && ty < 6;
            ASSERT_EQ(img.Get(px, py), inside ? src.Get(tx, ty) : kBack) << px << ", " << py;
            drawn += inside;
        }
    EXPECT_EQ(drawn, 48);
}

TEST_F(Rotate, NegativeScaleTurnsHalfway) {
    Image src(0, 8, 6);
    NumberTexels(src);
    Image img(0, 32, 32);
    FillWith(img, kBack);
    MemImgRotateBlit(&img.m, &src.m, 16, 16, 0.0f, -1.0f, 0, 0, nullptr);
    // Texel (W/2 - ox, H/2 - oy): rounded down, the mapped points sit just left of and above
    // whole texels, so each pixel shows the texel one up and one left.
    int drawn = 0;
    for (int py = 0; py < 32; ++py)
        for (int px = 0; px < 32; ++px) {
            int tx, ty;
            if (!TexelOf(img.Get(px, py), &tx, &ty)) continue;
            ++drawn;
            EXPECT_NEAR(tx, 4 - (px - 16), 1) << px << ", " << py;
            EXPECT_NEAR(ty, 3 - (py - 16), 1) << px << ", " << py;
        }
    EXPECT_EQ(drawn, 48);
    Image want(0, 32, 32);
    FillWith(want, kBack);
    RefRotate(want, src, 16, 16, 0.0f, -1.0f, 0, 0, nullptr, State::Of(0, 0));
    EXPECT_EQ(FirstDifference(img, want), "");
}

TEST_F(Rotate, MirrorShowsTheLeftColumnOnTheRight) {
    Image src(0, 8, 6);
    NumberTexels(src);
    Image img(0, 32, 32);
    FillWith(img, kBack);
    MemImgRotateBlit(&img.m, &src.m, 16, 16, 0.0f, 1.0f, 0, 1, nullptr);
    for (int py = 0; py < 32; ++py)
        for (int px = 0; px < 32; ++px) {
            const int i = 16 + 4 - px, j = py - 13;  // pixel (x + W/2 - i, y - H/2 + j)
            const bool inside = i >= 0 && i < 8 && j >= 0 && j < 6;
            ASSERT_EQ(img.Get(px, py), inside ? src.Get(i, j) : kBack) << px << ", " << py;
        }
    // Turned, it is the quad of the turned corners.
    for (float angle : {0.7f, -2.1f, 3.0f}) {
        Image got(0, 32, 32), want(0, 32, 32);
        FillWith(got, kBack);
        FillWith(want, kBack);
        MemImgRotateBlit(&got.m, &src.m, 15, 17, angle, 1.7f, 0, 1, nullptr);
        RefRotate(want, src, 15, 17, angle, 1.7f, 0, 1, nullptr, State::Of(0, 0));
        EXPECT_EQ(FirstDifference(got, want), "") << angle;
    }
}

TEST_F(Rotate, DegenerateScalesAndAnglesDrawNothing) {
    Image src(1, 8, 8);
    std::mt19937 rng(2);
    FillNoise(src, rng);
    const float inf = INFINITY, nan = NAN;
    const struct {
        float angle, scale;
    } rows[] = {{0.5f, 0.0f}, {0.5f, -0.0f}, {nan, 1.0f}, {0.5f, nan},
                {inf, 1.0f},  {0.5f, inf},   {0.5f, -inf}};
    for (const auto& r : rows)
        for (int mirror = 0; mirror < 2; ++mirror) {
            Image img(1, 24, 24);
            FillWith(img, 0x11223344);
            const auto before = img.Bytes();
            MemImgRotateBlit(&img.m, &src.m, 12, 12, r.angle, r.scale, 0, mirror, nullptr);
            EXPECT_EQ(img.Bytes(), before) << r.angle << " " << r.scale << " mirror " << mirror;
            tessra::Rect box;
            EXPECT_EQ(tessra::RotateBlitRect(12, 12, r.angle, r.scale, 8, 8, &box), -1);
        }
}

TEST_F(Rotate, RefusedImagesDrawNothingAlsoMirrored) {
    Image src16(0, 6, 6), src32(1, 6, 6), palDest(0, 16, 16, 1), alphaDest(1, 16, 16, 0, 1),
        dest16(0, 16, 16);
    std::mt19937 rng(4);
    FillNoise(src16, rng);
    FillNoise(src32, rng);
    FillNoise(palDest, rng);
    FillNoise(alphaDest, rng);
    FillNoise(dest16, rng);
    for (int mirror = 0; mirror < 2; ++mirror) {
        const auto a = dest16.Bytes(), b = palDest.Bytes(), c = alphaDest.Bytes();
        MemImgRotateBlit(&dest16.m, &src32.m, 8, 8, 0.3f, 1.0f, 0, mirror, nullptr);
        MemImgRotateBlit(&dest16.m, nullptr, 8, 8, 0.3f, 1.0f, 0, mirror, nullptr);
        MemImgRotateBlit(&palDest.m, &src16.m, 8, 8, 0.3f, 1.0f, 0, mirror, nullptr);
        MemImgRotateBlit(&alphaDest.m, &src32.m, 8, 8, 0.3f, 1.0f, 0, mirror, nullptr);
        EXPECT_EQ(dest16.Bytes(), a);
        EXPECT_EQ(palDest.Bytes(), b);
        EXPECT_EQ(alphaDest.Bytes(), c);
    }
}

TEST_F(Rotate, AnyAngleDrawsTheInverseMapAndStaysInItsBox) {
    std::mt19937 rng(31);
    std::uniform_real_distribution<float> angles(-7.0f, 7.0f), scales(0.3f, 3.0f);
    Image src(0, 13, 9);
    NumberTexels(src);
    for (int k = 0; k < 300; ++k) {
        const float angle = angles(rng), scale = (k % 7 == 0 ? -1 : 1) * scales(rng);
        const int x = int(rng() % 40) - 4, y = int(rng() % 30) - 4;
        State st = State::Of(0, 0);
        st.area = {3, 2, 30, 25};
        Apply(st);
        Image img(0, 34, 28);
        FillWith(img, kBack);
        MemImgRotateBlit(&img.m, &src.m, x, y, angle, scale, 0, 0, nullptr);
        tessra::Rect box;
        ASSERT_EQ(tessra::RotateBlitRect(x, y, angle, scale, 13, 9, &box), 0);
        const double s = std::sin(double(angle)), c = std::cos(double(angle));
        for (int py = 0; py < 28; ++py)
            for (int px = 0; px < 34; ++px) {
                const uint32_t v = img.Get(px, py);
                if (v == kBack) continue;
                ASSERT_TRUE(px >= std::max(3, box.left) && px < std::min(30, box.right) &&
                            py >= std::max(2, box.top) && py < std::min(25, box.bottom))
                    << "pixel (" << px << ", " << py << ") outside the clipped box";
                int tx, ty;
                ASSERT_TRUE(TexelOf(v, &tx, &ty));
                const double ox = px - x, oy = py - y;
                const double ex = 6 + (ox * c + oy * s) / scale, ey = 4 + (oy * c - ox * s) / scale;
                ASSERT_LE(std::abs(tx + 0.5 - ex), 1.5) << angle << " " << scale;
                ASSERT_LE(std::abs(ty + 0.5 - ey), 1.5) << angle << " " << scale;
            }
        Image want(0, 34, 28);
        FillWith(want, kBack);
        RefRotate(want, src, x, y, angle, scale, 0, 0, nullptr, st);
        ASSERT_EQ(FirstDifference(img, want), "") << angle << " " << scale;
    }
}

TEST(RotateSweep, EveryLoopMatchesTheReference) {
    tessra::BuildSoftBlendTables();
    SetTestRamp();
    std::mt19937 rng(1210);
    std::uniform_real_distribution<float> angles(-4.0f, 4.0f), scales(0.5f, 2.5f);
    const uint8_t bright[3][3] = {{255, 255, 255}, {128, 128, 128}, {200, 255, 64}};
    for (int kind = 0; kind < 2; ++kind)
        for (int srcKind = 0; srcKind < 3; ++srcKind)
            for (int mode = 0; mode < 5; ++mode)
                for (int p : {0, 1, 127, 128, 254, 255})
                    for (int b = 0; b < 3; ++b)
                        for (int blend = 0; blend < 2; ++blend)
                            for (int tr = 0; tr < 2; ++tr) {
                                Image src(kind, 11, 8, srcKind == 0, srcKind == 2, 0,
                                          kind ? 0x5A5A5A5Au : 0x5A5Au);
                                if (srcKind == 0) src.m.transColor = 7;
                                FillNoise(src, rng);
                                Image bl(2, 11, 8);
                                FillBytes(bl, rng);
                                State st = State::Of(mode, p);
                                std::copy(bright[b], bright[b] + 3, st.bright);
                                st.area = {1, 0, 21, 17};
                                Apply(st);
                                for (int k = 0; k < 3; ++k) {
                                    Image got(kind, 24, 18), want(kind, 24, 18);
                                    FillNoise(got, rng);
                                    std::memcpy(want.m.pixels, got.m.pixels,
                                                size_t(got.m.pitch) * got.m.height);
                                    const float a = angles(rng), s = scales(rng);
                                    const int x = int(rng() % 30) - 3, y = int(rng() % 24) - 3;
                                    const int mirror = k == 2;
                                    MemImgRotateBlit(&got.m, &src.m, x, y, a, s, tr, mirror,
                                                     blend ? &bl.m : nullptr);
                                    RefRotate(want, src, x, y, a, s, tr, mirror,
                                              blend ? &bl : nullptr, st);
                                    ASSERT_EQ(std::memcmp(got.m.pixels, want.m.pixels,
                                                          size_t(got.m.pitch) * got.m.height),
                                              0)
                                        << FirstDifference(got, want) << " kind " << kind
                                        << " source " << srcKind << " mode " << mode << " p " << p
                                        << " brightness " << b << " blend " << blend
                                        << " transparent " << tr << " angle " << a << " scale " << s
                                        << " mirror " << mirror;
                                }
                            }
}

TEST_F(Rotate, SmallBlendImageLimitsTheDraw) {
    Image src(1, 10, 10);
    std::mt19937 rng(6);
    FillNoise(src, rng);
    Image bl(2, 4, 3);
    std::memset(bl.m.pixels, 255, size_t(bl.m.pitch) * 3);
    Image got(1, 24, 24), want(1, 24, 24);
    FillWith(got, 0);
    FillWith(want, 0);
    MemImgRotateBlit(&got.m, &src.m, 12, 12, 0.0f, 1.0f, 0, 0, &bl.m);
    RefRotate(want, src, 12, 12, 0.0f, 1.0f, 0, 0, &bl, State::Of(0, 0));
    EXPECT_EQ(FirstDifference(got, want), "");
    int drawn = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            if (got.Get(x, y) != 0) {
                ++drawn;
                EXPECT_TRUE(x >= 7 && x < 11 && y >= 7 && y < 10) << x << ", " << y;
            }
    EXPECT_GT(drawn, 9);
}

TEST_F(Rotate, SourcesTallerThan4096RowsAreDrawnWhole) {
    Image src(0, 2, 5000);
    for (int y = 0; y < 5000; ++y)
        for (int x = 0; x < 2; ++x) src.Set(x, y, uint32_t(y * 13 + x) & 0xFFFF);
    Image img(0, 4, 8);
    FillWith(img, kBack);
    // The centre texel (1, 2500) on (1, 0): rows 4 to 7 show texel rows 2504 to 2507; shifted
    // up by 2300 pixels more, rows 4800 and on.
    MemImgRotateBlit(&img.m, &src.m, 1, -2300, 0.0f, 1.0f, 0, 0, nullptr);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(img.Get(x, y), uint32_t((4800 + y) * 13 + x) & 0xFFFF) << x << ", " << y;
}

TEST_F(Rotate, FarCentresAndHugeScalesKeepTheirMapping) {
    Image src(0, 16, 16);
    NumberTexels(src);
    // The centre 9000 pixels left at scale 2000: the image spans the whole target, and pixel
    // px shows texel 8 + (px + 9000) / 2000 = 12 (columns) and 8 + (py - 5) / 2000 = 7 or 8.
    Image img(0, 32, 16);
    FillWith(img, kBack);
    MemImgRotateBlit(&img.m, &src.m, -9000, 5, 0.0f, 2000.0f, 0, 0, nullptr);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            int tx, ty;
            ASSERT_TRUE(TexelOf(img.Get(x, y), &tx, &ty)) << x << ", " << y;
            EXPECT_EQ(tx, 12);
            EXPECT_EQ(ty, y < 5 ? 7 : 8) << y;
        }
    // A centre far off the target draws nothing there.
    Image far(0, 32, 16);
    FillWith(far, kBack);
    const auto before = far.Bytes();
    MemImgRotateBlit(&far.m, &src.m, 20000, -20000, 0.4f, 3.0f, 0, 0, nullptr);
    MemImgRotateBlit(&far.m, &src.m, 9000, 8, 0.4f, 1.0f, 0, 1, nullptr);
    EXPECT_EQ(far.Bytes(), before);
}

}  // namespace
