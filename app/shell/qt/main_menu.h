#pragma once

// The main menu's items as keyboard actions, Control for Command: "Quit
// Kavelo" (Ctrl+Q), the Edit items (which go to the focused text field,
// whose own keys come first) and "Close" (Ctrl+W) for the active window.
// Attached to every window of the program; there is no visible menu bar.

#include <QAction>
#include <QObject>

#include <functional>
#include <vector>

class QWidget;

namespace kavelo {

class MainMenu {
public:
    explicit MainMenu(std::function<void()> quit);
    ~MainMenu();

    // The actions work while `window` is active.
    void attach(QWidget& window);

    QAction* quit() const { return quit_; }
    QAction* close() const { return close_; }
    // In menu order: Quit Kavelo, Undo, Cut, Copy, Paste, Select All, Close.
    const std::vector<QAction*>& actions() const { return actions_; }

private:
    QObject owner_;
    std::function<void()> quitAction_;
    std::vector<QAction*> actions_;
    QAction* quit_ = nullptr;
    QAction* close_ = nullptr;
};

} // namespace kavelo
