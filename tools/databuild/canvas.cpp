#include "tools/databuild/canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace databuild {

void View::Fill(int x, int y, int fw, int fh, uint32_t c) const {
    for (int j = y; j < y + fh; ++j)
        for (int i = x; i < x + fw; ++i) Set(i, j, c);
}

void View::Frame(int x, int y, int fw, int fh, uint32_t c) const {
    Fill(x, y, fw, 1, c);
    Fill(x, y + fh - 1, fw, 1, c);
    Fill(x, y, 1, fh, c);
    Fill(x + fw - 1, y, 1, fh, c);
}

void View::Ellipse(double cx, double cy, double rx, double ry, uint32_t c) const {
    if (rx <= 0 || ry <= 0) return;
    for (int j = int(std::floor(cy - ry)); j <= int(std::ceil(cy + ry)); ++j)
        for (int i = int(std::floor(cx - rx)); i <= int(std::ceil(cx + rx)); ++i) {
            const double dx = (i + 0.5 - cx) / rx, dy = (j + 0.5 - cy) / ry;
            if (dx * dx + dy * dy <= 1.0) Set(i, j, c);
        }
}

void View::Disc(double cx, double cy, double r, uint32_t c) const {
    Ellipse(cx, cy, r, r, c);
}

void View::Ring(double cx, double cy, double r, double t, uint32_t c) const {
    for (int j = int(cy - r - 1); j <= int(cy + r + 1); ++j)
        for (int i = int(cx - r - 1); i <= int(cx + r + 1); ++i) {
            const double d = std::hypot(i + 0.5 - cx, j + 0.5 - cy);
            if (d <= r && d >= r - t) Set(i, j, c);
        }
}

void View::Line(int x1, int y1, int x2, int y2, uint32_t c) const {
    int dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
    int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1, err = dx + dy;
    for (;;) {
        Set(x1, y1, c);
        if (x1 == x2 && y1 == y2) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x1 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y1 += sy;
        }
    }
}

void View::Thick(int x1, int y1, int x2, int y2, double r, uint32_t c) const {
    const int steps = std::max(std::abs(x2 - x1), std::abs(y2 - y1)) + 1;
    for (int k = 0; k <= steps; ++k) {
        const double t = double(k) / steps;
        Disc(x1 + (x2 - x1) * t + 0.5, y1 + (y2 - y1) * t + 0.5, r, c);
    }
}

void View::Tri(double ax, double ay, double bx, double by, double cx, double cy, uint32_t c) const {
    const int minX = int(std::floor(std::min({ax, bx, cx})));
    const int maxX = int(std::ceil(std::max({ax, bx, cx})));
    const int minY = int(std::floor(std::min({ay, by, cy})));
    const int maxY = int(std::ceil(std::max({ay, by, cy})));
    auto edge = [](double x0, double y0, double x1, double y1, double px, double py) {
        return (x1 - x0) * (py - y0) - (y1 - y0) * (px - x0);
    };
    for (int j = minY; j <= maxY; ++j)
        for (int i = minX; i <= maxX; ++i) {
            const double px = i + 0.5, py = j + 0.5;
            const double e0 = edge(ax, ay, bx, by, px, py);
            const double e1 = edge(bx, by, cx, cy, px, py);
            const double e2 = edge(cx, cy, ax, ay, px, py);
            if ((e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0)) Set(i, j, c);
        }
}

void View::Outline(uint32_t c) const {
    std::vector<uint8_t> solid(size_t(w) * h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) solid[size_t(j) * w + i] = Get(i, j) != kKeyGreen;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            if (solid[size_t(j) * w + i]) continue;
            bool near = false;
            for (int k = 0; k < 4 && !near; ++k) {
                const int x = i + (k == 0) - (k == 1), y = j + (k == 2) - (k == 3);
                near = x >= 0 && y >= 0 && x < w && y < h && solid[size_t(y) * w + x];
            }
            if (near) Set(i, j, c);
        }
}

void View::Shade(int strength) const {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const uint32_t c = Get(i, j);
            if (c == kKeyGreen) continue;
            const int d = strength - (2 * strength * (i + j)) / std::max(1, w + h - 2);
            Set(i, j, Lighten(c, d));
        }
}

uint32_t Mix(uint32_t a, uint32_t b, int t) {
    uint32_t out = 0;
    for (int s = 0; s < 32; s += 8) {
        const int ca = (a >> s) & 255, cb = (b >> s) & 255;
        out |= uint32_t((ca * (256 - t) + cb * t) >> 8) << s;
    }
    return out;
}

uint32_t Lighten(uint32_t c, int amount) {
    auto ch = [&](int s) {
        int v = int((c >> s) & 255) + amount;
        return uint32_t(std::clamp(v, 0, 255)) << s;
    };
    uint32_t out = ch(24) | ch(16) | ch(8) | (c & 255);
    // Never land on the key colour by accident.
    if ((out | 255) == (kKeyGreen | 255)) out = Rgb(8, 250, 8);
    return out;
}

uint32_t Hash(uint32_t a, uint32_t b, uint32_t c) {
    uint32_t h =
        a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

namespace {

void WriteToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

}  // namespace

bool EncodePng(const Canvas& canvas, bool alpha, std::vector<uint8_t>* out) {
    out->clear();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    const int channels = alpha ? 4 : 3;
    std::vector<uint8_t> row(size_t(canvas.width) * channels);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, WriteToVector, FlushNothing);
    png_set_IHDR(png, info, canvas.width, canvas.height, 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            const uint32_t c = canvas.px[size_t(y) * canvas.width + x];
            uint8_t* p = &row[size_t(x) * channels];
            p[0] = c >> 24;
            p[1] = (c >> 16) & 255;
            p[2] = (c >> 8) & 255;
            if (alpha) p[3] = c & 255;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace databuild
