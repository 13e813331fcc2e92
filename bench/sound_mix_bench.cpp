// The software mixer making one second of 44.1 kHz 16-bit stereo from 1, 8 or 32 looping
// voices, reported as a multiple of real time ("x_realtime": seconds of sound mixed per second).
// Voices are 16-bit stereo at 44.1 kHz (no conversion) or 16-bit mono at 22.05 kHz (interpolated
// to the device rate), each at a volume below full. SDL_MixAudioFormat summing the same number of
// voices that are already 16-bit stereo at 44.1 kHz, at half volume, is the yardstick.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "platform/dsound/dsound.h"
#include "platform/testing.h"

namespace {

constexpr int kSecond = 44100;

struct Mixer {
    plat::IDirectSound* device = nullptr;
    std::vector<plat::IDirectSoundBuffer*> voices;

    Mixer(int count, bool converted) {
        plat::testing::UseSteppedMixer(true);
        plat::CreateDirectSound(&device);
        device->Initialize(nullptr);
        const plat::WORD channels = converted ? 1 : 2;
        const plat::DWORD rate = converted ? 22050 : 44100;
        plat::WAVEFORMATEX f{
            1, channels, rate, rate * 2 * channels, static_cast<plat::WORD>(2 * channels), 16, 0};
        const plat::DWORD bytes = rate * f.nBlockAlign;  // one second each
        for (int v = 0; v < count; ++v) {
            plat::DSBUFFERDESC d{sizeof(plat::DSBUFFERDESC), 0x80E2, bytes, 0, &f, {}};
            plat::IDirectSoundBuffer* b = nullptr;
            device->CreateSoundBuffer(&d, &b, nullptr);
            void *p1, *p2;
            plat::DWORD n1, n2;
            b->Lock(0, bytes, &p1, &n1, &p2, &n2, 0);
            auto* s = static_cast<int16_t*>(p1);
            for (plat::DWORD i = 0; i < n1 / 2; ++i)
                s[i] = static_cast<int16_t>(3000 * std::sin(0.01 * (v + 1) * i));
            b->Unlock(p1, n1, p2, n2);
            b->SetVolume(-600);
            b->Play(0, 0, plat::DSBPLAY_LOOPING);
            voices.push_back(b);
        }
    }
    ~Mixer() {
        for (auto* b : voices) b->Release();
        device->Release();
    }
};

void MixVoices(benchmark::State& state, bool converted) {
    Mixer mixer(static_cast<int>(state.range(0)), converted);
    for (auto _ : state) {
        std::vector<int16_t> out = plat::testing::StepMixer(kSecond);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_mix_44k_stereo(benchmark::State& state) {
    MixVoices(state, false);
}
void BM_mix_22k_mono(benchmark::State& state) {
    MixVoices(state, true);
}

void BM_sdl_mix_44k_stereo(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<std::vector<int16_t>> voices(count, std::vector<int16_t>(kSecond * 2));
    for (int v = 0; v < count; ++v)
        for (size_t i = 0; i < voices[v].size(); ++i)
            voices[v][i] = static_cast<int16_t>(3000 * std::sin(0.01 * (v + 1) * (i / 2)));
    std::vector<int16_t> out(kSecond * 2);
    for (auto _ : state) {
        std::fill(out.begin(), out.end(), 0);
        for (const auto& v : voices)
            SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()),
                               reinterpret_cast<const Uint8*>(v.data()), AUDIO_S16SYS,
                               static_cast<Uint32>(out.size() * 2), SDL_MIX_MAXVOLUME * 1 / 2);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_mix_44k_stereo)->Arg(1)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_mix_22k_mono)->Arg(1)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_sdl_mix_44k_stereo)->Arg(1)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
