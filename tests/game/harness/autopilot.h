// The tests' autopilot through the built-in stages: a route on foot over the loaded stage, the
// buttons that walk player 0 along it, and the last stage's arena played with blasts laid on the
// boss. Test code only: it reads the game through its accessors and plays through the buttons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

namespace velmora_test {

struct RouteNode {
    int area, x, y;  // area and cell
    bool operator==(const RouteNode&) const = default;
};

// The way on foot from player 0's cell, cell by cell across the areas over cells a player on the
// ground can stand on, to an exit that leaves the stage, or (toArea >= 0) to the first cell of
// that area. When only a closed colour gate of the current area stands in the way, the way to
// the switch that opens it instead (plan again once it is stepped on). Empty when there is none.
std::vector<RouteNode> PlanRoute(int toArea = -1);

// The buttons that walk player 0 from where it stands to the next cell of the route (`at` is
// where it was last seen on it): the body is kept inside one cell's band, one axis at a time.
// 0 at the route's end or when the next cell lies in another area.
uint32_t SteerAlong(const std::vector<RouteNode>& route, size_t* at);

// What the arena script saw of the boss and the area guard.
struct ArenaWatch {
    std::set<int32_t> bossStates;
    int32_t lastBossState = -1;
    bool guardDone = false;
    int64_t bossGoneAt = -1;  // the first frame with no boss left
};

// One frame in the last stage's arena: the boss's state noted, and in the play phase blasts on
// its body before its hands come and after its second form appears, on a hand between, every 8
// frames as a player's buried leaves would set them off; once the area guard is lit, the buttons
// that walk player 0 to its light (else 0).
uint32_t PlayArenaFrame(ArenaWatch& watch, int64_t frame);

}  // namespace velmora_test
