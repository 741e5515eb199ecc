#include "core/json.h"
#include "core/window_entry.h"

#include <gtest/gtest.h>

using namespace kavelo;

TEST(WindowStateJson, TravelsAsItsExactRawText)
{
    for (WindowState state : {WindowState::visible, WindowState::minimized, WindowState::hidden, WindowState::otherSpace}) {
        const Json j = json::encode(state);
        ASSERT_TRUE(j.is_string());
        EXPECT_EQ(j.get<std::string>(), rawValue(state));
        EXPECT_EQ(json::decode([&] { return json::windowState(j); }), state);
    }
    EXPECT_EQ(json::encode(WindowState::otherSpace).dump(), "\"otherSpace\"");
    for (const Json& bad : {Json("Visible"), Json("other space"), Json(""), Json(0), Json(nullptr)})
        EXPECT_EQ(json::decode([&] { return json::windowState(bad); }), std::nullopt) << bad.dump();
}
