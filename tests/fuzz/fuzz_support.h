// Shared by the fuzz targets: a quiet engine state, and the checks every reader promises:
// a refused input leaves nothing allocated, an accepted one decodes within its stated size.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Once per process: no log file, temporary files under a directory of the process's own.
void InitOnce();

// The directory InitOnce made; the process's current directory too.
const char* WorkDirectory();

// Stops the run with a finding: libFuzzer saves the input that led here.
[[noreturn]] void Fail(const char* what);
inline void Require(bool condition, const char* what) {
    if (!condition) Fail(what);
}

// Counts the engine's tracked blocks at construction; Check() fails when the count differs.
class TrackedBlocks {
public:
    TrackedBlocks();
    void Check(const char* what) const;

private:
    int32_t before_;
};

// Reads every byte of a block, so that a short allocation shows under the address sanitizer
// right where the reader handed it out. Returns a sum the caller can ignore.
uint32_t Touch(const void* data, size_t size);

}  // namespace fuzz
