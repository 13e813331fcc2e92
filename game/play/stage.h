// The stage in memory: one record of a 32-word header and twelve areas, the current area with
// its cached size, every cell accessor the game plays on, the editor's undo copy, and the stage
// files (user stages in "userdata", built-in ones in "dat\velm4").
#pragma once

#include <cstdint>

#include "game/play/stage_file.h"

namespace velmora {

struct StageRecord {
    int32_t words[kStageRecordWords];
};

// A cell read outside the current area.
inline constexpr int32_t kOutsideCell = 0x800020;

StageRecord& GetStageRecord();
StageRecord& GetStageUndo();

// Area and header words; getters answer -1 out of range, setters ignore it.
int32_t GetAreaWord(int n);
int32_t GetAreaWordOf(int area, int n);
void SetAreaWord(int n, int32_t value);
void SetAreaWordOf(int area, int n, int32_t value);
int32_t GetStageWord(int n);
void SetStageWord(int n, int32_t value);

// Makes area n (0..11) current and caches its size; returns n, or -1 leaving everything alone.
int SelectArea(int n);
int GetCurrentArea();
void GetAreaSize(int* width, int* height);
// Caches the current area's size from its words 0 and 1; a size the area cannot hold is cached
// as 0 by 0, so every cell reads as outside.
void ReloadAreaSize();

// Cells by cell coordinates.
int32_t GetCell(int x, int y);
void SetCell(int x, int y, int32_t value);
void OrCell(int x, int y, int32_t bits);
void ClearCellBits(int x, int y, int32_t bits);
void GetCellBlock(int x, int y, int w, int h, int32_t* out);

// Moves a point by dist pixels in direction dir: 1 +x, 2 +y, 3 -x, 4 -y, anything else not at
// all.
void MovePoint(int* px, int* py, int dir, int dist);
// The pixel coordinate of the centre of the cell holding coordinate v.
int32_t CellCentre(int32_t v);

// Cells by pixel: cell ((px + 16) / 32, (py + 16) / 32), truncated toward zero. dir moves the
// point first by dist pixels as MovePoint does.
int32_t GetCellAtPixel(int px, int py);
int32_t GetCellBeside(int px, int py, int dir, int dist);
bool TestCellsInRect(int px, int py, int w, int h, int32_t mask, int dir, int dist);
void SetCellAtPixel(int px, int py, int32_t value);
void OrCellAtPixel(int px, int py, int32_t bits);
void OrCellBeside(int px, int py, int32_t bits, int dir, int dist);
void ClearCellBitsAtPixel(int px, int py, int32_t bits);
void SetCellTile(int px, int py, int tile);
int GetCellObject(int px, int py);
void SetCellObject(int px, int py, int index);
void SetCellVariant(int px, int py, int variant);

// A negative n starts a whole empty stage; 0..11 starts that area afresh (21 by 16).
void NewStage(int n);
void ResizeArea(int dw, int dh);
void ClearArea(int area);
void CopyArea(int from, int to);
void SaveStageUndo();
void SwapStageUndo();

// Stage files. Save answers the bytes written or -1; the loaders 0, or -1 with the record
// unchanged when the file is missing, empty or not a stage the game can hold.
int SaveUserStage(int n);
int LoadUserStage(int n);
int LoadBuiltInStage(int n);
int ReadUserStageHeader(int n);  // bytes read into the header buffer, or -1
int32_t GetUserStageHeaderWord(int n);

}  // namespace velmora
