// Recording stand-ins for the sound services that are not built yet (MIDI and the current
// music): each notes its call (engine/pending/pending_calls.h) and gives its usual
// result or a test's chosen one.
#include "engine/pending/pending_calls.h"
#include "engine/sound/sound.h"

namespace tessra {

int StopCurrentMusic() {
    return static_cast<int>(PendingCall("StopCurrentMusic", 0));
}

int PollDirectMusicPlayStates() {
    return static_cast<int>(PendingCall("PollDirectMusicPlayStates", 0));
}

int HandleMciMidiNotify() {
    return static_cast<int>(PendingCall("HandleMciMidiNotify", 0));
}

}  // namespace tessra
