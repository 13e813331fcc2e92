#include "platform/win/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win/codepage.h"

namespace plat {

struct FileObject {
    int fd;
};

namespace {

// ASCII letters folded to lower case; the trail byte of a Shift-JIS pair is left alone.
std::string FoldCase(const std::string& s) {
    std::string out = s;
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsSjisLeadByte(c) && i + 1 < out.size()) {
            ++i;
            continue;
        }
        if (c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string Join(const std::string& base, const std::string& name) {
    if (base.empty()) return name;
    if (base.back() == '/') return base + name;
    return base + "/" + name;
}

// (resolved parent + '\0' + folded component) -> the name found on disk.
std::mutex g_cacheMutex;
std::unordered_map<std::string, std::string> g_pathCache;
constexpr size_t kPathCacheLimit = 8192;

std::mutex g_tempMutex;
std::string g_tempOverride;

// The component's name as it exists in directory `base`, matched by case when the exact name
// is absent; empty when there is none.
std::string ResolveComponent(const std::string& base, const std::string& component) {
    const std::string folded = FoldCase(component);
    std::string key = base;
    key.push_back('\0');
    key += folded;
    {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        auto it = g_pathCache.find(key);
        if (it != g_pathCache.end()) {
            if (Exists(Join(base, it->second))) return it->second;
            g_pathCache.erase(it);
        }
    }
    DIR* dir = ::opendir(base.empty() ? "." : base.c_str());
    if (!dir) return {};
    std::string found;
    while (dirent* entry = ::readdir(dir)) {
        if (FoldCase(entry->d_name) == folded) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    if (!found.empty()) {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        if (g_pathCache.size() >= kPathCacheLimit) g_pathCache.clear();
        g_pathCache[key] = found;
    }
    return found;
}

int OpenFlags(uint32_t access, uint32_t disposition, bool* ok) {
    int flags = 0;
    bool read = (access & GENERIC_READ) != 0;
    bool write = (access & GENERIC_WRITE) != 0;
    if (read && write)
        flags = O_RDWR;
    else if (write)
        flags = O_WRONLY;
    else
        flags = O_RDONLY;
    *ok = true;
    switch (disposition) {
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC;
            break;
        case OPEN_EXISTING:
            break;
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case TRUNCATE_EXISTING:
            flags |= O_TRUNC;
            break;
        default:
            *ok = false;
            break;
    }
    if ((flags & O_TRUNC) && !write) *ok = false;  // truncation needs write access
    return flags | O_CLOEXEC;
}

bool ValidHandle(FileHandle file) {
    return file != nullptr && file != INVALID_HANDLE_VALUE;
}

uint32_t CopyOut(const std::string& text, uint32_t bufferLength, char* buffer) {
    if (text.size() + 1 > bufferLength || !buffer) return static_cast<uint32_t>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<uint32_t>(text.size());
}

FileHandle CreateFileMapped(const std::string& path, uint32_t access, uint32_t disposition,
                            int* error) {
    bool ok = false;
    int flags = OpenFlags(access, disposition, &ok);
    *error = EINVAL;
    if (!ok || path.empty()) return INVALID_HANDLE_VALUE;
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        *error = errno;
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        *error = EISDIR;
        return INVALID_HANDLE_VALUE;
    }
    *error = 0;
    return new FileObject{fd};
}

}  // namespace

std::string MapPath(const char* windowsPath) {
    if (!windowsPath) return {};
    const std::string in = windowsPath;
    size_t i = 0;
    bool absolute = false;
    if (in.size() >= 2 && in[1] == ':' &&
        ((in[0] >= 'A' && in[0] <= 'Z') || (in[0] >= 'a' && in[0] <= 'z'))) {
        i = 2;  // one drive: "C:" is the root, "C:name" is relative to the current directory
        if (i < in.size() && (in[i] == '\\' || in[i] == '/')) absolute = true;
    } else if (!in.empty() && (in[0] == '\\' || in[0] == '/')) {
        absolute = true;
    }

    // Split into components with a forward scan, so a trail byte 0x5C stays in its name.
    std::vector<std::string> components;
    std::string current;
    for (; i < in.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        if (IsSjisLeadByte(c) && i + 1 < in.size()) {
            current.push_back(in[i]);
            current.push_back(in[++i]);
            continue;
        }
        if (c == '\\' || c == '/') {
            if (!current.empty()) components.push_back(current);
            current.clear();
            continue;
        }
        current.push_back(in[i]);
    }
    if (!current.empty()) components.push_back(current);
    bool trailingSeparator =
        !in.empty() && (in.back() == '\\' || in.back() == '/') && !components.empty();

    std::string out = absolute ? "/" : "";
    bool resolving = true;
    for (const std::string& component : components) {
        std::string exact = Join(out, component);
        if (!resolving || component == "." || component == ".." || Exists(exact)) {
            out = exact;
            continue;
        }
        std::string found = ResolveComponent(out, component);
        if (found.empty()) {
            resolving = false;  // nothing below a missing component can exist
            out = exact;
        } else {
            out = Join(out, found);
        }
    }
    if (out.empty() && (absolute || in.size() >= 2)) out = absolute ? "/" : ".";
    if (trailingSeparator && out.back() != '/') out.push_back('/');
    return out;
}

std::string ToDrivePath(const std::string& posixPath) {
    std::string out;
    if (!posixPath.empty() && posixPath[0] == '/') out = "C:";
    for (char c : posixPath) out.push_back(c == '/' ? '\\' : c);
    if (out == "C:") out = "C:\\";
    return out;
}

FileHandle CreateFileA(const char* name, uint32_t access, uint32_t /*shareMode*/,
                       void* /*security*/, uint32_t disposition, uint32_t /*attributes*/,
                       void* /*templateFile*/) {
    if (!name || !*name) return INVALID_HANDLE_VALUE;
    int error = 0;
    return CreateFileMapped(MapPath(name), access, disposition, &error);
}

int ReadFile(FileHandle file, void* buffer, uint32_t bytesToRead, uint32_t* bytesRead, void*) {
    if (bytesRead) *bytesRead = 0;
    if (!ValidHandle(file) || (!buffer && bytesToRead > 0)) return 0;
    uint32_t total = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (total < bytesToRead) {
        ssize_t n = ::read(file->fd, out + total, bytesToRead - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (bytesRead) *bytesRead = total;
            return 0;
        }
        if (n == 0) break;
        total += static_cast<uint32_t>(n);
    }
    if (bytesRead) *bytesRead = total;
    return 1;
}

int WriteFile(FileHandle file, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten,
              void*) {
    if (bytesWritten) *bytesWritten = 0;
    if (!ValidHandle(file) || (!buffer && bytesToWrite > 0)) return 0;
    uint32_t total = 0;
    auto* in = static_cast<const unsigned char*>(buffer);
    while (total < bytesToWrite) {
        ssize_t n = ::write(file->fd, in + total, bytesToWrite - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (bytesWritten) *bytesWritten = total;
            return 0;
        }
        total += static_cast<uint32_t>(n);
    }
    if (bytesWritten) *bytesWritten = total;
    return 1;
}

uint32_t SetFilePointer(FileHandle file, int32_t distance, int32_t* distanceHigh, uint32_t method) {
    if (!ValidHandle(file)) return INVALID_SET_FILE_POINTER;
    int64_t move = distance;
    if (distanceHigh)
        move = static_cast<int64_t>(
            (static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
            static_cast<uint32_t>(distance));
    int64_t base = 0;
    if (method == FILE_CURRENT) {
        base = ::lseek(file->fd, 0, SEEK_CUR);
    } else if (method == FILE_END) {
        struct stat st;
        base = ::fstat(file->fd, &st) == 0 ? st.st_size : -1;
    } else if (method != FILE_BEGIN) {
        return INVALID_SET_FILE_POINTER;
    }
    if (base < 0) return INVALID_SET_FILE_POINTER;
    int64_t target = base + move;
    if (target < 0 || ::lseek(file->fd, target, SEEK_SET) < 0) return INVALID_SET_FILE_POINTER;
    if (distanceHigh) *distanceHigh = static_cast<int32_t>(static_cast<uint64_t>(target) >> 32);
    return static_cast<uint32_t>(target);
}

uint32_t GetFileSize(FileHandle file, uint32_t* sizeHigh) {
    struct stat st;
    if (!ValidHandle(file) || ::fstat(file->fd, &st) != 0) return INVALID_FILE_SIZE;
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (sizeHigh) *sizeHigh = static_cast<uint32_t>(size >> 32);
    return static_cast<uint32_t>(size);
}

int CloseHandle(FileHandle file) {
    if (!ValidHandle(file)) return 0;
    int result = ::close(file->fd);
    delete file;
    return result == 0 ? 1 : 0;
}

namespace {

std::mutex g_syncLogMutex;
std::vector<std::string> g_syncLog;

void NoteSync(const std::string& entry) {
    std::lock_guard<std::mutex> lock(g_syncLogMutex);
    g_syncLog.push_back(entry);
}

std::string Resolved(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string out = real;
    std::free(real);
    return out;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

int FlushFileBuffers(FileHandle file) {
    if (!ValidHandle(file)) return 0;
    int r;
    do {
        r = ::fsync(file->fd);
    } while (r != 0 && errno == EINTR);
    if (r != 0) return 0;
    NoteSync("flush " + Resolved("/proc/self/fd/" + std::to_string(file->fd)));
    return 1;
}

int MoveFileExA(const char* existingName, const char* newName, uint32_t flags) {
    if (!existingName || !*existingName || !newName || !*newName) return 0;
    const std::string from = MapPath(existingName);
    const std::string to = MapPath(newName);
    struct stat st;
    if (!(flags & MOVEFILE_REPLACE_EXISTING) && ::lstat(to.c_str(), &st) == 0) return 0;
    const std::string fromResolved = Resolved(from);
    if (::rename(from.c_str(), to.c_str()) != 0) return 0;
    const std::string folder = Resolved(FolderOf(to));
    NoteSync("move " + fromResolved + " " + Resolved(to));
    if (flags & MOVEFILE_WRITE_THROUGH) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return 0;
        int r;
        do {
            r = ::fsync(fd);
        } while (r != 0 && errno == EINTR);
        ::close(fd);
        if (r != 0) return 0;
        NoteSync("flush folder " + folder);
    }
    return 1;
}

std::vector<std::string> TakeDiskSyncLog() {
    std::lock_guard<std::mutex> lock(g_syncLogMutex);
    std::vector<std::string> out;
    out.swap(g_syncLog);
    return out;
}

int DeleteFileA(const char* name) {
    if (!name || !*name) return 0;
    std::string path = MapPath(name);
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return 0;
    return ::unlink(path.c_str()) == 0 ? 1 : 0;
}

int CreateDirectoryA(const char* name, void*) {
    if (!name || !*name) return 0;
    return ::mkdir(MapPath(name).c_str(), 0777) == 0 ? 1 : 0;
}

uint32_t GetFileAttributesA(const char* name) {
    if (!name || !*name) return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (::stat(MapPath(name).c_str(), &st) != 0) return INVALID_FILE_ATTRIBUTES;
    uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if ((st.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

int SetFileAttributesA(const char* name, uint32_t attributes) {
    if (!name || !*name) return 0;
    std::string path = MapPath(name);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return 0;
    mode_t mode = st.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    return ::chmod(path.c_str(), mode) == 0 ? 1 : 0;
}

uint32_t GetCurrentDirectoryA(uint32_t bufferLength, char* buffer) {
    std::vector<char> cwd(4096);
    while (!::getcwd(cwd.data(), cwd.size())) {
        if (errno != ERANGE || cwd.size() > (1u << 20)) return 0;
        cwd.resize(cwd.size() * 2);
    }
    return CopyOut(ToDrivePath(cwd.data()), bufferLength, buffer);
}

int SetCurrentDirectoryA(const char* path) {
    if (!path || !*path) return 0;
    return ::chdir(MapPath(path).c_str()) == 0 ? 1 : 0;
}

uint32_t GetTempPathA(uint32_t bufferLength, char* buffer) {
    std::string dir;
    {
        std::lock_guard<std::mutex> lock(g_tempMutex);
        dir = g_tempOverride;
    }
    if (dir.empty()) {
        const char* env = std::getenv("TMPDIR");
        dir = env && *env == '/' ? env : "/tmp";
    }
    std::string out = ToDrivePath(dir);
    if (out.back() != '\\') out.push_back('\\');
    return CopyOut(out, bufferLength, buffer);
}

uint32_t GetTempFileNameA(const char* directory, const char* prefix, uint32_t unique, char* out) {
    if (!directory || !out) return 0;
    std::string dir = directory;
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir.push_back('\\');
    std::string pre = prefix ? std::string(prefix).substr(0, 3) : std::string();
    auto makeName = [&](uint32_t number) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%X", number & 0xFFFFu);
        return dir + pre + hex + ".TMP";
    };
    auto copyName = [&](const std::string& name) {
        if (name.size() >= static_cast<size_t>(MAX_PATH)) return false;
        std::memcpy(out, name.c_str(), name.size() + 1);
        return true;
    };
    if (unique != 0) {
        unique &= 0xFFFFu;
        if (unique == 0) unique = 1;
        return copyName(makeName(unique)) ? unique : 0;
    }
    static std::mutex counterMutex;
    static uint32_t counter = 0;
    uint32_t start;
    {
        std::lock_guard<std::mutex> lock(counterMutex);
        if (counter == 0) counter = static_cast<uint32_t>(::getpid()) * 2654435761u;
        start = ++counter;
    }
    for (uint32_t attempt = 0; attempt < 0xFFFFu; ++attempt) {
        uint32_t number = (start + attempt) & 0xFFFFu;
        if (number == 0) continue;
        std::string name = makeName(number);
        if (name.size() >= static_cast<size_t>(MAX_PATH)) return 0;
        int error = 0;
        FileHandle file =
            CreateFileMapped(MapPath(name.c_str()), GENERIC_WRITE, CREATE_NEW, &error);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            {
                std::lock_guard<std::mutex> lock(counterMutex);
                counter = start + attempt;
            }
            return copyName(name) ? number : 0;
        }
        if (error != EEXIST) return 0;
    }
    return 0;
}

std::FILE* OpenCrtFile(const char* name, const char* mode) {
    if (!name || !*name || !mode) return nullptr;
    return std::fopen(MapPath(name).c_str(), mode);
}

void ClearPathCache() {
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_pathCache.clear();
}

void SetTempDirectoryForTesting(const char* posixDirectory) {
    std::lock_guard<std::mutex> lock(g_tempMutex);
    g_tempOverride = posixDirectory ? posixDirectory : "";
}

}  // namespace plat
