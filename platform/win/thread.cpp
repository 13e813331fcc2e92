// Threads, events and critical sections on the C++ standard library and POSIX.
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/win/internal.h"
#include "platform/win/thread.h"

namespace plat {
namespace {

// Thread ids skip 0 and 0xFFFFFFFF, which the callers use as "none".
std::atomic<DWORD> g_nextThreadId{0x100};
thread_local DWORD t_threadId = 0;

// Drops the thread's queue when the thread ends.
struct QueueRelease {
    DWORD id = 0;
    ~QueueRelease() {
        if (id != 0) detail::RemoveQueue(id);
    }
};
thread_local QueueRelease t_queueRelease;

DWORD NewThreadId() {
    for (;;) {
        DWORD id = g_nextThreadId.fetch_add(1);
        if (id != 0 && id != 0xFFFFFFFFu) return id;
    }
}

// A kernel object: an event or a thread's end, both waited on the same way.
struct Object {
    enum class Kind { Event, Thread } kind;
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;
    bool manualReset = true;
    // Threads only.
    DWORD exitCode = STILL_ACTIVE;
    DWORD threadId = 0;
    std::thread thread;
};

// Never destroyed: threads may still be running while the process exits.
struct HandleTable {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects;
    uintptr_t next = 0x1000;
};
HandleTable& Handles() {
    static HandleTable* table = new HandleTable;
    return *table;
}

HANDLE AddHandle(std::shared_ptr<Object> object) {
    HandleTable& table = Handles();
    std::lock_guard<std::mutex> lock(table.mutex);
    uintptr_t value = table.next;
    table.next += 4;
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<Object> FindHandle(HANDLE handle) {
    HandleTable& table = Handles();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == table.objects.end() ? nullptr : it->second;
}

struct ThreadStart {
    std::shared_ptr<Object> object;
    LPTHREAD_START_ROUTINE start;
    void* parameter;
};

void RunThread(ThreadStart start) {
    t_threadId = start.object->threadId;
    t_queueRelease.id = t_threadId;
    DWORD code = start.start(start.parameter);
    // The queue goes before the thread counts as ended, so a waiter sees both at once.
    detail::RemoveQueue(t_threadId);
    t_queueRelease.id = 0;
    std::shared_ptr<Object> object = std::move(start.object);
    {
        std::lock_guard<std::mutex> lock(object->mutex);
        object->exitCode = code;
        object->signalled = true;
    }
    object->changed.notify_all();
}

}  // namespace

DWORD GetCurrentThreadId() {
    if (t_threadId == 0) {
        t_threadId = NewThreadId();
        detail::EnsureQueue(t_threadId);
        t_queueRelease.id = t_threadId;
    }
    return t_threadId;
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(getpid());
}

HANDLE CreateThread(void*, SIZE_T, LPTHREAD_START_ROUTINE start, void* parameter, DWORD,
                    DWORD* threadId) {
    if (start == nullptr) return nullptr;
    auto object = std::make_shared<Object>();
    object->kind = Object::Kind::Thread;
    object->manualReset = true;
    object->threadId = NewThreadId();
    // The queue exists before the thread runs, so others may post to it at once.
    detail::EnsureQueue(object->threadId);
    try {
        object->thread = std::thread(RunThread, ThreadStart{object, start, parameter});
    } catch (const std::system_error&) {
        return nullptr;
    }
    if (threadId != nullptr) *threadId = object->threadId;
    return AddHandle(object);
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
    std::shared_ptr<Object> object = FindHandle(thread);
    if (!object || object->kind != Object::Kind::Thread || exitCode == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(object->mutex);
    *exitCode = object->exitCode;
    return TRUE;
}

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, const char*) {
    auto object = std::make_shared<Object>();
    object->kind = Object::Kind::Event;
    object->manualReset = manualReset != FALSE;
    object->signalled = initialState != FALSE;
    return AddHandle(object);
}

BOOL SetEvent(HANDLE event) {
    std::shared_ptr<Object> object = FindHandle(event);
    if (!object || object->kind != Object::Kind::Event) return FALSE;
    {
        std::lock_guard<std::mutex> lock(object->mutex);
        object->signalled = true;
    }
    if (object->manualReset) {
        object->changed.notify_all();
    } else {
        object->changed.notify_one();
    }
    return TRUE;
}

BOOL ResetEvent(HANDLE event) {
    std::shared_ptr<Object> object = FindHandle(event);
    if (!object || object->kind != Object::Kind::Event) return FALSE;
    std::lock_guard<std::mutex> lock(object->mutex);
    object->signalled = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    std::shared_ptr<Object> object = FindHandle(handle);
    if (!object) return WAIT_FAILED;
    std::unique_lock<std::mutex> lock(object->mutex);
    auto ready = [&] { return object->signalled; };
    if (milliseconds == INFINITE) {
        object->changed.wait(lock, ready);
    } else if (!object->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ready)) {
        return WAIT_TIMEOUT;
    }
    if (object->kind == Object::Kind::Event && !object->manualReset) object->signalled = false;
    return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE handle) {
    std::shared_ptr<Object> object;
    {
        HandleTable& table = Handles();
        std::lock_guard<std::mutex> lock(table.mutex);
        auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
        if (it == table.objects.end()) return FALSE;
        object = std::move(it->second);
        table.objects.erase(it);
    }
    if (object->kind == Object::Kind::Thread && object->thread.joinable()) {
        bool ended;
        {
            std::lock_guard<std::mutex> lock(object->mutex);
            ended = object->signalled;
        }
        // A thread that has ended is joined; a running one goes on by itself.
        if (ended && object->thread.get_id() != std::this_thread::get_id()) {
            object->thread.join();
        } else {
            object->thread.detach();
        }
    }
    return TRUE;
}

namespace {

pthread_mutex_t* MutexOf(CRITICAL_SECTION* section) {
    if (section == nullptr || section->impl == nullptr) {
        std::fprintf(stderr, "platform: critical section used before InitializeCriticalSection\n");
        std::abort();
    }
    return static_cast<pthread_mutex_t*>(section->impl);
}

}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* section) {
    if (section == nullptr) return;
    auto* mutex = new pthread_mutex_t;
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    section->impl = mutex;
}

void EnterCriticalSection(CRITICAL_SECTION* section) {
    pthread_mutex_lock(MutexOf(section));
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
    return pthread_mutex_trylock(MutexOf(section)) == 0 ? TRUE : FALSE;
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
    pthread_mutex_unlock(MutexOf(section));
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
    if (section == nullptr || section->impl == nullptr) return;
    auto* mutex = static_cast<pthread_mutex_t*>(section->impl);
    pthread_mutex_destroy(mutex);
    delete mutex;
    section->impl = nullptr;
}

}  // namespace plat
