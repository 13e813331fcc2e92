#include "game/play/stage_check.h"

#include "game/play/stage_file.h"

namespace velmora {
namespace {

// The editor object index of an exit; its variant is the exit number plus one, and exit
// numbers of 8 or more leave the stage.
constexpr uint32_t kExitObject = 2;
constexpr uint32_t kPlayerBlocked = kCellHole | kCellBlockGround;
constexpr uint32_t kWalkerBlocked = kCellBlockGround | kCellBlockHigh;

std::string AreaName(int area) {
    return "area " + std::to_string(area);
}

std::string At(int x, int y) {
    return " at (" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

bool InUse(const int32_t* record, int area) {
    return record[AreaBase(area) + kAreaWordWidth] != 0;
}

uint32_t Cell(const int32_t* record, int area, int x, int y) {
    const int32_t* a = record + AreaBase(area);
    return static_cast<uint32_t>(a[kAreaHeaderWords + x + y * a[kAreaWordWidth]]);
}

// Empty when entry `entry` of `area` lies inside it on ground a player can stand on.
std::string CheckEntry(const int32_t* record, int area, int entry) {
    const int32_t* a = record + AreaBase(area);
    const uint32_t word = static_cast<uint32_t>(a[kAreaWordEntries + entry]);
    const int x = static_cast<int>(word >> 16), y = static_cast<int>(word & 0xffffu);
    const std::string name = AreaName(area) + ": entry " + std::to_string(entry) + At(x, y);
    if (x >= a[kAreaWordWidth] || y >= a[kAreaWordHeight]) return name + " lies outside the area";
    if (Cell(record, area, x, y) & kPlayerBlocked) return name + " is where no player can stand";
    return {};
}

}  // namespace

std::string CheckStageRecord(const int32_t* record) {
    bool any = false;
    for (int area = 0; area < kStageAreaCount; ++area) {
        const int32_t* a = record + AreaBase(area);
        const int w = a[kAreaWordWidth], h = a[kAreaWordHeight];
        if (!IsValidAreaSize(w, h))
            return AreaName(area) + ": size " + std::to_string(w) + "x" + std::to_string(h) +
                   " cannot be held (21..255 by 16..255, below 4096 cells)";
        if (w == 0) continue;
        any = true;
        for (int e = 0; e < kAreaEntryCount; ++e) {
            const std::string fault = CheckEntry(record, area, e);
            if (!fault.empty()) return fault;
        }
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const uint32_t cell = Cell(record, area, x, y);
                const bool border = x == 0 || y == 0 || x == w - 1 || y == h - 1;
                if (border && !(cell & kWalkerBlocked))
                    return AreaName(area) + ": the border" + At(x, y) + " lets walkers out";
                if (((cell >> kCellObjectShift) & 0xffu) != kExitObject || (cell & kCellSpawn))
                    continue;
                const int exit = static_cast<int>((cell >> kCellVariantShift) & 0x7fu) - 1;
                if (exit >= kAreaExitCount) continue;  // leaves the stage
                if (exit < 0) return AreaName(area) + ": the exit cell" + At(x, y) + " has no exit";
                const int to = a[kAreaWordExits + 2 * exit];
                const int entry = a[kAreaWordExits + 2 * exit + 1];
                const std::string name = AreaName(area) + ": the exit cell" + At(x, y) + " (exit " +
                                         std::to_string(exit);
                if (to < 0 || to >= kStageAreaCount || !InUse(record, to))
                    return name + ") leads to area " + std::to_string(to) + ", which is not in use";
                if (entry < 0 || entry >= kAreaEntryCount)
                    return name + ") leads to entry " + std::to_string(entry) +
                           ", which no area has";
            }
        }
    }
    if (!any) return "no area in use";
    return {};
}

}  // namespace velmora
