// Shared state of the platform/win implementation files; not for use outside this folder.
#pragma once

#include <SDL.h>

#include <string>

#include "platform/win/messages.h"
#include "platform/win/types.h"

namespace plat::detail {

// SDL video: started once, on first need, by the thread that becomes the main thread.
// False when SDL video cannot start (the layer then runs without SDL windows).
bool EnsureVideo();
bool VideoStarted();
// The thread that started SDL video (0 before); only it pumps SDL events.
DWORD VideoThreadId();
// Turns pending SDL events into window messages; main thread only.
void PumpSdlEvents();

// Desktop as the layer reports it.
struct DesktopInfo {
    int width;
    int height;
    int bits;
    int refresh;
};
DesktopInfo CurrentDesktop();
// Remembers the desktop last told to the windows; true when it differs from the current one.
bool DesktopChanged(DesktopInfo* now);

// Queues. Posting never calls a window procedure.
bool PostToThread(DWORD threadId, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void DropWindowMessages(DWORD threadId, HWND window);
void EnsureQueue(DWORD threadId);
// Drops a thread's queue when the thread ends; later posts to it fail.
void RemoveQueue(DWORD threadId);
// Runs the messages other threads sent to the calling thread's windows.
void RunSentMessages();

// Windows.
struct WindowView {
    HWND handle;
    WNDPROC procedure;
    DWORD owner;
    DWORD style;
    DWORD exStyle;
    RECT windowRect;
    RECT clientRect;  // screen coordinates
    bool visible;
    bool needsPaint;
    HCURSOR classCursor;
};
bool ViewWindow(HWND window, WindowView* view);
HWND WindowFromSdlId(uint32_t sdlWindowId);
uint32_t SdlIdOfWindow(HWND window);
// Windows owned by the thread that need painting (first match of the filter), or 0.
HWND WindowNeedingPaint(DWORD threadId, HWND filter);
void SetNeedsPaint(HWND window, bool needs);
// Every window handle, in creation order.
void ListWindows(HWND* out, int capacity, int* count);
// Client origin and size, from a move or size that the window system made (SDL events).
void NoteSystemMove(HWND window, int clientX, int clientY);
void NoteSystemSize(HWND window, int clientWidth, int clientHeight);

// Activation: the application-active state and the messages that tell the windows.
void OnFocusChange(HWND window, bool gained);
void OnCloseRequest(HWND window);
void OnDisplayChange();

// Puts the window's SDL window into desktop full screen or out of it (main thread). Where no
// window manager carries that out (a bare X server), the window covers its display itself, and
// back out of full screen takes its client rectangle again.
void SetSdlFullScreen(HWND window, SDL_Window* sdl, bool fullScreen);
// The same covering for an SDL window in desktop full screen whose X window SDL made anew (as it
// does when a renderer needs another kind of window); nothing for other windows.
void PlaceFullScreenWindow(SDL_Window* sdl);

// Brings SDL windows that other threads changed up to date (main thread).
void SyncDirtyWindows();

// Cursor bookkeeping applied to SDL on the main thread.
void ApplyCursorState();
void NoteCursorPos(int x, int y);
// A window whose picture is shown scaled (full screen, with bars) has its mouse points moved
// from window pixels to picture pixels, as the display mode would give them; the presenter
// sets how. The mapper answers false for a window it does not scale.
using MousePointMapper = bool (*)(HWND window, int* x, int* y);
void SetMousePointMapper(MousePointMapper mapper);
// Keyboard state from key events.
void NoteKey(UINT vk, bool down);

// Instance locks.
bool InstanceHeldElsewhere(const char* className);
void AcquireInstanceLock(const char* className);
void ReleaseInstanceLock(const char* className);

// Resets of each file's test controls.
void ResetClockControls();
void ResetWindowControls();
void ResetMessageBoxControls();
void ResetProcessControls();
void ResetInstanceControls();
void ResetSoundControls();  // platform/dsound
// platform/dinput: forced failures, virtual pads, recorded force feedback, held keys.
void ResetInputControls();
void ResetFontControls();  // platform/gdi
void ResetSystemControls();
void ResetMediaControls();  // platform/dshow
void ResetImeControls();    // platform/imm

// platform/imm: SDL's editing events for a window, while its input method is on. Editing text
// starts or changes the composition (an empty one ends it); `start` is SDL's cursor in
// characters. Text input that ends a composition becomes its result: true then, and the text
// makes no WM_CHAR.
void OnSdlTextEditing(HWND window, const char* utf8, int start);
bool OnSdlTextInput(HWND window, const char* utf8);
// Around the dispatch of a WM_IME_COMPOSITION: the context reads as it stood when the message
// was made. Select answers what Restore puts back.
uint32_t SelectImeView(UINT message, WPARAM wParam);
void RestoreImeView(uint32_t previous);
// The default procedure's WM_IME_SETCONTEXT: which of the system's own windows it would show.
void NoteImeSetContext(LPARAM lParam);

// The running program's directory, with a trailing '/'; empty when unknown.
std::string ProgramDirectory();

// Lower-case copy for names compared without regard to case.
std::string LowerAscii(const char* text);

}  // namespace plat::detail
