#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/databuild/databuild.h"

namespace {

std::string TestDir(const char* name) {
    const char* base = std::getenv("TEST_TMPDIR");
    std::string dir =
        std::string(base ? base : "/tmp") + "/databuild-" + name + "-" + std::to_string(::getpid());
    std::system(("rm -rf '" + dir + "'").c_str());
    return dir;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(DataBuild, WriteFileAtomicMakesParentsAndReplacesWholeFile) {
    const std::string dir = TestDir("atomic");
    const std::string path = dir + "/a/b/file.bin";
    ASSERT_TRUE(databuild::WriteFileAtomic(path, std::string("first contents")));
    ASSERT_TRUE(databuild::WriteFileAtomic(path, std::string("2nd")));
    EXPECT_EQ(ReadAll(path), "2nd");
    // No temporary file is left beside it.
    EXPECT_EQ(std::system(("test $(ls '" + dir + "/a/b' | wc -l) -eq 1").c_str()), 0);
    std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(DataBuild, WriteFileAtomicFailsWhereAFileBlocksTheFolder) {
    const std::string dir = TestDir("blocked");
    ASSERT_TRUE(databuild::WriteFileAtomic(dir + "/plain", std::string("x")));
    EXPECT_FALSE(databuild::WriteFileAtomic(dir + "/plain/inner.bin", std::string("y")));
    std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(DataBuild, PadFileToSizeGrowsWithZerosAndRefusesLargerContent) {
    const std::string dir = TestDir("pad");
    const std::string path = dir + "/f.dat";
    ASSERT_TRUE(databuild::WriteFileAtomic(path, std::string("abc")));
    ASSERT_TRUE(databuild::PadFileToSize(path, 8));
    EXPECT_EQ(ReadAll(path), std::string("abc\0\0\0\0\0", 8));
    EXPECT_TRUE(databuild::PadFileToSize(path, 8));  // already exact
    EXPECT_FALSE(databuild::PadFileToSize(path, 7));
    EXPECT_EQ(ReadAll(path).size(), 8u);  // left as it was
    EXPECT_FALSE(databuild::PadFileToSize(dir + "/missing.dat", 8));
    std::system(("rm -rf '" + dir + "'").c_str());
}

bool RunNothing(const std::string&) {
    return true;
}

TEST(DataBuild, ProducersRunInOrderThenByName) {
    static databuild::RegisterProducer late("zz-test-late", 95, RunNothing);
    static databuild::RegisterProducer early("zz-test-early", 5, RunNothing);
    const auto list = databuild::RegisteredProducers();
    ASSERT_FALSE(list.empty());
    for (size_t i = 1; i < list.size(); ++i) {
        EXPECT_LE(list[i - 1].order, list[i].order) << list[i].name;
    }
    EXPECT_STREQ(list.front().name, "zz-test-early");
    EXPECT_STREQ(list.back().name, "zz-test-late");
}

}  // namespace
