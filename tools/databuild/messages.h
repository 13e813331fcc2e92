// The message file's limits and its making, for the builder and its tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace databuild {

inline constexpr int kMessageCount = 96;
inline constexpr size_t kMessageFileSize = 9993;  // the size the game's start-up expects
inline constexpr size_t kMessageMaxBytes = 1600;  // one message, unscrambled
inline constexpr size_t kMessageMaxLineBytes = 255;
inline constexpr const char* kMessageFileName = "velm1.dat";

// Checks one message's Shift-JIS bytes against what the game's reader can take: "@e" at the
// end and nowhere else, known tags, speaker digits 0..3, lines and message within their
// limits, no character whose second byte is '@'. False with the reason.
bool CheckMessage(const std::string& sjis, std::string* error);

// The file's bytes from the UTF-8 source ("NN text" lines). False with a message on stderr.
bool BuildMessageFile(const char* source, std::vector<uint8_t>* file);

}  // namespace databuild
