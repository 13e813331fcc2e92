#include "game/play/game_flow.h"

#include <algorithm>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/screen_state.h"
#include "game/core/sound_cue.h"
#include "game/core/tween.h"
#include "game/frontend/windows.h"
#include "game/play/combat.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace velmora {

// clang-format off
const uint32_t kSkyColors[8] = {
    0x3f3fffff, 0x5f5f7fff, 0xefefcfff, 0xffffffff,
    0xffbfbfff, 0x6f6fdfff, 0xff7f7fff, 0x000000ff,
};
// clang-format on

namespace {

constexpr int kVarMapObject = 121;

constexpr int kCfgHighestStage = 52;  // 52 + difficulty
constexpr int kCfgEndings = 55;
constexpr int kCfgBestDifficulty = 42;
constexpr int32_t kDayFrames = 9600;
constexpr int32_t kMaxLevel = 32;
constexpr int kTopLayer = 23;
constexpr uint32_t kTargetable = 0x800000;
constexpr uint32_t kEveningEvent = 0x40000000;
// The four statistics: settings group and the first game variable it holds.
constexpr int kStatGroups[4][2] = {
    {64, kGameVarShotLevel}, {80, kGameVarShotRange}, {112, kGameVarArmour}, {96, kGameVarHpLevel}};

bool IsPlayback() {
    return (GetConfigVar(kCfgRunFlags) & kRunPlayback) != 0;
}

void ScreenFixed(int slot) {
    SetFieldBits(kPropFlags, slot, kFlagScreenFixed);
}

void ClipAllToScreen() {
    int w = 0, h = 0;
    GetScreenExtent(&w, &h);
    SetLayerClipRect(0, 0, 0, w, h);
}

void ClipPlayLayers(int left, int top, int right, int bottom) {
    for (int layer = 1; layer <= kTopLayer; ++layer)
        SetLayerClipRect(layer, left, top, right, bottom);
}

bool AnyPlayerHasLives() {
    for (int p = 0; p < kPlayerCount; ++p)
        if (GetGameVar(kGameVarLives + p) > 0) return true;
    return false;
}

// A sprite that pops in from scale 0 at `in`, shrinks away at `out` and ends at `end`.
void PopInSprite(int32_t x, int32_t y, int32_t layer, int32_t sprite, int32_t in, int32_t out,
                 int32_t end) {
    const int s = SpawnSprite(x, y, layer, sprite);
    if (s < 0) return;
    ScreenFixed(s);
    SetField(kPropScale, s, 0);
    AddTweenValue(s, kTweenAddScale, in, 9, 100);
    if (out >= 0) AddTweenValue(s, kTweenAddScale, out, 9, -100);
    if (end >= 0) AddTweenAt(s, kTweenEndObject, end);
}

void ShowStageBanner(int stage) {
    int w = 0, h = 0;
    GetScreenExtent(&w, &h);
    const int band = SpawnRectObject(0, h / 2 - 80, w, h / 2 - 80, 21, 16576);
    if (band >= 0) {
        ScreenFixed(band);
        AddTween(band, kTweenAddProperty, 0, 7, 6, -1);
        AddTween(band, kTweenAddProperty, 0, 7, 22, 1);
        AddTween(band, kTweenAddProperty, 140, 7, 6, 1);
        AddTween(band, kTweenAddProperty, 140, 7, 22, -1);
        AddTweenAt(band, kTweenEndObject, 150);
    }
    const int32_t words[3] = {606, 597 + stage, 607};
    for (int i = 0; i < 3; ++i)
        PopInSprite(w / 2 + 40 * i - 40, h / 2 - 80, 22, words[i], 8 * i + 16, 8 * i + 108,
                    8 * i + 120);
    if (GetConfigVar(kCfgRunFlags) & 0x40) {
        int32_t offset = 0;
        for (int k = 0; k < kStageTitleGlyphs; ++k) {
            const int32_t digit = GetStageWord(kStageWordTitle + k);
            if (digit < 1 || digit > 26) break;  // only letters; anything else ends it
            PopInSprite(w / 2 + offset, h / 2 - 48, 22, 544 + digit, 8 * k + 40, 8 * k + 132,
                        8 * k + 144);
            offset += digit == 9 ? 6 : 12;
        }
        return;
    }
    const struct {
        int32_t x, y, sprite, fadeIn, fadeOut;
    } names[2] = {{w / 2 - 40, h / 2 + 16, 624 + stage, 40, 120},
                  {w / 2 + 40, h / 2 - 32, 256 + GetGameVar(kGameVarDifficulty), 0, 100}};
    for (const auto& n : names) {
        const int s = SpawnSprite(n.x, n.y, 22, n.sprite);
        if (s < 0) continue;
        ScreenFixed(s);
        FadeInObject(s, n.fadeIn);
        FadeOutObjectAfter(s, n.fadeOut);
        AddTweenValue(s, kTweenAddScale, n.fadeOut, 30, 10);
    }
}

// An area a stage can be played in.
bool IsUsableArea(int a) {
    return a >= 0 && a < kStageAreaCount && GetAreaWordOf(a, kAreaWordWidth) > 0;
}

void EndOfRunWork(int32_t t) {
    int w = 0, h = 0;
    GetScreenExtent(&w, &h);
    ClipAllToScreen();
    IncGameVar(kGameVarEndFrames);
    if (t == 60) {
        for (int i = 0; i < 3; ++i)
            PopInSprite(w / 2 + 64 * i - 64, h / 2 - 80, 25, 608 + i, 8 * i + 16, -1, -1);
    }
    if (t > 399) SetGameVar(kGameVarSceneRequest, kRequestTitle);
}

void TallyBonus(int32_t t, int32_t time) {
    int32_t bonus = 0;
    if (t == 30) {
        bonus = TallyTimeBonus(time);
    } else if (t == 60) {
        int32_t lives = 0;
        for (int p = 0; p < kPlayerCount; ++p) lives += GetGameVar(kGameVarLives + p);
        bonus = lives * 500;
    } else if (t == 90) {
        bonus = GetGameVar(kGameVarDropsTaken) * 10;
    } else if (t == 120) {
        bonus =
            (static_cast<uint32_t>(GetGameVar(kGameVarMasterFlags)) & kMasterPlainHit) ? 0 : 1000;
    }
    int alive = 0;
    for (int p = 0; p < kPlayerCount; ++p)
        if (GetGameVar(kGameVarLives + p) > 0) ++alive;
    if (bonus < 1 || alive == 0) return;
    PlaySe(13);
    for (int p = 0; p < kPlayerCount; ++p)
        if (GetGameVar(kGameVarLives + p) > 0) AddScore(p, bonus / alive);
}

void RainLeafBomb() {
    int32_t x, y;
    GetPlayerPosition(0, &x, &y);
    const int32_t r = GetEngineRandom(120);
    AddPolarOffset(&x, &y, GetEngineRandom(kAngleTurn), r);
    const int s = SpawnStageObject(x, y, 9, 8);
    if (s < 0) return;
    SetField(kPropVariant, s, 14);
    SetField(kPropAttack, s, 100);
    SetField(kPropZ, s, 120);
    SetField(kPropFineZ, s, 120 * 256);
    ClearFieldBits(kPropFlags, s, kTargetable);
    PlaySe(15);
}

int32_t MoveChannel(int32_t v, int32_t target) {
    return v < target ? v + 1 : v > target ? v - 1 : v;
}

void UpdateSky(int32_t phase, int32_t t) {
    int32_t source = GetGameVar(kGameVarSkyOverride);
    if (source >= 0)
        SetGameVar(kGameVarSkyOverride, -1);
    else
        source = GetGameVar(kGameVarWeather);
    int32_t index;
    switch (source) {
        case 1:
        case 2:
        case 4:
            index = 1;
            break;
        case 3:
            index = 0;
            break;
        case 5:
            index = 3;
            break;
        case 6:
            index = 7;
            break;
        case 7:
            index = 6;
            break;
        default:
            index = (GetGameVar(kGameVarClock) / 1600) % 6;
            break;
    }
    if (index < 0) index += 6;
    SetGameVar(kGameVarSkyIndex, index);
    const uint32_t want = kSkyColors[index];
    if ((phase == 0 || phase == 1) && t == 0) {
        SetGameVar(kGameVarSky, static_cast<int32_t>(want));
        return;
    }
    const uint32_t now = static_cast<uint32_t>(GetGameVar(kGameVarSky));
    uint32_t out = 0xff;
    for (int shift : {24, 16, 8}) {
        const int32_t c = MoveChannel((now >> shift) & 0xff, (want >> shift) & 0xff);
        out |= static_cast<uint32_t>(c) << shift;
    }
    SetGameVar(kGameVarSky, static_cast<int32_t>(out));
}

// A weather sprite at a point of the screen's rectangle in the world, starting transparent.
int WeatherSprite(int32_t x, int32_t y, int32_t layer, int32_t sprite) {
    const int s = SpawnSprite(x, y, layer, sprite);
    if (s >= 0) SetField(kPropColor, s, static_cast<int32_t>(0xffffff00u));
    return s;
}

}  // namespace

int32_t TallyTimeBonus(int32_t timeLeft) {
    const int32_t bonus = timeLeft / 60 * 300;
    return GetGameVar(kGameVarDifficulty) == 0 ? bonus / 3 : bonus;
}

int32_t StartNewGame() {
    const int master = SpawnObject(0, 0, 24, 0, kMasterKind);
    if (master < 0) return -1;
    SetFieldBits(kPropFlags, master, kFlagKeep);
    SetMasterObject(master);
    CreateMapObject();
    const int c = GetConfigVar(kCfgCharacter) & 3;
    const int player = SpawnPlayer(0, 0, 0, c);
    for (int n : {kPropMaxHp, kPropHp, kPropShownHp, kPropShownMaxHp}) SetField(n, player, 10);
    SetGameVar(kGameVarHpLevel, 1);
    SetGameVar(kGameVarLives, std::min(300000 / kExtraLifeStep[c], 9));
    SetGameVar(kGameVarNextLife, kExtraLifeStep[c]);
    ApplyRunSettings();
    if (!IsPlayback()) LoadPlayerStats(GetGameVar(kGameVarStage));
    return master;
}

int CreateMapObject() {
    const int slot = SpawnObject(0, 0, 5, 7, kMapObjectKind);
    if (slot < 0) return -1;
    SetFieldBits(kPropFlags, slot, kFlagKeep | 0x800);
    SetGameVar(kVarMapObject, slot);
    return slot;
}

int GetMapObject() {
    const int slot = GetGameVar(kVarMapObject);
    if (slot > 0 && GetField(kPropKind, slot) == kMapObjectKind &&
        !(static_cast<uint32_t>(GetField(kPropFlags, slot)) & kFlagDead))
        return slot;
    // The slot no longer holds the map object: forget it, so nothing writes into its successor.
    SetGameVar(kVarMapObject, 0);
    return 0;
}

void StopWeatherEffect() {
    const int map = GetMapObject();
    if (map > 0) SetField(26, map, 0);
}

void LoadPlayerStats(int slot) {
    if (slot < 1 || slot > 4) return;
    for (const auto& g : kStatGroups) {
        for (int p = 0; p < kPlayerCount; ++p) {
            if (!IsPlayerPresent(p)) continue;
            // Stored words are checked as they come in: a hit-point level of 0 would make a
            // player who can neither be hit nor die.
            const int32_t v = GetConfigVar(g[0] + (slot - 1) * 4 + p);
            SetGameVar(g[1] + p,
                       g[1] == kGameVarHpLevel ? std::clamp(v, 1, 10) : std::clamp(v, 0, 8));
        }
    }
    for (int p = 0; p < kPlayerCount; ++p) {
        const int32_t hp = GetGameVar(kGameVarHpLevel + p) * 10;
        for (int n : {kPropMaxHp, kPropHp, kPropShownHp, kPropShownMaxHp}) SetPlayerField(p, n, hp);
    }
}

void SavePlayerStats(int slot) {
    if (slot < 1 || slot > 4) return;
    for (const auto& g : kStatGroups) {
        for (int p = 0; p < kPlayerCount; ++p) {
            if (!IsPlayerPresent(p)) continue;
            const int word = g[0] + (slot - 1) * 4 + p;
            int32_t stored = GetConfigVar(word);
            if (stored > 8) stored = 0;
            const int32_t now = GetGameVar(g[1] + p);
            if (stored < now) SetConfigVar(word, now);
        }
    }
}

void StartStage(int n) {
    const int32_t d = GetGameVar(kGameVarDifficulty);
    if (GetMapObject() == 0) CreateMapObject();
    LoadBuiltInStage(n);
    SetGameVar(kGameVarStageFlags, 0);
    SetGameVar(kGameVarDropsTaken, 0);
    SetGameVar(kGameVarSkyOverride, -1);
    SetGameVar(kGameVarClock, GetStageWord(kStageWordClockStart) * 800);
    // The plain-hit flag speaks of this stage only.
    ClearFieldBits(kPropFlags, GetMasterObject(), kMasterPlainHit);
    int a = 0;
    if (!IsPlayback()) {
        a = GetConfigVar(kCfgArea);
        SetConfigVar(kCfgLastStage, n);
        SetConfigVar(kCfgHighestStage + d, std::max(GetConfigVar(kCfgHighestStage + d), n));
    }
    // A checkpoint left by another run or stage may name an area this stage lacks.
    if (!IsUsableArea(a)) a = 0;
    int32_t time = GetStageWord(kStageWordTimeLimit) * 600;
    if (a < 1 && d < 1) time *= 2;
    SetGameVar(kGameVarTimeLeft, time);
    if (GetStageWord(kStageWordLevel) > GetGameVar(kGameVarLevel))
        SetGameVar(kGameVarLevel, GetStageWord(kStageWordLevel));
    StartArea(a, 0);
    SetPlayerField(0, kPropAngle, 6);
}

void StartArea(int a, int entry) {
    // An exit past the last area, or to one the stage does not use, clears the stage.
    if (!IsUsableArea(a)) {
        SetGameVar(kGameVarPhase, kPhaseTally);
        SetGameVar(kGameVarPhaseTime, 0);
        return;
    }
    SelectArea(a);
    SpawnAreaObjects();

    entry = std::clamp(entry, 0, kAreaEntryCount - 1);
    int w = 0, h = 0;
    GetAreaSize(&w, &h);
    int32_t word = GetAreaWord(kAreaWordEntries + entry);
    int32_t cx = word >> 16, cy = word & 0xffff;
    if (cx >= w || cy >= h) {
        word = GetAreaWord(kAreaWordEntries);
        cx = word >> 16;
        cy = word & 0xffff;
    }
    const int32_t x = cx * 32, y = cy * 32;
    for (int p = 0; p < kPlayerCount; ++p) {
        if (GetGameVar(kGameVarLives + p) < 1) continue;
        const int slot = GetPlayerSlot(p);
        SetPosition(x, y, slot);
        SetField(kPropCursorX, slot, x);
        SetField(kPropCursorY, slot, y);
        for (int32_t k = 0; k < GetGameVar(kGameVarCompanions + p); ++k) SpawnCompanion(x, y, p);
    }
    SetGameVar(kGameVarChainTimer, 0);
    SetGameVar(kGameVarChain, 1);

    bool invincible = false;
    for (int p = 0; p < kPlayerCount; ++p)
        if (GetPlayerSlot(p) > 0 && GetPlayerField(p, kPropInvincible) > 0) invincible = true;
    if (!invincible) {
        const int32_t track = GetAreaWord(kAreaWordMusic);
        if (track > 0) PlayBgmWithTitle(track);
    }

    const int map = GetMapObject();
    if (map > 0) {
        const int32_t weather = GetAreaWord(kAreaWordWeather);
        SetGameVar(kGameVarWeather, weather);
        SetField(26, map, weather == 1 ? 2 : weather == 2 ? 3 : 0);
    }

    const int32_t bit = 4096 << a;
    const int32_t visited = GetGameVar(kGameVarStageFlags);
    if (visited & bit) {
        SetGameVar(kGameVarLevel, std::min(GetGameVar(kGameVarLevel) + 2, kMaxLevel));
    } else {
        SetGameVar(kGameVarStageFlags, visited | bit);
        if (a >= 1)
            SetGameVar(kGameVarLevel, std::max(GetGameVar(kGameVarLevel) - 1, 0));
        else
            ShowStageBanner(GetGameVar(kGameVarStage));
    }
}

void SpawnAreaObjects() {
    FreePlayObjects();
    int w = 0, h = 0;
    GetAreaSize(&w, &h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t cell = static_cast<uint32_t>(GetCell(x, y)) & 0x7f7fffceu;
            SetCell(x, y, static_cast<int32_t>(cell));
            const int index = (cell >> kCellObjectShift) & 0xff;
            if (cell & kCellSpawn) {
                const int o = SpawnStageObject(32 * x, 32 * y, 9, StageTypeOfEditorIndex(index));
                if (o > 0) {
                    SetField(kPropVariant, o, (cell >> kCellVariantShift) & 0x7f);
                    if ((cell & 0x40000000u) &&
                        !(static_cast<uint32_t>(GetField(kPropFlags, o)) & kFlagNoDeathAtZero))
                        SetFieldBits(kPropFlags, o, 0x600);
                }
            } else if (index == 4 || index == 5) {
                const int o = SpawnStageObject(32 * x, 32 * y, 9, 3);
                if (o > 0) SetField(26, o, index);
            }
        }
    }
}

void UpdateGameFlow() {
    int w = 0, h = 0;
    GetScreenExtent(&w, &h);
    int32_t px = 0, py = 0;
    GetPlayerPosition(0, &px, &py);
    WorldToScreen(&px, &py);
    const int32_t cx = px + 16, cy = py + 16;
    const int32_t stage = GetGameVar(kGameVarStage);
    const int32_t phase = GetGameVar(kGameVarPhase);
    const int32_t t = GetGameVar(kGameVarPhaseTime);
    int32_t time = GetGameVar(kGameVarTimeLeft);
    const int32_t tod = GetGameVar(kGameVarClock) % kDayFrames;

    // Evening sounds.
    const int32_t weather = GetGameVar(kGameVarWeather);
    if (phase == kPhasePlay && (weather < 3 || weather == 4) && GetGameVar(kGameVarAge) >= 60) {
        const uint32_t visited = static_cast<uint32_t>(GetGameVar(kGameVarStageFlags));
        if (tod == 3200) PlaySe(22);
        if (!(visited & kEveningEvent)) {
            if (tod == 6400)
                SetGameVar(kGameVarStageFlags, static_cast<int32_t>(visited | kEveningEvent));
        } else if (tod == 6430) {
            PlaySe(21);
        }
    }

    // The world clock; after play it runs on only to the next 800-frame mark.
    if (phase < kPhaseLifeLost || tod % 800 > 768) IncGameVar(kGameVarClock);

    UpdateSky(phase, t);

    int32_t next = phase;
    switch (phase) {
        case kPhaseStageStart:
            ClipAllToScreen();
            ClipPlayLayers(0, 0, 1, 1);
            StartStage(stage);
            SyncReplayArea(IsPlayback() ? kReplayPlayBack : kReplayRecord, stage);
            if (!IsPlayback()) SavePlayerStats(stage);
            next = kPhaseIrisOpen;
            // The stage may already be over (no usable area).
            if (GetGameVar(kGameVarPhase) == kPhaseTally) next = kPhaseTally;
            break;
        case kPhaseIrisOpen:
            if (t >= 41) {
                ClipAllToScreen();
                next = kPhasePlay;
            } else {
                ClipPlayLayers(cx - w / 40 * t, cy - h / 40 * t, cx + w / 40 * t, cy + h / 40 * t);
            }
            break;
        case kPhaseExit:
        case kPhaseExitSpin: {
            const int32_t rx = w - w / 40 * t, ry = h - h / 40 * t;
            ClipPlayLayers(cx - rx, cy - ry, cx + rx, cy + ry);
            if (t == 0) {
                for (int p = 0; p < kPlayerCount; ++p)
                    if (IsPlayerPresent(p) && GetPlayerField(p, kPropInvincible) > 0)
                        SetPlayerField(p, kPropInvincible, 1);
            }
            if (t > 40) {
                SetMousePosition(1, 1);
                const int32_t e = GetGameVar(kGameVarExit);
                if (e >= 0 && e < kAreaExitCount) {
                    const int32_t target = GetAreaWord(kAreaWordExits + 2 * e);
                    if (target != GetCurrentArea()) SetGameVar(kGameVarSwitches, 0);
                    StartArea(target, GetAreaWord(kAreaWordExits + 1 + 2 * e));
                    // An exit that clears the stage wins over reopening the iris.
                    next = GetGameVar(kGameVarPhase) == kPhaseTally ? kPhaseTally : kPhaseIrisOpen;
                } else {
                    next = kPhaseTally;
                    FreeAllClassObjects();
                }
                if (time < 1)
                    SetGameVar(kGameVarLevel, std::min(GetGameVar(kGameVarLevel) + 4, kMaxLevel));
            }
            break;
        }
        case kPhasePlay:
            if (time >= 1) {
                --time;
                if (time < 599 && time % 60 == 0) PlaySe(14);
                SetGameVar(kGameVarTimeLeft, time);
                if (time == 0) next = kPhaseTimeOver;
            } else {
                next = kPhaseTimeOver;
            }
            break;
        case kPhaseTimeOver: {
            const int32_t n = std::max(30 - t / 300, 12);
            if (t % n == 0) {
                AwardIcon(13);
                RainLeafBomb();
            }
            break;
        }
        case kPhaseAllOut:
            EndOfRunWork(t);
            break;
        case kPhaseResult:
            ClipAllToScreen();
            if (AnyPlayerHasLives()) {
                AddConfigVar(kCfgStartStage, 1);
                IncGameVar(kGameVarStage);
                if (stage == 0) {
                    for (int p = 0; p < kPlayerCount; ++p) {
                        if (!IsPlayerPresent(p)) continue;
                        IncGameVar(kGameVarCompanions + p);
                        break;
                    }
                }
                OpenResultWindow(stage);
                SetPaused(true);
                SetConfigVar(kCfgRunFlags, GetConfigVar(kCfgRunFlags) & ~kRunInPlay);
                if (!IsPlayback()) SetConfigVar(kCfgArea, 0);
            } else {
                next = kPhaseEnding;
                SetConfigVar(kCfgRunFlags, GetConfigVar(kCfgRunFlags) | kRunResume);
            }
            break;
        case kPhaseContinue:
            FreeAllClassObjects();
            if (t == 0) {
                OpenMenuWindow(0, 0, 0, 0, 0, 12);
                SetPaused(true);
            }
            break;
        case kPhaseTally:
            if (t == 0) {
                ClipAllToScreen();
                FreeAllClassObjects();
            }
            TallyBonus(t, time);
            if (t > 479) {
                if (GetConfigVar(kCfgRunFlags) & kRunStageChosen)
                    next = kPhaseEnding;
                else
                    next = stage >= 4 ? kPhaseResult : kPhaseContinue;
                FreeAllClassObjects();
            }
            break;
        case kPhaseEnding:
            if (!IsPlayback() && t == 360 && stage >= 5) {
                int i = 6;
                if (GetGameVar(kGameVarDifficulty) > 0 && GetConfigVar(kCfgNewGameCount) < 1)
                    i = 14;
                if (GetGameVar(kGameVarPowerUps) > 39) i = 21;
                AwardIcon(i + 32);
                PlaySe(4);
                SetConfigVar(kCfgEndings, GetConfigVar(kCfgEndings) | (1 << i));
                SetConfigVar(kCfgBestDifficulty, std::max(GetConfigVar(kCfgBestDifficulty),
                                                          GetGameVar(kGameVarDifficulty)));
            }
            EndOfRunWork(t);
            break;
        default:  // 4 and 7 wait
            break;
    }

    if (GetGameVar(kGameVarChainTimer) > 0 && DecGameVar(kGameVarChainTimer) == 0)
        SetGameVar(kGameVarChain, 1);

    for (int p = 0; p < kPlayerCount; ++p) {
        const int32_t at = GetGameVar(kGameVarNextLife + p);
        if (at <= 0 || GetGameVar(kGameVarScore0 + p) < at) continue;
        if (GetGameVar(kGameVarLives + p) < 9) {
            IncGameVar(kGameVarLives + p);
            PlaySe(18);
        }
        const int c = GetPlayerField(p, kPropCharacter) & 3;
        SetGameVar(kGameVarNextLife + p, at + kExtraLifeStep[c]);
    }

    if (phase < kPhaseLifeLost && !AnyPlayerHasLives() && GetGameVar(kGameVarChainTimer) < 1) {
        next = kPhaseAllOut;
        FadeBgmSlowly();
    }

    // A phase set during this frame (by a player or an area start) counts as a change too.
    const int32_t now = GetGameVar(kGameVarPhase);
    if (next == phase && now == phase) {
        IncGameVar(kGameVarPhaseTime);
    } else {
        SetGameVar(kGameVarPhase, next != phase ? next : now);
        SetGameVar(kGameVarPhaseTime, 0);
    }
    if (GetGameVar(kGameVarShake) > 0) DecGameVar(kGameVarShake);
}

void UpdateMapObject(int slot) {
    int w = 0, h = 0;
    GetScreenExtent(&w, &h);
    const int32_t camX = GetGameVar(kGameVarCameraX), camY = GetGameVar(kGameVarCameraY);
    const int32_t age = GetField(kPropAge, slot);
    const int32_t opening = w * h / 30720;
    switch (GetField(26, slot)) {
        case 1: {  // drifting wisps
            const int32_t n = age < 2 ? opening : age % 60 == 0 ? 1 : 0;
            for (int32_t k = 0; k < n; ++k) {
                const int32_t x = n > 1 ? camX + Random(w) : camX;
                const int s = WeatherSprite(x, camY + Random(h), 21, 0x20003c0);
                if (s < 0) break;
                SetField(kPropVelX, s, 256);
                SetFieldBits(kPropFlags, s, kFlagDiesOutside);
                AddTweenValue(s, kTweenAddAlpha, 0, 16, 8);
            }
            break;
        }
        case 2:  // rain and its splashes
            for (int k = 0; k < 4; ++k) {
                const int s =
                    WeatherSprite(camX + Random(w), camY + Random(h) - 128, 21, 0x20003c1);
                if (s < 0) break;
                SetVelocityByAngle(s, kAngleQuarterTurn, 4096, 1);
                AddTweenValue(s, kTweenAddAlpha, 0, 8, 32);
                AddTweenValue(s, kTweenAddAlpha, 8, 8, -32);
                AddTweenAt(s, kTweenEndObject, 16);
            }
            for (int k = 0; k < 4; ++k) {
                const int s = WeatherSprite(camX + Random(w), camY + Random(h), 7, 962);
                if (s < 0) break;
                SetFieldBits(kPropFlags, s, kFlagAnimated);
                AddTweenValue(s, kTweenAddAlpha, 0, 8, 32);
                AddTweenValue(s, kTweenAddAlpha, 8, 8, -32);
                AddTweenAt(s, kTweenEndObject, 16);
            }
            break;
        case 3: {  // snow
            const int32_t n = age < 2 ? opening : 4;
            for (int32_t k = 0; k < n; ++k) {
                const int s = WeatherSprite(camX + Random(w), camY + Random(h), 21, 0x2000388);
                if (s < 0) break;
                SetVelocityByAngle(s, 48000 + Random(12000), 128, 0);
                SetField(kPropAngle, s, Random(kAngleTurn));
                SetField(kPropScale, s, 100 + Random(200));
                AddTweenValue(s, kTweenAddAlpha, 0, 32, 8);
                AddTweenValue(s, kTweenAddAlpha, 96, 32, -8);
                AddTweenAt(s, kTweenEndObject, 128);
            }
            break;
        }
        default:
            break;
    }
}

}  // namespace velmora
