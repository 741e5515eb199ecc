// The login item, browser scripting and the program's own info keys on an
// X11 desktop.

#include "app/platform/paths.h"
#include "app/platform/x11/x11_impl.h"
#include "app/platform/xdg_login_item.h"

#include <unistd.h>

namespace kavelo {

namespace {

std::string ownExecutable() { return executableOf(std::int32_t(getpid())).value_or("kavelo"); }

// No browser here takes scripts.
class X11Browsers : public BrowserScripting {
public:
    std::optional<std::vector<std::optional<std::string>>> run(std::string_view) override { return std::nullopt; }
};

class X11AppInfo : public AppInfo {
public:
    std::string bundleID() const override { return "io.kavelo.Kavelo"; }
    std::string bundlePath() const override { return ownExecutable(); }
    std::optional<std::string> infoValue(std::string_view key) const override
    {
        if (key == "CFBundleName")
            return std::string("Kavelo");
        if (key == "CFBundleIdentifier")
            return bundleID();
        return std::nullopt;
    }
};

} // namespace

// Opening at login is an XDG autostart entry for this executable.
std::unique_ptr<LoginItem> makeX11LoginItem()
{
    return std::make_unique<XdgLoginItem>(Paths::current().autostartEntry, ownExecutable());
}
std::unique_ptr<BrowserScripting> makeX11Browsers() { return std::make_unique<X11Browsers>(); }
std::unique_ptr<AppInfo> makeX11AppInfo() { return std::make_unique<X11AppInfo>(); }

} // namespace kavelo
