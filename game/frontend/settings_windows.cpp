// The pause menu, the options screen and the key configuration: the windows that change how the
// game runs. Their item lists and cursor come from the window framework; here are the confirm
// actions, the value columns and the closing rules.
#include <algorithm>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/sound_cue.h"
#include "game/frontend/settings_windows.h"
#include "game/frontend/windows.h"
#include "game/play/hud.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace velmora {

// clang-format off
const OptionsRow OptionsRowTable[kOptionsRows] = {
    {-1,               0,   0},    // EXIT
    {kCfgScreenMode,   116, 3},    // FULLSCREEN, FULLEXTEND, WINDOWMODE
    {kCfgWindowSize,   224, 8},    // 320 240 .. 1920 1200
    {kCfgColorDepth,   119, 2},    // 32BIT, 16BIT
    {kCfgPacing,       124, 2},    // VSYNC, TIMER
    {kCfgFrameSkip,    121, 3},    // 60FPS, 30FPS, 20FPS
    {kCfgTileOption,   0,   4},    // fog level: number and ticks
    {kCfgRunIcons,     160, 3},    // tutorial ON, OFF, AUTO
    {kCfgMusicVolume,  0,   101},  // per cent, number and bar
    {kCfgSeVolume,     0,   101},
    {-1,               0,   0},    // KEYASSIGN
};
// clang-format on

namespace {

constexpr int kKeyOff = kKeyUnassigned;
constexpr uint32_t kValueColour = 0xFFCF7FFFu;
constexpr uint32_t kActiveColour = 0xFFFF7FFFu;
constexpr uint32_t kDisabledColour = 0x3F3F3FFFu;
constexpr int kArrowLeftSprite = 540;
constexpr int kArrowRightSprite = 542;
constexpr int kOffText = 87;
constexpr int kTextIds = 440;
// Where the options keep the screen words as they were when the screen opened.
constexpr int kPropOpenedScreenWords = 108;
constexpr int kScreenWords[4] = {kCfgScreenMode, kCfgWindowSize, kCfgPacing, kCfgColorDepth};

void ResumePlay(int w) {
    SetConfigVar(kCfgRunFlags, GetConfigVar(kCfgRunFlags) | kRunResume);
    SetFieldBits(kPropFlags, w, kFlagDead);
}

// A save that fails is said (SaveConfig logs it, the refusal sound plays), so a change that was
// not kept is not lost unseen.
bool SaveSettingsOrSay() {
    if (SaveConfig() >= 0) return true;
    PlaySe(2);
    return false;
}

void ScrollPausedCamera() {
    int width = 0, height = 0;
    GetScreenExtent(&width, &height);
    if (IsButtonHeld(kButtonSubAction)) {
        int aw = 0, ah = 0;
        GetAreaSize(&aw, &ah);
        int32_t cx = GetGameVar(kGameVarCameraX);
        int32_t cy = GetGameVar(kGameVarCameraY);
        if (IsButtonHeld(kButtonRight) && cx < aw * 32 - width - 32) cx += 8;
        if (IsButtonHeld(kButtonLeft) && cx > 0) cx -= 8;
        if (IsButtonHeld(kButtonDown) && cy < ah * 32 - height - 32) cy += 8;
        if (IsButtonHeld(kButtonUp) && cy > 0) cy -= 8;
        SetGameVar(kGameVarCameraX, cx);
        SetGameVar(kGameVarCameraY, cy);
        return;
    }
    const int p = GetPlayerSlot(0);
    FollowCameraX(GetField(kPropX, p), -1);
    FollowCameraY(GetField(kPropY, p), -1);
}

bool IsSingleButtonBit(int32_t v) {
    return v >= 16 && v <= 0x8000 && (v & (v - 1)) == 0;
}

}  // namespace

int OpenKeyConfigWindow(int x, int y, int xOffset, int yOffset, int parent) {
    return OpenMenuWindow(x, y, xOffset, yOffset, parent, kWindowKeyConfig);
}

void UpdatePauseWindow(int w) {
    if (w == GetCurrentWindow()) {
        ScrollPausedCamera();
        if (GetField(kPropAge, w) > 30 && IsButtonPressed(kButtonShot)) {
            const int32_t cursor = GetField(kPropWinCursor, w);
            switch (cursor) {
                case 0:
                    SetGameVar(kGameVarSceneRequest, kRequestTitle);
                    PlaySe(1);
                    break;
                case 1:
                    ResumePlay(w);
                    PlaySe(2);
                    break;
                case 2:
                    RestartRun();
                    FadeOutBgm();
                    PlaySe(19);
                    break;
                case 3: {
                    const int x = GetField(kPropX, w) + 136;
                    const int y = GetField(kPropY, w) + 16 * cursor + 8;
                    if (OpenKeyConfigWindow(x, y, 0, 0, w) < 0) {
                        SetGameVar(kGameVarSceneRequest, kRequestRestart);
                        PlaySe(2);
                    }
                    break;
                }
                default:
                    break;
            }
        }
    }
    DrawHud();
}

bool OptionsRowCanStep(int row, int32_t v, int direction) {
    if (row < 1 || row > 9) return false;
    const int32_t count = OptionsRowTable[row].count;
    return direction < 0 ? v > 0 : v < count - 1;
}

int OptionsChoiceText(int row, int32_t v) {
    if (row < 1 || row > 9) return -1;
    const OptionsRow& o = OptionsRowTable[row];
    if (o.firstText <= 0 || v < 0 || v >= o.count || o.firstText + v >= kTextIds) return -1;
    return o.firstText + v;
}

int32_t OptionsFogTicks(int32_t v) {
    return std::clamp<int32_t>(v, 0, OptionsRowTable[6].count - 1);
}

static void LeaveOptions(int w) {
    KillChildren(w);
    const bool saved = SaveSettingsOrSay();
    bool changed = false;
    for (int i = 0; i < 4; ++i)
        changed |= GetConfigVar(kScreenWords[i]) != GetField(kPropOpenedScreenWords + i, w);
    if (changed && saved) {
        FadeOutBgm();
        StopAllSe();
        WaitMilliseconds(1000);
        SetGameVar(kGameVarSceneRequest, kRequestRestart);
        return;
    }
    // An unsaved screen change would come back unchanged after a restart: go to the title.
    SetConfigVar(kCfgRunFlags, 0);
    SetGameVar(kGameVarSceneRequest, kRequestScene);
}

static void DrawOptionsValues(int x0, int top, int cursor) {
    for (int row = 1; row <= 9; ++row) {
        const OptionsRow& o = OptionsRowTable[row];
        const int32_t v = GetConfigVar(o.word);
        const bool onCursor = row == cursor;
        int x = x0 + 160;
        const int y = top + 16 * row;
        if (row == 6) {
            QueueNumberColoured(x, y, v, 1, kValueColour);
            // An edited file may hold any value: never more ticks than the row has steps.
            const int32_t ticks = OptionsFogTicks(v);
            for (int i = 0; i < ticks; ++i) {
                const int r = QueueSprite(x + 16 + 8 * i, y, kWindowLayer, kArrowRightSprite);
                SetRecordColor(r, onCursor ? kActiveColour : kValueColour);
            }
        } else if (row == 8 || row == 9) {
            x -= 4;
            QueueNumberColoured(x + 100, y, v, 3, kValueColour);
            QueueRectangle(x, y + 1, x + 104, y + 13, kWindowLayer, false);
            const int bar = std::clamp<int32_t>(v, 0, o.count - 1);
            SetRecordColor(QueueRectangle(x + 2, y + 3, x + 2 + bar, y + 11, kWindowLayer, true),
                           onCursor ? kActiveColour : kValueColour);
            SetRecordColor(QueueRectangle(x + 1, y + 1, x + 103, y + 13, kWindowLayer, true),
                           0x000000FFu);
        } else {
            // A value outside the choices names no choice: show none rather than a stranger's.
            const int text = OptionsChoiceText(row, v);
            if (text >= 0) SetRecordColor(QueueSpriteText(x, y, kWindowLayer, text), kValueColour);
            if (onCursor) {
                SetRecordColor(QueueSprite(x - 16, y, kWindowLayer, kArrowLeftSprite),
                               OptionsRowCanStep(row, v, -1) ? kActiveColour : kDisabledColour);
                SetRecordColor(QueueSprite(x + 116, y, kWindowLayer, kArrowRightSprite),
                               OptionsRowCanStep(row, v, 1) ? kActiveColour : kDisabledColour);
            }
        }
    }
}

void UpdateOptionsWindow(int w) {
    if (GetField(kPropAge, w) < 1) {
        for (int i = 0; i < 4; ++i)
            SetField(kPropOpenedScreenWords + i, w, GetConfigVar(kScreenWords[i]));
        SetField(kPropAge, w, 30);
    }
    int width = 0, height = 0;
    GetScreenExtent(&width, &height);
    const int s = height < 480 ? 80 : 32;
    const int x = GetField(kPropX, w);
    const int y = GetField(kPropY, w);
    int z = GetField(kPropZ, w);
    const int r = GetField(kPropWinCursor, w);

    if (w == GetCurrentWindow()) {
        if (r >= 1 && r <= 9) {
            const OptionsRow& o = OptionsRowTable[r];
            int32_t v = GetConfigVar(o.word);
            const int32_t before = v;
            if (IsButtonPressed(kButtonLeft) && OptionsRowCanStep(r, v, -1)) {
                v -= 1;
                PlaySe(0);
            }
            if (IsButtonPressed(kButtonRight) && OptionsRowCanStep(r, v, 1)) {
                v += 1;
                PlaySe(0);
            }
            if (v != before) {
                SetConfigVar(o.word, v);
                if (r == 8 || r == 9) ApplySoundVolumes();
            }
        } else {
            bool leave = false;
            if (r == 0 && IsButtonPressed(kButtonShot)) {
                PlaySe(1);
                leave = true;
            } else if (IsCancelPressed()) {
                leave = true;
            } else if (r == 10 && IsConfirmPressed(true)) {
                PlaySe(1);
                if (OpenKeyConfigWindow(x, y - z - s + 16, 144, 160, w) < 0)
                    SetGameVar(kGameVarSceneRequest, kRequestRestart);
            }
            if (leave) LeaveOptions(w);
        }
        if (z > 0) z -= 4;
    } else if (z < s) {
        z += 4;
    }
    SetField(kPropZ, w, z);
    DrawMenuBackdrop(1, GetField(kPropAge, w));
    DrawOptionsValues(x, y - z, r);
}

void QueueNumberColoured(int x, int y, int32_t v, int digits, uint32_t colour) {
    SetRecordColor(QueueNumber(x, y, kWindowLayer, v, digits, false), colour);
}

void AssignKey(int k, int32_t v) {
    const int word = kCfgKeyShot + k;
    const bool shotIsMenu = GetConfigVar(kCfgKeyShot) == GetConfigVar(kCfgKeyMenu);
    if (v == kKeyOff) {
        SetConfigVar(word, kKeyOff);
        PlaySe(2);
        return;
    }
    if (!IsSingleButtonBit(v)) return;
    const int32_t old = GetConfigVar(word);
    bool held = false;
    for (int j = 0; j <= 6; ++j) {
        if (j == k || GetConfigVar(kCfgKeyShot + j) != v) continue;
        held = true;
        // SHOT and DIRECTION may share one button: digging while turning is a single press.
        const bool shotAndDirection = (k == 0 && j == 2) || (k == 2 && j == 0);
        if (!shotAndDirection) SetConfigVar(kCfgKeyShot + j, old);
    }
    if (held && shotIsMenu) {
        if (k == 0) SetConfigVar(kCfgKeyMenu, v);
        if (k == 2) SetConfigVar(kCfgKeyShot, v);
    }
    SetConfigVar(word, v);
    PlaySe(1);
}

void UpdateKeyConfigWindow(int w) {
    const int r = GetField(kPropWinCursor, w);
    if (w == GetCurrentWindow()) {
        bool close = false;
        if (r == 0) {
            if (IsCancelPressed()) {
                SetFieldBits(kPropFlags, w, kFlagDead);
                KillChildren(w);
            } else if (IsButtonPressed(kButtonShot | kButtonLeft)) {
                close = true;
            }
        } else {
            if (r >= 1 && r <= 5) {
                const int k = r - 1;
                int32_t v = static_cast<int32_t>(ReadPads());
                if (k >= 1 && (v & kButtonRight)) v = kKeyOff;
                if (v > 15 && v != GetConfigVar(kCfgKeyShot + k)) AssignKey(k, v);
            } else if (r == 6 && IsButtonPressed(kButtonShot)) {
                PlaySe(1);
                ResetKeyAssignment();
            }
            if (IsButtonPressed(kButtonLeft)) close = true;
        }
        if (close) {
            SetFieldBits(kPropFlags, w, kFlagDead);
            if (SaveSettingsOrSay()) PlaySe(1);
        }
    }
    const int x = GetField(kPropX, w);
    const int y = GetField(kPropY, w);
    for (int row = 1; row <= 5; ++row) {
        const int32_t v = GetConfigVar(kCfgKeyShot + row - 1);
        const int ry = y + 16 * row;
        if (v == kKeyOff) {
            SetRecordColor(QueueSpriteText(x + 104 - 6, ry, kWindowLayer, kOffText), 0x404040FFu);
        } else {
            const int32_t b = ExactLog2(v);
            if (b >= 3)
                SetRecordColor(QueueNumber(x + 104, ry, kWindowLayer, b - 3, 2, true),
                               kValueColour);
        }
    }
}

}  // namespace velmora
