// The compressed kinds of sound file: RIFF WAVE with compressed data, and MP3, both converted to
// PCM through the audio conversion streams, with a second stream kept converting towards the
// loop start so that a loop back needs no conversion from the beginning.
#include <algorithm>
#include <cstring>

#include "engine/base/memory.h"
#include "engine/sound/sound_internal.h"
#include "platform/acm/acm.h"

namespace tessra {
namespace {

// A chunk of source: about 2048 bytes, but always at least one whole block.
constexpr uint32_t kChunkBytes = 2048;
constexpr uint32_t kLoopLeadBytes = 10240;

AcmState* StateOf(const SoundDecoder* d) {
    return static_cast<AcmState*>(d->kindState);
}

const plat::WAVEFORMATEX* SourceFormat(const AcmState* s) {
    return reinterpret_cast<const plat::WAVEFORMATEX*>(s->sourceFormat);
}

void ReleaseState(SoundDecoder* d) {
    AcmState* s = StateOf(d);
    if (s == nullptr) return;
    if (s->main != nullptr) plat::acmStreamClose(s->main, 0);
    if (s->loop != nullptr) plat::acmStreamClose(s->loop, 0);
    FreeTagged(s->scratch);
    FreeTagged(s->sourceFormat);
    FreeTagged(s->source);
    FreeTagged(s);
    d->kindState = nullptr;
}

bool OpenStream(const AcmState* s, const plat::WAVEFORMATEX& out, plat::HACMSTREAM* stream) {
    return plat::acmStreamOpen(stream, nullptr, SourceFormat(s), &out, nullptr, 0, 0,
                               plat::ACM_STREAMOPENF_NONREALTIME) == plat::MMSYSERR_NOERROR;
}

// One conversion; false when the header cannot be prepared.
bool Convert(plat::HACMSTREAM stream, const uint8_t* source, uint32_t sourceBytes,
             uint8_t* destination, uint32_t destinationBytes, uint32_t* sourceUsed,
             uint32_t* destinationUsed) {
    plat::ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = const_cast<uint8_t*>(source);
    header.cbSrcLength = sourceBytes;
    header.pbDst = destination;
    header.cbDstLength = destinationBytes;
    if (plat::acmStreamPrepareHeader(stream, &header, 0) != plat::MMSYSERR_NOERROR) return false;
    plat::acmStreamConvert(stream, &header, plat::ACM_STREAMCONVERTF_BLOCKALIGN);
    *sourceUsed = header.cbSrcLengthUsed;
    *destinationUsed = header.cbDstLengthUsed;
    plat::acmStreamUnprepareHeader(stream, &header, 0);
    return true;
}

uint32_t ChunkFor(const AcmState* s) {
    const uint32_t block = std::max<uint32_t>(s->sourceBlock, 1);
    return std::max<uint32_t>(kChunkBytes / block, 1) * block;
}

// The common second half of both readers: the output format, the whole source in memory, the
// two conversion streams and the scratch buffer.
int FinishAcmOpen(SoundDecoder* d, AcmState* s) {
    plat::WAVEFORMATEX out{};
    out.wFormatTag = plat::WAVE_FORMAT_PCM;
    if (plat::acmFormatSuggest(nullptr, SourceFormat(s), &out, sizeof out,
                               plat::ACM_FORMATSUGGESTF_WFORMATTAG) != plat::MMSYSERR_NOERROR)
        return -1;
    s->sourceBlock = SourceFormat(s)->nBlockAlign;
    s->sourceSize = d->dataSize;
    s->source = static_cast<uint8_t*>(AllocTagged(std::max<uint32_t>(d->dataSize, 1), "", 0));
    if (s->source == nullptr) return -1;
    d->io.Seek(d->io.handle, static_cast<int32_t>(d->dataStart), kSeekSet);
    s->sourceSize = static_cast<uint32_t>(StreamRead(d, s->source, d->dataSize));
    d->dataSize = s->sourceSize;
    d->io.Seek(d->io.handle, static_cast<int32_t>(d->dataStart), kSeekSet);
    s->mainOffset = 0;
    if (!OpenStream(s, out, &s->main) || !OpenStream(s, out, &s->loop)) return -1;
    // At least a second, and never less than what one source block gives.
    uint32_t oneBlock = 0;
    plat::acmStreamSize(s->main, ChunkFor(s), &oneBlock, plat::ACM_STREAMSIZEF_SOURCE);
    d->capacity = std::max(out.nAvgBytesPerSec, oneBlock);
    s->scratch = static_cast<uint8_t*>(AllocTagged(d->capacity, "", 0));
    if (s->scratch == nullptr) return -1;
    d->format = out;
    d->kind = kDecoderAcm;
    return 0;
}

bool ReadRiffHeader(SoundDecoder* d, int64_t streamSize, uint32_t* fmtSize) {
    uint8_t header[12];
    if (StreamRead(d, header, 12) != 12) return false;
    if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        return false;
    uint8_t chunk[8];
    if (StreamRead(d, chunk, 8) != 8 || std::memcmp(chunk, "fmt ", 4) != 0) return false;
    *fmtSize = ReadLe32(chunk + 4);
    return *fmtSize >= 2 && *fmtSize <= streamSize - 20;
}

}  // namespace

int ParseMp3FrameHeader(const uint8_t* b, Mp3FrameInfo* info) {
    static const uint16_t kBitRates[6][14] = {
        {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
        {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
        {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    };
    static const uint32_t kRates[2][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}};
    if (b[0] != 0xFF || (b[1] & 0xF0) != 0xF0) return -2;
    Mp3FrameInfo f{};
    f.version = (b[1] & 0x08) ? 0 : 1;
    const int layer = 3 - ((b[1] >> 1) & 3);
    if (layer > 2) return -1;
    f.layer = static_cast<uint8_t>(layer);
    f.bitRateIndex = static_cast<uint8_t>(b[2] >> 4);
    // Index 15 is reserved; index 0 is the free format, which has no frame length to go by (and
    // a false sync often reads as it): both are no frame here.
    if (f.bitRateIndex == 15 || f.bitRateIndex == 0) return -1;
    f.sampleRateIndex = static_cast<uint8_t>((b[2] >> 2) & 3);
    if (f.sampleRateIndex == 3) return -1;
    f.padding = static_cast<uint8_t>((b[2] >> 1) & 1);
    f.channels = static_cast<uint8_t>((b[3] >> 6) == 3 ? 1 : 2);
    f.sampleRate = kRates[f.version][f.sampleRateIndex];
    f.bitRate = kBitRates[f.version * 3 + f.layer][f.bitRateIndex - 1];
    if (f.layer == 0) {
        f.frameLength = (12000 * f.bitRate / f.sampleRate + f.padding) * 4;
        f.samplesPerFrame = 384;
    } else if (f.layer == 1 || f.version == 0) {
        f.frameLength = 144000 * f.bitRate / f.sampleRate + f.padding;
        f.samplesPerFrame = 1152;
    } else {
        f.frameLength = 72000 * f.bitRate / f.sampleRate + f.padding;
        f.samplesPerFrame = 576;
    }
    *info = f;
    return 0;
}

int OpenAcmWaveDecoder(SoundDecoder* d) {
    auto* s = static_cast<AcmState*>(AllocTaggedZeroed(sizeof(AcmState), "", 0));
    if (s == nullptr) return -1;
    d->kindState = s;
    s->totalFrames = -1;
    const int64_t streamSize = StreamSize(d->io);
    uint32_t fmtSize = 0;
    if (!ReadRiffHeader(d, streamSize, &fmtSize)) {
        ReleaseState(d);
        return -1;
    }
    const uint32_t blockSize = std::max<uint32_t>(fmtSize, sizeof(plat::WAVEFORMATEX));
    s->sourceFormat = static_cast<uint8_t*>(AllocTaggedZeroed(blockSize, "", 0));
    if (s->sourceFormat == nullptr || StreamRead(d, s->sourceFormat, fmtSize) != fmtSize) {
        ReleaseState(d);
        return -1;
    }
    if (fmtSize & 1) d->io.Seek(d->io.handle, 1, kSeekCur);
    auto* format = reinterpret_cast<plat::WAVEFORMATEX*>(s->sourceFormat);
    if (format->wFormatTag == plat::WAVE_FORMAT_PCM && fmtSize == 16) {
        if (format->nChannels != 0)
            format->wBitsPerSample =
                static_cast<uint16_t>(format->nBlockAlign / format->nChannels * 8);
        format->cbSize = 0;
    }
    // The extra bytes the format claims cannot run past the block it came in.
    const uint32_t extra = blockSize - sizeof(plat::WAVEFORMATEX);
    if (format->cbSize > extra) format->cbSize = static_cast<uint16_t>(extra);

    uint8_t chunk[8];
    bool found = false;
    uint32_t declared = 0;
    while (!d->io.Eof(d->io.handle)) {
        if (StreamRead(d, chunk, 8) != 8) break;
        declared = ReadLe32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            found = true;
            break;
        }
        const int64_t next = d->io.Tell(d->io.handle) + declared + (declared & 1);
        if (next > streamSize) break;
        d->io.Seek(d->io.handle, static_cast<int32_t>(next), kSeekSet);
    }
    if (!found) {
        ReleaseState(d);
        return -1;
    }
    d->dataStart = static_cast<uint32_t>(d->io.Tell(d->io.handle));
    // The data cannot be longer than what the stream still holds.
    d->dataSize = static_cast<uint32_t>(
        std::min<int64_t>(declared, std::max<int64_t>(0, streamSize - d->dataStart)));
    if (FinishAcmOpen(d, s) == -1) {
        ReleaseState(d);
        return -1;
    }
    return 0;
}

int OpenMp3Decoder(SoundDecoder* d) {
    auto* s = static_cast<AcmState*>(AllocTaggedZeroed(sizeof(AcmState), "", 0));
    if (s == nullptr) return -1;
    d->kindState = s;
    s->totalFrames = 0;
    const StreamIo& io = d->io;
    const int64_t length = StreamSize(io);
    io.Seek(io.handle, 0, kSeekSet);

    int64_t audioStart = 0;
    uint8_t tag[10];
    if (StreamRead(d, tag, 3) == 3 && std::memcmp(tag, "ID3", 3) == 0 &&
        StreamRead(d, tag + 3, 7) == 7) {
        const int64_t size =
            (tag[6] & 0x7F) << 21 | (tag[7] & 0x7F) << 14 | (tag[8] & 0x7F) << 7 | (tag[9] & 0x7F);
        audioStart = size + 10;
        if (tag[3] == 4 && (tag[5] & 0x10)) audioStart += 10;  // a footer follows the tag
    }
    int64_t audioEnd = length;
    if (length > 128) {
        io.Seek(io.handle, static_cast<int32_t>(length - 128), kSeekSet);
        if (StreamRead(d, tag, 3) == 3 && std::memcmp(tag, "TAG", 3) == 0) audioEnd = length - 128;
    }

    int64_t first = -1, lastEnd = 0;
    io.Seek(io.handle, static_cast<int32_t>(std::min(audioStart, length)), kSeekSet);
    uint8_t b[4];
    for (;;) {
        if (StreamRead(d, b, 1) != 1) break;
        if (b[0] != 0xFF) continue;
        if (StreamRead(d, b + 1, 1) != 1) break;
        if ((b[1] & 0xF0) != 0xF0) continue;
        if (StreamRead(d, b + 2, 2) != 2) break;
        Mp3FrameInfo frame{};
        if (ParseMp3FrameHeader(b, &frame) < 0) {
            ReleaseState(d);
            return -1;
        }
        const int64_t position = io.Tell(io.handle) - 4;
        if (first < 0) first = position;
        s->totalFrames += frame.samplesPerFrame;
        lastEnd = position + frame.frameLength;
        if (lastEnd >= audioEnd) break;
        io.Seek(io.handle, static_cast<int32_t>(frame.frameLength - 4), kSeekCur);
    }
    if (first < 0) {
        ReleaseState(d);
        return -1;
    }
    // The last frame may run into the tag or past the end: the data stops there. A first
    // frame inside the closing tag leaves no audio at all.
    lastEnd = std::min(lastEnd, audioEnd);
    if (lastEnd <= first) {
        ReleaseState(d);
        return -1;
    }
    io.Seek(io.handle, static_cast<int32_t>(first), kSeekSet);
    Mp3FrameInfo frame{};
    if (StreamRead(d, b, 4) != 4 || ParseMp3FrameHeader(b, &frame) != 0) {
        ReleaseState(d);
        return -1;
    }
    auto* mp3 = static_cast<plat::MPEGLAYER3WAVEFORMAT*>(
        AllocTaggedZeroed(sizeof(plat::MPEGLAYER3WAVEFORMAT), "", 0));
    if (mp3 == nullptr) {
        ReleaseState(d);
        return -1;
    }
    mp3->wfx.wFormatTag = plat::WAVE_FORMAT_MPEGLAYER3;
    mp3->wfx.nChannels = frame.channels;
    mp3->wfx.nSamplesPerSec = frame.sampleRate;
    mp3->wfx.nAvgBytesPerSec = frame.bitRate * 1000 / 8;
    mp3->wfx.nBlockAlign = 1;
    mp3->wfx.wBitsPerSample = 0;
    mp3->wfx.cbSize = 12;
    mp3->wID = 1;
    mp3->fdwFlags = frame.padding;
    mp3->nBlockSize = static_cast<uint16_t>(frame.frameLength);
    mp3->nFramesPerBlock = 1;
    mp3->nCodecDelay = 700;
    s->sourceFormat = reinterpret_cast<uint8_t*>(mp3);
    d->dataStart = static_cast<uint32_t>(first);
    d->dataSize = static_cast<uint32_t>(lastEnd - first);
    if (FinishAcmOpen(d, s) == -1) {
        ReleaseState(d);
        return -1;
    }
    return 0;
}

int ReadAcmDecoder(SoundDecoder* d) {
    AcmState* s = StateOf(d);
    if (s == nullptr) return -1;
    const uint32_t chunk = ChunkFor(s);
    // Keep the loop-start stream converting towards the loop start, a chunk at a time.
    if (s->loopDecoded != d->loopStartPosition) {
        if (s->loopDecoded > d->loopStartPosition) {
            plat::acmStreamClose(s->loop, 0);
            s->loop = nullptr;
            if (!OpenStream(s, d->format, &s->loop)) return -1;
            s->loopOffset = 0;
            s->loopDecoded = 0;
        }
        if (static_cast<int64_t>(d->loopStartPosition) - kLoopLeadBytes >
            static_cast<int64_t>(s->loopDecoded)) {
            uint32_t used = 0, made = 0;
            if (!Convert(s->loop, s->source + s->loopOffset,
                         std::min(s->sourceSize - s->loopOffset, chunk), s->scratch,
                         std::min(d->capacity, d->loopStartPosition - s->loopDecoded), &used,
                         &made))
                return -1;
            s->loopDecoded += made;
            s->loopOffset += used;
        }
    }
    // Convert until some PCM comes: a decoder may use source bytes before it gives any, and the
    // source is done only when a conversion uses none and gives none.
    for (;;) {
        const uint32_t remaining = s->sourceSize - s->mainOffset;
        uint32_t used = 0, made = 0;
        if (!Convert(s->main, s->source + s->mainOffset, std::min(remaining, chunk), d->buffer,
                     d->capacity, &used, &made))
            return -1;
        s->mainOffset += used;
        if (made > 0) {
            d->bytesLeft = made;
            return 0;
        }
        if (used == 0) {
            d->bytesLeft = 0;
            s->mainOffset = s->sourceSize;
            return -1;
        }
    }
}

int SeekAcmDecoder(SoundDecoder* d, uint32_t frame) {
    AcmState* s = StateOf(d);
    if (s == nullptr) return 0;
    const uint64_t target = uint64_t{d->format.nBlockAlign} * frame;
    if (target < d->decodedPosition) {
        if (target >= s->loopDecoded) {
            std::swap(s->main, s->loop);
            s->mainOffset = s->loopOffset;
            d->decodedPosition = s->loopDecoded;
            d->bytesLeft = 0;
            d->readOffset = 0;
            plat::acmStreamClose(s->loop, 0);
            s->loop = nullptr;
            OpenStream(s, d->format, &s->loop);
            s->loopOffset = 0;
            s->loopDecoded = 0;
        } else {
            plat::acmStreamClose(s->main, 0);
            s->main = nullptr;
            OpenStream(s, d->format, &s->main);
            d->io.Seek(d->io.handle, static_cast<int32_t>(d->dataStart), kSeekSet);
            s->mainOffset = 0;
            d->bytesLeft = 0;
            d->readOffset = 0;
            d->decodedPosition = 0;
        }
    }
    while (d->decodedPosition + uint64_t{d->bytesLeft} < target) {
        d->decodedPosition += d->bytesLeft;
        d->bytesLeft = 0;
        d->readOffset = 0;
        if (s->main == nullptr || ReadAcmDecoder(d) == -1) {
            d->bytesLeft = 0;
            d->endFlag = 1;
            return 0;
        }
    }
    const uint32_t skip = static_cast<uint32_t>(target - d->decodedPosition);
    d->readOffset += skip;
    d->bytesLeft -= skip;
    d->decodedPosition = static_cast<uint32_t>(target);
    return 0;
}

uint32_t GetAcmDecodedSize(const SoundDecoder* d) {
    const AcmState* s = StateOf(d);
    if (s == nullptr) return 0;
    if (s->totalFrames != -1)
        return static_cast<uint32_t>(
            std::min<int64_t>(s->totalFrames * d->format.nBlockAlign, UINT32_MAX));
    uint32_t size = 0;
    plat::acmStreamSize(s->main, s->sourceSize, &size, plat::ACM_STREAMSIZEF_SOURCE);
    return size;
}

int CloseAcmDecoder(SoundDecoder* d) {
    ReleaseState(d);
    return 0;
}

}  // namespace tessra
