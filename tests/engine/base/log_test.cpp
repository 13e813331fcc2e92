#include "engine/base/log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/base/log_test_support.h"
#include "platform/testing.h"
#include "platform/win/debug_output.h"

namespace tessra {
namespace {

using LogTest = LogFixture;

// Every stamp is "<milliseconds>:"; the clock's value is not ours to fix, so the stamps are
// replaced by "S:" before comparing.
std::string Unstamp(const std::string& log) {
    std::string out;
    bool lineStart = true;
    for (size_t i = 0; i < log.size(); ++i) {
        if (lineStart) {
            size_t j = i;
            while (j < log.size() && log[j] >= '0' && log[j] <= '9') ++j;
            if (j > i && j < log.size() && log[j] == ':') {
                out += "S:";
                i = j;
                lineStart = false;
                continue;
            }
        }
        out += log[i];
        lineStart = log[i] == '\n';
    }
    return out;
}

TEST_F(LogTest, LineHasStampIndentAndCrLf) {
    plat::testing::SetFakeClock(5000);
    InitLogFile();
    IncreaseLogIndent();
    IncreaseLogIndent();
    plat::testing::AdvanceFakeClock(1234);
    EXPECT_EQ(AppendLog("hello\n"), -1);
    plat::testing::AdvanceFakeClock(1);
    AppendLog("again\n");
    plat::testing::UseRealClock();
    EXPECT_EQ(ReadLog(), "1234:\t\thello\r\n1235:\t\tagain\r\n");
}

TEST_F(LogTest, IndentNeverGoesBelowZero) {
    DecreaseLogIndent();
    IncreaseLogIndent();
    AppendLog("a\n");
    EXPECT_EQ(Unstamp(ReadLog()), "S:\ta\r\n");
}

TEST_F(LogTest, TextWithoutLineEndIsContinued) {
    IncreaseLogIndent();
    AppendLog("one");
    AppendLog(" two\n");
    AppendLog("three\n");
    EXPECT_EQ(Unstamp(ReadLog()), "S:\tone two\r\nS:\tthree\r\n");
}

TEST_F(LogTest, LineEndConversion) {
    struct Case {
        const char* text;
        const char* written;
    };
    const Case cases[] = {
        {"a\nb\n", "S:a\r\nb\r\n"},
        // From the first CR LF on, the rest is copied as it stands.
        {"a\nb\r\nc\nd\n", "S:a\r\nb\r\nc\nd\n"},
        {"\n", "S:\r\n"},
        // 0x5C as a trail byte and a lead byte before LF: the LF is still found.
        {"\x95\x5C\n", "S:\x95\x5C\r\n"},
        // A lead byte takes the LF behind it as its trail byte: not a line end.
        {"\x95\nx\n", "S:\x95\nx\r\n"},
        // A lead byte before the terminator ends the scan there.
        {"a\n\x95", "S:a\r\n\x95"},
    };
    for (const Case& c : cases) {
        InitLogFile();
        AppendLog(c.text);
        EXPECT_EQ(Unstamp(ReadLog()), c.written) << c.text;
    }
}

TEST_F(LogTest, LongTextOfLineFeedsIsConvertedWhole) {
    // Every byte an LF: the converted text is twice as long as the original.
    for (size_t len : {255u, 256u, 3000u}) {
        InitLogFile();
        AppendLog(std::string(len, '\n').c_str());
        std::string expected = "S:";
        for (size_t i = 0; i < len; ++i) expected += "\r\n";
        EXPECT_EQ(Unstamp(ReadLog()), expected) << len;
    }
}

TEST_F(LogTest, DebugOutputHasIndentAndTextButNoStamp) {
    IncreaseLogIndent();
    plat::BeginDebugOutputCapture();
    AppendLog("x\ny\n");
    EXPECT_EQ(plat::EndDebugOutputCapture(), "\tx\r\ny\r\n");
}

TEST_F(LogTest, LogOffWritesNothingAnywhere) {
    SetLogEnabledBody(0);
    ::unlink(LogPath().c_str());
    EXPECT_EQ(InitLogFile(), 1);
    plat::BeginDebugOutputCapture();
    EXPECT_EQ(AppendLog("text\n"), -1);
    EXPECT_EQ(AppendLogFormat("%d", 5), -1);
    EXPECT_EQ(plat::EndDebugOutputCapture(), "");
    EXPECT_FALSE(LogExists());
}

TEST_F(LogTest, InitLogFileEmptiesTheFile) {
    AppendLog("old\n");
    InitLogFile();
    EXPECT_EQ(ReadLog(), "");
}

TEST_F(LogTest, NoStartDirectoryWritesNothing) {
    SetLogStartDirectory(nullptr);
    plat::BeginDebugOutputCapture();
    AppendLog("text\n");
    EXPECT_EQ(plat::EndDebugOutputCapture(), "");
    EXPECT_EQ(ReadLog(), "");
}

TEST_F(LogTest, NoTimeStampSwitch) {
    GetLogState().noTimeStamp = 1;
    AppendLog("a\n");
    EXPECT_EQ(ReadLog(), "a\r\n");
}

TEST_F(LogTest, FormatAppendsLineEnd) {
    AppendLogFormat("n=%d s=%s", 42, "x");
    AppendLogFormat("ends\n");
    EXPECT_EQ(Unstamp(ReadLog()), "S:n=42 s=x\r\nS:ends\r\n\r\n");
}

TEST_F(LogTest, OverlongFormatIsCutAndKeepsItsLineEnd) {
    const std::string big(5000, 'q');
    AppendLogFormat("%s", big.c_str());
    AppendLog("next\n");
    const std::string log = Unstamp(ReadLog());
    EXPECT_EQ(log, "S:" + std::string(1022, 'q') + "\r\nS:next\r\n");
}

TEST_F(LogTest, CutFormatDropsALoneLeadByte) {
    // 1021 ASCII bytes, then a double-byte character that no longer fits whole.
    const std::string text = std::string(1021, 'a') + "\x83\x41";
    AppendLogFormat("%s", text.c_str());
    EXPECT_EQ(Unstamp(ReadLog()), "S:" + std::string(1021, 'a') + "\r\n");
}

TEST(FormatTextTest, NeverWritesPastTheBuffer) {
    char buffer[8];
    std::memset(buffer, 'z', sizeof(buffer));
    FormatText(buffer, 6, "%s", "abcdefghij");
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(buffer[6], 'z');
}

}  // namespace
}  // namespace tessra

namespace tessra {
namespace {

TEST_F(LogTest, UserWindowSendsToTheDebuggerOnly) {
    GetLogState().userWindow = 1;
    plat::BeginDebugOutputCapture();
    AppendLog("a\n");
    EXPECT_EQ(plat::EndDebugOutputCapture(), "a\r\n");
    GetLogState().userWindow = 0;
    EXPECT_EQ(ReadLog(), "");
}

TEST_F(LogTest, DateStampedName) {
    plat::testing::SetFakeLocalTime(2024, 3, 7, 9, 5, 30);
    GetLogState().dateStampedName = 1;
    InitLogFile();
    AppendLog("x\n");
    plat::testing::UseRealLocalTime();
    const std::string name = GetLogState().fileName;
    GetLogState().dateStampedName = 0;
    EXPECT_EQ(name, "Log2024_3_7_9_5_30.txt");
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.good());
    InitLogFile();
    EXPECT_STREQ(GetLogState().fileName, "Log.txt");
}

TEST_F(LogTest, DeepIndentWritesEveryTab) {
    GetLogState().noTimeStamp = 1;
    for (int i = 0; i < 300; ++i) IncreaseLogIndent();
    AppendLog("x\n");
    EXPECT_EQ(ReadLog(), std::string(300, '\t') + "x\r\n");
}

}  // namespace
}  // namespace tessra

namespace tessra {
namespace {

// Lines written from several threads at once each arrive whole: stamp, indent and text
// together, never another thread's pieces in between.
TEST_F(LogTest, LinesFromManyThreadsStayWhole) {
    IncreaseLogIndent();
    constexpr int kThreads = 4;
    constexpr int kLines = 250;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) AppendLogFormat("thread %d line %d", t, i);
        });
    for (auto& th : threads) th.join();
    DecreaseLogIndent();
    const std::string log = ReadLog();
    std::vector<int> seen(kThreads, 0);
    size_t start = 0;
    int lines = 0;
    while (start < log.size()) {
        const size_t end = log.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "unended line at " << start;
        const std::string line = log.substr(start, end - start);
        start = end + 2;
        ++lines;
        int stamp = -1, t = -1, i = -1, used = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d:\tthread %d line %d%n", &stamp, &t, &i, &used), 3)
            << line;
        ASSERT_EQ(static_cast<size_t>(used), line.size()) << line;
        ASSERT_TRUE(t >= 0 && t < kThreads) << line;
        EXPECT_EQ(i, seen[t]) << line;  // each thread's lines in its own order
        seen[t] = i + 1;
    }
    EXPECT_EQ(lines, kThreads * kLines);
}

}  // namespace
}  // namespace tessra
