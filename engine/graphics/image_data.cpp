#include "engine/graphics/image_data.h"

#include <cstddef>
#include <cstring>

#include "engine/base/handle.h"
#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/d3d/d3d.h"
#include "engine/graphics/draw_state.h"
#include "platform/ddraw/ddraw.h"

namespace tessra {

using namespace sjis_literals;

ImageDataTable& GetImageDataTable() {
    static ImageDataTable table{};
    return table;
}

ImageDataContext& GetImageDataContext() {
    static ImageDataContext context = [] {
        ImageDataContext c{};
        c.noDirectDraw = 1;
        c.windowMode = 1;
        c.screenColorBits = 32;
        c.screenFormat = *GetStandardColorFormat(1, 0, 0);
        return c;
    }();
    return context;
}

ImageDataRecord* GetImageDataRecord(int32_t handle) {
    if (!HandleFitsKind(handle, kImageDataHandleKind, kImageDataMax)) return nullptr;
    ImageDataRecord* r = GetImageDataTable().records[HandleSlot(handle)];
    if (r == nullptr || static_cast<int32_t>(r->check << 16) != HandleCheckBits(handle)) {
        return nullptr;
    }
    return r;
}

int32_t AddImageData(int32_t refCount, uint16_t width, uint16_t height, uint32_t colorKey,
                     const ImageDataFormat* format) {
    ImageDataTable& t = GetImageDataTable();
    if (t.count >= kImageDataMax) {
        return AppendLog("サーフェスのデータ数が許容量を越えました。\n"_sjis);
    }
    int32_t slot = t.nextSlot;
    if (slot >= kImageDataMax) {
        slot = 0;
        while (slot < kImageDataMax && t.records[slot] != nullptr) ++slot;
        if (slot == kImageDataMax) return -1;
    }
    auto* r = static_cast<ImageDataRecord*>(
        AllocTaggedZeroed(sizeof(ImageDataRecord), __FILE__, __LINE__));
    if (r == nullptr) {
        return AppendLog("サーフェス用データを保存するメモリ領域の確保に失敗しました\n"_sjis);
    }
    r->format = *format;
    r->width = width;
    r->height = height;
    r->refCount = refCount;
    r->colorKey = colorKey;

    ImageDataFormat& f = r->format;
    if (!f.texture) {
        if (f.alpha || f.singleChannel) f.systemMemory = 1;
        f.drawValid = 1;
        f.alphaTest = 0;
    } else {
        f.systemMemory = 0;
        if (f.drawValid || f.alpha) f.alphaTest = 0;
    }
    const ImageDataContext& ctx = GetImageDataContext();
    r->usesMemImg =
        (f.systemMemory || ctx.noDirectDraw || (ctx.windowMode && ctx.screenColorBits > 8)) ? 1 : 0;

    r->check = static_cast<uint32_t>(t.checkCounter);
    t.checkCounter = NextHandleCheck(t.checkCounter);
    const int32_t handle =
        MakeEngineHandle(kImageDataHandleKind, static_cast<int32_t>(r->check), slot);
    t.records[slot] = r;
    ++t.count;
    if (slot == t.nextSlot) t.nextSlot = slot + 1;

    if (CreateImageSurface(handle) != 0) {
        ReleaseImageData(handle);
        return -1;
    }
    SetImageColorKey(handle);
    return handle;
}

int ReleaseImageData(int32_t handle) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    if (r == nullptr) return -1;
    ReleaseImageSurface(handle);
    if (r->lostFlag != nullptr) *r->lostFlag = 1;
    ImageDataTable& t = GetImageDataTable();
    t.records[handle & 0xFFFF] = nullptr;
    --t.count;
    FreeTagged(r);
    return 0;
}

int32_t AddImageDataRef(int32_t handle) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    return r == nullptr ? -1 : ++r->refCount;
}

int32_t ReleaseImageDataRef(int32_t handle) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    return r == nullptr ? -1 : --r->refCount;
}

namespace {

// The pixel format of a record's surface: a texture's from the Direct3D texture formats, any
// other surface's the screen's.
const ColorFormat* SurfaceColorFormat(const ImageDataRecord* r) {
    if (r->format.texture) {
        const ColorFormat* f = GetTextureColorDataByIndex(r->pixelFormatCode);
        if (f != nullptr) return f;
    }
    return &GetImageDataContext().screenFormat;
}

// A texture in the format the Direct3D back-end chose for the record's format bytes: draw-valid
// ones in video memory as 3-D targets, the others managed by the driver.
int CreateTextureImageSurface(ImageDataRecord* r) {
    plat::DirectDraw* dd = GetImageDataContext().directDraw;
    r->pixelFormatCode = GetTextureFormatIndex(&r->format.texture);
    const plat::DDPixelFormat* pf = GetTextureFormatByIndex(r->pixelFormatCode);
    if (dd == nullptr || pf == nullptr || pf->rgbBitCount == 0) {
        return AppendLog("テクスチャサーフェスの作成に失敗しました\n"_sjis);
    }
    plat::DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = plat::DDSD_CAPS | plat::DDSD_WIDTH | plat::DDSD_HEIGHT | plat::DDSD_PIXELFORMAT;
    d.dwWidth = r->width;
    d.dwHeight = r->height;
    d.ddpfPixelFormat = *pf;
    if (r->format.drawValid) {
        d.ddsCaps.dwCaps =
            plat::DDSCAPS_TEXTURE | plat::DDSCAPS_3DDEVICE | plat::DDSCAPS_VIDEOMEMORY;
    } else {
        d.ddsCaps.dwCaps = plat::DDSCAPS_TEXTURE;
        d.ddsCaps.dwCaps2 = plat::DDSCAPS2_TEXTUREMANAGE;
    }
    if (plat::DDFailed(dd->CreateSurface(&d, &r->surface, nullptr))) {
        r->surface = nullptr;
        return AppendLog("テクスチャサーフェスの作成に失敗しました\n"_sjis);
    }
    return 0;
}

// A DirectDraw off-screen surface (or texture) for a record that keeps no MEMIMG.
int CreatePlainImageSurface(int32_t handle, ImageDataRecord* r) {
    const ImageDataContext& ctx = GetImageDataContext();
    if (ctx.directDraw == nullptr) return -1;
    if (r->surface != nullptr) return 0;
    if (r->format.texture) return CreateTextureImageSurface(r);
    r->pixelFormatCode = kPixelFormatPlainSurface;
    const bool system =
        r->format.systemMemory || r->width > ScreenWidthForGraphs(ctx) || ctx.windowMode != 0;
    plat::DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = plat::DDSD_CAPS | plat::DDSD_WIDTH | plat::DDSD_HEIGHT;
    d.dwWidth = r->width;
    d.dwHeight = r->height;
    d.ddsCaps.dwCaps =
        plat::DDSCAPS_OFFSCREENPLAIN |
        (system ? plat::DDSCAPS_SYSTEMMEMORY : plat::DDSCAPS_VIDEOMEMORY | plat::DDSCAPS_3DDEVICE);
    if (plat::DDFailed(ctx.directDraw->CreateSurface(&d, &r->surface, nullptr))) {
        d.ddsCaps.dwCaps = plat::DDSCAPS_OFFSCREENPLAIN | plat::DDSCAPS_SYSTEMMEMORY;
        if (plat::DDFailed(ctx.directDraw->CreateSurface(&d, &r->surface, nullptr))) {
            r->surface = nullptr;
            return AppendLog("標準サーフェスの作成に失敗しました\n"_sjis);
        }
    }
    r->format.systemMemory = (r->surface->Caps() & plat::DDSCAPS_VIDEOMEMORY) != 0 ? 0 : 1;
    r->format.drawValid = 1;
    return CreateImageZBuffer(handle, r->depthBuffer);
}

}  // namespace

int CreateImageSurface(int32_t handle) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    if (r == nullptr) return -1;
    if (!r->usesMemImg) return CreatePlainImageSurface(handle, r);
    if (r->memImg.pixels != nullptr) return 0;
    const ImageDataFormat& f = r->format;
    int rc;
    if (f.singleChannel) {
        rc = InitMemImg(&r->memImg, r->width, r->height, -1, 0, kMemImgKindSingle8, 0, 0, 1);
    } else {
        const bool sixteen = f.colorBits == 16;
        r->pixelFormatCode =
            (sixteen ? kPixelFormatMemImg16 : kPixelFormatMemImg32) + (f.alpha ? 1 : 0);
        const int32_t kind = sixteen ? kMemImgKind565 : kMemImgKindXrgb;
        const uint32_t key = DrawState.transColor;
        const uint32_t trans =
            f.paletted ? 0xFFFFu
                       : PackColorForFormat(GetStandardColorFormat(kind, f.alpha, f.paletted),
                                            static_cast<int>((key >> 16) & 0xFF),
                                            static_cast<int>((key >> 8) & 0xFF),
                                            static_cast<int>(key & 0xFF), 0);
        rc = InitMemImg(&r->memImg, r->width, r->height, -1, trans, kind, f.paletted, f.alpha, 1);
    }
    if (rc != 0) {
        AppendLog("メモリイメージの作成に失敗しました\n"_sjis);
        ReleaseImageSurface(handle);
        return -1;
    }
    return CreateImageZBuffer(handle, r->depthBuffer);
}

int ReleaseImageSurface(int32_t handle) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    if (r == nullptr) return -1;
    if (r->usesMemImg) {
        ReleaseMemImg(&r->depthMemImg);
        ReleaseMemImg(&r->memImg);
    } else {
        if (r->lockCount > 0 && r->surface != nullptr) r->surface->Unlock(nullptr);
        if (r->depthSurface != nullptr) {
            if (r->surface != nullptr) r->surface->DeleteAttachedSurface(0, r->depthSurface);
            r->depthSurface->Release();
            r->depthSurface = nullptr;
        }
        if (r->surface != nullptr) r->surface->Release();
        r->surface = nullptr;
    }
    r->lockCount = 0;
    r->lockedPixels = nullptr;
    return 0;
}

uint32_t ConvertedPixelOf(const ColorFormat* format, uint32_t rgb) {
    ColorFormat source{};
    SetRgb24Format(&source);
    const uint8_t pixel[4] = {static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8),
                              static_cast<uint8_t>(rgb >> 16), 0};
    const Rect one{0, 0, 1, 1};
    uint32_t value = 0;
    ConvertRectPixels(&value, 4, format, pixel, 4, &source, nullptr, 0, nullptr, 0, 0, &one, 0, 0,
                      0xFFFFFFFFu, 0, 0, 0, 0);
    return value;
}

int SetImageColorKey(int32_t handle) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    if (r == nullptr) return -1;
    // Only DirectDraw surfaces and textures carry a colour key of their own.
    if (r->usesMemImg || r->surface == nullptr) return 0;
    const ImageDataContext& ctx = GetImageDataContext();
    const uint32_t key = ctx.screenColorBits == 8 && !r->format.texture
                             ? 0
                             : ConvertedPixelOf(SurfaceColorFormat(r), r->colorKey);
    const plat::DDCOLORKEY ck{key, key};
    if (plat::DDFailed(r->surface->SetColorKey(plat::DDCKEY_SRCBLT, &ck))) {
        return AppendLog("標準サーフェスのカラーキーの設定に失敗しました\n"_sjis);
    }
    return 0;
}

int CreateImageZBuffer(int32_t handle, int32_t flag) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    if (r == nullptr) return -1;
    flag = flag ? 1 : 0;
    const bool present =
        r->usesMemImg ? r->depthMemImg.pixels != nullptr : r->depthSurface != nullptr;
    if (flag == r->depthBuffer && present == (flag == 1)) return 0;
    if (!r->format.drawValid) return -1;
    if (flag == 0) {
        ReleaseMemImg(&r->depthMemImg);
        if (r->depthSurface != nullptr) {
            if (r->surface != nullptr) r->surface->DeleteAttachedSurface(0, r->depthSurface);
            r->depthSurface->Release();
            r->depthSurface = nullptr;
        }
    } else if (r->usesMemImg) {
        if (CreateZBufferMemImg(&r->depthMemImg, r->width, r->height) != 0) {
            return AppendLog("Ｚバッファの作成に失敗しました"_sjis);
        }
    } else {
        plat::DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = plat::DDSD_CAPS | plat::DDSD_WIDTH | plat::DDSD_HEIGHT | plat::DDSD_PIXELFORMAT;
        d.dwWidth = r->width;
        d.dwHeight = r->height;
        d.ddsCaps.dwCaps = plat::DDSCAPS_ZBUFFER | plat::DDSCAPS_VIDEOMEMORY;
        d.ddpfPixelFormat = plat::kPixelFormatZ16;
        plat::DirectDraw* dd = GetImageDataContext().directDraw;
        if (dd == nullptr || r->surface == nullptr ||
            plat::DDFailed(dd->CreateSurface(&d, &r->depthSurface, nullptr))) {
            r->depthSurface = nullptr;
            return AppendLog("Ｚバッファの作成に失敗しました"_sjis);
        }
        if (plat::DDFailed(r->surface->AddAttachedSurface(r->depthSurface))) {
            r->depthSurface->Release();
            r->depthSurface = nullptr;
            return AppendLog("Ｚバッファの作成に失敗しました"_sjis);
        }
    }
    r->depthBuffer = flag;
    return 0;
}

int LockImageSurface(int32_t handle, int32_t* outPitch, uint8_t** outPixels, int32_t writeOnly,
                     const Rect* rect, ColorFormat* outFormat) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    if (r == nullptr) return -1;
    if (outFormat != nullptr) {
        *outFormat = r->usesMemImg && r->memImg.format != nullptr ? *r->memImg.format
                                                                  : *SurfaceColorFormat(r);
    }
    const Rect whole{0, 0, r->width, r->height};
    const Rect want = rect != nullptr ? *rect : whole;
    if (want.left < 0 || want.top < 0 || want.right > r->width || want.bottom > r->height ||
        want.left > want.right || want.top > want.bottom) {
        return -1;
    }
    if (r->lockCount > 0) {
        // A nested lock of another rectangle gets that rectangle's address, not the first one's.
        const int bytes = r->usesMemImg && r->memImg.format != nullptr
                              ? r->memImg.format->bytesPerPixel
                              : SurfaceColorFormat(r)->bytesPerPixel;
        *outPitch = r->lockedPitch;
        *outPixels = r->lockedPixels +
                     static_cast<ptrdiff_t>(want.top - r->lockedRect.top) * r->lockedPitch +
                     static_cast<ptrdiff_t>(want.left - r->lockedRect.left) * bytes;
        ++r->lockCount;
        return -2;
    }
    if (!r->usesMemImg) {
        plat::DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        const plat::RECT lockRect{want.left, want.top, want.right, want.bottom};
        const plat::DWORD flags = plat::DDLOCK_WAIT | (writeOnly == 1 ? plat::DDLOCK_WRITEONLY : 0);
        if (r->surface == nullptr ||
            plat::DDFailed(
                r->surface->Lock(rect != nullptr ? &lockRect : nullptr, &d, flags, nullptr))) {
            return AppendLog("グラフィックのロックに失敗しました"_sjis);
        }
        r->lockedPitch = d.lPitch;
        r->lockedPixels = static_cast<uint8_t*>(d.lpSurface);
    } else if (r->memImg.pixels == nullptr) {
        return AppendLog("グラフィックのロックに失敗しました"_sjis);
    } else {
        r->lockedPitch = r->memImg.pitch;
        r->lockedPixels = r->memImg.pixels + static_cast<ptrdiff_t>(want.top) * r->memImg.pitch +
                          static_cast<ptrdiff_t>(want.left) * r->memImg.format->bytesPerPixel;
    }
    r->lockedRect = want;
    r->lockCount = 1;
    *outPitch = r->lockedPitch;
    *outPixels = r->lockedPixels;
    return 0;
}

int UnlockImageSurface(int32_t handle, const Rect* /*rect*/) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    if (r == nullptr || r->lockCount <= 0) return -1;
    if (--r->lockCount == 0) {
        r->lockedPixels = nullptr;
        if (!r->usesMemImg && r->surface != nullptr) r->surface->Unlock(nullptr);
    }
    return 0;
}

int FillImageSurface(int32_t handle, int red, int green, int blue, int alpha) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    if (r == nullptr) return -1;
    if (!r->usesMemImg) {
        const ImageDataContext& ctx = GetImageDataContext();
        if (ctx.directDraw == nullptr || r->surface == nullptr) return -1;
        plat::DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = PackColorForFormat(SurfaceColorFormat(r), red, green, blue, alpha);
        return plat::DDFailed(r->surface->Blt(nullptr, nullptr, nullptr,
                                              plat::DDBLT_COLORFILL | plat::DDBLT_WAIT, &fx))
                   ? -1
                   : 0;
    }
    if (r->memImg.pixels == nullptr) return -1;
    // A record that is not a texture packs in the screen's format. A single-channel image's own
    // format shares its one byte among three channels (white would come out 0xFC), so it takes
    // the screen's packing, whose low byte fills the channel; the others keep their own
    // format, which carries the alpha the screen's lacks.
    const ColorFormat* format =
        r->format.singleChannel != 0 ? &GetImageDataContext().screenFormat : r->memImg.format;
    FillMemImgRect(&r->memImg, nullptr, PackColorForFormat(format, red, green, blue, alpha));
    return 0;
}

int RestoreImageSurfaceIfLost(int32_t handle) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    if (r == nullptr) return -1;
    // Memory images are never lost; a lost surface comes back empty.
    if (r->usesMemImg || r->surface == nullptr) return 0;
    if (r->surface->IsLost() != plat::DDERR_SURFACELOST) return 0;
    r->surface->Restore();
    return -1;
}

}  // namespace tessra
