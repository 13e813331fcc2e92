// One frame of the play field's draws: the object walk queueing the tile map, the stage objects,
// the player and the HUD, on the built-in area that queues the most records, at 640 x 480 and
// 1920 x 1080. Reports the records the frame takes of the list's 8,000.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/play/combat.h"
#include "game/play/draw.h"
#include "game/play/hud.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace {

using namespace velmora;

constexpr int kBuiltInStages = 5;

// Area `area` of built-in stage `stage` in play, as the game sets it up; false when it has none.
bool BuildArea(int stage, int area) {
    ResetAllObjects();
    if (LoadBuiltInStage(stage) != 0 || GetAreaWordOf(area, 0) < 1) return false;
    SelectArea(area);
    const int master = SpawnObject(0, 0, 24, 0, 0x20000001);
    SetFieldBits(kPropFlags, master, kFlagKeep);
    SetMasterObject(master);
    SetConfigVar(33, GetConfigVar(33) | 0x10);
    SetGameVar(kGameVarPhase, 5);
    SetGameVar(kGameVarSky, static_cast<int32_t>(0x3f3fffffu));  // night, with fog
    SetGameVar(120, 18000);
    SetGameVar(104, 100000);
    SetGameVar(96, 12345);
    SetGameVar(110, 5);
    SetGameVar(111, 60);
    SetConfigVar(21, 3);
    SpawnObject(0, 0, 5, kDrawKindTileMap, 0x20000002);
    const int32_t entry = GetAreaWord(8);
    const int player = SpawnPlayer((entry >> 16) * 32, (entry & 0xffff) * 32, 0, 0);
    SetField(99, player, 2);
    SetField(101, player, 500);  // invincible: the curtain is the busiest player draw
    int w = 0, h = 0;
    GetAreaSize(&w, &h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int32_t cell = GetCell(x, y);
            if (!(cell & static_cast<int32_t>(kCellSpawn))) continue;
            const int o = SpawnStageObject(
                32 * x, 32 * y, 9, StageTypeOfEditorIndex((cell >> kCellObjectShift) & 0xff));
            if (o > 0) SetField(kPropVariant, o, (cell >> kCellVariantShift) & 0x7f);
        }
    return true;
}

int DrawFrame() {
    ResetDrawList();
    UpdateObjects();
    return GetDrawRecordCount() - kDrawListHeads;
}

void Setup(int width, int height) {
    static bool once = false;
    if (!once) {
        once = true;
        if (chdir(GAME_RUN_DIR) != 0) std::fprintf(stderr, "cannot enter %s\n", GAME_RUN_DIR);
        InstallDrawRoutines();
        ObjectWalkHooks hooks = DefaultObjectWalkHooks();
        hooks.drawObject = &DrawObject;
        hooks.drawHud = &DrawHud;
        SetObjectWalkHooks(hooks);
    }
    SetScreenMode(width, height, 32, 60);
}

void BM_PlayFrameDraws(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    Setup(width, height);
    int w = 0, h = 0;
    GetScreenExtent(&w, &h);
    // The busiest area of all the built-in stages.
    int best = -1, bestStage = 0, bestArea = 0;
    for (int s = 0; s < kBuiltInStages; ++s)
        for (int a = 0; a < 12; ++a) {
            if (!BuildArea(s, a)) continue;
            const int n = DrawFrame();
            if (n > best) best = n, bestStage = s, bestArea = a;
        }
    if (best < 0 || !BuildArea(bestStage, bestArea)) {
        state.SkipWithError("no built-in stage to draw");
        return;
    }
    int records = 0;
    for (auto _ : state) {
        records = DrawFrame();
        benchmark::DoNotOptimize(records);
    }
    state.counters["screen_w"] = w;
    state.counters["stage"] = bestStage;
    state.counters["area"] = bestArea;
    state.counters["records"] = records;
    state.counters["of_8000_pct"] = 100.0 * records / kDrawRecords;
}

BENCHMARK(BM_PlayFrameDraws)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
