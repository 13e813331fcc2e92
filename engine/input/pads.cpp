// Pads: set-up of each pad DirectInput finds, reading one pad, the pad word with the keyboard
// mapping, and vibration with its time limit.
#include <cstring>

#include "engine/base/core_services.h"
#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/input/input.h"
#include "engine/input/input_state.h"
#include "platform/dinput/dinput.h"
#include "platform/win/thread.h"
#include "platform/win/time.h"

namespace tessra {

namespace {

using namespace plat;
using namespace sjis_literals;

constexpr LONG kAxisRange = 1000;
constexpr DWORD kDeadZone = 2500;  // a quarter of the axis range
constexpr int kPadButtonBits = 24;

// Raw joystick positions 24576..40960 are the dead band; each side scales by 1000/24576.
constexpr int64_t kBandLow = 24576;
constexpr int64_t kBandHigh = 40960;

struct KeyBit {
    int dik;
    int32_t bit;
};
const KeyBit kKeyboardMapping[] = {
    {DIK_NUMPAD2, 0x1},   {DIK_DOWN, 0x1},     {DIK_NUMPAD4, 0x2}, {DIK_LEFT, 0x2},
    {DIK_NUMPAD6, 0x4},   {DIK_RIGHT, 0x4},    {DIK_NUMPAD8, 0x8}, {DIK_UP, 0x8},
    {DIK_Z, 0x10},        {DIK_X, 0x20},       {DIK_C, 0x40},      {DIK_A, 0x80},
    {DIK_S, 0x100},       {DIK_D, 0x200},      {DIK_Q, 0x400},     {DIK_W, 0x800},
    {DIK_ESCAPE, 0x1000}, {DIK_SPACE, 0x2000},
};

int PadIndexOf(int inputDevice) {
    return (inputDevice & ~kInputDeviceKeyboard) - 1;
}

bool EventSignalled(HANDLE event) {
    return event != nullptr && WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

bool SetAxisProperty(DirectInputDevice* device, DWORD axis, bool range) {
    if (range) {
        DIPROPRANGE p;
        p.diph.dwSize = sizeof p;
        p.diph.dwHeaderSize = sizeof p.diph;
        p.diph.dwObj = axis;
        p.diph.dwHow = DIPH_BYOFFSET;
        p.lMin = -kAxisRange;
        p.lMax = kAxisRange;
        return !DiFailed(device->SetProperty(DIPROP_RANGE, &p.diph));
    }
    DIPROPDWORD p;
    p.diph.dwSize = sizeof p;
    p.diph.dwHeaderSize = sizeof p.diph;
    p.diph.dwObj = axis;
    p.diph.dwHow = DIPH_BYOFFSET;
    p.dwData = kDeadZone;
    return !DiFailed(device->SetProperty(DIPROP_DEADZONE, &p.diph));
}

void CreatePadEffects(DirectInputDevice* device, PadState& pad) {
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    LONG direction[2] = {0, 0};
    DIEFFECT effect;
    std::memset(&effect, 0, sizeof effect);
    effect.dwSize = sizeof effect;
    effect.dwDuration = DI_INFINITE;
    effect.dwSamplePeriod = 0;
    effect.dwGain = DI_FFNOMINALMAX;
    effect.dwTriggerButton = DIEB_NOTRIGGER;
    effect.dwTriggerRepeatInterval = 0;
    effect.cAxes = 2;
    effect.rgdwAxes = axes;
    effect.rglDirection = direction;
    effect.dwStartDelay = 0;

    DIPERIODIC periodic{DI_FFNOMINALMAX, 0, 0, 3 * DI_SECONDS / 2};
    DIENVELOPE envelope{sizeof(DIENVELOPE), 0, DI_SECONDS / 2, 0, DI_SECONDS};
    effect.dwFlags = DIEFF_OBJECTOFFSETS | DIEFF_POLAR;
    effect.lpEnvelope = &envelope;
    effect.cbTypeSpecificParams = sizeof periodic;
    effect.lpvTypeSpecificParams = &periodic;
    pad.periodicEffect = nullptr;
    if (DiFailed(device->CreateEffect(GUID_Sine, &effect, &pad.periodicEffect, nullptr)))
        pad.periodicEffect = nullptr;

    DICONSTANTFORCE constant{static_cast<LONG>(DI_FFNOMINALMAX)};
    effect.dwFlags = DIEFF_OBJECTOFFSETS | DIEFF_CARTESIAN;
    effect.lpEnvelope = nullptr;
    effect.cbTypeSpecificParams = sizeof constant;
    effect.lpvTypeSpecificParams = &constant;
    pad.constantEffect = nullptr;
    if (DiFailed(device->CreateEffect(GUID_ConstantForce, &effect, &pad.constantEffect, nullptr))) {
        pad.constantEffect = nullptr;
        AppendLog("周期的エフェクトの作成に失敗しました。\n"_sjis);
    }
}

// Raw 0..65535 to -1000..1000 with the dead band.
LONG ConvertJoyPosition(DWORD raw) {
    const int64_t v = raw;
    if (v < kBandLow) return static_cast<LONG>((v - kBandLow) * kAxisRange / kBandLow);
    if (v > kBandHigh) return static_cast<LONG>((v - kBandHigh) * kAxisRange / kBandLow);
    return 0;
}

bool InputUnstartedAndOpen(const InputState& s) {
    return s.object == nullptr && !Core().isCloseRequested();
}

}  // namespace

void ReleaseJoypad(PadState& pad) {
    if (pad.constantEffect != nullptr) {
        pad.constantEffect->Stop();
        pad.constantEffect->Release();
        pad.constantEffect = nullptr;
    }
    if (pad.periodicEffect != nullptr) {
        pad.periodicEffect->Stop();
        pad.periodicEffect->Release();
        pad.periodicEffect = nullptr;
    }
    if (pad.device != nullptr) {
        pad.device->Release();
        pad.device = nullptr;
    }
    if (pad.changeEvent != nullptr) {
        CloseHandle(pad.changeEvent);
        pad.changeEvent = nullptr;
    }
}

int SetupJoypadDevice(const DIDEVICEINSTANCEA* instance, void*) {
    InputState& s = GetInputState();
    if (s.padCount >= kMaxJoypads) return DIENUM_STOP;
    PadState& pad = s.pads[s.padCount];
    AppendLog("入力装置を見つけました\n"_sjis);
    DirectInputDevice* device = nullptr;
    const HRESULT created =
        s.directInput8 ? s.object->CreateDevice(instance->guidInstance, &device, nullptr)
                       : s.object->CreateDeviceEx(instance->guidInstance, IID_IDirectInputDevice7A,
                                                  &device, nullptr);
    if (DiFailed(created) || device == nullptr) {
        AppendLog("入力装置の取得に失敗しました\n"_sjis);
        return DIENUM_CONTINUE;
    }
    DIDEVICEINSTANCEA info;
    std::memset(&info, 0, sizeof info);
    info.dwSize = sizeof info;
    device->GetDeviceInfo(&info);
    IncreaseLogIndent();
    AppendLogFormat("デバイスの登録名:%s"_sjis, info.tszInstanceName);
    AppendLogFormat("デバイスの製品登録名:%s"_sjis, info.tszProductName);
    DecreaseLogIndent();

    auto drop = [&](const char* text) {
        device->Release();
        AppendLog(text);
        return DIENUM_CONTINUE;
    };
    if (DiFailed(device->SetDataFormat(&c_dfDIJoystick)))
        return drop("ジョイパッドデバイスではありませんでした、又は設定に失敗しました\n"_sjis);
    if (DiFailed(device->SetCooperativeLevel(Core().getEngineWindowBody(),
                                             DISCL_EXCLUSIVE | DISCL_FOREGROUND)))
        return drop("ジョイパッドデバイスの協調レベルの設定に失敗しました\n"_sjis);
    if (!SetAxisProperty(device, DIJOFS_X, true))
        return drop("ジョイパッドデバイスのＸ軸関係の設定に失敗しました\n"_sjis);
    if (!SetAxisProperty(device, DIJOFS_Y, true))
        return drop("ジョイパッドデバイスのＹ軸関係の設定に失敗しました\n"_sjis);
    SetAxisProperty(device, DIJOFS_Z, true);
    SetAxisProperty(device, DIJOFS_RZ, true);
    if (!SetAxisProperty(device, DIJOFS_X, false))
        return drop("ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました\n"_sjis);
    if (!SetAxisProperty(device, DIJOFS_Y, false))
        return drop("ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n"_sjis);
    SetAxisProperty(device, DIJOFS_Z, false);
    SetAxisProperty(device, DIJOFS_RZ, false);

    CreatePadEffects(device, pad);
    pad.vibrationOn = 0;
    pad.vibrationPower = 10000;
    pad.constantRunning = 0;
    pad.periodicRunning = 0;

    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const HRESULT hr = device->SetEventNotification(event);
    if (hr != DI_OK && hr != DI_POLLEDDEVICE) {
        AppendLog("ジョイパッドイベントのセットアップが失敗しました\n"_sjis);
        // The pad is not added: nothing of it may stay behind past the count.
        pad.device = device;
        pad.changeEvent = event;
        ReleaseJoypad(pad);
        std::memset(&pad, 0, sizeof pad);
        return DIENUM_CONTINUE;
    }
    device->Acquire();
    pad.changeEvent = event;
    pad.device = device;
    std::memset(&pad.joystick, 0, sizeof pad.joystick);
    ++s.padCount;
    AppendLog("ジョイパッドの追加は正常に終了しました\n"_sjis);
    return s.padCount >= kMaxJoypads ? DIENUM_STOP : DIENUM_CONTINUE;
}

int PollJoypad(int index) {
    // Only the eight records exist.
    if (index < 0 || index >= kMaxJoypads) return -1;
    InputState& s = GetInputState();
    PadState& pad = s.pads[index];
    if (s.noDirectInput) {
        const DWORD t = timeGetTime();
        if (t == pad.pollTime) return 0;
        pad.pollTime = t;
        JOYINFOEX info;
        std::memset(&info, 0, sizeof info);
        info.dwSize = sizeof info;
        info.dwFlags = JOY_RETURNALL;
        if (joyGetPosEx(static_cast<UINT>(index), &info) != JOYERR_NOERROR) {
            std::memset(&pad.joystick, 0, sizeof pad.joystick);
            return 0;
        }
        pad.joystick.lX = ConvertJoyPosition(info.dwXpos);
        pad.joystick.lY = ConvertJoyPosition(info.dwYpos);
        pad.joystick.lZ = pad.fourAxis ? ConvertJoyPosition(info.dwZpos) : 0;
        pad.joystick.lRz = pad.fourAxis ? ConvertJoyPosition(info.dwRpos) : 0;
        for (int n = 0; n < kPadButtonBits; ++n)
            pad.joystick.rgbButtons[n] = (info.dwButtons >> n) & 1 ? 0x80 : 0;
        return 0;
    }
    // The pad count outlives shut-down; its records then have no device.
    if (pad.device == nullptr) return 0;
    const DWORD t = timeGetTime();
    if (t == pad.pollTime && !EventSignalled(pad.changeEvent)) return 0;
    pad.pollTime = t;
    pad.device->Poll();
    DIJOYSTATE state;
    if (!DiFailed(pad.device->GetDeviceState(sizeof state, &state))) {
        pad.joystick = state;
    } else {
        if (Core().processMessageBody() != 0) return -1;
        if (!DiFailed(pad.device->Acquire())) {
            if (Core().processMessageBody() != 0) return -1;
            if (!DiFailed(pad.device->GetDeviceState(sizeof state, &state))) pad.joystick = state;
        }
    }
    if (EventSignalled(pad.changeEvent)) ResetEvent(pad.changeEvent);
    return 0;
}

int32_t KeyboardPadBits() {
    const InputState& s = GetInputState();
    int32_t bits = 0;
    for (const KeyBit& k : kKeyboardMapping)
        if (s.keys[k.dik] & 0x80) bits |= k.bit;
    return bits;
}

int ComposePadStateBits(int inputDevice) {
    const int index = PadIndexOf(inputDevice);
    if (LazyStartInput()) return 0;
    InputState& s = GetInputState();
    const bool withKeyboard = (inputDevice & kInputDeviceKeyboard) != 0;
    const bool counted = index >= 0 && index < s.padCount;
    if (!counted && !withKeyboard) return 0;
    int32_t word = 0;
    if (counted && (s.noDirectInput || s.pads[index].device != nullptr)) {
        PollJoypad(index);
        const DIJOYSTATE& j = s.pads[index].joystick;
        if (j.lX < 0) word |= 0x2;
        if (j.lX > 0) word |= 0x4;
        if (j.lY < 0) word |= 0x8;
        if (j.lY > 0) word |= 0x1;
        for (int n = 0; n < kPadButtonBits; ++n)
            if (j.rgbButtons[n] & 0x80) word |= 1 << (4 + n);
    }
    if (withKeyboard) {
        PollKeyboard();
        word |= KeyboardPadBits();
    }
    return word;
}

int ApplyJoypadVibration() {
    InputState& s = GetInputState();
    if (s.noDirectInput || InputUnstartedAndOpen(s)) return 0;
    const bool active = Core().isApplicationActive() != 0;
    for (int i = 0; i < s.padCount; ++i) {
        PadState& pad = s.pads[i];
        if (pad.device == nullptr) continue;
        if (!active) {
            if (pad.constantEffect != nullptr && pad.constantRunning) pad.constantEffect->Stop();
            if (pad.periodicEffect != nullptr && pad.periodicRunning) pad.periodicEffect->Stop();
            pad.constantRunning = 0;
            pad.periodicRunning = 0;
            continue;
        }
        if (pad.constantEffect != nullptr && pad.constantRunning != pad.vibrationOn) {
            if (pad.vibrationOn == 1)
                pad.constantEffect->Start(1, 0);
            else
                pad.constantEffect->Stop();
            pad.constantRunning = pad.vibrationOn;
        }
        const int32_t want = pad.vibrationOn == 1 && pad.vibrationPower > 5000 ? 1 : 0;
        if (pad.periodicEffect != nullptr && pad.periodicRunning != want) {
            if (want == 1)
                pad.periodicEffect->Start(1, 0);
            else
                pad.periodicEffect->Stop();
            pad.periodicRunning = want;
        }
    }
    return 0;
}

int StopPadVibration(int inputDevice) {
    const int index = PadIndexOf(inputDevice);
    if (LazyStartInput()) return 0;
    InputState& s = GetInputState();
    if (index < 0 || index >= s.padCount) return 0;
    PadState& pad = s.pads[index];
    if (pad.device == nullptr || pad.constantEffect == nullptr || !pad.vibrationOn) return 0;
    pad.vibrationOn = 0;
    pad.vibrationPower = 10000;
    ApplyJoypadVibration();
    return 0;
}

int StartPadVibration(int inputDevice, int power, int limitMs) {
    const int index = PadIndexOf(inputDevice);
    InputState& s = GetInputState();
    if (index < 0 || index >= s.padCount) return -1;
    PadState& pad = s.pads[index];
    if (pad.device == nullptr || pad.constantEffect == nullptr) return -1;
    pad.vibrationOn = 1;
    pad.vibrationPower = power < 0 ? 0 : (power > 10000 ? 10000 : power);
    pad.vibrationLimit = limitMs;
    pad.vibrationElapsed = 0;
    pad.vibrationClock = timeGetTime();
    ApplyJoypadVibration();
    return 0;
}

int UpdateVibrationTimers() {
    InputState& s = GetInputState();
    if (s.noDirectInput || InputUnstartedAndOpen(s)) return 0;
    const DWORD t = timeGetTime();
    for (int i = 0; i < s.padCount; ++i) {
        PadState& pad = s.pads[i];
        if (!pad.vibrationOn || pad.device == nullptr) continue;
        if (pad.vibrationLimit < 0 || t == pad.vibrationClock) continue;
        // The millisecond clock wrapped: count on from here.
        if (t < pad.vibrationClock) pad.vibrationClock = t;
        pad.vibrationElapsed += static_cast<int32_t>(t - pad.vibrationClock);
        pad.vibrationClock = t;
        if (pad.vibrationElapsed >= pad.vibrationLimit) StopPadVibration(i + 1);
    }
    ApplyJoypadVibration();
    return 0;
}

}  // namespace tessra
