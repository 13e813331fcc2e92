// Movie frames per second: a 640 x 480 movie decoded and converted into 32-bit and 16-bit
// surfaces through the media-graph stand-in, lossless FFV1 and Motion-JPEG.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/dshow/dshow.h"
#include "platform/win/codepage.h"
#include "tests/platform/movie_files.h"

namespace {

using namespace plat;

constexpr int kFrames = 24;

// The movie of each codec, written once per run and removed at its end.
std::string g_paths[2];
struct RemoveMovies {
    ~RemoveMovies() {
        for (const std::string& path : g_paths) {
            if (!path.empty()) std::remove(path.c_str());
        }
    }
} g_removeMovies;

const std::string& MovieFile(movie_files::VideoCodec codec) {
    std::string& path = g_paths[codec == movie_files::VideoCodec::kFfv1 ? 0 : 1];
    if (path.empty()) {
        path = "/tmp/tessra_movie_bench_" + std::to_string(::getpid()) +
               (codec == movie_files::VideoCodec::kFfv1 ? "_ffv1.mkv" : "_mjpeg.mkv");
        movie_files::MovieSpec spec;
        spec.width = 640;
        spec.height = 480;
        spec.frames = kFrames;
        spec.fps = 30;
        spec.codec = codec;
        if (!movie_files::WriteMovie(path, spec)) path.clear();
    }
    return path;
}

void DecodeInto(benchmark::State& state, movie_files::VideoCodec codec, DDPixelFormat format) {
    const std::string& path = MovieFile(codec);
    DirectDraw* dd = nullptr;
    FilterGraph* graph = nullptr;
    AMMultiMediaStream* stream = nullptr;
    DirectDrawMediaStream* video = nullptr;
    DirectDrawSurface* surface = nullptr;
    DirectDrawStreamSample* sample = nullptr;
    WCHAR wide[512];
    bool ready = !path.empty() && CreateDirectDraw7(&dd) == DD_OK &&
                 dd->Initialize(nullptr) == DD_OK && CreateFilterGraph(&graph) == S_OK &&
                 CreateMultiMediaStream(&stream) == S_OK &&
                 stream->Initialize(STREAMTYPE_READ, AMMSF_NOGRAPHTHREAD, graph) == S_OK &&
                 stream->AddMediaStream(dd, MSPID_PrimaryVideo, 0, nullptr) == S_OK &&
                 MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, 512) > 0 &&
                 stream->OpenFile(wide, 0) == S_OK &&
                 stream->GetMediaStream(MSPID_PrimaryVideo, &video) == S_OK;
    if (ready) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = 640;
        d.dwHeight = 480;
        d.ddpfPixelFormat = format;
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        ready = dd->CreateSurface(&d, &surface, nullptr) == DD_OK &&
                video->CreateSample(surface, nullptr, 0, &sample) == S_OK;
    }
    if (!ready) {
        state.SkipWithError("the movie did not open");
    } else {
        for (auto _ : state) {
            if (sample->Update(0, nullptr, nullptr, 0) != S_OK) {
                stream->Seek(0);
                sample->Update(0, nullptr, nullptr, 0);
            }
            benchmark::DoNotOptimize(surface->Bits()[0]);
        }
        state.SetItemsProcessed(state.iterations());  // items: frames
    }
    if (sample != nullptr) sample->Release();
    if (surface != nullptr) surface->Release();
    if (video != nullptr) video->Release();
    if (stream != nullptr) stream->Release();
    if (graph != nullptr) graph->Release();
    if (dd != nullptr) dd->Release();
}

void BM_Ffv1To32(benchmark::State& s) {
    DecodeInto(s, movie_files::VideoCodec::kFfv1, kPixelFormatXrgb32);
}
void BM_Ffv1To16(benchmark::State& s) {
    DecodeInto(s, movie_files::VideoCodec::kFfv1, kPixelFormat565);
}
void BM_MjpegTo32(benchmark::State& s) {
    DecodeInto(s, movie_files::VideoCodec::kMjpeg, kPixelFormatXrgb32);
}
void BM_MjpegTo16(benchmark::State& s) {
    DecodeInto(s, movie_files::VideoCodec::kMjpeg, kPixelFormat565);
}

BENCHMARK(BM_Ffv1To32)->Name("movie/ffv1/32/640x480")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ffv1To16)->Name("movie/ffv1/16/640x480")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MjpegTo32)->Name("movie/mjpeg/32/640x480")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MjpegTo16)->Name("movie/mjpeg/16/640x480")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
