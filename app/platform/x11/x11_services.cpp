// The login item, browser scripting and the program's own info keys on an
// X11 desktop.

#include "app/platform/x11/x11_impl.h"

#include "core/json.h"

#include <unistd.h>

#include <filesystem>

namespace kavelo {

namespace {

std::filesystem::path autostartFile()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (config && *config == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home ? home : "/") / ".config";
    }
    return base / "autostart" / "io.kavelo.Kavelo.desktop";
}

std::string ownExecutable() { return executableOf(std::int32_t(getpid())).value_or("kavelo"); }

// Opening at login is an XDG autostart entry.
class X11LoginItem : public LoginItem {
public:
    LoginItemStatus status() const override
    {
        const auto text = readFile(autostartFile());
        if (!text)
            return LoginItemStatus::notRegistered;
        if (text->find("Hidden=true") != std::string::npos || text->find("X-GNOME-Autostart-enabled=false") != std::string::npos)
            return LoginItemStatus::notRegistered;
        return LoginItemStatus::enabled;
    }
    bool registerItem() override
    {
        const auto path = autostartFile();
        std::error_code error;
        std::filesystem::create_directories(path.parent_path(), error);
        return !writeFileAtomically(path, "[Desktop Entry]\nType=Application\nName=Kavelo\nExec=" + ownExecutable() +
                                              "\nX-GNOME-Autostart-enabled=true\n");
    }
    bool unregisterItem() override
    {
        std::error_code error;
        std::filesystem::remove(autostartFile(), error);
        return !error;
    }
};

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

std::unique_ptr<LoginItem> makeX11LoginItem() { return std::make_unique<X11LoginItem>(); }
std::unique_ptr<BrowserScripting> makeX11Browsers() { return std::make_unique<X11Browsers>(); }
std::unique_ptr<AppInfo> makeX11AppInfo() { return std::make_unique<X11AppInfo>(); }

} // namespace kavelo
