#include "platform/win/debug_output.h"

#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace plat {
namespace {

std::mutex g_mutex;
bool g_capturing = false;
std::string g_captured;

bool StderrWanted() {
    const char* value = std::getenv(kDebugOutputEnvVar);
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

// The texts are Shift-JIS; a terminal on this system reads UTF-8. Text that does not convert
// is written as it is.
void WriteToStderr(const char* text) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd != reinterpret_cast<iconv_t>(-1)) {
        size_t inLeft = std::strlen(text);
        std::string out(inLeft * 3 + 1, '\0');
        char* in = const_cast<char*>(text);
        char* o = out.data();
        size_t outLeft = out.size();
        const bool ok =
            iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
        iconv_close(cd);
        if (ok) {
            std::fwrite(out.data(), 1, out.size() - outLeft, stderr);
            std::fflush(stderr);
            return;
        }
    }
    std::fputs(text, stderr);
    std::fflush(stderr);
}

}  // namespace

void OutputDebugStringA(const char* text) {
    if (text == nullptr) return;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_capturing) {
        g_captured += text;
        return;
    }
    if (StderrWanted()) WriteToStderr(text);
}

void BeginDebugOutputCapture() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_capturing = true;
    g_captured.clear();
}

std::string EndDebugOutputCapture() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_capturing = false;
    std::string out;
    out.swap(g_captured);
    return out;
}

}  // namespace plat
