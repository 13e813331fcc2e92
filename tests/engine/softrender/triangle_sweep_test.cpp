// Seeded differential sweep of the textured triangles and quads: every span loop (format, source
// kind, mode, blend image, brightness, per-pixel alpha, transparency) against the reference
// walker and texel rules, on random triangles with clipped and off-image vertices, byte for
// byte over the whole buffer. TESSRA_LONG_SWEEP=n draws n times as many triangles per case.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "engine/screen/soft_tables.h"
#include "engine/softrender/soft_render.h"
#include "soft_reference.h"

namespace {

using namespace softtest;

const int kTriangleParams[] = {0, 1, 127, 128, 254, 255};
// Brightness: white, grey, and a different byte per channel (blue, green, red).
const uint8_t kBright[3][3] = {{255, 255, 255}, {128, 128, 128}, {200, 255, 64}};

int Repeat() {
    const char* v = std::getenv("TESSRA_LONG_SWEEP");
    const int n = v ? std::atoi(v) : 1;
    return n > 1 ? n : 1;
}

std::string Describe(int kind, int srcKind, int mode, int p, int bright, int blend, int tr) {
    std::ostringstream o;
    o << "kind " << kind << " source "
      << (srcKind == 0   ? "paletted"
          : srcKind == 1 ? "direct"
                         : "alpha")
      << " mode " << mode << " p " << p << " brightness " << bright << (blend ? " blend-image" : "")
      << " transparent " << tr;
    return o.str();
}

// The whole buffers, bytes past the row ends included.
::testing::AssertionResult SameBuffer(const Image& got, const Image& want) {
    const size_t n = size_t(got.m.pitch) * got.m.height;
    if (std::memcmp(got.m.pixels, want.m.pixels, n) == 0) return ::testing::AssertionSuccess();
    const std::string diff = FirstDifference(got, want);
    return ::testing::AssertionFailure()
           << (diff.empty() ? "bytes past the row ends differ" : diff);
}

// Every changed pixel lies inside the rectangle.
::testing::AssertionResult ChangedOnlyInside(const Image& after, const Image& before,
                                             const tessra::Rect& r) {
    for (int y = 0; y < after.m.height; ++y)
        for (int x = 0; x < after.m.width; ++x)
            if (after.Get(x, y) != before.Get(x, y) &&
                (x < r.left || x >= r.right || y < r.top || y >= r.bottom))
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") outside the write rectangle";
    return ::testing::AssertionSuccess();
}

TEST(TriangleSweep, EveryLoopMatchesTheReference) {
    tessra::BuildSoftBlendTables();
    SetTestRamp();
    std::mt19937 rng(20261210);
    const int repeat = Repeat();
    auto coord = [&](int lo, int hi) { return int(rng() % uint32_t(hi - lo + 1)) + lo; };
    for (int kind = 0; kind < 2; ++kind)
        for (int srcKind = 0; srcKind < 3; ++srcKind)
            for (int mode = 0; mode < 5; ++mode)
                for (int p : kTriangleParams)
                    for (int bright = 0; bright < 3; ++bright)
                        for (int blend = 0; blend < 2; ++blend)
                            for (int tr = 0; tr < 2; ++tr) {
                                const std::string what =
                                    Describe(kind, srcKind, mode, p, bright, blend, tr);
                                Image src(kind, 11, 8, srcKind == 0, srcKind == 2, 0,
                                          0x5A5A5A5A & (kind ? ~0u : 0xFFFF));
                                if (srcKind == 0) src.m.transColor = 7;
                                FillNoise(src, rng);
                                Image blendImg(2, 11, 8);
                                FillBytes(blendImg, rng);
                                State st = State::Of(mode, p);
                                std::copy(kBright[bright], kBright[bright] + 3, st.bright);
                                st.area = {1, 0, 21, 17};
                                Apply(st);
                                const Image* bl = blend ? &blendImg : nullptr;
                                for (int k = 0; k < 4 * repeat; ++k) {
                                    Image got(kind, 24, 18), want(kind, 24, 18),
                                        before(kind, 24, 18);
                                    FillNoise(got, rng);
                                    const size_t n = size_t(got.m.pitch) * got.m.height;
                                    std::memcpy(want.m.pixels, got.m.pixels, n);
                                    std::memcpy(before.m.pixels, got.m.pixels, n);
                                    if (k % 4 == 3) {
                                        // A quad, corners possibly crossed, off the image.
                                        int c[8];
                                        for (int i = 0; i < 4; ++i) {
                                            c[2 * i] = coord(-8, 30);
                                            c[2 * i + 1] = coord(-8, 24);
                                        }
                                        tessra::MemImgDrawQuad(&got.m, &src.m, c, tr,
                                                               bl ? &bl->m : nullptr);
                                        RefQuad(want, src, c, tr, bl, st);
                                    } else {
                                        int v[12];
                                        for (int i = 0; i < 3; ++i) {
                                            v[4 * i] = coord(-8, 30);
                                            v[4 * i + 1] = coord(-8, 24);
                                            v[4 * i + 2] = coord(-3, 14);
                                            v[4 * i + 3] = coord(-3, 11);
                                        }
                                        tessra::MemImgDrawTriangle(&got.m, &src.m, v, tr,
                                                                   bl ? &bl->m : nullptr, 0);
                                        RefTriangle(want, src, v, tr, bl, st);
                                        tessra::Rect box;
                                        tessra::TriangleWriteRect(v, &box);
                                        ASSERT_TRUE(ChangedOnlyInside(got, before, box)) << what;
                                    }
                                    ASSERT_TRUE(SameBuffer(got, want)) << what << " draw " << k;
                                }
                            }
}

}  // namespace
