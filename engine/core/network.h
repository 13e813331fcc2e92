// The socket and HTTP layer as the engine core drives it: cleared at start-up, stepped by the
// message pump, torn down at shut-down. This program never starts it.
#pragma once

#include "platform/win/types.h"

namespace tessra {

int ClearHttpTransferTable();  // start-up: no transfers
int DeleteAllHttpTransfers();
int TerminateNetwork();
int PumpNetworkMessages(int flag);
int StepAllHttpTransfers();
// The socket message (0x505) of the main window: event in the long parameter, socket in the
// word parameter.
plat::LRESULT HandleSocketEvent(plat::WPARAM socket, plat::LPARAM event);

}  // namespace tessra
