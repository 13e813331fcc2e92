// The tile map: the current area's cells drawn around the camera with animated tiles, holes,
// props and their shadows, shaded edges, the checker outside the area and drifting fog; the
// editor's view of the same map; and the prop table's draws.
#include <algorithm>

#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/prop_table.h"
#include "game/core/sprite_ids.h"
#include "game/play/combat.h"
#include "game/play/draw.h"
#include "game/play/draw_private.h"
#include "game/play/stage.h"

namespace velmora {

namespace {

namespace sp = sprite;

constexpr int kTileLayer = 5;
constexpr int kHoleLayer = 6;
constexpr int kPropShadowLayer = 8;
constexpr int kPropSpriteLayer = 9;
constexpr int kFogLayer = 21;
constexpr int kEdgeLayer = 22;
constexpr uint32_t kEdgeColour = 0x404080ffu;
constexpr uint32_t kEditorMarkColour = 0xff7f7fffu;
constexpr int kVarEditorMode = 33;
constexpr int kConfigFogLevel = 21;
constexpr int kFogSheet = 256;  // the fog sprite repeats every 256 pixels
constexpr int kHoleLift = 80;

bool IsOutside(int x, int y) {
    return GetCell(x, y) == kOutsideCell;
}

int EditorIndex(int32_t cell) {
    return (cell >> kCellObjectShift) & 0xff;
}

// A remainder that is never negative, so a sheet's first row starts at or above the screen.
int32_t WrapSheet(int64_t v) {
    const int64_t m = v % kFogSheet;
    return static_cast<int32_t>(m < 0 ? m + kFogSheet : m);
}

// The edge shade of an inside cell: which of its sides face the outside; 4 is none.
int EdgeShade(int cx, int cy) {
    int e = 4;
    if (IsOutside(cx, cy - 1))
        e = 1;
    else if (IsOutside(cx, cy + 1))
        e = 7;
    if (IsOutside(cx - 1, cy))
        e -= 1;
    else if (IsOutside(cx + 1, cy))
        e += 1;
    return e;
}

// The cell walk both map views share; `cell` gets each cell with its corner and checker parity.
template <typename CellFn>
void WalkCells(int32_t ox, int32_t oy, CellFn cell) {
    int w, h;
    GetScreenExtent(&w, &h);
    const int columns = w / 32 + 2;
    const int rows = h / 32 + 4;
    const int32_t camX = -ox, camY = -oy;
    const int firstRow = camY / 32 - 1;
    const int firstColumn = camX / 32 - 2;
    const int rowParity0 = (oy / 32) & 1;
    const int columnParity0 = (ox / 32) & 1;
    int sy = oy % 32 - 48;
    for (int r = 0; r <= rows; ++r, sy += 32) {
        const int cy = firstRow + r;
        const int rowParity = (rowParity0 + r) & 1;
        int sx = ox % 32 - 80;
        for (int c = 0; c <= columns + 1; ++c, sx += 32) {
            const int cx = firstColumn + c;
            const int p = ((columnParity0 + c) & 1) + 2 * rowParity;
            cell(cx, cy, sx, sy, p);
        }
    }
}

void QueueTile(int32_t cell, int sx, int sy, int32_t age, uint32_t colour) {
    int32_t n = (cell >> kCellTileShift) & 0xff;
    if (n > 191) n += ((age / 8) & 3) * 64;
    SetRecordColor(QueueSprite(sx, sy, kTileLayer, sp::kTile + n), colour);
    // Holes take the sky's tint lifted a little, so that at night a hole stays clear of the
    // darkened floor around it.
    if (cell & static_cast<int32_t>(kCellHole))
        SetRecordColor(QueueSprite(sx + 1, sy + 1, kHoleLayer, sp::kHole),
                       AddToColor(colour, kHoleLift, kHoleLift, kHoleLift));
}

void QueueChecker(int sx, int sy, int p) {
    SetRecordColor(QueueSprite(sx, sy, kEdgeLayer, sp::kChecker + p), kEdgeColour);
}

// Fog sheets drift with time; nearer sheets (smaller k) scroll faster with the camera.
void DrawFog(int32_t ox, int32_t oy, int32_t age, uint32_t sky) {
    int d = (256 - static_cast<int>(sky >> 24)) / 4 +
            (256 - static_cast<int>((sky >> 16) & 0xff)) / 4 +
            (256 - static_cast<int>((sky >> 8) & 0xff)) / 4;
    if (GetGameVar(kGameVarWeather) == 4)
        d = std::min(d, 48);
    else
        d = std::min(d, 64) - 32;
    if (d <= 0) return;
    // The level is a loop bound: keep it to the levels the options offer.
    const int level = std::clamp(GetConfigVar(kConfigFogLevel), 1, 3);
    const int alpha = level == 2 ? 2 * d : level == 3 ? 3 * d / 2 : 5 * d / 2;
    const uint32_t colour = (sky & 0xffffff00u) | ClampChannel(alpha);
    int w, h;
    GetScreenExtent(&w, &h);
    for (int k = 1; k <= level; ++k) {
        const int32_t y0 = -WrapSheet(int64_t{-oy} / k + 64 * k);
        const int32_t x0 = -WrapSheet((int64_t{age} - ox) / k + 64 * k);
        for (int32_t y = y0; y < h; y += kFogSheet)
            for (int32_t x = x0; x < w; x += kFogSheet)
                SetRecordColor(QueueSprite(x, y, kFogLayer, sp::kCloud), colour);
    }
}

bool IsEditorMaster() {
    return GetField(kPropKind, GetMasterObject()) == kEditorMasterKind;
}

}  // namespace

void DrawTileMap(int) {
    if (GetGameVar(kGameVarPhase) >= 9) return;
    if (IsEditorMaster()) {
        DrawEditorMap();
        return;
    }
    int32_t ox = 0, oy = 0;
    WorldToScreen(&ox, &oy);
    const uint32_t sky = static_cast<uint32_t>(GetGameVar(kGameVarSky));
    const int32_t age = GetGameVar(kGameVarAge);
    WalkCells(ox, oy, [&](int cx, int cy, int sx, int sy, int p) {
        const int32_t cell = GetCell(cx, cy);
        if (cell == kOutsideCell) {
            QueueChecker(sx, sy, p);
            return;
        }
        QueueTile(cell, sx, sy, age, sky);
        const int index = EditorIndex(cell);
        if (index >= 16 && !(cell & static_cast<int32_t>(kCellSpawn))) {
            DrawPropShadow(sx + 16, sy + 16, index - 16);
            SetRecordColor(DrawProp(sx + 16, sy + 16, index - 16), sky);
        }
        const int e = EdgeShade(cx, cy);
        if (e != 4)
            SetRecordColor(
                QueueSprite(sx, sy, kEdgeLayer, sp::kEdgeShade + e - (e >= 5 ? 1 : 0) + p * 8),
                kEdgeColour);
    });
    DrawFog(ox, oy, age, sky);
}

void DrawEditorMap() {
    int32_t ox = 0, oy = 0;
    WorldToScreen(&ox, &oy);
    const uint32_t sky = static_cast<uint32_t>(GetGameVar(kGameVarSky));
    const int32_t age = GetGameVar(kGameVarAge);
    const int32_t mode = GetGameVar(kVarEditorMode);
    WalkCells(ox, oy, [&](int cx, int cy, int sx, int sy, int p) {
        const int32_t cell = GetCell(cx, cy);
        if (cell == kOutsideCell) {
            QueueChecker(sx, sy, p);
            return;
        }
        QueueTile(cell, sx, sy, age, sky);
        const int index = EditorIndex(cell);
        const int variant = (cell >> kCellVariantShift) & 0x7f;
        if (cell & static_cast<int32_t>(kCellSpawn)) {
            if (mode != 23)
                DrawStageObjectAt(sx + 16, sy + 16, kPropSpriteLayer, variant,
                                  StageTypeOfEditorIndex(index));
            const int n = QueueNumber(sx, sy, kEdgeLayer, index, 2, true);
            SetRecordAngleScale(n, sp::kSmallDigit, 6);
            SetRecordColor(QueueRectangle(sx, sy, sx + 31, sy + 31, kEdgeLayer, false),
                           kEditorMarkColour);
        } else if (index >= 16) {
            if (mode != 23) DrawPropShadow(sx + 16, sy + 16, index - 16);
            const uint32_t colour =
                mode == 23 ? (sky & 0xffffff00u) | ClampChannel(int64_t(sky & 0xff) - 192) : sky;
            SetRecordColor(DrawProp(sx + 16, sy + 16, index - 16), colour);
        } else if (index >= 1) {
            // Of two records on one layer the one queued first is drawn last: the digit that tells
            // one start from another goes in before its mark, so that it shows on top.
            const int n = QueueNumber(sx + 20, sy + 20, kEdgeLayer, variant, 1, false);
            SetRecordAngleScale(n, sp::kSmallDigit, 6);
            QueueSprite(sx, sy, kEdgeLayer, 178 + index);
        }
        if (mode == 25) {
            // Half size, each in a corner of its own, so a cell with two or three flags shows
            // every one of them.
            constexpr struct {
                uint32_t bit;
                int32_t sprite;
                int dx, dy;
            } kMarks[] = {{kCellBlockHigh, 187, 8, 8},
                          {kCellBlockGround, 188, 24, 8},
                          {kCellBlockShot, 189, 16, 24}};
            for (const auto& m : kMarks)
                if (static_cast<uint32_t>(cell) & m.bit)
                    QueueRotatedSprite(sx + m.dx, sy + m.dy, kEdgeLayer, m.sprite, 500, 0);
        }
        (void)p;
    });
}

int32_t GetProp(int32_t* dx, int32_t* dy, int32_t* shadow, int i) {
    if (i < 0 || i >= kPropEntries) return 0;
    const PropEntry& e = GetPropTable()[i];
    if (dx) *dx = e.dx;
    if (dy) *dy = e.dy;
    if (shadow) *shadow = e.shadow;
    return e.sprite;
}

int DrawProp(int x, int y, int i) {
    int32_t dx = 0, dy = 0, shadow = 0;
    if (i < 0 || i >= kPropEntries) return -1;
    const int32_t sprite = GetProp(&dx, &dy, &shadow, i);
    return QueueSpriteAtDepth(x + dx, y + dy, kPropSpriteLayer, sprite, y + 32);
}

void DrawPropShadow(int x, int y, int i) {
    int32_t dx = 0, dy = 0, shadow = 0;
    if (i < 0 || i >= kPropEntries) return;
    GetProp(&dx, &dy, &shadow, i);
    auto rect = [&](int x1, int y1, int x2, int y2) {
        SetRecordColor(QueueRectangle(x1, y1, x2, y2, kPropShadowLayer, true), kShadowColour);
    };
    auto sprite = [&](int sx, int sy, int32_t id) {
        SetRecordColor(QueueRotatedSprite(sx, sy, kPropShadowLayer, id, 1000, 0), kShadowColour);
    };
    switch (shadow & 0xffffff) {
        case 0:
            return;
        case 1:
            return rect(x - 16, y - 4, x + 16, y + 28);
        case 2:
            return rect(x - 48, y - 4, x + 48, y + 28);
        case 3:
            return sprite(x, y + 20, sp::kShadow + 3);
        case 4:
            return rect(x - 16, y + 12, x + 16, y + 20);
        case 5:
            return sprite(x, y + 24, sp::kShadow + 5);
        case 6:
        case 7:
        case 8:
            return sprite(x, y + 24, sp::kShadow + (shadow & 0xffffff));
        case 7696:
            return sprite(x + dx, y + 2, 7696);
        case 7697:
        case 7698:
            return sprite(x + dx, y + 4, shadow & 0xffffff);
        default:
            return sprite(x, y + 12, shadow);
    }
}

}  // namespace velmora
