// An archive file handed to the file-access table: every entry the archive lists is opened by
// name, read to its end, sought and read again. Reads must give exactly the listed size; a
// refused archive or entry must leave nothing allocated once the archive set is closed.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/base/archive.h"
#include "engine/base/file_access.h"
#include "fuzz_support.h"

using namespace tessra;

namespace {

uint32_t U32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

struct Entry {
    std::string path;
    uint32_t size;
};

// The file entries under one directory record, with their paths, from a block the open has
// checked already.
void ListEntries(const ArchiveHandle& a, uint32_t dir, const std::string& prefix, int depth,
                 std::vector<Entry>* out) {
    if (depth > 8 || out->size() > 64) return;
    const uint8_t* b = a.block;
    const uint32_t entrySize = a.header.version >= 2 ? kArchiveEntrySizeV2 : kArchiveEntrySizeV0;
    const uint8_t* record = b + a.dirTable + dir;
    const uint32_t count = U32(record + 8);
    const uint64_t first = uint64_t{a.fileTable} + U32(record + 12);
    for (uint32_t i = 0; i < count && out->size() <= 64; ++i) {
        const uint8_t* e = b + first + uint64_t{i} * entrySize;
        const uint8_t* name = b + U32(e);
        const uint32_t units = uint32_t{name[0]} | uint32_t{name[1]} << 8;
        std::string text(reinterpret_cast<const char*>(name + 4));
        if (text.size() > units * 4u) text.resize(units * 4u);
        const std::string path = prefix + "\\" + text;
        // A name met twice opens the first entry of that name, so only the first is listed.
        bool seen = false;
        for (const Entry& listed : *out) seen = seen || listed.path == path;
        if (U32(e + 4) & kArchiveAttrDirectory)
            ListEntries(a, U32(e + 32), path, depth + 1, out);
        else if (!seen)
            out->push_back({path, U32(e + 36)});
    }
}

int64_t ReadToEnd(StreamHandle h, uint64_t limit) {
    char buffer[4096];
    int64_t total = 0;
    for (;;) {
        const int64_t n = ReadViaFileTable(buffer, 1, sizeof buffer, h);
        if (n <= 0) break;
        total += n;
        fuzz::Require(uint64_t(total) <= limit, "read more than the entry holds");
    }
    return total;
}

void ReadEntry(const Entry& entry) {
    const StreamHandle h = OpenViaFileTable(entry.path.c_str(), 0, 1);
    if (h == 0) return;
    const int64_t total = ReadToEnd(h, entry.size);
    fuzz::Require(total == 0 || total == int64_t{entry.size}, "entry read short of its size");
    if (total == int64_t{entry.size}) {
        fuzz::Require(TellViaFileTable(h) == total, "tell differs from what was read");
        SeekViaFileTable(h, int32_t(entry.size / 2), kSeekSet);
        fuzz::Require(ReadToEnd(h, entry.size) == int64_t{entry.size - entry.size / 2},
                      "read after a seek gives another length");
        SeekViaFileTable(h, -1, kSeekEnd);
        SeekViaFileTable(h, int32_t(entry.size) + 10, kSeekSet);
    }
    CloseViaFileTable(h);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitOnce();
    fuzz::TrackedBlocks blocks;
    InitArchiveFileState();
    SetFileAccessFuncs(GetArchiveFileAccessFuncs());
    SetArchiveExtensionBody("dat");
    SetArchiveKeyBody(nullptr);
    std::FILE* f = std::fopen("fz.dat", "wb");
    if (!f) fuzz::Fail("cannot write the archive file");
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    std::vector<Entry> entries;
    ArchiveHandle a{};
    if (OpenArchive(&a, "fz.dat", nullptr) == 0) {
        ListEntries(a, 0, "fz", 0, &entries);
        CloseArchive(&a);
    } else {
        fuzz::Require(a.block == nullptr && a.file == 0, "a refused archive kept its block");
    }
    for (const Entry& entry : entries) ReadEntry(entry);
    // A name the archive does not hold, and one that climbs out of it.
    const StreamHandle missing = OpenViaFileTable("fz\\NO_SUCH_ENTRY", 0, 1);
    if (missing) CloseViaFileTable(missing);
    InitArchiveFileState();
    blocks.Check("the archive set left tracked blocks behind");
    return 0;
}
