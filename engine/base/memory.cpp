#include "engine/base/memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/base/log.h"
#include "engine/base/sjis.h"

namespace tessra {
using namespace sjis_literals;
namespace {

AllocStats g_alloc = {};

constexpr size_t kMirroredBytes = offsetof(AllocHeader, mirror);
static_assert(sizeof(AllocHeader::mirror) == kMirroredBytes,
              "the mirror covers every field in front of it");

void RefreshMirror(AllocHeader* header) {
    std::memcpy(header->mirror, header, kMirroredBytes);
}

unsigned char* BlockOf(const AllocHeader* header) {
    return reinterpret_cast<unsigned char*>(const_cast<AllocHeader*>(header)) + kAllocHeaderSize;
}

bool Watched(uint32_t size) {
    return g_alloc.watchSize < 0 || static_cast<uint32_t>(g_alloc.watchSize) == size ||
           g_alloc.logEvery != 0;
}

bool HeaderIsSound(const AllocHeader* header) {
    return std::memcmp(header, header->mirror, kMirroredBytes) == 0;
}

int ReportDamagedHeader(const AllocHeader* header) {
    AppendLog("以下のメモリ確保情報が破損しました"_sjis);
    return LogMemoryBlock(header);
}

void LogTotals() {
    AppendLogFormat("\tTotal size:%lld(%.3fkb)  Alloc num:%d",
                    static_cast<long long>(g_alloc.totalSize),
                    static_cast<double>(g_alloc.totalSize) / 1024.0, g_alloc.count);
}

}  // namespace

AllocStats& GetAllocStats() {
    return g_alloc;
}

int32_t g_allocFailCountdown = 0;

void* AllocTagged(size_t size, const char* fileName, int line) {
    const bool injected = g_allocFailCountdown > 0 && --g_allocFailCountdown == 0;
    // Refused before the header is added, so the sum can never wrap.
    if (size > kAllocMaxSize || injected) {
        DumpAllocations();
        return nullptr;
    }
    auto* header = static_cast<AllocHeader*>(std::malloc(kAllocHeaderSize + size));
    if (header == nullptr) {
        DumpAllocations();
        return nullptr;
    }
    std::memset(header, 0, kAllocHeaderSize);
    header->size = static_cast<uint32_t>(size);
    if (fileName != nullptr) {
        const size_t len = std::strlen(fileName);
        const size_t keep = sizeof(header->fileTag) - 1;
        std::memcpy(header->fileTag, len > keep ? fileName + (len - keep) : fileName,
                    len > keep ? keep : len);
    }
    header->line = static_cast<uint16_t>(line);
    header->id = g_alloc.idCounter++;

    if (g_alloc.head == nullptr) g_alloc.head = &g_alloc.sentinel;
    AllocHeader* oldHead = g_alloc.head;
    oldHead->prev = header;
    header->next = oldHead;
    header->prev = nullptr;
    g_alloc.head = header;
    RefreshMirror(header);
    RefreshMirror(oldHead);

    g_alloc.totalSize += static_cast<int64_t>(size);
    ++g_alloc.count;

    if (Watched(header->size)) {
        AppendLog("mem alloc  ");
        LogMemoryBlock(header);
    }
    if (g_alloc.printTotals) LogTotals();
    if (g_alloc.checkAll) CheckAllocations();
    return BlockOf(header);
}

void* AllocTaggedZeroed(size_t size, const char* fileName, int line) {
    void* block = AllocTagged(size, fileName, line);
    if (block != nullptr && size != 0) std::memset(block, 0, size);
    return block;
}

void FreeTagged(void* block) {
    if (block == nullptr) return;
    auto* header =
        reinterpret_cast<AllocHeader*>(static_cast<unsigned char*>(block) - kAllocHeaderSize);
    if (g_alloc.checkAll) CheckAllocations();
    // Links that a stray write changed would turn the unlinking into wild writes: a damaged
    // block is reported and left in the list, a leak rather than a corruption.
    if (!HeaderIsSound(header)) {
        if (!g_alloc.checkAll) ReportDamagedHeader(header);
        return;
    }
    g_alloc.totalSize -= header->size;
    --g_alloc.count;

    AllocHeader* next = header->next;
    AllocHeader* prev = header->prev;
    if (next != nullptr) next->prev = prev;
    if (prev != nullptr) prev->next = next;
    if (g_alloc.head == header) g_alloc.head = next;
    if (prev != nullptr) RefreshMirror(prev);
    if (next != nullptr) RefreshMirror(next);

    if (Watched(header->size)) {
        AppendLog("mem free  ");
        LogMemoryBlock(header);
    }
    if (g_alloc.printTotals) LogTotals();
    std::free(header);
}

int CheckAllocations() {
    if (g_alloc.head == nullptr) return 0;
    for (AllocHeader* h = g_alloc.head; h != &g_alloc.sentinel && h != nullptr; h = h->next) {
        if (!HeaderIsSound(h)) {
            ReportDamagedHeader(h);
            return -1;
        }
    }
    return 0;
}

int DumpAllocations() {
    AppendLog("\n");
    AppendLog("Alloc memory dump");
    if (g_alloc.head != nullptr) {
        for (AllocHeader* h = g_alloc.head; h != &g_alloc.sentinel && h != nullptr; h = h->next) {
            // A damaged header's link cannot be trusted: the walk ends there.
            if (!HeaderIsSound(h)) {
                ReportDamagedHeader(h);
                break;
            }
            LogMemoryBlock(h);
        }
    }
    LogTotals();
    AppendLog("\n");
    return -1;
}

int LogMemoryBlock(const AllocHeader* header) {
    // At most 16 bytes, and never more than the block holds: a damaged header (the reason
    // for many of these lines) may claim more, so the smaller of the size and its mirror
    // copy is trusted.
    uint32_t mirroredSize;
    std::memcpy(&mirroredSize, header->mirror + offsetof(AllocHeader, size), sizeof(uint32_t));
    const uint32_t held = header->size < mirroredSize ? header->size : mirroredSize;
    const size_t shown = held < 16 ? held : 16;
    const unsigned char* data = BlockOf(header);
    char tag[sizeof(header->fileTag)];
    std::memcpy(tag, header->fileTag, sizeof(tag));
    tag[sizeof(tag) - 1] = '\0';

    char line[256];
    int n = std::snprintf(line, sizeof(line), "\tsize:%u(%.3fkb)  file:%s  line:%d  ID:%d  data:<",
                          header->size, static_cast<double>(header->size) / 1024.0, tag,
                          header->line, header->id);
    size_t o = static_cast<size_t>(n);
    for (size_t i = 0; i < shown; ++i) {
        line[o++] = data[i] < 32 ? '.' : static_cast<char>(data[i]);
    }
    std::memcpy(line + o, "> [", 3);
    o += 3;
    for (size_t i = 0; i < shown; ++i) {
        o += static_cast<size_t>(std::snprintf(line + o, sizeof(line) - o, "%02x ", data[i]));
    }
    // The last blank becomes the closing bracket; an empty block still gets one.
    if (shown > 0) --o;
    std::memcpy(line + o, "]\n", 3);
    return AppendLog(line);
}

}  // namespace tessra
