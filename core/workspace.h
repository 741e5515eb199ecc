#pragma once

// A saved workflow: the windows of the desktop with their frames, the browser
// tabs, the monitor setup it was taken on and the switches for restoring it.

#include "core/date.h"
#include "core/geometry.h"
#include "core/json.h"
#include "core/tidy_layout.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

using OrderedJson = nlohmann::ordered_json;

// One window of a workflow; `frame` is in the top-left-origin global space.
struct SavedWindow {
    std::string bundleID;
    std::string title;
    Rect frame;

    friend bool operator==(const SavedWindow&, const SavedWindow&) = default;
};

struct Workspace {
    std::string name;
    // Display-set fingerprint of the monitor setup it was saved on.
    std::string displays;
    std::vector<SavedWindow> windows;
    Date savedAt;
    // Browser bundle identifier → tab addresses.
    std::map<std::string, std::vector<std::string>> tabs;
    // Quick-switch number 1 to 9.
    std::optional<int> slot;
    bool hidesOtherApps = false;
    std::optional<TidyLayout> tidy;
    bool opensOnSetup = false;

    // Distinct bundle identifiers of `windows`, in order of first appearance.
    std::vector<std::string> apps() const;

    friend bool operator==(const Workspace&, const Workspace&) = default;
};

// The file form. Members are written in field order; "slot" and "tidy" only
// when present. Frames must be finite: JSON has no form for the others.
OrderedJson toJSON(const SavedWindow& window);
OrderedJson toJSON(const Workspace& workspace);

// Throwing readers in the style of the `json` helpers. "tabs", "slot",
// "hidesOtherApps", "tidy" and "opensOnSetup" may be missing.
namespace json {
SavedWindow savedWindow(const Json& j);
Workspace workspace(const Json& j);
} // namespace json

// The whole file as text, or no value for text that is not a workflow.
std::optional<Workspace> decodeWorkspace(std::string_view text) noexcept;

} // namespace kavelo
