// The conversion calls on their own: formats no decoder reads, whole blocks only, the bytes
// used on each side, and a size bound the conversion never exceeds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/acm/acm.h"

namespace {

using namespace plat;

struct ImaFormat {
    WAVEFORMATEX wfx;
    WORD samplesPerBlock;
};

// An extensible format block as common tools write it: 44.1 kHz, the speaker mask of mono or
// stereo.
WAVEFORMATEXTENSIBLE Extensible(int channels, int bits, int validBits, const BYTE* subFormat) {
    WAVEFORMATEXTENSIBLE x{};
    const WORD align = static_cast<WORD>(channels * bits / 8);
    x.Format = {WAVE_FORMAT_EXTENSIBLE,
                static_cast<WORD>(channels),
                44100,
                44100u * align,
                align,
                static_cast<WORD>(bits),
                22};
    x.wValidBitsPerSample = static_cast<WORD>(validBits);
    x.dwChannelMask = channels == 1 ? 0x4 : 0x3;
    std::memcpy(x.SubFormat, subFormat, 16);
    return x;
}

// Converts `source` whole and answers the 16-bit samples (empty when the stream will not open).
std::vector<int16_t> ConvertAll(const WAVEFORMATEX* format, std::vector<uint8_t> source) {
    WAVEFORMATEX out{};
    if (acmFormatSuggest(nullptr, format, &out, sizeof out, ACM_FORMATSUGGESTF_WFORMATTAG) != 0)
        return {};
    EXPECT_EQ(out.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(out.wBitsPerSample, 16);
    EXPECT_EQ(out.nChannels, format->nChannels);
    EXPECT_EQ(out.nSamplesPerSec, format->nSamplesPerSec);
    HACMSTREAM stream = nullptr;
    if (acmStreamOpen(&stream, nullptr, format, &out, nullptr, 0, 0, 0) != 0) return {};
    std::vector<int16_t> pcm(source.size());  // at least as many samples as there are bytes
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    h.pbSrc = source.data();
    h.cbSrcLength = static_cast<DWORD>(source.size());
    h.pbDst = reinterpret_cast<BYTE*>(pcm.data());
    h.cbDstLength = static_cast<DWORD>(pcm.size() * 2);
    EXPECT_EQ(acmStreamPrepareHeader(stream, &h, 0), 0u);
    EXPECT_EQ(acmStreamConvert(stream, &h, ACM_STREAMCONVERTF_BLOCKALIGN), 0u);
    EXPECT_EQ(h.cbSrcLengthUsed, source.size());
    pcm.resize(h.cbDstLengthUsed / 2);
    DWORD bound = 0;
    EXPECT_EQ(acmStreamSize(stream, h.cbSrcLength, &bound, ACM_STREAMSIZEF_SOURCE), 0u);
    EXPECT_EQ(bound, h.cbDstLengthUsed);
    acmStreamUnprepareHeader(stream, &h, 0);
    acmStreamClose(stream, 0);
    return pcm;
}

TEST(AcmTest, RefusesFormatsItCannotRead) {
    const WAVEFORMATEX refused[] = {
        {0x0160, 2, 44100, 16000, 2048, 0, 0},  // some other codec
        {WAVE_FORMAT_MULAW, 3, 8000, 24000, 3, 8, 0},
        {WAVE_FORMAT_ALAW, 1, 8000, 8000, 2, 8, 0},  // block align disagrees
        {WAVE_FORMAT_IMA_ADPCM, 1, 22050, 11100, 3, 4, 0},
    };
    for (const WAVEFORMATEX& f : refused) {
        WAVEFORMATEX out{};
        EXPECT_EQ(acmFormatSuggest(nullptr, &f, &out, sizeof out, ACM_FORMATSUGGESTF_WFORMATTAG),
                  ACMERR_NOTPOSSIBLE);
        HACMSTREAM stream = nullptr;
        EXPECT_EQ(acmStreamOpen(&stream, nullptr, &f, &out, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
        EXPECT_EQ(stream, nullptr);
    }
}

// The extensible format's integer PCM keeps the top 16 bits of each sample (8-bit samples are
// unsigned and widen); its float is scaled by 32768 and clipped.
TEST(AcmTest, ConvertsExtensiblePcmTo16Bits) {
    const int16_t values[] = {0, 1, -1, 256, -256, 12345, -12345, 32767, -32768};
    struct Case {
        const char* name;
        int bits, validBits;
        bool isFloat;
    };
    const Case cases[] = {
        {"8 bits", 8, 8, false},
        {"16 bits", 16, 16, false},
        {"24 bits", 24, 24, false},
        {"20 valid bits of 24", 24, 20, false},
        {"32 bits", 32, 32, false},
        {"32-bit float", 32, 32, true},
        {"no valid bits given", 24, 0, false},
    };
    for (const Case& c : cases) {
        for (const int channels : {1, 2}) {
            const WAVEFORMATEXTENSIBLE x =
                Extensible(channels, c.bits, c.validBits,
                           c.isFloat ? KSDATAFORMAT_SUBTYPE_IEEE_FLOAT : KSDATAFORMAT_SUBTYPE_PCM);
            std::vector<uint8_t> source;
            std::vector<int16_t> expected;
            for (const int16_t v : values) {
                for (int ch = 0; ch < channels; ++ch) {
                    // The second channel carries the negation, to tell the channels apart.
                    const int16_t w = ch == 0 ? v : static_cast<int16_t>(-std::max(-32767, int{v}));
                    const uint8_t lo = static_cast<uint8_t>(w), hi = static_cast<uint8_t>(w >> 8);
                    if (c.isFloat) {
                        const float f = w / 32768.0f;
                        uint8_t b[4];
                        std::memcpy(b, &f, 4);
                        source.insert(source.end(), b, b + 4);
                        expected.push_back(w);
                    } else if (c.bits == 8) {
                        source.push_back(static_cast<uint8_t>(hi + 128));
                        expected.push_back(static_cast<int16_t>((w >> 8) * 256));
                    } else {
                        // Below the top 16 bits: padding or finer bits the 16-bit form drops.
                        if (c.bits >= 24) source.push_back(c.validBits == 20 ? 0x50 : 0x5A);
                        if (c.bits == 32) source.push_back(0x34);
                        source.push_back(lo);
                        source.push_back(hi);
                        expected.push_back(w);
                    }
                }
            }
            EXPECT_EQ(ConvertAll(&x.Format, source), expected) << c.name << ", " << channels;
        }
    }
    // Float beyond full scale clips; NaN is silence.
    const WAVEFORMATEXTENSIBLE f = Extensible(1, 32, 32, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT);
    const float floats[] = {
        1.0f, 1.5f, -1.5f, -1.0f, 0.75f / 32768, -100.0f, std::numeric_limits<float>::quiet_NaN()};
    std::vector<uint8_t> source(sizeof floats);
    std::memcpy(source.data(), floats, sizeof floats);
    EXPECT_EQ(ConvertAll(&f.Format, source),
              (std::vector<int16_t>{32767, 32767, -32768, -32768, 1, -32768, 0}));
}

TEST(AcmTest, RefusesExtensibleFormatsItCannotConvert) {
    static constexpr BYTE kOther[16] = {2,    0, 0, 0,    0, 0,    0x10, 0,
                                        0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    struct Case {
        const char* name;
        WAVEFORMATEXTENSIBLE x;
    };
    Case cases[] = {
        {"another sub-format", Extensible(2, 16, 16, kOther)},
        {"64-bit float", Extensible(2, 64, 64, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT)},
        {"16-bit float", Extensible(2, 16, 16, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT)},
        {"12-bit container", Extensible(1, 12, 12, KSDATAFORMAT_SUBTYPE_PCM)},
        {"more valid bits than the container", Extensible(2, 24, 32, KSDATAFORMAT_SUBTYPE_PCM)},
        {"three channels", Extensible(3, 16, 16, KSDATAFORMAT_SUBTYPE_PCM)},
        {"block align disagrees", Extensible(2, 24, 24, KSDATAFORMAT_SUBTYPE_PCM)},
        {"extra too short for the sub-format", Extensible(2, 24, 24, KSDATAFORMAT_SUBTYPE_PCM)},
    };
    cases[6].x.Format.nBlockAlign = 8;
    cases[7].x.Format.cbSize = 21;
    for (const Case& c : cases) {
        WAVEFORMATEX out{};
        EXPECT_EQ(
            acmFormatSuggest(nullptr, &c.x.Format, &out, sizeof out, ACM_FORMATSUGGESTF_WFORMATTAG),
            ACMERR_NOTPOSSIBLE)
            << c.name;
        HACMSTREAM stream = nullptr;
        EXPECT_EQ(acmStreamOpen(&stream, nullptr, &c.x.Format, &out, nullptr, 0, 0, 0),
                  ACMERR_NOTPOSSIBLE)
            << c.name;
        EXPECT_EQ(stream, nullptr);
    }
}

TEST(AcmTest, ConvertsWholeBlocksWithinTheDestination) {
    ImaFormat ima{{WAVE_FORMAT_IMA_ADPCM, 1, 22050, 11100, 36, 4, 2}, 65};
    WAVEFORMATEX out{};
    ASSERT_EQ(acmFormatSuggest(nullptr, &ima.wfx, &out, sizeof out, ACM_FORMATSUGGESTF_WFORMATTAG),
              MMSYSERR_NOERROR);
    EXPECT_EQ(out.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(out.wBitsPerSample, 16);
    EXPECT_EQ(out.nBlockAlign, 2);
    HACMSTREAM stream = nullptr;
    ASSERT_EQ(acmStreamOpen(&stream, nullptr, &ima.wfx, &out, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
    std::vector<uint8_t> source(36 * 3 + 20, 0x11);
    std::vector<uint8_t> dest(130 * 2 + 50, 0xEE);  // room for two blocks and a bit
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    h.pbSrc = source.data();
    h.cbSrcLength = static_cast<DWORD>(source.size());
    h.pbDst = dest.data();
    h.cbDstLength = 130 * 2 + 49;
    EXPECT_EQ(acmStreamConvert(stream, &h, ACM_STREAMCONVERTF_BLOCKALIGN), ACMERR_UNPREPARED);
    ASSERT_EQ(acmStreamPrepareHeader(stream, &h, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamConvert(stream, &h, ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_NOERROR);
    EXPECT_EQ(h.cbSrcLengthUsed, 72u);
    EXPECT_EQ(h.cbDstLengthUsed, 260u);
    EXPECT_EQ(dest[260 + 48], 0xEE);  // nothing written past what was used
    EXPECT_EQ(dest[309], 0xEE);
    DWORD bound = 0;
    ASSERT_EQ(acmStreamSize(stream, 72, &bound, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_GE(bound, 260u);
    ASSERT_EQ(acmStreamSize(stream, 73, &bound, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_GE(bound, 390u);
    EXPECT_EQ(acmStreamUnprepareHeader(stream, &h, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamClose(stream, 0), MMSYSERR_NOERROR);
}

TEST(AcmTest, StreamsConvertIndependently) {
    const WAVEFORMATEX alaw{WAVE_FORMAT_ALAW, 1, 8000, 8000, 1, 8, 0};
    WAVEFORMATEX out{};
    ASSERT_EQ(acmFormatSuggest(nullptr, &alaw, &out, sizeof out, ACM_FORMATSUGGESTF_WFORMATTAG),
              0u);
    HACMSTREAM a = nullptr, b = nullptr;
    ASSERT_EQ(acmStreamOpen(&a, nullptr, &alaw, &out, nullptr, 0, 0, 0), 0u);
    ASSERT_EQ(acmStreamOpen(&b, nullptr, &alaw, &out, nullptr, 0, 0, 0), 0u);
    uint8_t codes[4] = {0xD5, 0x55, 0xAA, 0x2A};
    int16_t pcm[4] = {};
    for (HACMSTREAM s : {a, b}) {
        ACMSTREAMHEADER h{};
        h.cbStruct = sizeof h;
        h.pbSrc = codes;
        h.cbSrcLength = 4;
        h.pbDst = reinterpret_cast<BYTE*>(pcm);
        h.cbDstLength = sizeof pcm;
        ASSERT_EQ(acmStreamPrepareHeader(s, &h, 0), 0u);
        ASSERT_EQ(acmStreamConvert(s, &h, ACM_STREAMCONVERTF_BLOCKALIGN), 0u);
        EXPECT_EQ(h.cbSrcLengthUsed, 4u);
        EXPECT_EQ(pcm[0], 8);
        EXPECT_EQ(pcm[3], -32256);
        acmStreamUnprepareHeader(s, &h, 0);
    }
    acmStreamClose(a, 0);
    acmStreamClose(b, 0);
}

}  // namespace
