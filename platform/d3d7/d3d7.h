// The Direct3D stand-in: the Direct3D object reached from the DirectDraw object, and a device
// that draws pre-transformed vertices into DirectDraw surfaces with a software rasteriser.
//
// What the device reports is a device profile (one TnL HAL device for 16- and 32-bit targets
// by default; tests put their own in place through platform/testing.h). Every device call can
// be recorded as a line of text, and a test can make the n-th call of a method give a chosen
// result instead of running.
//
// Pixel rules of the rasteriser:
// - Vertices are pre-transformed (x, y in pixels, z and rhw ignored); transforms are stored
//   only. A pixel's centre lies on integer coordinates; triangles follow the top-left fill
//   rule and are never culled. Lines step along their major axis and leave out the pixel whose
//   diamond they end in; a point lights the pixel whose centre is nearest.
// - The viewport only clips. Flat shading takes each primitive's first vertex (the second for
//   a fan, whose first vertex is shared), Gouraud interpolates.
// - Colours are 8-bit channels. Modulate is (a x b + 127) / 255, adds saturate. 16-bit pixels
//   are widened by repeating their top bits and narrowed by truncation, without dithering, so
//   opaque copies and fills between the same formats are exact.
// - Textures are sampled with clamped coordinates, point or linear. With colour keying on, a
//   pixel whose nearest texel matches the texture's source key is not drawn; in linear
//   filtering keyed texels count as transparent black.
// - Depth states are stored without effect; there is no depth buffer test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/win/types.h"

namespace plat {

// --- Identifiers (values of this layer's own) -------------------------------------------------
inline constexpr GUID IID_IDirect3D7 = {
    0x7a3d0001, 0x54e5, 0x4d7a, {0x9c, 0x10, 0x3d, 0x07, 0x00, 0x00, 0x00, 0x01}};
inline constexpr GUID IID_IDirect3DRGBDevice = {
    0x7a3d0002, 0x54e5, 0x4d7a, {0x9c, 0x10, 0x3d, 0x07, 0x00, 0x00, 0x00, 0x02}};
inline constexpr GUID IID_IDirect3DHALDevice = {
    0x7a3d0003, 0x54e5, 0x4d7a, {0x9c, 0x10, 0x3d, 0x07, 0x00, 0x00, 0x00, 0x03}};
inline constexpr GUID IID_IDirect3DTnLHalDevice = {
    0x7a3d0004, 0x54e5, 0x4d7a, {0x9c, 0x10, 0x3d, 0x07, 0x00, 0x00, 0x00, 0x04}};

// --- Results ---------------------------------------------------------------------------------
constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DERR_INVALIDCALL = DDERR_INVALIDPARAMS;
constexpr HRESULT D3DERR_SCENE_NOT_IN_SCENE = static_cast<HRESULT>(0x887602DBu);
constexpr HRESULT D3DERR_SCENE_IN_SCENE = static_cast<HRESULT>(0x887602DAu);
constexpr HRESULT D3DERR_INVALIDPRIMITIVETYPE = static_cast<HRESULT>(0x887602BDu);
constexpr HRESULT D3DERR_INVALIDVERTEXTYPE = static_cast<HRESULT>(0x887602BEu);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);

constexpr HRESULT D3DENUMRET_CANCEL = 0;
constexpr HRESULT D3DENUMRET_OK = 1;

// --- Capabilities ----------------------------------------------------------------------------
constexpr DWORD DDBD_16 = 0x400;
constexpr DWORD DDBD_24 = 0x200;
constexpr DWORD DDBD_32 = 0x100;
constexpr DWORD D3DPTEXTURECAPS_PERSPECTIVE = 0x1;
constexpr DWORD D3DPTEXTURECAPS_POW2 = 0x2;
constexpr DWORD D3DPTEXTURECAPS_ALPHA = 0x4;
constexpr DWORD D3DPTEXTURECAPS_TRANSPARENCY = 0x8;
constexpr DWORD D3DPTEXTURECAPS_SQUAREONLY = 0x20;
constexpr DWORD D3DDEVCAPS_HWTRANSFORMANDLIGHT = 0x10000;
constexpr DWORD D3DDEVCAPS_HWRASTERIZATION = 0x80000;

struct D3DPRIMCAPS {
    DWORD dwSize;
    DWORD dwMiscCaps;
    DWORD dwRasterCaps;
    DWORD dwZCmpCaps;
    DWORD dwSrcBlendCaps;
    DWORD dwDestBlendCaps;
    DWORD dwAlphaCmpCaps;
    DWORD dwShadeCaps;
    DWORD dwTextureCaps;
    DWORD dwTextureFilterCaps;
    DWORD dwTextureBlendCaps;
    DWORD dwTextureAddressCaps;
    DWORD dwStippleWidth;
    DWORD dwStippleHeight;
};

struct D3DDEVICEDESC7 {
    DWORD dwDevCaps;
    D3DPRIMCAPS dpcLineCaps;
    D3DPRIMCAPS dpcTriCaps;
    DWORD dwDeviceRenderBitDepth;  // DDBD_16 | DDBD_32 ...
    DWORD dwDeviceZBufferBitDepth;
    DWORD dwMinTextureWidth;
    DWORD dwMinTextureHeight;
    DWORD dwMaxTextureWidth;
    DWORD dwMaxTextureHeight;
    DWORD dwMaxTextureRepeat;
    DWORD dwMaxTextureAspectRatio;
    DWORD dwMaxAnisotropy;
    DWORD dwTextureOpCaps;
    WORD wMaxTextureBlendStages;
    WORD wMaxSimultaneousTextures;
    DWORD dwMaxActiveLights;
    GUID deviceGUID;
};

// --- States ----------------------------------------------------------------------------------
enum D3DPRIMITIVETYPE : DWORD {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

constexpr DWORD D3DFVF_XYZRHW = 0x4;
constexpr DWORD D3DFVF_DIFFUSE = 0x40;
constexpr DWORD D3DFVF_SPECULAR = 0x80;
constexpr DWORD D3DFVF_TEXCOUNT_SHIFT = 8;
constexpr DWORD D3DFVF_TEX1 = 0x100;
constexpr DWORD D3DFVF_TEX2 = 0x200;

// Render states (the ones with an effect or a stored value here).
constexpr DWORD D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4;
constexpr DWORD D3DRENDERSTATE_ZENABLE = 7;
constexpr DWORD D3DRENDERSTATE_SHADEMODE = 9;
constexpr DWORD D3DRENDERSTATE_ZWRITEENABLE = 14;
constexpr DWORD D3DRENDERSTATE_ALPHATESTENABLE = 15;
constexpr DWORD D3DRENDERSTATE_SRCBLEND = 19;
constexpr DWORD D3DRENDERSTATE_DESTBLEND = 20;
constexpr DWORD D3DRENDERSTATE_CULLMODE = 22;
constexpr DWORD D3DRENDERSTATE_ZFUNC = 23;
constexpr DWORD D3DRENDERSTATE_ALPHAREF = 24;
constexpr DWORD D3DRENDERSTATE_ALPHAFUNC = 25;
constexpr DWORD D3DRENDERSTATE_DITHERENABLE = 26;
constexpr DWORD D3DRENDERSTATE_ALPHABLENDENABLE = 27;
constexpr DWORD D3DRENDERSTATE_COLORKEYENABLE = 41;
constexpr DWORD D3DRENDERSTATE_TEXTUREFACTOR = 60;
constexpr DWORD D3DRENDERSTATE_COLORKEYBLENDENABLE = 144;
constexpr DWORD D3DRENDERSTATE_LIGHTING = 137;
constexpr DWORD kRenderStateCount = 256;

constexpr DWORD D3DSHADE_FLAT = 1;
constexpr DWORD D3DSHADE_GOURAUD = 2;
constexpr DWORD D3DCULL_NONE = 1;
constexpr DWORD D3DCULL_CCW = 3;

enum : DWORD {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
};

enum : DWORD {
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8,
};

// Texture-stage states.
constexpr DWORD D3DTSS_COLOROP = 1;
constexpr DWORD D3DTSS_COLORARG1 = 2;
constexpr DWORD D3DTSS_COLORARG2 = 3;
constexpr DWORD D3DTSS_ALPHAOP = 4;
constexpr DWORD D3DTSS_ALPHAARG1 = 5;
constexpr DWORD D3DTSS_ALPHAARG2 = 6;
constexpr DWORD D3DTSS_TEXCOORDINDEX = 11;
constexpr DWORD D3DTSS_ADDRESS = 12;
constexpr DWORD D3DTSS_MAGFILTER = 16;
constexpr DWORD D3DTSS_MINFILTER = 17;
constexpr DWORD kStageStateCount = 32;
constexpr DWORD kStageCount = 8;

enum : DWORD {
    D3DTOP_DISABLE = 1,
    D3DTOP_SELECTARG1 = 2,
    D3DTOP_SELECTARG2 = 3,
    D3DTOP_MODULATE = 4,
    D3DTOP_MODULATE2X = 5,
    D3DTOP_MODULATE4X = 6,
    D3DTOP_ADD = 7,
    D3DTOP_ADDSIGNED = 8,
    D3DTOP_ADDSIGNED2X = 9,
    D3DTOP_SUBTRACT = 10,
};

enum : DWORD {
    D3DTA_DIFFUSE = 0,
    D3DTA_CURRENT = 1,
    D3DTA_TEXTURE = 2,
    D3DTA_TFACTOR = 3,
    D3DTA_SPECULAR = 4,
    D3DTA_SELECTMASK = 0xF,
    D3DTA_COMPLEMENT = 0x10,
    D3DTA_ALPHAREPLICATE = 0x20,
};

constexpr DWORD D3DTADDRESS_WRAP = 1;
constexpr DWORD D3DTADDRESS_CLAMP = 3;
constexpr DWORD D3DTFG_POINT = 1;
constexpr DWORD D3DTFG_LINEAR = 2;
constexpr DWORD D3DTFN_POINT = 1;
constexpr DWORD D3DTFN_LINEAR = 2;

constexpr DWORD D3DTRANSFORMSTATE_WORLD = 1;
constexpr DWORD D3DTRANSFORMSTATE_VIEW = 2;
constexpr DWORD D3DTRANSFORMSTATE_PROJECTION = 3;

struct D3DVIEWPORT7 {
    DWORD dwX;
    DWORD dwY;
    DWORD dwWidth;
    DWORD dwHeight;
    float dvMinZ;
    float dvMaxZ;
};

struct D3DMATRIX {
    float m[4][4];
};

// --- Enumeration callbacks ----------------------------------------------------------------------
using D3DEnumDevicesCallback = HRESULT (*)(char* description, char* name, D3DDEVICEDESC7* desc,
                                           void* context);
using D3DEnumPixelFormatsCallback = HRESULT (*)(DDPixelFormat* format, void* context);

// What enumeration reports: the devices in order, the depth formats and the texture formats.
struct Direct3DDeviceEntry {
    std::string description;
    std::string name;
    D3DDEVICEDESC7 desc;
};
struct Direct3DProfile {
    std::vector<Direct3DDeviceEntry> devices;
    std::vector<DDPixelFormat> zBufferFormats;
    std::vector<DDPixelFormat> textureFormats;
};
// One TnL HAL device for 16- and 32-bit targets, textures 1 to 2048 (POW2 set, SQUAREONLY
// clear), a 16-bit depth format, and the texture formats R5G6B5, X1R5G5B5, A4R4G4B4,
// A1R5G5B5, X8R8G8B8, A8R8G8B8 in that order.
Direct3DProfile DefaultDirect3DProfile();

inline constexpr DDPixelFormat kPixelFormatArgb4444 =
    MakeRgbPixelFormat(16, 0xF00, 0xF0, 0xF, 0xF000);
inline constexpr DDPixelFormat kPixelFormatArgb1555 =
    MakeRgbPixelFormat(16, 0x7C00, 0x3E0, 0x1F, 0x8000);
inline constexpr DDPixelFormat kPixelFormatArgb32 =
    MakeRgbPixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);

class Direct3DDevice;
struct Direct3DDeviceState;

class Direct3D {
public:
    ULONG AddRef();
    ULONG Release();

    HRESULT EnumDevices(D3DEnumDevicesCallback callback, void* context);
    HRESULT EnumZBufferFormats(const GUID& device, D3DEnumPixelFormatsCallback callback,
                               void* context);
    // A device of the profile drawing into a 16- or 32-bit RGB surface of a depth it renders.
    HRESULT CreateDevice(const GUID& device, DirectDrawSurface* target, Direct3DDevice** out);

    DirectDraw* Owner() const { return owner_; }

private:
    friend HRESULT QueryDirect3D(DirectDraw* directDraw, const GUID& iid, void** out);
    Direct3D() = default;
    ULONG refs_ = 1;
    DirectDraw* owner_ = nullptr;
};

class Direct3DDevice {
public:
    ULONG AddRef();
    ULONG Release();

    HRESULT EnumTextureFormats(D3DEnumPixelFormatsCallback callback, void* context);
    // A second BeginScene fails, as does EndScene outside a scene. While a scene is open the
    // render target and the bound textures refuse locks, blits and device contexts.
    HRESULT BeginScene();
    HRESULT EndScene();
    HRESULT SetRenderState(DWORD state, DWORD value);
    HRESULT GetRenderState(DWORD state, DWORD* value) const;
    HRESULT SetTextureStageState(DWORD stage, DWORD state, DWORD value);
    HRESULT GetTextureStageState(DWORD stage, DWORD state, DWORD* value) const;
    HRESULT SetTexture(DWORD stage, DirectDrawSurface* texture);
    HRESULT SetRenderTarget(DirectDrawSurface* target, DWORD flags);
    // The viewport clips the draws; it is reset to the whole target by SetRenderTarget.
    HRESULT SetViewport(const D3DVIEWPORT7* viewport);
    HRESULT GetViewport(D3DVIEWPORT7* viewport) const;
    HRESULT SetTransform(DWORD state, const D3DMATRIX* matrix);
    HRESULT GetTransform(DWORD state, D3DMATRIX* matrix) const;
    // Draws only inside a scene.
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, const void* vertices, DWORD count,
                          DWORD flags);
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, const void* vertices,
                                 DWORD vertexCount, const WORD* indices, DWORD indexCount,
                                 DWORD flags);
    // Copies a rectangle (null: the whole source) of one texture into another of the same
    // format at a point.
    HRESULT Load(DirectDrawSurface* dest, const POINT* destPoint, DirectDrawSurface* source,
                 const RECT* sourceRect, DWORD flags);

    DirectDrawSurface* RenderTarget() const;
    bool InScene() const;

private:
    friend class Direct3D;
    Direct3DDevice();
    ~Direct3DDevice();
    ULONG refs_ = 1;
    Direct3DDeviceState* state_;
};

// The DirectDraw object's way to its Direct3D object: IID_IDirect3D7 gives a new reference to
// a Direct3D object (a Direct3D* in *out); any other identifier E_NOINTERFACE.
HRESULT QueryDirect3D(DirectDraw* directDraw, const GUID& iid, void** out);

}  // namespace plat
