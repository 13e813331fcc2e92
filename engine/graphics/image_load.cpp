// The loader chain, loading a file or memory block into a GraphImage with its alpha companion,
// and passing images through DIBs.
#include <cstring>

#include "engine/base/file_access.h"
#include "engine/graphics/image_decode.h"
#include "engine/graphics/image_stream.h"

namespace tessra {

const ImageLoaderFunc ImageLoaderTable[] = {DecodeBmpImage,  DecodeJpegImage, DecodePngImage,
                                            DecodeBgraImage, DecodeTgaImage,  DecodeDdsImage,
                                            nullptr};

UserImageLoaders& GetUserImageLoaders() {
    static UserImageLoaders loaders{};
    return loaders;
}

int AddUserImageLoader(ImageLoaderFunc loader) {
    UserImageLoaders& u = GetUserImageLoaders();
    if (loader == nullptr || u.count >= kMaxUserImageLoaders) return -1;
    u.loaders[u.count++] = loader;
    return 0;
}

int DecodeImageStream(StreamIo* stream, GraphImage* image) {
    const UserImageLoaders& u = GetUserImageLoaders();
    for (int32_t i = 0; i < u.count; ++i) {
        stream->Seek(stream->handle, 0, kSeekSet);
        if (u.loaders[i](stream, image) == 0) return 0;
    }
    for (const ImageLoaderFunc* l = ImageLoaderTable; *l != nullptr; ++l) {
        stream->Seek(stream->handle, 0, kSeekSet);
        if ((*l)(stream, image) == 0) return 0;
    }
    return -1;
}

int LoadImageToGraphImage(const char* fileName, const void* memData, uint32_t memSize,
                          int fromMemory, int wantDib, int mirror, GraphImage* outImage,
                          plat::BitmapInfo** outDibHeader, void** outDibBits) {
    StreamIo stream{};
    if (fromMemory) {
        const StreamHandle h = OpenMemStream(memData, memSize);
        if (h == 0) return -1;
        stream = MakeStreamIo(GetMemStreamFuncs(), h);
    } else {
        const StreamHandle h = OpenViaFileTable(fileName, 0, 1);
        if (h == 0) return -1;
        stream = MakeStreamIo(GetFileStreamFuncs(), h);
    }
    GraphImage image{};
    const int decoded = DecodeImageStream(&stream, &image);
    stream.Close(stream.handle);
    if (decoded != 0) return -1;

    if (mirror == 1) {
        const size_t size = static_cast<size_t>(image.pitch) * static_cast<size_t>(image.height);
        auto* flipped = static_cast<uint8_t*>(AllocTagged(size, __FILE__, __LINE__));
        if (flipped == nullptr) {
            FreeGraphImage(&image);
            return -1;
        }
        const Rect r{0, 0, image.width, image.height};
        ConvertRectPixels(flipped, image.pitch, &image.format, image.pixels, image.pitch,
                          &image.format, nullptr, 0, nullptr, 0, 0, &r, 1, 0, 0, 0, 0, 0, 0);
        if (image.format.bitDepth == 8) {
            // 8-bit pixels take the index copy, which has no mirror; mirror the copy in place.
            GraphImage copy = image;
            copy.pixels = flipped;
            FlipGraphImageHorizontal(&copy);
        }
        FreeTagged(image.pixels);
        image.pixels = flipped;
    }

    if (wantDib == 1) {
        auto* header = static_cast<plat::BitmapInfo*>(
            AllocTaggedZeroed(sizeof(plat::BitmapInfo), __FILE__, __LINE__));
        if (header == nullptr) {
            FreeGraphImage(&image);
            return -1;
        }
        void* bits = nullptr;
        const int made = BuildDibFromGraphImage(&image, header, &bits, 0, 0);
        if (made < 0) {
            FreeTagged(header);
            FreeGraphImage(&image);
            return -1;
        }
        if (made == 1) FreeGraphImage(&image);  // the DIB has its own copy
        *outDibHeader = header;
        *outDibBits = bits;
        return 0;
    }
    *outImage = image;
    return 0;
}

int MakeAlphaFileName(const char* fileName, char* out, size_t outSize) {
    const size_t len = std::strlen(fileName);
    const char* dot = std::strrchr(fileName, '.');
    const size_t stem = dot != nullptr ? static_cast<size_t>(dot - fileName) : len;
    if (len + 3 > outSize) return -1;
    std::memcpy(out, fileName, stem);
    out[stem] = '_';
    out[stem + 1] = 'a';
    std::memcpy(out + stem + 2, fileName + stem, len - stem + 1);
    return 0;
}

int LoadImageWithAlphaFile(const char* fileName, const void* memData, uint32_t memSize,
                           int fromMemory, const void* alphaData, uint32_t alphaSize,
                           int alphaSource, GraphImage* outImage, GraphImage* outAlphaImage,
                           int mirror) {
    if (LoadImageToGraphImage(fileName, memData, memSize, fromMemory, 0, mirror, outImage, nullptr,
                              nullptr) != 0) {
        return -1;
    }
    if ((alphaSource == 1 && alphaData == nullptr) || (alphaSource != 0 && alphaSource != 1)) {
        return 1;
    }
    if (alphaSource == 1) {
        return LoadImageToGraphImage(nullptr, alphaData, alphaSize, 1, 0, mirror, outAlphaImage,
                                     nullptr, nullptr) == 0
                   ? 0
                   : 1;
    }
    if (fileName == nullptr) return 1;
    char alphaName[kFilePathMax];
    if (MakeAlphaFileName(fileName, alphaName, sizeof alphaName) != 0) return 1;
    return LoadImageToGraphImage(alphaName, nullptr, 0, 0, 0, mirror, outAlphaImage, nullptr,
                                 nullptr) == 0
               ? 0
               : 1;
}

int BuildDibFromGraphImage(const GraphImage* image, plat::BitmapInfo* outHeader, void** outBits,
                           int reuse, int force24) {
    std::memset(outHeader, 0, sizeof *outHeader);
    plat::BitmapInfoHeader& h = outHeader->header;
    h.size = 40;
    h.width = image->width;
    h.height = -image->height;
    h.planes = 1;
    h.compression = plat::BI_RGB;
    const ColorFormat& f = image->format;
    const bool eight = f.bitDepth == 8 && force24 != 1;
    h.bitCount = eight ? 8 : 24;
    const int32_t stride = eight ? (image->width + 3) & ~3 : (3 * image->width + 3) & ~3;
    if (eight) std::memcpy(outHeader->colors, f.palette, sizeof f.palette);
    const bool rgb24 =
        f.bitDepth == 24 && f.redMask == 0xFF0000 && f.greenMask == 0xFF00 && f.blueMask == 0xFF;
    if ((eight || rgb24) && reuse != 1 && image->pitch == stride) {
        *outBits = image->pixels;
        return reuse;
    }
    const size_t size = static_cast<size_t>(stride) * static_cast<size_t>(image->height);
    auto* bits = static_cast<uint8_t*>(AllocTaggedZeroed(size, __FILE__, __LINE__));
    if (bits == nullptr) return -1;
    if (eight || rgb24) {
        const size_t row = static_cast<size_t>(eight ? image->width : 3 * image->width);
        for (int32_t y = 0; y < image->height; ++y) {
            std::memcpy(bits + static_cast<size_t>(y) * stride,
                        image->pixels + static_cast<size_t>(y) * image->pitch, row);
        }
    } else {
        ColorFormat target{};
        SetRgb24Format(&target);
        const Rect r{0, 0, image->width, image->height};
        ConvertRectPixels(bits, stride, &target, image->pixels, image->pitch, &f, nullptr, 0,
                          nullptr, 0, 0, &r, 0, 0, 0, 0, 0, 0, 0);
    }
    *outBits = bits;
    return 1;
}

plat::DibSection* TransferGraphImageViaDib(const plat::BitmapInfo* source, const void* sourceBits,
                                           int mirror, const ColorFormat* targetFormat) {
    plat::BitmapInfo target{};
    target.header.size = 40;
    target.header.width = source->header.width;
    const int32_t rows = source->header.height < 0 ? -source->header.height : source->header.height;
    target.header.height = -rows;
    target.header.planes = 1;
    target.header.compression = plat::BI_RGB;
    target.header.bitCount = 24;
    if (targetFormat != nullptr &&
        (targetFormat->bitDepth == 16 ||
         (targetFormat->bitDepth == 32 && source->header.bitCount != 24))) {
        target.header.bitCount = targetFormat->bitDepth;
        target.header.compression = plat::BI_BITFIELDS;
        plat::SetDibMasks(&target, targetFormat->redMask, targetFormat->greenMask,
                          targetFormat->blueMask);
    }
    plat::DibSection* section = plat::CreateDIBSection(&target);
    if (section == nullptr) return nullptr;
    const int64_t size = plat::DibStride(source->header.width, source->header.bitCount) * rows;
    if (size <= 0 ||
        plat::StretchDIBits(section, source, sourceBits, static_cast<size_t>(size), mirror) == 0) {
        plat::DeleteObject(section);
        return nullptr;
    }
    return section;
}

}  // namespace tessra
