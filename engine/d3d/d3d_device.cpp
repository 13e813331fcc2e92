// Direct3D set-up and tear-down: the Direct3D object from DirectDraw, the device choice, the
// depth and texture formats, the device records, and their release and re-creation around a
// display rebuild.
#include <cstring>

#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/d3d/d3d_internal.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/image_data.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"

namespace tessra {
using namespace sjis_literals;
namespace {

Direct3DGlobals g_d3d{};
Direct3DDeviceRecord g_records[kDeviceRecordCount];
uint32_t g_singleTextureMode = 0;

plat::DirectDraw* Ddraw() {
    return static_cast<plat::DirectDraw*>(GetDirectDrawObject());
}

void ReleaseObject() {
    if (g_d3d.object != nullptr) g_d3d.object->Release();
    g_d3d.object = nullptr;
}

plat::HRESULT EnumDeviceCallback(char*, char*, plat::D3DDEVICEDESC7* desc, void* context) {
    const bool tnl = desc->deviceGUID == plat::IID_IDirect3DTnLHalDevice;
    if (!tnl && !(desc->deviceGUID == plat::IID_IDirect3DHALDevice)) return plat::D3DENUMRET_OK;
    const int bits = GetScreenBitDepth();
    const plat::DWORD need = bits == 16 ? plat::DDBD_16 : bits == 32 ? plat::DDBD_32 : 0;
    if (need == 0 || (desc->dwDeviceRenderBitDepth & need) == 0) return plat::D3DENUMRET_OK;
    *static_cast<uint32_t*>(context) = 1;
    g_d3d.deviceDesc = *desc;
    // The first TnL HAL device wins; a HAL device stays only while none follows it.
    return tnl ? plat::D3DENUMRET_CANCEL : plat::D3DENUMRET_OK;
}

plat::HRESULT EnumZBufferFormatCallback(plat::DDPixelFormat* format, void* context) {
    if (format == nullptr) return plat::D3DENUMRET_CANCEL;
    if (format->flags == plat::DDPF_ZBUFFER && format->fourCC == 0 && format->rgbBitCount == 16) {
        g_d3d.zBufferFormat = *format;
        *static_cast<uint32_t*>(context) = 1;
        return plat::D3DENUMRET_CANCEL;
    }
    return plat::D3DENUMRET_OK;
}

void FileFormat(int index, const plat::DDPixelFormat& format, const ColorFormat& color) {
    g_d3d.formats[index].pixelFormat = format;
    g_d3d.formats[index].color = color;
}

plat::HRESULT EnumTextureFormatCallback(plat::DDPixelFormat* format, void* context) {
    if (format == nullptr) return plat::D3DENUMRET_OK;
    if ((format->flags & (plat::DDPF_LUMINANCE | plat::DDPF_BUMPLUMINANCE | plat::DDPF_BUMPDUDV |
                          plat::DDPF_ALPHA)) != 0 ||
        format->fourCC != 0) {
        return plat::D3DENUMRET_OK;
    }
    ColorFormat color{};
    SetColorFormatFromPixelFormat(format, &color);
    if (color.alphaWidth != 0) {
        switch (color.alphaMask) {
            case 0xF000:
                FileFormat(2, *format, color);
                break;
            case 0xFF000000u:
                FileFormat(3, *format, color);
                FileFormat(5, *format, color);
                break;
            case 0x8000:
                FileFormat(4, *format, color);
                break;
            default:
                break;
        }
        return plat::D3DENUMRET_OK;
    }
    int index;
    if (color.bitDepth == 16) {
        index = 0;
    } else if (color.bitDepth == 32) {
        index = 1;
    } else {
        return plat::D3DENUMRET_OK;
    }
    // The screen's own format when the device offers it, else the first one.
    if (g_d3d.formats[index].color.bitDepth == 0 ||
        ColorFormatsEqual(&color, GetScreenColorFormat())) {
        FileFormat(index, *format, color);
    }
    if (index == 0) *static_cast<uint32_t*>(context) = 1;
    return plat::D3DENUMRET_OK;
}

void FillEmptyFormats() {
    static constexpr int kCopies[7][2] = {{1, 0}, {3, 2}, {4, 2}, {5, 3}, {6, 0}, {7, 1}, {8, 3}};
    for (const auto& c : kCopies) {
        TextureFormatEntry& to = g_d3d.formats[c[0]];
        if (to.color.bitDepth == 0) to = g_d3d.formats[c[1]];
    }
}

void SetTextureSizeLimits() {
    const plat::D3DDEVICEDESC7& d = g_d3d.deviceDesc;
    uint32_t lo =
        d.dwMinTextureWidth < d.dwMinTextureHeight ? d.dwMinTextureWidth : d.dwMinTextureHeight;
    uint32_t hi =
        d.dwMaxTextureWidth < d.dwMaxTextureHeight ? d.dwMaxTextureWidth : d.dwMaxTextureHeight;
    g_d3d.minTextureSize = lo == 0 ? 32 : lo;
    g_d3d.maxTextureSize = hi == 0 ? 256 : hi;
}

void WriteSetupLog() {
    IncreaseLogIndent();
    const uint32_t caps = g_d3d.deviceDesc.dpcTriCaps.dwTextureCaps;
    AppendLogFormat("テクスチャ最大幅:%u 最小幅:%u "_sjis, g_d3d.maxTextureSize,
                    g_d3d.minTextureSize);
    AppendLogFormat(
        "描画制限: D_D3DPTEXTURECAPS_POW2 = %d  D_D3DPTEXTURECAPS_SQUAREONLY = %d "_sjis,
        (caps & plat::D3DPTEXTURECAPS_POW2) ? 1 : 0,
        (caps & plat::D3DPTEXTURECAPS_SQUAREONLY) ? 1 : 0);
    AppendLog("テクスチャピクセルフォーマット\n"_sjis);
    AppendLog("\t通常グラフィック用\n"_sjis);
    for (int i = 0; i < 2; ++i) {
        const ColorFormat& c = g_d3d.formats[i].color;
        AppendLogFormat("\t\t BIT:%u  RED:%u  GREEN:%u  BLUE:%u ", c.bitDepth, c.redWidth,
                        c.greenWidth, c.blueWidth);
        AppendLogFormat("\t\t RED:%06x GREEN:%06x BLUE:%06x \n", c.redMask, c.greenMask,
                        c.blueMask);
    }
    AppendLog("\tアルファチャンネル付きグラフィック用\n"_sjis);
    for (int i = 2; i < 4; ++i) {
        const ColorFormat& c = g_d3d.formats[i].color;
        AppendLogFormat("\t\t BIT:%u  ALPHA:%u  RED:%u  GREEN:%u  BLUE:%u ", c.bitDepth,
                        c.alphaWidth, c.redWidth, c.greenWidth, c.blueWidth);
        AppendLogFormat("\t\t ALPHA:%08x RED:%08x GREEN:%08x BLUE:%08x \n", c.alphaMask, c.redMask,
                        c.greenMask, c.blueMask);
    }
    DecreaseLogIndent();
    AppendLog("Direct3D 関連の初期化は正常に終了しました\n"_sjis);
}

void PresetVertexAreas(Direct3DDeviceRecord* r) {
    for (Vertex3DColor& v : r->area0) {
        v.z = 0.0f;
        v.rhw = 1.0f;
    }
    for (Vertex3DTex& v : r->area1) {
        v.z = 0.0f;
        v.rhw = 1.0f;
    }
    for (Vertex3DBlend& v : r->area2) {
        v.z = 0.0f;
        v.rhw = 1.0f;
        v.specular = 0xFFFFFFFFu;
    }
    r->vertexArea[0] = reinterpret_cast<uint8_t*>(r->area0);
    r->vertexArea[1] = reinterpret_cast<uint8_t*>(r->area1);
    r->vertexArea[2] = reinterpret_cast<uint8_t*>(r->area2);
}

void GiveStartValues(Direct3DDeviceRecord* r, plat::DirectDrawSurface* surface) {
    r->valid = 1;
    r->defaultTarget = surface;
    r->renderTarget = nullptr;
    r->texture = nullptr;
    r->blendTexture = nullptr;
    r->modulateColor = r->modulateAlpha = r->blendMode = 0;
    r->blendBorderParam = -1;
    r->blendBorderRange = 0;
    r->textureAlpha = r->textureAlphaTest = 0;
    r->stagesDirty = 1;
    r->textureDirty = r->discardBatch = r->forceStates = 0;
    r->alphaTestEnable = r->alphaRef = r->alphaFunc = r->alphaBlendEnable = 0;
    r->textureFactor = r->srcBlend = r->destBlend = 0;
    r->stageCount = 0;
    for (StageState& s : r->stage) {
        s = StageState{nullptr,
                       plat::D3DTA_TEXTURE,
                       plat::D3DTA_DIFFUSE,
                       plat::D3DTOP_DISABLE,
                       plat::D3DTA_TEXTURE,
                       plat::D3DTA_DIFFUSE,
                       plat::D3DTOP_DISABLE};
    }
    r->sceneBegun = 0;
    r->filterMode = 0;
    r->zEnable = 1;
    r->zWriteEnable = 0;
    r->zFunc = plat::D3DCMP_LESSEQUAL;
    r->shadeMode = plat::D3DSHADE_FLAT;
    r->textureAddress = plat::D3DTADDRESS_CLAMP;
    r->perspectiveEnable = r->lightingEnable = r->colorKeyEnable = 0;
    r->batchCount = 0;
    r->batchKind = 1;
    r->batchPrimitive = 0;
    r->batchWritePtr = r->vertexArea[1];
    r->viewport = plat::D3DVIEWPORT7{};
}

// The live texture entries in slot order, as many as the table counts.
template <typename Visit>
void ForEachLiveEntry(Visit visit) {
    Surface3DTable& t = Surface3DEntries();
    int32_t met = 0;
    for (int32_t slot = 0; slot < t.topSlot && met < t.liveCount; ++slot) {
        if (t.records[slot] == nullptr) continue;
        ++met;
        visit(slot, t.records[slot]);
    }
}

}  // namespace

Direct3DGlobals& D3D() {
    return g_d3d;
}
Direct3DDeviceRecord* DeviceRecords() {
    return g_records;
}
uint32_t& SingleTextureMode() {
    return g_singleTextureMode;
}

Direct3DDeviceRecord* ReadyRecord(int32_t device) {
    if (g_d3d.object == nullptr) return nullptr;
    const int32_t index = device & 0xFFFF;
    if (index >= kDeviceRecordCount) return nullptr;
    Direct3DDeviceRecord* r = &g_records[index];
    return r->valid ? r : nullptr;
}

Direct3DDeviceRecord* CurrentRecord() {
    return g_d3d.currentDevice < 0 ? nullptr : ReadyRecord(g_d3d.currentDevice);
}

int InitializeDirect3D() {
    if (g_d3d.object != nullptr) return -1;
    AppendLog("Direct3D 関連の初期化を行います\n"_sjis);
    g_d3d = Direct3DGlobals{};
    Surface3DTable& t = Surface3DEntries();
    std::memset(&t, 0, sizeof t);
    DrawDiffuseColor3D() = 0;

    AppendLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します\n"_sjis);
    void* object = nullptr;
    if (Ddraw() == nullptr ||
        plat::DDFailed(Ddraw()->QueryInterface(plat::IID_IDirect3D7, &object))) {
        g_d3d.object = nullptr;
        return AppendLog("Direct3Dオブジェクトの作成に失敗しました\n"_sjis);
    }
    g_d3d.object = static_cast<plat::Direct3D*>(object);
    AppendLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得しました\n"_sjis);

    uint32_t found = 0;
    if (g_d3d.object->EnumDevices(EnumDeviceCallback, &found) != plat::D3D_OK || found == 0) {
        AppendLog("現在の画面モードで使用できる描画デバイスが見つかりませんでした\n"_sjis);
        ReleaseObject();
        return -1;
    }
    found = 0;
    if (g_d3d.object->EnumZBufferFormats(plat::IID_IDirect3DHALDevice, EnumZBufferFormatCallback,
                                         &found) != plat::D3D_OK ||
        found == 0) {
        AppendLog("使用可能なＺバッファが見つかりませんでした\n"_sjis);
        ReleaseAllDirect3DDevices();
        ReleaseObject();
        return -1;
    }
    g_d3d.currentDevice = Create3DDeviceForMode(GetPrimarySurface());
    if (g_d3d.currentDevice == -1) {
        ReleaseObject();
        return -1;
    }
    plat::Direct3DDevice* device = g_records[g_d3d.currentDevice].device;
    plat::HRESULT stage0 = plat::D3D_OK;
    for (int stage = 3; stage >= 0; --stage) {
        stage0 = device->SetTextureStageState(static_cast<plat::DWORD>(stage), plat::D3DTSS_ADDRESS,
                                              plat::D3DTADDRESS_CLAMP);
    }
    if (stage0 != plat::D3D_OK) {
        ReleaseAllDirect3DDevices();
        ReleaseObject();
        return -1;
    }
    for (TextureFormatEntry& e : g_d3d.formats) e = TextureFormatEntry{};
    found = 0;
    if (device->EnumTextureFormats(EnumTextureFormatCallback, &found) != plat::D3D_OK ||
        found == 0) {
        AppendLog("使用可能なテクスチャフォーマットが見つかりませんでした\n"_sjis);
        ReleaseAllDirect3DDevices();
        ReleaseObject();
        return -1;
    }
    FillEmptyFormats();
    g_d3d.targetIsFront = 1;
    SetTextureSizeLimits();
    g_d3d.screenCopyMethodPlain = -1;
    g_d3d.screenCopyMethodAlpha = -1;
    g_d3d.targetRefused = 0;
    WriteSetupLog();
    g_d3d.initialized = 1;
    return 0;
}

int32_t Create3DDeviceForMode(plat::DirectDrawSurface* surface) {
    if (g_d3d.object == nullptr) return -1;
    int32_t index = -1;
    for (int32_t i = 0; i < kDeviceRecordCount; ++i) {
        if (!g_records[i].valid) {
            index = i;
            break;
        }
    }
    if (index < 0) return -1;
    Direct3DDeviceRecord* r = &g_records[index];
    std::memset(static_cast<void*>(r), 0, sizeof *r);
    AppendLog("３Ｄデバイスを作成します... "_sjis);
    if (g_d3d.object->CreateDevice(g_d3d.deviceDesc.deviceGUID, surface, &r->device) !=
            plat::D3D_OK ||
        r->device == nullptr) {
        r->device = nullptr;
        return AppendLog("３Ｄデバイスの作成に失敗しました\n"_sjis);
    }
    PresetVertexAreas(r);
    plat::Direct3DDevice* d = r->device;
    for (plat::DWORD s = 0; s < 4; ++s)
        d->SetTextureStageState(s, plat::D3DTSS_ADDRESS, plat::D3DTADDRESS_CLAMP);
    for (plat::DWORD s = 0; s < 4; ++s) {
        d->SetTextureStageState(s, plat::D3DTSS_MAGFILTER, plat::D3DTFG_POINT);
        d->SetTextureStageState(s, plat::D3DTSS_MINFILTER, plat::D3DTFN_POINT);
    }
    d->SetRenderState(plat::D3DRENDERSTATE_COLORKEYBLENDENABLE, 0);
    d->SetRenderState(plat::D3DRENDERSTATE_CULLMODE, plat::D3DCULL_NONE);
    d->SetRenderState(plat::D3DRENDERSTATE_LIGHTING, 0);
    d->SetRenderState(plat::D3DRENDERSTATE_TEXTUREPERSPECTIVE, 0);
    d->SetRenderState(plat::D3DRENDERSTATE_SHADEMODE, plat::D3DSHADE_FLAT);
    d->SetRenderState(plat::D3DRENDERSTATE_COLORKEYENABLE, 0);
    d->SetRenderState(plat::D3DRENDERSTATE_DITHERENABLE, 0);
    GiveStartValues(r, surface);
    SetDefaultRenderStates(index);
    AppendLog("３Ｄデバイスの作成に成功しました\n"_sjis);
    return index;
}

void SetDefaultRenderStates(int32_t device) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return;
    r->forceStates = 1;
    const plat::D3DVIEWPORT7 viewport = r->viewport;
    SetViewport3D(device, &viewport);
    SetRenderStateColorKey(device, 0);
    SetTextureAddressMode(device);
    SetTextureFilter(device, r->filterMode);
    SetBlendModeStates(device);
    SetRenderStateZEnable(device, r->zEnable);
    SetRenderStateZWrite(device, r->zWriteEnable);
    SetRenderStateZFunc(device, r->zFunc);
    SetRenderStatePerspective(device, r->perspectiveEnable);
    SetRenderStateShadeMode(device, r->shadeMode);
    r->forceStates = 0;
}

int Create3DDevice(int32_t device) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return -1;
    if (r->device != nullptr) return 0;
    AppendLog("３Ｄデバイスを作成します... "_sjis);
    if (g_d3d.object->CreateDevice(g_d3d.deviceDesc.deviceGUID, r->defaultTarget, &r->device) !=
            plat::D3D_OK ||
        r->device == nullptr) {
        r->device = nullptr;
        return AppendLog("３Ｄデバイスの作成に失敗しました\n"_sjis);
    }
    r->device->SetRenderState(plat::D3DRENDERSTATE_DITHERENABLE, 0);
    AppendLog("３Ｄデバイスの作成に成功しました\n"_sjis);
    // The new device knows nothing of the cached states: a scene, a target and a texture are
    // chosen again from here.
    r->sceneBegun = 0;
    r->forceStates = 1;
    if (r->defaultTarget != r->renderTarget) SetRenderTarget3D(device, r->renderTarget);
    r->texture = nullptr;
    r->batchCount = 0;
    r->batchWritePtr = r->vertexArea[r->batchKind];
    SetTextureStageOps(device, r->blendMode, r->textureAlpha, r->textureAlphaTest);
    r->device->SetRenderState(plat::D3DRENDERSTATE_CULLMODE, plat::D3DCULL_NONE);
    SetTextureFilter(device, r->filterMode);
    SetRenderStateColorKey(device, r->colorKeyEnable);
    ApplyDrawAreaToViewport3D(&DrawState.DrawArea);
    SetDefaultRenderStates(device);
    SetBlendModeStates(device);
    r->forceStates = 1;
    ForEachLiveEntry([](int32_t, Surface3DData* e) {
        CreateImageSurface(e->image);
        SetImageColorKey(e->image);
    });
    r->forceStates = 0;
    return 0;
}

int DeleteDirect3DDevice(int32_t device) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return -1;
    if (r->device == nullptr) return 0;
    EndScene3D(device);
    Surface3DTable& t = Surface3DEntries();
    for (int32_t slot = 0; slot < t.topSlot; ++slot) {
        if (t.records[slot] != nullptr) ReleaseImageSurface(t.records[slot]->image);
    }
    r->device->Release();
    r->device = nullptr;
    AppendLog("Ｄｉｒｅｃｔ３Ｄデバイスを削除しました\n"_sjis);
    return 0;
}

int ReleaseAllDirect3DDevices() {
    if (g_d3d.object == nullptr) return 0;
    for (Direct3DDeviceRecord& r : g_records) {
        if (!r.valid) continue;
        if (r.device != nullptr) r.device->Release();
        std::memset(static_cast<void*>(&r), 0, sizeof r);
        AppendLog("３Ｄデバイスの削除は正常に終了しました\n"_sjis);
    }
    return 0;
}

int ReleaseAllTextures() {
    if (g_d3d.object == nullptr) return -1;
    Surface3DTable& t = Surface3DEntries();
    for (int32_t slot = 0; slot < t.topSlot; ++slot) {
        const Surface3DData* e = t.records[slot];
        if (e == nullptr) continue;
        DeleteSurface3DData(MakeEngineHandle(kTextureHandleKind, e->check, slot));
    }
    return 0;
}

int ReleaseAllTexturesIfReady() {
    return g_d3d.object == nullptr ? -1 : ReleaseAllTextures();
}

namespace {

// Everything goes: texture entries, device records and the object.
void TearDown() {
    Direct3DDeviceRecord* r = CurrentRecord();
    if (r != nullptr) SetTexture3D(g_d3d.currentDevice, nullptr);
    ReleaseAllTextures();
    ReleaseAllDirect3DDevices();
    ReleaseObject();
    g_d3d.initialized = 0;
}

}  // namespace

int TerminateDirect3D() {
    if (g_d3d.object == nullptr) return -1;
    AppendLog("Direct3D 関連の終了処理を行います\n"_sjis);
    EndScene3D(g_d3d.currentDevice);
    g_d3d.targetIsFront = 0;
    TearDown();
    AppendLog("Direct3D 関連の終了処理は正常に終了しました\n"_sjis);
    return 0;
}

int ReleaseDirect3DObject() {
    if (!g_d3d.initialized) return -1;
    DeleteDirect3DDevice(g_d3d.currentDevice);
    AppendLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを解放します\n"_sjis);
    if (g_d3d.object == nullptr) {
        AppendLog("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に解放されています\n"_sjis);
        return 0;
    }
    ReleaseObject();
    AppendLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを解放しました\n"_sjis);
    return 0;
}

int AcquireDirect3DObject() {
    if (!g_d3d.initialized) return 0;
    AppendLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します\n"_sjis);
    if (g_d3d.object != nullptr) {
        AppendLog("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に取得されています\n"_sjis);
        return 0;
    }
    void* object = nullptr;
    if (Ddraw() == nullptr ||
        plat::DDFailed(Ddraw()->QueryInterface(plat::IID_IDirect3D7, &object))) {
        return AppendLog("Direct3Dオブジェクトの作成に失敗しました\n"_sjis);
    }
    g_d3d.object = static_cast<plat::Direct3D*>(object);
    AppendLog("Ｄｉｒｅｃｔ３Ｄオブジェクトは正常に取得されました\n"_sjis);
    Direct3DDeviceRecord* r = CurrentRecord();
    if (r != nullptr) {
        r->defaultTarget = GetPrimarySurface();
        r->renderTarget = GetCurrentTargetSurface();
    }
    if (Create3DDevice(g_d3d.currentDevice) != 0) {
        // A device that cannot be had again would leave every 3-D draw drawing nothing:
        // back to no Direct3D, so that the next mode change starts afresh.
        TearDown();
        return -1;
    }
    return 0;
}

plat::Direct3DDevice* GetDirect3DDevice() {
    const Direct3DDeviceRecord* r = CurrentRecord();
    return r == nullptr ? nullptr : r->device;
}

int GetTextureFormatIndex(const uint8_t* request) {
    const int d = request[5] == 16 ? 0 : 1;
    if (request[2]) return (request[1] == 1 || request[4] == 1) ? 8 : 6 + d;
    if (request[1]) return 2 + d;
    if (request[4]) return 4 + d;
    return d;
}

const plat::DDPixelFormat* GetTextureFormatByIndex(int index) {
    return index < 0 || index > 8 ? nullptr : &g_d3d.formats[index].pixelFormat;
}

const ColorFormat* GetTextureColorDataByIndex(int index) {
    return index < 0 || index > 8 ? nullptr : &g_d3d.formats[index].color;
}

const ColorFormat* GetTextureColorData(const uint8_t* request) {
    return GetTextureColorDataByIndex(GetTextureFormatIndex(request));
}

const ColorFormat* SelectTextureFormat(uint8_t alpha, uint8_t alphaTest, int32_t wide,
                                       uint8_t drawValid) {
    const uint8_t request[6] = {1, alpha,     drawValid,
                                0, alphaTest, static_cast<uint8_t>(wide != 0 ? 32 : 16)};
    return GetTextureColorData(request);
}

const plat::DDPixelFormat* GetZBufferPixelFormat() {
    return &g_d3d.zBufferFormat;
}

}  // namespace tessra
