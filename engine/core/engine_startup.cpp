// Engine start-up and shut-down, the window system's set-up and tear-down, the system
// information written to the log, COM, and the fatal-error exit.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "engine/base/archive.h"
#include "engine/base/core_services.h"
#include "engine/base/fatal.h"
#include "engine/base/file_access.h"
#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/random.h"
#include "engine/base/sjis.h"
#include "engine/base/stream.h"
#include "engine/core/engine_lock.h"
#include "engine/core/engine_system.h"
#include "engine/core/network.h"
#include "engine/core/screen_log.h"
#include "engine/core/window.h"
#include "engine/graphics/graph_image.h"
#include "engine/graphics/graphics_core.h"
#include "engine/input/input.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"
#include "engine/sound/sound.h"
#include "platform/imm/imm.h"
#include "platform/win/debug_output.h"
#include "platform/win/file.h"
#include "platform/win/message_box.h"
#include "platform/win/process.h"
#include "platform/win/system.h"
#include "platform/win/thread.h"
#include "platform/win/time.h"
#include "platform/win/window.h"

namespace tessra {

using namespace sjis_literals;

namespace {

constexpr const char* kEngineVersionText = "1.00";

EngineSystemState g_state{};

// Formats a log text exactly as given (no line end added).
int LogText(const char* format, ...) __attribute__((format(printf, 1, 2)));
int LogText(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    FormatTextV(text, sizeof text, format, args);
    va_end(args);
    return AppendLog(text);
}

// The clock the engine keeps: whichever of the multimedia timer and the performance counter
// changes more often within a second (or until one of them has changed 60 times).
void ChooseClock() {
    EngineRuntimeState& run = g_state.run;
    if (run.performanceCounter != 1) return;
    AppendLog("タイマーの精度を検査します\n"_sjis);
    ClockProbe probe{};
    probe.readCounter = [](void*) -> int64_t {
        plat::LARGE_INTEGER counter{};
        plat::QueryPerformanceCounter(&counter);
        return counter.QuadPart;
    };
    probe.readMilliseconds = [](void*) -> uint32_t { return plat::timeGetTime(); };
    probe.pump = [](void*) { return ProcessMessageBody(); };
    const ClockRace race = RaceClocks(probe);
    LogText("精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d"_sjis,
            race.timerChanges, race.counterChanges);
    if (!race.counterChosen) {
        LogText("マルチメディアタイマーを使用します タイマー分解能 : %d.00 ms "_sjis,
                static_cast<int>(run.timerPeriod));
        run.performanceCounter = 0;
    } else {
        LogText("パフォーマンスカウンターを使用します タイマー分解能 : %lf KHz "_sjis,
                static_cast<double>(run.performanceFrequency) * 0.001);
    }
}

void NotePerformanceCounter() {
    plat::LARGE_INTEGER frequency{};
    plat::QueryPerformanceFrequency(&frequency);
    g_state.run.performanceFrequency = frequency.QuadPart;
    g_state.run.performanceCounter = frequency.QuadPart != 0 ? 1 : 0;
}

// Makes the engine's own window in the current mode; 0 or -1 (logged, quit flag set).
int CreateMainWindow() {
    EngineSettings& set = g_state.settings;
    EngineRuntimeState& run = g_state.run;

    run.windowBeingMade = 1;
    AppendLog("ウインドウクラスを登録します... "_sjis);
    plat::WNDCLASSA wc{};
    wc.style = plat::CS_HREDRAW | plat::CS_VREDRAW;
    wc.lpfnWndProc = HandleMainWindowMessage;
    wc.hInstance = run.instance;
    wc.hIcon = set.iconId != 0
                   ? plat::LoadIconA(run.instance, plat::MAKEINTRESOURCEA(set.iconId))
                   : plat::LoadIconA(nullptr, plat::MAKEINTRESOURCEA(plat::IDI_APPLICATION));
    wc.hCursor = plat::LoadCursorA(nullptr, plat::MAKEINTRESOURCEA(plat::IDC_ARROW));
    wc.hbrBackground = nullptr;  // the stock null brush: the engine paints the client itself
    wc.lpszClassName = kWindowClassName;
    if (plat::RegisterClassA(&wc) == 0) {
        AppendLog("ウインドウクラスの登録に失敗しました\n"_sjis);
        run.quit = 1;
        return -1;
    }
    AppendLog("登録に成功しました\n"_sjis);

    if (set.title[0] == '\0') std::snprintf(set.title, sizeof set.title, "%s", "Tessra");

    int screenW = 640, screenH = 480;
    ReadScreenSize(&screenW, &screenH);
    int x = 0, y = 0, outerW = screenW, outerH = screenH;
    if (set.windowMode == 1) {
        AppendLog("ウインドウモード起動用のウインドウを作成します\n"_sjis);
        const double scale = GetWindowScale();
        plat::RECT rect{0, 0, static_cast<plat::LONG>(screenW * scale),
                        static_cast<plat::LONG>(screenH * scale)};
        plat::AdjustWindowRectEx(&rect, CurrentWindowStyle(), set.menuInUse ? 1 : 0,
                                 CurrentWindowExStyle());
        outerW = rect.right - rect.left;
        outerH = rect.bottom - rect.top;
        if (set.usePresetPosition) {
            x = set.presetX;
            y = set.presetY;
        } else {
            x = rect.left + (run.desktopWidth - outerW) / 2;
            y = rect.top + (run.desktopHeight - outerH) / 2;
        }
        run.mouseVisibleSetting = 1;
    } else {
        AppendLog("フルスクリーンモード用のウインドウを作成します\n"_sjis);
        run.mouseVisibleSetting = 0;
    }
    run.window = plat::CreateWindowExA(CurrentWindowExStyle(), kWindowClassName, set.title,
                                       CurrentWindowStyle(), x, y, outerW, outerH, nullptr,
                                       set.menuInUse ? set.menu : nullptr, run.instance, nullptr);
    if (run.window == nullptr) {
        AppendLog("ウインドウの作成に失敗しました\n"_sjis);
        run.quit = 1;
        plat::UnregisterClassA(kWindowClassName, run.instance);
        return -1;
    }
    if (set.hiddenWindow) {
        plat::ShowWindow(run.window, plat::SW_HIDE);
    } else {
        plat::ShowWindow(run.window, plat::SW_SHOW);
        plat::UpdateWindow(run.window);
    }
    return 0;
}

// Waits in 1 ms steps until `done` holds or the bound passes; false (logged) at the bound.
template <typename Done>
bool WaitBounded(Done done, const char* what) {
    const uint32_t start = plat::timeGetTime();
    while (!done()) {
        if (plat::timeGetTime() - start >= kBoundedWaitMs) {
            LogText("%s: 待機の上限に達したので続行します\n"_sjis, what);
            return false;
        }
        plat::Sleep(1);
    }
    return true;
}

}  // namespace

EngineSystemState* GetSystemStateBlock() {
    return &g_state;
}

ClockRace RaceClocks(const ClockProbe& probe) {
    int64_t lastCounter = probe.readCounter(probe.context);
    uint32_t lastTime = probe.readMilliseconds(probe.context);
    const uint32_t start = lastTime;
    ClockRace race{0, 0, true};
    while (probe.pump(probe.context) == 0 && race.timerChanges < 60 && race.counterChanges < 60 &&
           probe.readMilliseconds(probe.context) - start < 1000u) {
        const int64_t counter = probe.readCounter(probe.context);
        if (counter != lastCounter) {
            ++race.counterChanges;
            lastCounter = counter;
        }
        const uint32_t now = probe.readMilliseconds(probe.context);
        if (now != lastTime) {
            ++race.timerChanges;
            lastTime = now;
        }
    }
    race.counterChosen = race.timerChanges <= race.counterChanges;
    return race;
}

void ResetRuntimeState() {
    EngineRuntimeState& run = g_state.run;
    run.instance = nullptr;
    run.window = nullptr;
    run.messageThread = nullptr;
    run.messageThreadId = 0;
    run.threadEnded = 0;
    run.mainThreadId = 0;
    run.quit = 0;
    run.closeRequested = 0;
    run.active = 0;
    run.inactiveStartTime = 0;
    run.inactiveFlag = 0;
    run.mouseVisibleSetting = 0;
    run.mouseShown = 0;
    run.desktopWidth = run.desktopHeight = run.desktopColorBits = 0;
    run.totalMemory = run.availableMemory = 0;
    run.performanceCounter = 0;
    run.performanceFrequency = 0;
    run.timerPeriod = 0;
    run.comInitialised = 0;
    run.ending = 0;
    run.starting = 0;
    run.engineStarted = 0;
    run.windowBeingMade = 0;
    run.charsetMode = 0;
    run.clientLeft = run.clientTop = run.clientRight = run.clientBottom = 0;
    run.styleApplied = 0;
    run.modeChange = 0;
    run.displayChanged = 0;
    run.painting = 0;
    run.surfacesLost = 0;
    run.switchRequest = 0;
    run.pumpBusy = 0;
}

int StartEngineBody() {
    EngineSettings& set = g_state.settings;
    EngineRuntimeState& run = g_state.run;
    run.starting = 1;
    // The subsystems reach the pump, the waits and the window through this table.
    InstallCoreServices(CoreServiceTable{
        ProcessMessageBody,
        WaitWhileInactive,
        IsCloseRequested,
        IsApplicationActive,
        GetEngineWindowBody,
        [] { return g_state.run.mainThreadId; },
        [] { return GetMicrosecondCount(0); },
        [] { return static_cast<int>(g_state.run.charsetMode); },
    });

    if (GetNo3DFlag() == 1) SwitchWindowModeScreen(0);
    InitArchiveFileState();
    SetFileAccessFuncs(nullptr);
    char dir[kFilePathMax] = {};
    GetDirViaFileTable(dir);  // the archive set and the plain set answer differently
    if (dir[0] != '\0') {
        std::snprintf(set.startDirectory, sizeof set.startDirectory, "%s", dir);
        // The log writes by POSIX path; the file-access table speaks in drive form.
        if (SetLogStartDirectory(plat::MapPath(set.startDirectory).c_str()) != 0)
            AppendLog("起動ディレクトリのパスが長すぎるためログの場所にできません\n"_sjis);
    } else {
        AppendLog("起動ディレクトリのパスが長すぎるか取得できません\n"_sjis);
    }
    GetLogState().userWindow = set.userWindow;
    InitLogFile();

    if (!set.windowless) {
        plat::HDC desktop = plat::DcOfWindow(nullptr);
        const int bits = plat::GetDeviceCaps(desktop, plat::BITSPIXEL) *
                         plat::GetDeviceCaps(desktop, plat::PLANES);
        run.desktopColorBits = bits;
        if ((set.windowMode == 1 && bits == 24) || GetScreenBitDepth() == 24) {
            AppendLog("テッセラは２４ビットカラーモードに対応していません\n"_sjis);
            run.starting = 0;
            return -1;
        }
    }

    NotePerformanceCounter();
    LogSystemInfo();
    ResetStreamFuncs();
    InstallGraphRestoreRoutine(nullptr);

    if (InitCom() == -1 || InitWindowSystem() == -1) goto failure;
    ClearHttpTransferTable();
    if (!set.skipInput && InitInput() == -1) goto failure;
    SetMidiNotifyWindow(run.window);
    if (!set.skipSound) InitializeSound();
    if (!set.skipGraphics && StartDirectDrawWithFallback(run.window) < 0) goto failure;
    InitCharInput();

    run.engineStarted = 1;
    StoreVsyncWaitFlag(1);
    if (set.windowMode == 0 && !set.userWindow) ForceForegroundWindow(run.window, 1);
    InitScreenLog();
    SetDrawTargetAndArea(-2);
    SetDrawTargetAndArea(-4);

    if (!set.skipGraphics) {
        // One pass through the drawing paths before the game draws.
        SetNewGraphDrawValidFlag(1);
        int graph = CreateBlankGraphDefault(256, 256);
        SetNewGraphDrawValidFlag(0);
        SetDrawTargetAndArea(graph);
        SetDrawTargetAndArea(-4);
        ReleaseGraph(graph, 0);
        SetDrawTargetAndArea(-2);

        GraphImage image{};
        if (AllocGraphImage(256, 256, &image) == 0) {
            std::memset(image.pixels, 0, static_cast<size_t>(image.pitch) * image.height);
            graph = BuildGraphFromGraphImage(&image);
            FreeGraphImage(&image);
            StoreBlendModeAndParam(3, 128);
            DrawGraphAt(0, 0, graph, 1);
            StoreBlendModeAndParam(0, 0);
            SetDrawTargetAndArea(-4);
            DrawGraphAt(0, 0, graph, 1);
            ReleaseGraph(graph, 0);
        }
        if (AllocGraphImage(256, 256, &image) == 0) {
            std::memset(image.pixels, 0, static_cast<size_t>(image.pitch) * image.height);
            graph = BuildGraphFromGraphImage(&image);
            DrawGraphStretched(0, 0, 640, 480, graph, 1);
            ReleaseGraph(graph, 0);
            FreeGraphImage(&image);
        }
    }
    run.starting = 0;
    return 0;

failure:
    ShutdownEngineBody();
    run.starting = 0;
    return -1;
}

int InitWindowSystem() {
    EngineSettings& set = g_state.settings;
    EngineRuntimeState& run = g_state.run;

    // The settings, the system information, the log, the allocator and the lock live outside
    // the block that is reset.
    // COM was started just before this step; shut-down must still see it to end it. The start
    // is still under way: the screens' mode change asks.
    const int32_t com = run.comInitialised;
    const int32_t starting = run.starting;
    ResetRuntimeState();
    run.comInitialised = com;
    run.starting = starting;
    run.inactiveStartTime = 0xFFFFFFFFu;

    run.instance = plat::GetModuleHandleA(nullptr);
    run.mainThreadId = plat::GetCurrentThreadId();

    plat::MEMORYSTATUS memory{};
    plat::GlobalMemoryStatus(&memory);
    run.totalMemory = memory.dwTotalPhys;
    run.availableMemory = memory.dwAvailPhys;
    LogText("メモリ総量:%.2fMB  空きメモリ領域:%.2fMB "_sjis,
            static_cast<double>(run.totalMemory) / 1048576.0,
            static_cast<double>(run.availableMemory) / 1048576.0);
    char available[64];
    std::snprintf(available, sizeof available, "%.2fMB\n",
                  static_cast<double>(run.availableMemory) / 1048576.0);
    plat::OutputDebugStringA(available);

    run.desktopWidth = plat::GetSystemMetrics(plat::SM_CXSCREEN);
    run.desktopHeight = plat::GetSystemMetrics(plat::SM_CYSCREEN);
    plat::HDC desktop = plat::DcOfWindow(nullptr);
    run.desktopColorBits =
        plat::GetDeviceCaps(desktop, plat::BITSPIXEL) * plat::GetDeviceCaps(desktop, plat::PLANES);
    ReadScreenSize(nullptr, nullptr);

    NotePerformanceCounter();
    plat::TIMECAPS caps{};
    plat::timeGetDevCaps(&caps, sizeof caps);
    run.timerPeriod = caps.wPeriodMin;
    plat::timeBeginPeriod(caps.wPeriodMin);

    ChooseClock();
    InitMtRandom(plat::timeGetTime());
    // Held off for this process only; the system's own setting is never changed.
    plat::SystemParametersInfoA(plat::SPI_SETSCREENSAVEACTIVE, 0, nullptr, plat::SPIF_SENDCHANGE);

    if (!set.windowless) {
        AppendLog("ソフトの二重起動検査... "_sjis);
        if (plat::FindWindowA(kWindowClassName, nullptr) != nullptr) {
            if (!set.allowDoubleStart) {
                AppendLog("二重起動されています、ソフトを終了します\n"_sjis);
                run.quit = 1;
                return -1;
            }
            AppendLog("二重起動されていますが続行します\n"_sjis);
        } else {
            AppendLog("二重起動はされていませんでした\n"_sjis);
        }
        if (set.menuInUse) CollectMenuItems(set.menu);

        if (set.userWindow) {
            // The program's window: our procedure goes in front of its own.
            run.window = set.userWindowHandle;
            set.userWindowProc = reinterpret_cast<plat::WNDPROC>(
                plat::GetWindowLongPtrA(run.window, plat::GWLP_WNDPROC));
            plat::SetWindowLongPtrA(run.window, plat::GWLP_WNDPROC,
                                    reinterpret_cast<plat::LONG_PTR>(HandleMainWindowMessage));
        } else if (CreateMainWindow() == -1) {
            return -1;
        }

        run.closeRequested = 0;
        run.active = 1;
        if (set.windowMode == 0) {
            AppendLog("カーソルを不可視にしました\n"_sjis);
            plat::SetCursor(nullptr);
        }
        AppendLog("ＩＭＥを無効にしました\n"_sjis);
        plat::WINNLSEnableIME(run.window, plat::FALSE);
        if (set.windowMode == 1) NoteClientRect();
        run.charsetMode = plat::GetOEMCP() == 949 ? 2 : 1;
        SetMouseVisibleBody(run.mouseVisibleSetting);
        run.ending = 0;

        if (!set.userWindow) {
            if (!set.hiddenWindow) plat::BringWindowToTop(run.window);
            const uint32_t start = plat::timeGetTime();
            while (plat::timeGetTime() - start < 200u) {
                ProcessMessageBody();
                plat::Sleep(1);
            }
            if (!set.hiddenWindow) FitWindowToClient();
            run.windowBeingMade = 0;
        }
    }

    run.threadEnded = 0;
    plat::DWORD threadId = 0;
    const uintptr_t generation = NewMessageThreadGeneration();
    run.messageThread = plat::CreateThread(nullptr, 0, RunMessageThread,
                                           reinterpret_cast<void*>(generation), 0, &threadId);
    if (run.messageThread == nullptr) {
        AppendLog("ProcessMessage をひたすら呼びつづけるスレッドの立ち上げに失敗しました\n"_sjis);
    } else {
        run.messageThreadId = threadId;
    }
    return 0;
}

int LogSystemInfo() {
    EngineSystemInfo& info = g_state.info;
    AppendLog("システムの情報を出力します\n"_sjis);
    LogText("テッセラ Ver%s\n"_sjis, kEngineVersionText);

    plat::OsVersion os{};
    plat::GetOsVersion(&os);
    std::snprintf(info.osText, sizeof info.osText, "%s ( Build %d %s )", os.name,
                  static_cast<int>(os.build), os.release);
    info.osKind = 0x107;  // behaves as the NT family
    // These texts carry no line end of their own: the next text goes on on the same line.
    AppendLog("ＯＳ  "_sjis);
    AppendLog(info.osText);
    info.directXVersion = 7;

    plat::TIMECAPS caps{};
    plat::timeGetDevCaps(&caps, sizeof caps);
    g_state.run.timerPeriod = caps.wPeriodMin;

    plat::CpuInfo cpu{};
    plat::GetCpuInfo(&cpu);
    if (!cpu.hasCpuid) {
        AppendLog("ＣＰＵＩＤ命令は使えません\n"_sjis);
    } else {
        LogText("%s%s", "ＣＰＵベンダ："_sjis, cpu.vendor);
        AppendLog(cpu.hasMmx ? "ＭＭＸ命令を使用します\n"_sjis : "ＭＭＸは使えません\n"_sjis);
        LogText("ＣＰＵ名：%s"_sjis, cpu.name);
    }
    info.mmx = cpu.hasMmx ? 1 : 0;
    info.timeStampCounter = cpu.hasTsc ? 1 : 0;
    if (cpu.hasTsc) {
        // The counter's rate against the performance counter over a short sleep.
        plat::LARGE_INTEGER f{}, c0{}, c1{};
        plat::QueryPerformanceFrequency(&f);
        plat::QueryPerformanceCounter(&c0);
        const uint64_t t0 = plat::ReadTimeStampCounter();
        plat::Sleep(20);
        const uint64_t t1 = plat::ReadTimeStampCounter();
        plat::QueryPerformanceCounter(&c1);
        const double seconds =
            f.QuadPart > 0 ? static_cast<double>(c1.QuadPart - c0.QuadPart) / f.QuadPart : 0.0;
        info.cpuClockHz = seconds > 0.0 ? static_cast<double>(t1 - t0) / seconds : 0.0;
        if (info.cpuClockHz <= 0.0) info.timeStampCounter = 0;
        LogText("ＣＰＵ動作速度：大体%.2fGHz"_sjis, info.cpuClockHz / 1e9);
    }

    if (info.directXVersion < 7) {
        // Kept for other platforms; the version is always 7 here.
        plat::MessageBoxA(
            nullptr,
            info.directXVersion == 0
                ? "DirectX がインストールされていないのでここで終了します"_sjis
                : "DirectX バージョン 7 以前なのでソフトを起動することが出来ません"_sjis,
            "エラー"_sjis, plat::MB_OK);
        plat::ExitProcess(static_cast<plat::UINT>(-1));
    }
    return 0;
}

int InitCom() {
    EngineRuntimeState& run = g_state.run;
    if (run.comInitialised) return -1;
    AppendLog("ＣＯＭの初期化... "_sjis);
    if (plat::CoInitialize(nullptr) >= 0) {
        AppendLog("成功しました\n"_sjis);
        run.comInitialised = 1;
        return 0;
    }
    AppendLog("ＣＯＭの初期化に失敗しました\n"_sjis);
    return -1;
}

int ShutdownEngineBody() {
    EngineSettings& set = g_state.settings;
    EngineRuntimeState& run = g_state.run;
    run.ending = 1;
    TerminateScreenLog();
    DeleteAllHttpTransfers();
    TerminateNetwork();
    StopCurrentMusic();
    StopDirectDraw();
    ShutdownInput();
    TerminateSound();
    TerminateWindow();
    if (run.comInitialised) {
        plat::CoUninitialize();
        AppendLog("ＣＯＭを終了... 完了\n"_sjis);
        run.comInitialised = 0;
    }
    run.engineStarted = 0;
    if (!set.windowless) {
        // With no window left the pump cannot report the quit; do not wait for it then.
        WaitBounded(
            [&] { return run.window == nullptr || ProcessMessageBody() != 0 || run.quit == 1; },
            "ProcessMessage");
    }
    if (set.startDirectory[0] != '\0') ChangeDirViaFileTable(set.startDirectory);
    CloseUnusedArchivesAtExit();
    DumpAllocations();
    return 0;
}

int TerminateWindow() {
    EngineSettings& set = g_state.settings;
    EngineRuntimeState& run = g_state.run;
    // Start-up held the screen saver off before it made the window; give it back even when the
    // window was never made.
    plat::SystemParametersInfoA(plat::SPI_SETSCREENSAVEACTIVE, 1, nullptr, plat::SPIF_SENDCHANGE);
    if (run.window == nullptr && !set.windowless) return 0;
    if (!set.windowless) {
        plat::WINNLSEnableIME(run.window, plat::TRUE);
        SetMouseVisibleBody(1);
        if (set.menuInUse) {
            SetMenuShown(0);
            set.menuInUse = 0;
            set.menu = nullptr;
        }
        if (set.toolBar != nullptr && set.windowMode == 1) {
            ClearToolBarButtons();
            set.toolBar = nullptr;
            FitWindowToClient();
        }
        if (!set.userWindow) {
            if (!run.closeRequested) {
                run.closeRequested = 1;
                plat::PostMessageA(run.window, plat::WM_CLOSE, 0, 0);
            }
            WaitBounded([] { return ProcessMessageBody() != 0; }, "WM_CLOSE");
            plat::UnregisterClassA(kWindowClassName, run.instance);
        } else {
            plat::SetWindowLongPtrA(run.window, plat::GWLP_WNDPROC,
                                    reinterpret_cast<plat::LONG_PTR>(set.userWindowProc));
            run.quit = 1;
        }
        ReleaseAllKeyInputHandles();
        if (set.backgroundPicture != 0) {
            ReleaseGraph(set.backgroundPicture, 0);
            set.backgroundPicture = 0;
        }
        FreeDroppedFiles();
    } else {
        run.quit = 1;
    }
    if (run.messageThread != nullptr) {
        if (!WaitBounded([&] { return run.threadEnded == 1; }, "ProcessMessage thread")) {
            // Retire the thread left behind: it ends at its next pass whatever the quit flag
            // says by then, and its handle lets it run on alone.
            NewMessageThreadGeneration();
        }
        plat::CloseHandle(run.messageThread);
        run.messageThread = nullptr;
    }
    run.window = nullptr;
    return 0;
}

void FatalError(const char* text) {
    AppendLog(text);
    AppendLog("\n");
    ShutdownEngineBody();
    TearDownEngineLock();
    plat::ExitProcess(static_cast<plat::UINT>(-1));
}

// The subsystems below the core reach this through engine/base/fatal.h.
namespace {
const bool g_fatalHandlerInstalled = (SetFatalErrorHandler(&FatalError), true);

// What the screens ask of the core: the window, the desktop, activation and the start state.
int ScreenEngineStartedOrStarting() {
    const EngineRuntimeState& run = GetSystemStateBlock()->run;
    return run.engineStarted || run.starting ? 1 : 0;
}
int ScreenWindowModeSetting() {
    return GetSystemStateBlock()->settings.windowMode;
}
void SetScreenWindowModeSetting(int windowed) {
    GetSystemStateBlock()->settings.windowMode = windowed;
}
const ScreenHost kScreenHost = {
    ApplyWindowStyle,
    GetDesktopMetrics,
    GetWindowScale,
    GetClientAreaRect,
    GetMmxFlag,
    IsMenuInUse,
    WaitWhileInactive,
    ScreenEngineStartedOrStarting,
    ScreenWindowModeSetting,
    SetScreenWindowModeSetting,
    InitScreenLog,
};
const bool g_screenHostInstalled = (SetScreenHost(&kScreenHost), true);
}  // namespace

void FatalErrorFormat(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    FormatTextV(text, sizeof text, format, args);
    va_end(args);
    FatalError(text);
}

}  // namespace tessra
