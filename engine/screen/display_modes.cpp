// The DirectDraw device and the display modes: start and stop, the mode change with its
// fallbacks, the screen's colour format, the display measurements, the palette and the rebuild
// after reactivation.
#include <cstdio>
#include <cstring>

#include "engine/base/fatal.h"
#include "engine/base/log.h"
#include "engine/base/message_pump_hook.h"
#include "engine/base/sjis.h"
#include "engine/d3d/d3d.h"
#include "engine/font/font.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/graphics_core.h"
#include "engine/graphics/image_data.h"
#include "engine/graphics/movie.h"
#include "engine/screen/draw2d.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_internal.h"
#include "engine/screen/screen_state.h"
#include "engine/screen/soft_tables.h"
#include "engine/screen/surface2d.h"
#include "platform/gdi/gdi.h"
#include "platform/win/time.h"
#include "platform/win/window.h"

namespace tessra {

using namespace sjis_literals;

namespace {

ScreenStateRecord MakeStartScreenState() {
    ScreenStateRecord s{};
    s.overlayFormat = -1;
    s.frameTime = -1;
    s.measuredRefresh = -1;
    s.vblankThreshold = -1;
    s.gdiSurfaceShown = -1;
    return s;
}

ScreenStateRecord g_screen = MakeStartScreenState();
ScreenHost g_host = {};
bool g_hostSet = false;

constexpr uint32_t kDdsclMultithreaded = plat::DDSCL_MULTITHREADED;

// The default 8-bit palette: a 6x6x6 colour cube, then a grey ramp; entry 0 is black.
void FillDefaultPalette(plat::PALETTEENTRY* entries) {
    for (int i = 0; i < 256; ++i) {
        plat::PALETTEENTRY& e = entries[i];
        if (i < 216) {
            e.peRed = static_cast<uint8_t>((i / 36) * 51);
            e.peGreen = static_cast<uint8_t>(((i / 6) % 6) * 51);
            e.peBlue = static_cast<uint8_t>((i % 6) * 51);
        } else {
            const uint8_t v = static_cast<uint8_t>(((i - 216) * 255) / 39);
            e.peRed = e.peGreen = e.peBlue = v;
        }
        e.peFlags = 0;
    }
}

struct OverlayRow {
    const char* name;
    plat::DDPixelFormat format;
};

constexpr uint32_t FourCc(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | (uint32_t(uint8_t(b)) << 8) | (uint32_t(uint8_t(c)) << 16) |
           (uint32_t(uint8_t(d)) << 24);
}

// clang-format off
const OverlayRow kOverlayFormatTable[] = {
    {" UYVY", {32, plat::DDPF_FOURCC, FourCc('U', 'Y', 'V', 'Y'), 0, 0, 0, 0, 0}},
    {" YUY2", {32, plat::DDPF_FOURCC, FourCc('Y', 'U', 'Y', '2'), 0, 0, 0, 0, 0}},
    {" 16-bit RGB 5:5:5 ", {32, plat::DDPF_RGB, 0, 16, 0x7C00, 0x3E0, 0x1F, 0}},
    {" 16-bit RGB 5:6:5 ", {32, plat::DDPF_RGB, 0, 16, 0xF800, 0x7E0, 0x1F, 0}},
    {"", {}},
};
// clang-format on

bool HostSet() {
    return g_hostSet;
}

int ApplyWindowStyleHost() {
    return HostSet() && g_host.applyWindowStyle != nullptr ? g_host.applyWindowStyle() : 0;
}

void DesktopMetrics(int* width, int* height) {
    if (HostSet() && g_host.getDesktopMetrics != nullptr) {
        g_host.getDesktopMetrics(width, height, nullptr);
        if (*width > 0 && *height > 0) return;
    }
    *width = plat::GetSystemMetrics(plat::SM_CXSCREEN);
    *height = plat::GetSystemMetrics(plat::SM_CYSCREEN);
}

int DesktopColorBits() {
    plat::HDC dc = plat::DcOfWindow(nullptr);
    return plat::GetDeviceCaps(dc, plat::BITSPIXEL) * plat::GetDeviceCaps(dc, plat::PLANES);
}

bool EngineStartedOrStarting() {
    return !HostSet() || g_host.engineStartedOrStarting == nullptr ||
           g_host.engineStartedOrStarting() != 0;
}

// The window flag follows the engine's window mode, and is always set without DirectDraw.
void SyncWindowFlag() {
    ScreenStateRecord& s = g_screen;
    if (HostSet() && g_host.getWindowModeSetting != nullptr)
        s.windowMode = g_host.getWindowModeSetting() == 1 ? 1 : 0;
    if (s.noDirectDraw) s.windowMode = 1;
}

// Sets the cooperative level for window or full screen; a refusal is fatal, except the three
// answers that mean the full-screen level is already in force.
void SetCooperativeLevelFor(plat::DirectDraw* dd, bool windowed, uint32_t* outFlags) {
    ScreenStateRecord& s = g_screen;
    uint32_t flags =
        windowed ? plat::DDSCL_NORMAL : (plat::DDSCL_FULLSCREEN | plat::DDSCL_EXCLUSIVE);
    if (s.threaded) flags |= kDdsclMultithreaded;
    const plat::HRESULT r = dd->SetCooperativeLevel(static_cast<plat::HWND>(ScreenWindow()), flags);
    if (plat::DDFailed(r)) {
        const bool tolerated =
            !windowed && (r == plat::DDERR_EXCLUSIVEMODEALREADYSET ||
                          r == plat::DDERR_HWNDALREADYSET || r == plat::DDERR_HWNDSUBCLASSED);
        if (!tolerated)
            RaiseFatalError("DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します"_sjis);
    }
    s.cooperativeFlags = flags;
    if (outFlags != nullptr) *outFlags = flags;
}

// One full-screen mode set through DirectDraw or the display settings.
bool SetModeOnce(uint32_t width, uint32_t height, uint32_t bits, uint32_t refresh) {
    ScreenStateRecord& s = g_screen;
    if (s.noDirectDraw) {
        plat::DEVMODEA mode{};
        mode.dmSize = sizeof mode;
        mode.dmFields = plat::DM_BITSPERPEL | plat::DM_PELSWIDTH | plat::DM_PELSHEIGHT;
        mode.dmBitsPerPel = bits;
        mode.dmPelsWidth = width;
        mode.dmPelsHeight = height;
        if (refresh != 0) {
            mode.dmFields |= plat::DM_DISPLAYFREQUENCY;
            mode.dmDisplayFrequency = refresh;
        }
        return plat::ChangeDisplaySettingsA(&mode, 0) == plat::DISP_CHANGE_SUCCESSFUL;
    }
    if (s.directDraw == nullptr) return false;
    return !plat::DDFailed(s.directDraw->SetDisplayMode(width, height, bits, refresh, 0));
}

void RestoreDesktopDisplay() {
    ScreenStateRecord& s = g_screen;
    if (s.noDirectDraw) {
        plat::ChangeDisplaySettingsA(nullptr, 0);
    } else if (s.directDraw != nullptr) {
        s.directDraw->RestoreDisplayMode();
    }
}

struct ModeKeep {
    uint32_t width, height, bits, refresh;
};

// The full-screen mode set at run time with its fallbacks: without the refresh rate, the old
// mode, then 640 x 480 x 16. Returns 0, or -2 after the last fallback.
int SetFullScreenModeWithFallbacks(const ModeKeep& old) {
    ScreenStateRecord& s = g_screen;
    AppendLog("画面解像度を変更します... "_sjis);
    int result = 0;
    if (!SetModeOnce(s.width, s.height, s.colorBits, s.refreshRate)) {
        if (s.refreshRate != 0 && SetModeOnce(s.width, s.height, s.colorBits, 0)) {
            s.refreshRate = 0;
        } else if (SetModeOnce(old.width, old.height, old.bits, old.refresh)) {
            s.width = old.width;
            s.height = old.height;
            s.colorBits = s.mainColorBits = old.bits;
            s.refreshRate = old.refresh;
        } else {
            s.width = 640;
            s.height = 480;
            s.colorBits = s.mainColorBits = 16;
            s.refreshRate = 0;
            result = -2;
            if (!SetModeOnce(640, 480, 16, 0))
                RaiseFatalError("予期せぬ画面モード変更不能現象が起きました2\n"_sjis);
        }
    }
    s.modeChanged = 1;
    AppendLog("成功しました\n"_sjis);
    return result;
}

void SyncImageDataContext() {
    const ScreenStateRecord& s = g_screen;
    ImageDataContext& c = GetImageDataContext();
    c.directDraw = s.directDraw;
    c.noDirectDraw = static_cast<int32_t>(s.noDirectDraw);
    c.windowMode = static_cast<int32_t>(s.windowMode);
    c.screenColorBits = static_cast<int32_t>(s.displayColorBits);
    c.workingColorBits = static_cast<int32_t>(s.workingColorBits);
    c.screenWidth = static_cast<int32_t>(s.width);
    c.screenHeight = static_cast<int32_t>(s.height);
    c.screenFormat = s.screenFormat;
}

// The present-method benchmark: BltFast against GDI BitBlt from the primary into a work surface.
void MeasurePresentMethod() {
    ScreenStateRecord& s = g_screen;
    if (s.primary == nullptr || s.work1 == nullptr) return;
    const plat::RECT whole = {0, 0, static_cast<plat::LONG>(s.width),
                              static_cast<plat::LONG>(s.height)};
    uint64_t start = plat::GetMicrosecondClock();
    for (int i = 0; i < 8; ++i) s.work1->BltFast(0, 0, s.primary, &whole, 0);
    const uint64_t bltFast = plat::GetMicrosecondClock() - start;
    start = plat::GetMicrosecondClock();
    plat::HDC workDc = nullptr;
    plat::HDC primaryDc = nullptr;
    s.work1->GetDC(&workDc);
    s.primary->GetDC(&primaryDc);
    for (int i = 0; i < 8; ++i)
        plat::BitBlt(workDc, 0, 0, static_cast<int>(s.width), static_cast<int>(s.height), primaryDc,
                     0, 0, plat::SRCCOPY);
    if (workDc != nullptr) s.work1->ReleaseDC(workDc);
    if (primaryDc != nullptr) s.primary->ReleaseDC(primaryDc);
    const uint64_t bitBlt = plat::GetMicrosecondClock() - start;
    s.presentMethod = bltFast < bitBlt ? 0 : 1;
    AppendLogFormat("サーフェス間転送には %s を使用します"_sjis,
                    s.presentMethod == 0 ? "BltFast" : "BitBlt");
    AppendLogFormat("BitBlt:%.0lfμs   BltFast:%.0lfμs"_sjis, static_cast<double>(bitBlt),
                    static_cast<double>(bltFast));
}

bool InBlank(plat::DirectDraw* dd) {
    plat::BOOL b = 0;
    dd->GetVerticalBlankStatus(&b);
    return b != 0;
}

uint32_t ScanLine(plat::DirectDraw* dd) {
    plat::DWORD line = 0;
    dd->GetScanLine(&line);
    return line;
}

// The measurement polls the retrace; a clock that stands still would hold it forever, so a long
// run of polls without the clock moving ends it (the frame time then stays unknown).
struct PollGuard {
    uint64_t lastClock = 0;
    uint32_t stillPolls = 0;
    bool stalled = false;
    bool Stalled() {
        if (stalled) return true;
        const uint64_t now = plat::GetMicrosecondClock();
        if (now != lastClock) {
            lastClock = now;
            stillPolls = 0;
        } else if (++stillPolls > 200000) {
            stalled = true;
        }
        return stalled;
    }
};

// Waits until the scan line wraps below s or a blank begins.
void WaitScanWrap(plat::DirectDraw* dd, uint32_t s, PollGuard& guard) {
    while (ScanLine(dd) >= s && !InBlank(dd) && !guard.Stalled()) {
    }
}

void WaitBlankEnd(plat::DirectDraw* dd, PollGuard& guard) {
    while (InBlank(dd) && !guard.Stalled()) {
    }
}

// Frame time, refresh rate and the vertical-blank wait threshold on the retrace clock.
void MeasureDisplayTiming() {
    ScreenStateRecord& s = g_screen;
    if (s.noDirectDraw || s.directDraw == nullptr) {
        s.measuredRefresh = 60;
        s.vblankThreshold = -1;
        return;
    }
    plat::DirectDraw* dd = s.directDraw;
    const int n = s.measuredRefresh != -1 ? 4 : 20;
    s.scanLines = plat::GetSystemMetrics(plat::SM_CYSCREEN);
    AppendLogFormat("スキャンラインの数:%d\n"_sjis, s.scanLines);
    PollGuard guard;
    for (int i = 0; i < 3; ++i) {
        WaitScanWrap(dd, ScanLine(dd), guard);
        WaitBlankEnd(dd, guard);
    }
    WaitScanWrap(dd, ScanLine(dd), guard);

    uint32_t times[20] = {};
    uint64_t microSum = 0;
    uint64_t frames = 0;
    s.frameTime = -1;
    int pass = 0;
    for (pass = 0; pass < 5; ++pass) {
        for (int i = 0; i < n; ++i) {
            const uint32_t ms0 = plat::timeGetTime();
            const uint64_t us0 = plat::GetMicrosecondClock();
            WaitBlankEnd(dd, guard);
            WaitScanWrap(dd, ScanLine(dd), guard);
            times[i] = plat::timeGetTime() - ms0;
            microSum += plat::GetMicrosecondClock() - us0;
        }
        frames += static_cast<uint64_t>(n);
        if (pass == 4 || guard.stalled) break;
        int found = -1;
        for (int i = 0; i < n && found < 0; ++i)
            for (int j = i + 1; j < n; ++j)
                if (times[j] == times[i]) {
                    found = i;
                    break;
                }
        if (s.measuredRefresh == -1) s.measuredRefresh = DeriveRefreshRate(microSum, frames);
        if (found >= 0 && !guard.stalled) {
            s.frameTime = static_cast<int32_t>(times[found]);
            AppendLogFormat("１フレーム当たりの時間は %d msecです"_sjis, s.frameTime);
            break;
        }
    }
    if (s.frameTime == -1) AppendLog("１フレームの時間を正常に取得できませんでした\n"_sjis);
    for (int i = 0; i < n; ++i) AppendLogFormat("\tTri%02d:%d msec", i, times[i]);
    s.vblankThreshold = s.frameTime == -1 ? -1 : (s.frameTime * 2 - 4) / 3;
}

}  // namespace

ScreenStateRecord& GetScreenState() {
    return g_screen;
}

void ResetScreenStateForTests() {
    g_screen = MakeStartScreenState();
}

void SetScreenHost(const ScreenHost* host) {
    g_hostSet = host != nullptr;
    g_host = host != nullptr ? *host : ScreenHost{};
}

const ScreenHost* GetScreenHost() {
    return g_hostSet ? &g_host : nullptr;
}

void* ScreenWindow() {
    return GetGraphicsCoreState().window;
}

int EngineWindowModeSetting() {
    if (HostSet() && g_host.getWindowModeSetting != nullptr) return g_host.getWindowModeSetting();
    return static_cast<int>(g_screen.windowMode);
}

void WaitWhileWindowInactive() {
    if (HostSet() && g_host.waitWhileInactive != nullptr &&
        g_host.engineStartedOrStarting != nullptr && g_host.engineStartedOrStarting())
        g_host.waitWhileInactive();
}

void WaitWhileInactiveHost() {
    if (HostSet() && g_host.waitWhileInactive != nullptr) g_host.waitWhileInactive();
}

double ScreenWindowScale() {
    if (HostSet() && g_host.getWindowScale != nullptr) return g_host.getWindowScale();
    return 1.0;
}

void ScreenClientOrigin(int* x, int* y) {
    *x = 0;
    *y = 0;
    if (HostSet() && g_host.getClientAreaRect != nullptr) {
        int r[4] = {};
        g_host.getClientAreaRect(r);
        *x = r[0];
        *y = r[1];
        return;
    }
    plat::HWND window = static_cast<plat::HWND>(ScreenWindow());
    if (window == nullptr || !plat::IsWindow(window)) return;
    plat::POINT p = {0, 0};
    plat::ClientToScreen(window, &p);
    *x = p.x;
    *y = p.y;
}

int32_t DeriveRefreshRate(uint64_t microSum, uint64_t frames) {
    if (frames == 0) return -1;
    const uint64_t mean = microSum / frames;
    if (mean == 0) return -1;  // the clock did not move: the rate stays unknown
    const uint64_t tenths = 10000000u / mean;
    return static_cast<int32_t>(tenths / 10 + (tenths % 10 > 5 ? 1 : 0));
}

int32_t g_screenFailZBufferCreation = 0;

const plat::DDPixelFormat* GetOverlayPixelFormat() {
    const ScreenStateRecord& s = g_screen;
    if (s.width < 640 || s.height < 400 || s.overlayFormat < 0) return nullptr;
    return &kOverlayFormatTable[s.overlayFormat].format;
}

int StoreVsyncWaitFlag(int flag) {
    g_screen.vsyncWait = static_cast<uint32_t>(flag);
    return 0;
}

int GetVsyncWaitFlag() {
    return static_cast<int>(g_screen.vsyncWait);
}

int SetNo3DFlag(int flag) {
    g_screen.no3D = g_screen.noDirectDraw ? 1u : static_cast<uint32_t>(flag);
    return 0;
}

int AcquireDirectDrawObject(plat::DirectDraw** out) {
    AppendLog("DirectDraw オブジェクトの取得を行います....  "_sjis);
    plat::DirectDraw* dd = nullptr;
    if (plat::DDFailed(plat::CreateDirectDraw7(&dd)) || dd == nullptr) {
        AppendLog("オブジェクトの取得に失敗しました\n"_sjis);
        return -1;
    }
    AppendLog("成功\n"_sjis);
    AppendLog("引き続き初期化処理... "_sjis);
    if (plat::DDFailed(dd->Initialize(nullptr))) {
        AppendLog("DirectDrawオブジェクトの初期化に失敗しました\n"_sjis);
        dd->Release();
        return -1;
    }
    AppendLog("初期化に成功しました\n"_sjis);
    AppendLog("ビデオカードの情報\n"_sjis);
    IncreaseLogIndent();
    DecreaseLogIndent();
    *out = dd;
    return 0;
}

int CreateWindowClipper(plat::DirectDraw* dd, plat::DirectDrawClipper** out, void* window) {
    plat::DirectDrawClipper* clipper = nullptr;
    if (plat::DDFailed(dd->CreateClipper(0, &clipper, nullptr)) || clipper == nullptr ||
        plat::DDFailed(clipper->SetHWnd(0, static_cast<plat::HWND>(window)))) {
        if (clipper != nullptr) clipper->Release();
        AppendLog("ＤｉｒｅｃｔＤｒａｗＣｌｉｐｐｅｒオブジェクトの作成に失敗しました\n"_sjis);
        return -1;
    }
    *out = clipper;
    return 0;
}

int ApplyDisplayMode(plat::DirectDraw* dd, int desktopWidth, int desktopHeight, int width,
                     int height, int bits, uint32_t* outBits, uint32_t* outFlags, int windowed,
                     uint32_t* modeChanged) {
    ScreenStateRecord& s = g_screen;
    AppendLogFormat("画面モードの変更処理を開始します %u x %u  %u bit "_sjis,
                    static_cast<unsigned>(width), static_cast<unsigned>(height),
                    static_cast<unsigned>(bits));
    IncreaseLogIndent();
    if (s.threaded) AppendLog("協調レベルはマルチスレッド対応にします\n"_sjis);
    if (windowed) {
        AppendLog("ウインドウモードにします\n"_sjis);
        if (width > desktopWidth || height > desktopHeight)
            RaiseFatalError("デスクトップ画面のサイズが足りません、ソフトを終了します"_sjis);
        if (*modeChanged) {
            AppendLog("フルスクリーンモードから抜けます\n"_sjis);
            RestoreDesktopDisplay();
            *modeChanged = 0;
        }
        const int desktopBits = DesktopColorBits();
        if (desktopBits == 24) {
            DecreaseLogIndent();
            return -1;
        }
        if (outBits != nullptr) *outBits = static_cast<uint32_t>(desktopBits);
        uint32_t flags = 0;
        if (dd != nullptr) SetCooperativeLevelFor(dd, true, &flags);
        if (outFlags != nullptr) *outFlags = flags;
    } else {
        if (bits == 24) {
            DecreaseLogIndent();
            return -1;
        }
        AppendLog("画面解像度を変更します... "_sjis);
        if (dd != nullptr) SetCooperativeLevelFor(dd, false, outFlags);
        if (!SetModeOnce(width, height, bits, s.refreshRate)) {
            s.refreshRate = 0;
            if (!SetModeOnce(width, height, bits, 0)) {
                AppendLog("画面モードの変更に失敗しました\n"_sjis);
                DecreaseLogIndent();
                return -1;
            }
        }
        if (outBits != nullptr) *outBits = static_cast<uint32_t>(bits);
        *modeChanged = 1;
        AppendLog("成功しました\n"_sjis);
    }
    DecreaseLogIndent();
    AppendLog("画面モードの変更は正常に終了しました \n"_sjis);
    return 0;
}

int SetupScreenColorFormat() {
    ScreenStateRecord& s = g_screen;
    if (!s.noDirectDraw && s.directDraw != nullptr) {
        plat::DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.ddpfPixelFormat.size = 32;
        s.directDraw->GetDisplayMode(&desc);
        s.pixelFormat = desc.ddpfPixelFormat;
        SetColorFormatFromPixelFormat(&s.pixelFormat, &s.screenFormat);
        AppendLog("カラー情報\n"_sjis);
        IncreaseLogIndent();
        AppendLogFormat("A:%08x  B:%08x  G:%08x  B:%08x", s.pixelFormat.alphaMask,
                        s.pixelFormat.redMask, s.pixelFormat.greenMask, s.pixelFormat.blueMask);
        DecreaseLogIndent();
        s.displayColorBits = s.pixelFormat.rgbBitCount;
    } else {
        uint32_t bits = s.mainColorBits == 32 ? 32u : 16u;
        s.displayColorBits = bits;
        if (bits == 32) {
            BuildColorFormatFromMasks(&s.screenFormat, 32, 0xFF0000, 0xFF00, 0xFF, 0);
            BuildDDPixelFormat(&s.pixelFormat, 32, 0xFF0000, 0xFF00, 0xFF, 0);
        } else {
            BuildColorFormatFromMasks(&s.screenFormat, 16, 0xF800, 0x7E0, 0x1F, 0);
            BuildDDPixelFormat(&s.pixelFormat, 16, 0xF800, 0x7E0, 0x1F, 0);
        }
    }
    const plat::DDPixelFormat& f = s.pixelFormat;
    if (f.rgbBitCount == 16 && f.redMask == 0xF800 && f.greenMask == 0x7E0 && f.blueMask == 0x1F)
        s.pixelKind = 0;
    else if (f.rgbBitCount == 16 && f.redMask == 0x7C00 && f.greenMask == 0x3E0 &&
             f.blueMask == 0x1F)
        s.pixelKind = 1;
    else if (f.rgbBitCount == 32 && f.redMask == 0xFF0000 && f.greenMask == 0xFF00 &&
             f.blueMask == 0xFF)
        s.pixelKind = 2;
    else
        s.pixelKind = 3;
    SyncImageDataContext();
    return 0;
}

int CreateScreenPalette() {
    ScreenStateRecord& s = g_screen;
    if (s.directDraw == nullptr || s.palette != nullptr || s.displayColorBits != 8) return 0;
    FillDefaultPalette(s.paletteEntries);
    if (plat::DDFailed(
            s.directDraw->CreatePalette(plat::DDPCAPS_8BIT, s.paletteEntries, &s.palette, nullptr)))
        RaiseFatalError("パレットの作成に失敗しました"_sjis);
    if (s.primary != nullptr) s.primary->SetPalette(s.palette);
    if (s.back != nullptr) s.back->SetPalette(s.palette);
    return 0;
}

int TerminateMainSurfaces() {
    ScreenStateRecord& s = g_screen;
    if (!s.noDirectDraw && s.directDraw == nullptr && s.primary == nullptr && !s.memImgScreens)
        return -1;
    if (s.backImageInSurface && s.back != nullptr) s.back->Unlock(nullptr);
    s.backImageInSurface = 0;
    if (s.zBuffer != nullptr) {
        if (s.back != nullptr) s.back->DeleteAttachedSurface(0, s.zBuffer);
        s.zBuffer->Release();
        s.zBuffer = nullptr;
    }
    if (s.primary != nullptr) {
        AppendLog("メインサーフェスを破棄をします... 完了しました\n"_sjis);
        s.primary->SetClipper(nullptr);
        if (s.back != nullptr) s.back->Release();
        s.primary->Release();
    } else if (s.back != nullptr) {
        s.back->Release();
    }
    s.primary = nullptr;
    s.back = nullptr;
    if (s.work1 != nullptr) s.work1->Release();
    if (s.work2 != nullptr) s.work2->Release();
    s.work1 = s.work2 = nullptr;
    s.targetSurface = nullptr;
    if (s.memImgScreens) {
        ReleaseMemImg(&s.frontImage);
        ReleaseMemImg(&s.backImage);
        ReleaseMemImg(&s.zImage);
        std::memset(&s.frontImage, 0, sizeof s.frontImage);
        std::memset(&s.backImage, 0, sizeof s.backImage);
        std::memset(&s.zImage, 0, sizeof s.zImage);
        s.memImgScreens = 0;
    }
    s.targetImage = nullptr;
    s.targetDepthImage = nullptr;
    s.targetOffsetX = s.targetOffsetY = 0;
    s.targetInVideoMemory = 0;
    return 0;
}

int ChangeScreenMode(int width, int height, int bits, int force, int refresh) {
    ScreenStateRecord& s = g_screen;
    const uint32_t keptTransColor = DrawState.transColor;
    const bool wasInitialized = s.initialized != 0;
    SyncWindowFlag();
    const uint32_t w = width == -1 ? s.width : static_cast<uint32_t>(width);
    const uint32_t h = height == -1 ? s.height : static_cast<uint32_t>(height);
    const uint32_t b = bits == -1 ? s.colorBits : static_cast<uint32_t>(bits);
    const uint32_t r = refresh == -1 ? s.refreshRate : static_cast<uint32_t>(refresh);
    if (!force && w == s.width && h == s.height && b == s.colorBits && r == s.refreshRate) return 0;

    AppendLog("画面モード変更処理を開始します\n"_sjis);
    IncreaseLogIndent();
    const ModeKeep old = {s.width, s.height, s.colorBits, s.refreshRate};
    s.width = w;
    s.height = h;
    s.colorBits = b;
    s.mainColorBits = b;
    s.refreshRate = r;
    if (!EngineStartedOrStarting() || (!s.noDirectDraw && s.directDraw == nullptr)) {
        DecreaseLogIndent();
        return 0;
    }

    s.gdiSurfaceShown = -1;
    const uint32_t now = plat::timeGetTime();
    if (s.lastModeChange != 0 && now - s.lastModeChange < 2000)
        plat::Sleep(2060 - (now - s.lastModeChange));
    else
        plat::Sleep(60);
    s.lastModeChange = plat::timeGetTime();

    // The default font's size and thickness outlive the change.
    char fontName[kFontNameBytes] = {};
    int fontSize = -1, fontThickness = -1;
    const bool fontKept =
        GetFontHandleInfo(fontName, &fontSize, &fontThickness, QueryDefaultFontHandle()) == 0;
    ReleaseAllGraphs(0);
    ShutdownGraphicsManagement();
    TerminateDirect3D();
    if (s.palette != nullptr) {
        s.palette->Release();
        s.palette = nullptr;
    }
    TerminateMainSurfaces();

    int result = 0;
    if (!wasInitialized) {
        if (!s.windowMode) ApplyWindowStyleHost();
        int dw = 0, dh = 0;
        DesktopMetrics(&dw, &dh);
        if (s.width == 0) s.width = 640;
        if (s.height == 0) s.height = 480;
        if (s.colorBits == 0) s.colorBits = s.mainColorBits = 16;
        auto apply = [&] {
            return ApplyDisplayMode(s.directDraw, dw, dh, static_cast<int>(s.width),
                                    static_cast<int>(s.height), static_cast<int>(s.colorBits),
                                    &s.displayColorBits, &s.cooperativeFlags,
                                    static_cast<int>(s.windowMode), &s.modeChanged);
        };
        if (apply() != 0) {
            result = -1;
            const bool differs = old.width != s.width || old.height != s.height ||
                                 old.bits != s.colorBits || old.refresh != 0;
            s.width = old.width;
            s.height = old.height;
            s.colorBits = s.mainColorBits = old.bits;
            s.refreshRate = old.refresh;
            if (!s.windowMode) ApplyWindowStyleHost();
            const bool oldUsable = s.width != 0 && s.height != 0 && s.colorBits != 0;
            if (!(differs && oldUsable && apply() == 0)) {
                result = -2;
                s.width = 640;
                s.height = 480;
                s.colorBits = s.mainColorBits = 16;
                s.refreshRate = 0;
                if (s.windowMode) ApplyWindowStyleHost();
                if (apply() != 0)
                    RaiseFatalError("予期せぬ画面モード変更不能現象が起きました\n"_sjis);
            }
        }
    } else if (s.noDirectDraw) {
        DeleteAllSurfaces2D();
        s.modeChanged = 0;
        if (!s.windowMode) result = SetFullScreenModeWithFallbacks(old);
    } else {
        DeleteAllSurfaces2D();
        AppendLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n"_sjis);
        s.directDraw->SetCooperativeLevel(static_cast<plat::HWND>(ScreenWindow()),
                                          plat::DDSCL_NORMAL);
        s.directDraw->Release();
        s.directDraw = nullptr;
        AppendLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n"_sjis);
        if (AcquireDirectDrawObject(&s.directDraw) != 0)
            RaiseFatalError("DirectDraw オブジェクトの作成処理時にエラーが発生しました"_sjis);
        SetCooperativeLevelFor(s.directDraw, s.windowMode != 0, nullptr);
        s.modeChanged = 0;
        if (!s.windowMode) result = SetFullScreenModeWithFallbacks(old);
    }

    DecreaseLogIndent();
    SetupScreenColorFormat();
    if (s.windowMode || s.noDirectDraw) ApplyWindowStyleHost();
    if (CreateOutputScreens() != 0) {
        AppendLog("DirectDrawSurface の初期化に失敗しました\n"_sjis);
        if (!wasInitialized) return -1;
        // At run time the graphs and screens are gone already: fall back to the smallest
        // window mode rather than leave the engine without screens.
        static bool fallingBack = false;
        if (fallingBack) RaiseFatalError("DirectDrawSurface の初期化に失敗しました\n"_sjis);
        fallingBack = true;
        TerminateMainSurfaces();
        s.windowMode = 1;
        if (HostSet() && g_host.setWindowModeSetting != nullptr) g_host.setWindowModeSetting(1);
        const int again = ChangeScreenMode(640, 480, 16, 1, 0);
        fallingBack = false;
        if (again == -1) RaiseFatalError("DirectDrawSurface の初期化に失敗しました\n"_sjis);
        return -2;
    }

    // Its result is not read: without a device every draw takes the 2-D or software path.
    if (!s.noDirectDraw && !s.no3D && !s.windowMode) InitializeDirect3D();
    InitGraphicsManagement();
    if (fontKept) StoreDefaultFontSizeAndThickness(fontName, fontSize, fontThickness);
    if (HostSet() && g_host.initScreenLog != nullptr) g_host.initScreenLog();
    CreateScreenPalette();

    if (!s.memImgScreens && !s.noDirectDraw) MeasurePresentMethod();
    s.measuredRefresh = -1;
    const int vrefresh = plat::GetDeviceCaps(
        plat::DcOfWindow(static_cast<plat::HWND>(ScreenWindow())), plat::VREFRESH);
    if (vrefresh >= 60) s.measuredRefresh = vrefresh;
    MeasureDisplayTiming();

    if (wasInitialized) DrawState.transColor = keptTransColor;
    AppendLog("画面モード変更処理は正常に終了しました\n"_sjis);
    RunMessagePumpPass();
    s.presentedFrames = 0;
    return result;
}

int InitDirectDraw() {
    ScreenStateRecord& s = g_screen;
    if (s.directDraw != nullptr) return -1;
    AppendLog("DirectDraw 関連の初期化を行います\n"_sjis);
    IncreaseLogIndent();
    if (s.noDirectDraw) {
        StoreUse3DSetting(0);
        SetGraphOptionInverted(0);
        SwitchWindowModeScreen(0);
    } else {
        if (AcquireDirectDrawObject(&s.directDraw) != 0)
            RaiseFatalError("DirectDrawオブジェクトの作成に失敗しました"_sjis);
        if (CreateWindowClipper(s.directDraw, &s.clipper, ScreenWindow()) != 0)
            RaiseFatalError("DirectDrawClipperオブジェクトの作成時にエラーが発生しました"_sjis);
    }
    if (s.width == 0) s.width = 640;
    if (s.height == 0) s.height = 480;
    if (s.colorBits == 0) s.colorBits = 16;
    s.mainColorBits = s.colorBits;
    if (ChangeScreenMode(-1, -1, -1, 1, -1) < 0) {
        DecreaseLogIndent();
        ShutdownDirectDraw();
        return -1;
    }
    s.ready = 1;
    s.blitOption =
        HostSet() && g_host.getMmxFlag != nullptr ? static_cast<uint32_t>(g_host.getMmxFlag()) : 1;

    s.overlayFormat = -1;
    if (s.directDraw != nullptr) {
        std::memset(&s.caps, 0, sizeof s.caps);
        s.caps.dwSize = sizeof s.caps;
        s.directDraw->GetCaps(&s.caps, nullptr);
        if (!(s.caps.dwMinOverlayStretch >= 1000 && s.caps.dwMaxOverlayStretch >= 2000)) {
            for (int i = 0; kOverlayFormatTable[i].name[0] != '\0'; ++i) {
                plat::DDSURFACEDESC2 desc{};
                desc.dwSize = sizeof desc;
                desc.dwFlags =
                    plat::DDSD_CAPS | plat::DDSD_HEIGHT | plat::DDSD_WIDTH | plat::DDSD_PIXELFORMAT;
                desc.dwWidth = desc.dwHeight = 16;
                desc.dwBackBufferCount = 2;
                desc.ddsCaps.dwCaps = plat::DDSCAPS_OVERLAY | plat::DDSCAPS_VIDEOMEMORY;
                desc.ddpfPixelFormat = kOverlayFormatTable[i].format;
                plat::DirectDrawSurface* probe = nullptr;
                if (plat::DDFailed(s.directDraw->CreateSurface(&desc, &probe, nullptr)) ||
                    probe == nullptr)
                    continue;
                const bool system = (probe->Caps() & plat::DDSCAPS_SYSTEMMEMORY) != 0;
                probe->Release();
                if (!system) {
                    s.overlayFormat = i;
                    AppendLogFormat("オーバーレイサーフェスを使用します　　　%s"_sjis,
                                    kOverlayFormatTable[i].name);
                    break;
                }
            }
        }
        if (s.overlayFormat == -1) AppendLog("オーバーレイサーフェスは使用しません\n"_sjis);
    }
    DecreaseLogIndent();
    AppendLog("DirectDraw 関連の初期化は正常に終了しました\n"_sjis);
    BuildSoftBlendTables();
    s.initialized = 1;
    return 0;
}

int ShutdownDirectDraw() {
    ScreenStateRecord& s = g_screen;
    AppendLog("DirectDraw 関連の終了処理をおこないます\n"_sjis);
    IncreaseLogIndent();
    if (s.noDirectDraw) {
        ShutdownGraphicsManagement();
        DeleteAllSurfaces2D();
        TerminateMainSurfaces();
    } else {
        if (s.directDraw == nullptr) {
            DecreaseLogIndent();
            return 0;
        }
        if (s.palette != nullptr) {
            s.palette->Release();
            s.palette = nullptr;
        }
        ShutdownGraphicsManagement();
        TerminateDirect3D();
        DeleteAllSurfaces2D();
        TerminateMainSurfaces();
        if (s.clipper != nullptr) {
            s.clipper->Release();
            s.clipper = nullptr;
        }
        AppendLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n"_sjis);
    }
    RevertDisplayMode();
    if (s.directDraw != nullptr) {
        s.directDraw->Release();
        s.directDraw = nullptr;
        AppendLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n"_sjis);
    }
    DecreaseLogIndent();
    AppendLog("DirectDraw 関連の終了処理は正常に終了しました\n"_sjis);
    s.initialized = 0;
    SyncImageDataContext();
    return 0;
}

int RevertDisplayMode() {
    ScreenStateRecord& s = g_screen;
    if (!s.noDirectDraw && s.directDraw == nullptr) return -1;
    if (s.noDirectDraw) {
        if (s.modeChanged) plat::ChangeDisplaySettingsA(nullptr, 0);
    } else if (s.cooperativeFlags & plat::DDSCL_EXCLUSIVE) {
        s.directDraw->SetCooperativeLevel(static_cast<plat::HWND>(ScreenWindow()),
                                          plat::DDSCL_NORMAL);
        s.directDraw->RestoreDisplayMode();
        s.cooperativeFlags = plat::DDSCL_NORMAL;
    }
    s.modeChanged = 0;
    AppendLog("画面モードを元に戻す処理は正常に終了しました\n"_sjis);
    return 0;
}

int SwitchWindowModeScreen(int fullScreen) {
    ScreenStateRecord& s = g_screen;
    s.windowMode = (fullScreen == 0 || s.noDirectDraw) ? 1u : 0u;
    if (HostSet() && g_host.setWindowModeSetting != nullptr)
        g_host.setWindowModeSetting(static_cast<int>(s.windowMode));
    if (s.directDraw == nullptr) return 0;
    const int target = DrawState.drawTarget;
    ReleaseAllGraphs(0);
    ChangeScreenMode(-1, -1, -1, 1, -1);
    if (target == kFrontScreen || target == kBackScreen) SetDrawTargetAndArea(target);
    return 0;
}

int StartDirectDrawWithFallback(plat::HWND window) {
    ScreenStateRecord& s = g_screen;
    GetGraphicsCoreState().window = window;
    if (InitDirectDraw() == 0) return 0;
    SyncWindowFlag();
    if (s.windowMode) RaiseFatalError("DirectDraw の初期化に失敗しました"_sjis);
    AppendLog("ソフトウエアレンダリングモードに変更します\n"_sjis);
    SwitchWindowModeScreen(0);
    if (InitDirectDraw() != 0) RaiseFatalError("DirectDraw の初期化に失敗しました"_sjis);
    return 0;
}

int StopDirectDraw() {
    ShutdownDirectDraw();
    return 0;
}

int ChangeResolution(int width, int height, int colorBits, int refreshRate) {
    ScreenStateRecord& s = g_screen;
    if (width == 0 || height == 0 ||
        (colorBits != -1 && colorBits != 8 && colorBits != 16 && colorBits != 32))
        return -1;
    const ModeKeep old = {s.width, s.height, s.colorBits, s.refreshRate};
    ReleaseAllGraphs(0);
    if (colorBits != -1) s.mainColorBits = static_cast<uint32_t>(colorBits);
    ChangeScreenMode(width, height, colorBits, 0, refreshRate);
    const uint32_t w = width == -1 ? old.width : static_cast<uint32_t>(width);
    const uint32_t h = height == -1 ? old.height : static_cast<uint32_t>(height);
    const uint32_t b = colorBits == -1 ? old.bits : static_cast<uint32_t>(colorBits);
    if (s.width == w && s.height == h && s.colorBits == b &&
        (refreshRate == -1 || s.refreshRate == static_cast<uint32_t>(refreshRate) ||
         (refreshRate != 0 && s.refreshRate == 0 && s.width == w)))
        return 0;
    const bool fell = s.width == 640 && s.height == 480 && s.colorBits == 16 && s.refreshRate == 0;
    const bool same = old.width == 640 && old.height == 480 && old.bits == 16 && old.refresh == 0;
    return fell && !same ? -2 : -1;
}

int WaitOneVerticalBlank() {
    ScreenStateRecord& s = g_screen;
    if (!s.noDirectDraw && s.directDraw != nullptr) {
        plat::DirectDraw* dd = s.directDraw;
        if (s.vblankThreshold == -1 ||
            static_cast<int32_t>(plat::timeGetTime() - s.lastVerticalBlank) >= s.vblankThreshold) {
            plat::Sleep(0);
            if (!InBlank(dd)) dd->WaitForVerticalBlank(plat::DDWAITVB_BLOCKBEGIN, nullptr);
        } else {
            while (static_cast<int32_t>(plat::timeGetTime() - s.lastVerticalBlank) <
                   s.vblankThreshold)
                plat::Sleep(1);
            dd->WaitForVerticalBlank(plat::DDWAITVB_BLOCKBEGIN, nullptr);
        }
    } else {
        constexpr uint64_t kPeriod = 16666;
        const uint64_t period = plat::GetMicrosecondClock() / kPeriod;
        for (;;) {
            const uint64_t now = plat::GetMicrosecondClock();
            if (now / kPeriod != period) break;
            const uint64_t remaining = (period + 1) * kPeriod - now;
            if (remaining > 4000)
                plat::Sleep(1);
            else
                plat::SleepMicroseconds(remaining);
        }
    }
    s.lastVerticalBlank = plat::timeGetTime();
    return static_cast<int>(s.lastVerticalBlank);
}

int SetGdiSurfaceMode(int flag) {
    ScreenStateRecord& s = g_screen;
    const int menu = HostSet() && g_host.isMenuInUse != nullptr ? g_host.isMenuInUse() : 0;
    const int wanted = (flag == 1 || menu) ? 1 : 0;
    if (wanted == s.gdiSurfaceShown) return 0;
    s.gdiSurfaceMode = static_cast<uint32_t>(flag);
    if (s.directDraw == nullptr) return 0;
    if (wanted == 1) s.directDraw->FlipToGDISurface();
    const Rect area = DrawState.DrawArea;
    const int target = DrawState.drawTarget;
    SetDrawTargetAndArea(kBackScreen);
    SetDrawTargetAndArea(kFrontScreen);
    SetDrawTargetAndArea(target);
    ApplyDrawClipRect(area.left, area.top, area.right, area.bottom);
    s.gdiSurfaceShown = wanted;
    return 0;
}

int RestoreLostScreenSurfaces() {
    ScreenStateRecord& s = g_screen;
    if (s.directDraw == nullptr) return -1;
    for (plat::DirectDrawSurface* surface : {s.primary, s.back, s.zBuffer})
        if (surface != nullptr && surface->IsLost() == plat::DDERR_SURFACELOST) surface->Restore();
    return 0;
}

int RebuildDisplay() {
    ScreenStateRecord& s = g_screen;
    // Direct3D keeps its settings and texture entries across the rebuild.
    ReleaseDirect3DObject();
    FreeMaskScreen();
    TerminateMainSurfaces();
    ReleaseAllScreenImageSurfaces();
    if (s.clipper != nullptr) {
        s.clipper->Release();
        s.clipper = nullptr;
    }
    if (!s.gdiSurfaceMode && !s.noDirectDraw) {
        if (s.directDraw != nullptr) {
            RestoreDesktopDisplay();
            s.directDraw->Release();
            s.directDraw = nullptr;
        }
        if (AcquireDirectDrawObject(&s.directDraw) != 0)
            RaiseFatalError("DirectDraw オブジェクトの作成処理時にエラーが発生しました"_sjis);
    }
    if (s.directDraw != nullptr || s.noDirectDraw) {
        int dw = 0, dh = 0;
        DesktopMetrics(&dw, &dh);
        ApplyDisplayMode(s.directDraw, dw, dh, static_cast<int>(s.width),
                         static_cast<int>(s.height), static_cast<int>(s.colorBits),
                         &s.displayColorBits, &s.cooperativeFlags, static_cast<int>(s.windowMode),
                         &s.modeChanged);
        SetupScreenColorFormat();
    }
    RecreateAllScreenImageSurfaces();
    if (s.directDraw != nullptr &&
        CreateWindowClipper(s.directDraw, &s.clipper, ScreenWindow()) != 0)
        RaiseFatalError("クリッパーオブジェクトの作成失敗しました"_sjis);
    CreateOutputScreens();
    AcquireDirect3DObject();
    if (s.mainColorBits == 8 && s.palette != nullptr) {
        plat::PALETTEENTRY kept[256];
        std::memcpy(kept, s.paletteEntries, sizeof kept);
        s.palette->SetEntries(0, 0, 256, kept);
        s.palette->GetEntries(0, 0, 256, s.paletteEntries);
    }
    SelectDrawTarget(DrawState.drawTarget);
    ClearDrawTargetAndRepaint();
    PresentBackBuffer();
    MarkGraphsForRestore();
    ReopenAllMovies();
    const MaskScreenRecord& mask = GetMaskScreen();
    AllocMaskScreen(mask.inUse, mask.inUse);
    if (DrawState.maskEnabled) SetMaskDrawEnabled(1);
    return 0;
}

}  // namespace tessra
