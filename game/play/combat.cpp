#include "game/play/combat.h"

#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/sound_cue.h"
#include "game/core/tween.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace velmora {

// clang-format off
const int32_t kStageTypeTable[kStageTypeCount][kStageTypeWords] = {
    {0,  0x00000000, 0, 0,    0,      0,  0,   0, 0,  0, 0, 0, 0, 0, 0, 0},
    {1,  0x02800000, 0, 0,    1200,   32, 80,  0, 60, 0, 0, 0, 0, 0, 0, 8},
    {0,  0x00000000, 0, 0,    0,      0,  0,   0, 0,  0, 0, 0, 0, 0, 0, 0},
    {3,  0x02002000, 0, 0,    0,      0,  0,   0, 0,  0, 0, 0, 0, 0, 0, 0},
    {4,  0x02002000, 0, 0,    999999, 36, 100, 0, 0,  0, 0, 0, 0, 0, 0, 6},
    {5,  0x02800000, 0, 0,    1200,   32, 80,  0, 60, 0, 0, 0, 0, 0, 0, 6},
    {6,  0x02000000, 0, 0,    999999, 32, 0,   0, 0,  0, 0, 0, 0, 0, 0, 1},
    {7,  0x02003000, 0, 7680, 999999, 24, 0,   0, 0,  0, 0, 0, 0, 0, 0, 0},
    {8,  0x00800000, 0, 7680, 240,    24, 2,   9, 0,  0, 0, 0, 0, 0, 0, 1},
    {9,  0x02800000, 0, 0,    1600,   32, 2,   0, 0,  0, 0, 0, 0, 0, 0, 0},
    {10, 0x00800000, 0, 7680, 3200,   48, 80,  9, 0,  0, 0, 0, 0, 0, 0, 12},
    {11, 0x00800200, 0, 7680, 240,    24, 2,   9, 32, 0, 0, 0, 0, 0, 0, 1},
    {12, 0x00800100, 0, 7684, 3200,   24, 80,  9, 0,  0, 0, 0, 0, 0, 0, 1},
    {13, 0x00800100, 0, 0,    999999, 24, 0,   0, 0,  0, 0, 0, 0, 0, 0, 0},
    {14, 0x00000400, 0, 0,    28000,  80, 0,   0, 0,  0, 0, 0, 0, 0, 0, 0},
    {15, 0x00800000, 0, 0,    24,     24, 0,   5, 0,  0, 0, 0, 0, 0, 0, 0},
};

const int32_t kEditorTypeRemap[kEditorIndexCount] = {
    0, 1, 9, 4, 4, 8, 10, 7, 11, 3, 5, 12, 13, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0,  0, 0,  0, 0, 0,  0,  0, 14, 7,
};
// clang-format on

namespace {

constexpr int kVarMaster = 25;
constexpr int kVarLevel = 65;
constexpr int kSearchSteps = 2001;
constexpr int kSpawnTries = 20;
constexpr int kPropTypeWords = 32;  // 32..39
constexpr int kPropItemKind = 31;

int MarkerOf(int objectClass) {
    return kFirstClassMarker + objectClass;
}

bool IsMarker(int slot) {
    return GetField(kPropKind, slot) == kListNodeKind;
}

// Releases the oldest effect or panel object (classes 5 and 6) without the keep flag.
void EvictOne() {
    int slot = GetField(kPropNext, MarkerOf(4));
    for (int step = 0; step < kSearchSteps && slot != MarkerOf(6) && slot != kListTail; ++step) {
        if (!IsMarker(slot) && !(static_cast<uint32_t>(GetField(kPropFlags, slot)) & kFlagKeep)) {
            ReleaseSlot(slot);
            return;
        }
        slot = GetField(kPropNext, slot);
    }
}

}  // namespace

int StageTypeOfEditorIndex(int index) {
    if (index < 0 || index >= kEditorIndexCount) return 0;
    return kEditorTypeRemap[index];
}

int SpawnStageObject(int32_t x, int32_t y, int32_t layer, int type) {
    if (static_cast<uint32_t>(GetGameVar(kVarMaster)) & kMasterNoStageSpawn) return -1;
    if (type < 1 || type >= kStageTypeCount) return -1;
    const int32_t* row = kStageTypeTable[type];
    int slot = -1;
    for (int attempt = 0; attempt < kSpawnTries && slot < 0; ++attempt) {
        if (attempt > 0) EvictOne();
        slot = SpawnObject(x, y, layer, row[2], 0x30000000 | row[0]);
    }
    if (slot < 0) return -1;
    if (row[2] < 1) SetField(kPropDrawWord, slot, type + 32);
    SetField(kPropRadius, slot, row[5]);
    SetField(kPropAttack, slot, GetGameVar(kVarLevel) + row[6]);
    SetObjectHp(slot, row[4]);
    SetFieldBits(kPropFlags, slot, static_cast<uint32_t>(row[1]));
    for (int i = 0; i < 8; ++i) SetField(kPropTypeWords + i, slot, row[8 + i]);
    return slot;
}

void DamageObject(int slot, int attacker, int32_t damage, int32_t power) {
    int32_t dealt;
    if (static_cast<uint32_t>(GetField(kPropFlags, slot)) & kFlagGuard) {
        if (power < 1 && attacker > -2) {
            PlaySe(0);  // blocked
            return;
        }
        dealt = damage + power;
    } else {
        dealt = damage - power / 4;
        if (dealt < 2) dealt = 2;
    }
    AddField(kPropHp, slot, -dealt);
    SetField(kPropHitFlash, slot, 30);
    SetField(kPropAttacker, slot, attacker);
    if (power < 1) {
        SetField(kPropBlastPower, slot, 0);
        SetGameVar(kVarMaster, static_cast<int32_t>(static_cast<uint32_t>(GetGameVar(kVarMaster)) |
                                                    kMasterPlainHit));
    } else if (power > GetField(kPropBlastPower, slot)) {
        SetField(kPropBlastPower, slot, power);
    }
}

void DestroyObject(int slot) {
    ClearCellBitsAtPixel(GetField(kPropX, slot), GetField(kPropY, slot), 16);
    SetFieldBits(kPropFlags, slot, kFlagDead);
    const int parent = GetParent(slot);
    if (parent > 0 && GetField(kPropLiveChildren, parent) > 0)
        AddField(kPropLiveChildren, parent, -1);
}

void DestroyAllStageObjects() {
    // Only real objects are hit: the marker opening the run is not one, so an empty stage keeps
    // its plain-hit flag clear.
    int slot = GetField(kPropNext, MarkerOf(2));
    for (int step = 0; step < kSearchSteps && slot != MarkerOf(3) && slot != kListTail; ++step) {
        const int next = GetField(kPropNext, slot);
        if (!IsMarker(slot) &&
            !(static_cast<uint32_t>(GetField(kPropFlags, slot)) & kFlagSurvivesClearing)) {
            ClearFieldBits(kPropFlags, slot, kFlagNoDeathAtZero);
            DamageObject(slot, -2, 999999, 0);
        }
        slot = next;
    }
}

void ScatterFieldItems(int32_t x, int32_t y, int count, int32_t kind) {
    int ringSize = 1, index = 0;
    int32_t radius = 0, angle = 54000;
    for (int k = 0; k < count; ++k) {
        int32_t ix = x, iy = y;
        AddPolarOffset(&ix, &iy, angle, radius);
        const int slot = SpawnStageObject(ix, iy, 9, 7);
        if (slot > 0) {
            SetField(kPropItemKind, slot, kind);
            FadeInObject(slot, 0);
            SetField(47, slot, -7);
            SetField(kPropFineZ, slot, 2048);
            SetField(kPropZ, slot, 8);
        }
        angle += 216000 / ringSize;
        if (++index == ringSize) {
            index = 0;
            radius += 32;
            ringSize = ringSize == 1 ? 6 : ringSize == 6 ? 8 : ringSize + 4;
        }
    }
}

void ApplyFriction(int32_t amount) {
    for (int n : {kPropVelX, kPropVelY}) {
        const int32_t v = GetCurrentField(n);
        if (v < amount && v > -amount)
            SetCurrentField(n, 0);
        else
            SetCurrentField(n, v > 0 ? v - amount : v + amount);
    }
}

int SpawnBlast(int32_t x, int32_t y, int mode, int32_t delay) {
    int slot;
    if (mode == 1 || mode == 2) {
        slot = SpawnObject(x, y, 9, mode == 1 ? 936 : 944, 0x2000000f);
        if (slot >= 0) SetField(kPropAttack, slot, 8);
    } else {
        slot = SpawnSprite(x, y, 9, 928);
    }
    if (slot < 0) return -1;
    SetField(kPropZ, slot, y + 48);  // its draw depth once depth comes from z
    if (delay > 0) {
        SetFieldBits(kPropFlags, slot, kFlagNotDrawn);
        AddTweenValue(slot, kTweenClearFlag, delay, 1, 28);
    }
    AddTweenValue(slot, kTweenSetFlags, delay, 1, 0x20008000);
    AddTweenAt(slot, kTweenEndObject, delay + 32);
    return slot;
}

int SpawnHitArea(int32_t x, int32_t y, int32_t radius) {
    const int slot = SpawnObject(x, y, 12, 0, 0x40000000);
    if (slot < 0) return -1;
    SetField(kPropRadius, slot, radius);
    SetFieldBits(kPropFlags, slot, 0x10200000u);
    AddTweenAt(slot, kTweenEndObject, 2);
    return slot;
}

void KillChildrenAndTweens(int slot) {
    for (int i = 0; i < kChildLinks; ++i) {
        const int child = GetChild(slot, i);
        if (child < 1) continue;
        FreeObjectTweens(child);
        SetFieldBits(kPropFlags, child, kFlagDead);
    }
}

bool CheckPlayerReach(int p, int32_t x, int32_t y, int32_t limit, bool kill) {
    if (DistanceSqToPlayer(p, x, y) >= limit) return false;
    if (kill) SetCurrentFieldBits(kPropFlags, kFlagDead);
    return true;
}

}  // namespace velmora
