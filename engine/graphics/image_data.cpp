#include "engine/graphics/image_data.h"

#include <cstddef>
#include <cstring>

#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"

namespace tessra {

using namespace sjis_literals;

ImageDataTable& GetImageDataTable() {
    static ImageDataTable table{};
    return table;
}

ImageDataContext& GetImageDataContext() {
    static ImageDataContext context = [] {
        ImageDataContext c{};
        c.windowMode = 1;
        c.screenColorBits = 32;
        c.screenFormat = *GetStandardColorFormat(1, 0, 0);
        return c;
    }();
    return context;
}

ImageDataRecord* GetImageDataRecord(int32_t handle) {
    if (handle < 0 || (static_cast<uint32_t>(handle) & 0xF8000000u) != kImageDataHandleType) {
        return nullptr;
    }
    ImageDataRecord* r = GetImageDataTable().records[handle & 0xFFFF];
    if (r == nullptr || r->check != ((static_cast<uint32_t>(handle) >> 16) & 0x7FF)) return nullptr;
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
    r->usesMemImg = (f.systemMemory || (ctx.windowMode && ctx.screenColorBits > 8)) ? 1 : 0;

    r->check = static_cast<uint32_t>(t.checkCounter);
    t.checkCounter = t.checkCounter >= 2047 ? 0 : t.checkCounter + 1;
    const int32_t handle =
        static_cast<int32_t>(((r->check | 0x3800u) << 16) | static_cast<uint32_t>(slot));
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

int CreateImageSurface(int32_t handle) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    if (r == nullptr) return -1;
    if (!r->usesMemImg) {
        // DirectDraw surfaces and textures come with the DirectDraw stand-in.
        if (!GetImageDataContext().directDrawReady) return -1;
        if (r->surface != nullptr) return 0;
        return -1;
    }
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
        const uint32_t key = GetImageDataContext().drawTransColor;
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
    }
    r->lockCount = 0;
    r->lockedPixels = nullptr;
    return 0;
}

int SetImageColorKey(int32_t handle) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    if (r == nullptr) return -1;
    // Only DirectDraw surfaces and textures carry a colour key of their own.
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
    } else if (!r->usesMemImg || CreateZBufferMemImg(&r->depthMemImg, r->width, r->height) != 0) {
        return AppendLog("Ｚバッファの作成に失敗しました"_sjis);
    }
    r->depthBuffer = flag;
    return 0;
}

int LockImageSurface(int32_t handle, int32_t* outPitch, uint8_t** outPixels, int32_t /*writeOnly*/,
                     const Rect* rect, ColorFormat* outFormat) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    if (r == nullptr) return -1;
    if (outFormat != nullptr) {
        *outFormat = r->usesMemImg && r->memImg.format != nullptr
                         ? *r->memImg.format
                         : GetImageDataContext().screenFormat;
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
                              : GetImageDataContext().screenFormat.bytesPerPixel;
        *outPitch = r->lockedPitch;
        *outPixels = r->lockedPixels +
                     static_cast<ptrdiff_t>(want.top - r->lockedRect.top) * r->lockedPitch +
                     static_cast<ptrdiff_t>(want.left - r->lockedRect.left) * bytes;
        ++r->lockCount;
        return -2;
    }
    if (!r->usesMemImg || r->memImg.pixels == nullptr) {
        return AppendLog("グラフィックのロックに失敗しました"_sjis);
    }
    r->lockedPitch = r->memImg.pitch;
    r->lockedPixels = r->memImg.pixels + static_cast<ptrdiff_t>(want.top) * r->memImg.pitch +
                      static_cast<ptrdiff_t>(want.left) * r->memImg.format->bytesPerPixel;
    r->lockedRect = want;
    r->lockCount = 1;
    *outPitch = r->lockedPitch;
    *outPixels = r->lockedPixels;
    return 0;
}

int UnlockImageSurface(int32_t handle, const Rect* /*rect*/) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    if (r == nullptr || r->lockCount <= 0) return -1;
    if (--r->lockCount == 0) r->lockedPixels = nullptr;
    return 0;
}

int FillImageSurface(int32_t handle, int red, int green, int blue, int alpha) {
    ImageDataRecord* r = GetImageDataRecord(handle);
    if (r == nullptr) return -1;
    if (!r->usesMemImg || r->memImg.pixels == nullptr) return -1;
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
    // Memory images are never lost.
    return 0;
}

}  // namespace tessra
