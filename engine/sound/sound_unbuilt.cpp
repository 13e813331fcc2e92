// The parts of sound that are not built yet, as the sound handles reach them: a stream sound
// cannot be made (a keep mode other than 0 loads nothing and answers -1), the compressed-WAVE
// and MP3 readers accept no file, and there are no MIDI handles to delete.
#include "engine/sound/sound_internal.h"

namespace tessra {

int AddStreamSoundFile(const char*, int, int32_t, int, int32_t) {
    return -1;
}
int AddStreamSoundMemImage(const void*, uint32_t, int, int32_t, int, int32_t) {
    return -1;
}
int RewindStreamSound(int32_t) {
    return -1;
}
int StartStreamSoundPlayback(int32_t, int, int) {
    return -1;
}
int StopStreamSound(int32_t) {
    return -1;
}
int IsStreamSoundPlaying(int32_t) {
    return -1;
}
uint32_t GetStreamSoundTotalFrames(const SoundRecord*) {
    return 0;
}
int ReleaseStreamSound(int32_t, SoundRecord*) {
    return 0;
}

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
