#include "tests/game/harness/pictures.h"

#include <png.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace velmora_test {

bool WritePicture(const plat::testing::PresentedPicture& pic, const std::string& name) {
    const std::filesystem::path dir = TEST_OUTPUT_DIR;
    std::filesystem::create_directories(dir);
    const std::string path = (dir / name).string();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, pic.width, pic.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<size_t>(pic.width) * 3);
    for (int y = 0; y < pic.height; ++y) {
        for (int x = 0; x < pic.width; ++x) {
            const uint32_t c = pic.rgb[static_cast<size_t>(y) * pic.width + x];
            row[x * 3] = static_cast<png_byte>(c >> 16);
            row[x * 3 + 1] = static_cast<png_byte>(c >> 8);
            row[x * 3 + 2] = static_cast<png_byte>(c);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

}  // namespace velmora_test
