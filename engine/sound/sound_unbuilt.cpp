// The parts of sound that are not built yet, as the sound handles reach them: the
// compressed-WAVE and MP3 readers accept no file, and there are no MIDI handles to delete.
#include "engine/sound/sound_internal.h"

namespace tessra {

int DeleteAllMidi() {
    return 0;
}
int DeleteMciTempFile() {
    return 0;
}

int OpenAcmWaveDecoder(SoundDecoder*) {
    return -1;
}
int OpenMp3Decoder(SoundDecoder*) {
    return -1;
}
int ReadAcmDecoder(SoundDecoder*) {
    return -1;
}
int SeekAcmDecoder(SoundDecoder*, uint32_t) {
    return 0;
}
int CloseAcmDecoder(SoundDecoder*) {
    return 0;
}
uint32_t GetAcmDecodedSize(const SoundDecoder*) {
    return 0;
}

}  // namespace tessra
