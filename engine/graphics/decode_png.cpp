// PNG through libpng, read from the stream by our own read callback.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "engine/base/log.h"
#include "engine/graphics/image_decode.h"
#include "engine/graphics/image_stream.h"

namespace tessra {

namespace {

struct PngStreamSource {
    StreamIo* stream;
    int64_t left;  // bytes from the start position to the end
};

// Deflate cannot expand data by much more than this; a header claiming more is not believed.
constexpr int64_t kMaxInflateRatio = 1100;

// libpng's own handlers print to stderr; its messages go to the engine's log instead.
[[noreturn]] void PngErrorToLog(png_structp png, png_const_charp message) {
    AppendLogFormat("libpng: %s", message);
    png_longjmp(png, 1);
}
void PngWarningToLog(png_structp, png_const_charp message) {
    AppendLogFormat("libpng: %s", message);
}

}  // namespace

void ReadPngStreamData(png_structp png, png_bytep data, png_size_t length) {
    auto* src = static_cast<PngStreamSource*>(png_get_io_ptr(png));
    if (src->left < static_cast<int64_t>(length) || !StreamReadExact(src->stream, data, length)) {
        png_error(png, "Read Error");
    }
    src->left -= static_cast<int64_t>(length);
}

void SetPngStreamSource(png_structp png, PngStreamSource* source, StreamIo* stream) {
    source->stream = stream;
    source->left = StreamRemaining(stream);
    if (source->left < 0) source->left = 0;
    png_set_read_fn(png, source, ReadPngStreamData);
}

int DecodePngImage(StreamIo* stream, GraphImage* image) {
    // Every picture of the loader chain passes here: one without the signature is simply not a
    // PNG, and is left without a word.
    png_byte signature[8];
    const int64_t start = stream->Tell(stream->handle);
    if (start < 0 || !StreamReadExact(stream, signature, sizeof signature) ||
        png_sig_cmp(signature, 0, sizeof signature) != 0 || !StreamSeekTo(stream, start)) {
        return -1;
    }
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorToLog, PngWarningToLog);
    if (png == nullptr) return -1;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return -1;
    }
    // Everything a longjmp must give back lives outside the frame that setjmp saves.
    png_bytepp volatile rowPointers = nullptr;
    uint8_t* volatile pixels = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        if (rowPointers != nullptr) png_free(png, rowPointers);
        FreeTagged(pixels);
        png_destroy_read_struct(&png, &info, nullptr);
        return -1;
    }
    PngStreamSource source{};
    SetPngStreamSource(png, &source, stream);
    const int64_t streamSize = source.left;
    png_set_user_limits(png, kGraphImageMaxSide, kGraphImageMaxSide);
    png_set_sig_bytes(png, 0);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
    const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_packswap(png);
    const bool grey = (colorType & PNG_COLOR_MASK_COLOR) == 0;
    const bool expand = (grey && bitDepth <= 8) || trns;
    if (expand) png_set_expand(png);
    // Grey with alpha becomes RGBA, so its alpha is kept as a real alpha channel.
    if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA || (grey && trns)) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);  // png_read_image then gives whole rows of interlaced files
    png_read_update_info(png, info);

    const png_size_t rowBytes = png_get_rowbytes(png, info);
    const int channels = png_get_channels(png, info);
    const uint64_t total = static_cast<uint64_t>(rowBytes) * height;
    if (rowBytes == 0 ||
        total > static_cast<uint64_t>(streamSize) * kMaxInflateRatio + (1u << 20)) {
        png_error(png, "Image too large");
    }
    // The rows are decoded straight into the image's own tracked block: a second block of the
    // picture's size to copy from would double the peak memory of a large picture.
    pixels = static_cast<uint8_t*>(AllocTagged(static_cast<size_t>(total), __FILE__, __LINE__));
    if (pixels == nullptr) png_error(png, "Out of memory");
    rowPointers = static_cast<png_bytepp>(png_malloc(png, sizeof(png_bytep) * height));
    for (png_uint_32 y = 0; y < height; ++y)
        rowPointers[y] = pixels + static_cast<size_t>(y) * rowBytes;
    png_read_image(png, rowPointers);
    png_free(png, rowPointers);
    rowPointers = nullptr;
    png_read_end(png, nullptr);

    std::memset(image, 0, sizeof *image);
    if (colorType == PNG_COLOR_TYPE_PALETTE && !expand) {
        SetPaletteXrgbFormat(&image->format);
        png_colorp palette = nullptr;
        int entries = 0;
        if (png_get_PLTE(png, info, &palette, &entries) != 0) {
            for (int i = 0; i < entries && i < 256; ++i) {
                image->format.palette[i][0] = palette[i].blue;
                image->format.palette[i][1] = palette[i].green;
                image->format.palette[i][2] = palette[i].red;
                image->format.palette[i][3] = 0;
            }
        }
    } else if (channels == 1) {
        SetGreyPaletteFormat(&image->format);
    } else if (channels == 3) {
        SetRgb24Format(&image->format);
    } else if (channels == 4) {
        BuildColorFormatFromMasks(&image->format, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    } else {
        png_error(png, "Unexpected channels");
    }
    image->width = static_cast<int32_t>(width);
    image->height = static_cast<int32_t>(height);
    image->pitch = static_cast<int32_t>(rowBytes);
    image->pixels = pixels;
    png_destroy_read_struct(&png, &info, nullptr);
    return 0;
}

}  // namespace tessra
