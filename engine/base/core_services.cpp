#include "engine/base/core_services.h"

namespace tessra {
namespace {

CoreServiceTable g_core = {
    [] { return 0; },
    [] {},
    [] { return 0; },
    [] { return 1; },
    []() -> plat::HWND { return nullptr; },
    []() -> uint32_t { return 0; },
};

}  // namespace

void InstallCoreServices(const CoreServiceTable& table) {
    g_core = table;
}

const CoreServiceTable& Core() {
    return g_core;
}

}  // namespace tessra
