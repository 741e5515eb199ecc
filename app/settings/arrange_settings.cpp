#include "app/settings/arrange_settings.h"

#include "app/services/key_texts.h"
#include "app/services/preferences.h"
#include "app/settings/app_row.h"
#include "app/settings/colour_well.h"
#include "app/settings/grid_chooser.h"
#include "app/settings/mode_card.h"
#include "app/settings/bound_picker.h"
#include "app/settings/setting_group.h"
#include "app/settings/setting_rows.h"
#include "app/settings/settings_style.h"
#include "app/settings/warning_label.h"
#include "app/ui/fonts.h"
#include "app/ui/pill_button.h"
#include "app/ui/theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kavelo {

namespace {

// The page's sections, top to bottom.
enum SlotIndex {
    modeSlot,
    screensOffSlot,
    clashSlot,
    layoutSlot,
    learnedSlot,
    gridSlot,
    stripSlot,
    stripHelpSlot,
    swipeSlot,
    spacingSlot,
    activeSlot,
    focusSlot,
    appsSlot,
    slotCount
};

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), int(s.size()));
}

QWidget* transparent(QWidget* widget)
{
    widget->setAttribute(Qt::WA_TranslucentBackground);
    return widget;
}

// Widgets of type T under `root`. Our widgets carry no meta-object of
// their own, so Qt's typed search cannot tell them apart.
template <class T>
std::vector<T*> descendants(const QObject* root, Qt::FindChildOptions options = Qt::FindChildrenRecursively)
{
    std::vector<T*> out;
    for (QWidget* widget : root->findChildren<QWidget*>(QString(), options))
        if (auto* found = dynamic_cast<T*>(widget))
            out.push_back(found);
    return out;
}

// A column of sibling sections, spaced as the page spaces its own.
QVBoxLayout* siblings(QWidget* holder)
{
    auto* stack = new QVBoxLayout(holder);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(ArrangeSettings::sectionSpacing);
    return stack;
}

} // namespace

struct ArrangeSettings::Slot {
    QWidget* holder = nullptr;
    QVBoxLayout* layout = nullptr;
    QWidget* content = nullptr;
};

QString ArrangeSettings::swipeWarningText()
{
    return QStringLiteral("While the strip is on, Kavelo takes every trackpad swipe, so the desktop and the "
                          "window under the pointer no longer get them.");
}

QString ArrangeSettings::noSwipesText()
{
    return QStringLiteral("No trackpad gestures reach Kavelo on this desktop");
}

QString ArrangeSettings::clashText(const std::string& app)
{
    return QString::fromStdString(app) +
           QStringLiteral(" also moves windows. Quit it while using this, or the two will fight.");
}

QString ArrangeSettings::screenOffText(const std::string& screen)
{
    return QStringLiteral("Kavelo is leaving ") + QString::fromStdString(screen) + QStringLiteral(" alone.");
}

QString ArrangeSettings::learnedSizesText(std::size_t count)
{
    return QStringLiteral("Learned window sizes: ") + QString::number(count) + QStringLiteral(" apps");
}

QString ArrangeSettings::appsTitle(ArrangeMode mode)
{
    return mode == ArrangeMode::strip ? QStringLiteral("Apps: leave alone, or fix a strip position")
                                      : QStringLiteral("Apps: leave alone, or fix a position");
}

ArrangeSettings::ArrangeSettings(Preferences& preferences, ArrangeSources sources, AnimationTime time,
                                 QWidget* parent)
    : QWidget(parent), preferences_(preferences), sources_(std::move(sources)), time_(time)
{
    setAttribute(Qt::WA_TranslucentBackground);
    // Its stock controls stay dark wherever the page is shown.
    setPalette(SettingsStyle::darkPalette());
    column_ = siblings(this);
    slots_.resize(slotCount);
    for (Slot& s : slots_) {
        s.holder = transparent(new QWidget(this));
        s.layout = new QVBoxLayout(s.holder);
        s.layout->setContentsMargins(0, 0, 0, 0);
        s.holder->hide();
        column_->addWidget(s.holder);
    }
    refresh();
    changes_ = preferences_.observe([this](std::string_view) { refresh(); });
}

ArrangeSettings::~ArrangeSettings() = default;

ArrangeSettings::Slot& ArrangeSettings::slot(int index)
{
    return slots_[std::size_t(index)];
}

void ArrangeSettings::rebuild(Slot& s, QWidget* content)
{
    // The old content may be running the very signal that led here.
    if (s.content) {
        s.content->hide();
        s.layout->removeWidget(s.content);
        s.content->deleteLater();
    }
    s.content = content;
    if (content)
        s.layout->addWidget(content);
    s.holder->setVisible(content != nullptr);
}

void ArrangeSettings::refresh()
{
    const ArrangePagePlan next = ArrangePage::plan(preferences_, sources_);
    const ArrangePagePlan before = std::exchange(shown_, next);
    const bool first = !std::exchange(built_, true);
    const auto changed = [&](auto member) { return first || before.*member != next.*member; };
    const bool modeChanged = first || before.mode != next.mode;
    const bool isAuto = next.mode == ArrangeMode::auto_, isStrip = next.mode == ArrangeMode::strip;

    if (first) {
        rebuild(slot(modeSlot), modeSection());
        rebuild(slot(spacingSlot), spacingSection());
        rebuild(slot(activeSlot), activeWindowSection());
        rebuild(slot(focusSlot), focusSection());
    }
    if (changed(&ArrangePagePlan::screensOff))
        rebuild(slot(screensOffSlot), next.screensOff.empty() ? nullptr : screensOffSection(next.screensOff));
    if (changed(&ArrangePagePlan::clash))
        rebuild(slot(clashSlot), next.clash ? new WarningLabel(clashText(*next.clash)) : nullptr);
    if (modeChanged || changed(&ArrangePagePlan::screens))
        rebuild(slot(layoutSlot), isAuto ? layoutSection(next.screens) : nullptr);
    if (changed(&ArrangePagePlan::learnedSizes))
        rebuild(slot(learnedSlot), next.learnedSizes ? learnedSizesSection() : nullptr);
    if (changed(&ArrangePagePlan::gridScreens))
        rebuild(slot(gridSlot), next.gridScreens.empty() ? nullptr : gridSection(next.gridScreens));
    if (modeChanged || changed(&ArrangePagePlan::swipesReach))
        rebuild(slot(stripSlot), isStrip ? stripSection() : nullptr);
    if (modeChanged) {
        rebuild(slot(stripHelpSlot), isStrip ? stripHelpSection() : nullptr);
    }
    if (changed(&ArrangePagePlan::swipeWarning))
        rebuild(slot(swipeSlot), next.swipeWarning ? swipeWarningSection() : nullptr);
    if (modeChanged || changed(&ArrangePagePlan::apps))
        rebuild(slot(appsSlot), next.mode == ArrangeMode::off ? nullptr : appsSection(next.mode, next.apps));

    // Values of the sections that stayed.
    if (SettingRow* colour = colourRow())
        colour->setVisible(next.colourRow);
    for (ModeCard* card : cards_)
        card->follow();
    description_->setText(text(ArrangePage::description(next.mode, preferences_.key(Command::pause))));
    for (BoundPicker* picker : descendants<BoundPicker>(this))
        picker->refresh();
    for (ToggleRow* toggle : descendants<ToggleRow>(this))
        toggle->refresh();
    for (AppRow* app : appRows())
        app->refresh();
    for (ColourWell* well : descendants<ColourWell>(this))
        well->refresh();
}

QWidget* ArrangeSettings::modeSection()
{
    auto* section = transparent(new QWidget);
    auto* stack = new QVBoxLayout(section);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(modeSpacing);
    auto* cards = new QHBoxLayout;
    cards->setSpacing(cardSpacing);
    for (ArrangeMode mode : allArrangeModes) {
        auto* card = new ModeCard(preferences_, mode, std::string(ArrangePage::cardSymbol(mode)), time_);
        cards_.push_back(card);
        cards->addWidget(card, 1);
    }
    stack->addLayout(cards);
    description_ = SettingsStyle::wrappingLabel(QString(), Fonts::system(descriptionSize), Theme::secondary());
    description_->setContentsMargins(textInset, 0, textInset, 0);
    stack->addWidget(description_);
    return section;
}

QWidget* ArrangeSettings::screensOffSection(const std::vector<std::string>& screens)
{
    auto* section = transparent(new QWidget);
    auto* stack = siblings(section);
    for (const std::string& screen : screens) {
        auto* row = transparent(new QWidget);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->addWidget(new WarningLabel(screenOffText(screen)), 1);
        auto* turnOn = new PillButton(QStringLiteral("Turn on"), time_);
        turnOn->setObjectName(QString::fromStdString(screen));
        QObject::connect(turnOn, &QAbstractButton::clicked, this, [this, screen] {
            auto off = preferences_.displaysOff();
            off.erase(screen);
            preferences_.setDisplaysOff(std::move(off));
        });
        line->addWidget(turnOn, 0, Qt::AlignVCenter);
        stack->addWidget(row);
    }
    return section;
}

QWidget* ArrangeSettings::layoutSection(const std::vector<std::string>& screens)
{
    auto* group = new SettingGroup(QStringLiteral("Layout"));
    Preferences& p = preferences_;
    group->addRow(new SettingRow(QStringLiteral("Main window"), std::nullopt,
                                 makePicker<double>(ArrangeOptions::mainShare(), [&p] { return p.mainShare(); },
                                                    [&p](double v) { p.setMainShare(v); })));
    group->addRow(new SettingRow(QStringLiteral("When the screen is full"), std::nullopt,
                                 makePicker<int>(ArrangeOptions::maxTiles(), [&p] { return p.maxTiles(); },
                                                 [&p](int v) { p.setMaxTiles(v); })));
    for (const std::string& screen : screens) {
        auto* picker = makePicker<TidyLayout>(
            ArrangeOptions::layout(),
            [&p, screen] {
                const auto entry = p.displayLayouts().find(screen);
                return entry == p.displayLayouts().end() ? TidyLayout::grid : entry->second;
            },
            [&p, screen](TidyLayout layout) {
                auto layouts = p.displayLayouts();
                layouts[screen] = layout;
                p.setDisplayLayouts(std::move(layouts));
            });
        group->addRow(new SettingRow(QString::fromStdString(screen), std::nullopt, picker));
    }
    return group;
}

QWidget* ArrangeSettings::learnedSizesSection()
{
    auto* forget = new PillButton(QStringLiteral("Forget"), time_);
    auto* row = new SettingRow(learnedSizesText(shown_.learnedSizes.value_or(0)), std::nullopt, forget);
    QObject::connect(forget, &QAbstractButton::clicked, this, [this] {
        preferences_.setMinimumSizes({});
        // Nobody hears of learned sizes: look again ourselves.
        refresh();
    });
    return row;
}

QWidget* ArrangeSettings::gridSection(const std::vector<std::string>& screens)
{
    auto* section = transparent(new QWidget);
    auto* stack = siblings(section);
    for (const std::string& screen : screens)
        stack->addWidget(new GridChooser(preferences_, screen, time_));
    return section;
}

QWidget* ArrangeSettings::stripSection()
{
    auto* group = new SettingGroup(QStringLiteral("Moving along the strip"));
    Preferences& p = preferences_;
    // Without gestures the picker shows "Off", never a swipe that cannot
    // happen, and keeps the stored choice for a desktop that has them.
    const bool reach = shown_.swipesReach;
    auto* picker = makePicker<int>(
        ArrangeOptions::swipeFingers(), [&p, reach] { return reach ? p.stripSwipeFingers() : 0; },
        [&p](int v) { p.setStripSwipeFingers(v); });
    auto* row = new SettingRow(QStringLiteral("Trackpad swipe"), std::nullopt, picker);
    row->setUnavailable(reach ? std::nullopt : std::optional<QString>(noSwipesText()));
    group->addRow(row);
    return group;
}

QWidget* ArrangeSettings::stripHelpSection()
{
    QLabel* help = SettingsStyle::wrappingLabel(
        QString::fromStdString(KeyTexts::stripWheelKeys() + " plus the mouse wheel moves along the strip too. Hold " +
                               KeyTexts::stripWheelKeys() +
                               " to see the strip, click a window to go to it, or drag one to reorder."),
        Fonts::system(descriptionSize), Theme::secondary());
    help->setContentsMargins(textInset, 0, textInset, 0);
    return help;
}

QWidget* ArrangeSettings::swipeWarningSection()
{
    return new WarningLabel(swipeWarningText());
}

QWidget* ArrangeSettings::spacingSection()
{
    spacing_ = new SettingGroup(QStringLiteral("Spacing"));
    Preferences& p = preferences_;
    spacing_->addRow(new SettingRow(QStringLiteral("Gap between windows"), std::nullopt,
                                    makePicker<int>(ArrangeOptions::windowGap(), [&p] { return p.windowGap(); },
                                                    [&p](int v) { p.setWindowGap(v); })));
    for (std::string_view edge : ArrangeOptions::edges) {
        const std::string name(edge);
        auto* picker = makePicker<int>(
            ArrangeOptions::reservedEdge(),
            [&p, name] {
                const auto entry = p.reservedEdges().find(name);
                return entry == p.reservedEdges().end() ? 0 : entry->second;
            },
            [&p, name](int points) {
                // "None" is stored as 0, not as a missing entry.
                auto edges = p.reservedEdges();
                edges[name] = points;
                p.setReservedEdges(std::move(edges));
            });
        spacing_->addRow(new SettingRow(QStringLiteral("Keep free: ") + QString::fromStdString(name), std::nullopt,
                                        picker));
    }
    return spacing_;
}

QWidget* ArrangeSettings::activeWindowSection()
{
    active_ = new SettingGroup(QStringLiteral("Active window"));
    Preferences& p = preferences_;
    active_->addRow(new SettingRow(QStringLiteral("Highlight"), std::nullopt,
                                   makePicker<WindowHighlight>(ArrangeOptions::highlight(),
                                                               [&p] { return p.highlight(); },
                                                               [&p](WindowHighlight v) { p.setHighlight(v); })));
    auto* well = new ColourWell({[&p] { return p.highlightColor(); }, [&p](Color c) { p.setHighlightColor(c); }});
    active_->addRow(new SettingRow(QStringLiteral("Colour"), std::nullopt, well));
    return active_;
}

QWidget* ArrangeSettings::focusSection()
{
    focus_ = new SettingGroup(QStringLiteral("Focus"));
    Preferences& p = preferences_;
    focus_->addRow(new ToggleRow(QStringLiteral("Hide other apps while one window fills the screen"), std::nullopt,
                                 {[&p] { return p.focusHidesOthers(); }, [&p](bool on) { p.setFocusHidesOthers(on); }}));
    return focus_;
}

QWidget* ArrangeSettings::appsSection(ArrangeMode mode, const std::vector<RunningApp>& apps)
{
    auto* group = new SettingGroup(appsTitle(mode));
    for (const RunningApp& app : apps)
        group->addRow(new AppRow(preferences_, app, mode, AppRow::iconImage(sources_.workspace, app.pid)));
    return group;
}

ModeCard* ArrangeSettings::modeCard(ArrangeMode mode) const
{
    for (ModeCard* card : cards_)
        if (card->mode() == mode)
            return card;
    return nullptr;
}

std::vector<WarningLabel*> ArrangeSettings::screenOffWarnings() const
{
    const QWidget* section = slots_[screensOffSlot].content;
    if (!section)
        return {};
    return descendants<WarningLabel>(section);
}

QAbstractButton* ArrangeSettings::turnOnButton(const std::string& screen) const
{
    const QWidget* section = slots_[screensOffSlot].content;
    return section ? section->findChild<QAbstractButton*>(QString::fromStdString(screen)) : nullptr;
}

WarningLabel* ArrangeSettings::clashWarning() const
{
    return static_cast<WarningLabel*>(slots_[clashSlot].content);
}

SettingGroup* ArrangeSettings::layoutGroup() const
{
    return static_cast<SettingGroup*>(slots_[layoutSlot].content);
}

SettingRow* ArrangeSettings::learnedSizesRow() const
{
    return static_cast<SettingRow*>(slots_[learnedSlot].content);
}

std::vector<GridChooser*> ArrangeSettings::gridChoosers() const
{
    const QWidget* section = slots_[gridSlot].content;
    if (!section)
        return {};
    return descendants<GridChooser>(section, Qt::FindDirectChildrenOnly);
}

SettingGroup* ArrangeSettings::stripGroup() const
{
    return static_cast<SettingGroup*>(slots_[stripSlot].content);
}

QLabel* ArrangeSettings::stripHelp() const
{
    return static_cast<QLabel*>(slots_[stripHelpSlot].content);
}

WarningLabel* ArrangeSettings::swipeWarning() const
{
    return static_cast<WarningLabel*>(slots_[swipeSlot].content);
}

SettingRow* ArrangeSettings::colourRow() const
{
    if (!active_)
        return nullptr;
    const auto rows = active_->rows()->rows();
    return rows.size() > 1 ? static_cast<SettingRow*>(rows[1]) : nullptr;
}

SettingGroup* ArrangeSettings::appsGroup() const
{
    return static_cast<SettingGroup*>(slots_[appsSlot].content);
}

std::vector<AppRow*> ArrangeSettings::appRows() const
{
    std::vector<AppRow*> out;
    if (SettingGroup* group = appsGroup())
        for (QWidget* row : group->rows()->rows())
            out.push_back(static_cast<AppRow*>(row));
    return out;
}

SettingRow* ArrangeSettings::row(const QString& title) const
{
    for (SettingRow* r : descendants<SettingRow>(this))
        if (r->titleLabel()->text() == title && r->isVisibleTo(this))
            return r;
    return nullptr;
}

} // namespace kavelo
