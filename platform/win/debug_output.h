// The debugger-output sink. On this system there is no debugger to listen, so the text goes
// to standard error only when the environment variable below asks for it, and a test can
// collect it instead.
#pragma once

#include <string>

namespace plat {

// Set to anything but "" or "0" to see the debugger output on standard error.
inline constexpr const char kDebugOutputEnvVar[] = "TESSRA_DEBUG_OUTPUT";

// Sends a zero-terminated Shift-JIS text to the debugger output (shown as UTF-8 on standard
// error). Null is ignored.
void OutputDebugStringA(const char* text);

// From now on everything sent is collected (and not written to standard error) until
// EndDebugOutputCapture, which returns what was collected.
void BeginDebugOutputCapture();
std::string EndDebugOutputCapture();

}  // namespace plat
