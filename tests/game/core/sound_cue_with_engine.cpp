// The game's sound cues over the real engine: effects written into a dat/ of the test's own are
// loaded by LoadSounds and heard on the stepped mixer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

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

}  // namespace
