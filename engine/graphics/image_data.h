// Image data records: the reference-counted owner of one graph piece's pixels, a DirectDraw
// surface, a Direct3D texture surface or a MEMIMG in system memory, with an optional depth
// buffer. Piece records name them by image-data handles.
#pragma once

#include <cstdint>

#include "engine/graphics/color_format.h"
#include "engine/screen/memimg.h"

namespace plat {
class DirectDraw;
class DirectDrawSurface;  // the DirectDraw stand-in's surface
}  // namespace plat

namespace tessra {

inline constexpr int32_t kImageDataMax = 65536;

// The eight format bytes the creator gives.
struct ImageDataFormat {
    uint8_t texture;       // the pixels are a Direct3D texture surface
    uint8_t alpha;         // the pixels carry alpha
    uint8_t drawValid;     // the pixels can be drawn into
    uint8_t systemMemory;  // the surface lives (or is to live) in system memory
    uint8_t alphaTest;
    uint8_t colorBits;      // 16 or 32 (8 on an 8-bit screen)
    uint8_t singleChannel;  // one 8-bit channel (MEMIMG kind 2)
    uint8_t paletted;       // an 8-bit paletted source
};

enum : int32_t {
    kPixelFormatPlainSurface = 9,
    kPixelFormatMemImg16 = 10,
    kPixelFormatMemImg16Alpha = 11,
    kPixelFormatMemImg32 = 12,
    kPixelFormatMemImg32Alpha = 13,
};

struct ImageDataRecord {
    uint32_t check;
    int32_t* lostFlag;  // 1 is stored through it when the record is deleted
    ImageDataFormat format;
    int32_t usesMemImg;       // 1: the pixels are memImg, not a surface
    int32_t pixelFormatCode;  // texture format index, 9 for a plain surface, 10..13 for a MEMIMG
    int32_t depthBuffer;      // 1 when a depth buffer is attached
    plat::DirectDrawSurface* surface;
    MEMIMG memImg;
    plat::DirectDrawSurface* depthSurface;
    MEMIMG depthMemImg;
    uint32_t colorKey;  // 0xRRGGBB
    uint16_t width;
    uint16_t height;
    int32_t refCount;
    int32_t lockedPitch;
    uint8_t* lockedPixels;
    int32_t lockCount;
    Rect lockedRect;  // the outermost lock's rectangle
};

struct ImageDataTable {
    ImageDataRecord* records[kImageDataMax];
    int32_t count;
    int32_t nextSlot;
    int32_t checkCounter;
};
ImageDataTable& GetImageDataTable();

// What records read of the screens. The screens keep it current; until they exist it describes
// a window-mode screen in software mode (no DirectDraw). The transparent colour of new records
// is the draw state's.
struct ImageDataContext {
    plat::DirectDraw* directDraw;  // the screens' DirectDraw object, or null
    int32_t noDirectDraw;          // 1: software mode, no DirectDraw at all
    int32_t windowMode;            // the screens are in window mode
    int32_t screenColorBits;       // 8, 16 or 32: the display's depth
    int32_t workingColorBits;      // the depth graphs are drawn in; 0 while unset (16)
    int32_t screenWidth;           // the screen mode; 0 while unset (640 x 480)
    int32_t screenHeight;
    ColorFormat screenFormat;  // the screen's pixels: plain surfaces and their keys
};

// The screen's size and working depth as graphs see them: 640 x 480 and 16 bits while unset.
inline int32_t ScreenWidthForGraphs(const ImageDataContext& c) {
    return c.screenWidth > 0 ? c.screenWidth : 640;
}
inline int32_t ScreenHeightForGraphs(const ImageDataContext& c) {
    return c.screenHeight > 0 ? c.screenHeight : 480;
}
inline int32_t WorkingBitsForGraphs(const ImageDataContext& c) {
    return c.workingColorBits > 0 ? c.workingColorBits : 16;
}
ImageDataContext& GetImageDataContext();

// Handle, or -1 (table full, no memory, surface creation failed).
int32_t AddImageData(int32_t refCount, uint16_t width, uint16_t height, uint32_t colorKey,
                     const ImageDataFormat* format);
int ReleaseImageData(int32_t handle);
int32_t AddImageDataRef(int32_t handle);      // new count, or -1
int32_t ReleaseImageDataRef(int32_t handle);  // new count, or -1; never deletes
ImageDataRecord* GetImageDataRecord(int32_t handle);
int CreateImageSurface(int32_t handle);
int ReleaseImageSurface(int32_t handle);
// The surface colour key is the value the pixel converter writes for the key colour, so that
// pixels loaded in that colour match it bit for bit (5:5:5 pixels leave their unused bit clear).
int SetImageColorKey(int32_t handle);
// The pixel value the converter writes for a 0xRRGGBB colour in the format.
uint32_t ConvertedPixelOf(const ColorFormat* format, uint32_t rgb);
int CreateImageZBuffer(int32_t handle, int32_t flag);
// 0, -2 when already locked (the pointer is that of the new rectangle), -1 on failure.
int LockImageSurface(int32_t handle, int32_t* outPitch, uint8_t** outPixels, int32_t writeOnly,
                     const Rect* rect, ColorFormat* outFormat);
int UnlockImageSurface(int32_t handle, const Rect* rect);
int FillImageSurface(int32_t handle, int red, int green, int blue, int alpha);
int RestoreImageSurfaceIfLost(int32_t handle);

}  // namespace tessra
