// Texture entries and graph textures: the division of a side into texture sizes, piece
// layouts, the square-only split, entries and their check numbers, derived pieces, and
// pictures copied into textures texel for texel.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/d3d/d3d_test_support.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_image.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/image_data.h"
#include "platform/testing.h"

namespace tessra {
namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class TextureTest : public D3DFixture {
protected:
    Surface3DData* Piece(const GraphRecord* g, int i) {
        return Surface3DEntries().Find(static_cast<int32_t>(g->pieces[i]), kTextureHandleKind);
    }
    ImageDataRecord* Image(const GraphRecord* g, int i) {
        return GetImageDataRecord(Piece(g, i)->image);
    }
};

struct DivisionCase {
    int32_t length, minSize, maxSize, single;
    std::vector<int32_t> sizes;
};

TEST_F(TextureTest, DivisionOfASide) {
    StartDirect3D(16);  // a 640-wide screen
    // clang-format off
    const DivisionCase cases[] = {
        {640, 1, 1024, 0, {512, 128}},
        {480, 1, 1024, 0, {512}},
        {700, 1, 1024, 0, {512, 128, 64}},
        {1000, 1, 1024, 0, {1024}},
        {10, 1, 1024, 0, {16}},
        {10, 64, 1024, 0, {64}},
        {32, 1, 1024, 0, {32}},
        {33, 1, 1024, 0, {64}},
        {640, 1, 2048, 0, {512, 128}},
        {640, 1, 256, 0, {256, 256, 128}},
        {640, 1, 2048, 1, {1024}},
        {1300, 1, 1024, 0, {1024, 256, 32}},
        {4096, 1, 256, 0, {256, 256, 256, 256, 256, 256, 256, 256,
                           256, 256, 256, 256, 256, 256, 256, 256}},
    };
    // clang-format on
    for (const DivisionCase& c : cases) {
        D3D().minTextureSize = static_cast<uint32_t>(c.minSize);
        D3D().maxTextureSize = static_cast<uint32_t>(c.maxSize);
        SingleTextureMode() = static_cast<uint32_t>(c.single);
        int32_t sizes[300] = {};
        const int n = CalcTextureDivision(c.length, sizes, 0);
        EXPECT_EQ(std::vector<int32_t>(sizes, sizes + n), c.sizes)
            << c.length << " min " << c.minSize << " max " << c.maxSize << " single " << c.single;
    }
    SingleTextureMode() = 0;
}

TEST_F(TextureTest, GraphOf640By480IsTwoPiecesWithTheirVertices) {
    StartDirect3D(16);
    GraphRecord* g = NewTextureGraph(640, 480, 16);
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(g->pieceCount, 2);
    const Surface3DData* a = Piece(g, 0);
    const Surface3DData* b = Piece(g, 1);
    EXPECT_EQ(Image(g, 0)->width, 512);
    EXPECT_EQ(Image(g, 0)->height, 512);
    EXPECT_EQ(Image(g, 1)->width, 128);
    EXPECT_EQ(Image(g, 1)->height, 512);
    EXPECT_EQ(a->graphX, 0);
    EXPECT_EQ(b->graphX, 512);
    EXPECT_EQ(b->width, 128);
    EXPECT_EQ(b->height, 480);
    EXPECT_FLOAT_EQ(b->vertex[0].x, 512.0f);
    EXPECT_FLOAT_EQ(b->vertex[3].x, 640.0f);
    EXPECT_FLOAT_EQ(b->vertex[3].y, 480.0f);
    EXPECT_EQ(b->vertex[2].v, 480.0f * (1.0f / 512.0f));
    EXPECT_EQ(b->vertex[3].u, 1.0f);
    EXPECT_EQ(b->vertex[0].diffuse, 0xFFFFFFFFu);
    // Anti-diagonal of the 640 x 480 graph: the top-left corner lies above it, the
    // bottom-right one below.
    EXPECT_EQ(a->aboveDiagonal[0], 1);
    EXPECT_EQ(b->aboveDiagonal[3], 0);
    EXPECT_EQ(b->aboveDiagonal[1], 1);  // (640, 0) lies on it
    EXPECT_EQ(Image(g, 0)->pixelFormatCode, 0);
    EXPECT_NE(Image(g, 0)->surface->Caps() & plat::DDSCAPS_TEXTURE, 0u);
}

class SquareTextureTest : public TextureTest {
protected:
    void SetUp() override {
        TextureTest::SetUp();
        plat::Direct3DProfile p = plat::DefaultDirect3DProfile();
        p.devices[0].desc.dpcTriCaps.dwTextureCaps |= plat::D3DPTEXTURECAPS_SQUAREONLY;
        plat::testing::SetDirect3DProfile(p);
        StartDirect3D(16);
    }
};

TEST_F(SquareTextureTest, TallPieceSplitsIntoSquaresAppendedAtTheEnd) {
    GraphRecord* g = NewTextureGraph(32, 128, 16);
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(g->pieceCount, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Piece(g, i)->graphX, 0);
        EXPECT_EQ(Piece(g, i)->graphY, 32 * i);
        EXPECT_EQ(Image(g, i)->width, 32);
        EXPECT_EQ(Image(g, i)->height, 32);
    }
}

TEST_F(SquareTextureTest, PieceCountIsTestedAfterTheSplit) {
    D3D().maxTextureSize = 256;
    const int images = GetImageDataTable().count;
    TakeLog();
    // 16 pieces of 256 x 32 before the split, 128 after it.
    EXPECT_EQ(NewTextureGraph(4096, 32, 16), nullptr);
    EXPECT_EQ(TakeLog(),
              std::string(SjisText("エラー：画像の分割数が最大数の 64 を超えました")) + "\n");
    EXPECT_EQ(Surface3DEntries().liveCount, 0);
    EXPECT_EQ(GetImageDataTable().count, images);
    // 65 pieces before any split.
    EXPECT_EQ(NewTextureGraph(256 * 65, 256, 16), nullptr);
    EXPECT_EQ(TakeLog(),
              std::string(SjisText("エラー：画像の分割数が最大数の 64 を超えました")) + "\n");
}

TEST_F(TextureTest, GraphThatCannotBeMadeLeavesNothingBehind) {
    StartDirect3D(16);
    const int images = GetImageDataTable().count;
    // Room for one entry only: the second piece fails.
    Surface3DEntries().liveCount = kSurface3DSlots - 1;
    GraphRecord* g = NewTextureGraph(640, 32, 16);
    Surface3DEntries().liveCount -= kSurface3DSlots - 1;
    EXPECT_EQ(g, nullptr);
    EXPECT_EQ(Surface3DEntries().liveCount, 0);
    EXPECT_EQ(Surface3DEntries().topSlot, 0);
    EXPECT_EQ(GetImageDataTable().count, images);
}

TEST_F(TextureTest, EntriesTakeCheckNumbersThatWrapAndFreeTheirSlots) {
    StartDirect3D(16);
    Surface3DEntries().checkCounter = 2047;
    const ImageDataFormat f{1, 0, 0, 0, 0, 16, 0, 0};
    const int32_t a = AddSurface3DData(32, 32, 0, 0, 32, 32, 0, 0, 1, nullptr, 0, 0, &f);
    const int32_t b = AddSurface3DData(32, 32, 0, 0, 32, 32, 0, 0, 1, nullptr, 0, 0, &f);
    const int32_t c = AddSurface3DData(32, 32, 0, 0, 32, 32, 0, 0, 1, nullptr, 0, 0, &f);
    EXPECT_EQ(a, 0x30000000 | (2047 << 16) | 0);
    EXPECT_EQ(b, 0x30000000 | (0 << 16) | 1);
    EXPECT_EQ(c, 0x30000000 | (1 << 16) | 2);
    int32_t lost = 0;
    Surface3DEntries().Find(c, kTextureHandleKind)->lostFlag = &lost;
    EXPECT_EQ(DeleteSurface3DData(b), 0);
    EXPECT_EQ(Surface3DEntries().topSlot, 3);
    EXPECT_EQ(DeleteSurface3DData(c), 0);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(Surface3DEntries().topSlot, 1);  // past the empty slot 1
    EXPECT_EQ(DeleteSurface3DData(c), -1);
    EXPECT_EQ(DeleteSurface3DData(a), 0);
    EXPECT_EQ(Surface3DEntries().topSlot, 0);
    EXPECT_EQ(Surface3DEntries().liveCount, 0);
}

TEST_F(TextureTest, DerivedPieceSharesItsParentsTexture) {
    StartDirect3D(16);
    GraphRecord* parent = NewTextureGraph(64, 64, 16);
    ASSERT_NE(parent, nullptr);
    GraphRecord* child = NewTextureGraph(0, 0, 16);  // a record to derive into
    ASSERT_NE(child, nullptr);
    DeleteGraphTextures(child);
    child->width = 16;
    child->height = 8;
    ASSERT_EQ(CreateDerivedGraphTextures(child, 8, 4, 16, 8, parent), 0);
    ASSERT_EQ(child->pieceCount, 1);
    const Surface3DData* p = Piece(parent, 0);
    const Surface3DData* d = Piece(child, 0);
    EXPECT_EQ(d->image, p->image);
    EXPECT_EQ(Image(child, 0)->refCount, 2);
    EXPECT_EQ(d->texX, 8);
    EXPECT_EQ(d->texY, 4);
    EXPECT_FLOAT_EQ(d->vertex[0].x, 0.0f);
    EXPECT_FLOAT_EQ(d->vertex[3].x, 16.0f);
    EXPECT_FLOAT_EQ(d->vertex[3].y, 8.0f);
    EXPECT_FLOAT_EQ(d->vertex[0].u, 8.0f / 64.0f);
    EXPECT_FLOAT_EQ(d->vertex[0].v, 4.0f / 64.0f);
    // Deleting the child leaves the parent's texture.
    DeleteGraphTextures(child);
    child->pieceCount = 0;
    EXPECT_EQ(Image(parent, 0)->refCount, 1);
    // Of a two-piece parent, only the overlapped piece is taken.
    GraphRecord* wide = NewTextureGraph(640, 32, 16);
    ASSERT_EQ(wide->pieceCount, 2);
    child->width = 100;
    child->height = 10;
    ASSERT_EQ(CreateDerivedGraphTextures(child, 500, 2, 100, 10, wide), 0);
    ASSERT_EQ(child->pieceCount, 2);
    EXPECT_EQ(Piece(child, 0)->width, 12);
    EXPECT_EQ(Piece(child, 1)->graphX, 12);
    EXPECT_EQ(Piece(child, 1)->texX, 0);
    EXPECT_EQ(Piece(child, 1)->width, 88);
    EXPECT_EQ(Piece(child, 0)->texX, 500);
}

// A picture whose colours survive 5-6-5 exactly, in 32-bit XRGB.
GraphImage MakePicture(int w, int h) {
    GraphImage img{};
    img.format = *GetStandardColorFormat(kColorKindXrgb, 0, 0);
    img.width = w;
    img.height = h;
    img.pitch = w * 4;
    img.pixels = new uint8_t[static_cast<size_t>(img.pitch) * h];
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t r = ((x * 37 + y * 11) & 31) << 3, g = ((x * 5 + y * 29) & 63) << 2,
                           b = ((x * 13 + y * 3) & 31) << 3;
            const uint32_t v = (r << 16) | (g << 8) | b;
            std::memcpy(img.pixels + y * img.pitch + x * 4, &v, 4);
        }
    }
    return img;
}

uint32_t Expected(const GraphImage& img, int x, int y, int bits) {
    uint32_t v;
    std::memcpy(&v, img.pixels + y * img.pitch + x * 4, 4);
    if (bits == 32) return v & 0xFFFFFF;
    return (((v >> 19) & 31) << 11) | (((v >> 10) & 63) << 5) | ((v >> 3) & 31);
}

uint32_t Texel(plat::DirectDrawSurface* s, int x, int y) {
    const uint8_t* p = s->Bits() + y * s->Pitch() + x * s->BytesPerPixel();
    uint32_t v = 0;
    std::memcpy(&v, p, static_cast<size_t>(s->BytesPerPixel()));
    return s->BytesPerPixel() == 4 ? v & 0xFFFFFF : v;
}

struct TexelCase {
    int bits;
    bool workTexture;
};

class TexelTest : public TextureTest, public ::testing::WithParamInterface<TexelCase> {};

TEST_P(TexelTest, PictureLandsTexelForTexel) {
    const TexelCase c = GetParam();
    StartDirect3D(c.bits);
    GraphRecord* g = NewTextureGraph(40, 20, c.bits);
    ASSERT_NE(g, nullptr);
    GraphImage img = MakePicture(48, 24);
    if (c.workTexture) plat::testing::FailSurfaceLocks(1);
    TakeCalls();
    EXPECT_EQ(BltImageToGraph3D(&img, nullptr, 3, 2, g), 0);
    const auto calls = TakeCalls();
    EXPECT_EQ(calls.size() == 1 && calls[0].rfind("Load(", 0) == 0, c.workTexture)
        << JoinLines(calls);
    plat::DirectDrawSurface* tex = Image(g, 0)->surface;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) {
            ASSERT_EQ(Texel(tex, x, y), Expected(img, x + 3, y + 2, c.bits)) << x << "," << y;
        }
    }
    // A rectangle of the picture to (5, 6) of the graph.
    GraphImage other = MakePicture(8, 8);
    for (int i = 0; i < 64 * 4; ++i) other.pixels[i] ^= 0xF8;
    const Rect src{1, 1, 5, 4};
    if (c.workTexture) plat::testing::FailSurfaceLocks(1);
    EXPECT_EQ(BltImageRectToGraph3D(&other, nullptr, &src, 5, 6, g), 0);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            ASSERT_EQ(Texel(tex, 5 + x, 6 + y), Expected(other, 1 + x, 1 + y, c.bits));
        }
    }
    EXPECT_EQ(Texel(tex, 4, 6), Expected(img, 7, 8, c.bits));
    delete[] img.pixels;
    delete[] other.pixels;
}

INSTANTIATE_TEST_SUITE_P(D3D, TexelTest,
                         ::testing::Values(TexelCase{16, false}, TexelCase{16, true},
                                           TexelCase{32, false}, TexelCase{32, true}),
                         [](const auto& info) {
                             return std::to_string(info.param.bits) +
                                    (info.param.workTexture ? "_work" : "_lock");
                         });

TEST_F(TextureTest, FailedWorkTextureOrLoadFailsOnlyThatTransfer) {
    StartDirect3D(16);
    GraphRecord* g = NewTextureGraph(16, 16, 16);
    GraphImage img = MakePicture(16, 16);
    TakeLog();
    plat::testing::FailSurfaceLocks(2);  // the texture and then the work texture
    EXPECT_EQ(BltImageToGraph3D(&img, nullptr, 0, 0, g), -1);
    // The refused texture lock has its own line first.
    EXPECT_TRUE(
        EndsWith(TakeLog(), SjisText("テンポラリテクスチャサーフェスの作成に失敗しました\n")));
    plat::testing::FailSurfaceLocks(1);
    plat::testing::InjectDirect3DResult("Load", 1, plat::DDERR_GENERIC);
    EXPECT_EQ(BltImageToGraph3D(&img, nullptr, 0, 0, g), -1);
    EXPECT_TRUE(EndsWith(TakeLog(), SjisText("作業用テクスチャサーフェスから描画用テクスチャサー"
                                             "フェスへの画像転送に失敗しました\n")));
    // The engine goes on: the next transfer works.
    EXPECT_EQ(BltImageToGraph3D(&img, nullptr, 0, 0, g), 0);
    EXPECT_EQ(Texel(Image(g, 0)->surface, 5, 5), Expected(img, 5, 5, 16));
    delete[] img.pixels;
}

TEST_F(TextureTest, FillRestoreAndNotReady) {
    GraphRecord none{};
    EXPECT_EQ(CreateGraphTextures(&none), -1);
    EXPECT_EQ(RestoreAllTextures(), -1);
    StartDirect3D(32);
    GraphRecord* g = NewTextureGraph(16, 16, 32);
    D3D().targetRefused = 1;  // a flag about the draw target, not this graph
    EXPECT_EQ(FillGraphTextures(g, 0x12, 0x34, 0x56, 255), 0);
    D3D().targetRefused = 0;
    EXPECT_EQ(Texel(Image(g, 0)->surface, 3, 3), 0x123456u);
    EXPECT_EQ(RestoreGraphTextures(g), 0);
    Image(g, 0)->surface->MarkLost();
    EXPECT_EQ(RestoreGraphTextures(g), -1);
    EXPECT_EQ(RestoreGraphTextures(g), 0);
    Image(g, 0)->surface->MarkLost();
    EXPECT_EQ(RestoreAllTextures(), 0);
    EXPECT_FALSE(Image(g, 0)->surface->Lost());
    g->pieces[1] = 0x30000000 | 77;
    g->pieceCount = 2;
    EXPECT_EQ(FillGraphTextures(g, 0, 0, 0, 0), -1);
    g->pieceCount = 1;
}

}  // namespace
}  // namespace tessra
