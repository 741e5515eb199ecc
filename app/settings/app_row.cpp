#include "app/settings/app_row.h"

#include "app/services/preferences.h"
#include "app/settings/bound_picker.h"
#include "app/settings/settings_style.h"
#include "app/settings/switch.h"
#include "app/ui/fonts.h"
#include "app/ui/theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QSignalBlocker>

namespace kavelo {

QImage AppRow::iconImage(const SystemWorkspace& workspace, std::int32_t pid)
{
    const std::optional<Image> icon = workspace.icon(pid);
    if (!icon || !icon->isValid())
        return {};
    return QImage(icon->rgba.data(), icon->width, icon->height, icon->width * 4, QImage::Format_RGBA8888).copy();
}

AppRow::AppRow(Preferences& preferences, RunningApp app, ArrangeMode mode, QImage icon, QWidget* parent)
    : QWidget(parent), preferences_(preferences), app_(std::move(app))
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
    row->setSpacing(spacing);

    if (!icon.isNull()) {
        icon_ = new QLabel(this);
        icon_->setAttribute(Qt::WA_TranslucentBackground);
        icon_->setFixedSize(iconSize, iconSize);
        icon_->setPixmap(QPixmap::fromImage(
            icon.scaled(iconSize, iconSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
        row->addWidget(icon_, 0, Qt::AlignVCenter);
    }
    // A long name wraps rather than widen the page; the name takes what the
    // controls leave.
    name_ = SettingsStyle::wrappingLabel(app_.name ? QString::fromStdString(*app_.name) : QStringLiteral("App"),
                                         Fonts::system(nameSize, Fonts::Weight::medium), Theme::primary(), this);
    row->addWidget(name_, 1, Qt::AlignVCenter);

    if (app_.bundleID) {
        const std::string id = *app_.bundleID;
        position_ = makePicker<std::optional<int>>(
            ArrangeOptions::slot(mode),
            [&preferences, id]() -> std::optional<int> {
                const auto entry = preferences.stripSlots().find(id);
                if (entry == preferences.stripSlots().end())
                    return std::nullopt;
                return entry->second;
            },
            [&preferences, id](std::optional<int> slot) {
                auto chosen = preferences.stripSlots();
                if (slot)
                    chosen[id] = *slot;
                else
                    chosen.erase(id);
                preferences.setStripSlots(std::move(chosen));
            },
            pickerWidth);
        position_->setAccessibleName(QStringLiteral("Position"));
        row->addWidget(position_, 0, Qt::AlignVCenter);
    }

    switch_ = new Switch(this);
    switch_->setAccessibleName(name_->text());
    row->addWidget(switch_, 0, Qt::AlignVCenter);
    QObject::connect(switch_, &QAbstractButton::toggled, this, [this](bool on) {
        if (app_.bundleID) {
            auto alone = preferences_.leftAlone();
            if (on)
                alone.insert(*app_.bundleID);
            else
                alone.erase(*app_.bundleID);
            preferences_.setLeftAlone(std::move(alone));
        }
        refresh();
    });
    refresh();
}

void AppRow::refresh()
{
    {
        const QSignalBlocker quiet(switch_);
        switch_->setChecked(preferences_.leftAlone().count(app_.bundleID.value_or(std::string())) > 0);
        switch_->update();
    }
    if (position_)
        position_->refresh();
}

} // namespace kavelo
