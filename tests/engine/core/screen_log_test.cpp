#include "engine/core/screen_log.h"

#include <gtest/gtest.h>

#include "engine/pending/pending_calls.h"

namespace tessra {
namespace {

TEST(ScreenLogTest, SetUpNeedsADisplayAndAWindow) {
    ScreenLog& s = GetScreenLog();
    SetScreenLogDisplay(0, 1, 480);
    EXPECT_EQ(InitScreenLog(), -1);
    EXPECT_EQ(s.setUp, 0);

    SetScreenLogDisplay(1, 1, 480);
    s.lines[3][0] = 'x';
    TakePendingCalls();
    EXPECT_EQ(InitScreenLog(), 0);
    EXPECT_EQ(s.setUp, 1);
    EXPECT_EQ(s.fontSize, 16);
    EXPECT_EQ(CountPendingCalls("CreateFontToHandle"), 1);  // its font is asked for once
    EXPECT_EQ(s.lines[3][0], '\0');
    EXPECT_EQ(GetScreenLogDrawFlag(), 0);
    EXPECT_EQ(DrawScreenLog(), 0);

    EXPECT_EQ(TerminateScreenLog(), 0);
    EXPECT_EQ(s.setUp, 0);
    EXPECT_EQ(s.fontHandle, -1);
    EXPECT_EQ(s.fontMissing, 1);
}

}  // namespace
}  // namespace tessra
