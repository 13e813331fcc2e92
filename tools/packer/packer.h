// The archive packer: packs a directory tree into one archive that the engine's archive
// reader opens (see engine/base/archive.h for the format).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace packer {

enum class Method {
    Auto,   // compress a file when that makes it smaller (version 2 and later)
    Store,  // store every file as it is
    Lz,     // compress every file (version 2 and later)
};

struct PackOptions {
    int version = 3;  // 0..3; versions 0 and 1 always store
    Method method = Method::Auto;
    bool useKey = true;      // false: scramble with no key text (the fill key)
    std::string keyText;     // empty with useKey: the game's key
    bool secondKey = false;  // scramble with the second key instead
    uint64_t exactSize = 0;  // pad to exactly this many bytes; 0: no padding
};

// The game's key text: its key number formatted with "%08d".
std::string GameKeyText();

// Compresses size bytes into a complete stream (head included) that DecodeArchiveLz reads.
std::vector<uint8_t> EncodeArchiveLz(const uint8_t* data, uint32_t size);

// Builds the archive bytes of the tree under sourceDir. On failure returns false and says why.
bool BuildArchive(const std::string& sourceDir, const PackOptions& options,
                  std::vector<uint8_t>* archive, std::string* error);
// BuildArchive, then writes the file (through a temporary name, so a failure leaves no
// half-written archive behind).
bool PackDirectory(const std::string& sourceDir, const std::string& archivePath,
                   const PackOptions& options, std::string* error);

}  // namespace packer
