// The software mixer: every playing buffer, at its own rate and volume, plus the pulled sources,
// summed in 32 bits into 44,100 Hz 16-bit stereo.
#include <algorithm>
#include <cstring>

#include "platform/dsound/internal.h"

namespace plat::detail {
namespace {

constexpr int kChunkFrames = 512;
constexpr uint64_t kOne = uint64_t{1} << 32;

// One frame of the buffer as a left and a right 16-bit value.
template <int Bits, int Channels>
inline void ReadFrame(const uint8_t* data, uint32_t frame, int32_t* left, int32_t* right) {
    if constexpr (Bits == 16) {
        const uint8_t* p = data + static_cast<size_t>(frame) * 2 * Channels;
        *left = static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
        *right =
            Channels == 2 ? static_cast<int16_t>(static_cast<uint16_t>(p[2] | (p[3] << 8))) : *left;
    } else {
        const uint8_t* p = data + static_cast<size_t>(frame) * Channels;
        *left = (static_cast<int32_t>(p[0]) - 128) * 256;
        *right = Channels == 2 ? (static_cast<int32_t>(p[1]) - 128) * 256 : *left;
    }
}

// Mixes up to `frames` frames of one buffer into `acc`; stops a one-shot buffer at its end and
// wraps a looping one.
template <int Bits, int Channels>
void MixBuffer(BufferState* b, int32_t* acc, int frames) {
    const uint8_t* data = b->bytes->data();
    const uint32_t count = b->frames;
    const uint64_t step = (static_cast<uint64_t>(b->format.nSamplesPerSec) << 32) / kMixerRate;
    const uint64_t end = static_cast<uint64_t>(count) << 32;
    const int32_t gain = b->gain;
    uint64_t pos = b->position;
    for (int i = 0; i < frames; ++i) {
        if (pos >= end) {
            if (!b->looping) {
                b->playing = false;
                pos = 0;
                break;
            }
            pos %= end;
        }
        const uint32_t frame = static_cast<uint32_t>(pos >> 32);
        const uint32_t frac = static_cast<uint32_t>(pos) >> 16;
        int32_t left, right;
        ReadFrame<Bits, Channels>(data, frame, &left, &right);
        if (frac != 0) {
            uint32_t next = frame + 1;
            if (next >= count) next = b->looping ? 0 : frame;
            int32_t left1, right1;
            ReadFrame<Bits, Channels>(data, next, &left1, &right1);
            left += static_cast<int32_t>((static_cast<int64_t>(left1 - left) * frac) >> 16);
            right += static_cast<int32_t>((static_cast<int64_t>(right1 - right) * frac) >> 16);
        }
        if (gain != 65536) {
            left = static_cast<int32_t>((static_cast<int64_t>(left) * gain) >> 16);
            right = static_cast<int32_t>((static_cast<int64_t>(right) * gain) >> 16);
        }
        acc[2 * i] += left;
        acc[2 * i + 1] += right;
        pos += step;
    }
    if (b->playing && pos >= end) {
        if (b->looping) {
            pos %= end;
        } else {
            b->playing = false;
            pos = 0;
        }
    }
    b->position = pos;
}

void MixOne(BufferState* b, int32_t* acc, int frames) {
    const bool stereo = b->format.nChannels == 2;
    if (b->format.wBitsPerSample == 16) {
        stereo ? MixBuffer<16, 2>(b, acc, frames) : MixBuffer<16, 1>(b, acc, frames);
    } else {
        stereo ? MixBuffer<8, 2>(b, acc, frames) : MixBuffer<8, 1>(b, acc, frames);
    }
}

inline int16_t Clip(int32_t v) {
    return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

}  // namespace

void MixLocked(DeviceState* device, int16_t* out, int frames) {
    int32_t acc[kChunkFrames * 2];
    int16_t pulled[kChunkFrames * 2];
    while (frames > 0) {
        const int n = std::min(frames, kChunkFrames);
        std::memset(acc, 0, sizeof(int32_t) * 2 * n);
        if (device != nullptr) {
            for (BufferState* b : device->buffers) {
                if (b->playing && !b->primary && b->frames > 0) MixOne(b, acc, n);
            }
            for (const PulledSource& s : device->sources) {
                std::memset(pulled, 0, sizeof(int16_t) * 2 * n);
                s.fill(s.context, pulled, n);
                for (int i = 0; i < 2 * n; ++i) acc[i] += pulled[i];
            }
        }
        for (int i = 0; i < 2 * n; ++i) out[i] = Clip(acc[i]);
        out += 2 * n;
        frames -= n;
    }
}

}  // namespace plat::detail
