// What the files of this folder share: the key, mouse and pad states kept from SDL events, the
// pad table, and the force-feedback motors.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

#include "platform/dinput/dinput.h"

namespace plat::dinput {

// SDL may list more joysticks than the engine takes; the rest stay visible so that the
// engine's own limit is what stops it.
constexpr int kMaxPads = 16;

enum class DeviceKind { kKeyboard, kMouse, kPad };

// One pad's state as SDL last reported it, before any range or dead zone.
struct PadSnapshot {
    int32_t axes[6];  // X, Y, Z, Rx, Ry, Rz: -32768..32767
    uint32_t pov;     // hundredths of a degree, 0xFFFFFFFF centred
    uint8_t buttons[32];
    int axisCount;
    int buttonCount;
    bool hasPov;
    bool attached;
    bool controller;  // read through SDL's controller mapping
};

// Starts SDL's joystick and game-controller support and the event listener (once).
void StartInputEvents();

// Opens the joysticks SDL lists now, in SDL's order, keeping the ones already open.
void ScanPads();
int PadCount();
// The SDL instance id of the pad at an index of the present order, or -1.
int PadInstanceAt(int index);
bool PadSnapshotOf(int instance, PadSnapshot* out);
std::string PadName(int instance);
bool PadIsController(int instance);
SDL_Joystick* PadJoystick(int instance);

void ReadKeyState(uint8_t keys[256]);
// The buttons now and the motion gathered since the last read, which this read takes.
void ReadMouseState(DIMOUSESTATE2* out);

// Sets the change events of the live devices of that kind (for pads: of that instance).
void SignalDevices(DeviceKind kind, int instance);

// ---- Force feedback ----
enum class EffectKind { kConstant, kSine };
enum class EffectPath { kHaptic, kRumble, kRecorded };
struct EffectSpec {
    EffectKind kind;
    int32_t magnitude;  // 0..10000
    uint32_t periodMs;
    uint32_t attackMs;
    uint32_t fadeMs;
};
// Chooses where a pad's effect of this kind plays; haptic ids come back through *hapticId.
EffectPath OpenEffect(int instance, const EffectSpec& spec, int* hapticId);
void RunEffect(int instance, EffectPath path, const EffectSpec& spec, int hapticId, bool on);
void CloseEffect(int instance, EffectPath path, const EffectSpec& spec, int hapticId);
// Renews a running rumble before SDL's own duration runs out.
void RenewRumble(int instance);

// Notes one force-feedback call for the tests (bounded).
void NoteForceFeedback(const std::string& line);

// Forced failures (platform/testing.h): true when this call of the step should fail.
enum class Step {
    kObject7,
    kObject8,
    kInitialize,
    kCreateDevice,
    kDataFormat,
    kCooperativeLevel,
    kProperty,
    kEventNotification,
    kAcquire,
    kDeviceState,
    kCreateEffect,
    kCount
};
bool TakeForcedFailure(Step step, DeviceKind kind);

}  // namespace plat::dinput
