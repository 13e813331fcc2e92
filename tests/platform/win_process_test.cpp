// Starting programs and the single-instance lock across processes.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/testing.h"
#include "platform/win/process.h"
#include "platform/win/time.h"
#include "platform/win/window.h"

namespace plat {
namespace {

std::string TestDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // Other checkouts run the same tests at the same time: the process id keeps them apart.
    std::string dir =
        ::testing::TempDir() + "win_process_" + info->name() + "_" + std::to_string(getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

TEST(ProcessTest, RecordedStartsAreKeptAndNothingRuns) {
    testing::Reset();
    testing::RecordProcessStarts(true);
    EXPECT_GT(WinExec("velmora.exe", 5), 31u);
    auto starts = testing::RecordedProcessStarts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].commandLine, "velmora.exe");
    EXPECT_EQ(starts[0].showCommand, 5u);
    testing::Reset();
    EXPECT_TRUE(testing::RecordedProcessStarts().empty());
}

TEST(ProcessTest, ExeNameRunsTheProgramWithoutTheSuffixWithoutWaiting) {
    testing::Reset();
    std::string dir = TestDir();
    std::string marker = dir + "/ran";
    {
        std::ofstream script(dir + "/prog");
        // Written aside and renamed, so the file never appears half written.
        script << "#!/bin/sh\necho \"$1\" > '" << marker << ".part' && mv '" << marker << ".part' '"
               << marker << "'\n";
    }
    chmod((dir + "/prog").c_str(), 0755);
    std::string command = dir + "\\prog.exe hello";
    ASSERT_GT(WinExec(command.c_str(), 5), 31u);
    for (int i = 0; i < 500 && !std::filesystem::exists(marker); ++i) Sleep(10);
    std::ifstream in(marker);
    std::string word;
    in >> word;
    EXPECT_EQ(word, "hello");
    std::filesystem::remove_all(dir);
}

TEST(ProcessTest, MissingProgramIsReportedAsNotFound) {
    testing::Reset();
    EXPECT_EQ(WinExec("no_such_program_here.exe", 5), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(WinExec("", 5), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(WinExec(nullptr, 5), 0u);
}

TEST(ProcessTest, ModuleHandleAndLibraries) {
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA("no_such_library.so"), nullptr);
    HMODULE c = LoadLibraryA("libc.so.6");
    ASSERT_NE(c, nullptr);
    EXPECT_NE(GetProcAddress(c, "strlen"), nullptr);
    EXPECT_EQ(GetProcAddress(c, "SetMSGHookDll"), nullptr);
    EXPECT_TRUE(FreeLibrary(c));
}

LRESULT DefaultProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, m, wp, lp);
}

TEST(InstanceTest, ASecondProcessWithTheSameClassKeyIsRefused) {
    testing::Reset();
    std::string key = "instance-test-" + std::to_string(getpid());
    testing::SetInstanceLockKey(key);
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The other instance: makes its window, says so, and holds it until told.
        close(ready[0]);
        close(release[1]);
        WNDCLASSA c{};
        c.lpfnWndProc = DefaultProc;
        c.lpszClassName = "D123987X";
        RegisterClassA(&c);
        HWND w = CreateWindowExA(0, "D123987X", "", 0x80CA0000u, 0, 0, 64, 64, nullptr, nullptr,
                                 nullptr, nullptr);
        char byte = w != nullptr ? 'y' : 'n';
        if (write(ready[1], &byte, 1) != 1) _exit(2);
        if (read(release[0], &byte, 1) < 0) _exit(3);
        _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');

    HWND found = FindWindowA("D123987X", nullptr);
    EXPECT_NE(found, nullptr);
    EXPECT_FALSE(IsWindow(found));  // a placeholder: no window of ours
    // Another key is another instance.
    testing::SetInstanceLockKey(key + "-other");
    EXPECT_EQ(FindWindowA("D123987X", nullptr), nullptr);
    testing::SetInstanceLockKey(key);

    close(release[1]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(FindWindowA("D123987X", nullptr), nullptr);
    unlink(testing::InstanceLockPath("D123987X").c_str());  // the child ended without releasing
}

TEST(InstanceTest, AStartedProgramDoesNotInheritTheLock) {
    // The game starts itself again; the new program must not hold the old one's lock open.
    testing::Reset();
    testing::UsePrivateInstanceLockKey();
    WNDCLASSA c{};
    c.lpfnWndProc = DefaultProc;
    c.lpszClassName = "SpawnClass";
    ASSERT_NE(RegisterClassA(&c), 0);
    HWND w = CreateWindowExA(0, "SpawnClass", "", 0x80CA0000u, 0, 0, 64, 64, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    std::string lockPath = testing::InstanceLockPath("SpawnClass");
    ASSERT_TRUE(std::filesystem::exists(lockPath));

    std::string dir = TestDir();
    // A descriptor that is inherited, to show that the child's list sees inherited ones.
    std::string inheritedPath = dir + "/inherited";
    int inherited = open(inheritedPath.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(inherited, 0);
    std::string marker = dir + "/fds";
    {
        std::ofstream script(dir + "/prog");
        script << "#!/bin/sh\nfor f in /proc/$$/fd/*; do readlink \"$f\"; done > '" << marker
               << ".part' && mv '" << marker << ".part' '" << marker << "'\n";
    }
    chmod((dir + "/prog").c_str(), 0755);
    ASSERT_GT(WinExec((dir + "/prog").c_str(), 5), 31u);
    close(inherited);
    for (int i = 0; i < 500 && !std::filesystem::exists(marker); ++i) Sleep(10);

    std::ifstream in(marker);
    std::string line;
    bool sawInherited = false;
    bool sawLock = false;
    std::string canonicalLock = std::filesystem::canonical(lockPath).string();
    std::string canonicalInherited = std::filesystem::canonical(inheritedPath).string();
    while (std::getline(in, line)) {
        sawInherited |= line == canonicalInherited;
        sawLock |= line == canonicalLock;
    }
    EXPECT_TRUE(sawInherited);
    EXPECT_FALSE(sawLock);
    DestroyWindow(w);
    UnregisterClassA("SpawnClass", nullptr);
    std::filesystem::remove_all(dir);
}

TEST(InstanceTest, OwnWindowIsFoundAndTheLockGoesWithTheClass) {
    testing::Reset();
    testing::UsePrivateInstanceLockKey();
    WNDCLASSA c{};
    c.lpfnWndProc = DefaultProc;
    c.lpszClassName = "OwnClass";
    ASSERT_NE(RegisterClassA(&c), 0);
    EXPECT_EQ(FindWindowA("OwnClass", nullptr), nullptr);
    HWND w = CreateWindowExA(0, "OwnClass", "", 0x80CA0000u, 0, 0, 64, 64, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(FindWindowA("ownclass", nullptr), w);
    // Held while the class is registered: another opening of the file cannot take it.
    int fd = open(testing::InstanceLockPath("OwnClass").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);
    DestroyWindow(w);
    UnregisterClassA("OwnClass", nullptr);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    close(fd);
    // A test key's file goes with the lock.
    EXPECT_FALSE(std::filesystem::exists(testing::InstanceLockPath("OwnClass")));
}

}  // namespace
}  // namespace plat
