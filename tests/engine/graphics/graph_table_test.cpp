// The graph table, 2-D surfaces over image data, and graphs loaded from files in the two forms
// their pixels take: memory images (window mode) and DirectDraw plain surfaces (full screen).
#include "engine/graphics/graph_table.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/base/fatal.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/graphics/draw_front.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_image.h"
#include "engine/graphics/image_data.h"
#include "engine/graphics/image_decode.h"
#include "engine/screen/memimg.h"
#include "engine/screen/surface2d.h"
#include "image_files.h"
#include "platform/ddraw/ddraw.h"

namespace tessra {
namespace {

using namespace sjis_literals;

// The green key every picture here uses, and the picture: a 70 x 5 RGB image whose pixels are
// the key on a pattern, so that runs longer than 64 and single pixels both occur.
constexpr uint32_t kGreenKey = 0x00FF00;

uint32_t PixelOf(int x, int y) {
    if (y == 0) return x < 66 ? kGreenKey : 0xFF0000;        // a 66-pixel transparent run
    if (y == 1) return (x % 2 == 0) ? kGreenKey : 0x102030;  // alternating
    if (y == 2) return 0x0000FF;                             // 70 opaque: 64 + 6
    if (y == 3) return x == 69 ? kGreenKey : 0xFFFFFF;
    return static_cast<uint32_t>((x * 3) << 16 | (y * 40) << 8 | 0x40);
}

std::vector<uint8_t> WriteRgbPng(int w, int h) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            v->insert(v->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(static_cast<size_t>(w) * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t c = PixelOf(x, y);
            row[x * 3] = static_cast<uint8_t>(c >> 16);
            row[x * 3 + 1] = static_cast<uint8_t>(c >> 8);
            row[x * 3 + 2] = static_cast<uint8_t>(c);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

struct FatalSeen : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void ThrowingFatal(const char* text) {
    throw FatalSeen(text);
}

class GraphTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = GetImageDataContext();
        ResetDrawState();
        DrawState.transColor = kGreenKey;
        GetGraphicsCoreState().started = 1;
        GetImageDataContext().workingColorBits = 32;  // a 32-bit desktop
        dir_ = ::testing::TempDir() + "graphs_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        ReleaseAllGraphs(0);
        GetGraphicsCoreState().started = 0;
        if (dd_ != nullptr) dd_->Release();
        GetImageDataContext() = saved_;
        std::filesystem::remove_all(dir_);
    }
    // Full screen at 32 bits: graphs without alpha keep their pixels in DirectDraw surfaces.
    void UseFullScreenSurfaces() {
        ASSERT_EQ(plat::CreateDirectDraw7(&dd_), plat::DD_OK);
        ASSERT_EQ(dd_->Initialize(nullptr), plat::DD_OK);
        ImageDataContext& c = GetImageDataContext();
        c.directDraw = dd_;
        c.noDirectDraw = 0;
        c.windowMode = 0;
        c.screenColorBits = 32;
        c.screenWidth = 640;
        c.screenHeight = 480;
        c.workingColorBits = 32;
        c.screenFormat = *GetStandardColorFormat(kColorKindXrgb, 0, 0);
    }
    std::string WriteFile(const char* name, const std::vector<uint8_t>& bytes) {
        const std::string path = dir_ + "/" + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    }
    // The graph's pixel (x, y) as 0xRRGGBB, read through its image data whatever holds it.
    static uint32_t GraphPixel(int graph, int x, int y) {
        GraphRecord* g = GetGraphRecord(graph);
        Surface2DRecord* s = GetSurface2D(static_cast<int32_t>(g->pieces[0]));
        ColorFormat format{};
        int32_t pitch = 0;
        uint8_t* pixels = nullptr;
        const Rect r{s->sourceX + x, s->sourceY + y, s->sourceX + x + 1, s->sourceY + y + 1};
        if (LockImageSurface(s->imageData, &pitch, &pixels, 0, &r, &format) < 0) return 0xDEAD;
        uint32_t v = 0;
        std::memcpy(&v, pixels, format.bytesPerPixel);
        UnlockImageSurface(s->imageData, &r);
        const ImageDataRecord* data = GetImageDataRecord(s->imageData);
        if (data->usesMemImg && data->memImg.paletted) {
            // An index: its colour from the memory image's palette (XRGB entries here).
            uint32_t entry = 0;
            std::memcpy(&entry, data->memImg.palette + (v & 0xFF) * 4, 4);
            return entry & 0xFFFFFF;
        }
        const uint32_t red = ((v & format.redMask) >> format.redShift) << (8 - format.redWidth);
        const uint32_t green = ((v & format.greenMask) >> format.greenShift)
                               << (8 - format.greenWidth);
        const uint32_t blue = ((v & format.blueMask) >> format.blueShift) << (8 - format.blueWidth);
        return (red << 16) | (green << 8) | blue;
    }
    static ImageDataRecord* DataOf(int graph) {
        GraphRecord* g = GetGraphRecord(graph);
        return GetImageDataRecord(GetSurface2D(static_cast<int32_t>(g->pieces[0]))->imageData);
    }

    ImageDataContext saved_{};
    plat::DirectDraw* dd_ = nullptr;
    std::string dir_;
};

// --- Handles and the table -------------------------------------------------------------------

TEST_F(GraphTableTest, HandlesNameKindCheckAndSlotAndStaleOnesAreRefused) {
    const int a = CreateBlankGraph(4, 4, 0, 0, 0);
    const int b = CreateBlankGraph(4, 4, 0, 0, 0);
    ASSERT_GT(a, 0);
    EXPECT_EQ(a & kHandleKindMask, kGraphHandleKind);
    EXPECT_EQ(HandleSlot(a), 0);
    EXPECT_EQ(HandleSlot(b), 1);
    EXPECT_EQ(HandleCheckBits(b) >> 16, (HandleCheckBits(a) >> 16) + 1);
    const GraphRecord* rb = GetGraphRecord(b);
    const int32_t surface = static_cast<int32_t>(rb->pieces[0]);
    EXPECT_EQ(surface & kHandleKindMask, kSurface2DHandleKind);
    EXPECT_EQ(GetSurface2D(surface)->imageData & kHandleKindMask, kImageDataHandleKind);
    // Another kind's handle with the same slot and check is not a graph.
    EXPECT_EQ(GetGraphRecord((a & ~kHandleKindMask) | kSoundHandleKind), nullptr);
    EXPECT_EQ(GetGraphRecord(-1), nullptr);
    EXPECT_EQ(GetGraphRecord(a | 0x8000), nullptr);  // a slot past the table's use
    // Deleting b and making c reuses slot 1 with a new check number: b stays refused.
    ASSERT_EQ(ReleaseGraph(b, 0), 0);
    const int c = CreateBlankGraph(4, 4, 0, 0, 0);
    EXPECT_EQ(HandleSlot(c), 1);
    EXPECT_NE(c, b);
    EXPECT_EQ(GetGraphRecord(b), nullptr);
    EXPECT_EQ(ReleaseGraph(b, 0), -1);
    EXPECT_EQ(GetSurface2D(surface), nullptr);
    EXPECT_NE(GetGraphRecord(c), nullptr);
}

TEST_F(GraphTableTest, CheckNumbersWrapAfter2048) {
    GetGraphTable().checkCounter = 2047;
    const int a = CreateBlankGraph(2, 2, 0, 0, 0);
    const int b = CreateBlankGraph(2, 2, 0, 0, 0);
    EXPECT_EQ(HandleCheckBits(a) >> 16, 2047);
    EXPECT_EQ(HandleCheckBits(b) >> 16, 0);
    EXPECT_NE(GetGraphRecord(b), nullptr);
}

TEST_F(GraphTableTest, NextSlotFollowsTheHighestLiveGraph) {
    int g[10];
    for (int& h : g) h = CreateBlankGraph(2, 2, 0, 0, 0);
    EXPECT_EQ(GetGraphTable().topSlot, 10);
    ReleaseGraph(g[9], 0);
    EXPECT_EQ(GetGraphTable().topSlot, 9);
    ReleaseGraph(g[5], 0);
    EXPECT_EQ(GetGraphTable().topSlot, 9);
    ReleaseGraph(g[8], 0);
    ReleaseGraph(g[7], 0);
    ReleaseGraph(g[6], 0);
    EXPECT_EQ(GetGraphTable().topSlot, 5);  // past every empty slot below
    // With the counter at the end, a new graph takes the lowest free slot.
    GetGraphTable().topSlot = kGraphMax;
    const int h = CreateBlankGraph(2, 2, 0, 0, 0);
    EXPECT_EQ(HandleSlot(h), 5);
    GetGraphTable().topSlot = 6;
}

TEST_F(GraphTableTest, The32768thLiveGraphIsTheLastBeforeTheFatalPath) {
    SetFatalErrorHandler(ThrowingFatal);
    GetGraphicsCoreState().started = 1;
    for (int i = 0; i < kGraphMax; ++i) {
        ASSERT_GT(AddGraphRecord(1, 1, 0, nullptr, 0, 0), 0) << i;
    }
    EXPECT_EQ(GetGraphTable().liveCount, kGraphMax);
    try {
        AddGraphRecord(1, 1, 0, nullptr, 0, 0);
        ADD_FAILURE() << "no fatal error";
    } catch (const FatalSeen& e) {
        EXPECT_STREQ(e.what(), "グラフィックの数が許容量を越えました終了します"_sjis);
    }
    SetFatalErrorHandler(nullptr);
    EXPECT_EQ(ReleaseAllGraphs(0), 0);
    EXPECT_EQ(GetGraphTable().liveCount, 0);
    EXPECT_EQ(GetGraphTable().topSlot, 0);
}

TEST_F(GraphTableTest, ScreensReportTheScreenSize) {
    int w = 0, h = 0;
    EXPECT_EQ(QueryGraphExtent(kBackScreen, &w, &h), 0);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(QueryGraphExtent(kFrontScreen, nullptr, &h), 0);
    EXPECT_EQ(QueryGraphExtent(-3, &w, &h), -1);
    const int g = CreateBlankGraph(7, 3, 0, 0, 0);
    EXPECT_EQ(QueryGraphExtent(g, &w, &h), 0);
    EXPECT_EQ(w, 7);
    EXPECT_EQ(h, 3);
}

// --- Loading in the two forms ----------------------------------------------------------------

TEST_F(GraphTableTest, KeyedPngLoadsAsMemoryImageWithRunDataInWindowMode) {
    const std::string path = WriteFile("keyed.png", WriteRgbPng(70, 5));
    const int g = LoadGraphFromFileDefault(path.c_str());
    ASSERT_GT(g, 0);
    ImageDataRecord* d = DataOf(g);
    ASSERT_EQ(d->usesMemImg, 1);
    const MEMIMG& m = d->memImg;
    EXPECT_EQ(m.kind, kMemImgKindXrgb);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 70; ++x) ASSERT_EQ(GraphPixel(g, x, y), PixelOf(x, y)) << x << "," << y;
    }
    // Run data: 0x3F 0x41 (64 transparent, then 2 transparent and 4 opaque) ...
    ASSERT_EQ(m.runData, 1u);
    const std::vector<uint8_t> want = {
        0x3F, 0x01, 0x43, 0xC0,  // row 0
    };
    EXPECT_EQ(std::vector<uint8_t>(m.auxBuffer, m.auxBuffer + 4), want);
    const uint8_t* p = m.auxBuffer + 4;
    for (int i = 0; i < 70; ++i) EXPECT_EQ(p[i], (i % 2 == 0) ? 0x00 : 0x40) << i;  // row 1
    p += 70;
    EXPECT_EQ(p[0], 0xC0);
    EXPECT_EQ(p[1], 0x7F);  // row 2: 64 opaque
    EXPECT_EQ(p[2], 0x45);  // and 6
    EXPECT_EQ(p[3], 0xC0);
    EXPECT_EQ(p[4], 0x7F);  // row 3: 64 opaque, 4 opaque, 1 transparent
    EXPECT_EQ(p[5], 0x44);
    EXPECT_EQ(p[6], 0x00);
    EXPECT_EQ(p[7], 0xC0);
    // The key pixels are the memory image's transparent value.
    uint32_t v;
    std::memcpy(&v, m.pixels, 4);
    EXPECT_EQ(v, m.transColor);
    EXPECT_EQ(std::string(GetGraphRecord(g)->fileName), path.substr(0, kGraphFileNameSize - 1));
}

TEST_F(GraphTableTest, KeyedPngLoadsAsPlainSurfaceInFullScreen) {
    UseFullScreenSurfaces();
    const std::string path = WriteFile("keyed.png", WriteRgbPng(70, 5));
    const int g = LoadGraphFromFileDefault(path.c_str());
    ASSERT_GT(g, 0);
    ImageDataRecord* d = DataOf(g);
    ASSERT_EQ(d->usesMemImg, 0);
    ASSERT_NE(d->surface, nullptr);
    EXPECT_EQ(d->pixelFormatCode, kPixelFormatPlainSurface);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 70; ++x) ASSERT_EQ(GraphPixel(g, x, y), PixelOf(x, y)) << x << "," << y;
    }
    // The surface's source key is the key colour in the screen's format (unused bits set).
    plat::DDCOLORKEY key{};
    ASSERT_EQ(d->surface->GetColorKey(plat::DDCKEY_SRCBLT, &key), plat::DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue & 0xFFFFFF, kGreenKey);
    ReleaseAllGraphs(0);
}

TEST_F(GraphTableTest, EveryPictureKindLoadsToTheSamePixelsInBothForms) {
    using namespace testimg;
    struct Kind {
        const char* name;
        Bytes bytes;
    };
    Picture p;
    std::vector<Kind> kinds;
    kinds.push_back({"a.png", WritePng(9, 7, 2, 8, false, 3, &p)});
    kinds.push_back({"b.bmp", WriteBmp(9, 7, 24, false, false, false, 4, &p)});
    kinds.push_back({"c.bmp", WriteBmp(9, 7, 8, true, false, false, 5, &p)});
    kinds.push_back({"d.tga", WriteTga(9, 7, 2, 24, 0, 0, false, 6, &p)});
    kinds.push_back({"e.jpg", WriteJpeg(9, 7, false, &p)});
    kinds.push_back({"f.bgra", WriteBgra(9, 7, false, 7, &p)});
    std::vector<std::vector<uint32_t>> window;
    for (const Kind& k : kinds) {
        const int g = LoadGraphFromFileDefault(WriteFile(k.name, k.bytes).c_str());
        ASSERT_GT(g, 0) << k.name;
        std::vector<uint32_t> px;
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x) px.push_back(GraphPixel(g, x, y));
        window.push_back(px);
    }
    ReleaseAllGraphs(0);
    UseFullScreenSurfaces();
    for (size_t i = 0; i < kinds.size(); ++i) {
        const int g = LoadGraphFromFileDefault((dir_ + "/" + kinds[i].name).c_str());
        ASSERT_GT(g, 0) << kinds[i].name;
        std::vector<uint32_t> px;
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x) px.push_back(GraphPixel(g, x, y));
        EXPECT_EQ(px, window[i]) << kinds[i].name;
    }
}

// --- Derived graphs and shared image data ----------------------------------------------------

TEST_F(GraphTableTest, TenSubGraphsShareTheImageDataUntilTheLastGoes) {
    const std::string path = WriteFile("keyed.png", WriteRgbPng(70, 5));
    const int parent = LoadGraphFromFileDefault(path.c_str());
    ASSERT_GT(parent, 0);
    const int32_t data =
        GetSurface2D(static_cast<int32_t>(GetGraphRecord(parent)->pieces[0]))->imageData;
    int subs[10];
    for (int i = 0; i < 10; ++i) {
        subs[i] = DeriveGraph(i * 7, 1, 7, 4, parent);
        ASSERT_GT(subs[i], 0) << i;
        EXPECT_EQ(DataOf(subs[i]), GetImageDataRecord(data));
        EXPECT_EQ(GraphPixel(subs[i], 0, 1), PixelOf(i * 7, 2)) << i;
        EXPECT_EQ(GetGraphRecord(subs[i])->sourceX, i * 7);
    }
    EXPECT_EQ(GetImageDataRecord(data)->refCount, 11);
    // A view of a view starts inside its parent's rectangle.
    const int inner = DeriveGraph(2, 1, 3, 3, subs[3]);
    EXPECT_EQ(GraphPixel(inner, 0, 0), PixelOf(21 + 2, 1 + 1));
    ReleaseGraph(inner, 0);
    // The parent goes first; the pixels live on in the sub-graphs.
    int32_t lost = -1;
    GetImageDataRecord(data)->lostFlag = &lost;
    ASSERT_EQ(ReleaseGraph(parent, 0), 0);
    EXPECT_EQ(GetImageDataRecord(data)->refCount, 10);
    EXPECT_EQ(GraphPixel(subs[9], 6, 0), PixelOf(69, 1));
    for (int i = 0; i < 9; ++i) ReleaseGraph(subs[i], 0);
    EXPECT_EQ(GetImageDataRecord(data)->refCount, 1);
    EXPECT_EQ(lost, -1);
    ReleaseGraph(subs[9], 0);
    EXPECT_EQ(GetImageDataRecord(data), nullptr);
    EXPECT_EQ(lost, 1);
}

TEST_F(GraphTableTest, DeriveCutsToTheSourceAndRefusesRectanglesOutsideIt) {
    const int src = CreateBlankGraph(10, 8, 0, 0, 0);
    const int before = GetGraphTable().liveCount;
    struct Case {
        int x, y, w, h;
        int wantW, wantH;  // 0: refused
    } cases[] = {
        {2, 3, 4, 4, 4, 4},  {6, 5, 10, 10, 4, 3}, {10, 0, 1, 1, 0, 0}, {0, 8, 1, 1, 0, 0},
        {-1, 0, 4, 4, 0, 0}, {0, -2, 4, 4, 0, 0},  {0, 0, 0, 4, 0, 0},  {0, 0, 4, -1, 0, 0},
    };
    for (const Case& c : cases) {
        const int g = DeriveGraph(c.x, c.y, c.w, c.h, src);
        if (c.wantW == 0) {
            EXPECT_EQ(g, -1) << c.x << "," << c.y << " " << c.w << "x" << c.h;
            EXPECT_EQ(GetGraphTable().liveCount, before);
            continue;
        }
        int w = 0, h = 0;
        ASSERT_EQ(QueryGraphExtent(g, &w, &h), 0);
        EXPECT_EQ(w, c.wantW);
        EXPECT_EQ(h, c.wantH);
        ReleaseGraph(g, 0);
    }
    EXPECT_EQ(DeriveGraph(0, 0, 1, 1, src + 1), -1);
}

// --- Mended faults ---------------------------------------------------------------------------

TEST_F(GraphTableTest, FailedPieceCreationLeavesNoRecord) {
    // DirectDraw in use but its object gone: no surface can be made.
    GetImageDataContext().noDirectDraw = 0;
    GetImageDataContext().directDraw = nullptr;
    const int before = GetGraphTable().liveCount;
    EXPECT_EQ(CreateBlankGraph(8, 8, 0, 0, 0), -1);
    EXPECT_EQ(GetGraphTable().liveCount, before);
    EXPECT_EQ(GetGraphTable().topSlot, 0);
}

TEST_F(GraphTableTest, FailedDerivationLeavesNoRecord) {
    const int src = CreateBlankGraph(8, 8, 0, 0, 0);
    GetImageDataContext().noDirectDraw = 0;
    GetImageDataContext().directDraw = nullptr;
    EXPECT_EQ(DeriveGraph(0, 0, 4, 4, src), -1);
    EXPECT_EQ(GetGraphTable().liveCount, 1);
}

TEST_F(GraphTableTest, StoredFileAndDirectoryNamesAreBounded) {
    const int g = CreateBlankGraph(2, 2, 0, 0, 0);
    const std::string longName(300, 'n');
    ASSERT_EQ(SetGraphFileName(g, longName.c_str()), 0);
    const GraphRecord* r = GetGraphRecord(g);
    EXPECT_EQ(std::strlen(r->fileName), static_cast<size_t>(kGraphFileNameSize - 1));
    EXPECT_EQ(std::string(r->fileName), longName.substr(0, kGraphFileNameSize - 1));
    EXPECT_LT(std::strlen(r->directory), static_cast<size_t>(kGraphDirectorySize));
    EXPECT_EQ(r->width, 2);  // the fields behind the names are untouched
    EXPECT_EQ(r->movie, -1);
}

TEST_F(GraphTableTest, PalettedImageWithoutTheKeyInItsPaletteKeepsNoTransparentIndex) {
    for (bool keyInPalette : {false, true}) {
        GraphImage image{};
        image.width = 4;
        image.height = 1;
        image.pitch = 4;
        image.pixels = static_cast<uint8_t*>(AllocTagged(4, __FILE__, __LINE__));
        SetPaletteXrgbFormat(&image.format);
        std::memset(image.format.palette, 0, sizeof image.format.palette);
        // Entry 0 black (an outline), 1 red, 2 the key or blue.
        image.format.palette[1][2] = 0xFF;
        if (keyInPalette) {
            image.format.palette[2][1] = 0xFF;
        } else {
            image.format.palette[2][0] = 0xFF;
        }
        const uint8_t idx[4] = {0, 1, 2, 0};
        std::memcpy(image.pixels, idx, 4);
        const int g = BuildGraphFromGraphImage(&image);
        ASSERT_GT(g, 0);
        const MEMIMG& m = DataOf(g)->memImg;
        ASSERT_EQ(m.paletted, 1u);
        EXPECT_EQ(m.transColor, keyInPalette ? 2u : 0xFFFFu);
        // Run data: black pixels stay opaque.
        EXPECT_EQ(m.auxBuffer[0], keyInPalette ? 0x41 : 0x43);
        FreeGraphImage(&image);
        ReleaseGraph(g, 0);
    }
}

TEST_F(GraphTableTest, DeletingASurfaceTellsItsUser) {
    const int g = CreateBlankGraph(2, 2, 0, 0, 0);
    const int32_t surface = static_cast<int32_t>(GetGraphRecord(g)->pieces[0]);
    int32_t gone = 7;
    SetSurface2DUserPointer(surface, &gone);
    EXPECT_EQ(gone, 0);
    ReleaseGraph(g, 0);
    EXPECT_EQ(gone, 1);
}

TEST_F(GraphTableTest, GraphLostFlagAndBlendGraphSize) {
    const int big = CreateBlankGraph(8, 8, 0, 0, 0);
    const int small = CreateBlankGraph(4, 4, 0, 0, 0);
    EXPECT_EQ(CheckBlendGraphSize(GetGraphRecord(small)), -1);  // no blend graph
    ASSERT_EQ(SelectBlendGraph(big, 10, 300), 0);
    EXPECT_EQ(DrawState.blendGraphParam[1], 255);
    EXPECT_EQ(CheckBlendGraphSize(GetGraphRecord(small)), 0);
    EXPECT_NE(GetGraphMemImg(), nullptr);
    ASSERT_EQ(SelectBlendGraph(small, 0, 0), 0);
    EXPECT_EQ(CheckBlendGraphSize(GetGraphRecord(big)), -1);
    EXPECT_EQ(SelectBlendGraph(small + 0x10000, 0, 0), -1);
    int32_t lost = 5;
    ASSERT_EQ(SetGraphLostFlagPointer(big, &lost), 0);
    EXPECT_EQ(lost, 0);
    ReleaseGraph(big, 0);
    EXPECT_EQ(lost, 1);
}

TEST_F(GraphTableTest, DeletingTheDrawTargetGraphLeavesTheBackScreenSelected) {
    const int g = CreateBlankGraph(16, 8, 0, 0, 0);
    ASSERT_EQ(SetDrawTargetAndArea(g), 0);
    EXPECT_EQ(DrawState.DrawArea.right, 16);
    EXPECT_EQ(DrawState.DrawArea.bottom, 8);
    const int other = CreateBlankGraph(4, 4, 0, 0, 0);
    ReleaseGraph(other, 0);
    EXPECT_EQ(DrawState.drawTarget, g);  // another graph changes nothing
    ReleaseGraph(g, 0);
    EXPECT_EQ(DrawState.drawTarget, kBackScreen);
    EXPECT_EQ(DrawState.DrawArea.right, 640);
    EXPECT_EQ(DrawState.DrawArea.bottom, 480);
}

TEST_F(GraphTableTest, ImageDataGoesToItsPlaceInTheGraph) {
    const std::string path = WriteFile("keyed.png", WriteRgbPng(70, 5));
    GraphImage image{}, alpha{};
    ASSERT_EQ(LoadImageWithAlphaFile(path.c_str(), nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0),
              1);
    const int g = CreateBlankGraph(8, 8, 0, 0, 0);
    FillGraphWithColor(g, 0, 0, 0, 0);
    // The 3 x 2 rectangle at (20, 2) of the picture to (6, 7) of the graph: cut to the graph.
    const Rect r{20, 2, 23, 4};
    ASSERT_EQ(TransferImageDataToGraph(&image, nullptr, &r, "glyphs", 6, 7, g, 5), 0);
    EXPECT_EQ(GraphPixel(g, 6, 7), PixelOf(20, 2));
    EXPECT_EQ(GraphPixel(g, 7, 7), PixelOf(21, 2));
    EXPECT_EQ(GraphPixel(g, 5, 7), 0u);
    EXPECT_EQ(GraphPixel(g, 6, 6), 0u);
    EXPECT_STREQ(GetGraphRecord(g)->fileName, "glyphs");
    EXPECT_EQ(GetGraphRecord(g)->loadOption, 5u);
    EXPECT_EQ(TransferImageDataToGraph(&image, nullptr, &r, "", 0, 0, g + 1, 0), -1);
    FreeGraphImage(&image);
}

TEST_F(GraphTableTest, ReservedRecordsAreOnlyDeleted) {
    ReservedRecord* records = GetReservedRecords();
    records[3].check = 9;
    records[3].inUse = 1;
    records[3].ownedBlock = AllocTagged(16, __FILE__, __LINE__);
    const int handle = MakeEngineHandle(kReservedHandleKind, 9, 3);
    EXPECT_EQ(ReleaseSlot512Handle(MakeEngineHandle(kReservedHandleKind, 8, 3)), -1);
    EXPECT_EQ(ReleaseSlot512Handle(handle), 0);
    EXPECT_EQ(records[3].inUse, 0);
    EXPECT_EQ(records[3].ownedBlock, nullptr);
    EXPECT_EQ(ReleaseSlot512Handle(handle), -1);
    records[7].inUse = 1;
    records[7].ownedBlock = AllocTagged(16, __FILE__, __LINE__);
    EXPECT_EQ(ReleaseAllSlot512Handles(), 0);
    EXPECT_EQ(records[7].inUse, 0);
}

}  // namespace
}  // namespace tessra
