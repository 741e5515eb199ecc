#pragma once

// The General page: opening at login, and remembering the layout of each
// monitor setup.

#include "app/platform/handle.h"

#include <QWidget>

namespace kavelo {

class Preferences;
class ToggleRow;

class GeneralPage : public QWidget {
public:
    explicit GeneralPage(Preferences& preferences, QWidget* parent = nullptr);

    ToggleRow* opensAtLoginRow() const { return opensAtLogin_; }
    ToggleRow* remembersLayoutsRow() const { return remembersLayouts_; }

    static constexpr int spacing = 20;

private:
    ToggleRow* opensAtLogin_;
    ToggleRow* remembersLayouts_;
    Handle changes_;
};

} // namespace kavelo
