// The save alert and the file dialogs of workflows, offscreen.

#include "app/platform/manual_scheduler.h"
#include "app/shell/qt/workflow_panels_qt.h"
#include "app/ui/fonts.h"
#include "app/ui/pill_button.h"
#include "app/ui/theme.h"
#include "app/ui/capture.h"
#include "support/ui_app.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace kavelo::testing {
namespace {

TEST(WorkflowPanelsQt, SaveAlertCarriesItsTextsAndAnswersWithTheTypedName)
{
    ManualScheduler scheduler;
    SaveWorkflowAlert alert(AnimationTime{scheduler, scheduler.clock()});
    EXPECT_EQ(alert.title()->text(), "Save this workflow");
    EXPECT_EQ(alert.detail()->text(), "Saves your open apps, window positions and Firefox tabs.");
    EXPECT_EQ(alert.nameField()->placeholderText(), "Workflow name");
    EXPECT_EQ(alert.nameField()->size(), QSize(240, 24));
    EXPECT_EQ(alert.saveButton()->text(), "Save Workflow");
    EXPECT_EQ(alert.cancelButton()->text(), "Cancel");
    EXPECT_TRUE(alert.saveButton()->prominent());
    EXPECT_FALSE(alert.cancelButton()->prominent());
    // Nothing to save until a name is typed.
    EXPECT_FALSE(alert.saveButton()->isEnabled());

    // Typed, then Return: saves.
    QTimer::singleShot(0, &alert, [&] {
        QTest::keyClicks(alert.nameField(), "Deep work");
        QTest::keyClick(alert.nameField(), Qt::Key_Return);
    });
    EXPECT_EQ(alert.exec(), QDialog::Accepted);
    EXPECT_EQ(alert.nameField()->text(), "Deep work");

    SaveWorkflowAlert cancelled(AnimationTime{scheduler, scheduler.clock()});
    QTimer::singleShot(0, &cancelled, [&] { QTest::mouseClick(cancelled.cancelButton(), Qt::LeftButton); });
    EXPECT_EQ(cancelled.exec(), QDialog::Rejected);
    SaveWorkflowAlert escaped(AnimationTime{scheduler, scheduler.clock()});
    QTimer::singleShot(0, &escaped, [&] { QTest::keyClick(escaped.nameField(), Qt::Key_Escape); });
    EXPECT_EQ(escaped.exec(), QDialog::Rejected);
}

TEST(WorkflowPanelsQt, SaveAlertIsBuiltFromTheKitInTheProgramsFontAndColours)
{
    ManualScheduler scheduler;
    SaveWorkflowAlert alert(AnimationTime{scheduler, scheduler.clock()});
    for (const QWidget* text : std::initializer_list<const QWidget*>{alert.title(), alert.detail(), alert.nameField()})
        EXPECT_EQ(text->font().family(), Fonts::textFamily());
    EXPECT_EQ(alert.title()->font().pixelSize(), 15);
    EXPECT_EQ(alert.palette().color(QPalette::Window), Theme::night());

    const QImage picture = Capture::render(alert);
    EXPECT_EQ(picture.pixelColor(3, 3).rgb(), Theme::night().rgb());
    // The prominent button in the accent, however faint while disabled.
    const QRect save = alert.saveButton()->geometry();
    const QColor middle = picture.pixelColor(save.left() + 6, save.center().y());
    EXPECT_GT(middle.red(), middle.blue() + 20) << middle.name().toStdString();
    QTest::keyClicks(alert.nameField(), "Deep work");
    const QImage typed = Capture::render(alert);
    EXPECT_NEAR(typed.pixelColor(save.left() + 6, save.center().y()).red(), Theme::lit().red(), 6);
    Capture::savePng(typed, pictureFolder() + "save_workflow_alert.png");
}

TEST(WorkflowPanelsQt, SaveAlertNamesANameThatCannotBeSavedAndWaits)
{
    ManualScheduler scheduler;
    SaveWorkflowAlert alert(AnimationTime{scheduler, scheduler.clock()});
    alert.show();
    alert.nameField()->setText(QStringLiteral("auto-Desk"));
    EXPECT_TRUE(alert.problem()->isVisible());
    EXPECT_EQ(alert.problem()->text(), "Names starting with \"auto-\" are kept for the layouts of monitor setups.");
    EXPECT_FALSE(alert.saveButton()->isEnabled());
    // Return does nothing while the name cannot be saved.
    QTest::keyClick(alert.nameField(), Qt::Key_Return);
    EXPECT_TRUE(alert.isVisible());

    alert.nameField()->setText(QString(300, QChar('x')));
    EXPECT_EQ(alert.problem()->text(), "The name is too long; choose a shorter one.");
    Capture::savePng(Capture::render(alert), pictureFolder() + "save_workflow_alert_refused.png");

    alert.nameField()->setText(QStringLiteral("  "));
    EXPECT_FALSE(alert.problem()->isVisible());
    EXPECT_FALSE(alert.saveButton()->isEnabled());
    alert.nameField()->setText(QStringLiteral("Desk"));
    EXPECT_FALSE(alert.problem()->isVisible());
    EXPECT_TRUE(alert.saveButton()->isEnabled());
}

TEST(WorkflowPanelsQt, FileDialogsProposeTheExportNameAndOpenOnlyJson)
{
    const auto exporting = makeExportDialog("Deep work.kavelo.json");
    EXPECT_EQ(exporting->acceptMode(), QFileDialog::AcceptSave);
    ASSERT_FALSE(exporting->selectedFiles().isEmpty());
    EXPECT_TRUE(exporting->selectedFiles().first().endsWith("/Deep work.kavelo.json"));

    const auto importing = makeImportDialog();
    EXPECT_EQ(importing->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(importing->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(importing->nameFilters(), QStringList{"JSON (*.json)"});
}

} // namespace
} // namespace kavelo::testing
