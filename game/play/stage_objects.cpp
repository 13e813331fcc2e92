// The class routine of the stage objects and the walkers.
#include "game/play/stage_objects.h"

#include <cmath>

#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/sound_cue.h"
#include "game/play/combat.h"
#include "game/play/draw.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"
#include "game/play/stage_devices.h"

namespace velmora {

namespace {

constexpr int kTypeLimit = 96;

}  // namespace

namespace {

constexpr int kPhaseFrozen = 7;

constexpr int kPropTimer = 28;
constexpr int kPropRange = 32;
constexpr int kPropAlertDelay = 33;
constexpr int kPropSeedCooldown = 45;
constexpr int kPropAlert = 46;
constexpr int kPropFallSpeed = 47;
constexpr int kPropBlink = 58;
constexpr int kPropCone = 121;

constexpr int kKindFlying = 3;
constexpr int kKindSeeder = 2;
constexpr int kKindRoyal = 5;
constexpr int kKindBrief = 7;
constexpr int kKindEgg = 12;
constexpr int kKindSeed = 13;
constexpr int kKindDiver = 15;
constexpr int kColourRed = 1;
constexpr int kColourMetal = 2;
constexpr int kColourFat = 3;
constexpr int32_t kVariantRespawns = 0x40;

constexpr int32_t kSparkSprite = 0x2000380;
constexpr int32_t kAlertIcon = 0xC5;
constexpr int32_t kBurialColour = static_cast<int32_t>(0xCFFFFFFF);
constexpr uint32_t kWalkerBlock = kCellBlockGround | kCellBlockHigh | kCellOccupied;
constexpr uint32_t kFlyerBlock = kCellBlockHigh | kCellOccupied;

uint32_t Flags(int slot) {
    return static_cast<uint32_t>(GetField(kPropFlags, slot));
}
bool Has(int slot, uint32_t bit) {
    return (Flags(slot) & bit) != 0;
}
int Kind(int slot) {
    return GetField(kPropVariant, slot) & 15;
}
int Colour(int slot) {
    return (GetField(kPropVariant, slot) >> 4) & 3;
}
bool IsOutside(int slot) {
    return IsOutsideActiveArea(GetField(kPropX, slot), GetField(kPropY, slot));
}
uint32_t CellUnder(int slot) {
    return static_cast<uint32_t>(GetCellAtPixel(GetField(kPropX, slot), GetField(kPropY, slot)));
}
void ClearUnder(int slot, uint32_t bits) {
    ClearCellBitsAtPixel(GetField(kPropX, slot), GetField(kPropY, slot),
                         static_cast<int32_t>(bits));
}
void MarkUnder(int slot, uint32_t bits) {
    OrCellAtPixel(GetField(kPropX, slot), GetField(kPropY, slot), static_cast<int32_t>(bits));
}
void SnapToCellCentre(int slot) {
    SetPosition(CellCentre(GetField(kPropX, slot)), CellCentre(GetField(kPropY, slot)), slot);
}
int32_t FacingAngle(int slot) {
    return (GetField(kPropDirection, slot) - 1) * kAngleQuarterTurn;
}

// A walker leaves the marks it holds on its cell when it goes, however it goes: a hole it was
// caught in can catch again and be dug again once filled.
void ReleaseCellMarks(int slot) {
    ClearUnder(slot, kCellOccupied);
    if (Has(slot, kFlagCaught)) {
        ClearUnder(slot, kCellHoleHeld);
        ClearFieldBits(kPropFlags, slot, kFlagCaught);
    }
}

void AwardSightIcon(int slot) {
    const int kind = Kind(slot), colour = Colour(slot);
    if (colour > 0)
        AwardIcon(28 + colour);
    else if (kind < kKindEgg)
        AwardIcon(16 + kind);
}

void FirstFrame(int slot) {
    const int kind = Kind(slot), colour = Colour(slot);
    const int32_t* row = WalkerKindTable[kind];
    SetField(kPropRange, slot, row[0]);
    SetField(kPropAttack, slot, row[1]);
    SetField(kPropAlertDelay, slot, row[2]);
    SetField(kPropCone, slot, row[3]);
    int32_t hp = GetField(kPropHp, slot);
    if (kind == kKindRoyal || kind == kKindBrief) hp *= 4;
    if (colour == kColourMetal) SetFieldBits(kPropFlags, slot, kFlagGuard);
    if (colour == kColourFat) {
        if (!(GetField(kPropVariant, slot) & kVariantRespawns)) hp *= 8;
        SetFieldBits(kPropFlags, slot, kFlagFillsHoles);
    }
    if (hp != GetField(kPropHp, slot)) SetObjectHp(slot, hp);
}

void Height(int slot, int32_t* z) {
    int kind = Kind(slot);
    if (kind == kKindFlying) {
        // A flying leaf hovers, rising to 64, until a player comes near: then it dives.
        if (*z < 64) *z += 1;
        for (int p = 0; p < kPlayerCount; ++p) {
            if (!IsPlayerPresent(p)) continue;
            if (DistanceSqToPlayer(p, GetField(kPropX, slot), GetField(kPropY, slot)) < 6400) {
                SetField(kPropVariant, slot, (GetField(kPropVariant, slot) & ~15) | kKindDiver);
                ClearFieldBits(kPropFlags, slot, kFlagTargetable);
                PlaySe(15);
                SetField(kPropFallSpeed, slot, -4);
                AwardIcon(19);
                break;
            }
        }
        return;
    }
    if (*z <= 0 && GetField(kPropFallSpeed, slot) == 0) return;
    *z -= GetField(kPropFallSpeed, slot);
    const bool slow = kind >= kKindSeed;
    if (GetField(kPropFallSpeed, slot) < 8 && (!slow || GetField(kPropAge, slot) % 8 == 0))
        IncField(kPropFallSpeed, slot);
    if (*z <= 0) {
        *z = 0;
        SetField(kPropFallSpeed, slot, 0);
        if (slow) SetField(kPropRange, slot, 999);
    }
}

void Bury(int slot) {
    int32_t x, y;
    GetPosition(&x, &y, slot);
    const int32_t points = GetField(kPropTimer, slot) < 60 ? 30 : 10;
    AddScore(0, points);
    SpawnRisingText(x, y, 22, kDrawKindNumber, points * 10, kBurialColour);
    PlaySe(9);
    const int32_t variant = GetField(kPropVariant, slot);
    ClearFieldBits(kPropFlags, slot, kFlagCaught);  // the buried leaf takes the hole's marks
    DestroyObject(slot);
    const int leaf = SpawnStageObject(x, y, 9, kTypeBuriedLeaf);
    if (leaf < 1) {
        // Nothing to own the marks: leave the cell as plain ground.
        ClearCellBitsAtPixel(x, y, static_cast<int32_t>(kCellHoleHeld | kCellOccupied));
        return;
    }
    SetField(kPropVariant, leaf, variant);
    OrCellAtPixel(x, y, kCellBlockHigh);
    AwardIcon(12);
}

}  // namespace

// clang-format off
const int32_t WalkerKindTable[kWalkerKinds][4] = {
    {32,  8,   0,  108000},
    {32,  8,   0,  108000},
    {32,  8,   20, 36000},
    {0,   8,   0,  108000},
    {120, 8,   20, 27000},
    {40,  70,  0,  108000},
    {64,  16,  20, 36000},
    {0,   0,   0,  0},
    {240, 8,   20, 36000},
    {192, 12,  20, 36000},
    {120, 8,   20, 54000},
    {32,  8,   20, 2},
    {32,  8,   0,  216000},
    {999, 20,  0,  216000},
    {999, 100, 0,  216000},
    {999, 8,   0,  216000},
};
// clang-format on

bool CheckWalkerSight(int slot) {
    if (GetField(kPropBlink, slot) >= 1) return false;
    int32_t x, y;
    GetPosition(&x, &y, slot);
    const int kind = Kind(slot);
    const int32_t range = GetField(kPropRange, slot);
    const int32_t facing = FacingAngle(slot);
    const int32_t cone = GetField(kPropCone, slot);
    int seen = -1;
    for (int p = 0; p < kPlayerCount; ++p) {
        if (!IsPlayerVulnerable(p)) continue;
        const int32_t d2 = DistanceSqToPlayer(p, x, y);
        if (d2 < 40000) AwardSightIcon(slot);
        if (static_cast<int64_t>(d2) >= static_cast<int64_t>(range) * range) continue;
        if (range < 40) {
            seen = p;
            continue;
        }
        const int32_t a = AngleToPlayer(p, x, y);
        if (TurnToward(a, facing, cone) != NormaliseAngle(facing)) continue;
        // The line to the player, every 16 px, must cross no high wall.
        int32_t px, py;
        GetPlayerPosition(p, &px, &py);
        const double dist = std::sqrt(static_cast<double>(d2));
        bool clear = true;
        for (int32_t step = 16; step < dist && clear; step += 16) {
            const int32_t cx = x + static_cast<int32_t>((px - x) * step / dist);
            const int32_t cy = y + static_cast<int32_t>((py - y) * step / dist);
            if (GetCellAtPixel(cx, cy) & kCellBlockHigh) clear = false;
        }
        if (clear) seen = p;
    }
    if (seen < 0 && kind <= kKindEgg) return false;
    IncField(kPropAlert, slot);
    if (seen >= 0) SetField(kPropAttacker, slot, seen);
    if (GetField(kPropAlertDelay, slot) > 0) {
        SpawnPopIcon(x, y - 32, 20, kAlertIcon);
        ClearFieldBits(kPropFlags, slot, kFlagTargetable);
    }
    return true;
}

void StepWalker(int slot) {
    if (GetField(kPropAge, slot) == 0) FirstFrame(slot);
    ClearUnder(slot, kCellOccupied);
    const int kind = Kind(slot);
    if (GetGameVar(kGameVarPhase) == kPhaseFrozen && kind < kKindSeed) {
        if (GetGameVar(kGameVarEndFrames) < 300 && GetField(kPropAge, slot) % 90 == 0) PlaySe(10);
        return;
    }
    int32_t x, y, z;
    GetPosition3(&x, &y, &z, slot);
    // Walking.
    if (!Has(slot, kFlagCaught) && GetField(kPropTimer, slot) > 0) {
        const int dir = GetField(kPropDirection, slot);
        MovePoint(&x, &y, dir, GetField(kPropSpeed, slot));
        SetPosition(x, y, slot);
        const uint32_t mask = kind == kKindFlying ? kFlyerBlock : kWalkerBlock;
        if (static_cast<uint32_t>(GetCellBeside(x, y, dir, 16)) & mask)
            SetField(kPropTimer, slot, 0);
        else
            AddField(kPropTimer, slot, -1);
    }
    const int32_t oldZ = z;
    Height(slot, &z);
    // Only the height is stored: a thrown seed keeps the fine position its velocity moves.
    if (z != oldZ) {
        SetField(kPropZ, slot, z);
        SetField(kPropFineZ, slot, static_cast<int32_t>(static_cast<uint32_t>(z) << 8));
    }
    if (z <= 0 && Kind(slot) != kKindFlying) {
        const uint32_t cell = CellUnder(slot);
        if (!(cell & kCellHole) || (cell & kCellHoleHeld)) {
            if (!CheckWalkerSight(slot)) MarkUnder(slot, kCellOccupied);
        } else if (!Has(slot, kFlagFillsHoles)) {
            ClearFieldBits(kPropFlags, slot, kFlagTargetable);
            SetFieldBits(kPropFlags, slot, kFlagCaught);
            SetField(kPropTimer, slot, 300);
            MarkUnder(slot, kCellHoleHeld);
            PlaySe(8);
            SnapToCellCentre(slot);
            // Held fast: a thrown seed keeps no speed to slide off its hole with.
            SetField(kPropVelX, slot, 0);
            SetField(kPropVelY, slot, 0);
            AwardIcon(9);
        } else {
            ClearUnder(slot, kCellHole);
            SetGameVar(kGameVarShake, 8);
            PlaySe(5);
        }
    }
    if (Has(slot, kFlagCaught)) {
        const uint32_t cell = CellUnder(slot);
        if (!(cell & kCellHole)) {
            Bury(slot);
            return;
        }
        if (GetField(kPropTimer, slot) < 2) {
            SetFieldBits(kPropFlags, slot, kFlagTargetable);
            ClearUnder(slot, kCellHoleHeld | kCellHole);
            ClearFieldBits(kPropFlags, slot, kFlagCaught);
            PlaySe(10);
            SetField(kPropZ, slot, 8);
            SetField(kPropFineZ, slot, 8 * 256);
            SetField(kPropFallSpeed, slot, -8);
        } else {
            AddField(kPropTimer, slot, -1);
        }
    }
    if (GetField(kPropBlink, slot) > 0) AddField(kPropBlink, slot, -1);
}

namespace {

void Explode(int slot) {
    int32_t x, y;
    GetPosition(&x, &y, slot);
    if (!IsOutside(slot)) {
        SetGameVar(kGameVarShake, 16);
        PlaySe(11);
    }
    SpawnSparkCloud(x, y, 8, kSparkSprite, 16, 512);
    SpawnSparkRing(x, y, 8, kSparkSprite, 16, 1024);
    if (!(GetField(kPropVariant, slot) & kVariantRespawns)) {
        ReleaseCellMarks(slot);
        DestroyObject(slot);
    } else {
        SetField(kPropBlink, slot, 60);
        SetField(kPropAlert, slot, 0);
    }
    SpawnBlastPattern(slot, GetField(kPropAttacker, slot), Kind(slot), 1,
                      GetField(kPropAttack, slot), 0);
}

void ThrowSeeds(int slot) {
    if (GetField(kPropSeedCooldown, slot) >= 1) {
        AddField(kPropSeedCooldown, slot, -1);
        return;
    }
    int32_t x, y;
    GetPosition(&x, &y, slot);
    for (int p = 0; p < kPlayerCount; ++p) {
        if (!IsPlayerVulnerable(p) || DistanceSqToPlayer(p, x, y) >= 40000) continue;
        const int seed = SpawnStageObject(x, y, 9, kTypeWalker);
        if (seed < 1) continue;
        SetField(kPropVariant, seed, kKindSeed);
        SetVelocityByAngle(seed, AngleToPlayer(p, x, y), 512, 0);
        SetField(kPropAttack, seed, 8);
        SetField(kPropFineZ, seed, 0x4C00);
        SetField(kPropZ, seed, 76);
        SetField(kPropFallSpeed, seed, -4);
    }
    // The cool-down runs whether or not anyone was near: a player who walks up mid-cycle waits
    // for the next throw.
    SetField(kPropSeedCooldown, slot, 120);
    PlaySe(6);
}

void BreedEgg(int slot) {
    if (GetField(kPropAge, slot) % 64 != 0) return;
    int32_t limit = GetAreaWord(kAreaWordPopulation);
    if (GetField(kPropVariant, slot) & kVariantRespawns) limit *= 8;
    if (GetField(kPropLiveChildren, slot) >= limit) return;
    if (CellUnder(slot) & (kCellBlockGround | kCellBlockHigh)) return;
    int32_t x, y;
    GetPosition(&x, &y, slot);
    const int child = SpawnStageObject(x, y, 9, kTypeWalker);
    if (child < 1) return;  // only a child made is counted
    int link = 0;
    while (link < kChildLinks - 1 && GetChild(slot, link) > 0) ++link;
    AttachChild(child, slot, link);
    SetField(kPropVariant, child, kKindEgg | (GetField(kPropVariant, slot) & 0x30));
    SetField(kPropAttack, child, 8);
    IncField(kPropLiveChildren, slot);
}

void Hatch(int slot) {
    if (GetField(kPropAge, slot) <= 179) return;
    SetFieldBits(kPropFlags, slot, kFlagTargetable);
    SetField(kPropVariant, slot, GetField(kPropVariant, slot) & ~15);
    SetField(kPropFallSpeed, slot, -8);
    SetField(kPropZ, slot, 8);
    SetField(kPropFineZ, slot, 0x800);
}

void ChooseDirection(int slot) {
    const int kind = Kind(slot);
    int32_t x, y;
    GetPosition(&x, &y, slot);
    int d;
    if (kind == 1 || kind == kKindFlying) {
        d = (AngleToPlayer(0, x, y) + 243000) % kAngleTurn / kAngleQuarterTurn;
    } else if (GetField(kPropAge, slot) == 0) {
        d = Random(3);
    } else {
        const int old = (GetField(kPropDirection, slot) - 1) & 3;
        const uint32_t mask = kind == kKindFlying ? kFlyerBlock : kWalkerBlock;
        d = old;
        for (int tries = 0; tries < 16; ++tries) {
            d = tries == 15 ? (old + 1) % 4 : (old + 2 + Random(2)) % 4;
            if (!(static_cast<uint32_t>(GetCellBeside(x, y, d + 1, 20)) & mask)) break;
        }
    }
    SetField(kPropDirection, slot, d + 1);
    const int32_t speed = Colour(slot) == kColourRed ? 2 : 1;
    SetField(kPropSpeed, slot, speed);
    SetField(kPropTimer, slot, (Random(3) + 1) * 32 / speed);
    SnapToCellCentre(slot);
}

}  // namespace

void UpdateLeafPeople(int slot) {
    if (GetField(kPropAlert, slot) >= 1) {
        MarkUnder(slot, kCellOccupied);
        if (GetField(kPropAlert, slot) > GetField(kPropAlertDelay, slot))
            Explode(slot);
        else
            IncField(kPropAlert, slot);
    } else {
        StepWalker(slot);
        if (Has(slot, kFlagDead)) return;  // buried
        switch (Kind(slot)) {
            case kKindSeeder:
                ThrowSeeds(slot);
                break;
            case kKindRoyal:
                BreedEgg(slot);
                break;
            case kKindBrief: {
                static constexpr int32_t kTimeOfDay[4] = {5, 7, 4, 1};
                SetGameVar(kGameVarSkyOverride, kTimeOfDay[Colour(slot)]);
                break;
            }
            case kKindEgg:
                Hatch(slot);
                break;
            default:
                break;
        }
        if (Kind(slot) < kKindEgg && GetField(kPropTimer, slot) < 1 && !Has(slot, kFlagCaught))
            ChooseDirection(slot);
    }
    // Going, by its own blast or out of hit points: its hole is free again.
    if (Has(slot, kFlagDead) || (GetField(kPropHp, slot) < 1 && !Has(slot, kFlagNoDeathAtZero)))
        ReleaseCellMarks(slot);
}

void UpdateKabocha(int slot) {
    const int32_t t = GetGameVar(kGameVarSkyIndex);
    if (t >= 2 && t <= 4) {
        SpawnBlast(GetField(kPropX, slot), GetField(kPropY, slot), 1, 0);
        ReleaseCellMarks(slot);
        DestroyObject(slot);
        return;
    }
    UpdateLeafPeople(slot);
    SetField(kPropAngle, slot, TurnToward(GetField(kPropAngle, slot), FacingAngle(slot), 3000));
}

void UpdateBuriedLeaf(int slot) {
    int32_t x, y;
    GetPosition(&x, &y, slot);
    constexpr uint32_t kMarks = kCellBlockHigh | kCellOccupied | kCellHoleHeld;
    if (GetField(kPropAge, slot) >= 3600) {
        SpawnBlast(x, y, 0, 0);
        PlaySe(11);
        DestroyObject(slot);
        ClearCellBitsAtPixel(x, y, static_cast<int32_t>(kMarks));
        return;
    }
    for (int p = 0; p < kPlayerCount; ++p) {
        if (!IsPlayerPresent(p) || GetPlayerField(p, kPropHp) < 1) continue;
        if (DistanceSqToPlayer(p, x, y) >= 400) continue;
        if (!IsOutside(slot)) {
            SetGameVar(kGameVarShake, 30);
            PlaySe(11);
        }
        DestroyObject(slot);
        ClearCellBitsAtPixel(x, y, static_cast<int32_t>(kMarks));
        SetPlayerField(p, kPropPlayerAction, 5);
        SetPlayerField(p, kPropActionTimer, 32);
        SpawnBlastPattern(slot, p, GetField(kPropVariant, slot) & 15, 2,
                          2 * GetGameVar(kGameVarShotLevel + p) + 8, 1);
        return;
    }
    // Cleared away with the rest of the stage: no invisible wall is left.
    if (GetField(kPropHp, slot) < 1 && !Has(slot, kFlagNoDeathAtZero))
        ClearCellBitsAtPixel(x, y, static_cast<int32_t>(kMarks));
}

void UpdateStageObject(int slot) {
    const int type = GetField(kPropKind, slot) & 0x0fffffff;
    if (type >= kTypeLimit) {
        SetFieldBits(kPropFlags, slot, kFlagDead);
    } else {
        RunObjectRoutine(kStageObjectRoutines + type, slot);
    }
    if (GetField(kPropHitFlash, slot) > 0) {
        AddField(kPropHitFlash, slot, -1);
        if (GetField(kPropHitFlash, slot) == 0) SetField(kPropBlastPower, slot, 0);
    }
    // An object its routine has already ended (a walker that exploded, a buried leaf set off)
    // is not killed a second time: that would pay its score, drops and parent count twice.
    const uint32_t flags = static_cast<uint32_t>(GetField(kPropFlags, slot));
    if (!(flags & (kFlagNoDeathAtZero | kFlagDead)) && GetField(kPropHp, slot) < 1)
        KillStageObject(slot);
}

void InstallStageObjectRoutines() {
    ClassRoutineTable[3] = &UpdateStageObject;
    ClassRoutineTable[4] = &UpdateProjectile;
    ObjectRoutineTable[kStageObjectRoutines + kTypeBuriedLeaf] = &UpdateBuriedLeaf;
    ObjectRoutineTable[kStageObjectRoutines + kTypeWalker] = &UpdateLeafPeople;
    ObjectRoutineTable[kStageObjectRoutines + kTypeKabocha] = &UpdateKabocha;
}

}  // namespace velmora
