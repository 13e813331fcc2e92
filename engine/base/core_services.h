// What the engine core offers the subsystems below it, as a table of functions the core fills
// at start-up: the pump pass, the inactive wait, and what the subsystems need to know of the
// window and its thread (the fatal end is engine/base/fatal.h). Until the core fills it, each
// entry does the harmless thing: no pump, no wait, active, no close, no window, the
// performance counter's microseconds, Shift-JIS.
#pragma once

#include <cstdint>

#include "platform/win/types.h"

namespace tessra {

struct CoreServiceTable {
    int (*processMessageBody)();  // 0, or -1 once the program is quitting
    void (*waitWhileInactive)();
    int (*isCloseRequested)();
    int (*isApplicationActive)();
    plat::HWND (*getEngineWindowBody)();
    uint32_t (*mainThreadId)();
    uint64_t (*microsecondCount)();  // the engine's chosen clock
    int (*engineCharsetIndex)();     // 2 on a code page 949 system, else 1
};

void InstallCoreServices(const CoreServiceTable& table);
const CoreServiceTable& Core();

}  // namespace tessra
