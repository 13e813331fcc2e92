#include "engine/base/message_pump_hook.h"

#include <atomic>

namespace tessra {
namespace {

std::atomic<MessagePumpHandler> g_pump{nullptr};

}  // namespace

void SetMessagePumpHandler(MessagePumpHandler handler) {
    g_pump.store(handler);
}

int RunMessagePumpPass() {
    const MessagePumpHandler pump = g_pump.load();
    return pump != nullptr ? pump() : 0;
}

}  // namespace tessra
