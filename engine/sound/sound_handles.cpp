// Sound handles: the table of sound records, loading a file into a sound, playing it on its
// buffers in turn, stopping, querying, volume and deleting.
#include <algorithm>
#include <cstring>

#include "engine/base/fatal.h"
#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/message_pump_hook.h"
#include "engine/base/sjis.h"
#include "engine/sound/sound.h"
#include "engine/sound/sound_internal.h"
#include "platform/win/time.h"

namespace tessra {

using namespace sjis_literals;

namespace {

constexpr uint32_t kStatusPlaying = 0x1;

plat::DSBUFFERDESC Describe(uint32_t flags, uint32_t bytes, plat::WAVEFORMATEX* format) {
    return plat::DSBUFFERDESC{sizeof(plat::DSBUFFERDESC), flags, bytes, 0, format, {}};
}

// Copies the sound's PCM into one buffer.
int FillBuffer(SoundRecord* record, SoundBufferRecord* buffer) {
    void *part1 = nullptr, *part2 = nullptr;
    uint32_t size1 = 0, size2 = 0;
    if (LockSoundBuffer(buffer, 0, record->pcmLength, &part1, &size1, &part2, &size2) == -1)
        return -1;
    const auto* pcm = static_cast<const uint8_t*>(record->pcm);
    std::memcpy(part1, pcm, size1);
    if (part2 != nullptr) std::memcpy(part2, pcm + size1, size2);
    UnlockSoundBuffer(buffer, part1, size1, part2, size2);
    return 0;
}

}  // namespace

SoundRecord* FindSound(int32_t handle) {
    SoundSystem& s = GetSoundSystem();
    if (s.device == nullptr) return nullptr;
    return s.table.Find(handle, kSoundHandleKind);
}

int AddSoundData(int32_t handle) {
    auto& table = GetSoundSystem().table;
    int32_t slot;
    if (handle != -1) {
        // Rebuilding a sound under its old handle: only into the handle's own, empty slot.
        if (!HandleFitsKind(handle, kSoundHandleKind, kMaxSounds)) return -1;
        slot = HandleSlot(handle);
        if (table.records[slot] != nullptr) return -1;
    } else {
        if (table.liveCount >= kMaxSounds) {
            AppendLog("サウンドの数が許容量を越えました\n"_sjis);
            return -1;
        }
        slot = table.topSlot;
        if (slot >= kMaxSounds) {
            slot = 0;
            while (slot < kMaxSounds && table.records[slot] != nullptr) ++slot;
            if (slot == kMaxSounds) return -1;
        }
    }
    auto* record = static_cast<SoundRecord*>(AllocTaggedZeroed(sizeof(SoundRecord), "", 0));
    if (record == nullptr) {
        AppendLog("メモリ領域の確保に失敗しました in AddSoundData"_sjis);
        return -1;
    }
    if (handle == -1) {
        record->check = table.checkCounter;
        table.checkCounter = NextHandleCheck(table.checkCounter);
    } else {
        record->check = HandleCheckBits(handle) >> 16;
    }
    table.records[slot] = record;
    ++table.liveCount;
    if (slot + 1 > table.topSlot) table.topSlot = slot + 1;
    return handle != -1 ? handle : MakeEngineHandle(kSoundHandleKind, record->check, slot);
}

int CreateSoundBuffers(const plat::WAVEFORMATEX* format, uint32_t size, int kind, int count,
                       int32_t handle) {
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    plat::WAVEFORMATEX f = *format;
    if (kind == kSoundStream) {
        plat::DSBUFFERDESC desc = Describe(0x180E2, f.nAvgBytesPerSec * 6, &f);
        if (CreateSoundBuffer(&record->buffers[0], &desc) == -1)
            RaiseFatalError("ストリーム風サウンドバッファの作成に失敗しました"_sjis);
        record->bufferCount = 1;
    } else {
        int made = 0;
        for (int i = 0; i < count && i < kMaxSoundBuffers; ++i) {
            if (i == 0) {
                plat::DSBUFFERDESC desc = Describe(0x80E2, size, &f);
                if (CreateSoundBuffer(&record->buffers[0], &desc) == -1) {
                    desc = Describe(0xC2, size, &f);
                    if (CreateSoundBuffer(&record->buffers[0], &desc) == -1)
                        RaiseFatalError("DirectSoundBuffer の作成に失敗しました"_sjis);
                }
            } else if (DuplicateSoundBuffer(&record->buffers[0], &record->buffers[i]) == -1) {
                break;
            }
            made = i + 1;
        }
        record->bufferCount = count <= 0 ? count : made;
    }
    record->kind = kind;
    if (kind == kSoundStream) {
        SoundSystem& s = GetSoundSystem();
        AppendListNode(&s.streamHead, &record->streamNode, handle, record);
    }
    return 0;
}

int CreateSoundFromFile(const char* fileName, int bufferCount, int share) {
    SoundSystem& s = GetSoundSystem();
    if (s.device == nullptr) return -1;
    if (s.keepMode != 0) {
        const int handle = AddSoundData(-1);
        if (handle == -1) return -1;
        if (AddStreamSoundFile(fileName, 0, handle, s.keepMode, share) == 0) {
            RewindStreamSound(handle);
            return handle;
        }
        DeleteSound(handle);
        return -1;
    }
    void* image = nullptr;
    uint32_t size = 0;
    if (LoadWholeFile(fileName, &image, &size) == -1) {
        AppendLogFormat("右記の音声ファイルのロードに失敗しました_1：%s"_sjis, fileName);
        return -1;
    }
    const int handle =
        CreateSoundFromFileImage(image, size, std::min(bufferCount, kMaxSoundBuffers), -1);
    FreeTagged(image);
    if (handle == -1) {
        AppendLogFormat("右記の音声ファイルのロードに失敗しました_2：%s"_sjis, fileName);
        return -1;
    }
    return handle;
}

int CreateSoundFromFileImage(const void* image, uint32_t size, int count, int32_t share) {
    SoundSystem& s = GetSoundSystem();
    if (s.device == nullptr || count > kMaxSoundBuffers) return -1;
    const int handle = AddSoundData(-1);
    if (handle == -1) return -1;
    if (s.keepMode != 0) {
        if (AddStreamSoundMemImage(image, size, 0, handle, s.keepMode, share) == 0) {
            RewindStreamSound(handle);
            return handle;
        }
        DeleteSound(handle);
        return -1;
    }
    SoundDecoder decoder{};
    const StreamHandle memory = OpenMemStream(image, size);
    auto cleanUp = [&] {
        DeleteSound(handle);
        if (memory != 0) CloseMemStream(memory);
        if (decoder.open) CloseSoundDecoder(&decoder);
        return -1;
    };
    if (memory == 0) return cleanUp();
    const StreamIo io = MakeStreamIo(GetMemStreamFuncs(), memory);
    if (OpenSoundDecoder(&io, &decoder) == -1) {
        AppendLogFormat("%s", "音声ファイルのＰＣＭへの変換に失敗しました"_sjis);
        return cleanUp();
    }
    plat::WAVEFORMATEX format{};
    void* pcm = nullptr;
    uint32_t length = 0;
    if (DecodeWholeSound(&decoder, &format, &pcm, &length) == -1) {
        AppendLogFormat("%s", "音声ファイルを格納するメモリ領域の確保に失敗しました"_sjis);
        FreeTagged(pcm);
        return cleanUp();
    }
    // A sound without one whole frame of PCM cannot make a buffer.
    if (length < format.nBlockAlign) {
        AppendLogFormat("%s", "音声ファイルのＰＣＭへの変換に失敗しました"_sjis);
        FreeTagged(pcm);
        return cleanUp();
    }
    CloseSoundDecoder(&decoder);
    CloseMemStream(memory);
    if (CreateSoundBuffers(&format, length, kSoundNormal, count, handle) == -1) {
        FreeTagged(pcm);
        DeleteSound(handle);
        return -1;
    }
    SoundRecord* record = FindSound(handle);
    record->format = format;
    record->pcm = pcm;
    record->pcmLength = length;
    for (int i = 0; i < record->bufferCount; ++i) {
        if (FillBuffer(record, &record->buffers[i]) == -1) {
            AppendLog("サウンドデータの転送に失敗しました_1"_sjis);
            DeleteSound(handle);  // frees the PCM with the record
            return -1;
        }
    }
    return handle;
}

int PlaySoundOnNextBuffer(int handle, int playType, int fromStart) {
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kSoundStream) return StartStreamSoundPlayback(handle, playType, fromStart);
    // A copy started with from-start 0 begins where the last started copy is; with none, at 0.
    uint32_t cursor = 0;
    const int index = record->roundRobin;
    if (index >= 0 && index < kMaxSoundBuffers && record->buffers[index].created) {
        plat::DWORD play = 0;
        record->buffers[index].buffer->GetCurrentPosition(&play, nullptr);
        cursor = play;
    }
    int next = index + 1;
    if (next >= record->bufferCount) next = 0;
    record->roundRobin = next;
    SoundBufferRecord* buffer = &record->buffers[next];
    uint32_t status = 0;
    if (GetSoundBufferStatus(buffer, &status) == -1) return -1;
    if (status & kStatusPlaying) {
        if (fromStart == 0) return 0;
        StopSoundBuffer(buffer);
    }
    SetSoundBufferPosition(buffer, fromStart == 1 ? 0 : cursor);
    if (PlaySoundBuffer(buffer, playType == 3) == -1) return -1;
    record->lastStartTime = plat::timeGetTime();
    if (playType == 0 && RunMessagePumpPass() == 0) {
        do {
            if (QuerySoundPlaying(handle) != 1) break;
            plat::Sleep(1);
        } while (RunMessagePumpPass() == 0);
    }
    return 0;
}

int StopSoundBuffers(int handle) {
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kSoundStream) return StopStreamSound(handle);
    for (int i = 0; i < record->bufferCount && i < kMaxSoundBuffers; ++i) {
        uint32_t status = 0;
        if (GetSoundBufferStatus(&record->buffers[i], &status) == -1) return -1;
        if (status & kStatusPlaying) StopSoundBuffer(&record->buffers[i]);
    }
    return 0;
}

int QuerySoundPlaying(int handle) {
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kSoundStream) return IsStreamSoundPlaying(handle);
    for (int i = 0; i < record->bufferCount && i < kMaxSoundBuffers; ++i) {
        uint32_t status = 0;
        if (GetSoundBufferStatus(&record->buffers[i], &status) == 0 && (status & kStatusPlaying))
            return 1;
    }
    return 0;
}

int ApplySoundVolume(int volume, int handle) {
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    const int32_t value = std::clamp(volume - 10000, -10000, 0);
    for (int i = 0; i < record->bufferCount && i < kMaxSoundBuffers; ++i)
        SetSoundBufferVolume(&record->buffers[i], value);
    return 0;
}

int GetSoundLengthFrames(int32_t handle) {
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kSoundNormal)
        return record->format.nBlockAlign != 0
                   ? static_cast<int>(record->pcmLength / record->format.nBlockAlign)
                   : 0;
    if (record->kind == kSoundStream) return static_cast<int>(GetStreamSoundTotalFrames(record));
    return 0;
}

int StoreSoundDataKeepMode(int mode) {
    // Without a sound device every sound operation answers -1, this one too.
    if (GetSoundSystem().device == nullptr || mode < 0 || mode > 3) return -1;
    GetSoundSystem().keepMode = mode;
    return 0;
}

int DeleteSound(int32_t handle) {
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kSoundStream) {
        StopStreamSound(handle);
        if (ReleaseStreamSound(handle, record) == 1) return 0;
    } else {
        if (record->buffers[0].created) StopSoundBuffers(handle);
        for (SoundBufferRecord& buffer : record->buffers) {
            if (buffer.created) ReleaseSoundBuffer(&buffer);
        }
        FreeTagged(record->pcm);
    }
    FreeTagged(record);
    GetSoundSystem().table.Vacate(HandleSlot(handle));
    return 0;
}

int DeleteAllSounds() {
    auto& table = GetSoundSystem().table;
    if (GetSoundSystem().device == nullptr) return -1;
    for (int32_t slot = 0; slot < kMaxSounds; ++slot) {
        const SoundRecord* record = table.records[slot];
        if (record != nullptr) DeleteSound(MakeEngineHandle(kSoundHandleKind, record->check, slot));
    }
    return 0;
}

}  // namespace tessra
