// Damaged archives and LZ streams from a fixed seed: every case must fail or read cleanly,
// never touch memory it does not own (run under the sanitizer build).
#include <random>

#include "archive_test_util.h"

using namespace tessra;
using namespace archive_test;

namespace {

constexpr uint32_t kSeed = 20261210;

std::vector<uint8_t> Mutate(const std::vector<uint8_t>& base, std::mt19937& rng, size_t hotEnd) {
    std::vector<uint8_t> m = base;
    switch (rng() % 4) {
        case 0:  // truncated
            m.resize(rng() % m.size());
            break;
        case 1:  // a few bits flipped anywhere
            for (unsigned n = 1 + rng() % 4; n > 0; --n)
                m[rng() % m.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
            break;
        case 2:  // one bit flipped in the header or the tables
            m[rng() % std::min(hotEnd, m.size())] ^= static_cast<uint8_t>(1u << (rng() % 8));
            break;
        default:  // a random word over a field of the header or the tables
            if (hotEnd >= 4) {
                const size_t at = (rng() % (hotEnd - 3)) & ~size_t{3};
                const uint32_t v = rng() % 3 == 0 ? 0xFFFFFFFFu : rng();
                for (int i = 0; i < 4; ++i) m[at + i] ^= static_cast<uint8_t>(v >> (8 * i));
            }
            break;
    }
    return m;
}

TEST_F(ArchiveTest, DamagedArchivesFailCleanly) {
    std::string raw;
    for (int i = 0; i < 300; ++i) raw.push_back(static_cast<char>((i * 2654435761u) >> 13));
    WriteFile(dir_ / "src/a.png", Pattern(3000, 1));
    WriteFile(dir_ / "src/sub/b.bin", Pattern(500, 2));
    WriteFile(dir_ / "src/sub/deep/c.txt", "hello world hello world hello world");
    WriteFile(dir_ / "src/raw.bin", raw);
    fs::create_directories(dir_ / "src/emptydir");

    std::vector<std::vector<uint8_t>> variants;
    std::vector<size_t> hotEnds;
    for (auto [version, method] :
         {std::pair{3, packer::Method::Lz}, std::pair{2, packer::Method::Auto},
          std::pair{0, packer::Method::Store}}) {
        packer::PackOptions options;
        options.version = version;
        options.method = method;
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(packer::BuildArchive((dir_ / "src").string(), options, &bytes, &error))
            << error;
        variants.push_back(bytes);
        // The header block follows the header; data follows the block.
        uint8_t head[24];
        std::copy(bytes.begin(), bytes.begin() + 24, head);
        uint8_t key[12];
        MakeArchiveKey(packer::GameKeyText().c_str(), key);
        XorArchiveBytes(24, head, 0, key);
        hotEnds.push_back(head[8] | head[9] << 8 | head[10] << 16 | size_t{head[11]} << 24);
    }

    const char* names[] = {"pack\\a.png",   "pack\\sub\\b.bin", "pack\\sub\\deep\\c.txt",
                           "pack\\raw.bin", "pack\\sub\\none",  "pack\\emptydir\\x",
                           "pack\\sub"};
    std::mt19937 rng(kSeed);
    int opened = 0, refused = 0;
    for (int c = 0; c < 2400; ++c) {
        const size_t v = c % variants.size();
        std::vector<uint8_t> m = c < 3 ? variants[v] : Mutate(variants[v], rng, hotEnds[v]);
        {
            std::ofstream out(dir_ / "pack.dat", std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(m.data()),
                      static_cast<std::streamsize>(m.size()));
        }
        InitArchiveFileState();
        SetArchiveExtensionBody("dat");
        SetArchiveKeyBody(packer::GameKeyText().c_str());
        for (const char* name : names) {
            StreamHandle h = OpenViaFileTable(name, 0, 1);
            if (h == 0) {
                ++refused;
                continue;
            }
            ++opened;
            char buf[700];
            for (int k = 0; k < 20 && ReadViaFileTable(buf, 1, sizeof buf, h) > 0; ++k) {
            }
            SeekViaFileTable(h, static_cast<int32_t>(rng() % 5000) - 1000,
                             static_cast<int>(rng() % 3));
            EXPECT_GE(TellViaFileTable(h), 0);
            ReadViaFileTable(buf, 3, 100, h);
            EXPECT_EQ(CloseViaFileTable(h), 0);
        }
    }
    EXPECT_GT(opened, 0);
    EXPECT_GT(refused, 0);
}

TEST(ArchiveLzRobust, DamagedStreamsFailCleanly) {
    std::vector<std::vector<uint8_t>> streams;
    std::vector<uint32_t> sizes;
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::string s = Pattern(1500 * seed, seed);
        streams.push_back(packer::EncodeArchiveLz(reinterpret_cast<const uint8_t*>(s.data()),
                                                  static_cast<uint32_t>(s.size())));
        sizes.push_back(static_cast<uint32_t>(s.size()));
    }
    std::mt19937 rng(kSeed + 1);
    int failed = 0;
    for (int c = 0; c < 3000; ++c) {
        const size_t v = c % streams.size();
        std::vector<uint8_t> m = Mutate(streams[v], rng, 9);
        // Exactly as large as the entry says, so any overrun is seen by the sanitizer.
        std::vector<uint8_t> out(sizes[v]);
        const uint32_t length = static_cast<uint32_t>(m.size());
        int64_t r = DecodeArchiveLz(m.empty() ? nullptr : m.data(), length, out.data(), sizes[v]);
        EXPECT_TRUE(r == -1 || r == sizes[v]);
        if (r < 0) ++failed;
        // And trusting the damaged head's own sizes, when they are small enough to try.
        if (m.size() >= 9) {
            const uint32_t headSize = m[0] | m[1] << 8 | m[2] << 16 | uint32_t{m[3]} << 24;
            if (headSize <= (1u << 20)) {
                std::vector<uint8_t> exact(headSize);
                r = DecodeArchiveLz(m.data(), length, exact.data(), headSize);
                EXPECT_TRUE(r == -1 || r == headSize);
            }
        }
    }
    EXPECT_GT(failed, 0);
}

}  // namespace
