// The sound device and its software mixer, on the stepped mixer: buffer formats, duplicates,
// cursors, locks, volume, rate conversion, clipping, pulled sources and the absent device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/dsound/dsound.h"
#include "platform/testing.h"
#include "platform/win/time.h"

namespace {

using namespace plat;
namespace pt = plat::testing;

class DsoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        pt::Reset();
        pt::UseSteppedMixer(true);
        ASSERT_EQ(CreateDirectSound(&ds_), DS_OK);
        ASSERT_EQ(ds_->Initialize(nullptr), DS_OK);
    }
    void TearDown() override {
        for (IDirectSoundBuffer* b : made_) b->Release();
        if (ds_ != nullptr) ds_->Release();
        pt::Reset();
    }
    IDirectSoundBuffer* Make(WORD channels, DWORD rate, WORD bits, DWORD bytes) {
        WAVEFORMATEX f{
            WAVE_FORMAT_PCM, channels, rate, 0, static_cast<WORD>(channels * bits / 8), bits, 0};
        f.nAvgBytesPerSec = rate * f.nBlockAlign;
        DSBUFFERDESC d{sizeof(DSBUFFERDESC), DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME, bytes, 0, &f, {}};
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
        if (b != nullptr) made_.push_back(b);
        return b;
    }
    static void Fill(IDirectSoundBuffer* b, const void* data, DWORD bytes) {
        void *p1, *p2;
        DWORD n1, n2;
        ASSERT_EQ(b->Lock(0, bytes, &p1, &n1, &p2, &n2, 0), DS_OK);
        std::memcpy(p1, data, n1);
        ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    }
    IDirectSound* ds_ = nullptr;
    std::vector<IDirectSoundBuffer*> made_;
};

TEST_F(DsoundTest, RefusesFormatsOutsideWhatItMixes) {
    struct Case {
        WORD tag, channels, bits, align;
        DWORD rate, bytes;
        HRESULT want;
    };
    const Case cases[] = {
        {1, 2, 16, 4, 44100, 400, DS_OK},
        {1, 1, 8, 1, 100, 1, DS_OK},
        {1, 2, 8, 2, 192000, 2, DS_OK},
        {1, 1, 16, 2, 44100, 0, DSERR_INVALIDPARAM},  // no bytes
        {1, 1, 16, 2, 44100, 1, DSERR_INVALIDPARAM},  // less than a frame
        {2, 1, 16, 2, 44100, 100, DSERR_BADFORMAT},   // not PCM
        {1, 0, 16, 0, 44100, 100, DSERR_BADFORMAT},
        {1, 3, 16, 6, 44100, 600, DSERR_BADFORMAT},
        {1, 1, 24, 3, 44100, 300, DSERR_BADFORMAT},
        {1, 1, 16, 4, 44100, 400, DSERR_BADFORMAT},  // align disagrees
        {1, 1, 16, 2, 99, 200, DSERR_BADFORMAT},
        {1, 1, 16, 2, 192001, 200, DSERR_BADFORMAT},
    };
    for (const Case& c : cases) {
        WAVEFORMATEX f{c.tag, c.channels, c.rate, c.rate * c.align, c.align, c.bits, 0};
        DSBUFFERDESC d{sizeof(DSBUFFERDESC), 0x80E2, c.bytes, 0, &f, {}};
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), c.want)
            << c.tag << " " << c.channels << " " << c.bits << " " << c.rate << " " << c.bytes;
        EXPECT_EQ(b != nullptr, c.want == DS_OK);
        if (b != nullptr) b->Release();
    }
    EXPECT_EQ(pt::LiveSoundBufferCount(), 0);
}

TEST_F(DsoundTest, PrimaryBufferTakesAFormatAndMixesNothing) {
    DSBUFFERDESC d{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, {}};
    IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(ds_->CreateSoundBuffer(&d, &primary, nullptr), DS_OK);
    made_.push_back(primary);
    WAVEFORMATEX f{1, 2, 44100, 176400, 4, 16, 0};
    EXPECT_EQ(primary->SetFormat(&f), DS_OK);
    EXPECT_EQ(primary->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    for (int16_t v : pt::StepMixer(64)) ASSERT_EQ(v, 0);
    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(ds_->GetCaps(&caps), DS_OK);
    EXPECT_TRUE(caps.dwFlags & DSCAPS_PRIMARYSTEREO);
    EXPECT_TRUE(caps.dwFlags & DSCAPS_PRIMARY16BIT);
    EXPECT_GE(caps.dwMaxSecondarySampleRate, 44100u);
}

TEST_F(DsoundTest, MixesAStereoEffectAtTheDeviceRateBitForBit) {
    std::vector<int16_t> pcm(2 * 300);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(i * 97 % 60000 - 30000);
    IDirectSoundBuffer* b = Make(2, 44100, 16, 1200);
    Fill(b, pcm.data(), 1200);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    const std::vector<int16_t> out = pt::StepMixer(400);
    for (size_t i = 0; i < pcm.size(); ++i) ASSERT_EQ(out[i], pcm[i]) << i;
    for (size_t i = pcm.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
    DWORD status = 9;
    EXPECT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);  // a one-shot stops at its end
}

TEST_F(DsoundTest, EightBitMonoAtHalfRateKeepsPitchAndLevel) {
    // 441 Hz square-free sine at 22,050 Hz: 50 samples a period, peak 100 of 127.
    std::vector<uint8_t> pcm(22050);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<uint8_t>(128 + std::lround(100 * std::sin(2 * M_PI * i / 50.0)));
    IDirectSoundBuffer* b = Make(1, 22050, 8, static_cast<DWORD>(pcm.size()));
    Fill(b, pcm.data(), static_cast<DWORD>(pcm.size()));
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    const std::vector<int16_t> out = pt::StepMixer(44100);
    // Both channels equal; peak about 100 x 256; 441 rising zero crossings in the second.
    int peak = 0, crossings = 0;
    for (int i = 0; i < 44100; ++i) {
        ASSERT_EQ(out[2 * i], out[2 * i + 1]);
        peak = std::max(peak, std::abs(static_cast<int>(out[2 * i])));
        if (i > 0 && out[2 * (i - 1)] < 0 && out[2 * i] >= 0) ++crossings;
    }
    EXPECT_NEAR(peak, 100 * 256, 256);
    EXPECT_NEAR(crossings, 441, 1);
    // Every other output frame is a source sample exactly; those between lie between.
    for (int i = 0; i + 2 < 2000; i += 2) {
        ASSERT_EQ(out[2 * i], (pcm[i / 2] - 128) * 256) << i;
        const int a = out[2 * i], c = out[2 * (i + 2)], m = out[2 * (i + 1)];
        ASSERT_GE(m, std::min(a, c));
        ASSERT_LE(m, std::max(a, c));
    }
}

TEST_F(DsoundTest, VolumeIsHundredthsOfADecibel) {
    std::vector<int16_t> pcm(2 * 16, 20000);
    struct Case {
        LONG volume;
        int expect;
    };
    const Case cases[] = {{0, 20000}, {-600, 10024}, {-2000, 2000}, {-10000, 0}};
    for (const Case& c : cases) {
        IDirectSoundBuffer* b = Make(2, 44100, 16, 64);
        Fill(b, pcm.data(), 64);
        ASSERT_EQ(b->SetVolume(c.volume), DS_OK);
        LONG back = 1;
        EXPECT_EQ(b->GetVolume(&back), DS_OK);
        EXPECT_EQ(back, c.volume);
        b->Play(0, 0, 0);
        const std::vector<int16_t> out = pt::StepMixer(16);
        EXPECT_NEAR(out[0], c.expect, 2) << c.volume;
    }
    IDirectSoundBuffer* b = made_.back();
    EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetVolume(-10001), DSERR_INVALIDPARAM);
}

TEST_F(DsoundTest, SumsVoicesAndClips) {
    std::vector<int16_t> loud(2 * 8, 30000), quiet(2 * 8, -5000);
    IDirectSoundBuffer* a = Make(2, 44100, 16, 32);
    IDirectSoundBuffer* b = Make(2, 44100, 16, 32);
    IDirectSoundBuffer* c = Make(2, 44100, 16, 32);
    Fill(a, loud.data(), 32);
    Fill(b, loud.data(), 32);
    Fill(c, quiet.data(), 32);
    a->Play(0, 0, 0);
    b->Play(0, 0, 0);
    EXPECT_EQ(pt::StepMixer(1)[0], 32767);
    c->Play(0, 0, 0);
    EXPECT_EQ(pt::StepMixer(1)[1], 32767);  // 55000 clips, in 32 bits without wrapping
    a->Stop();
    EXPECT_EQ(pt::StepMixer(1)[0], 25000);
}

TEST_F(DsoundTest, DuplicatesShareBytesButNotCursorStateOrVolume) {
    std::vector<int16_t> pcm(2 * 100);
    for (int i = 0; i < 200; ++i) pcm[i] = static_cast<int16_t>(i * 10);
    IDirectSoundBuffer* a = Make(2, 44100, 16, 400);
    IDirectSoundBuffer* dup = nullptr;
    ASSERT_EQ(ds_->DuplicateSoundBuffer(a, &dup), DS_OK);
    made_.push_back(dup);
    Fill(a, pcm.data(), 400);  // written through the original, heard through the duplicate
    dup->SetVolume(-10000);
    dup->Play(0, 0, DSBPLAY_LOOPING);
    pt::StepMixer(30);
    DWORD play = 0, write = 0;
    EXPECT_EQ(dup->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 120u);
    EXPECT_EQ(a->GetCurrentPosition(&play, nullptr), DS_OK);
    EXPECT_EQ(play, 0u);
    DWORD status = 0;
    a->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    dup->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    dup->SetVolume(0);
    dup->Stop();
    dup->SetCurrentPosition(8);  // frame 2
    dup->Play(0, 0, 0);
    EXPECT_EQ(pt::StepMixer(1)[0], pcm[4]);
    // Releasing the original leaves the duplicate's bytes alive.
    made_.erase(made_.begin());
    a->Release();
    EXPECT_EQ(pt::StepMixer(1)[0], pcm[6]);
}

TEST_F(DsoundTest, StopKeepsTheCursorAndLoopingWraps) {
    std::vector<int16_t> pcm(2 * 10);
    for (int i = 0; i < 20; ++i) pcm[i] = static_cast<int16_t>(1000 + i);
    IDirectSoundBuffer* b = Make(2, 44100, 16, 40);
    Fill(b, pcm.data(), 40);
    b->Play(0, 0, DSBPLAY_LOOPING);
    const std::vector<int16_t> out = pt::StepMixer(25);
    for (int i = 0; i < 25; ++i) ASSERT_EQ(out[2 * i], pcm[2 * (i % 10)]) << i;
    b->Stop();
    DWORD play = 0;
    b->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 20u);  // frame 5
    pt::StepMixer(5);
    b->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 20u);
    EXPECT_EQ(b->SetCurrentPosition(40), DSERR_INVALIDPARAM);
}

TEST_F(DsoundTest, LockWrapsIntoASecondPart) {
    IDirectSoundBuffer* b = Make(1, 8000, 8, 100);
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(b->Lock(70, 50, &p1, &n1, &p2, &n2, 0), DS_OK);
    ASSERT_EQ(n1, 30u);
    ASSERT_EQ(n2, 20u);
    ASSERT_NE(p2, nullptr);
    for (DWORD i = 0; i < n1; ++i) static_cast<uint8_t*>(p1)[i] = static_cast<uint8_t>(1 + i);
    for (DWORD i = 0; i < n2; ++i) static_cast<uint8_t*>(p2)[i] = static_cast<uint8_t>(101 + i);
    // Only the pointers and sizes a lock handed out unlock it.
    uint8_t elsewhere[50];
    EXPECT_EQ(b->Unlock(elsewhere, n1, p2, n2), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(p1, n1 + 1, p2, n2), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(p1, n1, p1, n2), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DSERR_INVALIDPARAM);  // once
    // The first part landed at 70, the second at the start; the rest is still 8-bit silence.
    ASSERT_EQ(b->Lock(0, 100, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 100u);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(n2, 0u);
    const auto* all = static_cast<const uint8_t*>(p1);
    for (int i = 0; i < 100; ++i) {
        const int want = i < 20 ? 101 + i : i < 70 ? 128 : 1 + (i - 70);
        ASSERT_EQ(all[i], want) << i;
    }
    EXPECT_EQ(b->Unlock(p1, 0, nullptr, 0), DS_OK);
    EXPECT_EQ(b->Lock(100, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 101, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(70, 50, &p1, &n1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
}

TEST_F(DsoundTest, WritesUnderALockAreHeardWholeFromTheUnlock) {
    // A playing loop topped up as a stream is: the mixer must never hear a region half-written.
    std::vector<int16_t> pcm(2 * 40, 1000);
    IDirectSoundBuffer* b = Make(2, 44100, 16, 160);
    Fill(b, pcm.data(), 160);
    b->Play(0, 0, DSBPLAY_LOOPING);
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(b->Lock(0, 160, &p1, &n1, &p2, &n2, 0), DS_OK);
    std::vector<int16_t> louder(2 * 40, 2000);
    std::memcpy(p1, louder.data(), n1);
    std::vector<int16_t> out = pt::StepMixer(40);
    for (int i = 0; i < 80; ++i) ASSERT_EQ(out[i], 1000) << i;
    // Unlocking the first half publishes that half.
    ASSERT_EQ(b->Unlock(p1, 80, p2, 0), DS_OK);
    out = pt::StepMixer(40);
    for (int i = 0; i < 80; ++i) ASSERT_EQ(out[i], i < 40 ? 2000 : 1000) << i;
}

struct Ramp {
    int16_t next = 0;
    static void Fill(void* context, int16_t* out, int frames) {
        auto* r = static_cast<Ramp*>(context);
        for (int i = 0; i < frames; ++i) out[2 * i] = out[2 * i + 1] = r->next++;
    }
};

TEST_F(DsoundTest, PulledSourcesJoinTheMixUntilRemoved) {
    Ramp ramp;
    const int id = AddPulledSource(Ramp::Fill, &ramp);
    ASSERT_GT(id, 0);
    std::vector<int16_t> one(2 * 4, 100);
    IDirectSoundBuffer* b = Make(2, 44100, 16, 16);
    Fill(b, one.data(), 16);
    b->Play(0, 0, 0);
    const std::vector<int16_t> out = pt::StepMixer(1000);
    EXPECT_EQ(out[0], 100);
    EXPECT_EQ(out[2 * 3 + 1], 103);
    EXPECT_EQ(out[2 * 999], 999);
    RemovePulledSource(id);
    EXPECT_EQ(pt::StepMixer(1)[0], 0);
    EXPECT_EQ(ramp.next, 1000);
}

TEST_F(DsoundTest, SleepingUnderTheFakeClockPlaysTheMixer) {
    std::vector<int16_t> pcm(2 * 4410, 1);
    IDirectSoundBuffer* b = Make(2, 44100, 16, 4410 * 4);  // 100 ms
    Fill(b, pcm.data(), 4410 * 4);
    b->Play(0, 0, 0);
    pt::SetFakeClock(1000);
    pt::SetSleepStepsMixer(true);
    int sleeps = 0;
    DWORD status = DSBSTATUS_PLAYING;
    while ((b->GetStatus(&status), status & DSBSTATUS_PLAYING) && sleeps < 1000) {
        plat::Sleep(1);
        ++sleeps;
    }
    EXPECT_EQ(sleeps, 100);
}

TEST(DsoundDeviceTest, NoDeviceAndForcedFailures) {
    pt::Reset();
    pt::UseSteppedMixer(true);
    IDirectSound* ds = nullptr;
    pt::FailSoundDeviceCreations(1);
    EXPECT_EQ(CreateDirectSound(&ds), DSERR_NODRIVER);
    EXPECT_EQ(ds, nullptr);

    pt::SetNoSoundDevice(true);
    ASSERT_EQ(CreateDirectSound(&ds), DS_OK);
    EXPECT_EQ(ds->Initialize(nullptr), DSERR_NODRIVER);
    EXPECT_FALSE(pt::SoundDeviceOpen());
    DSBUFFERDESC d{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, {}};
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), DSERR_UNINITIALIZED);
    EXPECT_EQ(AddPulledSource(Ramp::Fill, nullptr), 0);
    ds->Release();

    pt::SetNoSoundDevice(false);
    ASSERT_EQ(CreateDirectSound(&ds), DS_OK);
    ASSERT_EQ(ds->Initialize(nullptr), DS_OK);
    EXPECT_EQ(ds->Initialize(nullptr), DSERR_ALREADYINITIALIZED);
    EXPECT_TRUE(pt::SoundDeviceOpen());
    pt::FailSoundBufferCreations(1);
    EXPECT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), DSERR_OUTOFMEMORY);
    EXPECT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    b->Release();
    ds->Release();
    EXPECT_FALSE(pt::SoundDeviceOpen());
    pt::Reset();
}

// The real output path under SDL's dummy audio driver: opens, plays, closes.
TEST(DsoundDeviceTest, OpensSdlAudioOutput) {
    pt::Reset();
    IDirectSound* ds = nullptr;
    ASSERT_EQ(CreateDirectSound(&ds), DS_OK);
    if (ds->Initialize(nullptr) != DS_OK) {
        ds->Release();
        GTEST_SKIP() << "no SDL audio driver here";
    }
    WAVEFORMATEX f{1, 1, 44100, 88200, 2, 16, 0};
    DSBUFFERDESC d{sizeof(DSBUFFERDESC), 0x80E2, 8820, 0, &f, {}};
    IDirectSoundBuffer* b = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    EXPECT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    b->Release();
    int listed = 0;
    DirectSoundEnumerateA(
        [](GUID*, const char* description, const char*, void* context) -> BOOL {
            ++*static_cast<int*>(context);
            return description != nullptr;
        },
        &listed);
    EXPECT_GE(listed, 1);
    ds->Release();
}

}  // namespace
