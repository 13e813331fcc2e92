// The layer's own message box apart from the window system: its picture on the installed
// Japanese face (text, lines, size, buttons, the focused button's mark) and the answers keys,
// clicks and closing give for each button set.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/win/message_box.h"
#include "platform/win/message_box_view.h"

namespace plat::detail {
namespace {

class MessageBoxViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Reset();
        face = OpenMessageBoxFace();
        ASSERT_NE(face, nullptr);
    }

    BoxLayout Lay(const std::string& text, UINT buttons = MB_YESNO,
                  const std::string& caption = "ヴェルモラ") {
        return LayOutMessageBox(*face, text, caption, ButtonsOf(buttons));
    }

    std::unique_ptr<GlyphFace> face;
};

uint32_t At(const BoxImage& image, int x, int y) {
    return image.pixels[static_cast<size_t>(y) * image.width + x];
}

bool Dark(uint32_t pixel) {
    return ((pixel >> 16) & 0xFF) < 0x80 && ((pixel >> 8) & 0xFF) < 0x80 && (pixel & 0xFF) < 0x80;
}

int InkIn(const BoxImage& image, const BoxRect& r) {
    int ink = 0;
    for (int y = r.y; y < r.y + r.height; ++y) {
        for (int x = r.x; x < r.x + r.width; ++x) ink += Dark(At(image, x, y)) ? 1 : 0;
    }
    return ink;
}

TEST_F(MessageBoxViewTest, TheGamesQuestionsDrawEveryCharacterInTheTextAreaAndNothingBesideIt) {
    struct Case {
        const char* text;
        const char* caption;
        UINT buttons;
        std::vector<std::u32string> lines;
    };
    const Case cases[] = {
        {"フルスクリーンで起動しますか？",
         "ヴェルモラ",
         MB_YESNO,
         {U"フルスクリーンで起動しますか？"}},
        {"垂直同期をとりますか？", "ヴェルモラ", MB_YESNO, {U"垂直同期をとりますか？"}},
        {"コンフィグが見つかりません\n初期化しますか？",
         "ヴェルモラ",
         MB_YESNOCANCEL,
         {U"コンフィグが見つかりません", U"初期化しますか？"}},
        {"2026年12月 1日のデータが見つかりました\nロールバックしますか？",
         "ヴェルモラ",
         MB_YESNO,
         {U"2026年12月 1日のデータが見つかりました", U"ロールバックしますか？"}},
        {"Error:0003", "エラーが発生したのでアプリケーションを終了します", MB_OK, {U"Error:0003"}},
        {"一行目\r\n\n三行目", "c", MB_OKCANCEL, {U"一行目", U"", U"三行目"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const BoxLayout layout = Lay(c.text, c.buttons, c.caption);
        EXPECT_EQ(layout.missingCharacters, 0);
        ASSERT_EQ(layout.lines.size(), c.lines.size());
        for (size_t i = 0; i < c.lines.size(); ++i) {
            EXPECT_EQ(layout.lines[i].characters, c.lines[i]) << i;
            if (i > 0) {
                EXPECT_GT(layout.lines[i].baseline, layout.lines[i - 1].baseline);
            }
        }
        const BoxImage image = DrawMessageBox(*face, layout, BoxState{});
        ASSERT_EQ(image.width, layout.width);
        ASSERT_EQ(image.height, layout.height);
        ASSERT_EQ(image.pixels.size(), static_cast<size_t>(image.width) * image.height);
        const BoxRect& area = layout.textArea;
        ASSERT_GE(area.x, 0);
        ASSERT_LE(area.x + area.width, image.width);
        ASSERT_LE(area.y + area.height, image.height);
        // Each line puts ink in its own band of the text area.
        const int band = area.height / static_cast<int>(c.lines.size());
        for (size_t i = 0; i < c.lines.size(); ++i) {
            const int ink = InkIn(
                image, BoxRect{area.x, area.y + band * static_cast<int>(i), area.width, band});
            if (c.lines[i].empty()) {
                EXPECT_EQ(ink, 0) << i;
            } else {
                EXPECT_GT(ink, 10 * static_cast<int>(c.lines[i].size())) << i;
            }
        }
        // The panel above the buttons holds no ink outside the text area.
        const int panelBottom = layout.buttonRects.front().y;
        for (int y = 0; y < panelBottom; ++y) {
            for (int x = 0; x < image.width; ++x) {
                if (area.Contains(x, y)) continue;
                ASSERT_FALSE(Dark(At(image, x, y))) << x << "," << y;
            }
        }
    }
}

TEST_F(MessageBoxViewTest, CharactersTheFaceLacksAreCountedSoTheBoxIsNotShownWithGaps) {
    EXPECT_EQ(Lay("漢字とかなとABC、。！？").missingCharacters, 0);
    EXPECT_EQ(Lay("a\U0010FFFDb\U0010FFFE").missingCharacters, 2);
}

TEST_F(MessageBoxViewTest, TheBoxGrowsWithItsTextAndWrapsLinesTooLong) {
    const std::string kana = "あいうえおかきくけこ";  // 10 characters
    const BoxLayout one = Lay(kana);
    const BoxLayout two = Lay(kana + "\n" + kana);
    const BoxLayout wider = Lay(kana + kana + kana);
    std::string long_;
    for (int i = 0; i < 12; ++i) long_ += kana;
    const BoxLayout wrapped = Lay(long_);
    std::string words;
    for (int i = 0; i < 30; ++i) words += (i > 0 ? " word" : "word") + std::to_string(i);
    const BoxLayout wordWrapped = Lay(words);

    EXPECT_GT(two.height, one.height);
    EXPECT_EQ(two.width, one.width);
    EXPECT_GT(wider.width, one.width);
    EXPECT_EQ(wider.height, one.height);
    for (const BoxLayout* layout : {&wrapped, &wordWrapped}) {
        EXPECT_GT(layout->lines.size(), 1u);
        EXPECT_LT(layout->width, 800);
        EXPECT_GE(layout->width, wider.width);
        EXPECT_LE(layout->textArea.x + layout->textArea.width, layout->width);
    }
    // Nothing is lost in the wrapping: the characters, and the words whole at line ends.
    std::u32string joined;
    for (const BoxLine& line : wrapped.lines) joined += line.characters;
    EXPECT_EQ(joined.size(), 120u);
    for (const BoxLine& line : wordWrapped.lines) {
        EXPECT_NE(line.characters.front(), U' ');
        EXPECT_NE(line.characters.back(), U' ');
        EXPECT_EQ(line.characters.substr(0, 4), U"word");
    }
    // A long caption widens the box so the title bar can show it.
    EXPECT_GT(Lay("Error:0003", MB_OK, "エラーが発生したのでアプリケーションを終了します").width,
              Lay("Error:0003", MB_OK, "e").width);
}

TEST_F(MessageBoxViewTest, ButtonsSitInOrderApartBelowTheTextEachWithItsLabel) {
    struct Case {
        UINT set;
        std::vector<int> ids;
    };
    const Case cases[] = {{MB_OK, {IDOK}},
                          {MB_OKCANCEL, {IDOK, IDCANCEL}},
                          {MB_YESNO, {IDYES, IDNO}},
                          {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set);
        const BoxLayout layout = Lay("コンフィグが見つかりません\n初期化しますか？", c.set);
        ASSERT_EQ(layout.buttons.buttons.size(), c.ids.size());
        ASSERT_EQ(layout.buttonRects.size(), c.ids.size());
        const BoxImage image = DrawMessageBox(*face, layout, BoxState{});
        for (size_t i = 0; i < c.ids.size(); ++i) {
            EXPECT_EQ(layout.buttons.buttons[i].id, c.ids[i]);
            const BoxRect& r = layout.buttonRects[i];
            EXPECT_GE(r.x, 0);
            EXPECT_LE(r.x + r.width, layout.width);
            EXPECT_LE(r.y + r.height, layout.height);
            EXPECT_GE(r.y, layout.textArea.y + layout.textArea.height);
            EXPECT_EQ(r.y, layout.buttonRects[0].y);
            if (i > 0) {
                const BoxRect& before = layout.buttonRects[i - 1];
                EXPECT_GT(r.x, before.x + before.width);
            }
            // The label's ink lies inside the button, away from its outline.
            EXPECT_GT(InkIn(image, BoxRect{r.x + 3, r.y + 3, r.width - 6, r.height - 6}), 20);
        }
    }
}

TEST_F(MessageBoxViewTest, TheFocusedButtonAloneIsMarked) {
    const BoxLayout layout = Lay("垂直同期をとりますか？", MB_YESNOCANCEL);
    auto edge = [&](const BoxImage& image, size_t i) {
        const BoxRect& r = layout.buttonRects[i];
        return At(image, r.x + r.width / 2, r.y + 1);
    };
    const BoxImage first = DrawMessageBox(*face, layout, BoxState{});
    const uint32_t marked = edge(first, 0);
    const uint32_t plain = edge(first, 1);
    EXPECT_NE(marked, plain);
    for (int focus = 0; focus < 3; ++focus) {
        BoxState state;
        state.focus = focus;
        const BoxImage image = DrawMessageBox(*face, layout, state);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(edge(image, static_cast<size_t>(i)), i == focus ? marked : plain)
                << focus << " " << i;
        }
    }
}

TEST_F(MessageBoxViewTest, KeysClicksAndClosingAnswerForEachButtonSet) {
    constexpr int kOutside = -1;
    struct Step {
        BoxInput input;
        int button = kOutside;  // where a pointer event happens
    };
    struct Case {
        UINT set;
        std::vector<Step> steps;
        int answer;  // 0: the box stays open
        int focus;
    };
    using I = BoxInput;
    const Case cases[] = {
        {MB_YESNO, {{I::kPress}}, IDYES, 0},
        {MB_YESNO, {{I::kNext}, {I::kPress}}, IDNO, 1},
        {MB_YESNO, {{I::kNext}, {I::kNext}, {I::kPress}}, IDYES, 0},
        {MB_YESNOCANCEL, {{I::kPrevious}, {I::kPress}}, IDCANCEL, 2},
        {MB_YESNOCANCEL, {{I::kNext}, {I::kNext}, {I::kPrevious}, {I::kPress}}, IDNO, 1},
        {MB_OK, {{I::kNext}, {I::kPress}}, IDOK, 0},
        {MB_OK, {{I::kEscape}}, IDOK, 0},
        {MB_OKCANCEL, {{I::kEscape}}, IDCANCEL, 0},
        {MB_YESNO, {{I::kEscape}}, IDNO, 0},
        {MB_YESNOCANCEL, {{I::kNext}, {I::kEscape}}, IDCANCEL, 1},
        {MB_OK, {{I::kClose}}, IDOK, 0},
        {MB_OKCANCEL, {{I::kClose}}, IDCANCEL, 0},
        {MB_YESNO, {{I::kClose}}, IDNO, 0},
        {MB_YESNOCANCEL, {{I::kClose}}, IDCANCEL, 0},
        {MB_YESNOCANCEL, {{I::kPointerDown, 1}, {I::kPointerUp, 1}}, IDNO, 1},
        {MB_YESNOCANCEL,
         {{I::kPointerMove, 2}, {I::kPointerDown, 2}, {I::kPointerUp, 2}},
         IDCANCEL,
         2},
        // Let go away from the button: no answer, but the button pressed has the focus.
        {MB_OKCANCEL, {{I::kPointerDown, 1}, {I::kPointerUp}}, 0, 1},
        {MB_OKCANCEL, {{I::kPointerDown, 1}, {I::kPointerUp}, {I::kPress}}, IDCANCEL, 1},
        {MB_YESNO, {{I::kPointerDown, 0}, {I::kPointerMove, 1}, {I::kPointerUp, 1}}, 0, 0},
        {MB_YESNO, {{I::kPointerDown}, {I::kPointerUp}}, 0, 0},
        // The first answer stands.
        {MB_YESNO, {{I::kEscape}, {I::kPress}, {I::kPointerDown, 0}, {I::kPointerUp, 0}}, IDNO, 0},
    };
    for (const Case& c : cases) {
        const BoxLayout layout = Lay("フルスクリーンで起動しますか？", c.set);
        BoxState state;
        std::string trace = std::to_string(c.set) + ":";
        for (const Step& step : c.steps) {
            BoxEvent event{step.input, 0, 0};
            if (step.button != kOutside) {
                const BoxRect& r = layout.buttonRects[static_cast<size_t>(step.button)];
                event.x = r.x + r.width / 2;
                event.y = r.y + r.height / 2;
            }
            state = StepMessageBox(layout, state, event);
            trace += " " + std::to_string(static_cast<int>(step.input));
        }
        EXPECT_EQ(state.answer, c.answer) << trace;
        EXPECT_EQ(state.focus, c.focus) << trace;
    }
}

}  // namespace
}  // namespace plat::detail
