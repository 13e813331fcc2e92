// The stage objects' class routine and the walkers: the leaf people with their sight, the
// kabocha, holes that catch them and the buried leaves that burials leave.
#pragma once

#include <cstdint>

namespace velmora {

// Stage-object types the walkers' side owns.
inline constexpr int kTypeBuriedLeaf = 6;

// Walker rows: sight range (px), attack, alert delay (frames; positive also pops up an icon on
// first sight) and the half-width of the view cone (angle), by kind (variant & 15).
inline constexpr int kWalkerKinds = 16;
extern const int32_t WalkerKindTable[kWalkerKinds][4];

inline constexpr uint32_t kFlagFillsHoles = 0x200;  // a fat leaf fills a hole instead of falling in
inline constexpr uint32_t kFlagCaught = 0x800;      // a walker held in a hole

// The step every walker (leaf people and kabocha) takes each frame: its first-frame set-up,
// walking, height, holes (caught, buried, climbing out) and sight.
void StepWalker(int slot);
// Whether the walker sees a hittable player (kinds above 12 always do); on sight it counts its
// alert up, takes the player as its target and may pop up an icon.
bool CheckWalkerSight(int slot);
void UpdateLeafPeople(int slot);
void UpdateKabocha(int slot);
void UpdateBuriedLeaf(int slot);

// Class 3's routine: runs the row of the object's type (128 + type of the routine table; a
// type of 96 or more marks it dead), counts the hit flash down and kills an object out of hit
// points unless it is flagged to outlive 0.
void UpdateStageObject(int slot);

// Sets class 3's routine to UpdateStageObject, class 4's to UpdateProjectile, and fills the
// walkers' own type rows. Other stage types fill their rows from their own installers.
void InstallStageObjectRoutines();

}  // namespace velmora
