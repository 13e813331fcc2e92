// The stage objects' class routine and the walkers: the leaf people with their sight, the
// kabocha, holes that catch them and the buried leaves that burials leave.
#pragma once

#include <cstdint>

namespace velmora {

// Stage-object types the walkers' side owns.
inline constexpr int kTypeBuriedLeaf = 6;

// Class 3's routine: runs the row of the object's type (128 + type of the routine table; a
// type of 96 or more marks it dead), counts the hit flash down and kills an object out of hit
// points unless it is flagged to outlive 0.
void UpdateStageObject(int slot);

// Sets class 3's routine to UpdateStageObject, class 4's to UpdateProjectile, and fills the
// walkers' own type rows. Other stage types fill their rows from their own installers.
void InstallStageObjectRoutines();

}  // namespace velmora
