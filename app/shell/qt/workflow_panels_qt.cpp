#include "app/shell/qt/workflow_panels_qt.h"

#include "app/settings/settings_style.h"
#include "app/ui/fonts.h"
#include "app/ui/pill_button.h"
#include "app/ui/theme.h"
#include "app/workflows/workflows.h"
#include "core/text.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kavelo {

namespace {

QString fieldStyle()
{
    const auto rgba = [](const QColor& c) {
        return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alphaF());
    };
    return QStringLiteral("QLineEdit { background: %1; color: %2; border: 1px solid %3; border-radius: 6px;"
                          " padding: 0 7px; selection-background-color: %4; selection-color: black; }"
                          " QLineEdit:focus { border: 1px solid %4; }")
        .arg(rgba(Theme::withOpacity(Qt::white, 0.08)), rgba(Theme::moon()), rgba(Theme::withOpacity(Qt::white, 0.14)),
             rgba(Theme::lit()));
}

} // namespace

SaveWorkflowAlert::SaveWorkflowAlert(AnimationTime time, QWidget* parent)
    : QDialog(parent),
      title_(SettingsStyle::label(QStringLiteral("Save this workflow"), Fonts::system(titleSize, Fonts::Weight::bold),
                                  Theme::moon(), this)),
      detail_(SettingsStyle::wrappingLabel(QStringLiteral("Saves your open apps, window positions and Firefox tabs."),
                                           Fonts::system(detailSize), Theme::dusk(), this)),
      name_(new QLineEdit(this)),
      problem_(SettingsStyle::wrappingLabel(QString(), Fonts::system(problemSize), SettingsStyle::orange(), this)),
      save_(new PillButton(QStringLiteral("Save Workflow"), time, true, this)),
      cancel_(new PillButton(QStringLiteral("Cancel"), time, false, this))
{
    setWindowTitle(QStringLiteral("Kavelo"));
    setPalette(SettingsStyle::darkPalette());
    setAutoFillBackground(true);
    name_->setPlaceholderText(QStringLiteral("Workflow name"));
    name_->setFont(Fonts::system(fieldSize));
    name_->setStyleSheet(fieldStyle());
    name_->setFixedSize(240, 24);
    problem_->hide();
    connect(name_, &QLineEdit::textChanged, this, [this] { nameChanged(); });
    connect(name_, &QLineEdit::returnPressed, this, [this] { save(); });
    connect(save_, &QAbstractButton::clicked, this, [this] { save(); });
    connect(cancel_, &QAbstractButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
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
    column->addWidget(problem_);
    column->addSpacing(8);
    column->addLayout(buttons);
    setFixedWidth(width);
    nameChanged();
    name_->setFocus();
}

void SaveWorkflowAlert::nameChanged()
{
    const std::string name = text::trimmingWhitespace(name_->text().toStdString());
    const std::optional<std::string> problem = name.empty() ? std::nullopt : Workflows::nameProblem(name);
    problem_->setText(QString::fromStdString(problem.value_or("")));
    problem_->setVisible(problem.has_value());
    save_->setEnabled(!name.empty() && !problem);
    adjustSize();
}

void SaveWorkflowAlert::save()
{
    if (save_->isEnabled())
        accept();
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
    SaveWorkflowAlert alert(time_);
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
