// Where the plain and stretched blits put the source: clipping, the run-data path's agreement
// with the general loops, scaling and mirroring.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/softrender/soft_render.h"
#include "soft_reference.h"

namespace {

using namespace softtest;

// A source whose pixel value names its column and row.
void Label(Image& img) {
    for (int y = 0; y < img.m.height; ++y)
        for (int x = 0; x < img.m.width; ++x)
            img.Set(x, y, 0x00010000u + uint32_t(y) * 256 + uint32_t(x));
}

TEST(BlitGeometry, ClippedLeftEdgeStartsAtTheRightSourceColumn) {
    Image src(1, 30, 2), dest(1, 64, 4);
    Label(src);
    tessra::FillMemImgRect(&dest.m, nullptr, 0);
    State st;
    st.area = {0, 0, 64, 4};
    Apply(st);
    tessra::MemImgBlit(&dest.m, &src.m, -10, 1, 0, nullptr);
    for (int x = 0; x < 64; ++x) EXPECT_EQ(dest.Get(x, 1), x < 20 ? src.Get(x + 10, 0) : 0u) << x;
}

TEST(BlitGeometry, SourceOutsideTheDrawAreaLeavesTheDestination) {
    Image src(0, 8, 8), dest(0, 32, 32);
    tessra::FillMemImgRect(&src.m, nullptr, 0xFFFF);
    tessra::FillMemImgRect(&dest.m, nullptr, 0x1234);
    State st;
    st.area = {8, 8, 24, 24};
    Apply(st);
    const int places[][2] = {{0, 0}, {24, 10}, {10, 24}, {-8, 12}, {12, 0}};
    for (const auto& at : places) tessra::MemImgBlit(&dest.m, &src.m, at[0], at[1], 0, nullptr);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) ASSERT_EQ(dest.Get(x, y), 0x1234u) << x << "," << y;
}

// The run-data path and the general loops agree outside mode 1 (and outside the MMX forms at
// full strength, which only the general loops have).
TEST(BlitGeometry, RunDataPathMatchesTheGeneralLoops) {
    std::mt19937 rng(3);
    for (int kind = 0; kind < 2; ++kind)
        for (int alpha = 0; alpha < 2; ++alpha)
            for (int mode : {0, 2, 3, 4})
                for (int p : {200, 255}) {
                    Image src(kind, 12, 6, 0, alpha, 1, kind ? 0x00FF00FFu : 0xF81Fu);
                    FillNoise(src, rng);
                    WriteRunData(src);
                    Image whole(kind, 16, 8), clipped(kind, 16, 8);
                    FillNoise(whole, rng);
                    std::memcpy(clipped.m.pixels, whole.m.pixels,
                                size_t(whole.m.pitch) * whole.m.height);
                    State st = State::Of(mode, p, 255, 0);
                    st.area = {0, 0, 16, 8};
                    Apply(st);
                    tessra::MemImgBlit(&whole.m, &src.m, 2, 1, 1, nullptr);
                    st.area = {3, 0, 16, 8};  // one source column clipped off: the general loops
                    Apply(st);
                    tessra::MemImgBlit(&clipped.m, &src.m, 2, 1, 1, nullptr);
                    for (int y = 0; y < 8; ++y)
                        for (int x = 3; x < 16; ++x)
                            ASSERT_EQ(whole.Get(x, y), clipped.Get(x, y))
                                << "kind " << kind << " alpha " << alpha << " mode " << mode
                                << " p " << p;
                }
}

// A copy between whole-width views of one image: rows lying end to end are copied as one
// block only when source and destination do not overlap, so overlapping ones still go row by
// row from the top, each row reading what the rows above it have already written.
TEST(BlitGeometry, CopyBetweenOverlappingViewsOfOneImageGoesRowByRow) {
    for (int kind = 0; kind < 2; ++kind) {
        const int width = kind == 0 ? 8 : 4;  // rows of 16 bytes: end to end in the parent
        for (int down = 0; down < 2; ++down) {
            Image img(kind, width, 8);
            Label(img);
            ASSERT_EQ(img.m.pitch, width * (kind == 0 ? 2 : 4));
            tessra::MEMIMG view{};
            tessra::InitMemImgView(&view, &img.m, 0, down ? 0 : 2, width, 6);
            State st = State::Of(0, 0);
            st.area = {0, 0, width, 8};
            Apply(st);
            tessra::MemImgBlit(&img.m, &view, 0, down ? 2 : 0, 0, nullptr);
            for (int y = 0; y < 8; ++y) {
                // Down by two repeats rows 0 and 1; up by two moves rows 2..7 up.
                const int from = down ? (y < 2 ? y : y % 2) : (y < 6 ? y + 2 : y);
                for (int x = 0; x < width; ++x) {
                    uint32_t want = 0x00010000u + uint32_t(from) * 256 + uint32_t(x);
                    if (kind == 0) want &= 0xFFFF;
                    ASSERT_EQ(img.Get(x, y), want)
                        << "kind " << kind << " down " << down << " at " << x << "," << y;
                }
            }
        }
    }
}

struct StretchRow {
    const char* name;
    int srcWidth;
    tessra::Rect rect;
    std::vector<int> columns;  // source column shown in each destination column from x = 0
};

// clang-format off
const StretchRow kStretches[] = {
    {"half width shows every other column", 4, {0, 0, 2, 1}, {0, 2}},
    {"double width shows each column twice", 4, {0, 0, 8, 1}, {0, 0, 1, 1, 2, 2, 3, 3}},
    {"same width mirrored", 4, {4, 0, 0, 1}, {3, 2, 1, 0}},
    {"double width mirrored", 3, {6, 0, 0, 1}, {2, 2, 1, 1, 0, 0}},
    {"clipped left half keeps the unclipped mapping", 4, {-4, 0, 4, 1}, {2, 2, 3, 3}},
};
// clang-format on

class StretchColumns : public ::testing::TestWithParam<StretchRow> {};

TEST_P(StretchColumns, ShowTheNearestSourceColumn) {
    const StretchRow& r = GetParam();
    Image src(1, r.srcWidth, 1), dest(1, 16, 1);
    Label(src);
    tessra::FillMemImgRect(&dest.m, nullptr, 0);
    State st;
    st.area = {0, 0, 16, 1};
    Apply(st);
    tessra::MemImgStretchBlit(&dest.m, &src.m, &r.rect, 0, nullptr);
    for (size_t x = 0; x < r.columns.size(); ++x)
        EXPECT_EQ(dest.Get(int(x), 0), src.Get(r.columns[x], 0)) << x;
    EXPECT_EQ(dest.Get(int(r.columns.size()), 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Examples, StretchColumns, ::testing::ValuesIn(kStretches),
                         [](const ::testing::TestParamInfo<StretchRow>& info) {
                             return CaseName(info.param.name);
                         });

TEST(StretchGeometry, SourceSizeGivesThePlainBlitAndMirrorsLeftToRight) {
    std::mt19937 rng(11);
    Image src(1, 100, 50);
    FillNoise(src, rng);
    Image a(1, 100, 50), b(1, 100, 50), m(1, 100, 50);
    for (Image* img : {&a, &b, &m}) tessra::FillMemImgRect(&img->m, nullptr, 0x00808080);
    Apply(State::Of(1, 128));  // halving: the plain blit's own rule
    const tessra::Rect same{0, 0, 100, 50}, mirrored{100, 0, 0, 50};
    tessra::MemImgStretchBlit(&a.m, &src.m, &same, 1, nullptr);
    tessra::MemImgBlit(&b.m, &src.m, 0, 0, 1, nullptr);
    EXPECT_EQ(a.Bytes(), b.Bytes());
    Apply(State::Of(0, 0));
    tessra::MemImgStretchBlit(&m.m, &src.m, &mirrored, 0, nullptr);
    for (int y = 0; y < 50; y += 7)
        for (int x = 0; x < 100; x += 3) ASSERT_EQ(m.Get(x, y), src.Get(99 - x, y));
}

TEST(StretchGeometry, ClippedHalfShowsWhatTheUnclippedDrawShows) {
    std::mt19937 rng(12);
    Image src(0, 7, 5);
    FillNoise(src, rng);
    Image full(0, 40, 30), half(0, 40, 30);
    tessra::FillMemImgRect(&full.m, nullptr, 0);
    tessra::FillMemImgRect(&half.m, nullptr, 0);
    const tessra::Rect r{3, 2, 32, 25};
    State st;
    st.area = {0, 0, 40, 30};
    Apply(st);
    tessra::MemImgStretchBlit(&full.m, &src.m, &r, 0, nullptr);
    st.area = {17, 13, 40, 30};
    Apply(st);
    tessra::MemImgStretchBlit(&half.m, &src.m, &r, 0, nullptr);
    for (int y = 13; y < 30; ++y)
        for (int x = 17; x < 40; ++x) ASSERT_EQ(half.Get(x, y), full.Get(x, y)) << x << "," << y;
}

}  // namespace
