#include "soft_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

#include "engine/screen/soft_tables.h"
#include "engine/softrender/soft_render.h"

namespace softtest {

namespace {

// Every case of this binary runs as its own process; each needs the blend tables built.
class TablesEnvironment : public ::testing::Environment {
public:
    void SetUp() override { tessra::BuildSoftBlendTables(); }
};
[[maybe_unused]] ::testing::Environment* const kTables =
    ::testing::AddGlobalTestEnvironment(new TablesEnvironment);

struct Layout {
    int shift[3];
    int width[3];
};
const Layout kLayout[2] = {{{0, 5, 11}, {5, 6, 5}}, {{0, 8, 16}, {8, 8, 8}}};

int64_t Ch(int kind, uint32_t v, int c) {
    return (v >> kLayout[kind].shift[c]) & ((1u << kLayout[kind].width[c]) - 1);
}

uint32_t Pack(int kind, const int64_t ch[3]) {
    uint32_t v = 0;
    for (int c = 0; c < 3; ++c) v |= uint32_t(ch[c]) << kLayout[kind].shift[c];
    return v;
}

}  // namespace

void Apply(const State& s) {
    tessra::DrawState.blendMode = s.mode;
    tessra::DrawState.blendParam = s.p;
    for (int i = 0; i < 3; ++i) tessra::DrawState.brightness[i] = s.bright[i];
    tessra::DrawState.DrawArea = s.area;
    tessra::DrawState.maskActive = 0;
    tessra::MmxAvailable = s.mmx;
}

uint32_t RefPixel(Path path, int kind, const SourcePixel& sp, const uint32_t* palette,
                  int transparent, int runCode, int blendWeight, uint32_t d, const State& st) {
    const bool prim = path == Path::Primitive;
    const bool blit = path == Path::BlitNormal || path == Path::BlitFast;
    const bool white = st.bright[0] == 255 && st.bright[1] == 255 && st.bright[2] == 255;
    int mode = st.mode;
    const int64_t p = st.p;
    if (mode < 0 || mode > 4) return d;

    // A: the source colour and its alpha.
    uint32_t s;
    int64_t a = 0;
    if (sp.paletted) {
        s = palette[sp.raw & 0xFF];
    } else if (kind == 0 && sp.alpha) {
        s = sp.raw & 0xFFFF;
        a = (sp.raw >> 16) & 0xFF;
    } else {
        s = kind == 0 ? (sp.raw & 0xFFFF) : sp.raw;
        a = sp.raw >> 24;
    }
    if (prim) s = kind == 0 ? (s & 0xFFFF) : s;

    // B: the gate and the alpha factor.
    bool hasA = false;
    if (path == Path::BlitFast) {
        if (runCode == 0) return d;
        hasA = runCode == 2 && sp.alpha;
    } else if (!prim) {
        if (!sp.alpha) {
            if (transparent != 0 && sp.raw == sp.key) return d;
        } else if (transparent != 0) {
            if (a == 0) return d;
            hasA = a != 255;
        } else {
            hasA = true;
        }
    }
    // C: the blend weight.
    const bool hasW = blendWeight >= 0;
    const int n = int(hasA) + int(hasW);
    const int64_t F = (hasA ? a : 1) * (hasW ? blendWeight : 1);

    // D: brightness, by b / 255 for the blits and b / 256 for the primitives.
    auto bright = [&](int64_t v, int c) -> int64_t {
        if (white) return v;
        return prim ? (v * st.bright[c]) >> 8 : v * st.bright[c] / 255;
    };
    int64_t sc[3], dc[3], sb[3];
    for (int c = 0; c < 3; ++c) {
        sc[c] = Ch(kind, s, c);
        dc[c] = Ch(kind, d, c);
        sb[c] = bright(sc[c], c);
    }
    const uint32_t d3 = kind == 1 ? (d & 0xFF000000u) : 0;

    if (mode == 1 && p == 0) return d;
    if (mode == 2 && p == 0) return d;
    if (mode == 3 && p == 0 && (prim || !sp.paletted)) return d;
    if (mode == 1 && p == 255) mode = 0;

    int64_t out[3];
    if (mode == 0) {
        if (n == 0) {
            if (white || prim) {
                if (prim && !white) return Pack(kind, sb) | (kind == 1 ? (s & 0xFF000000u) : 0);
                return s;
            }
            return Pack(kind, sb) | d3;
        }
        for (int c = 0; c < 3; ++c)
            out[c] = (dc[c] * (int64_t(1) << (8 * n)) + (sb[c] - dc[c]) * F) >> (8 * n);
        return Pack(kind, out) | d3;
    }
    if (mode == 1) {
        if (n >= 1) {
            for (int c = 0; c < 3; ++c)
                out[c] = (dc[c] * (int64_t(1) << (8 * (n + 1))) + (sb[c] - dc[c]) * F * p) >>
                         (8 * (n + 1));
            return Pack(kind, out) | d3;
        }
        const bool special = path == Path::BlitNormal && !sp.alpha && white;
        if (kind == 1) {
            if (special && p == 128) {
                for (int c = 0; c < 3; ++c) out[c] = (sc[c] >> 1) + (dc[c] >> 1);
                return Pack(kind, out);  // the fourth byte becomes 0
            }
            for (int c = 0; c < 3; ++c) out[c] = (256 * dc[c] + (sb[c] - dc[c]) * p) >> 8;
            return Pack(kind, out) | d3;
        }
        for (int c = 0; c < 3; ++c) {
            if (special && p == 128)
                out[c] = (sc[c] >> 1) + (dc[c] >> 1);
            else if (special)
                out[c] = (sc[c] * (p >> 2) + dc[c] * (63 - (p >> 2))) / 63;
            else
                out[c] = dc[c] + (sb[c] - dc[c]) * p / 255;
        }
        return Pack(kind, out);
    }
    if (mode == 4) {
        for (int c = 0; c < 3; ++c)
            out[c] = (dc[c] * sb[c] * F) >> (kLayout[kind].width[c] + 8 * n);
        return Pack(kind, out) | d3;
    }

    // Modes 2 and 3.
    const bool full = p == 255 && n == 0 && white && !hasW;
    const bool sat = kind == 1 && st.mmx == 1 && full && !sp.alpha &&
                     ((path == Path::BlitNormal) || (path == Path::Stretch && mode == 3));
    if (sat) {
        uint32_t r = 0;
        for (int i = 0; i < 32; i += 8) {
            int64_t v = int64_t((d >> i) & 0xFF) + (mode == 2 ? 1 : -1) * int64_t((s >> i) & 0xFF);
            r |= uint32_t(std::clamp<int64_t>(v, 0, 255)) << i;
        }
        return r;
    }
    int64_t t[3] = {0, 0, 0};
    if (!(mode == 3 && p == 0)) {
        for (int c = 0; c < 3; ++c) {
            if (kind == 1 || prim) {
                t[c] = n == 0 ? sb[c] * p / 255 : (sb[c] * F * p) >> (8 * (n + 1));
            } else if (path == Path::Stretch && hasW) {
                t[c] = ((bright(sc[c], c) * F) >> (8 * n)) * p / 255;
            } else {
                t[c] = bright((sc[c] * F) >> (8 * n), c) * p / 255;
            }
        }
    }
    const uint32_t u = Pack(kind, t);
    const bool last = !(blit && mode == 2 && full);
    if (kind == 1) {
        if (mode == 2) {
            uint32_t T = (d & 0xFEFEFFu) + (u & 0xFEFEFFu), C = T & 0x1010100u;
            return T | (C - (C >> 8)) | (last ? ((d | u) & 0x10100u) : 0);
        }
        uint32_t T = (d | 0x1010100u) - (u & 0xFEFEFFu), C = T & 0x1010100u;
        return T & (C - (C >> 8));
    }
    if (mode == 2) {
        uint32_t T = (d & 0xF7DEF7DFu) + (u & 0xF7DEF7DFu), C = T & 0x8210820u;
        return (T | (C - (C >> 5)) | (last ? ((d | u) & 0x820u) : 0)) & 0xFFFF;
    }
    uint32_t T = (d | 0x8210820u) - (u & 0xF7DEF7DFu), C = T & 0x8210820u;
    return (T & (C - (C >> 5))) & 0xFFFF;
}

Image::Image(int kind, int width, int height, int paletted, int alpha, int buffers, uint32_t key) {
    tessra::InitMemImg(&m, width, height, -1, key, kind, paletted, alpha, buffers);
}

Image::~Image() {
    tessra::ReleaseMemImg(&m);
}

static int Bpp(const MEMIMG& m) {
    return m.paletted ? 1 : (m.kind == 0 ? (m.alpha ? 4 : 2) : 4);
}

uint32_t Image::Get(int x, int y) const {
    const uint8_t* p = m.pixels + y * m.pitch + x * Bpp(m);
    uint32_t v = 0;
    std::memcpy(&v, p, Bpp(m));
    return v;
}

void Image::Set(int x, int y, uint32_t v) {
    std::memcpy(m.pixels + y * m.pitch + x * Bpp(m), &v, Bpp(m));
}

std::vector<uint8_t> Image::Bytes() const {
    std::vector<uint8_t> out;
    for (int y = 0; y < m.height; ++y)
        out.insert(out.end(), m.pixels + y * m.pitch, m.pixels + y * m.pitch + m.width * Bpp(m));
    return out;
}

void FillNoise(Image& img, std::mt19937& rng) {
    MEMIMG& m = img.m;
    std::uniform_int_distribution<uint32_t> any;
    if (m.paletted) {
        m.paletteCount = 256;
        for (int i = 0; i < 256; ++i) {
            uint32_t v = any(rng);
            std::memcpy(m.palette + i * (m.kind == 0 ? 2 : 4), &v, m.kind == 0 ? 2 : 4);
        }
    }
    for (int y = 0; y < m.height; ++y) {
        for (int x = 0; x < m.width; ++x) {
            uint32_t v = any(rng);
            uint32_t pick = any(rng) % 8;
            if (!m.alpha && pick == 0) v = m.transColor;
            if (m.alpha) {
                uint32_t a = pick == 0 ? 0 : pick == 1 ? 255 : (v >> 24);
                v = m.kind == 0 ? ((v & 0xFF00FFFFu) | (a << 16)) : ((v & 0xFFFFFF) | (a << 24));
            }
            // Extremes, so saturation and the guard bits are reached often.
            if (pick == 2) v = m.kind == 0 && !m.alpha ? 0xFFFF : (v | 0x00FFFFFF);
            if (pick == 3) v &= m.alpha ? 0xFFFF0000u : 0xFF000000u;
            img.Set(x, y, v);
        }
    }
}

void FillBytes(Image& img, std::mt19937& rng) {
    for (int y = 0; y < img.m.height; ++y)
        for (int x = 0; x < img.m.width; ++x) img.m.pixels[y * img.m.pitch + x] = uint8_t(rng());
}

void WriteRunData(Image& img) {
    MEMIMG& m = img.m;
    uint8_t* out = m.auxBuffer;
    for (int y = 0; y < m.height; ++y) {
        int x = 0;
        while (x < m.width) {
            auto code = [&](int px) {
                uint32_t v = img.Get(px, y);
                if (m.alpha) {
                    uint32_t a = m.kind == 0 ? (v >> 16) & 0xFF : v >> 24;
                    return a == 0 ? 0 : a == 255 ? 1 : 2;
                }
                return v == m.transColor ? 0 : 1;
            };
            int c = code(x), len = 1;
            while (x + len < m.width && len < 64 && code(x + len) == c) ++len;
            *out++ = uint8_t(c * 64 + len - 1);
            x += len;
        }
        *out++ = 0xC0;
    }
    m.runData = 1;
}

std::vector<int> DecodeRuns(const Image& img) {
    std::vector<int> codes;
    const uint8_t* r = img.m.auxBuffer;
    for (int y = 0; y < img.m.height; ++y) {
        for (uint8_t b = *r++; b != 0xC0; b = *r++)
            for (int i = 0; i <= (b & 63); ++i) codes.push_back(b >> 6);
    }
    return codes;
}

void SetTestRamp() {
    for (int v = 0; v < 256; ++v)
        tessra::BlendGraphRamp[v] = uint8_t(v < 16 ? 0 : v > 240 ? 255 : (v * 7) & 0xFF);
}

static void Palette(const MEMIMG& m, uint32_t out[256]) {
    std::memset(out, 0, 256 * 4);
    for (uint32_t i = 0; i < std::min<uint32_t>(m.paletteCount, 256); ++i)
        std::memcpy(&out[i], m.palette + i * (m.kind == 0 ? 2 : 4), m.kind == 0 ? 2 : 4);
}

static bool Inside(const tessra::Rect& a, int64_t x, int64_t y, const MEMIMG& d) {
    return x >= a.left && x < a.right && y >= a.top && y < a.bottom && x >= 0 && y >= 0 &&
           x < d.width && y < d.height;
}

void RefBlit(Image& dest, const Image& src, int x, int y, int transparent, const Image* blend,
             const State& st) {
    uint32_t pal[256];
    Palette(src.m, pal);
    const bool fast =
        transparent == 1 && src.m.runData == 1 && x >= st.area.left && y >= st.area.top &&
        int64_t(x) + src.m.width <= std::min<int64_t>(st.area.right, dest.m.width) &&
        int64_t(y) + src.m.height <= std::min<int64_t>(st.area.bottom, dest.m.height) && x >= 0 &&
        y >= 0 && (!blend || (blend->m.width >= src.m.width && blend->m.height >= src.m.height));
    std::vector<int> codes;
    if (fast) codes = DecodeRuns(src);
    for (int sy = 0; sy < src.m.height; ++sy) {
        for (int sx = 0; sx < src.m.width; ++sx) {
            int64_t dx = int64_t(x) + sx, dy = int64_t(y) + sy;
            if (!Inside(st.area, dx, dy, dest.m)) continue;
            if (blend && (sx >= blend->m.width || sy >= blend->m.height)) continue;
            SourcePixel sp{src.Get(sx, sy), src.m.paletted != 0, src.m.alpha != 0,
                           src.m.transColor};
            int w = blend ? tessra::BlendGraphRamp[blend->m.pixels[sy * blend->m.pitch + sx]] : -1;
            uint32_t d = dest.Get(int(dx), int(dy));
            dest.Set(int(dx), int(dy),
                     RefPixel(fast ? Path::BlitFast : Path::BlitNormal, int(dest.m.kind), sp, pal,
                              transparent, fast ? codes[sy * src.m.width + sx] : 0, w, d, st));
        }
    }
}

void RefStretch(Image& dest, const Image& src, tessra::Rect rect, int transparent,
                const Image* blend, const State& st) {
    const bool mx = rect.left > rect.right, my = rect.top > rect.bottom;
    const int64_t left = std::min(rect.left, rect.right), top = std::min(rect.top, rect.bottom);
    const int64_t w = std::abs(int64_t(rect.right) - rect.left),
                  h = std::abs(int64_t(rect.bottom) - rect.top);
    if (w == 0 || h == 0) return;
    if (w == src.m.width && h == src.m.height && !mx && !my) {
        RefBlit(dest, src, int(left), int(top), transparent, blend, st);
        return;
    }
    uint32_t pal[256];
    Palette(src.m, pal);
    const int64_t stepX = std::max<int64_t>(1, w * 65536 / src.m.width);
    const int64_t stepY = std::max<int64_t>(1, h * 65536 / src.m.height);
    for (int64_t j = 0; j < h; ++j) {
        for (int64_t i = 0; i < w; ++i) {
            int64_t dx = left + i, dy = top + j;
            if (!Inside(st.area, dx, dy, dest.m)) continue;
            int64_t cx = i * 65536 / stepX, cy = j * 65536 / stepY;
            if (cx >= src.m.width || cy >= src.m.height) continue;
            if (mx) cx = src.m.width - 1 - cx;
            if (my) cy = src.m.height - 1 - cy;
            if (blend && (cx >= blend->m.width || cy >= blend->m.height)) continue;
            SourcePixel sp{src.Get(int(cx), int(cy)), src.m.paletted != 0, src.m.alpha != 0,
                           src.m.transColor};
            int wt = blend ? tessra::BlendGraphRamp[blend->m.pixels[cy * blend->m.pitch + cx]] : -1;
            uint32_t d = dest.Get(int(dx), int(dy));
            dest.Set(int(dx), int(dy),
                     RefPixel(Path::Stretch, int(dest.m.kind), sp, pal, transparent, 0, wt, d, st));
        }
    }
}

void RefFill(Image& dest, const tessra::Rect* rect, uint32_t color, const State& st) {
    tessra::Rect r = rect ? *rect : tessra::Rect{0, 0, dest.m.width, dest.m.height};
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    for (int64_t y = r.top; y < r.bottom; ++y) {
        for (int64_t x = r.left; x < r.right; ++x) {
            if (!Inside(st.area, x, y, dest.m)) continue;
            SourcePixel sp{color, false, false, 0};
            dest.Set(int(x), int(y),
                     RefPixel(Path::Primitive, int(dest.m.kind), sp, nullptr, 0, 0, -1,
                              dest.Get(int(x), int(y)), st));
        }
    }
}

std::string FirstDifference(const Image& got, const Image& want) {
    for (int y = 0; y < got.m.height; ++y)
        for (int x = 0; x < got.m.width; ++x)
            if (got.Get(x, y) != want.Get(x, y)) {
                std::ostringstream o;
                o << "pixel (" << x << ", " << y << "): got 0x" << std::hex << got.Get(x, y)
                  << ", reference 0x" << want.Get(x, y);
                return o.str();
            }
    return "";
}

std::string CaseName(const char* description) {
    std::string n;
    for (const char* c = description; *c; ++c)
        n += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return n;
}

}  // namespace softtest
