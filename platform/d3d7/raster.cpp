// The device's rasteriser: primitive assembly, coverage (top-left rule for triangles, diamond
// exit for lines), the texture-stage cascade, colour key, alpha test, blending and the pixel
// write, on DirectDrawSurface memory. Common state combinations take specialised spans that
// give the same bits as the general path.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/d3d7/internal.h"

namespace plat::detail {
namespace {

bool g_fastSpans = true;

constexpr int kMaxSets = 8;
constexpr int kAttrDiffuse = 0;   // r, g, b, a
constexpr int kAttrSpecular = 4;  // r, g, b, a
constexpr int kAttrTex = 8;       // u, v per set
constexpr int kAttrCount = kAttrTex + 2 * kMaxSets;

struct Vtx {
    float x;
    float y;
    float a[kAttrCount];
};

// A pixel format read and written through 8-bit channels; 16-bit formats keep a table of
// their widened values.
struct PixelCodec {
    ChannelMask r, g, b, a;
    int bytes = 0;
    bool hasAlpha = false;
    bool argb8 = false;               // 8-bit channels at 16, 8, 0 (and 24)
    bool narrow = false;              // every channel 8 bits or fewer: shifts encode it
    int drop[4] = {}, shift[4] = {};  // r, g, b, a
    const uint32_t* wide = nullptr;   // 16-bit: raw value -> 0xAARRGGBB

    uint32_t Decode(uint32_t raw) const {
        if (wide != nullptr) return wide[raw & 0xFFFF];
        if (argb8) return hasAlpha ? raw : (raw | 0xFF000000u);
        const uint32_t alpha = hasAlpha ? ChannelTo8(raw, a) : 255u;
        return (alpha << 24) | (ChannelTo8(raw, r) << 16) | (ChannelTo8(raw, g) << 8) |
               ChannelTo8(raw, b);
    }
    uint32_t Encode(int cr, int cg, int cb, int ca) const {
        if (narrow) {
            uint32_t v = (static_cast<uint32_t>(cr) >> drop[0] << shift[0]) |
                         (static_cast<uint32_t>(cg) >> drop[1] << shift[1]) |
                         (static_cast<uint32_t>(cb) >> drop[2] << shift[2]);
            if (hasAlpha) v |= static_cast<uint32_t>(ca) >> drop[3] << shift[3];
            return v;
        }
        uint32_t v = ChannelFrom8(static_cast<uint32_t>(cr), r) |
                     ChannelFrom8(static_cast<uint32_t>(cg), g) |
                     ChannelFrom8(static_cast<uint32_t>(cb), b);
        if (hasAlpha) v |= ChannelFrom8(static_cast<uint32_t>(ca), a);
        return v;
    }
};

struct WideTable {
    DDPixelFormat format;
    std::unique_ptr<uint32_t[]> values;
};

std::mutex g_tableMutex;
std::vector<WideTable> g_tables;

PixelCodec MakeCodec(const DDPixelFormat& f) {
    PixelCodec c;
    c.r = DescribeChannel(f.redMask);
    c.g = DescribeChannel(f.greenMask);
    c.b = DescribeChannel(f.blueMask);
    c.hasAlpha = (f.flags & DDPF_ALPHAPIXELS) != 0 && f.alphaMask != 0;
    c.a = DescribeChannel(c.hasAlpha ? f.alphaMask : 0);
    c.bytes = static_cast<int>((f.rgbBitCount + 7) / 8);
    const ChannelMask* ch[4] = {&c.r, &c.g, &c.b, &c.a};
    c.narrow = true;
    for (int i = 0; i < 4; ++i) {
        if (ch[i]->width > 8 || (i < 3 && ch[i]->width == 0)) c.narrow = false;
        c.drop[i] = 8 - std::min(ch[i]->width, 8);
        c.shift[i] = ch[i]->shift;
    }
    c.argb8 = c.bytes == 4 && f.redMask == 0xFF0000 && f.greenMask == 0xFF00 &&
              f.blueMask == 0xFF && (!c.hasAlpha || f.alphaMask == 0xFF000000u);
    if (c.bytes == 2) {
        std::lock_guard<std::mutex> lock(g_tableMutex);
        for (const WideTable& t : g_tables) {
            if (SamePixelFormat(t.format, f)) c.wide = t.values.get();
        }
        if (c.wide == nullptr) {
            WideTable t{f, std::make_unique<uint32_t[]>(65536)};
            for (uint32_t v = 0; v < 65536; ++v) t.values[v] = c.Decode(v);
            c.wide = t.values.get();
            g_tables.push_back(std::move(t));
        }
    }
    return c;
}

inline int ToByte(float v) {
    if (!(v > 0.0f)) return 0;  // also NaN
    if (v >= 255.0f) return 255;
    return static_cast<int>(v + 0.5f);
}

// (a x b + 127) / 255 for channels of 0 to 255, without a division.
inline int Mul(int a, int b) {
    const unsigned x = static_cast<unsigned>(a * b) + 127u;
    return static_cast<int>((x + 1u + (x >> 8)) >> 8);
}

inline int Sat(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

struct Stage {
    DWORD cop, ca1, ca2, aop, aa1, aa2;
    const DirectDrawSurface* tex;
    PixelCodec codec;
    int set;
    bool linear;
    bool keyed;  // colour keying applies to this stage's texture
    uint32_t keyLow, keyHigh;
};

struct Pipe {
    int stages = 0;
    Stage st[kStageCount];
    bool flat = false;
    bool alphaTest = false;
    DWORD alphaFunc = D3DCMP_ALWAYS;
    int alphaRef = 0;
    bool blend = false;
    DWORD srcBlend = D3DBLEND_ONE;
    DWORD destBlend = D3DBLEND_ZERO;
    int tfactor[4] = {};
    PixelCodec target;
    uint8_t* bits = nullptr;
    int32_t pitch = 0;
    int clipX0 = 0, clipY0 = 0, clipX1 = 0, clipY1 = 0;
    int attrs[kAttrCount];  // the attributes the pixels read
    int attrCount = 0;
    int spanAttrs[kAttrCount];  // the attributes a specialised span reads (p.fast set)
    int spanAttrCount = 0;
    int fast = 0;          // 0: general path; else the kind of specialised span
    bool rawCopy = false;  // an opaque copy between textures and targets of one format
    uint32_t rawMask = 0;
    bool alphaPass[256] = {};  // the alpha test's answer for each alpha, while it is on
    // Whether those answers are one run of passes (or of failures, alphaRunOutside) from
    // alphaRunLo to alphaRunHi, as every comparison function gives.
    bool alphaRun = false, alphaRunOutside = false;
    int alphaRunLo = 0, alphaRunHi = -1;
};

// --- Pixel pipeline ----------------------------------------------------------------------------

inline int Op(DWORD op, int a, int b) {
    switch (op) {
        case D3DTOP_SELECTARG1:
            return a;
        case D3DTOP_SELECTARG2:
            return b;
        case D3DTOP_MODULATE:
            return Mul(a, b);
        case D3DTOP_MODULATE2X:
            return std::min(255, 2 * Mul(a, b));
        case D3DTOP_MODULATE4X:
            return std::min(255, 4 * Mul(a, b));
        case D3DTOP_ADD:
            return std::min(255, a + b);
        case D3DTOP_ADDSIGNED:
            return Sat(a + b - 128);
        case D3DTOP_ADDSIGNED2X:
            return Sat((a + b - 128) * 2);
        case D3DTOP_SUBTRACT:
            return std::max(0, a - b);
        default:
            return a;
    }
}

inline void Unpack(uint32_t argb, int out[4]) {
    out[0] = static_cast<int>((argb >> 16) & 0xFF);
    out[1] = static_cast<int>((argb >> 8) & 0xFF);
    out[2] = static_cast<int>(argb & 0xFF);
    out[3] = static_cast<int>(argb >> 24);
}

inline uint32_t ReadTexel(const Stage& s, int x, int y) {
    const DirectDrawSurface* t = s.tex;
    const uint8_t* p = t->Bits() + static_cast<int64_t>(y) * t->Pitch() + x * s.codec.bytes;
    return s.codec.bytes == 2 ? static_cast<uint32_t>(p[0] | (p[1] << 8))
                              : ReadPixelBytes(p, s.codec.bytes);
}

inline bool KeyMatch(const Stage& s, uint32_t raw) {
    return s.keyed && raw >= s.keyLow && raw <= s.keyHigh;
}

inline int ClampIndex(int i, int n) {
    return i < 0 ? 0 : (i >= n ? n - 1 : i);
}

inline int Floor(float f) {
    if (!(f > -1e9f && f < 1e9f)) return f > 0 ? 1000000000 : -1000000000;  // also NaN
    const int i = static_cast<int>(f);
    return static_cast<float>(i) > f ? i - 1 : i;
}

// Point sampling: the texel whose area holds (u, v), clamped to the texture.
inline int PointIndex(float u, int n) {
    return ClampIndex(Floor(u * static_cast<float>(n)), n);
}

// Samples a stage's texture; false when the pixel is keyed out.
bool Sample(const Stage& s, float u, float v, int out[4]) {
    const int w = s.tex->Width();
    const int h = s.tex->Height();
    const uint32_t nearest = ReadTexel(s, PointIndex(u, w), PointIndex(v, h));
    if (KeyMatch(s, nearest)) return false;
    if (!s.linear) {
        Unpack(s.codec.Decode(nearest), out);
        return true;
    }
    const float fu = u * static_cast<float>(w) - 0.5f;
    const float fv = v * static_cast<float>(h) - 0.5f;
    const float bu = static_cast<float>(Floor(fu));
    const float bv = static_cast<float>(Floor(fv));
    const float tx = fu - bu, ty = fv - bv;
    const int wx = tx > 0.0f && tx < 1.0f ? static_cast<int>(tx * 256.0f) : 0;
    const int wy = ty > 0.0f && ty < 1.0f ? static_cast<int>(ty * 256.0f) : 0;
    const int x0 = ClampIndex(static_cast<int>(bu), w),
              x1 = ClampIndex(static_cast<int>(bu) + 1, w);
    const int y0 = ClampIndex(static_cast<int>(bv), h),
              y1 = ClampIndex(static_cast<int>(bv) + 1, h);
    const int xs[4] = {x0, x1, x0, x1};
    const int ys[4] = {y0, y0, y1, y1};
    const int weights[4] = {(256 - wx) * (256 - wy), wx * (256 - wy), (256 - wx) * wy, wx * wy};
    int sum[4] = {0, 0, 0, 0};
    for (int k = 0; k < 4; ++k) {
        const uint32_t raw = ReadTexel(s, xs[k], ys[k]);
        if (KeyMatch(s, raw)) continue;  // transparent black
        int c[4];
        Unpack(s.codec.Decode(raw), c);
        for (int i = 0; i < 4; ++i) sum[i] += c[i] * weights[k];
    }
    for (int i = 0; i < 4; ++i) out[i] = (sum[i] + 32768) >> 16;
    return true;
}

inline int Arg(DWORD arg, int channel, const int diffuse[4], const int current[4],
               const int texel[4], const int specular[4], const int tfactor[4]) {
    const int* src;
    switch (arg & D3DTA_SELECTMASK) {
        case D3DTA_DIFFUSE:
            src = diffuse;
            break;
        case D3DTA_TEXTURE:
            src = texel;
            break;
        case D3DTA_TFACTOR:
            src = tfactor;
            break;
        case D3DTA_SPECULAR:
            src = specular;
            break;
        default:
            src = current;
            break;
    }
    int v = (arg & D3DTA_ALPHAREPLICATE) != 0 ? src[3] : src[channel];
    if ((arg & D3DTA_COMPLEMENT) != 0) v = 255 - v;
    return v;
}

inline bool AlphaPasses(DWORD func, int alpha, int ref) {
    switch (func) {
        case D3DCMP_NEVER:
            return false;
        case D3DCMP_LESS:
            return alpha < ref;
        case D3DCMP_EQUAL:
            return alpha == ref;
        case D3DCMP_LESSEQUAL:
            return alpha <= ref;
        case D3DCMP_GREATER:
            return alpha > ref;
        case D3DCMP_NOTEQUAL:
            return alpha != ref;
        case D3DCMP_GREATEREQUAL:
            return alpha >= ref;
        default:  // ALWAYS, and 0 as ALWAYS
            return true;
    }
}

// The colour of one pixel from the attributes; false when it is not drawn.
bool Shade(const Pipe& p, const float* a, int out[4]) {
    int diffuse[4], specular[4];
    for (int i = 0; i < 4; ++i) {
        diffuse[i] = ToByte(a[kAttrDiffuse + i]);
        specular[i] = ToByte(a[kAttrSpecular + i]);
    }
    int current[4] = {diffuse[0], diffuse[1], diffuse[2], diffuse[3]};
    for (int s = 0; s < p.stages; ++s) {
        const Stage& st = p.st[s];
        int texel[4];
        if (st.tex != nullptr) {
            if (!Sample(st, a[kAttrTex + 2 * st.set], a[kAttrTex + 2 * st.set + 1], texel)) {
                return false;
            }
        } else {
            // A stage without a texture passes the current colour for TEXTURE.
            std::memcpy(texel, current, sizeof texel);
        }
        int next[4];
        for (int c = 0; c < 3; ++c) {
            next[c] = Op(st.cop, Arg(st.ca1, c, diffuse, current, texel, specular, p.tfactor),
                         Arg(st.ca2, c, diffuse, current, texel, specular, p.tfactor));
        }
        next[3] = st.aop == D3DTOP_DISABLE
                      ? current[3]
                      : Op(st.aop, Arg(st.aa1, 3, diffuse, current, texel, specular, p.tfactor),
                           Arg(st.aa2, 3, diffuse, current, texel, specular, p.tfactor));
        std::memcpy(current, next, sizeof current);
    }
    if (p.alphaTest && !AlphaPasses(p.alphaFunc, current[3], p.alphaRef)) return false;
    std::memcpy(out, current, sizeof current);
    return true;
}

inline int Factor(DWORD f, int c, const int src[4], const int dst[4]) {
    switch (f) {
        case D3DBLEND_ZERO:
            return 0;
        case D3DBLEND_SRCCOLOR:
            return src[c];
        case D3DBLEND_INVSRCCOLOR:
            return 255 - src[c];
        case D3DBLEND_SRCALPHA:
            return src[3];
        case D3DBLEND_INVSRCALPHA:
            return 255 - src[3];
        case D3DBLEND_DESTALPHA:
            return dst[3];
        case D3DBLEND_INVDESTALPHA:
            return 255 - dst[3];
        case D3DBLEND_DESTCOLOR:
            return dst[c];
        case D3DBLEND_INVDESTCOLOR:
            return 255 - dst[c];
        default:  // ONE (the source factor's 0 too); a destination 0 arrives as ZERO
            return 255;
    }
}

inline uint8_t* PixelAt(const Pipe& p, int x, int y) {
    return p.bits + static_cast<int64_t>(y) * p.pitch + x * p.target.bytes;
}

inline uint32_t ReadTarget(const Pipe& p, const uint8_t* d) {
    return p.target.bytes == 2 ? static_cast<uint32_t>(d[0] | (d[1] << 8))
                               : ReadPixelBytes(d, p.target.bytes);
}

inline void WriteTarget(const Pipe& p, uint8_t* d, uint32_t v) {
    if (p.target.bytes == 2) {
        d[0] = static_cast<uint8_t>(v);
        d[1] = static_cast<uint8_t>(v >> 8);
    } else {
        WritePixelBytes(d, p.target.bytes, v);
    }
}

void BlendWrite(const Pipe& p, uint8_t* d, const int src[4]) {
    if (!p.blend) {
        WriteTarget(p, d, p.target.Encode(src[0], src[1], src[2], src[3]));
        return;
    }
    int dst[4];
    Unpack(p.target.Decode(ReadTarget(p, d)), dst);
    int out[4];
    for (int c = 0; c < 4; ++c) {
        out[c] = std::min(255, Mul(src[c], Factor(p.srcBlend, c, src, dst)) +
                                   Mul(dst[c], Factor(p.destBlend, c, src, dst)));
    }
    WriteTarget(p, d, p.target.Encode(out[0], out[1], out[2], out[3]));
}

void Plot(const Pipe& p, int x, int y, const float* a) {
    if (x < p.clipX0 || x >= p.clipX1 || y < p.clipY0 || y >= p.clipY1) return;
    int c[4];
    if (Shade(p, a, c)) BlendWrite(p, PixelAt(p, x, y), c);
}

// --- Spans -------------------------------------------------------------------------------------

// General span: every attribute the pixels read, at x = x0 + i, is base + gradient x i.
void GeneralSpan(const Pipe& p, int y, int x0, int n, const float* base, const float* grad) {
    float a[kAttrCount] = {};
    for (int k = 0; k < kAttrCount; ++k) a[k] = base[k];
    uint8_t* d = PixelAt(p, x0, y);
    for (int i = 0; i < n; ++i, d += p.target.bytes) {
        const float fi = static_cast<float>(i);
        for (int j = 0; j < p.attrCount; ++j) {
            const int k = p.attrs[j];
            a[k] = base[k] + grad[k] * fi;
        }
        int c[4];
        if (Shade(p, a, c)) BlendWrite(p, d, c);
    }
}

template <int Bytes>
inline uint32_t Load(const uint8_t* d) {
    if constexpr (Bytes == 2) {
        return static_cast<uint32_t>(d[0] | (d[1] << 8));
    } else {
        uint32_t v;
        std::memcpy(&v, d, 4);
        return v;
    }
}

template <int Bytes>
inline void Store(uint8_t* d, uint32_t v) {
    if constexpr (Bytes == 2) {
        d[0] = static_cast<uint8_t>(v);
        d[1] = static_cast<uint8_t>(v >> 8);
    } else {
        std::memcpy(d, &v, 4);
    }
}

enum FastKind {
    kFastNone = 0,
    kFastCopy,      // colour and alpha from the texture or the diffuse, no blend
    kFastAlpha,     // SRCALPHA, INVSRCALPHA
    kFastAdd,       // ONE, ONE
    kFastAlphaAdd,  // SRCALPHA, ONE
    kFastFlat,      // untextured, flat shaded: one colour for the whole span
};

// Mul on each byte of two packed 0xAARRGGBB values. In 16-bit lanes a x b + 127 and the
// rounding sum stay below 65536, so SSE2 gives the scalar bits.
inline uint32_t MulChannels(uint32_t x, uint32_t factors) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(x)), zero);
    const __m128i b = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(factors)), zero);
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(127));
    const __m128i r =
        _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_set1_epi16(1)), _mm_srli_epi16(t, 8)), 8);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(r, r)));
#else
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        out |= static_cast<uint32_t>(Mul(static_cast<int>((x >> shift) & 0xFF),
                                         static_cast<int>((factors >> shift) & 0xFF)))
               << shift;
    }
    return out;
#endif
}

// min(255, a + b) on each byte.
inline uint32_t AddChannels(uint32_t x, uint32_t y) {
#if defined(__SSE2__)
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_adds_epu8(
        _mm_cvtsi32_si128(static_cast<int>(x)), _mm_cvtsi32_si128(static_cast<int>(y)))));
#else
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        out |= static_cast<uint32_t>(
                   std::min<uint32_t>(255, ((x >> shift) & 0xFF) + ((y >> shift) & 0xFF)))
               << shift;
    }
    return out;
#endif
}

// min(255, Mul(x, a) + Mul(y, 255 - a)) on each byte: both products in one register.
inline uint32_t BlendChannels(uint32_t x, uint32_t y, uint32_t a) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i both =
        _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(x)),
                                             _mm_cvtsi32_si128(static_cast<int>(y))),
                          zero);
    const __m128i weights = _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<int16_t>(a)),
                                               _mm_set1_epi16(static_cast<int16_t>(255 - a)));
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(both, weights), _mm_set1_epi16(127));
    const __m128i r =
        _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_set1_epi16(1)), _mm_srli_epi16(t, 8)), 8);
    const __m128i packed = _mm_packus_epi16(r, r);  // x's products, then y's
    return static_cast<uint32_t>(
        _mm_cvtsi128_si32(_mm_adds_epu8(packed, _mm_srli_si128(packed, 4))));
#else
    return AddChannels(MulChannels(x, a * 0x01010101u), MulChannels(y, (255 - a) * 0x01010101u));
#endif
}

inline uint32_t Spread(uint32_t byte) {
    return byte * 0x01010101u;
}

// The diffuse at base + grad x fi as 0xAARRGGBB.
inline uint32_t PackDiffuse(const float* base, const float* grad, float fi) {
    float c[4];
    for (int k = 0; k < 4; ++k) c[k] = base[k] + grad[k] * fi;
    return (static_cast<uint32_t>(ToByte(c[3])) << 24) |
           (static_cast<uint32_t>(ToByte(c[0])) << 16) |
           (static_cast<uint32_t>(ToByte(c[1])) << 8) | static_cast<uint32_t>(ToByte(c[2]));
}

constexpr int kIndexChunk = 64;

// PointIndex(base + grad x (first + j), n) for j < count, four at a time where SSE2 is there:
// the same multiply and add a lane, the scaled coordinate clamped to [-1, n] (NaN to -1, as
// Floor sends it below 0), which leaves the clamped index as it was. With SSE2 the last four
// go whole: out has room for count rounded up to four, and the extra entries are indices of
// the pixels after the last, in the texture too.
void PointIndices(float base, float grad, int n, int first, int count, int* out) {
    int j = 0;
#if defined(__SSE2__)
    const __m128 vb = _mm_set1_ps(base), vg = _mm_set1_ps(grad);
    const __m128 vn = _mm_set1_ps(static_cast<float>(n));
    const __m128 last = _mm_set1_ps(static_cast<float>(n - 1));
    const __m128 minus1 = _mm_set1_ps(-1.0f), zero = _mm_setzero_ps();
    for (; j < count; j += 4) {
        const __m128 fi =
            _mm_cvtepi32_ps(_mm_add_epi32(_mm_set1_epi32(first + j), _mm_setr_epi32(0, 1, 2, 3)));
        const __m128 f = _mm_mul_ps(_mm_add_ps(vb, _mm_mul_ps(vg, fi)), vn);
        const __m128 c = _mm_min_ps(_mm_max_ps(f, minus1), vn);
        // Truncation is the floor from 0 up; below 0 both clamp to 0.
        const __m128 fl = _mm_min_ps(_mm_max_ps(c, zero), last);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), _mm_cvttps_epi32(fl));
    }
#endif
    for (; j < count; ++j) out[j] = PointIndex(base + grad * static_cast<float>(first + j), n);
}

#if defined(__SSE2__)
// Mul on each 16-bit lane (channels widened from bytes), as MulChannels does it.
inline __m128i MulLanes(__m128i x, __m128i w) {
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(x, w), _mm_set1_epi16(127));
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_set1_epi16(1)), _mm_srli_epi16(t, 8)),
                          8);
}

// Mul of each byte of four packed colours by the 16-bit factors of lanes (two colours a half).
inline __m128i MulQuad(__m128i c, __m128i lo, __m128i hi) {
    const __m128i zero = _mm_setzero_si128();
    return _mm_packus_epi16(MulLanes(_mm_unpacklo_epi8(c, zero), lo),
                            MulLanes(_mm_unpackhi_epi8(c, zero), hi));
}

// Four pixels of a point-sampled span on 8-bit-channel texture and target (or the first
// lanes of them), from the texels to the write, with the per-pixel choices of FastSpanOf as
// masks; the same arithmetic and so the same bits.
template <int Kind>
struct QuadPixels {
    __m128i bias, keyLo, keyHi, texOpaque, targetOpaque, keep, rawMask, alphaKeep, alphaSet;
    __m128i factors;  // 16-bit lanes, the same for both colours of a half
    // The alpha test passes the alphas from passLo to passHi, or those outside them.
    __m128i passLo, passHi;
    bool passOutside;
    bool keyed, modulate, alphaTest, rawCopy;

    bool Set(const Pipe& p, uint32_t diffuse, uint32_t factorBytes, bool alphaFromDiffuse) {
        const Stage& st = p.st[0];
        bias = _mm_set1_epi32(static_cast<int>(0x80000000u));
        keyLo = _mm_xor_si128(_mm_set1_epi32(static_cast<int>(st.keyLow)), bias);
        keyHi = _mm_xor_si128(_mm_set1_epi32(static_cast<int>(st.keyHigh)), bias);
        texOpaque = _mm_set1_epi32(st.codec.hasAlpha ? 0 : static_cast<int>(0xFF000000u));
        targetOpaque = _mm_set1_epi32(p.target.hasAlpha ? 0 : static_cast<int>(0xFF000000u));
        keep = _mm_set1_epi32(p.target.hasAlpha ? -1 : 0x00FFFFFF);
        rawMask = _mm_set1_epi32(static_cast<int>(p.rawMask));
        alphaKeep = _mm_set1_epi32(alphaFromDiffuse ? 0x00FFFFFF : -1);
        alphaSet = _mm_set1_epi32(alphaFromDiffuse ? static_cast<int>(diffuse & 0xFF000000u) : 0);
        factors =
            _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(factorBytes)), _mm_setzero_si128());
        keyed = st.keyed;
        modulate = factorBytes != 0xFFFFFFFFu;
        alphaTest = p.alphaTest;
        rawCopy = Kind == kFastCopy && p.rawCopy;
        passLo = _mm_set1_epi32(p.alphaRunLo);
        passHi = _mm_set1_epi32(p.alphaRunHi);
        passOutside = p.alphaRunOutside;
        return !alphaTest || p.alphaRun;
    }

#if defined(__GNUC__)
    __attribute__((always_inline))
#endif
    inline void
    Draw(__m128i raw, uint8_t* d, int lanes = 4) const {
        __m128i draw = _mm_set1_epi32(-1);
        if (keyed) {
            const __m128i x = _mm_xor_si128(raw, bias);
            draw = _mm_or_si128(_mm_cmpgt_epi32(keyLo, x), _mm_cmpgt_epi32(x, keyHi));
        }
        // The target is read only where it is blended, and only the span's pixels of it.
        __m128i old = _mm_setzero_si128();
        if constexpr (Kind != kFastCopy) {
            if (lanes == 4) {
                old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
            } else {
                for (int j = lanes - 1; j >= 0; --j) {
                    old = _mm_or_si128(_mm_slli_si128(old, 4),
                                       _mm_cvtsi32_si128(static_cast<int>(Load<4>(d + 4 * j))));
                }
            }
        }
        __m128i out;
        if (rawCopy) {
            out = _mm_and_si128(raw, rawMask);
        } else {
            __m128i c = _mm_or_si128(raw, texOpaque);
            if (modulate) c = MulQuad(c, factors, factors);
            c = _mm_or_si128(_mm_and_si128(c, alphaKeep), alphaSet);
            if (alphaTest) {
                const __m128i a = _mm_srli_epi32(c, 24);
                const __m128i outside =
                    _mm_or_si128(_mm_cmpgt_epi32(passLo, a), _mm_cmpgt_epi32(a, passHi));
                draw = passOutside ? _mm_and_si128(draw, outside) : _mm_andnot_si128(outside, draw);
            }
            if constexpr (Kind == kFastCopy) {
                out = c;
            } else {
                const __m128i dst = _mm_or_si128(old, targetOpaque);
                if constexpr (Kind == kFastAdd) {
                    out = _mm_adds_epu8(c, dst);
                } else {
                    // Each colour's alpha over its four channels: a0 a0 a0 a0 a1 ... in 16 bits.
                    const __m128i a32 = _mm_srli_epi32(c, 24);
                    const __m128i a16 = _mm_packs_epi32(a32, a32);
                    const __m128i pairs = _mm_unpacklo_epi16(a16, a16);
                    const __m128i lo = _mm_unpacklo_epi32(pairs, pairs);
                    const __m128i hi = _mm_unpackhi_epi32(pairs, pairs);
                    if constexpr (Kind == kFastAlpha) {
                        const __m128i full = _mm_set1_epi16(255);
                        const __m128i zero = _mm_setzero_si128();
                        const __m128i sumLo = _mm_add_epi16(
                            MulLanes(_mm_unpacklo_epi8(c, zero), lo),
                            MulLanes(_mm_unpacklo_epi8(dst, zero), _mm_sub_epi16(full, lo)));
                        const __m128i sumHi = _mm_add_epi16(
                            MulLanes(_mm_unpackhi_epi8(c, zero), hi),
                            MulLanes(_mm_unpackhi_epi8(dst, zero), _mm_sub_epi16(full, hi)));
                        out = _mm_packus_epi16(sumLo, sumHi);  // min(255, sum)
                    } else {                                   // kFastAlphaAdd
                        out = _mm_adds_epu8(MulQuad(c, lo, hi), dst);
                    }
                }
            }
            out = _mm_and_si128(out, keep);
        }
        // Keyed-out and failing pixels are not written: four drawn pixels go in one store.
        const int drawn = _mm_movemask_ps(_mm_castsi128_ps(draw)) & ((1 << lanes) - 1);
        if (drawn == 0xF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), out);
        } else if (drawn != 0) {
            alignas(16) uint32_t colours[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(colours), out);
            for (int j = 0; j < lanes; ++j) {
                if ((drawn >> j) & 1) Store<4>(d + 4 * j, colours[j]);
            }
        }
    }
};
#endif

// One textured stage with point sampling: the arithmetic of Shade and BlendWrite with the
// choices made once per draw, the blend as a template argument, on colours packed as
// 0xAARRGGBB. A span whose v does not change along it (an upright sprite) reads one texel row;
// one whose diffuse does not change (Gouraud false) works its factors out once.
template <int TexBytes, int TargetBytes, int Kind, bool Gouraud>
void FastSpanOf(const Pipe& p, int y, int x0, int n, const float* base, const float* grad) {
    const Stage& st = p.st[0];
    const uint8_t* texBits = st.tex->Bits();
    const int64_t texPitch = st.tex->Pitch();
    const int tu = kAttrTex + 2 * st.set;
    const int w = st.tex->Width();
    const int h = st.tex->Height();
    const bool modColour = st.cop == D3DTOP_MODULATE;
    const bool alphaFromDiffuse = st.aop == D3DTOP_SELECTARG2;
    const bool modAlpha = st.aop == D3DTOP_MODULATE;
    // A channel the diffuse does not modulate takes the factor 255: x 255 / 255 is x.
    const uint32_t factorMask = (modColour ? 0x00FFFFFFu : 0u) | (modAlpha ? 0xFF000000u : 0u);
    const bool keyed = st.keyed;
    const bool alphaTest = p.alphaTest;
    const bool rawCopy = p.rawCopy;
    const bool argbTarget = p.target.argb8;
    const uint32_t keep = p.target.hasAlpha ? 0xFFFFFFFFu : 0x00FFFFFFu;
    // 8-bit channels at their packed places decode by filling in a missing alpha.
    const bool texArgb = st.codec.argb8;
    const uint32_t texOpaque = st.codec.hasAlpha ? 0u : 0xFF000000u;
    const uint32_t targetOpaque = p.target.hasAlpha ? 0u : 0xFF000000u;
    // The row is the same for every pixel too when v has no gradient.
    const bool oneRow = grad[tu + 1] == 0.0f;
    const uint8_t* row = texBits + PointIndex(base[tu + 1], h) * texPitch;
    // The diffuse only where it modulates or gives the alpha; otherwise the factors are 255.
    const float still[4] = {};
    uint32_t diffuse =
        factorMask != 0 || alphaFromDiffuse ? PackDiffuse(base, still, 0.0f) : 0xFFFFFFFFu;
    uint32_t factors = (diffuse & factorMask) | ~factorMask;
    uint8_t* d = PixelAt(p, x0, y);
    // Texel columns and rows of pixels chunkStart onwards, up to kIndexChunk of them.
    int cols[kIndexChunk + 4], rows[kIndexChunk + 4];  // PointIndices may fill up to four
    int chunkStart = 0, chunkEnd = 0;
    auto indices = [&](int i) {
        chunkStart = i;
        chunkEnd = i + std::min(kIndexChunk, n - i);
        PointIndices(base[tu], grad[tu], w, i, chunkEnd - i, cols);
        if (!oneRow) PointIndices(base[tu + 1], grad[tu + 1], h, i, chunkEnd - i, rows);
    };
    int first = 0;  // the pixels before it are drawn four at a time
#if defined(__SSE2__)
    if constexpr (TexBytes == 4 && TargetBytes == 4 && !Gouraud) {
        QuadPixels<Kind> q;
        if (texArgb && argbTarget && q.Set(p, diffuse, factors, alphaFromDiffuse)) {
            first = n & ~3;
            const __m128i kAscending = _mm_setr_epi32(0, 1, 2, 3);
            // The four texels of the chunk's pixels k..k+3 in one register.
            auto gather = [&](int k) {
                __m128i texel[4];
                for (int j = 0; j < 4; ++j) {
                    const uint8_t* r = oneRow ? row : texBits + rows[k + j] * texPitch;
                    texel[j] = _mm_cvtsi32_si128(static_cast<int>(Load<4>(r + cols[k + j] * 4)));
                }
                return _mm_unpacklo_epi64(_mm_unpacklo_epi32(texel[0], texel[1]),
                                          _mm_unpacklo_epi32(texel[2], texel[3]));
            };
            // A chunk holds a multiple of four pixels or runs to the span's end.
            for (int i = 0; i < first; i += 4, d += 16) {
                if (i >= chunkEnd) indices(i);
                const int k = i - chunkStart;
                if (oneRow) {
                    // An unscaled sprite reads four neighbouring texels, a mirrored one the
                    // same backwards: one load instead of four.
                    const __m128i four =
                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(cols + k));
                    const __m128i c0 = _mm_set1_epi32(cols[k]);
                    if (_mm_movemask_epi8(_mm_cmpeq_epi32(four, _mm_add_epi32(c0, kAscending))) ==
                        0xFFFF) {
                        q.Draw(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + cols[k] * 4)),
                               d);
                        continue;
                    }
                    if (_mm_movemask_epi8(_mm_cmpeq_epi32(four, _mm_sub_epi32(c0, kAscending))) ==
                        0xFFFF) {
                        q.Draw(_mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(
                                                     row + cols[k + 3] * 4)),
                                                 _MM_SHUFFLE(0, 1, 2, 3)),
                               d);
                        continue;
                    }
                }
                q.Draw(gather(k), d);
            }
            // The last one to three pixels: the indices past the span are in the texture, and
            // only the span's pixels are read and written.
            if (first < n) {
                if (first >= chunkEnd) indices(first);
                q.Draw(gather(first - chunkStart), d, n - first);
                return;
            }
        }
    }
#endif
    for (int i = first; i < n; ++i, d += TargetBytes) {
        if (i >= chunkEnd) indices(i);
        const int k = i - chunkStart;
        if (!oneRow) row = texBits + rows[k] * texPitch;
        const uint8_t* t = row + cols[k] * TexBytes;
        uint32_t raw;
        if constexpr (TexBytes == 2) {
            raw = static_cast<uint32_t>(t[0] | (t[1] << 8));
        } else {
            std::memcpy(&raw, t, 4);
        }
        if (keyed && raw >= st.keyLow && raw <= st.keyHigh) continue;
        if (Kind == kFastCopy && rawCopy) {  // widening then truncating gives the texel's bits
            Store<TargetBytes>(d, raw & p.rawMask);
            continue;
        }
        uint32_t c;
        if constexpr (TexBytes == 2) {
            c = st.codec.wide[raw];
        } else {
            c = texArgb ? raw | texOpaque : st.codec.Decode(raw);
        }
        if constexpr (Gouraud) {
            diffuse = PackDiffuse(base, grad, static_cast<float>(i));
            factors = (diffuse & factorMask) | ~factorMask;
        }
        if (factors != 0xFFFFFFFFu) c = MulChannels(c, factors);
        if (alphaFromDiffuse) c = (c & 0x00FFFFFFu) | (diffuse & 0xFF000000u);
        if (alphaTest && !p.alphaPass[c >> 24]) continue;
        uint32_t out;
        if constexpr (Kind == kFastCopy) {
            out = c;
        } else {
            uint32_t dst;
            if constexpr (TargetBytes == 2) {
                dst = p.target.wide[Load<2>(d)];
            } else {
                dst = argbTarget ? Load<4>(d) | targetOpaque : p.target.Decode(Load<4>(d));
            }
            if constexpr (Kind == kFastAlpha) {
                const uint32_t a = c >> 24;
                if (a == 255) {
                    out = c;
                } else if (a == 0) {
                    out = dst;
                } else {
                    out = BlendChannels(c, dst, a);
                }
            } else if constexpr (Kind == kFastAdd) {
                out = AddChannels(c, dst);
            } else {  // kFastAlphaAdd
                out = AddChannels(MulChannels(c, Spread(c >> 24)), dst);
            }
        }
        if (TargetBytes == 4 && argbTarget) {
            Store<TargetBytes>(d, out & keep);
        } else {
            Store<TargetBytes>(
                d, p.target.Encode(static_cast<int>((out >> 16) & 0xFF),
                                   static_cast<int>((out >> 8) & 0xFF),
                                   static_cast<int>(out & 0xFF), static_cast<int>(out >> 24)));
        }
    }
}

template <int TexBytes, int TargetBytes, int Kind>
void FastSpanShaded(const Pipe& p, int y, int x0, int n, const float* base, const float* grad) {
    const Stage& st = p.st[0];
    const bool needDiffuse =
        st.cop == D3DTOP_MODULATE || st.aop == D3DTOP_SELECTARG2 || st.aop == D3DTOP_MODULATE;
    // base + 0 x i is base: with no gradient the diffuse is the same for every pixel.
    if (needDiffuse && !p.flat &&
        (grad[0] != 0.0f || grad[1] != 0.0f || grad[2] != 0.0f || grad[3] != 0.0f)) {
        FastSpanOf<TexBytes, TargetBytes, Kind, true>(p, y, x0, n, base, grad);
    } else {
        FastSpanOf<TexBytes, TargetBytes, Kind, false>(p, y, x0, n, base, grad);
    }
}

template <int TexBytes, int TargetBytes>
void FastSpanFor(const Pipe& p, int y, int x0, int n, const float* base, const float* grad) {
    switch (p.fast) {
        case kFastCopy:
            return FastSpanShaded<TexBytes, TargetBytes, kFastCopy>(p, y, x0, n, base, grad);
        case kFastAlpha:
            return FastSpanShaded<TexBytes, TargetBytes, kFastAlpha>(p, y, x0, n, base, grad);
        case kFastAdd:
            return FastSpanShaded<TexBytes, TargetBytes, kFastAdd>(p, y, x0, n, base, grad);
        default:
            return FastSpanShaded<TexBytes, TargetBytes, kFastAlphaAdd>(p, y, x0, n, base, grad);
    }
}

void FastSpan(const Pipe& p, int y, int x0, int n, const float* base, const float* grad) {
    const bool tex2 = p.st[0].codec.bytes == 2;
    if (p.target.bytes == 2) {
        tex2 ? FastSpanFor<2, 2>(p, y, x0, n, base, grad)
             : FastSpanFor<4, 2>(p, y, x0, n, base, grad);
    } else {
        tex2 ? FastSpanFor<2, 4>(p, y, x0, n, base, grad)
             : FastSpanFor<4, 4>(p, y, x0, n, base, grad);
    }
}

// Untextured flat shading: the vertex colour is the pixel colour, so it is worked out once.
template <int TargetBytes>
void FlatSpanOf(const Pipe& p, int y, int x0, int n, const float* base) {
    const int c[4] = {ToByte(base[0]), ToByte(base[1]), ToByte(base[2]), ToByte(base[3])};
    uint8_t* d = PixelAt(p, x0, y);
    if (!p.blend) {
        const uint32_t v = p.target.Encode(c[0], c[1], c[2], c[3]);
        for (int i = 0; i < n; ++i, d += TargetBytes) Store<TargetBytes>(d, v);
        return;
    }
    for (int i = 0; i < n; ++i, d += TargetBytes) BlendWrite(p, d, c);
}

void Span(const Pipe& p, int y, int x0, int n, const float* base, const float* grad) {
    if (p.fast == kFastFlat) {
        p.target.bytes == 2 ? FlatSpanOf<2>(p, y, x0, n, base) : FlatSpanOf<4>(p, y, x0, n, base);
    } else if (p.fast != kFastNone) {
        FastSpan(p, y, x0, n, base, grad);
    } else {
        GeneralSpan(p, y, x0, n, base, grad);
    }
}

// --- Primitives --------------------------------------------------------------------------------

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

int64_t CeilDiv(int64_t a, int64_t b) {  // b > 0
    return -FloorDiv(-a, b);
}

float Clamp(float v) {
    return std::isnan(v) ? 0.0f : std::clamp(v, -65536.0f, 65536.0f);
}

void Triangle(const Pipe& p, const Vtx* v0, const Vtx* v1, const Vtx* v2, const Vtx& flatV) {
    constexpr int64_t kSub = 256;  // sub-pixel steps
    int64_t X[3], Y[3];
    const Vtx* v[3] = {v0, v1, v2};
    for (int i = 0; i < 3; ++i) {
        X[i] = std::llround(static_cast<double>(Clamp(v[i]->x)) * kSub);
        Y[i] = std::llround(static_cast<double>(Clamp(v[i]->y)) * kSub);
    }
    int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
    if (area == 0) return;
    if (area < 0) {
        std::swap(X[1], X[2]);
        std::swap(Y[1], Y[2]);
        std::swap(v[1], v[2]);
    }
    // Attribute planes over the vertices' own positions.
    const float ax = v[0]->x, ay = v[0]->y;
    const float e1x = v[1]->x - ax, e1y = v[1]->y - ay;
    const float e2x = v[2]->x - ax, e2y = v[2]->y - ay;
    const float det = e1x * e2y - e2x * e1y;
    if (det == 0.0f || !std::isfinite(det)) return;
    // A specialised span reads fewer attributes than the general one; the others are not set up.
    const int* attrs = p.fast != kFastNone ? p.spanAttrs : p.attrs;
    const int attrCount = p.fast != kFastNone ? p.spanAttrCount : p.attrCount;
    float a0[kAttrCount] = {}, dadx[kAttrCount] = {}, dady[kAttrCount] = {};
    for (int j = 0; j < attrCount; ++j) {
        const int k = attrs[j];
        if (p.flat && k < kAttrTex) {
            a0[k] = flatV.a[k];
            continue;
        }
        const float d1 = v[1]->a[k] - v[0]->a[k];
        const float d2 = v[2]->a[k] - v[0]->a[k];
        a0[k] = v[0]->a[k];
        dadx[k] = (d1 * e2y - d2 * e1y) / det;
        dady[k] = (d2 * e1x - d1 * e2x) / det;
    }
    const int64_t minY = std::min({Y[0], Y[1], Y[2]});
    const int64_t maxY = std::max({Y[0], Y[1], Y[2]});
    const int yStart = static_cast<int>(std::max<int64_t>(p.clipY0, CeilDiv(minY, kSub)));
    const int yEnd = static_cast<int>(std::min<int64_t>(p.clipY1 - 1, FloorDiv(maxY, kSub)));
    struct Edge {
        int64_t A, dx, dy, ax, ay, t;
    } edges[3];
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        Edge& e = edges[i];
        e.dx = X[j] - X[i];
        e.dy = Y[j] - Y[i];
        e.ax = X[i];
        e.ay = Y[i];
        e.A = -e.dy * kSub;
        const bool topLeft = (e.dy == 0 && e.dx > 0) || e.dy < 0;
        e.t = topLeft ? 0 : 1;
    }
    // E(x) = A x + B must reach t. A vertical edge's B is the same on every row, so its bound
    // is worked out once; the others' each row.
    auto bound = [](const Edge& e, int64_t py, int64_t& lo, int64_t& hi) {
        const int64_t B = e.dx * (py - e.ay) + e.dy * e.ax;
        if (e.A > 0) {
            lo = std::max(lo, CeilDiv(e.t - B, e.A));
        } else if (e.A < 0) {
            hi = std::min(hi, FloorDiv(B - e.t, -e.A));
        } else if (B < e.t) {
            lo = hi + 1;
        }
    };
    int64_t rowLo = p.clipX0, rowHi = p.clipX1 - 1;
    const Edge* sloped[3];
    int slopedCount = 0;
    // A sloped edge's bound is FloorDiv(M, |A|) with M = B - t (the lower bound its negation);
    // M grows by dx x kSub a row, so the quotient and remainder are stepped instead of divided
    // a row. The general path keeps the division, which the step must match.
    struct Walk {
        int64_t q, r, d, qs, rs;
        bool lower;
    } walks[3];
    int walkCount = 0;
    for (const Edge& e : edges) {
        if (e.dx == 0 && e.dy != 0) {
            bound(e, 0, rowLo, rowHi);
        } else if (p.fast != kFastNone && e.A != 0 && yStart <= yEnd) {
            Walk& w = walks[walkCount++];
            w.d = e.A > 0 ? e.A : -e.A;
            w.lower = e.A > 0;
            const int64_t m =
                e.dx * (static_cast<int64_t>(yStart) * kSub - e.ay) + e.dy * e.ax - e.t;
            w.q = FloorDiv(m, w.d);
            w.r = m - w.q * w.d;
            w.qs = FloorDiv(e.dx * kSub, w.d);
            w.rs = e.dx * kSub - w.qs * w.d;
        } else {
            sloped[slopedCount++] = &e;
        }
    }
    float base[kAttrCount] = {};
    for (int y = yStart; y <= yEnd && rowLo <= rowHi; ++y) {
        const int64_t py = static_cast<int64_t>(y) * kSub;
        int64_t lo = rowLo, hi = rowHi;
        for (int i = 0; i < slopedCount; ++i) bound(*sloped[i], py, lo, hi);
        for (int i = 0; i < walkCount; ++i) {
            Walk& w = walks[i];
            if (w.lower) {
                lo = std::max(lo, -w.q);
            } else {
                hi = std::min(hi, w.q);
            }
            w.q += w.qs;
            w.r += w.rs;
            if (w.r >= w.d) {
                w.r -= w.d;
                ++w.q;
            }
        }
        if (lo > hi) continue;
        const float fx = static_cast<float>(lo) - ax;
        const float fy = static_cast<float>(y) - ay;
        for (int j = 0; j < attrCount; ++j) {
            const int k = attrs[j];
            base[k] = a0[k] + dadx[k] * fx + dady[k] * fy;
        }
        Span(p, y, static_cast<int>(lo), static_cast<int>(hi - lo + 1), base, dadx);
    }
}

// Steps along the major axis; the pixel whose diamond holds the end is left out.
void Line(const Pipe& p, const Vtx& a, const Vtx& b) {
    const float dx = b.x - a.x, dy = b.y - a.y;
    if (dx == 0.0f && dy == 0.0f) return;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const float start = Clamp(xMajor ? a.x : a.y), end = Clamp(xMajor ? b.x : b.y);
    const float span = xMajor ? dx : dy;
    int first, last, step;
    if (end > start) {
        first = static_cast<int>(std::ceil(start - 0.5f));
        last = static_cast<int>(std::ceil(end - 0.5f)) - 1;
        step = 1;
    } else {
        first = static_cast<int>(std::floor(start + 0.5f));
        last = static_cast<int>(std::floor(end + 0.5f)) + 1;
        step = -1;
    }
    float attr[kAttrCount] = {};
    for (int c = first; step > 0 ? c <= last : c >= last; c += step) {
        const float t = (static_cast<float>(c) - (xMajor ? a.x : a.y)) / span;
        const float minor = xMajor ? a.y + t * dy : a.x + t * dx;
        const int m = static_cast<int>(std::floor(minor + 0.5f));
        for (int j = 0; j < p.attrCount; ++j) {
            const int k = p.attrs[j];
            attr[k] = (p.flat && k < kAttrTex) ? a.a[k] : a.a[k] + (b.a[k] - a.a[k]) * t;
        }
        if (xMajor) {
            Plot(p, c, m, attr);
        } else {
            Plot(p, m, c, attr);
        }
    }
}

void Point(const Pipe& p, const Vtx& a) {
    Plot(p, static_cast<int>(std::floor(Clamp(a.x) + 0.5f)),
         static_cast<int>(std::floor(Clamp(a.y) + 0.5f)), a.a);
}

// --- Set-up ------------------------------------------------------------------------------------

struct Layout {
    DWORD size = 0;
    bool diffuse = false;
    bool specular = false;
    int sets = 0;
};

Layout LayoutOf(DWORD fvf) {
    Layout l;
    const DWORD known = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | 0xF00u;
    if ((fvf & 0xE) != D3DFVF_XYZRHW || (fvf & ~known) != 0) return l;
    l.sets = static_cast<int>((fvf >> D3DFVF_TEXCOUNT_SHIFT) & 0xF);
    if (l.sets > kMaxSets) return l;
    l.diffuse = (fvf & D3DFVF_DIFFUSE) != 0;
    l.specular = (fvf & D3DFVF_SPECULAR) != 0;
    l.size = 16 + (l.diffuse ? 4 : 0) + (l.specular ? 4 : 0) + 8 * static_cast<DWORD>(l.sets);
    return l;
}

void Decode(const Layout& l, const uint8_t* src, Vtx* out) {
    float xyz[2];
    std::memcpy(xyz, src, sizeof xyz);
    out->x = xyz[0];
    out->y = xyz[1];
    size_t at = 16;
    uint32_t diffuse = 0xFFFFFFFFu, specular = 0;
    if (l.diffuse) {
        std::memcpy(&diffuse, src + at, 4);
        at += 4;
    }
    if (l.specular) {
        std::memcpy(&specular, src + at, 4);
        at += 4;
    }
    const uint32_t colours[2] = {diffuse, specular};
    for (int c = 0; c < 2; ++c) {
        float* a = out->a + 4 * c;
        a[0] = static_cast<float>((colours[c] >> 16) & 0xFF);
        a[1] = static_cast<float>((colours[c] >> 8) & 0xFF);
        a[2] = static_cast<float>(colours[c] & 0xFF);
        a[3] = static_cast<float>(colours[c] >> 24);
    }
    for (int s = 0; s < kMaxSets; ++s) {
        float uv[2] = {0.0f, 0.0f};
        if (s < l.sets) std::memcpy(uv, src + at + 8 * s, sizeof uv);
        out->a[kAttrTex + 2 * s] = uv[0];
        out->a[kAttrTex + 2 * s + 1] = uv[1];
    }
}

void BuildPipe(const Direct3DDeviceState& s, Pipe& p) {
    const DWORD* rs = s.renderStates;
    DirectDrawSurface* target = s.target;
    p.target = MakeCodec(target->Format());
    p.bits = target->Bits();
    p.pitch = target->Pitch();
    const int64_t vx = s.viewport.dwX, vy = s.viewport.dwY;
    p.clipX0 = static_cast<int>(std::min<int64_t>(vx, target->Width()));
    p.clipY0 = static_cast<int>(std::min<int64_t>(vy, target->Height()));
    p.clipX1 = static_cast<int>(std::min<int64_t>(vx + s.viewport.dwWidth, target->Width()));
    p.clipY1 = static_cast<int>(std::min<int64_t>(vy + s.viewport.dwHeight, target->Height()));
    p.flat = rs[D3DRENDERSTATE_SHADEMODE] == D3DSHADE_FLAT;
    p.alphaTest = rs[D3DRENDERSTATE_ALPHATESTENABLE] != 0;
    p.alphaFunc = rs[D3DRENDERSTATE_ALPHAFUNC];
    p.alphaRef = static_cast<int>(rs[D3DRENDERSTATE_ALPHAREF] & 0xFF);
    if (p.alphaTest) {
        for (int a = 0; a < 256; ++a) p.alphaPass[a] = AlphaPasses(p.alphaFunc, a, p.alphaRef);
        for (const bool outside : {false, true}) {
            int lo = 256, hi = -1;
            for (int a = 0; a < 256; ++a) {
                if (p.alphaPass[a] != outside) lo = std::min(lo, a), hi = std::max(hi, a);
            }
            bool run = true;
            for (int a = 0; a < 256; ++a) {
                run = run && (p.alphaPass[a] != outside) == (a >= lo && a <= hi);
            }
            if (run && !p.alphaRun) {
                p.alphaRun = true;
                p.alphaRunOutside = outside;
                p.alphaRunLo = lo;
                p.alphaRunHi = hi;
            }
        }
    }
    p.blend = rs[D3DRENDERSTATE_ALPHABLENDENABLE] != 0;
    // 0 is no blend factor: the source takes ONE and the destination ZERO, the defaults.
    p.srcBlend = rs[D3DRENDERSTATE_SRCBLEND] == 0 ? D3DBLEND_ONE : rs[D3DRENDERSTATE_SRCBLEND];
    p.destBlend = rs[D3DRENDERSTATE_DESTBLEND] == 0 ? D3DBLEND_ZERO : rs[D3DRENDERSTATE_DESTBLEND];
    Unpack(rs[D3DRENDERSTATE_TEXTUREFACTOR], p.tfactor);
    const bool colourKey = rs[D3DRENDERSTATE_COLORKEYENABLE] != 0;

    bool used[kAttrCount] = {};
    for (int i = 0; i < 8; ++i) used[i] = true;
    p.stages = 0;
    for (DWORD i = 0; i < kStageCount; ++i) {
        const DWORD* ss = s.stageStates[i];
        if (ss[D3DTSS_COLOROP] == D3DTOP_DISABLE || ss[D3DTSS_COLOROP] > D3DTOP_SUBTRACT ||
            ss[D3DTSS_COLOROP] == 0) {
            break;
        }
        Stage& st = p.st[p.stages++];
        st.cop = ss[D3DTSS_COLOROP];
        st.ca1 = ss[D3DTSS_COLORARG1];
        st.ca2 = ss[D3DTSS_COLORARG2];
        st.aop = ss[D3DTSS_ALPHAOP] > D3DTOP_SUBTRACT ? D3DTOP_DISABLE : ss[D3DTSS_ALPHAOP];
        st.aa1 = ss[D3DTSS_ALPHAARG1];
        st.aa2 = ss[D3DTSS_ALPHAARG2];
        st.tex = s.textures[i];
        st.set = static_cast<int>(ss[D3DTSS_TEXCOORDINDEX] & 7);
        st.linear = ss[D3DTSS_MAGFILTER] == D3DTFG_LINEAR || ss[D3DTSS_MINFILTER] == D3DTFN_LINEAR;
        st.keyed = false;
        if (st.tex != nullptr) {
            st.codec = MakeCodec(st.tex->Format());
            st.keyed = colourKey && st.tex->HasSourceKey();
            st.keyLow = st.tex->SourceKey().dwColorSpaceLowValue;
            st.keyHigh = st.tex->SourceKey().dwColorSpaceHighValue;
            used[kAttrTex + 2 * st.set] = used[kAttrTex + 2 * st.set + 1] = true;
        }
    }
    p.attrCount = 0;
    for (int k = 0; k < kAttrCount; ++k) {
        if (used[k]) p.attrs[p.attrCount++] = k;
    }

    p.fast = kFastNone;
    if (!g_fastSpans || p.stages != 1) return;
    const Stage& st = p.st[0];
    // The diffuse, where the span reads it (untextured, modulating or giving the alpha), and
    // the stage's coordinates.
    p.spanAttrCount = 0;
    if (st.tex == nullptr || st.cop == D3DTOP_MODULATE || st.aop == D3DTOP_SELECTARG2 ||
        st.aop == D3DTOP_MODULATE) {
        for (int k = kAttrDiffuse; k < kAttrDiffuse + 4; ++k) p.spanAttrs[p.spanAttrCount++] = k;
    }
    p.spanAttrs[p.spanAttrCount++] = kAttrTex + 2 * st.set;
    p.spanAttrs[p.spanAttrCount++] = kAttrTex + 2 * st.set + 1;
    if (st.tex == nullptr && p.flat && !p.alphaTest && st.cop == D3DTOP_SELECTARG1 &&
        st.ca1 == D3DTA_DIFFUSE && st.aop == D3DTOP_SELECTARG1 && st.aa1 == D3DTA_DIFFUSE &&
        (p.target.bytes == 2 || p.target.bytes == 4)) {
        p.fast = kFastFlat;
        return;
    }
    if (st.tex == nullptr || st.linear) return;
    if ((st.codec.bytes != 2 && st.codec.bytes != 4) ||
        (p.target.bytes != 2 && p.target.bytes != 4)) {
        return;
    }
    const bool colourOk =
        (st.cop == D3DTOP_SELECTARG1 && st.ca1 == D3DTA_TEXTURE) ||
        (st.cop == D3DTOP_MODULATE && st.ca1 == D3DTA_TEXTURE && st.ca2 == D3DTA_DIFFUSE);
    const bool alphaOk =
        (st.aop == D3DTOP_SELECTARG1 && st.aa1 == D3DTA_TEXTURE) ||
        (st.aop == D3DTOP_SELECTARG2 && st.aa2 == D3DTA_DIFFUSE) ||
        (st.aop == D3DTOP_MODULATE && st.aa1 == D3DTA_TEXTURE && st.aa2 == D3DTA_DIFFUSE);
    if (!colourOk || !alphaOk) return;
    if (!p.blend || (p.srcBlend == D3DBLEND_ONE && p.destBlend == D3DBLEND_ZERO)) {
        p.fast = kFastCopy;
        const DDPixelFormat& tf = st.tex->Format();
        p.rawCopy = st.cop == D3DTOP_SELECTARG1 && !p.alphaTest &&
                    SamePixelFormat(tf, s.target->Format()) && p.target.narrow &&
                    (st.aop == D3DTOP_SELECTARG1 || !p.target.hasAlpha);
        p.rawMask =
            tf.redMask | tf.greenMask | tf.blueMask | (p.target.hasAlpha ? tf.alphaMask : 0);
    } else if (p.srcBlend == D3DBLEND_SRCALPHA && p.destBlend == D3DBLEND_INVSRCALPHA) {
        p.fast = kFastAlpha;
    } else if (p.srcBlend == D3DBLEND_ONE && p.destBlend == D3DBLEND_ONE) {
        p.fast = kFastAdd;
    } else if (p.srcBlend == D3DBLEND_SRCALPHA && p.destBlend == D3DBLEND_ONE) {
        p.fast = kFastAlphaAdd;
    }
}

}  // namespace

void SetFastSpans(bool on) {
    g_fastSpans = on;
}

DWORD VertexSize(DWORD fvf) {
    return LayoutOf(fvf).size;
}

void Rasterise(const Direct3DDeviceState& state, D3DPRIMITIVETYPE type, DWORD fvf,
               const void* vertices, DWORD vertexCount, const WORD* indices, DWORD indexCount) {
    const Layout layout = LayoutOf(fvf);
    if (layout.size == 0 || state.target == nullptr) return;
    Pipe p;
    BuildPipe(state, p);
    if (p.clipX0 >= p.clipX1 || p.clipY0 >= p.clipY1) return;
    std::vector<Vtx> v(vertexCount);
    const auto* bytes = static_cast<const uint8_t*>(vertices);
    for (DWORD i = 0; i < vertexCount; ++i) Decode(layout, bytes + i * layout.size, &v[i]);
    const DWORD n = indices != nullptr ? indexCount : vertexCount;
    auto at = [&](DWORD i) -> const Vtx& { return v[indices != nullptr ? indices[i] : i]; };
    switch (type) {
        case D3DPT_POINTLIST:
            for (DWORD i = 0; i < n; ++i) Point(p, at(i));
            break;
        case D3DPT_LINELIST:
            for (DWORD i = 0; i + 1 < n; i += 2) Line(p, at(i), at(i + 1));
            break;
        case D3DPT_LINESTRIP:
            for (DWORD i = 0; i + 1 < n; ++i) Line(p, at(i), at(i + 1));
            break;
        case D3DPT_TRIANGLELIST:
            for (DWORD i = 0; i + 2 < n; i += 3) {
                Triangle(p, &at(i), &at(i + 1), &at(i + 2), at(i));
            }
            break;
        case D3DPT_TRIANGLESTRIP:
            for (DWORD i = 0; i + 2 < n; ++i) Triangle(p, &at(i), &at(i + 1), &at(i + 2), at(i));
            break;
        case D3DPT_TRIANGLEFAN:
            for (DWORD i = 1; i + 1 < n; ++i) Triangle(p, &at(0), &at(i), &at(i + 1), at(i));
            break;
    }
}

}  // namespace plat::detail
