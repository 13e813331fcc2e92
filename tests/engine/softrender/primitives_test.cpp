// Lines, outlines and fills: which pixels they touch, how often, and their per-pixel rule.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "engine/screen/soft_tables.h"
#include "engine/softrender/soft_render.h"
#include "soft_reference.h"

namespace {

using namespace softtest;
using Pixels = std::set<std::pair<int, int>>;

// Draws by adding 1 to blue at full strength, so each pixel's blue counts how often it was drawn.
State Counting() {
    State st;
    st.mode = 2;
    st.p = 255;
    st.area = {0, 0, 640, 480};
    return st;
}

std::map<std::pair<int, int>, uint32_t> Counts(const Image& img) {
    std::map<std::pair<int, int>, uint32_t> out;
    for (int y = 0; y < img.m.height; ++y)
        for (int x = 0; x < img.m.width; ++x)
            if (img.Get(x, y) != 0) out[{x, y}] = img.Get(x, y);
    return out;
}

struct LineRow {
    const char* name;
    int x1, y1, x2, y2;
    Pixels want;
};

Pixels Run(int x0, int x1, int y) {
    Pixels p;
    for (int x = x0; x <= x1; ++x) p.insert({x, y});
    return p;
}

// clang-format off
const LineRow kLines[] = {
    {"right along a row", 0, 0, 10, 0, Run(0, 9, 0)},
    {"left along a row", 10, 0, 0, 0, Run(1, 10, 0)},
    {"shallow stays in its row", 0, 0, 10, 1, Run(0, 9, 0)},
    {"steep", 0, 0, 1, 5, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}}},
    {"equal ends", 4, 4, 4, 4, {}},
    {"clipped on the left", -10, 5, 10, 5, Run(0, 9, 5)},
    {"clipped diagonal", -5, -5, 5, 5, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}},
};
// clang-format on

class Lines : public ::testing::TestWithParam<LineRow> {};

TEST_P(Lines, DrawEachPixelOnceWithoutTheEnd) {
    const LineRow& r = GetParam();
    Image img(1, 32, 32);
    tessra::FillMemImgRect(&img.m, nullptr, 0);
    Apply(Counting());
    tessra::MemImgDrawLine(&img.m, r.x1, r.y1, r.x2, r.y2, 1);
    Pixels got;
    for (auto& [xy, count] : Counts(img)) {
        EXPECT_EQ(count, 1u) << "pixel " << xy.first << ", " << xy.second;
        got.insert(xy);
    }
    EXPECT_EQ(got, r.want);
}

INSTANTIATE_TEST_SUITE_P(Examples, Lines, ::testing::ValuesIn(kLines),
                         [](const ::testing::TestParamInfo<LineRow>& info) {
                             return CaseName(info.param.name);
                         });

// The outline goes to the screens layer's line list; here it lands on a test image.
Image* g_outlineTarget = nullptr;
int OutlineLineList(const tessra::LineRecord* lines, int32_t count) {
    tessra::MemImgDrawLineList(&g_outlineTarget->m, lines, count);
    return 0;
}

class Outline : public ::testing::Test {
protected:
    Image img{1, 32, 32};
    void SetUp() override {
        tessra::FillMemImgRect(&img.m, nullptr, 0);
        Apply(Counting());
        g_outlineTarget = &img;
        tessra::SoftScreen = {};
        tessra::SoftScreen.DrawLineList2D = OutlineLineList;
    }
    void TearDown() override { tessra::SoftScreen = {}; }
};

TEST_F(Outline, DrawsEachBorderPixelOnce) {
    EXPECT_EQ(tessra::FrameRectangleSoft(10, 10, 20, 15, 1), 0);
    std::map<std::pair<int, int>, uint32_t> want;
    for (int x = 10; x < 20; ++x) want[{x, 10}] = want[{x, 14}] = 1;
    for (int y = 10; y < 15; ++y) want[{10, y}] = want[{19, y}] = 1;
    EXPECT_EQ(Counts(img), want);
}

TEST_F(Outline, OneColumnWideDrawsItsInnerPixelsTwice) {
    tessra::FrameRectangleSoft(5, 5, 6, 9, 1);
    std::map<std::pair<int, int>, uint32_t> want{
        {{5, 5}, 1}, {{5, 6}, 2}, {{5, 7}, 2}, {{5, 8}, 1}};
    EXPECT_EQ(Counts(img), want);
}

TEST_F(Outline, PassesFourRecordsWithTheBlendParameter) {
    static std::vector<tessra::LineRecord> seen;
    seen.clear();
    tessra::SoftScreen.DrawLineList2D = [](const tessra::LineRecord* l, int32_t n) {
        seen.assign(l, l + n);
        return -1;
    };
    State st;
    st.p = 77;
    Apply(st);
    EXPECT_EQ(tessra::FrameRectangleSoft(1, 2, 8, 6, 0x1234), -1);  // the line list's answer
    ASSERT_EQ(seen.size(), 4u);
    const int want[4][4] = {{1, 2, 7, 2}, {7, 2, 7, 5}, {7, 5, 1, 5}, {1, 5, 1, 2}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(seen[i].x1, want[i][0]);
        EXPECT_EQ(seen[i].y1, want[i][1]);
        EXPECT_EQ(seen[i].x2, want[i][2]);
        EXPECT_EQ(seen[i].y2, want[i][3]);
        EXPECT_EQ(seen[i].color, 0x1234);
        EXPECT_EQ(seen[i].blendParam, 77);
    }
}

TEST(Fill, SwappedCornersFillTheSamePixels) {
    Image a(0, 16, 16), b(0, 16, 16);
    tessra::FillMemImgRect(&a.m, nullptr, 0);
    tessra::FillMemImgRect(&b.m, nullptr, 0);
    Apply(State{});
    tessra::Rect r1{12, 9, 3, 2}, r2{3, 2, 12, 9};
    tessra::MemImgFillRect(&a.m, &r1, 0xFFFF);
    tessra::MemImgFillRect(&b.m, &r2, 0xFFFF);
    EXPECT_EQ(a.Bytes(), b.Bytes());
    EXPECT_EQ(a.Get(3, 2), 0xFFFFu);
    EXPECT_EQ(a.Get(11, 8), 0xFFFFu);
    EXPECT_EQ(a.Get(12, 8), 0u);
}

TEST(Fill, NullRectangleCoversTheDrawArea) {
    Image img(1, 16, 16);
    tessra::FillMemImgRect(&img.m, nullptr, 0);
    State st;
    st.area = {2, 3, 10, 8};
    Apply(st);
    tessra::MemImgFillRect(&img.m, nullptr, 0x00ABCDEF);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(img.Get(x, y), (x >= 2 && x < 10 && y >= 3 && y < 8) ? 0x00ABCDEFu : 0u);
}

struct FillRow {
    const char* name;
    int kind, mode, p;
    uint8_t bright;
    uint32_t color, dest, want;
};

// clang-format off
const FillRow kFills[] = {
    {"16-bit multiply white over white", 0, 4, 9, 255, 0xFFFF, 0xFFFF, 0xF7DE},
    {"32-bit multiply white over white", 1, 4, 9, 255, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFEFEFE},
    {"brightness 128 turns 255 into 127", 1, 0, 0, 128, 0x00FFFFFF, 0, 0x007F7F7F},
    {"mode 0 writes the whole colour word", 1, 0, 0, 255, 0xAA010203, 0x55FFFFFF, 0xAA010203},
    {"16-bit mode 1 through the difference table, no halving", 0, 1, 128, 255, 0x0001, 0x0001, 0x0001},
    {"32-bit mode 1 keeps the fourth byte", 1, 1, 128, 255, 0x00010101, 0x77010101, 0x77010101},
    {"add keeps its last term at full strength", 1, 2, 255, 255, 0x000001, 0x0000FF, 0x0001FF},
    {"subtract at 0 draws nothing", 1, 3, 0, 255, 0x010101, 0x808080, 0x808080},
};
// clang-format on

class Fills : public ::testing::TestWithParam<FillRow> {
protected:
    void SetUp() override { tessra::BuildSoftBlendTables(); }
};

TEST_P(Fills, GiveTheWorkedResult) {
    const FillRow& r = GetParam();
    Image img(r.kind, 3, 1);
    img.Set(1, 0, r.dest);
    Apply(State::Of(r.mode, r.p, r.bright));
    tessra::Rect rect{1, 0, 2, 1};
    tessra::MemImgFillRect(&img.m, &rect, r.color);
    EXPECT_EQ(img.Get(1, 0), r.want) << std::hex << img.Get(1, 0);
    // The line draws by the same rule.
    img.Set(1, 0, r.dest);
    tessra::MemImgDrawLine(&img.m, 1, 0, 2, 0, r.color);
    EXPECT_EQ(img.Get(1, 0), r.want) << std::hex << img.Get(1, 0);
}

INSTANTIATE_TEST_SUITE_P(Examples, Fills, ::testing::ValuesIn(kFills),
                         [](const ::testing::TestParamInfo<FillRow>& info) {
                             return CaseName(info.param.name);
                         });

}  // namespace
