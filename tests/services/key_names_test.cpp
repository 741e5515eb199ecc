#include "app/services/key_names.h"

#include "input_fixture.h"

#include <map>

using namespace kavelo;
using kavelo::testing::InputTest;

namespace {

// A layout whose keys type whatever the test says.
class FakeKeyboard : public Keyboard {
public:
    std::map<std::uint16_t, std::string> keys;
    std::vector<std::string> layouts() const override { return {"fake"}; }
    std::optional<std::string> currentLayout() const override { return "fake"; }
    std::optional<std::string> translate(std::string_view layout, std::uint16_t keyCode) const override
    {
        if (layout != "fake")
            return std::nullopt;
        if (auto it = keys.find(keyCode); it != keys.end())
            return it->second;
        return std::nullopt;
    }
    std::optional<std::uint16_t> keyCode(std::uint32_t) const override { return std::nullopt; }
};

// Shortcut labels read a process-wide resolver; put it back afterwards.
class KeyLabelTest : public InputTest {
protected:
    void TearDown() override
    {
        Shortcut::localName = nullptr;
        InputTest::TearDown();
    }
};

} // namespace

TEST_F(InputTest, SourcesAreInstalledLayoutsOnly)
{
    EXPECT_EQ(KeyNames::source(sim.keyboard(), "us"), InputSource{"us"});
    EXPECT_EQ(KeyNames::source(sim.keyboard(), "de"), InputSource{"de"});
    EXPECT_FALSE(KeyNames::source(sim.keyboard(), "fr"));
    EXPECT_FALSE(KeyNames::source(sim.keyboard(), ""));
}

TEST_F(InputTest, KeyNamesFollowTheLayout)
{
    const Keyboard& k = sim.keyboard();
    const InputSource us{"us"};
    const InputSource de{"de"};
    EXPECT_EQ(KeyNames::name(k, 0, us), "A");
    EXPECT_EQ(KeyNames::name(k, 6, us), "Z");
    EXPECT_EQ(KeyNames::name(k, 16, us), "Y");
    EXPECT_EQ(KeyNames::name(k, 18, us), "1");
    EXPECT_EQ(KeyNames::name(k, 33, us), "[");
    EXPECT_EQ(KeyNames::name(k, 6, de), "Y");
    EXPECT_EQ(KeyNames::name(k, 16, de), "Z");
    EXPECT_EQ(KeyNames::name(k, 33, de), "\u00DC");   // ü upper-cased
    EXPECT_EQ(KeyNames::name(k, 27, de), "\u00DF");   // ß stays: "SS" would be two characters
    EXPECT_EQ(KeyNames::name(k, 0, InputSource{"fr"}), std::nullopt);
}

TEST_F(InputTest, KeysWithoutAPrintableCharacterHaveNoName)
{
    const Keyboard& k = sim.keyboard();
    const InputSource us{"us"};
    EXPECT_EQ(KeyNames::name(k, 49, us), std::nullopt);    // Space trims to nothing
    EXPECT_EQ(KeyNames::name(k, 36, us), std::nullopt);    // Return is a line break
    EXPECT_EQ(KeyNames::name(k, 48, us), std::nullopt);    // Tab
    EXPECT_EQ(KeyNames::name(k, 53, us), std::nullopt);    // Escape is a control character
    EXPECT_EQ(KeyNames::name(k, 122, us), std::nullopt);   // F1
    EXPECT_EQ(KeyNames::name(k, 123, us), std::nullopt);   // left arrow
    EXPECT_EQ(KeyNames::name(k, 56, us), std::nullopt);    // Shift types nothing
    EXPECT_EQ(KeyNames::name(k, -1, us), std::nullopt);
    EXPECT_EQ(KeyNames::name(k, 0x10000, us), std::nullopt);
}

TEST_F(InputTest, NamesAreTrimmedAndCheckedByTheirFirstScalar)
{
    FakeKeyboard k;
    const InputSource fake{"fake"};
    k.keys = {
        {1, "\uF704"},          // a function key's private character
        {2, "\uFB01"},          // anything from there up, even a ligature
        {3, "\u00A0q\r\n"},     // white space around a letter
        {4, "\u200Dx"},         // starts with a format character
        {5, "\u0149"},          // ŉ upper-cases to two characters
        {6, ""},
        {7, "\xC3\xA9"},        // é
        {8, " \u2028 "},
        {9, std::string("\0a", 2)},
    };
    EXPECT_EQ(KeyNames::name(k, 1, fake), std::nullopt);
    EXPECT_EQ(KeyNames::name(k, 2, fake), std::nullopt);
    EXPECT_EQ(KeyNames::name(k, 3, fake), "Q");
    EXPECT_EQ(KeyNames::name(k, 4, fake), std::nullopt);
    EXPECT_EQ(KeyNames::name(k, 5, fake), "\u0149");
    EXPECT_EQ(KeyNames::name(k, 6, fake), std::nullopt);
    EXPECT_EQ(KeyNames::name(k, 7, fake), "\xC3\x89");
    EXPECT_EQ(KeyNames::name(k, 8, fake), std::nullopt);
    EXPECT_EQ(KeyNames::name(k, 9, fake), std::nullopt);
    EXPECT_EQ(KeyNames::name(k, 10, fake), std::nullopt);   // the key types nothing
}

TEST_F(KeyLabelTest, ShortcutLabelsFollowTheCurrentLayout)
{
    Shortcut::localName = KeyNames::resolver(sim.keyboard());
    const Shortcut snapZ{6, Shortcut::control | Shortcut::option};
    const Shortcut overview = Shortcut::standard;

    EXPECT_EQ(snapZ.label(), "Ctrl+Alt+Z");
    sim.setCurrentLayout("de");
    EXPECT_EQ(snapZ.label(), "Ctrl+Alt+Y");
    EXPECT_EQ((Shortcut{27, Shortcut::command}).label(), "Super+\u00DF");
    // Keys without a local name fall back to the built-in names.
    EXPECT_EQ(overview.label(), "Ctrl+Alt+Space");

    // No layout to read: the built-in US names.
    sim.setCurrentLayout(std::nullopt);
    EXPECT_EQ(snapZ.label(), "Ctrl+Alt+Z");
    sim.setCurrentLayout("fr");
    EXPECT_EQ((Shortcut{16, Shortcut::control}).label(), "Ctrl+Y");
}
