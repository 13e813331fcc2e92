// The engine's tracked allocator: every block carries a header that names its caller and
// links it into one list, so that blocks still allocated at shut-down can be listed and a
// damaged header found.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessra {

struct AllocHeader {
    char fileTag[16];   // last 15 characters of the caller's source name
    uint16_t id;        // allocation number, wraps after 65535
    uint16_t line;      // caller's line (-1 is kept as 65535)
    uint32_t size;      // bytes asked for
    AllocHeader* next;  // next older block; the oldest links to the sentinel
    AllocHeader* prev;  // next newer block; null for the newest
    // Copy of the fields above, links included, refreshed whenever they change.
    unsigned char mirror[16 + 2 + 2 + 4 + 2 * sizeof(void*)];
};

// The header keeps the block behind it aligned for any type.
inline constexpr size_t kAllocHeaderSize = sizeof(AllocHeader);
static_assert(kAllocHeaderSize % alignof(std::max_align_t) == 0);

// Largest size AllocTagged accepts: the header's size field is 32-bit.
inline constexpr size_t kAllocMaxSize = UINT32_MAX - kAllocHeaderSize;

// Kept apart from the engine's system state so that start-up's reset leaves it alone.
struct AllocStats {
    AllocHeader* head;     // newest block; null until the first allocation
    AllocHeader sentinel;  // the list's older end; its prev is the oldest block
    uint16_t idCounter;
    int64_t totalSize;  // wide enough that blocks adding up past 2 GB do not wrap
    int32_t count;
    // Debug switches, all off normally.
    int32_t logEvery;     // log every allocation and release
    int32_t printTotals;  // log the totals after each
    int32_t checkAll;     // check every header at each
    int32_t watchSize;    // negative: log all; else log those of exactly this size
};

AllocStats& GetAllocStats();

// Fault injection for tests: when set to n > 0, the n-th tracked allocation from now fails.
extern int32_t g_allocFailCountdown;

// A block of `size` bytes behind its header, or null (after dumping the list to the log)
// when memory is short or the size is above kAllocMaxSize. `fileName` may be null.
void* AllocTagged(size_t size, const char* fileName, int line);
void* AllocTaggedZeroed(size_t size, const char* fileName, int line);
// Null is ignored.
void FreeTagged(void* block);

// 0 when every header matches its mirror; else logs the first that does not and gives -1.
int CheckAllocations();
// Lists every block still allocated, then the totals; -1 (the log's result).
int DumpAllocations();
// One log line for a block: size, tag, line, id and its first bytes. -1.
int LogMemoryBlock(const AllocHeader* header);

}  // namespace tessra
