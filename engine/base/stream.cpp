#include "engine/base/stream.h"

#include <cstring>

#include "engine/base/file_access.h"
#include "engine/base/file_memory.h"

namespace tessra {

namespace {

StreamFuncs g_fileStreamFuncs = {TellViaFileTable,    SeekViaFileTable,    ReadViaFileTable,
                                 TestEofViaFileTable, IsReadyViaFileTable, CloseViaFileTable};
StreamFuncs g_memStreamFuncs = {TellMemStream,    SeekMemStream,     ReadMemStream,
                                TestMemStreamEof, ReportStreamReady, CloseMemStream};

MemStreamRecord* AsMem(StreamHandle handle) {
    return reinterpret_cast<MemStreamRecord*>(handle);
}

}  // namespace

const StreamFuncs* GetFileStreamFuncs() {
    return &g_fileStreamFuncs;
}
const StreamFuncs* GetMemStreamFuncs() {
    return &g_memStreamFuncs;
}

void ResetStreamFuncs() {
    g_fileStreamFuncs = {TellViaFileTable,    SeekViaFileTable,    ReadViaFileTable,
                         TestEofViaFileTable, IsReadyViaFileTable, CloseViaFileTable};
    g_memStreamFuncs = {TellMemStream,    SeekMemStream,     ReadMemStream,
                        TestMemStreamEof, ReportStreamReady, CloseMemStream};
}

StreamHandle OpenMemStream(const void* data, uint32_t size) {
    // The position is a signed 32-bit value.
    if (size > 0x7FFFFFFFu || (!data && size > 0)) return 0;
    auto* record = static_cast<MemStreamRecord*>(AllocFileMemory(sizeof(MemStreamRecord)));
    if (!record) return 0;
    record->data = data;
    record->size = size;
    record->position = 0;
    record->eofFlag = 0;
    return reinterpret_cast<StreamHandle>(record);
}

int CloseMemStream(StreamHandle handle) {
    FreeFileMemory(AsMem(handle));
    return 0;
}

int64_t TellMemStream(StreamHandle handle) {
    MemStreamRecord* record = AsMem(handle);
    return record ? record->position : -1;
}

int SeekMemStream(StreamHandle handle, int32_t offset, int origin) {
    MemStreamRecord* record = AsMem(handle);
    if (!record) return -1;
    int64_t target;
    if (!SeekTarget(origin, offset, record->position, record->size, &target)) return -1;
    if (target < 0) target = 0;
    if (target > int64_t{record->size}) target = record->size;
    record->position = static_cast<int32_t>(target);
    record->eofFlag = 0;
    return 0;
}

int64_t ReadMemStream(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle) {
    MemStreamRecord* record = AsMem(handle);
    if (!record) return -1;
    const uint64_t position = static_cast<uint32_t>(record->position);
    if (position >= record->size) {
        record->eofFlag = 1;
        return 0;
    }
    // An item size of 0 would divide by zero below: nothing to read.
    if (itemSize == 0 || itemCount == 0) return 0;
    const uint64_t remaining = record->size - position;
    uint64_t n = itemCount;
    if (n > remaining / itemSize) n = remaining / itemSize;
    const auto* source = static_cast<const unsigned char*>(record->data) + position;
    if (n > 0) {
        std::memcpy(buffer, source, n * itemSize);
        record->position = static_cast<int32_t>(position + n * itemSize);
        record->eofFlag = 0;
        return static_cast<int64_t>(n);
    }
    // Less than one whole item left: hand it over as a last, partial item.
    std::memcpy(buffer, source, remaining);
    record->position = static_cast<int32_t>(record->size);
    record->eofFlag = 0;
    return 1;
}

int TestMemStreamEof(StreamHandle handle) {
    MemStreamRecord* record = AsMem(handle);
    return record && record->eofFlag ? 1 : 0;
}

int ReportStreamReady(StreamHandle) {
    return 1;
}

}  // namespace tessra
