// Seeded differential sweep: every specialised loop against the per-pixel reference, over
// formats, source kinds, modes, parameters, brightness, blend image, alpha, transparency and
// the MMX flag.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <vector>

#include "engine/screen/soft_tables.h"
#include "engine/softrender/soft_render.h"
#include "engine/softrender/soft_simd.h"
#include "soft_reference.h"

namespace {

using namespace softtest;

const int kParams[] = {0, 1, 127, 128, 254, 255};
// Brightness 1: grey; 2: a different byte per channel, so a channel given another's byte shows.
const uint8_t kGrey[3][3] = {{255, 255, 255}, {128, 128, 128}, {200, 128, 64}};

struct Sweep {
    int kind, srcKind, mode, p, grey, blend, transparent, mmx;
    std::string Describe() const {
        std::ostringstream o;
        o << "kind " << kind << " source "
          << (srcKind == 0   ? "paletted"
              : srcKind == 1 ? "direct"
                             : "alpha")
          << " mode " << mode << " p " << p << " brightness " << grey
          << (blend ? " blend-image" : "") << " transparent " << transparent << " mmx " << mmx;
        return o.str();
    }
    State Make(tessra::Rect area) const {
        State st;
        st.mode = mode;
        st.p = p;
        std::copy(kGrey[grey], kGrey[grey] + 3, st.bright);
        st.area = area;
        st.mmx = mmx;
        return st;
    }
};

template <class F>
void ForEachCase(F&& f) {
    for (int kind = 0; kind < 2; ++kind)
        for (int srcKind = 0; srcKind < 3; ++srcKind)
            for (int mode = 0; mode < 5; ++mode)
                for (int p : kParams)
                    for (int grey = 0; grey < 3; ++grey)
                        for (int blend = 0; blend < 2; ++blend)
                            for (int transparent = 0; transparent < 3; ++transparent)
                                for (int mmx = 0; mmx < 2; ++mmx)
                                    if (!f(Sweep{kind, srcKind, mode, p, grey, blend, transparent,
                                                 mmx}))
                                        return;
}

// Compares two images and names the first differing pixel.
::testing::AssertionResult Same(const Image& got, const Image& want) {
    const std::string diff = FirstDifference(got, want);
    if (diff.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << diff;
}

class SoftSweep : public ::testing::Test {
protected:
    void SetUp() override {
        tessra::BuildSoftBlendTables();
        SetTestRamp();
    }
};

TEST_F(SoftSweep, PlainBlitMatchesReference) {
    // Both vector forms of the rows: the baseline one and, where the processor has it, AVX2.
    for (bool avx2 : {false, true}) {
        tessra::soft::SelectVectorRows(avx2);
        std::mt19937 rng(20261210);
        ForEachCase([&](const Sweep& c) {
            Image src(c.kind, 13, 9, c.srcKind == 0, c.srcKind == 2, 1,
                      0x5A5A5A5A & (c.kind ? ~0u : 0xFFFF));
            if (c.srcKind == 0) src.m.transColor = 7;
            FillNoise(src, rng);
            if (c.transparent == 1) WriteRunData(src);
            Image blend(2, 14, 9);
            FillBytes(blend, rng);
            // A clipped draw (the general loops) and a whole one (the run-data path when allowed).
            const struct {
                int x, y;
                tessra::Rect area;
            } places[] = {
                {-3, 5, {2, 1, 20, 12}},
                {4, 2, {0, 0, 24, 16}},
            };
            for (const auto& at : places) {
                Image got(c.kind, 24, 16), want(c.kind, 24, 16);
                FillNoise(got, rng);
                std::memcpy(want.m.pixels, got.m.pixels, size_t(got.m.pitch) * got.m.height);
                State st = c.Make(at.area);
                Apply(st);
                tessra::MemImgBlit(&got.m, &src.m, at.x, at.y, c.transparent,
                                   c.blend ? &blend.m : nullptr);
                RefBlit(want, src, at.x, at.y, c.transparent, c.blend ? &blend : nullptr, st);
                auto same = Same(got, want);
                EXPECT_TRUE(same) << c.Describe() << " at (" << at.x << ", " << at.y << ")"
                                  << (avx2 ? " avx2" : " sse2");
                if (!same) return false;
            }
            return true;
        });
    }
}

TEST_F(SoftSweep, StretchedBlitMatchesReference) {
    std::mt19937 rng(77);
    const tessra::Rect rects[] = {
        {-4, 2, 22, 20},  // up about two times, clipped on the left and the bottom
        {19, 13, 2, 1},   // mirrored on both axes, slightly up
        {1, 1, 7, 5},     // down about two times
        {3, 14, 16, 5},   // mirrored vertically
        {14, 0, 3, 8},    // the source's size, mirrored left to right
        {5, 5, 16, 13},   // the source's size: handed to the plain blit
    };
    ForEachCase([&](const Sweep& c) {
        Image src(c.kind, 11, 8, c.srcKind == 0, c.srcKind == 2, 0,
                  0x3C3C3C3C & (c.kind ? ~0u : 0xFFFF));
        if (c.srcKind == 0) src.m.transColor = 9;
        FillNoise(src, rng);
        Image blend(2, 11, 8);
        FillBytes(blend, rng);
        for (const tessra::Rect& r : rects) {
            Image got(c.kind, 24, 18), want(c.kind, 24, 18);
            FillNoise(got, rng);
            std::memcpy(want.m.pixels, got.m.pixels, size_t(got.m.pitch) * got.m.height);
            State st = c.Make({1, 0, 21, 17});
            Apply(st);
            tessra::MemImgStretchBlit(&got.m, &src.m, &r, c.transparent,
                                      c.blend ? &blend.m : nullptr);
            RefStretch(want, src, r, c.transparent, c.blend ? &blend : nullptr, st);
            auto same = Same(got, want);
            EXPECT_TRUE(same) << c.Describe() << " into (" << r.left << ", " << r.top << ", "
                              << r.right << ", " << r.bottom << ")";
            if (!same) return false;
        }
        return true;
    });
}

// Unblended stretches that grow the rows work each source row out once and copy it, through a
// mask where keyed pixels or a kept fourth byte leave destination bytes alone: bands of a small
// source across a wide screen (the sky of the title), odd widths, mirrored on either axis, rows
// up with columns down, clipped on every side; both formats, paletted and direct sources, white
// and coloured brightness, keyed or not, and a keyed draw whose source has no key at all.
TEST_F(SoftSweep, GrowingUnblendedStretchMatchesReference) {
    struct Shape {
        const char* what;
        int srcW, srcH;
        tessra::Rect rect, area;
    };
    const Shape shapes[] = {
        {"band of 8x8 across 77", 8, 8, {0, 3, 77, 16}, {0, 0, 80, 40}},
        {"odd widths, up on both", 5, 3, {1, 2, 34, 19}, {0, 0, 80, 40}},
        {"mirrored left to right", 7, 4, {40, 0, 3, 21}, {0, 0, 80, 40}},
        {"mirrored top to bottom", 9, 5, {2, 30, 31, 1}, {0, 0, 80, 40}},
        {"mirrored both", 6, 6, {70, 39, 5, 2}, {0, 0, 80, 40}},
        {"rows up, columns down", 40, 3, {3, 1, 16, 25}, {0, 0, 80, 40}},
        {"one source column", 1, 4, {0, 0, 19, 23}, {0, 0, 80, 40}},
        {"clipped on every side", 11, 7, {-9, -5, 85, 47}, {3, 2, 71, 33}},
        {"one destination column", 3, 2, {10, 0, 11, 31}, {0, 0, 80, 40}},
    };
    std::mt19937 rng(1849);
    for (const Shape& sh : shapes)
        for (int kind = 0; kind < 2; ++kind)
            for (int srcKind = 0; srcKind < 2; ++srcKind)
                for (int grey = 0; grey < 3; ++grey)
                    for (int keying = 0; keying < 3; ++keying) {
                        // keying 0: off; 1: on, keyed pixels in the source; 2: on, none there.
                        const uint32_t key = 0x3C3C3C3C & (kind ? ~0u : 0xFFFF);
                        Image src(kind, sh.srcW, sh.srcH, srcKind == 0, 0, 0, key);
                        if (srcKind == 0) src.m.transColor = 9;
                        FillNoise(src, rng);
                        if (keying == 2)
                            for (int y = 0; y < sh.srcH; ++y)
                                for (int x = 0; x < sh.srcW; ++x)
                                    if (src.Get(x, y) == src.m.transColor)
                                        src.Set(x, y, src.m.transColor ^ 1);
                        Image got(kind, 80, 40), want(kind, 80, 40);
                        FillNoise(got, rng);
                        std::memcpy(want.m.pixels, got.m.pixels,
                                    size_t(got.m.pitch) * got.m.height);
                        State st = State::Of(0, 0);
                        std::copy(kGrey[grey], kGrey[grey] + 3, st.bright);
                        st.area = sh.area;
                        Apply(st);
                        const int transparent = keying == 0 ? 0 : 1;
                        tessra::MemImgStretchBlit(&got.m, &src.m, &sh.rect, transparent, nullptr);
                        RefStretch(want, src, sh.rect, transparent, nullptr, st);
                        ASSERT_TRUE(Same(got, want))
                            << sh.what << ", kind " << kind
                            << (srcKind == 0 ? " paletted" : " direct") << " brightness " << grey
                            << " keying " << keying;
                    }
}

TEST_F(SoftSweep, FillMatchesReference) {
    for (bool avx2 : {false, true}) {
        tessra::soft::SelectVectorRows(avx2);
        std::mt19937 rng(5);
        for (int kind = 0; kind < 2; ++kind)
            for (int mode = 0; mode < 6; ++mode)
                for (int p : kParams)
                    for (int grey = 0; grey < 3; ++grey)
                        for (int k = 0; k < 4; ++k) {
                            Image got(kind, 40, 9), want(kind, 40, 9);
                            FillNoise(got, rng);
                            std::memcpy(want.m.pixels, got.m.pixels,
                                        size_t(got.m.pitch) * got.m.height);
                            const uint32_t colors[] = {0xFFFFFFFFu, 0, 0x80FF0000u,
                                                       uint32_t(rng())};
                            uint32_t color = kind == 0 ? colors[k] & 0xFFFF : colors[k];
                            State st;
                            st.mode = mode;
                            st.p = p;
                            std::copy(kGrey[grey], kGrey[grey] + 3, st.bright);
                            st.area = {2, 1, 37, 8};
                            Apply(st);
                            tessra::Rect r{39, 9, 0, 0};
                            tessra::MemImgFillRect(&got.m, &r, color);
                            RefFill(want, &r, color, st);
                            ASSERT_TRUE(Same(got, want))
                                << "kind " << kind << " mode " << mode << " p " << p << " grey "
                                << grey << " colour " << std::hex << color
                                << (avx2 ? " avx2" : " sse2");
                        }
    }
}

}  // namespace

namespace {

// Rows long enough for the vector loops to align the destination first, at several alignments.
TEST(SoftSweepWide, LongRowsMatchReference) {
    SetTestRamp();
    for (bool avx2 : {false, true}) {
        tessra::soft::SelectVectorRows(avx2);
        std::mt19937 rng(99);
        for (int kind = 0; kind < 2; ++kind)
            for (int srcKind = 1; srcKind < 3; ++srcKind)
                for (int mode = 0; mode < 5; ++mode)
                    for (int p : {100, 128, 255})
                        for (int transparent = 0; transparent < 2; ++transparent)
                            for (int x = 1; x <= 9; x += 4) {
                                Image src(kind, 75, 3, 0, srcKind == 2, 0, 0x1234);
                                FillNoise(src, rng);
                                Image got(kind, 90, 4), want(kind, 90, 4);
                                FillNoise(got, rng);
                                std::memcpy(want.m.pixels, got.m.pixels,
                                            size_t(got.m.pitch) * got.m.height);
                                State st = State::Of(mode, p);
                                st.area = {0, 0, 90, 4};
                                Apply(st);
                                tessra::MemImgBlit(&got.m, &src.m, x, 1, transparent, nullptr);
                                RefBlit(want, src, x, 1, transparent, nullptr, st);
                                tessra::Rect box{x, 0, x + 80, 1};
                                tessra::MemImgFillRect(&got.m, &box, 0x00C0FFEE);
                                RefFill(want, &box, 0x00C0FFEE, st);
                                ASSERT_TRUE(Same(got, want))
                                    << "kind " << kind << " source " << srcKind << " mode " << mode
                                    << " p " << p << " transparent " << transparent << " at " << x
                                    << (avx2 ? " avx2" : " sse2");
                            }
    }
}

}  // namespace

namespace {

// A 32-bit source with per-pixel alpha made of runs of clear, opaque and partly clear pixels of
// every length from 1 to past one run's 64, so that run codes, run splits, vector groups and
// the pixels left over after them all occur.
void FillAlphaRuns(Image& src, std::mt19937& rng) {
    FillNoise(src, rng);
    for (int y = 0; y < src.m.height; ++y)
        for (int x = 0; x < src.m.width;) {
            const int kind = int(rng() % 3), len = 1 + int(rng() % 70);
            for (int e = std::min(src.m.width, x + len); x < e; ++x) {
                const uint32_t a = kind == 0 ? 0 : kind == 1 ? 255 : 1 + rng() % 254;
                src.Set(x, y, (src.Get(x, y) & 0xFFFFFF) | a << 24);
            }
        }
}

// The run-data path of an alpha source copied in mode 0, from rows narrower than one vector to
// rows of many runs, at several destination alignments, with run data that matches the pixels
// and with run data of other pixels (code 2 over opaque pixels, code 1 over partly clear ones).
TEST(SoftSweepWide, AlphaRunDataMatchesReference) {
    SetTestRamp();
    for (bool avx2 : {false, true}) {
        tessra::soft::SelectVectorRows(avx2);
        std::mt19937 rng(42);
        for (int width : {1, 2, 3, 5, 7, 8, 9, 13, 31, 64, 150})
            for (int mismatched = 0; mismatched < 2; ++mismatched)
                for (int x = 0; x < 4; ++x) {
                    Image src(1, width, 5, 0, 1, 1);
                    FillAlphaRuns(src, rng);
                    WriteRunData(src);
                    if (mismatched) FillNoise(src, rng);
                    // The sprite's rows end where the destination's do, so nothing may be read
                    // or written past a row's last pixel.
                    Image got(1, width + x, 6), want(1, width + x, 6);
                    FillNoise(got, rng);
                    std::memcpy(want.m.pixels, got.m.pixels, size_t(got.m.pitch) * got.m.height);
                    State st = State::Of(0, 0);
                    st.area = {0, 0, width + x, 6};
                    Apply(st);
                    tessra::MemImgBlit(&got.m, &src.m, x, 1, 1, nullptr);
                    RefBlit(want, src, x, 1, 1, nullptr, st);
                    ASSERT_TRUE(Same(got, want))
                        << "width " << width << " at " << x << (mismatched ? " mismatched" : "")
                        << (avx2 ? " avx2" : " sse2");
                }
    }
}

// The fill rows store whole vectors, aligned between an unaligned first and last one that may
// overlap them: at every byte offset over two vectors (odd ones included, where the colour's
// pattern does not line up with the vector boundaries) and at widths around the vector sizes,
// a row writes exactly its own pixels with the colour and not a byte around them.
TEST(SoftSweepWide, FillRowsWriteExactlyTheirPixels) {
    const int widths[] = {0,  1,  2,  3,  7,  8,  9,   15,  16,  17,
                          31, 32, 33, 63, 64, 65, 100, 127, 129, 331};
    for (bool avx2 : {false, true}) {
        tessra::soft::SelectVectorRows(avx2);
        for (int kind = 0; kind < 2; ++kind) {
            const size_t bpp = kind == 0 ? 2 : 4;
            const uint32_t color = kind == 0 ? 0xA55Au : 0x80C3E10Fu;
            const tessra::soft::FillFn fill = tessra::soft::SelectFill(kind);
            for (int n : widths)
                for (size_t offset = 0; offset < 64; ++offset) {
                    std::vector<uint8_t> buf(offset + size_t(n) * bpp + 64, 0xEE);
                    fill(buf.data() + offset, n, color);
                    for (size_t i = 0; i < buf.size(); ++i) {
                        const bool inside = i >= offset && i < offset + size_t(n) * bpp;
                        const uint8_t want =
                            inside ? uint8_t(color >> (8 * ((i - offset) % bpp))) : 0xEE;
                        ASSERT_EQ(buf[i], want)
                            << "byte " << i << ", " << n << " pixels at offset " << offset
                            << ", kind " << kind << (avx2 ? " avx2" : " sse2");
                    }
                }
        }
    }
}

// Long filled rectangles through MemImgFillRect, starting at each pixel of a vector's width and
// of odd widths, against the reference.
TEST(SoftSweepWide, LongFillsMatchReference) {
    SetTestRamp();
    for (bool avx2 : {false, true}) {
        tessra::soft::SelectVectorRows(avx2);
        std::mt19937 rng(49);
        for (int kind = 0; kind < 2; ++kind)
            for (int w : {33, 64, 65, 129, 250, 301})
                for (int x = 0; x < 17; ++x) {
                    Image got(kind, 320, 4), want(kind, 320, 4);
                    FillNoise(got, rng);
                    std::memcpy(want.m.pixels, got.m.pixels, size_t(got.m.pitch) * got.m.height);
                    const uint32_t color = uint32_t(rng()) & (kind == 0 ? 0xFFFFu : ~0u);
                    State st = State::Of(0, 0);
                    st.area = {0, 0, 320, 4};
                    Apply(st);
                    const tessra::Rect r{x, 1, x + w, 3};
                    tessra::MemImgFillRect(&got.m, &r, color);
                    RefFill(want, &r, color, st);
                    ASSERT_TRUE(Same(got, want)) << "kind " << kind << " width " << w << " at " << x
                                                 << (avx2 ? " avx2" : " sse2");
                }
    }
}

// Stretches to exactly half the source's width take every other source column whole rows at a
// time: clipped on either side (so the first column shown is odd or even), at several widths
// around the vector sizes, both formats; mirrored halves and near-halves take the general loop.
TEST(SoftSweepWide, HalfWidthStretchMatchesReference) {
    SetTestRamp();
    for (bool avx2 : {false, true}) {
        tessra::soft::SelectVectorRows(avx2);
        std::mt19937 rng(2);
        for (int kind = 0; kind < 2; ++kind)
            for (int w : {1, 2, 3, 4, 5, 8, 9, 16, 17, 33, 70})
                for (int srcWidth : {2 * w, 2 * w + 1})
                    for (int shape = 0; shape < 4; ++shape) {
                        Image src(kind, srcWidth, 6);
                        FillNoise(src, rng);
                        Image got(kind, w + 6, 5), want(kind, w + 6, 5);
                        FillNoise(got, rng);
                        std::memcpy(want.m.pixels, got.m.pixels,
                                    size_t(got.m.pitch) * got.m.height);
                        // 0: whole; 1: the first column clipped off; 2: the last column clipped
                        // off; 3: mirrored left to right.
                        tessra::Rect r{2, 0, 2 + w, 3};
                        if (shape == 3) std::swap(r.left, r.right);
                        State st = State::Of(0, 0);
                        st.area = {shape == 1 ? 3 : 0, 0, shape == 2 ? 1 + w : w + 6, 5};
                        Apply(st);
                        tessra::MemImgStretchBlit(&got.m, &src.m, &r, 0, nullptr);
                        RefStretch(want, src, r, 0, nullptr, st);
                        ASSERT_TRUE(Same(got, want))
                            << "kind " << kind << " width " << w << " from " << srcWidth
                            << " shape " << shape << (avx2 ? " avx2" : " sse2");
                    }
    }
}

}  // namespace
