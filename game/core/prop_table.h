// The props that stand on map cells (trees, rocks, lamps...): the table the map draws them by
// and what each prop sprite shows, in one place for the game and the data builder's art.
#pragma once

#include <cstdint>

namespace velmora {

// Entry i is the prop of a map cell whose editor object index is 16 + i.
inline constexpr int kPropEntries = 256;
struct PropEntry {
    int32_t sprite;  // 0: no prop
    int32_t dx, dy;  // where the sprite's centre sits from the cell's centre
    int32_t shadow;  // shadow kind (low 24 bits): a rectangle, a shadow sprite or none
};
const PropEntry* GetPropTable();

// What a prop sprite shows; the art paints it and the layout sizes it.
enum class PropArt : int {
    kTree,
    kTallTree,
    kPine,
    kBoulder,
    kStump,
    kBush,
    kFlowerBush,
    kLamp,
    kBarrel,
    kSign,
    kMushroom,
    kMarker,
    kLogPile,
    kFlowerPatch,
    kPot,
    kStatue,
    kCrate,
    kPebbles,
    kReeds,
    kWell,
    kNoProp,  // entry 0, the editor's first prop, which paints no prop: a "none" sign
    kCount,
};
inline constexpr int32_t kFirstPropSprite = 3136;
inline constexpr int kPropSprites = 128;
// The art of prop sprite `id` (kFirstPropSprite ..), and its picture's size.
PropArt GetPropArt(int32_t id);
void GetPropArtSize(PropArt art, int* width, int* height);
// How far above the cell's centre the sprite's centre sits (the table's y offset).
int32_t GetPropLift(int32_t id);

}  // namespace velmora
