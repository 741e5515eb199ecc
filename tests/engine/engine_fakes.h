#pragma once

// Recording stand-ins for what the arrange engine shows: tab bars, edge
// zones, the indicator's panel, the highlight, and toasts. Each keeps every
// call so a test can check what the engine asked for and replay a click.

#include "app/engine/panels.h"
#include "services/recording_toast.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kavelo::testing {

class RecordingTabBars : public TabBars {
public:
    void show(std::vector<Bar> bars, Select select) override
    {
        shows.push_back(std::move(bars));
        this->select = std::move(select);
    }
    // What the last show asked for; nothing before the first.
    std::vector<Bar> current() const { return shows.empty() ? std::vector<Bar>{} : shows.back(); }

    std::vector<std::vector<Bar>> shows;
    Select select;
};

class RecordingEdgeZones : public EdgeZones {
public:
    void show(std::vector<Zone> zones, Clicked clicked) override
    {
        shows.push_back(std::move(zones));
        this->clicked = std::move(clicked);
    }
    std::vector<Zone> current() const { return shows.empty() ? std::vector<Zone>{} : shows.back(); }

    std::vector<std::vector<Zone>> shows;
    Clicked clicked;
};

class RecordingIndicatorPanel : public IndicatorPanel {
public:
    Size setRow(std::vector<StripTile> tiles, double scale, Select select, Move move) override
    {
        this->tiles = std::move(tiles);
        this->scale = scale;
        this->select = std::move(select);
        this->move = std::move(move);
        ++rows;
        return rowSize;
    }
    void setFrame(const Rect& frame) override { frame_ = frame; }
    Rect frame() const override { return frame_; }
    void setAlpha(double alpha) override { alpha_ = alpha; }
    double alpha() const override { return alpha_; }
    void orderFront() override
    {
        shown_ = true;
        ++fronts;
    }
    void orderOut() override
    {
        shown_ = false;
        ++outs;
    }
    bool isShown() const override { return shown_; }

    std::vector<StripTile> tiles;
    double scale = 0;
    Select select;
    Move move;
    Size rowSize{200, 64};
    int rows = 0;
    int fronts = 0;
    int outs = 0;

private:
    Rect frame_;
    double alpha_ = 1;
    bool shown_ = false;
};

class RecordingHighlight : public Highlight {
public:
    void start() override { ++starts; }
    int starts = 0;
};

// Keeps a pointer to each panel it made; the engine owns them.
class FakeEnginePanels : public EnginePanels {
public:
    std::unique_ptr<TabBars> makeTabBars() override { return made(tabBars); }
    std::unique_ptr<EdgeZones> makeEdgeZones() override { return made(edgeZones); }
    std::unique_ptr<IndicatorPanel> makeIndicatorPanel() override { return made(indicator); }
    std::unique_ptr<Highlight> makeHighlight(WorkingApp&) override { return made(highlight); }

    RecordingTabBars* tabBars = nullptr;
    RecordingEdgeZones* edgeZones = nullptr;
    RecordingIndicatorPanel* indicator = nullptr;
    RecordingHighlight* highlight = nullptr;

private:
    template <class T>
    static std::unique_ptr<T> made(T*& keep)
    {
        auto out = std::make_unique<T>();
        keep = out.get();
        return out;
    }
};

} // namespace kavelo::testing
