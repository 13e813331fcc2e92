// Basic types of the platform layer's Windows-style interface: integer words, handles,
// rectangles and the window procedure. Handles are pointer-sized opaque values that the layer
// hands out from a counter, so a stale handle never names a newer object.
#pragma once

#include <cstdint>

namespace plat {

using BOOL = int32_t;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using ATOM = uint16_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LONG_PTR = intptr_t;
using SIZE_T = uintptr_t;
using WCHAR = char16_t;  // a UTF-16 code unit

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

struct HWND__;
struct HINSTANCE__;
struct HICON__;
struct HCURSOR__;
struct HBRUSH__;
struct HMENU__;
struct HDC__;
using HWND = HWND__*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE__*;
using HICON = HICON__*;
using HCURSOR = HCURSOR__*;
using HBRUSH = HBRUSH__*;
using HMENU = HMENU__*;
using HDC = HDC__*;
// Threads and events.
using HANDLE = void*;

struct RECT {
    LONG left;
    LONG top;
    LONG right;   // exclusive
    LONG bottom;  // exclusive
};

struct POINT {
    LONG x;
    LONG y;
};

using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

constexpr WORD LOWORD(uintptr_t v) {
    return static_cast<WORD>(v & 0xFFFF);
}
constexpr WORD HIWORD(uintptr_t v) {
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}
// Signed coordinates packed into a long parameter (WM_MOVE, mouse messages).
constexpr int GET_X_LPARAM(LPARAM v) {
    return static_cast<int16_t>(v & 0xFFFF);
}
constexpr int GET_Y_LPARAM(LPARAM v) {
    return static_cast<int16_t>((v >> 16) & 0xFFFF);
}
constexpr LPARAM MAKELPARAM(int low, int high) {
    return static_cast<LPARAM>(static_cast<DWORD>((static_cast<DWORD>(low) & 0xFFFF) |
                                                  ((static_cast<DWORD>(high) & 0xFFFF) << 16)));
}
constexpr WPARAM MAKEWPARAM(int low, int high) {
    return static_cast<WPARAM>(static_cast<DWORD>(MAKELPARAM(low, high)));
}
// A resource id passed where a name is expected (icons, cursors).
inline const char* MAKEINTRESOURCEA(int id) {
    return reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<WORD>(id)));
}
inline bool IS_INTRESOURCE(const char* name) {
    return (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
}

// A 128-bit interface or device identifier.
struct GUID {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};
inline bool operator==(const GUID& a, const GUID& b) {
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
    for (int i = 0; i < 8; ++i) {
        if (a.data4[i] != b.data4[i]) return false;
    }
    return true;
}

}  // namespace plat
