// Window classes and windows, painting, the cursor, icons and the desktop.
//
// The layer keeps every window's rectangles itself, so they are right with no display. A window
// whose style is popup without a caption is a full-screen-desktop SDL window; any other style is
// a bordered SDL window with the client size. With no display (SDL video not available) windows
// exist in the layer only. Windows belong to the thread that made them.
#pragma once

#include "platform/win/messages.h"
#include "platform/win/types.h"

struct SDL_Window;

namespace plat {

// Class styles.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;

// Window styles.
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_CAPTION = 0x00C00000u;  // border and title bar
constexpr DWORD WS_BORDER = 0x00800000u;
constexpr DWORD WS_DLGFRAME = 0x00400000u;
constexpr DWORD WS_SYSMENU = 0x00080000u;
constexpr DWORD WS_THICKFRAME = 0x00040000u;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000u;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000u;
constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000u;

// Extended window styles.
constexpr DWORD WS_EX_TOPMOST = 0x00000008u;
constexpr DWORD WS_EX_TRANSPARENT = 0x00000020u;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100u;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200u;
constexpr DWORD WS_EX_STATICEDGE = 0x00020000u;

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_RESTORE = 9;

// SetWindowPos placement and flags.
inline HWND HWND_TOP() {
    return nullptr;
}
inline HWND HWND_TOPMOST() {
    return reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
}
inline HWND HWND_NOTOPMOST() {
    return reinterpret_cast<HWND>(static_cast<intptr_t>(-2));
}
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;

// GetWindowLongA / SetWindowLongPtrA / SetClassLongPtrA indexes.
constexpr int GWLP_WNDPROC = -4;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GCLP_HCURSOR = -12;
constexpr int GCLP_HICON = -14;

// Stock icon and cursor ids.
constexpr int IDI_APPLICATION = 32512;
constexpr int IDC_ARROW = 32512;

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const char* lpszMenuName;
    const char* lpszClassName;
};

// What WM_CREATE's long parameter points to.
struct CREATESTRUCTA {
    void* lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    const char* lpszName;
    const char* lpszClass;
    DWORD dwExStyle;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
};

// --- Classes ---------------------------------------------------------------------------------
// Names compare without regard to case. A second registration of a registered name fails (0).
ATOM RegisterClassA(const WNDCLASSA* windowClass);
// FALSE when the class is unknown or windows of it still exist.
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
// The class's icon or cursor (GCLP_HICON, GCLP_HCURSOR); returns the old value, 0 on failure.
// The class icon also becomes the SDL window icon of its windows.
uintptr_t SetClassLongPtrA(HWND window, int index, LONG_PTR value);

// --- Windows ---------------------------------------------------------------------------------
// Makes the window and its SDL window and sends WM_CREATE, then WM_SIZE and WM_MOVE, on the
// calling thread. The title is Shift-JIS. x and y are the outer top-left corner, width and
// height the outer size; CW_USEDEFAULT places or sizes it as the layer likes. 0 on failure
// (unknown class, WM_CREATE answering -1, or an injected failure).
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param);
// Sends WM_DESTROY, then closes the SDL window and drops the window's queued messages. Only the
// owner thread may destroy a window.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL IsWindowVisible(HWND window);
// Returns whether the window was visible before.
BOOL ShowWindow(HWND window, int command);
// Sends WM_PAINT at once when the window needs painting.
BOOL UpdateWindow(HWND window);
// Marks the window for painting (the rectangle is taken as the whole client area).
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL BringWindowToTop(HWND window);
BOOL SetForegroundWindow(HWND window);
HWND GetForegroundWindow();
// Returns the previously active window.
HWND SetActiveWindow(HWND window);
HWND GetActiveWindow();
// A window of the class (and title, when not 0). A window of this process, or, when another
// process holds the class's instance lock, a placeholder value that is no window of ours.
HWND FindWindowA(const char* className, const char* title);
// The id of the thread that made the window (0 for none); the process id when asked.
DWORD GetWindowThreadProcessId(HWND window, DWORD* processId);
BOOL AttachThreadInput(DWORD attachFrom, DWORD attachTo, BOOL attach);

// Title, Shift-JIS in and out.
BOOL SetWindowTextA(HWND window, const char* text);
int GetWindowTextA(HWND window, char* text, int maxCount);

// Style words: GWL_STYLE and GWL_EXSTYLE. A style change takes effect (full screen or bordered)
// at the next SetWindowPos, MoveWindow or ShowWindow, as on the desktop. WS_VISIBLE in a new
// style word makes the window visible; leaving it out does not hide it.
LONG GetWindowLongA(HWND window, int index);
LONG SetWindowLongA(HWND window, int index, LONG value);
// GWLP_WNDPROC (and the style words). Returns the old value, 0 on failure.
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
// Calls a window procedure (for one that replaced another with GWLP_WNDPROC).
LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Rectangles. The outer rectangle in screen coordinates; the client rectangle from 0, 0.
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
// Grows a client rectangle into the outer rectangle of a window of those styles.
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
// Moves and sizes the outer rectangle; WM_MOVE and WM_SIZE are sent when the client origin or
// size changed (posted when the caller is not the owner thread).
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);

// Painting. BeginPaint validates the window; its device context maps back to the window with
// WindowFromDC, which the GDI stand-in uses to draw into it.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
HWND WindowFromDC(HDC dc);
// The device context that stands for the window's client area (0: the desktop).
HDC DcOfWindow(HWND window);

// --- Cursor and icons ------------------------------------------------------------------------
// The display counter: shown while it is 0 or more and a cursor is set. Returns the new count.
int ShowCursor(BOOL show);
// 0 hides the cursor. Returns the previous cursor.
HCURSOR SetCursor(HCURSOR cursor);
// IDC_ARROW from a 0 instance; anything else gives the arrow too.
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
// The cursor position in screen coordinates: SDL's, or a virtual one with no display.
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);
// An icon by resource id: from the image file "icon<id>.bmp" in the program's directory or the
// current directory; the layer's default icon when the file is absent. A 0 instance with
// IDI_APPLICATION gives the default icon.
HICON LoadIconA(HINSTANCE instance, const char* name);

// --- Desktop ---------------------------------------------------------------------------------
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
// The desktop's width and height (0 for other indexes).
int GetSystemMetrics(int index);
// The desktop window (a placeholder handle that names the desktop).
HWND GetDesktopWindow();

// GetDeviceCaps indexes for the desktop.
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int VREFRESH = 116;
// Desktop capabilities of a window's or the desktop's device context: BITSPIXEL is bytes per
// pixel times 8 (a 24-bit desktop reads as 32), PLANES 1, VREFRESH the display's rate or 60.
int GetDeviceCaps(HDC dc, int index);

// True when windows are shown on a real display (not SDL's dummy or offscreen driver, and SDL
// video started).
bool HasDisplay();

// The SDL window that shows a window (0 with no display or for an unknown window), for the
// presenter. Main thread only.
SDL_Window* GetSdlWindow(HWND window);

}  // namespace plat
