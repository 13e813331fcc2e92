#include "engine/base/file_access.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>

#include "engine/base/archive.h"
#include "engine/base/file_memory.h"
#include "engine/base/sjis.h"
#include "engine/base/strings.h"
#include "platform/win/thread.h"

namespace tessra {

using namespace sjis_literals;

namespace {

const FileAccessFuncs kPlainSet = {OpenPlainFile,    ClosePlainFile, TellPlainFile,
                                   SeekPlainFile,    ReadPlainFile,  TestPlainFileEof,
                                   IsPlainFileReady, ChangePlainDir, GetPlainDir};

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

PlainFileRecord* AsPlain(StreamHandle handle) {
    return reinterpret_cast<PlainFileRecord*>(handle);
}

}  // namespace

const FileAccessFuncs* GetPlainFileAccessFuncs() {
    return &kPlainSet;
}
const FileAccessFuncs* GetArchiveFileAccessFuncs() {
    return &kArchiveSet;
}
const FileAccessFuncs* GetFileAccessFuncs() {
    return &gFileAccessFuncs;
}
int GetNoArchiveFlag() {
    return gNoArchiveFlag;
}

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
    return gFileAccessFuncs.ChangeDir(path);
}
int GetDirViaFileTable(char* buffer) {
    return gFileAccessFuncs.GetDir(buffer);
}

// ---- plain files ----

namespace {

constexpr int kCommandOpen = 0;
constexpr int kCommandClose = 1;
constexpr int kCommandRead = 2;
constexpr int kCommandSeek = 3;
constexpr int kCommandQuit = 4;

bool SeekTo(plat::FileHandle file, uint32_t position) {
    int32_t high = 0;
    return plat::SetFilePointer(file, static_cast<int32_t>(position), &high, plat::FILE_BEGIN) !=
           plat::INVALID_SET_FILE_POINTER;
}

void Signal(PlainFileThread* t) {
    plat::SetEvent(t->doneEvent);
}

void RunReadCommand(PlainFileThread* t) {
    t->readTotal = 0;
    if (t->readPosition == t->aheadPosition && t->aheadCount > 0) {
        const uint32_t n = std::min(t->readLength, t->aheadCount);
        std::memcpy(t->readDestination, t->ahead, n);
        t->readDestination += n;
        t->readPosition += n;
        t->readLength -= n;
        t->aheadCount -= n;
        t->aheadPosition += n;
        t->readTotal = n;
        std::memmove(t->ahead, t->ahead + n, t->aheadCount);
        if (t->readLength == 0) return;
    }
    uint32_t got = 0;
    if (SeekTo(t->file, t->readPosition))
        plat::ReadFile(t->file, t->readDestination, t->readLength, &got);
    t->readLength = got;
    t->readTotal += got;
    t->aheadPosition = t->readPosition + got;
    t->aheadCount = 0;
}

uint32_t RunFileReaderThread(void* parameter) {
    auto* t = static_cast<PlainFileThread*>(parameter);
    for (;;) {
        // Between requests, fill the read-ahead buffer behind what it holds.
        while (plat::WaitForSingleObject(t->requestEvent, 100) == plat::WAIT_TIMEOUT) {
            if (!t->file || t->aheadCount >= kReaderAheadSize) continue;
            uint32_t got = 0;
            if (SeekTo(t->file, t->aheadPosition + t->aheadCount))
                plat::ReadFile(t->file, t->ahead + t->aheadCount, kReaderAheadSize - t->aheadCount,
                               &got);
            t->aheadCount += got;
        }
        plat::ResetEvent(t->requestEvent);
        plat::ResetEvent(t->doneEvent);
        switch (t->command) {
            case kCommandOpen:
                t->file = plat::CreateFileA(t->fileName, plat::GENERIC_READ, 0, nullptr,
                                            plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
                if (t->file == plat::INVALID_HANDLE_VALUE) {
                    t->file = nullptr;
                    t->openFailed = 1;
                    t->threadEnded = 1;
                    Signal(t);
                    return 0;
                }
                break;
            case kCommandClose:
                if (t->file) plat::CloseHandle(t->file);
                t->file = nullptr;
                break;
            case kCommandRead:
                RunReadCommand(t);
                break;
            case kCommandSeek:
                if (t->file) SeekTo(t->file, t->seekTarget);
                t->aheadPosition = t->seekTarget;
                t->aheadCount = 0;
                break;
            case kCommandQuit:
                if (t->file) plat::CloseHandle(t->file);
                t->file = nullptr;
                t->threadEnded = 1;
                Signal(t);
                return 0;
            default:
                break;
        }
        Signal(t);
    }
}

// Hands a command to the reader thread; with wait, returns once it is done.
void IssueCommand(PlainFileThread* t, int command, bool wait) {
    plat::WaitForSingleObject(t->doneEvent, plat::INFINITE);
    t->command = command;
    plat::ResetEvent(t->doneEvent);
    plat::SetEvent(t->requestEvent);
    if (wait) plat::WaitForSingleObject(t->doneEvent, plat::INFINITE);
}

// Releases the thread part once the thread has ended: it may still be between its last
// signal and its return, so its handle is waited on before the memory goes.
void ReleaseThread(PlainFileThread* t) {
    if (t->threadHandle) {
        plat::WaitForSingleObject(t->threadHandle, plat::INFINITE);
        plat::CloseHandle(t->threadHandle);
    }
    if (t->requestEvent) plat::CloseHandle(t->requestEvent);
    if (t->doneEvent) plat::CloseHandle(t->doneEvent);
    FreeFileMemory(t);
}

}  // namespace

StreamHandle OpenPlainFile(const char* name, int asyncFlag, int /*readFlag*/) {
    if (!name) return 0;
    auto* record = static_cast<PlainFileRecord*>(AllocFileMemory(sizeof(PlainFileRecord)));
    if (!record) return 0;
    plat::FileHandle file =
        plat::CreateFileA(name, plat::GENERIC_READ, plat::FILE_SHARE_READ, nullptr,
                          plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
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
    record->size = size;
    record->position = 0;
    record->eofFlag = 0;
    if (asyncFlag != 1) {
        record->fileHandle = file;
        return reinterpret_cast<StreamHandle>(record);
    }

    // The reader thread opens the file itself; this handle only gave the size.
    plat::CloseHandle(file);
    record->asyncFlag = 1;
    const size_t nameLength = std::strlen(name);
    auto* t = nameLength < kFilePathMax
                  ? static_cast<PlainFileThread*>(AllocFileMemory(sizeof(PlainFileThread)))
                  : nullptr;
    if (!t) {
        FreeFileMemory(record);
        return 0;
    }
    t->requestEvent = plat::CreateEventA(nullptr, plat::TRUE, plat::FALSE, nullptr);
    t->doneEvent = plat::CreateEventA(nullptr, plat::TRUE, plat::TRUE, nullptr);
    if (t->requestEvent && t->doneEvent)
        t->threadHandle = plat::CreateThread(nullptr, 0, RunFileReaderThread, t, 0, &t->threadId);
    if (!t->threadHandle) {
        ReleaseThread(t);
        FreeFileMemory(record);
        LogFileMessage("ファイルアクセス専用スレッドの作成に失敗しました\n"_sjis);
        return 0;
    }
    std::memcpy(t->fileName, name, nameLength + 1);
    IssueCommand(t, kCommandOpen, true);
    if (t->openFailed == 1) {
        ReleaseThread(t);
        FreeFileMemory(record);
        LogFileMessage("ファイルのオープンに失敗しました\n"_sjis);
        return 0;
    }
    record->thread = t;
    return reinterpret_cast<StreamHandle>(record);
}

int ClosePlainFile(StreamHandle handle) {
    PlainFileRecord* record = AsPlain(handle);
    if (!record) return -1;
    int closed = 1;
    if (record->thread) {
        // The thread closes its own handle and there is none here to fail: an orderly stop
        // is a success, not the failure that closing the record's empty handle would report.
        IssueCommand(record->thread, kCommandQuit, true);
        ReleaseThread(record->thread);
    } else {
        closed = plat::CloseHandle(record->fileHandle);
    }
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
    if (!SeekTarget(origin, offset, record->position, record->size, &target)) return -1;
    if (target < 0 || target > 0xFFFFFFFEll) return -1;  // positions are 32-bit
    if (record->thread) {
        plat::WaitForSingleObject(record->thread->doneEvent, plat::INFINITE);  // the last command
        record->thread->seekTarget = static_cast<uint32_t>(target);
        IssueCommand(record->thread, kCommandSeek, false);
    } else if (!SeekTo(record->fileHandle, static_cast<uint32_t>(target))) {
        return -1;
    }
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
    int ok = 1;
    if (record->thread) {
        PlainFileThread* t = record->thread;
        plat::WaitForSingleObject(t->doneEvent, plat::INFINITE);  // a seek may still be running
        t->readDestination = static_cast<uint8_t*>(buffer);
        t->readPosition = record->position;
        t->readLength = static_cast<uint32_t>(n * itemSize);
        IssueCommand(t, kCommandRead, true);
        got = t->readTotal;
    } else {
        ok = plat::ReadFile(record->fileHandle, buffer, static_cast<uint32_t>(n * itemSize), &got);
    }
    record->position += got;  // what arrived, not what was asked for
    if (!ok) return 0;
    return static_cast<int64_t>(got / itemSize);
}

int TestPlainFileEof(StreamHandle handle) {
    PlainFileRecord* record = AsPlain(handle);
    if (!record) return -1;
    return record->eofFlag ? -1 : 0;
}

int IsPlainFileReady(StreamHandle handle) {
    PlainFileRecord* record = AsPlain(handle);
    if (!record || !record->thread) return 1;
    return plat::WaitForSingleObject(record->thread->doneEvent, 0) == plat::WAIT_OBJECT_0 ? 1 : 0;
}

int ChangePlainDir(const char* path) {
    return plat::SetCurrentDirectoryA(path);
}

int GetPlainDir(char* buffer) {
    return static_cast<int>(
        plat::GetCurrentDirectoryA(static_cast<uint32_t>(kFilePathMax), buffer));
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
        // '/' separates here as everywhere else, so "C:/x" is not an empty first component.
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
                if (c == '\\' || c == '/')
                    cut = i;
                else if (c == ':')
                    cut = i + 1;  // the drive stays
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
    plat::FileHandle file = plat::CreateFileA(full, plat::GENERIC_WRITE, 0, nullptr,
                                              plat::CREATE_NEW, plat::FILE_ATTRIBUTE_NORMAL);
    if (file == plat::INVALID_HANDLE_VALUE) return nullptr;
    if (out) std::memcpy(out, full, std::strlen(full) + 1);
    return file;
}

}  // namespace tessra
