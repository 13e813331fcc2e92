#include "game/core/main_loop.h"

#include <algorithm>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/screen_state.h"
#include "game/core/sound_cue.h"
#include "game/core/tween.h"
#include "game/frontend/editor.h"
#include "game/frontend/title.h"
#include "game/frontend/windows.h"
#include "game/play/game_flow.h"
#include "game/play/hud.h"

namespace velmora {
namespace {

constexpr int kKeyEscape = 1;
constexpr int kKeyReturn = 28;

struct FrameTimer {
    int32_t now = 0;
    int32_t previous = 0;
    int32_t deadline = 0;  // when the last frame was due to be shown (timer pacing)
    int32_t windowStart = 0;
    int32_t framesInWindow = 0;
    int32_t rate = 0;
    int32_t lastDuration = 0;
    int32_t late = 0;
    int32_t total = 0;
    int32_t skip = 0;
};

FrameTimer g_timer;
FrameHook g_hook = nullptr;
int g_sceneFrame = 0;
int64_t g_totalFrames = 0;
bool g_inQuitBox = false;

int32_t Now() {
    return static_cast<int32_t>(GetTimeMs());
}

bool RunQuitBox();

void BeginFrame() {
    g_totalFrames += 1;
    if (g_hook) g_hook();
}

int32_t TakeSceneRequest(int32_t* next, int* lead) {
    switch (GetGameVar(kGameVarSceneRequest)) {
        case kRequestNewGame:
            RequestScreenFlash();
            *next = kSceneNewGame;
            break;
        case kRequestTitle:
            StoreRunResults();
            *next = kSceneTitle;
            break;
        case kRequestEditor:
            *next = kSceneEditor;
            break;
        case kRequestScene:
            RequestScreenFlash();
            *next = GetConfigVar(kCfgRunFlags);
            break;
        case kRequestRestart:
            *next = kSceneRestart;
            break;
        case kRequestDemo:
            *next = kSceneDemo;
            break;
        default:
            return 0;
    }
    *lead = 1;
    return 1;
}

}  // namespace

int32_t SetUpScene(int32_t code) {
    CloseAllWindows();
    ResetClipRects();
    const int32_t run = GetConfigVar(kCfgRunFlags);
    if (run & kRunInPlay) SetConfigVar(kCfgRunFlags, run - kRunInPlay);

    int width, height;
    GetScreenExtent(&width, &height);
    int32_t result = code;
    switch (code & 15) {
        case kSceneTitle:
            result = OpenTitleMenu();
            break;
        case kSceneNewGame:
            result = StartNewGame();
            break;
        case kSceneModeSelect:
        case kSceneModeSelectStages: {
            if ((code & 15) == kSceneModeSelect) SetConfigVar(kCfgLastStage, 0);
            result =
                OpenPlainWindow(width / 2 + 120, height / 4 - 40, kWindowClass | kWindowModeSelect);
            if (result >= 0 && (code & 15) == kSceneModeSelect)
                SetFieldBits(kPropFlags, result, kFlagModeSelectNoStages);
            break;
        }
        case kSceneContinue:
            SetConfigVar(kCfgRunFlags, kSceneNewGame);
            AddConfigVar(kCfgNewGameCount, 1);
            result = StartNewGame();
            break;
        case kSceneCollection:
            result = OpenMenuWindow(16, 16, 0, 0, 0, kWindowCollection);
            break;
        case kSceneOptions:
            result = OpenMenuWindow(width / 2 - 144, height / 4 - 52, 0, 0, 0, kWindowOptions);
            break;
        case kSceneEnd:
            result = kSceneQuit;
            break;
        case kSceneEditor:
            result = OpenStageEditor();
            break;
        default:
            break;
    }
    SaveConfig();
    return result;
}

int32_t RunPlayLoop() {
    int32_t next = GetConfigVar(kCfgRunFlags);
    int lead = -kLeadInFrames;
    ResetDrawList();
    FreePlayObjects();
    for (int frame = 0;; ++frame) {
        g_sceneFrame = frame;
        BeginFrame();
        if (lead >= 1) return next;
        if (lead > -kLeadInFrames) RenderQueuedFrame();
        ClearScreenFlash();
        ResetDrawList();

        const int32_t word = GetConfigVar(kCfgRunFlags);
        next = word;
        PollButtons();
        if (word & kRunInPlay) {
            if (IsButtonPressed(kButtonSnapshot)) {
                PlaySe(3);
                SaveSnapshot();
            }
            RecordOrReplayInput((word & kRunPlayback) ? kReplayPlayBack : kReplayRecord);
        }
        UpdateObjects();
        RunTweens();
        const uint32_t held = ReadButtons() & 0xff;

        if (GetGameVar(kGameVarItemNotice) > 0) {
            OpenItemGetWindow(GetGameVar(kGameVarItemNotice));
            SetGameVar(kGameVarItemNotice, 0);
            SetPaused(true);
            SetConfigVar(kCfgRunFlags, word & ~kRunInPlay);
        }
        if (frame >= kLeadInFrames - 1 && (word & kRunInPlay)) {
            if (word & kRunPlayback) {
                if (IsButtonPressed(kButtonMenu | kButtonShot))
                    SetGameVar(kGameVarSceneRequest, kRequestTitle);
            } else if (GetGameVar(kGameVarPhase) < 8 && (held & kButtonMenu)) {
                OpenPauseMenu();
                SetPaused(true);
                SetConfigVar(kCfgRunFlags, word & ~kRunInPlay);
            }
        }
        if (word & kRunResume) {
            SetPaused(false);
            SetConfigVar(kCfgRunFlags, (word - kRunResume) | kRunInPlay);
        }
        if (ProcessMessage() == -1) return kSceneQuit;
        if (lead == 0) {
            next = GetConfigVar(kCfgRunFlags);
            TakeSceneRequest(&next, &lead);
        }
        if (ProcessMessage() == -1) return kSceneQuit;
        if (lead != 0) lead += 1;
        if (frame == kLeadInFrames) ResetFrameTimer();
        EndFrame();
        if (IsKeyDown(kKeyEscape) && ConfirmQuit()) return kSceneQuit;
        if (IsScreenFlashRequested()) CaptureScreenCopy();
    }
}

bool ConfirmQuit() {
    g_inQuitBox = true;
    const bool quit = RunQuitBox();
    g_inQuitBox = false;
    return quit;
}

namespace {

bool RunQuitBox() {
    using namespace tessra::sjis_literals;
    int width, height;
    GetScreenExtent(&width, &height);
    int choice = 0;
    const int x = (width - 160) / 2;
    const int y = (height - 160) / 2;
    CaptureScreenCopy();
    for (;;) {
        BeginFrame();
        PollButtons();
        if (IsButtonPressed(kButtonRight)) {
            choice = 1;
            PlaySe(5);
        }
        if (IsButtonPressed(kButtonLeft)) {
            choice = 0;
            PlaySe(5);
        }
        if (!IsSkippedFrame()) {
            SetDrawBrightness(32, 32, 64);
            PutSprite(0, 0, kScreenCopySprite);
            SetDrawBrightness(0, 0, 255);
            SetCachedBlend(1, 128);
            PutSpriteStretched(x, y, x + 160, y + 40, 2);
            ResetBlendAndBrightness();
            PutSpriteStretched(x, y, x + 160, y + 16, 2);
            DrawRectangle(x, y, x + 160, y + 40, MakeColor(255, 255, 255), 0);
            DrawTextAt(x + 4, y + 1, "終わつてしまうのですか？"_sjis, MakeColor(0, 0, 0),
                       MakeColor(255, 255, 255));
            for (int i = 0; i < 2; ++i) {
                if (i == choice)
                    SetDrawBrightness(255, 255, 255);
                else
                    SetDrawBrightness(64, 64, 64);
                PutSpriteText(x + 24 + 72 * i, y + 20, 2 + i);
            }
            SetDrawBrightness(255, 255, 255);
        }
        if (IsKeyDown(kKeyReturn) || IsButtonPressed(kButtonShot)) break;
        if (ProcessMessage() == -1) return true;
        EndFrame();
    }
    return choice == 0;
}

}  // namespace

void RenderQueuedFrame() {
    if (IsSkippedFrame()) return;
    DrawUnlockBanner();
    FlushDrawList();
}

void EndFrame() {
    const int32_t rate = MeasureFrameRate();
    if (!IsSkippedFrame()) DrawFrameRateMeter(rate);
    WaitNextFrame(g_timer.framesInWindow % 3 == 0 ? 16 : 17);
    g_timer.skip = 1 - g_timer.skip;
    UpdateSound();
    // Arithmetic here is in doubles and integers throughout, so there is no processor precision
    // mode to put back after the engine's calls.
}

void WaitNextFrame(int milliseconds) {
    if (GetConfigVar(kCfgPacing) >= 1) {
        // The deadline moves on from the last deadline, not from when the last present ended:
        // the present's own cost then falls inside the frame's 16 or 17 ms instead of being added
        // to every frame. A frame up to a frame late is shown at once and the next ones catch
        // up; further behind (a stall) the schedule starts again from now, so a stall is not
        // followed by a burst of frames.
        g_timer.deadline += milliseconds;
        if (Now() - g_timer.deadline > milliseconds) g_timer.deadline = Now();
        // At most 16 sleeps, whatever the clock reads: a frame that overran is shown at once.
        for (int i = 0; i < 16 && Now() - g_timer.deadline < 0; ++i) WaitMilliseconds(1);
        // Sleeps that ran out before the deadline (a clock set back, sleeps shorter than asked)
        // end the frame here: the schedule never runs ahead of the clock.
        if (Now() - g_timer.deadline < 0) g_timer.deadline = Now();
        if (!IsSkippedFrame()) PresentFrame();
    } else {
        if (IsSkippedFrame())
            WaitVerticalBlank(1);
        else
            PresentFrame();
        // Ready for a switch to timer pacing: its first frame is due a frame from here.
        g_timer.deadline = Now();
    }
}

int32_t MeasureFrameRate() {
    const int32_t threshold = std::max(GetConfigVar(kCfgFrameSkip) + 1, 1) * 50 / 3;
    g_timer.framesInWindow += 1;
    g_timer.now = Now();
    if (g_timer.framesInWindow > 59) {
        // A clock that did not move over the window still gives a rate, not a division by 0.
        const int32_t elapsed = std::max(g_timer.now - g_timer.windowStart, 1);
        g_timer.rate = static_cast<int32_t>(6000.0 / (elapsed / 1000.0));
        g_timer.framesInWindow = 0;
        g_timer.windowStart = g_timer.now;
        g_timer.late += 6000 - g_timer.rate;
        g_timer.total += 6000;
    }
    if (g_timer.now - g_timer.previous > threshold) g_timer.late += 1;
    g_timer.total += 1;
    g_timer.lastDuration = g_timer.now - g_timer.previous;
    g_timer.previous = g_timer.now;
    return g_timer.rate;
}

bool IsSkippedFrame() {
    return GetConfigVar(kCfgFrameSkip) >= 1 && g_timer.skip >= 1;
}

void ResetFrameTimer() {
    g_timer.now = Now();
    g_timer.windowStart = g_timer.now;
    g_timer.previous = g_timer.now;
    g_timer.framesInWindow = 0;
    g_timer.rate = 60;
    g_timer.lastDuration = 0;
    g_timer.total = 1;
    g_timer.late = 0;
    g_timer.skip = 0;
}

int32_t GetLateFrameRatio() {
    if (g_timer.total < 1) return 0;
    return static_cast<int32_t>(static_cast<int64_t>(g_timer.late) * 10000 / g_timer.total);
}

int GetSceneFrame() {
    return g_sceneFrame;
}

int64_t GetTotalFrames() {
    return g_totalFrames;
}

bool IsInQuitBox() {
    return g_inQuitBox;
}

void SetFrameHook(FrameHook hook) {
    g_hook = hook;
}

}  // namespace velmora
