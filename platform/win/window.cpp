// Window classes, windows, their rectangles and styles, painting, cursor and icons.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/win/codepage.h"
#include "platform/win/internal.h"
#include "platform/win/thread.h"
#include "platform/win/window.h"
#include "platform/win/x11_window.h"

namespace plat {
namespace {

struct ClassRecord {
    ATOM atom;
    std::string name;  // as registered
    UINT style;
    WNDPROC procedure;
    HINSTANCE instance;
    HICON icon;
    HCURSOR cursor;
    int windows = 0;
};

struct WindowRecord {
    std::string classKey;
    WNDPROC procedure = nullptr;
    DWORD owner = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};        // outer, screen coordinates
    std::string title;  // Shift-JIS
    bool visible = false;
    bool needsPaint = false;
    bool destroying = false;
    bool sdlDirty = false;  // SDL has yet to follow the layer's state
    // The client origin and size last told to the procedure.
    POINT toldOrigin{INT32_MIN, INT32_MIN};
    int toldWidth = -1;
    int toldHeight = -1;
    SDL_Window* sdl = nullptr;
    uint32_t sdlId = 0;
    uint64_t order = 0;
};

// Window and class tables; procedures are never called while this lock is held.
struct Tables {
    std::mutex mutex;
    std::map<std::string, ClassRecord> classes;  // by lower-case name
    std::map<uintptr_t, WindowRecord> windows;
    uintptr_t nextWindow = 0x10000;
    uint64_t nextOrder = 1;
    ATOM nextAtom = 0xC000;
    HWND active = nullptr;
    int failRegistrations = 0;
    int failCreations = 0;
    // Icons: handle -> SDL surface; the default icon is made on first use.
    std::map<uintptr_t, SDL_Surface*> icons;
    uintptr_t nextIcon = 0x20000;
    HICON defaultIcon = nullptr;
};
Tables& T() {
    static Tables* tables = new Tables;
    return *tables;
}

// Placeholder handles that are no window of ours.
const uintptr_t kDesktopWindow = 0x10;
const uintptr_t kForeignWindow = 0x20;
const uintptr_t kArrowCursor = 0x7F00;

// Cursor state.
std::mutex g_cursorMutex;
int g_cursorCount = 0;
HCURSOR g_cursor = reinterpret_cast<HCURSOR>(kArrowCursor);
POINT g_cursorPos{0, 0};
bool g_cursorDirty = true;

uintptr_t Key(HWND window) {
    return reinterpret_cast<uintptr_t>(window);
}

WindowRecord* Find(HWND window) {
    auto it = T().windows.find(Key(window));
    return it == T().windows.end() ? nullptr : &it->second;
}

bool IsFullScreenStyle(DWORD style) {
    return (style & WS_POPUP) != 0 && (style & WS_CAPTION) == 0;
}

// The frame between the outer and the client rectangle for a style.
RECT FrameInsets(DWORD style, DWORD exStyle, bool menu) {
    RECT r{0, 0, 0, 0};
    int border = 0;
    if (style & WS_THICKFRAME) {
        border = 4;
    } else if ((style & WS_DLGFRAME) || (style & WS_CAPTION) == WS_CAPTION) {
        border = 3;
    } else if (style & WS_BORDER) {
        border = 1;
    }
    if (exStyle & WS_EX_CLIENTEDGE) border += 2;
    if (exStyle & WS_EX_STATICEDGE) border += 1;
    r.left = r.top = r.right = r.bottom = border;
    if ((style & WS_CAPTION) == WS_CAPTION) r.top += 19;
    if (menu) r.top += 19;
    return r;
}

RECT ClientOf(const WindowRecord& w) {
    RECT in = FrameInsets(w.style, w.exStyle, false);
    RECT c{w.rect.left + in.left, w.rect.top + in.top, w.rect.right - in.right,
           w.rect.bottom - in.bottom};
    if (c.right < c.left) c.right = c.left;
    if (c.bottom < c.top) c.bottom = c.top;
    return c;
}

bool OnVideoThread() {
    return detail::VideoStarted() && GetCurrentThreadId() == detail::VideoThreadId();
}

// Makes the SDL window follow the layer's state; on the main thread at once, else at its next
// pump.
void SyncSdl(HWND window) {
    SDL_Window* sdl;
    DWORD style;
    DWORD exStyle;
    RECT client;
    bool visible;
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        WindowRecord* w = Find(window);
        if (w == nullptr || w->sdl == nullptr) return;
        if (!OnVideoThread()) {
            w->sdlDirty = true;
            return;
        }
        w->sdlDirty = false;
        sdl = w->sdl;
        style = w->style;
        exStyle = w->exStyle;
        client = ClientOf(*w);
        visible = w->visible;
    }
    bool full = IsFullScreenStyle(style);
    Uint32 flags = SDL_GetWindowFlags(sdl);
    bool isFull = (flags & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (full != isFull) detail::SetSdlFullScreen(window, sdl, full);
    if (!full) {
        SDL_SetWindowBordered(sdl, (style & WS_CAPTION) == WS_CAPTION ? SDL_TRUE : SDL_FALSE);
        int w = std::max(1, static_cast<int>(client.right - client.left));
        int h = std::max(1, static_cast<int>(client.bottom - client.top));
        int cw, ch, cx, cy;
        SDL_GetWindowSize(sdl, &cw, &ch);
        if (cw != w || ch != h) SDL_SetWindowSize(sdl, w, h);
        SDL_GetWindowPosition(sdl, &cx, &cy);
        if (cx != client.left || cy != client.top)
            SDL_SetWindowPosition(sdl, client.left, client.top);
    }
    SDL_SetWindowAlwaysOnTop(sdl, (exStyle & WS_EX_TOPMOST) ? SDL_TRUE : SDL_FALSE);
    bool shown = (SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN) != 0;
    if (visible && !shown) SDL_ShowWindow(sdl);
    if (!visible && shown) SDL_HideWindow(sdl);
}

// Sends WM_MOVE and WM_SIZE for what changed since last told (posted from other threads).
void TellGeometry(HWND window) {
    RECT client;
    DWORD owner;
    WNDPROC procedure;
    bool moved = false;
    bool sized = false;
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        WindowRecord* w = Find(window);
        if (w == nullptr || w->destroying) return;
        client = ClientOf(*w);
        owner = w->owner;
        procedure = w->procedure;
        int width = client.right - client.left;
        int height = client.bottom - client.top;
        if (width != w->toldWidth || height != w->toldHeight) {
            sized = true;
            w->toldWidth = width;
            w->toldHeight = height;
        }
        if (client.left != w->toldOrigin.x || client.top != w->toldOrigin.y) {
            moved = true;
            w->toldOrigin = POINT{client.left, client.top};
        }
    }
    LPARAM size = MAKELPARAM(client.right - client.left, client.bottom - client.top);
    LPARAM origin = MAKELPARAM(client.left, client.top);
    if (owner == GetCurrentThreadId() && procedure != nullptr) {
        if (sized) procedure(window, WM_SIZE, SIZE_RESTORED, size);
        if (moved) procedure(window, WM_MOVE, 0, origin);
    } else {
        if (sized) detail::PostToThread(owner, window, WM_SIZE, SIZE_RESTORED, size);
        if (moved) detail::PostToThread(owner, window, WM_MOVE, 0, origin);
    }
}

SDL_Surface* MakeDefaultIconSurface() {
    // A plain framed square: something recognisable in a task bar.
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 32, 32, 32, SDL_PIXELFORMAT_ARGB8888);
    if (s == nullptr) return nullptr;
    SDL_FillRect(s, nullptr, SDL_MapRGBA(s->format, 0x20, 0x30, 0x60, 0xFF));
    SDL_Rect inner{4, 4, 24, 24};
    SDL_FillRect(s, &inner, SDL_MapRGBA(s->format, 0xE0, 0xB0, 0x40, 0xFF));
    return s;
}

HICON AddIcon(SDL_Surface* surface) {
    uintptr_t value = T().nextIcon;
    T().nextIcon += 0x10;
    T().icons[value] = surface;
    return reinterpret_cast<HICON>(value);
}

HICON DefaultIconLocked() {
    if (T().defaultIcon == nullptr) T().defaultIcon = AddIcon(MakeDefaultIconSurface());
    return T().defaultIcon;
}

void ApplyIcon(SDL_Window* sdl, HICON icon) {
    if (sdl == nullptr || icon == nullptr) return;
    SDL_Surface* surface = nullptr;
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        auto it = T().icons.find(reinterpret_cast<uintptr_t>(icon));
        if (it != T().icons.end()) surface = it->second;
    }
    if (surface != nullptr) SDL_SetWindowIcon(sdl, surface);
}

}  // namespace

// --- Classes -----------------------------------------------------------------------------------

ATOM RegisterClassA(const WNDCLASSA* c) {
    if (c == nullptr || c->lpszClassName == nullptr || IS_INTRESOURCE(c->lpszClassName) ||
        c->lpfnWndProc == nullptr) {
        return 0;
    }
    std::string key = detail::LowerAscii(c->lpszClassName);
    std::lock_guard<std::mutex> lock(T().mutex);
    if (T().failRegistrations > 0) {
        --T().failRegistrations;
        return 0;
    }
    if (key.empty() || T().classes.count(key) != 0) return 0;
    ClassRecord record;
    record.atom = T().nextAtom++;
    record.name = c->lpszClassName;
    record.style = c->style;
    record.procedure = c->lpfnWndProc;
    record.instance = c->hInstance;
    record.icon = c->hIcon;
    record.cursor = c->hCursor;
    T().classes.emplace(key, record);
    return record.atom;
}

BOOL UnregisterClassA(const char* className, HINSTANCE) {
    if (className == nullptr || IS_INTRESOURCE(className)) return FALSE;
    std::string key = detail::LowerAscii(className);
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        auto it = T().classes.find(key);
        if (it == T().classes.end() || it->second.windows > 0) return FALSE;
        T().classes.erase(it);
    }
    detail::ReleaseInstanceLock(className);
    return TRUE;
}

uintptr_t SetClassLongPtrA(HWND window, int index, LONG_PTR value) {
    uintptr_t old = 0;
    std::vector<SDL_Window*> sdlWindows;
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        WindowRecord* w = Find(window);
        if (w == nullptr) return 0;
        auto it = T().classes.find(w->classKey);
        if (it == T().classes.end()) return 0;
        if (index == GCLP_HICON) {
            old = reinterpret_cast<uintptr_t>(it->second.icon);
            it->second.icon = reinterpret_cast<HICON>(value);
            for (auto& [handle, record] : T().windows) {
                if (record.classKey == w->classKey && record.sdl != nullptr) {
                    sdlWindows.push_back(record.sdl);
                }
            }
        } else if (index == GCLP_HCURSOR) {
            old = reinterpret_cast<uintptr_t>(it->second.cursor);
            it->second.cursor = reinterpret_cast<HCURSOR>(value);
        } else {
            return 0;
        }
    }
    if (index == GCLP_HICON && OnVideoThread()) {
        for (SDL_Window* sdl : sdlWindows) ApplyIcon(sdl, reinterpret_cast<HICON>(value));
    }
    return old;
}

// --- Windows -----------------------------------------------------------------------------------

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param) {
    if (className == nullptr || IS_INTRESOURCE(className)) return nullptr;
    std::string key = detail::LowerAscii(className);
    DWORD self = GetCurrentThreadId();
    bool video = detail::EnsureVideo();
    HWND handle;
    WNDPROC procedure;
    HICON icon;
    RECT rect;
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        if (T().failCreations > 0) {
            --T().failCreations;
            return nullptr;
        }
        auto it = T().classes.find(key);
        if (it == T().classes.end()) return nullptr;
        if (x == CW_USEDEFAULT) x = y = 32;
        if (width == CW_USEDEFAULT) {
            RECT in = FrameInsets(style, exStyle, menu != nullptr);
            width = 640 + in.left + in.right;
            height = 480 + in.top + in.bottom;
        }
        WindowRecord w;
        w.classKey = key;
        w.procedure = it->second.procedure;
        w.owner = self;
        w.style = style & ~WS_VISIBLE;
        w.exStyle = exStyle;
        w.rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
        w.title = title != nullptr ? title : "";
        w.order = T().nextOrder++;
        handle = reinterpret_cast<HWND>(T().nextWindow);
        T().nextWindow += 0x10;
        ++it->second.windows;
        procedure = w.procedure;
        icon = it->second.icon;
        rect = w.rect;
        T().windows.emplace(Key(handle), std::move(w));
        if (T().active == nullptr) T().active = handle;
    }
    detail::AcquireInstanceLock(className);
    if (video) {
        RECT in = FrameInsets(style, exStyle, false);
        int cw = std::max(1, static_cast<int>(rect.right - rect.left - in.left - in.right));
        int ch = std::max(1, static_cast<int>(rect.bottom - rect.top - in.top - in.bottom));
        std::string utf8 = SjisToUtf8(title != nullptr ? title : "");
        SDL_Window* sdl = SDL_CreateWindow(utf8.c_str(), rect.left + in.left, rect.top + in.top, cw,
                                           ch, SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI);
        if (sdl != nullptr) {
            ApplyIcon(sdl, icon);
            std::lock_guard<std::mutex> lock(T().mutex);
            WindowRecord* w = Find(handle);
            w->sdl = sdl;
            w->sdlId = SDL_GetWindowID(sdl);
            w->sdlDirty = true;
        }
    }
    CREATESTRUCTA create{
        param, instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
        title, className, exStyle};
    if (procedure(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (!IsWindow(handle)) return nullptr;
    TellGeometry(handle);
    if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    SyncSdl(handle);
    return handle;
}

BOOL DestroyWindow(HWND window) {
    WNDPROC procedure;
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        WindowRecord* w = Find(window);
        // Only the owner may destroy a window, once.
        if (w == nullptr || w->destroying || w->owner != GetCurrentThreadId()) return FALSE;
        w->destroying = true;
        procedure = w->procedure;
    }
    if (procedure != nullptr) procedure(window, WM_DESTROY, 0, 0);
    WindowRecord record;
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        auto it = T().windows.find(Key(window));
        if (it == T().windows.end()) return FALSE;
        record = std::move(it->second);
        T().windows.erase(it);
        auto c = T().classes.find(record.classKey);
        if (c != T().classes.end()) --c->second.windows;
        if (T().active == window) {
            T().active = nullptr;
            uint64_t best = 0;
            for (auto& [handle, other] : T().windows) {
                if (other.order > best) {
                    best = other.order;
                    T().active = reinterpret_cast<HWND>(handle);
                }
            }
        }
    }
    if (record.sdl != nullptr) SDL_DestroyWindow(record.sdl);
    detail::DropWindowMessages(record.owner, window);
    return TRUE;
}

BOOL IsWindow(HWND window) {
    std::lock_guard<std::mutex> lock(T().mutex);
    return Find(window) != nullptr ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) {
    std::lock_guard<std::mutex> lock(T().mutex);
    WindowRecord* w = Find(window);
    return (w != nullptr && w->visible) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command) {
    bool was;
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        WindowRecord* w = Find(window);
        if (w == nullptr) return FALSE;
        was = w->visible;
        w->visible = command != SW_HIDE;
        if (w->visible && !was) w->needsPaint = true;
    }
    SyncSdl(window);
    if ((command == SW_MINIMIZE || command == SW_SHOWMINIMIZED) && OnVideoThread()) {
        SDL_Window* sdl = GetSdlWindow(window);
        if (sdl != nullptr) SDL_MinimizeWindow(sdl);
    }
    return was ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) {
    WNDPROC procedure = nullptr;
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        WindowRecord* w = Find(window);
        if (w == nullptr) return FALSE;
        if (w->needsPaint && w->visible && w->owner == GetCurrentThreadId()) {
            procedure = w->procedure;
        }
    }
    if (procedure != nullptr) {
        procedure(window, WM_PAINT, 0, 0);
        detail::SetNeedsPaint(window, false);
    }
    return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
    std::lock_guard<std::mutex> lock(T().mutex);
    WindowRecord* w = Find(window);
    if (w == nullptr) return FALSE;
    w->needsPaint = true;
    return TRUE;
}

BOOL BringWindowToTop(HWND window) {
    SDL_Window* sdl = nullptr;
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        WindowRecord* w = Find(window);
        if (w == nullptr) return FALSE;
        if (OnVideoThread()) sdl = w->sdl;
    }
    if (sdl != nullptr) SDL_RaiseWindow(sdl);
    return TRUE;
}

BOOL SetForegroundWindow(HWND window) {
    if (!BringWindowToTop(window)) return FALSE;
    SetActiveWindow(window);
    return TRUE;
}

HWND GetForegroundWindow() {
    return GetActiveWindow();
}

HWND SetActiveWindow(HWND window) {
    std::lock_guard<std::mutex> lock(T().mutex);
    if (Find(window) == nullptr) return nullptr;
    HWND old = T().active;
    T().active = window;
    return old;
}

HWND GetActiveWindow() {
    std::lock_guard<std::mutex> lock(T().mutex);
    return T().active;
}

HWND FindWindowA(const char* className, const char* title) {
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        std::string key = className != nullptr && !IS_INTRESOURCE(className)
                              ? detail::LowerAscii(className)
                              : std::string();
        for (auto& [handle, w] : T().windows) {
            if (!key.empty() && w.classKey != key) continue;
            if (title != nullptr && w.title != title) continue;
            return reinterpret_cast<HWND>(handle);
        }
    }
    if (className != nullptr && !IS_INTRESOURCE(className) && title == nullptr &&
        detail::InstanceHeldElsewhere(className)) {
        return reinterpret_cast<HWND>(kForeignWindow);
    }
    return nullptr;
}

DWORD GetWindowThreadProcessId(HWND window, DWORD* processId) {
    std::lock_guard<std::mutex> lock(T().mutex);
    WindowRecord* w = Find(window);
    if (w == nullptr) return 0;
    if (processId != nullptr) *processId = GetCurrentProcessId();
    return w->owner;
}

BOOL AttachThreadInput(DWORD, DWORD, BOOL) {
    return TRUE;
}

BOOL SetWindowTextA(HWND window, const char* text) {
    SDL_Window* sdl = nullptr;
    std::string copy = text != nullptr ? text : "";
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        WindowRecord* w = Find(window);
        if (w == nullptr) return FALSE;
        w->title = copy;
        if (OnVideoThread()) {
            sdl = w->sdl;
        } else {
            w->sdlDirty = true;
        }
    }
    if (sdl != nullptr) SDL_SetWindowTitle(sdl, SjisToUtf8(copy).c_str());
    return TRUE;
}

int GetWindowTextA(HWND window, char* text, int maxCount) {
    if (text == nullptr || maxCount <= 0) return 0;
    std::lock_guard<std::mutex> lock(T().mutex);
    WindowRecord* w = Find(window);
    if (w == nullptr) {
        text[0] = '\0';
        return 0;
    }
    size_t n = std::min(w->title.size(), static_cast<size_t>(maxCount - 1));
    std::memcpy(text, w->title.data(), n);
    text[n] = '\0';
    return static_cast<int>(n);
}

LONG GetWindowLongA(HWND window, int index) {
    return static_cast<LONG>(GetWindowLongPtrA(window, index));
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
    if (index == GWLP_WNDPROC) return 0;  // a pointer does not fit
    return static_cast<LONG>(SetWindowLongPtrA(window, index, value));
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    std::lock_guard<std::mutex> lock(T().mutex);
    WindowRecord* w = Find(window);
    if (w == nullptr) return 0;
    switch (index) {
        case GWL_STYLE:
            return static_cast<LONG>(w->style | (w->visible ? WS_VISIBLE : 0));
        case GWL_EXSTYLE:
            return static_cast<LONG>(w->exStyle);
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(w->procedure);
        default:
            return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    std::lock_guard<std::mutex> lock(T().mutex);
    WindowRecord* w = Find(window);
    if (w == nullptr) return 0;
    LONG_PTR old;
    switch (index) {
        case GWL_STYLE:
            old = static_cast<LONG>(w->style | (w->visible ? WS_VISIBLE : 0));
            w->style = static_cast<DWORD>(value) & ~WS_VISIBLE;
            // A style word with WS_VISIBLE makes the window visible, as on the desktop; the
            // SDL window follows at the next placement or show.
            if ((static_cast<DWORD>(value) & WS_VISIBLE) && !w->visible) {
                w->visible = true;
                w->needsPaint = true;
            }
            return old;
        case GWL_EXSTYLE:
            old = static_cast<LONG>(w->exStyle);
            w->exStyle = static_cast<DWORD>(value);
            return old;
        case GWLP_WNDPROC:
            if (value == 0) return 0;
            old = reinterpret_cast<LONG_PTR>(w->procedure);
            w->procedure = reinterpret_cast<WNDPROC>(value);
            return old;
        default:
            return 0;
    }
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam) {
    return procedure != nullptr ? procedure(window, message, wParam, lParam) : 0;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    if (rect == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(T().mutex);
    WindowRecord* w = Find(window);
    if (w == nullptr) return FALSE;
    *rect = w->rect;
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    if (rect == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(T().mutex);
    WindowRecord* w = Find(window);
    if (w == nullptr) return FALSE;
    RECT c = ClientOf(*w);
    *rect = RECT{0, 0, c.right - c.left, c.bottom - c.top};
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
    if (point == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(T().mutex);
    WindowRecord* w = Find(window);
    if (w == nullptr) return FALSE;
    RECT c = ClientOf(*w);
    point->x += c.left;
    point->y += c.top;
    return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
    if (point == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(T().mutex);
    WindowRecord* w = Find(window);
    if (w == nullptr) return FALSE;
    RECT c = ClientOf(*w);
    point->x -= c.left;
    point->y -= c.top;
    return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (rect == nullptr) return FALSE;
    RECT in = FrameInsets(style, exStyle, menu != FALSE);
    rect->left -= in.left;
    rect->top -= in.top;
    rect->right += in.right;
    rect->bottom += in.bottom;
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        WindowRecord* w = Find(window);
        if (w == nullptr) return FALSE;
        RECT before = w->rect;
        RECT r = w->rect;
        if (!(flags & SWP_NOMOVE)) {
            LONG wdt = r.right - r.left;
            LONG hgt = r.bottom - r.top;
            r = RECT{x, y, x + wdt, y + hgt};
        }
        if (!(flags & SWP_NOSIZE)) {
            r.right = r.left + std::max(0, width);
            r.bottom = r.top + std::max(0, height);
        }
        w->rect = r;
        if (!(flags & SWP_NOZORDER)) {
            if (insertAfter == HWND_TOPMOST()) w->exStyle |= WS_EX_TOPMOST;
            if (insertAfter == HWND_NOTOPMOST()) w->exStyle &= ~WS_EX_TOPMOST;
        }
        if (flags & SWP_SHOWWINDOW) {
            if (!w->visible) w->needsPaint = true;
            w->visible = true;
        }
        if (flags & SWP_HIDEWINDOW) w->visible = false;
        // A new size or frame asks for painting (the class redraws on resizing); a move or a
        // change of z-order alone does not.
        bool resized = (r.right - r.left) != (before.right - before.left) ||
                       (r.bottom - r.top) != (before.bottom - before.top);
        if (!(flags & SWP_NOREDRAW) && w->visible && (resized || (flags & SWP_FRAMECHANGED))) {
            w->needsPaint = true;
        }
    }
    SyncSdl(window);
    TellGeometry(window);
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(window, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    RECT client;
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        WindowRecord* w = Find(window);
        if (w == nullptr) return nullptr;
        w->needsPaint = false;
        RECT c = ClientOf(*w);
        client = RECT{0, 0, c.right - c.left, c.bottom - c.top};
    }
    HDC dc = DcOfWindow(window);
    if (paint != nullptr) {
        paint->hdc = dc;
        paint->fErase = FALSE;
        paint->rcPaint = client;
    }
    return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT*) {
    return IsWindow(window);
}

HWND WindowFromDC(HDC dc) {
    uintptr_t value = reinterpret_cast<uintptr_t>(dc);
    if ((value & 0xF) != 1) return nullptr;
    HWND window = reinterpret_cast<HWND>(value & ~static_cast<uintptr_t>(0xF));
    if (window == reinterpret_cast<HWND>(kDesktopWindow)) return window;
    return IsWindow(window) ? window : nullptr;
}

HDC DcOfWindow(HWND window) {
    uintptr_t value = window == nullptr ? kDesktopWindow : Key(window);
    return reinterpret_cast<HDC>(value | 1);
}

// --- Cursor and icons --------------------------------------------------------------------------

int ShowCursor(BOOL show) {
    int count;
    {
        std::lock_guard<std::mutex> lock(g_cursorMutex);
        g_cursorCount += show ? 1 : -1;
        count = g_cursorCount;
        g_cursorDirty = true;
    }
    if (OnVideoThread()) detail::ApplyCursorState();
    return count;
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR old;
    {
        std::lock_guard<std::mutex> lock(g_cursorMutex);
        old = g_cursor;
        g_cursor = cursor;
        g_cursorDirty = true;
    }
    if (OnVideoThread()) detail::ApplyCursorState();
    return old;
}

HCURSOR LoadCursorA(HINSTANCE, const char*) {
    return reinterpret_cast<HCURSOR>(kArrowCursor);
}

BOOL GetCursorPos(POINT* point) {
    if (point == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(g_cursorMutex);
    *point = g_cursorPos;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    {
        std::lock_guard<std::mutex> lock(g_cursorMutex);
        g_cursorPos = POINT{x, y};
    }
    if (!OnVideoThread()) return TRUE;
    // Warp inside the window that holds the point, the active one first.
    SDL_Window* sdl = nullptr;
    int cx = 0;
    int cy = 0;
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        auto inside = [&](const WindowRecord& w) {
            RECT c = ClientOf(w);
            return w.sdl != nullptr && w.visible && x >= c.left && x < c.right && y >= c.top &&
                   y < c.bottom;
        };
        WindowRecord* active = Find(T().active);
        const WindowRecord* hit = (active != nullptr && inside(*active)) ? active : nullptr;
        for (auto& [handle, w] : T().windows) {
            if (hit == nullptr && inside(w)) hit = &w;
        }
        if (hit != nullptr) {
            RECT c = ClientOf(*hit);
            sdl = hit->sdl;
            cx = x - c.left;
            cy = y - c.top;
        }
    }
    if (sdl != nullptr) SDL_WarpMouseInWindow(sdl, cx, cy);
    return TRUE;
}

HICON LoadIconA(HINSTANCE instance, const char* name) {
    int id = IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<uintptr_t>(name)) : 0;
    if (instance != nullptr && id != 0) {
        std::string file = "icon" + std::to_string(id) + ".bmp";
        std::string dir = detail::ProgramDirectory();
        SDL_Surface* surface = nullptr;
        if (!dir.empty()) surface = SDL_LoadBMP((dir + file).c_str());
        if (surface == nullptr) surface = SDL_LoadBMP(file.c_str());
        if (surface != nullptr) {
            std::lock_guard<std::mutex> lock(T().mutex);
            return AddIcon(surface);
        }
    }
    std::lock_guard<std::mutex> lock(T().mutex);
    return DefaultIconLocked();
}

// --- Desktop -----------------------------------------------------------------------------------

int GetSystemMetrics(int index) {
    detail::DesktopInfo desktop = detail::CurrentDesktop();
    switch (index) {
        case SM_CXSCREEN:
            return desktop.width;
        case SM_CYSCREEN:
            return desktop.height;
        default:
            return 0;
    }
}

HWND GetDesktopWindow() {
    return reinterpret_cast<HWND>(kDesktopWindow);
}

int GetDeviceCaps(HDC, int index) {
    detail::DesktopInfo desktop = detail::CurrentDesktop();
    switch (index) {
        case HORZRES:
            return desktop.width;
        case VERTRES:
            return desktop.height;
        case BITSPIXEL:
            return desktop.bits;
        case PLANES:
            return 1;
        case VREFRESH:
            return desktop.refresh;
        default:
            return 0;
    }
}

SDL_Window* GetSdlWindow(HWND window) {
    std::lock_guard<std::mutex> lock(T().mutex);
    WindowRecord* w = Find(window);
    return w != nullptr ? w->sdl : nullptr;
}

namespace detail {

bool ViewWindow(HWND window, WindowView* view) {
    std::lock_guard<std::mutex> lock(T().mutex);
    WindowRecord* w = Find(window);
    if (w == nullptr) return false;
    view->handle = window;
    view->procedure = w->procedure;
    view->owner = w->owner;
    view->style = w->style;
    view->exStyle = w->exStyle;
    view->windowRect = w->rect;
    view->clientRect = ClientOf(*w);
    view->visible = w->visible;
    view->needsPaint = w->needsPaint;
    auto c = T().classes.find(w->classKey);
    view->classCursor = c != T().classes.end() ? c->second.cursor : nullptr;
    return true;
}

HWND WindowFromSdlId(uint32_t sdlWindowId) {
    std::lock_guard<std::mutex> lock(T().mutex);
    for (auto& [handle, w] : T().windows) {
        if (w.sdl != nullptr && w.sdlId == sdlWindowId) return reinterpret_cast<HWND>(handle);
    }
    return nullptr;
}

uint32_t SdlIdOfWindow(HWND window) {
    std::lock_guard<std::mutex> lock(T().mutex);
    WindowRecord* w = Find(window);
    return w != nullptr ? w->sdlId : 0;
}

HWND WindowNeedingPaint(DWORD threadId, HWND filter) {
    std::lock_guard<std::mutex> lock(T().mutex);
    for (auto& [handle, w] : T().windows) {
        if (w.owner != threadId || !w.needsPaint || !w.visible || w.destroying) continue;
        if (filter != nullptr && Key(filter) != handle) continue;
        return reinterpret_cast<HWND>(handle);
    }
    return nullptr;
}

void SetNeedsPaint(HWND window, bool needs) {
    std::lock_guard<std::mutex> lock(T().mutex);
    WindowRecord* w = Find(window);
    if (w != nullptr) w->needsPaint = needs;
}

void ListWindows(HWND* out, int capacity, int* count) {
    std::lock_guard<std::mutex> lock(T().mutex);
    std::vector<std::pair<uint64_t, uintptr_t>> order;
    for (auto& [handle, w] : T().windows) {
        if (!w.destroying) order.emplace_back(w.order, handle);
    }
    std::sort(order.begin(), order.end());
    int n = 0;
    for (auto& [o, handle] : order) {
        if (n < capacity) out[n] = reinterpret_cast<HWND>(handle);
        ++n;
    }
    *count = std::min(n, capacity);
}

void NoteSystemMove(HWND window, int clientX, int clientY) {
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        WindowRecord* w = Find(window);
        if (w == nullptr || IsFullScreenStyle(w->style)) return;
        RECT c = ClientOf(*w);
        LONG dx = clientX - c.left;
        LONG dy = clientY - c.top;
        if (dx == 0 && dy == 0) return;
        w->rect.left += dx;
        w->rect.right += dx;
        w->rect.top += dy;
        w->rect.bottom += dy;
    }
    TellGeometry(window);
}

void NoteSystemSize(HWND window, int clientWidth, int clientHeight) {
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        WindowRecord* w = Find(window);
        if (w == nullptr || IsFullScreenStyle(w->style)) return;
        RECT c = ClientOf(*w);
        LONG dw = clientWidth - (c.right - c.left);
        LONG dh = clientHeight - (c.bottom - c.top);
        if (dw == 0 && dh == 0) return;
        w->rect.right += dw;
        w->rect.bottom += dh;
        w->needsPaint = true;
    }
    TellGeometry(window);
}

void ApplyCursorState() {
    bool show;
    {
        std::lock_guard<std::mutex> lock(g_cursorMutex);
        if (!g_cursorDirty) return;
        g_cursorDirty = false;
        show = g_cursorCount >= 0 && g_cursor != nullptr;
    }
    if (VideoStarted()) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void NoteCursorPos(int x, int y) {
    std::lock_guard<std::mutex> lock(g_cursorMutex);
    g_cursorPos = POINT{x, y};
}

// Switches an SDL window between full screen and its client rectangle (main thread).
void SetSdlFullScreen(HWND window, SDL_Window* sdl, bool fullScreen) {
    SDL_SetWindowFullscreen(sdl, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    if (fullScreen) {
        PlaceFullScreenWindow(sdl);
        return;
    }
    WindowView view{};
    if (!ViewWindow(window, &view)) return;
    const SDL_Rect client{view.clientRect.left, view.clientRect.top,
                          view.clientRect.right - view.clientRect.left,
                          view.clientRect.bottom - view.clientRect.top};
    PlaceWithoutWindowManager(sdl, client, false);
}

void PlaceFullScreenWindow(SDL_Window* sdl) {
    const Uint32 flags = SDL_GetWindowFlags(sdl);
    if ((flags & SDL_WINDOW_FULLSCREEN_DESKTOP) != SDL_WINDOW_FULLSCREEN_DESKTOP) return;
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(sdl)), &bounds) != 0) return;
    PlaceWithoutWindowManager(sdl, bounds, true);
}

// Brings SDL windows that other threads changed up to date (main thread).
void SyncDirtyWindows() {
    std::vector<HWND> dirty;
    std::vector<std::pair<SDL_Window*, std::string>> titles;
    {
        std::lock_guard<std::mutex> lock(T().mutex);
        for (auto& [handle, w] : T().windows) {
            if (w.sdlDirty && w.sdl != nullptr) {
                dirty.push_back(reinterpret_cast<HWND>(handle));
                titles.emplace_back(w.sdl, w.title);
            }
        }
    }
    for (auto& [sdl, title] : titles) SDL_SetWindowTitle(sdl, SjisToUtf8(title).c_str());
    for (HWND window : dirty) SyncSdl(window);
}

void ResetWindowControls() {
    std::lock_guard<std::mutex> lock(T().mutex);
    T().failRegistrations = 0;
    T().failCreations = 0;
}

}  // namespace detail

namespace testing {

void FailClassRegistrations(int count) {
    std::lock_guard<std::mutex> lock(T().mutex);
    T().failRegistrations = std::max(0, count);
}

void FailWindowCreations(int count) {
    std::lock_guard<std::mutex> lock(T().mutex);
    T().failCreations = std::max(0, count);
}

int CursorDisplayCount() {
    std::lock_guard<std::mutex> lock(g_cursorMutex);
    return g_cursorCount;
}

bool CursorShown() {
    std::lock_guard<std::mutex> lock(g_cursorMutex);
    return g_cursorCount >= 0 && g_cursor != nullptr;
}

}  // namespace testing
}  // namespace plat
