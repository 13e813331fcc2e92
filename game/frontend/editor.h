// The stage editor: a master object of its own type that edits the stage record with the mouse,
// nineteen palette buttons, the map pens, the full-screen panels (area header, user stage slots,
// area map, quitting) with their confirmation box, and the user stage slot list.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr int32_t kPaletteButtonKind = 0x20000004;
inline constexpr int kUserStageSlots = 128;
inline constexpr int kSlotsPerPage = 16;

// The editor master (layer 24, kept across frees) with the map object and a blank stage; shows
// the mouse cursor. The master's slot, or -1 when the pool is full.
int CreateEditorMaster();
// The editor scene: the master, area 0 made and the camera centred on it. The master's slot or
// -1.
int OpenStageEditor();

// Object routines of the editor master and of the palette buttons.
void UpdateStageEditor(int slot);
void UpdatePaletteButton(int slot);
void InstallEditorRoutines();

// The mouse buttons (bit 0 left, bit 1 right) and the mouse position clamped to the screen.
int GetEditorMouse(int* x, int* y);

// The slot page shown: 20 arrays of 16 words (0 slot + 1 or 0 for no file, 1 version, 2 save
// date, 3 file length, 6 area bits; the rest stay 0).
extern int32_t UserStageSlotTable[20][kSlotsPerPage];
int ScanStageSlots(int page);
// Draws and runs the "ARE YOU SURE?" box; the answer moves the command state (game variable 40).
void DrawConfirmBox(int x, int y);
void CentreCameraOnArea();

}  // namespace velmora
