#include "app/settings/command_row.h"
#include "app/settings/setting_group.h"
#include "app/settings/setting_rows.h"
#include "app/settings/settings_style.h"
#include "app/settings/settings_view.h"
#include "app/settings/shortcuts_page.h"
#include "app/settings/symbol_button.h"
#include "app/ui/capture.h"
#include "app/ui/key_cap.h"
#include "app/ui/pill_button.h"
#include "app/ui/theme.h"
#include "settings/recording.h"
#include "settings/settings_world.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include <rapidcheck.h>
#include <rapidcheck/gtest.h>


namespace kavelo::testing {
namespace {

using Page = kavelo::ShortcutsPage;

constexpr int controlOption = Shortcut::control | Shortcut::option;
constexpr Shortcut f1{122, 0}, f2{120, 0}, f3{99, 0}, f12{111, 0};

struct ShortcutsPage : ::testing::Test, SettingsWorld {
    void open()
    {
        view = std::make_unique<SettingsView>(prefs, watcher, workflows, actions, sim.keyboard(), time(),
                                              SettingsTab::shortcuts);
        showSettled(*view);
        view->activateWindow();
    }
    Page* page() { return dynamic_cast<Page*>(view->page()); }
    CommandRow* row(Command command) { return page()->row(command); }
    // Shows what changed, as the next turn of the run loop does.
    void settle()
    {
        scheduler.runPending();
        settleLayouts();
    }
    void click(QAbstractButton* button)
    {
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
        settle();
    }
    void click(ShortcutRecorder* recorder)
    {
        QTest::mouseClick(recorder, Qt::LeftButton, {}, recorder->capsuleRect().center());
        settle();
    }
    void type(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        press(view.get(), key, modifiers);
        settle();
    }
    std::vector<Shortcut> extras(Command command)
    {
        const auto it = prefs.extraBindings().find(command);
        return it == prefs.extraBindings().end() ? std::vector<Shortcut>{} : it->second;
    }
    std::vector<std::string> extraLabels(Command command)
    {
        std::vector<std::string> out;
        for (ShortcutRecorder* r : row(command)->extraRecorders())
            out.push_back(r->label().toStdString());
        return out;
    }
    std::vector<ShortcutRecorder*> recorders()
    {
        std::vector<ShortcutRecorder*> all{page()->overviewRecorder()};
        for (Command command : allCommands) {
            all.push_back(row(command)->mainRecorder());
            for (ShortcutRecorder* extra : row(command)->extraRecorders())
                all.push_back(extra);
        }
        return all;
    }

    ShellKeys keys{prefs};
    std::unique_ptr<SettingsView> view;
};


TEST_F(ShortcutsPage, GroupsInOrderWithTheirTitlesRowsAndTheFixedWorkflowKeys)
{
    open();
    ASSERT_NE(page(), nullptr);
    EXPECT_EQ(view->pageTitle()->text(), "Shortcuts");
    std::vector<QString> titles;
    for (SettingGroup* group : page()->groups())
        titles.push_back(group->titleLabel()->text());
    EXPECT_EQ(titles, (std::vector<QString>{"Switch windows", "Find windows", "Everywhere", "Snapping", "Auto arrange",
                                            "Scrolling strip", "Workflows"}));
    ASSERT_NE(page()->groups()[0]->footerLabel(), nullptr);
    EXPECT_EQ(page()->groups()[0]->footerLabel()->text(), Page::switcherFooter());
    for (std::size_t i = 1; i < page()->groups().size(); ++i)
        EXPECT_EQ(page()->groups()[i]->footerLabel(), nullptr);

    // Every command once, in command order within its scope's group; the
    // snapping switch heads its group.
    const auto rowsOf = [&](std::size_t group) { return page()->groups()[group]->rows()->rows(); };
    EXPECT_EQ(rowsOf(3).front(), page()->snappingRow());
    std::vector<Command> listed;
    for (std::size_t group : {2u, 3u, 4u, 5u})
        for (QWidget* w : rowsOf(group))
            if (auto* r = dynamic_cast<CommandRow*>(w)) {
                EXPECT_EQ(r->titleLabel()->text(), QString::fromStdString(title(r->command())));
                listed.push_back(r->command());
            }
    EXPECT_EQ(listed, std::vector<Command>(allCommands.begin(), allCommands.end()));
    EXPECT_EQ(rowsOf(2).size(), 9u);
    EXPECT_EQ(rowsOf(3).size(), 8u);
    EXPECT_EQ(rowsOf(4).size(), 7u);
    EXPECT_EQ(rowsOf(5).size(), 32u);
    // No default shortcut clashes within one arrange mode.
    for (Command command : allCommands)
        EXPECT_EQ(row(command)->detail(), std::nullopt) << rawValue(command);

    EXPECT_EQ(page()->switcherRow()->titleLabel()->text(), "Use Alt+Tab to switch windows");
    EXPECT_EQ(page()->overviewRow()->titleLabel()->text(), "Keyboard shortcut");
    EXPECT_EQ(page()->overviewRecorder()->label(), "Ctrl+Alt+Space");
    EXPECT_EQ(page()->workflowKeys()->text(), "Ctrl+Alt+1 to Ctrl+Alt+9");
    EXPECT_EQ(page()->resetButton()->text(), "Reset All Shortcuts");
    EXPECT_FALSE(page()->resetButton()->prominent());
    EXPECT_EQ(row(Command::snapLeft)->mainRecorder()->label(), "Ctrl+Alt+←");
    EXPECT_EQ(row(Command::jump7)->mainRecorder()->label(), "Ctrl+Alt+Super+7");
    EXPECT_EQ(row(Command::tidy)->addButton()->toolTip(), "Add another shortcut");

    // Stacked 20 apart, leading-aligned; the reset button last.
    const auto& groups = page()->groups();
    for (std::size_t i = 1; i < groups.size(); ++i) {
        EXPECT_EQ(groups[i]->geometry().top(), groups[i - 1]->geometry().bottom() + 1 + 20);
        EXPECT_EQ(groups[i]->geometry().left(), 0);
    }
    EXPECT_EQ(page()->resetButton()->geometry().top(), groups.back()->geometry().bottom() + 1 + 20);
    EXPECT_EQ(page()->resetButton()->geometry().left(), 0);
    // Nothing records when the page opens, nor is anything written.
    EXPECT_FALSE(prefs.isRecording());
    EXPECT_TRUE(keys.calls.empty());
    EXPECT_FALSE(defaultsFile());
}

TEST_F(ShortcutsPage, AlsoUsedByOnlyForCommandsInScopesActiveTogether)
{
    // Tidy (everywhere) on Control-Option-Left, which "Left half" and
    // "Focus left" have by default.
    prefs.setBindings({{Command::tidy, Shortcut{123, controlOption}}});
    open();
    EXPECT_EQ(row(Command::tidy)->detail(), "Also used by Left half");
    EXPECT_EQ(row(Command::snapLeft)->detail(), "Also used by Tidy windows");
    EXPECT_EQ(row(Command::focusLeft)->detail(), "Also used by Tidy windows");
    // Auto and strip are never on together: the same default, no warning.
    EXPECT_EQ(standard(Command::swapLeft), standard(Command::moveLeft));
    EXPECT_EQ(row(Command::swapLeft)->detail(), std::nullopt);
    EXPECT_EQ(row(Command::moveLeft)->detail(), std::nullopt);

    // Recording tidy back to its default clears all three.
    click(row(Command::tidy)->mainRecorder());
    type(Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(prefs.key(Command::tidy), standard(Command::tidy));
    EXPECT_EQ(row(Command::tidy)->detail(), std::nullopt);
    EXPECT_EQ(row(Command::snapLeft)->detail(), std::nullopt);
    EXPECT_EQ(row(Command::focusLeft)->detail(), std::nullopt);
}

TEST_F(ShortcutsPage, AddAnotherShortcutListensAndEscapeKeepsTheF12Placeholder)
{
    open();
    CommandRow* tidy = row(Command::tidy);
    click(tidy->addButton());
    ASSERT_EQ(tidy->extraRecorders().size(), 1u);
    ShortcutRecorder* extra = tidy->extraRecorders().front();
    EXPECT_TRUE(extra->recording());
    EXPECT_EQ(extra->label(), "Press keys…");
    EXPECT_EQ(view->recordingRecorder(), extra);
    EXPECT_TRUE(prefs.isRecording());
    EXPECT_EQ(extras(Command::tidy), std::vector<Shortcut>{f12});

    type(Qt::Key_Escape);
    EXPECT_FALSE(extra->recording());
    EXPECT_FALSE(prefs.isRecording());
    EXPECT_EQ(extras(Command::tidy), std::vector<Shortcut>{f12});
    EXPECT_EQ(extra->label(), "F12");
    ASSERT_EQ(tidy->removeButtons().size(), 1u);
    EXPECT_EQ(tidy->removeButtons().front()->toolTip(), "Remove this shortcut");

    // The extra records into its own place; the main shortcut stays.
    click(extra);
    type(Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(extras(Command::tidy), (std::vector<Shortcut>{{40, controlOption}}));
    EXPECT_EQ(prefs.key(Command::tidy), standard(Command::tidy));
    EXPECT_EQ(prefs.bindings().size(), 0u);
    EXPECT_EQ(extraLabels(Command::tidy), std::vector<std::string>{"Ctrl+Alt+K"});
    // Order in the row: the extra and its minus, the main recorder, plus.
    EXPECT_LT(extra->x(), tidy->removeButtons().front()->x());
    EXPECT_LT(tidy->removeButtons().front()->x(), tidy->mainRecorder()->x());
    EXPECT_LT(tidy->mainRecorder()->x(), tidy->addButton()->x());
}

TEST_F(ShortcutsPage, ExistingExtrasWaitAndRemovingTheMiddleOfThreeKeepsTheOthersInOrder)
{
    prefs.setExtraBindings({{Command::snapLeft, {f1, f2, f3}}});
    open();
    EXPECT_EQ(extraLabels(Command::snapLeft), (std::vector<std::string>{"F1", "F2", "F3"}));
    for (ShortcutRecorder* r : recorders())
        EXPECT_FALSE(r->recording());
    EXPECT_FALSE(prefs.isRecording());

    click(row(Command::snapLeft)->removeButtons()[1]);
    EXPECT_EQ(extras(Command::snapLeft), (std::vector<Shortcut>{f1, f3}));
    EXPECT_EQ(extraLabels(Command::snapLeft), (std::vector<std::string>{"F1", "F3"}));
    click(row(Command::snapLeft)->removeButtons()[1]);
    click(row(Command::snapLeft)->removeButtons()[0]);
    EXPECT_TRUE(extras(Command::snapLeft).empty());
    EXPECT_TRUE(row(Command::snapLeft)->extraRecorders().empty());
}

TEST_F(ShortcutsPage, AnExtraWhosePlaceWentWhileItRecordedStopsAndStoresNothing)
{
    prefs.setExtraBindings({{Command::snapLeft, {f1, f2}}});
    open();
    ShortcutRecorder* second = row(Command::snapLeft)->extraRecorders()[1];
    click(second);
    ASSERT_TRUE(second->recording());
    // The first goes; before the page shows it, a key arrives for the
    // second place, which no longer exists.
    QTest::mouseClick(row(Command::snapLeft)->removeButtons()[0], Qt::LeftButton);
    press(view.get(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(extras(Command::snapLeft), std::vector<Shortcut>{f2});
    EXPECT_FALSE(prefs.isRecording());
    settle();
    EXPECT_EQ(extraLabels(Command::snapLeft), std::vector<std::string>{"F2"});

    // Removed while recording, a recorder stops and hands the keys back.
    click(row(Command::snapLeft)->extraRecorders()[0]);
    ASSERT_TRUE(prefs.isRecording());
    click(row(Command::snapLeft)->removeButtons()[0]);
    EXPECT_FALSE(prefs.isRecording());
    EXPECT_FALSE(keys.calls.back());
    EXPECT_EQ(view->recordingRecorder(), nullptr);
}

TEST_F(ShortcutsPage, ResetAllShortcutsClearsTheMainBindingsOnly)
{
    prefs.setBindings({{Command::tidy, f1}, {Command::focusLeft, f2}});
    prefs.setExtraBindings({{Command::tidy, {f3}}});
    prefs.setShortcut(Shortcut{40, controlOption});
    prefs.setMouseButton(4);
    open();
    EXPECT_EQ(row(Command::tidy)->mainRecorder()->label(), "F1");
    const std::size_t calls = keys.calls.size();
    click(page()->resetButton());
    EXPECT_TRUE(prefs.bindings().empty());
    EXPECT_EQ(keys.calls.size(), calls + 1);
    EXPECT_EQ(extras(Command::tidy), std::vector<Shortcut>{f3});
    EXPECT_EQ(prefs.shortcut(), (Shortcut{40, controlOption}));
    EXPECT_EQ(prefs.mouseButton(), 4);
    EXPECT_EQ(row(Command::tidy)->mainRecorder()->label(), "Ctrl+Alt+T");
    EXPECT_EQ(row(Command::focusLeft)->mainRecorder()->label(), "Ctrl+Alt+←");
    EXPECT_EQ(extraLabels(Command::tidy), std::vector<std::string>{"F3"});
}

TEST_F(ShortcutsPage, SnappingOffLeavesItsRowsEditable)
{
    open();
    Switch* toggle = page()->snappingRow()->toggle();
    QTest::mouseClick(toggle, Qt::LeftButton, {}, toggle->rect().center());
    settle();
    EXPECT_FALSE(prefs.snappingEnabled());
    for (Command command : {Command::snapLeft, Command::thirdRight}) {
        EXPECT_TRUE(row(command)->isVisible());
        EXPECT_TRUE(row(command)->isEnabled());
    }
    click(row(Command::thirdRight)->mainRecorder());
    type(Qt::Key_F9);
    EXPECT_EQ(prefs.key(Command::thirdRight), (Shortcut{101, 0}));
}

TEST_F(ShortcutsPage, SwitchesTheTakenDetailAndTheOverviewShortcutFollowTheSettings)
{
    open();
    EXPECT_EQ(page()->overviewRow()->detail(), std::nullopt);
    prefs.setShortcutTaken(true);
    settle();
    EXPECT_EQ(page()->overviewRow()->detail(), "Another app is using this. Choose a different one.");
    prefs.setShortcutTaken(false);
    settle();
    EXPECT_EQ(page()->overviewRow()->detail(), std::nullopt);

    prefs.setSwitcherEnabled(false);
    prefs.setSnappingEnabled(false);
    prefs.setShortcut(Shortcut{40, controlOption});
    settle();
    EXPECT_FALSE(page()->switcherRow()->isOn());
    EXPECT_FALSE(page()->snappingRow()->isOn());
    EXPECT_EQ(page()->overviewRecorder()->label(), "Ctrl+Alt+K");

    click(page()->overviewRecorder());
    type(Qt::Key_O, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(prefs.shortcut(), (Shortcut{31, controlOption | Shortcut::shift}));
}

// Rows whose keys another program holds say who holds them, as the held
// keys change: the main key as "this", an extra key by its label, before
// a clash; the switch of Alt-Tab and the workflow keys too.
TEST_F(ShortcutsPage, RowsNameTheProgramHoldingTheirKeysAsTheHeldKeysChange)
{
    open();
    Published<HeldKeys> held;
    view->setHeldKeys(&held);
    settle();
    EXPECT_EQ(row(Command::snapLeft)->detail(), std::nullopt);

    const Shortcut extra{0, Shortcut::control | Shortcut::option | Shortcut::command};
    prefs.setExtraBindings({{Command::tidy, {extra}}});
    prefs.setBindings({{Command::thirdCenter, standard(Command::snapCenter)}});
    settle();
    HeldKeys now{.manager = "Openbox"};
    now.add(standard(Command::snapLeft), true);
    now.add(standard(Command::snapCenter), true);
    now.add(extra, false);
    now.add(switcherShortcut, true);
    now.add(Shortcut::standard, true);
    const Shortcut slot3{20, 0x1800};
    now.add(slot3, true);
    now.workflowKeys.push_back(slot3);
    held.set(now);
    const std::string taken = "Openbox is using this. Choose a different one.";
    EXPECT_EQ(row(Command::snapLeft)->detail(), QString::fromStdString(taken));
    // A strip command on the same key says so as well: the key is held, whoever asks.
    EXPECT_EQ(row(Command::focusLeft)->detail(), QString::fromStdString(taken));
    EXPECT_EQ(row(Command::tidy)->detail(),
              QString::fromStdString("Openbox is using " + extra.label() + ". Choose a different one."));
    EXPECT_EQ(row(Command::thirdCenter)->detail(), QString::fromStdString(taken + "\nAlso used by Center"));
    EXPECT_EQ(row(Command::snapRight)->detail(), std::nullopt);
    EXPECT_EQ(page()->overviewRow()->detail(), QString::fromStdString(taken));
    EXPECT_EQ(page()->switcherRow()->detail(),
              QString::fromStdString("Openbox is using " + switcherShortcut.label() +
                                     ". Free it there to switch with Kavelo."));
    EXPECT_EQ(page()->workflowRow()->detail(), QString::fromStdString("Openbox is using " + slot3.label() + "."));

    // Freed, the lines go; without a manager's name, another app holds it.
    held.set(HeldKeys{});
    EXPECT_EQ(row(Command::snapLeft)->detail(), std::nullopt);
    EXPECT_EQ(page()->switcherRow()->detail(), std::nullopt);
    EXPECT_EQ(page()->workflowRow()->detail(), std::nullopt);
    EXPECT_EQ(row(Command::thirdCenter)->detail(), "Also used by Center");
    HeldKeys unnamed;
    unnamed.add(standard(Command::snapLeft), true);
    held.set(unnamed);
    EXPECT_EQ(row(Command::snapLeft)->detail(), "Another app is using this. Choose a different one.");
    // Rebinding the row's key away from the held one clears it.
    prefs.setBindings({{Command::snapLeft, Shortcut{0, controlOption}}});
    settle();
    EXPECT_EQ(row(Command::snapLeft)->detail(), std::nullopt);
}

TEST_F(ShortcutsPage, TheMousePickerStoresTheChosenButton)
{
    open();
    QComboBox* picker = page()->mouseButtonPicker();
    EXPECT_EQ(picker->width(), 170);
    ASSERT_EQ(picker->count(), 4);
    EXPECT_EQ(picker->itemText(0), "Off");
    EXPECT_EQ(picker->itemText(3), "Button 5 (forward)");
    EXPECT_EQ(picker->currentText(), "Button 4 (back)");   // the default, 3

    picker->setFocus();
    std::vector<int> stored;
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up}) {
        QTest::keyClick(picker, key);
        stored.push_back(prefs.mouseButton());
    }
    EXPECT_EQ(stored, (std::vector<int>{4, 3, 2, 0}));

    prefs.setMouseButton(2);
    settle();
    EXPECT_EQ(picker->currentText(), "Middle button");
}

TEST_F(ShortcutsPage, OneRecorderOfTheWindowRecordsAtATime)
{
    prefs.setExtraBindings({{Command::tidy, {f1}}});
    open();
    ShortcutRecorder* main = row(Command::tidy)->mainRecorder();
    ShortcutRecorder* extra = row(Command::tidy)->extraRecorders()[0];
    click(main);
    click(page()->overviewRecorder());
    EXPECT_FALSE(main->recording());
    EXPECT_EQ(view->recordingRecorder(), page()->overviewRecorder());
    click(extra);
    EXPECT_FALSE(page()->overviewRecorder()->recording());
    EXPECT_TRUE(prefs.isRecording());
    // The last word the shell heard: recording.
    EXPECT_TRUE(keys.calls.back());

    // Another page: the recorder goes and the hot keys come back.
    view->select(SettingsTab::general);
    EXPECT_FALSE(prefs.isRecording());
    EXPECT_FALSE(keys.calls.back());
    EXPECT_EQ(view->recordingRecorder(), nullptr);

    // Closing the window while recording does the same.
    view->select(SettingsTab::shortcuts);
    settle();
    click(page()->overviewRecorder());
    ASSERT_TRUE(prefs.isRecording());
    view->close();
    EXPECT_FALSE(prefs.isRecording());
    EXPECT_FALSE(keys.calls.back());
}

// Random use of the page: adding, removing and recording shortcuts, typing
// any key, reset and changes made elsewhere. After each step at most one
// recorder records, the settings say so exactly then, every stored
// shortcut is usable, and once the page has caught up its rows show what
// the settings hold.
RC_GTEST_FIXTURE_PROP(ShortcutsPage, RandomUseKeepsRecordersAndSettingsInStep, ())
{
    open();
    const std::vector<Command> commands{Command::tidy, Command::snapLeft, Command::swapLeft, Command::jump9};
    const std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> presses{
        {Qt::Key_Escape, {}},
        {Qt::Key_A, Qt::ShiftModifier},
        {Qt::Key_A, Qt::ControlModifier | Qt::AltModifier},
        {Qt::Key_F5, {}},
        {Qt::Key_Space, Qt::ControlModifier | Qt::AltModifier},
        {Qt::Key_Control, Qt::ControlModifier},
        {Qt::Key_Semicolon, Qt::MetaModifier},
    };
    const int steps = *rc::gen::inRange(1, 40);
    for (int step = 0; step < steps; ++step) {
        const Command command = *rc::gen::elementOf(commands);
        CommandRow* r = row(command);
        const int pick = *rc::gen::inRange(0, 100);
        switch (*rc::gen::inRange(0, 9)) {
        case 0:
            QTest::mouseClick(r->addButton(), Qt::LeftButton);
            break;
        case 1:
            if (!r->removeButtons().empty())
                QTest::mouseClick(r->removeButtons()[std::size_t(pick) % r->removeButtons().size()], Qt::LeftButton);
            break;
        case 2: {
            std::vector<ShortcutRecorder*> all = r->extraRecorders();
            all.push_back(r->mainRecorder());
            all.push_back(page()->overviewRecorder());
            ShortcutRecorder* target = all[std::size_t(pick) % all.size()];
            QTest::mouseClick(target, Qt::LeftButton, {}, target->capsuleRect().center());
            break;
        }
        case 3:
        case 4: {
            const auto& [key, modifiers] = presses[std::size_t(pick) % presses.size()];
            press(view.get(), key, modifiers);
            break;
        }
        case 5:
            QTest::mouseClick(page()->resetButton(), Qt::LeftButton);
            break;
        case 6: {
            auto extras = prefs.extraBindings();
            extras[command].push_back(f1);
            prefs.setExtraBindings(extras);
            break;
        }
        default:
            scheduler.runPending();
            QApplication::processEvents();
            break;
        }

        int recording = 0;
        for (ShortcutRecorder* recorder : recorders())
            recording += recorder->recording();
        RC_ASSERT(recording <= 1);
        RC_ASSERT(prefs.isRecording() == (recording == 1));
        RC_ASSERT((view->recordingRecorder() != nullptr) == (recording == 1));
        for (const auto& [c, shortcut] : prefs.bindings())
            RC_ASSERT(shortcut.isUsable());
        for (const auto& [c, list] : prefs.extraBindings())
            for (const Shortcut& shortcut : list)
                RC_ASSERT(shortcut.isUsable());
        if (!page()->refreshPending())
            for (Command c : commands) {
                const std::vector<Shortcut> held = extras(c);
                RC_ASSERT(row(c)->extraRecorders().size() == held.size());
                for (std::size_t i = 0; i < held.size(); ++i)
                    RC_ASSERT(row(c)->extraRecorders()[i]->recording() ||
                              row(c)->extraRecorders()[i]->label().toStdString() == held[i].label());
                RC_ASSERT(row(c)->mainRecorder()->recording() ||
                          row(c)->mainRecorder()->label().toStdString() == prefs.key(c).label());
            }
    }
    view.reset();
    RC_ASSERT(!prefs.isRecording());
}

TEST_F(ShortcutsPage, Pictures)
{
    const auto picture = [&](const std::string& name) {
        Theme::isRendering = true;
        const QImage image = Capture::render(*view);
        Theme::isRendering = false;
        EXPECT_EQ(image.size(), QSize(760, 560));
        EXPECT_TRUE(Capture::savePng(image, picturePath("shortcuts-" + name + ".png")));
        return image;
    };
    open();
    // Scrolled to the commands that run everywhere.
    const auto scrollTo = [&](QWidget* w) {
        view->pageArea()->verticalScrollBar()->setValue(w->mapTo(view->pageArea()->widget(), QPoint()).y() - 40);
        settleLayouts();
    };
    picture("idle");

    click(page()->overviewRecorder());
    type(Qt::Key_A, Qt::ShiftModifier);
    const QImage recording = picture("recording");

    const QRect capsule(page()->overviewRecorder()->mapTo(view.get(), page()->overviewRecorder()->capsuleRect().topLeft()),
                        page()->overviewRecorder()->capsuleRect().size());
    EXPECT_GT(pixelsNear(recording, capsule, Theme::lit(), 30), capsule.width() * 8);
    type(Qt::Key_Escape);

    prefs.setBindings({{Command::fillScreen, standard(Command::tidy)}});
    settle();
    scrollTo(row(Command::tidy));
    picture("clash");

    prefs.setBindings({});
    prefs.setExtraBindings({{Command::tidy, {f12}}, {Command::pause, {f1, Shortcut{40, controlOption}}}});
    settle();
    scrollTo(row(Command::tidy));
    picture("extras");

    // The whole page at once on the window's colour, to look over every row.
    QImage whole(page()->size(), QImage::Format_ARGB32_Premultiplied);
    whole.fill(SettingsStyle::windowBackground());
    QPainter painter(&whole);
    painter.drawImage(0, 0, Capture::render(*page()));
    painter.end();
    EXPECT_TRUE(Capture::savePng(whole, picturePath("shortcuts-page.png")));

    // Keys a window manager holds, named on their rows.
    Published<HeldKeys> held;
    view->setHeldKeys(&held);
    HeldKeys openbox{.manager = "Openbox"};
    for (Command c : {Command::snapLeft, Command::snapRight, Command::snapMaximize, Command::snapCenter})
        openbox.add(standard(c), true);
    openbox.add(switcherShortcut, true);
    held.set(openbox);
    settle();
    picture("held-top");
    scrollTo(row(Command::snapLeft));
    picture("held-snaps");
}

} // namespace
} // namespace kavelo::testing
