// The input method of a window: one composition context over SDL's text-editing events. A
// composition SDL reports becomes WM_IME_STARTCOMPOSITION, WM_IME_COMPOSITION and
// WM_IME_ENDCOMPOSITION for the window; the text that ends it becomes one WM_IME_COMPOSITION
// with GCS_RESULTSTR (and no WM_CHAR). Strings are Shift-JIS.
#pragma once

#include <cstdint>

#include "platform/win/types.h"

namespace plat {

struct HIMC__;
using HIMC = HIMC__*;

// WM_IME_COMPOSITION flags and ImmGetCompositionStringA indices.
constexpr DWORD GCS_COMPSTR = 0x0008;
constexpr DWORD GCS_COMPCLAUSE = 0x0020;
constexpr DWORD GCS_CURSORPOS = 0x0080;
constexpr DWORD GCS_RESULTSTR = 0x0800;

// ImmNotifyIME.
constexpr DWORD NI_COMPOSITIONSTR = 0x0015;
constexpr DWORD CPS_CANCEL = 0x0004;
// ImmSetCompositionStringA.
constexpr DWORD SCS_SETSTR = 0x0009;

// WM_IME_NOTIFY notifications (wParam).
constexpr WPARAM IMN_CHANGECANDIDATE = 0x0003;
constexpr WPARAM IMN_CLOSECANDIDATE = 0x0004;
constexpr WPARAM IMN_OPENCANDIDATE = 0x0005;
constexpr WPARAM IMN_SETOPENSTATUS = 0x0008;
constexpr WPARAM IMN_SETCANDIDATEPOS = 0x0009;

// WM_IME_SETCONTEXT: the lParam bits that ask the system to show its own composition window,
// guide line and candidate windows.
constexpr LPARAM ISC_SHOWUICOMPOSITIONWINDOW = static_cast<LPARAM>(0x80000000u);
constexpr LPARAM ISC_SHOWUIGUIDELINE = 0x40000000;
constexpr LPARAM ISC_SHOWUIALLCANDIDATEWINDOW = 0x0000000F;

// Enables or disables the input method of a window: while it is off, SDL's editing events make
// no IME message (typed text still comes as WM_CHAR). The previous state.
BOOL WINNLSEnableIME(HWND window, BOOL enable);
// The window that stands for the input method of a window: the window itself; 0 for no window.
HWND ImmGetDefaultIMEWnd(HWND window);
// The one composition context, 0 for no window; release it after use.
HIMC ImmGetContext(HWND window);
BOOL ImmReleaseContext(HWND window, HIMC context);
// GCS_COMPSTR and GCS_RESULTSTR: the string's bytes (without terminator) copied into the
// buffer, at most `bufferBytes`; with no buffer, the size. GCS_CURSORPOS: the cursor as a byte
// offset into the composition. GCS_COMPCLAUSE: the clause offsets (u32 each; SDL gives none, so
// one clause over the whole string), their byte count. 0 for a bad context or another index.
LONG ImmGetCompositionStringA(HIMC context, DWORD index, void* buffer, DWORD bufferBytes);
// NI_COMPOSITIONSTR with CPS_CANCEL drops the composition (SDL's too).
BOOL ImmNotifyIME(HIMC context, DWORD action, DWORD index, DWORD value);
// The open status: a flag. A change tells the active window (WM_IME_NOTIFY, IMN_SETOPENSTATUS).
BOOL ImmSetOpenStatus(HIMC context, BOOL open);
BOOL ImmGetOpenStatus(HIMC context);
// Accepted, with no effect: SDL cannot set a composition.
BOOL ImmSetCompositionStringA(HIMC context, DWORD index, const void* composition,
                              DWORD compositionBytes, const void* reading, DWORD readingBytes);
// Candidate list `index` (SDL has none: size 0). With no buffer, or a buffer of 0 bytes, the
// size the list needs; else the list copied (at most `bufferBytes`) and its size, 0 on failure.
DWORD ImmGetCandidateListA(HIMC context, DWORD index, void* list, DWORD bufferBytes);

}  // namespace plat
