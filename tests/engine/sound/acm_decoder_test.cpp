// The compressed readers: MPEG frame headers, MP3 files made with LAME (ID3 tags before and
// after), IMA and MS ADPCM and G.711 WAVE files made by the test, the backward seek that swaps
// the conversion streams, and the files that must not hang or over-read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/base/memory.h"
#include "engine/sound/sound_files.h"
#include "engine/sound/sound_internal.h"
#include "engine/tessra.h"
#include "platform/acm/acm.h"
#include "platform/testing.h"

namespace {

using namespace tessra;
using namespace tessra::testsnd;
namespace pt = plat::testing;

struct Opened {
    explicit Opened(Bytes bytes) : data(std::move(bytes)) {
        memory = OpenMemStream(data.data(), static_cast<uint32_t>(data.size()));
        io = MakeStreamIo(GetMemStreamFuncs(), memory);
        result = OpenSoundDecoder(&io, &decoder);
    }
    ~Opened() {
        if (decoder.open) CloseSoundDecoder(&decoder);
        CloseMemStream(memory);
    }
    std::vector<int16_t> DecodeAll() {
        plat::WAVEFORMATEX f{};
        void* block = nullptr;
        uint32_t length = 0;
        EXPECT_EQ(DecodeWholeSound(&decoder, &f, &block, &length), 0);
        std::vector<int16_t> out(length / 2);
        std::memcpy(out.data(), block, length);
        FreeTagged(block);
        return out;
    }
    Bytes data;
    StreamHandle memory;
    StreamIo io;
    SoundDecoder decoder{};
    int result;
};

// Bytes that hold false frame syncs with invalid fields, which the scan must never read.
Bytes Junk(size_t n) {
    Bytes out(n);
    for (size_t i = 0; i < n; ++i) out[i] = (i % 4 == 0) ? 0xFF : (i % 4 == 1 ? 0xFB : 0xF0);
    return out;
}

Bytes Id3v2(int major, bool footer, size_t bodySize) {
    Bytes tag = {
        'I', 'D', '3', static_cast<uint8_t>(major), 0, static_cast<uint8_t>(footer ? 0x10 : 0)};
    for (int shift : {21, 14, 7, 0})
        tag.push_back(static_cast<uint8_t>((bodySize >> shift) & 0x7F));
    const Bytes body = Junk(bodySize);
    tag.insert(tag.end(), body.begin(), body.end());
    if (footer) {
        const Bytes foot = Junk(10);
        tag.insert(tag.end(), foot.begin(), foot.end());
    }
    return tag;
}

class AcmDecoderTest : public SoundFixture {};

TEST_F(AcmDecoderTest, ParsesFrameHeaders) {
    struct Case {
        uint8_t b[4];
        int result;
        int layer, version, bitRate, rate, channels, length, samples;
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x90, 0x00}, 0, 2, 0, 128, 44100, 2, 417, 1152},
        {{0xFF, 0xFB, 0x92, 0x00}, 0, 2, 0, 128, 44100, 2, 418, 1152},
        {{0xFF, 0xFB, 0x94, 0xC0}, 0, 2, 0, 128, 48000, 1, 384, 1152},
        {{0xFF, 0xF3, 0x80, 0xC0}, 0, 2, 1, 64, 22050, 1, 208, 576},
        {{0xFF, 0xF3, 0x14, 0x40}, 0, 2, 1, 8, 24000, 2, 24, 576},
        {{0xFF, 0xFD, 0x40, 0x00}, 0, 1, 0, 64, 44100, 2, 208, 1152},
        {{0xFF, 0xF5, 0x40, 0x00}, 0, 1, 1, 32, 22050, 2, 208, 1152},
        {{0xFF, 0xFF, 0x10, 0x00}, 0, 0, 0, 32, 44100, 2, 32, 384},
        {{0xFF, 0xF7, 0xE0, 0x00}, 0, 0, 1, 256, 22050, 2, 556, 384},
        {{0xFF, 0xF9, 0x90, 0x00}, -1, 0, 0, 0, 0, 0, 0, 0},  // layer bits 00
        {{0xFF, 0xFB, 0xF0, 0x00}, -1, 0, 0, 0, 0, 0, 0, 0},  // bit-rate index 15
        {{0xFF, 0xFB, 0x00, 0x00}, -1, 0, 0, 0, 0, 0, 0, 0},  // free format (index 0)
        {{0xFF, 0xFB, 0x9C, 0x00}, -1, 0, 0, 0, 0, 0, 0, 0},  // sample-rate index 3
        {{0xFE, 0xFB, 0x90, 0x00}, -2, 0, 0, 0, 0, 0, 0, 0},
        {{0xFF, 0xEB, 0x90, 0x00}, -2, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Mp3FrameInfo f{};
        ASSERT_EQ(ParseMp3FrameHeader(c.b, &f), c.result) << std::hex << int(c.b[1]) << int(c.b[2]);
        if (c.result != 0) continue;
        EXPECT_EQ(f.layer, c.layer);
        EXPECT_EQ(f.version, c.version);
        EXPECT_EQ(static_cast<int>(f.bitRate), c.bitRate);
        EXPECT_EQ(static_cast<int>(f.sampleRate), c.rate);
        EXPECT_EQ(f.channels, c.channels);
        EXPECT_EQ(static_cast<int>(f.frameLength), c.length) << std::hex << int(c.b[2]);
        EXPECT_EQ(static_cast<int>(f.samplesPerFrame), c.samples);
    }
}

TEST_F(AcmDecoderTest, Mp3DecodesToItsFramesAndPlays) {
    const std::vector<int16_t> pcm = Sine(44100, 2, 44100, 440, 12000);
    int frames = 0;
    const Bytes mp3 = EncodeMp3(2, 44100, pcm, &frames);
    ASSERT_GT(frames, 30);
    struct Case {
        const char* name;
        Bytes before, after;
    };
    Bytes tagAtEnd = {'T', 'A', 'G'};
    const Bytes junk = Junk(125);
    tagAtEnd.insert(tagAtEnd.end(), junk.begin(), junk.end());
    const Case cases[] = {
        {"bare", {}, {}},
        {"ID3v2.3", Id3v2(3, false, 300), {}},
        {"ID3v2.4 with footer", Id3v2(4, true, 301), {}},
        {"trailing TAG", {}, tagAtEnd},
        {"both", Id3v2(3, false, 50), tagAtEnd},
    };
    for (const Case& c : cases) {
        Bytes file = c.before;
        file.insert(file.end(), mp3.begin(), mp3.end());
        file.insert(file.end(), c.after.begin(), c.after.end());
        Opened o(file);
        ASSERT_EQ(o.result, 0) << c.name;
        EXPECT_EQ(o.decoder.kind, kDecoderAcm);
        EXPECT_EQ(o.decoder.format.nChannels, 2);
        EXPECT_EQ(o.decoder.format.nSamplesPerSec, 44100u);
        EXPECT_EQ(o.decoder.dataStart, c.before.size()) << c.name;
        EXPECT_EQ(o.decoder.dataSize, mp3.size()) << c.name;
        EXPECT_EQ(GetSoundDecoderSize(&o.decoder), static_cast<uint32_t>(frames) * 1152 * 4)
            << c.name;
        const std::vector<int16_t> out = o.DecodeAll();
        EXPECT_NEAR(static_cast<double>(out.size()) / 2, frames * 1152.0, 1152) << c.name;
    }
    // And it plays, loud, as an effect.
    WriteFile(dir_ / "tone.mp3", mp3);
    const int h = LoadSoundFile("tone.mp3", 1, -1);
    ASSERT_NE(h, -1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    int peak = 0;
    for (int16_t v : pt::StepMixer(44100)) peak = std::max(peak, std::abs(static_cast<int>(v)));
    EXPECT_NEAR(peak, 12000, 1500);
}

double RelativeError(const std::vector<int16_t>& got, const std::vector<int16_t>& want) {
    double error = 0, signal = 0;
    const size_t n = std::min(got.size(), want.size());
    for (size_t i = 0; i < n; ++i) {
        error += std::pow(got[i] - want[i], 2);
        signal += std::pow(want[i], 2);
    }
    return std::sqrt(error / signal);
}

TEST_F(AcmDecoderTest, AdpcmDecodesATone) {
    const std::vector<int16_t> tone = Sine(22050, 1, 22050, 440, 10000);
    struct Case {
        const char* name;
        Bytes file;
        int perBlock;
    };
    const Case cases[] = {
        {"IMA 512-byte blocks", ImaWave(tone, 22050, 512), 1017},
        {"IMA 36-byte blocks", ImaWave(tone, 22050, 36), 65},
        {"MS 256-byte blocks", MsAdpcmWave(tone, 22050, 256), 500},
        {"MS 4096-byte blocks", MsAdpcmWave(tone, 22050, 4096), 8180},
    };
    for (const Case& c : cases) {
        Opened o(c.file);
        ASSERT_EQ(o.result, 0) << c.name;
        EXPECT_EQ(o.decoder.kind, kDecoderAcm);
        EXPECT_EQ(o.decoder.format.wBitsPerSample, 16);
        const std::vector<int16_t> out = o.DecodeAll();
        const size_t blocks = (tone.size() + c.perBlock - 1) / c.perBlock;
        EXPECT_EQ(out.size(), blocks * c.perBlock) << c.name;  // whole blocks, the last padded
        EXPECT_LT(RelativeError(out, tone), 0.05) << c.name;
        EXPECT_GE(GetSoundDecoderSize(&o.decoder), out.size() * 2) << c.name;
    }
}

// A WAVE of the extensible format, as common tools write anything past 16 bits: a 40-byte fmt
// chunk (cbSize 22, the valid bits, the speaker mask, the sub-format GUID) and a LIST chunk
// before the data. The PCM reader leaves it; the ACM reader converts it to 16 bits, and it plays.
Bytes ExtensibleWave(const std::vector<int16_t>& pcm, int channels, int bits, bool isFloat) {
    WaveSpec spec;
    spec.formatTag = plat::WAVE_FORMAT_EXTENSIBLE;
    spec.channels = channels;
    spec.rate = 44100;
    spec.bits = bits;
    spec.fmtSize = 40;
    spec.listBeforeData = true;
    spec.fmtExtra = {
        22, 0, static_cast<uint8_t>(bits), 0, static_cast<uint8_t>(channels == 1 ? 4 : 3), 0, 0, 0};
    const uint8_t* guid =
        isFloat ? plat::KSDATAFORMAT_SUBTYPE_IEEE_FLOAT : plat::KSDATAFORMAT_SUBTYPE_PCM;
    spec.fmtExtra.insert(spec.fmtExtra.end(), guid, guid + 16);
    for (const int16_t v : pcm) {
        if (isFloat) {
            const float f = v / 32768.0f;
            uint8_t b[4];
            std::memcpy(b, &f, 4);
            spec.pcm.insert(spec.pcm.end(), b, b + 4);
            continue;
        }
        for (int k = 2; k < bits / 8; ++k) spec.pcm.push_back(static_cast<uint8_t>(0x11 * k));
        spec.pcm.push_back(static_cast<uint8_t>(v));
        spec.pcm.push_back(static_cast<uint8_t>(v >> 8));
    }
    return MakeWave(spec);
}

TEST_F(AcmDecoderTest, ExtensibleWavesConvertTo16BitsAndPlay) {
    const std::vector<int16_t> tone = Sine(4410, 2, 44100, 440, 12000);
    struct Case {
        const char* name;
        int bits;
        bool isFloat;
    };
    for (const Case& c : {Case{"24 bits", 24, false}, Case{"32 bits", 32, false},
                          Case{"32-bit float", 32, true}, Case{"16 bits", 16, false}}) {
        const Bytes file = ExtensibleWave(tone, 2, c.bits, c.isFloat);
        Opened o(file);
        ASSERT_EQ(o.result, 0) << c.name;
        EXPECT_EQ(o.decoder.kind, kDecoderAcm) << c.name;
        EXPECT_EQ(o.decoder.format.wFormatTag, plat::WAVE_FORMAT_PCM);
        EXPECT_EQ(o.decoder.format.wBitsPerSample, 16);
        EXPECT_EQ(o.decoder.format.nChannels, 2);
        EXPECT_EQ(o.decoder.format.nSamplesPerSec, 44100u);
        EXPECT_EQ(GetSoundDecoderSize(&o.decoder), tone.size() * 2) << c.name;
        EXPECT_EQ(o.DecodeAll(), tone) << c.name;
        // Whole, as an effect: its length in frames, and it plays at its level.
        const int h =
            CreateSoundFromFileImage(file.data(), static_cast<uint32_t>(file.size()), 1, -1);
        ASSERT_NE(h, -1) << c.name;
        EXPECT_EQ(GetSoundLengthFrames(h), 4410) << c.name;
        ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
        int peak = 0;
        for (int16_t v : pt::StepMixer(4410)) peak = std::max(peak, std::abs(static_cast<int>(v)));
        EXPECT_NEAR(peak, 12000, 1500) << c.name;
        DeleteSound(h);
    }
}

TEST_F(AcmDecoderTest, G711MatchesTheStandardValues) {
    const struct {
        uint8_t code;
        int alaw, mulaw;
    } cases[] = {{0x00, -5504, -32124}, {0x80, 5504, 32124}, {0xD5, 8, 716},
                 {0x55, -8, -716},      {0xAA, 32256, 5372}, {0x2A, -32256, -5372},
                 {0xFF, 848, 0},        {0x7F, -848, 0},     {0x35, -8448, -3260}};
    for (const auto& c : cases) {
        EXPECT_EQ(plat::DecodeALaw(c.code), c.alaw) << std::hex << int(c.code);
        EXPECT_EQ(plat::DecodeMuLaw(c.code), c.mulaw) << std::hex << int(c.code);
    }
    // A µ-law file decodes code by code.
    WaveSpec spec;
    spec.formatTag = plat::WAVE_FORMAT_MULAW;
    spec.bits = 8;
    spec.rate = 8000;
    for (int i = 0; i < 256; ++i) spec.pcm.push_back(static_cast<uint8_t>(i));
    spec.fmtSize = 18;
    Opened o(MakeWave(spec));
    ASSERT_EQ(o.result, 0);
    const std::vector<int16_t> out = o.DecodeAll();
    ASSERT_EQ(out.size(), 256u);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(out[i], plat::DecodeMuLaw(static_cast<uint8_t>(i)));
}

TEST_F(AcmDecoderTest, BackwardSeekToTheLoopStartSwapsStreams) {
    const std::vector<int16_t> tone = Sine(22050 * 2, 1, 22050, 440, 10000);
    const Bytes file = ImaWave(tone, 22050, 256);
    std::vector<int16_t> whole;
    {
        Opened all(file);
        whole = all.DecodeAll();
    }
    Opened o(file);
    ASSERT_EQ(o.result, 0);
    constexpr uint32_t kLoopFrame = 15000;
    o.decoder.loopStartPosition = kLoopFrame * 2;
    std::vector<int16_t> got(22050 * 2);
    ASSERT_EQ(ReadSoundDecoder(&o.decoder, got.data(), 22050 * 4), 22050 * 4);
    const AcmState* s = static_cast<const AcmState*>(o.decoder.kindState);
    const uint32_t loopDecoded = s->loopDecoded;
    EXPECT_GT(loopDecoded, 0u);  // the loop-start stream has been converting
    EXPECT_LE(loopDecoded, kLoopFrame * 2);
    const plat::HACMSTREAM loopStream = s->loop;
    const uint32_t loopOffset = s->loopOffset;
    ASSERT_EQ(SeekSoundDecoder(&o.decoder, kLoopFrame), 0);
    EXPECT_EQ(s->main, loopStream);  // no conversion from the beginning
    EXPECT_GE(s->mainOffset, loopOffset);
    std::vector<int16_t> again(1000);
    ASSERT_EQ(ReadSoundDecoder(&o.decoder, again.data(), 2000), 2000);
    for (size_t i = 0; i < again.size(); ++i) ASSERT_EQ(again[i], whole[kLoopFrame + i]) << i;
    // Before the loop-start stream's position: the main stream starts over, and still right.
    ASSERT_EQ(SeekSoundDecoder(&o.decoder, 100), 0);
    ASSERT_EQ(ReadSoundDecoder(&o.decoder, again.data(), 2000), 2000);
    for (size_t i = 0; i < again.size(); ++i) ASSERT_EQ(again[i], whole[100 + i]) << i;
}

// --- Mended faults ---------------------------------------------------------------------------

TEST_F(AcmDecoderTest, FreeFormatAndFalseSyncsEndTheScan) {
    Bytes file;
    for (int i = 0; i < 5000; ++i) file.insert(file.end(), {0xFF, 0xFB, 0x00, 0x00});
    Opened o(file);
    EXPECT_EQ(o.result, -1);  // refused, not scanned for ever
}

TEST_F(AcmDecoderTest, DeclaredSizesBeyondTheFileAreClamped) {
    const std::vector<int16_t> tone = Sine(5000, 1, 22050, 440, 10000);
    Bytes file = ImaWave(tone, 22050, 256);
    // Claim far more data than there is.
    const size_t data = 20 + 20 + 4;
    file[data] = 0xFF;
    file[data + 1] = 0xFF;
    file[data + 2] = 0xFF;
    file[data + 3] = 0x0F;
    Opened o(file);
    ASSERT_EQ(o.result, 0);
    EXPECT_EQ(o.decoder.dataSize, file.size() - 48);
    const std::vector<int16_t> out = o.DecodeAll();
    EXPECT_LT(RelativeError(out, tone), 0.05);

    // An MP3 whose last frame runs into the trailing tag stops at the tag.
    int frames = 0;
    Bytes mp3 = EncodeMp3(1, 44100, Sine(11025, 1, 44100, 440, 8000), &frames);
    mp3.resize(mp3.size() - 100);
    Bytes tag = {'T', 'A', 'G'};
    tag.resize(128, 0);
    mp3.insert(mp3.end(), tag.begin(), tag.end());
    Opened m(mp3);
    ASSERT_EQ(m.result, 0);
    EXPECT_EQ(m.decoder.dataStart + m.decoder.dataSize, mp3.size() - 128);
    m.DecodeAll();

    // Frames only inside the closing tag: no audio at all, where the data size once wrapped
    // round to nearly 4 GB and the reader asked for that much memory.
    Bytes tagged(300, 0);
    std::memcpy(tagged.data() + tagged.size() - 128, "TAG", 3);
    const size_t sync = tagged.size() - 40;
    const uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x64};  // MPEG-1 layer III, 128 kbit/s
    std::memcpy(tagged.data() + sync, header, 4);
    const int32_t before = GetAllocStats().count;
    {
        Opened t(tagged);
        EXPECT_EQ(t.result, -1);
    }
    EXPECT_EQ(GetAllocStats().count, before);
}

TEST_F(AcmDecoderTest, MsAdpcmRunawayStepSizeOnlyClips) {
    // One mono block whose nibbles all ask for the largest step growth: the step size grows
    // threefold a sample and once overflowed an int; now it stops growing and the samples clip.
    const int blockAlign = 256;
    Bytes file = MsAdpcmWave(std::vector<int16_t>(500, 0), 22050, blockAlign);
    // The block's seven header bytes stay; every nibble behind them is 8.
    const auto data =
        std::search(file.begin(), file.end(), std::begin("data"), std::end("data") - 1);
    ASSERT_NE(data, file.end());
    for (auto i = data + 8 + 7; i != file.end(); ++i) *i = 0x88;
    Opened o(file);
    ASSERT_EQ(o.result, 0);
    const std::vector<int16_t> out = o.DecodeAll();
    ASSERT_FALSE(out.empty());
    int extremes = 0;
    for (int16_t v : out) extremes += (v == -32768 || v == 32767);
    EXPECT_GT(extremes, 100);
}

}  // namespace
