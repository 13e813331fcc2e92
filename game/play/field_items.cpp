// Field items: hidden ones dug up or blasted free, drops that fly to a near player and fade,
// and what each kind does when a player takes it.
#include <utility>

#include "game/core/config.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/sound_cue.h"
#include "game/core/tween.h"
#include "game/play/combat.h"
#include "game/play/draw.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"
#include "game/play/stage_devices.h"

namespace velmora {

namespace {

constexpr int kPropFallSpeed = 47;
constexpr int kPropFade = 46;  // drop frames counted towards vanishing, read by its draw
constexpr int kPropTarget = 30;
constexpr int kItemNameText = 176;
constexpr int32_t kRingSparkSprite = 0x2000388;
constexpr int32_t kFellowSprite = 1418;
constexpr int32_t kPlainWhite = static_cast<int32_t>(0xFFFFFFFFu);
constexpr int32_t kPaleWhite = static_cast<int32_t>(0xCFFFFFFFu);

constexpr uint32_t kHiddenBit = 0x40;
constexpr int kFirstDrop = 16;
constexpr int kLastDrop = 23;
constexpr int kFirstIcon = 32;
constexpr int kLastIcon = 63;

constexpr int32_t kDropPoints[8] = {4, 12, 16, 24, 32, 40, 50, 64};

void RisingNumber(int32_t x, int32_t y, int32_t layer, int32_t value, int32_t color) {
    SpawnRisingText(x, y, layer, kDrawKindNumber, value, color);
}

// A level game variable one step up to its cap; at the cap the points instead.
void LevelUpOrPoints(int p, int var, int32_t cap, int32_t x, int32_t y, int32_t points,
                     int32_t color) {
    if (GetGameVar(var + p) < cap) {
        AddGameVar(var + p, 1);
        return;
    }
    AddScore(p, points);
    RisingNumber(x, y, 22, points * 10, color);
}

void Reveal(int slot, int32_t x, int32_t y) {
    SetField(kPropVariant, slot, GetField(kPropVariant, slot) & ~static_cast<int32_t>(kHiddenBit));
    FadeInObject(slot, 0);
    SetField(kPropFallSpeed, slot, -7);
    SetField(kPropFineZ, slot, 8 * 256);
    SetField(kPropZ, slot, 8);
    PlaySe(6);
    ClearCellBitsAtPixel(x, y, kCellHole);
    SpawnSparkRing(x, y, 8, kRingSparkSprite, 32, 512);
    for (int p = 0; p < kPlayerCount; ++p) {
        if (GetPlayerField(p, kPropCursorHold) < 1) continue;
        if (DistanceSq(GetPlayerField(p, kPropCursorX), GetPlayerField(p, kPropCursorY), x, y) >=
            800)
            continue;
        SetPlayerField(p, kPropItemTimer, 30);
        AwardIcon(2);
    }
}

void PickUp(int slot, int p, int kind, int32_t x, int32_t y) {
    const int player = GetPlayerSlot(p);
    switch (kind) {
        case 0:
            LevelUpOrPoints(p, kGameVarShotLevel, 8, x, y, 1000, kPlainWhite);
            AwardIcon(0);
            break;
        case 1:
            LevelUpOrPoints(p, kGameVarShotRange, 8, x, y, 1000, kPlainWhite);
            AwardIcon(6);
            break;
        case 2: {
            const int32_t max = GetField(kPropMaxHp, player);
            if (max < 100) {
                const int32_t raised = max + 10 < 100 ? max + 10 : 100;
                SetField(kPropMaxHp, player, raised);
                SetField(kPropHp, player, raised);
                IncGameVarUpTo(kGameVarHpLevel + p, 10);
            } else {
                SetField(kPropHp, player, max);
                AddScore(p, 10000);
                RisingNumber(x, y, 24, 10000, kPlainWhite);
            }
            AwardIcon(1);
            break;
        }
        case 3:
            LevelUpOrPoints(p, kGameVarArmour, 8, x, y, 500, kPaleWhite);
            AwardIcon(8);
            break;
        case 4:
            DamagePlayer(p, 50);
            AddScore(p, 3000);
            RisingNumber(x, y, 22, 30000, kPlainWhite);
            AwardIcon(10);
            break;
        case 5:
            PlayBgmTrack(2);
            SetField(kPropInvincible, player, 1000);
            AwardIcon(7);
            break;
        case 6:
            SetField(kPropHp, player, GetField(kPropMaxHp, player));
            AwardIcon(5);
            PlaySe(28);
            break;
        case 7:
            LevelUpOrPoints(p, kGameVarLives, 9, x, y, 3000, kPaleWhite);
            PlaySe(18);
            break;
        case 8: {
            const int32_t time = GetGameVar(kGameVarTimeLeft) + 1800;
            SetGameVar(kGameVarTimeLeft, time < 59999 ? time : 59999);
            AwardIcon(3);
            PlaySe(28);
            break;
        }
        case 10: {
            SpawnCompanion(x, y, p);
            AddGameVar(kGameVarCompanions + p, 1);
            const int s = SpawnSprite(x, y - 28, 22, kFellowSprite);
            if (s > 0) {
                SetField(kPropColor, s, static_cast<int32_t>(0xFFFFFF80u));
                AddTweenValue(s, kTweenAddAlpha, 0, 16, -8);
                AddTweenValue(s, kTweenAddScale, 0, 16, -60);
                AddTweenAt(s, kTweenEndObject, 16);
            }
            break;
        }
        default:
            if (kind >= kFirstDrop && kind <= kLastDrop) {
                const int32_t hp = GetField(kPropHp, player);
                if (hp < GetField(kPropMaxHp, player)) SetField(kPropHp, player, hp + 1);
                int32_t points = kDropPoints[kind & 7];
                if (kind == kFirstDrop) points *= GetGameVar(kGameVarChain) + 1;
                if (GetGameVar(kGameVarDifficulty) < 1) points /= 2;
                AddScore(p, points);
                RisingNumber(x, y, 22, points * 10, kPlainWhite);
                AddGameVar(kGameVarDropsTaken, 1);
            } else if (kind >= kFirstIcon && kind <= kLastIcon) {
                AwardIcon(kind);
                PlaySe(4);
                if (!(GetConfigVar(kCfgRunFlags) & kRunPlayback))
                    SetConfigVar(
                        kCfgCollection,
                        static_cast<int32_t>(static_cast<uint32_t>(GetConfigVar(kCfgCollection)) |
                                             (1u << (kind & 31))));
            }
            break;
    }
    if (kind <= 3) PlaySe(27);
    if (kind <= 3 || kind == 7 || kind == 10) AddGameVar(kGameVarPowerUps, 1);
    PlaySe(1);
    if (kind < kFirstDrop) {
        SetCellObject(x, y, 0);
        ClearCellBitsAtPixel(x, y, kCellBlockHigh);
        SpawnRisingText(x - 50, y, 22, kDrawKindSpriteText, kItemNameText + kind, kPlainWhite);
    }
    DestroyObject(slot);
}

}  // namespace

void UpdateFieldItem(int slot) {
    int32_t x, y, z;
    GetPosition3(&x, &y, &z, slot);
    if (z > 0) {
        z -= GetField(kPropFallSpeed, slot);
        AddField(kPropFallSpeed, slot, 1);
        if (z <= 0) {
            z = 0;
            SetField(kPropFallSpeed, slot, 0);
        }
        SetPosition3(x, y, z, slot);
    }
    const int32_t variant = GetField(kPropVariant, slot);
    if (variant & kHiddenBit) {
        if ((GetCellAtPixel(x, y) & kCellHole) || GetField(kPropBlastPower, slot) == 1)
            Reveal(slot, x, y);
        return;
    }
    const int kind = variant & 63;
    if (kind < kFirstDrop) OrCellAtPixel(x, y, kCellBlockHigh);
    if (kind >= kFirstDrop && kind <= kLastDrop) {
        const bool attracted =
            (static_cast<uint32_t>(GetField(kPropFlags, slot)) & kFlagAttracted) != 0;
        if (!attracted) {
            const int32_t age = GetField(kPropAge, slot);
            if (z == 0) {
                if (age >= 240) IncField(kPropFade, slot);
                if (age >= 300) {
                    DestroyObject(slot);
                    return;
                }
            }
            for (int p = 0; p < kPlayerCount; ++p) {
                if (!CanPlayerBeHit(p) || DistanceSqToPlayer(p, x, y) >= 14400) continue;
                SetFieldBits(kPropFlags, slot, kFlagAttracted);
                SetField(kPropTarget, slot, p);
                break;
            }
        } else {
            const int p = GetField(kPropTarget, slot);
            if (!IsPlayerPresent(p)) {
                ClearFieldBits(kPropFlags, slot, kFlagAttracted);
            } else {
                int32_t px, py;
                GetPlayerPosition(p, &px, &py);
                for (auto [n, d] : {std::pair{kPropVelX, px - x}, std::pair{kPropVelY, py - y}}) {
                    int32_t v = GetField(n, slot) + (d > 0 ? 256 : d < 0 ? -256 : 0);
                    if (v > 2048) v = 2048;
                    if (v < -2048) v = -2048;
                    SetField(n, slot, v);
                }
            }
        }
    }
    for (int p = 0; p < kPlayerCount; ++p) {
        if (!CanPlayerBeHit(p) || DistanceSqToPlayer(p, x, y) >= 576) continue;
        PickUp(slot, p, kind, x, y);
        return;
    }
}

}  // namespace velmora
