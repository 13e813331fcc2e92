// Movies played into graphs: a movie file opened through the media-graph layer (platform/dshow)
// decodes into a DirectDraw frame surface, and the graph that holds its movie handle receives
// each new frame before it is drawn. Movie handles are EngineHandles of kMovieHandleKind.
#pragma once

#include <cstdint>

#include "engine/base/handle.h"
#include "engine/graphics/color_format.h"
#include "engine/graphics/graph_image.h"
#include "platform/win/types.h"

namespace plat {
class AMMultiMediaStream;
class DirectDrawMediaStream;
class DirectDrawStreamSample;
class DirectDrawSurface;
class DirectDraw;
class FilterGraph;
class MediaControl;
class MediaSeeking;
class BasicAudio;
}  // namespace plat

namespace tessra {

inline constexpr int32_t kMovieMax = 100;
inline constexpr int32_t kMovieFileNameSize = 260;
// The file is copied from the file layer into a temporary file in blocks of this size.
inline constexpr int32_t kMovieCopyBlock = 0x100000;

// Frame surface modes.
enum MovieMode : int32_t {
    kMovieModeScreen = 0,   // a system-memory surface in the screen's pixel format
    kMovieModeOverlay = 1,  // a hardware overlay (no display here offers one)
    kMovieModeRgb24 = 2,    // a 24-bit RGB system-memory surface
};

struct MovieRecord {
    int32_t check;
    Rect frameRect;  // the frame within the sample's surface
    plat::AMMultiMediaStream* multiMediaStream;
    plat::DirectDrawMediaStream* videoStream;
    plat::DirectDrawMediaStream* amStream;
    plat::DirectDrawMediaStream* ddStream;
    plat::DirectDrawStreamSample* sample;
    plat::DirectDrawSurface* sampleSurface;
    plat::DirectDrawSurface* frameSurface;     // newer interface
    plat::DirectDrawSurface* frameSurfaceOld;  // older interface, the one locked
    plat::DirectDraw* directDraw;
    plat::FilterGraph* filterGraph;
    plat::MediaControl* mediaControl;
    plat::MediaSeeking* mediaSeeking;
    plat::BasicAudio* basicAudio;
    uint64_t lastFrameCount;  // the screens' present count at the last frame update
    int32_t lastUpdateTime;   // ms
    int64_t stopPosition;
    int32_t width;
    int32_t height;
    int32_t setting;  // non-zero: the right half of each frame is the alpha of the left half
    int32_t playing;
    int32_t mode;  // a MovieMode
    int64_t savedTime;
    int32_t temporaryFile;  // 1: fileName is a temporary copy that close deletes
    char fileName[kMovieFileNameSize];
    plat::HANDLE updateEvent;
    int32_t updatePending;
    GraphImage frameImage;  // the current frame in memory, in the frame surface's format
};

using MovieTable = HandleTable<MovieRecord, kMovieMax>;
MovieTable& GetMovieTable();

// The global setting copied into each movie at open (0 unless an engine user sets it).
int32_t& MovieAlphaInFrameSetting();

// A movie handle, or -1 (no free slot, no memory, a name of 260 bytes or more, or a failed
// open, each logged). The frame size goes to width (halved with the setting) and height.
int OpenMovieToGraph(const char* fileName, int* width, int* height, int mode);
int OpenMovieStream(MovieRecord* movie, int mode);
// The graph's movie: everything it holds is released and a temporary copy deleted. 0 for a
// graph without a movie; -1 for a bad graph or movie handle.
int CloseMovie(int graph);
// The same for a movie that no graph holds yet.
int CloseMovieHandle(int movie);
MovieRecord* GetMovieRecord(int movie);
// Brings the graph's pixels up to the movie's current frame. force: take a frame now, whether
// playing or not.
int UpdateMovieFrame(int graph, int force);
int PlayGraphMovie(int graph);
int StopGraphMovie(int graph);
// PlayAllGraphMovies, StopAllGraphMovies and ReleaseAllMovieObjects: engine/graphics/
// graphics_core.h. After the display is rebuilt: every released movie opened again at the time
// it had reached, running again when it was playing. -1 at the first that fails.
int ReopenAllMovies();

}  // namespace tessra
