#include "game/play/stage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"

namespace velmora {
namespace {

StageRecord g_stage;
StageRecord g_stageUndo;
int g_currentArea = 0;
int g_areaWidth = 0;
int g_areaHeight = 0;
int32_t g_userStageHeader[kStageHeaderWords];

int32_t* CurrentArea() {
    return g_stage.words + AreaBase(g_currentArea);
}

bool Inside(int x, int y) {
    return x >= 0 && y >= 0 && x < g_areaWidth && y < g_areaHeight;
}

int32_t* CellWord(int x, int y) {
    return CurrentArea() + kAreaHeaderWords + x + y * g_areaWidth;
}

int PixelToCell(int p) {
    return (p + 16) / 32;
}

void ReplaceField(int px, int py, uint32_t mask, int shift, int value) {
    const int x = PixelToCell(px), y = PixelToCell(py);
    const uint32_t cell = static_cast<uint32_t>(GetCell(x, y));
    const uint32_t field = (static_cast<uint32_t>(value) << shift) & mask;
    SetCell(x, y, static_cast<int32_t>((cell & ~mask) | field));
}

void SetExitsToSelf(int area) {
    int32_t* a = g_stage.words + AreaBase(area);
    for (int k = 0; k < kAreaExitCount; ++k) {
        a[kAreaWordExits + 2 * k] = area;
        a[kAreaWordExits + 2 * k + 1] = 0;
    }
}

void StageFileName(char* out, size_t size, const char* pattern, int n) {
    std::snprintf(out, size, pattern, n);
}

// The whole file through the engine's file layer (archives first), bounded to the largest
// stage a file can hold. False for a missing, empty or larger file.
bool ReadStageBytes(const char* name, std::vector<uint8_t>* out) {
    const int64_t size = GetEngineFileSize(name);
    if (size < 1 || size > static_cast<int64_t>(kPlainStageFileBytes)) return false;
    const intptr_t handle = OpenEngineFile(name);
    if (handle == 0) return false;
    out->assign(static_cast<size_t>(size), 0);
    const int64_t got = ReadEngineFile(out->data(), size, handle);
    CloseEngineFile(handle);
    // A plain file answers in items, a file inside an archive in bytes.
    return got == 1 || got == size;
}

void TakeRecord(const std::vector<int32_t>& words) {
    std::memcpy(g_stage.words, words.data(), sizeof g_stage.words);
}

}  // namespace

void MovePoint(int* px, int* py, int dir, int dist) {
    switch (dir) {
        case 1:
            *px += dist;
            break;
        case 2:
            *py += dist;
            break;
        case 3:
            *px -= dist;
            break;
        case 4:
            *py -= dist;
            break;
        default:
            break;
    }
}

int32_t CellCentre(int32_t v) {
    return (v + 16) / 32 * 32;
}

StageRecord& GetStageRecord() {
    return g_stage;
}

StageRecord& GetStageUndo() {
    return g_stageUndo;
}

int32_t GetAreaWord(int n) {
    return GetAreaWordOf(g_currentArea, n);
}

int32_t GetAreaWordOf(int area, int n) {
    if (area < 0 || area >= kStageAreaCount || n < 0 || n >= kAreaWords) return -1;
    return g_stage.words[AreaBase(area) + n];
}

void SetAreaWord(int n, int32_t value) {
    SetAreaWordOf(g_currentArea, n, value);
}

void SetAreaWordOf(int area, int n, int32_t value) {
    if (area < 0 || area >= kStageAreaCount || n < 0 || n >= kAreaWords) return;
    g_stage.words[AreaBase(area) + n] = value;
}

int32_t GetStageWord(int n) {
    if (n < 0 || n >= kStageHeaderWords) return -1;
    return g_stage.words[n];
}

void SetStageWord(int n, int32_t value) {
    if (n < 0 || n >= kStageHeaderWords) return;
    g_stage.words[n] = value;
}

int SelectArea(int n) {
    if (n < 0 || n >= kStageAreaCount) return -1;
    g_currentArea = n;
    ReloadAreaSize();
    return n;
}

int GetCurrentArea() {
    return g_currentArea;
}

void GetAreaSize(int* width, int* height) {
    if (width) *width = g_areaWidth;
    if (height) *height = g_areaHeight;
}

void ReloadAreaSize() {
    const int32_t* a = CurrentArea();
    const int32_t w = a[kAreaWordWidth], h = a[kAreaWordHeight];
    const bool holds = w > 0 && IsValidAreaSize(w, h);
    g_areaWidth = holds ? w : 0;
    g_areaHeight = holds ? h : 0;
}

int32_t GetCell(int x, int y) {
    return Inside(x, y) ? *CellWord(x, y) : kOutsideCell;
}

void SetCell(int x, int y, int32_t value) {
    if (Inside(x, y)) *CellWord(x, y) = value;
}

void OrCell(int x, int y, int32_t bits) {
    if (Inside(x, y)) *CellWord(x, y) |= bits;
}

void ClearCellBits(int x, int y, int32_t bits) {
    if (Inside(x, y)) *CellWord(x, y) &= ~bits;
}

void GetCellBlock(int x, int y, int w, int h, int32_t* out) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) *out++ = GetCell(x + i, y + j);
}

int32_t GetCellAtPixel(int px, int py) {
    return GetCell(PixelToCell(px), PixelToCell(py));
}

int32_t GetCellBeside(int px, int py, int dir, int dist) {
    MovePoint(&px, &py, dir, dist);
    return GetCellAtPixel(px, py);
}

bool TestCellsInRect(int px, int py, int w, int h, int32_t mask, int dir, int dist) {
    MovePoint(&px, &py, dir, dist);
    const int cx = PixelToCell(px), cy = PixelToCell(py);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            if (GetCell(cx + i, cy + j) & mask) return true;
    return false;
}

void SetCellAtPixel(int px, int py, int32_t value) {
    SetCell(PixelToCell(px), PixelToCell(py), value);
}

void OrCellAtPixel(int px, int py, int32_t bits) {
    OrCell(PixelToCell(px), PixelToCell(py), bits);
}

void OrCellBeside(int px, int py, int32_t bits, int dir, int dist) {
    MovePoint(&px, &py, dir, dist);
    OrCellAtPixel(px, py, bits);
}

void ClearCellBitsAtPixel(int px, int py, int32_t bits) {
    ClearCellBits(PixelToCell(px), PixelToCell(py), bits);
}

void SetCellTile(int px, int py, int tile) {
    ReplaceField(px, py, 0xffu << kCellTileShift, kCellTileShift, tile);
}

int GetCellObject(int px, int py) {
    return static_cast<int>((static_cast<uint32_t>(GetCellAtPixel(px, py)) >> kCellObjectShift) &
                            0xffu);
}

void SetCellObject(int px, int py, int index) {
    ReplaceField(px, py, 0xffu << kCellObjectShift, kCellObjectShift, index);
}

void SetCellVariant(int px, int py, int variant) {
    ReplaceField(px, py, 0x7fu << kCellVariantShift, kCellVariantShift, variant);
}

void NewStage(int n) {
    if (n < 0) {
        std::memset(g_stage.words, 0, sizeof g_stage.words);
        g_stage.words[kStageWordMagic] = static_cast<int32_t>(kStageMagic);
        g_stage.words[kStageWordTag] = static_cast<int32_t>(kStageMapTag);
        g_stage.words[kStageWordVersion] = kStageVersion;
        for (int a = 0; a < kStageAreaCount; ++a) SetExitsToSelf(a);
        g_currentArea = 0;
    } else if (n < kStageAreaCount) {
        g_currentArea = n;
        int32_t* a = CurrentArea();
        std::memset(a, 0, kAreaWords * sizeof(int32_t));
        a[kAreaWordWidth] = 21;
        a[kAreaWordHeight] = 16;
        SetExitsToSelf(n);
        g_stage.words[kStageWordAreaOffsets + n] = AreaBase(n);
    }
    ReloadAreaSize();
}

void ResizeArea(int dw, int dh) {
    const int oldW = g_areaWidth, oldH = g_areaHeight;
    // An area that does not exist has no size to change; sizing it would make an area without
    // its offset word, which no file keeps.
    if (oldW == 0 || g_stage.words[kStageWordAreaOffsets + g_currentArea] == 0) return;
    const int w = std::clamp(oldW + dw, 21, 256);
    const int h = std::clamp(oldH + dh, 16, 255);
    if (w * h >= kAreaCellWords || (w == oldW && h == oldH)) return;
    std::vector<int32_t> cells(kAreaCellWords, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (x < oldW && y < oldH) cells[x + y * w] = *CellWord(x, y);
    int32_t* a = CurrentArea();
    std::memcpy(a + kAreaHeaderWords, cells.data(), kAreaCellWords * sizeof(int32_t));
    a[kAreaWordWidth] = w;
    a[kAreaWordHeight] = h;
    ReloadAreaSize();
}

void ClearArea(int area) {
    if (area < 0 || area >= kStageAreaCount) return;
    std::memset(g_stage.words + AreaBase(area), 0, kAreaWords * sizeof(int32_t));
    g_stage.words[kStageWordAreaOffsets + area] = 0;
    // The cached size must not outlive the area, or later strokes go into nothing.
    if (area == g_currentArea) ReloadAreaSize();
}

void CopyArea(int from, int to) {
    if (from < 0 || from >= kStageAreaCount || to < 0 || to >= kStageAreaCount) return;
    std::memmove(g_stage.words + AreaBase(to), g_stage.words + AreaBase(from),
                 kAreaWords * sizeof(int32_t));
    g_stage.words[kStageWordAreaOffsets + to] = AreaBase(to);
    if (to == g_currentArea) ReloadAreaSize();
}

void SaveStageUndo() {
    g_stageUndo = g_stage;
}

void SwapStageUndo() {
    std::swap(g_stage, g_stageUndo);
    ReloadAreaSize();
}

int SaveUserStage(int n) {
    // A stage with an area the game cannot hold would not load back: refuse it.
    if (!HasValidAreaSizes(g_stage.words)) return -1;
    int date[6] = {};
    GetLocalDateTime(date);
    std::vector<uint8_t> file;
    EncodeStageFile(g_stage.words, StageDateSeed(date[0], date[1], date[2]), &file);
    char name[64];
    StageFileName(name, sizeof name, "userdata\\usermd%02d.dat", n);
    // A failed save must not cost the stage already in the slot.
    EnsureUserDataFolder();
    return WriteFileReplacing(name, file.data(), static_cast<int>(file.size()));
}

int LoadUserStage(int n) {
    char name[64];
    StageFileName(name, sizeof name, "userdata\\usermd%02d.dat", n);
    std::vector<uint8_t> bytes;
    if (!ReadStageBytes(name, &bytes)) return -1;
    std::vector<int32_t> words(kStageRecordWords, 0);
    if (ReadStageFile(bytes.data(), bytes.size(), words.data()) == StageFileCheck::Ok) {
        TakeRecord(words);
    } else if (bytes.size() == kPlainStageFileBytes) {
        // The old plain form is the record itself; it too must hold areas the game can hold.
        std::memcpy(words.data(), bytes.data(), kPlainStageFileBytes);
        if (!HasValidAreaSizes(words.data())) return -1;
        TakeRecord(words);
        g_stageUndo = g_stage;
    } else {
        return -1;
    }
    ReloadAreaSize();
    return 0;
}

int LoadBuiltInStage(int n) {
    char name[64];
    StageFileName(name, sizeof name, "dat\\velm4\\velm4%02d.dat", n);
    std::vector<uint8_t> bytes;
    if (!ReadStageBytes(name, &bytes)) return -1;
    std::vector<int32_t> words(kStageRecordWords, 0);
    if (ReadStageFile(bytes.data(), bytes.size(), words.data()) != StageFileCheck::Ok) return -1;
    TakeRecord(words);
    ReloadAreaSize();
    return 0;
}

int ReadUserStageHeader(int n) {
    char name[64];
    StageFileName(name, sizeof name, "userdata\\usermd%02d.dat", n);
    std::memset(g_userStageHeader, 0, sizeof g_userStageHeader);
    return ReadWholeFile(name, g_userStageHeader, sizeof g_userStageHeader);
}

int32_t GetUserStageHeaderWord(int n) {
    if (n < 0 || n >= kStageHeaderWords) return -1;
    return g_userStageHeader[n];
}

}  // namespace velmora
