// The archive's LZ decoder alone. The head states the decoded size; the decoder must write
// exactly that many bytes or refuse, and never touch memory past it.
#include <vector>

#include "engine/base/archive.h"
#include "fuzz_support.h"

using namespace tessra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitOnce();
    if (size > UINT32_MAX) return 0;
    if (size < kArchiveLzHeadSize) {
        fuzz::Require(DecodeArchiveLz(data, uint32_t(size), nullptr, 0) < 0, "short head taken");
        return 0;
    }
    const uint32_t head = uint32_t{data[0]} | uint32_t{data[1]} << 8 | uint32_t{data[2]} << 16 |
                          uint32_t{data[3]} << 24;
    const int64_t stated = DecodeArchiveLz(data, uint32_t(size), nullptr, head);
    if (stated < 0) return 0;
    fuzz::Require(stated == head, "head check answers another size");
    // The stated size is the decoder's promise; 64 MB bounds what a fuzz input may ask for.
    if (stated > (int64_t{64} << 20)) return 0;
    std::vector<uint8_t> out(size_t(stated) + 1, 0xA5);
    const int64_t decoded = DecodeArchiveLz(data, uint32_t(size), out.data(), uint32_t(stated));
    fuzz::Require(decoded < 0 || decoded == stated, "decoded size differs from the stated one");
    fuzz::Require(out[size_t(stated)] == 0xA5, "decoder wrote past the stated size");
    return 0;
}
