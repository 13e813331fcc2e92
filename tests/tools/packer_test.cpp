// The tqa_pack command: options, exit status, exact sizes, and archives the engine reads.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/base/archive.h"
#include "engine/base/file_access.h"
#include "platform/win/file.h"
#include "tools/packer/packer.h"

namespace fs = std::filesystem;

namespace {

class PackerCommand : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // The pid too: other checkouts may run the same test at the same time.
        dir_ = fs::path(::testing::TempDir()) /
               (std::string("packer_") + info->name() + "_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        old_ = fs::current_path();
        fs::current_path(dir_);
        tessra::InitArchiveFileState();
        tessra::SetFileAccessFuncs(tessra::GetArchiveFileAccessFuncs());
        tessra::SetArchiveExtensionBody("dat");
    }
    void TearDown() override {
        tessra::InitArchiveFileState();
        fs::current_path(old_);
        fs::remove_all(dir_);
    }
    static void Write(const fs::path& p, const std::string& bytes) {
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    // Runs tqa_pack with the arguments; the exit status, with its output in *output.
    static int Run(const std::string& args, std::string* output) {
        const std::string command = std::string("'") + TQA_PACK_EXE + "' " + args + " 2>&1";
        std::FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return -1;
        output->clear();
        char buf[256];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) output->append(buf, n);
        const int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string ReadThroughEngine(const char* name) {
        tessra::StreamHandle h = tessra::OpenViaFileTable(name, 0, 1);
        if (h == 0) return "(not opened)";
        std::string out(4096, '\0');
        const int64_t n = tessra::ReadViaFileTable(out.data(), 1, out.size(), h);
        tessra::CloseViaFileTable(h);
        out.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return out;
    }
    fs::path dir_, old_;
};

TEST_F(PackerCommand, UsageErrors) {
    Write(dir_ / "src/a.txt", "a");
    struct Case {
        std::string args;
        int status;
        std::string says;
    } cases[] = {
        {"", 2, "expected SOURCE_DIR and ARCHIVE"},
        {"src", 2, "expected SOURCE_DIR and ARCHIVE"},
        {"src a.dat extra", 2, "expected SOURCE_DIR and ARCHIVE"},
        {"-V 4 src a.dat", 2, "version must be 0 to 3"},
        {"--format-version=x src a.dat", 2, "version must be 0 to 3"},
        {"--method zip src a.dat", 2, "unknown method"},
        {"--size abc src a.dat", 2, "bad size"},
        {"--size -5 src a.dat", 2, "bad size"},
        {"--size 0 src a.dat", 2, "bad size"},
        {"--key '' src a.dat", 2, "key text is empty"},
        {"--bogus src a.dat", 2, "unknown option"},
        {"src a.dat -V", 2, "needs a value"},
        {"missing a.dat", 1, "not a directory"},
        {"--help", 0, "usage: tqa_pack"},
    };
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(Run(c.args, &output), c.status) << c.args << "\n" << output;
        EXPECT_NE(output.find(c.says), std::string::npos) << c.args << "\n" << output;
    }
    EXPECT_FALSE(fs::exists(dir_ / "a.dat"));
}

TEST_F(PackerCommand, PadsToExactSizeAndFailsWhenContentDoesNotFit) {
    Write(dir_ / "src/velm2/velm200.png", std::string(3000, 'p'));
    Write(dir_ / "src/se.wav", "RIFF....");
    std::string output;
    ASSERT_EQ(Run("--method store --size 5000 src dat.dat", &output), 0) << output;
    EXPECT_EQ(fs::file_size(dir_ / "dat.dat"), 5000u);
    tessra::SetArchiveKeyBody(packer::GameKeyText().c_str());
    EXPECT_EQ(ReadThroughEngine("dat\\velm2\\velm200.png"), std::string(3000, 'p'));
    EXPECT_EQ(ReadThroughEngine("dat\\SE.WAV"), "RIFF....");

    ASSERT_EQ(Run("--method store -s 3000 src small.dat", &output), 1);
    EXPECT_NE(output.find("more than the 3000 requested"), std::string::npos) << output;
    for (const auto& entry : fs::directory_iterator(dir_))  // nor a temporary file
        EXPECT_NE(entry.path().filename().string().rfind("small.dat", 0), 0u) << entry.path();
}

// The archive goes in through a temporary name of the packer's own: a file the user keeps
// under a similar name survives, and a failed write says why and leaves nothing behind.
TEST_F(PackerCommand, WritesThroughItsOwnTemporaryName) {
    Write(dir_ / "src/a.txt", "archived");
    Write(dir_ / "dat.dat.part", "the user's own");
    std::string output;
    ASSERT_EQ(Run("src dat.dat", &output), 0) << output;
    tessra::SetArchiveKeyBody(packer::GameKeyText().c_str());
    EXPECT_EQ(ReadThroughEngine("dat\\a.txt"), "archived");
    std::ifstream kept(dir_ / "dat.dat.part", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "the user's own");
    const auto before = std::distance(fs::directory_iterator(dir_), fs::directory_iterator());
    EXPECT_EQ(Run("src nodir/x.dat", &output), 1);
    EXPECT_NE(output.find("cannot write nodir/x.dat: No such file or directory"), std::string::npos)
        << output;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), before);
}

TEST_F(PackerCommand, KeysAndVersions) {
    Write(dir_ / "src/a.txt", std::string(500, 'z'));
    std::string output;
    ASSERT_EQ(Run("-V 1 --key 12345678 src dat.dat", &output), 0) << output;
    tessra::SetArchiveKeyBody("12345678");
    EXPECT_EQ(ReadThroughEngine("dat\\a.txt"), std::string(500, 'z'));

    tessra::InitArchiveFileState();
    tessra::SetArchiveExtensionBody("dat");
    ASSERT_EQ(Run("--no-key -m lz src dat.dat", &output), 0) << output;
    EXPECT_LT(fs::file_size(dir_ / "dat.dat"), 200u);  // compressed
    EXPECT_EQ(ReadThroughEngine("dat\\a.txt"), std::string(500, 'z'));
}

TEST_F(PackerCommand, NamesThatDifferOnlyByCaseAreRefused) {
    Write(dir_ / "src/d/Tile.png", "1");
    Write(dir_ / "src/d/TILE.PNG", "2");
    std::string output;
    EXPECT_EQ(Run("src dat.dat", &output), 1);
    EXPECT_NE(output.find("differ only by case"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(dir_ / "dat.dat"));
}

}  // namespace
