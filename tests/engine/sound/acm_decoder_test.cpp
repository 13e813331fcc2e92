// The compressed readers: MPEG frame headers, MP3 files made with LAME (ID3 tags before and
// after), IMA and MS ADPCM and G.711 WAVE files made by the test, the backward seek that swaps
// the conversion streams, and the files that must not hang or over-read.
#include <gtest/gtest.h>
#include <lame/lame.h>

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

Bytes EncodeMp3(int channels, int rate, const std::vector<int16_t>& pcm, int* frames) {
    lame_global_flags* gf = lame_init();
    lame_set_num_channels(gf, channels);
    lame_set_in_samplerate(gf, rate);
    lame_set_out_samplerate(gf, rate);
    lame_set_brate(gf, 128);
    lame_set_mode(gf, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_bWriteVbrTag(gf, 0);
    EXPECT_EQ(lame_init_params(gf), 0);
    const int n = static_cast<int>(pcm.size()) / channels;
    Bytes out(static_cast<size_t>(n) * 2 + 20000);
    int size = channels == 2
                   ? lame_encode_buffer_interleaved(gf, const_cast<short*>(pcm.data()), n,
                                                    out.data(), static_cast<int>(out.size()))
                   : lame_encode_buffer(gf, pcm.data(), pcm.data(), n, out.data(),
                                        static_cast<int>(out.size()));
    size += lame_encode_flush(gf, out.data() + size, static_cast<int>(out.size()) - size);
    *frames = lame_get_frameNum(gf);
    lame_close(gf);
    out.resize(static_cast<size_t>(size));
    return out;
}

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

// ADPCM encoders of our own, so the files are known bit for bit.
struct ImaEncoder {
    int predictor = 0, index = 0;
    uint8_t Nibble(int sample) {
        static const int steps[89] = {
            7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,
            23,    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,
            73,    80,    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,
            230,   253,   279,   307,   337,   371,   408,   449,   494,   544,   598,   658,
            724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
            2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,
            7132,  7845,  8630,  9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350,
            22385, 24623, 27086, 29794, 32767};
        static const int adjust[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
        const int step = steps[index];
        int diff = sample - predictor;
        uint8_t nibble = 0;
        if (diff < 0) {
            nibble = 8;
            diff = -diff;
        }
        int delta = step >> 3;
        if (diff >= step) {
            nibble |= 4;
            diff -= step;
            delta += step;
        }
        if (diff >= step >> 1) {
            nibble |= 2;
            diff -= step >> 1;
            delta += step >> 1;
        }
        if (diff >= step >> 2) {
            nibble |= 1;
            delta += step >> 2;
        }
        predictor = std::clamp(predictor + ((nibble & 8) ? -delta : delta), -32768, 32767);
        index = std::clamp(index + adjust[nibble], 0, 88);
        return nibble;
    }
};

// IMA ADPCM mono: 4-byte header, then 8 samples per 4-byte word.
Bytes ImaWave(const std::vector<int16_t>& pcm, int rate, int blockAlign) {
    const int perBlock = (blockAlign - 4) * 2 + 1;
    Bytes data;
    ImaEncoder e;
    for (size_t at = 0; at < pcm.size(); at += static_cast<size_t>(perBlock)) {
        e.predictor = pcm[at];
        data.push_back(static_cast<uint8_t>(e.predictor));
        data.push_back(static_cast<uint8_t>(e.predictor >> 8));
        data.push_back(static_cast<uint8_t>(e.index));
        data.push_back(0);
        for (int i = 1; i < perBlock; i += 2) {
            auto sample = [&](int k) { return at + k < pcm.size() ? pcm[at + k] : 0; };
            const uint8_t lo = e.Nibble(sample(i));
            const uint8_t hi = e.Nibble(sample(i + 1));
            data.push_back(static_cast<uint8_t>(lo | hi << 4));
        }
    }
    WaveSpec spec;
    spec.formatTag = plat::WAVE_FORMAT_IMA_ADPCM;
    spec.rate = rate;
    spec.pcm = data;
    spec.fmtSize = 20;
    Bytes file = MakeWave(spec);
    // Fix the fmt fields the PCM-shaped writer filled: block align, 4 bits, cbSize 2, samples
    // per block.
    auto put16 = [&](size_t at, int v) {
        file[at] = static_cast<uint8_t>(v);
        file[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    put16(20 + 8, rate * blockAlign / perBlock & 0xFFFF);
    put16(20 + 10, (rate * blockAlign / perBlock) >> 16);
    put16(20 + 12, blockAlign);
    put16(20 + 14, 4);
    put16(20 + 16, 2);
    put16(20 + 18, perBlock);
    return file;
}

// MS ADPCM mono with the first predictor pair (256, 0).
Bytes MsAdpcmWave(const std::vector<int16_t>& pcm, int rate, int blockAlign) {
    static const int adapt[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                  768, 614, 512, 409, 307, 230, 230, 230};
    const int perBlock = (blockAlign - 7) * 2 + 2;
    Bytes data;
    for (size_t at = 0; at < pcm.size(); at += static_cast<size_t>(perBlock)) {
        auto sample = [&](size_t k) { return at + k < pcm.size() ? pcm[at + k] : 0; };
        int delta = 16, s2 = sample(0), s1 = sample(1);
        data.push_back(0);
        for (int v : {delta, s1, s2}) {
            data.push_back(static_cast<uint8_t>(v));
            data.push_back(static_cast<uint8_t>(v >> 8));
        }
        uint8_t pending = 0;
        for (int i = 2; i < perBlock; ++i) {
            const int predicted = s1 * 256 / 256;
            int nibble =
                static_cast<int>(std::lround(static_cast<double>(sample(i) - predicted) / delta));
            nibble = std::clamp(nibble, -8, 7);
            const int value = std::clamp(predicted + nibble * delta, -32768, 32767);
            s2 = s1;
            s1 = value;
            const int code = nibble & 0xF;
            delta = std::max(16, adapt[code] * delta / 256);
            if (i % 2 == 0) {
                pending = static_cast<uint8_t>(code << 4);
            } else {
                data.push_back(static_cast<uint8_t>(pending | code));
            }
        }
        (void)s2;
    }
    WaveSpec spec;
    spec.formatTag = plat::WAVE_FORMAT_ADPCM;
    spec.rate = rate;
    spec.pcm = data;
    spec.fmtSize = 50;
    Bytes file = MakeWave(spec);
    auto put16 = [&](size_t at, int v) {
        file[at] = static_cast<uint8_t>(v);
        file[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    const int avg = rate * blockAlign / perBlock;
    put16(20 + 8, avg & 0xFFFF);
    put16(20 + 10, avg >> 16);
    put16(20 + 12, blockAlign);
    put16(20 + 14, 4);
    put16(20 + 16, 32);
    put16(20 + 18, perBlock);
    put16(20 + 20, 7);
    const int c1[7] = {256, 512, 0, 192, 240, 460, 392};
    const int c2[7] = {0, -256, 0, 64, 0, -208, -232};
    for (int i = 0; i < 7; ++i) {
        put16(20 + 22 + 4 * i, c1[i]);
        put16(20 + 24 + 4 * i, c2[i]);
    }
    return file;
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
}

}  // namespace
