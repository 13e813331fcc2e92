#include "platform/win/x11_window.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace plat::detail {

bool WindowManagerRuns(Display* display) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int got = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                                       XA_WINDOW, &type, &format, &count, &after, &data);
    const bool runs = got == Success && type == XA_WINDOW && count == 1;
    if (data != nullptr) XFree(data);
    return runs;
}

void PlaceWithoutWindowManager(SDL_Window* sdl, const SDL_Rect& rect, bool raise) {
    if (sdl == nullptr || rect.w <= 0 || rect.h <= 0) return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11) return;
    Display* display = info.info.x11.display;
    if (display == nullptr || WindowManagerRuns(display)) return;
    const ::Window window = info.info.x11.window;
    XMoveResizeWindow(display, window, rect.x, rect.y, static_cast<unsigned>(rect.w),
                      static_cast<unsigned>(rect.h));
    if (raise) XRaiseWindow(display, window);
    XFlush(display);
}

}  // namespace plat::detail
