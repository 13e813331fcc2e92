#include "engine/core/file_access.h"

#include <cstring>
#include <string>
#include <unordered_map>

#include "engine/core/archive.h"
#include "engine/core/file_memory.h"
#include "engine/core/strings.h"

namespace tessra {

namespace {

const FileAccessFuncs kPlainSet = {OpenPlainFile,    ClosePlainFile,   TellPlainFile,
                                   SeekPlainFile,    ReadPlainFile,    TestPlainFileEof,
                                   IsPlainFileReady, ChangePlainDir,   GetPlainDir};

const FileAccessFuncs kArchiveSet = {OpenArchFile,      CloseArchFile,     TellArchFile,
                                     SeekArchFile,      ReadArchFile,      TestArchFileEof,
                                     ReportStreamReady, SetArchCurrentDir, GetArchCurrentDir};

// Archives are in use from load on.
FileAccessFuncs gFileAccessFuncs = kArchiveSet;
int gNoArchiveFlag = 0;

// The set each open handle came from, so a switch of the table never sends an open handle to
// functions that do not know it.
std::unordered_map<StreamHandle, FileAccessFuncs> gHandleSets;

const FileAccessFuncs& SetOf(StreamHandle handle) {
    auto it = gHandleSets.find(handle);
    return it != gHandleSets.end() ? it->second : gFileAccessFuncs;
}

const FileAccessFuncs& BuiltinSetOfMode() {
    return gNoArchiveFlag == 1 ? kPlainSet : *GetArchiveFileAccessFuncs();
}

PlainFileRecord* AsPlain(StreamHandle handle) { return reinterpret_cast<PlainFileRecord*>(handle); }

}  // namespace

const FileAccessFuncs* GetPlainFileAccessFuncs() { return &kPlainSet; }
const FileAccessFuncs* GetArchiveFileAccessFuncs() { return &kArchiveSet; }
const FileAccessFuncs* GetFileAccessFuncs() { return &gFileAccessFuncs; }
int GetNoArchiveFlag() { return gNoArchiveFlag; }

int SetFileAccessFuncs(const FileAccessFuncs* set) {
    gFileAccessFuncs = set ? *set : BuiltinSetOfMode();
    return 0;
}

int IsBuiltinFileAccessFuncs() {
    const FileAccessFuncs& b = BuiltinSetOfMode();
    const FileAccessFuncs& t = gFileAccessFuncs;
    return t.Open == b.Open && t.Close == b.Close && t.Tell == b.Tell && t.Seek == b.Seek &&
                   t.Read == b.Read && t.Eof == b.Eof && t.ChangeDir == b.ChangeDir &&
                   t.GetDir == b.GetDir
               ? 1
               : 0;
}

int SetUseArchiveBody(int use) {
    const int flag = use == 0 ? 1 : 0;
    if (flag == gNoArchiveFlag) return 0;
    if (IsBuiltinFileAccessFuncs() == 1) {
        gNoArchiveFlag = flag;
        SetFileAccessFuncs(nullptr);
    } else {
        gNoArchiveFlag = flag;
    }
    return 0;
}

StreamHandle OpenViaFileTable(const char* name, int asyncFlag, int readFlag) {
    const FileAccessFuncs set = gFileAccessFuncs;
    StreamHandle handle = set.Open(name, asyncFlag, readFlag);
    if (handle != 0) gHandleSets[handle] = set;
    return handle;
}

int CloseViaFileTable(StreamHandle handle) {
    auto it = gHandleSets.find(handle);
    if (it == gHandleSets.end()) return gFileAccessFuncs.Close(handle);
    const FileAccessFuncs set = it->second;
    gHandleSets.erase(it);
    return set.Close(handle);
}

int64_t TellViaFileTable(StreamHandle handle) { return SetOf(handle).Tell(handle); }
int SeekViaFileTable(StreamHandle handle, int32_t offset, int origin) {
    return SetOf(handle).Seek(handle, offset, origin);
}
int64_t ReadViaFileTable(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle) {
    return SetOf(handle).Read(buffer, itemSize, itemCount, handle);
}
int TestEofViaFileTable(StreamHandle handle) { return SetOf(handle).Eof(handle); }
int IsReadyViaFileTable(StreamHandle handle) { return SetOf(handle).IsReady(handle); }
int ChangeDirViaFileTable(const char* path) { return gFileAccessFuncs.ChangeDir(path); }
int GetDirViaFileTable(char* buffer) { return gFileAccessFuncs.GetDir(buffer); }

// ---- plain files ----

StreamHandle OpenPlainFile(const char* name, int asyncFlag, int /*readFlag*/) {
    if (!name) return 0;
    auto* record = static_cast<PlainFileRecord*>(AllocFileMemory(sizeof(PlainFileRecord)));
    if (!record) return 0;
    plat::FileHandle file = plat::CreateFileA(name, plat::GENERIC_READ, plat::FILE_SHARE_READ,
                                              nullptr, plat::OPEN_EXISTING,
                                              plat::FILE_ATTRIBUTE_NORMAL);
    if (file == plat::INVALID_HANDLE_VALUE) {
        FreeFileMemory(record);
        return 0;
    }
    uint32_t high = 0;
    uint32_t size = plat::GetFileSize(file, &high);
    if (high != 0 || size == plat::INVALID_FILE_SIZE) {  // positions are 32-bit
        plat::CloseHandle(file);
        FreeFileMemory(record);
        return 0;
    }
    record->fileHandle = file;
    record->asyncFlag = asyncFlag == 1 ? 1 : 0;
    record->eofFlag = 0;
    record->position = 0;
    record->size = size;
    return reinterpret_cast<StreamHandle>(record);
}

int ClosePlainFile(StreamHandle handle) {
    PlainFileRecord* record = AsPlain(handle);
    if (!record) return -1;
    int closed = plat::CloseHandle(record->fileHandle);
    FreeFileMemory(record);
    return closed ? 0 : -1;
}

int64_t TellPlainFile(StreamHandle handle) {
    PlainFileRecord* record = AsPlain(handle);
    return record ? int64_t{record->position} : -1;
}

int SeekPlainFile(StreamHandle handle, int32_t offset, int origin) {
    PlainFileRecord* record = AsPlain(handle);
    if (!record) return -1;
    int64_t target;
    switch (origin) {
    case kSeekSet: target = offset; break;
    case kSeekCur: target = int64_t{record->position} + offset; break;
    case kSeekEnd: target = int64_t{record->size} + offset; break;
    default: return -1;
    }
    if (target < 0 || target > 0xFFFFFFFEll) return -1;  // positions are 32-bit
    int32_t high = 0;
    if (plat::SetFilePointer(record->fileHandle, static_cast<int32_t>(static_cast<uint32_t>(target)),
                             &high, plat::FILE_BEGIN) == plat::INVALID_SET_FILE_POINTER)
        return -1;
    record->position = static_cast<uint32_t>(target);
    record->eofFlag = 0;
    return 0;
}

int64_t ReadPlainFile(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle) {
    PlainFileRecord* record = AsPlain(handle);
    if (!record) return -1;
    if (itemSize == 0) return 0;
    // >= rather than ==: after a seek past the end there is nothing to read either.
    if (record->position >= record->size) {
        record->eofFlag = 1;
        return 0;
    }
    const uint64_t remaining = record->size - record->position;
    uint64_t n = itemCount;
    if (n > remaining / itemSize) n = remaining / itemSize;
    if (n == 0) {
        record->eofFlag = 1;
        return 0;
    }
    uint32_t got = 0;
    int ok = plat::ReadFile(record->fileHandle, buffer, static_cast<uint32_t>(n * itemSize), &got);
    record->position += got;  // what arrived, not what was asked for
    if (!ok) return 0;
    return static_cast<int64_t>(got / itemSize);
}

int TestPlainFileEof(StreamHandle handle) {
    PlainFileRecord* record = AsPlain(handle);
    if (!record) return -1;
    return record->eofFlag ? -1 : 0;
}

int IsPlainFileReady(StreamHandle) { return 1; }

int ChangePlainDir(const char* path) { return plat::SetCurrentDirectoryA(path); }

int GetPlainDir(char* buffer) {
    return static_cast<int>(plat::GetCurrentDirectoryA(static_cast<uint32_t>(kFilePathMax), buffer));
}

// ---- paths ----

int ConvertFullPath(const char* path, char* out, const char* base, size_t outSize) {
    if (!out || outSize == 0) return -1;
    char currentDir[kFilePathMax] = {};
    if (!base) {
        // The archive set answers 0 and the plain set a length: only the text counts.
        GetDirViaFileTable(currentDir);
        currentDir[kFilePathMax - 1] = '\0';
        base = currentDir;
    }
    std::string result;
    auto finish = [&](int status) {
        if (result.size() + 1 > outSize) {
            out[0] = '\0';
            return -1;
        }
        std::memcpy(out, result.c_str(), result.size() + 1);
        return status;
    };
    if (!path) {
        result = base;
        return finish(0);
    }
    const char* rest = path;
    if (path[0] == '\\') {
        result.assign(base, strnlen(base, 2));
        rest = path + 1;
    } else if (path[0] != '\0' && path[1] == ':') {
        result.assign(path, 2);
        rest = path + 2;
        if (*rest == '\\' || *rest == '/') ++rest;
    } else {
        result = base;
        if (!result.empty() && (result.back() == '\\' || result.back() == '/')) result.pop_back();
    }
    if (*rest == '\0') return finish(0);

    auto applyComponent = [&](const std::string& component) {
        if (component == ".") return;
        if (component == "..") {
            // Find the last boundary scanning forward, so a trail byte 0x5C is never one.
            size_t cut = std::string::npos;
            for (size_t i = 0; i < result.size(); ++i) {
                unsigned char c = static_cast<unsigned char>(result[i]);
                if (IsSjisLeadByte(c) && i + 1 < result.size()) {
                    ++i;
                    continue;
                }
                if (c == '\\' || c == '/') cut = i;
                else if (c == ':') cut = i + 1;  // the drive stays
            }
            result.resize(cut == std::string::npos ? 0 : cut);
            return;
        }
        result.push_back('\\');
        result += component;
    };

    std::string component;
    for (const char* p = rest; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (IsSjisLeadByte(c) && p[1] != '\0') {
            component.push_back(*p);
            component.push_back(*++p);
            continue;
        }
        if (c == '\\' || c == '/') {
            if (component.empty()) return finish(-1);
            applyComponent(component);
            component.clear();
            if (result.size() + 1 > outSize) return finish(-1);
            continue;
        }
        component.push_back(*p);
    }
    if (!component.empty()) applyComponent(component);
    return finish(0);
}

plat::FileHandle CreateTempFile(char* out) {
    char dir[kFilePathMax] = {};
    uint32_t length = plat::GetTempPathA(256, dir);
    if (length == 0 || length >= 256) return nullptr;
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
    plat::FileHandle file = plat::CreateFileA(full, plat::GENERIC_WRITE, 0, nullptr, plat::CREATE_NEW,
                                              plat::FILE_ATTRIBUTE_NORMAL);
    if (file == plat::INVALID_HANDLE_VALUE) return nullptr;
    if (out) std::memcpy(out, full, std::strlen(full) + 1);
    return file;
}

}  // namespace tessra
