#pragma once

// The Arrange page: the arrange mode, and everything the arrange engine
// reads, bound straight to the settings. Sections come and go with the
// mode; the page decides what it shows as plain data (`ArrangePagePlan`)
// on every settings change and rebuilds only the sections whose data
// changed, refreshing the values of the rest in place.

#include "app/platform/handle.h"
#include "app/settings/arrange_page_plan.h"
#include "app/ui/spring.h"

#include <QWidget>

#include <vector>

class QAbstractButton;
class QLabel;
class QVBoxLayout;

namespace kavelo {

class AppRow;
class GridChooser;
class ModeCard;
class Preferences;
class SettingGroup;
class SettingRow;
class WarningLabel;

class ArrangeSettings : public QWidget {
public:
    ArrangeSettings(Preferences& preferences, ArrangeSources sources, AnimationTime time, QWidget* parent = nullptr);
    ~ArrangeSettings() override;

    // Reads the settings, the screens, the applications and the clash check
    // again and shows what changed.
    void refresh();
    const ArrangePagePlan& shown() const { return shown_; }

    // The sections as shown now; null while absent.
    ModeCard* modeCard(ArrangeMode mode) const;
    QLabel* modeDescription() const { return description_; }
    std::vector<WarningLabel*> screenOffWarnings() const;
    // The "Turn on" button of a screen left alone.
    QAbstractButton* turnOnButton(const std::string& screen) const;
    WarningLabel* clashWarning() const;
    SettingGroup* layoutGroup() const;
    SettingRow* learnedSizesRow() const;
    std::vector<GridChooser*> gridChoosers() const;
    SettingGroup* stripGroup() const;
    QLabel* stripHelp() const;
    WarningLabel* swipeWarning() const;
    SettingGroup* spacingGroup() const { return spacing_; }
    SettingGroup* activeWindowGroup() const { return active_; }
    SettingRow* colourRow() const;
    SettingGroup* focusGroup() const { return focus_; }
    SettingGroup* appsGroup() const;
    std::vector<AppRow*> appRows() const;

    // The settings row titled `title`, shown or not; null when none is.
    SettingRow* row(const QString& title) const;

    static constexpr int sectionSpacing = 22;
    static constexpr int modeSpacing = 8;
    static constexpr int cardSpacing = 10;
    static constexpr double descriptionSize = 12;
    static constexpr int textInset = 4;

    static QString swipeWarningText();
    static QString noSwipesText();
    static QString clashText(const std::string& app);
    static QString screenOffText(const std::string& screen);
    static QString learnedSizesText(std::size_t count);
    static QString appsTitle(ArrangeMode mode);

private:
    // One place in the page's column; its content is replaced whole.
    struct Slot;
    Slot& slot(int index);
    void rebuild(Slot& slot, QWidget* content);

    QWidget* modeSection();
    QWidget* screensOffSection(const std::vector<std::string>& screens);
    QWidget* layoutSection(const std::vector<std::string>& screens);
    QWidget* learnedSizesSection();
    QWidget* gridSection(const std::vector<std::string>& screens);
    QWidget* stripSection();
    QWidget* stripHelpSection();
    QWidget* swipeWarningSection();
    QWidget* spacingSection();
    QWidget* activeWindowSection();
    QWidget* focusSection();
    QWidget* appsSection(ArrangeMode mode, const std::vector<RunningApp>& apps);

    Preferences& preferences_;
    ArrangeSources sources_;
    AnimationTime time_;
    QVBoxLayout* column_;
    std::vector<Slot> slots_;
    ArrangePagePlan shown_;
    bool built_ = false;
    std::vector<ModeCard*> cards_;
    QLabel* description_ = nullptr;
    SettingGroup* spacing_ = nullptr;
    SettingGroup* active_ = nullptr;
    SettingGroup* focus_ = nullptr;
    Handle changes_;
};

} // namespace kavelo
