#include "game/play/stage_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace velmora {
namespace {

uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t index) {
    uint32_t w = 0;
    std::memcpy(&w, bytes.data() + index * 4, 4);  // the test machine is little-endian
    return w;
}

// A stage with two areas in use, distinct values in every stored word, and words behind the
// stored part that a file must not carry.
std::vector<int32_t> MakeStage() {
    std::vector<int32_t> r(kStageRecordWords, 0);
    r[0] = static_cast<int32_t>(kStageMagic);
    r[1] = static_cast<int32_t>(kStageMapTag);
    r[2] = kStageVersion;
    r[27] = 18;
    r[30] = 777;  // the record's own words 30 and 31 are not what the file stores
    r[31] = 888;
    const int sizes[2][2] = {{21, 16}, {30, 20}};
    for (int a = 0; a < 2; ++a) {
        const int base = AreaBase(a);
        r[3 + a] = base;
        r[base] = sizes[a][0];
        r[base + 1] = sizes[a][1];
        for (int i = 2; i < kAreaHeaderWords + sizes[a][0] * sizes[a][1]; ++i)
            r[base + i] = static_cast<int32_t>(0x1000 * (a + 1) + i * 7);
        r[base + kAreaWords - 1] = 0x5555;  // behind the cells
    }
    return r;
}

TEST(StageFile, LayoutAndSizes) {
    EXPECT_EQ(kStageRecordWords, 49568);
    EXPECT_EQ(kPlainStageFileBytes, 198272u);
    EXPECT_EQ(AreaBase(0), 32);
    EXPECT_EQ(AreaBase(11), 11 * 4128 + 32);
    EXPECT_EQ(StageDateSeed(2026, 12, 10), 261210);
    EXPECT_EQ(StageDateSeed(1999, 1, 2), 990102);
}

TEST(StageFile, EncodeWritesPlainHeaderScrambledAreasAndTerminators) {
    const std::vector<int32_t> r = MakeStage();
    std::vector<uint8_t> file;
    ASSERT_TRUE(EncodeStageFile(r.data(), 261210, &file));
    const size_t expected =
        128 + (4 * (21 * 16 + 32) + 4) + (4 * (30 * 20 + 32) + 4) + 10 * (4 * 32 + 4);
    ASSERT_EQ(file.size(), expected);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(WordAt(file, i), static_cast<uint32_t>(r[i])) << i;
    EXPECT_EQ(WordAt(file, 30), 261210u);
    EXPECT_EQ(WordAt(file, 31), expected);
    EXPECT_EQ(r[30], 777);  // the record keeps its own words
    // Terminators: after area 0's stored words, after area 1's, then one per unused area.
    size_t at = 32 + 21 * 16 + 32;
    EXPECT_EQ(WordAt(file, at), kStageAreaTerminator);
    at += 1 + 30 * 20 + 32;
    EXPECT_EQ(WordAt(file, at), kStageAreaTerminator);
    for (int a = 2; a < 12; ++a) {
        at += 1 + 32;
        EXPECT_EQ(WordAt(file, at), kStageAreaTerminator) << a;
    }
    EXPECT_EQ((at + 1) * 4, file.size());
    // The first area word is scrambled by the first key word of the seed's stream.
    uint32_t state = 261210;
    auto next = [&] {
        state = state * 1103515245u + 13245u;
        return state & 0xffffu;
    };
    const uint32_t first = next();
    const uint32_t key = ((first & 0x7fff) << 16) | next();
    EXPECT_EQ(WordAt(file, 32), static_cast<uint32_t>(21) ^ key);
}

TEST(StageFile, RoundTripKeepsStoredWordsAndZeroesTheRest) {
    const std::vector<int32_t> r = MakeStage();
    std::vector<uint8_t> file;
    ASSERT_TRUE(EncodeStageFile(r.data(), 50505, &file));
    std::vector<int32_t> back(kStageRecordWords, -3);
    ASSERT_EQ(ReadStageFile(file.data(), file.size(), back.data()), StageFileCheck::Ok);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(back[i], r[i]) << i;
    EXPECT_EQ(back[30], 50505);
    EXPECT_EQ(back[31], static_cast<int32_t>(file.size()));
    for (int a = 0; a < 12; ++a) {
        const int base = AreaBase(a);
        const int stored = StageAreaStoredWords(r.data(), a);
        for (int i = 0; i < stored; ++i) ASSERT_EQ(back[base + i], r[base + i]) << a << " " << i;
        EXPECT_EQ(back[base + kAreaWords - 1], 0) << a;  // not in the file: zero
    }
}

TEST(StageFile, FullStageIsExactlyThePlainSize) {
    std::vector<int32_t> r(kStageRecordWords, 0);
    for (int a = 0; a < 12; ++a) {
        r[AreaBase(a)] = 63;
        r[AreaBase(a) + 1] = 65;  // 4095 cells
    }
    std::vector<uint8_t> file;
    EncodeStageFile(r.data(), 1, &file);
    EXPECT_EQ(file.size(), kPlainStageFileBytes);
}

TEST(StageFile, OutOfRangeSizesStayInsideTheArea) {
    std::vector<int32_t> r(kStageRecordWords, 0);
    r[AreaBase(0)] = 255;
    r[AreaBase(0) + 1] = 255;
    r[AreaBase(1)] = -4;
    r[AreaBase(1) + 1] = 20;
    EXPECT_EQ(StageAreaStoredWords(r.data(), 0), kAreaWords);
    EXPECT_EQ(StageAreaStoredWords(r.data(), 1), kAreaHeaderWords);
}

TEST(StageFile, ReaderAnswersEachShapeOfFile) {
    const std::vector<int32_t> r = MakeStage();
    std::vector<uint8_t> file;
    ASSERT_TRUE(EncodeStageFile(r.data(), 4242, &file));
    std::vector<uint8_t> longer = file;
    longer.insert(longer.end(), {0, 0, 0, 0});
    std::vector<uint8_t> cut = file;
    const size_t firstTerminator = (32 + 21 * 16 + 32) * 4;
    cut[firstTerminator] ^= 1;
    struct Case {
        const std::vector<uint8_t>* data;
        size_t size;
        StageFileCheck want;
    } cases[] = {
        {&file, 0, StageFileCheck::Short},
        {&file, 3, StageFileCheck::Trailing},
        {&file, 100, StageFileCheck::Short},
        {&file, 128 + 40, StageFileCheck::Short},
        {&file, file.size() - 4, StageFileCheck::Short},     // the last terminator missing
        {&file, file.size() - 2, StageFileCheck::Trailing},  // a torn last word
        {&longer, longer.size(), StageFileCheck::Trailing},
        {&cut, cut.size(), StageFileCheck::MissingTerminator},
        {&file, file.size(), StageFileCheck::Ok},
    };
    for (const Case& c : cases) {
        std::vector<int32_t> back(kStageRecordWords, 9);
        EXPECT_EQ(ReadStageFile(c.data->data(), c.size, back.data()), c.want) << c.size;
    }
}

TEST(StageFile, GarbageAfterTheHeaderIsABadArea) {
    // 5000 words of filler: area 0's size words unscramble to nothing an area can hold.
    std::vector<uint8_t> file(128 + 5000 * 4, 0x11);
    std::vector<int32_t> back(kStageRecordWords, 0);
    EXPECT_EQ(ReadStageFile(file.data(), file.size(), back.data()), StageFileCheck::BadArea);
}

TEST(StageFile, StoredWordEqualToTheTerminatorIsReported) {
    // Find the first key word of seed 1 and make area 0's first word scramble to the terminator.
    uint32_t state = 1;
    auto next = [&] {
        state = state * 1103515245u + 13245u;
        return state & 0xffffu;
    };
    const uint32_t first = next();
    const uint32_t key = ((first & 0x7fff) << 16) | next();
    std::vector<int32_t> r(kStageRecordWords, 0);
    r[AreaBase(0)] = static_cast<int32_t>(kStageAreaTerminator ^ key);
    std::vector<uint8_t> file;
    EXPECT_FALSE(EncodeStageFile(r.data(), 1, &file));
    EXPECT_TRUE(EncodeStageFile(r.data(), 2, &file));
}

}  // namespace
}  // namespace velmora
