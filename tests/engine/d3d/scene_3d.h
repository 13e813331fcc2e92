// A full-screen 640x480 scene drawn through the graphics core: sprites (opaque, colour-keyed,
// angle 0, clipped, stretched, mirrored, rotated, quad, alpha, added, subtracted), shapes (fill,
// lines, frame, ellipses) and text. The end-to-end 3-D test compares it between the 3-D and the
// 2-D path; the drawing bench times it on both.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

#include "engine/font/font.h"
#include "engine/graphics/draw_front.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_image.h"
#include "engine/graphics/graph_table.h"
#include "engine/screen/screen.h"

namespace tessra::scene3d {

constexpr int kW = 640, kH = 480;

// A 32x32 picture with a black (colour-keyed) diagonal band. Its colours survive the 16-bit
// screens and the 5-5-5 textures alike: 5-bit channels, green below 128 (a 5-bit green widened
// to 6 bits repeats its top bit). The graph handle, or -1.
inline int MakeSprite() {
    GraphImage img{};
    if (AllocGraphImage(32, 32, &img) != 0) return -1;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            uint32_t v = (uint32_t((x * 8) & 0xF8) << 16) | (uint32_t((y * 4) & 0xF8) << 8) | 0x48;
            if (std::abs(x - y) < 3) v = 0;
            uint8_t* p = img.pixels + y * img.pitch + x * 3;
            p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16);
        }
    }
    const int g = BuildGraphFromGraphImages(&img, nullptr, 1, 0, 0);
    FreeGraphImage(&img);
    return g;
}

// How the two paths must compare on an item's pixels.
enum class Match {
    kExact,       // the same pixel values
    kBlend,       // within one step a channel at 32 bits
    kInsideArea,  // only: nothing lands outside the area
};

struct Item {
    const char* what;
    Rect area;  // what the draw may touch
    Match match;
    std::function<void(int sprite)> draw;
};

inline std::vector<Item> Items() {
    const uint32_t c1 = MakeScreenColor(200, 120, 40), c2 = MakeScreenColor(40, 200, 160);
    const auto blended = [](int left, int mode, uint32_t under) {
        return [left, mode, under](int g) {
            FillOrFrameRectangle(left, 10, left + 32, 42, under, 1);
            StoreBlendModeAndParam(mode, mode == kBlendAlpha ? 128 : 255);
            DrawGraphAt(left, 10, g, 0);
            StoreBlendModeAndParam(kBlendNone, 0);
        };
    };
    return {
        {"opaque sprite",
         {10, 10, 42, 42},
         Match::kExact,
         [](int g) { DrawGraphAt(10, 10, g, 0); }},
        {"keyed sprite", {60, 10, 92, 42}, Match::kExact, [](int g) { DrawGraphAt(60, 10, g, 1); }},
        {"angle 0",
         {110, 10, 142, 42},
         Match::kExact,
         [](int g) { DrawGraphRotated(126.0f, 26.0f, 1.0, 0.0, g, 1, 0); }},
        {"clipped sprite",
         {0, 10, 12, 42},
         Match::kExact,
         [](int g) { DrawGraphAt(-20, 10, g, 1); }},
        {"fill",
         {10, 60, 50, 90},
         Match::kExact,
         [c1](int) { FillOrFrameRectangle(10, 60, 50, 90, c1, 1); }},
        {"lines",
         {60, 60, 101, 91},
         Match::kExact,
         [c2](int) {
             DrawLineClipped(60, 60, 60, 90, c2);
             DrawLineClipped(70, 60, 100, 60, c2);
             DrawLineClipped(100, 80, 70, 80, c2);
         }},
        {"frame",
         {110, 60, 150, 90},
         Match::kExact,
         [c1](int) { FillOrFrameRectangle(110, 60, 150, 90, c1, 0); }},
        {"filled ellipse",
         {170, 55, 231, 96},
         Match::kExact,
         [c2](int) { DrawOvalInBounds(200, 75, 30, 12, c2, 1); }},
        {"ellipse outline",
         {240, 50, 272, 101},
         Match::kExact,
         [c1](int) { DrawOvalInBounds(256, 75, 15, 24, c1, 0); }},
        {"stretched",
         {10, 110, 74, 142},
         Match::kInsideArea,
         [](int g) { DrawGraphStretched(10, 110, 74, 142, g, 1); }},
        {"mirrored",
         {90, 110, 122, 142},
         Match::kInsideArea,
         [](int g) { DrawGraphStretched(122, 110, 90, 142, g, 1); }},
        {"rotated",
         {140, 100, 210, 170},
         Match::kInsideArea,
         [](int g) { DrawGraphRotated(175.0f, 135.0f, 1.3, 0.6, g, 1, 0); }},
        {"quad",
         {230, 110, 300, 170},
         Match::kInsideArea,
         [](int g) { DrawGraphQuad(240, 110, 290, 120, 300, 170, 230, 160, g, 1); }},
        {"alpha blend",
         {320, 10, 352, 42},
         Match::kBlend,
         blended(320, kBlendAlpha, MakeScreenColor(90, 90, 90))},
        {"added",
         {370, 10, 402, 42},
         Match::kBlend,
         blended(370, kBlendAdd, MakeScreenColor(60, 30, 20))},
        {"subtracted",
         {420, 10, 452, 42},
         Match::kBlend,
         blended(420, kBlendSubtract, MakeScreenColor(250, 240, 230))},
        {"text",
         {10, 190, 630, 260},
         Match::kInsideArea,
         [c1](int) {
             DrawStringWithDefaultFont(20, 200, "Score 0012340  Stage 3", c1, 0);
             DrawStringWithDefaultFont(20, 230, "Press a key to continue",
                                       MakeScreenColor(250, 250, 250), 0);
         }},
    };
}

// Draws every item with the sprite, in order.
inline void Draw(int sprite) {
    for (const Item& item : Items()) item.draw(sprite);
}

}  // namespace tessra::scene3d
