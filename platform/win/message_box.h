// Message boxes. On an X display the box is the layer's own, drawn with a Japanese face so the
// text reads whatever X fonts the machine has; where that cannot be shown (another display
// system, no face for the text) it is SDL's. Without a display the text goes to standard error
// and the answer comes from the test script (platform/testing.h) or the environment variable
// TESSRA_MSGBOX_ANSWER ("yes", "no", "cancel" or "ok"; default "yes"), so a headless run never
// blocks. Text and caption are Shift-JIS.
#pragma once

#include "platform/win/types.h"

namespace plat {

// Button sets.
constexpr UINT MB_OK = 0x00000000u;
constexpr UINT MB_OKCANCEL = 0x00000001u;
constexpr UINT MB_YESNOCANCEL = 0x00000003u;
constexpr UINT MB_YESNO = 0x00000004u;
// Icons.
constexpr UINT MB_ICONERROR = 0x00000010u;
constexpr UINT MB_ICONQUESTION = 0x00000020u;
constexpr UINT MB_ICONWARNING = 0x00000030u;
constexpr UINT MB_ICONINFORMATION = 0x00000040u;
// The box stays above other windows.
constexpr UINT MB_TOPMOST = 0x00040000u;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// The owner may be 0 (boxes shown before any window exists). Returns the button chosen; a box
// closed without a choice answers IDCANCEL (IDNO for Yes/No, IDOK for OK); 0 on failure.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

}  // namespace plat
