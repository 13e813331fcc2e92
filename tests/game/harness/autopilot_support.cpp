#include "tests/game/harness/autopilot.h"

#include <algorithm>
#include <queue>
#include <utility>

#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/play/combat.h"
#include "game/play/game_flow.h"
#include "game/play/large_enemies.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"
#include "game/play/stage_devices.h"

namespace velmora_test {

using namespace velmora;

namespace {

constexpr int32_t kEventKind = 0x30000003;
constexpr uint32_t kGuardLit = 0x800;

int FindLiving(int32_t kind) {
    int s = GetField(kPropNext, kListHead);
    for (int step = 0; step < kPoolSlots && s > 0 && s != kListTail; ++step) {
        if (GetField(kPropKind, s) == kind && !(GetField(kPropFlags, s) & kFlagDead)) return s;
        s = GetField(kPropNext, s);
    }
    return -1;
}

}  // namespace

namespace {

constexpr int32_t kGateKind = 0x30000004;

// A colour gate or switch of the current area, seen through the pool.
struct GatePiece {
    int x, y;     // cell
    int colour;   // 0..3
    bool closed;  // a gate that blocks the way, or a switch not yet stepped on
};

// The current area's colour gates (variants 0..3) and their switches (4..7).
std::vector<GatePiece> FindGatePieces(bool switches) {
    std::vector<GatePiece> out;
    const uint32_t pressed = static_cast<uint32_t>(GetGameVar(kGameVarStageFlags));
    int s = GetField(kPropNext, kListHead);
    for (int step = 0; step < kPoolSlots && s > 0 && s != kListTail; ++step) {
        const int v = GetField(kPropVariant, s) & 15;
        if (GetField(kPropKind, s) == kGateKind && !(GetField(kPropFlags, s) & kFlagDead) &&
            (v >= 4) == switches && v < 8) {
            const bool closed = switches ? !(pressed & (1u << (24 + (v & 3))))
                                         : !(GetField(kPropFlags, s) & kFlagDone);
            out.push_back(
                {(GetField(kPropX, s) + 16) / 32, (GetField(kPropY, s) + 16) / 32, v & 3, closed});
        }
        s = GetField(kPropNext, s);
    }
    return out;
}

// Breadth first from player 0's cell over cells a player on the ground can stand on (and the
// cells `open` lets through), through exits into the areas they lead to, until `goal` holds
// for a cell.
template <typename Goal, typename Open>
std::vector<RouteNode> SearchRoute(const Goal& goal, const Open& open) {
    const StageRecord& r = GetStageRecord();
    auto word = [&](int area, int n) { return r.words[AreaBase(area) + n]; };
    auto cellOf = [&](const RouteNode& n) {
        return static_cast<uint32_t>(word(n.area, 32 + n.x + n.y * word(n.area, 0)));
    };
    std::vector<std::vector<int>> from(12, std::vector<int>(4096, -2));
    std::vector<RouteNode> nodes;
    std::queue<int> todo;
    auto push = [&](const RouteNode& n, int parent) {
        const int w = word(n.area, 0), h = word(n.area, 1);
        if (n.x < 0 || n.y < 0 || n.x >= w || n.y >= h) return;
        int& seen = from[n.area][n.x + n.y * w];
        if (seen != -2 || ((cellOf(n) & 0x33) && !open(n))) return;
        seen = parent;
        nodes.push_back(n);
        todo.push(static_cast<int>(nodes.size()) - 1);
    };
    auto entry = [&](int area, int e) {
        const int32_t v = word(area, kAreaWordEntries + e);
        return RouteNode{area, v >> 16, v & 0xffff};
    };
    auto routeTo = [&](int i) {
        std::vector<RouteNode> route;
        for (int k = i; k >= 0;
             k = from[nodes[k].area][nodes[k].x + nodes[k].y * word(nodes[k].area, 0)])
            route.push_back(nodes[k]);
        std::reverse(route.begin(), route.end());
        return route;
    };
    int32_t x, y;
    GetPlayerPosition(0, &x, &y);
    push(RouteNode{GetCurrentArea(), (x + 16) / 32, (y + 16) / 32}, -1);
    while (!todo.empty()) {
        const int i = todo.front();
        todo.pop();
        const RouteNode n = nodes[i];
        const uint32_t cell = cellOf(n);
        if (goal(n, cell)) return routeTo(i);
        const int index = (cell >> kCellObjectShift) & 0xff;
        const int variant = (cell >> kCellVariantShift) & 0x7f;
        if (!(cell & kCellSpawn) && index == 2 && variant >= 1) {
            // An exit is taken on stepping in: the way goes on from the entry it leads to.
            const int target =
                variant - 1 < 8 ? word(n.area, kAreaWordExits + 2 * (variant - 1)) : -1;
            if (target >= 0 && target < 12 && word(target, 0) > 0)
                push(entry(target, word(n.area, kAreaWordExits + 1 + 2 * (variant - 1)) & 7), i);
            continue;
        }
        for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
            push(RouteNode{n.area, n.x + dx, n.y + dy}, i);
    }
    return {};
}

int CellIndex(uint32_t cell) {
    return (cell & kCellSpawn) ? 0 : static_cast<int>((cell >> kCellObjectShift) & 0xff);
}

int CellVariant(uint32_t cell) {
    return static_cast<int>((cell >> kCellVariantShift) & 0x7f);
}

}  // namespace

std::vector<RouteNode> PlanRoute(int toArea) {
    const auto goal = [&](const RouteNode& n, uint32_t cell) {
        if (toArea >= 0) return n.area == toArea;
        return CellIndex(cell) == 2 && CellVariant(cell) - 1 >= 8;
    };
    std::vector<RouteNode> route = SearchRoute(goal, [](const RouteNode&) { return false; });
    if (!route.empty()) return route;
    // No way on foot: the way as if the area's closed gates stood open, and the first of them
    // it passes sends player 0 to that gate's switch first.
    const int area = GetCurrentArea();
    const std::vector<GatePiece> gates = FindGatePieces(false);
    auto closedGateAt = [&](const RouteNode& n) -> const GatePiece* {
        for (const GatePiece& g : gates)
            if (g.closed && n.area == area && n.x == g.x && n.y == g.y) return &g;
        return nullptr;
    };
    route = SearchRoute(goal, [&](const RouteNode& n) { return closedGateAt(n) != nullptr; });
    for (const RouteNode& n : route) {
        const GatePiece* gate = closedGateAt(n);
        if (!gate) continue;
        const std::vector<GatePiece> switches = FindGatePieces(true);
        return SearchRoute(
            [&](const RouteNode& c, uint32_t) {
                for (const GatePiece& w : switches)
                    if (w.closed && w.colour == gate->colour && c.area == area && c.x == w.x &&
                        c.y == w.y)
                        return true;
                return false;
            },
            [](const RouteNode&) { return false; });
    }
    return route;
}

uint32_t SteerAlong(const std::vector<RouteNode>& route, size_t* at) {
    int32_t x, y;
    GetPlayerPosition(0, &x, &y);
    const RouteNode here{GetCurrentArea(), (x + 16) / 32, (y + 16) / 32};
    for (size_t k = *at; k < route.size(); ++k) {
        if (route[k] == here) {
            *at = k;
            break;
        }
    }
    if (*at + 1 >= route.size() || route[*at + 1].area != here.area) return 0;
    const RouteNode& next = route[*at + 1];
    const int32_t dx = next.x * 32 - x, dy = next.y * 32 - 6 - y;
    const bool horizontal = next.x != route[*at].x;
    if (horizontal) {
        if (dy > 3) return kButtonDown;
        if (dy < -3) return kButtonUp;
        return dx > 0 ? kButtonRight : kButtonLeft;
    }
    if (dx > 2) return kButtonRight;
    if (dx < -2) return kButtonLeft;
    return dy > 0 ? kButtonDown : kButtonUp;
}

uint32_t PlayArenaFrame(ArenaWatch& watch, int64_t frame) {
    const bool play = GetGameVar(kGameVarPhase) == kPhasePlay;
    const int boss = FindLiving(kBossKindWord);
    if (boss > 0) {
        const int32_t state = GetField(kPropEnemyState, boss);
        watch.bossStates.insert(state);
        watch.lastBossState = state;
        if (play && frame % 8 == 0) {
            if (state >= 8 && state < 18) {
                const int hand = GetChild(boss, static_cast<int>(frame / 8 % 2));
                if (hand > 0) DamageObject(hand, 0, 3000, 1);
            } else if ((state >= 3 && state < 7) || (state >= 20 && state < 99)) {
                DamageObject(boss, 0, 3000, 1);
            }
        }
    } else if (watch.bossGoneAt < 0 && play) {
        watch.bossGoneAt = frame;
    }
    const int guard = FindLiving(kEventKind);
    if (guard > 0 && (GetField(kPropFlags, guard) & kGuardLit)) watch.guardDone = true;
    if (!play || !watch.guardDone || guard < 1) return 0;
    int32_t px, py;
    GetPlayerPosition(0, &px, &py);
    const int32_t gx = GetField(kPropX, guard), gy = GetField(kPropY, guard);
    if (px < gx - 4) return kButtonRight;
    if (px > gx + 4) return kButtonLeft;
    if (py > gy + 4) return kButtonUp;
    if (py < gy - 4) return kButtonDown;
    return 0;
}

}  // namespace velmora_test
