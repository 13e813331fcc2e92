// The media-graph stand-in over movies the tests make: desired format, frames converted into
// surfaces of each format, synchronous and asynchronous updates on the fake clock, skipping,
// seeking, the end of the stream, the sound track through the stepped mixer, forced failures.
#include "platform/dshow/dshow.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/dshow/internal.h"
#include "platform/dsound/dsound.h"
#include "platform/testing.h"
#include "platform/win/codepage.h"
#include "platform/win/thread.h"
#include "platform/win/time.h"
#include "tests/platform/movie_files.h"

namespace {

using namespace plat;
namespace pt = plat::testing;
using movie_files::MovieSpec;
using movie_files::PatternPixel;

constexpr STREAM_TIME kSecond = 10000000;

std::u16string Wide(const std::string& path) {
    std::vector<WCHAR> w(path.size() * 2 + 2);
    EXPECT_GT(
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, w.data(), static_cast<int>(w.size())), 0);
    return std::u16string(w.data());
}

// How many steps of the surface's own channel widths the pixel at (x, y) is from 0xRRGGBB
// (the colour cut down to those widths), the largest of the three channels.
int StepsOff(const DDPixelFormat& f, DirectDrawSurface* s, int x, int y, uint32_t rgb) {
    const int bytes = static_cast<int>(f.rgbBitCount / 8);
    const uint8_t* p = s->Bits() + y * s->Pitch() + x * bytes;
    uint32_t raw = 0;
    for (int i = 0; i < bytes; ++i) raw |= static_cast<uint32_t>(p[i]) << (8 * i);
    int worst = 0;
    const uint32_t masks[3] = {f.redMask, f.greenMask, f.blueMask};
    for (int c = 0; c < 3; ++c) {
        const ChannelMask m = DescribeChannel(masks[c]);
        const int want = static_cast<int>((rgb >> (16 - 8 * c)) & 0xFF) >> (8 - m.width);
        const int got = static_cast<int>((raw & m.mask) >> m.shift);
        worst = std::max(worst, std::abs(want - got));
    }
    return worst;
}

class DshowTest : public ::testing::Test {
protected:
    void SetUp() override {
        pt::Reset();
        pt::SetFakeClock(1000);
        dir_ = ::testing::TempDir() + "dshow_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(dir_);
        ASSERT_EQ(CreateDirectDraw7(&dd_), DD_OK);
        ASSERT_EQ(dd_->Initialize(nullptr), DD_OK);
    }
    void TearDown() override {
        if (sample_ != nullptr) sample_->Release();
        if (video_ != nullptr) video_->Release();
        if (stream_ != nullptr) stream_->Release();
        if (graph_ != nullptr) graph_->Release();
        for (DirectDrawSurface* s : surfaces_) s->Release();
        if (ds_ != nullptr) ds_->Release();
        dd_->Release();
        std::filesystem::remove_all(dir_);
        pt::Reset();
    }
    std::string Movie(const MovieSpec& spec, const char* name = "clip.mkv") {
        const std::string path = dir_ + "/" + name;
        EXPECT_TRUE(movie_files::WriteMovie(path, spec));
        return path;
    }
    // Graph, stream with video (and sound), the file opened.
    HRESULT Open(const std::string& path, bool sound = true) {
        EXPECT_EQ(CreateFilterGraph(&graph_), S_OK);
        EXPECT_EQ(CreateMultiMediaStream(&stream_), S_OK);
        EXPECT_EQ(stream_->Initialize(STREAMTYPE_READ, AMMSF_NOGRAPHTHREAD, graph_), S_OK);
        EXPECT_EQ(stream_->AddMediaStream(dd_, MSPID_PrimaryVideo, 0, nullptr), S_OK);
        if (sound) {
            EXPECT_EQ(stream_->AddMediaStream(nullptr, MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER,
                                              nullptr),
                      S_OK);
        }
        const HRESULT r = stream_->OpenFile(Wide(path).c_str(), 0);
        if (r == S_OK) {
            EXPECT_EQ(stream_->GetMediaStream(MSPID_PrimaryVideo, &video_), S_OK);
        }
        return r;
    }
    DirectDrawSurface* Surface(int w, int h, const DDPixelFormat& format) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddpfPixelFormat = format;
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        DirectDrawSurface* s = nullptr;
        EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DD_OK);
        if (s != nullptr) surfaces_.push_back(s);
        return s;
    }
    // The stepped sound device and a 2-second movie with a 441 Hz tone at 22,050 Hz, opened.
    void OpenToneMovie() {
        pt::UseSteppedMixer(true);
        ASSERT_EQ(CreateDirectSound(&ds_), DS_OK);
        ASSERT_EQ(ds_->Initialize(nullptr), DS_OK);
        MovieSpec spec;
        spec.frames = 20;
        spec.toneHz = 441;
        spec.sampleRate = 22050;
        ASSERT_EQ(Open(Movie(spec)), S_OK);
    }
    // The frame number in a 32-bit surface's first pixel.
    static int FrameShown(DirectDrawSurface* s) {
        const uint32_t p = *reinterpret_cast<const uint32_t*>(s->Bits());
        return static_cast<int>((p >> 16) & 0xFF);
    }
    static uint32_t Pixel32(DirectDrawSurface* s, int x, int y) {
        return *reinterpret_cast<const uint32_t*>(s->Bits() + y * s->Pitch() + x * 4) & 0xFFFFFF;
    }

    std::string dir_;
    DirectDraw* dd_ = nullptr;
    IDirectSound* ds_ = nullptr;
    FilterGraph* graph_ = nullptr;
    AMMultiMediaStream* stream_ = nullptr;
    DirectDrawMediaStream* video_ = nullptr;
    DirectDrawStreamSample* sample_ = nullptr;
    std::vector<DirectDrawSurface*> surfaces_;
};

TEST_F(DshowTest, DesiredFormatIsTheFrameSizeAndZeroWithoutVideo) {
    MovieSpec spec;
    spec.width = 40;
    spec.height = 30;
    ASSERT_EQ(Open(Movie(spec)), S_OK);
    DDSURFACEDESC2 d{};
    ASSERT_EQ(video_->GetFormat(&d, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(d.dwWidth, 40u);
    EXPECT_EQ(d.dwHeight, 30u);
    MediaSeeking* seeking = nullptr;
    ASSERT_EQ(graph_->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking)), S_OK);
    STREAM_TIME stop = 0;
    EXPECT_EQ(seeking->GetStopPosition(&stop), S_OK);
    EXPECT_NEAR(static_cast<double>(stop), 0.6 * kSecond, 0.11 * kSecond);  // 6 frames at 10/s
    seeking->Release();

    // Sound alone: the video stream is there but has no size.
    video_->Release();
    video_ = nullptr;
    stream_->Release();
    stream_ = nullptr;
    graph_->Release();
    graph_ = nullptr;
    MovieSpec toneOnly;
    toneOnly.codec = movie_files::VideoCodec::kNone;
    toneOnly.toneHz = 440;
    toneOnly.soundSeconds = 0.5;
    ASSERT_EQ(Open(Movie(toneOnly, "tone.mkv")), S_OK);
    ASSERT_EQ(video_->GetFormat(&d, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(d.dwWidth, 0u);
    EXPECT_EQ(d.dwHeight, 0u);
}

TEST_F(DshowTest, MissingAndNonMediaFilesDoNotOpen) {
    const std::string junk = dir_ + "/junk.mkv";
    FILE* f = std::fopen(junk.c_str(), "wb");
    std::fputs("this is no movie at all", f);
    std::fclose(f);
    EXPECT_LT(Open(dir_ + "/none.mkv"), 0);
    stream_->Release();
    stream_ = nullptr;
    graph_->Release();
    graph_ = nullptr;
    EXPECT_LT(Open(junk), 0);
}

TEST_F(DshowTest, FramesArriveExactIn32BitsAndWithinAStepIn16And24) {
    MovieSpec spec;
    const std::string path = Movie(spec);
    struct Case {
        DDPixelFormat format;
        int tolerance;  // in steps of the surface's own channels
    };
    const Case cases[] = {
        {kPixelFormatXrgb32, 0},
        {MakeRgbPixelFormat(24, 0xFF0000, 0xFF00, 0xFF), 0},
        {kPixelFormat565, 1},
        {kPixelFormat555, 1},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Open(path, false), S_OK);
        DirectDrawSurface* s = Surface(spec.width, spec.height, c.format);
        ASSERT_EQ(video_->CreateSample(s, nullptr, 0, &sample_), S_OK);
        for (int frame = 0; frame < spec.frames; ++frame) {
            ASSERT_EQ(sample_->Update(0, nullptr, nullptr, 0), S_OK) << frame;
            int worst = 0;
            for (int y = 0; y < spec.height; ++y) {
                for (int x = 0; x < spec.width; ++x) {
                    worst = std::max(worst, StepsOff(c.format, s, x, y, PatternPixel(frame, x, y)));
                }
            }
            EXPECT_LE(worst, c.tolerance) << "bits " << c.format.rgbBitCount << " frame " << frame;
        }
        EXPECT_EQ(sample_->Update(0, nullptr, nullptr, 0), MS_S_ENDOFSTREAM);
        sample_->Release();
        sample_ = nullptr;
        video_->Release();
        video_ = nullptr;
        stream_->Release();
        stream_ = nullptr;
        graph_->Release();
        graph_ = nullptr;
    }
}

TEST_F(DshowTest, AsynchronousUpdatesFollowTheClockAndSetTheEvent) {
    MovieSpec spec;  // 10 frames a second: frame n is due at n x 100 ms
    ASSERT_EQ(Open(Movie(spec), false), S_OK);
    DirectDrawSurface* s = Surface(spec.width, spec.height, kPixelFormatXrgb32);
    ASSERT_EQ(video_->CreateSample(s, nullptr, 0, &sample_), S_OK);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // Before running the clock stands: frame 0 is due at once, frame 1 never.
    EXPECT_EQ(sample_->Update(SSUPDATE_ASYNC, event, nullptr, 0), S_OK);
    EXPECT_EQ(FrameShown(s), 0);
    EXPECT_EQ(sample_->Update(SSUPDATE_ASYNC, event, nullptr, 0), MS_S_PENDING);
    EXPECT_EQ(sample_->Update(SSUPDATE_ASYNC, event, nullptr, 0), MS_E_BUSY);
    pt::AdvanceFakeClock(500);
    STREAM_STATE state;
    ASSERT_EQ(stream_->GetState(&state), S_OK);
    EXPECT_EQ(state, STREAMSTATE_STOP);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

    ASSERT_EQ(stream_->SetState(STREAMSTATE_RUN), S_OK);
    pt::AdvanceFakeClock(99);
    ASSERT_EQ(stream_->GetState(&state), S_OK);
    EXPECT_EQ(state, STREAMSTATE_RUN);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_EQ(FrameShown(s), 0);
    pt::AdvanceFakeClock(1);
    ASSERT_EQ(stream_->GetState(&state), S_OK);  // the call that completes the update
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(FrameShown(s), 1);
    STREAM_TIME now = 0;
    ASSERT_EQ(stream_->GetTime(&now), S_OK);
    EXPECT_EQ(now, kSecond / 10);
    ResetEvent(event);

    // Paused through the media control, time stands still.
    MediaControl* control = nullptr;
    ASSERT_EQ(graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)), S_OK);
    ASSERT_EQ(control->Pause(), S_OK);
    pt::AdvanceFakeClock(1000);
    ASSERT_EQ(stream_->GetTime(&now), S_OK);
    EXPECT_EQ(now, kSecond / 10);
    EXPECT_EQ(sample_->Update(SSUPDATE_ASYNC, event, nullptr, 0), MS_S_PENDING);
    control->Release();
    CloseHandle(event);
}

TEST_F(DshowTest, AMovieThatFellBehindSkipsToTheLatestDueFrame) {
    MovieSpec spec;
    spec.frames = 8;
    ASSERT_EQ(Open(Movie(spec), false), S_OK);
    DirectDrawSurface* s = Surface(spec.width, spec.height, kPixelFormatXrgb32);
    ASSERT_EQ(video_->CreateSample(s, nullptr, 0, &sample_), S_OK);
    ASSERT_EQ(stream_->SetState(STREAMSTATE_RUN), S_OK);
    pt::AdvanceFakeClock(450);  // frames 0..4 are due: 4 supersedes the rest
    EXPECT_EQ(sample_->Update(SSUPDATE_ASYNC, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(FrameShown(s), 4);
    EXPECT_EQ(Pixel32(s, 5, 3), PatternPixel(4, 5, 3));
    EXPECT_EQ(sample_->Update(SSUPDATE_ASYNC, nullptr, nullptr, 0), MS_S_PENDING);
    // Long past the end: the pending update completes with the last frame, then the end.
    pt::AdvanceFakeClock(5000);
    STREAM_STATE state;
    stream_->GetState(&state);
    EXPECT_EQ(FrameShown(s), 7);
    EXPECT_EQ(sample_->Update(SSUPDATE_ASYNC, nullptr, nullptr, 0), MS_S_ENDOFSTREAM);
}

TEST_F(DshowTest, SeekDeliversTheFrameShowingAtThatTime) {
    MovieSpec spec;
    spec.frames = 10;
    ASSERT_EQ(Open(Movie(spec), false), S_OK);
    DirectDrawSurface* s = Surface(spec.width, spec.height, kPixelFormatXrgb32);
    ASSERT_EQ(video_->CreateSample(s, nullptr, 0, &sample_), S_OK);
    struct Case {
        STREAM_TIME time;
        int frame;
    };
    const Case cases[] = {{kSecond * 55 / 100, 5},
                          {0, 0},
                          {kSecond * 9 / 10, 9},
                          {kSecond * 2 / 10, 2},
                          {kSecond * 299 / 1000, 2}};
    for (const Case& c : cases) {
        ASSERT_EQ(stream_->Seek(c.time), S_OK);
        STREAM_TIME now = 0;
        stream_->GetTime(&now);
        EXPECT_EQ(now, c.time);
        ASSERT_EQ(sample_->Update(0, nullptr, nullptr, 0), S_OK);
        EXPECT_EQ(FrameShown(s), c.frame) << c.time;
        EXPECT_EQ(Pixel32(s, 9, 7), PatternPixel(c.frame, 9, 7));
    }
}

TEST_F(DshowTest, SampleOnASurfaceOfItsOwnAndSamplesRefused) {
    MovieSpec spec;
    ASSERT_EQ(Open(Movie(spec), false), S_OK);
    // An 8-bit surface, or one smaller than the frame, cannot take the frames.
    DirectDrawSurface* paletted =
        Surface(spec.width, spec.height,
                DDPixelFormat{32, DDPF_RGB | DDPF_PALETTEINDEXED8, 0, 8, 0, 0, 0, 0});
    EXPECT_LT(video_->CreateSample(paletted, nullptr, 0, &sample_), 0);
    DirectDrawSurface* small = Surface(spec.width - 1, spec.height, kPixelFormatXrgb32);
    EXPECT_LT(video_->CreateSample(small, nullptr, 0, &sample_), 0);
    EXPECT_EQ(sample_, nullptr);
    ASSERT_EQ(video_->CreateSample(nullptr, nullptr, 0, &sample_), S_OK);
    DirectDrawSurface* own = nullptr;
    RECT r{};
    ASSERT_EQ(sample_->GetSurface(&own, &r), S_OK);
    EXPECT_EQ(r.right, spec.width);
    EXPECT_EQ(r.bottom, spec.height);
    ASSERT_EQ(sample_->Update(0, nullptr, nullptr, 0), S_OK);
    ASSERT_EQ(sample_->Update(0, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(FrameShown(own), 1);
    EXPECT_EQ(Pixel32(own, 12, 30), PatternPixel(1, 12, 30));
    own->Release();
}

TEST_F(DshowTest, EachStepCanBeMadeToFail) {
    const std::string path = Movie(MovieSpec{});
    FilterGraph* g = nullptr;
    AMMultiMediaStream* m = nullptr;
    pt::FailMediaStep(pt::MediaStep::kCreateFilterGraph, 1);
    EXPECT_LT(CreateFilterGraph(&g), 0);
    EXPECT_EQ(g, nullptr);
    pt::FailMediaStep(pt::MediaStep::kCreateMultiMediaStream, 1);
    EXPECT_LT(CreateMultiMediaStream(&m), 0);
    pt::FailMediaStep(pt::MediaStep::kOpenFile, 1);
    EXPECT_LT(Open(path), 0);
    video_ = nullptr;
    // The step fails once, then works.
    EXPECT_EQ(stream_->OpenFile(Wide(path).c_str(), 0), S_OK);
    struct Case {
        pt::MediaStep step;
        GUID iid;
    };
    const Case cases[] = {{pt::MediaStep::kMediaControl, IID_IMediaControl},
                          {pt::MediaStep::kMediaSeeking, IID_IMediaSeeking},
                          {pt::MediaStep::kBasicAudio, IID_IBasicAudio}};
    for (const Case& c : cases) {
        void* out = nullptr;
        pt::FailMediaStep(c.step, 1);
        EXPECT_LT(graph_->QueryInterface(c.iid, &out), 0);
        EXPECT_EQ(out, nullptr);
    }
    pt::FailMediaStep(pt::MediaStep::kGetVideoStream, 1);
    EXPECT_LT(stream_->GetMediaStream(MSPID_PrimaryVideo, &video_), 0);
    ASSERT_EQ(stream_->GetMediaStream(MSPID_PrimaryVideo, &video_), S_OK);
    for (auto [step, iid] :
         {std::pair{pt::MediaStep::kAMMediaStream, IID_IAMMediaStream},
          std::pair{pt::MediaStep::kDirectDrawMediaStream, IID_IDirectDrawMediaStream}}) {
        void* out = nullptr;
        pt::FailMediaStep(step, 1);
        EXPECT_LT(video_->QueryInterface(iid, &out), 0);
    }
    pt::FailMediaStep(pt::MediaStep::kCreateSample, 1);
    EXPECT_LT(video_->CreateSample(nullptr, nullptr, 0, &sample_), 0);
    ASSERT_EQ(video_->CreateSample(nullptr, nullptr, 0, &sample_), S_OK);
    pt::FailMediaStep(pt::MediaStep::kGetSampleSurface, 1);
    DirectDrawSurface* out = nullptr;
    EXPECT_LT(sample_->GetSurface(&out, nullptr), 0);
    EXPECT_EQ(out, nullptr);
}

// The tone's zero crossings in interleaved stereo: about two per cycle.
int ZeroCrossings(const std::vector<int16_t>& mix) {
    int crossings = 0;
    for (size_t i = 2; i < mix.size(); i += 2) {
        if ((mix[i - 2] < 0) != (mix[i] < 0)) ++crossings;
    }
    return crossings;
}

int Peak(const std::vector<int16_t>& mix) {
    int p = 0;
    for (int16_t x : mix) p = std::max(p, std::abs(static_cast<int>(x)));
    return p;
}

TEST_F(DshowTest, TheSoundTrackPlaysThroughTheMixerOnlyWhileRunning) {
    ASSERT_NO_FATAL_FAILURE(OpenToneMovie());
    EXPECT_EQ(Peak(pt::StepMixer(4410)), 0);  // not running yet
    ASSERT_EQ(stream_->SetState(STREAMSTATE_RUN), S_OK);
    std::vector<int16_t> mix = pt::StepMixer(4410);  // 0.1 s
    EXPECT_GT(Peak(mix), 8000);
    EXPECT_NEAR(ZeroCrossings(mix), 88, 3);  // 441 Hz for 0.1 s
    for (size_t i = 0; i + 1 < mix.size(); i += 2) ASSERT_EQ(mix[i], mix[i + 1]);
    MediaControl* control = nullptr;
    ASSERT_EQ(graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)), S_OK);
    control->Pause();
    EXPECT_EQ(Peak(pt::StepMixer(4410)), 0);
    // Past the end of the track: silence, the stream still running.
    ASSERT_EQ(stream_->Seek(kSecond * 19 / 10), S_OK);
    ASSERT_EQ(stream_->SetState(STREAMSTATE_RUN), S_OK);
    mix = pt::StepMixer(4410);
    EXPECT_GT(Peak(mix), 8000);
    EXPECT_EQ(Peak(pt::StepMixer(8820)), 0);
    control->Release();
    // Closing takes the movie out of the mix before the device goes.
    video_->Release();
    video_ = nullptr;
    stream_->Release();
    stream_ = nullptr;
    graph_->Release();
    graph_ = nullptr;
    EXPECT_EQ(Peak(pt::StepMixer(441)), 0);
}

TEST_F(DshowTest, TheMixerNeverWaitsForTheSoundDecoder) {
    ASSERT_NO_FATAL_FAILURE(OpenToneMovie());
    ASSERT_EQ(stream_->SetState(STREAMSTATE_RUN), S_OK);
    // With the decoder busy (a long decode or a seek on another thread), a mix still comes out
    // at once, from what was decoded ahead.
    std::unique_lock<std::mutex> busy(graph_->Session()->sound.decodeMutex);
    std::future<std::vector<int16_t>> mix =
        std::async(std::launch::async, [] { return pt::StepMixer(4410); });
    const bool mixed = mix.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    busy.unlock();
    ASSERT_TRUE(mixed) << "the mixer waited for the decoder";
    const std::vector<int16_t> out = mix.get();
    EXPECT_GT(Peak(out), 8000);
    EXPECT_NEAR(ZeroCrossings(out), 88, 3);
    // After a seek the mixer's next frames are the new place's, the end of the track here.
    ASSERT_EQ(stream_->Seek(kSecond * 19 / 10), S_OK);
    EXPECT_GT(Peak(pt::StepMixer(4410)), 8000);
    EXPECT_EQ(Peak(pt::StepMixer(4410)), 0);
}

TEST_F(DshowTest, NamesConvertToUtf16AndBack) {
    struct Case {
        std::string sjis;
        std::u16string wide;
    };
    const Case cases[] = {{"movie.avi", u"movie.avi"},
                          {"\x83\x80\x81\x5B\x83\x72\x81\x5B.mkv", u"\u30e0\u30fc\u30d3\u30fc.mkv"},
                          {"", u""}};
    for (const Case& c : cases) {
        WCHAR wide[32];
        ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, c.sjis.c_str(), -1, wide, 32),
                  static_cast<int>(c.wide.size() + 1));
        EXPECT_EQ(std::u16string(wide), c.wide);
        char back[64];
        ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, back, 64, nullptr, nullptr),
                  static_cast<int>(c.sjis.size() + 1));
        EXPECT_EQ(std::string(back), c.sjis);
    }
    WCHAR tiny[4];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "movie.avi", -1, tiny, 4), 0);
}

}  // namespace
