// The compressed files the tests make: MP3 with LAME, IMA and MS ADPCM with encoders of our
// own. Apart from the plain files, so that binaries without LAME can share those.
#include <lame/lame.h>

#include <algorithm>
#include <cmath>

#include "engine/sound/sound_files.h"
#include "platform/acm/acm.h"

namespace tessra::testsnd {

Bytes EncodeMp3(int channels, int rate, const std::vector<int16_t>& pcm, int* frames) {
    lame_global_flags* gf = lame_init();
    lame_set_num_channels(gf, channels);
    lame_set_in_samplerate(gf, rate);
    lame_set_out_samplerate(gf, rate);
    lame_set_brate(gf, 128);
    lame_set_mode(gf, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_bWriteVbrTag(gf, 0);
    EXPECT_EQ(lame_init_params(gf), 0);
    const int n = static_cast<int>(pcm.size()) / channels;
    Bytes out(static_cast<size_t>(n) * 2 + 20000);
    int size = channels == 2
                   ? lame_encode_buffer_interleaved(gf, const_cast<short*>(pcm.data()), n,
                                                    out.data(), static_cast<int>(out.size()))
                   : lame_encode_buffer(gf, pcm.data(), pcm.data(), n, out.data(),
                                        static_cast<int>(out.size()));
    size += lame_encode_flush(gf, out.data() + size, static_cast<int>(out.size()) - size);
    *frames = lame_get_frameNum(gf);
    lame_close(gf);
    out.resize(static_cast<size_t>(size));
    return out;
}

namespace {

// ADPCM encoders of our own, so the files are known bit for bit.
struct ImaEncoder {
    int predictor = 0, index = 0;
    uint8_t Nibble(int sample) {
        static const int steps[89] = {
            7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,
            23,    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,
            73,    80,    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,
            230,   253,   279,   307,   337,   371,   408,   449,   494,   544,   598,   658,
            724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
            2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,
            7132,  7845,  8630,  9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350,
            22385, 24623, 27086, 29794, 32767};
        static const int adjust[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
        const int step = steps[index];
        int diff = sample - predictor;
        uint8_t nibble = 0;
        if (diff < 0) {
            nibble = 8;
            diff = -diff;
        }
        int delta = step >> 3;
        if (diff >= step) {
            nibble |= 4;
            diff -= step;
            delta += step;
        }
        if (diff >= step >> 1) {
            nibble |= 2;
            diff -= step >> 1;
            delta += step >> 1;
        }
        if (diff >= step >> 2) {
            nibble |= 1;
            delta += step >> 2;
        }
        predictor = std::clamp(predictor + ((nibble & 8) ? -delta : delta), -32768, 32767);
        index = std::clamp(index + adjust[nibble], 0, 88);
        return nibble;
    }
};

// IMA ADPCM mono: 4-byte header, then 8 samples per 4-byte word.

}  // namespace

Bytes ImaWave(const std::vector<int16_t>& pcm, int rate, int blockAlign) {
    const int perBlock = (blockAlign - 4) * 2 + 1;
    Bytes data;
    ImaEncoder e;
    for (size_t at = 0; at < pcm.size(); at += static_cast<size_t>(perBlock)) {
        e.predictor = pcm[at];
        data.push_back(static_cast<uint8_t>(e.predictor));
        data.push_back(static_cast<uint8_t>(e.predictor >> 8));
        data.push_back(static_cast<uint8_t>(e.index));
        data.push_back(0);
        for (int i = 1; i < perBlock; i += 2) {
            auto sample = [&](int k) { return at + k < pcm.size() ? pcm[at + k] : 0; };
            const uint8_t lo = e.Nibble(sample(i));
            const uint8_t hi = e.Nibble(sample(i + 1));
            data.push_back(static_cast<uint8_t>(lo | hi << 4));
        }
    }
    WaveSpec spec;
    spec.formatTag = plat::WAVE_FORMAT_IMA_ADPCM;
    spec.rate = rate;
    spec.pcm = data;
    spec.fmtSize = 20;
    Bytes file = MakeWave(spec);
    // Fix the fmt fields the PCM-shaped writer filled: block align, 4 bits, cbSize 2, samples
    // per block.
    auto put16 = [&](size_t at, int v) {
        file[at] = static_cast<uint8_t>(v);
        file[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    put16(20 + 8, rate * blockAlign / perBlock & 0xFFFF);
    put16(20 + 10, (rate * blockAlign / perBlock) >> 16);
    put16(20 + 12, blockAlign);
    put16(20 + 14, 4);
    put16(20 + 16, 2);
    put16(20 + 18, perBlock);
    return file;
}

// MS ADPCM mono with the first predictor pair (256, 0).
Bytes MsAdpcmWave(const std::vector<int16_t>& pcm, int rate, int blockAlign) {
    static const int adapt[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                  768, 614, 512, 409, 307, 230, 230, 230};
    const int perBlock = (blockAlign - 7) * 2 + 2;
    Bytes data;
    for (size_t at = 0; at < pcm.size(); at += static_cast<size_t>(perBlock)) {
        auto sample = [&](size_t k) { return at + k < pcm.size() ? pcm[at + k] : 0; };
        int delta = 16, s2 = sample(0), s1 = sample(1);
        data.push_back(0);
        for (int v : {delta, s1, s2}) {
            data.push_back(static_cast<uint8_t>(v));
            data.push_back(static_cast<uint8_t>(v >> 8));
        }
        uint8_t pending = 0;
        for (int i = 2; i < perBlock; ++i) {
            const int predicted = s1 * 256 / 256;
            int nibble =
                static_cast<int>(std::lround(static_cast<double>(sample(i) - predicted) / delta));
            nibble = std::clamp(nibble, -8, 7);
            const int value = std::clamp(predicted + nibble * delta, -32768, 32767);
            s2 = s1;
            s1 = value;
            const int code = nibble & 0xF;
            delta = std::max(16, adapt[code] * delta / 256);
            if (i % 2 == 0) {
                pending = static_cast<uint8_t>(code << 4);
            } else {
                data.push_back(static_cast<uint8_t>(pending | code));
            }
        }
        (void)s2;
    }
    WaveSpec spec;
    spec.formatTag = plat::WAVE_FORMAT_ADPCM;
    spec.rate = rate;
    spec.pcm = data;
    spec.fmtSize = 50;
    Bytes file = MakeWave(spec);
    auto put16 = [&](size_t at, int v) {
        file[at] = static_cast<uint8_t>(v);
        file[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    const int avg = rate * blockAlign / perBlock;
    put16(20 + 8, avg & 0xFFFF);
    put16(20 + 10, avg >> 16);
    put16(20 + 12, blockAlign);
    put16(20 + 14, 4);
    put16(20 + 16, 32);
    put16(20 + 18, perBlock);
    put16(20 + 20, 7);
    const int c1[7] = {256, 512, 0, 192, 240, 460, 392};
    const int c2[7] = {0, -256, 0, 64, 0, -208, -232};
    for (int i = 0; i < 7; ++i) {
        put16(20 + 22 + 4 * i, c1[i]);
        put16(20 + 24 + 4 * i, c2[i]);
    }
    return file;
}

}  // namespace tessra::testsnd
