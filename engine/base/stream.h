// Stream interfaces over files and memory blocks, read by the image and sound decoders.
//
// A StreamIo is a copy of one StreamFuncs set followed by a handle; a decoder calls every
// operation as io.Op(io.handle, ...) and never looks inside the handle.
//
// Counting differs by set and callers rely on it: the plain-file and memory sets' Read answers
// in whole items (a memory stream's last partial item counts as one), the archive set's Read in
// bytes. Tell answers the position in bytes, or -1 for a bad handle.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessra {

// A file-access handle (archive handles are negative, plain ones are record addresses) or a
// memory-stream record address. 0 is never a valid handle.
using StreamHandle = intptr_t;

using StreamTellFunc = int64_t (*)(StreamHandle handle);
using StreamSeekFunc = int (*)(StreamHandle handle, int32_t offset, int origin);
using StreamReadFunc = int64_t (*)(void* buffer, size_t itemSize, size_t itemCount,
                                   StreamHandle handle);
using StreamEofFunc = int (*)(StreamHandle handle);
using StreamIsReadyFunc = int (*)(StreamHandle handle);
using StreamCloseFunc = int (*)(StreamHandle handle);

constexpr int kSeekSet = 0;
constexpr int kSeekCur = 1;
constexpr int kSeekEnd = 2;

// The absolute target of a seek from `origin`, before the stream kind applies its own limits;
// false for an unknown origin.
inline bool SeekTarget(int origin, int32_t offset, int64_t position, int64_t size,
                       int64_t* target) {
    switch (origin) {
        case kSeekSet:
            *target = offset;
            return true;
        case kSeekCur:
            *target = position + offset;
            return true;
        case kSeekEnd:
            *target = size + offset;
            return true;
        default:
            return false;
    }
}

struct StreamFuncs {
    StreamTellFunc Tell;
    StreamSeekFunc Seek;
    StreamReadFunc Read;
    StreamEofFunc Eof;
    StreamIsReadyFunc IsReady;
    StreamCloseFunc Close;
};

struct StreamIo {
    StreamTellFunc Tell;
    StreamSeekFunc Seek;
    StreamReadFunc Read;
    StreamEofFunc Eof;
    StreamIsReadyFunc IsReady;
    StreamCloseFunc Close;
    StreamHandle handle;
};

// The file set forwards to the file-access table; the memory set works on MemStreamRecords.
const StreamFuncs* GetFileStreamFuncs();
const StreamFuncs* GetMemStreamFuncs();
// Fills both sets again (engine start-up).
void ResetStreamFuncs();

inline StreamIo MakeStreamIo(const StreamFuncs* funcs, StreamHandle handle) {
    return StreamIo{funcs->Tell,    funcs->Seek,  funcs->Read, funcs->Eof,
                    funcs->IsReady, funcs->Close, handle};
}

struct MemStreamRecord {
    const void* data;  // the caller's bytes: not owned, never freed here
    uint32_t size;
    int32_t position;
    int eofFlag;
};

// A stream over size bytes at data; 0 when the record cannot be allocated.
StreamHandle OpenMemStream(const void* data, uint32_t size);
int CloseMemStream(StreamHandle record);  // frees the record only; 0
int64_t TellMemStream(StreamHandle record);
// Origins 0, 1, 2; the position is clamped to 0..size; the end-of-file flag is cleared.
// Returns 0, or -1 for another origin or no record.
int SeekMemStream(StreamHandle record, int32_t offset, int origin);
// Whole items; with less than one item left but some bytes, those bytes as one last item.
int64_t ReadMemStream(void* buffer, size_t itemSize, size_t itemCount, StreamHandle record);
int TestMemStreamEof(StreamHandle record);   // 1 at the end, else 0
int ReportStreamReady(StreamHandle handle);  // always 1

}  // namespace tessra
