// The built-in stages the builder makes, for the builder and its tests.
#pragma once

#include <cstdint>
#include <vector>

namespace databuild {

inline constexpr int kBuiltInStageCount = 5;
inline constexpr int kGoalTile = 55;   // stepping on an exit with this tile clears the stage
inline constexpr int kDoorTile = 240;  // the glowing floor: a way to another area

// The stage records from the text layouts. False with a message naming the stage on a mistake.
bool BuildBuiltInStages(std::vector<std::vector<int32_t>>* records);

}  // namespace databuild
