#pragma once

// Running applications and the system workspace around them. (The saved
// workflow record is the core's `Workspace`; this is the live system.)

#include "app/platform/handle.h"
#include "app/platform/image.h"
#include "core/window_entry.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

enum class ActivationPolicy { regular, accessory, prohibited };
std::string_view rawValue(ActivationPolicy policy);
std::optional<ActivationPolicy> ActivationPolicy_from(std::string_view raw);

struct RunningApp {
    std::int32_t pid = 0;
    std::optional<std::string> bundleID;
    std::optional<std::string> name;   // the localized name
    ActivationPolicy policy = ActivationPolicy::regular;
    bool hidden = false;
    friend bool operator==(const RunningApp&, const RunningApp&) = default;
};

class SystemWorkspace {
public:
    virtual ~SystemWorkspace() = default;

    virtual std::int32_t ownPid() const = 0;
    // In the workspace's order.
    virtual std::vector<RunningApp> runningApps() const = 0;
    virtual std::optional<RunningApp> frontmostApp() const = 0;
    virtual std::optional<Image> icon(std::int32_t pid) const = 0;

    // Each answers whether the request was accepted.
    virtual bool activate(std::int32_t pid) = 0;   // no options: its front window only
    // The same with `window`, one of its windows just raised, as its front
    // window, asked at once without reading its other windows.
    virtual bool activate(std::int32_t pid, WindowID window)
    {
        (void)window;
        return activate(pid);
    }
    virtual bool hide(std::int32_t pid) = 0;
    virtual bool unhide(std::int32_t pid) = 0;

    // Where the application with this bundle identifier is installed.
    virtual std::optional<std::string> applicationLocation(std::string_view bundleID) const = 0;
    // Opens the application at `location`.
    virtual bool launch(std::string_view location, bool activates) = 0;
    // Opens addresses in one request, with the application at `appLocation`
    // or with each address's default handler.
    virtual bool openURLs(const std::vector<std::string>& urls, std::optional<std::string> appLocation,
                          bool activates) = 0;

    // The user asked the system for less motion.
    virtual bool reducedMotion() const = 0;
    // A value from another program's preferences; no value when the domain
    // or the key is missing.
    virtual std::optional<nlohmann::json> preference(std::string_view domain, std::string_view key) const = 0;
    // The name the running window manager gives itself; no value where it
    // names none, or where the system has no separate window manager.
    virtual std::optional<std::string> windowManagerName() const { return std::nullopt; }
    // Another window manager took over (or the first one started): the keys
    // it holds may differ. Main thread; never where there is none.
    [[nodiscard]] virtual Handle onWindowManagerChange(std::function<void()> handler)
    {
        (void)handler;
        return {};
    }

    // Main-thread notifications; dropping the handle ends them.
    [[nodiscard]] virtual Handle onActivation(std::function<void(const RunningApp&)> handler) = 0;
    [[nodiscard]] virtual Handle onDesktopChange(std::function<void()> handler) = 0;
    // The machine woke, or the user's session became active again.
    [[nodiscard]] virtual Handle onWake(std::function<void()> handler) = 0;
};

} // namespace kavelo
