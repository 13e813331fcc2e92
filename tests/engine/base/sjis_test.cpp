#include "engine/base/sjis.h"

#include <gtest/gtest.h>

#include <string>

namespace tessra {
namespace {

using namespace sjis_literals;

TEST(SjisTest, KnownStrings) {
    struct Case {
        const char* utf8;
        std::string sjis;
    };
    const Case cases[] = {
        {"NOW LOADING", "NOW LOADING"},
        {"", ""},
        {"ヴェルモラ", "\x83\x94\x83\x46\x83\x8B\x83\x82\x83\x89"},
        {"エラー", "\x83\x47\x83\x89\x81\x5B"},
        // A trail byte of 0x5C, and half-width katakana as single bytes.
        {"表ｱ\\", "\x95\x5C\xB1\\"},
        {"以下", "\x88\xC8\x89\xBA"},
    };
    for (const Case& c : cases) {
        std::string out;
        ASSERT_TRUE(plat::TryUtf8ToSjis(c.utf8, &out)) << c.utf8;
        EXPECT_EQ(out, c.sjis) << c.utf8;
        EXPECT_EQ(std::string(SjisText(c.utf8)), c.sjis) << c.utf8;
    }
}

TEST(SjisTest, LiteralIsConvertedOnceAndKept) {
    const char* a = "ヴェルモラ"_sjis;
    const char* b = "ヴェルモラ"_sjis;
    EXPECT_EQ(a, b);
    EXPECT_STREQ(a, "\x83\x94\x83\x46\x83\x8B\x83\x82\x83\x89");
}

TEST(SjisTest, TextWithoutShiftJisFormIsRefused) {
    std::string out;
    EXPECT_FALSE(plat::TryUtf8ToSjis("\xF0\x9F\x98\x80", &out));  // an emoji
    EXPECT_FALSE(plat::TryUtf8ToSjis("\xC3", &out));              // cut UTF-8
}

TEST(SjisDeathTest, LiteralWithoutShiftJisFormStopsWithItsText) {
    EXPECT_DEATH(SjisText("\xF0\x9F\x98\x80"), "no Shift-JIS form");
}

}  // namespace
}  // namespace tessra
