#include "engine/base/archive.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/base/file_memory.h"
#include "engine/base/sjis.h"
#include "engine/base/strings.h"
#include "platform/win/file.h"

namespace tessra {

using namespace sjis_literals;

namespace {

struct ArchiveStreamState {
    ArchiveHandle* archive;
    uint32_t entry;            // block offset of the file entry
    uint8_t* decoded;          // the whole file when it was compressed (owned)
    uint32_t decodedCapacity;  // the decoded block's own size, which may be larger
    int eofFlag;
    uint32_t position;
    uint32_t size;
    uint64_t dataStart;  // file position of the stored data
};

struct OpenFileRecord {
    int inArchive;
    StreamHandle plain;
    int cacheSlot;
    ArchiveStreamState stream;
};

struct ArchiveCacheSlot {
    int refCount;
    ArchiveHandle archive;
    char path[kArchivePathMax];
};

ArchiveCacheSlot* g_cache[kArchiveCacheSlots];
int g_cacheUsed = 0;
OpenFileRecord* g_openFiles[kArchiveOpenFiles];
int g_openCount = 0;

char g_extension[kArchiveExtensionMax];
size_t g_extensionLength = 0;
int g_keySet = 0;
char g_keyText[kArchiveKeyLength + 1];

int g_lastSlot = -1;
char g_lastPath[kArchivePathMax];
size_t g_lastDirLength = 0;

// Blocks of decoded files and of packed bytes, given back when they are done with and kept for
// the next compressed file: a fresh block of megabytes costs a page fault on the first touch of
// every page, more than decoding into it. A few are kept, within a total, and all of them go
// whenever the unused archives are closed.
struct SpareBlock {
    uint8_t* block;
    uint32_t capacity;
};
constexpr int kSpareBlocks = 8;
constexpr uint64_t kSpareBytesMax = 64u << 20;
SpareBlock g_spares[kSpareBlocks];
uint64_t g_spareBytes = 0;

// A block of at least size bytes, not cleared: the smallest spare that is large enough, else
// a new one. Its capacity is given back with it.
uint8_t* TakeBlock(uint32_t size, uint32_t* capacity) {
    int best = -1;
    for (int i = 0; i < kSpareBlocks; ++i)
        if (g_spares[i].block && g_spares[i].capacity >= size &&
            (best < 0 || g_spares[i].capacity < g_spares[best].capacity))
            best = i;
    if (best >= 0) {
        uint8_t* block = g_spares[best].block;
        *capacity = g_spares[best].capacity;
        g_spareBytes -= g_spares[best].capacity;
        g_spares[best] = SpareBlock{};
        return block;
    }
    *capacity = size;
    return static_cast<uint8_t*>(AllocFileMemoryUncleared(size));
}

// Keeps a block for the next TakeBlock, in place of a smaller spare when all are taken.
void GiveBackBlock(uint8_t* block, uint32_t capacity) {
    if (!block) return;
    int slot = -1;
    for (int i = 0; i < kSpareBlocks && slot < 0; ++i)
        if (!g_spares[i].block) slot = i;
    if (slot < 0) {
        for (int i = 0; i < kSpareBlocks; ++i)
            if (g_spares[i].capacity < capacity &&
                (slot < 0 || g_spares[i].capacity < g_spares[slot].capacity))
                slot = i;
        if (slot >= 0) {
            g_spareBytes -= g_spares[slot].capacity;
            FreeFileMemory(g_spares[slot].block);
            g_spares[slot] = SpareBlock{};
        }
    }
    if (slot < 0 || g_spareBytes + capacity > kSpareBytesMax) {
        FreeFileMemory(block);
        return;
    }
    g_spares[slot] = SpareBlock{block, capacity};
    g_spareBytes += capacity;
}

void FreeSpareBlocks() {
    for (SpareBlock& spare : g_spares) {
        FreeFileMemory(spare.block);
        spare = SpareBlock{};
    }
    g_spareBytes = 0;
}

// The directory the engine was started in (the game's own folder), full and upper-cased. The
// archive walk for a path below it starts there, so an archive planted in a folder above the
// game's (a shared or world-writable one) never stands in for the game's data.
char g_startDir[kFilePathMax];
bool g_startDirNoted = false;

void NoteStartDirectory() {
    g_startDirNoted = true;
    if (ConvertArchiveFullPath(".", g_startDir, sizeof g_startDir) != 0) g_startDir[0] = '\0';
}

// Where the walk over `full` begins: just below the start directory when the path lies under
// it, else at the path's root.
size_t WalkStart(const char* full) {
    if (!g_startDirNoted) NoteStartDirectory();
    const size_t length = std::strlen(g_startDir);
    if (length == 0 || std::strncmp(full, g_startDir, length) != 0 || full[length] != '\\')
        return 0;
    return length + 1;
}

// The most output n token bytes can make. A literal gives one byte; a match with its length
// byte takes four bytes for at most 8195 out, one without takes three for at most 35. So every
// whole four bytes give at most 8195, and the one to three bytes left over at most 1, 2 or 35.
uint64_t LzDecodedSizeBound(uint32_t tokenBytes) {
    constexpr uint64_t kLongestMatch = 8195;
    constexpr uint64_t kLeftOver[4] = {0, 1, 2, 35};
    return uint64_t{tokenBytes / 4} * kLongestMatch + kLeftOver[tokenBytes % 4];
}

// Stored files are read and unscrambled this many bytes at a time: small enough that the bytes
// are still in the processor's cache when they are unscrambled, large enough that the reads'
// own cost stays small (pieces of 256 KB and less measured slower).
constexpr uint64_t kArchiveReadPiece = 1024 * 1024;

uint32_t U32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint8_t RotateLeft(uint8_t v, int n) {
    n &= 7;
    return n ? static_cast<uint8_t>((v << n) | (v >> (8 - n))) : v;
}

uint32_t EntrySize(const ArchiveHandle* a) {
    return a->header.version >= 2 ? kArchiveEntrySizeV2 : kArchiveEntrySizeV0;
}

bool InBlock(const ArchiveHandle* a, uint64_t offset, uint64_t length) {
    return offset <= a->header.headerBlockSize && length <= a->header.headerBlockSize - offset;
}

// Seeks the archive's plain file to an absolute position (SeekPlainFile takes 32-bit offsets).
bool SeekAbsolute(StreamHandle file, uint64_t target) {
    if (TellPlainFile(file) == static_cast<int64_t>(target)) return true;
    if (target <= 0x7FFFFFFF)
        return SeekPlainFile(file, static_cast<int32_t>(target), kSeekSet) == 0;
    return SeekPlainFile(file, 0x7FFFFFFF, kSeekSet) == 0 &&
           SeekPlainFile(file, static_cast<int32_t>(target - 0x7FFFFFFF), kSeekCur) == 0;
}

bool ReadExactly(StreamHandle file, uint64_t position, void* buffer, uint32_t length) {
    if (!SeekAbsolute(file, position)) return false;
    return length == 0 || ReadPlainFile(buffer, 1, length, file) == static_cast<int64_t>(length);
}

void ParseHeader(const uint8_t* h, ArchiveHeader* out) {
    out->magic[0] = static_cast<char>(h[0]);
    out->magic[1] = static_cast<char>(h[1]);
    out->version = U16(h + 2);
    out->headerBlockSize = U32(h + 4);
    out->dataOffset = U32(h + 8);
    out->headerBlockOffset = U32(h + 12);
    out->fileTableOffset = U32(h + 16);
    out->dirTableOffset = U32(h + 20);
}

bool HeaderLooksRight(const ArchiveHeader& h, uint32_t fileSize) {
    return h.magic[0] == 'T' && h.magic[1] == 'Q' && h.version <= kArchiveMaxVersion &&
           uint64_t{h.headerBlockOffset} + h.headerBlockSize <= fileSize &&
           h.dataOffset <= fileSize && h.fileTableOffset <= h.headerBlockSize &&
           uint64_t{h.dirTableOffset} + kArchiveDirRecordSize <= h.headerBlockSize;
}

// Walks the whole tree once: every directory record, entry range, name record and data range
// must lie inside the block or the file, every directory must name its containing directory
// as parent and be reached only once. Afterwards lookups can trust the block.
bool ValidateTree(const ArchiveHandle* a, uint32_t fileSize) {
    const uint8_t* b = a->block;
    const uint32_t entrySize = EntrySize(a);
    const uint32_t blockSize = a->header.headerBlockSize;
    std::vector<bool> seen(blockSize, false);
    std::vector<uint32_t> pending{0};
    if (U32(b + a->dirTable + 4) != kArchiveNoParent) return false;
    seen[a->dirTable] = true;
    while (!pending.empty()) {
        const uint32_t dir = pending.back();
        pending.pop_back();
        const uint8_t* record = b + a->dirTable + dir;
        const uint64_t count = U32(record + 8);
        const uint64_t first = uint64_t{a->fileTable} + U32(record + 12);
        if (!InBlock(a, first, count * entrySize)) return false;
        for (uint64_t i = 0; i < count; ++i) {
            const uint8_t* e = b + first + i * entrySize;
            const uint32_t nameOffset = U32(e);
            if (!InBlock(a, nameOffset, 4)) return false;
            const uint32_t units = U16(b + nameOffset);
            if (units == 0 || !InBlock(a, uint64_t{nameOffset} + 4, uint64_t{units} * 4) ||
                b[nameOffset + 4 + units * 4 - 1] != 0)
                return false;
            if (U32(e + 4) & kArchiveAttrDirectory) {
                const uint64_t child = uint64_t{a->dirTable} + U32(e + 32);
                if (!InBlock(a, child, kArchiveDirRecordSize) || seen[child]) return false;
                if (U32(b + child + 4) != dir) return false;
                seen[child] = true;
                pending.push_back(U32(e + 32));
            } else {
                const uint32_t size = U32(e + 36);
                const uint32_t stored = a->header.version >= 2 ? U32(e + 40) : kArchiveStored;
                const uint64_t length = stored == kArchiveStored ? size : stored;
                if (stored != kArchiveStored && stored < kArchiveLzHeadSize) return false;
                if (uint64_t{a->header.dataOffset} + U32(e + 32) + length > fileSize) return false;
            }
        }
    }
    return true;
}

bool NameMatches(const ArchiveHandle* a, const uint8_t* entry, const ArchiveSearchName* name) {
    const uint8_t* record = a->block + U32(entry);
    return U16(record) == name->units && U16(record + 2) == name->check &&
           std::memcmp(record + 4, name->name, size_t{name->units} * 4) == 0;
}

// The entry (block offset) in the current directory that matches, or -1.
int64_t LookUp(const ArchiveHandle* a, const ArchiveSearchName* name, bool directory) {
    const uint8_t* record = a->block + a->dirTable + a->currentDir;
    const uint32_t count = U32(record + 8);
    const uint64_t first = uint64_t{a->fileTable} + U32(record + 12);
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t offset = first + uint64_t{i} * EntrySize(a);
        const uint8_t* e = a->block + offset;
        const bool isDirectory = (U32(e + 4) & kArchiveAttrDirectory) != 0;
        if (isDirectory == directory && NameMatches(a, e, name))
            return static_cast<int64_t>(offset);
    }
    return -1;
}

bool HasBackslash(const char* text) {
    for (const char* p = text; *p; ++p) {
        if (IsSjisLeadByte(static_cast<unsigned char>(*p)) && p[1]) {
            ++p;
            continue;
        }
        if (*p == '\\') return true;
    }
    return false;
}

// ChangeArchiveDirectory that also tells whether the component that failed was the last one.
int ChangeDirectory(ArchiveHandle* a, const char* path, int restore, ArchiveSearchName* outName,
                    bool* failedAtLast) {
    ArchiveSearchName name{};
    *failedAtLast = false;
    if (std::strcmp(path, ".") == 0) return 0;
    if (std::strcmp(path, "\\") == 0) {
        a->currentDir = 0;
        return 0;
    }
    if (std::strcmp(path, "..") == 0) {
        const uint32_t parent = U32(a->block + a->dirTable + a->currentDir + 4);
        if (parent == kArchiveNoParent) return -1;
        a->currentDir = parent;
        return 0;
    }
    if (!HasBackslash(path)) {
        int length = MakeArchiveSearchName(path, &name);
        if (outName) *outName = name;
        if (length < 0) return -1;
        *failedAtLast = true;
        return FindArchiveDirectory(a, &name);
    }
    const uint32_t saved = a->currentDir;
    const char* p = path;
    while (*p) {
        if (*p == '\\') {  // an empty component in front of '\': the root
            a->currentDir = 0;
            ++p;
            continue;
        }
        int length = MakeArchiveSearchName(p, &name);
        if (outName) *outName = name;
        if (length < 0 || FindArchiveDirectory(a, &name) != 0) {
            *failedAtLast = length >= 0 && p[length] == '\0';
            if (restore == 1) a->currentDir = saved;
            return -1;
        }
        p += length;
        if (*p == '\\') ++p;
    }
    return 0;
}

int SlotOf(StreamHandle handle) {
    const uint64_t value = static_cast<uint64_t>(handle);
    const uint64_t tag =
        static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(kArchiveHandleBase)));
    if ((value & ~uint64_t{0x0FFFFFFF}) != tag) return -1;
    const uint64_t slot = value & 0x0FFFFFFF;
    if (slot >= static_cast<uint64_t>(kArchiveOpenFiles) || !g_openFiles[slot]) return -1;
    return static_cast<int>(slot);
}

OpenFileRecord* RecordOf(StreamHandle handle) {
    int slot = SlotOf(handle);
    return slot < 0 ? nullptr : g_openFiles[slot];
}

StreamHandle MakeHandle(int slot) {
    return static_cast<StreamHandle>(
        static_cast<int32_t>(kArchiveHandleBase | static_cast<uint32_t>(slot)));
}

int OpenArchiveStream(ArchiveStreamState* state, ArchiveHandle* a, const char* path) {
    const int64_t entry = FindArchiveFile(a, path);
    if (entry < 0) return -1;
    const uint8_t* e = a->block + entry;
    *state = ArchiveStreamState{};
    state->archive = a;
    state->entry = static_cast<uint32_t>(entry);
    state->size = U32(e + 36);
    state->dataStart = uint64_t{a->header.dataOffset} + U32(e + 32);
    const uint32_t stored = a->header.version >= 2 ? U32(e + 40) : kArchiveStored;
    if (stored == kArchiveStored) return 0;
    if (state->size > kArchiveMaxDecodedSize) {
        AppendLogFormat("%s: 展開後のサイズ %u バイトは上限を超えるため開きません"_sjis, path,
                        state->size);
        return -1;
    }

    // Both blocks are written whole (by the read, by the decoder) or given back unread.
    uint32_t packedCapacity = 0;
    uint8_t* packed = TakeBlock(stored, &packedCapacity);
    if (!packed) return -1;
    bool ok = ReadExactly(a->file, state->dataStart, packed, stored);
    if (ok) {
        XorArchiveBytes(stored, packed, state->dataStart, a->key);
        // The head must agree with the entry before the decoded size is taken.
        ok = DecodeArchiveLz(packed, stored, nullptr, state->size) >= 0;
    }
    uint32_t decodedCapacity = 0;
    uint8_t* decoded = ok ? TakeBlock(state->size, &decodedCapacity) : nullptr;
    if (decoded && DecodeArchiveLz(packed, stored, decoded, state->size) < 0) {
        GiveBackBlock(decoded, decodedCapacity);
        decoded = nullptr;
    }
    GiveBackBlock(packed, packedCapacity);
    if (!decoded) return -1;
    state->decoded = decoded;
    state->decodedCapacity = decodedCapacity;
    return 0;
}

int64_t ReadArchiveStream(ArchiveStreamState* state, void* buffer, uint64_t byteCount) {
    if (state->eofFlag) return 0;
    if (state->position >= state->size) {
        state->eofFlag = 1;
        return 0;
    }
    uint64_t n = state->size - state->position;
    if (byteCount < n) n = byteCount;
    uint64_t got = n;
    if (state->decoded) {
        std::memcpy(buffer, state->decoded + state->position, n);
    } else {
        ArchiveHandle* a = state->archive;
        const uint64_t at = state->dataStart + state->position;
        auto* bytes = static_cast<uint8_t*>(buffer);
        got = 0;
        if (SeekAbsolute(a->file, at)) {
            // In pieces small enough to be unscrambled while the read has left them in cache.
            while (got < n) {
                const uint64_t piece = std::min<uint64_t>(n - got, kArchiveReadPiece);
                const int64_t read = ReadPlainFile(bytes + got, 1, piece, a->file);
                if (read <= 0) break;
                XorArchiveBytes(static_cast<size_t>(read), bytes + got, at + got, a->key);
                got += static_cast<uint64_t>(read);
                if (static_cast<uint64_t>(read) < piece) break;
            }
        }
        if (got < n) LogFileMessage("アーカイブファイルの読み込みに失敗しました\n"_sjis);
    }
    state->position += static_cast<uint32_t>(got);
    // A short read means the archive ends early: report the end, so a loop reading until the
    // end stops instead of asking again for ever.
    state->eofFlag = got < n ? 1 : 0;
    return static_cast<int64_t>(got);
}

void SeekArchiveStream(ArchiveStreamState* state, int32_t offset, int origin) {
    int64_t target = offset;
    if (origin == kSeekCur)
        target = int64_t{state->position} + offset;
    else if (origin == kSeekEnd)
        target = int64_t{state->size} + offset;
    if (target < 0) target = 0;
    if (target > int64_t{state->size}) target = state->size;
    state->position = static_cast<uint32_t>(target);
    state->eofFlag = 0;
}

void FreeCacheSlot(int slot) {
    CloseArchive(&g_cache[slot]->archive);
    FreeFileMemory(g_cache[slot]);
    g_cache[slot] = nullptr;
    --g_cacheUsed;
}

}  // namespace

// ---- settings ----

int SetArchiveExtensionBody(const char* text) {
    const size_t length = text ? strnlen(text, kArchiveExtensionMax) : 0;
    if (length == 0 || length >= kArchiveExtensionMax) {
        g_extension[0] = '\0';
        g_extensionLength = 0;
        return 0;
    }
    std::memcpy(g_extension, text, length + 1);
    g_extensionLength = length;
    return 0;
}

int SetArchiveKeyBody(const char* text) {
    if (!text) {
        g_keySet = 0;
        return 0;
    }
    g_keySet = 1;
    const size_t length = strnlen(text, kArchiveKeyLength);
    std::memcpy(g_keyText, text, length);
    g_keyText[length] = '\0';
    return 0;
}

int SetArchiveExtensionUnlocked(const char* text) {
    return SetArchiveExtensionBody(text);
}
int SetArchiveKeyUnlocked(const char* text) {
    return SetArchiveKeyBody(text);
}

int InitArchiveFileState() {
    for (int i = 0; i < kArchiveOpenFiles; ++i) {
        if (!g_openFiles[i]) continue;
        if (g_openFiles[i]->inArchive)
            GiveBackBlock(g_openFiles[i]->stream.decoded, g_openFiles[i]->stream.decodedCapacity);
        else
            ClosePlainFile(g_openFiles[i]->plain);
        FreeFileMemory(g_openFiles[i]);
        g_openFiles[i] = nullptr;
    }
    g_openCount = 0;
    for (int i = 0; i < kArchiveCacheSlots; ++i)
        if (g_cache[i]) FreeCacheSlot(i);
    g_cacheUsed = 0;
    FreeSpareBlocks();
    SetArchiveExtensionBody(nullptr);
    g_keySet = 0;
    g_keyText[0] = '\0';
    g_lastSlot = -1;
    g_lastPath[0] = '\0';
    g_lastDirLength = 0;
    NoteStartDirectory();
    return 0;
}

void CloseUnusedArchives() {
    for (int i = 0; i < kArchiveCacheSlots; ++i)
        if (g_cache[i] && g_cache[i]->refCount < 1) FreeCacheSlot(i);
    FreeSpareBlocks();
}

void CloseUnusedArchivesAtExit() {
    CloseUnusedArchives();
}

// ---- format operations ----

namespace {

// Bytes unscrambled per step: 96 is a whole number of 12-byte key periods and of 32-byte vectors.
constexpr size_t kXorBlock = 96;
static_assert(kXorBlock % kArchiveKeyLength == 0);

// 32 bytes; loaded and stored through memcpy, so any address will do (clang keeps a vector
// type's own alignment whatever the typedef asks).
using XorVector = uint8_t __attribute__((vector_size(32)));

// The clones' chooser runs while the program is being loaded, before ThreadSanitizer's runtime
// is up, and its instrumented body crashes there: a thread-checked build keeps the baseline only.
#if defined(__SANITIZE_THREAD__)
#define TESSRA_XOR_CLONES
#else
#define TESSRA_XOR_CLONES __attribute__((target_clones("avx2", "default")))
#endif

// XORs count blocks of kXorBlock bytes with pattern; gives count. Built for AVX2 and for the
// baseline, the processor's best chosen when the program loads.
TESSRA_XOR_CLONES size_t XorBlocks(uint8_t* buffer, size_t count, const uint8_t* pattern) {
    // Three named vectors rather than an array of them: g++ keeps an array on the stack and
    // reads it back in halves, which stalls every block.
    XorVector p0, p1, p2;
    std::memcpy(&p0, pattern, 32);
    std::memcpy(&p1, pattern + 32, 32);
    std::memcpy(&p2, pattern + 64, 32);
    for (size_t b = 0; b < count; ++b) {
        uint8_t* block = buffer + b * kXorBlock;
        XorVector v0, v1, v2;
        std::memcpy(&v0, block, 32);
        std::memcpy(&v1, block + 32, 32);
        std::memcpy(&v2, block + 64, 32);
        v0 ^= p0;
        v1 ^= p1;
        v2 ^= p2;
        std::memcpy(block, &v0, 32);
        std::memcpy(block + 32, &v1, 32);
        std::memcpy(block + 64, &v2, 32);
    }
    return count;
}

}  // namespace

void CopyArchiveMatch(uint8_t* buffer, uint32_t at, uint32_t distance, uint32_t length,
                      uint32_t size) {
    uint8_t* d = buffer + at;
    uint8_t* const end = d + length;
    // Pieces of 16 bytes may run up to 15 bytes past the match when the buffer has room there:
    // the bytes after the match are written again, in order, before anything reads them.
    const bool slack = size - at - length >= 16;
    if (distance == 1) {
        std::memset(d, d[-1], length);
    } else if (distance >= length) {
        std::memcpy(d, d - distance, length);  // apart: one plain copy
    } else if (distance >= 16) {
        // Each piece reads only bytes written before it.
        for (; end - d >= 16; d += 16) std::memcpy(d, d - distance, 16);
        // The last piece overlaps the one before it; it reads bytes at least 16 back, which
        // are final, and writes the overlapped ones again with the same values.
        if (d < end) std::memcpy(end - 16, end - 16 - distance, 16);
    } else {
        // A short pattern repeated: pieces of 16 bytes from the pattern's start, each placed a
        // whole number of patterns after the one before.
        uint8_t pattern[16];
        for (uint32_t k = 0; k < 16; ++k) pattern[k] = d[int64_t(k % distance) - distance];
        const uint32_t step = 16 - 16 % distance;
        for (; end - d >= 16; d += step) std::memcpy(d, pattern, 16);
        if (d < end) {
            if (slack)
                std::memcpy(d, pattern, 16);
            else
                for (; d < end; ++d) *d = d[-int64_t(distance)];
        }
    }
}

void MakeArchiveKey(const char* keyText, uint8_t key[kArchiveKeyLength]) {
    // An empty text would never fill the key: it counts as no key.
    const size_t length = keyText ? strnlen(keyText, kArchiveKeyLength) : 0;
    for (int i = 0; i < kArchiveKeyLength; ++i)
        key[i] = length ? static_cast<uint8_t>(keyText[i % length]) : kArchiveKeyFillByte;
    key[0] = static_cast<uint8_t>(~key[0]);
    key[4] = static_cast<uint8_t>(~key[4]);
    key[6] = static_cast<uint8_t>(~key[6]);
    key[1] = RotateLeft(key[1], kArchiveKeyRotate1And8);
    key[8] = RotateLeft(key[8], kArchiveKeyRotate1And8);
    key[3] = static_cast<uint8_t>(~RotateLeft(key[3], kArchiveKeyRotate3And7));
    key[7] = static_cast<uint8_t>(~RotateLeft(key[7], kArchiveKeyRotate3And7));
    key[2] ^= kArchiveKeyXor2;
    key[5] ^= kArchiveKeyXor5;
    key[9] ^= kArchiveKeyXor9;
    key[11] ^= kArchiveKeyXor11;
    key[10] = static_cast<uint8_t>(RotateLeft(key[10], kArchiveKeyRotate10) ^ kArchiveKeyXor10);
}

void XorArchiveBytes(size_t length, uint8_t* buffer, uint64_t filePosition,
                     const uint8_t key[kArchiveKeyLength]) {
    size_t k = static_cast<size_t>(filePosition % kArchiveKeyLength);
    size_t i = 0;
    if (length >= kXorBlock) {
        // The key from this phase over one block; the block is a whole number of key periods,
        // so every block starts at the same phase.
        alignas(32) uint8_t pattern[kXorBlock];
        for (size_t j = 0; j < kXorBlock; ++j) pattern[j] = key[(k + j) % kArchiveKeyLength];
        i = XorBlocks(buffer, length / kXorBlock, pattern) * kXorBlock;
    }
    for (; i < length; ++i) {
        buffer[i] ^= key[k];
        if (++k == kArchiveKeyLength) k = 0;
    }
}

int MakeArchiveSearchName(const char* text, ArchiveSearchName* out) {
    std::memset(out, 0, sizeof *out);
    size_t length = 0;
    unsigned sum = 0;
    for (const char* p = text; *p && *p != '\\';) {
        const unsigned char c = static_cast<unsigned char>(*p);
        const size_t take = IsSjisLeadByte(c) && p[1] ? 2 : 1;
        if (length + take > kArchiveNameMax) return -1;
        for (size_t k = 0; k < take; ++k) {
            unsigned char v = static_cast<unsigned char>(p[k]);
            if (take == 1 && v >= 'a' && v <= 'z') v = static_cast<unsigned char>(v - 'a' + 'A');
            out->name[length++] = v;
            sum += v;
        }
        p += take;
    }
    out->units = static_cast<uint16_t>((length + 4) / 4);
    out->check = static_cast<uint16_t>(sum & 0xFFFF);
    return static_cast<int>(length);
}

int64_t DecodeArchiveLz(const uint8_t* source, uint32_t sourceSize, uint8_t* destination,
                        uint32_t destinationSize) {
    if (!source || sourceSize < kArchiveLzHeadSize) return -1;
    const uint32_t decodedSize = U32(source);
    const uint32_t encodedSize = U32(source + 4);
    const uint8_t escape = source[8];
    if (encodedSize != sourceSize || decodedSize != destinationSize) return -1;
    if (decodedSize > LzDecodedSizeBound(encodedSize - kArchiveLzHeadSize)) return -1;
    if (!destination) return decodedSize;

    const uint8_t* in = source + kArchiveLzHeadSize;
    const uint32_t inSize = encodedSize - kArchiveLzHeadSize;
    uint32_t i = 0;
    uint32_t out = 0;
    while (i < inSize) {
        if (in[i] != escape) {
            // A run of literals up to the next escape byte, copied whole.
            const void* next = std::memchr(in + i, escape, inSize - i);
            const uint32_t run =
                (next ? static_cast<uint32_t>(static_cast<const uint8_t*>(next) - in) : inSize) - i;
            if (run > decodedSize - out) return -1;
            std::memcpy(destination + out, in + i, run);
            out += run;
            i += run;
            continue;
        }
        ++i;
        if (i >= inSize) return -1;
        uint32_t c = in[i++];
        if (c == escape) {
            if (out >= decodedSize) return -1;
            destination[out++] = escape;
            continue;
        }
        if (c > escape) c -= 1;
        uint32_t length = c >> 3;
        if (c & 4) {
            if (i >= inSize) return -1;
            length |= uint32_t{in[i++]} << 5;
        }
        length += 4;
        const uint32_t code = c & 3;
        if (code == 3) return -1;  // not produced by the format
        if (inSize - i < code + 1) return -1;
        uint32_t distance = in[i];
        if (code >= 1) distance |= uint32_t{in[i + 1]} << 8;
        if (code == 2) distance |= uint32_t{in[i + 2]} << 16;
        i += code + 1;
        distance += 1;
        if (distance > out || length > decodedSize - out) return -1;
        CopyArchiveMatch(destination, out, distance, length, decodedSize);
        out += length;
    }
    return out == decodedSize ? int64_t{decodedSize} : -1;
}

// ---- inner operations ----

int OpenArchive(ArchiveHandle* a, const char* path, const char* keyText) {
    if (a->file) return -1;
    const StreamHandle file = OpenPlainFile(path, 0, 1);
    if (!file) return -1;
    const uint32_t fileSize = reinterpret_cast<PlainFileRecord*>(file)->size;
    uint8_t raw[kArchiveHeaderSize];
    ArchiveHeader header{};
    MakeArchiveKey(keyText, a->key);
    bool ok = ReadExactly(file, 0, raw, kArchiveHeaderSize);
    if (ok) {
        XorArchiveBytes(kArchiveHeaderSize, raw, 0, a->key);
        ParseHeader(raw, &header);
        if (header.magic[0] != 'T' || header.magic[1] != 'Q') {
            std::memset(a->key, kArchiveSecondKeyByte, kArchiveKeyLength);
            ok = ReadExactly(file, 0, raw, kArchiveHeaderSize);
            XorArchiveBytes(kArchiveHeaderSize, raw, 0, a->key);
            ParseHeader(raw, &header);
        }
    }
    ok = ok && HeaderLooksRight(header, fileSize);
    uint8_t* block = nullptr;
    if (ok) {
        block = static_cast<uint8_t*>(AllocFileMemory(header.headerBlockSize));
        ok = block && ReadExactly(file, header.headerBlockOffset, block, header.headerBlockSize);
    }
    if (ok) {
        XorArchiveBytes(header.headerBlockSize, block, header.headerBlockOffset, a->key);
        a->header = header;
        a->block = block;
        a->fileTable = header.fileTableOffset;
        a->dirTable = header.dirTableOffset;
        a->currentDir = 0;
        ok = ValidateTree(a, fileSize);
    }
    if (!ok) {
        ClosePlainFile(file);
        FreeFileMemory(block);
        std::memset(a, 0, sizeof *a);
        return -1;
    }
    a->file = file;
    return 0;
}

int CloseArchive(ArchiveHandle* a) {
    if (a->file) ClosePlainFile(a->file);
    FreeFileMemory(a->block);
    std::memset(a, 0, sizeof *a);
    return 0;
}

int FindArchiveDirectory(ArchiveHandle* a, const ArchiveSearchName* name) {
    const int64_t entry = LookUp(a, name, true);
    if (entry < 0) return -1;
    a->currentDir = U32(a->block + entry + 32);
    return 0;
}

int ChangeArchiveDirectory(ArchiveHandle* a, const char* path, int restore,
                           ArchiveSearchName* outName) {
    bool failedAtLast = false;
    return ChangeDirectory(a, path, restore, outName, &failedAtLast);
}

int64_t FindArchiveFile(ArchiveHandle* a, const char* path) {
    const uint32_t saved = a->currentDir;
    ArchiveSearchName name{};
    int64_t entry = -1;
    if (HasBackslash(path)) {
        bool failedAtLast = false;
        // Only a miss on the last component names a file; a missing directory in the middle
        // must not let a file of the same name answer for the whole path.
        if (ChangeDirectory(a, path, 0, &name, &failedAtLast) != 0 && failedAtLast)
            entry = LookUp(a, &name, false);
    } else if (MakeArchiveSearchName(path, &name) >= 0) {
        entry = LookUp(a, &name, false);
    }
    a->currentDir = saved;
    return entry;
}

int ConvertArchiveFullPath(const char* path, char* out, size_t outSize) {
    char base[kFilePathMax];
    const uint32_t length = plat::GetCurrentDirectoryA(static_cast<uint32_t>(kFilePathMax), base);
    if (length == 0 || length >= kFilePathMax) {
        LogFileMessage("カレントディレクトリのパスが長すぎるためアーカイブを探せません\n"_sjis);
        return -1;
    }
    if (BuildFullPath(path, out, base, outSize) != 0) {
        if (path && length + strnlen(path, outSize) + 2 > outSize)
            LogFileMessage("パスが長すぎるためアーカイブを探せません\n"_sjis);
        return -1;
    }
    UpperCaseString(out);
    return 0;
}

int OpenArchiveCached(int slotHint, const char* archivePath) {
    if (!archivePath || strnlen(archivePath, kArchivePathMax) >= kArchivePathMax) return -1;
    if (slotHint >= 0 && slotHint < kArchiveCacheSlots && g_cache[slotHint] &&
        std::strcmp(g_cache[slotHint]->path, archivePath) == 0) {
        ++g_cache[slotHint]->refCount;
        return slotHint;
    }
    int lastFree = -1;
    for (int i = 0; i < kArchiveCacheSlots; ++i) {
        if (!g_cache[i]) {
            lastFree = i;
        } else if (std::strcmp(g_cache[i]->path, archivePath) == 0) {
            ++g_cache[i]->refCount;
            return i;
        }
    }
    if (g_cacheUsed >= kArchiveCacheSlots) {
        CloseUnusedArchives();
        if (g_cacheUsed >= kArchiveCacheSlots) return -1;
    }
    int slot = lastFree;
    for (int i = 0; slot < 0 && i < kArchiveCacheSlots; ++i)
        if (!g_cache[i]) slot = i;
    if (slot < 0) return -1;
    ArchiveHandle archive{};
    if (OpenArchive(&archive, archivePath, g_keySet ? g_keyText : nullptr) != 0) return -1;
    auto* record = static_cast<ArchiveCacheSlot*>(AllocFileMemory(sizeof(ArchiveCacheSlot)));
    if (!record) {
        CloseArchive(&archive);
        return -1;
    }
    record->archive = archive;
    record->refCount = 1;
    std::memcpy(record->path, archivePath, std::strlen(archivePath) + 1);
    g_cache[slot] = record;
    ++g_cacheUsed;
    return slot;
}

// ---- the archive set ----

StreamHandle OpenArchFile(const char* name, int asyncFlag, int /*readFlag*/) {
    if (g_openCount >= kArchiveOpenFiles) {
        LogFileMessage("同時に開けるファイルの数が限界を超えました\n"_sjis);
        return 0;
    }
    int slot = -1;
    for (int i = 0; i < kArchiveOpenFiles && slot < 0; ++i)
        if (!g_openFiles[i]) slot = i;
    auto* record =
        slot < 0 ? nullptr : static_cast<OpenFileRecord*>(AllocFileMemory(sizeof(OpenFileRecord)));
    if (!record) {
        LogFileMessage("ファイルの情報を格納するメモリの確保に失敗しました\n"_sjis);
        return 0;
    }
    if (!name) {
        FreeFileMemory(record);
        return 0;
    }
    record->inArchive = 1;

    char full[kFilePathMax];
    int cacheSlot = -1;
    const char* inner = nullptr;
    if (ConvertArchiveFullPath(name, full) == 0) {
        const size_t fullLength = std::strlen(full);
        if (g_lastSlot >= 0 && g_lastDirLength < fullLength &&
            std::strncmp(full, g_lastPath, g_lastDirLength) == 0 && full[g_lastDirLength] == '\\') {
            // The last archive that opened, before any walk.
            cacheSlot = OpenArchiveCached(g_lastSlot, g_lastPath);
            if (cacheSlot >= 0) inner = full + g_lastDirLength + 1;
        } else {
            const char* extension = g_extensionLength ? g_extension : "TQA";
            const size_t walkStart = WalkStart(full);
            size_t componentStart = walkStart;
            for (size_t i = walkStart; i < fullLength; ++i) {
                const unsigned char c = static_cast<unsigned char>(full[i]);
                if (IsSjisLeadByte(c) && full[i + 1]) {
                    ++i;
                    continue;
                }
                if (c != '\\' && c != '/') continue;
                if (i == componentStart) break;  // an empty component ends the walk
                char candidate[kArchivePathMax];
                const int written = std::snprintf(candidate, sizeof candidate, "%.*s.%s",
                                                  static_cast<int>(i), full, extension);
                if (written < 0 || static_cast<size_t>(written) >= sizeof candidate) break;
                cacheSlot = OpenArchiveCached(-1, candidate);
                if (cacheSlot >= 0) {
                    g_lastSlot = cacheSlot;
                    std::memcpy(g_lastPath, candidate, static_cast<size_t>(written) + 1);
                    g_lastDirLength = i;
                    inner = full + i + 1;
                    break;
                }
                componentStart = i + 1;
            }
        }
    }

    if (cacheSlot >= 0) {
        // Found the archive for this directory: no plain file is tried after this.
        if (OpenArchiveStream(&record->stream, &g_cache[cacheSlot]->archive, inner) != 0) {
            if (g_cache[cacheSlot]->refCount > 0) --g_cache[cacheSlot]->refCount;
            FreeFileMemory(record);
            return 0;
        }
        record->cacheSlot = cacheSlot;
    } else {
        record->plain = OpenPlainFile(name, asyncFlag, 1);
        if (!record->plain) {
            FreeFileMemory(record);
            return 0;
        }
        record->inArchive = 0;
    }
    g_openFiles[slot] = record;
    ++g_openCount;
    return MakeHandle(slot);
}

int CloseArchFile(StreamHandle handle) {
    const int slot = SlotOf(handle);
    if (slot < 0) return -1;
    OpenFileRecord* record = g_openFiles[slot];
    if (record->inArchive) {
        ArchiveCacheSlot* cached = g_cache[record->cacheSlot];
        if (cached && cached->refCount > 0) --cached->refCount;
        GiveBackBlock(record->stream.decoded, record->stream.decodedCapacity);
    } else {
        ClosePlainFile(record->plain);
    }
    FreeFileMemory(record);
    g_openFiles[slot] = nullptr;
    --g_openCount;
    return 0;
}

int64_t TellArchFile(StreamHandle handle) {
    OpenFileRecord* record = RecordOf(handle);
    if (!record) return -1;
    return record->inArchive ? int64_t{record->stream.position} : TellPlainFile(record->plain);
}

int SeekArchFile(StreamHandle handle, int32_t offset, int origin) {
    OpenFileRecord* record = RecordOf(handle);
    if (!record) return -1;
    if (!record->inArchive) return SeekPlainFile(record->plain, offset, origin);
    SeekArchiveStream(&record->stream, offset, origin);
    return 0;
}

int64_t ReadArchFile(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle) {
    OpenFileRecord* record = RecordOf(handle);
    if (!record) return -1;
    if (!record->inArchive) return ReadPlainFile(buffer, itemSize, itemCount, record->plain);
    uint64_t bytes = 0;
    if (__builtin_mul_overflow(uint64_t{itemSize}, uint64_t{itemCount}, &bytes)) bytes = UINT64_MAX;
    return ReadArchiveStream(&record->stream, buffer, bytes);
}

int TestArchFileEof(StreamHandle handle) {
    OpenFileRecord* record = RecordOf(handle);
    if (!record) return -1;
    if (!record->inArchive) return TestPlainFileEof(record->plain);
    return record->stream.eofFlag ? -1 : 0;
}

int SetArchCurrentDir(const char* path) {
    plat::SetCurrentDirectoryA(path);
    return 0;
}

int GetArchCurrentDir(char* buffer) {
    plat::GetCurrentDirectoryA(static_cast<uint32_t>(kArchivePathMax), buffer);
    return 0;
}

}  // namespace tessra
