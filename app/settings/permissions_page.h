#pragma once

// The two permissions with their request buttons, and the offer to restart
// once screen capture was asked for in this run and is not yet granted:
// the Permissions page of the settings window, and the same rows in the
// welcome window. Follows the watcher's flags as they change. On a desktop
// that asks for no permission (X11) one row says so instead.

#include "app/platform/handle.h"
#include "app/settings/permission_actions.h"
#include "app/settings/setting_group.h"
#include "app/ui/spring.h"

#include <QString>

namespace kavelo {

class PermissionRow;
class PillButton;
class SettingRow;

class PermissionsPage : public SettingGroup {
public:
    PermissionsPage(PermissionWatcher& watcher, PermissionActions actions, AnimationTime time,
                    QWidget* parent = nullptr);

    PermissionRow* accessibilityRow() const { return accessibility_; }
    PermissionRow* screenRecordingRow() const { return screenRecording_; }
    // Shown only while needed.
    SettingRow* restartRow() const { return restart_; }
    PillButton* restartButton() const { return restartButton_; }
    // Shown instead of the rest where there is nothing to grant.
    SettingRow* nothingToGrantRow() const { return nothing_; }

    static QString accessibilityDetail();
    static QString screenRecordingDetail();
    static QString restartDetail();
    static QString nothingToGrantTitle();
    static QString nothingToGrantDetail();

private:
    void refresh();

    PermissionWatcher& watcher_;
    PermissionActions actions_;
    PermissionRow* accessibility_;
    PermissionRow* screenRecording_;
    SettingRow* restart_;
    PillButton* restartButton_;
    SettingRow* nothing_;
    bool toGrant_;
    Handle accessibilityChanges_;
    Handle screenRecordingChanges_;
    Handle askedChanges_;
};

} // namespace kavelo
