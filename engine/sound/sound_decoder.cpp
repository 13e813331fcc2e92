// The decoder frame: one interface over every sound file kind (PCM WAVE, ACM, Ogg Vorbis), the
// PCM WAVE reader, and the whole-file helpers.
#include <algorithm>
#include <cstring>

#include "engine/base/file_access.h"
#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/sound/sound_internal.h"

namespace tessra {

using namespace sjis_literals;
using plat::WAVEFORMATEX;

namespace {

// What the output side can play: PCM of 1 or 2 channels, 8 or 16 bits, a block align that
// matches, a rate the device mixes, and an average rate that agrees. Anything else would make a
// buffer the device refuses or a decode buffer of the wrong size.
bool PlayableFormat(const WAVEFORMATEX& f) {
    return f.wFormatTag == plat::WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) &&
           f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 && f.nSamplesPerSec >= 100 &&
           f.nSamplesPerSec <= 192000 && f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

// Releases what a winning reader took (its per-kind state), as the close of that kind does.
void CloseDecoderKind(SoundDecoder* d) {
    switch (d->kind) {
        case kDecoderAcm:
            CloseAcmDecoder(d);
            break;
        case kDecoderOgg:
            CloseOggDecoder(d);
            break;
        default:
            break;
    }
}

int RefillDecoder(SoundDecoder* d) {
    switch (d->kind) {
        case kDecoderPcmWave:
            return ReadPcmWaveDecoder(d);
        case kDecoderAcm:
            return ReadAcmDecoder(d);
        case kDecoderOgg:
            return ReadOggDecoder(d);
        default:
            return -1;
    }
}

}  // namespace

// --- The frame ---------------------------------------------------------------------------------

int OpenSoundDecoder(const StreamIo* stream, SoundDecoder* d) {
    d->io = *stream;
    d->loopStartPosition = 0;
    d->kindState = nullptr;
    d->open = 0;
    int (*const readers[])(SoundDecoder*) = {OpenPcmWaveDecoder, OpenAcmWaveDecoder, OpenOggDecoder,
                                             OpenMp3Decoder};
    bool accepted = false;
    for (auto reader : readers) {
        d->io.Seek(d->io.handle, 0, kSeekSet);
        if (reader(d) == 0) {
            accepted = true;
            break;
        }
    }
    if (!accepted) return -1;
    if (!PlayableFormat(d->format) || d->capacity == 0) {
        CloseDecoderKind(d);
        return -1;
    }
    d->buffer = static_cast<uint8_t*>(AllocTagged(d->capacity, "", 0));
    if (d->buffer == nullptr) {
        CloseDecoderKind(d);
        return -1;
    }
    d->bytesLeft = 0;
    d->readOffset = 0;
    d->decodedPosition = 0;
    d->endFlag = 0;
    d->open = 1;
    return 0;
}

int ReadSoundDecoder(SoundDecoder* d, void* destination, uint32_t n) {
    if (!d->open) return -1;
    if (d->endFlag) return 0;
    auto* out = static_cast<uint8_t*>(destination);
    uint32_t delivered = 0;
    while (n > 0) {
        if (d->bytesLeft == 0) {
            d->readOffset = 0;
            if (RefillDecoder(d) == -1) {
                d->endFlag = 1;
                return static_cast<int>(delivered);
            }
        }
        const uint32_t take = std::min(n, d->bytesLeft);
        std::memcpy(out, d->buffer + d->readOffset, take);
        d->readOffset += take;
        out += take;
        d->decodedPosition += take;
        d->bytesLeft -= take;
        n -= take;
        delivered += take;
    }
    return static_cast<int>(delivered);
}

int SeekSoundDecoder(SoundDecoder* d, uint32_t frame) {
    const int64_t target = static_cast<int64_t>(d->format.nBlockAlign) * frame;
    const int64_t distance = target - static_cast<int64_t>(d->decodedPosition);
    if (distance > -16 && distance < 16) return 0;
    return RepositionSoundDecoder(d, frame);
}

int RepositionSoundDecoder(SoundDecoder* d, uint32_t frame) {
    switch (d->kind) {
        case kDecoderPcmWave:
            SeekPcmWaveDecoder(d, frame);
            break;
        case kDecoderAcm:
            SeekAcmDecoder(d, frame);
            break;
        case kDecoderOgg:
            SeekOggDecoder(d, frame);
            break;
        default:
            break;
    }
    d->endFlag = 0;
    return 0;
}

int CloseSoundDecoder(SoundDecoder* d) {
    if (!d->open) return -1;
    FreeTagged(d->buffer);
    d->buffer = nullptr;
    CloseDecoderKind(d);
    d->open = 0;
    return 0;
}

int GetSoundDecoderFormat(const SoundDecoder* d, WAVEFORMATEX* format) {
    std::memcpy(format, &d->format, sizeof(WAVEFORMATEX));
    return 0;
}

uint32_t GetSoundDecoderSize(const SoundDecoder* d) {
    switch (d->kind) {
        case kDecoderPcmWave:
            return d->dataSize;
        case kDecoderAcm:
            return GetAcmDecodedSize(d);
        case kDecoderOgg:
            return GetOggDecodedSize(d);
        default:
            return 0;
    }
}

int DecodeWholeSound(SoundDecoder* d, WAVEFORMATEX* format, void** block, uint32_t* length) {
    uint32_t n = GetSoundDecoderSize(d);
    // The compressed kinds' sizes may be estimates: leave a second of room beyond them and keep
    // only what the reads deliver.
    uint64_t room = n;
    if (d->kind != kDecoderPcmWave) room += uint64_t{44100} * d->format.nBlockAlign;
    if (room > kAllocMaxSize) return -1;
    auto* data = static_cast<uint8_t*>(AllocTagged(room > 0 ? room : 1, "", 0));
    if (data == nullptr) return -1;
    SeekSoundDecoder(d, 0);
    if (d->kind == kDecoderPcmWave) {
        d->io.Seek(d->io.handle, static_cast<int32_t>(d->dataStart), kSeekSet);
        n = static_cast<uint32_t>(StreamRead(d, data, n));
    } else {
        const int got = ReadSoundDecoder(d, data, static_cast<uint32_t>(room));
        n = got > 0 ? static_cast<uint32_t>(got) : 0;
    }
    std::memcpy(format, &d->format, sizeof(WAVEFORMATEX));
    *block = data;
    *length = n;
    return 0;
}

int BuildWaveFileImage(void** image, uint32_t* imageSize, const void* format, uint32_t formatSize,
                       const void* data, uint32_t dataSize) {
    const uint64_t size = uint64_t{formatSize} + dataSize + 28;
    if (size > kAllocMaxSize) return -1;
    auto* p = static_cast<uint8_t*>(AllocTagged(size, "", 0));
    if (p == nullptr) return -1;
    auto put32 = [](uint8_t* at, uint32_t v) {
        at[0] = static_cast<uint8_t>(v);
        at[1] = static_cast<uint8_t>(v >> 8);
        at[2] = static_cast<uint8_t>(v >> 16);
        at[3] = static_cast<uint8_t>(v >> 24);
    };
    std::memcpy(p, "RIFF", 4);
    put32(p + 4, static_cast<uint32_t>(size - 8));
    std::memcpy(p + 8, "WAVEfmt ", 8);
    put32(p + 16, formatSize);
    std::memcpy(p + 20, format, formatSize);
    std::memcpy(p + 20 + formatSize, "data", 4);
    put32(p + 24 + formatSize, dataSize);
    std::memcpy(p + 28 + formatSize, data, dataSize);
    *image = p;
    *imageSize = static_cast<uint32_t>(size);
    return 0;
}

int LoadWholeFile(const char* fileName, void** block, uint32_t* size) {
    const StreamHandle file = OpenViaFileTable(fileName, 0, 1);
    if (file == 0) {
        AppendLogFormat("右記のファイルのオープンに失敗しました：%s"_sjis, fileName);
        return -1;
    }
    SeekViaFileTable(file, 0, kSeekEnd);
    const int64_t length = std::clamp<int64_t>(TellViaFileTable(file), 0, kAllocMaxSize - 1);
    SeekViaFileTable(file, 0, kSeekSet);
    void* data = AllocTagged(length > 0 ? length : 1, "", 0);
    if (data == nullptr) {
        AppendLogFormat("右記のファイルのロードに必要なメモリの確保に失敗しました：%s"_sjis,
                        fileName);
        CloseViaFileTable(file);
        return -1;
    }
    // A file that is shorter than it said (a short read) is kept at what was read.
    const int64_t got = length > 0 ? ReadViaFileTable(data, 1, length, file) : 0;
    CloseViaFileTable(file);
    *block = data;
    *size = static_cast<uint32_t>(std::clamp<int64_t>(got, 0, length));
    return 0;
}

int LoadWholeStream(const StreamIo* stream, void** block, uint32_t* size) {
    stream->Seek(stream->handle, 0, kSeekEnd);
    const int64_t length = std::clamp<int64_t>(stream->Tell(stream->handle), 0, kAllocMaxSize - 1);
    stream->Seek(stream->handle, 0, kSeekSet);
    void* data = AllocTagged(length > 0 ? length : 1, "", 0);
    if (data == nullptr) {
        AppendLog("ストリームの読み込みに必要なメモリの確保に失敗しました"_sjis);
        return -1;
    }
    const int64_t got = length > 0 ? stream->Read(data, 1, length, stream->handle) : 0;
    *block = data;
    *size = static_cast<uint32_t>(std::clamp<int64_t>(got, 0, length));
    return 0;
}

// --- PCM WAVE ----------------------------------------------------------------------------------

int OpenPcmWaveDecoder(SoundDecoder* d) {
    const StreamIo& io = d->io;
    const int64_t streamSize = StreamSize(io);
    uint8_t header[12];
    if (StreamRead(d, header, 12) != 12) return -1;
    if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0) return -1;
    uint8_t chunk[8];
    if (StreamRead(d, chunk, 8) != 8 || std::memcmp(chunk, "fmt ", 4) != 0) return -1;
    const uint32_t fmtSize = ReadLe32(chunk + 4);
    if (fmtSize < 2 || fmtSize > streamSize - 20) return -1;
    auto* fmt = static_cast<uint8_t*>(AllocTagged(fmtSize, "", 0));
    if (fmt == nullptr) return -1;
    if (StreamRead(d, fmt, fmtSize) != fmtSize || (fmt[0] | fmt[1] << 8) != plat::WAVE_FORMAT_PCM) {
        FreeTagged(fmt);
        return -1;
    }
    // An odd-sized chunk is followed by a pad byte like any other.
    if (fmtSize & 1) io.Seek(io.handle, 1, kSeekCur);
    std::memset(&d->format, 0, sizeof d->format);
    std::memcpy(&d->format, fmt, std::min<uint32_t>(fmtSize, sizeof d->format));
    if (fmtSize == 16) {
        if (d->format.nChannels != 0)
            d->format.wBitsPerSample =
                static_cast<uint16_t>(d->format.nBlockAlign / d->format.nChannels * 8);
        d->format.cbSize = 0;
    }
    FreeTagged(fmt);

    bool found = false;
    uint32_t declared = 0;
    while (!io.Eof(io.handle)) {
        if (StreamRead(d, chunk, 8) != 8) break;
        declared = ReadLe32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            found = true;
            break;
        }
        const int64_t next = io.Tell(io.handle) + declared + (declared & 1);
        if (next > streamSize) break;  // a chunk running past the end: no data follows
        io.Seek(io.handle, static_cast<int32_t>(next), kSeekSet);
    }
    if (!found) return -1;
    d->dataStart = static_cast<uint32_t>(io.Tell(io.handle));
    // The data cannot be longer than what the stream still holds.
    d->dataSize = static_cast<uint32_t>(
        std::min<int64_t>(declared, std::max<int64_t>(0, streamSize - d->dataStart)));
    d->capacity = d->format.nAvgBytesPerSec;
    d->kind = kDecoderPcmWave;
    return 0;
}

int ReadPcmWaveDecoder(SoundDecoder* d) {
    const int64_t consumed = d->io.Tell(d->io.handle) - d->dataStart;
    if (consumed < 0 || consumed >= d->dataSize) return -1;
    const uint32_t want = std::min<uint32_t>(d->dataSize - consumed, d->capacity);
    const int64_t got = StreamRead(d, d->buffer, want);
    if (got <= 0) return -1;  // the stream ended early: so does the data
    d->bytesLeft = static_cast<uint32_t>(got);
    return 0;
}

int SeekPcmWaveDecoder(SoundDecoder* d, uint32_t frame) {
    const uint64_t offset =
        std::min<uint64_t>(uint64_t{d->format.nBlockAlign} * frame, d->dataSize);
    d->io.Seek(d->io.handle, static_cast<int32_t>(d->dataStart + offset), kSeekSet);
    d->decodedPosition = d->format.nBlockAlign * frame;
    d->bytesLeft = 0;
    d->readOffset = 0;
    return 0;
}

}  // namespace tessra
