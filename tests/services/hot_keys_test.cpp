#include "app/services/hot_keys.h"

#include "input_fixture.h"

#include <rapidcheck/gtest.h>

#include <map>
#include <set>
#include <utility>
#include <vector>

using namespace kavelo;
using kavelo::testing::InputTest;

namespace {

constexpr std::uint32_t controlOption = HotKeyModifier::control | HotKeyModifier::option;

std::vector<std::uint32_t> registeredIDs(const SimDesktop& sim)
{
    std::vector<std::uint32_t> ids;
    for (const auto& key : sim.registeredHotKeys())
        ids.push_back(key.id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace

TEST_F(InputTest, HotKeyIdentifiersCountOnAcrossRemoveAll)
{
    HotKeys hotKeys(sim.hotKeys());
    std::vector<std::string> ran;
    EXPECT_TRUE(hotKeys.registerHotKey(49, controlOption, [&] { ran.push_back("overview"); }));
    EXPECT_TRUE(hotKeys.registerHotKey(18, controlOption, [&] { ran.push_back("slot 1"); }));
    EXPECT_EQ(registeredIDs(sim), (std::vector<std::uint32_t>{1, 2}));

    sim.pressKey(18, eventFlags(controlOption));
    sim.pressKey(49, eventFlags(controlOption));
    EXPECT_EQ(ran, (std::vector<std::string>{"slot 1", "overview"}));

    hotKeys.removeAll();
    EXPECT_TRUE(sim.registeredHotKeys().empty());
    EXPECT_EQ(hotKeys.count(), 0u);
    sim.pressKey(49, eventFlags(controlOption));
    EXPECT_EQ(ran.size(), 2u);

    // The same combination again gets a fresh identifier and the new action.
    EXPECT_TRUE(hotKeys.registerHotKey(49, controlOption, [&] { ran.push_back("overview again"); }));
    EXPECT_EQ(registeredIDs(sim), (std::vector<std::uint32_t>{3}));
    sim.pressKey(49, eventFlags(controlOption));
    EXPECT_EQ(ran.back(), "overview again");
}

TEST_F(InputTest, RefusedHotKeyUsesUpNoIdentifier)
{
    HotKeys hotKeys(sim.hotKeys());
    sim.takeHotKey(49, controlOption);
    int overview = 0;
    int slot = 0;
    EXPECT_FALSE(hotKeys.registerHotKey(49, controlOption, [&] { ++overview; }));
    EXPECT_TRUE(hotKeys.registerHotKey(18, controlOption, [&] { ++slot; }));
    EXPECT_EQ(registeredIDs(sim), (std::vector<std::uint32_t>{1}));

    // Our own combination a second time is refused as well.
    EXPECT_FALSE(hotKeys.registerHotKey(18, controlOption, [&] { ++overview; }));
    // Numbers that are no key code or modifier mask never reach the system.
    EXPECT_FALSE(hotKeys.registerHotKey(-1, 0, [&] { ++overview; }));
    EXPECT_FALSE(hotKeys.registerHotKey(0, std::int64_t(1) << 32, [&] { ++overview; }));
    EXPECT_EQ(hotKeys.nextIdentifier(), 2u);

    sim.pressKey(49, eventFlags(controlOption));
    sim.pressKey(18, eventFlags(controlOption));
    EXPECT_EQ(overview, 0);
    EXPECT_EQ(slot, 1);
}

TEST_F(InputTest, HotKeyActionMayRebindEveryKey)
{
    HotKeys hotKeys(sim.hotKeys());
    int rebinds = 0;
    std::function<void()> rebind = [&] {
        ++rebinds;
        hotKeys.removeAll();   // destroys the stored action that is running
        hotKeys.registerHotKey(49, controlOption, rebind);
    };
    ASSERT_TRUE(hotKeys.registerHotKey(49, controlOption, rebind));
    sim.pressKey(49, eventFlags(controlOption));
    sim.pressKey(49, eventFlags(controlOption));
    EXPECT_EQ(rebinds, 2);
    EXPECT_EQ(registeredIDs(sim), (std::vector<std::uint32_t>{3}));

    // An identifier nobody holds (a key pressed while being removed) is ignored.
    hotKeys.pressed(1);
    hotKeys.pressed(99);
    EXPECT_EQ(rebinds, 2);
}

TEST_F(InputTest, DestroyedHotKeysLeaveNothingRegistered)
{
    int ran = 0;
    {
        HotKeys hotKeys(sim.hotKeys());
        hotKeys.registerHotKey(49, controlOption, [&] { ++ran; });
    }
    EXPECT_TRUE(sim.registeredHotKeys().empty());
    sim.pressKey(49, eventFlags(controlOption));
    EXPECT_EQ(ran, 0);
}

// Random registrations, removals, rebinds and presses against a model of
// what the system holds: identifiers are handed out in order, only on
// success, never twice, and a press runs the action of the combination's
// live identifier.
RC_GTEST_FIXTURE_PROP(InputTest, HotKeysFollowTheirModel, ())
{
    HotKeys hotKeys(sim.hotKeys());
    const std::pair<std::uint32_t, std::uint32_t> taken{2, HotKeyModifier::control};
    sim.takeHotKey(taken.first, taken.second);

    std::uint32_t next = 1;
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> live;
    std::set<std::uint32_t> everUsed;
    std::vector<std::uint32_t> ran;
    std::vector<std::uint32_t> expectedRuns;

    const int steps = *rc::gen::inRange(1, 60);
    for (int step = 0; step < steps; ++step) {
        const int op = *rc::gen::inRange(0, 11);
        const std::uint32_t key = *rc::gen::inRange<std::uint32_t>(0, 4);
        const std::uint32_t modifiers = *rc::gen::element<std::uint32_t>(0u, HotKeyModifier::control, controlOption);
        const std::pair combo{key, modifiers};
        if (op < 5) {
            const std::uint32_t id = next;
            const bool accepted = hotKeys.registerHotKey(key, modifiers, [&ran, id] { ran.push_back(id); });
            const bool expected = combo != taken && !live.count(combo);
            RC_ASSERT(accepted == expected);
            if (expected) {
                RC_ASSERT(everUsed.insert(next).second);
                live[combo] = next++;
            }
        } else if (op < 6) {
            hotKeys.removeAll();
            live.clear();
        } else if (op < 7) {
            // Binding the set again keeps what stays bound, under its old
            // identifier, with the new action.
            const auto again = *rc::gen::container<std::vector<std::uint32_t>>(rc::gen::inRange<std::uint32_t>(0, 4));
            std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> bound;
            hotKeys.rebind([&] {
                for (const std::uint32_t k : again) {
                    const std::pair c{k, modifiers};
                    const bool kept = live.count(c) && !bound.count(c);
                    const std::uint32_t id = kept ? live[c] : next;
                    const bool accepted = hotKeys.registerHotKey(k, modifiers, [&ran, id] { ran.push_back(id); });
                    RC_ASSERT(accepted == (c != taken && !bound.count(c)));
                    if (accepted) {
                        bound[c] = id;
                        if (!kept)
                            RC_ASSERT(everUsed.insert(next++).second);
                    }
                }
            });
            live = bound;
        } else {
            sim.pressKey(std::uint16_t(key), eventFlags(modifiers));
            if (auto it = live.find(combo); it != live.end())
                expectedRuns.push_back(it->second);
        }
        RC_ASSERT(hotKeys.nextIdentifier() == next);
        RC_ASSERT(hotKeys.count() == live.size());
        RC_ASSERT(ran == expectedRuns);
        std::vector<std::uint32_t> ids;
        for (const auto& [c, id] : live)
            ids.push_back(id);
        std::sort(ids.begin(), ids.end());
        RC_ASSERT(registeredIDs(sim) == ids);
    }
}
