#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/engine_standin.h"
#include "game/core/sprite_ids.h"
#include "game/core/sprite_layout.h"

namespace velmora {
namespace {

// Loads the sprites from the sheets the build made, so handles are real stand-in graphs.
class DrawListTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::Reset();
        standin::SetGraphRoot(GAME_RUN_DIR);
        std::string error;
        ASSERT_TRUE(LoadSprites(nullptr, nullptr, &error)) << error;
        ResetDrawList();
        standin::ClearDrawLog();
    }

    // The draw log of a flush, without the set-up lines before the first list's drawing.
    std::vector<std::string> Flush() {
        standin::ClearDrawLog();
        FlushDrawList();
        return standin::DrawLog();
    }

    static std::vector<std::string> Only(const std::vector<std::string>& log,
                                         const std::string& prefix) {
        std::vector<std::string> out;
        for (const auto& line : log)
            if (line.rfind(prefix, 0) == 0) out.push_back(line);
        return out;
    }

    static std::string Put(int x, int y, int32_t id) {
        return "PutGraph " + std::to_string(x) + " " + std::to_string(y) + " " +
               std::to_string(GetSpriteHandle(id)) + " 1";
    }
};

TEST_F(DrawListTest, DepthLessRecordsDrawNewestFirst) {
    QueueSprite(1, 0, 5, 600);
    QueueSprite(2, 0, 5, 601);
    EXPECT_EQ(Only(Flush(), "PutGraph "),
              (std::vector<std::string>{Put(2, 0, 601), Put(1, 0, 600)}));
}

TEST_F(DrawListTest, DepthSortedRecordsFollowInAscendingDepthNewestFirstAmongEquals) {
    QueueSpriteAtDepth(1, 0, 5, 600, 5);
    QueueSpriteAtDepth(2, 0, 5, 600, 3);
    QueueSpriteAtDepth(3, 0, 5, 600, 5);
    QueueSprite(4, 0, 5, 600);  // no depth: ahead of all of them
    std::vector<int> xs;
    for (const auto& line : Only(Flush(), "PutGraphRotated "))
        xs.push_back(std::atoi(line.c_str() + 16));
    EXPECT_EQ(xs, (std::vector<int>{2, 3, 1}));
    EXPECT_EQ(Only(standin::DrawLog(), "PutGraph ").size(), 1u);
    // Lower layers draw before higher ones whatever the queueing order.
    ResetDrawList();
    QueueSprite(9, 0, 7, 600);
    QueueSprite(8, 0, 6, 600);
    EXPECT_EQ(Only(Flush(), "PutGraph "),
              (std::vector<std::string>{Put(8, 0, 600), Put(9, 0, 600)}));
}

TEST_F(DrawListTest, BlendAndBrightnessFollowTheListAndTheColor) {
    const int a = QueueSprite(0, 0, 3, 600);
    SetRecordColor(a, 0xFFFFFF80u);  // even list: alpha at 128
    const int b = QueueSprite(0, 0, 4, 600 | kSpriteAdditiveBit);
    SetRecordColor(b, 0xFFFFFF80u);                  // odd list: additive at 128
    QueueSprite(0, 0, 5, 600 | kSpriteAdditiveBit);  // opaque on an odd list: additive at 255
    const int d = QueueSprite(0, 0, 6, 600);         // opaque on an even list: back to none
    SetRecordColor(d, 0x4080C0FFu);
    QueueSprite(0, 0, 7, 600);  // white again
    const auto log = Flush();
    std::vector<std::string> state;
    for (const auto& line : log)
        if (line.rfind("SetBlendMode", 0) == 0 || line.rfind("SetDrawBrightness", 0) == 0 ||
            line.rfind("PutGraph", 0) == 0)
            state.push_back(line);
    const std::vector<std::string> want = {"SetBlendMode 0 255",
                                           "SetDrawBrightness 255 255 255",  // the flush's start
                                           "SetBlendMode 1 128",
                                           Put(0, 0, 600),
                                           "SetBlendMode 2 128",
                                           Put(0, 0, 600),
                                           "SetBlendMode 2 255",
                                           Put(0, 0, 600),
                                           "SetBlendMode 0 255",
                                           "SetDrawBrightness 255 255 255",
                                           "SetDrawBrightness 64 128 192",
                                           Put(0, 0, 600),
                                           "SetDrawBrightness 255 255 255",
                                           Put(0, 0, 600)};
    EXPECT_EQ(state, want);
}

TEST_F(DrawListTest, RepeatedBlendIsSentOnce) {
    for (int i = 0; i < 3; ++i) SetRecordColor(QueueSprite(i, 0, 3, 600), 0xFFFFFF40u);
    const auto log = Flush();
    EXPECT_EQ(Only(log, "SetBlendMode 1 64").size(), 1u);
    EXPECT_EQ(Only(log, "PutGraph ").size(), 3u);
}

TEST_F(DrawListTest, EachLayerDrawsUnderItsOwnClipAndLayerZeroSetsAll) {
    SetLayerClipRect(3, -5, 10, 700, 300);  // clamped to the 640 x 480 screen
    QueueSprite(0, 0, 3, 600);
    auto log = Flush();
    auto clips = Only(log, "SetDrawClipRect");
    ASSERT_EQ(clips.size(), 32u);
    EXPECT_EQ(clips[3], "SetDrawClipRect 0 10 640 300");
    EXPECT_EQ(clips[2], "SetDrawClipRect 0 0 640 480");
    SetLayerClipRect(0, 20, 30, 10, 40);  // left beyond right: pulled back to it
    for (int layer : {0, 1, 17, 31}) {
        int l, t, r, b;
        GetLayerClipRect(layer, &l, &t, &r, &b);
        EXPECT_EQ((std::vector<int>{l, t, r, b}), (std::vector<int>{10, 30, 10, 40})) << layer;
    }
    ResetClipRects();
    int l, t, r, b;
    GetLayerClipRect(9, &l, &t, &r, &b);
    EXPECT_EQ((std::vector<int>{l, t, r, b}), (std::vector<int>{0, 0, 640, 480}));
}

TEST_F(DrawListTest, LayerFortyIsAcceptedAndNeverDrawnAndSpriteZeroIsSkipped) {
    EXPECT_GE(QueueSprite(0, 0, 40, 600), 0);
    EXPECT_GE(QueueSprite(0, 0, 3, 0), 0);
    EXPECT_TRUE(Only(Flush(), "PutGraph").empty());
}

TEST_F(DrawListTest, RecordKindsDrawTheirEngineCalls) {
    QueueRectangle(1, 2, 3, 4, 1, false);
    QueueLine(5, 6, 7, 8, 1);
    const int r = QueueRotatedSprite(50, 60, 2, 600 | kSpriteMirrorBit, 2000, 54000);
    QueueRectangle(9, 10, 11, 12, 3, true);
    QueueSprite(13, 14, 4, 601 | kSpriteMirrorBit);
    ASSERT_GE(r, 0);
    const auto log = Flush();
    const std::string white = std::to_string(MakeColor(255, 255, 255));
    std::vector<std::string> draws;
    for (const auto& line : log)
        if (line.rfind("Set", 0) != 0) draws.push_back(line);
    char rotated[128];
    std::snprintf(rotated, sizeof(rotated), "PutGraphRotated 50 60 2.000 1.5708 %d 1 1",
                  GetSpriteHandle(600));
    EXPECT_EQ(
        draws,
        (std::vector<std::string>{
            "DrawLineSegment 5 6 7 8 " + white, "DrawRectangle 1 2 3 4 " + white + " 0", rotated,
            "PutGraphStretched 9 10 11 12 " + std::to_string(GetSpriteHandle(2)) + " 1",
            "PutGraphMirrored 13 14 " + std::to_string(GetSpriteHandle(601)) + " 1"}));
}

TEST_F(DrawListTest, AllRecordsTakenGivesMinusOneAndEditorsIgnoreIt) {
    int last = 0;
    for (int i = 0; i < kDrawRecords - kDrawListHeads; ++i) last = QueueSprite(0, 0, 1, 600);
    EXPECT_EQ(last, kDrawRecords - 1);
    EXPECT_EQ(QueueSprite(0, 0, 1, 600), -1);
    EXPECT_EQ(QueueNumber(0, 0, 1, 5, 2, false), -1);
    SetRecordColor(-1, 0);
    SetRecordNumber(-1, 1, 1, false);
    ResetDrawList();
    EXPECT_EQ(QueueSprite(0, 0, 1, 600), kDrawListHeads);
}

TEST_F(DrawListTest, TextIdsAndMessageLinesOutsideTheirRangesAreRefused) {
    for (int id : {-1, INT_MIN, 440, 100000}) {
        EXPECT_EQ(QueueSpriteText(0, 0, 1, id), -1) << id;
        EXPECT_EQ(QueueFontText(0, 0, 1, id), -1) << id;
    }
    for (int line : {-1, 32}) EXPECT_EQ(QueueMessageLine(0, 0, 1, line), -1) << line;
    EXPECT_GE(QueueMessageLine(0, 0, 1, 31), 0);
    // Ids without a text draw nothing at all.
    EXPECT_GE(QueueSpriteText(0, 0, 1, 439), 0);
    EXPECT_GE(QueueFontText(0, 0, 1, 304), 0);
    const auto log = Flush();
    EXPECT_TRUE(Only(log, "PutGraph").empty());
    EXPECT_EQ(
        Only(log, "DrawTextAt"),
        (std::vector<std::string>{"DrawTextAt 0 0  " + std::to_string(MakeColor(255, 255, 255)) +
                                  " " + std::to_string(MakeColor(0, 0, 0))}));
}

TEST_F(DrawListTest, SpriteFontAdvancesBySpaceNarrowIKanaAndVoicingMarks) {
    const char text[] = {'A', ' ', 'I', 'B', static_cast<char>(0xB6), static_cast<char>(0xDE),
                         'C', 0};
    PutSpriteString(100, 50, text);
    EXPECT_EQ(Only(standin::DrawLog(), "PutGraph"),
              (std::vector<std::string>{Put(100, 50, 480 + 'A'), Put(117, 50, 480 + 'I'),
                                        Put(122, 50, 480 + 'B'), Put(133, 50, 480 + 0xB6),
                                        Put(144, 48, 480 + 0xDE), Put(149, 50, 480 + 'C')}));
}

TEST_F(DrawListTest, TextTableGivesShiftJisBytes) {
    EXPECT_STREQ(GetText(2), "YES");
    EXPECT_STREQ(GetText(3), "NON");
    EXPECT_STREQ(GetText(11), "");
    EXPECT_STREQ(GetText(304), "");
    EXPECT_STREQ(GetText(-3), "");
    EXPECT_STREQ(GetText(164), "\xC0\xB2\xC4\xD9\xC6\xD3\xC4\xDE\xD9");  // half-width kana
    EXPECT_STREQ(GetText(208), "\x81\xF4\x96\xB2\x96\x5D\x8B\xBD");      // a note and kanji
    EXPECT_STREQ(GetText(263), "FAT LEAF");
}

struct NumberCase {
    int32_t value;
    int digits;
    bool zeroPad;
    std::vector<std::pair<int, int32_t>> drawn;  // x, sprite
};

TEST_F(DrawListTest, NumbersDrawRightToLeftWithMinusAndPadding) {
    const std::vector<NumberCase> cases = {
        {407, 5, false, {{44, 535}, {33, 528}, {22, 532}}},
        {407, 5, true, {{44, 535}, {33, 528}, {22, 532}, {11, 528}, {0, 528}}},
        {0, 3, false, {{22, 528}}},
        {-35, 4, false, {{33, 533}, {22, 531}, {11, 525}}},
        {12345, 3, false, {{22, 533}, {11, 532}, {0, 531}}},
        {INT_MIN,
         10,
         false,
         {{99, 536},
          {88, 532},
          {77, 534},
          {66, 531},
          {55, 536},
          {44, 532},
          {33, 535},
          {22, 532},
          {11, 529},
          {0, 530},
          {-11, 525}}},
    };
    for (const auto& c : cases) {
        standin::ClearDrawLog();
        PutNumber(0, 7, c.value, c.digits, 528, 11, c.zeroPad);
        std::vector<std::string> want;
        for (auto [x, s] : c.drawn) want.push_back(Put(x, 7, s));
        EXPECT_EQ(Only(standin::DrawLog(), "PutGraph"), want) << c.value;
    }
    standin::ClearDrawLog();
    PutHexNumber(0, 0, -1, 2, 528, 11, false);  // as unsigned: ...FF
    PutHexNumber(0, 20, 0xA0, 3, 528, 11, true);
    EXPECT_EQ(Only(standin::DrawLog(), "PutGraph"),
              (std::vector<std::string>{Put(11, 0, 550), Put(0, 0, 550), Put(22, 20, 528),
                                        Put(11, 20, 545), Put(0, 20, 528)}));
}

TEST_F(DrawListTest, QueuedNumberOfTheMostNegativeValueKeepsItsMagnitude) {
    const int r = QueueNumber(0, 0, 1, INT_MIN, 10, false);
    ASSERT_GE(r, 0);
    EXPECT_EQ(GetDrawRecord(r).w[kDrawKind], 34);
    EXPECT_EQ(static_cast<uint32_t>(GetDrawRecord(r).w[kDrawValue]), 2147483648u);
    const int h = QueueNumber(0, 20, 1, -26, 2, false);
    SetRecordHexNumber(h, -26, 2, false);  // magnitude 26 = 0x1A
    const auto puts = Only(Flush(), "PutGraph");
    ASSERT_EQ(puts.size(), 12u);  // 1A (the newer record first), then ten digits, no minus
    EXPECT_EQ(puts[0], Put(11, 20, 545));
    EXPECT_EQ(puts[1], Put(0, 20, 529));
    EXPECT_EQ(puts[2], Put(99, 0, 536));
    EXPECT_EQ(puts[11], Put(0, 0, 530));
}

TEST_F(DrawListTest, FrameRateMeterTintsAndRoundsUpBelowTheTarget) {
    struct Case {
        int frameControl, rate;
        std::string tint;
        int shown;
    };
    for (const Case& c : std::vector<Case>{{0, 5900, "255 255 127", 60},
                                           {0, 6000, "255 255 127", 60},
                                           {0, 6150, "255 63 63", 61},
                                           {1, 3100, "255 63 63", 31},
                                           {9, 1400, "255 255 127", 15},
                                           {0, 50, "255 255 127", 0}}) {
        SetConfigVar(18, c.frameControl);
        standin::ClearDrawLog();
        DrawFrameRateMeter(c.rate);
        const auto& log = standin::DrawLog();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.front(), "SetDrawBrightness " + c.tint) << c.rate;
        EXPECT_EQ(log.back(), "SetDrawBrightness 255 255 255");
        EXPECT_EQ(log[log.size() - 2], Put(640 - 24, 480 - 15, 1));
        std::vector<std::string> digits(log.begin() + 1, log.end() - 2);
        std::vector<std::string> want;
        int v = c.shown, x = 640 - 55 + 22;
        do {
            want.push_back(Put(x, 480 - 14, 528 + v % 10));
            v /= 10;
            x -= 11;
        } while (v > 0);
        EXPECT_EQ(digits, want) << c.rate;
    }
    SetConfigVar(18, 0);
}

TEST_F(DrawListTest, AnimationStepsByPeriodAndKeepsTheFlags) {
    // A four-frame loop of the animated grid: the fourth frame leads back to the first.
    const int32_t word = (sprite::kAnimated + 3) | kSpriteAdditiveBit;
    EXPECT_EQ(AnimateSprite(word, 8), sprite::kAnimated | kSpriteAdditiveBit);
    EXPECT_EQ(AnimateSprite(word, 7), word);
    EXPECT_EQ(AnimateSprite(word, 0), word);
    EXPECT_EQ(AnimateSprite(600, 0x1fffffff), 600);  // its own next
    EXPECT_EQ(AnimateSprite(sprite::kSplash, 4), sprite::kSplash + 1);
    EXPECT_EQ(AnimateSprite(sprite::kSplash + 3, 4), sprite::kSplash);
}

TEST_F(DrawListTest, SpriteIdsBeyondTheTableAreNotDrawn) {
    EXPECT_EQ(GetSpriteHandle(8192), -1);
    EXPECT_EQ(GetSpriteHandle(-1), -1);
    EXPECT_EQ(AnimateSprite(0x00ffffff, 4), 0x00ffffff);
    QueueSprite(0, 0, 1, 9000);
    QueueRotatedSprite(0, 0, 1, 0xffffff, 1000, 0);
    SetRecordStretch(QueueSprite(0, 0, 1, 8500), 10, 10);
    EXPECT_TRUE(Only(Flush(), "PutGraph").empty());
    int w = 1, h = 1;
    EXPECT_FALSE(GetSpriteExtent(12000, &w, &h));
    EXPECT_EQ(w, 0);
    standin::ClearDrawLog();
    PutSprite(0, 0, 8192);
    EXPECT_TRUE(standin::DrawLog().empty());
}

TEST_F(DrawListTest, ColorArithmeticClampsEachChannel) {
    EXPECT_EQ(AddToColor(0x000000FFu, 128, 192, 255), 0x80C0FFFFu);
    EXPECT_EQ(AddToColor(0xF0103080u, 100, -100, 1), 0xFF003180u);
}

TEST_F(DrawListTest, CaptureCopiesTheFrontScreenIntoTheLastSprite) {
    standin::ClearDrawLog();
    CaptureScreenCopy();
    EXPECT_EQ(standin::DrawLog(),
              (std::vector<std::string>{
                  "SetRenderTarget -4",
                  "CopyScreenToGraph 0 0 640 480 " + std::to_string(GetSpriteHandle(8191)) + " 0",
                  "SetRenderTarget -2"}));
}

}  // namespace
}  // namespace velmora
