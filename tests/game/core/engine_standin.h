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

// Graphs and drawing. LoadGraphFile reads a PNG's size from its header (names are looked up
// under the graph root, a POSIX folder, with '\\' turned into '/'); handles count up from 1;
// CreateSubGraph refuses a rectangle outside its source (-1). Every drawing and draw-state call
// is logged as a line such as "PutGraph 10 20 sprite-graph" in DrawLog.
struct Graph {
    std::string name;  // the file, or "sub" / "blank"
    int width = 0, height = 0;
    int parent = 0;  // for a sub-graph: the graph it was cut from, and where
    int x = 0, y = 0;
};
void ResetGraphics();
void SetGraphRoot(const std::string& posixDir);
void MarkGraphMissing(const std::string& name);  // LoadGraphFile of that name fails
void SetScreenSize(int width, int height);
void SetSaveScreenResult(int result);
const Graph* FindGraph(int handle);
int GraphCount();
const std::vector<std::string>& DrawLog();
void ClearDrawLog();

}  // namespace standin
