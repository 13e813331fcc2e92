// What the engine core asks of fonts: the default-font setters behind the public calls, the
// default-font string draw, and the on-screen log's font (made, watched for loss, drawn with and
// released at shut-down).
#pragma once

#include <cstdint>

namespace tessra {

int StoreDefaultFontSize(int size);            // -1 selects 16
int StoreDefaultFontThickness(int thickness);  // -1 selects 6
int StoreDefaultFontType(int type);            // -1 selects 0
int StoreDefaultFontFace(const char* faceName, int charSet);
int DrawStringWithDefaultFont(int x, int y, const char* text, uint32_t color, uint32_t edgeColor);

// A font handle or -1. Every argument but name and italic may be -1 for its default.
int CreateFontToHandle(const char* name, int size, int thickness, int type, int charsetIndex,
                       int edgeSize, int italic, int slot, int check);
// The font layer sets *lostFlag to 1 when the font is lost; 0 or -1.
int SetFontLostFlagPointer(int fontHandle, int32_t* lostFlag);
int ReleaseFontHandle(int fontHandle);
// Draws a string in a font; 0, or -1 for a bad font handle.
int DrawStringWithFont(int x, int y, const char* text, uint32_t color, int fontHandle,
                       uint32_t edgeColor, int flag);

}  // namespace tessra
