// Recording stand-ins for the text-input services until they are built: each notes its call
// (engine/pending/pending_calls.h) and gives its usual success value or a test's chosen result.
#include "engine/input/input.h"
#include "engine/pending/pending_calls.h"

namespace tessra {

// No control keys until text input is built.
const ControlKeyChar kControlKeyTable[] = {{0, 0}};

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

int RequestImeReapply() {
    return static_cast<int>(PendingCall("RequestImeReapply", 0));
}

}  // namespace tessra
