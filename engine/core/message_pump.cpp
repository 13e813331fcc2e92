// The one message pump with its per-pass services, the inactive pause, the message thread, and
// the engine's waits and clocks.
#include <atomic>
#include <cstdint>

#include "engine/base/message_pump_hook.h"
#include "engine/core/engine_lock.h"
#include "engine/core/engine_system.h"
#include "engine/core/network.h"
#include "engine/core/window.h"
#include "engine/graphics/graphics_core.h"
#include "engine/input/input.h"
#include "engine/screen/screen.h"
#include "engine/sound/sound.h"
#include "engine/tessra.h"
#include "platform/win/messages.h"
#include "platform/win/system.h"
#include "platform/win/thread.h"
#include "platform/win/time.h"

namespace tessra {
namespace {

constexpr int kMessagesPerPass = 5;

std::atomic<uint32_t> g_messageThreadGeneration{0};
std::atomic<int> g_runningMessageThreads{0};

bool OnMainThread() {
    return plat::GetCurrentThreadId() == GetSystemStateBlock()->run.mainThreadId;
}

// Takes the next message the pump handles: a pending screen-saver command first, then the
// thread's own messages, then the main window's.
bool TakeMessage(plat::MSG* msg, plat::HWND window) {
    if (plat::PeekMessageA(msg, nullptr, 0, 0, plat::PM_NOREMOVE) &&
        msg->message == plat::WM_SYSCOMMAND && msg->wParam == plat::SC_SCREENSAVE) {
        return plat::PeekMessageA(msg, nullptr, plat::WM_SYSCOMMAND, plat::WM_SYSCOMMAND,
                                  plat::PM_REMOVE) != 0;
    }
    if (plat::PeekMessageA(msg, plat::ThreadMessagesOnly(), 0, 0, plat::PM_REMOVE)) return true;
    return window != nullptr && plat::PeekMessageA(msg, window, 0, 0, plat::PM_REMOVE);
}

void RunPumpServices() {
    EngineRuntimeState& run = GetSystemStateBlock()->run;
    RefillAllStreamSounds();
    PollDirectMusicPlayStates();
    UpdateVibrationTimers();
    PumpNetworkMessages(1);
    StepAllHttpTransfers();
    run.pumpBusy = 1;
    UpdateActiveKeyInput();
    run.pumpBusy = 0;
}

}  // namespace

int ProcessMessageBody() {
    EngineSettings& set = GetSystemStateBlock()->settings;
    EngineRuntimeState& run = GetSystemStateBlock()->run;
    if (run.pumpBusy) return 0;

    if (!set.windowless && !set.userWindow) {
        if (run.window == nullptr) return run.quit == 1 ? -1 : 0;
        const bool mainThread = OnMainThread();
        if (run.switchRequest && set.userMaySwitchWindowMode && mainThread) {
            run.switchRequest = 0;
            ChangeWindowModeBody(set.windowMode == 1 ? 0 : 1);
            if (set.windowModeSwitched != nullptr)
                set.windowModeSwitched(set.windowModeSwitchedArgument);
        }

        bool dispatchedLastPass = true;
        for (;;) {
            if (run.closeRequested || run.active || set.runWhenInactive) {
                if (!dispatchedLastPass || run.quit == 1) break;
            }
            if (!run.active && !set.runWhenInactive) {
                if (!run.inactiveFlag) {
                    run.inactiveStartTime = plat::timeGetTime();
                    run.inactiveFlag = 1;
                }
                plat::Sleep(1);
            }

            bool leave = false;
            dispatchedLastPass = false;
            int count = 0;
            plat::MSG msg{};
            while (TakeMessage(&msg, run.window)) {
                if (msg.message == plat::WM_ACTIVATEAPP) run.active = plat::LOWORD(msg.wParam);
                if (run.quit == 1) {
                    leave = true;
                    break;
                }
                if (msg.message == plat::WM_QUIT) run.quit = 1;
                plat::TranslateMessage(&msg);
                plat::DispatchMessageA(&msg);
                dispatchedLastPass = true;
                if (++count == kMessagesPerPass) break;
            }
            if (leave) break;

            if (!run.active) {
                PumpNetworkMessages(1);
                StepAllHttpTransfers();
                RefillAllStreamSounds();
                plat::Sleep(1);
            }
            if (run.quit == 1 || !mainThread) break;
        }
        if (mainThread && !set.menuAutoShowOff) UpdateMenuAutoShow();
    }

    RunPumpServices();
    return run.quit == 1 ? -1 : 0;
}

// The subsystems below the core pump through engine/base/message_pump_hook.h.
namespace {
const bool g_pumpHandlerInstalled = (SetMessagePumpHandler(&ProcessMessageBody), true);
}  // namespace

void WaitWhileInactive() {
    EngineSettings& set = GetSystemStateBlock()->settings;
    EngineRuntimeState& run = GetSystemStateBlock()->run;
    if (run.painting || run.active || set.userWindow) return;
    if (set.runWhenInactive && (GetGdiSurfaceModeFlag() || set.windowMode == 1)) return;
    run.inactiveStartTime = plat::timeGetTime();
    run.inactiveFlag = 1;
    while (ProcessMessageBody() == 0 && !run.active) {
    }
    RestoreAllGraphSurfaces();
}

uint32_t NewMessageThreadGeneration() {
    return g_messageThreadGeneration.fetch_add(1) + 1;
}

int CountRunningMessageThreads() {
    return g_runningMessageThreads.load();
}

plat::DWORD RunMessageThread(void* argument) {
    const auto generation = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(argument));
    const auto current = [generation] { return g_messageThreadGeneration.load() == generation; };
    EngineRuntimeState& run = GetSystemStateBlock()->run;
    ++g_runningMessageThreads;
    if (current()) run.messageThreadId = plat::GetCurrentThreadId();
    while (run.quit != 1 && current()) {
        if (EnterEngineLockUnlessQuit(run.quit) != 0) break;
        // An abandoned thread may get the lock long after a new start: it leaves untouched.
        if (!current()) {
            LeaveEngineLockNoYield();
            break;
        }
        const int result = ProcessMessageBody();
        LeaveEngineLockNoYield();
        if (result < 0) break;
        plat::Sleep(17);
    }
    RemoveEngineLockWaiter();
    if (current()) run.threadEnded = 1;
    --g_runningMessageThreads;
    return 0;
}

int WaitMilliseconds(int milliseconds) {
    // Elapsed time is the unsigned difference, so the wait holds across the clock's wrap.
    const uint32_t wait = milliseconds > 0 ? static_cast<uint32_t>(milliseconds) : 0;
    const uint32_t start = GetTimeMs();
    if (ProcessMessage() != 0) return 0;
    while (GetTimeMs() - start < wait) {
        plat::Sleep(1);
        if (ProcessMessage() != 0) break;
    }
    return 0;
}

uint64_t GetMicrosecondCount(int allowTimeStampCounter) {
    const EngineSystemState& state = *GetSystemStateBlock();
    if (state.info.timeStampCounter && allowTimeStampCounter == 1 && state.run.engineStarted &&
        state.info.cpuClockHz > 0.0) {
        const long double us = static_cast<long double>(plat::ReadTimeStampCounter()) * 1000000.0L /
                               static_cast<long double>(state.info.cpuClockHz);
        return static_cast<uint64_t>(us);
    }
    if (state.run.performanceCounter && state.run.performanceFrequency > 0) {
        plat::LARGE_INTEGER counter{};
        plat::QueryPerformanceCounter(&counter);
        const long double us = static_cast<long double>(counter.QuadPart) /
                               static_cast<long double>(state.run.performanceFrequency) *
                               1000000.0L;
        return static_cast<uint64_t>(us);
    }
    return static_cast<uint64_t>(plat::timeGetTime()) * 1000u;
}

int GetLocalDateTimeBody(int* sixInts) {
    plat::SYSTEMTIME t{};
    plat::GetLocalTime(&t);
    sixInts[0] = t.wYear;
    sixInts[1] = t.wMonth;
    sixInts[2] = t.wDay;
    sixInts[3] = t.wHour;
    sixInts[4] = t.wMinute;
    sixInts[5] = t.wSecond;
    return 0;
}

}  // namespace tessra
