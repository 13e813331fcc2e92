// Ogg Vorbis files encoded by the test: the format, the exact decoded size, reading again after
// the end, damaged and unplayable files, and the played result.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/base/memory.h"
#include "engine/sound/sound_files.h"
#include "engine/sound/sound_internal.h"
#include "engine/tessra.h"
#include "platform/testing.h"

namespace {

using namespace tessra;
using namespace tessra::testsnd;
namespace pt = plat::testing;

struct OpenOgg {
    explicit OpenOgg(const Bytes& bytes) : data(bytes) {
        memory = OpenMemStream(data.data(), static_cast<uint32_t>(data.size()));
        io = MakeStreamIo(GetMemStreamFuncs(), memory);
        result = OpenSoundDecoder(&io, &decoder);
    }
    ~OpenOgg() {
        if (decoder.open) CloseSoundDecoder(&decoder);
        CloseMemStream(memory);
    }
    Bytes data;
    StreamHandle memory;
    StreamIo io;
    SoundDecoder decoder{};
    int result;
};

class OggDecoderTest : public SoundFixture {};

TEST_F(OggDecoderTest, MonoAt22050DecodesToItsExactLength) {
    constexpr int kFrames = 30000;
    const std::vector<int16_t> source = Sine(kFrames, 1, 22050, 440, 12000);
    OpenOgg o(MakeOgg(1, 22050, source));
    ASSERT_EQ(o.result, 0);
    const plat::WAVEFORMATEX& f = o.decoder.format;
    EXPECT_EQ(o.decoder.kind, kDecoderOgg);
    EXPECT_EQ(f.wFormatTag, 1);
    EXPECT_EQ(f.nChannels, 1);
    EXPECT_EQ(f.nSamplesPerSec, 22050u);
    EXPECT_EQ(f.nBlockAlign, 2);
    EXPECT_EQ(f.nAvgBytesPerSec, 44100u);
    EXPECT_EQ(f.wBitsPerSample, 16);
    EXPECT_EQ(f.cbSize, 0);
    EXPECT_EQ(o.decoder.capacity, 4096u);
    // The size is exact (no second of margin), so later readers may take it as the length.
    EXPECT_EQ(GetSoundDecoderSize(&o.decoder), kFrames * 2u);

    plat::WAVEFORMATEX format{};
    void* block = nullptr;
    uint32_t length = 0;
    ASSERT_EQ(DecodeWholeSound(&o.decoder, &format, &block, &length), 0);
    EXPECT_EQ(length, kFrames * 2u);
    // Lossy, but close to what went in.
    const auto* pcm = static_cast<const int16_t*>(block);
    double error = 0, signal = 0;
    for (int i = 0; i < kFrames; ++i) {
        error += std::pow(pcm[i] - source[i], 2);
        signal += std::pow(source[i], 2);
    }
    EXPECT_LT(error / signal, 0.01);
    FreeTagged(block);
}

TEST_F(OggDecoderTest, ReadsFromTheFirstSampleAgainAfterTheEnd) {
    OpenOgg o(MakeOgg(2, 44100, Sine(5000, 2, 44100, 1000, 9000)));
    ASSERT_EQ(o.result, 0);
    std::vector<uint8_t> first(256), all(30000), again(256);
    ASSERT_EQ(ReadSoundDecoder(&o.decoder, first.data(), 256), 256);
    EXPECT_EQ(ReadSoundDecoder(&o.decoder, all.data(), 30000), 20000 - 256);
    EXPECT_EQ(o.decoder.endFlag, 1);
    EXPECT_EQ(ReadSoundDecoder(&o.decoder, again.data(), 256), 0);
    ASSERT_EQ(SeekSoundDecoder(&o.decoder, 0), 0);
    EXPECT_EQ(o.decoder.endFlag, 0);
    ASSERT_EQ(ReadSoundDecoder(&o.decoder, again.data(), 256), 256);
    EXPECT_EQ(again, first);
}

// A damaged page in the middle is a hole: the samples after it still come, and nothing that
// is not a byte count is counted as one.
TEST_F(OggDecoderTest, ADamagedPageIsSkipped) {
    constexpr int kFrames = 88200;
    Bytes ogg = MakeOgg(1, 44100, Sine(kFrames, 1, 44100, 300, 10000), true);
    // Find a page header past the middle and spoil its body.
    size_t at = ogg.size() / 2;
    while (at + 4 < ogg.size() && std::memcmp(&ogg[at], "OggS", 4) != 0) ++at;
    ASSERT_LT(at + 40, ogg.size());
    for (size_t i = at + 30; i < at + 40; ++i) ogg[i] ^= 0xFF;
    OpenOgg o(ogg);
    ASSERT_EQ(o.result, 0);
    std::vector<uint8_t> pcm(kFrames * 2 + 10000);
    const int got = ReadSoundDecoder(&o.decoder, pcm.data(), static_cast<uint32_t>(pcm.size()));
    EXPECT_GT(got, kFrames);      // well past the damage
    EXPECT_LE(got, kFrames * 2);  // and never more than the file holds
    EXPECT_EQ(o.decoder.endFlag, 1);
}

TEST_F(OggDecoderTest, TooManyChannelsAreRefused) {
    const Bytes ogg = MakeOgg(3, 22050, Sine(2000, 3, 22050, 440, 5000));
    EXPECT_EQ(CreateSoundFromFileImage(ogg.data(), static_cast<uint32_t>(ogg.size()), 1, -1), -1);
    EXPECT_EQ(GetAllocStats().count, 0);
}

TEST_F(OggDecoderTest, PlaysThroughTheMixerAtItsPitch) {
    const Bytes ogg = MakeOgg(1, 22050, Sine(22050, 1, 22050, 441, 12000));
    WriteFile(dir_ / "dat" / "tone.ogg", ogg);
    const int h = LoadSoundFile("dat\\tone.ogg", 1, -1);
    ASSERT_NE(h, -1);
    EXPECT_EQ(GetSoundLengthFrames(h), 22050);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    const std::vector<int16_t> out = pt::StepMixer(44100);
    int crossings = 0, peak = 0;
    for (int i = 1; i < 44100; ++i) {
        if (out[2 * (i - 1)] < 0 && out[2 * i] >= 0) ++crossings;
        peak = std::max(peak, std::abs(static_cast<int>(out[2 * i])));
    }
    EXPECT_NEAR(crossings, 441, 2);
    EXPECT_NEAR(peak, 12000, 600);
}

}  // namespace
