// Recording stand-ins for the socket and HTTP layer until that subsystem is built: each notes its
// call (engine/pending/pending_calls.h) and gives its usual success value or a test's chosen
// result.
#include "engine/core/network.h"
#include "engine/pending/pending_calls.h"

namespace tessra {

int ClearHttpTransferTable() {
    return static_cast<int>(PendingCall("ClearHttpTransferTable", 0));
}

int DeleteAllHttpTransfers() {
    return static_cast<int>(PendingCall("DeleteAllHttpTransfers", 0));
}

int TerminateNetwork() {
    return static_cast<int>(PendingCall("TerminateNetwork", 0));
}

int PumpNetworkMessages(int) {
    return static_cast<int>(PendingCall("PumpNetworkMessages", 0));
}

int StepAllHttpTransfers() {
    return static_cast<int>(PendingCall("StepAllHttpTransfers", 0));
}

plat::LRESULT HandleSocketEvent(plat::WPARAM, plat::LPARAM) {
    return static_cast<plat::LRESULT>(PendingCall("HandleSocketEvent", 0));
}

}  // namespace tessra
