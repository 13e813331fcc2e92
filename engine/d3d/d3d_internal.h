// Private to engine/d3d: the device records with their cached states and vertex batch, the
// back-end's globals, the texture entries and the setters the drawing units call.
#pragma once

#include <cstdint>

#include "engine/base/handle.h"
#include "engine/d3d/d3d.h"
#include "engine/graphics/color_format.h"
#include "engine/graphics/image_data.h"
#include "platform/d3d7/d3d7.h"

namespace tessra {

// --- Vertex kinds -----------------------------------------------------------------------------
struct Vertex3DColor {  // kind 0
    float x, y, z, rhw;
    uint32_t diffuse;
};
struct Vertex3DTex {  // kind 1
    float x, y, z, rhw;
    uint32_t diffuse;
    float u, v;
};
struct Vertex3DBlend {  // kind 2: the blend graph's pair first, then the image's
    float x, y, z, rhw;
    uint32_t diffuse, specular;
    float u0, v0, u1, v1;
};
static_assert(sizeof(Vertex3DColor) == 20 && sizeof(Vertex3DTex) == 28 &&
              sizeof(Vertex3DBlend) == 40);

struct VertexKind {
    uint32_t fvf;
    uint32_t bytes;
    uint32_t capacity;
};
inline constexpr VertexKind VertexKindTable[3] = {
    {0x44, 20, 3225},
    {0x144, 28, 2340},
    {0x2C4, 40, 1638},
};

// --- Device records ---------------------------------------------------------------------------
struct StageState {
    plat::DirectDrawSurface* texture;
    int16_t alphaArg1, alphaArg2, alphaOp, colorArg1, colorArg2, colorOp;
};

struct Direct3DDeviceRecord {
    uint32_t valid;
    plat::Direct3DDevice* device;
    plat::DirectDrawSurface* defaultTarget;
    plat::DirectDrawSurface* renderTarget;
    plat::DirectDrawSurface* texture;
    plat::DirectDrawSurface* blendTexture;
    uint32_t modulateColor, modulateAlpha, blendMode;
    int32_t blendBorderParam, blendBorderRange;
    uint32_t textureAlpha, textureAlphaTest;
    uint32_t stagesDirty, textureDirty, discardBatch, forceStates;
    uint32_t alphaTestEnable, alphaRef, alphaFunc, alphaBlendEnable, textureFactor, srcBlend,
        destBlend;
    uint32_t stageCount;
    StageState stage[4];
    uint32_t sceneBegun;
    uint32_t filterMode;
    uint32_t zEnable, zWriteEnable, zFunc;
    uint32_t shadeMode;
    uint32_t textureAddress;
    uint32_t perspectiveEnable, lightingEnable, colorKeyEnable;
    uint8_t* batchWritePtr;
    uint32_t batchCount;
    uint32_t batchKind;
    uint32_t batchPrimitive;
    plat::D3DVIEWPORT7 viewport;
    uint8_t* vertexArea[3];
    Vertex3DColor area0[3225];
    Vertex3DTex area1[2340];
    Vertex3DBlend area2[1638];
};

inline constexpr int kDeviceRecordCount = 4;

// --- Texture formats --------------------------------------------------------------------------
struct TextureFormatEntry {
    plat::DDPixelFormat pixelFormat;
    ColorFormat color;  // empty while its bit count is 0
};

// --- Texture entries --------------------------------------------------------------------------
inline constexpr int32_t kSurface3DSlots = 65536;

struct Surface3DData {
    int32_t check;
    int32_t* lostFlag;
    uint16_t graphX, graphY;
    uint16_t texX, texY;
    uint16_t srcX, srcY;
    uint16_t width, height;
    Vertex3DTex vertex[4];  // top-left, top-right, bottom-left, bottom-right
    uint8_t aboveDiagonal[4];
    int32_t ownerGraph;
    int32_t image;
};
using Surface3DTable = HandleTable<Surface3DData, kSurface3DSlots>;

// --- Globals ----------------------------------------------------------------------------------
struct Direct3DGlobals {
    plat::Direct3D* object;  // null: no Direct3D
    int32_t currentDevice;   // -1 after a failed device creation
    plat::D3DDEVICEDESC7 deviceDesc;
    uint32_t minTextureSize, maxTextureSize;
    TextureFormatEntry formats[9];
    plat::DDPixelFormat zBufferFormat;
    uint32_t initialized;
    uint32_t targetIsFront;
    uint32_t targetRefused;
    // Screen-to-graph copy: the method that worked last, per kind (-1 none).
    int32_t screenCopyMethodPlain;
    int32_t screenCopyMethodAlpha;
    float blendTexWidth, blendTexHeight, blendTexScaleU, blendTexScaleV;
};
Direct3DGlobals& D3D();
Direct3DDeviceRecord* DeviceRecords();  // the four records
Surface3DTable& Surface3DEntries();
// 1: every graph is one texture of the largest size. An engine setting: set-up keeps it.
uint32_t& SingleTextureMode();
uint32_t& DrawDiffuseColor3D();

// The record of a device index (low 16 bits) when Direct3D is present and the record is valid,
// else null. The current record likewise.
Direct3DDeviceRecord* ReadyRecord(int32_t device);
Direct3DDeviceRecord* CurrentRecord();

// --- Set-up (d3d_device.cpp) ------------------------------------------------------------------
int32_t Create3DDeviceForMode(plat::DirectDrawSurface* surface);
int Create3DDevice(int32_t device);
int DeleteDirect3DDevice(int32_t device);
int ReleaseAllDirect3DDevices();
int ReleaseAllTextures();
void SetDefaultRenderStates(int32_t device);

// --- State cache, batch and scene (d3d_state.cpp) ---------------------------------------------
int FlushVertexBatch(int32_t device);
void BeginScene3D();
int EndScene3D(int32_t device);
// Room for n vertices of primitive type P in the batch: hands over what waits when the type
// changes or the batch would overflow, then returns where the n vertices go and counts them.
void* AppendBatchVertices(Direct3DDeviceRecord* record, int32_t device, uint32_t primitive,
                          uint32_t count);
int DrawVertexGrid3D(int32_t device, int columns, int rows, const Vertex3DTex* vertices);
int SetRenderStatePerspective(int32_t device, uint32_t value);
int SetRenderStateColorKey(int32_t device, uint32_t value);
int SetRenderStateZEnable(int32_t device, uint32_t value);
int SetRenderStateZWrite(int32_t device, uint32_t value);
int SetRenderStateZFunc(int32_t device, uint32_t value);
int SetRenderStateShadeMode(int32_t device, uint32_t value);
int SetTextureFilter(int32_t device, uint32_t mode);
int SetTexture3D(int32_t device, plat::DirectDrawSurface* texture);
int SetTextureStageValueA(int32_t device, uint32_t value);
int SetTextureStageValueB(int32_t device, uint32_t value);
int SetTextureStageOps(int32_t device, uint32_t blendMode, uint32_t alpha, uint32_t alphaTest);
int SetTextureWithBlend(int32_t device, plat::DirectDrawSurface* texture, int32_t param,
                        int32_t range);
int SetRenderTarget3D(int32_t device, plat::DirectDrawSurface* target);
int SetViewport3D(int32_t device, const plat::D3DVIEWPORT7* viewport);
int SetTextureAddressMode(int32_t device);

// --- Image drawing (d3d_draw_image.cpp) -------------------------------------------------------
// One texture piece on four corners (top-left, top-right, bottom-left, bottom-right): two
// triangles in the batch when they form a parallelogram within a pixel, else a 7 x 7 grid.
void EmitTexturedQuad(int32_t pieceHandle, float x1, float y1, float x2, float y2, float x3,
                      float y3, float x4, float y4);

// --- Blend and stage states (d3d_blend.cpp) ---------------------------------------------------
struct StageSetupRecord {
    uint32_t count;
    int16_t stage[4][6];  // alpha arg 1, alpha arg 2, alpha op, colour arg 1, colour arg 2, op
};
extern const int32_t BlendModeD3DTable[9][2];  // DESTBLEND, SRCBLEND (-1: unchanged)
extern const uint8_t BlendModeFlagTable[9];
extern const StageSetupRecord StageSetupTable[2][2][2][3];
extern const StageSetupRecord InvertStageSetup;
extern const StageSetupRecord UntexturedStageSetup;
void ApplyDrawState3D(const Surface3DData* piece, uint32_t flags);
int SetBlendModeStates(int32_t device);
int CopyDrawStates3D(int32_t from, int32_t to);

// --- Texture entries (d3d_texture.cpp) --------------------------------------------------------
int32_t AddSurface3DData(int32_t texWidth, int32_t texHeight, int32_t x, int32_t y, int32_t width,
                         int32_t height, int32_t srcX, int32_t srcY, int32_t ownerGraph,
                         const Surface3DData* parent, int32_t texX, int32_t texY,
                         const ImageDataFormat* format);
int DeleteSurface3DData(int32_t handle);
int ApplyToSurface3DImage(int32_t handle, const Rect* rect);
int CalcTextureDivision(int32_t length, int32_t* sizes, int32_t request);
// Copies the rectangle of a picture (and its alpha picture or none) into the texture of an
// entry at (x, y).
int TransferImageToTexture(const Rect* sourceRect, int32_t x, int32_t y, int32_t entry,
                           const GraphImage* image, const GraphImage* alpha, uint32_t option);

}  // namespace tessra
