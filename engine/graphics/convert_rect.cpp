// ConvertRectPixels: every rectangle of pixels that moves between two formats comes through
// here. The fast cases (index copy, same format, the common screen and image pairs) are tried
// before the general per-pixel loop.
#include <cstddef>
#include <cstring>

#include "engine/graphics/color_format.h"

namespace tessra {

namespace {

inline uint32_t LoadPixel(const uint8_t* p, int bytes) {
    switch (bytes) {
        case 1:
            return p[0];
        case 2: {
            uint16_t v;
            std::memcpy(&v, p, 2);
            return v;
        }
        case 3:
            return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                   (static_cast<uint32_t>(p[2]) << 16);
        default: {
            uint32_t v;
            std::memcpy(&v, p, 4);
            return v;
        }
    }
}

inline void StorePixel(uint8_t* p, int bytes, uint32_t v) {
    switch (bytes) {
        case 1:
            p[0] = static_cast<uint8_t>(v);
            break;
        case 2: {
            const auto w = static_cast<uint16_t>(v);
            std::memcpy(p, &w, 2);
            break;
        }
        case 3:
            p[0] = static_cast<uint8_t>(v);
            p[1] = static_cast<uint8_t>(v >> 8);
            p[2] = static_cast<uint8_t>(v >> 16);
            break;
        default:
            std::memcpy(p, &v, 4);
            break;
    }
}

inline uint32_t PaletteColor(const ColorFormat* f, uint32_t index) {
    const uint8_t* e = f->palette[index & 0xFF];
    return (static_cast<uint32_t>(e[2]) << 16) | (static_cast<uint32_t>(e[1]) << 8) | e[0];
}

// A source value as the conversions read it: an 8-bit pixel is its palette colour 0x00RRGGBB.
inline uint32_t ReadValue(const ColorFormat* f, const uint8_t* p) {
    const uint32_t raw = LoadPixel(p, f->bytesPerPixel);
    return f->bitDepth == 8 ? PaletteColor(f, raw) : raw;
}

inline uint32_t DepthMask(int depth) {
    return depth >= 32 ? 0xFFFFFFFFu : ((1u << depth) - 1u);
}

// The transparent colour as it is compared with source values.
inline uint32_t SourceCompareValue(const ColorFormat* f, uint32_t trans) {
    return f->bitDepth == 8 ? (trans & 0xFFFFFFu) : (trans & DepthMask(f->bitDepth));
}

inline uint32_t Rescale(uint32_t v, int from, int to) {
    if (from == 0 || to == 0) return 0;
    if (to == from) return v;
    if (to < from) return v >> (from - to);
    return static_cast<uint32_t>(static_cast<uint64_t>(v) * ((1ull << to) - 1) /
                                 ((1ull << from) - 1));
}

inline bool IsKnownDepth(int depth) {
    return depth == 8 || depth == 16 || depth == 24 || depth == 32;
}

enum class Layout { kOther, kPal8, kRgb24, kXrgb, kArgb, k565, k555, k1555 };

Layout Classify(const ColorFormat* f) {
    const bool rgb888 = f->redMask == 0xFF0000 && f->greenMask == 0xFF00 && f->blueMask == 0xFF;
    const bool c565 = f->redMask == 0xF800 && f->greenMask == 0x7E0 && f->blueMask == 0x1F;
    const bool c555 = f->redMask == 0x7C00 && f->greenMask == 0x3E0 && f->blueMask == 0x1F;
    switch (f->bitDepth) {
        case 8:
            return Layout::kPal8;
        case 16:
            if (c565 && f->alphaMask == 0) return Layout::k565;
            if (c555 && f->alphaMask == 0) return Layout::k555;
            if (c555 && f->alphaMask == 0x8000) return Layout::k1555;
            return Layout::kOther;
        case 24:
            return rgb888 && f->alphaMask == 0 ? Layout::kRgb24 : Layout::kOther;
        case 32:
            if (rgb888 && f->alphaMask == 0) return Layout::kXrgb;
            if (rgb888 && f->alphaMask == 0xFF000000) return Layout::kArgb;
            return Layout::kOther;
        default:
            return Layout::kOther;
    }
}

inline uint32_t Xrgb8ToRgb565(uint32_t v) {
    return ((v >> 8) & 0xF800) | ((v >> 5) & 0x7E0) | ((v >> 3) & 0x1F);
}
inline uint32_t Xrgb8ToRgb555(uint32_t v) {
    return ((v >> 9) & 0x7C00) | ((v >> 6) & 0x3E0) | ((v >> 3) & 0x1F);
}
inline uint32_t Rgb565ToXrgb8(uint32_t p) {
    return ((p & 0xF800) << 8) | ((p & 0x7E0) << 5) | ((p & 0x1F) << 3);
}
inline uint32_t Rgb565To555(uint32_t p) {
    return ((p & 0xFFC0) >> 1) | (p & 0x1F);
}
inline uint32_t Rgb555To565(uint32_t p) {
    return ((p & 0x7FE0) << 1) | (p & 0x3F);
}

struct Geometry {
    uint8_t* dest;
    ptrdiff_t destPitch;
    int destBytes;
    const uint8_t* source;
    ptrdiff_t sourcePitch;
    int sourceBytes;
    int32_t destX, destY;
    int32_t left, top, width, height;
    bool mirror;

    const uint8_t* SourceRow(int32_t y) const {
        return source + (top + y) * sourcePitch + static_cast<ptrdiff_t>(left) * sourceBytes;
    }
    uint8_t* DestRow(int32_t y) const {
        return dest + (destY + y) * destPitch + static_cast<ptrdiff_t>(destX) * destBytes;
    }
    // Destination column of the x-th source column of the rectangle.
    int32_t DestColumn(int32_t x) const { return mirror ? width - 1 - x : x; }
};

// A pixel-by-pixel loop over the rectangle: convert(value as read) gives the destination value.
template <class Convert>
void PixelLoop(const Geometry& g, const ColorFormat* sf, Convert convert) {
    for (int32_t y = 0; y < g.height; ++y) {
        const uint8_t* s = g.SourceRow(y);
        uint8_t* d = g.DestRow(y);
        for (int32_t x = 0; x < g.width; ++x) {
            const uint32_t v = ReadValue(sf, s + static_cast<ptrdiff_t>(x) * g.sourceBytes);
            StorePixel(d + static_cast<ptrdiff_t>(g.DestColumn(x)) * g.destBytes, g.destBytes,
                       convert(v));
        }
    }
}

// The fixed pairs. Returns false when the pair has no loop of its own.
bool FixedPairs(const Geometry& g, const ColorFormat* df, const ColorFormat* sf, bool key,
                uint32_t keyColor) {
    const Layout s = Classify(sf);
    const Layout d = Classify(df);
    const bool fromXrgbValue = s == Layout::kPal8 || s == Layout::kRgb24;
    if (!key) {
        if (fromXrgbValue || s == Layout::kXrgb) {
            if (d == Layout::k565) {
                PixelLoop(g, sf, [](uint32_t v) { return Xrgb8ToRgb565(v); });
                return true;
            }
        }
        if (fromXrgbValue) {
            if (d == Layout::k555) {
                PixelLoop(g, sf, [](uint32_t v) { return Xrgb8ToRgb555(v); });
                return true;
            }
            if (d == Layout::kXrgb) {
                PixelLoop(g, sf, [](uint32_t v) { return (v & 0xFFFFFFu) | 0xFF000000u; });
                return true;
            }
        }
        if (s == Layout::k565) {
            if (d == Layout::kRgb24 || d == Layout::kXrgb) {
                PixelLoop(g, sf, [](uint32_t p) { return Rgb565ToXrgb8(p); });
                return true;
            }
            if (d == Layout::k555) {
                PixelLoop(g, sf, [](uint32_t p) { return Rgb565To555(p); });
                return true;
            }
        }
        if (s == Layout::k555 && d == Layout::k565) {
            PixelLoop(g, sf, [](uint32_t p) { return Rgb555To565(p); });
            return true;
        }
        return false;
    }
    if (fromXrgbValue) {
        if (d == Layout::k1555) {
            PixelLoop(g, sf, [keyColor](uint32_t v) {
                const uint32_t c = Xrgb8ToRgb555(v);
                return c | (c == keyColor ? 0u : 0x8000u);
            });
            return true;
        }
        if (d == Layout::kArgb) {
            PixelLoop(g, sf, [keyColor](uint32_t v) {
                const uint32_t c = v & 0xFFFFFFu;
                return c | (c == keyColor ? 0u : 0xFF000000u);
            });
            return true;
        }
    }
    if (s == Layout::k565 && d == Layout::k1555) {
        PixelLoop(g, sf, [keyColor](uint32_t p) {
            const uint32_t c = Rgb565To555(p);
            return c | (c == keyColor ? 0u : 0x8000u);
        });
        return true;
    }
    return false;
}

struct Channel {
    uint32_t mask;
    int shift;
    int width;
};

const uint8_t kDitherMatrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

}  // namespace

int ConvertRectPixels(void* destPixels, int32_t destPitch, const ColorFormat* destFormat,
                      const void* sourcePixels, int32_t sourcePitch,
                      const ColorFormat* sourceFormat, const void* alphaPixels, int32_t alphaPitch,
                      const ColorFormat* alphaFormat, int32_t destX, int32_t destY,
                      const Rect* sourceRect, int mirror, int keyToAlpha, uint32_t transColor,
                      int dither, int alphaOnly, int alphaFromRed, int skipTransparent) {
    const ColorFormat* df = destFormat;
    const ColorFormat* sf = sourceFormat;
    // A null alpha-image format counts as an all-zero one: there is nothing to read from it.
    const bool alphaImage =
        alphaPixels != nullptr && alphaFormat != nullptr && IsKnownDepth(alphaFormat->bitDepth);
    const bool destAlpha = df->alphaMask != 0;
    const bool alphaSupplied = destAlpha && (sf->alphaMask != 0 || alphaImage);
    if (!destAlpha || alphaSupplied || alphaFromRed == 1) keyToAlpha = 0;
    if (alphaSupplied || mirror == 1) skipTransparent = 0;

    const int32_t width = sourceRect->right - sourceRect->left;
    const int32_t height = sourceRect->bottom - sourceRect->top;
    if (width <= 0 || height <= 0) return 0;
    if (!IsKnownDepth(df->bitDepth) || !IsKnownDepth(sf->bitDepth)) return 0;

    Geometry g{static_cast<uint8_t*>(destPixels),
               destPitch,
               df->bytesPerPixel,
               static_cast<const uint8_t*>(sourcePixels),
               sourcePitch,
               sf->bytesPerPixel,
               destX,
               destY,
               sourceRect->left,
               sourceRect->top,
               width,
               height,
               mirror == 1};

    // 1. Index copy, at the rectangle's position and the destination position.
    if (df->bitDepth == 8 && alphaOnly == 0 && skipTransparent == 0) {
        if (sf->bitDepth != 8) return 0;
        int largest = 0;
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* s = g.SourceRow(y);
            uint8_t* d = g.DestRow(y);
            for (int32_t x = 0; x < width; ++x) {
                if (s[x] > largest) largest = s[x];
            }
            std::memcpy(d, s, static_cast<size_t>(width));
        }
        return largest;
    }

    const uint32_t transCompare = SourceCompareValue(sf, transColor);

    // 2. Same format.
    if (ColorFormatsEqual(df, sf) && keyToAlpha == 0 && alphaOnly == 0 && alphaFromRed == 0 &&
        !alphaImage) {
        const int bytes = df->bytesPerPixel;
        if (g.mirror) {
            for (int32_t y = 0; y < height; ++y) {
                const uint8_t* s = g.SourceRow(y);
                uint8_t* d = g.DestRow(y);
                for (int32_t x = 0; x < width; ++x) {
                    std::memcpy(d + static_cast<ptrdiff_t>(width - 1 - x) * bytes,
                                s + static_cast<ptrdiff_t>(x) * bytes, static_cast<size_t>(bytes));
                }
            }
        } else if (skipTransparent == 1) {
            for (int32_t y = 0; y < height; ++y) {
                const uint8_t* s = g.SourceRow(y);
                uint8_t* d = g.DestRow(y);
                for (int32_t x = 0; x < width; ++x) {
                    const ptrdiff_t o = static_cast<ptrdiff_t>(x) * bytes;
                    if (ReadValue(sf, s + o) == transCompare) continue;
                    std::memcpy(d + o, s + o, static_cast<size_t>(bytes));
                }
            }
        } else {
            for (int32_t y = 0; y < height; ++y) {
                std::memcpy(g.DestRow(y), g.SourceRow(y), static_cast<size_t>(width) * bytes);
            }
        }
        return 0;
    }

    const uint32_t destColorMask = df->redMask | df->greenMask | df->blueMask;
    const uint32_t keyColor =
        keyToAlpha == 1 ? (PackColorForFormat(df, static_cast<int>((transColor >> 16) & 0xFF),
                                              static_cast<int>((transColor >> 8) & 0xFF),
                                              static_cast<int>(transColor & 0xFF), 0) &
                           destColorMask)
                        : 0;

    // 3. Fixed pairs, and first the colour copy that only adds alpha from the key.
    if (keyToAlpha == 1 && alphaOnly == 0 && alphaFromRed == 0 && skipTransparent == 0 &&
        df->bitDepth == sf->bitDepth && df->redMask == sf->redMask &&
        df->greenMask == sf->greenMask && df->blueMask == sf->blueMask) {
        const uint32_t alphaMask = df->alphaMask;
        const uint32_t unused = df->unusedMask;
        const int bytes = df->bytesPerPixel;
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* s = g.SourceRow(y);
            uint8_t* d = g.DestRow(y);
            for (int32_t x = 0; x < width; ++x) {
                const uint32_t c =
                    LoadPixel(s + static_cast<ptrdiff_t>(x) * bytes, bytes) & destColorMask;
                StorePixel(d + static_cast<ptrdiff_t>(g.DestColumn(x)) * bytes, bytes,
                           c | unused | (c == keyColor ? 0u : alphaMask));
            }
        }
        return 0;
    }
    if (!alphaImage && !g.mirror && dither == 0 && alphaOnly == 0 && alphaFromRed == 0 &&
        skipTransparent != 1) {
        if (FixedPairs(g, df, sf, keyToAlpha == 1, keyColor)) return 0;
    }

    // 4. General.
    const Channel sc[3] = {{sf->redMask, sf->redShift, sf->redWidth},
                           {sf->greenMask, sf->greenShift, sf->greenWidth},
                           {sf->blueMask, sf->blueShift, sf->blueWidth}};
    const Channel dc[3] = {{df->redMask, df->redShift, df->redWidth},
                           {df->greenMask, df->greenShift, df->greenWidth},
                           {df->blueMask, df->blueShift, df->blueWidth}};
    const bool sourceAlpha = sf->alphaMask != 0;
    Channel alphaSource{};
    if (sourceAlpha) {
        alphaSource = {sf->alphaMask, sf->alphaShift, sf->alphaWidth};
    } else if (alphaImage) {
        // An alpha image without an alpha channel is a grey picture: its blue channel serves.
        alphaSource =
            alphaFormat->alphaMask != 0
                ? Channel{alphaFormat->alphaMask, alphaFormat->alphaShift, alphaFormat->alphaWidth}
                : Channel{alphaFormat->blueMask, alphaFormat->blueShift, alphaFormat->blueWidth};
    }
    const int destAlphaWidth = df->alphaWidth;
    const uint32_t fullAlpha = destAlphaWidth > 0 ? (df->alphaMask >> df->alphaShift) : 0;
    const uint8_t* alphaBase = static_cast<const uint8_t*>(alphaPixels);
    const int alphaBytes = alphaImage ? alphaFormat->bytesPerPixel : 0;

    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* s = g.SourceRow(y);
        const uint8_t* a = alphaImage && !sourceAlpha
                               ? alphaBase +
                                     (sourceRect->top + y) * static_cast<ptrdiff_t>(alphaPitch) +
                                     static_cast<ptrdiff_t>(sourceRect->left) * alphaBytes
                               : nullptr;
        uint8_t* d = g.DestRow(y);
        uint32_t carry[4] = {0, 0, 0, 0};
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t v = ReadValue(sf, s + static_cast<ptrdiff_t>(x) * g.sourceBytes);
            if (skipTransparent == 1 && v == transCompare) continue;
            const int32_t column = g.DestColumn(x);
            // A channel made narrower is dithered when asked, a wider one rescaled exactly.
            auto narrow = [&](uint32_t raw, int from, int to, uint32_t* sum) -> uint32_t {
                if (!(to < from && to > 0 && dither != 0)) return Rescale(raw, from, to);
                const int drop = from - to;
                const uint32_t dropMask = (1u << drop) - 1u;
                const uint32_t dropped = raw & dropMask;
                uint32_t out = raw >> drop;
                bool raise = false;
                if (dither == 1) {
                    const uint32_t m = kDitherMatrix[(destY + y) & 3][(destX + column) & 3];
                    raise = dropped > static_cast<uint32_t>((uint64_t{m} << drop) >> 4);
                } else if (dither == 2) {
                    *sum += dropped;
                    if (*sum > dropMask) {
                        raise = true;
                        *sum &= dropMask;
                    }
                }
                const uint32_t top = (1u << to) - 1u;
                if (raise && out < top) ++out;
                return out;
            };
            uint32_t c[3];
            for (int i = 0; i < 3; ++i) {
                const uint32_t raw = sc[i].width ? ((v & sc[i].mask) >> sc[i].shift) : 0;
                c[i] = narrow(raw, sc[i].width, dc[i].width, &carry[i]);
            }
            uint32_t alpha = 0;
            if (destAlphaWidth > 0) {
                // Alpha read from the source or the alpha image narrows like a colour channel.
                if (sourceAlpha) {
                    alpha = narrow((v & alphaSource.mask) >> alphaSource.shift, alphaSource.width,
                                   destAlphaWidth, &carry[3]);
                } else if (a != nullptr) {
                    const uint32_t av =
                        ReadValue(alphaFormat, a + static_cast<ptrdiff_t>(x) * alphaBytes);
                    alpha = narrow((av & alphaSource.mask) >> alphaSource.shift, alphaSource.width,
                                   destAlphaWidth, &carry[3]);
                } else {
                    alpha = fullAlpha;
                }
                if (alphaFromRed == 1) alpha = Rescale(c[0], dc[0].width, destAlphaWidth);
            }
            uint32_t color = 0;
            for (int i = 0; i < 3; ++i) {
                if (dc[i].width) color |= (c[i] << dc[i].shift) & dc[i].mask;
            }
            if (keyToAlpha == 1) alpha = (color & destColorMask) == keyColor ? 0 : fullAlpha;
            if (alphaOnly == 1) color = 0;
            uint32_t out = color | df->unusedMask;
            if (destAlphaWidth > 0) out |= (alpha << df->alphaShift) & df->alphaMask;
            StorePixel(d + static_cast<ptrdiff_t>(column) * g.destBytes, g.destBytes, out);
        }
    }
    return 0;
}

}  // namespace tessra
