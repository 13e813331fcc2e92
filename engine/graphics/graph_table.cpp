#include "engine/graphics/graph_table.h"

#include <cstdio>
#include <cstring>

#include "engine/base/fatal.h"
#include "engine/base/file_access.h"
#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/d3d/d3d.h"
#include "engine/font/font.h"
#include "engine/graphics/draw_front.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_image.h"
#include "engine/graphics/image_data.h"
#include "engine/graphics/image_decode.h"
#include "engine/graphics/mask_screen.h"
#include "engine/graphics/movie.h"
#include "engine/screen/surface2d.h"

namespace tessra {

using namespace sjis_literals;

namespace {

// Copies text into a field, cut to fit and always terminated.
void CopyBounded(char* field, size_t size, const char* text) {
    std::snprintf(field, size, "%s", text != nullptr ? text : "");
}

bool Off() {
    return GetGraphicsCoreState().graphicsOff != 0;
}

int ScreenBits() {
    return WorkingBitsForGraphs(GetImageDataContext());
}

// A file that is no picture: a movie into a new graph of its frame's size, when the file
// opens at all.
int LoadMovieGraph(const char* fileName, int textureAsked, int mode) {
    const StreamHandle file = OpenViaFileTable(fileName, 0, 1);
    if (file == 0) {
        AppendLogFormat("グラフィックファイル %s がありません"_sjis, fileName);
        return -1;
    }
    CloseViaFileTable(file);
    // Opening the movie must not change how the graphs made afterwards are made.
    const DrawStateRecord saved = DrawState;
    int width = 0, height = 0;
    const int movie = OpenMovieToGraph(fileName, &width, &height, mode);
    DrawState = saved;
    if (movie < 0) {
        AppendLogFormat("右記のグラフィックファイルのロードに失敗しました：%s \n"_sjis, fileName);
        return -1;
    }
    const uint8_t alpha = GetMovieRecord(movie)->setting ? 1 : 0;
    const int graph = CreateBlankGraph(width, height, textureAsked, alpha, 0);
    GraphRecord* r = GetGraphRecord(graph);
    if (r == nullptr) {
        AppendLogFormat(
            "右記のグラフィックファイルの格納用グラフィック領域の作成に失敗しました：%s"_sjis,
            fileName);
        // The movie's slot goes with the graph it was opened for.
        CloseMovieHandle(movie);
        return -1;
    }
    // Black until the first frame arrives.
    if (!r->format.texture) ApplyToGraphSurfaces2D(r, 0, 0, 0, 255);
    r->movie = movie;
    SetGraphFileName(graph, fileName);
    return graph;
}

}  // namespace

GraphTable& GetGraphTable() {
    static GraphTable* table = new GraphTable{};
    return *table;
}

GraphicsCoreState& GetGraphicsCoreState() {
    static GraphicsCoreState state{};
    return state;
}

GraphRecord* GetGraphRecord(int graph) {
    return GetGraphTable().Find(graph, kGraphHandleKind);
}

int AddGraphRecord(int width, int height, int textureAsked, GraphRecord** out, uint8_t alpha,
                   uint8_t paletted) {
    if (Off()) return 0;
    GraphTable& t = GetGraphTable();
    if (t.liveCount >= kGraphMax) {
        RaiseFatalError("グラフィックの数が許容量を越えました終了します"_sjis);
    }
    const int32_t slot = t.SlotForNew();
    auto* r = static_cast<GraphRecord*>(AllocTaggedZeroed(sizeof(GraphRecord), __FILE__, __LINE__));
    if (r == nullptr) RaiseFatalError("メモリの確保に失敗しました"_sjis);
    t.Occupy(slot, r);
    r->check = t.checkCounter;
    t.checkCounter = NextHandleCheck(t.checkCounter);
    r->handle = MakeEngineHandle(kGraphHandleKind, r->check, slot);
    r->width = width;
    r->height = height;
    r->movie = -1;

    GraphFormatBytes& f = r->format;
    const DrawStateRecord& ds = DrawState;
    f.texture =
        (textureAsked && ds.use3D && ds.direct3DReady && !GetImageDataContext().windowMode) ? 1 : 0;
    f.paletted = 0;
    if (ds.drawValidSetting != 1) {
        f.alpha = alpha;
        f.drawValid = 0;
        f.alphaTest = static_cast<uint8_t>(ds.alphaTestDefault & 0xFF);
    } else {
        f.drawValid = 1;
        f.alpha = 0;
        f.alphaTest = 0;
    }
    f.singleChannel = 0;
    if (ds.newGraphColorBits != 0) {
        f.colorBits = static_cast<uint8_t>(ds.newGraphColorBits);
    } else if (f.texture) {
        f.colorBits = static_cast<uint8_t>(alpha == 1 ? 32 : ScreenBits());
    } else {
        f.colorBits = static_cast<uint8_t>(ScreenBits());
    }
    if (f.texture) {
        f.systemMemory = 0;
    } else {
        f.systemMemory = static_cast<uint8_t>(ds.systemMemoryOption & 0xFF);
        f.paletted = paletted;
    }
    if (out != nullptr) *out = r;
    return r->handle;
}

int CreateBlankGraph(int width, int height, int textureAsked, uint8_t alpha, uint8_t paletted) {
    GraphRecord* r = nullptr;
    const int handle = AddGraphRecord(width, height, textureAsked, &r, alpha, paletted);
    if (handle <= 0) return handle;
    const int made = r->format.texture ? CreateGraphTextures(r) : CreateGraphSurfaces2D(r);
    if (made != 0) {
        AppendLog("グラフィックの作成に失敗しました\n"_sjis);
        // A graph without pieces would hold its slot and fail every later use.
        ReleaseGraph(handle, 0);
        return -1;
    }
    return handle;
}

int CreateBlankGraphDefault(int width, int height) {
    return CreateBlankGraph(width, height, 1, static_cast<uint8_t>(DrawState.blankGraphAlpha), 0);
}

int CreateGraphForGraphImage(GraphImage* image, GraphImage* alpha, int textureAsked) {
    EndSceneCurrent();
    if (alpha != nullptr && (alpha->width != image->width || alpha->height != image->height)) {
        return -1;
    }
    const uint8_t hasAlpha = (image->format.alphaWidth != 0 || alpha != nullptr) ? 1 : 0;
    const uint8_t paletted =
        (image->format.bytesPerPixel == 1 && image->format.alphaWidth == 0 && alpha == nullptr) ? 1
                                                                                                : 0;
    return CreateBlankGraph(image->width, image->height, textureAsked, hasAlpha, paletted);
}

int BuildGraphFromGraphImages(GraphImage* image, GraphImage* alpha, int textureAsked, int mirror1,
                              int mirror2) {
    RecomputeUnusedBitsMask(&image->format);
    if (alpha != nullptr) RecomputeUnusedBitsMask(&alpha->format);
    EndSceneCurrent();
    const bool mirror = mirror1 == 1 && mirror2 == 1;
    if (mirror) {
        FlipGraphImageHorizontal(image);
        if (alpha != nullptr) FlipGraphImageHorizontal(alpha);
    }
    int handle = CreateGraphForGraphImage(image, alpha, textureAsked);
    if (handle > 0 && TransferGraphImageToGraph(nullptr, image, alpha, 0, 0, handle, 0) != 0) {
        ReleaseGraph(handle, 0);
        handle = -1;
    }
    if (mirror) {
        FlipGraphImageHorizontal(image);
        if (alpha != nullptr) FlipGraphImageHorizontal(alpha);
    }
    return handle;
}

int BuildGraphFromGraphImage(GraphImage* image) {
    return BuildGraphFromGraphImages(image, nullptr, 1, 0, 0);
}

int DeriveGraph(int x, int y, int width, int height, int sourceGraph) {
    if (Off()) return 0;
    GraphRecord* source = GetGraphRecord(sourceGraph);
    if (source == nullptr) return -1;
    // A view must lie inside its source: nothing before its first pixel, nothing empty.
    if (x < 0 || y < 0 || width <= 0 || height <= 0) return -1;
    if (x >= source->width || y >= source->height) return -1;
    if (x + width > source->width) width = source->width - x;
    if (y + height > source->height) height = source->height - y;
    GraphRecord* r = nullptr;
    const int handle = AddGraphRecord(width, height, source->format.texture, &r,
                                      source->format.alpha, source->format.paletted);
    source = GetGraphRecord(sourceGraph);
    r->movie = source->movie;
    std::memcpy(r->fileName, source->fileName, sizeof r->fileName);
    std::memcpy(r->directory, source->directory, sizeof r->directory);
    r->format = source->format;
    r->loadOption = source->loadOption;
    r->sourceX = source->sourceX + x;
    r->sourceY = source->sourceY + y;
    const int made = r->format.texture
                         ? CreateDerivedGraphTextures(r, x, y, width, height, source)
                         : CreateDerivedGraphSurface2D(r, x, y, width, height, source);
    if (made != 0) {
        AppendLog("グラフィックの派生に失敗しました終了します"_sjis);
        ReleaseGraph(handle, 0);
        return -1;
    }
    return handle;
}

int ReleaseGraph(int graph, int logFlag) {
    if (Off()) return 0;
    GraphRecord* r = GetGraphRecord(graph);
    if (r == nullptr) return -1;
    // Drawing must not go on into a graph that is gone: the back screen takes its place.
    if (DrawState.drawTarget == graph) SetDrawTargetAndArea(kBackScreen);
    CloseMovie(graph);
    if (r->format.texture) {
        DeleteGraphTextures(r);
    } else {
        DeleteGraphSurfaces2D(r);
    }
    if (logFlag) AppendLogFormat("グラフィック %s の削除"_sjis, r->fileName);
    if (r->ownedBlock != nullptr) FreeTagged(r->ownedBlock);
    GetGraphTable().Vacate(HandleSlot(graph));
    if (r->lostFlag != nullptr) *r->lostFlag = 1;
    FreeTagged(r);
    return 0;
}

int ReleaseAllGraphs(int logFlag) {
    const GraphicsCoreState& core = GetGraphicsCoreState();
    if (!core.started || core.graphicsOff) return 0;
    GraphTable& t = GetGraphTable();
    for (int32_t slot = 0; slot < t.topSlot; ++slot) {
        if (t.records[slot] != nullptr) {
            ReleaseGraph(MakeEngineHandle(kGraphHandleKind, t.records[slot]->check, slot), logFlag);
        }
    }
    return 0;
}

int QueryGraphExtent(int graph, int* width, int* height) {
    if (graph == kBackScreen || graph == kFrontScreen) {
        if (width != nullptr) *width = ScreenWidthForGraphs(GetImageDataContext());
        if (height != nullptr) *height = ScreenHeightForGraphs(GetImageDataContext());
        return 0;
    }
    GraphRecord* r = GetGraphRecord(graph);
    if (r == nullptr) return -1;
    if (width != nullptr) *width = r->width;
    if (height != nullptr) *height = r->height;
    return 0;
}

int SetGraphLostFlagPointer(int graph, int32_t* flag) {
    GraphRecord* r = GetGraphRecord(graph);
    if (r == nullptr) return -1;
    r->lostFlag = flag;
    if (flag != nullptr) *flag = 0;
    return 0;
}

int SetGraphFileName(int graph, const char* fileName) {
    GraphRecord* r = GetGraphRecord(graph);
    if (r == nullptr) return -1;
    char directory[kFilePathMax] = {};
    GetDirViaFileTable(directory);
    directory[kFilePathMax - 1] = '\0';
    CopyBounded(r->directory, sizeof r->directory, directory);
    CopyBounded(r->fileName, sizeof r->fileName, fileName);
    return 0;
}

int TransferGraphImageToGraph(const char* fileName, GraphImage* image, GraphImage* alpha, int x,
                              int y, int graph, uint32_t loadOption) {
    if (Off()) return 0;
    GraphRecord* r = GetGraphRecord(graph);
    if (r == nullptr) return -1;
    SetGraphFileName(graph, fileName);
    r->loadOption = loadOption;
    r->sourceX = x;
    r->sourceY = y;
    return r->format.texture ? BltImageToGraph3D(image, alpha, x, y, r)
                             : BltImageToGraph2D(image, alpha, x, y, r);
}

int TransferImageDataToGraph(const GraphImage* image, const GraphImage* alpha,
                             const Rect* sourceRect, const char* fileName, int x, int y, int graph,
                             uint32_t loadOption) {
    if (Off()) return 0;
    GraphRecord* r = GetGraphRecord(graph);
    if (r == nullptr) return -1;
    SetGraphFileName(graph, fileName);
    r->loadOption = loadOption;
    r->sourceX = sourceRect->left;
    r->sourceY = sourceRect->top;
    if (r->format.texture) return BltImageRectToGraph3D(image, alpha, sourceRect, x, y, r);
    return BltImageToGraphSurfaces2D(image, alpha, sourceRect, x, y, r);
}

ReservedRecord* GetReservedRecords() {
    static ReservedRecord records[kReservedRecordMax];
    return records;
}

int ReleaseSlot512Handle(int handle) {
    if (!HandleFitsKind(handle, kReservedHandleKind, kReservedRecordMax)) return -1;
    ReservedRecord& r = GetReservedRecords()[HandleSlot(handle)];
    if (r.inUse == 0 || (r.check << 16) != HandleCheckBits(handle)) return -1;
    if (r.ownedBlock != nullptr) FreeTagged(r.ownedBlock);
    r = ReservedRecord{};
    return 0;
}

int ReleaseAllSlot512Handles() {
    ReservedRecord* records = GetReservedRecords();
    for (int32_t slot = 0; slot < kReservedRecordMax; ++slot) {
        if (records[slot].inUse == 1) {
            ReleaseSlot512Handle(MakeEngineHandle(kReservedHandleKind, records[slot].check, slot));
        }
    }
    return 0;
}

int CheckBlendGraphSize(const GraphRecord* drawn) {
    const GraphRecord* blend = GetGraphRecord(DrawState.blendGraph);
    if (blend == nullptr || drawn == nullptr) return -1;
    return (blend->width >= drawn->width && blend->height >= drawn->height) ? 0 : -1;
}

int LoadGraphFromFile(const char* fileName, int textureAsked, int mirror, int movieOption) {
    if (Off()) return -1;
    GraphImage image{}, alpha{};
    const int loaded =
        LoadImageWithAlphaFile(fileName, nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0);
    if (loaded < 0) return LoadMovieGraph(fileName, textureAsked, movieOption);
    GraphImage* alphaImage = loaded == 0 ? &alpha : nullptr;
    if (mirror == 1) {
        FlipGraphImageHorizontal(&image);
        if (alphaImage != nullptr) FlipGraphImageHorizontal(alphaImage);
    }
    const int handle = BuildGraphFromGraphImages(&image, alphaImage, textureAsked, mirror, 0);
    if (handle > 0) SetGraphFileName(handle, fileName);
    FreeGraphImage(&image);
    if (alphaImage != nullptr) FreeGraphImage(alphaImage);
    return handle;
}

int LoadGraphFromFileDefault(const char* fileName) {
    return LoadGraphFromFile(fileName, 1, 0, 0);
}

int InitGraphicsManagement() {
    GraphicsCoreState& core = GetGraphicsCoreState();
    if (core.started) return 0;
    AppendLog("グラフィック管理系の初期化を行います\n"_sjis);
    IncreaseLogIndent();
    // Whatever was left from a previous run goes; graphics-off survives the clearing.
    ReleaseAllGraphs(0);
    const int32_t off = core.graphicsOff;
    ResetDrawState();
    core.graphicsOff = off;
    core.started = 1;
    DeleteAllSurfaces2DChecked();
    DrawState.direct3DReady = ReleaseAllTexturesIfReady() == 0 ? 1 : 0;
    DrawState.drawTarget = kBackScreen;
    DrawState.maskActive = GetMaskScreen().bytes != nullptr && GetMaskScreen().inUse ? 1 : 0;
    SetDrawTargetAndArea(kFrontScreen);
    ApplyDrawClipRect(0, 0, DrawState.targetWidth, DrawState.targetHeight);
    AppendLog(DrawState.direct3DReady ? "３Ｄグラフィック描画機能を使用します\n"_sjis
                                      : "３Ｄグラフィック描画機能は使用しません\n"_sjis);
    ResetFontDefaults();
    InitFontSystem();
    DecreaseLogIndent();
    AppendLog("グラフィック管理系の初期化は正常に終了しました\n"_sjis);
    return 0;
}

int ShutdownGraphicsManagement() {
    GraphicsCoreState& core = GetGraphicsCoreState();
    if (!core.started) return 0;
    ShutdownMaskScreen();
    ReleaseAllSlot512Handles();
    ReleaseAllGraphs(0);
    InitFontSystem();
    ReleaseFontHandle(QueryDefaultFontHandle());
    core.started = 0;
    AppendLog("グラフィック管理系の終了処理は正常に終了しました\n"_sjis);
    return 0;
}

}  // namespace tessra
