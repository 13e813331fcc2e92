// Private to platform/dshow: the playback session a filter graph owns, its decoders and clock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/dshow/dshow.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwsContext;
struct SwrContext;

namespace plat::detail {

// One decoded video frame waiting to be delivered.
struct PendingFrame {
    AVFrame* frame = nullptr;
    bool valid = false;
    STREAM_TIME time = 0;  // its presentation time from the stream's start
};

// A demuxer and decoder of one stream of the file.
struct StreamDecoder {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    int index = -1;
    int64_t startPts = 0;  // the stream's first timestamp, in its time base
    int timeBaseNum = 1;   // the stream's time base
    int timeBaseDen = 1;
    bool demuxDone = false;  // every packet read
    bool drained = false;    // every frame taken out of the decoder
};

struct MediaSession {
    bool open = false;
    STREAM_TIME stopPosition = 0;

    // The clock (main thread). While running, time = base + (clock now - runStart).
    bool running = false;
    STREAM_TIME base = 0;
    uint64_t runStartMicroseconds = 0;

    // Video (main thread).
    StreamDecoder video;
    int width = 0;
    int height = 0;
    STREAM_TIME frameDuration = 0;
    STREAM_TIME seekTarget = -1;  // frames ending before it are passed over
    PendingFrame ahead;           // the next frame to deliver
    PendingFrame after;           // the one behind it, decoded to see whether it is due too
    SwsContext* scaler = nullptr;
    std::vector<DirectDrawStreamSample*> samples;

    // Sound. The track is decoded ahead into `ring` by the session's feeder thread (and by the
    // caller at a run or a seek), so the mixing thread only copies out of the ring and never
    // waits for a decode or a seek.
    struct SoundTrack {
        // The decoder and resampler; held while decoding. Taken before ringMutex.
        std::mutex decodeMutex;
        StreamDecoder audio;
        SwrContext* resampler = nullptr;
        STREAM_TIME dropUntil = -1;  // after a seek, sound before this time is left out

        // What the mixing thread reads; held only to copy in or out.
        std::mutex ringMutex;
        std::condition_variable wanted;  // the ring runs low, or the feeder is to quit
        std::vector<int16_t> ring;       // converted stereo frames not yet mixed, from ringRead
        size_t ringRead = 0;
        bool running = false;
        bool ended = false;  // the decoder has given all it has (until a seek)
        bool quit = false;

        std::thread feeder;
        int pulledSource = 0;
    } sound;

    STREAM_TIME Now() const;
};

// Opens the file at a POSIX path; false when it cannot be read as media. With sound, the
// sound track joins the mixer.
bool OpenSession(MediaSession* session, const char* path, bool withSound);
void CloseSession(MediaSession* session);
void RunSession(MediaSession* session);
void PauseSession(MediaSession* session);
void SeekSession(MediaSession* session, STREAM_TIME time);
// Makes sure `ahead` holds the next frame; false at the end of the stream.
bool FillAhead(MediaSession* session);
// Drops `ahead` for `after` while `after` is due too (decoding it as needed).
void SkipSuperseded(MediaSession* session, STREAM_TIME now);
// Converts `ahead` into the locked rectangle of the surface; moves on to the next frame.
HRESULT ConvertAhead(MediaSession* session, DirectDrawSurface* surface, const RECT& rect);
// The FFmpeg pixel format that a surface format is written in, or -1 for none.
int PixelFormatForSurface(const DDPixelFormat& format);
// Completes every pending sample update that has come due.
void PollSamples(MediaSession* session);

// Test controls (platform/testing.h).
bool TakeMediaStepFailure(int step);
void ResetMediaControls();

}  // namespace plat::detail
