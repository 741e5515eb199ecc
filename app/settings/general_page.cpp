#include "app/settings/general_page.h"

#include "app/services/preferences.h"
#include "app/settings/setting_group.h"
#include "app/settings/setting_rows.h"

#include <QVBoxLayout>

namespace kavelo {

GeneralPage::GeneralPage(Preferences& preferences, QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(spacing);

    // The switch never writes the mirror: the login item answers, and a
    // refusal springs the switch back.
    auto* login = new SettingGroup;
    opensAtLogin_ = new ToggleRow(QStringLiteral("Open at login"), std::nullopt,
                                  {[&preferences] { return preferences.opensAtLogin(); },
                                   [&preferences](bool on) { preferences.setOpensAtLogin(on); }});
    login->addRow(opensAtLogin_);
    stack->addWidget(login);

    auto* layouts = new SettingGroup(
        std::nullopt, QStringLiteral("When you reconnect a monitor, your windows go back to where they were."));
    remembersLayouts_ = new ToggleRow(QStringLiteral("Remember layout for each monitor setup"), std::nullopt,
                                      {[&preferences] { return preferences.remembersLayouts(); },
                                       [&preferences](bool on) { preferences.setRemembersLayouts(on); }});
    layouts->addRow(remembersLayouts_);
    stack->addWidget(layouts);

    changes_ = preferences.observe([this](std::string_view property) {
        if (property == "opensAtLogin")
            opensAtLogin_->refresh();
        else if (property == "remembersLayouts")
            remembersLayouts_->refresh();
    });
}

} // namespace kavelo
