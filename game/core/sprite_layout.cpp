// The sheet layout. The definition table is not written out by hand: the list below names each
// sprite's size and sheet, and a small shelf packer places them in the sheets' free areas, the
// same way every time, for the game and the data builder alike.
#include "game/core/sprite_layout.h"

#include <cstdio>
#include <cstdlib>

#include "game/core/draw_list.h"
#include "game/core/prop_table.h"
#include "game/core/sprite_ids.h"

namespace velmora {

namespace {

namespace s = sprite;

// A run of `count` sprites from `id` up, each w x h pixels of picture on `sheet`.
struct ArtRun {
    int32_t id;
    int count;
    int sheet;
    int w, h;
};

constexpr ArtRun kArtRuns[] = {
    // Sheet 0: small pieces of the HUD, menus and effects.
    {s::kLifeBar, 1, 0, 8, 8},
    {s::kKeyIcon, 1, 0, 14, 14},
    {s::kSmallDigit, 10, 0, 6, 8},
    {s::kLargeDigit, 10, 0, 14, 20},
    {s::kTab, 8, 0, 32, 16},
    {s::kChecker, 4, 0, 32, 32},
    {s::kEditorCursor, 2, 0, 32, 32},
    {s::kStartMode, 4, 0, 32, 32},
    {s::kEditorFlag, 4, 0, 32, 32},
    {s::kHurtIcon, 1, 0, 24, 24},
    {s::kFlagButtonA, 1, 0, 32, 32},
    {s::kFlagButtonB, 1, 0, 32, 32},
    {s::kFlagButtonC, 1, 0, 32, 32},
    {s::kFlame, 1, 0, 16, 24},
    {s::kChainLabel, 1, 0, 48, 16},
    {s::kBackdropLeaf, 1, 0, 32, 32},
    {s::kWarningA, 1, 0, 32, 32},
    {s::kWarningB, 1, 0, 32, 32},
    {s::kNoise, 7, 0, 32, 32},
    {s::kClockPhase, 12, 0, 24, 24},
    {s::kStageBadge, 9, 0, 32, 32},
    {s::kStageBannerL, 1, 0, 32, 32},
    {s::kStageBannerR, 1, 0, 32, 32},
    {s::kSpark, 8, 0, 16, 16},
    {s::kStar, 8, 0, 16, 16},
    {s::kRain, 1, 0, 4, 16},
    {s::kSplash, 4, 0, 16, 8},
    {s::kShot, 4, 0, 16, 16},
    {s::kBlink, 1, 0, 16, 16},
    {s::kDigCursor, 4, 0, 32, 32},
    {s::kHole, 4, 0, 32, 32},
    {s::kMound, 1, 0, 32, 24},
    {s::kShadow, 19, 0, 32, 16},
    {s::kSpirit, 1, 0, 24, 32},
    {s::kCompanionHead, 4, 0, 32, 24},
    {s::kEditorBackdrop, 1, 0, 64, 64},
    {s::kPaletteIcon, 15, 0, 32, 32},
    {s::kLifeCap, 1, 0, 4, 8},
    {s::kEditorArrowL, 2, 0, 16, 16},
    {s::kEditorIndex, 1, 0, 32, 32},
    {s::kAreaNode, 2, 0, 32, 32},
    {s::kClockPlate, 1, 0, 80, 32},
    {s::kClockPlateEnd, 1, 0, 16, 32},
    {s::kPointer, 1, 0, 24, 24},
    {s::kSparkle, 1, 0, 16, 16},
    {s::kHudPanel, 1, 0, 126, 30},
    {s::kHudPanelBase, 1, 0, 126, 14},
    // Sheet 1 beside the character grids: items, walkers' bodies and legs.
    {s::kFieldItem, 32, 1, 32, 32},
    {s::kLeafBody, 22, 1, 32, 32},
    {s::kLegsA, 4, 1, 32, 16},
    {s::kLegsB, 4, 1, 32, 16},
    {s::kHeldForm + 0 * 16, 1, 1, 32, 32},
    {s::kHeldForm + 1 * 16, 1, 1, 32, 32},
    {s::kHeldForm + 2 * 16, 1, 1, 32, 32},
    {s::kHeldForm + 3 * 16, 1, 1, 32, 32},
    {s::kHeldForm + 4 * 16, 1, 1, 32, 32},
    {s::kHeldForm + 5 * 16, 1, 1, 32, 32},
    {s::kHeldForm + 6 * 16, 1, 1, 32, 32},
    {s::kHeldForm + 7 * 16, 1, 1, 32, 32},
    // Sheet 2 above the window: icons, portraits, the panel frame and menu labels.
    {s::kIcon, 32, 2, 32, 32},
    {s::kPortrait, 16, 2, 64, 64},
    {s::kPanelCorner, 1, 2, 64, 64},
    {s::kPanelEdgeH, 1, 2, 64, 64},
    {s::kPanelEdgeV, 1, 2, 64, 64},
    {s::kEditorGrid, 1, 2, 128, 128},
    {s::kPanelTitle, 1, 2, 192, 64},
    {s::kCurtain, 1, 2, 96, 32},
    {s::kDifficulty, 3, 2, 96, 32},
    {s::kTallyLabel, 4, 2, 96, 16},

    // Sheet 3: the title, banners, stage names and pictures.
    {s::kLogo, 1, 3, 1022, 190},  // scaled down to fit screens narrower than 1024
    {s::kTitleItem, 8, 3, 192, 32},
    {s::kStageName, 5, 3, 160, 24},
    {s::kClearBanner, 3, 3, 96, 40},
    {s::kCloud, 1, 3, 256, 256},  // a mist sheet that tiles
    {s::kPicture, 16, 3, 160, 120},
    // Sheet 4: props, map edges, blasts, stage objects and the large figures.
    {s::kEdgeShade, 32, 4, 32, 32},
    {s::kBlast, 1, 4, 64, 64},
    {s::kBlastA, 8, 4, 64, 64},
    {s::kBlastB, 8, 4, 64, 64},
    {s::kGenerator, 3, 4, 32, 48},
    {s::kBreakWall, 1, 4, 32, 48},
    {s::kGeneratorBroken, 1, 4, 32, 48},
    {s::kSaucer, 1, 4, 64, 32},
    {s::kSaucerBig, 1, 4, 64, 32},
    {s::kBeam, 1, 4, 32, 32},
    {s::kColorGate, 16, 4, 32, 48},
    {s::kSwitchGateOpen, 1, 4, 32, 48},
    {s::kSwitchGateShut, 1, 4, 32, 48},
    {s::kCandle, 1, 4, 32, 48},
    {s::kLeafKing, 1, 4, 32, 32},
    {s::kBigLeaf, 4, 4, 48, 48},
    {s::kKanameStone, 1, 4, 32, 32},
    {s::kBigLeaf + 5, 18, 4, 48, 48},
    {s::kBossPart, 8, 4, 64, 64},
    {s::kBigLeafSingle, 1, 4, 64, 64},
    // Tall and mostly empty: its crest is in the bottom, clear of the title's items.
    {s::kPanelEmblem, 1, 4, 84, 320},
};

struct Region {
    int sheet;
    int x0, y0, x1, y1;
};

// The parts of each sheet that neither the font nor a grid nor a fixed row uses.
constexpr Region kFreeRegions[] = {
    {0, 256, 0, 512, 128},  {0, 0, 128, 512, 512}, {1, 0, 0, 256, 382},     {1, 512, 0, 640, 576},
    {1, 0, 672, 256, 768},  {2, 0, 0, 512, 512},   {2, 480, 512, 512, 872}, {2, 0, 872, 512, 1024},
    {3, 0, 64, 1024, 1024}, {4, 0, 0, 1024, 1024},
};

struct Table {
    int32_t definitions[kSpriteDefinitionRows][6];
    int32_t animations[kSpriteAnimationRows][3];
};

[[noreturn]] void LayoutFault(const char* what, int32_t id) {
    std::fprintf(stderr, "sprite layout: %s (sprite %d)\n", what, static_cast<int>(id));
    std::abort();
}

Table BuildTable() {
    Table t{};
    int row = 0;
    auto add = [&](int sheet, int32_t idWord, int x, int y, int w, int h) {
        if (row >= kSpriteDefinitionRows - 1) LayoutFault("definition table full", idWord);
        int32_t* r = t.definitions[row++];
        r[0] = sheet;
        r[1] = idWord;
        r[2] = x;
        r[3] = y;
        r[4] = w;
        r[5] = h;
    };
    // Rows with a place of their own, inside the font's first row where no glyph is drawn.
    add(0, s::kDefault | kSpriteNoInset, 4, 4, 8, 8);
    add(0, s::kRateMark | kSpriteNoInset, 104, 0, 24, 16);
    add(0, s::kWhite | kSpriteNoInset, 36, 4, 8, 8);
    add(2, s::kWindow, 0, 512, 480, 360);
    // The title strip repeats every 1024 pixels, so it takes a whole row of its sheet, uninset.
    add(3, s::kTitleStrip | kSpriteNoInset, 0, 0, 1024, 64);

    // Shelf packing, each picture with a one-pixel margin that the inset takes off again.
    struct Cursor {
        int region = -1;
        int x = 0, y = 0, shelf = 0;
    };
    Cursor cursors[kSpriteSheetCount];
    constexpr int kRegionCount = static_cast<int>(sizeof(kFreeRegions) / sizeof(kFreeRegions[0]));
    auto nextRegion = [&](int sheet, int from) {
        for (int i = from + 1; i < kRegionCount; ++i)
            if (kFreeRegions[i].sheet == sheet) return i;
        return -1;
    };
    auto place = [&](const ArtRun& run) {
        Cursor& c = cursors[run.sheet];
        const int cw = run.w + 2;
        const int ch = run.h + 2;
        for (int k = 0; k < run.count; ++k) {
            for (;;) {
                if (c.region < 0) {
                    c.region = nextRegion(run.sheet, -1);
                    if (c.region < 0) LayoutFault("no free area on its sheet", run.id);
                    c.x = kFreeRegions[c.region].x0;
                    c.y = kFreeRegions[c.region].y0;
                    c.shelf = 0;
                }
                const Region& g = kFreeRegions[c.region];
                if (c.x + cw > g.x1) {  // next shelf
                    c.x = g.x0;
                    c.y += c.shelf;
                    c.shelf = 0;
                }
                if (c.x + cw <= g.x1 && c.y + ch <= g.y1) break;
                c.region = nextRegion(run.sheet, c.region);
                if (c.region < 0) LayoutFault("its sheet is full", run.id + k);
                c.x = kFreeRegions[c.region].x0;
                c.y = kFreeRegions[c.region].y0;
                c.shelf = 0;
            }
            add(run.sheet, run.id + k, c.x, c.y, cw, ch);
            c.x += cw;
            if (ch > c.shelf) c.shelf = ch;
        }
    };
    for (const ArtRun& run : kArtRuns) place(run);
    // The props, each at the size of what it shows, after the rest of sheet 4.
    for (int k = 0; k < kPropSprites; ++k) {
        int w, h;
        GetPropArtSize(GetPropArt(kFirstPropSprite + k), &w, &h);
        place(ArtRun{kFirstPropSprite + k, 1, 4, w, h});
    }
    for (int i = row; i < kSpriteDefinitionRows; ++i) t.definitions[i][0] = -1;

    // Animation loops: splashes, twinkling stars and the two blasts.
    int arow = 0;
    auto loop = [&](int32_t first, int frames, int period) {
        for (int k = 0; k < frames; ++k) {
            if (arow >= kSpriteAnimationRows - 1) LayoutFault("animation table full", first);
            t.animations[arow][0] = first + k;
            t.animations[arow][1] = first + (k + 1) % frames;
            t.animations[arow][2] = period;
            ++arow;
        }
    };
    loop(s::kSplash, 4, 4);
    loop(s::kStar, 4, 3);
    loop(s::kBlastA, 8, 3);
    loop(s::kBlastB, 8, 3);
    loop(s::kFlame, 1, 0x1fffffff);
    for (int i = arow; i < kSpriteAnimationRows; ++i) t.animations[i][0] = -1;
    return t;
}

const Table& GetTable() {
    static const Table table = BuildTable();
    return table;
}

}  // namespace

SpriteCut FontCell(int cell) {
    const int r = cell / 16;
    const int c = cell % 16;
    const int32_t id = cell < 64 ? 512 + cell : 640 + (cell - 64);
    return SpriteCut{id, 0, 16 * c + 1, 16 * r + 1, 14, 14};
}

int GridCellCount(int grid) {
    switch (grid) {
        case kGridTiles:
            return 29 * 16;
        case kGridPlayers:
            return 12 * 8;
        case kGridCompanion:
            return 4 * 8;
        case kGridAnimated:
            return 16 * 8 * 4;
        case kGridFaces:
            return 3 * 3 * 8;
        default:
            return 0;
    }
}

SpriteCut GridCell(int grid, int i) {
    switch (grid) {
        case kGridTiles:
            return SpriteCut{3584 + i, 0, 512 + 32 * (i % 16), 32 * (i / 16), 32, 32};
        case kGridPlayers:
            return SpriteCut{1024 + i, 1, 256 + 32 * (i % 8), 48 * (i / 8), 32, 48};
        case kGridCompanion:
            return SpriteCut{1120 + i, 1, 256 + 48 * (i % 8), 576 + 48 * (i / 8), 48, 48};
        case kGridAnimated: {
            const int r = i / 32, g = (i / 4) % 8, k = i % 4;
            return SpriteCut{1536 + i, 0, 32 * (4 * g + k) + 1, 32 * r + 513, 30, 30};
        }
        case kGridFaces: {
            const int a = i / 24, r = (i / 8) % 3, c = i % 8;
            return SpriteCut{2216 + i, 1, 32 * c + 1, 96 * a + 32 * r + 383, 30, 30};
        }
        default:
            return SpriteCut{-1, 0, 0, 0, 0, 0};
    }
}

const int32_t (*GetSpriteDefinitionTable())[6] {
    return GetTable().definitions;
}

const int32_t (*GetSpriteAnimationTable())[3] {
    return GetTable().animations;
}

std::vector<SpriteCut> AllSpriteCuts() {
    std::vector<SpriteCut> cuts;
    for (int cell = 0; cell < kFontCells; ++cell) cuts.push_back(FontCell(cell));
    const int32_t(*rows)[6] = GetSpriteDefinitionTable();
    for (int i = 0; i < kSpriteDefinitionRows && rows[i][0] >= 0; ++i)
        cuts.push_back(DefinitionCut(rows[i]));
    for (int grid = 0; grid < kGridCount; ++grid)
        for (int i = 0; i < GridCellCount(grid); ++i) cuts.push_back(GridCell(grid, i));
    return cuts;
}

SpriteCut DefinitionCut(const int32_t* row) {
    const bool noInset = (row[1] & kSpriteNoInset) != 0;
    const int32_t id = row[1] & (kSpriteNoInset - 1);
    const int i = noInset ? 0 : 1;
    return SpriteCut{id, row[0], row[2] + i, row[3] + i, row[4] - 2 * i, row[5] - 2 * i};
}

}  // namespace velmora
