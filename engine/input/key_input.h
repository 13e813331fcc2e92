// Key inputs: single-line text editors fed from the character buffer, for engine code that asks
// the player for a name or a number. One is active at a time; the message pump feeds it.
#pragma once

#include <cstdint>

namespace tessra {

// A key input of at most `maximum` bytes of Shift-JIS text: Escape may cancel it, it may refuse
// double-byte characters, or take only digits (and '-' first). A handle, or -1 when all 20 are
// in use, the maximum is negative or memory is exhausted.
int MakeKeyInputHandle(int maximum, int escapeAllowed, int singleByteOnly, int digitsOnly);
// Makes a key input the one that takes typed characters (-1: none), ready for typing again if
// it had ended. 0, or -1 for an invalid handle.
int SetActiveKeyInput(int handle);
int GetActiveKeyInput();  // the active handle, -1 for none

struct KeyInputStatus {
    int32_t ended;      // Return (or an allowed Escape) was taken
    int32_t cancelled;  // it ended by Escape
    int32_t length;     // bytes
    int32_t cursor;     // byte offset, on a character boundary
    int32_t maximum;
};
// 0, or -1 for an invalid handle.
int ReadKeyInputStatus(int handle, KeyInputStatus* status);
// Copies the text, terminated and cut to whole characters within `bufferBytes`; the bytes
// copied, or -1 for an invalid handle or no buffer.
int ReadKeyInputText(int handle, char* buffer, int bufferBytes);
// Draws the text at (x, y) in a font (-1: the default font), with the blinking cursor and, while
// the input method composes, the composition at the cursor. 0, or -1 for an invalid handle.
int DrawKeyInput(int x, int y, int handle, int fontHandle);
int ReleaseKeyInputHandle(int handle);  // 0, or -1 for an invalid handle
// Switches the main window's input method on (1) or off (0). 0.
int SetImeEnabled(int flag);

}  // namespace tessra
