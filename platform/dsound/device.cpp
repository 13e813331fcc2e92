// The device object and its buffers over SDL2 audio (or the stepped mixer of the tests).
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/dsound/internal.h"

namespace plat {
namespace detail {
namespace {

DeviceState* g_openDevice = nullptr;
int g_nextSourceId = 1;

void AudioCallback(void* userdata, Uint8* stream, int length) {
    std::lock_guard<std::mutex> lock(MixerMutex());
    MixLocked(static_cast<DeviceState*>(userdata), reinterpret_cast<int16_t*>(stream),
              length / (2 * kMixerChannels));
}

int32_t GainOf(LONG volume) {
    if (volume <= DSBVOLUME_MIN) return 0;
    if (volume >= DSBVOLUME_MAX) return 65536;
    return static_cast<int32_t>(std::lround(65536.0 * std::pow(10.0, volume / 2000.0)));
}

bool ValidPcmFormat(const WAVEFORMATEX& f) {
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec >= 100 &&
           f.nSamplesPerSec <= 192000 && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

constexpr DWORD kMaxBufferBytes = 0x0FFFFFFF;

IDirectSoundBuffer* NewBuffer(DeviceState* device) {
    auto* object = new (std::nothrow) IDirectSoundBuffer{};
    auto* state = new (std::nothrow) BufferState{};
    if (object == nullptr || state == nullptr) {
        delete object;
        delete state;
        return nullptr;
    }
    object->state = state;
    state->object = object;
    state->device = device;
    state->gain = 65536;
    return object;
}

void CloseOutput(DeviceState* d) {
    if (d->sdlDevice != 0) {
        SDL_CloseAudioDevice(d->sdlDevice);  // waits for a running callback
        d->sdlDevice = 0;
    }
    if (d->sdlAudioStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        d->sdlAudioStarted = false;
    }
}

}  // namespace

std::mutex& MixerMutex() {
    static std::mutex mutex;
    return mutex;
}

DeviceState* OpenDevice() {
    return g_openDevice;
}

}  // namespace detail

using detail::BufferState;
using detail::DeviceState;

HRESULT CreateDirectSound(IDirectSound** device) {
    if (device == nullptr) return DSERR_INVALIDPARAM;
    *device = nullptr;
    if (detail::TakeForcedDeviceFailure()) return DSERR_NODRIVER;
    auto* object = new (std::nothrow) IDirectSound{};
    auto* state = new (std::nothrow) DeviceState{};
    if (object == nullptr || state == nullptr) {
        delete object;
        delete state;
        return DSERR_OUTOFMEMORY;
    }
    object->state = state;
    state->object = object;
    *device = object;
    return DS_OK;
}

HRESULT IDirectSound::Initialize(const GUID*) {
    DeviceState* d = state;
    if (d->initialised) return DSERR_ALREADYINITIALIZED;
    if (detail::NoSoundDevice()) return DSERR_NODRIVER;
    if (!detail::SteppedMixer()) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return DSERR_NODRIVER;
        d->sdlAudioStarted = true;
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(kMixerRate);
        want.format = AUDIO_S16SYS;
        want.channels = kMixerChannels;
        want.samples = 1024;
        want.callback = detail::AudioCallback;
        want.userdata = d;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts for a device that differs.
        d->sdlDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (d->sdlDevice == 0) {
            detail::CloseOutput(d);
            return DSERR_NODRIVER;
        }
    }
    {
        std::lock_guard<std::mutex> lock(detail::MixerMutex());
        d->initialised = true;
        detail::g_openDevice = d;
    }
    if (d->sdlDevice != 0) SDL_PauseAudioDevice(d->sdlDevice, 0);
    detail::NoteDeviceOpened(true);
    return DS_OK;
}

HRESULT IDirectSound::SetCooperativeLevel(HWND, DWORD level) {
    if (!state->initialised) return DSERR_UNINITIALIZED;
    if (level < DSSCL_NORMAL || level > 3) return DSERR_INVALIDPARAM;
    state->cooperativeLevel = level;
    return DS_OK;
}

HRESULT IDirectSound::GetCaps(DSCAPS* caps) {
    if (!state->initialised) return DSERR_UNINITIALIZED;
    if (caps == nullptr) return DSERR_INVALIDPARAM;
    const DWORD size = caps->dwSize;
    std::memset(caps, 0, sizeof *caps);
    caps->dwSize = size;
    caps->dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT |
                    DSCAPS_PRIMARY16BIT | DSCAPS_SECONDARYMONO | DSCAPS_SECONDARYSTEREO |
                    DSCAPS_SECONDARY8BIT | DSCAPS_SECONDARY16BIT;
    caps->dwMinSecondarySampleRate = 100;
    caps->dwMaxSecondarySampleRate = 192000;
    caps->dwPrimaryBuffers = 1;
    return DS_OK;
}

HRESULT IDirectSound::CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer,
                                        void* outer) {
    if (buffer == nullptr) return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    if (!state->initialised) return DSERR_UNINITIALIZED;
    if (desc == nullptr || outer != nullptr) return DSERR_INVALIDPARAM;
    const bool primary = (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0;
    if (primary) {
        if (desc->dwBufferBytes != 0 || desc->lpwfxFormat != nullptr) return DSERR_INVALIDPARAM;
    } else {
        if (desc->lpwfxFormat == nullptr) return DSERR_INVALIDPARAM;
        if (!detail::ValidPcmFormat(*desc->lpwfxFormat)) return DSERR_BADFORMAT;
        if (desc->dwBufferBytes < desc->lpwfxFormat->nBlockAlign ||
            desc->dwBufferBytes > detail::kMaxBufferBytes)
            return DSERR_INVALIDPARAM;
    }
    if (detail::TakeForcedBufferFailure()) return DSERR_OUTOFMEMORY;
    IDirectSoundBuffer* object = detail::NewBuffer(state);
    if (object == nullptr) return DSERR_OUTOFMEMORY;
    BufferState* b = object->state;
    b->primary = primary;
    if (primary) {
        b->format = WAVEFORMATEX{WAVE_FORMAT_PCM, 2, kMixerRate, kMixerRate * 4, 4, 16, 0};
    } else {
        b->format = *desc->lpwfxFormat;
        b->format.cbSize = 0;
        b->frames = desc->dwBufferBytes / b->format.nBlockAlign;
        try {
            b->bytes = std::make_shared<std::vector<uint8_t>>(desc->dwBufferBytes, uint8_t{0});
        } catch (const std::bad_alloc&) {
            delete b;
            delete object;
            return DSERR_OUTOFMEMORY;
        }
        // Silence is 128 for unsigned 8-bit samples.
        if (b->format.wBitsPerSample == 8) std::fill(b->bytes->begin(), b->bytes->end(), 128);
    }
    {
        std::lock_guard<std::mutex> lock(detail::MixerMutex());
        state->buffers.push_back(b);
    }
    *buffer = object;
    return DS_OK;
}

HRESULT IDirectSound::DuplicateSoundBuffer(IDirectSoundBuffer* source,
                                           IDirectSoundBuffer** duplicate) {
    if (duplicate == nullptr) return DSERR_INVALIDPARAM;
    *duplicate = nullptr;
    if (!state->initialised) return DSERR_UNINITIALIZED;
    if (source == nullptr || source->state->primary) return DSERR_INVALIDPARAM;
    if (detail::TakeForcedDuplicateFailure()) return DSERR_OUTOFMEMORY;
    IDirectSoundBuffer* object = detail::NewBuffer(state);
    if (object == nullptr) return DSERR_OUTOFMEMORY;
    BufferState* b = object->state;
    const BufferState* s = source->state;
    b->format = s->format;
    b->bytes = s->bytes;
    b->frames = s->frames;
    {
        std::lock_guard<std::mutex> lock(detail::MixerMutex());
        state->buffers.push_back(b);
    }
    *duplicate = object;
    return DS_OK;
}

DWORD IDirectSound::Release() {
    DeviceState* d = state;
    if (d->initialised) detail::NoteDeviceOpened(false);
    // Close the output first, so the callback is not running while the device goes.
    detail::CloseOutput(d);
    {
        std::lock_guard<std::mutex> lock(detail::MixerMutex());
        for (BufferState* b : d->buffers) {
            b->device = nullptr;
            b->playing = false;
        }
        d->buffers.clear();
        d->sources.clear();
        if (detail::g_openDevice == d) detail::g_openDevice = nullptr;
    }
    delete d;
    delete this;
    return 0;
}

HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context) {
    if (callback == nullptr) return DSERR_INVALIDPARAM;
    const bool started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    const char* driver = started ? SDL_GetCurrentAudioDriver() : nullptr;
    const char* module = driver != nullptr ? driver : "";
    // The default output comes first, without a GUID.
    bool go = callback(nullptr, "Primary Sound Driver", "", context) != 0;
    const int count = started ? SDL_GetNumAudioDevices(0) : 0;
    for (int i = 0; go && i < count; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, 0);
        if (name == nullptr) continue;
        GUID guid{};
        guid.data1 = static_cast<uint32_t>(i + 1);
        go = callback(&guid, name, module, context) != 0;
    }
    if (started) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return DS_OK;
}

int AddPulledSource(PulledSourceFunc fill, void* context) {
    if (fill == nullptr) return 0;
    std::lock_guard<std::mutex> lock(detail::MixerMutex());
    DeviceState* d = detail::g_openDevice;
    if (d == nullptr) return 0;
    const int id = detail::g_nextSourceId++;
    d->sources.push_back(detail::PulledSource{id, fill, context});
    return id;
}

void RemovePulledSource(int id) {
    std::lock_guard<std::mutex> lock(detail::MixerMutex());
    DeviceState* d = detail::g_openDevice;
    if (d == nullptr) return;
    auto& v = d->sources;
    v.erase(std::remove_if(v.begin(), v.end(),
                           [id](const detail::PulledSource& s) { return s.id == id; }),
            v.end());
}

// --- Buffers ---------------------------------------------------------------------------------

HRESULT IDirectSoundBuffer::Play(DWORD, DWORD, DWORD flags) {
    std::lock_guard<std::mutex> lock(detail::MixerMutex());
    BufferState* b = state;
    if (b->device == nullptr) return DSERR_INVALIDCALL;
    if (!b->primary && detail::TakeForcedPlayFailure()) return DSERR_GENERIC;
    b->playing = true;
    b->looping = (flags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
}

HRESULT IDirectSoundBuffer::Stop() {
    std::lock_guard<std::mutex> lock(detail::MixerMutex());
    state->playing = false;  // the cursor stays where it is
    return DS_OK;
}

HRESULT IDirectSoundBuffer::GetStatus(DWORD* status) {
    if (status == nullptr) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(detail::MixerMutex());
    *status = 0;
    if (state->playing) *status = DSBSTATUS_PLAYING | (state->looping ? DSBSTATUS_LOOPING : 0);
    return DS_OK;
}

HRESULT IDirectSoundBuffer::GetCurrentPosition(DWORD* play, DWORD* write) {
    std::lock_guard<std::mutex> lock(detail::MixerMutex());
    const BufferState* b = state;
    if (b->primary) {
        if (play != nullptr) *play = 0;
        if (write != nullptr) *write = 0;
        return DS_OK;
    }
    const DWORD align = b->format.nBlockAlign;
    const DWORD frame = static_cast<DWORD>(b->position >> 32);
    const DWORD playByte = frame * align;
    if (play != nullptr) *play = playByte;
    if (write != nullptr) {
        // The mixer has taken about a hundredth of a second beyond the play cursor.
        DWORD lead = b->playing ? std::min(b->frames - 1, b->format.nSamplesPerSec / 100) : 0;
        *write = ((frame + lead) % b->frames) * align;
    }
    return DS_OK;
}

HRESULT IDirectSoundBuffer::SetCurrentPosition(DWORD position) {
    std::lock_guard<std::mutex> lock(detail::MixerMutex());
    BufferState* b = state;
    if (b->primary) return DSERR_INVALIDCALL;
    const DWORD frame = position / b->format.nBlockAlign;
    if (frame >= b->frames) return DSERR_INVALIDPARAM;
    b->position = static_cast<uint64_t>(frame) << 32;
    return DS_OK;
}

HRESULT IDirectSoundBuffer::Lock(DWORD offset, DWORD bytes, void** part1, DWORD* size1,
                                 void** part2, DWORD* size2, DWORD flags) {
    constexpr DWORD kFromWriteCursor = 0x1;
    constexpr DWORD kEntireBuffer = 0x2;
    BufferState* b = state;
    if (b->primary || part1 == nullptr || size1 == nullptr) return DSERR_INVALIDPARAM;
    const DWORD size = static_cast<DWORD>(b->bytes->size());
    if (flags & kFromWriteCursor) {
        DWORD play = 0;
        GetCurrentPosition(&play, &offset);
    }
    if (flags & kEntireBuffer) bytes = size;
    if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
    const DWORD first = std::min(bytes, size - offset);
    if (bytes > first && (part2 == nullptr || size2 == nullptr)) return DSERR_INVALIDPARAM;
    BufferState::StagedLock lock{offset, first, bytes - first, {}};
    try {
        lock.bytes.resize(bytes);
    } catch (const std::bad_alloc&) {
        return DSERR_OUTOFMEMORY;
    }
    // The region as it stands, so that what the caller leaves unwritten stays as it was.
    uint8_t* staging = lock.bytes.data();
    {
        std::lock_guard<std::mutex> guard(detail::MixerMutex());
        const uint8_t* data = b->bytes->data();
        std::memcpy(staging, data + offset, first);
        std::memcpy(staging + first, data, bytes - first);
        b->staged.push_back(std::move(lock));  // the staging bytes stay where they are
    }
    *part1 = staging;
    *size1 = first;
    if (part2 != nullptr) *part2 = bytes > first ? staging + first : nullptr;
    if (size2 != nullptr) *size2 = bytes - first;
    return DS_OK;
}

HRESULT IDirectSoundBuffer::Unlock(void* part1, DWORD size1, void* part2, DWORD size2) {
    BufferState* b = state;
    if (b->primary) return DSERR_INVALIDCALL;
    std::lock_guard<std::mutex> guard(detail::MixerMutex());
    // The lock that handed out part1; the sizes say how much of each part was written.
    auto it =
        std::find_if(b->staged.begin(), b->staged.end(), [part1](const BufferState::StagedLock& l) {
            return part1 != nullptr && l.bytes.data() == part1;
        });
    if (it == b->staged.end() || size1 > it->size1) return DSERR_INVALIDPARAM;
    const uint8_t* second = it->size2 > 0 ? it->bytes.data() + it->size1 : nullptr;
    if (part2 == nullptr ? size2 != 0 : (part2 != second || size2 > it->size2))
        return DSERR_INVALIDPARAM;
    uint8_t* data = b->bytes->data();
    std::memcpy(data + it->offset, it->bytes.data(), size1);
    if (size2 > 0) std::memcpy(data, second, size2);
    b->staged.erase(it);
    return DS_OK;
}

HRESULT IDirectSoundBuffer::SetVolume(LONG volume) {
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(detail::MixerMutex());
    state->volume = volume;
    state->gain = detail::GainOf(volume);
    return DS_OK;
}

HRESULT IDirectSoundBuffer::GetVolume(LONG* volume) {
    if (volume == nullptr) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(detail::MixerMutex());
    *volume = state->volume;
    return DS_OK;
}

HRESULT IDirectSoundBuffer::SetPan(LONG pan) {
    return pan < -10000 || pan > 10000 ? DSERR_INVALIDPARAM : DS_OK;
}

HRESULT IDirectSoundBuffer::SetFrequency(DWORD) {
    return DS_OK;
}

HRESULT IDirectSoundBuffer::GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) {
    if (format == nullptr || size < sizeof(WAVEFORMATEX)) return DSERR_INVALIDPARAM;
    std::memcpy(format, &state->format, sizeof(WAVEFORMATEX));
    if (written != nullptr) *written = sizeof(WAVEFORMATEX);
    return DS_OK;
}

HRESULT IDirectSoundBuffer::SetFormat(const WAVEFORMATEX* format) {
    if (!state->primary) return DSERR_INVALIDCALL;
    if (format == nullptr || !detail::ValidPcmFormat(*format)) return DSERR_BADFORMAT;
    std::lock_guard<std::mutex> lock(detail::MixerMutex());
    state->format = *format;
    return DS_OK;
}

DWORD IDirectSoundBuffer::Release() {
    BufferState* b = state;
    {
        std::lock_guard<std::mutex> lock(detail::MixerMutex());
        if (b->device != nullptr) {
            auto& v = b->device->buffers;
            v.erase(std::remove(v.begin(), v.end(), b), v.end());
        }
    }
    delete b;
    delete this;
    return 0;
}

}  // namespace plat
