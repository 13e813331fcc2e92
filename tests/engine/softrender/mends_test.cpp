// Faults the drawing paths guard against: stale run data, writes outside the destination, reads
// outside the blend image or the palette, overflowing stretch set-up, and multi-pixel forms
// that would disagree with the one-pixel rule.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <iterator>

#include "engine/screen/soft_tables.h"
#include "engine/softrender/soft_render.h"
#include "soft_reference.h"

namespace {

using namespace softtest;

class Mends : public ::testing::Test {
protected:
    void SetUp() override {
        tessra::BuildSoftBlendTables();
        SetTestRamp();
        State st;
        st.area = {0, 0, 1000, 1000};  // larger than every destination here
        Apply(st);
    }
};

TEST_F(Mends, EveryWriteClearsTheDestinationsRunData) {
    Image src(1, 4, 4);
    tessra::FillMemImgRect(&src.m, nullptr, 0x00123456);
    const tessra::Rect stretch{0, 0, 8, 8}, box{1, 1, 3, 3};
    const std::function<void(tessra::MEMIMG*)> writes[] = {
        [&](tessra::MEMIMG* d) { tessra::MemImgBlit(d, &src.m, 1, 1, 0, nullptr); },
        [&](tessra::MEMIMG* d) { tessra::MemImgStretchBlit(d, &src.m, &stretch, 0, nullptr); },
        [&](tessra::MEMIMG* d) { tessra::MemImgFillRect(d, &box, 0xFF); },
        [&](tessra::MEMIMG* d) { tessra::MemImgDrawLine(d, 0, 0, 5, 3, 0xFF); },
    };
    for (const auto& write : writes) {
        Image dest(1, 8, 8, 0, 0, 1);
        tessra::FillMemImgRect(&dest.m, nullptr, 0);
        WriteRunData(dest);
        ASSERT_EQ(dest.m.runData, 1u);
        write(&dest.m);
        EXPECT_EQ(dest.m.runData, 0u);
    }
}

// A destination that is a view inside a larger image: nothing outside the view may change.
struct Framed {
    Image parent{1, 20, 20};
    tessra::MEMIMG view{};
    Framed() {
        tessra::FillMemImgRect(&parent.m, nullptr, 0x11111111);
        tessra::InitMemImgView(&view, &parent.m, 6, 6, 8, 8);
    }
    bool OutsideUntouched() const {
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                if ((x < 6 || x >= 14 || y < 6 || y >= 14) && parent.Get(x, y) != 0x11111111)
                    return false;
        return true;
    }
    bool InsideChanged() const {
        for (int y = 6; y < 14; ++y)
            for (int x = 6; x < 14; ++x)
                if (parent.Get(x, y) != 0x11111111) return true;
        return false;
    }
};

TEST_F(Mends, DrawingStaysInsideTheDestination) {
    Image src(1, 12, 12);
    tessra::FillMemImgRect(&src.m, nullptr, 0x00ABCDEF);
    const tessra::Rect big{-3, -3, 30, 30}, mirrored{25, 25, -4, -4}, fill{-5, -5, 50, 50};
    const std::function<void(tessra::MEMIMG*)> draws[] = {
        [&](tessra::MEMIMG* d) { tessra::MemImgBlit(d, &src.m, -2, 3, 0, nullptr); },
        [&](tessra::MEMIMG* d) { tessra::MemImgStretchBlit(d, &src.m, &big, 0, nullptr); },
        [&](tessra::MEMIMG* d) { tessra::MemImgStretchBlit(d, &src.m, &mirrored, 0, nullptr); },
        [&](tessra::MEMIMG* d) { tessra::MemImgFillRect(d, &fill, 0); },
        [&](tessra::MEMIMG* d) { tessra::MemImgDrawLine(d, -7, 2, 40, 30, 0); },
        [&](tessra::MEMIMG* d) { tessra::MemImgDrawLine(d, INT_MIN, 1, INT_MAX, 2, 0); },
    };
    for (size_t i = 0; i < std::size(draws); ++i) {
        Framed f;
        draws[i](&f.view);
        EXPECT_TRUE(f.OutsideUntouched()) << "draw " << i;
        EXPECT_TRUE(f.InsideChanged()) << "draw " << i;
    }
}

TEST_F(Mends, BlitDrawsOnlyWhereTheBlendImageReaches) {
    Image src(1, 8, 8), dest(1, 8, 8), blend(2, 4, 3);
    tessra::FillMemImgRect(&src.m, nullptr, 0x00FFFFFF);
    tessra::FillMemImgRect(&dest.m, nullptr, 0);
    std::memset(blend.m.pixels, 255, size_t(blend.m.pitch) * 3);  // ramp 255: full weight
    tessra::MemImgBlit(&dest.m, &src.m, 0, 0, 0, &blend.m);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(dest.Get(x, y) != 0, x < 4 && y < 3) << x << "," << y;
}

TEST_F(Mends, StretchRefusesOversizedSidesAndOtherFormats) {
    Image src(1, 4, 4), dest(1, 8, 8), dest16(0, 8, 8);
    tessra::FillMemImgRect(&src.m, nullptr, 0x00FFFFFF);
    tessra::FillMemImgRect(&dest.m, nullptr, 0);
    tessra::FillMemImgRect(&dest16.m, nullptr, 0);
    const tessra::Rect huge{0, 0, 40000, 4}, tall{0, -40000, 4, 4}, normal{0, 0, 8, 8};
    tessra::MemImgStretchBlit(&dest.m, &src.m, &huge, 0, nullptr);
    tessra::MemImgStretchBlit(&dest.m, &src.m, &tall, 0, nullptr);
    tessra::MemImgStretchBlit(&dest16.m, &src.m, &normal, 0, nullptr);
    EXPECT_EQ(dest.Get(0, 0), 0u);
    EXPECT_EQ(dest16.Get(0, 0), 0u);
    tessra::MemImgStretchBlit(&dest.m, &src.m, &normal, 0, nullptr);
    EXPECT_EQ(dest.Get(7, 7), 0x00FFFFFFu);
}

// Like the plain blit, the stretch draws only the source pixels that a smaller blend image
// covers, scaled, mirrored or not; at the source's size it gives the plain blit's result.
TEST_F(Mends, StretchDrawsOnlyWhereTheBlendImageReaches) {
    std::mt19937 rng(41);
    Image src(1, 7, 5), blend(2, 4, 3);
    FillNoise(src, rng);
    FillBytes(blend, rng);
    const tessra::Rect rects[] = {{0, 0, 7, 5},  {1, 2, 16, 13}, {16, 13, 1, 2},
                                  {15, 0, 0, 9}, {2, 3, 5, 5},   {7, 9, 0, 0}};
    for (const tessra::Rect& r : rects) {
        Image got(1, 18, 14), want(1, 18, 14);
        FillNoise(got, rng);
        std::memcpy(want.m.pixels, got.m.pixels, size_t(got.m.pitch) * got.m.height);
        State st = State::Of(1, 100);
        st.area = {1, 1, 17, 13};
        Apply(st);
        tessra::MemImgStretchBlit(&got.m, &src.m, &r, 0, &blend.m);
        RefStretch(want, src, r, 0, &blend, st);
        EXPECT_EQ(got.Bytes(), want.Bytes())
            << "into (" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
    }
}

TEST_F(Mends, StretchStepStaysAtLeastOne) {
    // 70000 source columns into one pixel: the step would round to 0.
    Image src(1, 70000, 1), dest(1, 4, 4);
    tessra::FillMemImgRect(&src.m, nullptr, 0x00222222);
    src.Set(0, 0, 0x00ABCDEF);
    tessra::FillMemImgRect(&dest.m, nullptr, 0);
    const tessra::Rect one{1, 1, 2, 3};
    tessra::MemImgStretchBlit(&dest.m, &src.m, &one, 0, nullptr);
    EXPECT_EQ(dest.Get(1, 1), 0x00ABCDEFu);
    EXPECT_EQ(dest.Get(1, 2), 0x00ABCDEFu);
    EXPECT_EQ(dest.Get(2, 1), 0u);
}

TEST_F(Mends, SixteenBitAddOfNeighboursFollowsTheOnePixelRule) {
    // In a two-pixel word the upper pixel's lowest blue bit would serve as the lower pixel's
    // guard and be lost.
    Image src(0, 2, 1), dest(0, 2, 1);
    src.Set(0, 0, 0xF800);
    src.Set(1, 0, 0x0000);
    dest.Set(0, 0, 0xF800);
    dest.Set(1, 0, 0x0001);
    State st;
    st.mode = 2;
    st.p = 255;
    Apply(st);
    tessra::MemImgBlit(&dest.m, &src.m, 0, 0, 0, nullptr);
    EXPECT_EQ(dest.Get(1, 0), 0x0001u);
    EXPECT_EQ(dest.Get(0, 0), 0xF800u);
}

TEST_F(Mends, IndexesPastThePaletteCountDrawBlack) {
    Image src(1, 2, 1, 1), dest(1, 2, 1);
    src.m.paletteCount = 2;
    const uint32_t stale = 0x00ABCDEF, first = 0x00010203;
    std::memcpy(src.m.palette + 4 * 5, &stale, 4);
    std::memcpy(src.m.palette, &first, 4);
    src.m.pixels[0] = 0;
    src.m.pixels[1] = 5;
    src.m.transColor = 300;
    tessra::FillMemImgRect(&dest.m, nullptr, 0x00FFFFFF);
    tessra::MemImgBlit(&dest.m, &src.m, 0, 0, 0, nullptr);
    EXPECT_EQ(dest.Get(0, 0), first);
    EXPECT_EQ(dest.Get(1, 0), 0u);
}

// A key is compared with the whole source value: a 16-bit key above 0xFFFF or a palette key
// above 255 equals no pixel, so its low bits must not make pixels transparent.
TEST_F(Mends, KeysWiderThanThePixelMatchNothing) {
    const struct {
        int kind, paletted;
        uint32_t pixel, key;
    } cases[] = {{0, 0, 0xF81F, 0x1F81F}, {0, 1, 44, 300}, {1, 1, 44, 300}};
    for (const auto& c : cases) {
        Image src(c.kind, 20, 2, c.paletted, 0, 0, c.key);  // wide enough for the vector rows
        if (c.paletted) {
            src.m.paletteCount = 256;
            std::memset(src.m.palette, 0x5A, 256 * 4);
        }
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 20; ++x) src.Set(x, y, c.pixel);
        const tessra::Rect doubled{0, 0, 40, 4};
        for (bool stretched : {false, true}) {
            Image dest(c.kind, 40, 4);
            tessra::FillMemImgRect(&dest.m, nullptr, 0);
            if (stretched)
                tessra::MemImgStretchBlit(&dest.m, &src.m, &doubled, 1, nullptr);
            else
                tessra::MemImgBlit(&dest.m, &src.m, 0, 0, 1, nullptr);
            EXPECT_NE(dest.Get(19, 1), 0u)
                << "kind " << c.kind << " paletted " << c.paletted << " stretched " << stretched;
        }
    }
}

// Code 2 (draw by alpha) belongs to sources with per-pixel alpha; on any other source there is
// no alpha to draw by, so such a run is drawn in full, like code 1.
TEST_F(Mends, RunCodeTwoOnASourceWithoutAlphaDrawsInFull) {
    for (int kind : {0, 1}) {
        Image src(kind, 3, 1, 0, 0, 1, 0x1234), dest(kind, 3, 1);
        const uint32_t pixel = kind ? 0x40A0B0C0u : 0xA5C3u;
        for (int x = 0; x < 3; ++x) src.Set(x, 0, pixel);
        tessra::FillMemImgRect(&dest.m, nullptr, 0);
        const uint8_t runs[] = {0x80 | 2, 0xC0};  // three pixels of code 2, end of row
        std::memcpy(src.m.auxBuffer, runs, sizeof runs);
        src.m.runData = 1;
        for (int mode : {0, 1}) {
            State st = State::Of(mode, 100);
            st.area = {0, 0, 1000, 1000};
            Apply(st);
            Image want(kind, 3, 1);
            tessra::FillMemImgRect(&want.m, nullptr, 0);
            WriteRunData(src);  // code 1 for the same pixels
            RefBlit(want, src, 0, 0, 1, nullptr, st);
            std::memcpy(src.m.auxBuffer, runs, sizeof runs);
            tessra::FillMemImgRect(&dest.m, nullptr, 0);
            tessra::MemImgBlit(&dest.m, &src.m, 0, 0, 1, nullptr);
            EXPECT_EQ(dest.Bytes(), want.Bytes()) << "kind " << kind << " mode " << mode;
        }
    }
}

TEST_F(Mends, DamagedRunDataStaysInsideTheImages) {
    Image src(1, 3, 2, 0, 0, 1);
    tessra::FillMemImgRect(&src.m, nullptr, 0x00ABCDEF);
    std::memset(src.m.auxBuffer, 0x7F, (3 + 5) * 2);  // 64-pixel draw runs and no row ends
    src.m.runData = 1;
    Framed f;
    tessra::InitMemImgView(&f.view, &f.parent.m, 6, 6, 3, 2);
    tessra::MemImgBlit(&f.view, &src.m, 0, 0, 1, nullptr);
    EXPECT_EQ(f.parent.Get(6, 6), 0x00ABCDEFu);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if (x < 6 || x >= 9 || y < 6 || y >= 8) {
                ASSERT_EQ(f.parent.Get(x, y), 0x11111111u) << x << "," << y;
            }
}

}  // namespace

namespace {

// The parameter indexes the lookup tables, so values outside 0..255 are taken as the nearest end,
// as the draw state's setter stores them.
TEST(MendsParameter, OutOfRangeParametersAreClamped) {
    softtest::Image src(1, 2, 1), dest(1, 2, 1);
    src.Set(0, 0, 0x00FFFFFF);
    src.Set(1, 0, 0x00FFFFFF);
    for (int mode : {1, 2, 3}) {
        dest.Set(0, 0, 0x00102030);
        dest.Set(1, 0, 0x00102030);
        softtest::Apply(softtest::State::Of(mode, 300));
        tessra::MemImgBlit(&dest.m, &src.m, 0, 0, 0, nullptr);
        softtest::Image want(1, 2, 1);
        want.Set(0, 0, 0x00102030);
        want.Set(1, 0, 0x00102030);
        softtest::RefBlit(want, src, 0, 0, 0, nullptr, softtest::State::Of(mode, 255));
        EXPECT_EQ(dest.Get(0, 0), want.Get(0, 0)) << "mode " << mode;
        softtest::Apply(softtest::State::Of(mode, -5));
        dest.Set(0, 0, 0x00102030);
        tessra::MemImgBlit(&dest.m, &src.m, 0, 0, 0, nullptr);
        EXPECT_EQ(dest.Get(0, 0), 0x00102030u) << "mode " << mode;
    }
}

}  // namespace
