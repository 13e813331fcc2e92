// The builder's shared helpers: producer registration and careful file writing.
#include "tools/databuild/databuild.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace databuild {

namespace {

std::vector<Producer>& Producers() {
    static std::vector<Producer> producers;  // built before main by the static registrations
    return producers;
}

std::string& ContactSheet() {
    static std::string path;
    return path;
}

bool WriteAll(int fd, const uint8_t* p, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string ParentOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return "";
    return path.substr(0, slash);
}

}  // namespace

RegisterProducer::RegisterProducer(const char* name, int order, bool (*run)(const std::string&)) {
    Producers().push_back(Producer{name, order, run});
}

std::vector<Producer> RegisteredProducers() {
    std::vector<Producer> list = Producers();
    std::stable_sort(list.begin(), list.end(), [](const Producer& a, const Producer& b) {
        if (a.order != b.order) return a.order < b.order;
        return std::strcmp(a.name, b.name) < 0;
    });
    return list;
}

const std::string& ContactSheetPath() {
    return ContactSheet();
}
void SetContactSheetPath(const std::string& path) {
    ContactSheet() = path;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

bool MakeDirectories(const std::string& path) {
    if (path.empty()) return true;
    std::string partial;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t next = path.find('/', pos);
        if (next == std::string::npos) next = path.size();
        partial = path.substr(0, next);
        if (!partial.empty() && ::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) {
            std::fprintf(stderr, "databuild: cannot make the folder %s: %s\n", partial.c_str(),
                         std::strerror(errno));
            return false;
        }
        pos = next + 1;
    }
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "databuild: %s is not a folder\n", path.c_str());
        return false;
    }
    return true;
}

bool WriteFileAtomic(const std::string& path, const void* data, size_t size) {
    if (!MakeDirectories(ParentOf(path))) return false;
    const std::string temp = path + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        std::fprintf(stderr, "databuild: cannot write %s: %s\n", temp.c_str(),
                     std::strerror(errno));
        return false;
    }
    bool ok = WriteAll(fd, static_cast<const uint8_t*>(data), size) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "databuild: cannot write %s: %s\n", path.c_str(),
                     std::strerror(errno ? errno : savedErrno));
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes) {
    return WriteFileAtomic(path, bytes.data(), bytes.size());
}

bool WriteFileAtomic(const std::string& path, const std::string& bytes) {
    return WriteFileAtomic(path, bytes.data(), bytes.size());
}

bool PadFileToSize(const std::string& path, uint64_t size) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        std::fprintf(stderr, "databuild: cannot pad %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    const uint64_t have = static_cast<uint64_t>(st.st_size);
    if (have > size) {
        std::fprintf(stderr, "databuild: %s holds %llu bytes, more than the %llu it must have\n",
                     path.c_str(), static_cast<unsigned long long>(have),
                     static_cast<unsigned long long>(size));
        return false;
    }
    if (have == size) return true;
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "databuild: cannot pad %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    const std::vector<uint8_t> zeros(static_cast<size_t>(size - have), 0);
    bool ok = WriteAll(fd, zeros.data(), zeros.size()) && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "databuild: cannot pad %s: %s\n", path.c_str(), std::strerror(errno));
    }
    return ok;
}

}  // namespace databuild
