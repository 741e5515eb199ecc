#pragma once

// Tells when the entries of one folder change: made, removed, renamed or
// written, by this process or any other. A folder that does not exist yet
// is waited for from the nearest folder above it. Notices arrive on the main
// loop through a readable watch, so a folder that stands still costs
// nothing.

#include "app/platform/handle.h"
#include "app/platform/readable_watch.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace kavelo {

class FolderWatch {
public:
    // Whether a change to the entry of that name matters.
    using Matters = std::function<bool(std::string_view name)>;

    // `changed` runs once for each batch of notices holding a change that
    // matters, or the folder made, removed or replaced. Without a watch from
    // the system nothing runs.
    FolderWatch(std::filesystem::path folder, const ReadableWatch& watch, Matters matters,
                std::function<void()> changed);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

private:
    // Watches the folder, else the nearest folder above it that exists;
    // whether the folder itself is watched now.
    bool arm();
    void read();

    std::filesystem::path folder_;
    Matters matters_;
    std::function<void()> changed_;
    int notices_ = -1;
    int watched_ = -1;
    bool onFolder_ = false;
    // While a folder above is watched: its entry on the way down.
    std::string next_;
    Handle readable_;
};

} // namespace kavelo
