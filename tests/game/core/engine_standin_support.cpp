// The engine's public functions as the game-core tests see them: fakes that record, so the game
// code runs without a window, a sound device or the engine itself.
#include "game/core/engine_standin.h"

#include <map>
#include <set>

#include "engine/base/random.h"
#include "engine/tessra.h"

namespace standin {
namespace {

constexpr int kSoundBase = 0x10000000;

struct State {
    uint32_t timeMs = 1000;
    int date[6] = {2024, 6, 15, 12, 0, 0};
    std::map<int, int> pads;
    std::set<int> keys;
    int processMessageResult = 0;
    int processMessageCalls = 0;
    std::set<std::string> missingSounds;
    std::vector<SoundState> sounds;
    std::vector<std::string> log;
    int keepMode = 0;
};

State& S() {
    static State s;
    return s;
}

SoundState* Find(int handle) {
    const int k = handle - kSoundBase;
    if (k < 0 || k >= static_cast<int>(S().sounds.size())) return nullptr;
    return &S().sounds[k];
}

void Log(const std::string& what, int handle, int a = -1, int b = -1) {
    std::string line = what + " " + (Find(handle) ? Find(handle)->name : std::to_string(handle));
    if (a != -1) line += " " + std::to_string(a);
    if (b != -1) line += " " + std::to_string(b);
    S().log.push_back(line);
}

}  // namespace

void Reset() {
    S() = State{};
    ResetGraphics();
}
void SetTimeMs(uint32_t ms) {
    S().timeMs = ms;
}
void AdvanceTimeMs(uint32_t ms) {
    S().timeMs += ms;
}
void SetDate(int year, int month, int day) {
    S().date[0] = year;
    S().date[1] = month;
    S().date[2] = day;
}
void SetPadInput(int device, int bits) {
    S().pads[device] = bits;
}
void SetKeyDown(int scanCode, bool down) {
    if (down) {
        S().keys.insert(scanCode);
    } else {
        S().keys.erase(scanCode);
    }
}
void SetProcessMessageResult(int result) {
    S().processMessageResult = result;
}
int ProcessMessageCalls() {
    return S().processMessageCalls;
}
void MarkSoundMissing(const std::string& name) {
    S().missingSounds.insert(name);
}
int SoundCount() {
    return static_cast<int>(S().sounds.size());
}
SoundState& Sound(int handle) {
    return *Find(handle);
}
int SoundHandleByName(const std::string& name) {
    for (int k = 0; k < SoundCount(); ++k) {
        if (S().sounds[k].name == name) return kSoundBase + k;
    }
    return -1;
}
const std::vector<std::string>& CallLog() {
    return S().log;
}
void ClearCallLog() {
    S().log.clear();
}

}  // namespace standin

using standin::S;

// ---- The public functions the game core calls ----

int ProcessMessage() {
    ++S().processMessageCalls;
    return S().processMessageResult;
}
uint32_t GetTimeMs() {
    return S().timeMs;
}
int GetLocalDateTime(int* sixInts) {
    for (int i = 0; i < 6; ++i) sixInts[i] = S().date[i];
    return 0;
}
int IsKeyDown(int scanCode) {
    return S().keys.count(scanCode) ? 1 : 0;
}
int GetPadCount() {
    return 4;
}
int GetPadInput(int inputDevice) {
    auto it = S().pads.find(inputDevice);
    return it == S().pads.end() ? 0 : it->second;
}

int LoadSoundFile(const char* fileName, int, int) {
    if (S().missingSounds.count(fileName)) return -1;
    standin::SoundState sound;
    sound.name = fileName;
    S().sounds.push_back(sound);
    return standin::kSoundBase + static_cast<int>(S().sounds.size()) - 1;
}
int PlaySoundHandle(int sound, int playType, int fromStart) {
    standin::Log("Play", sound, playType, fromStart);
    standin::SoundState* s = standin::Find(sound);
    if (!s) return -1;
    s->playing = true;
    s->lastPlayType = playType;
    ++s->playCount;
    return 0;
}
int StopSoundHandle(int sound) {
    standin::Log("Stop", sound);
    standin::SoundState* s = standin::Find(sound);
    if (!s) return -1;
    s->playing = false;
    return 0;
}
int IsSoundPlaying(int sound) {
    standin::SoundState* s = standin::Find(sound);
    return s ? (s->playing ? 1 : 0) : -1;
}
int SetSoundVolume(int volume, int sound) {
    standin::SoundState* s = standin::Find(sound);
    if (!s) return -1;
    s->volume = volume;
    return 0;
}
int SetSoundLoopPosition(int loopStartMs, int sound) {
    standin::SoundState* s = standin::Find(sound);
    if (!s) return -1;
    s->loopStartMs = loopStartMs;
    return 0;
}
int SetSoundDataKeepMode(int mode) {
    S().keepMode = mode;
    S().log.push_back("KeepMode " + std::to_string(mode));
    return 0;
}

// The engine's own generator: the settings file and replays depend on its exact stream.
uint32_t GetEngineRandom(uint32_t max) {
    return tessra::GetMtRandom(max);
}
int SeedEngineRandom(uint32_t seed) {
    return tessra::SeedMtRandom(seed);
}

plat::HWND__* GetEngineWindow() {
    return nullptr;
}  // the boxes of start-up come before it
