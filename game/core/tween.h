// Tweens: timed actions on one object's properties, each starting at a given age of the object
// and repeating every frame until its end age. A tween of n frames acts at ages start .. start
// + n, n + 1 times; an immediate one (negative delay) acts once, at once. Ages advance only
// while the object runs, so a paused object's tweens wait with it.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr int kTweenEntries = 8000;

// Tween kinds (A = value 1, B = value 2).
enum TweenKind : int32_t {
    kTweenSetDirection = 0,  // direction = A; velocity from direction and speed; angle follows
    kTweenAddDirection = 1,
    kTweenSetSpeed = 2,  // speed = A; velocity from direction and speed
    kTweenAddSpeed = 3,
    kTweenSetPosition = 4,  // position = (A, B)
    kTweenScreenFixed = 5,  // screen-fixed flag on when A != 0, else off
    kTweenSetVelocity = 6,  // velocity = (A, B); angle follows
    kTweenAddVelocity = 7,
    kTweenSetScale = 8,
    kTweenAddScale = 9,
    kTweenNothing = 10,
    kTweenSetRed = 11,  // colour bytes = A or += A, clamped 0..255
    kTweenAddRed = 12,
    kTweenSetGreen = 13,
    kTweenAddGreen = 14,
    kTweenSetBlue = 15,
    kTweenAddBlue = 16,
    kTweenSetAlpha = 17,
    kTweenAddAlpha = 18,
    kTweenSetDrawWord = 19,
    kTweenAngleFollows = 20,  // angle-follows flag on when A != 0, else off
    kTweenSetAngle = 21,
    kTweenAddAngle = 22,
    kTweenSetProperty = 23,   // property A = B
    kTweenAddProperty = 24,   // property A += B
    kTweenStepProperty = 25,  // every |B| frames property A moves by the sign of B
    kTweenSetFlags = 26,      // flags |= A
    kTweenClearFlag = 27,     // clear bit A of the flags
    kTweenNothing2 = 28,
    kTweenEndObject = 29,  // FreeObject
    kTweenNothing3 = 30,
    kTweenNothing4 = 31,
};

// Adds a tween to the object in slot: it starts when the object's age reaches its present age
// + delay and ends frames later. Returns the entry, 0 when the slot holds no object, -1 when
// the table is full. A negative delay runs it at once; then the result is the entry while it
// still waits (its object paused), else 0.
int AddTween(int slot, int32_t kind, int32_t delay, int32_t frames, int32_t a, int32_t b);
int AddTweenValue(int slot, int32_t kind, int32_t delay, int32_t frames, int32_t v);
int AddTweenPlain(int slot, int32_t kind, int32_t delay, int32_t frames);
int AddTweenAt(int slot, int32_t kind, int32_t delay);  // one frame, no values
int RunTweenNow(int slot, int32_t kind);
int RunTweenNowValue(int slot, int32_t kind, int32_t v);
int RunTweenNowValues(int slot, int32_t kind, int32_t a, int32_t b);

// Alpha 0, then +8 a frame over 33 runs from delay.
void FadeInObject(int slot, int32_t delay);
// -8 a frame over 33 runs from delay, and the object ends at delay + 33.
void FadeOutObjectAfter(int slot, int32_t delay);

void FreeObjectTweens(int slot);
void ResetTweens();
// Once a frame, right after the object walk.
void RunTweens();
int GetTweenCount();

}  // namespace velmora
