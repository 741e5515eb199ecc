#pragma once

// What every test that starts the real `kavelo` prepares and asks: a runtime
// folder of its own, the settings it starts with, and whether it listens.

#include "services/temp_home.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace kavelo::test {

// A runtime folder only this user can enter, in `home`, named by
// XDG_RUNTIME_DIR for what starts from now on.
inline std::filesystem::path privateRuntime(const TempHome& home)
{
    const auto runtime = home.root() / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    return runtime;
}

// `json` as the settings the program finds at its start.
inline void writeDefaults(const TempHome& home, const std::string& json)
{
    const auto file = home.paths().userDefaults;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << json;
}

// Whether something accepts connections on the Unix socket at `path`.
inline bool listens(const std::filesystem::path& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return ok;
}

} // namespace kavelo::test
