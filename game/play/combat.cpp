#include "game/play/combat.h"

#include <cmath>

#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/sound_cue.h"
#include "game/core/tween.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace velmora {

// clang-format off
const int32_t kStageTypeTable[kStageTypeCount][kStageTypeWords] = {
    {0,  0x00000000, 0, 0,    0,      0,  0,   0, 0,  0, 0, 0, 0, 0, 0, 0},
    {1,  0x02800000, 0, 0,    1200,   32, 80,  0, 60, 0, 0, 0, 0, 0, 0, 8},
    {0,  0x00000000, 0, 0,    0,      0,  0,   0, 0,  0, 0, 0, 0, 0, 0, 0},
    {3,  0x02002000, 0, 0,    0,      0,  0,   0, 0,  0, 0, 0, 0, 0, 0, 0},
    {4,  0x02002000, 0, 0,    999999, 36, 100, 0, 0,  0, 0, 0, 0, 0, 0, 6},
    {5,  0x02800000, 0, 0,    1200,   32, 80,  0, 60, 0, 0, 0, 0, 0, 0, 6},
    {6,  0x02000000, 0, 0,    999999, 32, 0,   0, 0,  0, 0, 0, 0, 0, 0, 1},
    {7,  0x02003000, 0, 7680, 999999, 24, 0,   0, 0,  0, 0, 0, 0, 0, 0, 0},
    {8,  0x00800000, 0, 7680, 240,    24, 2,   9, 0,  0, 0, 0, 0, 0, 0, 1},
    {9,  0x02800000, 0, 0,    1600,   32, 2,   0, 0,  0, 0, 0, 0, 0, 0, 0},
    {10, 0x00800000, 0, 7680, 3200,   48, 80,  9, 0,  0, 0, 0, 0, 0, 0, 12},
    {11, 0x00800200, 0, 7680, 240,    24, 2,   9, 32, 0, 0, 0, 0, 0, 0, 1},
    {12, 0x00800100, 0, 7684, 3200,   24, 80,  9, 0,  0, 0, 0, 0, 0, 0, 1},
    {13, 0x00800100, 0, 0,    999999, 24, 0,   0, 0,  0, 0, 0, 0, 0, 0, 0},
    {14, 0x00000400, 0, 0,    28000,  80, 0,   0, 0,  0, 0, 0, 0, 0, 0, 0},
    {15, 0x00800000, 0, 0,    24,     24, 0,   5, 0,  0, 0, 0, 0, 0, 0, 0},
};

const int32_t kEditorTypeRemap[kEditorIndexCount] = {
    0, 1, 9, 4, 4, 8, 10, 7, 11, 3, 5, 12, 13, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0,  0, 0,  0, 0, 0,  0,  0, 14, 7,
};
// clang-format on

namespace {

constexpr int kSearchSteps = 2001;
constexpr int kSpawnTries = 20;
constexpr int kPropTypeWords = 32;  // 32..39
constexpr int kPropItemKind = 31;

int MarkerOf(int objectClass) {
    return kFirstClassMarker + objectClass;
}

bool IsMarker(int slot) {
    return GetField(kPropKind, slot) == kListNodeKind;
}

// Releases the oldest effect or panel object (classes 5 and 6) without the keep flag.
void EvictOne() {
    int slot = GetField(kPropNext, MarkerOf(4));
    for (int step = 0; step < kSearchSteps && slot != MarkerOf(6) && slot != kListTail; ++step) {
        if (!IsMarker(slot) && !(static_cast<uint32_t>(GetField(kPropFlags, slot)) & kFlagKeep)) {
            ReleaseSlot(slot);
            return;
        }
        slot = GetField(kPropNext, slot);
    }
}

}  // namespace

int StageTypeOfEditorIndex(int index) {
    if (index < 0 || index >= kEditorIndexCount) return 0;
    return kEditorTypeRemap[index];
}

int SpawnStageObject(int32_t x, int32_t y, int32_t layer, int type) {
    if (static_cast<uint32_t>(GetGameVar(kGameVarMasterFlags)) & kMasterNoStageSpawn) return -1;
    if (type < 1 || type >= kStageTypeCount) return -1;
    const int32_t* row = kStageTypeTable[type];
    int slot = -1;
    for (int attempt = 0; attempt < kSpawnTries && slot < 0; ++attempt) {
        if (attempt > 0) EvictOne();
        slot = SpawnObject(x, y, layer, row[2], 0x30000000 | row[0]);
    }
    if (slot < 0) return -1;
    if (row[2] < 1) SetField(kPropDrawWord, slot, type + 32);
    SetField(kPropRadius, slot, row[5]);
    SetField(kPropAttack, slot, GetGameVar(kGameVarLevel) + row[6]);
    SetObjectHp(slot, row[4]);
    SetFieldBits(kPropFlags, slot, static_cast<uint32_t>(row[1]));
    for (int i = 0; i < 8; ++i) SetField(kPropTypeWords + i, slot, row[8 + i]);
    return slot;
}

void DamageObject(int slot, int attacker, int32_t damage, int32_t power) {
    int32_t dealt;
    if (static_cast<uint32_t>(GetField(kPropFlags, slot)) & kFlagGuard) {
        if (power < 1 && attacker > -2) {
            PlaySe(0);  // blocked
            return;
        }
        dealt = damage + power;
    } else {
        dealt = damage - power / 4;
        if (dealt < 2) dealt = 2;
    }
    AddField(kPropHp, slot, -dealt);
    SetField(kPropHitFlash, slot, 30);
    SetField(kPropAttacker, slot, attacker);
    if (power < 1) {
        SetField(kPropBlastPower, slot, 0);
        SetGameVar(kGameVarMasterFlags,
                   static_cast<int32_t>(static_cast<uint32_t>(GetGameVar(kGameVarMasterFlags)) |
                                        kMasterPlainHit));
    } else if (power > GetField(kPropBlastPower, slot)) {
        SetField(kPropBlastPower, slot, power);
    }
}

void DestroyObject(int slot) {
    ClearCellBitsAtPixel(GetField(kPropX, slot), GetField(kPropY, slot), 16);
    SetFieldBits(kPropFlags, slot, kFlagDead);
    const int parent = GetParent(slot);
    if (parent > 0 && GetField(kPropLiveChildren, parent) > 0)
        AddField(kPropLiveChildren, parent, -1);
}

void DestroyAllStageObjects() {
    // Only real objects are hit: the marker opening the run is not one, so an empty stage keeps
    // its plain-hit flag clear.
    int slot = GetField(kPropNext, MarkerOf(2));
    for (int step = 0; step < kSearchSteps && slot != MarkerOf(3) && slot != kListTail; ++step) {
        const int next = GetField(kPropNext, slot);
        if (!IsMarker(slot) &&
            !(static_cast<uint32_t>(GetField(kPropFlags, slot)) & kFlagSurvivesClearing)) {
            ClearFieldBits(kPropFlags, slot, kFlagNoDeathAtZero);
            DamageObject(slot, -2, 999999, 0);
        }
        slot = next;
    }
}

void ScatterFieldItems(int32_t x, int32_t y, int count, int32_t kind) {
    int ringSize = 1, index = 0;
    int32_t radius = 0, angle = 54000;
    for (int k = 0; k < count; ++k) {
        int32_t ix = x, iy = y;
        AddPolarOffset(&ix, &iy, angle, radius);
        const int slot = SpawnStageObject(ix, iy, 9, 7);
        if (slot > 0) {
            SetField(kPropItemKind, slot, kind);
            FadeInObject(slot, 0);
            SetField(47, slot, -7);
            SetField(kPropFineZ, slot, 2048);
            SetField(kPropZ, slot, 8);
        }
        angle += 216000 / ringSize;
        if (++index == ringSize) {
            index = 0;
            radius += 32;
            ringSize = ringSize == 1 ? 6 : ringSize == 6 ? 8 : ringSize + 4;
        }
    }
}

void ApplyFriction(int32_t amount) {
    for (int n : {kPropVelX, kPropVelY}) {
        const int32_t v = GetCurrentField(n);
        if (v < amount && v > -amount)
            SetCurrentField(n, 0);
        else
            SetCurrentField(n, v > 0 ? v - amount : v + amount);
    }
}

int SpawnBlast(int32_t x, int32_t y, int mode, int32_t delay) {
    int slot;
    if (mode == 1 || mode == 2) {
        slot = SpawnObject(x, y, 9, mode == 1 ? 936 : 944, 0x2000000f);
        if (slot >= 0) SetField(kPropAttack, slot, 8);
    } else {
        slot = SpawnSprite(x, y, 9, 928);
    }
    if (slot < 0) return -1;
    SetField(kPropZ, slot, y + 48);  // its draw depth once depth comes from z
    if (delay > 0) {
        SetFieldBits(kPropFlags, slot, kFlagNotDrawn);
        AddTweenValue(slot, kTweenClearFlag, delay, 1, 28);
    }
    AddTweenValue(slot, kTweenSetFlags, delay, 1, 0x20008000);
    AddTweenAt(slot, kTweenEndObject, delay + 32);
    return slot;
}

int SpawnHitArea(int32_t x, int32_t y, int32_t radius) {
    const int slot = SpawnObject(x, y, 12, 0, 0x40000000);
    if (slot < 0) return -1;
    SetField(kPropRadius, slot, radius);
    SetFieldBits(kPropFlags, slot, 0x10200000u);
    AddTweenAt(slot, kTweenEndObject, 2);
    return slot;
}

void KillChildrenAndTweens(int slot) {
    for (int i = 0; i < kChildLinks; ++i) {
        const int child = GetChild(slot, i);
        if (child < 1) continue;
        FreeObjectTweens(child);
        SetFieldBits(kPropFlags, child, kFlagDead);
    }
}

bool CheckPlayerReach(int p, int32_t x, int32_t y, int32_t limit, bool kill) {
    if (DistanceSqToPlayer(p, x, y) >= limit) return false;
    if (kill) SetCurrentFieldBits(kPropFlags, kFlagDead);
    return true;
}

namespace {

constexpr int32_t kBlastStep = 24;
constexpr int32_t kRingSpriteWord = 0x2001e09;
constexpr int32_t kMaxRingRadius = 320;

bool IsPlayerIndex(int p) {
    return p >= 0 && p < kPlayerCount;
}

bool IsWall(int32_t x, int32_t y) {
    return (GetCellAtPixel(x, y) & 4) != 0;
}

// Places the blasts of one pattern; every blast it makes carries the attacker.
struct BlastPlacer {
    int attacker;
    int mode;
    int32_t attack;
    int32_t power;

    // A blast of the pattern proper: the attack value, and in mode 2 the power.
    void Place(int32_t x, int32_t y, int32_t delay) const {
        const int slot = SpawnBlast(x, y, mode, delay);
        if (slot < 0) return;
        SetField(kPropAttack, slot, attack);
        if (mode == 2) SetField(kPropBlastPower, slot, power);
        SetField(kPropAttacker, slot, attacker);
    }
    // The single centre blast keeps what SpawnBlast gave it.
    void PlaceCentre(int32_t x, int32_t y, int32_t delay) const {
        const int slot = SpawnBlast(x, y, mode, delay);
        if (slot >= 0) SetField(kPropAttacker, slot, attacker);
    }
    // Ring positions on a wall give no blast in a player's blast.
    void PlaceInRing(int32_t x, int32_t y, int32_t delay) const {
        if (mode == 2 && IsWall(x, y)) return;
        Place(x, y, delay);
    }

    // One at the origin, then two passes of three around it: the first with the centre, the
    // second 8 frames later.
    void Star(int32_t ox, int32_t oy, int32_t a, int32_t delay) const {
        Place(ox, oy, delay);
        const int32_t radius = power / 4 + 32;
        int32_t angle = a;
        for (int pass = 0; pass < 2; ++pass) {
            for (int k = 0; k < 3; ++k) {
                int32_t x = ox, y = oy;
                AddPolarOffset(&x, &y, angle, radius);
                PlaceInRing(x, y, delay + 8 * pass);
                angle += 72000;
            }
            angle += 36000;
        }
    }

    // Rings of 3 and then 4 at 32 and 64 px, each in two passes 4 frames apart.
    void Rings(int32_t ox, int32_t oy, int32_t a, int32_t delay) const {
        int32_t angle = a;
        for (int ring = 1; ring <= 2; ++ring) {
            const int32_t n = ring + 2;
            for (int pass = 0; pass < 2; ++pass) {
                delay += 4;
                for (int k = 0; k < n; ++k) {
                    int32_t x = ox, y = oy;
                    AddPolarOffset(&x, &y, angle + k * (kAngleTurn / n), 32 * ring);
                    PlaceInRing(x, y, delay);
                }
                if (pass == 0) angle += kAngleHalfTurn / n;
            }
            angle += kAngleQuarterTurn / n;
        }
    }

    // A line of `steps` blasts 24 px apart, 8 frames apart, the origin only `withOrigin`. The
    // second wall met ends the line (when `wallsEnd`); the answer is whether it did, and
    // (*ex, *ey, *edelay) the last point reached.
    bool Line(int32_t ox, int32_t oy, int32_t a, bool withOrigin, int steps, bool wallsEnd,
              int32_t* ex, int32_t* ey, int32_t* edelay) const {
        int walls = 0;
        if (ex) *ex = ox, *ey = oy, *edelay = 0;
        for (int i = 0; i < steps; ++i) {
            if (i == 0 && !withOrigin) continue;
            int32_t x = ox, y = oy;
            AddPolarOffset(&x, &y, a, kBlastStep * i);
            if (wallsEnd && IsWall(x, y) && ++walls >= 2) return true;
            Place(x, y, 8 * i);
            if (ex) *ex = x, *ey = y, *edelay = 8 * i;
        }
        return false;
    }
};

int32_t IntSqrt(int32_t v) {
    if (v < 1) return 0;
    int64_t r = static_cast<int64_t>(std::sqrt(static_cast<double>(v)));
    while (r * r > v) --r;
    while ((r + 1) * (r + 1) <= v) ++r;
    return static_cast<int32_t>(r);
}

}  // namespace

void SpawnBlastPattern(int slot, int p, int pattern, int mode, int32_t attack, int32_t power) {
    int32_t ox, oy;
    GetPosition(&ox, &oy, slot);
    int32_t a = IsPlayerPresent(p) ? AngleToPlayer(p, ox, oy) : kAngleHalfTurn;
    pattern &= 15;
    if (mode == 2) {
        a += kAngleHalfTurn;
        if (pattern >= 8 && pattern <= 13) pattern = 0;
    }
    const BlastPlacer placer{p, mode, attack, power};
    switch (pattern) {
        case 4:
            placer.Line(ox, oy, a, a < 1, mode == 2 ? 8 : 16, true, nullptr, nullptr, nullptr);
            break;
        case 5:
        case 6:
        case 14:
            placer.PlaceCentre(ox, oy, 0);
            placer.Rings(ox, oy, a, 0);
            break;
        case 8: {
            int32_t ex, ey, delay;
            placer.Line(ox, oy, a, a < 1, 8, true, &ex, &ey, &delay);
            SpawnDelayedBurst(ex, ey, delay, 16);
            placer.Rings(ex, ey, a, delay);
            break;
        }
        case 9:
            if (mode == 1) {
                PlaySe(14);
                placer.Place(ox, oy, 0);
                // A player who takes no part leaves the origin where it is.
                if (IsPlayerPresent(p)) GetPlayerPosition(p, &ox, &oy);
                SpawnDelayedBurst(ox, oy, 60, 16);
                const int mark = SpawnSprite(ox, oy, 6, kRingSpriteWord);
                if (mark >= 0) {
                    SetFieldBits(kPropFlags, mark, kFlagAnimated);
                    AddTweenAt(mark, kTweenEndObject, 92);
                }
                placer.Star(ox, oy, a, 60);
            } else {
                placer.Star(ox, oy, a, 0);
            }
            break;
        case 10: {
            placer.PlaceCentre(ox, oy, 0);
            int32_t delay = 60;
            PlaySe(14);
            SpawnDelayedBurst(ox, oy, delay, 0);
            // The ring follows the player's distance, but no further than a screen's half width:
            // a far player would otherwise get a ring of hundreds of blasts.
            int32_t radius = IsPlayerPresent(p) ? IntSqrt(DistanceSqToPlayer(p, ox, oy)) : 0;
            if (radius < 64) radius = 64;
            if (radius > kMaxRingRadius) radius = kMaxRingRadius;
            for (int ring = 0; ring < 2; ++ring) {
                const int32_t n = 6 * radius / 32;
                for (int k = 0; k < n; ++k) {
                    int32_t x = ox, y = oy;
                    AddPolarOffset(&x, &y, a + k * (kAngleTurn / n), radius);
                    if (mode == 2 && IsWall(x, y)) continue;
                    placer.Place(x, y, delay);
                    const int mark = SpawnSprite(x, y, 6, kRingSpriteWord);
                    if (mark >= 0) {
                        SetFieldBits(kPropFlags, mark, kFlagAnimated);
                        AddTweenAt(mark, kTweenEndObject, delay + 32);
                    }
                }
                radius += 32;
                delay += 8;
            }
            break;
        }
        case 1:
        case 3:
        case 7:
        case 11:
        case 12:
            for (int k = 0; k < 5; ++k)
                placer.Line(ox, oy, a + k * kAngleQuarterTurn, a < 1, 4, mode == 2, nullptr,
                            nullptr, nullptr);
            break;
        default:  // 0, 2, 13, 15
            placer.Star(ox, oy, a, 0);
            break;
    }
}

void SpawnDeathEffects(int slot) {
    const int p = GetField(kPropAttacker, slot);
    const int32_t power = GetField(kPropBlastPower, slot);
    const int32_t items = GetField(kPropTypeWords + 7, slot);
    const int pattern = GetField(kPropItemKind, slot) & 15;
    int32_t x, y;
    GetPosition(&x, &y, slot);
    if (power < 1) {
        if (GetField(kPropMaxHp, slot) <= 999)
            SpawnBlast(x, y, 0, 0);
        else
            SpawnBlastPattern(slot, p, pattern, 0, 0, 0);
        if (IsPlayerPresent(p) && GetPlayerField(p, kPropInvincible) > 0) {
            AddGameVar(kGameVarChain, 1);
            SetGameVar(kGameVarChainTimer, 120);
            if (items > 0) ScatterFieldItems(x, y, items, 16);
        }
    } else {
        // Only a real player's shot level strengthens the blast.
        const int32_t attack = IsPlayerIndex(p) ? 2 * GetGameVar(kGameVarShotLevel + p) + 8 : 8;
        SpawnBlastPattern(slot, p, pattern, 2, attack, power + 1);
        if (items > 0) ScatterFieldItems(x, y, items, power / 4 + 17 < 23 ? power / 4 + 17 : 23);
        // Every blast kill chains, whoever set the blast off.
        AddGameVar(kGameVarChain, 1);
        SetGameVar(kGameVarChainTimer, 120);
    }
    PlaySe(11);
}

void KillStageObject(int slot) {
    const int type = GetField(kPropKind, slot) & 0xffff;
    if (type < 1 || type >= kStageTypeCount) return;
    const int32_t* row = kStageTypeTable[type];
    const int p = GetField(kPropAttacker, slot);
    const int32_t power = GetField(kPropBlastPower, slot);
    SpawnDeathEffects(slot);
    if (row[7] > 0) PlaySe(row[7]);
    if (row[6] > 0 && IsPlayerPresent(p)) AddScore(p, (power / 4 + 1) * row[6]);
    if (type == 11) AwardIcon(28);
    DestroyObject(slot);
}

namespace {

struct EmitterRecord {
    int32_t x = 0, y = 0, layer = 12, draw = 0, unused = 0;
    int32_t direction = 0, speed = 0, ways = 1, step = 0, rows = 1;
    int32_t silence = 0, spare[3] = {};
    int32_t lifetime = 0;
    uint32_t flags = 0x20200000;
};

EmitterRecord g_emitter;

void FireEmitterShot(int32_t angle, int32_t speed, int32_t draw) {
    const int slot = SpawnMovingObject(g_emitter.x, g_emitter.y, g_emitter.layer, draw, angle,
                                       speed, 0x40000000);
    if (slot >= 0) InitEmitterShot(slot);
}

}  // namespace

void SetUpEmitter(int32_t x, int32_t y, int32_t draw, int32_t direction, int32_t speed) {
    g_emitter = EmitterRecord{};
    g_emitter.x = x;
    g_emitter.y = y;
    g_emitter.draw = draw;
    g_emitter.direction = direction;
    g_emitter.speed = speed;
    // A shot lives as long as it takes to cross 1024 px.
    g_emitter.lifetime = speed == 0 ? 1024 : 0x40000 / (speed < 0 ? -speed : speed);
}

// n >= 1 spreads a full ring of n ways; -n sprays n shots at random within the step.
void SetEmitterWays(int32_t n) {
    g_emitter.ways = n;
    if (n >= 1) g_emitter.step = kAngleTurn / n;
}

void FireEmitter() {
    if (g_emitter.silence < 0) return;
    const uint32_t savedFlags = g_emitter.flags;
    int32_t draw = g_emitter.draw;
    if (draw < 1) {
        g_emitter.flags |= kFlagNotDrawn;
        draw = 0;
    }
    if (g_emitter.ways >= 0) {
        int32_t speed = g_emitter.speed;
        for (int r = 0; r < g_emitter.rows; ++r) {
            int32_t angle = g_emitter.direction - (g_emitter.ways - 1) * g_emitter.step / 2;
            for (int k = 0; k < g_emitter.ways; ++k, angle += g_emitter.step)
                FireEmitterShot(angle, speed, draw);
            speed += g_emitter.speed / 10;
        }
    } else {
        for (int k = 0; k < -g_emitter.ways; ++k)
            FireEmitterShot(g_emitter.direction - g_emitter.step / 2 + Random(g_emitter.step),
                            g_emitter.speed + Random(g_emitter.speed), draw);
    }
    g_emitter.flags = savedFlags;
}

void InitEmitterShot(int slot) {
    SetField(kPropFlags, slot, static_cast<int32_t>(g_emitter.flags));
    SetField(kPropHp, slot, g_emitter.lifetime);
    if (!(g_emitter.flags & kFlagAngleFollows)) SetField(kPropAngle, slot, 0);
}

}  // namespace velmora
