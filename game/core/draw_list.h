// The draw list: nothing is drawn while the game updates. Objects, menus and the HUD queue
// records into 64 layered, depth-sorted lists during a frame; the next drawn frame flushes them
// into engine drawing calls, layer by layer, each under its own clip rectangle. Also here: the
// sprite table that maps sprite ids to engine images, the text table, and the small immediate
// drawers (sprite font, numbers, frame-rate meter, snapshots).
#pragma once

#include <cstdint>
#include <string>

#include "game/core/screen_state.h"

namespace velmora {

inline constexpr int kDrawRecords = 8000;
inline constexpr int kDrawListHeads = 65;  // lists 0..63 drawn, list 64 never
inline constexpr int kDrawLayers = 32;
inline constexpr int32_t kDrawListHeadKind = 32768;
inline constexpr int32_t kNoDepth = static_cast<int32_t>(0xf0000000u);

// Sprite word: the id in bits 0-23, mirrored in bit 24, additive in bit 25.
inline constexpr int32_t kSpriteIdMask = 0xffffff;
inline constexpr int32_t kSpriteMirrorBit = 1 << 24;
inline constexpr int32_t kSpriteAdditiveBit = 1 << 25;

inline constexpr int kSpriteCount = 8192;
inline constexpr int kScreenCopySprite = 8191;
inline constexpr int kTextCount = 440;
inline constexpr int kMessageLineCount = 32;

enum DrawWord : int {
    kDrawKind = 0,
    kDrawSprite = 1,
    kDrawScale = 2,
    kDrawAngle = 3,
    kDrawColor = 4,
    kDrawX = 5,
    kDrawY = 6,
    kDrawX2 = 7,
    kDrawY2 = 8,
    kDrawDepth = 9,
    kDrawValue = 10,
    kDrawMark = 11,
    kDrawNext = 12,
    kDrawPrev = 13,
    kDrawFrame = 14,
};

struct DrawRecord {
    int32_t w[15];
};

// The list itself, for the flush and for tests that look at its chain.
const DrawRecord& GetDrawRecord(int index);  // index outside 0..7999 gives a zeroed record
int GetDrawRecordCount();                    // records handed out, heads included
int32_t GetDrawFrameId();

// Starts a new frame's list: every record but the heads is free again.
void ResetDrawList();
// Draws lists 0..63 in order and leaves the list as it is.
void FlushDrawList();

// Queueing: each returns the record index, or -1 when all 8000 records are taken (or the text id
// or message line is out of range).
int QueueSprite(int x, int y, int layer, int32_t sprite);
int QueueRotatedSprite(int x, int y, int layer, int32_t sprite, int32_t scale, int32_t angle);
int QueueSpriteAtDepth(int x, int y, int layer, int32_t sprite, int32_t depth);
int QueueRotatedSpriteAtDepth(int x, int y, int layer, int32_t sprite, int32_t depth, int32_t scale,
                              int32_t angle);
int QueueRectangle(int x1, int y1, int x2, int y2, int layer, bool filled);
int QueueScreenFill(int layer, uint32_t colour);
int QueueLine(int x1, int y1, int x2, int y2, int layer);
int QueueSpriteText(int x, int y, int layer, int textId);
int QueueFontText(int x, int y, int layer, int textId);
int QueueMessageLine(int x, int y, int layer, int line);
int QueueNumber(int x, int y, int layer, int32_t value, int digits, bool zeroPad);

// Record editing; each ignores a negative index (a failed queue).
void SetRecordSpriteText(int r, int textId);
void SetRecordFontText(int r);
void SetRecordNumber(int r, int32_t value, int digits, bool zeroPad);
void SetRecordHexNumber(int r, int32_t value, int digits, bool zeroPad);
void SetRecordAngleScale(int r, int32_t angle, int32_t scale);
void SetRecordStretch(int r, int x2, int y2);
void SetRecordSprite(int r, int32_t sprite);
void SetRecordColor(int r, uint32_t colour);
void SetRecordRotated(int r, int32_t scale, int32_t angle);

// Clip rectangles: layer 1..31 sets that layer, any other number all 32.
void SetLayerClipRect(int layer, int left, int top, int right, int bottom);
void ResetClipRects();
void GetLayerClipRect(int layer, int* left, int* top, int* right, int* bottom);

// Blend and brightness, sent to the engine only when they change.
void SetCachedBlend(int mode, int parameter);
void ResetBlendAndBrightness();

// Colors are 0xRRGGBBAA; each channel moves by its delta, clamped to 0..255.
uint32_t AddToColor(uint32_t colour, int dr, int dg, int db);
float SinFloat(float a);

// Immediate drawers.
void PutSprite(int x, int y, int32_t sprite);
void PutSpriteStretched(int x1, int y1, int x2, int y2, int32_t sprite);
void PutSpriteText(int x, int y, int textId);
void PutSpriteString(int x, int y, const char* text);  // Shift-JIS bytes
void PutFontText(int x, int y, int textId);
void PutNumber(int x, int y, int32_t value, int digits, int firstDigit, int pitch, bool zeroPad);
void PutHexNumber(int x, int y, int32_t value, int digits, int firstDigit, int pitch, bool zeroPad);
void DrawFrameRateMeter(int rate);  // rate in hundredths of a frame a second

// Copies the front screen into sprite 8191.
void CaptureScreenCopy();
// Saves the screen as "userdata\velmss%07d.bmp" under the first free number of the day; false
// when all 1000 are taken or the save failed.
bool SaveSnapshot();
// Makes the "userdata" folder when it is missing.
void EnsureUserDataFolder();

// The text table: Shift-JIS strings by id 0..439; "none" (ids 304 and up) reads as "", and so
// does an id out of range.
const char* GetText(int id);
bool IsTextPresent(int id);

// The message lines that text records of mode 2 draw; the message system sets the drawer.
void SetMessageLineDrawer(void (*draw)(int x, int y, int line));

// The sprite table.
inline constexpr int32_t kSpriteNoInset = 1 << 30;
// Loads the five sheets and cuts every sprite; `tick` (may be null) runs after each step and
// `finish` (may be null) at the end. False, with `error` naming the file, when a sheet or the
// blank screen image cannot be made: the game cannot run without its pictures.
bool LoadSprites(void (*tick)(), void (*finish)(), std::string* error);
// Sets next and period from rows of id, next, period (ended by an id < 0). Rows with an id out
// of range or a period below 1 are left out.
void ApplyAnimationTable(const int32_t (*rows)[3], int rowCount);
// The engine image of a sprite id; ids outside 0..8191 have none (-1).
int GetSpriteHandle(int32_t id);
// The size of a sprite's image; false (and 0 x 0) for ids without one.
bool GetSpriteExtent(int32_t id, int* width, int* height);
int32_t GetSpriteNext(int32_t id);
int32_t GetSpritePeriod(int32_t id);
// Steps an animated sprite word at the given age.
int32_t AnimateSprite(int32_t word, int32_t age);

}  // namespace velmora
