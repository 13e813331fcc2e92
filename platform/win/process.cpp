// Starting programs, ending the process, the module handle and shared libraries.
#include <dlfcn.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/win/internal.h"
#include "platform/win/process.h"

extern char** environ;

namespace plat {
namespace {

std::mutex g_mutex;
bool g_record = false;
std::vector<testing::ProcessStart> g_starts;

// Splits a command line into words: spaces separate, double quotes group.
std::vector<std::string> SplitCommandLine(const char* line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool any = false;
    for (const char* p = line; *p != '\0'; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            any = true;
        } else if ((*p == ' ' || *p == '\t') && !quoted) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += *p;
            any = true;
        }
    }
    if (any) words.push_back(word);
    return words;
}

bool IsExecutable(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The program's path: as given when it has a directory part, else the program's directory,
// then the current directory; a missing ".exe" name is tried without the suffix.
std::string FindProgram(std::string name) {
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    std::vector<std::string> names{name};
    if (name.size() > 4 && detail::LowerAscii(name.c_str() + name.size() - 4) == ".exe") {
        names.push_back(name.substr(0, name.size() - 4));
    }
    for (const std::string& candidate : names) {
        if (candidate.find('/') != std::string::npos) {
            if (IsExecutable(candidate)) return candidate;
            continue;
        }
        std::string dir = detail::ProgramDirectory();
        if (!dir.empty() && IsExecutable(dir + candidate)) return dir + candidate;
        if (IsExecutable("./" + candidate)) return "./" + candidate;
    }
    return std::string();
}

}  // namespace

UINT WinExec(const char* commandLine, UINT showCommand) {
    if (commandLine == nullptr) return 0;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_record) {
            g_starts.push_back(testing::ProcessStart{commandLine, showCommand});
            return 33;
        }
    }
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) return ERROR_FILE_NOT_FOUND;
    std::string path = FindProgram(words[0]);
    if (path.empty()) return ERROR_FILE_NOT_FOUND;
    std::vector<char*> argv;
    argv.push_back(path.data());
    for (size_t i = 1; i < words.size(); ++i) argv.push_back(words[i].data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return 0;
    return 33;
}

void ExitProcess(UINT exitCode) {
    std::fflush(nullptr);
    // Like the desktop call, no static destructors run: other threads may still be working.
    _exit(static_cast<int>(exitCode));
}

HMODULE GetModuleHandleA(const char* name) {
    static char self;
    if (name != nullptr) return nullptr;
    return reinterpret_cast<HMODULE>(&self);
}

HMODULE LoadLibraryA(const char* fileName) {
    if (fileName == nullptr) return nullptr;
    return static_cast<HMODULE>(dlopen(fileName, RTLD_NOW | RTLD_LOCAL));
}

void* GetProcAddress(HMODULE module, const char* name) {
    if (module == nullptr || name == nullptr) return nullptr;
    return dlsym(module, name);
}

BOOL FreeLibrary(HMODULE module) {
    if (module == nullptr) return FALSE;
    return dlclose(module) == 0 ? TRUE : FALSE;
}

namespace testing {

void RecordProcessStarts(bool record) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_record = record;
}

std::vector<ProcessStart> RecordedProcessStarts() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_starts;
}

}  // namespace testing

namespace detail {

void ResetProcessControls() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_record = false;
    g_starts.clear();
}

std::string ProgramDirectory() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    std::string path(buffer, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace detail
}  // namespace plat
