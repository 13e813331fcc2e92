#include "engine/base/core_services.h"

#include "platform/win/time.h"

namespace tessra {
namespace {

CoreServiceTable g_core = {
    [] { return 0; },
    [] {},
    [] { return 0; },
    [] { return 1; },
    []() -> plat::HWND { return nullptr; },
    []() -> uint32_t { return 0; },
    []() -> uint64_t {
        plat::LARGE_INTEGER count{};
        plat::LARGE_INTEGER frequency{};
        if (!plat::QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return 0;
        plat::QueryPerformanceCounter(&count);
        const auto ticks = static_cast<uint64_t>(count.QuadPart);
        const auto rate = static_cast<uint64_t>(frequency.QuadPart);
        return ticks / rate * 1000000u + ticks % rate * 1000000u / rate;
    },
    [] { return 1; },
};

}  // namespace

void InstallCoreServices(const CoreServiceTable& table) {
    g_core = table;
}

const CoreServiceTable& Core() {
    return g_core;
}

}  // namespace tessra
