#include "engine/base/memory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/base/log.h"
#include "engine/base/log_test_support.h"
#include "engine/base/sjis.h"

namespace tessra {
namespace {

using namespace sjis_literals;
using ::testing::HasSubstr;
using ::testing::Not;

// Each test starts from an empty list (each test case runs as its own process, but the
// checks here also hold when they share one).
class MemoryTest : public LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        AllocStats& s = GetAllocStats();
        ASSERT_EQ(s.count, 0) << "blocks left from an earlier test";
        s.watchSize = 0;
        s.logEvery = s.printTotals = s.checkAll = 0;
        GetLogState().noTimeStamp = 1;
    }
};

TEST_F(MemoryTest, BlockIsAlignedAndTracked) {
    void* a = AllocTagged(10, "src/one.cpp", 12);
    void* b = AllocTagged(33, nullptr, 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % alignof(std::max_align_t), 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % alignof(std::max_align_t), 0u);
    AllocStats& s = GetAllocStats();
    EXPECT_EQ(s.count, 2);
    EXPECT_EQ(s.totalSize, 43);
    EXPECT_EQ(CheckAllocations(), 0);
    FreeTagged(a);
    EXPECT_EQ(CheckAllocations(), 0);
    FreeTagged(b);
    EXPECT_EQ(s.count, 0);
    EXPECT_EQ(s.totalSize, 0);
    EXPECT_EQ(s.head, &s.sentinel);
}

TEST_F(MemoryTest, ZeroedBlockIsZero) {
    auto* p = static_cast<unsigned char*>(AllocTaggedZeroed(100, nullptr, 0));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(p[i], 0) << i;
    FreeTagged(p);
}

TEST_F(MemoryTest, FreeNullDoesNothing) {
    FreeTagged(nullptr);
    EXPECT_EQ(GetAllocStats().count, 0);
}

TEST_F(MemoryTest, DumpListsLiveBlocksNewestFirst) {
    void* a = AllocTagged(5, "a/very/long/path/to/source.cpp", 77);
    std::memcpy(a, "ab\x01\xff", 5);
    void* b = AllocTagged(2048, "b.cpp", -1);
    std::memset(b, 'x', 2048);
    const uint16_t idA =
        reinterpret_cast<AllocHeader*>(static_cast<char*>(a) - kAllocHeaderSize)->id;
    DumpAllocations();
    const std::string expected =
        "\r\n"
        "Alloc memory dump"
        "\tsize:2048(2.000kb)  file:b.cpp  line:65535  ID:" +
        std::to_string(idA + 1) +
        "  data:<xxxxxxxxxxxxxxxx> [78 78 78 78 78 78 78 78 78 78 78 78 78 78 78 78]\r\n"
        "\tsize:5(0.005kb)  file:h/to/source.cpp  line:77  ID:" +
        std::to_string(idA) +
        "  data:<ab.\xff.> [61 62 01 ff 00]\r\n"
        "\tTotal size:2053(2.005kb)  Alloc num:2\r\n"
        "\r\n";
    EXPECT_EQ(ReadLog(), expected);
    FreeTagged(a);
    FreeTagged(b);
}

TEST_F(MemoryTest, DumpOfEmptyListPrintsZeroTotals) {
    FreeTagged(AllocTagged(1, nullptr, 0));  // head now rests on the sentinel
    DumpAllocations();
    EXPECT_EQ(ReadLog(), "\r\nAlloc memory dump\tTotal size:0(0.000kb)  Alloc num:0\r\n\r\n");
}

TEST_F(MemoryTest, CorruptedHeaderIsReported) {
    void* older = AllocTagged(8, "x.cpp", 1);
    void* newer = AllocTagged(8, "y.cpp", 2);
    std::memcpy(older, "abcdefgh", 8);
    auto* header = reinterpret_cast<AllocHeader*>(static_cast<char*>(older) - kAllocHeaderSize);
    const uint32_t size = header->size;
    header->size = 9999;  // a stray write in front of the block
    EXPECT_EQ(CheckAllocations(), -1);
    const std::string log = ReadLog();
    // The report and the block's line share one line; the damaged size is shown, but only
    // the 8 bytes the block really holds are read.
    EXPECT_THAT(log, HasSubstr("以下のメモリ確保情報が破損しました"_sjis +
                               std::string("\tsize:9999(9.765kb)  file:x.cpp  line:1  ID:")));
    EXPECT_THAT(log, HasSubstr("data:<abcdefgh> [61 62 63 64 65 66 67 68]\r\n"));
    header->size = size;
    EXPECT_EQ(CheckAllocations(), 0);
    FreeTagged(newer);
    FreeTagged(older);
}

TEST_F(MemoryTest, DamagedLinkIsReported) {
    void* a = AllocTagged(8, nullptr, 0);
    void* b = AllocTagged(8, nullptr, 0);
    auto* header = reinterpret_cast<AllocHeader*>(static_cast<char*>(a) - kAllocHeaderSize);
    AllocHeader* saved = header->prev;
    header->prev = nullptr;
    EXPECT_EQ(CheckAllocations(), -1);
    header->prev = saved;
    FreeTagged(b);
    FreeTagged(a);
}

TEST_F(MemoryTest, SizeTooLargeForTheHeaderIsRefused) {
    for (size_t size : {SIZE_MAX, SIZE_MAX - 8, size_t{UINT32_MAX}, kAllocMaxSize + 1}) {
        InitLogFile();
        EXPECT_EQ(AllocTagged(size, nullptr, 0), nullptr) << size;
        EXPECT_EQ(AllocTaggedZeroed(size, nullptr, 0), nullptr) << size;
        EXPECT_THAT(ReadLog(), HasSubstr("Alloc memory dump"));
    }
    EXPECT_EQ(GetAllocStats().count, 0);
}

TEST_F(MemoryTest, BlockLineReadsNoMoreThanTheBlock) {
    // Sanitizers catch a read past these blocks.
    for (size_t size : {0u, 1u, 3u, 15u, 16u}) {
        InitLogFile();
        void* p = AllocTagged(size, nullptr, 0);
        std::memset(p, 'k', size);
        LogMemoryBlock(reinterpret_cast<AllocHeader*>(static_cast<char*>(p) - kAllocHeaderSize));
        std::string hex;
        for (size_t i = 0; i < size; ++i) hex += i == 0 ? "6b" : " 6b";
        EXPECT_THAT(ReadLog(), HasSubstr("data:<" + std::string(size, 'k') + "> [" + hex + "]\r\n"))
            << size;
        FreeTagged(p);
    }
}

TEST_F(MemoryTest, PrintTotalsLogsAfterEachAllocationAndRelease) {
    GetAllocStats().printTotals = 1;
    FreeTagged(AllocTagged(3, nullptr, 0));
    GetAllocStats().printTotals = 0;
    EXPECT_EQ(ReadLog(),
              "\tTotal size:3(0.003kb)  Alloc num:1\r\n"
              "\tTotal size:0(0.000kb)  Alloc num:0\r\n");
}

TEST_F(MemoryTest, CheckAllAtReleaseSeesTheBlockBeforeItIsUnlinked) {
    void* a = AllocTagged(4, nullptr, 0);
    void* b = AllocTagged(4, nullptr, 0);
    GetAllocStats().checkAll = 1;
    auto* header = reinterpret_cast<AllocHeader*>(static_cast<char*>(b) - kAllocHeaderSize);
    header->line = 4242;  // damage that leaves the links and the totals intact
    FreeTagged(b);
    GetAllocStats().checkAll = 0;
    EXPECT_THAT(ReadLog(), HasSubstr("以下のメモリ確保情報が破損しました"_sjis +
                                     std::string("\tsize:4(0.004kb)  file:  line:4242")));
    // A damaged block is never unlinked: it stays listed (and leaks) until its header is sound.
    EXPECT_EQ(GetAllocStats().count, 2);
    EXPECT_EQ(CheckAllocations(), -1);
    header->line = 0;
    FreeTagged(b);
    EXPECT_EQ(CheckAllocations(), 0);
    FreeTagged(a);
}

TEST_F(MemoryTest, WatchedSizeIsLogged) {
    GetAllocStats().watchSize = 24;
    void* quiet = AllocTagged(23, nullptr, 0);
    void* loud = AllocTagged(24, "w.cpp", 5);
    FreeTagged(loud);
    FreeTagged(quiet);
    GetAllocStats().watchSize = 0;
    const std::string log = ReadLog();
    EXPECT_THAT(log, HasSubstr("mem alloc  \tsize:24(0.023kb)  file:w.cpp  line:5"));
    EXPECT_THAT(log, HasSubstr("mem free  \tsize:24"));
    EXPECT_THAT(log, Not(HasSubstr("size:23")));
}

// A header that looks like a live block's, for a stray link to point at.
struct Decoy {
    AllocHeader header{};
    unsigned char data[16] = {};
    Decoy() {
        std::memcpy(header.fileTag, "decoy.cpp", 9);
        header.size = 4;
        std::memcpy(header.mirror, &header, offsetof(AllocHeader, mirror));
    }
};

AllocHeader* HeaderOf(void* block) {
    return reinterpret_cast<AllocHeader*>(static_cast<char*>(block) - kAllocHeaderSize);
}

// A stray write into a block's link must not become a write through that link when the block
// is freed: the mirror is checked first, and a damaged block is logged and left linked.
TEST_F(MemoryTest, FreeOfADamagedBlockWritesThroughNoLink) {
    void* a = AllocTagged(8, nullptr, 0);
    void* b = AllocTagged(8, "b.cpp", 7);
    void* c = AllocTagged(8, nullptr, 0);
    Decoy decoy;
    AllocHeader* header = HeaderOf(b);
    AllocHeader* const next = header->next;
    header->next = &decoy.header;
    FreeTagged(b);
    ASSERT_EQ(decoy.header.prev, nullptr);
    EXPECT_EQ(HeaderOf(c)->next, header);
    EXPECT_EQ(GetAllocStats().count, 3);
    EXPECT_THAT(ReadLog(), HasSubstr("以下のメモリ確保情報が破損しました"_sjis +
                                     std::string("\tsize:8(0.008kb)  file:b.cpp  line:7")));
    header->next = next;
    FreeTagged(b);
    EXPECT_EQ(GetAllocStats().count, 2);
    EXPECT_EQ(CheckAllocations(), 0);
    FreeTagged(c);
    FreeTagged(a);
}

// The dump does not follow the link of a damaged header either.
TEST_F(MemoryTest, DumpStopsAtADamagedHeader) {
    void* a = AllocTagged(8, nullptr, 0);
    void* b = AllocTagged(8, "b.cpp", 9);
    Decoy decoy;
    decoy.header.next = &GetAllocStats().sentinel;
    std::memcpy(decoy.header.mirror, &decoy.header, offsetof(AllocHeader, mirror));
    AllocHeader* header = HeaderOf(b);
    AllocHeader* const next = header->next;
    header->next = &decoy.header;
    DumpAllocations();
    header->next = next;
    const std::string log = ReadLog();
    EXPECT_THAT(log, Not(HasSubstr("decoy")));
    EXPECT_THAT(log, HasSubstr("以下のメモリ確保情報が破損しました"_sjis +
                               std::string("\tsize:8(0.008kb)  file:b.cpp  line:9")));
    FreeTagged(b);
    FreeTagged(a);
}

}  // namespace
}  // namespace tessra
