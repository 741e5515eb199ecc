// The desktop's animation settings: the XSETTINGS property in both byte
// orders, malformed or cut short anywhere, and KDE's kdeglobals.

#include "support/xsettings_blob.h"

#include "app/platform/kde_globals.h"
#include "app/platform/xsettings.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <filesystem>
#include <fstream>

namespace kavelo {
namespace {

using test::XSettingsBlob;
constexpr std::string_view animations = "Gtk/EnableAnimations";

TEST(XSettings, FindsTheIntegerAmongOtherSettingsInEitherByteOrder)
{
    for (bool big : {false, true}) {
        const auto bytes = XSettingsBlob(big)
                               .text("Net/ThemeName", "Adwaita")
                               .colour("Gtk/Colour")
                               .integer("Gtk/EnableAnimationsX", 7)
                               .integer(animations, 0)
                               .integer("Net/DoubleClickTime", 400)
                               .bytes();
        EXPECT_EQ(XSettings::integer(bytes, animations), std::optional<std::int32_t>(0)) << big;
        EXPECT_EQ(XSettings::integer(bytes, "Net/DoubleClickTime"), std::optional<std::int32_t>(400));
        EXPECT_EQ(XSettings::integer(bytes, "Net/ThemeName"), std::nullopt);   // a text, not an integer
        EXPECT_EQ(XSettings::integer(bytes, "Gtk/Missing"), std::nullopt);
    }
    EXPECT_EQ(XSettings::integer(XSettingsBlob().bytes(), animations), std::nullopt);
}

TEST(XSettings, AMalformedPropertyReadsAsNoSettings)
{
    const auto good = XSettingsBlob().text("Net/ThemeName", "Adwaita").integer(animations, 0).bytes();
    // Cut short anywhere.
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_EQ(XSettings::integer(std::span(good).first(n), animations), std::nullopt) << n;
    // An unknown type, a byte order that is neither, a count beyond the data.
    auto bad = good;
    bad[12] = 9;
    EXPECT_EQ(XSettings::integer(bad, animations), std::nullopt);
    bad = good;
    bad[0] = 2;
    EXPECT_EQ(XSettings::integer(bad, animations), std::nullopt);
    bad = good;
    bad[8] = 0xff, bad[9] = 0xff, bad[10] = 0xff, bad[11] = 0xff;
    EXPECT_EQ(XSettings::integer(bad, animations), std::nullopt);
}

RC_GTEST_PROP(XSettingsProperty, AnyBytesReadWithoutFault, (std::vector<std::uint8_t> bytes))
{
    if (bytes.size() >= 12)
        bytes[0] = bytes[0] % 2;
    XSettings::integer(bytes, animations);
}

TEST(KdeGlobals, TheFactorOfTheKdeGroupOnly)
{
    using KdeGlobals::animationDurationFactor;
    EXPECT_EQ(animationDurationFactor("[KDE]\nAnimationDurationFactor=0\n"), std::optional(0.0));
    EXPECT_EQ(animationDurationFactor("[General]\nAnimationDurationFactor=0\n[KDE]\nLookAndFeel=x\n"), std::nullopt);
    EXPECT_EQ(animationDurationFactor("[KDE]\r\n AnimationDurationFactor[$i] = 0.5\r\n"), std::optional(0.5));
    EXPECT_EQ(animationDurationFactor("[KDE]\nAnimationDurationFactor=fast\n"), std::nullopt);
    EXPECT_EQ(animationDurationFactor("[KDE]\nAnimationDurationFactor=0"), std::optional(0.0));
}

TEST(KdeGlobals, TheUsersFileComesFirst)
{
    const auto dir = std::filesystem::temp_directory_path() / ("kavelo-kde-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "user");
    std::filesystem::create_directories(dir / "system");
    const auto user = dir / "user" / "kdeglobals", system = dir / "system" / "kdeglobals";
    std::ofstream(system) << "[KDE]\nAnimationDurationFactor=0\n";
    EXPECT_TRUE(KdeGlobals::reducesMotion({user, system}));   // the user's is missing
    std::ofstream(user) << "[KDE]\nAnimationDurationFactor=1\n";
    EXPECT_FALSE(KdeGlobals::reducesMotion({user, system}));
    std::ofstream(user) << "[KDE]\nSingleClick=false\n";
    EXPECT_TRUE(KdeGlobals::reducesMotion({user, system}));
    EXPECT_FALSE(KdeGlobals::reducesMotion({}));
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace kavelo
