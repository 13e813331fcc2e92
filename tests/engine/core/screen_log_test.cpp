#include "engine/core/screen_log.h"

#include <gtest/gtest.h>

#include "engine/font/font.h"
#include "engine/screen/screen_state.h"

namespace tessra {
namespace {

TEST(ScreenLogTest, SetUpNeedsADisplayAndAWindow) {
    ScreenLog& s = GetScreenLog();
    SetScreenLogDisplay(0, 1, 480);
    EXPECT_EQ(InitScreenLog(), -1);
    EXPECT_EQ(s.setUp, 0);

    SetScreenLogDisplay(1, 1, 480);
    GetScreenState().noDirectDraw = 1;  // fonts need no DirectDraw object then
    s.lines[3][0] = 'x';
    const int fontsBefore = GetFontTable().liveCount;
    EXPECT_EQ(InitScreenLog(), 0);
    EXPECT_EQ(s.setUp, 1);
    EXPECT_EQ(s.fontSize, 16);
    // Its font is made once: edged, 16 pixels, and watched for loss.
    const int font = s.fontHandle;
    ASSERT_EQ(IsFontHandleValid(font), 1);
    EXPECT_EQ(GetFontTable().liveCount, fontsBefore + 1);
    EXPECT_EQ(GetFontHandleField(font), 16);
    EXPECT_EQ(GetFontRecord(font)->type, 1);
    EXPECT_EQ(GetFontRecord(font)->lostFlag, &s.fontMissing);
    EXPECT_EQ(s.fontMissing, 0);
    EXPECT_EQ(s.lines[3][0], '\0');
    EXPECT_EQ(GetScreenLogDrawFlag(), 0);
    EXPECT_EQ(DrawScreenLog(), 0);
    EXPECT_EQ(s.fontHandle, font);  // drawing does not make it again

    EXPECT_EQ(TerminateScreenLog(), 0);
    EXPECT_EQ(s.setUp, 0);
    EXPECT_EQ(s.fontHandle, -1);
    EXPECT_EQ(s.fontMissing, 1);
    EXPECT_EQ(IsFontHandleValid(font), 0);
    EXPECT_EQ(GetFontTable().liveCount, fontsBefore);
    GetScreenState().noDirectDraw = 0;
}

}  // namespace
}  // namespace tessra
