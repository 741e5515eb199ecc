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

// "2026-12-07T07:18:29Z": whole seconds, UTC. Sub-second parts are dropped;
// a time outside years 1 to 9999 is written as the nearest one inside, and
// one that is not a number as 1970-01-01T00:00:00Z.
std::string isoDate(Date date);

// Accepts "Z" or a ±hh:mm offset and an optional fraction of a second;
// anything else (an impossible calendar date, or a time whose UTC form
// falls outside years 1 to 9999) is no value.
std::optional<Date> parseIsoDate(std::string_view text);

} // namespace kavelo
