// Key, mouse and pad states kept from the SDL events the main thread takes, the pad table in
// SDL's order, and the multimedia joystick calls.
#include <SDL.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "platform/dinput/internal.h"
#include "platform/testing.h"
#include "platform/win/internal.h"
#include "platform/win/messages.h"
#include "platform/win/sdl_events.h"
#include "platform/win/window.h"

namespace plat {
namespace dinput {
namespace {

struct Pad {
    int instance = -1;
    SDL_Joystick* joystick = nullptr;
    SDL_GameController* controller = nullptr;
    PadSnapshot snapshot{};
};

std::mutex g_mutex;
bool g_started = false;
uint8_t g_keys[256];
uint8_t g_mouseButtons[8];
LONG g_mouseX = 0, g_mouseY = 0, g_mouseZ = 0;
Pad g_pads[kMaxPads];
int g_padCount = 0;

struct VirtualPad {
    int instance;
    SDL_Joystick* handle;  // our own handle, through which tests set the state
};
std::vector<VirtualPad> g_virtualPads;

Pad* FindPad(int instance) {
    if (instance < 0) return nullptr;
    for (int i = 0; i < g_padCount; ++i)
        if (g_pads[i].instance == instance) return &g_pads[i];
    return nullptr;
}

uint32_t PovFromHat(Uint8 hat) {
    switch (hat) {
        case SDL_HAT_UP:
            return 0;
        case SDL_HAT_RIGHTUP:
            return 4500;
        case SDL_HAT_RIGHT:
            return 9000;
        case SDL_HAT_RIGHTDOWN:
            return 13500;
        case SDL_HAT_DOWN:
            return 18000;
        case SDL_HAT_LEFTDOWN:
            return 22500;
        case SDL_HAT_LEFT:
            return 27000;
        case SDL_HAT_LEFTUP:
            return 31500;
        default:
            return 0xFFFFFFFFu;
    }
}

// Reads a pad's state from SDL (main thread, or the thread that opens it).
void TakeSnapshot(Pad& pad) {
    PadSnapshot s{};
    s.pov = 0xFFFFFFFFu;
    s.attached = SDL_JoystickGetAttached(pad.joystick) == SDL_TRUE;
    if (pad.controller != nullptr) {
        // Left stick X/Y, right stick as Z/Rz, the triggers as Rx/Ry.
        static const SDL_GameControllerAxis kAxes[6] = {
            SDL_CONTROLLER_AXIS_LEFTX,        SDL_CONTROLLER_AXIS_LEFTY,
            SDL_CONTROLLER_AXIS_RIGHTX,       SDL_CONTROLLER_AXIS_TRIGGERLEFT,
            SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_CONTROLLER_AXIS_RIGHTY};
        for (int i = 0; i < 6; ++i) s.axes[i] = SDL_GameControllerGetAxis(pad.controller, kAxes[i]);
        s.axisCount = 6;
        for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX && b < 32; ++b) {
            if (SDL_GameControllerGetButton(pad.controller,
                                            static_cast<SDL_GameControllerButton>(b)))
                s.buttons[b] = 0x80;
        }
        s.buttonCount = SDL_CONTROLLER_BUTTON_MAX < 32 ? SDL_CONTROLLER_BUTTON_MAX : 32;
        auto held = [&](SDL_GameControllerButton b) {
            return SDL_GameControllerGetButton(pad.controller, b) != 0;
        };
        Uint8 hat = SDL_HAT_CENTERED;
        if (held(SDL_CONTROLLER_BUTTON_DPAD_UP)) hat |= SDL_HAT_UP;
        if (held(SDL_CONTROLLER_BUTTON_DPAD_DOWN)) hat |= SDL_HAT_DOWN;
        if (held(SDL_CONTROLLER_BUTTON_DPAD_LEFT)) hat |= SDL_HAT_LEFT;
        if (held(SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) hat |= SDL_HAT_RIGHT;
        s.pov = PovFromHat(hat);
        s.hasPov = true;
        s.controller = true;
    } else {
        int axes = SDL_JoystickNumAxes(pad.joystick);
        s.axisCount = axes < 0 ? 0 : (axes > 6 ? 6 : axes);
        for (int i = 0; i < s.axisCount; ++i) s.axes[i] = SDL_JoystickGetAxis(pad.joystick, i);
        int buttons = SDL_JoystickNumButtons(pad.joystick);
        s.buttonCount = buttons < 0 ? 0 : (buttons > 32 ? 32 : buttons);
        for (int b = 0; b < s.buttonCount; ++b)
            if (SDL_JoystickGetButton(pad.joystick, b)) s.buttons[b] = 0x80;
        s.hasPov = SDL_JoystickNumHats(pad.joystick) > 0;
        if (s.hasPov) s.pov = PovFromHat(SDL_JoystickGetHat(pad.joystick, 0));
    }
    pad.snapshot = s;
}

void OnEvent(const SDL_Event& event, void*) {
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            int dik = DikFromSdlScancode(event.key.keysym.scancode);
            if (dik == 0) return;
            {
                std::lock_guard<std::mutex> lock(g_mutex);
                if (event.type == SDL_KEYDOWN)
                    g_keys[dik] = 0x80;
                else
                    g_keys[dik] = 0;
            }
            SignalDevices(DeviceKind::kKeyboard, -1);
            return;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            // DirectInput's order: left, right, middle, then the side buttons.
            int n;
            switch (event.button.button) {
                case SDL_BUTTON_LEFT:
                    n = 0;
                    break;
                case SDL_BUTTON_RIGHT:
                    n = 1;
                    break;
                case SDL_BUTTON_MIDDLE:
                    n = 2;
                    break;
                case SDL_BUTTON_X1:
                    n = 3;
                    break;
                case SDL_BUTTON_X2:
                    n = 4;
                    break;
                default:
                    return;
            }
            {
                std::lock_guard<std::mutex> lock(g_mutex);
                g_mouseButtons[n] = event.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0;
            }
            SignalDevices(DeviceKind::kMouse, -1);
            return;
        }
        case SDL_MOUSEMOTION: {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_mouseX += event.motion.xrel;
            g_mouseY += event.motion.yrel;
            return;
        }
        case SDL_MOUSEWHEEL: {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_mouseZ += event.wheel.y * 120;  // one notch, as the desktop counts it
            return;
        }
        default:
            break;
    }

    int instance;
    switch (event.type) {
        case SDL_JOYAXISMOTION:
            instance = event.jaxis.which;
            break;
        case SDL_JOYHATMOTION:
            instance = event.jhat.which;
            break;
        case SDL_JOYBUTTONDOWN:
        case SDL_JOYBUTTONUP:
            instance = event.jbutton.which;
            break;
        case SDL_JOYDEVICEREMOVED:
            instance = event.jdevice.which;
            break;
        case SDL_CONTROLLERAXISMOTION:
            instance = event.caxis.which;
            break;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            instance = event.cbutton.which;
            break;
        default:
            return;
    }
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        Pad* pad = FindPad(instance);
        if (pad == nullptr) return;
        TakeSnapshot(*pad);
    }
    SignalDevices(DeviceKind::kPad, instance);
    RenewRumble(instance);
}

void OpenPad(Pad& pad, int deviceIndex) {
    pad = Pad{};
    if (SDL_IsGameController(deviceIndex)) {
        pad.controller = SDL_GameControllerOpen(deviceIndex);
        if (pad.controller != nullptr) pad.joystick = SDL_GameControllerGetJoystick(pad.controller);
    }
    if (pad.joystick == nullptr) pad.joystick = SDL_JoystickOpen(deviceIndex);
    if (pad.joystick == nullptr) return;
    pad.instance = SDL_JoystickInstanceID(pad.joystick);
    TakeSnapshot(pad);
}

void ClosePad(Pad& pad) {
    if (pad.controller != nullptr)
        SDL_GameControllerClose(pad.controller);
    else if (pad.joystick != nullptr)
        SDL_JoystickClose(pad.joystick);
    pad = Pad{};
}

}  // namespace

void StartInputEvents() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_started) return;
    g_started = true;
    // Without a display no window ever has the focus that SDL otherwise waits for before it
    // takes pad events.
    if (!HasDisplay()) SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
    AddSdlEventListener(OnEvent, nullptr);
}

void ScanPads() {
    StartInputEvents();
    std::lock_guard<std::mutex> lock(g_mutex);
    Pad next[kMaxPads];
    int count = 0;
    const int listed = SDL_NumJoysticks();
    for (int i = 0; i < listed && count < kMaxPads; ++i) {
        const int instance = SDL_JoystickGetDeviceInstanceID(i);
        Pad* open = FindPad(instance);
        if (open != nullptr) {
            next[count] = *open;
            open->instance = -1;  // moved
            TakeSnapshot(next[count]);
        } else {
            OpenPad(next[count], i);
        }
        if (next[count].joystick != nullptr) ++count;
    }
    for (int i = 0; i < g_padCount; ++i)
        if (g_pads[i].instance != -1) ClosePad(g_pads[i]);
    for (int i = 0; i < kMaxPads; ++i) g_pads[i] = i < count ? next[i] : Pad{};
    g_padCount = count;
}

int PadCount() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_padCount;
}

int PadInstanceAt(int index) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return index >= 0 && index < g_padCount ? g_pads[index].instance : -1;
}

bool PadSnapshotOf(int instance, PadSnapshot* out) {
    std::lock_guard<std::mutex> lock(g_mutex);
    Pad* pad = FindPad(instance);
    if (pad == nullptr) return false;
    *out = pad->snapshot;
    return true;
}

std::string PadName(int instance) {
    std::lock_guard<std::mutex> lock(g_mutex);
    Pad* pad = FindPad(instance);
    if (pad == nullptr) return std::string();
    const char* name = pad->controller != nullptr ? SDL_GameControllerName(pad->controller)
                                                  : SDL_JoystickName(pad->joystick);
    return name != nullptr ? name : "";
}

bool PadIsController(int instance) {
    std::lock_guard<std::mutex> lock(g_mutex);
    Pad* pad = FindPad(instance);
    return pad != nullptr && pad->controller != nullptr;
}

SDL_Joystick* PadJoystick(int instance) {
    std::lock_guard<std::mutex> lock(g_mutex);
    Pad* pad = FindPad(instance);
    return pad != nullptr ? pad->joystick : nullptr;
}

void ReadKeyState(uint8_t keys[256]) {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::memcpy(keys, g_keys, sizeof g_keys);
}

void ReadMouseState(DIMOUSESTATE2* out) {
    std::lock_guard<std::mutex> lock(g_mutex);
    out->lX = g_mouseX;
    out->lY = g_mouseY;
    out->lZ = g_mouseZ;
    g_mouseX = g_mouseY = g_mouseZ = 0;
    std::memcpy(out->rgbButtons, g_mouseButtons, sizeof g_mouseButtons);
}

}  // namespace dinput

int DikFromSdlScancode(int sdlScancode) {
    if (sdlScancode == SDL_SCANCODE_PAUSE) return 0xC5;
    if (sdlScancode == SDL_SCANCODE_NUMLOCKCLEAR) return 0x45;
    UINT scan = 0;
    bool extended = false;
    if (!SdlScancodeToKey(sdlScancode, nullptr, &scan, &extended)) return 0;
    const int code = static_cast<int>(scan) | (extended ? 0x80 : 0);
    return code & 0xFF;
}

// ---- Multimedia joystick calls --------------------------------------------------------------

namespace {

// SDL's -32768..32767 as the joystick calls' 0..65535.
DWORD JoyPosition(int32_t axis) {
    return static_cast<DWORD>(axis + 32768);
}

}  // namespace

UINT joyGetDevCapsA(UINT id, JOYCAPSA* caps, UINT size) {
    if (caps == nullptr || size < sizeof(JOYCAPSA)) return JOYERR_PARMS;
    if (id == 0) dinput::ScanPads();
    const int instance = dinput::PadInstanceAt(static_cast<int>(id));
    dinput::PadSnapshot s;
    if (instance < 0 || !dinput::PadSnapshotOf(instance, &s)) return MMSYSERR_BADDEVICEID;
    std::memset(caps, 0, sizeof *caps);
    std::string name = dinput::PadName(instance);
    std::strncpy(caps->szPname, name.c_str(), sizeof caps->szPname - 1);
    caps->wXmax = caps->wYmax = caps->wZmax = caps->wRmax = caps->wUmax = caps->wVmax = 65535;
    caps->wNumButtons = static_cast<UINT>(s.buttonCount);
    caps->wMaxButtons = 32;
    caps->wPeriodMin = 10;
    caps->wPeriodMax = 1000;
    caps->wMaxAxes = 6;
    caps->wNumAxes = static_cast<UINT>(s.axisCount);
    if (s.axisCount >= 3) caps->wCaps |= JOYCAPS_HASZ;
    if (s.axisCount >= 4) caps->wCaps |= JOYCAPS_HASR;  // a controller's right stick Y
    if (s.axisCount >= 5) caps->wCaps |= JOYCAPS_HASU;
    if (s.axisCount >= 6) caps->wCaps |= JOYCAPS_HASV;
    if (s.hasPov) caps->wCaps |= JOYCAPS_HASPOV;
    return JOYERR_NOERROR;
}

UINT joyGetPosEx(UINT id, JOYINFOEX* info) {
    if (info == nullptr || info->dwSize < sizeof(JOYINFOEX)) return JOYERR_PARMS;
    const int instance = dinput::PadInstanceAt(static_cast<int>(id));
    if (instance < 0) return MMSYSERR_BADDEVICEID;
    dinput::PadSnapshot s;
    if (!dinput::PadSnapshotOf(instance, &s) || !s.attached) return JOYERR_UNPLUGGED;
    // The multimedia calls name the axes X, Y, Z, R, U, V: a joystick's axes in its own order;
    // a controller's right stick is Z and R (DirectInput's Z and Rz), its triggers U and V.
    const int32_t* a = s.axes;
    const int order[6] = {
        0, 1, 2, s.controller ? 5 : 3, s.controller ? 3 : 4, s.controller ? 4 : 5};
    DWORD* out[6] = {&info->dwXpos, &info->dwYpos, &info->dwZpos,
                     &info->dwRpos, &info->dwUpos, &info->dwVpos};
    for (int i = 0; i < 6; ++i) *out[i] = JoyPosition(a[order[i]]);
    info->dwButtons = 0;
    info->dwButtonNumber = 0;
    for (int b = 0; b < 32; ++b) {
        if (s.buttons[b] & 0x80) {
            info->dwButtons |= 1u << b;
            ++info->dwButtonNumber;
        }
    }
    info->dwPOV = s.pov == 0xFFFFFFFFu ? JOY_POVCENTERED : s.pov;
    return JOYERR_NOERROR;
}

// ---- Virtual pads for tests -----------------------------------------------------------------

namespace dinput {
namespace {

int SDLCALL RecordRumble(void* userdata, Uint16 low, Uint16 high) {
    const int pad = static_cast<int>(reinterpret_cast<intptr_t>(userdata));
    NoteForceFeedback("rumble pad " + std::to_string(pad) + " low " + std::to_string(low) +
                      " high " + std::to_string(high));
    return 0;
}

}  // namespace

void ResetVirtualPads();
void MarkRecordedHaptic(int instance, int pad);

}  // namespace dinput

namespace testing {

int AddVirtualPads(int count, unsigned traits) {
    dinput::StartInputEvents();
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    int first;
    {
        std::lock_guard<std::mutex> lock(dinput::g_mutex);
        first = static_cast<int>(dinput::g_virtualPads.size());
    }
    for (int k = 0; k < count; ++k) {
        const int pad = first + k;
        SDL_VirtualJoystickDesc desc;
        std::memset(&desc, 0, sizeof desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        if (traits & kVirtualPadController) {
            desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
            desc.naxes = SDL_CONTROLLER_AXIS_MAX;
            desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
            desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
            desc.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
            desc.name = "Virtual controller";
        } else {
            desc.type = SDL_JOYSTICK_TYPE_UNKNOWN;
            desc.naxes = 6;
            desc.nbuttons = 32;
            desc.nhats = 1;
            desc.name = "Virtual joystick";
        }
        if (traits & kVirtualPadRumble) desc.Rumble = dinput::RecordRumble;
        desc.userdata = reinterpret_cast<void*>(static_cast<intptr_t>(pad));
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        if (index < 0) return -1;
        SDL_Joystick* handle = SDL_JoystickOpen(index);
        if (handle == nullptr) return -1;
        const int instance = SDL_JoystickInstanceID(handle);
        {
            std::lock_guard<std::mutex> lock(dinput::g_mutex);
            dinput::g_virtualPads.push_back(dinput::VirtualPad{instance, handle});
        }
        if (traits & kVirtualPadHaptic) dinput::MarkRecordedHaptic(instance, pad);
    }
    return first;
}

namespace {

SDL_Joystick* VirtualHandle(int pad) {
    std::lock_guard<std::mutex> lock(dinput::g_mutex);
    if (pad < 0 || pad >= static_cast<int>(dinput::g_virtualPads.size())) return nullptr;
    return dinput::g_virtualPads[static_cast<size_t>(pad)].handle;
}

}  // namespace

void SetVirtualPadAxis(int pad, int axis, int value) {
    if (SDL_Joystick* j = VirtualHandle(pad))
        SDL_JoystickSetVirtualAxis(j, axis, static_cast<Sint16>(value));
}

void SetVirtualPadButton(int pad, int button, bool down) {
    if (SDL_Joystick* j = VirtualHandle(pad))
        SDL_JoystickSetVirtualButton(j, button, down ? SDL_PRESSED : SDL_RELEASED);
}

void SetVirtualPadHat(int pad, int hat, uint8_t sdlHatValue) {
    if (SDL_Joystick* j = VirtualHandle(pad)) SDL_JoystickSetVirtualHat(j, hat, sdlHatValue);
}

void UnplugVirtualPad(int pad) {
    SDL_Joystick* j = VirtualHandle(pad);
    if (j == nullptr) return;
    const int instance = SDL_JoystickInstanceID(j);
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == instance) {
            SDL_JoystickDetachVirtual(i);
            break;
        }
    }
}

}  // namespace testing

namespace dinput {

void ResetVirtualPads() {
    std::vector<VirtualPad> pads;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        pads.swap(g_virtualPads);
        std::memset(g_keys, 0, sizeof g_keys);
        std::memset(g_mouseButtons, 0, sizeof g_mouseButtons);
        g_mouseX = g_mouseY = g_mouseZ = 0;
    }
    for (VirtualPad& p : pads) {
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == p.instance) {
                SDL_JoystickDetachVirtual(i);
                break;
            }
        }
        SDL_JoystickClose(p.handle);
    }
}

}  // namespace dinput
}  // namespace plat
