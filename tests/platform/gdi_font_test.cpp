// The GDI font stand-in: faces found and sized, text metrics, glyph bitmaps in both formats,
// code page 932 codes, and missing characters, on the installed Japanese face and on a
// synthetic one.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/font.h"
#include "platform/testing.h"

namespace plat {
namespace {

constexpr MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

HFONT MakeFont(int height, const char* face, int weight = 200, DWORD italic = 0,
               DWORD pitch = FIXED_PITCH) {
    return CreateFontA(height, 0, 0, 0, weight, italic, 0, 0, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, pitch, face);
}

// A context holding the font for the length of a test.
struct Selected {
    explicit Selected(HFONT f) : font(f), dc(CreateCompatibleDC(nullptr)) {
        old = SelectObject(dc, font);
    }
    ~Selected() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(font);
    }
    HFONT font;
    HDC dc;
    HFONT old = nullptr;
};

class GdiFontTest : public ::testing::Test {
protected:
    void SetUp() override { testing::Reset(); }
    void TearDown() override { testing::Reset(); }
};

TEST_F(GdiFontTest, PositiveHeightIsTheCellHeight) {
    for (int size : {8, 12, 16, 24, 32, 48}) {
        for (const char* face : {"MS UI Gothic", "ＭＳ ゴシック", ""}) {
            SCOPED_TRACE(std::to_string(size) + " " + face);
            Selected s(MakeFont(size, face));
            ASSERT_NE(s.font, nullptr);
            TEXTMETRICA tm{};
            ASSERT_TRUE(GetTextMetricsA(s.dc, &tm));
            EXPECT_EQ(tm.tmHeight, size);
            EXPECT_EQ(tm.tmAscent + tm.tmDescent, size);
            EXPECT_GT(tm.tmAscent, tm.tmDescent);
            EXPECT_GT(tm.tmMaxCharWidth, 0);
            EXPECT_LE(tm.tmMaxCharWidth, 2 * size);
        }
    }
}

TEST_F(GdiFontTest, NegativeHeightIsTheCharacterHeight) {
    Selected s(MakeFont(-16, "MS UI Gothic"));
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(s.dc, &tm));
    // The cell holds the em and the face's room above and below it.
    EXPECT_GE(tm.tmHeight, 16);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
}

TEST_F(GdiFontTest, KanjiRendersANonEmptyGrayBitmapWithAlignedRows) {
    Selected s(MakeFont(24, "MS UI Gothic"));
    const UINT kan = 0x8ABF;  // 漢 in code page 932
    GLYPHMETRICS gm{};
    const DWORD size = GetGlyphOutlineA(s.dc, kan, GGO_GRAY4_BITMAP, &gm, 0, nullptr, &kIdentity);
    ASSERT_NE(size, GDI_ERROR);
    ASSERT_GT(size, 0u);
    ASSERT_GT(gm.gmBlackBoxY, 8u);
    const DWORD pitch = size / gm.gmBlackBoxY;
    EXPECT_EQ(size % gm.gmBlackBoxY, 0u);
    EXPECT_EQ(pitch % 4, 0u);
    EXPECT_GE(pitch, gm.gmBlackBoxX);
    EXPECT_LT(pitch, gm.gmBlackBoxX + 4);
    std::vector<uint8_t> bits(size + 8, 0xEE);
    ASSERT_EQ(GetGlyphOutlineA(s.dc, kan, GGO_GRAY4_BITMAP, &gm, size, bits.data(), &kIdentity),
              size);
    int inked = 0, full = 0;
    for (DWORD i = 0; i < size; ++i) {
        ASSERT_LE(bits[i], 16) << i;
        inked += bits[i] != 0;
        full += bits[i] == 16;
    }
    EXPECT_GT(inked, 30);
    EXPECT_GT(full, 10);
    EXPECT_EQ(bits[size], 0xEE);  // nothing written past the glyph
    EXPECT_GT(gm.gmptGlyphOrigin.y, 0);
    EXPECT_GE(gm.gmCellIncX, 20);

    // The 1-bit form of the same glyph: rows padded to 4 bytes.
    GLYPHMETRICS gm1{};
    const DWORD size1 = GetGlyphOutlineA(s.dc, kan, GGO_BITMAP, &gm1, 0, nullptr, &kIdentity);
    ASSERT_NE(size1, GDI_ERROR);
    EXPECT_EQ(size1, (gm1.gmBlackBoxX + 31) / 32 * 4 * gm1.gmBlackBoxY);
}

TEST_F(GdiFontTest, NowLoadingMeasuresTheSameWidthTwice) {
    Selected s(MakeFont(12, "MS UI Gothic", 200));
    auto measure = [&] {
        int width = 0;
        for (const char* p = "NOW LOADING"; *p != '\0'; ++p) {
            GLYPHMETRICS gm{};
            EXPECT_NE(GetGlyphOutlineA(s.dc, static_cast<unsigned char>(*p), GGO_BITMAP, &gm, 0,
                                       nullptr, &kIdentity),
                      GDI_ERROR);
            width += gm.gmCellIncX;
        }
        return width;
    };
    const int first = measure();
    EXPECT_GT(first, 11 * 3);
    EXPECT_EQ(measure(), first);
}

TEST_F(GdiFontTest, BoldAndItalicWidenTheCell) {
    TEXTMETRICA plain{}, bold{}, italic{};
    {
        Selected s(MakeFont(32, "MS UI Gothic", 400));
        ASSERT_TRUE(GetTextMetricsA(s.dc, &plain));
    }
    {
        Selected s(MakeFont(32, "MS UI Gothic", 800));
        ASSERT_TRUE(GetTextMetricsA(s.dc, &bold));
        GLYPHMETRICS gmBold{}, gmPlain{};
        GetGlyphOutlineA(s.dc, 'I', GGO_BITMAP, &gmBold, 0, nullptr, &kIdentity);
        Selected p(MakeFont(32, "MS UI Gothic", 400));
        GetGlyphOutlineA(p.dc, 'I', GGO_BITMAP, &gmPlain, 0, nullptr, &kIdentity);
        EXPECT_GT(gmBold.gmBlackBoxX, gmPlain.gmBlackBoxX);
    }
    {
        Selected s(MakeFont(32, "MS UI Gothic", 400, 1));
        ASSERT_TRUE(GetTextMetricsA(s.dc, &italic));
        EXPECT_EQ(italic.tmItalic, 1);
    }
    EXPECT_GT(bold.tmMaxCharWidth, plain.tmMaxCharWidth);
    EXPECT_GT(italic.tmMaxCharWidth, plain.tmMaxCharWidth);
    EXPECT_EQ(bold.tmHeight, 32);
    EXPECT_EQ(italic.tmHeight, 32);
}

TEST_F(GdiFontTest, SpacesAndMissingCharactersAreEmptyGlyphsNotFailures) {
    Selected s(MakeFont(16, "MS UI Gothic"));
    // An ASCII space, the full-width space, a code with no character in code page 932, and a
    // lone lead byte.
    for (UINT code : {0x20u, 0x8140u, 0x8540u, 0x81u}) {
        SCOPED_TRACE(code);
        for (UINT format : {GGO_BITMAP, GGO_GRAY4_BITMAP}) {
            GLYPHMETRICS gm{};
            EXPECT_EQ(GetGlyphOutlineA(s.dc, code, format, &gm, 0, nullptr, &kIdentity), 0u);
            EXPECT_EQ(gm.gmBlackBoxX, 1u);
            EXPECT_EQ(gm.gmBlackBoxY, 1u);
            EXPECT_GE(gm.gmCellIncX, 0);
        }
    }
}

// A face whose glyphs the test knows pixel for pixel.
class SyntheticFace final : public GlyphFace {
public:
    FaceMetrics Metrics() const override { return {12, 4, 10, 6}; }
    bool Render(char32_t c, bool, GlyphImage* out) override {
        if (c == U'A') {
            // 3 x 2: full, half, empty / empty, a sliver, full.
            *out = {3, 2, 1, 10, 9, {255, 128, 0, 0, 8, 255}};
            return true;
        }
        if (c == U'漢') {
            // 40 x 1: every eighth pixel inked, the row crossing a 32-bit boundary.
            out->width = 40;
            out->rows = 1;
            out->coverage.assign(40, 0);
            for (int x = 0; x < 40; x += 8) out->coverage[x] = 255;
            out->advance = 16;
            return true;
        }
        if (c == U' ') {
            *out = {0, 0, 0, 0, 5, {}};
            return true;
        }
        if (c == U'가') {
            *out = {2, 1, 0, 8, 11, {255, 255}};
            return true;
        }
        return false;
    }
};

class SyntheticFontTest : public GdiFontTest {
protected:
    void SetUp() override {
        GdiFontTest::SetUp();
        testing::SetGlyphFaceFactory([this](const FontRequest& r) -> std::unique_ptr<GlyphFace> {
            requests.push_back(r);
            return std::make_unique<SyntheticFace>();
        });
    }
    std::vector<FontRequest> requests;
};

TEST_F(SyntheticFontTest, SeventeenLevelsAndOneBitRowsFromCoverage) {
    Selected s(MakeFont(16, "Face"));
    GLYPHMETRICS gm{};
    // Gray: one byte a pixel, rows of 4 bytes; 255 -> 16, 128 -> 8, 8 -> 1 (rounded), 0 -> 0.
    ASSERT_EQ(GetGlyphOutlineA(s.dc, 'A', GGO_GRAY4_BITMAP, &gm, 0, nullptr, &kIdentity), 8u);
    uint8_t gray[8];
    std::memset(gray, 0xEE, sizeof gray);
    ASSERT_EQ(GetGlyphOutlineA(s.dc, 'A', GGO_GRAY4_BITMAP, &gm, 8, gray, &kIdentity), 8u);
    const uint8_t expectGray[8] = {16, 8, 0, 0, 0, 1, 16, 0};
    EXPECT_EQ(std::memcmp(gray, expectGray, 8), 0);
    EXPECT_EQ(gm.gmBlackBoxX, 3u);
    EXPECT_EQ(gm.gmBlackBoxY, 2u);
    EXPECT_EQ(gm.gmptGlyphOrigin.x, 1);
    EXPECT_EQ(gm.gmptGlyphOrigin.y, 10);
    EXPECT_EQ(gm.gmCellIncX, 9);
    // 1 bit: most significant bit first, set from half coverage on.
    uint8_t mono[8];
    std::memset(mono, 0xEE, sizeof mono);
    ASSERT_EQ(GetGlyphOutlineA(s.dc, 'A', GGO_BITMAP, &gm, 8, mono, &kIdentity), 8u);
    const uint8_t expectMono[8] = {0xC0, 0, 0, 0, 0x20, 0, 0, 0};
    EXPECT_EQ(std::memcmp(mono, expectMono, 8), 0);
}

TEST_F(SyntheticFontTest, CodePage932CodesReachTheFaceAsCharacters) {
    Selected s(MakeFont(16, "Face"));
    GLYPHMETRICS gm{};
    // 40 pixels need two 32-bit words a row.
    ASSERT_EQ(GetGlyphOutlineA(s.dc, 0x8ABF, GGO_BITMAP, &gm, 0, nullptr, &kIdentity), 8u);
    uint8_t mono[8] = {};
    ASSERT_EQ(GetGlyphOutlineA(s.dc, 0x8ABF, GGO_BITMAP, &gm, 8, mono, &kIdentity), 8u);
    const uint8_t expect[8] = {0x80, 0x80, 0x80, 0x80, 0x80, 0, 0, 0};
    EXPECT_EQ(std::memcmp(mono, expect, 8), 0);
    ASSERT_EQ(GetGlyphOutlineA(s.dc, 0x8ABF, GGO_GRAY4_BITMAP, &gm, 0, nullptr, &kIdentity), 40u);
}

TEST_F(SyntheticFontTest, HangulFontsReadCodesAsCodePage949) {
    struct Case {
        DWORD charSet;
        UINT oemCodePage;
        int advance;  // 11 for the Hangul syllable, 5 (a space's) when the code means nothing
    };
    // clang-format off
    const Case cases[] = {
        {HANGUL_CHARSET, 932, 11},
        {SHIFTJIS_CHARSET, 949, 5},
        {DEFAULT_CHARSET, 949, 11},  // the system's own code page
        {DEFAULT_CHARSET, 932, 5},
    };
    // clang-format on
    for (const Case& c : cases) {
        testing::SetOemCodePage(c.oemCodePage);
        Selected s(CreateFontA(16, 0, 0, 0, 400, 0, 0, 0, c.charSet, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, FIXED_PITCH, "Face"));
        GLYPHMETRICS gm{};
        GetGlyphOutlineA(s.dc, 0xB0A1, GGO_GRAY4_BITMAP, &gm, 0, nullptr, &kIdentity);
        EXPECT_EQ(gm.gmCellIncX, c.advance) << c.charSet << " " << c.oemCodePage;
    }
}

TEST_F(SyntheticFontTest, MissingGlyphAdvancesLikeASpace) {
    Selected s(MakeFont(16, "Face"));
    GLYPHMETRICS gm{};
    EXPECT_EQ(GetGlyphOutlineA(s.dc, 'Z', GGO_GRAY4_BITMAP, &gm, 0, nullptr, &kIdentity), 0u);
    EXPECT_EQ(gm.gmBlackBoxX, 1u);
    EXPECT_EQ(gm.gmBlackBoxY, 1u);
    EXPECT_EQ(gm.gmCellIncX, 5);
}

TEST_F(SyntheticFontTest, RefusesBadCallsWithTheErrorValue) {
    Selected s(MakeFont(16, "Face"));
    GLYPHMETRICS gm{};
    uint8_t small[4];
    EXPECT_EQ(GetGlyphOutlineA(s.dc, 'A', GGO_GRAY4_BITMAP, &gm, 4, small, &kIdentity), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(s.dc, 'A', 2, &gm, 0, nullptr, &kIdentity), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(s.dc, 'A', GGO_BITMAP, &gm, 0, nullptr, nullptr), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(nullptr, 'A', GGO_BITMAP, &gm, 0, nullptr, &kIdentity), GDI_ERROR);
    // A context with only its stock font measures nothing.
    HDC bare = CreateCompatibleDC(nullptr);
    TEXTMETRICA tm{};
    EXPECT_FALSE(GetTextMetricsA(bare, &tm));
    EXPECT_EQ(GetGlyphOutlineA(bare, 'A', GGO_BITMAP, &gm, 0, nullptr, &kIdentity), GDI_ERROR);
    EXPECT_TRUE(DeleteDC(bare));
    EXPECT_FALSE(DeleteDC(bare));
    // A font still selected is not deleted.
    EXPECT_FALSE(DeleteObject(s.font));
}

TEST_F(SyntheticFontTest, RequestCarriesTheArgumentsAndBoundsTheFaceName) {
    const std::string longName(200, 'x');
    Selected s(MakeFont(20, longName.c_str(), 700, 1, DEFAULT_PITCH));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].height, 20);
    EXPECT_EQ(requests[0].weight, 700);
    EXPECT_TRUE(requests[0].italic);
    EXPECT_EQ(requests[0].charSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(requests[0].faceName, std::string(31, 'x'));
}

TEST_F(SyntheticFontTest, NoFaceMeansNoFont) {
    testing::SetGlyphFaceFactory([](const FontRequest&) { return nullptr; });
    EXPECT_EQ(MakeFont(16, "Face"), nullptr);
}

}  // namespace
}  // namespace plat
