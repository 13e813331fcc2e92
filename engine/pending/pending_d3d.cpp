// Recording stand-ins for the Direct3D back-end's services until that subsystem is built: each
// notes its call (engine/pending/pending_calls.h) and gives its usual success value or a test's
// chosen result.
#include "engine/d3d/d3d.h"
#include "engine/pending/pending_calls.h"

namespace tessra {

int RestoreAllTextures() {
    return static_cast<int>(PendingCall("RestoreAllTextures", 0));
}

int SetTextureDivisionFlag(int) {
    return static_cast<int>(PendingCall("SetTextureDivisionFlag", 0));
}

}  // namespace tessra
