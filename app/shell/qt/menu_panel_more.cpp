#include "app/shell/qt/menu_panel_view.h"
#include "app/shell/qt/menu_panel_text.h"

#include "app/settings/bound_picker.h"
#include "app/settings/switch.h"

#include <QSignalBlocker>
#include <QVBoxLayout>

#include <tuple>

// The "More" disclosure's rows: which switches and pickers it holds follows
// the plan's shape; their values follow the plan on every change.

namespace kavelo {

namespace {

// What decides which rows "More" holds (not their values).
auto moreShape(const MenuPanelPlan& plan)
{
    std::vector<PanelOption> options;
    bool leaveAlone = false, keepsHeight = false;
    if (plan.arranging) {
        for (const auto& o : plan.arranging->options)
            options.push_back(o.option);
        leaveAlone = plan.arranging->leaveAloneTitle.has_value();
        keepsHeight = plan.arranging->keepsOriginalHeight.has_value();
    }
    return std::tuple(plan.arranging.has_value(), options, leaveAlone,
                      plan.arranging ? plan.arranging->leaveAloneTitle.value_or("") : std::string(), keepsHeight,
                      plan.noPeek.has_value());
}

} // namespace

void MenuPanelView::applyMore(const MenuPanelPlan& plan, bool first)
{
    {
        const QSignalBlocker quiet(static_cast<QAbstractButton*>(moreHeader_));
        static_cast<QAbstractButton*>(moreHeader_)->setChecked(plan.moreOpen);
    }
    moreContent_->setVisible(plan.moreOpen);
    if (first || moreShape(plan) != moreShape(plan_))
        rebuildMore(plan);
    refreshMoreValues(plan);
}

void MenuPanelView::rebuildMore(const MenuPanelPlan& plan)
{
    // The old rows may be sending the change that brought us here.
    if (moreBlocks_) {
        moreBlocks_->hide();
        moreLayout_->removeWidget(moreBlocks_);
        moreBlocks_->deleteLater();
    }
    pause_.reset();
    options_.clear();
    switches_.clear();
    moreBlocks_ = new QWidget(moreContent_);
    auto* column = new QVBoxLayout(moreBlocks_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(7);
    Preferences& prefs = panel_.preferences;
    const auto keep = [this](const QString& title, SwitchRowWidgets w) {
        switches_.emplace_back(title, w);
        return w;
    };
    if (plan.arranging) {
        const QString pauseTitle = QStringLiteral("Pause arranging");
        pause_ = keep(pauseTitle, addSwitch(column, pauseTitle, [this](bool) {
                          // Flips the engine whatever the switch showed, then shows the truth.
                          state_.paused = MenuPanelActions::flipPause(panel_.arrange);
                          refresh();
                          const QSignalBlocker quiet(pause_->toggle);
                          pause_->toggle->setChecked(state_.paused);
                      }));
        auto* optionBox = new QWidget(moreBlocks_);
        auto* optionColumn = new QVBoxLayout(optionBox);
        optionColumn->setContentsMargins(0, 0, 0, 0);
        optionColumn->setSpacing(4);
        for (const auto& o : plan.arranging->options)
            options_.push_back(addOption(optionColumn, o.option));
        column->addWidget(optionBox);
        if (plan.arranging->leaveAloneTitle && panel_.frontApp) {
            const std::string id = panel_.frontApp->id;
            const QString title = qs(*plan.arranging->leaveAloneTitle);
            keep(title, addSwitch(column, title,
                                  [&prefs, id](bool on) { MenuPanelActions::setLeftAlone(prefs, id, on); }));
        }
        const QString display = QStringLiteral("Arrange this display");
        keep(display, addSwitch(column, display, [this, &prefs](bool on) {
                 MenuPanelActions::setArrangesDisplay(prefs, screen(), on);
             }));
        if (plan.arranging->keepsOriginalHeight) {
            const QString title = QStringLiteral("Keep original window height");
            keep(title, addSwitch(column, title, [&prefs](bool on) { prefs.setKeepsOriginalHeight(on); }));
        }
        const QString follows = QStringLiteral("Focus follows mouse");
        keep(follows, addSwitch(column, follows, [&prefs](bool on) { prefs.setFocusFollowsMouse(on); }));
        const QString mouse = QStringLiteral("Mouse follows focus");
        keep(mouse, addSwitch(column, mouse, [&prefs](bool on) { prefs.setMouseFollowsFocus(on); }));
    }
    if (plan.noPeek) {
        options_.push_back(addOption(column, PanelOption::darkness));
        const QString blur = QStringLiteral("Blur as well");
        keep(blur, addSwitch(column, blur, [&prefs](bool on) { prefs.setNoPeekBlur(on); }));
    }
    moreLayout_->addWidget(moreBlocks_);
}

void MenuPanelView::refreshMoreValues(const MenuPanelPlan& plan)
{
    const auto set = [this](const QString& title, bool on) {
        if (const auto w = moreSwitch(title)) {
            const QSignalBlocker quiet(w->toggle);
            w->toggle->setChecked(on);
        }
    };
    if (plan.arranging) {
        const auto& a = *plan.arranging;
        set(QStringLiteral("Pause arranging"), a.paused);
        if (a.leaveAloneTitle)
            set(qs(*a.leaveAloneTitle), a.leftAlone);
        set(QStringLiteral("Arrange this display"), a.arrangeThisDisplay);
        if (a.keepsOriginalHeight)
            set(QStringLiteral("Keep original window height"), *a.keepsOriginalHeight);
        set(QStringLiteral("Focus follows mouse"), a.focusFollowsMouse);
        set(QStringLiteral("Mouse follows focus"), a.mouseFollowsFocus);
    }
    if (plan.noPeek)
        set(QStringLiteral("Blur as well"), plan.noPeek->blur);
    for (auto& o : options_)
        o.picker->refresh();
}

std::optional<SwitchRowWidgets> MenuPanelView::moreSwitch(const QString& title) const
{
    for (const auto& [name, w] : switches_)
        if (name == title)
            return w;
    return std::nullopt;
}

std::optional<OptionRowWidgets> MenuPanelView::optionRow(PanelOption option) const
{
    for (const auto& o : options_)
        if (o.option == option)
            return o;
    return std::nullopt;
}

} // namespace kavelo
