// Single instance across processes: a lock file per window class, held while this process
// has the class's windows, in the system's runtime directory.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include "platform/testing.h"
#include "platform/win/internal.h"
#include "platform/win/thread.h"

namespace plat {
namespace {

std::mutex g_mutex;
std::string g_key;                  // empty: the class name alone
std::map<std::string, int> g_held;  // lock path -> open descriptor

std::string RuntimeDirectory() {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    if (dir != nullptr && *dir != '\0' && access(dir, W_OK) == 0) return dir;
    return "/tmp";
}

std::string PathLocked(const char* className) {
    std::string name = g_key.empty() ? std::string() : g_key + ".";
    name += detail::LowerAscii(className);
    for (char& c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '.' && c != '-' && c != '_') c = '_';
    }
    return RuntimeDirectory() + "/tessra-instance-" + name + ".lock";
}

}  // namespace

namespace detail {

bool InstanceHeldElsewhere(const char* className) {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::string path = PathLocked(className);
    if (g_held.count(path) != 0) return false;  // held by this process
    // Only holders make the file: no file, no holder.
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    bool busy = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);  // also lets go of the lock when it was free
    return busy;
}

void AcquireInstanceLock(const char* className) {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::string path = PathLocked(className);
    if (g_held.count(path) != 0) return;
    // Not inherited by programs this one starts, so a restart is not refused by its parent.
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return;
    }
    g_held[path] = fd;
}

void ReleaseInstanceLock(const char* className) {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::string path = PathLocked(className);
    auto it = g_held.find(path);
    if (it == g_held.end()) return;
    // Files of a test's own key would pile up otherwise; the program's own key keeps its file,
    // since removing a lock file another process may be opening could let two instances in.
    if (!g_key.empty()) unlink(path.c_str());
    close(it->second);
    g_held.erase(it);
}

void ResetInstanceControls() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_key.clear();
}

}  // namespace detail

namespace testing {

void SetInstanceLockKey(const std::string& key) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_key = key;
}

void UsePrivateInstanceLockKey() {
    SetInstanceLockKey("pid" + std::to_string(GetCurrentProcessId()));
}

std::string InstanceLockPath(const char* className) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return PathLocked(className);
}

}  // namespace testing
}  // namespace plat
