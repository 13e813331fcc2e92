// Menu windows: every menu, screen and notice is an object of class 1 in the object pool, run by
// the object walk like everything else. Here are the window's properties, the menu descriptor
// table, the window stack with the current window, opening and closing, the class routine that
// runs a window by its kind, the shared item list, cursor movement, confirm and cancel, and the
// run glue that play and the menus call when a run starts, ends or restarts.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr int32_t kWindowClass = 0x10000000;
inline constexpr int kWindowKinds = 32;
inline constexpr int kMenuDescriptors = 32;
inline constexpr int kMenuDescriptorWords = 6;
inline constexpr int kMenuChildEntries = 79;
inline constexpr int kWindowLevels = 16;
inline constexpr int kWindowLayer = 24;

// Window kinds with a screen of their own.
enum WindowKind : int32_t {
    kWindowTitle = 1,
    kWindowPause = 2,
    kWindowOptions = 3,
    kWindowKeyConfig = 4,
    kWindowModeSelect = 5,
    kWindowCollection = 6,
    kWindowResult = 11,
    kWindowRoulette = 12,
    kWindowItemGet = 14,
};

// Window properties beside the pool's own.
inline constexpr int kPropWinConfirmed = 26;
inline constexpr int kPropWinTimer = 27;
inline constexpr int kPropWinFirstText = 28;
inline constexpr int kPropWinCursor = 29;
inline constexpr int kPropWinCount = 30;
inline constexpr int kPropWinDescriptor = 31;  // descriptor index x 6
inline constexpr int kPropWinLines = 33;
inline constexpr int kPropWinValue = 34;  // a screen's own: item mask, message, second cursor
inline constexpr int kPropWinBand = 47;
inline constexpr uint32_t kFlagModeSelectNoStages = 0x4000;

struct MenuDescriptor {
    int32_t kind;
    int32_t width;
    int32_t items;
    int32_t firstText;
    int32_t helpText;
    int32_t childBase;
};
extern const MenuDescriptor MenuDescriptorTable[kMenuDescriptors];
extern const int32_t MenuChildTable[kMenuChildEntries];

// The current window: the one that takes input. 0 at program start, -1 after a failed open.
int GetCurrentWindow();
int GetWindowDepth();  // -1 when no menu level is open

// Opening and closing. Each open answers the slot, or -1 (and the current window -1) when the
// pool is full.
int OpenMenuWindow(int x, int y, int xOffset, int yOffset, int parent, int32_t descriptor);
int OpenPlainWindow(int x, int y, int32_t kind);
// The object walk calls it for each dead window just before freeing it.
void CloseWindow(int slot);
int CloseWindows(int n);
// Empties the stack and the whole object pool; the current window becomes 0.
void CloseAllWindows();

// The current window's properties; nothing (0) unless it names a live window.
int32_t GetWindowField(int n);
void SetWindowField(int n, int32_t v);

// The stack's level records.
void ResetWindowStack();
int PushWindowLevel();
int PopWindowLevel();
void SetTopCursorRecord(int32_t cursor);
int32_t GetTopCursorRecord();
int32_t GetCursorRecordAt(int level);
int32_t GetKindRecordAt(int level);
void SaveWindowStack();
void RestoreWindowStack();
void ClearSavedWindowStack();

// Items and input.
void DrawMenuItems(int x, int y, int width, int firstText, int count, int cursor, bool current);
void DrawHelpBar(int descriptorOffset, int textOffset);
void MoveMenuCursor();
bool IsConfirmPressed(bool withSound);
bool IsCancelPressed();

// The class routine of class 1, and the list menu that every kind without a screen runs.
void DispatchWindowObject(int slot);
void UpdateListMenuWindow(int w);
// Puts the window routines into the pool's tables.
void InstallWindowRoutines();

// Run glue.
void ApplyRunSettings();
void StoreRunResults();
void RestartRun();
int OpenItemGetWindow(int n);  // n: message number + 1, 1..96
// The result window after stage k (kept to 0..4), with the music for it; the slot or -1.
int OpenResultWindow(int k);
int OpenPauseMenu();

}  // namespace velmora
