#include "app/shell/qt/workflow_panels_qt.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kavelo {

SaveWorkflowAlert::SaveWorkflowAlert(QWidget* parent)
    : QDialog(parent), title_(new QLabel(QStringLiteral("Save this workflow"), this)),
      detail_(new QLabel(QStringLiteral("Saves your open apps, window positions and Firefox tabs."), this)),
      name_(new QLineEdit(this)), save_(new QPushButton(QStringLiteral("Save Workflow"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this))
{
    setWindowTitle(QStringLiteral("Kavelo"));
    setAutoFillBackground(true);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    detail_->setWordWrap(true);
    name_->setPlaceholderText(QStringLiteral("Workflow name"));
    name_->setFixedSize(240, 24);
    save_->setDefault(true);
    connect(save_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    buttons->addWidget(save_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 18, 20, 16);
    column->setSpacing(8);
    column->addWidget(title_);
    column->addWidget(detail_);
    column->addSpacing(4);
    column->addWidget(name_);
    column->addSpacing(8);
    column->addLayout(buttons);
    setFixedWidth(300);
    name_->setFocus();
}

void bringForward(QWidget& dialog)
{
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

std::unique_ptr<QFileDialog> makeExportDialog(const QString& fileName)
{
    auto dialog = std::make_unique<QFileDialog>(nullptr, QStringLiteral("Export Workflow"), QDir::homePath());
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->selectFile(fileName);
    return dialog;
}

std::unique_ptr<QFileDialog> makeImportDialog()
{
    auto dialog = std::make_unique<QFileDialog>(nullptr, QStringLiteral("Import Workflow"), QDir::homePath());
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(QStringLiteral("JSON (*.json)"));
    return dialog;
}

std::optional<std::string> QtWorkflowPanels::askWorkflowName()
{
    SaveWorkflowAlert alert;
    bringForward(alert);
    alert.nameField()->setFocus();
    if (alert.exec() != QDialog::Accepted)
        return std::nullopt;
    return alert.nameField()->text().toStdString();
}

namespace {

std::optional<std::filesystem::path> chosen(QFileDialog& dialog)
{
    bringForward(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().first().toStdString());
}

} // namespace

std::optional<std::filesystem::path> QtWorkflowPanels::chooseExportFile(const std::string& fileName)
{
    return chosen(*makeExportDialog(QString::fromStdString(fileName)));
}

std::optional<std::filesystem::path> QtWorkflowPanels::chooseImportFile() { return chosen(*makeImportDialog()); }

} // namespace kavelo
