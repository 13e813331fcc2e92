// The engine log: "Log.txt" in the start directory, one stamped and indented line per text,
// and the same text (without the stamp) to the debugger output.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace tessra {

inline constexpr size_t kLogStartDirSize = 4096;
inline constexpr size_t kLogFileNameSize = 64;

// Kept apart from the engine's system state so that start-up's reset leaves it alone.
struct LogState {
    int32_t indentLevel;      // TABs at the start of each new line
    int32_t continuation;     // 1: the last text had no final line feed
    int32_t noTimeStamp;      // 1: leave out the "%d:" stamp
    int32_t logOff;           // 1: write nothing
    int32_t dateStampedName;  // 1: name the file after the local date and time
    int32_t userWindow;       // 1: the engine runs on the program's own window; debugger only
    char fileName[kLogFileNameSize];
    char startDir[kLogStartDirSize];  // empty: none noted, so no file is written
    uint32_t startTime;               // milliseconds at InitLogFile
};

LogState& GetLogState();

// The directory the log file lies in. The engine notes it at start-up; tests point it at
// their own directory. Null or "" forgets it. -1 when the path is too long.
int SetLogStartDirectory(const char* dir);

// Stores the inverse of the flag as the log-off switch; 0.
int SetLogEnabledBody(int flag);

// Re-creates the log file empty and restarts the stamp clock; 1.
int InitLogFile();

// Appends a text (Shift-JIS, kept as given; a bare LF becomes CR LF). Always -1, so that a
// failure path can log and fail in one step.
int AppendLog(const char* text);

// printf-style, with "\n" appended; -1 as AppendLog. Over-long results are cut to fit.
int AppendLogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

int IncreaseLogIndent();
int DecreaseLogIndent();

// vsnprintf into a buffer of `size` bytes, never past it; the text is cut at a character
// boundary (a Shift-JIS lead byte is never left without its trail byte).
void FormatTextV(char* buffer, size_t size, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));
int FormatText(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Milliseconds of the clock that stamps log lines.
uint32_t GetLogClockMs();

}  // namespace tessra
