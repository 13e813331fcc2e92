// movie_play [--headless] [--full] [--bits 16|32] [--frames N] FILE
// Opens the movie as a graph (as the graph loader opens any file that is no picture), plays it
// and draws it centred each frame, scaled down to fit when larger than the screen, until it ends
// (then half a second more) or the window is closed. The sound plays through the sound device.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/graphics/graph_table.h"
#include "engine/graphics/movie.h"
#include "engine/tessra.h"

int main(int argc, char** argv) {
    int windowed = 1, bits = 32, frames = -1;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            setenv("SDL_VIDEODRIVER", "dummy", 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
        } else if (std::strcmp(argv[i], "--full") == 0) {
            windowed = 0;
        } else if (std::strcmp(argv[i], "--bits") == 0 && i + 1 < argc) {
            bits = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::atoi(argv[++i]);
        } else if (argv[i][0] != '-' && file == nullptr) {
            file = argv[i];
        } else {
            file = nullptr;
            break;
        }
    }
    if (file == nullptr) {
        std::fprintf(stderr,
                     "usage: movie_play [--headless] [--full] [--bits 16|32] [--frames N] FILE\n");
        return 2;
    }
    ChangeWindowMode(windowed);
    SetScreenMode(640, 480, bits, -1);
    if (StartEngine() != 0) {
        std::fprintf(stderr, "movie_play: the engine did not start\n");
        return 1;
    }
    const int graph = LoadGraphFile(file);
    if (graph < 0) {
        std::fprintf(stderr, "movie_play: %s does not open as a movie (see Log.txt)\n", file);
        ShutdownEngine();
        return 1;
    }
    int w = 0, h = 0;
    tessra::QueryGraphExtent(graph, &w, &h);
    // Scaled down to fit, the aspect kept.
    const double scale = std::min({1.0, 640.0 / w, 480.0 / h});
    const int dw = static_cast<int>(w * scale), dh = static_cast<int>(h * scale);
    const int x = (640 - dw) / 2, y = (480 - dh) / 2;
    std::printf("movie_play: %s, %d x %d\n", file, w, h);
    tessra::PlayGraphMovie(graph);
    const tessra::MovieRecord* movie = tessra::GetMovieRecord(tessra::GetGraphRecord(graph)->movie);
    int shown = 0, afterEnd = 0;
    while (frames < 0 || shown < frames) {
        SetRenderTarget(-2);
        EraseDrawTarget();
        if (scale == 1.0) {
            PutGraph(x, y, graph, 0);
        } else {
            PutGraphStretched(x, y, x + dw, y + dh, graph, 0);
        }
        PresentFrame();
        ++shown;
        if (ProcessMessage() != 0) break;
        // Half a second on the last frame once the movie has ended.
        if (!movie->playing && ++afterEnd > 30) break;
    }
    std::printf("movie_play: presented %d frames\n", shown);
    ShutdownEngine();
    return 0;
}
