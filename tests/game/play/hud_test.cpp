#include "game/play/hud.h"

#include <gtest/gtest.h>

#include "draw_support.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/sprite_ids.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"

namespace velmora {
namespace {

using testing_draw::OnLayer;
using testing_draw::Queued;
using testing_draw::QueuedRecords;
using testing_draw::Where;
using testing_draw::WithSprite;

constexpr int kW = 640, kH = 480;

class HudTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAllObjects();
        SetCameraOrigin(0, 0);
        for (int n = 0; n < kPoolProperties; ++n) SetGameVar(n, 0);
        SetGameVar(kGameVarPhase, 5);
        SetGameVar(120, 6000);
        SetConfigVar(32, 0);
        for (int p = 0; p < kPlayerCount; ++p) g_playerSlots[p] = 0;
        player_ = SpawnObject(320, 240, 9, 8, 0x20000008);
        g_playerSlots[0] = player_;
        ResetDrawList();
        ResetClipRects();
    }
    void Hud() {
        ResetDrawList();
        DrawHud();
    }
    static std::vector<Queued> Numbers() {
        return Where([](const Queued& q) { return q.kind() == 34; });
    }
    static const Queued* NumberAt(int x, int y) {
        static std::vector<Queued> keep;
        keep = Numbers();
        for (const Queued& q : keep)
            if (q.x() == x && q.y() == y) return &q;
        return nullptr;
    }
    int player_ = 0;
};

TEST_F(HudTest, ThePlayerPanel) {
    const int x = kW / 2 + 28, y = kH - 48;
    Hud();
    EXPECT_TRUE(WithSprite(sprite::kHudPanel).empty()) << "no panel without its player";
    SetGameVar(104, 100000);
    SetGameVar(96, 1234);
    SetGameVar(100, 3);
    SetConfigVar(32, 4);
    SetGameVar(80, 2);
    SetGameVar(88, 5);
    SetPlayerField(0, kPropShownHp, 60);
    SetPlayerField(0, kPropShownMaxHp, 80);
    Hud();
    const Queued* score = NumberAt(x + 50, y + 16);
    ASSERT_NE(score, nullptr);
    EXPECT_EQ(score->r.w[kDrawValue], 1234);
    EXPECT_EQ(score->r.w[kDrawX2], 9);
    EXPECT_EQ(score->r.w[kDrawAngle], sprite::kSmallDigit);
    EXPECT_EQ(score->r.w[kDrawScale], 6);
    EXPECT_EQ(score->colour(), 0xffff7fffu);
    // The tenth digit after the score.
    const auto ten = Where([&](const Queued& q) { return q.x() == x + 104 && q.y() == y + 16; });
    ASSERT_EQ(ten.size(), 1u);
    EXPECT_EQ(ten[0].sprite(), sprite::kSmallDigit + 4);
    const auto lives = WithSprite(sprite::kDigit + 3);
    ASSERT_EQ(lives.size(), 1u);
    EXPECT_EQ(lives[0].x(), x + 8);
    EXPECT_EQ(lives[0].colour(), 0xff7f7fffu);
    const auto bar = WithSprite(sprite::kLifeBar);
    ASSERT_EQ(bar.size(), 1u);
    EXPECT_EQ(bar[0].kind(), 6);
    EXPECT_EQ(bar[0].r.w[kDrawX2], x + 23 + 60);
    EXPECT_EQ(bar[0].r.w[kDrawY2], y + 12);
    EXPECT_EQ(WithSprite(sprite::kLifeCap).at(0).x(), x + 23 + 80);
    const auto beyond = Where([&](const Queued& q) { return q.kind() == 6 && q.sprite() == 2; });
    ASSERT_EQ(beyond.size(), 1u);
    EXPECT_EQ(beyond[0].x(), x + 103);
    EXPECT_EQ(beyond[0].r.w[kDrawX2], x + 123);
    EXPECT_EQ(beyond[0].colour(), 0x00000080u);
    // Stats above 0 only: attack and guard here, no range.
    EXPECT_EQ(Where([&](const Queued& q) { return q.y() == y + 14; }).size(), 2u);
    EXPECT_EQ(WithSprite(sprite::kSmallDigit + 2).at(0).colour(), 0xff8080ffu);
    EXPECT_EQ(WithSprite(sprite::kSmallDigit + 5).at(0).colour(), 0xffff80ffu);
    EXPECT_EQ(WithSprite(sprite::kHudPanel).size(), 1u);
    // A full bar has no cap; no score below 1.
    SetPlayerField(0, kPropShownMaxHp, 100);
    SetGameVar(96, 0);
    Hud();
    EXPECT_TRUE(WithSprite(sprite::kLifeCap).empty());
    EXPECT_EQ(NumberAt(x + 50, y + 16), nullptr);
}

TEST_F(HudTest, DigitsStayInsideTheirSets) {
    SetGameVar(104, 1);
    SetGameVar(100, 25);
    SetGameVar(84, -3);
    SetGameVar(80, 12);
    SetConfigVar(32, -7);
    SetGameVar(120, 4000000);
    Hud();
    for (const Queued& q : QueuedRecords()) {
        if (q.kind() == 34) continue;
        const int32_t id = q.sprite();
        const bool small = id >= sprite::kSmallDigit - 20 && id < sprite::kSmallDigit + 20;
        if (small) {
            EXPECT_TRUE(id >= sprite::kSmallDigit && id <= sprite::kSmallDigit + 9) << id;
        }
        if (id >= sprite::kDigit - 5 && id < sprite::kDigit + 15 && id != sprite::kKeyIcon) {
            EXPECT_TRUE(id >= sprite::kDigit && id <= sprite::kDigit + 9) << id;
        }
    }
    EXPECT_EQ(WithSprite(sprite::kDigit + 9).size(), 1u);
    EXPECT_EQ(WithSprite(sprite::kSmallDigit + 9).size(), 1u);
    const Queued* time = NumberAt(kW / 2 - 21, kH - 40);
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->r.w[kDrawValue], 999);
}

TEST_F(HudTest, TimeBlinksRedBelowTenSeconds) {
    struct Case {
        int time, age;
        bool red;
    } cases[] = {{599, 0, false}, {598, 0, true}, {598, 3, true},
                 {598, 4, false}, {598, 9, true}, {0, 1, true}};
    for (const Case& c : cases) {
        SetGameVar(120, c.time);
        SetGameVar(kGameVarAge, c.age);
        Hud();
        const Queued* t = NumberAt(kW / 2 - 21, kH - 40);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->r.w[kDrawValue], c.time / 60);
        EXPECT_EQ(t->r.w[kDrawY2], 1) << "leading zeros";
        EXPECT_EQ(t->r.w[kDrawAngle], sprite::kLargeDigit);
        EXPECT_EQ(t->colour(), c.red ? 0xff0000ffu : 0xffffffffu) << c.time << " " << c.age;
    }
}

TEST_F(HudTest, KeyBits) {
    SetGameVar(118, static_cast<int32_t>((1u << 24) | (1u << 27) | (1u << 12)));
    Hud();
    const auto keys = WithSprite(sprite::kKeyIcon);
    ASSERT_EQ(keys.size(), 2u);
    for (const Queued& k : keys) {
        EXPECT_EQ(k.y(), kH - 56);
        EXPECT_EQ(k.colour(), k.x() == kW / 2 - 31 ? 0xff8080ffu : 0xffff80ffu);
    }
}

TEST_F(HudTest, TheClockRollsInThePhasesLastFrames) {
    auto dial = [](int x) {
        return Where([x](const Queued& q) {
            return q.x() == x && q.sprite() != sprite::kClockPlate &&
                   q.sprite() != sprite::kClockPlateEnd;
        });
    };
    SetGameVar(113, 800 * 3 + 100);
    Hud();
    auto d = dial(16);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].sprite(), sprite::kClockPhase + 3);
    EXPECT_EQ(d[0].y(), kH - 32);
    EXPECT_EQ(d[0].colour(), 0xffffffffu);
    // Ten frames into the roll: the phase moves up, fading, the next one follows 32 below.
    SetGameVar(113, 800 * 11 + 778);
    Hud();
    d = dial(16);
    ASSERT_EQ(d.size(), 2u);
    for (const Queued& q : d) {
        if (q.sprite() == sprite::kClockPhase + 11) {
            EXPECT_EQ(q.y(), kH - 32 - 10);
            EXPECT_EQ(q.colour() & 0xff, 255u - 80u);
        } else {
            EXPECT_EQ(q.sprite(), sprite::kClockPhase + 0) << "the twelfth rolls into the first";
            EXPECT_EQ(q.y(), kH - 10);
        }
    }
    // The quarter dial rolls every 200 frames, and a full day wraps.
    SetGameVar(113, 9600 * 2 + 200 + 190);
    Hud();
    d = dial(48);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(WithSprite(sprite::kClockPlate).size(), 1u);
    EXPECT_EQ(WithSprite(sprite::kClockPlateEnd).at(0).x(), 80);
}

TEST_F(HudTest, TheClockFadesUnderAPlayerOnTheScreensCorner) {
    // The area is scrolled: the player's world place is far from the corner, its screen place
    // is on it.
    SetCameraOrigin(1000, 600);
    SetPosition(1040, 600 + kH - 40, player_);
    Hud();
    EXPECT_EQ(WithSprite(sprite::kClockPlate).at(0).colour() & 0xff, 128u);
    // World place near the corner, screen place elsewhere: not faded.
    SetPosition(40, kH - 40, player_);
    Hud();
    EXPECT_EQ(WithSprite(sprite::kClockPlate).at(0).colour() & 0xff, 255u);
}

TEST_F(HudTest, ChainCounter) {
    SetGameVar(110, 7);
    SetGameVar(111, 10);
    Hud();
    const Queued* n = NumberAt(6, 48);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->r.w[kDrawValue], 7);
    EXPECT_EQ(n->r.w[kDrawX2], 4);
    EXPECT_EQ(n->colour(), 0xffffff50u);
    EXPECT_EQ(WithSprite(sprite::kChainLabel).at(0).x(), 64);
    SetGameVar(110, 1);
    Hud();
    EXPECT_EQ(NumberAt(6, 48), nullptr);
    SetGameVar(110, 123456);
    SetGameVar(111, 100);
    Hud();
    ASSERT_NE(NumberAt(6, 48), nullptr);
    EXPECT_EQ(NumberAt(6, 48)->r.w[kDrawValue], 9999);
    EXPECT_EQ(NumberAt(6, 48)->colour(), 0xffffffffu);
}

TEST_F(HudTest, TallyShowsALineEveryThirtyFrames) {
    SetGameVar(kGameVarPhase, 11);
    SetGameVar(120, 60 * 50);
    SetGameVar(64, 1);
    SetGameVar(100, 2);
    SetGameVar(101, 1);
    SetGameVar(109, 0);  // no third line
    const int64_t values[4] = {50 * 300, 3 * 500, 0, 1000};
    for (int t : {0, 29, 30, 60, 90, 120, 400}) {
        SetGameVar(kGameVarPhaseTime, t);
        Hud();
        const int lines = std::min(t / 30, 4);
        int shown = 0;
        for (int i = 0; i < 4; ++i) {
            const Queued* n = NumberAt(kW / 2 + 16, kH / 4 + 40 * i);
            const auto label = WithSprite(sprite::kTallyLabel + i);
            if (i < lines && values[i] > 0) {
                ++shown;
                ASSERT_NE(n, nullptr) << t << " " << i;
                EXPECT_EQ(n->r.w[kDrawValue], values[i] * 10);
                EXPECT_EQ(n->layer, 21);
                ASSERT_EQ(label.size(), 1u);
                EXPECT_EQ(label[0].y(), kH / 4 + 40 * i + 16);
            } else {
                EXPECT_EQ(n, nullptr) << t << " " << i;
                EXPECT_TRUE(label.empty());
            }
        }
        EXPECT_EQ(shown, t >= 120 ? 3 : std::min(lines, 2)) << t;
        EXPECT_FALSE(WithSprite(sprite::kPanelCorner).empty()) << "the backdrop comes with it";
    }
    // On the easiest difficulty the time line shows what the tally pays there, a third (it
    // showed half, which was never paid); the fourth line goes with flag 28.
    SetGameVar(64, 0);
    SetGameVar(25, 1 << 28);
    SetGameVar(kGameVarPhaseTime, 200);
    Hud();
    EXPECT_EQ(NumberAt(kW / 2 + 16, kH / 4)->r.w[kDrawValue], 50 * 300 / 3 * 10);
    EXPECT_EQ(NumberAt(kW / 2 + 16, kH / 4 + 120), nullptr);
}

TEST_F(HudTest, TheEndingPercentageStaysAtMostAHundred) {
    SetGameVar(kGameVarPhase, 12);
    SetGameVar(116, 5);
    SetGameVar(kGameVarPhaseTime, 181);
    const int x = kW / 2 - 80 + 112, y = kH / 2 + 40;
    struct Case {
        int runs, percent;
        uint32_t colour;
    } cases[] = {{10, 25, 0xffff7fffu},
                 {40, 100, 0xffcf7fffu},
                 {90, 100, 0xffcf7fffu},
                 {-5, 0, 0xffff7fffu}};
    for (const Case& c : cases) {
        SetGameVar(70, c.runs);
        Hud();
        const Queued* n = NumberAt(x, y);
        ASSERT_NE(n, nullptr) << c.runs;
        EXPECT_EQ(n->r.w[kDrawValue], c.percent) << c.runs;
        EXPECT_EQ(n->colour(), c.colour);
        EXPECT_EQ(WithSprite(sprite::kPercent).at(0).x(), kW / 2 - 80 + 145);
    }
    SetGameVar(kGameVarPhaseTime, 180);
    Hud();
    EXPECT_EQ(NumberAt(x, y), nullptr);
}

TEST_F(HudTest, NoiseOverlayAtTheEndAndWhiteBeforePlay) {
    SetGameVar(125, 10);
    SetGameVar(kGameVarPhase, 8);
    Hud();
    auto noise = Where([](const Queued& q) {
        return q.sprite() >= sprite::kNoise && q.sprite() < sprite::kNoise + 8;
    });
    ASSERT_EQ(noise.size(), static_cast<size_t>((kW / 32) * (kH / 32)));
    for (const Queued& q : noise) {
        EXPECT_LE(q.sprite(), sprite::kNoise + 6);
        EXPECT_EQ(q.layer, 21);
        EXPECT_EQ(q.colour(), 0x7f3f3f28u);
    }
    SetGameVar(125, 0);
    SetGameVar(kGameVarPhase, 1);
    Hud();
    noise = Where([](const Queued& q) {
        return q.sprite() >= sprite::kNoise && q.sprite() < sprite::kNoise + 8;
    });
    ASSERT_FALSE(noise.empty());
    for (const Queued& q : noise) {
        EXPECT_EQ(q.layer, 0);
        EXPECT_EQ(q.colour(), 0xffffffffu);
    }
}

// ---- Backdrop, panel and banner ----

TEST_F(HudTest, TheBackdropSlidesInOverThirtyFrames) {
    const int cx = kW / 2 - 240, cy = kH / 4 - 96;
    for (int t : {0, 10, 29, 30, 100}) {
        ResetDrawList();
        ResetClipRects();
        DrawMenuBackdrop(1, t);
        const int s = t < 30 ? (30 - t) * 32 : 0;
        int l, tp, r, b;
        GetLayerClipRect(21, &l, &tp, &r, &b);
        EXPECT_EQ(l, std::max(cx - s, 0)) << t;
        EXPECT_EQ(tp, std::max(cy - s, 0)) << t;
        EXPECT_EQ(r, std::min(cx + 3 * s + 480, kW)) << t;
        EXPECT_EQ(b, std::min(cy + 3 * s + 360, kH)) << t;
        const auto window = WithSprite(sprite::kWindow);
        ASSERT_EQ(window.size(), 1u);
        EXPECT_EQ(window[0].x(), cx - s);
        EXPECT_EQ(window[0].layer, 20);
        const auto corners = WithSprite(sprite::kPanelCorner);
        ASSERT_EQ(corners.size(), 4u);
        std::vector<int32_t> angles;
        for (const Queued& q : corners) angles.push_back(q.r.w[kDrawAngle]);
        std::sort(angles.begin(), angles.end());
        EXPECT_EQ(angles, (std::vector<int32_t>{0, 54000, 108000, 162000}));
        EXPECT_EQ(WithSprite(sprite::kPanelTitle).at(0).y(), cy - s - 63);
    }
    // Nothing behind it is left uncovered: the sky down to the ground, the ground below.
    int covered = 0;
    for (const Queued& q : OnLayer(0)) {
        if (q.kind() != 6 || q.sprite() != 2) continue;
        EXPECT_EQ(q.x(), 0);
        EXPECT_EQ(q.r.w[kDrawX2], kW);
        covered += q.r.w[kDrawY2] - q.y();
    }
    EXPECT_EQ(covered, kH);
    // Other modes show the emblem instead of the noise fill.
    ResetDrawList();
    DrawMenuBackdrop(0, 40);
    EXPECT_EQ(WithSprite(sprite::kPanelEmblem).size(), 1u);
    EXPECT_EQ(WithSprite(sprite::kPanelEmblem).at(0).colour(), 0xffffff80u);
    EXPECT_TRUE(Where([](const Queued& q) {
                    return q.sprite() >= sprite::kNoise && q.sprite() < sprite::kNoise + 8;
                }).empty());
    // The drifting leaves, lighter row by row, at their row's depth on layer 26.
    const auto leaves = WithSprite(sprite::kBackdropLeaf);
    ASSERT_FALSE(leaves.empty());
    for (const Queued& q : leaves) {
        EXPECT_EQ(q.layer, 26);
        const int row = (q.depth() - (kH / 4 + 360)) / 80;
        EXPECT_EQ(q.colour(), AddToColor(0x8080a0ffu, 16 * row, 16 * row, 16 * row));
        EXPECT_LE(std::abs(q.y() - q.depth()), 8);
    }
}

TEST_F(HudTest, TheUnlockBannerShowsForItsFrames) {
    SetConfigVar(44, 0);
    SetConfigVar(33, 0);
    Unlock(3);
    EXPECT_EQ(GetConfigVar(44), 8);
    EXPECT_EQ(GetUnlockBannerTimer(), 180);
    EXPECT_EQ(GetUnlockBannerItem(), 3);
    std::vector<int> alphas;
    for (int f = 0; f < 180; ++f) {
        ResetDrawList();
        DrawUnlockBanner();
        const auto caption =
            Where([](const Queued& q) { return q.kind() == 33 && q.r.w[kDrawAngle] == 0; });
        ASSERT_EQ(caption.size(), 1u) << f;
        EXPECT_EQ(caption[0].r.w[kDrawSprite], 256 + 3 + 1);
        EXPECT_EQ(caption[0].layer, 31);
        alphas.push_back(static_cast<int>(caption[0].colour() & 0xff));
        const auto line =
            Where([](const Queued& q) { return q.kind() == 33 && q.r.w[kDrawAngle] == 2; });
        ASSERT_EQ(line.size(), 1u);
        EXPECT_EQ(line[0].r.w[kDrawSprite], 30 + 1);
        const auto band = OnLayer(31);
        EXPECT_EQ(band.size(), 3u) << "the band shows outside play";
    }
    // From 0 on the first frame, full in the middle, fading over the last 16.
    EXPECT_EQ(alphas[0], 0);
    EXPECT_EQ(alphas[1], 16);
    EXPECT_EQ(alphas[15], 240);
    EXPECT_EQ(alphas[16], 255);
    EXPECT_EQ(alphas[164], 255);
    EXPECT_EQ(alphas[165], 240);
    EXPECT_EQ(alphas[179], 16);
    EXPECT_EQ(GetUnlockBannerTimer(), 0);
    EXPECT_EQ(GetUnlockBannerItem(), 0);
    ResetDrawList();
    DrawUnlockBanner();
    EXPECT_TRUE(QueuedRecords().empty());
    // Once only; out of range never.
    for (int n : {3, -1, 32}) {
        Unlock(n);
        EXPECT_EQ(GetUnlockBannerTimer(), 0) << n;
    }
    EXPECT_EQ(GetConfigVar(44), 8);
    // In play there is no band.
    SetConfigVar(33, 0x10);
    Unlock(7);
    ResetDrawList();
    DrawUnlockBanner();
    EXPECT_EQ(OnLayer(31).size(), 2u);
}

}  // namespace
}  // namespace velmora
