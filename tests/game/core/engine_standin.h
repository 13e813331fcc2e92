// A recording stand-in for the engine's public functions, linked into the game-core tests in
// place of the engine: a settable clock, date, keys and pads, and sound handles whose calls are
// logged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

// Puts every fake back to its start: clock 1000 ms, date 2024-06-15 12:00:00, no keys or pads,
// no sounds, an empty call log.
void Reset();

void SetTimeMs(uint32_t ms);
void AdvanceTimeMs(uint32_t ms);
void SetDate(int year, int month, int day);

void SetPadInput(int device, int bits);  // device as the game passes it (0x1001, 2, 3, 4)
void SetKeyDown(int scanCode, bool down);
void SetProcessMessageResult(int result);
int ProcessMessageCalls();

// Sounds: LoadSoundFile gives handles 0x10000000 + k in load order, -1 for names marked missing.
void MarkSoundMissing(const std::string& name);
struct SoundState {
    std::string name;
    bool playing = false;
    int volume = -1;  // last SetSoundVolume, -1 before any
    int loopStartMs = 0;
    int lastPlayType = -1;
    int playCount = 0;
};
int SoundCount();
SoundState& Sound(int handle);                   // the state behind a handle LoadSoundFile gave
int SoundHandleByName(const std::string& name);  // -1 when never loaded

// Every sound call in order, as "Play 3 1" style lines naming the handle's file.
const std::vector<std::string>& CallLog();
void ClearCallLog();

}  // namespace standin
