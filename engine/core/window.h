// The engine's main window: its window procedure, the switch between window mode and full
// screen, styles and sizes, the mouse cursor, the window-setting bodies behind the public calls
// and the client-area queries that drawing and input read.
#pragma once

#include <cstdint>

#include "platform/win/types.h"

namespace tessra {

inline constexpr const char* kWindowClassName = "D123987X";

// Style words by window-style kind: window mode, its extended style, full screen, its extended.
struct WindowStyleRow {
    uint32_t windowStyle;
    uint32_t windowExStyle;
    uint32_t fullScreenStyle;
    uint32_t fullScreenExStyle;
};
extern const WindowStyleRow kWindowStyles[7];

plat::LRESULT HandleMainWindowMessage(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                                      plat::LPARAM lParam);

int ChangeWindowModeBody(int windowed);
int SetWindowModeFlag(int windowed);
int ApplyWindowStyle();
int FitWindowToClient();
// Stores the client area's screen rectangle in the run-time state.
void NoteClientRect();
int HandleWindowMoved(plat::LPARAM lParam);
int ForceForegroundWindow(plat::HWND window, int topmost);

// The style and extended style of the current mode and kind, with the added setting bits.
uint32_t CurrentWindowStyle();
uint32_t CurrentWindowExStyle();

int SetWindowTitleBody(const char* text);
int SetRunWhenInactiveBody(int flag);
int SetWindowIconBody(int iconId);
int SetWindowScaleBody(double scale);

int SetMouseVisibleBody(int flag);
int GetMousePositionBody(int* x, int* y);
int SetMousePositionBody(int x, int y);

plat::HWND GetEngineWindowBody();
int IsWindowedMode();
int GetDesktopMetrics(int* width, int* height, int* colorBits);
int IsApplicationActive();
int IsCloseRequested();
double GetWindowScale();
int GetClientAreaRect(int* rect4);
int GetMmxFlag();
int PaintInactiveBackground(plat::HDC dc);
int UpdateMenuAutoShow();

// Asks for the window to close once (WM_CLOSE posted when no close was requested yet).
void RequestWindowClose();

// Menu, tool bar and dropped files: present, switched on by nothing in this program.
struct MenuItemRow {
    plat::HMENU menu;
    uint16_t position;
    uint16_t commandId;
    char name[128];
};
inline constexpr int kMenuItemMax = 256;
inline constexpr int kChosenMenuIdMax = 64;
inline constexpr int kDroppedFileMax = 1000;

int CollectMenuItems(plat::HMENU menu);
const char* GetMenuItemName(int commandId);
int SetMenuShown(int shown);
int IsMenuShown();
int IsMenuInUse();
int RecordMenuCommand(int commandId);
int GetChosenMenuIdCount();
int FindToolBarButton(int commandId);
int GetToolBarHeight();
int ClearToolBarButtons();
int RecordToolBarButton(int commandId);
int AddDroppedFile(const char* name);
int GetDroppedFileCount();
int FreeDroppedFiles();

}  // namespace tessra
