#include "engine/graphics/draw_state.h"

#include <algorithm>

#include "engine/d3d/d3d.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/image_data.h"
#include "engine/screen/soft_tables.h"
#include "engine/screen/surface2d.h"

namespace tessra {
namespace {

int Clamp255(int v) {
    return std::clamp(v, 0, 255);
}

bool Off() {
    return GetGraphicsCoreState().graphicsOff != 0;
}

}  // namespace

void ResetDrawState() {
    const int width = ScreenWidthForGraphs(GetImageDataContext());
    const int height = ScreenHeightForGraphs(GetImageDataContext());
    DrawStateRecord d{};
    d.drawTarget = kFrontScreen;
    d.DrawArea = Rect{0, 0, width, height};
    d.drawAreaF[2] = static_cast<float>(width);
    d.drawAreaF[3] = static_cast<float>(height);
    d.targetWidth = width;
    d.targetHeight = height;
    d.zCompareFunction = 4;
    d.vertexDepth2D = 0.2f;
    d.filterMode = kFilterNearest;
    d.blendMode = kBlendNone;
    d.blendGraph = -1;
    d.brightness[0] = d.brightness[1] = d.brightness[2] = 255;
    d.maskEnabled = 1;
    d.use3D = 1;
    d.alphaTestDefault = 1;
    DrawState = d;
    UpdateDrawDiffuseColor();
}

int StoreDrawFilterMode(int mode) {
    if (Off() || mode == DrawState.filterMode) return 0;
    DrawState.filterMode = mode;
    if (DrawState.direct3DReady) SetTextureFilterCurrent(mode);
    return 0;
}

int StoreBlendModeAndParam(int mode, int param) {
    param = Clamp255(param);
    if (Off() || (mode == DrawState.blendMode && param == DrawState.blendParam)) return 0;
    DrawState.blendMode = mode;
    DrawState.blendParam = param;
    UpdateDrawDiffuseColor();
    return 0;
}

int SelectBlendGraph(int graph, int param1, int param2) {
    param1 = Clamp255(param1);
    param2 = Clamp255(param2);
    if (Off()) return 0;
    if (graph == DrawState.blendGraph && param1 == DrawState.blendGraphParam[0] &&
        param2 == DrawState.blendGraphParam[1]) {
        return 0;
    }
    GraphRecord* record = nullptr;
    if (graph != -1) {
        record = GetGraphRecord(graph);
        if (record == nullptr) return -1;
    }
    DrawState.blendGraph = graph;
    DrawState.blendGraphParam[0] = param1;
    DrawState.blendGraphParam[1] = param2;
    if (DrawState.direct3DReady) SetGraphTextureBlend(record, param1, param2);
    BuildClampRampTable(graph, param1, param2);
    return 0;
}

int SetDrawBrightnessPacked(uint32_t rgb) {
    rgb &= 0xFFFFFF;
    if (rgb == DrawBrightnessPacked()) return 0;
    DrawState.brightness[2] = static_cast<uint8_t>(rgb >> 16);
    DrawState.brightness[1] = static_cast<uint8_t>(rgb >> 8);
    DrawState.brightness[0] = static_cast<uint8_t>(rgb);
    UpdateDrawDiffuseColor();
    return 0;
}

int StoreDrawBrightness(int r, int g, int b) {
    r = Clamp255(r);
    g = Clamp255(g);
    b = Clamp255(b);
    if (r == DrawState.brightness[2] && g == DrawState.brightness[1] &&
        b == DrawState.brightness[0]) {
        return 0;
    }
    DrawState.brightness[2] = static_cast<uint8_t>(r);
    DrawState.brightness[1] = static_cast<uint8_t>(g);
    DrawState.brightness[0] = static_cast<uint8_t>(b);
    // The vertex colour follows the brightness whatever back-end draws.
    UpdateDrawDiffuseColor();
    return 0;
}

int StoreUse3DSetting(int flag) {
    DrawState.use3D = flag;
    return 0;
}

int StoreTransparentColor(int r, int g, int b) {
    if (GetImageDataContext().screenColorBits == 8) return 0;
    DrawState.transColor = (static_cast<uint32_t>(r & 0xFF) << 16) |
                           (static_cast<uint32_t>(g & 0xFF) << 8) | static_cast<uint32_t>(b & 0xFF);
    return 0;
}

int SetNewGraphDrawValidFlag(int flag) {
    DrawState.drawValidSetting = flag;
    return 0;
}

int SetGraphOptionForcedWithDirectDraw(int flag) {
    DrawState.systemMemoryOption = GetImageDataContext().noDirectDraw == 0 ? 1 : flag;
    return 0;
}

int SetGraphOptionInverted(int flag) {
    DrawState.systemMemoryOption =
        GetImageDataContext().noDirectDraw == 0 ? 1 : (flag != 1 ? 1 : 0);
    return 0;
}

int SetWindowClientScreenRect(const Rect* rect) {
    if (rect != nullptr) DrawState.clientRect = *rect;
    return 0;
}

int StoreBlankGraphAlphaFlag(int flag) {
    DrawState.blankGraphAlpha = flag;
    return 0;
}

int GetDrawTarget() {
    return DrawState.drawTarget;
}

int GetDrawClipRect(Rect* rect) {
    if (rect != nullptr) *rect = DrawState.DrawArea;
    return 0;
}

int GetDrawFilterMode() {
    return DrawState.filterMode;
}

int GetGraphicsAuxFlag() {
    return DrawState.auxFlag;
}

int GetScreenSizeAndBits(int* width, int* height, int* bits) {
    const ImageDataContext& c = GetImageDataContext();
    if (width != nullptr) *width = ScreenWidthForGraphs(c);
    if (height != nullptr) *height = ScreenHeightForGraphs(c);
    if (bits != nullptr) *bits = WorkingBitsForGraphs(c);
    return 0;
}

int IsDirect3DDrawActive() {
    return (DrawState.use3D == 1 && DrawState.direct3DReady && !GetImageDataContext().windowMode &&
            GetDirect3DDevice() != nullptr)
               ? 1
               : 0;
}

int FillGraphWithColor(int graph, int r, int g, int b, int a) {
    GraphRecord* record = GetGraphRecord(graph);
    if (record == nullptr) return -1;
    return record->format.texture ? FillGraphTextures(record, r, g, b, a)
                                  : ApplyToGraphSurfaces2D(record, r, g, b, a);
}

}  // namespace tessra
