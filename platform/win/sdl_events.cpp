// SDL video, the desktop, and SDL events turned into window messages on the main thread.
#include <SDL.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/ddraw/display.h"
#include "platform/testing.h"
#include "platform/win/codepage.h"
#include "platform/win/internal.h"
#include "platform/win/sdl_events.h"
#include "platform/win/system.h"
#include "platform/win/thread.h"
#include "platform/win/window.h"

namespace plat {
namespace {

std::mutex g_videoMutex;
bool g_videoTried = false;
std::atomic<bool> g_videoStarted{false};
std::atomic<DWORD> g_videoThread{0};

std::mutex g_desktopMutex;
bool g_virtualDesktop = false;
detail::DesktopInfo g_virtual{};
bool g_toldDesktopKnown = false;
detail::DesktopInfo g_toldDesktop{};

std::atomic<bool> g_appActive{true};

// Marks focus events that a test injected: with no display only those change activation.
constexpr Sint32 kInjectedMark = 0x7E57;

struct Listener {
    SdlEventListener function;
    void* context;
};
std::mutex g_listenersMutex;
Listener g_listeners[32];
int g_listenerCount = 0;

struct KeyRow {
    int sdl;
    UINT vk;
    UINT scan;
    bool extended;
};

// SDL scan code -> virtual key, set-1 scan code, extended flag.
const KeyRow kKeys[] = {
    {SDL_SCANCODE_A, 'A', 0x1E, false},
    {SDL_SCANCODE_B, 'B', 0x30, false},
    {SDL_SCANCODE_C, 'C', 0x2E, false},
    {SDL_SCANCODE_D, 'D', 0x20, false},
    {SDL_SCANCODE_E, 'E', 0x12, false},
    {SDL_SCANCODE_F, 'F', 0x21, false},
    {SDL_SCANCODE_G, 'G', 0x22, false},
    {SDL_SCANCODE_H, 'H', 0x23, false},
    {SDL_SCANCODE_I, 'I', 0x17, false},
    {SDL_SCANCODE_J, 'J', 0x24, false},
    {SDL_SCANCODE_K, 'K', 0x25, false},
    {SDL_SCANCODE_L, 'L', 0x26, false},
    {SDL_SCANCODE_M, 'M', 0x32, false},
    {SDL_SCANCODE_N, 'N', 0x31, false},
    {SDL_SCANCODE_O, 'O', 0x18, false},
    {SDL_SCANCODE_P, 'P', 0x19, false},
    {SDL_SCANCODE_Q, 'Q', 0x10, false},
    {SDL_SCANCODE_R, 'R', 0x13, false},
    {SDL_SCANCODE_S, 'S', 0x1F, false},
    {SDL_SCANCODE_T, 'T', 0x14, false},
    {SDL_SCANCODE_U, 'U', 0x16, false},
    {SDL_SCANCODE_V, 'V', 0x2F, false},
    {SDL_SCANCODE_W, 'W', 0x11, false},
    {SDL_SCANCODE_X, 'X', 0x2D, false},
    {SDL_SCANCODE_Y, 'Y', 0x15, false},
    {SDL_SCANCODE_Z, 'Z', 0x2C, false},
    {SDL_SCANCODE_1, '1', 0x02, false},
    {SDL_SCANCODE_2, '2', 0x03, false},
    {SDL_SCANCODE_3, '3', 0x04, false},
    {SDL_SCANCODE_4, '4', 0x05, false},
    {SDL_SCANCODE_5, '5', 0x06, false},
    {SDL_SCANCODE_6, '6', 0x07, false},
    {SDL_SCANCODE_7, '7', 0x08, false},
    {SDL_SCANCODE_8, '8', 0x09, false},
    {SDL_SCANCODE_9, '9', 0x0A, false},
    {SDL_SCANCODE_0, '0', 0x0B, false},
    {SDL_SCANCODE_RETURN, VK_RETURN, 0x1C, false},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE, 0x01, false},
    {SDL_SCANCODE_BACKSPACE, VK_BACK, 0x0E, false},
    {SDL_SCANCODE_TAB, VK_TAB, 0x0F, false},
    {SDL_SCANCODE_SPACE, VK_SPACE, 0x39, false},
    {SDL_SCANCODE_MINUS, VK_OEM_MINUS, 0x0C, false},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS, 0x0D, false},
    {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4, 0x1A, false},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6, 0x1B, false},
    {SDL_SCANCODE_BACKSLASH, VK_OEM_5, 0x2B, false},
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1, 0x27, false},
    {SDL_SCANCODE_APOSTROPHE, VK_OEM_7, 0x28, false},
    {SDL_SCANCODE_GRAVE, VK_OEM_3, 0x29, false},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA, 0x33, false},
    {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD, 0x34, false},
    {SDL_SCANCODE_SLASH, VK_OEM_2, 0x35, false},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL, 0x3A, false},
    {SDL_SCANCODE_F1, VK_F1 + 0, 0x3B, false},
    {SDL_SCANCODE_F2, VK_F1 + 1, 0x3C, false},
    {SDL_SCANCODE_F3, VK_F1 + 2, 0x3D, false},
    {SDL_SCANCODE_F4, VK_F1 + 3, 0x3E, false},
    {SDL_SCANCODE_F5, VK_F1 + 4, 0x3F, false},
    {SDL_SCANCODE_F6, VK_F1 + 5, 0x40, false},
    {SDL_SCANCODE_F7, VK_F1 + 6, 0x41, false},
    {SDL_SCANCODE_F8, VK_F1 + 7, 0x42, false},
    {SDL_SCANCODE_F9, VK_F1 + 8, 0x43, false},
    {SDL_SCANCODE_F10, VK_F1 + 9, 0x44, false},
    {SDL_SCANCODE_F11, VK_F1 + 10, 0x57, false},
    {SDL_SCANCODE_F12, VK_F1 + 11, 0x58, false},
    {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT, 0x37, true},
    {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL, 0x46, false},
    {SDL_SCANCODE_PAUSE, VK_PAUSE, 0x45, false},
    {SDL_SCANCODE_INSERT, VK_INSERT, 0x52, true},
    {SDL_SCANCODE_HOME, VK_HOME, 0x47, true},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR, 0x49, true},
    {SDL_SCANCODE_DELETE, VK_DELETE, 0x53, true},
    {SDL_SCANCODE_END, VK_END, 0x4F, true},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT, 0x51, true},
    {SDL_SCANCODE_RIGHT, VK_RIGHT, 0x4D, true},
    {SDL_SCANCODE_LEFT, VK_LEFT, 0x4B, true},
    {SDL_SCANCODE_DOWN, VK_DOWN, 0x50, true},
    {SDL_SCANCODE_UP, VK_UP, 0x48, true},
    {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK, 0x45, true},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE, 0x35, true},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY, 0x37, false},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT, 0x4A, false},
    {SDL_SCANCODE_KP_PLUS, VK_ADD, 0x4E, false},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN, 0x1C, true},
    {SDL_SCANCODE_KP_1, VK_NUMPAD0 + 1, 0x4F, false},
    {SDL_SCANCODE_KP_2, VK_NUMPAD0 + 2, 0x50, false},
    {SDL_SCANCODE_KP_3, VK_NUMPAD0 + 3, 0x51, false},
    {SDL_SCANCODE_KP_4, VK_NUMPAD0 + 4, 0x4B, false},
    {SDL_SCANCODE_KP_5, VK_NUMPAD0 + 5, 0x4C, false},
    {SDL_SCANCODE_KP_6, VK_NUMPAD0 + 6, 0x4D, false},
    {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7, 0x47, false},
    {SDL_SCANCODE_KP_8, VK_NUMPAD0 + 8, 0x48, false},
    {SDL_SCANCODE_KP_9, VK_NUMPAD0 + 9, 0x49, false},
    {SDL_SCANCODE_KP_0, VK_NUMPAD0, 0x52, false},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, 0x53, false},
    {SDL_SCANCODE_NONUSBACKSLASH, VK_OEM_102, 0x56, false},
    {SDL_SCANCODE_APPLICATION, VK_APPS, 0x5D, true},
    {SDL_SCANCODE_INTERNATIONAL1, VK_OEM_102, 0x73, false},  // ro
    {SDL_SCANCODE_INTERNATIONAL2, VK_KANA, 0x70, false},
    {SDL_SCANCODE_INTERNATIONAL3, VK_OEM_5, 0x7D, false},  // yen
    {SDL_SCANCODE_INTERNATIONAL4, VK_CONVERT, 0x79, false},
    {SDL_SCANCODE_INTERNATIONAL5, VK_NONCONVERT, 0x7B, false},
    {SDL_SCANCODE_LCTRL, VK_LCONTROL, 0x1D, false},
    {SDL_SCANCODE_LSHIFT, VK_LSHIFT, 0x2A, false},
    {SDL_SCANCODE_LALT, VK_LMENU, 0x38, false},
    {SDL_SCANCODE_LGUI, VK_LWIN, 0x5B, true},
    {SDL_SCANCODE_RCTRL, VK_RCONTROL, 0x1D, true},
    {SDL_SCANCODE_RSHIFT, VK_RSHIFT, 0x36, false},
    {SDL_SCANCODE_RALT, VK_RMENU, 0x38, true},
    {SDL_SCANCODE_RGUI, VK_RWIN, 0x5C, true},
};

// Key messages name the generic shift, control and alt keys, as on the desktop.
UINT MessageKey(UINT vk) {
    switch (vk) {
        case VK_LSHIFT:
        case VK_RSHIFT:
            return VK_SHIFT;
        case VK_LCONTROL:
        case VK_RCONTROL:
            return VK_CONTROL;
        case VK_LMENU:
        case VK_RMENU:
            return VK_MENU;
        default:
            return vk;
    }
}

HWND TargetWindow(uint32_t sdlWindowId) {
    HWND window = sdlWindowId != 0 ? detail::WindowFromSdlId(sdlWindowId) : nullptr;
    return window != nullptr ? window : GetActiveWindow();
}

void PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    detail::WindowView view;
    if (window != nullptr && detail::ViewWindow(window, &view)) {
        detail::PostToThread(view.owner, window, message, wParam, lParam);
    }
}

void ForEachWindow(void (*action)(HWND, void*), void* context) {
    HWND windows[256];
    int count = 0;
    detail::ListWindows(windows, 256, &count);
    for (int i = 0; i < count; ++i) action(windows[i], context);
}

WPARAM MouseKeyFlags() {
    BYTE keys[256];
    GetKeyboardState(keys);
    WPARAM flags = 0;
    if (keys[VK_LBUTTON] & 0x80) flags |= MK_LBUTTON;
    if (keys[VK_RBUTTON] & 0x80) flags |= MK_RBUTTON;
    if (keys[VK_MBUTTON] & 0x80) flags |= MK_MBUTTON;
    if (keys[VK_SHIFT] & 0x80) flags |= MK_SHIFT;
    if (keys[VK_CONTROL] & 0x80) flags |= MK_CONTROL;
    return flags;
}

void TranslateKey(const SDL_KeyboardEvent& key) {
    UINT vk;
    UINT scan;
    bool extended;
    if (!SdlScancodeToKey(key.keysym.scancode, &vk, &scan, &extended)) return;
    bool down = key.type == SDL_KEYDOWN;
    detail::NoteKey(vk, down);
    HWND window = TargetWindow(key.windowID);
    if (window == nullptr) return;
    BYTE keys[256];
    GetKeyboardState(keys);
    bool alt = (keys[VK_MENU] & 0x80) != 0 && (keys[VK_CONTROL] & 0x80) == 0;
    LPARAM lParam = 1 | static_cast<LPARAM>(scan << 16);
    if (extended) lParam |= KF_EXTENDED_BIT;
    if (alt) lParam |= KF_ALTDOWN_BIT;
    if (!down || key.repeat) lParam |= KF_REPEAT_BIT;
    if (!down) lParam |= static_cast<LPARAM>(1u << 31);
    UINT message;
    if (down) {
        message = (alt || vk == VK_F1 + 9) ? WM_SYSKEYDOWN : WM_KEYDOWN;
    } else {
        message = (alt || vk == VK_LMENU || vk == VK_RMENU) ? WM_SYSKEYUP : WM_KEYUP;
    }
    PostToWindow(window, message, MessageKey(vk), lParam);
}

void TranslateText(const SDL_TextInputEvent& text) {
    HWND window = TargetWindow(text.windowID);
    if (window == nullptr) return;
    // Text that ends a composition is its result, given once, as the input method's.
    if (detail::OnSdlTextInput(window, text.text)) return;
    std::string sjis = Utf8ToSjis(text.text);
    for (unsigned char byte : sjis) PostToWindow(window, WM_CHAR, byte, 1);
}

std::atomic<detail::MousePointMapper> g_mousePointMapper{nullptr};

void TranslateMouse(HWND window, int x, int y, UINT message) {
    if (window == nullptr) return;
    detail::WindowView view;
    if (!detail::ViewWindow(window, &view)) return;
    const detail::MousePointMapper mapper = g_mousePointMapper.load();
    if (mapper != nullptr && mapper(window, &x, &y)) {
        // Full screen: the picture is the whole display, its top-left the screen's origin.
        detail::NoteCursorPos(x, y);
    } else {
        detail::NoteCursorPos(view.clientRect.left + x, view.clientRect.top + y);
    }
    LPARAM position = MAKELPARAM(x, y);
    if (message == WM_MOUSEMOVE) {
        PostToWindow(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    }
    PostToWindow(window, message, MouseKeyFlags(), position);
}

void TranslateButton(const SDL_MouseButtonEvent& button) {
    bool down = button.type == SDL_MOUSEBUTTONDOWN;
    UINT vk;
    UINT message;
    switch (button.button) {
        case SDL_BUTTON_LEFT:
            vk = VK_LBUTTON;
            message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            break;
        case SDL_BUTTON_RIGHT:
            vk = VK_RBUTTON;
            message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            break;
        case SDL_BUTTON_MIDDLE:
            vk = VK_MBUTTON;
            message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
            break;
        default:
            return;
    }
    detail::NoteKey(vk, down);
    TranslateMouse(TargetWindow(button.windowID), button.x, button.y, message);
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
    HWND window = detail::WindowFromSdlId(event.windowID);
    if (window == nullptr) return;
    switch (event.event) {
        case SDL_WINDOWEVENT_CLOSE:
            detail::OnCloseRequest(window);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_FOCUS_LOST:
            // Without a display SDL's own focus changes (a window shown, hidden or closed) are
            // no user's doing; the window stays active until a test says otherwise.
            if (!HasDisplay() && event.data1 != kInjectedMark) break;
            detail::OnFocusChange(window, event.event == SDL_WINDOWEVENT_FOCUS_GAINED);
            break;
        case SDL_WINDOWEVENT_MOVED:
            detail::NoteSystemMove(window, event.data1, event.data2);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            detail::NoteSystemSize(window, event.data1, event.data2);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            detail::SetNeedsPaint(window, true);
            break;
        case SDL_WINDOWEVENT_DISPLAY_CHANGED:
            detail::OnDisplayChange();
            break;
        default:
            break;
    }
}

void Translate(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT: {
            // An interrupt or the session ending: ask every window to close, or, with none,
            // tell the main thread to quit.
            int count = 0;
            ForEachWindow(
                [](HWND w, void* n) {
                    ++*static_cast<int*>(n);
                    detail::OnCloseRequest(w);
                },
                &count);
            if (count == 0) detail::PostToThread(detail::VideoThreadId(), nullptr, WM_QUIT, 0, 0);
            break;
        }
        case SDL_DISPLAYEVENT:
            detail::OnDisplayChange();
            break;
        case SDL_WINDOWEVENT:
            TranslateWindowEvent(event.window);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            TranslateKey(event.key);
            break;
        case SDL_TEXTINPUT:
            TranslateText(event.text);
            break;
        case SDL_TEXTEDITING:
            detail::OnSdlTextEditing(TargetWindow(event.edit.windowID), event.edit.text,
                                     event.edit.start);
            break;
        case SDL_TEXTEDITING_EXT:
            detail::OnSdlTextEditing(TargetWindow(event.editExt.windowID), event.editExt.text,
                                     event.editExt.start);
            break;
        case SDL_MOUSEMOTION:
            TranslateMouse(TargetWindow(event.motion.windowID), event.motion.x, event.motion.y,
                           WM_MOUSEMOVE);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            TranslateButton(event.button);
            break;
        default:
            break;
    }
}

// Turns one event into messages, then hands it to the listeners.
void Deliver(const SDL_Event& event) {
    Translate(event);
    Listener listeners[32];
    int count;
    {
        std::lock_guard<std::mutex> lock(g_listenersMutex);
        count = g_listenerCount;
        std::memcpy(listeners, g_listeners, sizeof(Listener) * static_cast<size_t>(count));
    }
    for (int i = 0; i < count; ++i) listeners[i].function(event, listeners[i].context);
    // The extended editing event's text is the receiver's to free.
    if (event.type == SDL_TEXTEDITING_EXT) SDL_free(event.editExt.text);
}

// Injected events go through SDL's queue when SDL video runs, else straight to delivery.
void Inject(SDL_Event& event) {
    if (g_videoStarted.load()) {
        SDL_PushEvent(&event);
    } else {
        Deliver(event);
    }
}

void PushWindowEvent(HWND window, Uint8 kind, void (*direct)(HWND)) {
    uint32_t id = window != nullptr ? detail::SdlIdOfWindow(window) : 0;
    if (g_videoStarted.load() && id != 0) {
        SDL_Event event;
        std::memset(&event, 0, sizeof event);
        event.type = SDL_WINDOWEVENT;
        event.window.event = kind;
        event.window.windowID = id;
        event.window.data1 = kInjectedMark;
        SDL_PushEvent(&event);
    } else {
        direct(window);
    }
}

void InjectWindowEvent(HWND window, Uint8 kind, void (*direct)(HWND)) {
    if (window != nullptr) {
        PushWindowEvent(window, kind, direct);
        return;
    }
    HWND windows[256];
    int count = 0;
    detail::ListWindows(windows, 256, &count);
    for (int i = 0; i < count; ++i) PushWindowEvent(windows[i], kind, direct);
}

}  // namespace

bool SdlScancodeToKey(int sdlScancode, UINT* virtualKey, UINT* scanCode, bool* extended) {
    for (const KeyRow& row : kKeys) {
        if (row.sdl != sdlScancode) continue;
        if (virtualKey != nullptr) *virtualKey = row.vk;
        if (scanCode != nullptr) *scanCode = row.scan;
        if (extended != nullptr) *extended = row.extended;
        return true;
    }
    return false;
}

bool AddSdlEventListener(SdlEventListener listener, void* context) {
    if (listener == nullptr) return false;
    std::lock_guard<std::mutex> lock(g_listenersMutex);
    if (g_listenerCount >= 32) return false;
    g_listeners[g_listenerCount++] = Listener{listener, context};
    return true;
}

void RemoveSdlEventListener(SdlEventListener listener, void* context) {
    std::lock_guard<std::mutex> lock(g_listenersMutex);
    for (int i = 0; i < g_listenerCount; ++i) {
        if (g_listeners[i].function == listener && g_listeners[i].context == context) {
            for (int j = i + 1; j < g_listenerCount; ++j) g_listeners[j - 1] = g_listeners[j];
            --g_listenerCount;
            return;
        }
    }
}

bool StartVideo() {
    return detail::EnsureVideo();
}

bool HasDisplay() {
    if (!g_videoStarted.load()) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) return false;
    return std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "offscreen") != 0;
}

namespace detail {

bool EnsureVideo() {
    std::lock_guard<std::mutex> lock(g_videoMutex);
    if (g_videoTried) return g_videoStarted.load();
    g_videoTried = true;
    // The layer turns window closes into WM_CLOSE itself.
    SDL_SetHint("SDL_QUIT_ON_LAST_WINDOW_CLOSE", "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // The program shows the composition itself, however long it grows.
    SDL_SetHint(SDL_HINT_IME_SHOW_UI, "0");
    SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return false;
    g_videoThread.store(GetCurrentThreadId());
    g_videoStarted.store(true);
    // SDL holds the screen saver off by default; only an explicit request should.
    if (!IsScreenSaverInhibited()) SDL_EnableScreenSaver();
    return true;
}

bool VideoStarted() {
    return g_videoStarted.load();
}

DWORD VideoThreadId() {
    return g_videoThread.load();
}

void PumpSdlEvents() {
    if (!g_videoStarted.load()) return;
    SyncDirtyWindows();
    ApplyCursorState();
    // Not every video driver sends an event when the desktop's mode changes: look now and then.
    static Uint32 s_lastDesktopLook = 0;
    Uint32 now = SDL_GetTicks();
    if (now - s_lastDesktopLook >= 500) {
        s_lastDesktopLook = now;
        bool isVirtual;
        {
            std::lock_guard<std::mutex> lock(g_desktopMutex);
            isVirtual = g_virtualDesktop;
        }
        if (!isVirtual) OnDisplayChange();
    }
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) Deliver(event);
}

DesktopInfo CurrentDesktop() {
    {
        std::lock_guard<std::mutex> lock(g_desktopMutex);
        if (g_virtualDesktop) return g_virtual;
    }
    DesktopInfo info{1024, 768, 32, 60};
    if (EnsureVideo()) {
        SDL_DisplayMode mode;
        if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
            info.width = mode.w;
            info.height = mode.h;
            // Bytes per pixel times 8: a 24-bit desktop stored in 32-bit words counts as 32.
            int bytes = SDL_BYTESPERPIXEL(mode.format);
            info.bits = bytes > 0 ? bytes * 8 : 32;
            info.refresh = mode.refresh_rate > 0 ? mode.refresh_rate : 60;
        }
    }
    return info;
}

bool DesktopChanged(DesktopInfo* now) {
    DesktopInfo current = CurrentDesktop();
    std::lock_guard<std::mutex> lock(g_desktopMutex);
    // The first look only learns the desktop: nothing has changed yet.
    bool changed = g_toldDesktopKnown &&
                   (current.width != g_toldDesktop.width ||
                    current.height != g_toldDesktop.height || current.bits != g_toldDesktop.bits);
    g_toldDesktop = current;
    g_toldDesktopKnown = true;
    if (now != nullptr) *now = current;
    return changed;
}

void OnFocusChange(HWND window, bool gained) {
    if (gained) {
        if (!g_appActive.exchange(true)) {
            ForEachWindow([](HWND w, void*) { PostToWindow(w, WM_ACTIVATEAPP, 1, 0); }, nullptr);
        }
        SetActiveWindow(window);
        PostToWindow(window, WM_ACTIVATE, WA_ACTIVE, 0);
    } else {
        PostToWindow(window, WM_ACTIVATE, WA_INACTIVE, 0);
        if (g_appActive.exchange(false)) {
            // Exclusive full-screen surfaces are lost with the focus, as the display is given
            // back to the desktop.
            NoteAppDeactivated();
            ForEachWindow([](HWND w, void*) { PostToWindow(w, WM_ACTIVATEAPP, 0, 0); }, nullptr);
        }
    }
}

void OnCloseRequest(HWND window) {
    PostToWindow(window, WM_CLOSE, 0, 0);
}

void OnDisplayChange() {
    DesktopInfo now;
    if (!DesktopChanged(&now)) return;
    ForEachWindow(
        [](HWND w, void* context) {
            const auto* d = static_cast<const DesktopInfo*>(context);
            PostToWindow(w, WM_DISPLAYCHANGE, static_cast<WPARAM>(d->bits),
                         MAKELPARAM(d->width, d->height));
        },
        &now);
}

}  // namespace detail

namespace testing {

void InjectFocusLoss(HWND window) {
    InjectWindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST,
                      [](HWND w) { detail::OnFocusChange(w, false); });
}

void InjectFocusGain(HWND window) {
    InjectWindowEvent(window, SDL_WINDOWEVENT_FOCUS_GAINED,
                      [](HWND w) { detail::OnFocusChange(w, true); });
}

void InjectClose(HWND window) {
    InjectWindowEvent(window, SDL_WINDOWEVENT_CLOSE, [](HWND w) { detail::OnCloseRequest(w); });
}

void InjectDisplayChange(int width, int height, int bitsPerPixel) {
    // Make sure the desktop before the change is the one last told.
    detail::DesktopChanged(nullptr);
    SetVirtualDesktop(width, height, bitsPerPixel);
    if (g_videoStarted.load()) {
        SDL_Event event;
        std::memset(&event, 0, sizeof event);
        event.type = SDL_DISPLAYEVENT;
        event.display.event = SDL_DISPLAYEVENT_ORIENTATION;
        SDL_PushEvent(&event);
    } else {
        detail::OnDisplayChange();
    }
}

void InjectKeyDown(int sdlScancode, bool repeat) {
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.scancode = static_cast<SDL_Scancode>(sdlScancode);
    event.key.windowID = detail::SdlIdOfWindow(GetActiveWindow());
    Inject(event);
}

void InjectKeyUp(int sdlScancode) {
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = SDL_KEYUP;
    event.key.state = SDL_RELEASED;
    event.key.keysym.scancode = static_cast<SDL_Scancode>(sdlScancode);
    event.key.windowID = detail::SdlIdOfWindow(GetActiveWindow());
    Inject(event);
}

void InjectTextInput(const char* utf8) {
    if (utf8 == nullptr) return;
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = SDL_TEXTINPUT;
    event.text.windowID = detail::SdlIdOfWindow(GetActiveWindow());
    std::strncpy(event.text.text, utf8, sizeof event.text.text - 1);
    Inject(event);
}

void InjectTextEditing(const char* utf8, int start) {
    if (utf8 == nullptr) return;
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    const uint32_t window = detail::SdlIdOfWindow(GetActiveWindow());
    if (std::strlen(utf8) < sizeof event.edit.text) {
        event.type = SDL_TEXTEDITING;
        event.edit.windowID = window;
        std::strncpy(event.edit.text, utf8, sizeof event.edit.text - 1);
        event.edit.start = start;
    } else {
        event.type = SDL_TEXTEDITING_EXT;
        event.editExt.windowID = window;
        event.editExt.text = SDL_strdup(utf8);
        event.editExt.start = start;
    }
    Inject(event);
}

void InjectMouseMotion(HWND window, int x, int y) {
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = detail::SdlIdOfWindow(window);
    event.motion.x = x;
    event.motion.y = y;
    Inject(event);
}

void InjectMouseButton(HWND window, int button, bool down, int x, int y) {
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = detail::SdlIdOfWindow(window);
    event.button.button = static_cast<Uint8>(button);
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.x = x;
    event.button.y = y;
    Inject(event);
}

void SetVirtualDesktop(int width, int height, int bitsPerPixel, int refreshRate) {
    std::lock_guard<std::mutex> lock(g_desktopMutex);
    g_virtualDesktop = true;
    g_virtual =
        detail::DesktopInfo{width, height, bitsPerPixel, refreshRate > 0 ? refreshRate : 60};
}

void ClearVirtualDesktop() {
    std::lock_guard<std::mutex> lock(g_desktopMutex);
    g_virtualDesktop = false;
}

}  // namespace testing
}  // namespace plat

namespace plat::detail {

void SetMousePointMapper(MousePointMapper mapper) {
    g_mousePointMapper.store(mapper);
}

}  // namespace plat::detail
