// The game's input: one button word a frame from the keyboard and pads through the key
// assignment, and the replay buffer that records those words with the run's seed.
#pragma once

#include <cstdint>

namespace velmora {

// Bits of a ButtonWord.
enum : uint32_t {
    kButtonDown = 0x1,
    kButtonLeft = 0x2,
    kButtonRight = 0x4,
    kButtonUp = 0x8,
    kButtonShot = 0x10,
    kButtonSubAction = 0x20,
    kButtonDirection = 0x40,
    kButtonMenu = 0x80,
    kButtonSnapshot = 0x100,
    kButtonExtra10 = 0x200,   // assignment word 10
    kButtonExtra12 = 0x400,   // assignment word 12
    kButtonExtra13 = 0x800,   // assignment word 13
    kButtonExtra11 = 0x1000,  // assignment word 11
};

// Settings words 5..13 hold the raw pad bit of each assignable button; this marks one unused.
constexpr int32_t kKeyUnassigned = 0x40000000;
constexpr int kFirstAssignmentWord = 5;
constexpr int kAssignmentWordCount = 9;

using ButtonWord = uint32_t;

// The button that assignment word k (5..13) produces; 0 for any other k.
ButtonWord AssignedButton(int word);

uint32_t ReadPads();  // raw word of keyboard + pad 1 and pads 2..4, before assignment
ButtonWord MapButtons(uint32_t raw);
ButtonWord ReadButtons();
void PollButtons();  // once a frame: previous = current, current = ReadButtons
bool IsButtonHeld(uint32_t mask);
bool IsButtonPressed(uint32_t mask);  // clear in the previous frame, set in this one
ButtonWord GetCurrentButtons();
void ClearButtonState();

// ---- Replay buffer ----

constexpr int kReplayWordCount = 216001;
constexpr int kReplayCursorLimit = 216000;
constexpr int kReplayHeaderWords = 32;
constexpr uint32_t kReplayMagic = 0xda070909u;
constexpr uint32_t kReplayTag = 0x5045525fu;  // "_REP"
constexpr uint32_t kReplayVersion = 100;
constexpr uint32_t kReplayAreaMark = 0x41455241u;  // "AREA"
constexpr uint32_t kReplayEndMark = 0x50455245u;   // "EREP"
constexpr int kReplayMaxAreas = 6;

enum ReplayMode { kReplayRecord = 0, kReplayPlayBack = 1 };

void StartReplay(int mode);
int SyncReplayArea(int mode, int stage);  // stage, or -1 when playback finds no area record
void RecordOrReplayInput(int mode);
ButtonWord GetReplayInput();
// The word at the cursor read as a mixed word: its top byte b keys its low 24 bits. Recording
// stores words plain, so nothing reads the buffer this way.
ButtonWord GetMixedReplayInput();

// A value packed as 10, 10 and 4 bits from the lowest up.
struct PackedValue {
    uint32_t first, second, third;
};
PackedValue SplitPackedValue(uint32_t v);

void AppendReplayWord(uint32_t word);
uint32_t ReadReplayWord();
void AdvanceReplayCursor();
bool IsReplayFull();
uint32_t GetReplayWord(int index);  // 0 outside the buffer
int GetReplayCursor();
void SetReplayWord(int index, uint32_t word);  // ignored outside the buffer
void IncrementReplayWord(int index);           // ignored outside the buffer
void ReseedFromReplay();

void RecordAreaScore(int mode, int entry);
void EndReplay();
void SealReplayHeader();
uint32_t ComputeReplayChecksum();

// Replay files: "userdata\velmrep%04d.rpy" and the demo replays "dat\velmdemo%1d.rpy".
bool SaveReplay(int n);
bool DeleteReplay(int n);
int64_t GetReplaySize(int n);
bool LoadReplay(int n);
bool LoadDemoReplay(int n);

}  // namespace velmora
