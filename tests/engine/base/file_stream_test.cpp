// Memory streams, plain files and the stream sets over them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "engine/base/file_access.h"
#include "engine/base/stream.h"

namespace fs = std::filesystem;
using namespace tessra;

namespace {

class FileStream : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // The pid too: other checkouts may run the same test at the same time.
        dir_ = fs::path(::testing::TempDir()) /
               (std::string("file_stream_") + info->name() + "_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        old_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(old_);
        fs::remove_all(dir_);
    }
    static void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(name, std::ios::binary) << bytes;
    }
    fs::path dir_, old_;
};

TEST(MemStream, ItemsAndLastPartialItem) {
    const char data[] = "0123456789";  // 10 bytes used
    StreamIo io = MakeStreamIo(GetMemStreamFuncs(), OpenMemStream(data, 10));
    ASSERT_NE(io.handle, 0);
    char buf[16] = {};
    ASSERT_EQ(io.Seek(io.handle, 2, kSeekSet), 0);
    EXPECT_EQ(io.Read(buf, 4, 3, io.handle), 2);  // 3 items of 4 with 8 left: 2 whole items
    EXPECT_EQ(io.Tell(io.handle), 10);
    EXPECT_EQ(std::string(buf, 8), "23456789");

    ASSERT_EQ(io.Seek(io.handle, -3, kSeekEnd), 0);
    std::memset(buf, 0, sizeof buf);
    EXPECT_EQ(io.Read(buf, 4, 1, io.handle), 1);  // 3 bytes left, item size 4: one partial item
    EXPECT_EQ(std::string(buf, 3), "789");
    EXPECT_EQ(io.Eof(io.handle), 0);
    EXPECT_EQ(io.Read(buf, 1, 1, io.handle), 0);
    EXPECT_EQ(io.Eof(io.handle), 1);
    EXPECT_EQ(io.Read(buf, 0, 4, io.handle), 0);  // item size 0 reads nothing
    EXPECT_EQ(io.IsReady(io.handle), 1);

    ASSERT_EQ(io.Seek(io.handle, 4, kSeekSet), 0);
    EXPECT_EQ(io.Eof(io.handle), 0);
    EXPECT_EQ(io.Read(buf, 4, 0, io.handle), 0);  // count 0 copies nothing
    EXPECT_EQ(io.Tell(io.handle), 4);

    struct {
        int32_t offset;
        int origin;
        int64_t expected;
    } seeks[] = {{-5, kSeekSet, 0}, {50, kSeekSet, 10}, {-20, kSeekCur, 0},
                 {3, kSeekCur, 3},  {1, kSeekEnd, 10},  {-10, kSeekEnd, 0}};
    for (const auto& s : seeks) {
        EXPECT_EQ(io.Seek(io.handle, s.offset, s.origin), 0);
        EXPECT_EQ(io.Tell(io.handle), s.expected) << s.offset << " " << s.origin;
    }
    EXPECT_EQ(io.Close(io.handle), 0);
}

TEST(MemStream, EmptyBlock) {
    StreamHandle h = OpenMemStream(nullptr, 0);
    ASSERT_NE(h, 0);
    char c;
    EXPECT_EQ(ReadMemStream(&c, 1, 1, h), 0);
    EXPECT_EQ(TestMemStreamEof(h), 1);
    CloseMemStream(h);
}

TEST_F(FileStream, PlainFileCountsItemsAndKeepsEofUntilSeek) {
    Write("ten.bin", "0123456789");
    ASSERT_EQ(SetFileAccessFuncs(GetPlainFileAccessFuncs()), 0);
    StreamHandle h = OpenViaFileTable("TEN.BIN", 0, 1);
    ASSERT_NE(h, 0);
    StreamIo io = MakeStreamIo(GetFileStreamFuncs(), h);
    char buf[16] = {};
    ASSERT_EQ(io.Seek(h, 2, kSeekSet), 0);
    EXPECT_EQ(io.Read(buf, 4, 3, h), 2);  // 8 bytes, 2 items
    EXPECT_EQ(io.Tell(h), 10);
    EXPECT_EQ(io.Read(buf, 1, 1, h), 0);  // at the end
    EXPECT_EQ(io.Eof(h), -1);
    ASSERT_EQ(io.Seek(h, 0, kSeekSet), 0);
    EXPECT_EQ(io.Eof(h), 0);
    EXPECT_EQ(io.Read(buf, 4, 3, h), 2);
    EXPECT_EQ(io.Read(buf, 4, 1, h), 0);  // 2 bytes left: no whole item, the end is reached
    EXPECT_EQ(io.Eof(h), -1);
    EXPECT_EQ(io.Read(buf, 0, 1, h), 0);

    // Past the end is accepted; a read there fails cleanly instead of wrapping around.
    ASSERT_EQ(io.Seek(h, 100, kSeekSet), 0);
    EXPECT_EQ(io.Tell(h), 100);
    EXPECT_EQ(io.Read(buf, 1, 4, h), 0);
    EXPECT_EQ(io.Eof(h), -1);
    EXPECT_EQ(io.Seek(h, -1, kSeekSet), -1);
    EXPECT_EQ(io.Tell(h), 100);  // a failed seek changes nothing

    // A huge item count does not overflow the byte count.
    ASSERT_EQ(io.Seek(h, 0, kSeekSet), 0);
    EXPECT_EQ(io.Read(buf, 2, SIZE_MAX / 2 + 3, h), 5);
    EXPECT_EQ(io.Close(h), 0);
    EXPECT_EQ(OpenViaFileTable("missing.bin", 0, 1), 0);
}

TEST_F(FileStream, PlainReadAdvancesByBytesThatArrived) {
    Write("short.bin", "abcdefgh");
    StreamHandle h = OpenPlainFile("short.bin", 0, 1);
    ASSERT_NE(h, 0);
    fs::resize_file("short.bin", 5);  // shrinks under the open file
    char buf[8];
    EXPECT_EQ(ReadPlainFile(buf, 1, 8, h), 5);
    EXPECT_EQ(TellPlainFile(h), 5);
    EXPECT_EQ(ClosePlainFile(h), 0);
}

// Positions and sizes are 32-bit: a file of 4 GB or more is refused rather than given the
// low word of its size.
TEST_F(FileStream, FilesOfFourGigabytesAreRefused) {
    Write("huge.bin", "");
    fs::resize_file("huge.bin", 0x100000000ull + 10);  // sparse: takes no space
    EXPECT_EQ(OpenPlainFile("huge.bin", 0, 1), 0);
    EXPECT_EQ(OpenPlainFile("huge.bin", 1, 1), 0);
    fs::remove("huge.bin");
}

TEST_F(FileStream, SwitchingModeInstallsSetsButNotOverCallersSet) {
    SetFileAccessFuncs(nullptr);
    SetUseArchiveBody(1);
    EXPECT_EQ(GetNoArchiveFlag(), 0);
    EXPECT_EQ(IsBuiltinFileAccessFuncs(), 1);
    SetUseArchiveBody(0);
    EXPECT_EQ(GetNoArchiveFlag(), 1);
    EXPECT_EQ(GetFileAccessFuncs()->Open, GetPlainFileAccessFuncs()->Open);
    SetUseArchiveBody(1);
    EXPECT_EQ(GetFileAccessFuncs()->Open, GetArchiveFileAccessFuncs()->Open);

    FileAccessFuncs own = *GetPlainFileAccessFuncs();
    own.Open = [](const char*, int, int) -> StreamHandle { return 0; };
    SetFileAccessFuncs(&own);
    EXPECT_EQ(IsBuiltinFileAccessFuncs(), 0);
    SetUseArchiveBody(0);
    EXPECT_EQ(GetNoArchiveFlag(), 1);
    EXPECT_EQ(GetFileAccessFuncs()->Open, own.Open);
    SetUseArchiveBody(1);
    EXPECT_EQ(GetFileAccessFuncs()->Open, own.Open);
    SetFileAccessFuncs(nullptr);
}

TEST_F(FileStream, ConvertFullPathCases) {
    struct Case {
        const char* path;
        const char* base;
        int result;
        const char* expected;
    } cases[] = {
        {"..\\a\\.\\b", "C:\\x\\y", 0, "C:\\x\\a\\b"},
        {"\\w", "D:\\q", 0, "D:\\w"},
        {"a\\\\b", "C:\\x", -1, "C:\\x\\a"},
        {"E:\\p\\q", "C:\\x", 0, "E:\\p\\q"},
        {"E:/p/q", "C:\\x", 0, "E:\\p\\q"},
        {"E:", "C:\\x", 0, "E:"},
        {"a/b\\c", "C:\\x\\", 0, "C:\\x\\a\\b\\c"},
        {"..\\..\\..\\z", "C:\\x", 0, "C:\\z"},  // ".." above the drive stays at the drive
        {"", "C:\\x", 0, "C:\\x"},
        {nullptr, "C:\\x", 0, "C:\\x"},
        // A trail byte 0x5C ("ソ" is 0x83 0x5C) neither ends a component nor marks a cut.
        {"\x83\x5C"
         "\\f",
         "C:\\d", 0, "C:\\d\\\x83\x5C\\f"},
        {"..\\g",
         "C:\\a\\\x83\x5C"
         "b",
         0, "C:\\a\\g"},
        {"..", "C:\\\x83\x5C", 0, "C:"},
    };
    for (const Case& c : cases) {
        char out[kFilePathMax];
        std::memset(out, 0x7F, sizeof out);
        EXPECT_EQ(ConvertFullPath(c.path, out, c.base), c.result) << (c.path ? c.path : "(null)");
        EXPECT_STREQ(out, c.expected) << (c.path ? c.path : "(null)");
    }
}

TEST_F(FileStream, ConvertFullPathIsBounded) {
    std::string longPath(kFilePathMax + 40, 'a');
    char out[kFilePathMax];
    EXPECT_EQ(ConvertFullPath(longPath.c_str(), out, "C:\\x"), -1);
    char small[8];
    EXPECT_EQ(ConvertFullPath("abc\\def", small, "C:\\x", sizeof small), -1);
    EXPECT_EQ(ConvertFullPath("ab", small, "C:\\x", sizeof small), 0);
    EXPECT_STREQ(small, "C:\\x\\ab");
}

TEST_F(FileStream, BuildFullPathNeedsItsBase) {
    char out[kFilePathMax] = "unchanged";
    EXPECT_EQ(BuildFullPath("a\\b", out, nullptr), -1);
    EXPECT_EQ(BuildFullPath("a\\b", out, "C:\\x"), 0);
    EXPECT_STREQ(out, "C:\\x\\a\\b");
}

TEST_F(FileStream, ConvertFullPathUsesCurrentDirectory) {
    SetFileAccessFuncs(GetPlainFileAccessFuncs());
    char cwd[kFilePathMax];
    ASSERT_GT(GetDirViaFileTable(cwd), 0);
    char out[kFilePathMax];
    ASSERT_EQ(ConvertFullPath("sub\\f.txt", out, nullptr), 0);
    EXPECT_EQ(std::string(out), std::string(cwd) + "\\sub\\f.txt");
}

TEST_F(FileStream, TempFileIsNewAndWritable) {
    plat::SetTempDirectoryForTesting(dir_.c_str());
    char path[kFilePathMax];
    plat::FileHandle f = CreateTempFile(path);
    ASSERT_NE(f, nullptr);
    uint32_t written = 0;
    EXPECT_NE(plat::WriteFile(f, "xy", 2, &written), 0);
    plat::CloseHandle(f);
    EXPECT_EQ(std::string(path).rfind(plat::ToDrivePath(dir_.string()) + "\\tmp", 0), 0u) << path;
    EXPECT_EQ(fs::file_size(plat::MapPath(path)), 2u);
    plat::SetTempDirectoryForTesting("/nonexistent_dir_for_temp");
    EXPECT_EQ(CreateTempFile(nullptr), nullptr);
    plat::SetTempDirectoryForTesting(nullptr);
}

}  // namespace

namespace {

TEST_F(FileStream, ReaderThreadServesAsynchronousOpens) {
    std::string content;
    for (int i = 0; i < 300000; ++i) content.push_back(static_cast<char>(i * 31 % 253));
    Write("big.bin", content);
    EXPECT_EQ(OpenPlainFile("missing.bin", 1, 1), 0);

    StreamHandle h = OpenPlainFile("BIG.bin", 1, 1);
    ASSERT_NE(h, 0);
    std::string got(content.size(), '\0');
    size_t at = 0;
    // Reads of odd sizes, some before and some after the thread had time to read ahead.
    for (int round = 0; at < content.size(); ++round) {
        if (round == 3) std::this_thread::sleep_for(std::chrono::milliseconds(250));
        const int64_t n = ReadPlainFile(got.data() + at, 1, 70001, h);
        ASSERT_GT(n, 0);
        at += static_cast<size_t>(n);
    }
    EXPECT_EQ(got, content);
    EXPECT_EQ(ReadPlainFile(got.data(), 1, 1, h), 0);
    EXPECT_EQ(TestPlainFileEof(h), -1);

    ASSERT_EQ(SeekPlainFile(h, 1000, kSeekSet), 0);
    char buf[8];
    EXPECT_EQ(ReadPlainFile(buf, 4, 2, h), 2);
    EXPECT_EQ(std::string(buf, 8), content.substr(1000, 8));
    ASSERT_EQ(SeekPlainFile(h, -3, kSeekEnd), 0);
    EXPECT_EQ(ReadPlainFile(buf, 2, 4, h), 1);  // whole items only
    EXPECT_EQ(TellPlainFile(h), static_cast<int64_t>(content.size()) - 1);
    for (int i = 0; i < 100 && IsPlainFileReady(h) != 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(IsPlainFileReady(h), 1);
    EXPECT_EQ(ClosePlainFile(h), 0);
}

}  // namespace
