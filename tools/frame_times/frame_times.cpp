// A preload library that times every picture a program shows through SDL: it stands in front of
// SDL_RenderPresent and SDL_UpdateWindowSurface(Rects), calls SDL's own, and writes one line per
// call to the file that FRAME_TIMES_OUT names:
//
//     <monotonic ns when the call returned> <ns the call took> <R|S>
//
// (R: a renderer's present, S: a window surface update). The program itself is not changed;
// scripts/measure-fps reads the lines.
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

int g_fd = -2;  // -2 until opened, -1 when there is nowhere to write

int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

// One write per line, so that a run ended by a signal keeps every line before it.
void Note(int64_t start, char kind) {
    const int64_t end = NowNs();
    if (g_fd == -2) {
        const char* path = std::getenv("FRAME_TIMES_OUT");
        g_fd = path != nullptr && *path != '\0'
                   ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644)
                   : -1;
    }
    if (g_fd < 0) return;
    char line[64];
    const int n = std::snprintf(line, sizeof line, "%lld %lld %c\n", static_cast<long long>(end),
                                static_cast<long long>(end - start), kind);
    if (n > 0 && write(g_fd, line, static_cast<size_t>(n)) < 0) g_fd = -1;
}

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

void SDL_RenderPresent(SDL_Renderer* renderer) {
    using Fn = void (*)(SDL_Renderer*);
    static const Fn real = Next<Fn>("SDL_RenderPresent");
    const int64_t start = NowNs();
    if (real != nullptr) real(renderer);
    Note(start, 'R');
}

int SDL_UpdateWindowSurface(SDL_Window* window) {
    using Fn = int (*)(SDL_Window*);
    static const Fn real = Next<Fn>("SDL_UpdateWindowSurface");
    const int64_t start = NowNs();
    const int result = real != nullptr ? real(window) : -1;
    Note(start, 'S');
    return result;
}

int SDL_UpdateWindowSurfaceRects(SDL_Window* window, const SDL_Rect* rects, int count) {
    using Fn = int (*)(SDL_Window*, const SDL_Rect*, int);
    static const Fn real = Next<Fn>("SDL_UpdateWindowSurfaceRects");
    const int64_t start = NowNs();
    const int result = real != nullptr ? real(window, rects, count) : -1;
    Note(start, 'S');
    return result;
}

}  // extern "C"
