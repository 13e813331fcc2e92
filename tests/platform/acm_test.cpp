// The conversion calls on their own: formats no decoder reads, whole blocks only, the bytes
// used on each side, and a size bound the conversion never exceeds.
#include <gtest/gtest.h>

#include <vector>

#include "platform/acm/acm.h"

namespace {

using namespace plat;

struct ImaFormat {
    WAVEFORMATEX wfx;
    WORD samplesPerBlock;
};

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
