#include "game/frontend/editor.h"

#include <cstring>
#include <vector>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/screen_state.h"
#include "game/core/sound_cue.h"
#include "game/frontend/editor_private.h"
#include "game/play/combat.h"
#include "game/play/draw.h"
#include "game/play/game_flow.h"
#include "game/play/object_utils.h"
#include "game/play/stage.h"

namespace velmora {

using namespace editor;

namespace {

constexpr int kEditorLayer = 24;
constexpr uint32_t kHoverColour = 0xFFFF80FF;
constexpr uint32_t kIdleColour = 0x8080FFFF;
constexpr uint32_t kPanelMarkColour = 0xFF7F7FFF;

// The palette: id, sprite, x, and y (a negative y counts up from the bottom edge).
struct PaletteEntry {
    int id;
    int32_t sprite;
    int x, y;
};
// clang-format off
constexpr PaletteEntry kPalette[] = {
    {16, 160, 16, 16},  {17, 161, 48, 16},  {18, 162, 80, 16},  {19, 163, 112, 16},
    {20, 164, 144, 16}, {21, 165, 176, 16}, {22, 166, 240, 16}, {23, 167, 272, 16},
    {24, 168, 304, 16}, {25, 169, 336, 16}, {26, 170, 368, 16}, {27, 171, 400, 16},
    {28, 172, 432, 16}, {29, 173, 464, 16}, {30, 174, 624, 16},
    {31, 540, 251, -7}, {32, 542, 297, -7}, {33, 540, 361, -7}, {34, 542, 407, -7},
};
// clang-format on

// The stage as it was last saved, loaded or made, to tell unsaved edits.
std::vector<int32_t> g_clean;

int PaletteY(const PaletteEntry& e, int h) {
    return e.y < 0 ? h + e.y : e.y;
}

// The palette button whose square holds the mouse now, or 0.
int PaletteButtonAt(int mx, int my, int h) {
    for (const PaletteEntry& e : kPalette) {
        const int dx = e.x - mx, dy = PaletteY(e, h) - my;
        if (dx > -16 && dx < 16 && dy > -16 && dy < 16) return e.id;
    }
    return 0;
}

bool CurrentAreaExists() {
    return GetStageWord(kStageWordAreaOffsets + GetCurrentArea()) != 0;
}

void SelectPaletteTool(int id) {
    SetGameVar(kVarTool, id);
    SetGameVar(kVarCommand, kCmdIdle);
}

void RunPaletteAction(int id) {
    switch (id) {
        case kToolNewFile:
        case kToolLoad:
        case kToolSave:
            ScanStageSlots(GetGameVar(kVarSlot) / kSlotsPerPage);
            SelectPaletteTool(id);
            break;
        case kToolQuit:
            SetGameVar(kVarCommand, 1);
            SetGameVar(kVarTool, id);
            break;
        case kToolTile:
        case kToolProp:
        case kToolObject:
            SetGameVar(kVarPanel, 1);
            SelectPaletteTool(id);
            break;
        case kToolStart:
            if (GetGameVar(kVarTool) == kToolStart)
                SetGameVar(kVarStartNumber, (GetGameVar(kVarStartNumber) + 1) & 7);
            SetGameVar(kVarTool, id);
            break;
        case kButtonUndo:
            SwapStageUndo();
            break;
        case 31:
        case 32:
        case 33:
        case 34:
            // An absent area has no size to change: resizing would make it without its offset.
            if (CurrentAreaExists()) {
                BeforeEdit();
                ResizeArea(id == 31 ? -1 : id == 32 ? 1 : 0, id == 33 ? -1 : id == 34 ? 1 : 0);
            }
            break;
        default:
            if (id >= kToolHeader && id <= kToolNone) SelectPaletteTool(id);
            break;
    }
}

// ---- Map pens ----

struct Pen {
    const Mouse& m;
    bool panel;        // the tool panel is shown
    bool* mapEditing;  // cleared where the pen's panel or strip takes the mouse
    int32_t wx, wy;    // the world point under the mouse
};

void DrawPanelBox(int x1, int y1, int x2, int y2, uint32_t fill) {
    Outline(x1, y1, x2, y2, 23, kBright);
    Fill(x1, y1, x2, y2, 23, fill);
}

void TilePen(Pen& p) {
    const Mouse& m = p.m;
    int32_t s = GetGameVar(kVarTile);
    const int page = (s >> 6) & 3, tile = s & 63;
    bool chose = false;
    if (p.panel) {
        DrawPanelBox(16, 32, 304, 336, 0x000000FF);
        if (m.x < 304 && m.y < 336) *p.mapEditing = false;
        for (int k = 0; k < 4; ++k)
            Sprite(32 + 32 * k, 40, kEditorLayer, 134 + k, k == page ? kBright : 0x808080FF);
        for (int n = 0; n < 64; ++n) {
            const int c = n % 8, r = n / 8;
            Sprite(32 + 32 * c, 64 + 32 * r, kEditorLayer, 3584 + page * 64 + n,
                   n == tile ? kBright : 0x808080FF);
            if (n == tile)
                Outline(31 + 32 * c, 63 + 32 * r, 65 + 32 * c, 97 + 32 * r, 25, 0xFF0000FF);
        }
        if (m.In(32, 288, 36, 320)) {
            const int c = (m.x - 32) / 32, r = (m.y - 64) / 32;
            if (m.y >= 64) Outline(32 + 32 * c, 64 + 32 * r, 64 + 32 * c, 96 + 32 * r, 26, kBright);
        }
        if (m.NewClick() && m.InClosed(33, 287, 37, 319)) {
            chose = true;
            if (m.y < 64) {
                const int k = (m.x - 32) / 32;
                if (k >= 0 && k < 4) s = k << 6 | tile;
            } else {
                s = page << 6 | (((m.y - 64) / 32 % 8) * 8 + (m.x - 32) / 32);
            }
            SetGameVar(kVarTile, s);
            PlaySe(1);
        }
    }
    if (chose || !*p.mapEditing) return;
    if (m.NewClick()) {
        BeforeEdit();
        PlaySe(5);
    }
    if (m.Held()) SetCellTile(p.wx, p.wy, s & 0xff);
}

void PropPen(Pen& p) {
    const Mouse& m = p.m;
    int32_t s = GetGameVar(kVarProp);
    const int page = (s >> 4) & 7, prop = s & 15;
    bool chose = false;
    if (p.panel) {
        DrawPanelBox(16, 32, 304, 336, 0x202080FF);
        if (m.x < 304 && m.y < 336) *p.mapEditing = false;
        for (int n = 0; n < 16; ++n) {
            const int c = n % 4, r = n / 4;
            const uint32_t colour = n == prop ? kBright : 0x808080FF;
            int32_t dx = 0, dy = 0, shadow = 0;
            const int32_t sprite = GetProp(&dx, &dy, &shadow, page * 16 + n);
            if (sprite > 0) {
                const int y = 80 + 64 * r + dy;
                SetRecordColor(QueueSpriteAtDepth(64 + 64 * c + dx, y, 25, sprite, y), colour);
            }
            Outline(44 + 64 * c, 60 + 64 * r, 84 + 64 * c, 100 + 64 * r, kEditorLayer, colour);
        }
        for (int k = 0; k < 8; ++k)
            Sprite(32 + 32 * k, 308, kEditorLayer, 134 + k, k == page ? kBright : kDim);
        if (m.NewClick() && m.InClosed(33, 287, 49, 335)) {
            chose = true;
            if (m.y < 304)
                s = page << 4 | (((m.x - 32) / 64 + ((m.y - 48) / 64) * 4) & 15);
            else
                s = ((m.x - 32) / 32) << 4 | prop;
            SetGameVar(kVarProp, s);
            PlaySe(1);
        }
    }
    if (chose || !*p.mapEditing) return;
    if (m.NewClick()) {
        BeforeEdit();
        PlaySe(5);
    }
    if (m.Held()) {
        SetCellObject(p.wx, p.wy, s == 0 ? 0 : s + 16);
        ClearCellBitsAtPixel(p.wx, p.wy, static_cast<int32_t>(kCellSpawn));
    }
}

void FlagPen(Pen& p) {
    const Mouse& m = p.m;
    int32_t b = GetGameVar(kVarFlagBits);
    for (int k = 0; k < 4; ++k) {
        const bool on = k == 0 ? b == 0 : (b >> k & 1) != 0;
        Sprite(480 + 32 * k, 0, kEditorLayer, 186 + k, on ? kBright : kDim);
        if (m.NewClick() && m.In(480 + 32 * k, 512 + 32 * k, -1 << 30, 32)) {
            b = k == 0 ? 0 : b ^ (1 << k);
            SetGameVar(kVarFlagBits, b);
            PlaySe(5);
        }
    }
    if (!*p.mapEditing || m.y < 32) return;
    if (m.NewClick()) {
        BeforeEdit();
        PlaySe(5);
    }
    if (!m.Held()) return;
    if (b == 0) {
        ClearCellBitsAtPixel(p.wx, p.wy, 4 | 2 | 8);
    } else {
        int32_t bits = 0;
        if (b & 2) bits |= 4;
        if (b & 4) bits |= 2;
        if (b & 8) bits |= 8;
        OrCellAtPixel(p.wx, p.wy, bits);
    }
}

// One arrow pair of the object pen's variant editor: -1, +1 or 0 for this frame.
int ArrowPair(const Mouse& m, int y) {
    int step = 0;
    for (int k = 0; k < 2; ++k) {
        const int x1 = k == 0 ? 32 : 160;
        const bool over = m.In(x1, x1 + 32, y - 16, y + 16);
        Sprite((k == 0 ? 48 : 176) - 8, y - 8, kEditorLayer, 142 + k, over ? kBright : kDim);
        if (over && m.NewClick()) {
            step = k == 0 ? -1 : 1;
            PlaySe(5);
        }
    }
    return step;
}

// The eight numbered buttons; the one clicked, or -1.
int EightButtons(const Mouse& m, int current) {
    int chosen = -1;
    for (int n = 0; n < 8; ++n) {
        const int x = 36 + 40 * (n % 4), y = 192 + 24 * (n / 4);
        Sprite(x, y, kEditorLayer, 134 + n, n == current ? kBright : kDim);
        if (m.NewClick() && m.In(x, x + 32, y, y + 16)) {
            chosen = n;
            PlaySe(0);
        }
    }
    return chosen;
}

int32_t FlagButton(const Mouse& m, int32_t v, int32_t sprite) {
    const bool over = m.In(24, 56, 64, 80);
    Sprite(24, 64, kEditorLayer, sprite, over ? kPanelMarkColour : (v & 64) ? kBright : kDim);
    if (over && m.NewClick()) {
        PlaySe(5);
        return v ^ 64;
    }
    return v;
}

// The variant editor of editor index i; the new variant.
int32_t EditVariant(const Mouse& m, int i, int32_t v) {
    switch (i) {
        case 1:
        case 5:
        case 8:
        case 10: {
            int32_t head = Wrap(v & 15, 12), body = (v >> 4) & 3;
            Text(64, 186, kEditorLayer, 56 + head, kBright);
            Text(64, 216, kEditorLayer, 72 + body, kBright);
            head = Wrap(head + ArrowPair(m, 192), 12);
            body = Wrap(body + ArrowPair(m, 224), 4);
            v = (v & 64) | body << 4 | head;
            return FlagButton(m, v, i == 1 || i == 10 ? 205 : 191);
        }
        case 3:
        case 12: {
            const int n = EightButtons(m, v & 7);
            return n >= 0 ? n : v & 7;
        }
        case 4: {
            if (v < 8) v = 8;
            const int n = EightButtons(m, v & 7);
            return n >= 0 ? n + 8 : v & 15;
        }
        case 6:
            return FlagButton(m, v & 64, 191);
        case 7: {
            int32_t item = Wrap(v & 63, 11);
            Text(60, 186, kEditorLayer, 176 + item, kBright);
            item = Wrap(item + ArrowPair(m, 192), 11);
            return FlagButton(m, (v & 64) | item, 195);
        }
        case 9: {
            int32_t kind = v & 7, number = (v >> 3) & 15;
            Text(60, 162, kEditorLayer, 88 + kind, kBright);
            kind = Wrap(kind + ArrowPair(m, 168), 8);
            const int n = EightButtons(m, number);
            if (n >= 0) number = n;
            return number << 3 | kind;
        }
        case 11: {
            const int n = EightButtons(m, v & 7);
            return FlagButton(m, (v & 64) | (n >= 0 ? n : v & 7), 191);
        }
        case 31: {
            int32_t icon = Wrap((v & 63) - 32, 32);
            icon = Wrap(icon + ArrowPair(m, 192), 32);
            return 64 | (icon + 32);
        }
        default:
            return 0;
    }
}

void ObjectPen(Pen& p) {
    const Mouse& m = p.m;
    int32_t i = Wrap(GetGameVar(kVarObjectIndex), 32);
    int32_t v = GetGameVar(kVarVariant) & 127;
    bool acted = false;
    if (p.panel) {
        // Queued before its panel: on one layer what is queued first is drawn last, on top.
        Fill(24, 40, 200, 56, 23, 0x404080FF);
        DrawPanelBox(16, 32, 208, 240, 0x000000FF);
        if (m.x < 208 && m.y < 240) *p.mapEditing = false;
        Text(32, 41, kEditorLayer, 128 + i, kBright);
        for (int k = 0; k < 2; ++k) {
            const bool over = m.In(32 + 128 * k, 64 + 128 * k, 112, 144);
            Sprite((k == 0 ? 48 : 176) - 8, 120, 25, 142 + k, over ? kBright : kDim);
            if (over && m.NewClick()) {
                i = Wrap(i + (k == 0 ? -1 : 1), 32);
                v = 0;
                acted = true;
                PlaySe(5);
            }
        }
        if (!acted) {
            const int32_t before = v;
            v = EditVariant(m, i, v) & 127;
            acted = v != before || (m.NewClick() && !*p.mapEditing);
        }
        DrawStageObjectAt(112, 128, kEditorLayer, v, StageTypeOfEditorIndex(i));
        SetGameVar(kVarObjectIndex, i);
        SetGameVar(kVarVariant, v);
    }
    if (acted || !*p.mapEditing) return;
    if (m.NewClick()) {
        BeforeEdit();
        PlaySe(5);
    }
    if (m.Held()) {
        SetCellObject(p.wx, p.wy, i);
        SetCellVariant(p.wx, p.wy, v);
        OrCellAtPixel(p.wx, p.wy, static_cast<int32_t>(kCellSpawn));
    }
}

void StartPen(Pen& p) {
    const Mouse& m = p.m;
    int32_t mode = GetGameVar(kVarStartMode) & 3;
    const int32_t n = GetGameVar(kVarStartNumber) & 7;
    if (p.panel) {
        DrawPanelBox(16, 32, 208, 96, 0x000000FF);
        if (m.x < 208 && m.y < 96) *p.mapEditing = false;
        for (int k = 0; k < 4; ++k) {
            Sprite(32 + 32 * k, 48, kEditorLayer, 179 + k, k == mode ? kBright : kDim);
            if (k >= 2) Number(46 + 32 * k, 52, kEditorLayer, n + 1, 1, false, kBright);
            if (m.NewClick() && m.In(32 + 32 * k, 64 + 32 * k, 48, 80)) {
                mode = k;
                SetGameVar(kVarStartMode, k);
                PlaySe(0);
                return;
            }
        }
    }
    if (!*p.mapEditing || !m.NewClick()) return;
    const int cx = (p.wx + 16) / 32, cy = (p.wy + 16) / 32;
    int w = 0, h = 0;
    GetAreaSize(&w, &h);
    // Only a cell of the area can hold a start: outside it the position would be garbage.
    if (p.wx + 16 < 0 || p.wy + 16 < 0 || cx >= w || cy >= h) return;
    BeforeEdit();
    if (mode == 0) {
        const int32_t old = GetAreaWord(kAreaWordEntries + n);
        if (old > 0) SetCellObject((old >> 16) * 32, (old & 0xffff) * 32, 0);
        SetAreaWord(kAreaWordEntries + n, cx << 16 | cy);
    }
    SetCellObject(p.wx, p.wy, mode + 1);
    SetCellVariant(p.wx, p.wy, n + 1);
    PlaySe(5);
}

void Eraser(Pen& p) {
    if (!*p.mapEditing || !p.m.NewClick()) return;
    BeforeEdit();
    SetCellAtPixel(p.wx, p.wy, 0);
    PlaySe(5);
}

// Scroll: dragging moves the camera; letting go snaps it to whole cells.
void Scroll(const Mouse& m, bool* mapEditing, int master) {
    const bool wasHeld = (m.prev & 1) != 0;
    if (m.Held() && m.y >= 33) {
        *mapEditing = false;
        int32_t px = 0, py = 0;
        GetPosition(&px, &py, master);
        AddGameVar(kGameVarCameraX, px - m.x);
        AddGameVar(kGameVarCameraY, py - m.y);
    } else if (wasHeld) {
        SetGameVar(kGameVarCameraX, GetGameVar(kGameVarCameraX) / 32 * 32);
        SetGameVar(kGameVarCameraY, GetGameVar(kGameVarCameraY) / 32 * 32);
    }
}

void DrawStatusLine(const Mouse& m, bool fullScreen) {
    const int y = m.h - 14;
    const int32_t camX = GetGameVar(kGameVarCameraX), camY = GetGameVar(kGameVarCameraY);
    Text(0, y, kEditorLayer, 4, kBright);
    Number(44, y, kEditorLayer, camX, 4, false, camX < 0 ? 0xFF7F7FFF : 0xFFFF7FFF);
    Text(96, y, kEditorLayer, 5, kBright);
    Number(140, y, kEditorLayer, camY, 4, false, camY < 0 ? 0xFF7F7FFF : 0xFFFF7FFF);
    int w = 0, h = 0;
    GetAreaSize(&w, &h);
    Text(192, y, kEditorLayer, 6, 0xCFFFFFFF);
    Number(256, y, kEditorLayer, w, 3, true, 0xCFFFFFFF);
    Text(302, y, kEditorLayer, 7, 0xCFFFFFFF);
    Number(366, y, kEditorLayer, h, 3, true, 0xCFFFFFFF);
    // The cell under the mouse, so whoever edits can see where and what they are painting.
    const int32_t wx = camX + m.x, wy = camY + m.y;
    const int cx = (wx + 16) / 32, cy = (wy + 16) / 32;
    const bool inside = wx + 16 >= 0 && wy + 16 >= 0 && cx < w && cy < h;
    Number(424, y, kEditorLayer, inside ? cx : 0, 4, true, 0xFFFF7FFF);
    Number(480, y, kEditorLayer, inside ? cy : 0, 4, true, 0xFFFF7FFF);
    Text(536, y, kEditorLayer, 48, 0xFFFF7FFF);
    Number(564, y, kEditorLayer, GetCurrentArea() + 1, 2, false, 0xFFFF7FFF);
    // A full-screen panel covers the map, and its own rows take that corner.
    if (fullScreen) return;
    if (inside) {
        const int r = QueueNumber(8, m.h - 40, kEditorLayer, 0, 8, true);
        SetRecordHexNumber(r, GetCell(cx, cy), 8, true);
        SetRecordColor(r, kBright);
    } else {
        Text(8, m.h - 40, kEditorLayer, 49, kBright);
    }
}

}  // namespace

namespace editor {

int Sprite(int x, int y, int layer, int32_t sprite, uint32_t colour) {
    const int r = QueueSprite(x, y, layer, sprite);
    SetRecordColor(r, colour);
    return r;
}

int Text(int x, int y, int layer, int id, uint32_t colour) {
    const int r = QueueSpriteText(x, y, layer, id);
    SetRecordColor(r, colour);
    return r;
}

int Number(int x, int y, int layer, int32_t value, int digits, bool zeroPad, uint32_t colour) {
    const int r = QueueNumber(x, y, layer, value, digits, zeroPad);
    SetRecordColor(r, colour);
    return r;
}

int Outline(int x1, int y1, int x2, int y2, int layer, uint32_t colour) {
    const int r = QueueRectangle(x1, y1, x2, y2, layer, false);
    SetRecordColor(r, colour);
    return r;
}

int Fill(int x1, int y1, int x2, int y2, int layer, uint32_t colour) {
    const int r = QueueRectangle(x1, y1, x2, y2, layer, true);
    SetRecordColor(r, colour);
    return r;
}

void BeforeEdit() {
    SaveStageUndo();
}

bool HasUnsavedEdits() {
    const StageRecord& s = GetStageRecord();
    if (g_clean.size() != static_cast<size_t>(kStageRecordWords)) return true;
    return std::memcmp(g_clean.data(), s.words, sizeof s.words) != 0;
}

void MarkStageClean() {
    const StageRecord& s = GetStageRecord();
    g_clean.assign(s.words, s.words + kStageRecordWords);
}

}  // namespace editor

int GetEditorMouse(int* x, int* y) {
    int mx = 0, my = 0, w = 0, h = 0;
    GetMousePosition(&mx, &my);
    GetScreenExtent(&w, &h);
    if (x) *x = mx < 0 ? 0 : mx > w ? w : mx;
    if (y) *y = my < 0 ? 0 : my > h ? h : my;
    return GetMouseButtons();
}

int CreateEditorMaster() {
    const int master = SpawnObject(0, 0, kEditorLayer, 0, kEditorMasterKind);
    if (master < 0) return -1;
    SetFieldBits(kPropFlags, master, kFlagKeep);
    SetMasterObject(master);
    SetConfigVar(kCfgRunFlags, kRequestScene);
    SetMouseVisible(1);
    // Tiles and props are drawn under the sky colour: the editor shows them in full light.
    SetGameVar(kGameVarSky, static_cast<int32_t>(0xFFFFFFFFu));
    CreateMapObject();
    NewStage(-1);
    MarkStageClean();
    return master;
}

int OpenStageEditor() {
    const int master = CreateEditorMaster();
    if (master < 0) return -1;
    NewStage(0);
    SaveStageUndo();
    MarkStageClean();
    CentreCameraOnArea();
    return master;
}

void UpdatePaletteButton(int slot) {
    const int id = GetField(32, slot);
    int32_t bx = 0, by = 0, ex = 0, ey = 0;
    GetPosition(&bx, &by, slot);
    GetPosition(&ex, &ey, GetMasterObject());
    const int dx = bx - ex, dy = by - ey;
    if (dx > -16 && dx < 16 && dy > -16 && dy < 16) {
        if (GetGameVar(kVarHover) != id) PlaySe(0);
        SetGameVar(kVarHover, id);
        SetField(kPropColor, slot, static_cast<int32_t>(kHoverColour));
    } else {
        if (GetGameVar(kVarHover) == id) SetGameVar(kVarHover, 0);
        SetField(kPropColor, slot,
                 static_cast<int32_t>(GetGameVar(kVarTool) == id ? kBright : kIdleColour));
    }
}

void UpdateStageEditor(int slot) {
    // 1. The frame's flags.
    bool mapEditing = true;
    bool fullScreen = false;
    bool toolPanel = false;
    Mouse m;
    GetScreenExtent(&m.w, &m.h);

    // 2. The palette on the first frame.
    if (GetField(kPropAge, slot) == 0) {
        SetGameVar(kVarHover, 0);
        SetGameVar(kVarTool, 0);
        for (const PaletteEntry& e : kPalette) {
            const int b =
                SpawnObject(e.x, PaletteY(e, m.h), kEditorLayer, e.sprite, kPaletteButtonKind);
            if (b < 0) continue;
            SetFieldBits(kPropFlags, b, kFlagScreenFixed | kFlagKeep);
            SetField(32, b, e.id);
            SetField(kPropColor, b, static_cast<int32_t>(kIdleColour));
        }
    }

    // 3. The mouse.
    m.prev = GetGameVar(kVarPrevButtons);
    m.cur = GetEditorMouse(&m.x, &m.y);

    // 4. The arrow keys scroll by whole cells.
    if (IsButtonPressed(kButtonRight)) AddGameVar(kGameVarCameraX, 32);
    if (IsButtonPressed(kButtonLeft)) AddGameVar(kGameVarCameraX, -32);
    if (IsButtonPressed(kButtonDown)) AddGameVar(kGameVarCameraY, 32);
    if (IsButtonPressed(kButtonUp)) AddGameVar(kGameVarCameraY, -32);

    // 5. The palette row and the status line never edit the map.
    if (m.y < 48 || m.y > m.h - 24) mapEditing = false;

    // 6, 7. A palette click acts on the button under the mouse now (a hover left from the last
    // frame may name a button the mouse has already left) and runs no tool this frame.
    int tool = GetGameVar(kVarTool);
    if (m.NewClick()) {
        const int id = PaletteButtonAt(m.x, m.y, m.h);
        if (id > 0) {
            PlaySe(1);
            RunPaletteAction(id);
            tool = 0;
        }
    }

    // 8. The right button shows and hides the tool panel.
    if ((m.cur & 2) && !(m.prev & 2)) {
        SetGameVar(kVarPanel, 1 - GetGameVar(kVarPanel));
        PlaySe(0);
    }
    if (GetGameVar(kVarPanel) > 0) toolPanel = true;

    // 9. The tool.
    const int32_t wx = GetGameVar(kGameVarCameraX) + m.x, wy = GetGameVar(kGameVarCameraY) + m.y;
    Pen pen{m, toolPanel, &mapEditing, wx, wy};
    if (tool >= kToolHeader && tool <= kToolQuit) {
        fullScreen = true;
        mapEditing = false;
        RunFullScreenTool(tool, m);
    } else {
        switch (tool) {
            case kToolScroll:
                Scroll(m, &mapEditing, slot);
                break;
            case kToolTile:
                TilePen(pen);
                break;
            case kToolProp:
                PropPen(pen);
                break;
            case kToolFlag:
                FlagPen(pen);
                break;
            case kToolObject:
                ObjectPen(pen);
                break;
            case kToolStart:
                StartPen(pen);
                break;
            case kToolEraser:
                Eraser(pen);
                break;
            default:
                break;
        }
    }

    // 10. The backdrop.
    for (int y = 0; y < m.h; y += 64)
        for (int x = 0; x < m.w; x += 64) Sprite(x, y, 0, 159, 0x404080FF);

    // 11. The cursor cell.
    if (mapEditing) {
        const int sx = (m.x + 16) / 32 * 32, sy = (m.y + 16) / 32 * 32;
        Fill(sx - 16, sy - 16, sx + 16, sy + 16, 26, 0xFF00003F);
        const int mode = GetGameVar(kVarStartMode) & 3;
        const int32_t cursor = tool == kToolFlag ? 177 : tool == kToolStart ? 179 + mode : 176;
        QueueSprite(sx - 16, sy - 16, 22, cursor);  // centred on the cell
        if (tool == kToolStart && mode >= 1)
            QueueNumber(sx - 2, sy - 12, kEditorLayer, (GetGameVar(kVarStartNumber) & 7) + 1, 1,
                        false);
    }

    // 12. Bars and grid, or the full-screen backdrop.
    if (!fullScreen) {
        Fill(0, 0, m.w, 32, 23, 0x000040C0);
        Fill(0, m.h - 16, m.w, m.h, 23, 0x000040C0);
        // Each grid sprite reaches 64 pixels either side of its centre: start at or left of the
        // screen's edge whatever the camera's sign, and go on until the far edges are covered.
        const int32_t camX = GetGameVar(kGameVarCameraX), camY = GetGameVar(kGameVarCameraY);
        for (int y = -Wrap(camY, 128); y - 64 < m.h; y += 128)
            for (int x = -Wrap(camX, 128); x - 64 < m.w; x += 128)
                QueueSprite(x - 64, y - 64, 22, 158);
    } else {
        Fill(0, 0, m.w, m.h, 23, 0x000040C0);
    }

    // 13. The status line.
    DrawStatusLine(m, fullScreen);

    // 14. The master follows the mouse.
    SetPosition(m.x, m.y, slot);
    SetGameVar(kVarPrevButtons, m.cur);
}

void InstallEditorRoutines() {
    ObjectRoutineTable[kActorRoutines + 3] = &UpdateStageEditor;
    ObjectRoutineTable[kActorRoutines + 4] = &UpdatePaletteButton;
}

}  // namespace velmora
