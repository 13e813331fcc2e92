#include "platform/win/file.h"
#include "platform/win/thread.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class PlatFile : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // The pid too: other checkouts may run the same test at the same time.
        dir_ = fs::path(::testing::TempDir()) /
               (std::string("plat_file_") + info->name() + "_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        old_ = fs::current_path();
        fs::current_path(dir_);
        plat::ClearPathCache();
    }
    void TearDown() override {
        fs::current_path(old_);
        fs::remove_all(dir_);
    }
    static void Write(const fs::path& p, const std::string& bytes) {
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    static std::string Drive(const fs::path& p) { return plat::ToDrivePath(p.string()); }
    fs::path dir_, old_;
};

TEST_F(PlatFile, MapsWindowsPathsByCase) {
    Write(dir_ / "dat/velm2/velm200.png", "png");
    struct Case {
        std::string in;
        std::string expected;
    } cases[] = {
        {"dat\\VELM2\\Velm200.PNG", "dat/velm2/velm200.png"},
        {"DAT/velm2/VELM200.png", "dat/velm2/velm200.png"},
        {"dat\\velm2\\missing.png", "dat/velm2/missing.png"},
        {"dat\\NOPE\\Velm200.PNG", "dat/NOPE/Velm200.PNG"},  // nothing resolved below a miss
        {Drive(dir_) + "\\DAT\\Velm2", (dir_ / "dat/velm2").string()},
        {"C:\\", "/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plat::MapPath(c.in.c_str()), c.expected) << c.in;
        // The cached answer is the same.
        EXPECT_EQ(plat::MapPath(c.in.c_str()), c.expected) << c.in;
    }
    plat::FileHandle f =
        plat::CreateFileA("dat\\VELM2\\Velm200.PNG", plat::GENERIC_READ, plat::FILE_SHARE_READ,
                          nullptr, plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
    ASSERT_NE(f, plat::INVALID_HANDLE_VALUE);
    EXPECT_EQ(plat::GetFileSize(f, nullptr), 3u);
    EXPECT_NE(plat::CloseHandle(f), 0);
}

TEST_F(PlatFile, CacheFollowsRenames) {
    Write(dir_ / "Data/a.txt", "x");
    EXPECT_EQ(plat::MapPath("data\\A.TXT"), "Data/a.txt");
    fs::rename(dir_ / "Data", dir_ / "DATA");
    EXPECT_EQ(plat::MapPath("data\\A.TXT"), "DATA/a.txt");
}

TEST_F(PlatFile, ShiftJisTrailBackslashIsNoSeparator) {
    // "ソ" is 0x83 0x5C in Shift-JIS: its trail byte must stay inside the name.
    const std::string name =
        "\x83\x5C"
        "a";
    EXPECT_EQ(plat::MapPath(("x\\" + name).c_str()), "x/" + name);
    Write(dir_ / ("\x83\x5C"
                  "A"),
          "y");
    // The 'A' after the pair is an ordinary letter and folds; the pair itself does not.
    EXPECT_EQ(plat::MapPath(name.c_str()),
              "\x83\x5C"
              "A");
}

TEST_F(PlatFile, CurrentDirectoryRoundTripsInDriveForm) {
    char buffer[plat::MAX_PATH];
    uint32_t n = plat::GetCurrentDirectoryA(sizeof buffer, buffer);
    ASSERT_GT(n, 0u);
    ASSERT_LT(n, sizeof buffer);
    EXPECT_EQ(std::string(buffer), Drive(fs::current_path()));
    EXPECT_EQ(std::strncmp(buffer, "C:\\", 3), 0);

    fs::create_directories(dir_ / "Sub");
    ASSERT_NE(plat::SetCurrentDirectoryA("sub"), 0);
    EXPECT_EQ(fs::current_path(), dir_ / "Sub");
    ASSERT_NE(plat::SetCurrentDirectoryA(buffer), 0);  // drive form back again
    EXPECT_EQ(fs::current_path(), dir_);
    EXPECT_EQ(plat::SetCurrentDirectoryA("no_such_dir"), 0);

    // Too small a buffer: the size needed, terminator included.
    char small[2];
    EXPECT_EQ(plat::GetCurrentDirectoryA(sizeof small, small), n + 1);
}

TEST_F(PlatFile, CreateDispositionsReadWriteSeek) {
    using namespace plat;
    FileHandle f =
        CreateFileA("new.bin", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    uint32_t done = 0;
    EXPECT_NE(WriteFile(f, "abcdef", 6, &done), 0);
    EXPECT_EQ(done, 6u);
    EXPECT_NE(CloseHandle(f), 0);
    EXPECT_EQ(CreateFileA("NEW.BIN", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA("none.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA(".", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0), INVALID_HANDLE_VALUE);

    f = CreateFileA("New.Bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    uint32_t high = 7;
    EXPECT_EQ(GetFileSize(f, &high), 6u);
    EXPECT_EQ(high, 0u);
    char buf[8] = {};
    EXPECT_EQ(SetFilePointer(f, -2, nullptr, FILE_END), 4u);
    EXPECT_NE(ReadFile(f, buf, 8, &done), 0);
    EXPECT_EQ(done, 2u);
    EXPECT_EQ(std::string(buf, 2), "ef");
    EXPECT_NE(ReadFile(f, buf, 8, &done), 0);  // at the end: success with nothing read
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(SetFilePointer(f, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(SetFilePointer(f, 1, nullptr, FILE_BEGIN), 1u);
    EXPECT_EQ(SetFilePointer(f, 2, nullptr, FILE_CURRENT), 3u);
    EXPECT_EQ(SetFilePointer(f, 100, nullptr, FILE_BEGIN), 100u);  // past the end is allowed
    EXPECT_NE(CloseHandle(f), 0);

    f = CreateFileA("new.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(f, nullptr), 0u);
    EXPECT_NE(CloseHandle(f), 0);

    EXPECT_NE(DeleteFileA("NEW.bin"), 0);
    EXPECT_FALSE(fs::exists(dir_ / "new.bin"));
    EXPECT_EQ(DeleteFileA("new.bin"), 0);
}

// Both the file and the thread headers declare CloseHandle; a null literal must still compile
// and fail, whichever kind of handle the caller had in mind.
TEST(PlatFileHandles, ClosingNullFails) {
    EXPECT_EQ(plat::CloseHandle(nullptr), 0);
    EXPECT_EQ(plat::CloseHandle(plat::FileHandle{}), 0);
    EXPECT_EQ(plat::CloseHandle(plat::HANDLE{}), 0);
    EXPECT_EQ(plat::CloseHandle(plat::INVALID_HANDLE_VALUE), 0);
}

TEST_F(PlatFile, Attributes) {
    using namespace plat;
    Write(dir_ / "cfg.dat", "1");
    fs::create_directories(dir_ / "d");
    EXPECT_EQ(GetFileAttributesA("CFG.DAT"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA("d") & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA("missing"), INVALID_FILE_ATTRIBUTES);
    ASSERT_NE(SetFileAttributesA("cfg.dat", FILE_ATTRIBUTE_READONLY), 0);
    EXPECT_EQ(GetFileAttributesA("cfg.dat"), FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(SetFileAttributesA("cfg.dat", FILE_ATTRIBUTE_NORMAL), 0);
    EXPECT_EQ(GetFileAttributesA("cfg.dat"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(SetFileAttributesA("missing", FILE_ATTRIBUTE_NORMAL), 0);
}

TEST_F(PlatFile, TempNames) {
    plat::SetTempDirectoryForTesting(dir_.c_str());
    char tempDir[plat::MAX_PATH];
    uint32_t n = plat::GetTempPathA(sizeof tempDir, tempDir);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(std::string(tempDir), Drive(dir_) + "\\");

    char a[plat::MAX_PATH], b[plat::MAX_PATH];
    uint32_t ua = plat::GetTempFileNameA(tempDir, "tmpfile", 0, a);
    uint32_t ub = plat::GetTempFileNameA(tempDir, "tmpfile", 0, b);
    ASSERT_NE(ua, 0u);
    ASSERT_NE(ub, 0u);
    EXPECT_NE(std::string(a), std::string(b));
    EXPECT_EQ(std::string(a).rfind(std::string(tempDir) + "tmp", 0), 0u) << a;
    EXPECT_EQ(std::string(a).substr(std::strlen(a) - 4), ".TMP");
    EXPECT_NE(plat::GetFileAttributesA(a), plat::INVALID_FILE_ATTRIBUTES);  // created empty

    // A given number creates nothing.
    EXPECT_EQ(plat::GetTempFileNameA(tempDir, "x", 0x1A, a), 0x1Au);
    EXPECT_EQ(std::string(a), std::string(tempDir) + "x1A.TMP");
    EXPECT_EQ(plat::GetFileAttributesA(a), plat::INVALID_FILE_ATTRIBUTES);
    plat::SetTempDirectoryForTesting(nullptr);
}

TEST_F(PlatFile, CrtFileOnWindowsPath) {
    Write(dir_ / "msg/Text.txt", "hello");
    std::FILE* f = plat::OpenCrtFile("MSG\\text.TXT", "rb");
    ASSERT_NE(f, nullptr);
    char buf[8] = {};
    EXPECT_EQ(std::fread(buf, 1, 8, f), 5u);
    std::fclose(f);
}

}  // namespace

namespace {

TEST_F(PlatFile, MoveReplacesOnlyWhenAskedAndWritesThrough) {
    Write(dir_ / "a.txt", "new");
    Write(dir_ / "b.txt", "old");
    plat::TakeDiskSyncLog();
    EXPECT_EQ(plat::MoveFileExA("a.txt", "B.TXT", 0), 0);  // b.txt exists: refused
    EXPECT_TRUE(fs::exists(dir_ / "a.txt"));
    EXPECT_TRUE(plat::TakeDiskSyncLog().empty());
    ASSERT_NE(plat::MoveFileExA("a.txt", "b.txt",
                                plat::MOVEFILE_REPLACE_EXISTING | plat::MOVEFILE_WRITE_THROUGH),
              0);
    EXPECT_FALSE(fs::exists(dir_ / "a.txt"));
    std::ifstream in(dir_ / "b.txt");
    std::string text;
    in >> text;
    EXPECT_EQ(text, "new");
    const std::string folder = fs::canonical(dir_).string();
    const std::vector<std::string> expected = {
        "move " + folder + "/a.txt " + folder + "/b.txt",
        "flush folder " + folder,
    };
    EXPECT_EQ(plat::TakeDiskSyncLog(), expected);
    EXPECT_EQ(plat::MoveFileExA("missing.txt", "c.txt", plat::MOVEFILE_REPLACE_EXISTING), 0);

    plat::FileHandle f = plat::CreateFileA("c.txt", plat::GENERIC_WRITE, 0, nullptr,
                                           plat::CREATE_ALWAYS, plat::FILE_ATTRIBUTE_NORMAL);
    ASSERT_NE(f, plat::INVALID_HANDLE_VALUE);
    EXPECT_NE(plat::FlushFileBuffers(f), 0);
    plat::CloseHandle(f);
    EXPECT_EQ(plat::TakeDiskSyncLog(), std::vector<std::string>{"flush " + folder + "/c.txt"});
    EXPECT_EQ(plat::FlushFileBuffers(plat::INVALID_HANDLE_VALUE), 0);
}

}  // namespace
