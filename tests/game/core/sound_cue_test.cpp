#include "game/core/sound_cue.h"

#include <gtest/gtest.h>

#include <string>

#include "game/core/config.h"
#include "game/core/engine_standin.h"

namespace velmora {
namespace {

std::string SeName(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "dat\\velm3\\se%02d.wav", n);
    return name;
}
std::string BgmName(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "dat\\velmbgm%02d.ogg", n);
    return name;
}

class SoundCueTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::Reset();
        ResetConfig();
        LoadSounds(nullptr);
        standin::ClearCallLog();
    }
    standin::SoundState& Se(int n) { return standin::Sound(GetSoundTable().seHandle[n]); }
    standin::SoundState& Bgm(int n) { return standin::Sound(GetSoundTable().bgmHandle[n]); }
    int Volume(int track) { return GetSoundTable().bgmVolume[track]; }
};

TEST(SoundLoadTest, EffectsFallBackToOggAndTracksGetTheirLoopPoints) {
    standin::Reset();
    ResetConfig();
    standin::MarkSoundMissing(SeName(7));
    int ticks = 0;
    static int* tickCount = nullptr;
    tickCount = &ticks;
    LoadSounds([] { ++*tickCount; });
    EXPECT_EQ(ticks, 1 + kBgmCount);
    EXPECT_EQ(standin::Sound(GetSoundTable().seHandle[7]).name, "dat\\velm3\\se07.ogg");
    EXPECT_EQ(standin::Sound(GetSoundTable().seHandle[8]).name, SeName(8));
    for (int n = 0; n < kBgmCount; ++n) {
        const standin::SoundState& s = standin::Sound(GetSoundTable().bgmHandle[n]);
        EXPECT_EQ(s.name, BgmName(n));
        EXPECT_EQ(s.loopStartMs, kBgmLoopStartMs[n] >= 1 ? kBgmLoopStartMs[n] : 0);
        EXPECT_EQ(s.volume, 95 * 100);
    }
    EXPECT_EQ(standin::Sound(GetSoundTable().seHandle[0]).volume, 90 * 100);
    EXPECT_EQ(GetCurrentBgm(), kNoBgm);
    // Effects are decoded whole, music streamed.
    EXPECT_EQ(standin::CallLog().front(), "KeepMode 0");
    EXPECT_EQ(standin::CallLog().back(), "KeepMode 3");
}

TEST_F(SoundCueTest, SameEffectSoundsOnceEveryFourFrames) {
    for (int frame = 0; frame < 12; ++frame) {
        PlaySe(3);
        UpdateSound();
    }
    EXPECT_EQ(Se(3).playCount, 3);
    EXPECT_EQ(Se(3).lastPlayType, 1);
}

TEST_F(SoundCueTest, OnlyEffectsInsideTheViewSound) {
    struct Case {
        int x, y;
        bool sounds;
    };
    const Case cases[] = {
        {0, 0, true},     {320, 240, true}, {-320, -240, true}, {321, 0, false},
        {-321, 0, false}, {0, 241, false},  {0, -241, false},   {10000, 0, false},
    };
    for (const Case& c : cases) {
        ApplySoundVolumes();  // clears the cool-downs
        const int before = Se(5).playCount;
        PlaySeAt(c.x, c.y, 5);
        EXPECT_EQ(Se(5).playCount - before, c.sounds ? 1 : 0) << c.x << "," << c.y;
    }
}

TEST_F(SoundCueTest, EffectNumbersOutsideTheTableDoNothing) {
    for (int n : {-1, kSeCount, 1000, -100000}) {
        EXPECT_EQ(PlaySe(n), 0);
        EXPECT_FALSE(IsSePlaying(n));
    }
    EXPECT_TRUE(standin::CallLog().empty());
}

TEST_F(SoundCueTest, CrossFadeStepsBothTracks) {
    PlayBgmTrack(0);
    EXPECT_EQ(Bgm(0).lastPlayType, 3);  // loops from its loop point
    UpdateSound();
    EXPECT_EQ(Volume(0), 95);
    PlayBgmTrack(1);
    EXPECT_EQ(Bgm(1).lastPlayType, 1);  // plays once
    EXPECT_EQ(GetCurrentBgm(), 1);
    for (int frame = 1; frame <= 3; ++frame) {
        UpdateSound();
        EXPECT_EQ(Volume(0), 95 - frame);
        EXPECT_EQ(Bgm(0).volume, (95 - frame) * 100);
        EXPECT_EQ(Volume(1), 95);
        EXPECT_EQ(Bgm(1).volume, 95 * 100);
    }
    EXPECT_TRUE(Bgm(0).playing);
}

TEST_F(SoundCueTest, FadeOutStopsTheTrackAndReplayStartsItAnew) {
    PlayBgmTrack(2);
    FadeOutBgm();
    EXPECT_EQ(GetCurrentBgm(), kNoBgm);
    int frames = 0;
    while (Bgm(2).playing && frames < 100) {
        UpdateSound();
        ++frames;
    }
    EXPECT_EQ(frames, 19);  // 95 in steps of 5
    EXPECT_EQ(Volume(2), 0);
    EXPECT_EQ(Bgm(2).volume, 0);
    PlayBgmTrack(2);
    EXPECT_EQ(Bgm(2).playCount, 2);
    UpdateSound();
    EXPECT_EQ(Volume(2), 95);
    EXPECT_EQ(Bgm(2).volume, 95 * 100);
}

TEST_F(SoundCueTest, TheCurrentTrackIsNotRestarted) {
    PlayBgmTrack(4);
    PlayBgmTrack(4);
    EXPECT_EQ(Bgm(4).playCount, 1);
}

TEST_F(SoundCueTest, LoweringTheMusicVolumeTakesEffectNextFrame) {
    PlayBgmTrack(4);
    UpdateSound();
    SetConfigVar(kCfgMusicVolume, 40);
    UpdateSound();
    EXPECT_EQ(Bgm(4).volume, 40 * 100);
}

TEST_F(SoundCueTest, NoCurrentTrackMeansNoWrite) {
    const SoundTable before = GetSoundTable();
    SetBgmVolume(10);
    FadeOutBgm();
    FadeBgmSlowly();
    PlayBgmTrack(kNoBgm);
    const SoundTable& after = GetSoundTable();
    for (int n = 0; n < kBgmCount; ++n) {
        EXPECT_EQ(after.bgmVolume[n], before.bgmVolume[n]);
        EXPECT_EQ(after.bgmFadeStep[n], before.bgmFadeStep[n]);
    }
    EXPECT_EQ(GetCurrentBgm(), kNoBgm);
}

TEST_F(SoundCueTest, TrackNumbersOutsideTheTableChangeNothing) {
    PlayBgmTrack(3);
    standin::ClearCallLog();
    for (int n : {kBgmCount, 255, -2}) PlayBgmTrack(n);
    PlayBgmOnce(kBgmCount);
    EXPECT_EQ(GetCurrentBgm(), 3);
    EXPECT_TRUE(standin::CallLog().empty());
}

TEST_F(SoundCueTest, TheMusicSwitchGatesOnlyPlayBgmOnce) {
    SetConfigVar(kCfgMusicSwitch, 0);
    PlayBgmOnce(5);
    EXPECT_EQ(Bgm(5).playCount, 0);
    PlayBgmTrack(6);
    EXPECT_EQ(Bgm(6).playCount, 1);
    SetConfigVar(kCfgMusicSwitch, 1);
    PlayBgmOnce(5);
    EXPECT_EQ(Bgm(5).playCount, 1);
    EXPECT_EQ(Bgm(5).lastPlayType, 1);
}

TEST_F(SoundCueTest, StopAllSeStopsOnlyWhatPlays) {
    PlaySe(1);
    PlaySe(9);
    Se(9).playing = false;  // it ended on its own
    StopAllSe();
    EXPECT_FALSE(Se(1).playing);
    EXPECT_EQ(standin::CallLog().back(), "Stop " + SeName(1));
    EXPECT_EQ(std::count(standin::CallLog().begin(), standin::CallLog().end(), "Stop " + SeName(9)),
              0);
}

}  // namespace
}  // namespace velmora
