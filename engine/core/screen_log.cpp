#include "engine/core/screen_log.h"

#include <cstring>

#include "engine/font/font.h"

namespace tessra {
namespace {

ScreenLog g_screenLog = {};

}  // namespace

ScreenLog& GetScreenLog() {
    return g_screenLog;
}

void SetScreenLogDisplay(int hasDisplayDevice, int hasWindow, int screenHeight) {
    g_screenLog.hasDisplayDevice = hasDisplayDevice;
    g_screenLog.hasWindow = hasWindow;
    g_screenLog.screenHeight = screenHeight;
}

int InitScreenLog() {
    ScreenLog& s = g_screenLog;
    if (!s.hasDisplayDevice || !s.hasWindow) return -1;
    if (!s.setUp) {
        s.setUp = 1;
        s.fontSize = 16;
        s.fontHandle = -1;
        s.fontMissing = 1;
        CreateScreenLogFont();
    }
    s.drawFlag = 0;
    s.lineCount = 0;
    s.column = 0;
    std::memset(s.lines, 0, sizeof(s.lines));
    return 0;
}

int CreateScreenLogFont() {
    ScreenLog& s = g_screenLog;
    if (!s.setUp && InitScreenLog() != 0) return 0;
    if (s.fontMissing) {
        s.fontHandle = CreateFontToHandle(nullptr, s.fontSize, 4, 1, -1, -1, 0, -1, -1);
        s.fontMissing = 0;
        SetFontLostFlagPointer(s.fontHandle, &s.fontMissing);
    }
    return 0;
}

int DrawScreenLog() {
    ScreenLog& s = g_screenLog;
    if (!s.setUp && InitScreenLog() != 0) return 0;
    if (s.fontMissing) CreateScreenLogFont();
    if (s.fontSize <= 0) return 0;
    int count = s.screenHeight / s.fontSize;
    if (count > kScreenLogLines) count = kScreenLogLines;
    for (int i = 0; i < count; ++i) {
        // Each stored line is kept terminated within its 255 bytes.
        char line[kScreenLogLineBytes + 1];
        std::memcpy(line, s.lines[i], kScreenLogLineBytes);
        line[kScreenLogLineBytes] = '\0';
        DrawStringWithFont(0, s.fontSize * i, line, 0xFFFFFFu, s.fontHandle, 0x000000u, 0);
    }
    return 0;
}

int GetScreenLogDrawFlag() {
    return g_screenLog.drawFlag;
}

int TerminateScreenLog() {
    ScreenLog& s = g_screenLog;
    if (!s.setUp) return 0;
    if (s.fontHandle != -1) ReleaseFontHandle(s.fontHandle);
    s.fontMissing = 1;
    s.fontHandle = -1;
    s.setUp = 0;
    return 0;
}

}  // namespace tessra
