// sound_play: loads a sound file as the game loads its effects (decoded whole) and plays it
// through the engine's public sound functions, on the audio output or, with --out, on the
// mixer stepped by hand, whose 44,100 Hz 16-bit stereo output is written as a WAVE file.
//
//     sound_play FILE [--volume 0..10000] [--out OUT.wav]
//
// Exit status: 0 when the file played, 1 when it could not be loaded or played, 2 on a usage
// error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "engine/base/file_access.h"
#include "engine/sound/sound.h"
#include "engine/tessra.h"
#include "platform/testing.h"

namespace {

void Put16(std::ofstream& f, uint32_t v) {
    const char b[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
    f.write(b, 2);
}
void Put32(std::ofstream& f, uint32_t v) {
    Put16(f, v & 0xFFFF);
    Put16(f, v >> 16);
}

bool WriteWave(const char* path, const std::vector<int16_t>& samples) {
    std::ofstream f(path, std::ios::binary);
    const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
    f.write("RIFF", 4);
    Put32(f, 36 + bytes);
    f.write("WAVEfmt ", 8);
    Put32(f, 16);
    Put16(f, 1);
    Put16(f, 2);
    Put32(f, 44100);
    Put32(f, 44100 * 4);
    Put16(f, 4);
    Put16(f, 16);
    f.write("data", 4);
    Put32(f, bytes);
    for (int16_t s : samples) Put16(f, static_cast<uint16_t>(s));
    return static_cast<bool>(f);
}

int Usage() {
    std::fprintf(stderr, "usage: sound_play FILE [--volume 0..10000] [--out OUT.wav]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* input = nullptr;
    const char* output = nullptr;
    int volume = 10000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            output = argv[++i];
        } else if (std::strcmp(argv[i], "--volume") == 0 && i + 1 < argc) {
            volume = std::atoi(argv[++i]);
        } else if (argv[i][0] == '-' || input != nullptr) {
            return Usage();
        } else {
            input = argv[i];
        }
    }
    if (input == nullptr) return Usage();

    if (output != nullptr) plat::testing::UseSteppedMixer(true);
    tessra::SetFileAccessFuncs(nullptr);
    if (tessra::InitializeSound() != 0) {
        std::fprintf(stderr, "no sound output\n");
        return 1;
    }
    int status = 0;
    const int sound = LoadSoundFile(input, 1, -1);
    if (sound == -1) {
        std::fprintf(stderr, "%s: cannot load\n", input);
        status = 1;
    } else if (SetSoundVolume(volume, sound) != 0) {
        status = 1;
    } else if (output == nullptr) {
        // Play type 0 returns when the sound has ended.
        if (PlaySoundHandle(sound, 0, 1) != 0) status = 1;
    } else {
        std::vector<int16_t> samples;
        if (PlaySoundHandle(sound, 1, 1) != 0) status = 1;
        while (status == 0 && IsSoundPlaying(sound) == 1) {
            const std::vector<int16_t> block = plat::testing::StepMixer(4410);
            samples.insert(samples.end(), block.begin(), block.end());
        }
        if (status == 0 && !WriteWave(output, samples)) {
            std::fprintf(stderr, "%s: cannot write\n", output);
            status = 1;
        }
    }
    tessra::TerminateSound();
    return status;
}
