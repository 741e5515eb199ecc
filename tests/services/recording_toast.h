#pragma once

// A toast that keeps every message it is asked to show, for the tests of
// whatever tells the user something.

#include "app/services/toast.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kavelo::testing {

struct RecordingToast : Toast {
    void show(std::string text, std::string icon) override { shown.emplace_back(std::move(text), std::move(icon)); }
    // An offer is shown too; the last one's click is kept for the test.
    void offer(std::string text, std::string icon, std::function<void()> clicked) override
    {
        show(std::move(text), std::move(icon));
        click = std::move(clicked);
    }
    std::vector<std::pair<std::string, std::string>> shown;
    std::function<void()> click;
    std::string last() const { return shown.empty() ? std::string() : shown.back().first; }
};

} // namespace kavelo::testing
