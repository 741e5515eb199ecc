#pragma once

// A fresh home folder per test, with HOME and the XDG variables pointing
// into it; the old environment comes back when the test ends.

#include "app/platform/paths.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>

namespace kavelo::test {

class TempHome {
public:
    TempHome()
    {
        std::random_device seed;
        const auto base = std::filesystem::temp_directory_path();
        do {
            root_ = base / ("kavelo-home-" + std::to_string(seed()));
        } while (std::filesystem::exists(root_));
        std::filesystem::create_directories(root_);
        point("HOME", root_);
        point("XDG_DATA_HOME", root_ / "data");
        point("XDG_STATE_HOME", root_ / "state");
        point("XDG_CONFIG_HOME", root_ / "config");
    }
    ~TempHome()
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& root() const { return root_; }
    Paths paths() const { return Paths::current(); }

private:
    void point(const std::string& name, const std::filesystem::path& to)
    {
        const char* old = std::getenv(name.c_str());
        saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        ::setenv(name.c_str(), to.c_str(), 1);
    }

    std::filesystem::path root_;
    std::map<std::string, std::optional<std::string>> saved_;
};

} // namespace kavelo::test
