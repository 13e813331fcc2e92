// image_info: prints what the engine makes of picture files: width, height, format, channel
// masks and pitch, as its image loaders decode them.
//
//     image_info FILE...
//
// Exit status: 0 when every file decoded, 1 when one did not, 2 on a usage error.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine/base/memory.h"
#include "engine/base/stream.h"
#include "engine/graphics/image_decode.h"

namespace {

int Describe(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open\n", path);
        return 1;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    if (bytes.size() > UINT32_MAX) {
        std::fprintf(stderr, "%s: too large\n", path);
        return 1;
    }
    tessra::GraphImage image{};
    if (tessra::LoadImageToGraphImage(nullptr, bytes.data(), static_cast<uint32_t>(bytes.size()), 1,
                                      0, 0, &image, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "%s: not a picture the engine decodes\n", path);
        return 1;
    }
    const tessra::ColorFormat& f = image.format;
    std::printf("%s\n", path);
    std::printf("  width    %d\n", image.width);
    std::printf("  height   %d\n", image.height);
    std::printf("  format   %d bits, %d bytes a pixel%s\n", f.bitDepth, f.bytesPerPixel,
                f.bitDepth == 8 ? ", palette indices" : "");
    std::printf("  masks    red %08X green %08X blue %08X alpha %08X unused %08X\n", f.redMask,
                f.greenMask, f.blueMask, f.alphaMask, f.unusedMask);
    std::printf("  pitch    %d\n", image.pitch);
    tessra::FreeGraphImage(&image);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: image_info FILE...\n");
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        if (Describe(argv[i]) != 0) status = 1;
    }
    return status;
}
