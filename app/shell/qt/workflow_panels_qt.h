#pragma once

// The workflow questions as Qt dialogs: the "Save this workflow" alert with
// its name field, and the file dialogs of export and import.

#include "app/workflows/workflow_panels.h"

#include <QDialog>

#include <memory>

class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kavelo {

// The alert: a title, one line of explanation, a name field and the buttons
// "Save Workflow" (the default) and "Cancel".
class SaveWorkflowAlert : public QDialog {
public:
    explicit SaveWorkflowAlert(QWidget* parent = nullptr);

    QLabel* title() const { return title_; }
    QLabel* detail() const { return detail_; }
    QLineEdit* nameField() const { return name_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    QLabel* title_;
    QLabel* detail_;
    QLineEdit* name_;
    QPushButton* save_;
    QPushButton* cancel_;
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
    std::optional<std::string> askWorkflowName() override;
    std::optional<std::filesystem::path> chooseExportFile(const std::string& fileName) override;
    std::optional<std::filesystem::path> chooseImportFile() override;
};

} // namespace kavelo
