// A log pointed at a directory of the test's own, and read back.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/base/log.h"

namespace tessra {

class LogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // The process id keeps runs of the same test from other checkouts on this machine apart.
        dir_ = ::testing::TempDir() + info->test_suite_name() + "_" + info->name() + "_" +
               std::to_string(::getpid());
        ::mkdir(dir_.c_str(), 0755);
        LogState& log = GetLogState();
        log.noTimeStamp = 0;
        log.dateStampedName = 0;
        log.userWindow = 0;
        ASSERT_EQ(SetLogStartDirectory(dir_.c_str()), 0);
        SetLogEnabledBody(1);
        InitLogFile();
    }
    void TearDown() override {
        SetLogStartDirectory(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string LogPath() const { return dir_ + "/Log.txt"; }
    std::string ReadLog() const {
        std::ifstream in(LogPath(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    bool LogExists() const {
        struct stat st;
        return ::stat(LogPath().c_str(), &st) == 0;
    }

    std::string dir_;
};

}  // namespace tessra
