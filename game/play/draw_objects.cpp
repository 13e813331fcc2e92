// Drawing by draw kind: the dispatch, the generic sprite, rectangle, text and number kinds, the
// tint of stage objects, and the players, companions and player shots.
#include <algorithm>
#include <cmath>

#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/sprite_ids.h"
#include "game/play/combat.h"
#include "game/play/draw.h"
#include "game/play/draw_private.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace velmora {

namespace {

namespace sp = sprite;

constexpr int kPropText = 64;
constexpr int kPropDigits = 65;

constexpr int kPlayerLayer = 9;
constexpr int kShadowLayer = 8;
constexpr int kCursorLayer = 7;
constexpr int kCurtainLayer = 20;
constexpr int kShotLayer = 10;
constexpr uint32_t kWhite = 0xffffffffu;
constexpr uint32_t kBlinkBlue = 0x7f7fff00u;
constexpr double kPi = 3.14159265358979323846;

// The screen position of the current object.
void CurrentScreenPosition(int32_t* x, int32_t* y, int32_t* z) {
    GetCurrentPosition3(x, y, z);
    if (!(static_cast<uint32_t>(GetCurrentField(kPropFlags)) & kFlagScreenFixed))
        WorldToScreen(x, y);
}

void DrawRectObject(int) {
    const int r = DrawSpriteObject();
    SetRecordStretch(r, GetCurrentField(21), GetCurrentField(22));
}

void DrawSpriteTextObject(int) {
    SetRecordSpriteText(DrawSpriteObject(), GetCurrentField(kPropText));
}

void DrawFontTextObject(int) {
    const int r = DrawSpriteObject();
    SetRecordSprite(r, GetCurrentField(kPropText));
    SetRecordFontText(r);
}

void DrawNumberObject(int) {
    SetRecordNumber(DrawSpriteObject(), GetCurrentField(kPropText), GetCurrentField(kPropDigits),
                    false);
}

void DrawPaddedNumberObject(int) {
    SetRecordNumber(DrawSpriteObject(), GetCurrentField(kPropText), GetCurrentField(kPropDigits),
                    true);
}

void DrawTileMapRoutine(int slot) {
    DrawTileMap(slot);
}

// The eight-direction frame base of a figure facing f19 (24ths of a turn).
int32_t DirectionBase(int32_t facing) {
    const int32_t f = static_cast<int32_t>((static_cast<int64_t>(facing) + 1) % 24 + 24) % 24;
    return f / 3 * 4;
}

// The walk or action frame (0..3) of a player figure.
int32_t FigureFrame() {
    const int32_t timer = GetCurrentField(kPropActionTimer);
    const int32_t action = GetCurrentField(kPropPlayerAction);
    const int32_t walk = GetCurrentField(kPropWalkCount);
    const bool acting = timer >= 1 && action != 5 && (action != 0 || walk < 1);
    return acting ? (timer / 2 + 1) & 3 : (walk / 6) & 3;
}

// A player figure fades in over its first 32 frames and blinks blue while guarded.
uint32_t FigureColour() {
    const int32_t age = GetCurrentField(kPropAge);
    const uint32_t alpha = static_cast<uint32_t>(std::clamp<int64_t>(int64_t{age} * 8, 0, 255));
    const bool blink = GetCurrentField(kPropGuardTimer) > 0 && (age & 7) < 4;
    return (blink ? kBlinkBlue : 0xffffff00u) | alpha;
}

void DrawFigureShadow(int32_t x, int32_t y) {
    const int r = QueueRotatedSprite(x, y + 16, kShadowLayer, sp::kShadow, 1000, 0);
    SetRecordColor(r, kShadowColour);
}

// The dig cursor at the cell the player faces, by what the player is doing there.
void DrawDigCursor() {
    const int32_t phase = GetGameVar(kGameVarPhase);
    if (GetCurrentField(kPropCursorHold) < 1 || (phase != 5 && phase != 6)) return;
    int32_t x, y;
    GetCurrentPosition(&x, &y);
    int32_t fx = 0, fy = 0;
    PolarOffset(&fx, &fy, GetCurrentField(kPropAngle) * 9000, 32);
    if (static_cast<uint32_t>(GetCellAtPixel(x + fx, y + 8 + fy)) & 0x36u) return;
    const int32_t age = GetCurrentField(kPropAge);
    const int32_t timer = GetCurrentField(kPropActionTimer);
    const int32_t step = std::clamp(timer / 4, 0, 3);
    int32_t word;
    uint32_t colour = kWhite;
    if (timer < 1) {
        word = sp::kDigCursor + ((age / 6) & 3);
        if (GetCurrentField(kPropItemTimer) >= 1 && (age & 3) < 2) colour = 0xff3f3fffu;
    } else if (GetCurrentField(kPropPlayerAction) == 2) {
        word = sp::kHole + step;
    } else if (GetCurrentField(kPropPlayerAction) == 3) {
        word = sp::kHole + 2 - step;
    } else {
        return;
    }
    int32_t cx = GetCurrentField(kPropCursorX), cy = GetCurrentField(kPropCursorY);
    WorldToScreen(&cx, &cy);
    SetRecordColor(QueueRotatedSprite(cx, cy, kCursorLayer, word, 1000, 0), colour);
}

// Invincibility: an icon over the head and a sheet of curtains over the screen.
void DrawInvincibility(int32_t x, int32_t y, int32_t z, uint32_t bodyColour) {
    const int32_t left = GetCurrentField(kPropInvincible);
    if (left <= 0) return;
    const int32_t age = GetCurrentField(kPropAge);
    const bool iconShown = left > 120 || left % 4 >= 2;
    uint32_t colour = bodyColour;
    if (iconShown) {
        colour = (age & 7) < 4 ? 0xff00ffffu : kWhite;
        SetRecordColor(QueueRotatedSpriteAtDepth(x, y - 32 - z, kPlayerLayer, sp::kIconOnHead,
                                                 y + 33, 1000, 0),
                       colour);
    }
    int w, h;
    GetScreenExtent(&w, &h);
    const uint32_t curtain = (colour & 0xffffff00u) | ClampChannel(int64_t{left} * 4);
    const int32_t shift = static_cast<int32_t>((int64_t{age} * 3) % 480);
    for (int cy = 40; cy < h; cy += 160) {
        for (int cx = -shift - 480; cx < w + 480; cx += 480) {
            SetRecordColor(QueueSprite(cx, cy, kCurtainLayer, sp::kCurtain), curtain);
            SetRecordColor(QueueSprite(cx + 160, cy + 80, kCurtainLayer, sp::kCurtain), curtain);
        }
    }
}

void DrawCharacter0(int) {
    if (GetGameVar(kGameVarPhase) >= 8 || GetCurrentField(kPropPlayerAction) == 4) return;
    DrawDigCursor();
    int32_t x, y, z;
    CurrentScreenPosition(&x, &y, &z);
    const int32_t down = GetCurrentField(kPropDownTimer);
    if (down > 0) {
        // A spirit rises from where the player fell.
        const int32_t s = 120 - down;
        const int32_t dx = static_cast<int32_t>(16 * std::sin(s * kPi / 32));
        const uint32_t colour = 0xffffff00u | ClampChannel(255 - int64_t{s} * 2);
        SetRecordColor(QueueRotatedSpriteAtDepth(x + dx, y - 16 - s, kPlayerLayer, sp::kSpirit,
                                                 y + 48, 1000, 0),
                       colour);
        return;
    }
    const uint32_t colour = FigureColour();
    DrawFigureShadow(x, y);
    const int32_t word = sp::kPlayer + DirectionBase(GetCurrentField(kPropAngle)) + FigureFrame();
    SetRecordColor(QueueRotatedSpriteAtDepth(x, y - 4 - z, kPlayerLayer, word, y + 32, 1000, 0),
                   colour);
    DrawInvincibility(x, y, z, colour);
}

void DrawCharacter3(int) {
    if (GetGameVar(kGameVarPhase) >= 8 || GetCurrentField(kPropPlayerAction) == 4) return;
    if (GetCurrentField(kPropDownTimer) > 0) return;
    int32_t x, y, z;
    CurrentScreenPosition(&x, &y, &z);
    const uint32_t colour = FigureColour();
    DrawFigureShadow(x, y);
    const int32_t frame = FigureFrame();
    const int32_t base = DirectionBase(GetCurrentField(kPropAngle));
    SetRecordColor(QueueRotatedSpriteAtDepth(x, y - 4 - z, kPlayerLayer,
                                             sp::kCompanion + base + frame, y + 32, 1000, 0),
                   colour);
    // The head bobs with the steps.
    const int32_t head = sp::kCompanionHead + ((GetCurrentField(kPropWalkCount) / 8) & 3);
    SetRecordColor(
        QueueRotatedSpriteAtDepth(x, y - 28 - z - (frame & 1), kPlayerLayer, head, y + 33, 1000, 0),
        colour);
}

void DrawPlayerShot(int) {
    int32_t x, y, z;
    CurrentScreenPosition(&x, &y, &z);
    const int32_t kind = std::clamp(GetCurrentField(kPropPlayerAction), 0, 3);
    SetRecordColor(QueueRotatedSprite(x, y, kShotLayer, sp::kShot + kind,
                                      GetCurrentField(kPropScale), GetCurrentField(kPropAngle)),
                   0xffffffc0u);
    SetRecordColor(QueueRotatedSprite(x, y + 16, kShadowLayer, sp::kShot, 1000, 0), 0x10003040u);
}

}  // namespace

uint32_t ClampChannel(int64_t v) {
    return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, 255));
}

void InstallDrawRoutines() {
    ObjectRoutineTable[kDrawKindRect] = &DrawRectObject;
    ObjectRoutineTable[kDrawKindSpriteText] = &DrawSpriteTextObject;
    ObjectRoutineTable[kDrawKindFontText] = &DrawFontTextObject;
    ObjectRoutineTable[kDrawKindNumber] = &DrawNumberObject;
    ObjectRoutineTable[kDrawKindPaddedNumber] = &DrawPaddedNumberObject;
    ObjectRoutineTable[kDrawKindTileMap] = &DrawTileMapRoutine;
    ObjectRoutineTable[kDrawKindCharacter0] = &DrawCharacter0;
    ObjectRoutineTable[kDrawKindCharacter3] = &DrawCharacter3;
    ObjectRoutineTable[kDrawKindPlayerShot] = &DrawPlayerShot;
    InstallStageObjectDraws();
}

void DrawObject(int32_t drawWord) {
    if (drawWord >= 1 && drawWord < kFirstSpriteDrawWord) {
        RunObjectRoutine(drawWord, GetCurrentObject());
        return;
    }
    DrawSpriteObject();
}

int DrawSpriteObject() {
    int32_t x, y, z;
    GetCurrentPosition3(&x, &y, &z);
    const uint32_t flags = static_cast<uint32_t>(GetCurrentField(kPropFlags));
    if (!(flags & kFlagScreenFixed)) WorldToScreen3(&x, &y, &z);
    const int32_t word = GetCurrentField(kPropDrawWord) & 0x0fffffff;
    const int layer = GetCurrentField(kPropLayer);
    const int32_t scale = GetCurrentField(kPropScale);
    const int32_t angle = GetCurrentField(kPropAngle);
    const int r = (flags & kFlagDepthFromZ)
                      ? QueueRotatedSpriteAtDepth(x, y, layer, word, z, scale, angle)
                      : QueueRotatedSprite(x, y, layer, word, scale, angle);
    SetRecordColor(r, static_cast<uint32_t>(GetCurrentField(kPropColor)));
    return r;
}

uint32_t GetObjectTint(int32_t* x, int32_t*) {
    const uint32_t base = AddToColor(static_cast<uint32_t>(GetGameVar(kGameVarSky)), 96, 96, 96);
    if (GetCurrentField(kPropHitFlash) <= 0) return base;
    const int32_t age = GetCurrentField(kPropAge);
    if (x) *x += static_cast<int32_t>((int64_t{age} * 5) % 3) - 1;
    return (age & 7) < 4 ? 0x800000ffu : base;
}

}  // namespace velmora
