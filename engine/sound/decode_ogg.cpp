// Ogg Vorbis: the decoder kind that reads through vorbisfile, over the decoder's own stream.
#include <vorbis/vorbisfile.h>

#include <new>

#include "engine/base/memory.h"
#include "engine/sound/sound_internal.h"

namespace tessra {
namespace {

struct OggState {
    int32_t open;
    OggVorbis_File file;
    int32_t sampleWidth;
};

// A run of holes this long is no stream worth waiting on.
constexpr int kMaxHolesInARow = 64;

size_t OggReadCallback(void* buffer, size_t size, size_t count, void* source) {
    if (source == nullptr) return 0;
    const auto* io = static_cast<const StreamIo*>(source);
    const int64_t n = io->Read(buffer, size, count, io->handle);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

int OggSeekCallback(void* source, ogg_int64_t offset, int origin) {
    if (source == nullptr) return -1;
    const auto* io = static_cast<const StreamIo*>(source);
    return io->Seek(io->handle, static_cast<int32_t>(offset), origin);
}

long OggTellCallback(void* source) {
    if (source == nullptr) return -1;
    const auto* io = static_cast<const StreamIo*>(source);
    return static_cast<long>(io->Tell(io->handle));
}

int OggCloseCallback(void*) {
    return 0;  // the stream belongs to the decoder's owner
}

OggState* StateOf(const SoundDecoder* d) {
    return static_cast<OggState*>(d->kindState);
}

}  // namespace

int OpenOggDecoder(SoundDecoder* d) {
    auto* state = static_cast<OggState*>(AllocTaggedZeroed(sizeof(OggState), "", 0));
    if (state == nullptr) return -1;
    const ov_callbacks callbacks{OggReadCallback, OggSeekCallback, OggCloseCallback,
                                 OggTellCallback};
    if (ov_open_callbacks(&d->io, &state->file, nullptr, 0, callbacks) != 0) {
        FreeTagged(state);
        return -1;
    }
    state->open = 1;
    const vorbis_info* info = ov_info(&state->file, -1);
    state->sampleWidth = GetSoundSystem().oggSampleWidth > 0 ? GetSoundSystem().oggSampleWidth : 2;
    const int channels = info != nullptr ? info->channels : 0;
    const long rate = info != nullptr ? info->rate : 0;
    d->format = plat::WAVEFORMATEX{};
    d->format.wFormatTag = plat::WAVE_FORMAT_PCM;
    d->format.nChannels = static_cast<uint16_t>(channels);
    d->format.nSamplesPerSec = static_cast<uint32_t>(rate);
    d->format.nBlockAlign = static_cast<uint16_t>(channels * state->sampleWidth);
    d->format.nAvgBytesPerSec = static_cast<uint32_t>(rate) * d->format.nBlockAlign;
    d->format.wBitsPerSample = static_cast<uint16_t>(state->sampleWidth * 8);
    d->kindState = state;
    d->capacity = 4096;
    d->kind = kDecoderOgg;
    return 0;
}

int ReadOggDecoder(SoundDecoder* d) {
    OggState* state = StateOf(d);
    if (state == nullptr || !state->open) return -1;
    int section = 0;
    for (int holes = 0; holes < kMaxHolesInARow; ++holes) {
        const long n =
            ov_read(&state->file, reinterpret_cast<char*>(d->buffer), static_cast<int>(d->capacity),
                    0, state->sampleWidth, state->sampleWidth == 1 ? 0 : 1, &section);
        if (n == OV_HOLE) continue;  // a gap in the data: the samples after it still play
        if (n <= 0) return -1;       // the end, or damage that ends the data
        d->bytesLeft = static_cast<uint32_t>(n);
        return 0;
    }
    return -1;
}

int SeekOggDecoder(SoundDecoder* d, uint32_t frame) {
    OggState* state = StateOf(d);
    if (state != nullptr && state->open) ov_pcm_seek(&state->file, frame);
    d->bytesLeft = 0;
    d->readOffset = 0;
    d->decodedPosition = d->format.nBlockAlign * frame;
    return 0;
}

uint32_t GetOggDecodedSize(const SoundDecoder* d) {
    OggState* state = StateOf(d);
    if (state == nullptr || !state->open) return 0;
    const ogg_int64_t frames = ov_pcm_total(&state->file, -1);
    if (frames <= 0) return 0;
    const uint64_t bytes = static_cast<uint64_t>(frames) * d->format.nBlockAlign;
    return bytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bytes);
}

int CloseOggDecoder(SoundDecoder* d) {
    OggState* state = StateOf(d);
    if (state != nullptr) {
        if (state->open) ov_clear(&state->file);
        FreeTagged(state);
        d->kindState = nullptr;
    }
    return 0;
}

}  // namespace tessra
