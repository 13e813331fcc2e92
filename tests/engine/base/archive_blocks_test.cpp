// The block forms of the archive's unscrambling and of the LZ decoder's match copy against
// the byte-at-a-time forms they replace: every key phase, every short distance, lengths
// around the block sizes and at random, and matches that end at the buffer's end.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "engine/base/archive.h"
#include "tools/packer/packer.h"

namespace {

using namespace tessra;

void XorByteByByte(size_t length, uint8_t* buffer, uint64_t filePosition, const uint8_t* key) {
    for (size_t i = 0; i < length; ++i) buffer[i] ^= key[(filePosition + i) % kArchiveKeyLength];
}

void CopyByteByByte(uint8_t* buffer, uint32_t at, uint32_t distance, uint32_t length) {
    for (uint32_t k = 0; k < length; ++k) buffer[at + k] = buffer[at + k - distance];
}

std::vector<uint8_t> RandomBytes(size_t n, std::mt19937& rng) {
    std::vector<uint8_t> v(n);
    for (uint8_t& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

TEST(ArchiveBlocks, UnscramblingMatchesTheByteForm) {
    std::mt19937 rng(12);
    uint8_t key[kArchiveKeyLength];
    MakeArchiveKey("velmora-key", key);
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 300; ++n) lengths.push_back(n);
    for (int r = 0; r < 20; ++r) lengths.push_back(rng() % 5000);
    for (uint64_t position = 0; position < 2 * kArchiveKeyLength; ++position)
        for (size_t offset = 0; offset < 3; ++offset)  // buffers at several alignments
            for (size_t length : lengths) {
                std::vector<uint8_t> got = RandomBytes(length + offset + 8, rng);
                std::vector<uint8_t> want = got;
                const uint64_t at = position + (uint64_t{rng()} << 8) * kArchiveKeyLength;
                XorArchiveBytes(length, got.data() + offset, at, key);
                XorByteByByte(length, want.data() + offset, at, key);
                ASSERT_EQ(got, want)
                    << "position " << at << " length " << length << " offset " << offset;
            }
}

TEST(ArchiveBlocks, MatchCopyMatchesTheByteForm) {
    std::mt19937 rng(42);
    constexpr uint32_t kSize = 2000;
    std::vector<uint32_t> distances;
    for (uint32_t d = 1; d <= 40; ++d) distances.push_back(d);
    for (uint32_t d : {63u, 64u, 100u, 255u, 256u, 257u, 1000u}) distances.push_back(d);
    const std::vector<uint8_t> start = RandomBytes(kSize, rng);
    for (uint32_t distance : distances) {
        std::vector<uint32_t> lengths;
        for (uint32_t n = 4; n <= 70; ++n) lengths.push_back(n);
        for (int r = 0; r < 12; ++r) lengths.push_back(4 + rng() % 900);
        for (uint32_t length : lengths) {
            // Somewhere in the middle, and ending exactly at the buffer's end or just before.
            const uint32_t ats[] = {std::max<uint32_t>(distance, 1000 - length / 2), kSize - length,
                                    kSize - length - 1, kSize - length - 15};
            for (uint32_t at : ats) {
                if (at < distance || at + length > kSize) continue;
                std::vector<uint8_t> got = start, want = start;
                CopyArchiveMatch(got.data(), at, distance, length, kSize);
                CopyByteByByte(want.data(), at, distance, length);
                // Bytes after the match may be scratch until the decoder writes them.
                ASSERT_TRUE(std::equal(got.begin(), got.begin() + at + length, want.begin()))
                    << "distance " << distance << " length " << length << " at " << at;
            }
        }
    }
}

// Decoded through the packer's encoder: runs of every short period and random data mixed,
// so that literal runs, escapes and matches of all kinds follow one another.
TEST(ArchiveBlocks, DecoderRoundTripsMixedData) {
    std::mt19937 rng(7);
    for (int c = 0; c < 40; ++c) {
        std::vector<uint8_t> data;
        while (data.size() < 20000) {
            const uint32_t period = 1 + rng() % 20, run = rng() % 600;
            std::vector<uint8_t> unit = RandomBytes(period, rng);
            for (uint32_t k = 0; k < run; ++k) data.push_back(unit[k % period]);
            std::vector<uint8_t> noise = RandomBytes(rng() % 80, rng);
            data.insert(data.end(), noise.begin(), noise.end());
            if (rng() % 4 == 0 && data.size() > 5000) {  // an earlier stretch again, far back
                const size_t from = rng() % (data.size() - 3000);
                const std::vector<uint8_t> again(data.begin() + from,
                                                 data.begin() + from + 1 + rng() % 2000);
                data.insert(data.end(), again.begin(), again.end());
            }
        }
        const auto packed =
            packer::EncodeArchiveLz(data.data(), static_cast<uint32_t>(data.size()));
        std::vector<uint8_t> out(data.size());
        ASSERT_EQ(DecodeArchiveLz(packed.data(), static_cast<uint32_t>(packed.size()), out.data(),
                                  static_cast<uint32_t>(out.size())),
                  static_cast<int64_t>(data.size()));
        ASSERT_EQ(out, data) << "case " << c;
    }
}

}  // namespace
