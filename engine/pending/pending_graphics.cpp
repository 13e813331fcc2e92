// Recording stand-ins for what the graphics core does not do yet (the 2-D surfaces' restore)
// until that subsystem is built: each notes its call (engine/pending/pending_calls.h) and gives
// its usual success value or a test's chosen result.
#include "engine/graphics/graphics_core.h"
#include "engine/pending/pending_calls.h"
#include "engine/screen/screen.h"

namespace tessra {

int RestoreAllSurfaces2D() {
    return static_cast<int>(PendingCall("RestoreAllSurfaces2D", 0));
}

}  // namespace tessra
