#include "app/settings/welcome_view.h"

#include "app/services/key_texts.h"
#include "app/services/preferences.h"
#include "app/settings/arrange_mode_cards.h"
#include "app/settings/permissions_page.h"
#include "app/settings/settings_style.h"
#include "app/ui/fonts.h"
#include "app/ui/key_cap.h"
#include "app/ui/pill_button.h"
#include "app/ui/theme.h"
#include "app/ui/window_facade.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>

namespace kavelo {

WelcomeView::WelcomeView(PermissionWatcher& watcher, Preferences& preferences, PermissionActions permissions,
                         AnimationTime time, std::function<void()> finish, QWidget* parent)
    : GlassBackground(GlassMaterial::underWindowBackground, parent),
      preferences_(preferences),
      finish_(std::move(finish))
{
    setFixedSize(width, height);
    // Its own colours, whatever the desktop's theme.
    setPalette(SettingsStyle::darkPalette());

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(paddingH, 0, paddingH, paddingBottom);
    page->setSpacing(0);

    page->addSpacing(facadeTop);
    facade_ = new WindowFacade(this);
    page->addWidget(facade_, 0, Qt::AlignHCenter);

    page->addSpacing(titleTop);
    title_ = SettingsStyle::label(QStringLiteral("Welcome to Kavelo"),
                                  SettingsStyle::tracked(Fonts::system(titleSize, Fonts::Weight::bold), titleTracking),
                                  Theme::primary(), this);
    page->addWidget(title_, 0, Qt::AlignHCenter);

    page->addSpacing(subtitleTop);
    subtitle_ = SettingsStyle::label(QStringLiteral("Find any window, switch workflows and arrange your desktop."),
                                     Fonts::system(subtitleSize), Theme::secondary(), this);
    page->addWidget(subtitle_, 0, Qt::AlignHCenter);

    page->addSpacing(permissionsTop);
    permissions_ = new PermissionsPage(watcher, std::move(permissions), time, this);
    page->addWidget(permissions_);

    page->addSpacing(arrangeTop);
    arrangeChoice_ = new QWidget(this);
    auto* choice = new QVBoxLayout(arrangeChoice_);
    choice->setContentsMargins(0, 0, 0, 0);
    choice->setSpacing(arrangeSpacing);
    choice->addWidget(SettingsStyle::label(QStringLiteral("How do you want windows arranged?"),
                                           Fonts::system(questionSize, Fonts::Weight::semibold), Theme::primary()));
    cards_ = new ArrangeModeCards(preferences_);
    choice->addWidget(cards_);
    tips_ = new QWidget;
    auto* tipRow = new QHBoxLayout(tips_);
    tipRow->setContentsMargins(0, 0, 0, 0);
    tipRow->setSpacing(tipsSpacing);
    switchCap_ = tip(tipRow, QStringLiteral("switch"));
    wheelCap_ = tip(tipRow, QStringLiteral("move along"));
    undoCap_ = tip(tipRow, QStringLiteral("undo"));
    switchTip_ = switchCap_->parentWidget();
    undoTip_ = undoCap_->parentWidget();
    choice->addWidget(tips_, 0, Qt::AlignLeft);
    choice->addWidget(SettingsStyle::wrappingLabel(
        QStringLiteral("Windows that don't fit wait at the screen edge. Click the tab there to bring them in."),
        Fonts::system(tipSize), Theme::secondary()));
    page->addWidget(arrangeChoice_);

    page->addSpacerItem(new QSpacerItem(0, minimumGap, QSizePolicy::Minimum, QSizePolicy::Expanding));

    finishRow_ = new QWidget(this);
    auto* finishing = new QHBoxLayout(finishRow_);
    finishing->setContentsMargins(0, 0, 0, 0);
    finishing->setSpacing(finishSpacing);
    finishing->addStretch(1);
    shortcutCap_ = new KeyCap(QString());
    finishing->addWidget(shortcutCap_, 0, Qt::AlignVCenter);
    finishText_ = SettingsStyle::label(QStringLiteral("opens Kavelo"), Fonts::system(finishSize), Theme::secondary());
    finishing->addWidget(finishText_, 0, Qt::AlignVCenter);
    getStarted_ = new PillButton(QStringLiteral("Get Started"), time, true);
    finishing->addWidget(getStarted_, 0, Qt::AlignVCenter);
    page->addWidget(finishRow_);

    const auto done = [this] {
        if (finish_)
            finish_();
    };
    QObject::connect(getStarted_, &QAbstractButton::clicked, this, done);
    // The default action: Return wherever the focus is, once per press.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(false);
        QObject::connect(shortcut, &QShortcut::activated, this, done);
    }

    showKeys();
    changes_ = preferences_.observe([this](std::string_view property) {
        if (property == "shortcut" || property == "bindings" || property == "switcherEnabled")
            showKeys();
    });
}

// The switch tip names the switcher's key, else the overview's, which
// switches too; the finish row names the overview's key, else the tray.
void WelcomeView::showKeys()
{
    const KeyTexts::WelcomeKeys keys = KeyTexts::welcomeKeys(preferences_);
    const auto show = [](KeyCap* cap, const std::string& text) {
        const QString shown = QString::fromStdString(text);
        if (cap->text() != shown)
            cap->setText(shown);
    };
    const bool overviewOurs = !held_.holds(preferences_.shortcut());
    const bool switcherOurs = preferences_.switcherEnabled() && !held_.holds(KeyTexts::switcher);
    show(switchCap_, switcherOurs ? keys.switcher : keys.overview);
    show(wheelCap_, keys.wheel);
    show(undoCap_, keys.undo);
    show(shortcutCap_, keys.overview);
    switchTip_->setVisible(switcherOurs || overviewOurs);
    undoTip_->setVisible(!held_.holds(preferences_.key(Command::undoArrange)));
    shortcutCap_->setVisible(overviewOurs);
    finishText_->setText(overviewOurs ? QStringLiteral("opens Kavelo") : QStringLiteral("Open Kavelo from its tray icon"));
}

WelcomeView::~WelcomeView() = default;

void WelcomeView::follow(Published<HeldKeys>& held)
{
    heldChanges_ = held.subscribe([this](const HeldKeys& now) {
        held_ = now;
        showKeys();
    });
}

KeyCap* WelcomeView::tip(QHBoxLayout* tips, const QString& verb)
{
    auto* tip = new QWidget;
    auto* row = new QHBoxLayout(tip);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(tipSpacing);
    auto* cap = new KeyCap(QString());
    row->addWidget(cap, 0, Qt::AlignVCenter);
    row->addWidget(SettingsStyle::label(verb, Fonts::system(tipSize), Theme::secondary()), 0, Qt::AlignVCenter);
    tips->addWidget(tip);
    return cap;
}

} // namespace kavelo
