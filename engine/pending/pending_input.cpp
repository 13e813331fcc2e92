// Recording stand-ins for the input and text-input services until that subsystem is built: each
// notes its call (engine/pending/pending_calls.h) and gives its usual success value or a test's
// chosen result.
#include "engine/input/input.h"
#include "engine/pending/pending_calls.h"

namespace tessra {

// No control keys until text input is built.
const ControlKeyChar kControlKeyTable[] = {{0, 0}};

int InitInput() {
    return static_cast<int>(PendingCall("InitInput", 0));
}

int ShutdownInput() {
    return static_cast<int>(PendingCall("ShutdownInput", 0));
}

int ReacquireInputDevices() {
    return static_cast<int>(PendingCall("ReacquireInputDevices", 0));
}

int TestKeyStateDown(int) {
    return static_cast<int>(PendingCall("TestKeyStateDown", 0));
}

int CountJoypads() {
    return static_cast<int>(PendingCall("CountJoypads", 0));
}

int ComposePadStateBits(int) {
    return static_cast<int>(PendingCall("ComposePadStateBits", 0));
}

int ReadMouseButtonState() {
    return static_cast<int>(PendingCall("ReadMouseButtonState", 0));
}

int UpdateVibrationTimers() {
    return static_cast<int>(PendingCall("UpdateVibrationTimers", 0));
}

int ApplyJoypadVibration() {
    return static_cast<int>(PendingCall("ApplyJoypadVibration", 0));
}

int InitCharInput() {
    return static_cast<int>(PendingCall("InitCharInput", 0));
}

int ReleaseAllKeyInputHandles() {
    return static_cast<int>(PendingCall("ReleaseAllKeyInputHandles", 0));
}

int UpdateActiveKeyInput() {
    return static_cast<int>(PendingCall("UpdateActiveKeyInput", 0));
}

int PutInputChar(uint8_t) {
    return static_cast<int>(PendingCall("PutInputChar", 0));
}

plat::LRESULT OnImeMessage(plat::HWND, plat::UINT, plat::WPARAM, plat::LPARAM) {
    return static_cast<plat::LRESULT>(PendingCall("OnImeMessage", 0));
}

int EnableInputStateFlag1() {
    return static_cast<int>(PendingCall("EnableInputStateFlag1", 0));
}

int DisableInputStateFlag1() {
    return static_cast<int>(PendingCall("DisableInputStateFlag1", 0));
}

int EnableInputStateFlag2() {
    return static_cast<int>(PendingCall("EnableInputStateFlag2", 0));
}

int DisableInputStateFlag2() {
    return static_cast<int>(PendingCall("DisableInputStateFlag2", 0));
}

int RequestImeReapply() {
    return static_cast<int>(PendingCall("RequestImeReapply", 0));
}

}  // namespace tessra
