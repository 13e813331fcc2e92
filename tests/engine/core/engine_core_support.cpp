#include "engine/core/engine_core_support.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/core/engine_system.h"
#include "engine/pending/pending_calls.h"
#include "platform/testing.h"

namespace tessra_test {

void EngineFixture::SetUp() {
    plat::testing::Reset();
    plat::testing::UsePrivateInstanceLockKey();
    // The game's settings outlive start-up and shut-down by design; a test begins from the
    // zeroed settings a fresh process has, not from what an earlier test in this process set.
    tessra::GetSystemStateBlock()->settings = tessra::EngineSettings{};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    // The process id keeps runs of the suite from other checkouts on this machine apart.
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("engine_core_" + name + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    tessra::TakePendingCalls();
    tessra::ClearPendingResults();
    SetLogEnabled(1);
}

void EngineFixture::TearDown() {
    // The instance key is this process's own, so its lock file is of no use to anyone after.
    unlink(plat::testing::InstanceLockPath("D123987X").c_str());
    if (chdir(::testing::TempDir().c_str()) == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

std::string EngineFixture::ReadLog() const {
    std::ifstream in(dir_ / "Log.txt", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds bound) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace tessra_test
