#include "engine/base/fatal.h"

#include <atomic>

#include "engine/base/log.h"
#include "platform/win/process.h"

namespace tessra {
namespace {

void DefaultFatal(const char* text) {
    AppendLog(text);
    AppendLog("\n");
    plat::ExitProcess(static_cast<plat::UINT>(-1));
}

std::atomic<FatalErrorHandler> g_handler{nullptr};

}  // namespace

void SetFatalErrorHandler(FatalErrorHandler handler) {
    g_handler.store(handler);
}

void RaiseFatalError(const char* text) {
    FatalErrorHandler handler = g_handler.load();
    (handler != nullptr ? handler : DefaultFatal)(text);
    plat::ExitProcess(static_cast<plat::UINT>(-1));
}

}  // namespace tessra
