// The class routine of the stage objects and the walkers.
#include "game/play/stage_objects.h"

#include "game/core/object_pool.h"
#include "game/play/combat.h"
#include "game/play/object_utils.h"
#include "game/play/stage_devices.h"

namespace velmora {

namespace {

constexpr int kTypeLimit = 96;

}  // namespace

void UpdateStageObject(int slot) {
    const int type = GetField(kPropKind, slot) & 0x0fffffff;
    if (type >= kTypeLimit) {
        SetFieldBits(kPropFlags, slot, kFlagDead);
    } else {
        RunObjectRoutine(kStageObjectRoutines + type, slot);
    }
    if (GetField(kPropHitFlash, slot) > 0) {
        AddField(kPropHitFlash, slot, -1);
        if (GetField(kPropHitFlash, slot) == 0) SetField(kPropBlastPower, slot, 0);
    }
    // An object its routine has already ended (a walker that exploded, a buried leaf set off)
    // is not killed a second time: that would pay its score, drops and parent count twice.
    const uint32_t flags = static_cast<uint32_t>(GetField(kPropFlags, slot));
    if (!(flags & (kFlagNoDeathAtZero | kFlagDead)) && GetField(kPropHp, slot) < 1)
        KillStageObject(slot);
}

void InstallStageObjectRoutines() {
    ClassRoutineTable[3] = &UpdateStageObject;
    ClassRoutineTable[4] = &UpdateProjectile;
}

}  // namespace velmora
