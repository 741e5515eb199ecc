#include "app/platform/xdg_login_item.h"
#include "core/json.h"

#include <gtest/gtest.h>

#include <random>

using namespace kavelo;

namespace {

class XdgLoginItemTest : public ::testing::Test {
protected:
    XdgLoginItemTest()
    {
        root = std::filesystem::temp_directory_path() / ("kavelo-autostart-" + std::to_string(std::random_device{}()));
        entry = root / "autostart" / "kavelo.desktop";
    }
    ~XdgLoginItemTest() override
    {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::filesystem::path root;
    std::filesystem::path entry;
};

} // namespace

TEST_F(XdgLoginItemTest, RegisteringWritesAnAutostartEntryForThisExecutable)
{
    XdgLoginItem item(entry, "/opt/kavelo/bin/kavelo");
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    ASSERT_TRUE(item.registerItem());
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
    const auto text = readFile(entry);
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(text->find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(text->find("\nExec=\"/opt/kavelo/bin/kavelo\"\n"), std::string::npos);

    // Another installation's entry does not start this one.
    EXPECT_EQ(XdgLoginItem(entry, "/usr/bin/kavelo").status(), LoginItemStatus::notRegistered);

    ASSERT_TRUE(item.unregisterItem());
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    EXPECT_TRUE(item.unregisterItem());   // nothing to remove is fine
}

TEST_F(XdgLoginItemTest, AHiddenOrSwitchedOffEntryIsNotEnabled)
{
    XdgLoginItem item(entry, "/usr/bin/kavelo");
    ASSERT_TRUE(item.registerItem());
    const std::string base = *readFile(entry);
    ASSERT_FALSE(writeFileAtomically(entry, base + "Hidden=true\n"));
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    std::string off = base;
    off.replace(off.find("X-GNOME-Autostart-enabled=true"), 30, "X-GNOME-Autostart-enabled=false");
    ASSERT_FALSE(writeFileAtomically(entry, off));
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    // Keys of other groups do not count.
    ASSERT_FALSE(writeFileAtomically(entry, base + "[Desktop Action x]\nHidden=true\n"));
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
}

TEST_F(XdgLoginItemTest, ExecQuotesAndEscapesThePath)
{
    EXPECT_EQ(XdgLoginItem::execValue("/home/a b/kavelo"), "\"/home/a b/kavelo\"");
    // Inside the quotes " ` $ \ take a backslash, which the entry's own
    // string escapes double; % is doubled.
    EXPECT_EQ(XdgLoginItem::execValue("/x/$HOME\"`\\%"), R"("/x/\\$HOME\\"\\`\\\\%%")");
    EXPECT_EQ(XdgLoginItem::execValue("/bad\npath"), std::nullopt);
    EXPECT_EQ(XdgLoginItem::execValue(""), std::nullopt);
    EXPECT_FALSE(XdgLoginItem(entry, "/bad\npath").registerItem());
    EXPECT_FALSE(std::filesystem::exists(entry));

    XdgLoginItem odd(entry, "/home/a b/$bin/kavelo");
    ASSERT_TRUE(odd.registerItem());
    EXPECT_EQ(odd.status(), LoginItemStatus::enabled);
}
