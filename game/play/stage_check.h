// A check of a whole stage record for faults that would break play: areas the game cannot
// hold, entries outside their area or on ground a player cannot stand on, exit cells leading
// to areas not in use, and borders walkers could walk across (outside the area nothing stops
// them).
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// Empty when the stage is sound; else the first fault found, naming its area.
std::string CheckStageRecord(const int32_t* record);

}  // namespace velmora
