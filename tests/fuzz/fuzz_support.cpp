#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/base/log.h"
#include "engine/base/memory.h"

namespace fuzz {

namespace {
std::string g_workDirectory;
}

void InitOnce() {
    if (!g_workDirectory.empty()) return;
    tessra::SetLogEnabledBody(0);
    tessra::SetLogStartDirectory(nullptr);
    const char* base = std::getenv("TMPDIR");
    std::string dir =
        std::string(base && *base ? base : "/tmp") + "/tessra-fuzz-" + std::to_string(getpid());
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error || chdir(dir.c_str()) != 0) Fail("no work directory");
    g_workDirectory = dir;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(g_workDirectory, ignored);
    });
}

const char* WorkDirectory() {
    return g_workDirectory.c_str();
}

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz finding: %s\n", what);
    std::abort();
}

TrackedBlocks::TrackedBlocks() : before_(tessra::GetAllocStats().count) {}

void TrackedBlocks::Check(const char* what) const {
    if (tessra::GetAllocStats().count != before_) Fail(what);
}

uint32_t Touch(const void* data, size_t size) {
    const auto* p = static_cast<const volatile uint8_t*>(data);
    uint32_t sum = 0;
    for (size_t i = 0; i < size; ++i) sum = sum * 31 + p[i];
    return sum;
}

}  // namespace fuzz
