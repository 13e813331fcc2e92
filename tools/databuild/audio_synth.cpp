#include "tools/databuild/audio_synth.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

// The tables below are laid out by hand, one entry a line; keep clang-format out of them.
// clang-format off

namespace databuild {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The correction that rounds off a hard edge at phase t (dt = the phase step).
double Blep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

uint32_t StepNoise(uint32_t* state) {
    *state = *state * 1664525u + 1013904223u;
    return *state;
}

double NoiseValue(uint32_t* state) {
    return static_cast<double>(StepNoise(state) >> 8) / 8388608.0 - 1.0;
}

void Put16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(static_cast<uint8_t>(v));
    out->push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
    Put16(out, v & 0xffff);
    Put16(out, v >> 16);
}

void PutTag(std::vector<uint8_t>* out, const char* tag) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(tag[i]));
}

void AddPanned(StereoBuffer* out, int64_t at, double value, double pan) {
    if (at < 0 || at >= static_cast<int64_t>(out->Size())) return;
    const double angle = (std::clamp(pan, -1.0, 1.0) + 1.0) * kPi / 4.0;
    out->left[at] += static_cast<float>(value * std::cos(angle));
    out->right[at] += static_cast<float>(value * std::sin(angle));
}

struct Voice {
    Adsr env;
    double gain;
};

Voice VoiceOf(Instrument instrument) {
    switch (instrument) {
        case Instrument::Lead: return {{0.008, 0.18, 0.65, 0.07}, 0.22};
        case Instrument::SoftLead: return {{0.02, 0.25, 0.75, 0.12}, 0.30};
        case Instrument::Bell: return {{0.002, 0.9, 0.0, 0.35}, 0.26};
        case Instrument::Pluck: return {{0.002, 0.35, 0.0, 0.06}, 0.22};
        case Instrument::Pad: return {{0.25, 0.4, 0.75, 0.35}, 0.07};
        case Instrument::Organ: return {{0.01, 0.08, 0.85, 0.06}, 0.10};
        case Instrument::Bass: return {{0.004, 0.25, 0.6, 0.05}, 0.28};
        case Instrument::SynthBass: return {{0.003, 0.2, 0.5, 0.05}, 0.22};
        case Instrument::Strings: return {{0.12, 0.3, 0.8, 0.25}, 0.06};
        default: return {{0.001, 0.1, 0.0, 0.01}, 0.3};
    }
}

bool IsDrum(Instrument i) {
    return i >= Instrument::Kick;
}

// Drum decays in seconds; a drum lasts about five of them.
double DrumDecay(Instrument i) {
    switch (i) {
        case Instrument::Kick: return 0.09;
        case Instrument::Snare: return 0.05;
        case Instrument::HatClosed: return 0.012;
        case Instrument::HatOpen: return 0.07;
        case Instrument::Tom: return 0.08;
        case Instrument::Crash: return 0.35;
        case Instrument::Clap: return 0.04;
        case Instrument::Shaker: return 0.015;
        default: return 0.05;
    }
}

void RenderDrum(const Note& note, double rate, StereoBuffer* out) {
    const double decay = DrumDecay(note.instrument);
    const int64_t n = static_cast<int64_t>(decay * 6.0 * rate);
    uint32_t noise = static_cast<uint32_t>(note.start * 2654435761u) ^ 0x5bd1e995u;
    OnePole hp, lp, hp2;
    double phase = 0.0;
    for (int64_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double fadeIn = std::min(1.0, t / 0.0008);  // no step at the onset
        const double fadeOut = std::min(1.0, static_cast<double>(n - i) / (0.004 * rate));
        double v = 0.0;
        switch (note.instrument) {
            case Instrument::Kick: {
                const double f = 45.0 + 110.0 * std::exp(-t / 0.03);
                phase += f / rate;
                v = std::sin(2 * kPi * phase) * std::exp(-t / decay) * 0.95;
                v += NoiseValue(&noise) * std::exp(-t / 0.003) * 0.15;
                break;
            }
            case Instrument::Snare: {
                phase += 185.0 / rate;
                const double tone = std::sin(2 * kPi * phase) * std::exp(-t / 0.04) * 0.45;
                const double nz = hp.HighPass(NoiseValue(&noise), 900.0, rate);
                v = tone + lp.LowPass(nz, 7000.0, rate) * std::exp(-t / decay) * 0.7;
                break;
            }
            case Instrument::HatClosed:
            case Instrument::HatOpen:
            case Instrument::Shaker: {
                const double cut = note.instrument == Instrument::Shaker ? 5000.0 : 7500.0;
                const double nz = hp2.HighPass(hp.HighPass(NoiseValue(&noise), cut, rate), cut, rate);
                const double a = note.instrument == Instrument::Shaker
                                     ? std::min(1.0, t / 0.008) : 1.0;
                v = nz * std::exp(-t / decay) * a * 0.55;
                break;
            }
            case Instrument::Tom: {
                const double f = note.freq * (1.0 + 0.5 * std::exp(-t / 0.04));
                phase += f / rate;
                v = std::sin(2 * kPi * phase) * std::exp(-t / decay) * 0.8;
                break;
            }
            case Instrument::Crash: {
                const double nz = hp2.HighPass(hp.HighPass(NoiseValue(&noise), 3500.0, rate), 3500.0, rate);
                v = nz * std::exp(-t / decay) * 0.4;
                break;
            }
            case Instrument::Clap: {
                const double burst = t < 0.03 ? (std::fmod(t, 0.01) < 0.004 ? 1.0 : 0.4) : 1.0;
                const double nz = lp.LowPass(hp.HighPass(NoiseValue(&noise), 1200.0, rate), 5000.0, rate);
                v = nz * std::exp(-t / decay) * burst * 0.8;
                break;
            }
            default: break;
        }
        AddPanned(out, note.start + i, v * fadeIn * fadeOut * note.velocity * 0.42, note.pan);
    }
}

}  // namespace

double Adsr::Level(double t, double held) const {
    auto sustained = [&](double u) {
        if (u < attack) return attack > 0 ? u / attack : 1.0;
        const double d = u - attack;
        return sustain + (1.0 - sustain) * std::exp(-3.0 * d / std::max(decay, 1e-4));
    };
    if (t < held) return sustained(t);
    if (release <= 0) return 0.0;
    const double r = (t - held) / release;
    return r >= 1.0 ? 0.0 : sustained(held) * (1.0 - r);
}

double Oscillator::Next(double freq, double rate) {
    const double dt = std::min(freq / rate, 0.5);
    double v = 0.0;
    switch (wave) {
        case Wave::Sine: v = std::sin(2 * kPi * phase); break;
        case Wave::Triangle: v = phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase; break;
        case Wave::Saw: v = 2 * phase - 1 - Blep(phase, dt); break;
        case Wave::Square:
        case Wave::Pulse25:
        case Wave::Pulse12: {
            const double duty = wave == Wave::Square ? 0.5 : wave == Wave::Pulse25 ? 0.25 : 0.125;
            v = phase < duty ? 1.0 : -1.0;
            v += Blep(phase, dt);
            v -= Blep(std::fmod(phase + 1.0 - duty, 1.0), dt);
            // A narrow pulse averages 2 duty - 1, not 0: centred, its notes start and stop
            // without a thump and the mix keeps its headroom.
            v -= 2 * duty - 1;
            break;
        }
        case Wave::Noise: {
            // A new random value each period of `freq`, so the noise has a pitch.
            if (phase + dt >= 1.0 || noiseHold == 0.0) noiseHold = NoiseValue(&noise);
            v = noiseHold;
            break;
        }
    }
    phase += dt;
    if (phase >= 1.0) phase -= 1.0;
    return v;
}

double OnePole::LowPass(double x, double cutoff, double rate) {
    const double a = 1.0 - std::exp(-2 * kPi * std::min(cutoff, rate * 0.45) / rate);
    z += a * (x - z);
    return z;
}

double OnePole::HighPass(double x, double cutoff, double rate) {
    return x - LowPass(x, cutoff, rate);
}

double MidiToFrequency(double midi) {
    return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0);
}

int64_t InstrumentTail(Instrument instrument, double rate) {
    if (IsDrum(instrument)) return static_cast<int64_t>(DrumDecay(instrument) * 6.0 * rate);
    return static_cast<int64_t>(VoiceOf(instrument).env.release * rate) + 1;
}

void RenderNote(const Note& note, double rate, StereoBuffer* out) {
    if (IsDrum(note.instrument)) {
        RenderDrum(note, rate, out);
        return;
    }
    const Voice voice = VoiceOf(note.instrument);
    const double held = static_cast<double>(note.length) / rate;
    const int64_t total = note.length + InstrumentTail(note.instrument, rate);
    Oscillator a, b, c;
    OnePole lp, lp2;
    double fmPhase = 0.0;
    switch (note.instrument) {
        case Instrument::Lead: a.wave = Wave::Pulse25; b.wave = Wave::Square; break;
        case Instrument::SoftLead: a.wave = Wave::Triangle; b.wave = Wave::Sine; break;
        case Instrument::Pluck: a.wave = Wave::Saw; b.wave = Wave::Square; break;
        case Instrument::Pad:
        case Instrument::Strings: a.wave = b.wave = c.wave = Wave::Saw; break;
        case Instrument::Bass: a.wave = Wave::Triangle; b.wave = Wave::Square; break;
        case Instrument::SynthBass: a.wave = Wave::Saw; b.wave = Wave::Square; break;
        default: a.wave = b.wave = c.wave = Wave::Sine; break;
    }
    b.phase = 0.25;
    c.phase = 0.6;
    for (int64_t i = 0; i < total; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double env = voice.env.Level(t, held);
        // Vibrato that sets in after a while, as a singer's would.
        const double vib = 1.0 + 0.004 * std::min(1.0, std::max(0.0, t - 0.18) / 0.25) *
                                     std::sin(2 * kPi * 5.5 * t);
        const double f = note.freq;
        double v = 0.0;
        switch (note.instrument) {
            case Instrument::Lead:
                v = lp.LowPass(0.7 * a.Next(f * vib, rate) + 0.3 * b.Next(f * vib * 1.003, rate),
                               3200.0, rate);
                break;
            case Instrument::SoftLead:
                v = 0.75 * a.Next(f * vib, rate) + 0.35 * b.Next(2 * f * vib, rate);
                break;
            case Instrument::Bell: {
                const double index = 2.2 * std::exp(-t / 0.25);
                fmPhase += 3.5 * f / rate;
                if (fmPhase >= 1.0) fmPhase -= 1.0;
                a.phase += f / rate;
                if (a.phase >= 1.0) a.phase -= 1.0;
                v = std::sin(2 * kPi * a.phase + index * std::sin(2 * kPi * fmPhase));
                break;
            }
            case Instrument::Pluck: {
                const double cut = 600.0 + 5000.0 * std::exp(-t / 0.08);
                v = lp2.LowPass(lp.LowPass(0.8 * a.Next(f, rate) + 0.25 * b.Next(f * 2.0, rate),
                                           cut, rate), cut, rate);
                break;
            }
            case Instrument::Pad:
            case Instrument::Strings: {
                const double cut = note.instrument == Instrument::Pad ? 1600.0 : 2800.0;
                v = lp2.LowPass(lp.LowPass((a.Next(f * 0.996, rate) + b.Next(f, rate) +
                                            c.Next(f * 1.004 * vib, rate)) / 3.0,
                                           cut, rate), cut, rate);
                break;
            }
            case Instrument::Organ:
                v = 0.6 * a.Next(f, rate) + 0.3 * b.Next(2 * f, rate) + 0.15 * c.Next(3 * f, rate);
                break;
            case Instrument::Bass:
                v = lp.LowPass(0.8 * a.Next(f, rate) + 0.35 * b.Next(f, rate), 900.0, rate);
                break;
            case Instrument::SynthBass: {
                const double cut = 300.0 + 2200.0 * std::exp(-t / 0.06);
                v = lp2.LowPass(lp.LowPass(a.Next(f, rate) * 0.8 + b.Next(f * 0.5, rate) * 0.4,
                                           cut, rate), cut, rate) * 1.6;
                break;
            }
            default: break;
        }
        AddPanned(out, note.start + i, v * env * voice.gain * note.velocity, note.pan);
    }
}

Room::Room(double rate) {
    static const int kCombs[4] = {1557, 1617, 1491, 1422};  // at 44.1 kHz, mutually prime
    static const int kPasses[2] = {556, 441};
    const double scale = rate / 44100.0;
    for (int side = 0; side < 2; ++side) {
        const int spread = side * 23;  // the two sides differ a little: width
        for (int i = 0; i < 4; ++i)
            combs_[side][i].line.assign(static_cast<size_t>((kCombs[i] + spread) * scale), 0.0f);
        for (int i = 0; i < 2; ++i)
            passes_[side][i].line.assign(static_cast<size_t>((kPasses[i] + spread) * scale), 0.0f);
    }
}

float Room::Side(float in, Comb* combs, AllPass* passes) {
    constexpr float kFeedback = 0.78f, kDamp = 0.3f, kPassGain = 0.5f;
    float sum = 0.0f;
    for (int i = 0; i < 4; ++i) {
        Comb& c = combs[i];
        const float out = c.line[c.at];
        c.low = out * (1.0f - kDamp) + c.low * kDamp;
        c.line[c.at] = in + c.low * kFeedback;
        if (++c.at == c.line.size()) c.at = 0;
        sum += out;
    }
    for (int i = 0; i < 2; ++i) {
        AllPass& a = passes[i];
        const float delayed = a.line[a.at];
        a.line[a.at] = sum + delayed * kPassGain;
        sum = delayed - sum;
        if (++a.at == a.line.size()) a.at = 0;
    }
    return sum;
}

void Room::Process(float* left, float* right) {
    constexpr float kSend = 0.02f, kWet = 1.0f;
    const float in = (*left + *right) * kSend;
    const float l = Side(in, combs_[0], passes_[0]);
    const float r = Side(in, combs_[1], passes_[1]);
    *left += l * kWet;
    *right += r * kWet;
}

SignalStats MeasureSignal(const std::vector<float>& samples) {
    SignalStats s;
    double sum = 0.0;
    for (float x : samples) {
        const double m = std::fabs(x);
        s.peak = std::max(s.peak, m);
        if (m >= 1.0) ++s.clipped;
        sum += m * m;
    }
    if (!samples.empty()) s.rms = std::sqrt(sum / static_cast<double>(samples.size()));
    return s;
}

std::vector<int16_t> ToPcm16(const std::vector<float>& mono) {
    std::vector<int16_t> out(mono.size());
    for (size_t i = 0; i < mono.size(); ++i) {
        const double v = std::clamp(static_cast<double>(mono[i]) * 32767.0, -32768.0, 32767.0);
        out[i] = static_cast<int16_t>(std::lround(v));
    }
    return out;
}

std::vector<int16_t> InterleavePcm16(const StereoBuffer& buffer) {
    const std::vector<int16_t> l = ToPcm16(buffer.left), r = ToPcm16(buffer.right);
    std::vector<int16_t> out(l.size() * 2);
    for (size_t i = 0; i < l.size(); ++i) {
        out[2 * i] = l[i];
        out[2 * i + 1] = r[i];
    }
    return out;
}

std::vector<uint8_t> MakeWaveFile(const std::vector<int16_t>& samples, int rate, int channels) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    PutTag(&out, "RIFF");
    Put32(&out, 36 + dataBytes);
    PutTag(&out, "WAVE");
    PutTag(&out, "fmt ");
    Put32(&out, 16);
    Put16(&out, 1);  // PCM
    Put16(&out, static_cast<uint32_t>(channels));
    Put32(&out, static_cast<uint32_t>(rate));
    Put32(&out, static_cast<uint32_t>(rate * channels * 2));
    Put16(&out, static_cast<uint32_t>(channels * 2));
    Put16(&out, 16);
    PutTag(&out, "data");
    Put32(&out, dataBytes);
    for (int16_t s : samples) Put16(&out, static_cast<uint16_t>(s));
    return out;
}

bool EncodeOggVorbis(const std::vector<int16_t>& samples, int rate, int channels, float quality,
                     const std::string& title, std::vector<uint8_t>* out) {
    out->clear();
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
        vorbis_info_clear(&vi);
        std::fprintf(stderr, "databuild: the Vorbis encoder refused %d Hz, %d channels\n", rate,
                     channels);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "TITLE", title.c_str());
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 0x56454c4d);  // a fixed serial: the same bytes at every build
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    ogg_page page;
    auto append = [&](const ogg_page& p) {
        out->insert(out->end(), p.header, p.header + p.header_len);
        out->insert(out->end(), p.body, p.body + p.body_len);
    };
    while (ogg_stream_flush(&os, &page) != 0) append(page);

    const size_t frames = samples.size() / static_cast<size_t>(channels);
    size_t done = 0;
    bool eos = false;
    while (!eos) {
        const size_t chunk = std::min<size_t>(4096, frames - done);
        if (chunk == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(chunk));
            for (size_t i = 0; i < chunk; ++i)
                for (int ch = 0; ch < channels; ++ch)
                    buffer[ch][i] = samples[(done + i) * channels + ch] / 32768.0f;
            vorbis_analysis_wrote(&vd, static_cast<int>(chunk));
            done += chunk;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet)) {
                ogg_stream_packetin(&os, &packet);
                while (ogg_stream_pageout(&os, &page) != 0) {
                    append(page);
                    if (ogg_page_eos(&page)) eos = true;
                }
            }
        }
        if (chunk == 0 && !eos) {
            while (ogg_stream_flush(&os, &page) != 0) append(page);
            eos = true;
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return true;
}

}  // namespace databuild
// clang-format on
