#pragma once

// Small facilities around the application itself: the login item, browser
// scripting and the application's own information keys.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

enum class LoginItemStatus { notRegistered, enabled, requiresApproval, notFound };
std::string_view rawValue(LoginItemStatus status);
std::optional<LoginItemStatus> LoginItemStatus_from(std::string_view raw);

class LoginItem {
public:
    virtual ~LoginItem() = default;
    virtual LoginItemStatus status() const = 0;
    // False when the system refused; `status()` then tells where it stands.
    virtual bool registerItem() = 0;
    virtual bool unregisterItem() = 0;
};

// Runs a script against a scriptable browser, synchronously.
class BrowserScripting {
public:
    virtual ~BrowserScripting() = default;
    // The items of the script's list result in order, each with its text
    // value when it has one; no value when the script cannot be compiled or
    // run or reports an error.
    virtual std::optional<std::vector<std::optional<std::string>>> run(std::string_view source) = 0;
};

class AppInfo {
public:
    virtual ~AppInfo() = default;
    virtual std::string bundleID() const = 0;
    // Where the application lives; reopening it starts a fresh instance.
    virtual std::string bundlePath() const = 0;
    // A key of the application's information list, as text.
    virtual std::optional<std::string> infoValue(std::string_view key) const = 0;
};

} // namespace kavelo
