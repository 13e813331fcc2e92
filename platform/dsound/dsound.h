// The sound device the engine plays through: a DirectSound-style device object with secondary
// sound buffers, mixed in software into one 44,100 Hz 16-bit stereo output on SDL2 audio.
//
// Each playing buffer is converted to the device rate (linear interpolation), weighted by its
// volume, summed in 32 bits and clipped. Play cursors move in whole frames at the buffer's own
// rate. Pan, frequency and notification flags are accepted and have no effect: buffers play
// centred at their own rate. A pulled source (PCM asked for by the mixer from a callback) carries
// sound that is made while it plays, such as synthesised MIDI or a movie's sound track.
#pragma once

#include <cstdint>

#include "platform/win/types.h"

namespace plat {

using HRESULT = int32_t;

constexpr HRESULT DS_OK = 0;
constexpr HRESULT DSERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DSERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);
constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);
constexpr HRESULT DSERR_ALREADYINITIALIZED = static_cast<HRESULT>(0x88780082u);
constexpr HRESULT DSERR_UNINITIALIZED = static_cast<HRESULT>(0x887800AAu);
constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
constexpr HRESULT DSERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);

constexpr bool FAILED(HRESULT result) {
    return result < 0;
}

constexpr WORD WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
// 18 bytes, as stored in a RIFF WAVE "fmt " chunk followed by the extra size.
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// Buffer description flags.
constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x1;
constexpr DWORD DSBCAPS_STATIC = 0x2;
constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x20;
constexpr DWORD DSBCAPS_CTRLPAN = 0x40;
constexpr DWORD DSBCAPS_CTRLVOLUME = 0x80;
constexpr DWORD DSBCAPS_CTRLPOSITIONNOTIFY = 0x100;
constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x8000;
constexpr DWORD DSBCAPS_GETCURRENTPOSITION2 = 0x10000;

struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX* lpwfxFormat;
    GUID guid3DAlgorithm;
};

// Device capability flags.
constexpr DWORD DSCAPS_PRIMARYMONO = 0x1;
constexpr DWORD DSCAPS_PRIMARYSTEREO = 0x2;
constexpr DWORD DSCAPS_PRIMARY8BIT = 0x4;
constexpr DWORD DSCAPS_PRIMARY16BIT = 0x8;
constexpr DWORD DSCAPS_SECONDARYMONO = 0x100;
constexpr DWORD DSCAPS_SECONDARYSTEREO = 0x200;
constexpr DWORD DSCAPS_SECONDARY8BIT = 0x400;
constexpr DWORD DSCAPS_SECONDARY16BIT = 0x800;

struct DSCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwMinSecondarySampleRate;
    DWORD dwMaxSecondarySampleRate;
    DWORD dwPrimaryBuffers;
    DWORD dwMaxHwMixingAllBuffers;
    DWORD dwMaxHwMixingStaticBuffers;
    DWORD dwMaxHwMixingStreamingBuffers;
    DWORD dwFreeHwMixingAllBuffers;
    DWORD dwFreeHwMixingStaticBuffers;
    DWORD dwFreeHwMixingStreamingBuffers;
    DWORD dwMaxHw3DAllBuffers;
    DWORD dwMaxHw3DStaticBuffers;
    DWORD dwMaxHw3DStreamingBuffers;
    DWORD dwFreeHw3DAllBuffers;
    DWORD dwFreeHw3DStaticBuffers;
    DWORD dwFreeHw3DStreamingBuffers;
    DWORD dwTotalHwMemBytes;
    DWORD dwFreeHwMemBytes;
    DWORD dwMaxContigFreeHwMemBytes;
    DWORD dwUnlockTransferRateHwBuffers;
    DWORD dwPlayCpuOverheadSwBuffers;
    DWORD dwReserved1;
    DWORD dwReserved2;
};

constexpr DWORD DSSCL_NORMAL = 1;
constexpr DWORD DSSCL_PRIORITY = 2;

constexpr DWORD DSBPLAY_LOOPING = 0x1;
constexpr DWORD DSBSTATUS_PLAYING = 0x1;
constexpr DWORD DSBSTATUS_LOOPING = 0x4;

constexpr LONG DSBVOLUME_MAX = 0;
constexpr LONG DSBVOLUME_MIN = -10000;

// The rate, depth and channels of the mixer's output.
constexpr DWORD kMixerRate = 44100;
constexpr int kMixerChannels = 2;

namespace detail {
struct DeviceState;
struct BufferState;
}  // namespace detail

// A secondary buffer (or the primary buffer, which holds no sound of its own). Duplicates share
// the bytes and have their own cursor, state and volume.
class IDirectSoundBuffer {
public:
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags);
    HRESULT Stop();
    HRESULT GetStatus(DWORD* status);
    // The play cursor, and a write cursor a little ahead of it while playing (bytes).
    HRESULT GetCurrentPosition(DWORD* play, DWORD* write);
    HRESULT SetCurrentPosition(DWORD position);
    // Up to the whole buffer from `offset`; what runs past the end wraps into the second part.
    HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* size1, void** part2, DWORD* size2,
                 DWORD flags);
    HRESULT Unlock(void* part1, DWORD size1, void* part2, DWORD size2);
    // Hundredths of a decibel, -10000 (silent) to 0 (full).
    HRESULT SetVolume(LONG volume);
    HRESULT GetVolume(LONG* volume);
    HRESULT SetPan(LONG pan);
    HRESULT SetFrequency(DWORD frequency);
    HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written);
    // The primary buffer only: the format asked of the device (the mixer keeps its own).
    HRESULT SetFormat(const WAVEFORMATEX* format);
    // Frees the buffer (there is one reference); the object is gone afterwards.
    DWORD Release();

    detail::BufferState* state;
};

class IDirectSound {
public:
    // Opens the audio output (nullptr: the default device).
    HRESULT Initialize(const GUID* device);
    HRESULT SetCooperativeLevel(HWND window, DWORD level);
    HRESULT GetCaps(DSCAPS* caps);
    // 8 or 16 bits, 1 or 2 channels, 100 to 192,000 Hz, at least one block of bytes.
    HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer,
                              void* outer);
    HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* source, IDirectSoundBuffer** duplicate);
    // Closes the output and frees the device; its buffers must be released first.
    DWORD Release();

    detail::DeviceState* state;
};

// Stands in for creating the device object; fails when a test says so.
HRESULT CreateDirectSound(IDirectSound** device);

// Lists the output devices SDL knows (the first is the default), with a made-up module name.
using LPDSENUMCALLBACKA = BOOL (*)(GUID* guid, const char* description, const char* module,
                                   void* context);
HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context);

// A pulled source: `Fill` writes `frames` frames of 16-bit stereo at the mixer rate into `out`
// (zeros when it has nothing). It runs on the mixing thread with the mixer held, so it must not
// call back into this layer.
using PulledSourceFunc = void (*)(void* context, int16_t* out, int frames);
// Adds a source to the open device's mix; an id above 0, or 0 when no device is open.
int AddPulledSource(PulledSourceFunc fill, void* context);
// Removes it; when this returns the callback is not running and will not run again.
void RemovePulledSource(int id);

}  // namespace plat
