// The decoder frame over PCM WAVE files made in the test: the chunk walk, the fmt rules, reads,
// seeks, the whole-file helpers, and the files that must be refused without harm.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/sound/sound_files.h"
#include "engine/sound/sound_internal.h"
#include "engine/tessra.h"
#include "platform/testing.h"

namespace {

using namespace tessra;
using namespace tessra::testsnd;
using namespace tessra::sjis_literals;
namespace pt = plat::testing;

// A decoder over bytes held by the test.
struct OpenWave {
    explicit OpenWave(const Bytes& bytes) : data(bytes) {
        memory = OpenMemStream(data.data(), static_cast<uint32_t>(data.size()));
        io = MakeStreamIo(GetMemStreamFuncs(), memory);
        result = OpenSoundDecoder(&io, &decoder);
    }
    ~OpenWave() {
        if (decoder.open) CloseSoundDecoder(&decoder);
        CloseMemStream(memory);
    }
    Bytes data;
    StreamHandle memory;
    StreamIo io;
    SoundDecoder decoder{};
    int result;
};

Bytes Counting(size_t n) {
    Bytes out(n);
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(i * 7 + 3);
    return out;
}

class WaveDecoderTest : public SoundFixture {};

TEST_F(WaveDecoderTest, OpensAndReadsTheData) {
    WaveSpec spec;
    spec.channels = 2;
    spec.rate = 11025;
    spec.pcm = Counting(4000);
    spec.fmtSize = 18;
    OpenWave w(MakeWave(spec));
    ASSERT_EQ(w.result, 0);
    const SoundDecoder& d = w.decoder;
    EXPECT_EQ(d.kind, kDecoderPcmWave);
    EXPECT_EQ(d.format.nChannels, 2);
    EXPECT_EQ(d.format.nSamplesPerSec, 11025u);
    EXPECT_EQ(d.format.nBlockAlign, 4);
    EXPECT_EQ(d.format.wBitsPerSample, 16);
    EXPECT_EQ(d.capacity, 44100u);
    EXPECT_EQ(GetSoundDecoderSize(&d), 4000u);
    EXPECT_EQ(d.dataStart, 46u);
    Bytes got(4000);
    EXPECT_EQ(ReadSoundDecoder(&w.decoder, got.data(), 4000), 4000);
    EXPECT_EQ(got, spec.pcm);
}

TEST_F(WaveDecoderTest, ChunkWalkAndFmtRules) {
    struct Case {
        const char* name;
        void (*change)(WaveSpec*);
        bool opens;
    };
    const Case cases[] = {
        {"LIST between fmt and data", [](WaveSpec* s) { s->listBeforeData = true; }, true},
        {"LIST between WAVE and fmt", [](WaveSpec* s) { s->listBeforeFmt = true; }, false},
        {"odd chunk with its pad", [](WaveSpec* s) { s->oddChunkBeforeData = 5; }, true},
        {"extensible fmt of 40 bytes",
         [](WaveSpec* s) {
             s->fmtSize = 40;
             s->formatTag = 0xFFFE;
         },
         false},
        {"odd-sized fmt with its pad byte", [](WaveSpec* s) { s->fmtSize = 17; }, true},
    };
    for (const Case& c : cases) {
        WaveSpec spec;
        spec.pcm = Counting(200);
        c.change(&spec);
        OpenWave w(MakeWave(spec));
        EXPECT_EQ(w.result, c.opens ? 0 : -1) << c.name;
        if (w.result != 0) continue;
        Bytes got(200);
        EXPECT_EQ(ReadSoundDecoder(&w.decoder, got.data(), 200), 200) << c.name;
        EXPECT_EQ(got, spec.pcm) << c.name;
    }
}

TEST_F(WaveDecoderTest, SixteenByteFmtTakesBitsFromBlockAlign) {
    WaveSpec spec;
    spec.channels = 2;
    spec.bits = 16;
    spec.bitsField = 12;  // the field disagrees with block align 4
    spec.pcm = Counting(40);
    OpenWave w(MakeWave(spec));
    ASSERT_EQ(w.result, 0);
    EXPECT_EQ(w.decoder.format.wBitsPerSample, 16);
    EXPECT_EQ(w.decoder.format.cbSize, 0);
}

TEST_F(WaveDecoderTest, ReadingPastTheEndAndSeekingBack) {
    WaveSpec spec;
    spec.pcm = Counting(100);
    OpenWave w(MakeWave(spec));
    ASSERT_EQ(w.result, 0);
    Bytes got(300);
    EXPECT_EQ(ReadSoundDecoder(&w.decoder, got.data(), 300), 100);
    EXPECT_EQ(w.decoder.endFlag, 1);
    EXPECT_EQ(ReadSoundDecoder(&w.decoder, got.data(), 10), 0);
    // A seek within 15 bytes of where the decoder stands does nothing, the end flag included.
    EXPECT_EQ(SeekSoundDecoder(&w.decoder, 43), 0);  // byte 86, 14 before
    EXPECT_EQ(w.decoder.endFlag, 1);
    EXPECT_EQ(w.decoder.decodedPosition, 100u);
    EXPECT_EQ(SeekSoundDecoder(&w.decoder, 0), 0);
    EXPECT_EQ(w.decoder.endFlag, 0);
    EXPECT_EQ(ReadSoundDecoder(&w.decoder, got.data(), 10), 10);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 10, spec.pcm.begin()));
    EXPECT_EQ(SeekSoundDecoder(&w.decoder, 40), 0);
    EXPECT_EQ(ReadSoundDecoder(&w.decoder, got.data(), 2), 2);
    EXPECT_EQ(got[0], spec.pcm[80]);
}

TEST_F(WaveDecoderTest, UnopenedDecoderAnswersMinusOne) {
    SoundDecoder d{};
    uint8_t b[4];
    EXPECT_EQ(ReadSoundDecoder(&d, b, 4), -1);
    EXPECT_EQ(CloseSoundDecoder(&d), -1);
    const Bytes junk = Counting(64);
    OpenWave w(junk);
    EXPECT_EQ(w.result, -1);
}

TEST_F(WaveDecoderTest, BuildsAWaveImage) {
    const uint8_t format[18] = {1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 1, 0, 2, 0, 16, 0, 0, 0};
    const Bytes data = Counting(1000);
    void* image = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(BuildWaveFileImage(&image, &size, format, 18, data.data(), 1000), 0);
    EXPECT_EQ(size, 1046u);
    const auto* p = static_cast<const uint8_t*>(image);
    uint32_t riff;
    std::memcpy(&riff, p + 4, 4);
    EXPECT_EQ(riff, 1038u);
    EXPECT_EQ(std::memcmp(p + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(std::memcmp(p + 38, "data", 4), 0);
    EXPECT_EQ(std::memcmp(p + 46, data.data(), 1000), 0);
    // And it reads back as the same sound.
    OpenWave w(Bytes(p, p + size));
    EXPECT_EQ(w.result, 0);
    EXPECT_EQ(GetSoundDecoderSize(&w.decoder), 1000u);
    FreeTagged(image);
}

TEST_F(WaveDecoderTest, LoadsAWholeFile) {
    const Bytes bytes = Counting(5000);
    WriteFile(dir_ / "whole.bin", bytes);
    void* block = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(LoadWholeFile("whole.bin", &block, &size), 0);
    EXPECT_EQ(size, 5000u);
    EXPECT_EQ(std::memcmp(block, bytes.data(), 5000), 0);
    FreeTagged(block);
    EXPECT_EQ(LoadWholeFile("missing.bin", &block, &size), -1);
    EXPECT_NE(ReadLog().find("右記のファイルのオープンに失敗しました：missing.bin"_sjis),
              std::string::npos);
}

// --- Mended faults ---------------------------------------------------------------------------

// A "data" size beyond the file: only what the file holds is the sound, and a read stops there.
TEST_F(WaveDecoderTest, TruncatedDataEndsWhereTheFileEnds) {
    WaveSpec spec;
    spec.pcm = Counting(400);
    spec.declaredData = 100000;
    const Bytes file = MakeWave(spec);
    OpenWave w(file);
    ASSERT_EQ(w.result, 0);
    EXPECT_EQ(GetSoundDecoderSize(&w.decoder), 400u);
    Bytes got(1000);
    EXPECT_EQ(ReadSoundDecoder(&w.decoder, got.data(), 1000), 400);
    EXPECT_EQ(ReadSoundDecoder(&w.decoder, got.data(), 1000), 0);

    const int h = CreateSoundFromFileImage(file.data(), static_cast<uint32_t>(file.size()), 1, -1);
    ASSERT_NE(h, -1);
    EXPECT_EQ(GetSoundLengthFrames(h), 200);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    pt::StepMixer(399);  // 200 frames at 22,050 Hz take 400 at the device rate
    EXPECT_EQ(IsSoundPlaying(h), 1);
    pt::StepMixer(1);
    EXPECT_EQ(IsSoundPlaying(h), 0);  // it ends, rather than playing what lies past the file
}

// Odd or empty formats are refused at open, and loading them answers -1 instead of ending the
// program through the buffer error.
TEST_F(WaveDecoderTest, UnplayableFormatsAreRefused) {
    struct Case {
        const char* name;
        void (*change)(WaveSpec*);
    };
    const Case cases[] = {
        {"no channels", [](WaveSpec* s) { s->channels = 0; }},
        {"three channels", [](WaveSpec* s) { s->channels = 3; }},
        {"24 bits",
         [](WaveSpec* s) {
             s->bits = 24;
             s->pcm = Counting(300);
         }},
        {"4 bits", [](WaveSpec* s) { s->bits = 4; }},
        {"rate 0", [](WaveSpec* s) { s->rate = 0; }},
        {"rate past 192 kHz", [](WaveSpec* s) { s->rate = 400000; }},
        {"average rate disagrees", [](WaveSpec* s) { s->avgBytesField = 7; }},
        {"no PCM", [](WaveSpec* s) { s->pcm.clear(); }},
        {"less than a frame",
         [](WaveSpec* s) {
             s->channels = 2;
             s->pcm = Counting(3);
         }},
    };
    for (const Case& c : cases) {
        WaveSpec spec;
        spec.pcm = Counting(200);
        c.change(&spec);
        const Bytes file = MakeWave(spec);
        EXPECT_EQ(CreateSoundFromFileImage(file.data(), static_cast<uint32_t>(file.size()), 3, -1),
                  -1)
            << c.name;
        EXPECT_EQ(GetSoundSystem().table.liveCount, 0) << c.name;
    }
    EXPECT_NE(ReadLog().find("音声ファイルのＰＣＭへの変換に失敗しました"_sjis), std::string::npos);
    EXPECT_EQ(pt::LiveSoundBufferCount(), 2);  // the primary and the silent buffer alone
}

}  // namespace
