#include "app/settings/settings_view.h"

#include "app/settings/arrange_settings.h"
#include "app/settings/general_page.h"
#include "app/settings/permissions_page.h"
#include "app/settings/settings_sidebar.h"
#include "app/settings/settings_style.h"
#include "app/settings/shortcuts_page.h"
#include "app/settings/workflows_page.h"
#include "app/ui/fonts.h"
#include "app/ui/menu_bar_icon.h"
#include "app/ui/theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kavelo {

SettingsView::SettingsView(Preferences& preferences, PermissionWatcher& watcher, Workflows& workflows,
                           PermissionActions permissions, const Keyboard& keyboard,
                           AnimationTime time,
                           SettingsTab tab, QWidget* parent)
    : QWidget(parent),
      preferences_(preferences),
      watcher_(watcher),
      workflows_(workflows),
      permissions_(std::move(permissions)),
      keyboard_(keyboard),
      time_(time),
      tab_(tab)
{
    setFixedSize(width, height);
    setPalette(SettingsStyle::darkPalette());

    auto* split = new QHBoxLayout(this);
    split->setContentsMargins(0, 0, 0, 0);
    split->setSpacing(0);

    sidebar_ = new SettingsSidebar(MenuBarIcon::applicationIcon(), tab, time, this);
    sidebar_->onSelect = [this](SettingsTab selected) { showPage(selected); };
    split->addWidget(sidebar_);

    pageArea_ = new QScrollArea(this);
    pageArea_->setFrameShape(QFrame::NoFrame);
    pageArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pageArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pageArea_->setWidgetResizable(true);
    pageArea_->viewport()->setAutoFillBackground(false);
    pageArea_->setAutoFillBackground(false);
    split->addWidget(pageArea_, 1);

    auto* content = new QWidget;
    content->setAttribute(Qt::WA_TranslucentBackground);
    column_ = new QVBoxLayout(content);
    column_->setContentsMargins(pagePaddingH, pagePaddingTop, pagePaddingH, pagePaddingBottom);
    column_->setSpacing(pageSpacing);
    title_ = SettingsStyle::label(QString(), SettingsStyle::tracked(Fonts::system(titleSize, Fonts::Weight::bold),
                                                                    titleTracking),
                                  Theme::primary(), content);
    column_->addWidget(title_);
    column_->addStretch(1);
    pageArea_->setWidget(content);
    // The scroll area fills its page by default; the view's own colour shows.
    content->setAutoFillBackground(false);

    showPage(tab);
}

SettingsView::~SettingsView()
{
    // Its recorders stop on the way out and take their turn back.
    delete page_;
    page_ = nullptr;
}

void SettingsView::select(SettingsTab tab)
{
    sidebar_->select(tab);
}

void SettingsView::setArrangeSources(ArrangeSources sources)
{
    arrange_.reset();
    arrange_.emplace(std::move(sources));
    if (tab_ == SettingsTab::arrange)
        showPage(tab_);
}

void SettingsView::setHeldKeys(Published<HeldKeys>* held)
{
    held_ = held;
    if (tab_ == SettingsTab::shortcuts)
        showPage(tab_);
}

void SettingsView::setConfirmingDelete(std::optional<std::string> name)
{
    confirmingDelete_ = std::move(name);
    armedAt_ = time_.clock.monotonic();
}

QWidget* SettingsView::makePage(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general:
        return new GeneralPage(preferences_);
    case SettingsTab::permissions:
        return new PermissionsPage(watcher_, permissions_, time_);
    case SettingsTab::shortcuts: {
        auto* page = new ShortcutsPage(preferences_, keyboard_, turns_, time_);
        if (held_)
            page->follow(*held_);
        return page;
    }
    case SettingsTab::workflows:
        return new WorkflowsPage(workflows_, preferences_,
                                 {[this] { return confirmingDelete_; }, [this] { return armedAt_; },
                                  [this](std::optional<std::string> name) { setConfirmingDelete(std::move(name)); }},
                                 time_);
    case SettingsTab::arrange:
        if (arrange_)
            return new ArrangeSettings(preferences_, *arrange_, time_);
        break;
    }
    // Pages still to come keep their place empty.
    auto* empty = new QWidget;
    empty->setAttribute(Qt::WA_TranslucentBackground);
    return empty;
}

void SettingsView::showPage(SettingsTab tab)
{
    tab_ = tab;
    if (willShow)
        willShow(tab);
    title_->setText(QString::fromStdString(title(tab)));
    // Never called from inside the old page, so it can go at once.
    delete page_;
    page_ = makePage(tab);
    column_->insertWidget(1, page_);
    pageArea_->verticalScrollBar()->setValue(0);
}

void SettingsView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), SettingsStyle::windowBackground());
}

} // namespace kavelo
