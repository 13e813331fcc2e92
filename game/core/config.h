// The settings store: 1024 words of options, key assignment, progress and the current run's
// flags, kept in "velmora.sav" with a dated backup a day, plus the plain whole-file helpers.
#pragma once

#include <cstdint>

namespace velmora {

constexpr int kConfigWordCount = 1024;
constexpr int kConfigFileSize = 4096;
constexpr int kConfigSeedWord = 29;
constexpr int kConfigValidWord = 47;
constexpr int32_t kConfigValidMarker = 100;

inline constexpr char kConfigFileName[] = "velmora.sav";

// Settings words with a meaning here or a range the game relies on.
enum ConfigWord {
    kCfgInputDevice = 1,
    kCfgResetMark = 2,
    kCfgKeyShot = 5,  // 5..13: the raw button bit of each game button, or kKeyUnassigned
    kCfgKeyMenu = 8,
    kCfgInstallId = 15,
    kCfgScreenMode = 16,
    kCfgWindowSize = 17,
    kCfgFrameSkip = 18,
    kCfgPacing = 19,
    kCfgColorDepth = 20,
    kCfgTileOption = 21,
    kCfgMusicSwitch = 22,
    kCfgMusicVolume = 23,
    kCfgSeVolume = 24,
    kCfgOption25 = 25,
    kCfgRunIcons = 26,
    kCfgReplaySeedMix = 30,
    kCfgNewGameCount = 32,
    kCfgRunFlags = 33,
    kCfgDifficulty = 34,
    kCfgCharacter = 35,
    kCfgStartStage = 36,
    kCfgOption38 = 38,
    kCfgLastCharacter = 39,
    kCfgLastStage = 40,
    kCfgArea = 41,
    kCfgUnlocks = 44,
    kCfgSessionSeconds = 45,
    kCfgTotalSeconds = 46,
    kCfgCollection = 55,  // one bit per collection icon 32..63
};

// The store, one word per setting, kept masked so a memory editor finds no plain values.
struct ConfigStore {
    uint32_t masked[kConfigWordCount];
};

// The file's per-word mask: the C library's LCG step of the word number.
constexpr uint32_t ConfigMask(int n) {
    return (static_cast<uint32_t>(n) * 1103515245u + 13245u) & 0x7fffffffu;
}

// A word of any store (the live one or a scratch copy); out-of-range n reads 0, writes nothing.
int32_t GetStoreWord(const ConfigStore& s, int n);
void SetStoreWord(ConfigStore& s, int n, int32_t v);
ConfigStore& GetConfigStore();  // the live store

// The live store's words; out-of-range n reads 0 and writes nothing.
int32_t GetConfigVar(int n);
void SetConfigVar(int n, int32_t v);
void AddConfigVar(int n, int32_t d);

void ResetConfig();
void ResetKeyAssignment();

// Words that index tables elsewhere, and the two volumes, put back to their defaults when a file
// holds a value out of range.
void ValidateConfig();

// The file transform between a store and its 4096-byte image. Scrambling takes a fresh seed from
// the clock and leaves the engine generator reseeded; a zero seed marks an image without stream.
void ScrambleConfig(const ConfigStore& store, uint8_t* image);
void UnscrambleConfig(const uint8_t* image, ConfigStore& store);
void ScrambleConfig(uint8_t* image);          // the live store
void UnscrambleConfig(const uint8_t* image);  // into the live store

int LoadConfig();  // 4096, or -1 when the user declines to create the file
int SaveConfig();  // bytes written, or -1
void BackupConfigDaily();
void FirstRunQuestions();
bool RollBackConfig();  // true when a backup was taken

// The backup name for a date: "userdata\config_backup%06d.sav" of yymmdd.
void FormatBackupName(char* out, int size, int year, int month, int day);

// Play clock: counts playing time into words 45 and 46.
void StartPlayClock();
void StartSessionClock();
void UpdatePlayClock();

// Whole files by their Windows-form names. Write returns n, or -1 when the file cannot be made or
// takes fewer bytes; read returns the bytes it read (fewer than n for a short file, so the caller
// can tell) or -1; the length is -1 for a file that does not open.
int WriteWholeFile(const char* name, const void* buffer, int n);
int ReadWholeFile(const char* name, void* buffer, int n);
// Writes a file whole through a temporary file renamed over the old one, so a failed write
// keeps the old file: n, or -1.
int WriteFileReplacing(const char* name, const void* buffer, int n);
int64_t GetFileLength(const char* name);

}  // namespace velmora
