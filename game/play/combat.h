// Stage objects by type, damage, destruction and dropped items.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr int kStageTypeCount = 16;
inline constexpr int kStageTypeWords = 16;
inline constexpr int kEditorIndexCount = 32;

// One row per stage type: kind type, spawn flags, draw kind, (unused), hit points, radius,
// score base, death sound, then the eight words copied to properties 32..39.
extern const int32_t kStageTypeTable[kStageTypeCount][kStageTypeWords];
// The stage editor's object index to a stage type (0: no object).
extern const int32_t kEditorTypeRemap[kEditorIndexCount];

inline constexpr int kPropAttacker = 30;
inline constexpr int kPropAttack = 56;
inline constexpr int kPropHitFlash = 57;
inline constexpr int kPropBlastPower = 112;
inline constexpr int kPropLiveChildren = 120;
inline constexpr uint32_t kFlagGuard = 0x100;
inline constexpr uint32_t kFlagSurvivesClearing = 0x2000;
inline constexpr uint32_t kFlagNoDeathAtZero = 0x2000000;
inline constexpr uint32_t kMasterPlainHit = 0x10000000;  // game variable 25
inline constexpr uint32_t kMasterNoStageSpawn = 0x20000;

int StageTypeOfEditorIndex(int index);
// A stage object of `type` (1..15); when the pool is full, effect and panel objects without the
// keep flag give way, oldest first, up to 19 of them. -1 when nothing could be made.
int SpawnStageObject(int32_t x, int32_t y, int32_t layer, int type);
void DamageObject(int slot, int attacker, int32_t damage, int32_t power);
void DestroyObject(int slot);
void DestroyAllStageObjects();
void ScatterFieldItems(int32_t x, int32_t y, int count, int32_t kind);
void ApplyFriction(int32_t amount);
// A blast at (x, y): mode 1 and 2 a blast actor that hurts (sprites 936 and 944), any other mode
// a harmless sprite (928); hidden for `delay` frames, ended 32 frames after that.
int SpawnBlast(int32_t x, int32_t y, int mode, int32_t delay);
// Blasts around a stage object's position by pattern 0..15 (the variant's low four bits), aimed
// at player p; mode 2 is a player's blast, which turns away from p and carries `power`. Every
// blast carries p as its attacker.
void SpawnBlastPattern(int slot, int p, int pattern, int mode, int32_t attack, int32_t power);
// The death of a stage object: its blasts, drops, chain, score and sounds, then its end. A
// type outside 1..15 is left alone.
void KillStageObject(int slot);
void SpawnDeathEffects(int slot);

// A shot emitter: set up, n ways in a ring (or -n shots sprayed at random), fire.
void SetUpEmitter(int32_t x, int32_t y, int32_t draw, int32_t direction, int32_t speed);
void SetEmitterWays(int32_t n);
void FireEmitter();
void InitEmitterShot(int slot);

int SpawnHitArea(int32_t x, int32_t y, int32_t radius);
void KillChildrenAndTweens(int slot);
bool CheckPlayerReach(int p, int32_t x, int32_t y, int32_t limit, bool kill);

}  // namespace velmora
