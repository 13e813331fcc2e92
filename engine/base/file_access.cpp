#include "engine/base/file_access.h"

#include <cstring>
#include <unordered_map>

#include "engine/base/archive.h"

namespace tessra {

namespace {

const FileAccessFuncs kPlainSet = {OpenPlainFile,    ClosePlainFile, TellPlainFile,
                                   SeekPlainFile,    ReadPlainFile,  TestPlainFileEof,
                                   IsPlainFileReady, ChangePlainDir, GetPlainDir};

const FileAccessFuncs kArchiveSet = {OpenArchFile,      CloseArchFile,     TellArchFile,
                                     SeekArchFile,      ReadArchFile,      TestArchFileEof,
                                     ReportStreamReady, SetArchCurrentDir, GetArchCurrentDir};

// Archives are in use from load on.
FileAccessFuncs g_fileAccessFuncs = kArchiveSet;
int g_noArchiveFlag = 0;

// The set each open handle came from, so a switch of the table never sends an open handle to
// functions that do not know it.
std::unordered_map<StreamHandle, FileAccessFuncs> g_handleSets;

const FileAccessFuncs& SetOf(StreamHandle handle) {
    auto it = g_handleSets.find(handle);
    return it != g_handleSets.end() ? it->second : g_fileAccessFuncs;
}

const FileAccessFuncs& BuiltinSetOfMode() {
    return g_noArchiveFlag == 1 ? kPlainSet : *GetArchiveFileAccessFuncs();
}

}  // namespace

const FileAccessFuncs* GetPlainFileAccessFuncs() {
    return &kPlainSet;
}
const FileAccessFuncs* GetArchiveFileAccessFuncs() {
    return &kArchiveSet;
}
const FileAccessFuncs* GetFileAccessFuncs() {
    return &g_fileAccessFuncs;
}
int GetNoArchiveFlag() {
    return g_noArchiveFlag;
}

int SetFileAccessFuncs(const FileAccessFuncs* set) {
    g_fileAccessFuncs = set ? *set : BuiltinSetOfMode();
    return 0;
}

int IsBuiltinFileAccessFuncs() {
    const FileAccessFuncs& b = BuiltinSetOfMode();
    const FileAccessFuncs& t = g_fileAccessFuncs;
    return t.Open == b.Open && t.Close == b.Close && t.Tell == b.Tell && t.Seek == b.Seek &&
                   t.Read == b.Read && t.Eof == b.Eof && t.ChangeDir == b.ChangeDir &&
                   t.GetDir == b.GetDir
               ? 1
               : 0;
}

int SetUseArchiveBody(int use) {
    const int flag = use == 0 ? 1 : 0;
    if (flag == g_noArchiveFlag) return 0;
    if (IsBuiltinFileAccessFuncs() == 1) {
        g_noArchiveFlag = flag;
        SetFileAccessFuncs(nullptr);
    } else {
        g_noArchiveFlag = flag;
    }
    return 0;
}

StreamHandle OpenViaFileTable(const char* name, int asyncFlag, int readFlag) {
    const FileAccessFuncs set = g_fileAccessFuncs;
    StreamHandle handle = set.Open(name, asyncFlag, readFlag);
    if (handle != 0) g_handleSets[handle] = set;
    return handle;
}

int CloseViaFileTable(StreamHandle handle) {
    auto it = g_handleSets.find(handle);
    if (it == g_handleSets.end()) return g_fileAccessFuncs.Close(handle);
    const FileAccessFuncs set = it->second;
    g_handleSets.erase(it);
    return set.Close(handle);
}

int64_t TellViaFileTable(StreamHandle handle) {
    return SetOf(handle).Tell(handle);
}
int SeekViaFileTable(StreamHandle handle, int32_t offset, int origin) {
    return SetOf(handle).Seek(handle, offset, origin);
}
int64_t ReadViaFileTable(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle) {
    return SetOf(handle).Read(buffer, itemSize, itemCount, handle);
}
int TestEofViaFileTable(StreamHandle handle) {
    return SetOf(handle).Eof(handle);
}
int IsReadyViaFileTable(StreamHandle handle) {
    return SetOf(handle).IsReady(handle);
}
int ChangeDirViaFileTable(const char* path) {
    return g_fileAccessFuncs.ChangeDir(path);
}
int GetDirViaFileTable(char* buffer) {
    return g_fileAccessFuncs.GetDir(buffer);
}

// ---- paths against the table's current directory ----

int ConvertFullPath(const char* path, char* out, const char* base, size_t outSize) {
    if (!out || outSize == 0) return -1;
    char currentDir[kFilePathMax] = {};
    if (!base) {
        // The archive set answers 0 and the plain set a length: only the text counts.
        GetDirViaFileTable(currentDir);
        currentDir[kFilePathMax - 1] = '\0';
        base = currentDir;
    }
    return BuildFullPath(path, out, base, outSize);
}

plat::FileHandle CreateTempFile(char* out) {
    char dir[kFilePathMax] = {};
    uint32_t length = plat::GetTempPathA(static_cast<uint32_t>(kFilePathMax) - 1, dir);
    if (length == 0 || length >= kFilePathMax - 1) return nullptr;
    if (dir[length - 1] != '\\') {
        dir[length] = '\\';
        dir[length + 1] = '\0';
    }
    char name[kFilePathMax] = {};
    if (plat::GetTempFileNameA(dir, "tmp", 0, name) == 0) return nullptr;
    char full[kFilePathMax] = {};
    if (ConvertFullPath(name, full, nullptr) != 0) {
        plat::DeleteFileA(name);
        return nullptr;
    }
    plat::DeleteFileA(full);
    plat::FileHandle file = plat::CreateFileA(full, plat::GENERIC_WRITE, 0, nullptr,
                                              plat::CREATE_NEW, plat::FILE_ATTRIBUTE_NORMAL);
    if (file == plat::INVALID_HANDLE_VALUE) return nullptr;
    if (out) std::memcpy(out, full, std::strlen(full) + 1);
    return file;
}

}  // namespace tessra
