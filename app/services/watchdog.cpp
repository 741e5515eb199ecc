#include "app/services/watchdog.h"

#include "core/json.h"

#include <fstream>
#include <string>

namespace kavelo {

Watchdog::Files Watchdog::Files::from(const Paths& paths)
{
    return Files{.support = paths.applicationSupport,
                 .running = paths.applicationSupport / "running",
                 .launches = paths.applicationSupport / "launches.json",
                 .logFile = paths.logs / "engine.log"};
}

Watchdog::Watchdog(const Paths& paths, Clock& clock, ProcessLauncher& launcher, OwnProcess process)
    : files_(Files::from(paths)), clock_(clock), launcher_(launcher), process_(std::move(process))
{
}

void Watchdog::log(std::string_view message)
{
    std::string line = isoDate(clock_.now());
    line += ' ';
    for (char c : message)
        line += c == '\n' || c == '\r' ? ' ' : c;
    line += '\n';
    std::error_code ec;
    std::filesystem::create_directories(files_.logFile.parent_path(), ec);
    std::ofstream out(files_.logFile, std::ios::binary | std::ios::app);
    out << line;
}

std::vector<double> Watchdog::recentLaunches() const
{
    const std::optional<std::string> text = readFile(files_.launches);
    const std::optional<Json> parsed = text ? json::parse(*text) : std::nullopt;
    if (!parsed)
        return {};
    return json::decode([&] {
               std::vector<double> times;
               for (const Json& t : json::array(*parsed))
                   times.push_back(json::number(t));
               return times;
           })
        .value_or(std::vector<double>{});
}

void Watchdog::start()
{
    std::error_code ec;
    std::filesystem::create_directories(files_.support, ec);
    const bool unclean = std::filesystem::exists(files_.running, ec);
    log(unclean ? "started after an unexpected exit" : "started");
    { std::ofstream marker(files_.running, std::ios::binary | std::ios::trunc); }

    const double now = epochSeconds(clock_.now());
    std::vector<double> kept;
    for (double t : recentLaunches())
        // A time after now (a clock set back, a hand-edited file) would count for ever.
        if (t <= now && now - t < window)
            kept.push_back(t);
    if (unclean)
        kept.push_back(now);
    (void)writeFileAtomically(files_.launches, Json(kept).dump());

    if (kept.size() > maxRestarts) {
        log("restarting too often, so the watchdog stays off");
        return;
    }
    if (process_.executable.empty())
        return;
    (void)launcher_.launch(shell, {"-c", watcherScript, watcherName, std::to_string(process_.pid),
                                   files_.running.string(), process_.executable});
}

void Watchdog::markCleanExit()
{
    std::error_code ec;
    std::filesystem::remove(files_.running, ec);
    log("quit");
}

} // namespace kavelo
