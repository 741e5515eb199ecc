#include "support/seen.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>

namespace kavelo::test {

namespace {

struct Stat {
    pid_t pid = 0;
    std::string name;
    char state = 0;
    pid_t group = 0;
    double processorSeconds = 0;
};

std::optional<Stat> statOf(const std::filesystem::path& folder)
{
    std::ifstream in(folder / "stat");
    std::string text;
    if (!std::getline(in, text))
        return std::nullopt;
    // pid (comm) state ppid pgrp session tty tpgid flags minflt cminflt
    // majflt cmajflt utime stime ...; the name may hold spaces.
    const auto open = text.find('('), close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return std::nullopt;
    Stat s;
    s.pid = pid_t(std::atoi(text.c_str()));
    s.name = text.substr(open + 1, close - open - 1);
    std::istringstream rest(text.substr(close + 1));
    long parent = 0, group = 0, skip = 0;
    unsigned long long user = 0, system = 0;
    rest >> s.state >> parent >> group;
    for (int i = 0; i < 8; ++i)
        rest >> skip;
    rest >> user >> system;
    s.group = pid_t(group);
    s.processorSeconds = double(user + system) / double(::sysconf(_SC_CLK_TCK));
    return s;
}

std::string seconds(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", value);
    return text;
}

} // namespace

std::string describeProcess(pid_t pid)
{
    if (pid <= 0)
        return "never started";
    const auto own = statOf("/proc/" + std::to_string(pid));
    if (!own)
        return "pid " + std::to_string(pid) + ": gone";
    std::string out = own->name + " (pid " + std::to_string(pid) + "): ";
    if (own->state == 'Z')
        return out + "exited, not reaped";
    out += own->state == 'R' ? "running" : own->state == 'T' ? "stopped" : "alive";
    // What it started, when it leads a group.
    int members = 0;
    double processor = 0;
    std::error_code ignored;
    if (own->group == pid)
        for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored))
            if (const auto s = statOf(entry.path()); s && s->group == pid && s->state != 'Z') {
                ++members;
                processor += s->processorSeconds;
            }
    if (members > 1)
        out += ", " + std::to_string(members) + " processes in its group";
    else
        processor = own->processorSeconds;
    return out + ", " + seconds(processor) + " of processor";
}

bool ended(pid_t pid)
{
    const auto s = statOf("/proc/" + std::to_string(pid));
    return !s || s->state == 'Z';
}

std::vector<std::pair<pid_t, std::vector<std::string>>> processesWith(const std::string& argument)
{
    std::vector<std::pair<pid_t, std::vector<std::string>>> out;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream in(entry.path() / "cmdline");
        std::vector<std::string> arguments;
        for (std::string one; std::getline(in, one, '\0');)
            arguments.push_back(one);
        if (std::find(arguments.begin(), arguments.end(), argument) != arguments.end())
            out.emplace_back(pid_t(std::stoi(name)), std::move(arguments));
    }
    return out;
}

std::string describeFile(const std::filesystem::path& path)
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status))
        return "absent";
    if (std::filesystem::is_directory(status))
        return "a directory";
    const auto size = std::filesystem::file_size(path, error);
    const auto written = std::filesystem::last_write_time(path, error);
    if (error)
        return "present";
    const double age =
        std::chrono::duration<double>(std::filesystem::file_time_type::clock::now() - written).count();
    return std::to_string(size) + " bytes, written " + seconds(age) + " ago";
}

std::string describeLoad()
{
    std::ifstream in("/proc/loadavg");
    double one = 0, five = 0, fifteen = 0;
    in >> one >> five >> fifteen;
    cpu_set_t set;
    CPU_ZERO(&set);
    const int cores = ::sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 0;
    char text[96];
    std::snprintf(text, sizeof text, "load %.1f %.1f %.1f on %d usable cores", one, five, fifteen, cores);
    return text;
}

} // namespace kavelo::test
