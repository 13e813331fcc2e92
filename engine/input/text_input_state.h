// The text input's own record: the character buffer, the key inputs, their display settings and
// the input method's data. Private to engine/input (and its tests).
#pragma once

#include <cstdint>

namespace tessra {

inline constexpr int32_t kCharBufferSize = 1025;  // holds at most 1024 bytes
inline constexpr int32_t kKeyInputSlots = 20;
inline constexpr int32_t kImeTextBytes = 1024;
inline constexpr int32_t kKeyInputColors = 9;

struct CharInputBuffer {
    uint8_t bytes[kCharBufferSize];
    int32_t read;
    int32_t write;
    // 1 after a lead byte went in (its trail has room), 2 after one was refused (its trail goes
    // too), else 0.
    int32_t trail;
};

struct KeyInputRecord {
    int32_t used;
    int32_t check;
    int32_t ended;
    int32_t cancelled;
    int32_t length;
    int32_t maximum;
    int32_t cursor;
    char* text;  // maximum + 1 bytes, owned
    int32_t escapeAllowed;
    int32_t singleByteOnly;
    int32_t digitsOnly;
};

// The colours, by index, in their storage order.
enum KeyInputColor : int {
    kKeyInputTextColor = 0,               // white
    kKeyInputCursorColor = 1,             // white
    kKeyInputCompositionColor = 2,        // yellow
    kKeyInputCompositionCursorColor = 3,  // cyan
    kKeyInputClauseLineColor = 4,         // white: the line under each clause
    kKeyInputClauseMarkColor = 5,         // red: where a clause begins
    kKeyInputCurrentClauseColor = 6,      // bright yellow: the line under the cursor's clause
    kKeyInputTextEdgeColor = 7,           // black
    kKeyInputCompositionBackColor = 8,    // black: behind the composition, over the text
};

struct KeyInputDisplay {
    uint32_t colors[kKeyInputColors];  // screen pixel values
    int32_t blinkInterval;             // ms
    uint32_t lastKeyTime;              // timeGetTime
    int32_t cursorShown;
};

struct ImeState {
    int32_t enabled;
    int32_t open;
    int32_t resetStep;  // 0 none, 1..4 the next step after activation
    void* candidateList;
    char composition[kImeTextBytes];
    int32_t composing;
    int32_t compositionCursor;  // characters
    uint32_t clauses[kImeTextBytes / 4];
    int32_t clauseCount;
    char savedComposition[kImeTextBytes];
    int32_t openStatusGuard;
};

struct TextInputState {
    CharInputBuffer buffer;
    KeyInputRecord records[kKeyInputSlots];
    int32_t activeHandle;
    int32_t checkCounter;
    KeyInputDisplay display;
    ImeState ime;
};

TextInputState& GetTextInputState();

// The byte codes WM_KEYDOWN puts for the editing keys.
inline constexpr uint8_t kCharDelete = 16;
inline constexpr uint8_t kCharRight = 28;
inline constexpr uint8_t kCharLeft = 29;
inline constexpr uint8_t kCharUp = 30;
inline constexpr uint8_t kCharDown = 31;

// The next character of the buffer (1 or 2 bytes into out, which is cleared first): its size,
// or 0 when the buffer is empty or holds only a lead byte. take = 0 leaves it there.
int TakeInputChar(uint8_t out[2], int take);
int IsControlCharCode(uint8_t code);
// The characters in the first n bytes of text (0 for n < 1), stopping at a zero byte.
int CountCharsInBytes(const char* text, int n);
// Bytes the buffer can still take.
int CharBufferRoom();
// The engine's lead-byte rule with its character set.
int IsInputLeadByte(uint8_t byte);
// Marks a keystroke: the cursor shows from now.
void NoteKeystroke();

}  // namespace tessra
