// Files, paths and the current directory, Windows-style, on POSIX.
//
// Paths come in Windows form ("dat\velm2\velm200.png", "C:\home\me\game\Log.txt"): '\' is a
// separator, a drive letter stands for the root, and a component that does not exist with its
// exact spelling is matched without regard to ASCII case (Shift-JIS trail bytes are never
// folded or taken for separators). Resolved components are cached. Plain POSIX paths work too.
//
// The calls keep the Windows conventions the engine was written against: nonzero for success
// from the BOOL calls, INVALID_HANDLE_VALUE from a failed CreateFileA, 0xFFFFFFFF sentinels.
// Share modes are accepted and ignored (POSIX has no mandatory sharing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace plat {

struct FileObject;
using FileHandle = FileObject*;  // pointer-sized, as the engine stores it

inline FileHandle const INVALID_HANDLE_VALUE =
    reinterpret_cast<FileHandle>(static_cast<intptr_t>(-1));

constexpr int MAX_PATH = 260;

constexpr uint32_t GENERIC_READ = 0x80000000u;
constexpr uint32_t GENERIC_WRITE = 0x40000000u;
constexpr uint32_t FILE_SHARE_READ = 0x1u;
constexpr uint32_t FILE_SHARE_WRITE = 0x2u;

constexpr uint32_t CREATE_NEW = 1;
constexpr uint32_t CREATE_ALWAYS = 2;
constexpr uint32_t OPEN_EXISTING = 3;
constexpr uint32_t OPEN_ALWAYS = 4;
constexpr uint32_t TRUNCATE_EXISTING = 5;

constexpr uint32_t FILE_ATTRIBUTE_READONLY = 0x01u;
constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10u;
constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x80u;
constexpr uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

constexpr uint32_t FILE_BEGIN = 0;
constexpr uint32_t FILE_CURRENT = 1;
constexpr uint32_t FILE_END = 2;
constexpr uint32_t INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr uint32_t INVALID_FILE_SIZE = 0xFFFFFFFFu;

// Opens or creates a file. Directories are refused. Returns INVALID_HANDLE_VALUE on failure.
FileHandle CreateFileA(const char* name, uint32_t access, uint32_t shareMode, void* security,
                       uint32_t disposition, uint32_t attributes, void* templateFile = nullptr);
// Nonzero on success; *bytesRead is 0 at the end of the file (not a failure).
int ReadFile(FileHandle file, void* buffer, uint32_t bytesToRead, uint32_t* bytesRead,
             void* overlapped = nullptr);
int WriteFile(FileHandle file, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten,
              void* overlapped = nullptr);
// With distanceHigh null the distance is a signed 32-bit value; otherwise the two words form a
// signed 64-bit distance and *distanceHigh receives the new position's high word. Returns the
// new position's low word, or INVALID_SET_FILE_POINTER when the position would be negative or
// the handle is bad. Positions past the end are allowed.
uint32_t SetFilePointer(FileHandle file, int32_t distance, int32_t* distanceHigh, uint32_t method);
// The low word of the size (high word into *sizeHigh when given); INVALID_FILE_SIZE on failure.
uint32_t GetFileSize(FileHandle file, uint32_t* sizeHigh);
int CloseHandle(FileHandle file);
// A null literal names no handle, neither a file nor a thread or event handle (thread.h):
// without this it would be ambiguous between the two. It fails, as closing null does.
inline int CloseHandle(std::nullptr_t) {
    return 0;
}

// Writes the file's data through to the disk. Nonzero on success.
int FlushFileBuffers(FileHandle file);

constexpr uint32_t MOVEFILE_REPLACE_EXISTING = 0x1u;
constexpr uint32_t MOVEFILE_WRITE_THROUGH = 0x8u;
// Renames a file; an existing file of the new name is replaced only with
// MOVEFILE_REPLACE_EXISTING. With MOVEFILE_WRITE_THROUGH it returns once the rename is on the
// disk (the folder holding the new name is synced). Nonzero on success.
int MoveFileExA(const char* existingName, const char* newName, uint32_t flags);

int DeleteFileA(const char* name);
// Makes one folder (its parent must exist). Nonzero on success; 0 when it exists already or
// cannot be made.
int CreateDirectoryA(const char* name, void* security);
uint32_t GetFileAttributesA(const char* name);
// FILE_ATTRIBUTE_READONLY clears the write permission bits; anything else restores the owner's.
int SetFileAttributesA(const char* name, uint32_t attributes);

// The current directory in drive form ("C:\home\me"). Returns the length copied (without the
// terminator), or the size needed (with the terminator) when the buffer is too small, 0 on failure.
uint32_t GetCurrentDirectoryA(uint32_t bufferLength, char* buffer);
int SetCurrentDirectoryA(const char* path);

// The temporary directory in drive form, ending in '\'. Same result rules as above.
uint32_t GetTempPathA(uint32_t bufferLength, char* buffer);
// Creates an empty file "<dir>\<prefix up to 3 chars><hex>.TMP" and writes its name (at most
// MAX_PATH characters) to out. With unique 0 a free number is found; otherwise that number is
// used and no file is created. Returns the number, or 0 on failure.
uint32_t GetTempFileNameA(const char* directory, const char* prefix, uint32_t unique, char* out);

// fopen on a Windows-form path (for the readers that use the C runtime's file functions).
std::FILE* OpenCrtFile(const char* name, const char* mode);

// The POSIX path that a Windows-form path maps to (existing components resolved by case).
std::string MapPath(const char* windowsPath);
// The drive form of a POSIX absolute path ("/home/me" -> "C:\home\me").
std::string ToDrivePath(const std::string& posixPath);

// Test controls.
void ClearPathCache();
// What went through to the disk since the last call, in order: "flush <file>",
// "move <from> <to>" and "flush folder <folder>", by resolved POSIX path.
std::vector<std::string> TakeDiskSyncLog();
// Where GetTempPathA points (a POSIX directory); null goes back to TMPDIR or /tmp.
void SetTempDirectoryForTesting(const char* posixDirectory);

}  // namespace plat
