// The input subsystem's own record: devices, key state and pads. Private to engine/input (and
// its tests).
#pragma once

#include <cstdint>

#include "platform/dinput/dinput.h"
#include "platform/win/types.h"

namespace tessra {

inline constexpr int kMaxJoypads = 8;
inline constexpr int kInputDeviceKeyboard = 0x1000;

struct PadState {
    plat::DirectInputDevice* device;
    plat::DirectInputEffect* constantEffect;
    plat::DirectInputEffect* periodicEffect;
    plat::HANDLE changeEvent;
    plat::DIJOYSTATE joystick;
    int32_t fourAxis;  // without DirectInput: the joystick has a Z and an R axis
    uint32_t pollTime;
    int32_t vibrationOn;
    int32_t vibrationPower;    // 0..10000
    int32_t vibrationLimit;    // ms; negative: until stopped
    int32_t vibrationElapsed;  // ms
    uint32_t vibrationClock;
    int32_t constantRunning;
    int32_t periodicRunning;
};

// The "initialised without DirectInput" value of the object field.
inline plat::DirectInputObject* NoDirectInputMark() {
    return reinterpret_cast<plat::DirectInputObject*>(static_cast<intptr_t>(-1));
}

struct InputState {
    int32_t noDirectInput;  // kept across re-initialisation
    int32_t directInput8;
    plat::DirectInputObject* object;  // null: not initialised; NoDirectInputMark(): without it
    plat::DirectInputDevice* mouse;
    plat::DirectInputDevice* keyboard;
    plat::HANDLE keyboardEvent;
    uint32_t keyboardPollTime;
    uint8_t keys[256];
    int32_t padCount;
    PadState pads[kMaxJoypads];
    int32_t flag1, flag2;
};

InputState& GetInputState();

// (virtual key, DIK code) rows: the first section, a 0xFFFE row, the second, a 0xFFFF row.
struct VkToDik {
    uint16_t vk;
    uint16_t dik;
};
extern const VkToDik kVkToDikTable[];

int PollKeyboard();
int PollJoypad(int index);
int SetupJoypadDevice(const plat::DIDEVICEINSTANCEA* instance, void* context);
// Releases a pad's effects and device, closes its event and clears the fields.
void ReleaseJoypad(PadState& pad);
// The keyboard's bits of a pad word.
int32_t KeyboardPadBits();
// The lazy start of the query functions: true when the caller must answer 0 now (input was
// started on this call, or the application stayed inactive into shut-down).
bool LazyStartInput();

}  // namespace tessra
