// Movies played into graphs, on the fake clock with movies the tests make: frames reaching the
// graph in window mode and full screen, pause, the end of the stream, the table's limit, the
// archive's temporary copy, release and reopen around a display change, every failing step of
// the open road, the sound track in the stepped mixer.
#include "engine/graphics/movie.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/base/archive.h"
#include "engine/base/file_access.h"
#include "engine/base/log_test_support.h"
#include "engine/base/sjis.h"
#include "engine/graphics/draw_front.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/graphics_core.h"
#include "engine/graphics/image_data.h"
#include "engine/screen/memimg.h"
#include "engine/screen/surface2d.h"
#include "platform/ddraw/ddraw.h"
#include "platform/dshow/dshow.h"
#include "platform/dsound/dsound.h"
#include "platform/testing.h"
#include "platform/win/codepage.h"
#include "platform/win/file.h"
#include "tests/platform/movie_files.h"
#include "tools/packer/packer.h"

namespace tessra {
namespace {

using namespace sjis_literals;
namespace fs = std::filesystem;
namespace pt = plat::testing;
using movie_files::MovieSpec;
using movie_files::PatternPixel;

enum class Screen { kWindow32, kWindow16, kFull32, kFull16 };

class MovieTest : public LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        pt::Reset();
        pt::SetFakeClock(5000);
        saved_ = GetImageDataContext();
        ResetDrawState();
        GetGraphicsCoreState().started = 1;
        movies_ = fs::path(dir_) / "movies";
        fs::create_directories(movies_ / "tmp");
        plat::SetTempDirectoryForTesting((movies_ / "tmp").c_str());
        ASSERT_EQ(plat::CreateDirectDraw7(&dd_), plat::DD_OK);
        ASSERT_EQ(dd_->Initialize(nullptr), plat::DD_OK);
        UseScreen(Screen::kWindow32);
    }
    void TearDown() override {
        ReleaseAllGraphs(0);
        if (!oldDirectory_.empty()) {
            InitArchiveFileState();
            SetFileAccessFuncs(GetPlainFileAccessFuncs());
            fs::current_path(oldDirectory_);
            plat::ClearPathCache();
        }
        MovieTable& t = GetMovieTable();
        for (int32_t slot = 0; slot < kMovieMax; ++slot) {
            if (t.records[slot] != nullptr)
                CloseMovieHandle(MakeEngineHandle(kMovieHandleKind, t.records[slot]->check, slot));
        }
        MovieAlphaInFrameSetting() = 0;
        GetGraphicsCoreState().started = 0;
        if (ds_ != nullptr) ds_->Release();
        dd_->Release();
        GetImageDataContext() = saved_;
        plat::SetTempDirectoryForTesting(nullptr);
        pt::Reset();
        LogFixture::TearDown();
    }
    void UseScreen(Screen screen) {
        ImageDataContext& c = GetImageDataContext();
        c.directDraw = dd_;
        c.noDirectDraw = 0;
        const bool wide = screen == Screen::kWindow32 || screen == Screen::kFull32;
        c.windowMode = (screen == Screen::kWindow32 || screen == Screen::kWindow16) ? 1 : 0;
        c.screenColorBits = wide ? 32 : 16;
        c.workingColorBits = wide ? 32 : 16;
        c.screenWidth = 640;
        c.screenHeight = 480;
        c.screenFormat = *GetStandardColorFormat(wide ? kColorKindXrgb : kColorKind565, 0, 0);
        // Plain surfaces take the display's format: here the desktop's.
        pt::SetVirtualDesktop(1024, 768, wide ? 32 : 16);
    }
    std::string Movie(const MovieSpec& spec, const char* name = "clip.mkv") {
        const std::string path = (movies_ / name).string();
        EXPECT_TRUE(movie_files::WriteMovie(path, spec));
        return path;
    }
    // Files are looked for in archives first, "<folder>.dat" standing for the folder, with the
    // movies' folder current.
    void UseArchives() {
        oldDirectory_ = fs::current_path();
        fs::current_path(movies_);
        plat::ClearPathCache();
        InitArchiveFileState();
        SetFileAccessFuncs(GetArchiveFileAccessFuncs());
        SetArchiveExtensionBody("dat");
        SetArchiveKeyBody(packer::GameKeyText().c_str());
    }
    static MovieRecord* MovieOf(int graph) {
        GraphRecord* g = GetGraphRecord(graph);
        return g != nullptr ? GetMovieRecord(g->movie) : nullptr;
    }
    // The graph's pixel as 0xRRGGBB and the width of its narrowest channel.
    static uint32_t GraphPixel(int graph, int x, int y, int* bits = nullptr) {
        GraphRecord* g = GetGraphRecord(graph);
        Surface2DRecord* s = GetSurface2D(static_cast<int32_t>(g->pieces[0]));
        ImageDataRecord* d = GetImageDataRecord(s->imageData);
        const uint8_t* row;
        ColorFormat format{};
        if (d->usesMemImg) {
            row = d->memImg.pixels + y * d->memImg.pitch;
            format = *d->memImg.format;
        } else {
            row = d->surface->Bits() + y * d->surface->Pitch();
            SetColorFormatFromPixelFormat(&d->surface->Format(), &format);
        }
        uint32_t raw = 0;
        std::memcpy(&raw, row + x * format.bytesPerPixel, format.bytesPerPixel);
        if (bits != nullptr)
            *bits = std::min({format.redWidth, format.greenWidth, format.blueWidth});
        const auto channel = [&](uint32_t mask, int shift, int width) {
            const uint32_t v = (raw & mask) >> shift;
            return width >= 8 ? v >> (width - 8) : v << (8 - width);
        };
        return channel(format.redMask, format.redShift, format.redWidth) << 16 |
               channel(format.greenMask, format.greenShift, format.greenWidth) << 8 |
               channel(format.blueMask, format.blueShift, format.blueWidth);
    }
    // The largest difference of any channel over the frame, in steps of the graph's channels.
    static int StepsFromFrame(int graph, const MovieSpec& spec, int frame) {
        int worst = 0;
        for (int y = 0; y < spec.height; ++y) {
            for (int x = 0; x < spec.width; ++x) {
                int bits = 8;
                const uint32_t got = GraphPixel(graph, x, y, &bits);
                const uint32_t want = movie_files::FramePixel(spec, frame, x, y);
                for (int shift : {16, 8, 0}) {
                    const int d = std::abs(static_cast<int>((want >> shift) & 0xFF) -
                                           static_cast<int>((got >> shift) & 0xFF));
                    worst = std::max(worst, d >> (8 - bits));
                }
            }
        }
        return worst;
    }
    static int FrameShown(int graph) { return static_cast<int>(GraphPixel(graph, 0, 0) >> 16); }
    int LiveMovies() const { return GetMovieTable().liveCount; }

    ImageDataContext saved_{};
    fs::path movies_;
    fs::path oldDirectory_;
    plat::DirectDraw* dd_ = nullptr;
    plat::IDirectSound* ds_ = nullptr;
};

class MovieScreens : public MovieTest, public ::testing::WithParamInterface<Screen> {};

TEST_P(MovieScreens, EveryFrameReachesTheGraphAsWritten) {
    UseScreen(GetParam());
    MovieSpec spec;
    spec.width = 48;
    spec.height = 36;
    spec.frames = 5;
    const int graph = LoadGraphFromFile(Movie(spec).c_str(), 1, 0, 0);
    ASSERT_GT(graph, 0);
    int w = 0, h = 0;
    QueryGraphExtent(graph, &w, &h);
    EXPECT_EQ(w, 48);
    EXPECT_EQ(h, 36);
    ASSERT_EQ(PlayGraphMovie(graph), 0);
    EXPECT_EQ(MovieOf(graph)->playing, 1);
    // 16-bit screens are within one step of their own channels; 32-bit ones exact.
    const int tolerance =
        (GetParam() == Screen::kWindow16 || GetParam() == Screen::kFull16) ? 1 : 0;
    for (int frame = 0; frame < spec.frames; ++frame) {
        EXPECT_EQ(MovieOf(graph)->playing, 1);
        ASSERT_EQ(UpdateMovieFrame(graph, 0), 0);
        EXPECT_LE(StepsFromFrame(graph, spec, frame), tolerance) << "frame " << frame;
        pt::AdvanceFakeClock(100);
    }
    // The last frame taken, the stream reports its end and playback stops; the frame stays.
    EXPECT_EQ(MovieOf(graph)->playing, 0);
    pt::AdvanceFakeClock(100);
    ASSERT_EQ(UpdateMovieFrame(graph, 0), 0);
    EXPECT_LE(StepsFromFrame(graph, spec, spec.frames - 1), tolerance);
}

std::string ScreenName(const ::testing::TestParamInfo<Screen>& info) {
    static const char* const kNames[] = {"Window32", "Window16", "Full32", "Full16"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Screens, MovieScreens,
                         ::testing::Values(Screen::kWindow32, Screen::kWindow16, Screen::kFull32,
                                           Screen::kFull16),
                         ScreenName);

TEST_F(MovieTest, MotionJpegFramesAreCloseToWhatWasWritten) {
    MovieSpec spec;
    spec.codec = movie_files::VideoCodec::kMjpeg;
    spec.width = 64;
    spec.height = 48;
    spec.frames = 3;
    const int graph = LoadGraphFromFile(Movie(spec, "clip.mjpeg.mkv").c_str(), 1, 0, 0);
    ASSERT_GT(graph, 0);
    PlayGraphMovie(graph);
    for (int frame = 0; frame < spec.frames; ++frame) {
        ASSERT_EQ(UpdateMovieFrame(graph, 0), 0);
        // A lossy codec on smooth gradients: every channel of every pixel within 12 of 255.
        EXPECT_LE(StepsFromFrame(graph, spec, frame), 12) << frame;
        pt::AdvanceFakeClock(100);
    }
}

TEST_F(MovieTest, PauseHoldsTheFrameAndPlayGoesOnFromIt) {
    MovieSpec spec;
    spec.frames = 8;
    const int graph = LoadGraphFromFile(Movie(spec).c_str(), 1, 0, 0);
    ASSERT_GT(graph, 0);
    // Not playing: updates take nothing.
    EXPECT_EQ(UpdateMovieFrame(graph, 0), 0);
    EXPECT_EQ(GraphPixel(graph, 3, 3), 0u);
    PlayGraphMovie(graph);
    pt::AdvanceFakeClock(250);
    UpdateMovieFrame(graph, 0);
    EXPECT_EQ(FrameShown(graph), 2);
    ASSERT_EQ(StopGraphMovie(graph), 0);
    EXPECT_EQ(MovieOf(graph)->playing, 0);
    for (int i = 0; i < 5; ++i) {
        pt::AdvanceFakeClock(200);
        UpdateMovieFrame(graph, 0);
        EXPECT_EQ(FrameShown(graph), 2);
    }
    PlayGraphMovie(graph);
    UpdateMovieFrame(graph, 0);
    EXPECT_EQ(FrameShown(graph), 2);
    pt::AdvanceFakeClock(60);  // the stream stood at 0.25 s: frame 3 is due at 0.3 s
    UpdateMovieFrame(graph, 0);
    EXPECT_EQ(FrameShown(graph), 3);
    EXPECT_EQ(GraphPixel(graph, 20, 10), PatternPixel(3, 20, 10));
}

TEST_F(MovieTest, UpdatesWaitForANewPictureOrEighteenMilliseconds) {
    MovieSpec spec;
    spec.fps = 100;  // a frame every 10 ms
    spec.frames = 20;
    const int graph = LoadGraphFromFile(Movie(spec).c_str(), 1, 0, 0);
    ASSERT_GT(graph, 0);
    PlayGraphMovie(graph);
    UpdateMovieFrame(graph, 0);
    EXPECT_EQ(FrameShown(graph), 0);
    pt::AdvanceFakeClock(17);
    UpdateMovieFrame(graph, 0);
    EXPECT_EQ(FrameShown(graph), 0);  // no new picture shown and under 18 ms
    pt::AdvanceFakeClock(1);
    UpdateMovieFrame(graph, 0);
    EXPECT_EQ(FrameShown(graph), 1);
    // A forced update takes the next frame whatever the time or the state.
    StopGraphMovie(graph);
    UpdateMovieFrame(graph, 1);
    EXPECT_EQ(FrameShown(graph), 2);
}

TEST_F(MovieTest, TheHundredAndFirstMovieIsRefused) {
    const std::string path = Movie(MovieSpec{});
    std::vector<int> handles;
    for (int i = 0; i < kMovieMax; ++i) {
        int w = 0, h = 0;
        const int movie = OpenMovieToGraph(path.c_str(), &w, &h, 0);
        ASSERT_GE(movie, 0) << i;
        EXPECT_EQ(movie & kHandleKindMask, kMovieHandleKind);
        EXPECT_EQ(HandleSlot(movie), i);
        EXPECT_EQ(w, 64);
        handles.push_back(movie);
    }
    EXPECT_EQ(OpenMovieToGraph(path.c_str(), nullptr, nullptr, 0), -1);
    EXPECT_EQ(LiveMovies(), kMovieMax);
    // A freed slot is taken again, under a new check number.
    ASSERT_EQ(CloseMovieHandle(handles[37]), 0);
    EXPECT_EQ(GetMovieRecord(handles[37]), nullptr);
    const int again = OpenMovieToGraph(path.c_str(), nullptr, nullptr, 0);
    EXPECT_EQ(HandleSlot(again), 37);
    EXPECT_NE(again, handles[37]);
}

TEST_F(MovieTest, ArchivedMoviePlaysFromATemporaryCopyThatCloseDeletes) {
    MovieSpec spec;
    fs::create_directories(movies_ / "src");
    ASSERT_TRUE(movie_files::WriteMovie((movies_ / "src" / "clip.mkv").string(), spec));
    std::string error;
    ASSERT_TRUE(packer::PackDirectory((movies_ / "src").string(), (movies_ / "dat.dat").string(),
                                      packer::PackOptions{}, &error))
        << error;
    UseArchives();
    const std::string name = "dat\\clip.mkv";
    ASSERT_FALSE(fs::exists(movies_ / "dat"));

    const int graph = LoadGraphFromFile(name.c_str(), 1, 0, 0);
    ASSERT_GT(graph, 0) << plat::SjisToUtf8(ReadLog());
    MovieRecord* m = MovieOf(graph);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->temporaryFile, 1);
    const std::string copy = plat::MapPath(m->fileName);
    EXPECT_EQ(fs::path(copy).parent_path(), movies_ / "tmp");
    EXPECT_EQ(fs::file_size(copy), fs::file_size(movies_ / "src" / "clip.mkv"));
    EXPECT_NE(ReadLog().find("ファイル:"_sjis + name + " が開けませんでした"_sjis),
              std::string::npos);
    PlayGraphMovie(graph);
    pt::AdvanceFakeClock(200);
    UpdateMovieFrame(graph, 0);
    EXPECT_EQ(FrameShown(graph), 2);
    EXPECT_EQ(GraphPixel(graph, 30, 40), PatternPixel(2, 30, 40));
    ASSERT_EQ(ReleaseGraph(graph, 0), 0);
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_EQ(LiveMovies(), 0);
}

TEST_F(MovieTest, ACopyThatCannotBeWrittenWholeIsDeletedAndRefused) {
    MovieSpec spec;
    spec.width = 96;
    spec.height = 64;
    spec.frames = 10;
    fs::create_directories(movies_ / "src");
    const fs::path source = movies_ / "src" / "clip.mkv";
    ASSERT_TRUE(movie_files::WriteMovie(source.string(), spec));
    const auto size = fs::file_size(source);
    ASSERT_GT(size, 40000u);
    std::string error;
    ASSERT_TRUE(packer::PackDirectory((movies_ / "src").string(), (movies_ / "dat.dat").string(),
                                      packer::PackOptions{}, &error))
        << error;
    UseArchives();
    const std::string name = "dat\\clip.mkv";

    // Files may not grow past half the movie: the copy comes out short.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = size / 2;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int graph = LoadGraphFromFile(name.c_str(), 1, 0, 0);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);

    EXPECT_EQ(graph, -1);
    EXPECT_EQ(LiveMovies(), 0) << plat::SjisToUtf8(ReadLog());
    EXPECT_TRUE(fs::is_empty(movies_ / "tmp"));
    const std::string log = ReadLog();
    EXPECT_NE(log.find("ムービーファイルオープン処理時にエラーが発生しました"_sjis),
              std::string::npos);
    EXPECT_NE(log.find("右記のグラフィックファイルのロードに失敗しました："_sjis + name),
              std::string::npos);
}

TEST_F(MovieTest, NamesThatDoNotFitTheRecordAreRefused) {
    const std::string movie = Movie(MovieSpec{});
    // Paths of 259 and 260 bytes to copies of the movie.
    const auto pathOfLength = [&](size_t length) {
        fs::path dir = movies_ / std::string(length - movies_.string().size() - 10, 'd');
        fs::create_directories(dir);
        fs::path p = dir / "clip.mkv";
        EXPECT_EQ(p.string().size(), length);
        fs::copy_file(movie, p, fs::copy_options::overwrite_existing);
        return p.string();
    };
    ASSERT_GT(260u, movies_.string().size() + 20) << "the test folder's path is too long";
    const std::string fits = pathOfLength(259);
    const std::string tooLong = pathOfLength(260);
    const int ok = OpenMovieToGraph(fits.c_str(), nullptr, nullptr, 0);
    ASSERT_GE(ok, 0);
    EXPECT_STREQ(GetMovieRecord(ok)->fileName, fits.c_str());
    EXPECT_EQ(OpenMovieToGraph(tooLong.c_str(), nullptr, nullptr, 0), -1);
    EXPECT_EQ(OpenMovieToGraph(std::string(5000, 'x').c_str(), nullptr, nullptr, 0), -1);
    EXPECT_EQ(LiveMovies(), 1);
    EXPECT_NE(ReadLog().find("ムービーファイルオープン処理時にエラーが発生しました"_sjis),
              std::string::npos);
}

TEST_F(MovieTest, ReleasedAndReopenedAroundADisplayChangeAtTheTimeReached) {
    MovieSpec spec;
    spec.frames = 12;
    const std::string path = Movie(spec);
    // Three graphs; the middle movie's slot is emptied, so the live ones are not in a row.
    const int first = LoadGraphFromFile(path.c_str(), 1, 0, 0);
    const int middle = LoadGraphFromFile(path.c_str(), 1, 0, 0);
    const int last = LoadGraphFromFile(path.c_str(), 1, 0, 0);
    ASSERT_GT(last, 0);
    ReleaseGraph(middle, 0);
    EXPECT_EQ(HandleSlot(GetGraphRecord(last)->movie), 2);
    PlayGraphMovie(first);
    pt::AdvanceFakeClock(350);
    UpdateMovieFrame(first, 0);
    EXPECT_EQ(FrameShown(first), 3);
    PlayGraphMovie(last);  // starts 350 ms later

    ASSERT_EQ(ReleaseAllMovieObjects(), 0);
    for (int g : {first, last}) {
        const MovieRecord* m = MovieOf(g);
        EXPECT_EQ(m->frameSurface, nullptr);
        EXPECT_EQ(m->multiMediaStream, nullptr);
        EXPECT_EQ(m->playing, 1);
    }
    EXPECT_EQ(MovieOf(first)->savedTime, 3500000);
    EXPECT_EQ(MovieOf(last)->savedTime, 0);
    // Released movies update nothing, however long the change takes.
    pt::AdvanceFakeClock(2000);
    EXPECT_EQ(UpdateMovieFrame(first, 0), 0);
    EXPECT_EQ(FrameShown(first), 3);

    ASSERT_EQ(ReopenAllMovies(), 0);
    for (int g : {first, last}) EXPECT_NE(MovieOf(g)->frameSurface, nullptr);
    plat::STREAM_TIME now = 0;
    MovieOf(first)->multiMediaStream->GetTime(&now);
    EXPECT_EQ(now, 3500000);
    pt::AdvanceFakeClock(60);
    UpdateMovieFrame(first, 0);
    EXPECT_EQ(FrameShown(first), 4);
    UpdateMovieFrame(last, 0);
    EXPECT_EQ(FrameShown(last), 0);
    EXPECT_EQ(GraphPixel(first, 7, 21), PatternPixel(4, 7, 21));
}

TEST_F(MovieTest, PlayAndStopAllReachEveryMovieGraph) {
    const std::string path = Movie(MovieSpec{});
    const int a = LoadGraphFromFile(path.c_str(), 1, 0, 0);
    const int plain = CreateBlankGraph(8, 8, 0, 0, 0);
    const int b = LoadGraphFromFile(path.c_str(), 1, 0, 0);
    ASSERT_GT(b, 0);
    EXPECT_EQ(PlayAllGraphMovies(), 0);
    EXPECT_EQ(MovieOf(a)->playing, 1);
    EXPECT_EQ(MovieOf(b)->playing, 1);
    EXPECT_EQ(StopAllGraphMovies(), 0);
    EXPECT_EQ(MovieOf(a)->playing, 0);
    EXPECT_EQ(MovieOf(b)->playing, 0);
    // Graphs without a movie: 0; bad handles: -1.
    EXPECT_EQ(PlayGraphMovie(plain), 0);
    EXPECT_EQ(UpdateMovieFrame(plain, 0), 0);
    EXPECT_EQ(CloseMovie(plain), 0);
    EXPECT_EQ(PlayGraphMovie(12345), -1);
    EXPECT_EQ(CloseMovie(-1), -1);
    EXPECT_EQ(GetMovieRecord(a), nullptr);
}

// One failing step of the open road: what the test does to make it fail, and the text logged.
struct OpenFailure {
    const char* what;
    void (*arrange)();
    const char* text;  // UTF-8
    int mode;
};

class MovieOpenFailures : public MovieTest, public ::testing::WithParamInterface<OpenFailure> {};

void FailStep(pt::MediaStep step) {
    pt::FailMediaStep(step, 1);
}

// clang-format off
const OpenFailure kOpenFailures[] = {
    {"FilterGraph", [] { FailStep(pt::MediaStep::kCreateFilterGraph); }, "CLSID_FilterGraph の作成に失敗しました", 0},
    {"MultiMediaStream", [] { FailStep(pt::MediaStep::kCreateMultiMediaStream); }, "IAMMultimediaインターフェイスを取得できませんでした！", 0},
    {"Initialize", [] { FailStep(pt::MediaStep::kInitialize); }, "ストリームを読み取り用にセットアップできませんでした！", 0},
    {"MediaControl", [] { FailStep(pt::MediaStep::kMediaControl); }, "IID_IMediaControlインターフェイスの取得に失敗しました", 0},
    {"DirectDraw4", [] { pt::FailDirectDrawInterfaceQueries(pt::DirectDrawInterface::kDirectDraw4, 1); }, "DirectDraw4オブジェクトを取得できませんでした", 0},
    {"AddVideo", [] { FailStep(pt::MediaStep::kAddVideoStream); }, "プライマリビデオストリームを追加できませんでした！", 0},
    {"AddAudio", [] { FailStep(pt::MediaStep::kAddAudioStream); }, "デフォルトサウンドレンダラを追加できませんでした！", 0},
    {"OpenFile", [] { pt::FailMediaStep(pt::MediaStep::kOpenFile, -1); }, "が開けませんでした", 0},
    {"MediaSeeking", [] { FailStep(pt::MediaStep::kMediaSeeking); }, "メディアシーキングインターフェースの取得に失敗しました", 0},
    {"BasicAudio", [] { FailStep(pt::MediaStep::kBasicAudio); }, "BasicAudio インターフェースの取得に失敗しました", 0},
    {"VideoStream", [] { FailStep(pt::MediaStep::kGetVideoStream); }, "プライマリビデオストリームインターフェイスを取得できませんでした！", 0},
    {"AMMediaStream", [] { FailStep(pt::MediaStep::kAMMediaStream); }, "AMMediaStreamインターフェイスの取得に失敗しました", 0},
    {"DirectDrawMediaStream", [] { FailStep(pt::MediaStep::kDirectDrawMediaStream); }, "DirectDrawメディアストリームインターフェイスを取得できませんでした！", 0},
    {"Overlay", [] {}, "DirectDrawSurface オブジェクトの作成に失敗しました", 1},
    {"Surface7", [] { pt::FailDirectDrawInterfaceQueries(pt::DirectDrawInterface::kSurface7, 1); }, "IDirectDrawSurface7インターフェイスを取得できませんでした！", 0},
    {"Surface4", [] { pt::FailDirectDrawInterfaceQueries(pt::DirectDrawInterface::kSurface4, 1); }, "IDirectDrawSurface4インターフェイスを取得できませんでした！", 0},
    {"Sample", [] { pt::FailMediaStep(pt::MediaStep::kCreateSample, 2); }, "ストリームサンプルを作成できませんでした！", 0},
    {"SampleSurface", [] { FailStep(pt::MediaStep::kGetSampleSurface); }, "ストリームサンプルからIDirectDrawSurfaceインターフェイスを取得できませんでした！", 0},
};
// clang-format on

TEST_P(MovieOpenFailures, LogsItsTextAndLeavesNoSlot) {
    const std::string path = Movie(MovieSpec{});
    GetParam().arrange();
    int w = -7, h = -7;
    EXPECT_EQ(OpenMovieToGraph(path.c_str(), &w, &h, GetParam().mode), -1);
    EXPECT_EQ(LiveMovies(), 0);
    EXPECT_EQ(GetMovieTable().records[0], nullptr);
    const std::string log = ReadLog();
    EXPECT_NE(log.find(plat::Utf8ToSjis(GetParam().text)), std::string::npos) << log;
    EXPECT_NE(log.find("ムービーファイルオープン処理時にエラーが発生しました"_sjis),
              std::string::npos);
    // Nothing was left behind: the next open takes slot 0.
    pt::Reset();
    pt::SetFakeClock(5000);
    const int movie = OpenMovieToGraph(path.c_str(), &w, &h, 0);
    EXPECT_EQ(HandleSlot(movie), 0);
    EXPECT_TRUE(fs::is_empty(movies_ / "tmp"));
}

INSTANTIATE_TEST_SUITE_P(Steps, MovieOpenFailures, ::testing::ValuesIn(kOpenFailures),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(MovieTest, FilesThatAreNoMovieFailWithTheirTexts) {
    MovieSpec toneOnly;
    toneOnly.codec = movie_files::VideoCodec::kNone;
    toneOnly.toneHz = 440;
    toneOnly.soundSeconds = 0.3;
    const std::string tone = Movie(toneOnly, "tone.mkv");
    EXPECT_EQ(LoadGraphFromFile(tone.c_str(), 1, 0, 0), -1);
    const std::string junk = (movies_ / "junk.png").string();
    FILE* f = std::fopen(junk.c_str(), "wb");
    std::fputs("neither a picture nor a movie", f);
    std::fclose(f);
    EXPECT_EQ(LoadGraphFromFile(junk.c_str(), 1, 0, 0), -1);
    const std::string missing = (movies_ / "missing.mkv").string();
    EXPECT_EQ(LoadGraphFromFile(missing.c_str(), 1, 0, 0), -1);
    const std::string log = ReadLog();
    EXPECT_NE(log.find("動画ファイルではない可能性があります！"_sjis), std::string::npos);
    EXPECT_NE(log.find("右記のグラフィックファイルのロードに失敗しました："_sjis + tone),
              std::string::npos);
    EXPECT_NE(log.find("右記のグラフィックファイルのロードに失敗しました："_sjis + junk),
              std::string::npos);
    EXPECT_NE(log.find("グラフィックファイル "_sjis + missing + " がありません"_sjis),
              std::string::npos);
    EXPECT_EQ(LiveMovies(), 0);
}

TEST_F(MovieTest, ASampleOnTheStreamsOwnSurfaceStillShowsTheFrames) {
    MovieSpec spec;
    const std::string path = Movie(spec);
    pt::FailMediaStep(pt::MediaStep::kCreateSample, 1);  // the frame surface is refused once
    const int graph = LoadGraphFromFile(path.c_str(), 1, 0, 0);
    ASSERT_GT(graph, 0);
    EXPECT_EQ(MovieOf(graph)->mode, kMovieModeScreen);
    PlayGraphMovie(graph);
    pt::AdvanceFakeClock(100);
    UpdateMovieFrame(graph, 0);
    EXPECT_EQ(StepsFromFrame(graph, spec, 1), 0);
}

TEST_F(MovieTest, Rgb24FramesAndTheAlphaInFrameSetting) {
    MovieSpec spec;
    spec.width = 40;
    spec.height = 20;
    const std::string path = Movie(spec);
    const int graph = LoadGraphFromFile(path.c_str(), 1, 0, kMovieModeRgb24);
    ASSERT_GT(graph, 0);
    EXPECT_EQ(MovieOf(graph)->frameImage.format.bitDepth, 24);
    UpdateMovieFrame(graph, 1);
    EXPECT_EQ(StepsFromFrame(graph, spec, 0), 0);

    // The right half of each frame is the left half's alpha: a graph half as wide.
    MovieAlphaInFrameSetting() = 1;
    int w = 0, h = 0;
    const int movie = OpenMovieToGraph(path.c_str(), &w, &h, 0);
    ASSERT_GE(movie, 0);
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 20);
    const int halved = LoadGraphFromFile(path.c_str(), 1, 0, 0);
    ASSERT_GT(halved, 0);
    QueryGraphExtent(halved, &w, &h);
    EXPECT_EQ(w, 20);
    UpdateMovieFrame(halved, 1);
    EXPECT_EQ(GraphPixel(halved, 5, 6), PatternPixel(0, 5, 6));
}

TEST_F(MovieTest, TheSoundTrackReachesTheMixerWhileTheMoviePlays) {
    pt::UseSteppedMixer(true);
    ASSERT_EQ(plat::CreateDirectSound(&ds_), plat::DS_OK);
    ASSERT_EQ(ds_->Initialize(nullptr), plat::DS_OK);
    MovieSpec spec;
    spec.frames = 10;
    spec.toneHz = 882;
    const int graph = LoadGraphFromFile(Movie(spec).c_str(), 1, 0, 0);
    ASSERT_GT(graph, 0);
    auto peak = [](const std::vector<int16_t>& v) {
        int p = 0;
        for (int16_t x : v) p = std::max(p, std::abs(static_cast<int>(x)));
        return p;
    };
    EXPECT_EQ(peak(pt::StepMixer(2205)), 0);
    PlayGraphMovie(graph);
    const std::vector<int16_t> mix = pt::StepMixer(4410);
    EXPECT_GT(peak(mix), 8000);
    int crossings = 0;
    for (size_t i = 2; i < mix.size(); i += 2) crossings += (mix[i - 2] < 0) != (mix[i] < 0);
    EXPECT_NEAR(crossings, 176, 3);  // 882 Hz for 0.1 s
    StopGraphMovie(graph);
    EXPECT_EQ(peak(pt::StepMixer(2205)), 0);
    ReleaseGraph(graph, 0);
    EXPECT_EQ(peak(pt::StepMixer(2205)), 0);
}

TEST_F(MovieTest, DrawingAMovieGraphBringsItsNextFrame) {
    const int graph = LoadGraphFromFile(Movie(MovieSpec{}).c_str(), 1, 0, 0);
    ASSERT_GT(graph, 0);
    PlayGraphMovie(graph);
    pt::AdvanceFakeClock(300);
    DrawGraphAt(0, 0, graph, 0);
    EXPECT_EQ(FrameShown(graph), 3);
    pt::AdvanceFakeClock(100);
    // The rotated-about draw leaves the movie alone.
    DrawGraphRotatedAbout(0, 0, 10, 10, 0, 0, 1.0, 0.0, graph, 0);
    EXPECT_EQ(FrameShown(graph), 3);
    DrawGraphStretched(0, 0, 20, 20, graph, 0);
    EXPECT_EQ(FrameShown(graph), 4);
}

TEST_F(MovieTest, RestoringTheGraphRestoresItsLostFrameSurface) {
    UseScreen(Screen::kFull32);
    const int graph = LoadGraphFromFile(Movie(MovieSpec{}).c_str(), 1, 0, 0);
    ASSERT_GT(graph, 0);
    MovieRecord* m = MovieOf(graph);
    m->frameSurface->MarkLost();
    ASSERT_EQ(RestoreGraphMovieSurfaces(graph), 0);
    EXPECT_EQ(m->frameSurface->IsLost(), plat::DD_OK);
    // Frames arrive again.
    UpdateMovieFrame(graph, 1);
    EXPECT_EQ(GraphPixel(graph, 4, 4), PatternPixel(0, 4, 4));
}

}  // namespace
}  // namespace tessra
