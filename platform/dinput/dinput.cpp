// The DirectInput objects, devices and effects, and the forced failures tests ask for.
#include "platform/dinput/dinput.h"

#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/dinput/internal.h"
#include "platform/testing.h"
#include "platform/win/internal.h"
#include "platform/win/thread.h"
#include "platform/win/window.h"

namespace plat {

const GUID GUID_SysKeyboard = {
    0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysMouse = {
    0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_ConstantForce = {
    0x13541C20, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_Sine = {
    0x13541C23, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID IID_IDirectInputDevice7A = {
    0x57D7C6BC, 0x2356, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};

const DIDATAFORMAT c_dfDIKeyboard = {24, 16, 0x2, 256, 256};
const DIDATAFORMAT c_dfDIMouse2 = {24, 16, 0x2, 20, 11};
const DIDATAFORMAT c_dfDIJoystick = {24, 16, 0x1, 80, 44};

namespace dinput {
namespace {

// A pad's instance guid carries its SDL instance id.
constexpr uint16_t kPadGuidMark = 0x5041;
GUID PadGuid(int instance) {
    return GUID{static_cast<uint32_t>(instance),
                kPadGuidMark,
                0x4400,
                {'S', 'D', 'L', 'P', 'A', 'D', 0, 0}};
}
bool IsPadGuid(const GUID& guid, int* instance) {
    GUID probe = PadGuid(static_cast<int>(guid.data1));
    if (!(probe == guid)) return false;
    *instance = static_cast<int>(guid.data1);
    return true;
}

std::mutex g_failMutex;
int g_failures[static_cast<int>(Step::kCount)][4];  // by step, then any / keyboard / mouse / pad

// What tests look at: live objects, acquisitions and offered events by kind slot.
std::mutex g_countMutex;
testing::LiveInputCounts g_live{};
int g_acquisitions[4];
HANDLE g_offeredEvents[4];

int KindSlot(DeviceKind kind);

void CountLive(int testing::LiveInputCounts::*field, int delta) {
    std::lock_guard<std::mutex> lock(g_countMutex);
    g_live.*field += delta;
}

struct AxisSetting {
    LONG min = 0;
    LONG max = 65535;
    DWORD deadZone = 0;
    DWORD saturation = 10000;
};

// DirectInput's scaling: nothing inside the dead zone, full deflection from the saturation on,
// and the part between spread over the whole range.
LONG ScaleAxis(int32_t raw, const AxisSetting& a) {
    const double r = raw >= 0 ? raw / 32767.0 : raw / 32768.0;
    const double m = std::fabs(r);
    const double d = a.deadZone / 10000.0;
    const double s = a.saturation / 10000.0;
    double v;
    if (m <= d)
        v = 0.0;
    else if (m >= s)
        v = 1.0;
    else
        v = (m - d) / (s - d);
    v = std::copysign(v, r);
    const double centre = (static_cast<double>(a.min) + a.max) / 2.0;
    const double half = (static_cast<double>(a.max) - a.min) / 2.0;
    return static_cast<LONG>(std::lround(centre + v * half));
}

class Device;

class Effect final : public DirectInputEffect {
public:
    Effect(Device* device, int instance, EffectSpec spec, EffectPath path, int hapticId)
        : device_(device), instance_(instance), spec_(spec), path_(path), hapticId_(hapticId) {
        CountLive(&testing::LiveInputCounts::effects, 1);
    }
    ~Effect() override { CountLive(&testing::LiveInputCounts::effects, -1); }
    HRESULT Start(DWORD iterations, DWORD flags) override;
    HRESULT Stop() override;
    DWORD Release() override;
    // The device is going or lost its acquisition: the effect stops playing.
    void Silence();
    void Detach() {
        Silence();
        CloseEffect(instance_, path_, spec_, hapticId_);
        device_ = nullptr;
    }

private:
    Device* device_;
    int instance_;
    EffectSpec spec_;
    EffectPath path_;
    int hapticId_;
    bool playing_ = false;
};

std::mutex g_devicesMutex;
std::vector<Device*> g_devices;

class Device final : public DirectInputDevice {
public:
    Device(DeviceKind kind, int instance) : kind_(kind), instance_(instance) {
        CountLive(&testing::LiveInputCounts::devices, 1);
        std::lock_guard<std::mutex> lock(g_devicesMutex);
        g_devices.push_back(this);
    }
    ~Device() override {
        CountLive(&testing::LiveInputCounts::devices, -1);
        std::lock_guard<std::mutex> lock(g_devicesMutex);
        for (size_t i = 0; i < g_devices.size(); ++i) {
            if (g_devices[i] == this) {
                g_devices.erase(g_devices.begin() + static_cast<long>(i));
                break;
            }
        }
    }

    DeviceKind Kind() const { return kind_; }
    int Instance() const { return instance_; }
    bool Acquired() const { return acquired_; }
    void Signal() {
        HANDLE event;
        {
            std::lock_guard<std::mutex> lock(eventMutex_);
            event = event_;
        }
        if (event != nullptr) SetEvent(event);
    }
    void Forget(Effect* effect) {
        for (size_t i = 0; i < effects_.size(); ++i) {
            if (effects_[i] == effect) {
                effects_.erase(effects_.begin() + static_cast<long>(i));
                return;
            }
        }
    }

    HRESULT SetDataFormat(const DIDATAFORMAT* format) override {
        if (format == nullptr) return DIERR_INVALIDPARAM;
        if (acquired_) return DIERR_ACQUIRED;
        if (TakeForcedFailure(Step::kDataFormat, kind_)) return DIERR_INVALIDPARAM;
        if (format->dwDataSize != StateSize()) return DIERR_INVALIDPARAM;
        formatSet_ = true;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
        if (TakeForcedFailure(Step::kCooperativeLevel, kind_)) return DIERR_INVALIDPARAM;
        const bool exclusive = (flags & DISCL_EXCLUSIVE) != 0;
        const bool background = (flags & DISCL_BACKGROUND) != 0;
        if (exclusive == ((flags & DISCL_NONEXCLUSIVE) != 0)) return DIERR_INVALIDPARAM;
        if (background == ((flags & DISCL_FOREGROUND) != 0)) return DIERR_INVALIDPARAM;
        if (!background && !IsWindow(window)) return DIERR_INVALIDPARAM;
        // Nothing may hold the system keyboard exclusively in the background.
        if (kind_ == DeviceKind::kKeyboard && exclusive && background) return DIERR_UNSUPPORTED;
        return DI_OK;
    }

    HRESULT SetProperty(DiProperty property, const DIPROPHEADER* header) override {
        if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER))
            return DIERR_INVALIDPARAM;
        if (TakeForcedFailure(Step::kProperty, kind_)) return DIERR_INVALIDPARAM;
        if (property == DIPROP_BUFFERSIZE) {
            if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE)
                return DIERR_INVALIDPARAM;
            if (acquired_) return DIERR_ACQUIRED;
            bufferSize_ = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
            return DI_OK;
        }
        if (kind_ != DeviceKind::kPad) return DIERR_UNSUPPORTED;
        AxisSetting* first = nullptr;
        int count = 0;
        if (header->dwHow == DIPH_DEVICE && header->dwObj == 0) {
            first = axes_;
            count = 6;
        } else if (header->dwHow == DIPH_BYOFFSET && header->dwObj % 4 == 0 &&
                   header->dwObj <= DIJOFS_RZ) {
            first = &axes_[header->dwObj / 4];
            count = 1;
        } else {
            return DIERR_INVALIDPARAM;
        }
        if (property == DIPROP_RANGE) {
            if (header->dwSize != sizeof(DIPROPRANGE)) return DIERR_INVALIDPARAM;
            if (acquired_) return DIERR_ACQUIRED;
            const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
            if (range->lMin >= range->lMax) return DIERR_INVALIDPARAM;
            for (int i = 0; i < count; ++i) {
                first[i].min = range->lMin;
                first[i].max = range->lMax;
            }
            return DI_OK;
        }
        if (header->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
        const DWORD value = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
        if (value > 10000) return DIERR_INVALIDPARAM;
        for (int i = 0; i < count; ++i) {
            if (property == DIPROP_DEADZONE)
                first[i].deadZone = value;
            else
                first[i].saturation = value;
        }
        return DI_OK;
    }

    HRESULT SetEventNotification(HANDLE event) override {
        if (acquired_) return DIERR_ACQUIRED;
        {
            std::lock_guard<std::mutex> lock(g_countMutex);
            g_offeredEvents[KindSlot(kind_)] = event;
        }
        if (TakeForcedFailure(Step::kEventNotification, kind_)) return DIERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(eventMutex_);
        event_ = event;
        return DI_OK;
    }

    HRESULT Acquire() override {
        if (!formatSet_) return DIERR_INVALIDPARAM;
        if (TakeForcedFailure(Step::kAcquire, kind_)) return DIERR_GENERIC;
        if (kind_ == DeviceKind::kPad) {
            PadSnapshot s;
            if (!PadSnapshotOf(instance_, &s) || !s.attached) return DIERR_GENERIC;
        }
        if (acquired_) return DI_NOEFFECT;
        acquired_ = true;
        std::lock_guard<std::mutex> lock(g_countMutex);
        ++g_acquisitions[KindSlot(kind_)];
        return DI_OK;
    }

    HRESULT Unacquire() override {
        if (!acquired_) return DI_NOEFFECT;
        acquired_ = false;
        // Effects play only while the device is held.
        for (Effect* e : effects_) e->Silence();
        return DI_OK;
    }

    HRESULT GetDeviceState(DWORD size, void* data) override {
        if (data == nullptr || size != StateSize()) return DIERR_INVALIDPARAM;
        if (!acquired_) return DIERR_NOTACQUIRED;
        if (TakeForcedFailure(Step::kDeviceState, kind_)) {
            Unacquire();
            return DIERR_NOTACQUIRED;
        }
        switch (kind_) {
            case DeviceKind::kKeyboard:
                ReadKeyState(static_cast<uint8_t*>(data));
                break;
            case DeviceKind::kMouse:
                ReadMouseState(static_cast<DIMOUSESTATE2*>(data));
                break;
            case DeviceKind::kPad: {
                PadSnapshot s;
                if (!PadSnapshotOf(instance_, &s) || !s.attached) {
                    Unacquire();
                    return DIERR_NOTACQUIRED;
                }
                DIJOYSTATE state;
                std::memset(&state, 0, sizeof state);
                LONG* axes[6] = {&state.lX,  &state.lY,  &state.lZ,
                                 &state.lRx, &state.lRy, &state.lRz};
                for (int i = 0; i < 6; ++i)
                    *axes[i] = ScaleAxis(i < s.axisCount ? s.axes[i] : 0, axes_[i]);
                state.rgdwPOV[0] = s.pov;
                state.rgdwPOV[1] = state.rgdwPOV[2] = state.rgdwPOV[3] = 0xFFFFFFFFu;
                std::memcpy(state.rgbButtons, s.buttons, sizeof state.rgbButtons);
                std::memcpy(data, &state, sizeof state);
                RenewRumble(instance_);
                break;
            }
        }
        return DI_OK;
    }

    HRESULT Poll() override {
        if (!acquired_) return DIERR_NOTACQUIRED;
        // SDL's events keep the state; nothing needs polling.
        return DI_NOEFFECT;
    }

    HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* info) override {
        if (info == nullptr || info->dwSize != sizeof(DIDEVICEINSTANCEA)) return DIERR_INVALIDPARAM;
        std::memset(reinterpret_cast<char*>(info) + sizeof(DWORD), 0, sizeof *info - sizeof(DWORD));
        std::string name;
        switch (kind_) {
            case DeviceKind::kKeyboard:
                info->guidInstance = info->guidProduct = GUID_SysKeyboard;
                info->dwDevType = 0x13;
                name = "Keyboard";
                break;
            case DeviceKind::kMouse:
                info->guidInstance = info->guidProduct = GUID_SysMouse;
                info->dwDevType = 0x12;
                name = "Mouse";
                break;
            case DeviceKind::kPad:
                info->guidInstance = info->guidProduct = PadGuid(instance_);
                info->dwDevType = 0x14;
                name = PadName(instance_);
                break;
        }
        std::strncpy(info->tszInstanceName, name.c_str(), sizeof info->tszInstanceName - 1);
        std::strncpy(info->tszProductName, name.c_str(), sizeof info->tszProductName - 1);
        return DI_OK;
    }

    HRESULT CreateEffect(const GUID& kind, const DIEFFECT* effect, DirectInputEffect** out,
                         void*) override {
        if (out == nullptr) return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (kind_ != DeviceKind::kPad) return DIERR_UNSUPPORTED;
        if (effect == nullptr || effect->dwSize != sizeof(DIEFFECT)) return DIERR_INVALIDPARAM;
        if (TakeForcedFailure(Step::kCreateEffect, kind_)) return DIERR_UNSUPPORTED;
        EffectSpec spec{};
        const DWORD gain = effect->dwGain > 10000 ? 10000 : effect->dwGain;
        if ((kind == GUID_ConstantForce)) {
            if (effect->cbTypeSpecificParams != sizeof(DICONSTANTFORCE) ||
                effect->lpvTypeSpecificParams == nullptr)
                return DIERR_INVALIDPARAM;
            spec.kind = EffectKind::kConstant;
            spec.magnitude =
                static_cast<const DICONSTANTFORCE*>(effect->lpvTypeSpecificParams)->lMagnitude;
        } else if ((kind == GUID_Sine)) {
            if (effect->cbTypeSpecificParams != sizeof(DIPERIODIC) ||
                effect->lpvTypeSpecificParams == nullptr)
                return DIERR_INVALIDPARAM;
            const auto* p = static_cast<const DIPERIODIC*>(effect->lpvTypeSpecificParams);
            spec.kind = EffectKind::kSine;
            spec.magnitude = static_cast<int32_t>(p->dwMagnitude > 10000 ? 10000 : p->dwMagnitude);
            spec.periodMs = p->dwPeriod / 1000;
            if (effect->lpEnvelope != nullptr) {
                spec.attackMs = effect->lpEnvelope->dwAttackTime / 1000;
                spec.fadeMs = effect->lpEnvelope->dwFadeTime / 1000;
            }
        } else {
            return DIERR_UNSUPPORTED;
        }
        spec.magnitude = static_cast<int32_t>(static_cast<int64_t>(spec.magnitude) * gain / 10000);
        int hapticId = -1;
        const EffectPath path = OpenEffect(instance_, spec, &hapticId);
        auto* made = new Effect(this, instance_, spec, path, hapticId);
        effects_.push_back(made);
        *out = made;
        return DI_OK;
    }

    DWORD Release() override {
        for (Effect* e : effects_) e->Detach();
        effects_.clear();
        delete this;
        return 0;
    }

private:
    DWORD StateSize() const {
        switch (kind_) {
            case DeviceKind::kKeyboard:
                return 256;
            case DeviceKind::kMouse:
                return sizeof(DIMOUSESTATE2);
            case DeviceKind::kPad:
                return sizeof(DIJOYSTATE);
        }
        return 0;
    }

    DeviceKind kind_;
    int instance_;
    bool formatSet_ = false;
    bool acquired_ = false;
    DWORD bufferSize_ = 0;
    AxisSetting axes_[6];
    std::mutex eventMutex_;
    HANDLE event_ = nullptr;
    std::vector<Effect*> effects_;
};

HRESULT Effect::Start(DWORD, DWORD) {
    if (device_ == nullptr) return DIERR_NOTINITIALIZED;
    if (!device_->Acquired()) return DIERR_NOTEXCLUSIVEACQUIRED;
    RunEffect(instance_, path_, spec_, hapticId_, true);
    playing_ = true;
    return DI_OK;
}

HRESULT Effect::Stop() {
    if (device_ == nullptr) return DIERR_NOTINITIALIZED;
    if (!device_->Acquired()) return DIERR_NOTEXCLUSIVEACQUIRED;
    Silence();
    return DI_OK;
}

void Effect::Silence() {
    if (!playing_) return;
    RunEffect(instance_, path_, spec_, hapticId_, false);
    playing_ = false;
}

DWORD Effect::Release() {
    if (device_ != nullptr) {
        device_->Forget(this);
        Detach();
    }
    delete this;
    return 0;
}

class Object final : public DirectInputObject {
public:
    explicit Object(DWORD version) : version_(version) {
        CountLive(&testing::LiveInputCounts::objects, 1);
    }
    ~Object() override { CountLive(&testing::LiveInputCounts::objects, -1); }

    HRESULT Initialize(HINSTANCE, DWORD version) override {
        if (TakeForcedFailure(Step::kInitialize, DeviceKind::kKeyboard)) return DIERR_GENERIC;
        if (version != version_) return DIERR_INVALIDPARAM;
        initialised_ = true;
        return DI_OK;
    }

    HRESULT EnumDevices(DWORD deviceType, DiEnumDevicesCallback callback, void* context,
                        DWORD) override {
        if (!initialised_) return DIERR_NOTINITIALIZED;
        if (callback == nullptr) return DIERR_INVALIDPARAM;
        if (deviceType != DIDEVTYPE_JOYSTICK) return DI_OK;
        ScanPads();
        const int count = PadCount();
        for (int i = 0; i < count; ++i) {
            const int instance = PadInstanceAt(i);
            if (instance < 0) continue;
            DIDEVICEINSTANCEA info;
            std::memset(&info, 0, sizeof info);
            info.dwSize = sizeof info;
            info.guidInstance = info.guidProduct = PadGuid(instance);
            info.dwDevType = 0x14;
            std::string name = PadName(instance);
            std::strncpy(info.tszInstanceName, name.c_str(), sizeof info.tszInstanceName - 1);
            std::strncpy(info.tszProductName, name.c_str(), sizeof info.tszProductName - 1);
            if (callback(&info, context) == DIENUM_STOP) break;
        }
        return DI_OK;
    }

    HRESULT CreateDevice(const GUID& guid, DirectInputDevice** out, void*) override {
        if (out == nullptr) return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (!initialised_) return DIERR_NOTINITIALIZED;
        DeviceKind kind;
        int instance = -1;
        if ((guid == GUID_SysKeyboard)) {
            kind = DeviceKind::kKeyboard;
        } else if ((guid == GUID_SysMouse)) {
            kind = DeviceKind::kMouse;
        } else if (IsPadGuid(guid, &instance)) {
            kind = DeviceKind::kPad;
            PadSnapshot s;
            if (!PadSnapshotOf(instance, &s)) return DIERR_DEVICENOTREG;
        } else {
            return DIERR_DEVICENOTREG;
        }
        if (TakeForcedFailure(Step::kCreateDevice, kind)) return DIERR_DEVICENOTREG;
        StartInputEvents();
        *out = new Device(kind, instance);
        return DI_OK;
    }

    HRESULT CreateDeviceEx(const GUID& guid, const GUID&, DirectInputDevice** out,
                           void* outer) override {
        return CreateDevice(guid, out, outer);
    }

    DWORD Release() override {
        delete this;
        return 0;
    }

private:
    DWORD version_;
    bool initialised_ = false;
};

int KindSlot(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::kKeyboard:
            return 1;
        case DeviceKind::kMouse:
            return 2;
        case DeviceKind::kPad:
            return 3;
    }
    return 0;
}

}  // namespace

void SignalDevices(DeviceKind kind, int instance) {
    std::lock_guard<std::mutex> lock(g_devicesMutex);
    for (Device* d : g_devices) {
        if (d->Kind() != kind) continue;
        if (kind == DeviceKind::kPad && d->Instance() != instance) continue;
        d->Signal();
    }
}

bool TakeForcedFailure(Step step, DeviceKind kind) {
    std::lock_guard<std::mutex> lock(g_failMutex);
    int* row = g_failures[static_cast<int>(step)];
    int& mine = row[KindSlot(kind)];
    if (mine > 0) {
        --mine;
        return true;
    }
    if (row[0] > 0) {
        --row[0];
        return true;
    }
    return false;
}

void ResetVirtualPads();
void ResetForceFeedback();

}  // namespace dinput

HRESULT CreateDirectInputObject(DWORD version, DirectInputObject** out) {
    if (out == nullptr) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (version != 0x700 && version != 0x800) return REGDB_E_CLASSNOTREG;
    const dinput::Step step = version == 0x700 ? dinput::Step::kObject7 : dinput::Step::kObject8;
    if (dinput::TakeForcedFailure(step, dinput::DeviceKind::kKeyboard)) return REGDB_E_CLASSNOTREG;
    dinput::StartInputEvents();
    *out = new dinput::Object(version);
    return DI_OK;
}

namespace detail {

void ResetInputControls() {
    {
        std::lock_guard<std::mutex> lock(dinput::g_failMutex);
        std::memset(dinput::g_failures, 0, sizeof dinput::g_failures);
    }
    {
        std::lock_guard<std::mutex> lock(dinput::g_countMutex);
        std::memset(dinput::g_acquisitions, 0, sizeof dinput::g_acquisitions);
        std::memset(dinput::g_offeredEvents, 0, sizeof dinput::g_offeredEvents);
    }
    dinput::ResetForceFeedback();
    dinput::ResetVirtualPads();
}

}  // namespace detail

namespace testing {

void FailInputStep(InputStep step, InputDeviceKind kind, int count) {
    static const dinput::Step kSteps[] = {
        dinput::Step::kObject7,     dinput::Step::kObject8,
        dinput::Step::kInitialize,  dinput::Step::kCreateDevice,
        dinput::Step::kDataFormat,  dinput::Step::kCooperativeLevel,
        dinput::Step::kProperty,    dinput::Step::kEventNotification,
        dinput::Step::kAcquire,     dinput::Step::kDeviceState,
        dinput::Step::kCreateEffect};
    const int s = static_cast<int>(dinput::Step(kSteps[static_cast<int>(step)]));
    std::lock_guard<std::mutex> lock(dinput::g_failMutex);
    dinput::g_failures[s][static_cast<int>(kind)] = count;
}

LiveInputCounts LiveInputObjects() {
    std::lock_guard<std::mutex> lock(dinput::g_countMutex);
    return dinput::g_live;
}

int InputAcquisitions(InputDeviceKind kind) {
    std::lock_guard<std::mutex> lock(dinput::g_countMutex);
    return dinput::g_acquisitions[static_cast<int>(kind)];
}

HANDLE LastOfferedInputEvent(InputDeviceKind kind) {
    std::lock_guard<std::mutex> lock(dinput::g_countMutex);
    return dinput::g_offeredEvents[static_cast<int>(kind)];
}

}  // namespace testing
}  // namespace plat
