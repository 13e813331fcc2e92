// The input method over SDL's text editing. There is one composition context: SDL composes for
// the focused window only. Each WM_IME_COMPOSITION carries in wParam the number of the moment it
// was made, and its dispatch reads the context as it stood then, so that several SDL events
// taken in one pump (a result, then a new composition) each reach the program intact.
#include "platform/imm/imm.h"

#include <SDL.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/win/codepage.h"
#include "platform/win/internal.h"
#include "platform/win/window.h"

namespace plat {
namespace {

struct ContextView {
    std::string composition;  // Shift-JIS
    std::string result;
    DWORD cursor = 0;               // byte offset into the composition
    std::vector<uint32_t> clauses;  // empty: one clause over the composition
};

struct Snapshot {
    uint32_t number = 0;
    ContextView view;
};

constexpr int kSnapshots = 64;

std::mutex g_mutex;
bool g_enabled = true;  // a window's input method is on until switched off
bool g_open = false;
bool g_composing = false;
ContextView g_live;
Snapshot g_snapshots[kSnapshots];
uint32_t g_nextSnapshot = 1;
std::vector<uint8_t> g_candidates;
int g_failingCandidateReads = 0;
int g_contextsHeld = 0;
LPARAM g_shownUi = 0;
std::vector<std::string> g_calls;
thread_local uint32_t g_selected = 0;  // the snapshot the dispatched message reads, 0 live

char g_contextToken;
HIMC TheContext() {
    return reinterpret_cast<HIMC>(&g_contextToken);
}

bool WindowExists(HWND window) {
    detail::WindowView view;
    return window != nullptr && detail::ViewWindow(window, &view);
}

// Under the mutex: the view the calling thread reads.
const ContextView& CurrentView() {
    if (g_selected != 0) {
        const Snapshot& s = g_snapshots[g_selected % kSnapshots];
        if (s.number == g_selected) return s.view;
    }
    return g_live;
}

// Under the mutex: keeps the live view for the message about to be posted.
uint32_t TakeSnapshot() {
    const uint32_t number = g_nextSnapshot;
    g_nextSnapshot = g_nextSnapshot + 1 == 0 ? 1 : g_nextSnapshot + 1;
    Snapshot& s = g_snapshots[number % kSnapshots];
    s.number = number;
    s.view = g_live;
    return number;
}

LONG CopyOut(const void* data, size_t size, void* buffer, DWORD bufferBytes) {
    if (buffer == nullptr || bufferBytes == 0) return static_cast<LONG>(size);
    const size_t n = size < bufferBytes ? size : bufferBytes;
    if (n > 0) std::memcpy(buffer, data, n);
    return static_cast<LONG>(n);
}

// The byte offset, in Shift-JIS, of the `characters`-th character of a UTF-8 string.
DWORD SjisOffsetOfCharacter(const char* utf8, int characters) {
    size_t at = 0;
    const size_t size = std::strlen(utf8);
    for (int i = 0; i < characters && at < size; ++i) {
        ++at;
        while (at < size && (static_cast<unsigned char>(utf8[at]) & 0xC0) == 0x80) ++at;
    }
    return static_cast<DWORD>(Utf8ToSjis(std::string_view(utf8, at)).size());
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != nullptr) PostMessageA(window, message, wParam, lParam);
}

}  // namespace

BOOL WINNLSEnableIME(HWND window, BOOL enable) {
    if (!WindowExists(window)) return FALSE;
    std::lock_guard<std::mutex> lock(g_mutex);
    const BOOL previous = g_enabled ? TRUE : FALSE;
    g_enabled = enable != FALSE;
    g_calls.push_back(std::string("WINNLSEnableIME ") + (g_enabled ? "1" : "0"));
    if (!g_enabled) {
        g_composing = false;
        g_live.composition.clear();
        g_live.cursor = 0;
        if (detail::VideoStarted()) SDL_ClearComposition();
    }
    return previous;
}

HWND ImmGetDefaultIMEWnd(HWND window) {
    return WindowExists(window) ? window : nullptr;
}

HIMC ImmGetContext(HWND window) {
    if (!WindowExists(window)) return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_contextsHeld;
    return TheContext();
}

BOOL ImmReleaseContext(HWND, HIMC context) {
    if (context != TheContext()) return FALSE;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_contextsHeld > 0) --g_contextsHeld;
    return TRUE;
}

LONG ImmGetCompositionStringA(HIMC context, DWORD index, void* buffer, DWORD bufferBytes) {
    if (context != TheContext()) return 0;
    std::lock_guard<std::mutex> lock(g_mutex);
    const ContextView& view = CurrentView();
    switch (index) {
        case GCS_COMPSTR:
            return CopyOut(view.composition.data(), view.composition.size(), buffer, bufferBytes);
        case GCS_RESULTSTR:
            return CopyOut(view.result.data(), view.result.size(), buffer, bufferBytes);
        case GCS_CURSORPOS:
            return static_cast<LONG>(view.cursor);
        case GCS_COMPCLAUSE: {
            std::vector<uint32_t> clauses = view.clauses;
            if (clauses.empty() && !view.composition.empty())
                clauses = {0, static_cast<uint32_t>(view.composition.size())};
            return CopyOut(clauses.data(), clauses.size() * sizeof(uint32_t), buffer, bufferBytes);
        }
        default:
            return 0;
    }
}

BOOL ImmNotifyIME(HIMC context, DWORD action, DWORD index, DWORD) {
    if (context != TheContext()) return FALSE;
    if (action != NI_COMPOSITIONSTR || index != CPS_CANCEL) return FALSE;
    bool ended;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_calls.push_back("ImmNotifyIME cancel");
        ended = g_composing;
        g_composing = false;
        g_live.composition.clear();
        g_live.cursor = 0;
        g_live.clauses.clear();
    }
    if (detail::VideoStarted()) SDL_ClearComposition();
    if (ended) Post(GetActiveWindow(), WM_IME_ENDCOMPOSITION, 0, 0);
    return TRUE;
}

BOOL ImmSetOpenStatus(HIMC context, BOOL open) {
    if (context != TheContext()) return FALSE;
    bool changed;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_calls.push_back(std::string("ImmSetOpenStatus ") + (open ? "1" : "0"));
        changed = g_open != (open != FALSE);
        g_open = open != FALSE;
    }
    if (changed) Post(GetActiveWindow(), WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0);
    return TRUE;
}

BOOL ImmGetOpenStatus(HIMC context) {
    if (context != TheContext()) return FALSE;
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_open ? TRUE : FALSE;
}

BOOL ImmSetCompositionStringA(HIMC context, DWORD index, const void* composition,
                              DWORD compositionBytes, const void*, DWORD) {
    if (context != TheContext()) return FALSE;
    std::lock_guard<std::mutex> lock(g_mutex);
    std::string call = "ImmSetCompositionStringA " + std::to_string(index) + " ";
    if (composition != nullptr)
        call.append(static_cast<const char*>(composition), compositionBytes);
    g_calls.push_back(call);
    return TRUE;
}

DWORD ImmGetCandidateListA(HIMC context, DWORD, void* list, DWORD bufferBytes) {
    if (context != TheContext()) return 0;
    std::lock_guard<std::mutex> lock(g_mutex);
    const DWORD size = static_cast<DWORD>(g_candidates.size());
    if (list == nullptr || bufferBytes == 0) return size;
    if (size == 0) return 0;
    if (g_failingCandidateReads > 0) {
        --g_failingCandidateReads;
        return 0;
    }
    std::memcpy(list, g_candidates.data(), size < bufferBytes ? size : bufferBytes);
    return size;
}

namespace detail {

void OnSdlTextEditing(HWND window, const char* utf8, int start) {
    if (window == nullptr || utf8 == nullptr) return;
    const std::string sjis = Utf8ToSjis(utf8);
    bool starting = false;
    uint32_t snapshot = 0;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_enabled) return;
        if (sjis.empty()) {
            // SDL reports an empty composition whenever the input method is idle; only one that
            // was composing ends.
            if (!g_composing) return;
            g_composing = false;
            g_live.composition.clear();
            g_live.cursor = 0;
            g_live.clauses.clear();
        } else {
            starting = !g_composing;
            g_composing = true;
            g_live.composition = sjis;
            g_live.cursor = SjisOffsetOfCharacter(utf8, start < 0 ? 0 : start);
            g_live.clauses.clear();
            snapshot = TakeSnapshot();
        }
    }
    if (snapshot == 0) {
        Post(window, WM_IME_ENDCOMPOSITION, 0, 0);
        return;
    }
    if (starting) Post(window, WM_IME_STARTCOMPOSITION, 0, 0);
    Post(window, WM_IME_COMPOSITION, snapshot,
         static_cast<LPARAM>(GCS_COMPSTR | GCS_CURSORPOS | GCS_COMPCLAUSE));
}

bool OnSdlTextInput(HWND window, const char* utf8) {
    if (window == nullptr || utf8 == nullptr) return false;
    uint32_t snapshot;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_enabled || !g_composing) return false;
        g_composing = false;
        g_live.composition.clear();
        g_live.cursor = 0;
        g_live.clauses.clear();
        g_live.result = Utf8ToSjis(utf8);
        snapshot = TakeSnapshot();
    }
    Post(window, WM_IME_COMPOSITION, snapshot, static_cast<LPARAM>(GCS_RESULTSTR));
    Post(window, WM_IME_ENDCOMPOSITION, 0, 0);
    return true;
}

uint32_t SelectImeView(UINT message, WPARAM wParam) {
    const uint32_t previous = g_selected;
    if (message == WM_IME_COMPOSITION) g_selected = static_cast<uint32_t>(wParam);
    return previous;
}

void RestoreImeView(uint32_t previous) {
    g_selected = previous;
}

void NoteImeSetContext(LPARAM lParam) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_shownUi =
        lParam & (ISC_SHOWUICOMPOSITIONWINDOW | ISC_SHOWUIGUIDELINE | ISC_SHOWUIALLCANDIDATEWINDOW);
}

void ResetImeControls() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_shownUi = 0;
    g_enabled = true;
    g_open = false;
    g_composing = false;
    g_live = ContextView{};
    for (Snapshot& s : g_snapshots) s = Snapshot{};
    g_candidates.clear();
    g_failingCandidateReads = 0;
    g_contextsHeld = 0;
    g_calls.clear();
}

}  // namespace detail

namespace testing {

void SetImeContext(const FakeImeContext& context) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_live.composition = context.composition;
    g_live.result = context.result;
    g_live.cursor = context.cursorBytes;
    g_live.clauses = context.clauses;
    g_open = context.open;
    g_candidates = context.candidateList;
    g_failingCandidateReads = context.failingCandidateReads;
}

bool ImeEnabled() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_enabled;
}

LPARAM ImeSystemWindowFlags() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_shownUi;
}

int ImeContextsHeld() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_contextsHeld;
}

std::vector<std::string> TakeImeCalls() {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<std::string> calls;
    calls.swap(g_calls);
    return calls;
}

}  // namespace testing
}  // namespace plat
