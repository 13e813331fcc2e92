#include "game/core/startup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "engine/tessra.h"
#include "game/core/archive_key.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/main_loop.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/screen_state.h"
#include "game/core/sound_cue.h"
#include "game/frontend/editor.h"
#include "game/frontend/windows.h"
#include "game/play/draw.h"
#include "game/play/game_flow.h"
#include "game/play/hud.h"
#include "game/play/large_enemies.h"
#include "game/play/message_store.h"
#include "game/play/players.h"
#include "game/play/stage_devices.h"
#include "game/play/stage_objects.h"
#include "platform/win/message_box.h"
#include "platform/win/process.h"
#include "platform/win/window.h"

namespace velmora {

const int64_t kDataFileSizes[kDataFileCount] = {10432, 9993, 2236876, 1891444, 172548};

const WindowSize kWindowSizes[kWindowSizeCount] = {
    {320, 240},   {640, 480},   {800, 600},   {1024, 768},
    {1280, 1024}, {1600, 1200}, {1920, 1080}, {1920, 1200},
};

namespace {

constexpr double kPi = 3.14159265358979323846;

struct LoadingScreen {
    uint32_t lastTick = 0;
    int frames = 0;
    int picture = -1;
    uint32_t black = 0;
    uint32_t white = 0;
};

LoadingScreen g_loading;
int g_width = 640;
int g_height = 480;

}  // namespace

int ShowFatalError(int code) {
    using namespace tessra::sjis_literals;
    char text[32];
    std::snprintf(text, sizeof(text), "Error:%04d", code);
    return plat::MessageBoxA(GetEngineWindow(), text,
                             "エラーが発生したのでアプリケーションを終了します"_sjis,
                             plat::MB_OK | plat::MB_TOPMOST);
}

int CheckDataFileSizes() {
    for (int n = 0; n < kDataFileCount; ++n) {
        char name[32];
        std::snprintf(name, sizeof(name), "dat\\velm%1d.dat", n);
        if (GetFileLength(name) != kDataFileSizes[n]) return -1;
    }
    return 0;
}

WindowSize SelectWindowSize(int n) {
    // Settings files are checked at load, but the word may change after: a row outside the
    // table is the plain 640 x 480.
    if (n < 0 || n >= kWindowSizeCount) return kWindowSizes[1];
    return kWindowSizes[n];
}

void GetDesktopSize(int* width, int* height) {
    if (width) *width = plat::GetSystemMetrics(plat::SM_CXSCREEN);
    if (height) *height = plat::GetSystemMetrics(plat::SM_CYSCREEN);
}

void ApplyScreenMode() {
    SetScreenMode(g_width, g_height, GetScreenDepth(), 60);
}

int ApplyArchiveKey(int32_t number) {
    char key[16];
    std::snprintf(key, sizeof(key), "%08d", static_cast<int>(number));
    return SetArchiveKey(key);
}

void SetUpScreen() {
    using namespace tessra::sjis_literals;
    SetWindowIcon(101);
    SetWindowTitle("ヴェルモラ"_sjis);
    SetDrawFilterMode(0);
    const int depth = GetConfigVar(kCfgColorDepth) >= 1 ? 16 : 32;
    SetVsyncWait(GetConfigVar(kCfgPacing) >= 1 ? 0 : 1);
    const int mode = GetConfigVar(kCfgScreenMode);
    int desktopW = 0, desktopH = 0;
    GetDesktopSize(&desktopW, &desktopH);
    if (mode >= 2) {
        const WindowSize size = SelectWindowSize(GetConfigVar(kCfgWindowSize));
        g_width = size.width;
        g_height = size.height;
        if (g_width > desktopW || g_height > desktopH) {
            g_width = desktopW;
            g_height = desktopH;
            ChangeWindowMode(0);
        } else {
            ChangeWindowMode(1);
        }
    } else if (mode == 1) {
        g_width = desktopW;
        g_height = desktopH;
        ChangeWindowMode(0);
    } else {
        g_width = 640;
        g_height = 480;
        ChangeWindowMode(0);
    }
    SetScreenExtent(g_width, g_height, depth);
    ApplyScreenMode();
    SetActiveArea(-64, -64, g_width + 64, g_height + 200);
}

void TickLoadingScreen() {
    const uint32_t now = GetTimeMs();
    if (now - g_loading.lastTick < 16) return;
    g_loading.lastTick = now;
    using namespace tessra::sjis_literals;
    const int f = g_loading.frames;
    int width, height;
    GetScreenExtent(&width, &height);
    SetBlendMode(0, 255);
    DrawRectangle(0, 0, width, height, g_loading.white, 1);
    SetBlendMode(1, std::min(f * 8, 255));
    if (g_loading.picture >= 0)
        PutGraphRotated(width / 2, height / 2, 1.0, 0.0, g_loading.picture, 1, 0);
    for (int i = 1; i <= 16; ++i) {
        const int top = height - static_cast<int>(std::sin((i + f) * kPi / 13) * 20) - 20;
        DrawRectangle(4 * i, height, 4 * i + 2, top, g_loading.black, 1);
    }
    SetBlendMode(1, static_cast<int>(std::sin(f * kPi / 12) * 120) + 120);
    DrawTextAt(0, height - 52, "NOW LOADING", g_loading.black, g_loading.black);
    SetBlendMode(0, 255);
    PresentFrame();
    g_loading.frames += 1;
}

void FinishLoadingScreen() {
    // The screen stays for at least 60 animation frames.
    while (g_loading.frames < 60) {
        if (ProcessMessage() == -1) break;
        WaitMilliseconds(1);
        TickLoadingScreen();
    }
    if (g_loading.picture >= 0) DeleteGraphHandle(g_loading.picture, 0);
    g_loading.picture = -1;
}

int GetLoadingFrames() {
    return g_loading.frames;
}

void InstallGameRoutines() {
    InstallWindowRoutines();
    InstallDrawRoutines();
    InstallActorRoutines();
    InstallStageObjectRoutines();
    InstallStageDeviceRoutines();
    InstallLargeEnemyRoutines();
    InstallEditorRoutines();
    ObjectWalkHooks hooks = DefaultObjectWalkHooks();
    hooks.animateSprite = &AnimateSprite;
    hooks.drawObject = &DrawObject;
    hooks.drawHud = &DrawHud;
    hooks.closeWindow = &CloseWindow;
    hooks.updateGameFlow = &UpdateGameFlow;
    hooks.getScreenExtent = &GetScreenExtent;
    SetObjectWalkHooks(hooks);
}

int InitGame() {
    if (CheckDataFileSizes() == -1) {
        ShowFatalError(kFatalDataFiles);
        return -1;
    }
    if (LoadConfig() == -1) {
        ShowFatalError(kFatalNoSettings);
        return -1;
    }
    g_loading = LoadingScreen{};
    SetUpScreen();
    SetLogEnabled(0);
    if (StartEngine() == -1) {
        ShowFatalError(kFatalEngine);
        return -1;
    }
    SetVsyncWait(GetConfigVar(kCfgPacing) >= 1 ? 0 : 1);
    SetTextureSizeFitting(1);
    SetNewGraphAlphaChannel(1);
    SetMouseVisible(0);
    SetRenderTarget(-2);
    SetRunWhenInactive(1);
    SetUseArchive(1);
    SetArchiveExtension("dat");
    ApplyArchiveKey(kArchiveKeyNumber);
    SetDrawFilterMode(0);

    g_loading.black = MakeColor(0, 0, 0);
    g_loading.white = MakeColor(255, 255, 255);
    g_loading.picture = LoadGraphFile("dat\\velm0.dat");
    for (int i = 0; i < 4; ++i) {
        DrawRectangle(0, 0, g_width, g_height, g_loading.white, 1);
        PresentFrame();
    }
    TickLoadingScreen();
    SetDefaultFontSize(12);
    SetDefaultFontThickness(2);
    SetDefaultFontFace("MS UI Gothic", -1);
    SetDefaultFontType(1);
    TickLoadingScreen();
    InstallGameRoutines();
    return 0;
}

bool LoadAllResources() {
    std::string error;
    if (!LoadSprites(&TickLoadingScreen, &FinishLoadingScreen, &error)) return false;
    LoadSounds(&TickLoadingScreen);
    StartPlayClock();
    LoadMessages();
    return true;
}

void ShutdownGame() {
    ShutdownEngine();
}

int RunGame(int32_t firstScene) {
    if (InitGame() == -1) return -1;
    if (!LoadAllResources()) {
        // The size test passed but the pictures cannot be made: the data files are damaged.
        ShowFatalError(kFatalDataFiles);
        ShutdownGame();
        return -1;
    }
    EndGame(RunScenes(firstScene));
    return 0;
}

int32_t RunScenes(int32_t firstScene) {
    int32_t code = firstScene;
    while (code > kSceneQuit && (code & kSceneLoopEndBits) == 0) {
        code = SetUpScene(code);
        if (code > kSceneQuit) code = RunPlayLoop();
    }
    return code;
}

void EndGame(int32_t lastScene) {
    ShutdownGame();
    if (lastScene < kSceneQuit) plat::WinExec("velmora.exe", 5);
}

}  // namespace velmora
