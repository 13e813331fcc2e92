#include "game/play/stage_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "game/play/stage_file.h"

namespace velmora {
namespace {

// Two 21 by 16 areas walled round, entries on open ground, a doorway from area 0 (exit 0) to
// area 1 and a goal cell that leaves the stage.
std::vector<int32_t> SoundStage() {
    std::vector<int32_t> r(kStageRecordWords, 0);
    for (int a = 0; a < 2; ++a) {
        int32_t* area = r.data() + AreaBase(a);
        area[kAreaWordWidth] = 21;
        area[kAreaWordHeight] = 16;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 21; ++x)
                if (x == 0 || y == 0 || x == 20 || y == 15)
                    area[kAreaHeaderWords + x + y * 21] = kCellBlockGround;
        for (int e = 0; e < kAreaEntryCount; ++e) area[kAreaWordEntries + e] = (2 << 16) | 3;
        for (int k = 0; k < kAreaExitCount; ++k) area[kAreaWordExits + 2 * k] = a;
    }
    int32_t* first = r.data() + AreaBase(0);
    first[kAreaWordExits] = 1;
    first[kAreaWordExits + 1] = 4;
    first[kAreaHeaderWords + 5 + 5 * 21] = (2 << kCellObjectShift) | (1 << kCellVariantShift);
    first[kAreaHeaderWords + 6 + 5 * 21] = (2 << kCellObjectShift) | (9 << kCellVariantShift);
    return r;
}

int32_t& CellOf(std::vector<int32_t>& r, int a, int x, int y) {
    return r[AreaBase(a) + kAreaHeaderWords + x + y * r[AreaBase(a)]];
}

TEST(StageCheck, SoundStagePasses) {
    EXPECT_EQ(CheckStageRecord(SoundStage().data()), "");
}

TEST(StageCheck, EachFaultIsFoundAndNamesItsArea) {
    struct Case {
        const char* what;
        std::function<void(std::vector<int32_t>&)> spoil;
        const char* expect;
    };
    const Case cases[] = {
        {"too narrow", [](auto& r) { r[AreaBase(1)] = 20; }, "area 1: size 20x16"},
        {"too many cells", [](auto& r) { r[AreaBase(1)] = 64, r[AreaBase(1) + 1] = 64; },
         "area 1: size 64x64"},
        {"unused area with a height", [](auto& r) { r[AreaBase(5) + 1] = 300; }, ""},
        {"entry outside", [](auto& r) { r[AreaBase(1) + kAreaWordEntries + 6] = (21 << 16) | 3; },
         "area 1: entry 6 at (21, 3) lies outside"},
        {"entry in a wall", [](auto& r) { CellOf(r, 0, 2, 3) = kCellBlockGround; },
         "area 0: entry 0 at (2, 3) is where no player can stand"},
        {"entry in a hole", [](auto& r) { CellOf(r, 0, 2, 3) = kCellHole; },
         "area 0: entry 0 at (2, 3) is where no player can stand"},
        {"entry on a high wall only", [](auto& r) { CellOf(r, 0, 2, 3) = kCellBlockShot; }, ""},
        {"exit to an unused area", [](auto& r) { r[AreaBase(0) + kAreaWordExits] = 7; },
         "area 0: the exit cell at (5, 5) (exit 0) leads to area 7, which is not in use"},
        {"exit with no number", [](auto& r) { CellOf(r, 0, 5, 5) = 2 << kCellObjectShift; },
         "area 0: the exit cell at (5, 5) has no exit"},
        {"open border", [](auto& r) { CellOf(r, 1, 20, 7) = 0; },
         "area 1: the border at (20, 7) lets walkers out"},
        {"border of shot-only walls", [](auto& r) { CellOf(r, 1, 4, 0) = kCellBlockShot; },
         "area 1: the border at (4, 0) lets walkers out"},
        {"border of high walls", [](auto& r) { CellOf(r, 1, 4, 0) = kCellBlockHigh; }, ""},
        {"no area", [](auto& r) { r[AreaBase(0)] = 0, r[AreaBase(1)] = 0; }, "no area in use"},
    };
    for (const Case& c : cases) {
        std::vector<int32_t> r = SoundStage();
        c.spoil(r);
        const std::string got = CheckStageRecord(r.data());
        if (*c.expect == 0)
            EXPECT_EQ(got, "") << c.what;
        else
            EXPECT_EQ(got.rfind(c.expect, 0), 0u) << c.what << ": " << got;
    }
}

}  // namespace
}  // namespace velmora
