// The on-screen log: a store of text lines that can be drawn over the picture with a font of
// its own. Nothing in this program fills or shows it (its draw flag stays 0).
#pragma once

#include <cstdint>

namespace tessra {

inline constexpr int kScreenLogLines = 80;
inline constexpr int kScreenLogLineBytes = 255;

struct ScreenLog {
    int32_t setUp;
    int32_t fontHandle;   // -1 when none
    int32_t fontMissing;  // 1: (re)create the font before drawing; the font layer sets it
    int32_t fontSize;
    char lines[kScreenLogLines][kScreenLogLineBytes];
    int32_t drawFlag;
    int32_t lineCount;  // position values, reset by set-up
    int32_t column;
    // What the screen layer reports: whether a display device and a window exist, and the
    // screen height the lines are fitted to.
    int32_t hasDisplayDevice;
    int32_t hasWindow;
    int32_t screenHeight;
};

ScreenLog& GetScreenLog();

// The screen layer reports its state here when it starts or changes mode.
void SetScreenLogDisplay(int hasDisplayDevice, int hasWindow, int screenHeight);

// 0, or -1 without a display device or a window.
int InitScreenLog();
int CreateScreenLogFont();  // 0
int DrawScreenLog();        // 0
int GetScreenLogDrawFlag();
// Shut-down: releases the log's font and forgets the set-up; 0.
int TerminateScreenLog();

}  // namespace tessra
