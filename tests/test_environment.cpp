// Every test binary runs headless, whether it is started by ctest, by `make test` or by hand:
// SDL's dummy drivers and this build's own temporary folder, unless the caller chose others.
#include <cstdlib>

namespace {

struct TestEnvironment {
    TestEnvironment() {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("TEST_TMPDIR", TESSRA_TEST_TMPDIR, 0);
    }
};

const TestEnvironment g_testEnvironment;

}  // namespace
