#pragma once

// A picker bound to a setting: fixed choices, showing the stored value's
// choice, or none for a value matching no choice (a hand-edited file), which
// it then leaves as it is. Only a choice the user makes is written.

#include "app/settings/arrange_page_plan.h"
#include "app/settings/picker.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kavelo {

class BoundPicker : public Picker {
public:
    // `shown` gives the index to show; `choose` writes the choice at an index.
    BoundPicker(const std::vector<std::string>& texts, std::function<std::optional<std::size_t>()> shown,
                std::function<void(std::size_t)> choose, int width, QWidget* parent = nullptr);

    // Shows the setting again, without writing it.
    void refresh();
    // As the user choosing the entry with this text; false when none has it.
    bool choose(const QString& text);

    static constexpr int standardWidth = 190;

private:
    std::function<std::optional<std::size_t>()> shown_;
    std::function<void(std::size_t)> choose_;
};

// A picker over `options` bound to a value read by `get` and written by `set`.
template <class T>
BoundPicker* makePicker(std::vector<Option<T>> options, std::function<T()> get, std::function<void(T)> set,
                        int width = BoundPicker::standardWidth)
{
    std::vector<std::string> texts;
    for (const auto& option : options)
        texts.push_back(option.text);
    auto shown = [options, get = std::move(get)] { return ArrangeOptions::indexOf(options, get()); };
    auto choose = [options, set = std::move(set)](std::size_t i) { set(options[i].value); };
    return new BoundPicker(texts, std::move(shown), std::move(choose), width);
}

} // namespace kavelo
