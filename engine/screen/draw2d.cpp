#include "engine/screen/draw2d.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/d3d/d3d.h"
#include "engine/font/font.h"
#include "engine/font/font_table.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/graphics_core.h"
#include "engine/graphics/image_data.h"
#include "engine/graphics/mask_screen.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_internal.h"
#include "engine/screen/screen_state.h"
#include "engine/screen/surface2d.h"
#include "engine/softrender/soft_render.h"
#include "platform/ddraw/ddraw.h"

namespace tessra {

namespace {

BlitParamsRecord g_blit{};

ScreenStateRecord& S() {
    return GetScreenState();
}

int32_t Clamp32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// DirectDraw is in use but its object is gone.
bool DirectDrawMissing() {
    const ScreenStateRecord& s = S();
    return !s.noDirectDraw && s.directDraw == nullptr;
}

bool InVideoMemory(const plat::DirectDrawSurface* surface) {
    if (surface == nullptr) return false;
    plat::DDSCAPS2 caps{};
    surface->GetCaps(&caps);
    return (caps.dwCaps & plat::DDSCAPS_VIDEOMEMORY) != 0;
}

int WorkingKind() {
    return S().workingColorBits == 16 || S().workingColorBits == 0 ? kMemImgKind565
                                                                   : kMemImgKindXrgb;
}

const ColorFormat* StandardFormat() {
    return GetStandardColorFormat(WorkingKind(), 0, 0);
}

// A view over locked pixels laid out so that (originX, originY) of the view is at `pixels`.
// Nothing outside the locked rectangle is ever addressed: every draw into it is clipped there.
void MakeLockedView(MEMIMG* view, uint8_t* pixels, int32_t pitch, int32_t originX, int32_t originY,
                    int32_t width, int32_t height, uint32_t transColor) {
    std::memset(view, 0, sizeof *view);
    const uint32_t kind = static_cast<uint32_t>(WorkingKind());
    const int32_t bytes = MemImgBytesPerPixel(kind, 0, 0);
    view->signature = kMemImgSignature;
    view->width = width;
    view->height = height;
    view->pitch = pitch;
    view->pitchLog2 = -1;
    view->format = GetStandardColorFormat(static_cast<int32_t>(kind), 0, 0);
    view->transColor = transColor;
    view->kind = kind;
    view->palette = view->paletteTable;
    view->secondTable = view->secondTableData;
    view->pixelsNotOwned = 1;
    // Pointer arithmetic in integers: the origin may lie before the locked block.
    const intptr_t at =
        reinterpret_cast<intptr_t>(pixels) - intptr_t(bytes) * originX - intptr_t(pitch) * originY;
    view->pixels = reinterpret_cast<uint8_t*>(at);
}

// Converts a locked block in place between the screen's format and the standard one.
void ConvertInPlace(uint8_t* pixels, int32_t pitch, int32_t width, int32_t height,
                    bool toStandard) {
    const ColorFormat* screen = &S().screenFormat;
    const ColorFormat* standard = StandardFormat();
    const Rect r{0, 0, width, height};
    ConvertRectPixels(pixels, pitch, toStandard ? standard : screen, pixels, pitch,
                      toStandard ? screen : standard, nullptr, 0, nullptr, 0, 0, &r, 0, 0,
                      0xFFFFFFFFu, 0, 0, 0, 0);
}

bool LockSurface(plat::DirectDrawSurface* surface, const Rect& rect, uint8_t** pixels,
                 int32_t* pitch) {
    const plat::RECT r{rect.left, rect.top, rect.right, rect.bottom};
    plat::DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (plat::DDFailed(surface->Lock(&r, &desc, plat::DDLOCK_WAIT, nullptr))) return false;
    *pixels = static_cast<uint8_t*>(desc.lpSurface);
    *pitch = desc.lPitch;
    return true;
}

void UnlockSurface(plat::DirectDrawSurface* surface, const Rect& rect) {
    const plat::RECT r{rect.left, rect.top, rect.right, rect.bottom};
    surface->Unlock(&r);
}

Rect Moved(Rect r, int32_t dx, int32_t dy) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
    return r;
}

bool BlendingNeeded(const ImageDataRecord* data) {
    const int mode = DrawState.blendMode;
    const bool plain = mode == kBlendNone || (mode == kBlendAlpha && DrawState.blendParam == 255);
    return !plain || (data != nullptr && data->format.alpha) || DrawState.blendGraph != -1;
}

MEMIMG* MaskImage() {
    return GetMaskMemImg();
}

// Where a draw on memory-image screens goes: the mask's image while mask drawing is active.
MEMIMG* ScreenDrawImage() {
    return DrawState.maskActive ? MaskImage() : ScreenTargetMemImg();
}

void EndPending3DIfReady() {
    if (S().ready) EndSceneCurrent();
    FlushCurrentVertexBatch();
}

// The tile's pixels as a memory image: the image itself, or a view of the tile's part of it.
const MEMIMG* TileMemImg(const Surface2DRecord* tile, ImageDataRecord* data, MEMIMG* view) {
    MEMIMG* image = &data->memImg;
    if (image->pixels == nullptr) return nullptr;
    if (tile->sourceX == 0 && tile->sourceY == 0 && tile->width == image->width &&
        tile->height == image->height)
        return image;
    if (tile->sourceX + tile->width > image->width || tile->sourceY + tile->height > image->height)
        return nullptr;
    std::memset(view, 0, sizeof *view);
    InitMemImgView(view, image, tile->sourceX, tile->sourceY, tile->width, tile->height);
    return view;
}

// The software renderer's way into this layer.
int SoftPrepare(const void* surface, const Rect* sourceRect, const Rect* destRect, int flag,
                uint32_t* color, MEMIMG** dest, MEMIMG** src) {
    const int r = PrepareBlit2D(static_cast<const Surface2DRecord*>(surface), 0, sourceRect,
                                destRect, flag, color, nullptr);
    if (r < 0) return r;
    *dest = g_blit.destImage;
    *src = g_blit.sourceImage;
    return 0;
}

int SoftStretchSource(const GraphRecord* graph, int32_t surfaceHandle, SoftSurfaceSource* source) {
    const Surface2DRecord* tile =
        surfaceHandle == -1 ? FirstSurfaceOf(graph) : GetSurface2D(surfaceHandle);
    if (tile == nullptr) return -1;
    ImageDataRecord* data = GetImageDataRecord(tile->imageData);
    if (data == nullptr) return -1;
    source->surface = tile;
    source->handle = surfaceHandle == -1 ? static_cast<int32_t>(graph->pieces[0]) : surfaceHandle;
    source->image = &data->memImg;
    source->x = tile->sourceX;
    source->y = tile->sourceY;
    source->width = tile->width;
    source->height = tile->height;
    return 0;
}

const MEMIMG* SoftBlendImage() {
    return GetGraphMemImg();
}

int SoftGraphSize(const GraphRecord* graph, int32_t* width, int32_t* height) {
    if (graph == nullptr) return -1;
    *width = graph->width;
    *height = graph->height;
    return 0;
}

MEMIMG* SoftMaskImage() {
    return GetMaskMemImg();
}

}  // namespace

BlitParamsRecord& GetBlitParams() {
    return g_blit;
}

void InstallBlitServices() {
    SoftScreenServices& t = SoftScreen;
    if (t.PrepareBlit2D == nullptr) t.PrepareBlit2D = SoftPrepare;
    if (t.FinishBlit2D == nullptr) t.FinishBlit2D = FinishBlit2D;
    if (t.BltGraph2D == nullptr) t.BltGraph2D = BltGraph2D;
    if (t.DrawLineList2D == nullptr) t.DrawLineList2D = DrawLineList2D;
    if (t.GetStretchSource == nullptr) t.GetStretchSource = SoftStretchSource;
    if (t.GetGraphMemImg == nullptr) t.GetGraphMemImg = SoftBlendImage;
    if (t.GetGraphSize == nullptr) t.GetGraphSize = SoftGraphSize;
    if (t.GetMaskMemImg == nullptr) t.GetMaskMemImg = SoftMaskImage;
}

int SelectDrawTarget(int target) {
    ScreenStateRecord& s = S();
    const ScreenHost* host = GetScreenHost();
    const int menu = host != nullptr && host->isMenuInUse != nullptr ? host->isMenuInUse() : 0;
    const bool clipperCase = s.directDraw != nullptr && s.primary != nullptr &&
                             (s.windowMode || s.gdiSurfaceMode || menu);
    plat::DirectDrawSurface* surface = nullptr;
    MEMIMG* image = nullptr;
    MEMIMG* depth = nullptr;
    int32_t offsetX = 0, offsetY = 0;
    if (target == kFrontScreen) {
        surface = s.primary;
        if (s.memImgScreens && IsMemImgValid(&s.frontImage)) image = &s.frontImage;
        if (clipperCase) s.primary->SetClipper(nullptr);
    } else if (target == kBackScreen) {
        surface = s.back;
        if (s.memImgScreens && IsMemImgValid(&s.backImage)) image = &s.backImage;
        if (s.memImgScreens && IsMemImgValid(&s.zImage)) depth = &s.zImage;
        if (clipperCase) s.primary->SetClipper(s.clipper);
    } else {
        const GraphRecord* graph = GetGraphRecord(target);
        // Texture graphs are the Direct3D back-end's targets.
        if (graph == nullptr || graph->format.texture) return -1;
        const Surface2DRecord* tile = FirstSurfaceOf(graph);
        if (tile == nullptr) return -1;
        ImageDataRecord* data = GetImageDataRecord(tile->imageData);
        if (data == nullptr) return -1;
        if (data->usesMemImg) {
            // A graph cut from a sheet draws into its own rectangle of the sheet only.
            MEMIMG* view = &s.targetView;
            image = const_cast<MEMIMG*>(TileMemImg(tile, data, view));
            if (image == nullptr) return -1;
        } else {
            surface = data->surface;
            if (surface == nullptr) return -1;
            offsetX = tile->sourceX;
            offsetY = tile->sourceY;
        }
        if (data->depthMemImg.pixels != nullptr) depth = &data->depthMemImg;
        if (clipperCase) s.primary->SetClipper(s.clipper);
    }
    s.targetSurface = image != nullptr ? nullptr : surface;
    if (target == kFrontScreen || target == kBackScreen) s.targetSurface = surface;
    s.targetImage = image;
    s.targetDepthImage = depth;
    s.targetOffsetX = offsetX;
    s.targetOffsetY = offsetY;
    s.targetInVideoMemory = InVideoMemory(s.targetSurface) ? 1 : 0;
    return 0;
}

int ClearDrawTarget() {
    ScreenStateRecord& s = S();
    if (DirectDrawMissing()) return -1;
    EndPending3DIfReady();
    const int target = DrawState.drawTarget;
    if (s.memImgScreens) {
        MEMIMG* image = ScreenTargetMemImg();
        // A graph is cleared to black as its pixels hold it (see below); the screens to 0.
        const bool graph = target != kFrontScreen && target != kBackScreen;
        if (image != nullptr)
            FillMemImgRect(image, nullptr,
                           graph && image->format != nullptr
                               ? PackColorForFormat(image->format, 0, 0, 0, 0)
                               : 0);
        if (s.targetDepthImage != nullptr) FillMemImgRect(s.targetDepthImage, nullptr, 0xFFFF);
        return 0;
    }
    plat::DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    const int32_t width = static_cast<int32_t>(s.width), height = static_cast<int32_t>(s.height);
    if (target == kFrontScreen || target == kBackScreen) {
        plat::RECT r{0, 0, width, height};
        if (target == kFrontScreen && s.windowMode) {
            int x = 0, y = 0;
            ScreenClientOrigin(&x, &y);
            r = plat::RECT{x, y, x + width, y + height};
        }
        if (s.targetSurface != nullptr)
            s.targetSurface->Blt(&r, nullptr, nullptr, plat::DDBLT_COLORFILL, &fx);
        if (s.zBuffer != nullptr) {
            fx.dwFillDepth = 0xFFFF;
            const plat::RECT whole{0, 0, width, height};
            s.zBuffer->Blt(&whole, nullptr, nullptr, plat::DDBLT_DEPTHFILL | plat::DDBLT_WAIT, &fx);
        }
        return 0;
    }
    const GraphRecord* graph = GetGraphRecord(target);
    if (graph == nullptr || graph->format.texture) return 0;
    const Surface2DRecord* tile = FirstSurfaceOf(graph);
    if (tile == nullptr) return 0;
    ImageDataRecord* data = GetImageDataRecord(tile->imageData);
    if (data == nullptr) return 0;
    // Black as the graph's own pixels hold it (unused bits set, as in its black colour key), so
    // that a cleared graph drawn with transparency shows nothing where nothing was drawn.
    if (s.targetImage != nullptr) {
        if (s.targetDepthImage != nullptr) FillMemImgRect(s.targetDepthImage, nullptr, 0xFFFF);
        const ColorFormat* f = s.targetImage->format;
        MemImgFillRect(s.targetImage, nullptr,
                       f != nullptr ? PackColorForFormat(f, 0, 0, 0, 0) : 0);
        return 0;
    }
    // Only the graph's own rectangle of a shared sheet.
    const plat::RECT r{tile->sourceX, tile->sourceY, tile->sourceX + tile->width,
                       tile->sourceY + tile->height};
    if (data->depthSurface != nullptr) {
        fx.dwFillDepth = 0xFFFF;
        data->depthSurface->Blt(&r, nullptr, nullptr, plat::DDBLT_DEPTHFILL | plat::DDBLT_WAIT,
                                &fx);
    }
    if (data->surface != nullptr) {
        fx.dwFillColor = ConvertedPixelOf(&s.screenFormat, 0);
        data->surface->Blt(&r, nullptr, nullptr, plat::DDBLT_COLORFILL | plat::DDBLT_WAIT, &fx);
    }
    return 0;
}

int PrepareBlit2D(const Surface2DRecord* surface, int directAllowed, const Rect* sourceRect,
                  const Rect* destRect, int wantLock, uint32_t* color1, uint32_t* color2) {
    ScreenStateRecord& s = S();
    BlitParamsRecord& b = g_blit;
    b.direct = 0;
    b.destLocked = b.sourceLocked = 0;
    b.destViaWork = b.sourceViaWork = 0;
    b.sourceImage = nullptr;
    b.destImage = nullptr;
    if (s.memImgScreens) return 0;
    const bool mask = DrawState.maskActive != 0;
    plat::DirectDrawSurface* destination = mask ? GetMaskSurface() : s.targetSurface;
    ImageDataRecord* data = surface != nullptr ? GetImageDataRecord(surface->imageData) : nullptr;
    if (surface != nullptr && data == nullptr) return -1;
    const bool blending = BlendingNeeded(data);
    const bool destInVideo = mask ? (GetMaskSurface() != nullptr && MaskSurfaceInVideoMemory())
                                  : s.targetInVideoMemory != 0;
    const int workMethod = static_cast<int>(s.presentMethod);

    if (directAllowed && data != nullptr && !blending && DrawBrightnessPacked() == 0xFFFFFF &&
        !data->usesMemImg && data->surface != nullptr && destination != nullptr &&
        InVideoMemory(data->surface) == destInVideo && sourceRect != nullptr) {
        b.direct = 1;
        b.sourceSurface = data->surface;
        b.sourceRect = Moved(*sourceRect, surface->sourceX, surface->sourceY);
        b.destSurface = destination;
        b.destRect = Moved(*destRect, DrawState.clientRect.left + s.targetOffsetX,
                           DrawState.clientRect.top + s.targetOffsetY);
        return 0;
    }

    b.convert = (s.pixelKind == 1 || s.pixelKind == 3) ? 1 : 0;
    b.clippedRect = *destRect;
    ClipRectToRect(&b.clippedRect, &DrawState.DrawArea);
    const Rect& c = b.clippedRect;
    if (c.left >= c.right || c.top >= c.bottom) return -1;
    const int32_t cw = c.right - c.left, ch = c.bottom - c.top;

    if (!mask && s.targetImage != nullptr && s.targetImage->pixels != nullptr) {
        b.destImage = s.targetImage;
    } else {
        if (destination == nullptr) return -1;
        b.destViaWork =
            ((destInVideo && blending) || (b.convert && (blending || wantLock == 0))) ? 1 : 0;
        b.targetRect = Moved(c, s.targetOffsetX + DrawState.clientRect.left,
                             s.targetOffsetY + DrawState.clientRect.top);
        b.targetSurface = destination;
        uint8_t* pixels = nullptr;
        int32_t pitch = 0;
        if (b.destViaWork) {
            if (s.work1 == nullptr ||
                BltSurfaceByGdi(s.work1, destination, 0, 0, &b.targetRect, workMethod) != 0)
                return -1;
            b.destSurface = s.work1;
            b.destRect = Rect{0, 0, cw, ch};
        } else {
            b.destSurface = destination;
            b.destRect = b.targetRect;
        }
        // A surface that cannot be locked leaves nothing locked and the draw is skipped.
        if (!LockSurface(b.destSurface, b.destRect, &pixels, &pitch)) return -1;
        b.destLocked = 1;
        if (b.destViaWork && b.convert) {
            ConvertInPlace(pixels, pitch, cw, ch, true);
            for (uint32_t* color : {color1, color2})
                if (color != nullptr)
                    *color = ConvertPixelColor(StandardFormat(), &s.screenFormat, *color);
        }
        MakeLockedView(&b.destView, pixels, pitch, c.left, c.top, DrawState.targetWidth,
                       DrawState.targetHeight, 0);
        b.destImage = &b.destView;
    }

    if (surface == nullptr) return 0;
    if (data->usesMemImg) {
        b.sourceImage = const_cast<MEMIMG*>(TileMemImg(surface, data, &b.sourceView));
        if (b.sourceImage == nullptr) {
            FinishBlit2D();
            return -1;
        }
        return 0;
    }
    if (data->surface == nullptr || sourceRect == nullptr) {
        FinishBlit2D();
        return -1;
    }
    const Rect& sr = *sourceRect;
    const int32_t sw = sr.right - sr.left, sh = sr.bottom - sr.top;
    const Rect moved = Moved(sr, surface->sourceX, surface->sourceY);
    b.sourceViaWork = (InVideoMemory(data->surface) || b.convert) ? 1 : 0;
    uint8_t* pixels = nullptr;
    int32_t pitch = 0;
    bool locked;
    if (b.sourceViaWork) {
        locked = s.work2 != nullptr && sw > 0 && sh > 0 &&
                 BltSurfaceByGdi(s.work2, data->surface, 0, 0, &moved, workMethod) == 0;
        b.sourceSurface = s.work2;
        b.sourceRect = Rect{0, 0, sw, sh};
        locked = locked && LockSurface(b.sourceSurface, b.sourceRect, &pixels, &pitch);
        if (locked && b.convert) ConvertInPlace(pixels, pitch, sw, sh, true);
    } else {
        b.sourceSurface = data->surface;
        b.sourceRect = moved;
        locked = LockSurface(b.sourceSurface, b.sourceRect, &pixels, &pitch);
    }
    if (!locked) {
        // What this call locked goes back; the caller skips the draw.
        FinishBlit2D();
        return -1;
    }
    b.sourceLocked = 1;
    const uint32_t key = PackColorForFormat(
        StandardFormat(), static_cast<int>((data->colorKey >> 16) & 0xFF),
        static_cast<int>((data->colorKey >> 8) & 0xFF), static_cast<int>(data->colorKey & 0xFF), 0);
    MakeLockedView(&b.sourceView, pixels, pitch, sr.left, sr.top, surface->width, surface->height,
                   key);
    b.sourceImage = &b.sourceView;
    return 0;
}

void FinishBlit2D() {
    ScreenStateRecord& s = S();
    BlitParamsRecord& b = g_blit;
    if (s.memImgScreens) return;
    if (b.destLocked && b.destViaWork && b.convert) {
        const Rect& c = b.clippedRect;
        const intptr_t origin = reinterpret_cast<intptr_t>(b.destView.pixels);
        const int32_t bytes = MemImgBytesPerPixel(b.destView.kind, 0, 0);
        auto* pixels = reinterpret_cast<uint8_t*>(origin + intptr_t(bytes) * c.left +
                                                  intptr_t(b.destView.pitch) * c.top);
        ConvertInPlace(pixels, b.destView.pitch, c.right - c.left, c.bottom - c.top, false);
    }
    if (b.destLocked) UnlockSurface(b.destSurface, b.destRect);
    if (b.sourceLocked) UnlockSurface(b.sourceSurface, b.sourceRect);
    if (b.destLocked && b.destViaWork)
        BltSurfaceByGdi(b.targetSurface, b.destSurface, b.targetRect.left, b.targetRect.top,
                        &b.destRect, static_cast<int>(s.presentMethod));
    b.destLocked = b.sourceLocked = 0;
    b.destViaWork = b.sourceViaWork = 0;
}

int BltGraph2D(int32_t x, int32_t y, int32_t surfaceHandle, int32_t transparent) {
    ScreenStateRecord& s = S();
    if (DirectDrawMissing()) return -1;
    const Surface2DRecord* tile = GetSurface2D(surfaceHandle);
    if (tile == nullptr) return -1;
    ImageDataRecord* data = GetImageDataRecord(tile->imageData);
    if (data == nullptr) return -1;
    const MEMIMG* blend = GetGraphMemImg();
    if (s.memImgScreens) {
        MEMIMG view;
        const MEMIMG* src = TileMemImg(tile, data, &view);
        MEMIMG* dest = ScreenDrawImage();
        if (src == nullptr || dest == nullptr) return -1;
        MemImgBlit(dest, src, x, y, transparent, blend);
        return 0;
    }
    EndPending3DIfReady();
    Rect dest{x, y, int32_t(std::min<int64_t>(INT32_MAX, int64_t(x) + tile->width)),
              int32_t(std::min<int64_t>(INT32_MAX, int64_t(y) + tile->height))};
    ClipRectToRect(&dest, &DrawState.DrawArea);
    if (dest.left >= dest.right || dest.top >= dest.bottom) return 0;
    const Rect source = Moved(dest, -x, -y);
    if (PrepareBlit2D(tile, 1, &source, &dest, 0, nullptr, nullptr) < 0) return -1;
    BlitParamsRecord& b = g_blit;
    if (b.direct) {
        const plat::RECT r{b.sourceRect.left, b.sourceRect.top, b.sourceRect.right,
                           b.sourceRect.bottom};
        const plat::DWORD flags =
            transparent ? plat::DDBLTFAST_SRCCOLORKEY : plat::DDBLTFAST_NOCOLORKEY;
        return plat::DDFailed(b.destSurface->BltFast(static_cast<plat::DWORD>(b.destRect.left),
                                                     static_cast<plat::DWORD>(b.destRect.top),
                                                     b.sourceSurface, &r, flags))
                   ? -1
                   : 0;
    }
    MemImgBlit(b.destImage, b.sourceImage, x, y, transparent, blend);
    FinishBlit2D();
    return 0;
}

int BltGraphF2D(double x, double y, const GraphRecord* graph, int32_t transparent) {
    FlushCurrentVertexBatch();
    const Surface2DRecord* tile = FirstSurfaceOf(graph);
    if (tile == nullptr || !std::isfinite(x) || !std::isfinite(y)) return -1;
    const auto whole = [](double v) {
        return static_cast<int32_t>(
            std::clamp(std::trunc(v), double(INT32_MIN), double(INT32_MAX)));
    };
    return BltGraph2D(whole(x), whole(y), static_cast<int32_t>(graph->pieces[0]), transparent);
}

int DrawLineList2D(const LineRecord* lines, int32_t count) {
    if (DirectDrawMissing()) return -1;
    if (lines == nullptr || count <= 0) return 0;
    if (S().memImgScreens) {
        MEMIMG* dest = ScreenDrawImage();
        if (dest == nullptr) return -1;
        MemImgDrawLineList(dest, lines, count);
        return 0;
    }
    EndPending3DIfReady();
    int64_t left = 1000000, top = 1000000, right = -1000000, bottom = -1000000;
    for (int32_t i = 0; i < count; ++i) {
        const LineRecord& l = lines[i];
        left = std::min<int64_t>({left, l.x1, l.x2});
        top = std::min<int64_t>({top, l.y1, l.y2});
        right = std::max<int64_t>({right, int64_t(l.x1) + 1, int64_t(l.x2) + 1});
        bottom = std::max<int64_t>({bottom, int64_t(l.y1) + 1, int64_t(l.y2) + 1});
    }
    auto clamp = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    const Rect bounds{clamp(left), clamp(top), clamp(right), clamp(bottom)};
    if (PrepareBlit2D(nullptr, 0, nullptr, &bounds, 0, nullptr, nullptr) < 0) return -1;
    MemImgDrawLineList(g_blit.destImage, lines, count);
    FinishBlit2D();
    return 0;
}

int DrawText2D(int32_t x, int32_t y, const char* text, uint32_t color, int32_t font,
               uint32_t edgeColor, int32_t /*option*/) {
    ScreenStateRecord& s = S();
    if (DirectDrawMissing()) return -1;
    FontRecord* record = GetFontRecord(font);
    if (record == nullptr) return -1;
    // Texture caches draw through the Direct3D back-end.
    if (record->useTexture) return DrawText3D(x, y, text, color, font, edgeColor, 0);
    int size[2] = {0, 0};
    if (RenderTextWithCache(kTextMeasure, x, y, text, color, nullptr, nullptr, font, edgeColor, -1,
                            size) < 0)
        return -1;
    const int32_t width = size[0], height = size[1];
    const bool antiAliased = (record->type & 2) != 0;
    const bool opaque = DrawState.blendMode == kBlendNone ||
                        (DrawState.blendMode == kBlendAlpha && DrawState.blendParam == 255);
    if (GetScreenBitDepth() == 8 || (!antiAliased && opaque)) {
        if (s.memImgScreens) {
            MEMIMG* dest = ScreenDrawImage();
            if (dest == nullptr) return -1;
            return RenderTextWithCache(kTextDraw, x, y, text, color, dest, &DrawState.DrawArea,
                                       font, edgeColor, -1, nullptr) < 0
                       ? -1
                       : 0;
        }
        EndPending3DIfReady();
        const Rect box{x, y, Clamp32(int64_t(x) + width), Clamp32(int64_t(y) + height)};
        if (PrepareBlit2D(nullptr, 0, nullptr, &box, 1, &color, &edgeColor) < 0) return 0;
        const int r = RenderTextWithCache(kTextDraw, x, y, text, color, g_blit.destImage,
                                          &g_blit.clippedRect, font, edgeColor, -1, nullptr);
        FinishBlit2D();
        return r < 0 ? -1 : 0;
    }
    // Blended or anti-aliased: the string goes into the font's scratch image first and is blitted
    // from there once, so that overlapping glyph edges blend once.
    if (CreateFontCacheSurface(font) != 0) return -1;
    const Surface2DRecord* tile = GetSurface2D(record->scratchSurface);
    ImageDataRecord* data = tile != nullptr ? GetImageDataRecord(tile->imageData) : nullptr;
    if (data == nullptr) return -1;
    int screenWidth = 640, screenHeight = 480;
    ReadScreenSize(&screenWidth, &screenHeight);
    Rect workArea{0, 0, std::min<int32_t>(width, data->width),
                  std::min<int32_t>(height, data->height)};
    const Rect screen{0, 0, screenWidth, screenHeight};
    ClipRectToRect(&workArea, &screen);
    if (workArea.right <= 0 || workArea.bottom <= 0) return 0;
    // A scratch surface (full screen) is drawn into through a view of its locked pixels.
    MEMIMG lockedView;
    MEMIMG* work = &data->memImg;
    const bool locked = !data->usesMemImg;
    if (locked) {
        uint8_t* pixels = nullptr;
        int32_t pitch = 0;
        // Glyph edges are blended in the standard formats only; plain glyphs are written as
        // the screen's own pixel values.
        if (((s.pixelKind == 1 || s.pixelKind == 3) && antiAliased) || data->surface == nullptr ||
            !LockSurface(data->surface, workArea, &pixels, &pitch))
            return -1;
        MakeLockedView(&lockedView, pixels, pitch, 0, 0, workArea.right, workArea.bottom, 0);
        work = &lockedView;
    } else if (work->pixels == nullptr) {
        return -1;
    }
    uint32_t trans = 0;
    if (!work->alpha) {
        trans = locked
                    ? MakeScreenColor(int((data->colorKey >> 16) & 0xFF),
                                      int((data->colorKey >> 8) & 0xFF), int(data->colorKey & 0xFF))
                    : work->transColor;
        while (trans == color || trans == edgeColor) ++trans;
    }
    work->transColor = trans;
    FillMemImgRect(work, &workArea, trans);
    const uint32_t keptBrightness = DrawBrightnessPacked();
    const Rect keptArea = DrawState.DrawArea;
    DrawState.DrawArea = workArea;
    const int rendered = RenderTextWithCache(kTextDraw, 0, 0, text, color, work, &workArea, font,
                                             edgeColor, -1, nullptr);
    if (locked) {
        UnlockSurface(data->surface, workArea);
        int r = 0, g = 0, b = 0;
        SplitScreenColor(trans, &r, &g, &b);
        data->colorKey = (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
        SetImageColorKey(tile->imageData);
    }
    work->runData = 0;
    work->premultipliedAlpha = 0;
    SetDrawBrightnessPacked(0xFFFFFF);
    Rect area{x, y, Clamp32(int64_t(x) + workArea.right), Clamp32(int64_t(y) + workArea.bottom)};
    ClipRectToRect(&area, &keptArea);
    DrawState.DrawArea = area;
    if (rendered >= 0 && area.left < area.right && area.top < area.bottom)
        BltGraph2D(x, y, record->scratchSurface, 1);
    SetDrawBrightnessPacked(keptBrightness);
    DrawState.DrawArea = keptArea;
    return rendered < 0 ? -1 : 0;
}

int BltGraphTransformed2D(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t offsetX,
                          int32_t offsetY, double scale, double angle, const GraphRecord* graph,
                          int32_t transparent) {
    FlushCurrentVertexBatch();
    const Surface2DRecord* tile = FirstSurfaceOf(graph);
    if (tile == nullptr) return -1;
    if (!std::isfinite(scale) || !std::isfinite(angle)) return 0;
    if (scale <= 0) scale = 0.0001;
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    const int32_t w = graph->width, h = graph->height;
    if (w <= 0 || h <= 0) return 0;
    const double ca = std::cos(angle), sa = std::sin(angle);
    const double colX = w * ca * scale, colY = w * sa * scale;
    const double rowX = -h * sa * scale, rowY = h * ca * scale;
    const double diagonal = std::hypot(double(right) - left, double(bottom) - top);
    double nd = std::trunc(diagonal / (std::min(w, h) * scale) + 2);
    nd = std::min(nd, 1e9);
    int64_t n = static_cast<int64_t>(nd);
    if (n % 2 == 0) ++n;

    const Rect kept = DrawState.DrawArea;
    ApplyDrawClipRect(left, top, right, bottom);
    const double cx = (double(left) + right) / 2, cy = (double(top) + bottom) / 2;
    const double ux = -double(int64_t(w) * n / 2) - offsetX % w;
    const double uy = -double(int64_t(h) * n / 2) - offsetY % h;
    const double startX = cx + ux / w * colX + uy / h * rowX;
    const double startY = cy + ux / w * colY + uy / h * rowY;

    // Only the tiles that can meet the rectangle are drawn, and never more than the cap: at tiny
    // scales the whole pattern would be billions of tiles.
    const double reach = std::fabs(colX) + std::fabs(rowX) + std::fabs(colY) + std::fabs(rowY) + 2;
    const double minX = left - reach, maxX = right + reach;
    const double minY = top - reach, maxY = bottom + reach;
    int64_t drawn = 0;
    const bool plain = angle == 0 && scale == 1;
    for (int64_t i = 0; i < n && drawn < kTransformedTileMax; ++i) {
        const double bx = startX + i * rowX, by = startY + i * rowY;
        double lo = 0, hi = double(n - 1);
        auto limit = [&](double base, double step, double min, double max) {
            if (step == 0) {
                if (base < min || base > max) hi = -1;
                return;
            }
            double a = (min - base) / step, z = (max - base) / step;
            if (a > z) std::swap(a, z);
            lo = std::max(lo, std::ceil(a));
            hi = std::min(hi, std::floor(z));
        };
        limit(bx, colX, minX, maxX);
        limit(by, colY, minY, maxY);
        for (int64_t j = int64_t(lo); j <= int64_t(hi) && drawn < kTransformedTileMax; ++j) {
            const double px = bx + j * colX, py = by + j * colY;
            ++drawn;
            if (plain) {
                BltGraph2D(int32_t(std::trunc(px)), int32_t(std::trunc(py)),
                           static_cast<int32_t>(graph->pieces[0]), transparent);
            } else if (angle == 0) {
                const float corners[4] = {float(px), float(py), float(px + w * scale),
                                          float(py + h * scale)};
                int32_t bits[4];
                std::memcpy(bits, corners, sizeof bits);
                DrawImageStretchedSoft(bits[0], bits[1], bits[2], bits[3], graph, transparent, 0,
                                       -1);
            } else {
                DrawImageQuadSoft(int32_t(px), int32_t(py), int32_t(px + colX), int32_t(py + colY),
                                  int32_t(px + rowX), int32_t(py + rowY), int32_t(px + colX + rowX),
                                  int32_t(py + colY + rowY), graph, transparent);
            }
        }
    }
    ApplyDrawClipRect(kept.left, kept.top, kept.right, kept.bottom);
    return 0;
}

int CopyDrawScreenToGraph2D(int32_t left, int32_t top, int32_t right, int32_t bottom,
                            const GraphRecord* graph) {
    ScreenStateRecord& s = S();
    if (DirectDrawMissing() || graph == nullptr) return -1;
    if (s.ready) EndSceneCurrent();
    const int32_t w = right - left, h = bottom - top;
    if (w < 1 || h < 1 || w != graph->width || h != graph->height || left < 0 || top < 0 ||
        right > DrawState.targetWidth || bottom > DrawState.targetHeight)
        return -1;
    const Surface2DRecord* tile = FirstSurfaceOf(graph);
    if (tile == nullptr) return -1;
    ImageDataRecord* data = GetImageDataRecord(tile->imageData);
    if (data == nullptr) return -1;
    const Rect rect{left, top, right, bottom};
    const Rect into{tile->sourceX, tile->sourceY, tile->sourceX + w, tile->sourceY + h};
    if (s.memImgScreens) {
        if (DrawState.drawTarget == kFrontScreen) ReadScreenPixels();
        MEMIMG* from = ScreenTargetMemImg();
        if (from == nullptr || data->memImg.pixels == nullptr) return -1;
        TransferSurface2DImage(&data->memImg, from, &rect, into.left, into.top);
        data->memImg.runData = 0;
        return 0;
    }
    int32_t ox = 0, oy = 0;
    if (DrawState.drawTarget == kFrontScreen && s.windowMode) ScreenClientOrigin(&ox, &oy);
    EndPending3DIfReady();
    const Rect screenRect = Moved(rect, ox, oy);
    const ColorFormat* screen = &s.screenFormat;
    const Rect lockedWhole{0, 0, w, h};
    if (s.targetSurface != nullptr && !data->usesMemImg && data->surface != nullptr) {
        const plat::RECT d{into.left, into.top, into.right, into.bottom};
        const plat::RECT r{screenRect.left, screenRect.top, screenRect.right, screenRect.bottom};
        if (plat::DDFailed(data->surface->Blt(&d, s.targetSurface, &r, plat::DDBLT_WAIT, nullptr)))
            return -1;
        if (screen->unusedMask != 0) {
            uint8_t* pixels = nullptr;
            int32_t pitch = 0;
            if (!LockSurface(data->surface, into, &pixels, &pitch)) return -1;
            FillUnusedPixelBits(&lockedWhole, pixels, pitch, screen, 0xFF);
            UnlockSurface(data->surface, into);
        }
        return 0;
    }
    if (s.targetImage != nullptr && data->usesMemImg) {
        TransferSurface2DImage(&data->memImg, s.targetImage, &rect, into.left, into.top);
        data->memImg.runData = 0;
        return 0;
    }
    if (s.targetSurface == nullptr && s.targetImage != nullptr && data->surface != nullptr) {
        uint8_t* pixels = nullptr;
        int32_t pitch = 0;
        if (!LockSurface(data->surface, into, &pixels, &pitch)) return -1;
        ConvertRectPixels(pixels, pitch, screen, s.targetImage->pixels, s.targetImage->pitch,
                          s.targetImage->format, nullptr, 0, nullptr, 0, 0, &rect, 0, 0,
                          0xFFFFFFFFu, 0, 0, 0, 0);
        FillUnusedPixelBits(&lockedWhole, pixels, pitch, screen, 0xFF);
        UnlockSurface(data->surface, into);
        return 0;
    }
    if (s.targetSurface == nullptr || s.work1 == nullptr || data->memImg.pixels == nullptr)
        return -1;
    if (BltSurfaceByGdi(s.work1, s.targetSurface, 0, 0, &screenRect,
                        static_cast<int>(s.presentMethod)) != 0)
        return -1;
    uint8_t* pixels = nullptr;
    int32_t pitch = 0;
    if (!LockSurface(s.work1, lockedWhole, &pixels, &pitch)) return -1;
    MEMIMG& m = data->memImg;
    ConvertRectPixels(m.pixels, m.pitch, m.format, pixels, pitch, screen, nullptr, 0, nullptr,
                      into.left, into.top, &lockedWhole, 0, 0, 0xFFFFFFFFu, 0, 0, 0, 0);
    FillUnusedPixelBits(&into, m.pixels, m.pitch, m.format, 0xFF);
    m.runData = 0;
    UnlockSurface(s.work1, lockedWhole);
    return 0;
}

}  // namespace tessra
