// What the engine core asks of input and text input: start and stop, the bodies of the public
// key, pad and mouse calls, and the steps the message pump and the window procedure run.
#pragma once

#include <cstdint>

#include "platform/win/types.h"

namespace tessra {

int InitInput();                           // 0, or -1: engine start-up fails
int ShutdownInput();                       // 0, also when input never started
int ReacquireInputDevices();               // on window activation
int TestKeyStateDown(int scanCode);        // body of IsKeyDown: 1 down, 0 up
int CountJoypads();                        // body of GetPadCount
int ComposePadStateBits(int inputDevice);  // body of GetPadInput
int ReadMouseButtonState();                // body of GetMouseButtons
int UpdateVibrationTimers();               // every pump pass
int ApplyJoypadVibration();                // on activation changes
int StopPadVibration(int inputDevice);     // 0
// Vibrates a pad (input device id as for GetPadInput) at power 0..10000 (above 5000 adds the
// periodic effect) for limitMs milliseconds, or until stopped when negative. 0, or -1 for a
// pad that cannot vibrate. The engine's own: the game never vibrates.
int StartPadVibration(int inputDevice, int power, int limitMs);
int InitCharInput();              // last step of start-up
int ReleaseAllKeyInputHandles();  // window shut-down
int UpdateActiveKeyInput();       // end of every pump pass
int PutInputChar(uint8_t ch);     // 0, or -1 when the character buffer is full
plat::LRESULT OnImeMessage(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                           plat::LPARAM lParam);
int EnableInputStateFlag1();
int DisableInputStateFlag1();
int EnableInputStateFlag2();
int DisableInputStateFlag2();
// On activation: asks the next key-input update to re-apply the IME state when the IME is
// enabled and was open.
int RequestImeReapply();

// The control keys that WM_KEYDOWN turns into characters: pairs of virtual key and character
// byte, ended by a 0 key.
struct ControlKeyChar {
    uint32_t key;
    uint8_t ch;
};
extern const ControlKeyChar kControlKeyTable[];

}  // namespace tessra
