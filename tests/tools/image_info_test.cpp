// The image_info command on picture files made here.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct CommandResult {
    int status;
    std::string out;
};

CommandResult RunInfo(const std::string& args) {
    const std::string cmd = std::string(IMAGE_INFO_EXE) + " " + args + " 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    CommandResult r{-1, {}};
    if (p == nullptr) return r;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p) != nullptr) r.out += buf;
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

class ImageInfo : public ::testing::Test {
protected:
    void SetUp() override {
        // The process id keeps runs from other checkouts, which share the temporary directory,
        // apart.
        dir_ = fs::path(::testing::TempDir()) /
               (std::string("image_info_") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
                std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }
    fs::path dir_;
};

// A raw "BGRA" picture of 3 x 2 with 8-bit channels.
std::vector<uint8_t> Bgra() {
    std::vector<uint8_t> f = {'B', 'G', 'R', 'A', 8, 8, 8, 8, 3, 0, 0, 0, 2, 0, 0, 0};
    f.resize(f.size() + 3 * 2 * 4, 0x40);
    return f;
}

// An uncompressed 16-bit true-colour TGA of 5 x 1.
std::vector<uint8_t> Tga16() {
    std::vector<uint8_t> f(18, 0);
    f[2] = 2;
    f[12] = 5;
    f[14] = 1;
    f[16] = 16;
    f[17] = 0x20;
    f.resize(18 + 10, 0x11);
    return f;
}

TEST_F(ImageInfo, PrintsSizeFormatMasksAndPitch) {
    const std::string bgra = Write("a.bgra", Bgra());
    const std::string tga = Write("b.tga", Tga16());
    const CommandResult r = RunInfo("'" + bgra + "' '" + tga + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("width    3\n  height   2\n  format   32 bits, 4 bytes a pixel\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("red 00FF0000 green 0000FF00 blue 000000FF alpha FF000000 unused "
                         "00000000\n  pitch    12"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("width    5\n  height   1\n  format   16 bits, 2 bytes a pixel\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("red 00007C00 green 000003E0 blue 0000001F alpha 00000000 unused "
                         "00008000\n  pitch    10"),
              std::string::npos)
        << r.out;
}

TEST_F(ImageInfo, FailuresSetTheExitStatus) {
    const std::string junk = Write("junk.png", {1, 2, 3, 4, 5});
    const std::string good = Write("good.bgra", Bgra());
    EXPECT_EQ(RunInfo("'" + junk + "' '" + good + "'").status, 1);
    EXPECT_EQ(RunInfo("'" + (dir_ / "missing.png").string() + "'").status, 1);
    EXPECT_EQ(RunInfo("").status, 2);
}

}  // namespace
