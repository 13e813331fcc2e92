// Device contexts, DIB copies to windows and surfaces, BitBlt and display settings.
#include "platform/gdi/gdi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/ddraw/ddraw.h"
#include "platform/ddraw/display.h"
#include "platform/win/window.h"

namespace plat {
namespace {

// Where a copy writes: a surface's memory, or a window's picture (finished by End()).
struct DcTarget {
    detail::PixelTarget pixels;
    bool window = false;
    bool ok = false;

    void End() {
        if (ok && window) detail::EndWindowPicture();
        ok = false;
    }
};

DcTarget OpenTarget(HDC dc) {
    DcTarget t;
    if (DirectDrawSurface* s = detail::SurfaceOfDc(dc)) {
        if (s->Lost() || (s->Format().flags & DDPF_RGB) == 0) return t;
        t.pixels = detail::TargetOfSurface(*s);
        t.ok = true;
        return t;
    }
    const HWND window = WindowFromDC(dc);
    if (window == nullptr || window == GetDesktopWindow()) return t;
    if (!detail::BeginWindowPicture(window, &t.pixels)) return t;
    t.window = true;
    t.ok = true;
    return t;
}

struct Writer {
    const detail::PixelTarget& t;
    ChannelMask r, g, b;
    explicit Writer(const detail::PixelTarget& target)
        : t(target),
          r(DescribeChannel(target.format.redMask)),
          g(DescribeChannel(target.format.greenMask)),
          b(DescribeChannel(target.format.blueMask)) {}
    void Put(int32_t x, int32_t y, uint32_t rgb) const {
        const uint32_t v = ChannelFrom8(rgb >> 16, r) | ChannelFrom8((rgb >> 8) & 0xFF, g) |
                           ChannelFrom8(rgb & 0xFF, b);
        WritePixelBytes(t.bits + static_cast<int64_t>(y) * t.pitch + int64_t{x} * t.bytesPerPixel,
                        t.bytesPerPixel, v);
    }
};

// The DIB copy shared by both entry points: destination (dx, dy, dw, dh) with signs for
// mirroring, source (sx, sy, sw, sh) in picture coordinates, stored rows [first, first+count).
int CopyDib(HDC dc, int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh,
            const void* bits, const BitmapInfo* info, int64_t firstStored, int64_t storedCount) {
    if (bits == nullptr || info == nullptr || dw == 0 || dh == 0 || sw <= 0 || sh <= 0) return 0;
    DibReader reader;
    // The caller's buffer is taken to hold the rows the header and the scan range describe.
    if (!OpenDibReader(info, bits, SIZE_MAX, &reader)) return 0;
    const bool mirrorX = dw < 0;
    const bool mirrorY = dh < 0;
    const int64_t adw = std::abs(static_cast<int64_t>(dw));
    const int64_t adh = std::abs(static_cast<int64_t>(dh));
    DcTarget target = OpenTarget(dc);
    if (!target.ok) return 0;
    const Writer writer(target.pixels);
    const int64_t x0 = std::max<int64_t>(dx, 0);
    const int64_t y0 = std::max<int64_t>(dy, 0);
    const int64_t x1 = std::min<int64_t>(dx + adw, target.pixels.width);
    const int64_t y1 = std::min<int64_t>(dy + adh, target.pixels.height);
    for (int64_t y = y0; y < y1; ++y) {
        const int64_t j = mirrorY ? adh - 1 - (y - dy) : y - dy;
        const int64_t py = sy + j * sh / adh;
        if (py < 0 || py >= reader.rows) continue;
        const int64_t stored = reader.StorageRow(static_cast<int32_t>(py));
        if (stored < firstStored || stored >= firstStored + storedCount) continue;
        const uint8_t* row = reader.bits + (stored - firstStored) * reader.stride;
        for (int64_t x = x0; x < x1; ++x) {
            const int64_t i = mirrorX ? adw - 1 - (x - dx) : x - dx;
            const int64_t px = sx + i * sw / adw;
            if (px < 0 || px >= reader.width) continue;
            writer.Put(static_cast<int32_t>(x), static_cast<int32_t>(y),
                       reader.Rgb(row, static_cast<int32_t>(px)));
        }
    }
    target.End();
    return sh;
}

}  // namespace

HDC GetDC(HWND window) {
    if (window != nullptr && !IsWindow(window)) return nullptr;
    return DcOfWindow(window);
}

int ReleaseDC(HWND, HDC dc) {
    return dc != nullptr ? 1 : 0;
}

namespace {
thread_local DWORD g_lastError = 0;
constexpr DWORD kErrorInvalidParameter = 87;
}  // namespace

static BOOL BitBltPixels(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy,
                         DWORD rop);

DWORD GetLastError() {
    return g_lastError;
}

BOOL BitBlt(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy, DWORD rop) {
    const BOOL done = BitBltPixels(dest, x, y, w, h, source, sx, sy, rop);
    if (!done) g_lastError = kErrorInvalidParameter;
    return done;
}

static BOOL BitBltPixels(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy,
                         DWORD rop) {
    if (detail::TakeDisplayCallFailure(testing::DisplayCall::kBitBlt)) return FALSE;
    if (rop != SRCCOPY || w <= 0 || h <= 0) return FALSE;
    DirectDrawSurface* from = detail::SurfaceOfDc(source);
    if (from == nullptr || from->Lost() || (from->Format().flags & DDPF_RGB) == 0) return FALSE;
    // Clip against the source, then against the destination.
    if (sx < 0) {
        x -= sx;
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        y -= sy;
        h += sy;
        sy = 0;
    }
    w = std::min(w, from->Width() - sx);
    h = std::min(h, from->Height() - sy);
    DcTarget target = OpenTarget(dest);
    if (!target.ok) return FALSE;
    const detail::PixelTarget& t = target.pixels;
    if (x < 0) {
        sx -= x;
        w += x;
        x = 0;
    }
    if (y < 0) {
        sy -= y;
        h += y;
        y = 0;
    }
    w = std::min(w, t.width - x);
    h = std::min(h, t.height - y);
    const int sb = from->BytesPerPixel();
    if (w > 0 && h > 0) {
        if (SamePixelFormat(from->Format(), t.format)) {
            for (int row = 0; row < h; ++row) {
                std::memmove(t.bits + static_cast<int64_t>(y + row) * t.pitch + int64_t{x} * sb,
                             from->Bits() + static_cast<int64_t>(sy + row) * from->Pitch() +
                                 int64_t{sx} * sb,
                             static_cast<size_t>(w) * static_cast<size_t>(sb));
            }
        } else {
            const ChannelMask r = DescribeChannel(from->Format().redMask);
            const ChannelMask g = DescribeChannel(from->Format().greenMask);
            const ChannelMask b = DescribeChannel(from->Format().blueMask);
            const Writer writer(t);
            for (int row = 0; row < h; ++row) {
                const uint8_t* s = from->Bits() + static_cast<int64_t>(sy + row) * from->Pitch();
                for (int col = 0; col < w; ++col) {
                    const uint32_t v = ReadPixelBytes(s + int64_t{sx + col} * sb, sb);
                    writer.Put(
                        x + col, y + row,
                        (ChannelTo8(v, r) << 16) | (ChannelTo8(v, g) << 8) | ChannelTo8(v, b));
                }
            }
        }
    }
    target.End();
    return TRUE;
}

BOOL GdiFlush() {
    return TRUE;
}

int SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
                      UINT startScan, UINT lines, const void* bits, const BitmapInfo* info,
                      UINT usage) {
    if (usage != DIB_RGB_COLORS || w > 32767 || h > 32767) return 0;
    const int iw = static_cast<int>(w);
    const int ih = static_cast<int>(h);
    return CopyDib(dc, xDest, yDest, iw, ih, xSrc, ySrc, iw, ih, bits, info, startScan, lines);
}

int StretchDIBits(HDC dc, int xDest, int yDest, int destW, int destH, int xSrc, int ySrc, int srcW,
                  int srcH, const void* bits, const BitmapInfo* info, UINT usage, DWORD rop) {
    if (usage != DIB_RGB_COLORS || rop != SRCCOPY || info == nullptr) return 0;
    const int64_t rows =
        info->header.height < 0 ? -static_cast<int64_t>(info->header.height) : info->header.height;
    return CopyDib(dc, xDest, yDest, destW, destH, xSrc, ySrc, srcW, srcH, bits, info, 0, rows);
}

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD) {
    if (mode == nullptr) {
        detail::SetSettingsMode(nullptr);
        return DISP_CHANGE_SUCCESSFUL;
    }
    DisplayMode m{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                  GetDeviceCaps(nullptr, BITSPIXEL), 0};
    if ((mode->dmFields & DM_PELSWIDTH) != 0) m.width = static_cast<int32_t>(mode->dmPelsWidth);
    if ((mode->dmFields & DM_PELSHEIGHT) != 0) m.height = static_cast<int32_t>(mode->dmPelsHeight);
    if ((mode->dmFields & DM_BITSPERPEL) != 0) m.bits = static_cast<int32_t>(mode->dmBitsPerPel);
    if ((mode->dmFields & DM_DISPLAYFREQUENCY) != 0) {
        m.refresh = static_cast<int32_t>(mode->dmDisplayFrequency);
    }
    if (mode->dmPelsWidth > 16384 || mode->dmPelsHeight > 16384 || mode->dmBitsPerPel > 32 ||
        mode->dmDisplayFrequency > 1000) {
        return DISP_CHANGE_BADMODE;
    }
    if (!detail::DisplayModeAccepted(m.width, m.height, m.bits, m.refresh)) {
        return DISP_CHANGE_BADMODE;
    }
    detail::SetSettingsMode(&m);
    return DISP_CHANGE_SUCCESSFUL;
}

}  // namespace plat
