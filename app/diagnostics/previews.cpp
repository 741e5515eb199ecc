#include "app/diagnostics/previews.h"

#include "app/diagnostics/preview_samples.h"
#include "app/diagnostics/sample_window.h"
#include "app/engine/arrange_engine.h"
#include "app/engine/panels/qt_engine_panels.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/paths.h"
#include "app/platform/qt/qt_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/platform/xdg_login_item.h"
#include "app/services/permissions.h"
#include "app/services/preferences.h"
#include "app/services/process_launcher.h"
#include "app/services/user_defaults.h"
#include "app/services/working_app.h"
#include "app/settings/grid_chooser.h"
#include "app/settings/permission_actions.h"
#include "app/settings/settings_view.h"
#include "app/settings/welcome_view.h"
#include "app/shell/menu_panel.h"
#include "app/shell/qt/menu_panel_view.h"
#include "app/workflows/workflows.h"
#include "app/switcher/overview_model.h"
#include "app/switcher/views/overview_view.h"
#include "app/ui/capture.h"
#include "app/ui/panel_host.h"
#include "app/ui/theme.h"
#include "core/grid_navigation.h"

#include <QApplication>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <memory>

namespace kavelo::Previews {

namespace {

// The renderer's own sources of time: nothing runs on `still` (the
// permission watcher's poll, the desktop), and `frames` drives the views'
// animations until they rest.
constexpr double frame = 1.0 / 60;
constexpr int mostFrames = 300;

struct SilentToast : Toast {
    void show(std::string, std::string) override {}
};

struct NoPanels : WorkflowPanels {
    std::optional<std::string> askWorkflowName() override { return std::nullopt; }
    std::optional<std::filesystem::path> chooseExportFile(const std::string&) override { return std::nullopt; }
    std::optional<std::filesystem::path> chooseImportFile() override { return std::nullopt; }
};

struct NoLaunches : ProcessLauncher {
    bool launch(const std::string&, const std::vector<std::string>&) override { return false; }
};

// `Theme::isRendering` as it was before, whatever way the render ends.
class RenderingFlag {
public:
    RenderingFlag() : was_(Theme::isRendering) { Theme::isRendering = true; }
    ~RenderingFlag() { Theme::isRendering = was_; }
    RenderingFlag(const RenderingFlag&) = delete;
    RenderingFlag& operator=(const RenderingFlag&) = delete;

private:
    bool was_;
};

void flushEvents()
{
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

// `content` on `background`, `padding` in on every side of a `width` wide
// picture as tall as the content needs.
QWidget* padded(QWidget* content, const QColor& background, int padding, int width)
{
    auto* holder = new QWidget;
    holder->setAutoFillBackground(true);
    QPalette palette = holder->palette();
    palette.setColor(QPalette::Window, background);
    holder->setPalette(palette);
    content->setParent(holder);
    content->ensurePolished();
    const int inner = width - 2 * padding;
    int height = content->hasHeightForWidth() ? content->heightForWidth(inner) : content->sizeHint().height();
    height = std::max(height, content->minimumSizeHint().height());
    content->setGeometry(padding, padding, inner, height);
    holder->setFixedSize(width, height + 2 * padding);
    return holder;
}

class Renderer {
public:
    Renderer(std::string directory, ManualScheduler& frames, const Inspector& inspect)
        : directory_(std::move(directory)), frames_(frames), inspect_(inspect)
    {
    }

    // Takes `view`, lays it out at the screen's size on the window
    // background, lets it settle and writes its picture.
    void save(QWidget* view, Screen screen)
    {
        auto window = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint);
        // Laid out and shown to Qt, never to a screen.
        window->setAttribute(Qt::WA_DontShowOnScreen);
        // What the views prepare ahead is made at the picture's scale.
        Capture::setPictureScale(*window, screen.scale);
        if (screen.height <= 0)
            screen.height = view->minimumHeight();
        window->setFixedSize(screen.width, screen.height);
        window->setAutoFillBackground(true);
        QPalette palette = window->palette();
        palette.setColor(QPalette::Window, Theme::night());
        window->setPalette(palette);
        auto* layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        // A view of fixed size smaller than the picture (the menu panel)
        // sits in its middle.
        layout->addWidget(view);
        window->show();
        settle();
        if (inspect_)
            inspect_(screen, *view);
        QImage picture = Capture::render(*window, screen.scale);
        picture.setDevicePixelRatio(1);
        const std::string path = directory_ + screen.file;
        if (picture.isNull() || !Capture::savePng(picture, path))
            unwritten_.push_back(path);
        window->hide();
    }

    std::vector<std::string> unwritten() && { return std::move(unwritten_); }

private:
    void settle()
    {
        flushEvents();
        for (int i = 0; i < mostFrames && frames_.pendingCount() > 0; ++i) {
            frames_.advance(frame);
            flushEvents();
        }
    }

    std::string directory_;
    ManualScheduler& frames_;
    const Inspector& inspect_;
    std::vector<std::string> unwritten_;
};

const Screen& screen(std::string_view file)
{
    for (const Screen& s : screens())
        if (s.file == file)
            return s;
    return screens().front();
}

} // namespace

const std::vector<Screen>& screens()
{
    static const std::vector<Screen> all{
        {"/overview.png", 1920, 1080},          {"/overview-minimized.png", 1920, 1080},
        {"/overview-other.png", 1920, 1080},    {"/overview-search.png", 1920, 1080},
        {"/overview-empty.png", 1920, 1080},    {"/overview-2x.png", 1920, 1080, 2},
        {"/welcome.png", 540, 740},
        {"/settings-general.png", 760, 560},    {"/settings-shortcuts.png", 760, 560},
        {"/settings-permissions.png", 760, 560}, {"/settings-workflows.png", 760, 560},
        // The chooser's editor does not fit 640 × 500: it is drawn whole.
        {"/settings-arrange.png", 760, 560},    {"/grid-chooser.png", 640, 0},
        {"/grid-chooser-light.png", 640, 0},    {"/menu-panel.png", 320, 860},
    };
    return all;
}

std::vector<std::string> render(const std::string& directory, const std::filesystem::path& userDefaults,
                                const Multitouch& trackpads, const Inspector& inspect)
{
    const RenderingFlag rendering;
    ManualScheduler still;
    ManualScheduler frames;
    const AnimationTime time{frames, frames.clock()};
    SimDesktop sim;
    // As on X11: nothing to grant, so the permission rows show what this
    // desktop shows.
    sim.setAsksPermissions(false);
    const Platform platform = sim.platform(still, still.clock());
    const Paths paths = Paths::current();
    const OwnProcess process = OwnProcess::current();
    XdgLoginItem loginItem(paths.autostartEntry, process.executable);
    UserDefaults store(userDefaults);
    Preferences preferences(store, loginItem, [](int) { return false; });
    const Desktop desktop{platform, preferences};
    SilentToast toast;
    NoPanels panels;
    NoLaunches launcher;
    Renderer renderer(directory, frames, inspect);
    const Date now = SystemClock().now();

    // The overview, in its five states, over one model.
    const auto samples = PreviewSamples::windows();
    OverviewModel model;
    model.setWindows(samples);
    model.setColumns(std::clamp(GridNavigation::columns(int(samples.size()), 1920, 860), 3, 6));
    model.setSelection(2);
    model.setMissingPermission(false);
    model.setWorkflows(PreviewSamples::overviewWorkflows(now));
    for (const WindowEntry& window : samples)
        model.setThumbnail(window.id, SampleWindow::image(window));
    const auto overview = [&](std::string_view file) {
        OverviewActions actions{
            .open = [](const WindowEntry&) {},
            .close = [] {},
            .fixPermissions = [] {},
            .switchWorkflow = [](const std::string&) {},
            .pointer = [] { return Point(); },
            .icon = [](std::int32_t) { return std::optional<Image>(); },
        };
        auto* view = new OverviewView(model, std::move(actions), time);
        // The view follows the model's changes; the pictures and the query
        // came before it, so they are told again. A query told again moves
        // the selection to 0, where it already is.
        model.setThumbnails(std::unordered_map<WindowID, SharedImage>(model.thumbnails()));
        if (!model.query().empty()) {
            const int selection = model.selection();
            model.setQuery(model.query());
            model.setSelection(selection);
        }
        renderer.save(view, screen(file));
    };
    overview("/overview.png");
    model.setScope(WindowScope::minimized);
    model.setSelection(0);
    overview("/overview-minimized.png");
    model.setScope(WindowScope::otherDesktops);
    model.setSelection(0);
    overview("/overview-other.png");
    model.setScope(WindowScope::all);
    model.setSelection(0);
    model.setQuery("budget");
    model.setSelection(0);
    overview("/overview-search.png");
    model.setQuery("zebra");
    model.setSelection(0);
    overview("/overview-empty.png");
    // The first again on a monitor at twice the scale, with pictures
    // captured at its pixels.
    model.setQuery("");
    model.setSelection(2);
    for (const WindowEntry& window : samples)
        model.setThumbnail(window.id, SampleWindow::image(window, 2));
    overview("/overview-2x.png");

    // The welcome window and the settings pages show these flags: the
    // watcher never polls, its scheduler stands still.
    PermissionWatcher watcher(platform.accessibility, platform.capture, still);
    watcher.accessibility.set(true);
    watcher.screenRecording.set(false);
    watcher.askedForScreenRecording.set(true);
    const PermissionActions permissions{
        platform.accessibility,
        Permissions{platform.capture, platform.workspace, launcher, process, [] {}},
    };
    renderer.save(new WelcomeView(watcher, preferences, permissions, time, [] {}), screen("/welcome.png"));

    Workflows workflows(desktop, toast, panels, Workflows::folder(paths), PreviewSamples::settingsWorkflows(now));
    const std::pair<SettingsTab, std::string_view> pages[] = {
        {SettingsTab::general, "/settings-general.png"},
        {SettingsTab::shortcuts, "/settings-shortcuts.png"},
        {SettingsTab::permissions, "/settings-permissions.png"},
        {SettingsTab::workflows, "/settings-workflows.png"},
        {SettingsTab::arrange, "/settings-arrange.png"},
    };
    for (const auto& [tab, file] : pages) {
        auto* view = new SettingsView(preferences, watcher, workflows, permissions, platform.keyboard, time, tab);
        view->setArrangeSources(ArrangeSources{
            .displays = platform.displays,
            .workspace = platform.workspace,
            .ownBundleID = platform.appInfo.bundleID(),
            .clashingApp = [] { return std::optional<std::string>(); },
            .multitouch = &trackpads,
        });
        renderer.save(view, screen(file));
    }

    // The grid editor of a screen named "Preview", dark and then light on
    // a light background.
    const Screen& darkChooser = screen("/grid-chooser.png");
    renderer.save(padded(new GridChooser(preferences, "Preview", time, ColorScheme::dark), Theme::night(), 20,
                         darkChooser.width),
                  darkChooser);
    const Screen& lightChooser = screen("/grid-chooser-light.png");
    renderer.save(padded(new GridChooser(preferences, "Preview", time, ColorScheme::light),
                         QColor::fromRgbF(0.92f, 0.92f, 0.92f), 20, lightChooser.width),
                  lightChooser);

    // The menu panel over an engine that is never started.
    WorkingApp workingApp(platform.workspace);
    PanelHost host(platform);
    QtEnginePanels enginePanels(desktop, host);
    ArrangeEngine engine(desktop, workingApp, toast, enginePanels);
    MenuPanel panel{
        .workflows = workflows.items(),
        .arrange = engine,
        .frontApp = std::nullopt,
        .needsSetup = false,
        .canUpdate = false,
        .find = [] {},
        .tidy = [] {},
        .saveWorkflow = [] {},
        .deleteWorkflow = [](const std::string&) {},
        .switchWorkflow = [](const std::string&) {},
        .settings = [] {},
        .arrangeSettings = [] {},
        .setup = [] {},
        .update = [] {},
        .quit = [] {},
        .preferences = preferences,
    };
    const std::string display = screenUnderPointer(platform.displays, platform.mouse);
    renderer.save(new MenuPanelView(std::move(panel), MenuPanelContext{time, [display] { return display; }}),
                  screen("/menu-panel.png"));

    return std::move(renderer).unwritten();
}

} // namespace kavelo::Previews
