#include "platform/win/debug_output.h"

#include <string>

#include "platform/win/codepage.h"

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
    std::string utf8;
    if (TrySjisToUtf8(text, &utf8)) {
        std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    } else {
        std::fputs(text, stderr);
    }
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
