#include "platform/dshow/av_library.h"

#include <dlfcn.h>

#include <cstdio>

namespace plat::detail {
namespace {

// The libraries by the names this build was made against (their major versions).
constexpr const char* kAvLibraries[] = {
    "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
    "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
    "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
    "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR),
    "libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
};
constexpr int kAvLibraryCount = sizeof kAvLibraries / sizeof kAvLibraries[0];

const AvFunctions* Load() {
    static AvFunctions functions;
    void* handles[kAvLibraryCount] = {};
    for (int i = 0; i < kAvLibraryCount; ++i) {
        // Kept loaded for the rest of the run: their decoders may still be referenced.
        handles[i] = dlopen(kAvLibraries[i], RTLD_NOW | RTLD_LOCAL);
        if (handles[i] == nullptr) {
            std::fprintf(stderr, "movies: %s could not be loaded (%s); no movie will play\n",
                         kAvLibraries[i], dlerror());
            return nullptr;
        }
    }
#define TESSRA_AV_LOOK_UP(library, name)                                                          \
    functions.name = reinterpret_cast<decltype(functions.name)>(dlsym(handles[library], #name));  \
    if (functions.name == nullptr) {                                                              \
        std::fprintf(stderr, "movies: %s has no %s; no movie will play\n", kAvLibraries[library], \
                     #name);                                                                      \
        return nullptr;                                                                           \
    }
    TESSRA_AV_FUNCTIONS(TESSRA_AV_LOOK_UP)
#undef TESSRA_AV_LOOK_UP
    return &functions;
}

}  // namespace

const AvFunctions* LoadAvFunctions() {
    static const AvFunctions* const loaded = Load();
    return loaded;
}

}  // namespace plat::detail
