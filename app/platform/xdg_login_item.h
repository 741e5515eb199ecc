#pragma once

// The login item of a Linux desktop session: an autostart entry
// ($XDG_CONFIG_HOME/autostart/kavelo.desktop) that starts the program's own
// executable. It counts as enabled while the entry exists, starts this
// executable, and is neither hidden nor switched off.

#include "app/platform/app_services.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kavelo {

class XdgLoginItem : public LoginItem {
public:
    XdgLoginItem(std::filesystem::path entry, std::string executable);

    LoginItemStatus status() const override;
    bool registerItem() override;
    bool unregisterItem() override;

    const std::filesystem::path& entry() const { return entry_; }

    // The entry's "Exec" value for `executable`: the path always quoted,
    // with the escapes of desktop entries; no value for a path holding
    // control characters, which an entry cannot carry.
    static std::optional<std::string> execValue(const std::string& executable);
    // The whole entry file.
    static std::optional<std::string> entryText(const std::string& executable);

private:
    std::filesystem::path entry_;
    std::string executable_;
};

} // namespace kavelo
