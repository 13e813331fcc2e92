// DirectInput 7 and 8 objects, their keyboard, mouse and joystick devices and force-feedback
// effects, and the multimedia joystick calls, over SDL2.
//
// Keys, mouse buttons and pad states come from the SDL events that the main thread's message
// pumping (platform/win) takes; nothing here pumps SDL on its own. Pads are SDL's joysticks in
// SDL's order: one that SDL knows as a game controller is read through its mapping, any other
// through the joystick calls. Force feedback runs on an SDL haptic device when the pad has one,
// else on the pad's rumble motors, else it only notes its starts and stops.
#pragma once

#include <cstdint>

#include "platform/win/types.h"

namespace plat {

using HRESULT = int32_t;

constexpr HRESULT DI_OK = 0;
constexpr HRESULT DI_NOEFFECT = 1;  // also S_FALSE: nothing to do (already acquired...)
constexpr HRESULT DI_POLLEDDEVICE = 2;
constexpr HRESULT DIERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DIERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DIERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DIERR_NOTINITIALIZED = static_cast<HRESULT>(0x80070015u);
constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
constexpr HRESULT DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AAu);
constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT DIERR_NOTEXCLUSIVEACQUIRED = static_cast<HRESULT>(0x80040205u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
inline bool DiFailed(HRESULT result) {
    return result < 0;
}

// Devices and effects named by the engine.
extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;
extern const GUID GUID_ConstantForce;
extern const GUID GUID_Sine;

// EnumDevices: device type 4 is joysticks (version 7) and game controllers (version 8).
constexpr DWORD DIDEVTYPE_JOYSTICK = 4;
constexpr DWORD DI8DEVCLASS_GAMECTRL = 4;
constexpr DWORD DIEDFL_ATTACHEDONLY = 0x00000001;
constexpr int DIENUM_STOP = 0;
constexpr int DIENUM_CONTINUE = 1;

constexpr DWORD DISCL_EXCLUSIVE = 0x00000001;
constexpr DWORD DISCL_NONEXCLUSIVE = 0x00000002;
constexpr DWORD DISCL_FOREGROUND = 0x00000004;
constexpr DWORD DISCL_BACKGROUND = 0x00000008;

// Data formats: the device accepts the one of its own kind.
struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;  // bytes of the state GetDeviceState fills
    DWORD dwNumObjs;
};
extern const DIDATAFORMAT c_dfDIKeyboard;  // 256 key bytes
extern const DIDATAFORMAT c_dfDIMouse2;    // DIMOUSESTATE2
extern const DIDATAFORMAT c_dfDIJoystick;  // DIJOYSTATE

struct DIMOUSESTATE2 {
    LONG lX, lY, lZ;  // motion since the last read
    BYTE rgbButtons[8];
};
static_assert(sizeof(DIMOUSESTATE2) == 20);

struct DIJOYSTATE {
    LONG lX, lY, lZ;
    LONG lRx, lRy, lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];  // hundredths of a degree clockwise from up; 0xFFFFFFFF centred
    BYTE rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80);

// Axis offsets within DIJOYSTATE, as property objects given DIPH_BYOFFSET.
constexpr DWORD DIJOFS_X = 0;
constexpr DWORD DIJOFS_Y = 4;
constexpr DWORD DIJOFS_Z = 8;
constexpr DWORD DIJOFS_RX = 12;
constexpr DWORD DIJOFS_RY = 16;
constexpr DWORD DIJOFS_RZ = 20;

// Properties.
enum class DiProperty { kBufferSize, kRange, kDeadZone, kSaturation };
constexpr DiProperty DIPROP_BUFFERSIZE = DiProperty::kBufferSize;
constexpr DiProperty DIPROP_RANGE = DiProperty::kRange;
constexpr DiProperty DIPROP_DEADZONE = DiProperty::kDeadZone;
constexpr DiProperty DIPROP_SATURATION = DiProperty::kSaturation;
constexpr DWORD DIPH_DEVICE = 0;
constexpr DWORD DIPH_BYOFFSET = 1;
struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};
struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
};
struct DIPROPRANGE {
    DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
};

// Device description (580 bytes, as the engine sizes it).
struct DIDEVICEINSTANCEA {
    DWORD dwSize;
    GUID guidInstance;
    GUID guidProduct;
    DWORD dwDevType;
    char tszInstanceName[260];
    char tszProductName[260];
    GUID guidFFDriver;
    WORD wUsagePage;
    WORD wUsage;
};
static_assert(sizeof(DIDEVICEINSTANCEA) == 580);

// Force feedback.
constexpr DWORD DIEFF_OBJECTOFFSETS = 0x00000002;
constexpr DWORD DIEFF_CARTESIAN = 0x00000010;
constexpr DWORD DIEFF_POLAR = 0x00000020;
constexpr DWORD DIEB_NOTRIGGER = 0xFFFFFFFF;
constexpr DWORD DI_FFNOMINALMAX = 10000;
constexpr DWORD DI_SECONDS = 1000000;
constexpr DWORD DI_INFINITE = 0xFFFFFFFF;
struct DIENVELOPE {
    DWORD dwSize;
    DWORD dwAttackLevel;
    DWORD dwAttackTime;  // microseconds
    DWORD dwFadeLevel;
    DWORD dwFadeTime;  // microseconds
};
struct DICONSTANTFORCE {
    LONG lMagnitude;
};
struct DIPERIODIC {
    DWORD dwMagnitude;
    LONG lOffset;
    DWORD dwPhase;
    DWORD dwPeriod;  // microseconds
};
struct DIEFFECT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDuration;  // microseconds, or DI_INFINITE
    DWORD dwSamplePeriod;
    DWORD dwGain;
    DWORD dwTriggerButton;
    DWORD dwTriggerRepeatInterval;
    DWORD cAxes;
    DWORD* rgdwAxes;
    LONG* rglDirection;
    DIENVELOPE* lpEnvelope;
    DWORD cbTypeSpecificParams;
    void* lpvTypeSpecificParams;
    DWORD dwStartDelay;
};

class DirectInputDevice;

class DirectInputEffect {
public:
    virtual ~DirectInputEffect() = default;
    // Runs the effect (iterations are not counted: the engine's effects are endless).
    virtual HRESULT Start(DWORD iterations, DWORD flags) = 0;
    virtual HRESULT Stop() = 0;
    virtual DWORD Release() = 0;
};

class DirectInputDevice {
public:
    virtual ~DirectInputDevice() = default;
    virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    // header points at a DIPROPDWORD or DIPROPRANGE with the header's size fields filled in.
    virtual HRESULT SetProperty(DiProperty property, const DIPROPHEADER* header) = 0;
    // A manual-reset event (platform/win) set whenever the device's state changes; 0 stops it.
    virtual HRESULT SetEventNotification(HANDLE event) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    // Fails with DIERR_NOTACQUIRED while the device is not acquired.
    virtual HRESULT GetDeviceState(DWORD size, void* data) = 0;
    virtual HRESULT Poll() = 0;
    virtual HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* info) = 0;
    virtual HRESULT CreateEffect(const GUID& kind, const DIEFFECT* effect, DirectInputEffect** out,
                                 void* outer) = 0;
    virtual DWORD Release() = 0;
};

using DiEnumDevicesCallback = int (*)(const DIDEVICEINSTANCEA* instance, void* context);

class DirectInputObject {
public:
    virtual ~DirectInputObject() = default;
    virtual HRESULT Initialize(HINSTANCE instance, DWORD version) = 0;
    virtual HRESULT EnumDevices(DWORD deviceType, DiEnumDevicesCallback callback, void* context,
                                DWORD flags) = 0;
    // Version 8's creation call.
    virtual HRESULT CreateDevice(const GUID& guid, DirectInputDevice** out, void* outer) = 0;
    // Version 7's creation call (the interface id is the version-7 device's, unchecked here).
    virtual HRESULT CreateDeviceEx(const GUID& guid, const GUID& interfaceId,
                                   DirectInputDevice** out, void* outer) = 0;
    virtual DWORD Release() = 0;
};

// Version-7 and version-8 device interface ids.
extern const GUID IID_IDirectInputDevice7A;

// Stands in for creating the COM object of DirectInput version 7 (0x700) or 8 (0x800); tests
// can make it fail (platform/testing.h). The object still needs Initialize.
HRESULT CreateDirectInputObject(DWORD version, DirectInputObject** out);

// ---- Multimedia joystick calls ------------------------------------------------------------
constexpr UINT JOYERR_NOERROR = 0;
constexpr UINT MMSYSERR_BADDEVICEID = 2;
constexpr UINT JOYERR_PARMS = 165;
constexpr UINT JOYERR_UNPLUGGED = 167;
constexpr UINT JOYCAPS_HASZ = 0x0001;
constexpr UINT JOYCAPS_HASR = 0x0002;
constexpr UINT JOYCAPS_HASU = 0x0004;
constexpr UINT JOYCAPS_HASV = 0x0008;
constexpr UINT JOYCAPS_HASPOV = 0x0010;
constexpr DWORD JOY_RETURNALL = 0x000000FF;
constexpr DWORD JOY_POVCENTERED = 0xFFFF;

struct JOYCAPSA {
    WORD wMid;
    WORD wPid;
    char szPname[32];
    UINT wXmin, wXmax, wYmin, wYmax, wZmin, wZmax;
    UINT wNumButtons;
    UINT wPeriodMin, wPeriodMax;
    UINT wRmin, wRmax, wUmin, wUmax, wVmin, wVmax;
    UINT wCaps;
    UINT wMaxAxes, wNumAxes, wMaxButtons;
    char szRegKey[32];
    char szOEMVxD[260];
};
static_assert(sizeof(JOYCAPSA) == 404);

struct JOYINFOEX {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwXpos, dwYpos, dwZpos, dwRpos, dwUpos, dwVpos;  // 0..65535, 32767 or 32768 centred
    DWORD dwButtons;
    DWORD dwButtonNumber;
    DWORD dwPOV;  // hundredths of a degree, JOY_POVCENTERED when centred
    DWORD dwReserved1;
    DWORD dwReserved2;
};
static_assert(sizeof(JOYINFOEX) == 52);

// Joystick ids 0.. are the pads in SDL's order; asking for id 0 looks for pads again.
UINT joyGetDevCapsA(UINT id, JOYCAPSA* caps, UINT size);
UINT joyGetPosEx(UINT id, JOYINFOEX* info);

// ---- DirectInput key codes (indexes of the keyboard's 256-byte state) ----------------------
constexpr int DIK_ESCAPE = 0x01;
constexpr int DIK_1 = 0x02;  // DIK_1..DIK_9 run on to 0x0A, then DIK_0
constexpr int DIK_0 = 0x0B;
constexpr int DIK_MINUS = 0x0C;
constexpr int DIK_EQUALS = 0x0D;
constexpr int DIK_BACK = 0x0E;
constexpr int DIK_TAB = 0x0F;
constexpr int DIK_Q = 0x10, DIK_W = 0x11, DIK_E = 0x12, DIK_R = 0x13, DIK_T = 0x14;
constexpr int DIK_Y = 0x15, DIK_U = 0x16, DIK_I = 0x17, DIK_O = 0x18, DIK_P = 0x19;
constexpr int DIK_LBRACKET = 0x1A;
constexpr int DIK_RBRACKET = 0x1B;
constexpr int DIK_RETURN = 0x1C;
constexpr int DIK_LCONTROL = 0x1D;
constexpr int DIK_A = 0x1E, DIK_S = 0x1F, DIK_D = 0x20, DIK_F = 0x21, DIK_G = 0x22;
constexpr int DIK_H = 0x23, DIK_J = 0x24, DIK_K = 0x25, DIK_L = 0x26;
constexpr int DIK_SEMICOLON = 0x27;
constexpr int DIK_APOSTROPHE = 0x28;
constexpr int DIK_GRAVE = 0x29;
constexpr int DIK_LSHIFT = 0x2A;
constexpr int DIK_BACKSLASH = 0x2B;
constexpr int DIK_Z = 0x2C, DIK_X = 0x2D, DIK_C = 0x2E, DIK_V = 0x2F, DIK_B = 0x30;
constexpr int DIK_N = 0x31, DIK_M = 0x32;
constexpr int DIK_COMMA = 0x33;
constexpr int DIK_PERIOD = 0x34;
constexpr int DIK_SLASH = 0x35;
constexpr int DIK_RSHIFT = 0x36;
constexpr int DIK_MULTIPLY = 0x37;
constexpr int DIK_LMENU = 0x38;
constexpr int DIK_SPACE = 0x39;
constexpr int DIK_CAPITAL = 0x3A;
constexpr int DIK_F1 = 0x3B;  // DIK_F1..DIK_F10 run on to 0x44
constexpr int DIK_NUMLOCK = 0x45;
constexpr int DIK_SCROLL = 0x46;
constexpr int DIK_NUMPAD7 = 0x47, DIK_NUMPAD8 = 0x48, DIK_NUMPAD9 = 0x49;
constexpr int DIK_SUBTRACT = 0x4A;
constexpr int DIK_NUMPAD4 = 0x4B, DIK_NUMPAD5 = 0x4C, DIK_NUMPAD6 = 0x4D;
constexpr int DIK_ADD = 0x4E;
constexpr int DIK_NUMPAD1 = 0x4F, DIK_NUMPAD2 = 0x50, DIK_NUMPAD3 = 0x51, DIK_NUMPAD0 = 0x52;
constexpr int DIK_DECIMAL = 0x53;
constexpr int DIK_OEM_102 = 0x56;
constexpr int DIK_F11 = 0x57;
constexpr int DIK_F12 = 0x58;
constexpr int DIK_YEN = 0x7D;
constexpr int DIK_AT = 0x91;
constexpr int DIK_COLON = 0x92;
constexpr int DIK_NUMPADENTER = 0x9C;
constexpr int DIK_RCONTROL = 0x9D;
constexpr int DIK_DIVIDE = 0xB5;
constexpr int DIK_RMENU = 0xB8;
constexpr int DIK_PAUSE = 0xC5;
constexpr int DIK_HOME = 0xC7;
constexpr int DIK_UP = 0xC8;
constexpr int DIK_PRIOR = 0xC9;
constexpr int DIK_LEFT = 0xCB;
constexpr int DIK_RIGHT = 0xCD;
constexpr int DIK_END = 0xCF;
constexpr int DIK_DOWN = 0xD0;
constexpr int DIK_NEXT = 0xD1;
constexpr int DIK_INSERT = 0xD2;
constexpr int DIK_DELETE = 0xD3;

// The DirectInput key code of an SDL scan code (the set-1 scan code, plus 0x80 for an extended
// key, Pause and Num Lock excepted); 0 for keys the layer does not map.
int DikFromSdlScancode(int sdlScancode);

}  // namespace plat
