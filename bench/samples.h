#pragma once

// Median and worst of a benchmark's own measurements, in milliseconds, for
// the figures an iteration time cannot carry.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace kavelo::bench {

struct Samples {
    std::vector<double> values;
    void add(std::optional<double> v)
    {
        if (v)
            values.push_back(*v);
    }
    // Between two of the server's timestamps, when both were seen.
    void add(std::optional<std::uint32_t> from, std::optional<std::uint32_t> to)
    {
        if (from && to)
            values.push_back(double(*to - *from));
    }
    double median() const
    {
        if (values.empty())
            return -1;
        auto sorted = values;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
    double worst() const { return values.empty() ? -1 : *std::max_element(values.begin(), values.end()); }
};

} // namespace kavelo::bench
