// Stand-ins until the font subsystem exists: fonts cannot be made yet.
#include "engine/font/font_handle.h"

namespace tessra {

int CreateFontToHandle(const char*, int, int, int, int, int, int, int, int) { return -1; }

int SetFontLostFlagPointer(int, int32_t*) { return -1; }

int ReleaseFontHandle(int) { return -1; }

int DrawStringWithFont(int, int, const char*, uint32_t, int, uint32_t, int) { return -1; }

}  // namespace tessra
