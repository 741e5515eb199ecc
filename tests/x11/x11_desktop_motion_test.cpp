// Reduced motion from the desktop's XSETTINGS manager: a test client owns
// the selection and publishes the property; a change, a new manager and a
// malformed property are followed without a restart.

#include "support/x11_session.h"
#include "support/xsettings_blob.h"

#include "app/platform/x11/x11_desktop.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kavelo;
using namespace std::chrono_literals;
using kavelo::test::waitFor;
using kavelo::test::X11Session;
using kavelo::test::XSettingsBlob;

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t out = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    return out;
}

// A settings manager as the GNOME and Xfce daemons are: a window owning the
// screen's selection, announced on the root, holding the property.
class Manager {
public:
    Manager(xcb_connection_t* c, xcb_window_t root) : c_(c), root_(root)
    {
        selection_ = atom(c, "_XSETTINGS_S0");
        settings_ = atom(c, "_XSETTINGS_SETTINGS");
        window_ = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
    }
    ~Manager()
    {
        xcb_destroy_window(c_, window_);
        xcb_flush(c_);
    }
    void publish(const std::vector<std::uint8_t>& bytes)
    {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, settings_, settings_, 8, std::uint32_t(bytes.size()),
                            bytes.data());
        xcb_flush(c_);
    }
    void takeOver()
    {
        xcb_set_selection_owner(c_, window_, selection_, XCB_CURRENT_TIME);
        xcb_client_message_event_t e{};
        e.response_type = XCB_CLIENT_MESSAGE;
        e.window = root_;
        e.type = atom(c_, "MANAGER");
        e.format = 32;
        e.data.data32[0] = XCB_CURRENT_TIME;
        e.data.data32[1] = selection_;
        e.data.data32[2] = window_;
        xcb_send_event(c_, 0, root_, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&e));
        xcb_flush(c_);
    }

private:
    xcb_connection_t* c_;
    xcb_window_t root_;
    xcb_atom_t selection_ = XCB_NONE, settings_ = XCB_NONE;
    xcb_window_t window_ = XCB_NONE;
};

std::vector<std::uint8_t> animations(int on)
{
    return XSettingsBlob().text("Net/ThemeName", "Adwaita").integer("Gtk/EnableAnimations", on).bytes();
}

TEST(X11DesktopMotion, FollowsTheSettingsManager)
{
    X11Session session;
    std::string error;
    if (!session.start({}, &error)) {
        if (test::x11Required())
            FAIL() << "no X server: " << error;
        GTEST_SKIP() << "no X server: " << error;
    }
    auto desktop = X11Desktop::connect(session.display(), &error);
    ASSERT_TRUE(desktop) << error;
    const auto reduced = [&](bool want) {
        return waitFor([&] { return desktop->workspace().reducedMotion() == want; }, test::answerDeadline,
                       [&] { desktop->processEvents(); });
    };
    // No manager: motion is on.
    EXPECT_FALSE(desktop->workspace().reducedMotion());

    auto first = std::make_unique<Manager>(session.connection(), session.root());
    first->publish(animations(0));
    first->takeOver();
    EXPECT_TRUE(reduced(true));
    first->publish(animations(1));
    EXPECT_TRUE(reduced(false));
    first->publish(animations(0));
    EXPECT_TRUE(reduced(true));

    // Malformed: ignored, so motion is on.
    auto broken = animations(0);
    broken[12] = 7;
    first->publish(broken);
    EXPECT_TRUE(reduced(false));
    first->publish(std::vector<std::uint8_t>(3, 0xff));
    desktop->processEvents();
    first->publish(animations(0));
    EXPECT_TRUE(reduced(true));

    // The manager quits: motion is on again; a new one takes over.
    first.reset();
    EXPECT_TRUE(reduced(false));
    Manager second(session.connection(), session.root());
    second.publish(animations(0));
    second.takeOver();
    EXPECT_TRUE(reduced(true));
}

} // namespace
