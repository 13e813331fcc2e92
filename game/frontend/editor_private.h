// What the editor's frame and its full-screen panels share.
#pragma once

#include <cstdint>

namespace velmora::editor {

// Game variables of the editor master.
inline constexpr int kVarHover = 32;
inline constexpr int kVarTool = 33;
inline constexpr int kVarHeaderRow = 34;
inline constexpr int kVarStartNumber = 35;
inline constexpr int kVarTile = 36;
inline constexpr int kVarProp = 37;
inline constexpr int kVarArea = 38;
inline constexpr int kVarObjectIndex = 39;
inline constexpr int kVarCommand = 40;
inline constexpr int kVarPanel = 41;
inline constexpr int kVarStartMode = 42;
inline constexpr int kVarFlagBits = 43;
inline constexpr int kVarSlot = 44;
inline constexpr int kVarVariant = 45;
inline constexpr int kVarPrevButtons = 60;
inline constexpr int kVarMapObject = 121;

// Tools (palette ids).
enum Tool : int {
    kToolHeader = 16,
    kToolNewFile = 17,
    kToolLoad = 18,
    kToolSave = 19,
    kToolAreaMap = 20,
    kToolQuit = 21,
    kToolScroll = 22,
    kToolTile = 23,
    kToolProp = 24,
    kToolFlag = 25,
    kToolObject = 26,
    kToolStart = 27,
    kToolEraser = 28,
    kToolNone = 29,
    kButtonUndo = 30,
};

// Command states.
enum Command : int {
    kCmdIdle = 0,
    kCmdNewAsked = 1,
    kCmdNewConfirmed = 2,
    kCmdDeleteAsked = 3,
    kCmdDeleteConfirmed = 4,
    kCmdCopyTarget = 5,
    kCmdCopyAsked = 6,
    kCmdCopyConfirmed = 7,
    kCmdTitle = 8,
};

inline constexpr uint32_t kDim = 0x404040FF;
inline constexpr uint32_t kBright = 0xFFFFFFFF;

struct Mouse {
    int x = 0, y = 0;
    int cur = 0, prev = 0;
    int w = 0, h = 0;
    bool NewClick() const { return (cur & 1) && !(prev & 1); }
    bool Held() const { return (cur & 1) != 0; }
    // Strictly inside (x1, x2) by (y1, y2).
    bool In(int x1, int x2, int y1, int y2) const { return x1 < x && x < x2 && y1 < y && y < y2; }
    // Inside [x1, x2] by [y1, y2].
    bool InClosed(int x1, int x2, int y1, int y2) const {
        return x1 <= x && x <= x2 && y1 <= y && y <= y2;
    }
};

// Queue helpers that colour what they queue.
int Sprite(int x, int y, int layer, int32_t sprite, uint32_t colour);
int Text(int x, int y, int layer, int id, uint32_t colour);
int Number(int x, int y, int layer, int32_t value, int digits, bool zeroPad, uint32_t colour);
int Outline(int x1, int y1, int x2, int y2, int layer, uint32_t colour);
int Fill(int x1, int y1, int x2, int y2, int layer, uint32_t colour);

// An edit is about to change the stage: keep the undo copy.
void BeforeEdit();
// Whether the stage differs from what was last saved, loaded or made; and marking it so.
bool HasUnsavedEdits();
void MarkStageClean();

// The full-screen tools 16..21 for this frame.
void RunFullScreenTool(int tool, const Mouse& m);

// A stage title character shows only in 1..26; anything else ends the title.
inline bool IsTitleCharacter(int32_t c) {
    return c >= 1 && c <= 26;
}
// True modulo: the result lies in 0..n-1 for any v.
inline int32_t Wrap(int32_t v, int32_t n) {
    const int32_t r = v % n;
    return r < 0 ? r + n : r;
}

}  // namespace velmora::editor
