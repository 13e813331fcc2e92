// Private to the image decoders: exact reads and sizes over a StreamIo, counted in bytes so
// that the file, memory and archive sets answer alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "engine/base/memory.h"
#include "engine/base/stream.h"

namespace tessra {

// Bytes from the current position to the end; the position is kept. -1 on failure.
inline int64_t StreamRemaining(StreamIo* s) {
    const int64_t here = s->Tell(s->handle);
    if (here < 0 || s->Seek(s->handle, 0, kSeekEnd) != 0) return -1;
    const int64_t end = s->Tell(s->handle);
    if (here > INT32_MAX || s->Seek(s->handle, static_cast<int32_t>(here), kSeekSet) != 0)
        return -1;
    return end < here ? -1 : end - here;
}

// Reads up to n bytes; the number read.
inline size_t StreamReadSome(StreamIo* s, void* buffer, size_t n) {
    if (n == 0) return 0;
    const int64_t got = s->Read(buffer, 1, n, s->handle);
    return got <= 0 ? 0 : static_cast<size_t>(got);
}

inline bool StreamReadExact(StreamIo* s, void* buffer, size_t n) {
    return StreamReadSome(s, buffer, n) == n;
}

inline bool StreamSeekTo(StreamIo* s, int64_t offset) {
    return offset >= 0 && offset <= INT32_MAX &&
           s->Seek(s->handle, static_cast<int32_t>(offset), kSeekSet) == 0;
}

// Whether a compressed picture of `inputBytes` bytes may hold width x height pixels: no more
// than `pixelsPerByte` for each byte (what its coding can describe), with room for any small
// picture. Tiny files that claim vast pictures are refused before anything is allocated.
inline bool AreaFitsInput(int64_t width, int64_t height, int64_t inputBytes,
                          int64_t pixelsPerByte) {
    constexpr int64_t kAlwaysAllowed = int64_t{1} << 20;
    return width > 0 && height > 0 && inputBytes >= 0 &&
           width * height <= inputBytes * pixelsPerByte + kAlwaysAllowed;
}

inline uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A tracked block freed at scope end unless released.
class TaggedBuffer {
public:
    TaggedBuffer() = default;
    explicit TaggedBuffer(size_t size, bool zeroed = false)
        : data_(static_cast<uint8_t*>(zeroed ? AllocTaggedZeroed(size, __FILE__, __LINE__)
                                             : AllocTagged(size, __FILE__, __LINE__))) {}
    ~TaggedBuffer() { FreeTagged(data_); }
    TaggedBuffer(const TaggedBuffer&) = delete;
    TaggedBuffer& operator=(const TaggedBuffer&) = delete;
    uint8_t* get() const { return data_; }
    void swap(TaggedBuffer& other) { std::swap(data_, other.data_); }
    uint8_t* release() {
        uint8_t* d = data_;
        data_ = nullptr;
        return d;
    }

private:
    uint8_t* data_ = nullptr;
};

}  // namespace tessra
