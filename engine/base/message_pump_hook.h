// One pass of the engine's message pump for the subsystems below the engine core (a sound played
// to its end pumps while it waits): the core owns the pump and installs it here.
#pragma once

namespace tessra {

using MessagePumpHandler = int (*)();

// Installs the pump (null: none).
void SetMessagePumpHandler(MessagePumpHandler handler);
// One pass of the installed pump: 0, or -1 once the program is quitting; 0 when none is
// installed (no window to pump).
int RunMessagePumpPass();

}  // namespace tessra
