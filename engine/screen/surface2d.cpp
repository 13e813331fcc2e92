#include "engine/screen/surface2d.h"

#include <algorithm>
#include <cstring>

#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_image.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/image_data.h"
#include "engine/graphics/movie.h"
#include "engine/screen/memimg.h"
#include "engine/screen/screen.h"
#include "platform/ddraw/ddraw.h"
#include "platform/gdi/gdi.h"

namespace tessra {

using namespace sjis_literals;

namespace {

// DirectDraw is in use but its object is gone (between a release and the re-creation).
bool DirectDrawMissing() {
    const ImageDataContext& ctx = GetImageDataContext();
    return ctx.noDirectDraw == 0 && ctx.directDraw == nullptr;
}

ImageDataFormat ToImageDataFormat(const GraphFormatBytes& f) {
    return ImageDataFormat{f.texture,   f.alpha,     f.drawValid,     f.systemMemory,
                           f.alphaTest, f.colorBits, f.singleChannel, f.paletted};
}

// Run code of one pixel: 0 transparent, 1 opaque, 2 partly transparent.
int RunCode(const MEMIMG& m, const uint8_t* row, int32_t x, int bytes) {
    const uint8_t* p = row + static_cast<int64_t>(x) * bytes;
    if (m.alpha) {
        const uint32_t a = m.kind == kMemImgKind565 ? p[2] : p[3];
        return a == 0 ? 0 : (a == 255 ? 1 : 2);
    }
    uint32_t v;
    if (m.paletted) {
        v = p[0];
    } else if (m.kind == kMemImgKind565) {
        v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
    } else {
        std::memcpy(&v, p, 4);
    }
    return v == m.transColor ? 0 : 1;
}

void BuildRunData(MEMIMG* m) {
    const int bytes = MemImgBytesPerPixel(m->kind, m->paletted, m->alpha);
    uint8_t* out = m->auxBuffer;
    for (int32_t y = 0; y < m->height; ++y) {
        const uint8_t* row = m->pixels + static_cast<int64_t>(y) * m->pitch;
        int32_t x = 0;
        while (x < m->width) {
            const int code = RunCode(*m, row, x, bytes);
            int32_t length = 1;
            while (x + length < m->width && length < 64 &&
                   RunCode(*m, row, x + length, bytes) == code) {
                ++length;
            }
            *out++ = static_cast<uint8_t>((code << 6) | (length - 1));
            x += length;
        }
        *out++ = kMemImgRunEnd;
    }
}

void BuildPremultipliedPlane(MEMIMG* m) {
    for (int32_t y = 0; y < m->height; ++y) {
        const uint8_t* s = m->pixels + static_cast<int64_t>(y) * m->pitch;
        uint8_t* d = m->alphaBuffer + static_cast<int64_t>(y) * m->pitch;
        for (int32_t x = 0; x < m->width; ++x, s += 4, d += 4) {
            if (m->kind == kMemImgKind565) {
                const uint32_t c = static_cast<uint32_t>(s[0]) | (static_cast<uint32_t>(s[1]) << 8);
                const uint32_t a = s[2];
                const uint32_t p = ((((c & 0x1F) * a) & 0x1F00) | (((c & 0xF800) * a) & 0xF80000) |
                                    (((c & 0x7E0) * a) & 0x7E000)) >>
                                   8;
                d[0] = static_cast<uint8_t>(p);
                d[1] = static_cast<uint8_t>(p >> 8);
                d[2] = static_cast<uint8_t>(a);
                d[3] = 0;
            } else {
                const uint32_t a = s[3];
                d[0] = static_cast<uint8_t>((s[0] * a) >> 8);
                d[1] = static_cast<uint8_t>((s[1] * a) >> 8);
                d[2] = static_cast<uint8_t>((s[2] * a) >> 8);
                d[3] = static_cast<uint8_t>(a);
            }
        }
    }
}

}  // namespace

Surface2DRecord* FirstSurfaceOf(const GraphRecord* graph) {
    if (graph == nullptr || graph->format.texture || graph->pieceCount < 1) return nullptr;
    return GetSurface2D(static_cast<int32_t>(graph->pieces[0]));
}

Surface2DTable& GetSurface2DTable() {
    static Surface2DTable* table = new Surface2DTable{};
    return *table;
}

Surface2DRecord* GetSurface2D(int32_t handle) {
    return GetSurface2DTable().Find(handle, kSurface2DHandleKind);
}

int AddSurface2D(uint16_t width, uint16_t height, uint16_t x, uint16_t y, int32_t ownerGraph,
                 const Surface2DRecord* parent, uint16_t sourceX, uint16_t sourceY,
                 const GraphFormatBytes* format) {
    if (DirectDrawMissing()) return AppendLog("テッセラが初期化されていません\n"_sjis);
    Surface2DTable& t = GetSurface2DTable();
    if (t.liveCount >= kSurface2DMax) {
        return AppendLog("２Ｄグラフィックの量が許容量を越えました\n"_sjis);
    }
    const int32_t slot = t.SlotForNew();
    auto* r = static_cast<Surface2DRecord*>(
        AllocTaggedZeroed(sizeof(Surface2DRecord), __FILE__, __LINE__));
    int32_t imageData = -1;
    if (r != nullptr) {
        if (parent != nullptr) {
            if (AddImageDataRef(parent->imageData) >= 0) imageData = parent->imageData;
        } else if (format != nullptr) {
            const ImageDataFormat f = ToImageDataFormat(*format);
            imageData = AddImageData(1, width, height, DrawState.transColor, &f);
        }
    }
    if (imageData < 0) {
        if (r != nullptr) FreeTagged(r);
        return AppendLog("メモリの確保に失敗しました in AddSurface2D \n"_sjis);
    }
    r->imageData = imageData;
    r->x = x;
    r->y = y;
    r->ownerGraph = ownerGraph;
    r->sourceX = sourceX;
    r->sourceY = sourceY;
    r->width = width;
    r->height = height;
    r->check = t.checkCounter;
    t.checkCounter = NextHandleCheck(t.checkCounter);
    r->userPointer = nullptr;
    t.Occupy(slot, r);
    return MakeEngineHandle(kSurface2DHandleKind, r->check, slot);
}

int SetSurface2DUserPointer(int32_t handle, int32_t* pointer) {
    Surface2DRecord* r = GetSurface2D(handle);
    if (r == nullptr) return 0;
    r->userPointer = pointer;
    if (pointer != nullptr) *pointer = 0;
    return 0;
}

int DeleteSurface2D(int32_t handle) {
    Surface2DRecord* r = GetSurface2D(handle);
    if (r == nullptr) return 0;
    if (ReleaseImageDataRef(r->imageData) == 0) ReleaseImageData(r->imageData);
    GetSurface2DTable().Vacate(HandleSlot(handle));
    // Whoever holds the surface (a font's glyph cache) learns that it is gone.
    if (r->userPointer != nullptr) *r->userPointer = 1;
    FreeTagged(r);
    return 0;
}

int DeleteAllSurfaces2D() {
    if (DirectDrawMissing()) return -1;
    Surface2DTable& t = GetSurface2DTable();
    for (int32_t slot = 0; slot < kSurface2DMax && t.liveCount > 0; ++slot) {
        if (t.records[slot] != nullptr) {
            DeleteSurface2D(MakeEngineHandle(kSurface2DHandleKind, t.records[slot]->check, slot));
        }
    }
    return 0;
}

int DeleteAllSurfaces2DChecked() {
    if (DirectDrawMissing()) return -1;
    return DeleteAllSurfaces2D();
}

int CreateGraphSurfaces2D(GraphRecord* graph) {
    graph->pieceCount = 1;
    const int h =
        AddSurface2D(static_cast<uint16_t>(graph->width), static_cast<uint16_t>(graph->height), 0,
                     0, graph->handle, nullptr, 0, 0, &graph->format);
    graph->pieces[0] = static_cast<uint32_t>(h);
    if (h < 0) {
        graph->pieceCount = 0;
        return -1;
    }
    return 0;
}

int CreateDerivedGraphSurface2D(GraphRecord* graph, int sourceX, int sourceY, int width, int height,
                                const GraphRecord* parent) {
    const Surface2DRecord* p = FirstSurfaceOf(parent);
    if (p == nullptr) return -1;
    // Positions are inside the parent's rectangle, which may itself be a view.
    const int h = AddSurface2D(static_cast<uint16_t>(width), static_cast<uint16_t>(height), 0, 0,
                               graph->handle, p, static_cast<uint16_t>(p->sourceX + sourceX),
                               static_cast<uint16_t>(p->sourceY + sourceY), &graph->format);
    if (h < 0) return -1;
    graph->pieces[0] = static_cast<uint32_t>(h);
    graph->pieceCount = 1;
    return 0;
}

int DeleteGraphSurfaces2D(GraphRecord* graph) {
    int result = 0;
    for (int32_t i = 0; i < graph->pieceCount; ++i) {
        result |= DeleteSurface2D(static_cast<int32_t>(graph->pieces[i]));
    }
    graph->pieceCount = 0;
    return result;
}

int RestoreGraphSurfaces2D(GraphRecord* graph) {
    int result = 0;
    for (int32_t i = 0; i < graph->pieceCount; ++i) {
        Surface2DRecord* s = GetSurface2D(static_cast<int32_t>(graph->pieces[i]));
        if (s == nullptr) return -1;
        result |= RestoreImageSurfaceIfLost(s->imageData);
    }
    return result;
}

int RestoreAllSurfaces2D() {
    int result = RestoreLostScreenSurfaces();
    Surface2DTable& t = GetSurface2DTable();
    for (int32_t slot = 0; slot < t.topSlot; ++slot) {
        if (t.records[slot] != nullptr)
            result |= RestoreImageSurfaceIfLost(t.records[slot]->imageData);
    }
    return result;
}

int ReleaseAllScreenImageSurfaces() {
    Surface2DTable& t = GetSurface2DTable();
    for (int32_t slot = 0; slot < t.topSlot; ++slot) {
        if (t.records[slot] != nullptr) ReleaseImageSurface(t.records[slot]->imageData);
    }
    return 0;
}

int RecreateAllScreenImageSurfaces() {
    Surface2DTable& t = GetSurface2DTable();
    for (int32_t slot = 0; slot < t.topSlot; ++slot) {
        if (t.records[slot] == nullptr) continue;
        CreateImageSurface(t.records[slot]->imageData);
        SetImageColorKey(t.records[slot]->imageData);
    }
    return 0;
}

int ApplyToGraphSurfaces2D(GraphRecord* graph, int r, int g, int b, int a) {
    if (DirectDrawMissing()) return -1;
    for (int32_t i = 0; i < graph->pieceCount; ++i) {
        Surface2DRecord* s = GetSurface2D(static_cast<int32_t>(graph->pieces[i]));
        if (s == nullptr) return -1;
        FillImageSurface(s->imageData, r, g, b, a);
    }
    return 0;
}

void TransferImageToSurface2D(const GraphImage* source, const GraphImage* alpha, MEMIMG* dest,
                              int sx, int sy, int w, int h, int tx, int ty) {
    const Rect r{sx, sy, sx + w, sy + h};
    int result;
    if (dest->kind == kMemImgKindSingle8 || dest->kind == kMemImgKindZBuffer) {
        result = ConvertRectPixels(dest->pixels, dest->pitch, dest->format, source->pixels,
                                   source->pitch, &source->format, nullptr, 0, nullptr, tx, ty, &r,
                                   0, 0, 0xFFFFFFFFu, 0, 0, 1, 1);
    } else {
        result = ConvertRectPixels(
            dest->pixels, dest->pitch, dest->format, source->pixels, source->pitch, &source->format,
            alpha != nullptr ? alpha->pixels : nullptr, alpha != nullptr ? alpha->pitch : 0,
            alpha != nullptr ? &alpha->format : nullptr, tx, ty, &r, 0, 0, 0xFFFFFFFFu, 0, 0, 0, 0);
    }
    if (result < 0) return;
    if (dest->paletted) {
        if (alpha == nullptr) dest->paletteCount = static_cast<uint32_t>(result + 1);
        if (dest->kind == kMemImgKind565) {
            for (int i = 0; i < 256; ++i) {
                const uint8_t* e = source->format.palette[i];  // blue, green, red
                const uint16_t v = static_cast<uint16_t>(((e[2] & 0xF8) << 8) |
                                                         ((e[1] & 0xFC) << 3) | (e[0] >> 3));
                std::memcpy(dest->paletteTable + i * 2, &v, 2);
            }
            std::memcpy(dest->secondTableData, dest->paletteTable, 512);
        } else {
            std::memcpy(dest->paletteTable, source->format.palette, 1024);
            std::memcpy(dest->secondTableData, dest->paletteTable, 1024);
        }
    }
    dest->runData = 0;
    dest->premultipliedAlpha = 0;
    if (w != dest->width || h != dest->height || dest->kind > kMemImgKindXrgb ||
        dest->auxBuffer == nullptr) {
        return;
    }
    dest->runData = 1;
    if (dest->alpha && dest->alphaBuffer != nullptr) {
        dest->premultipliedAlpha = 1;
        BuildPremultipliedPlane(dest);
    }
    BuildRunData(dest);
}

int TransferSurface2DImage(MEMIMG* dest, const MEMIMG* source, const Rect* sourceRect, int x,
                           int y) {
    const Rect whole{0, 0, source->width, source->height};
    return ConvertRectPixels(dest->pixels, dest->pitch, dest->format, source->pixels, source->pitch,
                             source->format, nullptr, 0, nullptr, x, y,
                             sourceRect != nullptr ? sourceRect : &whole, 0, 0, 0xFFFFFFFFu, 0, 0,
                             0, 0);
}

int TransferGraphImageToSurfaces2D(const GraphImage* image, const GraphImage* alpha,
                                   const Rect* sourceRect, int tx, int ty, int32_t surface,
                                   uint32_t /*option*/) {
    if (DirectDrawMissing()) return -1;
    Surface2DRecord* s = GetSurface2D(surface);
    if (s == nullptr) return -1;
    ImageDataRecord* data = GetImageDataRecord(s->imageData);
    if (data == nullptr) return -1;
    const ImageDataContext& ctx = GetImageDataContext();
    const int w = sourceRect->right - sourceRect->left;
    const int h = sourceRect->bottom - sourceRect->top;
    if (!data->usesMemImg) {
        if (ctx.screenColorBits == 8) return -1;  // the 8-bit GDI path is not used here
        const Rect target{tx, ty, tx + w, ty + h};
        int32_t pitch = 0;
        uint8_t* pixels = nullptr;
        if (LockImageSurface(s->imageData, &pitch, &pixels, 1, &target, nullptr) < 0) {
            return AppendLog("２Ｄサーフェスのロックに失敗しました"_sjis);
        }
        ConvertRectPixels(pixels, pitch, &ctx.screenFormat, image->pixels, image->pitch,
                          &image->format, alpha != nullptr ? alpha->pixels : nullptr,
                          alpha != nullptr ? alpha->pitch : 0,
                          alpha != nullptr ? &alpha->format : nullptr, 0, 0, sourceRect, 0, 0,
                          0xFFFFFFFFu, 0, 0, 0, 0);
        UnlockImageSurface(s->imageData, &target);
    } else {
        MEMIMG* m = &data->memImg;
        if (m->paletted) {
            // The first palette entry equal to the key is transparent; without one no index is
            // (a fall-back to index 0 would make black outlines vanish). Known before the
            // transfer, so that the run data it builds agrees.
            const uint32_t key = DrawState.transColor & 0xFFFFFF;
            const auto pack565 = [](uint32_t rgb) {
                return ((rgb >> 8) & 0xF800) | ((rgb >> 5) & 0x7E0) | ((rgb & 0xFF) >> 3);
            };
            uint32_t index = 0xFFFF;
            for (uint32_t i = 0; i < 256 && index == 0xFFFF; ++i) {
                const uint8_t* e = image->format.palette[i];  // blue, green, red
                const uint32_t rgb =
                    (static_cast<uint32_t>(e[2]) << 16) | (static_cast<uint32_t>(e[1]) << 8) | e[0];
                const bool same =
                    m->kind == kMemImgKind565 ? pack565(rgb) == pack565(key) : rgb == key;
                if (same) index = i;
            }
            m->transColor = index;
        }
        TransferImageToSurface2D(image, alpha, m, sourceRect->left, sourceRect->top, w, h, tx, ty);
    }
    SetImageColorKey(s->imageData);
    return 0;
}

int TransferMovieFrameToSurface2D(const MovieRecord* movie, GraphRecord* graph) {
    const GraphImage& frame = movie->frameImage;
    if (frame.pixels == nullptr || graph->pieceCount < 1) return -1;
    Surface2DRecord* s = GetSurface2D(static_cast<int32_t>(graph->pieces[0]));
    if (s == nullptr) return -1;
    ImageDataRecord* data = GetImageDataRecord(s->imageData);
    if (data == nullptr) return -1;
    const int32_t w = std::min<int32_t>(movie->setting ? frame.width / 2 : frame.width, s->width);
    const int32_t h = std::min<int32_t>(frame.height, s->height);
    if (w <= 0 || h <= 0) return 0;
    // With the alpha-in-frame setting, the right half read at the left half's positions.
    GraphImage alphaHalf{};
    const GraphImage* alpha = nullptr;
    if (movie->setting) {
        alphaHalf = frame;
        alphaHalf.pixels =
            frame.pixels + static_cast<int64_t>(frame.width / 2) * frame.format.bytesPerPixel;
        alpha = &alphaHalf;
    }
    if (data->usesMemImg) {
        TransferImageToSurface2D(&frame, alpha, &data->memImg, 0, 0, w, h, s->sourceX, s->sourceY);
        return 0;
    }
    const Rect target{s->sourceX, s->sourceY, s->sourceX + w, s->sourceY + h};
    int32_t pitch = 0;
    uint8_t* pixels = nullptr;
    ColorFormat format{};
    if (LockImageSurface(s->imageData, &pitch, &pixels, 1, &target, &format) < 0) {
        AppendLog("ムービーグラフィック転送先サーフェスのロックに失敗しました"_sjis);
        return -1;
    }
    if (alpha == nullptr && ColorFormatsEqual(&format, &frame.format)) {
        const size_t rowBytes = static_cast<size_t>(w) * format.bytesPerPixel;
        for (int32_t y = 0; y < h; ++y) {
            std::memcpy(pixels + static_cast<int64_t>(y) * pitch,
                        frame.pixels + static_cast<int64_t>(y) * frame.pitch, rowBytes);
        }
    } else {
        const Rect source{0, 0, w, h};
        ConvertRectPixels(pixels, pitch, &format, frame.pixels, frame.pitch, &frame.format,
                          alpha != nullptr ? alpha->pixels : nullptr,
                          alpha != nullptr ? alpha->pitch : 0,
                          alpha != nullptr ? &alpha->format : nullptr, 0, 0, &source, 0, 0,
                          0xFFFFFFFFu, 0, 0, 0, 0);
    }
    UnlockImageSurface(s->imageData, &target);
    return 0;
}

int BltImageToGraph2D(const GraphImage* image, const GraphImage* alpha, int x, int y,
                      GraphRecord* graph) {
    for (int32_t i = 0; i < graph->pieceCount; ++i) {
        Surface2DRecord* s = GetSurface2D(static_cast<int32_t>(graph->pieces[i]));
        if (s == nullptr) return -1;
        // The piece's rectangle of the image, cut to the image.
        Rect r{s->x + x, s->y + y, s->x + x + s->width, s->y + y + s->height};
        r.right = std::min(r.right, image->width);
        r.bottom = std::min(r.bottom, image->height);
        if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom) return -1;
        if (TransferGraphImageToSurfaces2D(image, alpha, &r, s->sourceX, s->sourceY,
                                           static_cast<int32_t>(graph->pieces[i]), 0) != 0) {
            return -1;
        }
    }
    return 0;
}

int BltImageToGraphSurfaces2D(const GraphImage* image, const GraphImage* alpha,
                              const Rect* sourceRect, int x, int y, GraphRecord* graph) {
    for (int32_t i = 0; i < graph->pieceCount; ++i) {
        Surface2DRecord* s = GetSurface2D(static_cast<int32_t>(graph->pieces[i]));
        if (s == nullptr) return -1;
        // The rectangle placed at (x, y) of the graph, cut to this piece.
        const int w = sourceRect->right - sourceRect->left;
        const int h = sourceRect->bottom - sourceRect->top;
        const int left = std::max<int>(x, s->x), top = std::max<int>(y, s->y);
        const int right = std::min<int>(x + w, s->x + s->width);
        const int bottom = std::min<int>(y + h, s->y + s->height);
        if (left >= right || top >= bottom) continue;
        const Rect part{sourceRect->left + (left - x), sourceRect->top + (top - y),
                        sourceRect->left + (right - x), sourceRect->top + (bottom - y)};
        if (TransferGraphImageToSurfaces2D(image, alpha, &part, s->sourceX + (left - s->x),
                                           s->sourceY + (top - s->y),
                                           static_cast<int32_t>(graph->pieces[i]), 0) != 0) {
            return -1;
        }
    }
    return 0;
}

int BltSurfaceByGdi(plat::DirectDrawSurface* dest, plat::DirectDrawSurface* source, int x, int y,
                    const Rect* sourceRect, int method) {
    if (dest == nullptr || source == nullptr || sourceRect == nullptr) return -1;
    const plat::RECT r{sourceRect->left, sourceRect->top, sourceRect->right, sourceRect->bottom};
    if (method != 1) {
        return plat::DDFailed(dest->BltFast(static_cast<plat::DWORD>(x),
                                            static_cast<plat::DWORD>(y), source, &r, 0))
                   ? -1
                   : 0;
    }
    plat::HDC destDc = nullptr, sourceDc = nullptr;
    if (plat::DDFailed(dest->GetDC(&destDc))) return -1;
    if (plat::DDFailed(source->GetDC(&sourceDc))) {
        dest->ReleaseDC(destDc);
        return -1;
    }
    const plat::BOOL ok = plat::BitBlt(destDc, x, y, r.right - r.left, r.bottom - r.top, sourceDc,
                                       r.left, r.top, plat::SRCCOPY);
    plat::GdiFlush();
    source->ReleaseDC(sourceDc);
    dest->ReleaseDC(destDc);
    return ok ? 0 : -1;
}

MEMIMG* GetGraphMemImg() {
    if (DrawState.blendGraph == -1) return nullptr;
    Surface2DRecord* s = FirstSurfaceOf(GetGraphRecord(DrawState.blendGraph));
    if (s == nullptr) return nullptr;
    ImageDataRecord* data = GetImageDataRecord(s->imageData);
    if (data == nullptr || !data->usesMemImg || data->memImg.pixels == nullptr) return nullptr;
    return &data->memImg;
}

}  // namespace tessra
