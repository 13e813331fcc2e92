// The sound subsystem's own records and routines: the device state, the sound table and its
// records, the buffer primitives, the decoder frame and its readers. Not for use outside
// engine/sound.
#pragma once

#include <cstdint>

#include "engine/base/handle.h"
#include "engine/base/stream.h"
#include "engine/base/strings.h"
#include "platform/acm/acm.h"
#include "platform/dsound/dsound.h"

namespace tessra {

inline constexpr int32_t kMaxSounds = 4096;
inline constexpr int32_t kMaxSoundBuffers = 10;

// --- Decoders ----------------------------------------------------------------------------------

inline constexpr int32_t kDecoderPcmWave = 0;
inline constexpr int32_t kDecoderAcm = 1;
inline constexpr int32_t kDecoderOgg = 2;

// The reader of one sound source: whatever the file holds, it gives PCM in `format`.
struct SoundDecoder {
    int32_t open;
    int32_t endFlag;
    int32_t kind;
    StreamIo io;  // a copy; the owner closes the stream, never the decoder
    uint32_t dataStart;
    uint32_t dataSize;
    plat::WAVEFORMATEX format;  // always PCM once open
    void* kindState;            // the ACM or Ogg Vorbis reader's state; null for PCM WAVE
    uint8_t* buffer;
    uint32_t capacity;
    uint32_t bytesLeft;
    uint32_t readOffset;
    uint32_t decodedPosition;  // bytes of decoded PCM delivered so far (or sought to)
    uint32_t loopStartPosition;
};

// The readers' stream helpers. At most `bytes` bytes read from the decoder's stream (0 on an
// error); the stream's size, found by seeking to its end with the position put back; a
// little-endian 32-bit number.
inline int64_t StreamRead(SoundDecoder* d, void* buffer, size_t bytes) {
    const int64_t n = d->io.Read(buffer, 1, bytes, d->io.handle);
    return n < 0 ? 0 : (n < static_cast<int64_t>(bytes) ? n : static_cast<int64_t>(bytes));
}
inline int64_t StreamSize(const StreamIo& io) {
    const int64_t here = io.Tell(io.handle);
    io.Seek(io.handle, 0, kSeekEnd);
    const int64_t size = io.Tell(io.handle);
    io.Seek(io.handle, static_cast<int32_t>(here), kSeekSet);
    return size;
}
inline uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

int OpenSoundDecoder(const StreamIo* stream, SoundDecoder* decoder);
int ReadSoundDecoder(SoundDecoder* decoder, void* destination, uint32_t bytes);
int SeekSoundDecoder(SoundDecoder* decoder, uint32_t frame);
// Seeks even when the decoder stands within 16 bytes of the frame, and clears the end flag: a
// loop back must always reposition.
int RepositionSoundDecoder(SoundDecoder* decoder, uint32_t frame);
int CloseSoundDecoder(SoundDecoder* decoder);
int GetSoundDecoderFormat(const SoundDecoder* decoder, plat::WAVEFORMATEX* format);
uint32_t GetSoundDecoderSize(const SoundDecoder* decoder);
int DecodeWholeSound(SoundDecoder* decoder, plat::WAVEFORMATEX* format, void** block,
                     uint32_t* length);
int BuildWaveFileImage(void** image, uint32_t* imageSize, const void* format, uint32_t formatSize,
                       const void* data, uint32_t dataSize);
int LoadWholeFile(const char* fileName, void** block, uint32_t* size);
int LoadWholeStream(const StreamIo* stream, void** block, uint32_t* size);

// The readers. Each, on a stream at offset 0, returns 0 having set the kind, the format, the
// data start and size and the buffer capacity, or -1 having released what it took.
int OpenPcmWaveDecoder(SoundDecoder* decoder);
int ReadPcmWaveDecoder(SoundDecoder* decoder);  // refill: 0, or -1 at the end of the data
int SeekPcmWaveDecoder(SoundDecoder* decoder, uint32_t frame);

// The compressed kinds' state: the whole source in memory, the stream that fills the decoder's
// buffer and the one kept converting towards the loop start.
struct AcmState {
    uint8_t* sourceFormat;
    plat::HACMSTREAM main;
    plat::HACMSTREAM loop;
    uint8_t* source;
    uint32_t sourceSize;
    uint32_t mainOffset;
    int64_t totalFrames;  // MP3: counted at open; WAVE: -1
    uint32_t loopOffset;
    uint32_t loopDecoded;
    uint8_t* scratch;
    uint32_t sourceBlock;  // source bytes per block
};

// One MPEG audio frame header, as ParseMp3FrameHeader reads it.
struct Mp3FrameInfo {
    uint8_t layer;    // 0 Layer I, 1 Layer II, 2 Layer III
    uint8_t version;  // 0 MPEG-1, 1 MPEG-2
    uint8_t bitRateIndex;
    uint8_t sampleRateIndex;
    uint8_t padding;
    uint8_t channels;
    uint32_t sampleRate;
    uint32_t bitRate;  // kbit/s
    uint32_t frameLength;
    uint32_t samplesPerFrame;
};

// 0, -1 for a reserved or invalid field (the free format included), -2 without a frame sync.
int ParseMp3FrameHeader(const uint8_t* header, Mp3FrameInfo* info);

int OpenAcmWaveDecoder(SoundDecoder* decoder);
int OpenMp3Decoder(SoundDecoder* decoder);
int ReadAcmDecoder(SoundDecoder* decoder);
int SeekAcmDecoder(SoundDecoder* decoder, uint32_t frame);
int CloseAcmDecoder(SoundDecoder* decoder);
uint32_t GetAcmDecodedSize(const SoundDecoder* decoder);

int OpenOggDecoder(SoundDecoder* decoder);
int ReadOggDecoder(SoundDecoder* decoder);
int SeekOggDecoder(SoundDecoder* decoder, uint32_t frame);
uint32_t GetOggDecodedSize(const SoundDecoder* decoder);
int CloseOggDecoder(SoundDecoder* decoder);

// --- Sound handles -----------------------------------------------------------------------------

struct SoundBufferRecord {
    int32_t created;
    plat::IDirectSoundBuffer* buffer;
};

inline constexpr int32_t kSoundNormal = 0;
inline constexpr int32_t kSoundStream = 1;

// One data item of a stream sound: a sound file or image with its own decoder.
struct StreamDataItem {
    uint8_t loopCount;  // 255 repeats endlessly; 0..127 repeat the item that many more times
    int32_t sourceType;
    void* data;  // the file image or WAVE image the item owns (types 0 and 2)
    uint32_t dataSize;
    StreamIo io;        // a memory stream over `data` (types 0 and 2)
    StreamIo callerIo;  // the caller's stream (type 3), closed with the item when it owns it
    uint32_t loopStartFrame;
    SoundDecoder decoder;
};

inline constexpr int32_t kMaxStreamItems = 3;
inline constexpr int32_t kRingNotFilled = -800;

// The stream fields of a sound record.
struct StreamSoundState {
    int32_t ringSource;  // the handle whose ring this sound plays in, -1 its own
    int32_t shareCount;
    int32_t ringUser;
    int32_t deletePending;
    uint32_t ringSize;
    int32_t writePosition;  // kRingNotFilled before the first fill
    int32_t windowStart;    // -1 after a rewind
    StreamDataItem items[kMaxStreamItems];
    uint8_t owned[kMaxStreamItems];
    int32_t itemCount;
    int32_t currentItem;
    int32_t loopCounter;
    uint32_t decodedBytes;
    uint32_t totalFrames;
    uint32_t playedBytes;
    uint32_t lastCursor;
    uint8_t started;
    uint8_t dataEnded;
    uint8_t wrapPending;
    uint8_t playedToEnd;
    uint32_t endPosition;
    uint32_t cursorAtEnd;
    uint32_t wrapPosition;
};

struct SoundRecord {
    int32_t check;
    SoundBufferRecord buffers[kMaxSoundBuffers];
    plat::WAVEFORMATEX format;
    int32_t kind;
    int32_t lastPlayType;
    uint32_t lastStartTime;
    StreamSoundState stream;
    ListNode streamNode;
    uint32_t pcmLength;
    void* pcm;
    int32_t bufferWords[kMaxSoundBuffers];
    int32_t bufferCount;
    int32_t roundRobin;
};

struct SoundSystem {
    plat::IDirectSound* device;  // null: no sound, every call answers -1
    SoundBufferRecord primary;
    SoundBufferRecord silence;
    int32_t musicMode;  // 0 DirectSound with MIDI through MCI, 1 DirectMusic
    int32_t keepMode;
    int32_t oggSampleWidth;
    ListNode streamHead;
    ListNode streamTail;
    HandleTable<SoundRecord, kMaxSounds> table;
};

SoundSystem& GetSoundSystem();

// The record a handle names, or null when sound is off or the handle is refused.
SoundRecord* FindSound(int32_t handle);

int AddSoundData(int32_t handle);
int CreateSoundBuffers(const plat::WAVEFORMATEX* format, uint32_t size, int kind, int count,
                       int32_t handle);
int CreateSoundFromFileImage(const void* image, uint32_t size, int count, int32_t share);
int GetSoundLengthFrames(int32_t handle);
int DeleteSound(int32_t handle);
int DeleteAllSounds();

// Buffer primitives, each -1 when the record's buffer does not exist (or, for create and
// duplicate, already exists).
int CreateSoundBuffer(SoundBufferRecord* record, const plat::DSBUFFERDESC* description);
int DuplicateSoundBuffer(const SoundBufferRecord* source, SoundBufferRecord* record);
int ReleaseSoundBuffer(SoundBufferRecord* record);
int PlaySoundBuffer(SoundBufferRecord* record, int loop);
int StopSoundBuffer(SoundBufferRecord* record);
int GetSoundBufferStatus(SoundBufferRecord* record, uint32_t* status);
int LockSoundBuffer(SoundBufferRecord* record, uint32_t offset, uint32_t bytes, void** part1,
                    uint32_t* size1, void** part2, uint32_t* size2);
int UnlockSoundBuffer(SoundBufferRecord* record, void* part1, uint32_t size1, void* part2,
                      uint32_t size2);
int SetSoundBufferVolume(SoundBufferRecord* record, int32_t volume);
int SetSoundBufferPosition(SoundBufferRecord* record, uint32_t position);

// --- Stream sounds -----------------------------------------------------------------------------

int AddSreamSound(const StreamIo* stream, int loopCount, int32_t handle, int sourceType,
                  int* streamNoLongerNeeded, int32_t share);
int AcquireStreamRing(int32_t handle, SoundRecord* record, SoundBufferRecord** ring, int force);
int RefillStreamSound(int32_t handle);
int UpdateStreamPlayPosition(int32_t handle, int64_t playCursor);
int SetLoopStartFrames(int64_t frames, int32_t handle);
int AddStreamSoundFile(const char* fileName, int loopCount, int32_t handle, int sourceType,
                       int32_t share);
int AddStreamSoundMemImage(const void* image, uint32_t size, int loopCount, int32_t handle,
                           int sourceType, int32_t share);
int RewindStreamSound(int32_t handle);
int StartStreamSoundPlayback(int32_t handle, int playType, int fromStart);
int StopStreamSound(int32_t handle);
int IsStreamSoundPlaying(int32_t handle);
uint32_t GetStreamSoundTotalFrames(const SoundRecord* record);
// Releases a stream sound's ring and items; 1 when the record must stay (other sounds still
// play in its ring), else 0.
int ReleaseStreamSound(int32_t handle, SoundRecord* record);

// --- MIDI and the current music -----------------------------------------------------------------

inline constexpr int32_t kMaxMidi = 256;

struct MidiRecord {
    int32_t check;
    int32_t playing;
    int32_t started;
    void* data;
    uint32_t size;
    void* segment;  // a DirectMusic segment; none here
};

MidiRecord* FindMidi(int32_t handle);
// The MIDI player: a Standard MIDI File read through the file layer into a MIDI handle, played
// through an MCI sequencer from a temporary file with the end-of-play notification (replayed on
// it when `loop`), and made the current music.
int LoadMidiFile(const char* fileName);
int PlayMidiHandle(int32_t handle, int loop);
int GetMidiPlayState(int32_t handle);
int StopMidi(int32_t handle);
int DeleteMidi(int32_t handle);
int DeleteAllMidi();
int DeleteMciTempFile();
int FinishSoundCaptureFile();

}  // namespace tessra
