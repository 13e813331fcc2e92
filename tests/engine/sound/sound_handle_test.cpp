// Sound handles on the stepped mixer: the table, the buffers played in turn, volume, counts,
// waiting for the end, the absent device, and the start-up log.
#include <gtest/gtest.h>

#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/sound/sound.h"
#include "engine/sound/sound_files.h"
#include "engine/sound/sound_internal.h"
#include "engine/tessra.h"
#include "platform/testing.h"
#include "platform/win/time.h"

namespace {

using namespace tessra;
using namespace tessra::testsnd;
using namespace tessra::sjis_literals;
namespace pt = plat::testing;

// A mono 16-bit 44.1 kHz sound of `frames` frames.
Bytes ToneImage(int frames) {
    WaveSpec spec;
    spec.rate = 44100;
    spec.pcm = AsBytes(Sine(frames, 1, 44100, 441, 8000));
    return MakeWave(spec);
}

int MakeSound(const Bytes& image, int count) {
    return CreateSoundFromFileImage(image.data(), static_cast<uint32_t>(image.size()), count, -1);
}

uint32_t StatusOf(int handle, int buffer) {
    uint32_t status = 0;
    EXPECT_EQ(GetSoundBufferStatus(&FindSound(handle)->buffers[buffer], &status), 0);
    return status;
}

uint32_t CursorOf(int handle, int buffer) {
    plat::DWORD play = 0;
    FindSound(handle)->buffers[buffer].buffer->GetCurrentPosition(&play, nullptr);
    return play;
}

class SoundHandleTest : public SoundFixture {};

TEST_F(SoundHandleTest, HandlesCarryKindCheckAndSlot) {
    const Bytes image = ToneImage(8);
    const int first = MakeSound(image, 1);
    const int second = MakeSound(image, 1);
    ASSERT_NE(first, -1);
    EXPECT_EQ(first & 0x7800FFFF, 0x10000000);  // kind, slot 0
    EXPECT_EQ(second & 0xFFFF, 1);
    EXPECT_EQ(((second >> 16) & 0x7FF), (((first >> 16) & 0x7FF) + 1) % 2048);
    EXPECT_EQ(GetSoundLengthFrames(first), 8);
}

TEST_F(SoundHandleTest, RefusesBadAndStaleHandles) {
    const Bytes image = ToneImage(8);
    const int live = MakeSound(image, 1);
    const int stale = MakeSound(image, 1);
    ASSERT_EQ(DeleteSound(stale), 0);
    const int reborn = MakeSound(image, 1);  // same slot, next check number
    EXPECT_EQ(reborn & 0xFFFF, stale & 0xFFFF);
    EXPECT_NE(reborn, stale);
    const int refused[] = {-1,
                           stale,
                           (live & ~0x78000000) | 0x08000000,  // a graph's kind
                           (live & ~0xFFFF) | 4096,
                           (live & ~0xFFFF) | 77,  // empty slot
                           static_cast<int>(static_cast<uint32_t>(live) | 0x80000000u)};
    for (int h : refused) {
        EXPECT_EQ(PlaySoundHandle(h, 1, 1), -1) << std::hex << h;
        EXPECT_EQ(StopSoundHandle(h), -1);
        EXPECT_EQ(IsSoundPlaying(h), -1);
        EXPECT_EQ(SetSoundVolume(5000, h), -1);
        EXPECT_EQ(GetSoundLengthFrames(h), -1);
        EXPECT_EQ(DeleteSound(h), -1);
    }
    EXPECT_EQ(IsSoundPlaying(live), 0);
    EXPECT_EQ(IsSoundPlaying(reborn), 0);
}

TEST_F(SoundHandleTest, CheckNumbersWrapAfter2047) {
    const Bytes image = ToneImage(2);
    const int first = MakeSound(image, 1);
    ASSERT_NE(first, -1);
    ASSERT_EQ(DeleteSound(first), 0);
    const int c = (first >> 16) & 0x7FF;
    for (int i = 1; i < 2048; ++i) {
        const int h = MakeSound(image, 1);
        ASSERT_EQ((h >> 16) & 0x7FF, (c + i) % 2048) << i;
        ASSERT_EQ(DeleteSound(h), 0);
    }
    EXPECT_EQ(MakeSound(image, 1), first);  // 2048 numbers later the first comes round again
}

TEST_F(SoundHandleTest, The4097thSoundIsRefusedAndFreedSlotsAreReusedFromZero) {
    const Bytes image = ToneImage(2);
    std::vector<int> handles;
    for (int i = 0; i < 4096; ++i) {
        handles.push_back(MakeSound(image, 1));
        ASSERT_NE(handles.back(), -1) << i;
    }
    EXPECT_EQ(MakeSound(image, 1), -1);
    EXPECT_NE(ReadLog().find("サウンドの数が許容量を越えました\r\n"_sjis), std::string::npos);
    EXPECT_EQ(GetSoundSystem().table.liveCount, 4096);
    ASSERT_EQ(DeleteSound(handles[7]), 0);
    ASSERT_EQ(DeleteSound(handles[3]), 0);
    EXPECT_EQ(GetSoundSystem().table.topSlot, 4096);
    EXPECT_EQ(MakeSound(image, 1) & 0xFFFF, 3);
    EXPECT_EQ(MakeSound(image, 1) & 0xFFFF, 7);
    EXPECT_EQ(MakeSound(image, 1), -1);
}

TEST_F(SoundHandleTest, DeletingTheTopSlotLowersIt) {
    const Bytes image = ToneImage(2);
    const int a = MakeSound(image, 1);
    const int b = MakeSound(image, 1);
    const int c = MakeSound(image, 1);
    ASSERT_EQ(DeleteSound(b), 0);
    EXPECT_EQ(GetSoundSystem().table.topSlot, 3);
    ASSERT_EQ(DeleteSound(c), 0);
    EXPECT_EQ(GetSoundSystem().table.topSlot, 1);
    EXPECT_EQ(MakeSound(image, 1) & 0xFFFF, 1);
    ASSERT_EQ(DeleteAllSounds(), 0);
    EXPECT_EQ(GetSoundSystem().table.topSlot, 0);
    EXPECT_EQ(GetSoundSystem().table.liveCount, 0);
    EXPECT_EQ(IsSoundPlaying(a), -1);
}

TEST_F(SoundHandleTest, PlaysOnThreeBuffersInTurn) {
    const int h = MakeSound(ToneImage(44100), 3);
    ASSERT_EQ(FindSound(h)->bufferCount, 3);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    EXPECT_EQ(StatusOf(h, 0), 0u);
    EXPECT_EQ(StatusOf(h, 1), 1u);
    EXPECT_EQ(StatusOf(h, 2), 1u);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);  // buffer 0
    EXPECT_EQ(StatusOf(h, 0), 1u);
    pt::StepMixer(100);
    EXPECT_EQ(CursorOf(h, 1), 200u);
    // The fourth play comes to buffer 1 again: from-start 0 leaves it alone...
    EXPECT_EQ(PlaySoundHandle(h, 1, 0), 0);
    EXPECT_EQ(CursorOf(h, 1), 200u);
    EXPECT_EQ(FindSound(h)->roundRobin, 1);
    // ...and from-start 1 restarts it.
    FindSound(h)->roundRobin = 0;
    EXPECT_EQ(PlaySoundHandle(h, 1, 1), 0);
    EXPECT_EQ(CursorOf(h, 1), 0u);
    EXPECT_EQ(IsSoundPlaying(h), 1);
    EXPECT_EQ(StopSoundHandle(h), 0);
    EXPECT_EQ(IsSoundPlaying(h), 0);
}

TEST_F(SoundHandleTest, FromStartZeroOnAFreeBufferStartsWhereTheLastCopyIs) {
    const int h = MakeSound(ToneImage(44100), 3);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);  // buffer 1
    pt::StepMixer(250);
    ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);  // buffer 2 at buffer 1's cursor
    EXPECT_EQ(CursorOf(h, 2), 500u);
    EXPECT_EQ(StatusOf(h, 2), 1u);
}

TEST_F(SoundHandleTest, LoopTypeLoopsAndBackgroundEnds) {
    const int h = MakeSound(ToneImage(100), 1);
    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
    pt::StepMixer(1000);
    EXPECT_EQ(IsSoundPlaying(h), 1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    pt::StepMixer(101);
    EXPECT_EQ(IsSoundPlaying(h), 0);
}

TEST_F(SoundHandleTest, VolumeMapsToHundredthsOfADecibel) {
    const int h = MakeSound(ToneImage(8), 2);
    const struct {
        int volume;
        plat::LONG expect;
    } cases[] = {{10000, 0}, {12000, 0}, {9000, -1000}, {1, -9999}, {0, -10000}, {-50, -10000}};
    for (const auto& c : cases) {
        ASSERT_EQ(SetSoundVolume(c.volume, h), 0);
        for (int i = 0; i < 2; ++i) {
            plat::LONG v = 1;
            FindSound(h)->buffers[i].buffer->GetVolume(&v);
            EXPECT_EQ(v, c.expect) << c.volume;
        }
    }
}

TEST_F(SoundHandleTest, KeepModesAreZeroToThree) {
    for (const int mode : {0, 1, 2, 3}) {
        EXPECT_EQ(SetSoundDataKeepMode(mode), 0);
        EXPECT_EQ(GetSoundSystem().keepMode, mode);
    }
    for (const int mode : {-1, 4}) {
        EXPECT_EQ(SetSoundDataKeepMode(mode), -1);
        EXPECT_EQ(GetSoundSystem().keepMode, 3) << "unchanged";
    }
    SetSoundDataKeepMode(0);
}

TEST_F(SoundHandleTest, BufferCounts) {
    const Bytes image = ToneImage(8);
    for (int count : {0, -3}) {
        const int h = MakeSound(image, count);
        ASSERT_NE(h, -1);
        EXPECT_EQ(FindSound(h)->bufferCount, count);
        EXPECT_EQ(FindSound(h)->buffers[0].created, 0);
        EXPECT_EQ(PlaySoundHandle(h, 1, 1), -1);  // nothing to play on
        EXPECT_EQ(IsSoundPlaying(h), 0);
        EXPECT_EQ(DeleteSound(h), 0);
    }
    EXPECT_EQ(MakeSound(image, 11), -1);
    WriteFile(dir_ / "se.wav", image);
    const int many = LoadSoundFile("se.wav", 25, -1);
    ASSERT_NE(many, -1);
    EXPECT_EQ(FindSound(many)->bufferCount, 10);
    pt::FailSoundBufferDuplicates(1);
    const int fewer = MakeSound(image, 3);
    EXPECT_EQ(FindSound(fewer)->bufferCount, 1);  // the failed duplicate ends the making
}

TEST_F(SoundHandleTest, PlayTypeZeroWaitsUntilTheEnd) {
    pt::SetFakeClock(5000);
    pt::SetSleepStepsMixer(true);
    const int h = MakeSound(ToneImage(2205), 1);  // 50 ms
    const plat::DWORD before = plat::timeGetTime();
    ASSERT_EQ(PlaySoundHandle(h, 0, 1), 0);
    EXPECT_EQ(IsSoundPlaying(h), 0);
    const plat::DWORD waited = plat::timeGetTime() - before;
    EXPECT_GE(waited, 50u);
    EXPECT_LE(waited, 52u);
}

TEST_F(SoundHandleTest, StartUpLogsTheDevice) {
    const std::string log = ReadLog();
    for (const char* line : {"DirectSound の初期化を行います\r\n",
                             "DirectSound インターフェースの取得を行います....  成功\r\n",
                             "引き続きインターフェースの初期化処理...  成功\r\n",
                             "DirectSound デバイスを列挙します\r\n",
                             "モジュール名:", " プライマリ １６bit = OK  ８bit = OK ",
                             " セカンダリ MONO = OK  STEREO = OK \r\n",
                             "最大サンプリングレート:192.00KHz 最小サンプリングレート:0.10KHz ",
                             "DirectSound の初期化は正常に終了しました\r\n"}) {
        EXPECT_NE(log.find(SjisText(line)), std::string::npos) << line;
    }
    EXPECT_EQ(InitializeSound(), -1);  // already running
    EXPECT_EQ(GetLogState().indentLevel, 0);
    // The silent buffer plays all along, and adds nothing.
    for (int16_t v : pt::StepMixer(500)) ASSERT_EQ(v, 0);
}

class NoSoundTest : public SoundFixture {
protected:
    NoSoundTest() { startSound_ = false; }
};

TEST_F(NoSoundTest, WithoutADeviceEveryCallAnswersMinusOne) {
    pt::SetNoSoundDevice(true);
    EXPECT_EQ(InitializeSound(), -1);
    EXPECT_NE(ReadLog().find("初期化に失敗しました\r\n"_sjis), std::string::npos);
    EXPECT_FALSE(pt::SoundDeviceOpen());
    WriteFile(dir_ / "se.wav", ToneImage(8));
    EXPECT_EQ(SetSoundDataKeepMode(0), -1);
    EXPECT_EQ(SetSoundDataKeepMode(3), -1);
    EXPECT_EQ(LoadSoundFile("se.wav", 3, -1), -1);
    EXPECT_EQ(PlaySoundHandle(0x10000000, 1, 1), -1);
    EXPECT_EQ(StopSoundHandle(0x10000000), -1);
    EXPECT_EQ(IsSoundPlaying(0x10000000), -1);
    EXPECT_EQ(SetSoundVolume(100, 0x10000000), -1);
    EXPECT_EQ(SetSoundLoopPosition(0, 0x10000000), -1);
    EXPECT_EQ(DeleteAllSounds(), -1);
    EXPECT_EQ(TerminateSound(), -1);
}

TEST_F(NoSoundTest, AFailedDeviceCreationIsLogged) {
    pt::FailSoundDeviceCreations(1);
    EXPECT_EQ(InitializeSound(), -1);
    EXPECT_NE(ReadLog().find("DirectSoundインターフェースの作成に失敗しました\r\n"_sjis),
              std::string::npos);
    EXPECT_EQ(InitializeSound(), 0);  // a later try may succeed
}

// --- Mended faults ---------------------------------------------------------------------------

TEST_F(SoundHandleTest, RebuildingUnderAHandleTakesOnlyItsOwnEmptySlot) {
    const Bytes image = ToneImage(8);
    const int taken = MakeSound(image, 1);
    EXPECT_EQ(AddSoundData(taken), -1);  // never a second record in a used slot
    EXPECT_EQ(GetSoundSystem().table.liveCount, 1);
    const int rebuilt = MakeEngineHandle(kSoundHandleKind, 5, 9);
    EXPECT_EQ(AddSoundData(rebuilt), rebuilt);
    EXPECT_EQ(GetSoundSystem().table.topSlot, 10);  // counted, so a new sound goes above it
    EXPECT_NE(FindSound(rebuilt), nullptr);
    EXPECT_EQ(MakeSound(image, 1) & 0xFFFF, 10);
    EXPECT_EQ(AddSoundData(0x08000001), -1);  // not a sound handle
}

TEST_F(SoundHandleTest, AFailedPlayAnswersMinusOne) {
    const int h = MakeSound(ToneImage(100), 1);
    pt::FailSoundBufferPlays(1);
    EXPECT_EQ(PlaySoundHandle(h, 1, 1), -1);
    EXPECT_EQ(IsSoundPlaying(h), 0);
    EXPECT_EQ(PlaySoundHandle(h, 1, 1), 0);
}

TEST_F(SoundHandleTest, FromStartZeroWithNoCopyBeforeStartsAtZero) {
    // One buffer: the round robin comes back to it; never played, its cursor is 0.
    const int h = MakeSound(ToneImage(1000), 1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);
    EXPECT_EQ(CursorOf(h, 0), 0u);
    EXPECT_EQ(IsSoundPlaying(h), 1);
}

}  // namespace
