#include "engine/base/strings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>

namespace tessra {
namespace {

// "表" is 0x95 0x5C: its trail byte is the code of '\'.
constexpr char kHyo[] = "\x95\x5C";

TEST(FindStringCharTest, StepsOverDoubleByteCharacters) {
    struct Case {
        std::string text;
        char ch;
        int at;  // -1: not found
    };
    const Case cases[] = {
        {"dat\\x", '\\', 3},
        {std::string(kHyo) + "a\\b", '\\', 3},
        {std::string(kHyo), '\\', -1},
        {"\x83\x41"
         "A",
         'A', 2},  // trail byte 0x41 is not the 'A'
        {"", 'a', -1},
        {"abc", '\0', -1},
        // A lead byte before the terminator ends the text; nothing past it is read.
        {"a\x95", '\\', -1},
        {"\xB1\\", '\\', 1},  // half-width katakana are single bytes
    };
    for (const Case& c : cases) {
        // Copied to the heap with nothing after the terminator, so a read past it is caught.
        char* text = new char[c.text.size() + 1];
        std::memcpy(text, c.text.c_str(), c.text.size() + 1);
        const char* found = FindStringChar(static_cast<const char*>(text), c.ch);
        EXPECT_EQ(found == nullptr ? -1 : static_cast<int>(found - text), c.at) << c.text;
        delete[] text;
    }
}

TEST(StringsTest, UpperCaseLeavesDoubleByteCharacters) {
    // "ａ" style: lead 0x82 with trail bytes in a-z.
    char text[] =
        "ab\x82"
        "a"
        "\x82z"
        "c-\xB1yz";
    UpperCaseString(text);
    EXPECT_STREQ(text,
                 "AB\x82"
                 "a"
                 "\x82z"
                 "C-\xB1YZ");
    char endsWithLead[] = "x\x82";
    UpperCaseString(endsWithLead);
    EXPECT_STREQ(endsWithLead, "X\x82");
}

TEST(StringsTest, CompareStringsIsEqualityOnly) {
    EXPECT_EQ(CompareStrings("abc", "abd"), 1);
    EXPECT_EQ(CompareStrings("abd", "abc"), 1);
    EXPECT_EQ(CompareStrings("abc", "abc"), 0);
    EXPECT_EQ(CompareStrings("", ""), 0);
    EXPECT_EQ(CompareStrings("ab", "abc"), 1);
}

TEST(StringsTest, CopyAndAppend) {
    char buffer[16] = "zzz";
    CopyString(buffer, "");
    EXPECT_STREQ(buffer, "");
    CopyString(buffer, "ab");
    AppendString(buffer, "cd");
    EXPECT_STREQ(buffer, "abcd");
}

TEST(StringsTest, BoundedCopyNeverOverrunsOrSplitsACharacter) {
    struct Case {
        const char* src;
        size_t size;
        int result;
        const char* copied;
    };
    const Case cases[] = {
        {"abc", 4, 0, "abc"},
        {"abcd", 4, -1, "abc"},
        {"ab\x95\x5C", 4, -1, "ab"},  // the double-byte character would not fit whole
        {"ab\x95\x5C", 5, 0, "ab\x95\x5C"},
        {"", 1, 0, ""},
    };
    for (const Case& c : cases) {
        char buffer[8];
        std::memset(buffer, 'q', sizeof(buffer));
        EXPECT_EQ(CopyStringN(buffer, c.size, c.src), c.result) << c.src;
        EXPECT_STREQ(buffer, c.copied) << c.src;
        EXPECT_EQ(buffer[c.size], 'q') << c.src;
    }
    char buffer[6] = "ab";
    EXPECT_EQ(AppendStringN(buffer, sizeof(buffer), "cdef"), -1);
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(AppendStringN(buffer, sizeof(buffer), ""), 0);
    char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_EQ(AppendStringN(unterminated, sizeof(unterminated), "x"), -1);
}

TEST(StringsTest, ByteRoutines) {
    EXPECT_EQ(CompareBytesN("abc", "abd", 2), 0);
    EXPECT_EQ(CompareBytesN("abc", "abd", 3), 1);
    EXPECT_EQ(CompareBytesN("a", "b", 0), 0);
    EXPECT_EQ(CompareBytesN("a", "a", -1), 1);
    EXPECT_EQ(CompareBytes("a", "b", 0), 0);
    EXPECT_EQ(CompareBytes("ab", "ab", 2), 0);
    EXPECT_EQ(CompareBytes("ab", "ac", 2), 1);
    unsigned char fill[4] = {};
    FillBytes(fill, 0x1AB, 3);  // the byte value is taken modulo 256
    EXPECT_EQ(fill[0], 0xAB);
    EXPECT_EQ(fill[2], 0xAB);
    EXPECT_EQ(fill[3], 0);
}

TEST(StringsTest, MoveBytesHandlesOverlapBothWays) {
    char up[] = "0123456789";
    MoveBytes(up + 2, up, 6);
    EXPECT_STREQ(up, "0101234589");
    char down[] = "0123456789";
    MoveBytes(down, down + 2, 6);
    EXPECT_STREQ(down, "2345676789");
    char same[] = "abc";
    MoveBytes(same, same, 3);
    EXPECT_STREQ(same, "abc");
    char copy[4] = {};
    CopyBytes(copy, "xyz", 3);
    EXPECT_STREQ(copy, "xyz");
}

TEST(StringsTest, ParseInt) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"abc-12x", -12},
        {"x7y8", 7},
        {"-", 0},
        {"abc", -1},
        {"", -1},
        {"0", 0},
        {"--5", 0},
        {"2147483647", INT32_MAX},
        // Wraps in 32 bits rather than overflowing.
        {"4294967297", 1},
        {"-2147483648", INT32_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseInt(c.text), c.value) << c.text;
}

TEST(StringsTest, FormatIntInRadix) {
    struct Case {
        int32_t value;
        int radix;
        const char* text;
    };
    const Case cases[] = {
        {0, 10, "0"},
        {255, 16, "ff"},
        {-255, 16, "-ff"},
        {5, 2, "101"},
        {35, 36, "z"},
        {INT32_MAX, 10, "2147483647"},
        {INT32_MIN, 10, "-2147483648"},
        {INT32_MIN, 2, "-10000000000000000000000000000000"},
        {12, 1, ""},
        {12, 37, ""},
    };
    for (const Case& c : cases) {
        char buffer[40];
        EXPECT_STREQ(FormatIntInRadix(c.value, buffer, c.radix), c.text) << c.value;
    }
}

TEST(StringsTest, AbsoluteValues) {
    EXPECT_EQ(GetAbsInt(-5), 5);
    EXPECT_EQ(GetAbsInt(7), 7);
    EXPECT_EQ(GetAbsInt(INT32_MIN), INT32_MIN);  // stays itself, without overflow
    EXPECT_EQ(GetAbsFloat(-2.5f), 2.5f);
    EXPECT_EQ(GetSqrtFloat(16.0f), 4.0f);
}

TEST(StringsTest, TruncationTowardZeroAndOutOfRange) {
    struct Case {
        double value;
        int32_t result;
    };
    const Case cases[] = {
        {2.9, 2},
        {-2.9, -2},
        {-0.5, 0},
        {2147483520.0, 2147483520},  // the largest float below 2^31
        {-2147483648.0, INT32_MIN},
        {2147483648.0, INT32_MIN},  // out of range: 0x80000000
        {-2147483904.0, INT32_MIN},
        {1e30, INT32_MIN},
        {-1e30, INT32_MIN},
        {NAN, INT32_MIN},
        {INFINITY, INT32_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TruncFloatToInt(static_cast<float>(c.value)), c.result) << c.value;
        EXPECT_EQ(TruncDoubleToInt(c.value), c.result) << c.value;
    }
    EXPECT_EQ(TruncDoubleToInt(2147483647.9), INT32_MAX);
    EXPECT_EQ(TruncDoubleToInt(-2147483648.9), INT32_MIN);
    const double rect[4] = {1.7, -1.7, 1e12, 3.0};
    int32_t out[4];
    TruncRectToInt(rect, out);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], -1);
    EXPECT_EQ(out[2], INT32_MIN);
    EXPECT_EQ(out[3], 3);
}

TEST(StringsTest, SinCos) {
    float s = 0, c = 0;
    GetSinCos(0.0f, &s, &c);
    EXPECT_EQ(s, 0.0f);
    EXPECT_EQ(c, 1.0f);
    GetSinCos(static_cast<float>(M_PI / 6), &s, &c);
    EXPECT_NEAR(s, 0.5f, 1e-6f);
    EXPECT_NEAR(c, std::sqrt(3.0f) / 2, 1e-6f);
}

class ListTest : public ::testing::Test {
protected:
    void SetUp() override { InitLinkedList(&head_, &tail_); }

    std::string Walk() const {
        std::string out;
        for (const ListNode* n = head_.next; n != &tail_; n = n->next) {
            out += std::to_string(n->data);
            EXPECT_EQ(n->next->prev, n);
        }
        return out;
    }

    ListNode head_{}, tail_{};
    ListNode nodes_[4]{};
};

TEST_F(ListTest, EmptyList) {
    EXPECT_EQ(head_.prev, nullptr);
    EXPECT_EQ(head_.next, &tail_);
    EXPECT_EQ(tail_.prev, &head_);
    EXPECT_EQ(tail_.next, nullptr);
    EXPECT_EQ(head_.data, -1);
    EXPECT_EQ(Walk(), "");
}

TEST_F(ListTest, NewNodeBecomesFirst) {
    int owner = 0;
    for (int i = 0; i < 3; ++i) AppendListNode(&head_, &nodes_[i], i, &owner);
    EXPECT_EQ(Walk(), "210");
    EXPECT_EQ(nodes_[1].owner, &owner);
    UnlinkListNode(&nodes_[1]);
    EXPECT_EQ(Walk(), "20");
    // The unlinked node keeps its links, so a walk standing on it can go on.
    EXPECT_EQ(nodes_[1].next, &nodes_[0]);
}

TEST_F(ListTest, UnlinkingTwiceLeavesTheListWhole) {
    for (int i = 0; i < 3; ++i) AppendListNode(&head_, &nodes_[i], i, nullptr);
    UnlinkListNode(&nodes_[1]);
    // A node linked in where the old one stood must survive the second unlink.
    AppendListNode(&nodes_[2], &nodes_[3], 3, nullptr);
    EXPECT_EQ(Walk(), "230");
    UnlinkListNode(&nodes_[1]);
    EXPECT_EQ(Walk(), "230");
    UnlinkListNode(&head_);  // sentinels are never unlinked
    UnlinkListNode(&tail_);
    EXPECT_EQ(Walk(), "230");
}

}  // namespace
}  // namespace tessra

#include <cfenv>

namespace tessra {
namespace {

TEST(StringsTest, TruncationIgnoresTheRoundingMode) {
    const int saved = std::fegetround();
    for (int mode : {FE_DOWNWARD, FE_UPWARD, FE_TONEAREST}) {
        std::fesetround(mode);
        volatile float f = 2.7f;
        volatile double d = -2.7;
        EXPECT_EQ(TruncFloatToInt(f), 2) << mode;
        EXPECT_EQ(TruncDoubleToInt(d), -2) << mode;
    }
    std::fesetround(saved);
}

}  // namespace
}  // namespace tessra
