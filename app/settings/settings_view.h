#pragma once

// The whole content of the settings window: a fixed 760 × 560 view with the
// sidebar of pages on the left and the selected page on the right, under
// its title, scrolling without visible scroll bars. Pages bind straight to
// the settings and the permission watcher; opening one stores nothing.

#include "app/platform/system_workspace.h"
#include "app/services/held_keys.h"
#include "app/services/signal.h"
#include "app/settings/arrange_page_plan.h"
#include "app/settings/permission_actions.h"
#include "app/settings/settings_tab.h"
#include "app/settings/shortcut_recorder.h"
#include "app/ui/spring.h"
#include "core/date.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace kavelo {

class Keyboard;
class Preferences;
class SettingsSidebar;
class Workflows;

class SettingsView : public QWidget {
public:
    // `keyboard` names the keys the shortcut recorders receive.
    SettingsView(Preferences& preferences, PermissionWatcher& watcher, Workflows& workflows,
                 PermissionActions permissions, const Keyboard& keyboard,
                 AnimationTime time, SettingsTab tab,
                 QWidget* parent = nullptr);
    ~SettingsView() override;

    SettingsTab tab() const { return tab_; }
    // As a click on the page's sidebar row.
    void select(SettingsTab tab);
    // What the Arrange page reads besides the settings; until the shell
    // hands it over, that page stays empty.
    void setArrangeSources(ArrangeSources sources);
    // The keys another program holds, for the Shortcuts page to mark.
    void setHeldKeys(Published<HeldKeys>* held);
    // Told of each page before it is built, from the first change of page on.
    std::function<void(SettingsTab)> willShow;

    SettingsSidebar* sidebar() const { return sidebar_; }
    QScrollArea* pageArea() const { return pageArea_; }
    QLabel* pageTitle() const { return title_; }
    // The content under the title; empty for pages still to come.
    QWidget* page() const { return page_; }

    // The workflow whose delete button waits for a second press, and when
    // it was armed (monotonic); kept while pages change.
    const std::optional<std::string>& confirmingDelete() const { return confirmingDelete_; }
    Seconds armedAt() const { return armedAt_; }
    void setConfirmingDelete(std::optional<std::string> name);

    // The one shortcut recorder of the window that records, if any.
    ShortcutRecorder* recordingRecorder() const { return turns_.current(); }

    static constexpr int width = 760;
    static constexpr int height = 560;
    static constexpr int pageSpacing = 22;
    static constexpr int pagePaddingH = 28;
    static constexpr int pagePaddingTop = 34;
    static constexpr int pagePaddingBottom = 28;
    static constexpr double titleSize = 26;
    static constexpr double titleTracking = -0.5;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* makePage(SettingsTab tab);
    void showPage(SettingsTab tab);

    Preferences& preferences_;
    PermissionWatcher& watcher_;
    Workflows& workflows_;
    PermissionActions permissions_;
    const Keyboard& keyboard_;
    AnimationTime time_;
    RecorderTurns turns_;
    SettingsTab tab_;
    SettingsSidebar* sidebar_;
    QScrollArea* pageArea_;
    QVBoxLayout* column_;
    QLabel* title_;
    QWidget* page_ = nullptr;
    std::optional<ArrangeSources> arrange_;
    Published<HeldKeys>* held_ = nullptr;
    std::optional<std::string> confirmingDelete_;
    Seconds armedAt_{0};
};

} // namespace kavelo
