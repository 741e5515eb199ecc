#pragma once

// Wall-clock instants as the models store them: seconds since the Unix epoch
// in a double, so intervals like 75 s or 0.35 s are exact enough to compare.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace kavelo {

using Seconds = std::chrono::duration<double>;
using Date = std::chrono::time_point<std::chrono::system_clock, Seconds>;

constexpr Date dateFromEpochSeconds(double s) { return Date(Seconds(s)); }
constexpr double epochSeconds(Date d) { return d.time_since_epoch().count(); }

// "2026-12-07T07:18:29Z": whole seconds, UTC. Sub-second parts are dropped.
std::string isoDate(Date date);

// Accepts "Z" or a ±hh:mm offset and an optional fraction of a second;
// anything else (or an impossible calendar date) is no value.
std::optional<Date> parseIsoDate(std::string_view text);

} // namespace kavelo
