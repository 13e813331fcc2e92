// The file-access table: every file the engine reads goes through its nine slots. It holds the
// archive set (a path is looked for inside archives first, then as a plain file), the plain set
// below, or a caller's own set.
//
// Handles are pointer-sized and 0 means failure; archive handles are negative, so test == 0.
// Each handle stays bound to the set that opened it, even if the table is switched meanwhile.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/base/path.h"
#include "engine/base/plain_file.h"
#include "engine/base/stream.h"
#include "platform/win/file.h"

namespace tessra {

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

// The full path of path against base (BuildFullPath), or with base null against the current
// directory as the table's GetDir answers it.
int ConvertFullPath(const char* path, char* out, const char* base, size_t outSize = kFilePathMax);

// Creates a new empty file in the temp directory, open for writing; its full path goes to out
// (kFilePathMax characters) when given. 0 on failure.
plat::FileHandle CreateTempFile(char* out);

}  // namespace tessra
