#pragma once

// The Workflows page: one card per saved workflow (or a card saying there
// are none), importing a workflow file, which browsers have their tabs saved, and
// the last problem `Workflows` reported. The cards follow the list as it
// changes; edits go to the stored files, never to the list.

#include "app/platform/handle.h"
#include "app/ui/spring.h"
#include "core/date.h"
#include "core/workspace.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QVBoxLayout;

namespace kavelo {

class PillButton;
class Preferences;
class SettingGroup;
class SettingRow;
class ToggleRow;
class WorkflowCard;
class Workflows;

class WorkflowsPage : public QWidget {
public:
    // The armed delete lives with the settings view, so it outlasts pages.
    struct DeleteArming {
        std::function<std::optional<std::string>()> armed;
        std::function<Seconds()> armedAt;   // monotonic
        // Arms a name (or disarms) and stamps the time.
        std::function<void(std::optional<std::string>)> arm;
    };

    WorkflowsPage(Workflows& workflows, Preferences& preferences, DeleteArming arming, AnimationTime time,
                  QWidget* parent = nullptr);

    // Shown only while there are no workflows.
    QWidget* emptyState() const { return empty_; }
    // In list order; cards of workflows that just left are already gone.
    const std::vector<WorkflowCard*>& cards() const { return cards_; }
    WorkflowCard* card(const std::string& name) const;
    PillButton* importButton() const { return import_; }
    // Which browsers have their tabs saved: Firefox (live when installed)
    // and the Chromium family (always disabled, with the reason).
    SettingGroup* tabsGroup() const { return tabs_; }
    SettingRow* firefoxRow() const { return firefoxRow_; }
    SettingRow* chromiumRow() const { return chromiumRow_; }
    // Shown only while `Workflows` holds a message.
    QLabel* messageLabel() const { return message_; }

    static QString firefoxDetail(bool installed);
    static QString chromiumDetail();

    static constexpr int spacing = 14;

private:
    void showItems(const std::vector<Workspace>& items);
    void showArming();
    WorkflowCard* makeCard(const Workspace& workspace);
    void pressDelete(const std::string& name);
    void edit(const std::string& name, const std::function<void(Workspace&)>& change);

    Workflows& workflows_;
    DeleteArming arming_;
    AnimationTime time_;
    QVBoxLayout* stack_;
    QWidget* empty_;
    std::vector<WorkflowCard*> cards_;
    // Hidden at once, deleted once the event that removed them returns.
    std::vector<WorkflowCard*> leaving_;
    PillButton* import_;
    SettingGroup* tabs_;
    SettingRow* firefoxRow_;
    SettingRow* chromiumRow_;
    QLabel* message_;
    Handle itemChanges_;
    Handle messageChanges_;
    Liveness alive_;
};

} // namespace kavelo
