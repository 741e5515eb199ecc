#include "app/shell/qt/engine_panels_stand_in.h"

namespace kavelo {

namespace {

class NoTabBars : public TabBars {
public:
    void show(std::vector<Bar>, Select) override {}
};

class NoEdgeZones : public EdgeZones {
public:
    void show(std::vector<Zone>, Clicked) override {}
};

class NoIndicator : public IndicatorPanel {
public:
    Size setRow(std::vector<StripTile>, double, Select, Move) override { return {}; }
    void setFrame(const Rect& frame) override { frame_ = frame; }
    Rect frame() const override { return frame_; }
    void setAlpha(double alpha) override { alpha_ = alpha; }
    double alpha() const override { return alpha_; }
    void orderFront() override {}
    void orderOut() override {}
    bool isShown() const override { return false; }

private:
    Rect frame_;
    double alpha_ = 0;
};

class NoHighlight : public Highlight {
public:
    void start() override {}
};

} // namespace

std::unique_ptr<TabBars> EnginePanelsStandIn::makeTabBars() { return std::make_unique<NoTabBars>(); }
std::unique_ptr<EdgeZones> EnginePanelsStandIn::makeEdgeZones() { return std::make_unique<NoEdgeZones>(); }
std::unique_ptr<IndicatorPanel> EnginePanelsStandIn::makeIndicatorPanel() { return std::make_unique<NoIndicator>(); }
std::unique_ptr<Highlight> EnginePanelsStandIn::makeHighlight(WorkingApp&) { return std::make_unique<NoHighlight>(); }

} // namespace kavelo
