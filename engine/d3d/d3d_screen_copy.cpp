// Copies of the draw screen into texture graphs. Five ways of moving the pixels exist because
// drivers differ in which of them work; they are tried in a fixed order and the one that worked
// is remembered per kind of texture (plain, or with alpha or alpha test), so later copies try it
// first.
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/d3d/d3d_internal.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/image_data.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"
#include "engine/screen/surface2d.h"
#include "platform/ddraw/ddraw.h"
#include "platform/ddraw/pixel_format.h"
#include "platform/gdi/gdi.h"
#include "platform/win/time.h"
#include "platform/win/window.h"

namespace tessra {

using namespace sjis_literals;

namespace {

constexpr plat::DWORD kLockFlags = plat::DDLOCK_WAIT | plat::DDLOCK_WRITEONLY;
constexpr int kLoadTries = 10;

// Where the copy reads from: the target's size, its origin on the source surface and the surface.
struct CopySource {
    int32_t width, height;
    int32_t ox, oy;
    bool desktop;
    plat::DirectDrawSurface* surface;
};

// One piece of the graph as copied: its texture and the w x h area it takes from the source.
struct PieceCopy {
    const Surface3DData* piece;
    ImageDataRecord* image;
    int32_t w, h;
    int32_t sx, sy;  // the area's top-left on the source surface
};

CopySource SourceOf(int32_t clientFlag) {
    CopySource s{};
    s.desktop = clientFlag == 0 && GetWindowModeFlag() == 1 && DrawState.drawTarget == kFrontScreen;
    if (s.desktop) {
        s.width = plat::GetSystemMetrics(plat::SM_CXSCREEN);
        s.height = plat::GetSystemMetrics(plat::SM_CYSCREEN);
    } else {
        QueryGraphExtent(DrawState.drawTarget, &s.width, &s.height);
        s.ox = DrawState.clientRect.left;
        s.oy = DrawState.clientRect.top;
    }
    s.surface = GetCurrentTargetSurface();
    return s;
}

bool ValidRequest(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const GraphRecord* graph,
                  const CopySource& s) {
    return graph != nullptr && x1 >= 0 && x1 < x2 && y1 >= 0 && y1 < y2 && x1 <= s.width &&
           y1 <= s.height && graph->width >= x2 - x1 && graph->height >= y2 - y1;
}

// The piece's copy, cut to the target; false when the piece takes nothing from it.
bool PieceArea(const Surface3DData& p, int32_t x1, int32_t y1, const CopySource& s,
               PieceCopy* out) {
    if (s.width < p.graphX + x1 || s.height < p.graphY + y1) return false;
    int32_t w = p.width, h = p.height;
    if (p.graphX + p.width + x1 > s.width) w = s.width - p.graphX - x1;
    if (p.graphY + p.height + y1 > s.height) h = s.height - p.graphY - y1;
    if (w <= 0 || h <= 0) return false;
    out->w = w;
    out->h = h;
    out->sx = p.graphX + s.ox + x1;
    out->sy = p.graphY + s.oy + y1;
    return true;
}

// The graph's pieces in order; an invalid piece handle stops the walk with false when `strict`,
// else is skipped.
template <typename Visit>
bool ForEachPiece(const GraphRecord* graph, int32_t x1, int32_t y1, const CopySource& s,
                  bool strict, Visit visit) {
    for (int32_t i = 0; i < graph->pieceCount; ++i) {
        const Surface3DData* p =
            Surface3DEntries().Find(static_cast<int32_t>(graph->pieces[i]), kTextureHandleKind);
        ImageDataRecord* image = p != nullptr ? GetImageDataRecord(p->image) : nullptr;
        if (image == nullptr || image->surface == nullptr) {
            if (strict) return false;
            continue;
        }
        PieceCopy c{p, image, 0, 0, 0, 0};
        if (!PieceArea(*p, x1, y1, s, &c)) continue;
        if (!visit(c)) return false;
    }
    return true;
}

const ColorFormat* TextureColor(const ImageDataRecord& image) {
    return GetTextureColorDataByIndex(image.pixelFormatCode);
}

// A method's result: on success the images it wrote take their colour key again.
int Finish(bool ok, const std::vector<int32_t>& written) {
    if (!ok) return -1;
    for (int32_t image : written) SetImageColorKey(image);
    return 0;
}

// Copied screen pixels are opaque; on an alpha-test texture the colour key turns transparent, as
// it does for pictures loaded into one.
int KeyToAlpha(const ImageDataRecord& image, const ColorFormat* format) {
    return format->alphaWidth != 0 && image.format.alphaTest != 0 ? 1 : 0;
}
uint32_t KeyOf(const ImageDataRecord& image, const ColorFormat* format) {
    return KeyToAlpha(image, format) ? image.colorKey : 0xFFFFFFFFu;
}

// --- Method 1: BltFast into each texture ----------------------------------------------------
int CopyByBltFast(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const GraphRecord* graph,
                  int32_t clientFlag) {
    const CopySource s = SourceOf(clientFlag);
    if (!ValidRequest(x1, y1, x2, y2, graph, s) || s.surface == nullptr) return -1;
    std::vector<int32_t> written;
    const bool ok = ForEachPiece(graph, x1, y1, s, true, [&](const PieceCopy& c) {
        const plat::RECT from{c.sx, c.sy, c.sx + c.w, c.sy + c.h};
        const plat::HRESULT hr =
            c.image->surface->BltFast(c.piece->texX, c.piece->texY, s.surface, &from, 0);
        if (plat::DDFailed(hr)) {
            AppendLogFormat("Error G_D3D_GetDrawScreenGraphFunction1  BltFast ReturnValue:%d",
                            static_cast<int>(hr));
            return false;
        }
        written.push_back(c.piece->image);
        return true;
    });
    return Finish(ok, written);
}

// --- Method 2: GDI straight into each texture -----------------------------------------------
int CopyByGdi(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const GraphRecord* graph,
              int32_t clientFlag) {
    const CopySource s = SourceOf(clientFlag);
    if (!ValidRequest(x1, y1, x2, y2, graph, s) || s.surface == nullptr) return -1;
    plat::HDC sourceDc = nullptr;
    plat::HRESULT hr = s.surface->GetDC(&sourceDc);
    if (plat::DDFailed(hr)) {
        AppendLogFormat(
            "Error  G_D3D_GetDrawScreenGraphFunction2  ＤＣ取得に失敗しました  GetDC ReturnValue:%d"_sjis,
            static_cast<int>(hr));
        return -1;
    }
    std::vector<int32_t> written;
    const bool ok = ForEachPiece(graph, x1, y1, s, true, [&](const PieceCopy& c) {
        plat::HDC textureDc = nullptr;
        plat::HRESULT r = c.image->surface->GetDC(&textureDc);
        if (plat::DDFailed(r)) {
            AppendLogFormat(
                "Error  G_D3D_GetDrawScreenGraphFunction2 　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC ReturnValue:%d"_sjis,
                static_cast<int>(r));
            return false;
        }
        if (!plat::BitBlt(textureDc, c.piece->texX, c.piece->texY, c.w, c.h, sourceDc, c.sx, c.sy,
                          plat::SRCCOPY)) {
            AppendLogFormat(
                "Error  G_D3D_GetDrawScreenGraphFunction2 　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  ErrorCode:%x"_sjis,
                static_cast<unsigned>(plat::GetLastError()));
            c.image->surface->ReleaseDC(textureDc);
            return false;
        }
        r = c.image->surface->ReleaseDC(textureDc);
        if (plat::DDFailed(r)) {
            AppendLogFormat(
                "Error  G_D3D_GetDrawScreenGraphFunction2 　作業用テクスチャサーフェスのＤＣ解放に失敗しました  ReleaseDC ReturnValue:%d"_sjis,
                static_cast<int>(r));
            return false;
        }
        written.push_back(c.piece->image);
        return true;
    });
    s.surface->ReleaseDC(sourceDc);
    return Finish(ok, written);
}

// --- Methods 3 and 4: GDI into a system-memory work texture per piece ------------------------
struct WorkTextureTexts {
    const char* sourceDc;
    const char* create;
    const char* workDc;
    const char* bitBlt;
    const char* releaseDc;
    const char* lockTexture;  // method 3 only
    const char* lockWork;
};

const WorkTextureTexts& TextsOf(int method) {
    static const WorkTextureTexts three = {
        "Error  G_D3D_GetDrawScreenGraphFunction3 　ＤＣ取得に失敗しました  GetDC  ReturnValue:%d"_sjis,
        "Error  G_D3D_GetDrawScreenGraphFunction3 　作業用テクスチャサーフェスの作成に失敗しました  CreateSurface  ReturnValue:%d"_sjis,
        "Error  G_D3D_GetDrawScreenGraphFunction3 　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC  ReturnValue:%d"_sjis,
        "Error  G_D3D_GetDrawScreenGraphFunction3 　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  ErrorCode:%x"_sjis,
        "Error  G_D3D_GetDrawScreenGraphFunction3 　作業用テクスチャサーフェスのＤＣ解放に失敗しました  ReleaseDC  ReturnValue:%d"_sjis,
        "Error  G_D3D_GetDrawScreenGraphFunction3 　転送先テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d"_sjis,
        "Error  G_D3D_GetDrawScreenGraphFunction3 　作業用テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d"_sjis,
    };
    static const WorkTextureTexts four = {
        "Error  G_D3D_GetDrawScreenGraphFunction4 　ＤＣ取得に失敗しました  GetDC  ReturnValue:%d"_sjis,
        "Error  G_D3D_GetDrawScreenGraphFunction4 　作業用テクスチャサーフェスの作成に失敗しました  CreateSurface  ReturnValue:%d"_sjis,
        "Error  G_D3D_GetDrawScreenGraphFunction4 　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC  ReturnValue:%d"_sjis,
        "Error  G_D3D_GetDrawScreenGraphFunction4 　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  ErrorCode:%x"_sjis,
        "Error  G_D3D_GetDrawScreenGraphFunction4 　作業用テクスチャサーフェスのＤＣ解放に失敗しました  ReleaseDC  ReturnValue:%d"_sjis,
        nullptr,
        nullptr,
    };
    return method == 3 ? three : four;
}

// The three lines a failed device load leaves.
void LogLoadFailure(plat::HRESULT hr, const PieceCopy& c, const plat::RECT& rect,
                    const plat::POINT& point, const CopySource& s, int32_t x1, int32_t y1) {
    int width = 640, height = 480;
    ReadScreenSize(&width, &height);
    AppendLogFormat(
        "hr:%d  W:%d  H:%d  FullMode:%d  Point x:%d y:%d   Rect top:%d bottom:%d left:%d right:%d",
        static_cast<int>(hr), width, height, GetWindowModeFlag() == 1 ? 0 : 1,
        static_cast<int>(point.x), static_cast<int>(point.y), static_cast<int>(rect.top),
        static_cast<int>(rect.bottom), static_cast<int>(rect.left), static_cast<int>(rect.right));
    AppendLogFormat("AlphaCh:%d  AlphaTest:%d  ColorBitDepth:%d", c.image->format.alpha,
                    c.image->format.alphaTest, c.image->format.colorBits);
    AppendLogFormat(
        "ScreenColor:%d  SizeX:%d  SizeY:%d  DrawPointX:%d  DrawPointY:%d  WndRect.left:%d  "
        "WndRect.top:%d  left:%d  top:%d",
        GetScreenBitDepth(), c.w, c.h, c.piece->graphX, c.piece->graphY, s.ox, s.oy, x1, y1);
}

// Only the piece's own texels go from the work texture to the texture: the rest of the work
// texture was never written, and other pieces may share the texture.
int CopyThroughWorkTexture(int method, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                           const GraphRecord* graph, int32_t clientFlag) {
    const WorkTextureTexts& text = TextsOf(method);
    const CopySource s = SourceOf(clientFlag);
    if (!ValidRequest(x1, y1, x2, y2, graph, s) || s.surface == nullptr) return -1;
    auto* dd = static_cast<plat::DirectDraw*>(GetDirectDrawObject());
    plat::HDC sourceDc = nullptr;
    plat::HRESULT hr = s.surface->GetDC(&sourceDc);
    if (plat::DDFailed(hr)) {
        AppendLogFormat(text.sourceDc, static_cast<int>(hr));
        return -1;
    }
    std::vector<int32_t> written;
    const bool ok = ForEachPiece(graph, x1, y1, s, false, [&](const PieceCopy& c) {
        plat::DirectDrawSurface* texture = c.image->surface;
        plat::DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = plat::DDSD_CAPS | plat::DDSD_HEIGHT | plat::DDSD_WIDTH | plat::DDSD_PIXELFORMAT;
        d.ddsCaps.dwCaps = plat::DDSCAPS_TEXTURE | plat::DDSCAPS_SYSTEMMEMORY;
        d.dwWidth = c.image->width;
        d.dwHeight = c.image->height;
        d.ddpfPixelFormat = *GetTextureFormatByIndex(c.image->pixelFormatCode);
        plat::DirectDrawSurface* work = nullptr;
        plat::HRESULT r =
            dd != nullptr ? dd->CreateSurface(&d, &work, nullptr) : plat::DDERR_GENERIC;
        if (plat::DDFailed(r) || work == nullptr) {
            AppendLogFormat(text.create, static_cast<int>(r));
            return false;
        }
        auto fail = [&] {
            work->Release();
            return false;
        };
        plat::HDC workDc = nullptr;
        r = work->GetDC(&workDc);
        if (plat::DDFailed(r)) {
            AppendLogFormat(text.workDc, static_cast<int>(r));
            return fail();
        }
        if (!plat::BitBlt(workDc, c.piece->texX, c.piece->texY, c.w, c.h, sourceDc, c.sx, c.sy,
                          plat::SRCCOPY)) {
            AppendLogFormat(text.bitBlt, static_cast<unsigned>(plat::GetLastError()));
            work->ReleaseDC(workDc);
            return fail();
        }
        r = work->ReleaseDC(workDc);
        if (plat::DDFailed(r)) {
            AppendLogFormat(text.releaseDc, static_cast<int>(r));
            return fail();
        }
        const plat::RECT area{c.piece->texX, c.piece->texY, c.piece->texX + c.w,
                              c.piece->texY + c.h};
        if (method == 3) {
            plat::DDSURFACEDESC2 to{}, from{};
            to.dwSize = from.dwSize = sizeof to;
            r = texture->Lock(nullptr, &to, kLockFlags, nullptr);
            if (plat::DDFailed(r)) {
                AppendLogFormat(text.lockTexture, static_cast<int>(r));
                return fail();
            }
            r = work->Lock(nullptr, &from, kLockFlags, nullptr);
            if (plat::DDFailed(r)) {
                AppendLogFormat(text.lockWork, static_cast<int>(r));
                texture->Unlock(nullptr);
                return fail();
            }
            const ColorFormat* format = TextureColor(*c.image);
            const Rect rect{area.left, area.top, area.right, area.bottom};
            ConvertRectPixels(to.lpSurface, to.lPitch, format, from.lpSurface, from.lPitch, format,
                              nullptr, 0, nullptr, rect.left, rect.top, &rect, 0,
                              KeyToAlpha(*c.image, format), KeyOf(*c.image, format), 0, 0, 0, 0);
            work->Unlock(nullptr);
            texture->Unlock(nullptr);
        } else {
            plat::Direct3DDevice* device = GetDirect3DDevice();
            const plat::POINT at{area.left, area.top};
            r = plat::DDERR_GENERIC;
            for (int tries = 0; tries < kLoadTries && device != nullptr; ++tries) {
                r = device->Load(texture, &at, work, &area, 0);
                if (r != plat::DDERR_SURFACEBUSY) break;
                if (tries + 1 == kLoadTries) break;
                texture->Restore();
                plat::Sleep(1);
            }
            if (plat::DDFailed(r)) {
                LogLoadFailure(r, c, area, at, s, x1, y1);
                return fail();
            }
        }
        work->Release();
        written.push_back(c.piece->image);
        return true;
    });
    s.surface->ReleaseDC(sourceDc);
    return Finish(ok, written);
}

int CopyByWorkTextureConvert(int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                             const GraphRecord* graph, int32_t clientFlag) {
    return CopyThroughWorkTexture(3, x1, y1, x2, y2, graph, clientFlag);
}

int CopyByWorkTextureLoad(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const GraphRecord* graph,
                          int32_t clientFlag) {
    return CopyThroughWorkTexture(4, x1, y1, x2, y2, graph, clientFlag);
}

// --- Method 5: through the screens' work surface ---------------------------------------------
// The first copy takes the union of the pieces' areas, so that every texel converted afterwards
// comes from this copy and lies inside the work surface's lock.
int CopyByWorkSurface(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const GraphRecord* graph,
                      int32_t clientFlag) {
    const CopySource s = SourceOf(clientFlag);
    if (s.desktop) return -1;
    if (!ValidRequest(x1, y1, x2, y2, graph, s) || s.surface == nullptr) return -1;
    plat::DirectDrawSurface* work = GetWorkSurface();
    if (work == nullptr) return -1;
    int32_t right = 0, bottom = 0;
    ForEachPiece(graph, x1, y1, s, false, [&](const PieceCopy& c) {
        right = std::max(right, c.piece->graphX + c.w);
        bottom = std::max(bottom, c.piece->graphY + c.h);
        return true;
    });
    if (right == 0 || bottom == 0) return 0;
    if (right > work->Width() || bottom > work->Height()) return -1;
    const Rect from{s.ox + x1, s.oy + y1, s.ox + x1 + right, s.oy + y1 + bottom};
    BltSurfaceByGdi(work, s.surface, 0, 0, &from, -1);
    const plat::RECT lockArea{0, 0, right, bottom};
    plat::DDSURFACEDESC2 source{};
    source.dwSize = sizeof source;
    plat::HRESULT hr = work->Lock(&lockArea, &source, kLockFlags, nullptr);
    if (plat::DDFailed(hr)) {
        AppendLogFormat(
            "Error  G_D3D_GetDrawScreenGraphFunction5 　作業用テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d"_sjis,
            static_cast<int>(hr));
        return -1;
    }
    const ColorFormat* screenFormat = GetScreenColorFormat();
    std::vector<int32_t> written;
    const bool ok = ForEachPiece(graph, x1, y1, s, false, [&](const PieceCopy& c) {
        const plat::RECT area{c.piece->texX, c.piece->texY, c.piece->texX + c.piece->width,
                              c.piece->texY + c.piece->height};
        plat::DDSURFACEDESC2 to{};
        to.dwSize = sizeof to;
        const plat::HRESULT r = c.image->surface->Lock(&area, &to, kLockFlags, nullptr);
        if (plat::DDFailed(r)) {
            AppendLogFormat(
                "Error  G_D3D_GetDrawScreenGraphFunction5 　転送先テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d"_sjis,
                static_cast<int>(r));
            return false;
        }
        const ColorFormat* format = TextureColor(*c.image);
        const Rect rect{c.piece->graphX, c.piece->graphY, c.piece->graphX + c.w,
                        c.piece->graphY + c.h};
        ConvertRectPixels(to.lpSurface, to.lPitch, format, source.lpSurface, source.lPitch,
                          screenFormat, nullptr, 0, nullptr, 0, 0, &rect, 0,
                          KeyToAlpha(*c.image, format), KeyOf(*c.image, format), 0, 0, 0, 0);
        c.image->surface->Unlock(&area);
        written.push_back(c.piece->image);
        return true;
    });
    work->Unlock(&lockArea);
    return Finish(ok, written);
}

using CopyMethod = int (*)(int32_t, int32_t, int32_t, int32_t, const GraphRecord*, int32_t);

// The methods in the order they are tried.
const CopyMethod GetDrawScreenGraphFunctionTable[] = {
    CopyByWorkSurface, CopyByBltFast,         CopyByWorkTextureConvert,
    CopyByGdi,         CopyByWorkTextureLoad, nullptr,
};

}  // namespace

int G_D3D_GetDrawScreenGraph(int x1, int y1, int x2, int y2, const GraphRecord* graph,
                             int clientFlag) {
    Direct3DGlobals& g = D3D();
    if (g.object == nullptr || graph == nullptr) return -1;
    // A refused draw target copies nothing; saying so keeps the caller from using the graph as
    // if it held the screen.
    if (g.targetRefused) return -1;
    FlushVertexBatch(g.currentDevice);
    EndScene3D(g.currentDevice);
    const Surface3DData* first =
        graph->pieceCount > 0
            ? Surface3DEntries().Find(static_cast<int32_t>(graph->pieces[0]), kTextureHandleKind)
            : nullptr;
    const ImageDataRecord* image = first != nullptr ? GetImageDataRecord(first->image) : nullptr;
    if (image == nullptr) return -1;
    const bool alphaKind = image->format.alpha != 0 || image->format.alphaTest != 0;
    int32_t& remembered = alphaKind ? g.screenCopyMethodAlpha : g.screenCopyMethodPlain;
    if (remembered != -1) {
        const int r =
            GetDrawScreenGraphFunctionTable[remembered](x1, y1, x2, y2, graph, clientFlag);
        if (r >= 0) return r;
    }
    int result = -1;
    for (remembered = 0; GetDrawScreenGraphFunctionTable[remembered] != nullptr; ++remembered) {
        result = GetDrawScreenGraphFunctionTable[remembered](x1, y1, x2, y2, graph, clientFlag);
        if (result == 0) return 0;
    }
    remembered = -1;
    return result;
}

void FillUnusedPixelBits(const Rect* rect, uint8_t* pixels, int32_t pitch,
                         const ColorFormat* format, uint32_t value) {
    if (rect == nullptr || pixels == nullptr || format == nullptr || format->unusedMask == 0)
        return;
    const uint32_t bits =
        value == 0xFF ? format->unusedMask : (value << format->unusedShift) & format->unusedMask;
    const int bytes = format->bytesPerPixel;
    for (int32_t y = rect->top; y < rect->bottom; ++y) {
        uint8_t* row = pixels + static_cast<int64_t>(y) * pitch;
        for (int32_t x = rect->left; x < rect->right; ++x) {
            uint8_t* p = row + static_cast<int64_t>(x) * bytes;
            plat::WritePixelBytes(p, bytes, plat::ReadPixelBytes(p, bytes) | bits);
        }
    }
}

}  // namespace tessra
