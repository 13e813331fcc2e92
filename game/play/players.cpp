#include "game/play/players.h"

#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/sound_cue.h"
#include "game/core/tween.h"
#include "game/play/combat.h"
#include "game/play/object_utils.h"
#include "game/play/stage.h"

namespace velmora {

int32_t g_playerSlots[kPlayerCount];

const int32_t kCharacterSpeed[kCharacterCount] = {4, 5, 4, 3};
const int32_t kExtraLifeStep[kCharacterCount] = {100000, 100000, 100000, 1000};
const int32_t kStartingLives[kCharacterCount] = {3, 3, 3, 9};

namespace {

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
    return p >= 0 && p < kPlayerCount && GetGameVar(kGameVarLives + p) > 0;
}

bool CanPlayerBeHit(int p) {
    if (!IsPlayerPresent(p)) return false;
    const int slot = Slot(p);
    return GetField(kPropDownTimer, slot) < 1 && GetField(kPropHp, slot) >= 1 &&
           GetField(kPropZ, slot) < 1 && GetField(kPropPlayerAction, slot) != 4;
}

bool IsPlayerVulnerable(int p) {
    const int32_t phase = GetGameVar(kGameVarPhase);
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

namespace {

constexpr uint32_t kTargetable = 0x800000;
constexpr int32_t kSparkleSprite = 0x20004a4;
constexpr int32_t kExitTile = 55;
constexpr uint32_t kEndOfReplay = 0x50455245u;

// Direction 0..7 (angle d * 27000) of the four direction bits; -1 stands still.
constexpr int kDirectionOfButtons[16] = {-1, 2, 4, 3, 0, 1, -1, 2, 6, -1, 5, 4, 7, 0, 6, -1};

int32_t Toward(int32_t v, int32_t target, int32_t step) {
    if (v < target) return v + step < target ? v + step : target;
    if (v > target) return v - step > target ? v - step : target;
    return v;
}

int32_t Sign(int32_t v) {
    return (v > 0) - (v < 0);
}

void Step(int d, int32_t s, int32_t* mx, int32_t* my) {
    static constexpr int kX[8][2] = {{1, 0},  {1, -1}, {0, 0}, {-1, 1},
                                     {-1, 0}, {-1, 1}, {0, 0}, {1, -1}};
    static constexpr int kY[8][2] = {{0, 0}, {1, -1}, {1, 0},  {1, -1},
                                     {0, 0}, {-1, 1}, {-1, 0}, {-1, 1}};
    *mx = kX[d][0] * s + kX[d][1];
    *my = kY[d][0] * s + kY[d][1];
}

void FrontPoint(int32_t x, int32_t y, int32_t facing, int32_t* fx, int32_t* fy) {
    *fx = x;
    *fy = y + 8;
    AddPolarOffset(fx, fy, facing * 9000, 32);
}

bool CornersAllBlock(int32_t x, int32_t y) {
    return (GetCellAtPixel(x - 12, y - 4) & 3) && (GetCellAtPixel(x - 12, y + 16) & 3) &&
           (GetCellAtPixel(x + 12, y - 4) & 3) && (GetCellAtPixel(x + 12, y + 16) & 3);
}

// The sparkle around an aura: a short animated sprite at a random angle and distance.
void SpawnSparkle(int32_t x, int32_t y, int32_t r) {
    int32_t sx = x, sy = y;
    AddPolarOffset(&sx, &sy, Random(kAngleTurn), r + Random(r));
    const int s = SpawnSprite(sx, sy, 20, kSparkleSprite);
    if (s < 0) return;
    SetFieldBits(kPropFlags, s, kFlagAnimated);
    AddTweenAt(s, kTweenEndObject, 16);
}

void HitNearestTarget(int32_t x, int32_t y, int32_t r, int attacker, int32_t damage) {
    const int t = FindObjectInClass(x, y, r, kTargetable, 3);
    if (t > 0) DamageObject(t, attacker, damage, 0);
}

// Exits and switches under the player. An exit or switch number of 0, or a switch over 16,
// names nothing and is ignored.
void TakeCellEvent(int32_t x, int32_t y) {
    const uint32_t cell = static_cast<uint32_t>(GetCellAtPixel(x, y));
    if (cell & kCellSpawn) return;
    const int index = (cell >> kCellObjectShift) & 0xff;
    const int variant = (cell >> kCellVariantShift) & 0x7f;
    if (index == 2) {
        if (variant < 1) return;
        if (((cell >> kCellTileShift) & 0xff) == kExitTile) {
            SetGameVar(kGameVarPhase, 3);
            PlaySe(12);
        } else {
            SetGameVar(kGameVarPhase, 2);
            PlaySe(16);
        }
        SetGameVar(kGameVarExit, variant - 1);
        SetGameVar(kGameVarPhaseTime, 0);
    } else if (index == 3 || index == 4) {
        if (variant < 1 || variant > 16) return;
        const uint32_t bit = 0x10000u << (variant - 1);
        const uint32_t sw = static_cast<uint32_t>(GetGameVar(kGameVarSwitches));
        SetGameVar(kGameVarSwitches, static_cast<int32_t>(index == 3 ? sw | bit : sw & ~bit));
    }
}

}  // namespace

int SpawnPlayer(int32_t x, int32_t y, int p, int c) {
    p &= 3;
    c &= 3;
    const int slot = SpawnObject(x, y, 9, 8 + c, 0x20000008 + c);
    g_playerSlots[p] = slot;
    if (slot < 0) return -1;
    SetFieldBits(kPropFlags, slot, kFlagKeep);
    SetField(kPropPlayerIndex, slot, p);
    SetField(kPropCharacter, slot, c);
    SetField(kPropAngle, slot, 6);  // facing down
    SetField(kPropSpeed, slot, kCharacterSpeed[c]);
    return slot;
}

void PushOutOfCells(int32_t* x, int32_t* y, int32_t mask, bool twice) {
    static constexpr int kCorner[4][4] = {
        {-12, -4, 1, 1}, {-12, 16, 1, -1}, {12, -4, -1, 1}, {12, 16, -1, -1}};
    const int32_t second = twice ? mask : 2;
    for (int pass = 0; pass < 8; ++pass) {
        int32_t sx = 0, sy = 0;
        for (const auto& k : kCorner) {
            const int32_t cell = GetCellAtPixel(*x + k[0], *y + k[1]);
            if (cell & mask) sx += k[2], sy += k[3];
            if (cell & second) sx += k[2], sy += k[3];
        }
        *x += Sign(sx);
        *y += Sign(sy);
    }
}

uint32_t UpdatePlayerCommon(uint32_t* last) {
    int32_t x, y, z;
    GetCurrentPosition3(&x, &y, &z);
    const int p = GetCurrentField(kPropPlayerIndex) & 3;
    const int32_t state = GetCurrentField(kPropPlayerAction);
    const uint32_t lastWord = static_cast<uint32_t>(GetCurrentField(kPropLastButtons));
    if (last) *last = lastWord;
    uint32_t word = GetReplayInput();
    bool movable = false;

    SetCurrentField(kPropShownHp,
                    Toward(GetCurrentField(kPropShownHp), GetCurrentField(kPropHp), 1));
    SetCurrentField(kPropShownMaxHp,
                    Toward(GetCurrentField(kPropShownMaxHp), GetCurrentField(kPropMaxHp), 1));

    const int32_t phase = GetGameVar(kGameVarPhase);
    const int32_t down = GetCurrentField(kPropDownTimer);
    if (down > 0 && !(down == 1 && GetGameVar(kGameVarLives + p) < 1 && phase != 7)) {
        if (DecCurrentField(kPropDownTimer) == 0) SetCurrentField(kPropAge, 0);
    }

    switch (phase) {
        case 2:
        case 5:
        case 6: {
            if (phase == 2) word = lastWord & 15;  // keeps walking the way it went
            movable = GetCurrentField(kPropDownTimer) < 1;
            const int32_t invincible = GetCurrentField(kPropInvincible);
            if (invincible > 0) {
                if (DecCurrentField(kPropInvincible) == 0)
                    PlayBgmWithTitle(GetAreaWord(kAreaWordMusic));
                HitNearestTarget(x, y, 40, p, 400);
            }
            break;
        }
        case 3:
            x = Toward(x, CellCentre(x), 1);
            y = Toward(y, CellCentre(y) - 8, 1);
            SetCurrentField(kPropAngle, (GetCurrentField(kPropAngle) + 2) % 24);  // spinning
            word = 0;
            break;
        case 7:
            if (GetCurrentField(kPropDownTimer) < 1) {
                SetGameVar(kGameVarPhase, GetGameVar(kGameVarTimeLeft) >= 1 ? 5 : 6);
                SetCurrentField(kPropHp, GetCurrentField(kPropMaxHp));
                SetCurrentField(kPropPlayerAction, 0);
                SetCurrentField(kPropActionTimer, 0);
                z = 0;
            }
            break;
        case 8:
            return 0;
        default:
            break;
    }

    if (state != 0) {
        const int32_t t = GetCurrentField(kPropActionTimer);
        int32_t fx, fy;
        FrontPoint(x, y, GetCurrentField(kPropAngle), &fx, &fy);
        if (state == 2 && t < 1) OrCellAtPixel(fx, fy, kCellHole);
        if (state == 4) movable = false;
        if (state == 5) {
            z += (t - 16) / 2;
            if (z < 0) z = 0;
        }
        if (t < 1) {
            SetCurrentField(kPropPlayerAction, 0);
            z = 0;
        } else {
            movable = false;
        }
    }

    if (GetCurrentField(kPropGuardTimer) > 0) DecCurrentField(kPropGuardTimer);
    SetCurrentField(kPropLastButtons, static_cast<int32_t>(word));
    if (word == kEndOfReplay) return 0;

    const int32_t mask = z > 0 ? 0x34 : 0x33;

    if (movable) {
        int32_t s = GetCurrentField(kPropSpeed);
        if ((word & kButtonShot) && s >= 4) --s;
        if ((word & 15) == 0) {
            if ((word & kButtonDirection) && !(word & kButtonShot)) {
                x = Toward(x, CellCentre(x), s);
                y = Toward(y, CellCentre(y), s);
            }
            SetCurrentField(kPropWalkCount, 0);
        } else {
            int32_t mx = 0, my = 0;
            const int d = kDirectionOfButtons[word & 15];
            if (d >= 0) {
                Step(d, s, &mx, &my);
                if (!(word & kButtonDirection)) {
                    const int32_t a = TurnToward(GetCurrentField(kPropAngle) * 9000, d * 27000,
                                                 (word & kButtonShot) ? 9000 : 54000);
                    SetCurrentField(kPropAngle, NormaliseAngle(a) / 9000);
                }
            }
            if (CornersAllBlock(x, y)) mx = my = 0;
            x += mx;
            y += my;
            IncCurrentField(kPropWalkCount);
        }
    } else {
        word = 0;
    }

    PushOutOfCells(&x, &y, mask, false);
    SetCurrentPosition3(x, y, z);

    const int32_t nowPhase = GetGameVar(kGameVarPhase);
    if (nowPhase == 5 || nowPhase == 6) TakeCellEvent(x, y);

    if (GetCurrentField(kPropActionTimer) > 0) DecCurrentField(kPropActionTimer);
    if (GetCurrentField(kPropItemTimer) > 0) DecCurrentField(kPropItemTimer);
    FollowCameraX(x, -1);
    FollowCameraY(y, -1);
    return word;
}

void UpdateCharacter1(int) {
    UpdatePlayerCommon(nullptr);
}

void UpdateCharacter2(int) {
    UpdatePlayerCommon(nullptr);
}

void UpdateCharacter0(int slot) {
    uint32_t last = 0;
    const uint32_t word = UpdatePlayerCommon(&last);
    if (GetField(kPropActionTimer, slot) >= 1 || GetField(kPropInvincible, slot) >= 1) return;
    int32_t x, y;
    GetPosition(&x, &y, slot);
    const int p = GetField(kPropPlayerIndex, slot) & 3;
    const int32_t facing = GetField(kPropAngle, slot);
    int32_t fx, fy;
    FrontPoint(x, y, facing, &fx, &fy);
    const bool newSub = (word & kButtonSubAction) && !(last & kButtonSubAction);
    if (!newSub) {
        if (word & kButtonShot) {
            const int32_t n = GetGameVar(kGameVarShotLevel + p) + 3;
            // Each player's shots reach as far as its own range.
            const int32_t lifetime = GetGameVar(kGameVarShotRange + p) + 12;
            int32_t angle = facing * 9000 - (n - 1) * 9000 / 2;
            for (int k = 0; k < n; ++k, angle += 9000) SpawnPlayerShot(x, y, angle, lifetime, p, 1);
            SetField(kPropActionTimer, slot, 6);
            PlaySe(5);
        }
    } else if ((word & (kButtonShot | kButtonDirection)) != (kButtonShot | kButtonDirection)) {
        const uint32_t cell = static_cast<uint32_t>(GetCellAtPixel(fx, fy));
        if (cell & kCellHole) {
            SetField(kPropPlayerAction, slot, 3);
            ClearCellBitsAtPixel(fx, fy, kCellHole);
            SetField(kPropActionTimer, slot, 12);
            PlaySe(5);
        } else if (!(cell & 0x36) && !(cell & 0x80000000u)) {
            SetField(kPropPlayerAction, slot, 2);  // the hole opens when the timer runs out
            SetField(kPropActionTimer, slot, 12);
            PlaySe(5);
        }
    }
    if ((word & kButtonDirection) || (word & 15) == 0)
        IncField(kPropCursorHold, slot);
    else
        SetField(kPropCursorHold, slot, 0);
    const int32_t cx = CellCentre(fx), cy = CellCentre(fy);
    if (GetField(kPropCursorHold, slot) >= 2) {
        SetField(kPropCursorX, slot, Toward(GetField(kPropCursorX, slot), cx, 4));
        SetField(kPropCursorY, slot, Toward(GetField(kPropCursorY, slot), cy, 4));
    } else {
        SetField(kPropCursorX, slot, cx);
        SetField(kPropCursorY, slot, cy);
    }
}

void UpdateCharacter3(int slot) {
    uint32_t last = 0;
    const uint32_t word = UpdatePlayerCommon(&last);
    int32_t x, y;
    GetPosition(&x, &y, slot);
    const int p = GetField(kPropPlayerIndex, slot) & 3;
    int32_t r = 16;
    bool sparkle = false;
    if (GetField(kPropActionTimer, slot) < 1) {
        if (word & kButtonShot) {
            HitNearestTarget(x, y, 48, p, 8);
            sparkle = true;
            r = 24;
        }
        if ((word & kButtonDirection) && !(last & kButtonDirection)) {
            SetField(kPropDownTimer, slot, 60);
            SetField(kPropGuardTimer, slot, 240);
            SpawnBlastPattern(slot, p, 0, 2, 2 * GetGameVar(kGameVarShotLevel + p) + 8, 1);
            AddGameVar(kGameVarLives + p, -1);
            SetGameVar(kGameVarChainTimer, 120);
            PlaySe(11);
        }
    }
    if (GetField(kPropDownTimer, slot) < 1 && ((GetField(kPropAge, slot) & 7) == 0 || sparkle))
        SpawnSparkle(x, y, r);
}

void DamagePlayer(int p, int32_t damage) {
    p &= 3;
    const int slot = Slot(p);
    if (GetField(kPropInvincible, slot) > 0) return;
    const int32_t difficulty = GetGameVar(kGameVarDifficulty);
    if (difficulty < 1) damage /= 2;
    damage -= 2 * GetGameVar(kGameVarArmour + p);
    int32_t floor = GetField(kPropMaxHp, slot) / 10;
    if (floor < 2) floor = 2;
    if (damage < floor) damage = floor;
    if (difficulty >= 2) damage = 1000;
    int32_t hp = GetField(kPropHp, slot) - damage;
    if (hp >= 1) {
        SetField(kPropGuardTimer, slot, 120);
        int32_t x, y;
        GetPosition(&x, &y, slot);
        SpawnPopIcon(x, y - 32, 20, 190);
    } else {
        if (GetGameVar(kGameVarPhase) < 9) {
            SetField(kPropDownTimer, slot, 120);
            SetGameVar(kGameVarPhase, 7);
            SetField(kPropGuardTimer, slot, 240);
            if (p == 3) SpawnBlast(GetField(kPropX, slot), GetField(kPropY, slot), 0, 0);
            hp = 0;
        } else {
            hp = GetField(kPropMaxHp, slot);
        }
        AddGameVar(kGameVarLives + p, -1);
        const int32_t level = GetGameVar(kGameVarLevel) - 4;
        SetGameVar(kGameVarLevel, level > 0 ? level : 0);
    }
    SetField(kPropHp, slot, hp);
}

namespace {

void FollowCamera(int var, int32_t target, int32_t screen, int32_t cells, int32_t n) {
    const int32_t max = cells * 32 - (screen + 32);
    if (static_cast<int64_t>(screen) > static_cast<int64_t>(max) * 32) {
        SetGameVar(var, max / 2);  // negative on a narrow area: centred
        return;
    }
    target -= screen / 2;
    if (target > max) target = max;
    if (target < 0) target = 0;
    if (n < 1) {
        SetGameVar(var, target);
        return;
    }
    int32_t v = GetGameVar(var);
    for (int32_t i = 0; i < n && v != target; ++i) v += v < target ? 1 : -1;
    SetGameVar(var, v);
}

}  // namespace

void FollowCameraX(int32_t tx, int32_t n) {
    int w = 0, h = 0, aw = 0, ah = 0;
    GetScreenExtent(&w, &h);
    GetAreaSize(&aw, &ah);
    FollowCamera(kGameVarCameraX, tx, w, aw, n);
}

void FollowCameraY(int32_t ty, int32_t n) {
    int w = 0, h = 0, aw = 0, ah = 0;
    GetScreenExtent(&w, &h);
    GetAreaSize(&aw, &ah);
    FollowCamera(kGameVarCameraY, ty, h, ah, n);
}

}  // namespace velmora
