#include "engine/screen/memimg.h"

#include <cstddef>
#include <cstring>
#include <limits>

#include "engine/base/memory.h"

namespace tessra {

int32_t g_memImgFailAllocation = 0;

namespace {

void* AllocBuffer(size_t size) {
    if (g_memImgFailAllocation > 0 && --g_memImgFailAllocation == 0) return nullptr;
    return AllocTagged(size, __FILE__, __LINE__);
}
void FreeBuffer(void* block) {
    FreeTagged(block);
}

// log2 of p2, the smallest power of two at least rowSize (1 for sizes of 1 or less), when the
// pitch equals it; else -1.
int32_t PitchLog2(int32_t pitch, int64_t rowSize) {
    int64_t p2 = 1;
    int32_t n = 0;
    while (p2 < rowSize) {
        p2 <<= 1;
        ++n;
    }
    return pitch == p2 ? n : -1;
}

bool SizeFits(int64_t a, int64_t b) {
    return a >= 0 && b >= 0 && (b == 0 || a <= std::numeric_limits<int32_t>::max() / b);
}

}  // namespace

int32_t MemImgBytesPerPixel(uint32_t kind, uint32_t paletted, uint32_t alpha) {
    if (kind == kMemImgKind565 && alpha) return 4;
    if (paletted) return 1;
    switch (kind) {
        case kMemImgKind565:
            return 2;
        case kMemImgKindXrgb:
            return 4;
        case kMemImgKindSingle8:
            return 1;
        default:
            return 2;
    }
}

int InitMemImg(MEMIMG* image, int32_t width, int32_t height, int32_t pitch, uint32_t transColor,
               int32_t kind, int32_t paletted, int32_t alpha, int32_t makeBuffers) {
    if (image->signature == kMemImgSignature) return -1;
    if (kind < 0 || kind > 3 || width <= 0 || height <= 0) return -1;
    if (paletted) alpha = 0;
    if (kind == kMemImgKindSingle8 || kind == kMemImgKindZBuffer) paletted = alpha = 0;
    const auto k = static_cast<uint32_t>(kind);
    const uint32_t pal = paletted ? 1 : 0;
    const uint32_t alp = alpha ? 1 : 0;

    const int32_t bytes = MemImgBytesPerPixel(k, pal, alp);
    if (!SizeFits(width, bytes)) return -1;
    const int64_t rowSize = static_cast<int64_t>(bytes) * width;
    int64_t rowPitch = pitch;
    if (pitch == -1) {
        rowPitch = (rowSize + 15) & ~int64_t{15};
    } else if (pitch < rowSize) {
        return -1;  // rows would overlap
    }
    if (!SizeFits(rowPitch, height) || !SizeFits(width + 5, height)) return -1;

    image->height = height;
    image->transColor = transColor;
    image->alpha = alp;
    image->width = width;
    image->kind = k;
    image->paletted = pal;
    image->premultipliedAlpha = 0;
    image->runData = 0;
    image->palette = image->paletteTable;
    image->secondTable = image->secondTableData;
    image->pitch = static_cast<int32_t>(rowPitch);
    image->pitchLog2 = PitchLog2(image->pitch, pitch == -1 ? rowSize : rowPitch);
    image->format =
        GetStandardColorFormat(kind, static_cast<int32_t>(alp), static_cast<int32_t>(pal));

    const auto bufferSize = static_cast<size_t>(rowPitch) * static_cast<size_t>(height);
    // What this call allocates is given back if a later allocation fails.
    uint8_t* newPixels = nullptr;
    uint8_t* newAlpha = nullptr;
    if (image->pixels == nullptr) {
        newPixels = static_cast<uint8_t*>(AllocBuffer(bufferSize));
        if (newPixels == nullptr) return -1;
        image->pixels = newPixels;
        image->pixelsNotOwned = 0;
    } else {
        image->pixelsNotOwned = 1;
    }
    if (makeBuffers == 1) {
        if (alp && image->alphaBuffer == nullptr) {
            newAlpha = static_cast<uint8_t*>(AllocBuffer(bufferSize));
            if (newAlpha == nullptr) {
                if (newPixels) {
                    FreeBuffer(newPixels);
                    image->pixels = nullptr;
                }
                return -1;
            }
            image->alphaBuffer = newAlpha;
        }
        if (k != kMemImgKindSingle8 && image->auxBuffer == nullptr) {
            const size_t auxSize = static_cast<size_t>(width + 5) * static_cast<size_t>(height);
            auto* aux = static_cast<uint8_t*>(AllocBuffer(auxSize));
            if (aux == nullptr) {
                if (newAlpha) {
                    FreeBuffer(newAlpha);
                    image->alphaBuffer = nullptr;
                }
                if (newPixels) {
                    FreeBuffer(newPixels);
                    image->pixels = nullptr;
                }
                return -1;
            }
            image->auxBuffer = aux;
        }
    }
    image->signature = kMemImgSignature;
    return 0;
}

int CreateScreenMemImg(MEMIMG* image, int32_t width, int32_t height, int32_t kind,
                       int32_t workingColorBits) {
    std::memset(image, 0, sizeof *image);
    if (kind == -1) kind = workingColorBits == 16 ? kMemImgKind565 : kMemImgKindXrgb;
    if (InitMemImg(image, width, height, -1, 0, kind, 0, 0, 0) != 0) return -1;
    // A new screen starts black, never with whatever the heap held before.
    std::memset(image->pixels, 0, static_cast<size_t>(image->pitch) * image->height);
    return 0;
}

int CreateZBufferMemImg(MEMIMG* image, int32_t width, int32_t height) {
    std::memset(image, 0, sizeof *image);
    return InitMemImg(image, width, height, -1, 0, kMemImgKindZBuffer, 0, 0, 0);
}

void InitMemImgView(MEMIMG* view, const MEMIMG* source, int32_t x, int32_t y, int32_t width,
                    int32_t height) {
    view->signature = kMemImgSignature;
    view->width = width;
    view->height = height;
    view->pitch = source->pitch;
    view->pitchLog2 = source->pitchLog2;
    view->format = source->format;
    view->transColor = source->transColor;
    view->kind = source->kind;
    view->paletted = source->paletted;
    view->paletteCount = source->paletteCount;
    view->alpha = source->alpha;
    view->premultipliedAlpha = 0;
    view->runData = 0;
    view->pixelsNotOwned = 0;
    view->palette = source->palette;
    view->secondTable = source->secondTable;
    view->pixels = source->pixels + static_cast<ptrdiff_t>(y) * source->pitch +
                   static_cast<ptrdiff_t>(x) * source->format->bytesPerPixel;
    view->alphaBuffer = nullptr;
    view->auxBuffer = nullptr;
}

int IsMemImgValid(const MEMIMG* image) {
    return image->pixels != nullptr ? 1 : 0;
}

void ReleaseMemImg(MEMIMG* image) {
    if (image->signature != kMemImgSignature) return;
    if (!image->pixelsNotOwned) FreeBuffer(image->pixels);
    FreeBuffer(image->alphaBuffer);
    FreeBuffer(image->auxBuffer);
    image->pixels = nullptr;
    image->alphaBuffer = nullptr;
    image->auxBuffer = nullptr;
    image->signature = 0;
}

void FillMemImgRect(MEMIMG* image, const Rect* rect, uint32_t value) {
    if (image->pixels == nullptr) return;
    Rect r{0, 0, image->width, image->height};
    if (rect != nullptr) {
        if (rect->left > r.left) r.left = rect->left;
        if (rect->top > r.top) r.top = rect->top;
        if (rect->right < r.right) r.right = rect->right;
        if (rect->bottom < r.bottom) r.bottom = rect->bottom;
    }
    if (r.right <= r.left || r.bottom <= r.top) return;
    const int bytes = image->format->bytesPerPixel;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint8_t* row = image->pixels + static_cast<ptrdiff_t>(y) * image->pitch;
        switch (bytes) {
            case 1:
                std::memset(row + r.left, static_cast<int>(value & 0xFF),
                            static_cast<size_t>(r.right - r.left));
                break;
            case 2: {
                const auto v = static_cast<uint16_t>(value);
                for (int32_t x = r.left; x < r.right; ++x) std::memcpy(row + 2 * x, &v, 2);
                break;
            }
            case 4:
                for (int32_t x = r.left; x < r.right; ++x) std::memcpy(row + 4 * x, &value, 4);
                break;
            default:
                return;
        }
    }
}

}  // namespace tessra
