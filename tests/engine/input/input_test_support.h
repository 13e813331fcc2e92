// Shared set-up of the input tests: the engine started windowed on the dummy drivers, a fake
// clock, and steps that let the main thread take the injected SDL events.
#pragma once

#include <SDL.h>

#include <ostream>
#include <string>

#include "engine/core/engine_core_support.h"
#include "engine/core/engine_lock.h"
#include "engine/input/input_state.h"
#include "engine/tessra.h"
#include "platform/testing.h"

namespace input_test {

class InputFixture : public tessra_test::EngineFixture {
protected:
    void SetUp() override;
    void TearDown() override;
    // Starts the engine in a window; without DirectInput when asked.
    void Start(bool withoutDirectInput = false);
    // One pump pass (the main thread takes SDL's events), then one tick of the clock.
    void Settle();
    void Press(int sdlScancode);
    void Lift(int sdlScancode);
    // Runs an engine-internal call under the engine lock, as the public layer and the message
    // thread do, so the message thread's pump passes never meet it halfway.
    template <typename F>
    static auto Locked(F f) {
        tessra::EnterEngineLock();
        auto result = f();
        tessra::LeaveEngineLock();
        return result;
    }
    // How many times `text` (UTF-8, compared in Shift-JIS, \n as the log's CR LF) stands in
    // the log.
    int CountInLog(const std::string& utf8Text) const;
};

// Both kinds of start, for tests that run in each mode.
enum class Mode { kDirectInput, kWithoutDirectInput };
std::string ModeName(Mode mode);
inline void PrintTo(Mode mode, std::ostream* os) {
    *os << ModeName(mode);
}

}  // namespace input_test
