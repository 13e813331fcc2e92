#include "game/core/tween.h"

#include <algorithm>
#include <cstdlib>

#include "game/core/game_vars.h"
#include "game/core/object_pool.h"

namespace velmora {
namespace {

constexpr int kTweenHead = 0;
constexpr int kTweenTail = 1;
constexpr int kFirstTweenEntry = 2;
constexpr int kLastTweenEntry = 7997;

// Ten parallel words per entry; a free entry has slot 0.
struct TweenTable {
    int32_t slot[kTweenEntries];
    int32_t kind[kTweenEntries];
    int32_t start[kTweenEntries];
    int32_t end[kTweenEntries];
    int32_t a[kTweenEntries];
    int32_t b[kTweenEntries];
    int32_t work[kTweenEntries];
    int32_t serial[kTweenEntries];
    int32_t next[kTweenEntries];
    int32_t prev[kTweenEntries];
};

TweenTable g_table;
int g_cursor = kFirstTweenEntry;
int g_count = 0;
bool g_pauseFrame = false;
// The entry the running walk goes to next; a removal of that entry moves it on, so a tween
// that ends its object (and with it the object's other tweens) never derails the walk.
int g_walkNext = -1;
bool g_ready = false;

void ClearEntry(int i) {
    g_table.slot[i] = g_table.kind[i] = g_table.start[i] = g_table.end[i] = 0;
    g_table.a[i] = g_table.b[i] = g_table.work[i] = g_table.serial[i] = 0;
    g_table.next[i] = g_table.prev[i] = 0;
}

void EnsureReady() {
    if (!g_ready) ResetTweens();
}

void RemoveEntry(int i) {
    const int prev = g_table.prev[i];
    const int next = g_table.next[i];
    if (i == g_walkNext) g_walkNext = next;
    g_table.next[prev] = next;
    g_table.prev[next] = prev;
    ClearEntry(i);
    --g_count;
}

bool IsProperty(int32_t n) {
    return n >= 0 && n < kPoolProperties;
}

int32_t Add32(int32_t v, int32_t d) {
    return static_cast<int32_t>(static_cast<uint32_t>(v) + static_cast<uint32_t>(d));
}

// Sets or adds to the colour byte at shift, clamped to 0..255.
void ApplyColorByte(int slot, unsigned shift, bool add, int32_t value) {
    const uint32_t color = static_cast<uint32_t>(GetField(kPropColor, slot));
    int64_t byte = add ? static_cast<int64_t>((color >> shift) & 0xff) + value : value;
    byte = std::clamp<int64_t>(byte, 0, 255);
    const uint32_t out = (color & ~(0xffu << shift)) | (static_cast<uint32_t>(byte) << shift);
    SetField(kPropColor, slot, static_cast<int32_t>(out));
}

void SetFlag(int slot, uint32_t bit, bool on) {
    if (on)
        SetFieldBits(kPropFlags, slot, bit);
    else
        ClearFieldBits(kPropFlags, slot, bit);
}

void FollowAngle(int slot) {
    if (static_cast<uint32_t>(GetField(kPropFlags, slot)) & kFlagAngleFollows)
        SetField(kPropAngle, slot, GetField(kPropDirection, slot));
}

void VelocityFromDirection(int slot) {
    int32_t vx = 0, vy = 0;
    PolarOffset(&vx, &vy, GetField(kPropDirection, slot), GetField(kPropSpeed, slot));
    SetField(kPropVelX, slot, vx);
    SetField(kPropVelY, slot, vy);
}

// A kind whose property number, bit number or period cannot be used would index past the row
// or divide by zero: such an entry does nothing and goes.
bool IsUnusable(int32_t kind, int32_t a, int32_t b) {
    switch (kind) {
        case kTweenSetProperty:
        case kTweenAddProperty:
            return !IsProperty(a);
        case kTweenStepProperty:
            return !IsProperty(a) || b == 0;
        case kTweenClearFlag:
            return a < 0 || a >= 32;
        default:
            return false;
    }
}

// Runs entry i once; true when the entry is still in the table afterwards.
bool RunTween(int i) {
    const int slot = g_table.slot[i];
    if (slot == kListHead) {
        RemoveEntry(i);
        return false;
    }
    // An entry outlives its object when the object was released without FreeObject; it must
    // never act on a free slot or on the next object to take it.
    if (slot < 0 || slot >= kPoolSlots || GetField(kPropKind, slot) == 0 ||
        GetField(kPropSerial, slot) != g_table.serial[i]) {
        RemoveEntry(i);
        return false;
    }
    const uint32_t flags = static_cast<uint32_t>(GetField(kPropFlags, slot));
    if (g_pauseFrame && !(flags & kFlagRunsWhilePaused)) return true;
    const int32_t age = GetField(kPropAge, slot);
    if (age < g_table.start[i]) return true;

    const int32_t kind = g_table.kind[i];
    const int32_t a = g_table.a[i];
    const int32_t b = g_table.b[i];
    if (IsUnusable(kind, a, b)) {
        RemoveEntry(i);
        return false;
    }
    SetCurrentObject(slot);
    switch (kind) {
        case kTweenSetDirection:
            SetField(kPropDirection, slot, a);
            break;
        case kTweenAddDirection:
            AddField(kPropDirection, slot, a);
            break;
        case kTweenSetSpeed:
            SetField(kPropSpeed, slot, a);
            break;
        case kTweenAddSpeed:
            AddField(kPropSpeed, slot, a);
            break;
        case kTweenSetPosition:
            SetPosition(a, b, slot);
            break;
        case kTweenScreenFixed:
            SetFlag(slot, kFlagScreenFixed, a != 0);
            break;
        case kTweenSetVelocity:
            SetField(kPropVelX, slot, a);
            SetField(kPropVelY, slot, b);
            break;
        case kTweenAddVelocity:
            AddField(kPropVelX, slot, a);
            AddField(kPropVelY, slot, b);
            break;
        case kTweenSetScale:
            SetField(kPropScale, slot, a);
            break;
        case kTweenAddScale:
            AddField(kPropScale, slot, a);
            break;
        case kTweenSetRed:
        case kTweenAddRed:
        case kTweenSetGreen:
        case kTweenAddGreen:
        case kTweenSetBlue:
        case kTweenAddBlue:
        case kTweenSetAlpha:
        case kTweenAddAlpha: {
            // Pairs from red down: red is bits 24-31, alpha bits 0-7.
            const int pair = (kind - kTweenSetRed) / 2;
            ApplyColorByte(slot, static_cast<unsigned>(24 - 8 * pair),
                           (kind - kTweenSetRed) % 2 == 1, a);
            break;
        }
        case kTweenSetDrawWord:
            SetField(kPropDrawWord, slot, a);
            break;
        case kTweenAngleFollows:
            SetFlag(slot, kFlagAngleFollows, a != 0);
            break;
        case kTweenSetAngle:
            SetField(kPropAngle, slot, a);
            break;
        case kTweenAddAngle:
            AddField(kPropAngle, slot, a);
            break;
        case kTweenSetProperty:
            SetField(a, slot, b);
            break;
        case kTweenAddProperty:
            AddField(a, slot, b);
            break;
        case kTweenStepProperty: {
            const int64_t period = std::llabs(static_cast<int64_t>(b));
            const int64_t since = static_cast<int64_t>(age) - g_table.start[i];
            if (since % period == period - 1) AddField(a, slot, b > 0 ? 1 : -1);
            break;
        }
        case kTweenSetFlags:
            SetFieldBits(kPropFlags, slot, static_cast<uint32_t>(a));
            break;
        case kTweenClearFlag:
            ClearFieldBits(kPropFlags, slot, 1u << a);
            break;
        case kTweenEndObject:
            FreeObject(slot);  // removes this entry with the object's others
            return false;
        default:
            break;  // 10, 28, 30, 31 and unknown kinds do nothing
    }

    const bool last = age >= g_table.end[i];
    switch (kind) {
        case kTweenSetDirection:
        case kTweenAddDirection:
            if (!last) VelocityFromDirection(slot);
            FollowAngle(slot);
            break;
        case kTweenSetSpeed:
        case kTweenAddSpeed:
            if (!last) VelocityFromDirection(slot);
            break;
        case kTweenSetVelocity:
        case kTweenAddVelocity:
            FollowAngle(slot);
            break;
        default:
            break;
    }
    if (last) {
        RemoveEntry(i);
        return false;
    }
    return true;
}

int TakeEntry() {
    // Round robin over 2..7997 from the cursor, which stays on the entry it hands out. Every
    // entry is looked at once: stopping on reaching the entry before the cursor would skip that
    // entry, and from entry 2 would never stop on a full table.
    constexpr int span = kLastTweenEntry - kFirstTweenEntry + 1;
    if (g_cursor < kFirstTweenEntry || g_cursor > kLastTweenEntry) g_cursor = kFirstTweenEntry;
    for (int n = 0; n < span; ++n) {
        const int i = g_cursor;
        if (g_table.slot[i] == 0) {
            ++g_count;
            return i;
        }
        g_cursor = i == kLastTweenEntry ? kFirstTweenEntry : i + 1;
    }
    return -1;
}

}  // namespace

int AddTween(int slot, int32_t kind, int32_t delay, int32_t frames, int32_t a, int32_t b) {
    EnsureReady();
    if (GetField(kPropKind, slot) == 0) return 0;
    const int i = TakeEntry();
    if (i < 0) return -1;
    g_table.slot[i] = slot;
    g_table.kind[i] = kind;
    g_table.start[i] = Add32(GetField(kPropAge, slot), delay);
    g_table.a[i] = a;
    g_table.b[i] = b;
    g_table.work[i] = 0;
    g_table.serial[i] = GetField(kPropSerial, slot);
    const int last = g_table.prev[kTweenTail];
    g_table.prev[i] = last;
    g_table.next[i] = kTweenTail;
    g_table.next[last] = i;
    g_table.prev[kTweenTail] = i;
    if (delay >= 0) {
        g_table.end[i] = Add32(g_table.start[i], frames);
        return i;
    }
    g_table.end[i] = 0;
    // The caller's current object stays current: an immediate tween on another object must
    // not redirect the caller's own accessors.
    const int current = GetCurrentObject();
    const bool kept = RunTween(i);
    SetCurrentObject(current);
    return kept ? i : 0;
}

int AddTweenValue(int slot, int32_t kind, int32_t delay, int32_t frames, int32_t v) {
    return AddTween(slot, kind, delay, frames, v, 0);
}

int AddTweenPlain(int slot, int32_t kind, int32_t delay, int32_t frames) {
    return AddTween(slot, kind, delay, frames, 0, 0);
}

int AddTweenAt(int slot, int32_t kind, int32_t delay) {
    return AddTween(slot, kind, delay, 1, 0, 0);
}

int RunTweenNow(int slot, int32_t kind) {
    return AddTween(slot, kind, -1, 0, 0, 0);
}

int RunTweenNowValue(int slot, int32_t kind, int32_t v) {
    return AddTween(slot, kind, -1, 0, v, 0);
}

int RunTweenNowValues(int slot, int32_t kind, int32_t a, int32_t b) {
    return AddTween(slot, kind, -1, 0, a, b);
}

void FadeInObject(int slot, int32_t delay) {
    if (GetField(kPropKind, slot) == 0) return;
    ClearFieldBits(kPropColor, slot, 0xffu);
    AddTween(slot, kTweenAddAlpha, delay, 32, 8, 0);
}

void FadeOutObjectAfter(int slot, int32_t delay) {
    AddTween(slot, kTweenAddAlpha, delay, 32, -8, 0);
    AddTweenAt(slot, kTweenEndObject, Add32(delay, 33));
}

void FreeObjectTweens(int slot) {
    EnsureReady();
    // Free entries also read slot 0, and the list ends slot 1: only live entries go.
    if (slot == 0) return;
    for (int i = kFirstTweenEntry; i < kTweenEntries; ++i)
        if (g_table.slot[i] == slot) RemoveEntry(i);
}

void ResetTweens() {
    for (int i = 0; i < kTweenEntries; ++i) ClearEntry(i);
    g_table.slot[kTweenHead] = g_table.slot[kTweenTail] = kListHead;
    g_table.kind[kTweenHead] = g_table.kind[kTweenTail] = 31;
    g_table.prev[kTweenHead] = kTweenHead;
    g_table.next[kTweenHead] = kTweenTail;
    g_table.prev[kTweenTail] = kTweenHead;
    g_table.next[kTweenTail] = kTweenTail;
    g_cursor = kFirstTweenEntry;
    g_count = 0;
    g_pauseFrame = false;
    g_walkNext = -1;
    g_ready = true;
}

void RunTweens() {
    EnsureReady();
    g_pauseFrame = IsPaused() || IsSlowFrame();
    int i = g_table.next[kTweenHead];
    // Bounded: a damaged list ends the walk instead of looping.
    for (int step = 0; step < kTweenEntries && i != kTweenTail && i > kTweenTail; ++step) {
        g_walkNext = g_table.next[i];
        RunTween(i);
        i = g_walkNext;
    }
    g_walkNext = -1;
}

int GetTweenCount() {
    return g_count;
}

}  // namespace velmora
