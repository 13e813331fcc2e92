#include "image_files.h"

#include <png.h>

#include <jpeglib.h>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>

namespace tessra::testimg {

namespace {

void Put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void Set32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t Widen(uint32_t v, int width) {
    if (width == 0) return 0;
    if (width >= 8) return (v >> (width - 8)) & 0xFF;
    uint32_t out = v << (8 - width);
    for (int have = width; have < 8; have *= 2) out |= out >> have;
    return out & 0xFF;
}

uint8_t R(uint32_t c) {
    return static_cast<uint8_t>(c >> 16);
}
uint8_t G(uint32_t c) {
    return static_cast<uint8_t>(c >> 8);
}
uint8_t B(uint32_t c) {
    return static_cast<uint8_t>(c);
}
uint8_t A(uint32_t c) {
    return static_cast<uint8_t>(c >> 24);
}

Bytes CompressJpeg(int width, int height, int components, J_COLOR_SPACE space,
                   const std::vector<uint8_t>& samples, bool progressive = false) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    if (components == 3) {  // no chroma subsampling, so the colours come back close
        c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 1;
    }
    jpeg_start_compress(&c, TRUE);
    for (int y = 0; y < height; ++y) {
        JSAMPROW rp =
            const_cast<uint8_t*>(samples.data()) + static_cast<size_t>(y * width * components);
        jpeg_write_scanlines(&c, &rp, 1);
    }
    jpeg_finish_compress(&c);
    Bytes out(mem, mem + size);
    jpeg_destroy_compress(&c);
    free(mem);
    return out;
}

}  // namespace

Picture RandomPicture(int width, int height, uint32_t seed, bool withAlpha) {
    std::mt19937 rng(seed);
    Picture p{width, height, {}};
    for (int i = 0; i < width * height; ++i) {
        const uint32_t c = rng() & 0xFFFFFF;
        p.argb.push_back(c | ((withAlpha ? (rng() & 0xFF) : 0xFF) << 24));
    }
    return p;
}

Picture PalettePicture(int width, int height, int colors, uint32_t seed,
                       std::vector<uint8_t>* indices, std::vector<uint32_t>* palette) {
    std::mt19937 rng(seed);
    palette->clear();
    for (int i = 0; i < colors; ++i) palette->push_back(0xFF000000 | (rng() & 0xFFFFFF));
    Picture p{width, height, {}};
    indices->clear();
    for (int i = 0; i < width * height; ++i) {
        const auto idx = static_cast<uint8_t>(rng() % colors);
        indices->push_back(idx);
        p.argb.push_back((*palette)[idx]);
    }
    return p;
}

namespace {

// A libpng writer that appends the file to *out.
png_structp NewPngWriter(Bytes* out, png_infop* info) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    *info = png_create_info_struct(png);
    png_set_write_fn(
        png, out,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + n);
        },
        nullptr);
    return png;
}

}  // namespace

Bytes WritePng(int width, int height, int colorType, int bitDepth, bool withTrns, uint32_t seed,
               Picture* expected, bool interlaced) {
    std::mt19937 rng(seed);
    Bytes out;
    png_infop info = nullptr;
    png_structp png = NewPngWriter(&out, &info);
    png_set_IHDR(png, info, width, height, bitDepth, colorType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const int maxSample = (1 << bitDepth) - 1;
    std::vector<png_color> palette;
    std::vector<png_byte> trnsAlpha;
    png_color_16 trnsColor{};
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i <= maxSample; ++i) {
            palette.push_back({static_cast<png_byte>(rng()), static_cast<png_byte>(rng()),
                               static_cast<png_byte>(rng())});
            trnsAlpha.push_back(static_cast<png_byte>(rng()));
        }
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
        if (withTrns)
            png_set_tRNS(png, info, trnsAlpha.data(), static_cast<int>(trnsAlpha.size()), nullptr);
    } else if (withTrns && colorType == PNG_COLOR_TYPE_GRAY) {
        trnsColor.gray = static_cast<png_uint_16>(maxSample / 3);
        png_set_tRNS(png, info, nullptr, 0, &trnsColor);
    } else if (withTrns && colorType == PNG_COLOR_TYPE_RGB) {
        trnsColor.red = trnsColor.green = trnsColor.blue = 0;
        png_set_tRNS(png, info, nullptr, 0, &trnsColor);
    }
    png_write_info(png, info);
    const int channels = colorType == 0   ? 1
                         : colorType == 2 ? 3
                         : colorType == 3 ? 1
                         : colorType == 4 ? 2
                                          : 4;
    expected->width = width;
    expected->height = height;
    expected->argb.assign(static_cast<size_t>(width * height), 0);
    auto to8 = [&](uint32_t s) -> uint32_t {
        if (bitDepth == 16) return s >> 8;
        return s * 255 / static_cast<uint32_t>(maxSample);
    };
    std::vector<uint8_t> row(static_cast<size_t>((width * channels * bitDepth + 7) / 8));
    std::vector<std::vector<uint8_t>> allRows;
    for (int y = 0; y < height; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (int x = 0; x < width; ++x) {
            uint32_t s[4];
            for (int c = 0; c < channels; ++c) s[c] = rng() & static_cast<uint32_t>(maxSample);
            if (withTrns && colorType == PNG_COLOR_TYPE_RGB && (x + y) % 3 == 0)
                s[0] = s[1] = s[2] = 0;
            if (withTrns && colorType == PNG_COLOR_TYPE_GRAY && (x + y) % 3 == 0)
                s[0] = trnsColor.gray;
            for (int c = 0; c < channels; ++c) {
                const int bitPos = (x * channels + c) * bitDepth;
                if (bitDepth == 16) {
                    row[static_cast<size_t>(bitPos / 8)] = static_cast<uint8_t>(s[c] >> 8);
                    row[static_cast<size_t>(bitPos / 8 + 1)] = static_cast<uint8_t>(s[c]);
                } else {
                    row[static_cast<size_t>(bitPos / 8)] |=
                        static_cast<uint8_t>(s[c] << (8 - bitDepth - bitPos % 8));
                }
            }
            uint32_t e = 0;
            switch (colorType) {
                case PNG_COLOR_TYPE_GRAY: {
                    const uint32_t g = to8(s[0]);
                    const uint32_t a = withTrns && s[0] == trnsColor.gray ? 0 : 0xFF;
                    e = a << 24 | g << 16 | g << 8 | g;
                    break;
                }
                case PNG_COLOR_TYPE_RGB: {
                    const uint32_t a = withTrns && s[0] == 0 && s[1] == 0 && s[2] == 0 ? 0 : 0xFF;
                    e = a << 24 | to8(s[0]) << 16 | to8(s[1]) << 8 | to8(s[2]);
                    break;
                }
                case PNG_COLOR_TYPE_PALETTE: {
                    const png_color& p = palette[s[0]];
                    e = (withTrns ? static_cast<uint32_t>(trnsAlpha[s[0]]) : 0xFFu) << 24 |
                        static_cast<uint32_t>(p.red) << 16 | static_cast<uint32_t>(p.green) << 8 |
                        p.blue;
                    break;
                }
                case PNG_COLOR_TYPE_GRAY_ALPHA: {
                    const uint32_t g = to8(s[0]);
                    e = to8(s[1]) << 24 | g << 16 | g << 8 | g;
                    break;
                }
                default:
                    e = to8(s[3]) << 24 | to8(s[0]) << 16 | to8(s[1]) << 8 | to8(s[2]);
                    break;
            }
            expected->argb[static_cast<size_t>(y * width + x)] = e;
        }
        allRows.push_back(row);
    }
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass) {
        for (auto& r : allRows) png_write_row(png, r.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

uint32_t PatternArgb(int x, int y) {
    const auto ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
    return ((ux * 37 + uy * 101) & 0xFF) << 24 | (ux & 0xFF) << 16 | (uy & 0xFF) << 8 |
           (((ux >> 8) ^ (uy >> 8) << 4) & 0xFF);
}

Bytes WritePatternPng(int width, int height, bool interlaced) {
    Bytes out;
    png_infop info = nullptr;
    png_structp png = NewPngWriter(&out, &info);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint32_t p = PatternArgb(x, y);
                uint8_t* px = &row[static_cast<size_t>(x) * 4];
                px[0] = static_cast<uint8_t>(p >> 16);
                px[1] = static_cast<uint8_t>(p >> 8);
                px[2] = static_cast<uint8_t>(p);
                px[3] = static_cast<uint8_t>(p >> 24);
            }
            png_write_row(png, row.data());
        }
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes WriteJpeg(int width, int height, bool grey, Picture* expected) {
    expected->width = width;
    expected->height = height;
    expected->argb.clear();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t r = static_cast<uint32_t>(40 + 150 * x / width);
            const uint32_t g = static_cast<uint32_t>(60 + 120 * y / height);
            const uint32_t b = grey ? r : static_cast<uint32_t>(200 - 100 * x / width);
            const uint32_t gg = grey ? r : g;
            expected->argb.push_back(0xFF000000 | r << 16 | gg << 8 | b);
        }
    }
    std::vector<uint8_t> rows;
    for (uint32_t p : expected->argb) {
        if (grey) {
            rows.push_back(R(p));
        } else {
            rows.push_back(R(p));
            rows.push_back(G(p));
            rows.push_back(B(p));
        }
    }
    return CompressJpeg(width, height, grey ? 1 : 3, grey ? JCS_GRAYSCALE : JCS_RGB, rows);
}

Bytes WriteProgressiveGreyJpeg(int width, int height) {
    std::vector<uint8_t> samples;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) samples.push_back(static_cast<uint8_t>(x * y));
    return CompressJpeg(width, height, 1, JCS_GRAYSCALE, samples, true);
}

Bytes WriteCmykJpeg(int width, int height) {
    return CompressJpeg(width, height, 4, JCS_CMYK,
                        std::vector<uint8_t>(static_cast<size_t>(width * height * 4), 0x40));
}

Bytes WriteBmp(int width, int height, int bits, bool rle, bool topDown, bool bitfields,
               uint32_t seed, Picture* expected) {
    std::vector<uint8_t> idx;
    std::vector<uint32_t> pal;
    Picture pic;
    if (bits <= 8) {
        pic = PalettePicture(width, height, 1 << bits, seed, &idx, &pal);
    } else {
        pic = RandomPicture(width, height, seed, false);
    }
    const uint32_t masks565[3] = {0xF800, 0x7E0, 0x1F};
    const uint32_t masks555[3] = {0x7C00, 0x3E0, 0x1F};
    const uint32_t* m16 = bitfields ? masks565 : masks555;
    // Expected: what the file holds, widened by bit repetition.
    expected->width = width;
    expected->height = height;
    expected->argb = pic.argb;
    if (bits == 16) {
        for (auto& c : expected->argb) {
            const uint32_t rw = bitfields ? 5 : 5, gw = bitfields ? 6 : 5;
            c = 0xFF000000 | Widen(R(c) >> (8 - rw), rw) << 16 | Widen(G(c) >> (8 - gw), gw) << 8 |
                Widen(B(c) >> 3, 5);
        }
    }
    const int stride = ((bits * width + 31) / 32) * 4;
    Bytes data;
    if (rle) {
        for (int fileRow = 0; fileRow < height; ++fileRow) {
            const int y = topDown ? fileRow : height - 1 - fileRow;
            int x = 0;
            while (x < width) {
                // Alternate encoded runs and absolute runs to cover both.
                const uint8_t v = idx[static_cast<size_t>(y * width + x)];
                int run = 1;
                while (x + run < width && run < 255 &&
                       idx[static_cast<size_t>(y * width + x + run)] == v)
                    ++run;
                if (run >= 2 || width - x < 3) {
                    const int n =
                        bits == 4 ? 1 : run;  // RLE4 runs alternate nibbles: keep them single
                    data.push_back(static_cast<uint8_t>(n));
                    data.push_back(bits == 4 ? static_cast<uint8_t>(v << 4) : v);
                    x += n;
                } else {
                    const int n = std::min(width - x, 7);
                    data.push_back(0);
                    data.push_back(static_cast<uint8_t>(n));
                    Bytes chunk;
                    for (int i = 0; i < n; ++i) {
                        const uint8_t p = idx[static_cast<size_t>(y * width + x + i)];
                        if (bits == 8) {
                            chunk.push_back(p);
                        } else if (i % 2 == 0) {
                            chunk.push_back(static_cast<uint8_t>(p << 4));
                        } else {
                            chunk.back() |= p;
                        }
                    }
                    if (chunk.size() % 2) chunk.push_back(0);
                    data.insert(data.end(), chunk.begin(), chunk.end());
                    x += n;
                }
            }
            data.push_back(0);
            data.push_back(0);
        }
        data.push_back(0);
        data.push_back(1);
    } else {
        for (int fileRow = 0; fileRow < height; ++fileRow) {
            const int y = topDown ? fileRow : height - 1 - fileRow;
            Bytes row(static_cast<size_t>(stride), 0);
            for (int x = 0; x < width; ++x) {
                const uint32_t c = pic.At(x, y);
                switch (bits) {
                    case 1:
                    case 4:
                    case 8: {
                        const int bitPos = x * bits;
                        row[static_cast<size_t>(bitPos / 8)] |= static_cast<uint8_t>(
                            idx[static_cast<size_t>(y * width + x)] << (8 - bits - bitPos % 8));
                        break;
                    }
                    case 16: {
                        const uint32_t v = bitfields
                                               ? ((R(c) >> 3) << 11 | (G(c) >> 2) << 5 | B(c) >> 3)
                                               : ((R(c) >> 3) << 10 | (G(c) >> 3) << 5 | B(c) >> 3);
                        row[static_cast<size_t>(x * 2)] = static_cast<uint8_t>(v);
                        row[static_cast<size_t>(x * 2 + 1)] = static_cast<uint8_t>(v >> 8);
                        break;
                    }
                    case 24:
                        row[static_cast<size_t>(x * 3)] = B(c);
                        row[static_cast<size_t>(x * 3 + 1)] = G(c);
                        row[static_cast<size_t>(x * 3 + 2)] = R(c);
                        break;
                    default:
                        row[static_cast<size_t>(x * 4)] = B(c);
                        row[static_cast<size_t>(x * 4 + 1)] = G(c);
                        row[static_cast<size_t>(x * 4 + 2)] = R(c);
                        row[static_cast<size_t>(x * 4 + 3)] = 0x5A;  // ignored: no alpha in BI_RGB
                        break;
                }
            }
            data.insert(data.end(), row.begin(), row.end());
        }
    }
    const int paletteBytes = bits <= 8 ? 4 * (1 << bits) : 0;
    const int maskBytes = bits > 8 && bitfields ? 12 : 0;
    const uint32_t offset = 14 + 40 + static_cast<uint32_t>(paletteBytes + maskBytes);
    Bytes f;
    f.push_back('B');
    f.push_back('M');
    Put32(f, offset + static_cast<uint32_t>(data.size()));
    Put32(f, 0);
    Put32(f, offset);
    Put32(f, 40);
    Put32(f, static_cast<uint32_t>(width));
    Put32(f, static_cast<uint32_t>(topDown ? -height : height));
    Put16(f, 1);
    Put16(f, static_cast<uint32_t>(bits));
    Put32(f, rle ? (bits == 8 ? 1u : 2u) : (bitfields && bits > 8 ? 3u : 0u));
    Put32(f, static_cast<uint32_t>(data.size()));
    Put32(f, 2835);
    Put32(f, 2835);
    Put32(f, 0);
    Put32(f, 0);
    for (uint32_t c : pal) Put32(f, c & 0xFFFFFF);
    if (maskBytes) {
        const uint32_t* m = bits == 16 ? m16 : nullptr;
        const uint32_t m32[3] = {0xFF0000, 0xFF00, 0xFF};
        for (int i = 0; i < 3; ++i) Put32(f, m ? m[i] : m32[i]);
    }
    f.insert(f.end(), data.begin(), data.end());
    return f;
}

Bytes WriteTga(int width, int height, int type, int depth, int descriptorOrient, int idLength,
               bool footer, uint32_t seed, Picture* expected) {
    const bool mapped = type == 1 || type == 9;
    std::vector<uint8_t> idx;
    std::vector<uint32_t> pal;
    Picture pic = mapped ? PalettePicture(width, height, 200, seed, &idx, &pal)
                         : RandomPicture(width, height, seed, depth == 32);
    auto encode = [&](uint32_t c, Bytes& out) {
        if (depth == 16) {
            Put16(out, (R(c) >> 3) << 10 | (G(c) >> 3) << 5 | B(c) >> 3);
        } else {
            out.push_back(B(c));
            out.push_back(G(c));
            out.push_back(R(c));
            if (depth == 32) out.push_back(A(c));
        }
    };
    expected->width = width;
    expected->height = height;
    expected->argb.clear();
    for (uint32_t c : pic.argb) {
        if (depth == 16) {
            c = 0xFF000000 | Widen(R(c) >> 3, 5) << 16 | Widen(G(c) >> 3, 5) << 8 |
                Widen(B(c) >> 3, 5);
        } else if (depth == 24) {
            c |= 0xFF000000;
        }
        expected->argb.push_back(c);
    }
    Bytes f;
    f.push_back(static_cast<uint8_t>(idLength));
    f.push_back(mapped ? 1 : 0);
    f.push_back(static_cast<uint8_t>(type));
    Put16(f, 0);
    Put16(f, mapped ? static_cast<uint32_t>(pal.size()) : 0);
    f.push_back(mapped ? static_cast<uint8_t>(depth) : 0);
    Put16(f, 0);
    Put16(f, 0);
    Put16(f, static_cast<uint32_t>(width));
    Put16(f, static_cast<uint32_t>(height));
    f.push_back(mapped ? 8 : static_cast<uint8_t>(depth));
    f.push_back(static_cast<uint8_t>(descriptorOrient | (depth == 32 ? 8 : 0)));
    for (int i = 0; i < idLength; ++i) f.push_back(static_cast<uint8_t>('a' + i));
    if (mapped)
        for (uint32_t c : pal) encode(c, f);
    const bool bottomUp = (descriptorOrient & 0x20) == 0;
    const bool rightToLeft = (descriptorOrient & 0x10) != 0;
    std::vector<Bytes> units;  // one encoded pixel or index per stored position
    for (int fy = 0; fy < height; ++fy) {
        const int y = bottomUp ? height - 1 - fy : fy;
        for (int fx = 0; fx < width; ++fx) {
            const int x = rightToLeft ? width - 1 - fx : fx;
            Bytes u;
            if (mapped) {
                u.push_back(idx[static_cast<size_t>(y * width + x)]);
            } else {
                encode(pic.At(x, y), u);
            }
            units.push_back(u);
        }
    }
    if (type == 9 || type == 10) {
        size_t i = 0;
        while (i < units.size()) {
            size_t run = 1;
            while (i + run < units.size() && run < 128 && units[i + run] == units[i]) ++run;
            if (run >= 2) {
                f.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
                f.insert(f.end(), units[i].begin(), units[i].end());
            } else {
                size_t n = 1;
                while (i + n < units.size() && n < 128 &&
                       !(i + n + 1 < units.size() && units[i + n] == units[i + n + 1]))
                    ++n;
                f.push_back(static_cast<uint8_t>(n - 1));
                for (size_t k = 0; k < n; ++k)
                    f.insert(f.end(), units[i + k].begin(), units[i + k].end());
                run = n;
            }
            i += run;
        }
    } else {
        for (const Bytes& u : units) f.insert(f.end(), u.begin(), u.end());
    }
    if (footer) {
        Put32(f, 0);
        Put32(f, 0);
        const char sig[] = "TRUEVISION-XFILE.";
        f.insert(f.end(), sig, sig + 18);
    }
    return f;
}

namespace {

Bytes DdsHeader(int width, int height, uint32_t flags, uint32_t pitch, uint32_t pfFlags,
                uint32_t fourCC, int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    Bytes f = {'D', 'D', 'S', ' '};
    f.resize(4 + 124, 0);
    Set32(f, 4, 124);
    Set32(f, 8, flags);
    Set32(f, 12, static_cast<uint32_t>(height));
    Set32(f, 16, static_cast<uint32_t>(width));
    Set32(f, 20, pitch);
    Set32(f, 4 + 72, 32);
    Set32(f, 4 + 76, pfFlags);
    Set32(f, 4 + 80, fourCC);
    Set32(f, 4 + 84, static_cast<uint32_t>(bits));
    Set32(f, 4 + 88, r);
    Set32(f, 4 + 92, g);
    Set32(f, 4 + 96, b);
    Set32(f, 4 + 100, a);
    return f;
}

}  // namespace

Bytes WriteDdsMasks(int width, int height, int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a,
                    uint32_t pfFlags, int pitchPad, uint32_t seed, Bytes* pixelsOut) {
    std::mt19937 rng(seed);
    const int pitch = width * bits / 8 + pitchPad;
    Bytes f = DdsHeader(width, height, 0x1007 | (pitchPad ? 8 : 0), static_cast<uint32_t>(pitch),
                        pfFlags, 0, bits, r, g, b, a);
    pixelsOut->clear();
    for (int i = 0; i < pitch * height; ++i) pixelsOut->push_back(static_cast<uint8_t>(rng()));
    f.insert(f.end(), pixelsOut->begin(), pixelsOut->end());
    return f;
}

Bytes WriteDdsFourCC(int width, int height, uint32_t fourCC, int bytesPerPixel, uint32_t seed,
                     Bytes* pixelsOut) {
    std::mt19937 rng(seed);
    Bytes f = DdsHeader(width, height, 0x1007, 0, 4, fourCC, 0, 0, 0, 0, 0);
    pixelsOut->clear();
    for (int i = 0; i < width * height * bytesPerPixel; ++i)
        pixelsOut->push_back(static_cast<uint8_t>(rng()));
    f.insert(f.end(), pixelsOut->begin(), pixelsOut->end());
    return f;
}

Bytes WriteBgra(int width, int height, bool sixteen, uint32_t seed, Picture* expected) {
    *expected = RandomPicture(width, height, seed, true);
    Bytes f = {'B', 'G', 'R', 'A'};
    Put32(f, sixteen ? 0x10101010u : 0x08080808u);
    Put32(f, static_cast<uint32_t>(width));
    Put32(f, static_cast<uint32_t>(height));
    std::mt19937 rng(seed + 1);
    for (uint32_t c : expected->argb) {
        for (uint8_t ch : {B(c), G(c), R(c), A(c)}) {
            if (sixteen) f.push_back(static_cast<uint8_t>(rng()));  // low byte is dropped
            f.push_back(ch);
        }
    }
    return f;
}

uint32_t DecodedArgb(const GraphImage& image, int x, int y) {
    const ColorFormat& f = image.format;
    const uint8_t* p = image.pixels + static_cast<size_t>(y) * image.pitch +
                       static_cast<size_t>(x) * f.bytesPerPixel;
    if (f.bitDepth == 8) {
        const uint8_t* e = f.palette[*p];
        return 0xFF000000u | static_cast<uint32_t>(e[2]) << 16 | static_cast<uint32_t>(e[1]) << 8 |
               e[0];
    }
    uint32_t v = 0;
    for (int i = 0; i < f.bytesPerPixel; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
    const uint32_t a = f.alphaWidth ? Widen((v & f.alphaMask) >> f.alphaShift, f.alphaWidth) : 0xFF;
    return a << 24 | Widen((v & f.redMask) >> f.redShift, f.redWidth) << 16 |
           Widen((v & f.greenMask) >> f.greenShift, f.greenWidth) << 8 |
           Widen((v & f.blueMask) >> f.blueShift, f.blueWidth);
}

}  // namespace tessra::testimg
