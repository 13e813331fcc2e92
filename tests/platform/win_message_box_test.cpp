// Message boxes without a display: the script, then the environment, never blocking.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/testing.h"
#include "platform/win/message_box.h"

namespace plat {
namespace {

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Reset();
        unsetenv("TESSRA_MSGBOX_ANSWER");
    }
};

TEST_F(MessageBoxTest, AnswersComeFromTheScriptInOrderThenTheDefaultYes) {
    testing::PushMessageBoxAnswer(IDNO);
    testing::PushMessageBoxAnswer(IDCANCEL);
    const char text[] = "\x83\x52\x83\x93\x83\x74\x83\x42\x83\x4F";  // コンフィグ
    EXPECT_EQ(MessageBoxA(nullptr, text, "cap", MB_YESNOCANCEL | MB_TOPMOST), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, text, "cap", MB_YESNOCANCEL | MB_TOPMOST), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, text, "cap", MB_YESNO), IDYES);
    auto shown = testing::ShownMessageBoxes();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, text);
    EXPECT_EQ(shown[0].caption, "cap");
    EXPECT_EQ(shown[0].type, MB_YESNOCANCEL | MB_TOPMOST);
    EXPECT_EQ(shown[2].answer, IDYES);
}

TEST_F(MessageBoxTest, AnswersFitTheButtonsOffered) {
    struct Case {
        int given;
        UINT buttons;
        int expected;
    };
    const Case cases[] = {
        {IDYES, MB_OK, IDOK},          {IDNO, MB_OK, IDOK},           {IDCANCEL, MB_YESNO, IDNO},
        {IDOK, MB_YESNO, IDYES},       {IDNO, MB_OKCANCEL, IDCANCEL}, {IDYES, MB_OKCANCEL, IDOK},
        {IDOK, MB_YESNOCANCEL, IDYES},
    };
    for (const Case& c : cases) {
        testing::PushMessageBoxAnswer(c.given);
        EXPECT_EQ(MessageBoxA(nullptr, "t", "c", c.buttons), c.expected)
            << c.given << " " << c.buttons;
    }
}

TEST_F(MessageBoxTest, EnvironmentNamesTheAnswerWhenNoScriptIsLeft) {
    struct Case {
        const char* word;
        UINT buttons;
        int expected;
    };
    const Case cases[] = {{"no", MB_YESNO, IDNO},
                          {"NO", MB_YESNOCANCEL, IDNO},
                          {"cancel", MB_YESNOCANCEL, IDCANCEL},
                          {"ok", MB_OK, IDOK},
                          {"nonsense", MB_YESNO, IDYES}};
    for (const Case& c : cases) {
        setenv("TESSRA_MSGBOX_ANSWER", c.word, 1);
        EXPECT_EQ(MessageBoxA(nullptr, "t", "c", c.buttons), c.expected) << c.word;
    }
    unsetenv("TESSRA_MSGBOX_ANSWER");
}

}  // namespace
}  // namespace plat
