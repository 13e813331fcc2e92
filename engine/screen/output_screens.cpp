// The output screens: the surfaces or memory images that stand for the front and back screen,
// the present paths, the vertical-blank waits, the front screen's read-back and write-back and
// the screen's colours.
#include <cstring>

#include "engine/base/fatal.h"
#include "engine/base/log.h"
#include "engine/base/message_pump_hook.h"
#include "engine/base/sjis.h"
#include "engine/d3d/d3d.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_image.h"
#include "engine/graphics/image_data.h"
#include "engine/screen/draw2d.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_internal.h"
#include "engine/screen/screen_state.h"
#include "engine/softrender/soft_render.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"
#include "platform/win/time.h"
#include "platform/win/window.h"

namespace tessra {

using namespace sjis_literals;

namespace {

ScreenStateRecord& S() {
    return GetScreenState();
}

int32_t WorkingKind(uint32_t workingBits) {
    return workingBits == 16 ? kMemImgKind565 : kMemImgKindXrgb;
}

plat::DirectDrawSurface* CreatePlainSurface(uint32_t caps, uint32_t width, uint32_t height) {
    plat::DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = plat::DDSD_CAPS;
    if (width != 0) {
        desc.dwFlags |= plat::DDSD_WIDTH | plat::DDSD_HEIGHT;
        desc.dwWidth = width;
        desc.dwHeight = height;
    }
    desc.ddsCaps.dwCaps = caps;
    plat::DirectDrawSurface* surface = nullptr;
    if (plat::DDFailed(S().directDraw->CreateSurface(&desc, &surface, nullptr))) return nullptr;
    return surface;
}

void ClearSurface(plat::DirectDrawSurface* surface) {
    plat::DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0;
    surface->Blt(nullptr, nullptr, nullptr, plat::DDBLT_COLORFILL | plat::DDBLT_WAIT, &fx);
}

// The back-screen image over the locked back surface's memory.
bool LockBackIntoImage() {
    ScreenStateRecord& s = S();
    plat::DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (plat::DDFailed(s.back->Lock(nullptr, &desc, plat::DDLOCK_WAIT, nullptr))) return false;
    std::memset(&s.backImage, 0, sizeof s.backImage);
    s.backImage.pixels = static_cast<uint8_t*>(desc.lpSurface);
    InitMemImg(&s.backImage, static_cast<int32_t>(s.width), static_cast<int32_t>(s.height),
               desc.lPitch, 0, s.displayColorBits == 16 ? kMemImgKind565 : kMemImgKindXrgb, 0, 0,
               0);
    return true;
}

bool StandardFormatOfDepth(const ColorFormat& f, uint32_t bits) {
    if (bits == 32)
        return f.bitDepth == 32 && f.redMask == 0xFF0000 && f.greenMask == 0xFF00 &&
               f.blueMask == 0xFF;
    if (bits == 16)
        return f.bitDepth == 16 && f.redMask == 0xF800 && f.greenMask == 0x7E0 &&
               f.blueMask == 0x1F;
    return false;
}

const char* MemoryName(plat::DirectDrawSurface* surface) {
    return surface != nullptr && (surface->Caps() & plat::DDSCAPS_VIDEOMEMORY) != 0
               ? "VIDEOMEMORY"
               : "SYSTEMMEMORY";
}

// The destination of a present: the screen in full screen, the scaled client area in a window.
plat::RECT PresentDestination() {
    ScreenStateRecord& s = S();
    plat::RECT r = {0, 0, static_cast<plat::LONG>(s.width), static_cast<plat::LONG>(s.height)};
    if (s.windowMode) {
        int x = 0, y = 0;
        ScreenClientOrigin(&x, &y);
        const double scale = ScreenWindowScale();
        r.left = x;
        r.top = y;
        r.right = x + static_cast<plat::LONG>(scale * s.width);
        r.bottom = y + static_cast<plat::LONG>(scale * s.height);
    }
    return r;
}

void OptionalVerticalBlankWait() {
    if (S().vsyncWait) WaitOneVerticalBlank();
}

plat::BitmapInfo DibInfoOf(const MEMIMG& image, int32_t width, int32_t height) {
    plat::BitmapInfo info{};
    info.header.size = 40;
    info.header.width = width;
    info.header.height = -height;
    info.header.planes = 1;
    info.header.bitCount = image.format->bitDepth;
    info.header.compression = plat::BI_BITFIELDS;
    const uint32_t masks[3] = {image.format->redMask, image.format->greenMask,
                               image.format->blueMask};
    std::memcpy(info.colors, masks, sizeof masks);
    return info;
}

void CountPresent() {
    ++S().frameCount;
    ++S().presentedFrames;
}

// What the software renderer asks of the screens.
int SoftGraphicsStarted() {
    const ScreenStateRecord& s = S();
    return (s.directDraw != nullptr || s.noDirectDraw) && s.initialized ? 1 : 0;
}
int SoftMemImgScreens() {
    return static_cast<int>(S().memImgScreens);
}
MEMIMG* SoftDrawTargetMemImg() {
    return ScreenTargetMemImg();
}
void SoftEndPending3D() {
    FlushCurrentVertexBatch();
    EndSceneCurrent();
}

}  // namespace

MEMIMG* ScreenTargetMemImg() {
    ScreenStateRecord& s = S();
    if (s.targetImage != nullptr) return s.targetImage;
    if (!s.memImgScreens) return nullptr;
    if (DrawState.drawTarget == kBackScreen) return &s.backImage;
    if (DrawState.drawTarget == kFrontScreen) return &s.frontImage;
    return nullptr;
}

plat::DirectDrawSurface* ScreenTargetSurface() {
    ScreenStateRecord& s = S();
    if (s.targetSurface != nullptr) return s.targetSurface;
    if (s.memImgScreens) return nullptr;
    if (DrawState.drawTarget == kBackScreen) return s.back;
    if (DrawState.drawTarget == kFrontScreen) return s.primary;
    return nullptr;
}

int CreateOutputScreens() {
    ScreenStateRecord& s = S();
    if (!s.noDirectDraw && (s.directDraw == nullptr || s.primary != nullptr)) return -1;
    AppendLog("出力画面用の DirectDrawSurface を作成します\n"_sjis);
    IncreaseLogIndent();
    s.memImgScreens = (s.windowMode == 1 && s.displayColorBits != 8) ? 1 : 0;
    if (s.memImgScreens) {
        s.work1 = s.work2 = s.zBuffer = nullptr;
        s.workingColorBits = s.mainColorBits == 32 ? 32 : 16;
        const int32_t w = static_cast<int32_t>(s.width);
        const int32_t h = static_cast<int32_t>(s.height);
        if (!s.noDirectDraw) {
            s.primary =
                CreatePlainSurface(plat::DDSCAPS_PRIMARYSURFACE | plat::DDSCAPS_SYSTEMMEMORY, 0, 0);
            if (s.primary == nullptr)
                RaiseFatalError("プライマリサーフェスの作成に失敗しました"_sjis);
            s.back = CreatePlainSurface(plat::DDSCAPS_OFFSCREENPLAIN | plat::DDSCAPS_SYSTEMMEMORY,
                                        s.width, s.height);
            if (s.back == nullptr) RaiseFatalError("バックサーフェスの作成に失敗しました"_sjis);
            ClearSurface(s.back);
            s.back->PageLock(0);
            s.primary->PageLock(0);
        }
        if (CreateScreenMemImg(&s.frontImage, w, h, WorkingKind(s.workingColorBits),
                               static_cast<int32_t>(s.workingColorBits)) != 0)
            RaiseFatalError("プライマリサーフェス用の MEMIMG の作成に失敗しました\n"_sjis);
        if (!s.noDirectDraw && s.workingColorBits == s.displayColorBits &&
            StandardFormatOfDepth(s.screenFormat, s.displayColorBits)) {
            if (!LockBackIntoImage())
                RaiseFatalError("バックサーフェス用の MEMIMG の作成に失敗しました\n"_sjis);
            s.backImageInSurface = 1;
        } else if (CreateScreenMemImg(&s.backImage, w, h, WorkingKind(s.workingColorBits),
                                      static_cast<int32_t>(s.workingColorBits)) != 0) {
            RaiseFatalError("バックサーフェス用の MEMIMG の作成に失敗しました\n"_sjis);
        }
        if (CreateZBufferMemImg(&s.zImage, w, h) != 0)
            RaiseFatalError("Ｚバッファサーフェス用の MEMIMG の作成に失敗しました\n"_sjis);
    } else {
        s.workingColorBits = s.displayColorBits;
        if (s.windowMode) {
            s.primary =
                CreatePlainSurface(plat::DDSCAPS_PRIMARYSURFACE | plat::DDSCAPS_3DDEVICE, 0, 0);
            if (s.primary == nullptr)
                RaiseFatalError("プライマリサーフェスの作成に失敗しました"_sjis);
            s.back = CreatePlainSurface(plat::DDSCAPS_OFFSCREENPLAIN | plat::DDSCAPS_3DDEVICE,
                                        s.width, s.height);
            if (s.back == nullptr) RaiseFatalError("バックサーフェスの作成に失敗しました"_sjis);
            ClearSurface(s.back);
        } else {
            plat::DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            desc.dwFlags = plat::DDSD_CAPS | plat::DDSD_BACKBUFFERCOUNT;
            desc.ddsCaps.dwCaps = plat::DDSCAPS_PRIMARYSURFACE | plat::DDSCAPS_FLIP |
                                  plat::DDSCAPS_COMPLEX | plat::DDSCAPS_3DDEVICE;
            desc.dwBackBufferCount = 1;
            if (plat::DDFailed(s.directDraw->CreateSurface(&desc, &s.primary, nullptr)))
                RaiseFatalError("プライマリサーフェスの作成に失敗しました"_sjis);
            plat::DDSCAPS2 caps{};
            caps.dwCaps = plat::DDSCAPS_BACKBUFFER;
            if (plat::DDFailed(s.primary->GetAttachedSurface(&caps, &s.back)))
                RaiseFatalError("バックバッファのポインタ取得に失敗しました"_sjis);
            for (int i = 0; i < 3; ++i) {
                ClearSurface(s.back);
                s.primary->Flip(nullptr, plat::DDFLIP_NOVSYNC);
            }
        }
        const plat::DDCOLORKEY key = {0, 0};
        s.work1 = CreatePlainSurface(plat::DDSCAPS_OFFSCREENPLAIN | plat::DDSCAPS_SYSTEMMEMORY,
                                     s.width, s.height);
        if (s.work1 == nullptr) RaiseFatalError("作業用サーフェスの作成に失敗しました"_sjis);
        s.work1->SetColorKey(plat::DDCKEY_SRCBLT, &key);
        s.work2 = CreatePlainSurface(plat::DDSCAPS_OFFSCREENPLAIN | plat::DDSCAPS_SYSTEMMEMORY,
                                     s.width, s.height);
        if (s.work2 == nullptr) RaiseFatalError("作業用サーフェス２の作成に失敗しました"_sjis);
        s.work2->SetColorKey(plat::DDCKEY_SRCBLT, &key);

        plat::DDSURFACEDESC2 z{};
        z.dwSize = sizeof z;
        z.dwFlags = plat::DDSD_CAPS | plat::DDSD_WIDTH | plat::DDSD_HEIGHT | plat::DDSD_PIXELFORMAT;
        z.dwWidth = s.width;
        z.dwHeight = s.height;
        z.ddsCaps.dwCaps = plat::DDSCAPS_ZBUFFER;
        z.ddpfPixelFormat = plat::kPixelFormatZ16;
        bool zFailed = g_screenFailZBufferCreation > 0 && --g_screenFailZBufferCreation == 0;
        if (!zFailed && plat::DDFailed(s.directDraw->CreateSurface(&z, &s.zBuffer, nullptr)))
            zFailed = true;
        if (!zFailed && plat::DDFailed(s.back->AddAttachedSurface(s.zBuffer))) {
            s.zBuffer->Release();
            zFailed = true;
        }
        if (zFailed) {
            s.zBuffer = nullptr;
            AppendLog("Ｚバッファの作成に失敗しました\n"_sjis);
            DecreaseLogIndent();
            return -1;
        }
    }

    AppendLog("各スクリーンメモリの配置位置\n"_sjis);
    IncreaseLogIndent();
    if (s.memImgScreens) {
        AppendLog("PrimaryBuffer : SYSTEMMEMORY( MEMIMG ) ");
        AppendLog("BaskBuffer : SYSTEMMEMORY( MEMIMG ) ");
    } else {
        AppendLogFormat("PrimaryBuffer : %s  ", MemoryName(s.primary));
        AppendLogFormat("BaskBuffer : %s  ", MemoryName(s.back));
    }
    DecreaseLogIndent();
    DecreaseLogIndent();
    AppendLog("出力画面用の DirectDrawSurface の作成は正常に終了しました\n"_sjis);
    s.readBack = 0;

    ImageDataContext& c = GetImageDataContext();
    c.workingColorBits = static_cast<int32_t>(s.workingColorBits);
    c.screenColorBits = static_cast<int32_t>(s.displayColorBits);
    c.windowMode = static_cast<int32_t>(s.windowMode);
    c.screenWidth = static_cast<int32_t>(s.width);
    c.screenHeight = static_cast<int32_t>(s.height);
    c.directDraw = s.directDraw;
    c.noDirectDraw = static_cast<int32_t>(s.noDirectDraw);
    c.screenFormat = s.screenFormat;

    if (SoftScreen.GraphicsStarted == nullptr) SoftScreen.GraphicsStarted = SoftGraphicsStarted;
    if (SoftScreen.MemImgScreens == nullptr) SoftScreen.MemImgScreens = SoftMemImgScreens;
    if (SoftScreen.DrawTargetMemImg == nullptr) SoftScreen.DrawTargetMemImg = SoftDrawTargetMemImg;
    if (SoftScreen.EndPending3D == nullptr) SoftScreen.EndPending3D = SoftEndPending3D;
    InstallBlitServices();
    return 0;
}

int PresentBackBuffer() {
    ScreenStateRecord& s = S();
    if (!s.noDirectDraw && s.directDraw == nullptr) return -1;
    WaitWhileInactiveHost();
    const bool flip = s.windowMode == 0 && s.gdiSurfaceMode == 0 && s.noDirectDraw == 0 &&
                      EngineWindowModeSetting() != 1 && s.primary != nullptr;
    if (!flip) return BlitBackBufferToWindow();
    if (DrawState.drawTarget == kFrontScreen && s.vsyncWait) {
        CountPresent();
        return WaitVerticalBlanks(1);
    }
    FlushCurrentVertexBatch();
    EndSceneCurrent();
    s.primary->Flip(nullptr, plat::DDFLIP_WAIT | (s.vsyncWait ? 0u : plat::DDFLIP_NOVSYNC));
    if (s.vsyncWait) plat::Sleep(1);
    CountPresent();
    return 0;
}

int BlitBackBufferToWindow() {
    ScreenStateRecord& s = S();
    if (!s.noDirectDraw && s.directDraw == nullptr) return -1;
    if (DrawState.drawTarget == kFrontScreen) {
        CountPresent();
        return WaitVerticalBlanks(1);
    }
    const plat::RECT source = {0, 0, static_cast<plat::LONG>(s.width),
                               static_cast<plat::LONG>(s.height)};
    const plat::RECT dest = PresentDestination();
    if (!s.memImgScreens) {
        if (s.primary == nullptr || s.back == nullptr) return -1;
        FlushCurrentVertexBatch();
        EndSceneCurrent();
        OptionalVerticalBlankWait();
        if (s.windowMode)
            s.primary->Blt(&dest, s.back, &source, plat::DDBLT_WAIT, nullptr);
        else if (s.gdiSurfaceMode == 0)
            s.primary->BltFast(0, 0, s.back, &source, plat::DDBLTFAST_WAIT);
        else
            s.primary->Blt(nullptr, s.back, nullptr, plat::DDBLT_WAIT, nullptr);
        CountPresent();
        return 0;
    }
    if (!s.noDirectDraw) {
        if (s.backImageInSurface) {
            s.back->Unlock(nullptr);
            OptionalVerticalBlankWait();
            s.primary->Blt(&dest, s.back, &source, plat::DDBLT_WAIT, nullptr);
            if (!LockBackIntoImage())
                RaiseFatalError("バックサーフェスのロックに失敗しました"_sjis);
        } else {
            plat::DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            if (plat::DDFailed(s.back->Lock(nullptr, &desc, plat::DDLOCK_WAIT, nullptr)))
                RaiseFatalError("バックサーフェスのロックに失敗しました"_sjis);
            GraphImage target{};
            target.format = s.screenFormat;
            target.width = static_cast<int32_t>(s.width);
            target.height = static_cast<int32_t>(s.height);
            target.pitch = desc.lPitch;
            target.pixels = static_cast<uint8_t*>(desc.lpSurface);
            ConvertRectToColorFormat(&target, &s.backImage, 0, 0, target.width, target.height, 0, 0,
                                     0, 0);
            s.back->Unlock(nullptr);
            OptionalVerticalBlankWait();
            s.primary->Blt(&dest, s.back, &source, plat::DDBLT_WAIT, nullptr);
        }
    } else {
        OptionalVerticalBlankWait();
        // The DIB's row length is the image's pitch, so rows padded past the width line up.
        const int32_t stride = s.backImage.pitch / s.backImage.format->bytesPerPixel;
        const plat::BitmapInfo info =
            DibInfoOf(s.backImage, stride, static_cast<int32_t>(s.height));
        plat::HWND window = static_cast<plat::HWND>(ScreenWindow());
        plat::HDC dc = plat::GetDC(window);
        if (dc != nullptr) {
            const int dw = dest.right - dest.left;
            const int dh = dest.bottom - dest.top;
            const int w = static_cast<int>(s.width);
            const int h = static_cast<int>(s.height);
            if (dw == w && dh == h)
                plat::SetDIBitsToDevice(
                    dc, 0, 0, static_cast<plat::DWORD>(w), static_cast<plat::DWORD>(h), 0, 0, 0,
                    static_cast<plat::UINT>(h), s.backImage.pixels, &info, plat::DIB_RGB_COLORS);
            else
                plat::StretchDIBits(dc, 0, 0, dw, dh, 0, 0, w, h, s.backImage.pixels, &info,
                                    plat::DIB_RGB_COLORS, plat::SRCCOPY);
            plat::ReleaseDC(window, dc);
        }
    }
    s.readBack = 1;
    CountPresent();
    return 0;
}

int WaitVerticalBlanks(int count) {
    ScreenStateRecord& s = S();
    if (s.directDraw == nullptr) return -1;
    if (DrawState.graphicsOff) return 0;
    WaitWhileInactiveHost();
    plat::DirectDraw* dd = s.directDraw;
    auto inBlank = [dd] {
        plat::BOOL b = 0;
        dd->GetVerticalBlankStatus(&b);
        return b != 0;
    };
    // Polls until the blank state is `wanted`; false when the pump asked to stop.
    auto pollUntil = [&](bool wanted) {
        for (;;) {
            if (RunMessagePumpPass() != 0) return false;
            if (inBlank() == wanted) return true;
        }
    };
    if (count == 0) {
        pollUntil(true);
        return 0;
    }
    if (count < 0) return 0;
    for (int i = 0; i < count; ++i) {
        pollUntil(false);
        pollUntil(true);
        if (RunMessagePumpPass() < 0) return -1;
    }
    return 0;
}

int ReadScreenPixels() {
    ScreenStateRecord& s = S();
    if (s.noDirectDraw || s.windowMode != 1 || s.displayColorBits == 8 || !s.readBack ||
        s.primary == nullptr || !s.memImgScreens)
        return 0;
    int x = 0, y = 0;
    ScreenClientOrigin(&x, &y);
    const plat::RECT area = {x, y, x + static_cast<plat::LONG>(s.width),
                             y + static_cast<plat::LONG>(s.height)};
    plat::DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (plat::DDFailed(
            s.primary->Lock(&area, &desc, plat::DDLOCK_READONLY | plat::DDLOCK_WAIT, nullptr)))
        return -1;
    const Rect source = {0, 0, static_cast<int32_t>(s.width), static_cast<int32_t>(s.height)};
    ConvertRectPixels(s.frontImage.pixels, s.frontImage.pitch,
                      GetStandardColorFormat(WorkingKind(s.workingColorBits), 0, 0), desc.lpSurface,
                      desc.lPitch, &s.screenFormat, nullptr, 0, nullptr, 0, 0, &source, 0, 0, 0, 0,
                      0, 0, 0);
    s.primary->Unlock(&area);
    s.readBack = 0;
    return 0;
}

int DrawSoftScreenToWindow(int left, int top, int right, int bottom) {
    ScreenStateRecord& s = S();
    if (!s.memImgScreens || !IsMemImgValid(&s.frontImage)) return 0;
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    if (right > static_cast<int>(s.width)) right = static_cast<int>(s.width);
    if (bottom > static_cast<int>(s.height)) bottom = static_cast<int>(s.height);
    if (right <= left || bottom <= top) return 0;
    if (!s.noDirectDraw) {
        int x = 0, y = 0;
        if (s.windowMode) ScreenClientOrigin(&x, &y);
        const plat::RECT moved = {left + x, top + y, right + x, bottom + y};
        plat::DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (s.primary == nullptr ||
            plat::DDFailed(s.primary->Lock(&moved, &desc,
                                           plat::DDLOCK_WRITEONLY | plat::DDLOCK_WAIT, nullptr)))
            return -1;
        // The lock points at the rectangle's first pixel: describe the destination so that
        // the rectangle's own position lands there.
        const int bpp = s.screenFormat.bytesPerPixel;
        GraphImage target{};
        target.format = s.screenFormat;
        target.width = static_cast<int32_t>(s.width);
        target.height = static_cast<int32_t>(s.height);
        target.pitch = desc.lPitch;
        target.pixels = static_cast<uint8_t*>(desc.lpSurface) -
                        static_cast<ptrdiff_t>(top) * desc.lPitch -
                        static_cast<ptrdiff_t>(left) * bpp;
        ConvertRectToColorFormat(&target, &s.frontImage, left, top, right - left, bottom - top,
                                 left, top, 0, 0);
        s.primary->Unlock(&moved);
        return 0;
    }
    const int32_t stride = s.frontImage.pitch / s.frontImage.format->bytesPerPixel;
    const plat::BitmapInfo info = DibInfoOf(s.frontImage, stride, static_cast<int32_t>(s.height));
    plat::HWND window = static_cast<plat::HWND>(ScreenWindow());
    plat::HDC dc = plat::GetDC(window);
    if (dc == nullptr) return 0;
    // The layer counts the source rectangle from the picture's top-left as seen.
    plat::StretchDIBits(dc, left, top, right - left, bottom - top, left, top, right - left,
                        bottom - top, s.frontImage.pixels, &info, plat::DIB_RGB_COLORS,
                        plat::SRCCOPY);
    plat::ReleaseDC(window, dc);
    return 0;
}

namespace {

const ColorFormat* MakeColorFormat() {
    const ScreenStateRecord& s = S();
    if (s.windowMode == 1)
        return GetStandardColorFormat(WorkingKind(s.workingColorBits ? s.workingColorBits : 16), 0,
                                      0);
    return &s.screenFormat;
}

uint32_t PackChannel(int value, uint8_t width, uint8_t shift) {
    if (width == 0) return 0;
    return (static_cast<uint32_t>(value & 0xFF) >> (8 - width)) << shift;
}

}  // namespace

uint32_t MakeScreenColor(int r, int g, int b) {
    const ScreenStateRecord& s = S();
    if (s.displayColorBits == 8) {
        uint32_t best = 0xFFFFFF;
        int index = 0;
        for (int i = 0; i < 256; ++i) {
            const plat::PALETTEENTRY& e = s.paletteEntries[i];
            const int dr = e.peRed - r, dg = e.peGreen - g, db = e.peBlue - b;
            const uint32_t d = static_cast<uint32_t>(dr * dr + dg * dg + db * db);
            if (d < best) {
                best = d;
                index = i;
            }
        }
        return static_cast<uint32_t>(index);
    }
    const ColorFormat* f = MakeColorFormat();
    if (f->bitDepth == 0) {
        // No mode is set yet: the working depth's standard format.
        f = GetStandardColorFormat(kMemImgKind565, 0, 0);
    }
    return PackChannel(r, f->redWidth, f->redShift) + PackChannel(g, f->greenWidth, f->greenShift) +
           PackChannel(b, f->blueWidth, f->blueShift) + f->unusedMask;
}

int SplitScreenColor(uint32_t value, int* r, int* g, int* b) {
    const ScreenStateRecord& s = S();
    int red = 0, green = 0, blue = 0;
    if (s.displayColorBits == 8) {
        if (value > 255) return -1;
        red = s.paletteEntries[value].peRed;
        green = s.paletteEntries[value].peGreen;
        blue = s.paletteEntries[value].peBlue;
    } else {
        const ColorFormat* f =
            (s.windowMode == 1 && s.workingColorBits != s.displayColorBits) ||
                    s.screenFormat.bitDepth == 0
                ? GetStandardColorFormat(WorkingKind(s.workingColorBits ? s.workingColorBits : 16),
                                         0, 0)
                : &s.screenFormat;
        auto channel = [value](uint32_t mask, uint8_t shift, uint8_t width) {
            if (width == 0) return 0;
            return static_cast<int>(((value & mask) >> shift) * 255u / ((1u << width) - 1u));
        };
        red = channel(f->redMask, f->redShift, f->redWidth);
        green = channel(f->greenMask, f->greenShift, f->greenWidth);
        blue = channel(f->blueMask, f->blueShift, f->blueWidth);
    }
    if (r != nullptr) *r = red;
    if (g != nullptr) *g = green;
    if (b != nullptr) *b = blue;
    return 0;
}

// The getters.
int ReadScreenSize(int* width, int* height) {
    const ScreenStateRecord& s = S();
    if (width != nullptr) *width = s.width != 0 ? static_cast<int>(s.width) : 640;
    if (height != nullptr) *height = s.height != 0 ? static_cast<int>(s.height) : 480;
    return 0;
}

int GetScreenBitDepth() {
    return S().workingColorBits != 0 ? static_cast<int>(S().workingColorBits) : 16;
}

int GetNo3DFlag() {
    return static_cast<int>(S().no3D);
}

int GetGdiSurfaceModeFlag() {
    return static_cast<int>(S().gdiSurfaceMode);
}

int IsDisplayModeChanged() {
    return static_cast<int>(S().modeChanged);
}

void* GetDirectDrawObject() {
    return S().directDraw;
}

const plat::DDPixelFormat* GetScreenPixelFormat() {
    return &S().pixelFormat;
}

const ColorFormat* GetScreenColorFormat() {
    return &S().screenFormat;
}

plat::DirectDrawSurface* GetCurrentTargetSurface() {
    return S().targetSurface;
}

plat::DirectDrawSurface* GetPrimarySurface() {
    return S().primary;
}

plat::DirectDrawSurface* GetBackSurface() {
    return S().back;
}

plat::DirectDrawSurface* GetWorkSurface() {
    return S().work1;
}

int IsDrawingToPrimary() {
    const ScreenStateRecord& s = S();
    return s.windowMode && s.targetSurface != nullptr && s.targetSurface == s.primary ? 1 : 0;
}

int IsDirectDrawUsed() {
    return S().noDirectDraw ? 0 : 1;
}

int GetWindowModeFlag() {
    return static_cast<int>(S().windowMode);
}

uint64_t GetFlipCount() {
    return S().frameCount;
}

plat::DDCAPS* GetDirectDrawCaps(plat::DDCAPS* buffer) {
    std::memcpy(buffer, &S().caps, sizeof *buffer);
    return buffer;
}

}  // namespace tessra
