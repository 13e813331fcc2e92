#include <gtest/gtest.h>

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
