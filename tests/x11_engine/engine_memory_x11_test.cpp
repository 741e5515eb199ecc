// The strip memory over real xterms under Xvfb and openbox: quitting and
// starting again brings back the columns and widths, as the server shows.

#include "app/engine/arrange_engine.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_catalog.h"
#include "engine/engine_fakes.h"
#include "engine/engine_probe.h"
#include "services/temp_home.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <functional>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;

class EngineMemoryX11 : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        session = std::make_unique<test::X11Session>();
        if (!session->start({}, &startError))
            session.reset();
    }
    static void TearDownTestSuite() { session.reset(); }

    void SetUp() override
    {
        if (!session) {
            // In CI a missing server is a failure, not a skip.
            if (std::getenv("CI"))
                FAIL() << "no X server for the engine's X11 tests: " << startError;
            GTEST_SKIP() << "no X server for the engine's X11 tests: " << startError;
        }
        home = std::make_unique<test::TempHome>();
        std::string error;
        x11 = X11Desktop::connect(session->display(), &error);
        ASSERT_TRUE(x11) << error;
        x11->attach(&scheduler);
        defaults = std::make_unique<UserDefaults>(home->paths().userDefaults);
        preferences = std::make_unique<Preferences>(*defaults, x11->loginItem(), [](int) { return false; });
        desktop.emplace(Desktop{x11->platform(scheduler, scheduler.clock()), *preferences});
        working = std::make_unique<WorkingApp>(x11->workspace());
        preferences->setArrangeMode(ArrangeMode::strip);
    }

    void TearDown() override
    {
        engine.reset();
        working.reset();
        for (pid_t pid : terms)
            ::kill(pid, SIGTERM);
        if (x11)
            until([&] { return xterms().empty(); });
        terms.clear();
        desktop.reset();
        preferences.reset();
        defaults.reset();
        if (x11)
            x11->attach(nullptr);
        x11.reset();
        home.reset();
    }

    void startEngine()
    {
        engine = std::make_unique<ArrangeEngine>(*desktop, *working, toast, panels);
        engine->start();
    }

    void pump()
    {
        x11->processEvents();
        scheduler.advance(ArrangeEngine::pollInterval);
    }

    bool until(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s)
    {
        return test::waitFor(done, timeout, [&] { pump(); });
    }

    std::vector<WindowID> xterms()
    {
        std::vector<WindowID> out;
        const Snapshot snapshot = WindowCatalog::read(*desktop);
        for (const auto& w : snapshot.windows)
            if (w.bundleID == "XTerm" && w.state == WindowState::visible && snapshot.element(w.id))
                out.push_back(w.id);
        return out;
    }

    std::optional<Rect> serverFrame(WindowID id)
    {
        const auto window = x11->serverWindow(id);
        return window ? session->frame(*window) : std::nullopt;
    }

    // The server's size against the strip's: snapped down by less than a
    // character cell. Columns waiting past an edge stand where openbox
    // lets them, so only the size is compared.
    bool sizedAs(WindowID id)
    {
        const auto got = serverFrame(id);
        const auto window = x11->serverWindow(id);
        const auto target = engine->stripFrames().find(id);
        if (!got || !window || target == engine->stripFrames().end())
            return false;
        const Size step = session->resizeIncrements(*window);
        const Rect& want = target->second;
        return got->width() <= want.width() + 0.5 && got->width() > want.width() - step.width - 0.5 &&
               got->height() <= want.height() + 0.5 && got->height() > want.height() - step.height - 0.5;
    }

    // The strip's columns, one window each, every one sized by the server.
    std::vector<WindowID> columns()
    {
        std::vector<WindowID> out;
        if (engine->strips().size() != 1)
            return out;
        for (const auto& column : engine->strips().begin()->second.columns)
            out.push_back(column.ids.size() == 1 ? column.ids[0] : 0);
        return out;
    }

    bool laidOut(std::size_t count)
    {
        const auto ids = columns();
        if (ids.size() != count || xterms().size() != count)
            return false;
        for (WindowID id : ids)
            if (!id || !sizedAs(id))
                return false;
        return true;
    }

    std::vector<double> widths() const
    {
        std::vector<double> out;
        for (const auto& column : engine->strips().begin()->second.columns)
            out.push_back(column.width);
        return out;
    }

    static inline std::unique_ptr<test::X11Session> session;
    static inline std::string startError;

    std::unique_ptr<test::TempHome> home;
    ManualScheduler scheduler;
    std::unique_ptr<X11Desktop> x11;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<Preferences> preferences;
    std::optional<Desktop> desktop;
    std::unique_ptr<WorkingApp> working;
    RecordingToast toast;
    FakeEnginePanels panels;
    std::unique_ptr<ArrangeEngine> engine;
    std::vector<pid_t> terms;
};

TEST_F(EngineMemoryX11, AStripComesBackAfterQuittingWithItsColumnsAndWidths)
{
    startEngine();
    for (std::size_t n = 1; n <= 3; ++n) {
        terms.push_back(session->launch({"xterm"}));
        ASSERT_TRUE(until([&] { return laidOut(n); })) << n << " xterms are not laid out as columns";
    }
    const std::string key = engine->strips().begin()->first;

    // The middle column narrowed, as the width commands leave it.
    EngineProbe::strips(*engine)[key].columns[1].width = 0.3;
    EngineProbe::applyStrips(*engine);
    ASSERT_TRUE(until([&] { return laidOut(3); }));
    const auto ids = columns();
    const auto before = widths();
    const Rect narrowed = *serverFrame(ids[1]);
    ASSERT_LT(narrowed.width(), serverFrame(ids[2])->width() - 100);
    const auto saved = readFile(engine->memoryFile());
    ASSERT_TRUE(saved);
    EXPECT_NE(saved->find("0.3"), std::string::npos) << *saved;

    // Quit: the windows are laid out as a grid and the engine is gone.
    engine->release();
    engine.reset();
    x11->processEvents();

    startEngine();
    ASSERT_TRUE(until([&] { return laidOut(3) && columns() == ids; })) << "the strip did not come back";
    EXPECT_EQ(widths(), before);
    const auto back = serverFrame(ids[1]);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width(), narrowed.width());
    EXPECT_EQ(back->height(), narrowed.height());
}

} // namespace
} // namespace kavelo::testing
