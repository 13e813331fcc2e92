#include "game/core/config.h"

#include "engine/tessra.h"
#include "platform/win/file.h"

namespace velmora {

namespace {

ConfigStore g_store = [] {
    ConfigStore s{};
    for (int n = 0; n < kConfigWordCount; ++n) s.masked[n] = ConfigMask(n);
    return s;
}();

// Play clock.
uint32_t g_clockMark = 0;
uint32_t g_sessionStart = 0;
int g_padCountAtStart = 0;

bool IsWordNumber(int n) {
    return n >= 0 && n < kConfigWordCount;
}

uint32_t GetLe32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

int32_t GetStoreWord(const ConfigStore& s, int n) {
    return IsWordNumber(n) ? static_cast<int32_t>(s.masked[n] ^ ConfigMask(n)) : 0;
}

void SetStoreWord(ConfigStore& s, int n, int32_t v) {
    if (IsWordNumber(n)) s.masked[n] = static_cast<uint32_t>(v) ^ ConfigMask(n);
}

ConfigStore& GetConfigStore() {
    return g_store;
}

int32_t GetConfigVar(int n) {
    return GetStoreWord(g_store, n);
}

void SetConfigVar(int n, int32_t v) {
    SetStoreWord(g_store, n, v);
}

void AddConfigVar(int n, int32_t d) {
    if (!IsWordNumber(n)) return;
    SetStoreWord(g_store, n,
                 static_cast<int32_t>(static_cast<uint32_t>(GetStoreWord(g_store, n)) +
                                      static_cast<uint32_t>(d)));
}

void ResetKeyAssignment() {
    SetConfigVar(5, 16);
    SetConfigVar(6, 32);
    SetConfigVar(7, 64);
    SetConfigVar(8, 128);
    for (int n = 9; n <= 13; ++n) SetConfigVar(n, 0x40000000);
}

void ResetConfig() {
    for (int n = 0; n < kConfigWordCount; ++n) SetConfigVar(n, 0);
    SetConfigVar(kCfgInputDevice, 0x1001);
    SetConfigVar(kCfgResetMark, 2);
    ResetKeyAssignment();
    SetConfigVar(kCfgScreenMode, 0);
    SetConfigVar(kCfgWindowSize, 1);
    SetConfigVar(kCfgFrameSkip, 0);
    SetConfigVar(kCfgPacing, 1);
    SetConfigVar(kCfgColorDepth, 0);
    SetConfigVar(kCfgTileOption, 2);
    SetConfigVar(kCfgMusicSwitch, 95);
    SetConfigVar(kCfgMusicVolume, 95);
    SetConfigVar(kCfgSeVolume, 90);
    SetConfigVar(kCfgOption25, 2);
    SetConfigVar(kCfgRunIcons, 2);
    SetConfigVar(kCfgOption38, 1);
    SetConfigVar(kConfigValidWord, kConfigValidMarker);
}

void ValidateConfig() {
    struct Range {
        int word, low, high, fallback;
    };
    // Word 17 indexes the window-size table, 35 the four characters (39 is copied into it when
    // a run restarts), 41 the twelve areas, 21 bounds the fog sheets the tile drawing loops
    // over (four choices); the volumes 23 and 24 are scaled by 100 and stepped a frame at a
    // time, so a stray value from a file would overflow.
    static constexpr Range kRanges[] = {
        {kCfgWindowSize, 0, 7, 1},  {kCfgCharacter, 0, 3, 0},  {kCfgLastCharacter, 0, 3, 0},
        {kCfgArea, 0, 11, 0},       {kCfgTileOption, 0, 3, 2}, {kCfgMusicVolume, 0, 100, 95},
        {kCfgSeVolume, 0, 100, 90},
    };
    for (const Range& r : kRanges) {
        const int32_t v = GetConfigVar(r.word);
        if (v < r.low || v > r.high) SetConfigVar(r.word, r.fallback);
    }
}

void ScrambleConfig(const ConfigStore& store, uint8_t* image) {
    // A zero seed marks an image without a stream, so a clock reading 0 must not become one.
    uint32_t seed = GetTimeMs();
    if (seed == 0) seed = 1;
    SeedEngineRandom(seed);
    for (int n = 0; n < kConfigWordCount; ++n) {
        // The masked word is already the value XOR M(n).
        PutLe32(image + 4 * n, store.masked[n] ^ GetEngineRandom(0x0fffffff));
    }
    PutLe32(image + 4 * kConfigSeedWord, seed);
}

void UnscrambleConfig(const uint8_t* image, ConfigStore& store) {
    const uint32_t seed = GetLe32(image + 4 * kConfigSeedWord);
    if (seed != 0) SeedEngineRandom(seed);
    for (int n = 0; n < kConfigWordCount; ++n) {
        uint32_t w = GetLe32(image + 4 * n);
        if (seed != 0) w ^= GetEngineRandom(0x0fffffff);
        store.masked[n] = w;
    }
}

void ScrambleConfig(uint8_t* image) {
    ScrambleConfig(g_store, image);
}
void UnscrambleConfig(const uint8_t* image) {
    UnscrambleConfig(image, g_store);
}

void StartPlayClock() {
    g_padCountAtStart = GetPadCount();
    g_clockMark = GetTimeMs();
    g_sessionStart = 0;
}

void StartSessionClock() {
    g_sessionStart = GetTimeMs();
}

void UpdatePlayClock() {
    const uint32_t now = GetTimeMs();
    const uint32_t elapsed = now - g_clockMark;
    if (elapsed >= 1000) {
        const uint32_t seconds = elapsed / 1000;
        AddConfigVar(kCfgTotalSeconds, static_cast<int32_t>(seconds));
        g_clockMark += seconds * 1000;
    }
    if (g_sessionStart > 0) {
        AddConfigVar(kCfgSessionSeconds, static_cast<int32_t>((now - g_sessionStart) / 1000));
        g_sessionStart = 0;
    }
}

int WriteWholeFile(const char* name, const void* buffer, int n) {
    if (n < 0) return -1;
    plat::SetFileAttributesA(name, plat::FILE_ATTRIBUTE_NORMAL);
    plat::FileHandle f = plat::CreateFileA(name, plat::GENERIC_WRITE, 0, nullptr,
                                           plat::CREATE_ALWAYS, plat::FILE_ATTRIBUTE_NORMAL);
    if (f == plat::INVALID_HANDLE_VALUE) return -1;
    uint32_t written = 0;
    const int ok = plat::WriteFile(f, buffer, static_cast<uint32_t>(n), &written);
    plat::CloseHandle(f);
    // A short write is a failure, not a success the caller would trust.
    return ok && written == static_cast<uint32_t>(n) ? n : -1;
}

int ReadWholeFile(const char* name, void* buffer, int n) {
    if (n < 0) return -1;
    plat::FileHandle f = plat::CreateFileA(name, plat::GENERIC_READ, plat::FILE_SHARE_READ, nullptr,
                                           plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
    if (f == plat::INVALID_HANDLE_VALUE) return -1;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    int total = 0;
    while (total < n) {
        uint32_t got = 0;
        if (!plat::ReadFile(f, out + total, static_cast<uint32_t>(n - total), &got) || got == 0) {
            break;
        }
        total += static_cast<int>(got);
    }
    plat::CloseHandle(f);
    return total;
}

int64_t GetFileLength(const char* name) {
    plat::FileHandle f =
        plat::CreateFileA(name, plat::GENERIC_READ, plat::FILE_SHARE_READ | plat::FILE_SHARE_WRITE,
                          nullptr, plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
    if (f == plat::INVALID_HANDLE_VALUE) return -1;
    uint32_t high = 0;
    const uint32_t low = plat::GetFileSize(f, &high);
    plat::CloseHandle(f);
    if (low == plat::INVALID_FILE_SIZE && high == 0) return -1;
    return static_cast<int64_t>(uint64_t{high} << 32 | low);
}

}  // namespace velmora
