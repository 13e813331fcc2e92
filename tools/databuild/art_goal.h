// The picture of a stage's goal tile, painted among the tiles of the art producer.
#pragma once

#include "tools/databuild/canvas.h"

namespace databuild {

// A golden arch over a paved ring, so a player sees where a stage ends (32 x 32).
void PaintGoalTile(const View& v);

}  // namespace databuild
