// Stream sounds on the stepped mixer, the pump's refill run by hand: looping from the loop start,
// ending, the lead kept in the ring, the refused adds, shared rings, and the files that used to
// hang the refill.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/sound/sound.h"
#include "engine/sound/sound_files.h"
#include "engine/sound/sound_internal.h"
#include "engine/tessra.h"
#include "platform/testing.h"

namespace {

using namespace tessra;
using namespace tessra::testsnd;
using namespace tessra::sjis_literals;
namespace pt = plat::testing;

// Plays `frames` device frames, refilling after every `chunk`, and returns what was heard.
std::vector<int16_t> PlayAndPump(int frames, int chunk) {
    std::vector<int16_t> out;
    while (frames > 0) {
        const int n = std::min(frames, chunk);
        const std::vector<int16_t> part = pt::StepMixer(n);
        out.insert(out.end(), part.begin(), part.end());
        RefillAllStreamSounds();
        frames -= n;
    }
    return out;
}

// The PCM a decoder gives for `bytes` from `frame` on.
std::vector<int16_t> DecodeFrom(const Bytes& file, uint32_t frame, uint32_t bytes) {
    const StreamHandle memory = OpenMemStream(file.data(), static_cast<uint32_t>(file.size()));
    const StreamIo io = MakeStreamIo(GetMemStreamFuncs(), memory);
    SoundDecoder d{};
    EXPECT_EQ(OpenSoundDecoder(&io, &d), 0);
    RepositionSoundDecoder(&d, frame);
    std::vector<int16_t> out(bytes / 2);
    const int got = ReadSoundDecoder(&d, out.data(), bytes);
    out.resize(static_cast<size_t>(got > 0 ? got : 0) / 2);
    CloseSoundDecoder(&d);
    CloseMemStream(memory);
    return out;
}

class StreamSoundTest : public SoundFixture {
protected:
    int LoadStream(const char* name, const Bytes& file, int share = -1) {
        WriteFile(dir_ / name, file);
        StoreSoundDataKeepMode(3);
        const int h = LoadSoundFile(name, 1, share);
        StoreSoundDataKeepMode(0);
        return h;
    }
    static Bytes MonoWave(int frames, int rate = 22050) {
        WaveSpec spec;
        spec.rate = rate;
        spec.pcm = AsBytes(Sine(frames, 1, rate, 330, 9000));
        return MakeWave(spec);
    }
};

TEST_F(StreamSoundTest, LoopingOggContinuesFromItsLoopStartBitForBit) {
    constexpr uint32_t kFrames = 3 * 44100 + 123;
    constexpr uint32_t kLoop = 44100 + 777;
    std::vector<int16_t> music = Sine(kFrames, 2, 44100, 220, 8000);
    for (size_t i = 0; i < music.size(); i += 2) music[i] = static_cast<int16_t>(music[i] / 2);
    const Bytes ogg = MakeOgg(2, 44100, music);
    const int h = LoadStream("music.ogg", ogg);
    ASSERT_NE(h, -1);
    EXPECT_EQ(GetSoundLengthFrames(h), static_cast<int>(kFrames));
    ASSERT_EQ(SetLoopStartFrames(kLoop, h), 0);
    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
    const std::vector<int16_t> heard = PlayAndPump(10 * 44100, 4410);

    const std::vector<int16_t> first = DecodeFrom(ogg, 0, kFrames * 4);
    const std::vector<int16_t> loop = DecodeFrom(ogg, kLoop, (kFrames - kLoop) * 4);
    ASSERT_EQ(first.size(), kFrames * 2);
    ASSERT_EQ(loop.size(), (kFrames - kLoop) * 2);
    size_t at = 0;
    for (size_t i = 0; i < first.size(); ++i, ++at) ASSERT_EQ(heard[at], first[i]) << at;
    while (at < heard.size()) {
        for (size_t i = 0; i < loop.size() && at < heard.size(); ++i, ++at)
            ASSERT_EQ(heard[at], loop[i]) << at;
    }
    EXPECT_EQ(IsSoundPlaying(h), 1);
}

TEST_F(StreamSoundTest, PlayTypeOneEndsAndTheRingStops) {
    const int h = LoadStream("once.wav", MonoWave(22050));
    ASSERT_NE(h, -1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    const std::vector<int16_t> heard = PlayAndPump(3 * 44100, 2205);
    EXPECT_EQ(IsSoundPlaying(h), 0);
    // One second of tone, then silence.
    int loud = 0;
    for (int i = 0; i < 44100; ++i) loud = std::max(loud, std::abs(static_cast<int>(heard[2 * i])));
    EXPECT_NEAR(loud, 9000, 100);
    for (size_t i = 2 * 44100 + 2; i < heard.size(); ++i) ASSERT_EQ(heard[i], 0) << i;
    // Played again from the start, it sounds again.
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    EXPECT_EQ(IsSoundPlaying(h), 1);
    loud = 0;
    for (int16_t v : PlayAndPump(22050, 2205)) loud = std::max(loud, std::abs(static_cast<int>(v)));
    EXPECT_NEAR(loud, 9000, 100);
}

TEST_F(StreamSoundTest, TheLeadStaysBetweenThreeAndFourAndAnEighthSeconds) {
    const int h = LoadStream("long.wav", MonoWave(22050 * 30));
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    const SoundRecord* record = FindSound(h);
    const uint32_t A = record->format.nAvgBytesPerSec;
    const uint32_t R = record->stream.ringSize;
    EXPECT_EQ(R, A * 6);
    const int chunks[] = {441, 4410, 2000, 8820, 17640, 100, 30000, 7000};
    for (int round = 0; round < 40; ++round) {
        pt::StepMixer(chunks[round % 8]);
        RefillAllStreamSounds();
        plat::DWORD cursor = 0;
        record->buffers[0].buffer->GetCurrentPosition(&cursor, nullptr);
        const uint32_t lead = (record->stream.writePosition + R - cursor) % R;
        EXPECT_GE(lead * 8, A * 24) << round;  // 3 s
        EXPECT_LE(lead * 8, A * 33) << round;  // 4 1/8 s
    }
}

TEST_F(StreamSoundTest, RefusedAddsSayWhy) {
    const Bytes wave = MonoWave(2000);
    WriteFile(dir_ / "a.wav", wave);
    WaveSpec other;
    other.rate = 44100;
    other.pcm = AsBytes(Sine(2000, 1, 44100, 330, 9000));
    WriteFile(dir_ / "b.wav", MakeWave(other));
    const int h = AddSoundData(-1);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(AddStreamSoundFile("a.wav", 0, h, 3, -1), 0) << i;
    EXPECT_EQ(AddStreamSoundFile("a.wav", 0, h, 3, -1), -1);
    EXPECT_NE(ReadLog().find("ストリーム風サウンドの制御データ領域がいっぱいです\r\n"_sjis),
              std::string::npos);

    const int g = AddSoundData(-1);
    ASSERT_EQ(AddStreamSoundFile("a.wav", 0, g, 3, -1), 0);
    EXPECT_EQ(AddStreamSoundFile("b.wav", 0, g, 3, -1), -1);
    EXPECT_NE(ReadLog().find("フォーマットの違う音声データは同時に使うことは出来ません"_sjis),
              std::string::npos);
    RewindStreamSound(g);
    ASSERT_EQ(PlaySoundHandle(g, 1, 0), 0);
    EXPECT_EQ(AddStreamSoundFile("a.wav", 0, g, 3, -1), -1);
    EXPECT_NE(ReadLog().find(
                  "既に再生中のストリームサウンドデータにデータを追加しようとしました\r\n"_sjis),
              std::string::npos);
    EXPECT_EQ(FindSound(g)->stream.itemCount, 1);
    EXPECT_EQ(GetSoundLengthFrames(h), 3 * 2000);
}

TEST_F(StreamSoundTest, SharedRingsTakeTurnsAndTheOwnerWaitsToBeDeleted) {
    const int owner = LoadStream("a.wav", MonoWave(22050 * 2));
    const int guest = LoadStream("b.wav", MonoWave(22050 * 2), owner);
    ASSERT_NE(guest, -1);
    EXPECT_EQ(FindSound(guest)->stream.ringSource, owner);
    EXPECT_EQ(FindSound(owner)->stream.shareCount, 1);
    EXPECT_EQ(FindSound(guest)->buffers[0].created, 0);  // no ring of its own
    ASSERT_EQ(PlaySoundHandle(owner, 1, 1), 0);
    EXPECT_EQ(IsSoundPlaying(owner), 1);
    ASSERT_EQ(PlaySoundHandle(guest, 1, 1), 0);  // takes the ring over
    EXPECT_EQ(IsSoundPlaying(guest), 1);
    EXPECT_EQ(IsSoundPlaying(owner), 0);
    PlayAndPump(4410, 4410);

    ASSERT_EQ(DeleteSound(owner), 0);
    EXPECT_NE(FindSound(owner), nullptr);  // kept while the guest plays in its ring
    EXPECT_EQ(FindSound(owner)->stream.deletePending, 1);
    EXPECT_EQ(IsSoundPlaying(guest), 1);
    ASSERT_EQ(DeleteSound(guest), 0);
    EXPECT_EQ(FindSound(owner), nullptr);
    EXPECT_EQ(GetSoundSystem().table.liveCount, 0);
    EXPECT_EQ(pt::LiveSoundBufferCount(), 2);  // primary and silence
}

TEST_F(StreamSoundTest, LoopStartOnANormalSoundMakesItAStreamUnderTheSameHandle) {
    const Bytes wave = MonoWave(11025);
    const int h = CreateSoundFromFileImage(wave.data(), static_cast<uint32_t>(wave.size()), 3, -1);
    ASSERT_NE(h, -1);
    ASSERT_EQ(SetSoundLoopPosition(250, h), 0);
    const SoundRecord* record = FindSound(h);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->kind, kSoundStream);
    EXPECT_EQ(record->stream.items[0].loopStartFrame, 5512u);
    EXPECT_EQ(record->stream.items[0].loopCount, 255);
    EXPECT_EQ(GetSoundLengthFrames(h), 11025);
    EXPECT_EQ(GetSoundSystem().table.liveCount, 1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    PlayAndPump(44100 * 3, 4410);
    EXPECT_EQ(IsSoundPlaying(h), 1);              // loops from 250 ms for ever
    EXPECT_EQ(SetLoopStartFrames(11025, h), -1);  // at the length: refused
}

// --- Mended faults ---------------------------------------------------------------------------

// Each of these once made a refill loop for ever; now each ends or loops within a bounded
// number of passes.
TEST_F(StreamSoundTest, FormerHangsEndWithinBoundedPasses) {
    // A loop start in the item's last bytes: two bytes loop, over and over.
    {
        const int h = LoadStream("tail.wav", MonoWave(1000));
        ASSERT_EQ(SetLoopStartFrames(999, h), 0);
        ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
        PlayAndPump(44100, 4410);
        EXPECT_EQ(IsSoundPlaying(h), 1);
        DeleteSound(h);
    }
    // An empty item that repeats endlessly, and a looping stream of nothing but empty items.
    WaveSpec empty;
    empty.pcm.clear();
    WriteFile(dir_ / "empty.wav", MakeWave(empty));
    {
        const int h = AddSoundData(-1);
        ASSERT_EQ(AddStreamSoundFile("empty.wav", 255, h, 3, -1), 0);
        RewindStreamSound(h);
        ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);
        PlayAndPump(44100 * 6, 4410);
        EXPECT_EQ(IsSoundPlaying(h), 0);
        DeleteSound(h);
    }
    {
        const int h = AddSoundData(-1);
        ASSERT_EQ(AddStreamSoundFile("empty.wav", 0, h, 3, -1), 0);
        ASSERT_EQ(AddStreamSoundFile("empty.wav", 0, h, 3, -1), 0);
        RewindStreamSound(h);
        ASSERT_EQ(PlaySoundHandle(h, 3, 0), 0);
        PlayAndPump(44100 * 6, 4410);
        EXPECT_EQ(IsSoundPlaying(h), 0);
        DeleteSound(h);
    }
}

// The length is exact, so a loop start past the end of an Ogg file is refused.
TEST_F(StreamSoundTest, OggLoopStartPastTheEndIsRefused) {
    const int h = LoadStream("short.ogg", MakeOgg(1, 22050, Sine(22050, 1, 22050, 440, 5000)));
    ASSERT_NE(h, -1);
    EXPECT_EQ(GetSoundLengthFrames(h), 22050);
    EXPECT_EQ(SetLoopStartFrames(22050 + 100, h), -1);
    EXPECT_EQ(SetLoopStartFrames(22049, h), 0);
}

// Loop positions past about 97 s at 44.1 kHz: the frame count is worked out in 64 bits.
TEST_F(StreamSoundTest, LongLoopPositionsDoNotWrap) {
    WaveSpec spec;
    spec.bits = 8;
    spec.rate = 44100;
    spec.pcm.assign(44100 * 100, 128);
    const int h = LoadStream("long8.wav", MakeWave(spec));
    ASSERT_NE(h, -1);
    ASSERT_EQ(SetSoundLoopPosition(98000, h), 0);
    EXPECT_EQ(FindSound(h)->stream.items[0].loopStartFrame, 4321800u);
}

// The stream that replaces a normal sound is made first: when it cannot be, the sound stays.
TEST_F(StreamSoundTest, AFailedLoopStartKeepsTheSound) {
    const Bytes wave = MonoWave(2000);
    const int h = CreateSoundFromFileImage(wave.data(), static_cast<uint32_t>(wave.size()), 1, -1);
    std::vector<int> others;
    while (GetSoundSystem().table.liveCount < kMaxSounds)
        others.push_back(
            CreateSoundFromFileImage(wave.data(), static_cast<uint32_t>(wave.size()), 1, -1));
    EXPECT_EQ(SetLoopStartFrames(100, h), -1);
    EXPECT_NE(ReadLog().find("ストリームサウンドハンドルの作成に失敗しました\r\n"_sjis),
              std::string::npos);
    EXPECT_EQ(GetSoundLengthFrames(h), 2000);
    EXPECT_EQ(FindSound(h)->kind, kSoundNormal);
    EXPECT_EQ(PlaySoundHandle(h, 1, 1), 0);
    EXPECT_EQ(IsSoundPlaying(h), 1);
}

}  // namespace
