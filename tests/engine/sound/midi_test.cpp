// MIDI on the stepped mixer: a small Standard MIDI File written by the test sounds, ends with
// the MCI notification, replays with the loop flag and closes without it; the current music is
// stopped and deleted at shut-down.
#include <gtest/gtest.h>

#include "engine/base/sjis.h"
#include "engine/sound/sound.h"
#include "engine/sound/sound_files.h"
#include "engine/sound/sound_internal.h"
#include "platform/midi/midi.h"
#include "platform/testing.h"
#include "platform/win/messages.h"

namespace {

using namespace tessra;
using namespace tessra::testsnd;
namespace pt = plat::testing;

// Format 0, 96 ticks a quarter at 120 beats a minute: a piano C then E, a quarter each (1 s).
Bytes TinyMidi() {
    Bytes track = {0x00, 0xC0, 0x00,                          // piano
                   0x00, 0x90, 60,   100, 0x60, 0x80, 60, 0,  // C4 for a quarter
                   0x00, 0x90, 64,   100, 0x60, 0x80, 64, 0,  // E4 for a quarter
                   0x00, 0xFF, 0x2F, 0x00};
    Bytes file = {'M', 'T', 'h', 'd', 0,   0,   0,   6, 0, 0, 0,
                  1,   0,   96,  'M', 'T', 'r', 'k', 0, 0, 0, static_cast<uint8_t>(track.size())};
    for (uint8_t b : track) file.push_back(b);
    return file;
}

int Peak(const std::vector<int16_t>& v) {
    int peak = 0;
    for (int16_t s : v) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

bool TakeNotify(plat::MSG* msg) {
    return plat::PeekMessageA(msg, nullptr, plat::MM_MCINOTIFY, plat::MM_MCINOTIFY,
                              plat::PM_REMOVE) != 0;
}

class MidiTest : public SoundFixture {};

TEST_F(MidiTest, PlaysEndsAndNotifies) {
    WriteFile(dir_ / "tune.mid", TinyMidi());
    SetMidiNotifyWindow(nullptr);  // the notification comes to this thread
    const int h = LoadMidiFile("tune.mid");
    ASSERT_NE(h, -1);
    EXPECT_EQ(h & 0x78000000, 0x58000000);
    ASSERT_EQ(PlayMidiHandle(h, 1), 0);
    EXPECT_EQ(GetMidiPlayState(h), 1);
    // It sounds, and ends a little after its second.
    EXPECT_GT(Peak(pt::StepMixer(22050)), 2000);
    plat::MSG msg{};
    EXPECT_FALSE(TakeNotify(&msg));
    pt::StepMixer(44100);
    ASSERT_TRUE(TakeNotify(&msg));
    EXPECT_EQ(msg.wParam, plat::MCI_NOTIFY_SUCCESSFUL);
    // With the loop flag the notification replays it...
    HandleMciMidiNotify();
    EXPECT_EQ(GetMidiPlayState(h), 1);
    EXPECT_GT(Peak(pt::StepMixer(22050)), 2000);
    pt::StepMixer(44100);
    ASSERT_TRUE(TakeNotify(&msg));
    // ...and without it the notification closes the device.
    ASSERT_EQ(PlayMidiHandle(h, 0), 0);
    pt::StepMixer(44100 + 22050);
    ASSERT_TRUE(TakeNotify(&msg));
    HandleMciMidiNotify();
    EXPECT_EQ(GetMidiPlayState(h), 0);
    ASSERT_EQ(PlayMidiHandle(h, 1), 0);
    ASSERT_EQ(StopMidi(h), 0);
    EXPECT_EQ(GetMidiPlayState(h), 0);
    EXPECT_LT(Peak(pt::StepMixer(44100 / 2)), 200);  // a reverb tail at most, fading
    EXPECT_FALSE(TakeNotify(&msg));                  // stopping posts nothing
    EXPECT_EQ(DeleteMidi(h), 0);
    EXPECT_EQ(GetMidiPlayState(h), -1);
}

TEST_F(MidiTest, SameOutputEveryRun) {
    WriteFile(dir_ / "tune.mid", TinyMidi());
    std::vector<int16_t> runs[2];
    for (auto& run : runs) {
        const int h = LoadMidiFile("tune.mid");
        ASSERT_EQ(PlayMidiHandle(h, 0), 0);
        run = pt::StepMixer(44100);
        StopMidi(h);
        DeleteMidi(h);
        pt::StepMixer(44100);  // let the tail die away
    }
    EXPECT_EQ(runs[0], runs[1]);
}

TEST_F(MidiTest, ShutDownStopsTheCurrentMusic) {
    WriteFile(dir_ / "tune.mid", TinyMidi());
    const int h = LoadMidiFile("tune.mid");
    ASSERT_EQ(PlayMidiHandle(h, 1), 0);
    EXPECT_EQ(StopCurrentMusic(), 0);
    EXPECT_EQ(GetMidiPlayState(h), -1);  // deleted
    EXPECT_EQ(StopCurrentMusic(), 0);    // nothing current now
    EXPECT_EQ(LoadMidiFile("missing.mid"), -1);
    WriteFile(dir_ / "not.mid", Bytes(40, 7));
    EXPECT_EQ(LoadMidiFile("not.mid"), -1);
}

TEST_F(MidiTest, TheMusicModeWithoutItsLoaderFallsBack) {
    TerminateSound();
    GetSoundSystem().musicMode = 1;
    EXPECT_EQ(InitializeSound(), 0);
    EXPECT_EQ(GetSoundSystem().musicMode, 0);
    EXPECT_NE(ReadLog().find(SjisText("前バージョンでの初期化処理に移ります\r\n")),
              std::string::npos);
}

}  // namespace
