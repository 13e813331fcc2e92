// The layer's own message box on an X display: a window of its own connection, the picture
// message_box_view.cpp draws put into it, keys and the mouse turned into the box's inputs.
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "platform/win/message_box.h"
#include "platform/win/message_box_view.h"
#include "platform/win/x11_window.h"

namespace plat::detail {
namespace {

// The owner's X window, or None.
::Window OwnerWindow(SDL_Window* owner) {
    if (owner == nullptr) return None;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(owner, &info) || info.subsystem != SDL_SYSWM_X11) return None;
    return info.info.x11.window;
}

// The box's top-left: centred on the owner while it shows, else on the screen; kept on screen.
void Place(Display* display, ::Window owner, int width, int height, int* x, int* y) {
    const int screen = DefaultScreen(display);
    int cx = DisplayWidth(display, screen) / 2;
    int cy = DisplayHeight(display, screen) / 2;
    XWindowAttributes attributes;
    if (owner != None && XGetWindowAttributes(display, owner, &attributes) != 0 &&
        attributes.map_state == IsViewable) {
        int ox = 0, oy = 0;
        ::Window child = None;
        XTranslateCoordinates(display, owner, DefaultRootWindow(display), 0, 0, &ox, &oy, &child);
        cx = ox + attributes.width / 2;
        cy = oy + attributes.height / 2;
    }
    *x = std::clamp(cx - width / 2, 0, std::max(0, DisplayWidth(display, screen) - width));
    *y = std::clamp(cy - height / 2, 0, std::max(0, DisplayHeight(display, screen) - height));
}

void SetAtoms(Display* display, ::Window window, const char* property,
              const std::vector<const char*>& names) {
    std::vector<Atom> atoms;
    for (const char* name : names) atoms.push_back(XInternAtom(display, name, False));
    XChangeProperty(display, window, XInternAtom(display, property, False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(atoms.data()),
                    static_cast<int>(atoms.size()));
}

// Title, class, fixed size and place, dialog kind, owner, state and the close protocol.
void Describe(Display* display, ::Window window, ::Window owner, const std::string& caption, int x,
              int y, int width, int height, bool topmost, Atom closeAtom) {
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const auto* title = reinterpret_cast<const unsigned char*>(caption.c_str());
    const int length = static_cast<int>(caption.size());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8,
                    PropModeReplace, title, length);
    XChangeProperty(display, window, XA_WM_NAME, utf8, 8, PropModeReplace, title, length);
    char name[] = "message-box";
    char className[] = "Tessra";
    XClassHint classHint{name, className};
    XSetClassHint(display, window, &classHint);
    XSizeHints size{};
    size.flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
    size.x = x;
    size.y = y;
    size.width = size.min_width = size.max_width = width;
    size.height = size.min_height = size.max_height = height;
    XSetWMNormalHints(display, window, &size);
    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = NormalState;
    XSetWMHints(display, window, &hints);
    if (owner != None) XSetTransientForHint(display, window, owner);
    SetAtoms(display, window, "_NET_WM_WINDOW_TYPE", {"_NET_WM_WINDOW_TYPE_DIALOG"});
    std::vector<const char*> states;
    if (owner != None) states.push_back("_NET_WM_STATE_MODAL");
    if (topmost) states.push_back("_NET_WM_STATE_ABOVE");
    if (!states.empty()) SetAtoms(display, window, "_NET_WM_STATE", states);
    // A title and a close button; no maximising, minimising or resizing.
    const long motif[5] = {1 | 2, 4 | 32, 2 | 8 | 16, 0, 0};  // functions, decorations
    const Atom motifAtom = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, window, motifAtom, motifAtom, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motif), 5);
    Atom protocols[] = {closeAtom};
    XSetWMProtocols(display, window, protocols, 1);
}

// A channel of 0..255 in the visual's mask.
unsigned long Channel(uint32_t value, unsigned long mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const unsigned long top = mask >> shift;
    return ((value * top + 127) / 255) << shift;
}

// The picture in the visual's pixels, 32 bits each in this machine's byte order.
void ToVisual(const BoxImage& image, const Visual* visual, std::vector<uint32_t>* out) {
    out->resize(image.pixels.size());
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const uint32_t p = image.pixels[i];
        (*out)[i] = static_cast<uint32_t>(Channel((p >> 16) & 0xFF, visual->red_mask) |
                                          Channel((p >> 8) & 0xFF, visual->green_mask) |
                                          Channel(p & 0xFF, visual->blue_mask));
    }
}

// The box's input for a key, or false for a key it does not take.
bool KeyInput(XKeyEvent& key, BoxInput* input) {
    const KeySym sym = XLookupKeysym(&key, 0);
    const bool shift = (key.state & ShiftMask) != 0;
    switch (sym) {
        case XK_Return:
        case XK_KP_Enter:
        case XK_space:
            *input = BoxInput::kPress;
            return true;
        case XK_Escape:
            *input = BoxInput::kEscape;
            return true;
        case XK_Right:
            *input = BoxInput::kNext;
            return true;
        case XK_Tab:
            *input = shift ? BoxInput::kPrevious : BoxInput::kNext;
            return true;
        case XK_Left:
        case XK_ISO_Left_Tab:
            *input = BoxInput::kPrevious;
            return true;
        default:
            return false;
    }
}

}  // namespace

int ShowX11MessageBox(SDL_Window* owner, const std::string& text, const std::string& caption,
                      UINT type) {
    std::unique_ptr<GlyphFace> face = OpenMessageBoxFace();
    if (!face) return -1;
    const BoxLayout layout = LayOutMessageBox(*face, text, caption, ButtonsOf(type & 0xF));
    if (layout.missingCharacters > 0) return -1;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return -1;
    const int screen = DefaultScreen(display);
    Visual* visual = DefaultVisual(display, screen);
    const int depth = DefaultDepth(display, screen);
    BoxState state;
    BoxImage image = DrawMessageBox(*face, layout, state);
    std::vector<uint32_t> pixels;
    ToVisual(image, visual, &pixels);
    XImage* picture = visual->c_class != TrueColor || depth < 24
                          ? nullptr
                          : XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                         reinterpret_cast<char*>(pixels.data()),
                                         static_cast<unsigned>(image.width),
                                         static_cast<unsigned>(image.height), 32, 0);
    if (picture == nullptr || picture->bits_per_pixel != 32) {
        if (picture != nullptr) {
            picture->data = nullptr;
            XDestroyImage(picture);
        }
        XCloseDisplay(display);
        return -1;
    }
    picture->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;

    const ::Window ownerWindow = OwnerWindow(owner);
    int x = 0, y = 0;
    Place(display, ownerWindow, image.width, image.height, &x, &y);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = pixels.empty() ? 0 : pixels[0];
    attributes.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | LeaveWindowMask | StructureNotifyMask;
    const ::Window window =
        XCreateWindow(display, RootWindow(display, screen), x, y,
                      static_cast<unsigned>(image.width), static_cast<unsigned>(image.height), 0,
                      depth, InputOutput, visual, CWBackPixel | CWEventMask, &attributes);
    const Atom protocolsAtom = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom closeAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Describe(display, window, ownerWindow, caption, x, y, image.width, image.height,
             (type & MB_TOPMOST) != 0, closeAtom);
    GC gc = XCreateGC(display, window, 0, nullptr);
    XMapRaised(display, window);
    const bool focusOurselves = !WindowManagerRuns(display);

    auto put = [&] {
        XPutImage(display, window, gc, picture, 0, 0, 0, 0, static_cast<unsigned>(image.width),
                  static_cast<unsigned>(image.height));
        XFlush(display);
    };
    while (state.answer == 0) {
        XEvent event;
        XNextEvent(display, &event);
        BoxEvent input{BoxInput::kPointerMove, -1, -1};
        bool taken = true;
        switch (event.type) {
            case Expose:
                if (event.xexpose.count == 0) put();
                taken = false;
                break;
            case MapNotify:
                // Without a window manager nobody else gives the box the keyboard.
                if (focusOurselves) XSetInputFocus(display, window, RevertToParent, CurrentTime);
                taken = false;
                break;
            case KeyPress:
                taken = KeyInput(event.xkey, &input.input);
                break;
            case ButtonPress:
            case ButtonRelease:
                taken = event.xbutton.button == Button1;
                input = BoxEvent{
                    event.type == ButtonPress ? BoxInput::kPointerDown : BoxInput::kPointerUp,
                    event.xbutton.x, event.xbutton.y};
                break;
            case MotionNotify:
                input = BoxEvent{BoxInput::kPointerMove, event.xmotion.x, event.xmotion.y};
                break;
            case LeaveNotify:
                break;  // a move to nowhere
            case ClientMessage:
                taken = event.xclient.message_type == protocolsAtom &&
                        static_cast<Atom>(event.xclient.data.l[0]) == closeAtom;
                input.input = BoxInput::kClose;
                break;
            default:
                taken = false;
                break;
        }
        if (!taken) continue;
        const BoxState next = StepMessageBox(layout, state, input);
        const bool redraw =
            next.focus != state.focus || next.hover != state.hover || next.pressed != state.pressed;
        state = next;
        if (redraw && state.answer == 0) {
            image = DrawMessageBox(*face, layout, state);
            ToVisual(image, visual, &pixels);
            put();
        }
    }

    picture->data = nullptr;  // the pixels are the vector's
    XDestroyImage(picture);
    XFreeGC(display, gc);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return state.answer;
}

}  // namespace plat::detail
