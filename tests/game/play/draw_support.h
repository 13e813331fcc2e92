// Reading the draw list back in tests: every record queued this frame with its layer.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "game/core/draw_list.h"

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

}  // namespace velmora::testing_draw
