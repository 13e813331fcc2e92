// Allocation and logging of the file layer: the tracked allocator, tagged with the caller.
#pragma once

#include <cstddef>
#include <source_location>

#include "engine/base/log.h"
#include "engine/base/memory.h"

namespace tessra {

// Zero-filled; a size of 0 still gives a block, so null always means failure.
inline void* AllocFileMemory(size_t size,
                             std::source_location where = std::source_location::current()) {
    return AllocTaggedZeroed(size ? size : 1, where.file_name(), static_cast<int>(where.line()));
}
// Not cleared: for blocks that are written whole before anything reads them.
inline void* AllocFileMemoryUncleared(
    size_t size, std::source_location where = std::source_location::current()) {
    return AllocTagged(size ? size : 1, where.file_name(), static_cast<int>(where.line()));
}
inline void FreeFileMemory(void* block) {
    FreeTagged(block);
}
inline int LogFileMessage(const char* text) {
    return AppendLog(text);
}

}  // namespace tessra
