// The pilot that plays as a person: what it sees (objects where they stand and as they look, the
// warnings of the frame's draw list), what it fears, and the buttons it picks each frame by
// trying every way it could move for a few frames against what it has seen.
#include <algorithm>
#include <cmath>
#include <queue>
#include <set>

#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/sprite_ids.h"
#include "game/play/combat.h"
#include "game/play/game_flow.h"
#include "game/play/large_enemies.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"
#include "game/play/stage_devices.h"
#include "game/play/stage_file.h"
#include "game/play/stage_objects.h"
#include "tests/game/harness/autopilot.h"

namespace velmora_test {

using namespace velmora;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kStageClass = 0x30000000;
constexpr int32_t kWalkerKind = kStageClass | kTypeWalker;
constexpr int32_t kKabochaKind = kStageClass | kTypeKabocha;
constexpr int32_t kUfoKind = kStageClass | 10;
constexpr int32_t kBigLeafKind = kStageClass | 12;
constexpr int32_t kStoneKind = kStageClass | kTypeKanameStone;
constexpr int32_t kProjectileKind = kStageClass | kTypeProjectile;
constexpr int32_t kHandKind = kStageClass | kTypeBreakWall;
constexpr int32_t kEventKind = kStageClass | kTypeEventControl;
constexpr int32_t kBlastKind = 0x2000000f;
constexpr int32_t kHandSprite = 0x58a;
constexpr int32_t kEnemyBlastSprite = 936;  // a player's blasts are 944 and spare it
constexpr uint32_t kBurningRowColor = 0xff202060u;
constexpr uint32_t kBlocksPlayer = kCellHole | kCellBlockGround | kCellOccupied | 0x20;
constexpr int kHorizon = 12;
constexpr int kSpeed = 4;  // character 0's walk; one less with SHOT held
constexpr int32_t kShotReach = 150;
constexpr double kBuryOrShoot = 72;         // nearer than this a walker is shot rather than buried
constexpr int32_t kHomingShotScale = 1500;  // the boss's homing shots are drawn this large
constexpr int32_t kSprayShotScale = 2000;   // and the shots it sprays from its body this large

// What a walker of each kind sees (range in px, half-cone in 1/216000 of a turn): the kinds
// are told apart by their look, and how far each looks is learnt by playing.
constexpr int32_t kSightRange[16] = {32,  32,  32,  0,  120, 40,  64,  0,
                                     240, 192, 120, 32, 32,  999, 999, 999};
constexpr int32_t kSightCone[16] = {108000, 108000, 36000, 108000, 27000,  108000, 36000,  0,
                                    36000,  36000,  54000, 2,      216000, 216000, 216000, 216000};

// A place to keep away from: a disc that may move, over frames [from, to] from now; with a cone
// it counts only inside the sector round `facing`.
struct Threat {
    double x, y, vx, vy, r;
    int from, to;
    int32_t facing = -1, cone = 0;
    double ring = 0;  // > 0: only the band r - ring .. r counts
};

struct Band {
    double y0, y1;
};

struct Target {
    double x, y, r;
    int priority;
    int slot = 0;
};

struct View {
    int32_t px = 0, py = 0, facing = 0;  // facing in 24ths of a turn
    int32_t hp = 0;
    std::vector<Threat> threats;
    std::vector<Band> bands;
    std::vector<Target> targets;
    int boss = 0;
    int32_t bossX = 0, bossY = 0;
    int hands[2] = {0, 0};
    bool handGlow = false;
    bool inArena = false;
    int homing = 0;  // homing shots in sight
    int volley = 0;  // shots of a spray from the body in sight
};

bool Alive(int s) {
    return s > 0 && GetField(kPropKind, s) != 0 &&
           !(static_cast<uint32_t>(GetField(kPropFlags, s)) & kFlagDead);
}

template <typename F>
void ForEachObject(F f) {
    int s = GetField(kPropNext, kListHead);
    for (int step = 0; step < kPoolSlots && s > 0 && s != kListTail; ++step) {
        const int next = GetField(kPropNext, s);
        if (s >= kFirstObjectSlot && Alive(s)) f(s);
        s = next;
    }
}

int32_t AngleOf(double dx, double dy) {
    double a = std::atan2(dy, dx) * kAngleTurn / (2 * kPi);
    if (a < 0) a += kAngleTurn;
    return static_cast<int32_t>(a) % kAngleTurn;
}

int32_t AngleGap(int32_t a, int32_t b) {
    int32_t d = std::abs(NormaliseAngle(a - b));
    return std::min(d, kAngleTurn - d);
}

// The ids a warning mark runs through while it is animated.
const std::set<int32_t>& MarkSprites() {
    static const std::set<int32_t> ids = [] {
        std::set<int32_t> out;
        int32_t id = sprite::kTargetMark;
        for (int k = 0; k < 16 && out.insert(id).second; ++k) {
            const int32_t next = GetSpriteNext(id);
            if (next <= 0) break;
            id = next;
        }
        return out;
    }();
    return ids;
}

void AddMark(PersonPilot& pilot, int32_t x, int32_t y, int32_t r, int64_t until);
double Hypot(double x, double y);

// The marks, burning rows and enemy blasts drawn in the frame the player is looking at.
void ReadDrawList(PersonPilot& pilot) {
    int32_t ox = 0, oy = 0;
    WorldToScreen(&ox, &oy);
    const std::set<int32_t>& marks = MarkSprites();
    int list = 0;
    int r = 0;
    for (int step = 0; step < kDrawRecords + kDrawListHeads; ++step) {
        r = GetDrawRecord(r).w[kDrawNext];
        if (r <= 0) break;
        const DrawRecord& rec = GetDrawRecord(r);
        const int32_t kind = rec.w[kDrawKind];
        if (kind == kDrawListHeadKind) {
            list = r;
            if (r == kDrawListHeads - 1) break;
            continue;
        }
        if (kind == 6 && list / 2 == 5 &&
            static_cast<uint32_t>(rec.w[kDrawColor]) == kBurningRowColor) {
            // A burning row: the blasts along it scatter 16 px and reach 16 more.
            const int32_t cy = (rec.w[kDrawY] + rec.w[kDrawY2]) / 2 - oy;
            AddMark(pilot, -1, cy, 52, pilot.frame + 70);
            continue;
        }
        if (kind < 1 || kind > 4 || !marks.count(rec.w[kDrawSprite] & kSpriteIdMask)) continue;
        // A mark on the floor: the stamp's rings are small, a slam's column larger, a target
        // or the stamp's own point largest.
        const int32_t scale = rec.w[kDrawScale];
        // The stamp's own mark: its rings of blasts reach 192 px round it, and 16 more.
        const int32_t radius = scale == 1100 ? 40 : scale == 1200 ? 48 : scale == 2500 ? 236 : 66;
        // Kept while what it warns of can still go off: the stamp lands after its marks go and
        // its rings follow over 20 frames; a target's blasts come as its mark fades.
        const int keep = scale == 1200 ? 8 : scale == 1100 || scale == 2500 ? 50 : 30;
        AddMark(pilot, rec.w[kDrawX] - ox, rec.w[kDrawY] - oy, radius, pilot.frame + keep);
    }
}

double Hypot(double x, double y) {
    return std::sqrt(x * x + y * y);
}

void AddMark(PersonPilot& pilot, int32_t x, int32_t y, int32_t r, int64_t until) {
    for (PersonPilot::Mark& m : pilot.marks)
        if (m.x == x && m.y == y && m.r == r) {
            m.until = std::max(m.until, until);
            return;
        }
    pilot.marks.push_back({x, y, r, until});
}

void Remember(PersonPilot& pilot, int s, int32_t x, int32_t y, int32_t z) {
    const int32_t kind = GetField(kPropKind, s);
    auto k = pilot.kinds.find(s);
    auto it = pilot.seen.find(s);
    if (k == pilot.kinds.end() || k->second != kind || it == pilot.seen.end() ||
        it->second.frame < pilot.frame - 1) {
        pilot.kinds[s] = kind;
        pilot.seen[s] = {x, y, z, 0, 0, -1, pilot.frame};
        return;
    }
    PersonPilot::Seen& m = it->second;
    m.vx = x - m.x;
    m.vy = y - m.y;
    if (m.vx != 0 || m.vy != 0) m.facing = AngleOf(m.vx, m.vy);
    m.x = x, m.y = y, m.z = z, m.frame = pilot.frame;
}

// Everything on the screen the pilot cares about.
View Look(PersonPilot& pilot) {
    View v;
    GetPlayerPosition(0, &v.px, &v.py);
    v.facing = GetPlayerField(0, kPropAngle) % 24;
    v.hp = GetPlayerField(0, kPropHp);
    ReadDrawList(pilot);
    const int32_t level = GetGameVar(kGameVarLevel);
    ForEachObject([&](int s) {
        const int32_t kind = GetField(kPropKind, s);
        const int32_t x = GetField(kPropX, s), y = GetField(kPropY, s), z = GetField(kPropZ, s);
        const uint32_t flags = static_cast<uint32_t>(GetField(kPropFlags, s));
        if (kind == kWalkerKind || kind == kKabochaKind || kind == kProjectileKind ||
            kind == kUfoKind || kind == kBigLeafKind || kind == kHandKind ||
            kind == kBossKindWord) {
            Remember(pilot, s, x, y, z);
        }
        const PersonPilot::Seen* m = pilot.seen.count(s) ? &pilot.seen[s] : nullptr;
        const double vx = m ? m->vx : 0, vy = m ? m->vy : 0;
        if (kind == kWalkerKind || kind == kKabochaKind) {
            const int32_t variant = GetField(kPropVariant, s);
            const int wk = variant & 15, colour = (variant >> 4) & 3;
            const bool caught = (flags & kFlagCaught) != 0;
            if (wk >= 13 || z > 0) {
                // Thrown or falling: it goes off where it lands, seeing everyone.
                v.threats.push_back({double(x), double(y), vx, vy, 64, 0, kHorizon});
            } else if (caught) {
                v.threats.push_back({double(x), double(y), 0, 0, 38, 0, kHorizon});
            } else {
                const int32_t range = kSightRange[wk];
                if (range < 40) {
                    v.threats.push_back({double(x), double(y), vx, vy, range + 14.0, 0, kHorizon});
                } else {
                    v.threats.push_back({double(x), double(y), vx, vy, 48, 0, kHorizon});
                    Threat t{double(x), double(y), vx, vy, range + 16.0, 0, kHorizon};
                    t.facing = m ? m->facing : -1;
                    t.cone = t.facing < 0 ? 0 : kSightCone[wk] + 18000;
                    v.threats.push_back(t);
                }
                // Plain walkers are left to walk into a hole unless they come close; metal
                // ones shrug off shots.
                const bool buriable = wk <= 2 && colour != 3;
                if (colour != 2 && wk < 12 &&
                    (!buriable || Hypot(x - v.px, y - v.py) < kBuryOrShoot))
                    v.targets.push_back({double(x), double(y - 8), 24, 2});
            }
        } else if (kind == kUfoKind) {
            if (z > 16) v.threats.push_back({double(x), double(y + 24), vx, vy, 60, 0, kHorizon});
        } else if (kind == kBigLeafKind) {
            v.threats.push_back({double(x), double(y), vx, vy, 84, 0, kHorizon});
        } else if (kind == kStoneKind) {
            v.threats.push_back({double(x), double(y), 0, 0, 40.0 + level / 2, 0, kHorizon});
        } else if (kind == kProjectileKind) {
            const double r = GetField(kPropRadius, s) + 18.0;
            if (GetField(kPropScale, s) == kHomingShotScale) {
                // A homing shot turns after the player whichever way it steps: it is met head
                // on and shot down, and only stepped from at the last moment.
                v.threats.push_back({double(x), double(y), vx, vy, r - 8, 0, 3});
                v.targets.push_back({double(x), double(y), double(GetField(kPropRadius, s)), 5, s});
                v.homing += 1;
            } else {
                v.threats.push_back({double(x), double(y), vx, vy, r, 0, kHorizon});
                v.targets.push_back({double(x), double(y), double(GetField(kPropRadius, s)), 4});
                if (GetField(kPropScale, s) == kSprayShotScale) v.volley += 1;
            }
        } else if (kind == kBlastKind && !(flags & kFlagNotDrawn) &&
                   GetField(kPropDrawWord, s) == kEnemyBlastSprite) {
            // A blast going off now; a second pass may follow round it.
            v.threats.push_back({double(x), double(y), 0, 0, 38, 0, 16});
            AddMark(pilot, x, y, 56, pilot.frame + 10);
        } else if (kind == kHandKind && GetField(kPropDrawWord, s) == kHandSprite) {
            if (!(flags & kFlagNotDrawn)) {
                // A satellite: it goes off when a player comes near.
                v.threats.push_back({double(x), double(y), vx, vy, 76, 0, kHorizon});
                v.targets.push_back({double(x), double(y), 32, 3});
            }
        } else if (kind == kBossKindWord) {
            v.boss = s;
            v.bossX = x;
            v.bossY = TargetPointY(s);
            v.inArena = true;
            for (int i = 0; i < 2; ++i) {
                const int hand = GetChild(s, i);
                if (hand > 0 &&
                    (static_cast<uint32_t>(GetField(kPropFlags, hand)) & kFlagNotDrawn)) {
                    v.hands[i] = hand;
                    // A hand about to strike glows red.
                    if ((static_cast<uint32_t>(GetField(kPropColor, hand)) & 0xffff0000u) ==
                        0xff500000u)
                        v.handGlow = true;
                }
            }
        }
    });
    // Warnings drawn lately count until they have been gone a few frames.
    pilot.marks.erase(
        std::remove_if(pilot.marks.begin(), pilot.marks.end(),
                       [&](const PersonPilot::Mark& m) { return m.until < pilot.frame; }),
        pilot.marks.end());
    for (const PersonPilot::Mark& m : pilot.marks) {
        if (m.x < 0)
            v.bands.push_back({double(m.y - m.r), double(m.y + m.r)});
        else
            v.threats.push_back({double(m.x), double(m.y), 0, 0, double(m.r), 0, kHorizon});
    }
    return v;
}

double DangerAt(const View& v, double x, double y, int k) {
    double d = 0;
    for (const Threat& t : v.threats) {
        if (k < t.from || k > t.to) continue;
        const double tx = t.x + t.vx * k, ty = t.y + t.vy * k;
        const double dist = Hypot(x - tx, y - ty);
        if (dist >= t.r) continue;
        if (t.cone > 0 && dist > 48 && AngleGap(AngleOf(x - tx, y - ty), t.facing) > t.cone)
            continue;
        d += 1 + (t.r - dist) / t.r;
    }
    for (const Band& b : v.bands)
        if (y + 16 > b.y0 && y - 4 < b.y1) d += 1 + 0.5;
    return d;
}

bool BlockedAt(int32_t x, int32_t y) {
    for (auto [dx, dy] : {std::pair{-12, -4}, {-12, 16}, {12, -4}, {12, 16}})
        if (static_cast<uint32_t>(GetCellAtPixel(x + dx, y + dy)) & kBlocksPlayer) return true;
    return false;
}

constexpr int kStepX[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int kStepY[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr uint32_t kDirButtons[8] = {
    kButtonRight, kButtonRight | kButtonDown, kButtonDown, kButtonLeft | kButtonDown,
    kButtonLeft,  kButtonLeft | kButtonUp,    kButtonUp,   kButtonRight | kButtonUp};

void Step(int dir, int speed, int32_t* x, int32_t* y) {
    int32_t mx = kStepX[dir] * speed, my = kStepY[dir] * speed;
    if (kStepX[dir] != 0 && kStepY[dir] != 0)
        mx = kStepX[dir] * (speed - 1), my = kStepY[dir] * (speed - 1);
    if (!BlockedAt(*x + mx, *y + my)) {
        *x += mx, *y += my;
    } else if (mx != 0 && !BlockedAt(*x + mx, *y)) {
        *x += mx;
    } else if (my != 0 && !BlockedAt(*x, *y + my)) {
        *y += my;
    }
}

// How far a point is from the goal on foot: cells to the goal times 32 from the best cell near
// the point, plus the way to that cell's centre.
struct GoalField {
    int w = 0, h = 0;
    std::vector<int> d;
    bool point = false;
    double gx = 0, gy = 0;
    double At(double x, double y) const {
        if (point) return Hypot(x - gx, y - gy);
        const int cx = (static_cast<int>(x) + 16) / 32, cy = (static_cast<int>(y) + 16) / 32;
        double best = 1e9;
        for (int j = -1; j <= 1; ++j)
            for (int i = -1; i <= 1; ++i) {
                const int nx = cx + i, ny = cy + j;
                if (nx < 0 || ny < 0 || nx >= w || ny >= h || d[nx + ny * w] < 0) continue;
                best = std::min(best, d[nx + ny * w] * 32.0 + Hypot(x - 32 * nx, y - 32 * ny));
            }
        return best;
    }
};

GoalField FieldToCell(int gx, int gy) {
    GoalField f;
    const StageRecord& r = GetStageRecord();
    const int area = GetCurrentArea();
    f.w = r.words[AreaBase(area)];
    f.h = r.words[AreaBase(area) + 1];
    f.d.assign(static_cast<size_t>(f.w) * f.h, -1);
    if (gx < 0 || gy < 0 || gx >= f.w || gy >= f.h) return f;
    std::queue<int> todo;
    f.d[gx + gy * f.w] = 0;
    todo.push(gx + gy * f.w);
    while (!todo.empty()) {
        const int c = todo.front();
        todo.pop();
        for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
            const int nx = c % f.w + dx, ny = c / f.w + dy;
            if (nx < 0 || ny < 0 || nx >= f.w || ny >= f.h || f.d[nx + ny * f.w] >= 0) continue;
            if (static_cast<uint32_t>(GetCell(nx, ny)) & (kCellBlockGround | 0x20)) continue;
            f.d[nx + ny * f.w] = f.d[c] + 1;
            todo.push(nx + ny * f.w);
        }
    }
    return f;
}

GoalField FieldToPoint(double x, double y) {
    GoalField f;
    f.point = true;
    f.gx = x, f.gy = y;
    return f;
}

// Where the pilot means to be: along the route in a stage, and in the arena beside the boss.
GoalField ChooseGoal(PersonPilot& pilot, const View& v, int32_t* aimFacing) {
    *aimFacing = -1;
    if (v.inArena && v.boss > 0) {
        const bool handsOn = v.hands[0] > 0 || v.hands[1] > 0;
        if (v.volley >= 3) {
            // A spray of shots from the body: as far from it as the floor goes.
            return FieldToPoint(v.bossX >= 320 ? 64 : 576, 440);
        }
        if (handsOn) {
            // Under the nearer hand, close enough for the spread to reach it and high enough
            // that slams and burning rows fall below; while a sweep comes, above where its
            // shots start.
            int hand = v.hands[0];
            if (v.hands[1] > 0 && (hand < 1 || std::abs(GetField(kPropX, v.hands[1]) - v.px) <
                                                   std::abs(GetField(kPropX, hand) - v.px)))
                hand = v.hands[1];
            if (pilot.sweepUntil > pilot.frame) return FieldToPoint(v.px, 56);
            return FieldToPoint(std::clamp(GetField(kPropX, hand), 48, 592), 176);
        }
        if (v.bossY > 200) {
            // Low and drifting: below it and to one side, shooting up at it. Its homing shots
            // leave upward and come round one after another; its stamp is marked long before
            // it lands, and from the side the way out of its rings is short.
            const int side = v.px >= v.bossX ? 1 : -1;
            int32_t gx = v.bossX + 130 * side;
            if (gx < 64 || gx > 576) gx = v.bossX - 130 * side;
            return FieldToPoint(std::clamp(gx, 64, 576), 436);
        }
        return FieldToPoint(std::clamp(v.bossX, 64, 576), std::clamp(v.bossY + 150, 200, 300));
    }
    if (v.inArena || GetCurrentArea() != pilot.routeArea || pilot.route.empty() ||
        pilot.frame % 120 == 0) {
        // The arena's guard once the boss is gone, else the way to the stage's goal.
        int guard = 0;
        ForEachObject([&](int s) {
            if (GetField(kPropKind, s) == kEventKind && (GetField(kPropVariant, s) & 7) == 1)
                guard = s;
        });
        if (guard > 0 && GetGameVar(kGameVarStage) == 4 && GetCurrentArea() == 1)
            return FieldToPoint(GetField(kPropX, guard), GetField(kPropY, guard));
        pilot.route = PlanRoute(GetGameVar(kGameVarStage) == 4 && GetCurrentArea() == 0 ? 1 : -1);
        pilot.routeArea = GetCurrentArea();
    }
    int gx = -1, gy = -1;
    for (const RouteNode& n : pilot.route)
        if (n.area == GetCurrentArea()) gx = n.x, gy = n.y;
    // An item worth having lying in sight a few steps off the way is picked up first.
    const GoalField here = FieldToCell((v.px + 16) / 32, (v.py + 16) / 32);
    int best = 11;
    ForEachObject([&](int s) {
        if (GetField(kPropKind, s) != (kStageClass | kTypeFieldItem)) return;
        const int32_t variant = GetField(kPropVariant, s);
        const int itemKind = variant & 63;
        static constexpr bool kWanted[16] = {true, true,  true, true,  false, false, true,  true,
                                             true, false, true, false, false, false, false, false};
        if ((variant & 64) || itemKind >= 16 || !kWanted[itemKind]) return;
        const int cx = (GetField(kPropX, s) + 16) / 32, cy = (GetField(kPropY, s) + 16) / 32;
        if (cx < 0 || cy < 0 || cx >= here.w || cy >= here.h) return;
        const int d = here.d[cx + cy * here.w];
        if (d >= 0 && d < best) best = d, gx = cx, gy = cy;
    });
    // The way on leaves this area: its last cell here is the exit into the next.
    return FieldToCell(gx, gy);
}

}  // namespace

uint32_t PlayAsPerson(PersonPilot& pilot) {
    pilot.frame += 1;
    View v = Look(pilot);
    if (pilot.lastHp >= 0 && v.hp < pilot.lastHp && v.hp > 0) pilot.tally.hurt += 1;
    pilot.lastHp = v.hp;

    // The boss's arms flung out wide and not glowing: it is about to rush across the player's
    // side, scattering shots below it. Wait above where they start until they are gone.
    if (v.boss > 0 && v.hands[0] > 0 && v.hands[1] > 0 && !v.handGlow &&
        pilot.sweepUntil <= pilot.frame) {
        const int32_t x0 = GetField(kPropX, v.hands[0]), x1 = GetField(kPropX, v.hands[1]);
        if (v.bossX - x0 > 340 && x1 - v.bossX > 340) pilot.sweepUntil = pilot.frame + 170;
    }

    int32_t aim = -1;
    GoalField goal = ChooseGoal(pilot, v, &aim);

    // A target for the spread shot: the most pressing one within reach.
    if (v.boss > 0) {
        if (v.hands[0] > 0 || v.hands[1] > 0) {
            for (int i = 0; i < 2; ++i)
                if (v.hands[i] > 0)
                    v.targets.push_back({double(GetField(kPropX, v.hands[i])),
                                         double(GetField(kPropY, v.hands[i])), 32, 1});
        } else {
            v.targets.push_back({double(v.bossX), double(v.bossY), 80, 1});
        }
    }
    auto reach = [](const Target& t) { return kShotReach + t.r + (t.priority >= 3 ? 40 : 0); };
    const Target* target = nullptr;
    double targetDist = 0;
    for (const Target& t : v.targets) {
        const double d = Hypot(t.x - v.px, t.y - v.py);
        if (d > reach(t)) continue;
        // The one aimed at last frame is kept unless another is much nearer.
        const double keep = t.slot != 0 && t.slot == pilot.aimSlot ? 0.7 : 1.0;
        if (!target || t.priority > target->priority ||
            (t.priority == target->priority && d * keep < targetDist))
            target = &t, targetDist = d * keep;
    }
    pilot.aimSlot = target ? target->slot : 0;
    const bool urgent = target && target->priority >= 3;
    int wantFacing = -1;
    if (target) {
        // Shots and satellites are met head on, aimed to a 24th of a turn; the rest within the
        // spread's eighth.
        const int32_t a = AngleOf(target->x - v.px, target->y - v.py);
        wantFacing = target->priority >= 3 ? static_cast<int>((a + 4500) / 9000) % 24
                                           : (static_cast<int>((a + 13500) / 27000) % 8) * 3;
    }
    // Whether the spread, as the player faces now, would meet anything worth a shot.
    bool holdFire = false;  // while a hole waits for its walker

    // Digging for a walker: a hole dug before one that comes straight at the player.
    const int32_t facing = v.facing;
    const bool cardinal = facing % 6 == 0;
    const int fdx = facing == 0 ? 1 : facing == 12 ? -1 : 0;
    const int fdy = facing == 6 ? 1 : facing == 18 ? -1 : 0;
    const int32_t frontX = v.px + 32 * fdx, frontY = v.py + 8 + 32 * fdy;
    const int frontCx = (frontX + 16) / 32, frontCy = (frontY + 16) / 32;
    uint32_t subaction = 0;
    if (pilot.holeX >= 0) {
        const uint32_t cell = static_cast<uint32_t>(GetCell(pilot.holeX, pilot.holeY));
        int caught = 0;
        ForEachObject([&](int s) {
            const int32_t k = GetField(kPropKind, s);
            if ((k == kWalkerKind || k == kKabochaKind) &&
                (static_cast<uint32_t>(GetField(kPropFlags, s)) & kFlagCaught) &&
                (GetField(kPropX, s) + 16) / 32 == pilot.holeX &&
                (GetField(kPropY, s) + 16) / 32 == pilot.holeY)
                caught = s;
        });
        if (pilot.holeWalker > 0 && !caught && !Alive(pilot.holeWalker)) {
            pilot.tally.buried += 1;
            pilot.holeX = -1;
        } else if (!(cell & kCellHole) && !caught && pilot.frame - pilot.holeSince > 16) {
            pilot.holeX = -1;  // filled in by something else, or never opened
        } else if (!caught && pilot.frame - pilot.holeSince > 240) {
            pilot.holeX = -1;  // it went another way
        } else if (caught && frontCx == pilot.holeX && frontCy == pilot.holeY &&
                   Hypot(GetField(kPropX, caught) - v.px, GetField(kPropY, caught) - v.py) >= 34 &&
                   pilot.frame - pilot.subDownAt > 2 && GetPlayerField(0, kPropActionTimer) < 1) {
            subaction = kButtonSubAction;
            pilot.subDownAt = pilot.frame;
            pilot.holeWalker = caught;
            pilot.tally.filled += 1;
        }
        if (pilot.holeX >= 0) {
            // Wait where the hole is the cell in front and a held walker cannot see.
            const int hx = 32 * pilot.holeX, hy = 32 * pilot.holeY;
            const int hf = pilot.holeFacing;
            const double wx = hf == 0 ? hx - 40 : hf == 12 ? hx + 40 : hx;
            const double wy = hf == 6 ? hy - 40 : hf == 18 ? hy + 36 : hy - 6;
            goal = FieldToPoint(wx, wy);
            wantFacing = hf;
            target = nullptr;
            holdFire = true;
        }
    } else if (!v.inArena && cardinal && GetPlayerField(0, kPropActionTimer) < 1 &&
               GetPlayerField(0, kPropPlayerAction) == 0 &&
               !(static_cast<uint32_t>(GetCellAtPixel(frontX, frontY)) & 0x80000036u) &&
               DangerAt(v, v.px, v.py, 0) == 0) {
        ForEachObject([&](int s) {
            if (pilot.holeX >= 0) return;
            const int32_t k = GetField(kPropKind, s);
            const int32_t variant = GetField(kPropVariant, s);
            if (k != kWalkerKind || (variant & 15) > 2 || ((variant >> 4) & 3) == 3 ||
                GetField(kPropZ, s) != 0 ||
                (static_cast<uint32_t>(GetField(kPropFlags, s)) & kFlagCaught) ||
                !pilot.seen.count(s))
                return;
            const PersonPilot::Seen& m = pilot.seen[s];
            const int32_t wx = GetField(kPropX, s), wy = GetField(kPropY, s);
            // In the lane of the cell in front, walking toward it, a little way off.
            const bool lane = fdx != 0 ? std::abs(wy - 32 * frontCy) <= 2 && m.vy == 0 &&
                                             m.vx * fdx < 0 && (wx - 32 * frontCx) * fdx > 0
                                       : std::abs(wx - 32 * frontCx) <= 2 && m.vx == 0 &&
                                             m.vy * fdy < 0 && (wy - 32 * frontCy) * fdy > 0;
            const int32_t gap = std::abs(wx - 32 * frontCx) + std::abs(wy - 32 * frontCy);
            if (!lane || gap < 24 || gap > 96) return;
            subaction = kButtonSubAction;
            pilot.subDownAt = pilot.frame;
            pilot.holeX = frontCx, pilot.holeY = frontCy, pilot.holeFacing = facing;
            pilot.holeSince = pilot.frame;
            pilot.holeWalker = 0;
            pilot.tally.dug += 1;
        });
    }
    if (subaction) {
        pilot.lastMove = -1;
        return subaction;
    }

    // Standing where something is about to go off: the nearest place clear of it becomes the
    // goal, however far, so the way out is one steady run and not a shuffle inside it.
    double dangerWeight = 4000;
    bool escaping = false;
    if (DangerAt(v, v.px, v.py, 0) > 0 || DangerAt(v, v.px, v.py, 4) > 0) {
        double bestD = 1e9;
        double sx = v.px, sy = v.py;
        // The place chosen last frame is kept while it stays clear.
        if (pilot.escapeX >= 0 && !BlockedAt(pilot.escapeX, pilot.escapeY) &&
            DangerAt(v, pilot.escapeX, pilot.escapeY, kHorizon) == 0 &&
            DangerAt(v, pilot.escapeX, pilot.escapeY, 0) == 0)
            bestD = Hypot(pilot.escapeX - v.px, pilot.escapeY - v.py) * 0.8, sx = pilot.escapeX,
            sy = pilot.escapeY;
        for (int dy = -288; dy <= 288; dy += 16)
            for (int dx = -288; dx <= 288; dx += 16) {
                const double d = Hypot(dx, dy);
                if (d >= bestD || d > 288) continue;
                const int32_t x = v.px + dx, y = v.py + dy;
                if (BlockedAt(x, y)) continue;
                const int k = std::min<int>(kHorizon, static_cast<int>(d / 4));
                if (DangerAt(v, x, y, k) > 0 || DangerAt(v, x, y, kHorizon) > 0) continue;
                bestD = d, sx = x, sy = y;
            }
        if (bestD < 1e9) {
            goal = FieldToPoint(sx, sy);
            dangerWeight = 5;
            escaping = true;
            pilot.escapeX = static_cast<int32_t>(sx), pilot.escapeY = static_cast<int32_t>(sy);
        }
    } else {
        pilot.escapeX = -1;
    }

    // Every way to move for the next frames, each scored by the danger met on the way, how far
    // it leaves the player from where it means to be and how far off its aim it leaves it: a
    // step with DIRECTION held keeps the facing, one without turns it toward the step (a
    // quarter turn a frame, or a 24th with SHOT held).
    auto linedAt = [&](int32_t f) {
        if (holdFire) return false;
        for (const Target& t : v.targets)
            if (Hypot(t.x - v.px, t.y - v.py) <= reach(t) &&
                AngleGap(AngleOf(t.x - v.px, t.y - v.py), f * 9000) <= 15000)
                return true;
        return false;
    };
    const double goalWeight = urgent && v.inArena ? 0.2 : 1.0;
    double best = 1e18;
    uint32_t bestButtons = 0;
    int bestMove = -1;
    enum Mode { kStrafe, kTurnFast, kTurnSlow };
    for (int move = -1; move < 8; ++move) {
        for (int mode = kStrafe; mode <= kTurnSlow; ++mode) {
            if (move < 0 && mode != kStrafe) continue;
            int32_t newFacing = facing;
            if (mode != kStrafe) {
                int d = ((move * 3 - facing) % 24 + 24) % 24;
                if (d > 12) d -= 24;
                const int limit = mode == kTurnSlow ? 1 : 6;
                newFacing = ((facing + std::clamp(d, -limit, limit)) % 24 + 24) % 24;
            }
            const bool shot =
                mode == kTurnFast || (escaping && !urgent) ? false : linedAt(newFacing);
            const int speed = shot ? kSpeed - 1 : kSpeed;
            int32_t x = v.px, y = v.py;
            double danger = 0;
            // The nearest the way comes to the goal: a step past it is no better.
            double toGoal = goal.At(x, y);
            for (int k = 1; k <= kHorizon; ++k) {
                if (move >= 0) Step(move, speed, &x, &y);
                danger += DangerAt(v, x, y, k) * (k <= 4 ? 2.0 : 1.0);
                toGoal = std::min(toGoal, goal.At(x, y) + 0.1 * k);
            }
            double score = danger * dangerWeight + toGoal * goalWeight;
            if (wantFacing >= 0) {
                int gap = std::abs(newFacing - wantFacing);
                gap = std::min(gap, 24 - gap);
                score += gap * (target && target->priority >= 5 ? 3000 : urgent ? 200 : 20);
            }
            if (shot) score -= urgent ? 100 : 10;
            if (move != pilot.lastMove) score += 2;
            if (score < best) {
                best = score;
                bestMove = move;
                bestButtons = move < 0 ? 0 : kDirButtons[move];
                if (move >= 0 && mode == kStrafe) bestButtons |= kButtonDirection;
                if (shot) bestButtons |= kButtonShot;
            }
        }
    }
    pilot.lastMove = bestMove;
    uint32_t buttons = bestButtons;
    if (buttons & kButtonShot) pilot.tally.shots += 1;
    // DIRECTION alone would pull the player to its cell's centre; without a move it is let go.
    if ((buttons & 15) == 0) buttons &= ~kButtonDirection;
    return buttons;
}

}  // namespace velmora_test
