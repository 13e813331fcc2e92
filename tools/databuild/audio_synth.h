// The builder's small synthesiser: oscillators, envelopes, filters and instrument voices that
// the sound effects and the music are rendered with, and the writers of their files (PCM WAVE
// and Ogg Vorbis). Everything is deterministic: the same parameters give the same samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace databuild {

enum class Wave { Sine, Square, Pulse25, Pulse12, Triangle, Saw, Noise };

// Attack, decay and release in seconds; sustain as a level 0..1.
struct Adsr {
    double attack = 0.005, decay = 0.1, sustain = 0.7, release = 0.05;
    // The level `t` seconds after the start of a note held for `held` seconds.
    double Level(double t, double held) const;
};

// One band-limited oscillator (PolyBLEP edges for square, pulse and saw).
struct Oscillator {
    Wave wave = Wave::Sine;
    double phase = 0.0;  // 0..1
    uint32_t noise = 0x9e3779b9u;
    double noiseHold = 0.0;  // noise: the value held between steps
    double Next(double freq, double rate);
};

// One-pole low-pass and high-pass filters.
struct OnePole {
    double z = 0.0;
    double LowPass(double x, double cutoff, double rate);
    double HighPass(double x, double cutoff, double rate);
};

// A stereo sample buffer (left and right interleaved as pairs of floats).
struct StereoBuffer {
    std::vector<float> left, right;
    void Resize(size_t n) {
        left.assign(n, 0.0f);
        right.assign(n, 0.0f);
    }
    size_t Size() const { return left.size(); }
};

// The music's instruments.
enum class Instrument {
    Lead,
    SoftLead,
    Bell,
    Pluck,
    Pad,
    Organ,
    Bass,
    SynthBass,
    Strings,
    Kick,
    Snare,
    HatClosed,
    HatOpen,
    Tom,
    Crash,
    Clap,
    Shaker
};

// A small room (four damped comb filters and two all-passes per side) that the music is played
// in, so the notes ring a little instead of stopping dry. About a second of decay.
class Room {
public:
    explicit Room(double rate);
    // Adds the room's answer to one stereo sample.
    void Process(float* left, float* right);

private:
    struct Comb {
        std::vector<float> line;
        size_t at = 0;
        float low = 0;
    };
    struct AllPass {
        std::vector<float> line;
        size_t at = 0;
    };
    float Side(float in, Comb* combs, AllPass* passes);
    Comb combs_[2][4];
    AllPass passes_[2][2];
};

// One note: start and length in samples, frequency (drums ignore it), velocity 0..1, pan
// -1..1. The renderer adds it into `out` from sample `start`, tail included.
struct Note {
    int64_t start = 0;
    int64_t length = 0;
    double freq = 440.0;
    double velocity = 1.0;
    double pan = 0.0;
    Instrument instrument = Instrument::Lead;
};

// The tail after a note's end that an instrument keeps sounding, in samples.
int64_t InstrumentTail(Instrument instrument, double rate);
void RenderNote(const Note& note, double rate, StereoBuffer* out);

double MidiToFrequency(double midi);

// Statistics of a rendered signal, for the builder's own checks.
struct SignalStats {
    double peak = 0.0;  // largest magnitude, 1.0 = full scale
    double rms = 0.0;
    size_t clipped = 0;  // samples at or beyond full scale
};
SignalStats MeasureSignal(const std::vector<float>& samples);

// 16-bit PCM from floats (-1..1), rounded and clamped.
std::vector<int16_t> ToPcm16(const std::vector<float>& mono);
std::vector<int16_t> InterleavePcm16(const StereoBuffer& buffer);

// The bytes of a PCM WAVE file ("RIFF"/"WAVE", a 16-byte "fmt " chunk, "data").
std::vector<uint8_t> MakeWaveFile(const std::vector<int16_t>& samples, int rate, int channels);

// Encodes interleaved 16-bit samples as Ogg Vorbis with libvorbisenc at the given quality
// (-0.1..1), with a fixed stream serial so the bytes repeat from build to build. False with a
// message on failure.
bool EncodeOggVorbis(const std::vector<int16_t>& samples, int rate, int channels, float quality,
                     const std::string& title, std::vector<uint8_t>* out);

}  // namespace databuild
