// The display's mode table and the presenter: the picture of the primary surface or of a
// window's GDI copies goes to the SDL window through one streaming texture.
#include "platform/ddraw/display.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/testing.h"
#include "platform/win/internal.h"
#include "platform/win/thread.h"
#include "platform/win/window.h"

namespace plat {
namespace {

// The sizes of the game's window-size table; each is offered at 16 and 32 bits.
constexpr struct {
    int32_t width, height;
} kModeSizes[] = {{320, 240},   {640, 480},   {800, 600},   {1024, 768},
                  {1280, 1024}, {1600, 1200}, {1920, 1080}, {1920, 1200}};

struct Refusal {
    int32_t width, height, bits;
    testing::ModeRefusal how;
};

std::mutex g_modeMutex;
std::vector<Refusal> g_refusals;
bool g_use555 = false;
bool g_settingsModeSet = false;
DisplayMode g_settingsMode{};

// How pictures reach the window: through SDL's renderer (a streaming texture that the graphics
// card scales) or through the window's own surface (scaled here, and only the rows that
// changed sent to the display). Chosen once, by what OpenGL runs on.
enum class PresentWay { kUnchosen, kRenderer, kSurface };

// Set from SDL's event watch when the window shows again what was covered: the surface way
// then sends the whole picture, not only what changed.
std::atomic<bool> g_exposed{false};

// The picture last shown and the SDL objects that show it. Main thread for SDL.
struct Presenter {
    std::mutex mutex;
    std::vector<uint8_t> picture;
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;
    DDPixelFormat format{};
    uint64_t count = 0;
    uint32_t costMicroseconds = 0;  // a test's present cost on the fake clock
    HWND window = nullptr;          // the window the picture belongs to
    bool fullScreen = false;
    SDL_Window* sdlWindow = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int32_t textureWidth = 0;
    int32_t textureHeight = 0;
    uint32_t textureFormat = 0;
    PresentWay way = PresentWay::kUnchosen;
    detail::ScaledOutput output;  // the surface way's copy of what the window shows
    SDL_Surface* surface = nullptr;
    void* surfacePixels = nullptr;
};

Presenter& P() {
    static Presenter* p = new Presenter();  // outlives static destruction order
    return *p;
}

uint32_t SdlFormatOf(const DDPixelFormat& f) {
    if (SamePixelFormat(f, kPixelFormat565)) return SDL_PIXELFORMAT_RGB565;
    if (SamePixelFormat(f, kPixelFormat555)) return SDL_PIXELFORMAT_RGB555;
    if (SamePixelFormat(f, kPixelFormatXrgb32)) return SDL_PIXELFORMAT_RGB888;
    return 0;
}

// Sizes the picture (zeroed when its size or format changes).
void ShapePicture(Presenter& p, int32_t width, int32_t height, const DDPixelFormat& format) {
    if (p.width == width && p.height == height && SamePixelFormat(p.format, format) &&
        !p.picture.empty()) {
        return;
    }
    const int bpp = static_cast<int>(format.rgbBitCount / 8);
    p.width = width;
    p.height = height;
    p.format = format;
    p.pitch = width * bpp;
    p.picture.assign(static_cast<size_t>(p.pitch) * static_cast<size_t>(height), 0);
}

void ReleaseSdl(Presenter& p) {
    if (p.texture != nullptr) SDL_DestroyTexture(p.texture);
    if (p.renderer != nullptr) SDL_DestroyRenderer(p.renderer);
    p.texture = nullptr;
    p.renderer = nullptr;
    p.sdlWindow = nullptr;
    p.textureWidth = p.textureHeight = 0;
    p.textureFormat = 0;
}

// Whether OpenGL here draws on a graphics card. Mesa's software rasterisers (llvmpipe,
// softpipe: an X server without a card, Xvfb) would scale and send the picture on the CPU at
// several times the cost of the window surface's own copy.
bool OpenGlOnGraphicsCard() {
    SDL_Window* probe = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (probe == nullptr) return false;
    bool card = false;
    if (SDL_GLContext context = SDL_GL_CreateContext(probe)) {
        using GetString = const unsigned char* (*)(unsigned);
        const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
        constexpr unsigned kGlRenderer = 0x1F01;
        const auto* name =
            getString != nullptr ? reinterpret_cast<const char*>(getString(kGlRenderer)) : nullptr;
        card = name != nullptr && std::strstr(name, "llvmpipe") == nullptr &&
               std::strstr(name, "softpipe") == nullptr &&
               std::strstr(name, "Software Rasterizer") == nullptr;
        SDL_GL_DeleteContext(context);
    }
    SDL_DestroyWindow(probe);
    return card;
}

int WatchExposure(void*, SDL_Event* event) {
    if (event->type == SDL_WINDOWEVENT && event->window.event == SDL_WINDOWEVENT_EXPOSED)
        g_exposed.store(true);
    return 0;
}

// TESSRA_PRESENT=renderer or =surface chooses the way by hand (to compare them); otherwise the
// renderer where a graphics card scales, the window surface elsewhere.
PresentWay ChoosePresentWay() {
    const char* forced = std::getenv("TESSRA_PRESENT");
    if (forced != nullptr && std::strcmp(forced, "renderer") == 0) return PresentWay::kRenderer;
    if (forced != nullptr && std::strcmp(forced, "surface") == 0) return PresentWay::kSurface;
    return OpenGlOnGraphicsCard() ? PresentWay::kRenderer : PresentWay::kSurface;
}

// The surface way: the window's own surface, written here. False when the surface cannot be
// had or is not 32-bit XRGB; the renderer then takes over for good.
bool ShowOnSurface(Presenter& p, SDL_Window* sdl) {
    SDL_Surface* s = SDL_GetWindowSurface(sdl);
    if (s == nullptr || s->format->BytesPerPixel != 4 || s->format->Rmask != 0xFF0000 ||
        s->format->Gmask != 0xFF00 || s->format->Bmask != 0xFF || s->format->Amask != 0) {
        return false;
    }
    const bool exposed = g_exposed.exchange(false);
    const bool whole = exposed || s != p.surface || s->pixels != p.surfacePixels;
    p.surface = s;
    p.surfacePixels = s->pixels;
    if (SDL_MUSTLOCK(s) && SDL_LockSurface(s) != 0) return true;
    const std::vector<detail::FitRect> written =
        detail::UpdateScaledOutput(p.output, p.picture.data(), p.width, p.height, p.pitch, p.format,
                                   static_cast<uint8_t*>(s->pixels), s->w, s->h, s->pitch, whole);
    if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
    std::vector<SDL_Rect> rects;
    rects.reserve(written.size());
    for (const detail::FitRect& r : written) rects.push_back(SDL_Rect{r.x, r.y, r.width, r.height});
    // Sent even with nothing changed: the present is then a round trip to the display, as a
    // present of the same picture would be.
    SDL_UpdateWindowSurfaceRects(sdl, rects.data(), static_cast<int>(rects.size()));
    return true;
}

bool CreateRenderer(Presenter& p, SDL_Window* sdl) {
    p.renderer = SDL_CreateRenderer(sdl, -1, SDL_RENDERER_ACCELERATED);
    if (p.renderer == nullptr) p.renderer = SDL_CreateRenderer(sdl, -1, 0);
    return p.renderer != nullptr;
}

// Shows the picture, scaled to the window's output. Only the thread that runs SDL video may
// do this; elsewhere the picture waits for the next present.
void Show(Presenter& p) {
    if (!HasDisplay() || p.window == nullptr || p.width <= 0 || p.height <= 0) return;
    if (GetCurrentThreadId() != detail::VideoThreadId()) return;
    SDL_Window* sdl = GetSdlWindow(p.window);
    if (sdl == nullptr) return;
    if (p.way == PresentWay::kUnchosen) {
        p.way = ChoosePresentWay();
        if (p.way == PresentWay::kSurface) {
            // SDL would otherwise put a renderer behind the window's surface itself, the very
            // cost this way avoids (the environment's SDL_FRAMEBUFFER_ACCELERATION still wins).
            SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
            SDL_AddEventWatch(&WatchExposure, nullptr);
        }
    }
    if (sdl != p.sdlWindow) {
        ReleaseSdl(p);
        if (p.way == PresentWay::kRenderer && !CreateRenderer(p, sdl)) return;
        p.sdlWindow = sdl;
        p.surface = nullptr;
        detail::PlaceFullScreenWindow(sdl);
    }
    if (p.way == PresentWay::kSurface) {
        if (ShowOnSurface(p, sdl)) return;
        p.way = PresentWay::kRenderer;
    }
    if (p.renderer == nullptr && !CreateRenderer(p, sdl)) return;
    const uint32_t sdlFormat = SdlFormatOf(p.format);
    if (p.texture == nullptr || p.textureWidth != p.width || p.textureHeight != p.height ||
        p.textureFormat != sdlFormat) {
        if (p.texture != nullptr) SDL_DestroyTexture(p.texture);
        p.texture = SDL_CreateTexture(p.renderer, sdlFormat, SDL_TEXTUREACCESS_STREAMING, p.width,
                                      p.height);
        if (p.texture == nullptr) return;
        SDL_SetTextureScaleMode(p.texture, SDL_ScaleModeNearest);
        p.textureWidth = p.width;
        p.textureHeight = p.height;
        p.textureFormat = sdlFormat;
    }
    SDL_UpdateTexture(p.texture, nullptr, p.picture.data(), p.pitch);
    int ow = 0, oh = 0;
    SDL_GetRendererOutputSize(p.renderer, &ow, &oh);
    const detail::FitRect fit = detail::FitPictureToOutput(p.width, p.height, ow, oh);
    const SDL_Rect dst{fit.x, fit.y, fit.width, fit.height};
    SDL_SetRenderDrawColor(p.renderer, 0, 0, 0, 255);
    SDL_RenderClear(p.renderer);
    SDL_RenderCopy(p.renderer, p.texture, nullptr, &dst);
    SDL_RenderPresent(p.renderer);
}

// One more picture presented: counted, and a test's present cost taken from the fake clock.
void CountPresent(Presenter& p) {
    ++p.count;
    if (p.costMicroseconds != 0 && testing::IsFakeClock())
        testing::AdvanceFakeClockMicroseconds(p.costMicroseconds);
}

// Copies a rectangle of pixels into the picture at (dx, dy): row copies when the formats
// agree, else channel by channel into 32-bit XRGB.
void CopyIntoPicture(Presenter& p, const uint8_t* bits, int32_t pitch, const DDPixelFormat& f,
                     int32_t sx, int32_t sy, int32_t w, int32_t h, int32_t dx, int32_t dy) {
    const int sb = static_cast<int>((f.rgbBitCount + 7) / 8);
    const int db = static_cast<int>(p.format.rgbBitCount / 8);
    if (SamePixelFormat(f, p.format)) {
        for (int32_t y = 0; y < h; ++y) {
            std::memcpy(
                p.picture.data() + static_cast<int64_t>(dy + y) * p.pitch + int64_t{dx} * db,
                bits + static_cast<int64_t>(sy + y) * pitch + int64_t{sx} * sb,
                static_cast<size_t>(w) * static_cast<size_t>(db));
        }
        return;
    }
    const ChannelMask r = DescribeChannel(f.redMask);
    const ChannelMask g = DescribeChannel(f.greenMask);
    const ChannelMask b = DescribeChannel(f.blueMask);
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* s = bits + static_cast<int64_t>(sy + y) * pitch + int64_t{sx} * sb;
        auto* d =
            reinterpret_cast<uint32_t*>(p.picture.data() + static_cast<int64_t>(dy + y) * p.pitch) +
            dx;
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t v = ReadPixelBytes(s + int64_t{x} * sb, sb);
            d[x] = (ChannelTo8(v, r) << 16) | (ChannelTo8(v, g) << 8) | ChannelTo8(v, b);
        }
    }
}

// Full screen shows the picture scaled with bars: a point of the window becomes the picture's
// pixel under it, held to the picture's edges.
bool MapPointToPicture(HWND window, int* x, int* y) {
    int32_t pw = 0, ph = 0;
    {
        Presenter& p = P();
        std::lock_guard<std::mutex> lock(p.mutex);
        if (!p.fullScreen || window != p.window) return false;
        pw = p.width;
        ph = p.height;
    }
    SDL_Window* sdl = GetSdlWindow(window);
    if (sdl == nullptr || pw <= 0 || ph <= 0) return false;
    int ow = 0, oh = 0;
    SDL_GetWindowSize(sdl, &ow, &oh);
    if (ow <= 0 || oh <= 0) return false;
    const detail::FitRect fit = detail::FitPictureToOutput(pw, ph, ow, oh);
    if (fit.width <= 0 || fit.height <= 0) return false;
    const int64_t px = (int64_t{*x} - fit.x) * pw / fit.width;
    const int64_t py = (int64_t{*y} - fit.y) * ph / fit.height;
    *x = static_cast<int>(std::clamp<int64_t>(px, 0, pw - 1));
    *y = static_cast<int>(std::clamp<int64_t>(py, 0, ph - 1));
    return true;
}

}  // namespace

namespace detail {

bool DisplayModeAccepted(int32_t width, int32_t height, int32_t bits, int32_t refresh) {
    const int32_t desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    const int32_t desktopHeight = GetSystemMetrics(SM_CYSCREEN);
    const int32_t desktopBits = GetDeviceCaps(nullptr, BITSPIXEL);
    const int32_t desktopRefresh = GetDeviceCaps(nullptr, VREFRESH);
    bool listed = width == desktopWidth && height == desktopHeight && bits == desktopBits;
    if (bits == 16 || bits == 32) {
        for (const auto& size : kModeSizes) {
            listed = listed || (size.width == width && size.height == height);
        }
    }
    if (!listed) return false;
    if (refresh != 0 && refresh != 60 && refresh != desktopRefresh) return false;
    std::lock_guard<std::mutex> lock(g_modeMutex);
    for (const Refusal& r : g_refusals) {
        if (r.width != width || r.height != height || r.bits != bits) continue;
        if (r.how == testing::ModeRefusal::Always) return false;
        if (r.how == testing::ModeRefusal::WithRefresh && refresh != 0) return false;
    }
    return true;
}

DDPixelFormat DisplayFormatOfDepth(int32_t bits) {
    switch (bits) {
        case 8: {
            DDPixelFormat f{32, DDPF_RGB | DDPF_PALETTEINDEXED8, 0, 8, 0, 0, 0, 0};
            return f;
        }
        case 16: {
            std::lock_guard<std::mutex> lock(g_modeMutex);
            return g_use555 ? kPixelFormat555 : kPixelFormat565;
        }
        case 24:
            return MakeRgbPixelFormat(24, 0xFF0000, 0xFF00, 0xFF);
        default:
            return kPixelFormatXrgb32;
    }
}

void SetSettingsMode(const DisplayMode* mode) {
    std::lock_guard<std::mutex> lock(g_modeMutex);
    g_settingsModeSet = mode != nullptr;
    g_settingsMode = mode != nullptr ? *mode : DisplayMode{};
}

FitRect FitPictureToOutput(int32_t pw, int32_t ph, int32_t ow, int32_t oh) {
    if (pw <= 0 || ph <= 0 || ow <= 0 || oh <= 0) return FitRect{0, 0, 0, 0};
    const int32_t scale = std::min(ow / pw, oh / ph);
    int32_t w, h;
    if (scale >= 1) {
        w = pw * scale;
        h = ph * scale;
    } else if (static_cast<int64_t>(ow) * ph <= static_cast<int64_t>(oh) * pw) {
        w = ow;
        h = static_cast<int32_t>(static_cast<int64_t>(ph) * ow / pw);
    } else {
        h = oh;
        w = static_cast<int32_t>(static_cast<int64_t>(pw) * oh / ph);
    }
    return FitRect{(ow - w) / 2, (oh - h) / 2, w, h};
}

std::vector<FitRect> UpdateScaledOutput(ScaledOutput& o, const uint8_t* picture, int32_t pw,
                                        int32_t ph, int32_t pitch, const DDPixelFormat& format,
                                        uint8_t* out, int32_t ow, int32_t oh, int32_t outPitch,
                                        bool whole) {
    std::vector<FitRect> written;
    const FitRect fit = FitPictureToOutput(pw, ph, ow, oh);
    const int bpp = static_cast<int>(format.rgbBitCount / 8);
    if (fit.width <= 0 || fit.height <= 0 || (bpp != 2 && bpp != 4)) return written;
    const size_t rowBytes = static_cast<size_t>(pw) * static_cast<size_t>(bpp);
    if (o.pictureWidth != pw || o.pictureHeight != ph || !SamePixelFormat(o.format, format) ||
        o.outputWidth != ow || o.outputHeight != oh) {
        whole = true;
        o.pictureWidth = pw;
        o.pictureHeight = ph;
        o.format = format;
        o.outputWidth = ow;
        o.outputHeight = oh;
        // Pixel centres, as a graphics card samples the nearest texel.
        o.columns.resize(static_cast<size_t>(fit.width));
        for (int32_t x = 0; x < fit.width; ++x)
            o.columns[static_cast<size_t>(x)] =
                static_cast<int32_t>((int64_t{2} * x + 1) * pw / (int64_t{2} * fit.width));
        o.rows.resize(static_cast<size_t>(fit.height));
        for (int32_t y = 0; y < fit.height; ++y)
            o.rows[static_cast<size_t>(y)] =
                static_cast<int32_t>((int64_t{2} * y + 1) * ph / (int64_t{2} * fit.height));
        if (bpp == 2) {
            // Every 16-bit value once, widened as the rest of the layer widens channels.
            const ChannelMask r = DescribeChannel(format.redMask);
            const ChannelMask g = DescribeChannel(format.greenMask);
            const ChannelMask b = DescribeChannel(format.blueMask);
            o.widen.resize(65536);
            for (uint32_t v = 0; v < 65536; ++v)
                o.widen[v] = (ChannelTo8(v, r) << 16) | (ChannelTo8(v, g) << 8) | ChannelTo8(v, b);
        }
    }
    if (whole) {
        o.shown.assign(rowBytes * static_cast<size_t>(ph), 0);
        for (int32_t y = 0; y < oh; ++y)
            std::memset(out + static_cast<int64_t>(y) * outPitch, 0, static_cast<size_t>(ow) * 4);
    }
    // Which picture rows differ from what the output shows; the kept copy follows them.
    o.changed.assign(static_cast<size_t>(ph), 0);
    for (int32_t y = 0; y < ph; ++y) {
        const uint8_t* row = picture + static_cast<int64_t>(y) * pitch;
        uint8_t* kept = o.shown.data() + static_cast<size_t>(y) * rowBytes;
        if (whole || std::memcmp(row, kept, rowBytes) != 0) {
            std::memcpy(kept, row, rowBytes);
            o.changed[static_cast<size_t>(y)] = 1;
        }
    }
    const bool sameWidth = fit.width == pw;
    int32_t runStart = -1;
    for (int32_t y = 0; y <= fit.height; ++y) {
        const int32_t sy = y < fit.height ? o.rows[static_cast<size_t>(y)] : -1;
        if (sy < 0 || o.changed[static_cast<size_t>(sy)] == 0) {
            if (runStart >= 0)
                written.push_back({fit.x, fit.y + runStart, fit.width, y - runStart});
            runStart = -1;
            continue;
        }
        auto* dst =
            reinterpret_cast<uint32_t*>(out + static_cast<int64_t>(fit.y + y) * outPitch) + fit.x;
        if (runStart >= 0 && o.rows[static_cast<size_t>(y - 1)] == sy) {
            // A picture row shown more than once (scaled up): the row above is the same.
            std::memcpy(dst, reinterpret_cast<const uint8_t*>(dst) - outPitch,
                        static_cast<size_t>(fit.width) * 4);
        } else if (bpp == 4) {
            const auto* src = reinterpret_cast<const uint32_t*>(picture + int64_t{sy} * pitch);
            if (sameWidth) {
                std::memcpy(dst, src, rowBytes);
            } else {
                for (int32_t x = 0; x < fit.width; ++x)
                    dst[x] = src[o.columns[static_cast<size_t>(x)]];
            }
        } else {
            const auto* src = reinterpret_cast<const uint16_t*>(picture + int64_t{sy} * pitch);
            for (int32_t x = 0; x < fit.width; ++x)
                dst[x] = o.widen[src[sameWidth ? x : o.columns[static_cast<size_t>(x)]]];
        }
        if (runStart < 0) runStart = y;
    }
    // Many short bands cost more to send one by one than their bounding box at once.
    if (whole || written.size() > 16) {
        written.clear();
        written.push_back(whole ? FitRect{0, 0, ow, oh}
                                : FitRect{fit.x, fit.y, fit.width, fit.height});
    }
    return written;
}

void PresentPrimary(const DirectDrawSurface& primary) {
    Presenter& p = P();
    std::lock_guard<std::mutex> lock(p.mutex);
    const DirectDraw* owner = primary.Owner();
    const HWND window = owner != nullptr ? owner->Window() : nullptr;
    const bool whole = owner == nullptr || owner->FullScreen() || window == nullptr;
    DDPixelFormat format = primary.Format();
    if (SdlFormatOf(format) == 0) format = kPixelFormatXrgb32;
    int32_t left = 0, top = 0, width = primary.Width(), height = primary.Height();
    if (!whole) {
        RECT client{};
        POINT origin{0, 0};
        GetClientRect(window, &client);
        ClientToScreen(window, &origin);
        left = origin.x;
        top = origin.y;
        width = std::max<int32_t>(1, client.right - client.left);
        height = std::max<int32_t>(1, client.bottom - client.top);
    }
    ShapePicture(p, width, height, format);
    // The part of the client area that lies on the primary; the rest stays as it was.
    const int32_t x0 = std::max(0, left), y0 = std::max(0, top);
    const int32_t x1 = std::min(primary.Width(), left + width);
    const int32_t y1 = std::min(primary.Height(), top + height);
    if (x0 < x1 && y0 < y1) {
        CopyIntoPicture(p, primary.Bits(), primary.Pitch(), primary.Format(), x0, y0, x1 - x0,
                        y1 - y0, x0 - left, y0 - top);
    }
    p.window = window;
    Show(p);
    CountPresent(p);
}

bool BeginWindowPicture(HWND window, PixelTarget* target) {
    if (window == nullptr || !IsWindow(window) || target == nullptr) return false;
    RECT client{};
    GetClientRect(window, &client);
    const int32_t width = std::max<int32_t>(1, client.right - client.left);
    const int32_t height = std::max<int32_t>(1, client.bottom - client.top);
    Presenter& p = P();
    p.mutex.lock();
    if (p.window != window) p.picture.clear();
    p.window = window;
    ShapePicture(p, width, height, kPixelFormatXrgb32);
    *target = PixelTarget{p.picture.data(), p.width, p.height, p.pitch, p.format, 4};
    return true;
}

void EndWindowPicture() {
    Presenter& p = P();
    Show(p);
    CountPresent(p);
    p.mutex.unlock();
}

void SetPresenterFullScreen(HWND window, bool fullScreen) {
    Presenter& p = P();
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        p.fullScreen = fullScreen;
        if (window != nullptr) p.window = window;
    }
    SetMousePointMapper(&MapPointToPicture);
    if (!HasDisplay() || window == nullptr) return;
    if (GetCurrentThreadId() != detail::VideoThreadId()) return;
    SDL_Window* sdl = GetSdlWindow(window);
    if (sdl == nullptr) return;
    if (fullScreen) {
        detail::SetSdlFullScreen(window, sdl, true);
    } else {
        // Back to what the window's style asks for.
        const DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
        const bool popupFull = (style & WS_POPUP) != 0 && (style & WS_CAPTION) != WS_CAPTION;
        detail::SetSdlFullScreen(window, sdl, popupFull);
    }
}

void ResetPresenterControls() {
    {
        std::lock_guard<std::mutex> lock(g_modeMutex);
        g_refusals.clear();
        g_use555 = false;
        g_settingsModeSet = false;
        g_settingsMode = DisplayMode{};
    }
    Presenter& p = P();
    std::lock_guard<std::mutex> lock(p.mutex);
    p.count = 0;
    p.costMicroseconds = 0;
    p.picture.clear();
    p.width = p.height = p.pitch = 0;
    p.window = nullptr;
    p.fullScreen = false;
}

}  // namespace detail

namespace testing {

void RefuseDisplayMode(int width, int height, int bits, ModeRefusal how) {
    std::lock_guard<std::mutex> lock(g_modeMutex);
    g_refusals.erase(std::remove_if(g_refusals.begin(), g_refusals.end(),
                                    [&](const Refusal& r) {
                                        return r.width == width && r.height == height &&
                                               r.bits == bits;
                                    }),
                     g_refusals.end());
    if (how != ModeRefusal::None) g_refusals.push_back(Refusal{width, height, bits, how});
}

void UseRgb555For16BitDisplay(bool use555) {
    std::lock_guard<std::mutex> lock(g_modeMutex);
    g_use555 = use555;
}

bool DisplaySettingsMode(int* width, int* height, int* bits, int* refresh) {
    std::lock_guard<std::mutex> lock(g_modeMutex);
    if (width != nullptr) *width = g_settingsMode.width;
    if (height != nullptr) *height = g_settingsMode.height;
    if (bits != nullptr) *bits = g_settingsMode.bits;
    if (refresh != nullptr) *refresh = g_settingsMode.refresh;
    return g_settingsModeSet;
}

void SetPresentCost(uint32_t microseconds) {
    Presenter& p = P();
    std::lock_guard<std::mutex> lock(p.mutex);
    p.costMicroseconds = microseconds;
}

uint64_t PresentCount() {
    Presenter& p = P();
    std::lock_guard<std::mutex> lock(p.mutex);
    return p.count;
}

PresentedPicture LastPresentedPicture() {
    Presenter& p = P();
    std::lock_guard<std::mutex> lock(p.mutex);
    PresentedPicture out;
    out.width = p.width;
    out.height = p.height;
    out.bits = static_cast<int>(p.format.rgbBitCount);
    out.rgb.resize(static_cast<size_t>(p.width) * static_cast<size_t>(std::max(0, p.height)));
    const int bpp = static_cast<int>(p.format.rgbBitCount / 8);
    const ChannelMask r = DescribeChannel(p.format.redMask);
    const ChannelMask g = DescribeChannel(p.format.greenMask);
    const ChannelMask b = DescribeChannel(p.format.blueMask);
    for (int32_t y = 0; y < p.height; ++y) {
        for (int32_t x = 0; x < p.width; ++x) {
            const uint32_t v =
                ReadPixelBytes(p.picture.data() + static_cast<int64_t>(y) * p.pitch + x * bpp, bpp);
            out.rgb[static_cast<size_t>(y) * p.width + x] =
                (ChannelTo8(v, r) << 16) | (ChannelTo8(v, g) << 8) | ChannelTo8(v, b);
        }
    }
    return out;
}

bool PresenterFullScreen() {
    Presenter& p = P();
    std::lock_guard<std::mutex> lock(p.mutex);
    return p.fullScreen;
}

}  // namespace testing
}  // namespace plat
