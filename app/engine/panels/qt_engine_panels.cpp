#include "app/engine/panels/qt_engine_panels.h"

#include "app/engine/panels/strip_indicator_panel.h"
#include "app/ui/active_border.h"

namespace kavelo {

namespace {

class NoTabBars final : public TabBars {
public:
    void show(std::vector<Bar>, Select) override {}
};

class NoEdgeZones final : public EdgeZones {
public:
    void show(std::vector<Zone>, Clicked) override {}
};

class BorderHighlight final : public Highlight {
public:
    BorderHighlight(const Desktop& desktop, WorkingApp& workingApp, PanelHost& host) : border_(desktop, workingApp, host) {}
    void start() override { border_.start(); }

private:
    ActiveBorder border_;
};

QImage toQImage(const Image& image)
{
    const QImage view(image.rgba.data(), image.width, image.height, image.width * 4, QImage::Format_RGBA8888);
    // A copy: the view borrows the platform's pixels.
    return view.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

QtEnginePanels::QtEnginePanels(const Desktop& desktop, PanelHost& host) : desktop_(desktop), host_(host) {}

std::unique_ptr<TabBars> QtEnginePanels::makeTabBars()
{
    return std::make_unique<NoTabBars>();
}

std::unique_ptr<EdgeZones> QtEnginePanels::makeEdgeZones()
{
    return std::make_unique<NoEdgeZones>();
}

std::unique_ptr<IndicatorPanel> QtEnginePanels::makeIndicatorPanel()
{
    return std::make_unique<StripIndicatorPanel>(
        host_, desktop_.platform.displays,
        [&workspace = desktop_.platform.workspace](const std::string& bundleID) { return icon(workspace, bundleID); });
}

std::unique_ptr<Highlight> QtEnginePanels::makeHighlight(WorkingApp& workingApp)
{
    return std::make_unique<BorderHighlight>(desktop_, workingApp, host_);
}

std::optional<QImage> QtEnginePanels::icon(const SystemWorkspace& workspace, const std::string& bundleID)
{
    for (const auto& app : workspace.runningApps()) {
        if (!app.bundleID || *app.bundleID != bundleID)
            continue;
        const auto image = workspace.icon(app.pid);
        if (!image || !image->isValid())
            return std::nullopt;
        return toQImage(*image);
    }
    return std::nullopt;
}

} // namespace kavelo
