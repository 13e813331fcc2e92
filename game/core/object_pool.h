// The object pool: every thing that lives in a scene is a row of 128 signed 32-bit properties
// in one fixed pool of 2000 slots, linked into one list ordered by class, and moved, run, drawn
// and aged by one walk a frame.
//
// Properties are reached only through the accessors below: the store keeps properties 4 and up
// masked, so a raw read of it means nothing. The accessors ignore a slot outside 0..1999 (a
// failed spawn's -1) and a property outside 0..127: getters give 0, setters store nothing.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr int kPoolSlots = 2000;
inline constexpr int kPoolProperties = 128;

// Slots with a role.
inline constexpr int kNoObject = 0;  // never allocated
inline constexpr int kListHead = 1;
inline constexpr int kListTail = 2;
inline constexpr int kFirstClassMarker = 3;  // marker of class c is slot c + 3
inline constexpr int kFirstObjectSlot = 11;  // allocatable objects 11..1997
inline constexpr int kLastObjectSlot = 1997;
// Never allocated: holds the game variables while no master object exists.
inline constexpr int kScratchSlot = 1999;
inline constexpr int kClassCount = 8;
inline constexpr int32_t kListNodeKind = 0x70000000;  // property 0 of head, tail and markers

// Property numbers that more than one part of the game uses.
inline constexpr int kPropKind = 0;  // class in bits 28-30, kind in bits 0-27; 0 = free
inline constexpr int kPropPrev = 1;
inline constexpr int kPropNext = 2;
inline constexpr int kPropAge = 3;
inline constexpr int kPropLayer = 4;
inline constexpr int kPropX = 5;  // whole pixels; 6 y, 7 z
inline constexpr int kPropY = 6;
inline constexpr int kPropZ = 7;
inline constexpr int kPropVelX = 8;  // 8..13 are added each frame to 14..19
inline constexpr int kPropVelY = 9;
inline constexpr int kPropVelZ = 10;
inline constexpr int kPropFineX = 14;  // 1/256 pixel; 15 y, 16 z
inline constexpr int kPropFineY = 15;
inline constexpr int kPropFineZ = 16;
inline constexpr int kPropSpeed = 17;
inline constexpr int kPropDirection = 18;
inline constexpr int kPropAngle = 19;
inline constexpr int kPropDrawWord = 20;  // draw kind 1..127 or a sprite word >= 128
inline constexpr int kPropScale = 21;     // 1000 = 100 %
inline constexpr int kPropColor = 23;     // 0xRRGGBBAA
inline constexpr int kPropFlags = 25;
inline constexpr int kPropLifetime = 29;
inline constexpr int kPropVariant = 31;
inline constexpr int kPropSerial = 61;
inline constexpr int kPropParent = 62;
inline constexpr int kPropParentSerial = 63;

// Bits of property 25.
inline constexpr uint32_t kFlagScreenFixed = 0x10000;
inline constexpr uint32_t kFlagAngleFollows = 0x20000;
inline constexpr uint32_t kFlagRunsWhilePaused = 0x4000000;
inline constexpr uint32_t kFlagKeep = 0x8000000;
inline constexpr uint32_t kFlagNotDrawn = 0x10000000;
inline constexpr uint32_t kFlagAnimated = 0x20000000;
inline constexpr uint32_t kFlagDiesOutside = 0x40000000;
inline constexpr uint32_t kFlagDead = 0x80000000;

inline constexpr uint32_t kSerialMask = 0x3fffffff;

// Property accessors: property number first, then the slot. Set and add return the value
// stored.
int32_t GetField(int n, int slot);
int32_t SetField(int n, int slot, int32_t v);
int32_t ClearField(int n, int slot);
int32_t AddField(int n, int slot, int32_t d);
int32_t IncField(int n, int slot);
int32_t DecField(int n, int slot);  // -1 only when the value is 1 or more
int32_t SetFieldBits(int n, int slot, uint32_t bits);
int32_t ClearFieldBits(int n, int slot, uint32_t bits);

// The same on the current object (the one whose routine the walk or a tween is running).
int GetCurrentObject();
void SetCurrentObject(int slot);
int32_t GetCurrentField(int n);
int32_t SetCurrentField(int n, int32_t v);
int32_t ClearCurrentField(int n);
int32_t AddCurrentField(int n, int32_t d);
int32_t IncCurrentField(int n);
int32_t DecCurrentField(int n);
int32_t SetCurrentFieldBits(int n, uint32_t bits);
int32_t ClearCurrentFieldBits(int n, uint32_t bits);

// Positions: the setters also write the 1/256-pixel copies (14, 15, 16).
void GetPosition(int32_t* x, int32_t* y, int slot);
void GetCurrentPosition(int32_t* x, int32_t* y);
void GetPosition3(int32_t* x, int32_t* y, int32_t* z, int slot);
void GetCurrentPosition3(int32_t* x, int32_t* y, int32_t* z);
void GetPositionAndVelocity(int32_t* x, int32_t* y, int32_t* vx, int32_t* vy, int slot);
void GetCurrentPositionAndVelocity(int32_t* x, int32_t* y, int32_t* vx, int32_t* vy);
void SetPosition(int32_t x, int32_t y, int slot);
void SetCurrentPosition(int32_t x, int32_t y);
void SetPosition3(int32_t x, int32_t y, int32_t z, int slot);
void SetCurrentPosition3(int32_t x, int32_t y, int32_t z);
void SetPositionAndVelocity(int32_t x, int32_t y, int32_t vx, int32_t vy, int slot);
void SetCurrentPositionAndVelocity(int32_t x, int32_t y, int32_t vx, int32_t vy);

// Allocation and the list. AllocSlot gives a free slot with its serial set, or -1 when every
// allocatable slot is taken; the caller writes a non-zero kind word at once and links it.
int AllocSlot();
void InsertObjectBefore(int before, int slot);
void InsertCurrentBeforeMarker(int marker);
// Unlinks a live slot and clears all its properties.
void ReleaseSlot(int slot);
// Removes the slot's tweens, then releases it.
void FreeObject(int slot);
int GetLiveObjectCount();

void ResetObjectLists();
// Empties the whole pool, rebuilds the lists, restarts serials at 1 and points the game
// variables back at the scratch row.
void ResetAllObjects();
// Frees the objects of class c (0..7) that lack the keep flag.
void FreeClassObjects(int c);
void FreeAllClassObjects();
// Frees classes 2..6, resets all tweens and switches pause and slow motion off.
void FreePlayObjects();
// Releases every allocatable object whose kind word shares no bit with bits.
void ReleaseObjectsWithoutBits(uint32_t bits);
int CountObjectsOfKind(int32_t kind);

// Testing and replays need to pick where serial numbering goes on.
uint32_t GetNextSerial();
void SetNextSerial(uint32_t serial);

// Pause and slow motion.
void SetPaused(bool paused);
bool IsPaused();
void SetSlowMotion(bool slow);
bool IsSlowFrame();

// Routine tables. A class routine runs once a frame for each object of its class (1..7); an
// object routine row serves drawing by draw kind (0..127), stage-object types (128 + type),
// window kinds (224 + kind) and actor types (256 + type). Gameplay fills the rows it has; an
// empty row runs nothing.
using ObjectRoutine = void (*)(int slot);
inline constexpr int kObjectRoutineCount = 272;
inline constexpr int kStageObjectRoutines = 128;
inline constexpr int kWindowRoutines = 224;
inline constexpr int kActorRoutines = 256;
extern ObjectRoutine ClassRoutineTable[kClassCount];
extern ObjectRoutine ObjectRoutineTable[kObjectRoutineCount];
// Runs row `row` for slot; an empty row or one outside the table does nothing.
void RunObjectRoutine(int row, int slot);

// What the walk calls outside the pool: drawing, sprite animation, windows, game flow and HUD
// live above the game core, so they come in as hooks; a null hook does nothing (a sprite keeps
// its word, the screen extent reads 0 by 0). The sound hooks default to the game's own cues.
struct ObjectWalkHooks {
    int32_t (*animateSprite)(int32_t spriteWord, int32_t age) = nullptr;
    void (*drawObject)(int32_t drawWord) = nullptr;  // draws the current object
    void (*closeWindow)(int slot) = nullptr;
    void (*updateGameFlow)() = nullptr;
    void (*drawHud)() = nullptr;
    void (*getScreenExtent)(int32_t* width, int32_t* height) = nullptr;
    bool (*isSePlaying)(int se) = nullptr;
    void (*setBgmVolume)(int volume) = nullptr;
};
// The hooks in force at start: only the sound hooks set. Fill the rest from here.
ObjectWalkHooks DefaultObjectWalkHooks();
void SetObjectWalkHooks(const ObjectWalkHooks& hooks);

// The walk, once a frame: class by class, oldest first, each object moves, runs its class
// routine, queues its draw and ages; dead objects (and those that die outside the view) are
// freed after their last draw. An object made during the walk runs this frame when it is linked
// beyond the node the walk goes to next (a later class always is), else from the next frame.
void UpdateObjects();

// The camera: world to screen, with the screen shake of game variable 124.
void SetCameraOrigin(int32_t x, int32_t y);
void WorldToScreen(int32_t* x, int32_t* y);
void WorldToScreen3(int32_t* x, int32_t* y, int32_t* z);

}  // namespace velmora
