// A per-pixel model of the software renderer's blend rules, written straight from the rules with
// plain integer arithmetic and no lookup tables, and the fixtures the renderer's tests share.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/graphics/draw_state.h"
#include "engine/screen/memimg.h"

namespace softtest {

using tessra::MEMIMG;

// Which drawing path's particulars apply.
enum class Path { BlitNormal, BlitFast, Stretch, Primitive };

// The draw state a case runs under.
struct State {
    int mode = 0;
    int p = 0;
    uint8_t bright[3] = {255, 255, 255};  // blue, green, red
    tessra::Rect area{0, 0, 1 << 20, 1 << 20};
    int mmx = 1;
    // Mode and parameter under one brightness byte for all three channels.
    static State Of(int mode, int p, uint8_t bright = 255, int mmx = 1) {
        State s;
        s.mode = mode;
        s.p = p;
        s.bright[0] = s.bright[1] = s.bright[2] = bright;
        s.mmx = mmx;
        return s;
    }
};

// Writes the state into DrawState and MmxAvailable.
void Apply(const State& s);

// One source pixel as the rules see it.
struct SourcePixel {
    uint32_t raw;  // index byte, 16-bit word, 4-byte 16-bit-with-alpha pixel or 32-bit pixel
    bool paletted;
    bool alpha;    // per-pixel alpha source
    uint32_t key;  // the transparent value
};

// The new destination pixel, or d when the pixel is skipped or the mode draws nothing.
// runCode: the run code of the pixel on the fast path (0, 1, 2), else ignored.
// blendWeight: -1 without a blend image, else the ramp's weight.
uint32_t RefPixel(Path path, int kind, const SourcePixel& sp, const uint32_t* palette,
                  int transparent, int runCode, int blendWeight, uint32_t d, const State& st);

// An owned image for tests.
struct Image {
    MEMIMG m{};
    Image(int kind, int width, int height, int paletted = 0, int alpha = 0, int buffers = 0,
          uint32_t key = 0);
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    uint32_t Get(int x, int y) const;
    void Set(int x, int y, uint32_t v);
    std::vector<uint8_t> Bytes() const;  // every row's pixel bytes
};

// Fills an image with seeded noise: some pixels equal to the key, alpha drawn from 0, 255 and
// values between; palette entries for paletted images.
void FillNoise(Image& img, std::mt19937& rng);
// A one-byte-per-pixel image of noise for the blend image.
void FillBytes(Image& img, std::mt19937& rng);
// Writes the run data of a whole image the way the image transfer does and sets its flag.
void WriteRunData(Image& img);
// The run code of every pixel of an image's run data, row by row.
std::vector<int> DecodeRuns(const Image& img);

// The blend ramp used by the tests: weight v -> a spread of 0..255 with 0 and 255 present.
void SetTestRamp();

// Reference drawing of whole operations into a copy of the destination.
void RefBlit(Image& dest, const Image& src, int x, int y, int transparent, const Image* blend,
             const State& st);
void RefStretch(Image& dest, const Image& src, tessra::Rect rect, int transparent,
                const Image* blend, const State& st);
void RefFill(Image& dest, const tessra::Rect* rect, uint32_t color, const State& st);

// Where two images of one size first differ ("pixel (x, y): got 0x.., reference 0x.."), or ""
// when every pixel is equal.
std::string FirstDifference(const Image& got, const Image& want);

// A test-case name from a row's description: letters and digits kept, the rest '_'.
std::string CaseName(const char* description);

}  // namespace softtest

namespace softtest {

// Every pixel set to v.
void FillWith(Image& img, uint32_t v);
// A 16-bit image whose texel (x, y) has red x, green y and blue 1, so that each drawn pixel
// names its texel (x below 32, y below 64).
void NumberTexels(Image& img);

// The mapped draws (textured triangles, rotated blit): the rule for one texel over d, from the
// rule tables channel by channel; d when the texel is skipped or the mode draws nothing.
// blendWeight: -1 without a blend image, else the ramp's weight.
uint32_t RefTexel(int kind, const SourcePixel& sp, const uint32_t* palette, int transparent,
                  int blendWeight, uint32_t d, const State& st);
// The saturating add and subtract of the amount a into d, channel by channel with the lowest
// bits of green and red (and, 32-bit, the top byte) as the packed word forms leave them.
uint32_t RefPackedAdd(int kind, uint32_t a, uint32_t d);
uint32_t RefPackedSub(int kind, uint32_t a, uint32_t d);
// A plain triangle walker: the edges row by row, each pixel's texel computed on its own.
void RefTriangle(Image& dest, const Image& src, const int vertices[12], int transparent,
                 const Image* blend, const State& st);
// The quad as its two triangles, after the box test.
void RefQuad(Image& dest, const Image& src, const int corners[8], int transparent,
             const Image* blend, const State& st);

}  // namespace softtest

namespace softtest {

// The rotated blit as a plain per-pixel walk: the turn's corners and box, each pixel's texel
// from the box's top-left and the row and column steps, the texel rules; mirrored through
// RefQuad.
void RefRotate(Image& dest, const Image& src, int x, int y, float angle, float scale,
               int transparent, int mirror, const Image* blend, const State& st);

}  // namespace softtest
