// Recording stand-ins for the string draws until the drawing front end that lays strings onto
// the draw target is built: each notes its call (engine/pending/pending_calls.h) and gives its
// usual result or a test's chosen result.
#include "engine/font/font.h"
#include "engine/pending/pending_calls.h"

namespace tessra {

int DrawStringWithDefaultFont(int, int, const char*, uint32_t, uint32_t) {
    return static_cast<int>(PendingCall("DrawStringWithDefaultFont", -1));
}

}  // namespace tessra
