// Texture entries and the textures of graphs: a graph on the 3-D path is a list of at most 64
// power-of-two texture pieces; this unit cuts graphs into pieces, makes, derives, fills,
// reloads, restores and deletes them, and copies pictures into their textures.
#include <algorithm>
#include <cstring>

#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/d3d/d3d_internal.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_image.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/image_data.h"
#include "engine/screen/screen.h"

namespace tessra {
using namespace sjis_literals;
namespace {

Surface3DTable g_entries;

bool Ready() {
    return D3D().object != nullptr;
}

Surface3DData* Entry(int32_t handle) {
    return g_entries.Find(handle, kTextureHandleKind);
}

void FillVertices(Surface3DData* e, int32_t tw, int32_t th) {
    const float ru = 1.0f / static_cast<float>(tw);
    const float rv = 1.0f / static_cast<float>(th);
    const float x0 = e->graphX, y0 = e->graphY;
    const float x1 = static_cast<float>(e->graphX + e->width);
    const float y1 = static_cast<float>(e->graphY + e->height);
    const float u0 = static_cast<float>(e->texX) * ru;
    const float v0 = static_cast<float>(e->texY) * rv;
    const float u1 = static_cast<float>(e->texX + e->width) * ru;
    const float v1 = static_cast<float>(e->texY + e->height) * rv;
    const float xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
    const float us[4] = {u0, u1, u0, u1}, vs[4] = {v0, v0, v1, v1};
    for (int k = 0; k < 4; ++k) {
        e->vertex[k] = Vertex3DTex{xs[k], ys[k], 0.0f, 1.0f, 0xFFFFFFFFu, us[k], vs[k]};
    }
}

// 1 for each corner on or above the graph's anti-diagonal.
void SetAboveDiagonal(Surface3DData* e, int32_t graphW, int32_t graphH) {
    const double slope = static_cast<double>(graphH) / static_cast<double>(graphW);
    for (int k = 0; k < 4; ++k) {
        e->aboveDiagonal[k] =
            graphH - e->vertex[k].x * slope >= static_cast<double>(e->vertex[k].y) ? 1 : 0;
    }
}

const ImageDataFormat* FormatOf(const GraphRecord* graph) {
    static_assert(sizeof(GraphFormatBytes) == sizeof(ImageDataFormat));
    return reinterpret_cast<const ImageDataFormat*>(&graph->format);
}

struct Piece {
    int32_t x, y, w, h;
};

// More pieces than any graph may hold: the division stops counting here.
constexpr int32_t kDivisionCap = 256;

}  // namespace

Surface3DTable& Surface3DEntries() {
    return g_entries;
}

int32_t AddSurface3DData(int32_t texWidth, int32_t texHeight, int32_t x, int32_t y, int32_t width,
                         int32_t height, int32_t srcX, int32_t srcY, int32_t ownerGraph,
                         const Surface3DData* parent, int32_t texX, int32_t texY,
                         const ImageDataFormat* format) {
    if (!Ready()) return AppendLog("３Ｄグラフィックエンジンが初期化されていません\n"_sjis);
    if (g_entries.liveCount >= kSurface3DSlots)
        return AppendLog("３Ｄグラフィックの数が許容量を越えました。\n"_sjis);
    const int32_t slot = g_entries.SlotForNew();
    if (slot < 0) return AppendLog("３Ｄグラフィックの数が許容量を越えました。\n"_sjis);
    auto* e = static_cast<Surface3DData*>(AllocTaggedZeroed(sizeof(Surface3DData), "", 0));
    if (e == nullptr) return AppendLog("メモリの確保に失敗しました in AddSurface3DData \n"_sjis);
    if (parent != nullptr) {
        AddImageDataRef(parent->image);
        e->image = parent->image;
    } else {
        e->image = AddImageData(1, static_cast<uint16_t>(texWidth),
                                static_cast<uint16_t>(texHeight), DrawState.transColor, format);
        if (e->image == -1) {
            FreeTagged(e);
            return -1;
        }
    }
    e->graphX = static_cast<uint16_t>(x);
    e->graphY = static_cast<uint16_t>(y);
    e->texX = static_cast<uint16_t>(texX);
    e->texY = static_cast<uint16_t>(texY);
    e->srcX = static_cast<uint16_t>(srcX);
    e->srcY = static_cast<uint16_t>(srcY);
    e->width = static_cast<uint16_t>(width);
    e->height = static_cast<uint16_t>(height);
    e->ownerGraph = ownerGraph;
    e->lostFlag = nullptr;
    e->check = g_entries.checkCounter;
    g_entries.checkCounter = NextHandleCheck(g_entries.checkCounter);
    if (parent != nullptr) {
        e->texX = static_cast<uint16_t>(e->texX + parent->texX);
        e->texY = static_cast<uint16_t>(e->texY + parent->texY);
        e->srcX = static_cast<uint16_t>(e->srcX + parent->srcX);
        e->srcY = static_cast<uint16_t>(e->srcY + parent->srcY);
    }
    const ImageDataRecord* image = GetImageDataRecord(e->image);
    FillVertices(e, image != nullptr ? image->width : 1, image != nullptr ? image->height : 1);
    g_entries.Occupy(slot, e);
    return MakeEngineHandle(kTextureHandleKind, e->check, slot);
}

int DeleteSurface3DData(int32_t handle) {
    Surface3DData* e = Entry(handle);
    if (e == nullptr) return -1;
    if (ReleaseImageDataRef(e->image) == 0) ReleaseImageData(e->image);
    g_entries.Vacate(HandleSlot(handle));
    if (e->lostFlag != nullptr) *e->lostFlag = 1;
    FreeTagged(e);
    return 0;
}

int ApplyToSurface3DImage(int32_t handle, const Rect* rect) {
    const Surface3DData* e = Entry(handle);
    return e == nullptr ? -1 : UnlockImageSurface(e->image, rect);
}

int CalcTextureDivision(int32_t length, int32_t* sizes, int32_t request) {
    const Direct3DGlobals& g = D3D();
    const int32_t minSize = static_cast<int32_t>(g.minTextureSize);
    const int32_t maxSize = static_cast<int32_t>(g.maxTextureSize);
    const int32_t floor = std::max(minSize, 32);
    int32_t screenW = 640;
    ReadScreenSize(&screenW, nullptr);
    if (length <= floor) {
        int32_t size = floor;
        if (minSize < floor) {
            while (size / 2 >= length && size > minSize) size /= 2;
        }
        sizes[0] = size;
        return 1;
    }
    const bool single = SingleTextureMode() == 1 || request == 1;
    int32_t largest;
    if (single || screenW > maxSize) {
        largest = maxSize;
    } else {
        largest = 8;
        while (largest < screenW) largest *= 2;
    }
    int32_t s = largest;
    while (s > length && s > floor) s /= 2;
    if ((single || length < screenW) && 2 * s <= largest) {
        sizes[0] = s >= length ? s : 2 * s;
        return 1;
    }
    int32_t count = 0;
    int32_t left = length;
    while (true) {
        if (count == kDivisionCap) return kDivisionCap + 1;
        sizes[count++] = s;
        left -= s;
        if (left <= 0) break;
        if (left > (3 * s) / 4 && s < largest) {
            sizes[count - 1] = 2 * s;
            break;
        }
        while (left < s && s > floor) s /= 2;
    }
    if (count >= 2 && sizes[count - 1] == sizes[count - 2] && 2 * sizes[count - 1] <= largest) {
        sizes[count - 2] *= 2;
        --count;
    }
    return count;
}

int CreateGraphTextures(GraphRecord* graph) {
    if (!Ready()) return -1;
    const int32_t request =
        static_cast<int32_t>(graph->format.drawValid | static_cast<uint32_t>(graph->loadOption));
    int32_t columns[kDivisionCap + 1], rows[kDivisionCap + 1];
    const int32_t nc = CalcTextureDivision(graph->width, columns, request);
    const int32_t nr = CalcTextureDivision(graph->height, rows, request);
    const auto refuse = [] {
        return AppendLogFormat("エラー：画像の分割数が最大数の %d を超えました"_sjis,
                               kGraphPieceMax);
    };
    if (nc > kDivisionCap || nr > kDivisionCap || nc * nr > kGraphPieceMax) return refuse();
    Piece pieces[kGraphPieceMax];
    int32_t count = 0;
    for (int32_t r = 0, y = 0; r < nr; y += rows[r++]) {
        for (int32_t c = 0, x = 0; c < nc; x += columns[c++]) {
            pieces[count++] = Piece{x, y, columns[c], rows[r]};
        }
    }
    const bool squareOnly =
        (D3D().deviceDesc.dpcTriCaps.dwTextureCaps & plat::D3DPTEXTURECAPS_SQUAREONLY) != 0;
    if (squareOnly) {
        // Count first: the split can add pieces past what the graph's list holds.
        int32_t total = count;
        for (int32_t i = 0; i < count; ++i) {
            const int32_t s = std::min(pieces[i].w, pieces[i].h);
            total += std::max(pieces[i].w, pieces[i].h) / s - 1;
        }
        if (total > kGraphPieceMax) return refuse();
        const int32_t original = count;
        for (int32_t i = 0; i < original; ++i) {
            Piece& p = pieces[i];
            if (p.w == p.h) continue;
            const bool taller = p.h > p.w;
            const int32_t s = std::min(p.w, p.h);
            const int32_t l = std::max(p.w, p.h);
            p.w = p.h = s;
            for (int32_t k = 1; k < l / s; ++k) {
                pieces[count++] =
                    taller ? Piece{p.x, p.y + k * s, s, s} : Piece{p.x + k * s, p.y, s, s};
            }
        }
    }
    const int32_t w = graph->width, h = graph->height;
    for (int32_t i = 0; i < count; ++i) {
        const Piece& p = pieces[i];
        const int32_t usedW = std::min(p.w, w - p.x);
        const int32_t usedH = std::min(p.h, h - p.y);
        const int32_t handle = AddSurface3DData(p.w, p.h, p.x, p.y, usedW, usedH, p.x, p.y,
                                                graph->handle, nullptr, 0, 0, FormatOf(graph));
        if (handle == -1) {
            // Nothing of a graph that could not be made stays behind.
            for (int32_t k = 0; k < i; ++k) {
                DeleteSurface3DData(static_cast<int32_t>(graph->pieces[k]));
                graph->pieces[k] = 0;
            }
            return -1;
        }
        graph->pieces[i] = static_cast<uint32_t>(handle);
        SetAboveDiagonal(Entry(handle), w, h);
    }
    graph->pieceCount = count;
    return 0;
}

int CreateDerivedGraphTextures(GraphRecord* graph, int x, int y, int width, int height,
                               GraphRecord* parent) {
    if (!Ready()) return -1;
    graph->pieceCount = 0;
    if (parent->pieceCount == 1) {
        Surface3DData* p = Entry(static_cast<int32_t>(parent->pieces[0]));
        if (p == nullptr) return -1;
        const int32_t handle =
            AddSurface3DData(0, 0, 0, 0, width, height, x, y, graph->handle, p, x, y, nullptr);
        if (handle == -1) return -1;
        graph->pieces[0] = static_cast<uint32_t>(handle);
        graph->pieceCount = 1;
        SetAboveDiagonal(Entry(handle), graph->width, graph->height);
        return 0;
    }
    bool failed = false;
    for (int32_t i = 0; i < parent->pieceCount; ++i) {
        Surface3DData* p = Entry(static_cast<int32_t>(parent->pieces[i]));
        if (p == nullptr) {
            failed = true;
            break;
        }
        const int32_t left = std::max<int32_t>(p->graphX, x);
        const int32_t top = std::max<int32_t>(p->graphY, y);
        const int32_t right = std::min<int32_t>(p->graphX + p->width, x + width);
        const int32_t bottom = std::min<int32_t>(p->graphY + p->height, y + height);
        if (left >= right || top >= bottom) continue;
        const int32_t ox = left - p->graphX, oy = top - p->graphY;
        const int32_t handle = AddSurface3DData(0, 0, left - x, top - y, right - left, bottom - top,
                                                ox, oy, graph->handle, p, ox, oy, nullptr);
        if (handle == -1) {
            failed = true;
            break;
        }
        graph->pieces[graph->pieceCount++] = static_cast<uint32_t>(handle);
        SetAboveDiagonal(Entry(handle), graph->width, graph->height);
    }
    if (failed) {
        for (int32_t k = 0; k < graph->pieceCount; ++k)
            DeleteSurface3DData(static_cast<int32_t>(graph->pieces[k]));
        graph->pieceCount = 0;
        return -1;
    }
    return 0;
}

int DeleteGraphTextures(GraphRecord* graph) {
    if (!Ready()) return -1;
    for (int32_t i = 0; i < graph->pieceCount; ++i)
        DeleteSurface3DData(static_cast<int32_t>(graph->pieces[i]));
    return 0;
}

int TransferImageToTexture(const Rect* sourceRect, int32_t x, int32_t y, int32_t entry,
                           const GraphImage* image, const GraphImage* alpha, uint32_t /*option*/) {
    if (!Ready()) return -1;
    FlushCurrentVertexBatch();
    const Surface3DData* e = Entry(entry);
    if (e == nullptr) return -1;
    ImageDataRecord* data = GetImageDataRecord(e->image);
    if (data == nullptr) return -1;
    const int32_t w = sourceRect->right - sourceRect->left;
    const int32_t h = sourceRect->bottom - sourceRect->top;
    const Rect dest{x, y, x + w, y + h};
    const ColorFormat* format = GetTextureColorDataByIndex(data->pixelFormatCode);
    int32_t pitch = 0;
    uint8_t* pixels = nullptr;
    int32_t destX = 0, destY = 0;
    plat::DirectDrawSurface* work = nullptr;
    if (LockImageSurface(e->image, &pitch, &pixels, 1, &dest, nullptr) == -1) {
        // A texture that cannot be locked takes the picture through a system-memory copy.
        auto* dd = static_cast<plat::DirectDraw*>(GetDirectDrawObject());
        plat::DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = plat::DDSD_CAPS | plat::DDSD_HEIGHT | plat::DDSD_WIDTH | plat::DDSD_PIXELFORMAT;
        d.ddsCaps.dwCaps = plat::DDSCAPS_TEXTURE | plat::DDSCAPS_SYSTEMMEMORY;
        d.dwWidth = data->width;
        d.dwHeight = data->height;
        d.ddpfPixelFormat = *GetTextureFormatByIndex(data->pixelFormatCode);
        if (dd == nullptr || plat::DDFailed(dd->CreateSurface(&d, &work, nullptr))) {
            return AppendLog("テンポラリテクスチャサーフェスの作成に失敗しました\n"_sjis);
        }
        plat::DDSURFACEDESC2 locked{};
        locked.dwSize = sizeof locked;
        if (plat::DDFailed(work->Lock(nullptr, &locked, plat::DDLOCK_WAIT | plat::DDLOCK_WRITEONLY,
                                      nullptr))) {
            work->Release();
            return AppendLog("テンポラリテクスチャサーフェスの作成に失敗しました\n"_sjis);
        }
        pitch = locked.lPitch;
        pixels = static_cast<uint8_t*>(locked.lpSurface);
        destX = x;
        destY = y;
    }
    // Keyed pictures on an alpha-test texture: the key becomes alpha 0.
    const bool keyToAlpha = alpha == nullptr && format->alphaWidth != 0 &&
                            image->format.alphaWidth == 0 && data->format.alphaTest != 0;
    ConvertRectPixels(pixels, pitch, format, image->pixels, image->pitch, &image->format,
                      alpha != nullptr ? alpha->pixels : nullptr,
                      alpha != nullptr ? alpha->pitch : 0,
                      alpha != nullptr ? &alpha->format : nullptr, destX, destY, sourceRect, 0,
                      keyToAlpha ? 1 : 0, keyToAlpha ? data->colorKey : 0xFFFFFFFFu, 0, 0, 0, 0);
    if (work != nullptr) {
        work->Unlock(nullptr);
        data->surface->Restore();
        plat::Direct3DDevice* device = GetDirect3DDevice();
        const plat::POINT at{x, y};
        const plat::RECT from{x, y, x + w, y + h};
        const bool loaded =
            device != nullptr && device->Load(data->surface, &at, work, &from, 0) == plat::D3D_OK;
        work->Release();
        if (!loaded) {
            return AppendLog(
                "作業用テクスチャサーフェスから描画用テクスチャサーフェスへの画像転送に失敗しま"
                "した\n"_sjis);
        }
    } else {
        ApplyToSurface3DImage(entry, &dest);
    }
    SetImageColorKey(e->image);
    return 0;
}

int BltImageToGraph3D(const GraphImage* image, const GraphImage* alpha, int x, int y,
                      GraphRecord* graph) {
    if (!Ready()) return -1;
    for (int32_t i = 0; i < graph->pieceCount; ++i) {
        const Surface3DData* p = Entry(static_cast<int32_t>(graph->pieces[i]));
        if (p == nullptr) return -1;
        const Rect r{p->graphX + x, p->graphY + y, p->graphX + x + p->width,
                     p->graphY + y + p->height};
        if (TransferImageToTexture(&r, p->texX, p->texY, static_cast<int32_t>(graph->pieces[i]),
                                   image, alpha, graph->loadOption) != 0) {
            return -1;
        }
    }
    return 0;
}

int BltImageRectToGraph3D(const GraphImage* image, const GraphImage* alpha, const Rect* sourceRect,
                          int x, int y, GraphRecord* graph) {
    if (!Ready()) return -1;
    const int32_t w = sourceRect->right - sourceRect->left;
    const int32_t h = sourceRect->bottom - sourceRect->top;
    for (int32_t i = 0; i < graph->pieceCount; ++i) {
        const int32_t handle = static_cast<int32_t>(graph->pieces[i]);
        const Surface3DData* p = Entry(handle);
        if (p == nullptr) return -1;
        if (x >= p->graphX + p->width || x + w <= p->graphX || y >= p->graphY + p->height ||
            y + h <= p->graphY) {
            continue;
        }
        Rect r = *sourceRect;
        int32_t ox, oy;
        if (x < p->graphX) {
            r.left += p->graphX - x;
            ox = 0;
        } else {
            ox = x - p->graphX;
        }
        if (y < p->graphY) {
            r.top += p->graphY - y;
            oy = 0;
        } else {
            oy = y - p->graphY;
        }
        r.right = std::min(r.right, r.left + (p->width - ox));
        r.bottom = std::min(r.bottom, r.top + (p->height - oy));
        if (r.right <= r.left || r.bottom <= r.top) continue;
        if (TransferImageToTexture(&r, p->texX + ox, p->texY + oy, handle, image, alpha, 0) != 0)
            return -1;
    }
    return 0;
}

int ReloadGraphTextures(const GraphImage* frame, int alphaInFrame, GraphRecord* graph) {
    GraphImage picture = *frame;
    GraphImage alpha{};
    if (alphaInFrame) {
        picture.width /= 2;
        alpha = picture;
        alpha.pixels =
            picture.pixels + static_cast<ptrdiff_t>(picture.width) * picture.format.bytesPerPixel;
    }
    for (int32_t i = 0; i < graph->pieceCount; ++i) {
        const int32_t handle = static_cast<int32_t>(graph->pieces[i]);
        const Surface3DData* p = Entry(handle);
        if (p == nullptr) continue;
        const Rect r{p->srcX, p->srcY, p->srcX + p->width, p->srcY + p->height};
        TransferImageToTexture(&r, p->texX, p->texY, handle, &picture,
                               alphaInFrame ? &alpha : nullptr, 0);
        SetImageColorKey(p->image);
    }
    return 0;
}

int FillGraphTextures(GraphRecord* graph, int r, int g, int b, int a) {
    if (!Ready()) return -1;
    // The refused-target flag speaks of the draw target, not of this graph: fill regardless.
    for (int32_t i = 0; i < graph->pieceCount; ++i) {
        const Surface3DData* p = Entry(static_cast<int32_t>(graph->pieces[i]));
        if (p == nullptr) return -1;
        FillImageSurface(p->image, r, g, b, a);
    }
    return 0;
}

int RestoreGraphTextures(GraphRecord* graph) {
    if (!Ready()) return -1;
    int result = 0;
    for (int32_t i = 0; i < graph->pieceCount; ++i) {
        const Surface3DData* p = Entry(static_cast<int32_t>(graph->pieces[i]));
        if (p == nullptr) return -1;
        result |= RestoreImageSurfaceIfLost(p->image);
    }
    return result;
}

int RestoreAllTextures() {
    if (!Ready()) return -1;
    for (int32_t slot = 0; slot < g_entries.topSlot; ++slot) {
        if (g_entries.records[slot] != nullptr)
            RestoreImageSurfaceIfLost(g_entries.records[slot]->image);
    }
    return 0;
}

int SetTextureDivisionFlag(int flag) {
    SingleTextureMode() = flag == 0 ? 1 : 0;
    return 0;
}

int Graph3DNoOp() {
    return 0;
}

}  // namespace tessra
