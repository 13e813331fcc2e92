// The HUD over the play field, the unlock banner, and the menus' backdrop and panel frame.
#include "game/play/hud.h"

#include <algorithm>
#include <cmath>

#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/sound_cue.h"
#include "game/core/sprite_ids.h"
#include "game/play/draw_private.h"
#include "game/play/game_flow.h"
#include "game/play/message_store.h"
#include "game/play/players.h"

namespace velmora {

namespace {

namespace sp = sprite;

constexpr int kHudLayer = 24;
constexpr int kTallyLayer = 21;
constexpr int kBannerLayer = 31;
constexpr int kUnlockLine = 30;
constexpr int kConfigRank = 32;
constexpr int kConfigFlags = 33;
constexpr int kConfigUnlocked = 44;
constexpr uint32_t kConfigInPlay = 0x10;
constexpr uint32_t kScoreColour = 0xffff7fffu;
constexpr uint32_t kWhite = 0xffffffffu;
constexpr double kPi = 3.14159265358979323846;

struct BannerState {
    int timer = 0;
    int item = 0;
};
BannerState g_banner;

uint32_t WithAlpha(uint32_t colour, int64_t alpha) {
    return (colour & 0xffffff00u) | ClampChannel(alpha);
}

// A single digit sprite of a digit set; the value is kept to 0..9 so it stays in the set.
int32_t Digit(int32_t first, int64_t v) {
    return first + static_cast<int32_t>(std::clamp<int64_t>(v, 0, 9));
}

int Number(int x, int y, int layer, int64_t value, int digits, bool pad, int32_t first, int pitch,
           int64_t max) {
    const int r = QueueNumber(x, y, layer, static_cast<int32_t>(std::clamp<int64_t>(value, 0, max)),
                              digits, pad);
    SetRecordAngleScale(r, first, pitch);
    return r;
}

void Tinted(int r, uint32_t colour) {
    SetRecordColor(r, colour);
}

void DrawPlayerPanel(int p, int w, int h) {
    const int x = w / 2 + 28, y = h - 48;
    const int32_t score = GetGameVar(kGameVarScore0 + p);
    if (score > 0)
        Tinted(Number(x + 50, y + 16, kHudLayer, score, 9, false, sp::kSmallDigit, 6, 999999999),
               kScoreColour);
    // The score reads as ten times the points: the last digit comes from the settings.
    Tinted(
        QueueSprite(x + 104, y + 16, kHudLayer, Digit(sp::kSmallDigit, GetConfigVar(kConfigRank))),
        kScoreColour);
    Tinted(QueueSprite(x + 8, y + 11, kHudLayer, Digit(sp::kDigit, GetGameVar(kGameVarLives + p))),
           0xff7f7fffu);
    const int32_t life = std::min(GetPlayerField(p, kPropShownHp), 100);
    if (life > 0) {
        const int r = QueueSprite(x + 23, y + 6, kHudLayer, sp::kLifeBar);
        SetRecordStretch(r, x + 23 + life, y + 12);
    }
    const int32_t max = GetPlayerField(p, kPropShownMaxHp);
    if (max > 0 && max < 100) {
        QueueSprite(x + 23 + max, y + 6, kHudLayer, sp::kLifeCap);
        Tinted(QueueRectangle(x + 23 + max, y + 6, x + 123, y + 12, kHudLayer, true), 0x00000080u);
    }
    constexpr struct {
        int dx;
        uint32_t colour;
    } kStats[3] = {{26, 0xff8080ffu}, {33, 0x8080ffffu}, {40, 0xffff80ffu}};
    for (int i = 0; i < 3; ++i) {
        const int32_t v = GetGameVar(kGameVarShotLevel + 4 * i + p);
        if (v > 0)
            Tinted(QueueSprite(x + kStats[i].dx, y + 14, kHudLayer, Digit(sp::kSmallDigit, v)),
                   kStats[i].colour);
    }
    QueueSprite(x + 1, y + 32, kHudLayer, sp::kHudPanelBase);
    QueueSprite(x + 1, y + 1, kHudLayer, sp::kHudPanel);
}

// A dial that shows `shown` and rolls the next one up from below over its last 31 frames.
void DrawDial(int x, int h, int32_t first, int count, int shown, int32_t into, int32_t length,
              int alpha) {
    const int32_t roll = into - (length - 32);
    if (roll < 1) {
        Tinted(QueueSprite(x, h - 32, kHudLayer, first + shown), WithAlpha(kWhite, alpha));
        return;
    }
    Tinted(QueueSprite(x, h - 32 - roll, kHudLayer, first + shown),
           WithAlpha(kWhite, alpha - 8 * roll));
    Tinted(QueueSprite(x, h - roll, kHudLayer, first + (shown + 1) % count),
           WithAlpha(kWhite, alpha));
}

void DrawClock(int w, int h) {
    (void)w;
    // Faded while a player stands on the screen where the clock is.
    int alpha = 255;
    for (int p = 0; p < kPlayerCount; ++p) {
        if (GetPlayerSlot(p) < 1) continue;
        int32_t x, y;
        GetPlayerPosition(p, &x, &y);
        WorldToScreen(&x, &y);
        if (x < 96 && y > h - 96) alpha = 128;
    }
    const int32_t c =
        static_cast<int32_t>((int64_t{GetGameVar(kGameVarClock)} % 9600 + 9600) % 9600);
    DrawDial(16, h, sp::kClockPhase, 12, c / 800, c % 800, 800, alpha);
    DrawDial(48, h, sp::kStageBadge, 4, (c / 200) & 3, c % 200, 200, alpha);
    Tinted(QueueSprite(80, h - 32, kHudLayer, sp::kClockPlateEnd), WithAlpha(kWhite, alpha));
    Tinted(QueueSprite(0, h - 32, kHudLayer, sp::kClockPlate), WithAlpha(kWhite, alpha));
}

void DrawTally(int w, int h) {
    const int32_t t = GetGameVar(kGameVarPhaseTime);
    const int lines = static_cast<int>(std::clamp<int64_t>(t / 30, 0, 4));
    int64_t lives = 0;
    for (int p = 0; p < kPlayerCount; ++p) lives += GetGameVar(kGameVarLives + p);
    // The time line shows what the tally pays (a third on the easiest difficulty).
    const int64_t values[4] = {
        TallyTimeBonus(GetGameVar(kGameVarTimeLeft)), lives * 500,
        int64_t{GetGameVar(kGameVarDropsTaken)} * 10,
        (static_cast<uint32_t>(GetGameVar(kGameVarMasterFlags)) & (1u << 28)) ? 0 : 1000};
    for (int i = 0; i < lines; ++i) {
        if (values[i] <= 0) continue;
        const int y = h / 4 + 40 * i;
        QueueSprite(w / 2 - 64, y + 16, kTallyLayer, sp::kTallyLabel + i);
        Number(w / 2 + 16, y, kTallyLayer, values[i] * 10, 8, false, sp::kLargeDigit, 14, 99999999);
    }
    DrawMenuBackdrop(1, t);
}

void DrawResult(int w, int h) {
    if (GetGameVar(kGameVarStage) < 5 || GetGameVar(kGameVarPhaseTime) < 181) return;
    const int x = w / 2 - 80, y = h / 2 + 40;
    QueueSpriteText(x, y, kHudLayer, 195);
    // More runs than the ending counts still read as at most 100 %.
    const int64_t percent =
        std::clamp<int64_t>(int64_t{GetGameVar(kGameVarPowerUps)} * 100 / 40, 0, 100);
    Tinted(QueueNumber(x + 112, y, kHudLayer, static_cast<int32_t>(percent), 3, false),
           percent == 100 ? 0xffcf7fffu : 0xffff7fffu);
    QueueSprite(x + 145, y, kHudLayer, sp::kPercent);
}

void NoiseTiles(int x0, int y0, int x1, int y1, int layer, uint32_t colour) {
    for (int y = y0; y < y1; y += 32)
        for (int x = x0; x < x1; x += 32)
            Tinted(QueueSprite(x, y, layer, sp::kNoise + Random(6)), colour);
}

}  // namespace

void DrawHud() {
    int w, h;
    GetScreenExtent(&w, &h);
    const int32_t t = GetGameVar(kGameVarAge);
    const int32_t phase = GetGameVar(kGameVarPhase);
    for (int p = 0; p < kPlayerCount; ++p)
        if (GetGameVar(kGameVarNextLife + p) > 0) DrawPlayerPanel(p, w, h);

    const int32_t time = GetGameVar(kGameVarTimeLeft);
    const int r =
        Number(w / 2 - 21, h - 40, kHudLayer, time / 60, 3, true, sp::kLargeDigit, 14, 999);
    if (time < 599 && (t & 7) < 4) Tinted(r, 0xff0000ffu);

    constexpr uint32_t kKeyColours[4] = {0xff8080ffu, 0x8080ffffu, 0x80f080ffu, 0xffff80ffu};
    const uint32_t keys = static_cast<uint32_t>(GetGameVar(kGameVarStageFlags));
    for (int k = 0; k < 4; ++k)
        if (keys & (1u << (24 + k)))
            Tinted(QueueSprite(w / 2 + 16 * k - 31, h - 56, kHudLayer, sp::kKeyIcon),
                   kKeyColours[k]);

    DrawClock(w, h);

    const int32_t chainTime = GetGameVar(kGameVarChainTimer);
    const int32_t chain = GetGameVar(kGameVarChain);
    if (chainTime > 0 && chain > 1) {
        const uint32_t colour = WithAlpha(kWhite, int64_t{chainTime} * 8);
        Tinted(Number(6, 48, kHudLayer, chain, 4, false, sp::kLargeDigit, 14, 9999), colour);
        Tinted(QueueSprite(64, 48, kHudLayer, sp::kChainLabel), colour);
    }

    if (phase == 11) DrawTally(w, h);
    if (phase == 12) DrawResult(w, h);

    const int32_t end = GetGameVar(kGameVarEndFrames);
    if (end > 0)
        NoiseTiles(0, 0, w, h, kTallyLayer,
                   WithAlpha(0x7f3f3f00u, std::min<int64_t>(int64_t{end} * 4, 192)));
    if (phase < 5) NoiseTiles(0, 0, w, h, end > 0 ? kTallyLayer : 0, kWhite);
}

void Unlock(int n) {
    if (n < 0 || n > 31) return;
    const uint32_t bits = static_cast<uint32_t>(GetConfigVar(kConfigUnlocked));
    if (bits & (1u << n)) return;
    SetConfigVar(kConfigUnlocked, static_cast<int32_t>(bits | (1u << n)));
    CopyMessageRaw(kUnlockLine, n);
    g_banner.timer = kUnlockBannerFrames;
    g_banner.item = n;
    PlaySeAt(0, 0, 4);
}

void DrawUnlockBanner() {
    if (g_banner.timer <= 0) return;
    const int timer = g_banner.timer;
    const int f = timer >= 165 ? kUnlockBannerFrames - timer : std::min(timer, 16);
    const int a = std::min(16 * f, 255);
    if (!(static_cast<uint32_t>(GetConfigVar(kConfigFlags)) & kConfigInPlay))
        Tinted(QueueRectangle(0, 464, 640, 480, kBannerLayer, true), WithAlpha(0x0f0fc000u, a / 2));
    Tinted(QueueSpriteText(160, 464, kBannerLayer, 256 + g_banner.item), WithAlpha(0xffff7f00u, a));
    Tinted(QueueMessageLine(272, 465, kBannerLayer, kUnlockLine), WithAlpha(kWhite, a));
    if (--g_banner.timer == 0) g_banner.item = 0;
}

int GetUnlockBannerTimer() {
    return g_banner.timer;
}

int GetUnlockBannerItem() {
    return g_banner.item;
}

void DrawPanelFrame(int x, int y, int w, int h) {
    QueueRotatedSprite(x + w / 2, y - 63, kHudLayer, sp::kPanelTitle, 1000, 0);
    const int corners[4][2] = {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
    for (int i = 0; i < 4; ++i)
        QueueRotatedSprite(corners[i][0], corners[i][1], kHudLayer, sp::kPanelCorner, 1000,
                           i * kAngleQuarterTurn);
    SetRecordStretch(QueueSprite(x + 32, y - 32, kHudLayer, sp::kPanelEdgeH), x + w - 32, y + 32);
    SetRecordStretch(QueueSprite(x + w - 32, y + h + 32, kHudLayer, sp::kPanelEdgeH), x + 32,
                     y + h - 32);
    SetRecordStretch(QueueSprite(x - 32, y + 32, kHudLayer, sp::kPanelEdgeV), x + 32, y + h - 32);
    SetRecordStretch(QueueSprite(x + w + 32, y + h - 32, kHudLayer, sp::kPanelEdgeV), x + w - 32,
                     y + 32);
    QueueSprite(x, y, 20, sp::kWindow);
}

void DrawMenuBackdrop(int mode, int t) {
    int w, h;
    GetScreenExtent(&w, &h);
    const int cx = w / 2 - 240, cy = h / 4 - 96;
    // The strip repeats every 1024 pixels from a start at or left of -512.
    int sx = w / 2 - 1024 * ((w / 2 + 512 + 1023) / 1024);
    for (; sx <= w + 512; sx += 1024) QueueRotatedSprite(sx, cy - 40, 0, sp::kTitleStrip, 1000, 0);
    Tinted(QueueRectangle(0, cy + 240, w, h, 0, true), 0x104030ffu);
    for (int x = 0; x < w + 48; x += 96) {
        const int q = (x / 96) & 1;
        const int r = QueueRotatedSprite(x, cy + 440, 13 + q, 3142, (2 + q) * 1000, 0);
        Tinted(r, AddToColor(0x000000ffu, 64 * q + 128, 64 * q + 128, 64 * q + 128));
    }
    const int s = t < 30 ? (30 - t) * 32 : 0;
    DrawPanelFrame(cx - s, cy - s, 480 + 2 * s, 360 + 2 * s);
    SetLayerClipRect(21, cx - s, cy - s, cx + 3 * s + 480, cy + 3 * s + 360);
    if (mode == 1) {
        NoiseTiles(cx - s, cy - s, cx + 2 * s + 480, cy + 2 * s + 360, 21, kWhite);
    } else {
        Tinted(QueueRotatedSprite(cx + 280, cy + 180, 21, sp::kPanelEmblem, 1000, 0), 0xffffff80u);
    }
    // A sky behind it all: without it the sliding panel would leave its trail above the
    // ground. Queued last, so it is drawn first on its layer.
    constexpr int kBands = 8;
    const int horizon = cy + 240;
    for (int i = 0; i < kBands; ++i) {
        const int top = horizon * i / kBands, bottom = horizon * (i + 1) / kBands;
        const uint32_t colour = (static_cast<uint32_t>(56 + 10 * i) << 24) |
                                (static_cast<uint32_t>(80 + 12 * i) << 16) |
                                (static_cast<uint32_t>(152 + 8 * i) << 8) | 0xffu;
        if (bottom > top) Tinted(QueueRectangle(0, top, w, bottom, 0, true), colour);
    }
    DrawBackdropPattern(t, 360 + s);
}

void DrawBackdropPattern(int t, int y0) {
    int w, h;
    GetScreenExtent(&w, &h);
    const int left = w / 2 - (w / 192) * 96;
    int k = 0;
    uint32_t colour = 0x8080a0ffu;
    int row = 0;
    for (int y = h / 4 + y0; y < h + 96; y += 80, ++row) {
        for (int x = left - (row % 2 == 0 ? 96 : 0); x < w + 96; x += 192, ++k) {
            const double a = t + 23.0 * k;
            const int px = x + static_cast<int>(8 * std::sin(a * kPi / 64));
            const int py = y + static_cast<int>(8 * std::cos(a * kPi / 48));
            Tinted(QueueSpriteAtDepth(px, py, 26, sp::kBackdropLeaf, y), colour);
        }
        colour = AddToColor(colour, 16, 16, 16);
    }
}

}  // namespace velmora
