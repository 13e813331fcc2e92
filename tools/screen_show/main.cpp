// screen_show [--full] [--bits 16|32] [--frames N] [--switch]
// Paints a dusk landscape into the back screen each frame and presents it; --switch changes
// between window and full screen after half the frames. Prints the frames presented.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/graphics/draw_state.h"
#include "engine/screen/memimg.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"
#include "engine/tessra.h"

namespace {

// One rectangle of colour into the back screen, whichever kind of screen it is.
void Fill(int left, int top, int right, int bottom, int r, int g, int b) {
    tessra::ScreenStateRecord& s = tessra::GetScreenState();
    const uint32_t color = tessra::MakeScreenColor(r, g, b);
    if (s.memImgScreens) {
        const tessra::Rect rect = {left, top, right, bottom};
        tessra::FillMemImgRect(&s.backImage, &rect, color);
    } else if (s.back != nullptr) {
        plat::DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = color;
        const plat::RECT rect = {left, top, right, bottom};
        s.back->Blt(&rect, nullptr, nullptr, plat::DDBLT_COLORFILL, &fx);
    }
}

void Paint(int frame) {
    int w = 0, h = 0;
    tessra::ReadScreenSize(&w, &h);
    // Sky: bands from deep blue to a warm horizon.
    const int horizon = h * 2 / 3;
    for (int band = 0; band < 24; ++band) {
        const int top = horizon * band / 24;
        const int bottom = band == 23 ? horizon + 40 : horizon * (band + 1) / 24;
        Fill(0, top, w, bottom, 30 + band * 9, 40 + band * 5, 110 - band * 2);
    }
    // The sun sinking slowly, as a stack of rows making a disc.
    const int cx = w * 2 / 3;
    const int cy = horizon - 30 + (frame % 240) / 8;
    for (int dy = -28; dy <= 28; ++dy) {
        const int half = static_cast<int>(std::sqrt(28.0 * 28 - dy * dy));
        if (cy + dy < horizon) Fill(cx - half, cy + dy, cx + half, cy + dy + 1, 255, 214, 110);
    }
    // Two hills and the meadow.
    for (int x = 0; x < w; x += 4) {
        const int hill = static_cast<int>(24 * std::sin(x * 0.012) + 14 * std::sin(x * 0.031));
        Fill(x, horizon - 20 + hill, x + 4, h, 46, 92, 58);
    }
    Fill(0, horizon + 30, w, h, 64, 128, 60);
}

}  // namespace

int main(int argc, char** argv) {
    int windowed = 1, bits = 32, frames = 120, doSwitch = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--full") == 0) {
            windowed = 0;
        } else if (std::strcmp(argv[i], "--bits") == 0 && i + 1 < argc) {
            bits = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--switch") == 0) {
            doSwitch = 1;
        } else {
            std::fprintf(stderr,
                         "usage: screen_show [--full] [--bits 16|32] [--frames N] [--switch]\n");
            return 2;
        }
    }
    ChangeWindowMode(windowed);
    SetScreenMode(640, 480, bits, -1);
    if (StartEngine() != 0) {
        std::fprintf(stderr, "the engine did not start\n");
        return 1;
    }
    int shown = 0;
    for (int frame = 0; frame < frames; ++frame) {
        if (doSwitch && frame == frames / 2) ChangeWindowMode(windowed ^= 1);
        SetRenderTarget(-2);
        Paint(frame);
        if (PresentFrame() == 0) ++shown;
        if (ProcessMessage() != 0) break;
    }
    std::printf("presented %d frames\n", shown);
    ShutdownEngine();
    return 0;
}
