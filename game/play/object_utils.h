// Shared routines of the play objects: initialising and linking a new object, spawning by kind,
// parent and child links checked by serial and kind, searches, velocity and retiring.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr int kPropRadius = 52;
inline constexpr int kPropHp = 54;
inline constexpr int kPropMaxHp = 55;
inline constexpr int kPropChildren = 64;    // 64..79: child slots
inline constexpr int kPropChildKinds = 80;  // 80..95: their kind words when attached
inline constexpr int kChildLinks = 16;
inline constexpr uint32_t kFlagHasParent = 0x80000;

// Initialising the current object.
void InitCurrentObject(int32_t kind, int32_t layer, int32_t draw);
void InitCurrentObjectBefore(int32_t kind, int32_t layer, int32_t draw, int before);
void SetObjectHp(int slot, int32_t hp);

// Spawning; each answers the new slot or -1 when the pool is full, and leaves the current
// object as it was.
int SpawnObject(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t kind);
int SpawnSprite(int32_t x, int32_t y, int32_t layer, int32_t sprite);
int SpawnMovingSprite(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t angle,
                      int32_t speed);
int SpawnMovingObject(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t angle,
                      int32_t speed, int32_t kind);
int SpawnRectObject(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t layer, int32_t color);

// Links. A child link holds while the child keeps its kind word and names this parent; a parent
// link while the parent keeps its serial, so a freed and reused slot is never the old object.
int AttachChild(int child, int parent, int i);
int GetChild(int parent, int i);
int GetParent(int child);
void DetachChild(int parent, int i);
void DetachFromParent(int child);
void KillChildren(int parent);

// Where searches for targets look for an object: y - z, and the boss's body as drawn.
int32_t TargetPointY(int slot);
// Searches: the newest match, within 2001 list steps; reach is a strict < on squared distance
// against (radius + r) squared.
int FindObjectInClass(int32_t x, int32_t y, int32_t r, uint32_t mask, int objectClass);
int FindObjectNear(int32_t x, int32_t y, int32_t r, uint32_t mask);
int FindNearestTarget(int32_t x, int32_t y);
int CountObjectsWithFlags(uint32_t mask);
int32_t AngleBetweenObjects(int a, int b);
int32_t DistanceSqBetweenObjects(int a, int b);

// Velocity and retiring.
void SetVelocityByAngle(int slot, int32_t angle, int32_t speed, int setFacing);
void RetireObject(int slot);
void DampVelocity(int slot);  // each axis 256 nearer 0, below 256 to 0
void DampCurrentVelocity();
void AdvanceObject(int slot, int32_t n);
int RetireLayer(int32_t layer);  // how many were retired
void ExpireObject(int slot, int32_t n, int fade);

// Rectangles and texts.
int SpawnScreenRect(int32_t layer, int32_t color);
int SpawnRisingText(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t value,
                    int32_t color);
int SpawnTextObject(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t value, int32_t color,
                    int32_t digits);
int SpawnTextObject5(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t value,
                     int32_t color);

// Effects: short-lived class-6 objects that fade and end by themselves.
int SpawnSpark(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t angle, int32_t speed,
               int32_t scale);
int SpawnDebris(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t angle, int32_t speed);
int SpawnStillSpark(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t scale);
void SpawnSparkCloud(int32_t x, int32_t y, int32_t layer, int32_t draw, int count, int32_t speed);
void SpawnStillSparkCloud(int32_t x, int32_t y, int32_t layer, int32_t draw, int count,
                          int32_t speed);
void SpawnSparkRing(int32_t x, int32_t y, int32_t layer, int32_t draw, int count, int32_t speed);
void SpawnStillSparkRing(int32_t x, int32_t y, int32_t layer, int32_t draw, int count,
                         int32_t speed);
int SpawnGrowingSprite(int32_t x, int32_t y, int32_t draw, int32_t angle, int32_t speed,
                       int32_t growth);
int SpawnFlash(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t growth);
void SpawnDebrisBurst(int32_t x, int32_t y, int32_t layer, int32_t firstDraw, int drawCount,
                      int count, int32_t speed, int32_t a, int32_t b);
int SpawnPopIcon(int32_t x, int32_t y, int32_t layer, int32_t draw);
void SlideOutObject(int slot, int32_t v);
// The frame's picture as a sprite that fades away.
void FlashScreen();

// Switches the music to track n (0..11) and shows its title for a while; nothing when n is
// already playing or is no track.
void PlayBgmWithTitle(int n);

float CosFloat(float radians);

}  // namespace velmora
