// MIDI handles and the current music: the MIDI table, the player that plays a MIDI handle through
// an MCI sequencer from a temporary file, the end-of-play notification, and the music that
// shut-down stops.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/message_pump_hook.h"
#include "engine/sound/sound.h"
#include "engine/sound/sound_internal.h"
#include "platform/midi/midi.h"

namespace tessra {
namespace {

struct MciState {
    int32_t playing;
    plat::MCIDEVICEID device;
    int32_t loop;
    int32_t tempFile;
    char tempPath[260];
};

struct MusicState {
    HandleTable<MidiRecord, kMaxMidi> table;
    MciState mci;
    int32_t currentMusic;  // 0: none
    int32_t currentKind;   // 1: a sound handle; otherwise a MIDI handle
    plat::HWND notifyWindow;
};

MusicState g_music{};

void RemoveTempFile() {
    if (g_music.mci.tempFile) {
        std::remove(g_music.mci.tempPath);
        g_music.mci.tempFile = 0;
    }
}

}  // namespace

void SetMidiNotifyWindow(plat::HWND window) {
    g_music.notifyWindow = window;
}

MidiRecord* FindMidi(int32_t handle) {
    if (GetSoundSystem().device == nullptr) return nullptr;
    return g_music.table.Find(handle, kMidiHandleKind);
}

int LoadMidiFile(const char* fileName) {
    if (GetSoundSystem().device == nullptr) return -1;
    auto& table = g_music.table;
    if (table.liveCount >= kMaxMidi) return -1;
    int32_t slot = table.topSlot;
    if (slot >= kMaxMidi) {
        slot = 0;
        while (slot < kMaxMidi && table.records[slot] != nullptr) ++slot;
        if (slot == kMaxMidi) return -1;
    }
    void* data = nullptr;
    uint32_t size = 0;
    if (LoadWholeFile(fileName, &data, &size) == -1) return -1;
    // A Standard MIDI File starts with its header chunk.
    if (size < 14 || std::memcmp(data, "MThd", 4) != 0) {
        FreeTagged(data);
        return -1;
    }
    auto* record = static_cast<MidiRecord*>(AllocTaggedZeroed(sizeof(MidiRecord), "", 0));
    if (record == nullptr) {
        FreeTagged(data);
        return -1;
    }
    record->check = table.checkCounter;
    table.checkCounter = NextHandleCheck(table.checkCounter);
    record->data = data;
    record->size = size;
    table.records[slot] = record;
    ++table.liveCount;
    if (slot + 1 > table.topSlot) table.topSlot = slot + 1;
    return MakeEngineHandle(kMidiHandleKind, record->check, slot);
}

int PlayMidiHandle(int32_t handle, int loop) {
    MidiRecord* record = FindMidi(handle);
    if (record == nullptr) return -1;
    if (g_music.mci.playing || g_music.mci.device != 0) {
        g_music.mci.loop = 0;
        plat::mciSendCommandA(g_music.mci.device, plat::MCI_CLOSE, 0, 0);
        g_music.mci.device = 0;
        g_music.mci.playing = 0;
    }
    RemoveTempFile();
    const char* dir = std::getenv("TMPDIR");
    std::snprintf(g_music.mci.tempPath, sizeof g_music.mci.tempPath, "%s/tessra_midi_%d.mid",
                  dir != nullptr && *dir ? dir : "/tmp", static_cast<int>(getpid()));
    std::FILE* file = std::fopen(g_music.mci.tempPath, "wb");
    if (file == nullptr) return -1;
    const bool written = std::fwrite(record->data, 1, record->size, file) == record->size;
    std::fclose(file);
    g_music.mci.tempFile = 1;
    plat::MCI_OPEN_PARMSA open{};
    open.lpstrDeviceType = "sequencer";
    open.lpstrElementName = g_music.mci.tempPath;
    if (!written ||
        plat::mciSendCommandA(0, plat::MCI_OPEN, plat::MCI_OPEN_TYPE | plat::MCI_OPEN_ELEMENT,
                              reinterpret_cast<uintptr_t>(&open)) != 0) {
        RemoveTempFile();
        return -1;
    }
    g_music.mci.device = open.wDeviceID;
    plat::MCI_PLAY_PARMS play{};
    play.dwCallback = reinterpret_cast<uintptr_t>(g_music.notifyWindow);
    play.dwFrom = 0;
    if (plat::mciSendCommandA(g_music.mci.device, plat::MCI_PLAY, plat::MCI_NOTIFY | plat::MCI_FROM,
                              reinterpret_cast<uintptr_t>(&play)) != 0) {
        plat::mciSendCommandA(g_music.mci.device, plat::MCI_CLOSE, 0, 0);
        g_music.mci.device = 0;
        RemoveTempFile();
        return -1;
    }
    g_music.mci.playing = 1;
    g_music.mci.loop = loop ? 1 : 0;
    record->playing = 1;
    g_music.currentMusic = handle;
    g_music.currentKind = 2;
    return 0;
}

int GetMidiPlayState(int32_t handle) {
    const MidiRecord* record = FindMidi(handle);
    if (record == nullptr) return -1;
    switch (GetSoundSystem().musicMode) {
        case 0:
            return g_music.mci.playing;
        case 1:
            return record->playing;
        default:
            return 0;
    }
}

int HandleMciMidiNotify() {
    if (g_music.mci.loop == 1) {
        plat::MCI_PLAY_PARMS play{};
        play.dwCallback = reinterpret_cast<uintptr_t>(g_music.notifyWindow);
        play.dwFrom = 0;
        plat::mciSendCommandA(g_music.mci.device, plat::MCI_PLAY, plat::MCI_NOTIFY | plat::MCI_FROM,
                              reinterpret_cast<uintptr_t>(&play));
        g_music.mci.playing = 1;
    } else if (g_music.mci.playing == 1) {
        plat::mciSendCommandA(g_music.mci.device, plat::MCI_CLOSE, 0, 0);
        g_music.mci.device = 0;
        g_music.mci.playing = 0;
    }
    return 0;
}

int StopMidi(int32_t handle) {
    MidiRecord* record = FindMidi(handle);
    if (record == nullptr) return -1;
    g_music.mci.loop = 0;
    if (GetSoundSystem().musicMode == 0) {
        HandleMciMidiNotify();
        for (int i = 0; i < 5; ++i) RunMessagePumpPass();
    }
    RemoveTempFile();
    record->playing = 0;
    record->started = 0;
    return 0;
}

int DeleteMidi(int32_t handle) {
    MidiRecord* record = FindMidi(handle);
    if (record == nullptr) return -1;
    if (GetMidiPlayState(handle) == 1) StopMidi(handle);
    if (record->data != nullptr) {
        std::memset(record->data, 0, record->size);
        FreeTagged(record->data);
    }
    FreeTagged(record);
    g_music.table.Vacate(HandleSlot(handle));
    if (g_music.currentMusic == handle && g_music.currentKind != 1) g_music.currentMusic = 0;
    return 0;
}

int DeleteAllMidi() {
    if (GetSoundSystem().device == nullptr) return -1;
    for (int32_t slot = 0; slot < kMaxMidi; ++slot) {
        const MidiRecord* record = g_music.table.records[slot];
        if (record != nullptr) DeleteMidi(MakeEngineHandle(kMidiHandleKind, record->check, slot));
    }
    return 0;
}

int DeleteMciTempFile() {
    RemoveTempFile();
    return 0;
}

int PollDirectMusicPlayStates() {
    if (GetSoundSystem().device == nullptr) return -1;
    // Only DirectMusic segments report a play state here; in the MCI mode the end of play comes
    // as a notification instead.
    return 0;
}

int StopCurrentMusic() {
    if (g_music.currentMusic == 0) return 0;
    const int32_t handle = g_music.currentMusic;
    if (g_music.currentKind == 1) {
        StopSoundBuffers(handle);
        DeleteSound(handle);
    } else {
        StopMidi(handle);
        DeleteMidi(handle);
    }
    g_music.currentMusic = 0;
    return 0;
}

int FinishSoundCaptureFile() {
    return -1;  // nothing here opens a capture file
}

}  // namespace tessra
