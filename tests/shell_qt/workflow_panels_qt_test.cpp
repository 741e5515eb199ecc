// The save alert and the file dialogs of workflows, offscreen.

#include "app/shell/qt/workflow_panels_qt.h"
#include "app/ui/capture.h"
#include "support/ui_app.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace kavelo::testing {
namespace {

TEST(WorkflowPanelsQt, SaveAlertCarriesItsTextsAndAnswersWithTheTypedName)
{
    SaveWorkflowAlert alert;
    EXPECT_EQ(alert.title()->text(), "Save this workflow");
    EXPECT_EQ(alert.detail()->text(), "Saves your open apps, window positions and Firefox tabs.");
    EXPECT_EQ(alert.nameField()->placeholderText(), "Workflow name");
    EXPECT_EQ(alert.nameField()->size(), QSize(240, 24));
    EXPECT_EQ(alert.saveButton()->text(), "Save Workflow");
    EXPECT_EQ(alert.cancelButton()->text(), "Cancel");
    EXPECT_TRUE(alert.saveButton()->isDefault());

    // Typed, then Return: the default button saves.
    QTimer::singleShot(0, &alert, [&] {
        QTest::keyClicks(alert.nameField(), "Deep work");
        QTest::keyClick(alert.nameField(), Qt::Key_Return);
    });
    EXPECT_EQ(alert.exec(), QDialog::Accepted);
    EXPECT_EQ(alert.nameField()->text(), "Deep work");

    const QImage picture = Capture::render(alert);
    EXPECT_GT(opaquePixels(picture, 0), picture.width() * picture.height() / 2);
    Capture::savePng(picture, pictureFolder() + "save_workflow_alert.png");

    SaveWorkflowAlert cancelled;
    QTimer::singleShot(0, &cancelled, [&] { QTest::mouseClick(cancelled.cancelButton(), Qt::LeftButton); });
    EXPECT_EQ(cancelled.exec(), QDialog::Rejected);
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
