#include "game/core/input.h"

#include "engine/tessra.h"
#include "game/core/config.h"

namespace velmora {

namespace {

// Assignment words 5..13 in order give these buttons.
constexpr ButtonWord kAssignedButtons[kAssignmentWordCount] = {
    kButtonShot,    kButtonSubAction, kButtonDirection, kButtonMenu,    kButtonSnapshot,
    kButtonExtra10, kButtonExtra11,   kButtonExtra12,   kButtonExtra13,
};

constexpr uint32_t kDirectionBits = kButtonDown | kButtonLeft | kButtonRight | kButtonUp;

// Keyboard merged into pad 1, then pads 2..4.
constexpr int kPadDevices[] = {0x1001, 2, 3, 4};

ButtonWord g_current = 0;
ButtonWord g_previous = 0;

}  // namespace

ButtonWord AssignedButton(int word) {
    const int k = word - kFirstAssignmentWord;
    return k >= 0 && k < kAssignmentWordCount ? kAssignedButtons[k] : 0;
}

uint32_t ReadPads() {
    uint32_t raw = 0;
    for (int device : kPadDevices) raw |= static_cast<uint32_t>(GetPadInput(device));
    return raw;
}

ButtonWord MapButtons(uint32_t raw) {
    ButtonWord word = raw & kDirectionBits;
    for (int k = 0; k < kAssignmentWordCount; ++k) {
        const uint32_t assigned = static_cast<uint32_t>(GetConfigVar(kFirstAssignmentWord + k));
        if (assigned & raw) word |= kAssignedButtons[k];
    }
    return word;
}

ButtonWord ReadButtons() {
    return MapButtons(ReadPads());
}

void PollButtons() {
    g_previous = g_current;
    g_current = ReadButtons();
}

bool IsButtonHeld(uint32_t mask) {
    return (g_current & mask) != 0;
}

bool IsButtonPressed(uint32_t mask) {
    return (g_previous & mask) == 0 && (g_current & mask) != 0;
}

ButtonWord GetCurrentButtons() {
    return g_current;
}

void ClearButtonState() {
    g_current = 0;
    g_previous = 0;
}

}  // namespace velmora
