#include "app/settings/permissions_page.h"

#include "app/settings/setting_rows.h"
#include "app/ui/pill_button.h"

namespace kavelo {

QString PermissionsPage::accessibilityDetail()
{
    return QStringLiteral("Lets Kavelo open windows, show minimized ones, and move them.");
}

QString PermissionsPage::screenRecordingDetail()
{
    return QStringLiteral("Shows previews and windows on other desktops. Previews stay on this computer.");
}

QString PermissionsPage::restartDetail()
{
    return QStringLiteral("The system applies Screen Recording after a restart.");
}

QString PermissionsPage::nothingToGrantTitle() { return QStringLiteral("Nothing to grant"); }

QString PermissionsPage::nothingToGrantDetail()
{
    return QStringLiteral("This desktop lets Kavelo move windows and show previews without asking. Previews stay "
                          "on this computer.");
}

PermissionsPage::PermissionsPage(PermissionWatcher& watcher, PermissionActions actions, AnimationTime time,
                                 QWidget* parent)
    : SettingGroup(std::nullopt, std::nullopt, parent), watcher_(watcher), actions_(std::move(actions))
{
    accessibility_ = new PermissionRow(QStringLiteral("Accessibility"), accessibilityDetail(),
                                       watcher_.accessibility.value(), [this] { actions_.requestAccessibility(); },
                                       time);
    screenRecording_ = new PermissionRow(QStringLiteral("Screen Recording"), screenRecordingDetail(),
                                         watcher_.screenRecording.value(),
                                         [this] { actions_.requestScreenRecording(watcher_); }, time);
    restartButton_ = new PillButton(QStringLiteral("Restart"), time, false);
    QObject::connect(restartButton_, &QAbstractButton::clicked, this, [this] { actions_.relaunch(); });
    restart_ = new SettingRow(QStringLiteral("Kavelo needs to restart"), restartDetail(), restartButton_);
    nothing_ = new SettingRow(nothingToGrantTitle(), nothingToGrantDetail(), new GrantedLabel(QStringLiteral("Ready")));
    toGrant_ = actions_.anythingToGrant();
    addRow(accessibility_);
    addRow(screenRecording_);
    addRow(restart_);
    addRow(nothing_);
    accessibility_->setVisible(toGrant_);
    screenRecording_->setVisible(toGrant_);
    nothing_->setVisible(!toGrant_);

    // Rows only change what they show, so a flag may flip inside a
    // button's own click.
    accessibilityChanges_ = watcher_.accessibility.subscribe([this](bool) { refresh(); });
    screenRecordingChanges_ = watcher_.screenRecording.subscribe([this](bool) { refresh(); });
    askedChanges_ = watcher_.askedForScreenRecording.subscribe([this](bool) { refresh(); });
}

void PermissionsPage::refresh()
{
    accessibility_->setGranted(watcher_.accessibility.value());
    screenRecording_->setGranted(watcher_.screenRecording.value());
    restart_->setVisible(toGrant_ && watcher_.askedForScreenRecording.value() && !watcher_.screenRecording.value());
}

} // namespace kavelo
