// The `kavelo` program: picks the desktop (the X server; the simulated one
// only when asked), makes sure it is the one instance on that display, and
// runs the application delegate on the Qt event loop.

#include "app/diagnostics/diagnostics_runners.h"
#include "app/platform/qt/qt_event_pump.h"
#include "app/platform/qt/qt_scheduler.h"
#include "app/platform/qt/qt_screens.h"
#include "app/platform/qt/theme_icons.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/platform/x11/backend.h"
#include "app/services/memory_policy.h"
#include "app/services/process_launcher.h"
#include "app/services/termination_signals.h"
#include "app/shell/app_delegate.h"
#include "app/shell/command_line.h"
#include "app/shell/command_modes.h"
#include "app/shell/qt/qt_shell_views.h"
#include "app/shell/instance_server.h"
#include "app/shell/kavelo_url.h"
#include "app/shell/qt/status_item_qt.h"
#include "app/shell/single_instance.h"
#include "app/shell/url_forwarding.h"
#include "app/workflows/workflows.h"
#include "core/text.h"
#include "core/workspace_store.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

using namespace kavelo;

namespace {

std::optional<std::string> environment(std::string_view name)
{
    const char* value = std::getenv(std::string(name).c_str());
    if (!value)
        return std::nullopt;
    return std::string(value);
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "kavelo: %s\n", message.c_str());
    return 1;
}

// Hands a request to the instance at `paths` and waits until it is done;
// why it was not, if so. A long command line of moves takes the instance
// a while (a strip focus move about 10 ms): each URL adds to the wait.
std::optional<std::string> ask(const InstancePaths& paths, const InstanceRequest& request)
{
    bool reached = false;
    const double answerSeconds = 20 + 0.05 * double(request.urls.size());
    const auto answer = sendToRunningInstance(paths.socket, request, 2.0, answerSeconds, &reached);
    if (!answer)
        return reached ? "the running Kavelo took the request but did not say it was done"
                       : "another Kavelo holds " + paths.lock.string() + " but does not answer";
    return answerError(*answer);
}

} // namespace

int main(int argc, char** argv)
{
    MemoryPolicy::apply();
    const CommandLine commandLine = CommandLine::from(argc, argv);
    if (commandLine.isHelp()) {
        std::fputs(CommandLine::usage().c_str(), stdout);
        return 0;
    }
    if (const auto problem = commandLine.problem()) {
        std::fprintf(stderr, "kavelo: %s\n", problem->c_str());
        return 2;
    }

    // The simulated desktop only when asked for: a start without a display
    // (over ssh, say) must not arrange a desktop that does not exist. The
    // renderer draws offscreen and needs none, but where a display answers
    // its pages show what they would show there.
    const auto variable = environment(backendVariable);
    const auto choice = backendChoice(variable ? std::optional<std::string_view>(*variable) : std::nullopt);
    if (!choice)
        return fail(std::string(backendVariable) + " must be x11 or sim");
    const bool render = commandLine.mode() == "--render";
    const auto display = environment("DISPLAY");
    const bool simulated = *choice == BackendChoice::sim ||
                           (render && *choice == BackendChoice::automatic && (!display || display->empty()));
    if (!simulated && (!display || display->empty()))
        return fail("no X display; set DISPLAY, or KAVELO_BACKEND=sim for the simulated desktop");

    // The watchdog's restart says so, once: programs started later inherit
    // nothing of it.
    const bool relaunched = environment(Watchdog::relaunchedVariable) == "1";
    ::unsetenv(Watchdog::relaunchedVariable);

    // A save while Kavelo runs on the display is the running one's to make:
    // only it knows where the windows its mode parked belong. A name that
    // cannot be saved is the mode's to refuse.
    const std::string displayName = simulated ? "sim" : *display;
    if (commandLine.mode() == "--save" && !WorkspaceStore::nameProblem(commandLine.arguments()[1])) {
        std::string error;
        const auto paths = InstancePaths::make(environment, ::getuid(), displayName, &error);
        if (paths && isListening(paths->socket)) {
            if (const auto failure = ask(*paths, InstanceRequest::saving(commandLine.arguments()[1])))
                return fail(text::printable(*failure));
            return 0;
        }
    }

    // One instance per display: a second start hands over and ends. URLs
    // are checked here, before any toolkit is made, so that a client ends
    // quickly.
    std::optional<InstancePaths> instance;
    std::optional<InstanceLock> lock;
    UrlForwarding::Sorted urls;
    if (commandLine.isNormalStart()) {
        const auto given = commandLine.urls();
        if (!given.empty())
            urls = UrlForwarding::sort(given, WorkspaceStore(Workflows::folder(Paths::current())));
        std::string error;
        instance = InstancePaths::make(environment, ::getuid(), displayName, &error);
        if (!instance)
            return fail(error);
        lock = InstanceLock::acquire(instance->lock, &error);
        if (!lock) {
            if (!error.empty())
                return fail(error);
            // A restart that finds Kavelo running again has nothing to do:
            // only a start the user made asks for the panel.
            if (relaunched)
                return 0;
            const auto send = [&](const InstanceRequest& request) { return ask(*instance, request); };
            if (!given.empty())
                return UrlForwarding::forward(urls, std::cerr, send);
            if (const auto failure = send(InstanceRequest{}))
                return fail(text::printable(*failure));
            return 0;
        }
        // The first start handles its good URLs once launched; with none
        // good there is nothing to start for.
        UrlForwarding::report(urls, std::cerr);
        if (!given.empty() && urls.valid.empty())
            return 2;
    }

    std::unique_ptr<DesktopBackend> backend;
    SimBackend* sim = nullptr;
    if (!simulated) {
        std::string error;
        backend = openDesktopBackend(
            [](std::string_view name) -> std::optional<std::string> {
                if (name == backendVariable)
                    return std::string("x11");
                return environment(name);
            },
            &error);
        if (!backend && !(render && *choice == BackendChoice::automatic))
            return fail("no X display at " + *display + " (" + error +
                        "); set DISPLAY, or KAVELO_BACKEND=sim for the simulated desktop");
        // Our panels are X windows: Qt must draw on the same server.
        if (backend)
            ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    if (!backend) {
        auto made = std::make_unique<SimBackend>();
        sim = made.get();
        backend = std::move(made);
        // Nothing of a simulated desktop is on any real screen.
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    if (render)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QtScreens::useFractionalScales();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kavelo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kavelo"));
    // Panels come and go; hiding the last one must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    {
        // Every native window made carries the icon in the sizes the
        // toolkit sends: drawn once here, not again for each panel.
        const QIcon drawn = QtStatusItem::applicationIcon();
        QIcon icon;
        for (const int side : {16, 32, 64, 128})
            icon.addPixmap(drawn.pixmap(QSize(side, side), 1.0));
        QGuiApplication::setWindowIcon(icon);
    }
    backend->setIconResolver(ThemeIcons::resolver());
    backend->setToolkitScreens(&QtScreens::read);
    QtScreens screens([&backend] { backend->toolkitScreensChanged(); });

    QtScheduler scheduler;
    SystemClock clock;
    QtEventPump pump(*backend, scheduler);
    const ReadableWatch watchReadable = [&scheduler](int fd, std::function<void()> ready) {
        return scheduler.watchReadable(fd, std::move(ready));
    };
    const Platform platform = backend->platform(scheduler, clock);
    QtShellViews views(platform);
    DetachedLauncher launcher;
    AppDelegate delegate(platform, views, commandLine,
                         ShellEnvironment{
                             .paths = Paths::current(),
                             .process = OwnProcess::current(),
                             .launcher = launcher,
                             .updater = backend->updater(),
                             .exit = [](int status) { QCoreApplication::exit(status); },
                             .watchReadable = watchReadable,
                             .render =
                                 [](AppDelegate& delegate, const std::string& directory) {
                                     delegate.exitProcess(runRender(
                                         directory, delegate.desktop().platform.multitouch, delegate.err()));
                                 },
                             .selfTest =
                                 [](AppDelegate& delegate, const std::string&) {
                                     runSelfTest(delegate.desktop(), delegate.workflows(), delegate.out(),
                                                 delegate.err(),
                                                 [&delegate](int status) { delegate.exitProcess(status); });
                                 },
                         });
    TerminationSignals termination(scheduler, [&delegate](int) { delegate.terminate(); });
    // Declared after the delegate, so that it goes first and tells whoever
    // waits that nothing more will be done.
    InstanceServer server(
        scheduler, watchReadable,
        InstanceServer::Program{
            .run =
                [&delegate](const InstanceAction& action) {
                    if (delegate.hasTerminated())
                        return false;
                    const auto before = delegate.defaults().changes();
                    if (action.kind == InstanceAction::Kind::url)
                        delegate.open({action.url});
                    else
                        delegate.reopen();
                    return delegate.defaults().changes() != before;
                },
            .save = [&delegate] { return delegate.saveSettings(); },
            // A client that writes to the socket itself hears what the
            // command line would have said.
            .problem =
                [&delegate](const std::string& url) {
                    const WorkspaceStore& store = delegate.workflows().store();
                    return KaveloUrls::problem(url, [&store](std::string_view name) { return store.load(name).has_value(); });
                },
            .saveWorkflow =
                [&delegate](const std::string& name) -> std::optional<std::string> {
                    if (delegate.hasTerminated())
                        return std::string(InstanceServer::quitting);
                    return delegate.modes().saveWorkflow(name);
                },
        });

    // The launch runs inside the loop, so that it may end it.
    scheduler.post([&] {
        delegate.applicationDidFinishLaunching();
        // Listening only once launched tells a waiting second start that
        // the shortcuts are registered.
        std::string error;
        if (instance && !delegate.hasTerminated() && !server.listen(instance->socket, &error))
            std::fprintf(stderr, "kavelo: %s\n", error.c_str());
        if (!delegate.hasTerminated())
            delegate.open(urls.valid);
    });
    const int status = app.exec();
    // A simulated desktop lives in its state file from run to run.
    if (sim) {
        if (const auto error = sim->desktop().saveToEnvironment())
            std::fprintf(stderr, "kavelo: cannot write the simulated desktop: %s\n", error.message().c_str());
    }
    return status;
}
