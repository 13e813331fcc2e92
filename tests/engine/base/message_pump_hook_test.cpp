// The pump hook: nothing installed answers 0; an installed pump is run and its result given.
#include <gtest/gtest.h>

#include "engine/base/message_pump_hook.h"

namespace {

int g_passes = 0;
int CountingPump() {
    return ++g_passes >= 3 ? -1 : 0;
}

TEST(MessagePumpHookTest, RunsTheInstalledPump) {
    tessra::SetMessagePumpHandler(nullptr);
    EXPECT_EQ(tessra::RunMessagePumpPass(), 0);
    g_passes = 0;
    tessra::SetMessagePumpHandler(CountingPump);
    EXPECT_EQ(tessra::RunMessagePumpPass(), 0);
    EXPECT_EQ(tessra::RunMessagePumpPass(), 0);
    EXPECT_EQ(tessra::RunMessagePumpPass(), -1);
    EXPECT_EQ(g_passes, 3);
    tessra::SetMessagePumpHandler(nullptr);
}

}  // namespace
