#pragma once

// One running application on the Arrange page: its icon and name, the
// position its windows take (only with a bundle identifier), and a switch
// that leaves it alone. Without a name it reads "App"; without a bundle
// identifier the switch changes nothing.

#include "app/platform/system_workspace.h"
#include "core/arrange_mode.h"

#include <QImage>
#include <QWidget>

class QLabel;

namespace kavelo {

class BoundPicker;
class Preferences;
class Switch;

class AppRow : public QWidget {
public:
    AppRow(Preferences& preferences, RunningApp app, ArrangeMode mode, QImage icon, QWidget* parent = nullptr);

    const RunningApp& app() const { return app_; }
    QLabel* iconLabel() const { return icon_; }    // null without an icon
    QLabel* nameLabel() const { return name_; }
    BoundPicker* positionPicker() const { return position_; }   // null without a bundle identifier
    Switch* leaveAlone() const { return switch_; }

    // Shows the settings again, without writing them.
    void refresh();

    static QImage iconImage(const SystemWorkspace& workspace, std::int32_t pid);

    static constexpr int horizontalPadding = 16;
    static constexpr int verticalPadding = 8;
    static constexpr int spacing = 10;
    static constexpr int iconSize = 22;
    static constexpr double nameSize = 13.5;
    static constexpr int pickerWidth = 76;

private:
    Preferences& preferences_;
    RunningApp app_;
    QLabel* icon_ = nullptr;
    QLabel* name_;
    BoundPicker* position_ = nullptr;
    Switch* switch_;
};

} // namespace kavelo
