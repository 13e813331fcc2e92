// The shared handle shape: composition, the refusals and the check counter's wrap.
#include <gtest/gtest.h>

#include "engine/base/handle.h"

namespace {

using namespace tessra;

struct Rec {
    int32_t check;
};

TEST(EngineHandleTest, ComposesKindCheckAndSlot) {
    EXPECT_EQ(MakeEngineHandle(kSoundHandleKind, 0, 0), 0x10000000);
    EXPECT_EQ(MakeEngineHandle(kSoundHandleKind, 2047, 4095), 0x17FF0FFF);
    EXPECT_EQ(MakeEngineHandle(kGraphHandleKind, 5, 7), 0x08050007);
    EXPECT_EQ(MakeEngineHandle(kMidiHandleKind, 2047, 255), 0x5FFF00FF);
    const EngineHandle h = MakeEngineHandle(kFontHandleKind, 1234, 39);
    EXPECT_EQ(h & kHandleKindMask, kFontHandleKind);
    EXPECT_EQ(HandleCheckBits(h), 1234 << 16);
    EXPECT_EQ(HandleSlot(h), 39);
    EXPECT_GT(MakeEngineHandle(kMidiHandleKind, 2047, 0xFFFF), 0);  // never negative
}

TEST(EngineHandleTest, CheckCounterWraps) {
    EXPECT_EQ(NextHandleCheck(0), 1);
    EXPECT_EQ(NextHandleCheck(2046), 2047);
    EXPECT_EQ(NextHandleCheck(2047), 0);
}

TEST(EngineHandleTest, TableFindRefusesWhatItShould) {
    static HandleTable<Rec, 16> table{};
    Rec rec{9};
    table.records[3] = &rec;
    const EngineHandle good = MakeEngineHandle(kSoundHandleKind, 9, 3);
    EXPECT_EQ(table.Find(good, kSoundHandleKind), &rec);
    struct Case {
        EngineHandle handle;
        const char* why;
    };
    const Case refused[] = {
        {-1, "negative"},
        {good | static_cast<int32_t>(0x80000000u), "sign bit"},
        {MakeEngineHandle(kGraphHandleKind, 9, 3), "other kind"},
        {MakeEngineHandle(kSoundHandleKind, 8, 3), "stale check"},
        {MakeEngineHandle(kSoundHandleKind, 9, 4), "empty slot"},
        {MakeEngineHandle(kSoundHandleKind, 9, 16), "slot past the table"},
    };
    for (const Case& c : refused)
        EXPECT_EQ(table.Find(c.handle, kSoundHandleKind), nullptr) << c.why;
}

}  // namespace
