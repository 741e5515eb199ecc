#pragma once

// The engine's panels until their Qt windows join the program: tab bars,
// edge zones, the strip indicator and the highlight that show nothing. The
// engine arranges all the same; only its on-screen helpers are missing.

#include "app/engine/panels.h"

#include <memory>

namespace kavelo {

class EnginePanelsStandIn : public EnginePanels {
public:
    std::unique_ptr<TabBars> makeTabBars() override;
    std::unique_ptr<EdgeZones> makeEdgeZones() override;
    std::unique_ptr<IndicatorPanel> makeIndicatorPanel() override;
    std::unique_ptr<Highlight> makeHighlight(WorkingApp& workingApp) override;
};

} // namespace kavelo
