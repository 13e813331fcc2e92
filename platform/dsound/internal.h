// Shared state of the sound device's implementation files; not for use outside this folder.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dsound/dsound.h"

namespace plat::detail {

struct PulledSource {
    int id;
    PulledSourceFunc fill;
    void* context;
};

struct DeviceState {
    IDirectSound* object;
    bool initialised;
    SDL_AudioDeviceID sdlDevice;  // 0 with the stepped mixer
    bool sdlAudioStarted;
    DWORD cooperativeLevel;
    std::vector<BufferState*> buffers;
    std::vector<PulledSource> sources;
};

struct BufferState {
    DeviceState* device;  // null once the device is gone
    IDirectSoundBuffer* object;
    bool primary;
    WAVEFORMATEX format;
    std::shared_ptr<std::vector<uint8_t>> bytes;  // shared by duplicates
    uint32_t frames;
    uint64_t position;  // frames, 32.32 fixed point
    bool playing;
    bool looping;
    LONG volume;
    int32_t gain;  // 1.0 = 65536
    // Regions handed out by Lock and not yet unlocked: the caller writes into a copy, and
    // Unlock copies it into `bytes` under the mixer mutex, so the mixer never reads a
    // half-written region.
    struct StagedLock {
        DWORD offset;
        DWORD size1;
        DWORD size2;
        std::vector<uint8_t> bytes;  // size1 + size2 bytes; the second part follows the first
    };
    std::vector<StagedLock> staged;
};

// Everything the mixing thread reads is guarded by this one mutex.
std::mutex& MixerMutex();
// The device that pulled sources join and that the stepped mixer mixes (the last initialised).
DeviceState* OpenDevice();

// Adds `frames` frames of every playing buffer and pulled source of the device, clipped to
// 16 bits, into `out` (interleaved stereo). The caller holds the mixer mutex.
void MixLocked(DeviceState* device, int16_t* out, int frames);

// Test controls (platform/testing.h), read by the device.
bool SteppedMixer();
bool NoSoundDevice();
bool TakeForcedDeviceFailure();
bool TakeForcedBufferFailure();
bool TakeForcedDuplicateFailure();
bool TakeForcedPlayFailure();
void ResetSoundControls();
void NoteDeviceOpened(bool opened);

}  // namespace plat::detail
