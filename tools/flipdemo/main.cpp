// flipdemo: shows two pictures of an evening landscape in turn (the stars twinkle, the
// cottage's window flickers) through a full-screen flip chain, one flip per vertical blank.
//
//     flipdemo [--headless] [--frames N] [--mode WIDTHxHEIGHTxBITS]
//
// Escape or closing the window ends it. --headless runs under SDL's dummy video driver;
// at the end the program prints how many pictures the presenter showed.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ddraw/ddraw.h"
#include "platform/testing.h"
#include "platform/win/messages.h"
#include "platform/win/process.h"
#include "platform/win/window.h"

using namespace plat;

namespace {

bool g_quit = false;

LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) g_quit = true;
            return 0;
        case WM_CLOSE:
            g_quit = true;
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

uint32_t Hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

double Mix(double a, double b, double t) {
    return a + (b - a) * t;
}

double Clamp01(double t) {
    return t < 0 ? 0 : (t > 1 ? 1 : t);
}

struct Rgb {
    double r, g, b;
};

Rgb Blend(Rgb a, Rgb b, double t) {
    return Rgb{Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t)};
}

// The scene at (x, y) of a w x h picture; frame 0 or 1.
Rgb Scene(int x, int y, int w, int h, int frame) {
    const double u = static_cast<double>(x) / w;
    const double v = static_cast<double>(y) / h;
    // Sky: deep blue above, a warm band at the horizon.
    Rgb c = v < 0.45 ? Blend(Rgb{12, 18, 58}, Rgb{92, 60, 120}, v / 0.45)
                     : Blend(Rgb{92, 60, 120}, Rgb{240, 150, 90}, Clamp01((v - 0.45) / 0.2));
    // Stars, half of them brighter in each frame.
    const uint32_t cell = Hash(static_cast<uint32_t>((y / 3) * 4099 + x / 3));
    if (v < 0.42 && (cell & 0xFF) < 3 && x % 3 == 1 && y % 3 == 1) {
        const bool bright = ((cell >> 8) & 1u) == static_cast<uint32_t>(frame);
        const double s = bright ? 1.0 : 0.45;
        c = Blend(c, Rgb{255, 250, 225}, s);
    }
    // The moon with a soft glow.
    const double dx = (u - 0.74) * w / h, dy = v - 0.22;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d < 0.055) {
        c = Blend(Rgb{255, 244, 210}, Rgb{230, 215, 180}, Clamp01((d - 0.03) / 0.025));
    } else {
        c = Blend(c, Rgb{200, 180, 200}, 0.35 * Clamp01(1 - (d - 0.055) / 0.12));
    }
    // Far hills, then near hills with a cottage.
    const double far = 0.62 + 0.05 * std::sin(u * 7.0 + 1.3) + 0.025 * std::sin(u * 17.0);
    const double nearHill = 0.74 + 0.06 * std::sin(u * 4.0 + 0.4) + 0.015 * std::sin(u * 23.0);
    if (v > far) c = Blend(Rgb{70, 48, 96}, Rgb{48, 36, 74}, Clamp01((v - far) * 4));
    if (v > nearHill) c = Blend(Rgb{34, 62, 48}, Rgb{14, 30, 24}, Clamp01((v - nearHill) * 3));
    // The cottage on the near hill.
    const double hx = 0.28, base = 0.74 + 0.06 * std::sin(hx * 4.0 + 0.4) + 0.01;
    const double bw = 0.06, bh = 0.07 * w / h * 0.75;
    if (u > hx - bw && u < hx + bw && v > base - bh && v < base + 0.01) {
        c = Rgb{40, 28, 30};
        const bool window =
            u > hx - 0.02 && u < hx + 0.005 && v > base - bh * 0.7 && v < base - bh * 0.3;
        if (window) c = frame == 0 ? Rgb{255, 214, 110} : Rgb{250, 170, 70};
    }
    // The roof.
    const double roofTop = base - bh - 0.05;
    if (v >= roofTop && v <= base - bh) {
        const double half = bw * 1.2 * (v - roofTop) / 0.05;
        if (std::fabs(u - hx) < half) c = Rgb{88, 36, 32};
    }
    return c;
}

// Draws picture `frame` into a locked surface of the display's format.
bool Paint(DirectDrawSurface* surface, int frame) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    if (DDFailed(surface->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr))) return false;
    const DDPixelFormat& f = d.ddpfPixelFormat;
    const ChannelMask r = DescribeChannel(f.redMask);
    const ChannelMask g = DescribeChannel(f.greenMask);
    const ChannelMask b = DescribeChannel(f.blueMask);
    const int bytes = static_cast<int>(f.rgbBitCount / 8);
    const int w = static_cast<int>(d.dwWidth), h = static_cast<int>(d.dwHeight);
    for (int y = 0; y < h; ++y) {
        auto* row = static_cast<uint8_t*>(d.lpSurface) + static_cast<int64_t>(y) * d.lPitch;
        for (int x = 0; x < w; ++x) {
            const Rgb c = Scene(x, y, w, h, frame);
            const uint32_t v = ChannelFrom8(static_cast<uint32_t>(c.r), r) |
                               ChannelFrom8(static_cast<uint32_t>(c.g), g) |
                               ChannelFrom8(static_cast<uint32_t>(c.b), b);
            WritePixelBytes(row + x * bytes, bytes, v);
        }
    }
    surface->Unlock(nullptr);
    return true;
}

int Fail(const char* what, HRESULT result) {
    std::fprintf(stderr, "flipdemo: %s failed (0x%08X)\n", what, static_cast<unsigned>(result));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    long frames = -1;
    DWORD width = 640, height = 480, bits = 32;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            setenv("SDL_VIDEODRIVER", "dummy", 1);
        } else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::strtol(argv[++i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--mode") == 0 && i + 1 < argc) {
            unsigned w = 0, h = 0, b = 0;
            if (std::sscanf(argv[++i], "%ux%ux%u", &w, &h, &b) != 3) {
                std::fprintf(stderr, "flipdemo: --mode wants WIDTHxHEIGHTxBITS\n");
                return 2;
            }
            width = w;
            height = h;
            bits = b;
        } else {
            std::fprintf(stderr, "usage: flipdemo [--headless] [--frames N] [--mode WxHxB]\n");
            return 2;
        }
    }

    testing::UsePrivateInstanceLockKey();
    WNDCLASSA c{};
    c.lpfnWndProc = Procedure;
    c.hInstance = GetModuleHandleA(nullptr);
    c.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW));
    c.lpszClassName = "FlipDemo";
    if (RegisterClassA(&c) == 0) return Fail("RegisterClassA", 0);
    HWND window =
        CreateWindowExA(0, "FlipDemo", "flipdemo", WS_POPUP, 0, 0, static_cast<int>(width),
                        static_cast<int>(height), nullptr, nullptr, c.hInstance, nullptr);
    if (window == nullptr) return Fail("CreateWindowExA", 0);
    ShowWindow(window, SW_SHOW);

    DirectDraw* dd = nullptr;
    HRESULT r = CreateDirectDraw7(&dd);
    if (DDFailed(r)) return Fail("CreateDirectDraw7", r);
    if (DDFailed(r = dd->Initialize(nullptr))) return Fail("Initialize", r);
    r = dd->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
    if (DDFailed(r)) return Fail("SetCooperativeLevel", r);
    if (DDFailed(r = dd->SetDisplayMode(width, height, bits, 0, 0)))
        return Fail("SetDisplayMode", r);

    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    d.dwBackBufferCount = 1;
    DirectDrawSurface* front = nullptr;
    if (DDFailed(r = dd->CreateSurface(&d, &front, nullptr))) return Fail("CreateSurface", r);
    DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
    DirectDrawSurface* back = nullptr;
    if (DDFailed(r = front->GetAttachedSurface(&caps, &back))) return Fail("GetAttachedSurface", r);

    DirectDrawSurface* pictures[2] = {nullptr, nullptr};
    for (int k = 0; k < 2; ++k) {
        DDSURFACEDESC2 p{};
        p.dwSize = sizeof p;
        p.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        p.dwWidth = width;
        p.dwHeight = height;
        p.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        if (DDFailed(r = dd->CreateSurface(&p, &pictures[k], nullptr)))
            return Fail("CreateSurface", r);
        if (!Paint(pictures[k], k)) return Fail("Lock", DDERR_GENERIC);
    }

    const uint64_t before = testing::PresentCount();
    long shown = 0;
    while (!g_quit && (frames < 0 || shown < frames)) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (front->IsLost() == DDERR_SURFACELOST) front->Restore();
        if (DDFailed(back->BltFast(0, 0, pictures[shown & 1], nullptr, DDBLTFAST_WAIT))) continue;
        if (DDFailed(front->Flip(nullptr, DDFLIP_WAIT))) continue;
        ++shown;
    }
    std::printf("presented %llu frames\n",
                static_cast<unsigned long long>(testing::PresentCount() - before));

    pictures[0]->Release();
    pictures[1]->Release();
    back->Release();
    front->Release();
    dd->SetCooperativeLevel(window, DDSCL_NORMAL);
    dd->Release();
    DestroyWindow(window);
    return 0;
}
