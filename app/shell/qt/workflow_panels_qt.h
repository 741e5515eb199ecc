#pragma once

// The workflow questions as Qt dialogs: the "Save this workflow" alert with
// its name field, and the file dialogs of export and import.

#include "app/ui/spring.h"
#include "app/workflows/workflow_panels.h"

#include <QDialog>

#include <memory>

class QFileDialog;
class QLabel;
class QLineEdit;

namespace kavelo {

class PillButton;

// The alert, in the look of every other surface: a title, one line of
// explanation, a name field and the buttons "Cancel" and "Save Workflow"
// (Return). A name that cannot be saved is named as such under the field,
// and "Save Workflow" waits until the name can be.
class SaveWorkflowAlert : public QDialog {
public:
    explicit SaveWorkflowAlert(AnimationTime time, QWidget* parent = nullptr);

    QLabel* title() const { return title_; }
    QLabel* detail() const { return detail_; }
    QLineEdit* nameField() const { return name_; }
    // Why the typed name cannot be saved; hidden while it can.
    QLabel* problem() const { return problem_; }
    PillButton* saveButton() const { return save_; }
    PillButton* cancelButton() const { return cancel_; }

    static constexpr int width = 300;
    static constexpr double titleSize = 15;
    static constexpr double detailSize = 13;
    static constexpr double fieldSize = 13;
    static constexpr double problemSize = 12;

private:
    void nameChanged();
    void save();

    QLabel* title_;
    QLabel* detail_;
    QLineEdit* name_;
    QLabel* problem_;
    PillButton* save_;
    PillButton* cancel_;
};

// Brings a modal dialog in front of other programs' windows, as the
// application activates itself for it.
void bringForward(QWidget& dialog);

// The export panel, proposing `fileName` in the home folder.
std::unique_ptr<QFileDialog> makeExportDialog(const QString& fileName);
// The import panel, JSON files only.
std::unique_ptr<QFileDialog> makeImportDialog();

class QtWorkflowPanels : public WorkflowPanels {
public:
    explicit QtWorkflowPanels(AnimationTime time) : time_(time) {}

    std::optional<std::string> askWorkflowName() override;
    std::optional<std::filesystem::path> chooseExportFile(const std::string& fileName) override;
    std::optional<std::filesystem::path> chooseImportFile() override;

private:
    AnimationTime time_;
};

} // namespace kavelo
