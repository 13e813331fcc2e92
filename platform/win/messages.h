// Window messages and per-thread message queues.
//
// Every thread has its own queue, made on first use. Any thread may post to a window (the
// message goes to the queue of the thread that made the window) or to a thread. Only the main
// thread (the one that started SDL video) turns SDL events into window messages, inside
// PeekMessageA. Messages to a window are dispatched on the thread that pumps them.
#pragma once

#include "platform/win/types.h"

namespace plat {

struct MSG {
    HWND hwnd;  // 0 for a message posted to the thread itself
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;  // timeGetTime when posted
    POINT pt;    // cursor position when posted
};

// Message numbers.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;      // lParam: client origin x, y in screen coordinates
constexpr UINT WM_SIZE = 0x0005;      // wParam: SIZE_*; lParam: client width, height
constexpr UINT WM_ACTIVATE = 0x0006;  // LOWORD(wParam): WA_*
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;  // wParam: exit code
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_ACTIVATEAPP = 0x001C;    // wParam: 1 active, 0 inactive
constexpr UINT WM_SETCURSOR = 0x0020;      // lParam: LOWORD hit-test code, HIWORD mouse message
constexpr UINT WM_DISPLAYCHANGE = 0x007E;  // wParam: colour bits; lParam: width, height
constexpr UINT WM_KEYDOWN = 0x0100;        // wParam: virtual key; lParam: repeat, scan code, flags
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;  // wParam: one Shift-JIS byte (lead byte first, then trail)
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_IME_STARTCOMPOSITION = 0x010D;
constexpr UINT WM_IME_ENDCOMPOSITION = 0x010E;
constexpr UINT WM_IME_COMPOSITION = 0x010F;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;  // wParam: SC_*
constexpr UINT WM_MOUSEMOVE = 0x0200;   // wParam: MK_*; lParam: client x, y
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_SIZING = 0x0214;
constexpr UINT WM_MOVING = 0x0216;
constexpr UINT WM_DROPFILES = 0x0233;
constexpr UINT WM_IME_SETCONTEXT = 0x0281;
constexpr UINT WM_IME_NOTIFY = 0x0282;
constexpr UINT MM_MCINOTIFY = 0x03B9;
constexpr UINT WM_USER = 0x0400;

// WM_ACTIVATE states.
constexpr WORD WA_INACTIVE = 0;
constexpr WORD WA_ACTIVE = 1;
constexpr WORD WA_CLICKACTIVE = 2;

// WM_SIZE kinds.
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;

// WM_SYSCOMMAND commands.
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_SCREENSAVE = 0xF140;

// WM_SETCURSOR hit-test code of the client area.
constexpr WORD HTCLIENT = 1;

// Mouse-message key flags.
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;

// Key-message long-parameter bits above the repeat count (bits 0-15) and scan code (16-23).
constexpr LPARAM KF_EXTENDED_BIT = 1 << 24;
constexpr LPARAM KF_ALTDOWN_BIT = 1 << 29;
constexpr LPARAM KF_REPEAT_BIT = 1 << 30;

// Virtual-key codes.
constexpr UINT VK_LBUTTON = 0x01;
constexpr UINT VK_RBUTTON = 0x02;
constexpr UINT VK_MBUTTON = 0x04;
constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_MENU = 0x12;
constexpr UINT VK_PAUSE = 0x13;
constexpr UINT VK_CAPITAL = 0x14;
constexpr UINT VK_KANA = 0x15;
constexpr UINT VK_KANJI = 0x19;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_CONVERT = 0x1C;
constexpr UINT VK_NONCONVERT = 0x1D;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_PRIOR = 0x21;
constexpr UINT VK_NEXT = 0x22;
constexpr UINT VK_END = 0x23;
constexpr UINT VK_HOME = 0x24;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
constexpr UINT VK_SNAPSHOT = 0x2C;
constexpr UINT VK_INSERT = 0x2D;
constexpr UINT VK_DELETE = 0x2E;
// '0'..'9' are 0x30..0x39 and 'A'..'Z' are 0x41..0x5A.
constexpr UINT VK_LWIN = 0x5B;
constexpr UINT VK_RWIN = 0x5C;
constexpr UINT VK_APPS = 0x5D;
constexpr UINT VK_NUMPAD0 = 0x60;  // ..VK_NUMPAD9 = 0x69
constexpr UINT VK_MULTIPLY = 0x6A;
constexpr UINT VK_ADD = 0x6B;
constexpr UINT VK_SEPARATOR = 0x6C;
constexpr UINT VK_SUBTRACT = 0x6D;
constexpr UINT VK_DECIMAL = 0x6E;
constexpr UINT VK_DIVIDE = 0x6F;
constexpr UINT VK_F1 = 0x70;
constexpr UINT VK_F2 = 0x71;
constexpr UINT VK_F3 = 0x72;
constexpr UINT VK_F4 = 0x73;
constexpr UINT VK_F5 = 0x74;
constexpr UINT VK_F6 = 0x75;
constexpr UINT VK_F7 = 0x76;
constexpr UINT VK_F8 = 0x77;
constexpr UINT VK_F9 = 0x78;
constexpr UINT VK_F10 = 0x79;
constexpr UINT VK_F11 = 0x7A;
constexpr UINT VK_F12 = 0x7B;
constexpr UINT VK_NUMLOCK = 0x90;
constexpr UINT VK_SCROLL = 0x91;
constexpr UINT VK_LSHIFT = 0xA0;
constexpr UINT VK_RSHIFT = 0xA1;
constexpr UINT VK_LCONTROL = 0xA2;
constexpr UINT VK_RCONTROL = 0xA3;
constexpr UINT VK_LMENU = 0xA4;
constexpr UINT VK_RMENU = 0xA5;
constexpr UINT VK_OEM_1 = 0xBA;     // ;
constexpr UINT VK_OEM_PLUS = 0xBB;  // =
constexpr UINT VK_OEM_COMMA = 0xBC;
constexpr UINT VK_OEM_MINUS = 0xBD;
constexpr UINT VK_OEM_PERIOD = 0xBE;
constexpr UINT VK_OEM_2 = 0xBF;  // /
constexpr UINT VK_OEM_3 = 0xC0;  // `
constexpr UINT VK_OEM_4 = 0xDB;  // [
constexpr UINT VK_OEM_5 = 0xDC;  // backslash
constexpr UINT VK_OEM_6 = 0xDD;  // ]
constexpr UINT VK_OEM_7 = 0xDE;  // '
constexpr UINT VK_OEM_102 = 0xE2;

// PeekMessageA removal flags.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// The window filter of PeekMessageA that takes only the messages posted to the thread itself.
inline HWND ThreadMessagesOnly() {
    return reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
}

// Takes the next message of the calling thread's queue that passes the window filter (0: any,
// ThreadMessagesOnly(): only thread messages, else that window's) and the message range (0, 0:
// any). On the main thread it first turns pending SDL events into messages. A window in need of
// painting yields WM_PAINT when nothing else matches. TRUE when a message was taken.
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
// Queues a message for the window's thread; a 0 window posts to the calling thread. FALSE for
// a window that does not exist or a full queue.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queues a message for a thread (its hwnd is 0). FALSE for an unknown thread or a full queue.
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
// Posts WM_QUIT with the exit code to the calling thread.
void PostQuitMessage(int exitCode);
// Calls the window procedure of the message's window on the calling thread; 0 for thread
// messages and windows that no longer exist.
LRESULT DispatchMessageA(const MSG* msg);
// Key-down messages of Return, Backspace, Tab and Escape post their character (WM_CHAR, or
// WM_SYSCHAR with Alt held); typed text arrives as WM_CHAR from SDL's text input already.
BOOL TranslateMessage(const MSG* msg);
// Calls the window procedure directly when the caller owns the window; from another thread
// the message is queued for the owner and the caller waits until the owner has handled it.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The default procedure: WM_CLOSE destroys the window; WM_SYSCOMMAND SC_CLOSE and Alt+F4 post
// WM_CLOSE; WM_PAINT validates the window; WM_SETCURSOR in the client area sets the class
// cursor; everything else answers 0.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The 256 key bytes by virtual key, bit 0x80 while the key is down, as the main thread's
// message pumping has seen them.
BOOL GetKeyboardState(BYTE* keys256);

// The virtual key, the PC keyboard scan code (set 1) and the extended-key flag of an SDL scan
// code, as key messages carry them; false for keys the layer does not map. A DirectInput key
// code is the scan code plus 0x80 for an extended key, except Pause (0xC5) and Num Lock (0x45),
// whose key messages have it the other way round.
bool SdlScancodeToKey(int sdlScancode, UINT* virtualKey, UINT* scanCode, bool* extended);

}  // namespace plat
