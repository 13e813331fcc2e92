// Allocation and logging of the file layer: the tracked allocator, tagged with the caller.
#pragma once

#include <cstddef>

#include "engine/base/log.h"
#include "engine/base/memory.h"

namespace tessra {

// The caller's file and line tag each block. The builtins (g++ and clang alike) stand in for
// std::source_location, which clang 14 lacks over libstdc++ 12.
// Zero-filled; a size of 0 still gives a block, so null always means failure.
inline void* AllocFileMemory(size_t size, const char* file = __builtin_FILE(),
                             int line = __builtin_LINE()) {
    return AllocTaggedZeroed(size ? size : 1, file, line);
}
// Not cleared: for blocks that are written whole before anything reads them.
inline void* AllocFileMemoryUncleared(size_t size, const char* file = __builtin_FILE(),
                                      int line = __builtin_LINE()) {
    return AllocTagged(size ? size : 1, file, line);
}
inline void FreeFileMemory(void* block) {
    FreeTagged(block);
}
inline int LogFileMessage(const char* text) {
    return AppendLog(text);
}

}  // namespace tessra
