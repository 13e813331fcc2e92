// What the engine core asks of sound: start and stop, the bodies of the public sound calls and
// the steps the message pump and the window procedure run.
#pragma once

#include "platform/win/types.h"

namespace tessra {

int InitializeSound();   // result not tested by start-up
int TerminateSound();    // -1 when sound never started
int StopCurrentMusic();  // 0
int CreateSoundFromFile(const char* fileName, int bufferCount, int streamValue);
int PlaySoundOnNextBuffer(int sound, int playType, int fromStart);
int StopSoundBuffers(int sound);
int QuerySoundPlaying(int sound);  // 1 playing, 0 not, -1 bad handle
int ApplySoundVolume(int volume, int sound);
int SetLoopStartMs(int loopStartMs, int sound);
int StoreSoundDataKeepMode(int mode);  // -1 outside 0..3 or without a device
int RefillAllStreamSounds();           // -1 when sound is not started
int PollDirectMusicPlayStates();       // -1 when sound is not started
int HandleMciMidiNotify();
// The window told when MIDI ends (the engine's main window); set before InitializeSound.
void SetMidiNotifyWindow(plat::HWND window);  // 0

}  // namespace tessra
