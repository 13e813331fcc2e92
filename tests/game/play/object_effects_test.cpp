#include <gtest/gtest.h>

#include <cmath>

#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/screen_state.h"
#include "game/core/sound_cue.h"
#include "game/core/tween.h"
#include "game/play/object_utils.h"

namespace velmora {
namespace {

class ObjectEffectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAllObjects();
        PlayBgmTrack(-1);
    }
};

TEST_F(ObjectEffectsTest, MusicTitleForATrackTheGameHas) {
    PlayBgmWithTitle(3);
    EXPECT_EQ(GetCurrentBgm(), 3);
    EXPECT_EQ(GetLiveObjectCount(), 1);
    const int title = kFirstObjectSlot;
    int w = 0, h = 0;
    GetScreenExtent(&w, &h);
    EXPECT_EQ(GetField(kPropY, title), h - 47);
    EXPECT_EQ(GetField(64, title), 208 + 3);
    EXPECT_EQ(GetField(kPropDrawWord, title), 4);
    EXPECT_EQ(GetField(kPropLayer, title), 30);
    // The fade-in starts it transparent.
    EXPECT_EQ(static_cast<uint32_t>(GetField(kPropColor, title)) & 0xffffff00u, 0xffcf7f00u);
    EXPECT_EQ(static_cast<uint32_t>(GetField(kPropFlags, title)) & 0x4010000u, 0x4010000u);
    // The same track again shows nothing.
    PlayBgmWithTitle(3);
    EXPECT_EQ(GetLiveObjectCount(), 1);
    PlayBgmWithTitle(0);
    EXPECT_EQ(GetLiveObjectCount(), 2);
}

TEST_F(ObjectEffectsTest, MusicTitleIgnoresTracksTheGameHasNot) {
    PlayBgmWithTitle(5);
    for (int n : {-1, 12, 40, -208}) {
        PlayBgmWithTitle(n);
        EXPECT_EQ(GetCurrentBgm(), 5) << n;
        EXPECT_EQ(GetLiveObjectCount(), 1) << n;
    }
}

TEST_F(ObjectEffectsTest, SparkRingsAndClouds) {
    SeedRandom(7);
    SpawnSparkRing(0, 0, 1, 3, 0, 512);
    EXPECT_EQ(GetLiveObjectCount(), 0);
    SpawnSparkRing(0, 0, 1, 3, 4, 512);
    ASSERT_EQ(GetLiveObjectCount(), 4);
    for (int s = kFirstObjectSlot; s < kFirstObjectSlot + 4; ++s) {
        const int32_t dir = GetField(kPropDirection, s);
        int32_t vx = 0, vy = 0;
        PolarOffset(&vx, &vy, dir, 512);
        EXPECT_EQ(GetField(kPropVelX, s), vx);
        EXPECT_EQ(GetField(kPropVelY, s), vy / 2);  // a flattened ring
        EXPECT_EQ(GetField(kPropScale, s), 1000);
        EXPECT_EQ(static_cast<uint32_t>(GetField(kPropFlags, s)) & 0x60000000u, 0x60000000u);
        EXPECT_EQ(GetField(kPropKind, s), 0x60000000);
    }
    EXPECT_EQ(
        GetField(kPropDirection, kFirstObjectSlot + 1) - GetField(kPropDirection, kFirstObjectSlot),
        54000);
    EXPECT_EQ(GetTweenCount(), 8);  // a fade and an end each
    SpawnSparkCloud(0, 0, 1, 3, 5, 100);
    EXPECT_EQ(GetLiveObjectCount(), 9);
    for (int s = kFirstObjectSlot + 4; s < kFirstObjectSlot + 9; ++s) {
        EXPECT_GE(GetField(kPropSpeed, s), 100);
        EXPECT_LE(GetField(kPropSpeed, s), 200);
        EXPECT_GE(GetField(kPropScale, s), 1000);
        EXPECT_LE(GetField(kPropScale, s), 2000);
    }
}

TEST_F(ObjectEffectsTest, TextsRectanglesAndIcons) {
    const int text = SpawnRisingText(10, 20, 3, 5, 1234, 0x102030ff);
    EXPECT_EQ(GetField(kPropDirection, text), 162000);
    EXPECT_EQ(GetField(kPropSpeed, text), 256);
    EXPECT_EQ(GetField(64, text), 1234);
    EXPECT_EQ(GetField(65, text), 5);
    EXPECT_EQ(GetField(kPropColor, text), 0x102030ff);
    const int rect = SpawnScreenRect(9, 0x000000ff);
    int w = 0, h = 0;
    GetScreenExtent(&w, &h);
    EXPECT_EQ(GetField(kPropScale, rect), w);
    EXPECT_EQ(GetField(kPropScale + 1, rect), h);
    EXPECT_EQ(static_cast<uint32_t>(GetField(kPropFlags, rect)), 0x4010000u);
    const int icon = SpawnPopIcon(0, 0, 2, 77);
    EXPECT_EQ(GetField(kPropScale, icon), 0);
    EXPECT_EQ(SpawnTextObject(0, 0, 1, 4, 9, -1, 3), icon + 1);
    EXPECT_EQ(GetField(65, icon + 1), 3);
}

TEST_F(ObjectEffectsTest, VelocityAndExpiryHelpers) {
    const int s = SpawnObject(0, 0, 0, 1, 0x60000000);
    SetField(kPropVelX, s, 300);
    SetField(kPropVelY, s, -200);
    DampVelocity(s);
    EXPECT_EQ(GetField(kPropVelX, s), 44);
    EXPECT_EQ(GetField(kPropVelY, s), 0);
    SetField(kPropVelY, s, -700);
    DampVelocity(s);
    EXPECT_EQ(GetField(kPropVelY, s), -444);
    const int before = GetTweenCount();
    ExpireObject(-1, 40, 1);
    EXPECT_EQ(GetTweenCount(), before);
    ExpireObject(s, 40, 1);
    EXPECT_EQ(GetTweenCount(), before + 2);
    ExpireObject(s, 10, 1);  // too short to fade: only its end
    EXPECT_EQ(GetTweenCount(), before + 3);
    EXPECT_TRUE(GetField(kPropFlags, s) & kFlagAnimated);
    SpawnObject(0, 0, 5, 1, 0x30000001);
    SpawnObject(0, 0, 5, 1, 0x40000001);
    EXPECT_EQ(RetireLayer(5), 2);
    EXPECT_FLOAT_EQ(CosFloat(0.5f), std::cos(0.5f));
}

TEST_F(ObjectEffectsTest, FlashScreenCapturesTheFrameAndFadesIt) {
    ClearScreenFlash();
    FlashScreen();
    EXPECT_TRUE(IsScreenFlashRequested());
    int found = 0;
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s) {
        if (GetField(kPropDrawWord, s) != 8191) continue;
        ++found;
        EXPECT_EQ(GetField(kPropKind, s), 0x60000000);
        EXPECT_EQ(GetField(kPropX, s), 320);
        EXPECT_EQ(GetField(kPropY, s), 240);
        EXPECT_EQ(GetField(kPropLayer, s), 24);
    }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(GetTweenCount(), 2);  // fading, then its end
    ClearScreenFlash();
}

}  // namespace
}  // namespace velmora
