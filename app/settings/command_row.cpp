#include "app/settings/command_row.h"

#include "app/services/preferences.h"
#include "app/settings/shortcut_recorder.h"
#include "app/settings/symbol_button.h"

#include <QHBoxLayout>

namespace kavelo {

namespace {

QWidget* controlBox()
{
    auto* box = new QWidget;
    box->setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(CommandRow::spacing);
    return box;
}

} // namespace

std::optional<QString> CommandRow::clashText(const Preferences& preferences, Command command)
{
    const std::optional<Command> other = preferences.clash(command);
    if (!other)
        return std::nullopt;
    return QStringLiteral("Also used by ") + QString::fromStdString(title(*other));
}

std::optional<QString> CommandRow::detailText(const Preferences& preferences, Command command, const HeldKeys& held)
{
    std::vector<Shortcut> shortcuts{preferences.key(command)};
    if (const auto extra = preferences.extraBindings().find(command); extra != preferences.extraBindings().end())
        shortcuts.insert(shortcuts.end(), extra->second.begin(), extra->second.end());
    const auto taken = HeldKeyTexts::rowDetail(held, shortcuts);
    const auto clash = clashText(preferences, command);
    if (taken && clash)
        return QString::fromStdString(*taken) + QLatin1Char('\n') + *clash;
    if (taken)
        return QString::fromStdString(*taken);
    return clash;
}

CommandRow::CommandRow(Command command, Preferences& preferences, const Keyboard& keyboard, RecorderTurns& turns,
                       QWidget* parent)
    : SettingRow(QString::fromStdString(title(command)), clashText(preferences, command), controlBox(), parent),
      command_(command),
      preferences_(preferences),
      keyboard_(keyboard),
      turns_(turns),
      controls_(static_cast<QHBoxLayout*>(control()->layout()))
{
    main_ = new ShortcutRecorder({[this] { return preferences_.key(command_); },
                                  [this](Shortcut shortcut) {
                                      auto bindings = preferences_.bindings();
                                      bindings.insert_or_assign(command_, shortcut);
                                      preferences_.setBindings(std::move(bindings));
                                  }},
                                 preferences, keyboard, false, &turns);
    main_->setAccessibleName(QString::fromStdString(title(command)));
    controls_->addWidget(main_, 0, Qt::AlignVCenter);

    add_ = new SymbolButton("plus.circle", QStringLiteral("Add another shortcut"));
    controls_->addWidget(add_, 0, Qt::AlignVCenter);
    QObject::connect(add_, &QAbstractButton::clicked, this, [this] {
        auto extras = preferences_.extraBindings();
        extras[command_].push_back(placeholder);
        listenToNew_ = true;
        preferences_.setExtraBindings(std::move(extras));
    });

    rebuildExtras(extraCount());
}

std::size_t CommandRow::extraCount() const
{
    const auto& extras = preferences_.extraBindings();
    const auto it = extras.find(command_);
    return it == extras.end() ? 0 : it->second.size();
}

void CommandRow::setHeld(const HeldKeys* held)
{
    held_ = held;
    showDetail();
}

void CommandRow::showDetail()
{
    setDetail(held_ ? detailText(preferences_, command_, *held_) : clashText(preferences_, command_));
}

void CommandRow::refresh()
{
    showDetail();
    const std::size_t count = extraCount();
    if (count != extras_.size())
        rebuildExtras(count);
    main_->refresh();
    for (ShortcutRecorder* extra : extras_)
        extra->refresh();
}

void CommandRow::rebuildExtras(std::size_t count)
{
    // Positions move when one goes, so every extra recorder is made anew:
    // one recording a position that no longer holds what it showed stops
    // and stores nothing.
    for (ShortcutRecorder* extra : extras_)
        delete extra;
    for (SymbolButton* remove : removes_)
        delete remove;
    const bool grew = count > extras_.size();
    extras_.clear();
    removes_.clear();

    for (std::size_t position = 0; position < count; ++position) {
        const bool listens = listenToNew_ && grew && position + 1 == count;
        auto* recorder = new ShortcutRecorder(
            {[this, position] {
                 const auto& extras = preferences_.extraBindings();
                 const auto it = extras.find(command_);
                 if (it == extras.end() || position >= it->second.size())
                     return preferences_.key(command_);
                 return it->second[position];
             },
             [this, position](Shortcut shortcut) {
                 auto extras = preferences_.extraBindings();
                 auto& list = extras[command_];
                 // The position may have gone while it was being recorded.
                 if (position >= list.size())
                     return;
                 list[position] = shortcut;
                 preferences_.setExtraBindings(std::move(extras));
             }},
            preferences_, keyboard_, listens, &turns_);
        recorder->setAccessibleName(QString::fromStdString(title(command_)));
        auto* remove = new SymbolButton("minus.circle", QStringLiteral("Remove this shortcut"));
        QObject::connect(remove, &QAbstractButton::clicked, this, [this, position] {
            auto extras = preferences_.extraBindings();
            const auto it = extras.find(command_);
            if (it == extras.end() || position >= it->second.size())
                return;
            it->second.erase(it->second.begin() + std::ptrdiff_t(position));
            preferences_.setExtraBindings(std::move(extras));
        });
        const int at = int(2 * position);
        controls_->insertWidget(at, recorder, 0, Qt::AlignVCenter);
        controls_->insertWidget(at + 1, remove, 0, Qt::AlignVCenter);
        extras_.push_back(recorder);
        removes_.push_back(remove);
    }
    listenToNew_ = false;
}

} // namespace kavelo
