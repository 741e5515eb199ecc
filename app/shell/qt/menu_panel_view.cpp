#include "app/shell/qt/menu_panel_view.h"

#include "app/settings/bound_picker.h"
#include "app/settings/switch.h"
#include "app/settings/symbol_button.h"
#include "app/shell/qt/menu_panel_arrange_controls.h"
#include "app/shell/qt/menu_panel_text.h"
#include "app/shell/qt/menu_panel_tiles.h"
#include "app/ui/fonts.h"
#include "app/ui/glass.h"
#include "app/ui/key_cap.h"
#include "app/ui/shapes.h"
#include "app/ui/symbols.h"
#include "app/ui/theme.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace kavelo {

namespace {

// The system's red in the dark scheme.
const QColor deleteRed(255, 69, 58);

QLabel* label(const QString& text, double size, const QColor& color, QWidget* parent = nullptr)
{
    auto* l = new QLabel(text, parent);
    l->setFont(Fonts::system(size));
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, color);
    l->setPalette(palette);
    return l;
}

QHBoxLayout* row(QWidget* owner, int spacing, int margin = 0)
{
    auto* layout = new QHBoxLayout(owner);
    layout->setContentsMargins(margin, 0, margin, 0);
    layout->setSpacing(spacing);
    return layout;
}

// The empty list's stand-in: a faint plate asking to save a workflow.
class SaveHintButton : public QAbstractButton {
public:
    explicit SaveHintButton(QWidget* parent = nullptr) : QAbstractButton(parent)
    {
        setText(QStringLiteral("Save your current setup as a workflow"));
        setAccessibleName(text());
        setAttribute(Qt::WA_TranslucentBackground);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override
    {
        const QFontMetricsF metrics(Fonts::system(12.5));
        return QSize(int(std::ceil(metrics.horizontalAdvance(text()))) + 24, int(std::ceil(metrics.height() + 24)));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::withOpacity(Theme::primary(), isDown() ? 0.1 : 0.05));
        painter.drawPath(Shapes::continuousRoundedRect(QRectF(rect()), 11));
        painter.setFont(Fonts::system(12.5));
        painter.setPen(Theme::secondary());
        painter.drawText(QRectF(rect()), Qt::AlignCenter, text());
    }
};

// "More" with a chevron that turns down while open.
class DisclosureButton : public QAbstractButton {
public:
    explicit DisclosureButton(QWidget* parent = nullptr) : QAbstractButton(parent)
    {
        setText(QStringLiteral("More"));
        setAccessibleName(text());
        setCheckable(true);
        setAttribute(Qt::WA_TranslucentBackground);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override
    {
        const QFontMetricsF metrics(Fonts::system(MenuPanelView::moreSize, Fonts::Weight::semibold));
        return QSize(120, int(std::ceil(std::max(metrics.height(), Symbols::extent(11)))));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QFont font = Fonts::system(MenuPanelView::moreSize, Fonts::Weight::semibold);
        painter.setFont(font);
        painter.setPen(Theme::primary());
        const double textWidth = QFontMetricsF(font).horizontalAdvance(text());
        painter.drawText(QRectF(2, 0, textWidth + 2, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
        // The chevron at the trailing edge, turned down while open.
        const double extent = Symbols::extent(11);
        const QRectF box(width() - extent - 2, (height() - extent) / 2, extent, extent);
        painter.save();
        painter.translate(box.center());
        painter.rotate(isChecked() ? 90 : 0);
        painter.translate(-box.center());
        Symbols::draw(painter, box, "chevron.right", 11, Theme::lit());
        painter.restore();
    }
};

} // namespace

MenuPanelView::MenuPanelView(MenuPanel panel, MenuPanelContext context, QWidget* parent)
    : QWidget(parent), panel_(std::move(panel)), context_(std::move(context))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    build();
    plan_ = MenuPanelPlan::make(panel_, state_, screen());
    apply(plan_, true);
    // Every published setting may change what shows.
    observer_ = panel_.preferences.observe([this](std::string_view) { refresh(); });
}

MenuPanelView::~MenuPanelView() = default;

std::string MenuPanelView::screen() const { return context_.screenName ? context_.screenName() : std::string(); }

Seconds MenuPanelView::now() const { return context_.time.clock.monotonic(); }

void MenuPanelView::build()
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(spacing);

    // 1. Action tiles.
    auto* actions = new QWidget(this);
    auto* actionRow = row(actions, actionSpacing);
    find_ = new ActionTile("magnifyingglass", QStringLiteral("Find"), QString(), actions);
    tidy_ = new ActionTile("sparkles", QStringLiteral("Tidy"), QString(), actions);
    actionRow->addWidget(find_);
    actionRow->addWidget(tidy_);
    column->addWidget(actions);
    connect(find_, &QAbstractButton::clicked, this, [this] {
        if (panel_.find)
            panel_.find();
    });
    connect(tidy_, &QAbstractButton::clicked, this, [this] {
        if (panel_.tidy)
            panel_.tidy();
    });

    // 2. Setup notice.
    setup_ = new NoticeButton(QStringLiteral("Finish setting up Kavelo"), "exclamationmark.circle.fill", this);
    column->addWidget(setup_);
    connect(setup_, &QAbstractButton::clicked, this, [this] {
        if (panel_.setup)
            panel_.setup();
    });

    // 3. Workflows header.
    save_ = new SymbolButton("plus", QStringLiteral("Save Workflow"));
    column->addWidget(new SectionHeader(QStringLiteral("Workflows"), save_, this));
    connect(save_, &QAbstractButton::clicked, this, [this] {
        if (panel_.saveWorkflow)
            panel_.saveWorkflow();
    });

    // 4. Workflow list.
    saveHint_ = new SaveHintButton(this);
    column->addWidget(saveHint_);
    connect(static_cast<QAbstractButton*>(saveHint_), &QAbstractButton::clicked, this, [this] {
        if (panel_.saveWorkflow)
            panel_.saveWorkflow();
    });
    list_ = new QWidget(this);
    listLayout_ = new QVBoxLayout(list_);
    listLayout_->setContentsMargins(0, 0, 0, 0);
    listLayout_->setSpacing(2);
    column->addWidget(list_);

    // 5-6. Arrange header and the mode switch.
    column->addWidget(new SectionHeader(QStringLiteral("Arrange"), nullptr, this));
    modes_ = new ModeSwitch(context_.time, [this](ArrangeMode mode) {
        // The same mode again is stored and announced all the same.
        panel_.preferences.setArrangeMode(mode);
    }, this);
    column->addWidget(modes_);

    // 7. Display-off notice.
    displayOff_ =
        new NoticeButton(QStringLiteral("This display is off. Turn it on"), "exclamationmark.circle.fill", this);
    column->addWidget(displayOff_);
    connect(displayOff_, &QAbstractButton::clicked, this,
            [this] { MenuPanelActions::turnDisplayOn(panel_.preferences, screen()); });

    // 8. Layout row.
    auto* layoutBox = new QWidget(this);
    auto* layoutColumn = new QVBoxLayout(layoutBox);
    layoutColumn->setContentsMargins(0, 0, 0, 0);
    layoutColumn->setSpacing(6);
    layouts_ = new LayoutPicker(
        [this](TidyLayout layout) { MenuPanelActions::chooseLayout(panel_.preferences, screen(), layout); },
        layoutBox);
    layoutColumn->addWidget(layouts_);
    hint_ = label(QStringLiteral("Pick a layout to turn on Auto arrange."), 11.5, Theme::secondary(), layoutBox);
    hint_->setContentsMargins(2, 0, 2, 0);
    layoutColumn->addWidget(hint_);
    custom_ = new QWidget(layoutBox);
    auto* customColumn = new QVBoxLayout(custom_);
    customColumn->setContentsMargins(0, 0, 0, 0);
    customColumn->setSpacing(6);
    grids_ = new GridChoices(
        [this](std::size_t i) {
            MenuPanelActions::choosePreset(panel_.preferences, screen(), GridPlan::presets().at(i).plan);
        },
        custom_);
    customColumn->addWidget(grids_);
    matchGrid_ = addSwitch(customColumn, QStringLiteral("Match grid to window count"),
                           [this](bool on) { panel_.preferences.setGridFollowsCount(on); });
    editGrid_ = new TextButton(QStringLiteral("Edit your grid…"), 12.5, false, Theme::lit(), custom_);
    editGrid_->setContentsMargins(2, 0, 2, 0);
    customColumn->addWidget(editGrid_, 0, Qt::AlignLeft);
    connect(editGrid_, &QAbstractButton::clicked, this, [this] {
        if (panel_.arrangeSettings)
            panel_.arrangeSettings();
    });
    layoutColumn->addWidget(custom_);
    column->addWidget(layoutBox);

    // 9. Quick toggles.
    auto* quick = new QWidget(this);
    auto* quickRow = row(quick, 6);
    undo_ = new QuickTile("arrow.uturn.backward", QStringLiteral("Undo"), quick);
    clean_ = new QuickTile("rectangle.inset.filled", QStringLiteral("Clean"), quick);
    noPeekTile_ = new QuickTile("eye.slash", QStringLiteral("No peek"), quick);
    quickRow->addWidget(undo_);
    quickRow->addWidget(clean_);
    quickRow->addWidget(noPeekTile_);
    column->addWidget(quick);
    connect(undo_, &QAbstractButton::clicked, this, [this] { panel_.arrange.undo(); });
    connect(clean_, &QAbstractButton::clicked, this,
            [this] { panel_.preferences.setCleanSpaceOn(!panel_.preferences.cleanSpaceOn()); });
    connect(noPeekTile_, &QAbstractButton::clicked, this,
            [this] { panel_.preferences.setNoPeekOn(!panel_.preferences.noPeekOn()); });

    // 10. "More".
    auto* more = new QWidget(this);
    auto* moreColumn = new QVBoxLayout(more);
    moreColumn->setContentsMargins(0, 0, 0, 0);
    moreColumn->setSpacing(0);
    auto* header = new DisclosureButton(more);
    moreHeader_ = header;
    moreColumn->addWidget(header);
    moreContent_ = new QWidget(more);
    moreLayout_ = new QVBoxLayout(moreContent_);
    moreLayout_->setContentsMargins(0, 6, 0, 0);
    moreLayout_->setSpacing(7);
    moreColumn->addWidget(moreContent_);
    column->addWidget(more);
    connect(header, &QAbstractButton::clicked, this, [this] {
        state_.more = !state_.more;
        refresh();
    });

    // 11. Divider.
    column->addWidget(new PanelDivider(this));

    // 12. Bottom row.
    auto* bottom = new QWidget(this);
    auto* bottomRow = row(bottom, 14);
    settings_ = new TextButton(QStringLiteral("Settings"), 12.5, false, Theme::secondary(), bottom);
    updates_ = new TextButton(QStringLiteral("Updates"), 12.5, false, Theme::secondary(), bottom);
    quit_ = new TextButton(QStringLiteral("Quit"), 12.5, false, Theme::secondary(), bottom);
    bottomRow->addWidget(settings_);
    bottomRow->addWidget(updates_);
    bottomRow->addStretch(1);
    bottomRow->addWidget(quit_);
    column->addWidget(bottom);
    connect(settings_, &QAbstractButton::clicked, this, [this] {
        if (panel_.settings)
            panel_.settings();
    });
    connect(updates_, &QAbstractButton::clicked, this, [this] {
        if (panel_.update)
            panel_.update();
    });
    connect(quit_, &QAbstractButton::clicked, this, [this] {
        if (panel_.quit)
            panel_.quit();
    });
}

SwitchRowWidgets MenuPanelView::addSwitch(QVBoxLayout* column, const QString& title, std::function<void(bool)> set)
{
    SwitchRowWidgets w;
    w.row = new QWidget;
    auto* line = row(w.row, 6);
    w.title = label(title, optionSize, Theme::primary(), w.row);
    w.toggle = new Switch(w.row);
    w.toggle->setAccessibleName(title);
    line->addWidget(w.title);
    line->addStretch(1);
    line->addWidget(w.toggle);
    column->addWidget(w.row);
    connect(w.toggle, &QAbstractButton::toggled, w.row, [set = std::move(set)](bool on) { set(on); });
    return w;
}

OptionRowWidgets MenuPanelView::addOption(QVBoxLayout* column, PanelOption option)
{
    OptionRowWidgets w;
    w.option = option;
    w.row = new QWidget;
    auto* line = row(w.row, 6, 2);
    w.title = label(qs(std::string(MenuPanelOptions::title(option))), optionSize, Theme::primary(), w.row);
    Preferences& prefs = panel_.preferences;
    w.picker = new BoundPicker(
        MenuPanelOptions::texts(option), [&prefs, option] { return MenuPanelOptions::chosen(option, prefs); },
        [&prefs, option](std::size_t i) { MenuPanelOptions::choose(option, i, prefs); }, pickerWidth, w.row);
    w.picker->setAccessibleName(w.title->text());
    line->addWidget(w.title);
    line->addStretch(1);
    line->addWidget(w.picker);
    column->addWidget(w.row);
    return w;
}

void MenuPanelView::refresh()
{
    MenuPanelPlan next = MenuPanelPlan::make(panel_, state_, screen());
    if (next == plan_)
        return;
    apply(next, false);
    plan_ = std::move(next);
}

void MenuPanelView::apply(const MenuPanelPlan& plan, bool first)
{
    if (first || plan.findKey != plan_.findKey)
        find_->setKey(qs(plan.findKey));
    if (first || plan.tidyKey != plan_.tidyKey)
        tidy_->setKey(qs(plan.tidyKey));
    if (first || plan.findKey != plan_.findKey || plan.tidyKey != plan_.tidyKey) {
        // Each tile as wide as its title and key want, as far as the row goes.
        const auto widths = shareRow({find_->sizeHint().width(), tidy_->sizeHint().width()},
                                     panelWidth - 2 * padding - actionSpacing);
        find_->setFixedWidth(widths[0]);
        tidy_->setFixedWidth(widths[1]);
    }
    setup_->setVisible(plan.setupNotice);
    applyRows(plan);
    if (first || plan.mode != plan_.mode)
        modes_->setMode(plan.mode, !first && isVisible());
    displayOff_->setVisible(plan.displayOffNotice);

    const auto& layout = plan.layout;
    layouts_->setState(layout.active, layout.selected);
    hint_->setVisible(layout.hint);
    custom_->setVisible(layout.custom);
    grids_->setVisible(layout.gridChoices);
    grids_->setCurrent(layout.currentPresets);
    {
        const QSignalBlocker quiet(matchGrid_.toggle);
        matchGrid_.toggle->setChecked(layout.gridFollowsCount);
    }

    undo_->setOn(false);
    clean_->setOn(plan.cleanOn);
    noPeekTile_->setOn(plan.noPeekOn);
    applyMore(plan, first);
    updates_->setVisible(plan.updates);
    // Parts whose size hints changed without telling the layout (a key cap's
    // text) are measured afresh.
    QWidget::layout()->invalidate();
    fitHeight();
}

void MenuPanelView::applyRows(const MenuPanelPlan& plan)
{
    saveHint_->setVisible(plan.rows.empty());
    list_->setVisible(!plan.rows.empty());
    bool same = plan.rows.size() == rows_.size();
    for (std::size_t i = 0; same && i < rows_.size(); ++i)
        same = rows_[i].name == plan.rows[i].name;
    if (!same)
        rebuildRows(plan.rows);
    for (std::size_t i = 0; i < rows_.size() && i < plan.rows.size(); ++i) {
        rows_[i].trash->setVisible(!plan.rows[i].confirming);
        rows_[i].confirm->setVisible(plan.rows[i].confirming);
    }
}

void MenuPanelView::rebuildRows(const std::vector<MenuPanelPlan::Row>& rows)
{
    // A row may go from inside its own button's click: let Qt delete it later.
    for (auto& r : rows_) {
        r.row->hide();
        listLayout_->removeWidget(r.row);
        r.row->deleteLater();
    }
    rows_.clear();
    for (const auto& planned : rows) {
        WorkflowRowWidgets w;
        w.name = planned.name;
        w.row = new QWidget(list_);
        auto* line = row(w.row, 6);
        const QString name = qs(planned.name);
        w.button = new WorkflowRowButton(
            name, planned.keyCap ? std::optional<QString>(qs(*planned.keyCap)) : std::nullopt, w.row);
        w.trash = new SymbolButton("trash", QStringLiteral("Delete ") + name);
        w.confirm = new TextButton(QStringLiteral("Delete?"), 12, true, deleteRed, w.row);
        line->addWidget(w.button, 1);
        line->addWidget(w.trash);
        line->addWidget(w.confirm);
        listLayout_->addWidget(w.row);
        const std::string key = planned.name;
        connect(w.button, &QAbstractButton::clicked, this, [this, key] {
            if (panel_.switchWorkflow)
                panel_.switchWorkflow(key);
        });
        connect(w.trash, &QAbstractButton::clicked, this, [this, key] {
            state_.arm(key, now());
            refresh();
        });
        connect(w.confirm, &QAbstractButton::clicked, this, [this, key] {
            if (!state_.confirm(key, now()))
                return;
            refresh();
            if (panel_.deleteWorkflow)
                panel_.deleteWorkflow(key);
        });
        rows_.push_back(w);
    }
}

bool MenuPanelView::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    // A part's size changed after the change that built it (Qt shows new
    // children and lays them out later): the panel follows. Qt has just
    // laid the column out; invalidating it here would post the next
    // request, and the panel would lay itself out for good.
    if (event->type() == QEvent::LayoutRequest)
        fitHeight();
    return handled;
}

void MenuPanelView::fitHeight()
{
    QLayout* column = layout();
    // Lays out only what is out of date (a hidden panel's column is not laid
    // out by Qt's own request).
    column->activate();
    const int height = column->hasHeightForWidth() ? column->totalHeightForWidth(panelWidth)
                                                   : column->totalSizeHint().height();
    if (size() == QSize(panelWidth, height))
        return;
    setFixedSize(panelWidth, height);
    if (onResize)
        onResize();
}

void MenuPanelView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The engine may have been paused elsewhere since the panel was made.
    state_.paused = panel_.arrange.isPaused;
    refresh();
}

void MenuPanelView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (Theme::isRendering) {
        painter.fillRect(rect(), Glass::tint(GlassMaterial::hudWindow));
        return;
    }
    painter.fillRect(rect(), Theme::withOpacity(Theme::night(), backgroundOpacity));
}

} // namespace kavelo
