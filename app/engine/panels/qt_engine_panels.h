#pragma once

// The arrange engine's panels as Qt windows, made through the `EnginePanels`
// factory the shell hands the engine: the strip indicator's panel and the
// active-window highlight. The tab bars and the edge zones show nothing
// yet.

#include "app/engine/panels.h"
#include "app/services/desktop.h"
#include "app/ui/panel_host.h"

#include <QImage>

#include <optional>
#include <string>

namespace kavelo {

class QtEnginePanels : public EnginePanels {
public:
    // `host` must outlive the engine's panels.
    QtEnginePanels(const Desktop& desktop, PanelHost& host);

    std::unique_ptr<TabBars> makeTabBars() override;
    std::unique_ptr<EdgeZones> makeEdgeZones() override;
    std::unique_ptr<IndicatorPanel> makeIndicatorPanel() override;
    std::unique_ptr<Highlight> makeHighlight(WorkingApp& workingApp) override;

    // The icon of the first running application with this bundle
    // identifier; none when none runs or it has no icon.
    static std::optional<QImage> icon(const SystemWorkspace& workspace, const std::string& bundleID);

private:
    Desktop desktop_;
    PanelHost& host_;
};

} // namespace kavelo
