// The state a program starts with (the lists built before the first reset, the generators at
// their seeds) is nothing a test can reset to. Checks of it run in a new run of the test binary
// that does nothing before them, so they hold however many tests ran before in this process.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace velmora {

// Reports a mismatch on standard error, which the failing expectation shows.
inline bool SameAtStart(const char* what, int64_t got, int64_t want) {
    if (got != want)
        std::fprintf(stderr, "%s: got %lld, want %lld\n", what, static_cast<long long>(got),
                     static_cast<long long>(want));
    return got == want;
}

// Runs check (returning true when all is well) in a fresh process: the "threadsafe" style runs
// the binary again for this one test instead of forking the present state.
template <typename Check>
void ExpectAtProgramStart(Check check) {
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(check() ? 0 : 1), ::testing::ExitedWithCode(0), "");
    GTEST_FLAG_SET(death_test_style, style);
}

}  // namespace velmora
