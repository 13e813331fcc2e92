// A movie container through the media-graph stand-in, as the engine opens one: the file opened
// into a multimedia stream with its video, the desired format read, and up to 30 frames
// converted into a surface of that size. A container stating a picture larger than 64 MB of
// pixels is taken no further than its format (the engine's frame surface would be that big).
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/ddraw/ddraw.h"
#include "platform/dshow/dshow.h"
#include "platform/win/codepage.h"

using namespace plat;

namespace {

DirectDraw* g_directDraw = nullptr;

std::u16string Wide(const char* path) {
    std::vector<WCHAR> w(512);
    MultiByteToWideChar(CP_ACP, 0, path, -1, w.data(), int(w.size()));
    return std::u16string(w.data());
}

void PlayFrames(DirectDrawMediaStream* video) {
    DDSURFACEDESC2 format{};
    format.dwSize = sizeof format;
    if (video->GetFormat(&format, nullptr, nullptr, nullptr) != S_OK) return;
    const uint64_t pixels = uint64_t{format.dwWidth} * format.dwHeight;
    if (pixels == 0 || pixels * 4 > (uint64_t{64} << 20)) return;
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = format.dwWidth;
    d.dwHeight = format.dwHeight;
    d.ddpfPixelFormat = kPixelFormatXrgb32;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    DirectDrawSurface* surface = nullptr;
    if (g_directDraw->CreateSurface(&d, &surface, nullptr) != DD_OK) return;
    DirectDrawStreamSample* sample = nullptr;
    if (video->CreateSample(surface, nullptr, 0, &sample) == S_OK) {
        for (int frame = 0; frame < 30; ++frame)
            if (sample->Update(0, nullptr, nullptr, 0) != S_OK) break;
        fuzz::Touch(surface->Bits(), size_t(surface->Pitch()) * d.dwHeight);
        sample->Release();
    }
    surface->Release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitOnce();
    if (g_directDraw == nullptr) {
        if (CreateDirectDraw7(&g_directDraw) != DD_OK || g_directDraw->Initialize(nullptr) != DD_OK)
            fuzz::Fail("no DirectDraw");
    }
    std::FILE* f = std::fopen("fz.mkv", "wb");
    if (!f) fuzz::Fail("cannot write the movie file");
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    FilterGraph* graph = nullptr;
    AMMultiMediaStream* stream = nullptr;
    if (CreateFilterGraph(&graph) != S_OK || CreateMultiMediaStream(&stream) != S_OK)
        fuzz::Fail("no media graph");
    stream->Initialize(STREAMTYPE_READ, AMMSF_NOGRAPHTHREAD, graph);
    stream->AddMediaStream(g_directDraw, MSPID_PrimaryVideo, 0, nullptr);
    const std::u16string path = Wide((std::string(fuzz::WorkDirectory()) + "/fz.mkv").c_str());
    if (stream->OpenFile(path.c_str(), 0) == S_OK) {
        DirectDrawMediaStream* video = nullptr;
        if (stream->GetMediaStream(MSPID_PrimaryVideo, &video) == S_OK) {
            PlayFrames(video);
            video->Release();
        }
    }
    stream->Release();
    graph->Release();
    return 0;
}
