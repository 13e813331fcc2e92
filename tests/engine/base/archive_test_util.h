// Helpers shared by the archive tests: a temp directory per test and small trees to pack.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/base/archive.h"
#include "engine/base/file_access.h"
#include "platform/win/file.h"
#include "tools/packer/packer.h"

namespace archive_test {

namespace fs = std::filesystem;

class ArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        // The pid too: other checkouts may run the same test at the same time.
        dir_ =
            fs::path(::testing::TempDir()) / ("archive_" + name + "_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        old_ = fs::current_path();
        fs::current_path(dir_);
        plat::ClearPathCache();
        tessra::InitArchiveFileState();
        tessra::SetFileAccessFuncs(tessra::GetArchiveFileAccessFuncs());
        tessra::SetArchiveExtensionBody("dat");
        tessra::SetArchiveKeyBody(packer::GameKeyText().c_str());
    }
    void TearDown() override {
        tessra::InitArchiveFileState();
        fs::current_path(old_);
        fs::remove_all(dir_);
    }

    static void WriteFile(const fs::path& p, const std::string& bytes) {
        if (p.has_parent_path()) fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    // Packs the tree at `source` into `archive` or fails the test.
    static void Pack(const fs::path& source, const fs::path& archive,
                     const packer::PackOptions& options = {}) {
        std::string error;
        ASSERT_TRUE(packer::PackDirectory(source.string(), archive.string(), options, &error))
            << error;
    }
    // The whole content of a file through the file-access table; empty when it cannot be opened.
    static bool ReadAll(const char* name, std::string* out) {
        tessra::StreamHandle h = tessra::OpenViaFileTable(name, 0, 1);
        if (h == 0) return false;
        out->clear();
        char buf[777];
        for (;;) {
            int64_t n = tessra::ReadViaFileTable(buf, 1, sizeof buf, h);
            if (n <= 0) break;
            out->append(buf, static_cast<size_t>(n));
        }
        tessra::CloseViaFileTable(h);
        return true;
    }

    fs::path dir_, old_;
};

// A compressible text of n bytes.
inline std::string Pattern(size_t n, unsigned seed) {
    std::string s;
    s.reserve(n);
    unsigned x = seed * 2654435761u + 1;
    while (s.size() < n) {
        x = x * 1103515245u + 12345u;
        if ((x >> 16) % 3 == 0)
            s += "tile-row-" + std::to_string((x >> 8) % 17) + ";";
        else
            s.push_back(static_cast<char>(x >> 24));
    }
    s.resize(n);
    return s;
}

}  // namespace archive_test
