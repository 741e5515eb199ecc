#include "app/settings/bound_picker.h"

#include <QSignalBlocker>

namespace kavelo {

BoundPicker::BoundPicker(const std::vector<std::string>& texts, std::function<std::optional<std::size_t>()> shown,
                         std::function<void(std::size_t)> choose, int width, QWidget* parent)
    : Picker(parent), shown_(std::move(shown)), choose_(std::move(choose))
{
    setFixedWidth(width);
    for (const std::string& text : texts)
        addItem(QString::fromStdString(text));
    refresh();
    QObject::connect(this, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && choose_)
            choose_(std::size_t(index));
        // The setting may hold something else now: show what it holds.
        refresh();
    });
}

void BoundPicker::refresh()
{
    const QSignalBlocker quiet(this);
    const auto index = shown_ ? shown_() : std::nullopt;
    setCurrentIndex(index && *index < std::size_t(count()) ? int(*index) : -1);
}

bool BoundPicker::choose(const QString& text)
{
    const int index = findText(text);
    if (index < 0)
        return false;
    setCurrentIndex(index);
    emit activated(index);
    return true;
}

} // namespace kavelo
