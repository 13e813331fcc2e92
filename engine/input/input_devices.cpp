// Input start-up and shut-down, the keyboard state by DirectInput key code, the mouse buttons,
// and taking the devices again when the window comes back.
#include <cstring>

#include "engine/base/core_services.h"
#include "engine/base/fatal.h"
#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/input/input.h"
#include "engine/input/input_state.h"
#include "platform/dinput/dinput.h"
#include "platform/win/messages.h"
#include "platform/win/process.h"
#include "platform/win/thread.h"
#include "platform/win/time.h"
#include "platform/win/window.h"

namespace tessra {

namespace {

using namespace plat;
using namespace sjis_literals;

InputState g_input;

constexpr uint16_t kSectionEnd = 0xFFFE;
constexpr uint16_t kTableEnd = 0xFFFF;

constexpr DWORD kKeyboardBufferSize = 100;

bool UsingDirectInput() {
    return g_input.object != nullptr && g_input.object != NoDirectInputMark();
}

// Before a fatal start-up error: the mouse, the keyboard and the object go (the pads stay).
[[noreturn]] void FailInputStart(const char* text) {
    if (g_input.mouse != nullptr) {
        g_input.mouse->Release();
        g_input.mouse = nullptr;
    }
    if (g_input.keyboard != nullptr) {
        g_input.keyboard->Release();
        g_input.keyboard = nullptr;
    }
    if (g_input.object != nullptr) {
        g_input.object->Release();
        g_input.object = nullptr;
    }
    RaiseFatalError(text);
}

HRESULT CreateInputDevice(const GUID& guid, DirectInputDevice** out) {
    if (g_input.directInput8) return g_input.object->CreateDevice(guid, out, nullptr);
    return g_input.object->CreateDeviceEx(guid, IID_IDirectInputDevice7A, out, nullptr);
}

// Version 7 first; false when it cannot be had.
bool TryDirectInput7() {
    AppendLog("DirectInput7 の取得中... "_sjis);
    DirectInputObject* object = nullptr;
    HRESULT hr = CreateDirectInputObject(0x700, &object);
    if (DiFailed(hr)) {
        AppendLog("取得に失敗。\n"_sjis);
        AppendLogFormat("エラーコード 0x%x\n"_sjis, static_cast<unsigned>(hr));
        return false;
    }
    AppendLog("成功\n"_sjis);
    IncreaseLogIndent();
    AppendLog("引き続き初期化処理... "_sjis);
    if (!DiFailed(object->Initialize(GetModuleHandleA(nullptr), 0x700))) {
        AppendLog("初期化成功\n"_sjis);
        DecreaseLogIndent();
        g_input.object = object;
        return true;
    }
    AppendLog("初期化に失敗。"_sjis);
    object->Release();
    g_input.object = nullptr;
    return false;
}

bool TryDirectInput8() {
    AppendLog("DirectInput8 の取得を試みます..."_sjis);
    DirectInputObject* object = nullptr;
    if (DiFailed(CreateDirectInputObject(0x800, &object))) {
        AppendLog("取得に失敗。"_sjis);
    } else {
        AppendLog("成功\n"_sjis);
        IncreaseLogIndent();
        AppendLog("引き続き初期化処理... "_sjis);
        if (!DiFailed(object->Initialize(GetModuleHandleA(nullptr), 0x800))) {
            AppendLog("初期化成功\n"_sjis);
            g_input.directInput8 = 1;
            DecreaseLogIndent();
            g_input.object = object;
            return true;
        }
        AppendLog("初期化に失敗。"_sjis);
        object->Release();
    }
    AppendLog("DirectInput を使用しません。\n"_sjis);
    DecreaseLogIndent();
    g_input.object = nullptr;
    g_input.noDirectInput = 1;
    return false;
}

// Without DirectInput: the joystick ids that answer, up to the first that does not.
int InitWithoutDirectInput() {
    IncreaseLogIndent();
    int count = 0;
    for (UINT id = 0; id < kMaxJoypads; ++id) {
        JOYCAPSA caps;
        std::memset(&caps, 0, sizeof caps);
        if (joyGetDevCapsA(id, &caps, sizeof caps) != JOYERR_NOERROR) break;
        g_input.pads[id].fourAxis =
            (caps.wCaps & JOYCAPS_HASZ) != 0 && (caps.wCaps & JOYCAPS_HASR) != 0 ? 1 : 0;
        ++count;
    }
    g_input.padCount = count;
    AppendLogFormat("パッドの数は %d 個です\n"_sjis, count);
    DecreaseLogIndent();
    g_input.object = NoDirectInputMark();
    AppendLog("入力関連の初期化をしました\n"_sjis);
    return 0;
}

}  // namespace

const VkToDik kVkToDikTable[] = {
    // First section: what GetKeyboardState overrides even with DirectInput.
    {'A', DIK_A},
    {'B', DIK_B},
    {'C', DIK_C},
    {'D', DIK_D},
    {'E', DIK_E},
    {'F', DIK_F},
    {'G', DIK_G},
    {'H', DIK_H},
    {'I', DIK_I},
    {'J', DIK_J},
    {'K', DIK_K},
    {'L', DIK_L},
    {'M', DIK_M},
    {'N', DIK_N},
    {'O', DIK_O},
    {'P', DIK_P},
    {'Q', DIK_Q},
    {'R', DIK_R},
    {'S', DIK_S},
    {'T', DIK_T},
    {'U', DIK_U},
    {'V', DIK_V},
    {'W', DIK_W},
    {'X', DIK_X},
    {'Y', DIK_Y},
    {'Z', DIK_Z},
    {'0', DIK_0},
    {'1', DIK_1},
    {'2', DIK_1 + 1},
    {'3', DIK_1 + 2},
    {'4', DIK_1 + 3},
    {'5', DIK_1 + 4},
    {'6', DIK_1 + 5},
    {'7', DIK_1 + 6},
    {'8', DIK_1 + 7},
    {'9', DIK_1 + 8},
    {VK_LEFT, DIK_LEFT},
    {VK_UP, DIK_UP},
    {VK_RIGHT, DIK_RIGHT},
    {VK_DOWN, DIK_DOWN},
    {VK_OEM_PLUS, DIK_SEMICOLON},
    {VK_OEM_1, DIK_COLON},
    {VK_OEM_4, DIK_LBRACKET},
    {VK_OEM_6, DIK_RBRACKET},
    {VK_OEM_3, DIK_AT},
    {VK_OEM_102, DIK_BACKSLASH},
    {VK_OEM_COMMA, DIK_COMMA},
    {VK_OEM_MINUS, DIK_MINUS},
    {VK_OEM_5, DIK_YEN},
    {VK_OEM_PERIOD, DIK_PERIOD},
    {VK_OEM_2, DIK_SLASH},
    {VK_DELETE, DIK_DELETE},
    {VK_ESCAPE, DIK_ESCAPE},
    {VK_SPACE, DIK_SPACE},
    {VK_BACK, DIK_BACK},
    {VK_TAB, DIK_TAB},
    {VK_RETURN, DIK_RETURN},
    {VK_NUMPAD0, DIK_NUMPAD0},
    {VK_NUMPAD0 + 1, DIK_NUMPAD1},
    {VK_NUMPAD0 + 2, DIK_NUMPAD2},
    {VK_NUMPAD0 + 3, DIK_NUMPAD3},
    {VK_NUMPAD0 + 4, DIK_NUMPAD4},
    {VK_NUMPAD0 + 5, DIK_NUMPAD5},
    {VK_NUMPAD0 + 6, DIK_NUMPAD6},
    {VK_NUMPAD0 + 7, DIK_NUMPAD7},
    {VK_NUMPAD0 + 8, DIK_NUMPAD8},
    {VK_NUMPAD0 + 9, DIK_NUMPAD9},
    {VK_MULTIPLY, DIK_MULTIPLY},
    {VK_ADD, DIK_ADD},
    {VK_SUBTRACT, DIK_SUBTRACT},
    {VK_DECIMAL, DIK_DECIMAL},
    {VK_DIVIDE, DIK_DIVIDE},
    {kSectionEnd, 0},
    // Second section: read from GetKeyboardState only without DirectInput.
    {VK_RETURN, DIK_NUMPADENTER},
    {VK_LSHIFT, DIK_LSHIFT},
    {VK_RSHIFT, DIK_RSHIFT},
    {VK_LCONTROL, DIK_LCONTROL},
    {VK_RCONTROL, DIK_RCONTROL},
    {VK_PRIOR, DIK_PRIOR},
    {VK_NEXT, DIK_NEXT},
    {VK_END, DIK_END},
    {VK_HOME, DIK_HOME},
    {VK_INSERT, DIK_INSERT},
    {VK_LMENU, DIK_LMENU},
    {VK_RMENU, DIK_RMENU},
    {VK_SCROLL, DIK_SCROLL},
    {VK_CAPITAL, DIK_CAPITAL},
    {VK_PAUSE, DIK_PAUSE},
    {VK_F1, DIK_F1},
    {VK_F1 + 1, DIK_F1 + 1},
    {VK_F1 + 2, DIK_F1 + 2},
    {VK_F1 + 3, DIK_F1 + 3},
    {VK_F1 + 4, DIK_F1 + 4},
    {VK_F1 + 5, DIK_F1 + 5},
    {VK_F1 + 6, DIK_F1 + 6},
    {VK_F1 + 7, DIK_F1 + 7},
    {VK_F1 + 8, DIK_F1 + 8},
    {VK_F1 + 9, DIK_F1 + 9},
    {VK_F1 + 10, DIK_F11},
    {VK_F1 + 11, DIK_F12},
    {kTableEnd, kTableEnd},
};

InputState& GetInputState() {
    return g_input;
}

bool LazyStartInput() {
    Core().waitWhileInactive();
    if (g_input.object == nullptr && !Core().isCloseRequested()) {
        // The query is not answered on the call that starts input, whatever the start gave.
        InitInput();
        return true;
    }
    return false;
}

int InitInput() {
    if (g_input.object != nullptr) return 0;
    const int32_t noDirectInput = g_input.noDirectInput;
    std::memset(&g_input, 0, sizeof g_input);
    g_input.noDirectInput = noDirectInput;
    if (g_input.noDirectInput) return InitWithoutDirectInput();

    AppendLog("DirectInput関係初期化処理\n"_sjis);
    IncreaseLogIndent();
    if (!TryDirectInput7() && !TryDirectInput8()) return InitWithoutDirectInput();

    const HWND window = Core().getEngineWindowBody();
    BringWindowToTop(window);
    Core().processMessageBody();
    AppendLog("ジョイパッドの初期化... \n"_sjis);
    g_input.padCount = 0;
    g_input.object->EnumDevices(DIDEVTYPE_JOYSTICK, SetupJoypadDevice, nullptr,
                                DIEDFL_ATTACHEDONLY);
    AppendLog("ジョイパッドの初期化は正常に終了しました\n"_sjis);

    // The mouse is acquired by its first read.
    AppendLog("マウスデバイスの初期化... "_sjis);
    if (DiFailed(CreateInputDevice(GUID_SysMouse, &g_input.mouse))) {
        g_input.mouse = nullptr;
        FailInputStart("マウスデバイスの取得に失敗しました"_sjis);
    }
    if (DiFailed(g_input.mouse->SetDataFormat(&c_dfDIMouse2)))
        FailInputStart("マウスデバイスのデータ形式の設定に失敗しました"_sjis);
    if (DiFailed(g_input.mouse->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)))
        FailInputStart("マウスデバイスの協調レベルの設定に失敗しました"_sjis);
    AppendLog("初期化成功\n"_sjis);

    g_input.keyboardPollTime = timeGetTime();
    AppendLog("キーボードデバイスの初期化... "_sjis);
    if (DiFailed(CreateInputDevice(GUID_SysKeyboard, &g_input.keyboard))) {
        g_input.keyboard = nullptr;
        FailInputStart("キーボードデバイスの取得に失敗しました"_sjis);
    }
    if (DiFailed(g_input.keyboard->SetDataFormat(&c_dfDIKeyboard)))
        FailInputStart("キーボードデバイスのデータ形式の設定に失敗しました"_sjis);
    if (DiFailed(
            g_input.keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)))
        FailInputStart("キーボードデバイスの協調レベルの設定に失敗しました"_sjis);
    DIPROPDWORD buffer;
    buffer.diph.dwSize = sizeof buffer;
    buffer.diph.dwHeaderSize = sizeof buffer.diph;
    buffer.diph.dwObj = 0;
    buffer.diph.dwHow = DIPH_DEVICE;
    buffer.dwData = kKeyboardBufferSize;
    if (DiFailed(g_input.keyboard->SetProperty(DIPROP_BUFFERSIZE, &buffer.diph)))
        AppendLog("キーボードのプロパティ設定に失敗しました\n"_sjis);

    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const HRESULT hr = g_input.keyboard->SetEventNotification(event);
    if (hr != DI_OK && hr != DI_POLLEDDEVICE) {
        AppendLog("キーボードイベントのセットアップが失敗しました\n"_sjis);
        // Not kept, so not left open either; the keyboard is then read without it.
        if (event != nullptr) CloseHandle(event);
        return 1;
    }
    g_input.keyboardEvent = event;
    if (DiFailed(g_input.keyboard->Acquire()) && DiFailed(g_input.keyboard->Acquire()))
        FailInputStart("キーボードデバイスの取得に失敗しました"_sjis);
    AppendLog("初期化成功\n"_sjis);
    g_input.keyboardPollTime = timeGetTime();
    DecreaseLogIndent();
    AppendLog("DirectInput 関連の初期化は正常に終了しました\n"_sjis);
    return 0;
}

int ShutdownInput() {
    if (g_input.object == nullptr) return 0;
    if (g_input.object == NoDirectInputMark()) {
        AppendLog("入力関連の終了処理... 完了\n"_sjis);
        g_input.object = nullptr;
        return 0;
    }
    AppendLog("DirectInput 関連の終了処理... 完了\n"_sjis);
    for (int i = 0; i < g_input.padCount; ++i) {
        PadState& pad = g_input.pads[i];
        if (pad.device != nullptr) {
            pad.device->Unacquire();
            pad.device->SetEventNotification(nullptr);
        }
        ReleaseJoypad(pad);
    }
    if (g_input.keyboard != nullptr) {
        g_input.keyboard->Unacquire();
        g_input.keyboard->Release();
        g_input.keyboard = nullptr;
    }
    if (g_input.keyboardEvent != nullptr) {
        CloseHandle(g_input.keyboardEvent);
        g_input.keyboardEvent = nullptr;
    }
    if (g_input.mouse != nullptr) {
        g_input.mouse->Unacquire();
        g_input.mouse->Release();
        g_input.mouse = nullptr;
    }
    g_input.object->Release();
    g_input.object = nullptr;
    return 0;
}

int PollKeyboard() {
    if (!g_input.noDirectInput && g_input.keyboard != nullptr) {
        const DWORD t = timeGetTime();
        const bool signalled = g_input.keyboardEvent != nullptr &&
                               WaitForSingleObject(g_input.keyboardEvent, 0) == WAIT_OBJECT_0;
        if (t == g_input.keyboardPollTime && !signalled) return 0;
        if (Core().processMessageBody() != 0) return 0;
        if (DiFailed(g_input.keyboard->GetDeviceState(256, g_input.keys))) {
            if (DiFailed(g_input.keyboard->Acquire())) return 0;
            if (DiFailed(g_input.keyboard->GetDeviceState(256, g_input.keys))) return 0;
        }
        g_input.keyboardPollTime = t;
        if (g_input.keyboardEvent != nullptr &&
            WaitForSingleObject(g_input.keyboardEvent, 0) == WAIT_OBJECT_0)
            ResetEvent(g_input.keyboardEvent);
        if (GetCurrentThreadId() == Core().mainThreadId()) {
            BYTE vk[256];
            GetKeyboardState(vk);
            for (const VkToDik* row = kVkToDikTable; row->vk != kSectionEnd; ++row)
                g_input.keys[row->dik] = vk[row->vk];
        }
        return 1;
    }
    const DWORD t = timeGetTime();
    if (t == g_input.keyboardPollTime) return 0;
    g_input.keyboardPollTime = t;
    if (Core().processMessageBody() != 0) return 0;
    BYTE vk[256];
    GetKeyboardState(vk);
    std::memset(g_input.keys, 0, sizeof g_input.keys);
    for (const VkToDik* row = kVkToDikTable; row->vk != kTableEnd; ++row) {
        if (row->vk == kSectionEnd) continue;
        g_input.keys[row->dik] = vk[row->vk];
    }
    return 1;
}

int TestKeyStateDown(int scanCode) {
    if (LazyStartInput()) return 0;
    // Only codes of the 256-byte state name a key.
    if (scanCode < 0 || scanCode > 255) return 0;
    PollKeyboard();
    return (g_input.keys[scanCode] & 0x80) != 0 ? 1 : 0;
}

int ReadMouseButtonState() {
    if (UsingDirectInput() && g_input.mouse != nullptr) {
        DIMOUSESTATE2 state;
        if (DiFailed(g_input.mouse->GetDeviceState(sizeof state, &state))) {
            if (DiFailed(g_input.mouse->Acquire())) return 0;
            if (DiFailed(g_input.mouse->GetDeviceState(sizeof state, &state))) return 0;
        }
        int bits = 0;
        for (int n = 0; n < 8; ++n)
            if (state.rgbButtons[n] & 0x80) bits |= 1 << n;
        return bits;
    }
    BYTE vk[256];
    GetKeyboardState(vk);
    int bits = 0;
    if (vk[VK_LBUTTON] & 0x80) bits |= 1;
    if (vk[VK_RBUTTON] & 0x80) bits |= 2;
    if (vk[VK_MBUTTON] & 0x80) bits |= 4;
    return bits;
}

int CountJoypads() {
    if (LazyStartInput()) return 0;
    return g_input.padCount;
}

int ReacquireInputDevices() {
    if (g_input.object == NoDirectInputMark()) return 0;
    if (g_input.object == nullptr && !Core().isCloseRequested()) return 0;
    for (int i = 0; i < g_input.padCount; ++i) {
        DirectInputDevice* device = g_input.pads[i].device;
        if (device == nullptr) continue;
        device->Unacquire();
        device->Acquire();
    }
    if (g_input.keyboard != nullptr) {
        g_input.keyboard->Unacquire();
        g_input.keyboard->Acquire();
    }
    return 0;
}

int EnableInputStateFlag1() {
    g_input.flag1 = 1;
    return 0;
}

int DisableInputStateFlag1() {
    g_input.flag1 = 0;
    return 0;
}

int EnableInputStateFlag2() {
    g_input.flag2 = 1;
    return 0;
}

int DisableInputStateFlag2() {
    g_input.flag2 = 0;
    return 0;
}

}  // namespace tessra
