// Where every sprite lies on the five sheets: the sprite-font cells, the fixed grids, the
// sprite definition table and the animation table. The game cuts its sprites by these and the
// data builder paints the sheets by the very same numbers.
#pragma once

#include <cstdint>
#include <vector>

namespace velmora {

inline constexpr int kSpriteSheetCount = 5;
struct SheetSize {
    int width;
    int height;
};
inline constexpr SheetSize kSpriteSheetSize[kSpriteSheetCount] = {
    {1024, 1024}, {640, 768}, {512, 1024}, {1024, 1024}, {1024, 1024}};
// The sheets' file names, "dat\velm2\velm200.png" and on.
inline constexpr const char* kSpriteSheetNameFormat = "dat\\velm2\\velm2%02d.png";

// One cut: a sprite id and its rectangle on a sheet.
struct SpriteCut {
    int32_t id;
    int sheet;
    int x, y, w, h;
};

// Sprite font: cells 0..127, 14 x 14 each; cells 0..63 are bytes 32..95 (ids 512..575), 64..127
// bytes 160..223 (ids 640..703).
inline constexpr int kFontCells = 128;
SpriteCut FontCell(int cell);

// The fixed grids, in cutting order.
enum SpriteGridId : int {
    kGridTiles = 0,      // 3584: 29 rows x 16, 32 x 32 on sheet 0
    kGridPlayers = 1,    // 1024: 12 rows x 8, 32 x 48 on sheet 1
    kGridCompanion = 2,  // 1120: 4 rows x 8, 48 x 48 on sheet 1
    kGridAnimated = 3,   // 1536: 16 rows x 8 groups x 4 frames, 30 x 30 on sheet 0
    kGridFaces = 4,      // 2216: 3 blocks x 3 rows x 8, 30 x 30 on sheet 1
    kGridCount = 5,
};
int GridCellCount(int grid);
SpriteCut GridCell(int grid, int index);

// The sprite definition table: rows of sheet, id word, x, y, w, h; a row with sheet < 0 ends it.
// Bit 30 of the id word (kSpriteNoInset) cuts the rectangle as it is; otherwise one pixel is
// taken off each side, so neighbouring pictures never bleed into each other.
inline constexpr int kSpriteDefinitionRows = 640;
const int32_t (*GetSpriteDefinitionTable())[6];
// The rectangle a definition row cuts.
SpriteCut DefinitionCut(const int32_t* row);

// Every cut the game makes from the sheets: font cells, definition rows and grid cells (the
// default blank and the screen copy aside), in that order.
std::vector<SpriteCut> AllSpriteCuts();

// The animation table: rows of id, next, period; an id < 0 ends it.
inline constexpr int kSpriteAnimationRows = 64;
const int32_t (*GetSpriteAnimationTable())[3];

}  // namespace velmora
