// The process: starting another program, ending this one, the module handle, libraries.
#pragma once

#include "platform/win/types.h"

namespace plat {

// Runs a program without waiting for it. The command line is the program's name (quoted when it
// holds spaces) and its arguments. A relative name is looked for in the running program's
// directory, then the current directory; a name ending in ".exe" that does not exist is tried
// without it. Returns a value above 31 on success, ERROR_FILE_NOT_FOUND when the program was
// not found, 0 when it could not be started.
constexpr UINT ERROR_FILE_NOT_FOUND = 2;
UINT WinExec(const char* commandLine, UINT showCommand);

// Ends the process at once with the exit code.
[[noreturn]] void ExitProcess(UINT exitCode);

// The running program's module handle for a 0 name; 0 for other names.
HMODULE GetModuleHandleA(const char* name);

// Shared libraries by file name; exported functions by name.
HMODULE LoadLibraryA(const char* fileName);
void* GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);

}  // namespace plat
