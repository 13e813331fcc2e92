// The playback session over FFmpeg: the file's video decoded on demand and converted into
// surfaces, its sound decoded and resampled ahead of the mixer by a feeder thread, and the
// stream clock on the platform clock.
#include <algorithm>
#include <cstring>
#include <system_error>

#include "platform/dshow/av_library.h"
#include "platform/dshow/internal.h"
#include "platform/dsound/dsound.h"
#include "platform/win/time.h"

namespace plat::detail {
namespace {

constexpr int64_t kUnitsPerSecond = 10000000;  // stream time: 100 ns

STREAM_TIME ToStreamTime(const StreamDecoder& d, int64_t pts) {
    if (pts == AV_NOPTS_VALUE) return 0;
    return Av().av_rescale_q(pts - d.startPts, AVRational{d.timeBaseNum, d.timeBaseDen},
                             AVRational{1, static_cast<int>(kUnitsPerSecond)});
}

int64_t FromStreamTime(const StreamDecoder& d, STREAM_TIME time) {
    return Av().av_rescale_q(time, AVRational{1, static_cast<int>(kUnitsPerSecond)},
                             AVRational{d.timeBaseNum, d.timeBaseDen}) +
           d.startPts;
}

void CloseDecoder(StreamDecoder* d) {
    if (d->packet != nullptr) Av().av_packet_free(&d->packet);
    if (d->codec != nullptr) Av().avcodec_free_context(&d->codec);
    if (d->format != nullptr) Av().avformat_close_input(&d->format);
    *d = StreamDecoder{};
}

// Opens the file and the decoder of its best stream of that type; false when there is none.
bool OpenDecoder(StreamDecoder* d, const char* path, AVMediaType type) {
    if (Av().avformat_open_input(&d->format, path, nullptr, nullptr) < 0) return false;
    if (Av().avformat_find_stream_info(d->format, nullptr) < 0) {
        CloseDecoder(d);
        return false;
    }
    const AVCodec* codec = nullptr;
    d->index = Av().av_find_best_stream(d->format, type, -1, -1, &codec, 0);
    if (d->index < 0 || codec == nullptr) {
        CloseDecoder(d);
        return false;
    }
    // Only the chosen stream's packets are read.
    for (unsigned i = 0; i < d->format->nb_streams; ++i) {
        if (static_cast<int>(i) != d->index) d->format->streams[i]->discard = AVDISCARD_ALL;
    }
    AVStream* stream = d->format->streams[d->index];
    d->codec = Av().avcodec_alloc_context3(codec);
    d->packet = Av().av_packet_alloc();
    if (d->codec == nullptr || d->packet == nullptr ||
        Av().avcodec_parameters_to_context(d->codec, stream->codecpar) < 0 ||
        Av().avcodec_open2(d->codec, codec, nullptr) < 0) {
        CloseDecoder(d);
        return false;
    }
    d->timeBaseNum = stream->time_base.num;
    d->timeBaseDen = stream->time_base.den;
    d->startPts = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    return true;
}

// The next decoded frame of the stream into `frame`; false at its end or on a read error.
bool DecodeNext(StreamDecoder* d, AVFrame* frame) {
    for (;;) {
        const int r = Av().avcodec_receive_frame(d->codec, frame);
        if (r == 0) return true;
        if (r != AVERROR(EAGAIN)) {
            d->drained = true;
            return false;
        }
        if (d->demuxDone) {
            // The decoder was told the packets ended and still wants more: nothing is left.
            d->drained = true;
            return false;
        }
        const int read = Av().av_read_frame(d->format, d->packet);
        if (read < 0) {
            d->demuxDone = true;
            Av().avcodec_send_packet(d->codec, nullptr);
            continue;
        }
        if (d->packet->stream_index == d->index) Av().avcodec_send_packet(d->codec, d->packet);
        Av().av_packet_unref(d->packet);
    }
}

void SeekDecoder(StreamDecoder* d, STREAM_TIME time) {
    Av().av_seek_frame(d->format, d->index, FromStreamTime(*d, time), AVSEEK_FLAG_BACKWARD);
    Av().avcodec_flush_buffers(d->codec);
    d->demuxDone = false;
    d->drained = false;
}

// Decodes into the pending frame; passes over frames that end before the seek target.
bool DecodeInto(MediaSession* s, PendingFrame* p) {
    for (;;) {
        if (!DecodeNext(&s->video, p->frame)) {
            p->valid = false;
            return false;
        }
        p->time = ToStreamTime(s->video, p->frame->best_effort_timestamp);
        if (s->seekTarget >= 0 && p->time + s->frameDuration <= s->seekTarget) {
            Av().av_frame_unref(p->frame);
            continue;
        }
        s->seekTarget = -1;
        p->valid = true;
        return true;
    }
}

// --- Sound -------------------------------------------------------------------------------------

using SoundTrack = MediaSession::SoundTrack;

// How far ahead the track is decoded, and the level below which the feeder tops it up.
constexpr size_t kSoundAheadFrames = kMixerRate / 2;
constexpr size_t kSoundRefillFrames = kMixerRate / 4;

// Frames in the ring not yet mixed; the caller holds ringMutex.
size_t RingFrames(const SoundTrack& t) {
    return (t.ring.size() - t.ringRead) / kMixerChannels;
}

// Decodes and resamples one more frame of sound onto the end of `out`; false at the end.
// The caller holds decodeMutex.
bool DecodeSound(SoundTrack* t, AVFrame* frame, std::vector<int16_t>* out) {
    if (!DecodeNext(&t->audio, frame)) return false;
    const int outFrames = Av().swr_get_out_samples(t->resampler, frame->nb_samples);
    if (outFrames <= 0) {
        Av().av_frame_unref(frame);
        return true;
    }
    const size_t at = out->size();
    out->resize(at + static_cast<size_t>(outFrames) * kMixerChannels);
    auto* dest = reinterpret_cast<uint8_t*>(out->data() + at);
    const int got =
        Av().swr_convert(t->resampler, &dest, outFrames,
                         const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    const STREAM_TIME start = ToStreamTime(t->audio, frame->best_effort_timestamp);
    Av().av_frame_unref(frame);
    const size_t frames = got > 0 ? static_cast<size_t>(got) : 0;
    size_t skip = 0;
    if (frames > 0 && t->dropUntil >= 0) {
        // After a seek the sound starts at the asked time, not at the packet before it.
        if (start < t->dropUntil) {
            skip = static_cast<size_t>((t->dropUntil - start) * kMixerRate / kUnitsPerSecond);
        }
        t->dropUntil = -1;
    }
    skip = std::min(skip, frames);
    std::copy(out->begin() + static_cast<ptrdiff_t>(at + skip * kMixerChannels),
              out->begin() + static_cast<ptrdiff_t>(at + frames * kMixerChannels),
              out->begin() + static_cast<ptrdiff_t>(at));
    out->resize(at + (frames - skip) * kMixerChannels);
    return true;
}

// Decodes until the ring holds kSoundAheadFrames or the track ends. The caller holds
// decodeMutex; the ring's lock is taken only to look and to append, never across a decode.
void TopUpSound(SoundTrack* t) {
    if (t->audio.codec == nullptr) return;
    AVFrame* frame = Av().av_frame_alloc();
    if (frame == nullptr) return;
    std::vector<int16_t> decoded;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(t->ringMutex);
            if (t->ended || t->quit || RingFrames(*t) >= kSoundAheadFrames) break;
        }
        decoded.clear();
        const bool more = DecodeSound(t, frame, &decoded);
        std::lock_guard<std::mutex> lock(t->ringMutex);
        t->ring.erase(t->ring.begin(), t->ring.begin() + static_cast<ptrdiff_t>(t->ringRead));
        t->ringRead = 0;
        t->ring.insert(t->ring.end(), decoded.begin(), decoded.end());
        if (!more) t->ended = true;
    }
    Av().av_frame_free(&frame);
}

// The session's feeder thread: tops the ring up whenever the mixer has drawn it low.
void FeedSound(SoundTrack* t) {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(t->ringMutex);
            t->wanted.wait(lock, [t] {
                return t->quit || (!t->ended && RingFrames(*t) < kSoundRefillFrames);
            });
            if (t->quit) return;
        }
        std::lock_guard<std::mutex> decode(t->decodeMutex);
        TopUpSound(t);
    }
}

// The pulled source: runs on the mixing thread with the mixer held, so it only copies.
void FillSound(void* context, int16_t* out, int frames) {
    SoundTrack& t = static_cast<MediaSession*>(context)->sound;
    const size_t wanted = static_cast<size_t>(frames) * kMixerChannels;
    size_t have = 0;
    std::lock_guard<std::mutex> lock(t.ringMutex);
    if (t.running) {
        have = std::min(wanted, t.ring.size() - t.ringRead);
        std::copy_n(t.ring.begin() + static_cast<ptrdiff_t>(t.ringRead), have, out);
        t.ringRead += have;
        if (!t.ended && RingFrames(t) < kSoundRefillFrames) t.wanted.notify_one();
    }
    std::fill(out + have, out + wanted, int16_t{0});
}

void CloseSound(SoundTrack* t) {
    {
        std::lock_guard<std::mutex> decode(t->decodeMutex);
        Av().swr_free(&t->resampler);
        CloseDecoder(&t->audio);
        t->dropUntil = -1;
    }
    std::lock_guard<std::mutex> lock(t->ringMutex);
    t->ring.clear();
    t->ringRead = 0;
    t->running = false;
    t->ended = false;
    t->quit = false;
}

bool OpenSoundDecoder(SoundTrack* t, const char* path) {
    if (!OpenDecoder(&t->audio, path, AVMEDIA_TYPE_AUDIO)) return false;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (Av().swr_alloc_set_opts2(&t->resampler, &stereo, AV_SAMPLE_FMT_S16, kMixerRate,
                                 &t->audio.codec->ch_layout, t->audio.codec->sample_fmt,
                                 t->audio.codec->sample_rate, 0, nullptr) < 0 ||
        Av().swr_init(t->resampler) < 0) {
        Av().swr_free(&t->resampler);
        CloseDecoder(&t->audio);
        return false;
    }
    return true;
}

// The sound track joins the mixer with a feeder of its own. No session lock is held across
// the mixer's calls: the mixing thread takes the mixer's lock and then the ring's.
void OpenSound(MediaSession* s, const char* path) {
    SoundTrack& t = s->sound;
    if (!OpenSoundDecoder(&t, path)) return;
    t.ring.reserve((kSoundAheadFrames * 2) * kMixerChannels);
    t.pulledSource = AddPulledSource(FillSound, s);
    if (t.pulledSource == 0) {
        CloseSound(&t);  // no sound device: the movie plays silent
        return;
    }
    try {
        t.feeder = std::thread(FeedSound, &t);
    } catch (const std::system_error&) {
        RemovePulledSource(t.pulledSource);
        t.pulledSource = 0;
        CloseSound(&t);
    }
}

}  // namespace

STREAM_TIME MediaSession::Now() const {
    if (!running) return base;
    return base + static_cast<STREAM_TIME>(GetMicrosecondClock() - runStartMicroseconds) * 10;
}

bool OpenSession(MediaSession* s, const char* path, bool withSound) {
    CloseSession(s);
    if (LoadAvFunctions() == nullptr) return false;
    // A file that is no movie is an answer here, not something to print. Set once, before any
    // feeder thread can be logging.
    static std::once_flag quiet;
    std::call_once(quiet, [] { Av().av_log_set_level(AV_LOG_QUIET); });
    AVFormatContext* probe = nullptr;
    if (Av().avformat_open_input(&probe, path, nullptr, nullptr) < 0) return false;
    if (Av().avformat_find_stream_info(probe, nullptr) < 0) {
        Av().avformat_close_input(&probe);
        return false;
    }
    s->stopPosition = probe->duration != AV_NOPTS_VALUE
                          ? Av().av_rescale(probe->duration, kUnitsPerSecond, AV_TIME_BASE)
                          : 0;
    Av().avformat_close_input(&probe);

    if (OpenDecoder(&s->video, path, AVMEDIA_TYPE_VIDEO)) {
        s->width = s->video.codec->width;
        s->height = s->video.codec->height;
        AVStream* stream = s->video.format->streams[s->video.index];
        AVRational rate =
            stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
        if (rate.num <= 0 || rate.den <= 0) rate = AVRational{30, 1};
        s->frameDuration = Av().av_rescale(kUnitsPerSecond, rate.den, rate.num);
        s->ahead.frame = Av().av_frame_alloc();
        s->after.frame = Av().av_frame_alloc();
    }
    if (withSound) OpenSound(s, path);
    s->open = true;
    s->running = false;
    s->base = 0;
    return true;
}

void CloseSession(MediaSession* s) {
    SoundTrack& t = s->sound;
    // Out of the mix first: when this returns the mixer no longer reads the ring.
    if (t.pulledSource != 0) {
        RemovePulledSource(t.pulledSource);
        t.pulledSource = 0;
    }
    if (t.feeder.joinable()) {
        {
            std::lock_guard<std::mutex> lock(t.ringMutex);
            t.quit = true;
        }
        t.wanted.notify_one();
        t.feeder.join();
    }
    CloseSound(&t);
    CloseDecoder(&s->video);
    Av().av_frame_free(&s->ahead.frame);
    Av().av_frame_free(&s->after.frame);
    s->ahead = PendingFrame{};
    s->after = PendingFrame{};
    Av().sws_freeContext(s->scaler);
    s->scaler = nullptr;
    s->width = s->height = 0;
    s->open = false;
    s->running = false;
}

void RunSession(MediaSession* s) {
    if (!s->running) {
        s->runStartMicroseconds = GetMicrosecondClock();
        s->running = true;
    }
    SoundTrack& t = s->sound;
    {
        std::lock_guard<std::mutex> lock(t.ringMutex);
        t.running = true;
    }
    // The first moments are at hand before the mixer asks, whatever the feeder is doing.
    std::lock_guard<std::mutex> decode(t.decodeMutex);
    TopUpSound(&t);
}

void PauseSession(MediaSession* s) {
    if (s->running) {
        s->base = s->Now();
        s->running = false;
    }
    std::lock_guard<std::mutex> lock(s->sound.ringMutex);
    s->sound.running = false;
}

void SeekSession(MediaSession* s, STREAM_TIME time) {
    if (time < 0) time = 0;
    s->base = time;
    s->runStartMicroseconds = GetMicrosecondClock();
    if (s->video.codec != nullptr) {
        SeekDecoder(&s->video, time);
        s->ahead.valid = s->after.valid = false;
        Av().av_frame_unref(s->ahead.frame);
        Av().av_frame_unref(s->after.frame);
        s->seekTarget = time;
    }
    // The sound is sought here, on the caller's thread, and decoded ahead from the new place
    // before the mixer can ask for it.
    SoundTrack& t = s->sound;
    std::lock_guard<std::mutex> decode(t.decodeMutex);
    if (t.audio.codec == nullptr) return;
    SeekDecoder(&t.audio, time);
    Av().swr_init(t.resampler);
    t.dropUntil = time;
    {
        std::lock_guard<std::mutex> lock(t.ringMutex);
        t.ring.clear();
        t.ringRead = 0;
        t.ended = false;
    }
    TopUpSound(&t);
}

bool FillAhead(MediaSession* s) {
    if (s->video.codec == nullptr) return false;
    if (s->ahead.valid) return true;
    if (s->after.valid) {
        std::swap(s->ahead, s->after);
        s->after.valid = false;
        return true;
    }
    return DecodeInto(s, &s->ahead);
}

void SkipSuperseded(MediaSession* s, STREAM_TIME now) {
    for (;;) {
        if (!s->after.valid && !DecodeInto(s, &s->after)) return;
        if (s->after.time > now) return;
        Av().av_frame_unref(s->ahead.frame);
        std::swap(s->ahead, s->after);
        s->after.valid = false;
    }
}

int PixelFormatForSurface(const DDPixelFormat& f) {
    if ((f.flags & DDPF_RGB) == 0) return -1;
    switch (f.rgbBitCount) {
        case 32:
            if (f.redMask == 0xFF0000 && f.greenMask == 0xFF00 && f.blueMask == 0xFF)
                return AV_PIX_FMT_BGR0;
            if (f.redMask == 0xFF && f.greenMask == 0xFF00 && f.blueMask == 0xFF0000)
                return AV_PIX_FMT_RGB0;
            return -1;
        case 24:
            if (f.redMask == 0xFF0000 && f.greenMask == 0xFF00 && f.blueMask == 0xFF)
                return AV_PIX_FMT_BGR24;
            if (f.redMask == 0xFF && f.greenMask == 0xFF00 && f.blueMask == 0xFF0000)
                return AV_PIX_FMT_RGB24;
            return -1;
        case 16:
            if (f.redMask == 0xF800 && f.greenMask == 0x7E0 && f.blueMask == 0x1F)
                return AV_PIX_FMT_RGB565LE;
            if (f.redMask == 0x7C00 && f.greenMask == 0x3E0 && f.blueMask == 0x1F)
                return AV_PIX_FMT_RGB555LE;
            return -1;
        default:
            return -1;
    }
}

HRESULT ConvertAhead(MediaSession* s, DirectDrawSurface* surface, const RECT& rect) {
    AVFrame* frame = s->ahead.frame;
    const int format = PixelFormatForSurface(surface->Format());
    if (format < 0) return MS_E_INCOMPATIBLE;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    const HRESULT locked = surface->Lock(&rect, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
    if (DDFailed(locked)) return locked;
    // Full chroma interpolation exists for the 24- and 32-bit outputs only.
    const int flags = SWS_POINT | SWS_ACCURATE_RND |
                      (surface->Format().rgbBitCount >= 24 ? SWS_FULL_CHR_H_INT : 0);
    const int w = std::min<int>(rect.right - rect.left, frame->width);
    const int h = std::min<int>(rect.bottom - rect.top, frame->height);
    s->scaler = Av().sws_getCachedContext(
        s->scaler, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), w, h,
        static_cast<AVPixelFormat>(format), flags, nullptr, nullptr, nullptr);
    HRESULT result = S_OK;
    if (s->scaler == nullptr) {
        result = E_FAIL;
    } else {
        uint8_t* planes[4] = {static_cast<uint8_t*>(desc.lpSurface), nullptr, nullptr, nullptr};
        int pitches[4] = {desc.lPitch, 0, 0, 0};
        Av().sws_scale(s->scaler, frame->data, frame->linesize, 0, frame->height, planes, pitches);
    }
    surface->Unlock(&rect);
    // The frame is shown; the one behind it comes next.
    Av().av_frame_unref(frame);
    s->ahead.valid = false;
    if (s->after.valid) {
        std::swap(s->ahead, s->after);
        s->after.valid = false;
    }
    return result;
}

void PollSamples(MediaSession* s) {
    // A copy: completing a sample may not add or remove samples, but stay safe if it did.
    const std::vector<DirectDrawStreamSample*> samples = s->samples;
    for (DirectDrawStreamSample* sample : samples) sample->Poll();
}

}  // namespace plat::detail
