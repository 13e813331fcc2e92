// Plain files: the file-access set that reads the disk through the platform, directly or (for a
// file opened with the asynchronous flag 1) through a reader thread of the file's own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/base/path.h"
#include "engine/base/stream.h"
#include "platform/win/file.h"

namespace tessra {

constexpr uint32_t kReaderAheadSize = 0x20000;  // the reader thread's read-ahead buffer

// The reader thread's part of a plain-file record; only files opened with the asynchronous
// flag 1 have one. The caller and the thread share the command fields only through the done
// event: the caller waits for it before writing a command; the thread sets it when finished.
struct PlainFileThread {
    uint32_t threadId;
    void* threadHandle;
    plat::FileHandle file;  // the thread's own handle; null when closed
    void* requestEvent;     // manual reset, created clear
    void* doneEvent;        // manual reset, created set
    int command;            // 0 open, 1 close, 2 read, 3 seek, 4 quit
    int threadEnded;
    int openFailed;
    char fileName[kFilePathMax];
    uint8_t* readDestination;
    uint32_t readPosition;
    uint32_t readLength;
    uint32_t readTotal;  // bytes the last read delivered
    uint32_t seekTarget;
    uint32_t aheadPosition;  // file position of the buffer's first byte
    uint32_t aheadCount;
    uint8_t ahead[kReaderAheadSize];
};

// One open plain file, read directly or (asynchronous flag 1) by its own reader thread.
struct PlainFileRecord {
    plat::FileHandle fileHandle;  // null when the reader thread serves the file
    int asyncFlag;
    int eofFlag;
    uint32_t position;
    uint32_t size;  // taken once at open
    PlainFileThread* thread;
};

StreamHandle OpenPlainFile(const char* name, int asyncFlag, int readFlag);  // record or 0
int ClosePlainFile(StreamHandle record);  // 0, or -1 when the close failed; freed either way
int64_t TellPlainFile(StreamHandle record);
int SeekPlainFile(StreamHandle record, int32_t offset, int origin);  // past the end is allowed
int64_t ReadPlainFile(void* buffer, size_t itemSize, size_t itemCount, StreamHandle record);
int TestPlainFileEof(StreamHandle record);  // -1 when the end was reached, else 0
// 1 for a direct record; threaded: 1 when no command is pending
int IsPlainFileReady(StreamHandle record);
int ChangePlainDir(const char* path);  // nonzero on success
int GetPlainDir(char* buffer);         // length, as GetCurrentDirectoryA

}  // namespace tessra
