#include "game/core/input.h"

#include <bit>
#include <cstdio>
#include <cstring>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/game_vars.h"
#include "platform/win/file.h"

namespace velmora {

namespace {

// Assignment words 5..13 in order give these buttons.
constexpr ButtonWord kAssignedButtons[kAssignmentWordCount] = {
    kButtonShot,    kButtonSubAction, kButtonDirection, kButtonMenu,    kButtonSnapshot,
    kButtonExtra10, kButtonExtra11,   kButtonExtra12,   kButtonExtra13,
};

constexpr uint32_t kDirectionBits = kButtonDown | kButtonLeft | kButtonRight | kButtonUp;

// Keyboard merged into pad 1, then pads 2..4.
constexpr int kPadDevices[] = {0x1001, 2, 3, 4};

ButtonWord g_current = 0;
ButtonWord g_previous = 0;

// Replay files are the buffer's words as they lie in memory, little-endian.
static_assert(std::endian::native == std::endian::little);

// The replay buffer: header words 0..31, then the recorded stream.
uint32_t g_replay[kReplayWordCount];
int g_replayCursor = kReplayHeaderWords;
bool g_replayFull = false;

enum ReplayHeaderWord {
    kHdrMagic = 0,
    kHdrTag = 1,
    kHdrVersion = 2,
    kHdrDate = 3,
    kHdrSeed = 4,
    kHdrRunFlags = 5,
    kHdrDifficulty = 6,
    kHdrCharacter = 7,
    kHdrFinalScore = 16,
    kHdrAreaScores = 17,
    kHdrAreas = 29,
    kHdrLength = 30,
    kHdrChecksum = 31,
};

constexpr int kEscapeScanCode = 0x01;

int PlayerScore() {
    return GetGameVar(kGameVarScore0);
}

void ReplayFileName(char* out, size_t size, int n) {
    std::snprintf(out, size, "userdata\\velmrep%04d.rpy", n);
}

uint32_t ComputeChecksumOfBuffer();

// Whether the buffer holds a whole replay file of `length` bytes: its own magic, tag and version,
// the length it states, and the checksum it was sealed with.
bool ReplayHeaderHolds(int64_t length) {
    return g_replay[kHdrMagic] == kReplayMagic && g_replay[kHdrTag] == kReplayTag &&
           g_replay[kHdrVersion] == kReplayVersion &&
           static_cast<int64_t>(g_replay[kHdrLength]) == length &&
           g_replay[kHdrChecksum] == ComputeChecksumOfBuffer();
}

// Reads a replay file into the cleared buffer; refuses anything that is not one of ours, would
// not fit, or whose header does not hold. A refused file leaves the buffer cleared, so nothing
// of it (and nothing of a fresh recording's header) can be played back.
bool LoadReplayFile(const char* name) {
    StartReplay(kReplayRecord);
    std::memset(g_replay, 0, sizeof g_replay);
    const int64_t length = GetFileLength(name);
    const bool ok = length >= int64_t{kReplayHeaderWords} * 4 && length % 4 == 0 &&
                    length <= static_cast<int64_t>(sizeof g_replay) &&
                    ReadWholeFile(name, g_replay, static_cast<int>(length)) == length &&
                    ReplayHeaderHolds(length);
    if (!ok) std::memset(g_replay, 0, sizeof g_replay);
    return ok;
}

}  // namespace

ButtonWord AssignedButton(int word) {
    const int k = word - kFirstAssignmentWord;
    return k >= 0 && k < kAssignmentWordCount ? kAssignedButtons[k] : 0;
}

uint32_t ReadPads() {
    uint32_t raw = 0;
    for (int device : kPadDevices) raw |= static_cast<uint32_t>(GetPadInput(device));
    return raw;
}

ButtonWord MapButtons(uint32_t raw) {
    ButtonWord word = raw & kDirectionBits;
    for (int k = 0; k < kAssignmentWordCount; ++k) {
        const uint32_t assigned = static_cast<uint32_t>(GetConfigVar(kFirstAssignmentWord + k));
        if (assigned & raw) word |= kAssignedButtons[k];
    }
    return word;
}

ButtonWord ReadButtons() {
    return MapButtons(ReadPads());
}

void PollButtons() {
    g_previous = g_current;
    g_current = ReadButtons();
}

bool IsButtonHeld(uint32_t mask) {
    return (g_current & mask) != 0;
}

bool IsButtonPressed(uint32_t mask) {
    return (g_previous & mask) == 0 && (g_current & mask) != 0;
}

ButtonWord GetCurrentButtons() {
    return g_current;
}

void ClearButtonState() {
    g_current = 0;
    g_previous = 0;
}

// ---- Replay buffer ----

void AdvanceReplayCursor() {
    // On wrapping, the stream runs on over its own start, never over the header and its seed.
    if (++g_replayCursor >= kReplayCursorLimit) {
        g_replayCursor = kReplayHeaderWords;
        g_replayFull = true;
    }
}

void AppendReplayWord(uint32_t word) {
    AdvanceReplayCursor();
    g_replay[g_replayCursor] = word;
}

uint32_t ReadReplayWord() {
    AdvanceReplayCursor();
    return g_replay[g_replayCursor];
}

bool IsReplayFull() {
    return g_replayFull;
}

uint32_t GetReplayWord(int index) {
    return index >= 0 && index < kReplayWordCount ? g_replay[index] : 0;
}

int GetReplayCursor() {
    return g_replayCursor;
}

void SetReplayWord(int index, uint32_t word) {
    if (index >= 0 && index < kReplayWordCount) g_replay[index] = word;
}

void IncrementReplayWord(int index) {
    if (index >= 0 && index < kReplayWordCount) ++g_replay[index];
}

void ReseedFromReplay() {
    SeedEngineRandom(g_replay[kHdrSeed]);
}

void StartReplay(int mode) {
    if (mode == kReplayRecord) {
        g_replayFull = false;
        std::memset(g_replay, 0, sizeof g_replay);
        int date[6] = {};
        GetLocalDateTime(date);
        g_replay[kHdrMagic] = kReplayMagic;
        g_replay[kHdrTag] = kReplayTag;
        g_replay[kHdrVersion] = kReplayVersion;
        g_replay[kHdrDate] =
            static_cast<uint32_t>((date[0] % 100) * 10000 + date[1] * 100 + date[2]);
        g_replay[kHdrRunFlags] = static_cast<uint32_t>(GetConfigVar(kCfgRunFlags));
        g_replay[kHdrDifficulty] = static_cast<uint32_t>(GetConfigVar(kCfgDifficulty));
        g_replay[kHdrCharacter] = static_cast<uint32_t>(GetConfigVar(kCfgCharacter));
        SeedEngineRandom(GetTimeMs() | static_cast<uint32_t>(GetConfigVar(kCfgReplaySeedMix)));
        for (int i = 0; i < 100; ++i) GetEngineRandom(0x3fffffff);
        g_replay[kHdrSeed] = GetEngineRandom(0x3fffffff);
    } else {
        // Only the three difficulties go into the settings; anything else plays as the middle
        // one, as a run does for a stray settings value.
        const uint32_t difficulty = g_replay[kHdrDifficulty];
        SetConfigVar(kCfgDifficulty, difficulty <= 2 ? static_cast<int32_t>(difficulty) : 1);
    }
    g_replayCursor = kReplayHeaderWords;
    SeedEngineRandom(g_replay[kHdrSeed]);
    SeedSecondRandom(g_replay[kHdrSeed]);
}

int SyncReplayArea(int mode, int stage) {
    const uint32_t seed = g_replay[kHdrSeed];
    if (mode == kReplayRecord) {
        SeedEngineRandom(seed);
        AppendReplayWord(kReplayAreaMark);
        AppendReplayWord(GetEngineRandom(0x3fffffff) ^ static_cast<uint32_t>(stage));
        for (int i = 0; i < 4; ++i) AppendReplayWord(0);
        // Every stage of a run starts from the same generator state.
        SeedEngineRandom(seed);
        return stage;
    }
    SeedEngineRandom(seed);
    const uint32_t key = GetEngineRandom(0x3fffffff) ^ static_cast<uint32_t>(stage);
    for (int i = kReplayHeaderWords; i + 1 < kReplayCursorLimit; ++i) {
        if ((i - kReplayHeaderWords) % 256 == 255) {
            if (ProcessMessage() == -1 || IsKeyDown(kEscapeScanCode)) return -1;
        }
        if (g_replay[i] == kReplayEndMark) return -1;
        if (g_replay[i] == kReplayAreaMark && g_replay[i + 1] == key) {
            // Stand on the last of the record's zeros: the next advance reads the stage's
            // first frame.
            g_replayCursor = i + 5;
            if (g_replayCursor >= kReplayCursorLimit) return -1;
            SeedEngineRandom(seed);
            return stage;
        }
    }
    return -1;
}

void RecordOrReplayInput(int mode) {
    AdvanceReplayCursor();
    if (mode == kReplayRecord) g_replay[g_replayCursor] = ReadButtons();
}

ButtonWord GetReplayInput() {
    return g_replay[g_replayCursor];
}

ButtonWord GetMixedReplayInput() {
    const uint32_t word = g_replay[g_replayCursor];
    const uint32_t b = word >> 24;
    const uint32_t mix = ((19 * b) & 255) << 16 | ((29 * b) & 255) << 8 | ((59 * b) & 255);
    return (word & 0xffffff) ^ mix;
}

PackedValue SplitPackedValue(uint32_t v) {
    return PackedValue{v & 0x3ff, (v >> 10) & 0x3ff, (v >> 20) & 15};
}

void RecordAreaScore(int mode, int entry) {
    if (mode != kReplayRecord) return;
    const uint32_t areas = g_replay[kHdrAreas];
    const int k = static_cast<int>((areas >> 24) & 15);
    // Six entries fill the record; later areas would spill into the count bits.
    if (k >= kReplayMaxAreas) return;
    g_replay[kHdrAreaScores + k] = static_cast<uint32_t>(PlayerScore()) * 10u;
    g_replay[kHdrAreas] = (static_cast<uint32_t>(k + 1) << 24) | (areas & 0xffffff) |
                          ((static_cast<uint32_t>(entry) & 15u) << (4 * k));
}

void EndReplay() {
    g_replay[kHdrFinalScore] = static_cast<uint32_t>(PlayerScore());
    AppendReplayWord(kReplayEndMark);
    // The bytes a save writes: every word up to and including the end mark.
    g_replay[kHdrLength] = static_cast<uint32_t>(g_replayCursor + 1) * 4u;
}

uint32_t ComputeReplayChecksum() {
    return ComputeChecksumOfBuffer();
}

namespace {

uint32_t ComputeChecksumOfBuffer() {
    uint32_t sum = 0;
    for (int i = 0; i < kHdrChecksum; ++i) sum += g_replay[i];
    SeedLcg(g_replay[kHdrSeed]);
    uint32_t key = 0;
    for (int i = 0; i < 33; ++i) key = static_cast<uint32_t>(NextLcg());
    return sum ^ key;
}

}  // namespace

void SealReplayHeader() {
    g_replay[kHdrChecksum] = ComputeReplayChecksum();
}

bool SaveReplay(int n) {
    if (g_replayFull) return false;
    char name[64];
    ReplayFileName(name, sizeof name, n);
    // Up to and including the word at the cursor, so the end mark is kept.
    const int bytes = (g_replayCursor + 1) * 4;
    return WriteWholeFile(name, g_replay, bytes) == bytes;
}

bool DeleteReplay(int n) {
    char name[64];
    ReplayFileName(name, sizeof name, n);
    return plat::DeleteFileA(name) != 0;
}

int64_t GetReplaySize(int n) {
    char name[64];
    ReplayFileName(name, sizeof name, n);
    return GetFileLength(name);
}

bool LoadReplay(int n) {
    char name[64];
    ReplayFileName(name, sizeof name, n);
    return LoadReplayFile(name);
}

bool LoadDemoReplay(int n) {
    char name[64];
    std::snprintf(name, sizeof name, "dat\\velmdemo%1d.rpy", n);
    return LoadReplayFile(name);
}

}  // namespace velmora
