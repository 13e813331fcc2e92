#include <array>
#include <cstring>
#include <vector>

#include "engine/base/archive.h"
#include "tools/packer/packer.h"

namespace packer {

namespace {

constexpr uint32_t kMinMatch = 4;
constexpr uint32_t kMaxMatch = 4 + 8191;     // 5 bits in the code byte, 8 in the extension
constexpr uint32_t kMaxDistance = 1u << 24;  // three distance bytes
constexpr int kChainDepth = 96;
constexpr int kHashBits = 16;

uint32_t Hash4(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return (v * 2654435761u) >> (32 - kHashBits);
}

uint32_t DistanceBytes(uint32_t distance) {
    const uint32_t field = distance - 1;
    return field < 0x100 ? 1 : field < 0x10000 ? 2 : 3;
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> EncodeArchiveLz(const uint8_t* data, uint32_t size) {
    // The rarest byte is the escape: each literal occurrence costs two bytes.
    std::array<uint64_t, 256> counts{};
    for (uint32_t i = 0; i < size; ++i) ++counts[data[i]];
    uint8_t escape = 0;
    for (int b = 1; b < 256; ++b)
        if (counts[b] < counts[escape]) escape = static_cast<uint8_t>(b);

    std::vector<uint8_t> out(tessra::kArchiveLzHeadSize, 0);
    out.reserve(size / 2 + 64);
    std::vector<int64_t> head(size_t{1} << kHashBits, -1);
    std::vector<int64_t> previous(size, -1);
    auto insert = [&](uint32_t at) {
        if (at + kMinMatch > size) return;
        const uint32_t h = Hash4(data + at);
        previous[at] = head[h];
        head[h] = at;
    };
    auto literalCost = [&](uint32_t at, uint32_t length) {
        uint32_t cost = 0;
        for (uint32_t k = 0; k < length; ++k) cost += data[at + k] == escape ? 2 : 1;
        return cost;
    };

    uint32_t i = 0;
    while (i < size) {
        uint32_t bestLength = 0, bestDistance = 0;
        if (i + kMinMatch <= size) {
            const uint32_t limit = std::min(kMaxMatch, size - i);
            int64_t candidate = head[Hash4(data + i)];
            for (int depth = 0; candidate >= 0 && depth < kChainDepth; ++depth) {
                const uint32_t distance = i - static_cast<uint32_t>(candidate);
                if (distance > kMaxDistance) break;
                uint32_t length = 0;
                // Forward comparison, so an overlapping source works as the decoder copies.
                while (length < limit && data[candidate + length] == data[i + length]) ++length;
                if (length > bestLength) {
                    bestLength = length;
                    bestDistance = distance;
                    if (length == limit) break;
                }
                candidate = previous[candidate];
            }
        }
        if (bestLength >= kMinMatch) {
            const uint32_t extra = bestLength - kMinMatch;
            const uint32_t tokenCost = 2 + (extra >= 32 ? 1 : 0) + DistanceBytes(bestDistance);
            if (tokenCost < literalCost(i, bestLength)) {
                const uint32_t dcode = DistanceBytes(bestDistance) - 1;
                uint32_t c = ((extra & 0x1F) << 3) | (extra >= 32 ? 4 : 0) | dcode;
                if (c >= escape) c += 1;  // the decoder takes one off codes above the escape
                out.push_back(escape);
                out.push_back(static_cast<uint8_t>(c));
                if (extra >= 32) out.push_back(static_cast<uint8_t>(extra >> 5));
                const uint32_t field = bestDistance - 1;
                for (uint32_t k = 0; k <= dcode; ++k)
                    out.push_back(static_cast<uint8_t>(field >> (8 * k)));
                for (uint32_t k = 0; k < bestLength; ++k) insert(i + k);
                i += bestLength;
                continue;
            }
        }
        out.push_back(data[i]);
        if (data[i] == escape) out.push_back(escape);
        insert(i);
        ++i;
    }
    Put32(out, 0, size);
    Put32(out, 4, static_cast<uint32_t>(out.size()));
    out[8] = escape;
    return out;
}

}  // namespace packer
