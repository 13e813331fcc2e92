#include "engine/graphics/image_decode.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "engine/base/memory.h"
#include "image_files.h"

namespace tessra {
namespace {

using testimg::Bytes;
using testimg::Picture;

// Decodes a memory block through the whole chain.
int Decode(const Bytes& file, GraphImage* image) {
    return LoadImageToGraphImage(nullptr, file.data(), static_cast<uint32_t>(file.size()), 1, 0, 0,
                                 image, nullptr, nullptr);
}

int DecodeWith(ImageLoaderFunc loader, const Bytes& file, GraphImage* image) {
    const StreamHandle h = OpenMemStream(file.data(), static_cast<uint32_t>(file.size()));
    StreamIo io = MakeStreamIo(GetMemStreamFuncs(), h);
    const int r = loader(&io, image);
    io.Close(io.handle);
    return r;
}

void ExpectPixels(const GraphImage& image, const Picture& want, int tolerance = 0) {
    ASSERT_EQ(image.width, want.width);
    ASSERT_EQ(image.height, want.height);
    for (int y = 0; y < want.height; ++y) {
        for (int x = 0; x < want.width; ++x) {
            const uint32_t got = testimg::DecodedArgb(image, x, y);
            const uint32_t exp = want.At(x, y);
            if (tolerance == 0) {
                ASSERT_EQ(got, exp) << "pixel " << x << "," << y;
            } else {
                for (int s = 0; s < 32; s += 8) {
                    const int d =
                        static_cast<int>((got >> s) & 0xFF) - static_cast<int>((exp >> s) & 0xFF);
                    ASSERT_LE(std::abs(d), tolerance)
                        << "pixel " << x << "," << y << " shift " << s;
                }
            }
        }
    }
}

class Decoding : public ::testing::Test {
protected:
    void SetUp() override { blocks_ = GetAllocStats().count; }
    void TearDown() override {
        FreeGraphImage(&image_);
        EXPECT_EQ(GetAllocStats().count, blocks_) << "blocks left allocated";
    }
    GraphImage image_{};
    int32_t blocks_ = 0;
};

TEST_F(Decoding, PngEveryColorTypeAndDepth) {
    struct Case {
        int type, depth;
        bool trns;
        int wantBits;
    };
    const Case cases[] = {
        {0, 1, false, 8},   {0, 2, false, 8},   {0, 4, false, 8},  {0, 8, false, 8},
        {0, 16, false, 8},  {0, 8, true, 32},   {0, 16, true, 32}, {2, 8, false, 24},
        {2, 16, false, 24}, {2, 8, true, 32},   {3, 1, false, 8},  {3, 2, false, 8},
        {3, 4, false, 8},   {3, 8, false, 8},   {3, 4, true, 32},  {3, 8, true, 32},
        {4, 8, false, 32},  {4, 16, false, 32}, {6, 8, false, 32}, {6, 16, false, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "type " << c.type << " depth " << c.depth << " trns " << c.trns);
        Picture want;
        const Bytes file = testimg::WritePng(13, 7, c.type, c.depth, c.trns, 99u + c.depth, &want);
        ASSERT_EQ(Decode(file, &image_), 0);
        EXPECT_EQ(image_.format.bitDepth, c.wantBits);
        ExpectPixels(image_, want);
        if (c.wantBits == 32) {
            EXPECT_EQ(image_.format.alphaMask, 0xFF000000u);
        }
        FreeGraphImage(&image_);
    }
}

TEST_F(Decoding, PngInterlaced) {
    for (int type : {0, 3, 6}) {
        Picture want;
        const Bytes file = testimg::WritePng(11, 9, type, 8, false, 40u + type, &want, true);
        ASSERT_EQ(Decode(file, &image_), 0) << type;
        ExpectPixels(image_, want);
        FreeGraphImage(&image_);
    }
}

// A field of /proc/self/status in kB ("VmRSS:", "VmHWM:"), or -1.
int64_t StatusKb(const std::string& field) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, field.size(), field) == 0) return std::stoll(line.substr(field.size()));
    }
    return -1;
}

// Whether the resident memory is the program's own: the sanitizers add shadow memory for what it
// writes and keep freed blocks back, so the figure says nothing under them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kResidentMemoryIsTheProgramsOwn = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kResidentMemoryIsTheProgramsOwn = false;
#else
constexpr bool kResidentMemoryIsTheProgramsOwn = true;
#endif
#else
constexpr bool kResidentMemoryIsTheProgramsOwn = true;
#endif

// A large picture is decoded straight into the image's own block: the decode's peak memory is
// about the picture once, not twice (a block to decode into and a copy of it). The peak is the
// process's resident high-water mark, set back to the current size just before the decode; the
// picture is large enough (48 MB) that its block is mapped fresh and counted in full. Under the
// sanitizers only the pixels are checked.
TEST_F(Decoding, PngLargePicturePeaksAtAboutItsOwnSize) {
    constexpr int kWidth = 4096, kHeight = 3072;
    constexpr int64_t kPictureKb = int64_t{kWidth} * kHeight * 4 / 1024;
    for (bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced ? "interlaced" : "not interlaced");
        const Bytes file = testimg::WritePatternPng(kWidth, kHeight, interlaced);
        const int64_t before = StatusKb("VmRSS:");
        {
            std::ofstream reset("/proc/self/clear_refs");
            reset << "5";
            ASSERT_TRUE(reset.flush()) << "the resident peak cannot be set back here";
        }
        ASSERT_EQ(DecodeWith(DecodePngImage, file, &image_), 0);
        const int64_t peakKb = StatusKb("VmHWM:") - before;
        if (kResidentMemoryIsTheProgramsOwn) {
            // At least the picture: the measure itself works.
            EXPECT_GE(peakKb, kPictureKb * 9 / 10);
            EXPECT_LE(peakKb, kPictureKb * 5 / 4)
                << "peak " << peakKb << " kB for a picture of " << kPictureKb << " kB";
        }
        ASSERT_EQ(image_.format.bitDepth, 32);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                ASSERT_EQ(testimg::DecodedArgb(image_, x, y), testimg::PatternArgb(x, y))
                    << "pixel " << x << "," << y;
            }
        }
        FreeGraphImage(&image_);
    }
}

TEST_F(Decoding, JpegGreyAndColor) {
    for (bool grey : {true, false}) {
        SCOPED_TRACE(grey ? "grey" : "colour");
        Picture want;
        const Bytes file = testimg::WriteJpeg(21, 10, grey, &want);  // width not a multiple of 4
        ASSERT_EQ(Decode(file, &image_), 0);
        EXPECT_EQ(image_.format.bitDepth, grey ? 8 : 24);
        EXPECT_EQ(image_.pitch, grey ? 21 : 63);
        ExpectPixels(image_, want, 6);
        FreeGraphImage(&image_);
    }
}

TEST_F(Decoding, BmpEveryDepthWithAndWithoutRle) {
    struct Case {
        int bits;
        bool rle, topDown, bitfields;
        int wantBits;
    };
    const Case cases[] = {
        {1, false, false, false, 24},  {4, false, false, false, 8},   {4, false, true, false, 8},
        {4, true, false, false, 8},    {8, false, false, false, 8},   {8, false, true, false, 8},
        {8, true, false, false, 8},    {16, false, false, false, 24}, {16, false, true, true, 24},
        {24, false, false, false, 24}, {24, false, true, false, 24},  {32, false, false, false, 24},
        {32, false, true, true, 24},
    };
    for (const Case& c : cases) {
        for (int width : {3, 8, 17}) {
            SCOPED_TRACE(testing::Message()
                         << c.bits << " bits rle " << c.rle << " top-down " << c.topDown
                         << " fields " << c.bitfields << " width " << width);
            Picture want;
            const Bytes file = testimg::WriteBmp(width, 5, c.bits, c.rle, c.topDown, c.bitfields,
                                                 static_cast<uint32_t>(width * 31 + c.bits), &want);
            ASSERT_EQ(Decode(file, &image_), 0);
            EXPECT_EQ(image_.format.bitDepth, c.wantBits);
            ExpectPixels(image_, want);
            FreeGraphImage(&image_);
        }
    }
}

TEST_F(Decoding, BmpBottomUp24BitKeepsStride) {
    Picture want;
    const Bytes file = testimg::WriteBmp(3, 2, 24, false, false, false, 5, &want);
    ASSERT_EQ(Decode(file, &image_), 0);
    EXPECT_EQ(image_.pitch, 12);
    ExpectPixels(image_, want);
}

TEST_F(Decoding, BmpLongerHeadersKeepTheirTables) {
    // Newer information headers (108 and 124 bytes) keep the bit-field masks at the same place
    // inside the header, but the palette starts after the whole header.
    auto set32 = [](Bytes& f, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    auto get32 = [](const Bytes& f, size_t at) {
        return static_cast<uint32_t>(f[at] | f[at + 1] << 8 | f[at + 2] << 16 | f[at + 3] << 24);
    };
    for (uint32_t headerSize : {108u, 124u}) {
        for (int bits : {4, 8, 16}) {
            SCOPED_TRACE(testing::Message() << headerSize << "-byte header, " << bits << " bits");
            Picture want;
            Bytes file = testimg::WriteBmp(5, 3, bits, false, false, bits == 16, 40 + bits, &want);
            // The bytes the longer header adds go after the 40 bytes (and the masks inside it).
            const size_t at = 14 + (bits == 16 ? 52 : 40);
            const size_t added = headerSize - (bits == 16 ? 52 : 40);
            file.insert(file.begin() + static_cast<std::ptrdiff_t>(at), added, 0);
            set32(file, 2, static_cast<uint32_t>(file.size()));
            set32(file, 10, get32(file, 10) + static_cast<uint32_t>(added));
            set32(file, 14, headerSize);
            ASSERT_EQ(Decode(file, &image_), 0);
            ExpectPixels(image_, want);
            FreeGraphImage(&image_);
        }
    }
}

TEST_F(Decoding, TgaTypesDepthsAndOrientations) {
    struct Case {
        int type, depth, orient, idLength;
        bool footer;
    };
    const Case cases[] = {
        {2, 24, 0x20, 0, false},  {2, 24, 0x00, 10, true}, {2, 32, 0x30, 0, false},
        {2, 16, 0x10, 3, false},  {10, 24, 0x00, 0, true}, {10, 32, 0x20, 0, false},
        {10, 16, 0x00, 0, false}, {1, 24, 0x20, 0, false}, {1, 32, 0x00, 2, true},
        {9, 24, 0x00, 0, false},  {9, 16, 0x20, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "type " << c.type << " depth " << c.depth << " orient " << c.orient);
        Picture want;
        const Bytes file = testimg::WriteTga(11, 6, c.type, c.depth, c.orient, c.idLength, c.footer,
                                             static_cast<uint32_t>(c.type * 7 + c.depth), &want);
        ASSERT_EQ(DecodeWith(DecodeTgaImage, file, &image_), 0);
        EXPECT_EQ(image_.format.bitDepth, c.depth);
        EXPECT_EQ(image_.pitch, 11 * c.depth / 8);
        ExpectPixels(image_, want);
        FreeGraphImage(&image_);
    }
}

TEST_F(Decoding, TgaIdFieldChangesNothing) {
    Picture a, b;
    const Bytes plain = testimg::WriteTga(5, 4, 2, 24, 0x20, 0, false, 3, &a);
    const Bytes withId = testimg::WriteTga(5, 4, 2, 24, 0x20, 10, false, 3, &b);
    GraphImage other{};
    ASSERT_EQ(DecodeWith(DecodeTgaImage, plain, &image_), 0);
    ASSERT_EQ(DecodeWith(DecodeTgaImage, withId, &other), 0);
    EXPECT_EQ(0, std::memcmp(image_.pixels, other.pixels, 15 * 4));
    FreeGraphImage(&other);
}

TEST_F(Decoding, DdsFromMasksAndFromTable) {
    Bytes pixels;
    {
        const Bytes file =
            testimg::WriteDdsMasks(6, 3, 16, 0xF800, 0x7E0, 0x1F, 0, 0x41, 4, 1, &pixels);
        ASSERT_EQ(Decode(file, &image_), 0);
        EXPECT_EQ(image_.format.redMask, 0xF800u);
        EXPECT_EQ(image_.pitch, 16);  // the file's own pitch
        EXPECT_EQ(0, std::memcmp(image_.pixels, pixels.data(), pixels.size()));
        FreeGraphImage(&image_);
    }
    {
        const Bytes file = testimg::WriteDdsFourCC(5, 4, 21, 4, 2, &pixels);
        ASSERT_EQ(Decode(file, &image_), 0);
        EXPECT_EQ(image_.format.bitDepth, 32);
        EXPECT_EQ(image_.format.alphaMask, 0xFF000000u);
        EXPECT_EQ(image_.pitch, 20);
        EXPECT_EQ(0, std::memcmp(image_.pixels, pixels.data(), pixels.size()));
        FreeGraphImage(&image_);
    }
    {  // 8-bit packed channels become a palette of their colours
        const Bytes file = testimg::WriteDdsFourCC(4, 2, 27, 1, 3, &pixels);
        ASSERT_EQ(Decode(file, &image_), 0);
        EXPECT_EQ(image_.format.bitDepth, 8);
        const uint32_t e0 = testimg::DecodedArgb(image_, 0, 0);
        const uint8_t v = pixels[0];
        const uint32_t r3 = v >> 5, g3 = (v >> 2) & 7, b2 = v & 3;
        const uint32_t want = 0xFF000000u | (r3 << 5 | r3 << 2 | r3 >> 1) << 16 |
                              (g3 << 5 | g3 << 2 | g3 >> 1) << 8 | (b2 * 0x55);
        EXPECT_EQ(e0, want);
    }
}

TEST_F(Decoding, BgraEightAndSixteenBitChannels) {
    for (bool sixteen : {false, true}) {
        Picture want;
        const Bytes file = testimg::WriteBgra(7, 3, sixteen, 11, &want);
        ASSERT_EQ(Decode(file, &image_), 0);
        EXPECT_EQ(image_.pitch, 28);
        ExpectPixels(image_, want);
        FreeGraphImage(&image_);
    }
}

TEST_F(Decoding, ContentDecidesNotName) {
    // A PNG inside a file named as a BMP: the BMP loader refuses and the chain goes on.
    const std::string dir = ::testing::TempDir() + "decode_content_" + std::to_string(::getpid());
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
    Picture want;
    const Bytes file = testimg::WritePng(4, 4, 2, 8, false, 1, &want);
    const std::string path = dir + "/x.bmp";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    ASSERT_EQ(LoadImageToGraphImage(path.c_str(), nullptr, 0, 0, 0, 0, &image_, nullptr, nullptr),
              0);
    ExpectPixels(image_, want);
    FreeGraphImage(&image_);
    // No companion file: 1, the image still loaded.
    GraphImage alpha{};
    EXPECT_EQ(
        LoadImageWithAlphaFile(path.c_str(), nullptr, 0, 0, nullptr, 0, 0, &image_, &alpha, 0), 1);
    FreeGraphImage(&image_);
    // With one: 0, and both decoded.
    Picture alphaWant;
    const Bytes alphaFile = testimg::WritePng(4, 4, 0, 8, false, 2, &alphaWant);
    f = std::fopen((dir + "/x_a.bmp").c_str(), "wb");
    std::fwrite(alphaFile.data(), 1, alphaFile.size(), f);
    std::fclose(f);
    EXPECT_EQ(
        LoadImageWithAlphaFile(path.c_str(), nullptr, 0, 0, nullptr, 0, 0, &image_, &alpha, 0), 0);
    ExpectPixels(alpha, alphaWant);
    FreeGraphImage(&alpha);
    EXPECT_EQ(LoadImageToGraphImage((dir + "/missing.png").c_str(), nullptr, 0, 0, 0, 0, &alpha,
                                    nullptr, nullptr),
              -1);
    std::system(("rm -rf '" + dir + "'").c_str());
}

TEST_F(Decoding, AlphaFromMemoryAndAlphaSources) {
    Picture want, alphaWant;
    const Bytes file = testimg::WritePng(3, 3, 2, 8, false, 5, &want);
    const Bytes alphaFile = testimg::WritePng(3, 3, 0, 8, false, 6, &alphaWant);
    GraphImage alpha{};
    EXPECT_EQ(LoadImageWithAlphaFile(nullptr, file.data(), static_cast<uint32_t>(file.size()), 1,
                                     alphaFile.data(), static_cast<uint32_t>(alphaFile.size()), 1,
                                     &image_, &alpha, 0),
              0);
    ExpectPixels(alpha, alphaWant);
    FreeGraphImage(&alpha);
    FreeGraphImage(&image_);
    EXPECT_EQ(LoadImageWithAlphaFile(nullptr, file.data(), static_cast<uint32_t>(file.size()), 1,
                                     nullptr, 0, 1, &image_, &alpha, 0),
              1);
    FreeGraphImage(&image_);
    EXPECT_EQ(LoadImageWithAlphaFile(nullptr, file.data(), static_cast<uint32_t>(file.size()), 1,
                                     alphaFile.data(), 9, 7, &image_, &alpha, 0),
              1);
    FreeGraphImage(&image_);
    const Bytes junk(40, 0x33);
    EXPECT_EQ(
        LoadImageWithAlphaFile(nullptr, junk.data(), 40, 1, nullptr, 0, 0, &image_, &alpha, 0), -1);
}

TEST(AlphaFileName, InsertedBeforeLastDotOfWholeName) {
    const std::pair<const char*, const char*> cases[] = {
        {"pic.png", "pic_a.png"},
        {"pic", "pic_a"},
        {"dat\\a.b\\pic", "dat\\a_a.b\\pic"},
        {"dat\\velm2\\velm200.png", "dat\\velm2\\velm200_a.png"},
    };
    for (const auto& [in, want] : cases) {
        char out[64];
        ASSERT_EQ(MakeAlphaFileName(in, out, sizeof out), 0);
        EXPECT_STREQ(out, want);
    }
    char tiny[5];
    EXPECT_EQ(MakeAlphaFileName("abc.d", tiny, sizeof tiny), -1);
}

TEST_F(Decoding, MirrorFlagMirrorsEveryDepth) {
    for (int bits : {8, 24}) {
        Picture want;
        const Bytes file = testimg::WriteBmp(5, 2, bits, false, true, false, 8, &want);
        ASSERT_EQ(LoadImageToGraphImage(nullptr, file.data(), static_cast<uint32_t>(file.size()), 1,
                                        0, 1, &image_, nullptr, nullptr),
                  0);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 5; ++x)
                ASSERT_EQ(testimg::DecodedArgb(image_, x, y), want.At(4 - x, y)) << bits << " bits";
        FreeGraphImage(&image_);
    }
}

TEST_F(Decoding, UserLoadersComeFirst) {
    static int calls;
    calls = 0;  // the loader's count outlives a repeated run of this test
    ASSERT_EQ(AddUserImageLoader([](StreamIo*, GraphImage*) {
                  ++calls;
                  return -1;
              }),
              0);
    Picture want;
    const Bytes file = testimg::WritePng(2, 2, 2, 8, false, 1, &want);
    ASSERT_EQ(Decode(file, &image_), 0);
    EXPECT_EQ(calls, 1);
    GetUserImageLoaders().count = 0;
}

}  // namespace
}  // namespace tessra
