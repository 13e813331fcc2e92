// The pause menu, the options screen and the key configuration.
#pragma once

#include <cstdint>

namespace velmora {

// Per row of the options screen: the settings word it edits (-1 none), the first text id of its
// choices (0: drawn as a number) and its count; values run 0..count - 1, stepped without wrap.
struct OptionsRow {
    int word;
    int firstText;
    int32_t count;
};
inline constexpr int kOptionsRows = 11;
extern const OptionsRow OptionsRowTable[kOptionsRows];

// Whether a step left (direction < 0) or right from v is allowed on an options row.
bool OptionsRowCanStep(int row, int32_t v, int direction);
// The text id an options choice row shows for v, or -1 when v names none of its choices.
int OptionsChoiceText(int row, int32_t v);
// The ticks the fog row draws for v: never more than the row has steps.
int32_t OptionsFogTicks(int32_t v);
int OpenKeyConfigWindow(int x, int y, int xOffset, int yOffset, int parent);
// The key configuration's edit of row k (0 SHOT .. 4 SNAPSHOT) by the raw word v: an unassigned
// mark, or one button bit that the other assigned buttons give up by swapping.
void AssignKey(int k, int32_t v);
void QueueNumberColoured(int x, int y, int32_t v, int digits, uint32_t colour);

void UpdatePauseWindow(int w);
void UpdateOptionsWindow(int w);
void UpdateKeyConfigWindow(int w);

}  // namespace velmora
