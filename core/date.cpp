#include "core/date.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kavelo {

using namespace std::chrono;

namespace {

// 0001-01-01T00:00:00Z and the first second after 9999-12-31T23:59:59Z.
constexpr double firstSecond = -62135596800.0;
constexpr double endSecond = 253402300800.0;

} // namespace

std::string isoDate(Date date)
{
    double s = epochSeconds(date);
    if (std::isnan(s))
        return "1970-01-01T00:00:00Z";
    // The text must parse again, so it stays within four-digit years.
    s = std::clamp(std::floor(s), firstSecond, endSecond - 1);
    const auto whole = sys_seconds(seconds(static_cast<long long>(s)));
    const auto day = floor<days>(whole);
    const year_month_day ymd(day);
    const hh_mm_ss hms(whole - day);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(ymd.year()), unsigned(ymd.month()),
                  unsigned(ymd.day()), int(hms.hours().count()), int(hms.minutes().count()),
                  int(hms.seconds().count()));
    return buf;
}

namespace {

bool digits(std::string_view t, size_t pos, size_t n, int& out)
{
    if (pos + n > t.size())
        return false;
    int v = 0;
    for (size_t i = pos; i < pos + n; ++i) {
        if (t[i] < '0' || t[i] > '9')
            return false;
        v = v * 10 + (t[i] - '0');
    }
    out = v;
    return true;
}

} // namespace

std::optional<Date> parseIsoDate(std::string_view t)
{
    int y, mo, d, h, mi, s;
    if (!digits(t, 0, 4, y) || t.size() < 20 || t[4] != '-' || !digits(t, 5, 2, mo) || t[7] != '-' ||
        !digits(t, 8, 2, d) || (t[10] != 'T' && t[10] != 't') || !digits(t, 11, 2, h) || t[13] != ':' ||
        !digits(t, 14, 2, mi) || t[16] != ':' || !digits(t, 17, 2, s))
        return std::nullopt;
    const year_month_day ymd{year(y), month(unsigned(mo)), day(unsigned(d))};
    if (!ymd.ok() || h > 23 || mi > 59 || s > 60)
        return std::nullopt;

    size_t pos = 19;
    double fraction = 0;
    if (pos < t.size() && t[pos] == '.') {
        ++pos;
        double scale = 0.1;
        const size_t start = pos;
        while (pos < t.size() && t[pos] >= '0' && t[pos] <= '9') {
            fraction += (t[pos] - '0') * scale;
            scale /= 10;
            ++pos;
        }
        if (pos == start)
            return std::nullopt;
    }

    int offset = 0;
    if (pos < t.size() && (t[pos] == 'Z' || t[pos] == 'z')) {
        ++pos;
    } else if (pos < t.size() && (t[pos] == '+' || t[pos] == '-')) {
        int oh, om;
        if (!digits(t, pos + 1, 2, oh) || pos + 3 >= t.size() || t[pos + 3] != ':' || !digits(t, pos + 4, 2, om) ||
            oh > 23 || om > 59)
            return std::nullopt;
        offset = (oh * 3600 + om * 60) * (t[pos] == '-' ? -1 : 1);
        pos += 6;
    } else {
        return std::nullopt;
    }
    if (pos != t.size())
        return std::nullopt;

    const auto base = sys_days(ymd).time_since_epoch();
    const double total = double(duration_cast<seconds>(base).count()) + h * 3600 + mi * 60 + s - offset + fraction;
    // An offset can carry a date past year 1 or 9999 in UTC, where it could not be written back.
    if (total < firstSecond || total >= endSecond)
        return std::nullopt;
    return dateFromEpochSeconds(total);
}

} // namespace kavelo
