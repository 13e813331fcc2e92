// Glyphs rendered through GDI into a font's memory cache, on the installed face and on a
// synthetic one.
#include <gtest/gtest.h>

#include <memory>

#include "engine/font/glyph_render.h"
#include "platform/testing.h"

namespace tessra {
namespace {

class BlockFace final : public plat::GlyphFace {
public:
    plat::FaceMetrics Metrics() const override { return {10, 3, 8, 4}; }
    bool Render(char32_t c, bool, plat::GlyphImage* out) override {
        if (c == U' ') {
            *out = {0, 0, 0, 0, 4, {}};
            return true;
        }
        if (c != U'A') return false;
        *out = {2, 3, 1, 9, 6, std::vector<uint8_t>(6, 255)};
        return true;
    }
};

struct Font {
    Font(const char* face, int size, int type, int edge) {
        record.type = type;
        record.edgeSize = edge;
        record.font = OpenGdiFont(face, size, 2, 0, 1);
        dc = plat::CreateCompatibleDC(nullptr);
        old = plat::SelectObject(dc, record.font);
        ok = record.font != nullptr && MeasureGdiFont(&record);
        InitMemoryGlyphCache(&record.cache, type, record.cellWidth);
    }
    ~Font() {
        plat::SelectObject(dc, old);
        plat::DeleteDC(dc);
        plat::DeleteObject(record.font);
    }
    FontRecord record;
    plat::HDC dc;
    plat::HFONT old;
    bool ok;
};

class GlyphRenderTest : public ::testing::Test {
protected:
    void SetUp() override { plat::testing::Reset(); }
    void TearDown() override { plat::testing::Reset(); }
    void UseBlockFace() {
        plat::testing::SetGlyphFaceFactory(
            [](const plat::FontRequest&) { return std::make_unique<BlockFace>(); });
    }
};

TEST_F(GlyphRenderTest, PlacesTheGlyphAndItsEdge) {
    UseBlockFace();
    Font f("Face", 13, 1, 1);
    ASSERT_TRUE(f.ok);
    GlyphCacheEntry* e = RenderGlyphToCache(&f.record, f.dc, 'A');
    EXPECT_EQ(e->left, 1);
    EXPECT_EQ(e->top, 1);  // ascent 10 - origin 9
    EXPECT_EQ(e->width, 4);
    EXPECT_EQ(e->height, 5);
    EXPECT_EQ(e->advance, 8);
    EXPECT_EQ(FindCachedGlyph(&f.record.cache, 'A'), e);
    EXPECT_EQ(f.record.cache.CellRow(e->cell, 1)[1], 1);
    EXPECT_EQ(f.record.cache.CellRow(e->cell, 0)[1], 2);
    EXPECT_EQ(f.record.cache.CellRow(e->cell, 4)[2], 2);
}

TEST_F(GlyphRenderTest, SpacesAndMissingGlyphsAreEmptyWithTheirAdvance) {
    UseBlockFace();
    Font f("Face", 13, 2, 1);
    ASSERT_TRUE(f.ok);
    // ASCII space, the full-width space (little-endian code), a missing glyph.
    for (uint16_t code : {uint16_t{0x20}, uint16_t{0x4081}, uint16_t{'Q'}}) {
        GlyphCacheEntry* e = RenderGlyphToCache(&f.record, f.dc, code);
        EXPECT_EQ(e->width, 0) << code;
        EXPECT_EQ(e->height, 0) << code;
        EXPECT_EQ(e->advance, 4) << code;
        EXPECT_EQ(e->inUse, 1);
    }
}

TEST_F(GlyphRenderTest, AGlyphGdiCannotGiveIsDrawnEmpty) {
    Font f("Face", 13, 0, 1);  // the installed face
    ASSERT_TRUE(f.ok);
    // With the font taken out of the context every GDI call fails.
    plat::SelectObject(f.dc, f.old);
    GlyphCacheEntry* e = RenderGlyphToCache(&f.record, f.dc, 'A');
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->width, 0);
    EXPECT_EQ(e->advance, 0);
    plat::SelectObject(f.dc, f.record.font);
}

TEST_F(GlyphRenderTest, KanjiFromTheInstalledFace) {
    Font f("MS UI Gothic", 16, 2, 1);
    ASSERT_TRUE(f.ok);
    GlyphCacheEntry* e = RenderGlyphToCache(&f.record, f.dc, 0xBF8A);  // 漢
    EXPECT_GT(e->width, 8);
    EXPECT_GT(e->height, 8);
    EXPECT_LE(e->height, f.record.cellWidth);
    int inked = 0;
    for (int y = 0; y < f.record.cellWidth; ++y) {
        for (int x = 0; x < f.record.cellWidth; ++x) {
            const uint8_t v = f.record.cache.CellRow(e->cell, y)[x];
            EXPECT_LE(v, 15);
            inked += v != 0;
        }
    }
    EXPECT_GT(inked, 20);
}

}  // namespace
}  // namespace tessra
