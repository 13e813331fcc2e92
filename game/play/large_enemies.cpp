// The large enemies. The UFO cruises above the map, beams players up and drops leaves that are
// always alert; the big one leaf hops and crushes, and when worn down hands its life to a UFO;
// the boss fights in two phases, first through its hands, then with satellites and sparks.
#include "game/play/large_enemies.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "game/core/config.h"
#include "game/core/game_vars.h"
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

constexpr double kPi = 3.14159265358979323846;

constexpr int kPropSpeed17 = 17;
constexpr int kPropTimer = 28;
constexpr int kPropTarget = 30;
constexpr int kPropQueued = 32;
constexpr int kPropSpinOrX = 33;  // satellites: f32 spin, f33 x, f34 y
constexpr int kPropOriginY = 34;
constexpr int kPropSpeedUp = 36;
constexpr int kPropAimX = 37;
constexpr int kPropArm = 38;  // 38..41
constexpr int kPropExpression = 42;
constexpr int kPropPose = 43;
constexpr int kPropSway = 44;
constexpr int kPropLift = 45;  // boss lift; big leaf: UFOs released
constexpr int kPropFall = 47;  // UFO beam; big leaf vertical speed
constexpr int kPropBlink = 58;

constexpr uint32_t kFlagStill = 0x80;  // counted by an area guard
constexpr uint32_t kFlagCaught = 0x800;
constexpr uint32_t kFlagHoming = 0x4000;
constexpr uint32_t kFlagTargetable = 0x800000;
constexpr uint32_t kFlagGuardBit = 0x100;
constexpr uint32_t kFlagBit10 = 0x400;

constexpr int32_t kCellHole = 1;
constexpr int32_t kCellWall = 4;
constexpr int32_t kCellObject = 16;
constexpr int32_t kCellCaught = static_cast<int32_t>(0x80000000u);

constexpr int32_t kStageClass = 0x30000000;
constexpr int32_t kUfoKind = kStageClass | 10;
constexpr int32_t kGeneratorKind = kStageClass | 1;
constexpr int32_t kEventControlKind = kStageClass | 3;
constexpr int32_t kCompanionKind = 0x2000000d;

constexpr int32_t kSparkSprite = 0x2000380;
constexpr int32_t kRingSparkSprite = 0x2000388;
constexpr int32_t kHandSprite = 0x58a;
constexpr int32_t kTargetSprite = 0x2001e09;

int32_t State(int slot) {
    return GetField(kPropEnemyState, slot);
}
int32_t StateTime(int slot) {
    return GetField(kPropEnemyStateTime, slot);
}
void SetZ(int slot, int32_t z) {
    SetField(kPropZ, slot, z);
    SetField(kPropFineZ, slot, static_cast<int32_t>(static_cast<uint32_t>(z) << 8));
}
void SetX(int slot, int32_t x) {
    SetField(kPropX, slot, x);
    SetField(kPropFineX, slot, static_cast<int32_t>(static_cast<uint32_t>(x) << 8));
}
void SetY(int slot, int32_t y) {
    SetField(kPropY, slot, y);
    SetField(kPropFineY, slot, static_cast<int32_t>(static_cast<uint32_t>(y) << 8));
}
uint32_t Flags(int slot) {
    return static_cast<uint32_t>(GetField(kPropFlags, slot));
}
int32_t StepToward(int32_t v, int32_t target, int32_t step) {
    if (v < target) return std::min(v + step, target);
    return std::max(v - step, target);
}

// Every class-3 object, oldest first.
template <typename F>
void ForEachStageObject(F f) {
    int s = GetField(kPropNext, kFirstClassMarker + 2);
    for (int step = 0; step < 2001 && s > 0 && s != kFirstClassMarker + 3; ++step) {
        const int next = GetField(kPropNext, s);
        if (GetField(kPropKind, s) != 0) f(s);
        s = next;
    }
}

// The point a large enemy heads or aims for: the player it follows, else the middle of the
// screen. The follow index is also the last attacker, which need not be a player at all.
void FollowPoint(int slot, int32_t* x, int32_t* y) {
    const int p = GetField(kPropTarget, slot);
    *x = 320;
    *y = 240;
    if (IsPlayerPresent(p)) GetPlayerPosition(p, x, y);
}

// A ring of sparks around (x, y).
void Ring(int32_t x, int32_t y, int layer, int count) {
    SpawnSparkRing(x, y, layer, kRingSparkSprite, count, 1200);
}

// ---------------------------------------------------------------------------------------------
// The UFO leaf

constexpr int32_t kCruiseHeight = 120;

bool IsFlyingUfoState(int32_t s) {
    return s == 0 || s == 2 || s == 4;
}

// The ground cell the beam stands on.
int32_t BeamCell(int32_t x, int32_t y) {
    return GetCellAtPixel(x, y + 32);
}

void UfoCruise(int slot, int32_t x, int32_t y, int32_t z) {
    if (z <= 119) return;
    AwardIcon(15);
    int targets = 0;
    ForEachStageObject([&](int s) {
        if (Flags(s) & kFlagTargetable) ++targets;
    });
    int below = 0;
    bool anyHeld = false;
    for (int p = 0; p < kPlayerCount; ++p) {
        if (!IsPlayerPresent(p)) continue;
        if (GetPlayerField(p, kPropPlayerAction) == 4) anyHeld = true;
        if (DistanceSqToPlayer(p, x, y) < 1024) ++below;
    }
    if (anyHeld) below = 0;
    const bool counted = (Flags(slot) & kFlagStill) != 0;
    if (counted) SetFieldBits(kPropFlags, slot, kFlagNoDeathAtZero);
    if (targets == 0 && counted) {
        SetField(kPropEnemyState, slot, 6);
        return;
    }
    if (State(slot) == 0 && below > 0) {
        SetField(kPropEnemyState, slot, 1);
        return;
    }
    if (StateTime(slot) >= 180) SetField(kPropEnemyState, slot, 2);
}

void UfoBeam(int slot, int32_t x, int32_t y, int32_t z) {
    const int32_t t = StateTime(slot);
    if (t == 0 || t == 250) PlaySe(23);
    if (t < 80) {
        // Slides onto the grid so the beam stands on one cell.
        const int32_t gx = (x + 16) / 32 * 32, gy = (y + 16) / 32 * 32;
        x = StepToward(x, gx, 1);
        y = StepToward(y, gy, 1);
        SetX(slot, x);
        SetY(slot, y);
    }
    if (t == 40 && (BeamCell(x, y) & (1 | 2 | 4 | 16 | kCellCaught))) {
        SetField(kPropEnemyState, slot, 0);
        SetField(kPropFall, slot, 0);
        return;
    }
    int32_t beam = GetField(kPropFall, slot);
    const bool shrinking = t >= 250 || (t >= 180 && beam <= 119);
    if (shrinking) {
        beam = std::max(beam - 3, 0);
    } else if (t >= 40) {
        // The beam ends on the ground: it never reaches further than the UFO is high.
        beam = std::min(beam + 3, std::max<int32_t>(z, 0));
    }
    SetField(kPropFall, slot, beam);
    if (beam > 119 && t < 250) {
        const int32_t cell = BeamCell(x, y);
        if (!(cell & kCellHole) || (cell & kCellCaught)) {
            if (t < 100) {
                for (int p = 0; p < kPlayerCount; ++p) {
                    if (!IsPlayerVulnerable(p) || GetPlayerField(p, kPropPlayerAction) == 4)
                        continue;
                    if (DistanceSqToPlayer(p, x, y + 24) >= 800) continue;
                    int32_t px, py;
                    GetPlayerPosition(p, &px, &py);
                    Ring(px, py, 20, 16);
                    SetPlayerField(p, kPropPlayerAction, 4);
                    SetPlayerField(p, kPropActionTimer, 300);
                    SetPlayerField(p, kPropDownTimer, 60);
                    SetField(kPropFall, slot, GetField(kPropFall, slot) - 24);
                    PlaySe(13);
                }
            }
        } else if (!(Flags(slot) & kFlagCaught)) {
            SetFieldBits(kPropFlags, slot, kFlagCaught);
            PlaySe(13);
        }
    }
    if (t == 249 && (Flags(slot) & kFlagCaught)) {
        const int32_t cell = BeamCell(x, y);
        if ((cell & kCellHole) && !(cell & kCellCaught)) {
            SetField(kPropEnemyState, slot, 3);
            SetField(kPropFall, slot, 0);
            return;
        }
        ClearFieldBits(kPropFlags, slot, kFlagCaught);
    }
    if (t >= 180 && GetField(kPropFall, slot) <= 0) {
        SetField(kPropFall, slot, 0);
        SetField(kPropEnemyState, slot, 2);
        for (int p = 0; p < kPlayerCount; ++p)
            if (IsPlayerPresent(p) && GetPlayerField(p, kPropPlayerAction) == 4)
                DamagePlayer(p, 200);
    }
}

void UfoDrop(int slot, int32_t x, int32_t y) {
    const int32_t t = StateTime(slot);
    const int32_t period = std::max(60 - 2 * GetGameVar(kGameVarLevel), 20);
    if (t % period == 0 && GetGameVar(kGameVarEndFrames) < 1) {
        const int leaf = SpawnStageObject(x, y - 4, 9, 8);
        if (leaf >= 0) {
            SetField(kPropVariant, leaf, 15);
            SetField(kPropFineZ, leaf, 0x7800);
            SetField(kPropZ, leaf, 120);
            SetField(kPropQueued, leaf, 240);
            SetField(kPropFall, leaf, -4);
            ClearFieldBits(kPropFlags, leaf, kFlagTargetable);
        }
        PlaySe(15);
    }
    if (t >= 149) SetField(kPropEnemyState, slot, 0);
}

void UfoInHole(int slot, int32_t z) {
    const int32_t t = StateTime(slot);
    z = std::max(z - 3, 0);
    SetZ(slot, z);
    SetField(kPropFall, slot, z);
    if (t % 16 == 0) PlaySe(13);
    if (t >= 179) {
        SetField(kPropEnemyState, slot, 4);
        ClearFieldBits(kPropFlags, slot, kFlagCaught);
        PlaySe(11);
        SpawnBlastPattern(slot, 0, 14, 0, 0, 0);
        SetGameVar(kGameVarShake, 20);
    }
}

void UfoRise(int slot, int32_t z) {
    const int32_t t = StateTime(slot);
    if (t < 120) {
        if (t & 1) SetZ(slot, z + 1);
    } else {
        if (t == 120) PlaySe(12);
        z -= 2;
        SetZ(slot, z);
        if (z < 121) SetField(kPropEnemyState, slot, 4);
    }
}

void UfoLastStanding(int slot, int32_t z) {
    const int32_t t = StateTime(slot);
    SetZ(slot, std::max(z - 4, 0));
    if (t >= 40 && t <= 129 && t % 16 == 0) {
        PlaySe(23);
        SetGameVar(kGameVarShake, 8);
        // Wakes the dormant generators sooner.
        ForEachStageObject([](int s) {
            if (GetField(kPropKind, s) != kGeneratorKind || GetField(kPropHp, s) >= 1) return;
            AddField(kPropTimer, s, 40);
            Ring(GetField(kPropX, s), GetField(kPropY, s), 20, 16);
        });
    }
    if (t >= 149) {
        SetField(kPropEnemyState, slot, 4);
        PlaySe(13);
    }
}

void UfoFade(int slot, int32_t x, int32_t y, int32_t z) {
    const int32_t t = StateTime(slot);
    SetZ(slot, z + 4);
    if (t == 0) {
        PlaySe(12);
        DetachFromParent(slot);
    }
    if (t == 60) Ring(x, y - z, 20, 32);
    if (t % 8 == 0) {
        SpawnSparkCloud(x - 32 + Random(64), y - z - 16 + Random(32), 20, kSparkSprite, 8, 600);
        PlaySe(11);
    }
    const int32_t alpha = std::min(255, 1024 - 8 * t);
    if (alpha <= 0) {
        DestroyObject(slot);
        return;
    }
    SetField(kPropColor, slot,
             static_cast<int32_t>((static_cast<uint32_t>(GetField(kPropColor, slot)) & ~0xffu) |
                                  static_cast<uint32_t>(alpha)));
}

void UfoCrash(int slot, int32_t x, int32_t y, int32_t z) {
    const int32_t t = StateTime(slot);
    if (t < 120) {
        SetX(slot, x + ((t & 1) ? -4 : 4));
        if (t & 1) SetZ(slot, z + 1);
        if (t % 8 == 0) {
            SpawnSparkCloud(x - 24 + Random(48), y - z - 8 + Random(16), 20, kSparkSprite, 8, 600);
            PlaySe(11);
        }
        return;
    }
    z -= (t - 128) / 4;
    SetZ(slot, z);
    if (z < 1) {
        SetZ(slot, 0);
        PlaySe(17);
        SetField(kPropVariant, slot, 14);
        SetField(kPropLayer, slot, 9);
        SpawnDeathEffects(slot);
        DestroyObject(slot);
    }
}

// UFOs keep apart, and at cruise height head for the player they follow.
void UfoMove(int slot, int32_t x, int32_t y, int32_t z) {
    if (!IsFlyingUfoState(State(slot))) {
        ApplyFriction(64);
        return;
    }
    ApplyFriction(32);
    const int32_t vx = GetField(kPropVelX, slot), vy = GetField(kPropVelY, slot);
    if (z < kCruiseHeight || vx != 0 || vy != 0) {
        ForEachStageObject([&](int s) {
            if (s == slot || GetField(kPropKind, s) != kUfoKind) return;
            const int32_t ox = GetField(kPropX, s), oy = GetField(kPropY, s);
            if (DistanceSq(x, y, ox, oy) >= 25600) return;
            int32_t dx = 0, dy = 0;
            // Two at one point part along a fixed line rather than not at all.
            const int32_t a =
                (ox == x && oy == y) ? (s < slot ? 0 : kAngleHalfTurn) : VectorAngle(ox, oy, x, y);
            PolarOffset(&dx, &dy, a, 64);
            AddField(kPropVelX, slot, dx);
            AddField(kPropVelY, slot, dy);
        });
    } else if (GetField(kPropAge, slot) % 64 == 0) {
        int32_t tx, ty;
        FollowPoint(slot, &tx, &ty);
        const int32_t speed = (Random(2) + 4) * 256;
        const int32_t dx = tx - x, dy = ty - y;
        if (std::abs(dx) >= std::abs(dy))
            SetField(kPropVelX, slot, dx < 0 ? -speed : speed);
        else
            SetField(kPropVelY, slot, dy < 0 ? -speed : speed);
        PlaySe(12);
    }
    if (z < kCruiseHeight) SetZ(slot, z + 1);
}

}  // namespace

void UpdateUfoLeaf(int slot) {
    SetCurrentObject(slot);
    const int32_t before = State(slot);
    int32_t x, y, z;
    GetPosition3(&x, &y, &z, slot);
    ClearCellBitsAtPixel(x, y, kCellObject);
    if (GetGameVar(kGameVarPhase) == 7) {
        if (GetField(kPropAge, slot) % 90 == 0 && GetGameVar(kGameVarEndFrames) < 300) PlaySe(10);
        ApplyFriction(64);
    } else {
        switch (before) {
            case 0:
            case 4:
                UfoCruise(slot, x, y, z);
                break;
            case 1:
                UfoBeam(slot, x, y, z);
                break;
            case 2:
                UfoDrop(slot, x, y);
                break;
            case 3:
                UfoInHole(slot, z);
                break;
            case 5:
                UfoRise(slot, z);
                break;
            case 6:
                UfoLastStanding(slot, z);
                break;
            case 98:
                UfoFade(slot, x, y, z);
                break;
            case 99:
                UfoCrash(slot, x, y, z);
                break;
            default:
                break;
        }
        if (Flags(slot) & kFlagDead) return;
        GetPosition3(&x, &y, &z, slot);
        if (z < 8) {
            SetFieldBits(kPropFlags, slot, kFlagTargetable);
            OrCellAtPixel(x, y, kCellObject);
        } else {
            ClearFieldBits(kPropFlags, slot, kFlagTargetable);
            ClearCellBitsAtPixel(x, y, kCellObject);
        }
        UfoMove(slot, x, y, z);
    }
    if (GetField(kPropHp, slot) < 1 && State(slot) != 98 && State(slot) != 99)
        SetField(kPropEnemyState, slot, (GetField(kPropVariant, slot) & 63) == 12 ? 98 : 99);
    if (State(slot) != before)
        SetField(kPropEnemyStateTime, slot, 0);
    else
        IncField(kPropEnemyStateTime, slot);
}

// ---------------------------------------------------------------------------------------------
// The big one leaf

namespace {

constexpr int32_t kHeldLife = 8000;

// Whether the row of three cells across direction dir (1..4), dist px ahead, has a wall.
bool RowBlocked(int32_t x, int32_t y, int dir, int dist) {
    for (int k = -1; k <= 1; ++k) {
        const int32_t ox = (dir == 2 || dir == 4) ? 32 * k : 0;
        const int32_t oy = (dir == 1 || dir == 3) ? 32 * k : 0;
        if (GetCellBeside(x + ox, y + oy, dir, dist) & kCellWall) return true;
    }
    return false;
}

void BigLeafLanding(int slot, int32_t x, int32_t y) {
    SpawnSparkRing(x, y, 6, kRingSparkSprite, 32, 1600);
    for (int p = 0; p < kPlayerCount; ++p)
        if (IsPlayerVulnerable(p) && DistanceSqToPlayer(p, x, y) < 2304) DamagePlayer(p, 30);
    // Whatever it lands on is crushed; it leaves itself out of the search.
    const bool targetable = (Flags(slot) & kFlagTargetable) != 0;
    ClearFieldBits(kPropFlags, slot, kFlagTargetable);
    const int under = FindObjectInClass(x, y, 32, kFlagTargetable, 3);
    if (targetable) SetFieldBits(kPropFlags, slot, kFlagTargetable);
    if (under > 0 && under != slot) DamageObject(under, -1, 400, 0);
    if (!(GetCellAtPixel(x, y) & (1 | 2 | 16 | kCellCaught))) {
        const int hatchling = SpawnStageObject(x, y, 9, 8);
        if (hatchling >= 0) {
            SetField(kPropVariant, hatchling, 12);
            SetField(kPropAttack, hatchling, 8);
        }
    }
    SetCurrentObject(slot);
}

void BigLeafRelease(int slot, int32_t x, int32_t y) {
    const int ufo = SpawnStageObject(x, y, GetField(kPropLayer, slot), 10);
    if (ufo >= 0) {
        SetField(kPropFlags, ufo, 0x2000400);
        AttachChild(ufo, slot, 0);
        SetField(kPropVariant, ufo, 12);
        SetObjectHp(ufo, kHeldLife);
        SetField(kPropZ, ufo, 200);
        SetField(kPropFineZ, ufo, 0xc800);
        SetField(kPropEnemyState, ufo, 5);
    }
    Ring(x, y - 200, 20, 64);
    PlaySe(13);
    PlaySe(12);
    // What is left is a guarded husk that lives while its UFO does.
    SetField(kPropHp, slot, 10);
    SetFieldBits(kPropFlags, slot, kFlagGuardBit | kFlagNoDeathAtZero);
    ClearFieldBits(kPropFlags, slot, kFlagBit10);
    AddField(kPropLift, slot, 1);
    SetField(kPropTimer, slot, 64);
    SetField(kPropDirection, slot, 0);
    SetCurrentObject(slot);
}

void BigLeafTurn(int slot, int32_t* x, int32_t* y, int32_t* z) {
    const int32_t age = GetField(kPropAge, slot);
    const int old = std::max(GetField(kPropDirection, slot) - 1, 0);
    int dir;
    if (GetGameVar(kGameVarPhase) == 7) {
        dir = 1;
    } else {
        if (age == 0) {
            dir = Random(3);
        } else {
            const int32_t a = AngleToPlayer(0, *x, *y);
            dir = static_cast<int>(((a + 243000) % kAngleTurn) / 54000);
        }
        for (int tries = 1; tries <= 16 && RowBlocked(*x, *y, dir + 1, 20); ++tries) {
            if (tries == 15)
                dir = (old + 2) % 4;
            else if (tries == 16)
                dir = old;
            else
                dir = (old + 3 + Random(2)) % 4;
        }
    }
    const int32_t r = Random(2);
    SetField(kPropDirection, slot, dir + 1);
    SetField(kPropSpeed17, slot, 1);
    SetField(kPropTimer, slot, 32 * (r + 1));
    *x = (*x + 16) / 32 * 32;
    *y = (*y + 16) / 32 * 32;
    SetX(slot, *x);
    SetY(slot, *y);
    const int32_t n = r + 1;
    *z = 4 * n;
    SetZ(slot, *z);
    SetField(kPropFall, slot, 1 - 4 * n);
    PlaySe(6);
}

}  // namespace

void UpdateBigOneLeaf(int slot) {
    SetCurrentObject(slot);
    int32_t x, y, z;
    GetPosition3(&x, &y, &z, slot);
    const int32_t age = GetField(kPropAge, slot);
    ClearCellBitsAtPixel(x, y, kCellObject);
    bool landed = false;
    if (z > 0) {
        z -= GetField(kPropFall, slot);
        if (age % 4 == 0) AddField(kPropFall, slot, 1);
        if (z <= 0) {
            z = 0;
            SetField(kPropFall, slot, 0);
            PlaySe(20);
            SetGameVar(kGameVarShake, 20);
            landed = true;
        }
        SetZ(slot, z);
    }
    const int32_t variant = GetField(kPropVariant, slot) & 63;
    if (variant == 1 || variant == 6) {
        if (age == 0) ClearFieldBits(kPropFlags, slot, kFlagGuardBit);
        if (GetField(kPropTimer, slot) > 0) {
            const int dir = GetField(kPropDirection, slot);
            if (dir >= 1 && dir <= 4 && !RowBlocked(x, y, dir, 16)) {
                static constexpr int32_t kDx[5] = {0, 2, 0, -2, 0};
                static constexpr int32_t kDy[5] = {0, 0, 2, 0, -2};
                x += kDx[dir];
                y += kDy[dir];
                SetX(slot, x);
                SetY(slot, y);
            }
            DecField(kPropTimer, slot);
        }
        if (landed) BigLeafLanding(slot, x, y);
        if (GetField(kPropLift, slot) < 1 && GetField(kPropHp, slot) <= kHeldLife) {
            if (age > 0 && age % 96 == 0 && z == 0)
                BigLeafRelease(slot, x, y);
            else
                SetField(kPropHp, slot, kHeldLife);
        } else if (GetField(kPropLift, slot) >= 1 && GetChild(slot, 0) < 1) {
            SetField(kPropVariant, slot, (GetField(kPropVariant, slot) & ~63) | 7);
            // Its dying count starts with the next frame.
            SetField(kPropEnemyStateTime, slot, -1);
        }
        if ((GetField(kPropVariant, slot) & 63) != 7 && GetField(kPropTimer, slot) < 1 &&
            age % 96 == 0)
            BigLeafTurn(slot, &x, &y, &z);
    } else if (variant == 7) {
        const int32_t t = GetField(kPropEnemyStateTime, slot);
        if (t < 120) {
            SetX(slot, x + ((t & 1) ? -4 : 4));
            if (t % 8 == 0) {
                SpawnSparkCloud(x - 24 + Random(48), y - 24 + Random(48), (t & 8) ? 9 : 20,
                                kSparkSprite, 8, 600);
                PlaySe(11);
            }
        } else {
            PlaySe(17);
            SpawnBlastPattern(slot, 0, 14, 0, 0, 0);
            SpawnDeathEffects(slot);
            DestroyObject(slot);
            return;
        }
    }
    SetCurrentObject(slot);
    if (z == 0) OrCellAtPixel(GetField(kPropX, slot), GetField(kPropY, slot), kCellObject);
    if (GetField(kPropBlink, slot) > 0) DecField(kPropBlink, slot);
    IncField(kPropEnemyStateTime, slot);
}

// ---------------------------------------------------------------------------------------------
// The boss

int32_t BossBodyY(int slot) {
    return GetField(kPropY, slot) + GetField(kPropZ, slot) + GetField(kPropLift, slot);
}

void GetBossArm(int slot, int i, int32_t* sx, int32_t* sy, int32_t* ex, int32_t* ey, int32_t* hx,
                int32_t* hy) {
    const int32_t x = GetField(kPropX, slot), by = BossBodyY(slot);
    const int32_t sway = GetField(kPropSway, slot);
    const int32_t j1 = GetField(kPropArm + 2 * i, slot), j2 = GetField(kPropArm + 2 * i + 1, slot);
    // The right arm's angles as they stand; the left arm is its mirror image.
    const int32_t base = i == 0 ? sway + kAngleHalfTurn : sway;
    const int32_t a1 = i == 0 ? base - j1 : base + j1;
    const int32_t a2 = i == 0 ? a1 - j2 : a1 + j2;
    *sx = x + (i == 0 ? -40 : 40);
    *sy = by + 4;
    *ex = *sx;
    *ey = *sy;
    AddPolarOffset(ex, ey, a1, kBossUpperArm);
    *hx = *ex;
    *hy = *ey;
    AddPolarOffset(hx, hy, a2, kBossForearm);
}

namespace {

// Arm poses as the right arm's two joint angles (the left one mirrors them).
struct ArmPose {
    int32_t j1, j2;
};
constexpr ArmPose kPoseHanging = {36000, 48000};
// At rest the elbows are up and the hands hang halfway down to the floor.
constexpr ArmPose kPoseRelaxed = {180000, 72000};
// Before a slam the hand is drawn up level with the body, far out to its side.
constexpr ArmPose kPoseCocked = {36000, 163200};
// The slam: straight down, the hand on the floor 80 px out from the body.
constexpr ArmPose kPoseSlam = {54000, 209700};
constexpr ArmPose kPoseSpread = {0, 0};  // stretched out sideways
constexpr ArmPose kPoseReach = {0, 0};
constexpr ArmPose kPoseDropped = {54000, 0};

// A hand about to strike glows red, pulsing, so the blow can be read in time.
void WarnWithHand(int slot, int i, bool on) {
    const int hand = GetChild(slot, i);
    if (hand < 1) return;
    const int32_t age = GetField(kPropAge, slot);
    const uint32_t alpha = static_cast<uint32_t>(GetField(kPropColor, hand)) & 0xffu;
    SetField(kPropColor, hand,
             static_cast<int32_t>((on && (age & 4) ? 0xff504000u : 0xffffff00u) | alpha));
}

int32_t TurnJoint(int32_t v, int32_t target, int32_t step) {
    // The shorter way round.
    int32_t d = NormaliseAngle(target - v);
    if (d > kAngleHalfTurn) d -= kAngleTurn;
    if (std::abs(d) <= step) return target;
    return NormaliseAngle(v + (d > 0 ? step : -step));
}

void ArmToward(int slot, int i, ArmPose pose, int32_t step) {
    SetField(kPropArm + 2 * i, slot, TurnJoint(GetField(kPropArm + 2 * i, slot), pose.j1, step));
    SetField(kPropArm + 2 * i + 1, slot,
             TurnJoint(GetField(kPropArm + 2 * i + 1, slot), pose.j2, step));
}
void ArmsToward(int slot, ArmPose pose, int32_t step) {
    ArmToward(slot, 0, pose, step);
    ArmToward(slot, 1, pose, step);
}

bool IsFullFight() {
    return !(GetConfigVar(kCfgNewGameCount) > 0 || GetGameVar(kGameVarDifficulty) < 1 ||
             (GetConfigVar(kCfgRunFlags) & 32));
}

int32_t AimX(int slot) {
    int32_t x, y;
    FollowPoint(slot, &x, &y);
    return IsPlayerPresent(GetField(kPropTarget, slot)) ? x : 320;
}

void SetState(int slot, int32_t s) {
    SetField(kPropEnemyState, slot, s);
}

// A projectile of type 15 from the boss.
int SpawnBossShot(int32_t x, int32_t y, int layer, int32_t sprite, int32_t scale, int32_t angle,
                  int32_t speed) {
    const int s = SpawnStageObject(x, y, layer, 15);
    if (s < 0) return -1;
    SetField(kPropDrawWord, s, sprite);
    SetField(kPropScale, s, scale);
    SetVelocityByAngle(s, angle, speed, 0);
    return s;
}

// Phase 0: it drifts toward the player it follows and lets things fall on the field.
void BossDrift(int slot, bool projectiles) {
    const int32_t t = StateTime(slot);
    const int32_t x = GetField(kPropX, slot);
    if (GetField(kPropHp, slot) <= 90000) {
        SetField(kPropVelX, slot, 0);
        const int32_t nx = StepToward(x, 320, 16);
        SetX(slot, nx);
        if (nx == 320) {
            SetState(slot, 7);
            SetFieldBits(kPropFlags, slot, kFlagGuardBit);
            PlaySe(25);
        }
        return;
    }
    if (t % 60 == 0) SetField(kPropAimX, slot, AimX(slot));
    int32_t vx = GetField(kPropVelX, slot);
    vx += GetField(kPropAimX, slot) > x ? 64 : -64;
    SetField(kPropVelX, slot, std::clamp(vx, -2048, 2048));
    if (t < 30 && t % 4 == 0) {
        if (!projectiles) {
            const int32_t k = Random(3);
            const int leaf = SpawnStageObject(x + 32 * (Random(12) - 6), 320 + 32 * k, 9, 8);
            if (leaf >= 0) {
                SetField(kPropVariant, leaf, 15);
                SetZ(leaf, 120 - 32 * k);
                SetField(kPropFall, leaf, -8);
                SetField(kPropAttack, leaf, 32);
                SetObjectHp(leaf, 800);
            }
            PlaySe(15);
        } else {
            const int s = SpawnBossShot(x, BossBodyY(slot) + 48, 9, 0x2000388, 1500,
                                        108000 + Random(108000), 2400);
            if (s >= 0) {
                SetFieldBits(kPropFlags, s, kFlagHoming);
                SetObjectHp(s, 240);
                SetField(kPropAttack, s, GetGameVar(kGameVarLevel) + 20);
                SetField(kPropVelX + 5, s, (Random(4) - 2) * 6000);
                SetField(kPropTarget, s, std::max(GetField(kPropTarget, slot), 0) & 3);
            }
        }
    }
    if (t >= 90 && x > 160 && x < 480) {
        SetField(kPropVelX, slot, 0);
        SetState(slot, 3 + Random(3));
    }
}

void BossStamp(int slot, bool full) {
    (void)full;
    const int32_t t = StateTime(slot);
    const int32_t x = GetField(kPropX, slot);
    int32_t z = GetField(kPropZ, slot);
    if (t == 0) {
        SetField(kPropVelX, slot, 0);
        SetField(kPropPose, slot, 0);
    }
    if (t < kStampRiseFrames) {
        // It rises where it stands: the shadow on the floor shows where it comes down.
        SetZ(slot, z - 1);
        return;
    }
    if (GetField(kPropPose, slot) == 0) {
        z = std::min(z + 32, 0);
        SetZ(slot, z);
        if (z < 0) return;
        SetField(kPropPose, slot, 1);
        SetGameVar(kGameVarShake, 30);
        PlaySe(11);
        const int32_t ly = GetField(kPropY, slot) + GetField(kPropLift, slot);
        for (int r = 0; r < kStampRings; ++r) {
            const int32_t radius = StampRingRadius(r);
            for (int pass = 0; pass < 2; ++pass) {
                const int32_t step = kAngleTurn / kStampRingCounts[r];
                for (int k = 0; k < kStampRingCounts[r]; ++k) {
                    int32_t bx = x, by = ly;
                    AddPolarOffset(&bx, &by, k * step + pass * step / 2, radius);
                    const int b = SpawnBlast(bx, by, 1, 4 * r + 8 * pass);
                    if (b >= 0) SetField(kPropAttack, b, 40);
                }
            }
        }
        for (int p = 0; p < kPlayerCount; ++p)
            if (IsPlayerVulnerable(p) && DistanceSqToPlayer(p, x, ly) < 48 * 48)
                DamagePlayer(p, 200);
        SetCurrentObject(slot);
        return;
    }
    z = std::max(z - 4, -120);
    SetZ(slot, z);
    if (z <= -120) SetState(slot, 3 + Random(3));
}

void BossRetract(int slot) {
    const int32_t t = StateTime(slot);
    int32_t lift = std::max(GetField(kPropLift, slot) - 2, 0);
    SetField(kPropLift, slot, lift);
    if (t & 1) SetZ(slot, GetField(kPropZ, slot) + 1);
    if (t < 60 && t % 8 == 0) PlaySe(25);
    ArmsToward(slot, kPoseRelaxed, 1500);
    if (lift > 0) return;
    for (int i = 0; i < 2; ++i) {
        int32_t sx, sy, ex, ey, hx, hy;
        GetBossArm(slot, i, &sx, &sy, &ex, &ey, &hx, &hy);
        const int hand = SpawnStageObject(hx, hy, GetField(kPropLayer, slot), 9);
        if (hand < 0) continue;
        SetField(kPropDrawWord, hand, kHandSprite);
        // The boss draws its hands at the ends of its arms.
        SetFieldBits(kPropFlags, hand, kFlagNotDrawn);
        SetObjectHp(hand, 100000);
        FadeInObject(hand, 0);
        AttachChild(hand, slot, i);
    }
    SetCurrentObject(slot);
    SetField(kPropQueued, slot, 17);
    PlaySe(13);
    SetGameVar(kGameVarShake, 30);
    SetState(slot, 8);
}

void BossHub(int slot) {
    const int32_t t = StateTime(slot);
    ArmsToward(slot, kPoseRelaxed, 3000);
    SetField(kPropSway, slot, TurnJoint(GetField(kPropSway, slot), 0, 600));
    SetZ(slot, StepToward(GetField(kPropZ, slot), -30, 1));
    if (GetGameVar(kGameVarPhase) == 7) {
        SetState(slot, 14);
        return;
    }
    if (t < 30) return;
    if (GetField(kPropHp, slot) <= 40000 && GetGameVar(kGameVarEndFrames) < 1) {
        SetState(slot, 18);
        PlaySe(17);
        SetGameVar(kGameVarShake, 30);
        return;
    }
    // Aimed before a queued attack is taken too, so a queued slam comes down on the player.
    SetField(kPropSpeedUp, slot, std::min(GetGameVar(kGameVarLevel), 30));
    const int32_t px = AimX(slot);
    SetField(kPropAimX, slot, px);
    const int32_t queued = GetField(kPropQueued, slot);
    if (queued > 0) {
        SetField(kPropQueued, slot, 0);
        SetState(slot, queued);
        if (queued == 16) {
            const int32_t a = Random(2), b = (a + 1 + Random(1)) % 3;
            SetField(kPropAimX, slot, a * 16 + b);
        }
        return;
    }
    int32_t next;
    const int32_t dx = std::abs(px - GetField(kPropX, slot));
    if (Random(2) == 0) {
        next = 9 + Random(3);
    } else if (dx < 48 || dx > 96) {
        static constexpr int32_t kFar[5] = {9, 10, 15, 16, 17};
        next = kFar[Random(4)];
    } else {
        next = 11 + Random(1);
    }
    if (next == 16) {
        const int32_t a = Random(2), b = (a + 1 + Random(1)) % 3;
        SetField(kPropAimX, slot, a * 16 + b);
    }
    SetState(slot, next);
    PlaySe(23);
}

// The slam of hand i at the column under it.
void SlamColumn(int slot, int i, int32_t damage) {
    int32_t sx, sy, ex, ey, hx, hy;
    GetBossArm(slot, i, &sx, &sy, &ex, &ey, &hx, &hy);
    const int32_t y = GetField(kPropY, slot);
    for (int k = 0; k < 5; ++k) {
        const int32_t cy = y + 280 + 32 * k;
        SpawnSparkCloud(hx, cy, 20, kSparkSprite, 6, 800);
        for (int p = 0; p < kPlayerCount; ++p)
            if (IsPlayerVulnerable(p) && DistanceSqToPlayer(p, hx, cy) < 800)
                DamagePlayer(p, damage);
    }
    SetCurrentObject(slot);
}

void BossSlam(int slot, int i) {
    const int32_t t = StateTime(slot);
    const int32_t windup = std::max(60 - GetField(kPropSpeedUp, slot), 10);
    if (t < windup) {
        // The hand is drawn up and the body moves over its mark: the slam can be read.
        ArmToward(slot, i, kPoseCocked, 6000);
        ArmToward(slot, 1 - i, kPoseRelaxed, 3000);
        WarnWithHand(slot, i, true);
        const int32_t target = GetField(kPropAimX, slot) + (i == 0 ? 80 : -80);
        SetX(slot, StepToward(GetField(kPropX, slot), std::clamp(target, 80, 560), 4));
        return;
    }
    ArmToward(slot, i, kPoseSlam, 24000);
    WarnWithHand(slot, i, false);
    if (t == windup + 4) {
        SetGameVar(kGameVarShake, 30);
        PlaySe(11);
        SlamColumn(slot, i, 80);
        SetField(kPropExpression, slot, 16);
        if (Random(2) == 0) SetState(slot, 8);
    }
    if (t >= windup + 4 + 30) SetState(slot, 8);
}

void BossDoubleSlam(int slot) {
    const int32_t t = StateTime(slot);
    const int32_t s = State(slot);
    if (t < 15) {
        ArmsToward(slot, kPoseCocked, 12000);
        WarnWithHand(slot, 0, true);
        WarnWithHand(slot, 1, true);
        // One hand comes down on the mark: the left one in state 11, the right in 12.
        const int32_t target = GetField(kPropAimX, slot) + (s == 11 ? 80 : -80);
        SetX(slot, StepToward(GetField(kPropX, slot), std::clamp(target, 80, 560), 6));
        return;
    }
    ArmsToward(slot, kPoseSlam, 24000);
    WarnWithHand(slot, 0, false);
    WarnWithHand(slot, 1, false);
    if (t == 19) {
        SetGameVar(kGameVarShake, 30);
        PlaySe(11);
        const int32_t damage = GetGameVar(kGameVarLevel) + 40;
        SlamColumn(slot, 0, damage);
        SlamColumn(slot, 1, damage);
        SetField(kPropExpression, slot, 16);
    }
    if (t >= 34) {
        if (Random(4) == 0) {
            SetState(slot, 8);
        } else {
            SetField(kPropAimX, slot, AimX(slot));
            SetState(slot, 11 + Random(1));
            // The same state again starts its count afresh.
            if (State(slot) == s) SetField(kPropEnemyStateTime, slot, -1);
        }
    }
}

void BossFrozen(int slot) {
    const int32_t t = StateTime(slot);
    ArmsToward(slot, kPoseDropped, 3000);
    SetField(kPropSway, slot, static_cast<int32_t>(6000 * std::sin(t * kPi / 7)));
    SetField(kPropExpression, slot, 24);
    if (t % 30 == 0) PlaySe(23);
    if (t == 30) PlaySe(10);
    if (GetGameVar(kGameVarPhase) != 7 && GetGameVar(kGameVarEndFrames) < 1) SetState(slot, 8);
}

void BossSweep(int slot) {
    const int32_t t = StateTime(slot);
    const int32_t raise = 40 - GetField(kPropSpeedUp, slot) / 3;
    if (t == 0) SetField(kPropAimX, slot, AimX(slot) > GetField(kPropX, slot) ? 560 : 80);
    if (t < raise) {
        // Arms spread wide before the rush.
        ArmsToward(slot, kPoseSpread, 8000);
        return;
    }
    const int32_t x = StepToward(GetField(kPropX, slot), GetField(kPropAimX, slot), 4);
    SetX(slot, x);
    const int s = SpawnBossShot(x, BossBodyY(slot) + 80, 20, (t & 1) ? 0x2000381 : 0x2000380, 3000,
                                48000 + Random(12000), 2400);
    if (s >= 0) {
        SetField(kPropAttack, s, GetGameVar(kGameVarLevel) + 30);
        FadeOutObjectAfter(s, 20);
    }
    SetCurrentObject(slot);
    if (t >= 119) SetState(slot, 8);
}

void BossRows(int slot) {
    const int32_t t = StateTime(slot);
    const int32_t rows = GetField(kPropAimX, slot);
    const int32_t a = (rows >> 4) % 3, b = (rows & 15) % 3;
    if (t < 60) {
        ArmToward(slot, 0, {static_cast<int32_t>(196000 - 8000 * a), 60000}, 4000);
        ArmToward(slot, 1, {static_cast<int32_t>(196000 - 8000 * b), 60000}, 4000);
        SetX(slot, StepToward(GetField(kPropX, slot), 320, 4));
    } else if (t < 90) {
        if (t == 60) PlaySe(11);
        ArmsToward(slot, kPoseReach, 6000);
    } else if (t >= 180 && t < 210) {
        ArmsToward(slot, kPoseRelaxed, 6000);
        if (t == 209) {
            PlaySe(13);
            SetGameVar(kGameVarShake, 20);
        }
    } else if (t >= 210 && t < 216) {
        ArmsToward(slot, kPoseRelaxed, 40000);
    }
    if (t == 120) {
        const int32_t ya = 384 - 48 * (a - 1), yb = 384 - 48 * (b - 1);
        const int ra = SpawnMovingSprite(-80, ya, 10, 0x100092d, 0, 16 * 256);
        if (ra >= 0) AddTweenAt(ra, kTweenEndObject, 56);
        const int rb = SpawnMovingSprite(720, yb, 10, 0x92d, kAngleHalfTurn, 16 * 256);
        if (rb >= 0) AddTweenAt(rb, kTweenEndObject, 56);
        for (int k = 0; k < 50; ++k) {
            const int b1 = SpawnBlast(-80 + 16 * k + Random(32) - 16, ya + Random(32) - 16, 1, k);
            if (b1 >= 0) SetField(kPropAttack, b1, 60);
            const int b2 = SpawnBlast(720 - 16 * k + Random(32) - 16, yb + Random(32) - 16, 1, k);
            if (b2 >= 0) SetField(kPropAttack, b2, 60);
        }
        SetCurrentObject(slot);
    }
    if (t >= 120 && t <= 169 && (t - 120) % 8 == 0) {
        SetGameVar(kGameVarShake, 16);
        PlaySe(11);
    }
    if (t >= 220) SetState(slot, 8);
}

void BossVolley(int slot) {
    const int32_t t = StateTime(slot);
    if (t < 30) {
        ArmsToward(slot, kPoseCocked, 8000);
        return;
    }
    if (t <= 118) {
        const int s = SpawnBossShot(GetField(kPropX, slot), BossBodyY(slot) + 16, 9, 0x2000388,
                                    2000, Random(kAngleTurn - 1), 2400);
        if (s >= 0) {
            SetFieldBits(kPropFlags, s, kFlagHoming | kFlagDiesOutside);
            SetObjectHp(s, 240);
            SetField(kPropQueued, s, 200);
            SetField(kPropAttack, s, 30);
            SetField(kPropVelX + 5, s, (Random(4) - 2) * 6000);
            SetField(kPropTarget, s, std::max(GetField(kPropTarget, slot), 0) & 3);
            FadeOutObjectAfter(s, 120);
        }
        SetCurrentObject(slot);
        PlaySe(26);
        return;
    }
    SetState(slot, 8);
}

void KillBossChildren(int slot) {
    for (int i = 0; i < kChildLinks; ++i) {
        const int c = GetChild(slot, i);
        if (c > 0) DestroyObject(c);
    }
}

void BossPhaseChange(int slot, bool full) {
    const int32_t t = StateTime(slot);
    const int32_t x = GetField(kPropX, slot);
    if (t == 0) KillBossChildren(slot);
    if (t < 30) {
        ArmsToward(slot, kPoseDropped, 4000);
        if (!full)
            SetField(
                kPropHp, slot,
                std::max(GetField(kPropHp, slot) - 1200, std::min(100, GetField(kPropHp, slot))));
    }
    if (t < 240) {
        SetX(slot, x + ((t & 2) ? -2 : 2));
        if (t % 8 == 0) {
            SpawnSparkCloud(x - 48 + Random(96), BossBodyY(slot) - 32 + Random(64), 20,
                            kSparkSprite, 8, 800);
            PlaySe(11);
        }
        if (t == 208) FlashScreen();
        SetCurrentObject(slot);
        return;
    }
    PlaySe(17);
    SetGameVar(kGameVarWeather, 5);
    StopWeatherEffect();
    SetCurrentObject(slot);
    if (!full) {
        AddField(kPropHp, slot, -120000);
        return;
    }
    SetPosition3(320, 80, -240, slot);
    SetField(kPropLift, slot, 0);
    ClearFieldBits(kPropFlags, slot, kFlagGuardBit);
    PlayBgmWithTitle(10);
    for (int p = 0; p < kPlayerCount; ++p)
        if (IsPlayerPresent(p)) AddScore(p, 100000);
    ForEachStageObject([](int s) {
        if (GetField(kPropKind, s) == kEventControlKind && (GetField(kPropVariant, s) & 7) == 3)
            DestroyObject(s);
    });
    int s = GetField(kPropNext, kListHead);
    for (int step = 0; step < 2001 && s > 0 && s != kListTail; ++step) {
        const int next = GetField(kPropNext, s);
        if (GetField(kPropKind, s) == kCompanionKind) SetFieldBits(kPropFlags, s, kFlagDead);
        s = next;
    }
    for (int p = 0; p < kPlayerCount; ++p) SetGameVar(kGameVarCompanions + p, 0);
    SetCurrentObject(slot);
    SetState(slot, 19);
}

void BossSecondHub(int slot) {
    const int32_t t = StateTime(slot);
    SetField(kPropSway, slot, TurnJoint(GetField(kPropSway, slot), 0, 1200));
    SetX(slot, StepToward(GetField(kPropX, slot), 320, 4));
    SetZ(slot, StepToward(GetField(kPropZ, slot), 0, 2));
    ArmsToward(slot, kPoseRelaxed, 3000);
    // It gathers itself at the middle for a moment before the next attack.
    if (t < 40 || GetField(kPropX, slot) != 320 || GetField(kPropZ, slot) != 0) return;
    const int32_t queued = GetField(kPropQueued, slot);
    SetField(kPropQueued, slot, 0);
    SetState(slot, queued > 0 ? queued : 20 + Random(3));
}

void SpawnSatellite(int slot, int i) {
    const int32_t x = GetField(kPropX, slot);
    const int32_t y = GetField(kPropY, slot) - GetField(kPropZ, slot) + 40;
    const int s = SpawnStageObject(x, y, GetField(kPropLayer, slot), 9);
    if (s < 0) return;
    SetField(kPropDrawWord, s, kHandSprite);
    FadeInObject(s, 0);
    SetObjectHp(s, 240);
    ClearFieldBits(kPropFlags, s, kFlagNoDeathAtZero);
    FadeOutObjectAfter(s, 400);
    SetField(kPropDirection, s, Random(kAngleTurn - 1));
    const int32_t spin = (Random(1) ? 600 : 1200) * (Random(1) ? 1 : -1);
    SetField(kPropQueued, s, spin);
    SetField(kPropSpinOrX, s, x);
    SetField(kPropOriginY, s, y);
    AttachChild(s, slot, i);
}

void BossSwing(int slot) {
    const int32_t t = StateTime(slot);
    const int32_t s = State(slot);
    const double c = std::cos(t * kPi / 120), sn = std::sin(t * kPi / 120);
    SetX(slot, 320 + static_cast<int32_t>((s == 20 ? 200 : -200) * c));
    SetField(kPropSway, slot, NormaliseAngle(static_cast<int32_t>(9000 * sn)));
    ArmsToward(slot, kPoseSpread, 3000);
    if (t % 12 == 0) {
        PlaySe(27);
        for (int i = 0; i < 9; ++i) {
            if (GetChild(slot, i) > 0) continue;
            SpawnSatellite(slot, i);
            break;
        }
        for (int i = 9; i < kChildLinks; ++i)
            if (GetChild(slot, i) < 1) SpawnSatellite(slot, i);
        SetCurrentObject(slot);
    }
    if (GetField(kPropHitFlash, slot) > 0) {
        SetField(kPropQueued, slot, 24);
        SetState(slot, 19);
    } else if (t >= 480) {
        if (GetField(kPropQueued, slot) < 1) SetField(kPropQueued, slot, 22 + Random(1));
        SetState(slot, 19);
    }
}

void BossBombs(int slot) {
    const int32_t t = StateTime(slot);
    const int32_t s = State(slot);
    const double c = std::cos(t * kPi / 35);
    const int32_t x = 320 + static_cast<int32_t>((s == 22 ? 160 : -160) * c);
    SetX(slot, x);
    SetField(kPropSway, slot, NormaliseAngle(GetField(kPropSway, slot) + 600));
    if (t % 30 == 0) {
        const int32_t row = 352 + 32 * Random(3);
        if (!(GetCellAtPixel(x, row) & kCellHole)) {
            const int b = SpawnBossShot(x, BossBodyY(slot) + 80, 20, 0x2000382, 1000, 0, 0);
            if (b >= 0) {
                SetField(kPropVelY, b, 1024);
                SetField(kPropRadius, b, 32);
                SetField(kPropAttack, b, 20);
                SetField(kPropVelX + 5, b, Random(1) ? 12000 : -12000);
                SetField(kPropFall, b, row);
            }
            PlaySe(26);
            SetCurrentObject(slot);
        }
    }
    if (GetField(kPropHitFlash, slot) > 0) {
        SetField(kPropQueued, slot, 24);
        SetState(slot, 19);
    } else if (t >= 400) {
        if (GetField(kPropQueued, slot) < 1) SetField(kPropQueued, slot, 20 + Random(1));
        SetState(slot, 19);
    }
}

void BossTargets(int slot) {
    const int32_t t = StateTime(slot);
    SetField(kPropSway, slot, NormaliseAngle(GetField(kPropSway, slot) - 600));
    if (t == 0) SetField(kPropTimer, slot, 0);
    if (t < 120) {
        if (GetField(kPropTimer, slot) <= 0) {
            SetField(kPropTimer, slot, std::max(30 - t / 4, 4));
            PlaySe(14);
            const int32_t delay = 150 - t;
            for (int p = 0; p < kPlayerCount; ++p) {
                if (!IsPlayerVulnerable(p)) continue;
                int32_t tx = 64 + 32 * Random(17), ty = 352 + 32 * Random(3);
                if (Random(3) == 0) GetPlayerPosition(p, &tx, &ty);
                const int mark = SpawnSprite(tx, ty, 6, kTargetSprite);
                if (mark >= 0) {
                    SetFieldBits(kPropFlags, mark, kFlagAnimated);
                    SetField(kPropScale, mark, 3000);
                    FadeOutObjectAfter(mark, std::max(delay - 33, 0));
                }
                const int c = SpawnBlast(tx, ty, 1, delay);
                if (c >= 0) SetField(kPropAttack, c, 40);
                for (int pass = 0; pass < 2; ++pass)
                    for (int k = 0; k < 3; ++k) {
                        int32_t bx = tx, by = ty;
                        AddPolarOffset(&bx, &by, k * 72000 + pass * 36000, 32);
                        const int b = SpawnBlast(bx, by, 1, delay + 8 * pass);
                        if (b >= 0) SetField(kPropAttack, b, 40);
                    }
            }
            SetCurrentObject(slot);
        }
        DecField(kPropTimer, slot);
    }
    if (t == 150) {
        const int r = SpawnScreenRect(20, static_cast<int32_t>(0xff0000ffu));
        if (r >= 0) FadeOutObjectAfter(r, 0);
        PlaySe(17);
        SetCurrentObject(slot);
    }
    if (t >= 180) SetState(slot, 19);
}

// Before the second form the hands hang from the arms and pass their losses to the body.
void BossHands(int slot) {
    for (int i = 0; i < 2; ++i) {
        const int hand = GetChild(slot, i);
        if (hand < 1) continue;
        int32_t sx, sy, ex, ey, hx, hy;
        GetBossArm(slot, i, &sx, &sy, &ex, &ey, &hx, &hy);
        SetPosition3(hx, hy, 0, hand);
        if (State(slot) >= 18) SetField(kPropLayer, hand, 3);
        const int32_t hp = GetField(kPropHp, hand);
        if (hp < 100000) {
            // A loss from a crush or the game's own clearing is nobody's.
            int32_t attacker = GetField(kPropAttacker, hand);
            if (attacker < 0 || attacker >= kPlayerCount) attacker = -1;
            DamageObject(slot, attacker, 100000 - hp, 1);
            SetField(kPropHp, hand, 100000);
        }
    }
}

// From the second form on every child flies out on a widening spiral, and goes off when a
// player comes near.
void BossSatellites(int slot) {
    for (int i = 0; i < kChildLinks; ++i) {
        const int c = GetChild(slot, i);
        if (c < 1) continue;
        const int32_t age = GetField(kPropAge, c);
        int32_t x = GetField(kPropSpinOrX, c), y = GetField(kPropOriginY, c);
        const int32_t a = static_cast<int32_t>(
            (int64_t{GetField(kPropDirection, c)} + int64_t{GetField(kPropQueued, c)} * age) %
            kAngleTurn);
        AddPolarOffset(&x, &y, a, 2 * age);
        SetPosition3(x, y, 0, c);
        // Above the area's top it shrinks to nothing rather than turning inside out.
        SetField(kPropScale, c, std::max<int32_t>(0, y * 1000 / 480));
        for (int p = 0; p < kPlayerCount; ++p) {
            if (!IsPlayerVulnerable(p) || DistanceSqToPlayer(p, x, y) >= 4000) continue;
            SpawnBlastPattern(c, p, 6, 1, 40, 0);
            PlaySe(11);
            DestroyObject(c);
            break;
        }
    }
    SetCurrentObject(slot);
}

}  // namespace

void UpdateBoss(int slot) {
    SetCurrentObject(slot);
    const bool full = IsFullFight();
    const int32_t before = State(slot);
    const int32_t age = GetField(kPropAge, slot);
    if (age >= 31) {
        if (before < 7) {
            SetField(kPropHp, slot, std::max(GetField(kPropHp, slot), 90000));
        } else if (before <= 17 && full) {
            SetField(kPropHp, slot, std::max(GetField(kPropHp, slot), 40000));
            SetGameVar(kGameVarSkyOverride, 5);
        }
    }
    if (before >= 18 && before != 99 && GetField(kPropHp, slot) < 1) {
        SetState(slot, 99);
        SetField(kPropEnemyStateTime, slot, 0);
        return;
    }
    if (GetField(kPropExpression, slot) > 0) DecField(kPropExpression, slot);
    if (GetGameVar(kGameVarPhase) == 7 && before >= 8 && before <= 17 && before != 14) {
        SetState(slot, 14);
    } else {
        const int32_t t = StateTime(slot);
        switch (before) {
            case 0:
                if (t == 0) {
                    SetZ(slot, -480);
                    SetField(kPropLift, slot, 0);
                    SetField(kPropArm, slot, kPoseHanging.j1);
                    SetField(kPropArm + 1, slot, kPoseHanging.j2);
                    SetField(kPropArm + 2, slot, kPoseHanging.j1);
                    SetField(kPropArm + 3, slot, kPoseHanging.j2);
                    PlayBgmWithTitle(full ? 4 : 10);
                    SetCurrentObject(slot);
                }
                if (t >= 60) SetState(slot, 1);
                break;
            case 1: {
                const int32_t lift = std::min(GetField(kPropLift, slot) + 2, 360);
                SetField(kPropLift, slot, lift);
                SetZ(slot, GetField(kPropZ, slot) + 2);
                if (lift >= 360) {
                    SetState(slot, 2);
                    PlaySe(12);
                }
                break;
            }
            case 2:
                if (t >= 60) {
                    PlaySe(13);
                    SetField(kPropExpression, slot, 32);
                    Ring(GetField(kPropX, slot), BossBodyY(slot) + 48, 20, 16);
                    SetCurrentObject(slot);
                    SetFieldBits(kPropFlags, slot, kFlagTargetable);
                    SetState(slot, 6);
                }
                break;
            case 6:
                if (t >= 30) SetState(slot, 3 + Random(3));
                break;
            case 3:
                BossDrift(slot, false);
                break;
            case 5:
                BossDrift(slot, true);
                break;
            case 4:
                BossStamp(slot, full);
                break;
            case 7:
                BossRetract(slot);
                break;
            case 8:
                BossHub(slot);
                break;
            case 9:
            case 10:
                BossSlam(slot, before - 9);
                break;
            case 11:
            case 12:
                BossDoubleSlam(slot);
                break;
            case 14:
                BossFrozen(slot);
                break;
            case 15:
                BossSweep(slot);
                break;
            case 16:
                BossRows(slot);
                break;
            case 17:
                BossVolley(slot);
                break;
            case 18:
                BossPhaseChange(slot, full);
                break;
            case 19:
                BossSecondHub(slot);
                break;
            case 20:
            case 21:
                BossSwing(slot);
                break;
            case 22:
            case 23:
                BossBombs(slot);
                break;
            case 24:
                BossTargets(slot);
                break;
            default:
                break;
        }
    }
    SetCurrentObject(slot);
    const int32_t now = State(slot);
    if (now < 19) {
        BossHands(slot);
    } else if (now < 99) {
        BossSatellites(slot);
        SpawnSpark(GetField(kPropX, slot), BossBodyY(slot) - 24, 4, kRingSparkSprite,
                   kAngleTurn * 3 / 4, 512, 1000);
        SetCurrentObject(slot);
    }
    if (now != before)
        SetField(kPropEnemyStateTime, slot, 0);
    else
        IncField(kPropEnemyStateTime, slot);
}

void InstallLargeEnemyRoutines() {
    ObjectRoutineTable[kStageObjectRoutines + 10] = &UpdateUfoLeaf;
    ObjectRoutineTable[kStageObjectRoutines + 12] = &UpdateBigOneLeaf;
    ObjectRoutineTable[kStageObjectRoutines + 14] = &UpdateBoss;
}

}  // namespace velmora
