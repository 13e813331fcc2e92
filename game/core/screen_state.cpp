#include "game/core/screen_state.h"

#include "engine/tessra.h"

namespace velmora {
namespace {

struct ScreenState {
    int width = 0;  // 0 while start-up has not chosen
    int height = 0;
    int depth = 32;
    bool flash = false;
};

ScreenState g_screen;

}  // namespace

void GetScreenExtent(int* width, int* height) {
    int w = g_screen.width, h = g_screen.height;
    if (w <= 0 || h <= 0) {
        w = 640;
        h = 480;
        GetScreenDimensions(&w, &h);
    }
    if (width) *width = w;
    if (height) *height = h;
}

int GetScreenDepth() {
    return g_screen.depth;
}

void SetScreenExtent(int width, int height, int depth) {
    g_screen.width = width;
    g_screen.height = height;
    g_screen.depth = depth == 16 ? 16 : 32;
}

void ClearScreenExtent() {
    g_screen.width = 0;
    g_screen.height = 0;
    g_screen.depth = 32;
}

void RequestScreenFlash() {
    g_screen.flash = true;
}

bool IsScreenFlashRequested() {
    return g_screen.flash;
}

void ClearScreenFlash() {
    g_screen.flash = false;
}

}  // namespace velmora
