// Recording stand-ins for bodies whose subsystems are not built yet. Each stand-in notes its
// call here and returns the result a test chose (or its usual success value), so tests of the
// engine core can see what start-up, the pump and the public layer call, and in which order.
// A subsystem that lands deletes its stand-in file (engine/pending/pending_<subsystem>.cpp)
// and stops recording.
#pragma once

#include <string>
#include <vector>

namespace tessra {

// Notes one call by its body's name. Thread-safe.
void RecordPendingCall(const char* name);
// The calls noted so far, oldest first; Take also forgets them.
std::vector<std::string> PeekPendingCalls();
std::vector<std::string> TakePendingCalls();
// How many times `name` was called since the last Take.
int CountPendingCalls(const char* name);

// The result the stand-in `name` gives from now on (until ClearPendingResults).
void SetPendingResult(const char* name, long long result);
void ClearPendingResults();
// Called with each name as it is noted, outside the record's lock, so a test can look at other
// state at that moment; null for none.
using PendingCallObserver = void (*)(const char* name);
void SetPendingCallObserver(PendingCallObserver observer);

// Records the call and gives the chosen result, or `fallback` when none was chosen.
long long PendingCall(const char* name, long long fallback);

}  // namespace tessra
