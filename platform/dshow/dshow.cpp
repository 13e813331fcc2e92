// The media-graph objects over the playback session (session.cpp).
#include "platform/dshow/dshow.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "platform/dshow/internal.h"
#include "platform/testing.h"
#include "platform/win/codepage.h"
#include "platform/win/file.h"
#include "platform/win/thread.h"

namespace plat {
namespace {

using testing::MediaStep;

bool Fails(MediaStep step) {
    return detail::TakeMediaStepFailure(static_cast<int>(step));
}

}  // namespace

// --- Filter graph and its interfaces -----------------------------------------------------------

FilterGraph::FilterGraph() : session_(new detail::MediaSession()) {}

FilterGraph::~FilterGraph() {
    detail::CloseSession(session_);
    delete session_;
}

ULONG FilterGraph::AddRef() {
    return ++refs_;
}

ULONG FilterGraph::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT FilterGraph::QueryInterface(const GUID& iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IMediaControl) {
        if (Fails(MediaStep::kMediaControl)) return E_FAIL;
        *out = new MediaControl(this);
    } else if (iid == IID_IMediaSeeking) {
        if (Fails(MediaStep::kMediaSeeking)) return E_FAIL;
        *out = new MediaSeeking(this);
    } else if (iid == IID_IBasicAudio) {
        if (Fails(MediaStep::kBasicAudio)) return E_FAIL;
        *out = new BasicAudio(this);
    } else {
        return VFW_E_NOT_FOUND;
    }
    return S_OK;
}

MediaControl::MediaControl(FilterGraph* graph) : graph_(graph) {
    graph_->AddRef();
}
MediaControl::~MediaControl() {
    graph_->Release();
}
ULONG MediaControl::AddRef() {
    return ++refs_;
}
ULONG MediaControl::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT MediaControl::Pause() {
    detail::MediaSession* s = graph_->Session();
    detail::PollSamples(s);
    detail::PauseSession(s);
    return S_OK;
}

MediaSeeking::MediaSeeking(FilterGraph* graph) : graph_(graph) {
    graph_->AddRef();
}
MediaSeeking::~MediaSeeking() {
    graph_->Release();
}
ULONG MediaSeeking::AddRef() {
    return ++refs_;
}
ULONG MediaSeeking::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT MediaSeeking::GetStopPosition(STREAM_TIME* position) {
    if (position == nullptr) return E_POINTER;
    const detail::MediaSession* s = graph_->Session();
    if (!s->open) return E_FAIL;
    *position = s->stopPosition;
    return S_OK;
}

BasicAudio::BasicAudio(FilterGraph* graph) : graph_(graph) {
    graph_->AddRef();
}
BasicAudio::~BasicAudio() {
    graph_->Release();
}
ULONG BasicAudio::AddRef() {
    return ++refs_;
}
ULONG BasicAudio::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT CreateFilterGraph(FilterGraph** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (Fails(MediaStep::kCreateFilterGraph)) return E_FAIL;
    *out = new FilterGraph();
    return S_OK;
}

// --- Video stream and samples ------------------------------------------------------------------

DirectDrawMediaStream::DirectDrawMediaStream(FilterGraph* graph, DirectDraw* directDraw)
    : graph_(graph), directDraw_(directDraw) {
    graph_->AddRef();
    if (directDraw_ != nullptr) directDraw_->AddRef();
}

DirectDrawMediaStream::~DirectDrawMediaStream() {
    if (directDraw_ != nullptr) directDraw_->Release();
    graph_->Release();
}

ULONG DirectDrawMediaStream::AddRef() {
    return ++refs_;
}

ULONG DirectDrawMediaStream::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT DirectDrawMediaStream::QueryInterface(const GUID& iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IAMMediaStream) {
        if (Fails(MediaStep::kAMMediaStream)) return E_FAIL;
    } else if (iid == IID_IDirectDrawMediaStream) {
        if (Fails(MediaStep::kDirectDrawMediaStream)) return E_FAIL;
    } else {
        return VFW_E_NOT_FOUND;
    }
    AddRef();
    *out = this;
    return S_OK;
}

HRESULT DirectDrawMediaStream::GetFormat(DDSURFACEDESC2* desired, void*, DDSURFACEDESC2* current,
                                         DWORD* flags) {
    const detail::MediaSession* s = graph_->Session();
    if (!s->open) return MS_E_NOSTREAM;
    if (flags != nullptr) *flags = 0;
    if (current != nullptr) *current = DDSURFACEDESC2{};
    if (desired != nullptr) {
        *desired = DDSURFACEDESC2{};
        desired->dwSize = sizeof *desired;
        desired->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | DDSD_CAPS;
        desired->dwWidth = static_cast<DWORD>(s->width);
        desired->dwHeight = static_cast<DWORD>(s->height);
        desired->ddpfPixelFormat = kPixelFormatXrgb32;
        desired->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    }
    return S_OK;
}

HRESULT DirectDrawMediaStream::CreateSample(DirectDrawSurface* surface, const RECT* rect, DWORD,
                                            DirectDrawStreamSample** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (Fails(MediaStep::kCreateSample)) return E_FAIL;
    const detail::MediaSession* s = graph_->Session();
    if (!s->open || s->width <= 0 || s->height <= 0) return MS_E_NOSTREAM;
    if (surface == nullptr) {
        // A surface of the stream's own: 32-bit XRGB in system memory, the frame's size.
        if (directDraw_ == nullptr) return E_INVALIDARG;
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = static_cast<DWORD>(s->width);
        desc.dwHeight = static_cast<DWORD>(s->height);
        desc.ddpfPixelFormat = kPixelFormatXrgb32;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        DirectDrawSurface* own = nullptr;
        const HRESULT made = directDraw_->CreateSurface(&desc, &own, nullptr);
        if (DDFailed(made)) return made;
        *out = new DirectDrawStreamSample(graph_, own, RECT{0, 0, s->width, s->height});
        own->Release();  // the sample holds its own reference
        return S_OK;
    }
    if (detail::PixelFormatForSurface(surface->Format()) < 0) return MS_E_INCOMPATIBLE;
    const RECT r = rect != nullptr ? *rect : RECT{0, 0, s->width, s->height};
    if (r.left < 0 || r.top < 0 || r.right - r.left != s->width || r.bottom - r.top != s->height ||
        r.right > surface->Width() || r.bottom > surface->Height()) {
        return E_INVALIDARG;
    }
    *out = new DirectDrawStreamSample(graph_, surface, r);
    return S_OK;
}

DirectDrawStreamSample::DirectDrawStreamSample(FilterGraph* graph, DirectDrawSurface* surface,
                                               const RECT& rect)
    : graph_(graph), surface_(surface), rect_(rect) {
    graph_->AddRef();
    surface_->AddRef();
    graph_->Session()->samples.push_back(this);
}

DirectDrawStreamSample::~DirectDrawStreamSample() {
    auto& samples = graph_->Session()->samples;
    samples.erase(std::remove(samples.begin(), samples.end(), this), samples.end());
    surface_->Release();
    graph_->Release();
}

ULONG DirectDrawStreamSample::AddRef() {
    return ++refs_;
}

ULONG DirectDrawStreamSample::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT DirectDrawStreamSample::GetSurface(DirectDrawSurface** surface, RECT* rect) {
    if (Fails(MediaStep::kGetSampleSurface)) {
        if (surface != nullptr) *surface = nullptr;
        return E_FAIL;
    }
    if (surface != nullptr) {
        surface_->AddRef();
        *surface = surface_;
    }
    if (rect != nullptr) *rect = rect_;
    return S_OK;
}

HRESULT DirectDrawStreamSample::Deliver(bool skipSuperseded) {
    detail::MediaSession* s = graph_->Session();
    if (!detail::FillAhead(s)) return MS_S_ENDOFSTREAM;
    if (skipSuperseded) detail::SkipSuperseded(s, s->Now());
    return detail::ConvertAhead(s, surface_, rect_);
}

HRESULT DirectDrawStreamSample::Update(DWORD flags, HANDLE event, void*, uintptr_t) {
    detail::MediaSession* s = graph_->Session();
    if (!s->open) return MS_E_NOSTREAM;
    detail::PollSamples(s);
    if ((flags & SSUPDATE_ASYNC) == 0) {
        // A synchronous update takes the next frame whatever the time; it replaces a pending one.
        pending_ = false;
        return Deliver(false);
    }
    if (pending_) return MS_E_BUSY;
    if (!detail::FillAhead(s)) return MS_S_ENDOFSTREAM;
    if (s->ahead.time <= s->Now()) return Deliver(true);
    pending_ = true;
    event_ = event;
    return MS_S_PENDING;
}

void DirectDrawStreamSample::Poll() {
    if (!pending_) return;
    detail::MediaSession* s = graph_->Session();
    const bool more = detail::FillAhead(s);
    if (more && s->ahead.time > s->Now()) return;
    // Due, or the stream ended while waiting: either way the update is over.
    pending_ = false;
    if (more) Deliver(true);
    if (event_ != nullptr) SetEvent(event_);
}

// --- Multimedia stream -------------------------------------------------------------------------

HRESULT CreateMultiMediaStream(AMMultiMediaStream** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (Fails(MediaStep::kCreateMultiMediaStream)) return E_FAIL;
    *out = new AMMultiMediaStream();
    return S_OK;
}

AMMultiMediaStream::~AMMultiMediaStream() {
    if (video_ != nullptr) video_->Release();
    if (graph_ != nullptr) graph_->Release();
}

ULONG AMMultiMediaStream::AddRef() {
    return ++refs_;
}

ULONG AMMultiMediaStream::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT AMMultiMediaStream::Initialize(STREAM_TYPE type, DWORD, FilterGraph* graph) {
    if (Fails(MediaStep::kInitialize)) return E_FAIL;
    if (type != STREAMTYPE_READ || graph == nullptr) return E_INVALIDARG;
    if (graph_ != nullptr) return E_FAIL;
    graph_ = graph;
    graph_->AddRef();
    return S_OK;
}

HRESULT AMMultiMediaStream::AddMediaStream(DirectDraw* directDraw, MSPID purpose, DWORD flags,
                                           void* out) {
    if (out != nullptr) return E_INVALIDARG;  // nobody here asks for the added stream back
    if (graph_ == nullptr) return E_FAIL;
    if (purpose == MSPID_PrimaryVideo) {
        if (Fails(MediaStep::kAddVideoStream)) return E_FAIL;
        if (video_ != nullptr) return E_FAIL;
        video_ = new DirectDrawMediaStream(graph_, directDraw);
        return S_OK;
    }
    if (Fails(MediaStep::kAddAudioStream)) return E_FAIL;
    if ((flags & AMMSF_ADDDEFAULTRENDERER) == 0) return E_INVALIDARG;
    audioAdded_ = true;
    return S_OK;
}

HRESULT AMMultiMediaStream::OpenFile(const WCHAR* name, DWORD) {
    if (Fails(MediaStep::kOpenFile)) return E_FAIL;
    if (graph_ == nullptr || name == nullptr) return E_INVALIDARG;
    char windowsName[MAX_PATH * 2];
    if (WideCharToMultiByte(CP_ACP, 0, name, -1, windowsName, sizeof windowsName, nullptr,
                            nullptr) == 0) {
        return VFW_E_NOT_FOUND;
    }
    const std::string path = MapPath(windowsName);
    if (!detail::OpenSession(graph_->Session(), path.c_str(), audioAdded_)) {
        return VFW_E_UNSUPPORTED_STREAM;
    }
    return S_OK;
}

HRESULT AMMultiMediaStream::GetMediaStream(MSPID purpose, DirectDrawMediaStream** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (purpose != MSPID_PrimaryVideo) return MS_E_NOSTREAM;
    if (Fails(MediaStep::kGetVideoStream)) return E_FAIL;
    if (video_ == nullptr) return MS_E_NOSTREAM;
    video_->AddRef();
    *out = video_;
    return S_OK;
}

HRESULT AMMultiMediaStream::GetState(STREAM_STATE* state) {
    if (state == nullptr) return E_POINTER;
    if (graph_ == nullptr) return E_FAIL;
    detail::PollSamples(graph_->Session());
    *state = graph_->Session()->running ? STREAMSTATE_RUN : STREAMSTATE_STOP;
    return S_OK;
}

HRESULT AMMultiMediaStream::SetState(STREAM_STATE state) {
    if (graph_ == nullptr) return E_FAIL;
    detail::MediaSession* s = graph_->Session();
    detail::PollSamples(s);
    if (state == STREAMSTATE_RUN) {
        detail::RunSession(s);
    } else {
        detail::PauseSession(s);
    }
    return S_OK;
}

HRESULT AMMultiMediaStream::GetTime(STREAM_TIME* time) {
    if (time == nullptr) return E_POINTER;
    if (graph_ == nullptr) return E_FAIL;
    detail::PollSamples(graph_->Session());
    *time = graph_->Session()->Now();
    return S_OK;
}

HRESULT AMMultiMediaStream::Seek(STREAM_TIME time) {
    if (graph_ == nullptr || !graph_->Session()->open) return E_FAIL;
    detail::SeekSession(graph_->Session(), time);
    return S_OK;
}

// --- Test controls -----------------------------------------------------------------------------

namespace {
std::mutex g_controlMutex;
int g_failSteps[static_cast<int>(MediaStep::kCount)] = {};
}  // namespace

namespace detail {

bool TakeMediaStepFailure(int step) {
    std::lock_guard<std::mutex> lock(g_controlMutex);
    int& left = g_failSteps[step];
    if (left == 0) return false;
    if (left > 0) --left;
    return true;
}

void ResetMediaControls() {
    std::lock_guard<std::mutex> lock(g_controlMutex);
    std::fill(std::begin(g_failSteps), std::end(g_failSteps), 0);
}

}  // namespace detail

namespace testing {

void FailMediaStep(MediaStep step, int count) {
    std::lock_guard<std::mutex> lock(g_controlMutex);
    g_failSteps[static_cast<int>(step)] = count < 0 ? -1 : count;
}

}  // namespace testing
}  // namespace plat
