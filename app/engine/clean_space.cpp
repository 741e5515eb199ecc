#include "app/engine/clean_space.h"

#include "app/services/ax.h"
#include "app/services/window_actions.h"
#include "core/screen_coordinates.h"

#include <algorithm>

namespace kavelo {

CleanSpace::CleanSpace(const Desktop& desktop, WorkingApp& workingApp, FocusModePanels& panels)
    : desktop_(desktop), workingApp_(workingApp), panels_(panels)
{
}

CleanSpace::~CleanSpace()
{
    timer_.cancel();
}

void CleanSpace::start()
{
    if (timer_.pending())
        return;
    workingApp_.start();
    timer_ = desktop_.platform.scheduler.every(tick, [this] { update(); });
}

void CleanSpace::pauseFor(double seconds)
{
    if (pauseArranging)
        pauseArranging(seconds);
}

std::optional<CleanSpace::Focused> CleanSpace::focused() const
{
    const Platform& system = desktop_.platform;
    // Asked ten times a second: the window list and properties read once.
    const Handle together = system.windowServer.shareReads();
    const auto app = workingApp_.current();
    if (!app || app->pid == system.workspace.ownPid())
        return std::nullopt;
    ElementRef window = AX::focusedWindow(system.accessibility, app->pid);
    if (!window)
        return std::nullopt;
    const auto number = window->windowNumber();
    if (!number || *number == 0)
        return std::nullopt;
    return Focused{*number, std::move(window)};
}

void CleanSpace::update()
{
    Preferences& preferences = desktop_.preferences;
    if (preferences.cleanSpaceOn() && !active_) {
        if (!enter())
            preferences.setCleanSpaceOn(false);
        return;
    }
    if (!active_)
        return;
    const auto now = preferences.cleanSpaceOn() ? focused() : std::nullopt;
    if (!now || now->id != active_->id) {
        if (preferences.cleanSpaceOn())
            preferences.setCleanSpaceOn(false);
        exit();
    }
}

bool CleanSpace::enter()
{
    const auto f = focused();
    if (!f)
        return false;
    const auto rect = AX::rect(*f->element);
    if (!rect || !rect->isFinite())
        return false;
    if (AX::value<bool>(f->element, AX::fullScreenAttribute).value_or(false))
        return false;
    const auto screen = WindowActions::screen(desktop_, *rect);
    if (!screen)
        return false;
    // Checked before pausing, so a screen without room changes nothing.
    const auto area = WindowActions::area(desktop_, *screen);
    if (!area)
        return false;

    pauseFor(pause);
    active_ = Active{f->id, f->element, *rect};
    screen_ = screen;
    AX::setFrame(*f->element, *area);
    f->element->raise();

    const Rect full = ScreenCoordinates::flip(screen->frame, WindowActions::primaryHeight(desktop_));
    const auto targets = Curtains::targets(full);
    std::vector<CurtainGroup::Curtain> curtains;
    for (const Rect& target : targets) {
        CurtainGroup::Curtain curtain{panels_.makeCurtain(target.minX() <= full.minX()),
                                      Curtains::outerStrip(target, full.minX())};
        curtain.panel->setFrame(curtain.frame);
        curtains.push_back(std::move(curtain));
    }
    curtains_ = std::make_unique<CurtainGroup>(desktop_.platform.scheduler, desktop_.platform.clock,
                                               std::move(curtains), std::vector<Rect>(targets.begin(), targets.end()),
                                               TimingCurve::easeOut(), nullptr);
    for (const auto& curtain : curtains_->curtains())
        curtain.panel->orderFront(f->id);
    return true;
}

void CleanSpace::exit()
{
    if (!active_)
        return;
    AX::setFrame(*active_->element, active_->was);
    active_.reset();
    pauseFor(0);
    if (!curtains_)
        return;
    auto closing = curtains_->take();
    curtains_.reset();
    const double screenMinX = screen_ ? screen_->frame.minX() : 0;
    std::vector<Rect> ends;
    for (const auto& curtain : closing)
        ends.push_back(Curtains::outerStrip(curtain.frame, screenMinX));
    auto self = std::make_shared<CurtainGroup*>(nullptr);
    auto group = std::make_unique<CurtainGroup>(
        desktop_.platform.scheduler, desktop_.platform.clock, std::move(closing), std::move(ends),
        TimingCurve::easeIn(), [this, self] {
            CurtainGroup* opened = *self;
            for (const auto& curtain : opened->curtains())
                curtain.panel->orderOut();
            std::erase_if(opening_, [opened](const auto& g) { return g.get() == opened; });
        });
    *self = group.get();
    opening_.push_back(std::move(group));
}

void CleanSpace::end()
{
    // Curtains still opening from an earlier mode go too: nothing is left
    // on screen after quitting.
    for (const auto& group : opening_)
        for (const auto& curtain : group->curtains())
            curtain.panel->orderOut();
    opening_.clear();
    if (!active_)
        return;
    AX::setFrame(*active_->element, active_->was);
    active_.reset();
    if (curtains_)
        for (const auto& curtain : curtains_->curtains())
            curtain.panel->orderOut();
    curtains_.reset();
}

} // namespace kavelo
