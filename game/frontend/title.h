// The title menu (scene code 0) and the mode select (scene codes 4 and 6): windows that draw
// themselves with sprites and leave their scene through a scene request.
#pragma once

namespace velmora {

inline constexpr int kTitleItems = 8;
inline constexpr int kTitleStartMask = 0xc1;  // items 0, 6 and 7 are always shown

int OpenTitleMenu();
void UpdateTitleWindow(int w);
void UpdateModeSelectWindow(int w);
// The title's item mask with the items a narrow screen hides taken out.
int TitleItemMask(int w);

}  // namespace velmora
