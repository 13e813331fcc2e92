// Effects loaded from files through the public functions and heard on the stepped mixer.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/sound/sound_files.h"
#include "engine/tessra.h"
#include "platform/testing.h"

namespace {

using namespace tessra::testsnd;
namespace pt = plat::testing;

class SoundPlayTest : public SoundFixture {};

TEST_F(SoundPlayTest, StereoEffectAtTheDeviceRateIsMixedBitForBit) {
    std::mt19937 random(7);
    std::vector<int16_t> pcm(2 * 3000);
    for (int16_t& v : pcm) v = static_cast<int16_t>(random() & 0xFFFF);
    WaveSpec spec;
    spec.channels = 2;
    spec.rate = 44100;
    spec.pcm = AsBytes(pcm);
    WriteFile(dir_ / "dat" / "se00.wav", MakeWave(spec));
    const int h = LoadSoundFile("dat\\se00.wav", 3, -1);
    ASSERT_NE(h, -1);
    ASSERT_EQ(SetSoundVolume(10000, h), 0);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    const std::vector<int16_t> out = pt::StepMixer(3100);
    for (size_t i = 0; i < pcm.size(); ++i) ASSERT_EQ(out[i], pcm[i]) << i;
    for (size_t i = pcm.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
    EXPECT_EQ(IsSoundPlaying(h), 0);
}

TEST_F(SoundPlayTest, EightBitMonoToneKeepsItsPitchAndLevel) {
    // 525 Hz at 22,050 Hz, peak 90 of 127 steps, half a second.
    WaveSpec spec;
    spec.bits = 8;
    spec.rate = 22050;
    for (int i = 0; i < 11025; ++i)
        spec.pcm.push_back(
            static_cast<uint8_t>(128 + std::lround(90 * std::sin(2 * M_PI * 525 * i / 22050.0))));
    WriteFile(dir_ / "tone.wav", MakeWave(spec));
    const int h = LoadSoundFile("tone.wav", 1, -1);
    ASSERT_NE(h, -1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    const std::vector<int16_t> out = pt::StepMixer(22050);
    int crossings = 0, peak = 0;
    for (int i = 1; i < 22050; ++i) {
        ASSERT_EQ(out[2 * i], out[2 * i + 1]);
        if (out[2 * (i - 1)] < 0 && out[2 * i] >= 0) ++crossings;
        peak = std::max(peak, std::abs(static_cast<int>(out[2 * i])));
    }
    EXPECT_NEAR(crossings, 262, 1);  // 525 Hz for half a second
    EXPECT_NEAR(peak, 90 * 256, 256);
    EXPECT_EQ(IsSoundPlaying(h), 0);

    // At volume 5000 (-50 dB) the same tone is 316 times quieter.
    ASSERT_EQ(SetSoundVolume(5000, h), 0);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    peak = 0;
    for (int16_t v : pt::StepMixer(4410)) peak = std::max(peak, std::abs(static_cast<int>(v)));
    EXPECT_NEAR(peak, 90 * 256 / 316.2, 2);
}

TEST_F(SoundPlayTest, OverlappingCopiesAddUp) {
    WaveSpec spec;
    spec.rate = 44100;
    spec.pcm = AsBytes(std::vector<int16_t>(1000, 3000));
    WriteFile(dir_ / "click.wav", MakeWave(spec));
    const int h = LoadSoundFile("click.wav", 3, -1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    pt::StepMixer(500);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    const std::vector<int16_t> out = pt::StepMixer(1000);
    EXPECT_EQ(out[0], 6000);
    EXPECT_EQ(out[2 * 499], 6000);
    EXPECT_EQ(out[2 * 500], 3000);  // the first copy has ended
}

}  // namespace
