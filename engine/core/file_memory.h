// Allocation and logging of the file layer, kept behind two small functions.
#pragma once

#include <cstddef>
#include <cstdlib>

namespace tessra {

inline void* AllocFileMemory(size_t size) { return std::calloc(1, size ? size : 1); }
inline void FreeFileMemory(void* block) { std::free(block); }
inline int LogFileMessage(const char* /*text*/) { return -1; }

}  // namespace tessra
