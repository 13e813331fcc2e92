// The character buffer, the key inputs' editing, and the input method's messages through the
// platform's composition context, with the engine started on the dummy drivers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/base/handle.h"
#include "engine/base/sjis.h"
#include "engine/core/engine_lock.h"
#include "engine/font/font.h"
#include "engine/graphics/draw_front.h"
#include "engine/graphics/graphics_core.h"
#include "engine/input/input.h"
#include "engine/input/input_test_support.h"
#include "engine/input/key_input.h"
#include "engine/input/text_input_state.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"
#include "platform/imm/imm.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"

namespace input_test {
namespace {

using namespace tessra::sjis_literals;
using tessra::GetTextInputState;

// Bytes as a string, for comparisons that print.
std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

class TextInputTest : public InputFixture {
protected:
    void SetUp() override {
        InputFixture::SetUp();
        Start();
        tessra::EnterEngineLock();
    }
    void TearDown() override {
        tessra::LeaveEngineLock();
        InputFixture::TearDown();
    }
    // Puts bytes as typed characters arrive.
    static void Type(const std::string& bytes) {
        for (char c : bytes) tessra::PutInputChar(static_cast<uint8_t>(c));
    }
    static std::string Text(int handle) {
        char text[2048];
        EXPECT_GE(tessra::ReadKeyInputText(handle, text, sizeof text), 0);
        return text;
    }
    static tessra::KeyInputStatus Status(int handle) {
        tessra::KeyInputStatus status{};
        EXPECT_EQ(tessra::ReadKeyInputStatus(handle, &status), 0);
        return status;
    }
    static int BufferHeld() { return 1024 - tessra::CharBufferRoom(); }
    static plat::HWND Window() { return GetEngineWindow(); }
    static plat::LRESULT Ime(plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam) {
        return tessra::OnImeMessage(Window(), message, wParam, lParam);
    }
};

TEST_F(TextInputTest, BufferHolds1024BytesAndTakingFreesOnePlace) {
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(tessra::PutInputChar('a' + i % 26), 0) << i;
    EXPECT_EQ(tessra::PutInputChar('x'), -1);
    uint8_t out[2] = {9, 9};
    EXPECT_EQ(tessra::TakeInputChar(out, 1), 1);
    EXPECT_EQ(out[0], 'a');
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(tessra::PutInputChar('x'), 0);
    EXPECT_EQ(tessra::PutInputChar('y'), -1);
    // The indices wrap: everything comes out in order, the last being the late 'x'.
    int taken = 0;
    uint8_t last = 0;
    while (tessra::TakeInputChar(out, 1) == 1) {
        last = out[0];
        ++taken;
    }
    EXPECT_EQ(taken, 1024);
    EXPECT_EQ(last, 'x');
}

TEST_F(TextInputTest, PeekLeavesADoubleByteCharacterAndALoneLeadWaits) {
    Type("\x8A");  // the lead byte of a kanji, its trail still to come
    uint8_t out[2];
    EXPECT_EQ(tessra::TakeInputChar(out, 1), 0);
    EXPECT_EQ(BufferHeld(), 1);
    Type("\xBF");
    EXPECT_EQ(tessra::TakeInputChar(out, 0), 2);
    EXPECT_EQ(out[0], 0x8A);
    EXPECT_EQ(out[1], 0xBF);
    EXPECT_EQ(BufferHeld(), 2);
    EXPECT_EQ(tessra::TakeInputChar(out, 1), 2);
    EXPECT_EQ(BufferHeld(), 0);
    // A control code is one byte whatever its value.
    EXPECT_EQ(tessra::IsControlCharCode(tessra::kCharLeft), 1);
    EXPECT_EQ(tessra::IsControlCharCode('a'), 0);
}

TEST_F(TextInputTest, ALeadByteGoesInOnlyWithRoomForItsTrail) {
    for (int i = 0; i < 1023; ++i) ASSERT_EQ(tessra::PutInputChar('a'), 0);
    EXPECT_EQ(tessra::PutInputChar(0x8A), -1);
    EXPECT_EQ(tessra::PutInputChar(0xBF), -1);  // its trail goes with it
    EXPECT_EQ(tessra::PutInputChar('z'), 0);    // and what follows is taken again
    uint8_t out[2];
    for (int i = 0; i < 1023; ++i) ASSERT_EQ(tessra::TakeInputChar(out, 1), 1);
    EXPECT_EQ(tessra::TakeInputChar(out, 1), 1);
    EXPECT_EQ(out[0], 'z');
}

TEST_F(TextInputTest, CountsCharactersInBytes) {
    const std::string text = "a漢b"_sjis;
    struct Case {
        int n;
        int chars;
    };
    for (const Case& c : {Case{-1, 0}, Case{0, 0}, Case{1, 1}, Case{3, 2}, Case{4, 3}, Case{9, 3}})
        EXPECT_EQ(tessra::CountCharsInBytes(text.c_str(), c.n), c.chars) << c.n;
}

constexpr char kBs = 8;
constexpr char kDel = tessra::kCharDelete;
constexpr char kLeft = tessra::kCharLeft;
constexpr char kRight = tessra::kCharRight;

struct EditCase {
    const char* name;
    int maximum;
    int escapeAllowed, singleByteOnly, digitsOnly;
    std::string keys;  // Shift-JIS bytes and codes, as the buffer gets them
    std::string text;
    int cursor;
    int ended, cancelled;
    int leftInBuffer;
};

TEST_F(TextInputTest, EditsByTheTable) {
    const std::string kan = "漢"_sjis;  // 8A BF
    const std::string a = "亜"_sjis;    // 88 9F: its trail byte has a lead byte's value
    const std::string s = std::string(1, '\0');
    // clang-format off
    const EditCase cases[] = {
        {"backspace at 0", 8, 0, 0, 0, std::string(1, kBs), "", 0, 0, 0, 0},
        {"backspace", 8, 0, 0, 0, "ab" + std::string(1, kBs), "a", 1, 0, 0, 0},
        {"backspace over a kanji", 8, 0, 0, 0, "a" + kan + kBs, "a", 1, 0, 0, 0},
        {"backspace after a lead-valued trail", 8, 0, 0, 0, a + "x" + kBs, a, 2, 0, 0, 0},
        {"left at 0", 8, 0, 0, 0, std::string(1, kLeft), "", 0, 0, 0, 0},
        {"left over a kanji", 8, 0, 0, 0, "a" + kan + kLeft, "a" + kan, 1, 0, 0, 0},
        {"left twice to 0", 8, 0, 0, 0, "a" + kan + kLeft + kLeft + kLeft, "a" + kan, 0, 0, 0, 0},
        {"left after a lead-valued trail", 8, 0, 0, 0, a + "x" + kLeft, a + "x", 2, 0, 0, 0},
        {"right at the end", 8, 0, 0, 0, "ab" + std::string(1, kRight), "ab", 2, 0, 0, 0},
        {"right over a kanji", 8, 0, 0, 0, kan + "a" + kLeft + kLeft + kRight, kan + "a", 2, 0, 0, 0},
        {"delete at the end", 8, 0, 0, 0, "ab" + std::string(1, kDel), "ab", 2, 0, 0, 0},
        {"delete a kanji", 8, 0, 0, 0, kan + "a" + kLeft + kLeft + kDel, "a", 0, 0, 0, 0},
        {"insert in the middle", 8, 0, 0, 0, "ac" + std::string(1, kLeft) + "b", "abc", 2, 0, 0, 0},
        {"return leaves later bytes", 8, 0, 0, 0, "ab\rcd", "ab", 2, 1, 0, 2},
        {"escape allowed", 8, 1, 0, 0, "ab\x1b" "c", "ab", 2, 1, 1, 1},
        {"escape ignored", 8, 0, 0, 0, "ab\x1b" "c", "abc", 3, 0, 0, 0},
        {"tab, up and down do nothing", 8, 0, 0, 0, "a\t\x1e\x1f", "a", 1, 0, 0, 0},
        {"digits only", 8, 0, 0, 1, "-1-2a3" + kan, "-123", 4, 0, 0, 0},
        {"digits only: '-' not at 0", 8, 0, 0, 1, "1-", "1", 1, 0, 0, 0},
        {"single-byte only", 8, 0, 1, 0, "a" + kan + "b", "ab", 2, 0, 0, 0},
        {"room made at the end", 3, 0, 0, 0, "abcd", "abd", 3, 0, 0, 0},
        {"room made in the middle", 3, 0, 0, 0, "abc" + std::string(2, kLeft) + "x", "axb", 2, 0, 0, 0},
        {"room made for a kanji", 3, 0, 0, 0, "abc" + kan, "a" + kan, 3, 0, 0, 0},
        {"a kanji cut for a letter", 4, 0, 0, 0, "ab" + kan + "c", "abc", 3, 0, 0, 0},
        {"control bytes are no text", 8, 0, 0, 0, "a\x01" + s + "b\x0a\x0c" "c", "abc", 3, 0, 0, 0},
        {"a kanji longer than the maximum", 1, 0, 0, 0, kan + "a", "a", 1, 0, 0, 0},
        {"nothing fits a maximum of 0", 0, 0, 0, 0, "ab", "", 0, 0, 0, 0},
    };
    // clang-format on
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int input =
            tessra::MakeKeyInputHandle(c.maximum, c.escapeAllowed, c.singleByteOnly, c.digitsOnly);
        ASSERT_NE(input, -1);
        ASSERT_EQ(tessra::SetActiveKeyInput(input), 0);
        Type(c.keys);
        EXPECT_EQ(tessra::UpdateActiveKeyInput(), 0);
        EXPECT_EQ(Text(input), c.text);
        const tessra::KeyInputStatus st = Status(input);
        EXPECT_EQ(st.length, static_cast<int>(c.text.size()));
        EXPECT_EQ(st.cursor, c.cursor);
        EXPECT_EQ(st.ended, c.ended);
        EXPECT_EQ(st.cancelled, c.cancelled);
        EXPECT_EQ(BufferHeld(), c.leftInBuffer);
        EXPECT_EQ(tessra::ReleaseKeyInputHandle(input), 0);
        uint8_t out[2];
        while (tessra::TakeInputChar(out, 1) != 0) {
        }
    }
}

TEST_F(TextInputTest, HandlesAreCheckedAndTheTableHoldsTwenty) {
    std::vector<int> handles;
    for (int i = 0; i < 20; ++i) handles.push_back(tessra::MakeKeyInputHandle(4, 0, 0, 0));
    for (int h : handles) ASSERT_NE(h, -1);
    EXPECT_EQ(tessra::MakeKeyInputHandle(4, 0, 0, 0), -1);
    EXPECT_EQ(tessra::MakeKeyInputHandle(-1, 0, 0, 0), -1);
    const int stale = handles[3];
    EXPECT_EQ(tessra::ReleaseKeyInputHandle(stale), 0);
    EXPECT_EQ(tessra::ReleaseKeyInputHandle(stale), -1);
    const int again = tessra::MakeKeyInputHandle(4, 0, 0, 0);
    EXPECT_EQ(tessra::HandleSlot(again), 3);
    EXPECT_NE(again, stale);
    EXPECT_EQ(tessra::SetActiveKeyInput(stale), -1);
    tessra::KeyInputStatus st;
    EXPECT_EQ(tessra::ReadKeyInputStatus(stale, &st), -1);
    EXPECT_EQ(tessra::ReadKeyInputStatus(0x20000000, &st), -1);  // a font's kind
    // An active handle gone bad: the update refuses it and takes nothing.
    ASSERT_EQ(tessra::SetActiveKeyInput(again), 0);
    GetTextInputState().activeHandle = stale;
    Type("a");
    EXPECT_EQ(tessra::UpdateActiveKeyInput(), -1);
    EXPECT_EQ(BufferHeld(), 1);
    EXPECT_EQ(tessra::ReleaseAllKeyInputHandles(), 0);
    EXPECT_EQ(tessra::GetActiveKeyInput(), -1);
    for (const tessra::KeyInputRecord& r : GetTextInputState().records) EXPECT_EQ(r.used, 0);
}

TEST_F(TextInputTest, ReadingTheTextCutsAtWholeCharacters) {
    const int input = tessra::MakeKeyInputHandle(8, 0, 0, 0);
    tessra::SetActiveKeyInput(input);
    Type("a漢b"_sjis);
    tessra::UpdateActiveKeyInput();
    char out[8];
    EXPECT_EQ(tessra::ReadKeyInputText(input, out, 3), 1);  // the kanji would leave no room
    EXPECT_STREQ(out, "a");
    EXPECT_EQ(tessra::ReadKeyInputText(input, out, 4), 3);
    EXPECT_EQ(tessra::ReadKeyInputText(input, nullptr, 4), -1);
    // An ended input is ready for typing again once it is made active again.
    Type("\r");
    tessra::UpdateActiveKeyInput();
    EXPECT_EQ(Status(input).ended, 1);
    tessra::SetActiveKeyInput(input);
    EXPECT_EQ(Status(input).ended, 0);
}

TEST_F(TextInputTest, StartUpSwitchesTheImeOffAndShutDownOn) {
    EXPECT_FALSE(plat::testing::ImeEnabled());
    EXPECT_EQ(CountInLog("ＩＭＥを無効にしました\n"), 1);
    EXPECT_EQ(CountInLog("文字コードバッファの初期化を行います... 完了しました\n"), 1);
    tessra::LeaveEngineLock();
    plat::testing::UseRealClock();
    ShutdownEngine();
    tessra::EnterEngineLock();
    EXPECT_TRUE(plat::testing::ImeEnabled());
}

TEST_F(TextInputTest, ReleasingTheLastKeyInputSwitchesTheImeOff) {
    const int one = tessra::MakeKeyInputHandle(4, 0, 0, 0);
    const int two = tessra::MakeKeyInputHandle(4, 0, 0, 0);
    EXPECT_EQ(tessra::SetImeEnabled(1), 0);
    EXPECT_TRUE(plat::testing::ImeEnabled());
    EXPECT_EQ(GetTextInputState().ime.enabled, 1);
    tessra::ReleaseKeyInputHandle(one);
    EXPECT_TRUE(plat::testing::ImeEnabled());
    tessra::ReleaseKeyInputHandle(two);
    EXPECT_FALSE(plat::testing::ImeEnabled());
    EXPECT_EQ(GetTextInputState().ime.enabled, 0);
}

TEST_F(TextInputTest, ImeMessagesDoNothingWhileTheImeIsOff) {
    plat::testing::FakeImeContext fake;
    fake.result = "漢"_sjis;
    plat::testing::SetImeContext(fake);
    for (plat::UINT m : {plat::WM_IME_STARTCOMPOSITION, plat::WM_IME_COMPOSITION,
                         plat::WM_IME_SETCONTEXT, plat::WM_IME_NOTIFY})
        EXPECT_EQ(Ime(m, 1, static_cast<plat::LPARAM>(0xC000080F)), 0);
    EXPECT_EQ(GetTextInputState().ime.composing, 0);
    EXPECT_EQ(BufferHeld(), 0);
}

TEST_F(TextInputTest, CompositionCursorAndClausesFollowTheContext) {
    tessra::SetImeEnabled(1);
    plat::testing::FakeImeContext fake;
    fake.composition = "かんじ"_sjis;
    fake.cursorBytes = 4;
    fake.clauses = {0, 4, 6};
    plat::testing::SetImeContext(fake);
    const tessra::ImeState& ime = GetTextInputState().ime;
    EXPECT_EQ(Ime(plat::WM_IME_STARTCOMPOSITION, 0, 0), 0);
    EXPECT_EQ(ime.composing, 1);
    const auto all =
        static_cast<plat::LPARAM>(plat::GCS_COMPSTR | plat::GCS_CURSORPOS | plat::GCS_COMPCLAUSE);
    EXPECT_EQ(Ime(plat::WM_IME_COMPOSITION, 0, all), 0);
    EXPECT_EQ(std::string(ime.composition), "かんじ"_sjis);
    EXPECT_EQ(ime.compositionCursor, 2);
    EXPECT_EQ(ime.clauseCount, 3);
    EXPECT_EQ(ime.clauses[1], 4u);
    EXPECT_EQ(plat::testing::ImeContextsHeld(), 0);
    EXPECT_EQ(BufferHeld(), 0);
    EXPECT_EQ(Ime(plat::WM_IME_ENDCOMPOSITION, 0, 0), 0);
    EXPECT_EQ(ime.composing, 0);
    EXPECT_EQ(ime.composition[0], '\0');
}

TEST_F(TextInputTest, ResultGoesIntoTheBufferByWholeCharacters) {
    tessra::SetImeEnabled(1);
    plat::testing::FakeImeContext fake;
    fake.result = "漢字"_sjis;
    plat::testing::SetImeContext(fake);
    const auto result = static_cast<plat::LPARAM>(plat::GCS_RESULTSTR);
    Ime(plat::WM_IME_COMPOSITION, 0, result);
    EXPECT_EQ(BufferHeld(), 4);
    EXPECT_EQ(GetTextInputState().ime.composition[0], '\0');  // read again: no composition
    // With room for 3 bytes of the next 4 only the first kanji goes in, whole.
    while (tessra::CharBufferRoom() > 3) tessra::PutInputChar('a');
    Ime(plat::WM_IME_COMPOSITION, 0, result);
    EXPECT_EQ(tessra::CharBufferRoom(), 1);
    EXPECT_EQ(plat::testing::ImeContextsHeld(), 0);
}

TEST_F(TextInputTest, LongCompositionAndResultStayTerminated) {
    tessra::SetImeEnabled(1);
    const tessra::ImeState& ime = GetTextInputState().ime;
    std::string kanji;  // 1024 bytes: cut at 1023, the last character would lose its trail
    for (int i = 0; i < 512; ++i) kanji += "漢"_sjis;
    struct Case {
        std::string composition, result;
        size_t kept;
    };
    const Case cases[] = {
        {std::string(1024, 'k'), std::string(1024, 'r'), 1023},
        {kanji, kanji, 1022},  // whole characters only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kept);
        plat::testing::FakeImeContext fake;
        fake.composition = c.composition;
        fake.result = c.result;
        plat::testing::SetImeContext(fake);
        Ime(plat::WM_IME_COMPOSITION, 0, static_cast<plat::LPARAM>(plat::GCS_COMPSTR));
        EXPECT_EQ(strnlen(ime.composition, sizeof ime.composition), c.kept);
        EXPECT_EQ(std::memcmp(ime.composition, c.composition.data(), c.kept), 0);
        Ime(plat::WM_IME_COMPOSITION, 0, static_cast<plat::LPARAM>(plat::GCS_RESULTSTR));
        EXPECT_EQ(BufferHeld(), static_cast<int>(c.kept));
        EXPECT_EQ(strnlen(ime.composition, sizeof ime.composition), c.kept);
        // A letter typed after the result stays a letter of its own.
        ASSERT_EQ(tessra::PutInputChar('a'), 0);
        uint8_t out[2];
        int n = 0, last = 0;
        while ((n = tessra::TakeInputChar(out, 1)) != 0) last = n == 1 ? out[0] : -1;
        EXPECT_EQ(last, 'a');
    }
}

TEST_F(TextInputTest, CandidateListsAreKeptFreedOrLogged) {
    tessra::SetImeEnabled(1);
    const tessra::ImeState& ime = GetTextInputState().ime;
    plat::testing::FakeImeContext fake;
    fake.candidateList = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    plat::testing::SetImeContext(fake);
    for (plat::WPARAM notice :
         {plat::IMN_OPENCANDIDATE, plat::IMN_CHANGECANDIDATE, plat::IMN_SETCANDIDATEPOS}) {
        EXPECT_EQ(Ime(plat::WM_IME_NOTIFY, notice, 0), 0);
        ASSERT_NE(ime.candidateList, nullptr);
        EXPECT_EQ(std::memcmp(ime.candidateList, fake.candidateList.data(), 12), 0);
    }
    Ime(plat::WM_IME_NOTIFY, plat::IMN_CLOSECANDIDATE, 0);
    EXPECT_EQ(ime.candidateList, nullptr);

    fake.failingCandidateReads = 1;
    plat::testing::SetImeContext(fake);
    Ime(plat::WM_IME_NOTIFY, plat::IMN_OPENCANDIDATE, 0);
    EXPECT_EQ(ime.candidateList, nullptr);
    EXPECT_EQ(CountInLog("漢字変換候補の取得に失敗しました  BufSize:12\n"), 1);

    fake = plat::testing::FakeImeContext{};
    plat::testing::SetImeContext(fake);
    Ime(plat::WM_IME_NOTIFY, plat::IMN_OPENCANDIDATE, 0);
    EXPECT_EQ(ime.candidateList, nullptr);
    EXPECT_EQ(CountInLog("漢字変換候補のデータサイズが０でした"), 1);
    EXPECT_EQ(plat::testing::ImeContextsHeld(), 0);
    // Switching the IME off frees a kept list.
    fake.candidateList = {1, 2, 3, 4};
    plat::testing::SetImeContext(fake);
    Ime(plat::WM_IME_NOTIFY, plat::IMN_OPENCANDIDATE, 0);
    ASSERT_NE(ime.candidateList, nullptr);
    tessra::SetImeEnabled(0);
    EXPECT_EQ(ime.candidateList, nullptr);
}

TEST_F(TextInputTest, SetContextHidesTheSystemWindows) {
    tessra::SetImeEnabled(1);
    Ime(plat::WM_IME_SETCONTEXT, 1, static_cast<plat::LPARAM>(0xC000000Fu | 0x100));
    EXPECT_EQ(plat::testing::ImeSystemWindowFlags(), 0);
    // The default procedure itself sees them when they are passed on.
    plat::DefWindowProcA(Window(), plat::WM_IME_SETCONTEXT, 1,
                         static_cast<plat::LPARAM>(0xC000000Fu));
    EXPECT_EQ(plat::testing::ImeSystemWindowFlags(), static_cast<plat::LPARAM>(0xC000000Fu));
}

TEST_F(TextInputTest, OpenStatusIsReadAfterTheNoticeAndGuarded) {
    // The notice pumps for 2 ms of the engine's clock.
    plat::testing::UseRealClock();
    tessra::SetImeEnabled(1);
    tessra::ImeState& ime = GetTextInputState().ime;
    plat::testing::FakeImeContext fake;
    fake.open = true;
    plat::testing::SetImeContext(fake);
    ime.openStatusGuard = 1;
    EXPECT_EQ(Ime(plat::WM_IME_NOTIFY, plat::IMN_SETOPENSTATUS, 0), 0);
    EXPECT_EQ(ime.open, 0);
    ime.openStatusGuard = 0;
    EXPECT_EQ(Ime(plat::WM_IME_NOTIFY, plat::IMN_SETOPENSTATUS, 0), 0);
    EXPECT_EQ(ime.open, 1);
    EXPECT_EQ(ime.openStatusGuard, 0);
    EXPECT_EQ(plat::testing::ImeContextsHeld(), 0);
}

TEST_F(TextInputTest, ActivationClosesAndReopensAnOpenIme) {
    plat::testing::UseRealClock();
    tessra::SetImeEnabled(1);
    tessra::ImeState& ime = GetTextInputState().ime;
    plat::testing::FakeImeContext fake;
    fake.composition = "かん"_sjis;
    fake.open = true;
    plat::testing::SetImeContext(fake);
    plat::testing::TakeImeCalls();
    // Closed: activation arms nothing.
    tessra::RequestImeReapply();
    EXPECT_EQ(ime.resetStep, 0);
    ime.open = 1;
    plat::SendMessageA(Window(), plat::WM_ACTIVATE, plat::WA_ACTIVE, 0);
    EXPECT_EQ(ime.resetStep, 1);
    tessra::UpdateActiveKeyInput();
    EXPECT_EQ(ime.resetStep, 0);
    EXPECT_EQ(std::string(ime.savedComposition), "かん"_sjis);
    const std::vector<std::string> expected = {
        "ImmNotifyIME cancel", "ImmSetOpenStatus 0", "ImmSetOpenStatus 1", "ImmSetOpenStatus 1",
        "ImmSetCompositionStringA 9 " + std::string("かん"_sjis)};
    EXPECT_EQ(plat::testing::TakeImeCalls(), expected);
    EXPECT_EQ(plat::testing::ImeContextsHeld(), 0);
}

// What SDL gives reaches the key input: typed text as bytes, the input method's composition for
// the display, its result once.
TEST_F(TextInputTest, SdlTextAndCompositionReachTheKeyInput) {
    const int input = tessra::MakeKeyInputHandle(16, 0, 0, 0);
    tessra::SetActiveKeyInput(input);
    tessra::LeaveEngineLock();
    plat::testing::InjectTextInput("ｱ漢");
    for (int i = 0; i < 4; ++i) Settle();
    tessra::EnterEngineLock();
    EXPECT_EQ(Text(input), Bytes({0xB1, 0x8A, 0xBF}));
    tessra::SetImeEnabled(1);
    tessra::LeaveEngineLock();
    plat::testing::InjectTextEditing("かん", 2);
    for (int i = 0; i < 4; ++i) Settle();
    tessra::EnterEngineLock();
    const tessra::ImeState& ime = GetTextInputState().ime;
    EXPECT_EQ(std::string(ime.composition), Bytes({0x82, 0xA9, 0x82, 0xF1}));
    EXPECT_EQ(ime.composing, 1);
    EXPECT_EQ(ime.compositionCursor, 2);
    EXPECT_EQ(ime.clauseCount, 2);  // one clause: its start and its end
    EXPECT_EQ(Text(input), Bytes({0xB1, 0x8A, 0xBF}));
    tessra::LeaveEngineLock();
    plat::testing::InjectTextInput("漢");
    for (int i = 0; i < 4; ++i) Settle();
    tessra::EnterEngineLock();
    EXPECT_EQ(Text(input), Bytes({0xB1, 0x8A, 0xBF, 0x8A, 0xBF}));
    EXPECT_EQ(ime.composing, 0);
    EXPECT_EQ(ime.composition[0], '\0');
}

TEST_F(TextInputTest, SeveralCompositionsInOnePumpEachLandOnce) {
    const int input = tessra::MakeKeyInputHandle(64, 0, 0, 0);
    tessra::SetActiveKeyInput(input);
    tessra::SetImeEnabled(1);
    tessra::LeaveEngineLock();
    // Longer than SDL's short editing event: it comes as the extended one.
    const char* longText = "きょうはいいてんきですねとてもながいぶん";
    plat::testing::InjectTextEditing(longText, 3);
    for (int i = 0; i < 4; ++i) Settle();
    tessra::EnterEngineLock();
    EXPECT_EQ(std::string(GetTextInputState().ime.composition), tessra::SjisText(longText));
    EXPECT_EQ(GetTextInputState().ime.compositionCursor, 3);
    tessra::LeaveEngineLock();
    plat::testing::InjectTextInput("今日は");
    plat::testing::InjectTextEditing("じ", 1);
    plat::testing::InjectTextInput("字");
    for (int i = 0; i < 8; ++i) Settle();
    tessra::EnterEngineLock();
    EXPECT_EQ(Text(input), "今日は字"_sjis);
    EXPECT_EQ(GetTextInputState().ime.composing, 0);
    // With the IME off, editing makes no message and text is typed as it comes.
    tessra::SetImeEnabled(0);
    tessra::LeaveEngineLock();
    plat::testing::InjectTextEditing("か", 1);
    plat::testing::InjectTextInput("か");
    for (int i = 0; i < 4; ++i) Settle();
    tessra::EnterEngineLock();
    EXPECT_EQ(Text(input), "今日は字か"_sjis);
    EXPECT_EQ(GetTextInputState().ime.composing, 0);
}

// The back screen's bytes over a box, and how many of its pixels are not black.
struct Box {
    std::string bytes;
    int inked = 0;
};
Box BackBox(int left, int top, int right, int bottom) {
    const tessra::MEMIMG& m = tessra::GetScreenState().backImage;
    const int bytes = tessra::MemImgBytesPerPixel(m.kind, 0, 0);
    Box box;
    for (int y = top; y < bottom; ++y) {
        const uint8_t* row = m.pixels + y * m.pitch + left * bytes;
        box.bytes.append(reinterpret_cast<const char*>(row),
                         static_cast<size_t>((right - left) * bytes));
        for (int i = 0; i < (right - left) * bytes; ++i) box.inked += row[i] != 0;
    }
    return box;
}

TEST_F(TextInputTest, DrawnKeyInputShowsTheCompositionAtTheCursor) {
    ASSERT_EQ(tessra::GetScreenState().memImgScreens, 1);
    tessra::SetDrawTargetAndArea(-2);
    const int input = tessra::MakeKeyInputHandle(16, 0, 0, 0);
    tessra::SetActiveKeyInput(input);
    Type("Dig"_sjis);
    tessra::UpdateActiveKeyInput();
    const int font = tessra::CreateFontToHandle(nullptr, 16, 2, 0, 1, -1, 0, -1, -1);
    ASSERT_GE(font, 0);
    auto draw = [&] {
        tessra::FillOrFrameRectangle(0, 0, 320, 60, 0, 1);
        EXPECT_EQ(tessra::DrawKeyInput(10, 20, input, font), 0);
    };
    const int cursorX = 10 + tessra::RenderTextWithCache(tessra::kTextMeasure, 0, 0, "Dig", 0,
                                                         nullptr, nullptr, font, 0, -1, nullptr);
    ASSERT_GT(cursorX, 20);
    draw();
    const Box text = BackBox(10, 20, cursorX, 40);
    const Box plain = BackBox(cursorX, 20, cursorX + 80, 40);
    EXPECT_GT(text.inked, 20);
    EXPECT_GT(plain.inked, 0);  // the cursor after the text
    // While composing, the composition stands at the cursor.
    tessra::SetImeEnabled(1);
    plat::testing::FakeImeContext fake;
    fake.composition = "かん"_sjis;
    fake.cursorBytes = 2;
    plat::testing::SetImeContext(fake);
    Ime(plat::WM_IME_STARTCOMPOSITION, 0, 0);
    Ime(plat::WM_IME_COMPOSITION, 0,
        static_cast<plat::LPARAM>(plat::GCS_COMPSTR | plat::GCS_CURSORPOS | plat::GCS_COMPCLAUSE));
    draw();
    const Box composed = BackBox(cursorX, 20, cursorX + 80, 40);
    EXPECT_NE(composed.bytes, plain.bytes);
    EXPECT_GT(composed.inked, plain.inked + 20);
    EXPECT_EQ(BackBox(10, 20, cursorX, 40).bytes, text.bytes);  // the text before it stays
    // Ended, it draws again as it was.
    Ime(plat::WM_IME_ENDCOMPOSITION, 0, 0);
    draw();
    EXPECT_EQ(BackBox(cursorX, 20, cursorX + 80, 40).bytes, plain.bytes);
    EXPECT_EQ(tessra::DrawKeyInput(10, 20, 0x50000000 | 19, font), -1);
    tessra::ReleaseFontHandle(font);
}

}  // namespace
}  // namespace input_test
