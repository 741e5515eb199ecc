#pragma once

// A simulated desktop and a hand-driven scheduler, with HOME and the XDG
// folders pointed at a fresh temporary folder for each test.

#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kavelo::testing {

class InputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kavelo-input-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        home = pattern;
        ::setenv("HOME", home.c_str(), 1);
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"}) {
            const auto folder = home / name;
            std::filesystem::create_directories(folder);
            ::setenv(name, folder.c_str(), 1);
        }
        sim.attach(&scheduler);
    }

    void TearDown() override
    {
        sim.attach(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
    }

    std::filesystem::path home;
    ManualScheduler scheduler;
    SimDesktop sim;
};

} // namespace kavelo::testing
