// A plain RGBA picture that the art and the loading picture are drawn into, and PNG encoding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace databuild {

// Colors are 0xRRGGBBAA.
constexpr uint32_t Rgb(int r, int g, int b, int a = 255) {
    return (static_cast<uint32_t>(r & 255) << 24) | (static_cast<uint32_t>(g & 255) << 16) |
           (static_cast<uint32_t>(b & 255) << 8) | static_cast<uint32_t>(a & 255);
}
constexpr uint32_t kKeyGreen = Rgb(0, 255, 0);  // the sheets' transparent colour

struct Canvas {
    int width = 0, height = 0;
    std::vector<uint32_t> px;
    Canvas() = default;
    Canvas(int w, int h, uint32_t fill) : width(w), height(h), px(size_t(w) * h, fill) {}
    uint32_t Get(int x, int y) const {
        return (x < 0 || y < 0 || x >= width || y >= height) ? 0 : px[size_t(y) * width + x];
    }
    void Set(int x, int y, uint32_t c) {
        if (x >= 0 && y >= 0 && x < width && y < height) px[size_t(y) * width + x] = c;
    }
};

// A window onto part of a canvas: drawing is clipped to it and coordinates are local.
struct View {
    Canvas* canvas;
    int x0, y0, w, h;
    void Set(int x, int y, uint32_t c) const {
        if (x >= 0 && y >= 0 && x < w && y < h) canvas->Set(x0 + x, y0 + y, c);
    }
    uint32_t Get(int x, int y) const {
        return (x >= 0 && y >= 0 && x < w && y < h) ? canvas->Get(x0 + x, y0 + y) : kKeyGreen;
    }
    // A part of this view, clipped to it.
    View Sub(int x, int y, int sw, int sh) const {
        const int l = x < 0 ? 0 : x, t = y < 0 ? 0 : y;
        const int r = x + sw > w ? w : x + sw, b = y + sh > h ? h : y + sh;
        return View{canvas, x0 + l, y0 + t, r > l ? r - l : 0, b > t ? b - t : 0};
    }
    void Fill(int x, int y, int fw, int fh, uint32_t c) const;
    void Frame(int x, int y, int fw, int fh, uint32_t c) const;
    void Disc(double cx, double cy, double r, uint32_t c) const;
    void Ellipse(double cx, double cy, double rx, double ry, uint32_t c) const;
    void Ring(double cx, double cy, double r, double thickness, uint32_t c) const;
    void Line(int x1, int y1, int x2, int y2, uint32_t c) const;
    void Thick(int x1, int y1, int x2, int y2, double r, uint32_t c) const;
    void Tri(double ax, double ay, double bx, double by, double cx, double cy, uint32_t c) const;
    // Draws a dark edge around every non-key pixel (on key pixels next to them).
    void Outline(uint32_t c) const;
    // Shades with a light from the top left: non-key pixels get lighter or darker by position.
    void Shade(int strength) const;
};

// Mixes two colours, t from 0 (a) to 256 (b).
uint32_t Mix(uint32_t a, uint32_t b, int t);
uint32_t Lighten(uint32_t c, int amount);  // negative darkens

// Small deterministic noise for textures.
uint32_t Hash(uint32_t a, uint32_t b = 0, uint32_t c = 0);

// PNG bytes of the canvas: RGB with green as the key colour, or RGBA when `alpha`.
bool EncodePng(const Canvas& canvas, bool alpha, std::vector<uint8_t>* out);

}  // namespace databuild
