#include "tools/packer/packer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>

#include "engine/base/archive.h"
#include "engine/base/archive_key.h"
#include "game/core/archive_key.h"

namespace fs = std::filesystem;

namespace packer {

namespace {

struct Node {
    std::string sourceName;  // the name on disk
    tessra::ArchiveSearchName name;
    bool directory = false;
    fs::path path;
    std::vector<Node> children;  // directories only
};

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

bool ReadTree(const fs::path& dir, Node* node, std::string* error) {
    std::error_code ec;
    std::map<std::string, Node> byArchiveName;  // sorted, and catches names that collide
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        Node child;
        child.sourceName = it->path().filename().string();
        child.path = it->path();
        const int length = tessra::MakeArchiveSearchName(child.sourceName.c_str(), &child.name);
        if (length < 0) {
            *error = "name too long: " + child.path.string();
            return false;
        }
        // The name ends at the first backslash that is not a Shift-JIS trail byte.
        if (static_cast<size_t>(length) != child.sourceName.size()) {
            *error = "name holds a backslash: " + child.path.string();
            return false;
        }
        if (it->is_directory(ec)) {
            child.directory = true;
            if (!ReadTree(child.path, &child, error)) return false;
        } else if (!it->is_regular_file(ec)) {
            continue;  // sockets, devices and broken links have no content to pack
        }
        std::string key(reinterpret_cast<const char*>(child.name.name));
        auto [at, inserted] = byArchiveName.emplace(key, std::move(child));
        if (!inserted) {
            *error = "names differ only by case: " + at->second.path.string() + " and " +
                     (dir / it->path().filename()).string();
            return false;
        }
    }
    if (ec) {
        *error = "cannot read directory " + dir.string() + ": " + ec.message();
        return false;
    }
    for (auto& [key, child] : byArchiveName) node->children.push_back(std::move(child));
    return true;
}

bool ReadFileBytes(const fs::path& path, std::vector<uint8_t>* bytes, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open " + path.string();
        return false;
    }
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        *error = "cannot read " + path.string();
        return false;
    }
    return true;
}

}  // namespace

std::string GameKeyText() {
    char text[16];
    std::snprintf(text, sizeof text, "%08d", static_cast<int>(velmora::kArchiveKeyNumber));
    return text;
}

bool BuildArchive(const std::string& sourceDir, const PackOptions& options,
                  std::vector<uint8_t>* archive, std::string* error) {
    if (options.version < 0 || options.version > tessra::kArchiveMaxVersion) {
        *error = "version must be 0 to 3";
        return false;
    }
    std::error_code ec;
    if (!fs::is_directory(sourceDir, ec)) {
        *error = "not a directory: " + sourceDir;
        return false;
    }
    Node root;
    root.directory = true;
    if (!ReadTree(sourceDir, &root, error)) return false;

    // Directories in breadth-first order; each one's entries lie together in the file table.
    std::vector<Node*> dirs{&root};
    std::vector<uint32_t> ownEntry{tessra::kArchiveNoParent};
    std::vector<uint32_t> parentOf{tessra::kArchiveNoParent};
    std::vector<uint32_t> firstEntry;
    uint32_t entryCount = 0;
    for (size_t d = 0; d < dirs.size(); ++d) {
        firstEntry.push_back(entryCount);
        for (Node& child : dirs[d]->children) {
            if (child.directory) {
                dirs.push_back(&child);
                ownEntry.push_back(entryCount);
                parentOf.push_back(static_cast<uint32_t>(d));
            }
            ++entryCount;
        }
    }

    const uint32_t entrySize =
        options.version >= 2 ? tessra::kArchiveEntrySizeV2 : tessra::kArchiveEntrySizeV0;
    uint64_t nameTableSize = 0;
    for (Node* dir : dirs)
        for (Node& child : dir->children) nameTableSize += 4 + uint64_t{child.name.units} * 4;
    const uint64_t fileTable = nameTableSize;
    const uint64_t dirTable = fileTable + uint64_t{entryCount} * entrySize;
    const uint64_t blockSize = dirTable + dirs.size() * uint64_t{tessra::kArchiveDirRecordSize};
    const uint64_t blockOffset = tessra::kArchiveHeaderSize;
    const uint64_t dataArea = blockOffset + blockSize;
    if (dataArea > 0xFFFFFFFFu) {
        *error = "too many names for one archive";
        return false;
    }

    std::vector<uint8_t> out(dataArea, 0);
    uint64_t nameAt = 0;
    uint64_t dataSize = 0;
    uint32_t entryIndex = 0;
    for (size_t d = 0; d < dirs.size(); ++d) {
        const uint64_t record = blockOffset + dirTable + d * tessra::kArchiveDirRecordSize;
        Put32(out, record,
              ownEntry[d] == tessra::kArchiveNoParent ? tessra::kArchiveNoParent
                                                      : ownEntry[d] * entrySize);
        Put32(out, record + 4,
              parentOf[d] == tessra::kArchiveNoParent
                  ? tessra::kArchiveNoParent
                  : parentOf[d] * tessra::kArchiveDirRecordSize);
        Put32(out, record + 8, static_cast<uint32_t>(dirs[d]->children.size()));
        Put32(out, record + 12, firstEntry[d] * entrySize);
        for (Node& child : dirs[d]->children) {
            const uint64_t name = blockOffset + nameAt;
            Put16(out, name, child.name.units);
            Put16(out, name + 2, child.name.check);
            std::memcpy(out.data() + name + 4, child.name.name, size_t{child.name.units} * 4);
            const uint64_t entry = blockOffset + fileTable + uint64_t{entryIndex} * entrySize;
            Put32(out, entry, static_cast<uint32_t>(nameAt));
            nameAt += 4 + uint64_t{child.name.units} * 4;
            if (child.directory) {
                Put32(out, entry + 4, tessra::kArchiveAttrDirectory);
                const size_t index =
                    static_cast<size_t>(std::find(dirs.begin(), dirs.end(), &child) - dirs.begin());
                Put32(out, entry + 32,
                      static_cast<uint32_t>(index * tessra::kArchiveDirRecordSize));
                if (options.version >= 2) Put32(out, entry + 40, tessra::kArchiveStored);
                ++entryIndex;
                continue;
            }
            std::vector<uint8_t> bytes;
            if (!ReadFileBytes(child.path, &bytes, error)) return false;
            if (bytes.size() > 0xFFFFFFFFu) {
                *error = "file too large: " + child.path.string();
                return false;
            }
            const uint32_t size = static_cast<uint32_t>(bytes.size());
            uint32_t stored = tessra::kArchiveStored;
            if (options.version >= 2 && options.method != Method::Store) {
                std::vector<uint8_t> packed = EncodeArchiveLz(bytes.data(), size);
                if (options.method == Method::Lz || packed.size() < bytes.size()) {
                    bytes = std::move(packed);
                    stored = static_cast<uint32_t>(bytes.size());
                }
            }
            Put32(out, entry + 4, 0);
            Put32(out, entry + 32, static_cast<uint32_t>(dataSize));
            Put32(out, entry + 36, size);
            if (options.version >= 2) Put32(out, entry + 40, stored);
            dataSize += bytes.size();
            if (dataArea + dataSize > 0xFFFFFFFFu) {
                *error = "content too large for one archive";
                return false;
            }
            out.insert(out.end(), bytes.begin(), bytes.end());
            ++entryIndex;
        }
    }

    out[0] = 'T';
    out[1] = 'Q';
    Put16(out, 2, static_cast<uint32_t>(options.version));
    Put32(out, 4, static_cast<uint32_t>(blockSize));
    Put32(out, 8, static_cast<uint32_t>(dataArea));
    Put32(out, 12, static_cast<uint32_t>(blockOffset));
    Put32(out, 16, static_cast<uint32_t>(fileTable));
    Put32(out, 20, static_cast<uint32_t>(dirTable));

    if (options.exactSize != 0) {
        if (out.size() > options.exactSize) {
            *error = "content needs " + std::to_string(out.size()) + " bytes, more than the " +
                     std::to_string(options.exactSize) + " requested";
            return false;
        }
        out.resize(options.exactSize, 0);  // the reader never addresses these bytes
    }

    uint8_t key[tessra::kArchiveKeyLength];
    if (options.secondKey) {
        std::memset(key, tessra::kArchiveSecondKeyByte, sizeof key);
    } else {
        const std::string text = options.keyText.empty() ? GameKeyText() : options.keyText;
        tessra::MakeArchiveKey(options.useKey ? text.c_str() : nullptr, key);
    }
    tessra::XorArchiveBytes(out.size(), out.data(), 0, key);
    *archive = std::move(out);
    return true;
}

bool PackDirectory(const std::string& sourceDir, const std::string& archivePath,
                   const PackOptions& options, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!BuildArchive(sourceDir, options, &bytes, error)) return false;
    // A name of this process's own, created new: another packer writing the same archive, or
    // a file the user keeps under a similar name, is never written over or renamed away.
    const std::string temporary = archivePath + ".part" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = "cannot write " + archivePath + ": " + std::strerror(errno);
        return false;
    }
    int writeError = 0;
    for (size_t done = 0; done < bytes.size() && writeError == 0;) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n == 0)
            writeError = EIO;
        else if (errno != EINTR)
            writeError = errno;
    }
    if (::close(fd) != 0 && writeError == 0) writeError = errno;
    std::error_code ec;
    if (writeError != 0) {
        *error = "cannot write " + archivePath + ": " + std::strerror(writeError);
        fs::remove(temporary, ec);
        return false;
    }
    fs::rename(temporary, archivePath, ec);
    if (ec) {
        *error = "cannot write " + archivePath + ": " + ec.message();
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

}  // namespace packer
