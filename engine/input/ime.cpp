// The main window's input method: switching it on and off, following its composition, clause
// and candidate data for the key-input display, and closing and reopening an open one after the
// window is activated again.
#include <cstring>

#include "engine/base/core_services.h"
#include "engine/base/fatal.h"
#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/input/input.h"
#include "engine/input/key_input.h"
#include "engine/input/text_input_state.h"
#include "platform/imm/imm.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"

namespace tessra {

using namespace sjis_literals;

namespace {

// The context of the main window's input method, taken for one step and released after it.
struct ImeContext {
    plat::HWND window = nullptr;
    plat::HIMC context = nullptr;

    ImeContext() {
        window = plat::ImmGetDefaultIMEWnd(Core().getEngineWindowBody());
        context = plat::ImmGetContext(window);
    }
    explicit ImeContext(plat::HWND of) {
        window = plat::ImmGetDefaultIMEWnd(of);
        context = plat::ImmGetContext(window);
    }
    ~ImeContext() { Release(); }
    void Release() {
        if (context != nullptr) plat::ImmReleaseContext(window, context);
        context = nullptr;
    }
    ImeContext(const ImeContext&) = delete;
    ImeContext& operator=(const ImeContext&) = delete;
};

// Reads a composition or result string into a buffer of kImeTextBytes, always terminated and
// holding whole characters only: a string cut at the buffer's end can end in a lead byte whose
// trail did not fit, which would pair with whatever byte comes next.
void ReadImeString(plat::HIMC context, plat::DWORD index, char* out) {
    std::memset(out, 0, kImeTextBytes);
    const plat::LONG n = plat::ImmGetCompositionStringA(context, index, out, kImeTextBytes - 1);
    if (n > 0 && n < kImeTextBytes) out[n] = '\0';
    for (int at = 0; out[at] != '\0'; ++at) {
        if (!IsInputLeadByte(static_cast<uint8_t>(out[at]))) continue;
        if (out[at + 1] == '\0') {
            out[at] = '\0';
            break;
        }
        ++at;
    }
}

// Puts a result into the character buffer by whole characters, as many as fit in order.
void PutResult(const char* text) {
    for (int at = 0; text[at] != '\0';) {
        const bool lead = IsInputLeadByte(static_cast<uint8_t>(text[at])) && text[at + 1] != '\0';
        const int width = lead ? 2 : 1;
        if (CharBufferRoom() < width) return;
        for (int i = 0; i < width; ++i) PutInputChar(static_cast<uint8_t>(text[at + i]));
        at += width;
    }
}

void FreeCandidateList(ImeState& ime) {
    FreeTagged(ime.candidateList);
    ime.candidateList = nullptr;
}

plat::LRESULT OnComposition(plat::LPARAM flags) {
    ImeState& ime = GetTextInputState().ime;
    ImeContext ctx;
    if (flags & plat::GCS_COMPSTR) ReadImeString(ctx.context, plat::GCS_COMPSTR, ime.composition);
    if (flags & plat::GCS_RESULTSTR) {
        ReadImeString(ctx.context, plat::GCS_RESULTSTR, ime.composition);
        PutResult(ime.composition);
        ReadImeString(ctx.context, plat::GCS_COMPSTR, ime.composition);
    }
    if (flags & plat::GCS_CURSORPOS) {
        const plat::LONG at =
            plat::ImmGetCompositionStringA(ctx.context, plat::GCS_CURSORPOS, nullptr, 0);
        ime.compositionCursor = CountCharsInBytes(ime.composition, at);
    }
    if (flags & plat::GCS_COMPCLAUSE) {
        std::memset(ime.clauses, 0, sizeof ime.clauses);
        const plat::LONG n = plat::ImmGetCompositionStringA(ctx.context, plat::GCS_COMPCLAUSE,
                                                            ime.clauses, sizeof ime.clauses);
        ime.clauseCount = n > 0 ? n / 4 : 0;
    }
    return 0;
}

plat::LRESULT OnCandidateChange(plat::HWND window) {
    ImeState& ime = GetTextInputState().ime;
    ImeContext ctx(window);
    const plat::DWORD size = plat::ImmGetCandidateListA(ctx.context, 0, nullptr, 0);
    if (size == 0) {
        ctx.Release();
        AppendLogFormat("漢字変換候補のデータサイズが０でした  DefHWND:%x IMC:%x"_sjis,
                        static_cast<unsigned>(reinterpret_cast<uintptr_t>(ctx.window)),
                        static_cast<unsigned>(reinterpret_cast<uintptr_t>(ctx.context)));
        return 0;
    }
    FreeCandidateList(ime);
    void* list = AllocTagged(size, "", 0);
    if (list == nullptr) {
        ctx.Release();
        char text[256];
        FormatText(
            text, sizeof text,
            "漢字変換候補を保存するメモリの確保に失敗しました( 確保しようとしたサイズ %d バイト )"_sjis,
            static_cast<int>(size));
        RaiseFatalError(text);
    }
    if (plat::ImmGetCandidateListA(ctx.context, 0, list, size) == 0) {
        FreeTagged(list);
        ctx.Release();
        AppendLogFormat("漢字変換候補の取得に失敗しました  BufSize:%d"_sjis,
                        static_cast<int>(size));
        return 0;
    }
    ime.candidateList = list;
    return 0;
}

plat::LRESULT OnOpenStatus(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                           plat::LPARAM lParam) {
    ImeState& ime = GetTextInputState().ime;
    if (ime.openStatusGuard) return 0;
    ime.openStatusGuard = 1;
    plat::DefWindowProcA(window, message, wParam, lParam);
    const uint64_t start = Core().microsecondCount();
    while (Core().processMessageBody() == 0 && Core().microsecondCount() - start < 2000) {
    }
    ime.openStatusGuard = 0;
    ImeContext ctx;
    ime.open = plat::ImmGetOpenStatus(ctx.context) ? 1 : 0;
    return 0;
}

}  // namespace

int RunImeReset() {
    ImeState& ime = GetTextInputState().ime;
    if (ime.resetStep < 1 || ime.resetStep > 4) return 0;
    for (int step = ime.resetStep; step <= 4; ++step) {
        ImeContext ctx;
        switch (step) {
            case 1:
                if (ctx.window == nullptr || ctx.context == nullptr) break;
                std::memset(ime.composition, 0, sizeof ime.composition);
                ReadImeString(ctx.context, plat::GCS_COMPSTR, ime.savedComposition);
                plat::ImmNotifyIME(ctx.context, plat::NI_COMPOSITIONSTR, plat::CPS_CANCEL, 0);
                break;
            case 2:
                plat::ImmSetOpenStatus(ctx.context, plat::FALSE);
                break;
            case 3:
                plat::ImmSetOpenStatus(ctx.context, plat::TRUE);
                break;
            default:
                if (ctx.window == nullptr || ctx.context == nullptr) break;
                plat::ImmSetOpenStatus(ctx.context, plat::TRUE);
                plat::ImmSetCompositionStringA(
                    ctx.context, plat::SCS_SETSTR, ime.savedComposition,
                    static_cast<plat::DWORD>(std::strlen(ime.savedComposition)), nullptr, 0);
                break;
        }
    }
    ime.resetStep = 0;
    return 0;
}

int RequestImeReapply() {
    ImeState& ime = GetTextInputState().ime;
    if (ime.enabled && ime.open) ime.resetStep = 1;
    return 0;
}

int SetImeEnabled(int flag) {
    ImeState& ime = GetTextInputState().ime;
    flag = flag ? 1 : 0;
    if (flag == ime.enabled) return 0;
    plat::WINNLSEnableIME(Core().getEngineWindowBody(), flag ? plat::TRUE : plat::FALSE);
    ime.enabled = flag;
    if (!flag) {
        FreeCandidateList(ime);
        std::memset(ime.composition, 0, sizeof ime.composition);
        ime.composing = 0;
    }
    return 0;
}

plat::LRESULT OnImeMessage(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                           plat::LPARAM lParam) {
    ImeState& ime = GetTextInputState().ime;
    if (!ime.enabled) return 0;
    NoteKeystroke();
    switch (message) {
        case plat::WM_IME_STARTCOMPOSITION:
            ime.compositionCursor = 0;
            ime.composing = 1;
            return 0;
        case plat::WM_IME_ENDCOMPOSITION:
            std::memset(ime.composition, 0, sizeof ime.composition);
            ime.composing = 0;
            return 0;
        case plat::WM_IME_COMPOSITION:
            return OnComposition(lParam);
        case plat::WM_IME_SETCONTEXT:
            // Without the flags that would show the system's own composition, guide line and
            // candidate windows: the key input draws the composition itself.
            return plat::DefWindowProcA(window, message, wParam,
                                        lParam & static_cast<plat::LPARAM>(0x3FFFFFF0));
        case plat::WM_IME_NOTIFY:
            switch (wParam) {
                case plat::IMN_CHANGECANDIDATE:
                case plat::IMN_OPENCANDIDATE:
                case plat::IMN_SETCANDIDATEPOS:
                    return OnCandidateChange(window);
                case plat::IMN_CLOSECANDIDATE:
                    FreeCandidateList(ime);
                    return 0;
                case plat::IMN_SETOPENSTATUS:
                    return OnOpenStatus(window, message, wParam, lParam);
                default:
                    return plat::DefWindowProcA(window, message, wParam, lParam);
            }
        default:
            return 0;
    }
}

}  // namespace tessra
