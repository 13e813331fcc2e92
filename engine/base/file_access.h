// The file-access table: every file the engine reads goes through its nine slots. It holds the
// archive set (a path is looked for inside archives first, then as a plain file), the plain set
// below, or a caller's own set.
//
// Handles are pointer-sized and 0 means failure; archive handles are negative, so test == 0.
// Each handle stays bound to the set that opened it, even if the table is switched meanwhile.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/base/stream.h"
#include "platform/win/file.h"

namespace tessra {

constexpr size_t kFilePathMax = 260;  // path buffers, terminator included

struct FileAccessFuncs {
    StreamHandle (*Open)(const char* name, int asyncFlag, int readFlag);
    int (*Close)(StreamHandle handle);
    int64_t (*Tell)(StreamHandle handle);
    int (*Seek)(StreamHandle handle, int32_t offset, int origin);
    int64_t (*Read)(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle);
    int (*Eof)(StreamHandle handle);
    int (*IsReady)(StreamHandle handle);
    int (*ChangeDir)(const char* path);
    int (*GetDir)(char* buffer);  // buffer of kFilePathMax characters
};

// Copies the caller's set into the table, or with null installs the built-in set of the
// current mode (archives unless the no-archive flag is 1). 0.
int SetFileAccessFuncs(const FileAccessFuncs* set);
// 1 when the table holds the built-in set of the current mode (IsReady not compared).
int IsBuiltinFileAccessFuncs();
// use 0: plain files only; otherwise archives. A caller's own set is left in place. 0.
int SetUseArchiveBody(int use);
int GetNoArchiveFlag();
const FileAccessFuncs* GetFileAccessFuncs();  // the table as it stands
const FileAccessFuncs* GetPlainFileAccessFuncs();
const FileAccessFuncs* GetArchiveFileAccessFuncs();

StreamHandle OpenViaFileTable(const char* name, int asyncFlag, int readFlag);
int CloseViaFileTable(StreamHandle handle);
int64_t TellViaFileTable(StreamHandle handle);
int SeekViaFileTable(StreamHandle handle, int32_t offset, int origin);
int64_t ReadViaFileTable(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle);
int TestEofViaFileTable(StreamHandle handle);
int IsReadyViaFileTable(StreamHandle handle);
int ChangeDirViaFileTable(const char* path);
int GetDirViaFileTable(char* buffer);

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

// Builds the full path of path against base (the current directory through the table's GetDir
// when null) into out, in drive form. 0, or -1 for an empty component or when the result would
// not fit in outSize characters with its terminator.
int ConvertFullPath(const char* path, char* out, const char* base, size_t outSize = kFilePathMax);

// Creates a new empty file in the temp directory, open for writing; its full path goes to out
// (kFilePathMax characters) when given. 0 on failure.
plat::FileHandle CreateTempFile(char* out);

}  // namespace tessra
