#include "game/play/object_utils.h"

#include <gtest/gtest.h>

#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/tween.h"

namespace velmora {
namespace {

// Fills every free slot, then frees `slot`, so the next spawn must take it.
int RespawnInto(int slot, int32_t kind) {
    while (SpawnObject(0, 0, 0, 1, 0x60000000) > 0) {
    }
    FreeObject(slot);
    return SpawnObject(0, 0, 0, 1, kind);
}

class ObjectUtilsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAllObjects(); }
};

TEST_F(ObjectUtilsTest, SpawnInitialisesLinksByClassAndRestoresTheCurrentObject) {
    const int other = SpawnObject(1, 2, 0, 5, 0x30000001);
    SetCurrentObject(other);
    const int s = SpawnObject(10, 20, 7, 0x12345, 0x20000004);
    ASSERT_GT(s, 0);
    EXPECT_EQ(GetCurrentObject(), other);
    EXPECT_EQ(GetField(kPropKind, s), 0x20000004);
    EXPECT_EQ(GetField(kPropFineX, s), 10 * 256);
    EXPECT_EQ(GetField(kPropFineY, s), 20 * 256);
    EXPECT_EQ(GetField(kPropLayer, s), 7);
    EXPECT_EQ(GetField(kPropDrawWord, s), 0x12345);
    EXPECT_EQ(GetField(kPropColor, s), -1);
    EXPECT_EQ(GetField(kPropScale, s), 1000);
    EXPECT_EQ(GetField(kPropNext, s), kFirstClassMarker + 2);  // last of class 2
    // A draw word with bit 28 makes a class-5 kind, linked by the class asked for.
    const int t = SpawnObject(0, 0, 0, 0x10000200, 0x20000009);
    EXPECT_EQ(GetField(kPropKind, t), 0x50000003);
    EXPECT_EQ(GetField(kPropDrawWord, t), 0x200);
    EXPECT_EQ(GetField(kPropPrev, t), s);
    // Sprites keep the whole word; moving ones take speed, direction and facing.
    const int sp = SpawnSprite(0, 0, 1, 0x10000300);
    EXPECT_EQ(GetField(kPropDrawWord, sp), 0x10000300);
    const int m = SpawnMovingSprite(0, 0, 1, 3, 0, 512);
    EXPECT_EQ(GetField(kPropKind, m), 0x60000000);
    EXPECT_EQ(GetField(kPropVelX, m), 512);
    EXPECT_EQ(GetField(kPropSpeed, m), 512);
    EXPECT_EQ(GetField(kPropAngle, m), 0);
    const int rect = SpawnRectObject(1, 2, 30, 40, 3, 0x11223344);
    EXPECT_EQ(GetField(kPropKind, rect), 0x50000001);
    EXPECT_EQ(GetField(kPropDrawWord, rect), 2);
    EXPECT_EQ(GetField(kPropScale, rect), 30);
    EXPECT_EQ(GetField(kPropScale + 1, rect), 40);
    EXPECT_EQ(GetField(kPropColor, rect), 0x11223344);
    SetObjectHp(s, 25);
    EXPECT_EQ(GetField(kPropHp, s), 25);
    EXPECT_EQ(GetField(kPropMaxHp, s), 25);
}

TEST_F(ObjectUtilsTest, SpawnAnswersMinusOneWhenThePoolIsFull) {
    while (SpawnObject(0, 0, 0, 1, 0x60000000) > 0) {
    }
    EXPECT_EQ(SpawnSprite(0, 0, 0, 1), -1);
    EXPECT_EQ(SpawnRectObject(0, 0, 1, 1, 0, 0), -1);
}

TEST_F(ObjectUtilsTest, LinksDoNotSurviveSlotReuse) {
    const int parent = SpawnObject(0, 0, 0, 1, 0x30000001);
    const int child = SpawnObject(0, 0, 0, 1, 0x40000002);
    EXPECT_EQ(AttachChild(child, parent, 3), 3);
    EXPECT_TRUE(GetField(kPropFlags, child) & kFlagHasParent);
    EXPECT_EQ(GetChild(parent, 3), child);
    EXPECT_EQ(GetParent(child), parent);
    EXPECT_EQ(GetChild(parent, 16), 0);
    // The child freed and its slot taken by another object of another kind.
    const int reuse = RespawnInto(child, 0x40000007);
    ASSERT_EQ(reuse, child);
    SetField(kPropParent, reuse, parent);  // even naming the parent
    EXPECT_EQ(GetChild(parent, 3), 0);
    KillChildren(parent);
    EXPECT_FALSE(GetField(kPropFlags, reuse) & kFlagDead);
    // The parent freed and reused: the old link no longer leads to it.
    ResetAllObjects();
    const int parent1 = SpawnObject(0, 0, 0, 1, 0x30000001);
    const int child2 = SpawnObject(0, 0, 0, 1, 0x40000002);
    AttachChild(child2, parent1, 0);
    EXPECT_EQ(GetParent(child2), parent1);
    const int parent2 = RespawnInto(parent1, 0x30000001);
    ASSERT_EQ(parent2, parent1);
    EXPECT_EQ(GetParent(child2), 0);
    // A negative kind cannot be attached.
    SetField(kPropKind, child2, -5);
    EXPECT_EQ(AttachChild(child2, parent2, 1), -1);
}

TEST_F(ObjectUtilsTest, DetachAndKill) {
    const int parent = SpawnObject(0, 0, 0, 1, 0x30000001);
    const int a = SpawnObject(0, 0, 0, 1, 0x40000002);
    const int b = SpawnObject(0, 0, 0, 1, 0x40000002);
    AttachChild(a, parent, 0);
    AttachChild(b, parent, 1);
    DetachChild(parent, 0);
    EXPECT_EQ(GetChild(parent, 0), 0);
    EXPECT_EQ(GetField(kPropParent, a), 0);
    DetachFromParent(b);
    EXPECT_EQ(GetParent(b), 0);
    const int c = SpawnObject(0, 0, 0, 1, 0x40000002);
    AttachChild(c, parent, 5);
    KillChildren(parent);
    EXPECT_TRUE(GetField(kPropFlags, c) & kFlagDead);
    EXPECT_FALSE(GetField(kPropFlags, a) & kFlagDead);
}

TEST_F(ObjectUtilsTest, SearchFindsTheNewestMatchWithAStrictEdge) {
    const int older = SpawnObject(100, 100, 0, 1, 0x50000001);
    const int newer = SpawnObject(104, 100, 0, 1, 0x50000001);
    const int otherClass = SpawnObject(100, 100, 0, 1, 0x40000001);
    for (int s : {older, newer, otherClass}) {
        SetField(kPropFlags, s, 0x100);
        SetField(kPropRadius, s, 10);
    }
    EXPECT_EQ(FindObjectInClass(100, 100, 5, 0x100, 5), newer);
    EXPECT_EQ(FindObjectInClass(100, 100, 5, 0x200, 5), -1);
    EXPECT_EQ(FindObjectInClass(100, 100, 5, 0x100, 4), otherClass);
    // Exactly at radius + r is out of reach; one pixel nearer is in.
    EXPECT_EQ(FindObjectInClass(100 - 14, 100, 5, 0x100, 5), older);
    EXPECT_EQ(FindObjectInClass(100 - 15, 100, 5, 0x100, 5), -1);
    // Height lifts the object: it is found at (x, y - z).
    SetField(kPropZ, newer, 30);
    EXPECT_EQ(FindObjectInClass(104, 70, 1, 0x100, 5), newer);
    // Over the whole list, which runs class by class, at (x, y) without the height.
    EXPECT_EQ(FindObjectNear(100, 100, 1, 0x100), newer);
    EXPECT_EQ(CountObjectsWithFlags(0x100), 3);
    SetField(kPropFlags, older, 0x800000);
    EXPECT_EQ(FindNearestTarget(0, 0), -1);  // class 5 is no target
    const int target = SpawnObject(50, 50, 0, 1, 0x30000001);
    SetField(kPropFlags, target, 0x800000);
    EXPECT_EQ(FindNearestTarget(0, 0), target);
    EXPECT_EQ(DistanceSqBetweenObjects(older, newer), 16);
}

TEST_F(ObjectUtilsTest, RetireKeepsRectangleKindsAndFades) {
    const int rect = SpawnRectObject(0, 0, 5, 5, 0, 0);
    const int other = SpawnObject(0, 0, 0, 1, 0x30000004);
    RetireObject(rect);
    RetireObject(other);
    EXPECT_EQ(GetField(kPropKind, rect), 0x50000001);
    EXPECT_EQ(GetField(kPropKind, other), 0x60000000);
    EXPECT_EQ(GetTweenCount(), 4);
    SetVelocityByAngle(-1, 0, 100, 1);  // nothing
    SetVelocityByAngle(other, 54000, 256, 0);
    int32_t vx = 0, vy = 0;
    PolarOffset(&vx, &vy, 54000, 256);
    EXPECT_EQ(GetField(kPropVelX, other), vx);
    EXPECT_EQ(GetField(kPropVelY, other), vy);
    EXPECT_GE(vy, 255);
    EXPECT_EQ(GetField(kPropAngle, other), 0);
}

}  // namespace
}  // namespace velmora
