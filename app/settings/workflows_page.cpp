#include "app/settings/workflows_page.h"

#include "app/services/preferences.h"
#include "app/settings/setting_group.h"
#include "app/settings/setting_rows.h"
#include "app/settings/settings_style.h"
#include "app/settings/workflow_card.h"
#include "app/settings/workflow_edits.h"
#include "app/workflows/workflows.h"
#include "app/ui/fonts.h"
#include "app/ui/pill_button.h"
#include "app/ui/shapes.h"
#include "app/ui/symbols.h"
#include "app/ui/theme.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace kavelo {

namespace {

// "No workflows yet" on the card look of a group, across the full width.
class EmptyState : public QWidget {
public:
    EmptyState()
    {
        setAttribute(Qt::WA_TranslucentBackground);
        auto* stack = new QVBoxLayout(this);
        stack->setContentsMargins(padding, padding, padding, padding);
        stack->setSpacing(8);
        auto* symbol = SettingsStyle::label(Symbols::glyph("square.stack.3d.up"), Fonts::symbols(30),
                                            Theme::secondary(), this);
        stack->addWidget(symbol, 0, Qt::AlignHCenter);
        stack->addWidget(SettingsStyle::label(QStringLiteral("No workflows yet"),
                                              Fonts::system(15, Fonts::Weight::semibold), Theme::primary(), this),
                         0, Qt::AlignHCenter);
        auto* hint = SettingsStyle::wrappingLabel(
            QStringLiteral("Set up your apps and windows, then save a workflow from Kavelo's panel."),
            Fonts::system(12.5), Theme::secondary(), this);
        hint->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        stack->addWidget(hint);
    }

    static constexpr int padding = 32;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::withOpacity(Theme::primary(), SettingGroup::cardOpacity));
        painter.drawPath(Shapes::continuousRoundedRect(QRectF(rect()), SettingGroup::cornerRadius));
    }
};

// Text that stands centred while it fits on one line and, once it wraps,
// takes the full width with its lines on the leading edge.
class MessageLabel : public QLabel {
public:
    MessageLabel()
    {
        setTextFormat(Qt::PlainText);
        setWordWrap(true);
        setFont(Fonts::system(12.5));
        setAttribute(Qt::WA_TranslucentBackground);
        SettingsStyle::setLabelColor(*this, Theme::secondary());
    }

    void showText(const QString& text)
    {
        setText(text);
        align();
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        align();
    }

private:
    void align()
    {
        const bool fits = fontMetrics().horizontalAdvance(text()) <= contentsRect().width();
        setAlignment((fits ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    }
};

} // namespace

QString WorkflowsPage::firefoxDetail(bool installed)
{
    return installed ? QStringLiteral("Open tabs are saved, without private windows.")
                     : QStringLiteral("Firefox isn't installed on this computer.");
}

QString WorkflowsPage::chromiumDetail()
{
    return QStringLiteral("Their tabs can't be read on Linux, so they aren't saved.");
}

namespace {

// A browser's row: what it shows says whether its tabs are saved; a
// browser whose tabs are not gives the reason instead.
SettingRow* browserRow(const QString& title, const QString& detail, bool saved)
{
    auto* state = SettingsStyle::wrappingLabel(saved ? QStringLiteral("Saved") : QStringLiteral("Not saved"),
                                               Fonts::system(13), Theme::secondary());
    state->setWordWrap(false);
    auto* row = new SettingRow(title, std::nullopt, state);
    if (saved)
        row->setDetail(detail);
    else
        row->setUnavailable(detail);
    return row;
}

} // namespace

WorkflowsPage::WorkflowsPage(Workflows& workflows, Preferences&, DeleteArming arming,
                             AnimationTime time, QWidget* parent)
    : QWidget(parent), workflows_(workflows), arming_(std::move(arming)), time_(time)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setPalette(SettingsStyle::darkPalette());
    stack_ = new QVBoxLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);
    stack_->setSpacing(spacing);

    empty_ = new EmptyState;
    stack_->addWidget(empty_);

    import_ = new PillButton(QStringLiteral("Import a workflow…"), time, false);
    QObject::connect(import_, &QAbstractButton::clicked, this, [this] { workflows_.importWorkflow(); });
    stack_->addWidget(import_, 0, Qt::AlignHCenter);

    const bool firefox = workflows_.firefoxInstalled();
    tabs_ = new SettingGroup(QStringLiteral("Browser tabs"));
    firefoxRow_ = browserRow(QStringLiteral("Firefox"), firefoxDetail(firefox), firefox);
    chromiumRow_ = browserRow(QStringLiteral("Chrome, Chromium, Brave and Edge"), chromiumDetail(), false);
    tabs_->addRow(firefoxRow_);
    tabs_->addRow(chromiumRow_);
    stack_->addWidget(tabs_);

    auto* message = new MessageLabel;
    message_ = message;
    stack_->addWidget(message_);

    // Each notice only changes what widgets show, so it may arrive inside
    // one of the page's own handlers.
    itemChanges_ = workflows_.observeItems([this](const std::vector<Workspace>& items) { showItems(items); });
    messageChanges_ = workflows_.observeMessage([message](const std::optional<std::string>& text) {
        if (text)
            message->showText(QString::fromStdString(*text));
        message->setVisible(text.has_value());
    });
}

WorkflowCard* WorkflowsPage::card(const std::string& name) const
{
    const auto it = std::find_if(cards_.begin(), cards_.end(), [&](WorkflowCard* c) { return c->name() == name; });
    return it == cards_.end() ? nullptr : *it;
}

WorkflowCard* WorkflowsPage::makeCard(const Workspace& workspace)
{
    const std::string name = workspace.name;
    WorkflowCard::Actions actions{
        .switchTo = [this, name] { workflows_.switchTo(name); },
        .setTidy = [this, name](std::optional<TidyLayout> tidy) {
            edit(name, [tidy](Workspace& w) { w.tidy = tidy; });
        },
        .setOpensOnSetup = [this, name](bool on) { edit(name, [on](Workspace& w) { w.opensOnSetup = on; }); },
        .setHidesOtherApps = [this, name](bool on) { edit(name, [on](Workspace& w) { w.hidesOtherApps = on; }); },
        .exportWorkflow = [this, name] { workflows_.exportWorkflow(name); },
        .pressDelete = [this, name] { pressDelete(name); },
    };
    return new WorkflowCard(workspace, std::move(actions), time_, this);
}

void WorkflowsPage::showItems(const std::vector<Workspace>& items)
{
    // Cards keep their widgets while their workflow stays listed; a name
    // listed twice gets a card per listing.
    std::vector<WorkflowCard*> spare = cards_;
    std::vector<WorkflowCard*> next;
    next.reserve(items.size());
    for (const Workspace& workspace : items) {
        const auto same = std::find_if(spare.begin(), spare.end(),
                                       [&](WorkflowCard* c) { return c->name() == workspace.name; });
        if (same != spare.end()) {
            (*same)->show(workspace);
            next.push_back(*same);
            spare.erase(same);
        } else {
            next.push_back(makeCard(workspace));
        }
    }

    if (next != cards_) {
        for (WorkflowCard* c : cards_)
            stack_->removeWidget(c);
        for (std::size_t i = 0; i < next.size(); ++i) {
            stack_->insertWidget(int(i) + 1, next[i]);
            next[i]->setVisible(true);
        }
        cards_ = std::move(next);
    }

    if (!spare.empty()) {
        // The press that removed a card may be running inside it.
        const bool posted = !leaving_.empty();
        for (WorkflowCard* c : spare) {
            c->hide();
            leaving_.push_back(c);
        }
        if (!posted)
            time_.scheduler.post(alive_.guard([this] {
                for (WorkflowCard* c : leaving_)
                    delete c;
                leaving_.clear();
            }));
    }

    empty_->setVisible(items.empty());
    showArming();
}

void WorkflowsPage::showArming()
{
    const std::optional<std::string> armed = arming_.armed();
    for (WorkflowCard* c : cards_)
        c->setArmed(armed == c->name());
}

void WorkflowsPage::pressDelete(const std::string& name)
{
    if (arming_.armed() != name) {
        // Only one name is held, so this disarms any other card.
        arming_.arm(name);
        showArming();
        return;
    }
    if (!DeleteConfirmation::deletes(arming_.armedAt(), time_.clock.monotonic()))
        return;
    WorkflowEdits::remove(workflows_, name);
    arming_.arm(std::nullopt);
    showArming();
}

void WorkflowsPage::edit(const std::string& name, const std::function<void(Workspace&)>& change)
{
    WorkflowEdits::change(workflows_, name, change);
}

} // namespace kavelo
