#include "game/core/object_pool.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <vector>

#include "game/core/config.h"
#include "game/core/engine_standin.h"
#include "game/core/fresh_process.h"
#include "game/core/game_vars.h"
#include "game/core/tween.h"

namespace velmora {
namespace {

// What the walk did, in order.
struct WalkLog {
    std::vector<int> runs;                   // class routines, by slot
    std::vector<std::pair<int, int>> draws;  // current object, draw word
    std::vector<int> closed;                 // windows closed
    std::vector<int> volumes;
    int flowCalls = 0;
    int hudCalls = 0;
    bool duckingPlays = false;
    std::map<int, std::function<void(int)>> onRun;  // extra work of one slot's routine
};
WalkLog g_log;

void RecordRoutine(int slot) {
    g_log.runs.push_back(slot);
    EXPECT_EQ(GetCurrentObject(), slot);
    if (auto it = g_log.onRun.find(slot); it != g_log.onRun.end()) it->second(slot);
}

ObjectWalkHooks RecordingHooks() {
    ObjectWalkHooks h;
    h.animateSprite = [](int32_t word, int32_t age) { return word + age; };
    h.drawObject = [](int32_t word) { g_log.draws.emplace_back(GetCurrentObject(), word); };
    h.closeWindow = [](int slot) { g_log.closed.push_back(slot); };
    h.updateGameFlow = [] { ++g_log.flowCalls; };
    h.drawHud = [] { ++g_log.hudCalls; };
    h.getScreenExtent = [](int32_t* w, int32_t* hh) {
        *w = 640;
        *hh = 480;
    };
    h.isSePlaying = [](int se) { return se == 21 && g_log.duckingPlays; };
    h.setBgmVolume = [](int v) { g_log.volumes.push_back(v); };
    return h;
}

class ObjectPoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_log = WalkLog{};
        ResetAllObjects();
        ResetConfig();
        SetObjectWalkHooks(RecordingHooks());
        for (auto& r : ClassRoutineTable) r = &RecordRoutine;
    }
    void TearDown() override {
        for (auto& r : ClassRoutineTable) r = nullptr;
        SetObjectWalkHooks(DefaultObjectWalkHooks());
    }

    // A live object of class c, linked before its class marker as a spawner links it.
    static int Make(int c, int32_t flags = 0, int32_t drawWord = 0) {
        const int s = AllocSlot();
        EXPECT_GT(s, 0);
        SetField(kPropKind, s, (c << 28) | 5);
        SetField(kPropFlags, s, flags);
        SetField(kPropDrawWord, s, drawWord);
        InsertObjectBefore(kFirstClassMarker + c, s);
        return s;
    }

    static std::vector<int> ListOrder() {
        std::vector<int> order;
        for (int s = kListHead, n = 0; n <= kPoolSlots; ++n) {
            order.push_back(s);
            if (s == kListTail) break;
            s = GetField(kPropNext, s);
        }
        return order;
    }

    static bool IsFree(int s) { return GetField(kPropKind, s) == 0; }
};

TEST(ObjectPoolStartTest, ListsStandBeforeTheFirstReset) {
    ExpectAtProgramStart([] {
        const bool linked =
            SameAtStart("head's next", GetField(kPropNext, kListHead), kFirstClassMarker);
        return SameAtStart("first slot", AllocSlot(), kFirstObjectSlot) && linked;
    });
}

TEST_F(ObjectPoolTest, ResetBuildsTheListOfHeadMarkersAndTail) {
    EXPECT_EQ(ListOrder(), (std::vector<int>{1, 3, 4, 5, 6, 7, 8, 9, 10, 2}));
    EXPECT_EQ(GetField(kPropPrev, kListHead), kListHead);
    EXPECT_EQ(GetField(kPropNext, kListTail), kListTail);
    for (int s : ListOrder()) {
        EXPECT_EQ(GetField(kPropKind, s), kListNodeKind);
        if (s != kListHead) {
            EXPECT_EQ(GetField(kPropNext, GetField(kPropPrev, s)), s);
        }
    }
    EXPECT_EQ(GetLiveObjectCount(), 0);
}

TEST_F(ObjectPoolTest, AllocationGoesRoundRobinWithSerialsFromOne) {
    const int a = AllocSlot();
    EXPECT_EQ(a, kFirstObjectSlot);
    EXPECT_EQ(AllocSlot(), a);  // no kind word written yet: still free
    SetField(kPropKind, a, 0x20000001);
    const int b = Make(2);
    const int c = Make(2);
    EXPECT_EQ(b, a + 1);
    EXPECT_EQ(c, a + 2);
    FreeObject(a);
    EXPECT_EQ(Make(2), a + 3);  // goes on from the cursor, not back to the freed slot
    EXPECT_EQ(GetField(kPropSerial, b), 3);
    EXPECT_EQ(GetField(kPropSerial, c), 4);
    EXPECT_EQ(GetLiveObjectCount(), 4);  // a was counted twice before its kind word
}

TEST_F(ObjectPoolTest, SerialsWrapAt30Bits) {
    EXPECT_EQ(kSerialMask, 0x3FFFFFFFu);
    SetNextSerial(0x3FFFFFFE);
    EXPECT_EQ(GetField(kPropSerial, Make(2)), 0x3FFFFFFE);
    EXPECT_EQ(GetField(kPropSerial, Make(2)), 0x3FFFFFFF);
    EXPECT_EQ(GetField(kPropSerial, Make(2)), 0);
    EXPECT_EQ(GetField(kPropSerial, Make(2)), 1);
}

// Before start-up installs its hooks, the walk's view is the screen's own extent, not 0 x 0: an
// object inside the screen is not outside the active area.
TEST_F(ObjectPoolTest, DefaultHooksTakeTheScreenExtent) {
    SetObjectWalkHooks(DefaultObjectWalkHooks());
    standin::SetScreenSize(800, 600);
    SetGameVar(kGameVarCameraX, 100);
    SetGameVar(kGameVarCameraY, 50);
    UpdateObjects();
    // Camera 100, 50 with a margin of 32 before and 64 after the screen's 800 x 600.
    EXPECT_FALSE(IsOutsideActiveArea(68, 18));
    EXPECT_TRUE(IsOutsideActiveArea(67, 18));
    EXPECT_FALSE(IsOutsideActiveArea(100 + 800 + 64, 50 + 600 + 64));
    EXPECT_TRUE(IsOutsideActiveArea(100 + 800 + 65, 300));
    EXPECT_TRUE(IsOutsideActiveArea(300, 50 + 600 + 65));
    EXPECT_FALSE(IsOutsideActiveArea(500, 400));
}

TEST_F(ObjectPoolTest, FullPoolGivesMinusOneAndEveryFreedSlotIsFoundAgain) {
    std::set<int> taken;
    for (int i = 0; i < kLastObjectSlot - kFirstObjectSlot + 1; ++i) taken.insert(Make(3));
    EXPECT_EQ(taken.size(), 1987u);
    EXPECT_EQ(*taken.begin(), kFirstObjectSlot);
    EXPECT_EQ(*taken.rbegin(), kLastObjectSlot);
    EXPECT_EQ(AllocSlot(), -1);
    // The slot just behind the cursor is searched too.
    FreeObject(kLastObjectSlot - 1);
    EXPECT_EQ(AllocSlot(), kLastObjectSlot - 1);
    SetField(kPropKind, kLastObjectSlot - 1, 0x30000001);
    FreeObject(500);
    EXPECT_EQ(AllocSlot(), 500);
}

TEST_F(ObjectPoolTest, AccessorsIgnoreSlotsAndPropertiesOutsideThePool) {
    const int s = Make(2);
    struct Case {
        int n, slot;
    };
    for (const Case& c : std::vector<Case>{{5, -1}, {5, 2000}, {-1, s}, {128, s}}) {
        SetField(c.n, c.slot, 9);
        AddField(c.n, c.slot, 9);
        IncField(c.n, c.slot);
        SetFieldBits(c.n, c.slot, 0xff);
        EXPECT_EQ(GetField(c.n, c.slot), 0) << c.n << " " << c.slot;
    }
    SetPosition(7, 8, -1);
    EXPECT_EQ(GetField(kPropX, 0), 0);
    EXPECT_EQ(GetField(kPropY, kListHead - 1), 0);
    EXPECT_EQ(GetField(kPropKind, kListHead), kListNodeKind);  // the list is untouched
}

TEST_F(ObjectPoolTest, AccessorsKeepEveryValueAndDecrementStopsAtZero) {
    const int s = Make(2);
    for (int32_t v : {0, 1, -1, INT32_MIN, INT32_MAX, 0x12345678}) {
        for (int n : {3, 4, 40, 127}) {
            SetField(n, s, v);
            EXPECT_EQ(GetField(n, s), v) << n;
        }
    }
    SetField(40, s, 1);
    EXPECT_EQ(DecField(40, s), 0);
    EXPECT_EQ(DecField(40, s), 0);
    SetField(40, s, -5);
    EXPECT_EQ(DecField(40, s), -5);
    SetField(40, s, INT32_MAX);
    EXPECT_EQ(IncField(40, s), INT32_MIN);  // wraps as a 32-bit word

    SetCurrentObject(s);
    SetCurrentField(kPropFlags, 0);
    SetCurrentFieldBits(kPropFlags, 0x80000010u);
    ClearCurrentFieldBits(kPropFlags, 0x10);
    ClearCurrentFieldBits(kPropFlags, 0x10);  // clearing a clear bit leaves it clear
    EXPECT_EQ(static_cast<uint32_t>(GetCurrentField(kPropFlags)), 0x80000000u);

    SetCurrentPosition3(-3, 4, 5);
    int32_t x, y, z, vx, vy;
    GetPosition3(&x, &y, &z, s);
    EXPECT_EQ((std::vector<int32_t>{x, y, z}), (std::vector<int32_t>{-3, 4, 5}));
    EXPECT_EQ(GetField(kPropFineX, s), -3 * 256);
    EXPECT_EQ(GetField(kPropFineZ, s), 5 * 256);
    SetPositionAndVelocity(1, 2, 30, -40, s);
    GetCurrentPositionAndVelocity(&x, &y, &vx, &vy);
    EXPECT_EQ((std::vector<int32_t>{x, y, vx, vy}), (std::vector<int32_t>{1, 2, 30, -40}));
}

TEST_F(ObjectPoolTest, WalkRunsClassByClassOldestFirst) {
    const int a3 = Make(3);
    const int a1 = Make(1);
    const int a2 = Make(2);
    const int b1 = Make(1);
    const int c0 = Make(0);  // class 0 has no routine
    UpdateObjects();
    EXPECT_EQ(g_log.runs, (std::vector<int>{a1, b1, a2, a3}));
    for (int s : {a3, a1, a2, b1, c0}) EXPECT_EQ(GetField(kPropAge, s), 1);
}

TEST_F(ObjectPoolTest, ObjectsMadeDuringTheWalkRunWhenLinkedAheadOfIt) {
    const int first = Make(2);
    const int last = Make(2);
    int later = 0, earlier = 0, sameBehind = 0, sameAfterLast = 0;
    g_log.onRun[first] = [&](int) {
        later = Make(3);       // a later class: this frame
        earlier = Make(1);     // an earlier class: next frame
        sameBehind = Make(2);  // behind `last`, still ahead of the walk: this frame
        g_log.onRun[sameBehind] = [&](int) {
            // The last of its class: the walk already read the marker as its next node.
            sameAfterLast = Make(2);
        };
    };
    UpdateObjects();
    EXPECT_EQ(g_log.runs, (std::vector<int>{first, last, sameBehind, later}));
    g_log.onRun.clear();
    g_log.runs.clear();
    UpdateObjects();
    EXPECT_EQ(g_log.runs,
              (std::vector<int>{earlier, first, last, sameBehind, sameAfterLast, later}));
}

TEST_F(ObjectPoolTest, PauseLetsOnlyObjectsWithBit26MoveAndAgeWhileAllAreDrawn) {
    const int runner = Make(2, kFlagRunsWhilePaused, 200);
    const int still = Make(2, 0, 201);
    for (int s : {runner, still}) SetPositionAndVelocity(10, 10, 256, -512, s);
    SetPaused(true);
    UpdateObjects();
    EXPECT_EQ(g_log.runs, (std::vector<int>{runner}));
    EXPECT_EQ(g_log.draws, (std::vector<std::pair<int, int>>{{runner, 200}, {still, 201}}));
    EXPECT_EQ(GetField(kPropAge, runner), 1);
    EXPECT_EQ(GetField(kPropAge, still), 0);
    EXPECT_EQ(GetField(kPropX, runner), 11);
    EXPECT_EQ(GetField(kPropY, runner), 8);
    EXPECT_EQ(GetField(kPropX, still), 10);

    SetPaused(false);
    UpdateObjects();
    EXPECT_EQ(GetField(kPropAge, still), 1);
    EXPECT_EQ(GetField(kPropX, still), 11);
}

TEST_F(ObjectPoolTest, MovementTruncatesTowardZeroAndAnimationSeesTheAge) {
    const int s = Make(2, kFlagAnimated, 1000);
    SetField(kPropFineX, s, 0);
    SetField(kPropVelX, s, -100);   // -100/256 truncates to 0, -200 to 0, -300 to -1
    SetField(kPropVelZ + 1, s, 7);  // velocity of property 17 (speed)
    SetField(kPropAge, s, 5);
    UpdateObjects();
    EXPECT_EQ(GetField(kPropX, s), 0);
    EXPECT_EQ(GetField(kPropSpeed, s), 7);
    EXPECT_EQ(GetField(kPropDrawWord, s), 1005);
    UpdateObjects();
    UpdateObjects();
    EXPECT_EQ(GetField(kPropFineX, s), -300);
    EXPECT_EQ(GetField(kPropX, s), -1);
}

TEST_F(ObjectPoolTest, DeadObjectIsDrawnOnceMoreThenFreedWithItsTweens) {
    const int window = Make(1, 0, 300);
    const int actor = Make(2, 0, 301);
    const int hidden = Make(2, kFlagNotDrawn, 302);
    for (int s : {window, actor, hidden}) AddTweenPlain(s, kTweenNothing, 50, 10);
    g_log.onRun[actor] = [](int) { SetCurrentFieldBits(kPropFlags, kFlagDead); };
    SetFieldBits(kPropFlags, window, kFlagDead);
    UpdateObjects();
    EXPECT_EQ(g_log.draws, (std::vector<std::pair<int, int>>{{window, 300}, {actor, 301}}));
    EXPECT_EQ(g_log.closed, (std::vector<int>{window}));  // only a window is closed first
    EXPECT_TRUE(IsFree(window));
    EXPECT_TRUE(IsFree(actor));
    EXPECT_FALSE(IsFree(hidden));
    EXPECT_EQ(GetTweenCount(), 1);
    EXPECT_EQ(ListOrder(), (std::vector<int>{1, 3, 4, hidden, 5, 6, 7, 8, 9, 10, 2}));
}

TEST_F(ObjectPoolTest, ObjectsThatDieOutsideTheViewAreFreed) {
    SetGameVar(kGameVarCameraX, 100);
    SetGameVar(kGameVarCameraY, 0);
    struct Case {
        int32_t x, y, flags;
        bool freed;
    };
    const std::vector<Case> cases{
        {67, 0, kFlagDiesOutside, true},  // left of camera x - 32
        {68, 0, kFlagDiesOutside, false},
        {804, 544, kFlagDiesOutside, false},  // x + 640 + 64, y + 480 + 64
        {805, 0, kFlagDiesOutside, true},
        {100, 545, kFlagDiesOutside, true},
        {5000, 5000, 0, false}};
    std::vector<int> slots;
    for (const Case& c : cases) {
        slots.push_back(Make(2, c.flags));
        SetPosition(c.x, c.y, slots.back());
    }
    UpdateObjects();
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(IsFree(slots[i]), cases[i].freed) << cases[i].x << "," << cases[i].y;
    EXPECT_EQ(GetField(kPropFlags, slots[5]), 0);  // the flag is not stored
}

TEST_F(ObjectPoolTest, FreeClassObjectsKeepsBit27AndTheList) {
    const int gone = Make(0);
    const int kept = Make(0, kFlagKeep);
    const int other = Make(1);
    FreeClassObjects(0);
    EXPECT_TRUE(IsFree(gone));
    EXPECT_FALSE(IsFree(kept));
    EXPECT_FALSE(IsFree(other));
    EXPECT_EQ(ListOrder(), (std::vector<int>{1, kept, 3, other, 4, 5, 6, 7, 8, 9, 10, 2}));
    FreeClassObjects(8);
    FreeClassObjects(-1);
    EXPECT_FALSE(IsFree(kept));

    const int play = Make(2);
    const int stage = Make(6);
    const int last = Make(7);
    SetPaused(true);
    FreePlayObjects();
    EXPECT_TRUE(IsFree(play));
    EXPECT_TRUE(IsFree(stage));
    EXPECT_FALSE(IsFree(last));
    EXPECT_FALSE(IsFree(other));
    EXPECT_FALSE(IsPaused());
    FreeAllClassObjects();
    EXPECT_TRUE(IsFree(other));
    EXPECT_TRUE(IsFree(last));
    EXPECT_EQ(ListOrder(), (std::vector<int>{1, kept, 3, 4, 5, 6, 7, 8, 9, 10, 2}));
}

TEST_F(ObjectPoolTest, ReleaseObjectsWithoutBitsLeavesHeadTailAndMarkers) {
    const int kept = Make(2);
    const int gone = Make(1);
    ReleaseObjectsWithoutBits(0x20000000);
    EXPECT_FALSE(IsFree(kept));
    EXPECT_TRUE(IsFree(gone));
    EXPECT_EQ(ListOrder(), (std::vector<int>{1, 3, 4, kept, 5, 6, 7, 8, 9, 10, 2}));
    EXPECT_EQ(CountObjectsOfKind(0x20000005), 1);
    EXPECT_EQ(CountObjectsOfKind(kListNodeKind),
              9);  // head and markers; the walk stops at the tail
}

TEST_F(ObjectPoolTest, WalkSurvivesRoutinesThatFreeObjectsOutright) {
    const int a = Make(2);
    const int b = Make(2);
    const int c = Make(2);
    const int d = Make(3);
    g_log.onRun[a] = [&](int) { ReleaseSlot(b); };  // the node the walk goes to next
    g_log.onRun[c] = [&](int self) { ReleaseSlot(self); };
    UpdateObjects();
    EXPECT_EQ(g_log.runs, (std::vector<int>{a, c, d}));
    EXPECT_EQ(GetField(kPropAge, c), 0);  // nothing written into the freed slot
    EXPECT_EQ(GetField(kPropAge, d), 1);

    // Closing a window may take its neighbour with it.
    g_log = WalkLog{};
    const int w1 = Make(1);
    const int w2 = Make(1);
    SetObjectWalkHooks([] {
        ObjectWalkHooks h = RecordingHooks();
        h.closeWindow = [](int slot) { FreeObject(GetField(kPropNext, slot)); };
        return h;
    }());
    SetFieldBits(kPropFlags, w1, kFlagDead);
    UpdateObjects();
    EXPECT_TRUE(IsFree(w1));
    EXPECT_TRUE(IsFree(w2));
    EXPECT_EQ(g_log.runs, (std::vector<int>{w1, a, d}));
}

TEST_F(ObjectPoolTest, AWindowOpenedWhileClosingTheDeadOneSurvives) {
    const int dead = Make(1, kFlagDead);
    static int reopened;
    reopened = 0;
    SetObjectWalkHooks([] {
        ObjectWalkHooks h = RecordingHooks();
        h.closeWindow = [](int slot) {
            FreeObject(slot);
            reopened = Make(1);  // the cursor still stands on the freed slot
        };
        return h;
    }());
    UpdateObjects();
    ASSERT_EQ(reopened, dead);
    EXPECT_FALSE(IsFree(reopened));
    EXPECT_EQ(ListOrder(), (std::vector<int>{1, 3, reopened, 4, 5, 6, 7, 8, 9, 10, 2}));
}

TEST_F(ObjectPoolTest, WalkEndsOnADamagedList) {
    const int a = Make(2);
    SetField(kPropNext, a, a);  // a loop
    UpdateObjects();
    EXPECT_EQ(GetField(kPropAge, a), 2001 - 3);  // after the head and two markers
}

TEST_F(ObjectPoolTest, GameFlowAndHudRunOnlyInPlayWithAMasterObject) {
    SetConfigVar(33, 0);
    UpdateObjects();
    EXPECT_EQ(g_log.flowCalls, 0);
    const int master = Make(2);
    SetMasterObject(master);
    SetGameVar(0, 0x20000001);
    UpdateObjects();
    EXPECT_EQ(g_log.flowCalls, 0);
    SetConfigVar(33, 0x10);
    UpdateObjects();
    EXPECT_EQ(g_log.flowCalls, 1);
    EXPECT_EQ(g_log.hudCalls, 1);
}

TEST_F(ObjectPoolTest, MusicDucksWhileTheEffectPlays) {
    SetConfigVar(23, 80);
    g_log.duckingPlays = true;
    for (int i = 0; i < 23; ++i) UpdateObjects();
    ASSERT_EQ(g_log.volumes.size(), 23u);
    EXPECT_EQ(g_log.volumes[0], 80);
    EXPECT_EQ(g_log.volumes[1], 79);
    EXPECT_EQ(g_log.volumes[20], 60);
    EXPECT_EQ(g_log.volumes[22], 60);
    EXPECT_EQ(GetGameVar(kGameVarMusicDuck), 23);
    g_log.duckingPlays = false;
    UpdateObjects();
    EXPECT_EQ(GetGameVar(kGameVarMusicDuck), 0);
}

TEST_F(ObjectPoolTest, SlowMotionHoldsEveryThirdMasterFrame) {
    SetSlowMotion(true);
    SetGameVar(kGameVarAge, 3);
    EXPECT_TRUE(IsSlowFrame());
    const int s = Make(2);
    UpdateObjects();
    EXPECT_EQ(GetField(kPropAge, s), 0);
    SetGameVar(kGameVarAge, 4);
    EXPECT_FALSE(IsSlowFrame());
    UpdateObjects();
    EXPECT_EQ(GetField(kPropAge, s), 1);
}

// Camera, active area and music ducking take any 32-bit game variables and settings words, and
// wrap like the properties do instead of overflowing.
TEST_F(ObjectPoolTest, CameraAndDuckingWrapAsThirtyTwoBitWords) {
    SetGameVar(kGameVarShake, 1);
    SetGameVar(kGameVarAge, 0);  // shake of (-3, -2)
    SetCameraOrigin(-10, INT32_MAX);
    int32_t x = INT32_MAX, y = 0, z = INT32_MIN;
    WorldToScreen3(&x, &y, &z);
    EXPECT_EQ(x, INT32_MIN + 6);  // the origin wraps
    EXPECT_EQ(y, INT32_MAX);      // the shake wraps
    EXPECT_EQ(z, 1);

    SetGameVar(kGameVarCameraX, INT32_MAX - 100);
    SetGameVar(kGameVarCameraY, INT32_MIN + 10);
    SetGameVar(kGameVarShake, 0);
    const int dies = Make(2, kFlagDiesOutside);
    SetPosition(INT32_MAX - 100, INT32_MIN + 10, dies);
    UpdateObjects();
    // Right and top wrapped past left and bottom: nothing is inside, not even the camera.
    EXPECT_TRUE(IsOutsideActiveArea(INT32_MAX - 100, INT32_MIN + 10));
    EXPECT_TRUE(IsFree(dies));

    struct Case {
        int32_t volume, duck, heard, duckAfter;
    };
    g_log.duckingPlays = true;
    for (const Case& c : std::vector<Case>{{80, INT32_MAX, 60, INT32_MIN},
                                           {INT32_MIN, 5, INT32_MAX - 4, 6},
                                           {INT32_MAX, -1, INT32_MIN, 0}}) {
        SetConfigVar(23, c.volume);
        SetGameVar(kGameVarMusicDuck, c.duck);
        g_log.volumes.clear();
        UpdateObjects();
        EXPECT_EQ(g_log.volumes, std::vector<int>{c.heard}) << c.volume << " " << c.duck;
        EXPECT_EQ(GetGameVar(kGameVarMusicDuck), c.duckAfter);
    }
}

TEST_F(ObjectPoolTest, CameraShakeFollowsTheMasterAge) {
    SetCameraOrigin(100, 50);
    int32_t x = 130, y = 70, z = 90;
    WorldToScreen3(&x, &y, &z);
    EXPECT_EQ((std::vector<int32_t>{x, y, z}), (std::vector<int32_t>{30, 20, 40}));
    SetGameVar(kGameVarShake, 5);
    struct Case {
        int32_t age, dx, dy;
    };
    for (const Case& c :
         std::vector<Case>{{0, -3, -2}, {1, 3, 2}, {2, 2, 1}, {3, 1, 0}, {7, -3, 1}}) {
        SetGameVar(kGameVarAge, c.age);
        x = 130, y = 70, z = 90;
        WorldToScreen3(&x, &y, &z);
        EXPECT_EQ(x, 30 + c.dx) << c.age;
        EXPECT_EQ(y, 20 + c.dy) << c.age;
        EXPECT_EQ(z, 40) << c.age;  // z gets no shake
    }
}

}  // namespace
}  // namespace velmora
