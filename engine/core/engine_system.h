// The engine's window and system state, and the start-up, shut-down, message pump, message
// thread and timing steps that work on it.
//
// The state is split in two: the settings made before start-up (they survive start-up's reset)
// and the run-time state that start-up resets. The engine lock, the log state and the
// allocator's list live apart from both, so the reset never touches them while they are live.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/base/path.h"
#include "platform/win/types.h"

namespace tessra {

inline constexpr int kTitleSize = 256;
inline constexpr int kStartDirSize = static_cast<int>(kFilePathMax);
inline constexpr int kSystemTextSize = 256;

using WindowModeSwitchedCallback = void (*)(void* argument);
using ActivationCallback = void (*)(void* argument);
using MessageHookCallback = plat::LRESULT (*)(plat::HWND window, plat::UINT message,
                                              plat::WPARAM wParam, plat::LPARAM lParam);
using MenuCommandCallback = void (*)(int commandId);
using MenuNameCallback = void (*)(const char* name);

// Set before start-up, by the game or (for the pre-start switches) by nothing in this program.
struct EngineSettings {
    // The game's settings.
    int32_t windowMode;      // 1 window, 0 full screen
    char title[kTitleSize];  // Shift-JIS; empty: "Tessra"
    int32_t iconId;          // 0: the system's default application icon
    double windowScale;      // not above 0 reads as 1.0
    int32_t runWhenInactive;
    char startDirectory[kStartDirSize];

    // Pre-start switches.
    int32_t windowless;
    int32_t userWindow;
    plat::HWND userWindowHandle;
    plat::WNDPROC userWindowProc;  // the program's own procedure, called first
    int32_t skipInput;
    int32_t skipSound;
    int32_t skipGraphics;
    int32_t allowDoubleStart;
    int32_t windowStyleKind;  // 0..6
    int32_t userMaySwitchWindowMode;
    WindowModeSwitchedCallback windowModeSwitched;
    void* windowModeSwitchedArgument;
    int32_t sizableWindow;
    int32_t hiddenWindow;
    int32_t presetX, presetY, usePresetPosition;
    plat::HMENU menu;
    int32_t menuInUse;
    void* acceleratorTable;
    int32_t menuAutoShowOff;
    int32_t menuAlwaysShown;
    MenuCommandCallback menuCommand;
    MenuNameCallback menuName;
    void* toolBar;  // no tool bar window exists in this program
    void* windowRegion;
    MessageHookCallback messageHook;
    ActivationCallback activation;
    void* activationArgument;
    int32_t systemKeyLock;
    char hookLibraryName[kStartDirSize];
    int32_t noPostQuitMessage;
    int32_t closeOnlyAtShutdown;
    int32_t backgroundPicture;  // graph handle; 0: none
};

// What start-up resets. The flags that the main and the message thread share are atomic.
struct EngineRuntimeState {
    plat::HINSTANCE instance;
    plat::HWND window;
    plat::HANDLE messageThread;
    std::atomic<uint32_t> messageThreadId;
    std::atomic<int32_t> threadEnded;
    uint32_t mainThreadId;
    std::atomic<int32_t> quit;
    std::atomic<int32_t> closeRequested;
    std::atomic<int32_t> active;
    uint32_t inactiveStartTime;
    int32_t inactiveFlag;
    int32_t mouseVisibleSetting;
    int32_t mouseShown;
    int32_t desktopWidth, desktopHeight, desktopColorBits;
    uint64_t totalMemory, availableMemory;
    int32_t performanceCounter;  // 1: the clock is the performance counter
    int64_t performanceFrequency;
    uint32_t timerPeriod;  // the multimedia timer's smallest period, ms
    int32_t comInitialised;
    std::atomic<int32_t> ending;  // 1 shut-down began; 4 the window was closed from outside
    int32_t starting;
    int32_t engineStarted;
    int32_t windowBeingMade;
    int32_t charsetMode;  // 2 on a Korean system, else 1
    // Window fields.
    int32_t clientLeft, clientTop, clientRight, clientBottom;
    int32_t styleApplied;
    int32_t modeChange;
    std::atomic<int32_t> displayChanged;
    int32_t painting;
    int32_t surfacesLost;
    int32_t switchRequest;
    int32_t pumpBusy;
};

// Written by the system-information step of start-up; survives the reset.
struct EngineSystemInfo {
    char osText[kSystemTextSize];
    int32_t osKind;
    int32_t directXVersion;
    int32_t mmx;
    int32_t timeStampCounter;
    double cpuClockHz;
};

struct EngineSystemState {
    EngineSettings settings;
    EngineSystemInfo info;
    EngineRuntimeState run;
};

// The one block. Tests read and steer it; the engine passes it to nobody else.
EngineSystemState* GetSystemStateBlock();
// Zeroes the run-time state; the settings stay.
void ResetRuntimeState();

// Start-up and shut-down.
int StartEngineBody();
int ShutdownEngineBody();
int InitWindowSystem();
int TerminateWindow();
int LogSystemInfo();
int InitCom();
[[noreturn]] void FatalError(const char* text);
[[noreturn]] void FatalErrorFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The start-up clock test, apart from the clocks it reads so that its rule can be tried on
// scripted ones: the performance counter, the millisecond timer, and a pump pass (non-zero ends
// the test).
struct ClockProbe {
    int64_t (*readCounter)(void* context);
    uint32_t (*readMilliseconds)(void* context);
    int (*pump)(void* context);
    void* context;
};
struct ClockRace {
    int timerChanges;
    int counterChanges;
    bool counterChosen;
};
// Counts the changes of each clock until one of them has changed 60 times, 1,000 ms have passed
// by the timer, or the pump ends it; the clock that changed more often wins, a tie goes to the
// performance counter.
ClockRace RaceClocks(const ClockProbe& probe);

// The message pump and the message thread.
int ProcessMessageBody();
void WaitWhileInactive();
// The message thread's body; its argument is the generation it was started for (see below).
plat::DWORD RunMessageThread(void* argument);
// A new message-thread generation: every thread of an older one ends at its next pass, so a
// thread abandoned by a shut-down can never pump again beside a later start's thread.
uint32_t NewMessageThreadGeneration();
// Message threads whose body has not returned yet, abandoned ones included.
int CountRunningMessageThreads();
int WaitMilliseconds(int milliseconds);
uint64_t GetMicrosecondCount(int allowTimeStampCounter);
int GetLocalDateTimeBody(int* sixInts);

// How long shut-down and the window-mode switch wait at most for something that should come
// at once (the window's end, the message thread's end, a display-change message).
inline constexpr uint32_t kBoundedWaitMs = 1500;

}  // namespace tessra
