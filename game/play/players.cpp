#include "game/play/players.h"

#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/play/object_utils.h"

namespace velmora {

int32_t g_playerSlots[kPlayerCount];

namespace {

constexpr int kVarLives = 100;  // 100 + p
constexpr int kVarPhase = 26;
constexpr int kPropAction = 26;
constexpr int kPropHurtTimer = 57;
constexpr int kPropGuardTimer = 58;

int Slot(int p) {
    return g_playerSlots[p & 3];
}

}  // namespace

int GetPlayerSlot(int p) {
    return Slot(p);
}

int32_t GetPlayerField(int p, int n) {
    return GetField(n, Slot(p));
}

int32_t SetPlayerField(int p, int n, int32_t value) {
    return SetField(n, Slot(p), value);
}

int32_t AddPlayerField(int p, int n, int32_t d) {
    return AddField(n, Slot(p), d);
}

void GetPlayerPosition(int p, int32_t* x, int32_t* y) {
    GetPosition(x, y, Slot(p));
}

int32_t AngleToPlayer(int p, int32_t x, int32_t y) {
    const int slot = Slot(p);
    if (slot < 1) return 108000;
    return VectorAngle(x, y, GetField(kPropX, slot), GetField(kPropY, slot));
}

int32_t DistanceSqToPlayer(int p, int32_t x, int32_t y) {
    const int slot = Slot(p);
    if (slot < 1) return 0x3fffffff;
    return DistanceSq(x, y, GetField(kPropX, slot), GetField(kPropY, slot));
}

bool IsPlayerPresent(int p) {
    return p >= 0 && p < kPlayerCount && GetGameVar(kVarLives + p) > 0;
}

bool CanPlayerBeHit(int p) {
    if (!IsPlayerPresent(p)) return false;
    const int slot = Slot(p);
    return GetField(kPropHurtTimer, slot) < 1 && GetField(kPropHp, slot) >= 1 &&
           GetField(kPropZ, slot) < 1 && GetField(kPropAction, slot) != 4;
}

bool IsPlayerVulnerable(int p) {
    const int32_t phase = GetGameVar(kVarPhase);
    return CanPlayerBeHit(p) && GetField(kPropGuardTimer, Slot(p)) < 1 &&
           (phase == 5 || phase == 6);
}

int SpawnDelayedBurst(int32_t x, int32_t y, int32_t delay, int32_t count) {
    if (delay < 1) return -1;
    const int slot = SpawnObject(x, y, 9, 0, 0x2000000e);
    if (slot < 0) return -1;
    SetField(28, slot, delay);
    SetField(29, slot, count);
    return slot;
}

}  // namespace velmora
