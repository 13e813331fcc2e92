#include "engine/base/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "engine/base/memory.h"
#include "engine/base/strings.h"
#include "platform/win/debug_output.h"
#include "platform/win/time.h"

namespace tessra {
namespace {

LogState g_log = {0, 0, 0, 0, 0, 0, "Log.txt", "", 0};
// Any thread may log (a refused lock leave logs from a thread without the engine lock), so the
// log keeps a lock of its own around each write and each change of its state.
std::mutex g_logMutex;

// Texts up to this length are converted on the stack.
constexpr size_t kShortText = 255;

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The log file's full path; false when it does not fit.
bool LogFilePath(char* path, size_t size) {
    const int n = std::snprintf(path, size, "%s/%s", g_log.startDir, g_log.fileName);
    return n >= 0 && static_cast<size_t>(n) < size;
}

// Copies `text` (length `len`) into `out`, writing each bare LF as CR LF. Once an LF already
// preceded by CR turns up, the rest is copied as it stands. `out` holds 2 * len + 1 bytes.
size_t ConvertLineEnds(const char* text, size_t len, char* out) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    size_t in = 0;
    size_t o = 0;
    const char* lf = FindStringChar(text, '\n');
    while (lf != nullptr) {
        const size_t at = static_cast<size_t>(lf - text);
        std::memcpy(out + o, text + in, at - in);
        o += at - in;
        if (at > 0 && s[at - 1] == '\r') {
            in = at;
            break;
        }
        out[o++] = '\r';
        out[o++] = '\n';
        in = at + 1;
        lf = FindStringChar(text + in, '\n');
    }
    std::memcpy(out + o, text + in, len - in);
    o += len - in;
    out[o] = '\0';
    return o;
}

void WriteTabs(int fd, int32_t count) {
    char tabs[256];
    std::memset(tabs, '\t', sizeof(tabs) - 1);
    while (count > 0) {
        const int32_t n = count < 255 ? count : 255;
        tabs[n] = '\0';
        WriteAll(fd, tabs, static_cast<size_t>(n));
        plat::OutputDebugStringA(tabs);
        tabs[n] = '\t';
        count -= n;
    }
}

void WriteConverted(const char* converted, size_t size) {
    if (g_log.userWindow) {
        plat::OutputDebugStringA(converted);
        return;
    }
    if (g_log.logOff || g_log.startDir[0] == '\0') return;

    char path[kLogStartDirSize + kLogFileNameSize + 2];
    if (!LogFilePath(path, sizeof(path))) return;
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;

    if (g_log.continuation == 0) {
        if (g_log.noTimeStamp == 0) {
            char stamp[16];
            const int n = std::snprintf(stamp, sizeof(stamp),
                                        "%d:", static_cast<int>(GetLogClockMs() - g_log.startTime));
            WriteAll(fd, stamp, static_cast<size_t>(n));
        }
        if (g_log.indentLevel > 0) WriteTabs(fd, g_log.indentLevel);
    }
    WriteAll(fd, converted, size);
    plat::OutputDebugStringA(converted);
    g_log.continuation = converted[size - 1] != '\n' ? 1 : 0;
    ::close(fd);
}

// Length of the longest prefix of text[0..len) that ends on a character boundary.
size_t WholeCharacters(const char* text, size_t len) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < len) {
        const size_t charLen = IsSjisLeadByte(s[i]) ? 2 : 1;
        if (i + charLen > len) break;
        i += charLen;
    }
    return i;
}

}  // namespace

LogState& GetLogState() {
    return g_log;
}

int SetLogStartDirectory(const char* dir) {
    std::lock_guard<std::mutex> g(g_logMutex);
    if (dir == nullptr) dir = "";
    const size_t len = std::strlen(dir);
    if (len >= sizeof(g_log.startDir)) return -1;
    std::memcpy(g_log.startDir, dir, len + 1);
    return 0;
}

int SetLogEnabledBody(int flag) {
    std::lock_guard<std::mutex> g(g_logMutex);
    g_log.logOff = flag == 0 ? 1 : 0;
    return 0;
}

uint32_t GetLogClockMs() {
    return plat::timeGetTime();
}

int InitLogFile() {
    std::lock_guard<std::mutex> g(g_logMutex);
    if (g_log.logOff || g_log.userWindow) return 1;

    if (g_log.dateStampedName) {
        plat::SYSTEMTIME t{};
        plat::GetLocalTime(&t);
        std::snprintf(g_log.fileName, sizeof(g_log.fileName), "Log%d_%d_%d_%d_%d_%d.txt", t.wYear,
                      t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    } else {
        std::snprintf(g_log.fileName, sizeof(g_log.fileName), "Log.txt");
    }

    char path[kLogStartDirSize + kLogFileNameSize + 2];
    if (g_log.startDir[0] != '\0' && LogFilePath(path, sizeof(path))) {
        ::unlink(path);
        const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) ::close(fd);
    }

    g_log.indentLevel = 0;
    g_log.continuation = 0;
    g_log.startTime = GetLogClockMs();
    return 1;
}

int AppendLog(const char* text) {
    if (text == nullptr) return -1;
    const size_t len = std::strlen(text);
    // An empty text has no last byte to decide the continuation by; it writes nothing.
    if (len == 0) return -1;

    // Every LF may become CR LF, so the converted text can be twice as long.
    char shortBuffer[2 * kShortText + 1];
    char* buffer = shortBuffer;
    bool fromHeap = false;
    if (len > kShortText) {
        buffer = static_cast<char*>(AllocTagged(2 * len + 1, nullptr, -1));
        if (buffer == nullptr) return -1;
        fromHeap = true;
    }
    const size_t size = ConvertLineEnds(text, len, buffer);
    {
        std::lock_guard<std::mutex> g(g_logMutex);
        WriteConverted(buffer, size);
    }
    if (fromHeap) FreeTagged(buffer);
    return -1;
}

void FormatTextV(char* buffer, size_t size, const char* format, va_list args) {
    if (size == 0) return;
    const int n = std::vsnprintf(buffer, size, format, args);
    if (n < 0) {
        buffer[0] = '\0';
        return;
    }
    if (static_cast<size_t>(n) >= size) {
        // Cut: drop a lead byte that lost its trail byte.
        buffer[WholeCharacters(buffer, size - 1)] = '\0';
    }
}

int FormatText(char* buffer, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatTextV(buffer, size, format, args);
    va_end(args);
    return 0;
}

int AppendLogFormat(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    // Room is kept for the line end.
    FormatTextV(text, sizeof(text) - 1, format, args);
    va_end(args);
    const size_t len = std::strlen(text);
    text[len] = '\n';
    text[len + 1] = '\0';
    return AppendLog(text);
}

int IncreaseLogIndent() {
    std::lock_guard<std::mutex> g(g_logMutex);
    ++g_log.indentLevel;
    return 0;
}

int DecreaseLogIndent() {
    std::lock_guard<std::mutex> g(g_logMutex);
    if (g_log.indentLevel > 0) --g_log.indentLevel;
    return 0;
}

}  // namespace tessra
