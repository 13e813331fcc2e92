// A rectangle of the draw target written as an uncompressed BMP file: 8-bit with the display
// palette, else 24-bit, rows bottom-up.
#include <cstring>

#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/d3d/d3d.h"
#include "engine/graphics/draw_state.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_internal.h"
#include "engine/screen/screen_state.h"
#include "engine/screen/surface2d.h"
#include "platform/win/file.h"

namespace tessra {

using namespace sjis_literals;

namespace {

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Channel bits moved to the top of a byte, the low bits left 0.
uint8_t ChannelByte(uint32_t pixel, uint32_t mask, uint8_t shift, uint8_t width) {
    if (width == 0) return 0;
    const uint32_t v = (pixel & mask) >> shift;
    return static_cast<uint8_t>(width >= 8 ? v >> (width - 8) : v << (8 - width));
}

bool WriteAll(plat::FileHandle file, const void* data, uint32_t size) {
    uint32_t written = 0;
    return plat::WriteFile(file, data, size, &written) != 0 && written == size;
}

}  // namespace

int WriteScreenRectToBmp(int left, int top, int right, int bottom, const char* fileName) {
    ScreenStateRecord& s = GetScreenState();
    if (!s.noDirectDraw && s.directDraw == nullptr) return -1;
    if (fileName == nullptr) return -1;
    WaitWhileInactiveHost();
    if (s.initialized) EndSceneCurrent();
    FlushCurrentVertexBatch();

    const Rect& area = DrawState.DrawArea;
    if (left < area.left) left = area.left;
    if (top < area.top) top = area.top;
    if (right > area.right) right = area.right;
    if (bottom > area.bottom) bottom = area.bottom;
    if (right <= left || bottom <= top) return -1;
    const int width = right - left;
    const int height = bottom - top;

    // The source: a memory image, or a locked surface.
    const uint8_t* pixels = nullptr;
    int32_t pitch = 0;
    const ColorFormat* format = nullptr;
    plat::DirectDrawSurface* locked = nullptr;
    plat::DirectDrawSurface* surface = ScreenTargetSurface();
    MEMIMG* image = ScreenTargetMemImg();
    if (s.memImgScreens || surface == nullptr) {
        if (DrawState.drawTarget == kFrontScreen && s.memImgScreens) ReadScreenPixels();
        if (image == nullptr || !IsMemImgValid(image)) return -1;
        format = image->format;
        pitch = image->pitch;
        pixels = image->pixels + static_cast<ptrdiff_t>(top) * pitch +
                 static_cast<ptrdiff_t>(left) * format->bytesPerPixel;
    } else {
        int x = left, y = top;
        plat::DirectDrawSurface* read = surface;
        if ((surface->Caps() & plat::DDSCAPS_VIDEOMEMORY) != 0 && s.work1 != nullptr) {
            int ox = 0, oy = 0;
            if (s.windowMode && surface == s.primary) ScreenClientOrigin(&ox, &oy);
            const Rect from = {left + ox, top + oy, right + ox, bottom + oy};
            BltSurfaceByGdi(s.work1, surface, 0, 0, &from, static_cast<int>(s.presentMethod));
            read = s.work1;
            x = 0;
            y = 0;
        }
        plat::DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (plat::DDFailed(
                read->Lock(nullptr, &desc, plat::DDLOCK_READONLY | plat::DDLOCK_WAIT, nullptr))) {
            AppendLog("作業用サーフェスのロックに失敗しました\n"_sjis);
            return -1;
        }
        locked = read;
        format = &s.screenFormat;
        pitch = desc.lPitch;
        pixels = static_cast<const uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(y) * pitch +
                 static_cast<ptrdiff_t>(x) * format->bytesPerPixel;
    }
    auto unlock = [&] {
        if (locked != nullptr) locked->Unlock(nullptr);
    };

    // The file's depth follows the source's own format.
    const int sourceBits = format->bitDepth;
    if (sourceBits != 8 && sourceBits != 16 && sourceBits != 32) {
        unlock();
        return 0;
    }
    const int outBits = sourceBits == 8 ? 8 : 24;
    const uint32_t headerSize = outBits == 8 ? 40 + 1024 : 40;
    const uint32_t rowSize = (static_cast<uint32_t>(width) * (outBits / 8) + 3) & ~3u;
    const uint32_t pixelSize = rowSize * static_cast<uint32_t>(height);

    uint8_t* header = static_cast<uint8_t*>(AllocTaggedZeroed(headerSize, __FILE__, __LINE__));
    if (header == nullptr) {
        AppendLog("BITMAPINFO構造体用メモリの確保に失敗しました\n"_sjis);
        unlock();
        return -1;
    }
    uint8_t* block = static_cast<uint8_t*>(AllocTaggedZeroed(pixelSize, __FILE__, __LINE__));
    if (block == nullptr) {
        AppendLog("グラフィック保存用メモリの確保に失敗しました\n"_sjis);
        FreeTagged(header);
        unlock();
        return -1;
    }
    Put32(header, 40);
    Put32(header + 4, static_cast<uint32_t>(width));
    Put32(header + 8, static_cast<uint32_t>(height));
    Put16(header + 12, 1);
    Put16(header + 14, static_cast<uint32_t>(outBits));
    if (outBits == 8) {
        if (s.palette != nullptr) s.palette->GetEntries(0, 0, 256, s.paletteEntries);
        for (int i = 0; i < 256; ++i) {
            uint8_t* q = header + 40 + 4 * i;
            q[0] = s.paletteEntries[i].peBlue;
            q[1] = s.paletteEntries[i].peGreen;
            q[2] = s.paletteEntries[i].peRed;
            q[3] = 0;
        }
    }
    for (int row = 0; row < height; ++row) {
        const uint8_t* from = pixels + static_cast<ptrdiff_t>(row) * pitch;
        uint8_t* to = block + static_cast<size_t>(height - 1 - row) * rowSize;
        if (sourceBits == 8) {
            std::memcpy(to, from, static_cast<size_t>(width));
        } else if (sourceBits == 32) {
            for (int x = 0; x < width; ++x) std::memcpy(to + 3 * x, from + 4 * x, 3);
        } else {
            for (int x = 0; x < width; ++x) {
                const uint32_t p = static_cast<uint32_t>(from[2 * x]) |
                                   (static_cast<uint32_t>(from[2 * x + 1]) << 8);
                to[3 * x] = ChannelByte(p, format->blueMask, format->blueShift, format->blueWidth);
                to[3 * x + 1] =
                    ChannelByte(p, format->greenMask, format->greenShift, format->greenWidth);
                to[3 * x + 2] = ChannelByte(p, format->redMask, format->redShift, format->redWidth);
            }
        }
    }
    unlock();

    uint8_t fileHeader[14] = {'B', 'M'};
    Put32(fileHeader + 2, 14 + headerSize + pixelSize);
    Put32(fileHeader + 10, 14 + headerSize);

    plat::DeleteFileA(fileName);
    plat::FileHandle file = plat::CreateFileA(fileName, plat::GENERIC_WRITE, 0, nullptr,
                                              plat::CREATE_NEW, plat::FILE_ATTRIBUTE_NORMAL);
    int result = -1;
    if (file == plat::INVALID_HANDLE_VALUE) {
        AppendLog("ＢＭＰセーブ用ファイルのオープンに失敗しました\n"_sjis);
    } else {
        const bool ok = WriteAll(file, fileHeader, sizeof fileHeader) &&
                        WriteAll(file, header, headerSize) && WriteAll(file, block, pixelSize);
        const bool closed = plat::CloseHandle(file) != 0;
        if (ok && closed) {
            result = 0;
        } else {
            // A partly written picture is worse than none.
            plat::DeleteFileA(fileName);
        }
    }
    FreeTagged(block);
    FreeTagged(header);
    return result;
}

}  // namespace tessra
