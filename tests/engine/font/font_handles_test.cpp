// Font handles: making fonts with their defaults, the limits, the cache they get, release,
// the default font and re-making every font, on a synthetic face.
#include <gtest/gtest.h>

#include <string>

#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/font/font.h"
#include "engine/screen/screen_state.h"
#include "engine/screen/surface2d.h"
#include "font_support.h"

namespace tessra {
namespace {

using namespace sjis_literals;
using font_test::FontFixture;

class FontHandleTest : public FontFixture {};

TEST_F(FontHandleTest, DefaultsFillEveryArgumentGiven) {
    const int font = CreateFontToHandle(nullptr, -1, -1, -1, -1, -1, 0, -1, -1);
    const FontRecord* r = GetFontRecord(font);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(font & kHandleKindMask, kFontHandleKind);
    EXPECT_EQ(r->size, 16);
    EXPECT_EQ(r->thickness, 6);
    EXPECT_EQ(r->type, 0);
    EXPECT_EQ(r->charsetIndex, 1);  // the OEM code page is 932
    EXPECT_EQ(r->edgeSize, 1);
    EXPECT_EQ(r->charSpacing, 0);
    EXPECT_STREQ(r->name, "");
    EXPECT_EQ(r->useTexture, 0);
    EXPECT_GE(r->scratchSurface, 0);
    EXPECT_EQ(r->lostFlag, nullptr);
    EXPECT_EQ(GetFontHandleField(font), 16);
}

TEST_F(FontHandleTest, TypeFollowsTheEdgeAndTheScreenDepth) {
    struct Case {
        int depth, type, edge, wantType;
    };
    // clang-format off
    const Case cases[] = {
        {32, 0, 3, 1},   // an edge above 1 makes an edged font
        {32, 0, 1, 0},
        {32, 2, 2, 3},
        {32, 3, -1, 3},
        {8, 2, -1, 0},   // no anti-aliasing on palette screens
        {8, 3, 2, 1},
        {16, 7, -1, 3},  // only the four known kinds
    };
    // clang-format on
    for (const Case& c : cases) {
        SetDepth(c.depth);
        const int font = CreateFontToHandle("F", 12, 2, c.type, 1, c.edge, 0, -1, -1);
        ASSERT_EQ(IsFontHandleValid(font), 1) << c.depth << " " << c.type;
        EXPECT_EQ(GetFontRecord(font)->type, c.wantType)
            << c.depth << " " << c.type << " " << c.edge;
        ReleaseFontHandle(font);
    }
}

TEST_F(FontHandleTest, MemoryCacheIsSizedByTheCell) {
    struct Case {
        int widest, type, edge, cellWidth, capacity, lineBytes;
    };
    // clang-format off
    const Case cases[] = {
        {16, 0, 1, 16, 1280, 2},   // 0x50000 / 256
        {16, 1, 1, 24, 568, 24},   // the edge on both sides, rounded up to 8
        {256, 2, 1, 256, 20, 256}, // 5 cells raised to 20
        {3, 0, 1, 8, 2024, 1},     // at most 2024
    };
    // clang-format on
    for (const Case& c : cases) {
        faceWidth = c.widest;
        const int font = CreateFontToHandle("F", 16, 2, c.type, 1, c.edge, 0, -1, -1);
        const FontRecord* r = GetFontRecord(font);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->cellWidth, c.cellWidth) << c.widest;
        EXPECT_EQ(r->cache.capacity, c.capacity) << c.widest;
        EXPECT_EQ(r->cache.lineBytes, c.lineBytes) << c.widest;
        EXPECT_EQ(r->cacheWidth, c.cellWidth);
        EXPECT_EQ(r->cacheHeight, c.capacity * c.cellWidth);
        EXPECT_EQ(r->cellsPerColumn, c.capacity);
        ReleaseFontHandle(font);
    }
}

TEST_F(FontHandleTest, AFortyFirstFontIsRefusedAndSlotsOfFortyOrMoreToo) {
    int fonts[kFontSlots];
    for (int& f : fonts) {
        f = CreateFontToHandle(nullptr, 8, 1, 0, 1, -1, 0, -1, -1);
        ASSERT_EQ(IsFontHandleValid(f), 1);
    }
    const int counter = GetFontTable().checkCounter;
    const std::string before = ReadLog();
    EXPECT_EQ(CreateFontToHandle(nullptr, 8, 1, 0, 1, -1, 0, -1, -1), -1);
    EXPECT_NE(
        ReadLog().find("作成できるフォントハンドル数 40 の限界を超えました"_sjis, before.size()),
        std::string::npos);
    EXPECT_EQ(GetFontTable().liveCount, kFontSlots);
    EXPECT_EQ(GetFontTable().checkCounter, counter);
    for (int f : fonts) EXPECT_EQ(IsFontHandleValid(f), 1);

    ReleaseFontHandle(fonts[5]);
    for (int slot : {40, 41, 0x7FFF}) {
        EXPECT_EQ(CreateFontToHandle(nullptr, 8, 1, 0, 1, -1, 0, slot, -1), -1) << slot;
    }
    EXPECT_EQ(CreateFontToHandle(nullptr, 8, 1, 0, 1, -1, 0, 6, -1), -1);  // taken
    const int again = CreateFontToHandle(nullptr, 8, 1, 0, 1, -1, 0, 5, -1);
    EXPECT_EQ(HandleSlot(again), 5);
}

TEST_F(FontHandleTest, CheckNumbersWrapAndStaleHandlesAreRefused) {
    GetFontTable().checkCounter = 2047;
    const int first = CreateFontToHandle(nullptr, 8, 1, 0, 1, -1, 0, -1, -1);
    EXPECT_EQ(HandleCheckBits(first), 2047 << 16);
    EXPECT_EQ(GetFontTable().checkCounter, 0);
    const int slot = HandleSlot(first);
    ReleaseFontHandle(first);
    const int second = CreateFontToHandle(nullptr, 8, 1, 0, 1, -1, 0, slot, -1);
    EXPECT_EQ(HandleSlot(second), slot);
    EXPECT_EQ(HandleCheckBits(second), 0);
    EXPECT_EQ(IsFontHandleValid(first), 0);
    EXPECT_EQ(GetFontRecord(first), nullptr);
    EXPECT_EQ(ReleaseFontHandle(first), -1);
    EXPECT_EQ(GetFontHandleField(first), -1);
    EXPECT_EQ(SetFontCharSpacing(1, first), -1);
    EXPECT_EQ(ClearFontGlyphCache(first), -1);
    EXPECT_EQ(GetFontHandleInfo(nullptr, nullptr, nullptr, first), -1);
    // A given check re-makes a font under a known handle.
    ReleaseFontHandle(second);
    EXPECT_EQ(CreateFontToHandle(nullptr, 8, 1, 0, 1, -1, 0, slot, 2047), first);
}

TEST_F(FontHandleTest, FaceNamesFallBackAndAreCutToTheirField) {
    const std::string longName(300, 'n');
    const int font = CreateFontToHandle(longName.c_str(), 8, 1, 0, 1, -1, 0, -1, -1);
    char name[kFontNameBytes] = {};
    int size = 0, thickness = 0;
    ASSERT_EQ(GetFontHandleInfo(name, &size, &thickness, font), 0);
    EXPECT_EQ(std::string(name), longName.substr(0, kFontNameBytes - 1));
    EXPECT_EQ(size, 8);
    EXPECT_EQ(thickness, 1);

    // Refused twice, the face comes in the Shift-JIS charset.
    int requests = 0;
    plat::testing::SetGlyphFaceFactory(
        [&](const plat::FontRequest& r) -> std::unique_ptr<plat::GlyphFace> {
            ++requests;
            if (requests < 3) return nullptr;
            EXPECT_EQ(r.faceName, "Face");
            return std::make_unique<font_test::TestFace>(8);
        });
    EXPECT_EQ(IsFontHandleValid(CreateFontToHandle("Face", 8, 1, 0, 2, -1, 0, -1, -1)), 1);
    EXPECT_EQ(requests, 3);
    // Refused always: no font and no slot taken.
    plat::testing::SetGlyphFaceFactory(
        [](const plat::FontRequest&) -> std::unique_ptr<plat::GlyphFace> { return nullptr; });
    const int live = GetFontTable().liveCount;
    EXPECT_EQ(CreateFontToHandle("Face", 8, 1, 0, 1, -1, 0, -1, -1), -1);
    EXPECT_EQ(GetFontTable().liveCount, live);
}

TEST_F(FontHandleTest, NothingIsMadeWhileDirectDrawHasNoObject) {
    GetScreenState().noDirectDraw = 0;
    EXPECT_EQ(CreateFontToHandle(nullptr, 8, 1, 0, 1, -1, 0, -1, -1), -1);
    EXPECT_EQ(InitFontSystem(), -1);
    EXPECT_EQ(StoreDefaultFontSizeAndThickness(nullptr, 12, 2), -1);
    EXPECT_EQ(GetFontTable().liveCount, 0);
}

TEST_F(FontHandleTest, ReleaseFreesEverythingAndTellsTheOwner) {
    const int surfaces = GetSurface2DTable().liveCount;
    const int font = CreateFontToHandle(nullptr, 12, 2, 1, 1, 2, 0, -1, -1);
    EXPECT_EQ(GetSurface2DTable().liveCount, surfaces + 1);
    int32_t lost = 7;
    EXPECT_EQ(SetFontLostFlagPointer(font, &lost), 0);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(ReleaseFontHandle(font), 0);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(GetSurface2DTable().liveCount, surfaces);
    EXPECT_EQ(ReleaseFontHandle(font), -1);
    EXPECT_EQ(SetFontLostFlagPointer(font, &lost), -1);
}

TEST_F(FontHandleTest, ALostScratchSurfaceIsMadeAgain) {
    const int font = CreateFontToHandle(nullptr, 12, 2, 2, 1, -1, 0, -1, -1);
    FontRecord* r = GetFontRecord(font);
    const int old = r->scratchSurface;
    EXPECT_EQ(r->scratchLost, 0);
    DeleteSurface2D(old);
    EXPECT_EQ(r->scratchLost, 1);
    EXPECT_EQ(CreateFontCacheSurface(font), 0);
    EXPECT_EQ(r->scratchLost, 0);
    EXPECT_NE(GetSurface2D(r->scratchSurface), nullptr);
    EXPECT_EQ(CreateFontCacheSurface(-1), -1);
}

TEST_F(FontHandleTest, RecreatingKeepsHandlesAndSpacingButNotTheOwnersFlag) {
    const int a = CreateFontToHandle("A", 12, 2, 3, 1, 2, 1, -1, -1);
    const int b = CreateFontToHandle(nullptr, 20, 4, 0, 0, -1, 0, -1, -1);
    SetFontCharSpacing(3, b);
    int32_t lost = 0;
    SetFontLostFlagPointer(a, &lost);
    const FontRecord before = *GetFontRecord(a);
    EXPECT_EQ(RecreateAllFonts(), 0);
    EXPECT_EQ(lost, 1);
    ASSERT_EQ(IsFontHandleValid(a), 1);
    ASSERT_EQ(IsFontHandleValid(b), 1);
    const FontRecord* r = GetFontRecord(a);
    EXPECT_STREQ(r->name, "A");
    EXPECT_EQ(r->type, before.type);
    EXPECT_EQ(r->edgeSize, 2);
    EXPECT_EQ(r->italic, 1);
    EXPECT_EQ(r->lostFlag, nullptr);
    EXPECT_EQ(GetFontRecord(b)->charSpacing, 3);
    EXPECT_EQ(GetFontRecord(b)->size, 20);
    EXPECT_EQ(GetFontRecord(b)->charsetIndex, 0);
    EXPECT_EQ(GetFontTable().liveCount, 2);
}

TEST_F(FontHandleTest, DefaultFontFollowsItsSettings) {
    EXPECT_EQ(StoreDefaultFontFace("MS UI Gothic", -1), 0);
    EXPECT_EQ(StoreDefaultFontSize(12), 0);
    EXPECT_EQ(StoreDefaultFontThickness(2), 0);
    EXPECT_EQ(StoreDefaultFontType(1), 0);
    const int font = QueryDefaultFontHandle();
    const FontRecord* r = GetFontRecord(font);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r->name, "MS UI Gothic");
    EXPECT_EQ(r->size, 12);
    EXPECT_EQ(r->thickness, 2);
    EXPECT_EQ(r->type, 1);
    EXPECT_EQ(r->edgeSize, 1);
    EXPECT_EQ(r->charsetIndex, 1);
    EXPECT_EQ(GetFontTable().liveCount, 1);  // each change replaced the one before
    // Unchanged settings keep the font.
    const int requests = faceRequests;
    EXPECT_EQ(RefreshDefaultFont(), 0);
    EXPECT_EQ(QueryDefaultFontHandle(), font);
    EXPECT_EQ(faceRequests, requests);
    // -1 puts each back to its default.
    StoreDefaultFontSize(-1);
    StoreDefaultFontThickness(-1);
    StoreDefaultFontType(-1);
    StoreDefaultFontFace(nullptr, -1);
    r = GetFontRecord(QueryDefaultFontHandle());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(IsFontHandleValid(font), 0);
    EXPECT_STREQ(r->name, "");
    EXPECT_EQ(r->size, 16);
    EXPECT_EQ(r->thickness, 6);
    EXPECT_EQ(r->type, 0);
    // A mode change gives size and thickness back.
    EXPECT_EQ(StoreDefaultFontSizeAndThickness("ignored", 14, 3), 0);
    EXPECT_EQ(GetFontHandleField(QueryDefaultFontHandle()), 14);
    // Over-long default face names are cut to their field.
    const std::string longName(200, 'q');
    StoreDefaultFontFace(longName.c_str(), 1);
    char name[kFontNameBytes] = {};
    GetFontHandleInfo(name, nullptr, nullptr, QueryDefaultFontHandle());
    EXPECT_EQ(std::string(name), longName.substr(0, 127));
}

TEST_F(FontHandleTest, TheDefaultStringDrawMakesTheDefaultFontFirst) {
    EXPECT_EQ(IsFontHandleValid(QueryDefaultFontHandle()), 0);
    // Nothing to draw: the string draw's 0, after the default font was made from its settings.
    EXPECT_EQ(DrawStringWithDefaultFont(0, 0, "", 0xFFFFFF, 0), 0);
    const FontRecord* r = GetFontRecord(QueryDefaultFontHandle());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->size, 16);
    EXPECT_EQ(r->thickness, 6);
    // A bad default font (refused by the face) is the string draw's -1.
    plat::testing::SetGlyphFaceFactory(
        [](const plat::FontRequest&) -> std::unique_ptr<plat::GlyphFace> { return nullptr; });
    StoreDefaultFontSize(30);
    EXPECT_EQ(QueryDefaultFontHandle(), -1);
    EXPECT_EQ(DrawStringWithDefaultFont(0, 0, "x", 0xFFFFFF, 0), -1);
}

TEST_F(FontHandleTest, InitFontSystemKeepsOnlyTheDefaultFont) {
    EXPECT_EQ(InitFontSystem(), 0);  // no default yet: the built-in one
    const FontRecord* r = GetFontRecord(QueryDefaultFontHandle());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->size, 16);
    EXPECT_EQ(r->thickness, 6);

    StoreDefaultFontSize(12);
    StoreDefaultFontType(1);
    const int other = CreateFontToHandle(nullptr, 20, 2, 0, 1, -1, 0, -1, -1);
    const std::string before = ReadLog();
    EXPECT_EQ(InitFontSystem(), 0);
    EXPECT_NE(ReadLog().find("フォントの初期化を行います"_sjis, before.size()), std::string::npos);
    EXPECT_NE(ReadLog().find("フォントの初期化は正常に終了しました"_sjis, before.size()),
              std::string::npos);
    EXPECT_EQ(IsFontHandleValid(other), 0);
    EXPECT_EQ(GetFontTable().liveCount, 1);
    r = GetFontRecord(QueryDefaultFontHandle());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->size, 12);
    EXPECT_EQ(r->type, 1);
}

TEST_F(FontHandleTest, ClearingTheCacheForgetsEveryGlyph) {
    const int font = CreateFontToHandle(nullptr, 12, 2, 0, 1, -1, 0, -1, -1);
    int count = 0;
    ASSERT_EQ(CacheStringGlyphs(font, "AB", -1, nullptr, &count), 0);
    EXPECT_EQ(count, 2);
    FontRecord* r = GetFontRecord(font);
    EXPECT_NE(FindCachedGlyph(&r->cache, 'A'), nullptr);
    EXPECT_EQ(ClearFontGlyphCache(font), 0);
    EXPECT_EQ(FindCachedGlyph(&r->cache, 'A'), nullptr);
    EXPECT_EQ(r->cache.nextCell, 0);
}

}  // namespace
}  // namespace tessra
