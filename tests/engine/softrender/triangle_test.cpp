// Textured triangles and quads: the walk (which pixels, which texels), the texel rules of both
// formats on single pixels, and the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "engine/screen/soft_tables.h"
#include "engine/softrender/soft_render.h"
#include "soft_reference.h"

namespace {

using namespace softtest;
using tessra::MemImgDrawQuad;
using tessra::MemImgDrawTriangle;

constexpr uint32_t kSentinel = 0x0842;  // blue 2: no numbered texel has it

class Triangles : public ::testing::Test {
protected:
    void SetUp() override {
        tessra::BuildSoftBlendTables();
        SetTestRamp();
        Apply(State::Of(0, 0));
    }
};

int Changed(const Image& img, uint32_t was) {
    int n = 0;
    for (int y = 0; y < img.m.height; ++y)
        for (int x = 0; x < img.m.width; ++x) n += img.Get(x, y) != was;
    return n;
}

std::string Picture(const Image& img, uint32_t was) {
    std::ostringstream o;
    for (int y = 0; y < img.m.height; ++y) {
        for (int x = 0; x < img.m.width; ++x) o << (img.Get(x, y) == was ? '.' : '#');
        o << '\n';
    }
    return o.str();
}

// Which pixels a triangle writes, in mode 0 on a 40x40 image with a numbered source.
struct WalkRow {
    const char* what;
    int vertices[12];
    int srcW, srcH;
    int pixels;  // -1: compared with the reference only
};

const WalkRow kWalkRows[] = {
    {"right angle on a larger source", {0, 0, 0, 0, 10, 0, 10, 0, 0, 10, 0, 10}, 20, 20, 65},
    {"right angle on a 10x10 source", {0, 0, 0, 0, 10, 0, 10, 0, 0, 10, 0, 10}, 10, 10, 64},
    {"three collinear points", {0, 0, 0, 0, 5, 5, 5, 5, 10, 10, 10, 10}, 20, 20, 0},
    {"two equal points", {3, 3, 0, 0, 3, 3, 5, 0, 9, 12, 0, 9}, 20, 20, 0},
    {"all on one row", {0, 4, 0, 0, 9, 4, 9, 0, 20, 4, 9, 9}, 20, 20, 0},
    {"one row tall", {2, 7, 0, 0, 12, 7, 10, 0, 2, 8, 0, 1}, 20, 20, 11},
    {"middle vertex on the left", {10, 0, 10, 0, 0, 10, 0, 10, 14, 20, 14, 19}, 20, 20, -1},
    {"middle vertex on the right", {5, 0, 5, 0, 18, 6, 18, 6, 2, 15, 2, 15}, 20, 20, -1},
    {"wholly off the image", {-30, -30, 0, 0, -20, -30, 9, 0, -30, -20, 0, 9}, 20, 20, 0},
};

TEST_F(Triangles, WalkCoversThePixelsOfEachRow) {
    for (const WalkRow& r : kWalkRows) {
        SCOPED_TRACE(r.what);
        Image src(0, r.srcW, r.srcH);
        NumberTexels(src);
        Image got(0, 40, 40), want(0, 40, 40);
        FillWith(got, kSentinel);
        FillWith(want, kSentinel);
        State st = State::Of(0, 0);
        st.area = {0, 0, 40, 40};
        Apply(st);
        MemImgDrawTriangle(&got.m, &src.m, r.vertices, 0, nullptr, 0);
        RefTriangle(want, src, r.vertices, 0, nullptr, st);
        EXPECT_EQ(got.Bytes(), want.Bytes()) << Picture(got, kSentinel);
        if (r.pixels >= 0) {
            EXPECT_EQ(Changed(got, kSentinel), r.pixels) << Picture(got, kSentinel);
        }
    }
}

TEST_F(Triangles, RightAngleRowsRunFromTheTopRowToTheRowAboveTheBottomVertex) {
    Image src(0, 20, 20);
    NumberTexels(src);
    Image img(0, 40, 40);
    FillWith(img, kSentinel);
    const int v[12] = {0, 0, 0, 0, 10, 0, 10, 0, 0, 10, 0, 10};
    MemImgDrawTriangle(&img.m, &src.m, v, 0, nullptr, 0);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            const bool inside = y <= 9 && x <= 10 - y;
            // Each drawn pixel shows the texel of its own position.
            EXPECT_EQ(img.Get(x, y), inside ? uint32_t((x << 11) | (y << 5) | 1) : kSentinel)
                << x << ", " << y;
        }
    }
}

TEST_F(Triangles, NegativePositionsTruncateTowardZero) {
    // x = -3 lands on pixel -2, so pixel 0 is the third pixel of the row and shows texel 2.
    Image src(0, 20, 20);
    NumberTexels(src);
    Image img(0, 20, 20);
    FillWith(img, kSentinel);
    const int v[12] = {-3, 0, 0, 0, 9, 0, 12, 0, -3, 12, 0, 12};
    MemImgDrawTriangle(&img.m, &src.m, v, 0, nullptr, 0);
    EXPECT_EQ(img.Get(0, 0), uint32_t((2 << 11) | 1));
    tessra::Rect box;
    tessra::TriangleWriteRect(v, &box);
    EXPECT_EQ(box.left, -2);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 10);
    EXPECT_EQ(box.bottom, 13);
}

TEST_F(Triangles, VertexOrderDoesNotChangeThePicture) {
    // x keys 1, 1, 0 and y keys 1, 1, 0: the exchange sort leaves equal keys in another order
    // than a stable sort would, and the picture must not depend on it.
    const int shapes[2][3][2] = {{{10, 0}, {10, 10}, {0, 5}}, {{0, 10}, {10, 10}, {5, 0}}};
    Image src(0, 16, 16);
    NumberTexels(src);
    for (const auto& shape : shapes) {
        int order[3] = {0, 1, 2};
        std::vector<uint8_t> first;
        do {
            int v[12];
            for (int i = 0; i < 3; ++i) {
                const int k = order[i];
                v[4 * i] = shape[k][0];
                v[4 * i + 1] = shape[k][1];
                v[4 * i + 2] = shape[k][0];
                v[4 * i + 3] = shape[k][1];
            }
            Image img(0, 16, 16), want(0, 16, 16);
            FillWith(img, kSentinel);
            FillWith(want, kSentinel);
            MemImgDrawTriangle(&img.m, &src.m, v, 0, nullptr, 0);
            RefTriangle(want, src, v, 0, nullptr, State::Of(0, 0));
            EXPECT_EQ(img.Bytes(), want.Bytes());
            EXPECT_GT(Changed(img, kSentinel), 40);
            if (first.empty())
                first = img.Bytes();
            else
                EXPECT_EQ(img.Bytes(), first) << Picture(img, kSentinel);
        } while (std::next_permutation(order, order + 3));
    }
}

TEST_F(Triangles, QuadMapsEachTexelOntoItsOwnPixel) {
    for (int size : {10, 16}) {
        SCOPED_TRACE(size);
        Image src(0, size, size);
        NumberTexels(src);
        Image img(0, 24, 24);
        FillWith(img, kSentinel);
        const int corners[8] = {0, 0, size, 0, 0, size, size, size};
        MemImgDrawQuad(&img.m, &src.m, corners, 0, nullptr);
        EXPECT_EQ(Changed(img, kSentinel), size * size) << Picture(img, kSentinel);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) ASSERT_EQ(img.Get(x, y), src.Get(x, y)) << x << "," << y;
    }
}

TEST_F(Triangles, QuadDrawsItsDiagonalTwice) {
    // In add mode each drawing adds blue 1: the 9 diagonal pixels x = 10 - y of rows 1 to 9
    // get 2, the other 91 pixels 1; the first triangle alone draws 64, the second 45.
    Image src(0, 10, 10);
    FillWith(src, 1);
    Image img(0, 16, 16);
    FillWith(img, 0);
    Apply(State::Of(2, 255));
    const int corners[8] = {0, 0, 10, 0, 0, 10, 10, 10};
    MemImgDrawQuad(&img.m, &src.m, corners, 0, nullptr);
    int ones = 0, twos = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint32_t v = img.Get(x, y);
            if (v == 1) ++ones;
            if (v == 2) {
                ++twos;
                EXPECT_EQ(x, 10 - y);
            }
        }
    EXPECT_EQ(ones, 91);
    EXPECT_EQ(twos, 9);

    const int first[12] = {0, 0, 0, 0, 10, 0, 10, 0, 0, 10, 0, 10};
    const int second[12] = {10, 0, 10, 0, 0, 10, 0, 10, 10, 10, 10, 10};
    for (const int* tri : {first, second}) {
        Image one(0, 16, 16);
        FillWith(one, 0);
        MemImgDrawTriangle(&one.m, &src.m, tri, 0, nullptr, 0);
        EXPECT_EQ(Changed(one, 0), tri == first ? 64 : 45);
    }
}

TEST_F(Triangles, QuadWhollyLeftOfTheDrawAreaDrawsNothing) {
    Image src(0, 8, 8);
    NumberTexels(src);
    for (int gap : {4, 3}) {
        Image img(0, 40, 20);
        FillWith(img, kSentinel);
        State st = State::Of(0, 0);
        st.area = {20, 0, 40, 20};
        Apply(st);
        // Corners with x up to 20 - gap; the margin box reaches the area only at a gap of 3,
        // and then the triangles themselves still stay outside it.
        const int corners[8] = {10, 2, 20 - gap, 2, 10, 10, 20 - gap, 10};
        MemImgDrawQuad(&img.m, &src.m, corners, 0, nullptr);
        EXPECT_EQ(Changed(img, kSentinel), 0) << gap;
    }
}

TEST_F(Triangles, ClipsToTheDrawArea) {
    Image src(0, 30, 30);
    NumberTexels(src);
    Image got(0, 30, 30), want(0, 30, 30);
    FillWith(got, kSentinel);
    FillWith(want, kSentinel);
    State st = State::Of(0, 0);
    st.area = {5, 4, 20, 17};
    Apply(st);
    const int corners[8] = {0, 0, 30, 0, 0, 30, 30, 30};
    MemImgDrawQuad(&got.m, &src.m, corners, 0, nullptr);
    RefQuad(want, src, corners, 0, nullptr, st);
    EXPECT_EQ(got.Bytes(), want.Bytes());
    EXPECT_EQ(Changed(got, kSentinel), 15 * 13);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            if (x < 5 || x >= 20 || y < 4 || y >= 17) {
                ASSERT_EQ(got.Get(x, y), kSentinel);
            }
}

TEST_F(Triangles, RefusedImagesAreLeftAlone) {
    Image src16(0, 8, 8), src32(1, 8, 8), palDest(0, 8, 8, 1), alphaDest(1, 8, 8, 0, 1);
    NumberTexels(src16);
    Image dest16(0, 8, 8);
    FillWith(dest16, kSentinel);
    const int v[12] = {0, 0, 0, 0, 8, 0, 8, 0, 0, 8, 0, 8};
    MemImgDrawTriangle(&dest16.m, &src32.m, v, 0, nullptr, 0);  // kinds differ
    MemImgDrawTriangle(&dest16.m, nullptr, v, 0, nullptr, 0);   // no source
    MemImgDrawQuad(&dest16.m, nullptr, v, 0, nullptr);
    EXPECT_EQ(Changed(dest16, kSentinel), 0);
    const auto palBefore = palDest.Bytes(), alphaBefore = alphaDest.Bytes();
    MemImgDrawTriangle(&palDest.m, &src16.m, v, 0, nullptr, 0);
    MemImgDrawTriangle(&alphaDest.m, &src32.m, v, 0, nullptr, 0);
    EXPECT_EQ(palDest.Bytes(), palBefore);
    EXPECT_EQ(alphaDest.Bytes(), alphaBefore);
    for (int mode : {5, 6, -1}) {
        Apply(State::Of(mode, 128));
        MemImgDrawTriangle(&dest16.m, &src16.m, v, 0, nullptr, 0);
        EXPECT_EQ(Changed(dest16, kSentinel), 0) << mode;
    }
}

// One texel over one pixel.
struct RuleRow {
    const char* what;
    int kind;
    int srcKind;  // 0 paletted, 1 direct, 2 direct with per-pixel alpha
    int mode, p;
    uint8_t bright[3];  // blue, green, red
    int transparent;
    uint32_t texel;  // index, pixel, or 16-bit pixel with its alpha in bits 16-23
    uint32_t entry;  // palette entry of the index (paletted rows)
    uint32_t key;
    uint32_t dest;
    uint32_t want;
};

constexpr uint32_t P16(uint32_t r, uint32_t g, uint32_t b) {
    return (r << 11) | (g << 5) | b;
}
constexpr uint32_t P32(uint32_t top, uint32_t r, uint32_t g, uint32_t b) {
    return (top << 24) | (r << 16) | (g << 8) | b;
}

// One row per example reads better than one field per line.
// clang-format off
const RuleRow kRuleRows[] = {
    {"16 mode 1 at 128: white over black", 0, 1, 1, 128, {255, 255, 255}, 0,
     P16(31, 63, 31), 0, 0, 0, P16(15, 31, 15)},
    {"16 mode 1 at 128: black over white", 0, 1, 1, 128, {255, 255, 255}, 0, 0, 0, 0x1234,
     P16(31, 63, 31), P16(16, 32, 16)},
    {"16 mode 1 at 255 is a copy", 0, 1, 1, 255, {255, 255, 255}, 0, P16(3, 9, 27), 0, 0,
     P16(31, 63, 31), P16(3, 9, 27)},
    {"16 mode 2: saturating add", 0, 1, 2, 255, {255, 255, 255}, 0, P16(20, 40, 20), 0, 0,
     P16(20, 40, 20), P16(31, 63, 31)},
    {"16 mode 2: blue overflow sets green's low bit", 0, 1, 2, 255, {255, 255, 255}, 0,
     P16(0, 0, 31), 0, 0, P16(0, 0, 1), P16(0, 1, 31)},
    {"16 mode 3: subtract", 0, 1, 3, 255, {255, 255, 255}, 0, P16(3, 5, 4), 0, 0,
     P16(10, 20, 10), P16(9, 16, 6)},
    {"16 mode 3: black from white", 0, 1, 3, 255, {255, 255, 255}, 0, 0, 0, 0x1234,
     P16(31, 63, 31), P16(31, 62, 31)},
    {"16 mode 4: white takes 31 to 30 and 10 to 9", 0, 1, 4, 0, {255, 255, 255}, 0,
     P16(31, 63, 31), 0, 0, P16(31, 10, 10), P16(30, 9, 9)},
    {"16 alpha 255 without the flag: 30", 0, 2, 0, 0, {255, 255, 255}, 0, (255u << 16) | 31, 0,
     0, 0, 30},
    {"16 alpha 255 with the flag: 31", 0, 2, 0, 0, {255, 255, 255}, 1, (255u << 16) | 31, 0, 0,
     0, 31},
    {"16 alpha 0 with the flag skipped in mode 2", 0, 2, 2, 200, {255, 255, 255}, 1,
     P16(31, 63, 31), 0, 0, P16(4, 5, 6), P16(4, 5, 6)},
    {"16 alpha 0 with the flag darkens in mode 4", 0, 2, 4, 0, {255, 255, 255}, 1,
     P16(31, 63, 31), 0, 0, P16(4, 5, 6), 0},
    {"16 paletted index equal to the key is skipped", 0, 0, 0, 0, {255, 255, 255}, 1, 7,
     P16(1, 2, 3), 7, P16(9, 9, 9), P16(9, 9, 9)},
    {"16 paletted index not the key is drawn", 0, 0, 0, 0, {255, 255, 255}, 1, 8, P16(1, 2, 3),
     7, P16(9, 9, 9), P16(1, 2, 3)},
    {"16 direct skipped only on an exact match", 0, 1, 0, 0, {255, 255, 255}, 1,
     P16(1, 2, 3), 0, P16(1, 2, 3) | 0x10000, P16(9, 9, 9), P16(1, 2, 3)},
    {"16 red tint keeps red only", 0, 1, 0, 0, {0, 0, 255}, 0, P16(17, 40, 9), 0, 0,
     P16(9, 9, 9), P16(17, 0, 0)},
    {"16 mode 1 at 0 changes nothing", 0, 1, 1, 0, {255, 255, 255}, 0, P16(31, 63, 31), 0, 0,
     P16(4, 5, 6), P16(4, 5, 6)},
    {"16 mode 2 at 0 changes nothing", 0, 1, 2, 0, {255, 255, 255}, 0, P16(31, 63, 31), 0, 0,
     P16(4, 5, 6), P16(4, 5, 6)},
    {"16 paletted mode 3 at 0 changes nothing", 0, 0, 3, 0, {255, 255, 255}, 0, 3,
     P16(31, 63, 31), 0, P16(4, 5, 6), P16(4, 5, 6)},
    {"32 mode 1 at 128", 1, 1, 1, 128, {255, 255, 255}, 0, P32(0, 255, 255, 255), 0, 0,
     P32(77, 0, 0, 0), P32(77, 127, 127, 127)},
    {"32 mode 2: a black texel clears only the top byte", 1, 1, 2, 255, {255, 255, 255}, 0,
     P32(9, 0, 0, 0), 0, 0x1234, P32(142, 54, 242, 199), P32(0, 54, 242, 199)},
    {"32 mode 3: nothing subtracted sets green's and red's low bits", 1, 1, 3, 255,
     {255, 255, 255}, 0, P32(9, 0, 0, 0), 0, 0x1234, P32(142, 54, 242, 199),
     P32(0, 55, 243, 199)},
    {"32 mode 2: blue overflow", 1, 1, 2, 255, {255, 255, 255}, 0, P32(0, 0, 0, 255), 0, 0x1234,
     P32(0, 0, 0, 1), P32(0, 0, 1, 255)},
    {"32 mode 2: red overflow leaves 1 on top", 1, 1, 2, 255, {255, 255, 255}, 0,
     P32(0, 200, 0, 0), 0, 0x1234, P32(0, 100, 0, 0), P32(1, 255, 0, 0)},
    {"32 alpha 255 without the flag: 254", 1, 2, 0, 0, {255, 255, 255}, 0, P32(255, 0, 0, 255),
     0, 0, 0, P32(0, 0, 0, 254)},
    {"32 alpha 255 with the flag: the whole word", 1, 2, 0, 0, {255, 255, 255}, 1,
     P32(255, 0, 0, 255), 0, 0, 0, P32(255, 0, 0, 255)},
    {"32 alpha 0 with the flag darkens in mode 4, top kept", 1, 2, 4, 0, {255, 255, 255}, 1,
     P32(0, 255, 255, 255), 0, 0, P32(66, 9, 9, 9), P32(66, 0, 0, 0)},
    {"32 alpha 0 without the flag darkens in mode 4", 1, 2, 4, 0, {255, 255, 255}, 0,
     P32(0, 255, 255, 255), 0, 0, P32(66, 9, 9, 9), P32(66, 0, 0, 0)},
    {"32 key with another top byte is drawn", 1, 1, 0, 0, {255, 255, 255}, 1,
     P32(1, 10, 20, 30), 0, P32(0, 10, 20, 30), P32(0, 1, 1, 1), P32(1, 10, 20, 30)},
    {"32 mode 1 at 255 copies the whole word", 1, 1, 1, 255, {255, 255, 255}, 0,
     P32(200, 10, 20, 30), 0, 0, P32(5, 1, 1, 1), P32(200, 10, 20, 30)},
    {"32 tint with blue 255 keeps blue", 1, 1, 0, 0, {255, 128, 0}, 0, P32(200, 100, 100, 100),
     0, 0, P32(5, 1, 1, 1), P32(5, 0, 50, 100)},
    {"32 paletted mode 3 at 0 changes nothing", 1, 0, 3, 0, {255, 255, 255}, 0, 3,
     P32(0, 1, 1, 1), 0, P32(142, 54, 242, 199), P32(142, 54, 242, 199)},
};
// clang-format on

TEST_F(Triangles, TexelRulesOfTheWorkedExamples) {
    for (const RuleRow& r : kRuleRows) {
        SCOPED_TRACE(r.what);
        Image src(r.kind, 1, 1, r.srcKind == 0, r.srcKind == 2, 0, r.key);
        if (r.srcKind == 0) {
            src.m.paletteCount = 256;
            std::memcpy(src.m.palette + r.texel * (r.kind == 0 ? 2 : 4), &r.entry,
                        r.kind == 0 ? 2 : 4);
        }
        src.Set(0, 0, r.texel);
        Image img(r.kind, 1, 1);
        img.Set(0, 0, r.dest);
        State st = State::Of(r.mode, r.p);
        std::copy(r.bright, r.bright + 3, st.bright);
        st.area = {0, 0, 1, 1};
        Apply(st);
        const int v[12] = {0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 0, 1};
        MemImgDrawTriangle(&img.m, &src.m, v, r.transparent, nullptr, 0);
        EXPECT_EQ(img.Get(0, 0), r.want) << std::hex << "got 0x" << img.Get(0, 0);
        uint32_t pal[256] = {};
        pal[r.texel & 0xFF] = r.entry;
        SourcePixel sp{src.Get(0, 0), r.srcKind == 0, r.srcKind == 2, r.key};
        EXPECT_EQ(RefTexel(r.kind, sp, pal, r.transparent, -1, r.dest, st), r.want)
            << "reference model";
    }
}

TEST_F(Triangles, MidAlphaBlendsInBothFormats) {
    // a = 128 of white over black: 16-bit 31 * 128 / 256 = 15; 32-bit 255 * 128 / 256 = 127.
    for (int kind = 0; kind < 2; ++kind) {
        Image src(kind, 1, 1, 0, 1);
        src.Set(0, 0, kind == 0 ? ((128u << 16) | 0xFFFF) : 0x80FFFFFFu);
        Image img(kind, 1, 1);
        img.Set(0, 0, 0);
        const int v[12] = {0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 0, 1};
        MemImgDrawTriangle(&img.m, &src.m, v, 1, nullptr, 0);
        EXPECT_EQ(img.Get(0, 0), kind == 0 ? P16(15, 31, 15) : P32(0, 127, 127, 127));
    }
}

}  // namespace
