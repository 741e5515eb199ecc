// The Workflows page on a temporary store: what it shows for the listed
// workflows, edits that go to the files (and only to files that still hold
// their workflow), the two-step delete with its half-second guard, and the
// message line.

#include "app/platform/qt/qt_scheduler.h"
#include "app/settings/setting_rows.h"
#include "app/settings/settings_view.h"
#include "app/ui/capture.h"
#include "app/ui/fonts.h"
#include "app/ui/key_cap.h"
#include "app/ui/pill_button.h"
#include "app/ui/theme.h"
#include "settings/workflows_page_world.h"

#include <QLabel>
#include <QPointer>

namespace kavelo::testing {
namespace {

// What a double click delivers on a real display: the second press comes
// with a double-click event, and each release makes a click.
void doubleClick(QWidget* target)
{
    const QPointF at = QRectF(target->rect()).center();
    const QPointF global = target->mapToGlobal(at);
    const auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, global, Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    };
    for (int i = 0; i < 2; ++i) {
        send(QEvent::MouseButtonPress, Qt::LeftButton);
        if (i == 1)
            send(QEvent::MouseButtonDblClick, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, Qt::NoButton);
    }
}

// Vertical distance from the bottom of `above` to the top of `below`, both
// in the page's coordinates.
int gap(QWidget* page, QWidget* above, QWidget* below)
{
    const int bottom = above->mapTo(page, QPoint(0, above->height())).y();
    return below->mapTo(page, QPoint()).y() - bottom;
}

} // namespace


TEST_F(WorkflowsPage, WithoutWorkflowsTheEmptyCardTheImportButtonAndTheBrowserTabs)
{
    open();
    EXPECT_TRUE(page->cards().empty());
    ASSERT_TRUE(page->emptyState()->isVisible());
    QStringList texts;
    for (QLabel* label : page->emptyState()->findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("No workflows yet"));
    EXPECT_TRUE(texts.contains("Set up your apps and windows, then save a workflow from Kavelo's panel."));
    EXPECT_EQ(page->emptyState()->width(), page->width());

    EXPECT_EQ(page->importButton()->text(), "Import a workflow…");
    EXPECT_FALSE(page->importButton()->prominent());
    // Centred in the column.
    const QRect import = page->importButton()->geometry();
    EXPECT_LE(std::abs(import.center().x() - page->width() / 2), 1);

    // Firefox is not installed here: its row says so and is disabled, as
    // the Chromium family's always is.
    EXPECT_EQ(page->firefoxRow()->titleLabel()->text(), "Firefox");
    EXPECT_EQ(page->firefoxRow()->unavailable(), "Firefox isn't installed on this computer.");
    EXPECT_EQ(page->chromiumRow()->titleLabel()->text(), "Chrome, Chromium, Brave and Edge");
    EXPECT_EQ(page->chromiumRow()->unavailable(), "Their tabs can't be read on Linux, so they aren't saved.");
    EXPECT_EQ(static_cast<QLabel*>(page->chromiumRow()->control())->text(), "Not saved");
    EXPECT_FALSE(page->messageLabel()->isVisible());

    // Parts 14 apart, top to bottom.
    EXPECT_EQ(page->emptyState()->y(), 0);
    EXPECT_EQ(gap(page, page->emptyState(), page->importButton()), 14);
    EXPECT_EQ(gap(page, page->importButton(), page->tabsGroup()), 14);
}

TEST_F(WorkflowsPage, FirefoxTabsAreLiveWhereFirefoxIsInstalled)
{
    sim.install("firefox-esr", SimInstalledApp{.location = "/usr/share/applications/firefox-esr.desktop"});
    open();
    EXPECT_EQ(page->firefoxRow()->unavailable(), std::nullopt);
    EXPECT_EQ(page->firefoxRow()->detail(), "Open tabs are saved, without private windows.");
    EXPECT_EQ(static_cast<QLabel*>(page->firefoxRow()->control())->text(), "Saved");
}

TEST_F(WorkflowsPage, CardsInListOrderWithCountsKeyCapsAndTheirControls)
{
    stored("Zed", std::nullopt, 1);
    stored("Mail", 3, 2, [](Workspace& w) { w.tabs["com.google.Chrome"] = {"https://a.example/"}; });
    stored("Code", 1, 3, [](Workspace& w) {
        w.tidy = TidyLayout::columns;
        w.hidesOtherApps = true;
        w.opensOnSetup = true;
    });
    open();
    EXPECT_FALSE(page->emptyState()->isVisible());
    ASSERT_EQ(cardNames(), (std::vector<std::string>{"Code", "Mail", "Zed"}));

    WorkflowCard* mail = page->card("Mail");
    EXPECT_EQ(mail->infoRow()->titleLabel()->text(), "Mail");
    EXPECT_EQ(mail->infoRow()->detailLabel()->text(), "2 apps, 2 windows, 1 tab");
    ASSERT_TRUE(mail->keyCap()->isVisible());
    EXPECT_EQ(mail->keyCap()->text(), "Ctrl+Alt+3");
    EXPECT_FALSE(page->card("Zed")->keyCap()->isVisible());
    EXPECT_EQ(page->card("Zed")->infoRow()->detailLabel()->text(), "1 app, 1 window, 0 tabs");

    // Key cap and "Switch" side by side, 16 apart; "Export" and "Delete" too.
    EXPECT_EQ(mail->switchButton()->x() - mail->keyCap()->geometry().right() - 1, 16);
    EXPECT_EQ(mail->deleteButton()->x() - mail->exportButton()->geometry().right() - 1, 16);
    EXPECT_TRUE(mail->switchButton()->prominent());
    EXPECT_FALSE(mail->exportButton()->prominent());
    EXPECT_EQ(mail->deleteButton()->text(), "Delete");
    EXPECT_FALSE(mail->deleteButton()->prominent());
    // Without a key cap, "Switch" keeps its place at the trailing edge.
    EXPECT_EQ(page->card("Zed")->switchButton()->mapTo(page, QPoint()).x(),
              mail->switchButton()->mapTo(page, QPoint()).x());

    // Five rows, titles as the page names them; no card has a title or footer.
    EXPECT_EQ(mail->rows()->rows().size(), 5u);
    EXPECT_EQ(mail->rows()->dividers().size(), 4u);
    EXPECT_EQ(mail->titleLabel(), nullptr);
    EXPECT_EQ(mail->footerLabel(), nullptr);
    EXPECT_EQ(mail->arrangeRow()->titleLabel()->text(), "Arrange windows");
    EXPECT_EQ(mail->opensOnSetupRow()->titleLabel()->text(), "Switch to this when these monitors connect");
    EXPECT_EQ(mail->hidesOtherAppsRow()->titleLabel()->text(), "Hide other apps");
    EXPECT_EQ(mail->shareRow()->titleLabel()->text(), "Share or remove");

    QComboBox* picker = mail->arrangePicker();
    EXPECT_EQ(picker->width(), 170);
    QStringList options;
    for (int i = 0; i < picker->count(); ++i)
        options << picker->itemText(i);
    EXPECT_EQ(options, (QStringList{"Where I left them", "Grid", "Columns", "Rows", "Focus", "Your grid"}));
    EXPECT_EQ(picker->currentIndex(), 0);

    WorkflowCard* code = page->card("Code");
    EXPECT_EQ(code->arrangePicker()->currentText(), "Columns");
    EXPECT_TRUE(code->opensOnSetupRow()->isOn());
    EXPECT_TRUE(code->hidesOtherAppsRow()->isOn());
    EXPECT_FALSE(mail->opensOnSetupRow()->isOn());

    // Cards, then the import button, 14 apart.
    EXPECT_EQ(gap(page, page->card("Code"), page->card("Mail")), 14);
    EXPECT_EQ(gap(page, page->card("Zed"), page->importButton()), 14);
}

TEST_F(WorkflowsPage, SwitchExportAndImportGoToTheWorkflows)
{
    const auto editor = sim.addApp(SimApp{.bundleID = "com.example.App0", .name = "App0"});
    sim.addWindow(SimWindow{.pid = editor, .title = "w0", .frame = {500, 400, 300, 200}});
    stored("Mail", 2, 1);
    open();
    press(page->card("Mail")->switchButton());
    EXPECT_EQ(toast.last(), "Switched to Mail");

    panels.exportTo = home.root() / "out.kavelo.json";
    press(page->card("Mail")->exportButton());
    EXPECT_EQ(panels.proposed, "Mail.kavelo.json");
    EXPECT_TRUE(std::filesystem::exists(*panels.exportTo));

    // The exported file comes back as a new card with the next free slot.
    auto json = nlohmann::json::parse(std::ifstream(*panels.exportTo));
    json["name"] = "Mail copy";
    std::ofstream(home.root() / "in.json") << json.dump();
    panels.importFrom = home.root() / "in.json";
    press(page->importButton());
    EXPECT_EQ(cardNames(), (std::vector<std::string>{"Mail copy", "Mail"}));
    EXPECT_EQ(page->card("Mail copy")->keyCap()->text(), "Ctrl+Alt+1");
}

TEST_F(WorkflowsPage, EditsWriteTheStoredFileBackOneFieldAtATime)
{
    stored("Mail", 2, 2, [](Workspace& w) { w.tidy = TidyLayout::grid; });
    open();
    WorkflowCard* card = page->card("Mail");

    // Written from the file, not from the listed copy: a change made on
    // disk since the list was read survives the edit.
    Workspace onDisk = *file("Mail");
    onDisk.windows.pop_back();
    workflows.store().save(onDisk);

    QTest::mouseClick(card->opensOnSetupRow()->toggle(), Qt::LeftButton);
    EXPECT_TRUE(file("Mail")->opensOnSetup);
    EXPECT_EQ(file("Mail")->windows.size(), 1u);
    // The list was reloaded by the write and the card shows it.
    EXPECT_EQ(card->infoRow()->detailLabel()->text(), "1 app, 1 window, 0 tabs");
    EXPECT_TRUE(card->opensOnSetupRow()->isOn());

    QTest::mouseClick(card->hidesOtherAppsRow()->toggle(), Qt::LeftButton);
    EXPECT_TRUE(file("Mail")->hidesOtherApps);
    QTest::mouseClick(card->hidesOtherAppsRow()->toggle(), Qt::LeftButton);
    EXPECT_FALSE(file("Mail")->hidesOtherApps);

    // A real key press on the closed picker picks the next layout.
    QTest::keyClick(card->arrangePicker(), Qt::Key_Down);
    EXPECT_EQ(file("Mail")->tidy, TidyLayout::columns);
    choose(card->arrangePicker(), 5);
    EXPECT_EQ(file("Mail")->tidy, TidyLayout::custom);

    // "Where I left them" stores no tidy layout at all.
    choose(card->arrangePicker(), 0);
    EXPECT_EQ(file("Mail")->tidy, std::nullopt);
    EXPECT_FALSE(fileJSON("Mail").contains("tidy"));
    EXPECT_EQ(card->arrangePicker()->currentIndex(), 0);
    // Nothing else moved: same name, slot and save time.
    EXPECT_EQ(file("Mail")->slot, 2);
    EXPECT_EQ(file("Mail")->savedAt, onDisk.savedAt);
    EXPECT_EQ(card, page->card("Mail"));
}

TEST_F(WorkflowsPage, ACardWhoseFileVanishedOrHoldsAnotherWorkflowIgnoresEdits)
{
    stored("Gone", 1, 1);
    stored("A/B", 2, 1);
    open();
    std::filesystem::remove(workflows.store().url("Gone"));
    WorkflowCard* gone = page->card("Gone");
    ASSERT_NE(gone, nullptr);
    QTest::mouseClick(gone->opensOnSetupRow()->toggle(), Qt::LeftButton);
    QTest::mouseClick(gone->hidesOtherAppsRow()->toggle(), Qt::LeftButton);
    choose(gone->arrangePicker(), 2);
    EXPECT_FALSE(std::filesystem::exists(workflows.store().url("Gone")));
    // The controls show the listed workflow again.
    EXPECT_FALSE(gone->opensOnSetupRow()->isOn());
    EXPECT_FALSE(gone->hidesOtherAppsRow()->isOn());
    EXPECT_EQ(gone->arrangePicker()->currentIndex(), 0);
    EXPECT_EQ(workflows.message(), std::nullopt);

    // "A/B" and "A:B" share a file name; once "A:B" holds it, edits and
    // deletes on the "A/B" card must not touch "A:B".
    std::filesystem::remove(workflows.store().url("A/B"));
    Workspace other{.name = "A:B", .displays = "fp", .savedAt = scheduler.now()};
    workflows.store().save(other);
    WorkflowCard* ab = page->card("A/B");
    ASSERT_NE(ab, nullptr);
    QTest::mouseClick(ab->hidesOtherAppsRow()->toggle(), Qt::LeftButton);
    EXPECT_EQ(file("A:B"), other);
    press(ab->deleteButton());
    scheduler.advance(1);
    press(ab->deleteButton());
    EXPECT_EQ(file("A:B"), other);
    // The list now shows the folder as it is.
    scheduler.runPending();
    EXPECT_EQ(cardNames(), (std::vector<std::string>{"A:B"}));
}

TEST_F(WorkflowsPage, AFailedWriteShowsTheMessageUnderTheBrowserTabs)
{
    // A name so long that the file fits but the temporary beside it does
    // not: the store reads it and cannot write it, whoever runs this.
    const std::string name(245, 'x');
    Workspace w{.name = name, .displays = "fp", .savedAt = scheduler.now(), .slot = 1};
    std::filesystem::create_directories(workflows.store().directory);
    std::ofstream(workflows.store().url(name)) << toJSON(w).dump();
    ASSERT_TRUE(file(name));
    workflows.reload();
    open();
    WorkflowCard* card = page->card(name);
    ASSERT_NE(card, nullptr);
    QTest::mouseClick(card->hidesOtherAppsRow()->toggle(), Qt::LeftButton);
    EXPECT_FALSE(file(name)->hidesOtherApps);
    EXPECT_FALSE(card->hidesOtherAppsRow()->isOn());

    settleLayouts();
    const QString expected = QString::fromStdString("Couldn't save " + name + ". Check that your disk isn't full.");
    ASSERT_TRUE(page->messageLabel()->isVisible());
    EXPECT_EQ(page->messageLabel()->text(), expected);
    EXPECT_EQ(gap(page, page->tabsGroup(), page->messageLabel()), 14);
    EXPECT_EQ(page->messageLabel()->font().pixelSize(), Fonts::pixelSize(12.5));

    // The next good operation clears it.
    stored("Fine", 2, 0);
    press(page->card("Fine")->switchButton());
    EXPECT_FALSE(page->messageLabel()->isVisible());
}

TEST_F(WorkflowsPage, DeleteArmsFirstAndDeletesOnlyAfterHalfASecond)
{
    stored("One", 1);
    stored("Two", 2);
    open();
    WorkflowCard* one = page->card("One");
    WorkflowCard* two = page->card("Two");

    scheduler.advance(10);
    press(one->deleteButton());
    EXPECT_EQ(armed, "One");
    EXPECT_EQ(one->deleteButton()->text(), "Delete?");
    EXPECT_TRUE(one->deleteButton()->prominent());
    EXPECT_EQ(two->deleteButton()->text(), "Delete");

    // Arming the other card disarms the first; nothing is deleted.
    press(two->deleteButton());
    EXPECT_EQ(armed, "Two");
    EXPECT_EQ(one->deleteButton()->text(), "Delete");
    EXPECT_FALSE(one->deleteButton()->prominent());
    EXPECT_EQ(two->deleteButton()->text(), "Delete?");

    // Exactly half a second is not more than half a second.
    scheduler.advance(0.5);
    press(two->deleteButton());
    EXPECT_TRUE(file("Two"));
    EXPECT_EQ(armed, "Two");
    EXPECT_EQ(two->deleteButton()->text(), "Delete?");

    scheduler.advance(0.01);
    press(two->deleteButton());
    EXPECT_FALSE(file("Two"));
    EXPECT_EQ(armed, std::nullopt);
    EXPECT_EQ(itemNames(), (std::vector<std::string>{"One"}));
    // The card leaves at once and is gone once the click has returned.
    EXPECT_EQ(cardNames(), (std::vector<std::string>{"One"}));
    EXPECT_FALSE(two->isVisible());
    QPointer<WorkflowCard> leaving(two);
    scheduler.runPending();
    EXPECT_TRUE(leaving.isNull());
    EXPECT_EQ(one->deleteButton()->text(), "Delete");
    EXPECT_EQ(workflows.message(), std::nullopt);
}

TEST_F(WorkflowsPage, ADoubleClickOnDeleteOnlyArms)
{
    stored("Only", 1);
    open();
    PillButton* button = page->card("Only")->deleteButton();
    int clicks = 0;
    QObject::connect(button, &QAbstractButton::clicked, [&] { ++clicks; });
    doubleClick(button);
    ASSERT_EQ(clicks, 2);
    EXPECT_TRUE(file("Only"));
    EXPECT_EQ(button->text(), "Delete?");

    // Waiting never disarms it; the next press after the guard deletes.
    scheduler.advance(60);
    EXPECT_EQ(button->text(), "Delete?");
    press(button);
    EXPECT_FALSE(file("Only"));
    scheduler.runPending();
    EXPECT_TRUE(page->cards().empty());
    EXPECT_TRUE(page->emptyState()->isVisible());
}

TEST_F(WorkflowsPage, TheListChangingElsewhereKeepsCardsAndFollowsTheOrder)
{
    stored("B", 2);
    open();
    WorkflowCard* b = page->card("B");
    press(b->deleteButton());
    // The menu bar saves another workflow meanwhile.
    stored("A", 1);
    EXPECT_EQ(cardNames(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(page->card("B"), b);
    settleLayouts();
    EXPECT_LT(page->card("A")->y(), b->y());
    EXPECT_TRUE(page->card("A")->isVisible());
    // The arming stays with its card.
    EXPECT_EQ(b->deleteButton()->text(), "Delete?");
    EXPECT_EQ(page->card("A")->deleteButton()->text(), "Delete");
    // A re-save that takes another slot updates the key cap in place.
    stored("B", 7);
    EXPECT_EQ(b->keyCap()->text(), "Ctrl+Alt+7");
}

// Workflows saved and removed while the page is open by whoever writes the
// folder: a `kavelo --save` in its own process, a file manager. The first
// save makes the folder, which did not exist when the page opened.
TEST_F(WorkflowsPage, ThePageFollowsTheFolderWhoeverChangesIt)
{
    QtScheduler loop;
    workflows.follow([&loop](int fd, std::function<void()> ready) { return loop.watchReadable(fd, std::move(ready)); });
    ASSERT_FALSE(std::filesystem::exists(workflows.store().directory));
    open();
    const auto shows = [&](std::vector<std::string> names) {
        return QTest::qWaitFor([&] { return cardNames() == names; }, 5000);
    };
    const WorkspaceStore elsewhere(workflows.store().directory);
    for (const char* name : {"Alpha", "Beta"})
        elsewhere.save(Workspace{.name = name, .displays = "fp", .savedAt = scheduler.now()});
    EXPECT_TRUE(shows({"Alpha", "Beta"})) << ::testing::PrintToString(cardNames());
    EXPECT_FALSE(page->emptyState()->isVisible());
    std::filesystem::remove(elsewhere.url("Alpha"));
    EXPECT_TRUE(shows({"Beta"})) << ::testing::PrintToString(cardNames());
}

TEST_F(WorkflowsPage, OpeningThePageStoresNothing)
{
    prefs.setWindowGap(12);
    stored("Mail", 3, 2, [](Workspace& w) { w.tidy = TidyLayout::rows; });
    stored("Zed", std::nullopt);
    const auto defaults = defaultsFile();
    const auto before = std::filesystem::last_write_time(workflows.store().url("Mail"));
    const auto mail = fileJSON("Mail");
    open();
    (void)Capture::render(*backdrop);
    scheduler.advance(2);
    EXPECT_EQ(defaultsFile(), defaults);
    EXPECT_EQ(fileJSON("Mail"), mail);
    EXPECT_EQ(std::filesystem::last_write_time(workflows.store().url("Mail")), before);
    EXPECT_FALSE(workflows.store().load("Zed")->tidy);
}

TEST_F(WorkflowsPage, ArmedDeleteLivesInTheSettingsViewAcrossPages)
{
    stored("Keep", 1);
    stored("Drop", 2);
    SettingsView view(prefs, watcher, workflows, actions, sim.keyboard(), time(), SettingsTab::workflows);
    showSettled(view);
    auto* page = dynamic_cast<kavelo::WorkflowsPage*>(view.page());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(view.pageTitle()->text(), "Workflows");
    press(page->card("Drop")->deleteButton());
    EXPECT_EQ(view.confirmingDelete(), "Drop");

    view.select(SettingsTab::general);
    view.select(SettingsTab::workflows);
    page = dynamic_cast<kavelo::WorkflowsPage*>(view.page());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->card("Drop")->deleteButton()->text(), "Delete?");
    press(page->card("Drop")->deleteButton());
    EXPECT_TRUE(file("Drop"));
    scheduler.advance(0.6);
    press(page->card("Drop")->deleteButton());
    EXPECT_FALSE(file("Drop"));
    EXPECT_EQ(view.confirmingDelete(), std::nullopt);
    scheduler.runPending();
    ASSERT_EQ(page->cards().size(), 1u);
    EXPECT_EQ(page->cards()[0]->name(), "Keep");
}

TEST_F(WorkflowsPage, Pictures)
{
    const auto save = [](const QImage& image, const std::string& name) {
        EXPECT_TRUE(Capture::savePng(image, picturePath("settings-workflows-" + name + ".png")));
    };
    Theme::isRendering = true;
    {
        SettingsView view(prefs, watcher, workflows, actions, sim.keyboard(), time(), SettingsTab::workflows);
        showSettled(view);
        save(Capture::render(view), "empty");
    }
    stored("Deep work", 1, 4, [](Workspace& w) {
        w.tabs["com.google.Chrome"] = {"https://a.example/", "https://b.example/"};
        w.tidy = TidyLayout::columns;
        w.hidesOtherApps = true;
    });
    stored("Mail and chat", 2, 2, [](Workspace& w) { w.opensOnSetup = true; });
    stored("Evening", std::nullopt, 1);
    open();
    save(Capture::render(*backdrop), "three");
    press(page->card("Mail and chat")->deleteButton());
    panels.importFrom = home.root() / "missing.json";
    press(page->importButton());
    settleLayouts();
    backdrop->resize(552, backdrop->layout()->totalHeightForWidth(552));
    settleLayouts();
    const QImage armedPicture = Capture::render(*backdrop);
    save(armedPicture, "armed-and-message");
    Theme::isRendering = false;

    // The armed button is the accent pill; the message is on the picture.
    const QRect button(page->card("Mail and chat")->deleteButton()->mapTo(backdrop.get(), QPoint()),
                       page->card("Mail and chat")->deleteButton()->size());
    EXPECT_GT(pixelsNear(armedPicture, button, Theme::lit(), 8), button.width() * button.height() / 3);
    EXPECT_TRUE(page->messageLabel()->isVisible());
    EXPECT_EQ(page->messageLabel()->text(), "That file isn't a Kavelo workflow.");
}

} // namespace kavelo::testing
