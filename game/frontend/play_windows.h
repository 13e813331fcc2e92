// The screens that play opens between and inside stages: the item-get notice, the bonus
// roulette, the result talk after a stage, and the collection of icons the player owns.
#pragma once

#include <cstdint>

namespace velmora {

// Window properties of these screens beside the framework's.
inline constexpr int kPropItemClosing = 32;     // item-get: 0 while showing, then 1..16
inline constexpr int kPropRoulettePlayer = 30;  // roulette: the player served, 4 when done
inline constexpr int kPropRouletteState = 35;   // 0 spinning, 2..120 result shown, -1 next
inline constexpr int kPropRouletteSlots = 36;   // 36..47: the value of each of the 12 slots
inline constexpr int kPropResultShown = 35;     // result: message lines shown so far
inline constexpr int kRouletteSlots = 12;

// The checker of tiles 154..157 over the whole screen, scrolling a pixel a frame up and left.
void DrawCheckerBackground(int32_t age, uint32_t colour);

void UpdateItemGetWindow(int w);

// The picture of icon i in the item-get notice: a sprite, or -1 for none (the leaf figures and
// the icons without a picture).
int32_t ItemGetPictureSprite(int32_t icon);

// The roulette serves each taking-part player in turn; the reward of slot value r for player p.
void UpdateRouletteWindow(int w);
void ApplyRouletteReward(int p, int32_t r);

// The talk after a stage, page by page; the portrait sprite of a speaker's value, or -1 for a
// value that names no portrait.
void UpdateResultWindow(int w);
int32_t ResultPortraitSprite(int32_t value);

void UpdateCollectionWindow(int w);

}  // namespace velmora
