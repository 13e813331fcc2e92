// The game's sound cues over the real engine: effects written into a dat/ of the test's own are
// loaded by LoadSounds and heard on the stepped mixer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine/sound/sound.h"
#include "engine/sound/sound_files.h"
#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/sound_cue.h"
#include "platform/testing.h"

namespace {

using namespace tessra::testsnd;
using namespace velmora;
namespace pt = plat::testing;

int PeakOf(const std::vector<int16_t>& out) {
    int peak = 0;
    for (int16_t v : out) peak = std::max(peak, std::abs(static_cast<int>(v)));
    return peak;
}

class SoundCueEngineTest : public SoundFixture {};

TEST_F(SoundCueEngineTest, LoadsEffectsFromDatAndPlaysThem) {
    ResetConfig();  // effects at 90: -10 dB
    WaveSpec chirp;
    chirp.rate = 22050;
    std::vector<int16_t> pcm(4410);
    for (size_t i = 0; i < pcm.size(); ++i) {
        const double t = i / 22050.0;
        pcm[i] = static_cast<int16_t>(
            std::lround(20000 * std::sin(2 * M_PI * (600 + 2000 * t) * t) * (1.0 - i / 4410.0)));
    }
    chirp.pcm = AsBytes(pcm);
    WriteFile(dir_ / "dat" / "velm3" / "se00.wav", MakeWave(chirp));
    WriteFile(dir_ / "dat" / "velm3" / "se01.ogg", MakeOgg(1, 22050, pcm));

    LoadSounds(nullptr);
    const SoundTable& table = GetSoundTable();
    ASSERT_NE(table.seHandle[0], -1);
    ASSERT_NE(table.seHandle[1], -1);  // no .wav: the .ogg is taken
    EXPECT_EQ(table.seHandle[2], -1);
    EXPECT_EQ(table.bgmHandle[0], -1);  // music is not there

    EXPECT_EQ(PlaySe(0), 0);
    EXPECT_TRUE(IsSePlaying(0));
    const int peak = PeakOf(pt::StepMixer(4410));
    EXPECT_NEAR(peak, 20000 * 0.3162, 400);
    pt::StepMixer(4410);
    EXPECT_FALSE(IsSePlaying(0));

    // The cool-down holds the same effect back for four frames.
    EXPECT_EQ(PlaySe(1), 0);
    EXPECT_TRUE(IsSePlaying(1));
    StopAllSe();
    EXPECT_FALSE(IsSePlaying(1));
    PlaySe(1);
    EXPECT_FALSE(IsSePlaying(1));
    for (int i = 0; i < 4; ++i) UpdateSound();
    PlaySe(1);
    EXPECT_TRUE(IsSePlaying(1));
    EXPECT_GT(PeakOf(pt::StepMixer(2000)), 3000);

    // The effect volume setting reaches the mixer.
    StopAllSe();
    SetConfigVar(kCfgSeVolume, 100);
    ApplySoundVolumes();
    PlaySe(0);
    EXPECT_NEAR(PeakOf(pt::StepMixer(4410)), 20000, 300);
}

TEST_F(SoundCueEngineTest, MusicStreamsAndLoopsFromItsLoopStart) {
    ResetConfig();
    // Track 0 loops from 1.7 s; three seconds of a two-note figure.
    std::vector<int16_t> track(44100 * 3 * 2);
    for (size_t i = 0; i < track.size() / 2; ++i) {
        const double hz = (i / 11025) % 2 ? 392.0 : 523.25;
        const auto v =
            static_cast<int16_t>(std::lround(9000 * std::sin(2 * M_PI * hz * i / 44100.0)));
        track[2 * i] = track[2 * i + 1] = v;
    }
    WriteFile(dir_ / "dat" / "velmbgm00.ogg", MakeOgg(2, 44100, track));
    LoadSounds(nullptr);
    const int bgm = GetSoundTable().bgmHandle[0];
    ASSERT_NE(bgm, -1);
    EXPECT_EQ(GetSoundTable().bgmHandle[1], -1);

    PlayBgmTrack(0);
    EXPECT_EQ(GetCurrentBgm(), 0);
    int quietStretches = 0;
    for (int tenth = 0; tenth < 80; ++tenth) {  // eight seconds, pumped ten times a second
        if (PeakOf(pt::StepMixer(4410)) < 1000) ++quietStretches;
        tessra::RefillAllStreamSounds();  // the pump's per-pass refill
        UpdateSound();
    }
    EXPECT_EQ(IsSoundPlaying(bgm), 1);
    EXPECT_EQ(quietStretches, 0);  // it went on past its end without a gap

    FadeOutBgm();
    for (int frame = 0; frame < 40; ++frame) {
        pt::StepMixer(735);
        tessra::RefillAllStreamSounds();  // the pump's per-pass refill
        UpdateSound();
    }
    EXPECT_EQ(IsSoundPlaying(bgm), 0);  // faded out and stopped
}

}  // namespace
