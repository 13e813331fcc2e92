#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/base/sjis.h"
#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/engine_standin.h"
#include "platform/testing.h"
#include "platform/win/file.h"
#include "platform/win/message_box.h"
#include "platform/win/messages.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using namespace tessra::sjis_literals;

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::string BackupPath(int year, int month, int day) {
    char name[64];
    FormatBackupName(name, sizeof name, year, month, day);
    return plat::MapPath(name);
}

// Runs `work` in a child process that may write only 1000 bytes of any file. Past them the kernel
// kills it (a crash or power loss partway through a write), or, with `survive`, the write fails
// and the process lives on (a full disk). The child's wait status.
template <typename Work>
int RunWithFilesCutAt1000Bytes(bool survive, Work work) {
    const pid_t child = fork();
    if (child == 0) {
        rlimit core{0, 0};
        setrlimit(RLIMIT_CORE, &core);
        if (survive) std::signal(SIGXFSZ, SIG_IGN);
        rlimit size{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &size);
        work();
        _exit(0);
    }
    int status = -1;
    if (child > 0) waitpid(child, &status, 0);
    return status;
}

// Each case works in a directory of its own with a "userdata" folder, as the game's start
// directory would be.
class ConfigFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = fs::current_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // The process id keeps apart the same case run from another checkout at the same time.
        dir_ =
            fs::path(::testing::TempDir()) / (std::string("config_") + info->test_suite_name() +
                                              "_" + info->name() + "_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "userdata");
        fs::current_path(dir_);
        plat::ClearPathCache();
        plat::testing::Reset();
        standin::Reset();
        ResetConfig();
    }
    void TearDown() override {
        fs::current_path(home_);
        fs::remove_all(dir_);
    }

    std::vector<plat::testing::ShownMessageBox> Boxes() {
        return plat::testing::ShownMessageBoxes();
    }

    fs::path home_, dir_;
};

TEST_F(ConfigFileTest, SaveAndLoadRoundTrip) {
    for (int n = 0; n < kConfigWordCount; ++n) SetConfigVar(n, n * 1000003 - 7);
    SetConfigVar(kCfgWindowSize, 3);
    SetConfigVar(kCfgCharacter, 2);
    SetConfigVar(kCfgArea, 5);
    SetConfigVar(kCfgLastCharacter, 1);
    SetConfigVar(kCfgTileOption, 3);
    SetConfigVar(kCfgMusicVolume, 37);
    SetConfigVar(kCfgSeVolume, 100);
    SetConfigVar(kConfigValidWord, 100);
    SetConfigVar(kCfgInstallId, 1234);
    EXPECT_EQ(SaveConfig(), kConfigFileSize);
    EXPECT_EQ(fs::file_size(kConfigFileName), 4096u);
    EXPECT_FALSE(fs::exists(std::string(kConfigFileName) + ".new"));

    ResetConfig();
    standin::AdvanceTimeMs(777);
    EXPECT_EQ(LoadConfig(), kConfigFileSize);
    EXPECT_TRUE(Boxes().empty());
    for (int n = 0; n < kConfigWordCount; ++n) {
        if (n == kConfigSeedWord || n == kConfigValidWord || n == kCfgWindowSize ||
            n == kCfgCharacter || n == kCfgArea || n == kCfgInstallId || n == kCfgMusicVolume ||
            n == kCfgSeVolume || n == kCfgLastCharacter || n == kCfgTileOption) {
            continue;
        }
        ASSERT_EQ(GetConfigVar(n), n * 1000003 - 7) << "word " << n;
    }
    EXPECT_EQ(GetConfigVar(kCfgWindowSize), 3);
    EXPECT_EQ(GetConfigVar(kCfgCharacter), 2);
    EXPECT_EQ(GetConfigVar(kCfgArea), 5);
    EXPECT_EQ(GetConfigVar(kCfgLastCharacter), 1);
    EXPECT_EQ(GetConfigVar(kCfgTileOption), 3);
    EXPECT_EQ(GetConfigVar(kCfgMusicVolume), 37);
    EXPECT_EQ(GetConfigVar(kCfgSeVolume), 100);
    EXPECT_EQ(GetConfigVar(kCfgInstallId), 1234);
    // Loading writes the file back and makes the day's backup.
    EXPECT_TRUE(fs::exists(BackupPath(2024, 6, 15)));
}

TEST_F(ConfigFileTest, OutOfRangeIndexWordsInAFileAreReplacedOnLoad) {
    SetConfigVar(kCfgWindowSize, 9);
    SetConfigVar(kCfgCharacter, -1);
    SetConfigVar(kCfgArea, 40);
    SetConfigVar(kCfgMusicVolume, INT32_MAX);
    SetConfigVar(kCfgSeVolume, -3);
    ASSERT_EQ(SaveConfig(), kConfigFileSize);
    ResetConfig();
    ASSERT_EQ(LoadConfig(), kConfigFileSize);
    EXPECT_EQ(GetConfigVar(kCfgWindowSize), 1);
    EXPECT_EQ(GetConfigVar(kCfgCharacter), 0);
    EXPECT_EQ(GetConfigVar(kCfgArea), 0);
    EXPECT_EQ(GetConfigVar(kCfgMusicVolume), 95);
    EXPECT_EQ(GetConfigVar(kCfgSeVolume), 90);
}

TEST_F(ConfigFileTest, MarkerBelowHundredBringsTheCreationBox) {
    SetConfigVar(kConfigValidWord, 99);
    SetConfigVar(kCfgMusicVolume, 12);
    ASSERT_EQ(SaveConfig(), kConfigFileSize);
    const std::vector<uint8_t> before = ReadBytes(kConfigFileName);
    plat::testing::PushMessageBoxAnswer(plat::IDNO);
    EXPECT_EQ(LoadConfig(), -1);
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "コンフィグが見つかりません\n初期化しますか？"_sjis);
    EXPECT_EQ(boxes[0].caption, "ヴェルモラ"_sjis);
    EXPECT_EQ(boxes[0].type & 0xf, plat::MB_YESNOCANCEL);
    EXPECT_TRUE(boxes[0].type & plat::MB_TOPMOST);
    // Declining leaves the old file as it was and asks the program to quit.
    EXPECT_EQ(ReadBytes(kConfigFileName), before);
    plat::MSG msg{};
    ASSERT_TRUE(plat::PeekMessageA(&msg, nullptr, 0, 0, plat::PM_REMOVE));
    EXPECT_EQ(msg.message, plat::WM_QUIT);
}

TEST_F(ConfigFileTest, CancelAlsoDeclines) {
    plat::testing::PushMessageBoxAnswer(plat::IDCANCEL);
    EXPECT_EQ(LoadConfig(), -1);
    EXPECT_FALSE(fs::exists(kConfigFileName));
}

TEST_F(ConfigFileTest, FirstRunAnswersSetScreenModeAndPacing) {
    struct Case {
        int fullScreen, vsync;
        int32_t word16, word19;
    };
    const Case cases[] = {
        {plat::IDYES, plat::IDYES, 0, 0},
        {plat::IDNO, plat::IDNO, 2, 1},
        {plat::IDYES, plat::IDNO, 0, 1},
        {plat::IDNO, plat::IDYES, 2, 0},
    };
    for (const Case& c : cases) {
        fs::remove(kConfigFileName);
        plat::testing::Reset();
        plat::testing::PushMessageBoxAnswer(plat::IDYES);
        plat::testing::PushMessageBoxAnswer(c.fullScreen);
        plat::testing::PushMessageBoxAnswer(c.vsync);
        ASSERT_EQ(LoadConfig(), kConfigFileSize);
        const auto boxes = Boxes();
        ASSERT_EQ(boxes.size(), 3u);
        EXPECT_EQ(boxes[1].text, "フルスクリーンで起動しますか？"_sjis);
        EXPECT_EQ(boxes[2].text, "垂直同期をとりますか？"_sjis);
        EXPECT_EQ(boxes[1].type & 0xf, plat::MB_YESNO);
        EXPECT_EQ(GetConfigVar(kCfgScreenMode), c.word16);
        EXPECT_EQ(GetConfigVar(kCfgPacing), c.word19);
        EXPECT_EQ(GetConfigVar(kConfigValidWord), 100);
        EXPECT_EQ(GetConfigVar(kCfgMusicVolume), 95);
        EXPECT_NE(GetConfigVar(kCfgInstallId), 0);
        EXPECT_EQ(fs::file_size(kConfigFileName), 4096u);
    }
}

// A fresh installation's id is drawn from a generator seeded at that moment: it does not depend
// on what the generator did before, and two installs at different times get different ids.
TEST_F(ConfigFileTest, FreshInstallIdComesFromASeededGenerator) {
    auto install = [](uint32_t clock, uint32_t earlierSeed) {
        fs::remove(kConfigFileName);
        plat::testing::Reset();
        standin::SetTimeMs(clock);
        SeedEngineRandom(earlierSeed);  // whatever state the generator was left in
        plat::testing::PushMessageBoxAnswer(plat::IDYES);
        plat::testing::PushMessageBoxAnswer(plat::IDNO);
        plat::testing::PushMessageBoxAnswer(plat::IDNO);
        EXPECT_EQ(LoadConfig(), kConfigFileSize);
        return GetConfigVar(kCfgInstallId);
    };
    const int32_t first = install(1000, 1);
    EXPECT_NE(first, 0);
    EXPECT_EQ(install(1000, 99), first);
    EXPECT_NE(install(2000, 1), first);
}

// The new settings reach the disk before the rename, and the rename reaches it before the save
// reports success, so a power loss keeps either the old file or the new one.
TEST_F(ConfigFileTest, SaveSyncsTheFileThenRenamesThenSyncsTheFolder) {
    ASSERT_EQ(SaveConfig(), kConfigFileSize);  // a file to replace
    plat::TakeDiskSyncLog();
    SetConfigVar(kCfgMusicVolume, 12);
    ASSERT_EQ(SaveConfig(), kConfigFileSize);
    const std::string folder = fs::canonical(dir_).string();
    const std::string file = folder + "/" + kConfigFileName;
    const std::vector<std::string> expected = {
        "flush " + file + ".new",
        "move " + file + ".new " + file,
        "flush folder " + folder,
    };
    EXPECT_EQ(plat::TakeDiskSyncLog(), expected);
    EXPECT_FALSE(fs::exists(file + ".new"));
    ResetConfig();
    ASSERT_EQ(LoadConfig(), kConfigFileSize);
    EXPECT_EQ(GetConfigVar(kCfgMusicVolume), 12);
}

TEST_F(ConfigFileTest, ShortFileReadsZeroPadded) {
    // Ends with the marker, or a little into the next word: either way every word the file does
    // not hold whole reads 0, not the key stream behind it.
    for (size_t size :
         {size_t{4 * (kConfigValidWord + 1)}, size_t{4 * (kConfigValidWord + 1) + 2}}) {
        ResetConfig();
        SetConfigVar(kCfgMusicVolume, 33);
        SetConfigVar(46, 5000);
        for (int n : {48, 50, 55, 600, 1023}) SetConfigVar(n, -1);
        ASSERT_EQ(SaveConfig(), kConfigFileSize);
        std::vector<uint8_t> bytes = ReadBytes(kConfigFileName);
        bytes.resize(size);
        WriteBytes(kConfigFileName, bytes);
        ResetConfig();
        ASSERT_EQ(LoadConfig(), kConfigFileSize) << size << " bytes";
        EXPECT_TRUE(Boxes().empty());
        EXPECT_EQ(GetConfigVar(kCfgMusicVolume), 33);
        EXPECT_EQ(GetConfigVar(46), 5000);
        for (int n = kConfigValidWord + 1; n < kConfigWordCount; ++n) {
            ASSERT_EQ(GetConfigVar(n), 0) << "word " << n << ", " << size << " bytes";
        }
        EXPECT_EQ(fs::file_size(kConfigFileName), 4096u);  // written back whole
    }
}

TEST_F(ConfigFileTest, FileEndingBeforeTheMarkerIsNotUsable) {
    for (size_t size : {size_t{0}, size_t{100}, size_t{4 * kConfigValidWord}}) {
        ResetConfig();
        ASSERT_EQ(SaveConfig(), kConfigFileSize);
        std::vector<uint8_t> bytes = ReadBytes(kConfigFileName);
        bytes.resize(size);
        WriteBytes(kConfigFileName, bytes);
        plat::testing::Reset();
        plat::testing::PushMessageBoxAnswer(plat::IDNO);
        EXPECT_EQ(LoadConfig(), -1) << size << " bytes";
        EXPECT_EQ(Boxes().size(), 1u);
    }
}

TEST_F(ConfigFileTest, BackupRotationOverTwelveDays) {
    standin::SetDate(2024, 6, 20);
    for (int day = 9; day <= 19; ++day) WriteBytes(BackupPath(2024, 6, day), {1, 2, 3});
    const std::vector<uint8_t> today(kConfigFileSize, 7);
    WriteBytes(BackupPath(2024, 6, 20), today);
    BackupConfigDaily();
    for (int day = 9; day <= 20; ++day) {
        EXPECT_EQ(fs::exists(BackupPath(2024, 6, day)), day >= 11) << "day " << day;
    }
    // Today's backup already existed whole and is left alone.
    EXPECT_EQ(ReadBytes(BackupPath(2024, 6, 20)), today);
}

// A backup shorter than a whole image is what a write cut short (a full disk) left: it is taken
// as absent and written again whole, or the day would keep no backup at all.
TEST_F(ConfigFileTest, AShortBackupOfTheDayIsWrittenAgainWhole) {
    standin::SetDate(2024, 6, 20);
    SetConfigVar(kCfgMusicVolume, 41);
    for (size_t size : {size_t{0}, size_t{1000}, size_t{kConfigFileSize - 1}}) {
        WriteBytes(BackupPath(2024, 6, 20), std::vector<uint8_t>(size, 0));
        BackupConfigDaily();
        const std::vector<uint8_t> bytes = ReadBytes(BackupPath(2024, 6, 20));
        ASSERT_EQ(bytes.size(), size_t{kConfigFileSize}) << size << " bytes before";
        ConfigStore decoded;
        UnscrambleConfig(bytes.data(), decoded);
        EXPECT_EQ(GetStoreWord(decoded, kCfgMusicVolume), 41) << size << " bytes before";
    }
}

// The disk fills partway through the day's backup: the write fails (the process lives on, as
// with a full disk), no short backup is left behind, and the next start writes it whole.
TEST_F(ConfigFileTest, ABackupCutShortByAFullDiskLeavesNoShortFile) {
    standin::SetDate(2024, 6, 20);
    const int status = RunWithFilesCutAt1000Bytes(true, [] { BackupConfigDaily(); });
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_FALSE(fs::exists(BackupPath(2024, 6, 20)));
    EXPECT_FALSE(fs::exists(BackupPath(2024, 6, 20) + ".new"));

    BackupConfigDaily();
    EXPECT_EQ(fs::file_size(BackupPath(2024, 6, 20)), size_t{kConfigFileSize});
}

// A save that cannot be made (a read-only folder, a full disk) is logged, and the game goes on
// with the settings it has: at start-up, whether the file was read or the first-run questions
// were asked, and at a plain save such as a scene change makes.
TEST_F(ConfigFileTest, AFailingSaveIsLoggedAndPlayGoesOn) {
    const std::string line = std::string("settings: ") + kConfigFileName + " could not be written";
    struct Case {
        const char* what;
        bool fileBefore;  // a usable settings file to start from
        int (*save)();
    };
    const Case cases[] = {
        {"start-up with a settings file", true, &LoadConfig},
        {"start-up with the first-run questions", false, &LoadConfig},
        {"a plain save", true, &SaveConfig},
    };
    for (const Case& c : cases) {
        fs::remove_all(std::string(kConfigFileName) + ".new");
        fs::remove(kConfigFileName);
        plat::testing::Reset();
        ResetConfig();
        SetConfigVar(kCfgMusicVolume, 52);
        if (c.fileBefore) {
            ASSERT_EQ(SaveConfig(), kConfigFileSize) << c.what;
        }
        ResetConfig();
        for (int i = 0; i < 3; ++i) plat::testing::PushMessageBoxAnswer(plat::IDYES);
        fs::create_directory(std::string(kConfigFileName) + ".new");  // nothing can be written

        ::testing::internal::CaptureStderr();
        const int result = c.save();
        const std::string logged = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(logged.find(line), std::string::npos) << c.what << ": " << logged;
        if (c.save == &SaveConfig) {
            EXPECT_EQ(result, -1) << c.what;
        } else {
            // Start-up goes on with what it read or was told.
            EXPECT_EQ(result, kConfigFileSize) << c.what;
            EXPECT_EQ(GetConfigVar(kConfigValidWord), kConfigValidMarker) << c.what;
            EXPECT_EQ(GetConfigVar(kCfgMusicVolume), c.fileBefore ? 52 : 95) << c.what;
        }
    }
    // A save that works says nothing.
    fs::remove_all(std::string(kConfigFileName) + ".new");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(SaveConfig(), kConfigFileSize);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(ConfigFileTest, BackupWrittenOnceADayAndStepsBackOverMonthsOf31Days) {
    standin::SetDate(2025, 1, 3);
    // Among the 11 days before: Jan 2, 1, then "Dec 31" .. "Dec 23" of 2024.
    for (int day = 23; day <= 31; ++day) WriteBytes(BackupPath(2024, 12, day), {1});
    WriteBytes(BackupPath(2025, 1, 1), {1});
    WriteBytes(BackupPath(2025, 1, 2), {1});
    WriteBytes(BackupPath(2024, 12, 22), {1});  // 12 days back: never looked at
    SetConfigVar(kCfgMusicVolume, 44);
    BackupConfigDaily();
    EXPECT_EQ(fs::file_size(BackupPath(2025, 1, 3)), 4096u);
    EXPECT_EQ(BackupPath(2025, 1, 3), "userdata/config_backup250103.sav");
    EXPECT_FALSE(fs::exists(BackupPath(2024, 12, 24)));  // 10th found
    EXPECT_FALSE(fs::exists(BackupPath(2024, 12, 23)));  // 11th found
    EXPECT_TRUE(fs::exists(BackupPath(2024, 12, 25)));
    EXPECT_TRUE(fs::exists(BackupPath(2024, 12, 22)));

    // The day's backup decodes to the store it was made from.
    const std::vector<uint8_t> bytes = ReadBytes(BackupPath(2025, 1, 3));
    ConfigStore decoded;
    UnscrambleConfig(bytes.data(), decoded);
    EXPECT_EQ(GetStoreWord(decoded, kCfgMusicVolume), 44);
}

TEST_F(ConfigFileTest, MissingUserdataFolderOnlyLosesTheBackup) {
    fs::remove_all("userdata");
    plat::ClearPathCache();
    for (int i = 0; i < 3; ++i) plat::testing::PushMessageBoxAnswer(plat::IDYES);
    EXPECT_EQ(LoadConfig(), kConfigFileSize);
    EXPECT_TRUE(fs::exists(kConfigFileName));
    EXPECT_FALSE(fs::exists("userdata"));
}

TEST_F(ConfigFileTest, AFailedSaveKeepsThePreviousFile) {
    SetConfigVar(kCfgMusicVolume, 61);
    ASSERT_EQ(SaveConfig(), kConfigFileSize);
    const std::vector<uint8_t> before = ReadBytes(kConfigFileName);
    fs::create_directory(std::string(kConfigFileName) + ".new");  // the new image cannot be made
    SetConfigVar(kCfgMusicVolume, 62);
    EXPECT_EQ(SaveConfig(), -1);
    EXPECT_EQ(ReadBytes(kConfigFileName), before);
}

TEST_F(ConfigFileTest, KilledMidSaveLeavesThePreviousSettingsReadable) {
    SetConfigVar(kCfgMusicVolume, 71);
    ASSERT_EQ(SaveConfig(), kConfigFileSize);

    SetConfigVar(kCfgMusicVolume, 72);
    // The kernel kills the child partway through the save.
    const int status = RunWithFilesCutAt1000Bytes(false, [] { SaveConfig(); });
    ASSERT_TRUE(WIFSIGNALED(status)) << status;

    ResetConfig();
    ASSERT_EQ(LoadConfig(), kConfigFileSize);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(GetConfigVar(kCfgMusicVolume), 71);
}

TEST_F(ConfigFileTest, RollBackAsksBeforeTouchingTheStore) {
    standin::SetDate(2024, 6, 20);
    SetConfigVar(kCfgMusicVolume, 11);
    ASSERT_EQ(SaveConfig(), kConfigFileSize);
    fs::rename(kConfigFileName, BackupPath(2024, 6, 19));
    SetConfigVar(kCfgMusicVolume, 33);
    ASSERT_EQ(SaveConfig(), kConfigFileSize);
    fs::rename(kConfigFileName, BackupPath(2024, 6, 17));

    SetConfigVar(kCfgMusicVolume, 77);
    plat::testing::PushMessageBoxAnswer(plat::IDNO);
    plat::testing::PushMessageBoxAnswer(plat::IDNO);
    EXPECT_FALSE(RollBackConfig());
    EXPECT_EQ(GetConfigVar(kCfgMusicVolume), 77);
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "2024年 6月19日のデータが見つかりました\nロールバックしますか？"_sjis);
    EXPECT_EQ(boxes[0].caption, "ヴェルモラ"_sjis);

    plat::testing::Reset();
    plat::testing::PushMessageBoxAnswer(plat::IDNO);
    plat::testing::PushMessageBoxAnswer(plat::IDYES);
    EXPECT_TRUE(RollBackConfig());
    EXPECT_EQ(GetConfigVar(kCfgMusicVolume), 33);
}

TEST_F(ConfigFileTest, WholeFileHelpers) {
    const uint8_t data[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(WriteWholeFile("userdata\\Blob.bin", data, 5), 5);
    fs::permissions("userdata/Blob.bin", fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_EQ(WriteWholeFile("USERDATA\\blob.bin", data, 3), 3);  // read-only is cleared
    EXPECT_EQ(GetFileLength("userdata\\blob.bin"), 3);
    uint8_t back[8] = {};
    EXPECT_EQ(ReadWholeFile("userdata\\blob.bin", back, 8), 3);
    EXPECT_EQ(back[2], 3);
    EXPECT_EQ(ReadWholeFile("userdata\\none.bin", back, 8), -1);
    EXPECT_EQ(GetFileLength("userdata\\none.bin"), -1);
    EXPECT_EQ(WriteWholeFile("nofolder\\x.bin", data, 5), -1);
}

}  // namespace
}  // namespace velmora
