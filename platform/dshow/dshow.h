// The media-graph stand-in the engine plays movies through: a filter graph with its media
// control, media seeking and basic audio, a multimedia stream that reads a file into it, the
// primary video stream that decodes into DirectDraw surfaces, and its stream samples.
//
// Files are read with libavformat and decoded with libavcodec; frames are converted with
// libswscale straight into the locked surface. The sound track plays through the sound device
// as a pulled source (platform/dsound), decoded and converted to the mixer's format with
// libswresample, following run, pause and seek; a file without sound plays silent. A thread of
// the session decodes the sound half a second ahead (a run or a seek does so at once), so the
// mixing thread only copies what is ready.
//
// Video runs on the caller's thread alone. While running, stream time follows the platform
// clock (the fake clock in tests). An asynchronous sample update completes at once when its frame
// is due; otherwise it stays pending and completes, setting its event, once its time has come,
// which is checked whenever the stream or one of its samples is called. A movie that fell behind
// skips the frames that a later due frame supersedes, without converting them.
//
// Times are stream times in 100-nanosecond units.
#pragma once

#include <cstdint>

#include "platform/ddraw/ddraw.h"
#include "platform/win/system.h"
#include "platform/win/types.h"

namespace plat {

using STREAM_TIME = int64_t;

// --- Result codes --------------------------------------------------------------------------
// S_OK and S_FALSE come from platform/win/system.h.
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
// Sample updates: pending (asynchronous, not yet due) and the end of the stream.
constexpr HRESULT MS_S_PENDING = 0x00040001;
constexpr HRESULT MS_S_ENDOFSTREAM = 0x00040003;
constexpr HRESULT MS_E_NOSTREAM = static_cast<HRESULT>(0x8004000Du);
constexpr HRESULT MS_E_BUSY = static_cast<HRESULT>(0x80040008u);
constexpr HRESULT MS_E_INCOMPATIBLE = static_cast<HRESULT>(0x80040005u);
constexpr HRESULT VFW_E_NOT_FOUND = static_cast<HRESULT>(0x80040216u);
constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = static_cast<HRESULT>(0x80040265u);

constexpr bool Failed(HRESULT r) {
    return r < 0;
}

// --- Interfaces asked of the objects (QueryInterface; VFW_E_NOT_FOUND for any other) --------
inline constexpr GUID IID_IMediaControl = {0x7E1A0001, 0x4D31, 0x11D0, {1, 0, 0, 0, 0, 0, 0, 1}};
inline constexpr GUID IID_IMediaSeeking = {0x7E1A0002, 0x4D31, 0x11D0, {1, 0, 0, 0, 0, 0, 0, 2}};
inline constexpr GUID IID_IBasicAudio = {0x7E1A0003, 0x4D31, 0x11D0, {1, 0, 0, 0, 0, 0, 0, 3}};
inline constexpr GUID IID_IAMMediaStream = {0x7E1A0004, 0x4D31, 0x11D0, {1, 0, 0, 0, 0, 0, 0, 4}};
inline constexpr GUID IID_IDirectDrawMediaStream = {
    0x7E1A0005, 0x4D31, 0x11D0, {1, 0, 0, 0, 0, 0, 0, 5}};

// Stream purposes.
enum MSPID { MSPID_PrimaryVideo, MSPID_PrimaryAudio };
enum STREAM_TYPE { STREAMTYPE_READ = 0 };
enum STREAM_STATE { STREAMSTATE_STOP = 0, STREAMSTATE_RUN = 1 };

// Initialize: the stream runs no graph thread of its own (there is none here in any case).
constexpr DWORD AMMSF_NOGRAPHTHREAD = 0x1;
// AddMediaStream: the audio stream plays through the default sound renderer.
constexpr DWORD AMMSF_ADDDEFAULTRENDERER = 0x1;
// Update: asynchronous, completing through the event.
constexpr DWORD SSUPDATE_ASYNC = 0x1;

namespace detail {
struct MediaSession;
}

class FilterGraph;

// Pause and the state of the graph's playback.
class MediaControl {
public:
    ULONG AddRef();
    ULONG Release();
    // Stops the stream clock and the sound where they are.
    HRESULT Pause();

private:
    friend class FilterGraph;
    explicit MediaControl(FilterGraph* graph);
    ~MediaControl();
    ULONG refs_ = 1;
    FilterGraph* graph_;
};

class MediaSeeking {
public:
    ULONG AddRef();
    ULONG Release();
    // The end of the file's longest stream; E_FAIL before a file is open.
    HRESULT GetStopPosition(STREAM_TIME* position);

private:
    friend class FilterGraph;
    explicit MediaSeeking(FilterGraph* graph);
    ~MediaSeeking();
    ULONG refs_ = 1;
    FilterGraph* graph_;
};

class BasicAudio {
public:
    ULONG AddRef();
    ULONG Release();

private:
    friend class FilterGraph;
    explicit BasicAudio(FilterGraph* graph);
    ~BasicAudio();
    ULONG refs_ = 1;
    FilterGraph* graph_;
};

// The graph the multimedia stream reads a file into; it owns the playback session.
class FilterGraph {
public:
    ULONG AddRef();
    ULONG Release();
    // IID_IMediaControl, IID_IMediaSeeking or IID_IBasicAudio.
    HRESULT QueryInterface(const GUID& iid, void** out);

    detail::MediaSession* Session() const { return session_; }

private:
    friend HRESULT CreateFilterGraph(FilterGraph** out);
    FilterGraph();
    ~FilterGraph();
    ULONG refs_ = 1;
    detail::MediaSession* session_;
};

class DirectDrawStreamSample;

// The primary video stream: its desired format and the samples that decode into surfaces.
// Asked for IID_IAMMediaStream or IID_IDirectDrawMediaStream it answers itself.
class DirectDrawMediaStream {
public:
    ULONG AddRef();
    ULONG Release();
    HRESULT QueryInterface(const GUID& iid, void** out);
    // The frame size and the stream's preferred pixel format (32-bit XRGB); a file without
    // video has a size of 0 x 0. The other descriptions are not filled and may be null.
    HRESULT GetFormat(DDSURFACEDESC2* desired, void* palette, DDSURFACEDESC2* current,
                      DWORD* flags);
    // A sample that decodes into the surface (a 16-, 24- or 32-bit RGB surface at least the
    // frame's size; its rectangle is the frame's, at the top left, or the one given), or with a
    // null surface into a 32-bit XRGB system-memory surface of the stream's own.
    HRESULT CreateSample(DirectDrawSurface* surface, const RECT* rect, DWORD flags,
                         DirectDrawStreamSample** out);

private:
    friend class AMMultiMediaStream;
    DirectDrawMediaStream(FilterGraph* graph, DirectDraw* directDraw);
    ~DirectDrawMediaStream();
    ULONG refs_ = 1;
    FilterGraph* graph_;
    DirectDraw* directDraw_;
};

class DirectDrawStreamSample {
public:
    ULONG AddRef();
    ULONG Release();
    // The surface (with a reference for the caller) and the frame's rectangle in it.
    HRESULT GetSurface(DirectDrawSurface** surface, RECT* rect);
    // Decodes the next frame into the surface. Without SSUPDATE_ASYNC at once (S_OK); with it
    // S_OK when the frame is due, else MS_S_PENDING and the event is set when it completes.
    // MS_S_ENDOFSTREAM after the last frame; MS_E_BUSY while an update is pending.
    HRESULT Update(DWORD flags, HANDLE event, void* apc, uintptr_t context);

    // Completes a pending update whose frame has come due (the stream calls it).
    void Poll();

private:
    friend class DirectDrawMediaStream;
    DirectDrawStreamSample(FilterGraph* graph, DirectDrawSurface* surface, const RECT& rect);
    ~DirectDrawStreamSample();
    HRESULT Deliver(bool skipSuperseded);
    ULONG refs_ = 1;
    FilterGraph* graph_;
    DirectDrawSurface* surface_;
    RECT rect_;
    bool pending_ = false;
    HANDLE event_ = nullptr;
};

// The multimedia stream: opens the file into its graph and runs, reports and seeks the stream.
class AMMultiMediaStream {
public:
    ULONG AddRef();
    ULONG Release();
    HRESULT Initialize(STREAM_TYPE type, DWORD flags, FilterGraph* graph);
    // MSPID_PrimaryVideo with the DirectDraw object frames are made with, or MSPID_PrimaryAudio
    // with AMMSF_ADDDEFAULTRENDERER. The streams may be added before the file is open.
    HRESULT AddMediaStream(DirectDraw* directDraw, MSPID purpose, DWORD flags, void* out);
    // The name is UTF-16, a Windows-form path (mapped as platform/win maps every path). Fails
    // for a file that is missing or no media file.
    HRESULT OpenFile(const WCHAR* name, DWORD flags);
    HRESULT GetMediaStream(MSPID purpose, DirectDrawMediaStream** out);
    HRESULT GetState(STREAM_STATE* state);
    // STREAMSTATE_RUN starts the stream clock and the sound; STREAMSTATE_STOP pauses them.
    HRESULT SetState(STREAM_STATE state);
    HRESULT GetTime(STREAM_TIME* time);
    // The next frame delivered is the one showing at that time; the sound goes on from it.
    HRESULT Seek(STREAM_TIME time);

private:
    friend HRESULT CreateMultiMediaStream(AMMultiMediaStream** out);
    AMMultiMediaStream() = default;
    ~AMMultiMediaStream();
    ULONG refs_ = 1;
    FilterGraph* graph_ = nullptr;
    DirectDraw* directDraw_ = nullptr;
    bool videoAdded_ = false;
    bool audioAdded_ = false;
    DirectDrawMediaStream* video_ = nullptr;
};

// Stand in for creating the objects; tests can make them and every step after fail
// (platform/testing.h).
HRESULT CreateFilterGraph(FilterGraph** out);
HRESULT CreateMultiMediaStream(AMMultiMediaStream** out);

}  // namespace plat
