// The fatal path for the engine's subsystems: they sit below the engine core, which owns the
// shut-down that a fatal error runs, so the core installs its handler here at start.
#pragma once

namespace tessra {

using FatalErrorHandler = void (*)(const char* text);

// Installs the handler (null: the default, which logs the text and ends the process with -1).
void SetFatalErrorHandler(FatalErrorHandler handler);
// Calls the handler with the Shift-JIS text; never returns (a handler that returns ends the
// process).
[[noreturn]] void RaiseFatalError(const char* text);

}  // namespace tessra
