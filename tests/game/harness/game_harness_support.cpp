#include "tests/game/harness/game_harness.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "engine/screen/screen_state.h"
#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/main_loop.h"
#include "game/core/scenes.h"
#include "game/core/startup.h"
#include "game/play/game_flow.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "platform/testing.h"

namespace velmora_test {
namespace {

GameHarness* g_harness = nullptr;
const std::function<void(Frame&)>* g_script = nullptr;

struct ButtonKey {
    uint32_t button;
    int scancode;
};
// The keyboard's pad bits through the default key assignment.
constexpr ButtonKey kButtonKeys[] = {
    {velmora::kButtonDown, SDL_SCANCODE_DOWN},   {velmora::kButtonLeft, SDL_SCANCODE_LEFT},
    {velmora::kButtonRight, SDL_SCANCODE_RIGHT}, {velmora::kButtonUp, SDL_SCANCODE_UP},
    {velmora::kButtonShot, SDL_SCANCODE_Z},      {velmora::kButtonSubAction, SDL_SCANCODE_X},
    {velmora::kButtonDirection, SDL_SCANCODE_C}, {velmora::kButtonMenu, SDL_SCANCODE_A},
};

void OnFrame() {
    if (!g_harness) return;
    Frame f{g_harness, velmora::GetSceneFrame(), velmora::GetTotalFrames(), velmora::IsInQuitBox()};
    if (g_script && *g_script) (*g_script)(f);
    g_harness->ApplyInput();
}

}  // namespace

int KeyOfButton(uint32_t button) {
    for (const ButtonKey& k : kButtonKeys)
        if (k.button == button) return k.scancode;
    return -1;
}

void Frame::Press(uint32_t buttons) {
    harness->SetHeldButtons(harness->HeldButtons() | buttons);
}
void Frame::Release(uint32_t buttons) {
    harness->SetHeldButtons(harness->HeldButtons() & ~buttons);
}
void Frame::Tap(uint32_t buttons) {
    harness->TapButtons() |= buttons;
}
void Frame::InjectMouseMotion(int x, int y) {
    harness->SetMouse(x, y);
    plat::testing::InjectMouseMotion(nullptr, x, y);
}
void Frame::InjectMouseButton(int button, bool down) {
    plat::testing::InjectMouseButton(nullptr, button, down, harness->MouseX(), harness->MouseY());
}
void Frame::KeyDown(int sdlScancode) {
    harness->SetKey(sdlScancode, true);
}
void Frame::KeyUp(int sdlScancode) {
    harness->SetKey(sdlScancode, false);
}
void Frame::Stop() {
    plat::testing::InjectClose();
}

GameHarness::GameHarness(const HarnessSettings& settings) {
    editor_ = settings.editor;
    plat::testing::Reset();
    plat::testing::UsePrivateInstanceLockKey();
    plat::testing::SetVirtualDesktop(settings.desktopWidth, settings.desktopHeight, 32);
    plat::testing::SetFakeLocalTime(2026, 12, 10, 12, 0, 0);

    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "_" + info->name() : "run";
    for (char& c : name)
        if (c == '/') c = '_';
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("game_" + name + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "userdata");
    std::filesystem::create_directory_symlink(std::filesystem::path(GAME_RUN_DIR) / "dat",
                                              dir_ / "dat");
    if (chdir(dir_.c_str()) != 0) ADD_FAILURE() << "cannot enter " << dir_;

    if (!settings.settingsImage.empty()) {
        std::ofstream out(dir_ / velmora::kConfigFileName, std::ios::binary);
        out.write(reinterpret_cast<const char*>(settings.settingsImage.data()),
                  static_cast<std::streamsize>(settings.settingsImage.size()));
    } else if (settings.writeSettings) {
        velmora::ResetConfig();
        velmora::SetConfigVar(velmora::kCfgScreenMode, settings.screenMode);
        velmora::SetConfigVar(velmora::kCfgWindowSize, settings.windowSize);
        velmora::SetConfigVar(velmora::kCfgFrameSkip, settings.frameSkip);
        velmora::SetConfigVar(velmora::kCfgPacing, settings.pacing);
        velmora::SetConfigVar(velmora::kCfgColorDepth, settings.colorDepth);
        for (const auto& [word, value] : settings.words) velmora::SetConfigVar(word, value);
        velmora::SetConfigVar(velmora::kConfigValidWord, velmora::kConfigValidMarker);
        velmora::SaveConfig();
        velmora::ResetConfig();
    }
    g_harness = this;
    velmora::SetFrameHook(&OnFrame);
}

GameHarness::~GameHarness() {
    Shutdown();
    velmora::SetFrameHook(nullptr);
    g_harness = nullptr;
    unlink(plat::testing::InstanceLockPath("D123987X").c_str());
    if (chdir(::testing::TempDir().c_str()) == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

int GameHarness::Start() {
    // The engine's start races the real clocks; after an earlier run the fake one is still on.
    plat::testing::UseRealClock();
    const int init = velmora::InitGame();
    if (init != 0) return init;
    started_ = true;
    // The engine's start measures the real clocks; from here on time moves only when the game
    // waits. A retrace poll moves it too, so vertical-blank pacing ends under the fake clock.
    plat::testing::SetFakeClock(100000);
    plat::testing::SetFakeClockSleeperThread(true);
    plat::testing::SetRetracePollAdvance(500);
    // The start measured the display's frame time on the real clock. On a loaded machine a
    // missed blank reads as a frame of 33 ms, and vertical-blank pacing then waits 20 ms before
    // looking for each blank, so every frame came a retrace late (30 a second, and the pacing
    // tests failed). The fake clock's retrace runs at 60 Hz: take what a quiet start measures.
    tessra::ScreenStateRecord& screen = tessra::GetScreenState();
    if (screen.frameTime != -1) {
        screen.frameTime = 17;
        screen.vblankThreshold = (screen.frameTime * 2 - 4) / 3;
    }
    return velmora::LoadAllResources() ? 0 : -2;
}

int32_t GameHarness::Run(const std::function<void(Frame&)>& script) {
    g_script = &script;
    const int32_t code = velmora::RunScenes(editor_ ? velmora::kSceneEditor : velmora::kSceneTitle);
    g_script = nullptr;
    return code;
}

int32_t GameHarness::RunScene(int32_t code, const std::function<void(Frame&)>& script) {
    g_script = &script;
    int32_t result = velmora::SetUpScene(code);
    if (result > velmora::kSceneQuit) result = velmora::RunPlayLoop();
    g_script = nullptr;
    return result;
}

void GameHarness::Shutdown(int32_t lastScene) {
    if (!started_) return;
    velmora::EndGame(lastScene);
    started_ = false;
}

void GameHarness::SetKey(int sdlScancode, bool down) {
    keys_[sdlScancode] = down;
}

void GameHarness::ApplyInput() {
    const uint32_t want = held_ | tap_;
    tap_ = 0;
    for (const ButtonKey& k : kButtonKeys) {
        const bool on = (want & k.button) != 0;
        const bool was = (applied_ & k.button) != 0;
        if (on && !was) plat::testing::InjectKeyDown(k.scancode);
        if (!on && was) plat::testing::InjectKeyUp(k.scancode);
    }
    applied_ = want;
    for (auto& [code, down] : keys_) {
        if (down)
            plat::testing::InjectKeyDown(code);
        else
            plat::testing::InjectKeyUp(code);
    }
    keys_.clear();
    // The keys reach the input state at the next pump: pump now, so this frame reads them.
    ProcessMessage();
}

void RunInPlay(GameHarness& h, const std::function<void(Frame&, int64_t)>& script) {
    int64_t playFrom = -1;
    h.RunScene(velmora::kSceneNewGame, [&](Frame& f) {
        if (f.scene > 6000) f.Stop();
        HoldPlayerUnhurt(0);
        if (playFrom < 0 && velmora::GetGameVar(0) == velmora::kMasterKind &&
            velmora::GetGameVar(velmora::kGameVarPhase) == velmora::kPhasePlay && f.scene > 40) {
            playFrom = f.total;
            velmora::SetGameVar(velmora::kGameVarIconsOwned, -1);
        }
        if (playFrom >= 0) script(f, f.total - playFrom);
    });
    ASSERT_GE(playFrom, 0);
}

void HoldPlayerUnhurt(int p) {
    if (!velmora::IsPlayerPresent(p)) return;
    if (velmora::GetPlayerField(p, velmora::kPropGuardTimer) < 2)
        velmora::SetPlayerField(p, velmora::kPropGuardTimer, 2);
    velmora::SetPlayerField(p, velmora::kPropHp, velmora::GetPlayerField(p, velmora::kPropMaxHp));
}

}  // namespace velmora_test
