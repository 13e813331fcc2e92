// The sample rates of the sound effects and the music the builder makes. Their numbers and the
// music's loop starts are the game's own (game/core/sound_cue.h).
#pragma once

#include "game/core/sound_cue.h"

namespace databuild {

inline constexpr int kSoundEffectRate = 22050;
inline constexpr int kMusicRate = 48000;  // a whole number of samples per millisecond

}  // namespace databuild
