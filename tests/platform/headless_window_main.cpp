// A small program: makes a window, pumps its messages until a close arrives from outside
// (injected by a second thread), destroys it and ends with 0. Runs under SDL's dummy driver.
#include <cstdio>

#include "platform/testing.h"
#include "platform/win/messages.h"
#include "platform/win/process.h"
#include "platform/win/thread.h"
#include "platform/win/time.h"
#include "platform/win/window.h"

using namespace plat;

namespace {

bool g_destroyed = false;

LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            g_destroyed = true;
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

DWORD CloseLater(void* window) {
    Sleep(50);
    testing::InjectClose(static_cast<HWND>(window));
    return 0;
}

}  // namespace

int main() {
    testing::UsePrivateInstanceLockKey();
    WNDCLASSA c{};
    c.style = CS_HREDRAW | CS_VREDRAW;
    c.lpfnWndProc = Procedure;
    c.hInstance = GetModuleHandleA(nullptr);
    c.hIcon = LoadIconA(c.hInstance, MAKEINTRESOURCEA(101));
    c.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW));
    c.lpszClassName = "HeadlessWindow";
    if (RegisterClassA(&c) == 0) {
        std::fprintf(stderr, "class registration failed\n");
        return 1;
    }
    RECT r{0, 0, 640, 480};
    AdjustWindowRectEx(&r, 0x80CA0000u, FALSE, 0x300);
    HWND window =
        CreateWindowExA(0x300, "HeadlessWindow", "headless", 0x80CA0000u, 0, 0, r.right - r.left,
                        r.bottom - r.top, nullptr, nullptr, c.hInstance, nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "window creation failed\n");
        return 1;
    }
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    HANDLE closer = CreateThread(nullptr, 0, CloseLater, window, 0, nullptr);

    DWORD start = timeGetTime();
    bool quit = false;
    while (!quit) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (timeGetTime() - start > 10000) {
            std::fprintf(stderr, "no close arrived within 10 s\n");
            return 1;
        }
        Sleep(1);
    }
    WaitForSingleObject(closer, INFINITE);
    CloseHandle(closer);
    if (!g_destroyed || IsWindow(window)) {
        std::fprintf(stderr, "the window was not destroyed\n");
        return 1;
    }
    UnregisterClassA("HeadlessWindow", c.hInstance);
    return 0;
}
