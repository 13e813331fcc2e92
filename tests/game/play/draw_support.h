// Reading the draw list back in tests: every record queued this frame with its layer.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/play/draw.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace velmora::testing_draw {

struct Queued {
    int layer;
    bool additive;
    int index;
    DrawRecord r;
    int32_t sprite() const { return r.w[kDrawSprite] & kSpriteIdMask; }
    int32_t word() const { return r.w[kDrawSprite]; }
    int x() const { return r.w[kDrawX]; }
    int y() const { return r.w[kDrawY]; }
    int32_t depth() const { return r.w[kDrawDepth]; }
    uint32_t colour() const { return static_cast<uint32_t>(r.w[kDrawColor]); }
    int kind() const { return r.w[kDrawKind]; }
};

// The records of lists 0..63 in drawing order.
inline std::vector<Queued> QueuedRecords() {
    std::vector<Queued> out;
    for (int list = 0; list < 64; ++list) {
        int guard = 0;
        for (int r = GetDrawRecord(list).w[kDrawNext]; r >= kDrawListHeads && r < kDrawRecords;
             r = GetDrawRecord(r).w[kDrawNext]) {
            if (GetDrawRecord(r).w[kDrawKind] == kDrawListHeadKind || ++guard > kDrawRecords) break;
            out.push_back(Queued{list / 2, (list & 1) != 0, r, GetDrawRecord(r)});
        }
    }
    return out;
}

inline std::vector<Queued> Where(const std::function<bool(const Queued&)>& keep) {
    std::vector<Queued> out;
    for (const Queued& q : QueuedRecords())
        if (keep(q)) out.push_back(q);
    return out;
}

inline std::vector<Queued> WithSprite(int32_t id) {
    return Where(
        [id](const Queued& q) { return q.sprite() == id && q.kind() != 33 && q.kind() < 34; });
}

inline std::vector<Queued> OnLayer(int layer) {
    return Where([layer](const Queued& q) { return q.layer == layer; });
}

// A fresh pool and stage with the draw routines in: the camera at the origin, play phase 5,
// the given sky colour, fog choice 1, no players.
inline void SetUpDrawScene(uint32_t sky) {
    ResetAllObjects();
    InstallDrawRoutines();
    SetCameraOrigin(0, 0);
    for (int n = 0; n < kPoolProperties; ++n) SetGameVar(n, 0);
    SetGameVar(kGameVarPhase, 5);
    SetGameVar(kGameVarSky, static_cast<int32_t>(sky));
    SetConfigVar(21, 1);
    for (int p = 0; p < kPlayerCount; ++p) g_playerSlots[p] = 0;
    NewStage(-1);
    NewStage(0);
}

}  // namespace velmora::testing_draw
