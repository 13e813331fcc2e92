// The settings file as the game loads it. A usable file is taken with every ranged word pulled
// back into its range, and saving and loading it again gives the same settings.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

#include "fuzz_support.h"
#include "game/core/config.h"

using namespace velmora;

namespace {

void WriteSettings(const uint8_t* data, size_t size) {
    std::ofstream out(kConfigFileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitOnce();
    if (size > size_t(kConfigFileSize) * 2) return 0;
    // Whether the game would take the file, without its question box for an unusable one.
    std::vector<uint8_t> image(kConfigFileSize, 0);
    std::memcpy(image.data(), data, std::min(size, image.size()));
    ConfigStore probe{};
    UnscrambleConfig(image.data(), probe);
    // Words the file does not reach read as zero, as the game reads them.
    for (int n = int(std::min(size, image.size())) / 4; n < kConfigWordCount; ++n)
        SetStoreWord(probe, n, 0);
    ConfigStore saved = GetConfigStore();
    GetConfigStore() = probe;
    const bool usable = GetConfigVar(kConfigValidWord) >= kConfigValidMarker;
    GetConfigStore() = saved;
    if (!usable) return 0;

    WriteSettings(data, size);
    fuzz::Require(LoadConfig() == kConfigFileSize, "a usable settings file was refused");
    fuzz::Require(GetConfigVar(kCfgWindowSize) >= 0 && GetConfigVar(kCfgWindowSize) <= 7 &&
                      GetConfigVar(kCfgCharacter) >= 0 && GetConfigVar(kCfgCharacter) <= 3 &&
                      GetConfigVar(kCfgArea) >= 0 && GetConfigVar(kCfgArea) <= 11 &&
                      GetConfigVar(kCfgMusicVolume) >= 0 && GetConfigVar(kCfgMusicVolume) <= 100 &&
                      GetConfigVar(kCfgSeVolume) >= 0 && GetConfigVar(kCfgSeVolume) <= 100,
                  "a ranged setting left its range");
    const ConfigStore loaded = GetConfigStore();
    fuzz::Require(SaveConfig() > 0, "settings not saved");
    fuzz::Require(LoadConfig() == kConfigFileSize, "saved settings not loaded again");
    // Every word but the one that holds the file's own scrambling seed.
    for (int n = 0; n < kConfigWordCount; ++n)
        fuzz::Require(n == kConfigSeedWord || GetStoreWord(loaded, n) == GetConfigVar(n),
                      "settings changed through a save and a load");
    return 0;
}
