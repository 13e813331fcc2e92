// The movie libraries (libavformat, libavcodec, libavutil, libswscale, libswresample), loaded
// when the first movie opens instead of with the program: libavcodec brings over a hundred
// shared libraries with it, and loading them cost every program a third of a second of
// processor time at start, the game and every test that shows no movie included.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace plat::detail {

// Every function the session calls, with the library (by the order of kAvLibraries) it is in.
#define TESSRA_AV_FUNCTIONS(X)          \
    X(0, av_frame_alloc)                \
    X(0, av_frame_free)                 \
    X(0, av_frame_unref)                \
    X(0, av_log_set_level)              \
    X(0, av_rescale)                    \
    X(0, av_rescale_q)                  \
    X(1, av_packet_alloc)               \
    X(1, av_packet_free)                \
    X(1, av_packet_unref)               \
    X(1, avcodec_alloc_context3)        \
    X(1, avcodec_flush_buffers)         \
    X(1, avcodec_free_context)          \
    X(1, avcodec_open2)                 \
    X(1, avcodec_parameters_to_context) \
    X(1, avcodec_receive_frame)         \
    X(1, avcodec_send_packet)           \
    X(2, av_find_best_stream)           \
    X(2, av_read_frame)                 \
    X(2, av_seek_frame)                 \
    X(2, avformat_close_input)          \
    X(2, avformat_find_stream_info)     \
    X(2, avformat_open_input)           \
    X(3, sws_freeContext)               \
    X(3, sws_getCachedContext)          \
    X(3, sws_scale)                     \
    X(4, swr_alloc_set_opts2)           \
    X(4, swr_convert)                   \
    X(4, swr_free)                      \
    X(4, swr_get_out_samples)           \
    X(4, swr_init)

struct AvFunctions {
#define TESSRA_AV_MEMBER(library, name) decltype(&::name) name;
    TESSRA_AV_FUNCTIONS(TESSRA_AV_MEMBER)
#undef TESSRA_AV_MEMBER
};

// The functions, the libraries loaded on the first call; null, said once on standard error,
// when a library or a function is missing. Safe from any thread.
const AvFunctions* LoadAvFunctions();

// The loaded functions; only after LoadAvFunctions has given them.
inline const AvFunctions& Av() {
    return *LoadAvFunctions();
}

}  // namespace plat::detail
