// A replay file as the game loads one, then played back: every word the run reads comes from
// the buffer, and the cursor never leaves it whatever the file says.
#include <filesystem>
#include <fstream>

#include "fuzz_support.h"
#include "game/core/input.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitOnce();
    std::filesystem::create_directories("userdata");
    {
        std::ofstream out("userdata/velmrep0000.rpy", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    if (!LoadReplay(0)) return 0;
    StartReplay(kReplayPlayBack);
    ReseedFromReplay();
    // A few areas of a run: each area looks for its record, then reads its frames.
    for (int stage = 0; stage < 4; ++stage) {
        if (SyncReplayArea(kReplayPlayBack, stage) < 0) break;
        for (int frame = 0; frame < 256; ++frame) {
            RecordOrReplayInput(kReplayPlayBack);
            (void)GetReplayInput();
            fuzz::Require(GetReplayCursor() >= 0 && GetReplayCursor() <= kReplayCursorLimit,
                          "the replay cursor left the buffer");
        }
    }
    return 0;
}
