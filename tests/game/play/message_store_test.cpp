#include "game/play/message_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "game/core/game_vars.h"

namespace velmora {
namespace {

// Each case works in a folder of its own holding dat/velm1.dat made from plain text.
class MessageStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("messages_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
                std::to_string(getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "dat");
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        ClearMessages();
    }
    void TearDown() override {
        if (chdir(::testing::TempDir().c_str()) == 0) std::filesystem::remove_all(dir_);
    }
    // Writes the plain text scrambled as the game stores it.
    void WriteFile(const std::string& plain) {
        std::vector<uint8_t> bytes(plain.begin(), plain.end());
        ScrambleBuffer(bytes.data(), bytes.data(), 0, bytes.size());
        std::ofstream out(dir_ / "dat" / "velm1.dat", std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    // Message 0 as given, the rest short.
    void WriteFirst(const std::string& first) {
        std::string plain = first;
        for (int i = 1; i < kMessageCount; ++i) plain += "m" + std::to_string(i) + "@e";
        WriteFile(plain);
        ASSERT_TRUE(LoadMessages());
    }
    std::filesystem::path dir_;
};

TEST_F(MessageStoreTest, MissingFileFails) {
    EXPECT_FALSE(LoadMessages());
}

TEST_F(MessageStoreTest, IndexesMessagesAndKeepsThemScrambled) {
    WriteFirst("hello@e");
    EXPECT_EQ(GetMessageLength(0), 7);
    EXPECT_EQ(GetMessageLength(1), 4);
    EXPECT_EQ(GetMessageLength(95), 5);
    EXPECT_EQ(GetMessageLength(96), 0);
    EXPECT_EQ(GetMessageLength(-1), 0);
    uint8_t buffer[kMessageBufferBytes];
    UnscrambleMessage(buffer, 17);
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer), "m17@e");
    UnscrambleMessage(buffer, 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer), "hello@e");
}

struct ParseCase {
    const char* text;
    int skip;
    int result;
    std::vector<std::string> lines;
};

TEST_F(MessageStoreTest, ParsesPagesLinesAndTags) {
    const ParseCase cases[] = {
        {"A@nB@e", 0, 1, {"A", "B"}},
        {"A@wB@e", 0, 1, {"A"}},
        {"A@wB@e", 1, 0, {"B"}},
        {"A@nB@wC@nD@w@e", 2, 2, {"C", "D"}},
        {"A\r\nB@e", 0, 0, {"AB"}},
        {"x@@yz@e", 0, 0, {"x@yz"}},
        // An escaped "@@" before "n" is text, not a break: pages stay aligned.
        {"A@@nB@wC@e", 0, 1, {"A@nB"}},
        {"A@@nB@wC@e", 1, 0, {"C"}},
        {"A@@wB@wC@e", 1, 0, {"C"}},
        {"@c2Hi@e", 0, 0, {"Hi"}},
        // A message with more breaks than there are lines stops at the last line.
        {"@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@n@nX@e", 0, 31, {}},
    };
    for (const ParseCase& c : cases) {
        WriteFirst(c.text);
        EXPECT_EQ(ParseMessage(0, c.skip), c.result) << c.text << " skip " << c.skip;
        for (size_t i = 0; i < c.lines.size(); ++i)
            EXPECT_EQ(GetMessageLine(static_cast<int>(i)), c.lines[i]) << c.text << " line " << i;
        EXPECT_STREQ(GetMessageLine(static_cast<int>(c.lines.size())), "") << c.text;
    }
}

TEST_F(MessageStoreTest, SpeakerAndValuesLastWhilePagingAndResetOnAFreshStart) {
    WriteFirst("@c2@p5A@wB@e");
    ParseMessage(0, 0);
    EXPECT_EQ(GetMessageSpeaker(), 2);
    EXPECT_EQ(GetSpeakerValue(2), 5);
    ParseMessage(0, 1);
    EXPECT_EQ(GetMessageSpeaker(), 2);
    EXPECT_EQ(GetSpeakerValue(2), 5);
    ParseMessage(1, 0);
    EXPECT_EQ(GetMessageSpeaker(), 0);
    EXPECT_EQ(GetSpeakerValue(2), 0);
    EXPECT_EQ(GetSpeakerValue(4), 0);
    EXPECT_EQ(GetSpeakerValue(-1), 0);
}

TEST_F(MessageStoreTest, SpeakerDigitsOutsideTheirRangeAreIgnored) {
    WriteFirst("@c1@c7@p3@cx@pzA@e");
    ParseMessage(0, 0);
    EXPECT_EQ(GetMessageSpeaker(), 1);
    EXPECT_EQ(GetSpeakerValue(1), 3);
    EXPECT_EQ(GetMessageLine(0), std::string("A"));
}

TEST_F(MessageStoreTest, MissingEndRunsToTheDataAndLaterMessagesAreEmpty) {
    WriteFile("first@esecond without end");
    ASSERT_TRUE(LoadMessages());
    EXPECT_EQ(GetMessageLength(0), 7);
    EXPECT_EQ(GetMessageLength(1), 18);
    for (int n = 2; n < kMessageCount; ++n) EXPECT_EQ(GetMessageLength(n), 0) << n;
    EXPECT_EQ(ParseMessage(1, 0), 0);
    EXPECT_EQ(GetMessageLine(0), std::string("second without end"));
    EXPECT_EQ(ParseMessage(50, 0), 0);
    EXPECT_STREQ(GetMessageLine(0), "");
}

TEST_F(MessageStoreTest, LongMessagesAndLinesAreCutAtTheirLimits) {
    // A file longer than the image, one message of 40,000 bytes without breaks.
    WriteFile(std::string(40000, 'a') + "@e");
    ASSERT_TRUE(LoadMessages());
    EXPECT_EQ(GetMessageLength(0), kMessageImageBytes);
    EXPECT_EQ(ParseMessage(0, 0), 0);
    EXPECT_EQ(std::string(GetMessageLine(0)), std::string(255, 'a'));
    CopyMessageRaw(30, 0);
    EXPECT_EQ(std::string(GetMessageLine(30)), std::string(255, 'a'));
}

TEST_F(MessageStoreTest, RawCopyKeepsTagsUpToTheEnd) {
    WriteFirst("T@nx@e");
    CopyMessageRaw(30, 0);
    EXPECT_EQ(GetMessageLine(30), std::string("T@nx"));
    CopyMessageRaw(32, 0);  // no such line: nothing happens
    CopyMessageRaw(-1, 0);
    EXPECT_STREQ(GetMessageLine(32), "");
}

}  // namespace
}  // namespace velmora
