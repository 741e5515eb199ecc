#include "app/settings/setting_group.h"
#include "app/settings/setting_rows.h"
#include "app/settings/settings_style.h"
#include "app/settings/switch.h"
#include "app/ui/capture.h"
#include "app/ui/pill_button.h"
#include "app/ui/theme.h"
#include "settings/settings_world.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

SettingRow* plainRow(const QString& title, std::optional<QString> detail = std::nullopt)
{
    return new SettingRow(title, std::move(detail), new QWidget);
}

} // namespace

TEST(SettingGroup, DividersGoBetweenShownRowsInsetFromTheLeadingEdge)
{
    auto* group = new SettingGroup;
    SettingRow* rows[] = {plainRow("One"), plainRow("Two"), plainRow("Three")};
    for (SettingRow* row : rows)
        group->addRow(row);
    Column column(group, 480);

    const std::vector<QRect> dividers = group->rows()->dividers();
    ASSERT_EQ(dividers.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(dividers[i].left(), 16);
        EXPECT_EQ(dividers[i].right(), group->rows()->width() - 1);
        EXPECT_EQ(dividers[i].height(), 1);
        // In the one-point gap between the two rows.
        EXPECT_EQ(dividers[i].top(), rows[i]->geometry().bottom() + 1);
        EXPECT_EQ(rows[i + 1]->geometry().top(), dividers[i].bottom() + 1);
    }

    // A hidden row takes no room and no divider, also at the end.
    rows[2]->hide();
    QApplication::processEvents();
    EXPECT_EQ(group->rows()->dividers().size(), 1u);
    rows[1]->hide();
    QApplication::processEvents();
    EXPECT_TRUE(group->rows()->dividers().empty());
    rows[2]->show();
    QApplication::processEvents();
    ASSERT_EQ(group->rows()->dividers().size(), 1u);
    EXPECT_EQ(rows[2]->geometry().top(), rows[0]->geometry().bottom() + 2);

    // The hairline is faint white over the card, nothing under the inset.
    const QImage image = Capture::render(*group);
    const QRect line = group->rows()->dividers().front().translated(group->rows()->mapTo(group, QPoint()));
    const QColor onLine = image.pixelColor(line.left() + 40, line.top());
    const QColor inset = image.pixelColor(8, line.top());
    EXPECT_GT(onLine.alpha(), inset.alpha());
}

TEST(SettingGroup, OneRowHasNoDividerAndOnlyThePartsGivenTakeRoom)
{
    auto* bare = new SettingGroup;
    bare->addRow(plainRow("Alone"));
    Column column(bare, 400);
    EXPECT_TRUE(bare->rows()->dividers().empty());
    EXPECT_EQ(bare->titleLabel(), nullptr);
    EXPECT_EQ(bare->footerLabel(), nullptr);
    EXPECT_EQ(bare->card()->geometry(), QRect(0, 0, 400, bare->height()));

    auto* full = new SettingGroup(QString("Switch windows"), QString("Tap to jump back."));
    full->addRow(plainRow("Alone"));
    Column column2(full, 400);
    EXPECT_EQ(full->titleLabel()->text(), "Switch windows");
    EXPECT_EQ(full->card()->y(), full->titleLabel()->geometry().bottom() + 1 + 8);
    EXPECT_EQ(full->footerLabel()->y(), full->card()->geometry().bottom() + 1 + 8);
    EXPECT_EQ(full->footerLabel()->geometry().bottom(), full->height() - 1);
}

TEST(SettingGroup, ALongFooterWrapsInsteadOfBeingCut)
{
    const QString text =
        "Safari can't tell Kavelo which windows are private, so private tabs would be saved too. Chrome, Arc, "
        "Brave and Edge tabs are always saved, without incognito tabs.";
    auto* group = new SettingGroup(std::nullopt, text);
    group->addRow(plainRow("Save Safari tabs"));
    Column column(group, 300);
    QLabel* footer = group->footerLabel();
    EXPECT_EQ(footer->text(), text);
    EXPECT_GE(footer->height(), 3 * footer->fontMetrics().lineSpacing());
    EXPECT_LE(footer->width(), 300);
}

TEST(SettingRow, AtLeastFortyFourHighAndALongDetailWrapsTheRowTaller)
{
    auto* control = new QWidget;
    control->setFixedSize(60, 20);
    auto* bare = new SettingRow("Arrange windows", std::nullopt, control);
    Column column(bare, 480);
    EXPECT_EQ(bare->height(), 44);
    EXPECT_EQ(bare->detailLabel(), nullptr);
    // The control stands at the trailing edge inside the padding, centred.
    EXPECT_EQ(control->mapTo(bare, QPoint()).x() + control->width(), 480 - 16);
    EXPECT_EQ(control->mapTo(bare, QPoint()).y(), (44 - 20) / 2);

    const QString detail = "Shows previews and windows on other desktops. Previews stay on this computer. "
                           "Nothing leaves it, and nothing is kept after the window closes.";
    auto* shortRow = new SettingRow("Screen Recording", QString("Shows previews."), new QWidget);
    auto* longRow = new SettingRow("Screen Recording", detail, new QWidget);
    Column column2(shortRow, 320);
    Column column3(longRow, 320);
    QLabel* wrapped = longRow->detailLabel();
    EXPECT_EQ(wrapped->text(), detail);   // the whole text, nothing elided
    const int line = wrapped->fontMetrics().lineSpacing();
    EXPECT_GE(wrapped->height(), 3 * line);
    EXPECT_GE(longRow->height(), shortRow->height() + 2 * line);
    // Title above detail, two points apart.
    EXPECT_EQ(wrapped->mapTo(longRow, QPoint()).y(),
              longRow->titleLabel()->mapTo(longRow, QPoint()).y() + longRow->titleLabel()->height() + 2);
}

TEST(ToggleRow, TheSwitchHasNoLabelAndWritesThroughItsBinding)
{
    bool stored = false;
    bool refuses = false;
    std::vector<bool> writes;
    auto* row = new ToggleRow("Hide other apps", std::nullopt,
                              {[&] { return stored; },
                               [&](bool on) {
                                   writes.push_back(on);
                                   if (!refuses)
                                       stored = on;
                               }});
    Column column(row, 480);
    const auto labels = row->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.front()->text(), "Hide other apps");
    EXPECT_TRUE(row->toggle()->text().isEmpty());
    EXPECT_EQ(row->toggle()->accessibleName(), "Hide other apps");
    EXPECT_FALSE(row->isOn());

    QTest::mouseClick(row->toggle(), Qt::LeftButton);
    EXPECT_EQ(writes, std::vector<bool>{true});
    EXPECT_TRUE(row->isOn());

    // A value that refuses springs the switch back.
    refuses = true;
    QTest::mouseClick(row->toggle(), Qt::LeftButton);
    EXPECT_EQ(writes, (std::vector<bool>{true, false}));
    EXPECT_TRUE(row->isOn());

    // Refreshing shows the value without writing it.
    stored = false;
    row->refresh();
    EXPECT_FALSE(row->isOn());
    EXPECT_EQ(writes.size(), 2u);
}

TEST(ToggleRow, UnavailableItShowsOffWithItsReasonWritesNothingAndComesBackLive)
{
    bool stored = true;
    int writes = 0;
    auto* row = new ToggleRow("Save tabs", QStringLiteral("Also the private ones."),
                              {[&] { return stored; },
                               [&](bool on) {
                                   ++writes;
                                   stored = on;
                               }});
    Column column(row, 480);
    ASSERT_TRUE(row->isOn());
    const int liveHeight = row->height();

    const QString reason = QStringLiteral("No browser tells Kavelo its tabs on this desktop");
    row->setUnavailable(reason);
    settleLayouts();
    EXPECT_EQ(row->unavailable(), reason);
    EXPECT_FALSE(row->isOn()) << "never shown on while it cannot act";
    EXPECT_FALSE(row->toggle()->isEnabled());
    ASSERT_NE(row->reasonLabel(), nullptr);
    EXPECT_TRUE(row->reasonLabel()->isVisible());
    EXPECT_EQ(row->reasonLabel()->text(), reason);
    EXPECT_FALSE(row->detail()) << "the reason stands in for the detail";
    EXPECT_TRUE(row->isVisible()) << "shown, not hidden";
    EXPECT_EQ(row->height(), liveHeight) << "one line, like the detail";
    QTest::mouseClick(row->toggle(), Qt::LeftButton);
    EXPECT_EQ(writes, 0);
    EXPECT_TRUE(stored) << "the stored value stays";
    // A new detail meanwhile waits for the row to come back.
    row->setDetail(QStringLiteral("Private ones too."));
    EXPECT_FALSE(row->detail());

    row->setUnavailable(std::nullopt);
    EXPECT_TRUE(row->isOn());
    EXPECT_TRUE(row->toggle()->isEnabled());
    EXPECT_FALSE(row->reasonLabel()->isVisible());
    EXPECT_EQ(row->detail(), QStringLiteral("Private ones too."));
    QTest::mouseClick(row->toggle(), Qt::LeftButton);
    EXPECT_EQ(writes, 1);
    EXPECT_FALSE(stored);
}

TEST(Switch, TintedWithTheAccentWhenOn)
{
    Switch toggle;
    const QImage off = Capture::render(toggle);
    toggle.setChecked(true);
    const QImage on = Capture::render(toggle);
    EXPECT_EQ(on.size(), QSize(Switch::width, Switch::height));
    EXPECT_EQ(on.pixelColor(5, Switch::height / 2).rgb(), Theme::lit().rgb());
    EXPECT_GT(pixelsNear(on, on.rect(), Qt::white, 2), 60);
    // Off: a faint track, the knob on the left.
    EXPECT_LT(off.pixelColor(Switch::width - 5, Switch::height / 2).alpha(), 80);
    EXPECT_EQ(off.pixelColor(int(toggle.knobCentre(false).x()), Switch::height / 2).rgb(), QColor(Qt::white).rgb());
}

TEST(PermissionRow, TurnsFromTheButtonToTheGreenOnWhenGranted)
{
    SettingsWorld world;
    int asked = 0;
    auto* row = new PermissionRow("Accessibility", "Lets Kavelo open windows, show minimized ones, and move them.",
                                  false, [&] { ++asked; }, world.time());
    Column column(row, 480);
    EXPECT_TRUE(row->button()->isVisible());
    EXPECT_EQ(row->button()->text(), "Turn On");
    EXPECT_TRUE(row->button()->prominent());
    EXPECT_FALSE(row->grantedLabel()->isVisible());
    QTest::mouseClick(row->button(), Qt::LeftButton);
    EXPECT_EQ(asked, 1);

    row->setGranted(true);
    QApplication::processEvents();
    EXPECT_FALSE(row->button()->isVisible());
    EXPECT_TRUE(row->grantedLabel()->isVisible());
    EXPECT_EQ(GrantedLabel::text(), "On");
    const QImage image = Capture::render(*row);
    const QRect label = row->grantedLabel()->geometry().translated(row->grantedLabel()->parentWidget()->pos());
    EXPECT_GT(pixelsNear(image, label, SettingsStyle::green(), 30), 40);
    EXPECT_EQ(pixelsNear(image, image.rect(), Theme::lit(), 10), 0);
    // The label keeps the trailing edge.
    EXPECT_EQ(label.right(), 480 - 16 - 1);
}
