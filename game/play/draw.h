// Drawing the play field: every object by its draw kind, the area's tile map with its props,
// shades and fog, the players, and the pictures of the stage objects. All of it queues records
// into the draw list; nothing is drawn at once.
#pragma once

#include <cstdint>

namespace velmora {

// Draw kinds of property 20 with a routine of their own; 128 and up is a sprite word.
inline constexpr int32_t kDrawKindRect = 2;
inline constexpr int32_t kDrawKindSpriteText = 3;
inline constexpr int32_t kDrawKindFontText = 4;
inline constexpr int32_t kDrawKindNumber = 5;
inline constexpr int32_t kDrawKindPaddedNumber = 6;
inline constexpr int32_t kDrawKindTileMap = 7;
inline constexpr int32_t kDrawKindCharacter0 = 8;
inline constexpr int32_t kDrawKindCharacter3 = 11;
inline constexpr int32_t kDrawKindPlayerShot = 12;
inline constexpr int32_t kDrawKindStageObject = 32;  // + stage type
inline constexpr int32_t kFirstSpriteDrawWord = 128;

// Bits of property 25 the draws read.
inline constexpr uint32_t kFlagDepthFromZ = 0x8000;  // z is the depth key, not a height
inline constexpr uint32_t kFlagHeld = 0x800;         // caught, done or open, by type
inline constexpr uint32_t kFlagWarning = 0x80;

// The kind word of the stage editor's master object.
inline constexpr int32_t kEditorMasterKind = 0x20000003;

// Fills the draw-kind rows (1..127) of the object routine table.
void InstallDrawRoutines();

// The walk's drawing hook: draws the current object by its draw kind.
void DrawObject(int32_t drawWord);
// Queues the current object's sprite word; the record, or -1.
int DrawSpriteObject();
// A stage object's colour under the sky, flashing and shaking while hit; x may move.
uint32_t GetObjectTint(int32_t* x, int32_t* y);

// The tile map (the map object's draw) and the editor's view of the map.
void DrawTileMap(int slot);
void DrawEditorMap();

// Props by their table entry i (a cell's editor index less 16).
int32_t GetProp(int32_t* dx, int32_t* dy, int32_t* shadow, int i);  // sprite; 0 outside 0..255
int DrawProp(int x, int y, int i);                                  // record; -1 outside
void DrawPropShadow(int x, int y, int i);

// A stage object of type t drawn outside the walk at (x, y) from the camera's origin (the
// editor and its previews). Borrows the no-object slot and leaves it as it found it.
void DrawStageObjectAt(int x, int y, int layer, int variant, int type);

// A leaf person: head by figure bits 0-3, body by bits 4-5, all white with bit 6.
void DrawLeafFigure(int x, int y, int depth, int layer, int frame, int pose, int figure,
                    uint32_t colour);

}  // namespace velmora
