// The program from entry to shut-down: the data-file size test, the settings, the screen set-up
// before the engine starts, the engine settings after, the loading screen, the resources, and the
// outer loop of scene set-up and play.
#pragma once

#include <cstdint>

namespace velmora {

// Start-up failures, each shown as "Error:%04d" before the program ends.
enum FatalCode : int {
    kFatalDataFiles = 57,
    kFatalNoSettings = 23,
    kFatalEngine = 126,
};

inline constexpr int kDataFileCount = 5;
extern const int64_t kDataFileSizes[kDataFileCount];

struct WindowSize {
    int width;
    int height;
};
inline constexpr int kWindowSizeCount = 8;
extern const WindowSize kWindowSizes[kWindowSizeCount];

// The program's entry, starting on the given scene code (the title, or the stage editor):
// -1 when start-up failed, else 0.
int RunGame(int32_t firstScene = 0);

int InitGame();            // 0, or -1 after the fatal box
int CheckDataFileSizes();  // 0 when all five files have their sizes
void SetUpScreen();
// Row n of the window-size table; a row outside 0..7 gives 640 x 480.
WindowSize SelectWindowSize(int n);
void GetDesktopSize(int* width, int* height);
void ApplyScreenMode();
int ApplyArchiveKey(int32_t number);
bool LoadAllResources();  // false when the pictures cannot be made
void ShutdownGame();
// The outer loop of scene set-up and play from the given code: the code that ended it (-1 for a
// quit, below -1 for a restart).
int32_t RunScenes(int32_t firstScene);
// Shuts the engine down and, after a restart code, starts the program again.
void EndGame(int32_t lastScene);
int ShowFatalError(int code);

// The loading screen.
void TickLoadingScreen();
void FinishLoadingScreen();
int GetLoadingFrames();

// Fills the pool's routine tables and the walk's hooks with the game's routines.
void InstallGameRoutines();

}  // namespace velmora
