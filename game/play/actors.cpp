// The actors that players leave behind them (shots, blasts, bursts, companions) and the
// dispatch of every class-2 object to the routine of its actor type.
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/sound_cue.h"
#include "game/core/tween.h"
#include "game/play/combat.h"
#include "game/play/game_flow.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace velmora {

namespace {

constexpr uint32_t kTargetable = 0x800000;
constexpr uint32_t kFlagHitByBlastToo = 0x1000;
constexpr uint32_t kFlagHitByThrow = 0x400;
constexpr int32_t kSparkSprite = 0x2000380;
constexpr int32_t kBurstSprite = 0x2000501;
constexpr int32_t kRingSparkSprite = 0x2000388;
constexpr int kPropSpin = 13;
constexpr int kPropThrown = 47;

void Die(int slot) {
    SetFieldBits(kPropFlags, slot, kFlagDead);
}

bool IsLive(int slot) {
    return slot > 0 && GetField(kPropKind, slot) != 0 &&
           !(static_cast<uint32_t>(GetField(kPropFlags, slot)) & kFlagDead);
}

void Sparkle(int32_t x, int32_t y, int32_t r) {
    int32_t sx = x, sy = y;
    AddPolarOffset(&sx, &sy, Random(kAngleTurn), r + Random(r));
    const int s = SpawnSprite(sx, sy, 20, 0x20004a4);
    if (s < 0) return;
    SetFieldBits(kPropFlags, s, kFlagAnimated);
    AddTweenAt(s, kTweenEndObject, 16);
}

}  // namespace

int SpawnPlayerShot(int32_t x, int32_t y, int32_t angle, int32_t lifetime, int p, int32_t kind) {
    AddPolarOffset(&x, &y, angle, 16);
    const int slot = SpawnObject(x, y, 8, 12, 0x2000000c);
    if (slot < 0) return -1;
    SetField(kPropRadius, slot, 16);
    SetField(kPropAttack, slot, 80);
    SetField(kPropPlayerAction, slot, kind);
    SetField(kPropActionTimer, slot, lifetime);
    SetField(kPropPlayerIndex, slot, p);
    SetVelocityByAngle(slot, angle, 3072, 0);
    SetField(kPropAngle, slot, angle);
    return slot;
}

void UpdatePlayerShot(int slot) {
    int32_t x, y;
    GetPosition(&x, &y, slot);
    if (GetField(kPropAge, slot) >= GetField(kPropActionTimer, slot)) {
        Die(slot);
        return;
    }
    bool stop = (GetCellAtPixel(x, y) & kCellBlockShot) != 0;
    if (!stop) {
        const int t = FindObjectInClass(x, y, GetField(kPropRadius, slot), kTargetable, 3);
        if (t > 0) {
            SpawnSpark(x, y, 20, kSparkSprite, Random(kAngleTurn), 256, 1000);
            DamageObject(t, GetField(kPropPlayerIndex, slot), GetField(kPropAttack, slot), 0);
            stop = GetField(kPropPlayerAction, slot) != 2;  // a piercing shot goes on
        }
    }
    if (stop) {
        const int s = SpawnSpark(x, y, 20, kBurstSprite, Random(kAngleTurn), 256, 1000);
        if (s >= 0) {
            SetField(kPropSpin, s, Random(6000) - 3000);
            AddTweenValue(s, kTweenAddScale, 0, 15, -50);
        }
        Die(slot);
    }
}

void UpdateBlast(int slot) {
    if (static_cast<uint32_t>(GetField(kPropFlags, slot)) & kFlagNotDrawn) return;
    if (GetField(kPropWalkCount, slot) > 15) return;
    int32_t x, y;
    GetPosition(&x, &y, slot);
    const int32_t power = GetField(kPropBlastPower, slot);
    const int32_t attack = GetField(kPropAttack, slot);
    if (power >= 1) {
        const int attacker = GetField(kPropAttacker, slot);
        const int t = FindObjectInClass(x, y, 16, kTargetable, 3);
        if (t > 0) DamageObject(t, attacker, attack, power);
        const int u = FindObjectInClass(x, y, 16, kFlagHitByBlastToo, 3);
        if (u > 0) DamageObject(u, attacker, attack, power);
    } else if (attack > 0) {
        IncField(kPropWalkCount, slot);
        for (int p = 0; p < kPlayerCount; ++p) {
            if (IsPlayerVulnerable(p) && DistanceSqToPlayer(p, x, y) < 256)
                DamagePlayer(p, GetGameVar(kGameVarLevel) + attack);
        }
    }
}

void UpdateDelayedBurst(int slot) {
    if (GetField(kPropAge, slot) < GetField(kPropActionTimer, slot)) return;
    int32_t x, y;
    GetPosition(&x, &y, slot);
    SpawnSparkCloud(x, y, 20, kSparkSprite, GetField(kPropLifetime, slot), 800);
    PlaySe(11);
    SetGameVar(kGameVarShake, 20);
    Die(slot);
}

int SpawnCompanion(int32_t x, int32_t y, int p) {
    const int slot = SpawnObject(x, y, 9, 11, 0x2000000d);
    if (slot < 0 || p < 0) return slot;
    // Its owner, which the companions behind it read through it.
    SetField(kPropPlayerIndex, slot, p & 3);
    int last = GetPlayerSlot(p);
    for (int step = 0; step < kPoolSlots; ++step) {
        const int next = GetChild(last, 1);
        if (!IsLive(next)) break;
        last = next;
    }
    AttachChild(slot, last, 1);
    return slot;
}

void UpdateCompanion(int slot) {
    int32_t x, y, z;
    GetPosition3(&x, &y, &z, slot);
    const int parent = GetParent(slot);

    if (GetField(kPropParent, slot) < 1 && GetField(kPropThrown, slot) >= 1) {
        AddField(kPropAngle, slot, 3);
        z += 16;
        SetPosition3(x, y, z, slot);
        if (z > 480) {
            Die(slot);
            return;
        }
        const int t = FindObjectInClass(x, y - z, 32, kTargetable, 3);
        if (t > 0 && (static_cast<uint32_t>(GetField(kPropFlags, t)) & kFlagHitByThrow)) {
            PlaySe(17);
            SpawnSparkCloud(x, y - z, 20, kSparkSprite, 64, 1200);
            SpawnSparkRing(x, y - z, 20, kRingSparkSprite, 64, 2000);
            SetGameVar(kGameVarShake, 120);
            DamageObject(t, GetField(kPropPlayerIndex, slot), 12000, 1);
            SetField(kPropHitFlash, t, 120);
            Die(slot);
        }
        return;
    }

    if (parent > 0) {
        const bool parentIsStageObject =
            ((static_cast<uint32_t>(GetField(kPropKind, parent)) >> 28) & 7) == 3;
        const int owner = parentIsStageObject ? -1 : GetField(kPropPlayerIndex, parent);
        int32_t px, py;
        GetPosition(&px, &py, parent);
        const int32_t dir = NormaliseAngle(
            TurnToward(GetField(kPropDirection, slot), VectorAngle(x, y, px, py), 9000));
        SetField(kPropDirection, slot, dir);
        SetField(kPropAngle, slot, dir / 9000);
        const int32_t d2 = DistanceSq(x, y, px, py);
        int32_t speed = GetField(kPropSpeed, slot);
        if (owner >= 0) {
            if (d2 < 2400) {
                speed -= 256;
                if (speed < 0) speed = 0;
            } else if (d2 > 3600) {
                const int32_t top = GetField(kPropSpeed, parent) * 256;
                speed += 64;
                if (speed > top) speed = top;
            }
        } else if (d2 < 17) {
            speed = 0;
            x = px;
            y = py;
            SetField(kPropDirection, slot, kAngleQuarterTurn);
        } else {
            speed = 1024;
        }
        SetField(kPropSpeed, slot, speed);
        SetVelocityByAngle(slot, GetField(kPropDirection, slot), speed, 0);
        if (speed > 0 && GetField(kPropWalkCount, slot) < 1) SetField(kPropWalkCount, slot, 24);

        int32_t r = 16;
        bool sparkle = false;
        if (owner < 0 || !IsPlayerPresent(owner)) {
            r = 0;
        } else {
            const uint32_t ow = static_cast<uint32_t>(GetPlayerField(owner, kPropLastButtons));
            constexpr uint32_t kSpecial = kButtonShot | kButtonSubAction | kButtonDirection;
            if (GetGameVar(kGameVarChainTimer) < 60 && (ow & kSpecial) == kSpecial &&
                GetChild(slot, 1) < 1) {
                // The last of the chain gives itself up for a blast.
                SpawnBlastPattern(slot, owner, 0, 2, 16, 1);
                SetGameVar(kGameVarChainTimer, 120);
                PlaySe(11);
                AddGameVar(kGameVarCompanions + owner, -1);
                Die(slot);
                return;
            }
            if (ow & kButtonShot) {
                const int t = FindObjectInClass(x, y, 48, kTargetable, 3);
                if (t > 0) DamageObject(t, owner, 8, 0);
                sparkle = true;
                r = 24;
            }
        }
        if (d2 < 40000) PushOutOfCells(&x, &y, 0x33, true);
        SetPosition3(x, y, z, slot);
        AddField(kPropWalkCount, slot, -1);
        if (GetField(kPropHitFlash, slot) < 1 && r >= 1 &&
            ((GetField(kPropAge, slot) & 7) == 0 || sparkle))
            Sparkle(x, y, r);
        return;
    }

    if (GetField(kPropThrown, slot) < 1) {
        SpawnBlast(x, y, 0, 0);
        PlaySe(11);
        Die(slot);
    }
}

void DispatchActorObject(int slot) {
    const int type = GetField(kPropKind, slot) & 0xffff;
    if (type < 16) RunObjectRoutine(kActorRoutines + type, slot);
}

void InstallActorRoutines() {
    ClassRoutineTable[2] = &DispatchActorObject;
    ObjectRoutineTable[kActorRoutines + 2] = &UpdateMapObject;
    ObjectRoutineTable[kActorRoutines + 8] = &UpdateCharacter0;
    ObjectRoutineTable[kActorRoutines + 9] = &UpdateCharacter1;
    ObjectRoutineTable[kActorRoutines + 10] = &UpdateCharacter2;
    ObjectRoutineTable[kActorRoutines + 11] = &UpdateCharacter3;
    ObjectRoutineTable[kActorRoutines + 12] = &UpdatePlayerShot;
    ObjectRoutineTable[kActorRoutines + 13] = &UpdateCompanion;
    ObjectRoutineTable[kActorRoutines + 14] = &UpdateDelayedBurst;
    ObjectRoutineTable[kActorRoutines + 15] = &UpdateBlast;
}

}  // namespace velmora
