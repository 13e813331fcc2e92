#include "game/core/tween.h"

#include <gtest/gtest.h>

#include <vector>

#include "game/core/object_pool.h"

namespace velmora {
namespace {

class TweenTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAllObjects();
        SetObjectWalkHooks(ObjectWalkHooks{});
    }
    void TearDown() override { SetObjectWalkHooks(DefaultObjectWalkHooks()); }

    static int Make(int32_t flags = 0) {
        const int s = AllocSlot();
        SetField(kPropKind, s, 0x20000005);
        SetField(kPropFlags, s, flags);
        InsertObjectBefore(kFirstClassMarker + 2, s);
        return s;
    }

    // One play frame as the loop runs it: the walk (which ages objects), then the tweens.
    static void Frame() {
        UpdateObjects();
        RunTweens();
    }

    static int Alpha(int s) { return GetField(kPropColor, s) & 0xff; }
};

TEST_F(TweenTest, FadeInRaisesAlphaByEightOver33Runs) {
    const int s = Make();
    SetField(kPropColor, s, 0x11223344);
    FadeInObject(s, 0);
    EXPECT_EQ(Alpha(s), 0);
    std::vector<int> alphas;
    for (int run = 0; run < 34; ++run) {
        RunTweens();  // at ages 0..33
        alphas.push_back(Alpha(s));
        IncField(kPropAge, s);
    }
    EXPECT_EQ(alphas[0], 8);
    EXPECT_EQ(alphas[30], 248);
    EXPECT_EQ(alphas[31], 255);  // clamped
    EXPECT_EQ(alphas[32], 255);
    EXPECT_EQ(GetTweenCount(), 0);  // removed after its 33rd run
    EXPECT_EQ(static_cast<uint32_t>(GetField(kPropColor, s)) >> 8, 0x112233u);
}

TEST_F(TweenTest, EndOfLifeTweenEndsTheObjectAtItsAge) {
    const int s = Make();
    AddTweenAt(s, kTweenEndObject, 10);
    AddTweenPlain(s, kTweenNothing, 0, 100);
    for (int i = 0; i < 9; ++i) Frame();
    EXPECT_EQ(GetField(kPropAge, s), 9);
    EXPECT_NE(GetField(kPropKind, s), 0);
    Frame();
    EXPECT_EQ(GetField(kPropKind, s), 0);
    EXPECT_EQ(GetTweenCount(), 0);  // its other tween went with it
}

TEST_F(TweenTest, FadeOutEndsTheObjectAfter33Frames) {
    const int s = Make();
    SetField(kPropColor, s, 0xffffffff);
    FadeOutObjectAfter(s, 0);
    for (int i = 0; i < 32; ++i) RunTweens(), IncField(kPropAge, s);
    EXPECT_EQ(Alpha(s), 0);
    EXPECT_NE(GetField(kPropKind, s), 0);
    RunTweens();  // age 32: the fade's last run
    EXPECT_NE(GetField(kPropKind, s), 0);
    IncField(kPropAge, s);
    RunTweens();  // age 33
    EXPECT_EQ(GetField(kPropKind, s), 0);
}

TEST_F(TweenTest, TweenOfAFreedOrReusedSlotIsDroppedWithoutActing) {
    const int s = Make();
    EXPECT_EQ(GetField(kPropSerial, s), 1);  // serials start at 1, never a free slot's 0
    AddTween(s, kTweenSetProperty, 0, 5, 40, 7);
    ReleaseSlot(s);  // released without FreeObject: the tween stays behind
    const int again = Make();
    ASSERT_EQ(again, s);
    RunTweens();
    EXPECT_EQ(GetField(40, again), 0);
    EXPECT_EQ(GetTweenCount(), 0);

    AddTween(again, kTweenSetProperty, 0, 5, 40, 7);
    ReleaseSlot(again);
    RunTweens();
    EXPECT_EQ(GetField(40, again), 0);  // nothing written into the free slot
    EXPECT_EQ(GetTweenCount(), 0);
}

TEST_F(TweenTest, ATweenOfNFramesActsNPlusOneTimes) {
    const int s = Make();
    AddTween(s, kTweenAddProperty, 3, 5, 40, 1);
    for (int i = 0; i < 12; ++i) Frame();
    EXPECT_EQ(GetField(40, s), 6);
    EXPECT_EQ(GetTweenCount(), 0);
}

TEST_F(TweenTest, PeriodKindStepsOnTheLastFrameOfEachPeriod) {
    const int s = Make();
    SetField(40, s, 100);
    SetField(41, s, 100);
    AddTween(s, kTweenStepProperty, 0, 20, 40, -4);
    AddTween(s, kTweenStepProperty, 0, 20, 41, 3);
    std::vector<int> down, up;
    for (int age = 0; age <= 20; ++age) {
        RunTweens();
        down.push_back(GetField(40, s));
        up.push_back(GetField(41, s));
        IncField(kPropAge, s);
    }
    EXPECT_EQ(down[2], 100);
    EXPECT_EQ(down[3], 99);  // ages start + 3, + 7, ...
    EXPECT_EQ(down[6], 99);
    EXPECT_EQ(down[7], 98);
    EXPECT_EQ(down[20], 95);
    EXPECT_EQ(up[2], 101);
    EXPECT_EQ(up[20], 107);
}

TEST_F(TweenTest, UnusableKindsDoNothingAndGo) {
    struct Case {
        int32_t kind, a, b;
    };
    for (const Case& c : std::vector<Case>{{kTweenStepProperty, 40, 0},  // a zero period
                                           {kTweenStepProperty, 128, 2},
                                           {kTweenSetProperty, 128, 5},
                                           {kTweenSetProperty, -1, 5},
                                           {kTweenAddProperty, 1000, 5},
                                           {kTweenClearFlag, 32, 0},
                                           {kTweenClearFlag, -1, 0}}) {
        ResetAllObjects();
        const int s = Make(-1);
        SetField(40, s, 9);
        AddTween(s, c.kind, 0, 10, c.a, c.b);
        RunTweens();
        EXPECT_EQ(GetTweenCount(), 0) << c.kind << " " << c.a << " " << c.b;
        EXPECT_EQ(GetField(40, s), 9);
        EXPECT_EQ(GetField(kPropFlags, s), -1);
        EXPECT_EQ(GetField(kPropKind, kListHead), kListNodeKind);
    }
}

TEST_F(TweenTest, ImmediateKindsApplyOnce) {
    struct Case {
        int32_t kind, a, b;
        int property;
        int32_t before, after;
    };
    for (const Case& c : std::vector<Case>{
             {kTweenSetRed, 300, 0, kPropColor, 0x10203040, static_cast<int32_t>(0xff203040)},
             {kTweenAddRed, -20, 0, kPropColor, 0x10203040, 0x00203040},
             {kTweenAddGreen, 16, 0, kPropColor, 0x10203040, 0x10303040},
             {kTweenSetBlue, 0x7f, 0, kPropColor, 0x10203040, 0x10207f40},
             {kTweenSetAlpha, -5, 0, kPropColor, 0x10203040, 0x10203000},
             {kTweenSetScale, 500, 0, kPropScale, 1000, 500},
             {kTweenAddScale, 250, 0, kPropScale, 1000, 1250},
             {kTweenSetDrawWord, 777, 0, kPropDrawWord, 5, 777},
             {kTweenAddAngle, 10, 0, kPropAngle, 5, 15},
             {kTweenSetProperty, 45, -3, 45, 8, -3},
             {kTweenAddProperty, 45, -3, 45, 8, 5},
             {kTweenScreenFixed, 1, 0, kPropFlags, 0, 0x10000},
             {kTweenScreenFixed, 0, 0, kPropFlags, 0x10001, 1},
             {kTweenSetFlags, 0x30, 0, kPropFlags, 1, 0x31},
             {kTweenClearFlag, 4, 0, kPropFlags, 0x31, 0x21},
             {kTweenNothing2, 1, 1, kPropFlags, 3, 3},
         }) {
        ResetAllObjects();
        const int s = Make();
        const int other = Make();
        SetField(c.property, s, c.before);
        SetCurrentObject(other);
        EXPECT_EQ(RunTweenNowValues(s, c.kind, c.a, c.b), 0);
        EXPECT_EQ(GetField(c.property, s), c.after) << "kind " << c.kind;
        EXPECT_EQ(GetTweenCount(), 0);
        EXPECT_EQ(GetCurrentObject(), other);  // the caller's object stays current
    }
}

TEST_F(TweenTest, DirectionTweenSetsVelocityUntilItsLastRunAndTheAngleFollows) {
    const int s = Make(kFlagAngleFollows);
    SetField(kPropSpeed, s, 100);
    SetField(kPropAngle, s, 5);
    AddTween(s, kTweenSetDirection, 0, 1, 0, 0);
    RunTweens();
    EXPECT_EQ(GetField(kPropVelX, s), 100);
    EXPECT_EQ(GetField(kPropAngle, s), 0);
    SetField(kPropVelX, s, 0);
    SetField(kPropAngle, s, 5);
    IncField(kPropAge, s);
    RunTweens();  // the last run: no velocity, but the angle still follows
    EXPECT_EQ(GetField(kPropVelX, s), 0);
    EXPECT_EQ(GetField(kPropAngle, s), 0);
    EXPECT_EQ(GetTweenCount(), 0);

    AddTween(s, kTweenAddSpeed, 0, 3, 28, 0);
    RunTweens();
    EXPECT_EQ(GetField(kPropVelX, s), 128);
}

TEST_F(TweenTest, WhilePausedOnlyObjectsThatRunWhilePausedHaveTheirTweensAct) {
    const int runner = Make(kFlagRunsWhilePaused);
    const int still = Make();
    for (int s : {runner, still}) AddTween(s, kTweenAddProperty, 0, 3, 40, 1);
    SetPaused(true);
    // Added at age 0 before the walk ages them, so they act at ages 1..3.
    for (int i = 0; i < 6; ++i) Frame();
    EXPECT_EQ(GetField(40, runner), 3);
    EXPECT_EQ(GetField(40, still), 0);
    SetPaused(false);
    for (int i = 0; i < 6; ++i) Frame();
    EXPECT_EQ(GetField(40, still), 3);  // resumed where it stood
}

TEST_F(TweenTest, EndingAnObjectMidWalkSkipsItsTweensAndKeepsTheOthers) {
    const int a = Make();
    const int b = Make();
    AddTween(a, kTweenEndObject, 0, 1, 0, 0);
    AddTween(a, kTweenAddProperty, 0, 5, 40, 1);
    AddTween(b, kTweenAddProperty, 0, 5, 40, 1);
    RunTweens();
    EXPECT_EQ(GetField(kPropKind, a), 0);
    EXPECT_EQ(GetField(40, a), 0);
    EXPECT_EQ(GetField(40, b), 1);
    EXPECT_EQ(GetTweenCount(), 1);
}

TEST_F(TweenTest, AddingRefusesFreeSlotsAndAFullTable) {
    EXPECT_EQ(AddTween(-1, kTweenNothing, 0, 1, 0, 0), 0);
    EXPECT_EQ(AddTween(500, kTweenNothing, 0, 1, 0, 0), 0);
    EXPECT_EQ(AddTween(kPoolSlots, kTweenNothing, 0, 1, 0, 0), 0);
    const int s = Make();
    for (int i = 0; i < 7996; ++i) ASSERT_GT(AddTweenPlain(s, kTweenNothing, 100, 1), 1);
    EXPECT_EQ(AddTweenPlain(s, kTweenNothing, 100, 1), -1);
    // Free entries (slot 0) and the list ends (slot 1) are not tweens of any object.
    FreeObjectTweens(0);
    FreeObjectTweens(kListHead);
    EXPECT_EQ(GetTweenCount(), 7996);
    FreeObjectTweens(s);
    EXPECT_EQ(GetTweenCount(), 0);
    const int t = AddTween(s, kTweenAddProperty, 0, 0, 40, 1);
    EXPECT_GT(t, 1);
    RunTweens();
    EXPECT_EQ(GetField(40, s), 1);
}

TEST_F(TweenTest, AFullTableStillFindsTheEntryJustBehindTheCursor) {
    const int s = Make();
    const int other = Make();
    for (int i = 0; i < 7994; ++i) ASSERT_GT(AddTweenPlain(s, kTweenNothing, 100, 1), 1);
    const int behind = AddTweenPlain(other, kTweenNothing, 100, 1);  // entry 7996
    ASSERT_EQ(AddTweenPlain(s, kTweenNothing, 100, 1), behind + 1);  // the cursor stays here
    ASSERT_EQ(AddTweenPlain(s, kTweenNothing, 100, 1), -1);
    FreeObjectTweens(other);
    EXPECT_EQ(AddTweenPlain(s, kTweenNothing, 100, 1), behind);
}

}  // namespace
}  // namespace velmora
