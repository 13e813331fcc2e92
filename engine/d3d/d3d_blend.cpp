// Blend modes and texture stages: the draw state and the image become blend factors, the alpha
// test, the texture factor, the vertex kind and the operations of up to four texture stages,
// sent to the device only where they differ from what it holds.
#include "engine/d3d/d3d_internal.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/image_data.h"

namespace tessra {
namespace {

// Short names for the tables below.
constexpr int16_t X = -1;
constexpr int16_t DIF = plat::D3DTA_DIFFUSE, CUR = plat::D3DTA_CURRENT, TEX = plat::D3DTA_TEXTURE,
                  TFA = plat::D3DTA_TFACTOR, SPE = plat::D3DTA_SPECULAR;
constexpr int16_t OFF = plat::D3DTOP_DISABLE, SA1 = plat::D3DTOP_SELECTARG1,
                  SA2 = plat::D3DTOP_SELECTARG2, MOD = plat::D3DTOP_MODULATE,
                  ADD = plat::D3DTOP_ADD;

}  // namespace

// clang-format off
const int32_t BlendModeD3DTable[9][2] = {
    {-1, -1},
    {plat::D3DBLEND_INVSRCALPHA, plat::D3DBLEND_SRCALPHA},
    {plat::D3DBLEND_ONE, plat::D3DBLEND_SRCALPHA},
    {plat::D3DBLEND_ZERO, plat::D3DBLEND_INVDESTCOLOR},
    {plat::D3DBLEND_SRCCOLOR, plat::D3DBLEND_ZERO},
    {plat::D3DBLEND_ONE, plat::D3DBLEND_SRCALPHA},
    {-1, -1},
    {-1, -1},
    {plat::D3DBLEND_ONE, plat::D3DBLEND_ZERO},
};
const uint8_t BlendModeFlagTable[9] = {0, 1, 1, 1, 1, 1, 0, 1, 1};

// Each stage: alpha arg 1, alpha arg 2, alpha op, colour arg 1, colour arg 2, colour op.
#define STAGE_OFF {X, X, OFF, X, X, OFF}
#define STAGE_B   {TEX, TFA, ADD, X, DIF, SA2}
#define STAGE_S   {SPE, CUR, MOD, CUR, X, SA1}
#define STAGE_D   {DIF, CUR, MOD, CUR, X, SA1}
const StageSetupRecord StageSetupTable[2][2][2][3] = {
  {  // no blend graph
    {  // texture colour as is
      {  // vertex alpha
        {1, {{X, DIF, SA2, TEX, X, SA1}, STAGE_OFF, STAGE_OFF, STAGE_OFF}},
        {1, {{TEX, X, SA1, TEX, X, SA1}, STAGE_OFF, STAGE_OFF, STAGE_OFF}},
        {1, {{TEX, X, SA1, TEX, X, SA1}, STAGE_OFF, STAGE_OFF, STAGE_OFF}},
      },
      {  // alpha modulated
        {1, {{X, DIF, SA2, TEX, X, SA1}, STAGE_OFF, STAGE_OFF, STAGE_OFF}},
        {1, {{TEX, DIF, MOD, TEX, X, SA1}, STAGE_OFF, STAGE_OFF, STAGE_OFF}},
        {1, {{TEX, DIF, MOD, TEX, X, SA1}, STAGE_OFF, STAGE_OFF, STAGE_OFF}},
      },
    },
    {  // texture colour modulated
      {
        {1, {{X, DIF, SA2, TEX, DIF, MOD}, STAGE_OFF, STAGE_OFF, STAGE_OFF}},
        {1, {{TEX, X, SA1, TEX, DIF, MOD}, STAGE_OFF, STAGE_OFF, STAGE_OFF}},
        {1, {{TEX, X, SA1, TEX, DIF, MOD}, STAGE_OFF, STAGE_OFF, STAGE_OFF}},
      },
      {
        {1, {{X, DIF, SA2, TEX, DIF, MOD}, STAGE_OFF, STAGE_OFF, STAGE_OFF}},
        {1, {{TEX, DIF, MOD, TEX, DIF, MOD}, STAGE_OFF, STAGE_OFF, STAGE_OFF}},
        {1, {{TEX, DIF, MOD, TEX, DIF, MOD}, STAGE_OFF, STAGE_OFF, STAGE_OFF}},
      },
    },
  },
  {  // blend graph at stage 0
    {
      {
        {2, {STAGE_B, {CUR, X, SA1, TEX, X, SA1}, STAGE_OFF, STAGE_OFF}},
        {3, {STAGE_B, STAGE_S, {TEX, CUR, MOD, TEX, X, SA1}, STAGE_OFF}},
        {2, {STAGE_B, {TEX, CUR, MOD, TEX, X, SA1}, STAGE_OFF, STAGE_OFF}},
      },
      {
        {2, {STAGE_B, {DIF, CUR, MOD, TEX, X, SA1}, STAGE_OFF, STAGE_OFF}},
        {4, {STAGE_B, STAGE_S, {TEX, CUR, MOD, TEX, X, SA1}, STAGE_D}},
        {3, {STAGE_B, {TEX, CUR, MOD, TEX, X, SA1}, STAGE_D, STAGE_OFF}},
      },
    },
    {
      {
        {2, {STAGE_B, {CUR, X, SA1, TEX, DIF, MOD}, STAGE_OFF, STAGE_OFF}},
        {3, {STAGE_B, STAGE_S, {TEX, CUR, MOD, TEX, DIF, MOD}, STAGE_OFF}},
        {2, {STAGE_B, {TEX, CUR, MOD, TEX, DIF, MOD}, STAGE_OFF, STAGE_OFF}},
      },
      {
        {2, {STAGE_B, {DIF, CUR, MOD, TEX, DIF, MOD}, STAGE_OFF, STAGE_OFF}},
        {4, {STAGE_B, STAGE_S, {TEX, CUR, MOD, TEX, DIF, MOD}, STAGE_D}},
        {3, {STAGE_B, {TEX, CUR, MOD, TEX, DIF, MOD}, STAGE_D, STAGE_OFF}},
      },
    },
  },
};

// Untextured draws in blend mode 3 turn the target into 1 - destination.
const StageSetupRecord InvertStageSetup =
    {1, {{X, DIF, SA2, DIF, X, SA1}, STAGE_OFF, STAGE_OFF, STAGE_OFF}};
// Every other untextured draw takes colour and alpha from the vertex alone, whatever the last
// textured draw left in the stages. Its arguments are all given, as a new record's are, so that
// the first pass over a new device leaves device and cache agreeing on stages 0 and 1.
const StageSetupRecord UntexturedStageSetup =
    {1, {{DIF, DIF, SA1, DIF, DIF, SA1}, {TEX, DIF, OFF, TEX, DIF, OFF}, STAGE_OFF, STAGE_OFF}};
#undef STAGE_OFF
#undef STAGE_B
#undef STAGE_S
#undef STAGE_D
// clang-format on

void ApplyDrawState3D(const Surface3DData* piece, uint32_t flags) {
    const int32_t device = D3D().currentDevice;
    Direct3DDeviceRecord* r = CurrentRecord();
    if (r == nullptr) return;
    const DrawStateRecord& ds = DrawState;
    uint32_t colorKey = 0, alpha = 0, alphaTest = 0;
    plat::DirectDrawSurface* texture = nullptr;
    if (piece != nullptr) {
        const ImageDataRecord* image = GetImageDataRecord(piece->image);
        if (image != nullptr) {
            texture = image->surface;
            if (flags & 0x01) {
                if (!image->format.alpha && !image->format.alphaTest) {
                    colorKey = 1;
                } else if ((ds.blendMode != kBlendNone && ds.blendMode != 8) ||
                           ((flags & 0x02) == 0 && ds.filterMode == kFilterBilinear)) {
                    alpha = 1;
                    alphaTest = 0;
                } else {
                    alpha = image->format.alpha ? 1 : 0;
                    alphaTest = image->format.alphaTest ? 1 : 0;
                }
            }
        }
    }
    const uint32_t modColor = ((flags & 0x20) || DrawBrightnessPacked() != 0xFFFFFF) ? 1 : 0;
    const uint32_t modAlpha = ((flags & 0x40) || ds.blendMode != kBlendNone) ? 1 : 0;
    const uint32_t shade = (flags & 0x08) ? plat::D3DSHADE_GOURAUD : plat::D3DSHADE_FLAT;
    const uint32_t perspective = (flags & 0x10) ? 1 : 0;
    if (perspective != r->perspectiveEnable) SetRenderStatePerspective(device, perspective);
    if (modColor != r->modulateColor) SetTextureStageValueB(device, modColor);
    if (modAlpha != r->modulateAlpha) SetTextureStageValueA(device, modAlpha);
    if (texture != r->texture) SetTexture3D(device, texture);
    if (shade != r->shadeMode) SetRenderStateShadeMode(device, shade);
    const uint32_t mode = static_cast<uint32_t>(ds.blendMode);
    if (mode != r->blendMode || alpha != r->textureAlpha || alphaTest != r->textureAlphaTest)
        SetTextureStageOps(device, mode, alpha, alphaTest);
    if (r->stagesDirty || r->textureDirty) SetBlendModeStates(device);
    SetRenderStateColorKey(device, colorKey);
    if (flags & 0x04) {
        const uint32_t ze = static_cast<uint32_t>(ds.zBufferUse);
        const uint32_t zw = static_cast<uint32_t>(ds.zWrite);
        const uint32_t zf = static_cast<uint32_t>(ds.zCompareFunction);
        if (ze != r->zEnable) SetRenderStateZEnable(device, ze);
        if (zw != r->zWriteEnable) SetRenderStateZWrite(device, zw);
        if (zf != r->zFunc) SetRenderStateZFunc(device, zf);
    } else if (r->zEnable != 0) {
        FlushVertexBatch(device);
        if (r->device != nullptr) r->device->SetRenderState(plat::D3DRENDERSTATE_ZENABLE, 0);
        r->zEnable = 0;
    }
}

namespace {

struct BorderRamp {
    int16_t stage1AlphaOp;
    int16_t stage0AlphaOp;
    uint32_t factor;
};

BorderRamp ComputeBorderRamp(int32_t param, int32_t range) {
    int32_t s, t, gain;
    int16_t op;
    if (range <= 64) {
        s = 1280, t = 1024, gain = 64, op = plat::D3DTOP_MODULATE4X;
    } else if (range <= 128) {
        s = 768, t = 512, gain = 128, op = plat::D3DTOP_MODULATE2X;
    } else {
        s = 512, t = 256, gain = 255, op = plat::D3DTOP_MODULATE;
    }
    const int32_t v = s - (param * s) / 255;
    BorderRamp ramp{op, 0, 0};
    int32_t alpha;
    if (v >= t) {
        ramp.stage0AlphaOp = plat::D3DTOP_ADD;
        alpha = ((v - t) * gain) / 256;
    } else {
        ramp.stage0AlphaOp = plat::D3DTOP_SUBTRACT;
        alpha = 255 - (v * 255) / t;
    }
    ramp.factor = (static_cast<uint32_t>(alpha) << 24) | 0xFFFFFFu;
    return ramp;
}

// Sends a render state when forced or changed, and caches it.
void SendState(Direct3DDeviceRecord* r, plat::DWORD state, uint32_t value, uint32_t* cached) {
    if (r->forceStates == 0 && *cached == value) return;
    if (r->device != nullptr) r->device->SetRenderState(state, value);
    *cached = value;
}

}  // namespace

int SetBlendModeStates(int32_t device) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return -1;
    if (r->forceStates == 0 && r->stagesDirty == 0 && r->textureDirty == 0) return -1;

    if (r->forceStates == 0 && r->stagesDirty == 0 && r->textureDirty == 1) {
        const int stage = r->blendTexture == nullptr ? 0 : r->textureAlpha == 1 ? 2 : 1;
        if (r->device != nullptr)
            r->device->SetTexture(static_cast<plat::DWORD>(stage), r->texture);
        r->stage[stage].texture = r->texture;
        r->textureDirty = 0;
        return 0;
    }

    r->stagesDirty = 0;
    r->textureDirty = 0;
    const uint32_t mode = r->blendMode < 9 ? r->blendMode : 0;
    int32_t destBlend = BlendModeD3DTable[mode][0];
    int32_t srcBlend = BlendModeD3DTable[mode][1];
    const uint32_t blendFlag = BlendModeFlagTable[mode];
    plat::DirectDrawSurface* textures[4] = {nullptr, nullptr, nullptr, nullptr};
    const int variant = (r->textureAlpha == 0 && r->textureAlphaTest == 0) ? 0
                        : r->textureAlpha != 0                             ? 1
                                                                           : 2;
    StageSetupRecord stages;
    uint32_t alphaTest = 0, alphaRef = r->alphaRef, alphaFunc = r->alphaFunc;
    uint32_t alphaBlend = 0, factor = r->textureFactor;
    if (r->texture == nullptr) {
        r->discardBatch = 0;
        r->batchKind = 0;
        stages = r->blendMode == kBlendSubtract ? InvertStageSetup : UntexturedStageSetup;
        alphaBlend = blendFlag;
    } else if (r->blendTexture == nullptr) {
        r->discardBatch = 0;
        r->batchKind = 1;
        stages = StageSetupTable[0][r->modulateColor ? 1 : 0][r->modulateAlpha ? 1 : 0][variant];
        textures[0] = r->texture;
        factor = 0xFFFFFFFFu;
        if (r->textureAlphaTest == 1) {
            alphaTest = 1;
            alphaRef = 0x80;
            alphaFunc = plat::D3DCMP_GREATER;
        } else if (r->textureAlpha == 1 && blendFlag == 0) {
            destBlend = plat::D3DBLEND_INVSRCALPHA;
            srcBlend = plat::D3DBLEND_SRCALPHA;
        }
        alphaBlend = (r->textureAlpha == 1 || blendFlag == 1) ? 1 : 0;
    } else {
        r->batchKind = 2;
        stages = StageSetupTable[1][r->modulateColor ? 1 : 0][r->modulateAlpha ? 1 : 0][variant];
        if (blendFlag == 0) {
            destBlend = plat::D3DBLEND_INVSRCALPHA;
            srcBlend = plat::D3DBLEND_SRCALPHA;
        }
        r->discardBatch = r->blendBorderParam == 255 ? 1 : 0;
        textures[0] = r->blendTexture;
        textures[r->textureAlpha == 1 ? 2 : 1] = r->texture;
        if (r->blendBorderRange == 0 || r->blendBorderRange == 1) {
            alphaTest = 1;
            alphaFunc = plat::D3DCMP_GREATEREQUAL;
            alphaRef = static_cast<uint32_t>(r->blendBorderParam);
            if (alphaRef == 0 && (r->textureAlpha || r->textureAlphaTest)) alphaRef = 1;
            alphaBlend = 0;
            factor = 0x00FFFFFF;
        } else {
            alphaBlend = 1;
            const BorderRamp ramp = ComputeBorderRamp(r->blendBorderParam, r->blendBorderRange);
            stages.stage[0][2] = ramp.stage0AlphaOp;
            stages.stage[1][2] = ramp.stage1AlphaOp;
            factor = ramp.factor;
        }
    }
    r->batchWritePtr = r->vertexArea[r->batchKind];

    if (stages.count != r->stageCount) {
        r->stageCount = stages.count;
        const uint32_t force = r->forceStates;
        r->forceStates = 1;
        SetTextureFilter(device, r->filterMode);
        r->forceStates = force;
    }
    const uint32_t programmed = stages.count + 1 > 4 ? 4 : stages.count + 1;

    SendState(r, plat::D3DRENDERSTATE_ALPHAFUNC, alphaFunc, &r->alphaFunc);
    SendState(r, plat::D3DRENDERSTATE_ALPHAREF, alphaRef, &r->alphaRef);
    SendState(r, plat::D3DRENDERSTATE_ALPHATESTENABLE, alphaTest, &r->alphaTestEnable);
    SendState(r, plat::D3DRENDERSTATE_ALPHABLENDENABLE, alphaBlend, &r->alphaBlendEnable);
    SendState(r, plat::D3DRENDERSTATE_TEXTUREFACTOR, factor, &r->textureFactor);
    if (srcBlend != -1 || r->forceStates) {
        SendState(r, plat::D3DRENDERSTATE_SRCBLEND,
                  srcBlend != -1 ? static_cast<uint32_t>(srcBlend) : r->srcBlend, &r->srcBlend);
    }
    if (destBlend != -1 || r->forceStates) {
        SendState(r, plat::D3DRENDERSTATE_DESTBLEND,
                  destBlend != -1 ? static_cast<uint32_t>(destBlend) : r->destBlend, &r->destBlend);
    }

    static constexpr plat::DWORD kStateOf[6] = {plat::D3DTSS_ALPHAARG1, plat::D3DTSS_ALPHAARG2,
                                                plat::D3DTSS_ALPHAOP,   plat::D3DTSS_COLORARG1,
                                                plat::D3DTSS_COLORARG2, plat::D3DTSS_COLOROP};
    static constexpr int kSendOrder[6] = {2, 0, 1, 5, 3, 4};  // op, arg 1, arg 2 per channel
    for (uint32_t i = 0; i < programmed; ++i) {
        if (i >= 2 && stages.stage[i - 1][2] == plat::D3DTOP_DISABLE) break;
        StageState& cached = r->stage[i];
        if (r->forceStates || cached.texture != textures[i]) {
            if (r->device != nullptr) r->device->SetTexture(i, textures[i]);
            cached.texture = textures[i];
        }
        int16_t* fields[6] = {&cached.alphaArg1, &cached.alphaArg2, &cached.alphaOp,
                              &cached.colorArg1, &cached.colorArg2, &cached.colorOp};
        for (int k : kSendOrder) {
            const int16_t value = stages.stage[i][k];
            if (value == -1) continue;
            if (r->forceStates == 0 && *fields[k] == value) continue;
            if (r->device != nullptr) {
                r->device->SetTextureStageState(i, kStateOf[k], static_cast<plat::DWORD>(value));
            }
            *fields[k] = value;
        }
    }
    return 0;
}

int CopyDrawStates3D(int32_t from, int32_t to) {
    const Direct3DDeviceRecord* source = ReadyRecord(from);
    if (source == nullptr || ReadyRecord(to) == nullptr) return -1;
    SetTextureStageOps(to, source->blendMode, source->textureAlpha, source->textureAlphaTest);
    SetTextureFilter(to, source->filterMode);
    SetTexture3D(to, source->texture);
    SetBlendModeStates(to);
    return 0;
}

}  // namespace tessra
