// What the engine core asks of fonts: the default-font setters behind the public calls, the
// default-font string draw, and releasing a font at shut-down.
#pragma once

#include <cstdint>

namespace tessra {

int StoreDefaultFontSize(int size);            // -1 selects 16
int StoreDefaultFontThickness(int thickness);  // -1 selects 6
int StoreDefaultFontType(int type);            // -1 selects 0
int StoreDefaultFontFace(const char* faceName, int charSet);
int DrawStringWithDefaultFont(int x, int y, const char* text, uint32_t colour, uint32_t edgeColour);

}  // namespace tessra
