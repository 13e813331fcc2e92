// The tests' autopilot through the built-in stages: a route on foot over the loaded stage, the
// buttons that walk player 0 along it, the last stage's arena played with blasts laid on the
// boss, and a pilot that plays as a person would (below). Test code only: it reads the game
// through its accessors and plays through the buttons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
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

// A player as a person would play: hurtable, with the lives the game gives. It sees what is on
// the screen: where objects stand and what they look like, and the warnings the game draws (the
// marks on the floor, the hands raised and glowing, the burning rows), read from the frame's draw
// list; never an enemy's timers, life or next move. It walks toward the goal (the stage's exit,
// in the arena the boss and then the guard's light), keeps out of the marked and dangerous
// places, shoots what is in its way with the player's own spread shot, and digs a hole before
// a walker that comes straight at it, then fills it in once the walker is caught. Deterministic:
// the same frames give the same buttons.
struct PilotTally {
    int64_t shots = 0;        // frames SHOT was held with a target in sight
    int dug = 0, filled = 0;  // holes dug and filled in by the pilot
    int buried = 0;           // walkers caught in its holes and buried
    int hurt = 0;             // hits that left the player standing
};

struct PersonPilot {
    PilotTally tally;
    // Memory of what was seen, as a person remembers it between frames.
    struct Seen {
        int32_t x, y, z, vx, vy;
        int32_t facing;  // the way it last walked, -1 before it has moved
        int64_t frame;
    };
    std::map<int, Seen> seen;  // by pool slot, checked against its kind
    std::map<int, int32_t> kinds;
    struct Mark {
        int32_t x, y, r;
        int64_t until;
    };
    std::vector<Mark> marks;  // warnings drawn lately, kept a few frames after they blink off
    std::vector<RouteNode> route;
    int routeArea = -1;
    int64_t frame = 0;
    int32_t lastHp = -1;
    int lastMove = -1;
    int aimSlot = 0;                     // the shot last aimed at
    int32_t escapeX = -1, escapeY = -1;  // the clear place it was running to
    // A hole dug for a walker: where, the way the player faced, and how long it has waited.
    int holeX = -1, holeY = -1, holeFacing = 0;
    int64_t holeSince = 0;
    int holeWalker = 0;
    int64_t subDownAt = -10;
    // Until when a boss sweep seen coming is waited out.
    int64_t sweepUntil = 0;
};

// One frame of play (phase 5 or 6, not paused): the buttons to hold.
uint32_t PlayAsPerson(PersonPilot& pilot);

}  // namespace velmora_test
