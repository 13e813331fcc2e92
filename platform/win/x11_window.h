// Private to platform/win: what the layer does to an X11 window itself, where no window manager
// acts on SDL's requests. Kept apart so that the X headers meet no other header of the layer.
#pragma once

#include <SDL.h>

namespace plat::detail {

// On an X display without a window manager, moves and resizes the SDL window's X window to the
// rectangle (screen pixels) and, when `raise`, puts it above the others; elsewhere (another video
// driver, or a window manager that carries full screen out itself) does nothing.
void PlaceWithoutWindowManager(SDL_Window* sdl, const SDL_Rect& rect, bool raise);

}  // namespace plat::detail
