// The four player slots and what other objects read of the players.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr int kPlayerCount = 4;
inline constexpr int kCharacterCount = 4;

// Player properties.
inline constexpr int kPropPlayerAction = 26;  // 0 none, 2 digging, 3 filling, 4 held, 5 jumping
inline constexpr int kPropWalkCount = 27;
inline constexpr int kPropActionTimer = 28;
inline constexpr int kPropPlayerIndex = 30;
inline constexpr int kPropCharacter = 31;
inline constexpr int kPropDownTimer = 57;
inline constexpr int kPropGuardTimer = 58;
inline constexpr int kPropLastButtons = 60;
inline constexpr int kPropItemTimer = 96;
inline constexpr int kPropCursorX = 97;  // 98 y; also the player's return point
inline constexpr int kPropCursorY = 98;
inline constexpr int kPropCursorHold = 99;
inline constexpr int kPropInvincible = 101;
inline constexpr int kPropShownHp = 102;  // 103 the shown maximum
inline constexpr int kPropShownMaxHp = 103;

// Walking speed in pixels a frame, extra-life step and lives at a new game, by character.
extern const int32_t kCharacterSpeed[kCharacterCount];
extern const int32_t kExtraLifeStep[kCharacterCount];
extern const int32_t kStartingLives[kCharacterCount];

// The object slot of player 0..3 (a player index is taken modulo 4 here).
extern int32_t g_playerSlots[kPlayerCount];

int GetPlayerSlot(int p);
int32_t GetPlayerField(int p, int n);
int32_t SetPlayerField(int p, int n, int32_t value);
int32_t AddPlayerField(int p, int n, int32_t d);
void GetPlayerPosition(int p, int32_t* x, int32_t* y);
// 108000 (straight left) when the player has no object.
int32_t AngleToPlayer(int p, int32_t x, int32_t y);
// 0x3fffffff when the player has no object.
int32_t DistanceSqToPlayer(int p, int32_t x, int32_t y);
// A player takes part while it has lives; an index outside 0..3 (a crush, the game's own
// destruction) is no player.
bool IsPlayerPresent(int p);
bool CanPlayerBeHit(int p);
bool IsPlayerVulnerable(int p);
// A delayed burst actor; -1 when delay < 1 or the pool is full.
int SpawnDelayedBurst(int32_t x, int32_t y, int32_t delay, int32_t count);

// Player p (0..3) of character c (0..3) at (x, y); -1 when the pool is full.
int SpawnPlayer(int32_t x, int32_t y, int p, int c);
// The part of every player's frame that all characters share, on the current object: input,
// timers, the phase's control, movement with blocking and push-out, exits and switches, and the
// camera. Answers the button word the character acts on; *last gets the word of the frame
// before.
uint32_t UpdatePlayerCommon(uint32_t* last);
void UpdateCharacter0(int slot);
void UpdateCharacter1(int slot);
void UpdateCharacter2(int slot);
void UpdateCharacter3(int slot);
void DamagePlayer(int p, int32_t damage);
// Eight passes of pushing (*x, *y) out of cells that match `mask` at the four corners; with
// `twice` the mask counts twice, else the ground-blocking bit does.
void PushOutOfCells(int32_t* x, int32_t* y, int32_t mask, bool twice);

// Shots, blasts, bursts and companions.
int SpawnPlayerShot(int32_t x, int32_t y, int32_t angle, int32_t lifetime, int p, int32_t kind);
void UpdatePlayerShot(int slot);
void UpdateBlast(int slot);
void UpdateDelayedBurst(int slot);
int SpawnCompanion(int32_t x, int32_t y, int p);
void UpdateCompanion(int slot);

// The camera (game variables 122 and 123) follows a point: n >= 1 moves it a pixel a step for
// n steps, else it takes the target; areas not much wider (higher) than the screen are centred.
void FollowCameraX(int32_t tx, int32_t n);
void FollowCameraY(int32_t ty, int32_t n);

// Runs the routine of a class-2 object's actor type.
void DispatchActorObject(int slot);
// Fills the actor rows and the class-2 routine of the pool's routine tables.
void InstallActorRoutines();

}  // namespace velmora
