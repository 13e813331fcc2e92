// Private to platform/win: what the layer does with X11 itself: placing an SDL window where no
// window manager acts on SDL's requests, and showing its own message box. Kept apart so that
// the X headers meet no other header of the layer.
#pragma once

#include <SDL.h>

#include <string>

#include "platform/win/types.h"

struct _XDisplay;  // Xlib's Display

namespace plat::detail {

// On an X display without a window manager, moves and resizes the SDL window's X window to the
// rectangle (screen pixels) and, when `raise`, puts it above the others; elsewhere (another video
// driver, or a window manager that carries full screen out itself) does nothing.
void PlaceWithoutWindowManager(SDL_Window* sdl, const SDL_Rect& rect, bool raise);

// Whether a window manager runs on the display: one that follows the desktop conventions names
// its check window on the root.
bool WindowManagerRuns(_XDisplay* display);

// The layer's own message box (platform/win/message_box_view.h) on the X display, in a
// connection of its own so that any thread may show it, before any window too: text and caption
// UTF-8, the type MessageBoxA's. Stays above the owner's X window when the owner (may be null)
// has one. Returns the answer, or -1 when it cannot be shown: no X display, no face that draws
// the text, or a display whose pixels are not true colour.
int ShowX11MessageBox(SDL_Window* owner, const std::string& text, const std::string& caption,
                      UINT type);

}  // namespace plat::detail
