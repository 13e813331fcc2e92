#include "game/core/object_pool.h"

#include <algorithm>

#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/sound_cue.h"
#include "game/core/tween.h"

namespace velmora {
namespace {

// Property p of slot s is element p * 2000 + s. Properties from 4 up are kept rotated and
// byte-swapped so that a memory editor searching for a plain value finds nothing; zero stays
// zero, so the zero-filled store needs no set-up.
int32_t g_store[kPoolProperties * kPoolSlots];

struct PoolState {
    int cursor = 4;
    int liveCount = 0;
    uint32_t nextSerial = 1;
    int current = 0;
    bool paused = false;
    bool slowMotion = false;
    int32_t cameraX = 0;
    int32_t cameraY = 0;
};
PoolState g_pool;

constexpr unsigned RotationOf(int n) {
    return static_cast<unsigned>(n * 11 % 31 + 1);
}

constexpr bool IsValid(int n, int slot) {
    return n >= 0 && n < kPoolProperties && slot >= 0 && slot < kPoolSlots;
}

uint32_t Masked(int n, uint32_t v) {
    if (n < 4) return v;
    const unsigned r = RotationOf(n);
    return __builtin_bswap32((v << r) | (v >> (32 - r)));
}

uint32_t Unmasked(int n, uint32_t v) {
    if (n < 4) return v;
    const unsigned r = RotationOf(n);
    v = __builtin_bswap32(v);
    return (v >> r) | (v << (32 - r));
}

// Raw reads and writes for valid (n, slot); everything else goes through these.
int32_t Load(int n, int slot) {
    return static_cast<int32_t>(Unmasked(n, static_cast<uint32_t>(g_store[n * kPoolSlots + slot])));
}

int32_t Store(int n, int slot, int32_t v) {
    g_store[n * kPoolSlots + slot] = static_cast<int32_t>(Masked(n, static_cast<uint32_t>(v)));
    return v;
}

int32_t Add32(int32_t v, int32_t d) {
    return static_cast<int32_t>(static_cast<uint32_t>(v) + static_cast<uint32_t>(d));
}

int32_t Sub32(int32_t v, int32_t d) {
    return static_cast<int32_t>(static_cast<uint32_t>(v) - static_cast<uint32_t>(d));
}

bool IsListNode(int slot) {
    return Load(kPropKind, slot) == kListNodeKind;
}

}  // namespace

int32_t GetField(int n, int slot) {
    return IsValid(n, slot) ? Load(n, slot) : 0;
}

int32_t SetField(int n, int slot, int32_t v) {
    if (IsValid(n, slot)) Store(n, slot, v);
    return v;
}

int32_t ClearField(int n, int slot) {
    return SetField(n, slot, 0);
}

int32_t AddField(int n, int slot, int32_t d) {
    if (!IsValid(n, slot)) return 0;
    // Properties wrap like the 32-bit words they are.
    return Store(
        n, slot,
        static_cast<int32_t>(static_cast<uint32_t>(Load(n, slot)) + static_cast<uint32_t>(d)));
}

int32_t IncField(int n, int slot) {
    return AddField(n, slot, 1);
}

int32_t DecField(int n, int slot) {
    if (!IsValid(n, slot)) return 0;
    const int32_t v = Load(n, slot);
    return v >= 1 ? Store(n, slot, v - 1) : v;
}

int32_t SetFieldBits(int n, int slot, uint32_t bits) {
    if (!IsValid(n, slot)) return 0;
    return Store(n, slot, static_cast<int32_t>(static_cast<uint32_t>(Load(n, slot)) | bits));
}

int32_t ClearFieldBits(int n, int slot, uint32_t bits) {
    if (!IsValid(n, slot)) return 0;
    return Store(n, slot, static_cast<int32_t>(static_cast<uint32_t>(Load(n, slot)) & ~bits));
}

int GetCurrentObject() {
    return g_pool.current;
}
void SetCurrentObject(int slot) {
    g_pool.current = slot;
}
int32_t GetCurrentField(int n) {
    return GetField(n, g_pool.current);
}
int32_t SetCurrentField(int n, int32_t v) {
    return SetField(n, g_pool.current, v);
}
int32_t ClearCurrentField(int n) {
    return ClearField(n, g_pool.current);
}
int32_t AddCurrentField(int n, int32_t d) {
    return AddField(n, g_pool.current, d);
}
int32_t IncCurrentField(int n) {
    return IncField(n, g_pool.current);
}
int32_t DecCurrentField(int n) {
    return DecField(n, g_pool.current);
}
int32_t SetCurrentFieldBits(int n, uint32_t bits) {
    return SetFieldBits(n, g_pool.current, bits);
}
int32_t ClearCurrentFieldBits(int n, uint32_t bits) {
    return ClearFieldBits(n, g_pool.current, bits);
}

void GetPosition(int32_t* x, int32_t* y, int slot) {
    if (x) *x = GetField(kPropX, slot);
    if (y) *y = GetField(kPropY, slot);
}
void GetCurrentPosition(int32_t* x, int32_t* y) {
    GetPosition(x, y, g_pool.current);
}

void GetPosition3(int32_t* x, int32_t* y, int32_t* z, int slot) {
    GetPosition(x, y, slot);
    if (z) *z = GetField(kPropZ, slot);
}
void GetCurrentPosition3(int32_t* x, int32_t* y, int32_t* z) {
    GetPosition3(x, y, z, g_pool.current);
}

void GetPositionAndVelocity(int32_t* x, int32_t* y, int32_t* vx, int32_t* vy, int slot) {
    GetPosition(x, y, slot);
    if (vx) *vx = GetField(kPropVelX, slot);
    if (vy) *vy = GetField(kPropVelY, slot);
}
void GetCurrentPositionAndVelocity(int32_t* x, int32_t* y, int32_t* vx, int32_t* vy) {
    GetPositionAndVelocity(x, y, vx, vy, g_pool.current);
}

void SetPosition(int32_t x, int32_t y, int slot) {
    SetField(kPropX, slot, x);
    SetField(kPropY, slot, y);
    SetField(kPropFineX, slot, static_cast<int32_t>(static_cast<uint32_t>(x) << 8));
    SetField(kPropFineY, slot, static_cast<int32_t>(static_cast<uint32_t>(y) << 8));
}
void SetCurrentPosition(int32_t x, int32_t y) {
    SetPosition(x, y, g_pool.current);
}

void SetPosition3(int32_t x, int32_t y, int32_t z, int slot) {
    SetPosition(x, y, slot);
    SetField(kPropZ, slot, z);
    SetField(kPropFineZ, slot, static_cast<int32_t>(static_cast<uint32_t>(z) << 8));
}
void SetCurrentPosition3(int32_t x, int32_t y, int32_t z) {
    SetPosition3(x, y, z, g_pool.current);
}

void SetPositionAndVelocity(int32_t x, int32_t y, int32_t vx, int32_t vy, int slot) {
    SetPosition(x, y, slot);
    SetField(kPropVelX, slot, vx);
    SetField(kPropVelY, slot, vy);
}
void SetCurrentPositionAndVelocity(int32_t x, int32_t y, int32_t vx, int32_t vy) {
    SetPositionAndVelocity(x, y, vx, vy, g_pool.current);
}

int AllocSlot() {
    // Round robin over 3..1997 from the cursor; the cursor stays on the slot it hands out.
    // Every slot is looked at once, so -1 means the pool really is full.
    constexpr int first = kFirstClassMarker;
    constexpr int span = kLastObjectSlot - first + 1;
    if (g_pool.cursor < first || g_pool.cursor > kLastObjectSlot) g_pool.cursor = first;
    for (int i = 0; i < span; ++i) {
        const int s = g_pool.cursor;
        if (Load(kPropKind, s) == 0) {
            ++g_pool.liveCount;
            Store(kPropSerial, s, static_cast<int32_t>(g_pool.nextSerial));
            g_pool.nextSerial = (g_pool.nextSerial + 1) & kSerialMask;
            return s;
        }
        g_pool.cursor = s == kLastObjectSlot ? first : s + 1;
    }
    return -1;
}

void InsertObjectBefore(int before, int slot) {
    if (!IsValid(0, before) || !IsValid(0, slot) || before == slot) return;
    const int prev = Load(kPropPrev, before);
    Store(kPropPrev, slot, prev);
    Store(kPropNext, slot, before);
    Store(kPropNext, prev, slot);
    Store(kPropPrev, before, slot);
}

void InsertCurrentBeforeMarker(int marker) {
    InsertObjectBefore(marker, g_pool.current);
}

void ReleaseSlot(int slot) {
    if (!IsValid(0, slot)) return;
    if (Load(kPropKind, slot) > 0) {
        const int prev = Load(kPropPrev, slot);
        const int next = Load(kPropNext, slot);
        if (IsValid(0, prev)) Store(kPropNext, prev, next);
        if (IsValid(0, next)) Store(kPropPrev, next, prev);
        --g_pool.liveCount;
    }
    for (int n = 0; n < kPoolProperties; ++n) g_store[n * kPoolSlots + slot] = 0;
}

void FreeObject(int slot) {
    FreeObjectTweens(slot);
    ReleaseSlot(slot);
}

int GetLiveObjectCount() {
    return g_pool.liveCount;
}

void ResetObjectLists() {
    Store(kPropKind, kListHead, kListNodeKind);
    Store(kPropKind, kListTail, kListNodeKind);
    Store(kPropPrev, kListHead, kListHead);
    Store(kPropNext, kListHead, kListTail);
    Store(kPropPrev, kListTail, kListHead);
    Store(kPropNext, kListTail, kListTail);
    for (int c = 0; c < kClassCount; ++c) {
        Store(kPropKind, kFirstClassMarker + c, kListNodeKind);
        InsertObjectBefore(kListTail, kFirstClassMarker + c);
    }
    g_pool.cursor = 4;
    g_pool.liveCount = 0;
    // A free slot has serial 0, so no live object may carry it after a reset.
    g_pool.nextSerial = 1;
    g_pool.current = 0;
    g_pool.paused = false;
    g_pool.slowMotion = false;
    ResetTweens();
}

namespace {
// The lists stand from program start, so nothing allocated before the first scene set-up can
// land on a marker's slot.
const bool g_listsBuilt = (ResetObjectLists(), true);
}  // namespace

void ResetAllObjects() {
    for (int s = 0; s < kPoolSlots; ++s) ReleaseSlot(s);
    ResetObjectLists();
    // The master object is gone with the rest; game variables must not alias whatever object
    // takes its slot next.
    SetMasterObject(kScratchSlot);
}

void FreeClassObjects(int c) {
    if (c < 0 || c >= kClassCount) return;
    const int marker = kFirstClassMarker + c;
    int s = c == 0 ? kListHead : marker - 1;
    for (int step = 0; step <= kPoolSlots && s != marker && IsValid(0, s); ++step) {
        const int next = Load(kPropNext, s);
        if (!IsListNode(s) && (static_cast<uint32_t>(Load(kPropFlags, s)) & kFlagKeep) == 0)
            ReleaseSlot(s);
        s = next;
    }
}

void FreeAllClassObjects() {
    for (int c = 0; c < kClassCount; ++c) FreeClassObjects(c);
}

void FreePlayObjects() {
    for (int c = 2; c <= 6; ++c) FreeClassObjects(c);
    ResetTweens();
    g_pool.paused = false;
    g_pool.slowMotion = false;
}

void ReleaseObjectsWithoutBits(uint32_t bits) {
    // Only objects: head, tail and markers hold the list together.
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
        if ((static_cast<uint32_t>(Load(kPropKind, s)) & bits) == 0) ReleaseSlot(s);
}

int CountObjectsOfKind(int32_t kind) {
    int count = 0;
    int s = kListHead;
    for (int step = 0; step <= kPoolSlots && s != kListTail && IsValid(0, s); ++step) {
        if (Load(kPropKind, s) == kind) ++count;
        s = Load(kPropNext, s);
    }
    return count;
}

uint32_t GetNextSerial() {
    return g_pool.nextSerial;
}
void SetNextSerial(uint32_t serial) {
    g_pool.nextSerial = serial & kSerialMask;
}

void SetPaused(bool paused) {
    g_pool.paused = paused;
}
bool IsPaused() {
    return g_pool.paused;
}
void SetSlowMotion(bool slow) {
    g_pool.slowMotion = slow;
}
bool IsSlowFrame() {
    return g_pool.slowMotion && GetGameVar(kGameVarAge) % 3 == 0;
}

ObjectRoutine ClassRoutineTable[kClassCount] = {};
ObjectRoutine ObjectRoutineTable[kObjectRoutineCount] = {};

void RunObjectRoutine(int row, int slot) {
    if (row < 0 || row >= kObjectRoutineCount || !ObjectRoutineTable[row]) return;
    ObjectRoutineTable[row](slot);
}

ObjectWalkHooks DefaultObjectWalkHooks() {
    ObjectWalkHooks hooks;
    hooks.isSePlaying = &IsSePlaying;
    hooks.setBgmVolume = &SetBgmVolume;
    // The screen's own extent until start-up installs its hooks: a 0 x 0 view would cull every
    // object that dies outside it at once.
    hooks.getScreenExtent = &GetScreenExtent;
    return hooks;
}

namespace {
ObjectWalkHooks g_hooks = DefaultObjectWalkHooks();
}  // namespace

void SetObjectWalkHooks(const ObjectWalkHooks& hooks) {
    g_hooks = hooks;
}

namespace {

constexpr int32_t kMasterKind = 0x20000001;
constexpr int kConfigPlayFlags = 33;
constexpr int32_t kConfigInPlay = 0x10;
constexpr int kConfigMusicVolume = 23;
constexpr int kDuckingEffect = 21;

// Still the object that was read before a routine ran: not freed, and not freed and taken
// again (a new serial). Its kind may have changed; routines are free to do that.
bool IsSameObject(int slot, int32_t serial) {
    return IsValid(0, slot) && Load(kPropKind, slot) != 0 && Load(kPropSerial, slot) == serial;
}

// Which objects this walk has already stepped, for finding the way on when a routine frees the
// node the walk was going to.
uint32_t g_walkNumber = 0;
uint32_t g_visitedWalk[kPoolSlots];
int32_t g_visitedSerial[kPoolSlots];

bool WasVisited(int s) {
    return g_visitedWalk[s] == g_walkNumber && g_visitedSerial[s] == Load(kPropSerial, s);
}

// The first node not yet stepped after `from` (itself included), following the next links.
int FirstUnvisitedFrom(int from) {
    int s = from;
    for (int step = 0; step <= kPoolSlots && IsValid(0, s) && s != kListTail; ++step) {
        if (Load(kPropKind, s) != 0 && !WasVisited(s)) return s;
        s = Load(kPropNext, s);
    }
    return kListTail;
}

void MoveObject(int s) {
    for (int i = 0; i < 6; ++i) {
        const int32_t v = Load(kPropVelX + i, s);
        if (v == 0) continue;
        const int32_t fine = Store(kPropFineX + i, s, Add32(Load(kPropFineX + i, s), v));
        if (i < 3) Store(kPropX + i, s, fine / 256);
    }
}

}  // namespace

void UpdateObjects() {
    const bool game =
        GetGameVar(0) == kMasterKind && (GetConfigVar(kConfigPlayFlags) & kConfigInPlay) != 0;
    const bool active = !g_pool.paused && !IsSlowFrame();

    const int32_t camX = GetGameVar(kGameVarCameraX);
    const int32_t camY = GetGameVar(kGameVarCameraY);
    SetCameraOrigin(camX, camY);
    int32_t width = 0, height = 0;
    if (g_hooks.getScreenExtent)
        g_hooks.getScreenExtent(&width, &height);
    else
        GetScreenExtent(&width, &height);
    SetActiveArea(Add32(camX, -32), Add32(camY, -32), Add32(Add32(camX, width), 64),
                  Add32(Add32(camY, height), 64));

    // Duck the music while the ducking effect plays, a step a frame down to 20 below its level.
    if (g_hooks.isSePlaying && g_hooks.isSePlaying(kDuckingEffect)) {
        const int32_t d = GetGameVar(kGameVarMusicDuck);
        SetGameVar(kGameVarMusicDuck, Add32(d, 1));
        if (g_hooks.setBgmVolume)
            g_hooks.setBgmVolume(Sub32(GetConfigVar(kConfigMusicVolume), std::min<int32_t>(d, 20)));
    } else {
        SetGameVar(kGameVarMusicDuck, 0);
    }

    ++g_walkNumber;
    int lastListNode = kListHead;  // head and markers are never freed by a routine
    int s = kListHead;
    for (int step = 0; step <= kPoolSlots && s != kListTail && IsValid(0, s); ++step) {
        const int32_t kind = Load(kPropKind, s);
        int next = Load(kPropNext, s);
        if (kind == 0) {
            s = next;
            continue;
        }
        const int32_t nextSerial = IsValid(0, next) ? Load(kPropSerial, next) : 0;
        const int32_t serial = Load(kPropSerial, s);
        g_visitedWalk[s] = g_walkNumber;
        g_visitedSerial[s] = serial;
        if (kind == kListNodeKind) lastListNode = s;

        g_pool.current = s;
        const int cls = static_cast<int>((static_cast<uint32_t>(kind) & 0x70000000u) >> 28);
        const uint32_t flags = static_cast<uint32_t>(Load(kPropFlags, s));

        if (active || (flags & kFlagRunsWhilePaused)) {
            MoveObject(s);
            if ((flags & kFlagAnimated) && g_hooks.animateSprite)
                Store(kPropDrawWord, s,
                      g_hooks.animateSprite(Load(kPropDrawWord, s), Load(kPropAge, s)));
            if (cls >= 1 && kind != kListNodeKind && ClassRoutineTable[cls])
                ClassRoutineTable[cls](s);
            g_pool.current = s;
        }

        // A routine that released its own object leaves nothing to draw, age or free.
        if (IsSameObject(s, serial)) {
            const int32_t drawWord = Load(kPropDrawWord, s);
            if (!(flags & kFlagNotDrawn) && drawWord > 0 && g_hooks.drawObject)
                g_hooks.drawObject(drawWord);

            const uint32_t nowFlags = static_cast<uint32_t>(Load(kPropFlags, s));
            if (active || (nowFlags & kFlagRunsWhilePaused))
                Store(kPropAge, s, Add32(Load(kPropAge, s), 1));
            const bool outside = (nowFlags & kFlagDiesOutside) &&
                                 IsOutsideActiveArea(Load(kPropX, s), Load(kPropY, s));
            if ((nowFlags & kFlagDead) || outside) {
                if (((static_cast<uint32_t>(Load(kPropKind, s)) >> 28) & 7) == 1 &&
                    g_hooks.closeWindow)
                    g_hooks.closeWindow(s);
                // Closing may have freed the window already, and a window it opened in turn
                // may have taken the slot: free only the object that died.
                if (IsSameObject(s, serial)) FreeObject(s);
            }
        }

        // A routine (or closing a window) may have freed the node the walk was going to; then
        // go on from this node if it still stands, else from the last head or marker passed.
        if (!IsSameObject(next, nextSerial))
            next = FirstUnvisitedFrom(IsSameObject(s, serial) ? s : lastListNode);
        s = next;
    }

    if (game) {
        if (g_hooks.updateGameFlow) g_hooks.updateGameFlow();
        if (g_hooks.drawHud) g_hooks.drawHud();
    }
}

void SetCameraOrigin(int32_t x, int32_t y) {
    g_pool.cameraX = x;
    g_pool.cameraY = y;
}

void WorldToScreen(int32_t* x, int32_t* y) {
    int32_t sx = x ? *x : 0;
    int32_t sy = y ? *y : 0;
    sx = Sub32(sx, g_pool.cameraX);
    sy = Sub32(sy, g_pool.cameraY);
    if (GetGameVar(kGameVarShake) > 0) {
        const int64_t a = GetGameVar(kGameVarAge);
        sx = Add32(sx, static_cast<int32_t>(a * 13 % 7 - 3));
        sy = Add32(sy, static_cast<int32_t>(a * 9 % 5 - 2));
    }
    if (x) *x = sx;
    if (y) *y = sy;
}

void WorldToScreen3(int32_t* x, int32_t* y, int32_t* z) {
    WorldToScreen(x, y);
    if (z) *z = Sub32(*z, g_pool.cameraY);
}

}  // namespace velmora
