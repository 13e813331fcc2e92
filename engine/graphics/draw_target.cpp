// Choosing the draw target and its clip rectangle, and clearing it.
#include <algorithm>

#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/d3d/d3d.h"
#include "engine/graphics/draw_front.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/mask_screen.h"
#include "engine/graphics/matrix.h"
#include "engine/screen/draw2d.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"

namespace tessra {

using namespace sjis_literals;

namespace {

bool Off() {
    return GetGraphicsCoreState().graphicsOff != 0;
}

// The window's client area in screen coordinates; false without an engine window.
bool ClientArea(Rect* out) {
    const ScreenHost* host = GetScreenHost();
    if (host == nullptr || host->getClientAreaRect == nullptr) return false;
    int r[4] = {0, 0, 0, 0};
    host->getClientAreaRect(r);
    *out = Rect{r[0], r[1], r[2], r[3]};
    return true;
}

const char* TargetLogName(int target) {
    if (target == kFrontScreen) return "Front Buffer";
    if (target == kBackScreen) return "Back Buffer";
    return "Image Buffer";
}

bool EngineWindowed() {
    const ScreenHost* host = GetScreenHost();
    return host != nullptr && host->getWindowModeSetting != nullptr &&
           host->getWindowModeSetting() == 1;
}

void StoreDrawArea(const Rect& area) {
    DrawState.DrawArea = area;
    DrawState.drawAreaF[0] = static_cast<float>(area.left);
    DrawState.drawAreaF[1] = static_cast<float>(area.top);
    DrawState.drawAreaF[2] = static_cast<float>(area.right);
    DrawState.drawAreaF[3] = static_cast<float>(area.bottom);
}

// The target's size into the draw state and its area: kept when the size did not change.
void AdoptTargetSize(int target) {
    int width = 0, height = 0;
    QueryGraphExtent(target, &width, &height);
    if (width == DrawState.targetWidth && height == DrawState.targetHeight) {
        const Rect a = DrawState.DrawArea;
        ApplyDrawClipRect(a.left, a.top, a.right, a.bottom);
    } else {
        DrawState.targetWidth = width;
        DrawState.targetHeight = height;
        ApplyDrawClipRect(0, 0, width, height);
    }
    SetDefaultCameraForTarget(width, height);
}

}  // namespace

void RecomputeDrawClientRect() {
    const ScreenStateRecord& s = GetScreenState();
    Rect client{0, 0, 0, 0};
    if (!DrawState.maskActive && DrawState.drawTarget == kFrontScreen && EngineWindowed() &&
        (!s.memImgScreens || GetScreenBitDepth() == 8)) {
        if (!ClientArea(&client)) client = Rect{0, 0, 0, 0};
    }
    DrawState.clientRect = client;
}

int SetDrawTargetAndArea(int target) {
    if (!GetGraphicsCoreState().started) return -1;
    if (Off()) return 0;
    WaitWhileWindowInactive();
    const int keptMask = DrawState.maskEnabled;
    SetMaskDrawEnabled(0);
    const int old = DrawState.drawTarget;
    const Rect oldClient = DrawState.clientRect;
    DrawState.drawTarget = target;
    RecomputeDrawClientRect();
    // Each back-end takes the target or refuses it; the change fails only when all refuse.
    const bool taken3D = DrawState.direct3DReady && SetRenderTarget3DForDrawScreen(target) == 0;
    if (SelectDrawTarget(target) != 0 && !taken3D) {
        // The old target comes back as it was; when it cannot be chosen either (it was deleted
        // meanwhile), the back screen takes its place.
        DrawState.drawTarget = old;
        DrawState.clientRect = oldClient;
        const bool oldTaken3D = DrawState.direct3DReady && SetRenderTarget3DForDrawScreen(old) == 0;
        if (SelectDrawTarget(old) != 0 && !oldTaken3D) {
            DrawState.drawTarget = kBackScreen;
            RecomputeDrawClientRect();
            if (DrawState.direct3DReady) SetRenderTarget3DForDrawScreen(kBackScreen);
            SelectDrawTarget(kBackScreen);
            AdoptTargetSize(kBackScreen);
        }
        SetMaskDrawEnabled(keptMask);
        return -1;
    }
    AdoptTargetSize(target);
    SetMaskDrawEnabled(keptMask);
    return 0;
}

int ApplyDrawClipRect(int left, int top, int right, int bottom) {
    if (Off()) return 0;
    WaitWhileWindowInactive();
    const int target = DrawState.drawTarget;
    int width = 0, height = 0;
    if (target == kFrontScreen || target == kBackScreen) {
        QueryGraphExtent(target, &width, &height);
        Rect client;
        if (target == kFrontScreen && EngineWindowed() && ClientArea(&client)) {
            // Only the part of the window that lies on the desktop can be drawn.
            const ScreenHost* host = GetScreenHost();
            int dw = 0, dh = 0;
            if (host->getDesktopMetrics != nullptr &&
                host->getDesktopMetrics(&dw, &dh, nullptr) == 0 && dw > 0 && dh > 0) {
                if (client.left + width >= dw) width = dw - client.left;
                if (client.top + height >= dh) height = dh - client.top;
            }
            // A window hanging off the left or top edge: the hidden part is cut, but an edge
            // the caller asked further in is kept.
            if (client.left < 0) left = std::max(left, -client.left);
            if (client.top < 0) top = std::max(top, -client.top);
        }
    } else if (QueryGraphExtent(target, &width, &height) != 0) {
        return 0;
    }
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    width = std::max(width, 0);
    height = std::max(height, 0);
    left = std::clamp(left, 0, width);
    right = std::clamp(right, 0, width);
    top = std::clamp(top, 0, height);
    bottom = std::clamp(bottom, 0, height);
    StoreDrawArea(Rect{left, top, right, bottom});
    DrawState.drawAreaEmpty = (left == right || top == bottom) ? 1 : 0;
    if (DrawState.drawAreaEmpty) return 0;
    // The 3-D device clips to its viewport, which follows the draw area.
    if (DrawState.direct3DReady && ApplyDrawAreaToViewport3D(&DrawState.DrawArea) != 0) {
        AppendLogFormat("ビューポートの設定に失敗しました %s"_sjis, TargetLogName(target));
    }
    return 0;
}

int ClearDrawTargetAndRepaint() {
    if (Off()) return 0;
    WaitWhileWindowInactive();
    if (DrawState.direct3DReady) G_D3D_ClearDrawTarget();
    ClearDrawTarget();
    const int bits = GetScreenBitDepth();
    if (GetWindowModeFlag() && (bits == 16 || bits == 32) && DrawState.drawTarget == kFrontScreen) {
        int width = 640, height = 480;
        ReadScreenSize(&width, &height);
        DrawSoftScreenToWindow(0, 0, width, height);
    }
    return 0;
}

int ClipRectToRect(Rect* rect, const Rect* bound) {
    if (rect == nullptr || bound == nullptr) return -1;
    if (rect->right < rect->left) rect->right = rect->left;
    if (rect->bottom < rect->top) rect->bottom = rect->top;
    // An inverted bound clips to nothing rather than to a rectangle outside it.
    const int32_t bl = bound->left, br = std::max(bound->left, bound->right);
    const int32_t bt = bound->top, bb = std::max(bound->top, bound->bottom);
    rect->top = std::clamp(rect->top, bt, bb);
    rect->bottom = std::clamp(rect->bottom, bt, bb);
    rect->left = std::clamp(rect->left, bl, br);
    rect->right = std::clamp(rect->right, bl, br);
    return 0;
}

int NormalizeRect(Rect* rect) {
    if (rect == nullptr) return -1;
    if (rect->left > rect->right) std::swap(rect->left, rect->right);
    if (rect->top > rect->bottom) std::swap(rect->top, rect->bottom);
    return 0;
}

int GetRectSize(const Rect* rect, int* width, int* height) {
    if (rect == nullptr) return -1;
    if (width != nullptr) *width = rect->right - rect->left;
    if (height != nullptr) *height = rect->bottom - rect->top;
    return 0;
}

}  // namespace tessra
