// Recording stand-ins for the font services until that subsystem is built: each notes its call
// (engine/pending/pending_calls.h) and gives its usual success value or a test's chosen result.
#include "engine/font/font.h"
#include "engine/pending/pending_calls.h"

namespace tessra {

int StoreDefaultFontSize(int) {
    return static_cast<int>(PendingCall("StoreDefaultFontSize", 0));
}

int StoreDefaultFontThickness(int) {
    return static_cast<int>(PendingCall("StoreDefaultFontThickness", 0));
}

int StoreDefaultFontType(int) {
    return static_cast<int>(PendingCall("StoreDefaultFontType", 0));
}

int StoreDefaultFontFace(const char*, int) {
    return static_cast<int>(PendingCall("StoreDefaultFontFace", 0));
}

int DrawStringWithDefaultFont(int, int, const char*, uint32_t, uint32_t) {
    return static_cast<int>(PendingCall("DrawStringWithDefaultFont", -1));
}

// No font can be made until the subsystem exists, so the handle calls fail by default.
int CreateFontToHandle(const char*, int, int, int, int, int, int, int, int) {
    return static_cast<int>(PendingCall("CreateFontToHandle", -1));
}

int SetFontLostFlagPointer(int, int32_t*) {
    return static_cast<int>(PendingCall("SetFontLostFlagPointer", -1));
}

int ReleaseFontHandle(int) {
    return static_cast<int>(PendingCall("ReleaseFontHandle", -1));
}

int DrawStringWithFont(int, int, const char*, uint32_t, int, uint32_t, int) {
    return static_cast<int>(PendingCall("DrawStringWithFont", -1));
}

}  // namespace tessra
