// Small movie files that tests make themselves with libavformat and libavcodec: lossless FFV1
// with 32-bit pixels (every frame a pattern of its own, its number in the first pixel) or
// Motion-JPEG, in Matroska, with or without a sine tone track of 16-bit PCM.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace movie_files {

enum class VideoCodec { kFfv1, kMjpeg, kNone };

struct MovieSpec {
    int width = 64;
    int height = 48;
    int frames = 6;
    int fps = 10;
    VideoCodec codec = VideoCodec::kFfv1;
    int toneHz = 0;  // 0: no sound track
    int sampleRate = 44100;
    double soundSeconds = 0;  // 0: as long as the pictures
};

// The picture of a frame as 0xRRGGBB: sharp per-pixel detail that no lossy step would keep,
// the frame's number in the first pixel's red.
inline uint32_t PatternPixel(int frame, int x, int y) {
    if (x == 0 && y == 0) return static_cast<uint32_t>(frame & 0xFF) << 16 | 0x00A5A5;
    const uint32_t r = static_cast<uint32_t>(x * 7 + frame * 41) & 0xFF;
    const uint32_t g = static_cast<uint32_t>(y * 11 + frame * 23) & 0xFF;
    const uint32_t b = static_cast<uint32_t>((x ^ y) * 5 + frame * 67) & 0xFF;
    return r << 16 | g << 8 | b;
}

// A smooth picture for the lossy codec: gradients that move with the frame.
inline uint32_t SmoothPixel(int frame, int x, int y, int width, int height) {
    const uint32_t r = static_cast<uint32_t>(40 + 160 * x / width + frame * 4) & 0xFF;
    const uint32_t g = static_cast<uint32_t>(30 + 180 * y / height) & 0xFF;
    const uint32_t b = static_cast<uint32_t>(200 - frame * 8) & 0xFF;
    return r << 16 | g << 8 | b;
}

inline uint32_t FramePixel(const MovieSpec& spec, int frame, int x, int y) {
    return spec.codec == VideoCodec::kMjpeg ? SmoothPixel(frame, x, y, spec.width, spec.height)
                                            : PatternPixel(frame, x, y);
}

namespace detail {

struct Writer {
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    ~Writer() {
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (format != nullptr) {
            if (format->pb != nullptr) avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
};

inline bool Drain(Writer& w, AVCodecContext* codec, AVStream* stream, const AVFrame* frame) {
    if (avcodec_send_frame(codec, frame) < 0) return false;
    AVPacket* packet = av_packet_alloc();
    bool ok = true;
    while (avcodec_receive_packet(codec, packet) == 0) {
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if (av_interleaved_write_frame(w.format, packet) < 0) ok = false;
    }
    av_packet_free(&packet);
    return ok;
}

}  // namespace detail

inline bool WriteMovie(const std::string& path, const MovieSpec& spec) {
    av_log_set_level(AV_LOG_ERROR);
    detail::Writer w;
    if (avformat_alloc_output_context2(&w.format, nullptr, "matroska", path.c_str()) < 0)
        return false;
    const bool withVideo = spec.codec != VideoCodec::kNone && spec.frames > 0;
    if (withVideo) {
        const AVCodec* codec = avcodec_find_encoder(
            spec.codec == VideoCodec::kFfv1 ? AV_CODEC_ID_FFV1 : AV_CODEC_ID_MJPEG);
        if (codec == nullptr) return false;
        w.video = avcodec_alloc_context3(codec);
        w.video->width = spec.width;
        w.video->height = spec.height;
        w.video->time_base = AVRational{1, spec.fps};
        w.video->framerate = AVRational{spec.fps, 1};
        w.video->pix_fmt =
            spec.codec == VideoCodec::kFfv1 ? AV_PIX_FMT_0RGB32 : AV_PIX_FMT_YUVJ420P;
        w.video->gop_size = 1;
        if (spec.codec == VideoCodec::kMjpeg) {
            w.video->flags |= AV_CODEC_FLAG_QSCALE;
            w.video->global_quality = FF_QP2LAMBDA * 2;
        }
        if (w.format->oformat->flags & AVFMT_GLOBALHEADER)
            w.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(w.video, codec, nullptr) < 0) return false;
        w.videoStream = avformat_new_stream(w.format, nullptr);
        w.videoStream->time_base = w.video->time_base;
        w.videoStream->avg_frame_rate = AVRational{spec.fps, 1};
        avcodec_parameters_from_context(w.videoStream->codecpar, w.video);
    }
    if (spec.toneHz > 0) {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
        w.audio = avcodec_alloc_context3(codec);
        w.audio->sample_fmt = AV_SAMPLE_FMT_S16;
        w.audio->sample_rate = spec.sampleRate;
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        av_channel_layout_copy(&w.audio->ch_layout, &mono);
        w.audio->time_base = AVRational{1, spec.sampleRate};
        if (avcodec_open2(w.audio, codec, nullptr) < 0) return false;
        w.audioStream = avformat_new_stream(w.format, nullptr);
        w.audioStream->time_base = w.audio->time_base;
        avcodec_parameters_from_context(w.audioStream->codecpar, w.audio);
    }
    if (avio_open(&w.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
    if (avformat_write_header(w.format, nullptr) < 0) return false;

    const double seconds =
        spec.soundSeconds > 0 ? spec.soundSeconds : static_cast<double>(spec.frames) / spec.fps;
    const int64_t totalSamples = static_cast<int64_t>(seconds * spec.sampleRate);
    int64_t samplesWritten = 0;
    const int kChunk = 1024;
    auto writeSoundUpTo = [&](double untilSeconds) {
        if (w.audio == nullptr) return true;
        const int64_t until =
            std::min<int64_t>(totalSamples, static_cast<int64_t>(untilSeconds * spec.sampleRate));
        while (samplesWritten < until) {
            const int n = static_cast<int>(std::min<int64_t>(kChunk, until - samplesWritten));
            AVFrame* f = av_frame_alloc();
            f->nb_samples = n;
            f->format = AV_SAMPLE_FMT_S16;
            f->sample_rate = spec.sampleRate;
            av_channel_layout_copy(&f->ch_layout, &w.audio->ch_layout);
            av_frame_get_buffer(f, 0);
            auto* out = reinterpret_cast<int16_t*>(f->data[0]);
            for (int i = 0; i < n; ++i) {
                const double t = static_cast<double>(samplesWritten + i) / spec.sampleRate;
                out[i] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * spec.toneHz * t));
            }
            f->pts = samplesWritten;
            samplesWritten += n;
            const bool ok = detail::Drain(w, w.audio, w.audioStream, f);
            av_frame_free(&f);
            if (!ok) return false;
        }
        return true;
    };

    if (withVideo) {
        AVFrame* rgb = av_frame_alloc();
        rgb->format = AV_PIX_FMT_0RGB32;
        rgb->width = spec.width;
        rgb->height = spec.height;
        av_frame_get_buffer(rgb, 0);
        AVFrame* yuv = nullptr;
        SwsContext* sws = nullptr;
        if (spec.codec == VideoCodec::kMjpeg) {
            yuv = av_frame_alloc();
            yuv->format = AV_PIX_FMT_YUVJ420P;
            yuv->width = spec.width;
            yuv->height = spec.height;
            av_frame_get_buffer(yuv, 0);
            sws = sws_getContext(spec.width, spec.height, AV_PIX_FMT_0RGB32, spec.width,
                                 spec.height, AV_PIX_FMT_YUVJ420P,
                                 SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr,
                                 nullptr, nullptr);
        }
        for (int i = 0; i < spec.frames; ++i) {
            av_frame_make_writable(rgb);
            for (int y = 0; y < spec.height; ++y) {
                auto* row = reinterpret_cast<uint32_t*>(rgb->data[0] + y * rgb->linesize[0]);
                for (int x = 0; x < spec.width; ++x) row[x] = FramePixel(spec, i, x, y);
            }
            AVFrame* sent = rgb;
            if (yuv != nullptr) {
                av_frame_make_writable(yuv);
                sws_scale(sws, rgb->data, rgb->linesize, 0, spec.height, yuv->data, yuv->linesize);
                sent = yuv;
            }
            sent->pts = i;
            if (yuv != nullptr) sent->quality = FF_QP2LAMBDA * 2;
            if (!writeSoundUpTo(static_cast<double>(i) / spec.fps) ||
                !detail::Drain(w, w.video, w.videoStream, sent)) {
                return false;
            }
        }
        sws_freeContext(sws);
        av_frame_free(&yuv);
        av_frame_free(&rgb);
        if (!detail::Drain(w, w.video, w.videoStream, nullptr)) return false;
    }
    if (!writeSoundUpTo(seconds)) return false;
    if (w.audio != nullptr && !detail::Drain(w, w.audio, w.audioStream, nullptr)) return false;
    return av_write_trailer(w.format) == 0;
}

// Reads every byte of a file (for tests that plant a movie inside an archive).
inline std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(f);
    }
    return bytes;
}

}  // namespace movie_files
