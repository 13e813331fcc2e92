// The stage's devices: breeders (generator and candle), the event objects that rule an area,
// gates and switches, field items, breakable walls, stamping stones and projectiles. Each routine
// takes the object's slot and runs once a frame from the stage-object dispatch.
#pragma once

#include <cstdint>

namespace velmora {

// Bits of property 25 the devices share with the rest of play.
inline constexpr uint32_t kFlagMemberCounted = 0x80;  // an area guard's member, toughened
inline constexpr uint32_t kFlagAreaMember = 0x400;
inline constexpr uint32_t kFlagDone = 0x800;         // an event done, a gate open
inline constexpr uint32_t kFlagNotCounted = 0x1000;  // ignored by a switch on defeat
inline constexpr uint32_t kFlagAttracted = 0x4000;   // a drop flying to a player
inline constexpr uint32_t kFlagHoming = 0x4000;      // a projectile following a player
inline constexpr uint32_t kFlagTargetable = 0x800000;

// Stage-object types the devices are.
inline constexpr int kTypeGenerator = 1;
inline constexpr int kTypeEventControl = 3;
inline constexpr int kTypeGate = 4;
inline constexpr int kTypeCandle = 5;
inline constexpr int kTypeFieldItem = 7;
inline constexpr int kTypeWalker = 8;
inline constexpr int kTypeBreakWall = 9;
inline constexpr int kTypeKabocha = 11;
inline constexpr int kTypeKanameStone = 13;
inline constexpr int kTypeProjectile = 15;

// Events of an event control (variant & 7).
inline constexpr int kEventAreaGuard = 1;
inline constexpr int kEventSwitchOnDefeat = 2;
inline constexpr int kEventSwitchCycle = 4;
inline constexpr int kEventHoleMarker = 5;

void UpdateGenerator(int slot);
void UpdateCandle(int slot);
void UpdateEventControl(int slot);
void UpdateGate(int slot);
void UpdateFieldItem(int slot);
void UpdateBreakWall(int slot);
void UpdateKanameStone(int slot);
void UpdateProjectile(int slot);

// Fills the stage-object rows of the devices above in the pool's routine table.
void InstallStageDeviceRoutines();

}  // namespace velmora
