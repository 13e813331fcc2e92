#include "game/play/object_utils.h"

#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/tween.h"
#include "game/play/large_enemies.h"

namespace velmora {
namespace {

constexpr int kSearchSteps = 2001;
constexpr int32_t kTweenAlpha = 18;
constexpr int32_t kTweenEnd = 29;

// Makes `slot` current for the duration of a spawn and puts the old one back.
class CurrentObjectScope {
public:
    explicit CurrentObjectScope(int slot) : saved_(GetCurrentObject()) { SetCurrentObject(slot); }
    ~CurrentObjectScope() { SetCurrentObject(saved_); }
    CurrentObjectScope(const CurrentObjectScope&) = delete;
    CurrentObjectScope& operator=(const CurrentObjectScope&) = delete;

private:
    int saved_;
};

void InitCurrent(int32_t kind, int32_t layer, int32_t draw) {
    // A sprite word with bit 28 is a class-5 object of its own kind; it is still linked by the
    // class the caller asked for.
    SetCurrentField(kPropKind, (draw & 0x10000000) ? 0x50000003 : kind);
    SetCurrentField(kPropFineX, GetCurrentField(kPropX) * 256);
    SetCurrentField(kPropFineY, GetCurrentField(kPropY) * 256);
    SetCurrentField(kPropLayer, layer);
    SetCurrentField(kPropDrawWord, draw & 0x0fffffff);
    SetCurrentField(kPropColor, -1);
    SetCurrentField(kPropScale, 1000);
}

bool LiveSlot(int slot) {
    return slot >= kFirstObjectSlot && slot <= kLastObjectSlot;
}

bool InReach(int slot, int32_t x, int32_t y, int32_t oy, int32_t r) {
    const int64_t dx = static_cast<int64_t>(GetField(kPropX, slot)) - x;
    const int64_t dy = static_cast<int64_t>(oy) - y;
    const int64_t reach = static_cast<int64_t>(GetField(kPropRadius, slot)) + r;
    return dx * dx + dy * dy < reach * reach;
}

// Walks the list from the slot after `from` up to `until`, at most 2001 steps.
template <typename Visit>
void Walk(int from, int until, Visit visit) {
    int slot = GetField(kPropNext, from);
    for (int step = 0; step < kSearchSteps && slot != until && slot != kListTail; ++step) {
        visit(slot);
        slot = GetField(kPropNext, slot);
    }
}

bool IsMarker(int slot) {
    return GetField(kPropKind, slot) == kListNodeKind;
}

}  // namespace

void InitCurrentObject(int32_t kind, int32_t layer, int32_t draw) {
    InitCurrent(kind, layer, draw);
    InsertCurrentBeforeMarker(kFirstClassMarker + ((kind >> 28) & 7));
}

void InitCurrentObjectBefore(int32_t kind, int32_t layer, int32_t draw, int before) {
    InitCurrent(kind, layer, draw);
    InsertObjectBefore(before, GetCurrentObject());
}

void SetObjectHp(int slot, int32_t hp) {
    SetField(kPropHp, slot, hp);
    SetField(kPropMaxHp, slot, hp);
}

int SpawnObject(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t kind) {
    const int slot = AllocSlot();
    if (slot < 0) return -1;
    CurrentObjectScope scope(slot);
    SetCurrentField(kPropX, x);
    SetCurrentField(kPropY, y);
    InitCurrentObject(kind, layer, draw);
    return slot;
}

int SpawnSprite(int32_t x, int32_t y, int32_t layer, int32_t sprite) {
    const int slot = SpawnObject(x, y, layer, sprite, 0x60000000);
    if (slot >= 0) SetField(kPropDrawWord, slot, sprite);
    return slot;
}

int SpawnMovingObject(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t angle,
                      int32_t speed, int32_t kind) {
    const int slot = SpawnObject(x, y, layer, draw, kind);
    if (slot >= 0) SetVelocityByAngle(slot, angle, speed, 1);
    return slot;
}

int SpawnMovingSprite(int32_t x, int32_t y, int32_t layer, int32_t draw, int32_t angle,
                      int32_t speed) {
    return SpawnMovingObject(x, y, layer, draw, angle, speed, 0x60000000);
}

int SpawnRectObject(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t layer, int32_t color) {
    const int slot = SpawnSprite(x1, y1, layer, 2);
    if (slot < 0) return -1;
    SetField(kPropKind, slot, 0x50000001);
    SetField(kPropScale, slot, x2);
    SetField(kPropScale + 1, slot, y2);
    SetField(kPropColor, slot, color);
    return slot;
}

int AttachChild(int child, int parent, int i) {
    if (!LiveSlot(child) || !LiveSlot(parent) || i < 0 || i >= kChildLinks) return -1;
    if (GetField(kPropKind, child) < 0) return -1;
    SetField(kPropChildren + i, parent, child);
    SetField(kPropChildKinds + i, parent, GetField(kPropKind, child));
    SetField(kPropParent, child, parent);
    SetField(kPropParentSerial, child, GetField(kPropSerial, parent));
    SetFieldBits(kPropFlags, child, kFlagHasParent);
    return i;
}

int GetChild(int parent, int i) {
    if (!LiveSlot(parent) || i < 0 || i >= kChildLinks) return 0;
    const int child = GetField(kPropChildren + i, parent);
    if (!LiveSlot(child)) return 0;
    if (GetField(kPropParent, child) != parent) return 0;
    if (GetField(kPropChildKinds + i, parent) != GetField(kPropKind, child)) return 0;
    return child;
}

int GetParent(int child) {
    if (!LiveSlot(child)) return 0;
    const int parent = GetField(kPropParent, child);
    if (!LiveSlot(parent)) return 0;
    return GetField(kPropParentSerial, child) == GetField(kPropSerial, parent) ? parent : 0;
}

void DetachChild(int parent, int i) {
    const int child = GetChild(parent, i);
    if (child < 1) return;
    SetField(kPropChildren + i, parent, 0);
    SetField(kPropChildKinds + i, parent, 0);
    SetField(kPropParent, child, 0);
    SetField(kPropParentSerial, child, 0);
}

void DetachFromParent(int child) {
    if (GetParent(child) < 1) return;
    SetField(kPropParent, child, 0);
    SetField(kPropParentSerial, child, 0);
}

void KillChildren(int parent) {
    for (int i = 0; i < kChildLinks; ++i) {
        const int child = GetChild(parent, i);
        if (child > 0) SetFieldBits(kPropFlags, child, kFlagDead);
    }
}

int32_t TargetPointY(int slot) {
    // The boss counts its height upward as negative and hangs down by its lift: what hits it
    // must find the body where it is drawn, not the air beside it.
    if (GetField(kPropKind, slot) == kBossKindWord) return BossBodyY(slot);
    return GetField(kPropY, slot) - GetField(kPropZ, slot);
}

int FindObjectInClass(int32_t x, int32_t y, int32_t r, uint32_t mask, int objectClass) {
    if (objectClass < 0 || objectClass >= kClassCount) return -1;
    const int from = objectClass == 0 ? kListHead : kFirstClassMarker + objectClass - 1;
    int found = -1;
    Walk(from, kFirstClassMarker + objectClass, [&](int slot) {
        if (!(static_cast<uint32_t>(GetField(kPropFlags, slot)) & mask)) return;
        if (InReach(slot, x, y, TargetPointY(slot), r)) found = slot;
    });
    return found;
}

int FindObjectNear(int32_t x, int32_t y, int32_t r, uint32_t mask) {
    int found = -1;
    Walk(kListHead, kListTail, [&](int slot) {
        if (IsMarker(slot) || !(static_cast<uint32_t>(GetField(kPropFlags, slot)) & mask)) return;
        if (InReach(slot, x, y, GetField(kPropY, slot), r)) found = slot;
    });
    return found;
}

int FindNearestTarget(int32_t x, int32_t y) {
    int found = -1;
    int64_t best = 0;
    Walk(kFirstClassMarker + 2, kFirstClassMarker + 3, [&](int slot) {
        if (!(static_cast<uint32_t>(GetField(kPropFlags, slot)) & 0x800000u)) return;
        const int64_t dx = static_cast<int64_t>(GetField(kPropX, slot)) - x;
        const int64_t dy = static_cast<int64_t>(GetField(kPropY, slot)) - y;
        const int64_t d = dx * dx + dy * dy;
        if (found < 0 || d < best) found = slot, best = d;
    });
    return found;
}

int CountObjectsWithFlags(uint32_t mask) {
    int count = 0;
    Walk(kListHead, kListTail, [&](int slot) {
        if (!IsMarker(slot) && (static_cast<uint32_t>(GetField(kPropFlags, slot)) & mask)) ++count;
    });
    return count;
}

int32_t AngleBetweenObjects(int a, int b) {
    return VectorAngle(GetField(kPropX, a), GetField(kPropY, a), GetField(kPropX, b),
                       GetField(kPropY, b));
}

int32_t DistanceSqBetweenObjects(int a, int b) {
    return DistanceSq(GetField(kPropX, a), GetField(kPropY, a), GetField(kPropX, b),
                      GetField(kPropY, b));
}

void SetVelocityByAngle(int slot, int32_t angle, int32_t speed, int setFacing) {
    if (slot < 0) return;
    int32_t vx = 0, vy = 0;
    PolarOffset(&vx, &vy, angle, speed);
    SetField(kPropVelX, slot, vx);
    SetField(kPropVelY, slot, vy);
    SetField(kPropDirection, slot, angle);
    SetField(kPropSpeed, slot, speed);
    if (setFacing) SetField(kPropAngle, slot, angle);
}

void RetireObject(int slot) {
    const int32_t kind = GetField(kPropKind, slot);
    if (kind < 0x50000001 || kind > 0x50000003) SetField(kPropKind, slot, 0x60000000);
    FreeObjectTweens(slot);
    AddTweenValue(slot, kTweenAlpha, 0, 16, -16);
    AddTweenAt(slot, kTweenEnd, 16);
}

}  // namespace velmora
