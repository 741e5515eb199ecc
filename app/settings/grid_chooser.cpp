#include "app/settings/grid_chooser.h"

#include "app/services/preferences.h"
#include "app/settings/grid_builder.h"
#include "app/settings/grid_presets.h"
#include "app/settings/setting_group.h"
#include "app/settings/settings_style.h"
#include "app/ui/fonts.h"
#include "app/ui/pill_button.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kavelo {

namespace {

QSpinBox* stepper(const QString& prefix, int maximum, const QPalette& palette)
{
    auto* box = new QSpinBox;
    box->setPrefix(prefix);
    box->setRange(1, maximum);
    box->setSingleStep(1);
    box->setFont(Fonts::system(GridChooser::controlSize));
    box->setPalette(palette);
    // A typed value counts once it is complete, brought into range.
    box->setKeyboardTracking(false);
    box->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    return box;
}

} // namespace

QString GridChooser::title(const std::string& screen)
{
    return QStringLiteral("Your grid: ") + QString::fromStdString(screen);
}

GridChooser::GridChooser(Preferences& preferences, std::string screen, AnimationTime time, ColorScheme scheme,
                         QWidget* parent)
    : QWidget(parent), preferences_(preferences), screen_(std::move(screen))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setPalette(SettingsStyle::palette(scheme));
    const GridPlan current = plan();

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    group_ = new SettingGroup(title(screen_));
    group_->setColorScheme(scheme);
    outer->addWidget(group_);

    auto* content = new QWidget;
    content->setAttribute(Qt::WA_TranslucentBackground);
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(padding, padding, padding, padding);
    stack->setSpacing(spacing);

    presets_ = new GridPresets([this](const GridPlan& preset) { set(preset); }, scheme);
    stack->addWidget(presets_);

    auto* templateRow = new QHBoxLayout;
    templateRow->setSpacing(templateSpacing);
    templateRow->addWidget(SettingsStyle::label(QStringLiteral("For the job:"), Fonts::system(controlSize),
                                                Theme::secondary(scheme)),
                           0, Qt::AlignVCenter);
    for (const NamedGridPlan& named : GridPlan::templates()) {
        auto* button = new PillButton(QString::fromStdString(named.name), time, false);
        button->setColorScheme(scheme);
        QObject::connect(button, &QAbstractButton::clicked, this, [this, plan = named.plan] { set(plan); });
        templates_.push_back(button);
        templateRow->addWidget(button, 0, Qt::AlignVCenter);
    }
    templateRow->addStretch(1);
    stack->addLayout(templateRow);

    auto* stepperRow = new QHBoxLayout;
    stepperRow->setSpacing(stepperSpacing);
    columns_ = stepper(QStringLiteral("Columns: "), GridPlan::maxColumns, palette());
    rows_ = stepper(QStringLiteral("Rows: "), GridPlan::maxRows, palette());
    stepperRow->addWidget(columns_, 0, Qt::AlignVCenter);
    stepperRow->addWidget(rows_, 0, Qt::AlignVCenter);
    stepperRow->addStretch(1);
    stack->addLayout(stepperRow);
    // Either stepper makes an even grid: joined tiles and moved lines go.
    QObject::connect(columns_, &QSpinBox::valueChanged, this,
                     [this](int n) { set(GridPlan::even(n, plan().rows)); });
    QObject::connect(rows_, &QSpinBox::valueChanged, this,
                     [this](int n) { set(GridPlan::even(plan().columns, n)); });

    builder_ = new GridBuilder(current, [this](GridPlan edited) { set(edited); }, scheme);
    stack->addWidget(builder_);

    help_ = SettingsStyle::wrappingLabel(
        QStringLiteral("Drag across cells to join them, and click a joined tile to split it. Windows fill the "
                       "numbered tiles in order, and extras wait past the screen edge. Resize a window to move "
                       "the lines."),
        Fonts::system(helpSize), Theme::secondary(scheme));
    stack->addWidget(help_);

    group_->addRow(content);
    refresh();

    changes_ = preferences_.observe([this](std::string_view property) {
        if (property == "gridPlans")
            refresh();
    });
}

GridChooser::~GridChooser() = default;

GridPlan GridChooser::plan() const
{
    return preferences_.plan(screen_);
}

void GridChooser::set(const GridPlan& plan)
{
    if (!plan.isValid()) {
        refresh();
        return;
    }
    // Assigned even when the screen is not in the set, so the screen's
    // arranging is re-read either way.
    auto off = preferences_.displaysOff();
    off.erase(screen_);
    preferences_.setDisplaysOff(std::move(off));
    auto plans = preferences_.gridPlans();
    plans[screen_] = plan;
    preferences_.setGridPlans(std::move(plans));
}

void GridChooser::refresh()
{
    const GridPlan current = plan();
    presets_->setCurrent(current);
    builder_->setPlan(current);
    const QSignalBlocker quietColumns(columns_);
    const QSignalBlocker quietRows(rows_);
    columns_->setValue(current.columns);
    rows_->setValue(current.rows);
}

} // namespace kavelo
