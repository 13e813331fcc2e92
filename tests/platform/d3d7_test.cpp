// The Direct3D stand-in: the object and its enumeration from the device profile, the call log
// and injected results, scenes, and the rasteriser's coverage, stage, test and blend rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/d3d7/d3d7.h"
#include "platform/d3d7/internal.h"
#include "platform/ddraw/ddraw.h"
#include "platform/testing.h"
#include "platform/win/debug_output.h"

namespace plat {
namespace {

struct V0 {
    float x, y, z, rhw;
    uint32_t diffuse;
};
struct V1 {
    float x, y, z, rhw;
    uint32_t diffuse;
    float u, v;
};
constexpr DWORD kFvf0 = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
constexpr DWORD kFvf1 = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class D3D7Test : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Reset();
        testing::SetVirtualDesktop(1024, 768, 32, 60);
        ASSERT_EQ(CreateDirectDraw7(&dd_), DD_OK);
        ASSERT_EQ(dd_->Initialize(nullptr), DD_OK);
        void* out = nullptr;
        ASSERT_EQ(dd_->QueryInterface(IID_IDirect3D7, &out), D3D_OK);
        d3d_ = static_cast<Direct3D*>(out);
    }
    void TearDown() override {
        detail::SetFastSpans(true);
        if (device_ != nullptr) {
            if (device_->InScene()) device_->EndScene();
            device_->Release();
        }
        for (DirectDrawSurface* s : surfaces_) s->Release();
        if (d3d_ != nullptr) d3d_->Release();
        if (dd_ != nullptr) dd_->Release();
        testing::Reset();
    }

    DirectDrawSurface* Surface(int w, int h, const DDPixelFormat& f,
                               DWORD caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddpfPixelFormat = f;
        d.ddsCaps.dwCaps = caps;
        DirectDrawSurface* s = nullptr;
        EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DD_OK);
        if (s != nullptr) surfaces_.push_back(s);
        return s;
    }
    DirectDrawSurface* Texture(int w, int h, const DDPixelFormat& f) {
        return Surface(w, h, f, DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY);
    }
    // A device on a new target of the format, cleared to 0, inside a scene.
    DirectDrawSurface* Start(int w, int h, const DDPixelFormat& f = kPixelFormatXrgb32) {
        DirectDrawSurface* target = Surface(w, h, f);
        EXPECT_EQ(d3d_->CreateDevice(IID_IDirect3DTnLHalDevice, target, &device_), D3D_OK);
        EXPECT_EQ(device_->BeginScene(), D3D_OK);
        return target;
    }
    void Untextured() {
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    }
    void Additive() {
        device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
        device_->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
        device_->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    }
    void Rect(float x1, float y1, float x2, float y2, uint32_t colour) {
        V0 v[4] = {{x1, y1, 0, 1, colour},
                   {x2, y1, 0, 1, colour},
                   {x1, y2, 0, 1, colour},
                   {x2, y2, 0, 1, colour}};
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, kFvf0, v, 4, 0), D3D_OK);
    }
    void TexturedRect(float x1, float y1, float x2, float y2, float u1, float v1, float u2,
                      float v2, uint32_t colour = 0xFFFFFFFF) {
        V1 v[4] = {{x1, y1, 0, 1, colour, u1, v1},
                   {x2, y1, 0, 1, colour, u2, v1},
                   {x1, y2, 0, 1, colour, u1, v2},
                   {x2, y2, 0, 1, colour, u2, v2}};
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, kFvf1, v, 4, 0), D3D_OK);
    }

    DirectDraw* dd_ = nullptr;
    Direct3D* d3d_ = nullptr;
    Direct3DDevice* device_ = nullptr;
    std::vector<DirectDrawSurface*> surfaces_;
};

uint32_t Get(const DirectDrawSurface* s, int x, int y) {
    return ReadPixelBytes(s->Bits() + y * s->Pitch() + x * s->BytesPerPixel(), s->BytesPerPixel());
}
void Put(DirectDrawSurface* s, int x, int y, uint32_t v) {
    WritePixelBytes(s->Bits() + y * s->Pitch() + x * s->BytesPerPixel(), s->BytesPerPixel(), v);
}
// Pixels that are not zero, and whether any holds more than `most`.
int CountLit(const DirectDrawSurface* s, uint32_t most, bool* over) {
    int n = 0;
    *over = false;
    for (int y = 0; y < s->Height(); ++y) {
        for (int x = 0; x < s->Width(); ++x) {
            const uint32_t v = Get(s, x, y) & 0xFFFFFF;
            if (v != 0) ++n;
            if (v > most) *over = true;
        }
    }
    return n;
}

// --- Object, profile, log ------------------------------------------------------------------------

TEST_F(D3D7Test, QueryInterfaceGivesDirect3DOnlyForItsIdentifier) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(dd_->QueryInterface(IID_IDirect3DHALDevice, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    testing::InjectDirect3DResult("QueryInterface", 1, DDERR_GENERIC);
    EXPECT_EQ(dd_->QueryInterface(IID_IDirect3D7, &out), DDERR_GENERIC);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(dd_->QueryInterface(IID_IDirect3D7, &out), D3D_OK);
    auto* second = static_cast<Direct3D*>(out);
    EXPECT_EQ(second->Owner(), dd_);
    second->Release();
}

struct Collected {
    std::vector<D3DDEVICEDESC7> devices;
    std::vector<std::string> names;
    std::vector<DDPixelFormat> formats;
};

HRESULT CollectDevice(char*, char* name, D3DDEVICEDESC7* desc, void* context) {
    auto* c = static_cast<Collected*>(context);
    c->devices.push_back(*desc);
    c->names.push_back(name);
    return D3DENUMRET_OK;
}
HRESULT CollectFormat(DDPixelFormat* f, void* context) {
    static_cast<Collected*>(context)->formats.push_back(*f);
    return D3DENUMRET_OK;
}

TEST_F(D3D7Test, DefaultProfileEnumeratesOneTnlDeviceDepthAndSixTextureFormats) {
    Collected c;
    ASSERT_EQ(d3d_->EnumDevices(CollectDevice, &c), D3D_OK);
    ASSERT_EQ(c.devices.size(), 1u);
    const D3DDEVICEDESC7& d = c.devices[0];
    EXPECT_TRUE(d.deviceGUID == IID_IDirect3DTnLHalDevice);
    EXPECT_EQ(d.dwDeviceRenderBitDepth, DDBD_16 | DDBD_32);
    EXPECT_EQ(d.dwMinTextureWidth, 1u);
    EXPECT_EQ(d.dwMinTextureHeight, 1u);
    EXPECT_EQ(d.dwMaxTextureWidth, 2048u);
    EXPECT_EQ(d.dwMaxTextureHeight, 2048u);
    EXPECT_NE(d.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_POW2, 0u);
    EXPECT_EQ(d.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY, 0u);

    Collected z;
    ASSERT_EQ(d3d_->EnumZBufferFormats(IID_IDirect3DTnLHalDevice, CollectFormat, &z), D3D_OK);
    ASSERT_EQ(z.formats.size(), 1u);
    EXPECT_EQ(z.formats[0].flags, DDPF_ZBUFFER);
    EXPECT_EQ(z.formats[0].rgbBitCount, 16u);
    EXPECT_NE(d3d_->EnumZBufferFormats(IID_IDirect3DRGBDevice, CollectFormat, &z), D3D_OK);
    // The HAL device's list serves a TnL HAL device as well.
    Collected hal;
    ASSERT_EQ(d3d_->EnumZBufferFormats(IID_IDirect3DHALDevice, CollectFormat, &hal), D3D_OK);
    EXPECT_EQ(hal.formats.size(), 1u);

    DirectDrawSurface* target = Start(8, 8, kPixelFormat565);
    Collected t;
    ASSERT_EQ(device_->EnumTextureFormats(CollectFormat, &t), D3D_OK);
    const DDPixelFormat expected[] = {kPixelFormat565,      kPixelFormat555,
                                      kPixelFormatArgb4444, kPixelFormatArgb1555,
                                      kPixelFormatXrgb32,   kPixelFormatArgb32};
    ASSERT_EQ(t.formats.size(), 6u);
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(SamePixelFormat(t.formats[i], expected[i])) << i;
    EXPECT_EQ(device_->RenderTarget(), target);
}

TEST_F(D3D7Test, ProfileReplacedPerTestDecidesDevicesAndTargets) {
    Direct3DProfile p = DefaultDirect3DProfile();
    Direct3DDeviceEntry hal = p.devices[0];
    hal.name = "HAL";
    hal.desc.deviceGUID = IID_IDirect3DHALDevice;
    hal.desc.dwDeviceRenderBitDepth = DDBD_16;
    p.devices[0].name = "TnL";
    p.devices.insert(p.devices.begin(), hal);
    p.textureFormats = {kPixelFormatArgb4444};
    testing::SetDirect3DProfile(p);

    Collected c;
    ASSERT_EQ(d3d_->EnumDevices(CollectDevice, &c), D3D_OK);
    ASSERT_EQ(c.names.size(), 2u);
    EXPECT_EQ(c.names[0], "HAL");
    EXPECT_EQ(c.names[1], "TnL");

    DirectDrawSurface* t32 = Surface(4, 4, kPixelFormatXrgb32);
    DirectDrawSurface* t16 = Surface(4, 4, kPixelFormat565);
    Direct3DDevice* dev = nullptr;
    EXPECT_EQ(d3d_->CreateDevice(IID_IDirect3DHALDevice, t32, &dev), DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(dev, nullptr);
    EXPECT_EQ(d3d_->CreateDevice(IID_IDirect3DRGBDevice, t16, &dev), DDERR_INVALIDPARAMS);
    ASSERT_EQ(d3d_->CreateDevice(IID_IDirect3DHALDevice, t16, &dev), D3D_OK);
    Collected t;
    ASSERT_EQ(dev->EnumTextureFormats(CollectFormat, &t), D3D_OK);
    ASSERT_EQ(t.formats.size(), 1u);
    EXPECT_TRUE(SamePixelFormat(t.formats[0], kPixelFormatArgb4444));
    dev->Release();
}

TEST_F(D3D7Test, ScriptedCallsAreLoggedLineByLine) {
    testing::RecordDirect3DCalls(true);
    DirectDrawSurface* target = Surface(16, 8, kPixelFormat565);
    ASSERT_EQ(d3d_->CreateDevice(IID_IDirect3DTnLHalDevice, target, &device_), D3D_OK);
    DirectDrawSurface* tex = Texture(4, 4, kPixelFormatArgb4444);
    device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device_->SetTexture(0, tex);
    D3DVIEWPORT7 vp{1, 2, 3, 4, 0.0f, 1.0f};
    device_->SetViewport(&vp);
    device_->BeginScene();
    V0 v[3] = {};
    device_->DrawPrimitive(D3DPT_TRIANGLELIST, kFvf0, v, 3, 0);
    device_->EndScene();
    device_->SetTexture(0, nullptr);
    const std::vector<std::string> expected = {
        "CreateDevice(IID_IDirect3DTnLHalDevice, 16x8x16)",
        "SetRenderState(27, 1)",
        "SetTextureStageState(0, 1, 4)",
        "SetTexture(0, 4x4x16)",
        "SetViewport(1, 2, 3, 4, 0, 1)",
        "BeginScene()",
        "DrawPrimitive(4, 0x44, 3, 0)",
        "EndScene()",
        "SetTexture(0, null)",
    };
    EXPECT_EQ(testing::Direct3DCallLog(), expected);
}

TEST_F(D3D7Test, InjectedResultReplacesTheNthCallOfAMethod) {
    DirectDrawSurface* target = Start(4, 4);
    testing::InjectDirect3DResult("SetRenderState", 2, DDERR_GENERIC);
    EXPECT_EQ(device_->SetRenderState(D3DRENDERSTATE_ALPHAREF, 5), D3D_OK);
    EXPECT_EQ(device_->SetRenderState(D3DRENDERSTATE_ALPHAREF, 6), DDERR_GENERIC);
    EXPECT_EQ(device_->SetRenderState(D3DRENDERSTATE_ALPHAREF, 7), D3D_OK);
    DWORD v = 0;
    device_->GetRenderState(D3DRENDERSTATE_ALPHAREF, &v);
    EXPECT_EQ(v, 7u);
    // An injected draw reaches no pixel.
    Untextured();
    testing::InjectDirect3DResult("DrawPrimitive", 1, D3DERR_INVALIDCALL);
    V0 q[4] = {{0, 0, 0, 1, 0xFFFFFFFF},
               {4, 0, 0, 1, 0xFFFFFFFF},
               {0, 4, 0, 1, 0xFFFFFFFF},
               {4, 4, 0, 1, 0xFFFFFFFF}};
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, kFvf0, q, 4, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(Get(target, 1, 1), 0u);
    // A stand-alone device records and answers but draws nothing.
    testing::SetDirect3DStandAlone(true);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, kFvf0, q, 4, 0), D3D_OK);
    EXPECT_EQ(Get(target, 1, 1), 0u);
    testing::SetDirect3DStandAlone(false);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, kFvf0, q, 4, 0), D3D_OK);
    EXPECT_EQ(Get(target, 1, 1) & 0xFFFFFF, 0xFFFFFFu);
}

// --- Scenes --------------------------------------------------------------------------------------

TEST_F(D3D7Test, DrawOutsideASceneFails) {
    DirectDrawSurface* target = Surface(4, 4, kPixelFormatXrgb32);
    ASSERT_EQ(d3d_->CreateDevice(IID_IDirect3DTnLHalDevice, target, &device_), D3D_OK);
    Untextured();
    V0 v[3] = {{0, 0, 0, 1, 0xFFFFFFFF}, {4, 0, 0, 1, 0xFFFFFFFF}, {0, 4, 0, 1, 0xFFFFFFFF}};
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, kFvf0, v, 3, 0),
              D3DERR_SCENE_NOT_IN_SCENE);
    const WORD idx[3] = {0, 1, 2};
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, kFvf0, v, 3, idx, 3, 0),
              D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(Get(target, 0, 0), 0u);
    EXPECT_EQ(device_->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3DERR_SCENE_IN_SCENE);
}

TEST_F(D3D7Test, TargetAndBoundTexturesRefuseOtherUseWhileASceneIsOpen) {
    DirectDrawSurface* target = Surface(8, 8, kPixelFormatXrgb32);
    ASSERT_EQ(d3d_->CreateDevice(IID_IDirect3DTnLHalDevice, target, &device_), D3D_OK);
    DirectDrawSurface* bound = Texture(8, 8, kPixelFormatXrgb32);
    DirectDrawSurface* later = Texture(8, 8, kPixelFormatXrgb32);
    DirectDrawSurface* other = Surface(8, 8, kPixelFormatXrgb32);
    ASSERT_EQ(device_->SetTexture(0, bound), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(device_->SetTexture(1, later), D3D_OK);

    BeginDebugOutputCapture();
    for (DirectDrawSurface* s : {target, bound, later}) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
        EXPECT_EQ(d.lpSurface, nullptr);
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACEBUSY);
        EXPECT_EQ(other->Blt(nullptr, s, nullptr, 0, nullptr), DDERR_SURFACEBUSY);
        EXPECT_EQ(other->BltFast(0, 0, s, nullptr, 0), DDERR_SURFACEBUSY);
        EXPECT_EQ(s->BltFast(0, 0, other, nullptr, 0), DDERR_SURFACEBUSY);
        HDC dc = nullptr;
        EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACEBUSY);
    }
    const std::string said = EndDebugOutputCapture();
    EXPECT_NE(said.find("DirectDrawSurface::Lock refused"), std::string::npos);
    EXPECT_NE(said.find("DirectDrawSurface::GetDC refused"), std::string::npos);

    // A texture unbound inside the scene is free again; everything is after EndScene.
    ASSERT_EQ(device_->SetTexture(1, nullptr), D3D_OK);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(later->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    later->Unlock(nullptr);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    for (DirectDrawSurface* s : {target, bound}) {
        ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        s->Unlock(nullptr);
    }
}

// --- Textures ------------------------------------------------------------------------------------

TEST_F(D3D7Test, TexturesInTheSixFormatsCopyExactlyToATargetOfTheirFormat) {
    const DDPixelFormat formats[] = {kPixelFormat565,      kPixelFormat555,    kPixelFormatArgb4444,
                                     kPixelFormatArgb1555, kPixelFormatXrgb32, kPixelFormatArgb32};
    std::mt19937 rng(7);
    for (bool fast : {true, false}) {
        detail::SetFastSpans(fast);
        for (const DDPixelFormat& f : formats) {
            SCOPED_TRACE(::testing::Message() << "bits " << f.rgbBitCount << " alpha "
                                              << f.alphaMask << " fast " << fast);
            DDSURFACEDESC2 d{};
            d.dwSize = sizeof d;
            d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
            d.dwWidth = 16;
            d.dwHeight = 8;
            d.ddpfPixelFormat = f;
            d.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY;
            d.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
            DirectDrawSurface* tex = nullptr;
            ASSERT_EQ(dd_->CreateSurface(&d, &tex, nullptr), DD_OK);
            surfaces_.push_back(tex);
            const uint32_t mask = f.redMask | f.greenMask | f.blueMask | f.alphaMask;
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 16; ++x) Put(tex, x, y, rng() & mask);
            }
            DirectDrawSurface* target = Surface(16, 8, f);
            if (device_ == nullptr) {
                ASSERT_EQ(d3d_->CreateDevice(IID_IDirect3DTnLHalDevice, target, &device_), D3D_OK);
            } else {
                ASSERT_EQ(device_->SetRenderTarget(target, 0), D3D_OK);
            }
            ASSERT_EQ(device_->SetTexture(0, tex), D3D_OK);
            device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
            device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
            ASSERT_EQ(device_->BeginScene(), D3D_OK);
            TexturedRect(0, 0, 16, 8, 0, 0, 1, 1);  // white diffuse: modulate keeps the texel
            ASSERT_EQ(device_->EndScene(), D3D_OK);
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 16; ++x) {
                    ASSERT_EQ(Get(target, x, y) & mask, Get(tex, x, y)) << x << "," << y;
                }
            }
        }
    }
}

TEST_F(D3D7Test, LoadCopiesARectangleBetweenTexturesOfOneFormat) {
    Start(4, 4);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    DirectDrawSurface* from = Texture(8, 8, kPixelFormat565);
    DirectDrawSurface* to = Texture(8, 8, kPixelFormat565);
    DirectDrawSurface* wrong = Texture(8, 8, kPixelFormatXrgb32);
    Put(from, 2, 3, 0x1234);
    POINT at{5, 6};
    RECT r{2, 3, 4, 5};
    ASSERT_EQ(device_->Load(to, &at, from, &r, 0), D3D_OK);
    EXPECT_EQ(Get(to, 5, 6), 0x1234u);
    EXPECT_EQ(device_->Load(wrong, &at, from, &r, 0), DDERR_INVALIDPIXELFORMAT);
    POINT outside{7, 7};
    EXPECT_EQ(device_->Load(to, &outside, from, &r, 0), DDERR_INVALIDRECT);
}

// --- Coverage ------------------------------------------------------------------------------------

TEST_F(D3D7Test, QuadEdgesFollowPixelCentresAndTheTopLeftRule) {
    struct Case {
        float from, to;
        int first, last;
    };
    const Case cases[] = {{83.5f, 115.5f, 84, 115}, {84.5f, 115.5f, 85, 115}, {84, 116, 84, 115}};
    for (const Case& c : cases) {
        DirectDrawSurface* target = Start(128, 128);
        Untextured();
        Additive();
        Rect(c.from, c.from, c.to, c.to, 0x00000001);
        bool over = false;
        const int side = c.last - c.first + 1;
        EXPECT_EQ(CountLit(target, 1, &over), side * side) << c.from;
        EXPECT_FALSE(over);
        EXPECT_EQ(Get(target, c.first, c.first) & 0xFF, 1u);
        EXPECT_EQ(Get(target, c.last, c.last) & 0xFF, 1u);
        EXPECT_EQ(Get(target, c.first - 1, c.first) & 0xFF, 0u);
        EXPECT_EQ(Get(target, c.last + 1, c.last) & 0xFF, 0u);
        EXPECT_EQ(Get(target, c.last, c.last + 1) & 0xFF, 0u);
        device_->EndScene();
        device_->Release();
        device_ = nullptr;
    }
}

TEST_F(D3D7Test, TrianglesSharingEdgesCoverEachPixelOnce) {
    DirectDrawSurface* target = Start(64, 64);
    Untextured();
    Additive();
    // An irregular fan and a mesh of slanted triangles over one rectangle.
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> jitter(-0.45f, 0.45f);
    const int n = 5;
    float px[n + 1][n + 1], py[n + 1][n + 1];
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            const bool border = i == 0 || j == 0 || i == n || j == n;
            px[j][i] = 4.0f + 10.0f * static_cast<float>(i) + (border ? 0.0f : 4 * jitter(rng));
            py[j][i] = 4.0f + 10.0f * static_cast<float>(j) + (border ? 0.0f : 4 * jitter(rng));
        }
    }
    std::vector<V0> tris;
    auto add = [&](int i, int j) { tris.push_back({px[j][i], py[j][i], 0, 1, 0x00000001}); };
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            add(i, j), add(i + 1, j), add(i + 1, j + 1);
            add(i, j), add(i + 1, j + 1), add(i, j + 1);
        }
    }
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, kFvf0, tris.data(),
                                     static_cast<DWORD>(tris.size()), 0),
              D3D_OK);
    bool over = false;
    EXPECT_EQ(CountLit(target, 1, &over), 50 * 50);
    EXPECT_FALSE(over);
}

TEST_F(D3D7Test, IndexedStripWithDegenerateJoinsCoversEachPixelOnce) {
    DirectDrawSurface* target = Start(32, 32);
    Untextured();
    Additive();
    // A 3 x 3 grid as two strip rows joined by repeated indices.
    std::vector<V0> v;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            v.push_back({static_cast<float>(2 + 8 * c), static_cast<float>(2 + 8 * r), 0, 1, 1});
        }
    }
    const WORD idx[] = {3, 0, 4, 1, 5, 2, 2, 6, 6, 3, 7, 4, 8, 5};
    ASSERT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, kFvf0, v.data(), 9, idx, 14, 0),
              D3D_OK);
    bool over = false;
    EXPECT_EQ(CountLit(target, 1, &over), 16 * 16);
    EXPECT_FALSE(over);
}

TEST_F(D3D7Test, LinesLeaveOutTheirLastPixel) {
    struct Case {
        float x1, y1, x2, y2;
        int firstRow, lastRow;
    };
    const Case cases[] = {{10, 10, 10, 19.9f, 10, 19}, {10, 20, 10, 10, 11, 20}};
    for (const Case& c : cases) {
        DirectDrawSurface* target = Start(32, 32);
        Untextured();
        V0 v[2] = {{c.x1, c.y1, 0, 1, 0xFFFFFFFF}, {c.x2, c.y2, 0, 1, 0xFFFFFFFF}};
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_LINELIST, kFvf0, v, 2, 0), D3D_OK);
        for (int y = 0; y < 32; ++y) {
            const bool lit = (Get(target, 10, y) & 0xFFFFFF) != 0;
            EXPECT_EQ(lit, y >= c.firstRow && y <= c.lastRow) << "row " << y;
        }
        bool over = false;
        EXPECT_EQ(CountLit(target, 0xFFFFFF, &over), c.lastRow - c.firstRow + 1);
        device_->EndScene();
        device_->Release();
        device_ = nullptr;
    }
}

TEST_F(D3D7Test, FrameOfFourLinesLightsTenPixelsOnce) {
    DirectDrawSurface* target = Start(8, 8);
    Untextured();
    Additive();
    // The outline (0, 0)-(4, 3): L 0, T 0, R 3, B 2.
    const uint32_t c = 1;
    V0 v[8] = {{0, 0, 0, 1, c}, {2.9f, 0, 0, 1, c}, {3, 0, 0, 1, c}, {3, 1.9f, 0, 1, c},
               {0, 2, 0, 1, c}, {3.9f, 2, 0, 1, c}, {0, 1, 0, 1, c}, {0, 1.9f, 0, 1, c}};
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_LINELIST, kFvf0, v, 8, 0), D3D_OK);
    bool over = false;
    EXPECT_EQ(CountLit(target, 1, &over), 10);
    EXPECT_FALSE(over);
    EXPECT_EQ(Get(target, 1, 1) & 0xFF, 0u);
}

TEST_F(D3D7Test, PointsLightTheirPixel) {
    DirectDrawSurface* target = Start(8, 8);
    Untextured();
    V0 v[2] = {{3, 4, 0, 1, 0xFF00FF00}, {5.4f, 1.6f, 0, 1, 0xFFFF0000}};
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_POINTLIST, kFvf0, v, 2, 0), D3D_OK);
    EXPECT_EQ(Get(target, 3, 4) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(Get(target, 5, 2) & 0xFFFFFF, 0xFF0000u);
    bool over = false;
    EXPECT_EQ(CountLit(target, 0xFFFFFF, &over), 2);
}

TEST_F(D3D7Test, FlatShadingTakesEachPrimitivesFirstVertex) {
    DirectDrawSurface* target = Start(16, 8);
    Untextured();
    device_->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    // A strip of two triangles: the first takes vertex 0, the second vertex 1; the stale
    // colours of later vertices are ignored.
    V0 v[4] = {{0, 0, 0, 1, 0xFFFF0000},
               {16, 0, 0, 1, 0xFF00FF00},
               {0, 8, 0, 1, 0xFF0000FF},
               {16, 8, 0, 1, 0xFF123456}};
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, kFvf0, v, 4, 0), D3D_OK);
    EXPECT_EQ(Get(target, 1, 1) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(Get(target, 14, 6) & 0xFFFFFF, 0x00FF00u);
    // Gouraud interpolates between them.
    device_->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    V0 g[3] = {{0, 0, 0, 1, 0xFF000000}, {16, 0, 0, 1, 0xFFFF0000}, {0, 8, 0, 1, 0xFF000000}};
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, kFvf0, g, 3, 0), D3D_OK);
    const uint32_t red = (Get(target, 8, 0) >> 16) & 0xFF;
    EXPECT_EQ(red, 128u);  // 255 x 8 / 16, rounded
}

TEST_F(D3D7Test, ViewportClipsWithoutMovingTheDrawing) {
    DirectDrawSurface* target = Start(16, 16);
    Untextured();
    D3DVIEWPORT7 vp{2, 3, 4, 5, 0.0f, 1.0f};
    ASSERT_EQ(device_->SetViewport(&vp), D3D_OK);
    Rect(0, 0, 16, 16, 0xFFFFFFFF);
    V0 line[2] = {{0, 4, 0, 1, 0xFFFFFFFF}, {16, 4, 0, 1, 0xFFFFFFFF}};
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_LINELIST, kFvf0, line, 2, 0), D3D_OK);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool inside = x >= 2 && x < 6 && y >= 3 && y < 8;
            EXPECT_EQ((Get(target, x, y) & 0xFFFFFF) != 0, inside) << x << "," << y;
        }
    }
}

// --- Stages, tests and blending ----------------------------------------------------------------

// One pixel drawn with a 1 x 1 texture, diffuse, specular and texture factor known.
class D3D7PixelTest : public D3D7Test {
protected:
    uint32_t Draw(uint32_t texel, uint32_t diffuse, bool withTexture = true) {
        DirectDrawSurface* tex = Texture(1, 1, kPixelFormatArgb32);
        Put(tex, 0, 0, texel);
        device_->SetTexture(0, withTexture ? tex : nullptr);
        device_->SetRenderState(D3DRENDERSTATE_TEXTUREFACTOR, 0x40C08020);
        struct V2 {
            float x, y, z, rhw;
            uint32_t diffuse, specular;
            float u, v;
        } v[4] = {{0, 0, 0, 1, diffuse, 0x80102030, 0, 0},
                  {2, 0, 0, 1, diffuse, 0x80102030, 1, 0},
                  {0, 2, 0, 1, diffuse, 0x80102030, 0, 1},
                  {2, 2, 0, 1, diffuse, 0x80102030, 1, 1}};
        EXPECT_EQ(device_->DrawPrimitive(
                      D3DPT_TRIANGLESTRIP,
                      D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1, v, 4, 0),
                  D3D_OK);
        return Get(target_, 1, 1);
    }
    void Stage(DWORD s, DWORD cop, DWORD c1, DWORD c2, DWORD aop, DWORD a1, DWORD a2) {
        device_->SetTextureStageState(s, D3DTSS_COLOROP, cop);
        device_->SetTextureStageState(s, D3DTSS_COLORARG1, c1);
        device_->SetTextureStageState(s, D3DTSS_COLORARG2, c2);
        device_->SetTextureStageState(s, D3DTSS_ALPHAOP, aop);
        device_->SetTextureStageState(s, D3DTSS_ALPHAARG1, a1);
        device_->SetTextureStageState(s, D3DTSS_ALPHAARG2, a2);
    }
    void SetUp() override {
        D3D7Test::SetUp();
        target_ = Start(2, 2, kPixelFormatArgb32);
    }
    DirectDrawSurface* target_ = nullptr;
};

TEST_F(D3D7PixelTest, StageOperationsAndArgumentsTruthTable) {
    const uint32_t texel = 0x80C04020, diffuse = 0xFF806040;
    struct Case {
        DWORD op, a1, a2;
        uint32_t expected;
    };
    // clang-format off
    const Case cases[] = {
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0x80C04020},
        {D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0xFF806040},
        {D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE, 0x40C08020},
        {D3DTOP_SELECTARG1, D3DTA_SPECULAR, D3DTA_DIFFUSE, 0x80102030},
        {D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_TEXTURE, 0xFF806040},  // stage 0: the diffuse
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, 0, 0x7F3FBFDF},
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE, 0, 0x80808080},
        {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0x80601808},     // (a b + 127) / 255
        {D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0xFFC03010},
        {D3DTOP_MODULATE4X, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0xFFFF6020},
        {D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0xFFFFA060},          // saturating
        {D3DTOP_ADDSIGNED, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0xFFC02000},
        {D3DTOP_ADDSIGNED2X, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0xFFFF4000},
        {D3DTOP_SUBTRACT, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0x00400000},     // clamped at 0
    };
    // clang-format on
    for (const Case& c : cases) {
        Stage(0, c.op, c.a1, c.a2, c.op, c.a1, c.a2);
        EXPECT_EQ(Draw(texel, diffuse), c.expected)
            << "op " << c.op << " args " << c.a1 << "," << c.a2;
    }
}

TEST_F(D3D7PixelTest, CascadeRunsUntilTheFirstDisabledColourOperation) {
    Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0);
    Stage(1, D3DTOP_ADD, D3DTA_CURRENT, D3DTA_TFACTOR, D3DTOP_SELECTARG2, 0, D3DTA_TFACTOR);
    Stage(2, D3DTOP_DISABLE, 0, 0, D3DTOP_DISABLE, 0, 0);
    Stage(3, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, 0, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, 0);
    EXPECT_EQ(Draw(0x80102030, 0xFFFFFFFF), 0x40D0A050u);
    // Alpha DISABLE under an enabled colour operation keeps the current alpha.
    Stage(1, D3DTOP_ADD, D3DTA_CURRENT, D3DTA_TFACTOR, D3DTOP_DISABLE, 0, 0);
    EXPECT_EQ(Draw(0x80102030, 0xFFFFFFFF), 0x80D0A050u);
    // Stage 0 disabled: the diffuse colour.
    Stage(0, D3DTOP_DISABLE, 0, 0, D3DTOP_DISABLE, 0, 0);
    EXPECT_EQ(Draw(0x80102030, 0x11223344), 0x11223344u);
}

TEST_F(D3D7PixelTest, TextureArgumentOfAnEmptyStagePassesTheCurrentColour) {
    Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0);
    EXPECT_EQ(Draw(0xFFFFFFFF, 0x80406080, false), 0x80406080u);
    Stage(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE,
          D3DTA_DIFFUSE);
    EXPECT_EQ(Draw(0xFFFFFFFF, 0xFFFFFFFF, false), 0xFFFFFFFFu);
}

TEST_F(D3D7PixelTest, AlphaTestFunctionsTruthTable) {
    Stage(0, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, 0, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, 0);
    device_->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, 1);
    device_->SetRenderState(D3DRENDERSTATE_ALPHAREF, 0x80);
    struct Case {
        DWORD func;
        bool below, equal, above;  // alpha 0x7F, 0x80, 0x81 pass
    };
    // clang-format off
    const Case cases[] = {
        {D3DCMP_NEVER, false, false, false},   {D3DCMP_LESS, true, false, false},
        {D3DCMP_EQUAL, false, true, false},    {D3DCMP_LESSEQUAL, true, true, false},
        {D3DCMP_GREATER, false, false, true},  {D3DCMP_NOTEQUAL, true, false, true},
        {D3DCMP_GREATEREQUAL, false, true, true}, {D3DCMP_ALWAYS, true, true, true},
        {0, true, true, true},  // no function sent: always
    };
    // clang-format on
    for (const Case& c : cases) {
        device_->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, c.func);
        const uint32_t alphas[3] = {0x7F, 0x80, 0x81};
        const bool pass[3] = {c.below, c.equal, c.above};
        for (int i = 0; i < 3; ++i) {
            Put(target_, 1, 1, 0);
            const uint32_t colour = (alphas[i] << 24) | 0x112233;
            EXPECT_EQ(Draw(0, colour) == colour, pass[i])
                << "func " << c.func << " alpha " << alphas[i];
        }
    }
}

TEST_F(D3D7PixelTest, BlendFactorPairsTruthTable) {
    Stage(0, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, 0, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, 0);
    device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    const uint32_t src = 0x40FF8000, dst = 0xC0204080;
    struct Case {
        DWORD s, d;
        uint32_t expected;
    };
    // clang-format off
    const Case cases[] = {
        {D3DBLEND_ONE, D3DBLEND_ZERO, 0x40FF8000},
        {0, 0, 0x40FF8000},                              // 0 is ONE and ZERO
        {D3DBLEND_ZERO, D3DBLEND_ONE, 0xC0204080},
        {D3DBLEND_ONE, D3DBLEND_ONE, 0xFFFFC080},
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0xA0585060},
        {D3DBLEND_SRCALPHA, D3DBLEND_ONE, 0xD0606080},
        {D3DBLEND_SRCCOLOR, D3DBLEND_ZERO, 0x10FF4000},
        {D3DBLEND_ZERO, D3DBLEND_INVDESTCOLOR, 0x2F1C3040},
        {D3DBLEND_ONE, 0, 0x40FF8000},                   // destination 0 is ZERO
    };
    // clang-format on
    // Flat shading with the fast spans takes the one-colour span; every path agrees.
    for (const DWORD shade : {DWORD(D3DSHADE_GOURAUD), DWORD(D3DSHADE_FLAT)}) {
        device_->SetRenderState(D3DRENDERSTATE_SHADEMODE, shade);
        for (const bool fast : {true, false}) {
            detail::SetFastSpans(fast);
            for (const bool textured : {true, false}) {
                for (const Case& c : cases) {
                    device_->SetRenderState(D3DRENDERSTATE_SRCBLEND, c.s);
                    device_->SetRenderState(D3DRENDERSTATE_DESTBLEND, c.d);
                    Put(target_, 1, 1, dst);
                    EXPECT_EQ(Draw(0, src, textured), c.expected)
                        << std::hex << "src " << c.s << " dest " << c.d << " shade " << shade
                        << " fast " << fast << " textured " << textured;
                }
            }
        }
    }
    device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
    EXPECT_EQ(Draw(0, src, false), 0x40FF8000u);
}

TEST_F(D3D7PixelTest, ColourKeyDropsKeyedTexelsOnlyWhenEnabled) {
    Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0);
    DirectDrawSurface* tex = Texture(2, 1, kPixelFormat565);
    Put(tex, 0, 0, 0xF81F);  // the key
    Put(tex, 1, 0, 0x07E0);
    DDCOLORKEY key{0xF81F, 0xF81F};
    ASSERT_EQ(tex->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    device_->SetTexture(0, tex);
    for (bool fast : {true, false}) {
        detail::SetFastSpans(fast);
        for (DWORD enable : {1u, 0u}) {
            device_->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, enable);
            for (int y = 0; y < 2; ++y) {
                Put(target_, 0, y, 0x01020304);
                Put(target_, 1, y, 0x01020304);
            }
            TexturedRect(0, 0, 2, 2, 0, 0, 1, 1);
            EXPECT_EQ(Get(target_, 0, 0), enable != 0 ? 0x01020304u : 0xFFFF00FFu);
            EXPECT_EQ(Get(target_, 1, 0), 0xFF00FF00u);
        }
    }
}

TEST_F(D3D7PixelTest, LinearSamplingBlendsNeighboursAndClamps) {
    Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0);
    DirectDrawSurface* tex = Texture(2, 1, kPixelFormatXrgb32);
    Put(tex, 0, 0, 0x000000);
    Put(tex, 1, 0, 0xFFFFFF);
    device_->SetTexture(0, tex);
    device_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    device_->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    // Every pixel samples u = 0.5: half way between the texel centres.
    TexturedRect(0, 0, 2, 2, 0.5f, 0, 0.5f, 1);
    EXPECT_EQ(Get(target_, 1, 1) & 0xFF, 128u);
    // Beyond the texture the edge texels hold.
    TexturedRect(0, 0, 2, 2, 3.0f, 0, 3.0f, 1);
    EXPECT_EQ(Get(target_, 1, 1) & 0xFFFFFF, 0xFFFFFFu);
    TexturedRect(0, 0, 2, 2, -2.0f, 0, -2.0f, 1);
    EXPECT_EQ(Get(target_, 1, 1) & 0xFFFFFF, 0u);
}

TEST_F(D3D7Test, SixteenBitTargetsWidenByRepeatingBitsAndNarrowByTruncating) {
    DirectDrawSurface* target = Start(2, 2, kPixelFormat565);
    Untextured();
    device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    device_->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ZERO);
    device_->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    Put(target, 1, 1, 0xFFFF);
    Rect(0, 0, 2, 2, 0xFF000000);
    EXPECT_EQ(Get(target, 1, 1), 0xFFFFu);  // 31 -> 255 -> 31, unchanged
    device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
    Rect(0, 0, 2, 2, 0xFF0F0F0F);  // 15 -> 1 in five bits, 3 in six
    EXPECT_EQ(Get(target, 1, 1), (1u << 11) | (3u << 5) | 1u);
}

// --- Fast spans ----------------------------------------------------------------------------------

TEST_F(D3D7Test, FastSpansGiveTheBitsOfTheGeneralPath) {
    const DDPixelFormat texFormats[] = {kPixelFormat565,      kPixelFormat555,
                                        kPixelFormatArgb4444, kPixelFormatArgb1555,
                                        kPixelFormatXrgb32,   kPixelFormatArgb32};
    const DDPixelFormat targetFormats[] = {kPixelFormat565, kPixelFormatXrgb32, kPixelFormatArgb32};
    std::mt19937 rng(2024);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::uniform_real_distribution<float> coord(-8.0f, 72.0f);
    std::uniform_real_distribution<float> tc(-0.3f, 1.3f);

    DirectDrawSurface* first = Surface(64, 64, kPixelFormatXrgb32);
    ASSERT_EQ(d3d_->CreateDevice(IID_IDirect3DTnLHalDevice, first, &device_), D3D_OK);
    for (int round = 0; round < 420; ++round) {
        SCOPED_TRACE(round);
        const DDPixelFormat& tf = texFormats[pick(6)];
        const DDPixelFormat& gf = targetFormats[pick(3)];
        DirectDrawSurface* tex = Texture(16, 8, tf);
        const uint32_t texMask = tf.redMask | tf.greenMask | tf.blueMask | tf.alphaMask;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 16; ++x) Put(tex, x, y, rng() & texMask);
        }
        const DDCOLORKEY key{Get(tex, 3, 3), Get(tex, 3, 3)};
        tex->SetColorKey(DDCKEY_SRCBLT, &key);
        DirectDrawSurface* targets[2] = {Surface(64, 64, gf), Surface(64, 64, gf)};
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                const uint32_t v = rng();
                Put(targets[0], x, y, v);
                Put(targets[1], x, y, v);
            }
        }
        const DWORD cops[][3] = {{D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE},
                                 {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE}};
        const DWORD aops[][3] = {{D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE},
                                 {D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE},
                                 {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE}};
        const DWORD blends[][3] = {{0, D3DBLEND_ONE, D3DBLEND_ZERO},
                                   {1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
                                   {1, D3DBLEND_ONE, D3DBLEND_ONE},
                                   {1, D3DBLEND_SRCALPHA, D3DBLEND_ONE},
                                   {1, 0, 0}};
        const auto& cop = cops[pick(2)];
        const auto& aop = aops[pick(3)];
        const auto& blend = blends[pick(5)];
        const DWORD shade = pick(2) != 0 ? D3DSHADE_FLAT : D3DSHADE_GOURAUD;
        const DWORD keyOn = static_cast<DWORD>(pick(2));
        const DWORD test = static_cast<DWORD>(pick(2));
        const DWORD ref = static_cast<DWORD>(pick(256));
        const DWORD funcs[] = {D3DCMP_NEVER,        D3DCMP_LESS,    D3DCMP_EQUAL,
                               D3DCMP_LESSEQUAL,    D3DCMP_GREATER, D3DCMP_NOTEQUAL,
                               D3DCMP_GREATEREQUAL, D3DCMP_ALWAYS};
        const DWORD func = funcs[pick(8)];
        std::vector<V1> v(6);
        for (V1& p : v)
            p = {coord(rng), coord(rng), 0, 1, static_cast<uint32_t>(rng()), tc(rng), tc(rng)};
        if (round % 7 == 6) {
            // Coordinates far outside the texture, and across the clamp to the last texel.
            const float far[] = {1e10f, -1e10f, 1e30f, -3.5f, 4.0f, 1.0f, 0.999999f, std::nanf("")};
            for (V1& p : v) p.u = far[pick(8)], p.v = far[pick(8)];
        }
        if (round % 10 == 8) {
            // Edges that run far beyond the target, to the clamp of the coordinates and past it.
            std::uniform_real_distribution<float> wide(-90000.0f, 90000.0f);
            for (V1& p : v) p.x = wide(rng), p.y = wide(rng);
            v[0].x = coord(rng), v[0].y = coord(rng);
        }
        if (round % 3 == 2) {
            // White, as the engine draws at full brightness: modulation leaves the texel.
            for (V1& p : v) p.diffuse = 0xFFFFFFFFu;
        }
        if (round % 2 == 1) {
            // An upright sprite, as the engine draws graphs: corners at half pixels, the
            // texture's v the same along each row.
            float x1 = std::floor(coord(rng)) - 0.5f;
            const float y1 = std::floor(coord(rng)) - 0.5f;
            float x2 = x1 + 1.0f + static_cast<float>(pick(40));
            const float y2 = y1 + 1.0f + static_cast<float>(pick(40));
            float u1 = tc(rng), v1 = tc(rng), u2 = tc(rng), v2 = tc(rng);
            if (round % 4 == 1) {
                // A texel a pixel (the engine's unscaled graphs), forwards or mirrored, at a
                // texel's centre or off it, and at a pixel's corner or off it.
                const float offsets[] = {0.0f, 0.25f, 0.5f, 0.75f};
                u1 = (static_cast<float>(pick(16)) + offsets[pick(4)]) / 16.0f;
                u2 = u1 + (pick(2) != 0 ? 1.0f : -1.0f) * (x2 - x1) / 16.0f;
                if (pick(2) != 0) {
                    const float shift = offsets[pick(4)] - 0.375f;
                    x1 += shift;
                    x2 += shift;
                }
            }
            const V1 tl{x1, y1, 0, 1, v[0].diffuse, u1, v1}, tr{x2, y1, 0, 1, v[1].diffuse, u2, v1};
            const V1 bl{x1, y2, 0, 1, v[2].diffuse, u1, v2}, br{x2, y2, 0, 1, v[3].diffuse, u2, v2};
            v = {tl, tr, bl, br, bl, tr};
        }
        for (int path = 0; path < 2; ++path) {
            detail::SetFastSpans(path == 0);
            ASSERT_EQ(device_->SetRenderTarget(targets[path], 0), D3D_OK);
            device_->SetTexture(0, tex);
            device_->SetTextureStageState(0, D3DTSS_COLOROP, cop[0]);
            device_->SetTextureStageState(0, D3DTSS_COLORARG1, cop[1]);
            device_->SetTextureStageState(0, D3DTSS_COLORARG2, cop[2]);
            device_->SetTextureStageState(0, D3DTSS_ALPHAOP, aop[0]);
            device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, aop[1]);
            device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, aop[2]);
            device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, blend[0]);
            device_->SetRenderState(D3DRENDERSTATE_SRCBLEND, blend[1]);
            device_->SetRenderState(D3DRENDERSTATE_DESTBLEND, blend[2]);
            device_->SetRenderState(D3DRENDERSTATE_SHADEMODE, shade);
            device_->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, keyOn);
            device_->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, test);
            device_->SetRenderState(D3DRENDERSTATE_ALPHAREF, ref);
            device_->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, func);
            ASSERT_EQ(device_->BeginScene(), D3D_OK);
            ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, kFvf1, v.data(), 6, 0), D3D_OK);
            ASSERT_EQ(device_->EndScene(), D3D_OK);
        }
        for (int y = 0; y < 64; ++y) {
            ASSERT_EQ(std::memcmp(targets[0]->Bits() + y * targets[0]->Pitch(),
                                  targets[1]->Bits() + y * targets[1]->Pitch(),
                                  64 * static_cast<size_t>(targets[0]->BytesPerPixel())),
                      0)
                << "row " << y;
        }
    }
}

}  // namespace
}  // namespace plat
