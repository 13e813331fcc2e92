// The game's draw list: a frame's worth of queueing, with and without depth sorting (a linear
// walk per insertion within one list).
#include <benchmark/benchmark.h>

#include <cstdint>

#include "game/core/draw_list.h"

namespace {

void Queue(benchmark::State& state, bool depth, int layers) {
    const int count = static_cast<int>(state.range(0));
    uint32_t seed = 12345;
    for (auto _ : state) {
        velmora::ResetDrawList();
        for (int i = 0; i < count; ++i) {
            seed = seed * 1103515245u + 12345u;
            const int layer = static_cast<int>(seed >> 8) % layers;
            if (depth) {
                velmora::QueueSpriteAtDepth(0, 0, layer, 600, static_cast<int32_t>(seed >> 20));
            } else {
                velmora::QueueSprite(0, 0, layer, 600);
            }
        }
        benchmark::DoNotOptimize(velmora::GetDrawRecordCount());
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_QueuePlain(benchmark::State& state) {
    Queue(state, false, 1);
}
void BM_QueueDepthOneLayer(benchmark::State& state) {
    Queue(state, true, 1);
}
void BM_QueueDepthTenLayers(benchmark::State& state) {
    Queue(state, true, 10);
}

BENCHMARK(BM_QueuePlain)->Arg(500)->Arg(7935);
BENCHMARK(BM_QueueDepthOneLayer)->Arg(500)->Arg(2000)->Arg(7935);
BENCHMARK(BM_QueueDepthTenLayers)->Arg(500)->Arg(7935);

}  // namespace

BENCHMARK_MAIN();
