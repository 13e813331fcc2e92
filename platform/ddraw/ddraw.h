// The DirectDraw stand-in: the DirectDraw object, surfaces in plain memory, clippers and
// palettes, with the methods, flags and result codes the engine uses.
//
// Surfaces are system memory unless a test says otherwise (platform/testing.h). The primary
// surface is what the window shows: every change to it (a flip, a blit into it, the unlock of a
// written lock, the release of its device context) goes to the presenter. In full screen the
// display mode is recorded by the layer and the presenter scales that picture to the desktop.
// A virtual retrace clock on the platform clock gives 60 vertical blanks a second.
//
// DirectDrawSurface is the one surface type of the platform: the Direct3D stand-in draws into
// and samples the same objects through Bits(), Pitch(), Width(), Height() and Format().
#pragma once

#include <cstdint>

#include "platform/ddraw/pixel_format.h"
#include "platform/win/types.h"

namespace plat {

using HRESULT = int32_t;
using ULONG = uint32_t;

// --- Result codes --------------------------------------------------------------------------
constexpr HRESULT DD_OK = 0;
constexpr HRESULT DDERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DDERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DDERR_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
constexpr HRESULT DDERR_ALREADYINITIALIZED = static_cast<HRESULT>(0x88760005u);
constexpr HRESULT DDERR_CANNOTATTACHSURFACE = static_cast<HRESULT>(0x8876006Eu);
constexpr HRESULT DDERR_INVALIDMODE = static_cast<HRESULT>(0x88760078u);
constexpr HRESULT DDERR_INVALIDOBJECT = static_cast<HRESULT>(0x88760082u);
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = static_cast<HRESULT>(0x88760091u);
constexpr HRESULT DDERR_INVALIDRECT = static_cast<HRESULT>(0x88760096u);
constexpr HRESULT DDERR_NOCOLORKEY = static_cast<HRESULT>(0x887600D7u);
constexpr HRESULT DDERR_NOEXCLUSIVEMODE = static_cast<HRESULT>(0x887600E1u);
constexpr HRESULT DDERR_NOFLIPHW = static_cast<HRESULT>(0x887600E6u);
constexpr HRESULT DDERR_NOOVERLAYHW = static_cast<HRESULT>(0x887600B4u);
constexpr HRESULT DDERR_NOTFOUND = static_cast<HRESULT>(0x887600FFu);
constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = static_cast<HRESULT>(0x88760234u);
constexpr HRESULT DDERR_NOTFLIPPABLE = static_cast<HRESULT>(0x8876014Au);
constexpr HRESULT DDERR_SURFACEALREADYATTACHED = static_cast<HRESULT>(0x8876019Au);
constexpr HRESULT DDERR_SURFACEBUSY = static_cast<HRESULT>(0x887601AEu);
constexpr HRESULT DDERR_SURFACELOST = static_cast<HRESULT>(0x887601C2u);
constexpr HRESULT DDERR_VERTICALBLANKINPROGRESS = static_cast<HRESULT>(0x88760219u);
constexpr HRESULT DDERR_HWNDSUBCLASSED = static_cast<HRESULT>(0x8876023Au);
constexpr HRESULT DDERR_HWNDALREADYSET = static_cast<HRESULT>(0x8876023Bu);
constexpr HRESULT DDERR_EXCLUSIVEMODEALREADYSET = static_cast<HRESULT>(0x88760245u);
constexpr HRESULT DDERR_NOTLOCKED = static_cast<HRESULT>(0x88760248u);
constexpr HRESULT DDERR_SURFACENOTATTACHED = static_cast<HRESULT>(0x8876024Eu);
constexpr HRESULT DDERR_DCALREADYCREATED = static_cast<HRESULT>(0x8876026Cu);
constexpr HRESULT DDERR_NODC = static_cast<HRESULT>(0x8876026Du);

constexpr bool DDFailed(HRESULT r) {
    return r < 0;
}

// --- Cooperative levels ----------------------------------------------------------------------
constexpr DWORD DDSCL_FULLSCREEN = 0x1;
constexpr DWORD DDSCL_ALLOWREBOOT = 0x2;
constexpr DWORD DDSCL_NOWINDOWCHANGES = 0x4;
constexpr DWORD DDSCL_NORMAL = 0x8;
constexpr DWORD DDSCL_EXCLUSIVE = 0x10;
constexpr DWORD DDSCL_ALLOWMODEX = 0x40;
constexpr DWORD DDSCL_FPUSETUP = 0x200;
constexpr DWORD DDSCL_MULTITHREADED = 0x400;

// --- Surface descriptions --------------------------------------------------------------------
constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_HEIGHT = 0x2;
constexpr DWORD DDSD_WIDTH = 0x4;
constexpr DWORD DDSD_PITCH = 0x8;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x20;
constexpr DWORD DDSD_LPSURFACE = 0x800;
constexpr DWORD DDSD_PIXELFORMAT = 0x1000;
constexpr DWORD DDSD_CKDESTBLT = 0x4000;
constexpr DWORD DDSD_CKSRCBLT = 0x10000;
constexpr DWORD DDSD_REFRESHRATE = 0x40000;

constexpr DWORD DDSCAPS_ALPHA = 0x2;
constexpr DWORD DDSCAPS_BACKBUFFER = 0x4;
constexpr DWORD DDSCAPS_COMPLEX = 0x8;
constexpr DWORD DDSCAPS_FLIP = 0x10;
constexpr DWORD DDSCAPS_FRONTBUFFER = 0x20;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr DWORD DDSCAPS_OVERLAY = 0x80;
constexpr DWORD DDSCAPS_PALETTE = 0x100;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD DDSCAPS_TEXTURE = 0x1000;
constexpr DWORD DDSCAPS_3DDEVICE = 0x2000;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr DWORD DDSCAPS_VISIBLE = 0x8000;
constexpr DWORD DDSCAPS_WRITEONLY = 0x10000;
constexpr DWORD DDSCAPS_ZBUFFER = 0x20000;
constexpr DWORD DDSCAPS_MIPMAP = 0x400000;
constexpr DWORD DDSCAPS_LOCALVIDMEM = 0x10000000;
constexpr DWORD DDSCAPS2_TEXTUREMANAGE = 0x10;

struct DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    DWORD dwCaps4;
};

// A colour key: pixels from low to high (inclusive) match; most keys have low == high.
struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

constexpr DWORD DDCKEY_COLORSPACE = 0x1;
constexpr DWORD DDCKEY_DESTBLT = 0x2;
constexpr DWORD DDCKEY_SRCBLT = 0x8;

struct DDSURFACEDESC2 {
    DWORD dwSize;
    DWORD dwFlags;  // DDSD_*: which fields hold values
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;
    DWORD dwBackBufferCount;
    DWORD dwRefreshRate;
    DWORD dwAlphaBitDepth;
    void* lpSurface;  // set by Lock
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcBlt;
    DDPixelFormat ddpfPixelFormat;
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
};

// --- Blits and locks -------------------------------------------------------------------------
constexpr DWORD DDBLT_ASYNC = 0x200;
constexpr DWORD DDBLT_COLORFILL = 0x400;
constexpr DWORD DDBLT_KEYDEST = 0x2000;
constexpr DWORD DDBLT_KEYSRC = 0x8000;
constexpr DWORD DDBLT_WAIT = 0x1000000;
constexpr DWORD DDBLT_DEPTHFILL = 0x2000000;

struct DDBLTFX {
    DWORD dwSize;
    DWORD dwFillColor;  // the raw pixel value of a colour fill
    DWORD dwFillDepth;  // the depth value of a depth fill
};

constexpr DWORD DDBLTFAST_NOCOLORKEY = 0x0;
constexpr DWORD DDBLTFAST_SRCCOLORKEY = 0x1;
constexpr DWORD DDBLTFAST_DESTCOLORKEY = 0x2;
constexpr DWORD DDBLTFAST_WAIT = 0x10;

constexpr DWORD DDLOCK_SURFACEMEMORYPTR = 0x0;
constexpr DWORD DDLOCK_WAIT = 0x1;
constexpr DWORD DDLOCK_READONLY = 0x10;
constexpr DWORD DDLOCK_WRITEONLY = 0x20;
constexpr DWORD DDLOCK_NOSYSLOCK = 0x800;

constexpr DWORD DDFLIP_WAIT = 0x1;
constexpr DWORD DDFLIP_NOVSYNC = 0x8;

constexpr DWORD DDWAITVB_BLOCKBEGIN = 0x1;
constexpr DWORD DDWAITVB_BLOCKEND = 0x4;

// --- Object capabilities ---------------------------------------------------------------------
constexpr DWORD DDCAPS_BLT = 0x40;
constexpr DWORD DDCAPS_BLTCOLORFILL = 0x4000000;
constexpr DWORD DDCAPS_BLTDEPTHFILL = 0x10000000;
constexpr DWORD DDCAPS_BLTSTRETCH = 0x200;
constexpr DWORD DDCAPS_COLORKEY = 0x400000;
constexpr DWORD DDCAPS_OVERLAY = 0x800;
constexpr DWORD DDCKEYCAPS_SRCBLT = 0x200;
constexpr DWORD DDCKEYCAPS_DESTBLT = 0x2;

// The capability block: 380 bytes; the fields the engine reads are named.
struct DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCKeyCaps;
    DWORD dwFXCaps;
    DWORD dwFXAlphaCaps;
    DWORD dwPalCaps;
    DWORD dwSVCaps;
    DWORD dwAlphaBltConstBitDepths;
    DWORD dwAlphaBltPixelBitDepths;
    DWORD dwAlphaBltSurfaceBitDepths;
    DWORD dwAlphaOverlayConstBitDepths;
    DWORD dwAlphaOverlayPixelBitDepths;
    DWORD dwAlphaOverlaySurfaceBitDepths;
    DWORD dwZBufferBitDepths;
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
    DWORD dwMaxVisibleOverlays;
    DWORD dwCurrVisibleOverlays;
    DWORD dwNumFourCCCodes;
    DWORD dwAlignBoundarySrc;
    DWORD dwAlignSizeSrc;
    DWORD dwAlignBoundaryDest;
    DWORD dwAlignSizeDest;
    DWORD dwAlignStrideAlign;
    DWORD dwRops[8];
    DWORD dwOldCaps;
    DWORD dwMinOverlayStretch;
    DWORD dwMaxOverlayStretch;
    DWORD dwReserved[59];
};
static_assert(sizeof(DDCAPS) == 380);

struct DDDEVICEIDENTIFIER2 {
    char szDriver[512];
    char szDescription[512];
    int64_t liDriverVersion;  // four 16-bit parts, most significant first
    DWORD dwVendorId;
    DWORD dwDeviceId;
    DWORD dwSubSysId;
    DWORD dwRevision;
    uint8_t guidDeviceIdentifier[16];
    DWORD dwWHQLLevel;
};

// --- Interfaces asked with QueryInterface --------------------------------------------------
// The older interfaces of the object and of a surface: the same object answers them all (with
// a reference for the caller), as the engine keeps one pointer per interface it asks for.
inline constexpr GUID IID_IDirectDraw4 = {
    0x7a3d0101, 0x54e5, 0x4d7a, {0x9c, 0x10, 0x3d, 0x07, 0x00, 0x00, 0x01, 0x01}};
inline constexpr GUID IID_IDirectDrawSurface4 = {
    0x7a3d0102, 0x54e5, 0x4d7a, {0x9c, 0x10, 0x3d, 0x07, 0x00, 0x00, 0x01, 0x02}};
inline constexpr GUID IID_IDirectDrawSurface7 = {
    0x7a3d0103, 0x54e5, 0x4d7a, {0x9c, 0x10, 0x3d, 0x07, 0x00, 0x00, 0x01, 0x03}};

// --- Palettes --------------------------------------------------------------------------------
constexpr DWORD DDPCAPS_8BIT = 0x4;
constexpr DWORD DDPCAPS_ALLOW256 = 0x40;

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

class DirectDraw;
class DirectDrawSurface;

class DirectDrawPalette {
public:
    ULONG AddRef();
    ULONG Release();
    HRESULT GetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) const;
    HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, const PALETTEENTRY* entries);

    PALETTEENTRY entries[256];

private:
    friend class DirectDraw;
    DirectDrawPalette() = default;
    ULONG refs_ = 1;
};

// The window clipper: remembers its window; blits here clip to the destination surface only.
class DirectDrawClipper {
public:
    ULONG AddRef();
    ULONG Release();
    HRESULT SetHWnd(DWORD flags, HWND window);
    HRESULT GetHWnd(HWND* window) const;

private:
    friend class DirectDraw;
    DirectDrawClipper() = default;
    ULONG refs_ = 1;
    HWND window_ = nullptr;
};

using EnumSurfacesCallback = HRESULT (*)(DirectDrawSurface* surface, DDSURFACEDESC2* desc,
                                         void* context);
constexpr HRESULT DDENUMRET_CANCEL = 0;
constexpr HRESULT DDENUMRET_OK = 1;

class DirectDrawSurface {
public:
    ULONG AddRef();
    // The last release frees the surface and its pixels; a flip chain goes with its front.
    ULONG Release();

    // A null rectangle locks the whole surface. The description gets the pointer to the
    // rectangle's first pixel and the pitch. A locked surface refuses a second lock
    // (DDERR_SURFACEBUSY); a lost one refuses with DDERR_SURFACELOST.
    HRESULT Lock(const RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event);
    HRESULT Unlock(const RECT* rect);
    // Colour fill (DDBLT_COLORFILL with fx->dwFillColor), depth fill (DDBLT_DEPTHFILL with
    // fx->dwFillDepth), or a copy between surfaces of one format, stretched nearest-neighbour
    // when the rectangles differ in size, with DDBLT_KEYSRC or DDBLT_KEYDEST. The destination
    // rectangle is clipped to the surface; a source rectangle must lie inside the source.
    HRESULT Blt(const RECT* destRect, DirectDrawSurface* source, const RECT* sourceRect,
                DWORD flags, const DDBLTFX* fx);
    // A 1:1 copy to (x, y); fails with DDERR_INVALIDRECT when either rectangle leaves its
    // surface.
    HRESULT BltFast(DWORD x, DWORD y, DirectDrawSurface* source, const RECT* sourceRect,
                    DWORD trans);
    // Called on the front of a flip chain: swaps the pixel memory along the chain (the front
    // shows what the back buffer held) and shows it. Without DDFLIP_NOVSYNC it first waits for
    // the next vertical blank of the retrace clock.
    HRESULT Flip(DirectDrawSurface* target, DWORD flags);

    HRESULT GetAttachedSurface(const DDSCAPS2* caps, DirectDrawSurface** out);
    HRESULT AddAttachedSurface(DirectDrawSurface* surface);
    HRESULT DeleteAttachedSurface(DWORD flags, DirectDrawSurface* surface);
    HRESULT EnumAttachedSurfaces(void* context, EnumSurfacesCallback callback);

    HRESULT GetCaps(DDSCAPS2* caps) const;
    HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) const;
    HRESULT GetPixelFormat(DDPixelFormat* format) const;

    // DDCKEY_SRCBLT or DDCKEY_DESTBLT; a null key removes it.
    HRESULT SetColorKey(DWORD flags, const DDCOLORKEY* key);
    HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) const;

    // DDERR_SURFACELOST or DD_OK.
    HRESULT IsLost() const;
    // A lost surface comes back with its pixels zeroed.
    HRESULT Restore();

    // A device context over the surface for the GDI stand-in (BitBlt); the surface counts as
    // locked until ReleaseDC.
    HRESULT GetDC(HDC* dc);
    HRESULT ReleaseDC(HDC dc);

    HRESULT SetClipper(DirectDrawClipper* clipper);
    HRESULT GetClipper(DirectDrawClipper** clipper);
    HRESULT SetPalette(DirectDrawPalette* palette);
    HRESULT GetPalette(DirectDrawPalette** palette);
    HRESULT PageLock(DWORD flags);
    HRESULT PageUnlock(DWORD flags);
    // IID_IDirectDrawSurface4 or IID_IDirectDrawSurface7: the surface itself, with a reference.
    HRESULT QueryInterface(const GUID& iid, void** out);

    // Direct access for the platform's own renderers (no lock, no checks).
    uint8_t* Bits() const { return bits_; }
    int32_t Pitch() const { return pitch_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    const DDPixelFormat& Format() const { return format_; }
    int BytesPerPixel() const { return bytesPerPixel_; }
    DWORD Caps() const { return caps_.dwCaps; }
    bool HasSourceKey() const { return hasSourceKey_; }
    const DDCOLORKEY& SourceKey() const { return sourceKey_; }
    bool Locked() const { return locked_; }
    bool HasDc() const { return dcOut_; }
    bool Lost() const { return lost_; }
    DirectDraw* Owner() const { return owner_; }

    // The Direct3D device marks its render target and bound textures while a scene is open:
    // a marked surface refuses Lock, Blt, BltFast and GetDC with DDERR_SURFACEBUSY and says so
    // on the debug output and standard error.
    void AddSceneUse() { ++sceneUses_; }
    void DropSceneUse() {
        if (sceneUses_ > 0) --sceneUses_;
    }
    bool InScene() const { return sceneUses_ > 0; }

    // Marks the surface lost (a test hook and the full-screen focus loss use it).
    void MarkLost() { lost_ = true; }

private:
    friend class DirectDraw;
    DirectDrawSurface() = default;
    ~DirectDrawSurface();
    HRESULT CheckUsable() const;
    HRESULT RefuseInScene(const char* call) const;
    bool IsPrimary() const { return (caps_.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0; }
    void Changed();  // the primary's picture changed: present it

    ULONG refs_ = 1;
    DirectDraw* owner_ = nullptr;
    DDSCAPS2 caps_{};
    DDPixelFormat format_{};
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t pitch_ = 0;
    int bytesPerPixel_ = 0;
    uint8_t* bits_ = nullptr;
    bool locked_ = false;
    bool lockWrites_ = false;
    bool dcOut_ = false;
    bool lost_ = false;
    int sceneUses_ = 0;
    bool hasSourceKey_ = false;
    bool hasDestKey_ = false;
    DDCOLORKEY sourceKey_{};
    DDCOLORKEY destKey_{};
    DirectDrawClipper* clipper_ = nullptr;
    DirectDrawPalette* palette_ = nullptr;
    // A flip chain: the front holds the back buffers; each member points to the front.
    DirectDrawSurface* chainFront_ = nullptr;
    DirectDrawSurface* chainNext_ = nullptr;   // next member after this one in the chain
    DirectDrawSurface* attachedZ_ = nullptr;   // an attached depth surface (one reference)
    DirectDrawSurface* attachedTo_ = nullptr;  // for a depth surface: what it is attached to
    DWORD backBufferCount_ = 0;
};

// The display mode in force (as the object reports it).
struct DisplayMode {
    int32_t width;
    int32_t height;
    int32_t bits;
    int32_t refresh;  // 0: the default rate
};

class DirectDraw {
public:
    ULONG AddRef();
    // The last release ends the object: its surfaces stay valid memory but are lost, a full
    // screen set-up is left and the desktop's mode comes back.
    ULONG Release();

    // The primary display driver: a null guid. A second call fails.
    HRESULT Initialize(const void* guid);
    HRESULT SetCooperativeLevel(HWND window, DWORD flags);
    // From the layer's mode table (every size of the window-size table at 16 and 32 bits and
    // the desktop's mode); needs the exclusive level. A refresh rate of 0 takes the default.
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD flags);
    HRESULT RestoreDisplayMode();
    HRESULT GetDisplayMode(DDSURFACEDESC2* desc) const;

    // Caps valid: DDSD_CAPS. Width and height for off-screen, texture and depth surfaces;
    // the primary takes the display's size (the mode in full screen, else the desktop).
    // A pixel format (DDSD_PIXELFORMAT) of 8, 16, 24 or 32 bits, or a 16-bit Z format; without
    // one the display's format. A flip chain: PRIMARYSURFACE | FLIP | COMPLEX with
    // DDSD_BACKBUFFERCOUNT (1 to 3). Overlays fail with DDERR_NOOVERLAYHW.
    HRESULT CreateSurface(DDSURFACEDESC2* desc, DirectDrawSurface** out, void* outer);
    HRESULT CreateClipper(DWORD flags, DirectDrawClipper** out, void* outer);
    HRESULT CreatePalette(DWORD flags, const PALETTEENTRY* entries, DirectDrawPalette** out,
                          void* outer);

    HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation) const;
    HRESULT GetDeviceIdentifier(DDDEVICEIDENTIFIER2* id, DWORD flags) const;
    HRESULT GetAvailableVidMem(const DDSCAPS2* caps, DWORD* total, DWORD* free) const;
    HRESULT FlipToGDISurface();
    // IID_IDirect3D7 gives the Direct3D object (platform/d3d7/d3d7.h); IID_IDirectDraw4 the
    // object itself with a reference; others E_NOINTERFACE.
    HRESULT QueryInterface(const GUID& iid, void** out);

    // The retrace clock: periods of 16,667 us with the blank at the end of each.
    HRESULT GetVerticalBlankStatus(BOOL* inBlank) const;
    // The line the beam is on, wrapping each period; DDERR_VERTICALBLANKINPROGRESS in the blank.
    HRESULT GetScanLine(DWORD* line) const;
    // DDWAITVB_BLOCKBEGIN sleeps until the next blank begins, DDWAITVB_BLOCKEND until the
    // blank after the present one ends.
    HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event);

    HWND Window() const { return window_; }
    DWORD CooperativeFlags() const { return coopFlags_; }
    bool FullScreen() const { return (coopFlags_ & DDSCL_FULLSCREEN) != 0; }
    const DisplayMode& Mode() const { return mode_; }
    bool ModeSet() const { return modeSet_; }
    // The display's pixel format: the mode's, or the desktop's when no mode is set.
    DDPixelFormat DisplayFormat() const;
    int32_t DisplayWidth() const;
    int32_t DisplayHeight() const;

private:
    friend class DirectDrawSurface;
    friend HRESULT CreateDirectDraw7(DirectDraw** out);
    DirectDraw() = default;
    ~DirectDraw();
    void Forget(DirectDrawSurface* surface);

    ULONG refs_ = 1;
    bool initialized_ = false;
    HWND window_ = nullptr;
    DWORD coopFlags_ = 0;
    bool modeSet_ = false;
    DisplayMode mode_{};
    DirectDrawSurface** surfaces_ = nullptr;  // every live surface made by this object
    int surfaceCount_ = 0;
    int surfaceCapacity_ = 0;
};

// Stands in for creating the DirectDraw 7 object. Tests can make it fail (platform/testing.h).
HRESULT CreateDirectDraw7(DirectDraw** out);

// The retrace clock outside any object, for the no-DirectDraw path: microseconds of the
// platform clock, the period and whether a blank is in progress.
constexpr uint32_t kRetracePeriodMicroseconds = 16667;
uint64_t RetraceClockMicroseconds();

}  // namespace plat
