// The four player slots and what other objects read of the players.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr int kPlayerCount = 4;

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

}  // namespace velmora
