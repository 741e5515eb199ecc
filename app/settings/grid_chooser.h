#pragma once

// The custom grid editor of one screen: preset tiles, purpose templates,
// column and row steppers that reset the plan to an even grid, and the
// interactive plan picture. The plan always lives in the settings: the
// editor reads it on every change and writes every edit at once, which
// also turns arranging back on for the screen. Showing it stores nothing.

#include "app/platform/handle.h"
#include "app/ui/spring.h"
#include "app/ui/theme.h"
#include "core/grid_plan.h"

#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QSpinBox;

namespace kavelo {

class GridBuilder;
class GridPresets;
class PillButton;
class Preferences;
class SettingGroup;

class GridChooser : public QWidget {
public:
    GridChooser(Preferences& preferences, std::string screen, AnimationTime time,
                ColorScheme scheme = ColorScheme::dark, QWidget* parent = nullptr);
    ~GridChooser() override;

    const std::string& screen() const { return screen_; }
    // The screen's plan as shown: its own, else the first preset's.
    GridPlan plan() const;

    SettingGroup* group() const { return group_; }
    GridPresets* presets() const { return presets_; }
    const std::vector<PillButton*>& templateButtons() const { return templates_; }
    QSpinBox* columnsStepper() const { return columns_; }
    QSpinBox* rowsStepper() const { return rows_; }
    GridBuilder* builder() const { return builder_; }
    QLabel* helpLabel() const { return help_; }

    static QString title(const std::string& screen);

    static constexpr int padding = 12;
    static constexpr int spacing = 14;
    static constexpr int templateSpacing = 6;
    static constexpr int stepperSpacing = 18;
    static constexpr double controlSize = 12.5;
    static constexpr double helpSize = 12;

private:
    // Every control ends here: the screen is arranged again, and the plan
    // stored under its name. A plan breaking its limits is not stored.
    void set(const GridPlan& plan);
    // Shows the stored plan again.
    void refresh();

    Preferences& preferences_;
    std::string screen_;
    SettingGroup* group_;
    GridPresets* presets_;
    std::vector<PillButton*> templates_;
    QSpinBox* columns_;
    QSpinBox* rows_;
    GridBuilder* builder_;
    QLabel* help_;
    Handle changes_;
};

} // namespace kavelo
