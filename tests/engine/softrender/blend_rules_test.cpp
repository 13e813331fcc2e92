// The blend rules' worked examples, one pixel each, on the plain blit, its run-data path and the
// stretched blit.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

#include "engine/screen/soft_tables.h"
#include "engine/softrender/soft_render.h"
#include "engine/softrender/soft_simd.h"
#include "soft_reference.h"

namespace {

using namespace softtest;

enum SrcKind { kPal, kDirect, kAlpha };
enum Route { kNormal, kFast, kStretch };

struct PixelRow {
    const char* name;
    int kind;
    SrcKind src;
    Route route;
    int transparent;
    int mode, p;
    uint8_t bright;  // the same byte for all three channels
    int mmx;
    int weight;       // blend weight, -1 for no blend image
    uint32_t source;  // the pixel (or the palette entry of index 0)
    uint32_t dest;
    uint32_t want;
};

// clang-format off
const PixelRow kRows[] = {
    {"mode1 p128 1 over 1, normal", 1, kDirect, kNormal, 0, 1, 128, 255, 1, -1, 0x010101, 0x010101, 0x000000},
    {"mode1 p128 1 over 1, run data", 1, kDirect, kFast, 1, 1, 128, 255, 1, -1, 0x010101, 0x010101, 0x010101},
    {"mode1 p128 halving clears the fourth byte", 1, kDirect, kNormal, 0, 1, 128, 255, 1, -1, 0x80FEFEFE, 0x7F020202, 0x00808080},
    {"mode1 16-bit p100 green 63 over 0, normal", 0, kDirect, kNormal, 0, 1, 100, 255, 1, -1, 0x07E0, 0x0000, 25u << 5},
    {"mode1 16-bit p100 green 63 over 0, run data", 0, kDirect, kFast, 1, 1, 100, 255, 1, -1, 0x07E0, 0x0000, 24u << 5},
    {"mode1 16-bit p100 green 63 over 0, stretched", 0, kDirect, kStretch, 0, 1, 100, 255, 1, -1, 0x07E0, 0x0000, 24u << 5},
    {"mode1 p255 is mode 0", 1, kDirect, kNormal, 0, 1, 255, 255, 1, -1, 0xAA123456, 0x55FFFFFF, 0xAA123456},
    {"mode1 p0 leaves the destination", 1, kDirect, kNormal, 0, 1, 0, 255, 1, -1, 0x123456, 0x654321, 0x654321},
    {"mode2 p255 200+100 with MMX", 1, kDirect, kNormal, 0, 2, 255, 255, 1, -1, 0x646464, 0xC8C8C8, 0xFFFFFF},
    {"mode2 p255 200+100 without MMX", 1, kDirect, kNormal, 0, 2, 255, 255, 0, -1, 0x646464, 0xC8C8C8, 0x1FFFFFF},
    {"mode2 p128 200+100", 1, kDirect, kNormal, 0, 2, 128, 255, 1, -1, 0x646464, 0xC8C8C8, 0xFAFAFA},
    {"mode2 p0 leaves the destination", 1, kDirect, kNormal, 0, 2, 0, 255, 1, -1, 0x646464, 0xC8C8C8, 0xC8C8C8},
    {"mode3 p255 50-100 with MMX", 1, kDirect, kNormal, 0, 3, 255, 255, 1, -1, 0x646464, 0x323232, 0},
    {"mode3 p255 50-100 without MMX", 1, kDirect, kNormal, 0, 3, 255, 255, 0, -1, 0x646464, 0x323232, 0},
    {"mode2 blue 255+1 without MMX sets green's low bit", 1, kDirect, kNormal, 0, 2, 255, 255, 0, -1, 0x000001, 0x0000FF, 0x0001FF},
    {"mode2 blue 255+1 with MMX", 1, kDirect, kNormal, 0, 2, 255, 255, 1, -1, 0x000001, 0x0000FF, 0x0000FF},
    {"mode3 p0 direct leaves the destination", 1, kDirect, kNormal, 0, 3, 0, 255, 1, -1, 0x123456, 0xFF204060, 0xFF204060},
    {"mode3 p0 paletted sets guard bits", 1, kPal, kNormal, 0, 3, 0, 255, 1, -1, 0x123456, 0xFF204060, 0x00214160},
    {"mode3 p0 paletted stretched", 1, kPal, kStretch, 0, 3, 0, 255, 1, -1, 0x123456, 0xFF204060, 0x00214160},
    {"mode3 p0 16-bit paletted stretched over black", 0, kPal, kStretch, 0, 3, 0, 255, 1, -1, 0x1234, 0x0000, 0x0800},
    {"mode4 white over white", 1, kDirect, kNormal, 0, 4, 0, 255, 1, -1, 0xFFFFFF, 0xFFFFFFFF, 0xFFFEFEFE},
    {"mode4 16-bit white over white", 0, kDirect, kNormal, 0, 4, 77, 255, 1, -1, 0xFFFF, 0xFFFF, 0xF7DE},
    {"alpha 255, transparent off, mode 0", 1, kAlpha, kNormal, 0, 0, 0, 255, 1, -1, 0xFFFFFFFF, 0, 0xFEFEFE},
    {"alpha 255, transparent on: exact copy", 1, kAlpha, kNormal, 1, 0, 0, 255, 1, -1, 0xFF123456, 0x654321, 0xFF123456},
    {"alpha 0, transparent off, mode 0", 1, kAlpha, kNormal, 0, 0, 0, 255, 1, -1, 0x00FFFFFF, 0x123456, 0x123456},
    {"alpha 0, transparent off, mode 1", 1, kAlpha, kNormal, 0, 1, 100, 255, 1, -1, 0x00FFFFFF, 0x123456, 0x123456},
    {"alpha 0, transparent off, mode 2", 1, kAlpha, kNormal, 0, 2, 255, 255, 1, -1, 0x00FFFFFF, 0x123456, 0x123456},
    {"alpha 0, transparent off, mode 3: guard bits only", 1, kAlpha, kNormal, 0, 3, 255, 255, 1, -1, 0x00FFFFFF, 0x123456, 0x133556},
    {"alpha 0, transparent off, mode 4: black", 1, kAlpha, kNormal, 0, 4, 255, 255, 1, -1, 0x00FFFFFF, 0x123456, 0x000000},
    {"alpha 0, transparent on, mode 4: skipped", 1, kAlpha, kNormal, 1, 4, 255, 255, 1, -1, 0x00FFFFFF, 0x123456, 0x123456},
    {"alpha 0 stretched, transparent off, mode 4", 1, kAlpha, kStretch, 0, 4, 255, 255, 1, -1, 0x00FFFFFF, 0x123456, 0x000000},
    {"16-bit alpha 255 red 31 over 0, transparent off", 0, kAlpha, kStretch, 0, 0, 0, 255, 1, -1, 0x00FFF800, 0x0000, 30u << 11},
    {"16-bit alpha 255 red 31 over 0, transparent on", 0, kAlpha, kStretch, 1, 0, 0, 255, 1, -1, 0x00FFF800, 0x0000, 31u << 11},
    {"brightness 128 turns 255 into 128", 1, kDirect, kNormal, 0, 0, 0, 128, 1, -1, 0xFFFFFF, 0x77000000, 0x77808080},
    {"weight 0, mode 0", 1, kDirect, kNormal, 0, 0, 0, 255, 1, 0, 0xFFFFFF, 0x123456, 0x123456},
    {"weight 0, mode 1", 1, kDirect, kNormal, 0, 1, 128, 255, 1, 0, 0xFFFFFF, 0x123456, 0x123456},
    {"weight 0, mode 2", 1, kDirect, kNormal, 0, 2, 255, 255, 1, 0, 0xFFFFFF, 0x123456, 0x123456},
    {"weight 0, mode 3: guard bits only", 1, kDirect, kNormal, 0, 3, 255, 255, 1, 0, 0xFFFFFF, 0x123456, 0x133556},
    {"weight 0, mode 4: black", 1, kDirect, kNormal, 0, 4, 255, 255, 1, 0, 0xFFFFFF, 0x123456, 0},
    {"16-bit subtract clears green's low bit", 0, kDirect, kNormal, 0, 3, 255, 255, 1, -1, 0x0000, 0x0020, 0x0800},
    {"32-bit stretched subtract writes byte 3 as 0", 1, kDirect, kStretch, 0, 3, 200, 255, 1, -1, 0x010101, 0xFF808080, 0x00818180},
    {"32-bit stretched subtract with MMX keeps byte 3 less the source's", 1, kDirect, kStretch, 0, 3, 255, 255, 1, -1, 0x02010101, 0xFF808080, 0xFD7F7F7F},
    {"mode 5 draws nothing", 1, kDirect, kNormal, 0, 5, 255, 255, 1, -1, 0xFFFFFF, 0x123456, 0x123456},
    {"differs from the key only in byte 3: drawn", 1, kDirect, kNormal, 1, 0, 0, 255, 1, -1, 0xFF00DEAD, 0x123456, 0xFF00DEAD},
    {"equals the key: skipped", 1, kDirect, kNormal, 1, 0, 0, 255, 1, -1, 0x0000DEAD, 0x123456, 0x123456},
    {"mode1 16-bit p100 green 63 over 0, brightness 254", 0, kDirect, kNormal, 0, 1, 100, 254, 1, -1, 0x07E0, 0x0000, 24u << 5},
    {"16-bit stretched subtract at weight 0 over black", 0, kDirect, kStretch, 0, 3, 255, 255, 1, 0, 0xFFFF, 0x0000, 0x0800},
    {"stretched alpha 0, transparent on, mode 4: skipped", 1, kAlpha, kStretch, 1, 4, 255, 255, 1, -1, 0x00FFFFFF, 0x123456, 0x123456},
    {"alpha 0, transparent on, mode 3: skipped", 1, kAlpha, kNormal, 1, 3, 255, 255, 1, -1, 0x00FFFFFF, 0x123456, 0x123456},
    // Only the general loops have the MMX forms; the run-data path adds by the packed rule.
    {"mode2 blue 255+1 on run data with MMX: packed", 1, kDirect, kFast, 1, 2, 255, 255, 1, -1, 0x000001, 0x0000FF, 0x0001FF},
    // With no factor, full strength and white, the add leaves out its guard-bit term; an alpha
    // 255 pixel under transparency has no factor, and the run-data path adds by the same rule.
    {"mode2 p255 alpha 255, transparent on: no guard-bit term", 1, kAlpha, kNormal, 1, 2, 255, 255, 0, -1, 0xFF000000, 0x000100, 0x000000},
    {"mode2 p255 run data: no guard-bit term", 1, kDirect, kFast, 1, 2, 255, 255, 1, -1, 0x000000, 0x000100, 0x000000},
    {"mode2 p255 stretched keeps the guard-bit term", 1, kDirect, kStretch, 0, 2, 255, 255, 1, -1, 0x000000, 0x000100, 0x000100},
    {"stretched mode1 p255 is mode 0", 1, kDirect, kStretch, 0, 1, 255, 255, 1, -1, 0xAA123456, 0x55FFFFFF, 0xAA123456},
    {"stretched mode1 p0 leaves the destination", 1, kDirect, kStretch, 0, 1, 0, 255, 1, -1, 0x123456, 0x654321, 0x654321},
    {"stretched mode2 p0 leaves the destination", 1, kDirect, kStretch, 0, 2, 0, 255, 1, -1, 0x646464, 0xC8C8C8, 0xC8C8C8},
    {"stretched mode3 p0 direct leaves the destination", 1, kDirect, kStretch, 0, 3, 0, 255, 1, -1, 0x123456, 0xFF204060, 0xFF204060},
    {"mode3 p0 16-bit paletted stretched clears green's low bit", 0, kPal, kStretch, 0, 3, 0, 255, 1, -1, 0x1234, 0x0020, 0x0800},
    {"stretched mode4 16-bit white over white, p 0", 0, kDirect, kStretch, 0, 4, 0, 255, 1, -1, 0xFFFF, 0xFFFF, 0xF7DE},
    {"stretched mode4 white over white, p 200", 1, kDirect, kStretch, 0, 4, 200, 255, 1, -1, 0xFFFFFF, 0xFFFFFFFF, 0xFFFEFEFE},
    {"16-bit stretched subtract clears green's low bit", 0, kDirect, kStretch, 0, 3, 255, 255, 1, -1, 0x0000, 0x0020, 0x0800},
    {"stretched weight 0, mode 0", 1, kDirect, kStretch, 0, 0, 0, 255, 1, 0, 0xFFFFFF, 0x123456, 0x123456},
    {"stretched weight 0, mode 1", 1, kDirect, kStretch, 0, 1, 128, 255, 1, 0, 0xFFFFFF, 0x123456, 0x123456},
    {"stretched weight 0, mode 2", 1, kDirect, kStretch, 0, 2, 255, 255, 1, 0, 0xFFFFFF, 0x123456, 0x123456},
    {"stretched weight 0, mode 4: black", 1, kDirect, kStretch, 0, 4, 255, 255, 1, 0, 0xFFFFFF, 0x123456, 0},
    {"stretched mode 5 draws nothing", 1, kDirect, kStretch, 0, 5, 255, 255, 1, -1, 0xFFFFFF, 0x123456, 0x123456},
};
// clang-format on

class BlendRules : public ::testing::TestWithParam<PixelRow> {
protected:
    void SetUp() override {
        tessra::BuildSoftBlendTables();
        SetTestRamp();
    }
};

TEST_P(BlendRules, GivesTheWorkedResult) {
    const PixelRow& r = GetParam();
    // A stretched draw of a 1x1 source into two pixels runs the stretched loops; pixel 0 is read.
    Image src(r.kind, 1, 1, r.src == kPal, r.src == kAlpha, 1, 0xDEAD);
    if (r.src == kPal) {
        src.m.paletteCount = 1;
        std::memcpy(src.m.palette, &r.source, r.kind == 0 ? 2 : 4);
        src.m.transColor = 9;
        src.Set(0, 0, 0);
    } else {
        src.Set(0, 0, r.source);
    }
    if (r.route == kFast) WriteRunData(src);
    Image blend(2, 1, 1);
    blend.m.pixels[0] = 200;
    if (r.weight >= 0) tessra::BlendGraphRamp[200] = uint8_t(r.weight);
    // Both vector forms of the rows: the baseline one and, where the processor has it, AVX2.
    for (bool avx2 : {false, true}) {
        tessra::soft::SelectVectorRows(avx2);
        Image dest(r.kind, 2, 1);
        dest.Set(0, 0, r.dest);
        Apply(State::Of(r.mode, r.p, r.bright, r.mmx));
        const tessra::MEMIMG* b = r.weight >= 0 ? &blend.m : nullptr;
        if (r.route == kStretch) {
            tessra::Rect rect{0, 0, 2, 1};
            tessra::MemImgStretchBlit(&dest.m, &src.m, &rect, r.transparent, b);
        } else {
            tessra::MemImgBlit(&dest.m, &src.m, 0, 0, r.transparent, b);
        }
        EXPECT_EQ(dest.Get(0, 0), r.want)
            << std::hex << "got 0x" << dest.Get(0, 0) << (avx2 ? " avx2" : " sse2");
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, BlendRules, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<PixelRow>& info) {
                             return CaseName(info.param.name);
                         });

TEST(BlendRulesKinds, SingleChannelImagesAreNotDrawn) {
    Image grey(2, 4, 4), depth(3, 4, 4);
    std::memset(grey.m.pixels, 0x55, size_t(grey.m.pitch) * 4);
    std::memset(depth.m.pixels, 0x55, size_t(depth.m.pitch) * 4);
    const tessra::Rect r{0, 0, 8, 8};
    Apply(State{});
    for (Image* src : {&grey, &depth}) {
        Image dest(int(src->m.kind), 4, 4);
        std::memset(dest.m.pixels, 0, size_t(dest.m.pitch) * 4);
        tessra::MemImgBlit(&dest.m, &src->m, 0, 0, 0, nullptr);
        tessra::MemImgStretchBlit(&dest.m, &src->m, &r, 0, nullptr);
        tessra::MemImgFillRect(&dest.m, nullptr, 0xFF);
        tessra::MemImgDrawLine(&dest.m, 0, 0, 3, 3, 0xFF);
        EXPECT_EQ(dest.m.pixels[0], 0) << "kind " << src->m.kind;
    }
}

}  // namespace
