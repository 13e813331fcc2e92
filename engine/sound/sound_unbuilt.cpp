// The parts of sound that are not built yet, as the sound handles reach them: there are no MIDI
// handles to delete.
#include "engine/sound/sound_internal.h"

namespace tessra {

int DeleteAllMidi() {
    return 0;
}
int DeleteMciTempFile() {
    return 0;
}

}  // namespace tessra
