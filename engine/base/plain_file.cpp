#include "engine/base/plain_file.h"

#include <algorithm>
#include <cstring>

#include "engine/base/file_memory.h"
#include "engine/base/sjis.h"
#include "platform/win/thread.h"

namespace tessra {

using namespace sjis_literals;

namespace {

PlainFileRecord* AsPlain(StreamHandle handle) {
    return reinterpret_cast<PlainFileRecord*>(handle);
}

}  // namespace

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

}  // namespace tessra
