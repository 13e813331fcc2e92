// Font records: the handle test, slots, names, the lead-byte rule and the GDI font a record is
// made with, on a synthetic face.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/font/font_table.h"
#include "platform/testing.h"

namespace tessra {
namespace {

class SquareFace final : public plat::GlyphFace {
public:
    explicit SquareFace(int width) : width_(width) {}
    plat::FaceMetrics Metrics() const override { return {10, 3, width_, width_ / 2}; }
    bool Render(char32_t, bool, plat::GlyphImage*) override { return false; }

private:
    int width_;
};

class FontTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::testing::Reset();
        plat::testing::SetGlyphFaceFactory(
            [this](const plat::FontRequest& r) -> std::unique_ptr<plat::GlyphFace> {
                requests.push_back(r);
                if (static_cast<int>(requests.size()) <= refusals) return nullptr;
                return std::make_unique<SquareFace>(faceWidth);
            });
    }
    void TearDown() override {
        FontTable& table = GetFontTable();
        for (int i = 0; i < kFontSlots; ++i) {
            if (table.records[i] != nullptr) {
                delete table.records[i];
                table.Vacate(i);
            }
        }
        plat::testing::Reset();
    }
    std::vector<plat::FontRequest> requests;
    int refusals = 0;
    int faceWidth = 12;
};

TEST_F(FontTableTest, HandlesAreCheckedByKindSlotAndCheck) {
    FontTable& table = GetFontTable();
    auto* record = new FontRecord;
    record->check = 5;
    table.Occupy(3, record);
    const int handle = MakeEngineHandle(kFontHandleKind, 5, 3);
    EXPECT_EQ(handle, 0x20050003);
    EXPECT_EQ(GetFontRecord(handle), record);
    EXPECT_EQ(IsFontHandleValid(handle), 1);
    // clang-format off
    const int refused[] = {
        -1, MakeEngineHandle(kFontHandleKind, 6, 3), MakeEngineHandle(kFontHandleKind, 5, 4),
        MakeEngineHandle(kGraphHandleKind, 5, 3), MakeEngineHandle(kFontHandleKind, 5, 40),
        MakeEngineHandle(kFontHandleKind, 5, 0xFFFF),
    };
    // clang-format on
    for (int h : refused) {
        EXPECT_EQ(GetFontRecord(h), nullptr) << std::hex << h;
        EXPECT_EQ(IsFontHandleValid(h), 0);
    }
}

TEST_F(FontTableTest, SlotsOfFortyOrMoreAndTakenSlotsAreRefused) {
    FontTable& table = GetFontTable();
    EXPECT_EQ(ChooseFontSlot(-1), 0);
    EXPECT_EQ(ChooseFontSlot(39), 39);
    EXPECT_EQ(ChooseFontSlot(40), -1);
    EXPECT_EQ(ChooseFontSlot(1000), -1);
    table.Occupy(0, new FontRecord);
    table.Occupy(2, new FontRecord);
    EXPECT_EQ(ChooseFontSlot(-1), 1);  // the first free one
    EXPECT_EQ(ChooseFontSlot(2), -1);
    for (int i = 0; i < kFontSlots; ++i) {
        if (table.records[i] == nullptr) table.Occupy(i, new FontRecord);
    }
    EXPECT_EQ(ChooseFontSlot(-1), -1);  // a 41st font
}

TEST_F(FontTableTest, FaceNamesAreCutToTheirField) {
    FontRecord record;
    const std::string longName(1000, 'n');
    StoreFontName(&record, longName.c_str());
    EXPECT_EQ(std::string(record.name), std::string(kFontNameBytes - 1, 'n'));
    StoreFontName(&record, nullptr);
    EXPECT_STREQ(record.name, "");
}

TEST_F(FontTableTest, LeadBytesByCharset) {
    // clang-format off
    struct Case { unsigned char byte; int charset; int lead; };
    const Case cases[] = {
        {0x41, 1, 0}, {0x80, 1, 0}, {0x81, 1, 1}, {0x9F, 1, 1}, {0xA0, 1, 0}, {0xDF, 1, 0},
        {0xE0, 1, 1}, {0xFC, 1, 1}, {0xFD, 1, 0}, {0x81, 0, 1}, {0xA0, 0, 0},
        {0x7F, 2, 0}, {0x80, 2, 1}, {0xA0, 2, 1}, {0xFF, 2, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(IsDoubleByteLead(&c.byte, c.charset), c.lead) << int{c.byte} << " " << c.charset;
    }
    EXPECT_EQ(IsDoubleByteLead(nullptr, 1), 0);
}

TEST_F(FontTableTest, NamedFaceFallsBackThroughTheCharsets) {
    refusals = 2;
    plat::HFONT font = OpenGdiFont("Face", 12, 2, 0, 1);
    ASSERT_NE(font, nullptr);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].charSet, plat::SHIFTJIS_CHARSET);
    EXPECT_EQ(requests[1].charSet, plat::DEFAULT_CHARSET);
    EXPECT_EQ(requests[2].charSet, plat::SHIFTJIS_CHARSET);
    for (const auto& r : requests) {
        EXPECT_EQ(r.faceName, "Face");
        EXPECT_EQ(r.weight, 200);
        EXPECT_EQ(r.height, 12);
        EXPECT_EQ(r.pitchAndFamily, plat::FIXED_PITCH);
    }
    plat::DeleteObject(font);
}

TEST_F(FontTableTest, UnnamedFaceFallsBackUprightInTheDefaultCharset) {
    refusals = 1;
    plat::HFONT font = OpenGdiFont("", 16, 6, 1, 2);
    ASSERT_NE(font, nullptr);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].charSet, plat::HANGUL_CHARSET);
    EXPECT_TRUE(requests[0].italic);
    EXPECT_EQ(requests[1].charSet, plat::DEFAULT_CHARSET);
    EXPECT_FALSE(requests[1].italic);
    EXPECT_EQ(requests[1].faceName, "");
    plat::DeleteObject(font);
}

TEST_F(FontTableTest, NoFontAtAllIsNull) {
    refusals = 10;
    EXPECT_EQ(OpenGdiFont("Face", 12, 2, 0, 1), nullptr);
    EXPECT_EQ(requests.size(), 3u);
    requests.clear();
    EXPECT_EQ(OpenGdiFont(nullptr, 12, 2, 0, 1), nullptr);
    EXPECT_EQ(requests.size(), 2u);
}

TEST_F(FontTableTest, CellSizesFromTheMetrics) {
    // clang-format off
    struct Case { int maxWidth; int type; int edge; int cellWidth; int cellHeight; };
    const Case cases[] = {
        {12, 0, 1, 16, 14}, {12, 1, 1, 16, 16}, {16, 0, 1, 16, 14}, {15, 1, 3, 24, 20},
        {0, 0, 1, 8, 14},
    };
    // clang-format on
    for (const Case& c : cases) {
        faceWidth = c.maxWidth;
        FontRecord record;
        record.type = c.type;
        record.edgeSize = c.edge;
        record.font = OpenGdiFont("Face", 13, 2, 0, 1);
        ASSERT_TRUE(MeasureGdiFont(&record));
        EXPECT_EQ(record.ascent, 10);
        EXPECT_EQ(record.cellWidth, c.cellWidth) << c.maxWidth << " " << c.type;
        EXPECT_EQ(record.cellHeight, c.cellHeight) << c.maxWidth << " " << c.type;
        plat::DeleteObject(record.font);
    }
}

}  // namespace
}  // namespace tessra
