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
    ::unsetenv(kDebugOutputEnvVar);
}

}  // namespace
}  // namespace plat
