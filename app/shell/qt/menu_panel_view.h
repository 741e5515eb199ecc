#pragma once

// The menu panel: one column 320 points wide, as tall as its content, with
// the action tiles, the setup notice, the saved workflows, the arrange mode
// switch and layout controls, the quick toggles, the "More" disclosure and
// the bottom row. It follows every settings change while it shows: what it
// shows is decided as a `MenuPanelPlan` and only the parts whose plan
// changed are touched.

#include "app/shell/menu_panel.h"
#include "app/ui/spring.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QVBoxLayout;

namespace kavelo {

class ActionTile;
class BoundPicker;
class GridChoices;
class LayoutPicker;
class ModeSwitch;
class NoticeButton;
class QuickTile;
class SectionHeader;
class Switch;
class SymbolButton;
class TextButton;
class WorkflowRowButton;

// What the panel reads besides its value.
struct MenuPanelContext {
    AnimationTime time;
    // The display under the pointer, asked at each redraw.
    std::function<std::string()> screenName;
};

// One saved workflow's row.
struct WorkflowRowWidgets {
    std::string name;
    QWidget* row = nullptr;
    WorkflowRowButton* button = nullptr;
    SymbolButton* trash = nullptr;
    TextButton* confirm = nullptr;   // "Delete?"
};

// A switch with its title, in the "More" disclosure.
struct SwitchRowWidgets {
    QWidget* row = nullptr;
    QLabel* title = nullptr;
    Switch* toggle = nullptr;
};

struct OptionRowWidgets {
    PanelOption option = PanelOption::gap;
    QWidget* row = nullptr;
    QLabel* title = nullptr;
    BoundPicker* picker = nullptr;
};

class MenuPanelView : public QWidget {
public:
    MenuPanelView(MenuPanel panel, MenuPanelContext context, QWidget* parent = nullptr);
    ~MenuPanelView() override;

    const MenuPanel& panel() const { return panel_; }
    const MenuPanelState& state() const { return state_; }
    const MenuPanelPlan& plan() const { return plan_; }
    // Decides again from the settings, the state and the display under the
    // pointer, and applies what changed.
    void refresh();
    // Told after the panel's height changed.
    std::function<void()> onResize;

    // The parts, for tests and the renderer.
    ActionTile* findTile() const { return find_; }
    ActionTile* tidyTile() const { return tidy_; }
    NoticeButton* setupNotice() const { return setup_; }
    SymbolButton* saveButton() const { return save_; }
    QWidget* saveHint() const { return saveHint_; }
    const std::vector<WorkflowRowWidgets>& rows() const { return rows_; }
    ModeSwitch* modeSwitch() const { return modes_; }
    NoticeButton* displayOffNotice() const { return displayOff_; }
    LayoutPicker* layoutPicker() const { return layouts_; }
    QLabel* layoutHint() const { return hint_; }
    QWidget* customControls() const { return custom_; }
    GridChoices* gridChoices() const { return grids_; }
    SwitchRowWidgets matchGrid() const { return matchGrid_; }
    TextButton* editGrid() const { return editGrid_; }
    QuickTile* undoTile() const { return undo_; }
    QuickTile* cleanTile() const { return clean_; }
    QuickTile* noPeekTile() const { return noPeekTile_; }
    QWidget* moreHeader() const { return moreHeader_; }
    QWidget* moreContent() const { return moreContent_; }
    std::optional<SwitchRowWidgets> pauseSwitch() const { return pause_; }
    const std::vector<OptionRowWidgets>& optionRows() const { return options_; }
    // Every switch of "More" by its title.
    std::optional<SwitchRowWidgets> moreSwitch(const QString& title) const;
    std::optional<OptionRowWidgets> optionRow(PanelOption option) const;
    TextButton* settingsButton() const { return settings_; }
    TextButton* updatesButton() const { return updates_; }
    TextButton* quitButton() const { return quit_; }

    static constexpr int panelWidth = 320;
    static constexpr int padding = 14;
    static constexpr int spacing = 12;
    static constexpr int actionSpacing = 8;
    static constexpr double backgroundOpacity = 0.94;
    static constexpr int pickerWidth = 110;
    static constexpr double optionSize = 13;
    static constexpr double moreSize = 12;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void build();
    void apply(const MenuPanelPlan& plan, bool first);
    void applyRows(const MenuPanelPlan& plan);
    void rebuildRows(const std::vector<MenuPanelPlan::Row>& rows);
    void applyMore(const MenuPanelPlan& plan, bool first);
    void rebuildMore(const MenuPanelPlan& plan);
    void refreshMoreValues(const MenuPanelPlan& plan);
    SwitchRowWidgets addSwitch(QVBoxLayout* column, const QString& title, std::function<void(bool)> set);
    OptionRowWidgets addOption(QVBoxLayout* column, PanelOption option);
    void fitHeight();
    std::string screen() const;
    Seconds now() const;

    MenuPanel panel_;
    MenuPanelContext context_;
    MenuPanelState state_;
    MenuPanelPlan plan_;
    Handle observer_;

    ActionTile* find_ = nullptr;
    ActionTile* tidy_ = nullptr;
    NoticeButton* setup_ = nullptr;
    SymbolButton* save_ = nullptr;
    QWidget* saveHint_ = nullptr;
    QWidget* list_ = nullptr;
    QVBoxLayout* listLayout_ = nullptr;
    std::vector<WorkflowRowWidgets> rows_;
    ModeSwitch* modes_ = nullptr;
    NoticeButton* displayOff_ = nullptr;
    LayoutPicker* layouts_ = nullptr;
    QLabel* hint_ = nullptr;
    QWidget* custom_ = nullptr;
    GridChoices* grids_ = nullptr;
    SwitchRowWidgets matchGrid_;
    TextButton* editGrid_ = nullptr;
    QuickTile* undo_ = nullptr;
    QuickTile* clean_ = nullptr;
    QuickTile* noPeekTile_ = nullptr;
    QWidget* moreHeader_ = nullptr;
    QWidget* moreContent_ = nullptr;
    QVBoxLayout* moreLayout_ = nullptr;
    QWidget* moreBlocks_ = nullptr;
    std::optional<SwitchRowWidgets> pause_;
    std::vector<OptionRowWidgets> options_;
    std::vector<std::pair<QString, SwitchRowWidgets>> switches_;
    TextButton* settings_ = nullptr;
    TextButton* updates_ = nullptr;
    TextButton* quit_ = nullptr;
};

} // namespace kavelo
