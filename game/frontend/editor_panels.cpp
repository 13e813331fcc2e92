#include <cstdio>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/scenes.h"
#include "game/core/screen_state.h"
#include "game/core/sound_cue.h"
#include "game/frontend/editor.h"
#include "game/frontend/editor_private.h"
#include "game/play/stage.h"

namespace velmora {

using namespace editor;

int32_t UserStageSlotTable[20][kSlotsPerPage];

namespace {

constexpr int kLayer = 24;

bool AreaExists(int a) {
    return GetStageWord(kStageWordAreaOffsets + a) != 0 && GetAreaWordOf(a, kAreaWordWidth) > 0;
}

int TitleLength() {
    int n = 0;
    while (n < kStageTitleGlyphs && IsTitleCharacter(GetStageWord(kStageWordTitle + n))) ++n;
    return n;
}

void HeaderList(const Mouse& m) {
    const int selected = GetGameVar(kVarHeaderRow);
    for (int k = 0; k < 32; ++k) {
        const int column = k / 16, line = k % 16;
        const int x = 16 + 200 * column, y = 48 + 24 * line;
        Text(x, y, kLayer, 8 + k, 0xCFFFFFFF);
        Number(x + 100, y, kLayer, GetAreaWord(k), 6, false, 0xFFFF7FFF);
        const int x1 = 8 + 200 * column, x2 = 192 + 200 * column;
        const int y1 = 46 + 24 * line, y2 = 64 + 24 * line;
        if (m.In(x1, x2, y1, y2)) {
            Outline(x1, y1, x2, y2, kLayer, kBright);
            if (m.NewClick()) {
                SetGameVar(kVarHeaderRow, k);
                PlaySe(0);
            }
        } else if (k == selected) {
            Outline(x1, y1, x2, y2, kLayer, 0x8080FFFF);
        }
    }
}

// The file action of the slot tool on slot s; SE 3 when it worked, SE 2 when it failed.
void RunSlotAction(int tool, int s) {
    int result = 0;
    switch (tool) {
        case kToolNewFile:
            BeforeEdit();
            NewStage(-1);
            NewStage(0);
            SetGameVar(kVarArea, 0);
            result = SaveUserStage(s);
            CentreCameraOnArea();
            MarkStageClean();
            break;
        case kToolLoad: {
            BeforeEdit();
            result = LoadUserStage(s);
            if (result >= 0) {
                SelectArea(GetGameVar(kVarArea));
                CentreCameraOnArea();
                MarkStageClean();
            }
            break;
        }
        case kToolSave:
            result = SaveUserStage(s);
            if (result >= 0) MarkStageClean();
            break;
        default:
            return;
    }
    ScanStageSlots(s / kSlotsPerPage);
    PlaySe(result < 0 ? 2 : 3);
}

// Whether the action would throw away something: a file to overwrite or edits not saved.
bool SlotActionNeedsAsking(int tool, int row) {
    if (tool == kToolNewFile) return UserStageSlotTable[0][row] != 0 || HasUnsavedEdits();
    if (tool == kToolLoad) return HasUnsavedEdits();
    return false;
}

void SlotList(int tool, const Mouse& m) {
    const int32_t slot = GetGameVar(kVarSlot) & (kUserStageSlots - 1);
    int page = slot / kSlotsPerPage, row = slot % kSlotsPerPage;
    const bool asking = GetGameVar(kVarCommand) == 1;
    const bool live = !asking;
    for (int i = 0; i < 8; ++i) {
        Sprite(32 + 32 * i, 48, kLayer, 134 + i, i == page ? kBright : kDim);
        if (live && i != page && m.NewClick() && m.In(32 + 32 * i, 64 + 32 * i, 48, 64)) {
            page = i;
            ScanStageSlots(i);
            PlaySe(5);
        }
    }
    for (int j = 0; j < kSlotsPerPage; ++j) {
        const int y = 72 + 24 * j;
        Outline(32, y, 320, y + 16, kLayer, j == row ? kBright : kDim);
        Number(33, y + 1, kLayer, page * kSlotsPerPage + 1 + j, 3, true, kBright);
        if (UserStageSlotTable[0][j] != 0) {
            Number(184, y + 1, kLayer, UserStageSlotTable[2][j], 6, true, 0xFFCF7FFF);
            Number(248, y + 1, kLayer, UserStageSlotTable[3][j], 6, false, 0xFFFF7FFF);
            for (int k = 0; k < 12; ++k)
                Sprite(72 + 9 * k, y + 4, kLayer, 2,
                       (UserStageSlotTable[6][j] >> k & 1) ? 0xCFFFFFFF : kDim);
        }
        if (!live || !m.NewClick() || !m.In(32, 320, y, y + 16)) continue;
        if (j == row) {
            if (SlotActionNeedsAsking(tool, row))
                SetGameVar(kVarCommand, 1);
            else
                RunSlotAction(tool, page * kSlotsPerPage + row);
        } else {
            row = j;
            PlaySe(5);
        }
    }
    SetGameVar(kVarSlot, page * kSlotsPerPage + row);
    if (asking) {
        DrawConfirmBox(360, 200);
        if (GetGameVar(kVarCommand) >= 2) {
            SetGameVar(kVarCommand, kCmdIdle);
            RunSlotAction(tool, page * kSlotsPerPage + row);
        }
    }
}

void NodePoint(int i, int* x, int* y) {
    int32_t dx = 0, dy = 0;
    PolarOffset(&dx, &dy, i * 18000 - 45000, 160);
    *x = 224 + dx;
    *y = 224 + dy;
}

// A pair of step buttons (sprites 540, 542) at x1 and x2 on row y; -1, +1 or 0.
int StepButtons(const Mouse& m, int x1, int x2, int y) {
    int step = 0;
    for (int k = 0; k < 2; ++k) {
        const int x = k == 0 ? x1 : x2;
        const bool over = m.In(x, x + 16, y, y + 16);
        Sprite(x, y, kLayer, k == 0 ? 540 : 542, over ? kBright : kDim);
        if (over && m.NewClick()) step = k == 0 ? -1 : 1;
    }
    return step;
}

void AreaMap(const Mouse& m, int age) {
    const int a = GetGameVar(kVarArea);
    int cmd = GetGameVar(kVarCommand);
    const bool click = m.NewClick();

    // 1. The area nodes and their exits.
    for (int i = 0; i < kStageAreaCount; ++i) {
        int x = 0, y = 0;
        NodePoint(i, &x, &y);
        const bool over = m.In(x, x + 32, y, y + 32);
        const uint32_t colour = over ? 0xFF8080FF : i == a ? kBright : 0x80FFFFFF;
        if (over && click) {
            if (cmd == kCmdTitle) {
            } else if (cmd == kCmdCopyTarget) {
                SetGameVar(kVarVariant, i);
                SetGameVar(kVarCommand, cmd = kCmdCopyAsked);
            } else {
                SetGameVar(kVarArea, i);
                SelectArea(i);
                CentreCameraOnArea();
            }
            PlaySe(5);
        }
        Number(x - 8, y + 24, kLayer, i + 1, 2, true, colour);
        const bool exists = GetAreaWordOf(i, kAreaWordWidth) > 0;
        Sprite(x + 4, y, kLayer, exists ? 185 : 184, colour);
        if (!exists) continue;
        for (int k = 0; k < kAreaExitCount; ++k) {
            const int32_t t = GetAreaWordOf(i, kAreaWordExits + 2 * k);
            if (t < 0 || t >= kStageAreaCount || t == i) continue;
            int tx = 0, ty = 0;
            NodePoint(t, &tx, &ty);
            SetRecordColor(QueueLine(x + 16, y + 16, tx + 16, ty + 16, over ? 23 : 22), colour);
        }
    }

    // 2. Area properties.
    const int area = GetGameVar(kVarArea);
    for (int k = 0; k < 4; ++k) {
        const int y = 48 + 32 * k;
        // Weather 0..7; time speed, enemy rate and music 0..31 (a track the game lacks plays
        // nothing).
        const int range = k == 0 ? 8 : 32;
        const int32_t v = Wrap(GetAreaWordOf(area, 4 + k), range);
        Text(440, y, kLayer, 12 + k, kBright);
        if (k == 0)
            Text(496, y + 12, kLayer, 96 + v, 0xFFFF7FFF);
        else
            Number(496, y + 12, kLayer, v, 8, false, 0xFFFF7FFF);
        if (click && m.In(496, 600, y + 12, y + 24)) {
            BeforeEdit();
            SetAreaWordOf(area, 4 + k, Wrap(v + 1, range));
            PlaySe(5);
        }
    }

    // 3. Exits.
    if (AreaExists(area)) {
        for (int k = 0; k < kAreaExitCount; ++k) {
            const int y = 208 + 32 * k;
            const int32_t t = GetAreaWordOf(area, kAreaWordExits + 2 * k);
            if (t < 0 || t >= 16) continue;
            Text(440, y, kLayer, 24 + 2 * k, kBright);
            Number(536, y, kLayer, t + 1, 2, true, 0xFFFF7FFF);
            if (click && m.In(440, 600, y, y + 12)) {
                BeforeEdit();
                SetAreaWordOf(area, kAreaWordExits + 2 * k, (t + 1) & 15);
                PlaySe(5);
                continue;
            }
            if (t >= kStageAreaCount) continue;
            const int32_t e = GetAreaWordOf(area, kAreaWordExits + 2 * k + 1) & 7;
            Text(496, y + 12, kLayer, 40 + e, 0xCFFFFFFF);
            if (click && m.In(496, 600, y + 12, y + 24)) {
                BeforeEdit();
                SetAreaWordOf(area, kAreaWordExits + 2 * k + 1, (e + 1) & 7);
                PlaySe(5);
            }
        }
    }

    // 4. The stage title.
    const int length = TitleLength();
    for (int n = 0, x = 8; n < length; ++n) {
        const int32_t c = GetStageWord(kStageWordTitle + n);
        Sprite(x, 40, kLayer, 544 + c, kBright);
        x += c == 9 ? 6 : 12;
    }
    const bool overTitle = m.InClosed(5, 159, 37, 55);
    Outline(4, 36, 160, 60, kLayer, overTitle ? kBright : kDim);
    if (click && overTitle) {
        SetGameVar(kVarCommand, cmd = cmd == kCmdTitle ? kCmdIdle : kCmdTitle);
        PlaySe(1);
    } else if (cmd == kCmdTitle) {
        if (age % 16 < 8 && length < kStageTitleGlyphs)
            QueueSprite(8 + 12 * length, 40, kLayer, 514);
        Fill(4, 64, 192, 128, 26, 0x000040C0);
        for (int j = 0; j < 27; ++j) {
            const int x = 8 + 20 * (j % 9), y = 70 + 20 * (j / 9);
            const bool over = m.In(x, x + 12, y, y + 12);
            Sprite(x, y, 27, j < 26 ? 545 + j : 540, over ? kBright : kDim);
            if (!over || !click) continue;
            PlaySe(5);
            if (j < 26 && length < kStageTitleGlyphs) {
                BeforeEdit();
                SetStageWord(kStageWordTitle + length, j + 1);
                // What followed a shorter title must not come back as part of this one.
                if (length + 1 < kStageTitleGlyphs) SetStageWord(kStageWordTitle + length + 1, 0);
            } else if (j == 26 && length > 0) {
                BeforeEdit();
                SetStageWord(kStageWordTitle + length - 1, 0);
            }
        }
    }

    // 5. The clock start.
    {
        const int32_t v = Wrap(GetStageWord(kStageWordClockStart), 12);
        Text(224, 40, kLayer, 192, kBright);
        Sprite(320, 40, kLayer, 611 + v, kBright);
        const int step = StepButtons(m, 304, 352, 56);
        if (step != 0) {
            BeforeEdit();
            SetStageWord(kStageWordClockStart, Wrap(v + step, 12));
            PlaySe(5);
        }
    }

    // 6. Time limit and enemy level.
    for (int k = 0; k < 2; ++k) {
        const int word = kStageWordTimeLimit + 2 * k;
        int32_t v = GetStageWord(word);
        v = v < 0 ? 0 : v > 99 ? 99 : v;
        Text(320, 400 + 32 * k, kLayer, 193 + k, kBright);
        Number(320, 416 + 32 * k, kLayer, v, 2, false, 0xFFFF7FFF);
        if (k == 0) QueueSprite(342, 416, kLayer, 528);
        const int step = StepButtons(m, 304, 356, 416 + 32 * k);
        if (step != 0) {
            const int32_t next = v + step < 0 ? 0 : v + step > 99 ? 99 : v + step;
            if (next != GetStageWord(word)) {
                BeforeEdit();
                SetStageWord(word, next);
            }
            PlaySe(5);
        }
    }

    // 7. Area commands.
    cmd = GetGameVar(kVarCommand);
    const bool exists = AreaExists(area);
    int lit = -1;
    if (cmd == kCmdIdle) {
        for (int k = 0; k < 3; ++k) {
            const bool offered = k == 0 || (k == 1 ? area != 0 && exists : exists);
            if (!offered) continue;
            if (m.In(8, 120, 400 + 20 * k, 416 + 20 * k)) {
                lit = k;
                if (click) {
                    SetGameVar(kVarCommand, 2 * k + 1);
                    PlaySe(1);
                }
            }
        }
    } else if (cmd == kCmdCopyTarget) {
        lit = 2;
    } else if (cmd >= kCmdNewAsked && cmd <= kCmdCopyConfirmed) {
        DrawConfirmBox(128, 400);
        cmd = GetGameVar(kVarCommand);
        switch (cmd) {
            case kCmdNewAsked:
            case kCmdDeleteAsked:
            case kCmdCopyAsked:
                lit = (cmd - 1) / 2;
                break;
            case kCmdNewConfirmed:
                BeforeEdit();
                NewStage(area);
                SetGameVar(kVarTool, 0);
                break;
            case kCmdDeleteConfirmed:
                BeforeEdit();
                ClearArea(area);
                SetGameVar(kVarCommand, kCmdIdle);
                break;
            case kCmdCopyConfirmed:
                BeforeEdit();
                CopyArea(area, GetGameVar(kVarVariant));
                SetGameVar(kVarCommand, kCmdIdle);
                break;
            default:
                break;
        }
    }
    for (int k = 0; k < 3; ++k) {
        const bool offered = k == 0 || (k == 1 ? area != 0 && exists : exists);
        if (!offered) continue;
        const uint32_t colour = k == lit ? 0xCFFFFFFF : kDim;
        Text(8, 401 + 20 * k, kLayer, 50 + k, colour);
        Outline(4, 400 + 20 * k, 124, 416 + 20 * k, kLayer, colour);
    }
}

void Quit() {
    const int cmd = GetGameVar(kVarCommand);
    if (cmd <= 0) {
        SetGameVar(kVarTool, 0);
    } else if (cmd == 1) {
        DrawConfirmBox(160, 80);
    }
    if (GetGameVar(kVarCommand) >= 2) {
        SetConfigVar(kCfgRunFlags, 0);
        SetGameVar(kGameVarSceneRequest, kRequestScene);
        // The title and play have no use for the pointer the editor showed.
        SetMouseVisible(0);
    }
}

}  // namespace

namespace editor {

void RunFullScreenTool(int tool, const Mouse& m) {
    switch (tool) {
        case kToolHeader:
            HeaderList(m);
            break;
        case kToolNewFile:
        case kToolLoad:
        case kToolSave:
            SlotList(tool, m);
            break;
        case kToolAreaMap:
            AreaMap(m, GetGameVar(kGameVarAge));
            break;
        case kToolQuit:
            Quit();
            break;
        default:
            break;
    }
}

}  // namespace editor

int ScanStageSlots(int page) {
    for (auto& row : UserStageSlotTable)
        for (int32_t& w : row) w = 0;
    if (page < 0 || page >= kUserStageSlots / kSlotsPerPage) return 0;
    for (int j = 0; j < kSlotsPerPage; ++j) {
        const int s = page * kSlotsPerPage + j;
        // A file shorter than a header is no stage: the slot shows empty.
        if (ReadUserStageHeader(s) < kStageHeaderWords * 4) continue;
        UserStageSlotTable[0][j] = s + 1;
        UserStageSlotTable[1][j] = GetUserStageHeaderWord(kStageWordVersion);
        UserStageSlotTable[2][j] = GetUserStageHeaderWord(30);
        UserStageSlotTable[3][j] = GetUserStageHeaderWord(31);
        int32_t bits = 0;
        for (int k = 0; k < kStageAreaCount; ++k)
            if (GetUserStageHeaderWord(kStageWordAreaOffsets + k) != 0) bits |= 1 << k;
        UserStageSlotTable[6][j] = bits;
    }
    return 0;
}

void DrawConfirmBox(int x, int y) {
    int mx = 0, my = 0;
    const int cur = GetEditorMouse(&mx, &my);
    const int prev = GetGameVar(kVarPrevButtons);
    const bool click = (cur & 1) && !(prev & 1);
    Text(x + 32, y + 9, 26, 53, kBright);
    for (int i = 0; i < 2; ++i) {
        const int bx = x + 34 + 96 * i;
        const bool over = bx < mx && mx < bx + 32 && y + 32 < my && my < y + 44;
        Text(bx, y + 32, 26, 2 + i, over ? kBright : kDim);
        if (!over || !click) continue;
        if (i == 0) {
            AddGameVar(kVarCommand, 1);
            PlaySe(1);
        } else {
            SetGameVar(kVarCommand, 0);
            PlaySe(2);
        }
    }
    Outline(x + 24, y + 6, x + 176, y + 25, 26, kBright);
    Outline(x, y, x + 200, y + 52, 26, kBright);
    Fill(x, y, x + 200, y + 52, 26, 0x00004080);
}

void CentreCameraOnArea() {
    int w = 0, h = 0, sw = 0, sh = 0;
    GetAreaSize(&w, &h);
    GetScreenExtent(&sw, &sh);
    SetGameVar(kGameVarCameraX, ((w * 32 - 32 - sw) / 2) / 32 * 32);
    SetGameVar(kGameVarCameraY, ((h * 32 - 32 - sh) / 2) / 32 * 32);
}

}  // namespace velmora
