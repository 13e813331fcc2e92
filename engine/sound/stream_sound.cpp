// Stream sounds: up to three data items played one after another through a six-second ring
// that the message pump tops up, with item repeats, a loop start, and rings shared between
// sounds of one format.
#include <algorithm>
#include <cstring>

#include "engine/base/file_access.h"
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
constexpr int kPlayLoop = 3;

// The two parts of a locked ring range, each with how much of it is filled.
struct LockedRegion {
    uint8_t* part[2];
    uint32_t size[2];
    uint32_t filled[2];
    uint32_t start;  // ring offset of part 1
};

uint32_t RegionLeft(const LockedRegion& r) {
    return (r.size[0] - r.filled[0]) + (r.size[1] - r.filled[1]);
}

// The ring offset just past the last byte written into the region.
uint32_t RegionEnd(const LockedRegion& r, uint32_t ringSize) {
    if (r.filled[1] > 0) return r.filled[1];
    return (r.start + r.filled[0]) % ringSize;
}

uint32_t WholeBlocks(uint64_t bytes, uint32_t align) {
    return align != 0 ? static_cast<uint32_t>(bytes / align * align) : 0;
}

// Distance from a to b going forward around the ring.
uint32_t RingDistance(uint32_t from, uint32_t to, uint32_t ringSize) {
    return (to + ringSize - from) % ringSize;
}

StreamDataItem* CurrentItem(SoundRecord* record) {
    return &record->stream.items[record->stream.currentItem];
}

void FillStreamSilence(const SoundRecord* record, LockedRegion* region, uint32_t bytes) {
    const uint8_t value = record->format.wBitsPerSample > 8 ? 0x00 : 0x80;
    for (int i = 0; i < 2 && bytes > 0; ++i) {
        const uint32_t n = std::min(bytes, region->size[i] - region->filled[i]);
        std::memset(region->part[i] + region->filled[i], value, n);
        region->filled[i] += n;
        bytes -= n;
    }
}

uint32_t ReadStreamItemPcm(LockedRegion* region, SoundDecoder* decoder, uint32_t bytes) {
    uint32_t total = 0;
    for (int i = 0; i < 2 && bytes > 0; ++i) {
        while (bytes > 0 && region->filled[i] < region->size[i]) {
            const uint32_t want = std::min(bytes, region->size[i] - region->filled[i]);
            const int got = ReadSoundDecoder(decoder, region->part[i] + region->filled[i], want);
            if (got <= 0) return total;
            region->filled[i] += static_cast<uint32_t>(got);
            bytes -= static_cast<uint32_t>(got);
            total += static_cast<uint32_t>(got);
        }
    }
    return total;
}

// The data has run out (or can give nothing more): silence follows, and the refill stops the
// ring once the cursor has passed the end.
void EndStreamData(SoundRecord* record, LockedRegion* region, uint32_t playCursor) {
    StreamSoundState& st = record->stream;
    st.dataEnded = 1;
    st.endPosition = RegionEnd(*region, st.ringSize);
    st.cursorAtEnd = playCursor;
    FillStreamSilence(record, region, RegionLeft(*region));
}

int AdvanceStreamItem(SoundRecord* record, LockedRegion* region, uint32_t playCursor) {
    StreamSoundState& st = record->stream;
    ++st.loopCounter;
    const StreamDataItem* item = CurrentItem(record);
    if (item->loopCount != 255 && item->loopCount < st.loopCounter) {
        st.loopCounter = 0;
        ++st.currentItem;
    }
    if (st.currentItem >= st.itemCount) {
        st.playedToEnd = 1;
        if (record->lastPlayType != kPlayLoop) {
            st.currentItem = st.itemCount - 1;
            EndStreamData(record, region, playCursor);
            return -1;
        }
        st.wrapPending = 1;
        st.currentItem = 0;
        st.wrapPosition = RegionEnd(*region, st.ringSize);
    }
    StreamDataItem* next = CurrentItem(record);
    const uint32_t align = record->format.nBlockAlign;
    st.decodedBytes = st.loopCounter > 0 ? align * next->loopStartFrame : 0;
    RepositionSoundDecoder(&next->decoder, st.decodedBytes / align);
    return 0;
}

void CloseItem(StreamDataItem* item, bool owned) {
    if (item->decoder.open) CloseSoundDecoder(&item->decoder);
    if (item->io.handle != 0) CloseMemStream(item->io.handle);
    item->io = StreamIo{};
    FreeTagged(item->data);
    item->data = nullptr;
    if (owned && item->sourceType == 3 && item->callerIo.handle != 0)
        item->callerIo.Close(item->callerIo.handle);
    item->callerIo = StreamIo{};
}

}  // namespace

int AddSreamSound(const StreamIo* io, int loop, int32_t h, int type, int* out, int32_t share) {
    SoundRecord* record = FindSound(h);
    if (record == nullptr) return -1;
    StreamSoundState& st = record->stream;
    if (st.itemCount > 0) {
        if (record->kind != kSoundStream) {
            AppendLog(
                "ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\n"_sjis);
            return -1;
        }
        SoundBufferRecord* ring = nullptr;
        uint32_t status = 0;
        if (AcquireStreamRing(h, record, &ring, 0) == 0 &&
            GetSoundBufferStatus(ring, &status) == 0 && (status & kStatusPlaying)) {
            AppendLog("既に再生中のストリームサウンドデータにデータを追加しようとしました\n"_sjis);
            return -1;
        }
        if (st.itemCount >= kMaxStreamItems) {
            AppendLog("ストリーム風サウンドの制御データ領域がいっぱいです\n"_sjis);
            return -1;
        }
    }
    StreamDataItem* item = &st.items[st.itemCount];
    std::memset(static_cast<void*>(item), 0, sizeof *item);
    item->sourceType = type;
    io->Seek(io->handle, 0, kSeekSet);
    *out = 1;
    auto openOverData = [&]() {
        const StreamHandle memory = OpenMemStream(item->data, item->dataSize);
        if (memory == 0) return -1;
        item->io = MakeStreamIo(GetMemStreamFuncs(), memory);
        return OpenSoundDecoder(&item->io, &item->decoder);
    };
    if (type == 0) {
        void* image = nullptr;
        uint32_t size = 0;
        if (LoadWholeStream(io, &image, &size) == -1) {
            AppendLogFormat("音声データの読み込みに失敗しました"_sjis);
            return -1;
        }
        const StreamHandle memory = OpenMemStream(image, size);
        const StreamIo mio = MakeStreamIo(GetMemStreamFuncs(), memory);
        SoundDecoder whole{};
        plat::WAVEFORMATEX format{};
        void* pcm = nullptr;
        uint32_t length = 0;
        const bool decoded = memory != 0 && OpenSoundDecoder(&mio, &whole) == 0 &&
                             DecodeWholeSound(&whole, &format, &pcm, &length) == 0;
        if (whole.open) CloseSoundDecoder(&whole);
        if (memory != 0) CloseMemStream(memory);
        FreeTagged(image);
        if (!decoded || length < format.nBlockAlign ||
            BuildWaveFileImage(&item->data, &item->dataSize, &format, sizeof format, pcm, length) ==
                -1) {
            FreeTagged(pcm);
            AppendLogFormat("音声データの変換に失敗しました"_sjis);
            return -1;
        }
        FreeTagged(pcm);
        if (openOverData() == -1) {
            CloseItem(item, false);
            AppendLogFormat("音声データのオープンに失敗しました"_sjis);
            return -1;
        }
    } else if (type == 2) {
        if (LoadWholeStream(io, &item->data, &item->dataSize) == -1) {
            AppendLogFormat("音声データの読み込みに失敗しました"_sjis);
            return -1;
        }
        if (openOverData() == -1) {
            CloseItem(item, false);
            AppendLogFormat("音声データのオープンに失敗しました"_sjis);
            return -1;
        }
    } else if (type == 3) {
        if (OpenSoundDecoder(io, &item->decoder) == -1) {
            AppendLogFormat("音声データのオープンに失敗しました"_sjis);
            return -1;
        }
        item->callerIo = *io;
        *out = 0;
    } else {
        // No data source for this kind: a sound without a decoder or format could not play.
        AppendLogFormat("音声データのオープンに失敗しました"_sjis);
        return -1;
    }

    plat::WAVEFORMATEX format{};
    GetSoundDecoderFormat(&item->decoder, &format);
    if (st.itemCount > 0) {
        if (std::memcmp(&format, &record->format, sizeof format) != 0) {
            CloseItem(item, false);
            AppendLogFormat("フォーマットの違う音声データは同時に使うことは出来ません"_sjis);
            return -1;
        }
    } else {
        record->format = format;
        st.ringSize = format.nAvgBytesPerSec * 6;
        SoundRecord* owner = share != -1 ? FindSound(share) : nullptr;
        if (owner != nullptr && owner != record && owner->kind == kSoundStream &&
            owner->stream.ringSource == -1 &&
            std::memcmp(&owner->format, &format, sizeof format) == 0) {
            record->kind = kSoundStream;
            record->bufferCount = 1;
            SoundSystem& s = GetSoundSystem();
            AppendListNode(&s.streamHead, &record->streamNode, h, record);
            st.ringSource = share;
            ++owner->stream.shareCount;
        } else {
            CreateSoundBuffers(&format, st.ringSize, kSoundStream, 1, h);
            st.ringSource = -1;
        }
        st.shareCount = 0;
        st.ringUser = -1;
        st.deletePending = 0;
    }
    item->loopCount = static_cast<uint8_t>(loop);
    ++st.itemCount;
    uint32_t total = 0;
    for (int i = 0; i < st.itemCount; ++i)
        total += GetSoundDecoderSize(&st.items[i].decoder) / record->format.nBlockAlign;
    st.totalFrames = total;
    return 0;
}

int AddStreamSoundFile(const char* fileName, int loop, int32_t h, int type, int32_t share) {
    const StreamHandle file = OpenViaFileTable(fileName, 0, 1);
    if (file == 0) {
        AppendLogFormat("右記のＷＡＶファイルのロードに失敗しました：%s \n"_sjis, fileName);
        return -1;
    }
    const StreamIo io = MakeStreamIo(GetFileStreamFuncs(), file);
    int out = 1;
    if (AddSreamSound(&io, loop, h, type, &out, share) == -1) {
        AppendLogFormat("右記のＷＡＶファイルのセットアップに失敗しました：%s \n"_sjis, fileName);
        CloseViaFileTable(file);
        return -1;
    }
    if (out == 1) CloseViaFileTable(file);
    SoundRecord* record = FindSound(h);
    record->stream.owned[record->stream.itemCount - 1] = 1;
    return 0;
}

int AddStreamSoundMemImage(const void* image, uint32_t size, int loop, int32_t h, int type,
                           int32_t share) {
    const StreamHandle memory = OpenMemStream(image, size);
    if (memory == 0) {
        AppendLogFormat("ＷＡＶファイルのストリームイメージハンドルの作成に失敗しました \n"_sjis);
        return -1;
    }
    const StreamIo io = MakeStreamIo(GetMemStreamFuncs(), memory);
    int out = 1;
    if (AddSreamSound(&io, loop, h, type == 3 ? 2 : type, &out, share) == -1) {
        AppendLogFormat("ＷＡＶファイルのストリームイメージのセットアップに失敗しました \n"_sjis);
        CloseMemStream(memory);
        return -1;
    }
    if (out == 1) CloseMemStream(memory);
    SoundRecord* record = FindSound(h);
    record->stream.owned[record->stream.itemCount - 1] = 1;
    return 0;
}

int AcquireStreamRing(int32_t h, SoundRecord* record, SoundBufferRecord** ring, int force) {
    if (record->kind != kSoundStream) {
        *ring = &record->buffers[0];
        return 0;
    }
    SoundRecord* owner = record;
    if (record->stream.ringSource != -1) {
        owner = FindSound(record->stream.ringSource);
        if (owner == nullptr) return -1;
    }
    *ring = &owner->buffers[0];
    const int32_t user = owner->stream.ringUser;
    if (user == -1 || user == h) {
        owner->stream.ringUser = h;
        return 0;
    }
    if (!force) return -1;
    StopStreamSound(user);
    owner->stream.ringUser = h;
    return 0;
}

int RewindStreamSound(int32_t h) {
    SoundRecord* record = FindSound(h);
    if (record == nullptr) return -1;
    if (record->kind != kSoundStream) return 0;
    SoundBufferRecord* ring = nullptr;
    if (AcquireStreamRing(h, record, &ring, 0) != 0) return 0;
    StreamSoundState& st = record->stream;
    uint32_t status = 0;
    if (GetSoundBufferStatus(ring, &status) == 0 && (status & kStatusPlaying)) return 0;
    if (st.started) return 0;
    SetSoundBufferPosition(ring, 0);
    st.writePosition = kRingNotFilled;
    st.windowStart = -1;
    st.dataEnded = 0;
    st.lastCursor = 0;
    RepositionSoundDecoder(&CurrentItem(record)->decoder,
                           st.decodedBytes / record->format.nBlockAlign);
    st.started = 1;
    return RefillStreamSound(h);
}

int StartStreamSoundPlayback(int32_t h, int type, int fromStart) {
    SoundRecord* record = FindSound(h);
    if (record == nullptr) return -1;
    SoundBufferRecord* ring = nullptr;
    if (AcquireStreamRing(h, record, &ring, 1) != 0) return -1;
    StreamSoundState& st = record->stream;
    uint32_t status = 0;
    if (fromStart == 0 && GetSoundBufferStatus(ring, &status) == 0 && (status & kStatusPlaying))
        return 0;
    StopStreamSound(h);
    const bool loopChanged = ((type ^ record->lastPlayType) & 2) != 0 && st.playedToEnd;
    if (loopChanged || (fromStart == 1 && st.playedBytes != 0)) {
        st.decodedBytes = 0;
        st.playedBytes = 0;
        st.wrapPending = 0;
        st.loopCounter = 0;
        st.currentItem = 0;
        st.started = 0;
    }
    if (loopChanged || fromStart == 1) st.playedToEnd = 0;
    record->lastPlayType = type;
    RewindStreamSound(h);
    if (PlaySoundBuffer(ring, 1) == -1) return -1;
    record->lastStartTime = plat::timeGetTime();
    if (type == 0) {
        while (RunMessagePumpPass() == 0 && QuerySoundPlaying(h) == 1) plat::Sleep(1);
    }
    return 0;
}

int StopStreamSound(int32_t h) {
    SoundRecord* record = FindSound(h);
    if (record == nullptr) return -1;
    UpdateStreamPlayPosition(h, -1);
    SoundBufferRecord* ring = nullptr;
    if (AcquireStreamRing(h, record, &ring, 0) != 0) return 0;
    if (record->kind == kSoundStream && record->stream.ringSource != -1) {
        SoundRecord* owner = FindSound(record->stream.ringSource);
        if (owner != nullptr) owner->stream.ringUser = -1;
    }
    uint32_t status = 0;
    if (GetSoundBufferStatus(ring, &status) == -1) return -1;
    if (status & kStatusPlaying) StopSoundBuffer(ring);
    return 0;
}

int IsStreamSoundPlaying(int32_t h) {
    SoundRecord* record = FindSound(h);
    if (record == nullptr) return -1;
    SoundBufferRecord* ring = nullptr;
    if (AcquireStreamRing(h, record, &ring, 0) != 0) return 0;
    uint32_t status = 0;
    if (GetSoundBufferStatus(ring, &status) == -1) return 0;
    return (status & kStatusPlaying) ? 1 : 0;
}

int UpdateStreamPlayPosition(int32_t h, int64_t cursor) {
    SoundRecord* record = FindSound(h);
    if (record == nullptr) return -1;
    StreamSoundState& st = record->stream;
    if (record->kind != kSoundStream || !st.started) return 0;
    SoundBufferRecord* ring = nullptr;
    if (AcquireStreamRing(h, record, &ring, 0) != 0 || !ring->created) return 0;
    uint32_t now = static_cast<uint32_t>(cursor);
    if (cursor == -1) {
        plat::DWORD play = 0;
        ring->buffer->GetCurrentPosition(&play, nullptr);
        now = play;
    }
    if (now == st.lastCursor) return 0;
    const uint32_t moved = RingDistance(st.lastCursor, now, st.ringSize);
    if (st.wrapPending && RingDistance(st.lastCursor, st.wrapPosition, st.ringSize) <= moved) {
        st.playedBytes = RingDistance(st.wrapPosition, now, st.ringSize);
        st.wrapPending = 0;
    } else {
        st.playedBytes += moved;
    }
    st.lastCursor = now;
    return 0;
}

int RefillStreamSound(int32_t h) {
    SoundRecord* record = FindSound(h);
    if (record == nullptr) return -1;
    if (record->kind != kSoundStream) return 0;
    SoundBufferRecord* ring = nullptr;
    if (AcquireStreamRing(h, record, &ring, 0) != 0) return 0;
    StreamSoundState& st = record->stream;
    if (!st.started || !ring->created) return 0;
    UpdateStreamPlayPosition(h, -1);
    const uint32_t A = record->format.nAvgBytesPerSec;
    const uint32_t B = record->format.nBlockAlign;
    const uint32_t R = st.ringSize;
    uint32_t status = 0;
    GetSoundBufferStatus(ring, &status);
    const bool playing = (status & kStatusPlaying) != 0;
    plat::DWORD cursor = 0;
    ring->buffer->GetCurrentPosition(&cursor, nullptr);
    const uint32_t P = cursor;
    auto inWindow = [&] {
        const uint32_t start = static_cast<uint32_t>(st.windowStart);
        return RingDistance(start, P, R) <= RingDistance(start, st.writePosition, R);
    };

    bool firstFill = false;
    uint32_t step = 0;
    if (st.dataEnded) {
        // Past the end: the cursor stood at or before the end when the data ended (or beyond
        // the cursor now, having wrapped). "At" counts too: data that ends where the cursor
        // stands (nothing written) must stop as well.
        const uint32_t E = st.endPosition, Q = st.cursorAtEnd;
        if (E < P && (Q <= E || Q > P)) {
            StopSoundBuffer(ring);
            st.dataEnded = 0;
            return 0;
        }
        if (st.writePosition < 0 || !inWindow()) return -1;
        step = WholeBlocks(A / 8, B);
    } else if (!playing) {
        if (st.writePosition != kRingNotFilled) return 0;
        firstFill = true;
        step = WholeBlocks(uint64_t{A} * 4, B);
    } else {
        if (st.writePosition < 0 || !inWindow()) return -1;
        const uint32_t lead = RingDistance(P, st.writePosition, R);
        const uint64_t lead128 = uint64_t{lead} * 128 / A;
        step = WholeBlocks(A / 8, B);
        if (lead128 < 384) step = WholeBlocks((384 - lead128) * A / 128, B);
    }
    if (step == 0) return 0;

    LockedRegion region{};
    region.start = firstFill ? 0 : static_cast<uint32_t>(st.writePosition);
    void *part1 = nullptr, *part2 = nullptr;
    if (LockSoundBuffer(ring, region.start, step, &part1, &region.size[0], &part2,
                        &region.size[1]) == -1)
        return -1;
    region.part[0] = static_cast<uint8_t*>(part1);
    region.part[1] = static_cast<uint8_t*>(part2);
    if (st.dataEnded) {
        FillStreamSilence(record, &region, RegionLeft(region));
    } else {
        // An item that gives nothing right after a loop back (an empty item, a loop start at
        // its end) has nothing more to give: the data ends rather than looping for ever.
        bool justLooped = false;
        while (RegionLeft(region) > 0 && !st.dataEnded) {
            StreamDataItem* item = CurrentItem(record);
            const uint32_t got = ReadStreamItemPcm(&region, &item->decoder, RegionLeft(region));
            if (got == 0) {
                if (justLooped) {
                    st.playedToEnd = 1;
                    EndStreamData(record, &region, P);
                    break;
                }
                if (AdvanceStreamItem(record, &region, P) == -1) break;
                justLooped = true;
            } else {
                st.decodedBytes += got;
                justLooped = false;
            }
        }
    }
    UnlockSoundBuffer(ring, region.part[0], region.size[0], region.part[1], region.size[1]);
    if (firstFill) {
        st.windowStart = 0;
        st.writePosition = static_cast<int32_t>(step % R);
    } else {
        st.writePosition = static_cast<int32_t>((st.writePosition + step) % R);
        st.windowStart = static_cast<int32_t>((st.writePosition + R - (uint64_t{A} * 4) % R) % R);
    }
    return 0;
}

int RefillAllStreamSounds() {
    SoundSystem& s = GetSoundSystem();
    if (s.device == nullptr) return -1;
    for (ListNode* node = s.streamHead.next; node != nullptr && node != &s.streamTail;) {
        ListNode* next = node->next;
        RefillStreamSound(node->data);
        node = next;
    }
    return 0;
}

uint32_t GetStreamSoundTotalFrames(const SoundRecord* record) {
    return record->stream.totalFrames;
}

int SetLoopStartFrames(int64_t frames, int32_t h) {
    const int length = GetSoundLengthFrames(h);
    if (length == -1 || frames < 0 || frames >= length) return -1;
    SoundRecord* record = FindSound(h);
    if (record->kind == kSoundNormal) {
        // The stream that replaces the sound is made before the sound goes, so a failure
        // leaves the sound as it was.
        void* image = nullptr;
        uint32_t size = 0;
        if (BuildWaveFileImage(&image, &size, &record->format, sizeof record->format, record->pcm,
                               record->pcmLength) == -1)
            return -1;
        const int32_t temporary = AddSoundData(-1);
        if (temporary == -1 || AddStreamSoundMemImage(image, size, 0, temporary, 0, -1) == -1) {
            if (temporary != -1) DeleteSound(temporary);
            FreeTagged(image);
            AppendLog("ストリームサウンドハンドルの作成に失敗しました\n"_sjis);
            return -1;
        }
        FreeTagged(image);
        DeleteSound(h);
        // Move the new record under the old handle.
        auto& table = GetSoundSystem().table;
        SoundRecord* stream = table.records[HandleSlot(temporary)];
        table.Vacate(HandleSlot(temporary));
        table.Occupy(HandleSlot(h), stream);
        stream->check = HandleCheckBits(h) >> 16;
        stream->streamNode.data = h;
        record = stream;
    }
    StreamSoundState& st = record->stream;
    if (st.itemCount >= 2) {
        AppendLog(
            "二つ以上の音声ファイルから作成されたサウンドハンドルにループポイントを指定する事は出来ません\n"_sjis);
        return -1;
    }
    st.items[0].loopStartFrame = static_cast<uint32_t>(frames);
    st.items[0].decoder.loopStartPosition =
        static_cast<uint32_t>(st.items[0].decoder.format.nBlockAlign * frames);
    st.items[0].loopCount = 255;
    return 0;
}

int SetLoopStartMs(int milliseconds, int h) {
    const SoundRecord* record = FindSound(h);
    if (record == nullptr) return -1;
    // In 64 bits: at 44.1 kHz a 32-bit product would wrap past about 97 seconds.
    const int64_t frames = int64_t{record->format.nSamplesPerSec} * milliseconds / 1000;
    return SetLoopStartFrames(frames, h);
}

int ReleaseStreamSound(int32_t, SoundRecord* record) {
    StreamSoundState& st = record->stream;
    if (st.ringSource != -1) {
        SoundRecord* owner = FindSound(st.ringSource);
        if (owner != nullptr) {
            --owner->stream.shareCount;
            if (owner->stream.deletePending && owner != record && owner->stream.shareCount == 0)
                DeleteSound(st.ringSource);
        }
    }
    if (st.shareCount != 0) {
        st.deletePending = 1;
        return 1;
    }
    UnlinkListNode(&record->streamNode);
    for (int i = 0; i < st.itemCount; ++i) CloseItem(&st.items[i], st.owned[i] != 0);
    st.itemCount = 0;
    if (st.ringSource == -1 && record->buffers[0].created) ReleaseSoundBuffer(&record->buffers[0]);
    return 0;
}

}  // namespace tessra
