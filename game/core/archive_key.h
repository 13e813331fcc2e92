// The number the game's archive key text is made from ("%08d"). The data builder packs the
// archives with the same key.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr int32_t kArchiveKeyNumber = 41720593;

}  // namespace velmora
