// The archive reader against archives made by the packer, and its decoder on hand-made tokens.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <sstream>
#include <tuple>

#include "archive_test_util.h"
#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"

using namespace tessra;
using namespace archive_test;

namespace {

// ---- round trip ----

struct RoundTripCase {
    int version;
    packer::Method method;
};

class ArchiveRoundTrip : public ArchiveTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(ArchiveRoundTrip, NestedTreeReadsBack) {
    const RoundTripCase c = GetParam();
    std::string binary;
    for (int i = 0; i < 3000; ++i) binary.push_back(static_cast<char>(i * 7 % 256));
    const std::vector<std::pair<std::string, std::string>> files = {
        {"sub/a.png", Pattern(5000, 1)},
        {"sub/deeper/b.bin", binary},
        {"top.txt", "hi"},
        {"empty.bin", ""},
        {"Mixed Case.Txt", Pattern(70, 2)},
    };
    for (const auto& [name, bytes] : files) WriteFile(dir_ / "src" / name, bytes);
    packer::PackOptions options;
    options.version = c.version;
    options.method = c.method;
    Pack(dir_ / "src", dir_ / "dat.dat", options);

    const char* names[] = {"dat\\sub\\a.png", "DAT\\SUB\\Deeper\\B.BIN", "dat/top.txt",
                           "dat\\empty.bin", "dat\\mixed case.txt"};
    for (size_t i = 0; i < files.size(); ++i) {
        std::string got;
        ASSERT_TRUE(ReadAll(names[i], &got)) << names[i];
        EXPECT_EQ(got, files[i].second) << names[i];

        StreamHandle h = OpenViaFileTable(names[i], 0, 1);
        ASSERT_NE(h, 0);
        EXPECT_LT(h, 0);  // archive handles are negative
        ASSERT_EQ(SeekViaFileTable(h, 0, kSeekEnd), 0);
        EXPECT_EQ(TellViaFileTable(h), static_cast<int64_t>(files[i].second.size()));
        if (files[i].second.size() > 10) {
            ASSERT_EQ(SeekViaFileTable(h, -10, kSeekCur), 0);
            char tail[10];
            EXPECT_EQ(ReadViaFileTable(tail, 1, 10, h), 10);
            EXPECT_EQ(std::string(tail, 10), files[i].second.substr(files[i].second.size() - 10));
        }
        EXPECT_EQ(CloseViaFileTable(h), 0);
    }
    // A directory is not a file.
    EXPECT_EQ(OpenViaFileTable("dat\\sub", 0, 1), 0);
}

INSTANTIATE_TEST_SUITE_P(VersionsAndMethods, ArchiveRoundTrip,
                         ::testing::Values(RoundTripCase{0, packer::Method::Store},
                                           RoundTripCase{1, packer::Method::Auto},
                                           RoundTripCase{2, packer::Method::Store},
                                           RoundTripCase{2, packer::Method::Lz},
                                           RoundTripCase{3, packer::Method::Lz},
                                           RoundTripCase{3, packer::Method::Auto}),
                         [](const auto& info) {
                             const char* m = info.param.method == packer::Method::Store ? "Store"
                                             : info.param.method == packer::Method::Lz  ? "Lz"
                                                                                        : "Auto";
                             return "V" + std::to_string(info.param.version) + m;
                         });

// The layout itself, read without the reader: a shared mistake of packer and reader would
// pass every round trip.
TEST_F(ArchiveTest, HeaderAndEntrySizesByVersion) {
    WriteFile(dir_ / "src/a", "1");
    WriteFile(dir_ / "src/b", "22");
    WriteFile(dir_ / "src/c", "333");
    uint8_t key[12];
    MakeArchiveKey(packer::GameKeyText().c_str(), key);
    for (int version = 0; version <= 3; ++version) {
        packer::PackOptions options;
        options.version = version;
        options.method = packer::Method::Store;
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(packer::BuildArchive((dir_ / "src").string(), options, &bytes, &error))
            << error;
        XorArchiveBytes(bytes.size(), bytes.data(), 0, key);
        auto u32 = [&](size_t at) {
            return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 |
                   uint32_t{bytes[at + 2]} << 16 | uint32_t{bytes[at + 3]} << 24;
        };
        EXPECT_EQ(bytes[0], 'T');
        EXPECT_EQ(bytes[1], 'Q');
        EXPECT_EQ(bytes[2] | bytes[3] << 8, version);
        const uint32_t block = u32(12), fileTable = u32(16), dirTable = u32(20);
        EXPECT_EQ(dirTable - fileTable, 3u * (version >= 2 ? 44 : 40)) << version;
        EXPECT_EQ(u32(4), dirTable + 16) << version;  // the root's record ends the block
        EXPECT_EQ(u32(block + dirTable + 4), 0xFFFFFFFFu) << version;  // the root has no parent
        EXPECT_EQ(u32(block + dirTable + 8), 3u) << version;
        // Name records: units, byte sum, upper-cased name with at least one zero byte.
        const uint32_t name = u32(block + fileTable + (version >= 2 ? 44 : 40));
        EXPECT_EQ(bytes[block + name] | bytes[block + name + 1] << 8, 1) << version;
        EXPECT_EQ(bytes[block + name + 2] | bytes[block + name + 3] << 8, 'B') << version;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[block + name + 4]), 4),
                  std::string("B\0\0\0", 4));
        // The second file's data: its size, then its bytes at data area + offset.
        const uint32_t entry = block + fileTable + (version >= 2 ? 44 : 40);
        EXPECT_EQ(u32(entry + 36), 2u);
        if (version >= 2) {
            EXPECT_EQ(u32(entry + 40), 0xFFFFFFFFu);
        }
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[u32(8) + u32(entry + 32)]), 2),
                  "22");
    }
}

TEST(ArchiveLzEncoder, RoundTripsThroughDecoder) {
    std::vector<std::string> inputs = {"", "a", std::string(20000, 'x'), Pattern(50000, 3)};
    std::string all;
    for (int i = 0; i < 70000; ++i) all.push_back(static_cast<char>(i % 251));  // long distances
    inputs.push_back(all);
    for (const std::string& in : inputs) {
        auto bytes = reinterpret_cast<const uint8_t*>(in.data());
        std::vector<uint8_t> packed =
            packer::EncodeArchiveLz(bytes, static_cast<uint32_t>(in.size()));
        std::vector<uint8_t> out(in.size() + 1);
        ASSERT_EQ(DecodeArchiveLz(packed.data(), static_cast<uint32_t>(packed.size()), out.data(),
                                  static_cast<uint32_t>(in.size())),
                  static_cast<int64_t>(in.size()));
        EXPECT_EQ(std::memcmp(out.data(), in.data(), in.size()), 0);
    }
}

// ---- the decoder's token rules ----

std::vector<uint8_t> LzStream(uint8_t escape, std::vector<uint8_t> tokens, uint32_t decodedSize) {
    std::vector<uint8_t> s(9);
    const uint32_t encoded = static_cast<uint32_t>(9 + tokens.size());
    for (int i = 0; i < 4; ++i) {
        s[i] = static_cast<uint8_t>(decodedSize >> (8 * i));
        s[4 + i] = static_cast<uint8_t>(encoded >> (8 * i));
    }
    s[8] = escape;
    s.insert(s.end(), tokens.begin(), tokens.end());
    return s;
}

TEST(ArchiveLzDecoder, TokenRules) {
    std::vector<uint8_t> threeHundred;
    for (int i = 0; i < 300; ++i) threeHundred.push_back(static_cast<uint8_t>(i % 200));
    std::vector<uint8_t> longDistance = threeHundred;
    for (uint8_t b : {0xC8, 0x01, 0x2B, 0x01}) longDistance.push_back(b);  // code 1: 2 bytes, 300
    std::string longExpected(threeHundred.begin(), threeHundred.end());
    longExpected += longExpected.substr(0, 4);

    struct Case {
        const char* what;
        uint8_t escape;
        std::vector<uint8_t> tokens;
        std::string expected;
    } cases[] = {
        {"escape doubled is one literal escape", 0x7E, {'A', 0x7E, 0x7E, 'B'}, "A~B"},
        {"distance 1 length 10 repeats the last byte",
         0x7E,
         {'A', 0x7E, 6 << 3, 0},
         std::string(11, 'A')},
        // Wanted code 0x10 (length 6, one distance byte) equals the escape: stored as 0x11.
        {"code above the escape is read minus one", 0x10, {'A', 'B', 0x10, 0x11, 1}, "ABABABAB"},
        {"extension byte adds length bits", 0x7E, {'Z', 0x7E, 4, 1, 0}, std::string(37, 'Z')},
        {"three distance bytes", 0xFF, {'a', 'b', 'c', 0xFF, 2, 2, 0, 0}, "abcabca"},
        {"two distance bytes", 0xC8, longDistance, longExpected},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> s =
            LzStream(c.escape, c.tokens, static_cast<uint32_t>(c.expected.size()));
        std::vector<uint8_t> out(c.expected.size());
        ASSERT_EQ(DecodeArchiveLz(s.data(), static_cast<uint32_t>(s.size()), out.data(),
                                  static_cast<uint32_t>(out.size())),
                  static_cast<int64_t>(c.expected.size()))
            << c.what;
        EXPECT_EQ(std::string(out.begin(), out.end()), c.expected) << c.what;
    }
}

TEST(ArchiveLzDecoder, BadStreamsFail) {
    struct Case {
        const char* what;
        std::vector<uint8_t> tokens;
        uint32_t decodedSize;
    } cases[] = {
        {"distance before the start", {'A', 0x7E, 0, 1}, 5},
        {"match as the first token", {0x7E, 0, 0}, 4},
        {"distance code 3", {'A', 0x7E, 3, 0, 0, 0, 0}, 5},
        {"escape at the end", {'A', 0x7E}, 1},
        {"missing distance byte", {'A', 0x7E, 1, 0}, 5},
        {"missing extension byte", {'A', 0x7E, 4}, 40},
        {"more output than the decoded size", {'A', 'B', 'C'}, 2},
        {"match past the decoded size", {'A', 0x7E, 6 << 3, 0}, 5},
        {"less output than the decoded size", {'A', 'B'}, 3},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> s = LzStream(0x7E, c.tokens, c.decodedSize);
        std::vector<uint8_t> out(c.decodedSize + 64);
        EXPECT_EQ(
            DecodeArchiveLz(s.data(), static_cast<uint32_t>(s.size()), out.data(), c.decodedSize),
            -1)
            << c.what;
    }
    // The head must agree with the entry's sizes.
    std::vector<uint8_t> s = LzStream(0x7E, {'A', 'B'}, 2);
    uint8_t out[8];
    EXPECT_EQ(DecodeArchiveLz(s.data(), static_cast<uint32_t>(s.size()) + 1, out, 2), -1);
    EXPECT_EQ(DecodeArchiveLz(s.data(), static_cast<uint32_t>(s.size()), out, 3), -1);
    EXPECT_EQ(DecodeArchiveLz(s.data(), 8, out, 2), -1);
    EXPECT_EQ(DecodeArchiveLz(s.data(), static_cast<uint32_t>(s.size()), nullptr, 2), 2);
    // A decoded size no token stream of that length could reach.
    std::vector<uint8_t> huge = LzStream(0x7E, {'A', 0x7E, 0xF8, 0xFF, 0}, 0x7FFFFFFF);
    EXPECT_EQ(DecodeArchiveLz(huge.data(), static_cast<uint32_t>(huge.size()), nullptr, 0x7FFFFFFF),
              -1);
}

// The longest output n stored bytes can make: a literal, or per four bytes one match of 8195
// (escape, code with the length bit, length byte, distance byte); three spare bytes make a
// short match of 35. A decoded size past that is refused from the head alone.
TEST(ArchiveLzDecoder, DecodedSizeIsBoundByWhatTheTokensCanMake) {
    // clang-format off
    const std::pair<uint32_t, uint32_t> bounds[] = {
        {0, 0}, {1, 1}, {2, 2}, {3, 35}, {4, 8195}, {5, 8196}, {7, 8230}, {8, 16390},
        {13, 24586}, {1000, 250 * 8195},
    };
    // clang-format on
    for (const auto& [tokenBytes, bound] : bounds) {
        SCOPED_TRACE(tokenBytes);
        for (uint32_t claim : {bound, bound + 1}) {
            std::vector<uint8_t> s = LzStream(0x7E, std::vector<uint8_t>(tokenBytes, 'A'), claim);
            const int64_t expected = claim <= bound ? int64_t{claim} : -1;
            EXPECT_EQ(DecodeArchiveLz(s.data(), static_cast<uint32_t>(s.size()), nullptr, claim),
                      expected);
        }
    }
    // One literal and three longest matches reach the bound of 13 bytes exactly.
    std::vector<uint8_t> tokens{'A'};
    for (int i = 0; i < 3; ++i)
        for (uint8_t b : {0xFF, 0xFC, 0xFF, 0x00}) tokens.push_back(b);
    const std::vector<uint8_t> s = LzStream(0xFF, tokens, 24586);
    std::vector<uint8_t> out(24586);
    ASSERT_EQ(DecodeArchiveLz(s.data(), static_cast<uint32_t>(s.size()), out.data(), 24586), 24586);
    EXPECT_EQ(std::count(out.begin(), out.end(), 'A'), 24586);
}

// ---- names and keys ----

TEST(ArchiveNames, SearchNames) {
    struct Case {
        const char* text;
        int length;
        uint16_t units;
        std::vector<uint8_t> name;
    } cases[] = {
        {"abcd", 4, 2, {'A', 'B', 'C', 'D'}},
        {"abc", 3, 1, {'A', 'B', 'C'}},
        {"a.png\\rest", 5, 2, {'A', '.', 'P', 'N', 'G'}},
        {"", 0, 1, {}},
        // A trail byte 0x5C does not end the name; trail bytes are not upper-cased.
        {"\x83\x5Cz\\q", 3, 1, {0x83, 0x5C, 'Z'}},
        {"\x82\x61x", 3, 1, {0x82, 0x61, 'X'}},
        {"\xB1"
         "b",
         2,
         1,
         {0xB1, 'B'}},  // half-width katakana stays
    };
    for (const Case& c : cases) {
        ArchiveSearchName n;
        EXPECT_EQ(MakeArchiveSearchName(c.text, &n), c.length) << c.text;
        EXPECT_EQ(n.units, c.units) << c.text;
        unsigned sum = 0;
        for (size_t i = 0; i < c.name.size(); ++i) {
            EXPECT_EQ(n.name[i], c.name[i]) << c.text << " byte " << i;
            sum += c.name[i];
        }
        for (size_t i = c.name.size(); i < size_t{n.units} * 4; ++i) EXPECT_EQ(n.name[i], 0);
        EXPECT_EQ(n.check, sum & 0xFFFF) << c.text;
    }
    ArchiveSearchName n;
    EXPECT_EQ(MakeArchiveSearchName(std::string(300, 'a').c_str(), &n), -1);
}

TEST(ArchiveKeys, DerivationRules) {
    uint8_t none[12], empty[12], five[12], repeated[12], thirteen[12], twelve[12];
    MakeArchiveKey(nullptr, none);
    MakeArchiveKey("", empty);  // an empty text counts as no key instead of looping
    EXPECT_EQ(std::memcmp(none, empty, 12), 0);
    MakeArchiveKey("ABCDE", five);
    MakeArchiveKey("ABCDEABCDEAB", repeated);
    EXPECT_EQ(std::memcmp(five, repeated, 12), 0);
    MakeArchiveKey("0123456789abX", thirteen);
    MakeArchiveKey("0123456789ab", twelve);
    EXPECT_EQ(std::memcmp(thirteen, twelve, 12), 0);
    EXPECT_NE(std::memcmp(none, five, 12), 0);

    // Scrambling is by file position, so any split of a buffer gives the same bytes.
    uint8_t whole[30], split[30];
    for (int i = 0; i < 30; ++i) whole[i] = split[i] = static_cast<uint8_t>(i);
    XorArchiveBytes(30, whole, 7, five);
    XorArchiveBytes(11, split, 7, five);
    XorArchiveBytes(19, split + 11, 18, five);
    EXPECT_EQ(std::memcmp(whole, split, 30), 0);
    EXPECT_EQ(whole[0], 0 ^ five[7]);
}

// Every archive already made depends on these exact bytes: a change to the key derivation
// must show here, not only as unreadable data.
TEST(ArchiveKeys, GoldenKeyBytes) {
    struct Golden {
        const char* text;
        uint8_t key[12];
    };
    // clang-format off
    const Golden goldens[] = {
        {nullptr,    {0x58, 0x3D, 0xFD, 0x0B, 0x58, 0x64, 0x58, 0x0B, 0x3D, 0x9A, 0xF5, 0x31}},
        {"ABCDE",    {0xBE, 0x12, 0x19, 0x77, 0xBA, 0x82, 0xBD, 0x97, 0x22, 0x78, 0x6E, 0xD4}},
        {"41720593", {0xCB, 0x89, 0x6D, 0xB9, 0xCF, 0xF6, 0xC6, 0x99, 0xA1, 0x0C, 0xB7, 0xA4}},
    };
    // clang-format on
    for (const Golden& g : goldens) {
        uint8_t key[12];
        MakeArchiveKey(g.text, key);
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(key[i], g.key[i]) << (g.text ? g.text : "(none)") << " byte " << i;
    }
    EXPECT_EQ(packer::GameKeyText(), "41720593");
}

// ---- finding archives ----

TEST_F(ArchiveTest, CandidatesFromTheRootDown) {
    WriteFile(dir_ / "outer/sub/a.png", "outer");
    WriteFile(dir_ / "inner/a.png", "inner");
    WriteFile(dir_ / "dat/sub/a.png", "plain");
    Pack(dir_ / "outer", dir_ / "dat.dat");
    Pack(dir_ / "inner", dir_ / "dat/sub.dat");
    std::string got;
    ASSERT_TRUE(ReadAll("dat\\sub\\a.png", &got));
    EXPECT_EQ(got, "outer");  // the directory nearer the root comes first

    InitArchiveFileState();  // forget the cache and the last archive
    SetArchiveExtensionBody("dat");
    SetArchiveKeyBody(packer::GameKeyText().c_str());
    fs::remove(dir_ / "dat.dat");
    ASSERT_TRUE(ReadAll("dat\\sub\\a.png", &got));
    EXPECT_EQ(got, "inner");

    InitArchiveFileState();
    SetArchiveKeyBody(packer::GameKeyText().c_str());  // no extension: "TQA"
    ASSERT_TRUE(ReadAll("dat\\sub\\a.png", &got));
    EXPECT_EQ(got, "plain");
    fs::rename(dir_ / "dat/sub.dat", dir_ / "dat/sub.TQA");
    InitArchiveFileState();
    SetArchiveKeyBody(packer::GameKeyText().c_str());
    ASSERT_TRUE(ReadAll("dat\\sub\\a.png", &got));
    EXPECT_EQ(got, "inner");
}

// For a path below the start directory the walk starts there: an archive standing for the
// start directory itself (beside it, in its parent) or for any folder above it is never taken,
// so nothing planted above the game's folder replaces its data.
TEST_F(ArchiveTest, ArchivesAboveTheStartDirectoryAreNotTaken) {
    WriteFile(dir_ / "beside/dat/sub/a.png", "beside");
    WriteFile(dir_ / "outer/sub/a.png", "outer");
    Pack(dir_ / "outer", dir_ / "dat.dat");
    const fs::path beside = dir_.parent_path() / (dir_.filename().string() + ".dat");
    Pack(dir_ / "beside", beside);
    std::string got;
    const bool read = ReadAll("dat\\sub\\a.png", &got);
    fs::remove(beside);
    ASSERT_TRUE(read);
    EXPECT_EQ(got, "outer");

    // Without the game's own archive the plain file answers, not the planted one.
    InitArchiveFileState();
    SetArchiveExtensionBody("dat");
    SetArchiveKeyBody(packer::GameKeyText().c_str());
    fs::remove(dir_ / "dat.dat");
    WriteFile(dir_ / "dat/sub/a.png", "plain");
    Pack(dir_ / "beside", beside);
    const bool readPlain = ReadAll("dat\\sub\\a.png", &got);
    fs::remove(beside);
    ASSERT_TRUE(readPlain);
    EXPECT_EQ(got, "plain");
}

// The archive that opened last answers for every path below its directory before any walk;
// a path outside it (a sibling that merely starts with the same letters) walks again.
TEST_F(ArchiveTest, LastGoodArchiveComesBeforeTheWalk) {
    WriteFile(dir_ / "inner/a.png", "inner");
    fs::create_directories(dir_ / "dat");
    Pack(dir_ / "inner", dir_ / "dat/sub.dat");
    std::string got;
    ASSERT_TRUE(ReadAll("dat\\sub\\a.png", &got));
    EXPECT_EQ(got, "inner");

    WriteFile(dir_ / "outer/sub/a.png", "outer");
    WriteFile(dir_ / "outer/subway/x.txt", "outer subway");
    Pack(dir_ / "outer", dir_ / "dat.dat");
    ASSERT_TRUE(ReadAll("dat\\sub\\a.png", &got));
    EXPECT_EQ(got, "inner");  // the walk would have found dat.dat first
    ASSERT_TRUE(ReadAll("dat\\subway\\x.txt", &got));
    EXPECT_EQ(got, "outer subway");
    ASSERT_TRUE(ReadAll("dat\\sub\\a.png", &got));
    EXPECT_EQ(got, "outer");  // that walk made dat.dat the last good archive
}

TEST_F(ArchiveTest, FileMissingFromFoundArchiveHasNoPlainFallback) {
    WriteFile(dir_ / "src/a.png", "in archive");
    WriteFile(dir_ / "dat/other.txt", "plain");
    Pack(dir_ / "src", dir_ / "dat.dat");
    EXPECT_EQ(OpenViaFileTable("dat\\other.txt", 0, 1), 0);
    std::string got;
    ASSERT_TRUE(ReadAll("dat\\a.png", &got));  // the last-good archive answers
    EXPECT_EQ(got, "in archive");
    EXPECT_EQ(OpenViaFileTable("dat\\other.txt", 0, 1), 0);
}

// Shift-JIS names on disk: a trail byte 0x5C is no separator and no trail byte is upper-cased,
// in the packer as in the reader.
TEST_F(ArchiveTest, ShiftJisNamesPackAndOpen) {
    struct Case {
        std::string onDisk, opened;
    } cases[] = {
        {"\x83\x5C"
         "a.png",
         "dat\\\x83\x5C"
         "A.PNG"},  // "ソ": trail byte 0x5C
        {"\x82\x61"
         "b.txt",
         "DAT\\\x82\x61"
         "b.txt"},                                   // trail byte 'a' stays
        {"\x95\x5C/c.bin", "dat\\\x95\x5C\\C.BIN"},  // a directory "表" (trail 0x5C)
    };
    for (const Case& c : cases) WriteFile(dir_ / "src" / c.onDisk, "content of " + c.onDisk);
    Pack(dir_ / "src", dir_ / "dat.dat");
    for (const Case& c : cases) {
        std::string got;
        ASSERT_TRUE(ReadAll(c.opened.c_str(), &got)) << c.opened;
        EXPECT_EQ(got, "content of " + c.onDisk) << c.opened;
    }
    // The pair "\x82\x61" is not the pair "\x82\x41".
    EXPECT_EQ(OpenViaFileTable("dat\\\x82\x41"
                               "b.txt",
                               0, 1),
              0);
}

// The open-file table holds 512 files; the 513th is refused with a line in the log, which
// is kept in Shift-JIS like every text the engine stores.
TEST_F(ArchiveTest, FullOpenFileTableIsRefusedAndLogged) {
    WriteFile(dir_ / "src/a", "x");
    Pack(dir_ / "src", dir_ / "dat.dat");
    ASSERT_EQ(SetLogStartDirectory(dir_.c_str()), 0);
    SetLogEnabledBody(1);
    InitLogFile();
    std::vector<StreamHandle> handles;
    for (int i = 0; i < kArchiveOpenFiles; ++i) {
        handles.push_back(OpenViaFileTable("dat\\a", 0, 1));
        ASSERT_NE(handles.back(), 0) << i;
    }
    EXPECT_EQ(OpenViaFileTable("dat\\a", 0, 1), 0);
    EXPECT_EQ(CloseViaFileTable(handles.back()), 0);
    handles.pop_back();
    const StreamHandle again = OpenViaFileTable("dat\\a", 0, 1);
    EXPECT_NE(again, 0);  // a closed slot is free again
    handles.push_back(again);
    for (StreamHandle h : handles) CloseViaFileTable(h);

    std::ifstream in(dir_ / "Log.txt", std::ios::binary);
    std::stringstream log;
    log << in.rdbuf();
    SetLogEnabledBody(0);
    SetLogStartDirectory(nullptr);
    std::string expected;
    ASSERT_TRUE(plat::TryUtf8ToSjis("同時に開けるファイルの数が限界を超えました", &expected));
    EXPECT_NE(log.str().find(expected), std::string::npos) << log.str();
}

TEST_F(ArchiveTest, MissingDirectoryInsideArchiveIsNotTheFileOfThatName) {
    WriteFile(dir_ / "src/x", "a file named x");
    Pack(dir_ / "src", dir_ / "dat.dat");
    EXPECT_EQ(OpenViaFileTable("dat\\x\\q.png", 0, 1), 0);
    std::string got;
    ASSERT_TRUE(ReadAll("dat\\x", &got));
    EXPECT_EQ(got, "a file named x");
}

TEST_F(ArchiveTest, KeysWrongAndSecond) {
    WriteFile(dir_ / "src/a.png", "archived");
    WriteFile(dir_ / "dat/a.png", "plain");
    packer::PackOptions wrong;
    wrong.keyText = "00000000";
    Pack(dir_ / "src", dir_ / "dat.dat", wrong);
    std::string got;
    ASSERT_TRUE(ReadAll("dat\\a.png", &got));
    EXPECT_EQ(got, "plain");  // a wrong key refuses the archive: the plain file is read

    InitArchiveFileState();
    SetArchiveExtensionBody("dat");
    SetArchiveKeyBody(packer::GameKeyText().c_str());
    packer::PackOptions second;
    second.secondKey = true;
    Pack(dir_ / "src", dir_ / "dat.dat", second);
    ASSERT_TRUE(ReadAll("dat\\a.png", &got));
    EXPECT_EQ(got, "archived");

    InitArchiveFileState();
    SetArchiveExtensionBody("dat");
    SetArchiveKeyBody("");  // set but empty: the same as no key
    packer::PackOptions noKey;
    noKey.useKey = false;
    Pack(dir_ / "src", dir_ / "dat.dat", noKey);
    ASSERT_TRUE(ReadAll("dat\\a.png", &got));
    EXPECT_EQ(got, "archived");
}

// ---- counting and end of file ----

TEST_F(ArchiveTest, ArchiveReadsCountBytesPlainReadsCountItems) {
    WriteFile(dir_ / "src/ten.bin", "0123456789");
    WriteFile(dir_ / "plain/ten.bin", "0123456789");
    Pack(dir_ / "src", dir_ / "dat.dat");
    StreamHandle a = OpenViaFileTable("dat\\ten.bin", 0, 1);
    StreamHandle p = OpenViaFileTable("plain\\ten.bin", 0, 1);
    ASSERT_NE(a, 0);
    ASSERT_NE(p, 0);
    char buf[16];
    EXPECT_EQ(ReadViaFileTable(buf, 4, 3, a), 10);  // bytes
    EXPECT_EQ(ReadViaFileTable(buf, 4, 3, p), 2);   // whole items
    EXPECT_EQ(TestEofViaFileTable(a), 0);
    EXPECT_EQ(ReadViaFileTable(buf, 1, 1, a), 0);
    EXPECT_EQ(TestEofViaFileTable(a), -1);
    EXPECT_EQ(ReadViaFileTable(buf, 1, 1, a), 0);  // stays at the end until a seek
    ASSERT_EQ(SeekViaFileTable(a, -3, kSeekEnd), 0);
    EXPECT_EQ(TestEofViaFileTable(a), 0);
    EXPECT_EQ(ReadViaFileTable(buf, 1, 16, a), 3);
    ASSERT_EQ(SeekViaFileTable(a, -50, kSeekCur), 0);  // clamped to the file
    EXPECT_EQ(TellViaFileTable(a), 0);
    ASSERT_EQ(SeekViaFileTable(a, 50, kSeekSet), 0);
    EXPECT_EQ(TellViaFileTable(a), 10);
    EXPECT_EQ(ReadViaFileTable(buf, SIZE_MAX, 4, a), 0);  // a huge product does not wrap
    ASSERT_EQ(SeekViaFileTable(a, 0, kSeekSet), 0);
    EXPECT_EQ(ReadViaFileTable(buf, SIZE_MAX / 2, 4, a), 10);
    EXPECT_EQ(CloseViaFileTable(a), 0);
    EXPECT_EQ(CloseViaFileTable(p), 0);
    // A closed handle and handles that never were.
    EXPECT_EQ(ReadArchFile(buf, 1, 1, a), -1);
    EXPECT_EQ(CloseArchFile(a), -1);
    EXPECT_EQ(TellArchFile(static_cast<StreamHandle>(static_cast<int32_t>(0xF0000000u | 600))), -1);
    EXPECT_EQ(TestArchFileEof(12345), -1);
}

TEST_F(ArchiveTest, ShortReadAdvancesByWhatArrived) {
    WriteFile(dir_ / "src/big.bin", std::string(4000, 'q'));
    packer::PackOptions store;
    store.method = packer::Method::Store;
    Pack(dir_ / "src", dir_ / "dat.dat", store);
    StreamHandle h = OpenViaFileTable("dat\\big.bin", 0, 1);
    ASSERT_NE(h, 0);
    fs::resize_file(dir_ / "dat.dat", fs::file_size(dir_ / "dat.dat") - 1000);
    std::string buf(4000, '\0');
    EXPECT_EQ(ReadViaFileTable(buf.data(), 1, 4000, h), 3000);
    EXPECT_EQ(TellViaFileTable(h), 3000);
    EXPECT_EQ(buf.substr(0, 3000), std::string(3000, 'q'));
    CloseViaFileTable(h);
}

// After a short read (the archive file was cut) the stream reports its end, so a loop that
// reads until the end stops.
TEST_F(ArchiveTest, ShortReadReportsTheEnd) {
    WriteFile(dir_ / "src/big.bin", std::string(4000, 'q'));
    packer::PackOptions store;
    store.method = packer::Method::Store;
    Pack(dir_ / "src", dir_ / "dat.dat", store);
    StreamHandle h = OpenViaFileTable("dat\\big.bin", 0, 1);
    ASSERT_NE(h, 0);
    fs::resize_file(dir_ / "dat.dat", fs::file_size(dir_ / "dat.dat") - 1000);
    std::string buf(1000, '\0');
    int64_t total = 0;
    int reads = 0;
    while (TestEofViaFileTable(h) == 0 && reads < 100) {
        total += ReadViaFileTable(buf.data(), 1, buf.size(), h);
        ++reads;
    }
    EXPECT_EQ(total, 3000);
    EXPECT_EQ(reads, 4);  // three whole reads, then the short one
    EXPECT_EQ(ReadViaFileTable(buf.data(), 1, buf.size(), h), 0);
    EXPECT_NE(TestEofViaFileTable(h), 0);
    CloseViaFileTable(h);
}

// An LZ archive of the tree at `source`, unscrambled, to be altered by hand and written back.
class ArchiveBytes {
public:
    explicit ArchiveBytes(const fs::path& source) {
        packer::PackOptions lz;
        lz.method = packer::Method::Lz;
        std::string error;
        built_ = packer::BuildArchive(source.string(), lz, &bytes, &error);
        EXPECT_TRUE(built_) << error;
        MakeArchiveKey(packer::GameKeyText().c_str(), key_);
        XorArchiveBytes(bytes.size(), bytes.data(), 0, key_);
    }
    bool Built() const { return built_; }
    uint32_t U32(size_t at) const {
        return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
               uint32_t{bytes[at + 3]} << 24;
    }
    void Put32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    // The file entry named `name` (upper-cased) in the root directory; 0 when there is none.
    size_t RootEntry(const char* name) const {
        const size_t block = U32(12);
        const size_t root = block + U32(20);
        for (uint32_t i = 0; i < U32(root + 8); ++i) {
            const size_t e = block + U32(16) + U32(root + 12) + i * kArchiveEntrySizeV2;
            if (std::strcmp(reinterpret_cast<const char*>(&bytes[block + U32(e) + 4]), name) == 0)
                return e;
        }
        return 0;
    }
    // Where an entry's stored bytes start in the file.
    size_t DataOf(size_t entry) const { return size_t{U32(8)} + U32(entry + 32); }
    void Write(const fs::path& to) const {
        std::vector<uint8_t> out = bytes;
        XorArchiveBytes(out.size(), out.data(), 0, key_);
        std::ofstream(to, std::ios::binary)
            .write(reinterpret_cast<const char*>(out.data()),
                   static_cast<std::streamsize>(out.size()));
    }

    std::vector<uint8_t> bytes;

private:
    uint8_t key_[12];
    bool built_ = false;
};

// What the log of `dir` holds after `run`, with allocations of `watchSize` logged (-1: all).
template <typename Run>
std::string LogOf(const fs::path& dir, int32_t watchSize, Run run) {
    EXPECT_EQ(SetLogStartDirectory(dir.c_str()), 0);
    SetLogEnabledBody(1);
    InitLogFile();
    GetAllocStats().watchSize = watchSize;
    run();
    GetAllocStats().watchSize = 0;
    SetLogStartDirectory(nullptr);
    std::ifstream in(dir / "Log.txt", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A compressed entry whose sizes claim more than its stored bytes could ever decode to is
// refused before anything of that size is allocated.
TEST_F(ArchiveTest, EntryClaimingMoreThanItsTokensCanMakeIsRefusedUpFront) {
    WriteFile(dir_ / "src/a.bin", Pattern(3000, 1));
    ArchiveBytes archive(dir_ / "src");
    ASSERT_TRUE(archive.Built());
    const size_t entry = archive.RootEntry("A.BIN");
    ASSERT_NE(entry, 0u);
    const uint32_t stored = archive.U32(entry + 40);
    ASSERT_NE(stored, 0xFFFFFFFFu);
    // Below the old allowance of 2732 bytes for each stored byte, above what tokens can make.
    const uint32_t claim = (stored - 9) * 2700;
    archive.Put32(entry + 36, claim);
    archive.Put32(archive.DataOf(entry), claim);
    archive.Write(dir_ / "dat.dat");
    const std::string log = LogOf(dir_, static_cast<int32_t>(claim),
                                  [] { EXPECT_EQ(OpenViaFileTable("dat\\a.bin", 0, 1), 0); });
    EXPECT_EQ(log.find("size:" + std::to_string(claim)), std::string::npos) << log;
}

// A legal stream of 1 MB whose long runs decode to 2 GB: the entry is refused at open, before
// any block of either size is taken, with a log line; its neighbour in the archive still reads.
TEST_F(ArchiveTest, EntryBeyondTheDecodedLimitIsRefused) {
    WriteFile(dir_ / "src/a.bin", "stands in for the large entry");
    WriteFile(dir_ / "src/b.bin", Pattern(5000, 2));
    ArchiveBytes archive(dir_ / "src");
    ASSERT_TRUE(archive.Built());
    const size_t entry = archive.RootEntry("A.BIN");
    ASSERT_NE(entry, 0u);

    // One literal, then matches of distance 1 and the longest length (8195), four bytes each,
    // with 0 as the escape byte.
    constexpr uint32_t kMatches = 262144;
    constexpr uint32_t kDecoded = 1 + kMatches * 8195;
    static_assert(kDecoded > kArchiveMaxDecodedSize);
    std::vector<uint8_t> stream{0, 0, 0, 0, 0, 0, 0, 0, 0, 'A'};
    for (uint32_t i = 0; i < kMatches; ++i) stream.insert(stream.end(), {0x00, 0xFD, 0xFF, 0x00});
    const auto streamSize = static_cast<uint32_t>(stream.size());
    for (int i = 0; i < 4; ++i) {
        stream[size_t(i)] = static_cast<uint8_t>(kDecoded >> (8 * i));
        stream[size_t(4 + i)] = static_cast<uint8_t>(streamSize >> (8 * i));
    }
    ASSERT_EQ(DecodeArchiveLz(stream.data(), streamSize, nullptr, kDecoded), kDecoded);  // legal
    archive.Put32(entry + 32, static_cast<uint32_t>(archive.bytes.size() - archive.U32(8)));
    archive.Put32(entry + 36, kDecoded);
    archive.Put32(entry + 40, streamSize);
    archive.bytes.insert(archive.bytes.end(), stream.begin(), stream.end());
    archive.Write(dir_ / "dat.dat");

    std::string got;
    const std::string log = LogOf(dir_, -1, [&] {  // every allocation logged with its size
        EXPECT_EQ(OpenViaFileTable("dat\\a.bin", 0, 1), 0);
        EXPECT_TRUE(ReadAll("dat\\b.bin", &got));
    });
    EXPECT_EQ(got, Pattern(5000, 2));
    EXPECT_NE(log.find("A.BIN"), std::string::npos) << log;
    EXPECT_NE(log.find(std::to_string(kDecoded)), std::string::npos) << log;
    uint64_t largest = 0;
    for (size_t at = log.find("size:"); at != std::string::npos; at = log.find("size:", at + 1))
        largest = std::max<uint64_t>(largest, std::strtoull(log.c_str() + at + 5, nullptr, 10));
    EXPECT_LT(largest, 64u << 10) << log;
}

TEST_F(ArchiveTest, HandlesStayWithTheSetThatOpenedThem) {
    WriteFile(dir_ / "src/a.bin", "archived");
    WriteFile(dir_ / "p/b.bin", "plain file");
    Pack(dir_ / "src", dir_ / "dat.dat");
    SetFileAccessFuncs(nullptr);
    StreamHandle a = OpenViaFileTable("dat\\a.bin", 0, 1);
    ASSERT_NE(a, 0);
    SetUseArchiveBody(0);
    StreamHandle p = OpenViaFileTable("p\\b.bin", 0, 1);
    ASSERT_NE(p, 0);
    char buf[16] = {};
    EXPECT_EQ(ReadViaFileTable(buf, 1, 16, a), 8);  // served by the archive set
    EXPECT_EQ(std::string(buf, 8), "archived");
    SetUseArchiveBody(1);
    EXPECT_EQ(ReadViaFileTable(buf, 2, 8, p), 5);  // served by the plain set: items
    EXPECT_EQ(std::string(buf, 10), "plain file");
    EXPECT_EQ(CloseViaFileTable(p), 0);
    SetUseArchiveBody(0);
    EXPECT_EQ(CloseViaFileTable(a), 0);
    SetUseArchiveBody(1);
}

TEST_F(ArchiveTest, OverlongNamesFailCleanly) {
    std::string deep = "d";
    while (deep.size() < 400) deep += "\\dddddddddd";
    EXPECT_EQ(OpenViaFileTable(deep.c_str(), 0, 1), 0);
    std::string longName(300, 'n');
    EXPECT_EQ(OpenViaFileTable(longName.c_str(), 0, 1), 0);
    SetArchiveExtensionBody(std::string(64, 'e').c_str());  // too long: back to the default
    WriteFile(dir_ / "src/a", "x");
    Pack(dir_ / "src", dir_ / "dat.TQA");
    std::string got;
    ASSERT_TRUE(ReadAll("dat\\a", &got));
    EXPECT_EQ(got, "x");
    char out[16];
    EXPECT_EQ(ConvertArchiveFullPath("abc", out, sizeof out), -1);
}

// An archive stays open in the cache while no file uses it: a new archive put in its place
// is seen only once the unused archives have been closed.
TEST_F(ArchiveTest, UnusedArchivesStayCachedUntilClosed) {
    WriteFile(dir_ / "old/a", "old");
    WriteFile(dir_ / "new/a", "new");
    Pack(dir_ / "old", dir_ / "dat.dat");
    std::string got;
    ASSERT_TRUE(ReadAll("dat\\a", &got));
    EXPECT_EQ(got, "old");
    Pack(dir_ / "new", dir_ / "dat.dat");  // renamed into place; the cache holds the old file
    ASSERT_TRUE(ReadAll("dat\\a", &got));
    EXPECT_EQ(got, "old");
    CloseUnusedArchives();
    ASSERT_TRUE(ReadAll("dat\\a", &got));
    EXPECT_EQ(got, "new");
}

// A full cache makes room by closing the archives that no open file uses.
TEST_F(ArchiveTest, FullCacheClosesUnusedArchives) {
    for (int i = 0; i <= kArchiveCacheSlots; ++i) {
        const std::string n = std::to_string(i);
        WriteFile(dir_ / "src" / n / "a", "archive " + n);
        Pack(dir_ / "src" / n, dir_ / ("d" + n + ".dat"));
    }
    std::string got;
    for (int i = 0; i <= kArchiveCacheSlots; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_TRUE(ReadAll(("d" + n + "\\a").c_str(), &got)) << n;
        EXPECT_EQ(got, "archive " + n);
    }
}

// Compressed files decode into blocks kept from files closed before: files of other sizes
// open side by side and in turns must each read their own bytes, and closing the unused
// archives gives every kept block back.
TEST_F(ArchiveTest, CompressedFilesReadTheirOwnBytesWhateverBlocksTheyReuse) {
    const size_t sizes[] = {70000, 3000, 250000, 70000, 12};
    for (size_t i = 0; i < std::size(sizes); ++i)
        WriteFile(dir_ / "src" / ("f" + std::to_string(i)), Pattern(sizes[i], unsigned(i + 3)));
    packer::PackOptions lz;
    lz.method = packer::Method::Lz;
    Pack(dir_ / "src", dir_ / "dat.dat", lz);
    const int32_t before = GetAllocStats().count;
    for (int round = 0; round < 3; ++round) {
        // Each round opens all at once, reads them in turns a piece at a time, then closes them
        // in another order than they were opened.
        StreamHandle h[std::size(sizes)];
        std::string got[std::size(sizes)];
        for (size_t i = 0; i < std::size(sizes); ++i) {
            const size_t k = (i + round * 2) % std::size(sizes);
            h[k] = OpenViaFileTable(("dat\\f" + std::to_string(k)).c_str(), 0, 1);
            ASSERT_NE(h[k], 0);
        }
        for (bool more = true; more;) {
            more = false;
            for (size_t i = 0; i < std::size(sizes); ++i) {
                char buf[4096];
                const int64_t n = ReadViaFileTable(buf, 1, sizeof buf, h[i]);
                if (n > 0) got[i].append(buf, size_t(n)), more = true;
            }
        }
        for (size_t i = 0; i < std::size(sizes); ++i) {
            EXPECT_EQ(got[i], Pattern(sizes[i], unsigned(i + 3))) << "round " << round << " f" << i;
            EXPECT_EQ(CloseViaFileTable(h[(i * 3 + round) % std::size(sizes)]), 0);
        }
    }
    CloseUnusedArchives();
    EXPECT_EQ(GetAllocStats().count, before) << "blocks kept after the archives closed";
}

TEST_F(ArchiveTest, CachedArchivesCloseWhenUnused) {
    WriteFile(dir_ / "src/a", "x");
    Pack(dir_ / "src", dir_ / "dat.dat");
    StreamHandle h = OpenViaFileTable("dat\\a", 0, 1);
    ASSERT_NE(h, 0);
    CloseUnusedArchives();  // still in use: stays
    char c;
    EXPECT_EQ(ReadViaFileTable(&c, 1, 1, h), 1);
    CloseViaFileTable(h);
    CloseUnusedArchivesAtExit();
    std::string got;
    ASSERT_TRUE(ReadAll("dat\\a", &got));  // reopened on demand
    EXPECT_EQ(got, "x");
}

}  // namespace

namespace archive_test {
namespace {

using namespace tessra;
using namespace tessra::sjis_literals;

// Makes `levels` nested directories of `width`-character names below the current directory and
// enters the deepest, one step at a time (a whole path may be longer than mkdir takes).
void EnterDeepDirectory(int levels, size_t width) {
    const std::string name(width, 'd');
    for (int i = 0; i < levels; ++i) {
        ASSERT_EQ(::mkdir(name.c_str(), 0755), 0);
        ASSERT_EQ(::chdir(name.c_str()), 0);
    }
}
// Leaves and removes what EnterDeepDirectory made.
void LeaveDeepDirectory(int levels, size_t width) {
    const std::string name(width, 'd');
    for (int i = 0; i < levels; ++i) {
        ASSERT_EQ(::chdir(".."), 0);
        std::error_code ignored;
        fs::remove_all(name, ignored);
    }
}

// A game installed deeper than the old 260-character buffers still finds its archives.
TEST_F(ArchiveTest, DeepStartDirectoryKeepsItsArchives) {
    EnterDeepDirectory(4, 100);
    plat::ClearPathCache();
    InitArchiveFileState();
    SetArchiveExtensionBody("dat");
    SetArchiveKeyBody(packer::GameKeyText().c_str());
    const fs::path here = fs::current_path();
    ASSERT_GT(here.string().size(), 400u);
    WriteFile(here / "src/a.txt", "archived");
    WriteFile(here / "dat/a.txt", "plain");
    Pack(here / "src", here / "dat.dat");
    std::string got;
    EXPECT_TRUE(ReadAll("dat\\a.txt", &got));
    EXPECT_EQ(got, "archived");
    InitArchiveFileState();
    LeaveDeepDirectory(4, 100);
}

// Past the platform's limit the archives cannot be looked for; the log says why.
TEST_F(ArchiveTest, DirectoryPastThePathLimitIsLogged) {
    ASSERT_EQ(SetLogStartDirectory(dir_.c_str()), 0);
    SetLogEnabledBody(1);
    InitLogFile();
    const int levels = static_cast<int>(kFilePathMax / 200) + 1;
    EnterDeepDirectory(levels, 200);
    plat::ClearPathCache();
    EXPECT_EQ(OpenViaFileTable("dat\\a.txt", 0, 1), 0);
    LeaveDeepDirectory(levels, 200);
    SetLogStartDirectory(nullptr);
    std::ifstream in(dir_ / "Log.txt", std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(log.find("カレントディレクトリのパスが長すぎるためアーカイブを探せません"_sjis),
              std::string::npos)
        << log;
}

}  // namespace
}  // namespace archive_test
