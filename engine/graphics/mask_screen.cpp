#include "engine/graphics/mask_screen.h"

#include <algorithm>
#include <cstring>

#include "engine/base/fatal.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/d3d/d3d.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graphics_core.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"
#include "engine/screen/surface2d.h"
#include "platform/ddraw/ddraw.h"

namespace tessra {

using namespace sjis_literals;

namespace {

MaskScreenRecord g_mask{};

bool WorkAreaExists() {
    return g_mask.usesMemImg ? g_mask.memImg.pixels != nullptr : g_mask.surface != nullptr;
}

// The rectangle cut to the draw area and moved onto the screen; false when empty.
bool MaskRect(const Rect* rect, Rect* out) {
    if (rect == nullptr) return false;
    EndSceneCurrent();
    *out = *rect;
    ClipRectToRect(out, &DrawState.DrawArea);
    if (out->left >= out->right || out->top >= out->bottom) return false;
    const ScreenStateRecord& s = GetScreenState();
    if (!s.memImgScreens && DrawState.drawTarget == kFrontScreen) {
        out->left += DrawState.clientRect.left;
        out->right += DrawState.clientRect.left;
        out->top += DrawState.clientRect.top;
        out->bottom += DrawState.clientRect.top;
    }
    return true;
}

// Pixels of a surface or memory image locked for one step.
struct Pixels {
    uint8_t* base = nullptr;  // (0, 0) of the rectangle
    int32_t pitch = 0;
    plat::DirectDrawSurface* locked = nullptr;
};

bool Open(plat::DirectDrawSurface* surface, MEMIMG* image, const Rect& r, Pixels* p) {
    if (image != nullptr && image->pixels != nullptr) {
        const int32_t bytes = MemImgBytesPerPixel(image->kind, 0, 0);
        if (r.right > image->width || r.bottom > image->height || r.left < 0 || r.top < 0)
            return false;
        p->base = image->pixels + int64_t(r.top) * image->pitch + int64_t(r.left) * bytes;
        p->pitch = image->pitch;
        return true;
    }
    if (surface == nullptr) return false;
    const plat::RECT lr{r.left, r.top, r.right, r.bottom};
    plat::DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (plat::DDFailed(surface->Lock(&lr, &desc, plat::DDLOCK_WAIT, nullptr))) return false;
    p->base = static_cast<uint8_t*>(desc.lpSurface);
    p->pitch = desc.lPitch;
    p->locked = surface;
    return true;
}

void Close(Pixels* p) {
    if (p->locked != nullptr) p->locked->Unlock(nullptr);
    p->locked = nullptr;
}

int32_t ScreenBytesPerPixel() {
    const uint32_t bits = GetScreenState().memImgScreens ? GetScreenState().workingColorBits
                                                         : GetScreenState().displayColorBits;
    return bits == 8 ? 1 : (bits == 16 || bits == 0 ? 2 : 4);
}

}  // namespace

MaskScreenRecord& GetMaskScreen() {
    return g_mask;
}

int AllocMaskScreen(int makeBytes, int makeSurface) {
    int width = 640, height = 480;
    ReadScreenSize(&width, &height);
    ScreenStateRecord& s = GetScreenState();
    if (makeBytes && g_mask.bytes == nullptr) {
        g_mask.pitch = (width + 3) / 4 * 4;
        g_mask.bytes = static_cast<uint8_t*>(
            AllocTaggedZeroed(size_t(g_mask.pitch) * size_t(height), __FILE__, __LINE__));
    }
    if (makeSurface && !WorkAreaExists()) {
        if (s.memImgScreens) {
            if (CreateScreenMemImg(&g_mask.memImg, width, height, -1,
                                   static_cast<int32_t>(s.workingColorBits)) != 0)
                RaiseFatalError("マスク用 MEMIMG の作成に失敗しました"_sjis);
            g_mask.usesMemImg = 1;
            g_mask.surfaceInVideoMemory = 0;
        } else {
            plat::DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            desc.dwFlags = plat::DDSD_CAPS | plat::DDSD_WIDTH | plat::DDSD_HEIGHT;
            desc.dwWidth = static_cast<plat::DWORD>(width);
            desc.dwHeight = static_cast<plat::DWORD>(height);
            desc.ddsCaps.dwCaps =
                plat::DDSCAPS_OFFSCREENPLAIN |
                (s.windowMode ? plat::DDSCAPS_SYSTEMMEMORY : plat::DDSCAPS_3DDEVICE);
            if (s.directDraw == nullptr ||
                plat::DDFailed(s.directDraw->CreateSurface(&desc, &g_mask.surface, nullptr)))
                RaiseFatalError("マスク用サーフェスの作成に失敗しました"_sjis);
            const plat::DDCOLORKEY key{g_mask.keyColor, g_mask.keyColor};
            g_mask.surface->SetColorKey(plat::DDCKEY_SRCBLT, &key);
            plat::DDSCAPS2 caps{};
            g_mask.surface->GetCaps(&caps);
            g_mask.surfaceInVideoMemory = (caps.dwCaps & plat::DDSCAPS_VIDEOMEMORY) ? 1 : 0;
            g_mask.usesMemImg = 0;
        }
    }
    return 0;
}

int FreeMaskScreen() {
    if (g_mask.bytes != nullptr) FreeTagged(g_mask.bytes);
    g_mask.bytes = nullptr;
    if (g_mask.surface != nullptr) g_mask.surface->Release();
    g_mask.surface = nullptr;
    if (g_mask.usesMemImg) ReleaseMemImg(&g_mask.memImg);
    std::memset(&g_mask.memImg, 0, sizeof g_mask.memImg);
    g_mask.usesMemImg = 0;
    return 0;
}

int ShutdownMaskScreen() {
    // Without a mask there is nothing to wait for (the program never makes one).
    if (g_mask.bytes != nullptr || WorkAreaExists()) WaitWhileWindowInactive();
    if (DrawState.maskEnabled) SetMaskDrawEnabled(0);
    FreeMaskScreen();
    g_mask.inUse = 0;
    DrawState.maskActive = 0;
    return 0;
}

int SetMaskDrawEnabled(int flag) {
    if (g_mask.bytes == nullptr) return -1;
    DrawState.maskEnabled = flag;
    DrawState.maskActive = (flag && g_mask.inUse) ? 1 : 0;
    RecomputeDrawClientRect();
    return 0;
}

int IsMaskInUse() {
    return DrawState.maskEnabled;
}

plat::DirectDrawSurface* GetMaskSurface() {
    return g_mask.surface;
}

MEMIMG* GetMaskMemImg() {
    return &g_mask.memImg;
}

int MaskSurfaceInVideoMemory() {
    return g_mask.surfaceInVideoMemory;
}

int BeginMaskForTarget(const Rect* rect) {
    if (!WorkAreaExists()) return 0;
    Rect r;
    if (!MaskRect(rect, &r)) return 0;
    ScreenStateRecord& s = GetScreenState();
    MEMIMG* work = g_mask.usesMemImg ? &g_mask.memImg : nullptr;
    Pixels from, to;
    if (!Open(s.targetSurface, s.targetImage, r, &from)) return 0;
    if (!Open(g_mask.surface, work, r, &to)) {
        Close(&from);
        return 0;
    }
    const int32_t bytes = ScreenBytesPerPixel();
    for (int32_t y = 0; y < r.bottom - r.top; ++y)
        std::memcpy(to.base + int64_t(y) * to.pitch, from.base + int64_t(y) * from.pitch,
                    size_t(r.right - r.left) * size_t(bytes));
    Close(&to);
    Close(&from);
    return 0;
}

int EndMaskForTarget(const Rect* rect) {
    if (!DrawState.maskActive || !WorkAreaExists() || g_mask.bytes == nullptr) return 0;
    Rect r;
    if (!MaskRect(rect, &r)) return 0;
    ScreenStateRecord& s = GetScreenState();
    int width = 640, height = 480;
    ReadScreenSize(&width, &height);
    r.right = std::min(r.right, width);
    r.bottom = std::min(r.bottom, height);
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom) return 0;
    MEMIMG* work = g_mask.usesMemImg ? &g_mask.memImg : nullptr;
    Pixels drawn, target;
    if (!Open(g_mask.surface, work, r, &drawn)) return 0;
    if (!Open(s.targetSurface, s.targetImage, r, &target)) {
        Close(&drawn);
        return 0;
    }
    // Pixel by pixel rather than through a colour key, so that saved pixels of the key colour
    // come back as well.
    const int32_t bytes = ScreenBytesPerPixel();
    for (int32_t y = 0; y < r.bottom - r.top; ++y) {
        const uint8_t* m = g_mask.bytes + int64_t(r.top + y) * g_mask.pitch + r.left;
        const uint8_t* d = drawn.base + int64_t(y) * drawn.pitch;
        uint8_t* t = target.base + int64_t(y) * target.pitch;
        for (int32_t x = 0; x < r.right - r.left; ++x) {
            const bool shows = g_mask.reverse ? m[x] == 0 : m[x] != 0;
            if (shows) std::memcpy(t + x * bytes, d + x * bytes, size_t(bytes));
        }
    }
    Close(&target);
    Close(&drawn);
    return 0;
}

}  // namespace tessra
