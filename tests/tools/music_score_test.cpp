// The music's note notation: lengths, chords, ties, repeats, drum steps, and the mistakes it
// refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/databuild/music_score.h"

namespace {

using databuild::Instrument;
using databuild::ParsePart;
using databuild::ScoreEvent;

TEST(MusicScore, NotesLengthsChordsTiesAndRepeats) {
    std::vector<ScoreEvent> e;
    double length = 0;
    std::string error;
    ASSERT_TRUE(ParsePart("c4 e4:2 | r f#4 -:4 ( bb3+d4:1 )x2 g5!", false, Instrument::Lead, 0.5,
                          &e, &length, &error))
        << error;
    // c4 (4), e4 (2), rest (2), f#4 (2 + 4 tied), two chords of 1, g5 (1).
    EXPECT_EQ(length, 4 + 2 + 2 + 6 + 1 + 1 + 1);
    ASSERT_EQ(e.size(), 8u);
    EXPECT_EQ(e[0].midi, 60);
    EXPECT_EQ(e[0].length, 4);
    EXPECT_EQ(e[1].midi, 64);
    EXPECT_EQ(e[1].at, 4);
    EXPECT_EQ(e[2].midi, 66);
    EXPECT_EQ(e[2].at, 8);
    EXPECT_EQ(e[2].length, 6);
    EXPECT_EQ(e[3].midi, 58);
    EXPECT_EQ(e[4].midi, 62);
    EXPECT_EQ(e[4].at, e[3].at);
    EXPECT_EQ(e[5].at, 15);
    EXPECT_EQ(e[7].midi, 79);
    EXPECT_DOUBLE_EQ(e[7].velocity, 0.6);  // an accent
    EXPECT_DOUBLE_EQ(e[0].velocity, 0.5);
}

TEST(MusicScore, DrumStepsAreSixteenths) {
    std::vector<ScoreEvent> e;
    double length = 0;
    std::string error;
    ASSERT_TRUE(ParsePart("k.s.( h. )x2", true, Instrument::Kick, 1.0, &e, &length, &error))
        << error;
    EXPECT_EQ(length, 8);
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].instrument, Instrument::Kick);
    EXPECT_EQ(e[1].instrument, Instrument::Snare);
    EXPECT_EQ(e[1].at, 2);
    EXPECT_EQ(e[3].instrument, Instrument::HatClosed);
    EXPECT_EQ(e[3].at, 6);
}

TEST(MusicScore, MistakesAreRefusedWithAReason) {
    const struct {
        const char* text;
        bool drums;
        const char* says;
    } cases[] = {
        {"h4", false, "bad note"},         {"c", false, "bad note"},
        {"c4:0", false, "bad length"},     {"-:4", false, "no note before"},
        {"( c4 d4", false, "without ')'"}, {"c4 )x2", false, "without '('"},
        {"( c4 )x0", false, "bad repeat"}, {"k.q.", true, "unknown drum step"},
    };
    for (const auto& c : cases) {
        std::vector<ScoreEvent> e;
        double length = 0;
        std::string error;
        EXPECT_FALSE(ParsePart(c.text, c.drums, Instrument::Lead, 1.0, &e, &length, &error))
            << c.text;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.text << ": " << error;
    }
}

}  // namespace
