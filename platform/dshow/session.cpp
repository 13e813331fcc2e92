// The playback session over FFmpeg: the file's video decoded on demand and converted into
// surfaces, its sound decoded and resampled for the mixer as the mixer asks, and the stream
// clock on the platform clock.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>

#include "platform/dshow/internal.h"
#include "platform/dsound/dsound.h"
#include "platform/win/time.h"

namespace plat::detail {
namespace {

constexpr int64_t kUnitsPerSecond = 10000000;  // stream time: 100 ns

STREAM_TIME ToStreamTime(const StreamDecoder& d, int64_t pts) {
    if (pts == AV_NOPTS_VALUE) return 0;
    return av_rescale_q(pts - d.startPts, AVRational{d.timeBaseNum, d.timeBaseDen},
                        AVRational{1, static_cast<int>(kUnitsPerSecond)});
}

int64_t FromStreamTime(const StreamDecoder& d, STREAM_TIME time) {
    return av_rescale_q(time, AVRational{1, static_cast<int>(kUnitsPerSecond)},
                        AVRational{d.timeBaseNum, d.timeBaseDen}) +
           d.startPts;
}

void CloseDecoder(StreamDecoder* d) {
    if (d->packet != nullptr) av_packet_free(&d->packet);
    if (d->codec != nullptr) avcodec_free_context(&d->codec);
    if (d->format != nullptr) avformat_close_input(&d->format);
    *d = StreamDecoder{};
}

// Opens the file and the decoder of its best stream of that type; false when there is none.
bool OpenDecoder(StreamDecoder* d, const char* path, AVMediaType type) {
    if (avformat_open_input(&d->format, path, nullptr, nullptr) < 0) return false;
    if (avformat_find_stream_info(d->format, nullptr) < 0) {
        CloseDecoder(d);
        return false;
    }
    const AVCodec* codec = nullptr;
    d->index = av_find_best_stream(d->format, type, -1, -1, &codec, 0);
    if (d->index < 0 || codec == nullptr) {
        CloseDecoder(d);
        return false;
    }
    // Only the chosen stream's packets are read.
    for (unsigned i = 0; i < d->format->nb_streams; ++i) {
        if (static_cast<int>(i) != d->index) d->format->streams[i]->discard = AVDISCARD_ALL;
    }
    AVStream* stream = d->format->streams[d->index];
    d->codec = avcodec_alloc_context3(codec);
    d->packet = av_packet_alloc();
    if (d->codec == nullptr || d->packet == nullptr ||
        avcodec_parameters_to_context(d->codec, stream->codecpar) < 0 ||
        avcodec_open2(d->codec, codec, nullptr) < 0) {
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
        const int r = avcodec_receive_frame(d->codec, frame);
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
        const int read = av_read_frame(d->format, d->packet);
        if (read < 0) {
            d->demuxDone = true;
            avcodec_send_packet(d->codec, nullptr);
            continue;
        }
        if (d->packet->stream_index == d->index) avcodec_send_packet(d->codec, d->packet);
        av_packet_unref(d->packet);
    }
}

void SeekDecoder(StreamDecoder* d, STREAM_TIME time) {
    av_seek_frame(d->format, d->index, FromStreamTime(*d, time), AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(d->codec);
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
            av_frame_unref(p->frame);
            continue;
        }
        s->seekTarget = -1;
        p->valid = true;
        return true;
    }
}

// --- Sound -------------------------------------------------------------------------------------

// Decodes and resamples one more frame of sound into the fifo; false at the end.
bool DecodeSound(MediaSession* s, AVFrame* frame) {
    if (!DecodeNext(&s->audio, frame)) return false;
    const int outFrames = swr_get_out_samples(s->resampler, frame->nb_samples);
    if (outFrames <= 0) {
        av_frame_unref(frame);
        return true;
    }
    std::vector<int16_t> converted(static_cast<size_t>(outFrames) * kMixerChannels);
    auto* out = reinterpret_cast<uint8_t*>(converted.data());
    const int got =
        swr_convert(s->resampler, &out, outFrames,
                    const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    const STREAM_TIME start = ToStreamTime(s->audio, frame->best_effort_timestamp);
    av_frame_unref(frame);
    if (got <= 0) return true;
    size_t skip = 0;
    if (s->audioDropUntil >= 0) {
        // After a seek the sound starts at the asked time, not at the packet before it.
        if (start < s->audioDropUntil) {
            skip = static_cast<size_t>((s->audioDropUntil - start) * kMixerRate / kUnitsPerSecond);
        }
        s->audioDropUntil = -1;
    }
    if (skip >= static_cast<size_t>(got)) return true;
    s->fifo.insert(s->fifo.end(), converted.begin() + static_cast<ptrdiff_t>(skip * kMixerChannels),
                   converted.begin() + static_cast<ptrdiff_t>(got) * kMixerChannels);
    return true;
}

void FillSound(void* context, int16_t* out, int frames) {
    auto* s = static_cast<MediaSession*>(context);
    const size_t wanted = static_cast<size_t>(frames) * kMixerChannels;
    std::lock_guard<std::mutex> lock(s->audioMutex);
    if (!s->audioRunning || s->audio.codec == nullptr) {
        std::fill(out, out + wanted, int16_t{0});
        return;
    }
    if (s->audioSeekPending) {
        SeekDecoder(&s->audio, s->audioSeekTarget);
        swr_init(s->resampler);
        s->fifo.clear();
        s->fifoRead = 0;
        s->audioDropUntil = s->audioSeekTarget;
        s->audioSeekPending = false;
    }
    AVFrame* frame = av_frame_alloc();
    while (s->fifo.size() - s->fifoRead < wanted && frame != nullptr && !s->audio.drained) {
        if (!DecodeSound(s, frame)) break;
    }
    av_frame_free(&frame);
    const size_t have = std::min(wanted, s->fifo.size() - s->fifoRead);
    std::copy(s->fifo.begin() + static_cast<ptrdiff_t>(s->fifoRead),
              s->fifo.begin() + static_cast<ptrdiff_t>(s->fifoRead + have), out);
    std::fill(out + have, out + wanted, int16_t{0});
    s->fifoRead += have;
    if (s->fifoRead > 65536) {
        s->fifo.erase(s->fifo.begin(), s->fifo.begin() + static_cast<ptrdiff_t>(s->fifoRead));
        s->fifoRead = 0;
    }
}

bool OpenSound(MediaSession* s, const char* path) {
    if (!OpenDecoder(&s->audio, path, AVMEDIA_TYPE_AUDIO)) return false;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (swr_alloc_set_opts2(&s->resampler, &stereo, AV_SAMPLE_FMT_S16, kMixerRate,
                            &s->audio.codec->ch_layout, s->audio.codec->sample_fmt,
                            s->audio.codec->sample_rate, 0, nullptr) < 0 ||
        swr_init(s->resampler) < 0) {
        swr_free(&s->resampler);
        CloseDecoder(&s->audio);
        return false;
    }
    return true;
}

}  // namespace

STREAM_TIME MediaSession::Now() const {
    if (!running) return base;
    return base + static_cast<STREAM_TIME>(GetMicrosecondClock() - runStartMicroseconds) * 10;
}

bool OpenSession(MediaSession* s, const char* path, bool withSound) {
    CloseSession(s);
    // A file that is no movie is an answer here, not something to print.
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* probe = nullptr;
    if (avformat_open_input(&probe, path, nullptr, nullptr) < 0) return false;
    if (avformat_find_stream_info(probe, nullptr) < 0) {
        avformat_close_input(&probe);
        return false;
    }
    s->stopPosition = probe->duration != AV_NOPTS_VALUE
                          ? av_rescale(probe->duration, kUnitsPerSecond, AV_TIME_BASE)
                          : 0;
    avformat_close_input(&probe);

    if (OpenDecoder(&s->video, path, AVMEDIA_TYPE_VIDEO)) {
        s->width = s->video.codec->width;
        s->height = s->video.codec->height;
        AVStream* stream = s->video.format->streams[s->video.index];
        AVRational rate =
            stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
        if (rate.num <= 0 || rate.den <= 0) rate = AVRational{30, 1};
        s->frameDuration = av_rescale(kUnitsPerSecond, rate.den, rate.num);
        s->ahead.frame = av_frame_alloc();
        s->after.frame = av_frame_alloc();
    }
    if (withSound) {
        std::lock_guard<std::mutex> lock(s->audioMutex);
        if (OpenSound(s, path)) s->pulledSource = AddPulledSource(FillSound, s);
    }
    s->open = true;
    s->running = false;
    s->base = 0;
    return true;
}

void CloseSession(MediaSession* s) {
    if (s->pulledSource != 0) {
        RemovePulledSource(s->pulledSource);
        s->pulledSource = 0;
    }
    {
        std::lock_guard<std::mutex> lock(s->audioMutex);
        swr_free(&s->resampler);
        CloseDecoder(&s->audio);
        s->fifo.clear();
        s->fifoRead = 0;
        s->audioRunning = false;
    }
    CloseDecoder(&s->video);
    av_frame_free(&s->ahead.frame);
    av_frame_free(&s->after.frame);
    s->ahead = PendingFrame{};
    s->after = PendingFrame{};
    sws_freeContext(s->scaler);
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
    std::lock_guard<std::mutex> lock(s->audioMutex);
    s->audioRunning = true;
}

void PauseSession(MediaSession* s) {
    if (s->running) {
        s->base = s->Now();
        s->running = false;
    }
    std::lock_guard<std::mutex> lock(s->audioMutex);
    s->audioRunning = false;
}

void SeekSession(MediaSession* s, STREAM_TIME time) {
    if (time < 0) time = 0;
    s->base = time;
    s->runStartMicroseconds = GetMicrosecondClock();
    if (s->video.codec != nullptr) {
        SeekDecoder(&s->video, time);
        s->ahead.valid = s->after.valid = false;
        av_frame_unref(s->ahead.frame);
        av_frame_unref(s->after.frame);
        s->seekTarget = time;
    }
    std::lock_guard<std::mutex> lock(s->audioMutex);
    if (s->audio.codec != nullptr) {
        s->audioSeekPending = true;
        s->audioSeekTarget = time;
    }
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
        av_frame_unref(s->ahead.frame);
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
    s->scaler = sws_getCachedContext(
        s->scaler, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), w, h,
        static_cast<AVPixelFormat>(format), flags, nullptr, nullptr, nullptr);
    HRESULT result = S_OK;
    if (s->scaler == nullptr) {
        result = E_FAIL;
    } else {
        uint8_t* planes[4] = {static_cast<uint8_t*>(desc.lpSurface), nullptr, nullptr, nullptr};
        int pitches[4] = {desc.lPitch, 0, 0, 0};
        sws_scale(s->scaler, frame->data, frame->linesize, 0, frame->height, planes, pitches);
    }
    surface->Unlock(&rect);
    // The frame is shown; the one behind it comes next.
    av_frame_unref(frame);
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
