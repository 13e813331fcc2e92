// JPEG through libjpeg, fed from the stream by our own source manager.
#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>

#include "engine/graphics/image_decode.h"
#include "engine/graphics/image_stream.h"

namespace tessra {

namespace {

constexpr size_t kJpegBufferSize = 4096;

// Huffman coding spends at least a bit on each 8 x 8 block, so a byte describes at most 512
// pixels; twice that leaves room for every real picture.
constexpr int64_t kJpegPixelsPerByte = 1024;
// libjpeg's own working memory (the whole-frame coefficients of a progressive file above all)
// may not grow past this; a file that would need more fails instead.
constexpr long kJpegMemoryCap = 256L << 20;

struct JpegErrorJump {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

struct JpegStreamSource {
    jpeg_source_mgr pub;
    StreamIo* stream;
    int64_t left;
    JOCTET* buffer;
    boolean startOfFile;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

}  // namespace

void JpegErrorExitJump(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    longjmp(reinterpret_cast<JpegErrorJump*>(cinfo->err)->jump, 1);
}

void InitJpegStreamSource(j_decompress_ptr cinfo) {
    reinterpret_cast<JpegStreamSource*>(cinfo->src)->startOfFile = TRUE;
}

boolean FillJpegStreamBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<JpegStreamSource*>(cinfo->src);
    size_t want = kJpegBufferSize;
    if (src->left < static_cast<int64_t>(want))
        want = static_cast<size_t>(src->left > 0 ? src->left : 0);
    const size_t got = StreamReadSome(src->stream, src->buffer, want);
    if (got == 0) {
        if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // An end-of-image marker lets a cut file finish with what it has.
        src->pub.next_input_byte = kEndOfImage;
        src->pub.bytes_in_buffer = 2;
        return TRUE;
    }
    src->left -= static_cast<int64_t>(got);
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = got;
    src->startOfFile = FALSE;
    return TRUE;
}

void SkipJpegStreamData(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<JpegStreamSource*>(cinfo->src);
    if (count <= 0) return;
    while (count > static_cast<long>(src->pub.bytes_in_buffer)) {
        count -= static_cast<long>(src->pub.bytes_in_buffer);
        FillJpegStreamBuffer(cinfo);
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= static_cast<size_t>(count);
}

void TermJpegStreamSource(j_decompress_ptr) {}

void SetJpegStreamSource(j_decompress_ptr cinfo, StreamIo* stream) {
    if (cinfo->src == nullptr) {
        auto* src = static_cast<JpegStreamSource*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(JpegStreamSource)));
        src->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kJpegBufferSize));
        cinfo->src = &src->pub;
    }
    auto* src = reinterpret_cast<JpegStreamSource*>(cinfo->src);
    src->pub.init_source = InitJpegStreamSource;
    src->pub.fill_input_buffer = FillJpegStreamBuffer;
    src->pub.skip_input_data = SkipJpegStreamData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermJpegStreamSource;
    src->stream = stream;
    src->left = StreamRemaining(stream);
    if (src->left < 0) src->left = 0;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
}

int DecodeJpegImage(StreamIo* stream, GraphImage* image) {
    jpeg_decompress_struct cinfo{};
    JpegErrorJump err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JpegErrorExitJump;
    // libjpeg's own messages would go to stderr; a file that is not a JPEG is no news.
    err.pub.output_message = [](j_common_ptr) {};
    uint8_t* volatile pixels = nullptr;
    if (setjmp(err.jump)) {
        FreeTagged(pixels);
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kJpegMemoryCap;
    SetJpegStreamSource(&cinfo, stream);
    const int64_t inputBytes = reinterpret_cast<JpegStreamSource*>(cinfo.src)->left;
    jpeg_read_header(&cinfo, TRUE);
    // Sides and area are judged from the header, before jpeg_start_decompress sets up the frame.
    if (cinfo.image_width == 0 || cinfo.image_width > static_cast<JDIMENSION>(kGraphImageMaxSide) ||
        cinfo.image_height == 0 ||
        cinfo.image_height > static_cast<JDIMENSION>(kGraphImageMaxSide) ||
        !AreaFitsInput(cinfo.image_width, cinfo.image_height, inputBytes, kJpegPixelsPerByte)) {
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    // Four components: ask for RGB; libjpeg refuses (and the decode fails) where it cannot.
    if (cinfo.num_components == 4) cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const int components = cinfo.output_components;
    if ((components != 1 && components != 3) || cinfo.output_width == 0 ||
        cinfo.output_width > static_cast<JDIMENSION>(kGraphImageMaxSide) ||
        cinfo.output_height == 0 ||
        cinfo.output_height > static_cast<JDIMENSION>(kGraphImageMaxSide)) {
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    const size_t rowBytes =
        static_cast<size_t>(cinfo.output_width) * static_cast<size_t>(components);
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                static_cast<JDIMENSION>(rowBytes), 1);
    pixels = static_cast<uint8_t*>(
        AllocTaggedZeroed(rowBytes * cinfo.output_height, __FILE__, __LINE__));
    if (pixels == nullptr) {
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION y = cinfo.output_scanline;
        if (jpeg_read_scanlines(&cinfo, row, 1) != 1) break;
        uint8_t* d = pixels + static_cast<size_t>(y) * rowBytes;
        if (components == 1) {
            std::memcpy(d, row[0], rowBytes);
        } else {
            for (size_t x = 0; x < rowBytes; x += 3) {
                d[x] = row[0][x + 2];
                d[x + 1] = row[0][x + 1];
                d[x + 2] = row[0][x];
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    std::memset(image, 0, sizeof *image);
    if (components == 3) {
        SetRgb24Format(&image->format);
    } else {
        SetGreyPaletteFormat(&image->format);
    }
    image->width = static_cast<int32_t>(cinfo.output_width);
    image->height = static_cast<int32_t>(cinfo.output_height);
    image->pitch = static_cast<int32_t>(rowBytes);
    image->pixels = pixels;
    jpeg_destroy_decompress(&cinfo);
    return 0;
}

}  // namespace tessra
