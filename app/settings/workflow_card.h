#pragma once

// One saved workflow on the Workflows page: its name and counts with the
// quick-switch key and "Switch", how its windows are arranged on arrival,
// the monitor and hide switches, and "Export" beside the two-step delete.
// The card shows the listed workflow and hands every change to the page;
// it never changes what it shows by itself.

#include "app/settings/setting_group.h"
#include "app/ui/spring.h"
#include "core/tidy_layout.h"
#include "core/workspace.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>

class QComboBox;

namespace kavelo {

class KeyCap;
class PillButton;
class SettingRow;
class ToggleRow;

class WorkflowCard : public SettingGroup {
public:
    struct Actions {
        std::function<void()> switchTo;
        std::function<void(std::optional<TidyLayout>)> setTidy;
        std::function<void(bool)> setOpensOnSetup;
        std::function<void(bool)> setHidesOtherApps;
        std::function<void()> exportWorkflow;
        std::function<void()> pressDelete;
    };

    WorkflowCard(const Workspace& workspace, Actions actions, AnimationTime time, QWidget* parent = nullptr);

    // The card's identity.
    const std::string& name() const { return workspace_.name; }
    const Workspace& workspace() const { return workspace_; }
    // Shows `workspace` (of the same name) without writing anything.
    void show(const Workspace& workspace);
    // "Delete?" on the accent while armed, else a plain "Delete".
    void setArmed(bool armed);
    bool armed() const { return armed_; }

    SettingRow* infoRow() const { return info_; }
    KeyCap* keyCap() const { return keyCap_; }   // hidden without a slot
    PillButton* switchButton() const { return switch_; }
    SettingRow* arrangeRow() const { return arrange_; }
    QComboBox* arrangePicker() const { return picker_; }
    ToggleRow* opensOnSetupRow() const { return opensOnSetup_; }
    ToggleRow* hidesOtherAppsRow() const { return hidesOtherApps_; }
    SettingRow* shareRow() const { return share_; }
    PillButton* exportButton() const { return export_; }
    PillButton* deleteButton() const { return delete_; }

    // "Where I left them", then every tidy layout's title in order.
    static QStringList arrangeOptions();
    static QString keyCapText(int slot);
    static std::optional<TidyLayout> arrangeChoice(int index);

    static constexpr int pickerWidth = 170;
    static constexpr int controlSpacing = 16;

private:
    void showValues();

    Workspace workspace_;
    Actions actions_;
    bool armed_ = false;
    SettingRow* info_;
    KeyCap* keyCap_;
    PillButton* switch_;
    SettingRow* arrange_;
    QComboBox* picker_;
    ToggleRow* opensOnSetup_;
    ToggleRow* hidesOtherApps_;
    SettingRow* share_;
    PillButton* export_;
    PillButton* delete_;
};

} // namespace kavelo
