#include "platform/win/debug_output.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace plat {
namespace {

TEST(DebugOutputTest, CaptureCollectsEverything) {
    BeginDebugOutputCapture();
    OutputDebugStringA("one ");
    OutputDebugStringA(nullptr);
    OutputDebugStringA("two\r\n");
    EXPECT_EQ(EndDebugOutputCapture(), "one two\r\n");
    BeginDebugOutputCapture();
    EXPECT_EQ(EndDebugOutputCapture(), "");
}

TEST(DebugOutputTest, StandardErrorOnlyWhenAsked) {
    ::unsetenv(kDebugOutputEnvVar);
    ::testing::internal::CaptureStderr();
    OutputDebugStringA("quiet\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

    ::setenv(kDebugOutputEnvVar, "0", 1);
    ::testing::internal::CaptureStderr();
    OutputDebugStringA("quiet\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

    ::setenv(kDebugOutputEnvVar, "1", 1);
    ::testing::internal::CaptureStderr();
    OutputDebugStringA("loud\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "loud\n");

    // Shift-JIS is shown as UTF-8; bytes that are not Shift-JIS go out as they are.
    ::testing::internal::CaptureStderr();
    OutputDebugStringA("\x83\x94\x95\x5C\r\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ヴ表\r\n");
    ::testing::internal::CaptureStderr();
    OutputDebugStringA("\x95");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "\x95");
    ::unsetenv(kDebugOutputEnvVar);
}

}  // namespace
}  // namespace plat
