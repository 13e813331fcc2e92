// The packed saturating add and subtract against their channel-by-channel description: every
// pair of values of each channel, with the neighbouring channels at zero, at their maximum
// (so a carry or borrow comes in from below) and at seeded values.
#include <gtest/gtest.h>

#include <random>

#include "engine/softrender/soft_pixel.h"
#include "soft_reference.h"

namespace {

using softtest::RefPackedAdd;
using softtest::RefPackedSub;

struct Layout {
    int kind;
    int shift[3];
    uint32_t max[3];
};
const Layout kLayouts[2] = {{0, {0, 5, 11}, {31, 63, 31}}, {1, {0, 8, 16}, {255, 255, 255}}};

template <int K>
void CheckEveryChannelPair() {
    const Layout& l = kLayouts[K];
    std::mt19937 rng(1812 + K);
    const uint32_t whole = K == 0 ? 0xFFFFu : 0xFFFFFFFFu;
    for (int c = 0; c < 3; ++c) {
        // The other channels: all clear, all full, and two seeded mixes; for 32-bit pixels the
        // top bytes differ too, to show they never leak into the colour.
        uint32_t others[4] = {0, whole, uint32_t(rng()) & whole, uint32_t(rng()) & whole};
        const uint32_t field = l.max[c] << l.shift[c];
        for (uint32_t a = 0; a <= l.max[c]; ++a)
            for (uint32_t d = 0; d <= l.max[c]; ++d)
                for (uint32_t oa : others)
                    for (uint32_t od : others) {
                        // The amount has no top byte: it is built from three channels.
                        const uint32_t A = ((oa & ~field) | (a << l.shift[c])) & 0xFFFFFFu;
                        const uint32_t D = ((od & ~field) | (d << l.shift[c])) & whole;
                        ASSERT_EQ((tessra::soft::PackedAdd<K, true>(D, A)), RefPackedAdd(K, A, D))
                            << std::hex << "add: amount 0x" << A << " onto 0x" << D;
                        ASSERT_EQ(tessra::soft::PackedSub<K>(D, A), RefPackedSub(K, A, D))
                            << std::hex << "subtract: amount 0x" << A << " from 0x" << D;
                    }
    }
}

TEST(PackedMath, SixteenBitAddAndSubtractFollowTheChannelRules) {
    CheckEveryChannelPair<tessra::kMemImgKind565>();
}

TEST(PackedMath, ThirtyTwoBitAddAndSubtractFollowTheChannelRules) {
    CheckEveryChannelPair<tessra::kMemImgKindXrgb>();
}

TEST(PackedMath, GuardBitsOfTheDescribedExamples) {
    // Black minus black: red 1, green 0, blue 0.
    EXPECT_EQ(RefPackedSub(0, 0, 0), 1u << 11);
    // 16-bit blue 31 + blue 1: blue 31 and green 1.
    EXPECT_EQ(RefPackedAdd(0, 31, 1), 31u | (1u << 5));
    // 32-bit: nothing added clears the top byte; nothing subtracted sets green's and red's
    // lowest bits and clears the top byte.
    EXPECT_EQ(RefPackedAdd(1, 0, 0x8E36F2C7u), 0x0036F2C7u);
    EXPECT_EQ(RefPackedSub(1, 0, 0x8E36F2C7u), 0x0037F3C7u);
}

}  // namespace
