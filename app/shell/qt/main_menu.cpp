#include "app/shell/qt/main_menu.h"

#include <QApplication>
#include <QWidget>

namespace kavelo {

namespace {

// Sends an editing request to the focused widget, as the first responder
// would receive it.
void toFocus(const char* method)
{
    if (QWidget* focus = QApplication::focusWidget())
        QMetaObject::invokeMethod(focus, method);
}

} // namespace

MainMenu::MainMenu(std::function<void()> quit) : quitAction_(std::move(quit))
{
    const auto add = [this](const QString& title, QKeySequence keys, std::function<void()> act) {
        auto* action = new QAction(title, &owner_);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        QObject::connect(action, &QAction::triggered, &owner_, [act = std::move(act)] { act(); });
        actions_.push_back(action);
        return action;
    };
    quit_ = add(QStringLiteral("Quit Kavelo"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] {
        if (quitAction_)
            quitAction_();
    });
    add(QStringLiteral("Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), [] { toFocus("undo"); });
    add(QStringLiteral("Cut"), QKeySequence(Qt::CTRL | Qt::Key_X), [] { toFocus("cut"); });
    add(QStringLiteral("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), [] { toFocus("copy"); });
    add(QStringLiteral("Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), [] { toFocus("paste"); });
    add(QStringLiteral("Select All"), QKeySequence(Qt::CTRL | Qt::Key_A), [] { toFocus("selectAll"); });
    close_ = add(QStringLiteral("Close"), QKeySequence(Qt::CTRL | Qt::Key_W), [] {
        if (QWidget* window = QApplication::activeWindow())
            window->close();
    });
}

MainMenu::~MainMenu() = default;

void MainMenu::attach(QWidget& window)
{
    for (QAction* action : actions_)
        if (!window.actions().contains(action))
            window.addAction(action);
}

} // namespace kavelo
