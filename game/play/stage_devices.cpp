#include "game/play/stage_devices.h"

#include "game/core/config.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/sound_cue.h"
#include "game/core/tween.h"
#include "game/play/combat.h"
#include "game/play/game_flow.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace velmora {

namespace {

constexpr int kPropTimer = 28;
constexpr int kPropInterval = 32;  // the breeding interval from the type table
constexpr int kPropFallSpeed = 47;

constexpr int32_t kSparkSprite = 0x2000380;
constexpr int32_t kFlameSprite = 0x2000389;
constexpr int32_t kLowFlameSprite = 0x2000381;
constexpr int32_t kFullFlameSprite = 0x2000382;
constexpr int32_t kRingSparkSprite = 0x2000388;

uint32_t Flags(int slot) {
    return static_cast<uint32_t>(GetField(kPropFlags, slot));
}

bool Has(int slot, uint32_t bit) {
    return (Flags(slot) & bit) != 0;
}

bool InPlay() {
    return GetGameVar(kGameVarPhase) == kPhasePlay;
}

bool IsOutside(int slot) {
    return IsOutsideActiveArea(GetField(kPropX, slot), GetField(kPropY, slot));
}

int32_t DayPhase() {
    return GetGameVar(kGameVarSkyIndex);
}

bool CandleOut() {
    const int32_t t = DayPhase();
    return t >= 2 && t <= 4;
}

void PlayUnlessOutside(int slot, int se) {
    if (!IsOutside(slot)) PlaySe(se);
}

// Every direction 1..4 blocked at `dist` px by a cell matching mask.
bool IsBoxedIn(int32_t x, int32_t y, int32_t dist, int32_t mask) {
    int blocked = 0;
    for (int dir = 1; dir <= 4; ++dir)
        if (GetCellBeside(x, y, dir, dist) & mask) ++blocked;
    return blocked >= 4;
}

// A breeder's child: counted only when it was made, so a full pool never uses up the limit.
void SpawnBreederChild(int slot, int type) {
    int32_t x, y;
    GetPosition(&x, &y, slot);
    const int child = SpawnStageObject(x, y, 9, type);
    if (child < 1) return;
    int link = 0;
    while (link < kChildLinks - 1 && GetChild(slot, link) > 0) ++link;
    AttachChild(child, slot, link);
    SetField(kPropVariant, child, GetField(kPropVariant, slot) & 63);
    SetField(kPropFineZ, child, 0x2000);
    SetField(kPropZ, child, 32);
    SetField(kPropFallSpeed, child, -8);
    SetField(kPropAttack, child, 8);
    IncField(kPropLiveChildren, slot);
}

// A breeder put out of action by the players: sparks, its death effects by `pattern`.
void BreakBreeder(int slot, int32_t pattern) {
    int32_t x, y;
    GetPosition(&x, &y, slot);
    ClearFieldBits(kPropFlags, slot, kFlagTargetable);
    PlaySe(17);
    SetGameVar(kGameVarShake, 30);
    SpawnSparkCloud(x, y, 8, kRingSparkSprite, 16, 512);
    SpawnSparkRing(x, y, 8, kRingSparkSprite, 64, 1024);
    const int32_t variant = GetField(kPropVariant, slot);
    SetField(kPropVariant, slot, pattern);
    SpawnDeathEffects(slot);
    SetField(kPropVariant, slot, variant);
    SetField(kPropTimer, slot, 0);
}

void Revive(int slot) {
    SetField(kPropHp, slot, GetField(kPropMaxHp, slot));
    SetFieldBits(kPropFlags, slot, kFlagTargetable);
    SetField(kPropTimer, slot, 0);
    PlayUnlessOutside(slot, 7);
}

void Die(int slot) {
    SetFieldBits(kPropFlags, slot, kFlagDead);
}

int32_t GeneratorRevivalTime() {
    return DayPhase() == 6 ? 1200 : 3600;
}

int32_t GeneratorPopulationLimit() {
    const int32_t base = GetAreaWord(kAreaWordPopulation);
    const int32_t t = DayPhase();
    if (t < 5) return base + t;
    return t == 6 ? 32 : base;
}

}  // namespace

void UpdateGenerator(int slot) {
    if (GetField(kPropAge, slot) == 120) AwardIcon(4);
    int32_t x, y;
    GetPosition(&x, &y, slot);
    if (InPlay()) {
        const bool targetable = Has(slot, kFlagTargetable);
        if (GetField(kPropHp, slot) < 1 && targetable) {
            BreakBreeder(slot, 14);
            AddField(kPropMaxHp, slot, 3000);  // each revival is tougher
        } else if (!targetable) {
            const int32_t revival = GeneratorRevivalTime();
            const int32_t t = GetField(kPropTimer, slot);
            if (t < revival) {
                if (t >= revival - 300)
                    SpawnSpark(x - 32 + Random(64), y - 32 + Random(64), 8, kRingSparkSprite,
                               162000, 256, 1000);
                const int32_t day = DayPhase();
                if (GetGameVar(kGameVarWeather) == 1 || day == 6) {
                    AddField(kPropTimer, slot, 2);
                } else {
                    if (day > 0 && day < 5) AddField(kPropTimer, slot, 1);
                    if (day > 1 && day < 4) AddField(kPropTimer, slot, 1);
                }
            } else {
                Revive(slot);
            }
        } else if (GetField(kPropTimer, slot) < 1) {
            if (GetField(kPropLiveChildren, slot) < GeneratorPopulationLimit()) {
                const int32_t mask = (GetField(kPropVariant, slot) & 63) == 3
                                         ? kCellBlockHigh | kCellOccupied
                                         : kCellBlockGround | kCellBlockHigh | kCellOccupied;
                if (!IsBoxedIn(x, y, 24, mask)) SpawnBreederChild(slot, kTypeWalker);
                const bool quick = DayPhase() >= 4 || GetGameVar(kGameVarWeather) == 1;
                const int32_t interval = GetField(kPropInterval, slot);
                SetField(kPropTimer, slot, quick ? interval / 2 : interval);
            }
        } else {
            DecField(kPropTimer, slot);
        }
    }
    OrCellAtPixel(x, y, kCellOccupied);
}

void UpdateCandle(int slot) {
    if (GetField(kPropAge, slot) == 120) AwardIcon(4);
    int32_t x, y;
    GetPosition(&x, &y, slot);
    if (InPlay()) {
        const bool out = CandleOut();
        int32_t flame = 0;
        if (out) {
            SetField(kPropHp, slot, 0);
            ClearFieldBits(kPropFlags, slot, kFlagTargetable);
        } else if (GetField(kPropHp, slot) < 1 && Has(slot, kFlagTargetable)) {
            BreakBreeder(slot, 15);
        } else if (!Has(slot, kFlagTargetable)) {
            if (GetGameVar(kGameVarAge) % 1600 == 0) Revive(slot);
        } else {
            const bool full =
                GetField(kPropLiveChildren, slot) >= 2 * GetAreaWord(kAreaWordPopulation);
            if (GetField(kPropTimer, slot) < 1) {
                if (!full) {
                    if (!IsBoxedIn(x, y, 16, kCellBlockGround | kCellBlockHigh | kCellOccupied))
                        SpawnBreederChild(slot, kTypeKabocha);
                    const int32_t interval = GetField(kPropInterval, slot);
                    SetField(kPropTimer, slot, DayPhase() > 2 ? interval / 2 : interval);
                }
            } else {
                DecField(kPropTimer, slot);
            }
            flame = full                              ? kFullFlameSprite
                    : GetField(kPropTimer, slot) < 30 ? kLowFlameSprite
                                                      : kFlameSprite;
        }
        if (flame != 0) {
            SpawnSpark(x, y - 8, 8, flame, 159000 + Random(6000), 256, 1000);
            IncField(kPropFallSpeed, slot);
        } else {
            SetField(kPropFallSpeed, slot, 0);
        }
    }
    OrCellAtPixel(x, y, kCellOccupied);
}

namespace {

constexpr int kSearchSteps = 2001;
constexpr int32_t kAreaCellMask = 0x7F7FFFCE;  // the run-time flags cleared

// Calls f(slot) for each object of the stage-object class, in run order.
template <typename F>
void ForEachStageObject(F f) {
    const int end = kFirstClassMarker + 3;
    int s = GetField(kPropNext, kFirstClassMarker + 2);
    for (int step = 0; step < kSearchSteps && s != end && s != kListTail; ++step) {
        const int next = GetField(kPropNext, s);
        if (GetField(kPropKind, s) != kListNodeKind) f(s);
        s = next;
    }
}

void FinishAreaGuard(int slot) {
    SetFieldBits(kPropFlags, slot, kFlagDone);
    DestroyAllStageObjects();
    FadeBgmSlowly();
    SetGameVar(kGameVarShake, 60);
    const int flash = SpawnScreenRect(20, static_cast<int32_t>(0xFFFFFFFFu));
    if (flash > 0) {
        AddTweenValue(flash, kTweenAddAlpha, 0, 32, -8);
        AddTweenAt(flash, kTweenEndObject, 32);
    }
    int w = 0, h = 0;
    GetAreaSize(&w, &h);
    for (int cy = 0; cy < h; ++cy)
        for (int cx = 0; cx < w; ++cx) SetCell(cx, cy, GetCell(cx, cy) & kAreaCellMask);
}

void UpdateAreaGuard(int slot) {
    if (GetField(kPropAge, slot) == 0 && !(GetConfigVar(kCfgRunFlags) & kRunPlayback))
        SetConfigVar(kCfgArea, GetCurrentArea());
    if (!Has(slot, kFlagDone)) {
        int32_t sum = 0, total = 0;
        ForEachStageObject([&](int s) {
            const uint32_t flags = Flags(s);
            if (!(flags & (kFlagAreaMember | kFlagMemberCounted))) return;
            // Toughened once, the first time it is counted, wherever it stands in the run.
            if (!(flags & kFlagMemberCounted)) {
                if (!(flags & kFlagNoDeathAtZero)) {
                    SetField(kPropHp, s, GetField(kPropHp, s) * 6);
                    SetField(kPropMaxHp, s, GetField(kPropMaxHp, s) * 6);
                }
                SetFieldBits(kPropFlags, s, kFlagMemberCounted);
            }
            const int32_t hp = GetField(kPropHp, s);
            sum += hp >= 1 ? hp : (flags & kFlagNoDeathAtZero) ? 1 : 0;
            total += GetField(kPropMaxHp, s);
        });
        SetField(kPropHp, slot, sum);
        if (total > GetField(kPropMaxHp, slot)) SetField(kPropMaxHp, slot, total);
        if (sum < 1) FinishAreaGuard(slot);
    } else {
        const int32_t phase = GetGameVar(kGameVarPhase);
        if (phase == kPhasePlay || phase == kPhaseTimeOver) {
            int32_t x, y;
            GetPosition(&x, &y, slot);
            for (int p = 0; p < kPlayerCount; ++p) {
                if (!IsPlayerPresent(p) || DistanceSqToPlayer(p, x, y) >= 256) continue;
                SetGameVar(kGameVarPhase, kPhaseExitSpin);
                SetGameVar(kGameVarExit, 8);
                SetGameVar(kGameVarPhaseTime, 0);
                PlaySe(12);
                PlayBgmTrack(1);
                break;
            }
        }
    }
    SetGameVar(
        kGameVarStageFlags,
        static_cast<int32_t>(static_cast<uint32_t>(GetGameVar(kGameVarStageFlags)) & ~0x40000000u));
}

void SetSwitchBit(int var, int bit, bool on) {
    const uint32_t v = static_cast<uint32_t>(GetGameVar(var));
    const uint32_t b = 1u << bit;
    SetGameVar(var, static_cast<int32_t>(on ? v | b : v & ~b));
}

void UpdateSwitchOnDefeat(int slot) {
    if (Has(slot, kFlagDone)) return;
    int left = 0;
    ForEachStageObject([&](int s) {
        if ((GetField(kPropVariant, s) & 0x40) && !Has(s, kFlagNotCounted) &&
            GetField(kPropHp, s) > 0)
            ++left;
    });
    if (left > 0) return;
    SetSwitchBit(kGameVarSwitches, 16 + ((GetField(kPropVariant, slot) >> 3) & 15), true);
    SetFieldBits(kPropFlags, slot, kFlagDone);
}

void UpdateSwitchCycle(int slot) {
    const int32_t age = GetField(kPropAge, slot);
    if (age % 30 != 0) return;
    const int k = (age / 30) & 7;
    SetSwitchBit(kGameVarSwitches, 16 + k, true);
    SetSwitchBit(kGameVarSwitches, 16 + ((k + 5) & 7), false);
}

void UpdateHoleMarker(int slot) {
    int32_t x, y;
    GetPosition(&x, &y, slot);
    const int32_t age = GetField(kPropAge, slot);
    if (age == 0) OrCellAtPixel(x, y, kCellHole | kCellHoleHeld);
    const bool hole = (GetCellAtPixel(x, y) & kCellHole) != 0;
    if (!Has(slot, kFlagDone)) {
        if (!hole) {
            // Filled in by a player.
            ClearCellBitsAtPixel(x, y, kCellHole | kCellHoleHeld);
            SetFieldBits(kPropFlags, slot, kFlagDone);
            SpawnBlast(x, y - 16, 0, 0);
            PlaySe(20);
            SetField(kPropFallSpeed, slot, 0);
            if (GetGameVar(kGameVarStage) == 4) {
                const int companion = SpawnCompanion(x < 320 ? 640 : 0, 480, -1);
                if (companion > 0) AttachChild(companion, slot, 0);
            }
            return;
        }
    } else if (hole) {
        // Dug open again: it goes, and a companion close by takes the reward.
        PlaySe(11);
        SpawnBlast(x, y - 16, 0, 0);
        Die(slot);
        const int child = GetChild(slot, 0);
        if (child > 0) {
            if (DistanceSqBetweenObjects(child, slot) < 800) {
                IncField(kPropFallSpeed, child);
                SetGameVar(kGameVarShake, 20);
                SpawnSparkCloud(x, y, 7, kSparkSprite, 32, 480);
                PlaySe(12);
            }
            DetachChild(slot, 0);
        }
        return;
    } else {
        SetField(kPropColor, slot,
                 static_cast<int32_t>((static_cast<uint32_t>(Random(255)) << 24) |
                                      (Random(255) << 16) | (Random(255) << 8) | 255));
    }
    const int32_t life = GetField(kPropFallSpeed, slot);
    if (life > 0 && age > life) {
        ClearCellBitsAtPixel(x, y, kCellHole | kCellHoleHeld);
        Die(slot);
        return;
    }
    if (!Has(slot, kFlagDone)) {
        for (int k = 0; k < 4; ++k)
            SpawnSpark(x, y - 96, 8, kFullFlameSprite, k * kAngleQuarterTurn, 256, 1000);
    }
}

}  // namespace

void UpdateEventControl(int slot) {
    switch (GetField(kPropVariant, slot) & 7) {
        case kEventAreaGuard:
            UpdateAreaGuard(slot);
            break;
        case kEventSwitchOnDefeat:
            UpdateSwitchOnDefeat(slot);
            break;
        case kEventSwitchCycle:
            UpdateSwitchCycle(slot);
            break;
        case kEventHoleMarker:
            UpdateHoleMarker(slot);
            break;
        default:
            break;
    }
}

void UpdateGate(int slot) {
    // Stage data gives the variant seven bits; only the low four name a switch.
    const int v = GetField(kPropVariant, slot) & 15;
    const int32_t age = GetField(kPropAge, slot);
    int32_t x, y;
    GetPosition(&x, &y, slot);
    const int var = v < 8 ? kGameVarStageFlags : kGameVarSwitches;
    const int bit = v < 8 ? 24 + (v & 3) : 16 + (v - 8);
    const bool on = TestBit(static_cast<uint32_t>(GetGameVar(var)), bit);
    if (v >= 4 && v < 8) {
        // A colour switch.
        if (age == 0) OrCellAtPixel(x, y, kCellBlockHigh | kCellBlockShot);
        if (on) return;
        for (int p = 0; p < kPlayerCount; ++p) {
            if (!IsPlayerPresent(p)) continue;
            int32_t px, py;
            GetPlayerPosition(p, &px, &py);
            if (px - x >= 16 || x - px >= 16 || py - y >= 16 || y - py >= 16) continue;
            SetSwitchBit(kGameVarStageFlags, bit, true);
            SetGameVar(kGameVarShake, 8);
            PlaySe(13);
            AwardIcon(11);
            break;
        }
        return;
    }
    const bool open = Has(slot, kFlagDone);
    const bool switchGate = v >= 8;
    if (!on) {
        if (open || age == 0) {
            OrCellAtPixel(x, y, kCellBlockGround | kCellBlockShot);
            ClearFieldBits(kPropFlags, slot, kFlagDone);
            if (switchGate && open && age > 0) PlaySe(13);
        }
    } else if (!open) {
        ClearCellBitsAtPixel(x, y,
                             kCellBlockGround | kCellBlockShot | (switchGate ? kCellOccupied : 0));
        SetFieldBits(kPropFlags, slot, kFlagDone);
        if (switchGate && age > 0) PlaySe(13);
    }
}

void UpdateBreakWall(int slot) {
    if (GetParent(slot) > 0) return;
    int32_t x, y;
    GetPosition(&x, &y, slot);
    if (GetField(kPropHp, slot) < 1) {
        ClearFieldBits(kPropFlags, slot, kFlagNoDeathAtZero);
        ClearCellBitsAtPixel(x, y, kCellBlockGround);
    }
    if (GetField(kPropAge, slot) == 0) OrCellAtPixel(x, y, kCellBlockGround);
}

void UpdateKanameStone(int slot) {
    const int32_t variant = GetField(kPropVariant, slot);
    const bool fast = (variant & 3) == 1;
    const int32_t step = fast ? 8 : 1, rise = fast ? 8 : 64, period = fast ? 32 : 192,
                  wait = fast ? 8 : 56;
    int32_t x, y, z;
    GetPosition3(&x, &y, &z, slot);
    int32_t age = GetField(kPropAge, slot);
    if (age == 0 && variant >= 4) {
        age += 96;
        SetField(kPropAge, slot, age);
        // A slow stone starts up in the air, half way through its beat; a fast one starts on
        // the ground, or it would climb past its height and stamp in mid-air.
        if (variant != 5 && !fast) z = 64;
    }
    const int32_t t = age % period;
    if (t < rise) {
        z += step;
    } else if (t >= rise + wait && t < rise + wait + 8) {
        z -= 8;
    } else if (t == rise + wait + 8) {
        SpawnSparkCloud(x, y, 8, kSparkSprite, 16, 800);
        if (!IsOutside(slot)) {
            PlaySe(20);
            SetGameVar(kGameVarShake, 20);
        }
        const int32_t reach = GetGameVar(kGameVarLevel) / 2 + 24;
        for (int p = 0; p < kPlayerCount; ++p)
            if (IsPlayerVulnerable(p) && DistanceSqToPlayer(p, x, y) < reach * reach)
                DamagePlayer(p, 20);
        OrCellAtPixel(x, y, kCellBlockGround | kCellBlockShot);
        SetFieldBits(kPropFlags, slot, kFlagTargetable);
    }
    SetPosition3(x, y, z, slot);
    if (z > 16) {
        ClearCellBitsAtPixel(x, y, kCellOccupied | kCellBlockGround | kCellBlockShot);
        ClearFieldBits(kPropFlags, slot, kFlagTargetable);
    }
    // Going (the area guard clears the stage): no invisible wall is left behind.
    if (GetField(kPropHp, slot) < 1)
        ClearCellBitsAtPixel(x, y, kCellOccupied | kCellBlockGround | kCellBlockShot);
}

void UpdateProjectile(int slot) {
    int32_t x, y;
    GetPosition(&x, &y, slot);
    const int32_t attack = GetField(kPropAttack, slot);
    if (attack > 0) {
        const int32_t r = GetField(kPropRadius, slot);
        bool hit = false;
        for (int p = 0; p < kPlayerCount; ++p) {
            if (!IsPlayerVulnerable(p) || DistanceSqToPlayer(p, x, y) >= r * r) continue;
            DamagePlayer(p, attack);
            hit = true;
        }
        if (hit) {
            SpawnSparkCloud(x, y, 8, kSparkSprite, 16, 256);
            Die(slot);
            return;
        }
    }
    const int32_t landing = GetField(kPropFallSpeed, slot);
    if (landing > 0) {
        // A thrown bomb, landing on its mark.
        if ((GetField(kPropAge, slot) & 1) == 0)
            SpawnSpark(x, y, 8, kSparkSprite, 162000, 128, 600);
        if (y < landing) return;
        PlaySe(11);
        PlaySe(29);
        SetGameVar(kGameVarShake, 16);
        SpawnSparkCloud(x, y, 8, kSparkSprite, 16, 512);
        Die(slot);
        if (!(GetCellAtPixel(x, y) & kCellHole)) {
            const int marker = SpawnStageObject(x, y, 9, kTypeEventControl);
            if (marker > 0) {
                SetField(kPropVariant, marker, kEventHoleMarker);
                SetField(kPropFallSpeed, marker, 300);
            }
        }
        return;
    }
    if (!Has(slot, kFlagHoming)) {
        if (GetField(kPropHp, slot) < 1 || (GetCellAtPixel(x, y) & kCellBlockHigh) ||
            GetField(kPropAge, slot) >= 300)
            Die(slot);
        return;
    }
    const int p = GetField(kPropAttacker, slot);
    if (!IsPlayerPresent(p)) {
        Die(slot);
        return;
    }
    if (GetField(kPropAge, slot) >= GetField(kPropInterval, slot)) {
        const int32_t a = TurnToward(GetField(kPropDirection, slot), AngleToPlayer(p, x, y), 3000);
        SetVelocityByAngle(slot, a, GetField(kPropSpeed, slot), 1);
        SpawnSpark(x, y, 8, kSparkSprite, a + kAngleHalfTurn, 128, 600);
    }
}

void InstallStageDeviceRoutines() {
    ObjectRoutineTable[kStageObjectRoutines + kTypeGenerator] = &UpdateGenerator;
    ObjectRoutineTable[kStageObjectRoutines + kTypeEventControl] = &UpdateEventControl;
    ObjectRoutineTable[kStageObjectRoutines + kTypeGate] = &UpdateGate;
    ObjectRoutineTable[kStageObjectRoutines + kTypeCandle] = &UpdateCandle;
    ObjectRoutineTable[kStageObjectRoutines + kTypeFieldItem] = &UpdateFieldItem;
    ObjectRoutineTable[kStageObjectRoutines + kTypeBreakWall] = &UpdateBreakWall;
    ObjectRoutineTable[kStageObjectRoutines + kTypeKanameStone] = &UpdateKanameStone;
    ObjectRoutineTable[kStageObjectRoutines + kTypeProjectile] = &UpdateProjectile;
}

}  // namespace velmora
