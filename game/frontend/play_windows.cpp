// The screens that play opens between and inside stages: the item-get notice, the bonus
// roulette, the result talk and the collection, with the checker most of them lie on.
#include "game/frontend/play_windows.h"

#include <algorithm>
#include <cstdint>

#include "engine/tessra.h"

#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/screen_state.h"
#include "game/core/sound_cue.h"
#include "game/core/sprite_ids.h"
#include "game/frontend/windows.h"
#include "game/play/draw.h"
#include "game/play/game_flow.h"
#include "game/play/hud.h"
#include "game/play/message_store.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"

namespace velmora {

namespace {

constexpr int kLastStage = 4;
constexpr int kCheckerLayer = 11;
constexpr uint32_t kBoxFill = 0x3F1F0FCFu;
constexpr int kIconTextFirst = 232;  // names of icons 0..31
constexpr int kGetIconText = 187;    // "GET ICON"
constexpr int kFirstCollectionIcon = 32;
constexpr int kIconCount = 64;
constexpr int kResultMessage = 64;  // 64 + k: the talk after stage k

// Closes the window and lets play go on (the play loop unpauses at the end of the frame).
void ResumePlay(int w) {
    SetConfigVar(kCfgRunFlags, GetConfigVar(kCfgRunFlags) | kRunResume);
    SetFieldBits(kPropFlags, w, kFlagDead);
}

// A box: the half-dark fill on one layer and its plain outline on another.
void QueueBox(int x, int y, int width, int height, int fillLayer, int outlineLayer) {
    SetRecordColor(QueueRectangle(x, y, x + width, y + height, fillLayer, true), kBoxFill);
    QueueRectangle(x, y, x + width, y + height, outlineLayer, false);
}

// While a stage is in play the object walk draws the HUD itself; a screen over paused play
// draws it only when the walk does not, so its half-transparent parts are never laid twice.
void DrawHudUnderScreen() {
    if (!(GetConfigVar(kCfgRunFlags) & kRunInPlay)) DrawHud();
}

}  // namespace

void DrawCheckerBackground(int32_t age, uint32_t colour) {
    int width = 0, height = 0;
    GetScreenExtent(&width, &height);
    const int o = age & 31;
    const int phase = (age >> 5) & 1;
    int rowTerm = 2 * phase;
    for (int y = -o; y < height; y += 32, rowTerm ^= 2) {
        int columnTerm = phase;
        for (int x = -o; x < width; x += 32, columnTerm ^= 1)
            SetRecordColor(
                QueueSprite(x, y, kCheckerLayer, sprite::kChecker + columnTerm + rowTerm),
                colour);
    }
}

int32_t ItemGetPictureSprite(int32_t icon) {
    switch (icon) {
        case 0: return sprite::kFieldItem;
        case 1: return sprite::kFieldItem + 2;
        case 3: return sprite::kFieldItem + 8;
        case 4: return sprite::kGenerator;
        case 5: return sprite::kFieldItem + 6;
        case 6: return sprite::kFieldItem + 1;
        case 7: return sprite::kFieldItem + 5;
        case 8: return sprite::kFieldItem + 3;
        case 10: return sprite::kFieldItem + 4;
        default: break;
    }
    if (icon >= kFirstCollectionIcon && icon < kIconCount) return sprite::kFieldItem + icon;
    return -1;
}

void UpdateItemGetWindow(int w) {
    const int x = GetField(kPropX, w);
    const int y = GetField(kPropY, w);
    const int32_t a = GetField(kPropAge, w);
    const int32_t c = GetField(kPropItemClosing, w);
    const int32_t n = GetField(kPropWinLines, w);
    const int32_t icon = GetField(kPropWinValue, w);

    // The box grows out of the middle, and shrinks back the same way when it closes.
    const int32_t hw = std::min(8 * a, 116) - 8 * c;
    const int32_t hh = std::min(2 * a, 8 * n + 6) - 2 * c;
    const int x0 = x - hw;
    const int y0 = y - hh;
    if (2 * hw + 40 >= 1 && 2 * hh >= 1) QueueBox(x0, y0, 2 * hw + 40, 2 * hh, 23, 24);

    if (c >= 1) {
        if (c > 15) ResumePlay(w);
        SetField(kPropItemClosing, w, c + 1);
    } else if (a > 20) {
        const int32_t t = a - 20;
        const uint32_t colour = 0xFFCF7F00u | static_cast<uint32_t>(std::min(8 * t, 255));
        const int rise = std::min(t, 16);
        int caption = -1;
        if (icon >= 0 && icon < kFirstCollectionIcon) caption = kIconTextFirst + icon;
        if (icon >= kFirstCollectionIcon && icon < kIconCount) caption = kGetIconText;
        if (caption >= 0) SetRecordColor(QueueSpriteText(x0 + 8, y0 - rise, 24, caption), colour);
        if (IsButtonPressed(kButtonShot) || a >= 300) SetField(kPropItemClosing, w, 1);
        for (int line = 0; line < n && line < kMessageLineCount; ++line)
            QueueMessageLine(x0 + 8, y0 + 8 + 16 * line, 24, line);
        const int32_t picture = ItemGetPictureSprite(icon);
        if (picture >= 0) {
            QueueRotatedSprite(x0 - 24, y0, 25, picture, 1000, 0);
        } else if (icon >= 16 && icon <= 27) {
            DrawLeafFigure(x0 - 24, y0, 0, 25, a, 1, icon - 16, 0xFFFFFFFFu);
        } else if (icon >= 29 && icon <= 31) {
            DrawLeafFigure(x0 - 24, y0, 0, 25, a, 1, (icon - 28) << 4, 0xFFFFFFFFu);
        }
    }

    const int32_t veil = std::min(8 * a, 128) - 8 * c;
    if (veil > 0) QueueScreenFill(23, 0x00103000u | static_cast<uint32_t>(veil));
    DrawHudUnderScreen();
}

// ---- Bonus roulette ----

namespace {

constexpr int kSuka = 9;
constexpr int kPoison = 4;

// A level one step up while below its cap; at the cap the points instead.
void StepOrPoints(int p, int var, int32_t cap, int32_t points) {
    if (GetGameVar(var + p) < cap)
        AddGameVar(var + p, 1);
    else
        AddScore(p, points);
}

void FillRouletteSlots(int w) {
    const int32_t d = GetGameVar(kGameVarDifficulty);
    // The collection icon on offer changes with the stages cleared in the run.
    constexpr int32_t kOffered[4] = {2, 3, 1, 29};
    const int32_t miss = d < 2 ? kSuka : kPoison;
    const int32_t slots[kRouletteSlots] = {
        miss, d < 1 ? kSuka : kPoison, miss, 7, miss, 0, 1, 2, 3, miss,
        kFirstCollectionIcon + kOffered[GetGameVar(kGameVarStage) & 3], miss};
    for (int i = 0; i < kRouletteSlots; ++i) SetField(kPropRouletteSlots + i, w, slots[i]);
    for (int k = 0; k < 32; ++k) {
        const int a = static_cast<int>(GetEngineRandom(11));
        const int b = static_cast<int>(GetEngineRandom(11));
        const int32_t va = GetField(kPropRouletteSlots + a, w);
        SetField(kPropRouletteSlots + a, w, GetField(kPropRouletteSlots + b, w));
        SetField(kPropRouletteSlots + b, w, va);
    }
}

// The slot the pointer value names.
int PointedSlot(int32_t v) {
    return static_cast<int>(((v % kRouletteSlots) + kRouletteSlots) % kRouletteSlots);
}

}  // namespace

void ApplyRouletteReward(int p, int32_t r) {
    const int player = GetPlayerSlot(p);
    switch (r) {
        case 0:
            StepOrPoints(p, kGameVarShotLevel, 8, 1000);
            PlaySe(27);
            break;
        case 1:
            StepOrPoints(p, kGameVarShotRange, 8, 1000);
            PlaySe(27);
            break;
        case 2: {
            int32_t m = GetField(kPropMaxHp, player) + 10;
            if (m <= 100) {
                AddGameVar(kGameVarHpLevel + p, 1);
            } else {
                AddScore(p, 10000);
                m = 100;
            }
            SetField(kPropMaxHp, player, m);
            SetField(kPropHp, player, m);
            PlaySe(27);
            break;
        }
        case 3:
            StepOrPoints(p, kGameVarArmour, 8, 500);
            PlaySe(27);
            break;
        case kPoison:
            DamagePlayer(p, 50);
            AddScore(p, 3000);
            SetField(kPropShownHp, player, GetField(kPropHp, player));
            PlaySe(10);
            break;
        case 7:
            StepOrPoints(p, kGameVarLives, 9, 3000);
            PlaySe(18);
            break;
        default:
            if (r >= kFirstCollectionIcon && r < kIconCount) {
                // A replay must not hand out what only a played run earns.
                const uint32_t bit = 1u << (r - kFirstCollectionIcon);
                const uint32_t owned = static_cast<uint32_t>(GetConfigVar(kCfgCollection));
                if (!(GetConfigVar(kCfgRunFlags) & kRunPlayback) && !(owned & bit))
                    SetConfigVar(kCfgCollection, static_cast<int32_t>(owned | bit));
                PlaySe(4);
            } else {
                PlaySe(9);
            }
            break;
    }
}

void UpdateRouletteWindow(int w) {
    int width = 0, height = 0;
    GetScreenExtent(&width, &height);
    const int32_t a = GetField(kPropAge, w);
    int32_t p = GetField(kPropRoulettePlayer, w);
    int32_t s = GetField(kPropRouletteState, w);
    bool nextTurn = false;  // the age starts again: the next player's turn on the next frame

    if (a < 1) {
        if (p >= 4) {
            SetGameVar(kGameVarPhase, kPhaseResult);
            SetGameVar(kGameVarPhaseTime, 0);
            SetFieldBits(kPropFlags, w, kFlagDead);
        } else if (IsPlayerPresent(p)) {
            PlayBgmWithTitle(2);
            SetField(kPropWinLines, w, ParseMessage(84, 0));
            // 0..12: a start of 12 points at slot 0 as 0 does.
            SetField(kPropWinValue, w, static_cast<int32_t>(GetEngineRandom(12)));
            FillRouletteSlots(w);
            s = 0;
        } else {
            p += 1;
            nextTurn = true;
        }
    }
    if (a == 20) PlaySe(13);
    int32_t v = GetField(kPropWinValue, w);
    if (a >= 30 && s >= 0) {
        if (s < 1) {
            if (!IsButtonPressed(kButtonShot) && a < 600) {
                if (a % 4 == 0) {
                    v += 7;
                    PlaySe(5);
                }
            } else {
                s = 1;
                FadeOutBgm();
                const int32_t r = GetField(kPropRouletteSlots + PointedSlot(v), w);
                SetField(kPropWinLines, w, ParseMessage(r == kSuka ? 88 : 89, 0));
                ApplyRouletteReward(p, r);
                s += 1;
            }
        } else if (s > 119) {
            p += 1;
            s = -1;
            nextTurn = true;
        } else {
            s += 1;
        }
    }
    SetField(kPropWinValue, w, v);
    SetField(kPropRoulettePlayer, w, p);
    SetField(kPropRouletteState, w, s);
    if (nextTurn) SetField(kPropAge, w, -1);

    DrawCheckerBackground(0, 0x000040FFu);
    if (a > 29) {
        const int cx = width / 2 - 72 - (width > 320 ? 48 : 0);
        const int cy = height / 2 - 36;
        for (int i = 0; i < kRouletteSlots; ++i) {
            int32_t dx = 0, dy = 0;
            PolarOffset(&dx, &dy, i * 18000 + 9000, 80);
            uint32_t colour = 0x404040FFu;
            if (i == PointedSlot(v)) colour = s > 0 && s % 8 < 4 ? 0xFF7F7FFFu : 0xFFFFFFFFu;
            SetRecordColor(QueueSprite(cx + dx, cy + dy, 22,
                                       sprite::kFieldItem + GetField(kPropRouletteSlots + i, w)),
                           colour);
        }
        const int32_t lines = GetField(kPropWinLines, w);
        for (int line = 0; line < lines && line < kMessageLineCount; ++line)
            QueueMessageLine(width / 2 + 32, height / 2 - 96 + 16 * line, 24, line);
        QueueBox(width / 2 + 24, height / 2 - 104, 160, 16 * lines + 12, 23, 24);
    }
    int hy = std::max(height / 2 + 440 - 20 * a, height / 2 + 40);
    if ((a % 60 < 20 || s > 0) && a % 8 < 4) hy -= 4;
    SetRecordColor(QueueRotatedSprite(width / 2 + 128 + (width > 320 ? 32 : 0), hy, 12,
                                      sprite::kPointer, 1000, 0),
                   0xFFFFFF00u | static_cast<uint32_t>(std::clamp(8 * a, 0, 255)));
    DrawHudUnderScreen();
}

// ---- Result ----

int32_t ResultPortraitSprite(int32_t value) {
    // The value comes from the message file: only the ten portraits exist.
    if (value < 0 || value > 9) return -1;
    return sprite::kPortrait + value;
}

int OpenResultWindow(int k) {
    // After the fifth stage comes the ending: there is no result past it to lead anywhere.
    k = std::clamp(k, 0, kLastStage);
    const int slot = OpenMenuWindow(0, 0, 0, 0, 0, kWindowResult);
    if (slot >= 0) SetField(kPropWinValue, slot, k);
    PlayBgmWithTitle(k == kLastStage ? 11 : 0);
    return slot;
}

void UpdateResultWindow(int w) {
    int width = 0, height = 0;
    GetScreenExtent(&width, &height);
    const int32_t k = std::clamp(GetField(kPropWinValue, w), 0, kLastStage);
    const int32_t a = GetField(kPropAge, w);
    const int message = kResultMessage + k;
    if (a < 1) {
        const int n = ParseMessage(message, 0);
        SetField(kPropWinLines, w, n);
        SetField(kPropResultShown, w, n);
    }
    if (a > 29) {
        bool advance = false;
        if (k >= kLastStage) {
            if (IsButtonPressed(kButtonShot)) AddField(kPropWinTimer, w, 3);
            advance = GetField(kPropWinTimer, w) > 60 * GetField(kPropWinLines, w) + 59;
        } else if (IsButtonPressed(kButtonShot)) {
            advance = true;
            PlaySe(0);
        }
        if (advance) {
            const int n = ParseMessage(message, GetField(kPropResultShown, w));
            if (n < 1) {
                SetGameVar(kGameVarPhase, k == kLastStage ? kPhaseEnding : kPhaseStageStart);
                SetGameVar(kGameVarPhaseTime, 0);
                ResumePlay(w);
            } else {
                SetField(kPropWinLines, w, n);
                AddField(kPropResultShown, w, n);
            }
            SetField(kPropWinTimer, w, 0);
        }
    }

    DrawCheckerBackground(a, 0x8080C0FFu);
    const int bright = static_cast<int>(std::min<int64_t>(int64_t{4} * a, 255));
    SetRecordColor(QueueRotatedSprite(width / 2, height / 2 - 80, 12, sprite::kPicture + k, 1000, 0),
                   AddToColor(0x000000FFu, bright, bright, bright));
    if (int64_t{4} * a > 255) {
        for (int i = 0; i < 2; ++i) {
            const int32_t portrait = ResultPortraitSprite(GetSpeakerValue(i));
            if (portrait < 0) continue;
            SetRecordColor(QueueRotatedSprite(width / 2 + 120 - 240 * i, height / 2 - 64, 13,
                                              portrait | (i == 1 ? kSpriteMirrorBit : 0), 1000, 0),
                           GetMessageSpeaker() == i ? 0xFFFFFFFFu : 0x8080FF80u);
        }
    }
    const int32_t lines = GetField(kPropWinLines, w);
    if (lines > 0) {
        for (int line = 0; line < lines && line < kMessageLineCount; ++line)
            QueueMessageLine(width / 2 - 144, height / 2 + 16 * line, 24, line);
        QueueBox(width / 2 - 152, height / 2 - 8, 304, 76, 23, 24);
    }
    AddField(kPropWinTimer, w, 1);
}

// ---- Collection ----

void UpdateCollectionWindow(int w) {
    const int32_t a = GetField(kPropAge, w);
    if (a < 1) SetField(kPropWinValue, w, GetConfigVar(kCfgCollection));
    if (IsCancelPressed()) {
        SetConfigVar(kCfgRunFlags, kSceneTitle);
        SetGameVar(kGameVarSceneRequest, kRequestScene);
        PlaySe(2);
    }
    DrawCheckerBackground(a, 0x8080C0FFu);
    SetRecordColor(QueueSpriteText(20, 328, 24, kGetIconText), 0xFFCF7FFFu);
    QueueBox(20, 336, 600, 112, 22, 23);
    const uint32_t owned = static_cast<uint32_t>(GetField(kPropWinValue, w));
    for (int b = 0; b < 32; ++b) {
        if (!(owned & (1u << b))) continue;
        SetRecordColor(QueueRotatedSprite(48 + 36 * (b % 16), 368 + 48 * (b / 16), 24,
                                          sprite::kIcon + b, 1000, 0),
                       0xFFFFFFFFu);
    }
}

}  // namespace velmora
