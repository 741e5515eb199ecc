#pragma once

// The saved form of a strip, from which strips are rebuilt after a restart.
// Window identities change when applications restart, so a saved window is
// matched to a live one by identity first, then by application and title.

#include "core/json.h"
#include "core/strip.h"

#include <optional>
#include <string>
#include <vector>

namespace kavelo {

// One saved window; also the engine's description of a live window when a
// strip is rebuilt.
struct StripMemoryWindow {
    WindowID id = 0; // its identity when it was saved
    std::string bundleID;
    std::string title;
    std::optional<double> weight; // height weight in its column
    std::optional<double> height; // its height before the strip sized it

    Json toJson() const;
    static StripMemoryWindow read(const Json& j); // throws json::DecodeError
    friend bool operator==(const StripMemoryWindow&, const StripMemoryWindow&) = default;
};

struct StripMemory {
    using Window = StripMemoryWindow;

    struct Column {
        std::vector<Window> windows; // top to bottom
        double width = 0.5;
        bool tabbed = false;
        std::optional<Strip::Pin> pin;

        Json toJson() const;
        static Column read(const Json& j); // throws json::DecodeError
        friend bool operator==(const Column&, const Column&) = default;
    };

    std::vector<Column> columns; // left to right, pinned ones included

    Json toJson() const;
    static StripMemory read(const Json& j); // throws json::DecodeError
    static std::optional<StripMemory> fromJson(const Json& j) noexcept;
    friend bool operator==(const StripMemory&, const StripMemory&) = default;
};

} // namespace kavelo
