#include "game/frontend/title.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/sound_cue.h"
#include "game/core/sprite_ids.h"
#include "game/frontend/windows.h"
#include "game/play/hud.h"
#include "game/play/object_utils.h"

namespace velmora {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kDescriptorTitle = 1;

bool AnyStageUnlocked() {
    return GetConfigVar(52) > 0 || GetConfigVar(53) > 0 || GetConfigVar(54) > 0;
}

void PostScene(int32_t code) {
    SetConfigVar(kCfgRunFlags, code);
    SetGameVar(kGameVarSceneRequest, kRequestScene);
}

void Colour(int record, uint32_t colour) {
    SetRecordColor(record, colour);
}

}  // namespace

int OpenTitleMenu() {
    const int slot = OpenMenuWindow(16, 16, 0, 0, 0, kDescriptorTitle);
    SetConfigVar(kCfgRunFlags, kSceneTitle);
    PlayBgmTrack(-1);
    int mask = kTitleStartMask;
    if (AnyStageUnlocked()) mask |= 1 << 2;
    if (GetConfigVar(kCfgLastStage) > 0) {
        mask |= 1 << 1;
        SetField(kPropWinCursor, slot, 1);
    }
    int width, height;
    GetScreenExtent(&width, &height);
    if (width > 320) mask |= 1 << 5;
    SetField(kPropWinValue, slot, mask);
    return slot;
}

int TitleItemMask(int w) {
    int width, height;
    GetScreenExtent(&width, &height);
    int mask = GetField(kPropWinValue, w);
    if (width < 640) mask &= ~((1 << 3) | (1 << 4) | (1 << 5));
    return mask;
}

void UpdateTitleWindow(int w) {
    if (w != GetCurrentWindow()) return;
    int width, height;
    GetScreenExtent(&width, &height);
    const int mask = TitleItemMask(w);
    const int32_t age = GetField(kPropAge, w);
    int32_t cursor = GetField(kPropWinCursor, w);
    int32_t count = GetField(kPropWinCount, w);
    if (count < 1 || count > kTitleItems) count = kTitleItems;
    int32_t timer = GetField(kPropWinTimer, w);

    if (GetField(kPropWinConfirmed, w) > 0) {
        if (timer > 30)
            PostScene(cursor + 4);
        else
            timer += 1;
    } else {
        int step = 0;
        if (IsButtonPressed(kButtonUp)) {
            step -= 1;
            PlaySe(0);
        }
        if (IsButtonPressed(kButtonDown)) {
            step += 1;
            PlaySe(0);
        }
        // Skip hidden items in the direction of the move. The search is bounded, and a cursor
        // left on a hidden item moves on to the next shown one instead of searching forever.
        if ((mask & ((1 << count) - 1)) != 0) {
            for (int i = 0; i <= count; ++i) {
                cursor = ((cursor + count + step) % count + count) % count;
                if (mask & (1 << cursor)) break;
                if (step == 0) step = 1;
            }
        }
        if (age > 59 && IsConfirmPressed(true)) {
            SetField(kPropWinConfirmed, w, 1);
            PlaySe(19);
            if (cursor > 5) FadeBgmSlowly();
            timer += 1;
        }
        if (IsCancelPressed()) cursor = 7;
        cursor = ((cursor + count) % count + count) % count;
        SetField(kPropWinCursor, w, cursor);
    }

    if (age < 1) {
        SetField(kPropWinBand, w, height / 4 - 40);
        PlaySe(15);
        PlaySe(19);
    }
    SetField(kPropWinTimer, w, timer);

    const bool confirmed = GetField(kPropWinConfirmed, w) > 0;
    if (!confirmed)
        DrawMenuBackdrop(age < 30 ? 1 : 0, age);
    else
        DrawMenuBackdrop(1, 30 - timer);

    if (age > 29) {
        const int x = width / 2 + 120 - 64 - (width < 640 ? 48 : 0);
        int y = height / 4 - 40;
        const int a = static_cast<int>(std::sin(age * kPi / 23) * 4) + 4;
        for (int i = 0; i < kTitleItems; ++i) {
            if (!(mask & (1 << i))) continue;
            uint32_t colour;
            if (i == cursor) {
                colour = (confirmed && timer % 6 < 3) ? 0x00000000u : 0xFFFFFFFFu;
                // The band glides toward the row, landing on it rather than past it.
                int32_t band = GetField(kPropWinBand, w);
                band += std::clamp(y - band, -8, 8);
                SetField(kPropWinBand, w, band);
                if (timer < 1)
                    Colour(QueueRectangle(width / 2 - 240, band - a, width / 2 + 240, band + a, 22,
                                          true),
                           0x4040FF80u);
            } else {
                colour = timer < 1 ? 0x40404080u : 0x00000000u;
            }
            Colour(QueueRotatedSprite(x, y, 24, sprite::kTitleItem + i, 1000, 0), colour);
            y += 36;
        }
        QueueFontText(0, 0, 24, 1);
    }

    int logoX = width / 2;
    int logoY = std::max(2 * height / 3, height / 4 + 288);
    if (width < 640) logoY = 160;
    int32_t scale = width < 1024 ? width * 1000 / 1024 : 1000;
    if (age < 30) scale += (30 - age) * 100;
    if (age >= 30 && age <= 59) {
        logoX += Random(8) - 4;
        logoY += Random(8) - 4;
    }
    if (age == 30) {
        PlaySe(11);
        PlayBgmWithTitle(0);
    }
    const int alpha = timer > 0 ? 240 - 8 * timer : 255;
    if (alpha > 0) {
        Colour(QueueRotatedSprite(logoX, width < 640 ? logoY + 40 : logoY, 30, sprite::kLogo, scale,
                                  0),
               0xFFFFFF00u | static_cast<uint32_t>(alpha));
    }
}

void UpdateModeSelectWindow(int w) {
    int width, height;
    GetScreenExtent(&width, &height);
    const int x0 = GetField(kPropX, w);
    const int y0 = GetField(kPropY, w);
    const int32_t age = GetField(kPropAge, w);
    int32_t s = GetField(kPropWinCursor, w);
    int32_t d = GetField(kPropWinValue, w);
    const bool stages = !(static_cast<uint32_t>(GetField(kPropFlags, w)) & kFlagModeSelectNoStages);

    if (age < 1) {
        d = GetConfigVar(kCfgOption38);
        s = GetConfigVar(kCfgLastStage);
    }
    // Settings words may hold anything: the cursors and counts stay within what can be drawn.
    const int32_t m = std::min(2 + (GetConfigVar(42) > 0 ? 1 : 0), 3);
    d = std::clamp(d, 0, m - 1);
    const int32_t n = std::clamp(1 + GetConfigVar(52 + d), 1, 5);
    if (s > n) s = n;
    if (s < 0) s = 0;

    DrawMenuBackdrop(1, age + 30);

    if (stages) {
        if (IsButtonPressed(kButtonUp)) {
            s -= 1;
            PlaySe(0);
        }
        if (IsButtonPressed(kButtonDown)) {
            s += 1;
            PlaySe(0);
        }
        s = (s + n) % n;
    }
    s = std::min(s, n - 1);
    if (IsButtonPressed(kButtonLeft)) {
        d -= 1;
        PlaySe(0);
    }
    if (IsButtonPressed(kButtonRight)) {
        d += 1;
        PlaySe(0);
    }
    d = (d + m) % m;

    if (IsConfirmPressed(true)) {
        SetConfigVar(kCfgLastStage, s);
        SetConfigVar(kCfgOption38, d);
        SetConfigVar(kCfgArea, 0);
        RestartRun();
        if (stages) AddConfigVar(kCfgRunFlags, kRunStageChosen);
        return;
    }
    if (IsCancelPressed()) PostScene(kSceneTitle);
    SetField(kPropWinValue, w, d);
    SetField(kPropWinCursor, w, s);

    SetLayerClipRect(23, width / 2 - 240, height / 4 - 96, width / 2 + 240, height / 4 + 264);
    SetLayerClipRect(22, width / 2 - 240, height / 4 - 96, width / 2 + 240, height / 4 + 264);
    if (stages) {
        const int a = static_cast<int>(std::sin(age * kPi / 32) * 4) + 4;
        int y = y0;
        for (int i = 0; i < n; ++i) {
            const uint32_t colour = i == s ? 0xFFFFFFFFu : 0x404040FFu;
            if (i == s) Colour(QueueRectangle(0, y - a, width, y + a, 22, true), 0x4040FF80u);
            const int slide = std::min(0, -480 - 120 * i + 24 * age);
            const int x = x0 + static_cast<int>(std::sin((23 * i + age) * kPi / 48) * 8) - 8 -
                          (width < 640 ? 80 : 0) + slide;
            Colour(QueueRotatedSprite(x, y, 23, sprite::kStageBannerL, 1000, 0), colour);
            Colour(QueueRotatedSprite(x + 32, y, 23, sprite::kStageBadge + i, 1000, 0), colour);
            Colour(QueueRotatedSprite(x + 64, y, 23, sprite::kStageBannerR, 1000, 0), colour);
            y += 36;
        }
        QueueSprite(width / 2 - 160, height / 4, 23, sprite::kStageName + s);
    }
    for (int j = 0; j < m; ++j) {
        const uint32_t colour = j == d ? 0xFFFFFFFFu : 0x404040FFu;
        int x, y;
        if (width >= 640) {
            x = x0 + 128 * j - 256;
            y = y0 + 240;
        } else {
            x = x0 + 120 * j - 200 - (m == 3 ? 48 * d : 0);
            y = y0 + 192;
        }
        Colour(QueueRotatedSprite(x, y, 23, sprite::kDifficulty + j, 1000, 0), colour);
    }
}

}  // namespace velmora
