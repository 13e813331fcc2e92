// The Direct3D object and device: enumeration from the device profile, state storage, scenes,
// the call log with injected results, and the hand-over of draws to the rasteriser.
#include "platform/d3d7/d3d7.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/d3d7/internal.h"
#include "platform/testing.h"

namespace plat {
namespace {

struct Injection {
    std::string method;
    int remaining;  // calls of the method still to pass before the one that gets the result
    HRESULT result;
};

struct Controls {
    bool haveProfile = false;
    Direct3DProfile profile;
    bool record = false;
    std::vector<std::string> log;
    std::vector<Injection> injections;
    bool standAlone = false;
};

std::mutex g_mutex;
Controls g_controls;

std::string Format(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// Logs the call when recording and tells whether a test injected its result.
bool Enter(const char* method, const std::string& args, HRESULT* injected) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_controls.record) g_controls.log.push_back(std::string(method) + "(" + args + ")");
    for (size_t i = 0; i < g_controls.injections.size(); ++i) {
        Injection& inj = g_controls.injections[i];
        if (inj.method != method) continue;
        if (inj.remaining > 0) {
            --inj.remaining;
            continue;
        }
        *injected = inj.result;
        g_controls.injections.erase(g_controls.injections.begin() + static_cast<long>(i));
        return true;
    }
    return false;
}

Direct3DProfile CurrentProfile() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_controls.haveProfile ? g_controls.profile : DefaultDirect3DProfile();
}

bool StandAlone() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_controls.standAlone;
}

std::string GuidName(const GUID& g) {
    if (g == IID_IDirect3D7) return "IID_IDirect3D7";
    if (g == IID_IDirect3DHALDevice) return "IID_IDirect3DHALDevice";
    if (g == IID_IDirect3DTnLHalDevice) return "IID_IDirect3DTnLHalDevice";
    if (g == IID_IDirect3DRGBDevice) return "IID_IDirect3DRGBDevice";
    return Format("{%08x-%04x-%04x}", g.data1, g.data2, g.data3);
}

std::string SurfaceName(const DirectDrawSurface* s) {
    if (s == nullptr) return "null";
    return Format("%dx%dx%u", s->Width(), s->Height(), s->Format().rgbBitCount);
}

bool RenderableTarget(const DirectDrawSurface* s) {
    return s != nullptr && (s->Format().flags & DDPF_RGB) != 0 &&
           (s->Format().rgbBitCount == 16 || s->Format().rgbBitCount == 32);
}

DWORD DepthBit(const DirectDrawSurface* s) {
    return s->Format().rgbBitCount == 16 ? DDBD_16 : DDBD_32;
}

const DDPixelFormat kDefaultTextureFormats[] = {kPixelFormat565,      kPixelFormat555,
                                                kPixelFormatArgb4444, kPixelFormatArgb1555,
                                                kPixelFormatXrgb32,   kPixelFormatArgb32};

}  // namespace

Direct3DProfile DefaultDirect3DProfile() {
    Direct3DProfile p;
    Direct3DDeviceEntry dev{};
    dev.description = "Software rasteriser with hardware interfaces";
    dev.name = "Direct3D T&L HAL";
    D3DDEVICEDESC7& d = dev.desc;
    d.dwDevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_HWRASTERIZATION;
    for (D3DPRIMCAPS* caps : {&d.dpcLineCaps, &d.dpcTriCaps}) {
        caps->dwSize = sizeof(D3DPRIMCAPS);
        caps->dwTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_POW2 |
                              D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_TRANSPARENCY;
    }
    d.dwDeviceRenderBitDepth = DDBD_16 | DDBD_32;
    d.dwDeviceZBufferBitDepth = DDBD_16;
    d.dwMinTextureWidth = 1;
    d.dwMinTextureHeight = 1;
    d.dwMaxTextureWidth = 2048;
    d.dwMaxTextureHeight = 2048;
    d.wMaxTextureBlendStages = 4;
    d.wMaxSimultaneousTextures = 4;
    d.deviceGUID = IID_IDirect3DTnLHalDevice;
    p.devices.push_back(dev);
    p.zBufferFormats.push_back(kPixelFormatZ16);
    p.textureFormats.assign(std::begin(kDefaultTextureFormats), std::end(kDefaultTextureFormats));
    return p;
}

// --- Direct3D ----------------------------------------------------------------------------------

HRESULT QueryDirect3D(DirectDraw* directDraw, const GUID& iid, void** out) {
    HRESULT injected;
    if (Enter("QueryInterface", GuidName(iid), &injected)) {
        if (out != nullptr) *out = nullptr;
        return injected;
    }
    if (out == nullptr) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!(iid == IID_IDirect3D7)) return E_NOINTERFACE;
    auto* d3d = new Direct3D();
    d3d->owner_ = directDraw;
    directDraw->AddRef();
    *out = d3d;
    return D3D_OK;
}

ULONG Direct3D::AddRef() {
    return ++refs_;
}

ULONG Direct3D::Release() {
    if (--refs_ != 0) return refs_;
    if (owner_ != nullptr) owner_->Release();
    delete this;
    return 0;
}

HRESULT Direct3D::EnumDevices(D3DEnumDevicesCallback callback, void* context) {
    HRESULT injected;
    if (Enter("EnumDevices", "", &injected)) return injected;
    if (callback == nullptr) return DDERR_INVALIDPARAMS;
    const Direct3DProfile profile = CurrentProfile();
    for (const Direct3DDeviceEntry& entry : profile.devices) {
        std::string description = entry.description;
        std::string name = entry.name;
        D3DDEVICEDESC7 desc = entry.desc;
        if (callback(description.data(), name.data(), &desc, context) == D3DENUMRET_CANCEL) {
            break;
        }
    }
    return D3D_OK;
}

HRESULT Direct3D::EnumZBufferFormats(const GUID& device, D3DEnumPixelFormatsCallback callback,
                                     void* context) {
    HRESULT injected;
    if (Enter("EnumZBufferFormats", GuidName(device), &injected)) return injected;
    if (callback == nullptr) return DDERR_INVALIDPARAMS;
    const Direct3DProfile profile = CurrentProfile();
    // The HAL device's depth formats stand for every hardware device, the TnL HAL one too.
    const auto hardware = [](const GUID& g) {
        return g == IID_IDirect3DHALDevice || g == IID_IDirect3DTnLHalDevice;
    };
    bool known = false;
    for (const Direct3DDeviceEntry& entry : profile.devices) {
        known |= entry.desc.deviceGUID == device ||
                 (device == IID_IDirect3DHALDevice && hardware(entry.desc.deviceGUID));
    }
    if (!known) return DDERR_INVALIDPARAMS;
    for (DDPixelFormat format : profile.zBufferFormats) {
        if (callback(&format, context) == D3DENUMRET_CANCEL) break;
    }
    return D3D_OK;
}

HRESULT Direct3D::CreateDevice(const GUID& device, DirectDrawSurface* target,
                               Direct3DDevice** out) {
    HRESULT injected;
    if (Enter("CreateDevice", GuidName(device) + ", " + SurfaceName(target), &injected)) {
        if (out != nullptr) *out = nullptr;
        return injected;
    }
    if (out == nullptr) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!RenderableTarget(target)) return DDERR_INVALIDPIXELFORMAT;
    const Direct3DProfile profile = CurrentProfile();
    const Direct3DDeviceEntry* found = nullptr;
    for (const Direct3DDeviceEntry& entry : profile.devices) {
        if (entry.desc.deviceGUID == device) found = &entry;
    }
    if (found == nullptr) return DDERR_INVALIDPARAMS;
    if ((found->desc.dwDeviceRenderBitDepth & DepthBit(target)) == 0) {
        return DDERR_INVALIDPIXELFORMAT;
    }
    auto* dev = new Direct3DDevice();
    dev->state_->target = target;
    target->AddRef();
    dev->state_->viewport = {
        0,    0,   static_cast<DWORD>(target->Width()), static_cast<DWORD>(target->Height()),
        0.0f, 1.0f};
    *out = dev;
    return D3D_OK;
}

// --- Device ------------------------------------------------------------------------------------

Direct3DDevice::Direct3DDevice() : state_(new Direct3DDeviceState()) {
    DWORD* rs = state_->renderStates;
    rs[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = 1;
    rs[D3DRENDERSTATE_ZENABLE] = 0;
    rs[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRENDERSTATE_ZWRITEENABLE] = 1;
    rs[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
    rs[D3DRENDERSTATE_ZFUNC] = 4;
    rs[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRENDERSTATE_TEXTUREFACTOR] = 0xFFFFFFFFu;
    rs[D3DRENDERSTATE_LIGHTING] = 1;
    for (DWORD s = 0; s < kStageCount; ++s) {
        DWORD* st = state_->stageStates[s];
        st[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        st[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        st[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        st[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        st[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        st[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        st[D3DTSS_TEXCOORDINDEX] = s;
        st[D3DTSS_ADDRESS] = D3DTADDRESS_WRAP;
        st[D3DTSS_MAGFILTER] = D3DTFG_POINT;
        st[D3DTSS_MINFILTER] = D3DTFN_POINT;
    }
}

Direct3DDevice::~Direct3DDevice() {
    if (state_->inScene) EndScene();
    for (DirectDrawSurface*& t : state_->textures) {
        if (t != nullptr) t->Release();
        t = nullptr;
    }
    if (state_->target != nullptr) state_->target->Release();
    delete state_;
}

ULONG Direct3DDevice::AddRef() {
    return ++refs_;
}

ULONG Direct3DDevice::Release() {
    if (--refs_ != 0) return refs_;
    delete this;
    return 0;
}

DirectDrawSurface* Direct3DDevice::RenderTarget() const {
    return state_->target;
}

bool Direct3DDevice::InScene() const {
    return state_->inScene;
}

HRESULT Direct3DDevice::EnumTextureFormats(D3DEnumPixelFormatsCallback callback, void* context) {
    HRESULT injected;
    if (Enter("EnumTextureFormats", "", &injected)) return injected;
    if (callback == nullptr) return DDERR_INVALIDPARAMS;
    for (DDPixelFormat format : CurrentProfile().textureFormats) {
        if (callback(&format, context) == D3DENUMRET_CANCEL) break;
    }
    return D3D_OK;
}

HRESULT Direct3DDevice::BeginScene() {
    HRESULT injected;
    if (Enter("BeginScene", "", &injected)) return injected;
    if (state_->inScene) return D3DERR_SCENE_IN_SCENE;
    state_->inScene = true;
    state_->target->AddSceneUse();
    for (DirectDrawSurface* t : state_->textures) {
        if (t != nullptr) t->AddSceneUse();
    }
    return D3D_OK;
}

HRESULT Direct3DDevice::EndScene() {
    HRESULT injected;
    if (Enter("EndScene", "", &injected)) return injected;
    if (!state_->inScene) return D3DERR_SCENE_NOT_IN_SCENE;
    state_->inScene = false;
    state_->target->DropSceneUse();
    for (DirectDrawSurface* t : state_->textures) {
        if (t != nullptr) t->DropSceneUse();
    }
    return D3D_OK;
}

HRESULT Direct3DDevice::SetRenderState(DWORD state, DWORD value) {
    HRESULT injected;
    if (Enter("SetRenderState", Format("%u, %u", state, value), &injected)) return injected;
    if (state == 0 || state >= kRenderStateCount) return DDERR_INVALIDPARAMS;
    state_->renderStates[state] = value;
    return D3D_OK;
}

HRESULT Direct3DDevice::GetRenderState(DWORD state, DWORD* value) const {
    if (value == nullptr || state == 0 || state >= kRenderStateCount) return DDERR_INVALIDPARAMS;
    *value = state_->renderStates[state];
    return D3D_OK;
}

HRESULT Direct3DDevice::SetTextureStageState(DWORD stage, DWORD state, DWORD value) {
    HRESULT injected;
    if (Enter("SetTextureStageState", Format("%u, %u, %u", stage, state, value), &injected)) {
        return injected;
    }
    if (stage >= kStageCount || state == 0 || state >= kStageStateCount) {
        return DDERR_INVALIDPARAMS;
    }
    state_->stageStates[stage][state] = value;
    return D3D_OK;
}

HRESULT Direct3DDevice::GetTextureStageState(DWORD stage, DWORD state, DWORD* value) const {
    if (value == nullptr || stage >= kStageCount || state == 0 || state >= kStageStateCount) {
        return DDERR_INVALIDPARAMS;
    }
    *value = state_->stageStates[stage][state];
    return D3D_OK;
}

HRESULT Direct3DDevice::SetTexture(DWORD stage, DirectDrawSurface* texture) {
    HRESULT injected;
    if (Enter("SetTexture", Format("%u, ", stage) + SurfaceName(texture), &injected)) {
        return injected;
    }
    if (stage >= kStageCount) return DDERR_INVALIDPARAMS;
    if (texture != nullptr && (texture->Format().flags & DDPF_RGB) == 0) {
        return DDERR_INVALIDPIXELFORMAT;
    }
    DirectDrawSurface*& slot = state_->textures[stage];
    if (slot == texture) return D3D_OK;
    if (texture != nullptr) {
        texture->AddRef();
        if (state_->inScene) texture->AddSceneUse();
    }
    if (slot != nullptr) {
        if (state_->inScene) slot->DropSceneUse();
        slot->Release();
    }
    slot = texture;
    return D3D_OK;
}

HRESULT Direct3DDevice::SetRenderTarget(DirectDrawSurface* target, DWORD flags) {
    HRESULT injected;
    if (Enter("SetRenderTarget", SurfaceName(target) + Format(", %u", flags), &injected)) {
        return injected;
    }
    if (!RenderableTarget(target)) return DDERR_INVALIDPARAMS;
    if (target != state_->target) {
        target->AddRef();
        if (state_->inScene) {
            target->AddSceneUse();
            state_->target->DropSceneUse();
        }
        state_->target->Release();
        state_->target = target;
    }
    state_->viewport = {
        0,    0,   static_cast<DWORD>(target->Width()), static_cast<DWORD>(target->Height()),
        0.0f, 1.0f};
    return D3D_OK;
}

HRESULT Direct3DDevice::SetViewport(const D3DVIEWPORT7* viewport) {
    HRESULT injected;
    const std::string args =
        viewport == nullptr
            ? std::string("null")
            : Format("%u, %u, %u, %u, %g, %g", viewport->dwX, viewport->dwY, viewport->dwWidth,
                     viewport->dwHeight, static_cast<double>(viewport->dvMinZ),
                     static_cast<double>(viewport->dvMaxZ));
    if (Enter("SetViewport", args, &injected)) return injected;
    if (viewport == nullptr) return DDERR_INVALIDPARAMS;
    state_->viewport = *viewport;
    return D3D_OK;
}

HRESULT Direct3DDevice::GetViewport(D3DVIEWPORT7* viewport) const {
    if (viewport == nullptr) return DDERR_INVALIDPARAMS;
    *viewport = state_->viewport;
    return D3D_OK;
}

HRESULT Direct3DDevice::SetTransform(DWORD state, const D3DMATRIX* matrix) {
    HRESULT injected;
    if (Enter("SetTransform", Format("%u", state), &injected)) return injected;
    if (matrix == nullptr) return DDERR_INVALIDPARAMS;
    state_->transforms[state] = *matrix;
    return D3D_OK;
}

HRESULT Direct3DDevice::GetTransform(DWORD state, D3DMATRIX* matrix) const {
    if (matrix == nullptr) return DDERR_INVALIDPARAMS;
    auto it = state_->transforms.find(state);
    if (it == state_->transforms.end()) {
        *matrix = D3DMATRIX{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    } else {
        *matrix = it->second;
    }
    return D3D_OK;
}

namespace {

bool ValidCount(D3DPRIMITIVETYPE type, DWORD count) {
    switch (type) {
        case D3DPT_POINTLIST:
            return count >= 1;
        case D3DPT_LINELIST:
        case D3DPT_LINESTRIP:
            return count >= 2;
        case D3DPT_TRIANGLELIST:
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN:
            return count >= 3;
    }
    return false;
}

}  // namespace

HRESULT Direct3DDevice::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, const void* vertices,
                                      DWORD count, DWORD flags) {
    HRESULT injected;
    if (Enter("DrawPrimitive", Format("%u, 0x%X, %u, %u", type, fvf, count, flags), &injected)) {
        return injected;
    }
    if (!state_->inScene) return D3DERR_SCENE_NOT_IN_SCENE;
    if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) return D3DERR_INVALIDPRIMITIVETYPE;
    if (detail::VertexSize(fvf) == 0) return D3DERR_INVALIDVERTEXTYPE;
    if (vertices == nullptr) return DDERR_INVALIDPARAMS;
    if (!ValidCount(type, count) || StandAlone()) return D3D_OK;
    detail::Rasterise(*state_, type, fvf, vertices, count, nullptr, 0);
    return D3D_OK;
}

HRESULT Direct3DDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, const void* vertices,
                                             DWORD vertexCount, const WORD* indices,
                                             DWORD indexCount, DWORD flags) {
    HRESULT injected;
    if (Enter("DrawIndexedPrimitive",
              Format("%u, 0x%X, %u, %u, %u", type, fvf, vertexCount, indexCount, flags),
              &injected)) {
        return injected;
    }
    if (!state_->inScene) return D3DERR_SCENE_NOT_IN_SCENE;
    if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) return D3DERR_INVALIDPRIMITIVETYPE;
    if (detail::VertexSize(fvf) == 0) return D3DERR_INVALIDVERTEXTYPE;
    if (vertices == nullptr || indices == nullptr) return DDERR_INVALIDPARAMS;
    for (DWORD i = 0; i < indexCount; ++i) {
        if (indices[i] >= vertexCount) return DDERR_INVALIDPARAMS;
    }
    if (!ValidCount(type, indexCount) || StandAlone()) return D3D_OK;
    detail::Rasterise(*state_, type, fvf, vertices, vertexCount, indices, indexCount);
    return D3D_OK;
}

HRESULT Direct3DDevice::Load(DirectDrawSurface* dest, const POINT* destPoint,
                             DirectDrawSurface* source, const RECT* sourceRect, DWORD flags) {
    HRESULT injected;
    const RECT whole =
        source != nullptr ? RECT{0, 0, source->Width(), source->Height()} : RECT{0, 0, 0, 0};
    const RECT r = sourceRect != nullptr ? *sourceRect : whole;
    const POINT p = destPoint != nullptr ? *destPoint : POINT{0, 0};
    if (Enter("Load",
              SurfaceName(dest) + Format(", %d, %d, ", p.x, p.y) + SurfaceName(source) +
                  Format(", %d, %d, %d, %d, %u", r.left, r.top, r.right, r.bottom, flags),
              &injected)) {
        return injected;
    }
    if (dest == nullptr || source == nullptr) return DDERR_INVALIDPARAMS;
    if (dest->Lost() || source->Lost()) return DDERR_SURFACELOST;
    if (dest->Locked() || source->Locked() || dest->HasDc() || source->HasDc()) {
        return DDERR_SURFACEBUSY;
    }
    if (!SamePixelFormat(dest->Format(), source->Format())) return DDERR_INVALIDPIXELFORMAT;
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom ||
        r.right > source->Width() || r.bottom > source->Height() || p.x < 0 || p.y < 0 ||
        p.x + (r.right - r.left) > dest->Width() || p.y + (r.bottom - r.top) > dest->Height()) {
        return DDERR_INVALIDRECT;
    }
    const int bpp = dest->BytesPerPixel();
    const size_t rowBytes = static_cast<size_t>(r.right - r.left) * static_cast<size_t>(bpp);
    for (LONG y = r.top; y < r.bottom; ++y) {
        const uint8_t* from = source->Bits() + static_cast<int64_t>(y) * source->Pitch() +
                              static_cast<int64_t>(r.left) * bpp;
        uint8_t* to = dest->Bits() + static_cast<int64_t>(p.y + (y - r.top)) * dest->Pitch() +
                      static_cast<int64_t>(p.x) * bpp;
        std::memmove(to, from, rowBytes);
    }
    return D3D_OK;
}

// --- Test controls -----------------------------------------------------------------------------

namespace detail {

void ResetDirect3DControls() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_controls = Controls{};
}

}  // namespace detail

namespace testing {

void SetDirect3DProfile(const Direct3DProfile& profile) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_controls.haveProfile = true;
    g_controls.profile = profile;
}

void RecordDirect3DCalls(bool record) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_controls.record = record;
}

std::vector<std::string> Direct3DCallLog() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_controls.log;
}

void ClearDirect3DCallLog() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_controls.log.clear();
}

void InjectDirect3DResult(const char* method, int nth, int32_t result) {
    if (method == nullptr || nth < 1) return;
    std::lock_guard<std::mutex> lock(g_mutex);
    g_controls.injections.push_back(Injection{method, nth - 1, result});
}

void SetDirect3DStandAlone(bool standAlone) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_controls.standAlone = standAlone;
}

}  // namespace testing
}  // namespace plat
