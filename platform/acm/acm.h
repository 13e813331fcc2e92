// The audio conversion calls the sound decoders use to turn compressed WAVE data and MPEG audio
// into 16-bit PCM: MS ADPCM, IMA ADPCM, A-law and µ-law with our own decoders, MPEG audio through
// libmpg123, and the extensible format's integer PCM of 8, 16, 24 or 32 bits and 32-bit float
// (what common tools write for anything past 16 bits). Any other format is "not possible", so
// the caller tries its next reader. Each stream converts on its own; several may run over the
// same data.
#pragma once

#include <cstdint>

#include "platform/dsound/dsound.h"
#include "platform/win/types.h"

namespace plat {

using MMRESULT = UINT;
using DWORD_PTR = uintptr_t;
struct HACMSTREAM__;
using HACMSTREAM = HACMSTREAM__*;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
constexpr MMRESULT ACMERR_UNPREPARED = 514;

constexpr WORD WAVE_FORMAT_ADPCM = 0x0002;
constexpr WORD WAVE_FORMAT_ALAW = 0x0006;
constexpr WORD WAVE_FORMAT_MULAW = 0x0007;
constexpr WORD WAVE_FORMAT_IMA_ADPCM = 0x0011;
constexpr WORD WAVE_FORMAT_MPEGLAYER3 = 0x0055;
constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

constexpr DWORD ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
constexpr DWORD ACM_STREAMOPENF_NONREALTIME = 0x00000004;
constexpr DWORD ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
constexpr DWORD ACM_STREAMCONVERTF_END = 0x00000020;
constexpr DWORD ACM_STREAMSIZEF_SOURCE = 0x00000000;

constexpr DWORD ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;

#pragma pack(push, 1)
// The format block of an MP3 source: WAVEFORMATEX (cbSize 12) and the MPEG fields.
struct MPEGLAYER3WAVEFORMAT {
    WAVEFORMATEX wfx;
    WORD wID;
    DWORD fdwFlags;
    WORD nBlockSize;
    WORD nFramesPerBlock;
    WORD nCodecDelay;
};

// The format block of WAVE_FORMAT_EXTENSIBLE (cbSize 22): the bits that carry the sample (the
// rest of the container, at its low end, is padding), the speaker mask and the sub-format GUID,
// whose first word tells integer PCM (1) from float (3).
struct WAVEFORMATEXTENSIBLE {
    WAVEFORMATEX Format;
    WORD wValidBitsPerSample;
    DWORD dwChannelMask;
    BYTE SubFormat[16];
};
#pragma pack(pop)
static_assert(sizeof(MPEGLAYER3WAVEFORMAT) == 30);
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40);
// The two sub-formats converted, as their GUIDs' bytes in the file.
inline constexpr BYTE KSDATAFORMAT_SUBTYPE_PCM[16] = {1,    0, 0, 0,    0, 0,    0x10, 0,
                                                      0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
inline constexpr BYTE KSDATAFORMAT_SUBTYPE_IEEE_FLOAT[16] = {3,    0, 0, 0,    0, 0,    0x10, 0,
                                                             0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};

struct ACMSTREAMHEADER {
    DWORD cbStruct;
    DWORD fdwStatus;
    DWORD_PTR dwUser;
    BYTE* pbSrc;
    DWORD cbSrcLength;
    DWORD cbSrcLengthUsed;
    DWORD_PTR dwSrcUser;
    BYTE* pbDst;
    DWORD cbDstLength;
    DWORD cbDstLengthUsed;
    DWORD_PTR dwDstUser;
    DWORD dwReservedDriver[10];
};

// The PCM format a source converts to (its tag must be fixed to PCM by the flag): 16 bits, the
// source's channels and rate. ACMERR_NOTPOSSIBLE for a format no decoder here reads.
MMRESULT acmFormatSuggest(void* driver, const WAVEFORMATEX* source, WAVEFORMATEX* destination,
                          DWORD destinationSize, DWORD flags);
MMRESULT acmStreamOpen(HACMSTREAM* stream, void* driver, const WAVEFORMATEX* source,
                       const WAVEFORMATEX* destination, void* filter, DWORD_PTR callback,
                       DWORD_PTR instance, DWORD flags);
MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
// Converts whole source blocks only, never writing past the destination; reports the bytes of
// each side it used. A decoder that holds output back (MPEG audio) gives it on later calls, with
// or without new source bytes.
MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
// The most output `bytes` of source can give (never below what the conversion delivers).
MMRESULT acmStreamSize(HACMSTREAM stream, DWORD bytes, DWORD* outputBytes, DWORD flags);
MMRESULT acmStreamClose(HACMSTREAM stream, DWORD flags);

// The 16-bit value of one G.711 code.
int16_t DecodeALaw(uint8_t code);
int16_t DecodeMuLaw(uint8_t code);

}  // namespace plat
