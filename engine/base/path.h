// Path handling: full paths in drive form, built component by component with Shift-JIS in mind
// (a trail byte 0x5C is never a separator).
#pragma once

#include <climits>
#include <cstddef>

namespace tessra {

// Path buffers, terminator included: the platform's own limit, so a game installed deep in the
// tree keeps its start directory, its log and its archives.
constexpr size_t kFilePathMax = PATH_MAX;

// Builds the full path of path against base into out, in drive form. 0, or -1 for an empty
// component, a missing base or out, or when the result would not fit in outSize characters with
// its terminator.
int BuildFullPath(const char* path, char* out, const char* base, size_t outSize = kFilePathMax);

}  // namespace tessra
