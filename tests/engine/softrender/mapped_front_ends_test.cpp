// The front ends of the rotated blit, the triangles and quads, and the ellipses: which image
// they draw into, and that the locked path, whose prepared buffer holds only the rectangle the
// front end asked for, gives the same pixels as the memory-image path and writes nothing
// outside that rectangle.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "engine/screen/soft_tables.h"
#include "engine/softrender/soft_render.h"
#include "soft_reference.h"

namespace {

using namespace softtest;

constexpr int kW = 48, kH = 40;
constexpr uint8_t kMark = 0xAB;

// A stand-in screens layer. The locked path's buffer holds only the prepared rectangle (cut to
// the target and the draw area), at the target's pitch, the view's pixel pointer set so that
// the view addresses the target in the target's coordinates; a write above, below or beside
// the rectangle lands outside the buffer (the sanitizer build sees it) or on a marked byte
// between its rows (the finish counts it). At the finish the rectangle is copied into
// `locked`.
struct LockedScreens {
    bool memImgScreens = true;
    Image screen{1, kW, kH};
    Image mask{1, kW, kH};
    Image locked{1, kW, kH};
    Image graph{1, 9, 7};
    tessra::Rect prepared{};
    std::vector<tessra::Rect> preparedAll;  // every rectangle prepared since it was cleared
    std::vector<uint8_t> buffer;
    tessra::MEMIMG view{};
    int prepares = 0, finishes = 0, strayWrites = 0;
};
LockedScreens* gL = nullptr;

void InstallLocked(LockedScreens& s, uint32_t back) {
    gL = &s;
    for (Image* img : {&s.screen, &s.mask, &s.locked})
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) img->Set(x, y, back);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) s.graph.Set(x, y, 0x00100000u * (x + 1) + 0x1000u * y + 0x33);
    tessra::SoftScreen = {};
    tessra::SoftScreen.GraphicsStarted = [] { return 1; };
    tessra::SoftScreen.MemImgScreens = [] { return gL->memImgScreens ? 1 : 0; };
    tessra::SoftScreen.DrawTargetMemImg = [] { return &gL->screen.m; };
    tessra::SoftScreen.GetMaskMemImg = [] { return &gL->mask.m; };
    tessra::SoftScreen.EndPending3D = [] {};
    tessra::SoftScreen.PrepareBlit2D = [](const void*, const tessra::Rect*, const tessra::Rect* d,
                                          int, uint32_t*, tessra::MEMIMG** dest,
                                          tessra::MEMIMG** src) {
        LockedScreens& l = *gL;
        const tessra::Rect& a = tessra::DrawState.DrawArea;
        tessra::Rect r{std::max({d->left, a.left, 0}), std::max({d->top, a.top, 0}),
                       std::min({d->right, a.right, kW}), std::min({d->bottom, a.bottom, kH})};
        if (r.right <= r.left || r.bottom <= r.top) return -1;
        ++l.prepares;  // counts the preparations that opened something
        l.prepared = r;
        l.preparedAll.push_back(r);
        // From the prepared rectangle's first pixel to its last at the target's pitch; the
        // bytes between its rows belong to no one and keep a mark that the finish checks.
        const int w = r.right - r.left, h = r.bottom - r.top;
        const ptrdiff_t pitch = l.locked.m.pitch;
        l.buffer.assign(size_t((h - 1) * pitch + w * 4), kMark);
        for (int y = 0; y < h; ++y)
            std::memcpy(&l.buffer[size_t(y * pitch)],
                        l.locked.m.pixels + (r.top + y) * pitch + r.left * 4, size_t(w) * 4);
        l.view = l.locked.m;
        l.view.pixels = l.buffer.data() - (r.top * pitch + r.left * 4);
        l.view.pixelsNotOwned = 1;
        *dest = &l.view;
        *src = &l.graph.m;
        return 0;
    };
    tessra::SoftScreen.FinishBlit2D = [] {
        LockedScreens& l = *gL;
        ++l.finishes;
        const tessra::Rect& r = l.prepared;
        const int w = r.right - r.left;
        const ptrdiff_t pitch = l.locked.m.pitch;
        for (int y = r.top; y < r.bottom; ++y) {
            const uint8_t* row = &l.buffer[size_t((y - r.top) * pitch)];
            std::memcpy(l.locked.m.pixels + y * pitch + r.left * 4, row, size_t(w) * 4);
            if (y + 1 < r.bottom)
                for (ptrdiff_t i = w * 4; i < pitch; ++i) l.strayWrites += row[i] != kMark;
        }
    };
    tessra::SoftScreen.GetStretchSource = [](const tessra::GraphRecord*, int32_t,
                                             tessra::SoftSurfaceSource* out) {
        *out = {&gL->graph, 5, &gL->graph.m, 0, 0, 9, 7};
        return 0;
    };
    tessra::SoftScreen.GetGraphMemImg = []() -> const tessra::MEMIMG* { return nullptr; };
    tessra::SoftScreen.GetGraphSize = [](const tessra::GraphRecord*, int32_t* w, int32_t* h) {
        *w = 9;
        *h = 7;
        return 0;
    };
}

const tessra::GraphRecord* Graph() {
    static int token;
    return reinterpret_cast<const tessra::GraphRecord*>(&token);
}

class MappedFrontEnds : public ::testing::Test {
protected:
    LockedScreens s;
    int drawn = 0;  // pixels the locked draws changed
    void SetUp() override {
        tessra::BuildSoftBlendTables();
        InstallLocked(s, 0x00070707);
        State st = State::Of(1, 160);
        st.area = {2, 3, 45, 37};
        Apply(st);
    }
    void TearDown() override { tessra::SoftScreen = {}; }

    // Draws once on the memory-image path and once locked; the two pictures must agree and
    // the locked one must be changed only inside what was prepared.
    void SamePicture(const char* what, const std::function<int()>& draw) {
        SCOPED_TRACE(what);
        s.memImgScreens = true;
        ASSERT_EQ(draw(), 0);
        s.memImgScreens = false;
        s.preparedAll.clear();
        Image untouched(1, kW, kH);
        std::memcpy(untouched.m.pixels, s.locked.m.pixels, size_t(s.locked.m.pitch) * kH);
        draw();
        EXPECT_EQ(FirstDifference(s.locked, s.screen), "");
        EXPECT_EQ(s.finishes, s.prepares);
        EXPECT_EQ(s.strayWrites, 0);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                bool prepared = false;
                for (const tessra::Rect& r : s.preparedAll)
                    prepared |= x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                if (!prepared) {
                    ASSERT_EQ(s.locked.Get(x, y), untouched.Get(x, y)) << x << ", " << y;
                }
                drawn += s.locked.Get(x, y) != untouched.Get(x, y);
            }
    }
};

TEST_F(MappedFrontEnds, RotationsAtManyAnglesMatchOnBothPaths) {
    for (int i = 0; i < 48; ++i) {
        const float angle = -3.3f + 0.29f * float(i);
        const double scale = (i % 5 == 0) ? -1.3 : 0.6 + 0.07 * i;
        const float x = 4.7f + float(i % 9) * 4.5f, y = 1.2f + float(i % 7) * 5.5f;
        const int mirror = i % 3 == 0;
        SamePicture("rotation", [&] {
            return tessra::DrawImageRotatedSoft(x, y, scale, angle, Graph(), i % 2, mirror);
        });
    }
    EXPECT_GT(drawn, 1000);
}

TEST_F(MappedFrontEnds, TrianglesAndQuadsMatchOnBothPaths) {
    std::mt19937 rng(9);
    for (int i = 0; i < 40; ++i) {
        int v[12];
        for (int k = 0; k < 3; ++k) {
            v[4 * k] = int(rng() % 60) - 6;
            v[4 * k + 1] = int(rng() % 52) - 6;
            v[4 * k + 2] = int(rng() % 12) - 1;
            v[4 * k + 3] = int(rng() % 10) - 1;
        }
        SamePicture("triangle", [&] { return tessra::DrawTexturedTriangleSoft(v, Graph(), 0, 0); });
        const float c[8] = {float(v[0]) + 0.7f, float(v[1]), float(v[4]),       float(v[5]) + 0.2f,
                            float(v[8]),        float(v[9]), float(rng() % 50), float(rng() % 40)};
        SamePicture("quad", [&] {
            return tessra::DrawImageQuadSoftF(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7],
                                              Graph(), 1);
        });
    }
    EXPECT_GT(drawn, 1000);
}

TEST_F(MappedFrontEnds, EllipsesMatchOnBothPaths) {
    for (auto [rx, ry] : {std::pair{6, 4}, {3, 17}, {20, 2}, {1, 8}, {-5, 9}, {25, 25}})
        for (int fill = 0; fill < 2; ++fill)
            for (auto [cx, cy] : {std::pair{20, 18}, {1, 2}, {46, 39}}) {
                // Copies of the bindings: clang 14 captures no structured binding.
                SamePicture("ellipse", [cx = cx, cy = cy, rx = rx, ry = ry, fill] {
                    return tessra::DrawCircleSoft(cx, cy, rx, ry, 0x00C08040, fill);
                });
            }
    EXPECT_GT(drawn, 1000);
}

TEST_F(MappedFrontEnds, MaskDrawingGoesToTheMask) {
    tessra::DrawState.maskActive = 1;
    const auto screenBefore = s.screen.Bytes(), maskBefore = s.mask.Bytes();
    const int v[12] = {5, 5, 0, 0, 30, 6, 9, 0, 8, 30, 0, 7};
    EXPECT_EQ(tessra::DrawImageRotatedSoft(20.0f, 20.0f, 1.0, 0.4, Graph(), 0, 0), 0);
    EXPECT_EQ(tessra::DrawTexturedTriangleSoft(v, Graph(), 0, 0), 0);
    EXPECT_EQ(tessra::DrawImageQuadSoft(1, 1, 20, 1, 1, 20, 20, 20, Graph(), 0), 0);
    EXPECT_EQ(tessra::DrawCircleSoft(24, 20, 9, 5, 0xFFFFFF, 1), 0);
    EXPECT_EQ(s.screen.Bytes(), screenBefore);
    EXPECT_NE(s.mask.Bytes(), maskBefore);
}

TEST_F(MappedFrontEnds, Answers) {
    const int v[12] = {5, 5, 0, 0, 30, 6, 9, 0, 8, 30, 0, 7};
    // A null graph answers -1 (the quads always 0).
    EXPECT_EQ(tessra::DrawImageRotatedSoft(20.0f, 20.0f, 1.0, 0.4, nullptr, 0, 0), -1);
    EXPECT_EQ(tessra::DrawTexturedTriangleSoft(v, nullptr, 0, 0), -1);
    EXPECT_EQ(tessra::DrawImageQuadSoft(1, 1, 20, 1, 1, 20, 20, 20, nullptr, 0), 0);
    // On the locked path a figure that misses the draw area fails its preparation: -1, and
    // nothing is left open; a zero radius or a zero scale draws nothing and answers 0.
    s.memImgScreens = false;
    EXPECT_EQ(tessra::DrawCircleSoft(-50, 20, 5, 5, 0xFFFFFF, 1), -1);
    EXPECT_EQ(tessra::DrawCircleSoft(20, 20, 0, 5, 0xFFFFFF, 1), 0);
    EXPECT_EQ(tessra::DrawImageRotatedSoft(-200.0f, 20.0f, 1.0, 0.4, Graph(), 0, 0), -1);
    EXPECT_EQ(tessra::DrawImageRotatedSoft(20.0f, 20.0f, 0.0, 0.4, Graph(), 0, 0), 0);
    EXPECT_EQ(s.finishes, s.prepares);
    // Graphics not started: -1 before anything else.
    tessra::SoftScreen.GraphicsStarted = [] { return 0; };
    EXPECT_EQ(tessra::DrawCircleSoft(20, 20, 5, 5, 0xFFFFFF, 1), -1);
    EXPECT_EQ(tessra::DrawImageRotatedSoft(20.0f, 20.0f, 1.0, 0.4, Graph(), 0, 0), -1);
    EXPECT_EQ(tessra::DrawTexturedTriangleSoft(v, Graph(), 0, 0), -1);
}

}  // namespace
