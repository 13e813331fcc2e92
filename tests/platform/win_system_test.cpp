// Code page, text conversion, system information and the screen saver.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/testing.h"
#include "platform/win/codepage.h"
#include "platform/win/system.h"

namespace plat {
namespace {

TEST(SystemTest, CodePageIs932AndKnownTextsConvertBothWays) {
    EXPECT_EQ(GetOEMCP(), 932u);
    struct Case {
        const char* utf8;
        const char* sjis;
    };
    const Case cases[] = {
        {"ｱ", "\xB1"},
        {"ヴェルモラ", "\x83\x94\x83\x46\x83\x8B\x83\x82\x83\x89"},
        {"Error:0057", "Error:0057"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToSjis(c.utf8), c.sjis) << c.utf8;
        EXPECT_EQ(SjisToUtf8(c.sjis), c.utf8) << c.utf8;
    }
}

TEST(SystemTest, KoreanTextConvertsToUtf8AndOtherCodePagesAreRefused) {
    struct Case {
        unsigned codePage;
        const char* text;
        const char* utf8;
        bool exact;
    };
    // clang-format off
    const Case cases[] = {
        {949, "\xB0\xA1\xB3\xAA", "가나", true},
        {949, "ok\xB0", "ok?", false},  // a lead byte cut off
        {932, "\x8A\xBF", "漢", true},
        {1252, "abc", "", false},
    };
    // clang-format on
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(TryCodePageToUtf8(c.codePage, c.text, &out), c.exact) << c.codePage;
        EXPECT_EQ(out, c.utf8) << c.codePage;
    }
    // A Korean system says so when a test asks for one.
    testing::SetOemCodePage(949);
    EXPECT_EQ(GetOEMCP(), 949u);
    testing::Reset();
    EXPECT_EQ(GetOEMCP(), 932u);
}

TEST(SystemTest, BrokenShiftJisBecomesAQuestionMarkAndTheRestSurvives) {
    // A lone lead byte at the end, and an invalid byte in the middle.
    EXPECT_EQ(SjisToUtf8("ab\x83"), "ab?");
    EXPECT_EQ(SjisToUtf8("a\xFF"
                         "b"),
              "a?b");
}

TEST(SystemTest, ACharacterWithNoCounterpartBecomesOneQuestionMark) {
    // Typed text goes out one character message per byte: a character that does not convert
    // must give one '?', not one per byte of its encoding.
    struct Case {
        std::string from;
        bool toSjis;
        std::string expected;
    };
    const Case cases[] = {
        {"😀x", true, "?x"},       // four UTF-8 bytes, no Shift-JIS counterpart
        {"a\xC3(", true, "a?("},  // a broken UTF-8 sequence is one byte
        {"\x85\x40"
         "a",
         false, "?a"},  // an unassigned double-byte code is one character
        {"\x81\x20"
         "a",
         false, "? a"},  // a lead byte without a valid trail is one byte
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.toSjis ? Utf8ToSjis(c.from) : SjisToUtf8(c.from), c.expected) << c.from;
        // The answering forms say that something was marked, and give the same text.
        std::string out;
        EXPECT_FALSE(c.toSjis ? TryUtf8ToSjis(c.from, &out) : TrySjisToUtf8(c.from, &out))
            << c.from;
        EXPECT_EQ(out, c.expected) << c.from;
    }
    std::string out = "stale";
    EXPECT_TRUE(TryUtf8ToSjis("表ｱ", &out));
    EXPECT_EQ(out, "\x95\x5C\xB1");
    std::string back;
    EXPECT_TRUE(TrySjisToUtf8(out, &back));
    EXPECT_EQ(back, "表ｱ");
}

TEST(SystemTest, OsVersionDescribesThisSystem) {
    OsVersion v;
    ASSERT_TRUE(GetOsVersion(&v));
    EXPECT_STREQ(v.name, "Linux");
    EXPECT_GT(std::strlen(v.description), std::strlen(v.name));
    EXPECT_FALSE(GetOsVersion(nullptr));
}

TEST(SystemTest, CpuInformationIsReadable) {
    CpuInfo info;
    GetCpuInfo(&info);
#if defined(__x86_64__)
    EXPECT_TRUE(info.hasCpuid);
    EXPECT_EQ(std::strlen(info.vendor), 12u);
    EXPECT_TRUE(info.hasMmx);
    EXPECT_TRUE(info.hasTsc);
#endif
    uint64_t a = ReadTimeStampCounter();
    uint64_t b = ReadTimeStampCounter();
    EXPECT_GE(b, a);
}

TEST(SystemTest, MemoryStatusReportsPhysicalMemory) {
    MEMORYSTATUS m;
    GlobalMemoryStatus(&m);
    EXPECT_EQ(m.dwLength, sizeof m);
    EXPECT_GT(m.dwTotalPhys, 0u);
    EXPECT_LE(m.dwAvailPhys, m.dwTotalPhys);
    EXPECT_LE(m.dwMemoryLoad, 100u);
}

TEST(SystemTest, ScreenSaverIsHeldOffForThisProcessOnlyWhenAsked) {
    EXPECT_FALSE(IsScreenSaverInhibited());
    EXPECT_TRUE(SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 0, nullptr, SPIF_SENDCHANGE));
    EXPECT_TRUE(IsScreenSaverInhibited());
    EXPECT_TRUE(SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, SPIF_SENDCHANGE));
    EXPECT_FALSE(IsScreenSaverInhibited());
}

TEST(SystemTest, ForegroundLockTimeoutIsKeptAndUnknownActionsFail) {
    DWORD old = 0;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &old, 0));
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, SPIF_SENDCHANGE);
    DWORD now = 1;
    SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &now, 0);
    EXPECT_EQ(now, 0u);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                          reinterpret_cast<void*>(static_cast<uintptr_t>(old)), 0);
    EXPECT_FALSE(SystemParametersInfoA(0x9999, 0, nullptr, 0));
}

TEST(SystemTest, ComStartsOncePerThread) {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

}  // namespace
}  // namespace plat
