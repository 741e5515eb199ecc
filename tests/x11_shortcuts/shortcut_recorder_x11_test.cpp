// The shortcut recorder on a real X server: a private Xvfb with openbox,
// this program's hot keys registered through the X11 backend, the recorder
// in a real Qt window on the same display, and keys typed through XTest as
// a user types them.

#include "app/platform/manual_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/hot_keys.h"
#include "app/services/key_names.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/settings/shortcut_recorder.h"
#include "services/temp_home.h"
#include "support/x11_qt_app.h"
#include "support/x11_qt_desktop.h"
#include "support/person_keys.h"
#include "support/x11_session.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWindow>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

using namespace kavelo;
using namespace std::chrono_literals;

namespace {

using X11Qt = test::X11QtApp;
[[maybe_unused]] ::testing::Environment* const environment = test::addX11QtApp("x11_shortcuts_tests");

struct FreeEvent {
    void operator()(void* p) const { std::free(p); }
};

constexpr std::uint16_t controlKey = 59, optionKey = 58;
constexpr std::uint16_t spaceKey = 49, kKey = 40, rightKey = 124, zPlace = 6;
constexpr int controlOption = Shortcut::control | Shortcut::option;

class X11ShortcutRecorder : public test::X11QtDesktopTest<> {
protected:
    X11ShortcutRecorder() : X11QtDesktopTest("the shortcut recorder tests") {}

    void SetUp() override
    {
        X11QtDesktopTest::SetUp();
        if (!ready())
            return;
        hotKeys = std::make_unique<HotKeys>(x11->hotKeys());
        // What the shell's registration does: nothing while recording, else
        // the overview's shortcut.
        preferences->onKeysChange = [this] {
            hotKeys->removeAll();
            if (preferences->isRecording())
                return;
            const Shortcut overview = preferences->shortcut();
            hotKeys->registerHotKey(overview.keyCode, overview.modifiers, [this] { ++overviews; });
        };
        preferences->onKeysChange();
        ASSERT_EQ(hotKeys->count(), 1u);

        window = std::make_unique<QWidget>();
        window->setWindowTitle("Shortcut recorder");
        auto* layout = new QVBoxLayout(window.get());
        recorder = new ShortcutRecorder({[this] { return value; }, [this](Shortcut s) { value = s; }}, *preferences,
                                        x11->keyboard(), false);
        layout->addWidget(recorder);
        window->resize(300, 100);
        window->show();
        ASSERT_TRUE(until([&] { return window->windowHandle() && window->windowHandle()->isExposed(); }));
    }

    void TearDown() override
    {
        window.reset();
        if (preferences)
            preferences->onKeysChange = nullptr;
        hotKeys.reset();
        X11QtDesktopTest::TearDown();
        Shortcut::localName = nullptr;
    }

    // Lets Qt's requests reach the server before the next typed key, then
    // runs what both connections received and what the backend queued.
    void sync()
    {
        if (auto* native = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
            xcb_connection_t* qt = native->connection();
            std::free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr));
        }
        pump();
    }
    void pump()
    {
        x11->processEvents();
        QCoreApplication::processEvents();
        scheduler.runPending();
    }
    test::Waited until(const std::function<bool()>& done, std::chrono::milliseconds timeout = test::answerDeadline)
    {
        return test::waitFor(done, timeout, [&] { pump(); });
    }
    // Gives whatever might still arrive a moment to do so.
    void linger()
    {
        const auto end = std::chrono::steady_clock::now() + 300ms;
        while (std::chrono::steady_clock::now() < end) {
            pump();
            std::this_thread::sleep_for(5ms);
        }
    }

    // Control-Option and the key, typed as a person types them.
    void typeControlOption(std::uint16_t key)
    {
        sync();
        test::Typist hand(*session, [this] { pump(); });
        const auto server = [&](std::uint16_t k) { return x11->serverKeyCode(k).value(); };
        hand.chord({server(controlKey), server(optionKey)}, server(key));
    }

    // Key presses the session's own connection received since the last call.
    int observerKeyPresses()
    {
        std::free(xcb_get_input_focus_reply(session->connection(), xcb_get_input_focus(session->connection()), nullptr));
        int presses = 0;
        while (xcb_generic_event_t* e = xcb_poll_for_event(session->connection())) {
            presses += (e->response_type & 0x7F) == XCB_KEY_PRESS;
            std::free(e);
        }
        return presses;
    }

    void record()
    {
        recorder->start();
        ASSERT_TRUE(recorder->recording());
        sync();
    }

    std::unique_ptr<HotKeys> hotKeys;
    std::unique_ptr<QWidget> window;
    ShortcutRecorder* recorder = nullptr;
    Shortcut value{122, 0};
    int overviews = 0;
};

TEST_F(X11ShortcutRecorder, RecordsOurOwnHotKeyWithoutRunningItAndItFiresAgainAfterwards)
{
    // The hot key works before recording.
    typeControlOption(spaceKey);
    ASSERT_TRUE(until([&] { return overviews == 1; }));

    record();
    EXPECT_EQ(hotKeys->count(), 0u);
    typeControlOption(spaceKey);
    ASSERT_TRUE(until([&] { return value == Shortcut{spaceKey, controlOption}; }));
    EXPECT_FALSE(recorder->recording());
    EXPECT_FALSE(preferences->isRecording());
    linger();
    EXPECT_EQ(overviews, 1);

    // Stopped: registered again, and it fires.
    EXPECT_EQ(hotKeys->count(), 1u);
    typeControlOption(spaceKey);
    EXPECT_TRUE(until([&] { return overviews == 2; }));
}

TEST_F(X11ShortcutRecorder, TakesCombinationsOtherClientsGrabUntilTheWindowIsHidden)
{
    xcb_connection_t* c = session->connection();
    const std::uint8_t k = x11->serverKeyCode(kKey).value();
    xcb_grab_key(c, 1, session->root(), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, k, XCB_GRAB_MODE_ASYNC,
                 XCB_GRAB_MODE_ASYNC);
    observerKeyPresses();
    // The other client has it while nobody records.
    typeControlOption(kKey);
    ASSERT_TRUE(until([&] { return observerKeyPresses() == 1; }));

    record();
    typeControlOption(kKey);
    ASSERT_TRUE(until([&] { return value == Shortcut{kKey, controlOption}; }));
    EXPECT_EQ(observerKeyPresses(), 0);

    // The window manager's own combinations too: openbox moves to the
    // desktop on the right on Control-Option-Right.
    const auto desktop = session->currentDesktop();
    record();
    typeControlOption(rightKey);
    ASSERT_TRUE(until([&] { return value == Shortcut{rightKey, controlOption}; }));
    linger();
    EXPECT_EQ(session->currentDesktop(), desktop);

    // Hidden while recording: the keyboard goes back at once.
    record();
    window->hide();
    EXPECT_FALSE(recorder->recording());
    EXPECT_FALSE(preferences->isRecording());
    typeControlOption(kKey);
    EXPECT_TRUE(until([&] { return observerKeyPresses() == 1; }));
    EXPECT_EQ(value, (Shortcut{rightKey, controlOption}));

    xcb_ungrab_key(c, k, session->root(), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
    xcb_flush(c);
}

TEST_F(X11ShortcutRecorder, RecordsThePlaceOfTheKeyWhateverTheLayoutTypes)
{
    ASSERT_TRUE(session->run({"setxkbmap", "-layout", "de"}));
    struct Us {
        test::X11Session* session;
        ~Us() { session->run({"setxkbmap", "-layout", "us"}); }
    } us{session};
    ASSERT_TRUE(until([&] { return x11->keyboard().currentLayout() == std::optional<std::string>("de"); }));
    Shortcut::localName = KeyNames::resolver(x11->keyboard());

    record();
    // Where US keyboards have Z; the German layout types Y there.
    typeControlOption(zPlace);
    ASSERT_TRUE(until([&] { return !recorder->recording(); }));
    EXPECT_EQ(value, (Shortcut{zPlace, controlOption}));
    EXPECT_EQ(recorder->label(), "Ctrl+Alt+Y");
}

} // namespace
