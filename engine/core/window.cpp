// The main window: its procedure, the window-mode switch, styles and sizes, the cursor and the
// window-setting bodies.
#include "engine/core/window.h"

#include <cstdio>
#include <cstring>

#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/core/engine_system.h"
#include "engine/core/network.h"
#include "engine/d3d/d3d.h"
#include "engine/graphics/color_format.h"
#include "engine/graphics/graphics_core.h"
#include "engine/input/input.h"
#include "engine/screen/screen.h"
#include "engine/sound/sound.h"
#include "platform/win/messages.h"
#include "platform/win/system.h"
#include "platform/win/thread.h"
#include "platform/win/time.h"
#include "platform/win/window.h"

namespace tessra {

using namespace sjis_literals;

const WindowStyleRow kWindowStyles[7] = {
    {0x80CA0000u, 0x300u, 0x80000000u, 0x8u}, {0x80080000u, 0x300u, 0x80000000u, 0x8u},
    {0x80080000u, 0x0u, 0x80000000u, 0x8u},   {0x80CA0000u, 0x80u, 0x80000000u, 0x8u},
    {0x80080000u, 0x80u, 0x80000000u, 0x8u},  {0x80C80000u, 0x100u, 0x0u, 0x0u},
    {0x80CA0000u, 0x0u, 0x0u, 0x0u},
};

namespace {

// WM_SIZING edges.
constexpr plat::WPARAM kSizingLeft = 1, kSizingRight = 2, kSizingTop = 3, kSizingTopLeft = 4,
                       kSizingTopRight = 5, kSizingBottom = 6, kSizingBottomLeft = 7,
                       kSizingBottomRight = 8;
constexpr plat::UINT kInputStateFlag1Message = 0x46F;
constexpr plat::UINT kInputStateFlag2Message = 0x470;
constexpr int kToolBarFirstId = 0x500;
constexpr int kMenuAutoShowBand = 60;

EngineSettings& Settings() {
    return GetSystemStateBlock()->settings;
}
EngineRuntimeState& Run() {
    return GetSystemStateBlock()->run;
}

bool OwnWindow() {
    return Run().window != nullptr && !Settings().userWindow;
}

const WindowStyleRow& StyleRow() {
    int kind = Settings().windowStyleKind;
    if (kind < 0 || kind > 6) kind = 0;
    return kWindowStyles[kind];
}

void ScreenSize(int* w, int* h) {
    *w = 640;
    *h = 480;
    ReadScreenSize(w, h);
}

void HideCursorCompletely() {
    plat::SetCursor(nullptr);
    while (plat::ShowCursor(plat::FALSE) >= 0) {
    }
}

bool g_mouseInMenuBand = false;

// Keeps the client area at the screen's aspect ratio while the user drags an edge or corner.
void KeepAspectWhileSizing(plat::WPARAM edge, plat::RECT* r) {
    EngineSettings& set = Settings();
    EngineRuntimeState& run = Run();
    int sw, sh;
    ScreenSize(&sw, &sh);
    if (sw <= 0 || sh <= 0) return;
    plat::RECT frame{0, 0, 0, 0};
    plat::AdjustWindowRectEx(&frame, CurrentWindowStyle(), set.menuInUse ? 1 : 0,
                             CurrentWindowExStyle());
    const int fw = frame.right - frame.left;
    const int fh = frame.bottom - frame.top + GetToolBarHeight();
    int cw = r->right - r->left - fw;
    int ch = r->bottom - r->top - fh;
    if (cw < 1) cw = 1;
    if (ch < 1) ch = 1;
    bool heightFollows = edge == kSizingLeft || edge == kSizingRight;
    if (edge == kSizingTopLeft || edge == kSizingTopRight || edge == kSizingBottomLeft ||
        edge == kSizingBottomRight) {
        const int oldW =
            run.clientRight - run.clientLeft > 0 ? run.clientRight - run.clientLeft : sw;
        const int oldH =
            run.clientBottom - run.clientTop > 0 ? run.clientBottom - run.clientTop : sh;
        // The side that grew less in proportion follows the other.
        heightFollows = static_cast<double>(ch) / oldH < static_cast<double>(cw) / oldW;
    } else if (edge != kSizingLeft && edge != kSizingRight && edge != kSizingTop &&
               edge != kSizingBottom) {
        return;
    }
    if (heightFollows) {
        ch = static_cast<int>(static_cast<int64_t>(cw) * sh / sw);
    } else {
        cw = static_cast<int>(static_cast<int64_t>(ch) * sw / sh);
    }
    if (edge == kSizingTop || edge == kSizingTopLeft || edge == kSizingTopRight)
        r->top = r->bottom - ch - fh;
    else
        r->bottom = r->top + ch + fh;
    if (edge == kSizingLeft || edge == kSizingTopLeft || edge == kSizingBottomLeft)
        r->left = r->right - cw - fw;
    else
        r->right = r->left + cw + fw;
    set.windowScale = static_cast<double>(cw) / sw;
}

void HandleActivate(plat::WPARAM wParam) {
    EngineSettings& set = Settings();
    EngineRuntimeState& run = Run();
    run.active = plat::LOWORD(wParam) != 0 ? 1 : 0;
    if (run.windowBeingMade) return;
    if (run.active) {
        RequestImeReapply();
        RestoreAllSurfaces2D();
        RestoreAllTextures();
        if (set.windowMode == 0 && run.surfacesLost && run.engineStarted) {
            RebuildDisplay();
            run.surfacesLost = 0;
        } else {
            PlayAllGraphMovies();
        }
        ReacquireInputDevices();
    } else {
        if (set.windowMode == 0 && IsDisplayModeChanged() && GetDirectDrawObject() != nullptr) {
            if (!HasGraphRestoreRoutine() && !set.userWindow) {
                AppendLog("復元関数が登録されていないため終了します\n"_sjis);
                RequestWindowClose();
                return;
            }
            run.surfacesLost = 1;
        } else {
            StopAllGraphMovies();
        }
        PaintInactiveBackground(nullptr);
    }
    ApplyJoypadVibration();
    if (set.activation != nullptr) set.activation(set.activationArgument);
    // The system-key lock needs a hook library, which this system has not; nothing turns it on.
}

void HandlePaint(plat::HWND window) {
    EngineSettings& set = Settings();
    EngineRuntimeState& run = Run();
    plat::PAINTSTRUCT ps{};
    plat::BeginPaint(window, &ps);
    run.painting = 1;
    if (!run.active && set.backgroundPicture != 0 && !set.runWhenInactive) {
        PaintInactiveBackground(ps.hdc);
    } else if (!run.engineStarted && set.windowRegion == nullptr) {
        // Nothing drawn yet: the presenter shows the window black until the first frame.
    } else if (GetDrawTarget() == -2) {
        const int vsync = GetVsyncWaitFlag();
        StoreVsyncWaitFlag(0);
        BlitBackBufferToWindow();
        StoreVsyncWaitFlag(vsync);
    }
    run.painting = 0;
    plat::EndPaint(window, &ps);
}

void HandleDisplayChange(plat::WPARAM wParam, plat::LPARAM lParam) {
    EngineSettings& set = Settings();
    EngineRuntimeState& run = Run();
    if (set.windowMode == 1 && !run.modeChange) {
        int sw = 640, sh = 480, sb = 16;
        GetScreenSizeAndBits(&sw, &sh, &sb);
        const int newBits = static_cast<int>(wParam);
        const int newW = plat::LOWORD(static_cast<uintptr_t>(lParam));
        const int newH = plat::HIWORD(static_cast<uintptr_t>(lParam));
        if (newBits != sb || newW != sw || newH != sh) {
            if (!HasGraphRestoreRoutine() || newBits == 24 || (newBits == 8 && sb != 8) ||
                newW < sw || newH < sh) {
                AppendLog(
                    "復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了し"
                    "ます\n"_sjis);
                AppendLog(
                    "またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\n"_sjis);
                RequestWindowClose();
            } else {
                ReleaseAllMovieObjects();
                SetupScreenColorFormat();
                RebuildDisplay();
                PlayAllGraphMovies();
            }
        }
    }
    run.displayChanged = 1;
}

}  // namespace

void NoteClientRect() {
    EngineRuntimeState& run = Run();
    plat::RECT client{};
    plat::GetClientRect(run.window, &client);
    plat::POINT origin{0, 0};
    plat::ClientToScreen(run.window, &origin);
    run.clientLeft = origin.x;
    run.clientTop = origin.y;
    run.clientRight = origin.x + client.right;
    run.clientBottom = origin.y + client.bottom;
}

uint32_t CurrentWindowStyle() {
    const EngineSettings& set = Settings();
    if (set.windowMode != 1) return StyleRow().fullScreenStyle;
    uint32_t style = StyleRow().windowStyle;
    if (set.userMaySwitchWindowMode) style |= plat::WS_MAXIMIZEBOX;
    if (Run().styleApplied) style |= plat::WS_VISIBLE;
    if (set.sizableWindow) style |= plat::WS_THICKFRAME;
    return style;
}

uint32_t CurrentWindowExStyle() {
    const EngineSettings& set = Settings();
    if (set.windowMode != 1) return StyleRow().fullScreenExStyle;
    uint32_t ex = StyleRow().windowExStyle;
    if (set.hiddenWindow) ex |= plat::WS_EX_TRANSPARENT;
    return ex;
}

void RequestWindowClose() {
    EngineRuntimeState& run = Run();
    int32_t expected = 0;
    if (run.closeRequested.compare_exchange_strong(expected, 1))
        plat::PostMessageA(run.window, plat::WM_CLOSE, 0, 0);
}

plat::LRESULT HandleMainWindowMessage(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                                      plat::LPARAM lParam) {
    EngineSettings& set = Settings();
    EngineRuntimeState& run = Run();
    plat::LRESULT userResult = 0;
    if (set.userWindow && set.userWindowProc != nullptr)
        userResult = plat::CallWindowProcA(set.userWindowProc, window, message, wParam, lParam);
    if (set.messageHook != nullptr) set.messageHook(window, message, wParam, lParam);

    switch (message) {
        case plat::WM_CREATE:
            // A window region would be applied here; this system offers none and none is set.
            break;
        case plat::WM_DESTROY:
            if (!set.userWindow) {
                AppendLog("ウインドウが破棄されようとしています\n"_sjis);
                AppendLog("ソフトを終了する準備が整いました\n"_sjis);
                if (!set.noPostQuitMessage) plat::PostQuitMessage(0);
                run.quit = 1;
            }
            break;
        case plat::WM_MOVE:
            if (set.windowMode == 1 && !run.modeChange) HandleWindowMoved(lParam);
            break;
        case plat::WM_SIZE:
            if (wParam == plat::SIZE_MAXIMIZED) {
                if (set.userMaySwitchWindowMode && !run.modeChange && !run.windowBeingMade &&
                    set.windowMode == 1)
                    run.switchRequest = 1;
            } else {
                FitWindowToClient();
            }
            break;
        case plat::WM_ACTIVATE:
            HandleActivate(wParam);
            break;
        case plat::WM_PAINT:
            HandlePaint(window);
            break;
        case plat::WM_CLOSE:
            if (set.userWindow) break;
            AppendLog("ウインドウを閉じようとしています\n"_sjis);
            if (!set.closeOnlyAtShutdown || run.ending == 1) plat::DestroyWindow(window);
            if (run.ending == 0) run.ending = 4;
            return 0;
        case plat::WM_SETCURSOR:
        case plat::WM_MOUSEMOVE:
        case plat::WM_LBUTTONDOWN:
        case plat::WM_LBUTTONUP:
        case plat::WM_RBUTTONDOWN:
        case plat::WM_RBUTTONUP:
        case plat::WM_MBUTTONDOWN:
        case plat::WM_MBUTTONUP:
            if (!run.mouseShown) HideCursorCompletely();
            break;
        case plat::WM_DISPLAYCHANGE:
            HandleDisplayChange(wParam, lParam);
            break;
        case plat::WM_KEYDOWN:
            for (const ControlKeyChar* e = kControlKeyTable; e->key != 0; ++e) {
                if (e->key == wParam) {
                    PutInputChar(e->ch);  // -1 when the buffer is full: the key is dropped
                    break;
                }
            }
            break;
        case plat::WM_CHAR:
            PutInputChar(static_cast<uint8_t>(wParam));
            break;
        case plat::WM_SYSCHAR:
            if (wParam == '\r' && set.userMaySwitchWindowMode) run.switchRequest = 1;
            return 0;
        case plat::WM_IME_STARTCOMPOSITION:
        case plat::WM_IME_ENDCOMPOSITION:
        case plat::WM_IME_COMPOSITION:
        case plat::WM_IME_SETCONTEXT:
        case plat::WM_IME_NOTIFY:
            return OnImeMessage(window, message, wParam, lParam);
        case plat::WM_COMMAND: {
            const int id = plat::LOWORD(wParam);
            if (set.toolBar != nullptr && id >= kToolBarFirstId)
                RecordToolBarButton(id);
            else if (set.menuInUse)
                RecordMenuCommand(id);
            break;
        }
        case plat::WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == plat::SC_SCREENSAVE) return 1;
            if ((wParam & 0xFFF0) == plat::SC_CLOSE && set.systemKeyLock) return 0;
            break;
        case plat::WM_SIZING:
            if (set.windowMode == 1 && !set.userWindow && lParam != 0)
                KeepAspectWhileSizing(wParam, reinterpret_cast<plat::RECT*>(lParam));
            break;
        case plat::WM_MOVING:
            if (set.windowMode == 0 && lParam != 0)
                plat::GetWindowRect(window, reinterpret_cast<plat::RECT*>(lParam));
            break;
        case plat::WM_DROPFILES:
            // The window never registers for dropped files, so this does not arrive.
            break;
        case plat::MM_MCINOTIFY:
            HandleMciMidiNotify();
            break;
        case kInputStateFlag1Message:
            if (wParam == 1)
                EnableInputStateFlag1();
            else
                DisableInputStateFlag1();
            break;
        case kInputStateFlag2Message:
            if (wParam == 1)
                EnableInputStateFlag2();
            else
                DisableInputStateFlag2();
            break;
        case kSocketMessage:
            return HandleSocketEvent(wParam, lParam);
        default:
            break;
    }
    if (set.userWindow) return userResult;
    return plat::DefWindowProcA(window, message, wParam, lParam);
}

int ChangeWindowModeBody(int windowed) {
    EngineRuntimeState& run = Run();
    windowed = windowed != 0 ? 1 : 0;
    AppendLog("ChangeWindowMode実行 \n"_sjis);
    if (windowed == Settings().windowMode) return 0;
    run.styleApplied = 1;
    SetWindowModeFlag(windowed);
    if (!OwnWindow()) return 0;  // before start-up only the wish is recorded

    run.modeChange = 1;
    run.displayChanged = 0;
    ApplyWindowStyle();
    const int result = ChangeScreenMode(-1, -1, -1, 1, -1);
    // A mode change that leaves the display as it was sends no display-change message.
    const uint32_t start = plat::timeGetTime();
    while (ProcessMessageBody() == 0 && !run.displayChanged) {
        if (plat::timeGetTime() - start >= kBoundedWaitMs) {
            AppendLog("画面モード変更の通知が来ないので続行します\n"_sjis);
            break;
        }
        plat::Sleep(1);
    }
    run.modeChange = 0;
    return result;
}

int SetWindowModeFlag(int windowed) {
    Settings().windowMode = windowed;
    AppendLog(windowed == 1 ? "ウインドウモードフラグが立てられました\n"_sjis
                            : "ウインドウモードフラグが倒されました\n"_sjis);
    if (Settings().menuInUse) SetMenuShown(windowed == 1 ? 1 : 0);
    return 0;
}

int ApplyWindowStyle() {
    EngineSettings& set = Settings();
    EngineRuntimeState& run = Run();
    if (!OwnWindow()) return 0;
    int sw, sh;
    ScreenSize(&sw, &sh);
    if (set.windowMode == 1) {
        AppendLog("ウインドウスタイルをウインドウモード用に変更します... "_sjis);
        plat::SetWindowLongA(run.window, plat::GWL_EXSTYLE,
                             static_cast<plat::LONG>(CurrentWindowExStyle()));
        plat::SetWindowLongA(run.window, plat::GWL_STYLE,
                             static_cast<plat::LONG>(CurrentWindowStyle()));
        const double scale = GetWindowScale();
        plat::RECT rect{0, 0, static_cast<plat::LONG>(sw * scale),
                        static_cast<plat::LONG>(sh * scale) + GetToolBarHeight()};
        plat::AdjustWindowRectEx(&rect, CurrentWindowStyle(), set.menuInUse ? 1 : 0,
                                 CurrentWindowExStyle());
        const int outerW = rect.right - rect.left;
        const int outerH = rect.bottom - rect.top;
        int x = rect.left + (run.desktopWidth - outerW) / 2;
        int y = rect.top + (run.desktopHeight - outerH) / 2;
        if (set.usePresetPosition) {
            x = set.presetX;
            y = set.presetY;
        }
        plat::SetWindowPos(run.window, plat::HWND_NOTOPMOST(), x, y, outerW, outerH,
                           plat::SWP_FRAMECHANGED);
        NoteClientRect();
        if (run.clientLeft < 0 || run.clientTop < 0) {
            // Part of the client area would lie off the desktop: start it at the desktop's
            // origin instead.
            x -= run.clientLeft;
            y -= run.clientTop;
            plat::SetWindowPos(run.window, nullptr, x, y, 0, 0,
                               plat::SWP_NOSIZE | plat::SWP_NOZORDER);
            NoteClientRect();
        }
        SetMouseVisibleBody(1);
    } else {
        AppendLog("ウインドウスタイルをフルスクリーンモード用に変更します... "_sjis);
        plat::SetWindowLongA(run.window, plat::GWL_EXSTYLE,
                             static_cast<plat::LONG>(CurrentWindowExStyle()));
        plat::SetWindowLongA(run.window, plat::GWL_STYLE,
                             static_cast<plat::LONG>(CurrentWindowStyle()));
        run.clientLeft = 0;
        run.clientTop = 0;
        run.clientRight = sw;
        run.clientBottom = sh;
        plat::ShowWindow(run.window, plat::SW_SHOW);
        plat::UpdateWindow(run.window);
        plat::SetWindowPos(run.window, plat::HWND_TOPMOST(), 0, 0, sw, sh, plat::SWP_NOREDRAW);
        SetMouseVisibleBody(0);
    }
    AppendLog("完了\n"_sjis);
    plat::SetActiveWindow(run.window);
    plat::PostMessageA(run.window, plat::WM_SETCURSOR, 0,
                       plat::MAKELPARAM(plat::HTCLIENT, plat::WM_MOUSEMOVE));
    return 0;
}

int FitWindowToClient() {
    EngineSettings& set = Settings();
    EngineRuntimeState& run = Run();
    if (!OwnWindow()) return 0;
    int sw, sh;
    ScreenSize(&sw, &sh);
    const double scale = GetWindowScale();
    const int wantedW = static_cast<int>(sw * scale);
    const int wantedH = static_cast<int>(sh * scale) + GetToolBarHeight();
    plat::RECT client{}, outer{};
    plat::GetClientRect(run.window, &client);
    plat::GetWindowRect(run.window, &outer);
    const int dw = wantedW - client.right;
    const int dh = wantedH - client.bottom;
    if (dw != 0 || dh != 0) {
        plat::MoveWindow(run.window, outer.left, outer.top, outer.right - outer.left + dw,
                         outer.bottom - outer.top + dh, plat::TRUE);
    }
    if (set.windowMode == 1 && !run.styleApplied) {
        run.styleApplied = 1;
        ApplyWindowStyle();
    }
    return 0;
}

int HandleWindowMoved(plat::LPARAM lParam) {
    EngineRuntimeState& run = Run();
    if (!OwnWindow()) return 0;
    plat::RECT client{};
    if (!plat::GetClientRect(run.window, &client)) return 0;
    run.clientLeft = plat::GET_X_LPARAM(lParam);
    run.clientTop = plat::GET_Y_LPARAM(lParam);
    run.clientRight = run.clientLeft + client.right;
    run.clientBottom = run.clientTop + client.bottom;
    if (GetDrawTarget() == -4) {
        const Rect rect{run.clientLeft, run.clientTop, run.clientRight, run.clientBottom};
        const int mask = IsMaskInUse();
        SetMaskDrawEnabled(0);
        SetWindowClientScreenRect(&rect);
        SetMaskDrawEnabled(mask);
    }
    Rect clip{};
    GetDrawClipRect(&clip);
    ApplyDrawClipRect(clip.left, clip.top, clip.right, clip.bottom);
    return 0;
}

int ForceForegroundWindow(plat::HWND window, int topmost) {
    const plat::DWORD mine = plat::GetWindowThreadProcessId(window, nullptr);
    const plat::DWORD foreground =
        plat::GetWindowThreadProcessId(plat::GetForegroundWindow(), nullptr);
    plat::AttachThreadInput(mine, foreground, plat::TRUE);
    plat::DWORD oldTimeout = 0;
    plat::SystemParametersInfoA(plat::SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &oldTimeout, 0);
    plat::SystemParametersInfoA(plat::SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    int result = plat::SetForegroundWindow(window);
    plat::SystemParametersInfoA(plat::SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                                reinterpret_cast<void*>(static_cast<uintptr_t>(oldTimeout)), 0);
    result = plat::AttachThreadInput(mine, foreground, plat::FALSE);
    if (topmost == 1) {
        result = plat::SetWindowPos(Run().window, plat::HWND_TOPMOST(), 0, 0, 0, 0,
                                    plat::SWP_NOSIZE | plat::SWP_NOMOVE | plat::SWP_NOACTIVATE);
    }
    return result;
}

int SetWindowTitleBody(const char* text) {
    EngineSettings& set = Settings();
    if (text == nullptr) text = "";
    if (Run().window != nullptr) plat::SetWindowTextA(Run().window, text);
    std::snprintf(set.title, sizeof set.title, "%s", text);
    return 0;
}

int SetRunWhenInactiveBody(int flag) {
    Settings().runWhenInactive = flag;
    return 0;
}

int SetWindowIconBody(int iconId) {
    Settings().iconId = iconId;
    if (Run().window != nullptr) {
        plat::HICON icon =
            iconId != 0 ? plat::LoadIconA(Run().instance, plat::MAKEINTRESOURCEA(iconId))
                        : plat::LoadIconA(nullptr, plat::MAKEINTRESOURCEA(plat::IDI_APPLICATION));
        plat::SetClassLongPtrA(Run().window, plat::GCLP_HICON,
                               reinterpret_cast<plat::LONG_PTR>(icon));
    }
    return 0;
}

int SetWindowScaleBody(double scale) {
    EngineSettings& set = Settings();
    if (scale == set.windowScale) return 0;
    set.windowScale = scale > 0.0 ? scale : 1.0;
    if (set.windowMode == 1) ApplyWindowStyle();
    return 0;
}

int SetMouseVisibleBody(int flag) {
    EngineSettings& set = Settings();
    EngineRuntimeState& run = Run();
    run.mouseVisibleSetting = flag;
    bool show = flag == 1;
    if (!show && set.menuInUse && IsMenuShown() &&
        (set.menuAlwaysShown || set.windowMode == 1 || g_mouseInMenuBand))
        show = true;
    if ((show ? 1 : 0) != run.mouseShown) {
        if (show) {
            while (plat::ShowCursor(plat::TRUE) < 0) {
            }
        } else {
            while (plat::ShowCursor(plat::FALSE) >= 0) {
            }
        }
        if (run.window != nullptr)
            plat::PostMessageA(run.window, plat::WM_SETCURSOR, 0,
                               plat::MAKELPARAM(plat::HTCLIENT, plat::WM_MOUSEMOVE));
        run.mouseShown = show ? 1 : 0;
    }
    return 0;
}

int GetMousePositionBody(int* x, int* y) {
    const EngineRuntimeState& run = Run();
    plat::POINT p{0, 0};
    plat::GetCursorPos(&p);
    int px = p.x, py = p.y;
    if (Settings().windowMode == 1) {
        const double scale = GetWindowScale();
        px = static_cast<int>((p.x - run.clientLeft) / scale);
        py = static_cast<int>((p.y - run.clientTop - GetToolBarHeight()) / scale);
    }
    if (x != nullptr) *x = px;
    if (y != nullptr) *y = py;
    return 0;
}

int SetMousePositionBody(int x, int y) {
    const EngineRuntimeState& run = Run();
    int sw, sh;
    ScreenSize(&sw, &sh);
    x = x < 0 ? 0 : (x > sw ? sw : x);
    y = y < 0 ? 0 : (y > sh ? sh : y);
    if (Settings().windowMode == 1) {
        // Screen pixels are scaled into the client area, as GetMousePosition divides them back.
        const double scale = GetWindowScale();
        x = run.clientLeft + static_cast<int>(x * scale);
        y = run.clientTop + GetToolBarHeight() + static_cast<int>(y * scale);
    }
    plat::SetCursorPos(x, y);
    return 0;
}

plat::HWND GetEngineWindowBody() {
    return Run().window;
}

int IsWindowedMode() {
    return Settings().windowMode;
}

int GetDesktopMetrics(int* width, int* height, int* colorBits) {
    const EngineRuntimeState& run = Run();
    if (width != nullptr) *width = run.desktopWidth;
    if (height != nullptr) *height = run.desktopHeight;
    if (colorBits != nullptr) *colorBits = run.desktopColorBits;
    return 0;
}

int IsApplicationActive() {
    return Run().active;
}

int IsCloseRequested() {
    return Run().closeRequested;
}

double GetWindowScale() {
    EngineSettings& set = Settings();
    if (set.windowMode != 1) return 1.0;
    if (!(set.windowScale > 0.0)) set.windowScale = 1.0;
    return set.windowScale;
}

int GetClientAreaRect(int* rect4) {
    const EngineRuntimeState& run = Run();
    const int toolBar = GetToolBarHeight();
    rect4[0] = run.clientLeft;
    rect4[1] = run.clientTop + toolBar;
    rect4[2] = run.clientRight;
    rect4[3] = run.clientBottom + toolBar;
    return 0;
}

int GetMmxFlag() {
    return GetSystemStateBlock()->info.mmx;
}

int PaintInactiveBackground(plat::HDC) {
    EngineSettings& set = Settings();
    if (set.backgroundPicture == 0) return -1;
    if (Run().ending == 1) return 0;
    const int keptRunWhenInactive = set.runWhenInactive;
    set.runWhenInactive = 1;
    const int target = GetDrawTarget();
    const int filter = GetDrawFilterMode();
    const int vsync = GetVsyncWaitFlag();
    SetDrawTargetAndArea(-2);
    StoreDrawFilterMode(1);
    StoreVsyncWaitFlag(0);
    int sw, sh;
    ScreenSize(&sw, &sh);
    const int kept = CreateBlankGraphDefault(sw, sh);
    CopyDrawScreenToGraph(0, 0, sw, sh, kept, 0);
    int pw = 0, ph = 0;
    QueryGraphExtent(set.backgroundPicture, &pw, &ph);
    if (pw == sw && ph == sh)
        DrawGraphAt(0, 0, set.backgroundPicture, 0);
    else
        DrawGraphStretched(0, 0, sw, sh, set.backgroundPicture, 0);
    BlitBackBufferToWindow();
    DrawGraphAt(0, 0, kept, 0);
    ReleaseGraph(kept, 0);
    SetDrawTargetAndArea(target);
    StoreDrawFilterMode(filter);
    StoreVsyncWaitFlag(vsync);
    set.runWhenInactive = keptRunWhenInactive;
    return 0;
}

int UpdateMenuAutoShow() {
    if (Settings().windowMode == 1) return 0;
    plat::POINT p{0, 0};
    plat::GetCursorPos(&p);
    g_mouseInMenuBand = p.y < kMenuAutoShowBand;
    SetGdiSurfaceMode(GetGdiSurfaceModeFlag());
    SetMouseVisibleBody(Run().mouseVisibleSetting);
    SetMenuShown(IsMenuShown());
    return 0;
}

}  // namespace tessra
