// The 30 sound effects, dat/velm3/se00.wav .. se29.wav: 16-bit mono PCM at 22050 Hz, each made
// of a few layers (an oscillator with a pitch sweep, an optional arpeggio and vibrato, a filter
// and an envelope) given in the table below.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/databuild/audio_synth.h"
#include "tools/databuild/databuild.h"
#include "tools/databuild/sound_effects.h"

// The tables below are laid out by hand, one entry a line; keep clang-format out of them.
// clang-format off

namespace databuild {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Layer {
    Wave wave;
    double start, length;      // seconds; the release is part of the length
    double f0, f1;             // pitch sweep in Hz, exponential from f0 to f1 over the length
    Adsr env;
    double volume;
    double lowPass = 0.0;      // Hz, 0: none
    double highPass = 0.0;     // Hz, 0: none
    std::vector<int> arp = {}; // semitone steps taken in turn
    double arpStep = 0.0;      // seconds per step
    double vibDepth = 0.0;     // semitones
    double vibRate = 0.0;      // Hz
    double tremolo = 0.0;      // depth 0..1 at vibRate
};

struct Effect {
    const char* role;
    double level;  // the peak the effect is scaled to
    std::vector<Layer> layers;
    double drive = 0.0;  // > 0: the layers' sum is saturated (tanh) by this gain, so a short
                         // effect carries more loudness under the same peak
};

// Envelope shorthands.
constexpr Adsr Blip(double decay) { return {0.002, decay, 0.0, 0.01}; }
constexpr Adsr Held(double attack, double release) { return {attack, 0.05, 1.0, release}; }

const std::vector<Effect>& Effects() {
    static const std::vector<Effect> effects = {
        // 0: the menu cursor moves, or a hit glances off a guard.
        {"cursor", 0.45, {{Wave::Square, 0, 0.045, 1320, 1320, Blip(0.03), 0.30, 5000}}},
        // 1: confirm, and picking an item up.
        {"confirm", 0.55, {{Wave::Square, 0, 0.16, 988, 988, {0.002, 0.06, 0.5, 0.04}, 0.28, 6000, 0,
                      {0, 7, 12}, 0.045}}},
        // 2: cancel, and a notice window opening.
        {"cancel", 0.50, {{Wave::Triangle, 0, 0.16, 784, 784, {0.002, 0.06, 0.6, 0.04}, 0.45, 0, 0,
                     {0, -5}, 0.06}}},
        // 3: the snapshot's shutter.
        {"snapshot", 0.60, {{Wave::Noise, 0, 0.03, 9000, 9000, Blip(0.012), 0.45, 0, 2500},
                      {Wave::Noise, 0.07, 0.05, 7000, 7000, Blip(0.02), 0.35, 8000, 1500},
                      {Wave::Square, 0.07, 0.02, 2200, 1800, Blip(0.01), 0.10, 6000}}},
        // 4: an icon or a collection item is unlocked.
        {"unlock", 0.60, {{Wave::Triangle, 0, 0.62, 1047, 1047, {0.002, 0.08, 0.5, 0.2}, 0.40, 0, 0,
                     {0, 4, 7, 12, 16}, 0.07},
                    {Wave::Sine, 0.28, 0.34, 2093, 2093, Blip(0.22), 0.18, 0, 0, {}, 0, 0.1, 6}}},
        // 5: a spade in the ground (digging and filling in alike), a shot, the roulette's tick:
        // a bright scrape over a short thump, saturated so that it cuts through the music.
        {"spade", 0.89, {{Wave::Noise, 0, 0.1, 9000, 9000, {0.001, 0.06, 0.3, 0.04}, 0.7, 8000, 1500},
                   {Wave::Sine, 0, 0.11, 260, 110, {0.001, 0.06, 0.25, 0.04}, 0.8},
                   {Wave::Square, 0, 0.04, 1200, 700, Blip(0.03), 0.3, 5000}}, 2.4},
        // 6: a seed thrown, a hidden item coming up.
        {"bloop", 0.70, {{Wave::Sine, 0, 0.2, 330, 990, {0.003, 0.12, 0.3, 0.05}, 0.55}}},
        // 7: a breeder comes back to life.
        {"revive", 0.70, {{Wave::Saw, 0, 0.42, 180, 720, {0.03, 0.2, 0.6, 0.12}, 0.25, 2200, 0, {}, 0,
                     0.4, 9}}},
        // 8: a walker falls into a hole: a falling whistle and a bump, loud enough to hear
        // over the music that the trap worked.
        {"fall", 0.89, {{Wave::Triangle, 0, 0.32, 1400, 300, {0.002, 0.2, 0.5, 0.06}, 0.45},
                  {Wave::Sine, 0.26, 0.12, 120, 60, Blip(0.06), 0.6}}, 2.0},
        // 9: a walker is buried (and the roulette's empty slot): earth thrown in and a chime
        // for the points, as loud as the spade.
        {"bury", 0.89, {{Wave::Noise, 0, 0.18, 900, 300, Blip(0.09), 0.45, 900},
                  {Wave::Sine, 0, 0.2, 160, 70, Blip(0.1), 0.55},
                  {Wave::Square, 0.12, 0.1, 660, 880, Blip(0.05), 0.14, 4000}}, 2.0},
        // 10: a walker climbs out of its hole (and a poisoned player): a pop, then a springy
        // rising boing, saturated so that it stands out over the music.
        {"boing", 0.89, {{Wave::Noise, 0, 0.04, 7000, 7000, Blip(0.025), 0.5, 8000, 2000},
                    {Wave::Triangle, 0.01, 0.4, 200, 900, {0.003, 0.25, 0.7, 0.08}, 0.7, 0, 0, {}, 0,
                     1.2, 16},
                    {Wave::Square, 0.01, 0.34, 400, 1800, {0.003, 0.2, 0.6, 0.08}, 0.22, 3500, 0, {},
                     0, 1.2, 16}}, 2.5},
        // 11: an explosion.
        {"blast", 0.85, {{Wave::Noise, 0, 0.8, 2400, 400, {0.002, 0.3, 0.0, 0.05}, 0.75, 2600},
                   {Wave::Sine, 0, 0.45, 110, 38, {0.002, 0.22, 0.0, 0.05}, 0.65}}},
        // 12: an area's goal reached.
        {"goal", 0.70, {{Wave::Square, 0, 0.6, 784, 784, {0.002, 0.1, 0.6, 0.15}, 0.22, 5000, 0,
                   {0, 4, 7, 11, 12, 16, 19, 24}, 0.05},
                  {Wave::Sine, 0.4, 0.3, 3136, 3136, Blip(0.2), 0.12}}},
        // 13: a switch, a bonus in the tally.
        {"ding", 0.70, {{Wave::Sine, 0, 0.45, 1319, 1319, Blip(0.3), 0.45},
                  {Wave::Sine, 0, 0.45, 1976, 1976, Blip(0.18), 0.25},
                  {Wave::Triangle, 0, 0.03, 2637, 2637, Blip(0.015), 0.15}}},
        // 14: the countdown beep of the last ten seconds.
        {"beep", 0.42, {{Wave::Square, 0, 0.1, 1046, 1046, {0.002, 0.05, 0.8, 0.02}, 0.28, 6000}}},
        // 15: something drops from the sky (time over, the title's entrance).
        {"drop", 0.70, {{Wave::Triangle, 0, 0.42, 1600, 420, {0.01, 0.2, 0.7, 0.05}, 0.4},
                  {Wave::Noise, 0.4, 0.14, 900, 300, Blip(0.07), 0.4, 1200},
                  {Wave::Sine, 0.4, 0.14, 90, 50, Blip(0.08), 0.5}}},
        // 16: through a doorway to another area.
        {"door", 0.70, {{Wave::Noise, 0, 0.36, 3000, 3000, {0.08, 0.2, 0.6, 0.12}, 0.35, 1400, 300},
                  {Wave::Sine, 0, 0.3, 240, 480, {0.05, 0.2, 0.5, 0.1}, 0.25}}},
        // 17: a large enemy or a breeder is destroyed.
        {"crash", 0.89, {{Wave::Noise, 0, 1.5, 3000, 200, {0.002, 0.7, 0.0, 0.1}, 0.7, 3000},
                   {Wave::Sine, 0, 1.0, 90, 30, {0.002, 0.5, 0.0, 0.1}, 0.6},
                   {Wave::Noise, 0.18, 0.6, 1500, 400, Blip(0.3), 0.4, 1800}}},
        // 18: an extra life.
        {"extra life", 0.70, {{Wave::Square, 0, 0.66, 1047, 1047, {0.002, 0.08, 0.6, 0.15}, 0.22, 6000,
                         0, {0, 4, 7, 12, 16, 19, 24}, 0.07}}},
        // 19: the game starts from the title.
        {"start", 0.70, {{Wave::Saw, 0, 0.7, 523, 523, {0.005, 0.3, 0.4, 0.25}, 0.14, 3500},
                   {Wave::Saw, 0, 0.7, 659, 659, {0.005, 0.3, 0.4, 0.25}, 0.12, 3500},
                   {Wave::Saw, 0, 0.7, 784, 784, {0.005, 0.3, 0.4, 0.25}, 0.12, 3500},
                   {Wave::Noise, 0, 0.5, 2000, 2000, {0.2, 0.1, 0.6, 0.2}, 0.12, 6000, 2000}}},
        // 20: a stamping stone lands.
        {"stamp", 0.85, {{Wave::Sine, 0, 0.4, 85, 38, {0.001, 0.22, 0.0, 0.05}, 0.85},
                   {Wave::Noise, 0, 0.25, 1200, 300, Blip(0.1), 0.45, 700}}},
        // 21: the evening bell, long enough to lower the music while it rings.
        {"evening bell", 0.70, {{Wave::Sine, 0, 4.6, 196, 196, {0.004, 2.6, 0.0, 0.6}, 0.45, 0, 0, {}, 0,
                           0.0, 1.7, 0.18},
                          {Wave::Sine, 0, 3.8, 541, 541, {0.004, 1.8, 0.0, 0.5}, 0.22},
                          {Wave::Sine, 0, 2.6, 1058, 1058, {0.003, 1.0, 0.0, 0.4}, 0.12},
                          {Wave::Noise, 0, 0.05, 3000, 3000, Blip(0.02), 0.12, 2500}}},
        // 22: morning birds.
        {"birds", 0.50, {{Wave::Sine, 0, 0.09, 2600, 3600, Blip(0.06), 0.35},
                   {Wave::Sine, 0.13, 0.09, 2700, 3800, Blip(0.06), 0.32},
                   {Wave::Sine, 0.36, 0.16, 3400, 2500, {0.005, 0.1, 0.3, 0.04}, 0.3, 0, 0, {}, 0,
                    0.6, 30}}},
        // 23: the boss's heavy footfall.
        {"rumble", 0.80, {{Wave::Noise, 0, 0.6, 600, 200, {0.002, 0.3, 0.0, 0.05}, 0.7, 320},
                    {Wave::Sine, 0, 0.5, 60, 40, {0.002, 0.3, 0.0, 0.05}, 0.7}}},
        // 24: a hop.
        {"hop", 0.50, {{Wave::Sine, 0, 0.11, 300, 560, Blip(0.08), 0.5}}},
        // 25: a warning.
        {"alarm", 0.36, {{Wave::Square, 0, 0.6, 880, 880, Held(0.005, 0.03), 0.2, 3000, 0,
                    {0, -4, 0, -4}, 0.15}}},
        // 26: the boss launches its satellites.
        {"zap", 0.70, {{Wave::Saw, 0, 0.26, 1700, 180, {0.002, 0.15, 0.3, 0.05}, 0.28, 4500},
                 {Wave::Square, 0, 0.2, 1750, 190, Blip(0.1), 0.1, 3000}}},
        // 27: a power-up.
        {"power up", 0.70, {{Wave::Square, 0, 0.5, 523, 1046, {0.002, 0.1, 0.6, 0.1}, 0.22, 5000, 0,
                       {0, 4, 7, 12, 4, 7, 12, 16}, 0.05}}},
        // 28: a bright ping.
        {"ping", 0.70, {{Wave::Sine, 0, 0.32, 1760, 1760, Blip(0.2), 0.4},
                  {Wave::Sine, 0, 0.32, 2640, 2640, Blip(0.12), 0.2}}},
        // 29: a thrown bomb lands.
        {"bomb", 0.80, {{Wave::Noise, 0, 0.5, 1800, 500, {0.002, 0.2, 0.0, 0.05}, 0.6, 2000},
                  {Wave::Sine, 0, 0.35, 160, 60, Blip(0.15), 0.55}}},
    };
    return effects;
}

std::vector<float> RenderEffect(const Effect& effect) {
    double total = 0.0;
    for (const Layer& l : effect.layers) total = std::max(total, l.start + l.length);
    const size_t n = static_cast<size_t>(std::ceil(total * kSoundEffectRate)) + 1;
    std::vector<float> out(n, 0.0f);
    uint32_t seed = 0x1234567u;
    for (const Layer& l : effect.layers) {
        Oscillator osc;
        osc.wave = l.wave;
        osc.noise = (seed = seed * 69069u + 1u);
        OnePole lp1, lp2, hp;
        const size_t first = static_cast<size_t>(l.start * kSoundEffectRate);
        const size_t count = static_cast<size_t>(l.length * kSoundEffectRate);
        const double held = std::max(0.0, l.length - l.env.release);
        for (size_t i = 0; i < count && first + i < n; ++i) {
            const double t = static_cast<double>(i) / kSoundEffectRate;
            double f = l.f0 * std::pow(l.f1 / l.f0, t / l.length);
            if (!l.arp.empty() && l.arpStep > 0) {
                const size_t k = std::min(static_cast<size_t>(t / l.arpStep), l.arp.size() - 1);
                f *= std::pow(2.0, l.arp[k] / 12.0);
            }
            if (l.vibDepth > 0)
                f *= std::pow(2.0, l.vibDepth * std::sin(2 * kPi * l.vibRate * t) / 12.0);
            double v = osc.Next(f, kSoundEffectRate);
            if (l.lowPass > 0) v = lp2.LowPass(lp1.LowPass(v, l.lowPass, kSoundEffectRate),
                                               l.lowPass, kSoundEffectRate);
            if (l.highPass > 0) v = hp.HighPass(v, l.highPass, kSoundEffectRate);
            double amp = l.env.Level(t, held) * l.volume;
            if (l.tremolo > 0) amp *= 1.0 - l.tremolo * (0.5 + 0.5 * std::sin(2 * kPi * l.vibRate * t));
            out[first + i] += static_cast<float>(v * amp);
        }
    }
    if (effect.drive > 0) {
        double peak = 0;
        for (float v : out) peak = std::max(peak, std::fabs(static_cast<double>(v)));
        if (peak > 0)
            for (float& v : out)
                v = static_cast<float>(std::tanh(effect.drive * v / peak) * peak);
    }
    // Each effect at its own loudness (never above -1 dB), and a last few samples that glide
    // to silence.
    const SignalStats stats = MeasureSignal(out);
    const double scale = stats.peak > 0 ? std::min(effect.level, 0.89) / stats.peak : 1.0;
    const size_t fade = std::min<size_t>(n, 64);
    for (size_t i = 0; i < n; ++i) {
        double g = scale;
        if (i >= n - fade) g *= static_cast<double>(n - 1 - i) / static_cast<double>(fade);
        out[i] = static_cast<float>(out[i] * g);
    }
    return out;
}

bool RunSounds(const std::string& outDir) {
    const std::vector<Effect>& effects = Effects();
    if (effects.size() != velmora::kSeCount) {
        std::fprintf(stderr, "databuild: %zu sound effects defined, %d expected\n", effects.size(),
                     velmora::kSeCount);
        return false;
    }
    for (int i = 0; i < velmora::kSeCount; ++i) {
        const std::vector<float> samples = RenderEffect(effects[i]);
        char name[32];
        std::snprintf(name, sizeof name, "velm3/se%02d.wav", i);
        if (!WriteFileAtomic(JoinPath(outDir, name),
                             MakeWaveFile(ToPcm16(samples), kSoundEffectRate, 1)))
            return false;
    }
    return true;
}

RegisterProducer reg("sounds", 20, RunSounds);

}  // namespace
}  // namespace databuild
// clang-format on
