// The archives the builder packs, and their exact sizes (the game's start-up tests them).
#pragma once

#include <cstdint>
#include <string>

namespace databuild {

struct ArchiveSpec {
    const char* folder;  // packed into "<folder>.dat" beside it
    uint64_t size;
};

inline constexpr ArchiveSpec kArchives[] = {
    {"velm2", 2236876},  // the sprite sheets
    {"velm3", 1891444},  // the sound effects
    {"velm4", 172548},   // the built-in stages
};

// Packs outDir/<folder> into outDir/<folder>.dat at exactly spec.size bytes. False, with a
// message naming the archive, when the content does not fit or cannot be written.
bool PackArchive(const std::string& outDir, const ArchiveSpec& spec);

}  // namespace databuild
