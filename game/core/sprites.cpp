// The sprite table: 8192 engine images by sprite id, with the next id and period of each
// sprite's animation, cut from the five sheets at start-up.
#include <cstdio>
#include <string>

#include "engine/tessra.h"
#include "game/core/draw_list.h"
#include "game/core/sprite_layout.h"

namespace velmora {

namespace {

constexpr int32_t kNoPeriod = 0x1fffffff;

struct SpriteTable {
    int handle[kSpriteCount];
    int32_t next[kSpriteCount];
    int32_t period[kSpriteCount];
    bool loaded = false;
};

SpriteTable g_sprites;

bool ValidId(int32_t id) {
    return id >= 0 && id < kSpriteCount;
}

void Tick(void (*tick)()) {
    if (tick) tick();
}

void Cut(const SpriteCut& c, const int* sheets) {
    if (!ValidId(c.id) || c.sheet < 0 || c.sheet >= kSpriteSheetCount) return;
    g_sprites.handle[c.id] = CreateSubGraph(c.x, c.y, c.w, c.h, sheets[c.sheet]);
}

}  // namespace

bool LoadSprites(void (*tick)(), void (*finish)(), std::string* error) {
    SetTransparentColor(0, 255, 0);
    int sheets[kSpriteSheetCount];
    for (int i = 0; i < kSpriteSheetCount; ++i) {
        char name[64];
        std::snprintf(name, sizeof(name), kSpriteSheetNameFormat, i);
        sheets[i] = LoadGraphFile(name);
        // Without its pictures the game would run invisibly: stop start-up and say which.
        if (sheets[i] == -1) {
            if (error) *error = std::string("cannot load the sprite sheet ") + name;
            return false;
        }
        Tick(tick);
    }

    for (int id = 0; id < kSpriteCount; ++id) {
        g_sprites.handle[id] = CreateSubGraph(4, 4, 8, 8, sheets[0]);
        g_sprites.next[id] = id;
        g_sprites.period[id] = kNoPeriod;
    }
    ResetClipRects();
    Tick(tick);

    for (int cell = 0; cell < kFontCells; ++cell) Cut(FontCell(cell), sheets);
    Tick(tick);

    const int32_t(*rows)[6] = GetSpriteDefinitionTable();
    for (int i = 0; i < kSpriteDefinitionRows && rows[i][0] >= 0; ++i) {
        const SpriteCut c = DefinitionCut(rows[i]);
        if (!ValidId(c.id) || c.sheet >= kSpriteSheetCount) continue;
        if (rows[i][2] < 0) {
            g_sprites.handle[c.id] = sheets[c.sheet];
        } else {
            Cut(c, sheets);
        }
    }
    Tick(tick);

    for (int grid = 0; grid < kGridCount; ++grid) {
        const int n = GridCellCount(grid);
        for (int i = 0; i < n; ++i) {
            const SpriteCut c = GridCell(grid, i);
            Cut(c, sheets);
            if (grid == kGridAnimated) {
                // Four-frame loops: each frame leads to the next, the fourth back to the first.
                g_sprites.next[c.id] = (i % 4 == 3) ? c.id - 3 : c.id + 1;
                g_sprites.period[c.id] = 4;
            }
        }
        Tick(tick);
    }

    int width, height;
    GetScreenExtent(&width, &height);
    g_sprites.handle[kScreenCopySprite] = MakeBlankGraph(width, height);
    if (g_sprites.handle[kScreenCopySprite] == -1) {
        if (error) *error = "cannot make the screen copy image";
        return false;
    }

    ApplyAnimationTable(GetSpriteAnimationTable(), kSpriteAnimationRows);
    Tick(tick);

    // Draw every image once, unseen, so the first real frame does not stall on uploads.
    SetDrawBrightness(0, 0, 0);
    for (int i = 0; i < kSpriteSheetCount; ++i) PutGraph(0, 0, sheets[i], 1);
    PutGraph(0, 0, g_sprites.handle[kScreenCopySprite], 1);
    EraseDrawTarget();
    SetDrawBrightness(255, 255, 255);
    g_sprites.loaded = true;
    if (finish) finish();
    return true;
}

void ApplyAnimationTable(const int32_t (*rows)[3], int rowCount) {
    for (int i = 0; i < rowCount && rows[i][0] >= 0; ++i) {
        const int32_t id = rows[i][0];
        // A period below 1 would divide by zero at every animation step, and an id beyond the
        // table would write past it: such rows are left out.
        if (!ValidId(id) || !ValidId(rows[i][1]) || rows[i][2] < 1) continue;
        g_sprites.next[id] = rows[i][1];
        g_sprites.period[id] = rows[i][2];
    }
}

int GetSpriteHandle(int32_t id) {
    if (!ValidId(id) || !g_sprites.loaded) return -1;
    return g_sprites.handle[id];
}

bool GetSpriteExtent(int32_t id, int* width, int* height) {
    *width = 0;
    *height = 0;
    const int graph = GetSpriteHandle(id);
    if (graph == -1) return false;
    return GetGraphExtent(graph, width, height) != -1;
}

int32_t GetSpriteNext(int32_t id) {
    return ValidId(id) ? g_sprites.next[id] : id;
}

int32_t GetSpritePeriod(int32_t id) {
    return ValidId(id) ? g_sprites.period[id] : kNoPeriod;
}

int32_t AnimateSprite(int32_t word, int32_t age) {
    const int32_t id = word & kSpriteIdMask;
    if (age < 1 || !ValidId(id)) return word;
    const int32_t period = g_sprites.period[id];
    if (period < 1 || age % period != 0) return word;
    return (word & ~kSpriteIdMask) | g_sprites.next[id];
}

}  // namespace velmora
