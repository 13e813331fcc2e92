// The conversion streams: our own block decoders for the ADPCM kinds and G.711, libmpg123 in
// feed mode for MPEG audio, and a sample converter for the extensible format's PCM.
#include "platform/acm/acm.h"

#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace plat {
namespace {

struct Stream {
    WORD tag;
    int channels;
    uint32_t rate;
    uint32_t blockAlign;       // source bytes per block
    uint32_t samplesPerBlock;  // frames per source block (ADPCM)
    int16_t coef1[256];
    int16_t coef2[256];
    int coefCount;
    mpg123_handle* mp3;
    uint32_t sampleBytes;  // extensible: the container of one sample, 1..4 bytes
    bool floatSamples;     // extensible: 32-bit float instead of integer PCM
};

const int kImaIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
const int kImaStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
const int kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                               768, 614, 512, 409, 307, 230, 230, 230};
// The largest step size kept: 768 (the largest adaptation) times it still fits an int.
constexpr int kMaxMsDelta = INT32_MAX / 768;
const int16_t kMsCoef1[7] = {256, 512, 0, 192, 240, 460, 392};
const int16_t kMsCoef2[7] = {0, -256, 0, 64, 0, -208, -232};

int16_t Read16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

bool Mp3Ready() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = mpg123_init() == MPG123_OK; });
    return ready;
}

// Frames per block and the checks on a source format; false when no decoder here reads it.
bool Describe(const WAVEFORMATEX* f, Stream* s) {
    if (f == nullptr || f->nChannels < 1 || f->nChannels > 2 || f->nSamplesPerSec == 0 ||
        f->nSamplesPerSec > 192000)
        return false;
    s->tag = f->wFormatTag;
    s->channels = f->nChannels;
    s->rate = f->nSamplesPerSec;
    s->blockAlign = f->nBlockAlign;
    const auto* extra = reinterpret_cast<const uint8_t*>(f) + sizeof(WAVEFORMATEX);
    const uint32_t ch = static_cast<uint32_t>(s->channels);
    switch (f->wFormatTag) {
        case WAVE_FORMAT_ALAW:
        case WAVE_FORMAT_MULAW:
            if (f->wBitsPerSample != 8 || f->nBlockAlign != ch) return false;
            s->samplesPerBlock = 1;
            return true;
        case WAVE_FORMAT_IMA_ADPCM:
            if (f->wBitsPerSample != 4 || f->nBlockAlign <= 4 * ch ||
                (f->nBlockAlign - 4 * ch) % (4 * ch))
                return false;
            s->samplesPerBlock = (f->nBlockAlign - 4 * ch) * 2 / ch + 1;
            return true;
        case WAVE_FORMAT_ADPCM: {
            if (f->wBitsPerSample != 4 || f->nBlockAlign < 7 * ch) return false;
            s->samplesPerBlock = (f->nBlockAlign - 7 * ch) * 2 / ch + 2;
            s->coefCount = 7;
            std::copy(kMsCoef1, kMsCoef1 + 7, s->coef1);
            std::copy(kMsCoef2, kMsCoef2 + 7, s->coef2);
            if (f->cbSize >= 4) {
                const uint32_t perBlock = static_cast<uint32_t>(extra[0] | (extra[1] << 8));
                const int count = extra[2] | (extra[3] << 8);
                if (perBlock >= 2 && perBlock < s->samplesPerBlock) s->samplesPerBlock = perBlock;
                if (count >= 1 && count <= 256 && f->cbSize >= 4 + 4 * count) {
                    s->coefCount = count;
                    for (int i = 0; i < count; ++i) {
                        s->coef1[i] = Read16(extra + 4 + 4 * i);
                        s->coef2[i] = Read16(extra + 6 + 4 * i);
                    }
                }
            }
            return true;
        }
        case WAVE_FORMAT_MPEGLAYER3:
            return f->nBlockAlign >= 1;
        case WAVE_FORMAT_EXTENSIBLE: {
            if (f->cbSize < sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX)) return false;
            const auto* x = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(f);
            const uint32_t bits = f->wBitsPerSample;
            s->floatSamples =
                std::equal(x->SubFormat, x->SubFormat + 16, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT);
            if (s->floatSamples) {
                if (bits != 32) return false;
            } else if (!std::equal(x->SubFormat, x->SubFormat + 16, KSDATAFORMAT_SUBTYPE_PCM) ||
                       (bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
                return false;
            }
            // The valid bits sit at the top of the container; fewer than the container holds
            // change nothing here, more than it holds is no format.
            if (x->wValidBitsPerSample > bits) return false;
            s->sampleBytes = bits / 8;
            if (f->nBlockAlign != s->sampleBytes * ch) return false;
            s->samplesPerBlock = 1;
            return true;
        }
        default:
            return false;
    }
}

// One sample of the extensible format as 16 bits: integer PCM keeps its top 16 bits (8-bit
// samples are unsigned and widen), float is scaled by 32768 and clipped.
int16_t ConvertSample(const Stream& s, const uint8_t* in) {
    if (s.floatSamples) {
        float v;
        std::memcpy(&v, in, sizeof v);
        if (std::isnan(v)) return 0;
        const float scaled = std::clamp(v * 32768.0f, -32768.0f, 32767.0f);
        return static_cast<int16_t>(std::lrint(scaled));
    }
    switch (s.sampleBytes) {
        case 1:
            return static_cast<int16_t>((in[0] - 128) * 256);
        case 2:
            return Read16(in);
        default:  // 24 and 32 bits: the two most significant bytes
            return Read16(in + s.sampleBytes - 2);
    }
}

uint32_t DecodeImaBlock(const Stream& s, const uint8_t* in, int16_t* out) {
    const int ch = s.channels;
    int predictor[2], index[2];
    for (int c = 0; c < ch; ++c) {
        predictor[c] = Read16(in + 4 * c);
        index[c] = std::clamp<int>(in[4 * c + 2], 0, 88);
        out[c] = static_cast<int16_t>(predictor[c]);
    }
    const uint8_t* data = in + 4 * ch;
    const uint32_t words = (s.samplesPerBlock - 1) / 8;  // 4-byte words per channel
    for (uint32_t w = 0; w < words; ++w) {
        for (int c = 0; c < ch; ++c) {
            const uint8_t* word = data + (w * ch + c) * 4;
            for (int k = 0; k < 8; ++k) {
                const int nibble = (word[k / 2] >> ((k & 1) * 4)) & 0xF;
                const int step = kImaStepTable[index[c]];
                int diff = step >> 3;
                if (nibble & 4) diff += step;
                if (nibble & 2) diff += step >> 1;
                if (nibble & 1) diff += step >> 2;
                predictor[c] =
                    std::clamp(predictor[c] + ((nibble & 8) ? -diff : diff), -32768, 32767);
                index[c] = std::clamp(index[c] + kImaIndexTable[nibble], 0, 88);
                out[(1 + w * 8 + k) * ch + c] = static_cast<int16_t>(predictor[c]);
            }
        }
    }
    return s.samplesPerBlock;
}

uint32_t DecodeMsBlock(const Stream& s, const uint8_t* in, int16_t* out) {
    const int ch = s.channels;
    int coef1[2], coef2[2], delta[2], s1[2], s2[2];
    for (int c = 0; c < ch; ++c) {
        const int p = std::min<int>(in[c], s.coefCount - 1);
        coef1[c] = s.coef1[p];
        coef2[c] = s.coef2[p];
        delta[c] = Read16(in + ch + 2 * c);
        s1[c] = Read16(in + 3 * ch + 2 * c);
        s2[c] = Read16(in + 5 * ch + 2 * c);
        out[c] = static_cast<int16_t>(s2[c]);
        out[ch + c] = static_cast<int16_t>(s1[c]);
    }
    const uint8_t* data = in + 7 * ch;
    const uint32_t nibbles = (s.samplesPerBlock - 2) * static_cast<uint32_t>(ch);
    for (uint32_t i = 0; i < nibbles; ++i) {
        const int c = static_cast<int>(i % static_cast<uint32_t>(ch));
        const int nibble = (data[i / 2] >> ((i & 1) ? 0 : 4)) & 0xF;
        const int signedNibble = nibble >= 8 ? nibble - 16 : nibble;
        const int predicted = (s1[c] * coef1[c] + s2[c] * coef2[c]) / 256;
        const int sample = std::clamp(predicted + signedNibble * delta[c], -32768, 32767);
        s2[c] = s1[c];
        s1[c] = sample;
        // A run of large steps grows the step size by up to three times per sample; held
        // where the next product still fits, a damaged block only clips.
        delta[c] = std::clamp((kMsAdaptation[nibble] * delta[c]) / 256, 16, kMaxMsDelta);
        out[2 * ch + i] = static_cast<int16_t>(sample);
    }
    return s.samplesPerBlock;
}

MMRESULT ConvertMp3(Stream* s, ACMSTREAMHEADER* h) {
    if (h->cbSrcLength > 0 && mpg123_feed(s->mp3, h->pbSrc, h->cbSrcLength) != MPG123_OK)
        return ACMERR_NOTPOSSIBLE;
    h->cbSrcLengthUsed = h->cbSrcLength;
    size_t done = 0;
    while (done < h->cbDstLength) {
        size_t got = 0;
        const int result = mpg123_read(s->mp3, h->pbDst + done, h->cbDstLength - done, &got);
        done += got;
        if (result == MPG123_NEW_FORMAT || (result == MPG123_OK && got > 0)) continue;
        break;  // needs more input, or damage it cannot decode past
    }
    h->cbDstLengthUsed = static_cast<DWORD>(done);
    return MMSYSERR_NOERROR;
}

}  // namespace

int16_t DecodeALaw(uint8_t code) {
    const int a = code ^ 0x55;
    int t = (a & 0x0F) << 4;
    const int segment = (a & 0x70) >> 4;
    if (segment == 0) {
        t += 8;
    } else {
        t += 0x108;
        t <<= segment - 1;
    }
    return static_cast<int16_t>((a & 0x80) ? t : -t);
}

int16_t DecodeMuLaw(uint8_t code) {
    const int u = ~code & 0xFF;
    int t = ((u & 0x0F) << 3) + 0x84;
    t <<= (u & 0x70) >> 4;
    return static_cast<int16_t>((u & 0x80) ? (0x84 - t) : (t - 0x84));
}

MMRESULT acmFormatSuggest(void*, const WAVEFORMATEX* source, WAVEFORMATEX* destination,
                          DWORD destinationSize, DWORD) {
    if (destination == nullptr || destinationSize < sizeof(WAVEFORMATEX))
        return MMSYSERR_INVALPARAM;
    Stream s{};
    if (!Describe(source, &s)) return ACMERR_NOTPOSSIBLE;
    destination->wFormatTag = WAVE_FORMAT_PCM;
    destination->nChannels = static_cast<WORD>(s.channels);
    destination->nSamplesPerSec = s.rate;
    destination->wBitsPerSample = 16;
    destination->nBlockAlign = static_cast<WORD>(2 * s.channels);
    destination->nAvgBytesPerSec = s.rate * destination->nBlockAlign;
    destination->cbSize = 0;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* stream, void*, const WAVEFORMATEX* source,
                       const WAVEFORMATEX* destination, void*, DWORD_PTR, DWORD_PTR, DWORD) {
    if (stream == nullptr || destination == nullptr) return MMSYSERR_INVALPARAM;
    *stream = nullptr;
    auto* s = new (std::nothrow) Stream{};
    if (s == nullptr) return MMSYSERR_NOMEM;
    WAVEFORMATEX suggested{};
    if (!Describe(source, s) ||
        acmFormatSuggest(nullptr, source, &suggested, sizeof suggested, 0) != 0 ||
        std::memcmp(&suggested, destination, sizeof suggested - sizeof(WORD)) != 0) {
        delete s;
        return ACMERR_NOTPOSSIBLE;
    }
    if (s->tag == WAVE_FORMAT_MPEGLAYER3) {
        int error = 0;
        s->mp3 = Mp3Ready() ? mpg123_new(nullptr, &error) : nullptr;
        // Every decoded sample is kept (no gapless trimming), so the length is frames x samples.
        if (s->mp3 == nullptr || mpg123_param(s->mp3, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0) ||
            mpg123_param(s->mp3, MPG123_ADD_FLAGS, MPG123_QUIET, 0) || mpg123_format_none(s->mp3) ||
            mpg123_format(s->mp3, static_cast<long>(s->rate),
                          s->channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16) ||
            mpg123_open_feed(s->mp3) != MPG123_OK) {
            if (s->mp3 != nullptr) mpg123_delete(s->mp3);
            delete s;
            return ACMERR_NOTPOSSIBLE;
        }
    }
    *stream = reinterpret_cast<HACMSTREAM>(s);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD) {
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->cbStruct < sizeof(ACMSTREAMHEADER) ||
        (header->cbSrcLength > 0 && header->pbSrc == nullptr) || header->pbDst == nullptr)
        return MMSYSERR_INVALPARAM;
    header->fdwStatus |= ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD) {
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr) return MMSYSERR_INVALPARAM;
    header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* h, DWORD) {
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (h == nullptr) return MMSYSERR_INVALPARAM;
    if (!(h->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    auto* s = reinterpret_cast<Stream*>(stream);
    h->cbSrcLengthUsed = 0;
    h->cbDstLengthUsed = 0;
    if (s->tag == WAVE_FORMAT_MPEGLAYER3) return ConvertMp3(s, h);
    const uint32_t outPerBlock = s->samplesPerBlock * static_cast<uint32_t>(s->channels) * 2;
    const uint32_t blocks = std::min(h->cbSrcLength / s->blockAlign, h->cbDstLength / outPerBlock);
    auto* out = reinterpret_cast<int16_t*>(h->pbDst);
    for (uint32_t b = 0; b < blocks; ++b) {
        const uint8_t* in = h->pbSrc + b * s->blockAlign;
        int16_t* o = out + b * outPerBlock / 2;
        switch (s->tag) {
            case WAVE_FORMAT_ALAW:
                for (int c = 0; c < s->channels; ++c) o[c] = DecodeALaw(in[c]);
                break;
            case WAVE_FORMAT_MULAW:
                for (int c = 0; c < s->channels; ++c) o[c] = DecodeMuLaw(in[c]);
                break;
            case WAVE_FORMAT_IMA_ADPCM:
                DecodeImaBlock(*s, in, o);
                break;
            case WAVE_FORMAT_ADPCM:
                DecodeMsBlock(*s, in, o);
                break;
            case WAVE_FORMAT_EXTENSIBLE:
                for (int c = 0; c < s->channels; ++c)
                    o[c] = ConvertSample(*s, in + c * s->sampleBytes);
                break;
            default:
                return ACMERR_NOTPOSSIBLE;
        }
    }
    h->cbSrcLengthUsed = blocks * s->blockAlign;
    h->cbDstLengthUsed = blocks * outPerBlock;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM stream, DWORD bytes, DWORD* outputBytes, DWORD) {
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (outputBytes == nullptr) return MMSYSERR_INVALPARAM;
    const auto* s = reinterpret_cast<const Stream*>(stream);
    const uint64_t frameBytes = uint64_t{2} * static_cast<uint64_t>(s->channels);
    uint64_t out;
    if (s->tag == WAVE_FORMAT_MPEGLAYER3) {
        // The smallest frame is 24 bytes (MPEG-2 Layer III, 8 kbit/s at 24 kHz); each gives at
        // most 1152 samples.
        out = (uint64_t{bytes} / 24 + 2) * 1152 * frameBytes;
    } else {
        const uint64_t blocks = (uint64_t{bytes} + s->blockAlign - 1) / s->blockAlign;
        out = blocks * s->samplesPerBlock * frameBytes;
    }
    *outputBytes = static_cast<DWORD>(std::min<uint64_t>(out, UINT32_MAX));
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM stream, DWORD) {
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    auto* s = reinterpret_cast<Stream*>(stream);
    if (s->mp3 != nullptr) mpg123_delete(s->mp3);
    delete s;
    return MMSYSERR_NOERROR;
}

}  // namespace plat
