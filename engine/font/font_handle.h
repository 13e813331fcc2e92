// Font calls the engine core makes (the on-screen log's font and its text). Until the font
// subsystem and the graphics front end provide them, font_handle_stubs.cpp stands in: no font
// is ever made, so nothing is drawn. Delete the stubs when the real bodies land.
#pragma once

#include <cstdint>

namespace tessra {

// A font handle or -1. Every argument but name and italic may be -1 for its default.
int CreateFontToHandle(const char* name, int size, int thickness, int type, int charsetIndex,
                       int edgeSize, int italic, int slot, int check);
// The font layer sets *lostFlag to 1 when the font is lost; 0 or -1.
int SetFontLostFlagPointer(int fontHandle, int32_t* lostFlag);
int ReleaseFontHandle(int fontHandle);
// Draws a string in a font; 0, or -1 for a bad font handle.
int DrawStringWithFont(int x, int y, const char* text, uint32_t colour, int fontHandle,
                       uint32_t edgeColour, int flag);

}  // namespace tessra
