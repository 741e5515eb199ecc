#pragma once

// Recording stand-ins for the panels of Clean Space and No peek, and a
// simulated desktop around them.

#include "app/engine/focus_mode_panels.h"
#include "app/platform/scheduler.h"
#include "services/desktop_fixture.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace kavelo::testing {

class FakePanels;

struct FakeCurtain : CurtainPanel {
    FakeCurtain(FakePanels& owner);
    ~FakeCurtain() override;
    void setFrame(const Rect& f) override;
    void orderFront(WindowID window) override
    {
        shown = true;
        below = window;
    }
    void orderOut() override;

    FakePanels& owner;
    Rect frame;
    bool shown = false;
    std::optional<WindowID> below;
    // Each frame set, with the monotonic time it was set at.
    std::vector<std::pair<double, Rect>> frames;
};

struct FakeBand : ShadeBand {
    FakeBand(FakePanels& owner);
    ~FakeBand() override;
    void setFrame(const Rect& f) override
    {
        frame = f;
        ++frameSets;
    }
    void setLook(double d, bool b) override
    {
        darkness = d;
        blur = b;
        ++lookSets;
    }
    void setShown(bool s) override
    {
        shown = s;
        ++showSets;
    }

    FakePanels& owner;
    Rect frame;
    double darkness = -1;
    bool blur = false;
    bool shown = false;
    int frameSets = 0;
    int lookSets = 0;
    int showSets = 0;
};

class FakePanels : public FocusModePanels {
public:
    explicit FakePanels(Clock& clock) : clock(clock) {}

    std::unique_ptr<CurtainPanel> makeCurtain(bool onLeft) override
    {
        ++curtainsMade;
        sides.push_back(onLeft);
        return std::make_unique<FakeCurtain>(*this);
    }
    std::unique_ptr<ShadeBand> makeShadeBand() override
    {
        ++bandsMade;
        return std::make_unique<FakeBand>(*this);
    }
    std::optional<Rect> ownTitledKeyWindow() const override { return ownKeyWindow; }

    // The living ones, in the order they were made.
    std::vector<FakeCurtain*> curtains;
    std::vector<FakeBand*> bands;
    int curtainsMade = 0;
    std::vector<bool> sides;   // each curtain made: the left one?
    int bandsMade = 0;
    std::optional<Rect> ownKeyWindow;
    Clock& clock;
    // Each curtain ordered out: when, and its frame then.
    std::vector<std::pair<double, Rect>> orderedOut;
    // The frames of curtains that are gone, in the order they went.
    std::vector<std::vector<std::pair<double, Rect>>> retired;

    std::vector<FakeCurtain*> shownCurtains() const
    {
        std::vector<FakeCurtain*> out;
        std::copy_if(curtains.begin(), curtains.end(), std::back_inserter(out), [](auto* c) { return c->shown; });
        return out;
    }
    std::vector<Rect> shownBandFrames() const
    {
        std::vector<Rect> out;
        for (auto* b : bands)
            if (b->shown)
                out.push_back(b->frame);
        return out;
    }
    int frameSets() const
    {
        int n = 0;
        for (auto* b : bands)
            n += b->frameSets;
        return n;
    }
};

inline FakeCurtain::FakeCurtain(FakePanels& owner) : owner(owner) { owner.curtains.push_back(this); }
inline FakeCurtain::~FakeCurtain()
{
    std::erase(owner.curtains, this);
    owner.retired.push_back(std::move(frames));
}
inline void FakeCurtain::orderOut()
{
    shown = false;
    owner.orderedOut.emplace_back(owner.clock.monotonic().count(), frame);
}
inline void FakeCurtain::setFrame(const Rect& f)
{
    frame = f;
    frames.emplace_back(owner.clock.monotonic().count(), f);
}
inline FakeBand::FakeBand(FakePanels& owner) : owner(owner) { owner.bands.push_back(this); }
inline FakeBand::~FakeBand() { std::erase(owner.bands, this); }

// A desktop with the fake panels and the working application, tracked.
struct FocusWorld : SimWorld {
    FocusWorld() : panels(scheduler.clock()), working(sim.workspace()) {}

    std::int32_t own() { return sim.workspace().ownPid(); }
    std::uint32_t primary() { return sim.displayList().front().id; }
    void tick(double seconds) { scheduler.advance(seconds); }

    FakePanels panels;
    WorkingApp working;
};

} // namespace kavelo::testing
