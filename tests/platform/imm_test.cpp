// The input method over SDL's editing events: the messages a composition makes, what the
// context answers while each is handled, and the calls the engine makes of it.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/imm/imm.h"
#include "platform/testing.h"
#include "platform/win/codepage.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"

namespace plat {
namespace {

// A message as the procedure saw it, with what the context answered for it then.
struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::string composition;
    std::string result;
    LONG cursor;
    std::vector<uint32_t> clauses;
};
std::vector<Seen> g_seen;

std::string ReadString(HIMC context, DWORD index) {
    const LONG size = ImmGetCompositionStringA(context, index, nullptr, 0);
    std::string s(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        EXPECT_EQ(ImmGetCompositionStringA(context, index, s.data(), size), size);
    }
    return s;
}

LRESULT Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR || message == WM_IME_NOTIFY ||
        (message >= WM_IME_STARTCOMPOSITION && message <= WM_IME_COMPOSITION)) {
        Seen seen{message, wParam, lParam, {}, {}, 0, {}};
        if (message == WM_IME_COMPOSITION) {
            HIMC context = ImmGetContext(ImmGetDefaultIMEWnd(window));
            seen.composition = ReadString(context, GCS_COMPSTR);
            seen.result = ReadString(context, GCS_RESULTSTR);
            seen.cursor = ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0);
            uint32_t clauses[8] = {};
            const LONG n =
                ImmGetCompositionStringA(context, GCS_COMPCLAUSE, clauses, sizeof clauses);
            seen.clauses.assign(clauses, clauses + (n > 0 ? n / 4 : 0));
            ImmReleaseContext(window, context);
        }
        g_seen.push_back(seen);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class ImmTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Reset();
        g_seen.clear();
        WNDCLASSA c{};
        c.lpfnWndProc = Proc;
        c.lpszClassName = "ImmTestClass";
        ASSERT_NE(RegisterClassA(&c), 0);
        window_ = CreateWindowExA(0, "ImmTestClass", "ime", 0x80CA0000u, 0, 0, 320, 240, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        ShowWindow(window_, SW_SHOW);
        SetActiveWindow(window_);
        Pump();
        g_seen.clear();
    }
    void TearDown() override {
        if (IsWindow(window_)) DestroyWindow(window_);
        UnregisterClassA("ImmTestClass", nullptr);
    }
    static void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    std::vector<UINT> Messages() const {
        std::vector<UINT> out;
        for (const Seen& s : g_seen) out.push_back(s.message);
        return out;
    }
    HWND window_ = nullptr;
};

const std::string kKan = Utf8ToSjis("かん");

TEST_F(ImmTest, CompositionThenResultMakeTheMessagesAndNoCharacters) {
    testing::InjectTextEditing("か", 1);
    testing::InjectTextEditing("かん", 1);
    testing::InjectTextInput("漢");
    testing::InjectTextEditing("", 0);  // SDL's idle report after the result: nothing
    Pump();
    const std::vector<UINT> expected = {WM_IME_STARTCOMPOSITION, WM_IME_COMPOSITION,
                                        WM_IME_COMPOSITION, WM_IME_COMPOSITION,
                                        WM_IME_ENDCOMPOSITION};
    ASSERT_EQ(Messages(), expected);
    const LPARAM editing = static_cast<LPARAM>(GCS_COMPSTR | GCS_CURSORPOS | GCS_COMPCLAUSE);
    // Each message reads the context as it stood when the event came.
    EXPECT_EQ(g_seen[1].lParam, editing);
    EXPECT_EQ(g_seen[1].composition, Utf8ToSjis("か"));
    EXPECT_EQ(g_seen[2].composition, kKan);
    EXPECT_EQ(g_seen[2].cursor, 2);  // one character in: two bytes
    EXPECT_EQ(g_seen[2].clauses, (std::vector<uint32_t>{0, 4}));
    EXPECT_EQ(g_seen[3].lParam, static_cast<LPARAM>(GCS_RESULTSTR));
    EXPECT_EQ(g_seen[3].result, Utf8ToSjis("漢"));
    EXPECT_EQ(g_seen[3].composition, "");
    EXPECT_EQ(testing::ImeContextsHeld(), 0);
}

TEST_F(ImmTest, AnEmptiedCompositionEndsWithoutAResult) {
    testing::InjectTextEditing("かん", 2);
    testing::InjectTextEditing("", 0);
    testing::InjectTextInput("a");  // after the end: typed text again
    Pump();
    const std::vector<UINT> expected = {WM_IME_STARTCOMPOSITION, WM_IME_COMPOSITION,
                                        WM_IME_ENDCOMPOSITION, WM_CHAR};
    EXPECT_EQ(Messages(), expected);
}

TEST_F(ImmTest, LongCompositionsComeThroughSdlsExtendedEvent) {
    const std::string utf8 = "ちょうへんのへんかんちゅうもじれつをうけとる";
    ASSERT_GT(utf8.size(), 32u);
    testing::InjectTextEditing(utf8.c_str(), 100);  // a cursor past the end stops at the end
    Pump();
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[1].composition, Utf8ToSjis(utf8));
    EXPECT_EQ(g_seen[1].cursor, static_cast<LONG>(Utf8ToSjis(utf8).size()));
}

TEST_F(ImmTest, WhileDisabledEditingMakesNoMessageAndTextIsTyped) {
    EXPECT_EQ(WINNLSEnableIME(window_, FALSE), TRUE);
    EXPECT_FALSE(testing::ImeEnabled());
    testing::InjectTextEditing("かん", 2);
    testing::InjectTextInput("ｱ");
    Pump();
    ASSERT_EQ(Messages(), (std::vector<UINT>{WM_CHAR}));
    EXPECT_EQ(g_seen[0].wParam, 0xB1u);
    EXPECT_EQ(WINNLSEnableIME(window_, TRUE), FALSE);
    // A window that does not exist changes nothing.
    EXPECT_EQ(WINNLSEnableIME(nullptr, FALSE), FALSE);
    EXPECT_TRUE(testing::ImeEnabled());
}

TEST_F(ImmTest, CancelDropsTheCompositionAndEndsIt) {
    testing::InjectTextEditing("かん", 2);
    Pump();
    g_seen.clear();
    HIMC context = ImmGetContext(ImmGetDefaultIMEWnd(window_));
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(ReadString(context, GCS_COMPSTR), kKan);
    EXPECT_TRUE(ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0));
    EXPECT_EQ(ReadString(context, GCS_COMPSTR), "");
    EXPECT_EQ(ImmGetCompositionStringA(context, GCS_COMPCLAUSE, nullptr, 0), 0);
    ImmReleaseContext(window_, context);
    Pump();
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_IME_ENDCOMPOSITION}));
    // Text after the cancel is typed text.
    g_seen.clear();
    testing::InjectTextInput("b");
    Pump();
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_CHAR}));
}

TEST_F(ImmTest, ContextCallsAnswerAsTheEngineExpects) {
    EXPECT_EQ(ImmGetDefaultIMEWnd(nullptr), nullptr);
    EXPECT_EQ(ImmGetContext(nullptr), nullptr);
    HIMC context = ImmGetContext(ImmGetDefaultIMEWnd(window_));
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(ImmGetContext(window_), context);  // one context
    EXPECT_EQ(testing::ImeContextsHeld(), 2);
    // Open status: a flag; a change tells the window.
    EXPECT_FALSE(ImmGetOpenStatus(context));
    EXPECT_TRUE(ImmSetOpenStatus(context, TRUE));
    EXPECT_TRUE(ImmSetOpenStatus(context, TRUE));
    EXPECT_TRUE(ImmGetOpenStatus(context));
    // No candidates from SDL.
    EXPECT_EQ(ImmGetCandidateListA(context, 0, nullptr, 0), 0u);
    EXPECT_TRUE(ImmSetCompositionStringA(context, SCS_SETSTR, kKan.data(),
                                         static_cast<DWORD>(kKan.size()), nullptr, 0));
    // A short buffer takes what fits.
    testing::FakeImeContext fake;
    fake.composition = kKan;
    testing::SetImeContext(fake);
    char two[2];
    EXPECT_EQ(ImmGetCompositionStringA(context, GCS_COMPSTR, two, 2), 2);
    EXPECT_EQ(std::string(two, 2), kKan.substr(0, 2));
    EXPECT_EQ(ImmGetCompositionStringA(nullptr, GCS_COMPSTR, two, 2), 0);
    ImmReleaseContext(window_, context);
    ImmReleaseContext(window_, context);
    EXPECT_EQ(testing::ImeContextsHeld(), 0);
    const std::vector<std::string> calls = {"ImmSetOpenStatus 1", "ImmSetOpenStatus 1",
                                            "ImmSetCompositionStringA 9 " + kKan};
    EXPECT_EQ(testing::TakeImeCalls(), calls);
    Pump();
    // One notice for the one change.
    ASSERT_EQ(Messages(), (std::vector<UINT>{WM_IME_NOTIFY}));
    EXPECT_EQ(g_seen[0].wParam, IMN_SETOPENSTATUS);
}

TEST_F(ImmTest, FakeCandidateListsAndFailingReads) {
    testing::FakeImeContext fake;
    fake.candidateList = {9, 8, 7, 6};
    fake.failingCandidateReads = 1;
    testing::SetImeContext(fake);
    HIMC context = ImmGetContext(window_);
    uint8_t list[8] = {};
    EXPECT_EQ(ImmGetCandidateListA(context, 0, nullptr, 0), 4u);
    EXPECT_EQ(ImmGetCandidateListA(context, 0, list, sizeof list), 0u);
    EXPECT_EQ(ImmGetCandidateListA(context, 0, list, sizeof list), 4u);
    EXPECT_EQ(list[0], 9);
    EXPECT_EQ(list[3], 6);
    ImmReleaseContext(window_, context);
}

}  // namespace
}  // namespace plat
