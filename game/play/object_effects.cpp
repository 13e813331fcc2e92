// Rectangles, texts, effect spawners, the music title and the velocity and expiry helpers.
#include <cmath>

#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/screen_state.h"
#include "game/core/sound_cue.h"
#include "game/core/tween.h"
#include "game/play/object_utils.h"

namespace velmora {
namespace {

constexpr int32_t kFullTurn = 216000;
constexpr int32_t kEffectKind = 0x60000000;
constexpr int kPropText = 64;
constexpr int kPropDigits = 65;
constexpr int kPropSpin = 13;
constexpr int kBgmTracks = 12;

void EndAt(int slot, int32_t frames) {
    AddTweenAt(slot, kTweenEndObject, frames);
}

int32_t TowardZero(int32_t v) {
    if (v >= 256) return v - 256;
    if (v <= -256) return v + 256;
    return 0;
}

}  // namespace

void DampVelocity(int slot) {
    SetField(kPropVelX, slot, TowardZero(GetField(kPropVelX, slot)));
    SetField(kPropVelY, slot, TowardZero(GetField(kPropVelY, slot)));
}

void DampCurrentVelocity() {
    DampVelocity(GetCurrentObject());
}

void AdvanceObject(int slot, int32_t n) {
    SetPosition(GetField(kPropX, slot) + n * GetField(kPropVelX, slot),
                GetField(kPropY, slot) + n * GetField(kPropVelY, slot), slot);
}

int RetireLayer(int32_t layer) {
    int count = 0;
    int slot = GetField(kPropNext, kListHead);
    for (int step = 0; step < 2001 && slot != kListTail; ++step) {
        const int next = GetField(kPropNext, slot);
        if (GetField(kPropKind, slot) != kListNodeKind && GetField(kPropLayer, slot) == layer) {
            RetireObject(slot);
            ++count;
        }
        slot = next;
    }
    return count;
}

void ExpireObject(int slot, int32_t n, int fade) {
    if (slot < 0) return;
    SetFieldBits(kPropFlags, slot, kFlagAnimated);
    if (n >= 16 && fade) AddTweenValue(slot, kTweenAddAlpha, n - 16, 16, -16);
    EndAt(slot, n);
}

int SpawnScreenRect(int32_t layer, int32_t color) {
    int w = 0, h = 0;
    GetScreenExtent(&w, &h);
    const int slot = SpawnRectObject(0, 0, w, h, layer, color);
    if (slot < 1) return -1;
    SetFieldBits(kPropFlags, slot, kFlagScreenFixed | kFlagRunsWhilePaused);
    return slot;
}

int SpawnTextObject(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t value, int32_t color,
                    int32_t digits) {
    const int slot = SpawnSprite(x, y, layer, draw);
    if (slot < 0) return -1;
    SetField(kPropColor, slot, color);
    SetField(kPropDigits, slot, digits);
    SetField(kPropText, slot, value);
    return slot;
}

int SpawnTextObject5(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t value,
                     int32_t color) {
    return SpawnTextObject(x, y, layer, draw, value, color, 5);
}

int SpawnRisingText(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t value,
                    int32_t color) {
    const int slot = SpawnMovingSprite(x, y, layer, draw, 162000, 256);
    if (slot < 0) return -1;
    SetField(kPropColor, slot, color);
    SetField(kPropDigits, slot, 5);
    SetField(kPropText, slot, value);
    AddTweenValue(slot, kTweenAddAlpha, 8, 32, -8);
    EndAt(slot, 36);
    return slot;
}

int SpawnSpark(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t angle, int32_t speed,
               int32_t scale) {
    const int slot = SpawnMovingObject(x, y, layer, draw, angle, speed, kEffectKind);
    if (slot < 0) return -1;
    SetFieldBits(kPropFlags, slot, kFlagAnimated | kFlagDiesOutside);
    SetField(kPropScale, slot, scale);
    SetField(kPropAngle, slot, Random(kFullTurn));
    AddTweenValue(slot, kTweenAddAlpha, 8, 8, -32);
    EndAt(slot, 16);
    return slot;
}

int SpawnDebris(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t angle, int32_t speed) {
    const int slot = SpawnMovingObject(x, y, layer, draw, angle, speed, kEffectKind);
    if (slot < 0) return -1;
    SetFieldBits(kPropFlags, slot, kFlagDiesOutside);
    SetField(kPropAngle, slot, Random(kFullTurn));
    return slot;
}

int SpawnStillSpark(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t scale) {
    const int slot = SpawnObject(x, y, layer, draw, kEffectKind);
    if (slot < 0) return -1;
    SetFieldBits(kPropFlags, slot, kFlagAnimated | kFlagDiesOutside);
    SetField(kPropScale, slot, scale);
    SetField(kPropAngle, slot, Random(kFullTurn));
    EndAt(slot, 32);
    return slot;
}

void SpawnSparkCloud(int32_t x, int32_t y, int32_t layer, int32_t draw, int count, int32_t speed) {
    for (int k = 0; k < count; ++k) {
        const int32_t angle = Random(kFullTurn);
        const int32_t s = speed + Random(speed);
        SpawnSpark(x, y, layer, draw, angle, s, 1000 + Random(1000));
    }
}

void SpawnStillSparkCloud(int32_t x, int32_t y, int32_t layer, int32_t draw, int count,
                          int32_t speed) {
    for (int k = 0; k < count; ++k) {
        const int slot = SpawnStillSpark(x, y, layer, draw, 1000);
        const int32_t angle = Random(kFullTurn);
        SetVelocityByAngle(slot, angle, speed + Random(speed), 1);
    }
}

void SpawnSparkRing(int32_t x, int32_t y, int32_t layer, int32_t draw, int count, int32_t speed) {
    if (count < 1) return;
    const int32_t a0 = Random(kFullTurn);
    for (int k = 0; k < count; ++k) {
        const int slot = SpawnSpark(x, y, layer, draw, a0 + k * (kFullTurn / count), speed, 1000);
        if (slot >= 0) SetField(kPropVelY, slot, GetField(kPropVelY, slot) / 2);
    }
}

void SpawnStillSparkRing(int32_t x, int32_t y, int32_t layer, int32_t draw, int count,
                         int32_t speed) {
    if (count < 1) return;
    const int32_t a0 = Random(kFullTurn);
    for (int k = 0; k < count; ++k) {
        const int slot = SpawnStillSpark(x, y, layer, draw, 1000);
        if (slot < 0) continue;
        SetVelocityByAngle(slot, a0 + k * (kFullTurn / count), speed, 1);
        SetField(kPropVelY, slot, GetField(kPropVelY, slot) / 2);
    }
}

int SpawnGrowingSprite(int32_t x, int32_t y, int32_t draw, int32_t angle, int32_t speed,
                       int32_t growth) {
    const int slot = SpawnMovingSprite(x, y, 20, draw, angle, speed);
    if (slot < 0) return -1;
    AddTweenValue(slot, kTweenAddScale, 0, 16, growth);
    AddTweenValue(slot, kTweenAddAlpha, 0, 16, -16);
    EndAt(slot, 16);
    return slot;
}

int SpawnFlash(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t growth) {
    const int slot = SpawnSprite(x, y, layer, draw);
    if (slot < 0) return -1;
    SetField(kPropScale, slot, 2 * growth);
    AddTweenValue(slot, kTweenAddAlpha, 0, 8, -32);
    AddTweenValue(slot, kTweenAddScale, 0, 8, growth);
    EndAt(slot, 8);
    return slot;
}

void SpawnDebrisBurst(int32_t x, int32_t y, int32_t layer, int32_t firstDraw, int drawCount,
                      int count, int32_t speed, int32_t a, int32_t b) {
    if (drawCount < 1) return;
    for (int k = 0; k < count; ++k) {
        const int32_t angle = Random(kFullTurn);
        const int slot =
            SpawnDebris(x, y, layer, firstDraw + k % drawCount, angle, speed + Random(speed));
        if (slot < 0) continue;
        SetField(kPropSpin, slot, Random(1) * 6000 - 3000);
        AddTween(slot, kTweenAddVelocity, 0, 20, a, b);
        AddTweenValue(slot, kTweenAddAlpha, 16, 8, -32);
        EndAt(slot, 24);
    }
}

int SpawnPopIcon(int32_t x, int32_t y, int32_t layer, int32_t draw) {
    const int slot = SpawnSprite(x, y, layer, draw);
    if (slot < 0) return -1;
    SetField(kPropScale, slot, 0);
    AddTweenValue(slot, kTweenAddScale, 0, 20, 100);
    AddTweenValue(slot, kTweenAddScale, 20, 16, -100);
    AddTweenValue(slot, kTweenAddAlpha, 20, 16, -16);
    EndAt(slot, 36);
    return slot;
}

void FlashScreen() {
    // The play frame ends with the picture copied into sprite 8191, which then fades away.
    const int slot = SpawnSprite(320, 240, 24, 8191);
    if (slot >= 0) FadeOutObjectAfter(slot, 0);
    RequestScreenFlash();
}

void SlideOutObject(int slot, int32_t v) {
    if (slot < 1) return;
    SetField(kPropVelX, slot, -256 * v);
    AddTweenAt(slot, kTweenSetAlpha, 0);
    AddTweenValue(slot, kTweenAddAlpha, 0, 16, 16);
    AddTweenAt(slot, kTweenSetVelocity, 15);
    AddTweenValue(slot, kTweenSetVelocity, 75, 1, v * 256);
    AddTweenValue(slot, kTweenAddAlpha, 75, 16, -8);
    EndAt(slot, 92);
}

void PlayBgmWithTitle(int n) {
    // The track comes from a stage file: one the game does not have gets neither music nor title.
    if (n < 0 || n >= kBgmTracks || GetCurrentBgm() == n) return;
    PlayBgmTrack(n);
    int w = 0, h = 0;
    GetScreenExtent(&w, &h);
    const int slot = SpawnTextObject5(0, n == 0 ? h - 15 : h - 47, 30, 4, 208 + n,
                                      static_cast<int32_t>(0xffcf7fffu));
    if (slot < 0) return;
    SetFieldBits(kPropFlags, slot, kFlagScreenFixed | kFlagRunsWhilePaused);
    FadeInObject(slot, 0);
    FadeOutObjectAfter(slot, 300);
}

float CosFloat(float radians) {
    return std::cos(radians);
}

}  // namespace velmora
