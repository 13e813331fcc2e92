// Ellipses: which pixels the outline and the fill reach, how often each is blended, the colour
// rules per mode and format, the tall figures, and the refusals.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <utility>

#include "engine/base/memory.h"
#include "engine/screen/soft_tables.h"
#include "engine/softrender/ellipse_walk.h"
#include "engine/softrender/soft_render.h"
#include "soft_reference.h"

namespace {

using namespace softtest;
using tessra::MemImgDrawCircle;

class Circles : public ::testing::Test {
protected:
    void SetUp() override {
        tessra::BuildSoftBlendTables();
        Apply(State::Of(0, 0));
    }
};

// How many times each pixel was blended: draws blue 1 in add mode on black (16-bit), so a
// pixel's blue counts its blends. Keys are offsets from the centre (40, 40).
std::map<std::pair<int, int>, int> Hits(int rx, int ry, int fill) {
    Image img(0, 81, 81);
    FillWith(img, 0);
    Apply(State::Of(2, 255));
    MemImgDrawCircle(&img.m, 40, 40, rx, ry, 1, fill);
    std::map<std::pair<int, int>, int> hits;
    for (int y = 0; y < 81; ++y)
        for (int x = 0; x < 81; ++x)
            if (img.Get(x, y) != 0) hits[{x - 40, y - 40}] = int(img.Get(x, y) & 31);
    return hits;
}

int Reach(const std::map<std::pair<int, int>, int>& hits, bool vertical) {
    int r = 0;
    for (const auto& h : hits) r = std::max(r, std::abs(vertical ? h.first.second : h.first.first));
    return r;
}

TEST_F(Circles, RadiusFiveOutlineHas28PointsNoneTwice) {
    const auto hits = Hits(5, 5, 0);
    EXPECT_EQ(hits.size(), 28u);
    for (const auto& h : hits) EXPECT_EQ(h.second, 1) << h.first.first << ", " << h.first.second;
    EXPECT_EQ(Reach(hits, false), 5);
    EXPECT_EQ(Reach(hits, true), 5);
    const auto filled = Hits(5, 5, 1);
    EXPECT_EQ(Reach(filled, false), 5);
    EXPECT_EQ(Reach(filled, true), 5);
    for (const auto& h : filled) EXPECT_EQ(h.second, 1);
}

TEST_F(Circles, SixByFourReachesItsRadiiWithFivePixelEnds) {
    const auto hits = Hits(6, 4, 0);
    EXPECT_EQ(Reach(hits, false), 6);
    EXPECT_EQ(Reach(hits, true), 4);
    for (int dy : {-4, 4}) {
        std::set<int> xs;
        for (const auto& h : hits)
            if (h.first.second == dy) xs.insert(h.first.first);
        EXPECT_EQ(xs, (std::set<int>{-2, -1, 0, 1, 2})) << dy;
    }
}

TEST_F(Circles, FlatOutlineBlendsFourCentreRowPointsTwice) {
    const auto hits = Hits(12, 2, 0);
    std::set<int> twice;
    for (const auto& h : hits) {
        if (h.second == 2) {
            EXPECT_EQ(h.first.second, 0);
            twice.insert(h.first.first);
        } else {
            EXPECT_EQ(h.second, 1);
        }
    }
    EXPECT_EQ(twice, (std::set<int>{-11, -10, 10, 11}));
    EXPECT_EQ(hits.at({-12, 0}), 1);
    EXPECT_EQ(hits.at({12, 0}), 1);
}

TEST_F(Circles, FlatFillIsThreeRows) {
    const auto hits = Hits(5, 1, 1);
    std::set<std::pair<int, int>> want;
    for (int x = -5; x <= 5; ++x) want.insert({x, 0});
    want.insert({0, -1});
    want.insert({0, 1});
    std::set<std::pair<int, int>> got;
    for (const auto& h : hits) got.insert(h.first);
    EXPECT_EQ(got, want);
}

TEST_F(Circles, NegativeRadiiDrawTheSameFigure) {
    for (int fill = 0; fill < 2; ++fill) {
        const auto base = Hits(7, 3, fill);
        EXPECT_EQ(Hits(-7, 3, fill), base);
        EXPECT_EQ(Hits(7, -3, fill), base);
        EXPECT_EQ(Hits(-7, -3, fill), base);
    }
}

TEST_F(Circles, FillsBlendEveryPixelOnceAndCoverTheOutline) {
    for (auto [rx, ry] : {std::pair{12, 2}, {9, 9}, {20, 7}, {3, 17}, {1, 8}, {30, 29}}) {
        const auto fill = Hits(rx, ry, 1), outline = Hits(rx, ry, 0);
        for (const auto& h : fill) ASSERT_EQ(h.second, 1) << rx << "x" << ry;
        // Every outline point is inside the fill, and each fill row spans its outline's ends.
        for (const auto& h : outline) ASSERT_TRUE(fill.count(h.first)) << rx << "x" << ry;
        std::map<int, std::pair<int, int>> rowsOut, rowsFill;
        auto ends = [](std::map<int, std::pair<int, int>>& rows, const auto& hits) {
            for (const auto& h : hits) {
                auto [it, fresh] = rows.try_emplace(h.first.second, h.first.first, h.first.first);
                it->second.first = std::min(it->second.first, h.first.first);
                it->second.second = std::max(it->second.second, h.first.first);
            }
        };
        ends(rowsOut, outline);
        ends(rowsFill, fill);
        EXPECT_EQ(rowsOut, rowsFill) << rx << "x" << ry;
        for (const auto& [row, span] : rowsFill)
            EXPECT_EQ(
                int(std::count_if(fill.begin(), fill.end(),
                                  [row = row](const auto& h) { return h.first.second == row; })),
                span.second - span.first + 1);
    }
}

TEST_F(Circles, TallFiguresReachExactlyTheirRadiiAsTransposesOfTheWide) {
    for (auto [rx, ry] : {std::pair{1, 3}, {1, 8}, {2, 10}, {5, 13}, {1, 100}})
        for (int fill = 0; fill < 2; ++fill) {
            const int big = std::max(rx, ry);
            if (big > 39) {
                // Too tall for the counting image: check the reach through the walk itself.
                int reach = 0;
                tessra::WalkEllipseOutline(
                    rx, ry, [&](int, int dy) { reach = std::max(reach, std::abs(dy)); });
                EXPECT_EQ(reach, ry);
                continue;
            }
            const auto tall = Hits(rx, ry, fill), wide = Hits(ry, rx, fill);
            EXPECT_EQ(Reach(tall, true), ry) << rx << "x" << ry;
            EXPECT_EQ(Reach(tall, false), rx) << rx << "x" << ry;
            std::map<std::pair<int, int>, int> transposed;
            for (const auto& h : wide) transposed[{h.first.second, h.first.first}] = h.second;
            EXPECT_EQ(tall, transposed) << rx << "x" << ry << " fill " << fill;
        }
}

TEST_F(Circles, ColourRulesPerModeAndFormat) {
    // The pixel at the centre of a filled circle of radius 1 gets the rule once; it must equal
    // the texel rule of a direct opaque source of the prepared colour under white brightness.
    const uint32_t colors[2] = {0xA5F3, 0x8E36F2C7u};
    const uint32_t dests[2] = {0x5B2D, 0x7F1080FFu};
    for (int kind = 0; kind < 2; ++kind)
        for (int mode = 0; mode < 6; ++mode)
            for (int p : {0, 1, 128, 254, 255})
                for (int grey : {255, 100}) {
                    Image img(kind, 3, 3);
                    FillWith(img, dests[kind]);
                    State st = State::Of(mode, p, uint8_t(grey));
                    st.area = {0, 0, 3, 3};
                    Apply(st);
                    MemImgDrawCircle(&img.m, 1, 1, 1, 1, colors[kind], 1);
                    // The colour under the brightness, by b / 256; white leaves it whole.
                    uint32_t c = colors[kind];
                    if (grey != 255) {
                        const int shift[3] = {0, kind ? 8 : 5, kind ? 16 : 11};
                        const uint32_t mask[3] = {kind ? 255u : 31u, kind ? 255u : 63u,
                                                  kind ? 255u : 31u};
                        uint32_t out = kind ? (c & 0xFF000000u) : 0;
                        for (int ch = 0; ch < 3; ++ch)
                            out |= ((((c >> shift[ch]) & mask[ch]) * uint32_t(grey)) >> 8)
                                   << shift[ch];
                        c = out;
                    }
                    State white = st;
                    white.bright[0] = white.bright[1] = white.bright[2] = 255;
                    SourcePixel sp{c, false, false, 0};
                    EXPECT_EQ(img.Get(1, 1), RefTexel(kind, sp, nullptr, 0, -1, dests[kind], white))
                        << "kind " << kind << " mode " << mode << " p " << p << " grey " << grey;
                }
}

TEST_F(Circles, TopByteByMode) {
    const struct {
        int mode;
        uint32_t color, dest, top;
    } rows[] = {
        {0, 0x8E000000u | 0x102030, 0x11445566u, 0x8E},  // mode 0 writes the colour's
        {1, 0x8E102030u, 0x11445566u, 0x11},             // alpha keeps the image's
        {4, 0x8E102030u, 0x11445566u, 0x11},             // multiply keeps it
        {2, 0x8E102030u, 0x11445566u, 0x00},             // add without overflow: 0
        {2, 0x8EF00000u, 0x11F00000u, 0x01},             // add with a red overflow: 1
        {3, 0x8E102030u, 0x11445566u, 0x00},             // subtract: 0
    };
    for (const auto& r : rows) {
        Image img(1, 3, 3);
        FillWith(img, r.dest);
        State st = State::Of(r.mode, 128);
        st.area = {0, 0, 3, 3};
        Apply(st);
        MemImgDrawCircle(&img.m, 1, 1, 1, 1, r.color, 0);
        EXPECT_EQ(img.Get(0, 1) >> 24, r.top) << "mode " << r.mode;
    }
}

TEST_F(Circles, ClippedToTheDrawAreaWithTheCentreOutside) {
    Image img(1, 20, 20);
    FillWith(img, 0);
    State st = State::Of(0, 0);
    st.area = {5, 5, 15, 15};
    Apply(st);
    MemImgDrawCircle(&img.m, 2, 10, 8, 8, 0xFFFFFF, 1);
    int drawn = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if (img.Get(x, y) != 0) {
                ++drawn;
                EXPECT_TRUE(x >= 5 && x < 15 && y >= 5 && y < 15) << x << ", " << y;
            }
    EXPECT_GT(drawn, 30);
}

TEST_F(Circles, NothingDrawnWhenRefused) {
    Image img(0, 20, 20);
    FillWith(img, 0x1234);
    const auto before = img.Bytes();
    struct Row {
        int mode, p, rx, ry;
    };
    for (const Row& r :
         {Row{0, 0, 0, 5}, Row{0, 0, 5, 0}, Row{5, 128, 5, 5}, Row{1, 0, 5, 5}, Row{2, 0, 5, 5},
          Row{3, 0, 5, 5}, Row{0, 0, 46341, 5}, Row{0, 0, 5, -2147483647 - 1}})
        for (int fill = 0; fill < 2; ++fill) {
            Apply(State::Of(r.mode, r.p));
            MemImgDrawCircle(&img.m, 10, 10, r.rx, r.ry, 0xFFFF, fill);
            EXPECT_EQ(img.Bytes(), before) << r.mode << " " << r.p << " " << r.rx << " " << r.ry;
        }
    // A failed row-flag allocation draws no fill; the outline needs none.
    tessra::g_allocFailCountdown = 1;
    Apply(State::Of(0, 0));
    MemImgDrawCircle(&img.m, 10, 10, 5, 5, 0xFFFF, 1);
    EXPECT_EQ(tessra::g_allocFailCountdown, 0);
    EXPECT_EQ(img.Bytes(), before);
    MemImgDrawCircle(&img.m, 10, 10, 5, 5, 0xFFFF, 0);
    EXPECT_NE(img.Bytes(), before);
}

TEST_F(Circles, HugeRadiiAtTheLimitStayInsideTheImage) {
    Image img(1, 16, 16);
    FillWith(img, 0);
    Apply(State::Of(0, 0));
    // Radii at the limit: the walk's values pass 32 bits, and only the figure's edge shows.
    MemImgDrawCircle(&img.m, 46340 + 8, 8, 46340, 46340, 0xFFFFFF, 0);
    EXPECT_EQ(img.Get(8, 8), 0xFFFFFFu);
    EXPECT_EQ(img.Get(9, 8), 0u);
    Image filled(1, 16, 16);
    FillWith(filled, 0);
    MemImgDrawCircle(&filled.m, 8, 46340 + 8, 46340, 46340, 0xFFFFFF, 1);
    EXPECT_EQ(filled.Get(8, 8), 0xFFFFFFu);
    EXPECT_EQ(filled.Get(3, 7), 0u);
}

}  // namespace
