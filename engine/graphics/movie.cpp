#include "engine/graphics/movie.h"

#include <cstring>

#include "engine/base/file_access.h"
#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/graphics_core.h"
#include "engine/graphics/image_data.h"
#include "engine/screen/screen_state.h"
#include "engine/screen/surface2d.h"
#include "platform/ddraw/ddraw.h"
#include "platform/dshow/dshow.h"
#include "platform/win/codepage.h"
#include "platform/win/file.h"
#include "platform/win/thread.h"
#include "platform/win/time.h"

namespace tessra {

using namespace sjis_literals;

namespace {

// A movie asks for its next frame at most this often while the screen shows no new picture.
constexpr uint32_t kMovieUpdateIntervalMs = 18;

template <typename T>
void ReleaseObject(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

int Fail(const char* text) {
    AppendLog(text);
    return -1;
}

// Releases every interface of the movie, in the order the display change gives; the record
// keeps its name, mode, time and playing flag.
void ReleaseMovieInterfaces(MovieRecord* m) {
    ReleaseObject(m->videoStream);
    ReleaseObject(m->ddStream);
    ReleaseObject(m->sample);
    ReleaseObject(m->sampleSurface);
    ReleaseObject(m->frameSurfaceOld);
    ReleaseObject(m->frameSurface);
    ReleaseObject(m->amStream);
    ReleaseObject(m->multiMediaStream);
    ReleaseObject(m->directDraw);
    ReleaseObject(m->filterGraph);
    ReleaseObject(m->mediaControl);
    ReleaseObject(m->mediaSeeking);
    ReleaseObject(m->basicAudio);
    m->updatePending = 0;
}

void FreeFrameImage(MovieRecord* m) {
    if (m->frameImage.pixels != nullptr) FreeTagged(m->frameImage.pixels);
    m->frameImage.pixels = nullptr;
}

// Opens the record's file (a Shift-JIS, Windows-form name) in the multimedia stream.
bool OpenStreamFile(MovieRecord* m) {
    plat::WCHAR wide[kMovieFileNameSize];
    if (plat::MultiByteToWideChar(plat::CP_ACP, 0, m->fileName, -1, wide, kMovieFileNameSize) ==
        0) {
        return false;
    }
    return !plat::Failed(m->multiMediaStream->OpenFile(wide, 0));
}

// Copies the file, as the file layer reads it (archives included), into a new temporary file
// whose name replaces the record's. A copy that cannot be completed is deleted: a short copy
// would play as a movie that ends early or not at all.
bool CopyToTemporaryFile(MovieRecord* m) {
    const StreamHandle source = OpenViaFileTable(m->fileName, 0, 1);
    if (source == 0) return false;
    char tempName[kFilePathMax] = {};
    plat::FileHandle copy = CreateTempFile(tempName);
    if (copy == nullptr || copy == plat::INVALID_HANDLE_VALUE) {
        CloseViaFileTable(source);
        return false;
    }
    auto* block = static_cast<uint8_t*>(AllocTagged(kMovieCopyBlock, __FILE__, __LINE__));
    bool complete = block != nullptr && std::strlen(tempName) < sizeof m->fileName;
    while (complete) {
        const int64_t got = ReadViaFileTable(block, 1, kMovieCopyBlock, source);
        if (got <= 0) break;
        uint32_t written = 0;
        if (!plat::WriteFile(copy, block, static_cast<uint32_t>(got), &written) ||
            written != static_cast<uint32_t>(got)) {
            complete = false;
        }
    }
    if (block != nullptr) FreeTagged(block);
    plat::CloseHandle(copy);
    CloseViaFileTable(source);
    if (!complete) {
        plat::DeleteFileA(tempName);
        return false;
    }
    std::strcpy(m->fileName, tempName);
    m->temporaryFile = 1;
    return true;
}

// The pixel format of a frame surface in the modes other than 2.
plat::DDPixelFormat ScreenFramePixelFormat() {
    const ImageDataContext& c = GetImageDataContext();
    plat::DDPixelFormat f{};
    if (c.windowMode && c.screenColorBits > 8) {
        f = *GetStandardPixelFormat(WorkingBitsForGraphs(c) == 32 ? kColorKindXrgb : kColorKind565,
                                    0, 0);
    } else {
        const ColorFormat& s = c.screenFormat;
        BuildDDPixelFormat(&f, s.bitDepth, s.redMask, s.greenMask, s.blueMask, s.alphaMask);
    }
    return f;
}

// Copies the frame just decoded into the frame image and the graph, and notes when.
void TakeMovieFrame(MovieRecord* m, GraphRecord* graph) {
    if (m->frameImage.pixels != nullptr) {
        plat::DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        const plat::RECT r{m->frameRect.left, m->frameRect.top, m->frameRect.right,
                           m->frameRect.bottom};
        if (!plat::DDFailed(m->frameSurfaceOld->Lock(
                &r, &desc, plat::DDLOCK_WAIT | plat::DDLOCK_READONLY, nullptr))) {
            const size_t rowBytes =
                static_cast<size_t>(m->width) * m->frameImage.format.bytesPerPixel;
            for (int32_t y = 0; y < m->height; ++y) {
                std::memcpy(m->frameImage.pixels + static_cast<int64_t>(y) * m->frameImage.pitch,
                            static_cast<const uint8_t*>(desc.lpSurface) +
                                static_cast<int64_t>(y) * desc.lPitch,
                            rowBytes);
            }
            m->frameSurfaceOld->Unlock(&r);
        }
    }
    // Texture graphs are the Direct3D back-end's; without one there are none to fill.
    if (m->mode != kMovieModeOverlay && !graph->format.texture) {
        TransferMovieFrameToSurface2D(m, graph);
    }
    m->lastFrameCount = GetScreenState().frameCount;
    m->lastUpdateTime = static_cast<int32_t>(plat::timeGetTime());
    plat::ResetEvent(m->updateEvent);
    m->updatePending = 0;
}

// The graph's movie record: null with *result set (0 for a graph without a movie, -1 for a bad
// graph or movie handle).
MovieRecord* MovieOfGraph(int graph, GraphRecord** graphOut, int* result) {
    GraphRecord* g = GetGraphRecord(graph);
    if (g == nullptr) {
        *result = -1;
        return nullptr;
    }
    if (graphOut != nullptr) *graphOut = g;
    if (g->movie == -1) {
        *result = 0;
        return nullptr;
    }
    MovieRecord* m = GetMovieRecord(g->movie);
    *result = m == nullptr ? -1 : 0;
    return m;
}

// Frees the record and its slot; the interfaces must already be released.
void DiscardMovieRecord(int32_t slot) {
    MovieTable& t = GetMovieTable();
    MovieRecord* m = t.records[slot];
    FreeFrameImage(m);
    if (m->updateEvent != nullptr) plat::CloseHandle(m->updateEvent);
    FreeTagged(m);
    t.Vacate(slot);
}

int CloseMovieRecord(MovieRecord* m, int32_t slot) {
    if (m->temporaryFile) plat::DeleteFileA(m->fileName);
    FreeFrameImage(m);
    ReleaseObject(m->frameSurfaceOld);
    ReleaseObject(m->frameSurface);
    ReleaseObject(m->sampleSurface);
    ReleaseObject(m->sample);
    ReleaseObject(m->ddStream);
    ReleaseObject(m->amStream);
    ReleaseObject(m->videoStream);
    ReleaseObject(m->basicAudio);
    ReleaseObject(m->mediaSeeking);
    ReleaseObject(m->directDraw);
    ReleaseObject(m->mediaControl);
    ReleaseObject(m->filterGraph);
    ReleaseObject(m->multiMediaStream);
    DiscardMovieRecord(slot);
    return 0;
}

}  // namespace

MovieTable& GetMovieTable() {
    static MovieTable table{};
    return table;
}

int32_t& MovieAlphaInFrameSetting() {
    static int32_t setting = 0;
    return setting;
}

MovieRecord* GetMovieRecord(int movie) {
    return GetMovieTable().Find(movie, kMovieHandleKind);
}

int OpenMovieToGraph(const char* fileName, int* width, int* height, int mode) {
    MovieTable& t = GetMovieTable();
    int32_t slot = -1;
    for (int32_t i = 0; i < kMovieMax && slot < 0; ++i) {
        if (t.records[i] == nullptr) slot = i;
    }
    if (slot < 0) return -1;
    auto* m = static_cast<MovieRecord*>(AllocTaggedZeroed(sizeof(MovieRecord), __FILE__, __LINE__));
    if (m == nullptr) return Fail("メモリの確保に失敗しました in OpenMovieToGraph"_sjis);
    t.Occupy(slot, m);
    m->setting = MovieAlphaInFrameSetting();
    m->temporaryFile = 0;
    // The name must fit its field whole: a cut name would open some other file.
    const bool nameFits = fileName != nullptr && std::strlen(fileName) < sizeof m->fileName;
    if (nameFits) std::strcpy(m->fileName, fileName);
    if (!nameFits || OpenMovieStream(m, mode) != 0) {
        ReleaseMovieInterfaces(m);
        if (m->temporaryFile) plat::DeleteFileA(m->fileName);
        DiscardMovieRecord(slot);
        return Fail("ムービーファイルオープン処理時にエラーが発生しました"_sjis);
    }
    m->playing = 0;
    m->check = t.checkCounter;
    t.checkCounter = NextHandleCheck(t.checkCounter);
    if (width != nullptr) *width = m->setting ? m->width / 2 : m->width;
    if (height != nullptr) *height = m->height;
    return MakeEngineHandle(kMovieHandleKind, m->check, slot);
}

int OpenMovieStream(MovieRecord* m, int mode) {
    // A buffer of an earlier opening (before a display change) is replaced, not leaked.
    FreeFrameImage(m);
    m->updatePending = 0;
    if (plat::Failed(plat::CreateFilterGraph(&m->filterGraph)))
        return Fail("CLSID_FilterGraph の作成に失敗しました"_sjis);
    if (plat::Failed(plat::CreateMultiMediaStream(&m->multiMediaStream)))
        return Fail("IAMMultimediaインターフェイスを取得できませんでした！"_sjis);
    if (plat::Failed(m->multiMediaStream->Initialize(plat::STREAMTYPE_READ,
                                                     plat::AMMSF_NOGRAPHTHREAD, m->filterGraph)))
        return Fail("ストリームを読み取り用にセットアップできませんでした！"_sjis);
    if (plat::Failed(m->filterGraph->QueryInterface(plat::IID_IMediaControl,
                                                    reinterpret_cast<void**>(&m->mediaControl))))
        return Fail("IID_IMediaControlインターフェイスの取得に失敗しました"_sjis);
    plat::DirectDraw* engineDirectDraw = GetImageDataContext().directDraw;
    if (engineDirectDraw == nullptr ||
        plat::DDFailed(engineDirectDraw->QueryInterface(plat::IID_IDirectDraw4,
                                                        reinterpret_cast<void**>(&m->directDraw))))
        return Fail("DirectDraw4オブジェクトを取得できませんでした"_sjis);
    if (plat::Failed(m->multiMediaStream->AddMediaStream(m->directDraw, plat::MSPID_PrimaryVideo, 0,
                                                         nullptr)))
        return Fail("プライマリビデオストリームを追加できませんでした！"_sjis);
    if (plat::Failed(m->multiMediaStream->AddMediaStream(nullptr, plat::MSPID_PrimaryAudio,
                                                         plat::AMMSF_ADDDEFAULTRENDERER, nullptr)))
        return Fail("デフォルトサウンドレンダラを追加できませんでした！\n"_sjis);
    if (!OpenStreamFile(m)) {
        AppendLogFormat("ファイル:%s が開けませんでした"_sjis, m->fileName);
        if (m->temporaryFile || !CopyToTemporaryFile(m)) return -1;
        if (!OpenStreamFile(m)) {
            plat::DeleteFileA(m->fileName);
            m->temporaryFile = 0;
            return -1;
        }
    }
    if (plat::Failed(m->filterGraph->QueryInterface(plat::IID_IMediaSeeking,
                                                    reinterpret_cast<void**>(&m->mediaSeeking))))
        return Fail("メディアシーキングインターフェースの取得に失敗しました"_sjis);
    m->mediaSeeking->GetStopPosition(&m->stopPosition);
    if (plat::Failed(m->filterGraph->QueryInterface(plat::IID_IBasicAudio,
                                                    reinterpret_cast<void**>(&m->basicAudio))))
        return Fail("BasicAudio インターフェースの取得に失敗しました"_sjis);
    if (plat::Failed(
            m->multiMediaStream->GetMediaStream(plat::MSPID_PrimaryVideo, &m->videoStream)))
        return Fail("プライマリビデオストリームインターフェイスを取得できませんでした！"_sjis);
    if (plat::Failed(m->videoStream->QueryInterface(plat::IID_IAMMediaStream,
                                                    reinterpret_cast<void**>(&m->amStream))))
        return Fail("AMMediaStreamインターフェイスの取得に失敗しました"_sjis);
    if (plat::Failed(m->videoStream->QueryInterface(plat::IID_IDirectDrawMediaStream,
                                                    reinterpret_cast<void**>(&m->ddStream))))
        return Fail("DirectDrawメディアストリームインターフェイスを取得できませんでした！"_sjis);

    plat::DDSURFACEDESC2 desired{};
    desired.dwSize = sizeof desired;
    m->ddStream->GetFormat(&desired, nullptr, nullptr, nullptr);
    if (desired.dwWidth == 0 || desired.dwHeight == 0)
        return Fail("動画ファイルではない可能性があります！"_sjis);
    plat::DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = plat::DDSD_CAPS | plat::DDSD_WIDTH | plat::DDSD_HEIGHT | plat::DDSD_PIXELFORMAT;
    desc.dwWidth = desired.dwWidth;
    desc.dwHeight = desired.dwHeight;
    if (mode == kMovieModeOverlay) {
        const plat::DDPixelFormat* overlay = GetOverlayPixelFormat();
        if (overlay != nullptr) desc.ddpfPixelFormat = *overlay;
        desc.ddsCaps.dwCaps = plat::DDSCAPS_OVERLAY | plat::DDSCAPS_VIDEOMEMORY;
    } else {
        desc.ddsCaps.dwCaps = plat::DDSCAPS_OFFSCREENPLAIN | plat::DDSCAPS_SYSTEMMEMORY;
        desc.ddpfPixelFormat = mode == kMovieModeRgb24
                                   ? plat::MakeRgbPixelFormat(24, 0xFF0000, 0xFF00, 0xFF)
                                   : ScreenFramePixelFormat();
    }
    plat::DirectDrawSurface* made = nullptr;
    if (plat::DDFailed(m->directDraw->CreateSurface(&desc, &made, nullptr)))
        return Fail("DirectDrawSurface オブジェクトの作成に失敗しました"_sjis);
    m->mode = mode;
    const bool gotNew = !plat::DDFailed(made->QueryInterface(
        plat::IID_IDirectDrawSurface7, reinterpret_cast<void**>(&m->frameSurface)));
    const bool gotOld = gotNew && !plat::DDFailed(made->QueryInterface(
                                      plat::IID_IDirectDrawSurface4,
                                      reinterpret_cast<void**>(&m->frameSurfaceOld)));
    made->Release();
    if (!gotNew) return Fail("IDirectDrawSurface7インターフェイスを取得できませんでした！"_sjis);
    if (!gotOld) return Fail("IDirectDrawSurface4インターフェイスを取得できませんでした！"_sjis);
    if (plat::Failed(m->ddStream->CreateSample(m->frameSurface, nullptr, 0, &m->sample))) {
        m->mode = kMovieModeScreen;
        if (plat::Failed(m->ddStream->CreateSample(nullptr, nullptr, 0, &m->sample)))
            return Fail("ストリームサンプルを作成できませんでした！"_sjis);
    }
    plat::RECT rect{};
    if (plat::Failed(m->sample->GetSurface(&m->sampleSurface, &rect)))
        return Fail(
            "ストリームサンプルからIDirectDrawSurfaceインターフェイスを取得できませんでした！"_sjis);
    if (m->sampleSurface != m->frameSurface) {
        // The sample decodes into a surface of the stream's own: the frames are read from there,
        // or the movie would show the empty surface made above.
        ReleaseObject(m->frameSurface);
        ReleaseObject(m->frameSurfaceOld);
        m->sampleSurface->AddRef();
        m->sampleSurface->AddRef();
        m->frameSurface = m->sampleSurface;
        m->frameSurfaceOld = m->sampleSurface;
    }
    if (m->updateEvent == nullptr) {
        m->updateEvent = plat::CreateEventA(nullptr, plat::TRUE, plat::FALSE, nullptr);
    } else {
        plat::ResetEvent(m->updateEvent);
    }
    m->frameRect = Rect{rect.left, rect.top, rect.right, rect.bottom};
    m->width = rect.right - rect.left;
    m->height = rect.bottom - rect.top;
    // The frame in memory, in the frame surface's own format.
    GraphImage& image = m->frameImage;
    SetColorFormatFromPixelFormat(&m->frameSurfaceOld->Format(), &image.format);
    image.width = m->width;
    image.height = m->height;
    image.pitch = (m->width * image.format.bytesPerPixel + 3) & ~3;
    image.pixels = static_cast<uint8_t*>(
        AllocTaggedZeroed(static_cast<size_t>(image.pitch) * m->height, __FILE__, __LINE__));
    return 0;
}

int CloseMovie(int graph) {
    int result = 0;
    MovieRecord* m = MovieOfGraph(graph, nullptr, &result);
    if (m == nullptr) return result;
    return CloseMovieRecord(m, HandleSlot(GetGraphRecord(graph)->movie));
}

int CloseMovieHandle(int movie) {
    MovieRecord* m = GetMovieRecord(movie);
    if (m == nullptr) return -1;
    return CloseMovieRecord(m, HandleSlot(movie));
}

int UpdateMovieFrame(int graph, int force) {
    int result = 0;
    GraphRecord* g = nullptr;
    MovieRecord* m = MovieOfGraph(graph, &g, &result);
    if (m == nullptr) return result;
    if (m->frameSurface == nullptr) return 0;
    plat::STREAM_STATE state = plat::STREAMSTATE_STOP;
    m->multiMediaStream->GetState(&state);
    if (!force) {
        if (!m->playing || state != plat::STREAMSTATE_RUN) return 0;
        const uint32_t since = plat::timeGetTime() - static_cast<uint32_t>(m->lastUpdateTime);
        if (GetScreenState().frameCount == m->lastFrameCount && since < kMovieUpdateIntervalMs)
            return 0;
        if (m->updatePending) {
            if (plat::WaitForSingleObject(m->updateEvent, 0) != plat::WAIT_OBJECT_0) return 0;
            TakeMovieFrame(m, g);
        }
    }
    for (;;) {
        const plat::HRESULT r =
            force ? m->sample->Update(0, nullptr, nullptr, 0)
                  : m->sample->Update(plat::SSUPDATE_ASYNC, m->updateEvent, nullptr, 0);
        if (r == plat::S_OK) {
            TakeMovieFrame(m, g);
            if (force) return 0;
            continue;
        }
        if (r == plat::MS_S_PENDING) {
            m->updatePending = 1;
        } else {
            m->playing = 0;  // the end of the stream
        }
        return 0;
    }
}

int PlayGraphMovie(int graph) {
    int result = 0;
    MovieRecord* m = MovieOfGraph(graph, nullptr, &result);
    if (m == nullptr) return result;
    if (m->frameSurface != nullptr && !m->playing) {
        m->multiMediaStream->SetState(plat::STREAMSTATE_RUN);
        m->playing = 1;
    }
    return 0;
}

int StopGraphMovie(int graph) {
    int result = 0;
    MovieRecord* m = MovieOfGraph(graph, nullptr, &result);
    if (m == nullptr) return result;
    if (m->frameSurface != nullptr && m->playing) {
        m->mediaControl->Pause();
        m->playing = 0;
    }
    return 0;
}

namespace {

void ForEachMovieGraph(int (*call)(int graph)) {
    GraphTable& t = GetGraphTable();
    for (int32_t slot = 0; slot < t.topSlot; ++slot) {
        const GraphRecord* g = t.records[slot];
        if (g != nullptr && g->movie != -1)
            call(MakeEngineHandle(kGraphHandleKind, g->check, slot));
    }
}

}  // namespace

int PlayAllGraphMovies() {
    ForEachMovieGraph(PlayGraphMovie);
    return 0;
}

int StopAllGraphMovies() {
    ForEachMovieGraph(StopGraphMovie);
    return 0;
}

int ReleaseAllMovieObjects() {
    MovieTable& t = GetMovieTable();
    for (int32_t slot = 0; slot < kMovieMax; ++slot) {
        MovieRecord* m = t.records[slot];
        if (m == nullptr || m->frameSurface == nullptr) continue;
        plat::STREAM_TIME now = 0;
        if (!plat::Failed(m->multiMediaStream->GetTime(&now))) m->savedTime = now;
        ReleaseMovieInterfaces(m);
    }
    return 0;
}

int ReopenAllMovies() {
    MovieTable& t = GetMovieTable();
    for (int32_t slot = 0; slot < kMovieMax; ++slot) {
        MovieRecord* m = t.records[slot];
        if (m == nullptr || m->frameSurface != nullptr) continue;
        if (OpenMovieStream(m, m->mode) != 0) {
            ReleaseMovieInterfaces(m);
            return -1;
        }
        m->multiMediaStream->Seek(m->savedTime);
        if (m->playing) m->multiMediaStream->SetState(plat::STREAMSTATE_RUN);
    }
    return 0;
}

}  // namespace tessra
