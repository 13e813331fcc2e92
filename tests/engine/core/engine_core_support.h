// Shared set-up of the engine-core tests that start the engine: a directory of the test's own
// (the log file lands there), a private instance key, the log on and a clean call record.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "engine/tessra.h"

namespace tessra_test {

class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string ReadLog() const;
    std::filesystem::path dir_;
};

// Polls until the condition holds; the bound only keeps a fault from hanging the run.
bool WaitFor(const std::function<bool()>& cond,
             std::chrono::milliseconds bound = std::chrono::milliseconds(5000));

}  // namespace tessra_test
