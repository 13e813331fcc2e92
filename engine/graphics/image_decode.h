// Image decoding: every picture starts as a file or memory block decoded into a GraphImage by
// a chain of loaders that read only through a StreamIo, so plain files, archive members and
// memory blocks decode alike. The content decides the format, never the file name.
#pragma once

#include <cstdint>

#include "engine/base/stream.h"
#include "engine/graphics/graph_image.h"
#include "platform/gdi/dib.h"

namespace tessra {

// 0 when it recognised the data and filled the image; -1 (not its format, or a failure) with
// nothing left allocated.
using ImageLoaderFunc = int (*)(StreamIo* stream, GraphImage* image);

inline constexpr int kMaxUserImageLoaders = 10;

// Loaders registered by the program, tried before the built-in ones.
struct UserImageLoaders {
    ImageLoaderFunc loaders[kMaxUserImageLoaders];
    int32_t count;
};
UserImageLoaders& GetUserImageLoaders();
// 0, or -1 when all ten places are taken.
int AddUserImageLoader(ImageLoaderFunc loader);

// The built-in loaders in the order they are tried, ended by a null entry.
extern const ImageLoaderFunc ImageLoaderTable[];

// "BGRA" raw image: magic, channel-size code, width, height, then top-down pixels.
inline constexpr uint32_t kBgraCode8 = 0x08080808;
inline constexpr uint32_t kBgraCode16 = 0x10101010;

int DecodeBmpImage(StreamIo* stream, GraphImage* image);
int DecodeJpegImage(StreamIo* stream, GraphImage* image);
int DecodePngImage(StreamIo* stream, GraphImage* image);
int DecodeBgraImage(StreamIo* stream, GraphImage* image);
int DecodeTgaImage(StreamIo* stream, GraphImage* image);
int DecodeDdsImage(StreamIo* stream, GraphImage* image);

// The loader chain: user loaders, then the table, each from the stream's start. 0 or -1.
int DecodeImageStream(StreamIo* stream, GraphImage* image);

// Decodes a file (through the file-access table) or a memory block. mirror 1 mirrors the
// pixels left-right. With wantDib 1 the result is a DIB: *outDibHeader is a new block (free it
// with FreeTagged) and *outDibBits either the decoded pixels or a new block (free it too);
// otherwise *outImage receives the image and the caller owns its pixels. 0 or -1.
int LoadImageToGraphImage(const char* fileName, const void* memData, uint32_t memSize,
                          int fromMemory, int wantDib, int mirror, GraphImage* outImage,
                          plat::BitmapInfo** outDibHeader, void** outDibBits);

// Loads the image and its alpha companion: from alphaData when alphaSource is 1, else the file
// named with "_a" before the last '.' of the whole name (appended without one). -1 when the
// image fails; 0 when an alpha image was loaded too; 1 when there is none.
int LoadImageWithAlphaFile(const char* fileName, const void* memData, uint32_t memSize,
                           int fromMemory, const void* alphaData, uint32_t alphaSize,
                           int alphaSource, GraphImage* outImage, GraphImage* outAlphaImage,
                           int mirror);
// The companion name of fileName into out (outSize bytes). -1 when it does not fit.
int MakeAlphaFileName(const char* fileName, char* out, size_t outSize);

// A DIB of the image: 8-bit top-down with the palette for 8-bit images (unless force24), else
// 24-bit top-down. -1 (no memory), 1 (new bits: the caller frees them with FreeTagged) or the
// reuse flag (the image's own pixels handed out). *outHeader must point at room for a
// BitmapInfo.
int BuildDibFromGraphImage(const GraphImage* image, plat::BitmapInfo* outHeader, void** outBits,
                           int reuse, int force24);
// A DIB section in the target format (16 or 32 bits with its masks; none: 24 bits) with the DIB
// drawn into it, mirrored when asked. The caller reads it and deletes it with DeleteObject.
plat::DibSection* TransferGraphImageViaDib(const plat::BitmapInfo* source, const void* sourceBits,
                                           int mirror, const ColorFormat* targetFormat);

}  // namespace tessra
