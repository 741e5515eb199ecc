#include "app/platform/paths.h"

#include <gtest/gtest.h>

#include <map>

using namespace kavelo;

namespace {

Paths with(std::map<std::string, std::string> env)
{
    return Paths::from([&](std::string_view name) -> std::optional<std::string> {
        auto it = env.find(std::string(name));
        if (it == env.end())
            return std::nullopt;
        return it->second;
    });
}

} // namespace

TEST(Paths, FollowTheXdgVariablesAndFallBackToHome)
{
    const Paths defaults = with({{"HOME", "/home/ada"}});
    EXPECT_EQ(defaults.applicationSupport, "/home/ada/.local/share/Kavelo");
    EXPECT_EQ(defaults.logs, "/home/ada/.local/state/Kavelo");
    EXPECT_EQ(defaults.userDefaults, "/home/ada/.config/Kavelo/defaults.json");
    EXPECT_EQ(defaults.autostartEntry, "/home/ada/.config/autostart/kavelo.desktop");

    const Paths set = with({{"HOME", "/home/ada"},
                            {"XDG_DATA_HOME", "/d"},
                            {"XDG_STATE_HOME", "/s"},
                            {"XDG_CONFIG_HOME", "/c"}});
    EXPECT_EQ(set.applicationSupport, "/d/Kavelo");
    EXPECT_EQ(set.logs, "/s/Kavelo");
    EXPECT_EQ(set.userDefaults, "/c/Kavelo/defaults.json");
    EXPECT_EQ(set.autostartEntry, "/c/autostart/kavelo.desktop");

    // Empty and relative values are not locations.
    const Paths ignored = with({{"HOME", "/home/ada"}, {"XDG_DATA_HOME", ""}, {"XDG_STATE_HOME", "rel/dir"}});
    EXPECT_EQ(ignored.applicationSupport, "/home/ada/.local/share/Kavelo");
    EXPECT_EQ(ignored.logs, "/home/ada/.local/state/Kavelo");
}

TEST(Paths, WithoutHomeUseTheAccountsHomeFolder)
{
    const Paths p = with({});
    EXPECT_TRUE(p.applicationSupport.is_absolute());
    EXPECT_EQ(p.applicationSupport.filename(), "Kavelo");
}
