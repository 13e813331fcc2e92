#include "game/frontend/windows.h"

#include <algorithm>

#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/sound_cue.h"
#include "game/frontend/play_windows.h"
#include "game/frontend/settings_windows.h"
#include "game/frontend/title.h"
#include "game/play/message_store.h"
#include "game/play/object_utils.h"

namespace velmora {

// clang-format off
const MenuDescriptor MenuDescriptorTable[kMenuDescriptors] = {
    {0x10000000,   0,  0,   0, 0, 0},
    {0x10000001,   0,  8,   0, 0, 1},
    {0x10000002, 160,  4, 164, 0, 0},
    {0x10000003, 288, 11, 104, 0, 0},
    {0x10000004, 136,  7, 200, 0, 0},
    {0x10000005, 120, 10, 104, 0, 0},
    {0x10000006, 120,  1, 188, 0, 0},
    {0x1000000F,   0,  0,   0, 0, 0},
    {0x1000000F,   0,  0,   0, 0, 0},
    {0x1000000F,   0,  0,   0, 0, 0},
    {0x1000000F,   0,  0,   0, 0, 0},
    {0x1000000B,   0,  0,   0, 0, 0},
    {0x1000000C,   0,  0,   0, 0, 0},
    {0x1000000D,   0,  0,   0, 0, 0},
    {0x1000000E,   0,  0,   0, 0, 0},
    {0x1000000F,   0,  0,   0, 0, 0},
    {0x1000000F,   0,  0,   0, 0, 0},
    {0x1000000F,   0,  0,   0, 0, 0},
    {0x1000000F,   0,  0,   0, 0, 0},
    {0x1000000F,   0,  0,   0, 0, 0},
    {0x1000000F,   0,  0,   0, 0, 0},
    {0x1000000F,   0,  0,   0, 0, 0},
    {0x1000000F,   0,  0,   0, 0, 0},
    {0x1000000F,   0,  0,   0, 0, 0},
    {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0},
};
// clang-format on

const int32_t MenuChildTable[kMenuChildEntries] = {
    0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x10000000,
    0x10000000, 0x10000000, 0x10000000, 0x10000000,
};

namespace {

struct WindowStack {
    int32_t depth = -1;
    int32_t current = 0;
    int32_t cursor[kWindowLevels];
    int32_t kind[kWindowLevels];
    int32_t savedDepth = -1;
    int32_t savedCursor[kWindowLevels];
    int32_t savedKind[kWindowLevels];
};

WindowStack MakeStack() {
    WindowStack s;
    std::fill(std::begin(s.cursor), std::end(s.cursor), -1);
    std::fill(std::begin(s.kind), std::end(s.kind), -1);
    std::fill(std::begin(s.savedCursor), std::end(s.savedCursor), -1);
    std::fill(std::begin(s.savedKind), std::end(s.savedKind), -1);
    return s;
}

WindowStack g_stack = MakeStack();

constexpr uint32_t kWindowOpenFlags = kFlagRunsWhilePaused | kFlagKeep;

bool IsLiveWindow(int slot) {
    if (slot < 0 || slot >= kPoolSlots) return false;
    return (static_cast<uint32_t>(GetField(kPropKind, slot)) & 0x70000000u) == 0x10000000u;
}

// Descriptor offsets are written only by the opener, but a screen may reuse its properties: an
// offset that names no row reads as row 0.
const MenuDescriptor& DescriptorAtOffset(int32_t offset) {
    if (offset < 0 || offset % kMenuDescriptorWords != 0 ||
        offset / kMenuDescriptorWords >= kMenuDescriptors)
        return MenuDescriptorTable[0];
    return MenuDescriptorTable[offset / kMenuDescriptorWords];
}

int32_t Wrap(int32_t c, int32_t n) {
    return ((c % n) + n) % n;
}

}  // namespace

int GetCurrentWindow() {
    return g_stack.current;
}

int GetWindowDepth() {
    return g_stack.depth;
}

int OpenMenuWindow(int x, int y, int xOffset, int yOffset, int parent, int32_t descriptor) {
    // Indices 32..255 would read past the table: they name the empty last row.
    int index = descriptor & 0xff;
    if (index >= kMenuDescriptors) index = kMenuDescriptors - 1;
    const MenuDescriptor& d = MenuDescriptorTable[index];
    // A row without a kind word still makes a window (of kind 0, which dies on its first run):
    // a pool object must never carry the free slot's kind word.
    const int32_t kindWord = d.kind | kWindowClass;
    const int slot = SpawnObject(x + xOffset, y + yOffset, kWindowLayer, 0, kindWord);
    if (slot < 0) {
        g_stack.current = -1;
        return -1;
    }
    g_stack.current = slot;
    const int level = g_stack.depth + 1;
    if (level >= 0 && level < kWindowLevels) g_stack.kind[level] = kindWord;
    SetField(kPropParent, slot, parent);
    // A parent of -1 (opened while no window was current) reads as serial 0.
    SetField(kPropParentSerial, slot, parent < 0 ? 0 : GetField(kPropSerial, parent));
    SetField(kPropWinDescriptor, slot, index * kMenuDescriptorWords);
    PushWindowLevel();
    SetField(kPropWinCursor, slot, 0);
    SetField(kPropWinFirstText, slot, d.firstText);
    SetField(kPropWinCount, slot, d.items);
    SetFieldBits(kPropFlags, slot, kWindowOpenFlags);
    return slot;
}

int OpenPlainWindow(int x, int y, int32_t kind) {
    const int slot = SpawnObject(x, y, kWindowLayer, 0, kind | kWindowClass);
    if (slot < 0) {
        g_stack.current = -1;
        return -1;
    }
    g_stack.current = slot;
    SetFieldBits(kPropFlags, slot, kWindowOpenFlags);
    return slot;
}

void CloseWindow(int slot) {
    if (slot != g_stack.current || slot < 0) return;
    const int parent = GetField(kPropParent, slot);
    const int32_t serial = parent < 0 ? 0 : GetField(kPropSerial, parent);
    // Control goes back to the parent while it is the same object; when the parent is gone, to
    // no window at all, never to the freed slot.
    g_stack.current = serial == GetField(kPropParentSerial, slot) ? parent : -1;
    PopWindowLevel();
}

int CloseWindows(int n) {
    for (int i = 0; i < n; ++i) {
        const int w = g_stack.current;
        if (!IsLiveWindow(w)) break;
        SetFieldBits(kPropFlags, w, kFlagDead);
        CloseWindow(w);
    }
    return g_stack.current;
}

void CloseAllWindows() {
    ResetWindowStack();
    ResetAllObjects();
    g_stack.current = 0;
}

int32_t GetWindowField(int n) {
    if (!IsLiveWindow(g_stack.current)) return 0;
    return GetField(n, g_stack.current);
}

void SetWindowField(int n, int32_t v) {
    if (!IsLiveWindow(g_stack.current)) return;
    SetField(n, g_stack.current, v);
}

void ResetWindowStack() {
    g_stack.depth = -1;
    std::fill(std::begin(g_stack.cursor), std::end(g_stack.cursor), -1);
    std::fill(std::begin(g_stack.kind), std::end(g_stack.kind), -1);
}

int PushWindowLevel() {
    if (g_stack.depth < kWindowLevels - 1) g_stack.depth += 1;
    return g_stack.depth;
}

int PopWindowLevel() {
    if (g_stack.depth >= 0) {
        g_stack.cursor[g_stack.depth] = -1;
        g_stack.kind[g_stack.depth] = -1;
        g_stack.depth -= 1;
    }
    return g_stack.depth;
}

void SetTopCursorRecord(int32_t cursor) {
    if (g_stack.depth >= 0 && g_stack.depth < kWindowLevels) g_stack.cursor[g_stack.depth] = cursor;
}

int32_t GetTopCursorRecord() {
    return GetCursorRecordAt(g_stack.depth);
}

int32_t GetCursorRecordAt(int level) {
    if (level < 0 || level >= kWindowLevels) return -1;
    return g_stack.cursor[level];
}

int32_t GetKindRecordAt(int level) {
    if (level < 0 || level >= kWindowLevels) return -1;
    return g_stack.kind[level];
}

void SaveWindowStack() {
    g_stack.savedDepth = g_stack.depth;
    std::copy(std::begin(g_stack.cursor), std::end(g_stack.cursor), g_stack.savedCursor);
    std::copy(std::begin(g_stack.kind), std::end(g_stack.kind), g_stack.savedKind);
}

void RestoreWindowStack() {
    g_stack.depth = g_stack.savedDepth;
    std::copy(std::begin(g_stack.savedCursor), std::end(g_stack.savedCursor), g_stack.cursor);
    std::copy(std::begin(g_stack.savedKind), std::end(g_stack.savedKind), g_stack.kind);
}

void ClearSavedWindowStack() {
    g_stack.savedDepth = -1;
    std::fill(std::begin(g_stack.savedCursor), std::end(g_stack.savedCursor), -1);
    std::fill(std::begin(g_stack.savedKind), std::end(g_stack.savedKind), -1);
}

void DrawMenuItems(int x, int y, int width, int firstText, int count, int cursor, bool current) {
    for (int i = 0; i < count; ++i) {
        const int r = QueueSpriteText(x, y + 16 * i, 24, firstText + i);
        SetRecordColor(r, i == cursor ? 0xFFFF7FFFu : 0x3F3F3FFFu);
    }
    const int left = x - 8;
    const int top = y - 8;
    const int right = x + width + 8;
    const int bottom = top + (count - 1) * 16 + 30;
    SetRecordColor(QueueRectangle(left, top, right, bottom, 22, true), 0x3F1F0FCFu);
    const int outline = QueueRectangle(left, top, right, bottom, 23, false);
    if (!current) SetRecordColor(outline, 0xFFFFFF7Fu);
    SetRecordColor(QueueRectangle(left, y + 16 * cursor, right, y + 16 * cursor + 14, 23, true),
                   0xFFCF7F7Fu);
}

void DrawHelpBar(int descriptorOffset, int textOffset) {
    SetRecordColor(QueueRectangle(0, 464, 640, 480, 23, true), 0x0F0F7FC0u);
    const MenuDescriptor& d = DescriptorAtOffset(descriptorOffset);
    if (d.helpText > 0) QueueFontText(16, 465, 24, d.helpText + textOffset);
}

void MoveMenuCursor() {
    if (IsButtonHeld(kButtonSubAction)) return;
    int32_t c = GetWindowField(kPropWinCursor);
    const int32_t n = GetWindowField(kPropWinCount);
    if (IsButtonPressed(kButtonUp)) {
        c -= 1;
        PlaySe(0);
    }
    if (IsButtonPressed(kButtonDown)) {
        c += 1;
        PlaySe(0);
    }
    if (n > 0) c = Wrap(c, n);
    SetWindowField(kPropWinCursor, c);
}

bool IsConfirmPressed(bool withSound) {
    const bool pressed = IsButtonPressed(kButtonShot | kButtonExtra11);
    if (pressed && withSound) PlaySe(1);
    return pressed;
}

bool IsCancelPressed() {
    const bool pressed = IsButtonPressed(kButtonSubAction);
    if (pressed) PlaySe(2);
    return pressed;
}

void DispatchWindowObject(int slot) {
    const int32_t kindWord = GetField(kPropKind, slot);
    const MenuDescriptor& d = DescriptorAtOffset(GetField(kPropWinDescriptor, slot));
    const bool hasItems = d.width > 0 && GetWindowField(kPropWinFirstText) > 0;
    const bool isCurrent = slot == g_stack.current;
    if (isCurrent) {
        if (hasItems) MoveMenuCursor();
        SetTopCursorRecord(GetWindowField(kPropWinCursor));
    }
    const int32_t kind = kindWord & 0xffff;
    if (kind == 0 || kind >= kWindowKinds) {
        SetFieldBits(kPropFlags, slot, kFlagDead);
    } else if (ObjectRoutineTable[kWindowRoutines + kind]) {
        ObjectRoutineTable[kWindowRoutines + kind](slot);
    } else {
        UpdateListMenuWindow(slot);
    }
    if (hasItems) {
        DrawMenuItems(GetField(kPropX, slot), GetField(kPropY, slot) - GetField(kPropZ, slot),
                      d.width, GetField(kPropWinFirstText, slot), GetField(kPropWinCount, slot),
                      GetField(kPropWinCursor, slot), slot == g_stack.current);
    }
}

void UpdateListMenuWindow(int w) {
    if (w == g_stack.current && IsConfirmPressed(true)) {
        const MenuDescriptor& d = DescriptorAtOffset(GetField(kPropWinDescriptor, w));
        const int32_t cursor = GetField(kPropWinCursor, w);
        const int32_t entry = d.childBase + cursor;
        const int32_t child =
            entry >= 0 && entry < kMenuChildEntries ? MenuChildTable[entry] : MenuChildTable[0];
        const int opened =
            OpenMenuWindow(GetField(kPropX, w), GetField(kPropY, w) - GetField(kPropZ, w),
                           d.width + 20, cursor * 16, w, child);
        if (opened < 0) SetGameVar(kGameVarSceneRequest, kRequestRestart);
    }
    if (w == g_stack.current && g_stack.depth > 0 && IsCancelPressed()) {
        SetFieldBits(kPropFlags, w, kFlagDead);
        KillChildren(w);
    }
}

void InstallWindowRoutines() {
    ClassRoutineTable[1] = &DispatchWindowObject;
    ObjectRoutineTable[kWindowRoutines + kWindowTitle] = &UpdateTitleWindow;
    ObjectRoutineTable[kWindowRoutines + kWindowModeSelect] = &UpdateModeSelectWindow;
    ObjectRoutineTable[kWindowRoutines + kWindowPause] = &UpdatePauseWindow;
    ObjectRoutineTable[kWindowRoutines + kWindowOptions] = &UpdateOptionsWindow;
    ObjectRoutineTable[kWindowRoutines + kWindowKeyConfig] = &UpdateKeyConfigWindow;
    ObjectRoutineTable[kWindowRoutines + kWindowCollection] = &UpdateCollectionWindow;
    ObjectRoutineTable[kWindowRoutines + kWindowResult] = &UpdateResultWindow;
    ObjectRoutineTable[kWindowRoutines + kWindowRoulette] = &UpdateRouletteWindow;
    ObjectRoutineTable[kWindowRoutines + kWindowItemGet] = &UpdateItemGetWindow;
    for (int k = 1; k < kWindowKinds; ++k) {
        if (!ObjectRoutineTable[kWindowRoutines + k])
            ObjectRoutineTable[kWindowRoutines + k] = &UpdateListMenuWindow;
    }
}

// ---- Run glue ----

void ApplyRunSettings() {
    const int32_t run = GetConfigVar(kCfgRunFlags);
    StartReplay((run & kRunPlayback) ? kReplayPlayBack : kReplayRecord);
    const int32_t stage = GetConfigVar(kCfgStartStage);
    SetGameVar(kGameVarStage, stage >= 0 && stage <= 4 ? stage : 0);
    const int32_t difficulty = GetConfigVar(kCfgDifficulty);
    SetGameVar(kGameVarDifficulty, difficulty >= 0 && difficulty <= 2 ? difficulty : 1);
    if (!(run & kRunInPlay)) SetConfigVar(kCfgRunFlags, run | kRunInPlay);
    switch (GetConfigVar(kCfgRunIcons)) {
        case 1:
            SetGameVar(68, -1);
            SetGameVar(69, -1);
            break;
        case 2:
            SetGameVar(68, GetConfigVar(48));
            SetGameVar(69, GetConfigVar(49));
            break;
        default:
            break;
    }
}

void StoreRunResults() {
    if (GetConfigVar(kCfgRunIcons) != 1) {
        SetConfigVar(48, GetGameVar(68));
        SetConfigVar(49, GetGameVar(69));
        SetConfigVar(50, GetConfigVar(50) | GetGameVar(68));
        SetConfigVar(51, GetConfigVar(51) | GetGameVar(69));
    }
    StopAllSe();
}

void RestartRun() {
    SetConfigVar(kCfgNewGameCount, 0);
    SetConfigVar(kCfgRunFlags, kSceneNewGame);
    SetConfigVar(kCfgDifficulty, GetConfigVar(kCfgOption38));
    SetConfigVar(kCfgCharacter, GetConfigVar(kCfgLastCharacter));
    SetConfigVar(kCfgStartStage, GetConfigVar(kCfgLastStage));
    SetGameVar(kGameVarSceneRequest, kRequestScene);
    SaveConfig();
}

int OpenItemGetWindow(int n) {
    int width, height;
    GetScreenExtent(&width, &height);
    const int slot = OpenMenuWindow(width / 2, height / 2, 0, 0, g_stack.current, kWindowItemGet);
    // The number comes from a game variable: keep it to the messages that exist.
    const int message = std::clamp(n - 1, 0, kMessageCount - 1);
    SetField(kPropWinValue, slot, message);
    SetField(kPropWinLines, slot, ParseMessage(message, 0));
    PlaySe(2);
    return slot;
}

int OpenPauseMenu() {
    int width, height;
    GetScreenExtent(&width, &height);
    const int slot =
        OpenMenuWindow(width / 2 - 136, height / 4, 0, 0, g_stack.current, kWindowPause);
    SetField(kPropWinCursor, slot, 1);
    PlaySe(2);
    return slot;
}

}  // namespace velmora
