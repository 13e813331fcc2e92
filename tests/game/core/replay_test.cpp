#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/engine_standin.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "platform/win/file.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::vector<uint32_t> Draws(int n) {
    std::vector<uint32_t> out;
    for (int i = 0; i < n; ++i) out.push_back(GetEngineRandom(0x3fffffff));
    return out;
}

class ReplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::Reset();
        ResetConfig();
        ClearButtonState();
        standin::SetDate(2024, 6, 15);
        standin::SetTimeMs(4242);
    }
    void RecordFrames(int n, int raw) {
        standin::SetPadInput(0x1001, raw);
        for (int i = 0; i < n; ++i) RecordOrReplayInput(kReplayRecord);
    }
};

TEST_F(ReplayTest, RecordingStartWritesTheHeader) {
    SetConfigVar(kCfgRunFlags, 0x15);
    SetConfigVar(kCfgDifficulty, 2);
    SetConfigVar(kCfgCharacter, 3);
    SetConfigVar(kCfgReplaySeedMix, 0x10000);
    StartReplay(kReplayRecord);
    EXPECT_EQ(GetReplayWord(0), kReplayMagic);
    EXPECT_EQ(GetReplayWord(1), kReplayTag);
    EXPECT_EQ(GetReplayWord(2), 100u);
    EXPECT_EQ(GetReplayWord(3), 240615u);
    EXPECT_EQ(GetReplayWord(5), 0x15u);
    EXPECT_EQ(GetReplayWord(6), 2u);
    EXPECT_EQ(GetReplayWord(7), 3u);
    EXPECT_EQ(GetReplayCursor(), kReplayHeaderWords);
    EXPECT_FALSE(IsReplayFull());

    // The seed is the 101st draw from the clock mixed with word 30.
    SeedEngineRandom(4242 | 0x10000);
    const std::vector<uint32_t> draws = Draws(101);
    EXPECT_EQ(GetReplayWord(4), draws[100]);
}

TEST_F(ReplayTest, EveryStageStartsFromTheSameRandomState) {
    StartReplay(kReplayRecord);
    const std::vector<uint32_t> atRunStart = Draws(5);
    ASSERT_EQ(SyncReplayArea(kReplayRecord, 0), 0);
    const std::vector<uint32_t> atStage0 = Draws(5);
    RecordFrames(30, 0x10);
    ASSERT_EQ(SyncReplayArea(kReplayRecord, 1), 1);
    const std::vector<uint32_t> atStage1 = Draws(5);
    EXPECT_EQ(atStage0, atRunStart);
    EXPECT_EQ(atStage1, atRunStart);
    ReseedFromReplay();
    EXPECT_EQ(Draws(5), atRunStart);
}

TEST_F(ReplayTest, AreaRecordsAndFramesInTheStream) {
    StartReplay(kReplayRecord);
    SeedEngineRandom(GetReplayWord(4));
    const uint32_t firstDraw = GetEngineRandom(0x3fffffff);

    RecordFrames(2, 0x1);
    SyncReplayArea(kReplayRecord, 2);
    RecordFrames(1, 0x10);
    const uint32_t expected[] = {0, kButtonDown, kButtonDown, kReplayAreaMark, firstDraw ^ 2u, 0,
                                 0, 0,           0,           kButtonShot};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(GetReplayWord(kReplayHeaderWords + i), expected[i]) << "word " << 32 + i;
    }
    EndReplay();
    EXPECT_EQ(GetReplayWord(GetReplayCursor()), kReplayEndMark);
    // The length counts the end mark too, as the saved file does.
    EXPECT_EQ(GetReplayWord(30), static_cast<uint32_t>(GetReplayCursor() + 1) * 4u);
}

TEST_F(ReplayTest, PlaybackFindsTheStageAndReadsItsFrames) {
    StartReplay(kReplayRecord);
    SyncReplayArea(kReplayRecord, 0);
    RecordFrames(3, 0x1);
    SyncReplayArea(kReplayRecord, 1);
    RecordFrames(1, 0x20);
    RecordFrames(1, 0x40);
    EndReplay();

    SetConfigVar(kCfgDifficulty, 0);
    StartReplay(kReplayPlayBack);
    ASSERT_EQ(SyncReplayArea(kReplayPlayBack, 1), 1);
    RecordOrReplayInput(kReplayPlayBack);
    EXPECT_EQ(GetReplayInput(), kButtonSubAction);
    RecordOrReplayInput(kReplayPlayBack);
    EXPECT_EQ(GetReplayInput(), kButtonDirection);
    EXPECT_EQ(SyncReplayArea(kReplayPlayBack, 4), -1);  // no such stage before the end mark
}

TEST_F(ReplayTest, PlaybackSearchStopsOnEscapeOrQuit) {
    StartReplay(kReplayRecord);
    RecordFrames(600, 0);  // long enough for the search to pump messages
    SyncReplayArea(kReplayRecord, 3);
    StartReplay(kReplayPlayBack);
    standin::SetKeyDown(0x01, true);
    EXPECT_EQ(SyncReplayArea(kReplayPlayBack, 3), -1);
    standin::SetKeyDown(0x01, false);
    standin::SetProcessMessageResult(-1);
    EXPECT_EQ(SyncReplayArea(kReplayPlayBack, 3), -1);
    standin::SetProcessMessageResult(0);
    EXPECT_EQ(SyncReplayArea(kReplayPlayBack, 3), 3);
    EXPECT_GT(standin::ProcessMessageCalls(), 0);
}

TEST_F(ReplayTest, PlaybackTakesTheRecordedDifficulty) {
    SetConfigVar(kCfgDifficulty, 2);
    StartReplay(kReplayRecord);
    SetConfigVar(kCfgDifficulty, 0);
    StartReplay(kReplayPlayBack);
    EXPECT_EQ(GetConfigVar(kCfgDifficulty), 2);
}

TEST_F(ReplayTest, WrappingNeverWritesOverTheHeader) {
    StartReplay(kReplayRecord);
    std::vector<uint32_t> header;
    for (int i = 0; i < kReplayHeaderWords; ++i) header.push_back(GetReplayWord(i));
    RecordFrames(kReplayCursorLimit - kReplayHeaderWords - 1, 0x10);
    EXPECT_FALSE(IsReplayFull());
    EXPECT_EQ(GetReplayCursor(), kReplayCursorLimit - 1);
    RecordFrames(1, 0x10);
    EXPECT_TRUE(IsReplayFull());
    EXPECT_EQ(GetReplayCursor(), kReplayHeaderWords);
    RecordFrames(5, 0x10);
    for (int i = 0; i < kReplayHeaderWords; ++i) EXPECT_EQ(GetReplayWord(i), header[i]);
}

TEST_F(ReplayTest, AreaScoresKeepSixEntries) {
    StartReplay(kReplayRecord);
    for (int area = 0; area < 8; ++area) {
        SetGameVar(kGameVarScore0, 100 * (area + 1));
        RecordAreaScore(kReplayRecord, area + 1);
    }
    EXPECT_EQ(GetReplayWord(29) >> 24, 6u);
    EXPECT_EQ(GetReplayWord(29) & 0xffffff, 0x654321u);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(GetReplayWord(17 + k), 1000u * (k + 1));
    EXPECT_EQ(GetReplayWord(23), 0u);
    RecordAreaScore(kReplayPlayBack, 9);  // playback records nothing
    EXPECT_EQ(GetReplayWord(29) & 0xffffff, 0x654321u);
}

TEST_F(ReplayTest, ChecksumSealsTheHeader) {
    StartReplay(kReplayRecord);
    SetGameVar(kGameVarScore0, 5000);
    EndReplay();
    SealReplayHeader();
    uint32_t sum = 0;
    for (int i = 0; i < 31; ++i) sum += GetReplayWord(i);
    SeedLcg(GetReplayWord(4));
    int32_t key = 0;
    for (int i = 0; i < 33; ++i) key = NextLcg();
    EXPECT_EQ(GetReplayWord(31), sum ^ static_cast<uint32_t>(key));
    EXPECT_EQ(GetReplayWord(16), 5000u);
}

TEST_F(ReplayTest, WordAccessOutsideTheBufferIsIgnored) {
    StartReplay(kReplayRecord);
    SetReplayWord(-1, 7);
    SetReplayWord(kReplayWordCount, 7);
    EXPECT_EQ(GetReplayWord(-1), 0u);
    EXPECT_EQ(GetReplayWord(kReplayWordCount), 0u);
    SetReplayWord(kReplayWordCount - 1, 9);
    EXPECT_EQ(GetReplayWord(kReplayWordCount - 1), 9u);
}

TEST_F(ReplayTest, IncrementingAWordWrapsAndStaysInsideTheBuffer) {
    StartReplay(kReplayRecord);
    SetReplayWord(40, 0xffffffffu);
    IncrementReplayWord(40);
    EXPECT_EQ(GetReplayWord(40), 0u);
    IncrementReplayWord(40);
    EXPECT_EQ(GetReplayWord(40), 1u);
    IncrementReplayWord(-1);
    IncrementReplayWord(kReplayWordCount);
    EXPECT_EQ(GetReplayWord(kReplayWordCount - 1), 0u);
}

TEST_F(ReplayTest, MixedReadingKeysTheLowBitsWithTheTopByte) {
    struct Case {
        uint32_t stored, read;
    };
    // Mix of b: (19b & 255) << 16 | (29b & 255) << 8 | (59b & 255).
    const Case cases[] = {
        {0x00abcdefu, 0x00abcdefu},
        {0x01000010u, 0x00131d2bu},
        {0x80000000u, 0x00808080u},
        {0xff123456u, 0x00ffd793u},
    };
    StartReplay(kReplayRecord);
    for (const Case& c : cases) {
        SetReplayWord(GetReplayCursor(), c.stored);
        EXPECT_EQ(GetReplayInput(), c.stored);
        EXPECT_EQ(GetMixedReplayInput(), c.read) << std::hex << c.stored;
    }
}

TEST(PackedValueTest, SplitsTenTenAndFourBits) {
    struct Case {
        uint32_t packed, first, second, third;
    };
    const Case cases[] = {
        {0, 0, 0, 0},
        {0x3ff, 0x3ff, 0, 0},
        {0xffc00, 0, 0x3ff, 0},
        {0xff9aad55u, 0x155, 0x2ab, 9},  // bits above 23 are not part of it
    };
    for (const Case& c : cases) {
        const PackedValue v = SplitPackedValue(c.packed);
        EXPECT_EQ(v.first, c.first) << std::hex << c.packed;
        EXPECT_EQ(v.second, c.second) << std::hex << c.packed;
        EXPECT_EQ(v.third, c.third) << std::hex << c.packed;
    }
}

class ReplayFileTest : public ReplayTest {
protected:
    void SetUp() override {
        ReplayTest::SetUp();
        home_ = fs::current_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // The process id keeps apart the same case run from another checkout at the same time.
        dir_ = fs::path(::testing::TempDir()) /
               (std::string("replay_") + info->name() + "_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "userdata");
        fs::create_directories(dir_ / "dat");
        fs::current_path(dir_);
        plat::ClearPathCache();
    }
    void TearDown() override {
        fs::current_path(home_);
        fs::remove_all(dir_);
    }
    fs::path home_, dir_;
};

TEST_F(ReplayFileTest, SavedReplayKeepsItsEndMarkAndLoadsBack) {
    StartReplay(kReplayRecord);
    SyncReplayArea(kReplayRecord, 0);
    RecordFrames(10, 0x10);
    EndReplay();
    SealReplayHeader();
    const int cursor = GetReplayCursor();
    std::vector<uint32_t> saved;
    for (int i = 0; i <= cursor; ++i) saved.push_back(GetReplayWord(i));

    ASSERT_TRUE(SaveReplay(7));
    EXPECT_EQ(GetReplaySize(7), (cursor + 1) * 4);
    EXPECT_TRUE(fs::exists("userdata/velmrep0007.rpy"));

    StartReplay(kReplayRecord);
    ASSERT_TRUE(LoadReplay(7));
    for (int i = 0; i <= cursor; ++i) EXPECT_EQ(GetReplayWord(i), saved[i]) << "word " << i;
    EXPECT_EQ(GetReplayWord(cursor), kReplayEndMark);

    fs::copy_file("userdata/velmrep0007.rpy", "dat/velmdemo3.rpy");
    EXPECT_TRUE(LoadDemoReplay(3));
    EXPECT_TRUE(DeleteReplay(7));
    EXPECT_EQ(GetReplaySize(7), -1);
    EXPECT_FALSE(LoadReplay(7));
}

TEST_F(ReplayFileTest, FullBufferIsNotSaved) {
    StartReplay(kReplayRecord);
    RecordFrames(kReplayCursorLimit, 0);
    ASSERT_TRUE(IsReplayFull());
    EXPECT_FALSE(SaveReplay(1));
    EXPECT_FALSE(fs::exists("userdata/velmrep0001.rpy"));
}

TEST_F(ReplayFileTest, BadReplayFilesAreRefused) {
    auto write = [](const char* path, const std::vector<uint32_t>& words) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(words.data()),
                  static_cast<std::streamsize>(words.size() * 4));
    };
    std::vector<uint32_t> tooLong(kReplayWordCount + 16, 0);
    tooLong[0] = kReplayMagic;
    tooLong[1] = kReplayTag;
    write("userdata/velmrep0001.rpy", tooLong);
    EXPECT_FALSE(LoadReplay(1));
    write("userdata/velmrep0002.rpy", {kReplayMagic, 0x12345678, 100});
    EXPECT_FALSE(LoadReplay(2));
    write("userdata/velmrep0003.rpy", {kReplayMagic});
    EXPECT_FALSE(LoadReplay(3));
    // Two words are no header: the rest must not be taken from a fresh recording.
    write("userdata/velmrep0004.rpy", {kReplayMagic, kReplayTag});
    EXPECT_FALSE(LoadReplay(4));
}

// A sound saved replay, then the same file with one thing wrong at a time: only the sound one
// loads, and a refused file leaves nothing of itself behind.
TEST_F(ReplayFileTest, HeaderMustHoldForAFileToLoad) {
    StartReplay(kReplayRecord);
    SyncReplayArea(kReplayRecord, 0);
    RecordFrames(20, 0x10);
    EndReplay();
    SealReplayHeader();
    ASSERT_TRUE(SaveReplay(1));
    std::vector<uint32_t> good(static_cast<size_t>(GetReplaySize(1)) / 4);
    {
        std::ifstream in("userdata/velmrep0001.rpy", std::ios::binary);
        in.read(reinterpret_cast<char*>(good.data()),
                static_cast<std::streamsize>(good.size() * 4));
    }
    // The header's length is the file's.
    EXPECT_EQ(good[30], good.size() * 4);
    StartReplay(kReplayRecord);
    EXPECT_TRUE(LoadReplay(1));

    auto write = [](const std::vector<uint32_t>& words, size_t bytes) {
        std::ofstream out("userdata/velmrep0002.rpy", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(words.data()), static_cast<std::streamsize>(bytes));
    };
    struct Case {
        const char* what;
        int word;
        uint32_t value;
        bool reseal;   // the checksum made to fit again, so only the word itself is wrong
        int cutBytes;  // bytes cut from the end of the file
    };
    // clang-format off
    const Case cases[] = {
        {"version",                2,  99,        true,  0},
        {"length word too long",   30, 0,         true,  0},
        {"length word too short",  30, 0,         true,  0},
        {"checksum",               31, 0,         false, 0},
        {"header word changed, not sealed", 16, 0x12345, false, 0},
        {"cut by a word",          -1, 0,         false, 4},
        {"cut inside a word",      -1, 0,         false, 2},
        {"only the header",        -1, 0,         false, -1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint32_t> words = good;
        size_t bytes = words.size() * 4;
        if (c.word == 30) {
            words[30] = std::string(c.what).find("long") != std::string::npos ? words[30] + 4
                                                                              : words[30] - 4;
        } else if (c.word >= 0) {
            words[static_cast<size_t>(c.word)] = c.value;
        }
        if (c.reseal) {
            // Seal the changed header the way the game does.
            StartReplay(kReplayRecord);
            for (size_t i = 0; i < 32; ++i) SetReplayWord(static_cast<int>(i), words[i]);
            SealReplayHeader();
            words[31] = GetReplayWord(31);
        }
        if (c.cutBytes > 0) bytes -= static_cast<size_t>(c.cutBytes);
        if (c.cutBytes < 0) bytes = 32 * 4;
        write(words, bytes);
        StartReplay(kReplayRecord);
        EXPECT_FALSE(LoadReplay(2));
        // Nothing of the refused file stays in the buffer.
        EXPECT_EQ(GetReplayWord(0), 0u);
        EXPECT_EQ(GetReplayWord(4), 0u);
    }
}

// Playback copies the file's difficulty into the settings only when it is one of the three.
TEST_F(ReplayTest, PlaybackDifficultyIsRangeChecked) {
    const struct {
        uint32_t stored;
        int32_t expected;
    } cases[] = {{0, 0}, {2, 2}, {3, 1}, {0xFFFFFFFFu, 1}, {0x80000000u, 1}};
    for (const auto& c : cases) {
        StartReplay(kReplayRecord);
        SetReplayWord(6, c.stored);
        SetConfigVar(kCfgDifficulty, 0);
        StartReplay(kReplayPlayBack);
        EXPECT_EQ(GetConfigVar(kCfgDifficulty), c.expected) << c.stored;
    }
}

}  // namespace
}  // namespace velmora
