// Recording stand-ins for the sound services until that subsystem is built: each notes its call
// (engine/pending/pending_calls.h) and gives its usual success value or a test's chosen result.
#include "engine/pending/pending_calls.h"
#include "engine/sound/sound.h"

namespace tessra {

int InitializeSound() {
    return static_cast<int>(PendingCall("InitializeSound", 0));
}

int TerminateSound() {
    return static_cast<int>(PendingCall("TerminateSound", 0));
}

int StopCurrentMusic() {
    return static_cast<int>(PendingCall("StopCurrentMusic", 0));
}

int CreateSoundFromFile(const char*, int, int) {
    return static_cast<int>(PendingCall("CreateSoundFromFile", -1));
}

int PlaySoundOnNextBuffer(int, int, int) {
    return static_cast<int>(PendingCall("PlaySoundOnNextBuffer", -1));
}

int StopSoundBuffers(int) {
    return static_cast<int>(PendingCall("StopSoundBuffers", -1));
}

int QuerySoundPlaying(int) {
    return static_cast<int>(PendingCall("QuerySoundPlaying", -1));
}

int ApplySoundVolume(int, int) {
    return static_cast<int>(PendingCall("ApplySoundVolume", -1));
}

int SetLoopStartMs(int, int) {
    return static_cast<int>(PendingCall("SetLoopStartMs", -1));
}

int StoreSoundDataKeepMode(int mode) {
    return static_cast<int>(PendingCall("StoreSoundDataKeepMode", (mode < 0 || mode > 3) ? -1 : 0));
}

int RefillAllStreamSounds() {
    return static_cast<int>(PendingCall("RefillAllStreamSounds", 0));
}

int PollDirectMusicPlayStates() {
    return static_cast<int>(PendingCall("PollDirectMusicPlayStates", 0));
}

int HandleMciMidiNotify() {
    return static_cast<int>(PendingCall("HandleMciMidiNotify", 0));
}

}  // namespace tessra
