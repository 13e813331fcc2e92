#include "game/play/stage.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/testing.h"

namespace velmora {
namespace {

std::vector<uint8_t> ReadBytes(const char* path) {
    std::vector<uint8_t> out;
    if (FILE* f = std::fopen(path, "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF) out.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
    }
    return out;
}

void WriteBytes(const char* path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t index) {
    uint32_t w = 0;
    std::memcpy(&w, bytes.data() + index * 4, 4);
    return w;
}

std::vector<int32_t> Snapshot() {
    const StageRecord& r = GetStageRecord();
    return std::vector<int32_t>(r.words, r.words + kStageRecordWords);
}

// Each test works in a folder of its own with the two stage folders, on a fixed date.
class StageTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::testing::Reset();
        plat::testing::SetFakeLocalTime(2024, 1, 1, 12, 0, 0);
        char templ[] = "/tmp/stage_test_XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        dir_ = templ;
        ASSERT_EQ(::chdir(dir_.c_str()), 0);
        ::mkdir("userdata", 0755);
        ::mkdir("dat", 0755);
        ::mkdir("dat/velm4", 0755);
        NewStage(-1);
        std::memset(GetStageUndo().words, 0, sizeof GetStageUndo().words);
    }
    void TearDown() override {
        ASSERT_EQ(::chdir("/"), 0);
        std::string cmd = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    // Two areas in use with distinct cells.
    static void FillStage() {
        NewStage(-1);
        NewStage(0);
        ResizeArea(9, 4);  // 30 by 20
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x) SetCell(x, y, x * 1000 + y * 7 + 1);
        SetAreaWord(7, 5);
        NewStage(3);
        SetCell(20, 15, 0x12345678);
        SetStageWord(27, 18);
        SelectArea(0);
    }
    std::string dir_;
};

TEST_F(StageTest, OutsideReadsAndPixelTruncation) {
    NewStage(0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 21; ++x) SetCell(x, y, 100 + x + y * 21);
    EXPECT_EQ(GetCell(21, 0), kOutsideCell);
    EXPECT_EQ(GetCell(0, -1), kOutsideCell);
    EXPECT_EQ(GetCell(0, 16), kOutsideCell);
    EXPECT_EQ(GetCell(-1, 3), kOutsideCell);
    EXPECT_EQ(GetCell(20, 15), 100 + 20 + 15 * 21);
    for (int px : {-31, -17, -16, 0, 15}) EXPECT_EQ(GetCellAtPixel(px, 0), 100) << px;
    EXPECT_EQ(GetCellAtPixel(16, 0), 101);
    EXPECT_EQ(GetCellAtPixel(-32, 0), 100);  // (-16)/32 truncates to 0
    EXPECT_EQ(GetCellAtPixel(-48, 0), kOutsideCell);
    // Moves: 1 +x, 2 +y, 3 -x, 4 -y, others none.
    EXPECT_EQ(GetCellBeside(0, 0, 1, 32), 101);
    EXPECT_EQ(GetCellBeside(0, 0, 2, 32), 121);
    EXPECT_EQ(GetCellBeside(32, 0, 3, 32), 100);
    EXPECT_EQ(GetCellBeside(0, 32, 4, 32), 100);
    EXPECT_EQ(GetCellBeside(0, 0, 5, 32), 100);
    // Writes outside store nothing.
    const std::vector<int32_t> before = Snapshot();
    SetCell(21, 0, 1);
    OrCell(-1, 0, 1);
    SetCellTile(21 * 32, 0, 3);
    SetCellVariant(0, -60, 3);
    EXPECT_EQ(Snapshot(), before);
    int32_t block[4];
    GetCellBlock(20, 15, 2, 2, block);
    EXPECT_EQ(block[0], 100 + 20 + 15 * 21);
    EXPECT_EQ(block[1], kOutsideCell);
    EXPECT_EQ(block[3], kOutsideCell);
}

TEST_F(StageTest, FieldSettersAndBitOperations) {
    NewStage(0);
    SetCell(2, 3, static_cast<int32_t>(0xffffffffu));
    SetCellTile(64, 96, 0x1a5);  // only 8 bits fit
    EXPECT_EQ(static_cast<uint32_t>(GetCell(2, 3)), (0xffffffffu & ~(0xffu << 6)) | (0xa5u << 6));
    SetCellObject(64, 96, 7);
    EXPECT_EQ(GetCellObject(64, 96), 7);
    SetCellVariant(64, 96, 0);
    EXPECT_EQ(static_cast<uint32_t>(GetCell(2, 3)) >> 24, 0x80u);  // bit 31 kept
    // Clearing takes exactly the bits asked, whichever of them are set.
    SetCell(1, 1, 0x15);
    ClearCellBits(1, 1, 0x3);
    EXPECT_EQ(GetCell(1, 1), 0x14);
    ClearCellBitsAtPixel(32, 32, 0x30);
    EXPECT_EQ(GetCell(1, 1), 0x4);
    ClearCellBits(1, 1, 0x8);
    EXPECT_EQ(GetCell(1, 1), 0x4);
    OrCellAtPixel(32, 32, 0x10);
    OrCellBeside(0, 32, 0x1, 1, 32);
    EXPECT_EQ(GetCell(1, 1), 0x15);
    EXPECT_TRUE(TestCellsInRect(0, 0, 2, 2, 0x10, 0, 0));
    EXPECT_FALSE(TestCellsInRect(0, 0, 1, 2, 0x10, 0, 0));
    EXPECT_TRUE(TestCellsInRect(-64, 0, 1, 1, 0x20, 0, 0));  // the outside value counts
}

TEST_F(StageTest, WordAccessorsCheckTheirRanges) {
    NewStage(2);
    EXPECT_EQ(GetCurrentArea(), 2);
    EXPECT_EQ(GetAreaWord(0), 21);
    EXPECT_EQ(GetAreaWordOf(2, 1), 16);
    EXPECT_EQ(GetStageWord(3 + 2), AreaBase(2));
    for (int n : {-1, 4128}) EXPECT_EQ(GetAreaWord(n), -1);
    for (int a : {-1, 12}) EXPECT_EQ(GetAreaWordOf(a, 0), -1);
    EXPECT_EQ(GetStageWord(32), -1);
    EXPECT_EQ(AreaBase(-1), -1);
    EXPECT_EQ(AreaBase(12), -1);
    const std::vector<int32_t> before = Snapshot();
    for (int a : {-1, 12, 100, -100}) SetAreaWordOf(a, 5, 99);
    SetAreaWord(4128, 1);
    SetStageWord(-1, 1);
    SetStageWord(32, 1);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(SelectArea(12), -1);
    EXPECT_EQ(GetCurrentArea(), 2);
    EXPECT_EQ(SelectArea(0), 0);
    int w = -1, h = -1;
    GetAreaSize(&w, &h);
    EXPECT_EQ(w, 0);  // area 0 is not in use
    // Writing the size words alone does not change the cache; a size the area cannot hold is
    // never cached, so cells stay inside the area.
    SelectArea(2);
    SetAreaWord(0, 100);
    SetAreaWord(1, 100);
    GetAreaSize(&w, &h);
    EXPECT_EQ(w, 21);
    ReloadAreaSize();
    GetAreaSize(&w, &h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(GetCell(0, 0), kOutsideCell);
}

TEST_F(StageTest, NewStageAndAreaCopies) {
    NewStage(-1);
    EXPECT_EQ(static_cast<uint32_t>(GetStageWord(0)), kStageMagic);
    EXPECT_EQ(static_cast<uint32_t>(GetStageWord(1)), kStageMapTag);
    EXPECT_EQ(GetStageWord(2), 100);
    for (int a = 0; a < 12; ++a) {
        EXPECT_EQ(GetStageWord(3 + a), 0);
        EXPECT_EQ(GetAreaWordOf(a, 0), 0);
        for (int k = 0; k < 8; ++k) {
            EXPECT_EQ(GetAreaWordOf(a, 16 + 2 * k), a);
            EXPECT_EQ(GetAreaWordOf(a, 17 + 2 * k), 0);
        }
    }
    NewStage(5);
    SetCell(3, 3, 42);
    CopyArea(5, 7);
    EXPECT_EQ(GetStageWord(3 + 7), AreaBase(7));
    SelectArea(7);
    EXPECT_EQ(GetCell(3, 3), 42);
    ClearArea(7);
    EXPECT_EQ(GetStageWord(3 + 7), 0);
    EXPECT_EQ(GetAreaWordOf(7, 0), 0);
    const std::vector<int32_t> before = Snapshot();
    NewStage(12);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(StageTest, ResizeKeepsCellsAndRefusesWhatCannotFit) {
    NewStage(0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 21; ++x) SetCell(x, y, 1 + x + y * 100);
    ResizeArea(4, 3);
    int w, h;
    GetAreaSize(&w, &h);
    EXPECT_EQ(w, 25);
    EXPECT_EQ(h, 19);
    EXPECT_EQ(GetAreaWord(0), 25);
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 25; ++x)
            EXPECT_EQ(GetCell(x, y), (x < 21 && y < 16) ? 1 + x + y * 100 : 0);
    ResizeArea(-10, -10);  // clamps to 21 by 16
    GetAreaSize(&w, &h);
    EXPECT_EQ(w, 21);
    EXPECT_EQ(h, 16);
    EXPECT_EQ(GetCell(20, 15), 1 + 20 + 1500);
    EXPECT_EQ(GetAreaWord(32 + 21 * 16), 0);  // behind the cells
    // 255 wide: one more asks for 256, which never fits.
    ResizeArea(234, 0);
    GetAreaSize(&w, &h);
    EXPECT_EQ(w, 255);
    const std::vector<int32_t> before = Snapshot();
    ResizeArea(1, 0);
    ResizeArea(0, 1);  // 255 * 17 = 4335
    EXPECT_EQ(Snapshot(), before);
    ResizeArea(-255 + 64, 0);  // 64 by 16 = 1024
    ResizeArea(0, 48);         // 64 by 64 = 4096: refused
    GetAreaSize(&w, &h);
    EXPECT_EQ(h, 16);
    ResizeArea(0, 47);  // 4032 fits
    GetAreaSize(&w, &h);
    EXPECT_EQ(h, 63);
}

TEST_F(StageTest, UndoCopyExchanges) {
    FillStage();
    SaveStageUndo();
    const std::vector<int32_t> saved = Snapshot();
    NewStage(-1);
    SwapStageUndo();
    EXPECT_EQ(Snapshot(), saved);
    int w, h;
    GetAreaSize(&w, &h);
    EXPECT_EQ(w, 30);
    SwapStageUndo();
    EXPECT_EQ(GetAreaWordOf(0, 0), 0);
}

TEST_F(StageTest, EmptyStageFileAndItsFirstKey) {
    NewStage(-1);
    EXPECT_EQ(SaveUserStage(4), 1712);
    const std::vector<uint8_t> file = ReadBytes("userdata/usermd04.dat");
    ASSERT_EQ(file.size(), 1712u);
    EXPECT_EQ(WordAt(file, 30), 240101u);
    EXPECT_EQ(WordAt(file, 31), 1712u);
    EXPECT_EQ(WordAt(file, 32), 0x503e4223u);  // width 0 under the first key
    EXPECT_EQ(GetStageWord(30), 0);            // the record keeps its own words
    EXPECT_EQ(GetStageWord(31), 0);
    EXPECT_EQ(ReadUserStageHeader(4), 128);
    EXPECT_EQ(GetUserStageHeaderWord(30), 240101);
    EXPECT_EQ(GetUserStageHeaderWord(32), -1);
    EXPECT_EQ(ReadUserStageHeader(5), -1);
}

TEST_F(StageTest, SaveAndLoadRoundTrip) {
    FillStage();
    SetAreaWordOf(3, 32 + 21 * 16 + 5, 77);  // behind the cells: not saved
    const int bytes = SaveUserStage(1);
    EXPECT_EQ(bytes, 128 + 4 * (30 * 20 + 33) + 4 * (21 * 16 + 33) + 10 * 4 * 33);
    EXPECT_EQ(SaveUserStage(2), bytes);
    EXPECT_EQ(ReadBytes("userdata/usermd01.dat"), ReadBytes("userdata/usermd02.dat"));
    std::vector<int32_t> expected = Snapshot();
    expected[AreaBase(3) + 32 + 21 * 16 + 5] = 0;
    expected[30] = 240101;
    expected[31] = bytes;
    NewStage(-1);
    ASSERT_EQ(LoadUserStage(1), 0);
    EXPECT_EQ(Snapshot(), expected);
    int w, h;
    GetAreaSize(&w, &h);
    EXPECT_EQ(w, 30);  // the current area kept, its size taken from the loaded stage
    // The same file as a built-in stage.
    std::rename("userdata/usermd01.dat", "dat/velm4/velm403.dat");
    NewStage(-1);
    ASSERT_EQ(LoadBuiltInStage(3), 0);
    EXPECT_EQ(Snapshot(), expected);
    EXPECT_EQ(LoadBuiltInStage(4), -1);
    EXPECT_EQ(LoadUserStage(9), -1);
}

TEST_F(StageTest, FullStageSavedScrambledLoadsBack) {
    NewStage(-1);
    for (int a = 0; a < 12; ++a) {
        NewStage(a);
        ResizeArea(63 - 21, 65 - 16);  // 63 by 65 = 4095 cells
        SetCell(62, 64, a + 1);
    }
    SelectArea(4);
    EXPECT_EQ(SaveUserStage(0), 198272);
    std::vector<int32_t> expected = Snapshot();
    expected[30] = 240101;
    expected[31] = 198272;
    NewStage(-1);
    ASSERT_EQ(LoadUserStage(0), 0);
    EXPECT_EQ(Snapshot(), expected);
    EXPECT_EQ(GetStageUndo().words[0], 0);  // read as scrambled: the undo copy is untouched
}

TEST_F(StageTest, PlainFormLoadsIntoRecordAndUndo) {
    FillStage();
    std::vector<int32_t> expected = Snapshot();
    std::vector<uint8_t> plain(kPlainStageFileBytes);
    std::memcpy(plain.data(), expected.data(), plain.size());
    WriteBytes("userdata/usermd07.dat", plain);
    NewStage(-1);
    ASSERT_EQ(LoadUserStage(7), 0);
    EXPECT_EQ(Snapshot(), expected);
    EXPECT_EQ(std::memcmp(GetStageUndo().words, expected.data(), plain.size()), 0);
    // A plain record with an area the game cannot hold is refused.
    expected[AreaBase(5)] = 300;
    std::memcpy(plain.data(), expected.data(), plain.size());
    WriteBytes("userdata/usermd07.dat", plain);
    NewStage(-1);
    const std::vector<int32_t> before = Snapshot();
    EXPECT_EQ(LoadUserStage(7), -1);
    EXPECT_EQ(Snapshot(), before);
}

// A word of an area whose plain bit 31 is set can scramble to the terminator; read by count it
// stays data.
TEST_F(StageTest, StoredWordEqualToTheTerminatorLoadsIntact) {
    NewStage(-1);
    NewStage(0);
    SaveUserStage(0);
    std::vector<uint8_t> file = ReadBytes("userdata/usermd00.dat");
    // Key of cell (0, 0): word 32 + 32 of the file holds it XOR 0.
    const uint32_t key = WordAt(file, 32 + 32);
    SetCell(0, 0, static_cast<int32_t>(kStageAreaTerminator ^ key));
    SetCell(1, 0, 5);
    ASSERT_EQ(SaveUserStage(0), static_cast<int>(file.size()));
    file = ReadBytes("userdata/usermd00.dat");
    ASSERT_EQ(WordAt(file, 64), kStageAreaTerminator);
    std::vector<int32_t> expected = Snapshot();
    expected[30] = 240101;
    expected[31] = static_cast<int32_t>(file.size());
    NewStage(-1);
    ASSERT_EQ(LoadUserStage(0), 0);
    EXPECT_EQ(Snapshot(), expected);
}

TEST_F(StageTest, RefusedFilesLeaveTheRecordUnchanged) {
    FillStage();
    ASSERT_GT(SaveUserStage(0), 0);
    const std::vector<uint8_t> good = ReadBytes("userdata/usermd00.dat");
    SaveUserStage(0);
    NewStage(-1);
    NewStage(6);
    SetCell(1, 1, 9);
    SaveStageUndo();
    const std::vector<int32_t> before = Snapshot();
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"short header", std::vector<uint8_t>(good.begin(), good.begin() + 100)});
    cases.push_back({"truncated", std::vector<uint8_t>(good.begin(), good.end() - 8)});
    cases.push_back({"odd length", std::vector<uint8_t>(good.begin(), good.end() - 1)});
    std::vector<uint8_t> longer = good;
    longer.resize(good.size() + 64, 0);
    cases.push_back({"trailing bytes", longer});
    std::vector<uint8_t> huge = good;
    huge.resize(kPlainStageFileBytes + 4, 0);
    cases.push_back({"oversized", huge});
    std::vector<uint8_t> badArea = good;
    badArea[32 * 4] ^= 0x40;  // area 0 width 30 -> 94: 94 * 20 is too many cells
    cases.push_back({"bad area", badArea});
    std::vector<uint8_t> noTerminator = good;
    noTerminator[(32 + 30 * 20 + 32) * 4] ^= 1;
    cases.push_back({"missing terminator", noTerminator});
    for (const Case& c : cases) {
        WriteBytes("userdata/usermd03.dat", c.bytes);
        WriteBytes("dat/velm4/velm403.dat", c.bytes);
        EXPECT_EQ(LoadUserStage(3), -1) << c.what;
        EXPECT_EQ(LoadBuiltInStage(3), -1) << c.what;
        EXPECT_EQ(Snapshot(), before) << c.what;
        EXPECT_EQ(std::memcmp(GetStageUndo().words, before.data(), sizeof(StageRecord)), 0);
    }
}

TEST_F(StageTest, WriterRefusesAnAreaTheGameCannotHold) {
    NewStage(-1);
    NewStage(0);
    SetAreaWord(0, 255);
    SetAreaWord(1, 255);
    EXPECT_EQ(SaveUserStage(0), -1);
    EXPECT_TRUE(ReadBytes("userdata/usermd00.dat").empty());
}

}  // namespace
}  // namespace velmora
