#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game/core/sprite_ids.h"
#include "game/core/sprite_layout.h"
#include "tools/databuild/art.h"

namespace databuild {
namespace {

using velmora::SpriteCut;

const Sheets& Built() {
    static Sheets* sheets = [] {
        auto* s = new Sheets;
        BuildSheets(s);
        return s;
    }();
    return *sheets;
}

bool HasPicture(const SpriteCut& c) {
    const Canvas& sheet = Built().sheet[c.sheet];
    for (int y = c.y; y < c.y + c.h; ++y)
        for (int x = c.x; x < c.x + c.w; ++x)
            if (sheet.Get(x, y) != kKeyGreen) return true;
    return false;
}

TEST(DataBuildArt, SheetsHaveTheLayoutsSizesAndTheKeyColourAroundThePictures) {
    for (int i = 0; i < velmora::kSpriteSheetCount; ++i) {
        EXPECT_EQ(Built().sheet[i].width, velmora::kSpriteSheetSize[i].width);
        EXPECT_EQ(Built().sheet[i].height, velmora::kSpriteSheetSize[i].height);
        EXPECT_EQ(
            Built().sheet[i].Get(Built().sheet[i].width - 1, Built().sheet[i].height - 1) | 0xff,
            kKeyGreen)
            << "sheet " << i;
    }
}

TEST(DataBuildArt, EveryDefinedSpriteHasAPictureInsideItsRectangle) {
    const int32_t(*rows)[6] = velmora::GetSpriteDefinitionTable();
    for (int i = 0; i < velmora::kSpriteDefinitionRows && rows[i][0] >= 0; ++i) {
        const SpriteCut c = velmora::DefinitionCut(rows[i]);
        if (c.id == 0) continue;  // the blank default
        EXPECT_TRUE(HasPicture(c)) << "sprite " << c.id;
    }
    // Players, companion, tiles in use, pumpkin faces.
    for (int grid :
         {velmora::kGridPlayers, velmora::kGridCompanion, velmora::kGridFaces, velmora::kGridTiles})
        for (int i = 0; i < velmora::GridCellCount(grid); ++i)
            EXPECT_TRUE(HasPicture(velmora::GridCell(grid, i))) << velmora::GridCell(grid, i).id;
    // The font: letters, digits and every katakana and voicing mark.
    for (int code = 0; code < 256; ++code) {
        const bool wanted = (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z') ||
                            code == '-' || code == '.' || code == '!' || code == '?' ||
                            (code >= 0xA1 && code <= 0xDF);
        if (!wanted) continue;
        const int cell = code < 160 ? code - 32 : 64 + code - 160;
        EXPECT_TRUE(HasPicture(velmora::FontCell(cell))) << "glyph " << code;
    }
}

TEST(DataBuildArt, TheFillBlockIsPlainWhite) {
    // Filled rectangles stretch sprite 2 and colour it by brightness: it must be pure white.
    const int32_t(*rows)[6] = velmora::GetSpriteDefinitionTable();
    for (int i = 0; i < velmora::kSpriteDefinitionRows && rows[i][0] >= 0; ++i) {
        const SpriteCut c = velmora::DefinitionCut(rows[i]);
        if (c.id != 2) continue;
        for (int y = c.y; y < c.y + c.h; ++y)
            for (int x = c.x; x < c.x + c.w; ++x)
                ASSERT_EQ(Built().sheet[c.sheet].Get(x, y), Rgb(255, 255, 255)) << x << "," << y;
        return;
    }
    FAIL() << "no row for sprite 2";
}

TEST(DataBuildArt, NoPaintLiesOutsideEveryCut) {
    // A pixel that no cut covers would be art the game can never show: a picture and its
    // rectangle disagree.
    std::vector<std::vector<uint8_t>> covered(velmora::kSpriteSheetCount);
    for (int i = 0; i < velmora::kSpriteSheetCount; ++i)
        covered[i].assign(size_t(Built().sheet[i].width) * Built().sheet[i].height, 0);
    for (const SpriteCut& c : velmora::AllSpriteCuts())
        for (int y = c.y; y < c.y + c.h; ++y)
            for (int x = c.x; x < c.x + c.w; ++x)
                covered[c.sheet][size_t(y) * Built().sheet[c.sheet].width + x] = 1;
    for (int i = 0; i < velmora::kSpriteSheetCount; ++i) {
        const Canvas& sheet = Built().sheet[i];
        int stray = 0;
        for (int y = 0; y < sheet.height; ++y)
            for (int x = 0; x < sheet.width; ++x)
                if (sheet.Get(x, y) != kKeyGreen && !covered[i][size_t(y) * sheet.width + x])
                    ++stray;
        EXPECT_EQ(stray, 0) << "sheet " << i;
    }
}

TEST(DataBuildArt, PaintingIsTheSameEveryTime) {
    Sheets again;
    BuildSheets(&again);
    for (int i = 0; i < velmora::kSpriteSheetCount; ++i)
        EXPECT_TRUE(again.sheet[i].px == Built().sheet[i].px) << "sheet " << i;
}

// Whether the words, drawn white two pixels a dot as the menu labels are, stand somewhere in the
// picture of sprite `id`.
bool PictureShowsWords(int32_t id, const char* words) {
    SpriteCut cut{};
    for (const SpriteCut& c : velmora::AllSpriteCuts())
        if (c.id == id) cut = c;
    if (cut.w == 0) return false;
    const int w = WordsWidth(words, 2);
    Canvas ink(w, 12, kKeyGreen);
    DrawWords(View{&ink, 0, 0, w, 12}, 0, 0, words, 2, 2, Rgb(255, 255, 255));
    const Canvas& sheet = Built().sheet[cut.sheet];
    for (int oy = 0; oy + ink.height <= cut.h; ++oy)
        for (int ox = 0; ox + ink.width <= cut.w; ++ox) {
            bool all = true;
            for (int y = 0; y < ink.height && all; ++y)
                for (int x = 0; x < ink.width && all; ++x)
                    if (ink.Get(x, y) != kKeyGreen)
                        all = sheet.Get(cut.x + ox + x, cut.y + oy + y) == Rgb(255, 255, 255);
            if (all) return true;
        }
    return false;
}

TEST(DataBuildArt, TitleItemsNameWhereTheyLead) {
    // The items a player can see, by the scene their confirm opens.
    const struct {
        int item;
        const char* words;
    } cases[] = {
        {0, "NEW GAME"},   {1, "CONTINUE"}, {2, "STAGE SELECT"},
        {5, "COLLECTION"}, {6, "OPTIONS"},  {7, "QUIT"},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(PictureShowsWords(velmora::sprite::kTitleItem + c.item, c.words)) << c.item;
    EXPECT_FALSE(PictureShowsWords(velmora::sprite::kTitleItem + 5, "OPTIONS"));
}

SpriteCut CutOf(int32_t id) {
    for (const SpriteCut& c : velmora::AllSpriteCuts())
        if (c.id == id) return c;
    return SpriteCut{};
}

TEST(DataBuildArt, TheTitleEmblemLiesBelowTheTitlesLowestItem) {
    // The title's backdrop centres the half-transparent emblem on (W/2 + 40, H/4 + 84); its
    // items stand centred on rows from H/4 - 40, 36 pixels apart, six at most (two are never
    // shown). Measured from H/4, the emblem's first painted row must come after the sixth
    // item's last.
    const SpriteCut emblem = CutOf(velmora::sprite::kPanelEmblem);
    const SpriteCut item = CutOf(velmora::sprite::kTitleItem);
    ASSERT_GT(emblem.h, 0);
    ASSERT_GT(item.h, 0);
    int first = -1;
    for (int y = 0; y < emblem.h && first < 0; ++y)
        for (int x = 0; x < emblem.w; ++x)
            if (Built().sheet[emblem.sheet].Get(emblem.x + x, emblem.y + y) != kKeyGreen) {
                first = y;
                break;
            }
    ASSERT_GE(first, 0) << "the emblem has a picture";
    const int emblemTop = 84 - (emblem.h + 1) / 2 + first;
    const int lastItemBottom = -40 + 5 * 36 + item.h / 2 + 1;
    EXPECT_GT(emblemTop, lastItemBottom);
}

// Relative luminance of an 0xRRGGBBAA colour (sRGB), and the contrast ratio of two colours.
double Luminance(uint32_t c) {
    auto channel = [](uint32_t v) {
        const double s = static_cast<double>(v & 0xff) / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c >> 24) + 0.7152 * channel(c >> 16) + 0.0722 * channel(c >> 8);
}

double Contrast(uint32_t a, uint32_t b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A picture's colour under the game's draw colour (each channel scaled by the colour's), and a
// colour laid over another with the alpha of its low byte.
uint32_t Tinted(uint32_t c, uint32_t tint) {
    uint32_t out = 0xff;
    for (int shift : {24, 16, 8})
        out |= (((c >> shift) & 0xff) * ((tint >> shift) & 0xff) / 255) << shift;
    return out;
}

uint32_t Over(uint32_t top, uint32_t below) {
    const uint32_t a = top & 0xff;
    uint32_t out = 0xff;
    for (int shift : {24, 16, 8})
        out |= ((((top >> shift) & 0xff) * a + ((below >> shift) & 0xff) * (255 - a) + 127) / 255)
               << shift;
    return out;
}

TEST(DataBuildArt, OptionValuesStandOutFromTheBoxBehindThem) {
    // The options' values are drawn in the sprite font in 0xFFCF7F over a menu box (dark brown,
    // 0x3F1F0FCF) that lies over the static tiles. Every light pixel of every letter and digit,
    // in that colour, must keep 4.5:1 against the box over every colour of the static, its
    // brightest speckles too. (The labels are drawn in a dim 0x3F3F3F, which caps them near
    // 1.5:1 whatever the art, and the cursor row sits on its light bar, where the letters'
    // dark edge carries them; neither is held to this.)
    std::vector<uint32_t> statics;
    for (int id = velmora::sprite::kNoise; id < velmora::sprite::kNoise + 7; ++id) {
        const SpriteCut c = CutOf(id);
        ASSERT_GT(c.w, 0) << id;
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                const uint32_t p = Built().sheet[c.sheet].Get(c.x + x, c.y + y);
                if (p != kKeyGreen && std::find(statics.begin(), statics.end(), p) == statics.end())
                    statics.push_back(p);
            }
    }
    ASSERT_FALSE(statics.empty());
    std::vector<uint32_t> strokes;
    for (int cell = 0; cell < velmora::kFontCells; ++cell) {
        const SpriteCut c = velmora::FontCell(cell);
        const int code = c.id - 480;
        if (!((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9'))) continue;
        const FontGlyph* g = FindGlyph(code);
        ASSERT_NE(g, nullptr) << code;
        // The letter's body: its grid's dots, two by two pixels from (1, 1) of the cell.
        for (int r = 0; r < 6; ++r)
            for (int k = 0; k < 5; ++k)
                for (int d = 0; d < 4 && g->rows[r][k] == '#'; ++d) {
                    const uint32_t p = Built().sheet[c.sheet].Get(c.x + 1 + 2 * k + d % 2,
                                                                  c.y + 1 + 2 * r + d / 2);
                    if (std::find(strokes.begin(), strokes.end(), p) == strokes.end())
                        strokes.push_back(p);
                }
    }
    ASSERT_FALSE(strokes.empty());
    double worst = 100;
    for (uint32_t stroke : strokes)
        for (uint32_t s : statics)
            worst = std::min(worst, Contrast(Tinted(stroke, 0xFFCF7FFFu), Over(0x3F1F0FCFu, s)));
    EXPECT_GE(worst, 4.5);
}

TEST(DataBuildArt, TheBuildMadeTheLoadingPictureAtItsExactSize) {
    std::ifstream in(std::string(GAME_RUN_DIR) + "/dat/velm0.dat", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(bytes.size(), 10432u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_NE(bytes.find("IEND"), std::string::npos);
    for (int i = 0; i < velmora::kSpriteSheetCount; ++i) {
        std::ifstream sheet(
            std::string(GAME_RUN_DIR) + "/dat/velm2/velm20" + char('0' + i) + ".png",
            std::ios::binary);
        EXPECT_TRUE(sheet.good()) << i;
    }
}

}  // namespace
}  // namespace databuild
