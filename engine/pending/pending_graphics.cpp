// Recording stand-ins for what the graphics core does not do yet (restore and movies) until
// that subsystem is built:
// each notes its call (engine/pending/pending_calls.h) and gives its usual success value or a
// test's chosen result.
#include "engine/graphics/graphics_core.h"
#include "engine/pending/pending_calls.h"
#include "engine/screen/screen.h"

namespace tessra {

int InstallGraphRestoreRoutine(GraphRestoreRoutine) {
    return static_cast<int>(PendingCall("InstallGraphRestoreRoutine", 0));
}

int HasGraphRestoreRoutine() {
    return static_cast<int>(PendingCall("HasGraphRestoreRoutine", 1));
}

int RestoreAllGraphSurfaces() {
    return static_cast<int>(PendingCall("RestoreAllGraphSurfaces", 0));
}

int PlayAllGraphMovies() {
    return static_cast<int>(PendingCall("PlayAllGraphMovies", 0));
}

int StopAllGraphMovies() {
    return static_cast<int>(PendingCall("StopAllGraphMovies", 0));
}

int ReleaseAllMovieObjects() {
    return static_cast<int>(PendingCall("ReleaseAllMovieObjects", 0));
}

int RestoreAllSurfaces2D() {
    return static_cast<int>(PendingCall("RestoreAllSurfaces2D", 0));
}

}  // namespace tessra
