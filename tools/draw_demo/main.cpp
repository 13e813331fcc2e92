// draw_demo [--headless] [--full] [--bits 16|32] [--frames N] [--out FILE.png]
// Paints sprites into graphs through the drawing calls (each graph in turn the draw target),
// then draws a dig-site scene with them each frame: a tiled ground, tunnels, miners plain,
// mirrored, stretched and turned, glowing gems, lamp rays, a framed panel, ovals and a line of
// text. --out writes the last frame's back screen as a PNG; --headless needs no display.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/font/font.h"
#include "engine/graphics/color_format.h"
#include "engine/screen/screen_state.h"
#include "engine/tessra.h"
#include "platform/ddraw/ddraw.h"
#include "tools/databuild/canvas.h"
#include "tools/databuild/databuild.h"

namespace {

uint32_t C(int r, int g, int b) {
    return MakeColor(r, g, b);
}

struct Sprites {
    int miner = -1, gem = -1, dirt = -1, boulder = -1;
    int font = -1;  // an edged font for the panel
};

// Each sprite is painted on black, the transparent colour, with the graph as the draw target.
Sprites PaintSprites() {
    Sprites s;
    s.miner = MakeBlankGraph(32, 32);
    SetRenderTarget(s.miner);
    EraseDrawTarget();
    DrawRectangle(10, 14, 22, 26, C(52, 92, 196), 1);  // overalls
    DrawRectangle(10, 26, 15, 31, C(70, 46, 30), 1);   // boots
    DrawRectangle(17, 26, 22, 31, C(70, 46, 30), 1);
    DrawEllipseShape(16, 11, 6, 5, C(240, 196, 150), 1);  // face
    DrawEllipseShape(16, 7, 7, 4, C(250, 206, 40), 1);    // helmet
    DrawRectangle(8, 8, 25, 10, C(214, 170, 20), 1);      // brim
    DrawEllipseShape(16, 5, 2, 2, C(255, 255, 220), 1);   // lamp
    DrawRectangle(13, 10, 15, 12, C(30, 30, 40), 1);      // eyes
    DrawRectangle(18, 10, 20, 12, C(30, 30, 40), 1);
    DrawLineSegment(22, 16, 30, 8, C(150, 100, 60));  // pick handle
    DrawLineSegment(23, 16, 31, 8, C(150, 100, 60));
    DrawLineSegment(26, 4, 31, 12, C(190, 190, 200));  // pick head

    s.gem = MakeBlankGraph(16, 16);
    SetRenderTarget(s.gem);
    EraseDrawTarget();
    DrawEllipseShape(8, 8, 7, 6, C(30, 170, 200), 1);
    DrawEllipseShape(8, 8, 4, 3, C(120, 230, 250), 1);
    DrawEllipseShape(6, 6, 1, 1, C(255, 255, 255), 1);
    DrawEllipseShape(8, 8, 7, 6, C(20, 90, 140), 0);

    s.dirt = MakeBlankGraph(32, 32);
    SetRenderTarget(s.dirt);
    DrawRectangle(0, 0, 32, 32, C(122, 82, 48), 1);
    const int specks[][3] = {{5, 6, 2},  {20, 4, 1},  {27, 14, 2}, {12, 18, 3},
                             {4, 26, 1}, {22, 25, 2}, {15, 9, 1},  {29, 29, 1}};
    for (const auto& p : specks) DrawEllipseShape(p[0], p[1], p[2], p[2], C(96, 62, 36), 1);
    DrawEllipseShape(9, 13, 1, 1, C(160, 118, 76), 1);
    DrawEllipseShape(25, 20, 1, 1, C(160, 118, 76), 1);
    DrawLineSegment(0, 31, 32, 31, C(104, 70, 40));

    s.boulder = MakeBlankGraph(24, 24);
    SetRenderTarget(s.boulder);
    EraseDrawTarget();
    DrawEllipseShape(12, 13, 10, 9, C(112, 112, 120), 1);
    DrawEllipseShape(9, 9, 4, 3, C(150, 150, 160), 1);
    DrawEllipseShape(12, 13, 10, 9, C(60, 60, 70), 0);
    SetRenderTarget(-2);
    s.font = tessra::CreateFontToHandle(nullptr, 20, 4, 1, -1, 1, 0, -1, -1);
    return s;
}

void PaintScene(const Sprites& s, int frame) {
    // Evening sky in bands and a low sun.
    for (int band = 0; band < 12; ++band)
        DrawRectangle(0, band * 10, 640, band * 10 + 10,
                      C(40 + band * 12, 50 + band * 8, 120 - band * 3), 1);
    DrawEllipseShape(520, 112, 26, 26, C(255, 210, 110), 1);
    DrawRectangle(0, 112, 640, 120, C(70, 120, 60), 1);  // grass
    // The ground: one tile repeated over the rest of the screen.
    PutGraphRotatedAbout(0, 120, 640, 480, 0, 8, 1.0, 0.0, s.dirt, 0);
    // Tunnels dug out of it.
    const uint32_t hollow = C(34, 22, 16);
    DrawRectangle(40, 120, 72, 300, hollow, 1);
    DrawRectangle(40, 268, 420, 300, hollow, 1);
    DrawRectangle(388, 300, 420, 420, hollow, 1);
    DrawRectangle(180, 388, 600, 420, hollow, 1);
    // Miners: walking right, walking left, a big one and one tumbling.
    const int walk = (frame * 2) % 300;
    PutGraph(48 + walk, 268, s.miner, 1);
    PutGraphMirrored(560 - walk, 388, s.miner, 1);
    PutGraphStretched(96, 48, 160, 112, s.miner, 1);
    PutGraphRotated(300, 180, 1.0, frame * 0.05, s.boulder, 1, 0);
    // Gems glowing: added over the tunnel floor.
    for (int i = 0; i < 5; ++i) {
        const int x = 200 + i * 70, y = 398;
        PutGraph(x, y, s.gem, 1);
        SetBlendMode(2, 90 + 40 * ((frame / 8 + i) % 3));
        DrawEllipseShape(x + 8, y + 8, 14, 12, C(40, 120, 160), 1);
        SetBlendMode(0, 0);
    }
    // The big miner's lamp rays.
    for (int i = -3; i <= 3; ++i) DrawLineSegment(128, 56, 220, 40 + i * 12, C(255, 240, 170));
    // A framed panel with the score.
    SetBlendMode(1, 160);
    DrawRectangle(16, 436, 400, 470, C(10, 10, 30), 1);
    SetBlendMode(0, 0);
    DrawRectangle(16, 436, 400, 470, C(230, 200, 90), 0);
    DrawRectangle(18, 438, 398, 468, C(120, 100, 40), 0);
    char line[64];
    std::snprintf(line, sizeof line, "DEPTH 12   GEMS %02d   TIME %03d", 5, 300 - frame % 300);
    tessra::DrawStringWithFont(28, 443, line, C(255, 240, 200), s.font, C(20, 20, 20), 0);
}

// The back screen as a picture: 0xAARRGGBB from whatever holds it.
bool WriteBackScreen(const std::string& path) {
    tessra::ScreenStateRecord& s = tessra::GetScreenState();
    int w = 0, h = 0;
    GetScreenDimensions(&w, &h);
    databuild::Canvas canvas(w, h, 0);
    const uint8_t* pixels = nullptr;
    int32_t pitch = 0, bytes = 0;
    const tessra::ColorFormat* format = nullptr;
    plat::DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (s.memImgScreens) {
        pixels = s.backImage.pixels;
        pitch = s.backImage.pitch;
        format = s.backImage.format;
    } else if (s.back != nullptr &&
               !plat::DDFailed(s.back->Lock(nullptr, &desc, plat::DDLOCK_WAIT, nullptr))) {
        pixels = static_cast<const uint8_t*>(desc.lpSurface);
        pitch = desc.lPitch;
        format = &s.screenFormat;
    }
    if (pixels == nullptr || format == nullptr) return false;
    bytes = format->bytesPerPixel;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t v = 0;
            std::memcpy(&v, pixels + y * pitch + x * bytes, size_t(bytes));
            // A channel widened to 8 bits, its top bits repeated below.
            auto channel = [&](uint32_t mask, int shift, int width) {
                const uint32_t c = (v & mask) >> shift;
                if (width >= 8) return int(c >> (width - 8));
                return int((c << (8 - width)) | (c >> (2 * width - 8)));
            };
            canvas.Set(
                x, y,
                databuild::Rgb(channel(format->redMask, format->redShift, format->redWidth),
                               channel(format->greenMask, format->greenShift, format->greenWidth),
                               channel(format->blueMask, format->blueShift, format->blueWidth)));
        }
    if (!s.memImgScreens) s.back->Unlock(nullptr);
    std::vector<uint8_t> png;
    return databuild::EncodePng(canvas, false, &png) && databuild::WriteFileAtomic(path, png);
}

}  // namespace

int main(int argc, char** argv) {
    int windowed = 1, bits = 32, frames = -1;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            setenv("SDL_VIDEODRIVER", "dummy", 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
        } else if (std::strcmp(argv[i], "--full") == 0) {
            windowed = 0;
        } else if (std::strcmp(argv[i], "--bits") == 0 && i + 1 < argc) {
            bits = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            out = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: draw_demo [--headless] [--full] [--bits 16|32] "
                         "[--frames N] [--out FILE.png]\n");
            return 2;
        }
    }
    if (frames < 0) frames = out.empty() ? 600 : 40;
    ChangeWindowMode(windowed);
    SetScreenMode(640, 480, bits, -1);
    if (StartEngine() != 0) {
        std::fprintf(stderr, "draw_demo: the engine did not start\n");
        return 1;
    }
    const Sprites sprites = PaintSprites();
    int shown = 0;
    for (int frame = 0; frame < frames; ++frame) {
        SetRenderTarget(-2);
        PaintScene(sprites, frame);
        if (frame == frames - 1 && !out.empty() && !WriteBackScreen(out)) {
            std::fprintf(stderr, "draw_demo: cannot write %s\n", out.c_str());
            ShutdownEngine();
            return 1;
        }
        if (PresentFrame() == 0) ++shown;
        if (ProcessMessage() != 0) break;
    }
    std::printf("presented %d frames%s%s\n", shown, out.empty() ? "" : ", wrote ", out.c_str());
    ShutdownEngine();
    return 0;
}
